// The output merger of the software device: depth test and write at each
// depth format's precision, alpha test, blending and the colour write mask.
// Expected colours are worked out by hand in 1/255 steps.
#include "RasterTestUtil.h"

#include <tuple>

using namespace raster_test;

namespace {

struct DepthCase {
    D3DFORMAT Format;
    bool Write;
};

// Stored value of depth z: UNORM at the format's precision, rounded half up.
DWORD Quantised(D3DFORMAT format, double z) {
    return static_cast<DWORD>(z * (format == D3DFMT_D16 ? 65535.0 : 16777215.0) + 0.5);
}

}  // namespace

class DepthTest : public RasterFixture, public ::testing::WithParamInterface<DepthCase> {
protected:
    void SetUp() override {
        RasterFixture::SetUp();
        ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&mr_AutoDepth_), D3D_OK);
        ASSERT_EQ(mr_Device_->CreateDepthStencilSurface(k_Size, k_Size, GetParam().Format, D3DMULTISAMPLE_NONE, 0,
                                                        FALSE, &mr_Depth_, nullptr),
                  D3D_OK);
        mr_Device_->SetDepthStencilSurface(mr_Depth_);
        mr_Device_->SetRenderState(D3DRS_ZWRITEENABLE, GetParam().Write);
    }
    void TearDown() override {
        mr_Device_->SetDepthStencilSurface(mr_AutoDepth_);
        if (mr_AutoDepth_) mr_AutoDepth_->Release();
        if (mr_Depth_) mr_Depth_->Release();
        RasterFixture::TearDown();
    }
    DWORD StoredDepth() const {
        std::vector<BYTE> lr_Bytes = ReadPixels(mr_Depth_);
        if (GetParam().Format == D3DFMT_D16) return lr_Bytes[0] | (lr_Bytes[1] << 8);
        DWORD lr_Value;
        std::memcpy(&lr_Value, lr_Bytes.data(), 4);
        return lr_Value >> 8;
    }
    // Draws at depth z over a buffer cleared to 0.5; true when the colour was written.
    bool DrawAt(DWORD func, float z) {
        mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 0.5f, 0);
        mr_Device_->SetRenderState(D3DRS_ZFUNC, func);
        DrawRect(0, 0, 16, 16, 0xFFFFFFFF, z);
        return Pixel(3, 3) == 0xFFFFFFFFu;
    }

    IDirect3DSurface9* mr_AutoDepth_ = nullptr;
    IDirect3DSurface9* mr_Depth_ = nullptr;
};

TEST_P(DepthTest, EachFunctionAtLowerEqualAndHigherDepth) {
    const D3DFORMAT lr_Format = GetParam().Format;
    // Passes at depth 0.25, 0.5 and 0.75 against a stored 0.5.
    struct Expect {
        DWORD Func;
        bool Lower, Equal, Higher;
    };
    const Expect k_Table[] = {{D3DCMP_NEVER, false, false, false},      {D3DCMP_LESS, true, false, false},
                              {D3DCMP_EQUAL, false, true, false},       {D3DCMP_LESSEQUAL, true, true, false},
                              {D3DCMP_GREATER, false, false, true},     {D3DCMP_NOTEQUAL, true, false, true},
                              {D3DCMP_GREATEREQUAL, false, true, true}, {D3DCMP_ALWAYS, true, true, true}};
    for (const Expect& lr_Expect : k_Table) {
        const std::tuple<float, bool> k_Draws[] = {
            {0.25f, lr_Expect.Lower}, {0.5f, lr_Expect.Equal}, {0.75f, lr_Expect.Higher}};
        for (const auto& [lr_Z, lr_Passes] : k_Draws) {
            EXPECT_EQ(DrawAt(lr_Expect.Func, lr_Z), lr_Passes) << lr_Expect.Func << " at " << lr_Z;
            bool lr_Written = lr_Passes && GetParam().Write;
            EXPECT_EQ(StoredDepth(), Quantised(lr_Format, lr_Written ? lr_Z : 0.5)) << lr_Expect.Func << " at " << lr_Z;
        }
    }
}

TEST_P(DepthTest, ComparesAtTheFormatsPrecision) {
    // 4e-6 above 0.5 is 0.26 of a 16-bit step but 67 steps of 24 bits.
    bool lr_Equal = DrawAt(D3DCMP_EQUAL, 0.500004f);
    EXPECT_EQ(lr_Equal, GetParam().Format == D3DFMT_D16);
    EXPECT_FALSE(DrawAt(D3DCMP_LESS, 0.500004f));
}

TEST_P(DepthTest, RoundsAHalfStepUpAsDirect3DConvertsFloatToUnorm) {
    // 1 - 2^-17 times 65535 is 65534.5 in single precision: Direct3D's
    // conversion (scale, add 0.5, drop the fraction) gives 65535, the
    // cleared 1.0; rounding the tie to even (as Mesa does) would give
    // 65534. At 24 bits the same depth lies 128 steps below 1.
    mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    mr_Device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_EQUAL);
    DrawRect(0, 0, 16, 16, 0xFFFFFFFF, 1.0f - 1.0f / 131072.0f);
    EXPECT_EQ(Pixel(3, 3) == 0xFFFFFFFFu, GetParam().Format == D3DFMT_D16);
}

INSTANTIATE_TEST_SUITE_P(Formats, DepthTest,
                         ::testing::Values(DepthCase{D3DFMT_D16, true}, DepthCase{D3DFMT_D16, false},
                                           DepthCase{D3DFMT_D24S8, true}, DepthCase{D3DFMT_D24S8, false}),
                         [](const ::testing::TestParamInfo<DepthCase>& info) {
                             return std::string(info.param.Format == D3DFMT_D16 ? "D16" : "D24S8") +
                                    (info.param.Write ? "Write" : "NoWrite");
                         });

using BlendTest = RasterFixture;

TEST_F(BlendTest, FactorsAndOperationsOverAKnownDestination) {
    const D3DCOLOR k_Dest = 0xFF204080;
    struct Case {
        const char* Name;
        DWORD Src, Dest, Op;
        D3DCOLOR Color, Expected;
    };
    // Dest (a, r, g, b) = (255, 32, 64, 128).
    const Case k_Cases[] = {
        // Source alpha 128/255: r = 255 a + 32 (1 - a) = 143.9, g 31.9, b 63.7, alpha 64.3 + 127 = 191.3.
        {"alpha", D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, 0x80FF0000, 0xBF902040},
        {"revsubtract", D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT, 0x00100010, 0xFF104070},
        {"subtract clamps", D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_SUBTRACT, 0x00300030, 0x00100000},
        {"max ignores factors", D3DBLEND_ZERO, D3DBLEND_ZERO, D3DBLENDOP_MAX, 0x30303030, 0xFF304080},
        {"min", D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_MIN, 0x30303030, 0x30203030},
        // Factor 64/255: r = 64 + 32 x 191/255 = 88, g 64 + 47.9, b 64 + 95.9, alpha 64 + 191.
        {"blend factor", D3DBLEND_BLENDFACTOR, D3DBLEND_INVBLENDFACTOR, D3DBLENDOP_ADD, 0xFFFFFFFF, 0xFF5870A0},
        // Destination colour times source colour: r = 32 x 128 / 255 = 16.1.
        {"dest color", D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0xFF808080, 0xFF102040},
    };
    mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    mr_Device_->SetRenderState(D3DRS_BLENDFACTOR, 0x40404040);
    for (const Case& lr_Case : k_Cases) {
        mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, k_Dest, 1.0f, 0);
        mr_Device_->SetRenderState(D3DRS_SRCBLEND, lr_Case.Src);
        mr_Device_->SetRenderState(D3DRS_DESTBLEND, lr_Case.Dest);
        mr_Device_->SetRenderState(D3DRS_BLENDOP, lr_Case.Op);
        DrawRect(0, 0, 4, 4, lr_Case.Color);
        EXPECT_EQ(Pixel(1, 1), lr_Case.Expected) << lr_Case.Name;
    }
}

TEST_F(BlendTest, SeparateAlphaAndWriteMask) {
    mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204080, 1.0f, 0);
    mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    mr_Device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    mr_Device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    mr_Device_->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
    mr_Device_->SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_ZERO);
    mr_Device_->SetRenderState(D3DRS_DESTBLENDALPHA, D3DBLEND_ONE);
    DrawRect(0, 0, 4, 4, 0x00112233);
    EXPECT_EQ(Pixel(1, 1), 0xFF112233u);

    mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    mr_Device_->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_ALPHA);
    mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204080, 1.0f, 0);
    DrawRect(0, 0, 4, 4, 0x00AABBCC);
    EXPECT_EQ(Pixel(1, 1), 0x00AA4080u);
    EXPECT_EQ(Pixel(5, 1), 0xFF204080u);
}

TEST_F(BlendTest, AlphaTestAgainstTheReference) {
    mr_Device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    mr_Device_->SetRenderState(D3DRS_ALPHAREF, 0x80);
    struct Case {
        DWORD Func;
        D3DCOLOR Color;
        bool Passes;
    };
    for (Case lr_Case : {Case{D3DCMP_GREATEREQUAL, 0x80FFFFFF, true}, Case{D3DCMP_GREATEREQUAL, 0x7FFFFFFF, false},
                         Case{D3DCMP_LESS, 0x7FFFFFFF, true}, Case{D3DCMP_EQUAL, 0x81FFFFFF, false},
                         Case{D3DCMP_NEVER, 0xFFFFFFFF, false}}) {
        mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        mr_Device_->SetRenderState(D3DRS_ALPHAFUNC, lr_Case.Func);
        DrawRect(0, 0, 4, 4, lr_Case.Color);
        EXPECT_EQ(LastDraw().PixelsShaded, 16u);
        EXPECT_EQ(LastDraw().PixelsWritten, lr_Case.Passes ? 16u : 0u) << lr_Case.Func << " " << lr_Case.Color;
        EXPECT_EQ(Pixel(1, 1), lr_Case.Passes ? lr_Case.Color : 0u);
    }
}
