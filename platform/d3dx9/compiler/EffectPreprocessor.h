// The C preprocessor D3DX runs over effect text before anything reads it:
// #define, #if, #include, #error, #pragma, and the caller's macros.
#pragma once

#include <d3dx9.h>

#include <string>
#include <vector>

namespace softfx {

struct PreprocessRequest {
    const char* Text = nullptr;
    size_t Size = 0;
    std::string SourceName;   // what messages call the text
    std::wstring SourcePath;  // the file the text came from; empty for memory
    const D3DXMACRO* Defines = nullptr;
    ID3DXInclude* Include = nullptr;
};

// Limits that keep hostile text from hanging or exhausting the host.
constexpr unsigned k_MaxIncludeDepth = 32;
constexpr size_t k_MaxPreprocessedBytes = 4u << 20;

// Reads an effect file into `data` and describes it in `request` (named
// `name` in messages; without a handler, its includes are read relative to
// it). D3DXERR_INVALIDDATA when it cannot be read, E_OUTOFMEMORY.
HRESULT ReadEffectFile(const std::wstring& path, const std::string& name, const D3DXMACRO* defines,
                       ID3DXInclude* include, std::vector<BYTE>& data, PreprocessRequest& request);

// True when the text needs the preprocessor: it has a directive or the
// caller defines macros. Text without either reads the same either way.
bool NeedsPreprocessing(const PreprocessRequest& request);

// The text with directives carried out, includes inlined and macros
// expanded. Each include is framed by line markers (`# line "file"`), so
// that later messages name the included file and its own line numbers.
// On failure `errors` holds messages in D3DX's form.
bool PreprocessEffect(const PreprocessRequest& request, std::string& expanded, std::string& errors);

}  // namespace softfx
