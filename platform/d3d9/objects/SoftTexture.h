// 2-D and cube textures: chains of level surfaces with real memory.
#pragma once

#include "objects/SoftObject.h"
#include "objects/SoftSurface.h"

#include <memory>
#include <vector>

// Number of levels of a full chain down to 1x1.
UINT SoftFullChainLength(UINT width, UINT height);

template <class I>
class SoftBaseTextureImpl : public SoftResourceImpl<I> {
public:
    SoftBaseTextureImpl(SoftDevice* device, SoftObjectKind kind, D3DRESOURCETYPE type, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, UINT width, UINT height)
        : SoftResourceImpl<I>(device, kind, false, type),
          mr_Usage(usage),
          mr_Format(format),
          mr_Pool(pool),
          mr_Width(width),
          mr_Height(height),
          mr_LOD(0),
          mr_AutoGenFilter(D3DTEXF_LINEAR) {}

    DWORD STDMETHODCALLTYPE SetLOD(DWORD LODNew) override {
        // Only managed textures have a level of detail.
        if (mr_Pool != D3DPOOL_MANAGED) return 0;
        DWORD lr_Old = mr_LOD;
        DWORD lr_Levels = this->GetLevelCount();
        mr_LOD = LODNew < lr_Levels ? LODNew : lr_Levels - 1;
        return lr_Old;
    }
    DWORD STDMETHODCALLTYPE GetLOD() override { return mr_LOD; }
    HRESULT STDMETHODCALLTYPE SetAutoGenFilterType(D3DTEXTUREFILTERTYPE FilterType) override {
        if (FilterType == D3DTEXF_NONE) return D3DERR_INVALIDCALL;
        mr_AutoGenFilter = FilterType;
        return D3D_OK;
    }
    D3DTEXTUREFILTERTYPE STDMETHODCALLTYPE GetAutoGenFilterType() override { return mr_AutoGenFilter; }
    void STDMETHODCALLTYPE GenerateMipSubLevels() override {}

    void Describe(SoftLiveObject& object) const override {
        SoftObject::Describe(object);
        object.Pool = mr_Pool;
        object.Usage = mr_Usage;
        object.Format = mr_Format;
        object.Width = mr_Width;
        object.Height = mr_Height;
    }

    DWORD Usage() const { return mr_Usage; }
    D3DFORMAT Format() const { return mr_Format; }
    D3DPOOL Pool() const { return mr_Pool; }
    // Default-pool textures lock only when dynamic.
    bool Lockable() const { return mr_Pool != D3DPOOL_DEFAULT || (mr_Usage & D3DUSAGE_DYNAMIC); }

protected:
    DWORD mr_Usage;
    D3DFORMAT mr_Format;
    D3DPOOL mr_Pool;
    UINT mr_Width;
    UINT mr_Height;
    DWORD mr_LOD;
    D3DTEXTUREFILTERTYPE mr_AutoGenFilter;
};

class SoftTexture final : public SoftBaseTextureImpl<IDirect3DTexture9> {
public:
    SoftTexture(SoftDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~SoftTexture() override;

    DWORD STDMETHODCALLTYPE GetLevelCount() override { return static_cast<DWORD>(mr_Levels.size()); }
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
    HRESULT STDMETHODCALLTYPE LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                       DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT Level) override;
    HRESULT STDMETHODCALLTYPE AddDirtyRect(const RECT* pDirtyRect) override;

    SoftSurface* Level(UINT level) const { return level < mr_Levels.size() ? mr_Levels[level].get() : nullptr; }

protected:
    bool AnswersResource(REFIID riid) const override {
        return riid == IID_IDirect3DBaseTexture9 || riid == IID_IDirect3DTexture9;
    }

private:
    std::vector<std::unique_ptr<SoftSurface>> mr_Levels;
};

class SoftCubeTexture final : public SoftBaseTextureImpl<IDirect3DCubeTexture9> {
public:
    SoftCubeTexture(SoftDevice* device, UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~SoftCubeTexture() override;

    DWORD STDMETHODCALLTYPE GetLevelCount() override { return mr_LevelCount; }
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level,
                                                IDirect3DSurface9** ppCubeMapSurface) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                                       const RECT* pRect, DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) override;
    HRESULT STDMETHODCALLTYPE AddDirtyRect(D3DCUBEMAP_FACES FaceType, const RECT* pDirtyRect) override;

protected:
    bool AnswersResource(REFIID riid) const override { return riid == IID_IDirect3DBaseTexture9; }

private:
    SoftSurface* Face(D3DCUBEMAP_FACES face, UINT level) const;

    UINT mr_LevelCount;
    std::vector<std::unique_ptr<SoftSurface>> mr_Surfaces;  // face-major
};

// Volume textures hold their memory and lock by box; their levels are not
// handed out as objects.
class SoftVolumeTexture final : public SoftBaseTextureImpl<IDirect3DVolumeTexture9> {
public:
    SoftVolumeTexture(SoftDevice* device, UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                      D3DFORMAT format, D3DPOOL pool);

    DWORD STDMETHODCALLTYPE GetLevelCount() override { return static_cast<DWORD>(mr_Levels.size()); }
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT Level, D3DVOLUME_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetVolumeLevel(UINT Level, IDirect3DVolume9** ppVolumeLevel) override;
    HRESULT STDMETHODCALLTYPE LockBox(UINT Level, D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox,
                                      DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE UnlockBox(UINT Level) override;
    HRESULT STDMETHODCALLTYPE AddDirtyBox(const D3DBOX* pDirtyBox) override;

protected:
    bool AnswersResource(REFIID riid) const override { return riid == IID_IDirect3DBaseTexture9; }

private:
    struct VolumeLevel {
        D3DVOLUME_DESC Desc;
        UINT RowPitch;
        UINT SlicePitch;
        std::vector<BYTE> Bytes;
        bool Locked;
    };
    std::vector<VolumeLevel> mr_Levels;
};
