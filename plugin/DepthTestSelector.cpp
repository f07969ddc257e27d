#include "DepthTestSelector.h"

#include "IShader.h"

#include <d3dx9.h>

PassResult DepthTestSelector::Apply(IShader* shader, D3DXHANDLE pass) {
    ID3DXEffect* lr_Effect_ = shader ? shader->GetEffect() : nullptr;
    if (!lr_Effect_) return PassResult::None;
    // A pass without "Compare" is drawn as any other.
    D3DXHANDLE lr_Compare = lr_Effect_->GetAnnotationByName(pass, "Compare");
    INT lr_Value = 0;
    if (!lr_Compare || FAILED(lr_Effect_->GetInt(lr_Compare, &lr_Value))) return PassResult::None;
    return lr_Value == mr_Wanted ? PassResult::None : PassResult::Skip;
}
