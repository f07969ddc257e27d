// The three kinds of named handler a shader drives, and the result a pass
// start or a callback handler returns.
#pragma once

#include <d3dx9.h>

#include <cstdint>
#include <string>

class IShader;
class IShaderParameter;

// Scoped like ShaderParameterType, with the same 32-bit values.
enum class PassResult : int32_t {
    None = 0,    // no callback decided; the pass is drawn once
    Repeat = 1,  // the pass is drawn and begun again
    Done = 2,    // the pass is drawn once
    Skip = 3     // the pass is not drawn
};

static_assert(sizeof(PassResult) == 4, "returned across the module boundary as a 32-bit value");

// Binds the effect parameter that carries its semantic.
class ISemanticHandler {
public:
    virtual ~ISemanticHandler() {}
    virtual void Apply(IShader* shader, IShaderParameter* parameter) = 0;
    virtual void Reset(IShader* shader) = 0;
    virtual const std::string& GetSemantic() = 0;
};

// Reacts to a named annotation on a named effect object.
class IAnnotationHandler {
public:
    virtual ~IAnnotationHandler() {}
    virtual void Apply(IShader* shader, D3DXHANDLE annotation) = 0;
    virtual void Reset(IShader* shader) = 0;
    virtual const std::string& GetObjectName() = 0;
    virtual const std::string& GetAnnotationName() = 0;
};

// Runs when a pass is begun whose bool annotation of the handler's name is true.
class ICallbackHandler {
public:
    virtual ~ICallbackHandler() {}
    virtual PassResult Apply(IShader* shader, D3DXHANDLE pass) = 0;
    // Never called by the framework; kept for the table's shape.
    virtual void Reset(IShader* shader) = 0;
    virtual const std::string& GetName() = 0;
};
