#include "shader/SoftPixelDecoder.h"

#include <soft/SoftShaderModels.h>
#include <soft/SoftShaderOpcodes.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

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

}  // namespace

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
