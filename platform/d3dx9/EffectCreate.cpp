// Effect creation from memory and from files.
//
// Deliberate departures from D3DX: macros (pDefines), include handlers and
// effect pools are accepted but not used; #define/#include in the text are
// compile errors (see EffectLexer.h).
#include "Buffer.h"
#include "Effect.h"
#include "EffectParser.h"

#include <cstdio>
#include <new>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

HRESULT CreateFromText(IDirect3DDevice9* device, const char* data, size_t size, const std::string& path,
                       ID3DXEffect** ppEffect, ID3DXBuffer** ppErrors) {
    *ppEffect = nullptr;
    try {
        softfx::EffectDefinition lr_Definition;
        softfx::CompileError lr_Error;
        if (!softfx::CompileEffect(data, size, path, lr_Definition, lr_Error)) {
            if (ppErrors) {
                const std::string ls_Text = !lr_Error.Text.empty()
                                                ? lr_Error.Text
                                                : path + "(" + std::to_string(lr_Error.Line) + "," +
                                                      std::to_string(lr_Error.Column) + "): error " + lr_Error.Code +
                                                      ": " + lr_Error.Message + "\n";
                *ppErrors = softfx::CreateTextBuffer(ls_Text);
            }
            return E_FAIL;
        }
        softfx::Effect* lr_Effect_ = new softfx::Effect(device, std::move(lr_Definition));
        lr_Effect_->CreateShaders();
        *ppEffect = lr_Effect_;
        if (ppErrors) *ppErrors = nullptr;
        return D3D_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// Windows paths: backslashes are separators here too.
std::string LocalPath(const std::string& path) {
    std::string ls_Path = path;
    for (char& c : ls_Path)
        if (c == '\\') c = '/';
    return ls_Path;
}

bool ReadWholeFile(const std::string& path, std::vector<char>& data) {
    struct stat lr_Stat;
    if (stat(path.c_str(), &lr_Stat) != 0 || !S_ISREG(lr_Stat.st_mode)) return false;
    FILE* lr_File = std::fopen(path.c_str(), "rb");
    if (!lr_File) return false;
    data.clear();
    char lr_Chunk[65536];
    size_t lr_Read;
    while ((lr_Read = std::fread(lr_Chunk, 1, sizeof(lr_Chunk), lr_File)) > 0)
        data.insert(data.end(), lr_Chunk, lr_Chunk + lr_Read);
    const bool lr_Ok = !std::ferror(lr_File);
    std::fclose(lr_File);
    return lr_Ok;
}

HRESULT CreateFromFile(IDirect3DDevice9* device, const std::string& path, ID3DXEffect** ppEffect,
                       ID3DXBuffer** ppErrors) {
    std::vector<char> lr_Data;
    try {
        if (!ReadWholeFile(LocalPath(path), lr_Data)) return D3DXERR_INVALIDDATA;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return CreateFromText(device, lr_Data.data(), lr_Data.size(), path, ppEffect, ppErrors);
}

// Wide path to UTF-8 (wchar_t holds whole code points here).
bool WideToUtf8(const wchar_t* wide, std::string& out) {
    out.clear();
    for (; *wide; ++wide) {
        const uint32_t c = static_cast<uint32_t>(*wide);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            if (c >= 0xD800 && c <= 0xDFFF) return false;
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c <= 0x10FFFF) {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" {

DECLSPEC_EXPORT HRESULT WINAPI D3DXCreateEffect(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataLen,
                                                const D3DXMACRO*, LPD3DXINCLUDE, DWORD, LPD3DXEFFECTPOOL,
                                                LPD3DXEFFECT* ppEffect, LPD3DXBUFFER* ppCompilationErrors) {
    if (!pDevice || !pSrcData || !SrcDataLen || !ppEffect) return D3DERR_INVALIDCALL;
    return CreateFromText(pDevice, static_cast<const char*>(pSrcData), SrcDataLen, "memory", ppEffect,
                          ppCompilationErrors);
}

DECLSPEC_EXPORT HRESULT WINAPI D3DXCreateEffectFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                                         const D3DXMACRO*, LPD3DXINCLUDE, DWORD,
                                                         LPD3DXEFFECTPOOL, LPD3DXEFFECT* ppEffect,
                                                         LPD3DXBUFFER* ppCompilationErrors) {
    if (!pDevice || !pSrcFile || !ppEffect) return D3DERR_INVALIDCALL;
    return CreateFromFile(pDevice, pSrcFile, ppEffect, ppCompilationErrors);
}

DECLSPEC_EXPORT HRESULT WINAPI D3DXCreateEffectFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                                         const D3DXMACRO*, LPD3DXINCLUDE, DWORD,
                                                         LPD3DXEFFECTPOOL, LPD3DXEFFECT* ppEffect,
                                                         LPD3DXBUFFER* ppCompilationErrors) {
    if (!pDevice || !pSrcFile || !ppEffect) return D3DERR_INVALIDCALL;
    std::string ls_Path;
    if (!WideToUtf8(pSrcFile, ls_Path)) return D3DXERR_INVALIDDATA;
    return CreateFromFile(pDevice, ls_Path, ppEffect, ppCompilationErrors);
}

}  // extern "C"
