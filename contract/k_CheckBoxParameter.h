// A boolean parameter. Its caption shows the value ("Caption: true").
#pragma once

#include "ICheckBoxParameter.h"
#include "k_BaseParameter.h"

#include <string>

class k_CheckBoxParameter : public k_BaseParameter, public ICheckBoxParameter {
public:
    static const int Type = 1;

    k_CheckBoxParameter(IDirect3D9BasePlugin* plugin, const GUID& id, const std::wstring& name,
                        const std::wstring& caption, const std::wstring& description, bool value);

    void* GetInterface(const GUID& id) override;
    void ResetToDefault() override;
    std::wstring GetValueAsString() override;
    // Only the exact text "true" is true. Neither refreshes the caption nor notifies.
    void SetValueFromString(const std::wstring& value) override;

    void SetDefaultValue(bool value) override;
    bool GetDefaultValue() override;
    void SetValue(bool value) override;
    bool GetValue() override;

protected:
    void NotifyOwner();

    bool mr_DefaultValue;
    bool mr_Value;
};
