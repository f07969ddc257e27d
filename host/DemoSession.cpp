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

bool DemoSession::RenderFrame(const std::string& label) {
    ++mr_Frame;
    const LiveObjects lr_Before = TakeLiveObjects(mr_Control_);
    std::string ls_Error;
    if (!DrawScene(mr_Device_, mr_Camera, mr_Mesh, ls_Error)) {
        Step(label, "cannot draw the scene: " + ls_Error);
        ++mr_Failures;
        return false;
    }

    mr_Control_->ClearRecords();
    mr_Device_->BeginScene();
    mr_Plugin_->Render();
    mr_Device_->EndScene();
    const std::string ls_Records = DescribeRecords(mr_Control_);
    // The cost of each kind of frame once: occlusion only, then the composite.
    const size_t lr_Kind = mr_Control_->GetDraws().size();
    if (lr_Kind != 0 && std::find(mr_CostShown.begin(), mr_CostShown.end(), lr_Kind) == mr_CostShown.end()) {
        DescribeCost();
        mr_CostShown.push_back(lr_Kind);
    }
    mr_TotalDraws += mr_Control_->GetDraws().size();
    mr_TotalCopies += mr_Control_->GetCopies().size();
    mr_Control_->ClearRecords();
    mr_Device_->Present(nullptr, nullptr, nullptr, nullptr);
    Step(label, ls_Records + "; " + DescribeChange(lr_Before, TakeLiveObjects(mr_Control_)));
    return true;
}

bool DemoSession::RenderOffscreenFrame() {
    IDirect3DSurface9* lr_Saved_ = nullptr;
    IDirect3DSurface9* lr_Target_ = nullptr;
    mr_Device_->GetRenderTarget(0, &lr_Saved_);
    const HRESULT hr = mr_Device_->CreateRenderTarget(mr_Present.BackBufferWidth, mr_Present.BackBufferHeight,
                                                      mr_Present.BackBufferFormat, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                      &lr_Target_, nullptr);
    if (FAILED(hr) || !lr_Target_) {
        Step("off-screen", "CreateRenderTarget failed: " + HResultText(hr));
        if (lr_Saved_) lr_Saved_->Release();
        ++mr_Failures;
        return false;
    }
    mr_Device_->SetRenderTarget(0, lr_Target_);
    const LiveObjects lr_Before = TakeLiveObjects(mr_Control_);
    mr_Control_->ClearRecords();
    mr_Device_->BeginScene();
    mr_Plugin_->Render();
    mr_Device_->EndScene();
    const size_t lr_Work = mr_Control_->GetDraws().size() + mr_Control_->GetCopies().size();
    const std::string ls_Records = DescribeRecords(mr_Control_);
    mr_Control_->ClearRecords();
    const std::string ls_Change = DescribeChange(lr_Before, TakeLiveObjects(mr_Control_));
    mr_Device_->SetRenderTarget(0, lr_Saved_);
    if (lr_Saved_) lr_Saved_->Release();
    lr_Target_->Release();
    Step("off-screen", std::string(lr_Work == 0 ? "plug-in left the frame alone (not a back buffer): "
                                                : "plug-in worked on an off-screen target! ") +
                           ls_Records + "; " + ls_Change);
    if (lr_Work != 0) ++mr_Failures;
    return lr_Work == 0;
}

bool DemoSession::ResetDevice(const std::string& label, UINT width, UINT height) {
    const LiveObjects lr_Before = TakeLiveObjects(mr_Control_);
    mr_Plugin_->OnLostDevice();
    const LiveObjects lr_Lost = TakeLiveObjects(mr_Control_);
    mr_Present.BackBufferWidth = width;
    mr_Present.BackBufferHeight = height;
    D3DPRESENT_PARAMETERS lr_Present = mr_Present;
    const HRESULT hr = mr_Device_->Reset(&lr_Present);
    ++mr_Resets;
    std::ostringstream ls_Text;
    ls_Text << "OnLostDevice: " << DescribeChange(lr_Before, lr_Lost) << "; Reset to " << width << "x" << height << ": "
            << HResultText(hr);
    if (FAILED(hr)) {
        ls_Text << " -- FAILED, still alive: " << GroupObjects(lr_Lost.Objects);
        ++mr_Failures;
    }
    mr_Plugin_->OnResetDevice();
    ls_Text << "; OnResetDevice: " << DescribeChange(lr_Lost, TakeLiveObjects(mr_Control_)) << ", active "
            << (mr_Plugin_->IsActive() ? "yes" : "no");
    Step(label, ls_Text.str());
    return SUCCEEDED(hr);
}

bool DemoSession::RunStudy() {
    std::string ls_Folder = mr_Options.OutputPath;
    if (!ls_Folder.empty() && ls_Folder.back() != '/') ls_Folder += '/';
    OcclusionStudy lr_Study(mr_Device_, mr_Control_, mr_Plugin_);
    DemoStudy lr_Demo(
        mr_Scene, mr_Mesh, ls_Folder, mr_Options,
        [this](const std::string& label, const std::string& text) { Step(label, text); },
        [this](const std::string& name, const SceneCamera& camera, PassImages& images, std::string& error) {
            return DrawOtherHost(name, camera, images, error);
        });
    const bool lr_Done = lr_Demo.Run(lr_Study);
    if (!lr_Done) ++mr_Failures;
    return lr_Done;
}

bool DemoSession::DrawOtherHost(const std::string& name, const SceneCamera& camera, PassImages& images,
                                std::string& error) {
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
    if (!WriteEffectFolder(mr_ShippedEffects, ls_Folder + "data/Plugins/SSAO", EffectSettings::ForCamera(camera),
                           error))
        return false;
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
        lr_Drawn = lr_Study.Run(camera, mr_Mesh, images, error);
    } else {
        error = "the instance did not switch on (see " + ls_Folder + "Vexil.log)";
    }
    lr_Plugin->SetActive(false);
    lr_Plugin->Deinitialise();
    return lr_Drawn;
}

bool DemoSession::SetShowAOOnly(bool value, bool asText) {
    IParameter* lr_Parameter = mr_Plugin_->FindParameter(IID_ShowAOOnlyParameter);
    if (!lr_Parameter) {
        Step("ShowAOOnly", "the plug-in has no ShowAOOnly parameter");
        ++mr_Failures;
        return false;
    }
    auto* lr_CheckBox = static_cast<ICheckBoxParameter*>(lr_Parameter->GetInterface(IID_ICheckBoxParameter));
    if (!lr_CheckBox) {
        Step("ShowAOOnly", "ShowAOOnly is not a check box");
        ++mr_Failures;
        return false;
    }
    if (asText)
        lr_Parameter->SetValueFromString(value ? L"true" : L"false");
    else
        lr_CheckBox->SetValue(value);
    Step("ShowAOOnly", std::string(asText ? "SetValueFromString(\"" : "SetValue(") + (value ? "true" : "false") +
                           (asText ? "\")" : ")") + ": value " + (lr_CheckBox->GetValue() ? "true" : "false") +
                           ", caption \"" + NarrowUtf8(lr_Parameter->GetCaption()) + "\"");
    return lr_CheckBox->GetValue() == value;
}

bool DemoSession::CheckLog(const std::string& logPath, size_t logStart) {
    std::string ls_Text;
    const bool lr_Ok = ::CheckLog(logPath, logStart, mr_Resets, ls_Text);
    Step("log", ls_Text);
    if (!lr_Ok) ++mr_Failures;
    return lr_Ok;
}

int DemoSession::Run(IDirect3D9BasePlugin* plugin, const std::string& logPath, size_t logStart) {
    mr_Plugin_ = plugin;

    std::vector<IParameter*> lr_Parameters = plugin->GetParameters();
    Step("parameters", std::to_string(lr_Parameters.size()) + " published");
    for (IParameter* lr_Parameter : lr_Parameters) {
        std::ostringstream ls_Text;
        ls_Text << NarrowUtf8(lr_Parameter->GetName()) << " " << GuidText(lr_Parameter->GetGUID()) << " type "
                << lr_Parameter->GetType() << ", caption \"" << NarrowUtf8(lr_Parameter->GetCaption()) << "\", value "
                << NarrowUtf8(lr_Parameter->GetValueAsString()) << ": " << NarrowUtf8(lr_Parameter->GetDescription());
        Step("", ls_Text.str());
    }

    LiveObjects lr_Before = TakeLiveObjects(mr_Control_);
    plugin->Initialise(mr_Device_);
    Step("Initialise", std::string("initialised ") + (plugin->IsInitialised() ? "yes" : "no") + "; " +
                           DescribeChange(lr_Before, TakeLiveObjects(mr_Control_)));

    lr_Before = TakeLiveObjects(mr_Control_);
    plugin->SetActive(true);
    Step("SetActive(on)", std::string("active ") + (plugin->IsActive() ? "yes" : "no") + "; " +
                              DescribeChange(lr_Before, TakeLiveObjects(mr_Control_)));

    for (int i = 0; i < mr_Options.FramesPerStep; ++i) RenderFrame("frame " + std::to_string(mr_Frame + 1));
    RunStudy();

    SetShowAOOnly(false, false);
    for (int i = 0; i < mr_Options.FramesPerStep; ++i) RenderFrame("frame " + std::to_string(mr_Frame + 1));
    SetShowAOOnly(true, true);
    RenderFrame("frame " + std::to_string(mr_Frame + 1));

    RenderOffscreenFrame();

    ResetDevice("lost/reset", mr_Present.BackBufferWidth, mr_Present.BackBufferHeight);
    for (int i = 0; i < mr_Options.FramesPerStep; ++i) RenderFrame("frame " + std::to_string(mr_Frame + 1));

    ResetDevice("resize", mr_Options.ResizeWidth, mr_Options.ResizeHeight);
    for (int i = 0; i < mr_Options.FramesPerStep; ++i) RenderFrame("frame " + std::to_string(mr_Frame + 1));

    lr_Before = TakeLiveObjects(mr_Control_);
    plugin->SetActive(false);
    Step("SetActive(off)", std::string("active ") + (plugin->IsActive() ? "yes" : "no") + "; " +
                               DescribeChange(lr_Before, TakeLiveObjects(mr_Control_)));

    lr_Before = TakeLiveObjects(mr_Control_);
    plugin->Deinitialise();
    const LiveObjects lr_After = TakeLiveObjects(mr_Control_);
    Step("Deinitialise", std::string("initialised ") + (plugin->IsInitialised() ? "yes" : "no") + "; " +
                             DescribeChange(lr_Before, lr_After));
    if (!lr_After.Objects.empty()) {
        Step("leak", "still alive after Deinitialise: " + GroupObjects(lr_After.Objects));
        ++mr_Failures;
    }

    CheckLog(logPath, logStart);

    std::ostringstream ls_Summary;
    ls_Summary << mr_Frame << " frames, " << mr_TotalDraws << " draws, " << mr_TotalCopies << " copies, " << mr_Resets
               << " resets; " << (mr_Failures ? std::to_string(mr_Failures) + " problem(s)" : "all good");
    Step("summary", ls_Summary.str());
    mr_Plugin_ = nullptr;
    return mr_Failures ? 1 : 0;
}
