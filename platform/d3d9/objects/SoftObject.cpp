#include "objects/SoftObject.h"

#include "objects/SoftDevice.h"

#include <algorithm>
#include <cstring>

SoftObject::SoftObject(SoftDevice* device, SoftObjectKind kind, bool implicit)
    : mr_Device_(device), mr_Kind(kind), mr_Implicit(implicit), mr_RefCount(0), mr_InternalRefs(0) {
    mr_Device_->Register(this);
}

SoftObject::~SoftObject() { mr_Device_->Unregister(this); }

ULONG SoftObject::PublicAddRef() {
    if (++mr_RefCount == 1) mr_Device_->AddRef();
    return mr_RefCount;
}

ULONG SoftObject::PublicRelease() {
    if (mr_RefCount == 0) {
        // The real runtime would go below zero and free the object under
        // its binding; counting it lets a test see the mistake safely.
        mr_Device_->NoteOverRelease();
        return 0;
    }
    ULONG lr_Count = --mr_RefCount;
    if (lr_Count == 0) {
        SoftDevice* lr_Device_ = mr_Device_;
        // Delete first: the destructor still needs the device, which the
        // reference released below may destroy.
        if (mr_InternalRefs == 0) delete this;
        lr_Device_->Release();
    }
    return lr_Count;
}

void SoftObject::InternalAddRef() { ++mr_InternalRefs; }

void SoftObject::InternalRelease() {
    if (mr_InternalRefs == 0) return;
    if (--mr_InternalRefs == 0 && mr_RefCount == 0) delete this;
}

void SoftObject::Describe(SoftLiveObject& object) const {
    object.Kind = mr_Kind;
    object.Pool = D3DPOOL_DEFAULT;
    object.Usage = 0;
    object.Format = D3DFMT_UNKNOWN;
    object.Width = 0;
    object.Height = 0;
    object.RefCount = PublicCount();
    object.Implicit = mr_Implicit;
    // Identify the object by its interface pointer, as the application sees it.
    object.Object = const_cast<SoftObject*>(this)->Unknown();
}

HRESULT SoftObject::GetDeviceOut(IDirect3DDevice9** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    *ppDevice = mr_Device_;
    mr_Device_->AddRef();
    return D3D_OK;
}

// Private data -----------------------------------------------------------

HRESULT SoftPrivateData::Set(REFGUID guid, const void* data, DWORD size, DWORD flags) {
    if (!data && size) return D3DERR_INVALIDCALL;
    Free(guid);
    Entry lr_Entry{guid, {}, nullptr};
    if (flags & D3DSPD_IUNKNOWN) {
        if (size != sizeof(IUnknown*)) return D3DERR_INVALIDCALL;
        std::memcpy(&lr_Entry.Object, data, sizeof(IUnknown*));
        if (lr_Entry.Object) lr_Entry.Object->AddRef();
    } else {
        const BYTE* lr_Bytes = static_cast<const BYTE*>(data);
        lr_Entry.Bytes.assign(lr_Bytes, lr_Bytes + size);
    }
    mr_Entries.push_back(std::move(lr_Entry));
    return D3D_OK;
}

HRESULT SoftPrivateData::Get(REFGUID guid, void* data, DWORD* size) const {
    if (!size) return D3DERR_INVALIDCALL;
    for (const Entry& lr_Entry : mr_Entries) {
        if (lr_Entry.Guid != guid) continue;
        DWORD lr_Size =
            lr_Entry.Object ? static_cast<DWORD>(sizeof(IUnknown*)) : static_cast<DWORD>(lr_Entry.Bytes.size());
        if (!data) {
            *size = lr_Size;
            return D3D_OK;
        }
        if (*size < lr_Size) {
            *size = lr_Size;
            return D3DERR_MOREDATA;
        }
        *size = lr_Size;
        if (lr_Entry.Object) {
            lr_Entry.Object->AddRef();
            std::memcpy(data, &lr_Entry.Object, sizeof(IUnknown*));
        } else if (lr_Size) {
            std::memcpy(data, lr_Entry.Bytes.data(), lr_Size);
        }
        return D3D_OK;
    }
    return D3DERR_NOTFOUND;
}

HRESULT SoftPrivateData::Free(REFGUID guid) {
    for (auto lr_It = mr_Entries.begin(); lr_It != mr_Entries.end(); ++lr_It) {
        if (lr_It->Guid != guid) continue;
        IUnknown* lr_Object_ = lr_It->Object;
        mr_Entries.erase(lr_It);
        if (lr_Object_) lr_Object_->Release();
        return D3D_OK;
    }
    return D3DERR_NOTFOUND;
}

SoftPrivateData::~SoftPrivateData() {
    for (Entry& lr_Entry : mr_Entries)
        if (lr_Entry.Object) lr_Entry.Object->Release();
}
