// StretchRect: what it refuses and what it copies.
#include "SoftDeviceFixture.h"

#include <cstring>

class StretchRectTests : public SoftDeviceFixture {
protected:
    void SetUp() override {
        SoftDeviceFixture::SetUp();
        ASSERT_EQ(mr_Device_->CreateTexture(800, 600, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                            &mr_TargetTexture_, nullptr),
                  D3D_OK);
        ASSERT_EQ(mr_TargetTexture_->GetSurfaceLevel(0, &mr_TargetLevel_), D3D_OK);
        mr_Back_ = GetBackBuffer0();
        ASSERT_NE(mr_Back_, nullptr);
    }
    void TearDown() override {
        if (mr_Back_) mr_Back_->Release();
        if (mr_TargetLevel_) mr_TargetLevel_->Release();
        if (mr_TargetTexture_) mr_TargetTexture_->Release();
        SoftDeviceFixture::TearDown();
    }

    IDirect3DSurface9* MakePlain(UINT w, UINT h, D3DFORMAT format, D3DPOOL pool) {
        IDirect3DSurface9* lr_Surface_ = nullptr;
        EXPECT_EQ(mr_Device_->CreateOffscreenPlainSurface(w, h, format, pool, &lr_Surface_, nullptr), D3D_OK);
        return lr_Surface_;
    }
    IDirect3DSurface9* MakeTarget(UINT w, UINT h, D3DFORMAT format) {
        IDirect3DSurface9* lr_Surface_ = nullptr;
        EXPECT_EQ(mr_Device_->CreateRenderTarget(w, h, format, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Surface_, nullptr),
                  D3D_OK);
        return lr_Surface_;
    }
    // Fills a 4-byte-per-pixel surface with x + 1000 * y.
    void FillNumbered(IDirect3DSurface9* surface) {
        D3DSURFACE_DESC lr_Desc;
        surface->GetDesc(&lr_Desc);
        std::vector<BYTE> lr_Pixels(lr_Desc.Width * lr_Desc.Height * 4);
        for (UINT y = 0; y < lr_Desc.Height; ++y)
            for (UINT x = 0; x < lr_Desc.Width; ++x) {
                DWORD lr_Value = x + 1000 * y;
                std::memcpy(&lr_Pixels[(y * lr_Desc.Width + x) * 4], &lr_Value, 4);
            }
        ASSERT_EQ(mr_Control_->WritePixels(surface, lr_Pixels), D3D_OK);
    }
    static DWORD Pixel(const std::vector<BYTE>& pixels, UINT width, UINT x, UINT y) {
        DWORD lr_Value;
        std::memcpy(&lr_Value, &pixels[(y * width + x) * 4], 4);
        return lr_Value;
    }

    IDirect3DTexture9* mr_TargetTexture_ = nullptr;
    IDirect3DSurface9* mr_TargetLevel_ = nullptr;
    IDirect3DSurface9* mr_Back_ = nullptr;
};

TEST_F(StretchRectTests, EqualRectanglesCopyExactlyAndAreRecorded) {
    FillNumbered(mr_Back_);
    RECT lr_Rect{10, 20, 110, 70};
    ASSERT_EQ(mr_Device_->StretchRect(mr_Back_, &lr_Rect, mr_TargetLevel_, &lr_Rect, D3DTEXF_NONE), D3D_OK);
    std::vector<BYTE> lr_Pixels = ReadPixels(mr_TargetLevel_);
    EXPECT_EQ(Pixel(lr_Pixels, 800, 10, 20), 10u + 20000u);
    EXPECT_EQ(Pixel(lr_Pixels, 800, 109, 69), 109u + 69000u);
    EXPECT_EQ(Pixel(lr_Pixels, 800, 9, 20), 0u);  // outside the rectangle: untouched
    EXPECT_EQ(Pixel(lr_Pixels, 800, 110, 69), 0u);

    ASSERT_EQ(mr_Control_->GetCopies().size(), 1u);
    const SoftCopyRecord& lr_Copy = mr_Control_->GetCopies()[0];
    EXPECT_EQ(lr_Copy.Source, mr_Back_);
    EXPECT_EQ(lr_Copy.Dest, mr_TargetLevel_);
    EXPECT_EQ(lr_Copy.SourceRect.right, 110);
    EXPECT_EQ(lr_Copy.Filter, D3DTEXF_NONE);
    EXPECT_EQ(lr_Copy.Result, D3D_OK);
}

TEST_F(StretchRectTests, NullRectanglesMeanWholeSurfaces) {
    FillNumbered(mr_Back_);
    ASSERT_EQ(mr_Device_->StretchRect(mr_Back_, nullptr, mr_TargetLevel_, nullptr, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(ReadPixels(mr_TargetLevel_), ReadPixels(mr_Back_));
    const SoftCopyRecord& lr_Copy = mr_Control_->GetCopies().back();
    EXPECT_EQ(lr_Copy.SourceRect.right, 800);
    EXPECT_EQ(lr_Copy.DestRect.bottom, 600);
}

TEST_F(StretchRectTests, StretchingSamplesPointOrLinear) {
    IDirect3DSurface9* lr_Source_ = MakeTarget(2, 1, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* lr_Dest_ = MakeTarget(4, 1, D3DFMT_A8R8G8B8);
    std::vector<BYTE> lr_Two{0, 0, 0, 0, 200, 100, 40, 255};  // B G R A of two pixels
    ASSERT_EQ(mr_Control_->WritePixels(lr_Source_, lr_Two), D3D_OK);

    ASSERT_EQ(mr_Device_->StretchRect(lr_Source_, nullptr, lr_Dest_, nullptr, D3DTEXF_POINT), D3D_OK);
    std::vector<BYTE> lr_Point = ReadPixels(lr_Dest_);
    EXPECT_EQ(Pixel(lr_Point, 4, 0, 0), Pixel(lr_Two, 2, 0, 0));
    EXPECT_EQ(Pixel(lr_Point, 4, 1, 0), Pixel(lr_Two, 2, 0, 0));
    EXPECT_EQ(Pixel(lr_Point, 4, 2, 0), Pixel(lr_Two, 2, 1, 0));
    EXPECT_EQ(Pixel(lr_Point, 4, 3, 0), Pixel(lr_Two, 2, 1, 0));

    ASSERT_EQ(mr_Device_->StretchRect(lr_Source_, nullptr, lr_Dest_, nullptr, D3DTEXF_LINEAR), D3D_OK);
    std::vector<BYTE> lr_Linear = ReadPixels(lr_Dest_);
    // Pixel 1 samples at source x 0.25: a quarter of the way to the second pixel.
    EXPECT_EQ(lr_Linear[4 + 0], 50);
    EXPECT_EQ(lr_Linear[4 + 1], 25);
    EXPECT_EQ(lr_Linear[4 + 2], 10);
    EXPECT_EQ(Pixel(lr_Linear, 4, 0, 0), 0u);
    EXPECT_EQ(Pixel(lr_Linear, 4, 3, 0), Pixel(lr_Two, 2, 1, 0));
    lr_Source_->Release();
    lr_Dest_->Release();
}

TEST_F(StretchRectTests, RefusesSurfacesOutsideTheDefaultPool) {
    IDirect3DSurface9* lr_System_ = MakePlain(800, 600, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(mr_Device_->StretchRect(lr_System_, nullptr, mr_TargetLevel_, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, nullptr, lr_System_, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    lr_System_->Release();
    IDirect3DTexture9* lr_Managed_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(800, 600, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &lr_Managed_, nullptr),
              D3D_OK);
    IDirect3DSurface9* lr_Level_ = nullptr;
    lr_Managed_->GetSurfaceLevel(0, &lr_Level_);
    EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, nullptr, lr_Level_, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->StretchRect(lr_Level_, nullptr, mr_Back_, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    lr_Level_->Release();
    lr_Managed_->Release();
    // Every call is recorded with its result.
    ASSERT_EQ(mr_Control_->GetCopies().size(), 4u);
    EXPECT_EQ(mr_Control_->GetCopies()[0].Result, D3DERR_INVALIDCALL);
}

TEST_F(StretchRectTests, RefusesDestinationsThatAreNotRenderTargets) {
    IDirect3DTexture9* lr_Plain_ = nullptr;
    ASSERT_EQ(
        mr_Device_->CreateTexture(800, 600, 1, D3DUSAGE_DYNAMIC, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &lr_Plain_, nullptr),
        D3D_OK);
    IDirect3DSurface9* lr_Level_ = nullptr;
    lr_Plain_->GetSurfaceLevel(0, &lr_Level_);
    EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, nullptr, lr_Level_, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    lr_Level_->Release();
    lr_Plain_->Release();

    // An off-screen plain destination takes only an off-screen plain source.
    IDirect3DSurface9* lr_PlainA_ = MakePlain(800, 600, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT);
    IDirect3DSurface9* lr_PlainB_ = MakePlain(800, 600, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT);
    EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, nullptr, lr_PlainA_, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    FillNumbered(lr_PlainA_);
    EXPECT_EQ(mr_Device_->StretchRect(lr_PlainA_, nullptr, lr_PlainB_, nullptr, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(ReadPixels(lr_PlainB_), ReadPixels(lr_PlainA_));
    // ...and may be the source of a copy into a render target.
    EXPECT_EQ(mr_Device_->StretchRect(lr_PlainA_, nullptr, mr_TargetLevel_, nullptr, D3DTEXF_NONE), D3D_OK);
    lr_PlainA_->Release();
    lr_PlainB_->Release();
}

TEST_F(StretchRectTests, RefusesBadRectanglesFiltersFormatsAndSelfCopies) {
    RECT lr_Outside{700, 500, 801, 600};
    RECT lr_Empty{10, 10, 10, 20};
    RECT lr_Inverted{20, 20, 10, 30};
    RECT lr_Negative{-1, 0, 10, 10};
    for (const RECT& lr_Rect : {lr_Outside, lr_Empty, lr_Inverted, lr_Negative}) {
        EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, &lr_Rect, mr_TargetLevel_, nullptr, D3DTEXF_NONE),
                  D3DERR_INVALIDCALL);
        EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, nullptr, mr_TargetLevel_, &lr_Rect, D3DTEXF_NONE),
                  D3DERR_INVALIDCALL);
    }
    RECT lr_Left{0, 0, 100, 100};
    RECT lr_Right{200, 0, 300, 100};
    EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, &lr_Left, mr_Back_, &lr_Right, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, nullptr, mr_TargetLevel_, nullptr, D3DTEXF_ANISOTROPIC),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, nullptr, mr_TargetLevel_, nullptr, D3DTEXF_GAUSSIANQUAD),
              D3DERR_INVALIDCALL);
    IDirect3DSurface9* lr_Other_ = MakeTarget(800, 600, D3DFMT_A8R8G8B8);
    EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, nullptr, lr_Other_, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    lr_Other_->Release();
    EXPECT_EQ(mr_Device_->StretchRect(nullptr, nullptr, mr_TargetLevel_, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, nullptr, nullptr, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    // The right call still works after all the refusals.
    EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, nullptr, mr_TargetLevel_, nullptr, D3DTEXF_LINEAR), D3D_OK);
}

TEST_F(StretchRectTests, DepthStencilCopiesAreWholeAndOutsideAScene) {
    IDirect3DSurface9* lr_Depth_ = nullptr;
    ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&lr_Depth_), D3D_OK);
    IDirect3DSurface9* lr_Copy_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateDepthStencilSurface(800, 600, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Copy_,
                                                    nullptr),
              D3D_OK);
    IDirect3DSurface9* lr_Small_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateDepthStencilSurface(400, 300, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Small_,
                                                    nullptr),
              D3D_OK);
    ASSERT_EQ(mr_Device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 0.5f, 7), D3D_OK);

    RECT lr_Part{0, 0, 100, 100};
    EXPECT_EQ(mr_Device_->StretchRect(lr_Depth_, &lr_Part, lr_Copy_, &lr_Part, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->StretchRect(lr_Depth_, nullptr, lr_Small_, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->StretchRect(lr_Depth_, nullptr, mr_TargetLevel_, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->StretchRect(mr_Back_, nullptr, lr_Copy_, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    ASSERT_EQ(mr_Device_->BeginScene(), D3D_OK);
    EXPECT_EQ(mr_Device_->StretchRect(lr_Depth_, nullptr, lr_Copy_, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    ASSERT_EQ(mr_Device_->EndScene(), D3D_OK);
    EXPECT_EQ(mr_Device_->StretchRect(lr_Depth_, nullptr, lr_Copy_, nullptr, D3DTEXF_NONE), D3D_OK);
    std::vector<BYTE> lr_Pixels = ReadPixels(lr_Copy_);
    DWORD lr_Value;
    std::memcpy(&lr_Value, &lr_Pixels[4 * 1234], 4);
    EXPECT_EQ(lr_Value & 0xFF, 7u);
    EXPECT_NEAR(static_cast<double>(lr_Value >> 8) / 16777215.0, 0.5, 1e-6);
    lr_Small_->Release();
    lr_Copy_->Release();
    lr_Depth_->Release();
}

TEST_F(StretchRectTests, ColorFillAndClearWritePixels) {
    ASSERT_EQ(mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(0x12, 0x34, 0x56, 0x78), 1.0f, 0), D3D_OK);
    std::vector<BYTE> lr_Pixels = ReadPixels(mr_Back_);
    // X8R8G8B8 stores an opaque X byte.
    EXPECT_EQ(Pixel(lr_Pixels, 800, 799, 599), 0xFF345678u);
    D3DRECT lr_Rect{10, 10, 20, 20};
    D3DVIEWPORT9 lr_View{0, 0, 15, 15, 0.0f, 1.0f};
    ASSERT_EQ(mr_Device_->SetViewport(&lr_View), D3D_OK);
    ASSERT_EQ(mr_Device_->Clear(1, &lr_Rect, D3DCLEAR_TARGET, D3DCOLOR_XRGB(1, 2, 3), 1.0f, 0), D3D_OK);
    lr_Pixels = ReadPixels(mr_Back_);
    EXPECT_EQ(Pixel(lr_Pixels, 800, 14, 14), 0xFF010203u);  // inside rectangle and viewport
    EXPECT_EQ(Pixel(lr_Pixels, 800, 15, 15), 0xFF345678u);  // outside the viewport
    EXPECT_EQ(Pixel(lr_Pixels, 800, 9, 9), 0xFF345678u);    // outside the rectangle
    EXPECT_EQ(mr_Device_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);

    RECT lr_Fill{1, 2, 3, 4};
    ASSERT_EQ(mr_Device_->ColorFill(mr_TargetLevel_, &lr_Fill, D3DCOLOR_XRGB(9, 8, 7)), D3D_OK);
    lr_Pixels = ReadPixels(mr_TargetLevel_);
    EXPECT_EQ(Pixel(lr_Pixels, 800, 2, 3), 0xFF090807u);
    EXPECT_EQ(Pixel(lr_Pixels, 800, 3, 3), 0u);
    RECT lr_Outside{790, 590, 801, 600};
    EXPECT_EQ(mr_Device_->ColorFill(mr_TargetLevel_, &lr_Outside, 0), D3DERR_INVALIDCALL);
    IDirect3DSurface9* lr_System_ = MakePlain(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(mr_Device_->ColorFill(lr_System_, nullptr, 0), D3DERR_INVALIDCALL);
    lr_System_->Release();
}

TEST_F(StretchRectTests, ClearOfDepthAloneKeepsTheStencil) {
    IDirect3DSurface9* lr_Depth_ = nullptr;
    ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&lr_Depth_), D3D_OK);
    ASSERT_EQ(mr_Device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0x5A), D3D_OK);
    ASSERT_EQ(mr_Device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0), D3D_OK);
    std::vector<BYTE> lr_Pixels = ReadPixels(lr_Depth_);
    EXPECT_EQ(Pixel(lr_Pixels, 800, 5, 5), 0x0000005Au);
    ASSERT_EQ(mr_Device_->SetDepthStencilSurface(nullptr), D3D_OK);
    EXPECT_EQ(mr_Device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(mr_Device_->SetDepthStencilSurface(lr_Depth_), D3D_OK);
    lr_Depth_->Release();
}

TEST_F(StretchRectTests, StretchingMapsPixelCentresIntoTheSource) {
    auto lr_Floats = [](const std::vector<float>& values) {
        std::vector<BYTE> lr_Bytes(values.size() * 4);
        std::memcpy(lr_Bytes.data(), values.data(), lr_Bytes.size());
        return lr_Bytes;
    };
    auto lr_Read = [&](IDirect3DSurface9* surface) {
        std::vector<BYTE> lr_Bytes = ReadPixels(surface);
        std::vector<float> lr_Values(lr_Bytes.size() / 4);
        std::memcpy(lr_Values.data(), lr_Bytes.data(), lr_Bytes.size());
        return lr_Values;
    };
    IDirect3DSurface9* lr_Four_ = MakeTarget(4, 1, D3DFMT_R32F);
    IDirect3DSurface9* lr_Two_ = MakeTarget(2, 1, D3DFMT_R32F);
    IDirect3DSurface9* lr_Three_ = MakeTarget(3, 1, D3DFMT_R32F);
    ASSERT_EQ(mr_Control_->WritePixels(lr_Four_, lr_Floats({100, 1, 2, 200})), D3D_OK);
    // Down 4 -> 2: centres land on source x 1 and 3, the texel boundaries.
    ASSERT_EQ(mr_Device_->StretchRect(lr_Four_, nullptr, lr_Two_, nullptr, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(lr_Read(lr_Two_), (std::vector<float>{1, 200}));
    ASSERT_EQ(mr_Device_->StretchRect(lr_Four_, nullptr, lr_Two_, nullptr, D3DTEXF_LINEAR), D3D_OK);
    EXPECT_EQ(lr_Read(lr_Two_), (std::vector<float>{50.5f, 101}));
    // Down 4 -> 3: source x 2/3, 2 and 10/3.
    ASSERT_EQ(mr_Device_->StretchRect(lr_Four_, nullptr, lr_Three_, nullptr, D3DTEXF_POINT), D3D_OK);
    EXPECT_EQ(lr_Read(lr_Three_), (std::vector<float>{100, 2, 200}));
    // A source rectangle clamps at its own edges, not the surface's: [1, 3) up to 3 pixels.
    RECT lr_Middle{1, 0, 3, 1};
    ASSERT_EQ(mr_Device_->StretchRect(lr_Four_, &lr_Middle, lr_Three_, nullptr, D3DTEXF_LINEAR), D3D_OK);
    std::vector<float> lr_Up = lr_Read(lr_Three_);
    EXPECT_EQ(lr_Up[0], 1.0f);  // source x 1/3 - 1/2: clamped
    EXPECT_EQ(lr_Up[1], 1.5f);  // halfway
    EXPECT_EQ(lr_Up[2], 2.0f);
    lr_Four_->Release();
    lr_Two_->Release();
    lr_Three_->Release();

    // Up 2 x 2 -> 4 x 4 LINEAR: pixel (1, 1) samples a quarter of the way in both directions.
    IDirect3DSurface9* lr_Small_ = MakeTarget(2, 2, D3DFMT_R32F);
    IDirect3DSurface9* lr_Big_ = MakeTarget(4, 4, D3DFMT_R32F);
    ASSERT_EQ(mr_Control_->WritePixels(lr_Small_, lr_Floats({0, 16, 32, 64})), D3D_OK);
    ASSERT_EQ(mr_Device_->StretchRect(lr_Small_, nullptr, lr_Big_, nullptr, D3DTEXF_LINEAR), D3D_OK);
    std::vector<float> lr_Big = lr_Read(lr_Big_);
    EXPECT_EQ(lr_Big[1 * 4 + 1], 16 * 0.1875f + 32 * 0.1875f + 64 * 0.0625f);
    EXPECT_EQ(lr_Big[2 * 4 + 2], 16 * 0.1875f + 32 * 0.1875f + 64 * 0.5625f);
    EXPECT_EQ(lr_Big[3 * 4 + 0], 32.0f);
    lr_Small_->Release();
    lr_Big_->Release();

    // 8-bit channels round to the nearest step: 10 * 0.75 + 21 * 0.25 = 12.75 and 10 * 0.25 + 21 * 0.75 = 18.25.
    IDirect3DSurface9* lr_Pair_ = MakeTarget(2, 1, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* lr_Wide_ = MakeTarget(4, 1, D3DFMT_A8R8G8B8);
    ASSERT_EQ(mr_Control_->WritePixels(lr_Pair_, {10, 0, 0, 0, 21, 0, 0, 0}), D3D_OK);
    ASSERT_EQ(mr_Device_->StretchRect(lr_Pair_, nullptr, lr_Wide_, nullptr, D3DTEXF_LINEAR), D3D_OK);
    std::vector<BYTE> lr_Wide = ReadPixels(lr_Wide_);
    EXPECT_EQ(lr_Wide[4], 13);
    EXPECT_EQ(lr_Wide[8], 18);
    lr_Pair_->Release();
    lr_Wide_->Release();
}
