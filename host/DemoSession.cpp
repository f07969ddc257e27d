#include "DemoSession.h"

#include "DemoStudy.h"
#include "EffectSettings.h"
#include "HResultText.h"
#include "HostContract.h"
#include "PathHost.h"
#include "SceneRenderer.h"
#include "Utf8.h"

#include <soft/SoftShaderStatistics.h>

#include <algorithm>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>

namespace {

std::string FormatText(D3DFORMAT format) {
    const char* ls_Name = FormatName(format);
    if (ls_Name[0] != '?') return ls_Name;
    return "format " + std::to_string(static_cast<int>(format));
}

std::string ObjectText(const SoftLiveObject& object) {
    std::ostringstream ls_Text;
    ls_Text << SoftObjectKindName(object.Kind);
    if (object.Kind == SoftObjectKind::Texture || object.Kind == SoftObjectKind::Surface) {
        ls_Text << " " << object.Width << "x" << object.Height << " " << FormatText(object.Format) << " "
                << SoftPoolName(object.Pool);
        if (object.Usage & D3DUSAGE_RENDERTARGET) ls_Text << " render target";
    } else if (object.Kind == SoftObjectKind::VertexBuffer || object.Kind == SoftObjectKind::IndexBuffer) {
        ls_Text << " " << SoftPoolName(object.Pool);
    }
    return ls_Text.str();
}

// "3 x texture 1280x720 ..., 1 x state block"
std::string Group(const std::vector<SoftLiveObject>& objects) {
    std::map<std::string, int> lr_Counts;
    std::vector<std::string> lr_Order;
    for (const SoftLiveObject& lr_Object : objects) {
        const std::string ls_Text = ObjectText(lr_Object);
        if (lr_Counts[ls_Text]++ == 0) lr_Order.push_back(ls_Text);
    }
    std::ostringstream ls_Out;
    for (size_t i = 0; i < lr_Order.size(); ++i)
        ls_Out << (i ? ", " : "") << lr_Counts[lr_Order[i]] << " " << lr_Order[i];
    return ls_Out.str();
}

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

DemoSession::Snapshot DemoSession::Take() const {
    Snapshot lr_Snapshot;
    for (const SoftLiveObject& lr_Object : mr_Control_->GetLiveObjects())
        if (!lr_Object.Implicit) lr_Snapshot.Objects.push_back(lr_Object);
    return lr_Snapshot;
}

std::string DemoSession::DescribeChange(const Snapshot& before, const Snapshot& after) const {
    auto Contains = [](const Snapshot& snapshot, const void* object) {
        for (const SoftLiveObject& lr_Object : snapshot.Objects)
            if (lr_Object.Object == object) return true;
        return false;
    };
    std::vector<SoftLiveObject> lr_Created, lr_Released;
    for (const SoftLiveObject& lr_Object : after.Objects)
        if (!Contains(before, lr_Object.Object)) lr_Created.push_back(lr_Object);
    for (const SoftLiveObject& lr_Object : before.Objects)
        if (!Contains(after, lr_Object.Object)) lr_Released.push_back(lr_Object);
    std::ostringstream ls_Text;
    if (!lr_Created.empty()) ls_Text << "created " << Group(lr_Created);
    if (!lr_Released.empty()) ls_Text << (lr_Created.empty() ? "" : "; ") << "released " << Group(lr_Released);
    if (lr_Created.empty() && lr_Released.empty()) ls_Text << "no objects created or released";
    ls_Text << " (" << after.Objects.size() << " alive)";
    return ls_Text.str();
}

// "4 draws [RenderBlack, RenderDepth, SSAO, ...], 3 copies"
std::string DemoSession::DescribeRecords() const {
    const std::vector<SoftDrawRecord>& lr_Draws = mr_Control_->GetDraws();
    const std::vector<SoftCopyRecord>& lr_Copies = mr_Control_->GetCopies();
    std::ostringstream ls_Text;
    ls_Text << lr_Draws.size() << " draw" << (lr_Draws.size() == 1 ? "" : "s");
    if (!lr_Draws.empty()) {
        ls_Text << " [";
        for (size_t i = 0; i < lr_Draws.size(); ++i) {
            const SoftDrawRecord& lr_Draw = lr_Draws[i];
            ls_Text << (i ? ", " : "") << (lr_Draw.PixelShaderName.empty() ? "fixed" : lr_Draw.PixelShaderName) << " "
                    << lr_Draw.PrimitiveCount << " tri";
        }
        ls_Text << "]";
    }
    size_t lr_Failed = 0;
    for (const SoftCopyRecord& lr_Copy : lr_Copies)
        if (FAILED(lr_Copy.Result)) ++lr_Failed;
    ls_Text << ", " << lr_Copies.size() << " cop" << (lr_Copies.size() == 1 ? "y" : "ies");
    if (lr_Failed) ls_Text << " (" << lr_Failed << " refused)";
    return ls_Text.str();
}

// One line per pass of the frame: its compiled code and what it cost on the
// device. Without flow control every shaded pixel runs the whole program, so
// fetches and instructions are pixels times the code's counts (arithmetic
// slots are an upper bound: the compiler does not optimise).
void DemoSession::DescribeCost() {
    unsigned long long lr_Pixels = 0, lr_Fetches = 0, lr_Instructions = 0;
    for (const SoftDrawRecord& lr_Draw : mr_Control_->GetDraws()) {
        IDirect3DPixelShader9* lr_Shader_ = lr_Draw.PixelShader;
        UINT lr_Size = 0;
        if (!lr_Shader_ || FAILED(lr_Shader_->GetFunction(nullptr, &lr_Size)) || lr_Size < 8) continue;
        std::vector<DWORD> lr_Tokens(lr_Size / sizeof(DWORD));
        SoftShaderStatistics lr_Stats;
        if (FAILED(lr_Shader_->GetFunction(lr_Tokens.data(), &lr_Size)) ||
            !SoftGetShaderStatistics(lr_Tokens.data(), static_cast<UINT>(lr_Tokens.size()), &lr_Stats))
            continue;
        const unsigned long long lr_Fetch = lr_Draw.PixelsShaded * lr_Stats.Texture;
        const unsigned long long lr_Run = lr_Draw.PixelsShaded * (lr_Stats.Texture + lr_Stats.Arithmetic);
        lr_Pixels += lr_Draw.PixelsShaded;
        lr_Fetches += lr_Fetch;
        lr_Instructions += lr_Run;
        std::ostringstream ls_Text;
        ls_Text << lr_Draw.PixelShaderName << ": ps_" << ((lr_Stats.Version >> 8) & 0xFF) << "_"
                << (lr_Stats.Version & 0xFF) << ", " << lr_Stats.Texture << " texture + <= " << lr_Stats.Arithmetic
                << " arithmetic, " << lr_Stats.Temporaries << " temporaries, " << lr_Stats.FloatConstants
                << " constants; " << lr_Draw.PrimitiveCount << " tri, " << lr_Draw.PixelsShaded << " pixels shaded, "
                << lr_Fetch << " texture fetches, <= " << lr_Run << " instructions";
        Step("cost", ls_Text.str());
    }
    std::ostringstream ls_Total;
    ls_Total << "frame: " << lr_Pixels << " pixels shaded, " << lr_Fetches << " texture fetches, <= " << lr_Instructions
             << " instructions, " << mr_Control_->GetCopies().size() << " copies";
    Step("cost", ls_Total.str());
}

void DemoSession::Step(const std::string& label, const std::string& text) {
    mr_Out << std::left << std::setw(18) << (label.empty() ? std::string() : "[" + label + "]") << text << "\n";
}

bool DemoSession::RenderFrame(const std::string& label) {
    ++mr_Frame;
    const Snapshot lr_Before = Take();
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
    const std::string ls_Records = DescribeRecords();
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
    Step(label, ls_Records + "; " + DescribeChange(lr_Before, Take()));
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
    const Snapshot lr_Before = Take();
    mr_Control_->ClearRecords();
    mr_Device_->BeginScene();
    mr_Plugin_->Render();
    mr_Device_->EndScene();
    const size_t lr_Work = mr_Control_->GetDraws().size() + mr_Control_->GetCopies().size();
    const std::string ls_Records = DescribeRecords();
    mr_Control_->ClearRecords();
    const std::string ls_Change = DescribeChange(lr_Before, Take());
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
    const Snapshot lr_Before = Take();
    mr_Plugin_->OnLostDevice();
    const Snapshot lr_Lost = Take();
    mr_Present.BackBufferWidth = width;
    mr_Present.BackBufferHeight = height;
    D3DPRESENT_PARAMETERS lr_Present = mr_Present;
    const HRESULT hr = mr_Device_->Reset(&lr_Present);
    ++mr_Resets;
    std::ostringstream ls_Text;
    ls_Text << "OnLostDevice: " << DescribeChange(lr_Before, lr_Lost) << "; Reset to " << width << "x" << height << ": "
            << HResultText(hr);
    if (FAILED(hr)) {
        ls_Text << " -- FAILED, still alive: " << Group(lr_Lost.Objects);
        ++mr_Failures;
    }
    mr_Plugin_->OnResetDevice();
    ls_Text << "; OnResetDevice: " << DescribeChange(lr_Lost, Take()) << ", active "
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
    std::ifstream lr_In(logPath, std::ios::binary);
    std::string ls_All((std::istreambuf_iterator<char>(lr_In)), std::istreambuf_iterator<char>());
    if (ls_All.size() < logStart) logStart = 0;  // someone truncated it meanwhile
    std::vector<std::string> lr_Lines;
    std::istringstream lr_Stream(ls_All.substr(logStart));
    std::string ls_Line;
    while (std::getline(lr_Stream, ls_Line)) lr_Lines.push_back(ls_Line);
    auto Count = [&lr_Lines](const std::string& text, bool prefix) {
        size_t lr_N = 0;
        for (const std::string& ls_Entry : lr_Lines) {
            if (prefix ? ls_Entry.rfind(text, 0) == 0
                       : (ls_Entry.size() >= text.size() &&
                          ls_Entry.compare(ls_Entry.size() - text.size(), text.size(), text) == 0))
                ++lr_N;
        }
        return lr_N;
    };
    // Three activations (switch on, two resets), each loading five effects.
    const size_t lr_Activations = 1 + static_cast<size_t>(mr_Resets);
    const struct {
        const char* Text;
        bool Prefix;
        size_t AtLeast;
    } lr_Expected[] = {
        {"SSAO: Initialising...", true, 1},
        {"SSAO: Initialising finished.", true, 1},
        {"SSAO: Activating finished.", true, lr_Activations},
        {" shader loaded.", false, 5 * lr_Activations},
        {"SSAO: CreateTexture: ", true, 3 * lr_Activations},
        {"SSAO: Deactivating finished.", true, lr_Activations},
        {"SSAO: Deinitialising finished.", true, 1},
    };
    bool lr_Ok = true;
    std::ostringstream ls_Missing;
    for (const auto& lr_Entry : lr_Expected) {
        const size_t lr_Found = Count(lr_Entry.Text, lr_Entry.Prefix);
        if (lr_Found < lr_Entry.AtLeast) {
            ls_Missing << (lr_Ok ? "" : "; ") << "\"" << lr_Entry.Text << "\" " << lr_Found << "x, expected "
                       << lr_Entry.AtLeast;
            lr_Ok = false;
        }
    }
    const size_t lr_Errors = Count("Critical error!", false) + Count(" shader not loaded:", false) +
                             Count("SSAO: Unable to create texture.", true);
    std::ostringstream ls_Text;
    ls_Text << lr_Lines.size() << " lines written to " << logPath;
    if (lr_Errors) ls_Text << ", " << lr_Errors << " error line(s)";
    if (!lr_Ok) ls_Text << " -- MISSING: " << ls_Missing.str();
    Step("log", ls_Text.str());
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

    Snapshot lr_Before = Take();
    plugin->Initialise(mr_Device_);
    Step("Initialise", std::string("initialised ") + (plugin->IsInitialised() ? "yes" : "no") + "; " +
                           DescribeChange(lr_Before, Take()));

    lr_Before = Take();
    plugin->SetActive(true);
    Step("SetActive(on)",
         std::string("active ") + (plugin->IsActive() ? "yes" : "no") + "; " + DescribeChange(lr_Before, Take()));

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

    lr_Before = Take();
    plugin->SetActive(false);
    Step("SetActive(off)",
         std::string("active ") + (plugin->IsActive() ? "yes" : "no") + "; " + DescribeChange(lr_Before, Take()));

    lr_Before = Take();
    plugin->Deinitialise();
    const Snapshot lr_After = Take();
    Step("Deinitialise", std::string("initialised ") + (plugin->IsInitialised() ? "yes" : "no") + "; " +
                             DescribeChange(lr_Before, lr_After));
    if (!lr_After.Objects.empty()) {
        Step("leak", "still alive after Deinitialise: " + Group(lr_After.Objects));
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
