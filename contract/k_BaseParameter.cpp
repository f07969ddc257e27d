#include "k_BaseParameter.h"

#include "Guids.h"
#include "HostBoundary.h"

#include <cstring>

k_BaseParameter::k_BaseParameter(IDirect3D9BasePlugin* plugin, const GUID& id, const std::wstring& name,
                                 const std::wstring& caption, const std::wstring& description, int type)
    : mr_Plugin_(plugin),
      mr_Name(name),
      mr_Description(description),
      mr_Caption(caption),
      mr_BaseCaption(caption),
      mr_Type(type) {
    std::memcpy(&mr_GUID, &id, sizeof(GUID));
}

k_BaseParameter::~k_BaseParameter() {}

void* k_BaseParameter::GetInterface(const GUID& id) {
    if (GuidBytesEqual(id, IID_IParameter)) return static_cast<IParameter*>(this);
    return nullptr;
}

int k_BaseParameter::GetType() { return mr_Type; }

std::wstring k_BaseParameter::GetName() { return CopyForHost(mr_Name); }

std::wstring k_BaseParameter::GetDescription() { return CopyForHost(mr_Description); }

void k_BaseParameter::SetCaption(const std::wstring& caption) {
    try {
        mr_Caption = caption;
    } catch (...) {
        // Without memory the caption stays as it was.
    }
}

std::wstring k_BaseParameter::GetCaption() { return CopyForHost(mr_Caption); }

GUID k_BaseParameter::GetGUID() { return mr_GUID; }

IDirect3D9BasePlugin* k_BaseParameter::GetPlugin() { return mr_Plugin_; }

void k_BaseParameter::UpdateCaption() {
    try {
        mr_Caption = mr_BaseCaption + L": " + GetValueAsString();
    } catch (...) {
        // Without memory the caption stays as it was; the value has changed all the same.
    }
}
