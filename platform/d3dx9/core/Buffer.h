// The D3DX buffer object: a reference-counted block of bytes.
#pragma once

#include <d3dx9core.h>

#include <string>

namespace softfx {

// A buffer holding the text and a terminating NUL; null if memory runs out.
ID3DXBuffer* CreateTextBuffer(const std::string& text);

}  // namespace softfx
