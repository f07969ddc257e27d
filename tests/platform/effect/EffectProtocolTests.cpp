// Begin / BeginPass / EndPass / End, pass states, state save and restore,
// validation by shader model, and the shaders made on the device.
#include "EffectTestSupport.h"

namespace {

using effecttest::Changed;
using effecttest::EffectTest;

const char* const kTwoPasses = R"(
texture sceneTex;
texture noiseTex : NoiseTexture;
sampler2D sceneSampler = sampler_state { Texture = <sceneTex>; MinFilter = Point; MagFilter = Linear; AddressU = Clamp; };
sampler2D noiseSampler = sampler_state { Texture = (noiseTex); AddressU = Wrap; AddressV = Mirror; };
float4 ShowScene(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(sceneSampler, uv); }
float4 Blend(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(noiseSampler, uv) * tex2D(sceneSampler, uv); }
technique Main
{
    pass First
    {
        ZEnable = false; ZWriteEnable = FALSE; CullMode = None;
        AlphaBlendEnable = true; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha; BlendOp = Add;
        ZFunc = LessEqual; ColorWriteEnable = Red | Green | Blue; FogStart = 0.5;
        VertexShader = NULL;
        PixelShader = compile ps_2_0 ShowScene();
    }
    pass Second
    {
        StencilEnable = TRUE; AlphaRef = 0x80;
        PixelShader = compile ps_2_0 Blend();
    }
}
)";

TEST_F(EffectTest, BeginPassAppliesTheStatesOfThePass) {
    ID3DXEffect* e = Make(kTwoPasses);
    ASSERT_NE(e, nullptr);
    IDirect3DTexture9* scene = NewTexture();
    IDirect3DTexture9* noise = NewTexture();
    ASSERT_EQ(e->SetTexture("sceneTex", scene), D3D_OK);
    ASSERT_EQ(e->SetTexture(e->GetParameterBySemantic(nullptr, "noisetexture"), noise), D3D_OK);
    UINT passes = 0;
    const std::string ls_Before = DescribeState();
    ASSERT_EQ(e->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 2u);
    EXPECT_EQ(Changed(ls_Before, DescribeState()), "") << "Begin applies no state";
    ASSERT_EQ(e->BeginPass(0), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_FALSE));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), 1u);
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));
    EXPECT_EQ(RenderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(RenderState(D3DRS_BLENDOP), static_cast<DWORD>(D3DBLENDOP_ADD));
    EXPECT_EQ(RenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));
    EXPECT_EQ(RenderState(D3DRS_COLORWRITEENABLE), 7u);
    float fogStart = 0;
    DWORD bits = RenderState(D3DRS_FOGSTART);
    std::memcpy(&fogStart, &bits, 4);
    EXPECT_FLOAT_EQ(fogStart, 0.5f) << "float states are written as float bits";
    ASSERT_NE(BoundPixelShader(), nullptr);
    EXPECT_EQ(BoundPixelShaderInfo().Entry, "ShowScene");
    EXPECT_EQ(BoundPixelShaderInfo().Version, static_cast<DWORD>(D3DPS_VERSION(2, 0)));
    EXPECT_EQ(BoundVertexShader(), nullptr);
    // ShowScene reaches only sceneSampler: it gets register 0.
    EXPECT_EQ(BoundTexture(0), scene);
    EXPECT_EQ(SamplerState(0, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_POINT));
    EXPECT_EQ(SamplerState(0, D3DSAMP_MAGFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(SamplerState(0, D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->BeginPass(1), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_STENCILENABLE), 1u);
    EXPECT_EQ(RenderState(D3DRS_ALPHAREF), 0x80u);
    EXPECT_EQ(BoundPixelShaderInfo().Entry, "Blend");
    // Blend uses both samplers; registers follow declaration order.
    EXPECT_EQ(BoundTexture(0), scene);
    EXPECT_EQ(BoundTexture(1), noise);
    EXPECT_EQ(SamplerState(1, D3DSAMP_ADDRESSV), static_cast<DWORD>(D3DTADDRESS_MIRROR));
    EXPECT_EQ(e->EndPass(), D3D_OK);
    EXPECT_EQ(e->End(), D3D_OK);
    e->Release();
    scene->Release();
    noise->Release();
}

TEST_F(EffectTest, EndRestoresWhatThePassesChanged) {
    ID3DXEffect* e = Make(kTwoPasses);
    ASSERT_NE(e, nullptr);
    IDirect3DTexture9* hostTexture = NewTexture();
    IDirect3DTexture9* scene = NewTexture();
    ASSERT_EQ(e->SetTexture("sceneTex", scene), D3D_OK);
    mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    mr_Device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
    mr_Device_->SetTexture(0, hostTexture);
    IDirect3DPixelShader9* hostShader = NewPixelShader();
    mr_Device_->SetPixelShader(hostShader);
    ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(e->BeginPass(0), D3D_OK);
    EXPECT_NE(BoundTexture(0), hostTexture);
    EXPECT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->BeginPass(1), D3D_OK);
    EXPECT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->End(), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_TRUE));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(RenderState(D3DRS_STENCILENABLE), 0u) << "second pass's state restored too";
    EXPECT_EQ(SamplerState(0, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_ANISOTROPIC));
    EXPECT_EQ(BoundTexture(0), hostTexture);
    EXPECT_EQ(BoundTexture(1), nullptr);
    EXPECT_EQ(BoundPixelShader(), hostShader);
    // The effect keeps its saved-state block, holding the host's bindings, until it goes.
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::StateBlock, -1, false), 1u);
    mr_Device_->SetTexture(0, nullptr);
    mr_Device_->SetPixelShader(nullptr);
    hostShader->Release();
    hostTexture->Release();
    e->Release();
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::StateBlock, -1, false), 0u);
    scene->Release();
}

TEST_F(EffectTest, DoNotSaveStateFlagsAreHonoured) {
    ID3DXEffect* e = Make(kTwoPasses);
    ASSERT_NE(e, nullptr);
    mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    mr_Device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
    mr_Control_->ResetCallCounts();
    ASSERT_EQ(e->Begin(nullptr, D3DXFX_DONOTSAVESTATE), D3D_OK);
    EXPECT_EQ(mr_Control_->GetTotalCallCount(), 0u) << "nothing is read or recorded when nothing is saved";
    ASSERT_EQ(e->BeginPass(0), D3D_OK);
    ASSERT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->End(), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_FALSE));

    mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    mr_Device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
    ASSERT_EQ(e->Begin(nullptr, D3DXFX_DONOTSAVESAMPLERSTATE | D3DXFX_DONOTSAVESHADERSTATE), D3D_OK);
    ASSERT_EQ(e->BeginPass(0), D3D_OK);
    ASSERT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->End(), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_TRUE)) << "render states still saved";
    EXPECT_EQ(SamplerState(0, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_POINT));
    EXPECT_NE(BoundPixelShader(), nullptr) << "shader not restored";
    mr_Device_->SetPixelShader(nullptr);
    e->Release();
}

TEST_F(EffectTest, ProtocolErrorsAreRefused) {
    ID3DXEffect* e = Make(kTwoPasses);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->BeginPass(0), D3DERR_INVALIDCALL) << "outside Begin";
    EXPECT_EQ(e->EndPass(), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->End(), D3D_OK) << "End without Begin";
    ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
    EXPECT_EQ(e->Begin(nullptr, 0), D3DERR_INVALIDCALL) << "nested Begin";
    EXPECT_EQ(e->EndPass(), D3DERR_INVALIDCALL) << "no pass begun";
    EXPECT_EQ(e->BeginPass(2), D3DERR_INVALIDCALL) << "index out of range";
    ASSERT_EQ(e->BeginPass(1), D3D_OK);
    EXPECT_EQ(e->BeginPass(0), D3DERR_INVALIDCALL) << "nested BeginPass";
    EXPECT_EQ(e->CommitChanges(), D3D_OK);
    EXPECT_EQ(e->EndPass(), D3D_OK);
    EXPECT_EQ(e->EndPass(), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->End(), D3D_OK);
    EXPECT_EQ(e->BeginPass(0), D3DERR_INVALIDCALL) << "after End";
    e->Release();
}

TEST_F(EffectTest, ReleasingAnEffectInsideBeginDropsTheSavedReferences) {
    ID3DXEffect* e = Make(kTwoPasses);
    ASSERT_NE(e, nullptr);
    IDirect3DTexture9* hostTexture = NewTexture();
    mr_Device_->SetTexture(0, hostTexture);
    ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::StateBlock, -1, false), 1u) << "the saved copy";
    e->Release();
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::StateBlock, -1, false), 0u);
    EXPECT_EQ(RefCount(hostTexture), 1u) << "the test's own";
    mr_Device_->SetTexture(0, nullptr);
    mr_Device_->SetTexture(1, nullptr);
    hostTexture->Release();
}

TEST_F(EffectTest, CurrentTechniqueStartsAtTheFirstAndFollowsSetTechnique) {
    ID3DXEffect* e = Make(R"(
        float4 A() : COLOR { return 1; }
        technique One { pass { ZEnable = true; } }
        technique Two { pass { ZEnable = false; } pass { ZEnable = true; } }
    )");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetCurrentTechnique(), e->GetTechnique(0));
    UINT passes = 0;
    ASSERT_EQ(e->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 1u);
    ASSERT_EQ(e->End(), D3D_OK);
    EXPECT_EQ(e->SetTechnique("Two"), D3D_OK);
    EXPECT_EQ(e->GetCurrentTechnique(), e->GetTechnique(1));
    EXPECT_EQ(e->SetTechnique("Three"), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetTechnique(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->GetCurrentTechnique(), e->GetTechnique(1));
    ASSERT_EQ(e->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 2u);
    ASSERT_EQ(e->End(), D3D_OK);
    e->Release();

    ID3DXEffect* none = Make("float x;");
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->GetCurrentTechnique(), nullptr);
    EXPECT_EQ(none->Begin(&passes, 0), D3DERR_INVALIDCALL);
    none->Release();
}

const char* const kModels = R"(
float4 Simple() : COLOR { return 0; }
float4 Fancy() : COLOR { return 1; }
float4 VS(float4 p : POSITION) : POSITION { return p; }
technique Needs30 { pass { PixelShader = compile ps_3_0 Fancy(); } }
technique Needs2a { pass { PixelShader = compile ps_2_a Fancy(); } }
technique NeedsVs30 { pass { VertexShader = compile vs_3_0 VS(); PixelShader = compile ps_2_0 Simple(); } }
technique Fallback { pass { PixelShader = compile ps_2_0 Simple(); } }
technique Legacy { pass { VertexShader = compile vs_1_1 VS(); } }
)";

TEST_F(EffectTest, ValidationComparesShaderModelsWithTheDeviceCaps) {
    // Made where every shader is accepted, validated against the caps of the moment.
    ID3DXEffect* e = Make(kModels);
    ASSERT_NE(e, nullptr);
    mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    EXPECT_EQ(e->ValidateTechnique("Needs30"), E_FAIL);
    EXPECT_EQ(e->ValidateTechnique("Needs2a"), E_FAIL);
    EXPECT_EQ(e->ValidateTechnique("NeedsVs30"), E_FAIL);
    EXPECT_EQ(e->ValidateTechnique("Fallback"), D3D_OK);
    EXPECT_EQ(e->ValidateTechnique("Legacy"), D3D_OK);
    EXPECT_EQ(e->ValidateTechnique("Nothing"), D3DERR_INVALIDCALL);
    D3DXHANDLE found = nullptr;
    EXPECT_EQ(e->FindNextValidTechnique(nullptr, &found), D3D_OK);
    EXPECT_EQ(found, e->GetTechniqueByName("Fallback"));
    EXPECT_EQ(e->FindNextValidTechnique(found, &found), D3D_OK);
    EXPECT_EQ(found, e->GetTechniqueByName("Legacy"));
    EXPECT_EQ(e->FindNextValidTechnique(found, &found), S_FALSE);
    EXPECT_EQ(found, nullptr);
    // Validation does not change the current technique.
    EXPECT_EQ(e->GetCurrentTechnique(), e->GetTechnique(0));

    mr_Control_->SetShaderVersions(D3DVS_VERSION(3, 0), D3DPS_VERSION(3, 0));
    EXPECT_EQ(e->ValidateTechnique("Needs30"), D3D_OK);
    EXPECT_EQ(e->ValidateTechnique("Needs2a"), D3D_OK);
    EXPECT_EQ(e->ValidateTechnique("NeedsVs30"), D3D_OK);
    mr_Control_->SetShaderVersions(D3DVS_VERSION(1, 0), D3DPS_VERSION(3, 0));
    EXPECT_EQ(e->ValidateTechnique("Legacy"), E_FAIL);
    e->Release();
}

TEST_F(EffectTest, AShaderTheDeviceRefusedFailsValidationAndItsPass) {
    // The device refuses shaders above its caps.
    mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    ID3DXEffect* e = Make(kModels);
    ASSERT_NE(e, nullptr) << "a refused shader does not fail creation";
    // Even with caps raised later, the shader does not exist.
    mr_Control_->SetShaderVersions(D3DVS_VERSION(3, 0), D3DPS_VERSION(3, 0));
    EXPECT_EQ(e->ValidateTechnique("Needs30"), E_FAIL);
    ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
    const std::string ls_Before = DescribeState();
    EXPECT_EQ(e->BeginPass(0), E_FAIL);
    EXPECT_EQ(Changed(ls_Before, DescribeState()), "") << "nothing applied for a pass that cannot run";
    EXPECT_EQ(e->EndPass(), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->End(), D3D_OK);
    e->Release();
}

TEST_F(EffectTest, ShadersCarryTheirProfilesVersionAndEntryName) {
    ID3DXEffect* e = Make(R"(
        float4 AVeryLongEntryPointName(float2 uv : TEXCOORD0) : COLOR { return 0; }
        float4 VSMain(float4 p : POSITION) : POSITION { return p; }
        technique { pass {
            VertexShader = compile vs_1_1 VSMain();
            PixelShader = compile ps_2_b AVeryLongEntryPointName();
        } }
    )");
    ASSERT_NE(e, nullptr);
    // The shaders the effect holds, in the order it made them.
    const std::vector<effecttest::ShaderInfo> lr_Shaders = LiveShaders();
    ASSERT_EQ(lr_Shaders.size(), 2u);
    EXPECT_EQ(lr_Shaders[0].Version, static_cast<DWORD>(D3DVS_VERSION(1, 1)));
    EXPECT_EQ(lr_Shaders[0].Entry, "VSMain");
    // ps_2_b is shader model 2.x, as ps_2_a.
    EXPECT_EQ(lr_Shaders[1].Version, static_cast<DWORD>(D3DPS_VERSION(2, 1)));
    EXPECT_EQ(lr_Shaders[1].Entry, "AVeryLongEntryPointName");
    e->Release();
}

TEST_F(EffectTest, CommitChangesRebindsTexturesChangedInsideAPass) {
    ID3DXEffect* e = Make(kTwoPasses);
    ASSERT_NE(e, nullptr);
    IDirect3DTexture9* first = NewTexture();
    IDirect3DTexture9* second = NewTexture();
    ASSERT_EQ(e->SetTexture("sceneTex", first), D3D_OK);
    ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(e->BeginPass(0), D3D_OK);
    EXPECT_EQ(BoundTexture(0), first);
    ASSERT_EQ(e->SetTexture("sceneTex", second), D3D_OK);
    EXPECT_EQ(BoundTexture(0), first) << "not before CommitChanges";
    // Changed behind the effect's back: a re-sent pass state would undo it.
    mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    ASSERT_EQ(e->CommitChanges(), D3D_OK);
    EXPECT_EQ(BoundTexture(0), second);
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_TRUE)) << "constant render states are not re-sent";
    ASSERT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->End(), D3D_OK);
    e->Release();
    first->Release();
    second->Release();
}

TEST_F(EffectTest, ExplicitRegistersIndexedStatesAndParameterValues) {
    ID3DXEffect* e = Make(R"(
        texture a; texture b;
        sampler2D sa : register(s3) = sampler_state { Texture = <a>; };
        sampler2D sb = sampler_state { Texture = <b>; };
        bool depthOn = true;
        float bias = 1.5;
        float4 PS(float2 uv : TEXCOORD0) : COLOR { return tex2D(sa, uv) + tex2D(sb, uv); }
        technique {
            pass {
                ZEnable = <depthOn>;
                DepthBias = (bias);
                MinFilter[5] = Anisotropic;
                Texture[6] = <b>;
                Sampler[7] = (sa);
                PixelShader = compile ps_2_0 PS();
            }
        }
    )");
    ASSERT_NE(e, nullptr);
    IDirect3DTexture9* ta = NewTexture();
    IDirect3DTexture9* tb = NewTexture();
    ASSERT_EQ(e->SetTexture("a", ta), D3D_OK);
    ASSERT_EQ(e->SetTexture("b", tb), D3D_OK);
    ASSERT_EQ(e->SetBool("depthOn", FALSE), D3D_OK);
    ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(e->BeginPass(0), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), 0u) << "the value at BeginPass time";
    DWORD bits = RenderState(D3DRS_DEPTHBIAS);
    float bias = 0;
    std::memcpy(&bias, &bits, 4);
    EXPECT_FLOAT_EQ(bias, 1.5f);
    EXPECT_EQ(SamplerState(5, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_ANISOTROPIC));
    EXPECT_EQ(BoundTexture(6), tb);
    EXPECT_EQ(BoundTexture(7), ta);
    EXPECT_EQ(BoundTexture(3), ta) << "register(s3)";
    EXPECT_EQ(BoundTexture(0), tb) << "first free register";
    ASSERT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->End(), D3D_OK);
    EXPECT_EQ(BoundTexture(6), nullptr);
    EXPECT_TRUE(e->IsParameterUsed("a", e->GetTechnique(0)));
    EXPECT_TRUE(e->IsParameterUsed("bias", e->GetTechnique(0)));
    e->Release();
    ta->Release();
    tb->Release();
}

TEST_F(EffectTest, IsParameterUsedFollowsTheEntryPointsCalls) {
    ID3DXEffect* e = Make(R"(
        float used; float unused; float viaHelper;
        float Helper() { return viaHelper; }
        float4 PS() : COLOR { return used + Helper(); }
        float4 Other() : COLOR { return unused; }
        technique T { pass { PixelShader = compile ps_2_0 PS(); } }
        technique U { pass { PixelShader = compile ps_2_0 Other(); } }
    )");
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->IsParameterUsed("used", "T"));
    EXPECT_TRUE(e->IsParameterUsed("viaHelper", "T"));
    EXPECT_FALSE(e->IsParameterUsed("unused", "T"));
    EXPECT_TRUE(e->IsParameterUsed("unused", "U"));
    e->Release();
}

// Records what an effect sends through a state manager.
class RecordingStateManager final : public ID3DXEffectStateManager {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++mr_Count; }
    ULONG STDMETHODCALLTYPE Release() override { return --mr_Count; }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetLight(DWORD, const D3DLIGHT9*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override {
        RenderStates.push_back({static_cast<DWORD>(State), Value});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD, LPDIRECT3DBASETEXTURE9) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetNPatchMode(FLOAT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetVertexShader(LPDIRECT3DVERTEXSHADER9) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT, const FLOAT*, UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT, const INT*, UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT, const BOOL*, UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetPixelShader(LPDIRECT3DPIXELSHADER9 pShader) override {
        PixelShaders.push_back(pShader);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT, const FLOAT*, UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT, const INT*, UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT, const BOOL*, UINT) override { return S_OK; }

    ULONG Count() const { return mr_Count; }
    std::vector<std::pair<DWORD, DWORD>> RenderStates;
    std::vector<IDirect3DPixelShader9*> PixelShaders;

private:
    ULONG mr_Count = 1;
};

TEST_F(EffectTest, AStateManagerReceivesThePassStatesInsteadOfTheDevice) {
    ID3DXEffect* e = Make(kTwoPasses);
    ASSERT_NE(e, nullptr);
    RecordingStateManager lr_Manager;
    ASSERT_EQ(e->SetStateManager(&lr_Manager), D3D_OK);
    EXPECT_EQ(lr_Manager.Count(), 2u);
    ID3DXEffectStateManager* lr_Got = nullptr;
    ASSERT_EQ(e->GetStateManager(&lr_Got), D3D_OK);
    EXPECT_EQ(lr_Got, &lr_Manager);
    lr_Got->Release();
    ASSERT_EQ(e->Begin(nullptr, D3DXFX_DONOTSAVESTATE), D3D_OK);
    const std::string ls_Before = DescribeState();
    ASSERT_EQ(e->BeginPass(1), D3D_OK);
    EXPECT_EQ(Changed(ls_Before, DescribeState()), "");
    ASSERT_EQ(lr_Manager.RenderStates.size(), 2u);
    EXPECT_EQ(lr_Manager.RenderStates[0], std::make_pair(static_cast<DWORD>(D3DRS_STENCILENABLE), 1u));
    ASSERT_EQ(lr_Manager.PixelShaders.size(), 1u);
    EXPECT_NE(lr_Manager.PixelShaders[0], nullptr);
    ASSERT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->End(), D3D_OK);
    e->Release();
    EXPECT_EQ(lr_Manager.Count(), 1u) << "the effect let go of its manager";
}

TEST_F(EffectTest, VertexShaderSamplersUseTheVertexTextureStages) {
    ID3DXEffect* e = Make(R"(
        texture heights;
        sampler2D heightSampler = sampler_state { Texture = <heights>; MinFilter = Point; };
        float4 VS(float4 p : POSITION) : POSITION { return p + tex2Dlod(heightSampler, p); }
        technique { pass { VertexShader = compile vs_3_0 VS(); } }
    )");
    ASSERT_NE(e, nullptr);
    IDirect3DTexture9* tex = NewTexture();
    ASSERT_EQ(e->SetTexture("heights", tex), D3D_OK);
    ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(e->BeginPass(0), D3D_OK);
    EXPECT_EQ(BoundTexture(D3DVERTEXTEXTURESAMPLER0), tex);
    EXPECT_EQ(BoundTexture(0), nullptr);
    EXPECT_EQ(SamplerState(D3DVERTEXTEXTURESAMPLER0, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_POINT));
    ASSERT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->End(), D3D_OK);
    EXPECT_EQ(BoundTexture(D3DVERTEXTEXTURESAMPLER0), nullptr);
    e->Release();
    tex->Release();
}

}  // namespace
