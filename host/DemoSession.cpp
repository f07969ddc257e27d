#include "DemoSession.h"

#include "CostTable.h"
#include "DemoStudy.h"
#include "DeviceRecords.h"
#include "EffectSettings.h"
#include "HResultText.h"
#include "HostContract.h"
#include "LogCheck.h"
#include "PathHost.h"
#include "SceneRenderer.h"
#include "Utf8.h"

#include <algorithm>
#include <iostream>
#include <iomanip>
#include <memory>
#include <sstream>

namespace {

std::string GuidText(const GUID& id) {
    std::ostringstream ls_Text;
    ls_Text << std::uppercase << std::hex << std::setfill('0') << "{" << std::setw(8) << id.Data1 << "-" << std::setw(4)
            << id.Data2 << "-" << std::setw(4) << id.Data3 << "-";
    for (int i = 0; i < 8; ++i) {
        if (i == 2) ls_Text << "-";
        ls_Text << std::setw(2) << static_cast<int>(id.Data4[i]);
    }
    ls_Text << "}";
    return ls_Text.str();
}

}  // namespace

DemoSession::DemoSession(const DemoOptions& options, std::ostream& out) : mr_Options(options), mr_Out(out) {
    mr_Camera = WithHostProjection(SceneCamera::DemoView(), options);
    mr_Present = D3DPRESENT_PARAMETERS{};
    mr_Present.BackBufferWidth = options.Width;
    mr_Present.BackBufferHeight = options.Height;
    mr_Present.BackBufferFormat = options.BackBufferFormat;
    mr_Present.BackBufferCount = 1;
    mr_Present.MultiSampleType = D3DMULTISAMPLE_NONE;
    mr_Present.SwapEffect = D3DSWAPEFFECT_DISCARD;
    mr_Present.hDeviceWindow = nullptr;
    mr_Present.Windowed = TRUE;
    mr_Present.EnableAutoDepthStencil = TRUE;
    mr_Present.AutoDepthStencilFormat = options.DepthFormat;
    mr_Present.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
}

DemoSession::~DemoSession() { ReleaseDevice(); }

bool DemoSession::CreateDevice(std::string& error) {
    mr_Direct3D_ = Direct3DCreate9(D3D_SDK_VERSION);
    if (!mr_Direct3D_) {
        error = "Direct3DCreate9 failed";
        return false;
    }
    D3DPRESENT_PARAMETERS lr_Present = mr_Present;
    const HRESULT hr = mr_Direct3D_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                                  D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Present, &mr_Device_);
    if (FAILED(hr) || !mr_Device_) {
        error = "CreateDevice failed: " + HResultText(hr);
        mr_Device_ = nullptr;
        return false;
    }
    void* lr_Control = nullptr;
    if (FAILED(mr_Device_->QueryInterface(IID_ISoftDeviceControl, &lr_Control)) || !lr_Control) {
        error = "the device offers no test controls (not the software device?)";
        return false;
    }
    mr_Control_ = static_cast<ISoftDeviceControl*>(lr_Control);
    // Hold no reference of our own: the device's lifetime rules alone.
    mr_Control_->Release();
    return true;
}

void DemoSession::ReleaseDevice() {
    mr_Control_ = nullptr;
    if (mr_Device_) mr_Device_->Release();
    mr_Device_ = nullptr;
    if (mr_Direct3D_) mr_Direct3D_->Release();
    mr_Direct3D_ = nullptr;
}

void DemoSession::DescribeCost() {
    for (const std::string& ls_Line : ::DescribeCost(mr_Control_)) Step("cost", ls_Line);
}

void DemoSession::Step(const std::string& label, const std::string& text) {
    mr_Out << std::left << std::setw(18) << (label.empty() ? std::string() : "[" + label + "]") << text << "\n";
}

int DemoSession::Run(CreatePluginFunction create, IHost* host, const std::string& logPath, size_t logStart) {
    mr_CreatePlugin = create;
    mr_LogPath = logPath;
    mr_LogStart = logStart;
    SessionPlan lr_Plan;
    lr_Plan.FramesPerStep = mr_Options.FramesPerStep;
    lr_Plan.ResizedWidth = mr_Options.ResizeWidth;
    lr_Plan.ResizedHeight = mr_Options.ResizeHeight;
    SessionScript lr_Script(*this, *this, lr_Plan);
    if (!lr_Script.Run(create, host)) return 1;
    return mr_Failures ? 1 : 0;
}

bool DemoSession::BeginFrame(const SessionStep& step, std::string& error) {
    if (step.Kind == SessionStepKind::OffscreenFrame) {
        mr_Device_->GetRenderTarget(0, &mr_SavedTarget_);
        mr_Device_->SetRenderTarget(0, step.Target_);
    } else if (!DrawScene(mr_Device_, mr_Camera, mr_Mesh, error)) {
        error = "cannot draw the scene: " + error;
        return false;
    }
    mr_Device_->BeginScene();
    return true;
}

bool DemoSession::EndFrame(const SessionStep& step, std::string&) {
    mr_Device_->EndScene();
    if (step.Kind == SessionStepKind::OffscreenFrame) {
        mr_Device_->SetRenderTarget(0, mr_SavedTarget_);
        if (mr_SavedTarget_) mr_SavedTarget_->Release();
        mr_SavedTarget_ = nullptr;
    } else {
        mr_Device_->Present(nullptr, nullptr, nullptr, nullptr);
    }
    return true;
}

HRESULT DemoSession::Reset(UINT width, UINT height) {
    mr_Present.BackBufferWidth = width;
    mr_Present.BackBufferHeight = height;
    D3DPRESENT_PARAMETERS lr_Present = mr_Present;
    return mr_Device_->Reset(&lr_Present);
}

void DemoSession::Before(const SessionStep&) { mr_Before = TakeLiveObjects(mr_Control_); }

void DemoSession::BeforeRender(const SessionStep&) { mr_Control_->ClearRecords(); }

void DemoSession::AfterRender(const SessionStep& step) {
    mr_Records = DescribeRecords(mr_Control_);
    mr_Work = mr_Control_->GetDraws().size() + mr_Control_->GetCopies().size();
    if (step.Kind == SessionStepKind::Frame) {
        // The cost of each kind of frame once: occlusion only, then the composite.
        const size_t lr_Kind = mr_Control_->GetDraws().size();
        if (lr_Kind != 0 && std::find(mr_CostShown.begin(), mr_CostShown.end(), lr_Kind) == mr_CostShown.end()) {
            DescribeCost();
            mr_CostShown.push_back(lr_Kind);
        }
        ++mr_Frames;
        mr_TotalDraws += mr_Control_->GetDraws().size();
        mr_TotalCopies += mr_Control_->GetCopies().size();
    }
    mr_Control_->ClearRecords();
}

void DemoSession::Failed(const SessionStep& step, const std::string& why) {
    switch (step.Kind) {
    case SessionStepKind::Frame:
        ++mr_Frames;
        Step("frame " + std::to_string(step.Frame), why);
        break;
    case SessionStepKind::OffscreenFrame: Step("off-screen", why); break;
    case SessionStepKind::ShowAOOnly: Step("ShowAOOnly", why); break;
    default: std::cerr << "ssao_demo_host: " << why << "\n"; break;
    }
    ++mr_Failures;
}

void DemoSession::After(const SessionStep& step) {
    IDirect3D9BasePlugin* lr_Plugin = step.Plugin_;
    const std::string ls_Change =
        step.Kind == SessionStepKind::Delete ? std::string() : DescribeChange(mr_Before, TakeLiveObjects(mr_Control_));
    switch (step.Kind) {
    case SessionStepKind::Create:
        mr_Out << "[CreatePlugin]    \"" << NarrowUtf8(lr_Plugin->GetName())
               << "\": " << NarrowUtf8(lr_Plugin->GetDescription()) << "\n";
        break;
    case SessionStepKind::Parameters: DescribeParameters(lr_Plugin); break;
    case SessionStepKind::Initialise:
        Step("Initialise",
             std::string("initialised ") + (lr_Plugin->IsInitialised() ? "yes" : "no") + "; " + ls_Change);
        break;
    case SessionStepKind::SwitchOn:
        Step("SetActive(on)", std::string("active ") + (lr_Plugin->IsActive() ? "yes" : "no") + "; " + ls_Change);
        break;
    case SessionStepKind::SwitchOnAgain: break;
    case SessionStepKind::Frame: Step("frame " + std::to_string(step.Frame), mr_Records + "; " + ls_Change); break;
    case SessionStepKind::Interlude: RunStudy(lr_Plugin); break;
    case SessionStepKind::ShowAOOnly: {
        IParameter* lr_Parameter = lr_Plugin->FindParameter(IID_ShowAOOnlyParameter);
        auto* lr_CheckBox = static_cast<ICheckBoxParameter*>(lr_Parameter->GetInterface(IID_ICheckBoxParameter));
        const bool lr_Value = step.Value, lr_AsText = step.AsText;
        Step("ShowAOOnly", std::string(lr_AsText ? "SetValueFromString(\"" : "SetValue(") +
                               (lr_Value ? "true" : "false") + (lr_AsText ? "\")" : ")") + ": value " +
                               (lr_CheckBox->GetValue() ? "true" : "false") + ", caption \"" +
                               NarrowUtf8(lr_Parameter->GetCaption()) + "\"");
        if (lr_CheckBox->GetValue() != lr_Value) ++mr_Failures;
        break;
    }
    case SessionStepKind::OffscreenFrame:
        Step("off-screen", std::string(mr_Work == 0 ? "plug-in left the frame alone (not a back buffer): "
                                                    : "plug-in worked on an off-screen target! ") +
                               mr_Records + "; " + ls_Change);
        if (mr_Work != 0) ++mr_Failures;
        break;
    case SessionStepKind::LostDevice:
        mr_Lost = TakeLiveObjects(mr_Control_);
        mr_ResetText = "OnLostDevice: " + ls_Change;
        break;
    case SessionStepKind::ResetDevice: {
        ++mr_Resets;
        std::ostringstream ls_Text;
        ls_Text << "; Reset to " << step.Width << "x" << step.Height << ": " << HResultText(step.Result);
        mr_ResetText += ls_Text.str();
        if (FAILED(step.Result)) {
            Step(step.Resize ? "resize" : "lost/reset",
                 mr_ResetText + " -- FAILED, still alive: " + GroupObjects(mr_Lost.Objects));
            ++mr_Failures;
        }
        break;
    }
    case SessionStepKind::ResetPlugin:
        Step(step.Resize ? "resize" : "lost/reset",
             mr_ResetText + "; OnResetDevice: " + DescribeChange(mr_Lost, TakeLiveObjects(mr_Control_)) + ", active " +
                 (lr_Plugin->IsActive() ? "yes" : "no"));
        break;
    case SessionStepKind::SwitchOff:
        Step("SetActive(off)", std::string("active ") + (lr_Plugin->IsActive() ? "yes" : "no") + "; " + ls_Change);
        break;
    case SessionStepKind::Deinitialise:
        Step("Deinitialise",
             std::string("initialised ") + (lr_Plugin->IsInitialised() ? "yes" : "no") + "; " + ls_Change);
        Finish();
        break;
    case SessionStepKind::Delete: mr_Out << "[delete]          plug-in deleted\n"; break;
    }
}

void DemoSession::DescribeParameters(IDirect3D9BasePlugin* plugin) {
    std::vector<IParameter*> lr_Parameters = plugin->GetParameters();
    Step("parameters", std::to_string(lr_Parameters.size()) + " published");
    for (IParameter* lr_Parameter : lr_Parameters) {
        std::ostringstream ls_Text;
        ls_Text << NarrowUtf8(lr_Parameter->GetName()) << " " << GuidText(lr_Parameter->GetGUID()) << " type "
                << lr_Parameter->GetType() << ", caption \"" << NarrowUtf8(lr_Parameter->GetCaption()) << "\", value "
                << NarrowUtf8(lr_Parameter->GetValueAsString()) << ": " << NarrowUtf8(lr_Parameter->GetDescription());
        Step("", ls_Text.str());
    }
}

// After Deinitialise: what is still alive, the log, and the verdict.
void DemoSession::Finish() {
    const LiveObjects lr_After = TakeLiveObjects(mr_Control_);
    if (!lr_After.Objects.empty()) {
        Step("leak", "still alive after Deinitialise: " + GroupObjects(lr_After.Objects));
        ++mr_Failures;
    }
    CheckLog(mr_LogPath, mr_LogStart);
    std::ostringstream ls_Summary;
    ls_Summary << mr_Frames << " frames, " << mr_TotalDraws << " draws, " << mr_TotalCopies << " copies, " << mr_Resets
               << " resets; " << (mr_Failures ? std::to_string(mr_Failures) + " problem(s)" : "all good");
    Step("summary", ls_Summary.str());
}

bool DemoSession::RunStudy(IDirect3D9BasePlugin* plugin) {
    std::string ls_Folder = mr_Options.OutputPath;
    if (!ls_Folder.empty() && ls_Folder.back() != '/') ls_Folder += '/';
    OcclusionStudy lr_Study(mr_Device_, mr_Control_, plugin);
    DemoStudy lr_Demo(
        mr_Scene, mr_Mesh, ls_Folder, mr_Options,
        [this](const std::string& label, const std::string& text) { Step(label, text); },
        [this](const std::string& name, const SceneCamera& camera, const EffectSettings& settings,
               const std::vector<SceneVertex>& mesh, PassImages& images,
               std::string& error) { return DrawOtherHost(name, camera, settings, mesh, images, error); });
    const bool lr_Done = lr_Demo.Run(lr_Study);
    if (!lr_Done) ++mr_Failures;
    return lr_Done;
}

bool DemoSession::DrawOtherHost(const std::string& name, const SceneCamera& camera, const EffectSettings& settings,
                                const std::vector<SceneVertex>& mesh, PassImages& images, std::string& error) {
    if (!mr_CreatePlugin) {
        error = "no module to create another instance from";
        return false;
    }
    // Its own folder, so that its log and settings stay apart from the session's.
    std::string ls_Folder = mr_Options.OutputPath;
    if (!ls_Folder.empty() && ls_Folder.back() != '/') ls_Folder += '/';
    ls_Folder += "hosts/";
    for (char c : name) ls_Folder += c == ' ' ? '-' : c;
    ls_Folder += '/';
    if (!WriteEffectFolder(mr_ShippedEffects, ls_Folder + "data/Plugins/SSAO", settings, error)) return false;
    PathHost lr_Host(WidenUtf8(ls_Folder), WidenUtf8(ls_Folder + "data/"));
    std::unique_ptr<IDirect3D9BasePlugin> lr_Plugin(mr_CreatePlugin(&lr_Host));
    if (!lr_Plugin) {
        error = "CreatePlugin returned nothing";
        return false;
    }
    lr_Plugin->Initialise(mr_Device_);
    lr_Plugin->SetActive(true);
    bool lr_Drawn = lr_Plugin->IsActive();
    if (lr_Drawn) {
        OcclusionStudy lr_Study(mr_Device_, mr_Control_, lr_Plugin.get());
        lr_Drawn = lr_Study.Run(camera, mesh, images, error);
    } else {
        error = "the instance did not switch on (see " + ls_Folder + "Vexil.log)";
    }
    lr_Plugin->SetActive(false);
    lr_Plugin->Deinitialise();
    return lr_Drawn;
}

bool DemoSession::CheckLog(const std::string& logPath, size_t logStart) {
    std::string ls_Text;
    const bool lr_Ok = ::CheckLog(logPath, logStart, mr_Resets, ls_Text);
    Step("log", ls_Text);
    if (!lr_Ok) ++mr_Failures;
    return lr_Ok;
}
