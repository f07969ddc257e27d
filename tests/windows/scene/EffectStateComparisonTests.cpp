// The compiled effects as Wine's D3DX reads and runs them
// (windows_wine_effect_states_<arch>) against the substitute: what each
// effect shows of itself against the effect the substitute makes from its
// text (the round trip from text to binary), and what each pass sets
// against the substitute's runtime running the same binary with the same
// parameter values (every state, texture, shader and constant register),
// line by line.
//
//   wine_effect_state_comparison_tests <compiled effects folder> <Wine output folder> [gtest options]
#include "EffectDescription.h"
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

std::string g_CompiledEffects;
std::string g_WineOutput;

using winerun::k_EffectFiles;
using winerun::ReadLines;

// The compiled effects of the folder, by file name.
std::vector<std::string> CompiledEffectFiles() {
    std::vector<std::string> lr_Files;
    for (const auto& lr_Entry : std::filesystem::directory_iterator(g_CompiledEffects)) {
        const std::string ls_Extension = lr_Entry.path().extension().string();
        if (ls_Extension == ".hlsl" || ls_Extension == ".fx") lr_Files.push_back(lr_Entry.path().filename().string());
    }
    std::sort(lr_Files.begin(), lr_Files.end());
    return lr_Files;
}

// Where the text of a compiled effect lies: the shipped effects in data/,
// the rich one beside the substitute's own tests.
std::string TextOf(const std::string& file) {
    const bool lr_Shipped = std::find_if(std::begin(k_EffectFiles), std::end(k_EffectFiles),
                                         [&](const char* name) { return file == name; }) != std::end(k_EffectFiles);
    return std::string(SSAO_SOURCE_DIR) + (lr_Shipped ? "/data/Plugins/SSAO/" : "/tests/platform/effect/") + file;
}

class WineEffectRuntime : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(g_WineOutput + "/SSAO.hlsl.states"))
            GTEST_SKIP() << "no states from Wine in " << g_WineOutput << " (the Wine run was skipped or failed)";
        mr_Files = CompiledEffectFiles();
        ASSERT_EQ(mr_Files.size(), std::size(k_EffectFiles) + 1) << "the five effects and the rich one";
        ASSERT_EQ(CreateSoftDevice(SoftPresentParameters(64, 64), D3DCREATE_HARDWARE_VERTEXPROCESSING, &mr_Direct3D_,
                                   &mr_Device_),
                  D3D_OK);
    }
    void TearDown() override {
        if (mr_Device_) {
            EXPECT_EQ(mr_Device_->Release(), 0u) << "the effects left device objects alive";
        }
        if (mr_Direct3D_) mr_Direct3D_->Release();
    }

    ID3DXEffect* Load(const std::string& path) {
        ID3DXEffect* lr_Effect_ = nullptr;
        ID3DXBuffer* lr_Errors_ = nullptr;
        const HRESULT hr =
            D3DXCreateEffectFromFileA(mr_Device_, path.c_str(), nullptr, nullptr, 0, nullptr, &lr_Effect_, &lr_Errors_);
        EXPECT_EQ(hr, D3D_OK) << path << ": "
                              << (lr_Errors_ ? static_cast<const char*>(lr_Errors_->GetBufferPointer()) : "");
        if (lr_Errors_) lr_Errors_->Release();
        return lr_Effect_;
    }

    std::vector<std::string> mr_Files;
    IDirect3D9* mr_Direct3D_ = nullptr;
    IDirect3DDevice9* mr_Device_ = nullptr;
};

// Both ways: every line of one side is on the other.
void ExpectSameLines(const std::vector<std::string>& wine, const std::vector<std::string>& ours) {
    EXPECT_FALSE(wine.empty());
    for (const std::string& ls_Line : wine)
        EXPECT_NE(std::find(ours.begin(), ours.end(), ls_Line), ours.end()) << "Wine only: " << ls_Line;
    for (const std::string& ls_Line : ours)
        EXPECT_NE(std::find(wine.begin(), wine.end(), ls_Line), wine.end()) << "ours only: " << ls_Line;
}

TEST_F(WineEffectRuntime, EveryCompiledEffectDescribesItselfAsTheTextDoes) {
    for (const std::string& ls_File : mr_Files) {
        SCOPED_TRACE(ls_File);
        ID3DXEffect* lr_Effect_ = Load(TextOf(ls_File));
        if (!lr_Effect_) continue;
        const std::vector<std::string> lr_Ours = DescribeEffect(lr_Effect_);
        lr_Effect_->Release();
        const std::vector<std::string> lr_Wine = ReadLines(g_WineOutput + "/" + ls_File + ".description");
        ExpectSameLines(lr_Wine, lr_Ours);
        EXPECT_EQ(lr_Wine, lr_Ours) << "the same lines in another order";
    }
}

TEST_F(WineEffectRuntime, EveryPassSetsWhatWinesRuntimeSets) {
    for (const std::string& ls_File : mr_Files) {
        SCOPED_TRACE(ls_File);
        ID3DXEffect* lr_Effect_ = Load(g_CompiledEffects + "/" + ls_File);
        if (!lr_Effect_) continue;
        std::vector<std::string> lr_Ours;
        std::string ls_Error;
        EXPECT_TRUE(DescribeEffectStates(mr_Device_, lr_Effect_, lr_Ours, ls_Error)) << ls_Error;
        lr_Effect_->Release();
        ExpectSameLines(ReadLines(g_WineOutput + "/" + ls_File + ".states"), lr_Ours);
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: wine_effect_state_comparison_tests <compiled effects folder> <Wine output folder>\n");
        return 2;
    }
    g_CompiledEffects = argv[1];
    g_WineOutput = argv[2];
    return RUN_ALL_TESTS();
}
