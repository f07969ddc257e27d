#include "Plugin.h"
#include "PluginExpectations.h"
#include "SoftDeviceFixture.h"
#include "TestFiles.h"
#include "TestHost.h"

#include "ICheckBoxParameter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class PluginLifecycleTest : public SoftDeviceFixture {
protected:
    void SetUp() override {
        SoftDeviceFixture::SetUp();
        if (HasFatalFailure()) return;
        mr_Base = mr_TempDirectory / "base";
        mr_Data = mr_TempDirectory / "data";
        fs::create_directories(mr_Base);
        fs::create_directories(mr_Data / "Plugins" / "SSAO");
        WriteBmp(mr_Data / "Plugins" / "SSAO" / "Noise.bmp", 4, 2);
        mr_Host = std::make_unique<TestHost>(WidePath(mr_Base) + L"/", WidePath(mr_Data) + L"/");
        mr_Plugin = std::make_unique<k_Plugin>(mr_Host.get());
    }
    void TearDown() override {
        if (mr_Plugin && mr_Plugin->IsInitialised()) mr_Plugin->Deinitialise();
        mr_Plugin.reset();
        SoftDeviceFixture::TearDown();
    }

    std::vector<std::string> Log() const { return ReadLines(mr_Base / "Vexil.log"); }
    // Lines written since the log had `from` lines.
    std::vector<std::string> LogSince(size_t from) const {
        std::vector<std::string> lr_All = Log();
        if (from >= lr_All.size()) return {};
        return std::vector<std::string>(lr_All.begin() + static_cast<long>(from), lr_All.end());
    }
    UINT LiveObjects() const { return mr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, false); }

    void InitialiseAndActivate() {
        mr_Plugin->Initialise(mr_Device_);
        mr_Plugin->SetActive(true);
        ASSERT_TRUE(mr_Plugin->IsActive());
    }

    void ExpectActivationLog(const std::vector<std::string>& lines) {
        ASSERT_GE(lines.size(), 10u);
        EXPECT_EQ("SSAO: Activating...", lines[0]);
        EXPECT_EQ("SSAO: Initialising shader subsystem.", lines[1]);
        EXPECT_EQ("SSAO: Loading shaders...", lines[2]);
        EXPECT_EQ("SSAO: Gather basic states...", lines[lines.size() - 2]);
        EXPECT_EQ("SSAO: Activating finished.", lines.back());
        // One outcome per effect, in load order.
        const char* lr_Effects[] = {"ShowTexture.hlsl", "ZBlur.hlsl", "RenderDepth.hlsl", "RenderBlack.hlsl",
                                    "SSAO.hlsl"};
        size_t lr_Next = 0;
        const std::string ls_Prefix = "SSAO: " + mr_Data.string() + "/Plugins\\SSAO\\";
        for (const std::string& ls_Line : lines)
            if (lr_Next < 5 && ls_Line.rfind(ls_Prefix + lr_Effects[lr_Next] + " shader ", 0) == 0) ++lr_Next;
        EXPECT_EQ(5u, lr_Next) << "effect outcomes missing or out of order";
    }

    fs::path mr_Base;
    fs::path mr_Data;
    std::unique_ptr<TestHost> mr_Host;
    std::unique_ptr<k_Plugin> mr_Plugin;
};

TEST_F(PluginLifecycleTest, NewPluginPublishesItselfAndTouchesNothing) {
    EXPECT_EQ(L"SSAO", mr_Plugin->GetName());
    EXPECT_EQ(L"Blurs scene elements who are out of focus.", mr_Plugin->GetDescription());
    EXPECT_FALSE(mr_Plugin->IsInitialised());
    EXPECT_FALSE(mr_Plugin->IsActive());
    EXPECT_EQ(static_cast<IHost*>(mr_Host.get()), mr_Plugin->GetHost());
    ASSERT_EQ(1u, mr_Plugin->GetParameters().size());

    IParameter* lr_Parameter = mr_Plugin->FindParameter(IID_ShowAOOnlyParameter);
    ASSERT_NE(nullptr, lr_Parameter);
    EXPECT_EQ(mr_Plugin->GetParameters()[0], lr_Parameter);
    EXPECT_EQ(1, lr_Parameter->GetType());
    EXPECT_EQ(L"ShowAOOnly", lr_Parameter->GetName());
    EXPECT_EQ(L"Renders the ambient occlusion value.", lr_Parameter->GetDescription());
    EXPECT_EQ(L"Show AO only: true", lr_Parameter->GetCaption());
    EXPECT_EQ(static_cast<IDirect3D9BasePlugin*>(mr_Plugin.get()), lr_Parameter->GetPlugin());
    auto* lr_CheckBox = static_cast<ICheckBoxParameter*>(lr_Parameter->GetInterface(IID_ICheckBoxParameter));
    ASSERT_NE(nullptr, lr_CheckBox);
    EXPECT_TRUE(lr_CheckBox->GetValue());
    EXPECT_TRUE(lr_CheckBox->GetDefaultValue());

    EXPECT_FALSE(fs::exists(mr_Base / "Vexil.log")) << "construction writes no log";
    EXPECT_EQ(0, mr_Host->mr_DataPathCalls);
    EXPECT_EQ(0u, LiveObjects());
    EXPECT_EQ(0u, mr_Control_->GetCallCount(SoftCall::CreateStateBlock));
    mr_Plugin->Initialise(mr_Device_);
    EXPECT_TRUE(fs::exists(mr_Base / "Vexil.log")) << "the log is the base path's Vexil.log";
}

TEST_F(PluginLifecycleTest, LogPathIsTheBasePathWithTheFileNameGlued) {
    // Nothing inserts a separator the host left out.
    TestHost lr_Bare(WidePath(mr_TempDirectory / "glued"), L"");
    k_Plugin lr_Glued(&lr_Bare);
    lr_Glued.Initialise(mr_Device_);
    lr_Glued.Deinitialise();
    EXPECT_FALSE(ReadLines(mr_TempDirectory / "gluedVexil.log").empty());
    EXPECT_FALSE(fs::exists(mr_TempDirectory / "glued"));
}

TEST_F(PluginLifecycleTest, NeverInitialisedPluginTouchesNoDevice) {
    const ULONG lr_Refs = mr_Control_->GetDeviceRefCount();
    mr_Control_->ResetCallCounts();
    mr_Plugin->SetActive(false);
    mr_Plugin->OnLostDevice();
    mr_Plugin->OnResetDevice();
    mr_Plugin.reset();
    EXPECT_EQ(lr_Refs, mr_Control_->GetDeviceRefCount());
    EXPECT_EQ(0u, mr_Control_->GetCallCount(SoftCall::CreateStateBlock));
    EXPECT_EQ(0u, mr_Control_->GetCallCount(SoftCall::CreateTexture));
    EXPECT_EQ(0u, LiveObjects());
    EXPECT_FALSE(fs::exists(mr_Base / "Vexil.log"));
}

TEST_F(PluginLifecycleTest, SwitchingOnBeforeAnyDeviceCreatesNothingOnADevice) {
    // Out of the host's contract, but it must not crash or leak.
    mr_Control_->ResetCallCounts();
    mr_Plugin->SetActive(true);
    EXPECT_TRUE(mr_Plugin->IsActive());
    EXPECT_EQ(0u, LiveObjects());
    EXPECT_EQ(0u, mr_Control_->GetCallCount(SoftCall::CreateTexture));
    EXPECT_EQ("SSAO: Activating finished.", Log().back());
    mr_Plugin->SetActive(false);
    EXPECT_EQ("SSAO: Deactivating finished.", Log().back());
    EXPECT_EQ(0u, mr_Control_->GetCallCount(SoftCall::CreateStateBlock));
    EXPECT_EQ(0u, LiveObjects());
}

TEST_F(PluginLifecycleTest, InitialiseSetsTheTuningValuesAndWritesTwoLines) {
    const ULONG lr_Refs = mr_Control_->GetDeviceRefCount();

    mr_Plugin->Initialise(mr_Device_);

    EXPECT_TRUE(mr_Plugin->IsInitialised());
    EXPECT_FALSE(mr_Plugin->IsActive());
    EXPECT_EQ(std::vector<std::string>({"SSAO: Initialising...", "SSAO: Initialising finished."}), Log());
    EXPECT_EQ(0u, LiveObjects());
    EXPECT_EQ(lr_Refs, mr_Control_->GetDeviceRefCount()) << "the plug-in holds no device reference";

    mr_Plugin->Deinitialise();
    EXPECT_EQ(std::vector<std::string>({"SSAO: Initialising...", "SSAO: Initialising finished.",
                                        "SSAO: Deinitialising...", "SSAO: Deinitialising finished."}),
              Log());
    EXPECT_FALSE(mr_Plugin->IsInitialised());
}

TEST_F(PluginLifecycleTest, InitialiseWithoutDeviceStaysUninitialised) {
    mr_Plugin->Initialise(nullptr);
    EXPECT_FALSE(mr_Plugin->IsInitialised());
    EXPECT_EQ(2u, Log().size());
}

TEST_F(PluginLifecycleTest, ActivationBuildsEverythingButTheRenderTargets) {
    mr_Plugin->Initialise(mr_Device_);
    const size_t lr_Before = Log().size();
    mr_Plugin->SetActive(true);

    EXPECT_TRUE(mr_Plugin->IsActive());
    // Two state blocks (the host's defaults and the capture of each frame) and the noise image.
    EXPECT_EQ(2u, mr_Control_->CountLiveObjects(SoftObjectKind::StateBlock, -1, false));
    EXPECT_EQ(2u, mr_Control_->GetCallCount(SoftCall::CreateStateBlock));
    EXPECT_EQ(1u, mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false)) << "only the noise image";
    for (const SoftLiveObject& lr_Object : mr_Control_->GetLiveObjects()) {
        if (lr_Object.Kind != SoftObjectKind::Texture) continue;
        EXPECT_EQ(4u, lr_Object.Width);
        EXPECT_EQ(2u, lr_Object.Height);
        auto* lr_Texture_ = static_cast<IDirect3DTexture9*>(const_cast<void*>(lr_Object.Object));
        EXPECT_EQ(3u, lr_Texture_->GetLevelCount()) << "4x2, 2x1, 1x1: the device mipmaps";
    }
    // Every effect has its outcome, the missing ones too.
    ExpectActivationLog(LogSince(lr_Before));
}

TEST_F(PluginLifecycleTest, SwitchingToTheCurrentStateDoesNothing) {
    mr_Plugin->Initialise(mr_Device_);
    mr_Plugin->SetActive(false);
    EXPECT_EQ(2u, Log().size());
    EXPECT_FALSE(mr_Plugin->IsActive());

    mr_Plugin->SetActive(true);
    const size_t lr_Lines = Log().size();
    const UINT lr_Live = LiveObjects();
    mr_Control_->ResetCallCounts();
    mr_Plugin->SetActive(true);
    EXPECT_EQ(lr_Lines, Log().size());
    EXPECT_EQ(lr_Live, LiveObjects());
    EXPECT_EQ(0u, mr_Control_->GetCallCount(SoftCall::CreateStateBlock));
    EXPECT_TRUE(mr_Plugin->IsActive());

    mr_Plugin->SetActive(false);
    const size_t lr_AfterOff = Log().size();
    EXPECT_EQ(0u, LiveObjects());
    mr_Plugin->SetActive(false);
    EXPECT_EQ(lr_AfterOff, Log().size());
    EXPECT_FALSE(mr_Plugin->IsActive());
}

TEST_F(PluginLifecycleTest, DeinitialiseOnAnActivePluginWritesFourteenLinesAndReleasesEverything) {
    const ULONG lr_DeviceReferences = mr_Control_->GetDeviceRefCount();
    InitialiseAndActivate();
    const size_t lr_Before = Log().size();
    mr_Plugin->Deinitialise();

    std::vector<std::string> lr_Expected = {"SSAO: Deinitialising..."};
    for (const std::string& ls_Line : DeactivationLines()) lr_Expected.push_back(ls_Line);
    lr_Expected.push_back("SSAO: Deinitialising finished.");
    ASSERT_EQ(14u, lr_Expected.size());
    EXPECT_EQ(lr_Expected, LogSince(lr_Before));
    EXPECT_FALSE(mr_Plugin->IsActive());
    EXPECT_FALSE(mr_Plugin->IsInitialised());
    EXPECT_EQ(0u, LiveObjects()) << DescribeLiveObjects(mr_Control_, false);
    EXPECT_EQ(lr_DeviceReferences, mr_Control_->GetDeviceRefCount()) << "the host may release its device now";
    // Switched on again after a new Initialise, everything is made anew.
    InitialiseAndActivate();
    EXPECT_EQ(2u, mr_Control_->CountLiveObjects(SoftObjectKind::StateBlock, -1, false));
    EXPECT_EQ(1u, mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false));
}

TEST_F(PluginLifecycleTest, LostDeviceDeactivatesAndResetReactivates) {
    InitialiseAndActivate();
    size_t lr_Before = Log().size();

    mr_Plugin->OnLostDevice();
    EXPECT_EQ(DeactivationLines(), LogSince(lr_Before));
    EXPECT_FALSE(mr_Plugin->IsActive());
    EXPECT_EQ(0u, LiveObjects()) << DescribeLiveObjects(mr_Control_, false);

    D3DPRESENT_PARAMETERS lr_Parameters = mr_PresentParameters;
    EXPECT_EQ(D3D_OK, mr_Device_->Reset(&lr_Parameters)) << "nothing of the plug-in may block the reset";

    lr_Before = Log().size();
    mr_Plugin->OnResetDevice();
    ExpectActivationLog(LogSince(lr_Before));
    EXPECT_TRUE(mr_Plugin->IsActive());
    EXPECT_EQ(2u, mr_Control_->CountLiveObjects(SoftObjectKind::StateBlock, -1, false));
    // The loss is over: a second reset has nothing to bring back.
    lr_Before = Log().size();
    mr_Plugin->OnResetDevice();
    EXPECT_EQ(lr_Before, Log().size());
    EXPECT_EQ(2u, mr_Control_->CountLiveObjects(SoftObjectKind::StateBlock, -1, false));
}

TEST_F(PluginLifecycleTest, ResetWithoutLossDoesNothing) {
    InitialiseAndActivate();
    const size_t lr_Lines = Log().size();
    const UINT lr_Live = LiveObjects();
    mr_Plugin->OnResetDevice();
    EXPECT_TRUE(mr_Plugin->IsActive());
    EXPECT_EQ(lr_Lines, Log().size());
    EXPECT_EQ(lr_Live, LiveObjects());

    mr_Plugin->SetActive(false);
    const size_t lr_Off = Log().size();
    mr_Plugin->OnResetDevice();
    EXPECT_FALSE(mr_Plugin->IsActive());
    EXPECT_EQ(lr_Off, Log().size());
}

TEST_F(PluginLifecycleTest, LossOfAnInactivePluginKeepsItInactive) {
    mr_Plugin->Initialise(mr_Device_);
    mr_Plugin->OnLostDevice();
    mr_Plugin->OnResetDevice();
    EXPECT_FALSE(mr_Plugin->IsActive());
    EXPECT_EQ(2u, Log().size());
}

TEST_F(PluginLifecycleTest, FailedStateBlockLeavesNullAndActivationCarriesOn) {
    mr_Plugin->Initialise(mr_Device_);
    mr_Control_->FailCall(SoftCall::CreateStateBlock, 1, E_OUTOFMEMORY);
    mr_Plugin->SetActive(true);
    EXPECT_TRUE(mr_Plugin->IsActive());
    EXPECT_EQ(1u, mr_Control_->CountLiveObjects(SoftObjectKind::StateBlock, -1, false));
    EXPECT_EQ("SSAO: Activating finished.", Log().back());
    mr_Plugin->SetActive(false);
    EXPECT_EQ(0u, LiveObjects());
    EXPECT_EQ("SSAO: Deactivating finished.", Log().back());
}

TEST_F(PluginLifecycleTest, UnwritableLogChangesNothingElse) {
    TestHost lr_Host(WidePath(mr_TempDirectory / "missing") + L"/", WidePath(mr_Data) + L"/");
    {
        k_Plugin lr_Plugin(&lr_Host);
        lr_Plugin.Initialise(mr_Device_);
        lr_Plugin.SetActive(true);
        EXPECT_TRUE(lr_Plugin.IsActive());
        EXPECT_EQ(1u, mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false)) << "the noise image";
        lr_Plugin.Deinitialise();
        EXPECT_FALSE(lr_Plugin.IsInitialised());
    }
    EXPECT_FALSE(fs::exists(mr_TempDirectory / "missing"));
    EXPECT_EQ(0u, LiveObjects());
}

}  // namespace
