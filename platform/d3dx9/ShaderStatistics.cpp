// Instruction and register counts of shader model 2 and 3 token streams.
#include <soft/SoftShaderStatistics.h>

#include <algorithm>
#include <cstring>

namespace {

// Opcodes and register types of the token format.
enum : DWORD {
    k_OpNop = 0,
    k_OpM4x4 = 20,
    k_OpM4x3 = 21,
    k_OpM3x4 = 22,
    k_OpM3x3 = 23,
    k_OpM3x2 = 24,
    k_OpCall = 25,
    k_OpCallNz = 26,
    k_OpLoop = 27,
    k_OpRet = 28,
    k_OpEndLoop = 29,
    k_OpLabel = 30,
    k_OpDcl = 31,
    k_OpPow = 32,
    k_OpCrs = 33,
    k_OpNrm = 36,
    k_OpSinCos = 37,
    k_OpRep = 38,
    k_OpEndRep = 39,
    k_OpIf = 40,
    k_OpIfc = 41,
    k_OpElse = 42,
    k_OpEndIf = 43,
    k_OpBreak = 44,
    k_OpBreakC = 45,
    k_OpDefB = 47,
    k_OpDefI = 48,
    k_OpLrp = 18,
    k_OpTexKill = 65,
    k_OpTex = 66,
    k_OpDef = 81,
    k_OpTexLdd = 93,
    k_OpTexLdl = 95,
    k_OpBreakP = 96,
    k_OpPhase = 0xFFFD,
    k_OpComment = 0xFFFE,
    k_OpEnd = 0xFFFF,
};
enum : DWORD {
    k_RegTemp = 0,
    k_RegInput = 1,
    k_RegConst = 2,
    k_RegTexture = 3,
    k_RegConstInt = 7,
    k_RegSampler = 10,
    k_RegConst2 = 11,
    k_RegConst3 = 12,
    k_RegConst4 = 13,
    k_RegConstBool = 14,
};

DWORD RegisterType(DWORD token) { return ((token >> 28) & 7) | ((token >> 8) & 0x18); }
DWORD RegisterNumber(DWORD token) { return token & 0x7FF; }
bool RelativeAddressed(DWORD token) { return (token & 0x2000) != 0; }

UINT ArithmeticSlots(DWORD opcode) {
    switch (opcode) {
    case k_OpM4x4:
    case k_OpM3x4: return 4;
    case k_OpM4x3:
    case k_OpM3x3:
    case k_OpNrm:
    case k_OpPow: return 3;
    case k_OpM3x2:
    case k_OpLrp:
    case k_OpCrs: return 2;
    case k_OpSinCos: return 8;
    default: return 1;
    }
}

bool IsFlowControl(DWORD opcode) {
    return (opcode >= k_OpCall && opcode <= k_OpLabel) || opcode == k_OpRep || opcode == k_OpEndRep ||
           (opcode >= k_OpIf && opcode <= k_OpBreakC) || opcode == k_OpBreakP;
}

// Instructions whose sources feed every result component (dot products,
// matrix macros, texture coordinates), rather than component by component.
bool ReadsAllComponents(DWORD opcode) {
    switch (opcode) {
    case 8:
    case 9:
    case 90:  // dp3, dp4, dp2add
    case k_OpM4x4:
    case k_OpM4x3:
    case k_OpM3x4:
    case k_OpM3x3:
    case k_OpM3x2:
    case k_OpNrm:
    case k_OpCrs:
    case k_OpSinCos:
    case k_OpTex:
    case k_OpTexLdd:
    case k_OpTexLdl: return true;
    default: return false;
    }
}

bool IsTexture(DWORD opcode) {
    return opcode == k_OpTex || opcode == k_OpTexKill || opcode == k_OpTexLdd || opcode == k_OpTexLdl;
}

void NoteRegister(DWORD token, SoftShaderStatistics& s) {
    const UINT n = RegisterNumber(token) + 1;
    switch (RegisterType(token)) {
    case k_RegTemp: s.Temporaries = std::max(s.Temporaries, n); break;
    case k_RegConst: s.FloatConstants = std::max(s.FloatConstants, n); break;
    case k_RegConst2: s.FloatConstants = std::max(s.FloatConstants, n + 2048); break;
    case k_RegConst3: s.FloatConstants = std::max(s.FloatConstants, n + 4096); break;
    case k_RegConst4: s.FloatConstants = std::max(s.FloatConstants, n + 6144); break;
    case k_RegConstInt: s.IntConstants = std::max(s.IntConstants, n); break;
    case k_RegConstBool: s.BoolConstants = std::max(s.BoolConstants, n); break;
    case k_RegSampler: s.Samplers = std::max(s.Samplers, n); break;
    default: break;
    }
}

}  // namespace

extern "C" {

DECLSPEC_EXPORT BOOL WINAPI SoftGetShaderStatistics(const DWORD* tokens, UINT maxTokens,
                                                    SoftShaderStatistics* statistics) {
    if (!tokens || !statistics || maxTokens < 2) return FALSE;
    SoftShaderStatistics s;
    std::memset(&s, 0, sizeof(s));
    s.Version = tokens[0];
    if ((s.Version >> 16) != 0xFFFF && (s.Version >> 16) != 0xFFFE) return FALSE;
    if (((s.Version >> 8) & 0xFF) < 2) return FALSE;  // shader model 1 has no instruction lengths
    const bool lr_Model3 = ((s.Version >> 8) & 0xFF) >= 3;
    // Texture-read depth of each component of each temporary, for the
    // dependent-read chain. Tracked per component, because the compiler
    // reuses registers for unrelated values.
    UINT lr_Level[32][4] = {};
    UINT i = 1;
    for (;;) {
        if (i >= maxTokens) return FALSE;
        const DWORD lr_Token = tokens[i];
        const DWORD lr_Opcode = lr_Token & 0xFFFF;
        if (lr_Opcode == k_OpEnd) break;
        if (lr_Opcode == k_OpComment) {
            i += 1 + ((lr_Token >> 16) & 0x7FFF);
            continue;
        }
        const UINT lr_Length = (lr_Token >> 24) & 0x0F;
        if (i + 1 + lr_Length > maxTokens) return FALSE;
        const DWORD* lr_Params = tokens + i + 1;
        i += 1 + lr_Length;
        if (lr_Opcode == k_OpDcl) {
            if (lr_Length >= 2) NoteRegister(lr_Params[1], s);
            continue;
        }
        if (lr_Opcode == k_OpDef || lr_Opcode == k_OpDefI || lr_Opcode == k_OpDefB) {
            if (lr_Length >= 1) NoteRegister(lr_Params[0], s);
            continue;
        }
        if (lr_Opcode == k_OpPhase || lr_Opcode == k_OpNop) continue;
        const bool lr_HasDest = lr_Length > 0 && !IsFlowControl(lr_Opcode) && lr_Opcode != k_OpTexKill;
        const DWORD lr_Mask = lr_HasDest ? (lr_Params[0] >> 16) & 0xF : 0xF;
        const bool lr_AllComponents = ReadsAllComponents(lr_Opcode);
        // Parameters: a destination (most instructions) and sources, each of
        // which may be followed by a relative-address token.
        UINT lr_SourceLevel = 0;
        for (UINT p = 0; p < lr_Length; ++p) {
            const DWORD lr_Param = lr_Params[p];
            NoteRegister(lr_Param, s);
            const bool lr_Source = p > 0 || !lr_HasDest;
            if (lr_Source && RegisterType(lr_Param) == k_RegTemp && RegisterNumber(lr_Param) < 32) {
                for (UINT c = 0; c < 4; ++c) {
                    if (!lr_AllComponents && !(lr_Mask & (1u << c))) continue;
                    const UINT lr_From = (lr_Param >> (16 + 2 * c)) & 3;
                    lr_SourceLevel = std::max(lr_SourceLevel, lr_Level[RegisterNumber(lr_Param)][lr_From]);
                }
            }
            // Shader model 3 names the address register in a token of its own.
            if (lr_Model3 && RelativeAddressed(lr_Param) && p + 1 < lr_Length) ++p;
        }
        if (IsFlowControl(lr_Opcode)) {
            ++s.FlowControl;
            continue;
        }
        UINT lr_Result = lr_SourceLevel;
        if (IsTexture(lr_Opcode)) {
            ++s.Texture;
            if (lr_Opcode != k_OpTexKill) {
                lr_Result = lr_SourceLevel + 1;
                s.DependentLevels = std::max(s.DependentLevels, lr_Result);
            }
        } else {
            s.Arithmetic += ArithmeticSlots(lr_Opcode);
        }
        if (lr_HasDest && RegisterType(lr_Params[0]) == k_RegTemp && RegisterNumber(lr_Params[0]) < 32)
            for (UINT c = 0; c < 4; ++c)
                if (lr_Mask & (1u << c)) lr_Level[RegisterNumber(lr_Params[0])][c] = lr_Result;
    }
    *statistics = s;
    return TRUE;
}

DECLSPEC_EXPORT BOOL WINAPI SoftGetShaderLimits(DWORD version, SoftShaderLimits* limits) {
    if (!limits) return FALSE;
    const bool lr_Pixel = (version >> 16) == 0xFFFF;
    const DWORD lr_Model = version & 0xFFFF;
    SoftShaderLimits l;
    if (lr_Pixel && lr_Model == 0x0200) {
        l = {32, 12, 32, 0, 0, 16, 4};
    } else if (lr_Pixel && lr_Model == 0x0201) {
        l = {512, 32, 32, 16, 16, 16, 0xFFFFFFFFu};
    } else if (lr_Pixel && lr_Model == 0x0300) {
        l = {0xFFFFFFFFu, 32, 224, 16, 16, 16, 0xFFFFFFFFu};
    } else if (!lr_Pixel && (lr_Model == 0x0200 || lr_Model == 0x0201)) {
        l = {0, lr_Model == 0x0200 ? 12u : 32u, 256, 16, 16, 0, 0};
    } else if (!lr_Pixel && lr_Model == 0x0300) {
        l = {0xFFFFFFFFu, 32, 256, 16, 16, 4, 0xFFFFFFFFu};
    } else {
        return FALSE;
    }
    *limits = l;
    return TRUE;
}

}  // extern "C"
