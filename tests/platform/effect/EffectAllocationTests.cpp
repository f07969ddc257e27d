// Heap use of the effect runtime: once an effect has been through a frame
// (whose first Begin records the state blocks that save the host's state),
// the per-frame calls (value setters and getters, Begin, BeginPass,
// CommitChanges, EndPass, End) allocate nothing. Its own program, because
// the counter replaces global operator new.
#include "AllocationCounter.h"
#include "EffectTestSupport.h"

#include <cstring>

namespace {

using effecttest::EffectTest;

const char* const kTwoTechniques = R"(
texture sceneTex;
texture heights;
float scale = 2.0;
float4 tint = float4(1, 0.5, 0.25, 1);
float4x4 world;
bool depthOn = true;
int stencilRef = 3;
string label = "occlusion";
sampler2D sceneSampler = sampler_state { Texture = <sceneTex>; MinFilter = Point; MagFilter = Linear; AddressU = Clamp; };
sampler2D heightSampler = sampler_state { Texture = <heights>; MinFilter = Point; };
float4 VS(float4 p : POSITION) : POSITION { return mul(p, world) + tex2Dlod(heightSampler, p); }
float4 Show(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(sceneSampler, uv) * tint * scale; }
technique Small { pass { ZEnable = false; PixelShader = compile ps_2_0 Show(); } }
technique Large
{
    pass First
    {
        ZEnable = <depthOn>; ZWriteEnable = false; CullMode = None; StencilRef = <stencilRef>;
        AlphaBlendEnable = true; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha; FogStart = (scale);
        MinFilter[5] = Anisotropic; Texture[6] = <heights>; Sampler[7] = (sceneSampler);
        VertexShader = compile vs_3_0 VS();
        PixelShader = compile ps_2_0 Show();
    }
    pass Second
    {
        StencilEnable = true; AlphaRef = 0x80; ZEnable = true;
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Show();
    }
}
)";

class EffectAllocationTest : public EffectTest {
protected:
    // Runs every pass of the current technique, committing once in each.
    // Counts the calls that did not succeed.
    int RunTechnique(ID3DXEffect* effect, DWORD flags) {
        int lr_Failures = 0;
        UINT lr_Passes = 0;
        if (FAILED(effect->Begin(&lr_Passes, flags))) ++lr_Failures;
        for (UINT lr_Pass = 0; lr_Pass < lr_Passes; ++lr_Pass) {
            if (FAILED(effect->BeginPass(lr_Pass))) ++lr_Failures;
            if (FAILED(effect->CommitChanges())) ++lr_Failures;
            if (FAILED(effect->EndPass())) ++lr_Failures;
        }
        if (FAILED(effect->End())) ++lr_Failures;
        return lr_Failures;
    }
    // One frame: both techniques, as the host's last frame left the device.
    int RunFrame(ID3DXEffect* effect, DWORD flags) {
        int lr_Failures = 0;
        for (const char* ls_Technique : {"Small", "Large"}) {
            if (FAILED(effect->SetTechnique(ls_Technique))) ++lr_Failures;
            lr_Failures += RunTechnique(effect, flags);
        }
        return lr_Failures;
    }
};

TEST_F(EffectAllocationTest, SteadyFramesAllocateNothing) {
    ID3DXEffect* e = Make(kTwoTechniques);
    ASSERT_NE(e, nullptr);
    IDirect3DTexture9* scene = NewTexture();
    IDirect3DTexture9* heights = NewTexture();
    ASSERT_EQ(e->SetTexture("sceneTex", scene), D3D_OK);
    ASSERT_EQ(e->SetTexture("heights", heights), D3D_OK);
    mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    // The first Begin with each kind of saving records its state block.
    const DWORD kFlags[] = {0, D3DXFX_DONOTSAVESHADERSTATE, D3DXFX_DONOTSAVESAMPLERSTATE, D3DXFX_DONOTSAVESTATE};
    for (DWORD lr_Flags : kFlags) ASSERT_EQ(RunFrame(e, lr_Flags), 0);

    const D3DXHANDLE lr_Scale = e->GetParameterByName(nullptr, "scale");
    int lr_Failures = 0;
    DWORD lr_ZEnableInPass = 0xFFFFFFFFu;
    AllocationCounter::Start();
    for (int lr_Frame = 0; lr_Frame < 100; ++lr_Frame) {
        // The host's own state, which a frame without saving leaves changed.
        mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        mr_Device_->SetTexture(6, nullptr);
        mr_Device_->SetPixelShader(nullptr);
        lr_Failures += FAILED(e->SetFloat(lr_Scale, static_cast<float>(lr_Frame))) ? 1 : 0;
        lr_Failures += FAILED(e->SetBool("depthOn", lr_Frame % 2 == 0)) ? 1 : 0;
        lr_Failures += FAILED(e->SetTexture("sceneTex", lr_Frame % 2 ? heights : scene)) ? 1 : 0;
        lr_Failures += RunFrame(e, kFlags[(lr_Frame + 1) % 4]);  // all flags, the last frame saving everything
        if (lr_Frame == 99) {
            // The value set this frame (false) reached the device.
            lr_Failures += FAILED(e->SetTechnique("Large")) ? 1 : 0;
            lr_Failures += FAILED(e->Begin(nullptr, 0)) ? 1 : 0;
            lr_Failures += FAILED(e->BeginPass(0)) ? 1 : 0;
            lr_ZEnableInPass = RenderState(D3DRS_ZENABLE);
            lr_Failures += FAILED(e->EndPass()) ? 1 : 0;
            lr_Failures += FAILED(e->End()) ? 1 : 0;
        }
    }
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Total(), 0u) << "run with SSAO_TRACE_ALLOCATIONS=1 to see where";
    EXPECT_EQ(lr_Failures, 0);
    EXPECT_EQ(lr_ZEnableInPass, 0u);
    // End still put back what the passes changed.
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_TRUE));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(BoundTexture(6), nullptr);
    EXPECT_EQ(BoundPixelShader(), nullptr);
    e->Release();
    scene->Release();
    heights->Release();
}

TEST_F(EffectAllocationTest, ValueCallsAllocateNothing) {
    ID3DXEffect* e = Make(kTwoTechniques);
    ASSERT_NE(e, nullptr);
    IDirect3DTexture9* scene = NewTexture();
    const D3DXHANDLE lr_Tint = e->GetParameterByName(nullptr, "tint");
    const D3DXHANDLE lr_World = e->GetParameterByName(nullptr, "world");
    ASSERT_NE(lr_Tint, nullptr);
    ASSERT_NE(lr_World, nullptr);
    D3DXMATRIX lr_Matrix;
    for (int i = 0; i < 16; ++i) lr_Matrix.m[i / 4][i % 4] = static_cast<float>(i);
    D3DXMATRIX lr_ReadMatrix;
    D3DXVECTOR4 lr_Vector(1, 2, 3, 4), lr_ReadVector;
    float lr_Float = 0, lr_Floats[4] = {};
    INT lr_Int = 0;
    BOOL lr_Bool = FALSE;
    LPCSTR ls_Label = nullptr;
    IDirect3DBaseTexture9* lr_Texture_ = nullptr;
    DWORD lr_Raw[16] = {};
    int lr_Failures = 0;
    auto lr_Check = [&](HRESULT hr) { lr_Failures += FAILED(hr) ? 1 : 0; };

    AllocationCounter::Start();
    for (int lr_Round = 0; lr_Round < 10; ++lr_Round) {
        lr_Check(e->SetFloat("scale", 0.5f));
        lr_Check(e->GetFloat("scale", &lr_Float));
        lr_Check(e->SetVector(lr_Tint, &lr_Vector));
        lr_Check(e->GetVector(lr_Tint, &lr_ReadVector));
        lr_Check(e->GetFloatArray(lr_Tint, lr_Floats, 4));
        lr_Check(e->SetMatrix(lr_World, &lr_Matrix));
        lr_Check(e->GetMatrixTranspose(lr_World, &lr_ReadMatrix));
        lr_Check(e->SetInt("stencilRef", 7));
        lr_Check(e->GetInt("stencilRef", &lr_Int));
        lr_Check(e->SetBool("depthOn", FALSE));
        lr_Check(e->GetBool("depthOn", &lr_Bool));
        lr_Check(e->SetString("label", "occlusion"));
        lr_Check(e->GetString("label", &ls_Label));
        lr_Check(e->SetTexture("sceneTex", scene));
        lr_Check(e->GetTexture("sceneTex", &lr_Texture_));
        if (lr_Texture_) lr_Texture_->Release();
        lr_Check(e->GetValue(lr_World, lr_Raw, sizeof(lr_Raw)));
        lr_Check(e->SetValue(lr_World, lr_Raw, sizeof(lr_Raw)));
        lr_Check(e->SetRawValue(lr_Tint, lr_Floats, 0, sizeof(lr_Floats)));
        lr_Check(e->SetTechnique(e->GetTechniqueByName("Large")));
    }
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Total(), 0u) << "run with SSAO_TRACE_ALLOCATIONS=1 to see where";
    EXPECT_EQ(lr_Failures, 0);
    // The calls did their work.
    EXPECT_FLOAT_EQ(lr_Float, 0.5f);
    EXPECT_EQ(lr_Int, 7);
    EXPECT_EQ(lr_Bool, FALSE);
    EXPECT_STREQ(ls_Label, "occlusion");
    EXPECT_EQ(lr_Texture_, scene);
    EXPECT_FLOAT_EQ(lr_ReadVector.z, 3.0f);
    EXPECT_FLOAT_EQ(lr_Floats[3], 4.0f);
    EXPECT_FLOAT_EQ(lr_ReadMatrix.m[1][0], lr_Matrix.m[0][1]);
    e->Release();
    scene->Release();
}

TEST_F(EffectAllocationTest, CounterSeesTheRuntimesAllocations) {
    // Without this the tests above could pass by counting nothing: compiling
    // an effect allocates inside the effect runtime's library.
    AllocationCounter::Start();
    ID3DXEffect* e = effecttest::Compile(mr_Device_, kTwoTechniques);
    AllocationCounter::Stop();
    ASSERT_NE(e, nullptr);
    EXPECT_GT(AllocationCounter::Platform(), 10u);
    EXPECT_GE(AllocationCounter::Total(), AllocationCounter::Platform());
    e->Release();
}

}  // namespace
