#include "ExposedPlugin.h"
#include "PluginExpectations.h"
#include "SoftDeviceFixture.h"
#include "TestFiles.h"
#include "TestHost.h"

#include "ShaderSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

class PluginLoadingTest : public SoftDeviceFixture {
protected:
    void SetUp() override {
        SoftDeviceFixture::SetUp();
        if (HasFatalFailure()) return;
        mr_Base = mr_TempDirectory / "base";
        fs::create_directories(mr_Base);
        UseDataFolder(mr_TempDirectory / "data");
    }
    void TearDown() override {
        DropPlugin();
        SoftDeviceFixture::TearDown();
    }

    void DropPlugin() {
        if (mr_Plugin) {
            // The test made the shader system, outside activation: it deletes it.
            delete mr_Plugin->mr_ShaderSystem_;
            mr_Plugin->mr_ShaderSystem_ = nullptr;
            if (mr_Plugin->IsInitialised()) mr_Plugin->Deinitialise();
        }
        mr_Plugin.reset();
    }

    // A data folder with Plugins/SSAO inside, and a new plug-in that uses it.
    void UseDataFolder(const fs::path& data, bool withSeparator = true) {
        mr_Data = data;
        mr_Folder = data / "Plugins" / "SSAO";
        fs::create_directories(mr_Folder);
        DropPlugin();
        mr_Host = std::make_unique<TestHost>(WidePath(mr_Base) + L"/", WidePath(data) + (withSeparator ? L"/" : L""));
        mr_Plugin = std::make_unique<ExposedPlugin>(mr_Host.get());
        mr_Plugin->Initialise(mr_Device_);
        mr_Plugin->mr_ShaderSystem_ = new ShaderSystem(mr_Device_);
    }

    std::string Log() const { return ReadFile(mr_Base / "Vexil.log"); }
    std::string PathOf(const std::string& file) const { return mr_Data.string() + "/Plugins\\SSAO\\" + file; }

    fs::path mr_Base, mr_Data, mr_Folder;
    std::unique_ptr<TestHost> mr_Host;
    std::unique_ptr<ExposedPlugin> mr_Plugin;
};

TEST_F(PluginLoadingTest, NoiseImageLoadsSilentlyWithTheFilesFormatAndSize) {
    WriteBmp(mr_Folder / "Noise.bmp", 8, 3);
    const std::string ls_Before = Log();
    const int lr_Calls = mr_Host->mr_DataPathCalls;
    TextureRecord lr_Record = mr_Plugin->LoadTextureFile(L"Noise.bmp", L"Plugins\\SSAO");
    ASSERT_NE(nullptr, lr_Record.Texture);
    EXPECT_EQ(8u, lr_Record.Width);
    EXPECT_EQ(3u, lr_Record.Height);
    EXPECT_EQ(D3DFMT_R8G8B8, lr_Record.Format) << "the file's own format, as the image information reports it";
    EXPECT_EQ(ls_Before, Log()) << "a successful load writes nothing";
    EXPECT_EQ(lr_Calls + 1, mr_Host->mr_DataPathCalls) << "the data path is asked for at each load";
    lr_Record.Texture->Release();
}

TEST_F(PluginLoadingTest, MissingNoiseImageIsLoggedAndGivesAnEmptyRecord) {
    TextureRecord lr_Record = mr_Plugin->LoadTextureFile(L"Noise.bmp", L"Plugins\\SSAO");
    EXPECT_EQ(nullptr, lr_Record.Texture);
    EXPECT_EQ(0u, lr_Record.Width);
    EXPECT_EQ(D3DFMT_UNKNOWN, lr_Record.Format);
    EXPECT_NE(std::string::npos, Log().find("SSAO: " + PathOf("Noise.bmp") + " texture not loaded. Critical error!\n"));
}

TEST_F(PluginLoadingTest, CorruptNoiseImageIsLoggedAndGivesAnEmptyRecord) {
    {
        std::ofstream lr_Out(mr_Folder / "Noise.bmp", std::ios::binary);
        lr_Out << "BM this is not an image at all";
    }
    TextureRecord lr_Record = mr_Plugin->LoadTextureFile(L"Noise.bmp", L"Plugins\\SSAO");
    EXPECT_EQ(nullptr, lr_Record.Texture);
    EXPECT_EQ(0u, lr_Record.Height);
    EXPECT_NE(std::string::npos, Log().find(PathOf("Noise.bmp") + " texture not loaded. Critical error!\n"));
}

TEST_F(PluginLoadingTest, TextureCreationFailureIsLoggedAndLeaksNothing) {
    WriteBmp(mr_Folder / "Noise.bmp", 4, 4);
    mr_Control_->FailCall(SoftCall::CreateTexture, 1, E_OUTOFMEMORY);
    TextureRecord lr_Record = mr_Plugin->LoadTextureFile(L"Noise.bmp", L"Plugins\\SSAO");
    EXPECT_EQ(nullptr, lr_Record.Texture);
    EXPECT_NE(std::string::npos, Log().find(PathOf("Noise.bmp") + " texture not loaded. Critical error!\n"));
    EXPECT_EQ(0u, mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false));
}

TEST_F(PluginLoadingTest, MissingEffectIsKeptInvalidAndLogged) {
    IShader* lr_Shader = mr_Plugin->LoadEffectFile("ZBlur.hlsl", "Plugins\\SSAO");
    ASSERT_NE(nullptr, lr_Shader) << "the invalid shader is returned, not null";
    EXPECT_FALSE(lr_Shader->IsValid());
    EXPECT_EQ(lr_Shader, mr_Plugin->mr_ShaderSystem_->GetShader("ZBlur.hlsl")) << "registered under the bare name";
    const std::string ls_Expected =
        "SSAO: " + PathOf("ZBlur.hlsl") + " shader not loaded:\n" + lr_Shader->GetErrorMessage() + "\n";
    EXPECT_NE(std::string::npos, Log().find(ls_Expected)) << Log();
}

TEST_F(PluginLoadingTest, EffectThatDoesNotCompileLogsTheCompilersText) {
    // One error in the declarations, one inside a shader's body: each is the
    // compiler's located message in the log.
    // Each under its own name: a second shader under a taken name would be the caller's.
    const struct {
        const char* File;
        const char* Text;
        const char* Located;  // after the file name
    } lr_Cases[] = {
        {"SSAO.hlsl", "float4 Colour = ;\n", "(1,"},
        {"ZBlur.hlsl",
         "float4 Tint;\nfloat4 PS(float2 uv : TEXCOORD0) : COLOR0\n{\n    return Tint * Missing;\n}\n"
         "technique T { pass { PixelShader = compile ps_2_0 PS(); } }\n",
         "(4,15): error X5005: "},
    };
    for (const auto& lr_Case : lr_Cases) {
        SCOPED_TRACE(lr_Case.Text);
        {
            std::ofstream lr_Out(mr_Folder / lr_Case.File, std::ios::binary);
            lr_Out << lr_Case.Text;
        }
        const std::string ls_Before = Log();
        IShader* lr_Shader = mr_Plugin->LoadEffectFile(lr_Case.File, "Plugins\\SSAO");
        ASSERT_NE(nullptr, lr_Shader);
        EXPECT_FALSE(lr_Shader->IsValid());
        const std::string ls_Log = Log().substr(ls_Before.size());
        EXPECT_NE(std::string::npos, ls_Log.find("SSAO: " + PathOf(lr_Case.File) + " shader not loaded:\n"));
        EXPECT_NE(std::string::npos, ls_Log.find(lr_Case.File + std::string(lr_Case.Located))) << ls_Log;
        EXPECT_NE(lr_Shader->GetErrorMessage().find(lr_Case.Located), std::string::npos);
    }
}

TEST_F(PluginLoadingTest, WithoutAShaderSystemTheLoadIsACriticalError) {
    delete mr_Plugin->mr_ShaderSystem_;
    mr_Plugin->mr_ShaderSystem_ = nullptr;
    EXPECT_EQ(nullptr, mr_Plugin->LoadEffectFile("SSAO.hlsl", "Plugins\\SSAO"));
    EXPECT_NE(std::string::npos, Log().find("SSAO: " + PathOf("SSAO.hlsl") + " shader not loaded. Critical error!\n"));
}

TEST_F(PluginLoadingTest, DataPathWithoutSeparatorIsGluedToTheFolder) {
    UseDataFolder(mr_TempDirectory / "glued", false);
    WriteBmp(mr_Folder / "Noise.bmp", 2, 2);
    mr_Plugin->LoadEffectFile("ShowTexture.hlsl", "Plugins\\SSAO");
    TextureRecord lr_Record = mr_Plugin->LoadTextureFile(L"Noise.bmp", L"Plugins\\SSAO");
    EXPECT_EQ(nullptr, lr_Record.Texture) << "nothing repairs the missing separator";
    const std::string ls_Glued = "SSAO: " + mr_Data.string() + "Plugins\\SSAO\\";
    EXPECT_NE(std::string::npos, Log().find(ls_Glued + "ShowTexture.hlsl shader not loaded")) << Log();
    EXPECT_NE(std::string::npos, Log().find(ls_Glued + "Noise.bmp texture not loaded. Critical error!\n"));
}

TEST_F(PluginLoadingTest, DataPathOutsideTheAnsiPageReachesOnlyTheTextureLoaderIntact) {
    // U+0151 has no Windows-1252 form: the narrow effect path gets '?' in its place.
    UseDataFolder(mr_TempDirectory /
                  "\xC5\x91"
                  "data");
    WriteBmp(mr_Folder / "Noise.bmp", 2, 2);
    {
        std::ofstream lr_Out(mr_Folder / "RenderBlack.hlsl", std::ios::binary);
        lr_Out << "float4 Colour = ;\n";  // would report a syntax error if it were ever read
    }
    IShader* lr_Shader = mr_Plugin->LoadEffectFile("RenderBlack.hlsl", "Plugins\\SSAO");
    ASSERT_NE(nullptr, lr_Shader);
    EXPECT_FALSE(lr_Shader->IsValid());
    const std::string ls_Changed =
        "SSAO: " + (mr_TempDirectory / "?data").string() + "/Plugins\\SSAO\\RenderBlack.hlsl";
    EXPECT_NE(std::string::npos, Log().find(ls_Changed + " shader not loaded:\n")) << Log();
    // The same text, read from a path the ANSI page can name, fails differently: it was never read above.
    std::filesystem::copy_file(mr_Folder / "RenderBlack.hlsl", mr_TempDirectory / "Plain.hlsl");
    IShader* lr_Direct =
        mr_Plugin->mr_ShaderSystem_->CreateShaderFromFile("direct", (mr_TempDirectory / "Plain.hlsl").string());
    ASSERT_NE(nullptr, lr_Direct);
    EXPECT_NE(lr_Direct->GetErrorMessage(), lr_Shader->GetErrorMessage());

    TextureRecord lr_Record = mr_Plugin->LoadTextureFile(L"Noise.bmp", L"Plugins\\SSAO");
    ASSERT_NE(nullptr, lr_Record.Texture);
    EXPECT_EQ(2u, lr_Record.Width);
    lr_Record.Texture->Release();
    EXPECT_EQ(std::string::npos, Log().find("texture not loaded"));
}

}  // namespace
