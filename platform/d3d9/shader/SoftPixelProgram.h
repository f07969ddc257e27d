// A pixel shader's token stream decoded once, checked against its model,
// into instructions (registers resolved to slots of the interpreter's lane
// register file, swizzles and masks unpacked, flow control matched) and
// then into the steps the interpreter runs: one per result component, with
// the compiler's moves folded away. Also what the rasteriser must provide
// (inputs, samplers) or expect (depth, kill, colour outputs).
#pragma once

#include <d3d9.h>
#include <soft/SoftShaderModels.h>

#include <cstdint>
#include <string>
#include <vector>

// Slots of the interpreter's per-quad register file. Every value an
// instruction reads or writes lives here, constants included (spread over
// the lanes when a quad starts), so an operand is one slot number.
enum : uint16_t {
    k_SoftSlotTemp = 0,                          // r0..r31
    k_SoftSlotInput = k_SoftSlotTemp + 32,       // v0..v9 (v0/v1 are the colours below ps_3_0)
    k_SoftSlotTexture = k_SoftSlotInput + 10,    // t0..t7 (below ps_3_0)
    k_SoftSlotColorOut = k_SoftSlotTexture + 8,  // oC0..oC3
    k_SoftSlotDepthOut = k_SoftSlotColorOut + 4,
    k_SoftSlotPredicate = k_SoftSlotDepthOut + 1,  // p0, lanes hold all-ones or zero bits
    k_SoftSlotPosition = k_SoftSlotPredicate + 1,  // vPos
    k_SoftSlotFace = k_SoftSlotPosition + 1,       // vFace
    k_SoftSlotResult = k_SoftSlotFace + 1,         // results kept apart from their destination
    k_SoftSlotWork = k_SoftSlotResult + 1,         // intermediate values of one instruction
    k_SoftSlotTexel = k_SoftSlotWork + 1,          // a texture read before its swizzle and mask
    k_SoftSlotAddressed = k_SoftSlotTexel + 1,     // operands fetched by aL, one per source
    k_SoftSlotConstant = k_SoftSlotAddressed + 5,  // float constants the program reads
    k_SoftSlotCount = k_SoftSlotConstant + k_SoftPixelFloatConstants,
};

const UINT k_SoftMaxFloatConstants = k_SoftPixelFloatConstants;
const UINT k_SoftMaxIntConstants = k_SoftIntConstants;
const UINT k_SoftMaxBoolConstants = k_SoftBoolConstants;
const UINT k_SoftMaxSamplers = k_SoftPixelSamplers;
// Open if and loop blocks at any one point.
const UINT k_SoftMaxFlowDepth = 32;

enum class SoftPixelOp : uint8_t {
    Nop,
    // Per component.
    Mov,
    Add,
    Sub,
    Mul,
    Mad,
    Min,
    Max,
    Cmp,
    Lrp,
    Frc,
    Abs,
    // One scalar result replicated.
    Rcp,
    Rsq,
    Exp,
    Log,
    Pow,
    Dp2Add,
    Dp3,
    Dp4,
    Crs,
    Nrm,
    SinCos,
    // Source[1..] are the matrix rows.
    M4x4,
    M4x3,
    M3x4,
    M3x3,
    M3x2,
    Dsx,
    Dsy,
    SetP,
    // Source[0] coordinates, Source[1] the sampler (its swizzle applies to the result).
    TexLd,
    TexLdp,
    TexLdb,
    TexLdd,
    TexLdl,
    TexKill,
    // Flow control; Jump is the instruction to continue at.
    If,   // Source[0] a bool constant or p0
    IfC,  // Control is the comparison
    Else,
    EndIf,
    Rep,   // Source[0] an integer constant
    Loop,  // Source[0] an integer constant (count, start, step)
    EndRep,
    EndLoop,
    Break,
    BreakC,
    BreakP,
};

// Where an operand lives.
enum class SoftPixelFile : uint8_t {
    Lanes,    // a slot of the per-quad register file
    Float,    // a float constant c#
    Int,      // an integer constant i#
    Bool,     // a boolean constant b#
    Sampler,  // s#
};

enum class SoftPixelModifier : uint8_t { None, Negate, Abs, AbsNegate, Not };

struct SoftPixelOperand {
    uint16_t Index = 0;  // slot, or constant or sampler number
    SoftPixelFile File = SoftPixelFile::Lanes;
    SoftPixelModifier Modifier = SoftPixelModifier::None;
    uint8_t Swizzle[4] = {0, 1, 2, 3};
    bool Relative = false;  // index + aL (ps_3_0)
    bool Local = false;     // a constant the program defines itself (def, defi, defb)
};

struct SoftPixelInstruction {
    SoftPixelOp Op = SoftPixelOp::Nop;
    uint8_t Control = 0;    // D3DSHADER_COMPARISON for ifc, breakc, setp
    uint8_t WriteMask = 0;  // components of Dest written
    bool Saturate = false;
    bool Predicated = false;  // written only where Predicate (p0 swizzled) holds
    uint16_t Dest = 0;        // slot
    uint16_t Jump = 0;
    SoftPixelOperand Predicate;
    SoftPixelOperand Source[5];
};

// What the interpreter runs: one step computes one component over the four
// lanes. A lane reference is slot * 4 + component.
enum class SoftPixelStepKind : uint8_t {
    // Computing steps, up to Sin.
    Mov,
    Add,
    Mul,
    Mad,
    Min,
    Max,
    Cmp,
    Lrp,
    Frc,
    Dsx,
    Dsy,
    SetP,
    MulSub,  // Src0 * Src1 - Src2 * Src3 (cross products)
    Dp2Add,
    Dp3,
    Dp4,  // pairs Src0*Src1 + Src2*Src3 (+ Src4, or + Src4*Src5 ...)
    Rcp,
    Rsq,
    Exp,
    Log,
    Pow,
    Cos,
    Sin,
    Texture,  // Aux: the read in Textures(); fills the texel slot
    TexKill,  // Src[0..Count): the components tested
    LoadInput,
    LoadConstant,  // Dst slot (x4) = v#/c# (Aux) indexed by aL
    // Flow control from here on.
    IfBool,  // Src0: b#, Aux: jump when no lane takes it
    IfPred,  // Src0: p0 component
    IfC,     // Src0 Control Src1
    Else,
    EndIf,
    Rep,
    Loop,  // Src0: i#, Aux: past the end
    EndRep,
    EndLoop,  // Aux: first step of the body
    Break,
    BreakC,
    BreakP,
};

enum : uint8_t {
    k_SoftStepSaturate = 1,
    k_SoftStepPredicated = 2,
    k_SoftStepNot = 4,     // predicate or condition negated
    k_SoftStepLocal = 8,   // b#/i# defined by the program
    k_SoftStepPlain = 16,  // no source has a modifier
};

struct SoftPixelStep {
    SoftPixelStepKind Kind = SoftPixelStepKind::Mov;
    uint8_t Flags = 0;
    uint8_t Control = 0;  // comparison
    uint8_t Count = 0;    // lane references read
    uint8_t Run = 1;      // steps from here on of the same kind and flags (run together)
    uint16_t Dst = 0;
    uint16_t Pred = 0;
    uint16_t Aux = 0;
    uint16_t Src[8] = {};
    SoftPixelModifier Mod[8] = {};  // none, -x, |x| or -|x| (Not is carried in Flags)
};

// A texture read of a step.
struct SoftPixelTexture {
    SoftPixelOp Op;
    uint8_t Stage;
    SoftPixelModifier CoordMod, DxMod, DyMod;
    uint16_t Coord[4], Dx[4], Dy[4];  // lane references
};

class DECLSPEC_EXPORT SoftPixelProgram {
public:
    SoftPixelProgram();

    // Decodes `count` tokens (version first, end token last). Shader model 1
    // streams are kept but not runnable. False, with a short `reason`, for a
    // stream the interpreter cannot run: unknown opcode or register kind,
    // malformed lengths, registers out of the model's range, a ps_3_0 input
    // that maps onto no interpolated attribute.
    bool Decode(const DWORD* tokens, size_t count, std::string& reason);

    DWORD Version() const { return mr_Version; }
    bool Runnable() const { return mr_Runnable; }
    // Why a program decoded without error still cannot run (shader model 1).
    const std::string& NotRunnableReason() const { return mr_NotRunnableReason; }

    // Components read of the diffuse/specular colour and of each texture
    // coordinate set (bit 0 = x .. bit 3 = w).
    BYTE ColorInputMask(UINT index) const { return index < 2 ? mr_ColorMask[index] : 0; }
    BYTE TexCoordInputMask(UINT index) const { return index < 8 ? mr_TexCoordMask[index] : 0; }
    bool ReadsPosition() const { return mr_ReadsPosition; }
    bool ReadsFace() const { return mr_ReadsFace; }
    // Samplers the program reads (bit per stage) and their declared kind.
    WORD SamplerMask() const { return mr_SamplerMask; }
    D3DSAMPLER_TEXTURE_TYPE SamplerType(UINT stage) const {
        return stage < k_SoftMaxSamplers ? mr_SamplerType[stage] : D3DSTT_UNKNOWN;
    }
    bool WritesDepth() const { return mr_WritesDepth; }
    bool UsesTexKill() const { return mr_UsesTexKill; }
    // oCn written (bit n).
    BYTE ColorOutputMask() const { return mr_ColorOutMask; }

    // For the interpreter.
    const std::vector<SoftPixelInstruction>& Instructions() const { return mr_Instructions; }
    UINT TempCount() const { return mr_TempCount; }
    const float* LocalFloat(UINT index) const { return mr_LocalFloat[index]; }
    bool HasLocalFloat(UINT index) const { return (mr_LocalFloatSet[index >> 5] >> (index & 31)) & 1u; }
    const int* LocalInt(UINT index) const { return mr_LocalInt[index]; }
    BOOL LocalBool(UINT index) const { return mr_LocalBool[index]; }
    const std::vector<SoftPixelStep>& Steps() const { return mr_Steps; }
    const std::vector<SoftPixelTexture>& Textures() const { return mr_Textures; }
    // Whether lanes can diverge (if, loops): the interpreter masks writes.
    bool HasFlowControl() const { return mr_HasFlowControl; }
    // Whether p0 is read or written.
    bool UsesPredicate() const { return mr_UsesPredicate; }
    // Constants spread into slots when a quad starts.
    struct ConstantCopy {
        uint16_t Slot;
        uint16_t Register;
        bool Local;
    };
    const std::vector<ConstantCopy>& ConstantCopies() const { return mr_ConstantCopies; }
    // How v# of ps_3_0 (or v0/v1, t# below) are filled from the inputs:
    // one entry per register component.
    static const uint8_t k_ZeroSource = 0xFF;
    struct InputCopy {
        uint16_t Slot;
        uint8_t Component;
        uint8_t Source;  // 0..1 colour, 2..9 texture coordinate set, k_ZeroSource for nothing
        uint8_t SourceComponent;
    };
    const std::vector<InputCopy>& InputCopies() const { return mr_InputCopies; }

private:
    // Turns the instructions into steps (SoftPixelProgramSteps.cpp).
    bool LowerToSteps(std::string& reason);

    friend class SoftPixelDecoder;
    friend class SoftPixelLowering;

    DWORD mr_Version;
    bool mr_Runnable;
    std::string mr_NotRunnableReason;
    BYTE mr_ColorMask[2];
    BYTE mr_TexCoordMask[8];
    bool mr_ReadsPosition;
    bool mr_ReadsFace;
    WORD mr_SamplerMask;
    D3DSAMPLER_TEXTURE_TYPE mr_SamplerType[k_SoftMaxSamplers];
    bool mr_WritesDepth;
    bool mr_UsesTexKill;
    BYTE mr_ColorOutMask;
    UINT mr_TempCount;
    std::vector<SoftPixelInstruction> mr_Instructions;
    std::vector<InputCopy> mr_InputCopies;
    std::vector<SoftPixelStep> mr_Steps;
    std::vector<SoftPixelTexture> mr_Textures;
    std::vector<ConstantCopy> mr_ConstantCopies;
    bool mr_HasFlowControl;
    bool mr_UsesPredicate;
    float mr_LocalFloat[k_SoftMaxFloatConstants][4];
    uint32_t mr_LocalFloatSet[k_SoftMaxFloatConstants / 32];
    int mr_LocalInt[k_SoftMaxIntConstants][4];
    BOOL mr_LocalBool[k_SoftMaxBoolConstants];
};
