// The effect compiler: reads fx_2_0 source into an EffectDefinition.
// The parser reads declarations, techniques and passes; each `compile`
// is then compiled to bytecode from the whole text.
#pragma once

#include "effect/EffectDefinition.h"
#include "compiler/EffectLexer.h"

#include <unordered_map>

namespace softfx {

// `sourceName` names the text in compiler messages.
bool CompileEffect(const char* data, size_t size, const std::string& sourceName, EffectDefinition& definition,
                   CompileError& error);

// Compiles every shader of a parsed effect from the same text, and binds
// each shader's constants and samplers to the effect's parameters.
bool CompileEffectShaders(const char* data, size_t size, const std::string& sourceName, EffectDefinition& definition,
                          CompileError& error);

// Binds a shader's constant table (its float, int and bool registers and
// its samplers) to the effect's parameters of the same names, found in
// `index` (name to node) when given.
bool BindShaderConstants(const EffectDefinition& definition, CompiledShader& shader, const std::string& sourceName,
                         CompileError& error, const std::unordered_map<std::string, UINT>* index = nullptr);

}  // namespace softfx
