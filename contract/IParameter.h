// A user setting published by a plug-in to its host. Slot order is part of
// the host's contract: do not reorder.
#pragma once

#include "IObject.h"

#include <windows.h>

#include <string>

class IDirect3D9BasePlugin;

class IParameter : public IObject {
public:
    virtual int GetType() = 0;
    virtual std::wstring GetName() = 0;
    virtual std::wstring GetDescription() = 0;
    virtual void SetCaption(const std::wstring& caption) = 0;
    virtual std::wstring GetCaption() = 0;
    virtual void ResetToDefault() = 0;
    virtual GUID GetGUID() = 0;
    virtual std::wstring GetValueAsString() = 0;
    virtual void SetValueFromString(const std::wstring& value) = 0;
    virtual IDirect3D9BasePlugin* GetPlugin() = 0;
};
