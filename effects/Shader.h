// The one implementation of IShader: wraps one D3DX effect, selects its first
// technique that validates, hands out typed parameters and runs the
// begin/pass/end sequence with its handler entries around it.
#pragma once

#include "ComPtr.h"
#include "IShader.h"
#include "ShaderHandlerContainers.h"

#include <d3d9.h>
#include <d3dx9.h>

#include <map>
#include <string>
#include <vector>

class ShaderSystem;

class Shader : public IShader {
public:
    // Source text wins over the file name when both are given.
    Shader(IDirect3DDevice9* device, const std::string& name, const std::string& code, const std::string& fileName);
    ~Shader() override;

    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    PassResult BeginPass(unsigned pass) override;
    void EndPass() override;
    unsigned GetPassCount() override;
    unsigned Begin() override;
    void End() override;
    const std::string& GetName() override;
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
    IShaderParameter* GetParameter(const std::string& name, ShaderParameterType type) override;
    IShaderParameter* GetParameterBySemantic(const std::string& semantic, ShaderParameterType type) override;
    std::vector<IShaderParameter*>& GetParameters() override;
    bool IsValid() override;
    const std::string& GetErrorMessage() override;
    void Reload() override;
    ID3DXEffect* GetEffect() override;
    bool AddSystemAnnotationHandler(IAnnotationHandler* handler) override;
    bool AddSystemCallbackHandler(ICallbackHandler* handler) override;
    bool AddSystemSemanticHandler(ISemanticHandler* handler) override;

    // Bookkeeping of the shader system that created this shader (not part of
    // IShader). The system is told when the shader is destroyed, and drops
    // the entries of a handler it is about to delete, so that no entry ever
    // points at a deleted handler.
    void SetOwner(ShaderSystem* owner);
    void DropSystemHandler(IAnnotationHandler* handler);
    void DropSystemHandler(ICallbackHandler* handler);
    void DropSystemHandler(ISemanticHandler* handler);
    void DropSystemHandlers();
    // Whether an entry of the caller's (not handed over by the system) holds the handler.
    bool OwnsHandler(IAnnotationHandler* handler);
    bool OwnsHandler(ICallbackHandler* handler);
    bool OwnsHandler(ISemanticHandler* handler);

private:
    template <typename Handler>
    bool OwnedBySystem(Handler* handler) const;
    void CreateEffect();
    void SelectTechnique();
    IShaderParameter* CreateParameter(const std::string& name, D3DXHANDLE handle, ShaderParameterType type,
                                      bool bySemantic);

    // Handler steps around the effect's own calls.
    void RunSemanticStep();
    void RunAnnotationStep();
    PassResult RunPassCallbackStep(unsigned pass);
    void ResetHandlerEntries();
    void CollectPasses(CallbackHandlerContainer& entry);

    std::map<std::string, AnnotationHandlerContainer> mr_AnnotationHandlers;
    std::map<std::string, SemanticHandlerContainer> mr_SemanticHandlers;
    std::map<std::string, CallbackHandlerContainer> mr_CallbackHandlers;
    std::vector<IShaderParameter*> mr_Parameters;
    IDirect3DDevice9* mr_Device_;
    std::string mr_Name;
    std::string mr_Code;
    std::string mr_FileName;
    bool mr_Valid;
    std::string mr_ErrorMessage;
    bool mr_InPass;
    ComPtr<ID3DXEffect> mr_Effect;
    D3DXHANDLE mr_Technique;
    ShaderSystem* mr_Owner_;
};
