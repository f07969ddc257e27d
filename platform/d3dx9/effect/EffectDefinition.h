// What the effect compiler makes of a source text: the value objects
// (parameters, their array elements, annotations), techniques, passes with
// their state assignments, and the shaders to create on the device.
#pragma once

#include <d3dx9.h>

#include <string>
#include <vector>

namespace softfx {

// Kinds of parameter type.
inline bool IsNumericType(D3DXPARAMETER_TYPE type) {
    return type == D3DXPT_BOOL || type == D3DXPT_INT || type == D3DXPT_FLOAT;
}
inline bool IsTextureType(D3DXPARAMETER_TYPE type) { return type >= D3DXPT_TEXTURE && type <= D3DXPT_TEXTURECUBE; }
inline bool IsSamplerType(D3DXPARAMETER_TYPE type) { return type >= D3DXPT_SAMPLER && type <= D3DXPT_SAMPLERCUBE; }
inline bool IsPixelShaderType(D3DXPARAMETER_TYPE type) { return type == D3DXPT_PIXELSHADER; }
inline bool IsVertexShaderType(D3DXPARAMETER_TYPE type) { return type == D3DXPT_VERTEXSHADER; }
inline bool IsShaderType(D3DXPARAMETER_TYPE type) { return IsPixelShaderType(type) || IsVertexShaderType(type); }

// How a state value is written to the device.
enum class StateValueKind { Dword, Float };

struct StateAssignment {
    enum class Target {
        RenderState,   // SetRenderState(State, value)
        SamplerState,  // SetSamplerState(Index, State, value)
        Texture,       // SetTexture(Index, texture of Parameter, or null)
        Sampler,       // Sampler[Index] = <s>: the sampler's states and texture at Index
        PixelShader,   // SetPixelShader(Shader, or the shader of Parameter, or null)
        VertexShader,
    };
    Target Kind = Target::RenderState;
    DWORD State = 0;
    DWORD Index = 0;
    DWORD Value = 0;
    StateValueKind ValueKind = StateValueKind::Dword;
    int Parameter = -1;  // value object the value is read from at apply time, or -1
    int Shader = -1;     // compiled shader index for shader assignments, -1 for none/NULL
};

// One value object. Top-level globals, annotations and array elements all
// use it; an element stores its value in its array's storage.
struct ValueNode {
    std::string Name;
    std::string Semantic;
    D3DXPARAMETER_CLASS Class = D3DXPC_SCALAR;
    D3DXPARAMETER_TYPE Type = D3DXPT_VOID;
    UINT Rows = 0;
    UINT Columns = 0;
    UINT Elements = 0;
    DWORD Flags = 0;
    bool IsStatic = false;          // not a parameter
    int Parent = -1;                // array node of an element
    UINT ElementIndex = 0;          // position within Parent
    std::vector<UINT> Annotations;  // node indices
    std::vector<UINT> Members;      // element node indices of an array
    int SamplerRegister = -1;       // explicit register(sN)

    // Storage, owned by top-level nodes and annotations; sized for every element.
    std::vector<DWORD> Numbers;                    // Rows*Columns per element
    std::vector<std::string> Strings;              // one per element
    std::vector<IDirect3DBaseTexture9*> Textures;  // one per element, each holding a reference
    std::vector<int> Shaders;                      // compiled shader index per element, -1 for NULL
    std::vector<StateAssignment> SamplerStates;    // sampler_state { ... } of a sampler
};

struct SamplerBinding {
    UINT Register = 0;
    UINT Sampler = 0;  // node index
};

// A parameter's values as one shader holds them: a run of registers of one
// set, read from the shader's constant table.
struct ConstantBinding {
    UINT Node = 0;  // top-level parameter
    D3DXREGISTER_SET Set = D3DXRS_FLOAT4;
    UINT Register = 0;
    UINT Count = 0;
    bool Columns = false;       // matrix packed one column per register
    std::vector<DWORD> Values;  // registers as built for this commit (4 words each; 1 for bools)
    std::vector<DWORD> Sent;    // what the device last received
    bool Primed = false;        // Sent holds something
};

struct CompiledShader {
    bool Pixel = true;
    DWORD Version = 0;
    std::string Entry;
    std::string Profile;
    std::vector<DWORD> Tokens;
    std::vector<SamplerBinding> Samplers;    // from the constant table
    std::vector<ConstantBinding> Constants;  // float, int and bool parameters the shader reads
    std::vector<UINT> UsedGlobals;           // globals the entry point (or its arguments) refers to
    // Device objects made when the effect is created; null when the device refused.
    IDirect3DPixelShader9* PixelObject = nullptr;
    IDirect3DVertexShader9* VertexObject = nullptr;
};

struct PassDefinition {
    std::string Name;
    bool HasName = false;
    std::vector<UINT> Annotations;
    std::vector<StateAssignment> States;
};

struct TechniqueDefinition {
    std::string Name;
    bool HasName = false;
    std::vector<UINT> Annotations;
    std::vector<UINT> Passes;  // pass indices
};

struct EffectDefinition {
    std::vector<ValueNode> Nodes;
    std::vector<UINT> Parameters;  // top-level parameter node indices in declaration order
    std::vector<UINT> Globals;     // every top-level global (static ones too)
    std::vector<TechniqueDefinition> Techniques;
    std::vector<PassDefinition> Passes;
    std::vector<CompiledShader> Shaders;
};

// Limits that keep hostile input from taking unbounded memory or stack.
constexpr UINT kMaxArrayElements = 65536;
constexpr size_t kMaxValueComponents = 1u << 22;  // numbers over all value objects
constexpr size_t kMaxNodes = 1u << 17;
constexpr int kMaxNesting = 256;
constexpr UINT kMaxSamplerStage = 16;

}  // namespace softfx
