#include "HostScene.h"

namespace {

struct HostVertex {
    float X, Y, Z, Rhw;
    D3DCOLOR Colour;
};
const DWORD k_HostFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

}  // namespace

bool HostScene::Create(IDirect3DDevice9* device) {
    if (FAILED(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &mr_Texture_, nullptr))) {
        mr_Texture_ = nullptr;
        return false;
    }
    return true;
}

void HostScene::Release() {
    if (mr_Texture_) mr_Texture_->Release();
    mr_Texture_ = nullptr;
}

void HostScene::ApplyState(IDirect3DDevice9* device, UINT targetWidth, UINT targetHeight, UINT inset) {
    D3DVIEWPORT9 lr_Viewport = {inset, inset, targetWidth - 2 * inset, targetHeight - 2 * inset, 0.0f, 1.0f};
    device->SetViewport(&lr_Viewport);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_COLORWRITEENABLE,
                           D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_GREEN | D3DCOLORWRITEENABLE_BLUE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    device->SetFVF(k_HostFvf);
    device->SetTexture(0, mr_Texture_);
    // The texture is bound but the colour comes from the vertices.
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
}

void HostScene::Draw(IDirect3DDevice9* device, UINT targetWidth, UINT targetHeight, D3DCOLOR clearColour) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clearColour, 1.0f, 0);
    const float w = static_cast<float>(targetWidth);
    const float h = static_cast<float>(targetHeight);
    // Three overlapping triangles, the far one first: the depth test decides.
    const HostVertex lr_Vertices[] = {
        {0.10f * w, 0.90f * h, 0.8f, 1.0f, D3DCOLOR_ARGB(255, 40, 80, 200)},
        {0.50f * w, 0.10f * h, 0.8f, 1.0f, D3DCOLOR_ARGB(255, 40, 80, 200)},
        {0.90f * w, 0.90f * h, 0.8f, 1.0f, D3DCOLOR_ARGB(255, 40, 80, 200)},
        {0.20f * w, 0.20f * h, 0.2f, 1.0f, D3DCOLOR_ARGB(255, 220, 60, 40)},
        {0.60f * w, 0.20f * h, 0.2f, 1.0f, D3DCOLOR_ARGB(255, 220, 60, 40)},
        {0.40f * w, 0.70f * h, 0.2f, 1.0f, D3DCOLOR_ARGB(255, 220, 60, 40)},
        {0.45f * w, 0.30f * h, 0.5f, 1.0f, D3DCOLOR_ARGB(255, 60, 200, 80)},
        {0.85f * w, 0.35f * h, 0.5f, 1.0f, D3DCOLOR_ARGB(255, 60, 200, 80)},
        {0.55f * w, 0.80f * h, 0.5f, 1.0f, D3DCOLOR_ARGB(255, 60, 200, 80)},
    };
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 3, lr_Vertices, sizeof(HostVertex));
}
