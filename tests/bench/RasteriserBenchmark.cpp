// Fill rate of the software device: a full-screen 1280x720 quad sampling a
// 256x256 texture with bilinear filtering, through the fixed-function
// stages and through a ps_2_0 shader; and the same quad running the
// occlusion pass of SSAO.hlsl. Reports megapixels per second.
#include "SoftTestDevice.h"

#include <d3d9.h>
#include <d3dx9.h>
#include <soft/SoftDeviceControl.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

namespace {

struct Vertex {
    float x, y, z, rhw;
    float u, v;
};

// ps_2_0: dcl t0; dcl_2d s0; texld r0, t0, s0; mov oC0, r0.
const DWORD k_TextureCopy[] = {D3DPS_VERSION(2, 0), 0x0200001F, 0x80000000, 0xB00F0000, 0x0200001F,
                               0x90000000,          0xA00F0800, 0x03000042, 0x800F0000, 0xB0E40000,
                               0xA0E40800,          0x02000001, 0x800F0800, 0x80E40000, 0x0000FFFF};

IDirect3DDevice9* DeviceOrSkip(benchmark::State& state, const ScopedSoftDevice& device) {
    if (!device.Get()) state.SkipWithError("no device");
    return device.Get();
}

void FullScreenQuad(benchmark::State& state) {
    const bool lr_Shader = state.range(0) != 0;
    const UINT lr_Width = 1280, lr_Height = 720;
    const ScopedSoftDevice lr_Scoped(lr_Width, lr_Height);
    IDirect3DDevice9* lr_Device_ = DeviceOrSkip(state, lr_Scoped);
    if (!lr_Device_) return;
    IDirect3DTexture9* lr_Texture_ = nullptr;
    lr_Device_->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr);
    D3DLOCKED_RECT lr_Lock;
    lr_Texture_->LockRect(0, &lr_Lock, nullptr, 0);
    for (UINT y = 0; y < 256; ++y)
        for (UINT x = 0; x < 256; ++x) {
            DWORD lr_Texel = D3DCOLOR_ARGB(255, x, y, x ^ y);
            std::memcpy(static_cast<BYTE*>(lr_Lock.pBits) + y * lr_Lock.Pitch + x * 4, &lr_Texel, 4);
        }
    lr_Texture_->UnlockRect(0);
    lr_Device_->SetTexture(0, lr_Texture_);
    lr_Device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    lr_Device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    lr_Device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    lr_Device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    lr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    IDirect3DPixelShader9* lr_PixelShader_ = nullptr;
    if (lr_Shader) {
        if (FAILED(lr_Device_->CreatePixelShader(k_TextureCopy, &lr_PixelShader_))) {
            state.SkipWithError("shader refused");
        }
        lr_Device_->SetPixelShader(lr_PixelShader_);
    }
    lr_Device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    const float w = static_cast<float>(lr_Width) - 0.5f, h = static_cast<float>(lr_Height) - 0.5f;
    const Vertex k_Quad[] = {
        {-0.5f, -0.5f, 0.5f, 1, 0, 0}, {w, -0.5f, 0.5f, 1, 1, 0}, {-0.5f, h, 0.5f, 1, 0, 1}, {w, h, 0.5f, 1, 1, 1}};

    ISoftDeviceControl* lr_Control_ = SoftControlOf(lr_Device_);
    lr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, k_Quad, sizeof(Vertex));
    if (lr_Control_ && !lr_Control_->GetDraws().back().Rasterised)
        state.SkipWithError(lr_Control_->GetDraws().back().NotRasterisedReason.c_str());
    if (lr_Control_) lr_Control_->SetRecording(false);
    for (auto _ : state) {
        lr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, k_Quad, sizeof(Vertex));
    }
    state.counters["Mpixel/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * lr_Width * lr_Height / 1e6, benchmark::Counter::kIsRate);
    lr_Device_->SetPixelShader(nullptr);
    lr_Device_->SetTexture(0, nullptr);
    if (lr_PixelShader_) lr_PixelShader_->Release();
    lr_Texture_->Release();
}

// The occlusion shader over a depth image and the noise texture, both
// 1280x720 and 64x64 as the plug-in binds them, through its effect.
void SsaoQuad(benchmark::State& state) {
    const UINT lr_Width = 1280, lr_Height = 720;
    const ScopedSoftDevice lr_Scoped(lr_Width, lr_Height);
    IDirect3DDevice9* lr_Device_ = DeviceOrSkip(state, lr_Scoped);
    if (!lr_Device_) return;
    ID3DXEffect* lr_Effect_ = nullptr;
    const std::string ls_File = std::string(SSAO_DATA_DIR) + "/SSAO.hlsl";
    IDirect3DTexture9* lr_Depth_ = nullptr;
    IDirect3DTexture9* lr_Noise_ = nullptr;
    lr_Device_->CreateTexture(lr_Width, lr_Height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                              &lr_Depth_, nullptr);
    lr_Device_->CreateTexture(64, 64, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &lr_Noise_, nullptr);
    if (FAILED(D3DXCreateEffectFromFileA(lr_Device_, ls_File.c_str(), nullptr, nullptr, 0, nullptr, &lr_Effect_,
                                         nullptr))) {
        state.SkipWithError("SSAO.hlsl did not compile");
    } else {
        lr_Effect_->SetTexture(lr_Effect_->GetParameterBySemantic(nullptr, "ZBackBuffer"), lr_Depth_);
        lr_Effect_->SetTexture(lr_Effect_->GetParameterBySemantic(nullptr, "NoiseTexture"), lr_Noise_);
        const D3DXVECTOR4 lr_Pixel(1.0f / lr_Width, 1.0f / lr_Height, 0, 0);
        lr_Effect_->SetVector("sddx", &lr_Pixel);
        lr_Device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
        const float w = static_cast<float>(lr_Width) - 0.5f, h = static_cast<float>(lr_Height) - 0.5f;
        const Vertex k_Quad[] = {
            {-0.5f, -0.5f, 0.5f, 1, 0, 0}, {w, -0.5f, 0.5f, 1, 1, 0}, {-0.5f, h, 0.5f, 1, 0, 1}, {w, h, 0.5f, 1, 1, 1}};
        ISoftDeviceControl* lr_Control_ = SoftControlOf(lr_Device_);
        if (lr_Control_) lr_Control_->SetRecording(false);
        lr_Effect_->Begin(nullptr, 0);
        lr_Effect_->BeginPass(0);
        for (auto _ : state) {
            lr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, k_Quad, sizeof(Vertex));
        }
        lr_Effect_->EndPass();
        lr_Effect_->End();
        state.counters["Mpixel/s"] = benchmark::Counter(
            static_cast<double>(state.iterations()) * lr_Width * lr_Height / 1e6, benchmark::Counter::kIsRate);
        lr_Effect_->Release();
    }
    lr_Noise_->Release();
    lr_Depth_->Release();
}

}  // namespace

BENCHMARK(SsaoQuad)->Unit(benchmark::kMillisecond)->UseRealTime();
// Argument: 0 fixed-function stages, 1 ps_2_0 shader.
BENCHMARK(FullScreenQuad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
