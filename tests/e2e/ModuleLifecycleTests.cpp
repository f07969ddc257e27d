// The whole plug-in through the module on the software device: the log of
// a life cycle, failures of its data files, device loss.
#include "ModuleHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

// Copies a frame makes on the session's ps_2_0 device: the scene, the depth
// slices, the fallback occlusion's two pass copies and the occlusion term.
const size_t k_CopiesPerFrame = 5;

namespace fs = std::filesystem;

const char* kEffects[] = {"ShowTexture.hlsl", "ZBlur.hlsl", "RenderDepth.hlsl", "RenderBlack.hlsl", "SSAO.hlsl"};

fs::path RepositoryData() { return fs::path(SSAO_DATA_DIR).parent_path(); }

class ModuleLifecycleTest : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        if (HasFatalFailure()) return;
        // The plug-in's effects target shader model 2.
        mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    }

    // A private copy of the shipped data that a test may spoil.
    fs::path CopyOfData(const std::string& name = "data") {
        const fs::path lr_Data = mr_TempDirectory / name;
        CopyRepositoryData(lr_Data);
        return lr_Data;
    }

    void Start(const fs::path& data) {
        ASSERT_NE(nullptr, CreateWithData(data));
        mr_Plugin_->Initialise(mr_Device_);
        mr_Plugin_->SetActive(true);
        ASSERT_TRUE(mr_Plugin_->IsActive());
    }

    bool DrewTheSlices() const {
        for (UINT lr_Count : mr_LastPrimitiveCounts)
            if (lr_Count == 20) return true;  // ten slice quads in one batch
        return false;
    }

    // Frames keep coming and the plug-in releases everything at the end.
    void RunFramesAndFinish(int frames) {
        for (int i = 0; i < frames; ++i) RenderFrame();
        mr_Plugin_->Deinitialise();
        EXPECT_EQ(0u, mr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, false))
            << DescribeLiveObjects(mr_Control_, false);
    }
};

TEST_F(ModuleLifecycleTest, FullLifeCycleWritesTheExactLog) {
    Start(RepositoryData());
    RenderFrame();
    EXPECT_EQ(k_CopiesPerFrame, mr_LastCopies);
    EXPECT_TRUE(DrewTheSlices());
    mr_Plugin_->Deinitialise();
    EXPECT_FALSE(mr_Plugin_->IsInitialised());
    EXPECT_EQ(0u, mr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, false))
        << DescribeLiveObjects(mr_Control_, false);

    std::vector<std::string> lr_Expected = {"SSAO: Initialising...", "SSAO: Initialising finished.",
                                            "SSAO: Activating...", "SSAO: Initialising shader subsystem.",
                                            "SSAO: Loading shaders..."};
    for (const char* ls_Effect : kEffects)
        lr_Expected.push_back("SSAO: " + RepositoryData().string() + "/Plugins\\SSAO\\" + ls_Effect +
                              " shader loaded.");
    lr_Expected.push_back("SSAO: Gather basic states...");
    lr_Expected.push_back("SSAO: Activating finished.");
    for (int i = 0; i < 3; ++i) lr_Expected.push_back("SSAO: CreateTexture: D3DFMT_X8R8G8B8 800x600");
    lr_Expected.push_back("SSAO: Deinitialising...");
    for (const std::string& ls_Line : DeactivationLines()) lr_Expected.push_back(ls_Line);
    lr_Expected.push_back("SSAO: Deinitialising finished.");
    EXPECT_EQ(lr_Expected, Log());
}

TEST_F(ModuleLifecycleTest, ShippedEffectsAreValidOnAShaderModel2Device) {
    Start(RepositoryData());
    EXPECT_EQ(5u, CountLines(" shader loaded.")) << ::testing::PrintToString(Log());
    EXPECT_EQ(0u, CountLines("not loaded"));
    RunFramesAndFinish(1);
}

// The passes draw pre-transformed quads without a vertex shader, so even a
// shader model 3 device must get a ps_2_x technique (a ps_3_0 one would
// have its draws refused); a device limited to ps_2_0 gets the fallbacks.
TEST_F(ModuleLifecycleTest, ShippedEffectsDrawEveryPassOnShaderModel2And3Devices) {
    for (const DWORD lr_Model : {static_cast<DWORD>(D3DPS_VERSION(2, 0)), static_cast<DWORD>(D3DPS_VERSION(3, 0))}) {
        SCOPED_TRACE(lr_Model == static_cast<DWORD>(D3DPS_VERSION(3, 0)) ? "ps_3_0" : "ps_2_0");
        mr_Control_->SetShaderVersions(
            lr_Model == static_cast<DWORD>(D3DPS_VERSION(3, 0)) ? D3DVS_VERSION(3, 0) : D3DVS_VERSION(2, 0), lr_Model);
        Start(RepositoryData());
        EXPECT_EQ(0u, CountLines("not loaded"));
        ShowAOOnly()->SetValue(false);

        mr_Control_->ClearRecords();
        const UINT lr_CallsBefore = mr_Control_->GetCallCount(SoftCall::DrawPrimitive) +
                                    mr_Control_->GetCallCount(SoftCall::DrawIndexedPrimitive);
        mr_Device_->BeginScene();
        mr_Plugin_->Render();
        mr_Device_->EndScene();
        const UINT lr_Calls = mr_Control_->GetCallCount(SoftCall::DrawPrimitive) +
                              mr_Control_->GetCallCount(SoftCall::DrawIndexedPrimitive) - lr_CallsBefore;
        const std::vector<SoftDrawRecord>& lr_Draws = mr_Control_->GetDraws();
        EXPECT_EQ(lr_Calls, lr_Draws.size()) << "every draw the plug-in made succeeded";
        std::vector<std::string> lr_Names;
        for (const SoftDrawRecord& lr_Draw : lr_Draws) {
            lr_Names.push_back(lr_Draw.PixelShaderName);
            EXPECT_LE(lr_Draw.PixelShaderVersion, std::min<DWORD>(lr_Model, D3DPS_VERSION(2, 1)))
                << lr_Draw.PixelShaderName;
            EXPECT_EQ(nullptr, lr_Draw.VertexShader) << lr_Draw.PixelShaderName;
        }
        // Black, slices, the occlusion's passes (prefilter across and down,
        // occlusion, and the first technique's denoise across and down) and
        // the composite, then the eight probes that measure where the host's
        // depth lies.
        const size_t lr_OcclusionPasses = lr_Model == static_cast<DWORD>(D3DPS_VERSION(3, 0)) ? 5 : 3;
        EXPECT_EQ(2 + lr_OcclusionPasses + 1 + 8, lr_Draws.size()) << ::testing::PrintToString(lr_Names);
        EXPECT_EQ(8, std::count(lr_Names.begin(), lr_Names.end(), std::string("ProbePS")))
            << ::testing::PrintToString(lr_Names);
        const char* ls_Occlusion =
            lr_Model == static_cast<DWORD>(D3DPS_VERSION(3, 0)) ? "OcclusionPS" : "FallbackOcclusionPS";
        EXPECT_NE(lr_Names.end(), std::find(lr_Names.begin(), lr_Names.end(), ls_Occlusion))
            << ::testing::PrintToString(lr_Names);
        mr_Control_->ClearRecords();
        RunFramesAndFinish(1);
        DeletePlugin();
    }
}

TEST_F(ModuleLifecycleTest, ShowAOOnlyOffAddsTheCompositePass) {
    Start(RepositoryData());
    RenderFrame();
    const size_t lr_AOOnly = mr_LastDraws;
    ShowAOOnly()->SetValue(false);
    RenderFrame();
    EXPECT_EQ(lr_AOOnly + 1, mr_LastDraws);
    mr_Plugin_->FindParameter(IID_ShowAOOnlyParameter)->SetValueFromString(L"true");
    RenderFrame();
    EXPECT_EQ(lr_AOOnly, mr_LastDraws);
    RunFramesAndFinish(0);
}

TEST_F(ModuleLifecycleTest, MissingEffectLeavesThePluginRunning) {
    const fs::path lr_Data = CopyOfData();
    fs::remove(lr_Data / "Plugins" / "SSAO" / "RenderBlack.hlsl");
    Start(lr_Data);
    EXPECT_EQ(1u, CountLines("RenderBlack.hlsl shader not loaded:"));
    EXPECT_EQ(4u, CountLines(" shader loaded."));
    RunFramesAndFinish(3);
}

TEST_F(ModuleLifecycleTest, EffectThatDoesNotCompileLogsTheCompilerAndRuns) {
    const fs::path lr_Data = CopyOfData();
    {
        std::ofstream lr_Out(lr_Data / "Plugins" / "SSAO" / "SSAO.hlsl", std::ios::binary | std::ios::trunc);
        lr_Out << "float4 Colour = ;\n";
    }
    Start(lr_Data);
    const std::vector<std::string> lr_Log = Log();
    size_t lr_At = 0;
    while (lr_At < lr_Log.size() && lr_Log[lr_At].find("SSAO.hlsl shader not loaded:") == std::string::npos) ++lr_At;
    ASSERT_LT(lr_At + 1, lr_Log.size()) << ::testing::PrintToString(lr_Log);
    // The shader's error text follows on lines of its own, ending with the
    // compiler's output (file(line,col): error X...: ...).
    bool lr_CompilerText = false;
    for (size_t i = lr_At + 1; i < lr_Log.size() && lr_Log[i].rfind("SSAO: ", 0) != 0; ++i)
        if (lr_Log[i].find("SSAO.hlsl(1,") != std::string::npos && lr_Log[i].find("error X") != std::string::npos)
            lr_CompilerText = true;
    EXPECT_TRUE(lr_CompilerText) << ::testing::PrintToString(lr_Log);
    RunFramesAndFinish(3);
}

TEST_F(ModuleLifecycleTest, MissingNoiseImageLeavesThePluginRunning) {
    const fs::path lr_Data = CopyOfData();
    fs::remove(lr_Data / "Plugins" / "SSAO" / "Noise.bmp");
    Start(lr_Data);
    EXPECT_EQ(1u, CountLines("Noise.bmp texture not loaded. Critical error!"));
    RunFramesAndFinish(3);
}

TEST_F(ModuleLifecycleTest, CorruptNoiseImageLeavesThePluginRunning) {
    const fs::path lr_Data = CopyOfData();
    {
        std::ofstream lr_Out(lr_Data / "Plugins" / "SSAO" / "Noise.bmp", std::ios::binary | std::ios::trunc);
        lr_Out << "BM\x10\x00 not really a bitmap";
    }
    Start(lr_Data);
    EXPECT_EQ(1u, CountLines("Noise.bmp texture not loaded. Critical error!"));
    RunFramesAndFinish(3);
}

TEST_F(ModuleLifecycleTest, DeviceLostAndResetMidSession) {
    Start(RepositoryData());
    RenderFrame();
    ASSERT_TRUE(DrewTheSlices());
    mr_Plugin_->OnLostDevice();
    EXPECT_FALSE(mr_Plugin_->IsActive());
    D3DPRESENT_PARAMETERS lr_Present = mr_PresentParameters;
    ASSERT_EQ(D3D_OK, mr_Device_->Reset(&lr_Present)) << DescribeLiveObjects(mr_Control_, false);
    mr_Plugin_->OnResetDevice();
    EXPECT_TRUE(mr_Plugin_->IsActive());
    RenderFrame();
    EXPECT_TRUE(DrewTheSlices()) << "the slices are laid out again after the reset";
    EXPECT_EQ(k_CopiesPerFrame, mr_LastCopies);
    EXPECT_EQ(6u, CountLines("SSAO: CreateTexture: "));
    EXPECT_EQ(10u, CountLines(" shader loaded."));
    RunFramesAndFinish(1);
}

TEST_F(ModuleLifecycleTest, ResizeRecreatesTheFrameTextures) {
    Start(RepositoryData());
    RenderFrame();
    mr_Plugin_->OnLostDevice();
    D3DPRESENT_PARAMETERS lr_Present = mr_PresentParameters;
    lr_Present.BackBufferWidth = 640;
    lr_Present.BackBufferHeight = 360;
    ASSERT_EQ(D3D_OK, mr_Device_->Reset(&lr_Present));
    mr_Plugin_->OnResetDevice();
    RenderFrame();
    EXPECT_EQ(3u, CountLines("SSAO: CreateTexture: D3DFMT_X8R8G8B8 640x360"));
    RunFramesAndFinish(1);
}

TEST_F(ModuleLifecycleTest, OffscreenRenderTargetIsLeftAlone) {
    Start(RepositoryData());
    IDirect3DSurface9* lr_Saved = nullptr;
    IDirect3DSurface9* lr_Target = nullptr;
    ASSERT_EQ(D3D_OK, mr_Device_->GetRenderTarget(0, &lr_Saved));
    ASSERT_EQ(D3D_OK, mr_Device_->CreateRenderTarget(800, 600, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                     &lr_Target, nullptr));
    mr_Device_->SetRenderTarget(0, lr_Target);
    RenderFrame();
    EXPECT_EQ(0u, mr_LastDraws);
    EXPECT_EQ(0u, mr_LastCopies);
    mr_Device_->SetRenderTarget(0, lr_Saved);
    lr_Saved->Release();
    lr_Target->Release();
    RenderFrame();
    EXPECT_EQ(k_CopiesPerFrame, mr_LastCopies);
    RunFramesAndFinish(0);
}

TEST_F(ModuleLifecycleTest, DataPathOutsideTheAnsiPageLosesTheEffectsButNotTheNoise) {
    const fs::path lr_Data = CopyOfData("daten-\xC5\x91");  // U+0151 has no Windows-1252 form
    Start(lr_Data);
    EXPECT_EQ(5u, CountLines(" shader not loaded:"));
    EXPECT_EQ(5u, CountLines("daten-?/Plugins\\SSAO\\")) << "the narrow path shows the lost character";
    EXPECT_EQ(0u, CountLines("texture not loaded"));
    RunFramesAndFinish(3);
}

}  // namespace
