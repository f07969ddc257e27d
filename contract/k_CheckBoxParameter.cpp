#include "k_CheckBoxParameter.h"

#include "Guids.h"
#include "IDirect3D9BasePlugin.h"

k_CheckBoxParameter::k_CheckBoxParameter(IDirect3D9BasePlugin* plugin, const GUID& id, const std::wstring& name,
                                         const std::wstring& caption, const std::wstring& description, bool value)
    : k_BaseParameter(plugin, id, name, caption, description, Type), mr_DefaultValue(value), mr_Value(value) {
    UpdateCaption();
}

void* k_CheckBoxParameter::GetInterface(const GUID& id) {
    if (GuidBytesEqual(id, IID_ICheckBoxParameter)) return static_cast<ICheckBoxParameter*>(this);
    return k_BaseParameter::GetInterface(id);
}

void k_CheckBoxParameter::ResetToDefault() {
    mr_Value = mr_DefaultValue;
    UpdateCaption();
    NotifyOwner();
}

std::wstring k_CheckBoxParameter::GetValueAsString() {
    try {
        return mr_Value ? L"true" : L"false";
    } catch (...) {
        // Nothing may reach the host: without memory, no text.
        return std::wstring();
    }
}

void k_CheckBoxParameter::SetValueFromString(const std::wstring& value) { mr_Value = (value == L"true"); }

void k_CheckBoxParameter::SetDefaultValue(bool value) { mr_DefaultValue = value; }

bool k_CheckBoxParameter::GetDefaultValue() { return mr_DefaultValue; }

void k_CheckBoxParameter::SetValue(bool value) {
    mr_Value = value;
    UpdateCaption();
    NotifyOwner();
}

bool k_CheckBoxParameter::GetValue() { return mr_Value; }

// A parameter may exist without an owner (tests, a host's own settings).
void k_CheckBoxParameter::NotifyOwner() {
    if (mr_Plugin_) mr_Plugin_->OnParameterChanged(this);
}
