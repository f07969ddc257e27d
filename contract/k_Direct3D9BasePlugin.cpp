#include "k_Direct3D9BasePlugin.h"

#include "Guids.h"
#include "HostBoundary.h"

#include <stdexcept>

k_Direct3D9BasePlugin::k_Direct3D9BasePlugin(IHost* host, const std::wstring& name, const std::wstring& description)
    : mr_Initialised(false),
      mr_Active(false),
      mr_Device_(nullptr),
      mr_Host_(host),
      mr_Name(name),
      mr_Description(description) {}

k_Direct3D9BasePlugin::~k_Direct3D9BasePlugin() {
    while (!mr_Parameters.empty()) {
        delete mr_Parameters.front();
        mr_Parameters.erase(mr_Parameters.begin());
    }
}

void k_Direct3D9BasePlugin::Initialise(IDirect3DDevice9* device) {
    mr_Device_ = device;
    mr_Initialised = (device != nullptr);
}

bool k_Direct3D9BasePlugin::IsInitialised() { return mr_Initialised; }

// The device pointer is kept: only the flag says whether it may be used.
void k_Direct3D9BasePlugin::Deinitialise() { mr_Initialised = false; }

std::vector<IParameter*> k_Direct3D9BasePlugin::GetParameters() { return CopyForHost(mr_Parameters); }

IParameter* k_Direct3D9BasePlugin::FindParameter(const GUID& id) {
    for (size_t lr_Index = 0; lr_Index < mr_Parameters.size(); ++lr_Index) {
        IParameter* lr_Parameter_ = mr_Parameters[lr_Index];
        if (!lr_Parameter_) continue;
        const GUID lr_Id = lr_Parameter_->GetGUID();
        if (GuidBytesEqual(lr_Id, id)) return lr_Parameter_;
    }
    return nullptr;
}

IParameter* k_Direct3D9BasePlugin::GetParameter(const GUID& id) {
    IParameter* lr_Parameter_ = FindParameter(id);
    if (!lr_Parameter_) throw std::out_of_range("no parameter has this GUID");
    return lr_Parameter_;
}

void k_Direct3D9BasePlugin::OnParameterChanged(IParameter*) {}

void k_Direct3D9BasePlugin::SetActive(bool on) { mr_Active = on; }

bool k_Direct3D9BasePlugin::IsActive() { return mr_Active; }

std::wstring k_Direct3D9BasePlugin::GetName() { return CopyForHost(mr_Name); }

std::wstring k_Direct3D9BasePlugin::GetDescription() { return CopyForHost(mr_Description); }

IHost* k_Direct3D9BasePlugin::GetHost() { return mr_Host_; }
