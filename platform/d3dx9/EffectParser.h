// The effect compiler: reads fx_2_0 source into an EffectDefinition.
// Shader code is not translated; each `compile` records its profile, its
// entry point and the samplers that entry point reaches.
#pragma once

#include "EffectDefinition.h"
#include "EffectLexer.h"

namespace softfx {

bool CompileEffect(const char* data, size_t size, EffectDefinition& definition, CompileError& error);

// Shader model a profile compiles to; false for an unknown profile.
bool ProfileVersion(const std::string& profile, bool& pixel, DWORD& version);

}  // namespace softfx
