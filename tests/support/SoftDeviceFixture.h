// GoogleTest fixture giving each test a software Direct3D 9 device and a
// fresh temporary directory. At tear-down it releases its own references and
// fails the test when a device object the test made is still alive, when an
// object was released more often than referenced, or when the device does
// not go away with the fixture's last reference.
//
// Usage:
//   class MyTest : public SoftDeviceFixture {};
//   TEST_F(MyTest, Something) { mr_Device_->...; mr_Control_->GetDraws(); }
//
// To change the device, set mr_PresentParameters (or mr_BehaviorFlags) in the
// derived class's constructor; SetUp creates the device from them.
#pragma once

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

class SoftDeviceFixture : public ::testing::Test {
public:
    // 800x600 X8R8G8B8, one back buffer, windowed, discard, D24S8 automatic
    // depth-stencil, no window.
    static D3DPRESENT_PARAMETERS DefaultPresentParameters();

    // One line per live object ("texture default usage=0x1 fmt=21 800x600 refs=1").
    static std::string DescribeLiveObjects(ISoftDeviceControl* control, bool includeImplicit);

protected:
    SoftDeviceFixture();
    ~SoftDeviceFixture() override;

    void SetUp() override;
    void TearDown() override;

    // Releases the device and the Direct3D object now (the tear-down checks
    // run here); later calls do nothing. Useful to test what happens after.
    void ReleaseDevice();

    // Replaces the device with one the same Direct3D object makes on the
    // given adapter (the tear-down checks run on the old one first). Several
    // heads: a device driving the adapter group. The result of CreateDevice.
    HRESULT ReplaceDevice(UINT adapter, DWORD behaviorFlags, std::vector<D3DPRESENT_PARAMETERS> heads);
    // The device part of ReleaseDevice: the Direct3D object stays.
    void ReleaseDeviceOnly();

    // Public reference count of a device object, without touching it.
    ULONG RefCount(IUnknown* object) const;
    // Packed pixels of any surface (width x bytes per pixel per row).
    std::vector<BYTE> ReadPixels(IDirect3DSurface9* surface) const;
    // Back buffer 0 of swap chain 0; the caller releases it.
    IDirect3DSurface9* GetBackBuffer0() const;

    // Settings read by SetUp.
    D3DPRESENT_PARAMETERS mr_PresentParameters;
    DWORD mr_BehaviorFlags;
    // Set to false in a test that leaves objects alive on purpose.
    bool mr_CheckLiveObjects;

    IDirect3D9* mr_Direct3D_;
    IDirect3DDevice9* mr_Device_;
    // The device's test controls. Not referenced: valid while mr_Device_ is.
    ISoftDeviceControl* mr_Control_;
    // Created by SetUp, removed with its contents by TearDown.
    std::filesystem::path mr_TempDirectory;
};
