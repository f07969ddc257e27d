// The opcode table against the token streams the HLSL compiler writes, and
// what the statistics and the device's decoder make of it.
#include "SoftDeviceFixture.h"

#include <soft/SoftShaderOpcodes.h>
#include <soft/SoftShaderStatistics.h>

#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// The stream of `main` compiled for `profile`, through an effect of one pass
// on the software device.
std::vector<DWORD> Compile(IDirect3DDevice9* device, const char* source, const char* profile) {
    const bool lr_Pixel = profile[0] == 'p';
    const std::string ls_Text = std::string(source) + "\ntechnique T { pass P { " +
                                (lr_Pixel ? "PixelShader" : "VertexShader") + " = compile " + profile +
                                " main(); } }\n";
    ID3DXEffect* lr_Effect_ = nullptr;
    ID3DXBuffer* lr_Errors_ = nullptr;
    const HRESULT hr = D3DXCreateEffect(device, ls_Text.data(), static_cast<UINT>(ls_Text.size()), nullptr, nullptr, 0,
                                        nullptr, &lr_Effect_, &lr_Errors_);
    const std::string ls_Errors = lr_Errors_ ? static_cast<const char*>(lr_Errors_->GetBufferPointer()) : "";
    if (lr_Errors_) lr_Errors_->Release();
    EXPECT_EQ(hr, D3D_OK) << profile << ": " << ls_Errors;
    std::vector<DWORD> lr_Tokens;
    if (!lr_Effect_) return lr_Tokens;
    D3DXPASS_DESC lr_Pass;
    if (lr_Effect_->GetPassDesc(lr_Effect_->GetPass("T", 0), &lr_Pass) == D3D_OK) {
        const DWORD* lr_Start_ = lr_Pixel ? lr_Pass.pPixelShaderFunction : lr_Pass.pVertexShaderFunction;
        // Model 2 and 3 streams carry their lengths: the end token closes them.
        for (size_t i = 0; lr_Start_;) {
            const DWORD lr_Token = lr_Start_[i];
            const size_t lr_Words = i == 0 ? 1
                                    : (lr_Token & D3DSI_OPCODE_MASK) == D3DSIO_COMMENT
                                        ? 1 + ((lr_Token & D3DSI_COMMENTSIZE_MASK) >> D3DSI_COMMENTSIZE_SHIFT)
                                        : 1 + ((lr_Token & D3DSI_INSTLENGTH_MASK) >> D3DSI_INSTLENGTH_SHIFT);
            if (i > 0 && lr_Token == D3DPS_END()) {
                lr_Tokens.assign(lr_Start_, lr_Start_ + i + 1);
                break;
            }
            i += lr_Words;
        }
    }
    lr_Effect_->Release();
    return lr_Tokens;
}

// Walks a stream and checks each instruction's length against its row: the
// raw values, the destination, the predicate and the sources, each register
// token followed by an address token when relatively addressed.
void CheckAgainstTable(const std::vector<DWORD>& tokens, const char* profile, std::set<DWORD>& seen) {
    SCOPED_TRACE(profile);
    ASSERT_GE(tokens.size(), 2u);
    const DWORD lr_Version = tokens[0];
    size_t i = 1;
    bool lr_Ended = false;
    while (i < tokens.size()) {
        const DWORD lr_Token = tokens[i];
        const DWORD lr_Opcode = lr_Token & D3DSI_OPCODE_MASK;
        if (lr_Opcode == D3DSIO_END) {
            lr_Ended = true;
            break;
        }
        if (lr_Opcode == D3DSIO_COMMENT) {
            i += 1 + ((lr_Token & D3DSI_COMMENTSIZE_MASK) >> D3DSI_COMMENTSIZE_SHIFT);
            continue;
        }
        const size_t lr_Length = (lr_Token & D3DSI_INSTLENGTH_MASK) >> D3DSI_INSTLENGTH_SHIFT;
        ASSERT_LE(i + 1 + lr_Length, tokens.size());
        const SoftOpcodeInfo* lr_Row_ = SoftFindOpcode(lr_Version, lr_Opcode);
        ASSERT_NE(lr_Row_, nullptr) << "opcode " << lr_Opcode << " is not in the table for this model";
        seen.insert(lr_Opcode);
        const DWORD* lr_Params = tokens.data() + i + 1;
        const bool lr_Declaration = lr_Opcode == D3DSIO_DCL;
        size_t p = lr_Declaration ? lr_Row_->Values : 0;
        const UINT lr_Registers =
            lr_Row_->Dests + lr_Row_->Sources + ((lr_Token & D3DSHADER_INSTRUCTION_PREDICATED) ? 1 : 0);
        for (UINT r = 0; r < lr_Registers && p < lr_Length; ++r)
            if (lr_Params[p++] & D3DSHADER_ADDRESSMODE_MASK) ++p;
        if (!lr_Declaration) p += lr_Row_->Values;
        EXPECT_EQ(p, lr_Length) << lr_Row_->Name;
        i += 1 + lr_Length;
    }
    EXPECT_TRUE(lr_Ended);
}

const char k_Pixel2[] = R"(
sampler2D s0; float4 k; float4x4 m;
float4 main(float2 uv : TEXCOORD0, float4 c : COLOR0) : COLOR {
    float4 t = tex2D(s0, uv);
    float4 p = tex2Dproj(s0, float4(uv, k.zw));
    float4 b = tex2Dbias(s0, float4(uv, 0, k.x));
    clip(c.x - 0.5);
    float3 n = normalize(c.xyz);
    float3 x = cross(n, k.xyz);
    float s, co;
    sincos(k.x, s, co);
    float4 r = mul(t, m);
    r += lerp(p, b, k.y) + frac(c) + abs(c) + exp2(c.x) + log2(abs(c.y) + 1) + rsqrt(abs(c.z) + 1);
    r += pow(abs(c.w), k.z) + 1 / (c.x + 2);
    r.xyz += x + dot(n, x) + min(c.xyz, k.xyz) + max(c.xyz, k.xyz);
    r.w += s * co + dot(c.xy, k.xy) + (c.x >= 0 ? k.x : k.y);
    return r;
})";

const char k_Pixel2x[] = R"(
sampler2D s0; float4 k; bool flag;
float4 main(float2 uv : TEXCOORD0) : COLOR {
    float4 r = tex2Dgrad(s0, uv, ddx(uv), ddy(uv));
    if (flag) r *= k; else r += k;
    [branch] if (k.x > r.y) r = r.yxwz;
    return r;
})";

const char k_Pixel3[] = R"(
sampler2D s0; float4 k; float4 table[8];
float4 main(float2 uv : TEXCOORD0, float2 pos : VPOS, float face : VFACE) : COLOR {
    float4 r = tex2Dlod(s0, float4(uv, 0, k.x));
    r += table[(int)k.w];
    if (r.x > 4) r.y = 2;
    float s, c;
    sincos(r.z, s, c);
    r.x += pos.x * face + s * c;
    return r;
})";

const char k_Vertex2[] = R"(
float4x4 wvp; float4 k; float4 table[8];
void main(float4 p : POSITION, float3 n : NORMAL, out float4 o : POSITION, out float4 c : COLOR0) {
    o = mul(p, wvp) + table[(int)p.w];
    c = lit(dot(n, k.xyz), 0.5, k.w) + (p < k) + (p >= k) + float4(sign(k.x), frac(k.y), exp(k.z), log(k.w));
})";

const char k_Vertex3[] = R"(
float4x4 wvp; float4 k; sampler2D s0;
void main(float4 p : POSITION, out float4 o : POSITION, out float4 c : TEXCOORD0) {
    o = mul(p, wvp);
    c = tex2Dlod(s0, float4(p.xy, 0, 0));
    if (k.x > 0) c += k;
})";

}  // namespace

using ShaderOpcodeTableTests = SoftDeviceFixture;

TEST_F(ShaderOpcodeTableTests, EveryInstructionTheCompilerWritesHasItsRowAndLength) {
    const struct {
        const char* Source;
        const char* Profile;
    } k_Shaders[] = {
        {k_Pixel2, "ps_2_0"}, {k_Pixel2x, "ps_2_a"}, {k_Pixel3, "ps_3_0"}, {k_Vertex2, "vs_2_0"}, {k_Vertex3, "vs_3_0"},
    };
    std::set<DWORD> lr_Seen;
    for (const auto& s : k_Shaders) {
        const std::vector<DWORD> lr_Tokens = Compile(mr_Device_, s.Source, s.Profile);
        CheckAgainstTable(lr_Tokens, s.Profile, lr_Seen);
        // The device's decoder reads its facts from the same table: it runs what the compiler writes.
        if (s.Profile[0] == 'p' && !lr_Tokens.empty()) {
            IDirect3DPixelShader9* lr_Shader_ = nullptr;
            EXPECT_EQ(mr_Device_->CreatePixelShader(lr_Tokens.data(), &lr_Shader_), D3D_OK) << s.Profile;
            if (lr_Shader_) lr_Shader_->Release();
        }
    }
    // The shaders above reach most of the table; a walk that saw little proves little.
    for (DWORD lr_Opcode : {D3DSIO_DCL, D3DSIO_DEF, D3DSIO_TEX, D3DSIO_TEXKILL, D3DSIO_TEXLDD, D3DSIO_TEXLDL,
                            D3DSIO_SINCOS, D3DSIO_IFC, D3DSIO_ELSE, D3DSIO_DSX, D3DSIO_MOVA, D3DSIO_SLT, D3DSIO_DP2ADD})
        EXPECT_EQ(lr_Seen.count(lr_Opcode), 1u) << "opcode " << lr_Opcode << " was not written";
}

TEST_F(ShaderOpcodeTableTests, ModelsAllowWhatTheirRowsSay) {
    // A few facts as the documentation gives them.
    EXPECT_EQ(SoftFindOpcode(D3DPS_VERSION(2, 0), D3DSIO_DSX), nullptr);
    ASSERT_NE(SoftFindOpcode(D3DPS_VERSION(2, 1), D3DSIO_DSX), nullptr);
    EXPECT_EQ(SoftFindOpcode(D3DPS_VERSION(2, 1), D3DSIO_TEXLDL), nullptr);
    EXPECT_EQ(SoftFindOpcode(D3DPS_VERSION(3, 0), D3DSIO_SLT), nullptr);
    ASSERT_NE(SoftFindOpcode(D3DVS_VERSION(2, 0), D3DSIO_SLT), nullptr);
    EXPECT_EQ(SoftFindOpcode(D3DVS_VERSION(3, 0), D3DSIO_TEXKILL), nullptr);
    EXPECT_EQ(SoftFindOpcode(D3DPS_VERSION(2, 0), D3DSIO_SINCOS)->Sources, 3);
    EXPECT_EQ(SoftFindOpcode(D3DPS_VERSION(3, 0), D3DSIO_SINCOS)->Sources, 1);
    EXPECT_EQ(SoftFindOpcode(0x00020000, D3DSIO_MOV), nullptr);  // neither a pixel nor a vertex version

    // The device refuses what the table leaves out of a model.
    const DWORD lr_Slt[] = {D3DPS_VERSION(3, 0), D3DSIO_SLT | (3u << 24), 0x800F0800, 0xA0E40000, 0xA0E40001,
                            D3DPS_END()};
    IDirect3DPixelShader9* lr_Shader_ = nullptr;
    EXPECT_EQ(mr_Device_->CreatePixelShader(lr_Slt, &lr_Shader_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Shader_, nullptr);
}

TEST(ShaderStatistics, SlotsFlowAndTextureReadsFollowTheTable) {
    // ps_2_x: dcl_2d s0; def c0; nop; m4x4 r0, c0, c1 (4 slots); sincos r1.xy, c0.x, c1, c2 (8);
    // texld r2, r0, s0; texld r3, r2, s0 (a dependent read); if b0; endif; mov oC0, r3 (1).
    const DWORD r0 = 0x800F0000, r1xy = 0x80030001, r2 = 0x800F0002, r3 = 0x800F0003;
    const DWORD c0 = 0xA0E40000, c0x = 0xA0000000, c1 = 0xA0E40001, c2 = 0xA0E40002;
    const DWORD r0s = 0x80E40000, r2s = 0x80E40002, r3s = 0x80E40003, s0 = 0xA0E40800, b0 = 0xE0E40800;
    const DWORD oC0 = 0x800F0800;
    const DWORD lr_Stream[] = {
        D3DPS_VERSION(2, 1),
        D3DSIO_DCL | (2u << 24),
        0x90000000,
        0xA00F0800,
        D3DSIO_DEF | (5u << 24),
        0xA00F0000,
        0,
        0,
        0,
        0,
        D3DSIO_NOP,
        D3DSIO_M4x4 | (3u << 24),
        r0,
        c0,
        c1,
        D3DSIO_SINCOS | (4u << 24),
        r1xy,
        c0x,
        c1,
        c2,
        D3DSIO_TEX | (3u << 24),
        r2,
        r0s,
        s0,
        D3DSIO_TEX | (3u << 24),
        r3,
        r2s,
        s0,
        D3DSIO_IF | (1u << 24),
        b0,
        D3DSIO_ENDIF,
        D3DSIO_MOV | (2u << 24),
        oC0,
        r3s,
        D3DPS_END(),
    };
    SoftShaderStatistics lr_Stats;
    ASSERT_TRUE(SoftGetShaderStatistics(lr_Stream, sizeof(lr_Stream) / sizeof(DWORD), &lr_Stats));
    EXPECT_EQ(lr_Stats.Arithmetic, 4u + 8u + 1u);
    EXPECT_EQ(lr_Stats.Texture, 2u);
    EXPECT_EQ(lr_Stats.DependentLevels, 2u);
    EXPECT_EQ(lr_Stats.FlowControl, 2u);
    EXPECT_EQ(lr_Stats.Temporaries, 4u);
    EXPECT_EQ(lr_Stats.FloatConstants, 3u);
    EXPECT_EQ(lr_Stats.BoolConstants, 1u);
    EXPECT_EQ(lr_Stats.Samplers, 1u);
    EXPECT_EQ(lr_Stats.Unsupported, 0u);

    // The same if block and a dsx in a ps_2_0 stream: three instructions that model lacks,
    // which the compiler's check refuses.
    const DWORD lr_Model20[] = {D3DPS_VERSION(2, 0),
                                D3DSIO_IF | (1u << 24),
                                b0,
                                D3DSIO_ENDIF,
                                D3DSIO_DSX | (2u << 24),
                                r0,
                                c0,
                                D3DSIO_MOV | (2u << 24),
                                oC0,
                                r0s,
                                D3DPS_END()};
    ASSERT_TRUE(SoftGetShaderStatistics(lr_Model20, sizeof(lr_Model20) / sizeof(DWORD), &lr_Stats));
    EXPECT_EQ(lr_Stats.Unsupported, 3u);
    EXPECT_EQ(lr_Stats.FlowControl, 0u);  // not flow control where the model has none
}
