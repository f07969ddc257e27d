// D3DX image information and texture loading from files and memory. Only
// BMP images are understood; any other content is D3DXERR_INVALIDDATA, as
// is a file that cannot be read.
#include <d3dx9tex.h>

#include "texture/ImageBmpReader.h"
#include "core/HostFile.h"
#include "texture/TextureCreation.h"

#include <string>
#include <vector>

namespace {

HRESULT InfoFromMemory(const void* data, size_t size, D3DXIMAGE_INFO* info) {
    const BYTE* lr_Bytes = static_cast<const BYTE*>(data);
    if (!softd3dx::LooksLikeBmp(lr_Bytes, size)) return D3DXERR_INVALIDDATA;
    return softd3dx::ReadBmpInfo(lr_Bytes, size, info);
}

HRESULT InfoFromFile(const wchar_t* path, D3DXIMAGE_INFO* info) {
    std::vector<BYTE> lr_Bytes;
    if (!softd3dx::ReadWholeFile(path, &lr_Bytes, softd3dx::k_MaxImageFileBytes)) return D3DXERR_INVALIDDATA;
    return InfoFromMemory(lr_Bytes.data(), lr_Bytes.size(), info);
}

HRESULT TextureFromMemory(IDirect3DDevice9* device, const void* data, size_t size,
                          const softd3dx::TextureRequest& request, D3DXIMAGE_INFO* info, PALETTEENTRY* palette,
                          IDirect3DTexture9** texture) {
    *texture = nullptr;
    const BYTE* lr_Bytes = static_cast<const BYTE*>(data);
    if (!softd3dx::LooksLikeBmp(lr_Bytes, size)) return D3DXERR_INVALIDDATA;
    D3DXIMAGE_INFO lr_Info{};
    HRESULT hr = softd3dx::ReadBmpInfo(lr_Bytes, size, &lr_Info);
    if (FAILED(hr)) return hr;
    softd3dx::BmpImage lr_Image;
    hr = softd3dx::ReadBmpImage(lr_Bytes, size, &lr_Image);
    // A bad file is found before a texture is made for it.
    if (SUCCEEDED(hr)) hr = softd3dx::DecodeBmpRows(lr_Bytes, size, nullptr);
    if (FAILED(hr)) return hr;
    hr = softd3dx::CreateTextureFromImage(
        device, lr_Image, [&](softd3dx::IImageRowSink& sink) { return softd3dx::DecodeBmpRows(lr_Bytes, size, &sink); },
        request, texture);
    if (FAILED(hr)) return hr;
    if (info) *info = lr_Info;
    if (palette && !lr_Image.Palette.empty()) {
        for (size_t i = 0; i < 256; ++i)
            palette[i] = i < lr_Image.Palette.size() ? lr_Image.Palette[i] : PALETTEENTRY{0, 0, 0, 0xff};
    }
    return D3D_OK;
}

HRESULT TextureFromFile(IDirect3DDevice9* device, const wchar_t* path, const softd3dx::TextureRequest& request,
                        D3DXIMAGE_INFO* info, PALETTEENTRY* palette, IDirect3DTexture9** texture) {
    *texture = nullptr;
    std::vector<BYTE> lr_Bytes;
    if (!softd3dx::ReadWholeFile(path, &lr_Bytes, softd3dx::k_MaxImageFileBytes)) return D3DXERR_INVALIDDATA;
    return TextureFromMemory(device, lr_Bytes.data(), lr_Bytes.size(), request, info, palette, texture);
}

softd3dx::TextureRequest Request(UINT width, UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                 DWORD filter, DWORD mipFilter, D3DCOLOR colorKey) {
    softd3dx::TextureRequest lr_Request;
    lr_Request.Width = width;
    lr_Request.Height = height;
    lr_Request.MipLevels = mipLevels;
    lr_Request.Usage = usage;
    lr_Request.Format = format;
    lr_Request.Pool = pool;
    lr_Request.Filter = filter;
    lr_Request.MipFilter = mipFilter;
    lr_Request.ColorKey = colorKey;
    return lr_Request;
}

}  // namespace

extern "C" {

HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo) {
    if (!pSrcFile) return D3DERR_INVALIDCALL;
    const std::wstring ls_Path = softd3dx::WidePathFromAnsi(pSrcFile);
    return InfoFromFile(ls_Path.c_str(), pSrcInfo);
}

HRESULT WINAPI D3DXGetImageInfoFromFileW(LPCWSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo) {
    if (!pSrcFile) return D3DERR_INVALIDCALL;
    return InfoFromFile(pSrcFile, pSrcInfo);
}

HRESULT WINAPI D3DXGetImageInfoFromFileInMemory(LPCVOID pSrcData, UINT SrcDataSize, D3DXIMAGE_INFO* pSrcInfo) {
    if (!pSrcData || SrcDataSize == 0) return D3DERR_INVALIDCALL;
    return InfoFromMemory(pSrcData, SrcDataSize, pSrcInfo);
}

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, LPDIRECT3DTEXTURE9* ppTexture) {
    if (!pDevice || !pSrcFile || !ppTexture) return D3DERR_INVALIDCALL;
    const std::wstring ls_Path = softd3dx::WidePathFromAnsi(pSrcFile);
    return TextureFromFile(pDevice, ls_Path.c_str(), softd3dx::TextureRequest{}, nullptr, nullptr, ppTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, LPDIRECT3DTEXTURE9* ppTexture) {
    if (!pDevice || !pSrcFile || !ppTexture) return D3DERR_INVALIDCALL;
    return TextureFromFile(pDevice, pSrcFile, softd3dx::TextureRequest{}, nullptr, nullptr, ppTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                                 LPDIRECT3DTEXTURE9* ppTexture) {
    if (!pDevice || !pSrcData || SrcDataSize == 0 || !ppTexture) return D3DERR_INVALIDCALL;
    return TextureFromMemory(pDevice, pSrcData, SrcDataSize, softd3dx::TextureRequest{}, nullptr, nullptr, ppTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileExW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, UINT Width, UINT Height,
                                            UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                            DWORD MipFilter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                            PALETTEENTRY* pPalette, LPDIRECT3DTEXTURE9* ppTexture) {
    if (!pDevice || !pSrcFile || !ppTexture) return D3DERR_INVALIDCALL;
    return TextureFromFile(pDevice, pSrcFile,
                           Request(Width, Height, MipLevels, Usage, Format, Pool, Filter, MipFilter, ColorKey),
                           pSrcInfo, pPalette, ppTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                                   UINT Width, UINT Height, UINT MipLevels, DWORD Usage,
                                                   D3DFORMAT Format, D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                                   D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette,
                                                   LPDIRECT3DTEXTURE9* ppTexture) {
    if (!pDevice || !pSrcData || SrcDataSize == 0 || !ppTexture) return D3DERR_INVALIDCALL;
    return TextureFromMemory(pDevice, pSrcData, SrcDataSize,
                             Request(Width, Height, MipLevels, Usage, Format, Pool, Filter, MipFilter, ColorKey),
                             pSrcInfo, pPalette, ppTexture);
}

}  // extern "C"
