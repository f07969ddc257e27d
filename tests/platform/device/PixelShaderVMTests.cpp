// The pixel-shader decoder and interpreter, driven directly with small
// assembled token streams and a sampler that records what it is asked.
#include "shader/SoftPixelShaderVM.h"

#include "SoftDeviceFixture.h"

#include <soft/SoftShaderModels.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

namespace {

const float k_Inf = std::numeric_limits<float>::infinity();

// Parameter tokens.
DWORD Register(D3DSHADER_PARAM_REGISTER_TYPE type, UINT number) {
    const DWORD lr_Type = static_cast<DWORD>(type);
    return 0x80000000u | ((lr_Type << D3DSP_REGTYPE_SHIFT) & D3DSP_REGTYPE_MASK) |
           ((lr_Type << D3DSP_REGTYPE_SHIFT2) & D3DSP_REGTYPE_MASK2) | number;
}
// "xyzw"-style component letters: a swizzle (one letter replicates) or a mask.
DWORD Swizzle(const char* letters) {
    DWORD lr_Bits = 0;
    const size_t lr_Length = std::strlen(letters);
    for (size_t k = 0; k < 4; ++k) {
        const char lr_Letter = letters[k < lr_Length ? k : lr_Length - 1];
        lr_Bits |= static_cast<DWORD>(std::strchr("xyzw", lr_Letter) - "xyzw") << (D3DSP_SWIZZLE_SHIFT + 2 * k);
    }
    return lr_Bits;
}
DWORD Mask(const char* letters) {
    DWORD lr_Bits = 0;
    for (const char* c = letters; *c; ++c) lr_Bits |= D3DSP_WRITEMASK_0 << (std::strchr("xyzw", *c) - "xyzw");
    return lr_Bits;
}
DWORD Dst(D3DSHADER_PARAM_REGISTER_TYPE type, UINT number, const char* mask = "xyzw", DWORD modifier = 0) {
    return Register(type, number) | Mask(mask) | modifier;
}
DWORD Src(D3DSHADER_PARAM_REGISTER_TYPE type, UINT number, const char* swizzle = "xyzw",
          DWORD modifier = D3DSPSM_NONE) {
    return Register(type, number) | Swizzle(swizzle) | modifier;
}
DWORD Bits(float value) {
    DWORD lr_Bits;
    std::memcpy(&lr_Bits, &value, sizeof(lr_Bits));
    return lr_Bits;
}

const D3DSHADER_PARAM_REGISTER_TYPE R = D3DSPR_TEMP, C = D3DSPR_CONST, V = D3DSPR_INPUT, T = D3DSPR_TEXTURE,
                                    OC = D3DSPR_COLOROUT, S = D3DSPR_SAMPLER, I = D3DSPR_CONSTINT, B = D3DSPR_CONSTBOOL,
                                    P = D3DSPR_PREDICATE, AL = D3DSPR_LOOP;

// Builds a shader model 2/3 token stream.
class Assembler {
public:
    explicit Assembler(DWORD version) : mr_Tokens{version} {}

    Assembler& Op(DWORD opcode, std::initializer_list<DWORD> parameters, DWORD control = 0, bool predicated = false) {
        mr_Tokens.push_back(opcode | (control << D3DSP_OPCODESPECIFICCONTROL_SHIFT) |
                            (static_cast<DWORD>(parameters.size()) << D3DSI_INSTLENGTH_SHIFT) |
                            (predicated ? D3DSHADER_INSTRUCTION_PREDICATED : 0));
        mr_Tokens.insert(mr_Tokens.end(), parameters);
        return *this;
    }
    Assembler& Def(UINT number, float x, float y, float z, float w) {
        return Op(D3DSIO_DEF, {Dst(C, number), Bits(x), Bits(y), Bits(z), Bits(w)});
    }
    // ps_3_0 input by meaning, or a ps_2_x input/sampler with `usage` 0.
    Assembler& Dcl(DWORD usage, DWORD dst) { return Op(D3DSIO_DCL, {0x80000000u | usage, dst}); }
    Assembler& DclTexCoord(UINT index, UINT v, const char* mask = "xyzw") {
        return Dcl(D3DDECLUSAGE_TEXCOORD | (index << D3DSP_DCL_USAGEINDEX_SHIFT), Dst(V, v, mask));
    }
    Assembler& Dcl2D(UINT stage) { return Dcl(D3DSTT_2D, Dst(S, stage)); }
    std::vector<DWORD> End() {
        std::vector<DWORD> lr_Tokens = mr_Tokens;
        lr_Tokens.push_back(D3DPS_END());
        return lr_Tokens;
    }

private:
    std::vector<DWORD> mr_Tokens;
};

// Returns (2u, v + 1, stage, lod) and remembers every request.
class RecordingSampler final : public ISoftTextureSampler {
public:
    struct Request {
        UINT Stage;
        float Coord[4], Ddx[4], Ddy[4];
        SoftLodMode Mode;
        float Lod;
    };
    std::vector<Request> Requests;

    void Sample(UINT stage, const float coord[4], const float ddx[4], const float ddy[4], SoftLodMode mode, float lod,
                float out[4]) override {
        Request lr_Request{stage, {}, {}, {}, mode, lod};
        std::memcpy(lr_Request.Coord, coord, sizeof(lr_Request.Coord));
        std::memcpy(lr_Request.Ddx, ddx, sizeof(lr_Request.Ddx));
        std::memcpy(lr_Request.Ddy, ddy, sizeof(lr_Request.Ddy));
        Requests.push_back(lr_Request);
        out[0] = 2.0f * coord[0];
        out[1] = coord[1] + 1.0f;
        out[2] = static_cast<float>(stage);
        out[3] = lod;
    }
};

void ExpectVector(const float (&actual)[4], std::initializer_list<float> expected, const char* what) {
    const float* e = expected.begin();
    for (int k = 0; k < 4; ++k) {
        if (std::isinf(e[k])) {
            EXPECT_EQ(actual[k], e[k]) << what << " component " << k;
        } else {
            EXPECT_NEAR(actual[k], e[k], 1e-5f) << what << " component " << k;
        }
    }
}

}  // namespace

class PixelShaderVMTests : public ::testing::Test {
protected:
    PixelShaderVMTests() {
        std::memset(mr_Float, 0, sizeof(mr_Float));
        std::memset(mr_Int, 0, sizeof(mr_Int));
        std::memset(mr_Bool, 0, sizeof(mr_Bool));
        std::memset(mr_In, 0, sizeof(mr_In));
        std::memset(mr_Out, 0, sizeof(mr_Out));
    }

    void Load(const std::vector<DWORD>& tokens) {
        std::string ls_Reason;
        ASSERT_TRUE(mr_Program.Decode(tokens.data(), tokens.size(), ls_Reason)) << ls_Reason;
        ASSERT_TRUE(mr_Program.Runnable());
    }
    void Run() {
        const SoftPixelConstants lr_Constants{mr_Float, mr_Int, mr_Bool};
        mr_VM.RunQuad(mr_Program, lr_Constants, mr_In, mr_Live, mr_Sampler, mr_Out);
    }
    std::string Refusal(const std::vector<DWORD>& tokens) {
        SoftPixelProgram lr_Program;
        std::string ls_Reason;
        EXPECT_FALSE(lr_Program.Decode(tokens.data(), tokens.size(), ls_Reason));
        EXPECT_FALSE(lr_Program.Runnable());
        return ls_Reason;
    }
    void SetFloat(UINT n, float x, float y, float z, float w) {
        mr_Float[n][0] = x;
        mr_Float[n][1] = y;
        mr_Float[n][2] = z;
        mr_Float[n][3] = w;
    }

    float mr_Float[224][4];
    int mr_Int[16][4];
    BOOL mr_Bool[16];
    SoftPixelInputs mr_In[4];
    bool mr_Live[4] = {true, true, true, true};
    SoftPixelOutputs mr_Out[4];
    RecordingSampler mr_Sampler;
    SoftPixelProgram mr_Program;
    SoftPixelShaderVM mr_VM;
};

TEST_F(PixelShaderVMTests, ArithmeticAppliesSwizzlesModifiersMasksAndSaturation) {
    Load(Assembler(D3DPS_VERSION(3, 0))
             .DclTexCoord(0, 0)
             .Def(0, 0.5f, -1.0f, 2.0f, 10.0f)
             .Op(D3DSIO_MOV, {Dst(R, 0), Src(C, 0, "wzyx")})
             .Op(D3DSIO_MAD, {Dst(OC, 0), Src(V, 0, "yxwz"), Src(R, 0), Src(C, 0, "xyzw", D3DSPSM_NEG)})
             .Op(D3DSIO_MOV, {Dst(OC, 1), Src(C, 0)})
             .Op(D3DSIO_ADD, {Dst(OC, 1, "yw"), Src(V, 0, "xyzw", D3DSPSM_ABSNEG), Src(R, 0, "x")})
             .Op(D3DSIO_MUL, {Dst(OC, 2, "xyzw", D3DSPDM_SATURATE), Src(V, 0, "zzzx"), Src(C, 0, "yxzx")})
             .Op(D3DSIO_SUB, {Dst(OC, 3), Src(V, 0), Src(C, 0, "y", D3DSPSM_ABS)})
             .End());
    for (int l = 0; l < 4; ++l) {
        const float lr_In[4] = {l + 1.0f, -2.0f, 0.5f, 4.0f};
        std::memcpy(mr_In[l].TexCoord[0], lr_In, sizeof(lr_In));
    }
    Run();
    for (int l = 0; l < 4; ++l) {
        SCOPED_TRACE(l);
        // r0 = (10, 2, -1, 0.5); v0.yxwz * r0 - c0.
        ExpectVector(mr_Out[l].Color[0], {-20.5f, 2.0f * l + 3.0f, -6.0f, -9.75f}, "mad");
        ExpectVector(mr_Out[l].Color[1], {0.5f, 8.0f, 2.0f, 6.0f}, "masked add of -|v0|");
        ExpectVector(mr_Out[l].Color[2], {0.0f, 0.25f, 1.0f, std::min(1.0f, 0.5f * (l + 1))}, "saturated mul");
        ExpectVector(mr_Out[l].Color[3], {static_cast<float>(l), -3.0f, -0.5f, 3.0f}, "sub of |c0.y|");
        EXPECT_FALSE(mr_Out[l].Killed);
        EXPECT_FALSE(mr_Out[l].DepthWritten);
    }
}

TEST_F(PixelShaderVMTests, InstructionsReadAllSourcesBeforeWritingTheirResult) {
    SetFloat(0, 1, 2, 3, 4);
    SetFloat(4, 0, 1, 0, 0);  // rows of a matrix swapping x and y, doubling z
    SetFloat(5, 1, 0, 0, 0);
    SetFloat(6, 0, 0, 2, 0);
    Load(Assembler(D3DPS_VERSION(2, 0))
             .Op(D3DSIO_MOV, {Dst(R, 0), Src(C, 0)})
             .Op(D3DSIO_MOV, {Dst(R, 0, "xy"), Src(R, 0, "yxzw")})  // a swap
             .Op(D3DSIO_MOV, {Dst(R, 1), Src(C, 0)})
             .Op(D3DSIO_ADD, {Dst(R, 1), Src(R, 1, "x"), Src(R, 1, "wzyx")})  // every component reads x and w
             .Op(D3DSIO_MOV, {Dst(R, 2), Src(C, 0)})
             .Op(D3DSIO_M3x3, {Dst(R, 2, "xyz"), Src(R, 2), Src(C, 4)})
             .Op(D3DSIO_MOV, {Dst(OC, 0), Src(R, 0)})
             .Op(D3DSIO_MOV, {Dst(OC, 1), Src(R, 1)})
             .Op(D3DSIO_MOV, {Dst(OC, 2), Src(R, 2)})
             .End());
    Run();
    ExpectVector(mr_Out[0].Color[0], {2, 1, 3, 4}, "swap");
    ExpectVector(mr_Out[0].Color[1], {5, 4, 3, 2}, "x + wzyx");
    ExpectVector(mr_Out[0].Color[2], {2, 1, 6, 4}, "matrix over its own source");
}

// One instruction writing oC0 from device constants c0..c9.
struct InstructionCase {
    const char* Name;
    DWORD Version;
    DWORD Opcode;
    std::vector<DWORD> Parameters;
    std::vector<float> Expected;
};

TEST_F(PixelShaderVMTests, InstructionsFollowTheDocumentedSpecialCases) {
    SetFloat(0, 1.0f, 2.0f, 3.0f, 4.0f);
    SetFloat(1, 3.0f, 4.0f, 5.0f, 0.25f);
    SetFloat(2, 0.0f, -4.0f, -8.0f, -1.0f);
    SetFloat(3, -2.0f, 3.0f, -1.25f, -0.0f);
    SetFloat(4, 0.0f, 1.0f, 0.0f, 9.0f);  // matrix rows c4..c7
    SetFloat(5, 1.0f, 0.0f, 0.0f, 9.0f);
    SetFloat(6, 0.0f, 0.0f, 2.0f, 9.0f);
    SetFloat(7, 1.0f, 1.0f, 1.0f, 1.0f);
    SetFloat(8, -1.0f, 0.0f, -0.0f, 2.0f);
    SetFloat(9, 3.0f, 0.0f, -4.0f, 2.0f);
    const DWORD k_PS3 = D3DPS_VERSION(3, 0), k_PS2x = D3DPS_VERSION(2, 1);
    const std::vector<InstructionCase> lr_Cases = {
        {"rcp(0) = +inf", k_PS3, D3DSIO_RCP, {Dst(OC, 0), Src(C, 2, "x")}, {k_Inf, k_Inf, k_Inf, k_Inf}},
        {"rcp(-0) = +inf", k_PS3, D3DSIO_RCP, {Dst(OC, 0, "x"), Src(C, 3, "w")}, {k_Inf, 0, 0, 0}},
        {"rcp to two components", k_PS3, D3DSIO_RCP, {Dst(OC, 0, "yw"), Src(C, 0, "y")}, {0, 0.5f, 0, 0.5f}},
        {"rsq of |x|", k_PS3, D3DSIO_RSQ, {Dst(OC, 0, "x"), Src(C, 2, "y")}, {0.5f, 0, 0, 0}},
        {"log2 of |x|", k_PS3, D3DSIO_LOG, {Dst(OC, 0, "x"), Src(C, 2, "z")}, {3.0f, 0, 0, 0}},
        {"log(0) = -inf", k_PS3, D3DSIO_LOG, {Dst(OC, 0, "x"), Src(C, 2, "x")}, {-k_Inf, 0, 0, 0}},
        {"exp is 2^x", k_PS3, D3DSIO_EXP, {Dst(OC, 0, "x"), Src(C, 2, "w")}, {0.5f, 0, 0, 0}},
        {"pow of |x|", k_PS3, D3DSIO_POW, {Dst(OC, 0, "x"), Src(C, 3, "x"), Src(C, 3, "y")}, {8.0f, 0, 0, 0}},
        {"frc of a negative", k_PS3, D3DSIO_FRC, {Dst(OC, 0, "x"), Src(C, 3, "z")}, {0.75f, 0, 0, 0}},
        {"abs", k_PS3, D3DSIO_ABS, {Dst(OC, 0), Src(C, 2)}, {0, 4.0f, 8.0f, 1.0f}},
        {"dp2add", k_PS3, D3DSIO_DP2ADD, {Dst(OC, 0, "x"), Src(C, 0), Src(C, 1), Src(C, 1, "z")}, {16.0f, 0, 0, 0}},
        {"dp3 of a negated source",
         k_PS3,
         D3DSIO_DP3,
         {Dst(OC, 0, "x"), Src(C, 0, "xyzw", D3DSPSM_NEG), Src(C, 1)},
         {-26.0f, 0, 0, 0}},
        {"dp4 replicated", k_PS3, D3DSIO_DP4, {Dst(OC, 0, "xz"), Src(C, 0), Src(C, 1)}, {27.0f, 0, 27.0f, 0}},
        {"lrp", k_PS3, D3DSIO_LRP, {Dst(OC, 0, "x"), Src(C, 1, "w"), Src(C, 1, "z"), Src(C, 0, "w")}, {4.25f, 0, 0, 0}},
        {"crs", k_PS3, D3DSIO_CRS, {Dst(OC, 0, "xyz"), Src(C, 0), Src(C, 1)}, {-2.0f, 4.0f, -2.0f, 0}},
        {"nrm scales all four by 1/|xyz|", k_PS3, D3DSIO_NRM, {Dst(OC, 0), Src(C, 9)}, {0.6f, 0, -0.8f, 0.4f}},
        {"cmp takes -0 as >= 0", k_PS3, D3DSIO_CMP, {Dst(OC, 0), Src(C, 8), Src(C, 0), Src(C, 1)}, {3, 2, 3, 4}},
        {"min", k_PS3, D3DSIO_MIN, {Dst(OC, 0), Src(C, 0), Src(C, 1, "wzyx")}, {0.25f, 2, 3, 3}},
        {"max", k_PS3, D3DSIO_MAX, {Dst(OC, 0), Src(C, 0), Src(C, 1, "wzyx")}, {1, 5, 4, 4}},
        {"sincos (3.0)", k_PS3, D3DSIO_SINCOS, {Dst(OC, 0, "xy"), Src(C, 2, "x")}, {1, 0, 0, 0}},
        {"sincos (2.x, with its constants)",
         k_PS2x,
         D3DSIO_SINCOS,
         {Dst(OC, 0, "y"), Src(C, 7, "x"), Src(C, 8), Src(C, 9)},
         {0, std::sin(1.0f), 0, 0}},
        {"m3x2", k_PS3, D3DSIO_M3x2, {Dst(OC, 0, "xy"), Src(C, 0), Src(C, 4)}, {2, 1, 0, 0}},
        {"m3x3", k_PS3, D3DSIO_M3x3, {Dst(OC, 0, "xyz"), Src(C, 0), Src(C, 4)}, {2, 1, 6, 0}},
        {"m3x4", k_PS3, D3DSIO_M3x4, {Dst(OC, 0), Src(C, 0), Src(C, 4)}, {2, 1, 6, 6}},
        {"m4x3", k_PS3, D3DSIO_M4x3, {Dst(OC, 0, "xyz"), Src(C, 0), Src(C, 4)}, {38, 37, 42, 0}},
        {"m4x4", k_PS3, D3DSIO_M4x4, {Dst(OC, 0), Src(C, 0), Src(C, 4)}, {38, 37, 42, 10}},
    };
    for (const InstructionCase& lr_Case : lr_Cases) {
        SCOPED_TRACE(lr_Case.Name);
        std::vector<DWORD> lr_Tokens{lr_Case.Version,
                                     lr_Case.Opcode | (static_cast<DWORD>(lr_Case.Parameters.size()) << 24)};
        lr_Tokens.insert(lr_Tokens.end(), lr_Case.Parameters.begin(), lr_Case.Parameters.end());
        lr_Tokens.push_back(D3DPS_END());
        Load(lr_Tokens);
        Run();
        const std::vector<float>& e = lr_Case.Expected;
        ExpectVector(mr_Out[2].Color[0], {e[0], e[1], e[2], e[3]}, lr_Case.Name);
    }
}

TEST_F(PixelShaderVMTests, LocalDefinitionsOverrideTheDeviceConstants) {
    SetFloat(0, 1, 2, 3, 4);
    SetFloat(1, 5, 6, 7, 8);
    SetFloat(2, 1, 1, 1, 1);
    mr_Int[0][0] = 1;   // rep count the program replaces by 3
    mr_Bool[0] = TRUE;  // the program says false
    mr_Bool[1] = TRUE;
    Load(Assembler(D3DPS_VERSION(2, 1))
             .Def(0, 9, 8, 7, 6)
             .Op(D3DSIO_DEFI, {Dst(I, 0), 3, 0, 0, 0})
             .Op(D3DSIO_DEFB, {Dst(B, 0), 0})
             .Op(D3DSIO_MOV, {Dst(OC, 0), Src(C, 0)})
             .Op(D3DSIO_MOV, {Dst(OC, 1), Src(C, 1)})
             .Op(D3DSIO_MOV, {Dst(R, 0), Src(C, 2, "x", D3DSPSM_NEG)})
             .Op(D3DSIO_REP, {Src(I, 0)})
             .Op(D3DSIO_ADD, {Dst(R, 0), Src(R, 0), Src(C, 2)})
             .Op(D3DSIO_ENDREP, {})
             .Op(D3DSIO_IF, {Src(B, 0)})
             .Op(D3DSIO_MOV, {Dst(R, 0, "y"), Src(C, 1, "x")})
             .Op(D3DSIO_ENDIF, {})
             .Op(D3DSIO_IF, {Src(B, 1)})
             .Op(D3DSIO_MOV, {Dst(R, 0, "z"), Src(C, 1, "y")})
             .Op(D3DSIO_ENDIF, {})
             .Op(D3DSIO_MOV, {Dst(OC, 2), Src(R, 0)})
             .End());
    Run();
    ExpectVector(mr_Out[0].Color[0], {9, 8, 7, 6}, "def c0");
    ExpectVector(mr_Out[0].Color[1], {5, 6, 7, 8}, "device c1");
    // Three iterations from -1; b0 false skips the first if; device b1 takes the second.
    ExpectVector(mr_Out[0].Color[2], {2, 2, 6, 2}, "defi i0, defb b0");
}

TEST_F(PixelShaderVMTests, TextureReadsPassCoordinatesDerivativesAndLevels) {
    SetFloat(0, 0.5f, 0.0f, 0.0f, 0.0f);
    SetFloat(1, 0.0f, 0.75f, 0.0f, 0.0f);
    Load(Assembler(D3DPS_VERSION(3, 0))
             .DclTexCoord(0, 0)
             .Dcl2D(2)
             .Dcl2D(5)
             .Op(D3DSIO_TEX, {Dst(OC, 0), Src(V, 0), Src(S, 2)})
             .Op(D3DSIO_TEX, {Dst(OC, 1), Src(V, 0), Src(S, 5, "wzyx")}, D3DSI_TEXLD_PROJECT >> 16)
             .Op(D3DSIO_TEX, {Dst(OC, 2), Src(V, 0), Src(S, 2)}, D3DSI_TEXLD_BIAS >> 16)
             .Op(D3DSIO_TEXLDL, {Dst(R, 0), Src(V, 0), Src(S, 2)})
             .Op(D3DSIO_TEXLDD, {Dst(OC, 3, "xy"), Src(V, 0), Src(S, 5), Src(C, 0), Src(C, 1)})
             .End());
    EXPECT_EQ(mr_Program.SamplerMask(), (1u << 2) | (1u << 5));
    EXPECT_EQ(mr_Program.SamplerType(5), D3DSTT_2D);
    EXPECT_EQ(mr_Program.SamplerType(3), D3DSTT_UNKNOWN);
    for (int l = 0; l < 4; ++l) {
        const float lr_In[4] = {0.1f + 0.25f * (l & 1), 0.2f + 0.5f * (l >> 1), 0.5f, 2.0f};
        std::memcpy(mr_In[l].TexCoord[0], lr_In, sizeof(lr_In));
    }
    // Helper lanes are sampled too: their values feed derivatives.
    mr_Live[1] = mr_Live[2] = mr_Live[3] = false;
    Run();
    ASSERT_EQ(mr_Sampler.Requests.size(), 5u * 4u);
    for (int l = 0; l < 4; ++l) {
        SCOPED_TRACE(l);
        const float u = mr_In[l].TexCoord[0][0], v = mr_In[l].TexCoord[0][1];
        const RecordingSampler::Request& lr_Plain = mr_Sampler.Requests[0 + l];
        EXPECT_EQ(lr_Plain.Stage, 2u);
        EXPECT_EQ(lr_Plain.Mode, SoftLodMode::Implicit);
        ExpectVector(lr_Plain.Coord, {u, v, 0.5f, 2.0f}, "texld coordinates");
        ExpectVector(lr_Plain.Ddx, {0.25f, 0, 0, 0}, "texld ddx");
        ExpectVector(lr_Plain.Ddy, {0, 0.5f, 0, 0}, "texld ddy");
        ExpectVector(mr_Out[l].Color[0], {2 * u, v + 1, 2, 0}, "texld result");

        const RecordingSampler::Request& lr_Projected = mr_Sampler.Requests[4 + l];
        EXPECT_EQ(lr_Projected.Stage, 5u);
        ExpectVector(lr_Projected.Coord, {u / 2, v / 2, 0.25f, 2.0f}, "texldp divides by w");
        ExpectVector(lr_Projected.Ddx, {0.125f, 0, 0, 0}, "texldp ddx of the divided coordinates");
        ExpectVector(mr_Out[l].Color[1], {0, 5, v / 2 + 1, u}, "sampler swizzle wzyx");

        const RecordingSampler::Request& lr_Biased = mr_Sampler.Requests[8 + l];
        EXPECT_EQ(lr_Biased.Mode, SoftLodMode::Bias);
        EXPECT_EQ(lr_Biased.Lod, 2.0f);
        ExpectVector(lr_Biased.Ddy, {0, 0.5f, 0, 0}, "texldb ddy");

        const RecordingSampler::Request& lr_Level = mr_Sampler.Requests[12 + l];
        EXPECT_EQ(lr_Level.Mode, SoftLodMode::Explicit);
        EXPECT_EQ(lr_Level.Lod, 2.0f);

        const RecordingSampler::Request& lr_Gradient = mr_Sampler.Requests[16 + l];
        EXPECT_EQ(lr_Gradient.Mode, SoftLodMode::Implicit);
        ExpectVector(lr_Gradient.Ddx, {0.5f, 0, 0, 0}, "texldd ddx");
        ExpectVector(lr_Gradient.Ddy, {0, 0.75f, 0, 0}, "texldd ddy");
        ExpectVector(mr_Out[l].Color[3], {2 * u, v + 1, 0, 0}, "texldd masked");
    }
}

TEST_F(PixelShaderVMTests, TexKillTestsTheMaskedComponentsPerLane) {
    Load(Assembler(D3DPS_VERSION(2, 0))
             .Dcl(0, Dst(T, 0))
             .Op(D3DSIO_TEXKILL, {Dst(T, 0, "xyz")})
             .Op(D3DSIO_MOV, {Dst(OC, 0), Src(T, 0)})
             .End());
    EXPECT_TRUE(mr_Program.UsesTexKill());
    const float lr_Coords[4][4] = {{1, 1, 1, 1}, {1, -0.5f, 1, 1}, {1, 1, 1, -1}, {0, 0, -0.0f, 1}};
    std::memcpy(mr_In[0].TexCoord[0], lr_Coords[0], 16);
    std::memcpy(mr_In[1].TexCoord[0], lr_Coords[1], 16);
    std::memcpy(mr_In[2].TexCoord[0], lr_Coords[2], 16);
    std::memcpy(mr_In[3].TexCoord[0], lr_Coords[3], 16);
    Run();
    EXPECT_FALSE(mr_Out[0].Killed);
    EXPECT_TRUE(mr_Out[1].Killed);
    EXPECT_FALSE(mr_Out[2].Killed) << "w is not tested";
    EXPECT_FALSE(mr_Out[3].Killed) << "-0 is not below zero";
    ExpectVector(mr_Out[1].Color[0], {1, -0.5f, 1, 1}, "a killed lane still runs");
}

TEST_F(PixelShaderVMTests, DerivativesAreTakenPerQuadRowAndColumn) {
    Load(Assembler(D3DPS_VERSION(2, 1))
             .Dcl(0, Dst(T, 0))
             .Op(D3DSIO_DSX, {Dst(OC, 0), Src(T, 0)})
             .Op(D3DSIO_DSY, {Dst(OC, 1), Src(T, 0, "yxzw")})
             .End());
    const float lr_X[4] = {1, 3, 10, 15}, lr_Y[4] = {0, 1, 5, 20};
    for (int l = 0; l < 4; ++l) {
        mr_In[l].TexCoord[0][0] = lr_X[l];
        mr_In[l].TexCoord[0][1] = lr_Y[l];
    }
    Run();
    // ddx: lane1 - lane0 on the top row, lane3 - lane2 on the bottom one.
    for (int l : {0, 1}) ExpectVector(mr_Out[l].Color[0], {2, 1, 0, 0}, "dsx top row");
    for (int l : {2, 3}) ExpectVector(mr_Out[l].Color[0], {5, 15, 0, 0}, "dsx bottom row");
    // ddy: lane2 - lane0 on the left column, lane3 - lane1 on the right one.
    for (int l : {0, 2}) ExpectVector(mr_Out[l].Color[1], {5, 9, 0, 0}, "dsy left column");
    for (int l : {1, 3}) ExpectVector(mr_Out[l].Color[1], {19, 12, 0, 0}, "dsy right column");
}

TEST_F(PixelShaderVMTests, FlowControlDivergesPerLane) {
    for (UINT n = 0; n < 4; ++n) SetFloat(10 + n, std::pow(10.0f, static_cast<float>(n)), 0, 0, 0);
    mr_Int[1][0] = 3;
    const DWORD lr_AddressedByLoop = Src(C, 10, "x") | D3DSHADER_ADDRMODE_RELATIVE;
    Load(Assembler(D3DPS_VERSION(3, 0))
             .DclTexCoord(0, 0, "x")
             .Def(0, 1, 0, 2, 0.5f)
             .Def(1, 3, 0, 0, 0)
             .Op(D3DSIO_DEFI, {Dst(I, 0), 4, 0, 1, 0})
             .Op(D3DSIO_MOV, {Dst(R, 0), Src(C, 0, "y")})
             .Op(D3DSIO_MOV, {Dst(R, 1), Src(C, 0, "y")})
             // Four iterations of aL = 0, 1, ...; lane l leaves during iteration l + 1.
             .Op(D3DSIO_LOOP, {Src(AL, 0), Src(I, 0)})
             .Op(D3DSIO_ADD, {Dst(R, 0, "x"), Src(R, 0, "x"), Src(C, 0, "x")})
             .Op(D3DSIO_ADD, {Dst(R, 0, "y"), Src(R, 0, "y"), lr_AddressedByLoop, Src(AL, 0, "x")})
             .Op(D3DSIO_IFC, {Src(R, 0, "x"), Src(V, 0, "x")}, D3DSPC_GT)
             .Op(D3DSIO_BREAK, {})
             .Op(D3DSIO_ENDIF, {})
             .Op(D3DSIO_ADD, {Dst(R, 1, "x"), Src(R, 1, "x"), Src(C, 0, "x")})
             .Op(D3DSIO_ENDLOOP, {})
             .Op(D3DSIO_IFC, {Src(V, 0, "x"), Src(C, 0, "z")}, D3DSPC_LT)
             .Op(D3DSIO_MOV, {Dst(R, 0, "z"), Src(C, 0, "x")})
             .Op(D3DSIO_ELSE, {})
             .Op(D3DSIO_MOV, {Dst(R, 0, "z"), Src(C, 0, "x", D3DSPSM_NEG)})
             .Op(D3DSIO_ENDIF, {})
             // Three iterations at most; lane l leaves once r0.w > l.
             .Op(D3DSIO_REP, {Src(I, 1)})
             .Op(D3DSIO_ADD, {Dst(R, 0, "w"), Src(R, 0, "w"), Src(C, 0, "w")})
             .Op(D3DSIO_BREAKC, {Src(R, 0, "w"), Src(V, 0, "x")}, D3DSPC_GT)
             .Op(D3DSIO_ENDREP, {})
             .Op(D3DSIO_SETP, {Dst(P, 0, "x"), Src(V, 0, "x"), Src(C, 1, "x")}, D3DSPC_EQ)
             .Op(D3DSIO_MOV, {Dst(R, 0, "z"), Src(P, 0, "x"), Src(C, 0, "z")}, 0, true)
             .Op(D3DSIO_MOV, {Dst(OC, 0), Src(R, 0)})
             .Op(D3DSIO_MOV, {Dst(OC, 1), Src(R, 1)})
             .End());
    EXPECT_TRUE(mr_Program.HasFlowControl());
    for (int l = 0; l < 4; ++l) mr_In[l].TexCoord[0][0] = static_cast<float>(l);
    Run();
    ExpectVector(mr_Out[0].Color[0], {1, 1, 1, 0.5f}, "lane 0");
    ExpectVector(mr_Out[1].Color[0], {2, 11, 1, 1.5f}, "lane 1");
    ExpectVector(mr_Out[2].Color[0], {3, 111, -1, 1.5f}, "lane 2");
    ExpectVector(mr_Out[3].Color[0], {4, 1111, 2, 1.5f}, "lane 3 (predicated)");
    // Iterations that went on past the break: a lane that left stays out after the endif.
    for (int l = 0; l < 4; ++l) EXPECT_EQ(mr_Out[l].Color[1][0], static_cast<float>(l)) << l;
}

TEST_F(PixelShaderVMTests, ModelThreeInputsMapOntoAttributesByMeaning) {
    Load(Assembler(D3DPS_VERSION(3, 0))
             .DclTexCoord(3, 0, "xy")
             .DclTexCoord(5, 0, "zw")
             .Dcl(D3DDECLUSAGE_COLOR | (1u << D3DSP_DCL_USAGEINDEX_SHIFT), Dst(V, 4))
             .Op(D3DSIO_MOV, {Dst(OC, 0), Src(V, 0)})
             .Op(D3DSIO_MOV, {Dst(OC, 1), Src(V, 4, "wzyx")})
             .End());
    EXPECT_EQ(mr_Program.TexCoordInputMask(3), 0x3);
    EXPECT_EQ(mr_Program.TexCoordInputMask(5), 0xC);
    EXPECT_EQ(mr_Program.TexCoordInputMask(0), 0);
    EXPECT_EQ(mr_Program.ColorInputMask(1), 0xF);
    EXPECT_EQ(mr_Program.ColorInputMask(0), 0);
    EXPECT_EQ(mr_Program.ColorOutputMask(), 0x3);
    for (int k = 0; k < 4; ++k) {
        mr_In[1].TexCoord[3][k] = 10.0f + k;
        mr_In[1].TexCoord[5][k] = 50.0f + k;
        mr_In[1].Color[1][k] = 0.1f * (k + 1);
    }
    Run();
    ExpectVector(mr_Out[1].Color[0], {10, 11, 52, 53}, "packed texture coordinates");
    ExpectVector(mr_Out[1].Color[1], {0.4f, 0.3f, 0.2f, 0.1f}, "specular colour");
}

// Compiled by vkd3d-shader 1.17 for ps_2_0 from
//   sampler2D s0 : register(s0);
//   float4 k : register(c2);
//   float4 main(float2 uv : TEXCOORD0, float4 col : COLOR0) : COLOR0
//   { float4 t = tex2D(s0, uv); return saturate(t * k + col) - float4(uv, 0, 0); }
const DWORD k_CompiledTexture[] = {
    0xFFFF0200u, 0x0021FFFEu, 0x42415443u, 0x0000001Cu, 0x0000006Cu, 0xFFFF0200u, 0x00000002u, 0x0000001Cu, 0x00000000u,
    0x00000000u, 0x00000044u, 0x00020002u, 0x00000001u, 0x00000048u, 0x00000000u, 0x00000058u, 0x00000003u, 0x00000001u,
    0x0000005Cu, 0x00000000u, 0xABAB006Bu, 0x00030001u, 0x00040001u, 0x00000001u, 0x00000001u, 0xAB003073u, 0x000C0004u,
    0x00010001u, 0x00000001u, 0x00000001u, 0x33646B76u, 0x68732D64u, 0x72656461u, 0x312E3120u, 0xABAB0037u, 0x0200001Fu,
    0x80000000u, 0xB0030000u, 0x0200001Fu, 0x80000000u, 0x900F0000u, 0x05000051u, 0xA00F0000u, 0x00000000u, 0x00000000u,
    0x00000000u, 0x00000000u, 0x0200001Fu, 0x90000000u, 0xA00F0800u, 0x02000001u, 0x800F0001u, 0x90E40000u, 0x02000001u,
    0x80030002u, 0xB0040000u, 0x03000042u, 0x800F0003u, 0x80040002u, 0xA0E40800u, 0x02000001u, 0x800F0004u, 0xA0E40002u,
    0x03000005u, 0x800F0003u, 0x80E40003u, 0x80E40004u, 0x03000002u, 0x800F0001u, 0x80E40003u, 0x80E40001u, 0x02000001u,
    0x801F0001u, 0x80E40001u, 0x02000001u, 0x80030000u, 0x80040002u, 0x02000001u, 0x80010002u, 0xA0000000u, 0x02000001u,
    0x80040000u, 0x80000002u, 0x02000001u, 0x80010002u, 0xA0000000u, 0x02000001u, 0x80080000u, 0x80000002u, 0x02000001u,
    0x800F0002u, 0x80E40000u, 0x02000001u, 0x800F0002u, 0x81E40002u, 0x03000002u, 0x800F0001u, 0x80E40001u, 0x80E40002u,
    0x02000001u, 0x800F0800u, 0x80E40001u, 0x0000FFFFu,
};

// Compiled by vkd3d-shader 1.17 for ps_3_0 from
//   float4 main(float2 uv : TEXCOORD0, float face : VFACE, float2 pos : VPOS) : COLOR0
//   { float4 r = float4(pos, 0, 1);
//     if (uv.x > 0.5) r.z = face; else r.z = -2 * face;
//     clip(uv.y - 0.25); return r; }
const DWORD k_CompiledBranch[] = {
    0xFFFF0300u, 0x000DFFFEu, 0x42415443u, 0x0000001Cu, 0x0000001Cu, 0xFFFF0300u, 0x00000000u, 0x0000001Cu, 0x00000000u,
    0x00000000u, 0x33646B76u, 0x68732D64u, 0x72656461u, 0x312E3120u, 0xABAB0037u, 0x0200001Fu, 0x80000005u, 0x90030000u,
    0x0200001Fu, 0x80000000u, 0x90011001u, 0x0200001Fu, 0x80000000u, 0x90031000u, 0x05000051u, 0xA00F0000u, 0x00000000u,
    0x3F800000u, 0x3F000000u, 0xC0000000u, 0x05000051u, 0xA00F0001u, 0xBE800000u, 0x00000000u, 0x00000000u, 0x00000000u,
    0x02000001u, 0x80030001u, 0x90041000u, 0x02000001u, 0x80040001u, 0x90001001u, 0x02000001u, 0x80030002u, 0x90040000u,
    0x02000001u, 0x80030000u, 0x80040001u, 0x02000001u, 0x80010001u, 0xA0000000u, 0x02000001u, 0x80040000u, 0x80000001u,
    0x02000001u, 0x80010001u, 0xA0550000u, 0x02000001u, 0x80080000u, 0x80000001u, 0x02000001u, 0x80010001u, 0xA0AA0000u,
    0x02000001u, 0x80020001u, 0x80000002u, 0x02000001u, 0x80020001u, 0x81550001u, 0x03000002u, 0x80010001u, 0x80550001u,
    0x80000001u, 0x02000001u, 0x80020001u, 0xA0000000u, 0x02000001u, 0x80080001u, 0xA0550000u, 0x04000058u, 0x80010001u,
    0x80000001u, 0x80550001u, 0x80FF0001u, 0x02050029u, 0x80000001u, 0x81000001u, 0x02000001u, 0x80040000u, 0x80AA0001u,
    0x0000002Au, 0x02000001u, 0x80010001u, 0xA0FF0000u, 0x03000005u, 0x80010001u, 0x80AA0001u, 0x80000001u, 0x02000001u,
    0x80040000u, 0x80000001u, 0x0000002Bu, 0x02000001u, 0x80010001u, 0x80010002u, 0x02000001u, 0x80020001u, 0xA0000001u,
    0x03000002u, 0x80010001u, 0x80000001u, 0x80550001u, 0x01000041u, 0x80010001u, 0x02000001u, 0x800F0001u, 0x80E40000u,
    0x02000001u, 0x800F0800u, 0x80E40001u, 0x0000FFFFu,
};

TEST_F(PixelShaderVMTests, CompiledShadersRun) {
    Load(std::vector<DWORD>(std::begin(k_CompiledTexture), std::end(k_CompiledTexture)));
    EXPECT_EQ(mr_Program.SamplerMask(), 1u);
    EXPECT_EQ(mr_Program.SamplerType(0), D3DSTT_2D);
    EXPECT_EQ(mr_Program.TexCoordInputMask(0) & 0x3, 0x3);
    EXPECT_EQ(mr_Program.ColorInputMask(0), 0xF);
    SetFloat(2, 0.5f, 0.5f, 2.0f, 1.0f);
    const float lr_Uv[4][2] = {{0.25f, 0.125f}, {0.5f, 0.125f}, {0.25f, 0.5f}, {1.0f, 1.0f}};
    const float lr_Colour[4] = {0.1f, -0.2f, 0.3f, 0.4f};
    for (int l = 0; l < 4; ++l) {
        mr_In[l].TexCoord[0][0] = lr_Uv[l][0];
        mr_In[l].TexCoord[0][1] = lr_Uv[l][1];
        std::memcpy(mr_In[l].Color[0], lr_Colour, sizeof(lr_Colour));
    }
    Run();
    // The sampler returns (2u, v + 1, 0, 0): t * k + col = (u + 0.1, (v + 1) / 2 - 0.2, 0.3, 0.4).
    ExpectVector(mr_Out[0].Color[0], {0.1f, 0.3625f - 0.125f, 0.3f, 0.4f}, "lane 0");
    ExpectVector(mr_Out[3].Color[0], {0.0f, 0.8f - 1.0f, 0.3f, 0.4f}, "lane 3 saturated");

    Load(std::vector<DWORD>(std::begin(k_CompiledBranch), std::end(k_CompiledBranch)));
    EXPECT_TRUE(mr_Program.ReadsPosition());
    EXPECT_TRUE(mr_Program.ReadsFace());
    EXPECT_TRUE(mr_Program.UsesTexKill());
    const float lr_Coords[4][2] = {{0.75f, 0.5f}, {0.25f, 0.5f}, {0.75f, 0.1f}, {0.25f, 1.0f}};
    for (int l = 0; l < 4; ++l) {
        mr_In[l].TexCoord[0][0] = lr_Coords[l][0];
        mr_In[l].TexCoord[0][1] = lr_Coords[l][1];
        mr_In[l].FrontFace = l < 2;
        mr_In[l].Position[0] = 10.0f + (l & 1);
        mr_In[l].Position[1] = 20.0f + (l >> 1);
    }
    Run();
    ExpectVector(mr_Out[0].Color[0], {10, 20, 1, 1}, "lane 0: uv.x > 0.5, front");
    ExpectVector(mr_Out[1].Color[0], {11, 20, -2, 1}, "lane 1: else, front");
    ExpectVector(mr_Out[2].Color[0], {10, 21, -1, 1}, "lane 2: back");
    ExpectVector(mr_Out[3].Color[0], {11, 21, 2, 1}, "lane 3: else, back");
    EXPECT_FALSE(mr_Out[0].Killed);
    EXPECT_TRUE(mr_Out[2].Killed);
}

TEST_F(PixelShaderVMTests, StreamsTheInterpreterCannotRunAreRefused) {
    // Opcodes of shader model 1 or unknown, and instructions above the model.
    EXPECT_NE(
        Refusal(Assembler(D3DPS_VERSION(2, 0)).Op(D3DSIO_CND, {Dst(R, 0), Src(C, 0), Src(C, 1), Src(C, 2)}).End()), "");
    EXPECT_NE(Refusal(Assembler(D3DPS_VERSION(3, 0)).Op(200, {Dst(R, 0), Src(C, 0)}).End()), "");
    // The model's rows in the opcode table name what it allows.
    EXPECT_EQ(Refusal(Assembler(D3DPS_VERSION(2, 0)).Op(D3DSIO_DSX, {Dst(R, 0), Src(C, 0)}).End()),
              "instruction 0: opcode " + std::to_string(D3DSIO_DSX) + " needs ps_2_x or ps_3_0");
    EXPECT_EQ(Refusal(Assembler(D3DPS_VERSION(2, 1)).Op(D3DSIO_TEXLDL, {Dst(R, 0), Src(C, 0), Src(S, 0)}).End()),
              "instruction 0: opcode " + std::to_string(D3DSIO_TEXLDL) + " needs ps_3_0");
    EXPECT_EQ(Refusal(Assembler(D3DPS_VERSION(3, 0)).Op(D3DSIO_SGE, {Dst(R, 0), Src(C, 0), Src(C, 1)}).End()),
              "instruction 0: opcode " + std::to_string(D3DSIO_SGE) + " is not a pixel shader 2.0-3.0 instruction");
    // sincos takes two series constants below 3.0 and none in 3.0.
    EXPECT_EQ(Refusal(Assembler(D3DPS_VERSION(3, 0))
                          .Op(D3DSIO_SINCOS, {Dst(R, 0, "xy"), Src(C, 0, "x"), Src(C, 1), Src(C, 2)})
                          .End()),
              "instruction 0 has 2 unread parameter tokens");
    // Registers beyond the model.
    EXPECT_NE(Refusal(Assembler(D3DPS_VERSION(2, 0)).Op(D3DSIO_MOV, {Dst(R, 12), Src(C, 0)}).End()), "");
    EXPECT_NE(Refusal(Assembler(D3DPS_VERSION(2, 0)).Op(D3DSIO_MOV, {Dst(R, 0), Src(C, 32)}).End()), "");
    EXPECT_NE(Refusal(Assembler(D3DPS_VERSION(3, 0)).Op(D3DSIO_MOV, {Dst(R, 0), Src(V, 10)}).End()), "");
    EXPECT_NE(Refusal(Assembler(D3DPS_VERSION(3, 0)).Op(D3DSIO_MOV, {Dst(R, 0), Src(T, 0)}).End()), "");
    // A length that does not match the parameters, a read of an undeclared input, an unlinkable input.
    EXPECT_NE(Refusal(Assembler(D3DPS_VERSION(2, 0)).Op(D3DSIO_MOV, {Dst(R, 0), Src(C, 0), Src(C, 1)}).End()), "");
    EXPECT_NE(Refusal(Assembler(D3DPS_VERSION(2, 0)).Op(D3DSIO_MOV, {Dst(R, 0), Src(T, 1)}).End()), "");
    EXPECT_NE(Refusal(Assembler(D3DPS_VERSION(3, 0)).Dcl(D3DDECLUSAGE_NORMAL, Dst(V, 0)).End()), "");
    // Unbalanced flow control.
    EXPECT_NE(Refusal(Assembler(D3DPS_VERSION(2, 1)).Op(D3DSIO_IF, {Src(B, 0)}).End()), "");
    EXPECT_NE(Refusal(Assembler(D3DPS_VERSION(2, 1)).Op(D3DSIO_BREAK, {}).End()), "");

    // The same model limits accept what lies within them.
    std::string ls_Reason;
    const std::vector<DWORD> lr_Within = Assembler(D3DPS_VERSION(3, 0)).Op(D3DSIO_MOV, {Dst(R, 31), Src(C, 223)}).End();
    EXPECT_TRUE(mr_Program.Decode(lr_Within.data(), lr_Within.size(), ls_Reason)) << ls_Reason;
}

// Each pixel model's registers as the shared model table gives them: the
// last of each is read, the next refused.
TEST_F(PixelShaderVMTests, EachModelTakesTheRegistersOfTheModelTable) {
    for (DWORD lr_Version : {D3DPS_VERSION(2, 0), D3DPS_VERSION(2, 1), D3DPS_VERSION(3, 0)}) {
        const SoftShaderModel* lr_Model_ = SoftFindShaderModel(lr_Version);
        ASSERT_NE(lr_Model_, nullptr);
        const UINT lr_Temps = lr_Model_->Temporaries, lr_Floats = lr_Model_->FloatConstants;
        const std::vector<DWORD> lr_Within =
            Assembler(lr_Version).Op(D3DSIO_MOV, {Dst(R, lr_Temps - 1), Src(C, lr_Floats - 1)}).End();
        std::string ls_Reason;
        SoftPixelProgram lr_Program;
        EXPECT_TRUE(lr_Program.Decode(lr_Within.data(), lr_Within.size(), ls_Reason)) << ls_Reason;
        EXPECT_NE(Refusal(Assembler(lr_Version).Op(D3DSIO_MOV, {Dst(R, lr_Temps), Src(C, 0)}).End()), "");
        EXPECT_NE(Refusal(Assembler(lr_Version).Op(D3DSIO_MOV, {Dst(R, 0), Src(C, lr_Floats)}).End()), "");
    }
    EXPECT_EQ(SoftFindShaderModel(D3DPS_VERSION(1, 4)), nullptr);
}

TEST_F(PixelShaderVMTests, ModelOneIsKeptButNotRunnableAndAnEmptyProgramWritesNothing) {
    const DWORD lr_ModelOne[] = {D3DPS_VERSION(1, 1), 0x00000001u, 0x800F0000u, 0xA0E40000u, D3DPS_END()};
    std::string ls_Reason;
    ASSERT_TRUE(mr_Program.Decode(lr_ModelOne, 5, ls_Reason));
    EXPECT_FALSE(mr_Program.Runnable());
    EXPECT_NE(mr_Program.NotRunnableReason(), "");

    Load({D3DPS_VERSION(2, 0), D3DPS_END()});
    EXPECT_EQ(mr_Program.ColorOutputMask(), 0);
    for (int l = 0; l < 4; ++l) mr_In[l].Position[2] = 0.25f * l;
    mr_Out[0].Color[0][0] = 7.0f;
    Run();
    ExpectVector(mr_Out[0].Color[0], {0, 0, 0, 0}, "unwritten oC0");
    EXPECT_FALSE(mr_Out[3].DepthWritten);
    EXPECT_EQ(mr_Out[3].Depth, 0.75f);
}

class PixelShaderCreationTests : public SoftDeviceFixture {};

TEST_F(PixelShaderCreationTests, CreatePixelShaderRefusesWhatTheInterpreterCannotRun) {
    IDirect3DPixelShader9* lr_Shader_ = nullptr;
    const std::vector<DWORD> lr_Unknown = Assembler(D3DPS_VERSION(3, 0)).Op(0x0060 + 40, {Dst(R, 0), Src(C, 0)}).End();
    EXPECT_EQ(mr_Device_->CreatePixelShader(lr_Unknown.data(), &lr_Shader_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Shader_, nullptr);
    const std::vector<DWORD> lr_OutOfRange =
        Assembler(D3DPS_VERSION(2, 0)).Op(D3DSIO_MOV, {Dst(OC, 4), Src(C, 0)}).End();
    EXPECT_EQ(mr_Device_->CreatePixelShader(lr_OutOfRange.data(), &lr_Shader_), D3DERR_INVALIDCALL);
    const std::vector<DWORD> lr_Fine = Assembler(D3DPS_VERSION(2, 0)).Op(D3DSIO_MOV, {Dst(OC, 3), Src(C, 0)}).End();
    ASSERT_EQ(mr_Device_->CreatePixelShader(lr_Fine.data(), &lr_Shader_), D3D_OK);
    lr_Shader_->Release();
}
