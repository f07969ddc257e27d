// What every kind of parameter shares: identity, names, caption, owner.
// The kind supplies ResetToDefault and the text form of its value.
#pragma once

#include "IParameter.h"

#include <windows.h>

#include <string>

class k_BaseParameter : public IParameter {
public:
    k_BaseParameter(IDirect3D9BasePlugin* plugin, const GUID& id, const std::wstring& name, const std::wstring& caption,
                    const std::wstring& description, int type);
    ~k_BaseParameter() override;

    void* GetInterface(const GUID& id) override;
    int GetType() override;
    std::wstring GetName() override;
    std::wstring GetDescription() override;
    void SetCaption(const std::wstring& caption) override;
    std::wstring GetCaption() override;
    GUID GetGUID() override;
    IDirect3D9BasePlugin* GetPlugin() override;

protected:
    // Caption := constructor caption + ": " + value as text.
    void UpdateCaption();

    IDirect3D9BasePlugin* mr_Plugin_;
    std::wstring mr_Name;
    std::wstring mr_Description;
    std::wstring mr_Caption;
    std::wstring mr_BaseCaption;
    int mr_Type;
    GUID mr_GUID;
};
