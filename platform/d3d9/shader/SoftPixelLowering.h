// Decoded instructions to the interpreter's steps (SoftPixelProgramSteps.cpp)
// and the passes that shorten them (SoftPixelStepPasses.cpp): the lowering
// both files share. Private to the device's shader room.
#pragma once

#include "shader/SoftPixelProgram.h"

#include <cstring>
#include <vector>

class SoftPixelLowering {
public:
    explicit SoftPixelLowering(SoftPixelProgram& program) : mr_Program(program) {
        std::memset(mr_ConstantSlot, 0, sizeof(mr_ConstantSlot));
    }

    void Run();

    // A component of a slot as a lane reference.
    static uint16_t Ref(uint16_t slot, uint8_t component) { return static_cast<uint16_t>(slot * 4 + component); }
    // The modifier of -x for x read with `modifier`.
    static SoftPixelModifier Negated(SoftPixelModifier modifier) {
        switch (modifier) {
        case SoftPixelModifier::None: return SoftPixelModifier::Negate;
        case SoftPixelModifier::Negate: return SoftPixelModifier::None;
        case SoftPixelModifier::Abs: return SoftPixelModifier::AbsNegate;
        default: return SoftPixelModifier::Abs;
        }
    }

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
