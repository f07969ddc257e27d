// Shader token streams: versions, entry names, GetFunction.
#include "DeviceTestUtil.h"
#include "SoftDeviceFixture.h"

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

    mr_Device_->SetPixelShader(lr_Shader_);
    std::vector<DWORD> lr_Plain = ShaderTokens(D3DVS_VERSION(1, 1), "");
    lr_Plain[0] = D3DVS_VERSION(1, 1);
    IDirect3DVertexBuffer9* lr_Buffer_ = MakeVertexBuffer(mr_Device_, 3);
    mr_Device_->SetFVF(k_VertexFVF);
    mr_Device_->SetStreamSource(0, lr_Buffer_, 0, sizeof(Vertex));
    ASSERT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    EXPECT_EQ(mr_Control_->GetDraws().back().PixelShaderName, "PS_Blur");
    EXPECT_EQ(mr_Control_->GetDraws().back().PixelShaderVersion, static_cast<DWORD>(D3DPS_VERSION(3, 0)));
    mr_Device_->SetPixelShader(nullptr);
    ASSERT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    EXPECT_EQ(mr_Control_->GetDraws().back().PixelShaderVersion, 0u);
    EXPECT_TRUE(mr_Control_->GetDraws().back().PixelShaderName.empty());
    mr_Device_->SetStreamSource(0, nullptr, 0, 0);
    lr_Buffer_->Release();
    lr_Shader_->Release();
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
                               0x00000001u, 0x800F0000u, 0xA0E40000u, D3DPS_END()};
    IDirect3DPixelShader9* lr_Shader_ = nullptr;
    ASSERT_EQ(mr_Device_->CreatePixelShader(lr_Tokens, &lr_Shader_), D3D_OK);
    UINT lr_Size = 0;
    lr_Shader_->GetFunction(nullptr, &lr_Size);
    EXPECT_EQ(lr_Size, sizeof(lr_Tokens));
    lr_Shader_->Release();
}
