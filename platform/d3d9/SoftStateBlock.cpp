#include "SoftStateBlock.h"

#include "SoftDevice.h"

#include <cstring>

SoftStateBlock::SoftStateBlock(SoftDevice* device, D3DSTATEBLOCKTYPE type)
    : SoftUnknownImpl<IDirect3DStateBlock9>(device, SoftObjectKind::StateBlock, false),
      mr_Values(new SoftDeviceState()),
      mr_Mask(new SoftStateMask()),
      mr_All(type == D3DSBT_ALL) {
    const D3DPRESENT_PARAMETERS& lr_Params = device->PresentParameters();
    mr_Values->SetDefaults(lr_Params.BackBufferWidth, lr_Params.BackBufferHeight, lr_Params.EnableAutoDepthStencil != 0);
    switch (type) {
    case D3DSBT_ALL: mr_Mask->SetAll(); break;
    case D3DSBT_PIXELSTATE: mr_Mask->SetPixelState(); break;
    case D3DSBT_VERTEXSTATE: mr_Mask->SetVertexState(); break;
    default: mr_Mask->Clear(); break;  // recorded blocks start empty
    }
}

HRESULT STDMETHODCALLTYPE SoftStateBlock::Capture() {
    HRESULT hr;
    if (mr_Device_->TakeFault(SoftCall::StateBlockCapture, &hr)) return hr;
    CaptureState();
    return D3D_OK;
}

void SoftStateBlock::CaptureState() {
    if (mr_All) {
        // The whole state: one assignment, no allocation once the light list has room.
        *mr_Values = mr_Device_->State();
    } else {
        CopyMasked(*mr_Values, mr_Device_->State(), *mr_Mask);
    }
}

HRESULT STDMETHODCALLTYPE SoftStateBlock::Apply() {
    HRESULT hr;
    if (mr_Device_->TakeFault(SoftCall::StateBlockApply, &hr)) return hr;
    if (mr_All) {
        mr_Device_->State() = *mr_Values;
    } else {
        CopyMasked(mr_Device_->State(), *mr_Values, *mr_Mask);
    }
    return D3D_OK;
}

void SoftStateBlock::CopyMasked(SoftDeviceState& to, const SoftDeviceState& from, const SoftStateMask& mask) {
    for (UINT i = 0; i < SOFT_RENDER_STATES; ++i)
        if (mask.RenderStates[i]) to.RenderStates[i] = from.RenderStates[i];
    for (UINT s = 0; s < SOFT_SAMPLERS; ++s) {
        for (UINT i = 0; i < SOFT_SAMPLER_STATES; ++i)
            if (mask.SamplerStates[s][i]) to.SamplerStates[s][i] = from.SamplerStates[s][i];
        if (mask.Textures[s]) to.Textures[s] = from.Textures[s];
    }
    for (UINT t = 0; t < SOFT_TEXTURE_STAGES; ++t)
        for (UINT i = 0; i < SOFT_STAGE_STATES; ++i)
            if (mask.StageStates[t][i]) to.StageStates[t][i] = from.StageStates[t][i];
    for (UINT i = 0; i < SOFT_STREAMS; ++i) {
        if (mask.Streams[i]) to.Streams[i] = from.Streams[i];
        if (mask.StreamFrequency[i]) to.StreamFrequency[i] = from.StreamFrequency[i];
    }
    if (mask.Indices) to.Indices = from.Indices;
    if (mask.FVF) to.FVF = from.FVF;
    if (mask.Declaration) to.Declaration = from.Declaration;
    if (mask.VertexShader) to.VertexShader = from.VertexShader;
    if (mask.PixelShader) to.PixelShader = from.PixelShader;
    for (UINT i = 0; i < SOFT_VS_CONSTANTS_F; ++i)
        if (mask.VertexConstantsF[i]) std::memcpy(to.VertexConstantsF[i], from.VertexConstantsF[i], sizeof(float) * 4);
    for (UINT i = 0; i < SOFT_PS_CONSTANTS_F; ++i)
        if (mask.PixelConstantsF[i]) std::memcpy(to.PixelConstantsF[i], from.PixelConstantsF[i], sizeof(float) * 4);
    for (UINT i = 0; i < SOFT_CONSTANTS_I; ++i) {
        if (mask.VertexConstantsI[i]) std::memcpy(to.VertexConstantsI[i], from.VertexConstantsI[i], sizeof(int) * 4);
        if (mask.PixelConstantsI[i]) std::memcpy(to.PixelConstantsI[i], from.PixelConstantsI[i], sizeof(int) * 4);
    }
    for (UINT i = 0; i < SOFT_CONSTANTS_B; ++i) {
        if (mask.VertexConstantsB[i]) to.VertexConstantsB[i] = from.VertexConstantsB[i];
        if (mask.PixelConstantsB[i]) to.PixelConstantsB[i] = from.PixelConstantsB[i];
    }
    if (mask.Viewport) to.Viewport = from.Viewport;
    if (mask.Scissor) to.Scissor = from.Scissor;
    for (UINT i = 0; i < SOFT_TRANSFORMS; ++i)
        if (mask.Transforms[i]) to.Transforms[i] = from.Transforms[i];
    for (UINT i = 0; i < SOFT_CLIP_PLANES; ++i)
        if (mask.ClipPlanes[i]) std::memcpy(to.ClipPlanes[i], from.ClipPlanes[i], sizeof(float) * 4);
    if (mask.Material) to.Material = from.Material;
    if (mask.AllLights) {
        to.Lights = from.Lights;
    } else {
        for (DWORD lr_Index : mask.LightIndices) {
            SoftLight* lr_From = const_cast<SoftDeviceState&>(from).FindLight(lr_Index);
            if (lr_From) to.LightAt(lr_Index) = *lr_From;
        }
    }
    if (mask.NPatchMode) to.NPatchMode = from.NPatchMode;
}
