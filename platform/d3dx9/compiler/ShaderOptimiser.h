// Copy propagation, dead-code removal and mad forming over the compiler's
// shader model 2 and 3 token streams. The compiler moves every constant,
// swizzle and partial result through a temporary and never emits mad; a real
// compiler does, and the device's cost figures count instructions, so the
// substitute removes those moves and forms the mads.
#pragma once

#include <d3d9.h>

#include <string>
#include <vector>

namespace softfx {

// The stream compiled for `profile` ("ps_2_0", "ps_2_a", "vs_3_0", ...) with
// redundant moves and dead instructions removed and each mul fused with the
// add that alone reads it; comments, declarations and definitions are kept
// token for token. Only straight-line code is touched: a stream with flow
// control, predication, relative addressing or anything not understood
// comes back unchanged.
std::vector<DWORD> OptimiseShader(const std::vector<DWORD>& tokens, const std::string& profile);

}  // namespace softfx
