// A small window with a windowed Direct3D 9 device on it: X8R8G8B8 back
// buffer, D24S8 automatic depth-stencil (both multisampled when asked),
// software vertex processing (the safest choice on emulated and software
// adapters).
#pragma once

#include <windows.h>
#include <d3d9.h>

#include <string>

class DeviceWindow {
public:
    DeviceWindow() = default;
    ~DeviceWindow();
    DeviceWindow(const DeviceWindow&) = delete;
    DeviceWindow& operator=(const DeviceWindow&) = delete;

    // Returns false and fills the error text when the window or device
    // cannot be made; see MultiSampleUnavailable.
    bool Create(UINT width, UINT height, std::string& error, D3DMULTISAMPLE_TYPE multiSample = D3DMULTISAMPLE_NONE);
    // Whether Create failed because the adapter offers no such multisampling.
    bool MultiSampleUnavailable() const { return mr_MultiSampleUnavailable; }
    // A device reset with a new back-buffer size; returns Reset's result.
    HRESULT Reset(UINT width, UINT height);

    IDirect3DDevice9* Device() const { return mr_Device_; }
    const D3DPRESENT_PARAMETERS& PresentParameters() const { return mr_Present; }
    UINT Width() const { return mr_Present.BackBufferWidth; }
    UINT Height() const { return mr_Present.BackBufferHeight; }

    // Releases the device and the Direct3D object; returns the count that
    // the device's Release reported (0 when nothing else holds it) and, when
    // asked, the Direct3D object's.
    ULONG ReleaseDevice(ULONG* direct3DLeft = nullptr);
    // Handles pending window messages so the window stays responsive.
    void PumpMessages();

private:
    HWND mr_Window_ = nullptr;
    IDirect3D9* mr_Direct3D_ = nullptr;
    IDirect3DDevice9* mr_Device_ = nullptr;
    D3DPRESENT_PARAMETERS mr_Present = {};
    bool mr_MultiSampleUnavailable = false;
};

// The reference count of a COM object, read without changing it.
ULONG ReferenceCount(IUnknown* object);
