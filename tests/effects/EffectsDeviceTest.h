// A software device per test plus the handler counts: at tear-down every
// handler made must have been deleted exactly once, and no device object
// (effects hold textures and shaders) may be left alive.
#pragma once

#include "CountingHandlers.h"
#include "SoftDeviceFixture.h"

#include <d3dx9.h>
#include <soft/SoftShaderComments.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class EffectsDeviceTest : public SoftDeviceFixture {
protected:
    void SetUp() override {
        HandlerRegistry::Clear();
        SoftDeviceFixture::SetUp();
    }
    void TearDown() override {
        EXPECT_EQ(HandlerRegistry::Constructed(), HandlerRegistry::Destroyed()) << "handlers leaked";
        SoftDeviceFixture::TearDown();
    }

    // A device that runs pixel shaders up to ps_2_0 only.
    void LimitToShaderModel2() { mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0)); }

    std::string WriteFile(const std::string& name, const std::string& text) {
        std::filesystem::path lr_Path = mr_TempDirectory / name;
        std::ofstream lr_File(lr_Path, std::ios::binary | std::ios::trunc);
        lr_File << text;
        return lr_Path.string();
    }

    DWORD RenderState(D3DRENDERSTATETYPE state) {
        DWORD lr_Value = 0;
        mr_Device_->GetRenderState(state, &lr_Value);
        return lr_Value;
    }

    // Entry point named in the current pixel shader, "" without one.
    std::string PixelShaderEntry() {
        IDirect3DPixelShader9* lr_Shader = nullptr;
        if (FAILED(mr_Device_->GetPixelShader(&lr_Shader)) || lr_Shader == nullptr) {
            return std::string();
        }
        UINT lr_Size = 0;
        lr_Shader->GetFunction(nullptr, &lr_Size);
        std::vector<DWORD> lr_Tokens(lr_Size / 4);
        if (!lr_Tokens.empty()) lr_Shader->GetFunction(lr_Tokens.data(), &lr_Size);
        lr_Shader->Release();
        return SoftShaderEntryName(lr_Tokens.data(), lr_Tokens.size());
    }
};
