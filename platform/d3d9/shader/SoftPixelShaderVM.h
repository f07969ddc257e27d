// Runs decoded pixel shaders (ps_2_0, ps_2_x, ps_3_0) one 2x2 quad at a
// time. The four lanes run in lockstep under a per-lane execution mask, so
// flow control may diverge per pixel while derivatives still see the whole
// quad. One interpreter per worker thread: it holds the register scratch and
// allocates nothing while running.
#pragma once

#include "shader/SoftPixelProgram.h"
#include "pipeline/SoftPixelTypes.h"

#include <cstdint>

// One component of a register across the four lanes of a quad.
typedef float SoftLanes __attribute__((vector_size(16)));
typedef int32_t SoftLaneMask __attribute__((vector_size(16)));

// An open if or loop block of a running quad.
struct SoftPixelFlowFrame {
    SoftLaneMask Entry;  // lanes running when the block opened
    SoftLaneMask Cond;   // if: lanes taking the first branch
    SoftLaneMask Alive;  // loop: lanes that have not left it by a break
    int Remaining;       // loop: iterations still to run
    int Counter;         // aL inside the loop
    int Step;
    uint32_t Start;  // loop: first step of the body
    uint32_t Skip;   // where to go when no lane runs the current part
    int OuterLoop;   // frame of the enclosing loop, or -1
    bool IsLoop;
};

class DECLSPEC_EXPORT SoftPixelShaderVM {
public:
    SoftPixelShaderVM();

    // Runs `program` for one 2x2 quad (lanes 0 1 / 2 3). Lanes whose `live`
    // is false are helper pixels: executed (for derivatives) but their
    // outputs are ignored by the caller. A program that is not runnable
    // leaves every output (0, 0, 0, 0).
    void RunQuad(const SoftPixelProgram& program, const SoftPixelConstants& constants, const SoftPixelInputs inputs[4],
                 const bool live[4], ISoftTextureSampler& sampler, SoftPixelOutputs outputs[4]);

private:
    // Lane reference r (slot * 4 + component) is mr_Lanes[r].
    SoftLanes mr_Lanes[k_SoftSlotCount * 4];
    SoftPixelFlowFrame mr_Frames[k_SoftMaxFlowDepth];
};
