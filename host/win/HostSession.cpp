#include "HostSession.h"

#include "DeviceStateSnapshot.h"
#include "HostContract.h"
#include "SurfacePixels.h"

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace {

// An identifier that no parameter of the module has.
const GUID k_UnknownId = {0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

const char* const k_EffectFiles[] = {"ShowTexture.hlsl", "ZBlur.hlsl", "RenderDepth.hlsl", "RenderBlack.hlsl",
                                     "SSAO.hlsl"};

const std::vector<std::string> k_DeactivationLines = {
    "SSAO: Deactivating...",
    "SSAO: Deinitialising mr_ShaderSystem_...",
    "SSAO: Deinitialising mr_ScreenMask_...",
    "SSAO: Deinitialising mr_ZScreenMask_...",
    "SSAO: Deinitialising mr_ClearMask_...",
    "SSAO: Deinitialising mr_NoiseTexture...",
    "SSAO: Deinitialising mr_BackBufferTexture...",
    "SSAO: Deinitialising mr_AOBackBufferTexture...",
    "SSAO: Deinitialising mr_ZBackBufferTexture...",
    "SSAO: Deinitialising mr_DefaultStateBlock_...",
    "SSAO: Deinitialising mr_CurrentStateBlock_...",
    "SSAO: Deactivating finished.",
};

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

HostSession::HostSession(const HostOptions& options)
    : mr_Options(options), mr_Host(options.BasePath, options.DataPath), mr_Log(options.BasePath + L"Vexil.log") {}

HostSession::~HostSession() {
    // Only reached early when a step could not go on: tidy up what is left.
    if (mr_Plugin_) {
        mr_Plugin_->Deinitialise();
        delete mr_Plugin_;
    }
    if (mr_Module_) FreeLibrary(mr_Module_);
    mr_Scene.Release();
}

std::string HostSession::Narrow(const std::wstring& text) const { return Quote(text); }

int HostSession::Run() {
    // The log is appended to, never truncated: start from none.
    DeleteFileW((mr_Options.BasePath + L"Vexil.log").c_str());

    if (!StartDevice() || !LoadModule()) {
        std::printf("host: stopped after %d checks, %d failed\n", mr_Checks.Checks(), mr_Checks.Failures());
        return 1;
    }
    CheckNewPlugin();
    Initialise();
    Activate();

    BackBufferFrame("first frame", 0, true);
    BackBufferFrame("second frame", 0, false);
    BackBufferFrame("frame with an inset viewport", 16, false);
    SetShowAOOnly(false);
    BackBufferFrame("frame with ShowAOOnly off", 0, false);
    SetShowAOOnly(true);
    BackBufferFrame("frame with ShowAOOnly on again", 0, false);
    OffscreenFrame();
    BackBufferFrame("frame after the off-screen one", 0, false);

    // A device that could not be reset draws nothing more: straight to the end.
    if (ResetDevice(mr_Options.Width, mr_Options.Height, "reset")) {
        BackBufferFrame("first frame after the reset", 0, true);
        if (ResetDevice(mr_Options.ResizedWidth, mr_Options.ResizedHeight, "resize")) {
            BackBufferFrame("first frame after the resize", 0, true);
            BackBufferFrame("second frame after the resize", 8, false);
        }
    }

    Deactivate();
    Deinitialise();
    DeletePlugin();
    ReleaseDevice();

    std::printf("host: %d checks, %d failed; effects loaded %d, not loaded %d\n", mr_Checks.Checks(),
                mr_Checks.Failures(), mr_EffectsLoaded, mr_EffectsFailed);
    return mr_Checks.Failures() == 0 ? 0 : 1;
}

bool HostSession::StartDevice() {
    mr_Checks.Step("creating the window and the device");
    std::string ls_Error;
    if (!mr_Window.Create(mr_Options.Width, mr_Options.Height, ls_Error)) {
        mr_Checks.Fail("device: " + ls_Error);
        return false;
    }
    if (!mr_Scene.Create(mr_Window.Device())) {
        mr_Checks.Fail("the host's own texture could not be created");
        return false;
    }
    mr_BaselineReferences = ReferenceCount(mr_Window.Device());
    mr_Checks.Note("device references held by the host: " + std::to_string(mr_BaselineReferences));
    return true;
}

bool HostSession::LoadModule() {
    mr_Checks.Step("loading " + Quote(mr_Options.ModulePath));
    mr_Module_ = LoadLibraryW(mr_Options.ModulePath.c_str());
    if (!mr_Module_) {
        mr_Checks.Fail("LoadLibraryW failed with error " + std::to_string(GetLastError()));
        return false;
    }
    FARPROC lr_Entry = GetProcAddress(mr_Module_, k_CreatePluginExport);
    if (!lr_Entry) {
        mr_Checks.Fail("the module has no export named CreatePlugin");
        return false;
    }
    // Through a generic function pointer: the export's type is the module's word.
    auto lr_Create = reinterpret_cast<CreatePluginFunction>(reinterpret_cast<void (*)()>(lr_Entry));
    mr_Plugin_ = lr_Create(mr_Host.AsHost());
    if (!mr_Checks.Expect(mr_Plugin_ != nullptr, "CreatePlugin returned a plug-in")) return false;
    ExpectReferences("after CreatePlugin");
    return true;
}

void HostSession::CheckNewPlugin() {
    mr_Checks.Step("checking the new plug-in through its interface table");
    mr_Checks.Expect(mr_Plugin_->GetName() == L"SSAO",
                     "GetName is \"SSAO\", not \"" + Quote(mr_Plugin_->GetName()) + "\"");
    mr_Checks.Expect(mr_Plugin_->GetDescription() == L"Blurs scene elements who are out of focus.",
                     "GetDescription is the plug-in's sentence, not \"" + Quote(mr_Plugin_->GetDescription()) + "\"");
    mr_Checks.Expect(!mr_Plugin_->IsInitialised(), "a new plug-in is not initialised");
    mr_Checks.Expect(!mr_Plugin_->IsActive(), "a new plug-in is not active");
    mr_Checks.Expect(mr_Plugin_->GetHost() == mr_Host.AsHost(), "GetHost returns the host handed to CreatePlugin");
    mr_Checks.Expect(mr_Host.PathQueries() >= 1, "the constructor asked the host for its paths");
    mr_Checks.Expect(mr_Host.ForeignQueries() == 0, "the module called no path entry but the base and data paths");

    std::vector<IParameter*> lr_Parameters = mr_Plugin_->GetParameters();
    mr_Checks.Expect(lr_Parameters.size() == 1,
                     "the plug-in has one parameter, not " + std::to_string(lr_Parameters.size()));
    IParameter* lr_Parameter_ = mr_Plugin_->FindParameter(IID_ShowAOOnlyParameter);
    if (!mr_Checks.Expect(lr_Parameter_ != nullptr, "FindParameter finds ShowAOOnly")) return;
    mr_Checks.Expect(lr_Parameter_->GetName() == L"ShowAOOnly", "the parameter is named ShowAOOnly");
    mr_Checks.Expect(lr_Parameter_->GetType() == 1, "the parameter is a check box (type 1)");
    mr_Checks.Expect(lr_Parameter_->GetCaption() == L"Show AO only: true",
                     "the caption is \"Show AO only: true\", not \"" + Quote(lr_Parameter_->GetCaption()) + "\"");
    mr_Checks.Expect(lr_Parameter_->GetPlugin() == mr_Plugin_, "the parameter's owner is the plug-in");
    mr_ShowAOOnly_ = static_cast<ICheckBoxParameter*>(lr_Parameter_->GetInterface(IID_ICheckBoxParameter));
    if (!mr_Checks.Expect(mr_ShowAOOnly_ != nullptr, "the parameter answers the check-box interface")) return;
    mr_Checks.Expect(static_cast<void*>(mr_ShowAOOnly_) != static_cast<void*>(lr_Parameter_),
                     "the check-box view has an address of its own");
    mr_Checks.Expect(mr_ShowAOOnly_->GetValue() && mr_ShowAOOnly_->GetDefaultValue(), "ShowAOOnly is on by default");
    mr_Checks.Expect(mr_Plugin_->FindParameter(k_UnknownId) == nullptr,
                     "FindParameter with an unknown GUID gives null");
    // The exception must cross from the module into the host.
    // On 32 bits this holds only when both sides share libgcc's unwinder
    // (cmake/MingwRuntime.cmake); otherwise the process ends in std::terminate.
    bool lr_Thrown = false;
    try {
        mr_Plugin_->GetParameter(k_UnknownId);
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

void HostSession::Initialise() {
    mr_Checks.Step("Initialise");
    size_t lr_From = mr_Log.Reload().size();
    mr_Plugin_->Initialise(mr_Window.Device());
    mr_Checks.Expect(mr_Plugin_->IsInitialised(), "the plug-in is initialised");
    mr_Log.Reload();
    mr_Checks.Expect(mr_Log.ContainsRun({"SSAO: Initialising...", "SSAO: Initialising finished."}, lr_From),
                     "the log holds \"SSAO: Initialising...\" and \"SSAO: Initialising finished.\"");
    ExpectReferences("after Initialise");
}

void HostSession::Activate() {
    mr_Checks.Step("SetActive(true)");
    size_t lr_From = mr_Log.Reload().size();
    mr_Plugin_->SetActive(true);
    mr_Checks.Expect(mr_Plugin_->IsActive(), "the plug-in is active");
    mr_Log.Reload();
    ExpectActivationLog(lr_From, "activation");
    CheckEffectOutcomes(lr_From);
    // A second switch-on is no event at all.
    size_t lr_Before = mr_Log.Reload().size();
    mr_Plugin_->SetActive(true);
    mr_Checks.Expect(mr_Log.Reload().size() == lr_Before, "SetActive(true) on an active plug-in writes nothing");
}

void HostSession::CheckEffectOutcomes(size_t from) {
    const std::string ls_Directory = "SSAO: " + Narrow(mr_Options.DataPath) + "Plugins\\SSAO\\";
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

void HostSession::BackBufferFrame(const std::string& what, UINT inset, bool expectTextures) {
    mr_Checks.Step(what);
    IDirect3DDevice9* lr_Device_ = mr_Window.Device();
    const UINT w = mr_Window.Width();
    const UINT h = mr_Window.Height();
    size_t lr_From = mr_Log.Reload().size();
    mr_Checks.Expect(SUCCEEDED(lr_Device_->BeginScene()), what + ": BeginScene");
    mr_Scene.ApplyState(lr_Device_, w, h, inset);
    mr_Scene.Draw(lr_Device_, w, h, D3DCOLOR_XRGB(90, 90, 110));

    IDirect3DSurface9* lr_BackBuffer_ = BackBuffer(lr_Device_);
    if (!mr_Checks.Expect(lr_BackBuffer_ != nullptr, what + ": GetBackBuffer")) {
        lr_Device_->EndScene();
        return;
    }
    std::string ls_Error;
    SurfacePixels lr_Before = SurfacePixels::Read(lr_Device_, lr_BackBuffer_, ls_Error);
    mr_Checks.Expect(ls_Error.empty(), what + ": reading the back buffer before the frame: " + ls_Error);
    DeviceStateSnapshot lr_State = DeviceStateSnapshot::Read(lr_Device_);
    mr_Checks.Expect(lr_State.RenderTarget == lr_BackBuffer_, what + ": the host renders into the back buffer");

    mr_Plugin_->Render();

    for (const std::string& ls_Difference : lr_State.Differences(DeviceStateSnapshot::Read(lr_Device_)))
        mr_Checks.Fail(what + ": the plug-in left a changed device state: " + ls_Difference);
    SurfacePixels lr_After = SurfacePixels::Read(lr_Device_, lr_BackBuffer_, ls_Error);
    mr_Checks.Expect(ls_Error.empty(), what + ": reading the back buffer after the frame: " + ls_Error);
    size_t lr_Changed = lr_Before.CountDifferences(lr_After);
    mr_Checks.Note(what + ": " + std::to_string(lr_Changed) + " of " + std::to_string(lr_After.Pixels.size()) +
                   " pixels changed by the plug-in");
    if (mr_EffectsLoaded == 0) {
        // No effect to draw with: the frame only copies out of the back buffer.
        mr_Checks.Expect(lr_Changed == 0, what + ": with no effect loaded the back buffer is left as it was");
    } else if (mr_EffectsFailed == 0 && mr_ShowAOOnlyValue) {
        mr_Checks.Expect(lr_Changed > 0, what + ": with ShowAOOnly the occlusion term replaces the scene");
    }
    lr_BackBuffer_->Release();

    mr_Checks.Expect(SUCCEEDED(lr_Device_->EndScene()), what + ": EndScene");
    HRESULT hr = lr_Device_->Present(nullptr, nullptr, nullptr, nullptr);
    mr_Checks.Expect(SUCCEEDED(hr), what + ": Present returned " + HResultText(hr));
    mr_Window.PumpMessages();
    mr_Log.Reload();
    ExpectFrameLog(lr_From, what, expectTextures, w, h);
}

void HostSession::OffscreenFrame() {
    const std::string what = "frame into an off-screen render target";
    mr_Checks.Step(what);
    IDirect3DDevice9* lr_Device_ = mr_Window.Device();
    const UINT w = mr_Window.Width();
    const UINT h = mr_Window.Height();
    IDirect3DSurface9* lr_Target_ = nullptr;
    HRESULT hr =
        lr_Device_->CreateRenderTarget(w, h, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Target_, nullptr);
    if (!mr_Checks.Expect(SUCCEEDED(hr) && lr_Target_, what + ": CreateRenderTarget returned " + HResultText(hr)))
        return;
    IDirect3DSurface9* lr_BackBuffer_ = BackBuffer(lr_Device_);
    if (!mr_Checks.Expect(lr_BackBuffer_ != nullptr, what + ": GetBackBuffer")) {
        lr_Target_->Release();
        return;
    }
    ULONG lr_References = ReferenceCount(lr_Device_);
    size_t lr_From = mr_Log.Reload().size();

    lr_Device_->BeginScene();
    mr_Scene.ApplyState(lr_Device_, w, h, 0);
    mr_Scene.Draw(lr_Device_, w, h, D3DCOLOR_XRGB(30, 30, 30));
    mr_Checks.Expect(SUCCEEDED(lr_Device_->SetRenderTarget(0, lr_Target_)), what + ": SetRenderTarget");
    mr_Scene.ApplyState(lr_Device_, w, h, 4);
    mr_Scene.Draw(lr_Device_, w, h, D3DCOLOR_XRGB(200, 200, 40));

    std::string ls_Error;
    SurfacePixels lr_BackBefore = SurfacePixels::Read(lr_Device_, lr_BackBuffer_, ls_Error);
    SurfacePixels lr_TargetBefore = SurfacePixels::Read(lr_Device_, lr_Target_, ls_Error);
    mr_Checks.Expect(ls_Error.empty(), what + ": reading the surfaces before the frame: " + ls_Error);
    DeviceStateSnapshot lr_State = DeviceStateSnapshot::Read(lr_Device_);

    mr_Plugin_->Render();

    for (const std::string& ls_Difference : lr_State.Differences(DeviceStateSnapshot::Read(lr_Device_)))
        mr_Checks.Fail(what + ": the plug-in left a changed device state: " + ls_Difference);
    SurfacePixels lr_BackAfter = SurfacePixels::Read(lr_Device_, lr_BackBuffer_, ls_Error);
    SurfacePixels lr_TargetAfter = SurfacePixels::Read(lr_Device_, lr_Target_, ls_Error);
    mr_Checks.Expect(ls_Error.empty(), what + ": reading the surfaces after the frame: " + ls_Error);
    mr_Checks.Expect(!lr_BackBefore.Pixels.empty() && lr_BackBefore.CountDifferences(lr_BackAfter) == 0,
                     what + ": the back buffer's pixels are unchanged (" +
                         std::to_string(lr_BackBefore.CountDifferences(lr_BackAfter)) + " differ)");
    mr_Checks.Expect(!lr_TargetBefore.Pixels.empty() && lr_TargetBefore.CountDifferences(lr_TargetAfter) == 0,
                     what + ": the off-screen target's pixels are unchanged (" +
                         std::to_string(lr_TargetBefore.CountDifferences(lr_TargetAfter)) + " differ)");
    mr_Checks.Expect(ReferenceCount(lr_Device_) == lr_References, what + ": the plug-in created no device object");
    mr_Checks.Expect(mr_Log.Reload().size() == lr_From, what + ": the plug-in wrote nothing to the log");

    mr_Checks.Expect(SUCCEEDED(lr_Device_->SetRenderTarget(0, lr_BackBuffer_)), what + ": back to the back buffer");
    lr_Device_->EndScene();
    lr_Device_->Present(nullptr, nullptr, nullptr, nullptr);
    lr_BackBuffer_->Release();
    lr_Target_->Release();
    mr_Window.PumpMessages();
}

void HostSession::SetShowAOOnly(bool value) {
    mr_Checks.Step(std::string("ShowAOOnly := ") + (value ? "true" : "false"));
    if (!mr_ShowAOOnly_) return;
    mr_ShowAOOnly_->SetValue(value);
    mr_ShowAOOnlyValue = value;
    mr_Checks.Expect(mr_ShowAOOnly_->GetValue() == value, "the check box holds the new value");
    IParameter* lr_Parameter_ = mr_Plugin_->FindParameter(IID_ShowAOOnlyParameter);
    const std::wstring ls_Caption = std::wstring(L"Show AO only: ") + (value ? L"true" : L"false");
    mr_Checks.Expect(lr_Parameter_ && lr_Parameter_->GetCaption() == ls_Caption,
                     "the caption follows the value: \"" + Quote(ls_Caption) + "\"");
}

bool HostSession::ResetDevice(UINT width, UINT height, const std::string& what) {
    mr_Checks.Step(what + " to " + Size(width, height));
    size_t lr_From = mr_Log.Reload().size();
    mr_Plugin_->OnLostDevice();
    mr_Checks.Expect(!mr_Plugin_->IsActive(), what + ": the plug-in is inactive while the device is lost");
    mr_Log.Reload();
    ExpectDeactivationLog(lr_From, what + " (OnLostDevice)");
    ExpectReferences(what + ", after OnLostDevice");

    HRESULT hr = mr_Window.Reset(width, height);
    if (!mr_Checks.Expect(hr == D3D_OK,
                          what + ": IDirect3DDevice9::Reset returned " + HResultText(hr) + ", not D3D_OK")) {
        mr_Checks.Note("TestCooperativeLevel: " + HResultText(mr_Window.Device()->TestCooperativeLevel()));
        return false;
    }
    D3DVIEWPORT9 lr_Viewport = {};
    mr_Window.Device()->GetViewport(&lr_Viewport);
    mr_Checks.Expect(lr_Viewport.Width == width && lr_Viewport.Height == height,
                     what + ": the viewport covers the new back buffer after Reset");

    lr_From = mr_Log.Reload().size();
    mr_Plugin_->OnResetDevice();
    mr_Checks.Expect(mr_Plugin_->IsActive(), what + ": the plug-in is active again after OnResetDevice");
    mr_Log.Reload();
    ExpectActivationLog(lr_From, what + " (OnResetDevice)");
    return true;
}

void HostSession::Deactivate() {
    mr_Checks.Step("SetActive(false)");
    size_t lr_From = mr_Log.Reload().size();
    mr_Plugin_->SetActive(false);
    mr_Checks.Expect(!mr_Plugin_->IsActive(), "the plug-in is inactive");
    mr_Log.Reload();
    ExpectDeactivationLog(lr_From, "deactivation");
    ExpectReferences("after deactivation");
}

void HostSession::Deinitialise() {
    mr_Checks.Step("Deinitialise");
    size_t lr_From = mr_Log.Reload().size();
    mr_Plugin_->Deinitialise();
    mr_Checks.Expect(!mr_Plugin_->IsInitialised(), "the plug-in is not initialised");
    mr_Log.Reload();
    // Inactive already: nothing is deactivated in between.
    mr_Checks.Expect(
        mr_Log.ContainsRun({"SSAO: Deinitialising...", "SSAO: Deinitialising finished."}, lr_From),
        "the log holds \"SSAO: Deinitialising...\" directly followed by \"SSAO: Deinitialising finished.\"");
    ExpectReferences("after Deinitialise");
}

void HostSession::DeletePlugin() {
    mr_Checks.Step("deleting the plug-in and unloading the module");
    delete mr_Plugin_;
    mr_Plugin_ = nullptr;
    mr_ShowAOOnly_ = nullptr;
    mr_Checks.Expect(FreeLibrary(mr_Module_) != FALSE, "FreeLibrary");
    mr_Module_ = nullptr;
    ExpectReferences("after the plug-in is deleted and the module unloaded");
}

void HostSession::ReleaseDevice() {
    mr_Checks.Step("releasing the host's objects and the device");
    mr_Scene.Release();
    ULONG lr_Direct3DLeft = 0;
    ULONG lr_Left = mr_Window.ReleaseDevice(&lr_Direct3DLeft);
    mr_Checks.Expect(lr_Left == 0, "the device's last Release returns 0, not " + std::to_string(lr_Left));
    mr_Checks.Expect(lr_Direct3DLeft == 0,
                     "the Direct3D object's last Release returns 0, not " + std::to_string(lr_Direct3DLeft));
}

void HostSession::ExpectReferences(const std::string& when) {
    ULONG lr_Count = ReferenceCount(mr_Window.Device());
    mr_Checks.Expect(lr_Count == mr_BaselineReferences, "device references " + when + ": " + std::to_string(lr_Count) +
                                                            ", the host's own are " +
                                                            std::to_string(mr_BaselineReferences));
}

void HostSession::ExpectDeactivationLog(size_t from, const std::string& when) {
    mr_Checks.Expect(mr_Log.ContainsRun(k_DeactivationLines, from),
                     when + ": the log holds the twelve deactivation lines in order");
}

void HostSession::ExpectActivationLog(size_t from, const std::string& when) {
    std::string ls_Missing;
    bool lr_Found = mr_Log.ContainsInOrder(k_ActivationLines, from, ls_Missing);
    mr_Checks.Expect(lr_Found, when + ": the log holds the activation lines in order; missing \"" + ls_Missing + "\"");
}

void HostSession::ExpectFrameLog(size_t from, const std::string& what, bool expectTextures, UINT width, UINT height) {
    const std::string ls_Texture = "SSAO: CreateTexture: D3DFMT_X8R8G8B8 " + Size(width, height);
    const std::vector<std::string>& lr_Lines = mr_Log.Lines();
    size_t lr_Textures = 0;
    for (size_t i = from; i < lr_Lines.size(); ++i) {
        if (expectTextures && lr_Lines[i] == ls_Texture)
            ++lr_Textures;
        else
            mr_Checks.Fail(what + ": unexpected log line \"" + lr_Lines[i] + "\"");
    }
    if (expectTextures)
        mr_Checks.Expect(lr_Textures == 3,
                         what + ": three \"" + ls_Texture + "\" lines, not " + std::to_string(lr_Textures));
}
