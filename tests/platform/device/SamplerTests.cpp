// Texture sampling: filters, texel centres, address modes and mip levels.
#include "pipeline/SoftTextureSampler.h"

#include "SoftDeviceFixture.h"

#include <cmath>
#include <cstring>
#include <vector>

class SamplerTests : public SoftDeviceFixture {
protected:
    void SetUp() override {
        SoftDeviceFixture::SetUp();
        // The device's defaults.
        std::memset(mr_States, 0, sizeof(mr_States));
        for (auto& lr_Row : mr_States) {
            lr_Row[D3DSAMP_ADDRESSU] = lr_Row[D3DSAMP_ADDRESSV] = lr_Row[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
            lr_Row[D3DSAMP_MAGFILTER] = lr_Row[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
            lr_Row[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
            lr_Row[D3DSAMP_MAXANISOTROPY] = 1;
        }
    }
    void TearDown() override {
        for (IDirect3DBaseTexture9*& lr_Texture_ : mr_Textures)
            if (lr_Texture_) lr_Texture_->Release();
        SoftDeviceFixture::TearDown();
    }

    // A managed texture on stage 0 whose level l holds levels[l], rows packed.
    void MakeTexture(UINT width, UINT height, D3DFORMAT format, const std::vector<std::vector<BYTE>>& levels) {
        IDirect3DTexture9* lr_Texture_ = nullptr;
        ASSERT_EQ(mr_Device_->CreateTexture(width, height, static_cast<UINT>(levels.size()), 0, format, D3DPOOL_MANAGED,
                                            &lr_Texture_, nullptr),
                  D3D_OK);
        if (mr_Textures[0]) mr_Textures[0]->Release();
        mr_Textures[0] = lr_Texture_;
        for (UINT l = 0; l < levels.size(); ++l) {
            D3DSURFACE_DESC lr_Desc;
            lr_Texture_->GetLevelDesc(l, &lr_Desc);
            D3DLOCKED_RECT lr_Lock;
            ASSERT_EQ(lr_Texture_->LockRect(l, &lr_Lock, nullptr, 0), D3D_OK);
            size_t lr_Row = levels[l].size() / lr_Desc.Height;
            for (UINT y = 0; y < lr_Desc.Height; ++y)
                std::memcpy(static_cast<BYTE*>(lr_Lock.pBits) + y * lr_Lock.Pitch, &levels[l][y * lr_Row], lr_Row);
            lr_Texture_->UnlockRect(l);
        }
    }
    static std::vector<BYTE> Floats(const std::vector<float>& values) {
        std::vector<BYTE> lr_Bytes(values.size() * 4);
        std::memcpy(lr_Bytes.data(), values.data(), lr_Bytes.size());
        return lr_Bytes;
    }
    void SetFloat(DWORD state, float value) { std::memcpy(&mr_States[0][state], &value, 4); }

    // Stage 0 at (u, v) with the derivatives (dx, 0) and (0, dy).
    std::vector<float> Sample(float u, float v, float dx = 0, float dy = 0, SoftLodMode mode = SoftLodMode::Implicit,
                              float lod = 0, UINT stage = 0) {
        mr_Sampler.Bind(mr_Textures, mr_States);
        const float lr_Coord[4] = {u, v, 0, 1}, lr_Ddx[4] = {dx, 0, 0, 0}, lr_Ddy[4] = {0, dy, 0, 0};
        std::vector<float> lr_Out(4, -1.0f);
        mr_Sampler.Sample(stage, lr_Coord, lr_Ddx, lr_Ddy, mode, lod, lr_Out.data());
        return lr_Out;
    }
    float Red(float u, float v, float dx = 0, float dy = 0, SoftLodMode mode = SoftLodMode::Implicit, float lod = 0) {
        return Sample(u, v, dx, dy, mode, lod)[0];
    }

    IDirect3DBaseTexture9* mr_Textures[16] = {};
    DWORD mr_States[16][14];
    SoftTextureSampler mr_Sampler;
};

TEST_F(SamplerTests, UnboundAndUnreadableStagesReadOpaqueBlack) {
    const std::vector<float> lr_Black{0, 0, 0, 1};
    EXPECT_EQ(Sample(0.5f, 0.5f), lr_Black);
    EXPECT_EQ(Sample(0.5f, 0.5f, 0, 0, SoftLodMode::Implicit, 0, 16), lr_Black);
    IDirect3DTexture9* lr_Compressed_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &lr_Compressed_, nullptr), D3D_OK);
    mr_Textures[0] = lr_Compressed_;
    EXPECT_EQ(Sample(0.5f, 0.5f), lr_Black);
    IDirect3DCubeTexture9* lr_Cube_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Cube_, nullptr), D3D_OK);
    mr_Textures[1] = lr_Cube_;
    EXPECT_EQ(Sample(0.5f, 0.5f, 0, 0, SoftLodMode::Implicit, 0, 1), lr_Black);
}

TEST_F(SamplerTests, TexelCentresReadExactlyAndLinearBlendsBetweenThem) {
    // 13 x 1 A8R8G8B8 (texel i holds bytes B G R A = 4i+1 .. 4i+4): centres at u = (i + 0.5) / 13
    // read each texel bit for bit, POINT or LINEAR, though (3.5 / 13) * 13 is not 3.5 in floats.
    std::vector<BYTE> lr_Bytes(13 * 4);
    for (size_t b = 0; b < lr_Bytes.size(); ++b) lr_Bytes[b] = static_cast<BYTE>(b + 1);
    MakeTexture(13, 1, D3DFMT_A8R8G8B8, {lr_Bytes});
    for (DWORD lr_Filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        mr_States[0][D3DSAMP_MAGFILTER] = lr_Filter;
        for (int i = 0; i < 13; ++i) {
            std::vector<float> lr_Texel = Sample((i + 0.5f) / 13, 0.5f);
            const float lr_Expected[4] = {(4 * i + 3) / 255.0f, (4 * i + 2) / 255.0f, (4 * i + 1) / 255.0f,
                                          (4 * i + 4) / 255.0f};
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(lr_Texel[c], lr_Expected[c]) << "filter " << lr_Filter << " texel " << i;
        }
    }
    // POINT reads the texel whose area holds the coordinate.
    mr_States[0][D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    EXPECT_EQ(Sample(0.99f / 13, 0.5f)[2], 1 / 255.0f);
    EXPECT_EQ(Sample(1.01f / 13, 0.5f)[2], 5 / 255.0f);

    // 4 x 2 R32F: halfway between two texels, between four, and a quarter of the way.
    MakeTexture(4, 2, D3DFMT_R32F, {Floats({0, 4, 8, 16, 32, 64, 128, 256})});
    mr_States[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
    EXPECT_EQ(Red(0.25f, 0.25f), 2.0f);
    EXPECT_EQ(Red(0.5f, 0.75f), 96.0f);
    EXPECT_EQ(Red(0.25f, 0.5f), (0 + 4 + 32 + 64) / 4.0f);
    EXPECT_EQ(Red(0.1875f, 0.25f), 1.0f);
}

TEST_F(SamplerTests, AddressModesAtAndBeyondTheEdges) {
    MakeTexture(4, 1, D3DFMT_R32F, {Floats({1, 2, 3, 4})});
    // Texel i for i = -5..8 (centre of each), value = wrapped index + 1.
    struct ModeCase {
        DWORD Mode;
        float Values[14];
    };
    const ModeCase lr_Cases[] = {
        {D3DTADDRESS_WRAP, {4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1}},
        {D3DTADDRESS_MIRROR, {4, 4, 3, 2, 1, 1, 2, 3, 4, 4, 3, 2, 1, 1}},
        {D3DTADDRESS_MIRRORONCE, {4, 4, 3, 2, 1, 1, 2, 3, 4, 4, 4, 4, 4, 4}},
        {D3DTADDRESS_CLAMP, {1, 1, 1, 1, 1, 1, 2, 3, 4, 4, 4, 4, 4, 4}},
        {D3DTADDRESS_BORDER, {0, 0, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0, 0}},
    };
    mr_States[0][D3DSAMP_BORDERCOLOR] = D3DCOLOR_ARGB(0x80, 0x00, 0xFF, 0x33);
    for (const ModeCase& lr_Case : lr_Cases) {
        mr_States[0][D3DSAMP_ADDRESSU] = lr_Case.Mode;
        for (int i = -5; i <= 8; ++i)
            EXPECT_EQ(Red((i + 0.5f) / 4, 0.5f), lr_Case.Values[i + 5]) << "mode " << lr_Case.Mode << " texel " << i;
    }
    // The border colour is the whole texel: (r, g, b, a) of the D3DCOLOR.
    EXPECT_EQ(Sample(-0.5f, 0.5f), (std::vector<float>{0.0f, 1.0f, 0.2f, 128 / 255.0f}));

    // LINEAR at the left edge: half of texel 0 and half of what lies beyond.
    mr_States[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
    std::vector<float> lr_Border = Sample(0.0f, 0.5f);
    EXPECT_EQ(lr_Border[0], 0.5f);
    EXPECT_EQ(lr_Border[3], (1.0f + 128 / 255.0f) / 2);
    mr_States[0][D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    EXPECT_EQ(Red(0.0f, 0.5f), 2.5f);
    mr_States[0][D3DSAMP_ADDRESSU] = D3DTADDRESS_CLAMP;
    EXPECT_EQ(Red(0.0f, 0.5f), 1.0f);

    // U and V follow their own modes.
    MakeTexture(2, 2, D3DFMT_R32F, {Floats({1, 2, 3, 4})});
    mr_States[0][D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    mr_States[0][D3DSAMP_ADDRESSU] = D3DTADDRESS_CLAMP;
    mr_States[0][D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    EXPECT_EQ(Red(1.75f, 1.25f), 2.0f);    // column 1 (clamped), row 0 (wrapped)
    EXPECT_EQ(Red(-0.25f, -0.25f), 3.0f);  // column 0, row 1
}

TEST_F(SamplerTests, MipLevelFollowsDerivativesBiasAndMaxMipLevel) {
    // 8 x 8, four levels; every texel of level l holds 10 * l.
    std::vector<std::vector<BYTE>> lr_Levels;
    for (int l = 0; l < 4; ++l) lr_Levels.push_back(Floats(std::vector<float>((8 >> l) * (8 >> l), 10.0f * l)));
    MakeTexture(8, 8, D3DFMT_R32F, lr_Levels);
    mr_States[0][D3DSAMP_MIPFILTER] = D3DTEXF_POINT;
    const float lr_Texel = 1.0f / 8;
    EXPECT_EQ(Red(0.5f, 0.5f, lr_Texel, lr_Texel), 0.0f);       // one texel per pixel: level 0
    EXPECT_EQ(Red(0.5f, 0.5f, 2 * lr_Texel, lr_Texel), 10.0f);  // lod 1
    EXPECT_EQ(Red(0.5f, 0.5f, lr_Texel, 4 * lr_Texel), 20.0f);  // the larger derivative counts
    EXPECT_EQ(Red(0.5f, 0.5f, 2.75f * lr_Texel, 0), 10.0f);     // lod 1.46: nearest is 1
    EXPECT_EQ(Red(0.5f, 0.5f, 2.9f * lr_Texel, 0), 20.0f);      // lod 1.54: nearest is 2
    EXPECT_EQ(Red(0.5f, 0.5f, 100 * lr_Texel, 0), 30.0f);       // beyond the chain: the last level
    EXPECT_EQ(Red(0.5f, 0.5f, 0, 0, SoftLodMode::Explicit, 3), 30.0f);
    EXPECT_EQ(Red(0.5f, 0.5f, 2 * lr_Texel, 0, SoftLodMode::Bias, 1), 20.0f);

    // LINEAR between levels: lod 1.5 is half level 1, half level 2.
    mr_States[0][D3DSAMP_MIPFILTER] = D3DTEXF_LINEAR;
    EXPECT_NEAR(Red(0.5f, 0.5f, std::sqrt(8.0f) * lr_Texel, 0), 15.0f, 1e-4f);
    EXPECT_EQ(Red(0.5f, 0.5f, 0, 0, SoftLodMode::Explicit, 2.25f), 22.5f);

    // MIPMAPLODBIAS adds to every level of detail, derivatives or explicit.
    SetFloat(D3DSAMP_MIPMAPLODBIAS, 1.0f);
    EXPECT_EQ(Red(0.5f, 0.5f, 2 * lr_Texel, 0), 20.0f);
    EXPECT_EQ(Red(0.5f, 0.5f, 0, 0, SoftLodMode::Explicit, 1.5f), 25.0f);
    SetFloat(D3DSAMP_MIPMAPLODBIAS, -1.0f);
    EXPECT_EQ(Red(0.5f, 0.5f, 2 * lr_Texel, 0), 0.0f);
    SetFloat(D3DSAMP_MIPMAPLODBIAS, 0.0f);

    // MAXMIPLEVEL is the most detailed level read, for magnification too.
    mr_States[0][D3DSAMP_MAXMIPLEVEL] = 2;
    EXPECT_EQ(Red(0.5f, 0.5f, 2 * lr_Texel, 0), 20.0f);
    EXPECT_EQ(Red(0.5f, 0.5f, lr_Texel / 4, 0), 20.0f);
    EXPECT_EQ(Red(0.5f, 0.5f, 8 * lr_Texel, 0), 30.0f);
    // MIPFILTER NONE reads only that level.
    mr_States[0][D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    mr_States[0][D3DSAMP_MAXMIPLEVEL] = 1;
    EXPECT_EQ(Red(0.5f, 0.5f, 8 * lr_Texel, 0), 10.0f);
    // A managed texture's LOD raises it further.
    mr_Textures[0]->SetLOD(3);
    EXPECT_EQ(Red(0.5f, 0.5f, lr_Texel, 0), 30.0f);
}

TEST_F(SamplerTests, MagnificationAndMinificationUseTheirOwnFilters) {
    // Between the two texel centres of a 2 x 1 texture: LINEAR gives the mean, POINT texel 1.
    MakeTexture(2, 1, D3DFMT_R32F, {Floats({0, 10})});
    mr_States[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
    mr_States[0][D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    EXPECT_EQ(Red(0.5f, 0.5f, 0.25f, 0.25f), 5.0f);  // half a texel per pixel
    EXPECT_EQ(Red(0.5f, 0.5f, 1.0f, 0), 10.0f);      // two texels per pixel
    mr_States[0][D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    mr_States[0][D3DSAMP_MINFILTER] = D3DTEXF_ANISOTROPIC;  // filtered as LINEAR
    EXPECT_EQ(Red(0.5f, 0.5f, 0.25f, 0.25f), 10.0f);
    EXPECT_EQ(Red(0.5f, 0.5f, 1.0f, 0), 5.0f);
}

TEST_F(SamplerTests, SrgbTexturesReadLinearColour) {
    MakeTexture(1, 1, D3DFMT_A8R8G8B8, {{0x80, 0x05, 0xFF, 0x80}});
    mr_States[0][D3DSAMP_SRGBTEXTURE] = TRUE;
    std::vector<float> lr_Texel = Sample(0.5f, 0.5f);
    EXPECT_FLOAT_EQ(lr_Texel[1], 5 / 255.0f / 12.92f);  // the linear toe
    EXPECT_NEAR(lr_Texel[2], std::pow((128 / 255.0 + 0.055) / 1.055, 2.4), 1e-6);
    EXPECT_EQ(lr_Texel[3], 128 / 255.0f);  // alpha is not converted
}

// Fixed-point filtering rounds each of its two blends to a whole 1/255; the
// float blend rounds nothing. Texels 10, 11 over 20, 21 read halfway across
// and a quarter down: float 10.5 + 10 / 4 = 13, fixed 11 + 10 / 4 -> 14.
// Channels that are not 8-bit keep the float blend.
TEST_F(SamplerTests, FixedPointFilteringRoundsEachBlendOfEightBitChannels) {
    // A8R8G8B8 texels (B, G, R, A) with these reds.
    auto Reds = [](std::initializer_list<BYTE> reds) {
        std::vector<BYTE> lr_Bytes(reds.size() * 4, 0);
        size_t lr_At = 0;
        for (BYTE lr_Red : reds) {
            lr_Bytes[lr_At + 2] = lr_Red;
            lr_Bytes[lr_At + 3] = 255;
            lr_At += 4;
        }
        return lr_Bytes;
    };
    MakeTexture(2, 2, D3DFMT_A8R8G8B8, {Reds({10, 11, 20, 21})});
    mr_States[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
    EXPECT_FLOAT_EQ(Red(0.5f, 0.375f), 13 / 255.0f);
    mr_Sampler.SetFixedPointBlend(true);
    EXPECT_EQ(Red(0.5f, 0.375f), 14 / 255.0f);
    // A falling blend rounds down from its half: 21, 20 over 10, 9 gives 21
    // over 10, then 21 - 2.75 + 0.5 -> 18 (19 if it rounded toward zero).
    MakeTexture(2, 2, D3DFMT_A8R8G8B8, {Reds({21, 20, 10, 9})});
    EXPECT_EQ(Red(0.5f, 0.375f), 18 / 255.0f);
    MakeTexture(2, 2, D3DFMT_R32F, {Floats({10, 11, 20, 21})});
    EXPECT_EQ(Red(0.5f, 0.375f), 13.0f);
    mr_Sampler.SetFixedPointBlend(false);
}
