// Decoded instructions to the interpreter's steps: one step per result
// component, operands as lane references with their swizzle applied, the
// float constants given slots of their own.
#include "shader/SoftPixelProgram.h"

#include <cstring>

namespace {

uint16_t Ref(uint16_t slot, uint8_t component) { return static_cast<uint16_t>(slot * 4 + component); }

// Not applies to flow conditions and predicates, which carry it in Flags.
SoftPixelModifier StepModifier(SoftPixelModifier modifier) {
    return modifier == SoftPixelModifier::Not ? SoftPixelModifier::None : modifier;
}

SoftPixelModifier Negated(SoftPixelModifier modifier) {
    switch (modifier) {
    case SoftPixelModifier::None: return SoftPixelModifier::Negate;
    case SoftPixelModifier::Negate: return SoftPixelModifier::None;
    case SoftPixelModifier::Abs: return SoftPixelModifier::AbsNegate;
    default: return SoftPixelModifier::Abs;
    }
}

// The modifier of outer(inner(x)).
SoftPixelModifier Composed(SoftPixelModifier outer, SoftPixelModifier inner) {
    switch (outer) {
    case SoftPixelModifier::None: return inner;
    case SoftPixelModifier::Negate: return Negated(inner);
    default: return outer;  // |x| and -|x| forget the sign inside
    }
}

bool IsFlow(SoftPixelStepKind kind) { return kind >= SoftPixelStepKind::IfBool; }

// Whether Src[0..Count) are lane references (rather than constant numbers or masks).
bool ReadsLanes(SoftPixelStepKind kind) {
    switch (kind) {
    case SoftPixelStepKind::IfBool:
    case SoftPixelStepKind::IfPred:
    case SoftPixelStepKind::Rep:
    case SoftPixelStepKind::Loop:
    case SoftPixelStepKind::BreakP:
    case SoftPixelStepKind::LoadInput:
    case SoftPixelStepKind::LoadConstant: return false;
    default: return true;
    }
}

// Lane references a step writes, as [first, first + count).
void Written(const SoftPixelStep& step, uint16_t& first, int& count) {
    switch (step.Kind) {
    case SoftPixelStepKind::Texture:
        first = Ref(k_SoftSlotTexel, 0);
        count = 4;
        return;
    case SoftPixelStepKind::LoadInput:
    case SoftPixelStepKind::LoadConstant:
        first = Ref(step.Dst, 0);
        count = 4;
        return;
    case SoftPixelStepKind::TexKill: count = 0; return;
    default:
        if (IsFlow(step.Kind)) {
            count = 0;
            return;
        }
        first = step.Dst;
        count = 1;
        return;
    }
}

}  // namespace

class SoftPixelLowering {
public:
    explicit SoftPixelLowering(SoftPixelProgram& program) : mr_Program(program) {
        std::memset(mr_ConstantSlot, 0, sizeof(mr_ConstantSlot));
    }

    void Run();

private:
    // A float operand: its slot, after fetching it by aL when addressed so.
    struct Operand {
        uint16_t Slot;
        const uint8_t* Swizzle;
        SoftPixelModifier Mod;
        uint16_t At(int k) const { return Ref(Slot, Swizzle[k]); }
    };
    Operand Resolve(const SoftPixelOperand& operand, int position);

    SoftPixelStep Base(const SoftPixelInstruction& in, SoftPixelStepKind kind, int component) const;
    // Emits the steps of one instruction so that each reads the values from
    // before the instruction.
    void EmitGroup(std::vector<SoftPixelStep>& group);
    void Componentwise(const SoftPixelInstruction& in, SoftPixelStepKind kind, int sources);
    void Scalar(const SoftPixelInstruction& in, SoftPixelStep step);
    void Lower(const SoftPixelInstruction& in);
    void PropagateCopies();
    void RemoveDeadSteps();
    void MarkRuns();
    void FoldMoves();

    SoftPixelProgram& mr_Program;
    uint16_t mr_ConstantSlot[k_SoftMaxFloatConstants];  // 0: none yet
    std::vector<SoftPixelStep> mr_Group;
};

SoftPixelLowering::Operand SoftPixelLowering::Resolve(const SoftPixelOperand& operand, int position) {
    Operand lr_Result{operand.Index, operand.Swizzle, StepModifier(operand.Modifier)};
    if (operand.Relative) {
        SoftPixelStep lr_Load;
        lr_Load.Kind =
            operand.File == SoftPixelFile::Float ? SoftPixelStepKind::LoadConstant : SoftPixelStepKind::LoadInput;
        lr_Load.Dst = static_cast<uint16_t>(k_SoftSlotAddressed + position);
        lr_Load.Aux = operand.Index;
        mr_Program.mr_Steps.push_back(lr_Load);
        lr_Result.Slot = lr_Load.Dst;
    } else if (operand.File == SoftPixelFile::Float) {
        uint16_t& lr_Slot = mr_ConstantSlot[operand.Index];
        if (lr_Slot == 0) {
            lr_Slot = static_cast<uint16_t>(k_SoftSlotConstant + mr_Program.mr_ConstantCopies.size());
            mr_Program.mr_ConstantCopies.push_back(
                SoftPixelProgram::ConstantCopy{lr_Slot, operand.Index, operand.Local});
        }
        lr_Result.Slot = lr_Slot;
    }
    return lr_Result;
}

SoftPixelStep SoftPixelLowering::Base(const SoftPixelInstruction& in, SoftPixelStepKind kind, int component) const {
    SoftPixelStep lr_Step;
    lr_Step.Kind = kind;
    lr_Step.Control = in.Control;
    lr_Step.Dst = Ref(in.Dest, static_cast<uint8_t>(component));
    if (in.Saturate) lr_Step.Flags |= k_SoftStepSaturate;
    if (in.Predicated) {
        lr_Step.Flags |= k_SoftStepPredicated;
        if (in.Predicate.Modifier == SoftPixelModifier::Not) lr_Step.Flags |= k_SoftStepNot;
        lr_Step.Pred = Ref(k_SoftSlotPredicate, in.Predicate.Swizzle[component]);
    }
    return lr_Step;
}

void SoftPixelLowering::EmitGroup(std::vector<SoftPixelStep>& group) {
    // The steps of one instruction read their sources before any result is
    // written: order them so that no step writes what a later one reads
    // (mov r0, r0.x writes x last). Failing that (a swap), results go
    // through the result slot.
    auto lr_Reads = [](const SoftPixelStep& step, uint16_t ref) {
        for (int s = 0; s < step.Count; ++s)
            if (step.Src[s] == ref) return true;
        return (step.Flags & k_SoftStepPredicated) && step.Pred == ref;
    };
    std::vector<SoftPixelStep> lr_Ordered;
    std::vector<bool> lr_Placed(group.size(), false);
    while (lr_Ordered.size() < group.size()) {
        bool lr_Progress = false;
        for (size_t i = 0; i < group.size(); ++i) {
            if (lr_Placed[i]) continue;
            // Free to go when no step still to come reads its result.
            bool lr_Free = true;
            for (size_t j = 0; j < group.size() && lr_Free; ++j)
                if (j != i && !lr_Placed[j] && lr_Reads(group[j], group[i].Dst)) lr_Free = false;
            if (!lr_Free) continue;
            lr_Ordered.push_back(group[i]);
            lr_Placed[i] = true;
            lr_Progress = true;
        }
        if (!lr_Progress) break;
    }
    if (lr_Ordered.size() == group.size()) {
        mr_Program.mr_Steps.insert(mr_Program.mr_Steps.end(), lr_Ordered.begin(), lr_Ordered.end());
        return;
    }
    // Compute everything first, then move the results (under the predicate) into place.
    std::vector<SoftPixelStep> lr_Moves;
    for (SoftPixelStep& lr_Step : group) {
        SoftPixelStep lr_Move;
        lr_Move.Kind = SoftPixelStepKind::Mov;
        lr_Move.Dst = lr_Step.Dst;
        lr_Move.Src[0] = Ref(k_SoftSlotResult, static_cast<uint8_t>(lr_Step.Dst & 3));
        lr_Move.Count = 1;
        lr_Move.Flags = lr_Step.Flags & (k_SoftStepPredicated | k_SoftStepNot);
        lr_Move.Pred = lr_Step.Pred;
        lr_Step.Dst = lr_Move.Src[0];
        lr_Step.Flags &= static_cast<uint8_t>(~(k_SoftStepPredicated | k_SoftStepNot));
        mr_Program.mr_Steps.push_back(lr_Step);
        lr_Moves.push_back(lr_Move);
    }
    mr_Program.mr_Steps.insert(mr_Program.mr_Steps.end(), lr_Moves.begin(), lr_Moves.end());
}

void SoftPixelLowering::Componentwise(const SoftPixelInstruction& in, SoftPixelStepKind kind, int sources) {
    Operand lr_Source[3];
    for (int s = 0; s < sources; ++s) lr_Source[s] = Resolve(in.Source[s], s);
    mr_Group.clear();
    for (int k = 0; k < 4; ++k) {
        if (!(in.WriteMask & (1u << k))) continue;
        SoftPixelStep lr_Step = Base(in, kind, k);
        lr_Step.Count = static_cast<uint8_t>(sources);
        for (int s = 0; s < sources; ++s) {
            lr_Step.Src[s] = lr_Source[s].At(k);
            lr_Step.Mod[s] = lr_Source[s].Mod;
        }
        if (in.Op == SoftPixelOp::Sub) lr_Step.Mod[1] = Negated(lr_Step.Mod[1]);
        if (in.Op == SoftPixelOp::Abs) lr_Step.Mod[0] = SoftPixelModifier::Abs;
        mr_Group.push_back(lr_Step);
    }
    EmitGroup(mr_Group);
}

// `step` holds the kind and sources; the one result goes to every masked
// component.
void SoftPixelLowering::Scalar(const SoftPixelInstruction& in, SoftPixelStep step) {
    int lr_First = 0;
    while (!(in.WriteMask & (1u << lr_First))) ++lr_First;
    const SoftPixelStep lr_Shape = Base(in, step.Kind, lr_First);
    step.Control = lr_Shape.Control;
    step.Flags = lr_Shape.Flags & k_SoftStepSaturate;
    if (in.Predicated) {
        step.Dst = Ref(k_SoftSlotResult, 0);
        mr_Program.mr_Steps.push_back(step);
        for (int k = 0; k < 4; ++k) {
            if (!(in.WriteMask & (1u << k))) continue;
            SoftPixelStep lr_Move = Base(in, SoftPixelStepKind::Mov, k);
            lr_Move.Flags &= static_cast<uint8_t>(~k_SoftStepSaturate);
            lr_Move.Src[0] = step.Dst;
            lr_Move.Count = 1;
            mr_Program.mr_Steps.push_back(lr_Move);
        }
        return;
    }
    step.Dst = lr_Shape.Dst;
    mr_Program.mr_Steps.push_back(step);
    for (int k = lr_First + 1; k < 4; ++k) {
        if (!(in.WriteMask & (1u << k))) continue;
        SoftPixelStep lr_Move = Base(in, SoftPixelStepKind::Mov, k);
        lr_Move.Flags = 0;
        lr_Move.Src[0] = step.Dst;
        lr_Move.Count = 1;
        mr_Program.mr_Steps.push_back(lr_Move);
    }
}

void SoftPixelLowering::Lower(const SoftPixelInstruction& in) {
    using K = SoftPixelStepKind;
    SoftPixelStep lr_Step;
    switch (in.Op) {
    case SoftPixelOp::Nop: return;
    case SoftPixelOp::Mov:
    case SoftPixelOp::Abs: return Componentwise(in, K::Mov, 1);
    case SoftPixelOp::Add:
    case SoftPixelOp::Sub: return Componentwise(in, K::Add, 2);
    case SoftPixelOp::Mul: return Componentwise(in, K::Mul, 2);
    case SoftPixelOp::Mad: return Componentwise(in, K::Mad, 3);
    case SoftPixelOp::Min: return Componentwise(in, K::Min, 2);
    case SoftPixelOp::Max: return Componentwise(in, K::Max, 2);
    case SoftPixelOp::Cmp: return Componentwise(in, K::Cmp, 3);
    case SoftPixelOp::Lrp: return Componentwise(in, K::Lrp, 3);
    case SoftPixelOp::Frc: return Componentwise(in, K::Frc, 1);
    case SoftPixelOp::Dsx: return Componentwise(in, K::Dsx, 1);
    case SoftPixelOp::Dsy: return Componentwise(in, K::Dsy, 1);
    case SoftPixelOp::SetP: return Componentwise(in, K::SetP, 2);

    case SoftPixelOp::Rcp:
    case SoftPixelOp::Rsq:
    case SoftPixelOp::Exp:
    case SoftPixelOp::Log: {
        const Operand a = Resolve(in.Source[0], 0);
        lr_Step.Kind = in.Op == SoftPixelOp::Rcp   ? K::Rcp
                       : in.Op == SoftPixelOp::Rsq ? K::Rsq
                       : in.Op == SoftPixelOp::Exp ? K::Exp
                                                   : K::Log;
        lr_Step.Src[0] = a.At(0);
        lr_Step.Mod[0] = a.Mod;
        lr_Step.Count = 1;
        return Scalar(in, lr_Step);
    }
    case SoftPixelOp::Pow: {
        const Operand a = Resolve(in.Source[0], 0), b = Resolve(in.Source[1], 1);
        lr_Step.Kind = K::Pow;
        lr_Step.Src[0] = a.At(0);
        lr_Step.Src[1] = b.At(0);
        lr_Step.Mod[0] = a.Mod;
        lr_Step.Mod[1] = b.Mod;
        lr_Step.Count = 2;
        return Scalar(in, lr_Step);
    }
    case SoftPixelOp::Dp2Add:
    case SoftPixelOp::Dp3:
    case SoftPixelOp::Dp4: {
        const Operand a = Resolve(in.Source[0], 0), b = Resolve(in.Source[1], 1);
        const int lr_Terms = in.Op == SoftPixelOp::Dp2Add ? 2 : in.Op == SoftPixelOp::Dp3 ? 3 : 4;
        lr_Step.Kind = in.Op == SoftPixelOp::Dp2Add ? K::Dp2Add : in.Op == SoftPixelOp::Dp3 ? K::Dp3 : K::Dp4;
        for (int t = 0; t < lr_Terms; ++t) {
            lr_Step.Src[2 * t] = a.At(t);
            lr_Step.Src[2 * t + 1] = b.At(t);
            lr_Step.Mod[2 * t] = a.Mod;
            lr_Step.Mod[2 * t + 1] = b.Mod;
        }
        lr_Step.Count = static_cast<uint8_t>(2 * lr_Terms);
        if (in.Op == SoftPixelOp::Dp2Add) {
            const Operand c = Resolve(in.Source[2], 2);
            lr_Step.Src[4] = c.At(0);
            lr_Step.Mod[4] = c.Mod;
            lr_Step.Count = 5;
        }
        return Scalar(in, lr_Step);
    }
    case SoftPixelOp::M4x4:
    case SoftPixelOp::M4x3:
    case SoftPixelOp::M3x4:
    case SoftPixelOp::M3x3:
    case SoftPixelOp::M3x2: {
        const bool lr_Four = in.Op == SoftPixelOp::M4x4 || in.Op == SoftPixelOp::M4x3;
        const Operand a = Resolve(in.Source[0], 0);
        mr_Group.clear();
        for (int k = 0; k < 4; ++k) {
            if (!(in.WriteMask & (1u << k))) continue;
            const Operand lr_Row = Resolve(in.Source[1 + k], 1);
            SoftPixelStep lr_Dot = Base(in, lr_Four ? K::Dp4 : K::Dp3, k);
            for (int t = 0; t < (lr_Four ? 4 : 3); ++t) {
                lr_Dot.Src[2 * t] = a.At(t);
                lr_Dot.Src[2 * t + 1] = lr_Row.At(t);
                lr_Dot.Mod[2 * t] = a.Mod;
                lr_Dot.Mod[2 * t + 1] = lr_Row.Mod;
            }
            lr_Dot.Count = lr_Four ? 8 : 6;
            mr_Group.push_back(lr_Dot);
        }
        return EmitGroup(mr_Group);
    }
    case SoftPixelOp::Crs: {
        const Operand a = Resolve(in.Source[0], 0), b = Resolve(in.Source[1], 1);
        static const int k_Terms[3][4] = {{1, 2, 2, 1}, {2, 0, 0, 2}, {0, 1, 1, 0}};
        mr_Group.clear();
        for (int k = 0; k < 3; ++k) {
            if (!(in.WriteMask & (1u << k))) continue;
            SoftPixelStep lr_Term = Base(in, K::MulSub, k);
            lr_Term.Src[0] = a.At(k_Terms[k][0]);
            lr_Term.Src[1] = b.At(k_Terms[k][1]);
            lr_Term.Src[2] = a.At(k_Terms[k][2]);
            lr_Term.Src[3] = b.At(k_Terms[k][3]);
            lr_Term.Mod[0] = lr_Term.Mod[2] = a.Mod;
            lr_Term.Mod[1] = lr_Term.Mod[3] = b.Mod;
            lr_Term.Count = 4;
            mr_Group.push_back(lr_Term);
        }
        return EmitGroup(mr_Group);
    }
    case SoftPixelOp::Nrm: {
        // work.x = rsq(dot3(a, a)), then a * work.x per component.
        const Operand a = Resolve(in.Source[0], 0);
        SoftPixelStep lr_Dot;
        lr_Dot.Kind = K::Dp3;
        lr_Dot.Dst = Ref(k_SoftSlotWork, 0);
        for (int t = 0; t < 3; ++t) {
            lr_Dot.Src[2 * t] = lr_Dot.Src[2 * t + 1] = a.At(t);
            lr_Dot.Mod[2 * t] = lr_Dot.Mod[2 * t + 1] = a.Mod;
        }
        lr_Dot.Count = 6;
        mr_Program.mr_Steps.push_back(lr_Dot);
        SoftPixelStep lr_Root;
        lr_Root.Kind = K::Rsq;
        lr_Root.Dst = lr_Root.Src[0] = lr_Dot.Dst;
        lr_Root.Count = 1;
        mr_Program.mr_Steps.push_back(lr_Root);
        mr_Group.clear();
        for (int k = 0; k < 4; ++k) {
            if (!(in.WriteMask & (1u << k))) continue;
            SoftPixelStep lr_Scale = Base(in, K::Mul, k);
            lr_Scale.Src[0] = a.At(k);
            lr_Scale.Mod[0] = a.Mod;
            lr_Scale.Src[1] = lr_Dot.Dst;
            lr_Scale.Count = 2;
            mr_Group.push_back(lr_Scale);
        }
        return EmitGroup(mr_Group);
    }
    case SoftPixelOp::SinCos: {
        const Operand a = Resolve(in.Source[0], 0);
        mr_Group.clear();
        for (int k = 0; k < 2; ++k) {
            if (!(in.WriteMask & (1u << k))) continue;
            SoftPixelStep lr_Wave = Base(in, k == 0 ? K::Cos : K::Sin, k);
            lr_Wave.Src[0] = a.At(0);
            lr_Wave.Mod[0] = a.Mod;
            lr_Wave.Count = 1;
            mr_Group.push_back(lr_Wave);
        }
        return EmitGroup(mr_Group);
    }
    case SoftPixelOp::TexLd:
    case SoftPixelOp::TexLdp:
    case SoftPixelOp::TexLdb:
    case SoftPixelOp::TexLdd:
    case SoftPixelOp::TexLdl: {
        SoftPixelTexture lr_Read{};
        lr_Read.Op = in.Op;
        lr_Read.Stage = static_cast<uint8_t>(in.Source[1].Index);
        const Operand c = Resolve(in.Source[0], 0);
        lr_Read.CoordMod = c.Mod;
        for (int k = 0; k < 4; ++k) lr_Read.Coord[k] = c.At(k);
        if (in.Op == SoftPixelOp::TexLdd) {
            const Operand x = Resolve(in.Source[2], 2), y = Resolve(in.Source[3], 3);
            lr_Read.DxMod = x.Mod;
            lr_Read.DyMod = y.Mod;
            for (int k = 0; k < 4; ++k) {
                lr_Read.Dx[k] = x.At(k);
                lr_Read.Dy[k] = y.At(k);
            }
        }
        lr_Step.Kind = K::Texture;
        lr_Step.Aux = static_cast<uint16_t>(mr_Program.mr_Textures.size());
        mr_Program.mr_Textures.push_back(lr_Read);
        mr_Program.mr_Steps.push_back(lr_Step);
        // The sampler's swizzle picks from the texel.
        for (int k = 0; k < 4; ++k) {
            if (!(in.WriteMask & (1u << k))) continue;
            SoftPixelStep lr_Move = Base(in, K::Mov, k);
            lr_Move.Src[0] = Ref(k_SoftSlotTexel, in.Source[1].Swizzle[k]);
            lr_Move.Count = 1;
            mr_Program.mr_Steps.push_back(lr_Move);
        }
        return;
    }
    case SoftPixelOp::TexKill: {
        lr_Step = Base(in, K::TexKill, 0);
        lr_Step.Dst = 0;
        for (int k = 0; k < 4; ++k)
            if (in.WriteMask & (1u << k))
                lr_Step.Src[lr_Step.Count++] = Ref(in.Source[0].Index, static_cast<uint8_t>(k));
        mr_Program.mr_Steps.push_back(lr_Step);
        return;
    }
    case SoftPixelOp::If:
        if (in.Source[0].File == SoftPixelFile::Bool) {
            lr_Step.Kind = K::IfBool;
            lr_Step.Src[0] = in.Source[0].Index;
            if (in.Source[0].Local) lr_Step.Flags |= k_SoftStepLocal;
        } else {
            lr_Step.Kind = K::IfPred;
            lr_Step.Src[0] = Ref(k_SoftSlotPredicate, in.Source[0].Swizzle[0]);
        }
        if (in.Source[0].Modifier == SoftPixelModifier::Not) lr_Step.Flags |= k_SoftStepNot;
        lr_Step.Aux = in.Jump;
        break;
    case SoftPixelOp::IfC:
    case SoftPixelOp::BreakC: {
        const Operand a = Resolve(in.Source[0], 0), b = Resolve(in.Source[1], 1);
        lr_Step.Kind = in.Op == SoftPixelOp::IfC ? K::IfC : K::BreakC;
        lr_Step.Control = in.Control;
        lr_Step.Src[0] = a.At(0);
        lr_Step.Src[1] = b.At(0);
        lr_Step.Mod[0] = a.Mod;
        lr_Step.Mod[1] = b.Mod;
        lr_Step.Count = 2;
        lr_Step.Aux = in.Jump;
        break;
    }
    case SoftPixelOp::Else:
        lr_Step.Kind = K::Else;
        lr_Step.Aux = in.Jump;
        break;
    case SoftPixelOp::EndIf: lr_Step.Kind = K::EndIf; break;
    case SoftPixelOp::Rep:
    case SoftPixelOp::Loop:
        lr_Step.Kind = in.Op == SoftPixelOp::Rep ? K::Rep : K::Loop;
        lr_Step.Src[0] = in.Source[0].Index;
        if (in.Source[0].Local) lr_Step.Flags |= k_SoftStepLocal;
        lr_Step.Aux = in.Jump;
        break;
    case SoftPixelOp::EndRep:
        lr_Step.Kind = K::EndRep;
        lr_Step.Aux = in.Jump;
        break;
    case SoftPixelOp::EndLoop:
        lr_Step.Kind = K::EndLoop;
        lr_Step.Aux = in.Jump;
        break;
    case SoftPixelOp::Break: lr_Step.Kind = K::Break; break;
    case SoftPixelOp::BreakP:
        lr_Step.Kind = K::BreakP;
        lr_Step.Src[0] = Ref(k_SoftSlotPredicate, in.Source[0].Swizzle[0]);
        if (in.Source[0].Modifier == SoftPixelModifier::Not) lr_Step.Flags |= k_SoftStepNot;
        break;
    }
    mr_Program.mr_Steps.push_back(lr_Step);
}

void SoftPixelLowering::Run() {
    const std::vector<SoftPixelInstruction>& lr_Code = mr_Program.mr_Instructions;
    // Jumps name instructions; steps are found through the first step of each.
    std::vector<uint32_t> lr_First(lr_Code.size() + 1);
    std::vector<size_t> lr_Flow;  // steps whose Aux is an instruction number
    for (size_t i = 0; i < lr_Code.size(); ++i) {
        lr_First[i] = static_cast<uint32_t>(mr_Program.mr_Steps.size());
        Lower(lr_Code[i]);
        switch (lr_Code[i].Op) {
        case SoftPixelOp::If:
        case SoftPixelOp::IfC:
        case SoftPixelOp::Else:
        case SoftPixelOp::Rep:
        case SoftPixelOp::Loop:
        case SoftPixelOp::EndRep:
        case SoftPixelOp::EndLoop:
            lr_Flow.push_back(mr_Program.mr_Steps.size() - 1);
            mr_Program.mr_HasFlowControl = true;
            break;
        default: break;
        }
    }
    lr_First[lr_Code.size()] = static_cast<uint32_t>(mr_Program.mr_Steps.size());
    for (size_t lr_Index : lr_Flow) {
        SoftPixelStep& lr_Step = mr_Program.mr_Steps[lr_Index];
        lr_Step.Aux = static_cast<uint16_t>(lr_First[lr_Step.Aux]);
    }
    PropagateCopies();
    if (!mr_Program.mr_HasFlowControl) {
        FoldMoves();
        RemoveDeadSteps();
    }
    MarkRuns();
}

// Consecutive computing steps of one kind and flags run in one go. Jumps
// land on flow steps or just after them, never inside a run.
void SoftPixelLowering::MarkRuns() {
    std::vector<SoftPixelStep>& lr_Steps = mr_Program.mr_Steps;
    for (SoftPixelStep& lr_Step : lr_Steps) {
        if (lr_Step.Kind > SoftPixelStepKind::Sin) continue;
        bool lr_Plain = true;
        for (int i = 0; i < lr_Step.Count; ++i) lr_Plain = lr_Plain && lr_Step.Mod[i] == SoftPixelModifier::None;
        if (lr_Plain) lr_Step.Flags |= k_SoftStepPlain;
    }
    for (size_t n = lr_Steps.size(); n-- > 0;) {
        SoftPixelStep& lr_Step = lr_Steps[n];
        lr_Step.Run = 1;
        const bool lr_Joins = lr_Step.Kind <= SoftPixelStepKind::Sin;
        if (lr_Joins && n + 1 < lr_Steps.size() && lr_Steps[n + 1].Kind == lr_Step.Kind &&
            lr_Steps[n + 1].Flags == lr_Step.Flags && lr_Steps[n + 1].Run < 255)
            lr_Step.Run = static_cast<uint8_t>(lr_Steps[n + 1].Run + 1);
    }
}

// Compiled shaders move values around a lot: a step reading the target of
// an earlier plain move reads its source instead (within a stretch without
// flow control, where every step runs under the same lanes).
void SoftPixelLowering::PropagateCopies() {
    struct Copy {
        uint16_t Source;
        SoftPixelModifier Mod;
        bool Valid;
    };
    std::vector<Copy> lr_Copies(k_SoftSlotCount * 4, Copy{0, SoftPixelModifier::None, false});
    std::vector<uint16_t> lr_Active;  // references with a valid copy
    auto lr_Forget = [&](uint16_t first, int count) {
        for (size_t i = 0; i < lr_Active.size();) {
            const uint16_t lr_Ref = lr_Active[i];
            Copy& lr_Copy = lr_Copies[lr_Ref];
            const bool lr_Hit = (lr_Ref >= first && lr_Ref < first + count) ||
                                (lr_Copy.Source >= first && lr_Copy.Source < first + count);
            if (lr_Hit) {
                lr_Copy.Valid = false;
                lr_Active[i] = lr_Active.back();
                lr_Active.pop_back();
            } else {
                ++i;
            }
        }
    };
    auto lr_Resolve = [&](uint16_t& ref, SoftPixelModifier& mod) {
        const Copy& lr_Copy = lr_Copies[ref];
        if (!lr_Copy.Valid) return;
        ref = lr_Copy.Source;
        mod = Composed(mod, lr_Copy.Mod);
    };
    for (SoftPixelStep& lr_Step : mr_Program.mr_Steps) {
        if (IsFlow(lr_Step.Kind)) {
            if (ReadsLanes(lr_Step.Kind))
                for (int i = 0; i < lr_Step.Count; ++i) lr_Resolve(lr_Step.Src[i], lr_Step.Mod[i]);
            for (uint16_t lr_Ref : lr_Active) lr_Copies[lr_Ref].Valid = false;
            lr_Active.clear();
            continue;
        }
        if (ReadsLanes(lr_Step.Kind))
            for (int i = 0; i < lr_Step.Count; ++i) lr_Resolve(lr_Step.Src[i], lr_Step.Mod[i]);
        if (lr_Step.Kind == SoftPixelStepKind::Texture) {
            // One modifier covers the four components: follow plain copies only.
            SoftPixelTexture& lr_Read = mr_Program.mr_Textures[lr_Step.Aux];
            for (uint16_t* lr_Refs : {lr_Read.Coord, lr_Read.Dx, lr_Read.Dy})
                for (int k = 0; k < 4; ++k) {
                    const Copy& lr_Copy = lr_Copies[lr_Refs[k]];
                    if (lr_Copy.Valid && lr_Copy.Mod == SoftPixelModifier::None) lr_Refs[k] = lr_Copy.Source;
                }
        }
        uint16_t lr_First = 0;
        int lr_Count = 0;
        Written(lr_Step, lr_First, lr_Count);
        if (lr_Count) lr_Forget(lr_First, lr_Count);
        if (lr_Step.Kind == SoftPixelStepKind::Mov && lr_Step.Flags == 0 && lr_Step.Src[0] != lr_Step.Dst) {
            lr_Copies[lr_Step.Dst] = Copy{lr_Step.Src[0], lr_Step.Mod[0], true};
            lr_Active.push_back(lr_Step.Dst);
        }
    }
}

// Moves a register onto itself, as compiled abs, negation and saturation
// come out: a plain one does nothing; a saturating one saturates its
// writer instead; one with a modifier hands the modifier to every reader of
// the new value. Without flow control only, where steps run once in order.
void SoftPixelLowering::FoldMoves() {
    std::vector<SoftPixelStep>& lr_Steps = mr_Program.mr_Steps;
    std::vector<bool> lr_Gone(lr_Steps.size(), false);
    auto lr_Writes = [](const SoftPixelStep& step, uint16_t ref) {
        uint16_t lr_First = 0;
        int lr_Count = 0;
        Written(step, lr_First, lr_Count);
        return ref >= lr_First && ref < lr_First + lr_Count;
    };
    // Whether `step` reads `ref` anywhere, and whether every such read takes a modifier.
    auto lr_Reads = [&](const SoftPixelStep& step, uint16_t ref, bool& modifiable) {
        bool lr_Found = false;
        modifiable = true;
        if ((step.Flags & k_SoftStepPredicated) && step.Pred == ref) lr_Found = true, modifiable = false;
        if (step.Kind == SoftPixelStepKind::Texture) {
            const SoftPixelTexture& lr_Read = mr_Program.mr_Textures[step.Aux];
            const bool lr_Gradients = lr_Read.Op == SoftPixelOp::TexLdd;
            for (int k = 0; k < 4; ++k)
                if (lr_Read.Coord[k] == ref || (lr_Gradients && (lr_Read.Dx[k] == ref || lr_Read.Dy[k] == ref)))
                    lr_Found = true, modifiable = false;
        } else if (ReadsLanes(step.Kind)) {
            for (int i = 0; i < step.Count; ++i)
                if (step.Src[i] == ref) lr_Found = true;
        } else if (step.Kind == SoftPixelStepKind::IfPred || step.Kind == SoftPixelStepKind::BreakP) {
            if (step.Src[0] == ref) lr_Found = true, modifiable = false;
        }
        return lr_Found;
    };
    // Outputs are read after the last step: their moves stay.
    const uint16_t lr_Outputs = Ref(k_SoftSlotColorOut, 0);
    for (size_t j = 0; j < lr_Steps.size(); ++j) {
        SoftPixelStep& lr_Move = lr_Steps[j];
        if (lr_Move.Kind != SoftPixelStepKind::Mov || lr_Move.Src[0] != lr_Move.Dst) continue;
        const uint16_t d = lr_Move.Dst;
        if (lr_Move.Flags == 0 && lr_Move.Mod[0] == SoftPixelModifier::None) {
            lr_Gone[j] = true;
        } else if (lr_Move.Flags == k_SoftStepSaturate && lr_Move.Mod[0] == SoftPixelModifier::None) {
            for (size_t i = j; i-- > 0;) {
                if (lr_Gone[i]) continue;
                bool lr_Modifiable;
                SoftPixelStep& lr_Writer = lr_Steps[i];
                if (lr_Writes(lr_Writer, d)) {
                    if (lr_Writer.Kind <= SoftPixelStepKind::Sin && lr_Writer.Kind != SoftPixelStepKind::SetP &&
                        !(lr_Writer.Flags & k_SoftStepPredicated)) {
                        lr_Writer.Flags |= k_SoftStepSaturate;
                        lr_Gone[j] = true;
                    }
                    break;
                }
                if (lr_Reads(lr_Writer, d, lr_Modifiable)) break;
            }
        } else if (lr_Move.Flags == 0 && d < lr_Outputs) {
            std::vector<size_t> lr_Readers;
            bool lr_Possible = true, lr_Overwritten = false;
            for (size_t k = j + 1; k < lr_Steps.size() && lr_Possible && !lr_Overwritten; ++k) {
                if (lr_Gone[k]) continue;
                bool lr_Modifiable;
                if (lr_Reads(lr_Steps[k], d, lr_Modifiable)) {
                    if (lr_Modifiable)
                        lr_Readers.push_back(k);
                    else
                        lr_Possible = false;
                }
                if (lr_Writes(lr_Steps[k], d)) {
                    lr_Overwritten = true;
                    if (lr_Steps[k].Flags & k_SoftStepPredicated) lr_Possible = false;
                }
            }
            if (!lr_Possible) continue;
            for (size_t k : lr_Readers)
                for (int i = 0; i < lr_Steps[k].Count; ++i)
                    if (lr_Steps[k].Src[i] == d) lr_Steps[k].Mod[i] = Composed(lr_Steps[k].Mod[i], lr_Move.Mod[0]);
            lr_Gone[j] = true;
        }
    }
    size_t lr_Out = 0;
    for (size_t n = 0; n < lr_Steps.size(); ++n)
        if (!lr_Gone[n]) lr_Steps[lr_Out++] = lr_Steps[n];
    lr_Steps.resize(lr_Out);
}

// Without flow control every step runs once in order: a step whose result
// nothing reads before it is overwritten goes.
void SoftPixelLowering::RemoveDeadSteps() {
    std::vector<bool> lr_Live(k_SoftSlotCount * 4, false);
    for (int i = 0; i < 4 * 4 + 4; ++i) lr_Live[Ref(k_SoftSlotColorOut, 0) + i] = true;  // oC0..oC3, oDepth
    std::vector<SoftPixelStep>& lr_Steps = mr_Program.mr_Steps;
    std::vector<bool> lr_Keep(lr_Steps.size(), true);
    for (size_t n = lr_Steps.size(); n-- > 0;) {
        const SoftPixelStep& lr_Step = lr_Steps[n];
        uint16_t lr_First = 0;
        int lr_Count = 0;
        Written(lr_Step, lr_First, lr_Count);
        const bool lr_Effect = lr_Step.Kind == SoftPixelStepKind::Texture || lr_Step.Kind == SoftPixelStepKind::TexKill;
        bool lr_Needed = lr_Effect;
        for (int i = 0; i < lr_Count; ++i) lr_Needed = lr_Needed || lr_Live[lr_First + i];
        if (!lr_Needed) {
            lr_Keep[n] = false;
            continue;
        }
        // A predicated write leaves the old value where the predicate fails.
        if (!(lr_Step.Flags & k_SoftStepPredicated))
            for (int i = 0; i < lr_Count; ++i) lr_Live[lr_First + i] = false;
        if (lr_Step.Flags & k_SoftStepPredicated) lr_Live[lr_Step.Pred] = true;
        if (lr_Step.Kind == SoftPixelStepKind::LoadInput) {
            for (int i = 0; i < 10 * 4; ++i) lr_Live[Ref(k_SoftSlotInput, 0) + i] = true;
        } else if (lr_Step.Kind == SoftPixelStepKind::Texture) {
            const SoftPixelTexture& lr_Read = mr_Program.mr_Textures[lr_Step.Aux];
            for (int k = 0; k < 4; ++k) {
                lr_Live[lr_Read.Coord[k]] = true;
                if (lr_Read.Op == SoftPixelOp::TexLdd) lr_Live[lr_Read.Dx[k]] = lr_Live[lr_Read.Dy[k]] = true;
            }
        } else if (ReadsLanes(lr_Step.Kind)) {
            for (int i = 0; i < lr_Step.Count; ++i) lr_Live[lr_Step.Src[i]] = true;
        }
    }
    size_t lr_Out = 0;
    for (size_t n = 0; n < lr_Steps.size(); ++n)
        if (lr_Keep[n]) lr_Steps[lr_Out++] = lr_Steps[n];
    lr_Steps.resize(lr_Out);
}

bool SoftPixelProgram::LowerToSteps(std::string& reason) {
    SoftPixelLowering lr_Lowering(*this);
    lr_Lowering.Run();
    if (mr_Steps.size() > 0xFFFF) {
        reason = "the program is too long";
        return false;
    }
    return true;
}
