// Fuzzes the effect compiler and the effect object: any bytes go to
// D3DXCreateEffect on the software device (shader model 2); what compiles is then described,
// validated and run through every pass, and must leave nothing behind.
// Text that compiles is also compiled to a compiled effect, which must load
// and run the same way; compiled effects among the inputs fuzz the reader.
#include "FuzzDevice.h"

#include <d3dx9.h>
#include <soft/SoftEffectCompiler.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

// The compile budget (10 s) and the preprocessor's (10 s) would pass the
// fuzzer's per-input timeout (-timeout=10); shorter ones still show that a
// runaway compile or expansion is stopped.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const SoftEffectCompileBudget lr_Budget = {2000, 512ull << 20};
    SoftSetEffectCompileBudget(&lr_Budget);
    setenv("SOFT_D3DX_PREPROCESS_SECONDS", "3", 1);
    return 0;
}

namespace {

// The compiled form of text the compiler took, or empty.
std::vector<uint8_t> CompiledForm(const uint8_t* data, size_t size) {
    std::vector<uint8_t> lr_Bytes;
    ID3DXEffectCompiler* lr_Compiler = nullptr;
    if (FAILED(D3DXCreateEffectCompiler(reinterpret_cast<const char*>(data), static_cast<UINT>(size), nullptr, nullptr,
                                        0, &lr_Compiler, nullptr)))
        return lr_Bytes;
    ID3DXBuffer* lr_Binary = nullptr;
    if (SUCCEEDED(lr_Compiler->CompileEffect(0, &lr_Binary, nullptr))) {
        const uint8_t* lr_Data = static_cast<const uint8_t*>(lr_Binary->GetBufferPointer());
        lr_Bytes.assign(lr_Data, lr_Data + lr_Binary->GetBufferSize());
        lr_Binary->Release();
    }
    if (lr_Compiler->Release() != 0) std::abort();
    return lr_Bytes;
}

int RunOne(const uint8_t* data, size_t size, bool mustLoad);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    if (RunOne(data, size, false) != 0) return 0;
    // Text the runtime took: its compiled form must load too.
    if (size >= 4 && data[0] == 0x01 && data[1] == 0x09 && data[2] == 0xFF && data[3] == 0xFE) return 0;
    const std::vector<uint8_t> lr_Binary = CompiledForm(data, size);
    if (!lr_Binary.empty()) RunOne(lr_Binary.data(), lr_Binary.size(), true);
    return 0;
}

namespace {

// 0 when the effect loaded (and was exercised), 1 when it did not.
int RunOne(const uint8_t* data, size_t size, bool mustLoad) {
    FuzzDevice lr_Soft;
    IDirect3DDevice9* lr_Device = lr_Soft.mr_Device_;
    // Shaders above the caps are refused, as the runtime does.
    lr_Soft.mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    // A private copy, so reading past the given length is caught.
    uint8_t* lr_Copy = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (size) std::memcpy(lr_Copy, data, size);
    ID3DXEffect* lr_Effect = nullptr;
    ID3DXBuffer* lr_Errors = nullptr;
    const HRESULT hr = D3DXCreateEffect(lr_Device, lr_Copy, static_cast<UINT>(size), nullptr, nullptr, 0, nullptr,
                                        &lr_Effect, &lr_Errors);
    std::free(lr_Copy);
    if (FAILED(hr) && mustLoad) std::abort();
    if (FAILED(hr)) {
        if (lr_Effect) std::abort();
        if (lr_Errors) {
            const char* lr_Text = static_cast<const char*>(lr_Errors->GetBufferPointer());
            const DWORD lr_Size = lr_Errors->GetBufferSize();
            if (lr_Size == 0 || lr_Text[lr_Size - 1] != '\0') std::abort();
            lr_Errors->Release();
        }
    } else {
        if (lr_Errors) std::abort();
        IDirect3DTexture9* lr_Texture = nullptr;
        if (FAILED(lr_Device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture, nullptr)))
            std::abort();
        D3DXEFFECT_DESC lr_Desc;
        lr_Effect->GetDesc(&lr_Desc);
        for (UINT p = 0; p < lr_Desc.Parameters; ++p) {
            D3DXHANDLE h = lr_Effect->GetParameter(nullptr, p);
            D3DXPARAMETER_DESC d;
            if (FAILED(lr_Effect->GetParameterDesc(h, &d))) std::abort();
            if (lr_Effect->GetParameterByName(nullptr, d.Name) == nullptr) std::abort();
            lr_Effect->SetTexture(h, lr_Texture);
            float f = 0;
            lr_Effect->GetFloat(h, &f);
            lr_Effect->SetFloat(h, 2.0f);
            D3DXVECTOR4 v(1, 2, 3, 4);
            lr_Effect->SetVector(h, &v);
            D3DXMATRIX m;
            lr_Effect->GetMatrix(h, &m);
            LPCSTR s = nullptr;
            lr_Effect->GetString(h, &s);
            for (UINT a = 0; a < d.Annotations; ++a) {
                BOOL b;
                lr_Effect->GetBool(lr_Effect->GetAnnotation(h, a), &b);
            }
            for (UINT e = 0; e < d.Elements; ++e) lr_Effect->SetFloat(lr_Effect->GetParameterElement(h, e), 1.0f);
        }
        for (UINT t = 0; t < lr_Desc.Techniques; ++t) {
            D3DXHANDLE h = lr_Effect->GetTechnique(t);
            lr_Effect->ValidateTechnique(h);
            lr_Effect->SetTechnique(h);
            UINT lr_Passes = 0;
            if (FAILED(lr_Effect->Begin(&lr_Passes, t & 1 ? D3DXFX_DONOTSAVESTATE : 0))) std::abort();
            for (UINT p = 0; p < lr_Passes; ++p) {
                D3DXPASS_DESC pd;
                lr_Effect->GetPassDesc(lr_Effect->GetPass(h, p), &pd);
                if (SUCCEEDED(lr_Effect->BeginPass(p))) {
                    lr_Effect->CommitChanges();
                    lr_Effect->EndPass();
                }
            }
            lr_Effect->End();
        }
        if (lr_Effect->Release() != 0) std::abort();
        lr_Texture->Release();
    }
    // Unbind what the passes left bound (when state was not saved) before the device goes.
    for (DWORD s = 0; s < 16; ++s) lr_Device->SetTexture(s, nullptr);
    for (DWORD s = D3DVERTEXTEXTURESAMPLER0; s <= D3DVERTEXTEXTURESAMPLER3; ++s) lr_Device->SetTexture(s, nullptr);
    lr_Device->SetPixelShader(nullptr);
    lr_Device->SetVertexShader(nullptr);
    // lr_Soft traps if an object of the effect outlived it or the device is still referenced.
    return FAILED(hr) ? 1 : 0;
}

}  // namespace
