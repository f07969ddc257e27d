// Test controls of the software Direct3D 9 device. A test asks the device
// for IID_ISoftDeviceControl with QueryInterface; the real runtime answers
// E_NOINTERFACE, and product code never asks.
#pragma once

#include <d3d9.h>

#include <functional>
#include <string>
#include <vector>

// {6B1E3F2A-94C7-4D5B-8A61-3C0F7E2D9B14}
DEFINE_GUID(IID_ISoftDeviceControl, 0x6b1e3f2a, 0x94c7, 0x4d5b, 0x8a, 0x61, 0x3c, 0x0f, 0x7e, 0x2d, 0x9b, 0x14);

enum class SoftObjectKind {
    Texture,
    CubeTexture,
    VolumeTexture,
    Surface,  // stand-alone surfaces: render targets, depth-stencil, off-screen plain, back buffers
    SwapChain,
    VertexBuffer,
    IndexBuffer,
    StateBlock,
    VertexShader,
    PixelShader,
    VertexDeclaration,
    Query,
    Count
};

// Names for reports and messages: "texture", "state block" ("object" past the list).
inline const char* SoftObjectKindName(SoftObjectKind kind) {
    switch (kind) {
    case SoftObjectKind::Texture: return "texture";
    case SoftObjectKind::CubeTexture: return "cube texture";
    case SoftObjectKind::VolumeTexture: return "volume texture";
    case SoftObjectKind::Surface: return "surface";
    case SoftObjectKind::SwapChain: return "swap chain";
    case SoftObjectKind::VertexBuffer: return "vertex buffer";
    case SoftObjectKind::IndexBuffer: return "index buffer";
    case SoftObjectKind::StateBlock: return "state block";
    case SoftObjectKind::VertexShader: return "vertex shader";
    case SoftObjectKind::PixelShader: return "pixel shader";
    case SoftObjectKind::VertexDeclaration: return "vertex declaration";
    case SoftObjectKind::Query: return "query";
    case SoftObjectKind::Count: break;
    }
    return "object";
}

// "default", "managed", "system", "scratch" ("?" for another value).
inline const char* SoftPoolName(D3DPOOL pool) {
    switch (pool) {
    case D3DPOOL_DEFAULT: return "default";
    case D3DPOOL_MANAGED: return "managed";
    case D3DPOOL_SYSTEMMEM: return "system";
    case D3DPOOL_SCRATCH: return "scratch";
    default: return "?";
    }
}

// One object the device made that is still alive.
struct SoftLiveObject {
    SoftObjectKind Kind;
    D3DPOOL Pool;
    DWORD Usage;
    D3DFORMAT Format;
    UINT Width;
    UINT Height;
    ULONG RefCount;      // public references held by callers
    bool Implicit;       // implicit swap chain, its back buffers, the automatic depth-stencil surface
    const void* Object;  // the object's main interface pointer (what the application holds)
};

// Operations whose n-th call a test can make fail.
enum class SoftCall {
    CreateTexture,
    CreateCubeTexture,
    CreateVolumeTexture,
    CreateVertexBuffer,
    CreateIndexBuffer,
    CreateRenderTarget,
    CreateDepthStencilSurface,
    CreateOffscreenPlainSurface,
    CreateAdditionalSwapChain,
    CreateStateBlock,
    CreateVertexShader,
    CreatePixelShader,
    VertexBufferLock,
    IndexBufferLock,
    TextureLockRect,
    SurfaceLockRect,
    GetSurfaceLevel,
    GetRenderTarget,
    GetDepthStencilSurface,
    GetSwapChain,
    GetBackBuffer,
    StretchRect,
    StateBlockCapture,
    StateBlockApply,
    DrawPrimitive,
    DrawIndexedPrimitive,
    SetRenderTarget,
    Reset,
    TextureUnlockRect,
    BeginStateBlock,
    EndStateBlock,
    SetShaderConstant,  // any Set*ShaderConstant* call
    // Any read of what a state block holds (Get of render, sampler and
    // texture-stage states, textures, shaders, shader constants, transforms,
    // viewport, streams...); made to fail, the device acts as a pure device
    // (as one created with D3DCREATE_PUREDEVICE does, with D3DERR_INVALIDCALL).
    GetState,
    CreateQuery,   // counted before the type is checked
    QueryIssue,    // IDirect3DQuery9::Issue of any query of the device
    QueryGetData,  // IDirect3DQuery9::GetData of any query of the device
    Count
};

// What one draw call read and what was in force when it ran.
struct SoftDrawRecord {
    D3DPRIMITIVETYPE PrimitiveType;
    INT BaseVertexIndex;
    UINT MinVertexIndex;
    UINT NumVertices;
    UINT StartIndex;
    UINT PrimitiveCount;
    bool Indexed;
    DWORD FVF;
    UINT Stride;
    std::vector<UINT> Indices;        // indices as read, in order (empty for non-indexed draws)
    std::vector<BYTE> Vertices;       // the vertex each index selects, Stride bytes each, in index order
    IDirect3DSurface9* RenderTarget;  // identity only, not referenced
    IDirect3DSurface9* DepthStencil;  // identity only, not referenced
    D3DVIEWPORT9 Viewport;
    DWORD RenderStates[256];
    IDirect3DBaseTexture9* Textures[16];  // identity only, not referenced
    DWORD SamplerStates[16][14];
    IDirect3DPixelShader9* PixelShader;    // identity only
    IDirect3DVertexShader9* VertexShader;  // identity only
    std::string PixelShaderName;           // entry point named in the shader's comment token, if any
    DWORD PixelShaderVersion;              // version token, 0 without a pixel shader
    // What the rasteriser made of the draw.
    bool Rasterised = false;
    std::string NotRasterisedReason;      // empty when drawn
    unsigned long long PixelsShaded = 0;  // covered pixels the shader ran for (helper lanes not counted)
    // Pixels that passed every test (alpha, stencil, depth), written or not
    // (COLORWRITEENABLE 0): what an occlusion query counts.
    unsigned long long PixelsWritten = 0;
    bool StencilIgnored = false;  // STENCILENABLE was on but the depth buffer has no stencil bits
};

struct SoftCopyRecord {
    IDirect3DSurface9* Source;  // identity only
    RECT SourceRect;            // whole surface when the caller passed none
    IDirect3DSurface9* Dest;    // identity only
    RECT DestRect;
    D3DTEXTUREFILTERTYPE Filter;
    HRESULT Result;
};

struct ISoftDeviceControl : public IUnknown {
    // Live objects made by the device, by kind and pool (pool -1: any;
    // kind SoftObjectKind::Count: any). An object the application released
    // but the device still holds bound is not live: it is not the application's.
    virtual std::vector<SoftLiveObject> GetLiveObjects() = 0;
    virtual UINT CountLiveObjects(SoftObjectKind kind, int pool, bool includeImplicit) = 0;

    // Records of draws and StretchRect calls since the last ClearRecords: at
    // most those of the frame being drawn and the 15 presented before it.
    virtual const std::vector<SoftDrawRecord>& GetDraws() = 0;
    virtual const std::vector<SoftCopyRecord>& GetCopies() = 0;
    virtual void ClearRecords() = 0;
    // Recording can be switched off, so that a steady frame allocates nothing.
    virtual void SetRecording(bool on) = 0;

    // Number of calls of an operation since the last ResetCallCounts.
    virtual UINT GetCallCount(SoftCall call) = 0;
    // Number of calls of any IDirect3DDevice9 method but AddRef and Release,
    // whoever made them (the application or D3DX), since the last ResetCallCounts.
    virtual unsigned long long GetTotalCallCount() = 0;
    virtual void ResetCallCounts() = 0;

    // Runs at each call of the operation, when it is counted and before a
    // fault set for it fires or it does anything; an empty hook removes it.
    virtual void SetCallHook(SoftCall call, std::function<void()> hook) = 0;

    // The nth next call of the operation (1: the very next) fails with the given result.
    virtual void FailCall(SoftCall call, UINT nth, HRESULT result) = 0;
    virtual void ClearFaults() = 0;
    // The next `times` calls of the operation throw std::runtime_error, as a
    // host's own device might: for tests of what the caller's guard does.
    // Only operations that check faults outside their own guard throw
    // (GetRenderTarget, GetBackBuffer, GetSwapChain, the state-block calls).
    virtual void ThrowFromCall(SoftCall call, UINT times) = 0;

    // Adapter configuration.
    virtual void SetRenderTargetFormatSupported(D3DFORMAT format, bool supported) = 0;
    virtual void SetShaderVersions(DWORD vertexShaderVersion, DWORD pixelShaderVersion) = 0;
    // The Direct3D object becomes a multi-head card of `count` adapters (1 to 8)
    // in one group, adapter 0 the master: its caps count the heads, each
    // subordinate's report NumberOfAdaptersInGroup 0. Devices made afterwards
    // see it; one made on the master with D3DCREATE_ADAPTERGROUP_DEVICE takes
    // an array of full-screen parameters and has an implicit swap chain per head.
    virtual void SetAdaptersInGroup(UINT count) = 0;
    // The adapter's D3DPTEXTURECAPS_* flags and largest texture (shared by
    // its devices). CreateTexture then refuses what they rule out: a side
    // over the maximum, a texture not square under SQUAREONLY, one not a
    // power of two under POW2 (under NONPOW2CONDITIONAL too unless it has
    // one level), and more than one level without MIPMAP (Levels 0 then
    // means one level).
    virtual void SetTextureCaps(DWORD textureCaps, UINT maxWidth, UINT maxHeight) = 0;
    // Rows of the surfaces and texture levels made afterwards start at
    // multiples of `alignment` bytes (a power of two up to 4096; 1, the
    // default, packs them), as drivers pad them; LockRect reports that pitch.
    virtual void SetRowPitchAlignment(UINT alignment) = 0;
    // LINEAR fetches of textures with 8-bit channels blend in 8-bit fixed
    // point, as some drivers do (OpenGL's software rasteriser among them):
    // 8-bit weights, each of the two interpolations rounded to a whole
    // 1/255. Off, the default, they blend in float. Direct3D leaves the
    // precision to the driver; this shows what a picture owes to it.
    virtual void SetFixedPointFiltering(bool on) = 0;
    // Moves the clock of the draw workers' retry window forward: when no
    // worker thread could start, the next start is tried a second later.
    virtual void AdvanceWorkerClock(DWORD milliseconds) = 0;
    // Lost: TestCooperativeLevel says so, Present fails, and every query
    // result issued before goes (GetData with D3DGETDATA_FLUSH answers
    // D3DERR_DEVICELOST, without it S_FALSE) until the query is issued again
    // after a Reset. A failed Reset loses results the same way.
    virtual void SetDeviceLost(bool lost) = 0;
    // A query's result is ready only once `presents` more Present calls
    // (device or swap chain) follow its Issue(D3DISSUE_END), as a GPU
    // frames behind would answer; until then GetData returns S_FALSE and
    // writes nothing. 0, the default: ready at once. Read at each END.
    virtual void SetQueryLatency(UINT presents) = 0;
    // A type ruled out: CreateQuery(type, ...) answers D3DERR_NOTAVAILABLE,
    // with a null out pointer too. Types the device never offers stay out.
    virtual void SetQueryTypeSupported(D3DQUERYTYPE type, bool supported) = 0;

    // Pixel access to any surface, bypassing the lock rules. Rows are packed
    // (pitch = width x bytes per pixel).
    virtual HRESULT ReadPixels(IDirect3DSurface9* surface, std::vector<BYTE>& pixels) = 0;
    virtual HRESULT WritePixels(IDirect3DSurface9* surface, const std::vector<BYTE>& pixels) = 0;

    // Public reference count of a device object, without touching it.
    virtual ULONG PeekRefCount(IUnknown* object) = 0;
    // Public reference count of the device itself.
    virtual ULONG GetDeviceRefCount() = 0;

    // Release calls made on an object whose public count was already zero
    // (an object the device still held bound, so it was not yet destroyed).
    virtual UINT GetOverReleaseCount() = 0;

protected:
    ~ISoftDeviceControl() = default;
};
