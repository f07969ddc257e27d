// Where the D3DX image loaders send decoded pixels: row by row, so that no
// stage needs the whole image in memory.
#pragma once

#include <windows.h>

namespace softd3dx {

class IImageRowSink {
public:
    virtual ~IImageRowSink() = default;
    // Rows y .. y + count - 1 all hold `argb` (A8R8G8B8, one row's width).
    // Every row arrives once; calls come in file order, which may run
    // bottom to top.
    virtual void Rows(UINT y, UINT count, const DWORD* argb) = 0;
};

}  // namespace softd3dx
