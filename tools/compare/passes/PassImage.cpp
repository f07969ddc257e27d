#include "PassImage.h"

#include "CheckList.h"
#include "SurfacePixels.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char k_Magic[8] = {'S', 'S', 'A', 'O', 'P', 'I', 'X', '1'};

void PutWord(unsigned char* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t GetWord(const unsigned char* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

float HalfToFloat(unsigned short half) {
    const int lr_Exponent = (half >> 10) & 0x1F;
    const int lr_Mantissa = half & 0x3FF;
    float lr_Value;
    if (lr_Exponent == 0)
        lr_Value = std::ldexp(static_cast<float>(lr_Mantissa), -24);
    else if (lr_Exponent == 31)
        lr_Value = lr_Mantissa ? NAN : INFINITY;
    else
        lr_Value = std::ldexp(static_cast<float>(lr_Mantissa + 1024), lr_Exponent - 25);
    return (half & 0x8000) ? -lr_Value : lr_Value;
}

bool PassImage::IsSupported(D3DFORMAT format) { return BytesPerPixelOf(format) != 0; }

UINT PassImage::BytesPerPixelOf(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8R8G8B8: return 4;
    case D3DFMT_A16B16G16R16F: return 8;
    default: return 0;
    }
}

void PassImage::Channels(UINT x, UINT y, float rgba[4]) const {
    const unsigned char* lr_Pixel = &Bytes[(static_cast<size_t>(y) * Width + x) * BytesPerPixel];
    if (Format == D3DFMT_A16B16G16R16F) {
        for (int c = 0; c < 4; ++c)
            rgba[c] = HalfToFloat(static_cast<unsigned short>(lr_Pixel[2 * c] | lr_Pixel[2 * c + 1] << 8));
        return;
    }
    // B, G, R, A in memory.
    rgba[0] = lr_Pixel[2] / 255.0f;
    rgba[1] = lr_Pixel[1] / 255.0f;
    rgba[2] = lr_Pixel[0] / 255.0f;
    rgba[3] = HasAlpha() ? lr_Pixel[3] / 255.0f : 1.0f;
}

bool PassImage::ReadBack(IDirect3DDevice9* device, IDirect3DSurface9* target, PassImage& image, std::string& error) {
    D3DSURFACE_DESC lr_Desc = {};
    const HRESULT hr = target->GetDesc(&lr_Desc);
    if (FAILED(hr)) {
        error = "GetDesc failed with " + HResultText(hr);
        return false;
    }
    if (!IsSupported(lr_Desc.Format)) {
        error = "format " + std::to_string(static_cast<int>(lr_Desc.Format)) + " is not read back";
        return false;
    }
    if (!ReadRenderTargetRows(device, target, lr_Desc, BytesPerPixelOf(lr_Desc.Format), image.Bytes, error))
        return false;
    image.Width = lr_Desc.Width;
    image.Height = lr_Desc.Height;
    image.Format = lr_Desc.Format;
    image.BytesPerPixel = BytesPerPixelOf(lr_Desc.Format);
    return true;
}

bool PassImage::Save(const std::string& path, std::string& error) const {
    std::unique_ptr<std::FILE, FileCloser> lr_File(std::fopen(path.c_str(), "wb"));
    if (!lr_File) {
        error = "cannot write " + path;
        return false;
    }
    unsigned char lr_Header[24];
    std::memcpy(lr_Header, k_Magic, 8);
    PutWord(lr_Header + 8, Width);
    PutWord(lr_Header + 12, Height);
    PutWord(lr_Header + 16, static_cast<std::uint32_t>(Format));
    PutWord(lr_Header + 20, BytesPerPixel);
    if (std::fwrite(lr_Header, 1, 24, lr_File.get()) != 24 ||
        std::fwrite(Bytes.data(), 1, Bytes.size(), lr_File.get()) != Bytes.size()) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool PassImage::Load(const std::string& path, PassImage& image, std::string& error) {
    std::unique_ptr<std::FILE, FileCloser> lr_File(std::fopen(path.c_str(), "rb"));
    if (!lr_File) {
        error = "cannot read " + path;
        return false;
    }
    unsigned char lr_Header[24];
    if (std::fread(lr_Header, 1, 24, lr_File.get()) != 24 || std::memcmp(lr_Header, k_Magic, 8) != 0) {
        error = path + " is not a pass image";
        return false;
    }
    image.Width = GetWord(lr_Header + 8);
    image.Height = GetWord(lr_Header + 12);
    image.Format = static_cast<D3DFORMAT>(GetWord(lr_Header + 16));
    image.BytesPerPixel = GetWord(lr_Header + 20);
    if (image.BytesPerPixel != BytesPerPixelOf(image.Format) || image.Width > 4096 || image.Height > 4096) {
        error = path + ": unknown format or size";
        return false;
    }
    image.Bytes.resize(static_cast<size_t>(image.Width) * image.Height * image.BytesPerPixel);
    if (std::fread(image.Bytes.data(), 1, image.Bytes.size(), lr_File.get()) != image.Bytes.size()) {
        error = path + " is cut short";
        return false;
    }
    return true;
}
