// Settings.fxh as a host edits it: the plug-in reads the effects when it is
// switched on, so a changed value is drawn after switching off and on, and
// not before.
#include "AnalyticScene.h"
#include "EffectSettings.h"
#include "OcclusionStudy.h"
#include "Plugin.h"
#include "SceneMesh.h"
#include "SoftDeviceFixture.h"
#include "SoftTestDevice.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

class SettingsReloadTest : public SoftDeviceFixture {
protected:
    SettingsReloadTest() { mr_PresentParameters = SoftPresentParameters(320, 180); }

    // The occlusion term of one look at the demo room, red channel 0..1.
    std::vector<float> OcclusionTerm(IDirect3D9BasePlugin* plugin) {
        OcclusionStudy lr_Study(mr_Device_, mr_Control_, plugin);
        PassImages lr_Images;
        std::string ls_Error;
        EXPECT_TRUE(lr_Study.Run(mr_Camera, mr_Mesh, lr_Images, ls_Error)) << ls_Error;
        return OcclusionStudy::RedChannel(lr_Images.Occlusion);
    }

    // Pixels darker than white.
    static size_t Occluded(const std::vector<float>& term) {
        return static_cast<size_t>(std::count_if(term.begin(), term.end(), [](float v) { return v < 1.0f; }));
    }

    const SceneCamera mr_Camera = SceneCamera::OrdinaryNearPlaneView();
    const std::vector<SceneVertex> mr_Mesh = BuildSceneMesh(AnalyticScene::MakeDemoRoom());
};

TEST_F(SettingsReloadTest, AnEditedStrengthIsDrawnOnceThePluginIsSwitchedOffAndOn) {
    const std::string ls_Shipped = std::string(SSAO_DATA_ROOT) + "/Plugins/SSAO";
    const std::filesystem::path lr_Folder = mr_TempDirectory / "Plugins" / "SSAO";
    EffectSettings lr_Settings = EffectSettings::ForCamera(mr_Camera);
    std::string ls_Error;
    ASSERT_TRUE(WriteEffectFolder(ls_Shipped, lr_Folder.string(), lr_Settings, ls_Error)) << ls_Error;

    TestHost lr_Host{WidePath(mr_TempDirectory) + L"/", WidePath(mr_TempDirectory) + L"/"};
    k_Plugin lr_Plugin{lr_Host.AsHost()};
    lr_Plugin.Initialise(mr_Device_);
    lr_Plugin.SetActive(true);
    ASSERT_TRUE(lr_Plugin.IsActive());
    const std::vector<float> lr_AsWritten = OcclusionTerm(&lr_Plugin);
    ASSERT_EQ(lr_AsWritten.size(), 320u * 180u);
    EXPECT_GT(Occluded(lr_AsWritten), lr_AsWritten.size() / 20) << "the room's creases are dark at strength 1";

    // The host's edit: AO_STRENGTH 1 -> 0 in its copy of the file.
    std::ifstream lr_Original(lr_Folder / "Settings.fxh", std::ios::binary);
    std::stringstream ls_Original;
    ls_Original << lr_Original.rdbuf();
    lr_Original.close();
    lr_Settings.Strength = 0;
    const std::string ls_Edited = SettingsText(ls_Original.str(), lr_Settings);
    ASSERT_NE(ls_Edited.find("#define AO_STRENGTH 0"), std::string::npos) << ls_Edited;
    std::ofstream(lr_Folder / "Settings.fxh", std::ios::binary | std::ios::trunc) << ls_Edited;

    // Still switched on: the effects it read are the ones it draws with.
    EXPECT_EQ(Occluded(OcclusionTerm(&lr_Plugin)), Occluded(lr_AsWritten));

    lr_Plugin.SetActive(false);
    lr_Plugin.SetActive(true);
    ASSERT_TRUE(lr_Plugin.IsActive());
    const std::vector<float> lr_Reloaded = OcclusionTerm(&lr_Plugin);
    ASSERT_EQ(lr_Reloaded.size(), lr_AsWritten.size());
    EXPECT_EQ(Occluded(lr_Reloaded), 0u) << "strength 0: white everywhere";
    lr_Plugin.SetActive(false);
    lr_Plugin.Deinitialise();
}

}  // namespace
