// Creating and filling a texture from an image decoded row by row, with
// the choices D3DXCreateTextureFromFileEx makes for its D3DX_DEFAULT
// arguments.
#pragma once

#include "texture/ImageBmpReader.h"

#include <d3dx9tex.h>

#include <functional>

namespace softd3dx {

struct TextureRequest {
    UINT Width = D3DX_DEFAULT;
    UINT Height = D3DX_DEFAULT;
    UINT MipLevels = D3DX_DEFAULT;
    DWORD Usage = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DPOOL Pool = D3DPOOL_MANAGED;
    DWORD Filter = D3DX_DEFAULT;
    DWORD MipFilter = D3DX_DEFAULT;
    D3DCOLOR ColorKey = 0;
};

// The texture in *texture on success; on failure *texture is null and
// nothing the call created is left alive. D3DX_FROM_FILE sizes the device
// cannot hold are D3DERR_NOTAVAILABLE.
// Sends the image's rows to the sink; called once the texture is made.
using ImageDecoder = std::function<HRESULT(IImageRowSink& sink)>;

// `decode` goes straight into the locked texture (or its system-memory
// copy): the image is never held whole outside it.
HRESULT CreateTextureFromImage(IDirect3DDevice9* device, const BmpImage& image, const ImageDecoder& decode,
                               const TextureRequest& request, IDirect3DTexture9** texture);

}  // namespace softd3dx
