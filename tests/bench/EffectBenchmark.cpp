// Time to create the occlusion effect on the software device: from its file,
// where a second creation reuses the first compile, and from text that
// differs each time, so that every creation runs the compiler process.
#include "FolderInclude.h"
#include "SoftTestDevice.h"

#include <d3dx9.h>

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
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

void CompileSsaoEffect(benchmark::State& state) {
    const ScopedSoftDevice lr_Scoped(64, 64);
    IDirect3DDevice9* lr_Device_ = lr_Scoped.Get();
    std::ifstream lr_File(std::string(SSAO_DATA_DIR) + "/SSAO.hlsl", std::ios::binary);
    const std::string ls_Text((std::istreambuf_iterator<char>(lr_File)), std::istreambuf_iterator<char>());
    if (!lr_Device_ || ls_Text.empty()) {
        state.SkipWithError("no device or no SSAO.hlsl");
        return;
    }
    // The text names the headers beside it.
    FolderInclude lr_Include(SSAO_DATA_DIR);
    // Across runs too: the benchmark calls this function more than once.
    static unsigned long s_Run = 0;
    for (auto _ : state) {
        // A declaration, not a comment: comments do not reach the compiler.
        const std::string ls_Unique = ls_Text + "\nstatic const float k_Run" + std::to_string(++s_Run) + " = 0;\n";
        ID3DXEffect* lr_Effect_ = nullptr;
        if (FAILED(D3DXCreateEffect(lr_Device_, ls_Unique.data(), static_cast<UINT>(ls_Unique.size()), nullptr,
                                    &lr_Include, 0, nullptr, &lr_Effect_, nullptr))) {
            state.SkipWithError("SSAO.hlsl did not compile");
            break;
        }
        lr_Effect_->Release();
    }
}

}  // namespace

BENCHMARK(CreateSsaoEffect)->Unit(benchmark::kMillisecond);
BENCHMARK(CompileSsaoEffect)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
