// Creation of the device's objects and access to render targets and swap chains.
#include "objects/SoftBuffer.h"
#include "objects/SoftDevice.h"
#include "objects/SoftDirect3D9.h"
#include "objects/SoftNoThrow.h"
#include "pipeline/SoftFormat.h"
#include "objects/SoftShader.h"
#include "objects/SoftStateBlock.h"
#include "objects/SoftSurface.h"
#include "objects/SoftSwapChain.h"
#include "objects/SoftTexture.h"

#include <new>
#include <type_traits>

namespace {

bool ValidPool(D3DPOOL pool) { return pool >= D3DPOOL_DEFAULT && pool <= D3DPOOL_SCRATCH; }

bool HasMemoryLayout(D3DFORMAT format) {
    SoftFormatInfo lr_Info = SoftGetFormatInfo(format);
    return lr_Info.BytesPerPixel != 0 || lr_Info.BlockBytes != 0;
}

// What a creation returns when memory runs out: video memory for the default pool.
HRESULT OutOfMemory(D3DPOOL pool) { return pool == D3DPOOL_DEFAULT ? D3DERR_OUTOFVIDEOMEMORY : E_OUTOFMEMORY; }

// The new object gets its first public reference (and so a reference on the device).
template <class I, class T>
HRESULT HandOut(T* object, I** out) {
    object->PublicAddRef();
    *out = object;
    return D3D_OK;
}

// Either kind of buffer: length, usage, pool and format rules, then the new object.
template <class T, class I>
HRESULT CreateBuffer(SoftDevice* device, SoftCall call, const typename T::Desc& desc, HANDLE* sharedHandle, I** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    HRESULT hr;
    if (device->TakeFault(call, &hr)) return hr;
    if (sharedHandle || desc.Size == 0 || !ValidPool(desc.Pool)) return D3DERR_INVALIDCALL;
    if (!SoftBufferKind<I>::ValidFormat(desc.Format)) return D3DERR_INVALIDCALL;
    if (desc.Usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return D3DERR_INVALIDCALL;
    if ((desc.Usage & D3DUSAGE_DYNAMIC) && desc.Pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    // The object's memory (pixels, bytes) is allocated in its constructor.
    return SoftNoThrow(OutOfMemory(desc.Pool), [&] {
        T* lr_Buffer_ = new T(device, desc);
        return HandOut(lr_Buffer_, out);
    });
}

// Either kind of shader, checked against the version the caps report for it.
template <class T, class I>
HRESULT CreateShader(SoftDevice* device, SoftCall call, const DWORD* function, I** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    HRESULT hr;
    if (device->TakeFault(call, &hr)) return hr;
    const bool lr_Pixel = std::is_same<I, IDirect3DPixelShader9>::value;
    D3DCAPS9 lr_Caps;
    device->FillCaps(&lr_Caps);
    // Decoding allocates too.
    return SoftNoThrow(E_OUTOFMEMORY, [&] {
        SoftShaderCode lr_Code;
        const HRESULT lr_Parsed = SoftParseShader(
            function, lr_Pixel, lr_Pixel ? lr_Caps.PixelShaderVersion : lr_Caps.VertexShaderVersion, &lr_Code);
        if (FAILED(lr_Parsed)) return lr_Parsed;
        T* lr_Shader_ = new T(device, std::move(lr_Code));
        return HandOut(lr_Shader_, out);
    });
}

}  // namespace

static bool IsPowerOfTwo(UINT value) { return (value & (value - 1)) == 0; }

// What the adapter's texture caps allow a 2D texture (levels 0: the full chain).
static HRESULT CheckTextureCaps(const SoftDevice& device, UINT width, UINT height, UINT* levels) {
    D3DCAPS9 lr_Caps;
    device.FillCaps(&lr_Caps);
    if (width > lr_Caps.MaxTextureWidth || height > lr_Caps.MaxTextureHeight) return D3DERR_INVALIDCALL;
    if ((lr_Caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) && width != height) return D3DERR_INVALIDCALL;
    if (!(lr_Caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP)) {
        // The full chain of a part without mipmaps is its one level.
        if (*levels == 0) *levels = 1;
        if (*levels > 1) return D3DERR_INVALIDCALL;
    }
    if ((lr_Caps.TextureCaps & D3DPTEXTURECAPS_POW2) && !(IsPowerOfTwo(width) && IsPowerOfTwo(height))) {
        // Conditionally: without mipmaps, and a full chain of such a size has more than one level.
        if (!(lr_Caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) || *levels != 1) return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

// Texture usage and pool rules shared by the texture kinds. Levels: 0 asks
// for the full chain; more than the full chain is refused.
static HRESULT CheckTextureRequest(const SoftDirect3D9& d3d, UINT width, UINT height, UINT* levels, DWORD usage,
                                   D3DFORMAT format, D3DPOOL pool) {
    if (width == 0 || height == 0 || width > 8192 || height > 8192) return D3DERR_INVALIDCALL;
    if (!ValidPool(pool) || !HasMemoryLayout(format)) return D3DERR_INVALIDCALL;
    SoftFormatInfo lr_Info = SoftGetFormatInfo(format);
    if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && (usage & D3DUSAGE_DEPTHSTENCIL)) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && !d3d.IsRenderTargetFormat(format)) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_DEPTHSTENCIL) && !lr_Info.Depth) return D3DERR_INVALIDCALL;
    // Depth formats serve only as depth-stencil textures, and only the
    // sampling formats at that.
    if (lr_Info.Depth && (!(usage & D3DUSAGE_DEPTHSTENCIL) || !lr_Info.FourCC)) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    if (lr_Info.BlockBytes && ((width % 4) || (height % 4))) return D3DERR_INVALIDCALL;
    UINT lr_Full = SoftFullChainLength(width, height);
    if (*levels > lr_Full) return D3DERR_INVALIDCALL;
    if (usage & D3DUSAGE_AUTOGENMIPMAP) {
        if (pool == D3DPOOL_SYSTEMMEM || *levels > 1) return D3DERR_INVALIDCALL;
        // The runtime keeps the sub-levels to itself.
        *levels = 1;
    } else if (*levels == 0) {
        *levels = lr_Full;
    }
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                                    D3DPOOL Pool, IDirect3DTexture9** ppTexture,
                                                    HANDLE* pSharedHandle) {
    NoteCall();
    if (!ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    HRESULT hr;
    if (TakeFault(SoftCall::CreateTexture, &hr)) return hr;
    if (pSharedHandle) return D3DERR_INVALIDCALL;  // shared resources are a 9Ex feature
    hr = CheckTextureCaps(*this, Width, Height, &Levels);
    if (FAILED(hr)) return hr;
    hr = CheckTextureRequest(*mr_Direct3D_, Width, Height, &Levels, Usage, Format, Pool);
    if (FAILED(hr)) return hr;
    // The object's memory (pixels, bytes) is allocated in its constructor.
    return SoftNoThrow(OutOfMemory(Pool), [&] {
        SoftTexture* lr_Texture_ = new SoftTexture(this, Width, Height, Levels, Usage, Format, Pool);
        return HandOut(lr_Texture_, ppTexture);
    });
}

HRESULT STDMETHODCALLTYPE SoftDevice::CreateVolumeTexture(UINT Width, UINT Height, UINT Depth, UINT Levels, DWORD Usage,
                                                          D3DFORMAT Format, D3DPOOL Pool,
                                                          IDirect3DVolumeTexture9** ppVolumeTexture,
                                                          HANDLE* pSharedHandle) {
    NoteCall();
    if (!ppVolumeTexture) return D3DERR_INVALIDCALL;
    *ppVolumeTexture = nullptr;
    HRESULT hr;
    if (TakeFault(SoftCall::CreateVolumeTexture, &hr)) return hr;
    if (pSharedHandle || Depth == 0 || Depth > 2048) return D3DERR_INVALIDCALL;
    if (Usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return D3DERR_INVALIDCALL;
    UINT lr_Levels = Levels;
    UINT lr_Largest = Width > Height ? Width : Height;
    if (Depth > lr_Largest) lr_Largest = Depth;
    hr = CheckTextureRequest(*mr_Direct3D_, lr_Largest, 1, &lr_Levels, Usage, Format, Pool);
    if (FAILED(hr) || Width == 0 || Height == 0) return D3DERR_INVALIDCALL;
    // The object's memory (pixels, bytes) is allocated in its constructor.
    return SoftNoThrow(OutOfMemory(Pool), [&] {
        SoftVolumeTexture* lr_Texture_ =
            new SoftVolumeTexture(this, Width, Height, Depth, lr_Levels, Usage, Format, Pool);
        return HandOut(lr_Texture_, ppVolumeTexture);
    });
}

HRESULT STDMETHODCALLTYPE SoftDevice::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                                        D3DPOOL Pool, IDirect3DCubeTexture9** ppCubeTexture,
                                                        HANDLE* pSharedHandle) {
    NoteCall();
    if (!ppCubeTexture) return D3DERR_INVALIDCALL;
    *ppCubeTexture = nullptr;
    HRESULT hr;
    if (TakeFault(SoftCall::CreateCubeTexture, &hr)) return hr;
    if (pSharedHandle || (Usage & D3DUSAGE_DEPTHSTENCIL)) return D3DERR_INVALIDCALL;
    hr = CheckTextureRequest(*mr_Direct3D_, EdgeLength, EdgeLength, &Levels, Usage, Format, Pool);
    if (FAILED(hr)) return hr;
    // The object's memory (pixels, bytes) is allocated in its constructor.
    return SoftNoThrow(OutOfMemory(Pool), [&] {
        SoftCubeTexture* lr_Texture_ = new SoftCubeTexture(this, EdgeLength, Levels, Usage, Format, Pool);
        return HandOut(lr_Texture_, ppCubeTexture);
    });
}

HRESULT STDMETHODCALLTYPE SoftDevice::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                                         IDirect3DVertexBuffer9** ppVertexBuffer,
                                                         HANDLE* pSharedHandle) {
    NoteCall();
    return CreateBuffer<SoftVertexBuffer>(this, SoftCall::CreateVertexBuffer,
                                          {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, Usage, Pool, Length, FVF},
                                          pSharedHandle, ppVertexBuffer);
}

HRESULT STDMETHODCALLTYPE SoftDevice::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                        IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
    NoteCall();
    return CreateBuffer<SoftIndexBuffer>(this, SoftCall::CreateIndexBuffer,
                                         {Format, D3DRTYPE_INDEXBUFFER, Usage, Pool, Length}, pSharedHandle,
                                         ppIndexBuffer);
}

HRESULT STDMETHODCALLTYPE SoftDevice::CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format,
                                                         D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality,
                                                         BOOL Lockable, IDirect3DSurface9** ppSurface,
                                                         HANDLE* pSharedHandle) {
    NoteCall();
    if (!ppSurface) return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    HRESULT hr;
    if (TakeFault(SoftCall::CreateRenderTarget, &hr)) return hr;
    if (pSharedHandle || Width == 0 || Height == 0 || Width > 8192 || Height > 8192) return D3DERR_INVALIDCALL;
    if (!mr_Direct3D_->IsRenderTargetFormat(Format)) return D3DERR_INVALIDCALL;
    if (mr_Direct3D_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, Format, TRUE, MultiSample, nullptr) != D3D_OK)
        return D3DERR_INVALIDCALL;
    if (MultiSample != D3DMULTISAMPLE_NONE && Lockable) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC lr_Desc{
        Format, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, MultiSample, MultisampleQuality, Width,
        Height};
    // The object's memory (pixels, bytes) is allocated in its constructor.
    return SoftNoThrow(OutOfMemory(D3DPOOL_DEFAULT), [&] {
        SoftSurface* lr_Surface_ =
            new SoftSurface(this, SoftSurfaceRole::RenderTarget, lr_Desc, Lockable != FALSE, nullptr, nullptr, false);
        return HandOut(lr_Surface_, ppSurface);
    });
}

HRESULT STDMETHODCALLTYPE SoftDevice::CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                                                D3DMULTISAMPLE_TYPE MultiSample,
                                                                DWORD MultisampleQuality, BOOL,
                                                                IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
    NoteCall();
    if (!ppSurface) return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    HRESULT hr;
    if (TakeFault(SoftCall::CreateDepthStencilSurface, &hr)) return hr;
    if (pSharedHandle || Width == 0 || Height == 0 || Width > 8192 || Height > 8192) return D3DERR_INVALIDCALL;
    SoftFormatInfo lr_Info = SoftGetFormatInfo(Format);
    if (!lr_Info.Depth || lr_Info.BytesPerPixel == 0) return D3DERR_INVALIDCALL;
    if (mr_Direct3D_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, Format, TRUE, MultiSample, nullptr) != D3D_OK)
        return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC lr_Desc{
        Format, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, MultiSample, MultisampleQuality, Width,
        Height};
    // The object's memory (pixels, bytes) is allocated in its constructor.
    return SoftNoThrow(OutOfMemory(D3DPOOL_DEFAULT), [&] {
        SoftSurface* lr_Surface_ = new SoftSurface(this, SoftSurfaceRole::DepthStencil, lr_Desc, lr_Info.LockableDepth,
                                                   nullptr, nullptr, false);
        return HandOut(lr_Surface_, ppSurface);
    });
}

HRESULT STDMETHODCALLTYPE SoftDevice::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                                                  D3DPOOL Pool, IDirect3DSurface9** ppSurface,
                                                                  HANDLE* pSharedHandle) {
    NoteCall();
    if (!ppSurface) return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    HRESULT hr;
    if (TakeFault(SoftCall::CreateOffscreenPlainSurface, &hr)) return hr;
    if (pSharedHandle || Width == 0 || Height == 0 || Width > 8192 || Height > 8192) return D3DERR_INVALIDCALL;
    // Managed off-screen surfaces do not exist.
    if (!ValidPool(Pool) || Pool == D3DPOOL_MANAGED || !HasMemoryLayout(Format)) return D3DERR_INVALIDCALL;
    SoftFormatInfo lr_Info = SoftGetFormatInfo(Format);
    if (lr_Info.Depth) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC lr_Desc{Format, D3DRTYPE_SURFACE, 0, Pool, D3DMULTISAMPLE_NONE, 0, Width, Height};
    // The object's memory (pixels, bytes) is allocated in its constructor.
    return SoftNoThrow(OutOfMemory(Pool), [&] {
        SoftSurface* lr_Surface_ =
            new SoftSurface(this, SoftSurfaceRole::OffscreenPlain, lr_Desc, true, nullptr, nullptr, false);
        return HandOut(lr_Surface_, ppSurface);
    });
}

// Swap chains ------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE SoftDevice::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* pPresentationParameters,
                                                                IDirect3DSwapChain9** pSwapChain) {
    NoteCall();
    if (!pSwapChain) return D3DERR_INVALIDCALL;
    *pSwapChain = nullptr;
    HRESULT hr;
    if (TakeFault(SoftCall::CreateAdditionalSwapChain, &hr)) return hr;
    if (!pPresentationParameters) return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS lr_Params = *pPresentationParameters;
    hr = NormalizePresentParameters(lr_Params);
    if (FAILED(hr)) return hr;
    *pPresentationParameters = lr_Params;
    // The object's memory (pixels, bytes) is allocated in its constructor.
    return SoftNoThrow(E_OUTOFMEMORY, [&] {
        SoftSwapChain* lr_Chain_ = new SoftSwapChain(this, lr_Params, false);
        return HandOut(lr_Chain_, pSwapChain);
    });
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetSwapChain(UINT iSwapChain, IDirect3DSwapChain9** pSwapChain) {
    NoteCall();
    if (!pSwapChain) return D3DERR_INVALIDCALL;
    *pSwapChain = nullptr;
    HRESULT hr;
    if (TakeFault(SoftCall::GetSwapChain, &hr)) return hr;
    if (iSwapChain >= mr_SwapChains.size()) return D3DERR_INVALIDCALL;
    *pSwapChain = mr_SwapChains[iSwapChain].Get();
    (*pSwapChain)->AddRef();
    return D3D_OK;
}

UINT STDMETHODCALLTYPE SoftDevice::GetNumberOfSwapChains() {
    NoteCall();
    return static_cast<UINT>(mr_SwapChains.size());
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                                    IDirect3DSurface9** ppBackBuffer) {
    NoteCall();
    if (!ppBackBuffer) return D3DERR_INVALIDCALL;
    *ppBackBuffer = nullptr;
    SoftSwapChain* lr_Chain_ = ImplicitSwapChain(iSwapChain);
    if (!lr_Chain_) {
        HRESULT hr;
        if (TakeFault(SoftCall::GetBackBuffer, &hr)) return hr;
        return D3DERR_INVALIDCALL;
    }
    return lr_Chain_->GetBackBuffer(iBackBuffer, Type, ppBackBuffer);
}

// Render targets and depth-stencil ---------------------------------------------

HRESULT STDMETHODCALLTYPE SoftDevice::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) {
    NoteCall();
    HRESULT hr;
    if (TakeFault(SoftCall::SetRenderTarget, &hr)) return hr;
    if (RenderTargetIndex >= SOFT_RENDER_TARGETS) return D3DERR_INVALIDCALL;
    if (!pRenderTarget) {
        // Render target 0 can never be unset.
        if (RenderTargetIndex == 0) return D3DERR_INVALIDCALL;
        mr_RenderTargets[RenderTargetIndex].Reset();
        return D3D_OK;
    }
    SoftSurface* lr_Surface_ = OwnSurface(pRenderTarget);
    if (!lr_Surface_ || !lr_Surface_->IsRenderTarget()) return D3DERR_INVALIDCALL;
    mr_RenderTargets[RenderTargetIndex].Reset(pRenderTarget, lr_Surface_);
    if (RenderTargetIndex == 0) {
        // Render target 0 resets the viewport and the scissor rectangle to its size.
        const D3DSURFACE_DESC& lr_Desc = lr_Surface_->Desc();
        mr_State.Viewport = D3DVIEWPORT9{0, 0, lr_Desc.Width, lr_Desc.Height, 0.0f, 1.0f};
        mr_State.Scissor = SoftWholeRect(lr_Desc.Width, lr_Desc.Height);
    }
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) {
    NoteCall();
    if (!ppRenderTarget) return D3DERR_INVALIDCALL;
    *ppRenderTarget = nullptr;
    HRESULT hr;
    if (TakeFault(SoftCall::GetRenderTarget, &hr)) return hr;
    if (RenderTargetIndex >= SOFT_RENDER_TARGETS) return D3DERR_INVALIDCALL;
    if (!mr_RenderTargets[RenderTargetIndex]) return D3DERR_NOTFOUND;
    *ppRenderTarget = mr_RenderTargets[RenderTargetIndex].Get();
    (*ppRenderTarget)->AddRef();
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) {
    NoteCall();
    if (!pNewZStencil) {
        mr_DepthStencil.Reset();
        return D3D_OK;
    }
    SoftSurface* lr_Surface_ = OwnSurface(pNewZStencil);
    if (!lr_Surface_ || !lr_Surface_->IsDepthStencil()) return D3DERR_INVALIDCALL;
    mr_DepthStencil.Reset(pNewZStencil, lr_Surface_);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) {
    NoteCall();
    if (!ppZStencilSurface) return D3DERR_INVALIDCALL;
    *ppZStencilSurface = nullptr;
    HRESULT hr;
    if (TakeFault(SoftCall::GetDepthStencilSurface, &hr)) return hr;
    if (!mr_DepthStencil) return D3DERR_NOTFOUND;
    *ppZStencilSurface = mr_DepthStencil.Get();
    (*ppZStencilSurface)->AddRef();
    return D3D_OK;
}

// State blocks -----------------------------------------------------------------

HRESULT STDMETHODCALLTYPE SoftDevice::CreateStateBlock(D3DSTATEBLOCKTYPE Type, IDirect3DStateBlock9** ppSB) {
    NoteCall();
    if (!ppSB) return D3DERR_INVALIDCALL;
    *ppSB = nullptr;
    HRESULT hr;
    if (TakeFault(SoftCall::CreateStateBlock, &hr)) return hr;
    if (Type != D3DSBT_ALL && Type != D3DSBT_PIXELSTATE && Type != D3DSBT_VERTEXSTATE) return D3DERR_INVALIDCALL;
    if (mr_RecordMask_) return D3DERR_INVALIDCALL;  // not while recording
    return SoftNoThrow(E_OUTOFMEMORY, [&] {
        SoftStateBlock* lr_Block_ = new SoftStateBlock(this, Type);
        HandOut(lr_Block_, ppSB);
        // Captures at creation; no fault is counted for this inner capture.
        try {
            lr_Block_->CaptureState();
        } catch (...) {
            *ppSB = nullptr;
            lr_Block_->Release();
            throw;
        }
        return D3D_OK;
    });
}

HRESULT STDMETHODCALLTYPE SoftDevice::BeginStateBlock() {
    NoteCall();
    HRESULT hr;
    if (TakeFault(SoftCall::BeginStateBlock, &hr)) return hr;
    if (mr_RecordMask_) return D3DERR_INVALIDCALL;
    SoftStateBlock* lr_Block_ = nullptr;
    if (FAILED(SoftNoThrow(E_OUTOFMEMORY, [&] {
            lr_Block_ = new SoftStateBlock(this, static_cast<D3DSTATEBLOCKTYPE>(0));
            return D3D_OK;
        })))
        return E_OUTOFMEMORY;
    mr_RecordingBlock.Reset(lr_Block_, lr_Block_);
    mr_Target_ = &lr_Block_->Values();
    mr_RecordMask_ = &lr_Block_->Mask();
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::EndStateBlock(IDirect3DStateBlock9** ppSB) {
    NoteCall();
    if (!ppSB) return D3DERR_INVALIDCALL;
    *ppSB = nullptr;
    if (!mr_RecordMask_) return D3DERR_INVALIDCALL;
    HRESULT hr;
    if (TakeFault(SoftCall::EndStateBlock, &hr)) {
        // Recording ends either way; the block is lost.
        mr_Target_ = &mr_State;
        mr_RecordMask_ = nullptr;
        mr_RecordingBlock.Reset();
        return hr;
    }
    SoftStateBlock* lr_Block_ = static_cast<SoftStateBlock*>(mr_RecordingBlock.Object());
    lr_Block_->PublicAddRef();
    *ppSB = lr_Block_;
    mr_Target_ = &mr_State;
    mr_RecordMask_ = nullptr;
    mr_RecordingBlock.Reset();
    return D3D_OK;
}

// Shaders and declarations -----------------------------------------------------

HRESULT STDMETHODCALLTYPE SoftDevice::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) {
    NoteCall();
    return CreateShader<SoftVertexShader>(this, SoftCall::CreateVertexShader, pFunction, ppShader);
}

HRESULT STDMETHODCALLTYPE SoftDevice::CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) {
    NoteCall();
    return CreateShader<SoftPixelShader>(this, SoftCall::CreatePixelShader, pFunction, ppShader);
}

HRESULT STDMETHODCALLTYPE SoftDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                                              IDirect3DVertexDeclaration9** ppDecl) {
    NoteCall();
    if (!ppDecl) return D3DERR_INVALIDCALL;
    *ppDecl = nullptr;
    if (!pVertexElements) return D3DERR_INVALIDCALL;
    return SoftNoThrow(E_OUTOFMEMORY, [&] {
        std::vector<D3DVERTEXELEMENT9> lr_Elements;
        for (UINT i = 0;; ++i) {
            if (i >= MAXD3DDECLLENGTH + 1) return D3DERR_INVALIDCALL;
            lr_Elements.push_back(pVertexElements[i]);
            if (pVertexElements[i].Stream == 0xFF) break;  // D3DDECL_END
            if (pVertexElements[i].Stream >= SOFT_STREAMS) return D3DERR_INVALIDCALL;
        }
        SoftVertexDeclaration* lr_Decl_ = new SoftVertexDeclaration(this, std::move(lr_Elements));
        return HandOut(lr_Decl_, ppDecl);
    });
}
