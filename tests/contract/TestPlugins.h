// Small plug-ins and parameters that record what the contract classes do to them.
#pragma once

#include "IHost.h"
#include "k_CheckBoxParameter.h"
#include "k_Direct3D9BasePlugin.h"

#include <string>
#include <vector>

// A plug-in that remembers each change notification and the caption the
// parameter showed at that moment.
class RecordingPlugin : public k_Direct3D9BasePlugin {
public:
    explicit RecordingPlugin(IHost* host = nullptr) : k_Direct3D9BasePlugin(host, L"Test", L"A test plug-in.") {}

    void Render() override {}
    void OnLostDevice() override {}
    void OnResetDevice() override {}
    void OnParameterChanged(IParameter* parameter) override {
        mr_Changed.push_back(parameter);
        mr_CaptionsSeen.push_back(parameter->GetCaption());
    }

    void AddParameter(IParameter* parameter) { mr_Parameters.push_back(parameter); }
    size_t OwnedCount() const { return mr_Parameters.size(); }
    IDirect3DDevice9* Device() const { return mr_Device_; }

    std::vector<IParameter*> mr_Changed;
    std::vector<std::wstring> mr_CaptionsSeen;
};

// A check box that counts its destructions.
class CountedCheckBox : public k_CheckBoxParameter {
public:
    CountedCheckBox(IDirect3D9BasePlugin* owner, const GUID& id, int* destroyed)
        : k_CheckBoxParameter(owner, id, L"Counted", L"Counted", L"Counts.", false), mr_Destroyed_(destroyed) {}
    ~CountedCheckBox() override { ++*mr_Destroyed_; }

private:
    int* mr_Destroyed_;
};

inline GUID MakeGuid(DWORD first) { return GUID{first, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}}; }
