// The facts of each shader model 2 and 3 instruction, one row per opcode and
// model range: how many destination, source and raw value tokens follow it,
// which pixel and vertex models allow it, what it costs. The device's decoder,
// the shader statistics and the compiler's checks all read this one table, so
// that a fact is stated once. Model 1 is not described: its streams carry no
// instruction lengths and nothing here reads them.
#pragma once

#include <d3d9.h>

// A parameter token's register type: the type is split over two bit fields.
inline DWORD SoftRegisterType(DWORD token) {
    return ((token & D3DSP_REGTYPE_MASK) >> D3DSP_REGTYPE_SHIFT) |
           ((token & D3DSP_REGTYPE_MASK2) >> D3DSP_REGTYPE_SHIFT2);
}

enum : BYTE {
    k_SoftOpFlow = 1,      // flow control: counted apart from arithmetic
    k_SoftOpTexture = 2,   // a texture instruction
    k_SoftOpReadsAll = 4,  // every source component may feed every result component
    k_SoftOpFree = 8,      // a declaration, definition or nop: no instruction slot
    k_SoftOpControl = 16,  // the opcode token's control bits mean something (a comparison, a texld flavour)
    k_SoftOpScalar = 32,   // each source is one component, named by a replicate swizzle
};

// Models as the low word of a version token: 0x0200, 0x0201 (2.x), 0x0300.
struct SoftOpcodeInfo {
    DWORD Opcode;
    const char* Name;
    BYTE Dests;    // destination register tokens (texkill's register comes as one)
    BYTE Sources;  // source register tokens
    BYTE Values;   // raw tokens: dcl's usage, def's four values
    BYTE Slots;    // arithmetic slots; macros count their expansion
    BYTE Flags;
    WORD PixelFirst, PixelLast;    // 0: not in pixel shaders
    WORD VertexFirst, VertexLast;  // 0: not in vertex shaders
};

// The row of `opcode` in a stream of `version` (a pixel or vertex version
// token); null when that model has no such instruction.
inline const SoftOpcodeInfo* SoftFindOpcode(DWORD version, DWORD opcode) {
    enum : WORD { k_20 = 0x0200, k_2x = 0x0201, k_30 = 0x0300, k_3x = 0x03FF };
    enum : BYTE {
        F = k_SoftOpFlow,
        T = k_SoftOpTexture,
        A = k_SoftOpReadsAll,
        Z = k_SoftOpFree,
        C = k_SoftOpControl,
        S = k_SoftOpScalar,
    };
    static const SoftOpcodeInfo k_Rows[] = {
        {D3DSIO_NOP, "nop", 0, 0, 0, 0, Z, k_20, k_3x, k_20, k_3x},
        {D3DSIO_MOV, "mov", 1, 1, 0, 1, 0, k_20, k_3x, k_20, k_3x},
        {D3DSIO_ADD, "add", 1, 2, 0, 1, 0, k_20, k_3x, k_20, k_3x},
        {D3DSIO_SUB, "sub", 1, 2, 0, 1, 0, k_20, k_3x, k_20, k_3x},
        {D3DSIO_MAD, "mad", 1, 3, 0, 1, 0, k_20, k_3x, k_20, k_3x},
        {D3DSIO_MUL, "mul", 1, 2, 0, 1, 0, k_20, k_3x, k_20, k_3x},
        {D3DSIO_RCP, "rcp", 1, 1, 0, 1, S, k_20, k_3x, k_20, k_3x},
        {D3DSIO_RSQ, "rsq", 1, 1, 0, 1, S, k_20, k_3x, k_20, k_3x},
        {D3DSIO_DP3, "dp3", 1, 2, 0, 1, A, k_20, k_3x, k_20, k_3x},
        {D3DSIO_DP4, "dp4", 1, 2, 0, 1, A, k_20, k_3x, k_20, k_3x},
        {D3DSIO_MIN, "min", 1, 2, 0, 1, 0, k_20, k_3x, k_20, k_3x},
        {D3DSIO_MAX, "max", 1, 2, 0, 1, 0, k_20, k_3x, k_20, k_3x},
        {D3DSIO_SLT, "slt", 1, 2, 0, 1, 0, 0, 0, k_20, k_3x},
        {D3DSIO_SGE, "sge", 1, 2, 0, 1, 0, 0, 0, k_20, k_3x},
        {D3DSIO_EXP, "exp", 1, 1, 0, 1, S, k_20, k_3x, k_20, k_3x},
        {D3DSIO_LOG, "log", 1, 1, 0, 1, S, k_20, k_3x, k_20, k_3x},
        {D3DSIO_LIT, "lit", 1, 1, 0, 1, A, 0, 0, k_20, k_3x},
        {D3DSIO_DST, "dst", 1, 2, 0, 1, 0, 0, 0, k_20, k_3x},
        {D3DSIO_LRP, "lrp", 1, 3, 0, 2, 0, k_20, k_3x, k_20, k_3x},
        {D3DSIO_FRC, "frc", 1, 1, 0, 1, 0, k_20, k_3x, k_20, k_3x},
        {D3DSIO_M4x4, "m4x4", 1, 2, 0, 4, A, k_20, k_3x, k_20, k_3x},
        {D3DSIO_M4x3, "m4x3", 1, 2, 0, 3, A, k_20, k_3x, k_20, k_3x},
        {D3DSIO_M3x4, "m3x4", 1, 2, 0, 4, A, k_20, k_3x, k_20, k_3x},
        {D3DSIO_M3x3, "m3x3", 1, 2, 0, 3, A, k_20, k_3x, k_20, k_3x},
        {D3DSIO_M3x2, "m3x2", 1, 2, 0, 2, A, k_20, k_3x, k_20, k_3x},
        {D3DSIO_CALL, "call", 0, 1, 0, 1, F, k_2x, k_3x, k_20, k_3x},
        {D3DSIO_CALLNZ, "callnz", 0, 2, 0, 1, F, k_2x, k_3x, k_20, k_3x},
        {D3DSIO_LOOP, "loop", 0, 2, 0, 1, F, k_30, k_3x, k_20, k_3x},
        {D3DSIO_RET, "ret", 0, 0, 0, 1, F, k_2x, k_3x, k_20, k_3x},
        {D3DSIO_ENDLOOP, "endloop", 0, 0, 0, 1, F, k_30, k_3x, k_20, k_3x},
        {D3DSIO_LABEL, "label", 0, 1, 0, 1, F, k_2x, k_3x, k_20, k_3x},
        {D3DSIO_DCL, "dcl", 1, 0, 1, 0, Z, k_20, k_3x, k_20, k_3x},
        {D3DSIO_POW, "pow", 1, 2, 0, 3, S, k_20, k_3x, k_20, k_3x},
        {D3DSIO_CRS, "crs", 1, 2, 0, 2, A, k_20, k_3x, k_20, k_3x},
        {D3DSIO_SGN, "sgn", 1, 3, 0, 1, 0, 0, 0, k_20, k_2x},
        {D3DSIO_SGN, "sgn", 1, 1, 0, 1, 0, 0, 0, k_30, k_3x},
        {D3DSIO_ABS, "abs", 1, 1, 0, 1, 0, k_20, k_3x, k_20, k_3x},
        {D3DSIO_NRM, "nrm", 1, 1, 0, 3, A, k_20, k_3x, k_20, k_3x},
        // Model 2 passes two series constants besides the angle; 3.0 does not.
        {D3DSIO_SINCOS, "sincos", 1, 3, 0, 8, A, k_20, k_2x, k_20, k_2x},
        {D3DSIO_SINCOS, "sincos", 1, 1, 0, 8, A, k_30, k_3x, k_30, k_3x},
        {D3DSIO_REP, "rep", 0, 1, 0, 1, F, k_2x, k_3x, k_20, k_3x},
        {D3DSIO_ENDREP, "endrep", 0, 0, 0, 1, F, k_2x, k_3x, k_20, k_3x},
        {D3DSIO_IF, "if", 0, 1, 0, 1, F, k_2x, k_3x, k_20, k_3x},
        {D3DSIO_IFC, "ifc", 0, 2, 0, 1, F | C, k_2x, k_3x, k_2x, k_3x},
        {D3DSIO_ELSE, "else", 0, 0, 0, 1, F, k_2x, k_3x, k_20, k_3x},
        {D3DSIO_ENDIF, "endif", 0, 0, 0, 1, F, k_2x, k_3x, k_20, k_3x},
        {D3DSIO_BREAK, "break", 0, 0, 0, 1, F, k_2x, k_3x, k_2x, k_3x},
        {D3DSIO_BREAKC, "breakc", 0, 2, 0, 1, F | C, k_2x, k_3x, k_2x, k_3x},
        {D3DSIO_MOVA, "mova", 1, 1, 0, 1, 0, 0, 0, k_20, k_3x},
        {D3DSIO_DEFB, "defb", 1, 0, 1, 0, Z, k_20, k_3x, k_20, k_3x},
        {D3DSIO_DEFI, "defi", 1, 0, 4, 0, Z, k_2x, k_3x, k_20, k_3x},
        {D3DSIO_TEXKILL, "texkill", 1, 0, 0, 1, T, k_20, k_3x, 0, 0},
        {D3DSIO_TEX, "texld", 1, 2, 0, 1, T | A | C, k_20, k_3x, 0, 0},
        {D3DSIO_EXPP, "expp", 1, 1, 0, 1, S, 0, 0, k_20, k_3x},
        {D3DSIO_LOGP, "logp", 1, 1, 0, 1, S, 0, 0, k_20, k_3x},
        {D3DSIO_DEF, "def", 1, 0, 4, 0, Z, k_20, k_3x, k_20, k_3x},
        {D3DSIO_CMP, "cmp", 1, 3, 0, 1, 0, k_20, k_3x, 0, 0},
        {D3DSIO_DP2ADD, "dp2add", 1, 3, 0, 1, A, k_20, k_3x, 0, 0},
        {D3DSIO_DSX, "dsx", 1, 1, 0, 1, 0, k_2x, k_3x, 0, 0},
        {D3DSIO_DSY, "dsy", 1, 1, 0, 1, 0, k_2x, k_3x, 0, 0},
        {D3DSIO_TEXLDD, "texldd", 1, 4, 0, 1, T | A, k_2x, k_3x, 0, 0},
        {D3DSIO_SETP, "setp", 1, 2, 0, 1, C, k_2x, k_3x, k_2x, k_3x},
        {D3DSIO_TEXLDL, "texldl", 1, 2, 0, 1, T | A, k_30, k_3x, k_30, k_3x},
        {D3DSIO_BREAKP, "breakp", 0, 1, 0, 1, F, k_2x, k_3x, k_2x, k_3x},
    };
    const bool lr_Pixel = (version >> 16) == 0xFFFF;
    if (!lr_Pixel && (version >> 16) != 0xFFFE) return nullptr;
    const WORD lr_Model = static_cast<WORD>(version & 0xFFFF);
    for (const SoftOpcodeInfo& r : k_Rows) {
        if (r.Opcode != opcode) continue;
        const WORD lr_First = lr_Pixel ? r.PixelFirst : r.VertexFirst;
        const WORD lr_Last = lr_Pixel ? r.PixelLast : r.VertexLast;
        if (lr_First != 0 && lr_Model >= lr_First && lr_Model <= lr_Last) return &r;
    }
    return nullptr;
}
