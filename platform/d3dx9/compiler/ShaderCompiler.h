// HLSL to shader-model 2/3 bytecode, and what D3DX reads back from it: the
// constant table and the profile's limits.
#pragma once

#include "compiler/CompilerMessages.h"

#include <d3dx9.h>

#include <string>
#include <vector>

namespace softfx {

// One entry of a shader's constant table.
struct ShaderConstant {
    std::string Name;
    D3DXREGISTER_SET Set = D3DXRS_FLOAT4;
    UINT Register = 0;
    UINT Count = 0;
    D3DXPARAMETER_CLASS Class = D3DXPC_SCALAR;  // packing in the registers (matrix rows or columns)
    D3DXPARAMETER_TYPE Type = D3DXPT_FLOAT;
    UINT Rows = 0;
    UINT Columns = 0;
    UINT Elements = 0;
};

// The shader model a profile compiles to; false for a profile the compiler
// does not offer.
bool ShaderProfileVersion(const std::string& profile, bool& pixel, DWORD& version);

struct ShaderSource {
    std::string Entry;
    std::string Profile;
    std::vector<DWORD> Tokens;  // the result
};

// Compiles each shader of one effect's whole source text, all within the
// effect's budget (SoftEffectCompiler.h). On failure `errors` holds the
// messages of the first shader that failed, or the budget it went past.
bool CompileShaderSources(const char* text, size_t size, const std::string& sourceName,
                          std::vector<ShaderSource>& shaders, std::string& errors);

// Compiles `entry` of the whole source text for `profile`. On failure
// `errors` holds the compiler's messages in D3DX's form
// ("name(line,col): error Xnnnn: text"), one per line.
bool CompileShaderSource(const char* text, size_t size, const std::string& sourceName, const std::string& entry,
                         const std::string& profile, std::vector<DWORD>& tokens, std::string& errors);

// The constant table (the "CTAB" comment) of a token stream; false when the
// stream has none or it is malformed.
bool ReadConstantTable(const std::vector<DWORD>& tokens, std::vector<ShaderConstant>& constants);

}  // namespace softfx
