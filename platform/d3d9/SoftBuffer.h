// Vertex and index buffers over real memory.
#pragma once

#include "SoftObject.h"

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

class SoftVertexBuffer final : public SoftResourceImpl<IDirect3DVertexBuffer9> {
public:
    SoftVertexBuffer(SoftDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

    HRESULT STDMETHODCALLTYPE Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override { return mr_Memory.Unlock(); }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

    void Describe(SoftLiveObject& object) const override;
    const SoftBufferMemory& Memory() const { return mr_Memory; }
    D3DPOOL Pool() const { return mr_Desc.Pool; }

protected:
    bool AnswersResource(REFIID riid) const override { return riid == IID_IDirect3DVertexBuffer9; }

private:
    D3DVERTEXBUFFER_DESC mr_Desc;
    SoftBufferMemory mr_Memory;
};

class SoftIndexBuffer final : public SoftResourceImpl<IDirect3DIndexBuffer9> {
public:
    SoftIndexBuffer(SoftDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);

    HRESULT STDMETHODCALLTYPE Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override { return mr_Memory.Unlock(); }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;

    void Describe(SoftLiveObject& object) const override;
    const SoftBufferMemory& Memory() const { return mr_Memory; }
    D3DFORMAT Format() const { return mr_Desc.Format; }
    D3DPOOL Pool() const { return mr_Desc.Pool; }

protected:
    bool AnswersResource(REFIID riid) const override { return riid == IID_IDirect3DIndexBuffer9; }

private:
    D3DINDEXBUFFER_DESC mr_Desc;
    SoftBufferMemory mr_Memory;
};
