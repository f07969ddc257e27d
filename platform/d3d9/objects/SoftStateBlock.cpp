#include "objects/SoftStateBlock.h"

#include "objects/SoftDevice.h"

#include <algorithm>
#include <cstddef>

namespace {

template <class T>
void CopyValue(T& to, const T& from) {
    to = from;
}

// Constant registers and clip planes are rows of four: copied whole.
template <class T, std::size_t N>
void CopyValue(T (&to)[N], const T (&from)[N]) {
    std::copy(from, from + N, to);
}

// Copies the entries whose mask entry is set.
template <class T, std::size_t N>
void CopyWhere(const bool (&mask)[N], T (&to)[N], const T (&from)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        if (mask[i]) CopyValue(to[i], from[i]);
}

// Per-sampler and per-stage tables: one mask entry per state.
template <class T, std::size_t R, std::size_t N>
void CopyWhere(const bool (&mask)[R][N], T (&to)[R][N], const T (&from)[R][N]) {
    for (std::size_t r = 0; r < R; ++r) CopyWhere(mask[r], to[r], from[r]);
}

}  // namespace

SoftStateBlock::SoftStateBlock(SoftDevice* device, D3DSTATEBLOCKTYPE type)
    : SoftUnknownImpl<IDirect3DStateBlock9>(device, SoftObjectKind::StateBlock, false),
      mr_Values(new SoftDeviceState()),
      mr_Mask(new SoftStateMask()),
      mr_All(type == D3DSBT_ALL) {
    const D3DPRESENT_PARAMETERS& lr_Params = device->PresentParameters();
    mr_Values->SetDefaults(lr_Params.BackBufferWidth, lr_Params.BackBufferHeight,
                           lr_Params.EnableAutoDepthStencil != 0);
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
    CopyWhere(mask.RenderStates, to.RenderStates, from.RenderStates);
    CopyWhere(mask.SamplerStates, to.SamplerStates, from.SamplerStates);
    CopyWhere(mask.Textures, to.Textures, from.Textures);
    CopyWhere(mask.StageStates, to.StageStates, from.StageStates);
    CopyWhere(mask.Streams, to.Streams, from.Streams);
    CopyWhere(mask.StreamFrequency, to.StreamFrequency, from.StreamFrequency);
    if (mask.Indices) to.Indices = from.Indices;
    if (mask.FVF) to.FVF = from.FVF;
    if (mask.Declaration) to.Declaration = from.Declaration;
    if (mask.VertexShader) to.VertexShader = from.VertexShader;
    if (mask.PixelShader) to.PixelShader = from.PixelShader;
    CopyWhere(mask.VertexConstantsF, to.VertexConstantsF, from.VertexConstantsF);
    CopyWhere(mask.VertexConstantsI, to.VertexConstantsI, from.VertexConstantsI);
    CopyWhere(mask.VertexConstantsB, to.VertexConstantsB, from.VertexConstantsB);
    CopyWhere(mask.PixelConstantsF, to.PixelConstantsF, from.PixelConstantsF);
    CopyWhere(mask.PixelConstantsI, to.PixelConstantsI, from.PixelConstantsI);
    CopyWhere(mask.PixelConstantsB, to.PixelConstantsB, from.PixelConstantsB);
    if (mask.Viewport) to.Viewport = from.Viewport;
    if (mask.Scissor) to.Scissor = from.Scissor;
    CopyWhere(mask.Transforms, to.Transforms, from.Transforms);
    CopyWhere(mask.ClipPlanes, to.ClipPlanes, from.ClipPlanes);
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

namespace {

bool InDefaultPool(const SoftObject* object) {
    if (!object) return false;
    SoftLiveObject lr_Desc;
    object->Describe(lr_Desc);
    return lr_Desc.Pool == D3DPOOL_DEFAULT;
}

}  // namespace

bool SoftStateBlock::HoldsDefaultPoolResource() const {
    const SoftDeviceState& lr_Values = *mr_Values;
    for (const auto& lr_Texture : lr_Values.Textures)
        if (InDefaultPool(lr_Texture.Object())) return true;
    for (const auto& lr_Stream : lr_Values.Streams)
        if (InDefaultPool(lr_Stream.Buffer.Object())) return true;
    return InDefaultPool(lr_Values.Indices.Object());
}
