#include "DeviceStateSnapshot.h"

#include <cstdio>
#include <iterator>

namespace {

struct NamedState {
    DWORD Code;
    const char* Name;
};

const NamedState k_RenderStates[] = {
    {D3DRS_ZENABLE, "D3DRS_ZENABLE"},
    {D3DRS_ZWRITEENABLE, "D3DRS_ZWRITEENABLE"},
    {D3DRS_ZFUNC, "D3DRS_ZFUNC"},
    {D3DRS_ALPHABLENDENABLE, "D3DRS_ALPHABLENDENABLE"},
    {D3DRS_SRCBLEND, "D3DRS_SRCBLEND"},
    {D3DRS_DESTBLEND, "D3DRS_DESTBLEND"},
    {D3DRS_CULLMODE, "D3DRS_CULLMODE"},
    {D3DRS_COLORWRITEENABLE, "D3DRS_COLORWRITEENABLE"},
    {D3DRS_ALPHATESTENABLE, "D3DRS_ALPHATESTENABLE"},
    {D3DRS_STENCILENABLE, "D3DRS_STENCILENABLE"},
    {D3DRS_LIGHTING, "D3DRS_LIGHTING"},
    {D3DRS_FILLMODE, "D3DRS_FILLMODE"},
    {D3DRS_SCISSORTESTENABLE, "D3DRS_SCISSORTESTENABLE"},
};

const NamedState k_StageStates[] = {
    {D3DTSS_COLOROP, "D3DTSS_COLOROP"},
    {D3DTSS_COLORARG1, "D3DTSS_COLORARG1"},
    {D3DTSS_COLORARG2, "D3DTSS_COLORARG2"},
    {D3DTSS_ALPHAOP, "D3DTSS_ALPHAOP"},
    {D3DTSS_TEXCOORDINDEX, "D3DTSS_TEXCOORDINDEX"},
};

const NamedState k_SamplerStates[] = {
    {D3DSAMP_MINFILTER, "D3DSAMP_MINFILTER"},
    {D3DSAMP_MAGFILTER, "D3DSAMP_MAGFILTER"},
    {D3DSAMP_ADDRESSU, "D3DSAMP_ADDRESSU"},
    {D3DSAMP_ADDRESSV, "D3DSAMP_ADDRESSV"},
};

template <typename Object>
Object* Identity(Object* object) {
    if (object) object->Release();
    return object;
}

std::string Pointer(const void* pointer) {
    char lr_Text[32];
    std::snprintf(lr_Text, sizeof lr_Text, "%p", pointer);
    return lr_Text;
}

std::string Value(DWORD value) {
    char lr_Text[16];
    std::snprintf(lr_Text, sizeof lr_Text, "%lu", static_cast<unsigned long>(value));
    return lr_Text;
}

std::string ViewportText(const D3DVIEWPORT9& v) {
    char lr_Text[96];
    std::snprintf(lr_Text, sizeof lr_Text, "(%lu, %lu, %lux%lu, z %g..%g)", static_cast<unsigned long>(v.X),
                  static_cast<unsigned long>(v.Y), static_cast<unsigned long>(v.Width),
                  static_cast<unsigned long>(v.Height), static_cast<double>(v.MinZ), static_cast<double>(v.MaxZ));
    return lr_Text;
}

}  // namespace

DeviceStateSnapshot DeviceStateSnapshot::Read(IDirect3DDevice9* device) {
    DeviceStateSnapshot lr_State;
    IDirect3DSurface9* lr_Surface_ = nullptr;
    if (SUCCEEDED(device->GetRenderTarget(0, &lr_Surface_))) lr_State.RenderTarget = Identity(lr_Surface_);
    lr_Surface_ = nullptr;
    if (SUCCEEDED(device->GetDepthStencilSurface(&lr_Surface_))) lr_State.DepthStencil = Identity(lr_Surface_);
    IDirect3DBaseTexture9* lr_Texture_ = nullptr;
    if (SUCCEEDED(device->GetTexture(0, &lr_Texture_))) lr_State.Texture0 = Identity(lr_Texture_);
    IDirect3DVertexShader9* lr_VertexShader_ = nullptr;
    if (SUCCEEDED(device->GetVertexShader(&lr_VertexShader_))) lr_State.VertexShader = Identity(lr_VertexShader_);
    IDirect3DPixelShader9* lr_PixelShader_ = nullptr;
    if (SUCCEEDED(device->GetPixelShader(&lr_PixelShader_))) lr_State.PixelShader = Identity(lr_PixelShader_);
    device->GetViewport(&lr_State.Viewport);
    device->GetFVF(&lr_State.Fvf);
    for (const NamedState& lr_Entry : k_RenderStates) {
        DWORD lr_Value = 0xDEADBEEF;
        device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(lr_Entry.Code), &lr_Value);
        lr_State.RenderStates.push_back(lr_Value);
    }
    for (const NamedState& lr_Entry : k_StageStates) {
        DWORD lr_Value = 0xDEADBEEF;
        device->GetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(lr_Entry.Code), &lr_Value);
        lr_State.StageStates.push_back(lr_Value);
    }
    for (const NamedState& lr_Entry : k_SamplerStates) {
        DWORD lr_Value = 0xDEADBEEF;
        device->GetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(lr_Entry.Code), &lr_Value);
        lr_State.SamplerStates.push_back(lr_Value);
    }
    return lr_State;
}

std::vector<std::string> DeviceStateSnapshot::Differences(const DeviceStateSnapshot& after) const {
    std::vector<std::string> lr_Differences;
    auto lr_Compare = [&](const char* name, const void* before, const void* now) {
        if (before != now)
            lr_Differences.push_back(std::string(name) + " was " + Pointer(before) + ", is " + Pointer(now));
    };
    lr_Compare("render target 0", RenderTarget, after.RenderTarget);
    lr_Compare("depth-stencil surface", DepthStencil, after.DepthStencil);
    lr_Compare("texture of stage 0", Texture0, after.Texture0);
    lr_Compare("vertex shader", VertexShader, after.VertexShader);
    lr_Compare("pixel shader", PixelShader, after.PixelShader);
    const D3DVIEWPORT9& a = Viewport;
    const D3DVIEWPORT9& b = after.Viewport;
    if (a.X != b.X || a.Y != b.Y || a.Width != b.Width || a.Height != b.Height || a.MinZ != b.MinZ || a.MaxZ != b.MaxZ)
        lr_Differences.push_back("viewport was " + ViewportText(a) + ", is " + ViewportText(b));
    if (Fvf != after.Fvf) lr_Differences.push_back("FVF was " + Value(Fvf) + ", is " + Value(after.Fvf));
    auto lr_CompareList = [&](const NamedState* names, size_t count, const std::vector<DWORD>& before,
                              const std::vector<DWORD>& now) {
        for (size_t i = 0; i < count && i < before.size() && i < now.size(); ++i)
            if (before[i] != now[i])
                lr_Differences.push_back(std::string(names[i].Name) + " was " + Value(before[i]) + ", is " +
                                         Value(now[i]));
    };
    lr_CompareList(k_RenderStates, std::size(k_RenderStates), RenderStates, after.RenderStates);
    lr_CompareList(k_StageStates, std::size(k_StageStates), StageStates, after.StageStates);
    lr_CompareList(k_SamplerStates, std::size(k_SamplerStates), SamplerStates, after.SamplerStates);
    return lr_Differences;
}
