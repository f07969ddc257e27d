// The plug-in's own effect files compile with this runtime and offer a
// technique that runs on a shader model 2.0 device; a shader model 3.0
// device takes the first technique, still below model 3, since the quads
// are pre-transformed and have no vertex shader.
#include "EffectTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using effecttest::EffectTest;

std::vector<std::string> EffectFiles() {
    std::vector<std::string> lr_Files;
    const std::filesystem::path lr_Dir = std::filesystem::path(SSAO_SOURCE_DIR) / "data" / "Plugins" / "SSAO";
    std::error_code lr_Error;
    for (const auto& lr_Entry : std::filesystem::directory_iterator(lr_Dir, lr_Error))
        if (lr_Entry.path().extension() == ".hlsl") lr_Files.push_back(lr_Entry.path().string());
    std::sort(lr_Files.begin(), lr_Files.end());
    return lr_Files;
}

TEST_F(EffectTest, PluginEffectFilesCompileAndValidateOnShaderModel2) {
    const std::vector<std::string> lr_Files = EffectFiles();
    if (lr_Files.empty()) GTEST_SKIP() << "no effect files yet";
    for (const std::string& ls_File : lr_Files) {
        SCOPED_TRACE(ls_File);
        for (const DWORD lr_Model :
             {static_cast<DWORD>(D3DPS_VERSION(2, 0)), static_cast<DWORD>(D3DPS_VERSION(3, 0))}) {
            mr_Control_->SetShaderVersions(D3DVS_VERSION(3, 0), lr_Model);
            ID3DXEffect* e = nullptr;
            ID3DXBuffer* lr_Errors = nullptr;
            ASSERT_EQ(
                D3DXCreateEffectFromFileA(mr_Device_, ls_File.c_str(), nullptr, nullptr, 0, nullptr, &e, &lr_Errors),
                D3D_OK)
                << (lr_Errors ? static_cast<const char*>(lr_Errors->GetBufferPointer()) : "");
            D3DXEFFECT_DESC d;
            ASSERT_EQ(e->GetDesc(&d), D3D_OK);
            ASSERT_GT(d.Techniques, 0u);
            // The technique the framework selects: the first that validates.
            D3DXHANDLE lr_Valid = nullptr;
            EXPECT_EQ(e->FindNextValidTechnique(nullptr, &lr_Valid), D3D_OK);
            ASSERT_NE(lr_Valid, nullptr);
            const bool lr_Model2 = lr_Model == static_cast<DWORD>(D3DPS_VERSION(2, 0));
            if (!lr_Model2) {
                EXPECT_EQ(lr_Valid, e->GetTechnique(0)) << "a capable device takes the first technique";
            }
            // Its passes apply on the device they validated on.
            ASSERT_EQ(e->SetTechnique(lr_Valid), D3D_OK);
            UINT lr_Passes = 0;
            ASSERT_EQ(e->Begin(&lr_Passes, 0), D3D_OK);
            for (UINT p = 0; p < lr_Passes; ++p) {
                EXPECT_EQ(e->BeginPass(p), D3D_OK);
                EXPECT_NE(BoundPixelShader(), nullptr);
                // Without a vertex shader the pixel shader must be below model 3.
                EXPECT_EQ(BoundVertexShader(), nullptr);
                const effecttest::ShaderInfo lr_Info = BoundPixelShaderInfo();
                if (lr_Model2) {
                    EXPECT_EQ(lr_Info.Version, static_cast<DWORD>(D3DPS_VERSION(2, 0)));
                } else {
                    EXPECT_LT(lr_Info.Version, static_cast<DWORD>(D3DPS_VERSION(3, 0)));
                }
                EXPECT_EQ(e->EndPass(), D3D_OK);
            }
            EXPECT_EQ(e->End(), D3D_OK);
            EXPECT_EQ(BoundPixelShader(), nullptr) << "restored by End";
            e->Release();
        }
    }
}

}  // namespace

namespace {

// The fuzzer's seeds are meant to reach deep: each compiles, except the
// ones written to fail. They are its own folder and the shipped effect files
// (the noise image beside those is no effect).
TEST_F(EffectTest, FuzzSeedsCompileUnlessMeantToFail) {
    const std::filesystem::path lr_Corpus =
        std::filesystem::path(SSAO_SOURCE_DIR) / "tests" / "fuzz" / "corpus" / "effect";
    std::vector<std::filesystem::path> lr_Seeds;
    std::error_code lr_Error;
    for (const auto& lr_Entry : std::filesystem::directory_iterator(lr_Corpus, lr_Error))
        lr_Seeds.push_back(lr_Entry.path());
    for (const std::string& ls_File : EffectFiles()) lr_Seeds.push_back(ls_File);
    int lr_Seen = 0;
    for (const std::filesystem::path& lr_Seed : lr_Seeds) {
        const std::string ls_Name = lr_Seed.filename().string();
        SCOPED_TRACE(ls_Name);
        ++lr_Seen;
        const bool lr_MeantToFail =
            ls_Name.find("error") != std::string::npos || ls_Name.find("missing") != std::string::npos;
        ID3DXEffect* e = nullptr;
        ID3DXBuffer* lr_Errors = nullptr;
        const HRESULT hr = D3DXCreateEffectFromFileA(mr_Device_, lr_Seed.string().c_str(), nullptr, nullptr, 0, nullptr,
                                                     &e, &lr_Errors);
        EXPECT_EQ(SUCCEEDED(hr), !lr_MeantToFail)
            << (lr_Errors ? static_cast<const char*>(lr_Errors->GetBufferPointer()) : "");
        if (lr_Errors) lr_Errors->Release();
        if (e) e->Release();
    }
    EXPECT_GE(lr_Seen, 12);
}

}  // namespace
