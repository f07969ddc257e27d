// The depth layout's arithmetic and the range estimator, against depth
// buffers whose contents the test knows: what a projection says, where the
// slices land, how the image decodes back to distance, and what the probe
// counts of a buffer tell over frames.
#include "DepthLayout.h"
#include "DepthRangeEstimator.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

const double k_Unit = 24.0 / 255.0;

// Screen depth of view distance d under a projection (D3DX's own arithmetic).
double ScreenDepth(const D3DXMATRIX& m, double d) { return (m._33 * d + m._43) / (m._34 * d + m._44); }

// 1 / distance the effects decode at slice position q (DepthSlices.fxh).
double DecodedW(const DepthLayout& layout, double q) {
    const double v = (q + 0.5) * k_Unit;
    return layout.Decode.x + layout.Decode.y * v;
}

double SliceU(const DepthLayout& layout, double q) { return layout.Slices.x + layout.Slices.y * q; }

TEST(DepthLayout, AProjectionGivesItsPlanesFieldOfViewAndDirection) {
    const double k_Fov = 1.0471976;
    D3DXMATRIX m;
    HostProjection p;
    D3DXMatrixPerspectiveFovLH(&m, static_cast<float>(k_Fov), 16.0f / 9.0f, 0.1f, 80.0f);
    ASSERT_TRUE(ReadHostProjection(m, p));
    EXPECT_FALSE(p.Reversed);
    EXPECT_NEAR(0.1, p.Near, 1e-5);
    EXPECT_NEAR(80.0, p.Far, 0.05);
    EXPECT_NEAR(k_Fov, p.FieldOfViewY, 1e-5);

    // Planes swapped: a reversed buffer.
    D3DXMatrixPerspectiveFovLH(&m, static_cast<float>(k_Fov), 1.0f, 80.0f, 0.1f);
    ASSERT_TRUE(ReadHostProjection(m, p));
    EXPECT_TRUE(p.Reversed);
    EXPECT_NEAR(0.1, p.Near, 1e-5);
    EXPECT_NEAR(80.0, p.Far, 0.05);

    // Right-handed (D3DXMatrixPerspectiveFovRH's terms).
    D3DXMatrixPerspectiveFovLH(&m, static_cast<float>(k_Fov), 1.0f, 0.5f, 500.0f);
    m._33 = 500.0f / (0.5f - 500.0f);
    m._43 = 0.5f * 500.0f / (0.5f - 500.0f);
    m._34 = -1.0f;
    ASSERT_TRUE(ReadHostProjection(m, p));
    EXPECT_FALSE(p.Reversed);
    EXPECT_NEAR(0.5, p.Near, 1e-4);
    EXPECT_NEAR(500.0, p.Far, 1.0);

    // Far plane at infinity, as usual and reversed (z = n / d).
    D3DXMatrixPerspectiveFovLH(&m, static_cast<float>(k_Fov), 1.0f, 0.1f, 80.0f);
    m._33 = 1.0f;
    m._43 = -0.1f;
    ASSERT_TRUE(ReadHostProjection(m, p));
    EXPECT_FALSE(p.Reversed);
    EXPECT_TRUE(std::isinf(p.Far));
    m._33 = 0.0f;
    m._43 = 0.1f;
    ASSERT_TRUE(ReadHostProjection(m, p));
    EXPECT_TRUE(p.Reversed);
    EXPECT_TRUE(std::isinf(p.Far));
    EXPECT_NEAR(0.1, p.Near, 1e-6);

    // What a shader-driven host may leave: the identity, or an orthographic matrix.
    D3DXMatrixIdentity(&m);
    EXPECT_FALSE(ReadHostProjection(m, p));
    m._11 = m._22 = 0.2f;
    m._33 = 1.0f / 79.9f;
    m._43 = -0.1f / 79.9f;  // orthographic: w stays 1
    EXPECT_FALSE(ReadHostProjection(m, p));
}

// Typed settings: the slices land at the typed distances and decode to them.
TEST(DepthLayout, TypedSettingsPutTheSlicesAtTheirDistances) {
    DepthSettings s;
    s.NearPlane = 0.1f;
    s.FarPlane = 80.0f;
    s.SliceNearest = 6.0f;
    s.SliceFarthest = 30.0f;
    const DepthLayout lr_Layout = LayoutFromSettings(s);
    EXPECT_EQ(DepthSource::Settings, lr_Layout.Source);
    D3DXMATRIX m;
    D3DXMatrixPerspectiveFovLH(&m, 1.0471976f, 1.0f, 0.1f, 80.0f);
    EXPECT_NEAR(1.0 - ScreenDepth(m, 30.0), SliceU(lr_Layout, 0.0), 1e-6);
    EXPECT_NEAR(1.0 - ScreenDepth(m, 6.0), SliceU(lr_Layout, 9.0), 1e-6);
    EXPECT_NEAR(1.0 / 30.0, DecodedW(lr_Layout, 0.0), 1e-6);
    EXPECT_NEAR(1.0 / 6.0, DecodedW(lr_Layout, 9.0), 1e-5);
    // The radius over the screen: 2.3 / (2 tan 30 degrees).
    EXPECT_NEAR(2.3 / (2.0 * std::tan(3.14159265358979 / 6.0)), lr_Layout.Decode.z, 1e-5);

    // Without a near plane: the plug-in's own slices, 1 - 0.000005 i.
    s.NearPlane = 0.0f;
    const DepthLayout lr_Own = LayoutFromSettings(s);
    EXPECT_EQ(DepthSource::PluginSlices, lr_Own.Source);
    EXPECT_FLOAT_EQ(0.000005f, static_cast<float>(SliceU(lr_Own, 1.0)));
    EXPECT_NEAR(1.0 / 80.0 + 1.0 / 60.0, DecodedW(lr_Own, 1.0), 1e-6);
}

// A projection read from the device and a measured range: every slice
// decodes to the distance at which the projection puts its depth.
TEST(DepthLayout, AProjectionDecodesEachSliceToItsDistance) {
    DepthSettings s;
    SceneDepthRange r;
    for (const bool lr_Infinite : {false, true}) {
        HostProjection p;
        p.Near = 0.1;
        p.Far = lr_Infinite ? std::numeric_limits<double>::infinity() : 80.0;
        p.FieldOfViewY = 1.0;
        p.Reversed = lr_Infinite;
        const double f = p.Far;
        auto U = [&](double d) { return lr_Infinite ? p.Near / d : p.Near * (f / d - 1.0) / (f - p.Near); };
        r.NearU = U(7.0);
        r.MedianU = U(11.0);
        r.FarU = U(19.0);
        const DepthLayout lr_Layout = LayoutFromProjection(s, p, &r);
        EXPECT_EQ(lr_Infinite, lr_Layout.Reversed);
        for (double q = 0.0; q <= 9.0; q += 1.5) {
            const double u = SliceU(lr_Layout, q);
            // Invert u = U(d).
            const double d = lr_Infinite ? p.Near / u : p.Near * f / (u * (f - p.Near) + p.Near);
            EXPECT_NEAR(1.0 / d, DecodedW(lr_Layout, q), 1e-4 / d) << q;
        }
        // The slices reach past the measured range.
        EXPECT_LT(SliceU(lr_Layout, 0.0), r.FarU);
        EXPECT_GT(SliceU(lr_Layout, 9.0), r.NearU);
    }
}

// A depth buffer of known contents, counted as the device counts probes.
struct Buffer {
    std::vector<double> Z;  // stored depth of each probe sample
    unsigned long Count(const DepthProbe& probe) const {
        return static_cast<unsigned long>(std::count_if(
            Z.begin(), Z.end(), [&](double z) { return probe.Reversed ? z >= probe.U : z <= 1.0 - probe.U; }));
    }
};

// A scene of distances spread over near..far, with some sky, as a host with
// near plane 0.1 and far plane 80 stores it.
Buffer Scene(double nearest, double farthest, bool reversed, size_t sky = 100, size_t samples = 576) {
    Buffer b;
    for (size_t i = 0; i < samples; ++i) {
        double u = 0.0;
        if (i >= sky) {
            const double t = static_cast<double>(i - sky) / static_cast<double>(samples - sky - 1);
            const double d = nearest * std::pow(farthest / nearest, t);
            u = 0.1 * (80.0 / d - 1.0) / (80.0 - 0.1);
        }
        b.Z.push_back(reversed ? u : 1.0 - u);
    }
    return b;
}

double UAt(double d) { return 0.1 * (80.0 / d - 1.0) / (80.0 - 0.1); }

void Frame(DepthRangeEstimator& e, const Buffer& b, int hint = -1) {
    DepthProbe lr_Probes[DepthRangeEstimator::k_MaxProbes];
    const unsigned n = e.Plan(hint, lr_Probes);
    unsigned long lr_Counts[DepthRangeEstimator::k_MaxProbes];
    for (unsigned i = 0; i < n; ++i) lr_Counts[i] = b.Count(lr_Probes[i]);
    e.Take(lr_Probes, lr_Counts, n, static_cast<unsigned long>(b.Z.size()));
}

TEST(DepthRangeEstimator, FindsTheRangeAndDirectionWithinFiveFramesAndThenHoldsStill) {
    for (const bool lr_Reversed : {false, true}) {
        SCOPED_TRACE(lr_Reversed ? "reversed" : "as usual");
        DepthRangeEstimator e;
        const Buffer b = Scene(7.0, 20.0, lr_Reversed);
        unsigned lr_Frames = 0;
        while (!e.HasRange() && lr_Frames < 10) {
            Frame(e, b);
            ++lr_Frames;
        }
        // The first frame reads the direction the other way when nothing hints at it.
        EXPECT_LE(lr_Frames, lr_Reversed ? 5u : 4u);
        EXPECT_EQ(lr_Reversed, e.Reversed());
        for (int i = 0; i < 12; ++i) Frame(e, b);
        const SceneDepthRange r = e.Range();
        // The nearest and farthest 2% of the scene's samples, and its median.
        EXPECT_NEAR(std::log(UAt(7.0 * std::pow(20.0 / 7.0, 0.02))), std::log(r.NearU), 0.06);
        EXPECT_NEAR(std::log(UAt(7.0 * std::pow(20.0 / 7.0, 0.5))), std::log(r.MedianU), 0.06);
        EXPECT_NEAR(std::log(UAt(7.0 * std::pow(20.0 / 7.0, 0.98))), std::log(r.FarU), 0.06);
        // Settled: more frames of the same buffer change nothing.
        const unsigned lr_Settled = e.SettledAfter();
        EXPECT_LE(lr_Settled, 8u);
        for (int i = 0; i < 20; ++i) Frame(e, b);
        EXPECT_EQ(lr_Settled, e.SettledAfter());
        EXPECT_EQ(r.NearU, e.Range().NearU);
        EXPECT_EQ(r.FarU, e.Range().FarU);
    }
}

// A camera moving away: the range follows, never jumping more than a step a frame.
TEST(DepthRangeEstimator, FollowsAMovingSceneInSmallSteps) {
    DepthRangeEstimator e;
    for (int i = 0; i < 8; ++i) Frame(e, Scene(7.0, 20.0, false));
    ASSERT_TRUE(e.HasRange());
    double lr_Last = std::log(e.Range().MedianU);
    for (int i = 1; i <= 60; ++i) {
        const double k = 1.0 + i / 60.0;  // twice as far at the end
        Frame(e, Scene(7.0 * k, 20.0 * k, false));
        const double lr_Now = std::log(e.Range().MedianU);
        EXPECT_LE(std::fabs(lr_Now - lr_Last), 0.0501) << i;
        lr_Last = lr_Now;
    }
    for (int i = 0; i < 30; ++i) Frame(e, Scene(14.0, 40.0, false));
    EXPECT_NEAR(std::log(UAt(14.0 * std::pow(40.0 / 14.0, 0.5))), std::log(e.Range().MedianU), 0.12);
}

// No background at all: the host's depth test tells the direction. All
// background: nothing to measure, no range.
TEST(DepthRangeEstimator, WithoutBackgroundTheHintDecidesAndWithoutSceneNothingIsFound) {
    DepthRangeEstimator e;
    const Buffer b = Scene(7.0, 20.0, true, 0);
    for (int i = 0; i < 8; ++i) Frame(e, b, 1);
    EXPECT_TRUE(e.HasRange());
    EXPECT_TRUE(e.Reversed());
    EXPECT_FALSE(e.SawBackground());

    DepthRangeEstimator lr_Empty;
    Buffer lr_Sky;
    lr_Sky.Z.assign(576, 1.0);
    for (int i = 0; i < 8; ++i) Frame(lr_Empty, lr_Sky);
    EXPECT_FALSE(lr_Empty.HasRange());
    EXPECT_FALSE(lr_Empty.SawScene());
}

}  // namespace
