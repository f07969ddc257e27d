// Pixel and vertex shaders made from a token stream: a version token, any
// number of instructions and comments, and the end token. A comment whose
// payload starts with "FUNC" names the entry point (NUL-padded after it).
// Pixel shaders also keep the stream decoded for the interpreter.
#pragma once

#include "objects/SoftObject.h"
#include "shader/SoftPixelProgram.h"

#include <cstring>
#include <string>
#include <vector>

struct SoftShaderCode {
    DWORD Version = 0;
    std::string Name;
    std::vector<DWORD> Tokens;  // the whole stream, end token included
    SoftPixelProgram Program;   // pixel shaders only
};

// Checks the stream: the version token's kind (pixel or vertex), a version
// the device supports, and an end token within a sane length. A pixel
// shader of model 2 or 3 must also decode into a program the interpreter
// can run; model 1 ones are kept, marked not runnable.
HRESULT SoftParseShader(const DWORD* function, bool pixel, DWORD supportedVersion, SoftShaderCode* code);

template <class I, SoftObjectKind K>
class SoftShader final : public SoftUnknownImpl<I> {
public:
    SoftShader(SoftDevice* device, SoftShaderCode&& code)
        : SoftUnknownImpl<I>(device, K, false), mr_Code(std::move(code)) {}

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override { return this->GetDeviceOut(ppDevice); }
    HRESULT STDMETHODCALLTYPE GetFunction(void* pData, UINT* pSizeOfData) override {
        if (!pSizeOfData) return D3DERR_INVALIDCALL;
        UINT lr_Size = static_cast<UINT>(mr_Code.Tokens.size() * sizeof(DWORD));
        if (!pData) {
            *pSizeOfData = lr_Size;
            return D3D_OK;
        }
        if (*pSizeOfData < lr_Size) return D3DERR_INVALIDCALL;
        std::memcpy(pData, mr_Code.Tokens.data(), lr_Size);
        *pSizeOfData = lr_Size;
        return D3D_OK;
    }

    DWORD Version() const { return mr_Code.Version; }
    const std::string& Name() const { return mr_Code.Name; }
    // Not runnable for vertex shaders.
    const SoftPixelProgram& Program() const { return mr_Code.Program; }

protected:
    bool Answers(REFIID) const override { return false; }

private:
    SoftShaderCode mr_Code;
};

using SoftPixelShader = SoftShader<IDirect3DPixelShader9, SoftObjectKind::PixelShader>;
using SoftVertexShader = SoftShader<IDirect3DVertexShader9, SoftObjectKind::VertexShader>;

class SoftVertexDeclaration final : public SoftUnknownImpl<IDirect3DVertexDeclaration9> {
public:
    // `elements` includes the closing D3DDECL_END element.
    SoftVertexDeclaration(SoftDevice* device, std::vector<D3DVERTEXELEMENT9>&& elements)
        : SoftUnknownImpl<IDirect3DVertexDeclaration9>(device, SoftObjectKind::VertexDeclaration, false),
          mr_Elements(std::move(elements)) {}

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOut(ppDevice); }
    HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override {
        if (!pNumElements) return D3DERR_INVALIDCALL;
        *pNumElements = static_cast<UINT>(mr_Elements.size());
        if (pElement) std::memcpy(pElement, mr_Elements.data(), mr_Elements.size() * sizeof(D3DVERTEXELEMENT9));
        return D3D_OK;
    }
    const std::vector<D3DVERTEXELEMENT9>& Elements() const { return mr_Elements; }

protected:
    bool Answers(REFIID) const override { return false; }

private:
    std::vector<D3DVERTEXELEMENT9> mr_Elements;
};
