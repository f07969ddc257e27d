// Names of the device states an effect pass or sampler_state may assign,
// and the names of their enumerated values (case-insensitive, as fxc).
#pragma once

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
    const char* Name;
    DWORD State;
    ValueSet Values;
};

const StateInfo* FindRenderState(const std::string& name);
const StateInfo* FindSamplerState(const std::string& name);
// The same entries found by the device state they set.
const StateInfo* RenderStateByValue(DWORD state);
const StateInfo* SamplerStateByValue(DWORD state);
// Value of an enumerated name within a set (TRUE/FALSE in boolean sets).
bool FindStateValue(ValueSet values, const std::string& name, DWORD& value);
bool EqualsNoCase(const std::string& a, const char* b);

}  // namespace softfx
