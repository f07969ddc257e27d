// How far two pictures of one pass are apart, and whether that is within
// what the comparison allows: every channel within 1/255 on at least 99.9%
// of the pixels and within 2/255 everywhere.
#pragma once

#include "PassImage.h"

#include <cstddef>

struct PassDifference {
    bool SameShape = false;  // size and format
    size_t Pixels = 0;
    size_t BeyondOneStep = 0;   // pixels with a channel more than 1/255 apart
    size_t BeyondTwoSteps = 0;  // ... more than 2/255 apart
    float Largest = 0.0f;       // the largest channel difference

    static PassDifference Of(const PassImage& a, const PassImage& b);
    bool Allowed() const { return SameShape && BeyondOneStep * 1000 <= Pixels && BeyondTwoSteps == 0; }
};
