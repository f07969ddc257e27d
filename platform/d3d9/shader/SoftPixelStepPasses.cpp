// The passes over a program's steps once lowered: moves folded and copies
// propagated, dead steps removed, runs of one kind marked for the
// interpreter.
#include "shader/SoftPixelLowering.h"

namespace {

// The modifier of outer(inner(x)).
SoftPixelModifier Composed(SoftPixelModifier outer, SoftPixelModifier inner) {
    switch (outer) {
    case SoftPixelModifier::None: return inner;
    case SoftPixelModifier::Negate: return SoftPixelLowering::Negated(inner);
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
        first = SoftPixelLowering::Ref(k_SoftSlotTexel, 0);
        count = 4;
        return;
    case SoftPixelStepKind::LoadInput:
    case SoftPixelStepKind::LoadConstant:
        first = SoftPixelLowering::Ref(step.Dst, 0);
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
