// The effect files and the noise image, loaded when the plug-in is switched
// on: what each load did is read from the log and the device's live objects.
#include "Plugin.h"
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
            mr_Plugin->SetActive(false);
            mr_Plugin->Deinitialise();
        }
        mr_Plugin.reset();
    }

    // A data folder with Plugins/SSAO inside, and a new initialised plug-in that uses it.
    void UseDataFolder(const fs::path& data, bool withSeparator = true) {
        mr_Data = data;
        mr_Folder = data / "Plugins" / "SSAO";
        fs::create_directories(mr_Folder);
        DropPlugin();
        mr_Host = std::make_unique<TestHost>(WidePath(mr_Base) + L"/", WidePath(data) + (withSeparator ? L"/" : L""));
        mr_Plugin = std::make_unique<k_Plugin>(mr_Host.get());
        mr_Plugin->Initialise(mr_Device_);
    }

    // Switches the plug-in on, which loads the five effects and the noise
    // image; returns what that added to the log.
    std::string SwitchOn() {
        const std::string ls_Before = Log();
        mr_Plugin->SetActive(true);
        EXPECT_TRUE(mr_Plugin->IsActive());
        return Log().substr(ls_Before.size());
    }
    // The noise image is the only texture there is until the first frame.
    std::vector<SoftLiveObject> Textures() {
        std::vector<SoftLiveObject> lr_Textures;
        for (const SoftLiveObject& lr_Object : mr_Control_->GetLiveObjects())
            if (lr_Object.Kind == SoftObjectKind::Texture) lr_Textures.push_back(lr_Object);
        return lr_Textures;
    }
    // The text the log gives after "<path> shader not loaded:\n", up to the next line of the plug-in.
    static std::string CompilerText(const std::string& log, const std::string& path) {
        const std::string ls_Head = "SSAO: " + path + " shader not loaded:\n";
        const size_t lr_At = log.find(ls_Head);
        if (lr_At == std::string::npos) return std::string();
        const size_t lr_From = lr_At + ls_Head.size();
        const size_t lr_To = log.find("\nSSAO: ", lr_From);
        return log.substr(lr_From, lr_To == std::string::npos ? std::string::npos : lr_To - lr_From);
    }

    std::string Log() const { return ReadText(mr_Base / "Vexil.log"); }
    std::string PathOf(const std::string& file) const { return mr_Data.string() + "/Plugins\\SSAO\\" + file; }

    fs::path mr_Base, mr_Data, mr_Folder;
    std::unique_ptr<TestHost> mr_Host;
    std::unique_ptr<k_Plugin> mr_Plugin;
};

TEST_F(PluginLoadingTest, NoiseImageLoadsSilentlyAtTheFilesSize) {
    // Power-of-two sides: the texture is the image's own size.
    WriteBmp(mr_Folder / "Noise.bmp", 8, 4);
    const std::string ls_Added = SwitchOn();
    const std::vector<SoftLiveObject> lr_Textures = Textures();
    ASSERT_EQ(lr_Textures.size(), 1u);
    EXPECT_EQ(8u, lr_Textures[0].Width);
    EXPECT_EQ(4u, lr_Textures[0].Height);
    EXPECT_EQ(ls_Added.find("texture"), std::string::npos) << "a successful load writes nothing\n" << ls_Added;
    mr_Plugin->SetActive(false);
    EXPECT_TRUE(Textures().empty()) << "switching off releases the noise image";
}

TEST_F(PluginLoadingTest, MissingOrCorruptNoiseImageIsLoggedAndLeavesNoTexture) {
    for (const bool lr_Corrupt : {false, true}) {
        SCOPED_TRACE(lr_Corrupt ? "corrupt" : "missing");
        if (lr_Corrupt) {
            std::ofstream lr_Out(mr_Folder / "Noise.bmp", std::ios::binary);
            lr_Out << "BM this is not an image at all";
        }
        const std::string ls_Added = SwitchOn();
        EXPECT_NE(std::string::npos,
                  ls_Added.find("SSAO: " + PathOf("Noise.bmp") + " texture not loaded. Critical error!\n"))
            << ls_Added;
        EXPECT_TRUE(Textures().empty());
        mr_Plugin->SetActive(false);
    }
}

TEST_F(PluginLoadingTest, TextureCreationFailureIsLoggedAndLeaksNothing) {
    WriteBmp(mr_Folder / "Noise.bmp", 4, 4);
    // The effects are missing: the image is the first texture made.
    mr_Control_->FailCall(SoftCall::CreateTexture, 1, E_OUTOFMEMORY);
    const std::string ls_Added = SwitchOn();
    ASSERT_GE(mr_Control_->GetCallCount(SoftCall::CreateTexture), 1u);
    EXPECT_NE(std::string::npos, ls_Added.find(PathOf("Noise.bmp") + " texture not loaded. Critical error!\n"));
    EXPECT_EQ(0u, mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false));
}

TEST_F(PluginLoadingTest, MissingEffectIsLoggedWithTheLoadersText) {
    const std::string ls_Added = SwitchOn();
    for (const char* ls_File :
         {"ShowTexture.hlsl", "ZBlur.hlsl", "RenderDepth.hlsl", "RenderBlack.hlsl", "SSAO.hlsl"}) {
        SCOPED_TRACE(ls_File);
        EXPECT_NE(CompilerText(ls_Added, PathOf(ls_File)), "") << ls_Added;
    }
    EXPECT_EQ(ls_Added.find(" shader loaded."), std::string::npos);
}

TEST_F(PluginLoadingTest, EffectThatDoesNotCompileLogsTheCompilersText) {
    // One error in the declarations, one inside a shader's body: each is the
    // compiler's located message in the log.
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
        std::ofstream lr_Out(mr_Folder / lr_Case.File, std::ios::binary);
        lr_Out << lr_Case.Text;
    }
    const std::string ls_Added = SwitchOn();
    for (const auto& lr_Case : lr_Cases) {
        SCOPED_TRACE(lr_Case.Text);
        const std::string ls_Text = CompilerText(ls_Added, PathOf(lr_Case.File));
        EXPECT_NE(std::string::npos, ls_Text.find(lr_Case.File + std::string(lr_Case.Located))) << ls_Added;
    }
}

TEST_F(PluginLoadingTest, DataPathWithoutSeparatorIsGluedToTheFolder) {
    UseDataFolder(mr_TempDirectory / "glued", false);
    WriteBmp(mr_Folder / "Noise.bmp", 2, 2);
    const std::string ls_Added = SwitchOn();
    EXPECT_TRUE(Textures().empty()) << "nothing repairs the missing separator";
    const std::string ls_Glued = "SSAO: " + mr_Data.string() + "Plugins\\SSAO\\";
    EXPECT_NE(std::string::npos, ls_Added.find(ls_Glued + "ShowTexture.hlsl shader not loaded")) << ls_Added;
    EXPECT_NE(std::string::npos, ls_Added.find(ls_Glued + "Noise.bmp texture not loaded. Critical error!\n"));
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
    const std::string ls_Added = SwitchOn();
    const std::string ls_Changed = (mr_TempDirectory / "?data").string() + "/Plugins\\SSAO\\RenderBlack.hlsl";
    const std::string ls_Text = CompilerText(ls_Added, ls_Changed);
    EXPECT_NE(ls_Text, "") << ls_Added;
    // The same text, read from a path the ANSI page can name, fails differently: it was never read above.
    std::filesystem::copy_file(mr_Folder / "RenderBlack.hlsl", mr_TempDirectory / "Plain.hlsl");
    ShaderSystem lr_System(mr_Device_);
    IShader* lr_Direct = lr_System.CreateShaderFromFile("direct", (mr_TempDirectory / "Plain.hlsl").string());
    ASSERT_NE(nullptr, lr_Direct);
    EXPECT_NE(lr_Direct->GetErrorMessage(), "");
    EXPECT_EQ(ls_Text.find(lr_Direct->GetErrorMessage()), std::string::npos) << ls_Text;

    const std::vector<SoftLiveObject> lr_Textures = Textures();
    ASSERT_EQ(lr_Textures.size(), 1u);
    EXPECT_EQ(2u, lr_Textures[0].Width);
    EXPECT_EQ(std::string::npos, ls_Added.find("texture not loaded"));
}

}  // namespace
