#include "objects/SoftBuffer.h"

#include "objects/SoftDevice.h"

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

template <class I>
SoftBuffer<I>::SoftBuffer(SoftDevice* device, const Desc& desc)
    : SoftResourceImpl<I>(device, SoftBufferKind<I>::Kind, false, SoftBufferKind<I>::Type),
      mr_Desc(desc),
      mr_Memory(desc.Size) {}

template <class I>
HRESULT STDMETHODCALLTYPE SoftBuffer<I>::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD) {
    HRESULT hr;
    if (this->mr_Device_->TakeFault(SoftBufferKind<I>::LockCall, &hr)) {
        if (ppbData) *ppbData = nullptr;
        return hr;
    }
    return mr_Memory.Lock(OffsetToLock, SizeToLock, ppbData);
}

template <class I>
HRESULT STDMETHODCALLTYPE SoftBuffer<I>::GetDesc(Desc* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    *pDesc = mr_Desc;
    return D3D_OK;
}

template <class I>
void SoftBuffer<I>::Describe(SoftLiveObject& object) const {
    SoftObject::Describe(object);
    object.Pool = mr_Desc.Pool;
    object.Usage = mr_Desc.Usage;
    object.Format = mr_Desc.Format;
    object.Width = mr_Desc.Size;
    object.Height = 1;
}

template class SoftBuffer<IDirect3DVertexBuffer9>;
template class SoftBuffer<IDirect3DIndexBuffer9>;
