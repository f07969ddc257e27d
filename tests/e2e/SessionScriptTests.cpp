// The hosts' session script on the software device: the steps in a host's
// order, each one announced before and after, and a device that cannot be
// reset ends the drawing but not the plug-in's tidy end.
#include "ModuleHost.h"
#include "SessionScript.h"
#include "SoftTestDevice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Name(const SessionStep& step) {
    switch (step.Kind) {
    case SessionStepKind::Create: return "create";
    case SessionStepKind::Parameters: return "parameters";
    case SessionStepKind::Initialise: return "initialise";
    case SessionStepKind::SwitchOn: return "on";
    case SessionStepKind::SwitchOnAgain: return "on-again";
    case SessionStepKind::Frame: return "frame" + std::to_string(step.Frame) + (step.TexturesExpected ? "*" : "");
    case SessionStepKind::Interlude: return "interlude";
    case SessionStepKind::ShowAOOnly: return step.Value ? "ao-on" : "ao-off";
    case SessionStepKind::OffscreenFrame: return "off-screen";
    case SessionStepKind::LostDevice: return "lost";
    case SessionStepKind::ResetDevice: return "reset";
    case SessionStepKind::ResetPlugin: return "reset-plugin";
    case SessionStepKind::SwitchOff: return "off";
    case SessionStepKind::Deinitialise: return "deinitialise";
    case SessionStepKind::Delete: return "delete";
    }
    return "?";
}

// Every call in order: "<" before, "[" and "]" around Render, ">" after.
class Recorder : public ISessionObserver {
public:
    void Before(const SessionStep& step) override { Events.push_back("<" + Name(step)); }
    void After(const SessionStep& step) override {
        Events.push_back(">" + Name(step));
        Done += (Done.empty() ? "" : " ") + Name(step);
    }
    void BeforeRender(const SessionStep& step) override { Events.push_back("[" + Name(step)); }
    void AfterRender(const SessionStep& step) override { Events.push_back("]" + Name(step)); }
    void Failed(const SessionStep& step, const std::string& why) override {
        Events.push_back("!" + Name(step) + ": " + why);
    }

    std::vector<std::string> Events;
    std::string Done;  // the steps that were done, in order
};

// The host draws nothing of its own; it can be told to refuse resets.
class PlainDevice : public ISessionDevice {
public:
    PlainDevice(IDirect3DDevice9* device, const D3DPRESENT_PARAMETERS& present)
        : mr_Device_(device), mr_Present(present) {}

    IDirect3DDevice9* Device() override { return mr_Device_; }
    bool BeginFrame(const SessionStep& step, std::string&) override {
        if (step.Target_) {
            mr_Device_->GetRenderTarget(0, &mr_Saved_);
            mr_Device_->SetRenderTarget(0, step.Target_);
        }
        return SUCCEEDED(mr_Device_->BeginScene());
    }
    bool EndFrame(const SessionStep&, std::string&) override {
        mr_Device_->EndScene();
        if (mr_Saved_) {
            mr_Device_->SetRenderTarget(0, mr_Saved_);
            mr_Saved_->Release();
            mr_Saved_ = nullptr;
        }
        return SUCCEEDED(mr_Device_->Present(nullptr, nullptr, nullptr, nullptr));
    }
    HRESULT Reset(UINT width, UINT height) override {
        if (RefuseResets) return D3DERR_DEVICELOST;
        mr_Present.BackBufferWidth = width;
        mr_Present.BackBufferHeight = height;
        D3DPRESENT_PARAMETERS lr_Present = mr_Present;
        return mr_Device_->Reset(&lr_Present);
    }

    bool RefuseResets = false;

private:
    IDirect3DDevice9* mr_Device_;
    D3DPRESENT_PARAMETERS mr_Present;
    IDirect3DSurface9* mr_Saved_ = nullptr;
};

class SessionScriptTest : public ModuleTest {
protected:
    SessionScriptTest() { mr_PresentParameters = SoftPresentParameters(64, 48); }

    void Run(PlainDevice& device) {
        SessionPlan lr_Plan;
        lr_Plan.FramesPerStep = 2;
        lr_Plan.FramesAfterOffscreen = 1;
        lr_Plan.ResizedWidth = 48;
        lr_Plan.ResizedHeight = 32;
        TestHost lr_Host(WidePath(mr_Base) + L"/", WidePath(SSAO_DATA_DIR));
        SessionScript lr_Script(device, mr_Recorder, lr_Plan);
        ASSERT_TRUE(lr_Script.Run(mr_CreatePlugin, &lr_Host));
    }

    UINT BackBufferWidth() {
        IDirect3DSurface9* lr_BackBuffer_ = nullptr;
        D3DSURFACE_DESC lr_Desc = {};
        if (SUCCEEDED(mr_Device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &lr_BackBuffer_))) {
            lr_BackBuffer_->GetDesc(&lr_Desc);
            lr_BackBuffer_->Release();
        }
        return lr_Desc.Width;
    }

    Recorder mr_Recorder;
};

TEST_F(SessionScriptTest, RunsEveryStepInAHostsOrderEachBetweenBeforeAndAfter) {
    PlainDevice lr_Device(mr_Device_, mr_PresentParameters);
    Run(lr_Device);

    // "*": the first frame after an activation, the one that makes the textures.
    EXPECT_EQ(
        "create parameters initialise on on-again frame1* frame2 interlude ao-off frame3 frame4 ao-on frame5 "
        "off-screen frame6 lost reset reset-plugin frame7* frame8 lost reset reset-plugin frame9* frame10 off "
        "deinitialise delete",
        mr_Recorder.Done);
    // Each step closes before the next opens; the plug-in renders inside its frame.
    for (size_t i = 0; i < mr_Recorder.Events.size(); ++i) {
        const std::string& ls_Event = mr_Recorder.Events[i];
        ASSERT_NE('!', ls_Event[0]) << ls_Event;
        if (ls_Event[0] != '<') continue;
        const std::string ls_Name = ls_Event.substr(1);
        const bool lr_Frame = ls_Name.rfind("frame", 0) == 0 || ls_Name == "off-screen";
        ASSERT_LT(i + (lr_Frame ? 3 : 1), mr_Recorder.Events.size());
        if (lr_Frame) {
            EXPECT_EQ("[" + ls_Name, mr_Recorder.Events[i + 1]);
            EXPECT_EQ("]" + ls_Name, mr_Recorder.Events[i + 2]);
        }
        EXPECT_EQ(">" + ls_Name, mr_Recorder.Events[i + (lr_Frame ? 3 : 1)]);
    }
    EXPECT_EQ(48u, BackBufferWidth());
    // Switched on once and reactivated by each reset.
    EXPECT_EQ(3u, CountLines("SSAO: Activating finished."));
    EXPECT_EQ(1u, CountLines("SSAO: Deinitialising finished."));
}

TEST_F(SessionScriptTest, ADeviceThatCannotBeResetDrawsNoMoreButThePlugInStillEnds) {
    PlainDevice lr_Device(mr_Device_, mr_PresentParameters);
    lr_Device.RefuseResets = true;
    Run(lr_Device);

    EXPECT_EQ(
        "create parameters initialise on on-again frame1* frame2 interlude ao-off frame3 frame4 ao-on frame5 "
        "off-screen frame6 lost reset off deinitialise delete",
        mr_Recorder.Done);
    EXPECT_EQ(64u, BackBufferWidth());
    EXPECT_EQ(1u, CountLines("SSAO: Activating finished."));
    EXPECT_EQ(1u, CountLines("SSAO: Deinitialising finished."));
    // The fixture's tear-down fails the test if anything the plug-in made is still alive.
}

}  // namespace
