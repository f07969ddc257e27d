#include "VexilTextureSemanticHandler.h"

#include "IShaderParameter.h"

VexilTextureSemanticHandler::VexilTextureSemanticHandler(const std::string& semantic, TextureRecord* textureRecord)
    : mr_Semantic(semantic), mr_TextureRecord_(textureRecord) {}

VexilTextureSemanticHandler::~VexilTextureSemanticHandler() {}

void VexilTextureSemanticHandler::Apply(IShader* /*shader*/, IShaderParameter* parameter) {
    // Plain and 2-D texture parameters both arrive typed Texture2D; any
    // other parameter carrying the semantic is left alone.
    if (parameter == nullptr || mr_TextureRecord_ == nullptr ||
        parameter->GetType() != ShaderParameterType::Texture2D) {
        return;
    }
    parameter->SetTexture2D(mr_TextureRecord_->Texture);
}

void VexilTextureSemanticHandler::Reset(IShader* /*shader*/) {}

const std::string& VexilTextureSemanticHandler::GetSemantic() { return mr_Semantic; }
