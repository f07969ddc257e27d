// The compiled effect (fx_2_0 binary): written from an EffectDefinition by
// the effect compiler, read back by D3DXCreateEffect* when the data starts
// with its tag.
//
// Layout (every number a little-endian DWORD, every offset counted from the
// first byte after the two header words):
//   tag 0xFEFF0901, offset of the tables
//   the pool: names (length with the NUL, bytes, padded to 4), type
//     descriptions, initial values and sampler state lists
//   tables: parameter count, technique count, 0, object count,
//     parameters {type, value, flags, annotation count, annotations},
//     techniques {name, annotation count, pass count, annotations,
//       passes {name, annotation count, state count, annotations, states}},
//     object count with data, resource count,
//     objects {id, size, bytes}: strings and shader parameters' bytecode,
//     resources {technique or ~0, pass or parameter, element or ~0, state,
//       usage (0 bytecode, 1 a parameter's name), size, bytes}
// A state is {operation (its row in EffectStateTables.cpp), index,
// type, value}. Object and sampler values hold object ids and state lists.
#pragma once

#include "effect/EffectDefinition.h"

#include <string>
#include <vector>

namespace softfx {

constexpr DWORD k_EffectBinaryTag = 0xFEFF0901;

// ~0 in a resource: no technique (the state is a sampler parameter's), or no element.
constexpr DWORD k_EffectNoIndex = 0xFFFFFFFFu;
// What a resource's bytes are: a shader's bytecode, or the name of the
// parameter a state reads.
constexpr DWORD k_EffectUsageBytecode = 0;
constexpr DWORD k_EffectUsageParameter = 1;

// The types whose values are object ids.
inline bool IsEffectObjectType(D3DXPARAMETER_TYPE type) {
    return type == D3DXPT_STRING || IsTextureType(type) || IsSamplerType(type) || IsShaderType(type);
}

inline bool IsEffectBinary(const void* data, size_t size) {
    if (size < 4) return false;
    const unsigned char* lr_Bytes = static_cast<const unsigned char*>(data);
    const DWORD lr_Tag =
        lr_Bytes[0] | (lr_Bytes[1] << 8) | (lr_Bytes[2] << 16) | (static_cast<DWORD>(lr_Bytes[3]) << 24);
    return lr_Tag == k_EffectBinaryTag;
}

// False with `error` saying what the format (or this writer) cannot carry;
// nothing is written wrong.
bool WriteEffectBinary(const EffectDefinition& definition, std::vector<BYTE>& out, std::string& error);

// Reads a compiled effect into a definition whose shaders are bound to the
// parameters through their constant tables. False with `error` on anything
// malformed or outside what the runtime supports.
bool ReadEffectBinary(const BYTE* data, size_t size, EffectDefinition& definition, std::string& error);

}  // namespace softfx
