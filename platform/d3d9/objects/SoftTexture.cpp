#include "objects/SoftTexture.h"

#include "objects/SoftDevice.h"
#include "pipeline/SoftFormat.h"

#include <memory>

UINT SoftFullChainLength(UINT width, UINT height) {
    UINT lr_Size = width > height ? width : height;
    UINT lr_Levels = 1;
    while (lr_Size > 1) {
        lr_Size >>= 1;
        ++lr_Levels;
    }
    return lr_Levels;
}

namespace {

UINT LevelSize(UINT size, UINT level) {
    UINT lr_Size = size >> level;
    return lr_Size ? lr_Size : 1;
}

D3DSURFACE_DESC LevelDesc(DWORD usage, D3DFORMAT format, D3DPOOL pool, UINT width, UINT height) {
    D3DSURFACE_DESC lr_Desc{};
    lr_Desc.Format = format;
    lr_Desc.Type = D3DRTYPE_SURFACE;
    lr_Desc.Usage = usage;
    lr_Desc.Pool = pool;
    lr_Desc.MultiSampleType = D3DMULTISAMPLE_NONE;
    lr_Desc.Width = width;
    lr_Desc.Height = height;
    return lr_Desc;
}

// The lock of a 2-D or cube texture level: the call is counted first, then
// a missing level or a texture that does not lock fails.
HRESULT LockLevel(SoftDevice* device, SoftSurface* level, bool lockable, D3DLOCKED_RECT* lockedRect, const RECT* rect,
                  DWORD flags) {
    HRESULT hr;
    if (!device->TakeFault(SoftCall::TextureLockRect, &hr)) {
        if (level && lockable) return level->LockUnchecked(lockedRect, rect, flags);
        hr = D3DERR_INVALIDCALL;
    }
    if (lockedRect) lockedRect->pBits = nullptr;
    return hr;
}

}  // namespace

// 2-D textures --------------------------------------------------------------

SoftTexture::SoftTexture(SoftDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                         D3DPOOL pool)
    : SoftBaseTextureImpl<IDirect3DTexture9>(device, SoftObjectKind::Texture, D3DRTYPE_TEXTURE, usage, format, pool,
                                             width, height) {
    // Each level is owned before the next allocation, so that memory running
    // out half-way frees the levels made so far.
    mr_Levels.reserve(levels);
    for (UINT lr_Level = 0; lr_Level < levels; ++lr_Level) {
        D3DSURFACE_DESC lr_Desc =
            LevelDesc(usage, format, pool, LevelSize(width, lr_Level), LevelSize(height, lr_Level));
        std::unique_ptr<SoftSurface> lr_Surface(new SoftSurface(device, SoftSurfaceRole::TextureLevel, lr_Desc,
                                                                Lockable(), this, static_cast<IDirect3DTexture9*>(this),
                                                                false));
        mr_Levels.push_back(std::move(lr_Surface));
    }
}

SoftTexture::~SoftTexture() = default;

HRESULT STDMETHODCALLTYPE SoftTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
    if (!pDesc || Level >= mr_Levels.size()) return D3DERR_INVALIDCALL;
    return mr_Levels[Level]->GetDesc(pDesc);
}

HRESULT STDMETHODCALLTYPE SoftTexture::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) {
    if (!ppSurfaceLevel) return D3DERR_INVALIDCALL;
    *ppSurfaceLevel = nullptr;
    HRESULT hr;
    if (mr_Device_->TakeFault(SoftCall::GetSurfaceLevel, &hr)) return hr;
    if (Level >= mr_Levels.size()) return D3DERR_INVALIDCALL;
    *ppSurfaceLevel = mr_Levels[Level].get();
    mr_Levels[Level]->AddRef();
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftTexture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                                DWORD Flags) {
    return LockLevel(mr_Device_, this->Level(Level), Lockable(), pLockedRect, pRect, Flags);
}

HRESULT STDMETHODCALLTYPE SoftTexture::UnlockRect(UINT Level) {
    HRESULT hr;
    if (mr_Device_->TakeFault(SoftCall::TextureUnlockRect, &hr)) return hr;
    if (Level >= mr_Levels.size()) return D3DERR_INVALIDCALL;
    return mr_Levels[Level]->UnlockRect();
}

HRESULT STDMETHODCALLTYPE SoftTexture::AddDirtyRect(const RECT*) { return D3D_OK; }

// Cube textures -------------------------------------------------------------

SoftCubeTexture::SoftCubeTexture(SoftDevice* device, UINT edge, UINT levels, DWORD usage, D3DFORMAT format,
                                 D3DPOOL pool)
    : SoftBaseTextureImpl<IDirect3DCubeTexture9>(device, SoftObjectKind::CubeTexture, D3DRTYPE_CUBETEXTURE, usage,
                                                 format, pool, edge, edge),
      mr_LevelCount(levels) {
    mr_Surfaces.reserve(6 * static_cast<size_t>(levels));
    for (UINT lr_Face = 0; lr_Face < 6; ++lr_Face) {
        for (UINT lr_Level = 0; lr_Level < levels; ++lr_Level) {
            UINT lr_Size = LevelSize(edge, lr_Level);
            D3DSURFACE_DESC lr_Desc = LevelDesc(usage, format, pool, lr_Size, lr_Size);
            std::unique_ptr<SoftSurface> lr_Surface(new SoftSurface(device, SoftSurfaceRole::TextureLevel, lr_Desc,
                                                                    Lockable(), this,
                                                                    static_cast<IDirect3DCubeTexture9*>(this), false));
            mr_Surfaces.push_back(std::move(lr_Surface));
        }
    }
}

SoftCubeTexture::~SoftCubeTexture() = default;

SoftSurface* SoftCubeTexture::Face(D3DCUBEMAP_FACES face, UINT level) const {
    if (static_cast<UINT>(face) >= 6 || level >= mr_LevelCount) return nullptr;
    return mr_Surfaces[static_cast<UINT>(face) * mr_LevelCount + level].get();
}

HRESULT STDMETHODCALLTYPE SoftCubeTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
    SoftSurface* lr_Surface_ = Face(D3DCUBEMAP_FACE_POSITIVE_X, Level);
    if (!pDesc || !lr_Surface_) return D3DERR_INVALIDCALL;
    return lr_Surface_->GetDesc(pDesc);
}

HRESULT STDMETHODCALLTYPE SoftCubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level,
                                                             IDirect3DSurface9** ppCubeMapSurface) {
    if (!ppCubeMapSurface) return D3DERR_INVALIDCALL;
    *ppCubeMapSurface = nullptr;
    SoftSurface* lr_Surface_ = Face(FaceType, Level);
    if (!lr_Surface_) return D3DERR_INVALIDCALL;
    lr_Surface_->AddRef();
    *ppCubeMapSurface = lr_Surface_;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftCubeTexture::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                                                    const RECT* pRect, DWORD Flags) {
    return LockLevel(mr_Device_, Face(FaceType, Level), Lockable(), pLockedRect, pRect, Flags);
}

HRESULT STDMETHODCALLTYPE SoftCubeTexture::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) {
    HRESULT hr;
    if (mr_Device_->TakeFault(SoftCall::TextureUnlockRect, &hr)) return hr;
    SoftSurface* lr_Surface_ = Face(FaceType, Level);
    return lr_Surface_ ? lr_Surface_->UnlockRect() : D3DERR_INVALIDCALL;
}

HRESULT STDMETHODCALLTYPE SoftCubeTexture::AddDirtyRect(D3DCUBEMAP_FACES, const RECT*) { return D3D_OK; }

// Volume textures -----------------------------------------------------------

SoftVolumeTexture::SoftVolumeTexture(SoftDevice* device, UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                     D3DFORMAT format, D3DPOOL pool)
    : SoftBaseTextureImpl<IDirect3DVolumeTexture9>(device, SoftObjectKind::VolumeTexture, D3DRTYPE_VOLUMETEXTURE, usage,
                                                   format, pool, width, height) {
    for (UINT lr_Level = 0; lr_Level < levels; ++lr_Level) {
        VolumeLevel lr_Volume;
        lr_Volume.Desc = D3DVOLUME_DESC{format,
                                        D3DRTYPE_VOLUME,
                                        usage,
                                        pool,
                                        LevelSize(width, lr_Level),
                                        LevelSize(height, lr_Level),
                                        LevelSize(depth, lr_Level)};
        lr_Volume.RowPitch = SoftRowPitch(format, lr_Volume.Desc.Width);
        lr_Volume.SlicePitch = lr_Volume.RowPitch * SoftRowCount(format, lr_Volume.Desc.Height);
        lr_Volume.Bytes.resize(static_cast<size_t>(lr_Volume.SlicePitch) * lr_Volume.Desc.Depth);
        lr_Volume.Locked = false;
        mr_Levels.push_back(std::move(lr_Volume));
    }
}

HRESULT STDMETHODCALLTYPE SoftVolumeTexture::GetLevelDesc(UINT Level, D3DVOLUME_DESC* pDesc) {
    if (!pDesc || Level >= mr_Levels.size()) return D3DERR_INVALIDCALL;
    *pDesc = mr_Levels[Level].Desc;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftVolumeTexture::GetVolumeLevel(UINT, IDirect3DVolume9** ppVolumeLevel) {
    // Volume levels are not objects here; nothing in this project needs them.
    if (ppVolumeLevel) *ppVolumeLevel = nullptr;
    return D3DERR_NOTAVAILABLE;
}

HRESULT STDMETHODCALLTYPE SoftVolumeTexture::LockBox(UINT Level, D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox,
                                                     DWORD) {
    if (!pLockedVolume) return D3DERR_INVALIDCALL;
    pLockedVolume->pBits = nullptr;
    if (Level >= mr_Levels.size() || !Lockable()) return D3DERR_INVALIDCALL;
    VolumeLevel& lr_Volume = mr_Levels[Level];
    if (lr_Volume.Locked) return D3DERR_INVALIDCALL;
    D3DBOX lr_Box = pBox ? *pBox : D3DBOX{0, 0, lr_Volume.Desc.Width, lr_Volume.Desc.Height, 0, lr_Volume.Desc.Depth};
    if (lr_Box.Left >= lr_Box.Right || lr_Box.Top >= lr_Box.Bottom || lr_Box.Front >= lr_Box.Back ||
        lr_Box.Right > lr_Volume.Desc.Width || lr_Box.Bottom > lr_Volume.Desc.Height ||
        lr_Box.Back > lr_Volume.Desc.Depth)
        return D3DERR_INVALIDCALL;
    SoftFormatInfo lr_Info = SoftGetFormatInfo(lr_Volume.Desc.Format);
    UINT lr_Bpp = lr_Info.BytesPerPixel ? lr_Info.BytesPerPixel : lr_Info.BlockBytes;
    size_t lr_Offset = static_cast<size_t>(lr_Box.Front) * lr_Volume.SlicePitch +
                       static_cast<size_t>(lr_Info.BlockBytes ? lr_Box.Top / 4 : lr_Box.Top) * lr_Volume.RowPitch +
                       static_cast<size_t>(lr_Info.BlockBytes ? lr_Box.Left / 4 : lr_Box.Left) * lr_Bpp;
    lr_Volume.Locked = true;
    pLockedVolume->RowPitch = static_cast<INT>(lr_Volume.RowPitch);
    pLockedVolume->SlicePitch = static_cast<INT>(lr_Volume.SlicePitch);
    pLockedVolume->pBits = lr_Volume.Bytes.data() + lr_Offset;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftVolumeTexture::UnlockBox(UINT Level) {
    if (Level >= mr_Levels.size() || !mr_Levels[Level].Locked) return D3DERR_INVALIDCALL;
    mr_Levels[Level].Locked = false;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftVolumeTexture::AddDirtyBox(const D3DBOX*) { return D3D_OK; }
