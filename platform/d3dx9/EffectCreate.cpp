// Effect creation from memory and from files.
//
// Deliberate departures from D3DX: macros (pDefines), include handlers and
// effect pools are accepted but not used; #define/#include in the text are
// compile errors (see EffectLexer.h).
#include "Buffer.h"
#include "Effect.h"
#include "EffectBinary.h"
#include "EffectCreate.h"
#include "EffectParser.h"
#include "HostFile.h"

#include <new>
#include <string>
#include <vector>

namespace softfx {

HRESULT DefinitionFromData(const char* data, size_t size, const std::string& path, EffectDefinition& definition,
                           ID3DXBuffer** ppErrors) {
    std::string ls_Text;
    if (IsEffectBinary(data, size)) {
        // A compiled effect is taken wherever text is, whatever the file is called.
        if (ReadEffectBinary(reinterpret_cast<const BYTE*>(data), size, definition, ls_Text)) return D3D_OK;
        if (ppErrors) *ppErrors = CreateTextBuffer(path + ": " + ls_Text);
        return D3DXERR_INVALIDDATA;
    }
    CompileError lr_Error;
    if (CompileEffect(data, size, path, definition, lr_Error)) return D3D_OK;
    if (ppErrors) {
        ls_Text = !lr_Error.Text.empty()
                      ? lr_Error.Text
                      : path + "(" + std::to_string(lr_Error.Line) + "," + std::to_string(lr_Error.Column) +
                            "): error " + lr_Error.Code + ": " + lr_Error.Message + "\n";
        *ppErrors = CreateTextBuffer(ls_Text);
    }
    return E_FAIL;
}

}  // namespace softfx

namespace {

HRESULT CreateFromText(IDirect3DDevice9* device, const char* data, size_t size, const std::string& path,
                       ID3DXEffect** ppEffect, ID3DXBuffer** ppErrors) {
    *ppEffect = nullptr;
    try {
        softfx::EffectDefinition lr_Definition;
        const HRESULT hr = softfx::DefinitionFromData(data, size, path, lr_Definition, ppErrors);
        if (FAILED(hr)) return hr;
        softfx::Effect* lr_Effect_ = new softfx::Effect(device, std::move(lr_Definition));
        lr_Effect_->CreateShaders();
        *ppEffect = lr_Effect_;
        if (ppErrors) *ppErrors = nullptr;
        return D3D_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// Effect files far beyond any real one are refused before they are read.
constexpr long long k_MaxEffectFileBytes = 64LL << 20;

// `name` is what compiler messages call the file: the path as the caller gave it.
HRESULT CreateFromFile(IDirect3DDevice9* device, const std::wstring& path, const std::string& name,
                       ID3DXEffect** ppEffect, ID3DXBuffer** ppErrors) {
    std::vector<BYTE> lr_Data;
    try {
        if (!softd3dx::ReadWholeFile(path.c_str(), &lr_Data, k_MaxEffectFileBytes)) return D3DXERR_INVALIDDATA;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return CreateFromText(device, reinterpret_cast<const char*>(lr_Data.data()), lr_Data.size(), name, ppEffect,
                          ppErrors);
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

DECLSPEC_EXPORT HRESULT WINAPI D3DXCreateEffectFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, const D3DXMACRO*,
                                                         LPD3DXINCLUDE, DWORD, LPD3DXEFFECTPOOL, LPD3DXEFFECT* ppEffect,
                                                         LPD3DXBUFFER* ppCompilationErrors) {
    if (!pDevice || !pSrcFile || !ppEffect) return D3DERR_INVALIDCALL;
    // The path is in the ANSI code page, as Windows reads the A functions' strings.
    return CreateFromFile(pDevice, softd3dx::WidePathFromAnsi(pSrcFile), pSrcFile, ppEffect, ppCompilationErrors);
}

DECLSPEC_EXPORT HRESULT WINAPI D3DXCreateEffectFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, const D3DXMACRO*,
                                                         LPD3DXINCLUDE, DWORD, LPD3DXEFFECTPOOL, LPD3DXEFFECT* ppEffect,
                                                         LPD3DXBUFFER* ppCompilationErrors) {
    if (!pDevice || !pSrcFile || !ppEffect) return D3DERR_INVALIDCALL;
    return CreateFromFile(pDevice, pSrcFile, softd3dx::Utf8FromWide(pSrcFile), ppEffect, ppCompilationErrors);
}

}  // extern "C"
