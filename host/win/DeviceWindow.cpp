#include "DeviceWindow.h"

#include "CheckList.h"

namespace {

const wchar_t* const k_WindowClass = L"SsaoWinHostWindow";

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

ULONG ReferenceCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

DeviceWindow::~DeviceWindow() {
    ReleaseDevice();
    if (mr_Window_) DestroyWindow(mr_Window_);
}

bool DeviceWindow::Create(UINT width, UINT height, std::string& error, D3DMULTISAMPLE_TYPE multiSample) {
    HINSTANCE lr_Instance = GetModuleHandleW(nullptr);
    WNDCLASSW lr_Class = {};
    lr_Class.lpfnWndProc = WindowProcedure;
    lr_Class.hInstance = lr_Instance;
    lr_Class.lpszClassName = k_WindowClass;
    if (!RegisterClassW(&lr_Class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        error = "RegisterClassW failed";
        return false;
    }
    mr_Window_ = CreateWindowW(k_WindowClass, L"SSAO host", WS_OVERLAPPEDWINDOW, 0, 0, static_cast<int>(width),
                               static_cast<int>(height), nullptr, nullptr, lr_Instance, nullptr);
    if (!mr_Window_) {
        error = "CreateWindowW failed";
        return false;
    }
    ShowWindow(mr_Window_, SW_SHOWNOACTIVATE);

    mr_Direct3D_ = Direct3DCreate9(D3D_SDK_VERSION);
    if (!mr_Direct3D_) {
        error = "Direct3DCreate9 returned null";
        return false;
    }
    mr_Present = {};
    mr_Present.BackBufferWidth = width;
    mr_Present.BackBufferHeight = height;
    mr_Present.BackBufferFormat = D3DFMT_X8R8G8B8;
    mr_Present.BackBufferCount = 1;
    mr_Present.SwapEffect = D3DSWAPEFFECT_DISCARD;
    mr_Present.hDeviceWindow = mr_Window_;
    mr_Present.Windowed = TRUE;
    mr_Present.EnableAutoDepthStencil = TRUE;
    mr_Present.AutoDepthStencilFormat = D3DFMT_D24S8;
    mr_Present.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (multiSample != D3DMULTISAMPLE_NONE) {
        // Both surfaces must offer it, at the same quality (the first).
        for (D3DFORMAT lr_Format : {mr_Present.BackBufferFormat, mr_Present.AutoDepthStencilFormat}) {
            const HRESULT lr_Check = mr_Direct3D_->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL,
                                                                              lr_Format, TRUE, multiSample, nullptr);
            if (FAILED(lr_Check)) {
                mr_MultiSampleUnavailable = true;
                error = std::to_string(static_cast<int>(multiSample)) + "x multisampling of format " +
                        std::to_string(static_cast<int>(lr_Format)) + ": CheckDeviceMultiSampleType returned " +
                        HResultText(lr_Check);
                return false;
            }
        }
        mr_Present.MultiSampleType = multiSample;
        mr_Present.MultiSampleQuality = 0;
    }
    D3DPRESENT_PARAMETERS lr_Present = mr_Present;
    HRESULT hr = mr_Direct3D_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mr_Window_,
                                            D3DCREATE_SOFTWARE_VERTEXPROCESSING, &lr_Present, &mr_Device_);
    if (FAILED(hr) || !mr_Device_) {
        error = "CreateDevice failed with " + HResultText(hr);
        mr_Device_ = nullptr;
        return false;
    }
    return true;
}

HRESULT DeviceWindow::Reset(UINT width, UINT height) {
    mr_Present.BackBufferWidth = width;
    mr_Present.BackBufferHeight = height;
    // Reset may write back into the structure; keep ours as asked.
    D3DPRESENT_PARAMETERS lr_Present = mr_Present;
    return mr_Device_->Reset(&lr_Present);
}

ULONG DeviceWindow::ReleaseDevice(ULONG* direct3DLeft) {
    ULONG lr_Left = 0;
    if (mr_Device_) {
        lr_Left = mr_Device_->Release();
        mr_Device_ = nullptr;
    }
    if (mr_Direct3D_) {
        ULONG lr_Direct3DLeft = mr_Direct3D_->Release();
        if (direct3DLeft) *direct3DLeft = lr_Direct3DLeft;
        mr_Direct3D_ = nullptr;
    }
    return lr_Left;
}

void DeviceWindow::PumpMessages() {
    MSG lr_Message;
    while (PeekMessageW(&lr_Message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&lr_Message);
        DispatchMessageW(&lr_Message);
    }
}
