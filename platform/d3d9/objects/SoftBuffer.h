// Vertex and index buffers over real memory.
#pragma once

#include "objects/SoftObject.h"

#include <vector>

// Lock rules shared by both kinds of buffer.
class SoftBufferMemory {
public:
    explicit SoftBufferMemory(UINT length) : mr_Bytes(length), mr_LockCount(0) {}
    // Offset and size 0 lock the whole buffer; a range past the end fails.
    HRESULT Lock(UINT offset, UINT size, void** data);
    HRESULT Unlock();
    const BYTE* Bytes() const { return mr_Bytes.data(); }
    UINT Length() const { return static_cast<UINT>(mr_Bytes.size()); }
    bool Locked() const { return mr_LockCount > 0; }

private:
    std::vector<BYTE> mr_Bytes;
    UINT mr_LockCount;
};

// What tells the two kinds of buffer apart.
template <class I>
struct SoftBufferKind;

template <>
struct SoftBufferKind<IDirect3DVertexBuffer9> {
    using Desc = D3DVERTEXBUFFER_DESC;
    static constexpr SoftObjectKind Kind = SoftObjectKind::VertexBuffer;
    static constexpr D3DRESOURCETYPE Type = D3DRTYPE_VERTEXBUFFER;
    static constexpr SoftCall LockCall = SoftCall::VertexBufferLock;
    static const IID& Iid() { return IID_IDirect3DVertexBuffer9; }
    static bool ValidFormat(D3DFORMAT) { return true; }  // always D3DFMT_VERTEXDATA
};

template <>
struct SoftBufferKind<IDirect3DIndexBuffer9> {
    using Desc = D3DINDEXBUFFER_DESC;
    static constexpr SoftObjectKind Kind = SoftObjectKind::IndexBuffer;
    static constexpr D3DRESOURCETYPE Type = D3DRTYPE_INDEXBUFFER;
    static constexpr SoftCall LockCall = SoftCall::IndexBufferLock;
    static const IID& Iid() { return IID_IDirect3DIndexBuffer9; }
    static bool ValidFormat(D3DFORMAT format) { return format == D3DFMT_INDEX16 || format == D3DFMT_INDEX32; }
};

template <class I>
class SoftBuffer final : public SoftResourceImpl<I> {
public:
    using Desc = typename SoftBufferKind<I>::Desc;

    // The size is desc.Size; vertex buffers hold D3DFMT_VERTEXDATA as format.
    SoftBuffer(SoftDevice* device, const Desc& desc);

    HRESULT STDMETHODCALLTYPE Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override { return mr_Memory.Unlock(); }
    HRESULT STDMETHODCALLTYPE GetDesc(Desc* pDesc) override;

    void Describe(SoftLiveObject& object) const override;
    const SoftBufferMemory& Memory() const { return mr_Memory; }
    D3DFORMAT Format() const { return mr_Desc.Format; }
    D3DPOOL Pool() const { return mr_Desc.Pool; }

protected:
    bool AnswersResource(REFIID riid) const override { return riid == SoftBufferKind<I>::Iid(); }

private:
    Desc mr_Desc;
    SoftBufferMemory mr_Memory;
};

using SoftVertexBuffer = SoftBuffer<IDirect3DVertexBuffer9>;
using SoftIndexBuffer = SoftBuffer<IDirect3DIndexBuffer9>;

extern template class SoftBuffer<IDirect3DVertexBuffer9>;
extern template class SoftBuffer<IDirect3DIndexBuffer9>;
