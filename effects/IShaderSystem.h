// Creates and names shaders and keeps the handlers every new shader receives.
#pragma once

#include "HandlerInterfaces.h"
#include "IShader.h"

#include <string>

class IShaderSystem {
public:
    virtual ~IShaderSystem() {}
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
    virtual IShader* CreateShaderFromCode(const std::string& name, const std::string& code) = 0;
    virtual IShader* CreateShaderFromFile(const std::string& name, const std::string& fileName) = 0;
    virtual IShader* GetShader(const std::string& name) = 0;
    virtual bool RemoveShader(const std::string& name) = 0;
    virtual bool RemoveShader(IShader* shader) = 0;
    virtual void ReloadShaders() = 0;
};
