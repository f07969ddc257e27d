// What the device reports as alive, and heap use of a steady frame.
#include "DeviceTestUtil.h"
#include "SoftDeviceFixture.h"

#include <atomic>
#include <cstdlib>
#include <new>

using namespace device_test;

namespace {
std::atomic<size_t> g_Allocations{0};
}  // namespace

// Counts every allocation of this test program.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(size_t size) {
    ++g_Allocations;
    void* lr_Memory = std::malloc(size ? size : 1);
    if (!lr_Memory) throw std::bad_alloc();
    return lr_Memory;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    ++g_Allocations;
    return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

class LiveObjectTests : public SoftDeviceFixture {};

TEST_F(LiveObjectTests, ImplicitObjectsAreMarkedAndCountedOnRequest) {
    // The swap chain, its back buffer and the automatic depth-stencil surface.
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, true), 3u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, false), 0u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::SwapChain, -1, true), 1u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Surface, D3DPOOL_DEFAULT, true), 2u);
    for (const SoftLiveObject& lr_Object : mr_Control_->GetLiveObjects()) {
        EXPECT_TRUE(lr_Object.Implicit);
        EXPECT_EQ(lr_Object.RefCount, 0u);
    }
}

TEST_F(LiveObjectTests, ObjectsAreListedByKindAndPoolWithTheirDescription) {
    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(32, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A16B16G16R16F, D3DPOOL_DEFAULT,
                                        &lr_Texture_, nullptr),
              D3D_OK);
    IDirect3DVertexBuffer9* lr_Buffer_ = MakeVertexBuffer(mr_Device_, 4);
    IDirect3DSurface9* lr_Back_ = GetBackBuffer0();
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, D3DPOOL_DEFAULT, false), 1u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, D3DPOOL_MANAGED, false), 0u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::VertexBuffer, D3DPOOL_MANAGED, false), 1u);
    // Level surfaces are part of their texture, not surfaces of their own.
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Surface, -1, false), 0u);

    bool lr_Found = false;
    for (const SoftLiveObject& lr_Object : mr_Control_->GetLiveObjects()) {
        if (lr_Object.Object != static_cast<IUnknown*>(lr_Texture_)) continue;
        lr_Found = true;
        EXPECT_EQ(lr_Object.Kind, SoftObjectKind::Texture);
        EXPECT_EQ(lr_Object.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
        EXPECT_EQ(lr_Object.Format, D3DFMT_A16B16G16R16F);
        EXPECT_EQ(lr_Object.Width, 32u);
        EXPECT_EQ(lr_Object.Height, 16u);
        EXPECT_EQ(lr_Object.RefCount, 1u);
        EXPECT_FALSE(lr_Object.Implicit);
    }
    EXPECT_TRUE(lr_Found);
    // A held back buffer shows with its references, still implicit.
    for (const SoftLiveObject& lr_Object : mr_Control_->GetLiveObjects()) {
        if (lr_Object.Object == static_cast<IUnknown*>(lr_Back_)) {
            EXPECT_EQ(lr_Object.RefCount, 1u);
            EXPECT_TRUE(lr_Object.Implicit);
        }
    }
    std::string ls_Text = DescribeLiveObjects(mr_Control_, false);
    EXPECT_NE(ls_Text.find("texture default usage=0x1 fmt=113 32x16 refs=1"), std::string::npos) << ls_Text;

    lr_Back_->Release();
    lr_Buffer_->Release();
    lr_Texture_->Release();
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, false), 0u);
    EXPECT_EQ(RefCount(lr_Texture_), 0u);  // gone: unknown pointers report no references
}

TEST_F(LiveObjectTests, SteadyFrameAllocatesNothingWhenRecordingIsOff) {
    IDirect3DVertexBuffer9* lr_Vertices_ = MakeVertexBuffer(mr_Device_, 4);
    IDirect3DIndexBuffer9* lr_Indices_ = MakeIndexBuffer(mr_Device_, {0, 1, 2, 2, 3, 0});
    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(800, 600, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                        &lr_Texture_, nullptr),
              D3D_OK);
    IDirect3DStateBlock9* lr_Saved_ = nullptr;
    IDirect3DStateBlock9* lr_Default_ = nullptr;
    mr_Device_->CreateStateBlock(D3DSBT_ALL, &lr_Default_);
    mr_Device_->CreateStateBlock(D3DSBT_ALL, &lr_Saved_);
    mr_Device_->LightEnable(0, TRUE);
    mr_Control_->SetRecording(false);
    auto lr_Frame = [&] {
        lr_Saved_->Capture();
        lr_Default_->Apply();
        IDirect3DSurface9* lr_Target_ = nullptr;
        IDirect3DSurface9* lr_Level_ = nullptr;
        mr_Device_->GetRenderTarget(0, &lr_Target_);
        lr_Texture_->GetSurfaceLevel(0, &lr_Level_);
        mr_Device_->StretchRect(lr_Target_, nullptr, lr_Level_, nullptr, D3DTEXF_NONE);
        mr_Device_->SetFVF(k_VertexFVF);
        mr_Device_->SetStreamSource(0, lr_Vertices_, 0, sizeof(Vertex));
        mr_Device_->SetIndices(lr_Indices_);
        mr_Device_->SetTexture(0, lr_Texture_);
        mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
        mr_Device_->SetTexture(0, nullptr);
        lr_Level_->Release();
        lr_Target_->Release();
        lr_Saved_->Apply();
    };
    lr_Frame();  // the first frame may size the light list
    size_t lr_Before = g_Allocations.load();
    for (int i = 0; i < 100; ++i) lr_Frame();
    EXPECT_EQ(g_Allocations.load() - lr_Before, 0u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::DrawIndexedPrimitive), 101u);
    // The counter does see the device's own allocations: recording allocates.
    mr_Control_->SetRecording(true);
    lr_Before = g_Allocations.load();
    lr_Frame();
    EXPECT_GT(g_Allocations.load() - lr_Before, 0u);

    mr_Device_->SetStreamSource(0, nullptr, 0, 0);
    mr_Device_->SetIndices(nullptr);
    lr_Saved_->Release();
    lr_Default_->Release();
    lr_Texture_->Release();
    lr_Vertices_->Release();
    lr_Indices_->Release();
}
