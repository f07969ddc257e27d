// Values: initialisers, Set/Get round trips, D3DX's type checks, and the
// references an effect holds on textures.
#include "EffectTestSupport.h"

namespace {

using effecttest::EffectTest;

const char* const kValues = R"(
float f = 1.5;
float2 v2 = float2(3, 4);
float4 v4 = {1, 2, 3, 4};
float3 splat = 0.25;
float4x4 m = { 1, 2, 3, 4,  5, 6, 7, 8,  9, 10, 11, 12,  13, 14, 15, 16 };
float3x2 m32;
int i = -7;
int3 i3 = int3(1, 2, 3);
bool b = true;
float fa[3] = { 0.5, -1, 2 * 3 };
float4 va[2];
float4x4 ma[2];
string s = "text";
texture t;
texture2D t2;
sampler2D smp = sampler_state { Texture = <t>; };
static const float kHalf = 0.5;
float derived = kHalf * 4 + 1;
)";

TEST_F(EffectTest, InitialisersGiveInitialValues) {
    ID3DXEffect* e = Make(kValues);
    ASSERT_NE(e, nullptr);
    float f = 0;
    ASSERT_EQ(e->GetFloat("f", &f), D3D_OK);
    EXPECT_FLOAT_EQ(f, 1.5f);
    D3DXVECTOR4 v(9, 9, 9, 9);
    ASSERT_EQ(e->GetVector("v2", &v), D3D_OK);
    EXPECT_EQ(v.x, 3.0f);
    EXPECT_EQ(v.y, 4.0f);
    ASSERT_EQ(e->GetVector("v4", &v), D3D_OK);
    EXPECT_EQ(v, D3DXVECTOR4(1, 2, 3, 4));
    ASSERT_EQ(e->GetVector("splat", &v), D3D_OK);
    EXPECT_EQ(v.x, 0.25f);
    EXPECT_EQ(v.z, 0.25f);
    D3DXMATRIX m;
    ASSERT_EQ(e->GetMatrix("m", &m), D3D_OK);
    EXPECT_EQ(m._12, 2.0f);
    EXPECT_EQ(m._21, 5.0f);
    EXPECT_EQ(m._44, 16.0f);
    INT i = 0;
    ASSERT_EQ(e->GetInt("i", &i), D3D_OK);
    EXPECT_EQ(i, -7);
    INT i3[3] = {};
    ASSERT_EQ(e->GetIntArray("i3", i3, 3), D3D_OK);
    EXPECT_EQ(i3[2], 3);
    BOOL b = FALSE;
    ASSERT_EQ(e->GetBool("b", &b), D3D_OK);
    EXPECT_EQ(b, TRUE);
    float fa[3] = {};
    ASSERT_EQ(e->GetFloatArray("fa", fa, 3), D3D_OK);
    EXPECT_EQ(fa[0], 0.5f);
    EXPECT_EQ(fa[1], -1.0f);
    EXPECT_EQ(fa[2], 6.0f);
    LPCSTR s = nullptr;
    ASSERT_EQ(e->GetString("s", &s), D3D_OK);
    EXPECT_STREQ(s, "text");
    ASSERT_EQ(e->GetFloat("derived", &f), D3D_OK);
    EXPECT_FLOAT_EQ(f, 3.0f);
    IDirect3DBaseTexture9* t = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    ASSERT_EQ(e->GetTexture("t", &t), D3D_OK);
    EXPECT_EQ(t, nullptr);
    e->Release();
}

TEST_F(EffectTest, SetAndGetRoundTrip) {
    ID3DXEffect* e = Make(kValues);
    ASSERT_NE(e, nullptr);
    float f = 0;
    ASSERT_EQ(e->SetFloat("f", -2.25f), D3D_OK);
    ASSERT_EQ(e->GetFloat("f", &f), D3D_OK);
    EXPECT_EQ(f, -2.25f);

    const D3DXVECTOR4 lr_In(0.5f, 1.5f, 2.5f, 3.5f);
    D3DXVECTOR4 v;
    ASSERT_EQ(e->SetVector("v4", &lr_In), D3D_OK);
    ASSERT_EQ(e->GetVector("v4", &v), D3D_OK);
    EXPECT_EQ(v, lr_In);
    // A float2 keeps two components; the rest of the vector read back is not invented.
    ASSERT_EQ(e->SetVector("v2", &lr_In), D3D_OK);
    float raw[2] = {};
    ASSERT_EQ(e->GetFloatArray("v2", raw, 2), D3D_OK);
    EXPECT_EQ(raw[0], 0.5f);
    EXPECT_EQ(raw[1], 1.5f);

    D3DXMATRIX m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m.m[r][c] = static_cast<float>(r * 10 + c);
    D3DXMATRIX back;
    ASSERT_EQ(e->SetMatrix("m", &m), D3D_OK);
    ASSERT_EQ(e->GetMatrix("m", &back), D3D_OK);
    EXPECT_EQ(back, m);
    ASSERT_EQ(e->GetMatrixTranspose("m", &back), D3D_OK);
    EXPECT_EQ(back._12, m._21);
    // A 3x2 matrix keeps its block; the rest reads as zero.
    ASSERT_EQ(e->SetMatrix("m32", &m), D3D_OK);
    ASSERT_EQ(e->GetMatrix("m32", &back), D3D_OK);
    EXPECT_EQ(back._32, m._32);
    EXPECT_EQ(back._13, 0.0f);
    EXPECT_EQ(back._44, 0.0f);

    ASSERT_EQ(e->SetInt("i", 42), D3D_OK);
    INT i = 0;
    ASSERT_EQ(e->GetInt("i", &i), D3D_OK);
    EXPECT_EQ(i, 42);
    ASSERT_EQ(e->SetBool("b", FALSE), D3D_OK);
    BOOL b = TRUE;
    ASSERT_EQ(e->GetBool("b", &b), D3D_OK);
    EXPECT_EQ(b, FALSE);
    ASSERT_EQ(e->SetString("s", "changed"), D3D_OK);
    LPCSTR s = nullptr;
    ASSERT_EQ(e->GetString("s", &s), D3D_OK);
    EXPECT_STREQ(s, "changed");

    const D3DXVECTOR4 lr_Array[2] = {D3DXVECTOR4(1, 2, 3, 4), D3DXVECTOR4(5, 6, 7, 8)};
    D3DXVECTOR4 lr_Out[2];
    ASSERT_EQ(e->SetVectorArray("va", lr_Array, 2), D3D_OK);
    ASSERT_EQ(e->GetVectorArray("va", lr_Out, 2), D3D_OK);
    EXPECT_EQ(lr_Out[1], lr_Array[1]);
    EXPECT_EQ(e->SetVectorArray("va", lr_Array, 3), D3DERR_INVALIDCALL) << "more elements than declared";
    ASSERT_EQ(e->SetVector(e->GetParameterElement("va", 0), &lr_In), D3D_OK);
    ASSERT_EQ(e->GetVectorArray("va", lr_Out, 2), D3D_OK);
    EXPECT_EQ(lr_Out[0], lr_In);
    EXPECT_EQ(lr_Out[1], lr_Array[1]) << "an element write touches only its element";

    const D3DXMATRIX lr_Matrices[2] = {m, back};
    D3DXMATRIX lr_MatricesOut[2];
    ASSERT_EQ(e->SetMatrixArray("ma", lr_Matrices, 2), D3D_OK);
    ASSERT_EQ(e->GetMatrixArray("ma", lr_MatricesOut, 2), D3D_OK);
    EXPECT_EQ(lr_MatricesOut[1], back);

    float lr_Floats[3] = {7, 8, 9};
    ASSERT_EQ(e->SetFloatArray("fa", lr_Floats, 3), D3D_OK);
    ASSERT_EQ(e->GetFloat(e->GetParameterElement("fa", 2), &f), D3D_OK);
    EXPECT_EQ(f, 9.0f);

    const float lr_Raw[4] = {10, 20, 30, 40};
    float lr_RawOut[4] = {};
    ASSERT_EQ(e->SetValue("v4", lr_Raw, sizeof(lr_Raw)), D3D_OK);
    ASSERT_EQ(e->GetValue("v4", lr_RawOut, sizeof(lr_RawOut)), D3D_OK);
    EXPECT_EQ(lr_RawOut[3], 40.0f);
    EXPECT_EQ(e->GetValue("v4", lr_RawOut, 8), D3DERR_INVALIDCALL) << "too small a buffer";
    EXPECT_EQ(e->SetRawValue("v4", &lr_Raw[0], 4, 4), D3D_OK);
    ASSERT_EQ(e->GetVector("v4", &v), D3D_OK);
    EXPECT_EQ(v.y, 10.0f);
    EXPECT_EQ(e->SetRawValue("v4", &lr_Raw[0], 16, 4), D3DERR_INVALIDCALL) << "past the end";
    e->Release();
}

TEST_F(EffectTest, NumbersConvertBetweenTypesAsD3DXDoes) {
    ID3DXEffect* e = Make(kValues);
    ASSERT_NE(e, nullptr);
    // Scalars of any numeric type accept any scalar setter.
    ASSERT_EQ(e->SetFloat("i", 3.75f), D3D_OK);
    INT i = 0;
    ASSERT_EQ(e->GetInt("i", &i), D3D_OK);
    EXPECT_EQ(i, 3);
    ASSERT_EQ(e->SetInt("f", 5), D3D_OK);
    float f = 0;
    ASSERT_EQ(e->GetFloat("f", &f), D3D_OK);
    EXPECT_EQ(f, 5.0f);
    ASSERT_EQ(e->SetBool("f", TRUE), D3D_OK);
    ASSERT_EQ(e->GetFloat("f", &f), D3D_OK);
    EXPECT_EQ(f, 1.0f);
    ASSERT_EQ(e->SetFloat("b", 0.0f), D3D_OK);
    BOOL b = TRUE;
    ASSERT_EQ(e->GetBool("b", &b), D3D_OK);
    EXPECT_EQ(b, FALSE);
    ASSERT_EQ(e->SetInt("b", 12), D3D_OK);
    ASSERT_EQ(e->GetInt("b", &i), D3D_OK);
    EXPECT_EQ(i, 1) << "bools store TRUE as 1";
    // Huge floats do not wrap when read as integers.
    ASSERT_EQ(e->SetFloat("f", 1e20f), D3D_OK);
    ASSERT_EQ(e->GetInt("f", &i), D3D_OK);
    EXPECT_EQ(i, 2147483647);
    e->Release();
}

TEST_F(EffectTest, SettersRefuseTheWrongKindOfParameter) {
    ID3DXEffect* e = Make(kValues);
    ASSERT_NE(e, nullptr);
    IDirect3DTexture9* tex = NewTexture();
    const D3DXVECTOR4 v(1, 2, 3, 4);
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    EXPECT_EQ(e->SetTexture("f", tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetTexture("smp", tex), D3DERR_INVALIDCALL) << "a sampler is not a texture";
    EXPECT_EQ(e->SetTexture("s", tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(RefCount(tex), 1u) << "a refused SetTexture takes no reference";
    EXPECT_EQ(e->SetFloat("v4", 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetFloat("fa", 1.0f), D3DERR_INVALIDCALL) << "whole arrays take arrays";
    EXPECT_EQ(e->SetVector("m", &v), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetVector("t", &v), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetMatrix("v4", &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetMatrix("ma", &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetString("f", "x"), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetString("s", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetInt("t", 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetBool("smp", TRUE), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetFloatArray("s", nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetFloat(nullptr, 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetTexture(nullptr, tex), D3DERR_INVALIDCALL);
    float f = 0;
    EXPECT_EQ(e->GetFloat("f", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->GetFloat("s", &f), D3DERR_INVALIDCALL);
    LPCSTR s = nullptr;
    EXPECT_EQ(e->GetString("f", &s), D3DERR_INVALIDCALL);
    e->Release();
    tex->Release();
}

TEST_F(EffectTest, TexturesAreReferencedWhileTheEffectHoldsThem) {
    ID3DXEffect* e = Make(kValues);
    ASSERT_NE(e, nullptr);
    IDirect3DTexture9* a = NewTexture();
    IDirect3DTexture9* b = NewTexture();
    ASSERT_EQ(e->SetTexture("t", a), D3D_OK);
    EXPECT_EQ(RefCount(a), 2u);
    ASSERT_EQ(e->SetTexture("t", a), D3D_OK);
    EXPECT_EQ(RefCount(a), 2u) << "setting the same texture again keeps one reference";
    IDirect3DBaseTexture9* got = nullptr;
    ASSERT_EQ(e->GetTexture("t", &got), D3D_OK);
    EXPECT_EQ(got, a);
    EXPECT_EQ(RefCount(a), 3u) << "GetTexture adds a reference";
    got->Release();
    ASSERT_EQ(e->SetTexture("t", b), D3D_OK);
    EXPECT_EQ(RefCount(a), 1u) << "the old value is released";
    EXPECT_EQ(RefCount(b), 2u);
    ASSERT_EQ(e->SetTexture("t2", b), D3D_OK);
    EXPECT_EQ(RefCount(b), 3u);
    ASSERT_EQ(e->SetTexture("t2", nullptr), D3D_OK);
    EXPECT_EQ(RefCount(b), 2u);
    IDirect3DBaseTexture9* lr_Pair[1] = {a};
    ASSERT_EQ(e->SetValue("t2", lr_Pair, sizeof(lr_Pair)), D3D_OK);
    EXPECT_EQ(RefCount(a), 2u) << "SetValue of a texture references it too";
    EXPECT_EQ(e->Release(), 0u);
    EXPECT_EQ(RefCount(a), 1u) << "released with the effect";
    EXPECT_EQ(RefCount(b), 1u);
    a->Release();
    b->Release();
}

TEST_F(EffectTest, EffectReferenceCountsAndDevice) {
    const ULONG lr_Before = mr_Control_->GetDeviceRefCount();
    ID3DXEffect* e = Make("float x;");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), lr_Before + 1) << "an effect holds its device";
    EXPECT_EQ(e->AddRef(), 2u);
    EXPECT_EQ(e->Release(), 1u);
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(e->GetDevice(&device), D3D_OK);
    EXPECT_EQ(device, mr_Device_);
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), lr_Before + 2);
    device->Release();
    ID3DXBaseEffect* base = nullptr;
    ASSERT_EQ(e->QueryInterface(IID_ID3DXBaseEffect, reinterpret_cast<void**>(&base)), S_OK);
    EXPECT_EQ(base->Release(), 1u);
    void* nothing = reinterpret_cast<void*>(1);
    EXPECT_EQ(e->QueryInterface(IID_IDirect3DDevice9, &nothing), E_NOINTERFACE);
    EXPECT_EQ(nothing, nullptr);
    EXPECT_EQ(e->OnLostDevice(), S_OK);
    EXPECT_EQ(e->OnResetDevice(), S_OK);
    EXPECT_EQ(e->Release(), 0u);
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), lr_Before);
}

TEST_F(EffectTest, ShadersAreReleasedWithTheEffect) {
    ID3DXEffect* e = Make(R"(
        float4 PS() : COLOR { return 0; }
        PixelShader shared_ps = compile ps_2_0 PS();
        technique { pass { PixelShader = (shared_ps); } pass { PixelShader = compile ps_2_0 PS(); } }
    )");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::PixelShader, -1, false), 2u);
    IDirect3DPixelShader9* ps = nullptr;
    ASSERT_EQ(e->GetPixelShader("shared_ps", &ps), D3D_OK);
    ASSERT_NE(ps, nullptr);
    ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(e->BeginPass(0), D3D_OK);
    EXPECT_EQ(BoundPixelShader(), ps);
    ASSERT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->End(), D3D_OK);
    ps->Release();
    e->Release();
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, false), 0u);
}

TEST(BufferTest, CreateBufferGivesZeroedBytesAndCountsReferences) {
    ID3DXBuffer* b = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(16, &b), D3D_OK);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetBufferSize(), 16u);
    const BYTE* p = static_cast<const BYTE*>(b->GetBufferPointer());
    for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], 0);
    EXPECT_EQ(b->AddRef(), 2u);
    EXPECT_EQ(b->Release(), 1u);
    IUnknown* u = nullptr;
    EXPECT_EQ(b->QueryInterface(IID_ID3DXBuffer, reinterpret_cast<void**>(&u)), S_OK);
    EXPECT_EQ(u->Release(), 1u);
    EXPECT_EQ(b->Release(), 0u);
    EXPECT_EQ(D3DXCreateBuffer(4, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(D3DXCreateBuffer(0, &b), D3D_OK);
    EXPECT_EQ(b->GetBufferSize(), 0u);
    b->Release();
}

}  // namespace
