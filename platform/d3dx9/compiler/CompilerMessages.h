// Compiler messages in D3DX's form.
#pragma once

#include <string>

namespace softfx {

// Compiler messages, "name:line:col: E5005: text", in D3DX's form
// "name(line,col): error X5005: text", one per line.
std::string D3DXMessages(const char* messages);

}  // namespace softfx
