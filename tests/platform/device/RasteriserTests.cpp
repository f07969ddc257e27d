// Rasterisation of the software device: coverage, the fill rule,
// interpolation, clipping, culling, and the draw records. Expected values
// are worked out by hand from Direct3D 9's rules (pixel centres on integer
// coordinates, top-left fill rule, perspective-correct attributes).
#include "RasterTestUtil.h"

#include <cmath>
#include <cstring>
#include <vector>

using namespace raster_test;

using RasteriserTest = RasterFixture;

TEST_F(RasteriserTest, TrianglesSharingEdgesCoverEachPixelExactlyOnce) {
    AdditiveBlend();
    const D3DCOLOR k_Step = 0x01010101;
    // A fan around a pixel centre, edges at odd slopes, reaching past the target.
    const float k_Rim[][2] = {{-10, -3.5f}, {5, -12}, {30, -2}, {24.25f, 24}, {4, 30}, {-12, 16.5f}};
    std::vector<ColorVertex> lr_Fan;
    for (int i = 0; i < 6; ++i) {
        lr_Fan.push_back({8, 8, 0.5f, 1, k_Step});
        lr_Fan.push_back({k_Rim[i][0], k_Rim[i][1], 0.5f, 1, k_Step});
        lr_Fan.push_back({k_Rim[(i + 1) % 6][0], k_Rim[(i + 1) % 6][1], 0.5f, 1, k_Step});
    }
    DrawList(lr_Fan);
    for (DWORD lr_Value : Pixels()) ASSERT_EQ(lr_Value, k_Step);

    // A grid whose edges run along pixel centres, split on both diagonals.
    mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    std::vector<ColorVertex> lr_Grid;
    for (int gy = 0; gy < 4; ++gy)
        for (int gx = 0; gx < 4; ++gx) {
            float x0 = gx * 5.0f - 2, y0 = gy * 5.0f - 2, x1 = x0 + 5, y1 = y0 + 5;
            ColorVertex a{x0, y0, 0.5f, 1, k_Step}, b{x1, y0, 0.5f, 1, k_Step}, c{x0, y1, 0.5f, 1, k_Step},
                d{x1, y1, 0.5f, 1, k_Step};
            if ((gx + gy) & 1) {
                lr_Grid.insert(lr_Grid.end(), {a, b, c, b, d, c});
            } else {
                lr_Grid.insert(lr_Grid.end(), {a, b, d, a, d, c});
            }
        }
    DrawList(lr_Grid);
    for (DWORD lr_Value : Pixels()) ASSERT_EQ(lr_Value, k_Step);
}

TEST_F(RasteriserTest, TopLeftRuleTakesLeftAndTopEdgesOnly) {
    // Every edge of the rectangle runs through pixel centres.
    DrawRect(2, 2, 6, 5, 0xFFFFFFFF);
    EXPECT_EQ(LastDraw().PixelsWritten, 12u);
    for (UINT y = 0; y < k_Size; ++y)
        for (UINT x = 0; x < k_Size; ++x) {
            bool lr_Inside = x >= 2 && x <= 5 && y >= 2 && y <= 4;
            EXPECT_EQ(Pixel(x, y), lr_Inside ? 0xFFFFFFFFu : 0u) << x << "," << y;
        }
}

TEST_F(RasteriserTest, AttributesArePerspectiveCorrectAndDepthIsLinear) {
    // Red 0 -> 255 along the top edge, the far end with rhw 0.25. Half-way
    // across the screen the weights are 0.5 * 1 and 0.5 * 0.25, so red is
    // 0.125 / 0.625 = 0.2 (51), not the affine 0.5. Depth 0 -> 1 stays linear.
    DrawList({{0, 0, 0, 1, 0xFF000000}, {16, 0, 1, 0.25f, 0xFFFF0000}, {0, 16, 0, 1, 0xFF000000}});
    EXPECT_EQ((Pixel(8, 0) >> 16) & 0xFF, 51u);
    // At (4, 4): weights 0.5, 0.25, 0.25 -> 0.0625 / 0.8125 = 0.0769 (20).
    EXPECT_EQ((Pixel(4, 4) >> 16) & 0xFF, 20u);

    IDirect3DSurface9* lr_Depth_ = nullptr;
    ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&lr_Depth_), D3D_OK);
    std::vector<BYTE> lr_Bytes = ReadPixels(lr_Depth_);
    lr_Depth_->Release();
    DWORD lr_Stored;
    std::memcpy(&lr_Stored, &lr_Bytes[8 * 4], 4);
    EXPECT_EQ(lr_Stored >> 8, 8388608u);  // round(0.5 * (2^24 - 1))
}

TEST_F(RasteriserTest, CullModesFollowScreenWinding) {
    const std::vector<ColorVertex> k_Clockwise{{0, 0, 0.5f, 1, ~0u}, {16, 0, 0.5f, 1, ~0u}, {0, 16, 0.5f, 1, ~0u}};
    const std::vector<ColorVertex> k_CounterClockwise{k_Clockwise[0], k_Clockwise[2], k_Clockwise[1]};
    struct Case {
        DWORD Mode;
        bool DrawsClockwise, DrawsCounterClockwise;
    };
    for (Case lr_Case :
         {Case{D3DCULL_CCW, true, false}, Case{D3DCULL_CW, false, true}, Case{D3DCULL_NONE, true, true}}) {
        mr_Device_->SetRenderState(D3DRS_CULLMODE, lr_Case.Mode);
        DrawList(k_Clockwise);
        EXPECT_EQ(LastDraw().PixelsWritten > 0, lr_Case.DrawsClockwise) << lr_Case.Mode;
        DrawList(k_CounterClockwise);
        EXPECT_EQ(LastDraw().PixelsWritten > 0, lr_Case.DrawsCounterClockwise) << lr_Case.Mode;
    }
}

TEST_F(RasteriserTest, ScissorAndViewportBoundTheDraw) {
    RECT lr_Scissor{2, 3, 7, 9};
    mr_Device_->SetScissorRect(&lr_Scissor);
    mr_Device_->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    DrawRect(-4, -4, 20, 20, 0xFFFFFFFF);
    EXPECT_EQ(LastDraw().PixelsWritten, 30u);
    EXPECT_EQ(Pixel(2, 3), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(6, 8), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(7, 8), 0u);
    EXPECT_EQ(Pixel(6, 9), 0u);

    mr_Device_->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    D3DVIEWPORT9 lr_View{4, 5, 8, 6, 0.0f, 1.0f};
    mr_Device_->SetViewport(&lr_View);
    DrawRect(-4, -4, 20, 20, 0xFFFFFFFF);
    EXPECT_EQ(LastDraw().PixelsWritten, 48u);
    EXPECT_EQ(Pixel(3, 5), 0u);
    EXPECT_EQ(Pixel(11, 10), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(12, 10), 0u);
    EXPECT_EQ(Pixel(11, 11), 0u);
}

TEST_F(RasteriserTest, UntransformedTrianglesAreClippedAtNearAndFar) {
    // Identity transforms: clip space is the position. z = x + 0.5 keeps
    // only -0.5 <= x <= 0.5, which the 16-pixel viewport maps to 4 .. 12.
    mr_Device_->SetFVF(k_WorldFVF);
    mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const D3DCOLOR c = 0xFFFFFFFF;
    WorldVertex lr_Quad[] = {{-2, 2, -1.5f, c}, {2, 2, 2.5f, c},  {-2, -2, -1.5f, c},
                             {2, 2, 2.5f, c},   {2, -2, 2.5f, c}, {-2, -2, -1.5f, c}};
    ASSERT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, lr_Quad, sizeof(WorldVertex)), D3D_OK);
    EXPECT_EQ(LastDraw().PixelsWritten, 8u * 16u);
    EXPECT_EQ(Pixel(3, 7), 0u);
    EXPECT_EQ(Pixel(4, 7), c);
    EXPECT_EQ(Pixel(11, 7), c);
    EXPECT_EQ(Pixel(12, 7), 0u);

    // The world, view and projection transforms move it: x shifted right by
    // 0.25 (2 pixels) in the world, z unchanged, so the kept band moves to
    // 6 .. 14; y scaled by 0.5 in the projection.
    D3DMATRIX lr_World{}, lr_Projection{};
    lr_World._11 = lr_World._22 = lr_World._33 = lr_World._44 = 1;
    lr_World._41 = 0.25f;
    lr_Projection._11 = lr_Projection._33 = lr_Projection._44 = 1;
    lr_Projection._22 = 0.5f;
    mr_Device_->SetTransform(D3DTS_WORLD, &lr_World);
    mr_Device_->SetTransform(D3DTS_PROJECTION, &lr_Projection);
    mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    ASSERT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, lr_Quad, sizeof(WorldVertex)), D3D_OK);
    EXPECT_EQ(LastDraw().PixelsWritten, 8u * 16u);
    EXPECT_EQ(Pixel(5, 7), 0u);
    EXPECT_EQ(Pixel(6, 7), c);
    EXPECT_EQ(Pixel(13, 7), c);
}

TEST_F(RasteriserTest, StripsFansAndIndexedDrawsAssembleTheSameSquare) {
    const D3DCOLOR c = 0xFFFFFFFF;
    ColorVertex lr_Strip[] = {{2, 2, 0.5f, 1, c}, {6, 2, 0.5f, 1, c}, {2, 6, 0.5f, 1, c}, {6, 6, 0.5f, 1, c}};
    ASSERT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lr_Strip, sizeof(ColorVertex)), D3D_OK);
    EXPECT_EQ(LastDraw().PixelsWritten, 16u);  // the second triangle is reversed, so not culled
    ColorVertex lr_Fan[] = {lr_Strip[0], lr_Strip[1], lr_Strip[3], lr_Strip[2]};
    ASSERT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, lr_Fan, sizeof(ColorVertex)), D3D_OK);
    EXPECT_EQ(LastDraw().PixelsWritten, 16u);
    const WORD k_Indices[] = {0, 1, 2, 1, 3, 2};
    ASSERT_EQ(mr_Device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, k_Indices, D3DFMT_INDEX16, lr_Strip,
                                                 sizeof(ColorVertex)),
              D3D_OK);
    EXPECT_EQ(LastDraw().PixelsWritten, 16u);
}

TEST_F(RasteriserTest, DeclarationStreamsFeedTheVertices) {
    // Positions in stream 0, colours in stream 1 behind an offset of 4 bytes.
    const D3DVERTEXELEMENT9 k_Elements[] = {{0, 0, 3 /*FLOAT4*/, 0, 9 /*POSITIONT*/, 0},
                                            {1, 4, 4 /*D3DCOLOR*/, 0, 10 /*COLOR*/, 0},
                                            {0xFF, 0, 17, 0, 0, 0}};
    IDirect3DVertexDeclaration9* lr_Decl_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateVertexDeclaration(k_Elements, &lr_Decl_), D3D_OK);
    const float k_Positions[4][4] = {{0, 0, 0.5f, 1}, {4, 0, 0.5f, 1}, {0, 4, 0.5f, 1}, {4, 4, 0.5f, 1}};
    IDirect3DVertexBuffer9 *lr_Pos_ = nullptr, *lr_Col_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateVertexBuffer(sizeof(k_Positions), 0, 0, D3DPOOL_MANAGED, &lr_Pos_, nullptr), D3D_OK);
    ASSERT_EQ(mr_Device_->CreateVertexBuffer(8 * 4, 0, 0, D3DPOOL_MANAGED, &lr_Col_, nullptr), D3D_OK);
    void* lr_Data = nullptr;
    lr_Pos_->Lock(0, 0, &lr_Data, 0);
    std::memcpy(lr_Data, k_Positions, sizeof(k_Positions));
    lr_Pos_->Unlock();
    lr_Col_->Lock(0, 0, &lr_Data, 0);
    for (int i = 0; i < 4; ++i) {
        DWORD lr_Pair[2] = {0xDEADBEEF, 0xFF336699};
        std::memcpy(static_cast<BYTE*>(lr_Data) + i * 8, lr_Pair, 8);
    }
    lr_Col_->Unlock();
    mr_Device_->SetVertexDeclaration(lr_Decl_);
    mr_Device_->SetStreamSource(0, lr_Pos_, 0, 16);
    mr_Device_->SetStreamSource(1, lr_Col_, 0, 8);
    EXPECT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_TRUE(LastDraw().Rasterised) << LastDraw().NotRasterisedReason;
    EXPECT_EQ(Pixel(1, 1), 0xFF336699u);
    EXPECT_EQ(Pixel(4, 1), 0u);
    mr_Device_->SetStreamSource(0, nullptr, 0, 0);
    mr_Device_->SetStreamSource(1, nullptr, 0, 0);
    mr_Device_->SetVertexDeclaration(nullptr);
    lr_Decl_->Release();
    lr_Pos_->Release();
    lr_Col_->Release();
}

TEST_F(RasteriserTest, RecordsSayWhatWasDrawnAndWhy) {
    DrawRect(0, 0, 3, 2, 0xFFFFFFFF);
    EXPECT_TRUE(LastDraw().Rasterised);
    EXPECT_TRUE(LastDraw().NotRasterisedReason.empty());
    EXPECT_EQ(LastDraw().PixelsShaded, 6u);  // helper lanes of the quads are not counted
    EXPECT_FALSE(LastDraw().StencilIgnored);

    // D24S8 holds stencil bits: the test runs (always passing by default).
    mr_Device_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    DrawRect(0, 0, 3, 2, 0xFFFFFFFF);
    EXPECT_TRUE(LastDraw().Rasterised);
    EXPECT_FALSE(LastDraw().StencilIgnored);
    EXPECT_EQ(LastDraw().PixelsWritten, 6u);

    ColorVertex lr_Points[] = {{1, 1, 0.5f, 1, ~0u}, {2, 2, 0.5f, 1, ~0u}};
    ASSERT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, lr_Points, sizeof(ColorVertex)), D3D_OK);
    EXPECT_FALSE(LastDraw().Rasterised);
    EXPECT_NE(LastDraw().NotRasterisedReason.find("lines"), std::string::npos);

    const DWORD k_VertexShader[] = {D3DVS_VERSION(2, 0), D3DVS_END()};
    IDirect3DVertexShader9* lr_Shader_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateVertexShader(k_VertexShader, &lr_Shader_), D3D_OK);
    mr_Device_->SetVertexShader(lr_Shader_);
    mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    DrawRect(0, 0, 3, 2, 0xFFFFFFFF);
    EXPECT_FALSE(LastDraw().Rasterised);
    EXPECT_NE(LastDraw().NotRasterisedReason.find("vertex shader"), std::string::npos);
    EXPECT_EQ(Pixel(0, 0), 0u);
    mr_Device_->SetVertexShader(nullptr);
    lr_Shader_->Release();
}

TEST_F(RasteriserTest, LargeTargetsSplitIntoTilesAcrossThreadsWithoutSeams) {
    // 300x200 spans 5x4 tiles; a fan of 40 thin triangles crosses every tile edge.
    const UINT k_Width = 300, k_Height = 200;
    IDirect3DSurface9 *lr_Target_ = nullptr, *lr_Depth_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateRenderTarget(k_Width, k_Height, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                             &lr_Target_, nullptr),
              D3D_OK);
    ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&lr_Depth_), D3D_OK);
    mr_Device_->SetRenderTarget(0, lr_Target_);
    mr_Device_->SetDepthStencilSurface(nullptr);
    mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    AdditiveBlend();
    const D3DCOLOR k_Step = 0x01010101;
    std::vector<ColorVertex> lr_Fan;
    const float k_Pi = 3.14159265f;
    for (int i = 0; i < 40; ++i) {
        float a0 = 2 * k_Pi * i / 40, a1 = 2 * k_Pi * (i + 1) / 40;
        lr_Fan.push_back({151.3f, 99.7f, 0.5f, 1, k_Step});
        lr_Fan.push_back({151.3f + 400 * std::cos(a0), 99.7f + 400 * std::sin(a0), 0.5f, 1, k_Step});
        lr_Fan.push_back({151.3f + 400 * std::cos(a1), 99.7f + 400 * std::sin(a1), 0.5f, 1, k_Step});
    }
    DrawList(lr_Fan);
    EXPECT_EQ(LastDraw().PixelsWritten, k_Width * k_Height);
    std::vector<BYTE> lr_Pixels = ReadPixels(lr_Target_);
    for (size_t i = 0; i < lr_Pixels.size(); ++i) ASSERT_EQ(lr_Pixels[i], 1) << "pixel " << i / 4;

    mr_Device_->SetRenderTarget(0, mr_Back_);
    mr_Device_->SetDepthStencilSurface(lr_Depth_);
    lr_Depth_->Release();
    lr_Target_->Release();
}

TEST_F(RasteriserTest, FlatShadingTakesTheFirstVertexColour) {
    // Gouraud blends red into blue across the triangle; flat keeps the first vertex's red.
    const std::vector<ColorVertex> k_Triangle{
        {0, 0, 0.5f, 1, 0xFFFF0000}, {16, 0, 0.5f, 1, 0xFF0000FF}, {0, 16, 0.5f, 1, 0xFF0000FF}};
    DrawList(k_Triangle);
    EXPECT_NE(Pixel(6, 1), 0xFFFF0000u);
    mr_Device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    DrawList(k_Triangle);
    EXPECT_EQ(Pixel(6, 1), 0xFFFF0000u);
}
