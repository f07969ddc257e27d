// The interface through which a host drives a Direct3D 9 plug-in. A host
// calls through this table: the slot order must not change.
#pragma once

#include "IParameter.h"

#include <d3d9.h>
#include <windows.h>

#include <string>
#include <vector>

class IHost;

class IDirect3D9BasePlugin {
public:
    virtual ~IDirect3D9BasePlugin() {}
    virtual void Initialise(IDirect3DDevice9* device) = 0;
    virtual bool IsInitialised() = 0;
    virtual void Deinitialise() = 0;
    virtual void Render() = 0;
    virtual void OnLostDevice() = 0;
    virtual void OnResetDevice() = 0;
    virtual std::vector<IParameter*> GetParameters() = 0;
    virtual IParameter* FindParameter(const GUID& id) = 0;
    // Like FindParameter, but throws std::out_of_range instead of returning null.
    virtual IParameter* GetParameter(const GUID& id) = 0;
    virtual void OnParameterChanged(IParameter* parameter) = 0;
    virtual void SetActive(bool on) = 0;
    virtual bool IsActive() = 0;
    virtual std::wstring GetName() = 0;
    virtual std::wstring GetDescription() = 0;
    virtual IHost* GetHost() = 0;
};
