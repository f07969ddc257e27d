// The compiler's optimiser: shaders compiled with and without it draw the
// same pixels and depths on the software device, shorter; streams it cannot
// read come back as they were.
#include "EffectTestSupport.h"
#include "SoftTestDevice.h"

#include "compiler/ShaderOptimiser.h"

#include <soft/SoftShaderStatistics.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr UINT k_Width = 16, k_Height = 8;
constexpr char k_NoOptimiser[] = "SOFT_D3DX_NO_SHADER_OPTIMISER";

// Interpolated inputs of every shader: two four-component coordinates and a colour.
const char k_Inputs[] = R"(
float4 K; float4 L;
texture T0; texture T1;
sampler2D S0 = sampler_state { Texture = <T0>; MinFilter = Linear; MagFilter = Linear; AddressU = Wrap; AddressV = Wrap; };
sampler2D S1 = sampler_state { Texture = <T1>; MinFilter = Point; MagFilter = Point; AddressU = Mirror; AddressV = Clamp; };
struct In { float4 a : TEXCOORD0; float4 b : TEXCOORD1; float4 col : COLOR0; };
)";

struct Case {
    const char* Name;
    const char* Body;     // float4 main(In i) : COLOR, or a shader with its own output
    bool ModelTwo;        // compiles for ps_2_0 as well as ps_2_a
    UINT MostArithmetic;  // in ps_2_a, when bounded
};

const Case k_Cases[] = {
    {"ComponentWise", R"(float4 main(In i) : COLOR {
        float4 r = i.a.yzwx * K - i.b.zzxy;
        r.xy = -r.yx + L.zw;
        return r * 0.5 + i.col.wzyx; })",
     true, 0},
    {"DotProducts", R"(float4 main(In i) : COLOR {
        float d3 = dot(i.a.xyz, K.xyz), d4 = dot(i.b, L), d2 = dot(i.a.zw, i.b.xy) + K.w;
        return float4(d3, d4, d2, d3 - d4); })",
     true, 0},
    {"ScalarFunctions", R"(float4 main(In i) : COLOR {
        float x = abs(i.a.x) + 1;
        return saturate(float4(1 / x, rsqrt(x), exp2(-i.b.y), log2(x)) * L) + pow(x, K.z) * 0.01; })",
     true, 0},
    {"ComputedCoordinates", R"(float4 main(In i) : COLOR {
        float2 uv = i.a.xy * K.xy + i.b.zw;
        float4 t = tex2D(S0, uv);
        float4 u = tex2D(S1, t.yx * 0.5 + i.a.zw);
        return t * u.wzyx + tex2D(S0, i.b.xy) - tex2D(S1, i.b.wz); })",
     true, 0},
    {"DepthOutput", R"(struct O { float4 c : COLOR0; float d : DEPTH; };
        O main(In i) {
            float t = tex2D(S0, i.a.xy).a; O o; o.c = float4(i.b.y, 0, 0, 1);
            o.d = L.x + L.y * i.b.x + L.z * t; return o; })",
     // The colour's two moves, two mad, the outputs' two moves.
     true, 6},
    {"MultiplyAdd", R"(float4 main(In i) : COLOR {
        float4 r = i.a * K + i.b;
        float4 s = L.wzyx * i.b - i.a.x * r;
        return s * i.col.w + r.yzwx * 0.75; })",
     // Two mad; the first product stays a mul, as t0 and t1 share one read port.
     true, 7},
    {"ConstantsAndDefinitions", R"(float4 main(In i) : COLOR {
        float4 k = float4(0.25, -2, 3.5, 1);
        float4 m = lerp(i.a, i.b, 0.3);
        return max(min(m, k), -k.yxwz) + (i.a.x >= 0 ? K : L) + frac(i.b * 3.7); })",
     true, 0},
    {"Assembled", R"(float4 main(In i) : COLOR {
        float4 r; r.x = i.a.y; r.y = K.z; r.z = -i.b.x; r.w = 1;
        return r + i.col.zzzz; })",
     true, 0},
    {"VectorFunctions", R"(float4 main(In i) : COLOR {
        float3 n = normalize(i.a.xyz + 0.1);
        float s, c; sincos(i.b.x * 3, s, c);
        return float4(cross(n, i.b.xyz) * s, dot(n, n) * c); })",
     true, 0},
    {"FoldedModifiers", R"(float4 main(In i) : COLOR {
        float d = saturate(i.b.w - dot(i.a.xy, K.zw));
        float e = rsqrt(abs(dot(i.b.xy, i.b.zw)) + 0.5);
        float2 n = -(i.a.zw * L.xy);
        return float4(d, e, saturate(n + i.col.xy)); })",
     true, 0},
    {"Derivatives", R"(float4 main(In i) : COLOR {
        float2 g = ddx(i.a.xy) + ddy(i.b.zw);
        return float4(g * 8, -g.yx) + tex2D(S1, i.a.wx * g.x); })",
     false, 0},
};

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR Colour;
    float a[4], b[4];
};

struct Drawn {
    std::vector<BYTE> Colours;
    std::vector<BYTE> Depths;
    SoftShaderStatistics Stats{};
};

class ShaderOptimiserTest : public SoftDeviceFixture {
protected:
    ShaderOptimiserTest() { mr_PresentParameters = SoftPresentParameters(k_Width, k_Height); }

    void SetUp() override {
        SoftDeviceFixture::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(mr_Device_->CreateTexture(k_Width, k_Height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A32B32G32R32F,
                                            D3DPOOL_DEFAULT, &mr_Target_, nullptr),
                  D3D_OK);
        ASSERT_EQ(mr_Device_->CreateDepthStencilSurface(k_Width, k_Height, D3DFMT_D32F_LOCKABLE, D3DMULTISAMPLE_NONE, 0,
                                                        FALSE, &mr_Depth_, nullptr),
                  D3D_OK);
        for (int t = 0; t < 2; ++t) {
            ASSERT_EQ(
                mr_Device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &mr_Textures_[t], nullptr),
                D3D_OK);
            D3DLOCKED_RECT lr_Locked;
            ASSERT_EQ(mr_Textures_[t]->LockRect(0, &lr_Locked, nullptr, 0), D3D_OK);
            for (UINT y = 0; y < 8; ++y)
                for (UINT x = 0; x < 8; ++x)
                    reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr_Locked.pBits) + y * lr_Locked.Pitch)[x] =
                        (x * 37 + y * 11 + t * 90) * 0x01030507u + 0x10204080u;
            mr_Textures_[t]->UnlockRect(0);
        }
        mr_Device_->GetRenderTarget(0, &mr_OldTarget_);
        mr_Device_->GetDepthStencilSurface(&mr_OldDepth_);
        mr_Target_->GetSurfaceLevel(0, &mr_TargetSurface_);
        mr_Device_->SetRenderTarget(0, mr_TargetSurface_);
        mr_Device_->SetDepthStencilSurface(mr_Depth_);
    }

    void TearDown() override {
        if (mr_OldTarget_) {
            mr_Device_->SetRenderTarget(0, mr_OldTarget_);
            mr_OldTarget_->Release();
        }
        if (mr_OldDepth_) {
            mr_Device_->SetDepthStencilSurface(mr_OldDepth_);
            mr_OldDepth_->Release();
        }
        if (mr_TargetSurface_) mr_TargetSurface_->Release();
        for (IDirect3DTexture9* lr_Texture_ : mr_Textures_)
            if (lr_Texture_) lr_Texture_->Release();
        if (mr_Depth_) mr_Depth_->Release();
        if (mr_Target_) mr_Target_->Release();
        unsetenv(k_NoOptimiser);
        SoftDeviceFixture::TearDown();
    }

    // The case compiled for `profile`, with or without the optimiser, drawn over the whole target.
    Drawn Draw(const Case& c, const char* profile, bool optimise) {
        Drawn lr_Drawn;
        if (optimise)
            unsetenv(k_NoOptimiser);
        else
            setenv(k_NoOptimiser, "1", 1);
        const std::string ls_Text = std::string(k_Inputs) + c.Body +
                                    "\ntechnique T { pass P { ZEnable = true; ZFunc = Always; ZWriteEnable = true; "
                                    "CullMode = None; PixelShader = compile " +
                                    profile + " main(); } }\n";
        std::string ls_Errors;
        ID3DXEffect* lr_Effect_ = effecttest::Compile(mr_Device_, ls_Text, &ls_Errors);
        EXPECT_NE(lr_Effect_, nullptr) << ls_Errors;
        if (!lr_Effect_) return lr_Drawn;
        D3DXPASS_DESC lr_Pass{};
        EXPECT_EQ(lr_Effect_->GetPassDesc(lr_Effect_->GetPass("T", 0), &lr_Pass), D3D_OK);
        EXPECT_TRUE(SoftGetShaderStatistics(lr_Pass.pPixelShaderFunction, 1u << 16, &lr_Drawn.Stats));

        const float k_K[4] = {1.25f, -0.75f, 0.5f, 2.0f}, k_L[4] = {0.125f, 0.375f, 0.25f, -1.5f};
        lr_Effect_->SetVector("K", reinterpret_cast<const D3DXVECTOR4*>(k_K));
        lr_Effect_->SetVector("L", reinterpret_cast<const D3DXVECTOR4*>(k_L));
        lr_Effect_->SetTexture("T0", mr_Textures_[0]);
        lr_Effect_->SetTexture("T1", mr_Textures_[1]);
        mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);

        // Corners that differ in every input, so that each pixel reads other values.
        const float W = k_Width, H = k_Height;
        const Vertex lr_Quad[4] = {
            {0, 0, 0.25f, 1, 0xFF2080C0, {-1.5f, 0.25f, 0.7f, 1.1f}, {0.1f, 0.9f, 0.3f, 0.6f}},
            {W, 0, 0.5f, 1, 0x80F04010, {1.25f, -0.5f, 0.2f, -0.4f}, {0.8f, 0.2f, 0.95f, 0.05f}},
            {0, H, 0.75f, 1, 0x4010F0A0, {0.5f, 1.5f, -0.9f, 0.3f}, {0.4f, 0.1f, 0.15f, 0.85f}},
            {W, H, 0.6f, 1, 0xC0A0A0FF, {-0.25f, -1.25f, 0.45f, 2.2f}, {0.65f, 0.55f, 0.7f, 0.25f}},
        };
        mr_Device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE4(0) |
                           D3DFVF_TEXCOORDSIZE4(1));
        mr_Device_->BeginScene();
        UINT lr_Passes = 0;
        EXPECT_EQ(lr_Effect_->Begin(&lr_Passes, 0), D3D_OK);
        EXPECT_EQ(lr_Effect_->BeginPass(0), D3D_OK);
        EXPECT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lr_Quad, sizeof(Vertex)), D3D_OK);
        lr_Effect_->EndPass();
        lr_Effect_->End();
        mr_Device_->EndScene();

        lr_Drawn.Colours = ReadPixels(mr_TargetSurface_);
        lr_Drawn.Depths = ReadPixels(mr_Depth_);
        lr_Effect_->Release();
        return lr_Drawn;
    }

    IDirect3DTexture9* mr_Target_ = nullptr;
    IDirect3DSurface9* mr_TargetSurface_ = nullptr;
    IDirect3DSurface9* mr_Depth_ = nullptr;
    IDirect3DSurface9* mr_OldTarget_ = nullptr;
    IDirect3DSurface9* mr_OldDepth_ = nullptr;
    IDirect3DTexture9* mr_Textures_[2] = {};
};

}  // namespace

TEST_F(ShaderOptimiserTest, OptimisedShadersDrawTheSamePixelsWithFewerInstructions) {
    for (const Case& c : k_Cases) {
        for (const char* lr_Profile : {"ps_2_0", "ps_2_a"}) {
            if (!c.ModelTwo && std::string(lr_Profile) == "ps_2_0") continue;
            SCOPED_TRACE(std::string(c.Name) + " " + lr_Profile);
            const Drawn lr_Plain = Draw(c, lr_Profile, false);
            const Drawn lr_Optimised = Draw(c, lr_Profile, true);
            ASSERT_FALSE(lr_Plain.Colours.empty());
            EXPECT_EQ(lr_Plain.Colours, lr_Optimised.Colours);
            EXPECT_EQ(lr_Plain.Depths, lr_Optimised.Depths);
            const UINT lr_Before = lr_Plain.Stats.Arithmetic + lr_Plain.Stats.Texture;
            const UINT lr_After = lr_Optimised.Stats.Arithmetic + lr_Optimised.Stats.Texture;
            std::printf("%-24s %s instructions %3u -> %3u\n", c.Name, lr_Profile, lr_Before, lr_After);
            // Every case goes through moves the compiler adds.
            EXPECT_LT(lr_After, lr_Before);
            EXPECT_EQ(lr_Plain.Stats.Texture, lr_Optimised.Stats.Texture);
            if (c.MostArithmetic && std::string(lr_Profile) == "ps_2_a") {
                EXPECT_LE(lr_Optimised.Stats.Arithmetic, c.MostArithmetic);
            }
        }
    }
}

namespace {

// ps_3_0: mov r0, c0; mov r1, r0; mov oC0, r1, with a comment; `middle` goes between the first two moves.
std::vector<DWORD> Stream(const std::vector<DWORD>& middle) {
    std::vector<DWORD> lr_Tokens = {D3DPS_VERSION(3, 0), D3DSHADER_COMMENT(2), 0x434E5546 /* FUNC */,
                                    0x6E69616D,          0x02000001,           0x800F0000,
                                    0xA0E40000};
    lr_Tokens.insert(lr_Tokens.end(), middle.begin(), middle.end());
    const DWORD k_Rest[] = {0x02000001, 0x800F0001, 0x80E40000, 0x02000001, 0x800F0800, 0x80E40001, D3DPS_END()};
    lr_Tokens.insert(lr_Tokens.end(), std::begin(k_Rest), std::end(k_Rest));
    return lr_Tokens;
}

}  // namespace

TEST(ShaderOptimiser, StreamsItCannotReadComeBackUnchanged) {
    // The plain stream becomes one move from the constant, its comment kept.
    const std::vector<DWORD> lr_Optimised = softfx::OptimiseShader(Stream({}), "ps_3_0");
    EXPECT_EQ(lr_Optimised, (std::vector<DWORD>{D3DPS_VERSION(3, 0), D3DSHADER_COMMENT(2), 0x434E5546, 0x6E69616D,
                                                0x02000001, 0x800F0800, 0xA0E40000, D3DPS_END()}));
    const struct {
        const char* What;
        std::vector<DWORD> Middle;
    } k_Unreadable[] = {
        {"if b0 / endif", {0x01000028, 0xE0E40800, 0x0000002B}},
        {"rep i0 / endrep", {0x01000026, 0xF0E40000, 0x00000027}},
        {"texkill r0 predicated by p0", {0x12000041, 0x800F0000, 0xB0E41000}},
        {"texcoord, a model 1 opcode", {0x01000040, 0x800F0002}},
        {"a relatively addressed constant", {0x03000001, 0x800F0002, 0xA0E42000, 0xF0E40800}},
        {"an opcode no model has", {0x0100007E, 0x800F0002}},
        {"a length that does not fit the opcode", {0x02000002, 0x800F0002, 0x80E40000}},
    };
    for (const auto& u : k_Unreadable) {
        const std::vector<DWORD> lr_Stream = Stream(u.Middle);
        EXPECT_EQ(softfx::OptimiseShader(lr_Stream, "ps_3_0"), lr_Stream) << u.What;
    }
    // A model 1 stream, and one cut short.
    const std::vector<DWORD> lr_Model1 = {D3DPS_VERSION(1, 4), 0x00000001, 0x800F0000, 0xA0E40000, D3DPS_END()};
    EXPECT_EQ(softfx::OptimiseShader(lr_Model1, "ps_1_4"), lr_Model1);
    std::vector<DWORD> lr_Short = Stream({});
    lr_Short.resize(lr_Short.size() - 3);
    EXPECT_EQ(softfx::OptimiseShader(lr_Short, "ps_3_0"), lr_Short);
}

// crs r0.xyz, r1, r2 keeps r1, a copy of r0: a macro never reads its destination. add may.
TEST(ShaderOptimiser, AMacroNeverReadsItsDestination) {
    auto lr_Reading = [](DWORD opcode) {
        return std::vector<DWORD>{D3DPS_VERSION(3, 0), 0x02000001, 0x800F0001, 0x80E40000,
                                  0x03000000 | opcode, 0x80070000, 0x80E40001, 0x80E40002,
                                  0x02000001,          0x800F0800, 0x80E40000, D3DPS_END()};
    };
    EXPECT_EQ(softfx::OptimiseShader(lr_Reading(D3DSIO_CRS), "ps_3_0"), lr_Reading(D3DSIO_CRS));
    EXPECT_EQ(softfx::OptimiseShader(lr_Reading(D3DSIO_ADD), "ps_3_0"),
              (std::vector<DWORD>{D3DPS_VERSION(3, 0), 0x03000002, 0x80070000, 0x80E40000, 0x80E40002, 0x02000001,
                                  0x800F0800, 0x80E40000, D3DPS_END()}));
}

namespace {

// Hand-written streams: an instruction's length comes from its parameters.
using Tokens = std::vector<DWORD>;
constexpr DWORD k_XYZW = 0xE4, k_XXXX = 0x00, k_YYYY = 0x55, k_YXXX = 0x01, k_YZXW = 0xC9, k_WZYX = 0x1B;
constexpr DWORD k_X = 1, k_Y = 2, k_XY = 3, k_ZW = 0xC, k_XYZ = 7, k_All = 0xF;

DWORD Register(DWORD type, DWORD number) {
    return 0x80000000u | ((type << D3DSP_REGTYPE_SHIFT) & D3DSP_REGTYPE_MASK) |
           ((type << D3DSP_REGTYPE_SHIFT2) & D3DSP_REGTYPE_MASK2) | number;
}
DWORD R(DWORD number, DWORD mask = k_All, DWORD modifier = D3DSPDM_NONE) {
    return Register(D3DSPR_TEMP, number) | (mask << 16) | modifier;
}
DWORD Src(DWORD type, DWORD number, DWORD swizzle = k_XYZW, DWORD modifier = D3DSPSM_NONE) {
    return Register(type, number) | (swizzle << D3DSP_SWIZZLE_SHIFT) | modifier;
}
DWORD Rs(DWORD number, DWORD swizzle = k_XYZW, DWORD modifier = D3DSPSM_NONE) {
    return Src(D3DSPR_TEMP, number, swizzle, modifier);
}
DWORD Cs(DWORD number, DWORD swizzle = k_XYZW) { return Src(D3DSPR_CONST, number, swizzle); }
const DWORD k_T0 = Src(D3DSPR_TEXTURE, 0), k_S0 = Src(D3DSPR_SAMPLER, 0);
const DWORD k_OC0 = Register(D3DSPR_COLOROUT, 0) | (k_All << 16);

Tokens In(DWORD opcode, std::initializer_list<DWORD> params) {
    Tokens lr_In = {opcode | (static_cast<DWORD>(params.size()) << D3DSI_INSTLENGTH_SHIFT)};
    lr_In.insert(lr_In.end(), params);
    return lr_In;
}
// c`n` defined as (x, 1, 1, 1).
Tokens Def(DWORD n, float x) {
    DWORD lr_Bits;
    std::memcpy(&lr_Bits, &x, sizeof lr_Bits);
    return In(D3DSIO_DEF, {Register(D3DSPR_CONST, n) | (k_All << 16), lr_Bits, 0x3F800000, 0x3F800000, 0x3F800000});
}
Tokens Program(DWORD version, std::initializer_list<Tokens> instructions) {
    Tokens lr_Tokens = {version};
    for (const Tokens& in : instructions) lr_Tokens.insert(lr_Tokens.end(), in.begin(), in.end());
    lr_Tokens.push_back(D3DPS_END());
    return lr_Tokens;
}

}  // namespace

// mov r0, -r0 goes into its readers, a negation there cancelling; the plain
// move within one register as well (mov r1.xyz, r1.x). A texture coordinate
// takes no modifier: that move stays.
TEST(ShaderOptimiser, NegatedAndInPlaceMovesFoldIntoTheirReaders) {
    const DWORD v = D3DPS_VERSION(2, 0);
    EXPECT_EQ(
        softfx::OptimiseShader(
            Program(v,
                    {In(D3DSIO_MUL, {R(0), k_T0, Cs(0)}), In(D3DSIO_MOV, {R(0), Rs(0, k_XYZW, D3DSPSM_NEG)}),
                     In(D3DSIO_ADD, {R(1), Rs(0), Cs(1)}),
                     In(D3DSIO_MAD, {R(1), Rs(0, k_XYZW, D3DSPSM_NEG), Cs(0), Rs(1)}), In(D3DSIO_MOV, {k_OC0, Rs(1)})}),
            "ps_2_0"),
        Program(v, {In(D3DSIO_MUL, {R(0), k_T0, Cs(0)}), In(D3DSIO_ADD, {R(1), Rs(0, k_XYZW, D3DSPSM_NEG), Cs(1)}),
                    In(D3DSIO_MAD, {R(1), Rs(0), Cs(0), Rs(1)}), In(D3DSIO_MOV, {k_OC0, Rs(1)})}));
    EXPECT_EQ(softfx::OptimiseShader(
                  Program(v, {In(D3DSIO_TEX, {R(1), k_T0, k_S0}), In(D3DSIO_MOV, {R(1, k_XYZ), Rs(1, k_XXXX)}),
                              In(D3DSIO_MUL, {R(0, k_XYZ), k_T0, Rs(1)}), In(D3DSIO_MOV, {R(0, 8), Rs(1)}),
                              In(D3DSIO_MOV, {k_OC0, Rs(0)})}),
                  "ps_2_0"),
              Program(v, {In(D3DSIO_TEX, {R(1), k_T0, k_S0}), In(D3DSIO_MUL, {R(0, k_XYZ), k_T0, Rs(1, k_XXXX)}),
                          In(D3DSIO_MOV, {R(0, 8), Rs(1)}), In(D3DSIO_MOV, {k_OC0, Rs(0)})}));
    const Tokens lr_Coordinate =
        Program(v, {In(D3DSIO_ADD, {R(0), k_T0, Cs(0)}), In(D3DSIO_MOV, {R(0), Rs(0, k_XYZW, D3DSPSM_NEG)}),
                    In(D3DSIO_TEX, {R(1), Rs(0), k_S0}), In(D3DSIO_MOV, {k_OC0, Rs(1)})});
    EXPECT_EQ(softfx::OptimiseShader(lr_Coordinate, "ps_2_0"), lr_Coordinate);
}

// add r0.x, ...; mov_sat r1.x, r0.x: add_sat r1.x. Not when r0.x is read
// again, nor into a texture read.
TEST(ShaderOptimiser, ASaturatingMoveFoldsIntoTheInstructionBeforeIt) {
    const DWORD v = D3DPS_VERSION(2, 0);
    EXPECT_EQ(softfx::OptimiseShader(
                  Program(v, {In(D3DSIO_ADD, {R(0, k_X), k_T0, Cs(0)}),
                              In(D3DSIO_MOV, {R(1, k_X, D3DSPDM_SATURATE), Rs(0)}), In(D3DSIO_MOV, {k_OC0, Rs(1)})}),
                  "ps_2_0"),
              Program(v, {In(D3DSIO_ADD, {R(1, k_X, D3DSPDM_SATURATE), k_T0, Cs(0)}), In(D3DSIO_MOV, {k_OC0, Rs(1)})}));
    const Tokens lr_ReadAgain =
        Program(v, {In(D3DSIO_ADD, {R(0, k_X), k_T0, Cs(0)}), In(D3DSIO_MOV, {R(1, k_X, D3DSPDM_SATURATE), Rs(0)}),
                    In(D3DSIO_ADD, {R(1, k_Y), Rs(0, k_XXXX), Cs(1)}), In(D3DSIO_MOV, {k_OC0, Rs(1)})});
    EXPECT_EQ(softfx::OptimiseShader(lr_ReadAgain, "ps_2_0"), lr_ReadAgain);
    const Tokens lr_Texture =
        Program(v, {In(D3DSIO_TEX, {R(0), k_T0, k_S0}), In(D3DSIO_MOV, {R(1, k_All, D3DSPDM_SATURATE), Rs(0)}),
                    In(D3DSIO_MOV, {k_OC0, Rs(1)})});
    EXPECT_EQ(softfx::OptimiseShader(lr_Texture, "ps_2_0"), lr_Texture);
}

// A dot product's scratch result moved into a vector's component is written
// there at once; a per-component result moved with a swizzle takes the
// swizzle into its sources, where the model has that swizzle.
TEST(ShaderOptimiser, AResultMovedOnceIsWrittenWhereTheMovePutsIt) {
    const DWORD v = D3DPS_VERSION(2, 0);
    EXPECT_EQ(softfx::OptimiseShader(Program(v, {In(D3DSIO_DP2ADD, {R(0, k_X), k_T0, Cs(0), Cs(1, k_XXXX)}),
                                                 In(D3DSIO_MOV, {R(1, k_Y), Rs(0, k_XXXX)}),
                                                 In(D3DSIO_MOV, {R(1, 0xD), Cs(2)}), In(D3DSIO_MOV, {k_OC0, Rs(1)})}),
                                     "ps_2_0"),
              Program(v, {In(D3DSIO_DP2ADD, {R(1, k_Y), k_T0, Cs(0), Cs(1, k_XXXX)}),
                          In(D3DSIO_MOV, {R(1, 0xD), Cs(2)}), In(D3DSIO_MOV, {k_OC0, Rs(1)})}));
    // add r0.xy, t0.yzxw, c0.yzxw; mov r1.zw, r0.wzyx: the add's slots z and w
    // would read z and y, a swizzle ps_2_0 does not have and ps_2_a does.
    const auto lr_Swapped = [](DWORD version) {
        return Program(version, {In(D3DSIO_ADD, {R(0, k_XY), Src(D3DSPR_TEXTURE, 0, k_YZXW), Cs(0, k_YZXW)}),
                                 In(D3DSIO_MOV, {R(1, k_ZW), Rs(0, k_WZYX)}), In(D3DSIO_MOV, {R(1, k_XY), Cs(1)}),
                                 In(D3DSIO_MOV, {k_OC0, Rs(1)})});
    };
    EXPECT_EQ(softfx::OptimiseShader(lr_Swapped(D3DPS_VERSION(2, 0)), "ps_2_0"), lr_Swapped(D3DPS_VERSION(2, 0)));
    const DWORD k_ZZZY = 0x6A;
    EXPECT_EQ(softfx::OptimiseShader(lr_Swapped(D3DPS_VERSION(2, 1)), "ps_2_a"),
              Program(D3DPS_VERSION(2, 1), {In(D3DSIO_ADD, {R(1, k_ZW), Src(D3DSPR_TEXTURE, 0, k_ZZZY), Cs(0, k_ZZZY)}),
                                            In(D3DSIO_MOV, {R(1, k_XY), Cs(1)}), In(D3DSIO_MOV, {k_OC0, Rs(1)})}));
}

// dp2add r0.x, a, b, (a defined zero); add r0.x, r0.x, x: dp2add r0.x, a, b, x,
// with -a for -r0.x. Not with a bias that is not zero.
TEST(ShaderOptimiser, Dp2addTakesTheAdditionAfterItAsItsBias) {
    const DWORD v = D3DPS_VERSION(2, 0);
    auto lr_Biased = [&](float zero, DWORD modifier) {
        return Program(
            v, {Def(2, zero), In(D3DSIO_DP2ADD, {R(0, k_X), k_T0, Cs(0), Cs(2, k_XXXX)}),
                In(D3DSIO_ADD, {R(0, k_X), Rs(0, k_XYZW, modifier), Cs(1, k_YYYY)}), In(D3DSIO_MOV, {k_OC0, Rs(0)})});
    };
    EXPECT_EQ(softfx::OptimiseShader(lr_Biased(0.0f, D3DSPSM_NONE), "ps_2_0"),
              Program(v, {Def(2, 0.0f), In(D3DSIO_DP2ADD, {R(0, k_X), k_T0, Cs(0), Cs(1, k_YYYY)}),
                          In(D3DSIO_MOV, {k_OC0, Rs(0)})}));
    EXPECT_EQ(softfx::OptimiseShader(lr_Biased(0.0f, D3DSPSM_NEG), "ps_2_0"),
              Program(v, {Def(2, 0.0f), In(D3DSIO_DP2ADD, {R(0, k_X), k_T0 | D3DSPSM_NEG, Cs(0), Cs(1, k_YYYY)}),
                          In(D3DSIO_MOV, {k_OC0, Rs(0)})}));
    EXPECT_EQ(softfx::OptimiseShader(lr_Biased(0.5f, D3DSPSM_NONE), "ps_2_0"), lr_Biased(0.5f, D3DSPSM_NONE));
}

// The add's swizzle picks the product's components; its negation moves onto
// a factor, or cancels one the factor had.
TEST(ShaderOptimiser, AMulAndTheAddReadingItBecomeOneMad) {
    const DWORD k_WZ = 0xAB;  // .wzzz
    const DWORD a = D3DPS_VERSION(2, 1), v = D3DPS_VERSION(2, 0);
    const Tokens lr_Output = In(D3DSIO_MOV, {k_OC0, Rs(2)});
    EXPECT_EQ(
        softfx::OptimiseShader(Program(a, {In(D3DSIO_MUL, {R(0, k_XY), Cs(0, 0xEE), Src(D3DSPR_TEXTURE, 0, k_YXXX)}),
                                           In(D3DSIO_ADD, {R(2, k_XY), Cs(1), Rs(0, k_YXXX, D3DSPSM_NEG)}), lr_Output}),
                               "ps_2_a"),
        Program(a, {In(D3DSIO_MAD, {R(2, k_XY), Src(D3DSPR_CONST, 0, k_WZ, D3DSPSM_NEG), k_T0, Cs(1)}), lr_Output}));
    // The compiler's subtraction: the product negated onto itself by a move, then added.
    EXPECT_EQ(softfx::OptimiseShader(Program(v, {In(D3DSIO_MUL, {R(0, k_X), Src(D3DSPR_CONST, 0, k_XXXX, D3DSPSM_NEG),
                                                                 Src(D3DSPR_TEXTURE, 0, k_XXXX)}),
                                                 In(D3DSIO_MOV, {R(0, k_X), Rs(0, k_XXXX, D3DSPSM_NEG)}),
                                                 In(D3DSIO_ADD, {R(2, k_X), Rs(0, k_XXXX), Cs(1, k_YYYY)}), lr_Output}),
                                     "ps_2_0"),
              Program(v, {In(D3DSIO_MAD, {R(2, k_X), Cs(0), k_T0, Cs(1, k_YYYY)}), lr_Output}));
}

TEST(ShaderOptimiser, NoMadWhereTheProductOrItsFactorsAreNeededOrTheModelRefusesIt) {
    const DWORD a = D3DPS_VERSION(2, 1), v = D3DPS_VERSION(2, 0);
    const Tokens lr_Output = In(D3DSIO_MOV, {k_OC0, Rs(2)});
    const DWORD k_TX = Src(D3DSPR_TEXTURE, 0, k_XXXX);
    const struct {
        const char* What;
        const char* Profile;
        Tokens Stream;
    } k_Kept[] = {
        {"the product read again after the add", "ps_2_0",
         Program(v, {In(D3DSIO_MUL, {R(0, k_X), Cs(0, k_XXXX), k_TX}),
                     In(D3DSIO_ADD, {R(2, k_X), Rs(0, k_XXXX), Cs(1, k_XXXX)}),
                     In(D3DSIO_ADD, {R(2, k_Y), Rs(0, k_XXXX), Cs(1, k_YYYY)}), lr_Output})},
        {"a factor written between the two", "ps_2_0",
         Program(v,
                 {In(D3DSIO_MUL, {R(0, k_X), Rs(1, k_XXXX), Cs(0, k_XXXX)}), In(D3DSIO_RCP, {R(1, k_X), Cs(1, k_YYYY)}),
                  In(D3DSIO_ADD, {R(2, k_X), Rs(0, k_XXXX), Rs(1, k_XXXX)}), lr_Output})},
        // .yzxw of .wzyx is .wxzy: ps_2_a takes it, ps_2_0 does not.
        {"a swizzle ps_2_0 lacks", "ps_2_0",
         Program(v, {In(D3DSIO_MUL, {R(0), Cs(0, k_YZXW), k_T0}), In(D3DSIO_ADD, {R(2), Rs(0, k_WZYX), Cs(1)}),
                     lr_Output})},
        {"three constant registers", "ps_2_a",
         Program(a, {In(D3DSIO_MUL, {R(0), Cs(0), Cs(1)}), In(D3DSIO_ADD, {R(2), Rs(0), Cs(2)}), lr_Output})},
        // r0.x is -old y, and y is gone by the add: the negating move stays.
        {"a self-copy whose component is overwritten", "ps_2_a",
         Program(a,
                 {In(D3DSIO_MUL, {R(0, k_XY), Cs(0), k_T0}), In(D3DSIO_MOV, {R(0, k_XY), Rs(0, k_YXXX, D3DSPSM_NEG)}),
                  In(D3DSIO_RCP, {R(0, k_Y), Cs(1, k_XXXX)}), In(D3DSIO_ADD, {R(2, k_XY), Rs(0), Cs(1)}), lr_Output})},
    };
    for (const auto& k : k_Kept) EXPECT_EQ(softfx::OptimiseShader(k.Stream, k.Profile), k.Stream) << k.What;
    // The swizzle ps_2_0 lacks is fine in ps_2_a.
    EXPECT_EQ(softfx::OptimiseShader(Program(a, {In(D3DSIO_MUL, {R(0), Cs(0, k_YZXW), k_T0}),
                                                 In(D3DSIO_ADD, {R(2), Rs(0, k_WZYX), Cs(1)}), lr_Output}),
                                     "ps_2_a"),
              Program(a, {In(D3DSIO_MAD, {R(2), Cs(0, 0x63 /* .wxzy */), Src(D3DSPR_TEXTURE, 0, k_WZYX), Cs(1)}),
                          lr_Output}));
}
