#include "shader/SoftPixelProgram.h"

#include <soft/SoftShaderModels.h>
#include <soft/SoftShaderOpcodes.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// What a model offers pixel shaders: the registers of the shared table, and
// what the models after 2.0 add.
struct ModelLimits {
    UINT Temps;
    UINT Inputs;    // v#
    UINT Textures;  // t#
    UINT Floats;
    UINT Ints;
    UINT Bools;
    bool Flow;  // 2.x and 3.0: flow control, predication, derivatives, integer and boolean constants
    bool Model3;
};

ModelLimits LimitsOf(DWORD version) {
    const SoftShaderModel& m = *SoftFindShaderModel(version);
    return {m.Temporaries,
            m.Inputs,
            m.Textures,
            m.FloatConstants,
            m.IntConstants,
            m.BoolConstants,
            version != D3DPS_VERSION(2, 0),
            D3DSHADER_VERSION_MAJOR(version) >= 3};
}

// What the interpreter makes of each opcode it runs; the stream's facts
// (operand counts, models) are the shared table's.
SoftPixelOp PixelOp(DWORD opcode) {
    static const struct {
        DWORD Opcode;
        SoftPixelOp Op;
    } k_Ops[] = {
        {D3DSIO_MOV, SoftPixelOp::Mov},       {D3DSIO_ADD, SoftPixelOp::Add},
        {D3DSIO_SUB, SoftPixelOp::Sub},       {D3DSIO_MUL, SoftPixelOp::Mul},
        {D3DSIO_MAD, SoftPixelOp::Mad},       {D3DSIO_MIN, SoftPixelOp::Min},
        {D3DSIO_MAX, SoftPixelOp::Max},       {D3DSIO_CMP, SoftPixelOp::Cmp},
        {D3DSIO_LRP, SoftPixelOp::Lrp},       {D3DSIO_FRC, SoftPixelOp::Frc},
        {D3DSIO_ABS, SoftPixelOp::Abs},       {D3DSIO_RCP, SoftPixelOp::Rcp},
        {D3DSIO_RSQ, SoftPixelOp::Rsq},       {D3DSIO_EXP, SoftPixelOp::Exp},
        {D3DSIO_LOG, SoftPixelOp::Log},       {D3DSIO_POW, SoftPixelOp::Pow},
        {D3DSIO_DP2ADD, SoftPixelOp::Dp2Add}, {D3DSIO_DP3, SoftPixelOp::Dp3},
        {D3DSIO_DP4, SoftPixelOp::Dp4},       {D3DSIO_CRS, SoftPixelOp::Crs},
        {D3DSIO_NRM, SoftPixelOp::Nrm},       {D3DSIO_SINCOS, SoftPixelOp::SinCos},
        {D3DSIO_M4x4, SoftPixelOp::M4x4},     {D3DSIO_M4x3, SoftPixelOp::M4x3},
        {D3DSIO_M3x4, SoftPixelOp::M3x4},     {D3DSIO_M3x3, SoftPixelOp::M3x3},
        {D3DSIO_M3x2, SoftPixelOp::M3x2},     {D3DSIO_DSX, SoftPixelOp::Dsx},
        {D3DSIO_DSY, SoftPixelOp::Dsy},       {D3DSIO_SETP, SoftPixelOp::SetP},
        {D3DSIO_TEX, SoftPixelOp::TexLd},     {D3DSIO_TEXLDD, SoftPixelOp::TexLdd},
        {D3DSIO_TEXLDL, SoftPixelOp::TexLdl}, {D3DSIO_TEXKILL, SoftPixelOp::TexKill},
        {D3DSIO_IF, SoftPixelOp::If},         {D3DSIO_IFC, SoftPixelOp::IfC},
        {D3DSIO_ELSE, SoftPixelOp::Else},     {D3DSIO_ENDIF, SoftPixelOp::EndIf},
        {D3DSIO_REP, SoftPixelOp::Rep},       {D3DSIO_ENDREP, SoftPixelOp::EndRep},
        {D3DSIO_LOOP, SoftPixelOp::Loop},     {D3DSIO_ENDLOOP, SoftPixelOp::EndLoop},
        {D3DSIO_BREAK, SoftPixelOp::Break},   {D3DSIO_BREAKC, SoftPixelOp::BreakC},
        {D3DSIO_BREAKP, SoftPixelOp::BreakP},
    };
    for (const auto& o : k_Ops)
        if (o.Opcode == opcode) return o.Op;
    return SoftPixelOp::Nop;
}

bool IsReplicate(const SoftPixelOperand& operand) {
    return operand.Swizzle[0] == operand.Swizzle[1] && operand.Swizzle[0] == operand.Swizzle[2] &&
           operand.Swizzle[0] == operand.Swizzle[3];
}

// What kind of register a source may name.
enum class SourceUse { Float, Sampler, Int, Bool, BoolOrPredicate, Predicate };

struct FlowBlock {
    bool Loop;           // rep or loop; else an if
    bool AddressedLoop;  // loop (sets aL)
    bool HasElse;
    size_t Open;  // the if, else, rep or loop instruction
};

}  // namespace

class SoftPixelDecoder {
public:
    SoftPixelDecoder(SoftPixelProgram& program, std::string& reason) : mr_Program(program), mr_Reason(reason) {}

    bool Run(const DWORD* tokens, size_t count);

private:
    bool Fail(const char* format, unsigned a = 0, unsigned b = 0) {
        char lr_Text[160];
        std::snprintf(lr_Text, sizeof(lr_Text), format, a, b);
        mr_Reason = lr_Text;
        return false;
    }

    bool Next(DWORD& token) {
        if (mr_Cursor >= mr_End) return Fail("instruction %u is shorter than its parameters", mr_Index);
        token = mr_Tokens[mr_Cursor++];
        if (!(token & 0x80000000u)) return Fail("instruction %u has a malformed parameter token", mr_Index);
        return true;
    }
    bool NextRaw(DWORD& token) {
        if (mr_Cursor >= mr_End) return Fail("instruction %u is shorter than its parameters", mr_Index);
        token = mr_Tokens[mr_Cursor++];
        return true;
    }

    bool Instruction(DWORD token);
    bool Declaration();
    bool Definition(DWORD opcode);
    bool Dest(SoftPixelInstruction& instruction, bool predicate);
    bool Source(SoftPixelOperand& operand, SourceUse use);
    bool LaneSlot(DWORD type, UINT number, SoftPixelOperand& operand);
    bool MatrixRows(SoftPixelInstruction& instruction, UINT rows);
    bool OpenBlock(bool loop, bool addressed);
    bool Finish();
    void NoteRead(const SoftPixelOperand& operand);

    SoftPixelProgram& mr_Program;
    std::string& mr_Reason;
    ModelLimits mr_Limits = LimitsOf(D3DPS_VERSION(2, 0));
    const DWORD* mr_Tokens = nullptr;
    size_t mr_Cursor = 0;
    size_t mr_End = 0;
    unsigned mr_Index = 0;  // instruction number, for messages
    std::vector<FlowBlock> mr_Blocks;
    UINT mr_AddressedLoops = 0;
    // Registers declared by dcl, and read by instructions (checked at the end).
    UINT mr_DeclaredInputs = 0;    // bit per v#
    UINT mr_DeclaredTextures = 0;  // bit per t#
    BYTE mr_InputComponents[10] = {};
    UINT mr_ReadInputs = 0;
    UINT mr_ReadTextures = 0;
    bool mr_RelativeInputs = false;
    UINT mr_LocalIntSet = 0;
    UINT mr_LocalBoolSet = 0;
};

bool SoftPixelDecoder::Run(const DWORD* tokens, size_t count) {
    if (count < 2) return Fail("the stream is too short");
    const DWORD lr_Version = tokens[0];
    if ((lr_Version & 0xFFFF0000u) != 0xFFFF0000u) return Fail("not a pixel shader");
    mr_Program.mr_Version = lr_Version;
    const UINT lr_Major = D3DSHADER_VERSION_MAJOR(lr_Version);
    const UINT lr_Minor = D3DSHADER_VERSION_MINOR(lr_Version);
    if (lr_Major == 1) {
        mr_Program.mr_NotRunnableReason = "shader model 1 pixel shaders are not interpreted";
        return true;
    }
    if (!SoftFindShaderModel(lr_Version))
        return Fail("pixel shader version %u.%u is not interpreted", lr_Major, lr_Minor);
    mr_Limits = LimitsOf(lr_Version);
    mr_Tokens = tokens;
    size_t i = 1;
    bool lr_Ended = false;
    while (i < count) {
        const DWORD lr_Token = tokens[i];
        const DWORD lr_Opcode = lr_Token & D3DSI_OPCODE_MASK;
        if (lr_Opcode == D3DSIO_COMMENT) {
            i += 1 + ((lr_Token & D3DSI_COMMENTSIZE_MASK) >> D3DSI_COMMENTSIZE_SHIFT);
            continue;
        }
        if (lr_Opcode == D3DSIO_END) {
            lr_Ended = i + 1 == count;
            break;
        }
        const size_t lr_Length = (lr_Token & D3DSI_INSTLENGTH_MASK) >> D3DSI_INSTLENGTH_SHIFT;
        if (i + 1 + lr_Length >= count) return Fail("instruction %u runs past the end of the stream", mr_Index);
        mr_Cursor = i + 1;
        mr_End = i + 1 + lr_Length;
        if (!Instruction(lr_Token)) return false;
        if (mr_Cursor != mr_End)
            return Fail("instruction %u has %u unread parameter tokens", mr_Index,
                        static_cast<unsigned>(mr_End - mr_Cursor));
        ++mr_Index;
        i = mr_End;
    }
    if (!lr_Ended) return Fail("the stream has no end token where expected");
    return Finish();
}

bool SoftPixelDecoder::Instruction(DWORD token) {
    if (token & 0x80000000u) return Fail("instruction %u: a parameter token where an opcode was expected", mr_Index);
    if (token & D3DSI_COISSUE) return Fail("instruction %u: co-issue belongs to shader model 1", mr_Index);
    const DWORD lr_Opcode = token & D3DSI_OPCODE_MASK;
    const UINT lr_Control = (token & D3DSP_OPCODESPECIFICCONTROL_MASK) >> D3DSP_OPCODESPECIFICCONTROL_SHIFT;
    const bool lr_Predicated = (token & D3DSHADER_INSTRUCTION_PREDICATED) != 0;
    if (lr_Predicated && !mr_Limits.Flow) return Fail("instruction %u: predication needs ps_2_x or ps_3_0", mr_Index);

    if (lr_Opcode == D3DSIO_DCL) return Declaration();
    if (lr_Opcode == D3DSIO_DEF || lr_Opcode == D3DSIO_DEFI || lr_Opcode == D3DSIO_DEFB) return Definition(lr_Opcode);
    if (lr_Opcode == D3DSIO_CALL || lr_Opcode == D3DSIO_CALLNZ || lr_Opcode == D3DSIO_LABEL || lr_Opcode == D3DSIO_RET)
        return Fail("instruction %u: subroutines (opcode %u) are not interpreted", mr_Index, lr_Opcode);

    const SoftOpcodeInfo* lr_Row_ = SoftFindOpcode(mr_Program.mr_Version, lr_Opcode);
    if (!lr_Row_) {
        if (!SoftFindOpcode(D3DPS_VERSION(3, 0), lr_Opcode))
            return Fail("instruction %u: opcode %u is not a pixel shader 2.0-3.0 instruction", mr_Index, lr_Opcode);
        if (!SoftFindOpcode(D3DPS_VERSION(2, 1), lr_Opcode))
            return Fail("instruction %u: opcode %u needs ps_3_0", mr_Index, lr_Opcode);
        return Fail("instruction %u: opcode %u needs ps_2_x or ps_3_0", mr_Index, lr_Opcode);
    }
    SoftPixelInstruction lr_In;
    lr_In.Predicated = lr_Predicated;
    lr_In.Control = static_cast<uint8_t>(lr_Control);
    lr_In.Op = PixelOp(lr_Opcode);
    const UINT lr_Sources = lr_Row_->Sources;
    const bool lr_HasDest = lr_Row_->Dests != 0;
    const bool lr_ControlAllowed = (lr_Row_->Flags & k_SoftOpControl) != 0;
    if (lr_In.Op == SoftPixelOp::SetP && lr_Predicated)
        // A predicate written under itself is left out.
        return Fail("instruction %u: a predicated setp", mr_Index);
    if (lr_Opcode == D3DSIO_TEX) {
        if (lr_Control == (D3DSI_TEXLD_PROJECT >> D3DSP_OPCODESPECIFICCONTROL_SHIFT)) {
            lr_In.Op = SoftPixelOp::TexLdp;
        } else if (lr_Control == (D3DSI_TEXLD_BIAS >> D3DSP_OPCODESPECIFICCONTROL_SHIFT)) {
            lr_In.Op = SoftPixelOp::TexLdb;
        } else if (lr_Control != 0) {
            return Fail("instruction %u: texld flavour %u is unknown", mr_Index, lr_Control);
        }
    }
    if (lr_Control && !lr_ControlAllowed)
        return Fail("instruction %u: unexpected control bits %u", mr_Index, lr_Control);
    if (lr_ControlAllowed && lr_Opcode != D3DSIO_TEX && (lr_Control < D3DSPC_GT || lr_Control > D3DSPC_LE))
        return Fail("instruction %u: comparison %u is unknown", mr_Index, lr_Control);

    const size_t lr_Position = mr_Program.mr_Instructions.size();
    switch (lr_In.Op) {
    case SoftPixelOp::TexKill: {
        // The register comes as a destination token: its mask names the
        // components tested (clip of one value tests just that one).
        DWORD lr_Token;
        if (!Next(lr_Token)) return false;
        const DWORD lr_Type = SoftRegisterType(lr_Token);
        if (lr_Type != D3DSPR_TEMP && lr_Type != D3DSPR_TEXTURE && !(mr_Limits.Model3 && lr_Type == D3DSPR_INPUT))
            return Fail("instruction %u: texkill of register type %u", mr_Index, lr_Type);
        if (lr_Token & (D3DSHADER_ADDRESSMODE_MASK | D3DSP_DSTSHIFT_MASK))
            return Fail("instruction %u: malformed texkill register", mr_Index);
        if (!LaneSlot(lr_Type, lr_Token & D3DSP_REGNUM_MASK, lr_In.Source[0])) return false;
        NoteRead(lr_In.Source[0]);
        lr_In.WriteMask = static_cast<uint8_t>((lr_Token & D3DSP_WRITEMASK_ALL) >> 16);
        if (lr_Predicated && !Source(lr_In.Predicate, SourceUse::Predicate)) return false;
        mr_Program.mr_UsesTexKill = true;
        break;
    }
    case SoftPixelOp::If:
        if (lr_Predicated) return Fail("instruction %u: a predicated if", mr_Index);
        if (!Source(lr_In.Source[0], SourceUse::BoolOrPredicate)) return false;
        if (!IsReplicate(lr_In.Source[0]) && lr_In.Source[0].File == SoftPixelFile::Lanes)
            return Fail("instruction %u: if p0 needs a single component", mr_Index);
        if (!OpenBlock(false, false)) return false;
        break;
    case SoftPixelOp::IfC:
    case SoftPixelOp::BreakC:
        if (lr_Predicated) return Fail("instruction %u: a predicated flow-control instruction", mr_Index);
        if (!Source(lr_In.Source[0], SourceUse::Float) || !Source(lr_In.Source[1], SourceUse::Float)) return false;
        if (!IsReplicate(lr_In.Source[0]) || !IsReplicate(lr_In.Source[1]))
            return Fail("instruction %u: a comparison of more than one component", mr_Index);
        if (lr_In.Op == SoftPixelOp::IfC) {
            if (!OpenBlock(false, false)) return false;
        } else if (mr_Blocks.empty() ||
                   std::none_of(mr_Blocks.begin(), mr_Blocks.end(), [](const FlowBlock& b) { return b.Loop; })) {
            return Fail("instruction %u: break outside a loop", mr_Index);
        }
        break;
    case SoftPixelOp::Else: {
        if (lr_Predicated) return Fail("instruction %u: a predicated else", mr_Index);
        if (mr_Blocks.empty() || mr_Blocks.back().Loop || mr_Blocks.back().HasElse)
            return Fail("instruction %u: else without if", mr_Index);
        mr_Program.mr_Instructions[mr_Blocks.back().Open].Jump = static_cast<uint16_t>(lr_Position);
        mr_Blocks.back().HasElse = true;
        mr_Blocks.back().Open = lr_Position;
        break;
    }
    case SoftPixelOp::EndIf:
        if (lr_Predicated) return Fail("instruction %u: a predicated endif", mr_Index);
        if (mr_Blocks.empty() || mr_Blocks.back().Loop) return Fail("instruction %u: endif without if", mr_Index);
        mr_Program.mr_Instructions[mr_Blocks.back().Open].Jump = static_cast<uint16_t>(lr_Position);
        mr_Blocks.pop_back();
        break;
    case SoftPixelOp::Rep:
    case SoftPixelOp::Loop:
        if (lr_Predicated) return Fail("instruction %u: a predicated loop", mr_Index);
        if (lr_In.Op == SoftPixelOp::Loop) {
            DWORD lr_Token;
            if (!Next(lr_Token)) return false;
            if (SoftRegisterType(lr_Token) != D3DSPR_LOOP || (lr_Token & D3DSP_REGNUM_MASK) != 0)
                return Fail("instruction %u: loop needs aL", mr_Index);
        }
        if (!Source(lr_In.Source[0], SourceUse::Int)) return false;
        if (!OpenBlock(true, lr_In.Op == SoftPixelOp::Loop)) return false;
        break;
    case SoftPixelOp::EndRep:
    case SoftPixelOp::EndLoop: {
        const bool lr_Addressed = lr_In.Op == SoftPixelOp::EndLoop;
        if (lr_Predicated) return Fail("instruction %u: a predicated loop end", mr_Index);
        if (mr_Blocks.empty() || !mr_Blocks.back().Loop || mr_Blocks.back().AddressedLoop != lr_Addressed)
            return Fail("instruction %u: loop end without its loop", mr_Index);
        // The loop skips past its end when it runs no iteration; the end jumps back to the body.
        mr_Program.mr_Instructions[mr_Blocks.back().Open].Jump = static_cast<uint16_t>(lr_Position + 1);
        lr_In.Jump = static_cast<uint16_t>(mr_Blocks.back().Open + 1);
        if (lr_Addressed) --mr_AddressedLoops;
        mr_Blocks.pop_back();
        break;
    }
    case SoftPixelOp::Break:
    case SoftPixelOp::BreakP:
        if (lr_Predicated) return Fail("instruction %u: a predicated break", mr_Index);
        if (std::none_of(mr_Blocks.begin(), mr_Blocks.end(), [](const FlowBlock& b) { return b.Loop; }))
            return Fail("instruction %u: break outside a loop", mr_Index);
        if (lr_In.Op == SoftPixelOp::BreakP) {
            if (!Source(lr_In.Source[0], SourceUse::Predicate)) return false;
            if (!IsReplicate(lr_In.Source[0])) return Fail("instruction %u: breakp needs a single component", mr_Index);
        }
        break;
    case SoftPixelOp::Nop:
        if (lr_Predicated && !Source(lr_In.Predicate, SourceUse::Predicate)) return false;
        break;
    default: {
        if (!lr_HasDest) break;
        if (!Dest(lr_In, lr_In.Op == SoftPixelOp::SetP)) return false;
        if (lr_Predicated && !Source(lr_In.Predicate, SourceUse::Predicate)) return false;
        switch (lr_In.Op) {
        case SoftPixelOp::TexLd:
        case SoftPixelOp::TexLdp:
        case SoftPixelOp::TexLdb:
        case SoftPixelOp::TexLdl:
        case SoftPixelOp::TexLdd:
            if (!Source(lr_In.Source[0], SourceUse::Float) || !Source(lr_In.Source[1], SourceUse::Sampler))
                return false;
            if (lr_In.Op == SoftPixelOp::TexLdd &&
                (!Source(lr_In.Source[2], SourceUse::Float) || !Source(lr_In.Source[3], SourceUse::Float)))
                return false;
            break;
        case SoftPixelOp::M4x4:
        case SoftPixelOp::M3x4:
            if (!MatrixRows(lr_In, 4)) return false;
            break;
        case SoftPixelOp::M4x3:
        case SoftPixelOp::M3x3:
            if (!MatrixRows(lr_In, 3)) return false;
            break;
        case SoftPixelOp::M3x2:
            if (!MatrixRows(lr_In, 2)) return false;
            break;
        default:
            for (UINT s = 0; s < lr_Sources; ++s)
                if (!Source(lr_In.Source[s], SourceUse::Float)) return false;
            break;
        }
        break;
    }
    }

    // Operands that must name one component.
    switch (lr_In.Op) {
    case SoftPixelOp::Rcp:
    case SoftPixelOp::Rsq:
    case SoftPixelOp::Exp:
    case SoftPixelOp::Log:
    case SoftPixelOp::SinCos:
        if (!IsReplicate(lr_In.Source[0])) return Fail("instruction %u: a scalar source needs one component", mr_Index);
        break;
    case SoftPixelOp::Pow:
        if (!IsReplicate(lr_In.Source[0]) || !IsReplicate(lr_In.Source[1]))
            return Fail("instruction %u: a scalar source needs one component", mr_Index);
        break;
    case SoftPixelOp::Dp2Add:
        if (!IsReplicate(lr_In.Source[2])) return Fail("instruction %u: a scalar source needs one component", mr_Index);
        break;
    default: break;
    }
    // Results some instructions cannot produce.
    if (lr_In.Op == SoftPixelOp::SinCos && (lr_In.WriteMask & ~0x3u))
        return Fail("instruction %u: sincos writes x and y only", mr_Index);
    if (lr_In.Op == SoftPixelOp::Crs && (lr_In.WriteMask & 0x8u))
        return Fail("instruction %u: crs cannot write w", mr_Index);
    mr_Program.mr_Instructions.push_back(lr_In);
    return true;
}

bool SoftPixelDecoder::OpenBlock(bool loop, bool addressed) {
    if (mr_Blocks.size() >= k_SoftMaxFlowDepth) return Fail("instruction %u: flow control nested too deep", mr_Index);
    mr_Blocks.push_back(FlowBlock{loop, addressed, false, mr_Program.mr_Instructions.size()});
    if (addressed) ++mr_AddressedLoops;
    return true;
}

bool SoftPixelDecoder::MatrixRows(SoftPixelInstruction& instruction, UINT rows) {
    if (!Source(instruction.Source[0], SourceUse::Float) || !Source(instruction.Source[1], SourceUse::Float))
        return false;
    const SoftPixelOperand lr_First = instruction.Source[1];
    if (lr_First.Relative) return Fail("instruction %u: a relative matrix", mr_Index);
    UINT lr_Limit = 0;
    if (lr_First.File == SoftPixelFile::Float) {
        lr_Limit = mr_Limits.Floats;
    } else if (lr_First.Index < k_SoftSlotInput) {
        lr_Limit = k_SoftSlotTemp + mr_Limits.Temps;
    } else if (lr_First.Index < k_SoftSlotTexture) {
        lr_Limit = k_SoftSlotInput + mr_Limits.Inputs;
    } else if (lr_First.Index < k_SoftSlotColorOut) {
        lr_Limit = k_SoftSlotTexture + mr_Limits.Textures;
    }
    if (lr_First.Index + rows > lr_Limit) return Fail("instruction %u: matrix rows past the register file", mr_Index);
    for (UINT r = 1; r < rows; ++r) {
        instruction.Source[1 + r] = lr_First;
        instruction.Source[1 + r].Index = static_cast<uint16_t>(lr_First.Index + r);
        NoteRead(instruction.Source[1 + r]);
    }
    // Only the components the matrix has rows for.
    instruction.WriteMask &= static_cast<uint8_t>((1u << rows) - 1);
    return true;
}

bool SoftPixelDecoder::Dest(SoftPixelInstruction& instruction, bool predicate) {
    DWORD lr_Token;
    if (!Next(lr_Token)) return false;
    const DWORD lr_Type = SoftRegisterType(lr_Token);
    const UINT lr_Number = lr_Token & D3DSP_REGNUM_MASK;
    if (lr_Token & D3DSHADER_ADDRESSMODE_MASK) return Fail("instruction %u: a relative destination", mr_Index);
    if (lr_Token & D3DSP_DSTSHIFT_MASK) return Fail("instruction %u: result shifts belong to shader model 1", mr_Index);
    const DWORD lr_Modifiers = lr_Token & D3DSP_DSTMOD_MASK;
    if (lr_Modifiers & ~static_cast<DWORD>(D3DSPDM_SATURATE | D3DSPDM_PARTIALPRECISION | D3DSPDM_MSAMPCENTROID))
        return Fail("instruction %u: unknown result modifier", mr_Index);
    instruction.Saturate = (lr_Modifiers & D3DSPDM_SATURATE) != 0;
    instruction.WriteMask = static_cast<uint8_t>((lr_Token & D3DSP_WRITEMASK_ALL) >> 16);
    if (instruction.WriteMask == 0) return Fail("instruction %u: an empty write mask", mr_Index);
    if (predicate) {
        if (lr_Type != D3DSPR_PREDICATE || lr_Number != 0) return Fail("instruction %u: setp writes p0 only", mr_Index);
        instruction.Dest = k_SoftSlotPredicate;
        mr_Program.mr_UsesPredicate = true;
        return true;
    }
    switch (lr_Type) {
    case D3DSPR_TEMP:
        if (lr_Number >= mr_Limits.Temps) return Fail("instruction %u: r%u is out of range", mr_Index, lr_Number);
        instruction.Dest = static_cast<uint16_t>(k_SoftSlotTemp + lr_Number);
        mr_Program.mr_TempCount = std::max(mr_Program.mr_TempCount, lr_Number + 1);
        return true;
    case D3DSPR_COLOROUT:
        if (lr_Number >= 4) return Fail("instruction %u: oC%u is out of range", mr_Index, lr_Number);
        instruction.Dest = static_cast<uint16_t>(k_SoftSlotColorOut + lr_Number);
        mr_Program.mr_ColorOutMask |= static_cast<BYTE>(1u << lr_Number);
        return true;
    case D3DSPR_DEPTHOUT:
        if (lr_Number != 0) return Fail("instruction %u: oDepth%u is out of range", mr_Index, lr_Number);
        instruction.Dest = k_SoftSlotDepthOut;
        mr_Program.mr_WritesDepth = true;
        return true;
    default: return Fail("instruction %u: register type %u cannot be written", mr_Index, lr_Type);
    }
}

bool SoftPixelDecoder::LaneSlot(DWORD type, UINT number, SoftPixelOperand& operand) {
    operand.File = SoftPixelFile::Lanes;
    switch (type) {
    case D3DSPR_TEMP:
        if (number >= mr_Limits.Temps) return Fail("instruction %u: r%u is out of range", mr_Index, number);
        operand.Index = static_cast<uint16_t>(k_SoftSlotTemp + number);
        mr_Program.mr_TempCount = std::max(mr_Program.mr_TempCount, number + 1);
        return true;
    case D3DSPR_INPUT:
        if (number >= mr_Limits.Inputs) return Fail("instruction %u: v%u is out of range", mr_Index, number);
        operand.Index = static_cast<uint16_t>(k_SoftSlotInput + number);
        return true;
    case D3DSPR_TEXTURE:
        if (number >= mr_Limits.Textures) return Fail("instruction %u: t%u is out of range", mr_Index, number);
        operand.Index = static_cast<uint16_t>(k_SoftSlotTexture + number);
        return true;
    case D3DSPR_MISCTYPE:
        if (!mr_Limits.Model3 || number > D3DSMO_FACE)
            return Fail("instruction %u: misc register %u is out of range", mr_Index, number);
        operand.Index = number == D3DSMO_POSITION ? k_SoftSlotPosition : k_SoftSlotFace;
        return true;
    default: return Fail("instruction %u: register type %u cannot be read", mr_Index, type);
    }
}

void SoftPixelDecoder::NoteRead(const SoftPixelOperand& operand) {
    if (operand.File != SoftPixelFile::Lanes) return;
    if (operand.Index >= k_SoftSlotInput && operand.Index < k_SoftSlotTexture) {
        const UINT lr_Register = operand.Index - k_SoftSlotInput;
        mr_ReadInputs |= 1u << lr_Register;
        if (!mr_Limits.Model3)
            for (int k = 0; k < 4; ++k)
                mr_Program.mr_ColorMask[lr_Register] |= static_cast<BYTE>(1u << operand.Swizzle[k]);
    } else if (operand.Index >= k_SoftSlotTexture && operand.Index < k_SoftSlotColorOut) {
        const UINT lr_Register = operand.Index - k_SoftSlotTexture;
        mr_ReadTextures |= 1u << lr_Register;
        for (int k = 0; k < 4; ++k)
            mr_Program.mr_TexCoordMask[lr_Register] |= static_cast<BYTE>(1u << operand.Swizzle[k]);
    } else if (operand.Index == k_SoftSlotPosition) {
        mr_Program.mr_ReadsPosition = true;
    } else if (operand.Index == k_SoftSlotFace) {
        mr_Program.mr_ReadsFace = true;
    }
}

bool SoftPixelDecoder::Source(SoftPixelOperand& operand, SourceUse use) {
    DWORD lr_Token;
    if (!Next(lr_Token)) return false;
    const DWORD lr_Type = SoftRegisterType(lr_Token);
    const UINT lr_Number = lr_Token & D3DSP_REGNUM_MASK;
    const DWORD lr_Swizzle = (lr_Token & D3DSP_SWIZZLE_MASK) >> D3DSP_SWIZZLE_SHIFT;
    for (int k = 0; k < 4; ++k) operand.Swizzle[k] = static_cast<uint8_t>((lr_Swizzle >> (2 * k)) & 3u);
    switch (lr_Token & D3DSP_SRCMOD_MASK) {
    case D3DSPSM_NONE: operand.Modifier = SoftPixelModifier::None; break;
    case D3DSPSM_NEG: operand.Modifier = SoftPixelModifier::Negate; break;
    case D3DSPSM_ABS: operand.Modifier = SoftPixelModifier::Abs; break;
    case D3DSPSM_ABSNEG: operand.Modifier = SoftPixelModifier::AbsNegate; break;
    case D3DSPSM_NOT: operand.Modifier = SoftPixelModifier::Not; break;
    default:
        return Fail("instruction %u: source modifier %u belongs to shader model 1", mr_Index,
                    (lr_Token & D3DSP_SRCMOD_MASK) >> D3DSP_SRCMOD_SHIFT);
    }
    const bool lr_Logical = use == SourceUse::Bool || use == SourceUse::BoolOrPredicate || use == SourceUse::Predicate;
    if (operand.Modifier == SoftPixelModifier::Not ? !lr_Logical
                                                   : (lr_Logical && operand.Modifier != SoftPixelModifier::None))
        return Fail("instruction %u: a source modifier that does not fit the operand", mr_Index);
    if (lr_Token & D3DSHADER_ADDRESSMODE_MASK) {
        // ps_3_0 indexes inputs and float constants by the loop counter only.
        DWORD lr_Address;
        if (!Next(lr_Address)) return false;
        if (!mr_Limits.Model3 || (lr_Type != D3DSPR_INPUT && lr_Type != D3DSPR_CONST))
            return Fail("instruction %u: relative addressing of register type %u", mr_Index, lr_Type);
        if (SoftRegisterType(lr_Address) != D3DSPR_LOOP || mr_AddressedLoops == 0)
            return Fail("instruction %u: relative addressing needs aL inside a loop", mr_Index);
        operand.Relative = true;
        if (lr_Type == D3DSPR_INPUT) mr_RelativeInputs = true;
    }

    switch (lr_Type) {
    case D3DSPR_CONST:
        if (use != SourceUse::Float) break;
        if (lr_Number >= mr_Limits.Floats) return Fail("instruction %u: c%u is out of range", mr_Index, lr_Number);
        operand.File = SoftPixelFile::Float;
        operand.Index = static_cast<uint16_t>(lr_Number);
        return true;
    case D3DSPR_CONSTINT:
        if (use != SourceUse::Int) break;
        if (lr_Number >= mr_Limits.Ints) return Fail("instruction %u: i%u is out of range", mr_Index, lr_Number);
        operand.File = SoftPixelFile::Int;
        operand.Index = static_cast<uint16_t>(lr_Number);
        return true;
    case D3DSPR_CONSTBOOL:
        if (use != SourceUse::Bool && use != SourceUse::BoolOrPredicate) break;
        if (lr_Number >= mr_Limits.Bools) return Fail("instruction %u: b%u is out of range", mr_Index, lr_Number);
        operand.File = SoftPixelFile::Bool;
        operand.Index = static_cast<uint16_t>(lr_Number);
        return true;
    case D3DSPR_SAMPLER:
        if (use != SourceUse::Sampler) break;
        if (lr_Number >= k_SoftMaxSamplers) return Fail("instruction %u: s%u is out of range", mr_Index, lr_Number);
        operand.File = SoftPixelFile::Sampler;
        operand.Index = static_cast<uint16_t>(lr_Number);
        mr_Program.mr_SamplerMask |= static_cast<WORD>(1u << lr_Number);
        return true;
    case D3DSPR_PREDICATE:
        if (use != SourceUse::Predicate && use != SourceUse::BoolOrPredicate) break;
        if (lr_Number != 0) return Fail("instruction %u: p%u is out of range", mr_Index, lr_Number);
        operand.File = SoftPixelFile::Lanes;
        operand.Index = k_SoftSlotPredicate;
        mr_Program.mr_UsesPredicate = true;
        return true;
    case D3DSPR_TEMP:
    case D3DSPR_INPUT:
    case D3DSPR_TEXTURE:
    case D3DSPR_MISCTYPE:
        if (use != SourceUse::Float) break;
        if (operand.Relative) {
            operand.File = SoftPixelFile::Lanes;
            operand.Index = static_cast<uint16_t>(k_SoftSlotInput + lr_Number);
            if (lr_Number >= mr_Limits.Inputs) return Fail("instruction %u: v%u is out of range", mr_Index, lr_Number);
            return true;
        }
        if (!LaneSlot(lr_Type, lr_Number, operand)) return false;
        NoteRead(operand);
        return true;
    default: return Fail("instruction %u: register type %u cannot be read", mr_Index, lr_Type);
    }
    return Fail("instruction %u: register type %u does not fit the operand", mr_Index, lr_Type);
}

bool SoftPixelDecoder::Declaration() {
    DWORD lr_Usage, lr_Token;
    if (!Next(lr_Usage) || !Next(lr_Token)) return false;
    const DWORD lr_Type = SoftRegisterType(lr_Token);
    const UINT lr_Number = lr_Token & D3DSP_REGNUM_MASK;
    const BYTE lr_Mask = static_cast<BYTE>((lr_Token & D3DSP_WRITEMASK_ALL) >> 16);
    SoftPixelProgram& p = mr_Program;
    switch (lr_Type) {
    case D3DSPR_SAMPLER: {
        if (lr_Number >= k_SoftMaxSamplers) return Fail("dcl: s%u is out of range", lr_Number);
        const DWORD lr_Kind = lr_Usage & D3DSP_TEXTURETYPE_MASK;
        if (lr_Kind != D3DSTT_2D && lr_Kind != D3DSTT_CUBE && lr_Kind != D3DSTT_VOLUME)
            return Fail("dcl: s%u has texture type %u", lr_Number, lr_Kind >> D3DSP_TEXTURETYPE_SHIFT);
        p.mr_SamplerType[lr_Number] = static_cast<D3DSAMPLER_TEXTURE_TYPE>(lr_Kind);
        return true;
    }
    case D3DSPR_INPUT: {
        if (lr_Number >= mr_Limits.Inputs) return Fail("dcl: v%u is out of range", lr_Number);
        const uint16_t lr_Slot = static_cast<uint16_t>(k_SoftSlotInput + lr_Number);
        mr_DeclaredInputs |= 1u << lr_Number;
        if (!mr_Limits.Model3) {
            p.mr_ColorMask[lr_Number] |= lr_Mask;
            for (uint8_t k = 0; k < 4; ++k)
                p.mr_InputCopies.push_back(SoftPixelProgram::InputCopy{lr_Slot, k, static_cast<uint8_t>(lr_Number), k});
            return true;
        }
        // ps_3_0 links inputs by meaning; only the rasteriser's colours and coordinates exist here.
        const UINT lr_Meaning = (lr_Usage & D3DSP_DCL_USAGE_MASK) >> D3DSP_DCL_USAGE_SHIFT;
        const UINT lr_Index = (lr_Usage & D3DSP_DCL_USAGEINDEX_MASK) >> D3DSP_DCL_USAGEINDEX_SHIFT;
        uint8_t lr_Source;
        if (lr_Meaning == D3DDECLUSAGE_COLOR && lr_Index < 2) {
            lr_Source = static_cast<uint8_t>(lr_Index);
            p.mr_ColorMask[lr_Index] |= lr_Mask;
        } else if (lr_Meaning == D3DDECLUSAGE_TEXCOORD && lr_Index < 8) {
            lr_Source = static_cast<uint8_t>(2 + lr_Index);
            p.mr_TexCoordMask[lr_Index] |= lr_Mask;
        } else {
            return Fail("dcl: input usage %u index %u has no interpolated attribute", lr_Meaning, lr_Index);
        }
        if (lr_Mask == 0 || (mr_InputComponents[lr_Number] & lr_Mask))
            return Fail("dcl: v%u components declared twice or not at all", lr_Number);
        mr_InputComponents[lr_Number] |= lr_Mask;
        for (uint8_t k = 0; k < 4; ++k)
            if (lr_Mask & (1u << k)) p.mr_InputCopies.push_back(SoftPixelProgram::InputCopy{lr_Slot, k, lr_Source, k});
        return true;
    }
    case D3DSPR_TEXTURE:
        if (lr_Number >= mr_Limits.Textures) return Fail("dcl: t%u is out of range", lr_Number);
        mr_DeclaredTextures |= 1u << lr_Number;
        p.mr_TexCoordMask[lr_Number] |= lr_Mask;
        for (uint8_t k = 0; k < 4; ++k)
            p.mr_InputCopies.push_back(SoftPixelProgram::InputCopy{static_cast<uint16_t>(k_SoftSlotTexture + lr_Number),
                                                                   k, static_cast<uint8_t>(2 + lr_Number), k});
        return true;
    case D3DSPR_MISCTYPE:
        if (!mr_Limits.Model3 || lr_Number > D3DSMO_FACE)
            return Fail("dcl: misc register %u is out of range", lr_Number);
        if (lr_Number == D3DSMO_POSITION)
            p.mr_ReadsPosition = true;
        else
            p.mr_ReadsFace = true;
        return true;
    default: return Fail("dcl: register type %u cannot be declared in a pixel shader", lr_Type);
    }
}

bool SoftPixelDecoder::Definition(DWORD opcode) {
    DWORD lr_Token;
    if (!Next(lr_Token)) return false;
    const DWORD lr_Type = SoftRegisterType(lr_Token);
    const UINT lr_Number = lr_Token & D3DSP_REGNUM_MASK;
    SoftPixelProgram& p = mr_Program;
    if (opcode == D3DSIO_DEF) {
        if (lr_Type != D3DSPR_CONST || lr_Number >= mr_Limits.Floats)
            return Fail("def: c%u is out of range", lr_Number);
        for (int k = 0; k < 4; ++k) {
            DWORD lr_Bits;
            if (!NextRaw(lr_Bits)) return false;
            std::memcpy(&p.mr_LocalFloat[lr_Number][k], &lr_Bits, sizeof(float));
        }
        p.mr_LocalFloatSet[lr_Number >> 5] |= 1u << (lr_Number & 31);
        return true;
    }
    if (opcode == D3DSIO_DEFI) {
        if (lr_Type != D3DSPR_CONSTINT || lr_Number >= mr_Limits.Ints)
            return Fail("defi: i%u is out of range", lr_Number);
        for (int k = 0; k < 4; ++k) {
            DWORD lr_Bits;
            if (!NextRaw(lr_Bits)) return false;
            std::memcpy(&p.mr_LocalInt[lr_Number][k], &lr_Bits, sizeof(int));
        }
        mr_LocalIntSet |= 1u << lr_Number;
        return true;
    }
    if (lr_Type != D3DSPR_CONSTBOOL || lr_Number >= mr_Limits.Bools)
        return Fail("defb: b%u is out of range", lr_Number);
    DWORD lr_Value;
    if (!NextRaw(lr_Value)) return false;
    p.mr_LocalBool[lr_Number] = lr_Value != 0;
    mr_LocalBoolSet |= 1u << lr_Number;
    return true;
}

bool SoftPixelDecoder::Finish() {
    SoftPixelProgram& p = mr_Program;
    if (!mr_Blocks.empty())
        return Fail("%u flow-control blocks are not closed", static_cast<unsigned>(mr_Blocks.size()));
    const UINT lr_UndeclaredInputs = mr_ReadInputs & ~mr_DeclaredInputs;
    for (UINT n = 0; n < 10; ++n)
        if (lr_UndeclaredInputs & (1u << n)) return Fail("v%u is read but not declared", n);
    const UINT lr_UndeclaredTextures = mr_ReadTextures & ~mr_DeclaredTextures;
    for (UINT n = 0; n < 8; ++n)
        if (lr_UndeclaredTextures & (1u << n)) return Fail("t%u is read but not declared", n);
    for (UINT n = 0; n < k_SoftMaxSamplers; ++n)
        if ((p.mr_SamplerMask & (1u << n)) && p.mr_SamplerType[n] == D3DSTT_UNKNOWN)
            return Fail("s%u is sampled but not declared", n);
    if (mr_Limits.Model3) {
        // Components no dcl provides read as zero, whatever ran before; all of
        // v# when an index may reach any of them.
        for (uint16_t n = 0; n < 10; ++n) {
            if (!mr_RelativeInputs && !(mr_DeclaredInputs & (1u << n))) continue;
            for (uint8_t k = 0; k < 4; ++k)
                if (!(mr_InputComponents[n] & (1u << k)))
                    p.mr_InputCopies.push_back(SoftPixelProgram::InputCopy{static_cast<uint16_t>(k_SoftSlotInput + n),
                                                                           k, SoftPixelProgram::k_ZeroSource, 0});
        }
    }
    // Constants the program defines itself win over the device's.
    for (SoftPixelInstruction& lr_In : p.mr_Instructions) {
        for (SoftPixelOperand& lr_Operand : lr_In.Source) {
            if (lr_Operand.Relative) continue;
            switch (lr_Operand.File) {
            case SoftPixelFile::Float: lr_Operand.Local = p.HasLocalFloat(lr_Operand.Index); break;
            case SoftPixelFile::Int: lr_Operand.Local = (mr_LocalIntSet >> lr_Operand.Index) & 1u; break;
            case SoftPixelFile::Bool: lr_Operand.Local = (mr_LocalBoolSet >> lr_Operand.Index) & 1u; break;
            default: break;
            }
        }
    }
    p.mr_Runnable = true;
    return true;
}

SoftPixelProgram::SoftPixelProgram()
    : mr_Version(0),
      mr_Runnable(false),
      mr_NotRunnableReason("no pixel shader was decoded"),
      mr_ColorMask{},
      mr_TexCoordMask{},
      mr_ReadsPosition(false),
      mr_ReadsFace(false),
      mr_SamplerMask(0),
      mr_SamplerType{},
      mr_WritesDepth(false),
      mr_UsesTexKill(false),
      mr_ColorOutMask(0),
      mr_TempCount(0),
      mr_HasFlowControl(false),
      mr_UsesPredicate(false),
      mr_LocalFloat{},
      mr_LocalFloatSet{},
      mr_LocalInt{},
      mr_LocalBool{} {}

bool SoftPixelProgram::Decode(const DWORD* tokens, size_t count, std::string& reason) {
    *this = SoftPixelProgram();
    mr_NotRunnableReason.clear();
    SoftPixelDecoder lr_Decoder(*this, reason);
    if (!tokens || !lr_Decoder.Run(tokens, count) || (mr_Runnable && !LowerToSteps(reason))) {
        if (!tokens) reason = "no tokens";
        SoftPixelProgram lr_Empty;
        lr_Empty.mr_NotRunnableReason = reason;
        *this = std::move(lr_Empty);
        return false;
    }
    return true;
}
