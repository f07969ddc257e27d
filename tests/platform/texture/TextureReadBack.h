// What the D3DX loaders made, read back from the software device: a level's
// description and its pixels (rows without their pitch padding, top row
// first), whatever the texture's pool.
#pragma once

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <cstring>
#include <vector>

inline D3DSURFACE_DESC LevelDesc(IDirect3DTexture9* texture, UINT level) {
    D3DSURFACE_DESC lr_Desc{};
    texture->GetLevelDesc(level, &lr_Desc);
    return lr_Desc;
}

template <class T>
std::vector<T> LevelPixels(ISoftDeviceControl* control, IDirect3DTexture9* texture, UINT level) {
    std::vector<BYTE> lr_Bytes;
    IDirect3DSurface9* lr_Surface_ = nullptr;
    if (SUCCEEDED(texture->GetSurfaceLevel(level, &lr_Surface_))) {
        control->ReadPixels(lr_Surface_, lr_Bytes);
        lr_Surface_->Release();
    }
    std::vector<T> lr_Pixels(lr_Bytes.size() / sizeof(T));
    std::memcpy(lr_Pixels.data(), lr_Bytes.data(), lr_Pixels.size() * sizeof(T));
    return lr_Pixels;
}

// True when every level can be locked, so none was left locked.
inline bool AllLevelsUnlocked(IDirect3DTexture9* texture) {
    for (DWORD lr_Level = 0; lr_Level < texture->GetLevelCount(); ++lr_Level) {
        D3DLOCKED_RECT lr_Rect;
        if (FAILED(texture->LockRect(lr_Level, &lr_Rect, nullptr, D3DLOCK_READONLY))) return false;
        texture->UnlockRect(lr_Level);
    }
    return true;
}
