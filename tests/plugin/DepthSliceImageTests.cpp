// The depth-slice image as pixels: one frame over a host depth buffer that
// holds a known ramp leaves, in the texture the occlusion pass reads, the
// nearest slice lying at or behind the scene at each pixel, with the
// pixel's dither offset, so that the image resolves depth finer than a
// slice: averaged down a column it gives the scene's position between the
// slices without bias.
#include "FrameFixture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

namespace {

UINT Depth24(float z) { return static_cast<UINT>(std::lround(static_cast<double>(z) * 0xFFFFFF)); }

class DepthSliceImageTest : public FrameFixture {};

TEST_F(DepthSliceImageTest, ARampOfSceneDepthsLeavesItsPositionBetweenTheSlices) {
    // The shipped effect asked for the plug-in's own slice depths,
    // 1 - 0.000005 i, dithered between them.
    WriteShippedDepthEffect(SSAO_DATA_DIR, "PLUGIN_SLICE_DEPTHS", "1");
    StartPlugin();
    SetShowAOOnly(true);
    mr_Plugin_->Render();  // lays the slices out
    ASSERT_EQ(DrawsOf("SlicePS").size(), 1u) << "the ps_2_a technique on a model 3 device";

    // Scene depths rising across the width from in front of the nearest slice to
    // behind the farthest but one (D24 units; a slice step is 0.000005).
    D3DSURFACE_DESC lr_Desc;
    IDirect3DSurface9* lr_DepthSurface_ = nullptr;
    ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&lr_DepthSurface_), D3D_OK);
    lr_DepthSurface_->GetDesc(&lr_Desc);
    ASSERT_EQ(lr_Desc.Format, D3DFMT_D24S8);
    const double lr_Step = 0.000005 * 0xFFFFFF;
    const UINT lr_From = Depth24(1.0f) - static_cast<UINT>(10.5 * lr_Step), lr_To = Depth24(1.0f) - 1;
    std::vector<BYTE> lr_Pixels(static_cast<size_t>(lr_Desc.Width) * lr_Desc.Height * 4);
    std::vector<UINT> lr_Ramp(lr_Desc.Width);
    for (UINT x = 0; x < lr_Desc.Width; ++x) {
        lr_Ramp[x] = lr_From + static_cast<UINT>((static_cast<uint64_t>(lr_To - lr_From) * x) / (lr_Desc.Width - 1));
        const DWORD lr_Word = lr_Ramp[x] << 8;
        for (UINT y = 0; y < lr_Desc.Height; ++y)
            std::memcpy(&lr_Pixels[(static_cast<size_t>(y) * lr_Desc.Width + x) * 4], &lr_Word, 4);
    }
    ASSERT_EQ(mr_Control_->WritePixels(lr_DepthSurface_, lr_Pixels), D3D_OK);
    lr_DepthSurface_->Release();

    mr_Control_->ClearRecords();
    mr_Plugin_->Render();
    // The slice image is what the frame copied from the back buffer after the slices.
    const std::vector<SoftCopyRecord>& lr_Copies = mr_Control_->GetCopies();
    ASSERT_GE(lr_Copies.size(), 2u);
    std::vector<BYTE> lr_Image;
    ASSERT_EQ(mr_Control_->ReadPixels(lr_Copies[1].Dest, lr_Image), D3D_OK);

    // A pixel holds (i + 1 - t) units of 24 for its nearest passing slice i and
    // its offset t: position i - t + 0.5 within half a step of the scene's.
    int lr_Wrong = 0, lr_Columns = 0;
    double lr_WorstBias = 0;
    std::set<int> lr_Slices;
    for (UINT x = 0; x < lr_Desc.Width; ++x) {
        const double lr_Position = (0xFFFFFF - static_cast<double>(lr_Ramp[x])) / lr_Step;
        double lr_Sum = 0;
        for (UINT y = 0; y < lr_Desc.Height; ++y) {
            const BYTE lr_Red = lr_Image[(static_cast<size_t>(y) * lr_Desc.Width + x) * 4 + 2];
            lr_Slices.insert(std::max(0, (lr_Red + 23) / 24 - 1));  // t rounds to 1 at 0
            const double lr_Decoded = lr_Red / 24.0 - 0.5;
            lr_Sum += lr_Decoded;
            // Past the nearest slice every pixel saturates at slice 9.
            const double lr_Expected = std::min(lr_Position, 9.5);
            if (std::fabs(lr_Decoded - lr_Expected) > 0.55 && lr_Position < 9.0 && ++lr_Wrong < 5)
                ADD_FAILURE() << "x " << x << " y " << y << ": " << lr_Decoded << ", scene at " << lr_Position;
        }
        if (lr_Position > 0.5 && lr_Position < 9.0) {
            ++lr_Columns;
            lr_WorstBias = std::max(lr_WorstBias, std::fabs(lr_Sum / lr_Desc.Height - lr_Position));
        }
    }
    EXPECT_EQ(lr_Wrong, 0);
    EXPECT_GT(lr_Columns, 10);
    // The mean down a column follows the scene, not the steps (a staircase would be
    // up to half a step off).
    EXPECT_LT(lr_WorstBias, 0.2);
    EXPECT_EQ(lr_Slices.size(), 10u);
}

}  // namespace
