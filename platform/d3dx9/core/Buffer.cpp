#include "core/Buffer.h"

#include <atomic>
#include <cstring>
#include <new>

namespace {

class Buffer final : public ID3DXBuffer {
public:
    Buffer(BYTE* data, DWORD size) : mr_Data_(data), mr_Size(size) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3DXBuffer) {
            AddRef();
            *ppvObject = static_cast<ID3DXBuffer*>(this);
            return S_OK;
        }
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++mr_RefCount; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG lr_Count = --mr_RefCount;
        if (lr_Count == 0) delete this;
        return lr_Count;
    }
    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return mr_Data_; }
    DWORD STDMETHODCALLTYPE GetBufferSize() override { return mr_Size; }

private:
    ~Buffer() { delete[] mr_Data_; }

    std::atomic<ULONG> mr_RefCount{1};
    BYTE* mr_Data_;
    DWORD mr_Size;
};

}  // namespace

extern "C" DECLSPEC_EXPORT HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer) {
    if (!ppBuffer) return D3DERR_INVALIDCALL;
    *ppBuffer = nullptr;
    // A zero-sized buffer still gets a valid (one-byte) block, so the pointer is never null.
    BYTE* lr_Data_ = new (std::nothrow) BYTE[NumBytes ? NumBytes : 1]();
    if (!lr_Data_) return E_OUTOFMEMORY;
    Buffer* lr_Buffer_ = new (std::nothrow) Buffer(lr_Data_, NumBytes);
    if (!lr_Buffer_) {
        delete[] lr_Data_;
        return E_OUTOFMEMORY;
    }
    *ppBuffer = lr_Buffer_;
    return D3D_OK;
}

namespace softfx {

ID3DXBuffer* CreateTextBuffer(const std::string& text) {
    if (text.size() >= 0xFFFFFFFFu) return nullptr;
    ID3DXBuffer* lr_Buffer_ = nullptr;
    if (FAILED(D3DXCreateBuffer(static_cast<DWORD>(text.size() + 1), &lr_Buffer_))) return nullptr;
    std::memcpy(lr_Buffer_->GetBufferPointer(), text.c_str(), text.size() + 1);
    return lr_Buffer_;
}

}  // namespace softfx
