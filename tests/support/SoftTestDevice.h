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
