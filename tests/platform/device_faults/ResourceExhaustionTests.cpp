// The software device when memory or threads run out: every creation call
// and draw returns a failure code instead of throwing, leaves nothing alive,
// and a draw goes on without worker threads until they can start.
#include "AllocationCounter.h"
#include "SoftDeviceFixture.h"
#include "SoftTestDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace {

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
};

size_t ThreadsOfThisProcess() {
    size_t lr_Count = 0;
    for (const auto& lr_Entry : std::filesystem::directory_iterator("/proc/self/task")) {
        (void)lr_Entry;
        ++lr_Count;
    }
    return lr_Count;
}

class ResourceExhaustionTest : public SoftDeviceFixture {
protected:
    // Several 64x64 tiles, so that a draw is split over the workers.
    ResourceExhaustionTest() { mr_PresentParameters = SoftPresentParameters(256, 192); }
    void TearDown() override {
        AllocationCounter::FailPlatform(0);
        AllocationCounter::FailThreadStarts(false);
        SoftDeviceFixture::TearDown();
    }

    HRESULT DrawQuad(D3DCOLOR color) {
        const Vertex lr_Quad[4] = {{-0.5f, -0.5f, 0.5f, 1, color},
                                   {255.5f, -0.5f, 0.5f, 1, color},
                                   {-0.5f, 191.5f, 0.5f, 1, color},
                                   {255.5f, 191.5f, 0.5f, 1, color}};
        mr_Device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        mr_Device_->BeginScene();
        const HRESULT hr = mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lr_Quad, sizeof(Vertex));
        mr_Device_->EndScene();
        return hr;
    }

    // Pixels of the back buffer that are not `color` (X8R8G8B8, alpha ignored).
    size_t PixelsOtherThan(D3DCOLOR color) {
        IDirect3DSurface9* lr_BackBuffer_ = GetBackBuffer0();
        const std::vector<BYTE> lr_Pixels = ReadPixels(lr_BackBuffer_);
        lr_BackBuffer_->Release();
        size_t lr_Other = 0;
        for (size_t i = 0; i + 3 < lr_Pixels.size(); i += 4) {
            const D3DCOLOR lr_Pixel = lr_Pixels[i] | (lr_Pixels[i + 1] << 8) | (lr_Pixels[i + 2] << 16);
            if (lr_Pixel != (color & 0xFFFFFF)) ++lr_Other;
        }
        return lr_Other;
    }

    // Makes each allocation of `create` fail in turn, from the first to the
    // last it makes: each must fail with `outOfMemory` (or succeed when the
    // allocation was one it can do without) and leave no object alive.
    void EachAllocationFails(const char* what, HRESULT outOfMemory, const std::function<HRESULT(IUnknown**)>& create) {
        for (unsigned long lr_Nth = 1;; ++lr_Nth) {
            IUnknown* lr_Object_ = reinterpret_cast<IUnknown*>(0x1);
            HRESULT hr = E_FAIL;
            AllocationCounter::FailPlatform(lr_Nth);
            EXPECT_NO_THROW(hr = create(&lr_Object_)) << what << ", allocation " << lr_Nth;
            const bool lr_Failed = AllocationCounter::Failed();
            AllocationCounter::FailPlatform(0);
            if (SUCCEEDED(hr)) {
                ASSERT_NE(lr_Object_, nullptr);
                lr_Object_->Release();
            } else {
                EXPECT_EQ(hr, outOfMemory) << what << ", allocation " << lr_Nth;
                EXPECT_EQ(lr_Object_, nullptr) << what << ", allocation " << lr_Nth;
            }
            ASSERT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, false), 0u)
                << what << ", allocation " << lr_Nth << "\n"
                << DescribeLiveObjects(mr_Control_, false);
            if (!lr_Failed) {
                EXPECT_EQ(hr, D3D_OK) << what;
                EXPECT_GT(lr_Nth, 1u) << what << " allocated nothing";
                return;
            }
        }
    }
};

TEST_F(ResourceExhaustionTest, ADrawWithoutWorkerThreadsIsDoneOnTheCallingThreadAndThreadsStartLater) {
    const size_t lr_Before = ThreadsOfThisProcess();
    AllocationCounter::FailThreadStarts(true);
    mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    EXPECT_EQ(DrawQuad(0xFF00FF00), D3D_OK);
    EXPECT_EQ(PixelsOtherThan(0xFF00FF00), 0u) << "every tile drawn";
    EXPECT_EQ(DrawQuad(0xFFFF0000), D3D_OK) << "and again, without trying each draw";
    EXPECT_EQ(PixelsOtherThan(0xFFFF0000), 0u);
    EXPECT_EQ(ThreadsOfThisProcess(), lr_Before);

    AllocationCounter::FailThreadStarts(false);
    // A start is tried again a second after the last failure.
    mr_Control_->AdvanceWorkerClock(1000);
    EXPECT_EQ(DrawQuad(0xFF00FF00), D3D_OK);
    EXPECT_EQ(PixelsOtherThan(0xFF00FF00), 0u);
    if (std::thread::hardware_concurrency() > 1) {
        EXPECT_GT(ThreadsOfThisProcess(), lr_Before);
    }
}

TEST_F(ResourceExhaustionTest, EveryCreationReturnsOutOfMemoryInsteadOfThrowing) {
    EachAllocationFails("managed texture", E_OUTOFMEMORY, [&](IUnknown** out) {
        return mr_Device_->CreateTexture(64, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                         reinterpret_cast<IDirect3DTexture9**>(out), nullptr);
    });
    EachAllocationFails("render-target texture", D3DERR_OUTOFVIDEOMEMORY, [&](IUnknown** out) {
        return mr_Device_->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A16B16G16R16F, D3DPOOL_DEFAULT,
                                         reinterpret_cast<IDirect3DTexture9**>(out), nullptr);
    });
    EachAllocationFails("cube texture", E_OUTOFMEMORY, [&](IUnknown** out) {
        return mr_Device_->CreateCubeTexture(16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                             reinterpret_cast<IDirect3DCubeTexture9**>(out), nullptr);
    });
    EachAllocationFails("vertex buffer", D3DERR_OUTOFVIDEOMEMORY, [&](IUnknown** out) {
        return mr_Device_->CreateVertexBuffer(4096, 0, 0, D3DPOOL_DEFAULT,
                                              reinterpret_cast<IDirect3DVertexBuffer9**>(out), nullptr);
    });
    EachAllocationFails("index buffer", E_OUTOFMEMORY, [&](IUnknown** out) {
        return mr_Device_->CreateIndexBuffer(4096, 0, D3DFMT_INDEX16, D3DPOOL_SYSTEMMEM,
                                             reinterpret_cast<IDirect3DIndexBuffer9**>(out), nullptr);
    });
    EachAllocationFails("render target", D3DERR_OUTOFVIDEOMEMORY, [&](IUnknown** out) {
        return mr_Device_->CreateRenderTarget(64, 64, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                              reinterpret_cast<IDirect3DSurface9**>(out), nullptr);
    });
    EachAllocationFails("depth-stencil surface", D3DERR_OUTOFVIDEOMEMORY, [&](IUnknown** out) {
        return mr_Device_->CreateDepthStencilSurface(64, 64, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                                     reinterpret_cast<IDirect3DSurface9**>(out), nullptr);
    });
    EachAllocationFails("off-screen surface", E_OUTOFMEMORY, [&](IUnknown** out) {
        return mr_Device_->CreateOffscreenPlainSurface(64, 64, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                       reinterpret_cast<IDirect3DSurface9**>(out), nullptr);
    });
    EachAllocationFails("state block", E_OUTOFMEMORY, [&](IUnknown** out) {
        return mr_Device_->CreateStateBlock(D3DSBT_ALL, reinterpret_cast<IDirect3DStateBlock9**>(out));
    });
    // ps_2_0: mov oC0, c0
    const DWORD lr_Shader[] = {0xFFFF0200, 0x02000001, 0x800F0800, 0xA0E40000, 0x0000FFFF};
    EachAllocationFails("pixel shader", E_OUTOFMEMORY, [&](IUnknown** out) {
        return mr_Device_->CreatePixelShader(lr_Shader, reinterpret_cast<IDirect3DPixelShader9**>(out));
    });
    const D3DVERTEXELEMENT9 lr_Elements[] = {{0, 0, 3 /* FLOAT4 */, 0, D3DDECLUSAGE_POSITIONT, 0},
                                             {0xFF, 0, 17 /* UNUSED */, 0, 0, 0}};
    EachAllocationFails("vertex declaration", E_OUTOFMEMORY, [&](IUnknown** out) {
        return mr_Device_->CreateVertexDeclaration(lr_Elements, reinterpret_cast<IDirect3DVertexDeclaration9**>(out));
    });
}

TEST_F(ResourceExhaustionTest, ADrawWhoseRecordCannotBeKeptFailsAndTheNextDraws) {
    mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    HRESULT hr = D3D_OK;
    AllocationCounter::FailPlatform(1);
    EXPECT_NO_THROW(hr = DrawQuad(0xFF00FF00));
    const bool lr_Failed = AllocationCounter::Failed();
    AllocationCounter::FailPlatform(0);
    ASSERT_TRUE(lr_Failed) << "a recorded draw allocates its record";
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    EXPECT_EQ(DrawQuad(0xFF00FF00), D3D_OK);
    EXPECT_EQ(PixelsOtherThan(0xFF00FF00), 0u);
}

}  // namespace
