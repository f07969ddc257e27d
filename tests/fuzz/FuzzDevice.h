// A software device for a fuzzer's input, with a back buffer of one pixel:
// only what the code under test makes on it matters.
#pragma once

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

struct FuzzDevice {
    FuzzDevice() {
        mr_Direct3D_ = Direct3DCreate9(D3D_SDK_VERSION);
        if (!mr_Direct3D_) __builtin_trap();
        D3DPRESENT_PARAMETERS lr_Params{};
        lr_Params.BackBufferWidth = 1;
        lr_Params.BackBufferHeight = 1;
        lr_Params.BackBufferFormat = D3DFMT_X8R8G8B8;
        lr_Params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        lr_Params.Windowed = TRUE;
        void* lr_Control = nullptr;
        if (FAILED(mr_Direct3D_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                              D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Params, &mr_Device_)) ||
            FAILED(mr_Device_->QueryInterface(IID_ISoftDeviceControl, &lr_Control)))
            __builtin_trap();
        mr_Control_ = static_cast<ISoftDeviceControl*>(lr_Control);
        mr_Control_->Release();  // the control lives as long as the device
    }
    // Traps when anything made on the device is still alive or referenced it.
    ~FuzzDevice() {
        if (mr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, false) != 0) __builtin_trap();
        if (mr_Device_->Release() != 0) __builtin_trap();
        mr_Direct3D_->Release();
    }
    FuzzDevice(const FuzzDevice&) = delete;
    FuzzDevice& operator=(const FuzzDevice&) = delete;

    IDirect3D9* mr_Direct3D_ = nullptr;
    IDirect3DDevice9* mr_Device_ = nullptr;
    ISoftDeviceControl* mr_Control_ = nullptr;
};
