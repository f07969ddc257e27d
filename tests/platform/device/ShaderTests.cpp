// Shader token streams: versions, entry names, GetFunction.
#include "DeviceTestUtil.h"
#include "SoftDeviceFixture.h"

#include <initializer_list>

using namespace device_test;

class ShaderTests : public SoftDeviceFixture {};

TEST_F(ShaderTests, EntryNameAndVersionComeFromTheStream) {
    std::vector<DWORD> lr_Tokens = ShaderTokens(D3DPS_VERSION(3, 0), "PS_Blur");
    IDirect3DPixelShader9* lr_Shader_ = nullptr;
    ASSERT_EQ(mr_Device_->CreatePixelShader(lr_Tokens.data(), &lr_Shader_), D3D_OK);
    UINT lr_Size = 0;
    ASSERT_EQ(lr_Shader_->GetFunction(nullptr, &lr_Size), D3D_OK);
    EXPECT_EQ(lr_Size, lr_Tokens.size() * sizeof(DWORD));
    std::vector<DWORD> lr_Back(lr_Tokens.size());
    ASSERT_EQ(lr_Shader_->GetFunction(lr_Back.data(), &lr_Size), D3D_OK);
    EXPECT_EQ(lr_Back, lr_Tokens);
    UINT lr_Small = 4;
    EXPECT_EQ(lr_Shader_->GetFunction(lr_Back.data(), &lr_Small), D3DERR_INVALIDCALL);

    // A ps_3_0 shader draws only beside a vs_3_0 one.
    std::vector<DWORD> lr_VertexTokens = ShaderTokens(D3DVS_VERSION(3, 0), "VS_Quad");
    IDirect3DVertexShader9* lr_Vertex_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateVertexShader(lr_VertexTokens.data(), &lr_Vertex_), D3D_OK);
    mr_Device_->SetVertexShader(lr_Vertex_);
    mr_Device_->SetPixelShader(lr_Shader_);
    IDirect3DVertexBuffer9* lr_Buffer_ = MakeVertexBuffer(mr_Device_, 3);
    mr_Device_->SetFVF(k_VertexFVF);
    mr_Device_->SetStreamSource(0, lr_Buffer_, 0, sizeof(Vertex));
    ASSERT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    EXPECT_EQ(mr_Control_->GetDraws().back().PixelShaderName, "PS_Blur");
    EXPECT_EQ(mr_Control_->GetDraws().back().PixelShaderVersion, static_cast<DWORD>(D3DPS_VERSION(3, 0)));
    EXPECT_EQ(mr_Control_->GetDraws().back().VertexShader, lr_Vertex_);
    mr_Device_->SetPixelShader(nullptr);
    mr_Device_->SetVertexShader(nullptr);
    ASSERT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    EXPECT_EQ(mr_Control_->GetDraws().back().PixelShaderVersion, 0u);
    EXPECT_TRUE(mr_Control_->GetDraws().back().PixelShaderName.empty());
    mr_Device_->SetStreamSource(0, nullptr, 0, 0);
    lr_Buffer_->Release();
    lr_Vertex_->Release();
    lr_Shader_->Release();
}

class ShaderPairingTests : public SoftDeviceFixture {
protected:
    void SetUp() override {
        SoftDeviceFixture::SetUp();
        if (HasFatalFailure()) return;
        mr_Pixel3_ = CreatePixel(D3DPS_VERSION(3, 0));
        mr_Pixel2_ = CreatePixel(D3DPS_VERSION(2, 0));
        mr_Vertex3_ = CreateVertex(D3DVS_VERSION(3, 0));
        mr_Vertex2_ = CreateVertex(D3DVS_VERSION(2, 0));
        mr_Buffer_ = MakeVertexBuffer(mr_Device_, 3);
        mr_Indices_ = MakeIndexBuffer(mr_Device_, {0, 1, 2});
        mr_Device_->SetFVF(k_VertexFVF);
    }
    void TearDown() override {
        if (!mr_Device_) return SoftDeviceFixture::TearDown();
        mr_Device_->SetPixelShader(nullptr);
        mr_Device_->SetVertexShader(nullptr);
        mr_Device_->SetStreamSource(0, nullptr, 0, 0);
        mr_Device_->SetIndices(nullptr);
        for (IUnknown* lr_Object_ : std::initializer_list<IUnknown*>{mr_Pixel3_, mr_Pixel2_, mr_Vertex3_, mr_Vertex2_,
                                                                     mr_Buffer_, mr_Indices_})
            if (lr_Object_) lr_Object_->Release();
        SoftDeviceFixture::TearDown();
    }

    IDirect3DPixelShader9* CreatePixel(DWORD version) {
        std::vector<DWORD> lr_Tokens = ShaderTokens(version, "PS");
        IDirect3DPixelShader9* lr_Shader_ = nullptr;
        EXPECT_EQ(mr_Device_->CreatePixelShader(lr_Tokens.data(), &lr_Shader_), D3D_OK);
        return lr_Shader_;
    }
    IDirect3DVertexShader9* CreateVertex(DWORD version) {
        std::vector<DWORD> lr_Tokens = ShaderTokens(version, "VS");
        IDirect3DVertexShader9* lr_Shader_ = nullptr;
        EXPECT_EQ(mr_Device_->CreateVertexShader(lr_Tokens.data(), &lr_Shader_), D3D_OK);
        return lr_Shader_;
    }

    // The four draw calls, in order, each with one triangle.
    std::vector<HRESULT> DrawAllWays() {
        std::vector<HRESULT> lr_Results;
        const Vertex lr_User[3] = {};
        const WORD lr_UserIndices[3] = {0, 1, 2};
        mr_Device_->SetStreamSource(0, mr_Buffer_, 0, sizeof(Vertex));
        mr_Device_->SetIndices(mr_Indices_);
        lr_Results.push_back(mr_Device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1));
        lr_Results.push_back(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1));
        lr_Results.push_back(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, lr_User, sizeof(Vertex)));
        lr_Results.push_back(mr_Device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, lr_UserIndices,
                                                                D3DFMT_INDEX16, lr_User, sizeof(Vertex)));
        return lr_Results;
    }

    size_t DrawsRecorded() { return mr_Control_->GetDraws().size(); }

    IDirect3DPixelShader9* mr_Pixel3_ = nullptr;
    IDirect3DPixelShader9* mr_Pixel2_ = nullptr;
    IDirect3DVertexShader9* mr_Vertex3_ = nullptr;
    IDirect3DVertexShader9* mr_Vertex2_ = nullptr;
    IDirect3DVertexBuffer9* mr_Buffer_ = nullptr;
    IDirect3DIndexBuffer9* mr_Indices_ = nullptr;
};

const std::vector<HRESULT> k_AllDrawn(4, D3D_OK);
const std::vector<HRESULT> k_NoneDrawn(4, D3DERR_INVALIDCALL);

TEST_F(ShaderPairingTests, PixelShaderThreeWithoutVertexShaderThreeIsRefused) {
    mr_Device_->SetPixelShader(mr_Pixel3_);
    const size_t lr_Before = DrawsRecorded();
    // Fixed-function vertex processing (here pre-transformed vertices).
    EXPECT_EQ(DrawAllWays(), k_NoneDrawn);
    mr_Device_->SetVertexShader(mr_Vertex2_);
    EXPECT_EQ(DrawAllWays(), k_NoneDrawn);
    EXPECT_EQ(DrawsRecorded(), lr_Before) << "a refused draw is not recorded";
    mr_Device_->SetVertexShader(mr_Vertex3_);
    EXPECT_EQ(DrawAllWays(), k_AllDrawn);
    EXPECT_EQ(DrawsRecorded(), lr_Before + 4);
}

TEST_F(ShaderPairingTests, VertexShaderThreeWithoutPixelShaderThreeIsRefused) {
    mr_Device_->SetVertexShader(mr_Vertex3_);
    EXPECT_EQ(DrawAllWays(), k_NoneDrawn);  // fixed-function pixel processing
    mr_Device_->SetPixelShader(mr_Pixel2_);
    EXPECT_EQ(DrawAllWays(), k_NoneDrawn);
    mr_Device_->SetPixelShader(mr_Pixel3_);
    EXPECT_EQ(DrawAllWays(), k_AllDrawn);
}

TEST_F(ShaderPairingTests, BelowShaderModelThreeAnythingMixes) {
    EXPECT_EQ(DrawAllWays(), k_AllDrawn);  // fixed function throughout
    mr_Device_->SetPixelShader(mr_Pixel2_);
    EXPECT_EQ(DrawAllWays(), k_AllDrawn);
    mr_Device_->SetVertexShader(mr_Vertex2_);
    EXPECT_EQ(DrawAllWays(), k_AllDrawn);
    mr_Device_->SetPixelShader(nullptr);
    EXPECT_EQ(DrawAllWays(), k_AllDrawn);
}

TEST_F(ShaderPairingTests, ARefusedUserMemoryDrawLeavesTheStreamsBound) {
    mr_Device_->SetPixelShader(mr_Pixel3_);
    mr_Device_->SetStreamSource(0, mr_Buffer_, 0, sizeof(Vertex));
    mr_Device_->SetIndices(mr_Indices_);
    const Vertex lr_User[3] = {};
    const WORD lr_UserIndices[3] = {0, 1, 2};
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, lr_UserIndices, D3DFMT_INDEX16, lr_User,
                                                 sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    IDirect3DVertexBuffer9* lr_Bound_ = nullptr;
    UINT lr_Offset = 0, lr_Stride = 0;
    ASSERT_EQ(mr_Device_->GetStreamSource(0, &lr_Bound_, &lr_Offset, &lr_Stride), D3D_OK);
    EXPECT_EQ(lr_Bound_, mr_Buffer_);
    if (lr_Bound_) lr_Bound_->Release();
    IDirect3DIndexBuffer9* lr_Indices_ = nullptr;
    ASSERT_EQ(mr_Device_->GetIndices(&lr_Indices_), D3D_OK);
    EXPECT_EQ(lr_Indices_, mr_Indices_);
    if (lr_Indices_) lr_Indices_->Release();
}

TEST_F(ShaderTests, WrongKindOrAVersionAboveTheCapsIsRefused) {
    std::vector<DWORD> lr_Vertex = ShaderTokens(D3DVS_VERSION(2, 0), "VS");
    IDirect3DPixelShader9* lr_Pixel_ = reinterpret_cast<IDirect3DPixelShader9*>(0x1);
    EXPECT_EQ(mr_Device_->CreatePixelShader(lr_Vertex.data(), &lr_Pixel_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Pixel_, nullptr);
    std::vector<DWORD> lr_PixelTokens = ShaderTokens(D3DPS_VERSION(3, 0), "PS");
    IDirect3DVertexShader9* lr_VertexShader_ = reinterpret_cast<IDirect3DVertexShader9*>(0x1);
    EXPECT_EQ(mr_Device_->CreateVertexShader(lr_PixelTokens.data(), &lr_VertexShader_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_VertexShader_, nullptr);

    mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    EXPECT_EQ(mr_Device_->CreatePixelShader(lr_PixelTokens.data(), &lr_Pixel_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Pixel_, nullptr);
    std::vector<DWORD> lr_Two = ShaderTokens(D3DPS_VERSION(2, 0), "PS");
    ASSERT_EQ(mr_Device_->CreatePixelShader(lr_Two.data(), &lr_Pixel_), D3D_OK);
    lr_Pixel_->Release();
    ASSERT_EQ(mr_Device_->CreateVertexShader(lr_Vertex.data(), &lr_VertexShader_), D3D_OK);
    lr_VertexShader_->Release();
    // Version numbers that do not exist.
    std::vector<DWORD> lr_Odd = ShaderTokens(D3DPS_VERSION(2, 7), "PS");
    EXPECT_EQ(mr_Device_->CreatePixelShader(lr_Odd.data(), &lr_Pixel_), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->CreatePixelShader(nullptr, &lr_Pixel_), D3DERR_INVALIDCALL);
}

TEST_F(ShaderTests, NamesAreTakenFromTheFirstFuncCommentOnly) {
    std::vector<DWORD> lr_Tokens{D3DPS_VERSION(2, 0)};
    // A comment that is not a name, then the name, then another name.
    const char lr_Other[8] = {'C', 'T', 'A', 'B', 'x', 'y', 'z', 'w'};
    DWORD lr_Words[2];
    std::memcpy(lr_Words, lr_Other, 8);
    lr_Tokens.push_back(D3DSHADER_COMMENT(2));
    lr_Tokens.insert(lr_Tokens.end(), lr_Words, lr_Words + 2);
    // "FUNC" + "main" exactly fills two tokens: the name ends with the payload.
    const char lr_Func[8] = {'F', 'U', 'N', 'C', 'm', 'a', 'i', 'n'};
    std::memcpy(lr_Words, lr_Func, 8);
    lr_Tokens.push_back(D3DSHADER_COMMENT(2));
    lr_Tokens.insert(lr_Tokens.end(), lr_Words, lr_Words + 2);
    const char lr_Second[8] = {'F', 'U', 'N', 'C', 'n', 'o', '\0', '\0'};
    std::memcpy(lr_Words, lr_Second, 8);
    lr_Tokens.push_back(D3DSHADER_COMMENT(2));
    lr_Tokens.insert(lr_Tokens.end(), lr_Words, lr_Words + 2);
    lr_Tokens.push_back(D3DPS_END());
    IDirect3DPixelShader9* lr_Shader_ = nullptr;
    ASSERT_EQ(mr_Device_->CreatePixelShader(lr_Tokens.data(), &lr_Shader_), D3D_OK);
    mr_Device_->SetPixelShader(lr_Shader_);
    IDirect3DVertexBuffer9* lr_Buffer_ = MakeVertexBuffer(mr_Device_, 3);
    mr_Device_->SetFVF(k_VertexFVF);
    mr_Device_->SetStreamSource(0, lr_Buffer_, 0, sizeof(Vertex));
    ASSERT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    EXPECT_EQ(mr_Control_->GetDraws().back().PixelShaderName, "main");
    mr_Device_->SetStreamSource(0, nullptr, 0, 0);
    mr_Device_->SetPixelShader(nullptr);
    lr_Buffer_->Release();
    lr_Shader_->Release();
}

TEST_F(ShaderTests, ShaderModelOneConstantsAreNotTakenForTokens) {
    // ps_1_1: def c0 with floats whose low words read as a comment and an end token.
    const DWORD lr_Tokens[] = {D3DPS_VERSION(1, 1), 0x00000051u, 0xA00F0000u, 0x3F80FFFEu, 0x0000FFFFu, 0u, 0u,
                               0x00000001u,         0x800F0000u, 0xA0E40000u, D3DPS_END()};
    IDirect3DPixelShader9* lr_Shader_ = nullptr;
    ASSERT_EQ(mr_Device_->CreatePixelShader(lr_Tokens, &lr_Shader_), D3D_OK);
    UINT lr_Size = 0;
    lr_Shader_->GetFunction(nullptr, &lr_Size);
    EXPECT_EQ(lr_Size, sizeof(lr_Tokens));
    lr_Shader_->Release();
}
