// Texture samples per second: LINEAR on A8R8G8B8 and POINT on R32F, a
// 256 x 256 texture swept at a little under one texel per sample.
#include "SoftTestDevice.h"

#include "pipeline/SoftTextureSampler.h"

#include <d3d9.h>

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

void SampleTexture(benchmark::State& state, D3DFORMAT format, DWORD filter) {
    const ScopedSoftDevice lr_Scoped(64, 64);
    IDirect3DDevice9* lr_Device_ = lr_Scoped.Get();
    IDirect3DTexture9* lr_Texture_ = nullptr;
    if (!lr_Device_ ||
        FAILED(lr_Device_->CreateTexture(256, 256, 1, 0, format, D3DPOOL_MANAGED, &lr_Texture_, nullptr))) {
        state.SkipWithError("no device or texture");
        return;
    }
    D3DLOCKED_RECT lr_Lock;
    lr_Texture_->LockRect(0, &lr_Lock, nullptr, 0);
    for (UINT y = 0; y < 256; ++y)
        for (UINT b = 0; b < 256 * 4; ++b)
            static_cast<BYTE*>(lr_Lock.pBits)[y * lr_Lock.Pitch + b] = static_cast<BYTE>(b ^ y);
    lr_Texture_->UnlockRect(0);

    IDirect3DBaseTexture9* lr_Textures[16] = {lr_Texture_};
    DWORD lr_States[16][14] = {};
    for (auto& lr_Row : lr_States) {
        lr_Row[D3DSAMP_ADDRESSU] = lr_Row[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        lr_Row[D3DSAMP_MAGFILTER] = lr_Row[D3DSAMP_MINFILTER] = filter;
    }
    SoftTextureSampler lr_Sampler;
    lr_Sampler.Bind(lr_Textures, lr_States);

    const float lr_Step = 0.9f / 256;
    const float lr_Ddx[4] = {lr_Step, 0, 0, 0}, lr_Ddy[4] = {0, lr_Step, 0, 0};
    float lr_Coord[4] = {0, 0, 0, 1}, lr_Out[4];
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i) {
            lr_Coord[0] += lr_Step;
            lr_Coord[1] += lr_Step * 0.37f;
            lr_Sampler.Sample(0, lr_Coord, lr_Ddx, lr_Ddy, SoftLodMode::Implicit, 0, lr_Out);
            benchmark::DoNotOptimize(lr_Out);
        }
        if (lr_Coord[0] > 64) lr_Coord[0] = lr_Coord[1] = 0;
    }
    state.SetItemsProcessed(state.iterations() * 1024);
    lr_Texture_->Release();
}

void LinearA8R8G8B8(benchmark::State& state) { SampleTexture(state, D3DFMT_A8R8G8B8, D3DTEXF_LINEAR); }
void PointR32F(benchmark::State& state) { SampleTexture(state, D3DFMT_R32F, D3DTEXF_POINT); }

}  // namespace

BENCHMARK(LinearA8R8G8B8);
BENCHMARK(PointR32F);
BENCHMARK_MAIN();
