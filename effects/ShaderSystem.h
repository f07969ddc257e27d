// The one implementation of IShaderSystem: creates and names shaders and
// keeps the handlers that every shader created afterwards receives. It owns
// everything registered with it.
#pragma once

#include "IShaderSystem.h"

#include <d3d9.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class Shader;

class ShaderSystem : public IShaderSystem {
public:
    explicit ShaderSystem(IDirect3DDevice9* device);
    ~ShaderSystem() override;

    ShaderSystem(const ShaderSystem&) = delete;
    ShaderSystem& operator=(const ShaderSystem&) = delete;

    bool AddAnnotationHandler(IAnnotationHandler* handler) override;
    bool RemoveAnnotationHandler(const std::string& annotationName) override;
    bool RemoveAnnotationHandler(IAnnotationHandler* handler) override;
    IAnnotationHandler* GetAnnotationHandler(const std::string& annotationName) override;
    bool AddCallbackHandler(ICallbackHandler* handler) override;
    bool RemoveCallbackHandler(const std::string& name) override;
    bool RemoveCallbackHandler(ICallbackHandler* handler) override;
    ICallbackHandler* GetCallbackHandler(const std::string& name) override;
    bool AddSemanticHandler(ISemanticHandler* handler) override;
    bool RemoveSemanticHandler(const std::string& semantic) override;
    bool RemoveSemanticHandler(ISemanticHandler* handler) override;
    ISemanticHandler* GetSemanticHandler(const std::string& semantic) override;
    IShader* CreateShaderFromCode(const std::string& name, const std::string& code) override;
    IShader* CreateShaderFromFile(const std::string& name, const std::string& fileName) override;
    IShader* GetShader(const std::string& name) override;
    bool RemoveShader(const std::string& name) override;
    bool RemoveShader(IShader* shader) override;
    void ReloadShaders() override;

    // Called by a shader this system created when it is destroyed, whoever
    // destroys it.
    void ForgetShader(Shader* shader);

    // Whether this system owns the handler: a shader must then not take it too.
    bool Owns(IAnnotationHandler* handler);
    bool Owns(ICallbackHandler* handler);
    bool Owns(ISemanticHandler* handler);

private:
    IShader* RegisterShader(std::unique_ptr<Shader> shader);
    template <typename Handler>
    bool RemoveHandler(std::map<std::string, Handler*>& handlers, Handler* handler);
    // A handler one of this system's shaders owns is refused, or both would delete it.
    template <typename Handler>
    bool AddHandler(std::map<std::string, Handler*>& handlers, Handler* handler);

    std::map<std::string, IAnnotationHandler*> mr_AnnotationHandlers;
    std::map<std::string, ISemanticHandler*> mr_SemanticHandlers;
    std::map<std::string, ICallbackHandler*> mr_CallbackHandlers;
    std::map<std::string, IShader*> mr_Shaders;
    IDirect3DDevice9* mr_Device_;
    // Every live shader this system created, registered or not (a shader
    // created under a name already taken belongs to the caller but still
    // holds the system's handlers): a handler is deleted only after these
    // shaders have dropped their entries for it.
    std::vector<Shader*> mr_CreatedShaders;
};
