// A result code as hosts print it: "D3D_OK", else hexadecimal ("0x8876086C"),
// as result codes are looked up. One text for the demo host and the Windows
// hosts, so that their lines read alike.
#pragma once

#include <cstdio>
#include <string>

inline std::string HResultText(long hr) {
    if (hr == 0) return "D3D_OK";
    char lr_Text[16];
    std::snprintf(lr_Text, sizeof lr_Text, "0x%08lX", static_cast<unsigned long>(hr) & 0xFFFFFFFFul);
    return lr_Text;
}
