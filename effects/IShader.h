// One effect: technique selection, typed parameters, the begin/pass/end
// sequence and the handlers driven around it.
#pragma once

#include "HandlerInterfaces.h"
#include "IShaderParameter.h"

#include <d3dx9.h>

#include <string>
#include <vector>

class IShader {
public:
    virtual ~IShader() {}
    virtual PassResult BeginPass(unsigned pass) = 0;
    virtual void EndPass() = 0;
    virtual unsigned GetPassCount() = 0;
    virtual unsigned Begin() = 0;
    virtual void End() = 0;
    virtual const std::string& GetName() = 0;
    virtual bool AddAnnotationHandler(IAnnotationHandler* handler) = 0;
    virtual bool RemoveAnnotationHandler(const std::string& annotationName) = 0;
    virtual bool RemoveAnnotationHandler(IAnnotationHandler* handler) = 0;
    virtual IAnnotationHandler* GetAnnotationHandler(const std::string& annotationName) = 0;
    virtual bool AddCallbackHandler(ICallbackHandler* handler) = 0;
    virtual bool RemoveCallbackHandler(const std::string& name) = 0;
    virtual bool RemoveCallbackHandler(ICallbackHandler* handler) = 0;
    virtual ICallbackHandler* GetCallbackHandler(const std::string& name) = 0;
    virtual bool AddSemanticHandler(ISemanticHandler* handler) = 0;
    virtual bool RemoveSemanticHandler(const std::string& semantic) = 0;
    virtual bool RemoveSemanticHandler(ISemanticHandler* handler) = 0;
    virtual ISemanticHandler* GetSemanticHandler(const std::string& semantic) = 0;
    virtual IShaderParameter* GetParameter(const std::string& name, ShaderParameterType type) = 0;
    virtual IShaderParameter* GetParameterBySemantic(const std::string& semantic, ShaderParameterType type) = 0;
    virtual std::vector<IShaderParameter*>& GetParameters() = 0;
    virtual bool IsValid() = 0;
    virtual const std::string& GetErrorMessage() = 0;
    virtual void Reload() = 0;
    virtual ID3DXEffect* GetEffect() = 0;
    virtual bool AddSystemAnnotationHandler(IAnnotationHandler* handler) = 0;
    virtual bool AddSystemCallbackHandler(ICallbackHandler* handler) = 0;
    virtual bool AddSystemSemanticHandler(ISemanticHandler* handler) = 0;
};
