// Decoded instructions to the interpreter's steps: one step per result
// component, operands as lane references with their swizzle applied, the
// float constants given slots of their own.
#include "shader/SoftPixelLowering.h"

#include <cstring>

namespace {

// Not applies to flow conditions and predicates, which carry it in Flags.
SoftPixelModifier StepModifier(SoftPixelModifier modifier) {
    return modifier == SoftPixelModifier::Not ? SoftPixelModifier::None : modifier;
}

}  // namespace

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

bool SoftPixelProgram::LowerToSteps(std::string& reason) {
    SoftPixelLowering lr_Lowering(*this);
    lr_Lowering.Run();
    if (mr_Steps.size() > 0xFFFF) {
        reason = "the program is too long";
        return false;
    }
    return true;
}
