// Moving pixels between memory pools, cube faces, scenes and Present.
#include "SoftDeviceFixture.h"

#include <cstring>

class TransferTests : public SoftDeviceFixture {
protected:
    static std::vector<BYTE> Pattern(size_t size, BYTE seed) {
        std::vector<BYTE> lr_Bytes(size);
        for (size_t i = 0; i < size; ++i) lr_Bytes[i] = static_cast<BYTE>(seed + i * 7);
        return lr_Bytes;
    }
};

TEST_F(TransferTests, UpdateSurfaceCopiesSystemMemoryIntoTheDefaultPool) {
    IDirect3DSurface9* lr_System_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &lr_System_, nullptr),
              D3D_OK);
    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(
        mr_Device_->CreateRenderTarget(16, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Target_, nullptr),
        D3D_OK);
    std::vector<BYTE> lr_Source = Pattern(8 * 8 * 4, 3);
    ASSERT_EQ(mr_Control_->WritePixels(lr_System_, lr_Source), D3D_OK);
    POINT lr_At{8, 4};
    ASSERT_EQ(mr_Device_->UpdateSurface(lr_System_, nullptr, lr_Target_, &lr_At), D3D_OK);
    std::vector<BYTE> lr_Pixels = ReadPixels(lr_Target_);
    EXPECT_EQ(std::memcmp(&lr_Pixels[(4 * 16 + 8) * 4], &lr_Source[0], 8 * 4), 0);
    EXPECT_EQ(std::memcmp(&lr_Pixels[(11 * 16 + 8) * 4], &lr_Source[7 * 8 * 4], 8 * 4), 0);
    POINT lr_TooFar{9, 0};
    EXPECT_EQ(mr_Device_->UpdateSurface(lr_System_, nullptr, lr_Target_, &lr_TooFar), D3DERR_INVALIDCALL);
    // The other direction is GetRenderTargetData's, with equal sizes only.
    EXPECT_EQ(mr_Device_->UpdateSurface(lr_Target_, nullptr, lr_System_, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->GetRenderTargetData(lr_Target_, lr_System_), D3DERR_INVALIDCALL);
    lr_Target_->Release();

    ASSERT_EQ(
        mr_Device_->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Target_, nullptr),
        D3D_OK);
    std::vector<BYTE> lr_Rendered = Pattern(8 * 8 * 4, 99);
    mr_Control_->WritePixels(lr_Target_, lr_Rendered);
    ASSERT_EQ(mr_Device_->GetRenderTargetData(lr_Target_, lr_System_), D3D_OK);
    EXPECT_EQ(ReadPixels(lr_System_), lr_Rendered);
    lr_Target_->Release();
    lr_System_->Release();
}

TEST_F(TransferTests, UpdateTextureFillsEachLevelFromTheSameSize) {
    IDirect3DTexture9* lr_System_ = nullptr;
    IDirect3DTexture9* lr_Default_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &lr_System_, nullptr), D3D_OK);
    ASSERT_EQ(mr_Device_->CreateTexture(4, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &lr_Default_, nullptr), D3D_OK);
    IDirect3DSurface9* lr_From_ = nullptr;
    lr_System_->GetSurfaceLevel(1, &lr_From_);
    std::vector<BYTE> lr_Level = Pattern(4 * 4 * 4, 11);
    mr_Control_->WritePixels(lr_From_, lr_Level);
    ASSERT_EQ(mr_Device_->UpdateTexture(lr_System_, lr_Default_), D3D_OK);
    IDirect3DSurface9* lr_To_ = nullptr;
    lr_Default_->GetSurfaceLevel(0, &lr_To_);
    EXPECT_EQ(ReadPixels(lr_To_), lr_Level);
    EXPECT_EQ(mr_Device_->UpdateTexture(lr_Default_, lr_System_), D3DERR_INVALIDCALL);
    lr_To_->Release();
    lr_From_->Release();
    lr_Default_->Release();
    lr_System_->Release();
}

TEST_F(TransferTests, CubeFacesAreSeparateAndCountOnTheCube) {
    IDirect3DCubeTexture9* lr_Cube_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateCubeTexture(16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Cube_, nullptr), D3D_OK);
    EXPECT_EQ(lr_Cube_->GetLevelCount(), 5u);
    D3DLOCKED_RECT lr_Lock;
    ASSERT_EQ(lr_Cube_->LockRect(D3DCUBEMAP_FACE_NEGATIVE_Y, 0, &lr_Lock, nullptr, 0), D3D_OK);
    static_cast<DWORD*>(lr_Lock.pBits)[0] = 0xCAFEF00Du;
    lr_Cube_->UnlockRect(D3DCUBEMAP_FACE_NEGATIVE_Y, 0);
    IDirect3DSurface9* lr_Face_ = nullptr;
    ASSERT_EQ(lr_Cube_->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Y, 0, &lr_Face_), D3D_OK);
    EXPECT_EQ(RefCount(lr_Cube_), 2u);
    std::vector<BYTE> lr_Pixels = ReadPixels(lr_Face_);
    DWORD lr_First;
    std::memcpy(&lr_First, lr_Pixels.data(), 4);
    EXPECT_EQ(lr_First, 0xCAFEF00Du);
    lr_Face_->Release();
    ASSERT_EQ(lr_Cube_->GetCubeMapSurface(D3DCUBEMAP_FACE_POSITIVE_Y, 0, &lr_Face_), D3D_OK);
    lr_Pixels = ReadPixels(lr_Face_);
    std::memcpy(&lr_First, lr_Pixels.data(), 4);
    EXPECT_EQ(lr_First, 0u);
    lr_Face_->Release();
    EXPECT_EQ(lr_Cube_->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(6), 0, &lr_Face_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Face_, nullptr);
    mr_Control_->FailCall(SoftCall::TextureLockRect, 1, D3DERR_WASSTILLDRAWING);
    lr_Lock.pBits = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(lr_Cube_->LockRect(D3DCUBEMAP_FACE_POSITIVE_X, 0, &lr_Lock, nullptr, 0), D3DERR_WASSTILLDRAWING);
    EXPECT_EQ(lr_Lock.pBits, nullptr);
    EXPECT_EQ(lr_Cube_->Release(), 0u);
}

TEST_F(TransferTests, LockFaultsOfTexturesAndSurfaces) {
    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr), D3D_OK);
    D3DLOCKED_RECT lr_Lock;
    mr_Control_->FailCall(SoftCall::TextureLockRect, 1, D3DERR_INVALIDCALL);
    lr_Lock.pBits = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(lr_Texture_->LockRect(0, &lr_Lock, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Lock.pBits, nullptr);
    IDirect3DSurface9* lr_Level_ = nullptr;
    lr_Texture_->GetSurfaceLevel(0, &lr_Level_);
    mr_Control_->FailCall(SoftCall::SurfaceLockRect, 1, D3DERR_INVALIDCALL);
    lr_Lock.pBits = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(lr_Level_->LockRect(&lr_Lock, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Lock.pBits, nullptr);
    ASSERT_EQ(lr_Level_->LockRect(&lr_Lock, nullptr, 0), D3D_OK);
    lr_Level_->UnlockRect();
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::SurfaceLockRect), 2u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::TextureLockRect), 1u);
    lr_Level_->Release();
    lr_Texture_->Release();
}

TEST_F(TransferTests, ScenesBracketAndPresentOutsideThem) {
    EXPECT_EQ(mr_Device_->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(mr_Device_->BeginScene(), D3D_OK);
    EXPECT_EQ(mr_Device_->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(mr_Device_->EndScene(), D3D_OK);
    EXPECT_EQ(mr_Device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}
