#include "SceneRenderer.h"

#include <algorithm>
#include <cmath>

namespace {

bool Check(HRESULT hr, const char* call, std::string& error) {
    if (SUCCEEDED(hr)) return true;
    error = std::string(call) + " failed";
    return false;
}

}  // namespace

bool DrawScene(IDirect3DDevice9* device, const SceneCamera& camera, const std::vector<SceneVertex>& mesh,
               std::string& error, int depthNudge) {
    D3DVIEWPORT9 lr_Viewport;
    if (!Check(device->GetViewport(&lr_Viewport), "GetViewport", error)) return false;
    const double lr_Aspect = static_cast<double>(lr_Viewport.Width) / std::max<DWORD>(1, lr_Viewport.Height);
    const D3DMATRIX lr_World = {{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};
    const D3DMATRIX lr_View = camera.View();
    D3DMATRIX lr_Projection = camera.Projection(lr_Aspect);
    // z_clip gains a multiple of w_clip (the view depth): screen depth moves by the same amount everywhere.
    for (int i = 0; i < depthNudge; ++i) lr_Projection._33 = std::nextafter(lr_Projection._33, 2.0f);
    for (int i = 0; i > depthNudge; --i) lr_Projection._33 = std::nextafter(lr_Projection._33, 0.0f);
    if (!Check(device->SetTransform(D3DTS_WORLD, &lr_World), "SetTransform(WORLD)", error) ||
        !Check(device->SetTransform(D3DTS_VIEW, &lr_View), "SetTransform(VIEW)", error) ||
        !Check(device->SetTransform(D3DTS_PROJECTION, &lr_Projection), "SetTransform(PROJECTION)", error))
        return false;
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ZFUNC, camera.ReversedDepth ? D3DCMP_GREATEREQUAL : D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device->SetPixelShader(nullptr);
    device->SetVertexShader(nullptr);
    if (!Check(device->SetFVF(kSceneVertexFvf), "SetFVF", error) ||
        !Check(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kSkyColour,
                             camera.ReversedDepth ? 0.0f : 1.0f, 0),
               "Clear", error) ||
        !Check(device->BeginScene(), "BeginScene", error))
        return false;
    // Batches of a size every Direct3D 9 device accepts.
    const size_t lr_Batch = 3 * 20000;
    bool lr_Ok = true;
    for (size_t lr_First = 0; lr_Ok && lr_First < mesh.size(); lr_First += lr_Batch) {
        const size_t lr_Count = std::min(lr_Batch, mesh.size() - lr_First) / 3;
        lr_Ok = Check(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(lr_Count), &mesh[lr_First],
                                              sizeof(SceneVertex)),
                      "DrawPrimitiveUP", error);
    }
    device->EndScene();
    if (!camera.LeavesProjection) {
        // What a host that draws with vertex shaders leaves behind.
        const D3DMATRIX lr_Identity = {{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};
        device->SetTransform(D3DTS_PROJECTION, &lr_Identity);
    }
    return lr_Ok;
}
