// The registers, declarations and definitions a pixel shader's instructions
// name, resolved to slots of the interpreter's lane register file, and the
// checks once the stream has ended.
#include "shader/SoftPixelDecoder.h"

#include <soft/SoftShaderOpcodes.h>

#include <algorithm>
#include <cstring>

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
