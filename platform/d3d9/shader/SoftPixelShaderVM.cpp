#include "shader/SoftPixelShaderVM.h"

#include <cmath>
#include <cstring>
#include <limits>

// Derivatives are taken per quad row and column, the same for dsx/dsy and
// for the mip level of implicit texture reads:
//   ddx = lane1 - lane0 on the top row (lanes 0, 1), lane3 - lane2 on the bottom row (lanes 2, 3);
//   ddy = lane2 - lane0 on the left column (lanes 0, 2), lane3 - lane1 on the right column (lanes 1, 3).

namespace {

const float k_Infinity = std::numeric_limits<float>::infinity();
const float k_Zero[4] = {0.0f, 0.0f, 0.0f, 0.0f};
const int k_NoInt[4] = {0, 0, 0, 0};
const uint16_t k_TexelRef = k_SoftSlotTexel * 4;
// The ranges of an integer constant driving rep and loop: count 0..255, aL
// start 0..255, step -128..127.
int Clamped(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

inline SoftLanes Splat(float value) { return SoftLanes{value, value, value, value}; }
inline SoftLanes Bits(SoftLaneMask mask) { return (SoftLanes)mask; }
inline SoftLaneMask Mask(SoftLanes value) { return (SoftLaneMask)value; }
inline SoftLaneMask AllLanes() { return SoftLaneMask{-1, -1, -1, -1}; }
inline SoftLanes Select(SoftLaneMask mask, SoftLanes a, SoftLanes b) {
    return Bits((Mask(a) & mask) | (Mask(b) & ~mask));
}
inline bool Any(SoftLaneMask mask) { return (mask[0] | mask[1] | mask[2] | mask[3]) != 0; }
inline SoftLanes Absolute(SoftLanes value) { return Bits(Mask(value) & 0x7FFFFFFF); }
// NaN saturates to 0.
inline SoftLanes Saturate(SoftLanes value) {
    value = Select(value > Splat(0.0f), value, Splat(0.0f));
    return Select(value < Splat(1.0f), value, Splat(1.0f));
}

inline SoftLanes DerivativeX(SoftLanes v) {
    const float lr_Top = v[1] - v[0], lr_Bottom = v[3] - v[2];
    return SoftLanes{lr_Top, lr_Top, lr_Bottom, lr_Bottom};
}
inline SoftLanes DerivativeY(SoftLanes v) {
    const float lr_Left = v[2] - v[0], lr_Right = v[3] - v[1];
    return SoftLanes{lr_Left, lr_Right, lr_Left, lr_Right};
}

inline SoftLaneMask Compare(SoftLanes a, SoftLanes b, uint8_t comparison) {
    switch (comparison) {
    case D3DSPC_GT: return a > b;
    case D3DSPC_EQ: return a == b;
    case D3DSPC_GE: return a >= b;
    case D3DSPC_LT: return a < b;
    case D3DSPC_NE: return a != b;
    case D3DSPC_LE: return a <= b;
    default: return SoftLaneMask{};
    }
}

// Source modifiers as bit operations: (x & and) ^ xor.
const SoftLaneMask k_ModifierAnd[4] = {{-1, -1, -1, -1},
                                       {-1, -1, -1, -1},
                                       {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF},
                                       {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF}};
const SoftLaneMask k_ModifierXor[4] = {{0, 0, 0, 0},
                                       {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN},
                                       {0, 0, 0, 0},
                                       {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN}};

inline SoftLanes Modified(SoftLanes value, SoftPixelModifier modifier) {
    const unsigned lr_Index = static_cast<unsigned>(modifier);
    return Bits((Mask(value) & k_ModifierAnd[lr_Index]) ^ k_ModifierXor[lr_Index]);
}

template <class F>
inline SoftLanes PerLane(SoftLanes v, F f) {
    return SoftLanes{f(v[0]), f(v[1]), f(v[2]), f(v[3])};
}

// rcp(0) is +infinity whatever the sign of the zero.
inline SoftLanes Reciprocal(SoftLanes x) { return Select(x == Splat(0.0f), Splat(k_Infinity), Splat(1.0f) / x); }
// rsq works on |x|: rsq(0) = +infinity, rsq(1) = 1 exactly.
inline SoftLanes ReciprocalRoot(SoftLanes x) {
    return PerLane(Absolute(x), [](float v) { return 1.0f / std::sqrt(v); });
}

// One quad's run of a program's steps. `Masked` when lanes can diverge.
class QuadRun {
public:
    QuadRun(SoftLanes* lanes, SoftPixelFlowFrame* frames, const SoftPixelProgram& program,
            const SoftPixelConstants& constants, ISoftTextureSampler& sampler)
        : mr_R(lanes), mr_Frames(frames), mr_Program(program), mr_Constants(constants), mr_Sampler(sampler) {}

    template <bool Masked>
    void Execute();

    SoftLaneMask mr_Killed{};

private:
    template <bool Plain>
    [[gnu::always_inline]] SoftLanes In(const SoftPixelStep& s, int i) const {
        return Plain ? mr_R[s.Src[i]] : Modified(mr_R[s.Src[i]], s.Mod[i]);
    }
    SoftLanes In(const SoftPixelStep& s, int i) const { return In<false>(s, i); }

    // The value of one computing step.
    template <SoftPixelStepKind Kind, bool Plain>
    [[gnu::always_inline]] SoftLanes Compute(const SoftPixelStep& u) const;

    template <bool Masked>
    [[gnu::always_inline]] void Store(const SoftPixelStep& s, SoftLanes value) {
        if (!Masked && (s.Flags & ~k_SoftStepPlain) == 0) {
            mr_R[s.Dst] = value;
            return;
        }
        if (s.Flags & k_SoftStepSaturate) value = Saturate(value);
        SoftLaneMask lr_Lanes = mr_Mask;
        if (s.Flags & k_SoftStepPredicated) {
            const SoftLaneMask lr_Holds = Mask(mr_R[s.Pred]);
            lr_Lanes &= (s.Flags & k_SoftStepNot) ? ~lr_Holds : lr_Holds;
        }
        mr_R[s.Dst] = Select(lr_Lanes, value, mr_R[s.Dst]);
    }

    // Computes and stores a run of steps of one kind and flags; returns its
    // length. Runs without modifiers skip them.
    template <bool Masked, SoftPixelStepKind Kind>
    size_t Each(const SoftPixelStep& s) {
        const SoftPixelStep* t = &s;
        if (s.Flags & k_SoftStepPlain) {
            for (int j = 0; j < s.Run; ++j, ++t) Store<Masked>(*t, Compute<Kind, true>(*t));
        } else {
            for (int j = 0; j < s.Run; ++j, ++t) Store<Masked>(*t, Compute<Kind, false>(*t));
        }
        return s.Run;
    }

    const float* FloatConstant(int index) const {
        if (index < 0 || index >= static_cast<int>(k_SoftMaxFloatConstants)) return k_Zero;
        if (mr_Program.HasLocalFloat(static_cast<UINT>(index))) return mr_Program.LocalFloat(static_cast<UINT>(index));
        return mr_Constants.Float ? mr_Constants.Float[index] : k_Zero;
    }
    const int* IntConstant(const SoftPixelStep& s) const {
        if (s.Flags & k_SoftStepLocal) return mr_Program.LocalInt(s.Src[0]);
        return mr_Constants.Int ? mr_Constants.Int[s.Src[0]] : k_NoInt;
    }
    SoftLaneMask Negatable(const SoftPixelStep& s, SoftLaneMask holds) const {
        return (s.Flags & k_SoftStepNot) ? ~holds : holds;
    }

    SoftLaneMask LoopAlive() const { return mr_LoopFrame >= 0 ? mr_Frames[mr_LoopFrame].Alive : AllLanes(); }
    // No lane runs the rest of the innermost block's current part: where to go.
    size_t SkipPart() const { return mr_Frames[mr_Depth - 1].Skip; }
    // Lanes `leaving` stop running the innermost loop. Returns where to go on.
    size_t Leave(SoftLaneMask leaving, size_t next) {
        SoftPixelFlowFrame& lr_Loop = mr_Frames[mr_LoopFrame];
        lr_Loop.Alive &= ~leaving;
        mr_Mask &= ~leaving;
        if (Any(mr_Mask)) return next;
        if (!Any(lr_Loop.Alive)) {
            mr_Depth = mr_LoopFrame + 1;
            return lr_Loop.Skip;
        }
        return SkipPart();
    }

    void Sample(const SoftPixelTexture& t);

    SoftLanes* mr_R;
    SoftPixelFlowFrame* mr_Frames;
    const SoftPixelProgram& mr_Program;
    const SoftPixelConstants& mr_Constants;
    ISoftTextureSampler& mr_Sampler;
    SoftLaneMask mr_Mask = AllLanes();  // lanes running the current step
    int mr_Depth = 0;                   // open blocks
    int mr_LoopFrame = -1;              // innermost loop
    int mr_Counter = 0;                 // aL
};

template <SoftPixelStepKind Kind, bool Plain>
inline SoftLanes QuadRun::Compute(const SoftPixelStep& u) const {
    using K = SoftPixelStepKind;
    auto in = [&](int i) { return In<Plain>(u, i); };
    if constexpr (Kind == K::Mov) return in(0);
    if constexpr (Kind == K::Add) return in(0) + in(1);
    if constexpr (Kind == K::Mul) return in(0) * in(1);
    if constexpr (Kind == K::Mad) {
        // The product rounded before the sum (the build contracts none): a
        // mad the optimiser made of a mul and an add draws what the two drew.
        const SoftLanes lr_Product = in(0) * in(1);
        return lr_Product + in(2);
    }
    if constexpr (Kind == K::Min) {
        const SoftLanes a = in(0), b = in(1);
        return Select(a < b, a, b);
    }
    if constexpr (Kind == K::Max) {
        const SoftLanes a = in(0), b = in(1);
        return Select(a >= b, a, b);
    }
    if constexpr (Kind == K::Cmp) return Select(in(0) >= Splat(0.0f), in(1), in(2));
    if constexpr (Kind == K::Lrp) {
        const SoftLanes c = in(2);
        return in(0) * (in(1) - c) + c;
    }
    if constexpr (Kind == K::Frc) {
        const SoftLanes a = in(0);
        return a - PerLane(a, [](float v) { return std::floor(v); });
    }
    if constexpr (Kind == K::Dsx) return DerivativeX(in(0));
    if constexpr (Kind == K::Dsy) return DerivativeY(in(0));
    if constexpr (Kind == K::SetP) return Bits(Compare(in(0), in(1), u.Control));
    if constexpr (Kind == K::MulSub) return in(0) * in(1) - in(2) * in(3);
    if constexpr (Kind == K::Dp2Add) return in(0) * in(1) + in(2) * in(3) + in(4);
    if constexpr (Kind == K::Dp3) return in(0) * in(1) + in(2) * in(3) + in(4) * in(5);
    if constexpr (Kind == K::Dp4) return in(0) * in(1) + in(2) * in(3) + in(4) * in(5) + in(6) * in(7);
    if constexpr (Kind == K::Rcp) return Reciprocal(in(0));
    if constexpr (Kind == K::Rsq) return ReciprocalRoot(in(0));
    if constexpr (Kind == K::Exp) return PerLane(in(0), [](float v) { return std::exp2(v); });
    // log works on |x|: log(0) = -infinity.
    if constexpr (Kind == K::Log) return PerLane(Absolute(in(0)), [](float v) { return std::log2(v); });
    // pow works on |x|; IEEE pow decides 0^0 and the like.
    if constexpr (Kind == K::Pow) {
        const SoftLanes a = Absolute(in(0)), b = in(1);
        return SoftLanes{std::pow(a[0], b[0]), std::pow(a[1], b[1]), std::pow(a[2], b[2]), std::pow(a[3], b[3])};
    }
    // Exact, where shader model 2's sincos only promises its series on [-pi, pi].
    if constexpr (Kind == K::Cos) return PerLane(in(0), [](float v) { return std::cos(v); });
    if constexpr (Kind == K::Sin) return PerLane(in(0), [](float v) { return std::sin(v); });
}

void QuadRun::Sample(const SoftPixelTexture& t) {
    SoftLanes lr_Coord[4], lr_Dx[4], lr_Dy[4];
    for (int k = 0; k < 4; ++k) lr_Coord[k] = Modified(mr_R[t.Coord[k]], t.CoordMod);
    SoftLodMode lr_Mode = SoftLodMode::Implicit;
    SoftLanes lr_Lod = Splat(0.0f);
    switch (t.Op) {
    case SoftPixelOp::TexLdp:
        for (int k = 0; k < 3; ++k) lr_Coord[k] = lr_Coord[k] / lr_Coord[3];
        break;
    case SoftPixelOp::TexLdb:
        lr_Mode = SoftLodMode::Bias;
        lr_Lod = lr_Coord[3];
        break;
    case SoftPixelOp::TexLdl:
        lr_Mode = SoftLodMode::Explicit;
        lr_Lod = lr_Coord[3];
        break;
    default: break;
    }
    if (t.Op == SoftPixelOp::TexLdd) {
        for (int k = 0; k < 4; ++k) {
            lr_Dx[k] = Modified(mr_R[t.Dx[k]], t.DxMod);
            lr_Dy[k] = Modified(mr_R[t.Dy[k]], t.DyMod);
        }
    } else if (t.Op == SoftPixelOp::TexLdl) {
        for (int k = 0; k < 4; ++k) lr_Dx[k] = lr_Dy[k] = Splat(0.0f);
    } else {
        for (int k = 0; k < 4; ++k) {
            lr_Dx[k] = DerivativeX(lr_Coord[k]);
            lr_Dy[k] = DerivativeY(lr_Coord[k]);
        }
    }
    // Texels gather per lane and go to the register file a component at a
    // time: lane-wise stores into a vector slot would stall its next read.
    float lr_Out[4][4] = {};
    for (int l = 0; l < 4; ++l) {
        if (!mr_Mask[l]) continue;
        const float lr_C[4] = {lr_Coord[0][l], lr_Coord[1][l], lr_Coord[2][l], lr_Coord[3][l]};
        const float lr_X[4] = {lr_Dx[0][l], lr_Dx[1][l], lr_Dx[2][l], lr_Dx[3][l]};
        const float lr_Y[4] = {lr_Dy[0][l], lr_Dy[1][l], lr_Dy[2][l], lr_Dy[3][l]};
        mr_Sampler.Sample(t.Stage, lr_C, lr_X, lr_Y, lr_Mode, lr_Lod[l], lr_Out[l]);
    }
    SoftLanes* lr_Texel = mr_R + k_TexelRef;
    for (int k = 0; k < 4; ++k) lr_Texel[k] = SoftLanes{lr_Out[0][k], lr_Out[1][k], lr_Out[2][k], lr_Out[3][k]};
}

template <bool Masked>
void QuadRun::Execute() {
    using K = SoftPixelStepKind;
    const std::vector<SoftPixelStep>& lr_Steps = mr_Program.Steps();
    const SoftPixelStep* lr_Code = lr_Steps.data();
    const size_t lr_Count = lr_Steps.size();
    SoftLanes* R = mr_R;
    size_t pc = 0;
    while (pc < lr_Count) {
        const SoftPixelStep& s = lr_Code[pc];
        switch (s.Kind) {
        case K::Mov: pc += Each<Masked, K::Mov>(s); continue;
        case K::Add: pc += Each<Masked, K::Add>(s); continue;
        case K::Mul: pc += Each<Masked, K::Mul>(s); continue;
        case K::Mad: pc += Each<Masked, K::Mad>(s); continue;
        case K::Min: pc += Each<Masked, K::Min>(s); continue;
        case K::Max: pc += Each<Masked, K::Max>(s); continue;
        case K::Cmp: pc += Each<Masked, K::Cmp>(s); continue;
        case K::Lrp: pc += Each<Masked, K::Lrp>(s); continue;
        case K::Frc: pc += Each<Masked, K::Frc>(s); continue;
        case K::Dsx: pc += Each<Masked, K::Dsx>(s); continue;
        case K::Dsy: pc += Each<Masked, K::Dsy>(s); continue;
        case K::SetP: pc += Each<Masked, K::SetP>(s); continue;
        case K::MulSub: pc += Each<Masked, K::MulSub>(s); continue;
        case K::Dp2Add: pc += Each<Masked, K::Dp2Add>(s); continue;
        case K::Dp3: pc += Each<Masked, K::Dp3>(s); continue;
        case K::Dp4: pc += Each<Masked, K::Dp4>(s); continue;
        case K::Rcp: pc += Each<Masked, K::Rcp>(s); continue;
        case K::Rsq: pc += Each<Masked, K::Rsq>(s); continue;
        case K::Exp: pc += Each<Masked, K::Exp>(s); continue;
        case K::Log: pc += Each<Masked, K::Log>(s); continue;
        case K::Pow: pc += Each<Masked, K::Pow>(s); continue;
        case K::Cos: pc += Each<Masked, K::Cos>(s); continue;
        case K::Sin: pc += Each<Masked, K::Sin>(s); continue;
        case K::Texture: Sample(mr_Program.Textures()[s.Aux]); break;
        case K::TexKill: {
            SoftLaneMask lr_Below{};
            for (int i = 0; i < s.Count; ++i) lr_Below |= In(s, i) < Splat(0.0f);
            SoftLaneMask lr_Lanes = mr_Mask;
            if (s.Flags & k_SoftStepPredicated) lr_Lanes &= Negatable(s, Mask(R[s.Pred]));
            mr_Killed |= lr_Below & lr_Lanes;
            break;
        }
        case K::LoadInput: {
            const int lr_Slot = s.Aux + mr_Counter;
            const bool lr_Inside = lr_Slot >= k_SoftSlotInput && lr_Slot < k_SoftSlotTexture;
            for (int k = 0; k < 4; ++k) R[s.Dst * 4 + k] = lr_Inside ? R[lr_Slot * 4 + k] : Splat(0.0f);
            break;
        }
        case K::LoadConstant: {
            const float* lr_Value = FloatConstant(s.Aux + mr_Counter);
            for (int k = 0; k < 4; ++k) R[s.Dst * 4 + k] = Splat(lr_Value[k]);
            break;
        }
        case K::IfBool:
        case K::IfPred:
        case K::IfC: {
            SoftLaneMask lr_Cond;
            if (s.Kind == K::IfBool) {
                const BOOL lr_Value = (s.Flags & k_SoftStepLocal)
                                          ? mr_Program.LocalBool(s.Src[0])
                                          : (mr_Constants.Bool ? mr_Constants.Bool[s.Src[0]] : FALSE);
                lr_Cond = Negatable(s, lr_Value ? AllLanes() : SoftLaneMask{});
            } else if (s.Kind == K::IfPred) {
                lr_Cond = Negatable(s, Mask(R[s.Src[0]]));
            } else {
                lr_Cond = Compare(In(s, 0), In(s, 1), s.Control);
            }
            SoftPixelFlowFrame& f = mr_Frames[mr_Depth++];
            f.IsLoop = false;
            f.Entry = mr_Mask;
            f.Cond = lr_Cond;
            f.Skip = s.Aux;
            mr_Mask &= lr_Cond;
            if (!Any(mr_Mask)) {
                pc = s.Aux;
                continue;
            }
            break;
        }
        case K::Else: {
            // Lanes that left a loop in the first part are in Cond.
            SoftPixelFlowFrame& f = mr_Frames[mr_Depth - 1];
            mr_Mask = f.Entry & ~f.Cond;
            f.Skip = s.Aux;
            if (!Any(mr_Mask)) {
                pc = s.Aux;
                continue;
            }
            break;
        }
        case K::EndIf:
            mr_Mask = mr_Frames[--mr_Depth].Entry & LoopAlive();
            if (!Any(mr_Mask) && mr_Depth > 0) {
                pc = SkipPart();
                continue;
            }
            break;
        case K::Rep:
        case K::Loop: {
            const int* lr_Value = IntConstant(s);
            const int lr_Iterations = Clamped(lr_Value[0], 0, 255);
            if (lr_Iterations == 0) {
                pc = s.Aux;
                continue;
            }
            SoftPixelFlowFrame& f = mr_Frames[mr_Depth];
            f.IsLoop = true;
            f.Entry = f.Alive = mr_Mask;
            f.Remaining = lr_Iterations;
            f.Start = static_cast<uint32_t>(pc + 1);
            f.Skip = static_cast<uint32_t>(s.Aux - 1);
            f.OuterLoop = mr_LoopFrame;
            if (s.Kind == K::Loop) {
                f.Counter = Clamped(lr_Value[1], 0, 255);
                f.Step = Clamped(lr_Value[2], -128, 127);
            } else {
                f.Counter = mr_Counter;  // rep leaves aL to the enclosing loop
                f.Step = 0;
            }
            mr_Counter = f.Counter;
            mr_LoopFrame = mr_Depth++;
            break;
        }
        case K::EndRep:
        case K::EndLoop: {
            SoftPixelFlowFrame& f = mr_Frames[mr_Depth - 1];
            if (--f.Remaining > 0 && Any(f.Alive)) {
                mr_Mask = f.Alive;
                f.Counter += f.Step;
                mr_Counter = f.Counter;
                pc = f.Start;
                continue;
            }
            mr_Mask = f.Entry;
            mr_LoopFrame = f.OuterLoop;
            --mr_Depth;
            mr_Counter = mr_LoopFrame >= 0 ? mr_Frames[mr_LoopFrame].Counter : 0;
            break;
        }
        case K::Break: pc = Leave(mr_Mask, pc + 1); continue;
        case K::BreakC: pc = Leave(mr_Mask & Compare(In(s, 0), In(s, 1), s.Control), pc + 1); continue;
        case K::BreakP: pc = Leave(mr_Mask & Negatable(s, Mask(R[s.Src[0]])), pc + 1); continue;
        }
        ++pc;
    }
}

}  // namespace

SoftPixelShaderVM::SoftPixelShaderVM() : mr_Lanes{}, mr_Frames{} {}

void SoftPixelShaderVM::RunQuad(const SoftPixelProgram& program, const SoftPixelConstants& constants,
                                const SoftPixelInputs inputs[4], const bool live[4], ISoftTextureSampler& sampler,
                                SoftPixelOutputs outputs[4]) {
    (void)live;  // helper lanes run like the others; the caller drops their results
    if (!program.Runnable()) {
        for (int l = 0; l < 4; ++l) {
            std::memset(outputs[l].Color, 0, sizeof(outputs[l].Color));
            outputs[l].Depth = inputs[l].Position[2];
            outputs[l].DepthWritten = false;
            outputs[l].Killed = false;
        }
        return;
    }

    SoftLanes* R = mr_Lanes;
    const SoftLanes lr_Zero = Splat(0.0f);
    for (UINT i = 0; i < program.TempCount() * 4; ++i) R[k_SoftSlotTemp * 4 + i] = lr_Zero;
    const BYTE lr_Written = program.ColorOutputMask();
    for (int n = 0; n < 4; ++n)
        if (lr_Written & (1u << n))
            for (int k = 0; k < 4; ++k) R[(k_SoftSlotColorOut + n) * 4 + k] = lr_Zero;
    if (program.UsesPredicate())
        for (int k = 0; k < 4; ++k) R[k_SoftSlotPredicate * 4 + k] = lr_Zero;
    for (const SoftPixelProgram::InputCopy& lr_Copy : program.InputCopies()) {
        SoftLanes& lr_Target = R[lr_Copy.Slot * 4 + lr_Copy.Component];
        if (lr_Copy.Source == SoftPixelProgram::k_ZeroSource) {
            lr_Target = lr_Zero;
        } else if (lr_Copy.Source < 2) {
            const uint8_t c = lr_Copy.Source, k = lr_Copy.SourceComponent;
            lr_Target =
                SoftLanes{inputs[0].Color[c][k], inputs[1].Color[c][k], inputs[2].Color[c][k], inputs[3].Color[c][k]};
        } else {
            const uint8_t c = lr_Copy.Source - 2, k = lr_Copy.SourceComponent;
            lr_Target = SoftLanes{inputs[0].TexCoord[c][k], inputs[1].TexCoord[c][k], inputs[2].TexCoord[c][k],
                                  inputs[3].TexCoord[c][k]};
        }
    }
    if (program.ReadsPosition())
        for (int k = 0; k < 4; ++k)
            R[k_SoftSlotPosition * 4 + k] =
                SoftLanes{inputs[0].Position[k], inputs[1].Position[k], inputs[2].Position[k], inputs[3].Position[k]};
    if (program.ReadsFace()) {
        const SoftLanes lr_Face{inputs[0].FrontFace ? 1.0f : -1.0f, inputs[1].FrontFace ? 1.0f : -1.0f,
                                inputs[2].FrontFace ? 1.0f : -1.0f, inputs[3].FrontFace ? 1.0f : -1.0f};
        for (int k = 0; k < 4; ++k) R[k_SoftSlotFace * 4 + k] = lr_Face;
    }
    // A path that does not write oDepth keeps the interpolated depth.
    R[k_SoftSlotDepthOut * 4] =
        SoftLanes{inputs[0].Position[2], inputs[1].Position[2], inputs[2].Position[2], inputs[3].Position[2]};
    for (const SoftPixelProgram::ConstantCopy& lr_Copy : program.ConstantCopies()) {
        const float* lr_Value = lr_Copy.Local ? program.LocalFloat(lr_Copy.Register)
                                              : (constants.Float ? constants.Float[lr_Copy.Register] : k_Zero);
        for (int k = 0; k < 4; ++k) R[lr_Copy.Slot * 4 + k] = Splat(lr_Value[k]);
    }

    QuadRun lr_Run(R, mr_Frames, program, constants, sampler);
    if (program.HasFlowControl()) {
        lr_Run.Execute<true>();
    } else {
        lr_Run.Execute<false>();
    }

    // Lane l of oCn's four components; targets never written read 0.
    for (int n = 0; n < 4; ++n) {
        const SoftLanes* c = R + (k_SoftSlotColorOut + n) * 4;
        for (int l = 0; l < 4; ++l) {
            const SoftLanes lr_Colour =
                (lr_Written & (1u << n)) ? SoftLanes{c[0][l], c[1][l], c[2][l], c[3][l]} : lr_Zero;
            std::memcpy(outputs[l].Color[n], &lr_Colour, sizeof(lr_Colour));
        }
    }
    for (int l = 0; l < 4; ++l) {
        outputs[l].Depth = R[k_SoftSlotDepthOut * 4][l];
        outputs[l].DepthWritten = program.WritesDepth();
        outputs[l].Killed = lr_Run.mr_Killed[l] != 0;
    }
}
