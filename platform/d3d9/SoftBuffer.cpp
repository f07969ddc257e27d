#include "SoftBuffer.h"

#include "SoftDevice.h"

HRESULT SoftBufferMemory::Lock(UINT offset, UINT size, void** data) {
    if (!data) return D3DERR_INVALIDCALL;
    *data = nullptr;
    UINT lr_Length = Length();
    if (offset > lr_Length) return D3DERR_INVALIDCALL;
    if (size != 0 && size > lr_Length - offset) return D3DERR_INVALIDCALL;
    // Buffers may be locked more than once; each lock needs its unlock.
    ++mr_LockCount;
    *data = mr_Bytes.data() + offset;
    return D3D_OK;
}

HRESULT SoftBufferMemory::Unlock() {
    // An extra unlock is harmless in the runtime and answered with success.
    if (mr_LockCount > 0) --mr_LockCount;
    return D3D_OK;
}

SoftVertexBuffer::SoftVertexBuffer(SoftDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : SoftResourceImpl<IDirect3DVertexBuffer9>(device, SoftObjectKind::VertexBuffer, false, D3DRTYPE_VERTEXBUFFER),
      mr_Desc{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf},
      mr_Memory(length) {}

HRESULT STDMETHODCALLTYPE SoftVertexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD) {
    HRESULT hr;
    if (mr_Device_->TakeFault(SoftCall::VertexBufferLock, &hr)) {
        if (ppbData) *ppbData = nullptr;
        return hr;
    }
    return mr_Memory.Lock(OffsetToLock, SizeToLock, ppbData);
}

HRESULT STDMETHODCALLTYPE SoftVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    *pDesc = mr_Desc;
    return D3D_OK;
}

void SoftVertexBuffer::Describe(SoftLiveObject& object) const {
    SoftObject::Describe(object);
    object.Pool = mr_Desc.Pool;
    object.Usage = mr_Desc.Usage;
    object.Format = D3DFMT_VERTEXDATA;
    object.Width = mr_Desc.Size;
    object.Height = 1;
}

SoftIndexBuffer::SoftIndexBuffer(SoftDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : SoftResourceImpl<IDirect3DIndexBuffer9>(device, SoftObjectKind::IndexBuffer, false, D3DRTYPE_INDEXBUFFER),
      mr_Desc{format, D3DRTYPE_INDEXBUFFER, usage, pool, length},
      mr_Memory(length) {}

HRESULT STDMETHODCALLTYPE SoftIndexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD) {
    HRESULT hr;
    if (mr_Device_->TakeFault(SoftCall::IndexBufferLock, &hr)) {
        if (ppbData) *ppbData = nullptr;
        return hr;
    }
    return mr_Memory.Lock(OffsetToLock, SizeToLock, ppbData);
}

HRESULT STDMETHODCALLTYPE SoftIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    *pDesc = mr_Desc;
    return D3D_OK;
}

void SoftIndexBuffer::Describe(SoftLiveObject& object) const {
    SoftObject::Describe(object);
    object.Pool = mr_Desc.Pool;
    object.Usage = mr_Desc.Usage;
    object.Format = mr_Desc.Format;
    object.Width = mr_Desc.Size;
    object.Height = 1;
}
