#include "DepthLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// One unit of the slice image (DepthSlices.fxh).
const double k_SliceUnit = 24.0 / 255.0;
// Slice positions 0..9 between the farthest and the nearest slice.
const double k_SliceSteps = 9.0;
// The plug-in's own slices: slice i at screen depth 1 - 0.000005 i, read as
// 1 / distance = 1 / 80 + i / 60 (a near plane of 0.0003, a far plane of 80).
const double k_PluginSliceStep = 0.000005;
const double k_PluginFarW = 1.0 / 80.0;
const double k_PluginStepW = 1.0 / 60.0;
// Measured slices reach past the nearest and farthest 2% of the scene, so
// that those still fall between slices rather than beyond them.
const double k_FarMargin = 1.5;
const double k_NearMargin = 1.1;
// The farthest slice at least this many times as far as the nearest, as the
// shipped SLICE_NEAREST and SLICE_FARTHEST are: finer slices over a shallow
// scene put a step on every face (banding), and a scene that is one wall
// facing the camera would have none.
const double k_MinimumSpread = 4.0;
// Without its projection, a host's far plane f is taken to lie this many
// times as far as the farthest 2% of its scene. u is proportional to
// 1 / distance - 1 / f, so 1 / f moves 1 / distance by this fraction of the
// farthest 2%'s u. A reversed float buffer is taken to have its far plane
// at infinity, what reversed depth is mostly used for: no correction.
const double k_FarPlaneReach = 4.0;

double Clamp(double v, double lo, double hi) { return std::min(std::max(v, lo), hi); }

double TanHalfFov(double degrees) { return std::tan(Clamp(degrees, 1.0, 170.0) * 3.14159265358979323846 / 360.0); }

// Fills Decode from the slices' 1 / distance: w = w0 + w1 q at slice position q.
void SetDecode(DepthLayout& layout, double w0, double w1, double radius, double tanHalfFov) {
    radius = std::max(radius, 0.001);
    layout.Decode = D3DXVECTOR4(static_cast<float>(w0 - 0.5 * w1), static_cast<float>(w1 / k_SliceUnit),
                                static_cast<float>(radius / (2.0 * tanHalfFov)), static_cast<float>(1.0 / radius));
    layout.FarthestSlice = w0 > 0.0 ? 1.0 / w0 : std::numeric_limits<double>::infinity();
    layout.NearestSlice = 1.0 / (w0 + k_SliceSteps * w1);
}

void SetSlices(DepthLayout& layout, double u0, double u1, bool reversed) {
    layout.Reversed = reversed;
    layout.Slices = D3DXVECTOR4(static_cast<float>(u0), static_cast<float>(u1), reversed ? 1.0f : 0.0f, 0.0f);
}

// The measured range with its margins: (u of the farthest slice, u step),
// for 1 / distance = farW + u perU.
void MeasuredSlices(const SceneDepthRange& range, double farW, double perU, double& u0, double& u1) {
    double lr_Far = range.FarU / k_FarMargin;
    const double lr_Near = std::min(range.NearU * k_NearMargin, 1.0);
    // Spread away from the camera: the near end is where occlusion shows most.
    const double lr_SpreadFar = ((farW + lr_Near * perU) / k_MinimumSpread - farW) / perU;
    lr_Far = std::max(std::min(lr_Far, lr_SpreadFar), 0.0);
    u0 = lr_Far;
    u1 = (lr_Near - lr_Far) / k_SliceSteps;
}

}  // namespace

D3DXVECTOR4 SliceDepthLaw(const DepthLayout& layout) {
    // Slice i of value v lies at position q = 10 (1 - v), dithered to q - t,
    // at u = U0 + U1 q; the screen depth is 1 - u, or u when reversed. G
    // pushes slice 0 past the cleared depth, where saturate holds it.
    const double lr_U0 = layout.Slices.x, lr_U1 = layout.Slices.y;
    const double lr_Count = k_SliceSteps + 1.0;
    const double lr_A = lr_U0 + lr_Count * lr_U1, lr_B = -lr_Count * lr_U1, lr_C = -lr_U1;
    const double lr_Sign = layout.Reversed ? 1.0 : -1.0;
    return D3DXVECTOR4(static_cast<float>(layout.Reversed ? lr_A : 1.0 - lr_A), static_cast<float>(lr_Sign * lr_B),
                       static_cast<float>(lr_Sign * lr_C), static_cast<float>(-2.0 * lr_Sign));
}

bool DepthLayout::operator==(const DepthLayout& other) const {
    return Source == other.Source && Reversed == other.Reversed && Slices == other.Slices && Decode == other.Decode;
}

bool ReadHostProjection(const D3DMATRIX& m, HostProjection& projection) {
    // A perspective matrix divides by view z: _34 is 1 (left-handed) or -1
    // (right-handed), _44 is 0, and nothing else feeds w.
    const double lr_Hand = m._34;
    if ((lr_Hand != 1.0 && lr_Hand != -1.0) || m._44 != 0.0f || m._14 != 0.0f || m._24 != 0.0f || m._22 == 0.0f)
        return false;
    // A right-handed matrix is the left-handed one with view z negated.
    const double a = m._33 * lr_Hand, b = m._43;
    // Screen depth a + b / d at view distance d.
    double lr_Near, lr_Far;
    bool lr_Reversed;
    if (a == 0.0) {
        // Reversed with the far plane at infinity: z = n / d.
        if (!(b > 0.0)) return false;
        lr_Near = b;
        lr_Far = std::numeric_limits<double>::infinity();
        lr_Reversed = true;
    } else if (a == 1.0) {
        // As usual with the far plane at infinity: z = 1 - n / d.
        if (!(b < 0.0)) return false;
        lr_Near = -b;
        lr_Far = std::numeric_limits<double>::infinity();
        lr_Reversed = false;
    } else {
        // z = 0 at -b / a and 1 at b / (1 - a): the near plane first unless reversed.
        const double lr_Zero = -b / a, lr_One = b / (1.0 - a);
        lr_Reversed = lr_Zero > lr_One;
        lr_Near = lr_Reversed ? lr_One : lr_Zero;
        lr_Far = lr_Reversed ? lr_Zero : lr_One;
    }
    if (!(lr_Near > 0.0) || !(lr_Far > lr_Near * 1.0001) || !std::isfinite(lr_Near)) return false;
    projection.Near = lr_Near;
    projection.Far = lr_Far;
    projection.FieldOfViewY = 2.0 * std::atan(1.0 / std::fabs(static_cast<double>(m._22)));
    projection.Reversed = lr_Reversed;
    return true;
}

DepthLayout LayoutFromSettings(const DepthSettings& settings) {
    DepthLayout lr_Layout;
    const double lr_Tan = TanHalfFov(settings.FieldOfViewY);
    if (!settings.Typed()) {
        lr_Layout.Source = DepthSource::PluginSlices;
        SetSlices(lr_Layout, 0.0, k_PluginSliceStep, settings.Reversed);
        SetDecode(lr_Layout, k_PluginFarW, k_PluginStepW, settings.Radius, lr_Tan);
        return lr_Layout;
    }
    // The clamps the settings file promises: no value gives a NaN.
    const double n = std::max(static_cast<double>(settings.NearPlane), 1e-7);
    const double f = std::max(static_cast<double>(settings.FarPlane), n * 1.001);
    const double lr_Nearest = Clamp(settings.SliceNearest, n, f);
    const double lr_Farthest = Clamp(settings.SliceFarthest, lr_Nearest * 1.1, std::max(f, lr_Nearest * 1.1));
    const double w0 = 1.0 / lr_Farthest, w1 = (1.0 / lr_Nearest - 1.0 / lr_Farthest) / k_SliceSteps;
    // u = n (f w - 1) / (f - n) at 1 / distance w.
    lr_Layout.Source = DepthSource::Settings;
    SetSlices(lr_Layout, n * (f * w0 - 1.0) / (f - n), n * f * w1 / (f - n), settings.Reversed);
    SetDecode(lr_Layout, w0, w1, settings.Radius, lr_Tan);
    return lr_Layout;
}

DepthLayout LayoutFromProjection(const DepthSettings& settings, const HostProjection& projection,
                                 const SceneDepthRange* range) {
    const double n = projection.Near, f = projection.Far;
    const bool lr_Infinite = !std::isfinite(f);
    // u = n (f / d - 1) / (f - n), so 1 / d = 1 / f + u (f - n) / (f n); n / d with no far plane.
    const double lr_FarW = lr_Infinite ? 0.0 : 1.0 / f;
    const double lr_PerU = lr_Infinite ? 1.0 / n : (f - n) / (f * n);
    double u0, u1;
    if (range) {
        MeasuredSlices(*range, lr_FarW, lr_PerU, u0, u1);
    } else {
        // Until the scene is measured: the settings' slices, within the planes.
        const double lr_Nearest = Clamp(settings.SliceNearest, n, lr_Infinite ? 1e30 : f);
        const double lr_Farthest = std::max(static_cast<double>(settings.SliceFarthest), lr_Nearest * 1.1);
        u0 = std::max((1.0 / lr_Farthest - lr_FarW) / lr_PerU, 0.0);
        u1 = ((1.0 / lr_Nearest - lr_FarW) / lr_PerU - u0) / k_SliceSteps;
    }
    DepthLayout lr_Layout;
    lr_Layout.Source = DepthSource::Projection;
    SetSlices(lr_Layout, u0, u1, projection.Reversed);
    SetDecode(lr_Layout, lr_FarW + u0 * lr_PerU, u1 * lr_PerU, settings.Radius,
              std::tan(projection.FieldOfViewY * 0.5));
    return lr_Layout;
}

DepthLayout LayoutFromMeasure(const DepthSettings& settings, const SceneDepthRange& range, bool reversed,
                              bool farAtInfinity) {
    // Without the near plane only ratios of distance are known: 1 / distance
    // in units of the median's, u + 1 / f in proportion to it.
    const double lr_FarU = farAtInfinity ? 0.0 : range.FarU / (k_FarPlaneReach - 1.0);
    const double lr_PerU = 1.0 / std::max(range.MedianU + lr_FarU, 1e-30);
    const double lr_FarW = lr_FarU * lr_PerU;
    double u0, u1;
    MeasuredSlices(range, lr_FarW, lr_PerU, u0, u1);
    DepthLayout lr_Layout;
    lr_Layout.Source = DepthSource::Measured;
    SetSlices(lr_Layout, u0, u1, reversed);
    SetDecode(lr_Layout, lr_FarW + u0 * lr_PerU, u1 * lr_PerU, Clamp(settings.RadiusShare, 0.001, 1.0),
              TanHalfFov(settings.FieldOfViewY));
    return lr_Layout;
}
