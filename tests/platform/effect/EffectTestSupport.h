// Shared helpers of the effect runtime tests: effects made on the software
// device, whose state, objects and call counts show what they did.
#pragma once

#include "SoftDeviceFixture.h"

#include <d3dx9.h>
#include <gtest/gtest.h>
#include <soft/SoftShaderComments.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace effecttest {

// Compiles text on a device; on failure returns null and the compiler's text.
inline ID3DXEffect* Compile(IDirect3DDevice9* device, const std::string& text, std::string* errors = nullptr,
                            HRESULT* result = nullptr) {
    ID3DXEffect* lr_Effect = nullptr;
    ID3DXBuffer* lr_Errors = nullptr;
    const HRESULT hr = D3DXCreateEffect(device, text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, 0,
                                        nullptr, &lr_Effect, &lr_Errors);
    if (result) *result = hr;
    if (errors) errors->clear();
    if (lr_Errors) {
        if (errors) *errors = static_cast<const char*>(lr_Errors->GetBufferPointer());
        lr_Errors->Release();
    }
    return lr_Effect;
}

// What a shader's token stream says: its version token and the entry point
// its "FUNC" comment names.
struct ShaderInfo {
    DWORD Version = 0;
    std::string Entry;
    size_t Tokens = 0;
};

inline ShaderInfo ReadTokens(const DWORD* tokens) {
    ShaderInfo lr_Info;
    lr_Info.Version = tokens[0];
    lr_Info.Entry = SoftShaderEntryName(tokens, SIZE_MAX);
    lr_Info.Tokens = SoftShaderTokenCount(tokens, 4096);
    return lr_Info;
}

// The token stream a shader object was made from.
template <class Shader>
ShaderInfo InfoOf(Shader* shader) {
    if (!shader) return {};
    UINT lr_Size = 0;
    if (FAILED(shader->GetFunction(nullptr, &lr_Size)) || lr_Size < 8) return {};
    std::vector<DWORD> lr_Tokens(lr_Size / 4);
    if (FAILED(shader->GetFunction(lr_Tokens.data(), &lr_Size))) return {};
    return ReadTokens(lr_Tokens.data());
}

// The software device per test (see SoftDeviceFixture: nothing the test
// made may outlive it, and the effects must let go of the device).
class EffectTest : public SoftDeviceFixture {
protected:
    ID3DXEffect* Make(const std::string& text) {
        std::string ls_Errors;
        ID3DXEffect* lr_Effect = Compile(mr_Device_, text, &ls_Errors);
        EXPECT_NE(lr_Effect, nullptr) << ls_Errors;
        return lr_Effect;
    }

    // A small managed texture; the caller releases it.
    IDirect3DTexture9* NewTexture() {
        IDirect3DTexture9* lr_Texture_ = nullptr;
        EXPECT_EQ(mr_Device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr),
                  D3D_OK);
        return lr_Texture_;
    }
    // A ps_2_0 shader of the host's own; the caller releases it.
    IDirect3DPixelShader9* NewPixelShader() {
        // mov oC0, c0
        const DWORD lr_Tokens[] = {D3DPS_VERSION(2, 0), 0x02000001u, 0x800F0800u, 0xA0E40000u, D3DPS_END()};
        IDirect3DPixelShader9* lr_Shader_ = nullptr;
        EXPECT_EQ(mr_Device_->CreatePixelShader(lr_Tokens, &lr_Shader_), D3D_OK);
        return lr_Shader_;
    }

    // The device's state now.
    DWORD RenderState(D3DRENDERSTATETYPE state) {
        DWORD lr_Value = 0;
        mr_Device_->GetRenderState(state, &lr_Value);
        return lr_Value;
    }
    DWORD SamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type) {
        DWORD lr_Value = 0;
        mr_Device_->GetSamplerState(sampler, type, &lr_Value);
        return lr_Value;
    }
    // Identity only: not referenced.
    IDirect3DBaseTexture9* BoundTexture(DWORD stage) {
        IDirect3DBaseTexture9* lr_Texture_ = nullptr;
        mr_Device_->GetTexture(stage, &lr_Texture_);
        if (lr_Texture_) lr_Texture_->Release();
        return lr_Texture_;
    }
    IDirect3DPixelShader9* BoundPixelShader() {
        IDirect3DPixelShader9* lr_Shader_ = nullptr;
        mr_Device_->GetPixelShader(&lr_Shader_);
        if (lr_Shader_) lr_Shader_->Release();
        return lr_Shader_;
    }
    IDirect3DVertexShader9* BoundVertexShader() {
        IDirect3DVertexShader9* lr_Shader_ = nullptr;
        mr_Device_->GetVertexShader(&lr_Shader_);
        if (lr_Shader_) lr_Shader_->Release();
        return lr_Shader_;
    }
    ShaderInfo BoundPixelShaderInfo() { return InfoOf(BoundPixelShader()); }
    float ConstantF(bool pixel, UINT index, int component) {
        float lr_Values[4] = {};
        if (pixel)
            mr_Device_->GetPixelShaderConstantF(index, lr_Values, 1);
        else
            mr_Device_->GetVertexShaderConstantF(index, lr_Values, 1);
        return lr_Values[component];
    }
    // The shaders alive on the device, oldest first.
    std::vector<ShaderInfo> LiveShaders() {
        std::vector<ShaderInfo> lr_Shaders;
        for (const SoftLiveObject& lr_Object : mr_Control_->GetLiveObjects()) {
            IUnknown* lr_Unknown_ = static_cast<IUnknown*>(const_cast<void*>(lr_Object.Object));
            if (lr_Object.Kind == SoftObjectKind::PixelShader)
                lr_Shaders.push_back(InfoOf(static_cast<IDirect3DPixelShader9*>(lr_Unknown_)));
            else if (lr_Object.Kind == SoftObjectKind::VertexShader)
                lr_Shaders.push_back(InfoOf(static_cast<IDirect3DVertexShader9*>(lr_Unknown_)));
        }
        return lr_Shaders;
    }
    UINT ShadersCreated() {
        return mr_Control_->GetCallCount(SoftCall::CreatePixelShader) +
               mr_Control_->GetCallCount(SoftCall::CreateVertexShader);
    }
    UINT Calls(SoftCall call) { return mr_Control_->GetCallCount(call); }

    // What an effect may set: render states, the states and textures of
    // every sampler (pixel and vertex), the shaders and the first float
    // constants, one line each. Textures are named by their place in
    // `textures` where found there.
    std::string DescribeState(const std::vector<IDirect3DBaseTexture9*>& textures = {}) {
        std::ostringstream lr_Out;
        for (DWORD lr_State = 0; lr_State < 256; ++lr_State) {
            DWORD lr_Value = 0;
            if (SUCCEEDED(mr_Device_->GetRenderState(static_cast<D3DRENDERSTATETYPE>(lr_State), &lr_Value)))
                lr_Out << "rs " << lr_State << " " << lr_Value << "\n";
        }
        std::vector<DWORD> lr_Samplers;
        for (DWORD i = 0; i < 16; ++i) lr_Samplers.push_back(i);
        for (DWORD i = 0; i < 4; ++i) lr_Samplers.push_back(D3DVERTEXTEXTURESAMPLER0 + i);
        for (DWORD lr_Sampler : lr_Samplers) {
            for (DWORD lr_Type = D3DSAMP_ADDRESSU; lr_Type <= D3DSAMP_DMAPOFFSET; ++lr_Type)
                lr_Out << "ss " << lr_Sampler << " " << lr_Type << " "
                       << SamplerState(lr_Sampler, static_cast<D3DSAMPLERSTATETYPE>(lr_Type)) << "\n";
            IDirect3DBaseTexture9* lr_Texture_ = BoundTexture(lr_Sampler);
            size_t lr_At = 0;
            while (lr_At < textures.size() && textures[lr_At] != lr_Texture_) ++lr_At;
            lr_Out << "texture " << lr_Sampler << " ";
            if (!lr_Texture_)
                lr_Out << "none\n";
            else
                lr_Out << lr_At << "\n";
        }
        const ShaderInfo lr_Pixel = BoundPixelShaderInfo();
        lr_Out << "ps " << lr_Pixel.Entry << " " << lr_Pixel.Tokens << "\n";
        const ShaderInfo lr_Vertex = InfoOf(BoundVertexShader());
        lr_Out << "vs " << lr_Vertex.Entry << " " << lr_Vertex.Tokens << "\n";
        for (UINT lr_Register = 0; lr_Register < 32; ++lr_Register)
            for (int c = 0; c < 4; ++c)
                lr_Out << "c" << lr_Register << "." << c << " " << ConstantF(true, lr_Register, c) << "\n";
        return lr_Out.str();
    }
};

// The lines of `after` that are not in `before`: what changed.
inline std::string Changed(const std::string& before, const std::string& after) {
    std::istringstream lr_Before(before), lr_After(after);
    std::string ls_Out, ls_Old, ls_New;
    while (std::getline(lr_After, ls_New)) {
        if (!std::getline(lr_Before, ls_Old)) ls_Old.clear();
        if (ls_New != ls_Old) ls_Out += ls_New + "\n";
    }
    return ls_Out;
}

}  // namespace effecttest
