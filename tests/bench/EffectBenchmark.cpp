// Time to create the occlusion effect from its file on the software device,
// shader compilation included.
#include "SoftTestDevice.h"

#include <d3dx9.h>

#include <benchmark/benchmark.h>

#include <string>

namespace {

void CreateSsaoEffect(benchmark::State& state) {
    const ScopedSoftDevice lr_Scoped(64, 64);
    IDirect3DDevice9* lr_Device_ = lr_Scoped.Get();
    if (!lr_Device_) {
        state.SkipWithError("no device");
        return;
    }
    const std::string ls_File = std::string(SSAO_DATA_DIR) + "/SSAO.hlsl";
    for (auto _ : state) {
        ID3DXEffect* lr_Effect_ = nullptr;
        if (FAILED(D3DXCreateEffectFromFileA(lr_Device_, ls_File.c_str(), nullptr, nullptr, 0, nullptr, &lr_Effect_,
                                             nullptr))) {
            state.SkipWithError("SSAO.hlsl did not compile");
            break;
        }
        lr_Effect_->Release();
    }
}

}  // namespace

BENCHMARK(CreateSsaoEffect)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
