#include "OcclusionStudy.h"

#include "SceneRenderer.h"
#include "EffectSettings.h"

#include <algorithm>
#include <cmath>

namespace {

// The surface's pixels as B G R X bytes: 16-bit R5G6B5 ones widened, each
// channel's levels spread over 0..255.
HRESULT ReadAsBgrx(ISoftDeviceControl* control, IDirect3DSurface9* surface, std::vector<BYTE>& pixels) {
    D3DSURFACE_DESC lr_Desc;
    HRESULT hr = surface->GetDesc(&lr_Desc);
    if (SUCCEEDED(hr)) hr = control->ReadPixels(surface, pixels);
    if (FAILED(hr) || lr_Desc.Format != D3DFMT_R5G6B5) return hr;
    std::vector<BYTE> lr_Wide(pixels.size() * 2);
    auto Spread = [](unsigned value, unsigned levels) {
        return static_cast<BYTE>((value * 255 + levels / 2) / levels);
    };
    for (size_t i = 0; i + 1 < pixels.size(); i += 2) {
        const unsigned w = pixels[i] | (pixels[i + 1] << 8);
        lr_Wide[i * 2] = Spread(w & 31, 31);
        lr_Wide[i * 2 + 1] = Spread((w >> 5) & 63, 63);
        lr_Wide[i * 2 + 2] = Spread(w >> 11, 31);
        lr_Wide[i * 2 + 3] = 255;
    }
    pixels.swap(lr_Wide);
    return hr;
}

ICheckBoxParameter* ShowAOOnly(IDirect3D9BasePlugin* plugin) {
    IParameter* lr_Parameter = plugin->FindParameter(IID_ShowAOOnlyParameter);
    return lr_Parameter ? static_cast<ICheckBoxParameter*>(lr_Parameter->GetInterface(IID_ICheckBoxParameter))
                        : nullptr;
}

}  // namespace

std::vector<float> OcclusionStudy::SliceValues(const std::vector<BYTE>& bgrx) {
    // Ten slices of 24/255 each.
    const float k_Span = 10.0f * 24.0f / 255.0f;
    std::vector<float> lr_Values;
    lr_Values.reserve(bgrx.size() / 4);
    for (size_t i = 0; i + 3 < bgrx.size(); i += 4)
        lr_Values.push_back(std::min(1.0f, (bgrx[i + 2] + bgrx[i + 1] / 255.0f) / 255.0f / k_Span));
    return lr_Values;
}

std::vector<float> OcclusionStudy::SliceStaircase(const ScenePixels& pixels, const std::vector<BYTE>& filtered) {
    std::vector<float> lr_Values(pixels.ViewDepth.size(), 1.0f);
    const std::vector<float> lr_Filtered = SliceValues(filtered);
    if (lr_Filtered.size() != lr_Values.size()) return lr_Values;
    for (size_t i = 0; i < lr_Values.size(); ++i) {
        if (!pixels.IsScene(i)) continue;
        // Ten slices over the values' span: slice position plus half a unit.
        const double lr_Slice = std::clamp(std::floor(lr_Filtered[i] * 10.0 - 0.5), 0.0, 9.0);
        lr_Values[i] = static_cast<float>(1.0 - lr_Slice / 10.0);
    }
    return lr_Values;
}

std::vector<float> OcclusionStudy::RedChannel(const std::vector<BYTE>& bgrx) {
    std::vector<float> lr_Values(bgrx.size() / 4);
    for (size_t i = 0; i < lr_Values.size(); ++i) lr_Values[i] = bgrx[i * 4 + 2] / 255.0f;
    return lr_Values;
}

bool OcclusionStudy::ReadBackBuffer(std::vector<BYTE>& pixels, std::string& error) {
    IDirect3DSurface9* lr_BackBuffer_ = nullptr;
    if (FAILED(mr_Device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &lr_BackBuffer_)) || !lr_BackBuffer_) {
        error = "no back buffer";
        return false;
    }
    const HRESULT hr = ReadAsBgrx(mr_Control_, lr_BackBuffer_, pixels);
    lr_BackBuffer_->Release();
    if (FAILED(hr)) error = "cannot read the back buffer";
    return SUCCEEDED(hr);
}

bool OcclusionStudy::Frame(ICheckBoxParameter* showOcclusionOnly, bool value, const SceneCamera& camera,
                           const std::vector<SceneVertex>& mesh, std::vector<BYTE>* scene, std::string& error) {
    if (!showOcclusionOnly) {
        error = "the plug-in has no ShowAOOnly check box";
        return false;
    }
    showOcclusionOnly->SetValue(value);
    if (!DrawScene(mr_Device_, camera, mesh, error) || (scene && !ReadBackBuffer(*scene, error))) return false;
    mr_Control_->ClearRecords();
    mr_Device_->BeginScene();
    mr_Plugin_->Render();
    mr_Device_->EndScene();
    return true;
}

std::vector<SoftDrawRecord> OcclusionStudy::PassDraws() const {
    std::vector<SoftDrawRecord> lr_Draws;
    for (const SoftDrawRecord& lr_Draw : mr_Control_->GetDraws())
        if (lr_Draw.PixelShaderName != "ProbePS") lr_Draws.push_back(lr_Draw);
    return lr_Draws;
}

bool OcclusionStudy::Run(const SceneCamera& camera, const std::vector<SceneVertex>& mesh, PassImages& images,
                         std::string& error, int warmUpFrames) {
    ICheckBoxParameter* lr_Check = ShowAOOnly(mr_Plugin_);
    const bool lr_Was = lr_Check && lr_Check->GetValue();
    for (int i = 0; i < warmUpFrames; ++i) {
        if (!Frame(lr_Check, true, camera, mesh, nullptr, error)) return false;
        mr_Device_->Present(nullptr, nullptr, nullptr, nullptr);
    }
    D3DVIEWPORT9 lr_Viewport;
    mr_Device_->GetViewport(&lr_Viewport);
    images.Width = static_cast<int>(lr_Viewport.Width);
    images.Height = static_cast<int>(lr_Viewport.Height);

    bool lr_Ok = Frame(lr_Check, true, camera, mesh, &images.Scene, error);
    if (lr_Ok) {
        // Copies: scene, depth slices, occlusion, then the occlusion again after
        // each blur pass; draws: black fill, slices, occlusion and the blur
        // passes. A pass whose effect did not load is missing.
        const std::vector<SoftCopyRecord> lr_Copies = mr_Control_->GetCopies();
        const std::vector<SoftDrawRecord> lr_Draws = PassDraws();
        lr_Ok = lr_Copies.size() >= 3 && lr_Draws.size() == lr_Copies.size() && SUCCEEDED(lr_Copies[1].Result) &&
                SUCCEEDED(lr_Copies.back().Result);
        if (!lr_Ok) error = "the plug-in's frame did not draw every pass and copy its image";
        lr_Ok = lr_Ok && SUCCEEDED(ReadAsBgrx(mr_Control_, lr_Copies[1].Dest, images.SliceImage)) &&
                SUCCEEDED(ReadAsBgrx(mr_Control_, lr_Copies.back().Dest, images.Occlusion));
        if (!lr_Ok && error.empty()) error = "cannot read the plug-in's textures";
        for (const SoftDrawRecord& lr_Draw : lr_Draws) images.PixelShaderVersions.push_back(lr_Draw.PixelShaderVersion);
    }
    lr_Ok = lr_Ok && Frame(lr_Check, false, camera, mesh, nullptr, error) && ReadBackBuffer(images.Composite, error);
    if (lr_Check) lr_Check->SetValue(lr_Was);
    return lr_Ok;
}

OcclusionFigures CompareWithReference(const AnalyticScene& scene, const SceneCamera& camera, const PassImages& images,
                                      const ReferenceSettings& reference, ScenePixels& pixels) {
    pixels = TraceScenePixels(scene, camera, images.Width, images.Height);
    TraceReferenceOcclusion(scene, camera, reference, pixels);
    // Banding against the staircase of the true depth, not the dithered image's own steps.
    return MeasureOcclusion(pixels, OcclusionStudy::RedChannel(images.Occlusion),
                            OcclusionStudy::SliceStaircase(pixels, images.SliceImage));
}

double CompositeDarkeningCorrelation(const ScenePixels& pixels, const PassImages& images) {
    const size_t n = pixels.Reference.size();
    if (images.Scene.size() != n * 4 || images.Composite.size() != n * 4) return 0.0;
    auto Luminance = [](const std::vector<BYTE>& bgrx, size_t i) {
        return (0.114 * bgrx[i * 4] + 0.587 * bgrx[i * 4 + 1] + 0.299 * bgrx[i * 4 + 2]) / 255.0;
    };
    // Below this a step of 1/255 is more than 2.6% of the ratio.
    const double lr_Bright = 0.15;
    double sa = 0, sr = 0, saa = 0, srr = 0, sar = 0, lr_N = 0;
    for (size_t i = 0; i < n; ++i) {
        const double lr_Scene = Luminance(images.Scene, i);
        if (!pixels.IsScene(i) || lr_Scene < lr_Bright) continue;
        const double a = Luminance(images.Composite, i) / lr_Scene, r = pixels.Reference[i];
        sa += a;
        sr += r;
        saa += a * a;
        srr += r * r;
        sar += a * r;
        lr_N += 1;
    }
    if (lr_N < 2) return 0.0;
    const double lr_VarA = saa - sa * sa / lr_N, lr_VarR = srr - sr * sr / lr_N, lr_Cov = sar - sa * sr / lr_N;
    return lr_VarA > 0 && lr_VarR > 0 ? lr_Cov / std::sqrt(lr_VarA * lr_VarR) : 0.0;
}
