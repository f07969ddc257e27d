// The states an effect pass or sampler_state may assign: one table of the
// fx_2_0 format's states, each row its operation (its number in a compiled
// effect), its class, the device state it sets and its name; and the names
// of their enumerated values (names are case-insensitive, as fxc).
#pragma once

#include "effect/EffectDefinition.h"

#include <d3d9.h>

#include <string>

namespace softfx {

enum class ValueSet {
    Integer,
    Float,
    Bool,
    ZBuffer,
    Fill,
    Shade,
    Blend,
    BlendOp,
    Cull,
    Cmp,
    StencilOp,
    Fog,
    ColorWrite,
    MaterialSource,
    VertexBlend,
    Wrap,
    PatchEdge,
    Degree,
    Address,
    Filter
};

struct StateInfo {
    DWORD Operation;                // the row's number in the fx_2_0 state table
    StateAssignment::Target Class;  // what the operation sets
    DWORD State;                    // the D3DRS_ or D3DSAMP_ value; 0 for textures, samplers and shaders
    const char* Name;
    ValueSet Values;
};

const StateInfo* FindRenderState(const std::string& name);
const StateInfo* FindSamplerState(const std::string& name);
// The row of an operation; null for the rows this runtime refuses (texture
// stages, transforms, lights, materials, FVF, shader constants).
const StateInfo* StateByOperation(DWORD operation);
// The row that sets `state` of class `kind` (`state` is not read for
// textures, samplers and shaders); null when the format has none.
const StateInfo* StateOfClass(StateAssignment::Target kind, DWORD state);
// Value of an enumerated name within a set (TRUE/FALSE in boolean sets).
bool FindStateValue(ValueSet values, const std::string& name, DWORD& value);
bool EqualsNoCase(const std::string& a, const char* b);

}  // namespace softfx
