// Bookkeeping shared by every object the software device makes.
//
// Reference model: an object has a public count (what the application holds,
// what AddRef/Release return) and an internal count (bindings held by the
// device, its state blocks and swap chains). Like the real runtime, an
// object holds a reference on its device while its public count is above
// zero; it is destroyed when both counts are zero. An object the application
// has released but that is still bound is therefore not an application leak:
// it is not listed as live and goes away when it is unbound.
#pragma once

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <utility>
#include <vector>

class SoftDevice;

class SoftObject {
public:
    SoftObject(SoftDevice* device, SoftObjectKind kind, bool implicit);
    SoftObject(const SoftObject&) = delete;
    SoftObject& operator=(const SoftObject&) = delete;
    virtual ~SoftObject();

    virtual ULONG PublicAddRef();
    virtual ULONG PublicRelease();
    virtual void InternalAddRef();
    virtual void InternalRelease();
    virtual ULONG PublicCount() const { return mr_RefCount; }

    // The object's primary COM interface.
    virtual IUnknown* Unknown() = 0;
    // Whether it is listed among the live objects (texture levels are not:
    // they live and die with their texture).
    virtual bool Listed() const { return true; }
    virtual void Describe(SoftLiveObject& object) const;

    SoftDevice* Device() const { return mr_Device_; }
    SoftObjectKind Kind() const { return mr_Kind; }
    bool Implicit() const { return mr_Implicit; }
    void SetImplicit(bool implicit) { mr_Implicit = implicit; }

    // GetDevice of every object: the device, with a reference added.
    HRESULT GetDeviceOut(IDirect3DDevice9** ppDevice);

protected:
    SoftDevice* mr_Device_;

private:
    void DestroyIfUnused();

    SoftObjectKind mr_Kind;
    bool mr_Implicit;
    ULONG mr_RefCount;
    ULONG mr_InternalRefs;
};

// An internal reference: copying adds one, destruction drops one.
template <class I>
class SoftRef {
public:
    SoftRef() : mr_Interface_(nullptr), mr_Object_(nullptr) {}
    SoftRef(I* object, SoftObject* soft) : mr_Interface_(object), mr_Object_(soft) {
        if (mr_Object_) mr_Object_->InternalAddRef();
    }
    SoftRef(const SoftRef& other) : SoftRef(other.mr_Interface_, other.mr_Object_) {}
    SoftRef(SoftRef&& other) noexcept : mr_Interface_(other.mr_Interface_), mr_Object_(other.mr_Object_) {
        other.mr_Interface_ = nullptr;
        other.mr_Object_ = nullptr;
    }
    SoftRef& operator=(const SoftRef& other) {
        if (this != &other) Reset(other.mr_Interface_, other.mr_Object_);
        return *this;
    }
    SoftRef& operator=(SoftRef&& other) noexcept {
        if (this != &other) {
            SoftObject* lr_Old_ = mr_Object_;
            mr_Interface_ = other.mr_Interface_;
            mr_Object_ = other.mr_Object_;
            other.mr_Interface_ = nullptr;
            other.mr_Object_ = nullptr;
            if (lr_Old_) lr_Old_->InternalRelease();
        }
        return *this;
    }
    ~SoftRef() {
        if (mr_Object_) mr_Object_->InternalRelease();
    }

    void Reset(I* object = nullptr, SoftObject* soft = nullptr) {
        if (soft) soft->InternalAddRef();
        SoftObject* lr_Old_ = mr_Object_;
        mr_Interface_ = object;
        mr_Object_ = soft;
        if (lr_Old_) lr_Old_->InternalRelease();
    }

    I* Get() const { return mr_Interface_; }
    SoftObject* Object() const { return mr_Object_; }
    explicit operator bool() const { return mr_Interface_ != nullptr; }
    bool operator==(const SoftRef& other) const { return mr_Interface_ == other.mr_Interface_; }
    bool operator!=(const SoftRef& other) const { return mr_Interface_ != other.mr_Interface_; }

private:
    I* mr_Interface_;
    SoftObject* mr_Object_;
};

// Private data attached with SetPrivateData.
class SoftPrivateData {
public:
    HRESULT Set(REFGUID guid, const void* data, DWORD size, DWORD flags);
    HRESULT Get(REFGUID guid, void* data, DWORD* size) const;
    HRESULT Free(REFGUID guid);
    ~SoftPrivateData();

private:
    struct Entry {
        GUID Guid;
        std::vector<BYTE> Bytes;
        IUnknown* Object;  // D3DSPD_IUNKNOWN: referenced while stored
    };
    std::vector<Entry> mr_Entries;
};

// IUnknown on top of an interface, for objects that are not resources.
template <class I>
class SoftUnknownImpl : public I, public SoftObject {
public:
    SoftUnknownImpl(SoftDevice* device, SoftObjectKind kind, bool implicit) : SoftObject(device, kind, implicit) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || Answers(riid)) {
            *ppv = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return PublicAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return PublicRelease(); }
    IUnknown* Unknown() override { return static_cast<I*>(this); }

protected:
    virtual bool Answers(REFIID riid) const = 0;
};

// IUnknown and IDirect3DResource9 on top of a resource interface.
template <class I>
class SoftResourceImpl : public SoftUnknownImpl<I> {
public:
    SoftResourceImpl(SoftDevice* device, SoftObjectKind kind, bool implicit, D3DRESOURCETYPE type)
        : SoftUnknownImpl<I>(device, kind, implicit), mr_Type(type), mr_Priority(0) {}

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override { return this->GetDeviceOut(ppDevice); }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, const void* data, DWORD size, DWORD flags) override {
        return mr_PrivateData.Set(guid, data, size, flags);
    }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, void* data, DWORD* size) override {
        return mr_PrivateData.Get(guid, data, size);
    }
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID guid) override { return mr_PrivateData.Free(guid); }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override {
        DWORD lr_Old = mr_Priority;
        mr_Priority = priority;
        return lr_Old;
    }
    DWORD STDMETHODCALLTYPE GetPriority() override { return mr_Priority; }
    void STDMETHODCALLTYPE PreLoad() override {}
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return mr_Type; }

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IDirect3DResource9 || AnswersResource(riid); }
    virtual bool AnswersResource(REFIID riid) const = 0;

private:
    D3DRESOURCETYPE mr_Type;
    DWORD mr_Priority;
    SoftPrivateData mr_PrivateData;
};
