// The software device's occlusion query counts of the probes in
// tools/compare/queries against those Wine's Direct3D 9 counted of the same
// draws (windows_wine_occlusion_counts_<arch> writes them).
//
//   occlusion_count_comparison_tests <Wine count directory> [gtest options]
#include "OcclusionProbes.h"
#include "SoftTestDevice.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

namespace {

std::string g_WineCounts;

using Counts = std::map<std::string, DWORD>;

Counts CountOnSoftwareDevice() {
    Counts lr_Counts;
    IDirect3D9* lr_Direct3D_ = nullptr;
    IDirect3DDevice9* lr_Device_ = nullptr;
    EXPECT_EQ(CreateSoftDevice(SoftPresentParameters(OcclusionProbes::k_Width, OcclusionProbes::k_Height),
                               D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Direct3D_, &lr_Device_),
              D3D_OK);
    if (!lr_Device_) return lr_Counts;
    std::string ls_Error;
    EXPECT_TRUE(OcclusionProbes::Run(
        lr_Device_, [] {}, [&](const std::string& name, DWORD count) { lr_Counts[name] = count; }, ls_Error))
        << ls_Error;
    EXPECT_EQ(lr_Device_->Release(), 0u) << "the probes left device objects alive";
    lr_Direct3D_->Release();
    return lr_Counts;
}

TEST(OcclusionProbesOnSoftwareDevice, CountTheBandsTheyLieInFrontOf) {
    // A grid column is 12 quads of 4 pixels; the bands hold 5, 5 and 6 columns.
    const Counts lr_Counts = CountOnSoftwareDevice();
    EXPECT_EQ(lr_Counts.size(), 21u);
    EXPECT_EQ(lr_Counts.at("D16 lessequal 0.35"), 11u * 48u);
    EXPECT_EQ(lr_Counts.at("D24S8 greaterequal 0.7"), 10u * 48u);
    EXPECT_EQ(lr_Counts.at("D24S8 shader depth 0.7"), 6u * 48u);
    EXPECT_EQ(lr_Counts.at("D24S8 stencil equal 1"), 5u * 48u);
}

TEST(OcclusionCountComparison, SoftwareDeviceCountsWhatWineCounts) {
    std::ifstream lr_File(g_WineCounts + "/counts.txt");
    if (!lr_File) GTEST_SKIP() << "no counts from Wine in " << g_WineCounts;
    Counts lr_Wine;
    // "<name> <count>": the name runs to the last space.
    for (std::string ls_Line; std::getline(lr_File, ls_Line);) {
        const size_t lr_Space = ls_Line.rfind(' ');
        ASSERT_NE(lr_Space, std::string::npos) << ls_Line;
        lr_Wine[ls_Line.substr(0, lr_Space)] = static_cast<DWORD>(std::stoul(ls_Line.substr(lr_Space + 1)));
    }
    const Counts lr_Soft = CountOnSoftwareDevice();
    EXPECT_EQ(lr_Soft.size(), lr_Wine.size());
    for (const auto& [ls_Name, lr_Expected] : lr_Wine) {
        auto lr_Found = lr_Soft.find(ls_Name);
        ASSERT_NE(lr_Found, lr_Soft.end()) << ls_Name;
        EXPECT_EQ(lr_Found->second, lr_Expected) << ls_Name;
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <Wine count directory>\n", argv[0]);
        return 2;
    }
    g_WineCounts = argv[1];
    return RUN_ALL_TESTS();
}
