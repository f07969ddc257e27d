// The module against hostile data and exhausted resources, through
// CreatePlugin and the interface tables: an effect past its compile budget,
// memory over many activations, a log that is a named pipe, a frame that
// fails the same way every time.
#include "ModuleHost.h"
#include "SoftTestDevice.h"

#include <soft/SoftEffectCompiler.h>

#include <gtest/gtest.h>

#include <fstream>
#include <malloc.h>
#include <cstdlib>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

namespace fs = std::filesystem;

// Bytes of the heap in use (the sanitizer's allocator has its own count).
size_t HeapInUse() {
    if (__sanitizer_get_current_allocated_bytes) return __sanitizer_get_current_allocated_bytes();
    return mallinfo2().uordblks;
}

// Resident bytes of the process.
size_t Resident() {
    std::ifstream lr_Statm("/proc/self/statm");
    size_t lr_Pages = 0, lr_Resident = 0;
    lr_Statm >> lr_Pages >> lr_Resident;
    return lr_Resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

class ModuleRobustnessTest : public ModuleTest {
protected:
    // Many frames: a small back buffer.
    ModuleRobustnessTest() { mr_PresentParameters = SoftPresentParameters(64, 48); }

    void SetUp() override {
        ModuleTest::SetUp();
        if (HasFatalFailure()) return;
        mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
        mr_Data = mr_TempDirectory / "data";
        CopyRepositoryData(mr_Data);
    }
    void TearDown() override {
        SoftSetEffectCompileBudget(nullptr);
        ModuleTest::TearDown();
    }

    void Start() {
        ASSERT_NE(nullptr, CreateWithData(mr_Data));
        mr_Plugin_->Initialise(mr_Device_);
        mr_Plugin_->SetActive(true);
        ASSERT_TRUE(mr_Plugin_->IsActive());
    }

    // One frame; the entry points of the pixel shaders it drew with.
    std::set<std::string> Frame() {
        mr_Control_->ClearRecords();
        mr_Device_->BeginScene();
        mr_Plugin_->Render();
        mr_Device_->EndScene();
        std::set<std::string> lr_Shaders;
        for (const SoftDrawRecord& lr_Draw : mr_Control_->GetDraws()) lr_Shaders.insert(lr_Draw.PixelShaderName);
        mr_Control_->ClearRecords();
        return lr_Shaders;
    }

    fs::path mr_Data;
};

TEST_F(ModuleRobustnessTest, AnEffectPastItsCompileBudgetIsLoggedAndTheOtherPassesStillDraw) {
    // Unrolling 100,000 additions would take the compiler minutes.
    std::ofstream(mr_Data / "Plugins" / "SSAO" / "RenderBlack.hlsl", std::ios::binary | std::ios::trunc)
        << "float4 BlackPS() : COLOR0 { float a = 0; [unroll(100000)] for (int i = 0; i < 100000; i++) a += 0.001; "
           "return a; }\ntechnique Black { pass { PixelShader = compile ps_2_0 BlackPS(); } }\n";
    const SoftEffectCompileBudget lr_Budget = {1000, 0};
    SoftSetEffectCompileBudget(&lr_Budget);
    Start();
    EXPECT_EQ(CountLines("SSAO\\RenderBlack.hlsl shader not loaded:"), 1u) << ReadFile(mr_Base / "Vexil.log");
    EXPECT_EQ(CountLines("error X3000: compiling 'BlackPS' for ps_2_0 went past the effect's compile budget of 1 s "
                         "of CPU time"),
              1u);
    EXPECT_EQ(CountLines("SSAO\\SSAO.hlsl shader loaded."), 1u);
    ShowAOOnly()->SetValue(false);
    const std::set<std::string> lr_Shaders = Frame();
    EXPECT_EQ(lr_Shaders.count("BlackPS"), 0u);
    // The device is limited to ps_2_0: the slices and the occlusion run their fallbacks.
    EXPECT_EQ(lr_Shaders.count("SliceFallbackPS"), 1u);
    EXPECT_EQ(lr_Shaders.count("FallbackOcclusionPS"), 1u);
    EXPECT_EQ(lr_Shaders.count("CombinePS"), 1u);
    mr_Plugin_->Deinitialise();
}

TEST_F(ModuleRobustnessTest, TheHeapStaysFlatOverRepeatedActivations) {
    Start();
    Frame();
    // The first cycles fill what is kept for good (compiled shaders, pools).
    for (int i = 0; i < 5; ++i) {
        mr_Plugin_->SetActive(false);
        mr_Plugin_->SetActive(true);
        Frame();
    }
    const size_t lr_Before = HeapInUse();
    // SSAO_ACTIVATION_CYCLES sets the count (the README's figure is 500).
    const char* ls_Cycles = std::getenv("SSAO_ACTIVATION_CYCLES");
    const int k_Cycles = ls_Cycles ? std::atoi(ls_Cycles) : 40;
    for (int i = 0; i < k_Cycles; ++i) {
        mr_Plugin_->SetActive(false);
        mr_Plugin_->SetActive(true);
        ASSERT_TRUE(mr_Plugin_->IsActive());
        Frame();
    }
    const long long lr_Growth = static_cast<long long>(HeapInUse()) - static_cast<long long>(lr_Before);
    std::cout << "heap growth over " << k_Cycles << " activations: " << lr_Growth << " bytes; resident " << Resident()
              << " bytes\n";
    // A leak of the compiler's size (about 90 KB an activation) would be megabytes.
    EXPECT_LT(lr_Growth, 64 * 1024) << "bytes over " << k_Cycles << " activations";
    mr_Plugin_->Deinitialise();
}

// A host's session in random order: frames, switching off and on, the
// check box, lost devices with and without a new size, repeated losses.
// SSAO_SOAK_STEPS sets the length (the README's figure is 20,000).
TEST_F(ModuleRobustnessTest, TheHeapStaysFlatOverARandomSoak) {
    const char* ls_Steps = std::getenv("SSAO_SOAK_STEPS");
    const int lr_Steps = ls_Steps ? std::atoi(ls_Steps) : 300;
    Start();
    std::mt19937 lr_Random(20261207u);
    int lr_Resets = 0, lr_Resizes = 0, lr_Losses = 0;
    const UINT k_Sizes[3][2] = {{64, 48}, {80, 60}, {96, 54}};
    auto lr_Step = [&]() {
        const unsigned lr_Kind = lr_Random() % 12;
        if (lr_Kind < 6) {
            Frame();
        } else if (lr_Kind == 6) {
            mr_Plugin_->SetActive(!mr_Plugin_->IsActive());
        } else if (lr_Kind == 7) {
            ShowAOOnly()->SetValue(!ShowAOOnly()->GetValue());
        } else {
            // A lost device: the host tells the plug-in, some hosts more than once, then resets.
            const int lr_Calls = lr_Kind == 11 ? 3 : 1;
            for (int c = 0; c < lr_Calls; ++c) mr_Plugin_->OnLostDevice();
            lr_Losses += lr_Calls;
            D3DPRESENT_PARAMETERS lr_Present = mr_PresentParameters;
            if (lr_Kind >= 10) {
                const UINT* lr_Size = k_Sizes[lr_Random() % 3];
                lr_Present.BackBufferWidth = lr_Size[0];
                lr_Present.BackBufferHeight = lr_Size[1];
                ++lr_Resizes;
            }
            ASSERT_EQ(mr_Device_->Reset(&lr_Present), D3D_OK) << DescribeLiveObjects(mr_Control_, false);
            ++lr_Resets;
            mr_Plugin_->OnResetDevice();
        }
    };
    // The same state before both measures: active, the first size, the check box on.
    auto lr_Settle = [&]() {
        mr_Plugin_->OnLostDevice();
        D3DPRESENT_PARAMETERS lr_Present = mr_PresentParameters;
        ASSERT_EQ(mr_Device_->Reset(&lr_Present), D3D_OK);
        mr_Plugin_->OnResetDevice();
        mr_Plugin_->SetActive(true);
        ShowAOOnly()->SetValue(true);
        Frame();
    };
    for (int i = 0; i < 60; ++i) ASSERT_NO_FATAL_FAILURE(lr_Step());
    ASSERT_NO_FATAL_FAILURE(lr_Settle());
    const size_t lr_Before = HeapInUse();
    const size_t lr_ResidentBefore = Resident();
    for (int i = 0; i < lr_Steps; ++i) ASSERT_NO_FATAL_FAILURE(lr_Step());
    ASSERT_NO_FATAL_FAILURE(lr_Settle());
    const long long lr_Growth = static_cast<long long>(HeapInUse()) - static_cast<long long>(lr_Before);
    std::cout << lr_Steps << " soak steps (" << lr_Resets << " resets, " << lr_Resizes << " resizes, " << lr_Losses
              << " lost-device calls): heap growth " << lr_Growth << " bytes; resident " << lr_ResidentBefore << " -> "
              << Resident() << " bytes\n";
    EXPECT_LT(lr_Growth, 64 * 1024);
    mr_Plugin_->Deinitialise();
}

TEST_F(ModuleRobustnessTest, ALogThatIsANamedPipeNeitherHangsNorStopsThePlugin) {
    ASSERT_EQ(mkfifo((mr_Base / "Vexil.log").c_str(), 0600), 0);
    ::testing::internal::CaptureStderr();
    Start();
    Frame();
    mr_Plugin_->Deinitialise();
    const std::string ls_Reported = ::testing::internal::GetCapturedStderr();
    const std::string ls_Line = "SSAO: the log " + mr_Base.string() + "/Vexil.log cannot be written (error 5)";
    EXPECT_NE(ls_Reported.find(ls_Line), std::string::npos) << ls_Reported;
    EXPECT_EQ(ls_Reported.find(ls_Line), ls_Reported.rfind(ls_Line)) << "reported once: " << ls_Reported;
    struct stat lr_Stat;
    ASSERT_EQ(::stat((mr_Base / "Vexil.log").c_str(), &lr_Stat), 0);
    EXPECT_TRUE(S_ISFIFO(lr_Stat.st_mode));
}

TEST_F(ModuleRobustnessTest, AFrameThatThrowsEveryTimeIsLoggedOnceUntilAFrameSucceeds) {
    Start();
    Frame();
    const std::string ls_Line = "SSAO: Render failed: soft device fault";
    mr_Control_->ThrowFromCall(SoftCall::GetRenderTarget, 5);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(Frame().empty());
    EXPECT_EQ(CountLines(ls_Line), 1u);
    EXPECT_FALSE(Frame().empty()) << "the failure cleared";
    mr_Control_->ThrowFromCall(SoftCall::GetRenderTarget, 2);
    Frame();
    Frame();
    EXPECT_EQ(CountLines(ls_Line), 2u) << "a new run of failures is logged again";
    mr_Plugin_->Deinitialise();
}

}  // namespace
