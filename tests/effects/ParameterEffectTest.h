// Effects made from small texts on the software device, and what they hold
// for a parameter: the seam the parameter and handler tests read.
#pragma once

#include "SoftDeviceFixture.h"

#include <d3dx9.h>

#include <sstream>
#include <string>
#include <vector>

class ParameterEffectTest : public SoftDeviceFixture {
protected:
    void SetUp() override {
        SoftDeviceFixture::SetUp();
        for (IDirect3DTexture9*& lr_Texture_ : mr_Textures) {
            ASSERT_EQ(mr_Device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr),
                      D3D_OK);
        }
    }
    void TearDown() override {
        for (ID3DXEffect* lr_Effect_ : mr_Effects) lr_Effect_->Release();
        for (IDirect3DTexture9* lr_Texture_ : mr_Textures)
            if (lr_Texture_ != nullptr) lr_Texture_->Release();
        SoftDeviceFixture::TearDown();
    }

    // Released at tear-down.
    ID3DXEffect* NewEffect(const std::string& text) {
        ID3DXEffect* lr_Effect_ = nullptr;
        EXPECT_EQ(D3DXCreateEffect(mr_Device_, text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, 0,
                                   nullptr, &lr_Effect_, nullptr),
                  D3D_OK);
        if (lr_Effect_ != nullptr) mr_Effects.push_back(lr_Effect_);
        return lr_Effect_;
    }

    // Identity only: the caller gets no reference.
    static IDirect3DBaseTexture9* Bound(ID3DXEffect* effect, const char* name) {
        IDirect3DBaseTexture9* lr_Texture_ = nullptr;
        effect->GetTexture(name, &lr_Texture_);
        if (lr_Texture_ != nullptr) lr_Texture_->Release();
        return lr_Texture_;
    }

    // Readable in a failure message: numbers as "1,2,0,0", text in quotes,
    // a texture by address.
    static std::string Held(ID3DXEffect* effect, const char* name) {
        D3DXPARAMETER_DESC lr_Desc{};
        if (FAILED(effect->GetParameterDesc(name, &lr_Desc))) return "<no parameter>";
        std::ostringstream ls_Text;
        if (lr_Desc.Type == D3DXPT_STRING) {
            LPCSTR lr_String = nullptr;
            effect->GetString(name, &lr_String);
            ls_Text << '"' << (lr_String != nullptr ? lr_String : "<null>") << '"';
        } else if (lr_Desc.Class == D3DXPC_OBJECT) {
            ls_Text << "texture " << static_cast<const void*>(Bound(effect, name));
        } else {
            std::vector<float> lr_Numbers(lr_Desc.Bytes / sizeof(float));
            effect->GetFloatArray(name, lr_Numbers.data(), static_cast<UINT>(lr_Numbers.size()));
            for (size_t lr_Index = 0; lr_Index < lr_Numbers.size(); ++lr_Index) {
                ls_Text << (lr_Index > 0 ? "," : "") << lr_Numbers[lr_Index];
            }
        }
        return ls_Text.str();
    }

    IDirect3DTexture9* mr_Textures[2] = {nullptr, nullptr};
    std::vector<ID3DXEffect*> mr_Effects;
};
