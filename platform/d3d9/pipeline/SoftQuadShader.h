// What colours a 2x2 quad of pixels: a pixel shader or the fixed-function
// texture stages. Lanes 0 1 / 2 3; a lane that is not live still runs so
// that its neighbours' derivatives are right, and its outputs are dropped.
#pragma once

#include "pipeline/SoftPixelTypes.h"

class ISoftQuadShader {
public:
    // `worker` names the calling thread's scratch (0 .. workers - 1).
    virtual void ShadeQuad(const SoftPixelInputs inputs[4], const bool live[4], SoftPixelOutputs outputs[4],
                           UINT worker) = 0;

protected:
    ~ISoftQuadShader() = default;
};
