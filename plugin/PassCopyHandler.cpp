#include "PassCopyHandler.h"

#include "IShader.h"

#include <d3dx9.h>

PassResult PassCopyHandler::Apply(IShader* shader, D3DXHANDLE pass) {
    ID3DXEffect* lr_Effect_ = shader ? shader->GetEffect() : nullptr;
    if (!lr_Effect_ || !mr_Copy) return PassResult::None;
    D3DXHANDLE lr_Target = lr_Effect_->GetAnnotationByName(pass, "CopyInto");
    LPCSTR lr_Semantic = nullptr;
    if (lr_Target && SUCCEEDED(lr_Effect_->GetString(lr_Target, &lr_Semantic)) && lr_Semantic && *lr_Semantic)
        mr_Copy(lr_Semantic);
    // The pass is drawn whether or not its copy succeeded: a failed copy is logged.
    return PassResult::None;
}
