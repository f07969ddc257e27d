// A texture with the format and size it was made for. Whoever holds the
// record owns one reference of Texture; copying neither adds nor releases one.
#pragma once

#include <d3d9.h>

struct TextureRecord {
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    UINT Width = 0;
    UINT Height = 0;
    IDirect3DTexture9* Texture = nullptr;

    // Texture is not compared: two records for the same format and size are equal.
    bool operator==(const TextureRecord& other) const {
        return Format == other.Format && Width == other.Width && Height == other.Height;
    }
    bool operator!=(const TextureRecord& other) const { return !(*this == other); }
};

// Gives the record's reference back and empties it: no texture, format or size.
inline void ReleaseRecord(TextureRecord& record) noexcept {
    if (record.Texture) record.Texture->Release();
    record = TextureRecord();
}
