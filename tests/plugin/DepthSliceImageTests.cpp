// The depth-slice image as pixels: one frame over a host depth buffer that
// holds a known ramp leaves, in the texture the occlusion pass reads, the
// value of the nearest slice lying at or behind the scene at each pixel.
#include "FrameFixture.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace {

struct Slice {
    UINT Depth;  // as the D24S8 buffer holds it
    BYTE Value;  // as the X8R8G8B8 image holds it
};

UINT Depth24(float z) { return static_cast<UINT>(std::lround(static_cast<double>(z) * 0xFFFFFF)); }

// Byte offset of texture coordinate set `set` in a vertex of `fvf`.
UINT TexCoordOffset(DWORD fvf, UINT set) {
    UINT lr_Offset = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW ? 16 : 12;
    if (fvf & D3DFVF_DIFFUSE) lr_Offset += 4;
    if (fvf & D3DFVF_SPECULAR) lr_Offset += 4;
    for (UINT s = 0; s < set; ++s) {
        const DWORD lr_Size = (fvf >> (16 + 2 * s)) & 3;
        lr_Offset += lr_Size == D3DFVF_TEXTUREFORMAT1   ? 4
                     : lr_Size == D3DFVF_TEXTUREFORMAT3 ? 12
                     : lr_Size == D3DFVF_TEXTUREFORMAT4 ? 16
                                                        : 8;
    }
    return lr_Offset;
}

class DepthSliceImageTest : public FrameFixture {};

TEST_F(DepthSliceImageTest, ARampOfSceneDepthsLeavesAStaircaseOfSliceValues) {
    std::ifstream lr_File(std::string(SSAO_DATA_DIR) + "/RenderDepth.hlsl");
    std::stringstream ls_Shipped;
    ls_Shipped << lr_File.rdbuf();
    WriteEffectFile("RenderDepth.hlsl", ls_Shipped.str());
    StartPlugin();
    SetShowAOOnly(true);
    mr_Plugin_->Render();  // lays the slices out

    // The slices as drawn: depth of each quad and the value it carries.
    const std::vector<SoftDrawRecord> lr_Draws = DrawsOf("SlicePS");
    ASSERT_EQ(lr_Draws.size(), 1u);
    const SoftDrawRecord& lr_Draw = lr_Draws[0];
    ASSERT_EQ(lr_Draw.FVF & D3DFVF_POSITION_MASK, static_cast<DWORD>(D3DFVF_XYZRHW));
    // Vertices come in the order drawn; each slice's depth and value, in that order.
    std::vector<Slice> lr_Slices;
    for (size_t v = 0; v + lr_Draw.Stride <= lr_Draw.Vertices.size(); v += lr_Draw.Stride) {
        float lr_Z, lr_Value;
        std::memcpy(&lr_Z, &lr_Draw.Vertices[v + 8], 4);
        std::memcpy(&lr_Value, &lr_Draw.Vertices[v + TexCoordOffset(lr_Draw.FVF, 1)], 4);
        // A UNORM target stores the float product rounded to nearest, halves to even.
        const Slice lr_Slice{Depth24(lr_Z), static_cast<BYTE>(std::nearbyint(lr_Value * 255.0f))};
        if (lr_Slices.empty() || lr_Slices.back().Depth != lr_Slice.Depth || lr_Slices.back().Value != lr_Slice.Value)
            lr_Slices.push_back(lr_Slice);
    }
    ASSERT_EQ(lr_Slices.size(), 10u);

    // Scene depths rising across the width from in front of the nearest slice to the far plane.
    D3DSURFACE_DESC lr_Desc;
    IDirect3DSurface9* lr_DepthSurface_ = nullptr;
    ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&lr_DepthSurface_), D3D_OK);
    lr_DepthSurface_->GetDesc(&lr_Desc);
    ASSERT_EQ(lr_Desc.Format, D3DFMT_D24S8);
    UINT lr_Nearest = 0xFFFFFF;
    for (const Slice& s : lr_Slices) lr_Nearest = std::min(lr_Nearest, s.Depth);
    const UINT lr_From = lr_Nearest - 64, lr_To = 0xFFFFFF;
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

    std::set<BYTE> lr_Levels;
    int lr_Wrong = 0;
    for (UINT x = 0; x < lr_Desc.Width; ++x) {
        // The last slice drawn (the nearest) that is not in front of the scene wins.
        int lr_Expected = -1;
        for (const Slice& s : lr_Slices)
            if (s.Depth >= lr_Ramp[x]) lr_Expected = s.Value;
        for (UINT y = 0; y < lr_Desc.Height; y += 7) {
            const BYTE lr_Red = lr_Image[(static_cast<size_t>(y) * lr_Desc.Width + x) * 4 + 2];
            if (lr_Red != (lr_Expected < 0 ? 0 : lr_Expected) && ++lr_Wrong < 5)
                ADD_FAILURE() << "x " << x << " y " << y << ": " << int(lr_Red) << ", expected " << lr_Expected;
            lr_Levels.insert(lr_Red);
        }
    }
    EXPECT_EQ(lr_Wrong, 0);
    // In front of every slice the nearest one shows; beyond, each of the ten in turn.
    EXPECT_EQ(lr_Levels.size(), 10u);
}

}  // namespace
