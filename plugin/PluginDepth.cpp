// Where the host's depth lies, so that the slices lie on its scene: what
// Settings.fxh typed, else the projection a fixed-function host leaves in the
// device, else the depth buffer measured with occlusion queries of a sparse
// grid of probes (RenderDepth.hlsl's probe passes). Results are read a frame
// or more after the probes were drawn, never waited for; until a layout is
// found the last one stays.
#include "Plugin.h"

#include "DepthTestSelector.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

namespace {

// The probe grid: one-pixel quads, this many across and down.
const int k_ProbeColumns = 32;
const int k_ProbeRows = 18;

const std::string& ParameterName(int which) {
    static const std::string ls_Names[] = {"HostProjection", "HostScene",  "PluginSliceDepths", "DepthSlices",
                                           "DepthDecode",    "ProbeDepth", "SliceChannel"};
    return ls_Names[which];
}
enum { k_HostProjection, k_HostScene, k_PluginSliceDepths, k_DepthSlices, k_DepthDecode, k_ProbeDepth, k_SliceChannel };

// The levels of a back-buffer format's red channel, in which the effects
// keep the slice image's whole levels (the rest goes to green).
float RedLevels(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: return 31.0f;
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4: return 15.0f;
    case D3DFMT_A2R10G10B10:
    case D3DFMT_A2B10G10R10: return 1023.0f;
    default: return 255.0f;
    }
}

IShaderParameter* Parameter(IShader* shader, int which) {
    return shader ? shader->GetParameter(ParameterName(which), ShaderParameterType::Any) : nullptr;
}

// The least u a depth format tells from the cleared background: three
// quarters of one step, so that the probe rounds onto the step.
double LeastDepthU(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE: return 0.75 / 65535.0;
    case D3DFMT_D15S1: return 0.75 / 32767.0;
    case D3DFMT_D32: return 0.75 / 4294967295.0;
    case D3DFMT_D32F_LOCKABLE:
    case D3DFMT_D24FS8: return 1e-7;
    default: return 0.75 / 16777215.0;
    }
}

// A distance for the log: three significant digits.
std::string Distance(double value) {
    if (!std::isfinite(value)) return "infinity";
    char lr_Text[32];
    std::snprintf(lr_Text, sizeof(lr_Text), "%.3g", value);
    return lr_Text;
}

const wchar_t* SourceName(DepthSource source) {
    switch (source) {
    case DepthSource::Settings: return L"Settings.fxh";
    case DepthSource::Projection: return L"the host's projection";
    case DepthSource::Measured: return L"the measured depth";
    case DepthSource::PluginSlices: break;
    }
    return L"the plug-in's own slices";
}

}  // namespace

void k_Plugin::ReadDepthSettings() {
    mr_DepthSettings = DepthSettings();
    // The effect's own values: a shader parameter only knows what was set through it.
    ID3DXEffect* lr_Effect_ = mr_RenderDepthShader_ ? mr_RenderDepthShader_->GetEffect() : nullptr;
    D3DXVECTOR4 lr_Value;
    if (lr_Effect_ && SUCCEEDED(lr_Effect_->GetVector(ParameterName(k_HostProjection).c_str(), &lr_Value))) {
        mr_DepthSettings.NearPlane = lr_Value.x;
        mr_DepthSettings.FarPlane = lr_Value.y;
        mr_DepthSettings.FieldOfViewY = lr_Value.z;
        mr_DepthSettings.Reversed = lr_Value.w > 0.5f;
    }
    if (lr_Effect_ && SUCCEEDED(lr_Effect_->GetVector(ParameterName(k_HostScene).c_str(), &lr_Value))) {
        mr_DepthSettings.SliceNearest = lr_Value.x;
        mr_DepthSettings.SliceFarthest = lr_Value.y;
        mr_DepthSettings.Radius = lr_Value.z;
        mr_DepthSettings.RadiusShare = lr_Value.w;
    }
    FLOAT lr_Own = 0.0f;
    if (lr_Effect_ && SUCCEEDED(lr_Effect_->GetFloat(ParameterName(k_PluginSliceDepths).c_str(), &lr_Own)))
        mr_DepthSettings.PluginSlices = lr_Own > 0.5f;
    mr_DepthLayout = LayoutFromSettings(mr_DepthSettings);
    mr_LayoutReported = false;
    mr_DepthFrames = 0;
    mr_DepthEstimator.Restart(LeastDepthU(D3DFMT_D24S8));
}

void k_Plugin::CreateDepthProbes() {
    if (mr_DepthSettings.Typed() || mr_DepthSettings.PluginSlices || !mr_Device_ || !mr_RenderDepthShader_ ||
        !mr_RenderDepthShader_->GetEffect())
        return;
    for (unsigned i = 0; i < DepthRangeEstimator::k_MaxProbes; ++i) {
        ComPtr<IDirect3DQuery9> lr_Query;
        const HRESULT lr_Result = mr_Device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, &lr_Query);
        if (!Acquired(lr_Result, lr_Query)) {
            mr_Queries.clear();
            Log(L"SSAO: Occlusion queries are not available (", static_cast<int>(lr_Result),
                L"): the depth is not measured.\n");
            return;
        }
        mr_Queries.push_back(std::move(lr_Query));
    }
}

void k_Plugin::ReleaseDepthProbes() noexcept {
    mr_PendingCount = 0;
    mr_Queries.clear();
    delete mr_ProbeGrid_;
    mr_ProbeGrid_ = nullptr;
    mr_ProbeGridWidth = mr_ProbeGridHeight = 0;
    // Owned by the shader system, which is gone or going.
    mr_DepthTestSelector_ = nullptr;
    mr_HostProjectionRead = false;
    mr_HostDepthHint = -1;
}

void k_Plugin::ReadHostDepthState() {
    ++mr_DepthFrames;
    if (mr_DepthSettings.Typed() || mr_DepthSettings.PluginSlices) return;
    // A pure device keeps no state to read back: these calls then fail.
    D3DMATRIX lr_Projection;
    mr_HostProjectionRead = SUCCEEDED(mr_Device_->GetTransform(D3DTS_PROJECTION, &lr_Projection)) &&
                            ReadHostProjection(lr_Projection, mr_HostProjection);
    DWORD lr_Function = 0;
    mr_HostDepthHint = -1;
    if (SUCCEEDED(mr_Device_->GetRenderState(D3DRS_ZFUNC, &lr_Function))) {
        if (lr_Function == D3DCMP_LESS || lr_Function == D3DCMP_LESSEQUAL) mr_HostDepthHint = 0;
        if (lr_Function == D3DCMP_GREATER || lr_Function == D3DCMP_GREATEREQUAL) mr_HostDepthHint = 1;
    }
    if (mr_HostProjectionRead) mr_HostDepthHint = mr_HostProjection.Reversed ? 1 : 0;
}

void k_Plugin::MeasureDepth() {
    if (!mr_Queries.empty() && mr_DepthTestSelector_) mr_ProbesDue = CollectProbeCounts();
    ChooseDepthLayout();
    ApplyDepthLayout();
}

// Drawn after the frame's passes, so that they keep their places in it.
void k_Plugin::ProbeDepth() {
    if (!mr_ProbesDue || mr_Queries.empty() || !mr_DepthTestSelector_) return;
    mr_ProbesDue = false;
    ComPtr<IDirect3DSurface9> lr_Depth;
    D3DSURFACE_DESC lr_Description = {};
    if (!Acquired(mr_Device_->GetDepthStencilSurface(&lr_Depth), lr_Depth) ||
        FAILED(lr_Depth->GetDesc(&lr_Description))) {
        LogOnce(k_NoDepthBuffer, L"SSAO: No depth buffer to measure: the depth slices stay as they are.\n");
        return;
    }
    Recovered(k_NoDepthBuffer);
    const double lr_Least = LeastDepthU(lr_Description.Format);
    mr_FloatDepth = lr_Description.Format == D3DFMT_D32F_LOCKABLE || lr_Description.Format == D3DFMT_D24FS8;
    if (lr_Least != mr_LeastDepthU) {
        mr_LeastDepthU = lr_Least;
        mr_DepthEstimator.Restart(lr_Least);
    }
    const unsigned long lr_PerPixel =
        lr_Description.MultiSampleType >= D3DMULTISAMPLE_2_SAMPLES ? lr_Description.MultiSampleType : 1;
    IssueProbes(lr_PerPixel);
}

// The counts of the probes issued before, if they all arrived; true when
// new probes may be issued.
bool k_Plugin::CollectProbeCounts() {
    if (mr_PendingCount == 0) return true;
    unsigned long lr_Counts[DepthRangeEstimator::k_MaxProbes] = {};
    for (unsigned i = 0; i < mr_PendingCount; ++i) {
        DWORD lr_Count = 0;
        const HRESULT lr_Result = mr_Queries[i]->GetData(&lr_Count, sizeof(lr_Count), 0);
        if (lr_Result == S_FALSE) return false;  // not yet: never waited for
        if (FAILED(lr_Result)) {
            LogOnce(k_QueryFailed, L"SSAO: An occlusion query failed: its counts are dropped.\n");
            mr_PendingCount = 0;
            return true;
        }
        lr_Counts[i] = lr_Count;
    }
    Recovered(k_QueryFailed);
    mr_DepthEstimator.Take(mr_PendingProbes, lr_Counts, mr_PendingCount, mr_ProbeSamples);
    mr_PendingCount = 0;
    if (mr_DepthEstimator.SawScene())
        Recovered(k_NoSceneDepth);
    else
        LogOnce(k_NoSceneDepth, L"SSAO: The depth buffer shows no scene: the depth slices stay as they are.\n");
    return true;
}

void k_Plugin::IssueProbes(unsigned long samples) {
    // Set on the effect itself: a scalar has no typed shader parameter.
    ID3DXEffect* lr_Effect_ = mr_RenderDepthShader_->GetEffect();
    D3DXHANDLE lr_Depth =
        lr_Effect_ ? lr_Effect_->GetParameterByName(nullptr, ParameterName(k_ProbeDepth).c_str()) : nullptr;
    if (!lr_Depth || !ProbeGridFits(mr_BackBufferTexture.Width, mr_BackBufferTexture.Height)) return;
    DepthProbe lr_Probes[DepthRangeEstimator::k_MaxProbes];
    const unsigned lr_Count = std::min<unsigned>(mr_DepthEstimator.Plan(mr_HostDepthHint, lr_Probes),
                                                 static_cast<unsigned>(mr_Queries.size()));
    const int lr_Wanted = mr_DepthTestSelector_->Wanted();
    // All the probes inside one Begin of the effect (one save and restore of
    // its states): each way the buffer may run is one pass, the probes of
    // that way drawn in it, each between its query's BEGIN and END.
    IShader& lr_Shader = *mr_RenderDepthShader_;
    mr_ProbeGrid_->Bind(mr_Device_);
    const unsigned lr_Passes = lr_Shader.GetPassCount();
    lr_Shader.Begin();
    for (const bool lr_Reversed : {false, true}) {
        mr_DepthTestSelector_->Want(lr_Reversed ? DepthTestSelector::k_ProbeReversed : DepthTestSelector::k_Probe);
        for (unsigned lr_Pass = 0; lr_Pass < lr_Passes; ++lr_Pass) {
            if (lr_Shader.BeginPass(lr_Pass) != PassResult::Skip) {
                for (unsigned i = 0; i < lr_Count; ++i) {
                    const DepthProbe& lr_Probe = lr_Probes[i];
                    if (lr_Probe.Reversed != lr_Reversed) continue;
                    lr_Effect_->SetFloat(lr_Depth, static_cast<float>(lr_Reversed ? lr_Probe.U : 1.0 - lr_Probe.U));
                    lr_Effect_->CommitChanges();
                    mr_Queries[i]->Issue(D3DISSUE_BEGIN);
                    mr_ProbeGrid_->Draw(mr_Device_);
                    mr_Queries[i]->Issue(D3DISSUE_END);
                }
            }
            lr_Shader.EndPass();
        }
    }
    lr_Shader.End();
    for (unsigned i = 0; i < lr_Count; ++i) mr_PendingProbes[i] = lr_Probes[i];
    mr_PendingCount = lr_Count;
    mr_DepthTestSelector_->Want(lr_Wanted);
    mr_ProbeSamples = samples * static_cast<unsigned long>(k_ProbeColumns * k_ProbeRows);
}

// One-pixel quads over the render target, remade when its size changes.
bool k_Plugin::ProbeGridFits(UINT width, UINT height) {
    if (!width || !height) return false;
    if (mr_ProbeGrid_ && width == mr_ProbeGridWidth && height == mr_ProbeGridHeight) return true;
    delete mr_ProbeGrid_;
    mr_ProbeGrid_ = nullptr;
    std::unique_ptr<BatchScreenMask> lr_Grid(new BatchScreenMask(mr_Device_, 4 * k_ProbeColumns * k_ProbeRows));
    ScreenMask lr_Quad(true);
    const float lr_W = static_cast<float>(width), lr_H = static_cast<float>(height);
    for (int lr_Row = 0; lr_Row < k_ProbeRows; ++lr_Row) {
        for (int lr_Column = 0; lr_Column < k_ProbeColumns; ++lr_Column) {
            // Pixel centres spread evenly; the quad covers that one pixel.
            const float lr_X = std::floor((lr_Column + 0.5f) * lr_W / k_ProbeColumns);
            const float lr_Y = std::floor((lr_Row + 0.5f) * lr_H / k_ProbeRows);
            // Position and extent in shares of the viewport.
            lr_Quad.Create(mr_Device_, lr_X / lr_W, lr_Y / lr_H, 1.0f / lr_W, 1.0f / lr_H, false);
            lr_Quad.Update(mr_Device_);
            const bool lr_Last = lr_Row + 1 == k_ProbeRows && lr_Column + 1 == k_ProbeColumns;
            lr_Grid->AddMask(&lr_Quad, mr_Device_, lr_Row == 0 && lr_Column == 0, lr_Last);
        }
    }
    if (!lr_Grid->GetVertexBuffer() || !lr_Grid->GetIndexBuffer()) return false;
    mr_ProbeGrid_ = lr_Grid.release();
    mr_ProbeGridWidth = width;
    mr_ProbeGridHeight = height;
    return true;
}

void k_Plugin::ChooseDepthLayout() {
    if (mr_DepthSettings.Typed() || mr_DepthSettings.PluginSlices) return;  // as read at activation
    const bool lr_Measured = mr_DepthEstimator.HasRange();
    const SceneDepthRange lr_Range = mr_DepthEstimator.Range();
    if (mr_HostProjectionRead) {
        mr_DepthLayout = LayoutFromProjection(mr_DepthSettings, mr_HostProjection, lr_Measured ? &lr_Range : nullptr);
    } else if (lr_Measured) {
        // Reversed depth in a float buffer: made for a far plane at infinity.
        mr_DepthLayout = LayoutFromMeasure(mr_DepthSettings, lr_Range, mr_DepthEstimator.Reversed(),
                                           mr_DepthEstimator.Reversed() && mr_FloatDepth);
    } else if (mr_DepthLayout.Source == DepthSource::PluginSlices && mr_HostDepthHint >= 0 &&
               (mr_HostDepthHint == 1) != mr_DepthLayout.Reversed) {
        // Nothing measured yet: the plug-in's slices, the way the host's depth test runs.
        DepthSettings lr_Settings = mr_DepthSettings;
        lr_Settings.Reversed = mr_HostDepthHint == 1;
        mr_DepthLayout = LayoutFromSettings(lr_Settings);
    }
    ReportDepthLayout();
}

void k_Plugin::ApplyDepthLayout() {
    if (mr_DepthTestSelector_)
        mr_DepthTestSelector_->Want(mr_DepthLayout.Reversed ? DepthTestSelector::k_SlicesReversed
                                                            : DepthTestSelector::k_Slices);
    if (IShaderParameter* lr_Slices_ = Parameter(mr_RenderDepthShader_, k_DepthSlices))
        lr_Slices_->SetFloat4(SliceDepthLaw(mr_DepthLayout));
    if (IShaderParameter* lr_Decode_ = Parameter(mr_SSAOShader_, k_DepthDecode))
        lr_Decode_->SetFloat4(mr_DepthLayout.Decode);
    const float lr_Levels = RedLevels(mr_BackBufferTexture.Format);
    const D3DXVECTOR4 lr_Channel(1.0f, 1.0f / lr_Levels, lr_Levels, 0.0f);
    for (IShader* lr_Shader_ : {mr_SSAOShader_, mr_ZBlurShader_})
        if (IShaderParameter* lr_Channel_ = Parameter(lr_Shader_, k_SliceChannel)) lr_Channel_->SetFloat4(lr_Channel);
}

// A line when the layout's source or orientation changes, and once the
// measured range first settles; a moving camera writes none.
void k_Plugin::ReportDepthLayout() {
    const DepthLayout& lr_Now = mr_DepthLayout;
    const bool lr_New = !mr_LayoutReported || lr_Now.Source != mr_ReportedLayout.Source ||
                        lr_Now.Reversed != mr_ReportedLayout.Reversed;
    if (!lr_New || (lr_Now.Source == DepthSource::PluginSlices && !mr_LayoutReported && !lr_Now.Reversed)) return;
    mr_ReportedLayout = lr_Now;
    mr_LayoutReported = true;
    const wchar_t* ls_Units = lr_Now.Source == DepthSource::Measured ? L" median distances" : L" view units";
    Log(L"SSAO: Depth from ", SourceName(lr_Now.Source), L" after ", static_cast<int>(mr_DepthFrames),
        L" frames: depth ", lr_Now.Reversed ? L"reversed" : L"as usual", L", slices from ",
        Distance(lr_Now.NearestSlice), L" to ", Distance(lr_Now.FarthestSlice), ls_Units, L".\n");
}
