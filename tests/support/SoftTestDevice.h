// A software Direct3D 9 device for tests and benchmarks, made the same way
// everywhere.
#pragma once

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

// Windowed, one X8R8G8B8 back buffer of the given size, discard, D24S8
// automatic depth-stencil, no window, immediate presentation.
D3DPRESENT_PARAMETERS SoftPresentParameters(UINT width, UINT height);

// The Direct3D object and a HAL device on the default adapter, made from a
// copy of params (CreateDevice may rewrite them). On failure both are null
// and nothing stays referenced.
HRESULT CreateSoftDevice(const D3DPRESENT_PARAMETERS& params, DWORD behaviorFlags, IDirect3D9** direct3D,
                         IDirect3DDevice9** device);

// The device's test controls, not referenced: valid while the device is.
// Null for a device without them.
ISoftDeviceControl* SoftControlOf(IDirect3DDevice9* device);

// A device of the given size for a benchmark, released when it goes.
class ScopedSoftDevice {
public:
    ScopedSoftDevice(UINT width, UINT height) : ScopedSoftDevice(SoftPresentParameters(width, height)) {}
    explicit ScopedSoftDevice(const D3DPRESENT_PARAMETERS& parameters,
                              DWORD behaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING) {
        CreateSoftDevice(parameters, behaviour, &mr_Direct3D_, &mr_Device_);
    }
    ~ScopedSoftDevice() {
        if (mr_Device_) mr_Device_->Release();
        if (mr_Direct3D_) mr_Direct3D_->Release();
    }
    ScopedSoftDevice(const ScopedSoftDevice&) = delete;
    ScopedSoftDevice& operator=(const ScopedSoftDevice&) = delete;

    IDirect3DDevice9* Get() const { return mr_Device_; }

private:
    IDirect3D9* mr_Direct3D_ = nullptr;
    IDirect3DDevice9* mr_Device_ = nullptr;
};
