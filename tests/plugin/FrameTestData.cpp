#include "FrameTestData.h"

#include <cstdint>
#include <fstream>
#include <string>

namespace FramePass {
const char* const Black = "PS_Black";
const char* const Depth = "PS_Depth";
const char* const Occlusion = "PS_SSAO";
const char* const Blur = "PS_Blur";
const char* const Show = "PS_Show";
}  // namespace FramePass

namespace {

const char* const k_RenderBlack =
    "float4 PS_Black() : COLOR0 { return float4(0, 0, 0, 1); }\n"
    "technique RenderBlack { pass P0 {\n"
    "  ZEnable = false; ZWriteEnable = false; AlphaBlendEnable = false;\n"
    "  PixelShader = compile ps_2_0 PS_Black();\n"
    "} }\n";

const char* const k_RenderDepth =
    "float4 PS_Depth(float2 uv : TEXCOORD0, float2 value : TEXCOORD1) : COLOR0\n"
    "{ return float4(value.x, value.x, value.x, 1); }\n"
    "technique RenderDepth { pass P0 {\n"
    "  ZEnable = true; ZFunc = Greater; ZWriteEnable = false;\n"
    "  PixelShader = compile ps_2_0 PS_Depth();\n"
    "} }\n";

const char* const k_SSAO =
    "float4 sddx;\n"
    "texture ZTex : ZBackBuffer;\n"
    "texture NoiseTex : NoiseTexture;\n"
    "sampler ZSampler = sampler_state { Texture = <ZTex>; MinFilter = Point; MagFilter = Point; };\n"
    "sampler NoiseSampler = sampler_state { Texture = <NoiseTex>; AddressU = Wrap; AddressV = Wrap; };\n"
    "float4 PS_SSAO(float2 uv : TEXCOORD0) : COLOR0\n"
    "{ return tex2D(ZSampler, uv) * tex2D(NoiseSampler, uv + sddx.xy); }\n"
    "technique SSAO { pass P0 {\n"
    "  ZEnable = false; CullMode = None;\n"
    "  PixelShader = compile ps_2_0 PS_SSAO();\n"
    "} }\n";

const char* const k_ZBlur =
    "float4 sddx;\n"
    "texture AOTex : BlurBackBuffer;\n"
    "sampler AOSampler = sampler_state { Texture = <AOTex>; AddressU = Clamp; AddressV = Clamp; };\n"
    "float4 PS_Blur(float2 uv : TEXCOORD0) : COLOR0\n"
    "{ return (tex2D(AOSampler, uv - sddx.xy) + tex2D(AOSampler, uv + sddx.xy)) * 0.5; }\n"
    "technique ZBlur { pass P0 {\n"
    "  ZEnable = false;\n"
    "  PixelShader = compile ps_2_0 PS_Blur();\n"
    "} }\n";

const char* const k_ShowTexture =
    "texture SceneTex : BackBuffer;\n"
    "texture AOTex : BlurBackBuffer;\n"
    "sampler SceneSampler = sampler_state { Texture = <SceneTex>; };\n"
    "sampler AOSampler = sampler_state { Texture = <AOTex>; };\n"
    "float4 PS_Show(float2 uv : TEXCOORD0) : COLOR0\n"
    "{ return tex2D(SceneSampler, uv) * tex2D(AOSampler, uv); }\n"
    "technique ShowTexture { pass P0 {\n"
    "  ZEnable = false; AlphaBlendEnable = false;\n"
    "  PixelShader = compile ps_2_0 PS_Show();\n"
    "} }\n";

void PutLittleEndian(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace

void WriteFrameEffectFile(const std::filesystem::path& directory, const std::string& file, const std::string& code) {
    std::ofstream lr_File(directory / file, std::ios::binary | std::ios::trunc);
    lr_File << code;
}

void WriteFrameNoiseImage(const std::filesystem::path& directory) {
    // 4x4, 24 bits per pixel, bottom-up rows of 12 bytes (already 4-aligned).
    const uint32_t lr_Side = k_FrameNoiseSide;
    const uint32_t lr_PixelBytes = lr_Side * lr_Side * 3;
    std::string ls_Bmp = "BM";
    PutLittleEndian(ls_Bmp, 54 + lr_PixelBytes, 4);
    PutLittleEndian(ls_Bmp, 0, 4);
    PutLittleEndian(ls_Bmp, 54, 4);
    PutLittleEndian(ls_Bmp, 40, 4);
    PutLittleEndian(ls_Bmp, lr_Side, 4);
    PutLittleEndian(ls_Bmp, lr_Side, 4);
    PutLittleEndian(ls_Bmp, 1, 2);
    PutLittleEndian(ls_Bmp, 24, 2);
    PutLittleEndian(ls_Bmp, 0, 4);
    PutLittleEndian(ls_Bmp, lr_PixelBytes, 4);
    PutLittleEndian(ls_Bmp, 2835, 4);
    PutLittleEndian(ls_Bmp, 2835, 4);
    PutLittleEndian(ls_Bmp, 0, 4);
    PutLittleEndian(ls_Bmp, 0, 4);
    for (uint32_t i = 0; i < lr_PixelBytes; ++i) {
        ls_Bmp += static_cast<char>((i * 37u + 11u) & 0xFF);
    }
    std::ofstream lr_File(directory / "Noise.bmp", std::ios::binary | std::ios::trunc);
    lr_File << ls_Bmp;
}

void WriteFrameTestData(const std::filesystem::path& directory) {
    std::filesystem::create_directories(directory);
    WriteFrameEffectFile(directory, "RenderBlack.hlsl", k_RenderBlack);
    WriteFrameEffectFile(directory, "RenderDepth.hlsl", k_RenderDepth);
    WriteFrameEffectFile(directory, "SSAO.hlsl", k_SSAO);
    WriteFrameEffectFile(directory, "ZBlur.hlsl", k_ZBlur);
    WriteFrameEffectFile(directory, "ShowTexture.hlsl", k_ShowTexture);
    WriteFrameNoiseImage(directory);
}
