// CPU time of one steady frame: the back buffer unchanged, all five effects
// loaded, the software device recording nothing.
#include "FrameTestData.h"

#include "contract/Guids.h"
#include "contract/ICheckBoxParameter.h"
#include "contract/IParameter.h"
#include "plugin/Plugin.h"

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// The plug-in's effect members, for checking that every pass is really drawn.
class BenchPlugin : public k_Plugin {
public:
    using k_Plugin::k_Plugin;
    using k_Plugin::mr_BlurPasses;

    bool AllEffectsLoaded() {
        for (IShader* lr_Shader_ : {mr_ShowTextureShader_, mr_ZBlurShader_, mr_RenderDepthShader_,
                                    mr_RenderBlackShader_, mr_SSAOShader_}) {
            if (!lr_Shader_ || !lr_Shader_->IsValid()) return false;
        }
        return true;
    }
};

// {E11173DF-0193-4102-81E5-AC8256483E05}
const GUID k_ShowAOOnlyGuid = {0xE11173DF, 0x0193, 0x4102, {0x81, 0xE5, 0xAC, 0x82, 0x56, 0x48, 0x3E, 0x05}};

void SteadyFrame(benchmark::State& state) {
    const bool lr_ShowAOOnly = state.range(0) != 0;
    const int lr_BlurPasses = static_cast<int>(state.range(1));

    const std::filesystem::path lr_Directory =
        std::filesystem::temp_directory_path() / ("ssao-frame-bench-" + std::to_string(::getpid()));
    WriteFrameTestData(lr_Directory / "Plugins" / "SSAO");
    const std::wstring ls_Base = lr_Directory.wstring() + L"/";
    TestHost lr_Host(ls_Base, ls_Base);

    IDirect3D9* lr_Direct3D_ = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS lr_Params = {};
    lr_Params.BackBufferWidth = 800;
    lr_Params.BackBufferHeight = 600;
    lr_Params.BackBufferFormat = D3DFMT_X8R8G8B8;
    lr_Params.BackBufferCount = 1;
    lr_Params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    lr_Params.Windowed = TRUE;
    lr_Params.EnableAutoDepthStencil = TRUE;
    lr_Params.AutoDepthStencilFormat = D3DFMT_D24S8;
    IDirect3DDevice9* lr_Device_ = nullptr;
    if (!lr_Direct3D_ || FAILED(lr_Direct3D_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                                           D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Params,
                                                           &lr_Device_))) {
        state.SkipWithError("no device");
        if (lr_Direct3D_) lr_Direct3D_->Release();
        return;
    }
    ISoftDeviceControl* lr_Control_ = nullptr;
    lr_Device_->QueryInterface(IID_ISoftDeviceControl, reinterpret_cast<void**>(&lr_Control_));

    {
        std::unique_ptr<BenchPlugin> lr_Plugin(new BenchPlugin(&lr_Host));
        lr_Plugin->Initialise(lr_Device_);
        lr_Plugin->SetActive(true);
        IParameter* lr_Parameter_ = lr_Plugin->FindParameter(k_ShowAOOnlyGuid);
        static_cast<ICheckBoxParameter*>(lr_Parameter_->GetInterface(IID_ICheckBoxParameter))
            ->SetValue(lr_ShowAOOnly);
        lr_Plugin->mr_BlurPasses = lr_BlurPasses;
        if (!lr_Plugin->AllEffectsLoaded()) {
            state.SkipWithError("an effect did not load");
        } else {
            lr_Plugin->Render();  // creates the targets and lays out the slices
            if (lr_Control_) {
                lr_Control_->SetRecording(false);
                lr_Control_->ResetCallCounts();
            }
            for (auto _ : state) {
                lr_Plugin->Render();
            }
            if (lr_Control_) {
                const double lr_Frames = static_cast<double>(state.iterations());
                state.counters["draws/frame"] =
                    lr_Control_->GetCallCount(SoftCall::DrawIndexedPrimitive) / (lr_Frames > 0 ? lr_Frames : 1);
                state.counters["copies/frame"] =
                    lr_Control_->GetCallCount(SoftCall::StretchRect) / (lr_Frames > 0 ? lr_Frames : 1);
            }
        }
        lr_Plugin->Deinitialise();
    }
    if (lr_Control_) lr_Control_->Release();
    lr_Device_->Release();
    lr_Direct3D_->Release();
    std::error_code lr_Error;
    std::filesystem::remove_all(lr_Directory, lr_Error);
}

}  // namespace

// Arguments: ShowAOOnly, blur passes.
BENCHMARK(SteadyFrame)->Args({1, 0})->Args({0, 0})->Args({0, 2})->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
