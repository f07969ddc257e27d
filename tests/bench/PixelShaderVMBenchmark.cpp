// The pixel-shader interpreter over a 1280 x 720 frame of quads, with the
// plug-in's own occlusion and blur shaders: once with a sampler that costs
// next to nothing (the interpreter alone), once with the device's sampler
// reading R32F textures. Reported as pixels per second; a frame is 921600.
#include "SoftTestDevice.h"

#include "shader/SoftPixelShaderVM.h"
#include "pipeline/SoftTextureSampler.h"

#include <d3dx9.h>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

const int k_Width = 1280, k_Height = 720;

class CheapSampler final : public ISoftTextureSampler {
public:
    void Sample(UINT, const float coord[4], const float*, const float*, SoftLodMode, float, float out[4]) override {
        out[0] = coord[0] * 0.5f;
        out[1] = coord[1];
        out[2] = 0.25f;
        out[3] = 1.0f;
    }
};

// The pixel shader of the first pass of `technique` in `file`, decoded.
bool LoadProgram(IDirect3DDevice9* device, const char* file, const char* technique, SoftPixelProgram& program) {
    const std::string ls_File = std::string(SSAO_DATA_DIR) + "/" + file;
    ID3DXEffect* lr_Effect_ = nullptr;
    if (FAILED(D3DXCreateEffectFromFileA(device, ls_File.c_str(), nullptr, nullptr, 0, nullptr, &lr_Effect_, nullptr)))
        return false;
    D3DXPASS_DESC lr_Pass = {};
    const bool lr_Found =
        SUCCEEDED(lr_Effect_->GetPassDesc(lr_Effect_->GetPass(technique, 0), &lr_Pass)) && lr_Pass.pPixelShaderFunction;
    bool lr_Decoded = false;
    if (lr_Found) {
        // Version, instructions and comments with their lengths, the end token.
        const DWORD* lr_Tokens = lr_Pass.pPixelShaderFunction;
        size_t n = 1;
        while (lr_Tokens[n] != D3DSIO_END) {
            const DWORD lr_Token = lr_Tokens[n];
            n += 1 + ((lr_Token & 0xFFFF) == D3DSIO_COMMENT
                          ? (lr_Token & D3DSI_COMMENTSIZE_MASK) >> D3DSI_COMMENTSIZE_SHIFT
                          : (lr_Token & D3DSI_INSTLENGTH_MASK) >> D3DSI_INSTLENGTH_SHIFT);
        }
        std::string ls_Reason;
        lr_Decoded = program.Decode(lr_Tokens, n + 1, ls_Reason) && program.Runnable();
    }
    lr_Effect_->Release();
    return lr_Decoded;
}

void RunFrames(benchmark::State& state, const SoftPixelProgram& program, ISoftTextureSampler& sampler) {
    static float s_Float[224][4] = {};
    static int s_Int[16][4] = {};
    static BOOL s_Bool[16] = {};
    for (int i = 0; i < 224; ++i)
        for (int k = 0; k < 4; ++k) s_Float[i][k] = 0.5f + 0.001f * i;
    const SoftPixelConstants lr_Constants{s_Float, s_Int, s_Bool};
    SoftPixelInputs lr_In[4] = {};
    const bool lr_Live[4] = {true, true, true, true};
    SoftPixelOutputs lr_Out[4];
    std::vector<SoftPixelShaderVM> lr_VM(1);
    for (auto _ : state) {
        for (int y = 0; y < k_Height; y += 2) {
            for (int x = 0; x < k_Width; x += 2) {
                for (int l = 0; l < 4; ++l) {
                    lr_In[l].TexCoord[0][0] = (x + (l & 1) + 0.5f) / k_Width;
                    lr_In[l].TexCoord[0][1] = (y + (l >> 1) + 0.5f) / k_Height;
                    lr_In[l].TexCoord[1][0] = lr_In[l].TexCoord[0][1];
                }
                lr_VM[0].RunQuad(program, lr_Constants, lr_In, lr_Live, sampler, lr_Out);
            }
        }
        benchmark::DoNotOptimize(lr_Out);
    }
    state.SetItemsProcessed(state.iterations() * k_Width * k_Height);
}

void Shade(benchmark::State& state, const char* file, const char* technique, bool deviceSampler) {
    const ScopedSoftDevice lr_Scoped(64, 64);
    IDirect3DDevice9* lr_Device_ = lr_Scoped.Get();
    if (!lr_Device_) {
        state.SkipWithError("no device");
        return;
    }
    SoftPixelProgram lr_Program;
    IDirect3DTexture9* lr_Texture_ = nullptr;
    if (!LoadProgram(lr_Device_, file, technique, lr_Program)) {
        state.SkipWithError("the shader did not compile or decode");
    } else if (!deviceSampler) {
        CheapSampler lr_Sampler;
        RunFrames(state, lr_Program, lr_Sampler);
    } else if (FAILED(lr_Device_->CreateTexture(k_Width, k_Height, 1, 0, D3DFMT_R32F, D3DPOOL_MANAGED, &lr_Texture_,
                                                nullptr))) {
        state.SkipWithError("no texture");
    } else {
        IDirect3DBaseTexture9* lr_Textures[SOFT_PIXEL_SAMPLERS] = {lr_Texture_, lr_Texture_};
        DWORD lr_States[SOFT_PIXEL_SAMPLERS][SOFT_SAMPLER_STATES] = {};
        for (auto& lr_Row : lr_States) {
            lr_Row[D3DSAMP_ADDRESSU] = lr_Row[D3DSAMP_ADDRESSV] = D3DTADDRESS_CLAMP;
            lr_Row[D3DSAMP_MAGFILTER] = lr_Row[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        }
        SoftTextureSampler lr_Sampler;
        lr_Sampler.Bind(lr_Textures, lr_States);
        RunFrames(state, lr_Program, lr_Sampler);
        lr_Texture_->Release();
    }
}

void Occlusion(benchmark::State& state) { Shade(state, "SSAO.hlsl", "Occlusion", false); }
void OcclusionDeviceSampler(benchmark::State& state) { Shade(state, "SSAO.hlsl", "Occlusion", true); }
void Blur(benchmark::State& state) { Shade(state, "ZBlur.hlsl", "Blur3x3", false); }
void BlurDeviceSampler(benchmark::State& state) { Shade(state, "ZBlur.hlsl", "Blur3x3", true); }

}  // namespace

BENCHMARK(Occlusion)->Unit(benchmark::kMillisecond);
BENCHMARK(OcclusionDeviceSampler)->Unit(benchmark::kMillisecond);
BENCHMARK(Blur)->Unit(benchmark::kMillisecond);
BENCHMARK(BlurDeviceSampler)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
