// What the substitute's effect runtime sets for each pass of the compiled
// effects against what Wine's D3DX set (windows_wine_effect_states_<arch>), from
// the same compiled effects with the same parameter values: every state,
// texture, shader and constant register, line by line.
//
//   wine_effect_state_comparison_tests <compiled data folder> <Wine output folder> [gtest options]
#include "EffectStates.h"
#include "SoftTestDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include "WineRunFiles.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string g_CompiledData;
std::string g_WineOutput;

using winerun::k_EffectFiles;
using winerun::ReadLines;

TEST(WineEffectStates, EveryPassSetsWhatWinesRuntimeSets) {
    if (!std::filesystem::exists(g_WineOutput + "/SSAO.hlsl.states"))
        GTEST_SKIP() << "no states from Wine in " << g_WineOutput << " (the Wine run was skipped or failed)";
    IDirect3D9* lr_Direct3D_ = nullptr;
    IDirect3DDevice9* lr_Device_ = nullptr;
    ASSERT_EQ(CreateSoftDevice(SoftPresentParameters(64, 64), D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Direct3D_,
                               &lr_Device_),
              D3D_OK);
    for (const char* lr_File : k_EffectFiles) {
        SCOPED_TRACE(lr_File);
        const std::string ls_Path = g_CompiledData + "/Plugins/SSAO/" + lr_File;
        ID3DXEffect* lr_Effect_ = nullptr;
        ASSERT_EQ(
            D3DXCreateEffectFromFileA(lr_Device_, ls_Path.c_str(), nullptr, nullptr, 0, nullptr, &lr_Effect_, nullptr),
            D3D_OK);
        std::vector<std::string> lr_Ours;
        std::string ls_Error;
        EXPECT_TRUE(DescribeEffectStates(lr_Device_, lr_Effect_, lr_Ours, ls_Error)) << ls_Error;
        lr_Effect_->Release();
        const std::vector<std::string> lr_Wine = ReadLines(g_WineOutput + "/" + lr_File + ".states");
        EXPECT_FALSE(lr_Wine.empty());
        for (const std::string& ls_Line : lr_Wine)
            EXPECT_NE(std::find(lr_Ours.begin(), lr_Ours.end(), ls_Line), lr_Ours.end()) << "Wine only: " << ls_Line;
        for (const std::string& ls_Line : lr_Ours)
            EXPECT_NE(std::find(lr_Wine.begin(), lr_Wine.end(), ls_Line), lr_Wine.end()) << "ours only: " << ls_Line;
    }
    EXPECT_EQ(lr_Device_->Release(), 0u) << "the effects left device objects alive";
    lr_Direct3D_->Release();
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: wine_effect_state_comparison_tests <compiled data folder> <Wine output folder>\n");
        return 2;
    }
    g_CompiledData = argv[1];
    g_WineOutput = argv[2];
    return RUN_ALL_TESTS();
}
