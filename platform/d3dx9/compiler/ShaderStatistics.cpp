// Instruction and register counts of shader model 2 and 3 token streams.
#include <soft/SoftShaderModels.h>
#include <soft/SoftShaderOpcodes.h>
#include <soft/SoftShaderStatistics.h>

#include <algorithm>
#include <cstring>

namespace {

DWORD RegisterNumber(DWORD token) { return token & D3DSP_REGNUM_MASK; }
bool RelativeAddressed(DWORD token) { return (token & D3DSHADER_ADDRESSMODE_MASK) != 0; }

void NoteRegister(DWORD token, SoftShaderStatistics& s) {
    const UINT n = RegisterNumber(token) + 1;
    switch (SoftRegisterType(token)) {
    case D3DSPR_TEMP: s.Temporaries = std::max(s.Temporaries, n); break;
    case D3DSPR_CONST: s.FloatConstants = std::max(s.FloatConstants, n); break;
    case D3DSPR_CONST2: s.FloatConstants = std::max(s.FloatConstants, n + 2048); break;
    case D3DSPR_CONST3: s.FloatConstants = std::max(s.FloatConstants, n + 4096); break;
    case D3DSPR_CONST4: s.FloatConstants = std::max(s.FloatConstants, n + 6144); break;
    case D3DSPR_CONSTINT: s.IntConstants = std::max(s.IntConstants, n); break;
    case D3DSPR_CONSTBOOL: s.BoolConstants = std::max(s.BoolConstants, n); break;
    case D3DSPR_SAMPLER: s.Samplers = std::max(s.Samplers, n); break;
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
    if (D3DSHADER_VERSION_MAJOR(s.Version) < 2) return FALSE;  // shader model 1 has no instruction lengths
    const bool lr_Model3 = D3DSHADER_VERSION_MAJOR(s.Version) >= 3;
    // Texture-read depth of each component of each temporary, for the
    // dependent-read chain. Tracked per component, because the compiler
    // reuses registers for unrelated values.
    UINT lr_Level[32][4] = {};
    UINT i = 1;
    for (;;) {
        if (i >= maxTokens) return FALSE;
        const DWORD lr_Token = tokens[i];
        const DWORD lr_Opcode = lr_Token & D3DSI_OPCODE_MASK;
        if (lr_Opcode == D3DSIO_END) break;
        if (lr_Opcode == D3DSIO_COMMENT) {
            i += 1 + ((lr_Token & D3DSI_COMMENTSIZE_MASK) >> D3DSI_COMMENTSIZE_SHIFT);
            continue;
        }
        const UINT lr_Length = (lr_Token & D3DSI_INSTLENGTH_MASK) >> D3DSI_INSTLENGTH_SHIFT;
        if (i + 1 + lr_Length > maxTokens) return FALSE;
        const DWORD* lr_Params = tokens + i + 1;
        i += 1 + lr_Length;
        // An opcode the model lacks costs an arithmetic slot: the statistics
        // describe a stream, the device's decoder judges it.
        const SoftOpcodeInfo* lr_Row_ = SoftFindOpcode(s.Version, lr_Opcode);
        const BYTE lr_Flags = lr_Row_ ? lr_Row_->Flags : 0;
        if (!lr_Row_) ++s.Unsupported;
        if (lr_Opcode == D3DSIO_DCL) {
            if (lr_Length >= 2) NoteRegister(lr_Params[1], s);
            continue;
        }
        if (lr_Opcode == D3DSIO_DEF || lr_Opcode == D3DSIO_DEFI || lr_Opcode == D3DSIO_DEFB) {
            if (lr_Length >= 1) NoteRegister(lr_Params[0], s);
            continue;
        }
        if (lr_Opcode == D3DSIO_PHASE || (lr_Flags & k_SoftOpFree)) continue;
        const bool lr_Flow = (lr_Flags & k_SoftOpFlow) != 0;
        // texkill's register token is read, not written.
        const bool lr_HasDest = lr_Length > 0 && !lr_Flow && lr_Opcode != D3DSIO_TEXKILL;
        const DWORD lr_Mask = lr_HasDest ? (lr_Params[0] & D3DSP_WRITEMASK_ALL) >> 16 : 0xF;
        const bool lr_AllComponents = (lr_Flags & k_SoftOpReadsAll) != 0;
        // Parameters: a destination (most instructions) and sources, each of
        // which may be followed by a relative-address token.
        UINT lr_SourceLevel = 0;
        for (UINT p = 0; p < lr_Length; ++p) {
            const DWORD lr_Param = lr_Params[p];
            NoteRegister(lr_Param, s);
            const bool lr_Source = p > 0 || !lr_HasDest;
            if (lr_Source && SoftRegisterType(lr_Param) == D3DSPR_TEMP && RegisterNumber(lr_Param) < 32) {
                for (UINT c = 0; c < 4; ++c) {
                    if (!lr_AllComponents && !(lr_Mask & (1u << c))) continue;
                    const UINT lr_From = (lr_Param >> (16 + 2 * c)) & 3;
                    lr_SourceLevel = std::max(lr_SourceLevel, lr_Level[RegisterNumber(lr_Param)][lr_From]);
                }
            }
            // Shader model 3 names the address register in a token of its own.
            if (lr_Model3 && RelativeAddressed(lr_Param) && p + 1 < lr_Length) ++p;
        }
        if (lr_Flow) {
            ++s.FlowControl;
            continue;
        }
        UINT lr_Result = lr_SourceLevel;
        if (lr_Flags & k_SoftOpTexture) {
            ++s.Texture;
            if (lr_Opcode != D3DSIO_TEXKILL) {
                lr_Result = lr_SourceLevel + 1;
                s.DependentLevels = std::max(s.DependentLevels, lr_Result);
            }
        } else {
            s.Arithmetic += lr_Row_ ? lr_Row_->Slots : 1;
        }
        if (lr_HasDest && SoftRegisterType(lr_Params[0]) == D3DSPR_TEMP && RegisterNumber(lr_Params[0]) < 32)
            for (UINT c = 0; c < 4; ++c)
                if (lr_Mask & (1u << c)) lr_Level[RegisterNumber(lr_Params[0])][c] = lr_Result;
    }
    *statistics = s;
    return TRUE;
}

DECLSPEC_EXPORT BOOL WINAPI SoftGetShaderLimits(DWORD version, SoftShaderLimits* limits) {
    const SoftShaderModel* lr_Model_ = SoftFindShaderModel(version);
    if (!limits || !lr_Model_) return FALSE;
    const SoftShaderModel& m = *lr_Model_;
    *limits = {m.TextureInstructions, m.Temporaries, m.FloatConstants, m.IntConstants,
               m.BoolConstants,       m.Samplers,    m.DependentLevels};
    return TRUE;
}

}  // extern "C"
