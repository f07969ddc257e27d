#include "objects/SoftShader.h"

#include <soft/SoftShaderComments.h>

namespace {

// Longest stream accepted; a stream without an end token is refused rather
// than read without bound.
const size_t k_MaxTokens = 1u << 20;

}  // namespace

HRESULT SoftParseShader(const DWORD* function, bool pixel, DWORD supportedVersion, SoftShaderCode* code) {
    if (!function) return D3DERR_INVALIDCALL;
    DWORD lr_Version = function[0];
    DWORD lr_Kind = lr_Version & 0xFFFF0000u;
    if (lr_Kind != (pixel ? 0xFFFF0000u : 0xFFFE0000u)) return D3DERR_INVALIDCALL;
    DWORD lr_Major = D3DSHADER_VERSION_MAJOR(lr_Version);
    DWORD lr_Minor = D3DSHADER_VERSION_MINOR(lr_Version);
    bool lr_Known = (lr_Major == 1 && lr_Minor <= (pixel ? 4u : 1u)) || (lr_Major == 2 && lr_Minor <= 1) ||
                    (lr_Major == 3 && lr_Minor == 0);
    if (!lr_Known) return D3DERR_INVALIDCALL;
    if ((lr_Version & 0xFFFFu) > (supportedVersion & 0xFFFFu)) return D3DERR_INVALIDCALL;

    size_t i = 1;
    for (;;) {
        if (i >= k_MaxTokens) return D3DERR_INVALIDCALL;
        DWORD lr_Token = function[i];
        if (lr_Token == D3DSIO_END) {
            ++i;
            break;
        }
        if ((lr_Token & 0xFFFFu) == D3DSIO_COMMENT) {
            size_t lr_Length = (lr_Token & D3DSI_COMMENTSIZE_MASK) >> D3DSI_COMMENTSIZE_SHIFT;
            if (i + 1 + lr_Length >= k_MaxTokens) return D3DERR_INVALIDCALL;
            i += 1 + lr_Length;
            continue;
        }
        if (lr_Major >= 2) {
            // Shader model 2 and later carry the instruction length.
            i += 1 + ((lr_Token >> 24) & 0x0Fu);
        } else if ((lr_Token & 0xFFFFu) == 0x51u) {
            // def: a register and four raw floats, which could look like anything.
            i += 6;
        } else {
            // Shader model 1 has no lengths: parameters are the tokens with bit 31 set.
            ++i;
            while (i < k_MaxTokens && (function[i] & 0x80000000u)) ++i;
        }
    }
    if (pixel) {
        std::string ls_Reason;
        if (!code->Program.Decode(function, i, ls_Reason)) return D3DERR_INVALIDCALL;
    }
    code->Version = lr_Version;
    code->Name = SoftShaderEntryName(function, i);
    code->Tokens.assign(function, function + i);
    return D3D_OK;
}
