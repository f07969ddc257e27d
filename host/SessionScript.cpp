#include "SessionScript.h"

#include "HResultText.h"

namespace {

// The off-screen target and the reset to the same size follow the back buffer.
D3DSURFACE_DESC BackBufferDesc(IDirect3DDevice9* device) {
    D3DSURFACE_DESC lr_Desc = {};
    IDirect3DSurface9* lr_BackBuffer_ = nullptr;
    if (SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &lr_BackBuffer_))) {
        lr_BackBuffer_->GetDesc(&lr_Desc);
        lr_BackBuffer_->Release();
    }
    return lr_Desc;
}

}  // namespace

SessionScript::~SessionScript() {
    // Only reached with a plug-in when a step threw: tidy up what is left.
    if (mr_Plugin_) {
        mr_Plugin_->Deinitialise();
        delete mr_Plugin_;
    }
}

SessionStep SessionScript::Make(SessionStepKind kind) const {
    SessionStep lr_Step;
    lr_Step.Kind = kind;
    lr_Step.Plugin_ = mr_Plugin_;
    return lr_Step;
}

void SessionScript::Call(SessionStepKind kind, void (*action)(IDirect3D9BasePlugin*)) {
    const SessionStep lr_Step = Make(kind);
    mr_Observer.Before(lr_Step);
    action(mr_Plugin_);
    mr_Observer.After(lr_Step);
}

bool SessionScript::Run(CreatePluginFunction create, IHost* host) {
    SessionStep lr_Create = Make(SessionStepKind::Create);
    mr_Observer.Before(lr_Create);
    mr_Plugin_ = create(host);
    lr_Create.Plugin_ = mr_Plugin_;
    if (!mr_Plugin_) {
        mr_Observer.Failed(lr_Create, "CreatePlugin returned nothing");
        return false;
    }
    mr_Observer.After(lr_Create);
    Call(SessionStepKind::Parameters, [](IDirect3D9BasePlugin*) {});

    const SessionStep lr_Initialise = Make(SessionStepKind::Initialise);
    mr_Observer.Before(lr_Initialise);
    mr_Plugin_->Initialise(mr_Device.Device());
    mr_Observer.After(lr_Initialise);

    Call(SessionStepKind::SwitchOn, [](IDirect3D9BasePlugin* plugin) { plugin->SetActive(true); });
    mr_Activated = true;
    Call(SessionStepKind::SwitchOnAgain, [](IDirect3D9BasePlugin* plugin) { plugin->SetActive(true); });
    Frames(mr_Plan.FramesPerStep);
    Call(SessionStepKind::Interlude, [](IDirect3D9BasePlugin*) {});

    ShowAOOnly(false, false);
    Frames(mr_Plan.FramesPerStep);
    ShowAOOnly(true, true);
    Frames(1);
    OffscreenFrame();
    Frames(mr_Plan.FramesAfterOffscreen);

    const D3DSURFACE_DESC lr_Size = BackBufferDesc(mr_Device.Device());
    if (Reset(false, lr_Size.Width, lr_Size.Height)) {
        Frames(mr_Plan.FramesPerStep);
        if (Reset(true, mr_Plan.ResizedWidth, mr_Plan.ResizedHeight)) Frames(mr_Plan.FramesPerStep);
    }

    Call(SessionStepKind::SwitchOff, [](IDirect3D9BasePlugin* plugin) { plugin->SetActive(false); });
    Call(SessionStepKind::Deinitialise, [](IDirect3D9BasePlugin* plugin) { plugin->Deinitialise(); });

    const SessionStep lr_Delete = Make(SessionStepKind::Delete);
    mr_Observer.Before(lr_Delete);
    delete mr_Plugin_;
    mr_Plugin_ = nullptr;
    mr_Observer.After(lr_Delete);
    return true;
}

void SessionScript::Frames(int count) {
    for (int i = 0; i < count; ++i) {
        SessionStep lr_Step = Make(SessionStepKind::Frame);
        lr_Step.Frame = ++mr_Frame;
        lr_Step.FrameInPhase = i;
        lr_Step.TexturesExpected = mr_Activated;
        mr_Activated = false;
        Frame(lr_Step);
    }
}

void SessionScript::Frame(SessionStep step) {
    mr_Observer.Before(step);
    std::string ls_Error;
    if (!mr_Device.BeginFrame(step, ls_Error)) {
        mr_Observer.Failed(step, ls_Error);
        return;
    }
    mr_Observer.BeforeRender(step);
    mr_Plugin_->Render();
    mr_Observer.AfterRender(step);
    // The plug-in has rendered: its part is over even when the host's is not.
    if (!mr_Device.EndFrame(step, ls_Error)) mr_Observer.Failed(step, ls_Error);
    mr_Observer.After(step);
}

void SessionScript::OffscreenFrame() {
    SessionStep lr_Step = Make(SessionStepKind::OffscreenFrame);
    IDirect3DDevice9* lr_Device_ = mr_Device.Device();
    const D3DSURFACE_DESC lr_Desc = BackBufferDesc(lr_Device_);
    // Sampled as the back buffer, so that the host's depth buffer fits it too.
    const HRESULT hr =
        lr_Device_->CreateRenderTarget(lr_Desc.Width, lr_Desc.Height, lr_Desc.Format, lr_Desc.MultiSampleType,
                                       lr_Desc.MultiSampleQuality, FALSE, &lr_Step.Target_, nullptr);
    if (FAILED(hr) || !lr_Step.Target_) {
        mr_Observer.Failed(lr_Step, "CreateRenderTarget failed: " + HResultText(hr));
        return;
    }
    Frame(lr_Step);
    lr_Step.Target_->Release();
}

void SessionScript::ShowAOOnly(bool value, bool asText) {
    SessionStep lr_Step = Make(SessionStepKind::ShowAOOnly);
    lr_Step.Value = value;
    lr_Step.AsText = asText;
    mr_Observer.Before(lr_Step);
    IParameter* lr_Parameter_ = mr_Plugin_->FindParameter(IID_ShowAOOnlyParameter);
    if (!lr_Parameter_) {
        mr_Observer.Failed(lr_Step, "the plug-in has no ShowAOOnly parameter");
        return;
    }
    auto* lr_CheckBox_ = static_cast<ICheckBoxParameter*>(lr_Parameter_->GetInterface(IID_ICheckBoxParameter));
    if (!lr_CheckBox_) {
        mr_Observer.Failed(lr_Step, "ShowAOOnly is not a check box");
        return;
    }
    if (asText)
        lr_Parameter_->SetValueFromString(value ? L"true" : L"false");
    else
        lr_CheckBox_->SetValue(value);
    mr_Observer.After(lr_Step);
}

bool SessionScript::Reset(bool resize, UINT width, UINT height) {
    SessionStep lr_Step = Make(SessionStepKind::LostDevice);
    lr_Step.Resize = resize;
    lr_Step.Width = width;
    lr_Step.Height = height;
    mr_Observer.Before(lr_Step);
    mr_Plugin_->OnLostDevice();
    mr_Observer.After(lr_Step);

    lr_Step.Kind = SessionStepKind::ResetDevice;
    mr_Observer.Before(lr_Step);
    lr_Step.Result = mr_Device.Reset(width, height);
    mr_Observer.After(lr_Step);
    if (FAILED(lr_Step.Result)) return false;

    lr_Step.Kind = SessionStepKind::ResetPlugin;
    mr_Observer.Before(lr_Step);
    mr_Plugin_->OnResetDevice();
    mr_Activated = true;
    mr_Observer.After(lr_Step);
    return true;
}
