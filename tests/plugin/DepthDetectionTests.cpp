// The plug-in finding the host's depth by itself, through the software
// device's seams: what its occlusion queries count of a depth buffer the test
// writes, what it reads of the host's projection, which slice pass it draws,
// what it logs, and what it does when the device cannot help.
#include "FrameFixture.h"

#include <d3dx9.h>

#include <cmath>
#include <cstring>
#include <functional>

namespace {

// A host with near plane 0.1 and far plane 80: screen depth of view distance d.
double ScreenDepthAt(double d) { return 80.0 / 79.9 * (1.0 - 0.1 / d); }

class DepthDetectionTest : public FrameFixture {
protected:
    void WriteShippedDepthEffect(const std::string& define = "", const std::string& value = "") {
        FrameFixture::WriteShippedDepthEffect(SSAO_DATA_DIR, define, value);
    }

    // Writes the depth buffer: z(x, y) in 0..1, as 24 bits.
    void FillDepth(const std::function<double(UINT, UINT)>& z) {
        IDirect3DSurface9* lr_Depth_ = nullptr;
        ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&lr_Depth_), D3D_OK);
        D3DSURFACE_DESC lr_Desc;
        lr_Depth_->GetDesc(&lr_Desc);
        std::vector<BYTE> lr_Pixels(static_cast<size_t>(lr_Desc.Width) * lr_Desc.Height * 4);
        for (UINT y = 0; y < lr_Desc.Height; ++y)
            for (UINT x = 0; x < lr_Desc.Width; ++x) {
                const DWORD lr_Word = static_cast<DWORD>(std::lround(z(x, y) * 0xFFFFFF)) << 8;
                std::memcpy(&lr_Pixels[(static_cast<size_t>(y) * lr_Desc.Width + x) * 4], &lr_Word, 4);
            }
        EXPECT_EQ(mr_Control_->WritePixels(lr_Depth_, lr_Pixels), D3D_OK);
        lr_Depth_->Release();
    }

    // Sky over the top quarter, below it a floor from 16 to 4 view units.
    void FillRoom(bool reversed) {
        FillDepth([reversed](UINT, UINT y) {
            if (y < 150) return reversed ? 0.0 : 1.0;
            const double d = 16.0 * std::pow(0.25, (y - 150) / 449.0);
            return reversed ? 1.0 - ScreenDepthAt(d) : ScreenDepthAt(d);
        });
    }

    void Frame() {
        mr_Plugin_->Render();
        mr_Device_->Present(nullptr, nullptr, nullptr, nullptr);
    }

    // Frames until the layout comes from `source` (at most `limit`); how many it took.
    int FramesUntil(DepthSource source, int limit) {
        for (int i = 1; i <= limit; ++i) {
            Frame();
            if (mr_Plugin_->DepthLayoutInUse().Source == source) return i;
        }
        return limit + 1;
    }

    // The depth test of the frame's slice draw.
    DWORD SliceDepthTest() {
        mr_Control_->ClearRecords();
        mr_Plugin_->Render();
        const std::vector<SoftDrawRecord> lr_Slices = DrawsOf("SlicePS");
        EXPECT_EQ(lr_Slices.size(), 1u) << "one slice pass drawn, the other skipped";
        return lr_Slices.empty() ? 0 : lr_Slices[0].RenderStates[D3DRS_ZFUNC];
    }
};

// Counts that arrive two frames late, never waited for: at most one read of
// each query a frame; then the layout settles and stays.
TEST_F(DepthDetectionTest, TheScenesDepthIsMeasuredWithoutWaitingAndThenHoldsStill) {
    WriteShippedDepthEffect();
    mr_Control_->SetQueryLatency(2);
    StartPlugin();
    FillRoom(false);
    int lr_Frames = 0;
    for (; lr_Frames < 20 && mr_Plugin_->DepthLayoutInUse().Source != DepthSource::Measured; ++lr_Frames) {
        mr_Control_->ResetCallCounts();
        Frame();
        EXPECT_LE(mr_Control_->GetCallCount(SoftCall::QueryGetData), 8u);
        EXPECT_LE(mr_Control_->GetCallCount(SoftCall::QueryIssue), 16u);
    }
    // Three rounds of counts (scan, two refinements), each three frames apart.
    EXPECT_LE(lr_Frames, 10);
    const DepthLayout lr_Found = mr_Plugin_->DepthLayoutInUse();
    ASSERT_EQ(lr_Found.Source, DepthSource::Measured);
    EXPECT_FALSE(lr_Found.Reversed);
    // Distances relative to the median: the slices reach round the floor's 4..16.
    EXPECT_LT(lr_Found.NearestSlice, 0.7);
    EXPECT_GT(lr_Found.FarthestSlice, 1.5);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Query, -1, false), 8u);

    for (int i = 0; i < 20; ++i) Frame();
    const DepthLayout lr_Settled = mr_Plugin_->DepthLayoutInUse();
    for (int i = 0; i < 10; ++i) {
        Frame();
        EXPECT_TRUE(mr_Plugin_->DepthLayoutInUse() == lr_Settled) << "frame " << i;
    }
    EXPECT_EQ(CountOf(ReadLog(), "SSAO: Depth from the measured depth after "), 1u) << ReadLog();
    EXPECT_EQ(SliceDepthTest(), static_cast<DWORD>(D3DCMP_GREATEREQUAL));
}

// A reversed buffer is told by where its cleared background lies, whatever
// depth test the host left set; the slices then pass LessEqual.
TEST_F(DepthDetectionTest, AReversedBufferIsFoundByItsBackground) {
    WriteShippedDepthEffect();
    StartPlugin();
    FillRoom(true);
    EXPECT_LE(FramesUntil(DepthSource::Measured, 8), 6);
    EXPECT_TRUE(mr_Plugin_->DepthLayoutInUse().Reversed);
    EXPECT_EQ(SliceDepthTest(), static_cast<DWORD>(D3DCMP_LESSEQUAL));
}

// A near plane typed in Settings.fxh wins: no query is ever made.
TEST_F(DepthDetectionTest, TypedSettingsWinAndNothingIsMeasured) {
    WriteShippedDepthEffect("HOST_NEAR_PLANE", "0.1");
    mr_Control_->ResetCallCounts();
    StartPlugin();
    FillRoom(true);
    for (int i = 0; i < 6; ++i) Frame();
    EXPECT_EQ(mr_Plugin_->DepthLayoutInUse().Source, DepthSource::Settings);
    EXPECT_FALSE(mr_Plugin_->DepthLayoutInUse().Reversed);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateQuery), 0u);
    EXPECT_EQ(SliceDepthTest(), static_cast<DWORD>(D3DCMP_GREATEREQUAL));
}

// A fixed-function host's projection gives the planes from the first frame.
TEST_F(DepthDetectionTest, TheHostsProjectionIsReadFromTheFirstFrame) {
    WriteShippedDepthEffect();
    StartPlugin();
    FillRoom(true);
    D3DXMATRIX lr_Projection;
    D3DXMatrixPerspectiveFovLH(&lr_Projection, 1.0f, 4.0f / 3.0f, 80.0f, 0.1f);  // reversed: planes swapped
    ASSERT_EQ(mr_Device_->SetTransform(D3DTS_PROJECTION, &lr_Projection), D3D_OK);
    EXPECT_EQ(FramesUntil(DepthSource::Projection, 3), 1);
    EXPECT_TRUE(mr_Plugin_->DepthLayoutInUse().Reversed);
    // Then the slices move onto the measured floor, in view units.
    for (int i = 0; i < 8; ++i) Frame();
    EXPECT_GT(mr_Plugin_->DepthLayoutInUse().NearestSlice, 3.0);
    EXPECT_LT(mr_Plugin_->DepthLayoutInUse().NearestSlice, 4.5);
    EXPECT_GT(mr_Plugin_->DepthLayoutInUse().FarthestSlice, 16.0);
    // A matrix that is not a perspective projection counts for nothing.
    D3DXMatrixIdentity(&lr_Projection);
    ASSERT_EQ(mr_Device_->SetTransform(D3DTS_PROJECTION, &lr_Projection), D3D_OK);
    Frame();
    EXPECT_EQ(mr_Plugin_->DepthLayoutInUse().Source, DepthSource::Measured);
}

class PureDeviceDepthTest : public DepthDetectionTest {
protected:
    PureDeviceDepthTest() { mr_BehaviorFlags = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE; }
};

// A pure device returns no state: the projection cannot be read, so the depth is measured.
TEST_F(PureDeviceDepthTest, APureDeviceIsMeasured) {
    WriteShippedDepthEffect();
    StartPlugin();
    FillRoom(false);
    D3DXMATRIX lr_Projection;
    D3DXMatrixPerspectiveFovLH(&lr_Projection, 1.0f, 4.0f / 3.0f, 0.1f, 80.0f);
    mr_Device_->SetTransform(D3DTS_PROJECTION, &lr_Projection);
    EXPECT_LE(FramesUntil(DepthSource::Measured, 8), 5) << ReadLog();
    EXPECT_FALSE(mr_Plugin_->DepthLayoutInUse().Reversed);
    // Without a viewport to read, the passes cover the whole render target.
    EXPECT_EQ(SliceDepthTest(), static_cast<DWORD>(D3DCMP_GREATEREQUAL));
    const std::vector<SoftDrawRecord> lr_Slices = DrawsOf("SlicePS");
    ASSERT_EQ(lr_Slices.size(), 1u);
    EXPECT_EQ(lr_Slices[0].PixelsShaded, 10ull * 800ull * 600ull);
}

// Whatever the device cannot do, the frame goes on with the slices it has,
// saying so once.
TEST_F(DepthDetectionTest, QueriesTheDeviceRefusesLeaveThePluginsOwnSlices) {
    WriteShippedDepthEffect();
    mr_Control_->SetQueryTypeSupported(D3DQUERYTYPE_OCCLUSION, false);
    StartPlugin();
    FillRoom(false);
    for (int i = 0; i < 5; ++i) Frame();
    EXPECT_EQ(mr_Plugin_->DepthLayoutInUse().Source, DepthSource::PluginSlices);
    EXPECT_EQ(CountOf(ReadLog(), "SSAO: Occlusion queries are not available"), 1u) << ReadLog();
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Query, -1, false), 0u);
    EXPECT_EQ(SliceDepthTest(), static_cast<DWORD>(D3DCMP_GREATEREQUAL));
}

TEST_F(DepthDetectionTest, NoDepthBufferAndNoSceneAreSaidOnceAndTheLayoutStays) {
    WriteShippedDepthEffect();
    StartPlugin();
    // All background: nothing to measure.
    FillDepth([](UINT, UINT) { return 1.0; });
    for (int i = 0; i < 5; ++i) Frame();
    EXPECT_EQ(mr_Plugin_->DepthLayoutInUse().Source, DepthSource::PluginSlices);
    EXPECT_EQ(CountOf(ReadLog(), "SSAO: The depth buffer shows no scene"), 1u) << ReadLog();

    // No depth buffer at all.
    IDirect3DSurface9* lr_Depth_ = nullptr;
    ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&lr_Depth_), D3D_OK);
    ASSERT_EQ(mr_Device_->SetDepthStencilSurface(nullptr), D3D_OK);
    for (int i = 0; i < 5; ++i) Frame();
    EXPECT_EQ(CountOf(ReadLog(), "SSAO: No depth buffer to measure"), 1u) << ReadLog();
    ASSERT_EQ(mr_Device_->SetDepthStencilSurface(lr_Depth_), D3D_OK);
    lr_Depth_->Release();

    // No background at all: the host's depth test tells which way it runs.
    FillDepth([](UINT x, UINT) { return ScreenDepthAt(4.0 + x / 100.0); });
    EXPECT_LE(FramesUntil(DepthSource::Measured, 8), 6);
    EXPECT_FALSE(mr_Plugin_->DepthLayoutInUse().Reversed);
}

// Queries are the device's objects: gone with a lost device, made again after the reset.
TEST_F(DepthDetectionTest, ALostDeviceTakesTheQueriesAndTheResetMakesThemAgain) {
    WriteShippedDepthEffect();
    StartPlugin();
    FillRoom(false);
    for (int i = 0; i < 3; ++i) Frame();
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Query, -1, false), 8u);
    mr_Plugin_->OnLostDevice();
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Query, -1, false), 0u);
    ASSERT_EQ(mr_Device_->Reset(&mr_PresentParameters), D3D_OK);
    mr_Plugin_->OnResetDevice();
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Query, -1, false), 8u);
    FillRoom(false);
    EXPECT_LE(FramesUntil(DepthSource::Measured, 8), 6);
}

}  // namespace
