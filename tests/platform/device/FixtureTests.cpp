// The shared fixture's own checks: a leaked object fails the test that leaked it.
#include "SoftDeviceFixture.h"

#include <gtest/gtest-spi.h>

#include <fstream>

class FixtureTests : public SoftDeviceFixture {};

TEST_F(FixtureTests, ALeakedObjectIsReportedWithItsDescription) {
    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(16, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr), D3D_OK);
    ::testing::TestPartResultArray lr_Results;
    {
        ::testing::ScopedFakeTestPartResultReporter lr_Reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &lr_Results);
        ReleaseDevice();
    }
    // The live object, then the device and the Direct3D object it keeps alive.
    ASSERT_EQ(lr_Results.size(), 3);
    EXPECT_NE(
        std::string(lr_Results.GetTestPartResult(0).message()).find("texture managed usage=0x0 fmt=21 16x8 refs=1"),
        std::string::npos)
        << lr_Results.GetTestPartResult(0).message();
    EXPECT_NE(std::string(lr_Results.GetTestPartResult(1).message()).find("device is still referenced"),
              std::string::npos);
    // The last reference takes the device and the Direct3D object with it.
    EXPECT_EQ(lr_Texture_->Release(), 0u);
}

TEST_F(FixtureTests, AnOverReleaseIsReported) {
    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(mr_Device_->GetRenderTarget(0, &lr_Target_), D3D_OK);
    lr_Target_->Release();
    lr_Target_->Release();  // still bound as render target 0, so still alive
    ::testing::TestPartResultArray lr_Results;
    {
        ::testing::ScopedFakeTestPartResultReporter lr_Reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &lr_Results);
        ReleaseDevice();
    }
    ASSERT_EQ(lr_Results.size(), 1);
    EXPECT_NE(std::string(lr_Results.GetTestPartResult(0).message()).find("more often than AddRef"), std::string::npos);
}

// What one test leaves in its directory, folders included, is gone before
// the next test gets an empty one of its own.
TEST_F(FixtureTests, EachTestGetsAnEmptyDirectoryThatTearDownRemovesWithItsFiles) {
    ASSERT_TRUE(std::filesystem::is_directory(mr_TempDirectory));
    EXPECT_TRUE(std::filesystem::is_empty(mr_TempDirectory));
    const std::filesystem::path lr_First = mr_TempDirectory;
    std::ofstream(lr_First / "probe.txt") << "x";
    ASSERT_TRUE(std::filesystem::create_directory(lr_First / "folder"));
    std::ofstream(lr_First / "folder" / "inner.txt") << "y";
    TearDown();
    EXPECT_FALSE(std::filesystem::exists(lr_First));
    SetUp();
    ASSERT_TRUE(std::filesystem::is_directory(mr_TempDirectory));
    EXPECT_TRUE(std::filesystem::is_empty(mr_TempDirectory));
    EXPECT_NE(mr_TempDirectory, lr_First);
}
