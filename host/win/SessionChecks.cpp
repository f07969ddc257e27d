#include "SessionChecks.h"

#include "PluginExpectations.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <stdexcept>

namespace {

// An identifier that no parameter of the module has.
const GUID k_UnknownId = {0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

const char* const k_EffectFiles[] = {"ShowTexture.hlsl", "ZBlur.hlsl", "RenderDepth.hlsl", "RenderBlack.hlsl",
                                     "SSAO.hlsl"};

const std::vector<std::string> k_ActivationLines = {
    "SSAO: Activating...",          "SSAO: Initialising shader subsystem.", "SSAO: Loading shaders...",
    "SSAO: Gather basic states...", "SSAO: Activating finished.",
};

std::string Quote(const std::wstring& text) {
    std::string ls_Text;
    for (wchar_t c : text) ls_Text += (c > 0 && c < 128) ? static_cast<char>(c) : '?';
    return ls_Text;
}

std::string Size(UINT width, UINT height) { return std::to_string(width) + "x" + std::to_string(height); }

IDirect3DSurface9* BackBuffer(IDirect3DDevice9* device) {
    IDirect3DSurface9* lr_Surface_ = nullptr;
    if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &lr_Surface_))) return nullptr;
    return lr_Surface_;
}

}  // namespace

SessionChecks::SessionChecks(const HostOptions& options)
    : mr_Options(options), mr_Host(options.BasePath, options.DataPath), mr_Log(options.BasePath + L"Vexil.log") {}

SessionChecks::~SessionChecks() {
    if (mr_BackBuffer_) mr_BackBuffer_->Release();
    if (mr_Module_) FreeLibrary(mr_Module_);
}

int SessionChecks::Run() {
    // The log is appended to, never truncated: start from none.
    DeleteFileW((mr_Options.BasePath + L"Vexil.log").c_str());

    CreatePluginFunction lr_Create = nullptr;
    if (!StartDevice()) {
        if (mr_Device.Window().MultiSampleUnavailable()) return k_HostSkipped;
        std::printf("host: stopped after %d checks, %d failed\n", mr_Checks.Checks(), mr_Checks.Failures());
        return 1;
    }
    if (!(lr_Create = LoadModule())) {
        std::printf("host: stopped after %d checks, %d failed\n", mr_Checks.Checks(), mr_Checks.Failures());
        return 1;
    }
    SessionPlan lr_Plan;
    // Two frames a step: the second draws into an inset viewport.
    lr_Plan.FramesPerStep = 2;
    // And one after the off-screen frame: the plug-in must draw again.
    lr_Plan.FramesAfterOffscreen = 1;
    lr_Plan.ResizedWidth = mr_Options.ResizedWidth;
    lr_Plan.ResizedHeight = mr_Options.ResizedHeight;
    bool lr_Ran = false;
    {
        SessionScript lr_Script(mr_Device, *this, lr_Plan);
        lr_Ran = lr_Script.Run(lr_Create, mr_Host.AsHost());
    }
    if (!lr_Ran) {
        std::printf("host: stopped after %d checks, %d failed\n", mr_Checks.Checks(), mr_Checks.Failures());
        return 1;
    }
    ReleaseDevice();

    std::printf("host: %d checks, %d failed; effects loaded %d, not loaded %d\n", mr_Checks.Checks(),
                mr_Checks.Failures(), mr_EffectsLoaded, mr_EffectsFailed);
    return mr_Checks.Failures() == 0 ? 0 : 1;
}

bool SessionChecks::StartDevice() {
    mr_Checks.Step("creating the window and the device");
    std::string ls_Error;
    if (!mr_Device.Create(mr_Options.Width, mr_Options.Height, mr_Options.MultiSample, ls_Error)) {
        if (mr_Device.Window().MultiSampleUnavailable()) {
            std::printf("host: skipped: the adapter offers no %s\n", ls_Error.c_str());
            return false;
        }
        mr_Checks.Fail("device: " + ls_Error);
        return false;
    }
    if (mr_Options.MultiSample != D3DMULTISAMPLE_NONE) {
        // The frames must run with the samples asked for, not fall back to one.
        IDirect3DSurface9* lr_BackBuffer_ = BackBuffer(mr_Device.Device());
        IDirect3DSurface9* lr_Depth_ = nullptr;
        mr_Device.Device()->GetDepthStencilSurface(&lr_Depth_);
        D3DSURFACE_DESC lr_Back = {}, lr_DepthDesc = {};
        if (lr_BackBuffer_) lr_BackBuffer_->GetDesc(&lr_Back);
        if (lr_Depth_) lr_Depth_->GetDesc(&lr_DepthDesc);
        if (lr_BackBuffer_) lr_BackBuffer_->Release();
        if (lr_Depth_) lr_Depth_->Release();
        mr_Checks.Expect(lr_Back.MultiSampleType == mr_Options.MultiSample,
                         "the back buffer has " + std::to_string(static_cast<int>(mr_Options.MultiSample)) +
                             " samples, not " + std::to_string(static_cast<int>(lr_Back.MultiSampleType)));
        mr_Checks.Expect(lr_DepthDesc.MultiSampleType == mr_Options.MultiSample,
                         "the depth buffer has " + std::to_string(static_cast<int>(mr_Options.MultiSample)) +
                             " samples, not " + std::to_string(static_cast<int>(lr_DepthDesc.MultiSampleType)));
    }
    mr_BaselineReferences = ReferenceCount(mr_Device.Device());
    mr_Checks.Note("device references held by the host: " + std::to_string(mr_BaselineReferences));
    return true;
}

CreatePluginFunction SessionChecks::LoadModule() {
    mr_Checks.Step("loading " + Quote(mr_Options.ModulePath));
    mr_Module_ = LoadLibraryW(mr_Options.ModulePath.c_str());
    if (!mr_Module_) {
        mr_Checks.Fail("LoadLibraryW failed with error " + std::to_string(GetLastError()));
        return nullptr;
    }
    FARPROC lr_Entry = GetProcAddress(mr_Module_, k_CreatePluginExport);
    if (!lr_Entry) {
        mr_Checks.Fail("the module has no export named CreatePlugin");
        return nullptr;
    }
    // Through a generic function pointer: the export's type is the module's word.
    return reinterpret_cast<CreatePluginFunction>(reinterpret_cast<void (*)()>(lr_Entry));
}

std::string SessionChecks::What(const SessionStep& step) const {
    switch (step.Kind) {
    case SessionStepKind::Frame: {
        std::string ls_What = "frame " + std::to_string(step.Frame);
        if (step.TexturesExpected) ls_What += ", the first after an activation";
        if (HostInset(step) != 0) ls_What += ", with an inset viewport";
        return ls_What;
    }
    case SessionStepKind::OffscreenFrame: return "frame into an off-screen render target";
    case SessionStepKind::ShowAOOnly:
        return std::string("ShowAOOnly := ") + (step.Value ? "true" : "false") + (step.AsText ? " as text" : "");
    case SessionStepKind::LostDevice:
    case SessionStepKind::ResetDevice:
    case SessionStepKind::ResetPlugin: return step.Resize ? "resize" : "reset";
    case SessionStepKind::Create: return "CreatePlugin";
    default: return "session";
    }
}

void SessionChecks::Before(const SessionStep& step) {
    mr_From = mr_Log.Reload().size();
    switch (step.Kind) {
    case SessionStepKind::Parameters: mr_Checks.Step("checking the new plug-in through its interface table"); break;
    case SessionStepKind::Initialise: mr_Checks.Step("Initialise"); break;
    case SessionStepKind::SwitchOn: mr_Checks.Step("SetActive(true)"); break;
    case SessionStepKind::Frame:
    case SessionStepKind::OffscreenFrame: mr_Checks.Step(What(step)); break;
    case SessionStepKind::ShowAOOnly:
        mr_Checks.Step(What(step));
        if (IParameter* lr_Parameter_ = step.Plugin_->FindParameter(IID_ShowAOOnlyParameter))
            mr_Caption = lr_Parameter_->GetCaption();
        break;
    case SessionStepKind::LostDevice: mr_Checks.Step(What(step) + " to " + Size(step.Width, step.Height)); break;
    case SessionStepKind::SwitchOff: mr_Checks.Step("SetActive(false)"); break;
    case SessionStepKind::Deinitialise: mr_Checks.Step("Deinitialise"); break;
    case SessionStepKind::Delete: mr_Checks.Step("deleting the plug-in and unloading the module"); break;
    default: break;
    }
}

void SessionChecks::After(const SessionStep& step) {
    IDirect3D9BasePlugin* lr_Plugin_ = step.Plugin_;
    switch (step.Kind) {
    case SessionStepKind::Create:
        mr_Checks.Expect(lr_Plugin_ != nullptr, "CreatePlugin returned a plug-in");
        ExpectReferences("after CreatePlugin");
        break;
    case SessionStepKind::Parameters: CheckNewPlugin(lr_Plugin_); break;
    case SessionStepKind::Initialise:
        mr_Checks.Expect(lr_Plugin_->IsInitialised(), "the plug-in is initialised");
        mr_Log.Reload();
        mr_Checks.Expect(mr_Log.ContainsRun({"SSAO: Initialising...", "SSAO: Initialising finished."}, mr_From),
                         "the log holds \"SSAO: Initialising...\" and \"SSAO: Initialising finished.\"");
        ExpectReferences("after Initialise");
        break;
    case SessionStepKind::SwitchOn:
        mr_Checks.Expect(lr_Plugin_->IsActive(), "the plug-in is active");
        mr_Log.Reload();
        ExpectActivationLog(mr_From, "activation");
        CheckEffectOutcomes(mr_From);
        break;
    case SessionStepKind::SwitchOnAgain:
        // A second switch-on is no event at all.
        mr_Checks.Expect(mr_Log.Reload().size() == mr_From, "SetActive(true) on an active plug-in writes nothing");
        break;
    case SessionStepKind::OffscreenFrame:
        mr_Checks.Expect(SUCCEEDED(mr_Device.Results().RestoreTarget), What(step) + ": back to the back buffer");
        break;
    case SessionStepKind::Frame:
        mr_Checks.Expect(SUCCEEDED(mr_Device.Results().EndScene), What(step) + ": EndScene");
        mr_Checks.Expect(SUCCEEDED(mr_Device.Results().Present),
                         What(step) + ": Present returned " + HResultText(mr_Device.Results().Present));
        mr_Log.Reload();
        ExpectFrameLog(mr_From, What(step), step.TexturesExpected, mr_Device.Window().Width(),
                       mr_Device.Window().Height());
        break;
    case SessionStepKind::ShowAOOnly: CheckShowAOOnly(step); break;
    case SessionStepKind::LostDevice:
        mr_Checks.Expect(!lr_Plugin_->IsActive(), What(step) + ": the plug-in is inactive while the device is lost");
        mr_Log.Reload();
        ExpectDeactivationLog(mr_From, What(step) + " (OnLostDevice)");
        ExpectReferences(What(step) + ", after OnLostDevice");
        break;
    case SessionStepKind::ResetDevice: CheckReset(step); break;
    case SessionStepKind::ResetPlugin:
        mr_Checks.Expect(lr_Plugin_->IsActive(), What(step) + ": the plug-in is active again after OnResetDevice");
        mr_Log.Reload();
        ExpectActivationLog(mr_From, What(step) + " (OnResetDevice)");
        break;
    case SessionStepKind::SwitchOff:
        mr_Checks.Expect(!lr_Plugin_->IsActive(), "the plug-in is inactive");
        mr_Log.Reload();
        ExpectDeactivationLog(mr_From, "deactivation");
        ExpectReferences("after deactivation");
        break;
    case SessionStepKind::Deinitialise:
        mr_Checks.Expect(!lr_Plugin_->IsInitialised(), "the plug-in is not initialised");
        mr_Log.Reload();
        // Inactive already: nothing is deactivated in between.
        mr_Checks.Expect(
            mr_Log.ContainsRun({"SSAO: Deinitialising...", "SSAO: Deinitialising finished."}, mr_From),
            "the log holds \"SSAO: Deinitialising...\" directly followed by \"SSAO: Deinitialising finished.\"");
        ExpectReferences("after Deinitialise");
        break;
    case SessionStepKind::Delete: CheckDeletion(); break;
    default: break;
    }
}

void SessionChecks::Failed(const SessionStep& step, const std::string& why) {
    if (step.Kind == SessionStepKind::Create) {
        mr_Checks.Expect(step.Plugin_ != nullptr, "CreatePlugin returned a plug-in");
        return;
    }
    mr_Checks.Fail(What(step) + ": " + why);
}

void SessionChecks::CheckNewPlugin(IDirect3D9BasePlugin* plugin) {
    mr_Checks.Expect(plugin->GetName() == L"SSAO", "GetName is \"SSAO\", not \"" + Quote(plugin->GetName()) + "\"");
    mr_Checks.Expect(plugin->GetDescription() == L"Blurs scene elements who are out of focus.",
                     "GetDescription is the plug-in's sentence, not \"" + Quote(plugin->GetDescription()) + "\"");
    mr_Checks.Expect(!plugin->IsInitialised(), "a new plug-in is not initialised");
    mr_Checks.Expect(!plugin->IsActive(), "a new plug-in is not active");
    mr_Checks.Expect(plugin->GetHost() == mr_Host.AsHost(), "GetHost returns the host handed to CreatePlugin");
    mr_Checks.Expect(mr_Host.PathQueries() >= 1, "the constructor asked the host for its paths");
    mr_Checks.Expect(mr_Host.ForeignQueries() == 0, "the module called no path entry but the base and data paths");

    std::vector<IParameter*> lr_Parameters = plugin->GetParameters();
    mr_Checks.Expect(lr_Parameters.size() == 1,
                     "the plug-in has one parameter, not " + std::to_string(lr_Parameters.size()));
    IParameter* lr_Parameter_ = plugin->FindParameter(IID_ShowAOOnlyParameter);
    if (!mr_Checks.Expect(lr_Parameter_ != nullptr, "FindParameter finds ShowAOOnly")) return;
    mr_Checks.Expect(lr_Parameter_->GetName() == L"ShowAOOnly", "the parameter is named ShowAOOnly");
    mr_Checks.Expect(lr_Parameter_->GetType() == 1, "the parameter is a check box (type 1)");
    mr_Checks.Expect(lr_Parameter_->GetCaption() == L"Show AO only: true",
                     "the caption is \"Show AO only: true\", not \"" + Quote(lr_Parameter_->GetCaption()) + "\"");
    mr_Checks.Expect(lr_Parameter_->GetPlugin() == plugin, "the parameter's owner is the plug-in");
    mr_ShowAOOnly_ = static_cast<ICheckBoxParameter*>(lr_Parameter_->GetInterface(IID_ICheckBoxParameter));
    if (!mr_Checks.Expect(mr_ShowAOOnly_ != nullptr, "the parameter answers the check-box interface")) return;
    mr_Checks.Expect(static_cast<void*>(mr_ShowAOOnly_) != static_cast<void*>(lr_Parameter_),
                     "the check-box view has an address of its own");
    mr_Checks.Expect(mr_ShowAOOnly_->GetValue() && mr_ShowAOOnly_->GetDefaultValue(), "ShowAOOnly is on by default");
    mr_Checks.Expect(plugin->FindParameter(k_UnknownId) == nullptr, "FindParameter with an unknown GUID gives null");
    // The exception must cross from the module into the host.
    // On 32 bits this holds only when both sides share libgcc's unwinder
    // (cmake/MingwRuntime.cmake); otherwise the process ends in std::terminate.
    bool lr_Thrown = false;
    try {
        plugin->GetParameter(k_UnknownId);
    } catch (const std::out_of_range& error) {
        lr_Thrown = true;
        mr_Checks.Note(std::string("GetParameter with an unknown GUID: the host caught std::out_of_range (\"") +
                       error.what() + "\")");
    } catch (const std::exception&) {
        lr_Thrown = true;
        mr_Checks.Note("GetParameter threw a std::exception that is not std::out_of_range");
    } catch (...) {
        lr_Thrown = true;
        mr_Checks.Note("GetParameter threw something that is not a std::exception");
    }
    mr_Checks.Expect(lr_Thrown, "GetParameter with an unknown GUID throws into the host");
}

void SessionChecks::CheckEffectOutcomes(size_t from) {
    const std::string ls_Directory = "SSAO: " + Quote(mr_Options.DataPath) + "Plugins\\SSAO\\";
    mr_EffectsLoaded = 0;
    mr_EffectsFailed = 0;
    for (const char* lr_File : k_EffectFiles) {
        const std::string ls_Path = ls_Directory + lr_File;
        if (mr_Log.Find(ls_Path + " shader loaded.", from) != LogFileReader::npos) {
            ++mr_EffectsLoaded;
            mr_Checks.Note(std::string(lr_File) + ": loaded");
            continue;
        }
        size_t lr_At = mr_Log.Find(ls_Path + " shader not loaded:", from);
        if (!mr_Checks.Expect(lr_At != LogFileReader::npos, "the log tells whether " + std::string(lr_File) +
                                                                " loaded (\"" + ls_Path +
                                                                " shader loaded.\" or \" shader not loaded:\")"))
            continue;
        ++mr_EffectsFailed;
        // The shader's error text follows, up to the next message.
        const std::vector<std::string>& lr_Lines = mr_Log.Lines();
        std::string ls_Text;
        for (size_t i = lr_At + 1; i < lr_Lines.size() && lr_Lines[i].compare(0, 6, "SSAO: ") != 0; ++i)
            ls_Text += (ls_Text.empty() ? "" : " | ") + lr_Lines[i];
        mr_Checks.Expect(lr_At + 1 < lr_Lines.size() && !lr_Lines[lr_At + 1].empty(),
                         std::string(lr_File) + ": the error text follows \" shader not loaded:\"");
        mr_Checks.Note(std::string(lr_File) + ": not loaded: " + ls_Text);
    }
    for (const std::string& ls_Line : mr_Log.LinesStartingWith("SSAO: ", from))
        mr_Checks.Expect(ls_Line.find("texture not loaded") == std::string::npos,
                         "the noise texture loads: " + ls_Line);
}

void SessionChecks::BeforeRender(const SessionStep& step) {
    const std::string what = What(step);
    IDirect3DDevice9* lr_Device_ = mr_Device.Device();
    if (step.Kind == SessionStepKind::Frame)
        mr_Checks.Expect(SUCCEEDED(mr_Device.Results().BeginScene), what + ": BeginScene");
    mr_BackBuffer_ = BackBuffer(lr_Device_);
    mr_Checks.Expect(mr_BackBuffer_ != nullptr, what + ": GetBackBuffer");
    mr_FrameReferences = ReferenceCount(lr_Device_);
    std::string ls_Error;
    mr_BackPixels = mr_BackBuffer_ ? SurfacePixels::Read(lr_Device_, mr_BackBuffer_, ls_Error) : SurfacePixels();
    mr_State = DeviceStateSnapshot::Read(lr_Device_);
    if (step.Kind == SessionStepKind::OffscreenFrame) {
        mr_Checks.Expect(SUCCEEDED(mr_Device.Results().SetTarget), what + ": SetRenderTarget");
        mr_TargetPixels = SurfacePixels::Read(lr_Device_, step.Target_, ls_Error);
        mr_Checks.Expect(ls_Error.empty(), what + ": reading the surfaces before the frame: " + ls_Error);
    } else {
        mr_Checks.Expect(ls_Error.empty(), what + ": reading the back buffer before the frame: " + ls_Error);
        mr_Checks.Expect(mr_State.RenderTarget == mr_BackBuffer_, what + ": the host renders into the back buffer");
    }
}

void SessionChecks::AfterRender(const SessionStep& step) {
    const std::string what = What(step);
    IDirect3DDevice9* lr_Device_ = mr_Device.Device();
    for (const std::string& ls_Difference : mr_State.Differences(DeviceStateSnapshot::Read(lr_Device_)))
        mr_Checks.Fail(what + ": the plug-in left a changed device state: " + ls_Difference);
    std::string ls_Error;
    SurfacePixels lr_BackAfter =
        mr_BackBuffer_ ? SurfacePixels::Read(lr_Device_, mr_BackBuffer_, ls_Error) : SurfacePixels();
    if (step.Kind == SessionStepKind::OffscreenFrame) {
        SurfacePixels lr_TargetAfter = SurfacePixels::Read(lr_Device_, step.Target_, ls_Error);
        mr_Checks.Expect(ls_Error.empty(), what + ": reading the surfaces after the frame: " + ls_Error);
        mr_Checks.Expect(!mr_BackPixels.Pixels.empty() && mr_BackPixels.CountDifferences(lr_BackAfter) == 0,
                         what + ": the back buffer's pixels are unchanged (" +
                             std::to_string(mr_BackPixels.CountDifferences(lr_BackAfter)) + " differ)");
        mr_Checks.Expect(!mr_TargetPixels.Pixels.empty() && mr_TargetPixels.CountDifferences(lr_TargetAfter) == 0,
                         what + ": the off-screen target's pixels are unchanged (" +
                             std::to_string(mr_TargetPixels.CountDifferences(lr_TargetAfter)) + " differ)");
        mr_Checks.Expect(ReferenceCount(lr_Device_) == mr_FrameReferences,
                         what + ": the plug-in created no device object");
        mr_Checks.Expect(mr_Log.Reload().size() == mr_From, what + ": the plug-in wrote nothing to the log");
    } else {
        mr_Checks.Expect(ls_Error.empty(), what + ": reading the back buffer after the frame: " + ls_Error);
        size_t lr_Changed = mr_BackPixels.CountDifferences(lr_BackAfter);
        mr_Checks.Note(what + ": " + std::to_string(lr_Changed) + " of " + std::to_string(lr_BackAfter.Pixels.size()) +
                       " pixels changed by the plug-in");
        if (mr_EffectsLoaded == 0) {
            // No effect to draw with: the frame only copies out of the back buffer.
            mr_Checks.Expect(lr_Changed == 0, what + ": with no effect loaded the back buffer is left as it was");
        } else if (mr_EffectsFailed == 0 && mr_ShowAOOnlyValue) {
            mr_Checks.Expect(lr_Changed > 0, what + ": with ShowAOOnly the occlusion term replaces the scene");
            // The term is white where nothing occludes: a frame that drew
            // nothing of it (a failed draw or copy) leaves black.
            const size_t lr_Lit =
                static_cast<size_t>(std::count_if(lr_BackAfter.Pixels.begin(), lr_BackAfter.Pixels.end(),
                                                  [](std::uint32_t p) { return (p & 0xFFFFFFu) != 0; }));
            mr_Checks.Expect(lr_Lit * 2 > lr_BackAfter.Pixels.size(),
                             what + ": the occlusion term is not black (" + std::to_string(lr_Lit) + " of " +
                                 std::to_string(lr_BackAfter.Pixels.size()) + " pixels lit)");
        }
    }
    if (mr_BackBuffer_) mr_BackBuffer_->Release();
    mr_BackBuffer_ = nullptr;
}

void SessionChecks::CheckShowAOOnly(const SessionStep& step) {
    if (!mr_ShowAOOnly_) return;
    mr_ShowAOOnlyValue = step.Value;
    mr_Checks.Expect(mr_ShowAOOnly_->GetValue() == step.Value, "the check box holds the new value");
    IParameter* lr_Parameter_ = step.Plugin_->FindParameter(IID_ShowAOOnlyParameter);
    if (step.AsText) {
        // The text path sets the value alone: no caption refresh, no notice to the owner.
        mr_Checks.Expect(lr_Parameter_ && lr_Parameter_->GetCaption() == mr_Caption,
                         "SetValueFromString leaves the caption as it was: \"" + Quote(mr_Caption) + "\"");
        return;
    }
    const std::wstring ls_Caption = std::wstring(L"Show AO only: ") + (step.Value ? L"true" : L"false");
    mr_Checks.Expect(lr_Parameter_ && lr_Parameter_->GetCaption() == ls_Caption,
                     "the caption follows the value: \"" + Quote(ls_Caption) + "\"");
}

void SessionChecks::CheckReset(const SessionStep& step) {
    const std::string what = What(step);
    if (!mr_Checks.Expect(step.Result == D3D_OK,
                          what + ": IDirect3DDevice9::Reset returned " + HResultText(step.Result) + ", not D3D_OK")) {
        mr_Checks.Note("TestCooperativeLevel: " + HResultText(mr_Device.Device()->TestCooperativeLevel()));
        return;
    }
    D3DVIEWPORT9 lr_Viewport = {};
    mr_Device.Device()->GetViewport(&lr_Viewport);
    mr_Checks.Expect(lr_Viewport.Width == step.Width && lr_Viewport.Height == step.Height,
                     what + ": the viewport covers the new back buffer after Reset");
}

void SessionChecks::CheckDeletion() {
    mr_ShowAOOnly_ = nullptr;
    mr_Checks.Expect(FreeLibrary(mr_Module_) != FALSE, "FreeLibrary");
    mr_Module_ = nullptr;
    ExpectReferences("after the plug-in is deleted and the module unloaded");
}

void SessionChecks::ReleaseDevice() {
    mr_Checks.Step("releasing the host's objects and the device");
    ULONG lr_Direct3DLeft = 0;
    ULONG lr_Left = mr_Device.Release(&lr_Direct3DLeft);
    mr_Checks.Expect(lr_Left == 0, "the device's last Release returns 0, not " + std::to_string(lr_Left));
    mr_Checks.Expect(lr_Direct3DLeft == 0,
                     "the Direct3D object's last Release returns 0, not " + std::to_string(lr_Direct3DLeft));
}

void SessionChecks::ExpectReferences(const std::string& when) {
    ULONG lr_Count = ReferenceCount(mr_Device.Device());
    mr_Checks.Expect(lr_Count == mr_BaselineReferences, "device references " + when + ": " + std::to_string(lr_Count) +
                                                            ", the host's own are " +
                                                            std::to_string(mr_BaselineReferences));
}

void SessionChecks::ExpectDeactivationLog(size_t from, const std::string& when) {
    mr_Checks.Expect(mr_Log.ContainsRun(DeactivationLines(), from),
                     when + ": the log holds the twelve deactivation lines in order");
}

void SessionChecks::ExpectActivationLog(size_t from, const std::string& when) {
    std::string ls_Missing;
    bool lr_Found = mr_Log.ContainsInOrder(k_ActivationLines, from, ls_Missing);
    mr_Checks.Expect(lr_Found, when + ": the log holds the activation lines in order; missing \"" + ls_Missing + "\"");
}

void SessionChecks::ExpectFrameLog(size_t from, const std::string& what, bool expectTextures, UINT width, UINT height) {
    const std::string ls_Texture = "SSAO: CreateTexture: D3DFMT_X8R8G8B8 " + Size(width, height);
    const std::vector<std::string>& lr_Lines = mr_Log.Lines();
    size_t lr_Textures = 0;
    for (size_t i = from; i < lr_Lines.size(); ++i) {
        if (expectTextures && lr_Lines[i] == ls_Texture)
            ++lr_Textures;
        else if (lr_Lines[i].rfind("SSAO: Depth from ", 0) == 0)
            continue;  // what the plug-in found of the host's depth
        else
            mr_Checks.Fail(what + ": unexpected log line \"" + lr_Lines[i] + "\"");
    }
    if (expectTextures)
        mr_Checks.Expect(lr_Textures == 3,
                         what + ": three \"" + ls_Texture + "\" lines, not " + std::to_string(lr_Textures));
}
