// Binds one of the plug-in's textures to every effect parameter that carries
// its semantic, each time a shader begins.
#pragma once

#include "HandlerInterfaces.h"
#include "TextureRecord.h"

#include <string>

class VexilTextureSemanticHandler : public ISemanticHandler {
public:
    // The record is not owned. Its address is kept rather than its texture,
    // so a texture the plug-in re-creates later is bound without registering
    // the handler again.
    VexilTextureSemanticHandler(const std::string& semantic, TextureRecord* textureRecord);
    ~VexilTextureSemanticHandler() override;

    void Apply(IShader* shader, IShaderParameter* parameter) override;
    void Reset(IShader* shader) override;
    const std::string& GetSemantic() override;

private:
    std::string mr_Semantic;
    TextureRecord* mr_TextureRecord_;
};
