// CPU time of one steady frame: the back buffer unchanged, all five effects
// loaded, the software device recording nothing.
#include "Plugin.h"
#include "FrameTestData.h"
#include "PluginExpectations.h"
#include "SoftTestDevice.h"
#include "TestHost.h"

#include "ICheckBoxParameter.h"
#include "IParameter.h"

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// Every pass is really drawn only when every effect loaded, and each says so in the log.
bool AllEffectsLoaded(const std::filesystem::path& log) {
    std::ifstream lr_File(log, std::ios::binary);
    const std::string ls_Log((std::istreambuf_iterator<char>(lr_File)), std::istreambuf_iterator<char>());
    size_t lr_Loaded = 0;
    // The log ends its lines as a Windows log does: match the text alone.
    for (size_t lr_At = ls_Log.find(" shader loaded."); lr_At != std::string::npos;
         lr_At = ls_Log.find(" shader loaded.", lr_At + 1))
        ++lr_Loaded;
    return lr_Loaded == 5;
}

// One frame after another of the plug-in. With the shipped effect files the
// software device shades every pass; the test's own small effects measure
// the plug-in's and the effect runtime's own cost.
void RunFrames(benchmark::State& state, bool shipped, UINT width, UINT height) {
    const bool lr_ShowAOOnly = state.range(0) != 0;
    const int lr_BlurPasses = static_cast<int>(state.range(1));

    const std::filesystem::path lr_Directory =
        std::filesystem::temp_directory_path() / ("ssao-frame-bench-" + std::to_string(::getpid()));
    std::error_code lr_Error;
    std::filesystem::create_directories(lr_Directory / "Plugins", lr_Error);
    if (shipped)
        std::filesystem::copy(SSAO_DATA_DIR, lr_Directory / "Plugins" / "SSAO",
                              std::filesystem::copy_options::recursive, lr_Error);
    else
        WriteFrameTestData(lr_Directory / "Plugins" / "SSAO");
    const std::wstring ls_Base = lr_Directory.wstring() + L"/";
    TestHost lr_Host(ls_Base, ls_Base);

    IDirect3D9* lr_Direct3D_ = nullptr;
    IDirect3DDevice9* lr_Device_ = nullptr;
    if (FAILED(CreateSoftDevice(SoftPresentParameters(width, height), D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                &lr_Direct3D_, &lr_Device_))) {
        state.SkipWithError("no device");
        return;
    }
    ISoftDeviceControl* lr_Control_ = SoftControlOf(lr_Device_);

    {
        std::unique_ptr<k_Plugin> lr_Plugin(new k_Plugin(&lr_Host));
        lr_Plugin->Initialise(lr_Device_);
        lr_Plugin->SetActive(true);
        IParameter* lr_Parameter_ = lr_Plugin->FindParameter(IID_ShowAOOnlyParameter);
        static_cast<ICheckBoxParameter*>(lr_Parameter_->GetInterface(IID_ICheckBoxParameter))->SetValue(lr_ShowAOOnly);
        lr_Plugin->SetBlurPasses(lr_BlurPasses);
        if (!AllEffectsLoaded(lr_Directory / "Vexil.log")) {
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
            const double lr_Frames = std::max(1.0, static_cast<double>(state.iterations()));
            if (lr_Control_) {
                // Every device call the plug-in and its effects make.
                state.counters["device calls/frame"] =
                    static_cast<double>(lr_Control_->GetTotalCallCount()) / lr_Frames;
                state.counters["draws/frame"] = lr_Control_->GetCallCount(SoftCall::DrawIndexedPrimitive) / lr_Frames;
                state.counters["copies/frame"] = lr_Control_->GetCallCount(SoftCall::StretchRect) / lr_Frames;
            }
        }
        lr_Plugin->Deinitialise();
    }
    lr_Device_->Release();
    lr_Direct3D_->Release();
    std::filesystem::remove_all(lr_Directory, lr_Error);
}

void SteadyFrame(benchmark::State& state) { RunFrames(state, false, 800, 600); }
void ShippedEffectsFrame1280x720(benchmark::State& state) { RunFrames(state, true, 1280, 720); }

}  // namespace

// Arguments: ShowAOOnly, blur passes.
BENCHMARK(SteadyFrame)->Args({1, 0})->Args({0, 0})->Args({0, 2})->Unit(benchmark::kMicrosecond);
BENCHMARK(ShippedEffectsFrame1280x720)->Args({0, 0})->Args({0, 2})->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
