// What every Direct3D 9 plug-in shares: flags, device and host pointers,
// the owned parameters, name and description. A plug-in derives from it and
// supplies Render and the device-loss hooks.
#pragma once

#include "IDirect3D9BasePlugin.h"
#include "IHost.h"
#include "IParameter.h"

#include <d3d9.h>

#include <string>
#include <vector>

class k_Direct3D9BasePlugin : public IDirect3D9BasePlugin {
public:
    k_Direct3D9BasePlugin(IHost* host, const std::wstring& name, const std::wstring& description);
    // Deletes the parameters; touches neither the device nor the host.
    ~k_Direct3D9BasePlugin() override;

    void Initialise(IDirect3DDevice9* device) override;
    bool IsInitialised() override;
    void Deinitialise() override;
    std::vector<IParameter*> GetParameters() override;
    IParameter* FindParameter(const GUID& id) override;
    IParameter* GetParameter(const GUID& id) override;
    void OnParameterChanged(IParameter* parameter) override;
    void SetActive(bool on) override;
    bool IsActive() override;
    std::wstring GetName() override;
    std::wstring GetDescription() override;
    IHost* GetHost() override;

    k_Direct3D9BasePlugin(const k_Direct3D9BasePlugin&) = delete;
    k_Direct3D9BasePlugin& operator=(const k_Direct3D9BasePlugin&) = delete;

protected:
    bool mr_Initialised;
    bool mr_Active;
    IDirect3DDevice9* mr_Device_;
    IHost* mr_Host_;
    std::vector<IParameter*> mr_Parameters;
    std::wstring mr_Name;
    std::wstring mr_Description;
};
