// Effect creation from memory and from files.
//
// Deliberate departure from D3DX: effect pools are accepted but not used.
#include "core/Buffer.h"
#include "effect/Effect.h"
#include "effect/EffectBinary.h"
#include "effect/EffectCreate.h"
#include "compiler/EffectParser.h"
#include "compiler/EffectPreprocessor.h"
#include "core/HostFile.h"

#include <new>
#include <string>
#include <vector>

namespace softfx {

HRESULT DefinitionFromData(PreprocessRequest request, EffectDefinition& definition, ID3DXBuffer** ppErrors) {
    const std::string& path = request.SourceName;
    std::string ls_Text;
    if (IsEffectBinary(request.Text, request.Size)) {
        // A compiled effect is taken wherever text is, whatever the file is called.
        if (ReadEffectBinary(reinterpret_cast<const BYTE*>(request.Text), request.Size, definition, ls_Text))
            return D3D_OK;
        if (ppErrors) *ppErrors = CreateTextBuffer(path + ": " + ls_Text);
        return D3DXERR_INVALIDDATA;
    }
    SkipByteOrderMark(request.Text, request.Size);
    std::string ls_Expanded;
    const char* data = request.Text;
    size_t size = request.Size;
    if (NeedsPreprocessing(request)) {
        std::string ls_Errors;
        if (!PreprocessEffect(request, ls_Expanded, ls_Errors)) {
            if (ppErrors) *ppErrors = CreateTextBuffer(ls_Errors);
            return E_FAIL;
        }
        data = ls_Expanded.data();
        size = ls_Expanded.size();
    }
    CompileError lr_Error;
    if (CompileEffect(data, size, path, definition, lr_Error)) return D3D_OK;
    if (ppErrors) {
        ls_Text = !lr_Error.Text.empty() ? lr_Error.Text
                                         : (lr_Error.File.empty() ? path : lr_Error.File) + "(" +
                                               std::to_string(lr_Error.Line) + "," + std::to_string(lr_Error.Column) +
                                               "): error " + lr_Error.Code + ": " + lr_Error.Message + "\n";
        *ppErrors = CreateTextBuffer(ls_Text);
    }
    return E_FAIL;
}

}  // namespace softfx

namespace {

// `request.Text` is the effect as given; `request.SourceName` what messages call it.
HRESULT CreateFromText(IDirect3DDevice9* device, softfx::PreprocessRequest request, ID3DXEffect** ppEffect,
                       ID3DXBuffer** ppErrors) {
    *ppEffect = nullptr;
    try {
        softfx::EffectDefinition lr_Definition;
        const HRESULT hr = softfx::DefinitionFromData(std::move(request), lr_Definition, ppErrors);
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

// `name` is what compiler messages call the file: the path as the caller gave it.
HRESULT CreateFromFile(IDirect3DDevice9* device, const std::wstring& path, const std::string& name,
                       const D3DXMACRO* pDefines, ID3DXInclude* pInclude, ID3DXEffect** ppEffect,
                       ID3DXBuffer** ppErrors) {
    std::vector<BYTE> lr_Data;
    softfx::PreprocessRequest lr_Request;
    const HRESULT hr = softfx::ReadEffectFile(path, name, pDefines, pInclude, lr_Data, lr_Request);
    if (FAILED(hr)) return hr;
    return CreateFromText(device, std::move(lr_Request), ppEffect, ppErrors);
}

}  // namespace

extern "C" {

DECLSPEC_EXPORT HRESULT WINAPI D3DXCreateEffect(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataLen,
                                                const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude, DWORD,
                                                LPD3DXEFFECTPOOL, LPD3DXEFFECT* ppEffect,
                                                LPD3DXBUFFER* ppCompilationErrors) {
    if (!pDevice || !pSrcData || !SrcDataLen || !ppEffect) return D3DERR_INVALIDCALL;
    softfx::PreprocessRequest lr_Request;
    try {
        lr_Request.SourceName = "memory";
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    lr_Request.Text = static_cast<const char*>(pSrcData);
    lr_Request.Size = SrcDataLen;
    lr_Request.Defines = pDefines;
    lr_Request.Include = pInclude;
    return CreateFromText(pDevice, std::move(lr_Request), ppEffect, ppCompilationErrors);
}

DECLSPEC_EXPORT HRESULT WINAPI D3DXCreateEffectFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                                         const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude, DWORD,
                                                         LPD3DXEFFECTPOOL, LPD3DXEFFECT* ppEffect,
                                                         LPD3DXBUFFER* ppCompilationErrors) {
    if (!pDevice || !pSrcFile || !ppEffect) return D3DERR_INVALIDCALL;
    // The path is in the ANSI code page, as Windows reads the A functions' strings.
    return CreateFromFile(pDevice, softd3dx::WidePathFromAnsi(pSrcFile), pSrcFile, pDefines, pInclude, ppEffect,
                          ppCompilationErrors);
}

DECLSPEC_EXPORT HRESULT WINAPI D3DXCreateEffectFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                                         const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude, DWORD,
                                                         LPD3DXEFFECTPOOL, LPD3DXEFFECT* ppEffect,
                                                         LPD3DXBUFFER* ppCompilationErrors) {
    if (!pDevice || !pSrcFile || !ppEffect) return D3DERR_INVALIDCALL;
    return CreateFromFile(pDevice, pSrcFile, softd3dx::Utf8FromWide(pSrcFile), pDefines, pInclude, ppEffect,
                          ppCompilationErrors);
}

}  // extern "C"
