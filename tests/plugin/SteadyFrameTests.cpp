// A steady frame (unchanged back buffer, all five effects loaded) costs no
// heap allocation, writes no log line and makes exactly the device calls of
// the pipeline. Global operator new is replaced here with a counter.
#include "FrameFixture.h"

#include <d3dx9.h>

#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <unistd.h>
#include <cstdlib>
#include <new>

namespace {

// Allocations are counted only while g_Counting is on. Those made inside the
// substitute platform libraries (the software device and effect runtime) are
// counted apart: they stand in for the system's own DLLs.
std::atomic<bool> g_Counting{false};
std::atomic<unsigned long> g_Allocations{0};
std::atomic<unsigned long> g_PlatformAllocations{0};
// With SSAO_TRACE_ALLOCATIONS set, each counted allocation of ours prints its call stack.
const bool g_Trace = std::getenv("SSAO_TRACE_ALLOCATIONS") != nullptr;
thread_local bool g_InClassify = false;

bool IsPlatformLibrary(const char* path) {
    return path && (std::strstr(path, "/libd3d9.") || std::strstr(path, "/libd3dx9.") ||
                    std::strstr(path, "/libsoftwin32."));
}

void CountAllocation() {
    if (g_InClassify) {
        return;
    }
    g_InClassify = true;
    void* lr_Frames[64];
    const int lr_Count = ::backtrace(lr_Frames, 64);
    bool lr_Platform = false;
    for (int i = 0; i < lr_Count && !lr_Platform; ++i) {
        Dl_info lr_Info;
        lr_Platform = ::dladdr(lr_Frames[i], &lr_Info) != 0 && IsPlatformLibrary(lr_Info.dli_fname);
    }
    if (lr_Platform) {
        g_PlatformAllocations.fetch_add(1, std::memory_order_relaxed);
    } else {
        g_Allocations.fetch_add(1, std::memory_order_relaxed);
        if (g_Trace) {
            ::backtrace_symbols_fd(lr_Frames, lr_Count, 2);
            const char ls_Separator[] = "----\n";
            if (::write(2, ls_Separator, sizeof(ls_Separator) - 1) < 0) {
            }
        }
    }
    g_InClassify = false;
}

void StartCounting() {
    // backtrace loads its unwinder on first use; do that before counting.
    void* lr_Frames[4];
    ::backtrace(lr_Frames, 4);
    g_Allocations = 0;
    g_PlatformAllocations = 0;
    g_Counting = true;
}

void* CountedAllocate(std::size_t size) {
    if (g_Counting.load(std::memory_order_relaxed)) {
        CountAllocation();
    }
    void* lr_Block = std::malloc(size ? size : 1);
    if (!lr_Block) throw std::bad_alloc();
    return lr_Block;
}

}  // namespace

void* operator new(std::size_t size) { return CountedAllocate(size); }
void* operator new[](std::size_t size) { return CountedAllocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return CountedAllocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return CountedAllocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace {

class SteadyFrameTest : public FrameFixture {
protected:
    // Switches the plug-in on and runs the frames that create and lay out everything.
    void WarmUp(bool showAOOnly, int blurPasses) {
        StartPlugin();
        for (IShader* lr_Shader_ : {mr_Plugin_->mr_ShowTextureShader_, mr_Plugin_->mr_ZBlurShader_,
                                    mr_Plugin_->mr_RenderDepthShader_, mr_Plugin_->mr_RenderBlackShader_,
                                    mr_Plugin_->mr_SSAOShader_}) {
            ASSERT_NE(lr_Shader_, nullptr);
            ASSERT_TRUE(lr_Shader_->IsValid()) << lr_Shader_->GetName() << ": " << lr_Shader_->GetErrorMessage();
        }
        SetShowAOOnly(showAOOnly);
        mr_Plugin_->mr_BlurPasses = blurPasses;
        mr_Plugin_->Render();
        mr_Plugin_->Render();
        mr_Control_->SetRecording(false);
        mr_Control_->ClearRecords();
        mr_Control_->ResetCallCounts();
    }
};

TEST_F(SteadyFrameTest, HundredFramesAllocateNothingAndLogNothing) {
    WarmUp(false, 2);
    const std::string ls_LogBefore = ReadLog();
    StartCounting();
    for (int lr_Frame = 0; lr_Frame < 100; ++lr_Frame) {
        mr_Plugin_->Render();
    }
    g_Counting = false;
    EXPECT_EQ(g_Allocations.load(), 0u) << "run with SSAO_TRACE_ALLOCATIONS=1 to see where";
    RecordProperty("PlatformAllocations", static_cast<int>(g_PlatformAllocations.load()));
    EXPECT_EQ(ReadLog(), ls_LogBefore);
    mr_Control_->SetRecording(true);
}

TEST_F(SteadyFrameTest, CounterSeesAllocations) {
    // The counter itself works: without it the test above proves nothing.
    StartCounting();
    std::string* lr_Text_ = new std::string(100, 'x');
    g_Counting = false;
    delete lr_Text_;
    EXPECT_EQ(g_Allocations.load(), 2u);
    EXPECT_EQ(g_PlatformAllocations.load(), 0u);

    // What the platform libraries allocate is told apart.
    StartCounting();
    ID3DXBuffer* lr_Buffer_ = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(64, &lr_Buffer_), D3D_OK);
    g_Counting = false;
    lr_Buffer_->Release();
    EXPECT_EQ(g_Allocations.load(), 0u);
    EXPECT_GE(g_PlatformAllocations.load(), 1u);
}

struct PerFrame {
    bool ShowAOOnly;
    int Blur;
};

class SteadyFrameCallsTest : public SteadyFrameTest, public ::testing::WithParamInterface<PerFrame> {};

TEST_P(SteadyFrameCallsTest, DeviceCallsPerFrame) {
    const PerFrame lr_Case = GetParam();
    WarmUp(lr_Case.ShowAOOnly, lr_Case.Blur);
    const UINT lr_Frames = 100;
    for (UINT lr_Frame = 0; lr_Frame < lr_Frames; ++lr_Frame) {
        mr_Plugin_->Render();
    }
    const UINT lr_Blur = lr_Case.Blur > 0 ? static_cast<UINT>(lr_Case.Blur) : 0u;
    // Black, all slices in one, occlusion, each blur, and the composite unless hidden.
    const UINT lr_Draws = 3 + lr_Blur + (lr_Case.ShowAOOnly ? 0 : 1);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::DrawIndexedPrimitive), lr_Draws * lr_Frames);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::DrawPrimitive), 0u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StretchRect), (3 + lr_Blur) * lr_Frames);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetSurfaceLevel), (3 + lr_Blur) * lr_Frames);
    // Back-buffer test, render-target check, and one per copy.
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetRenderTarget), (2 + 3 + lr_Blur) * lr_Frames);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetSwapChain), lr_Frames);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetBackBuffer), lr_Frames);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StateBlockCapture), lr_Frames);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StateBlockApply), 2 * lr_Frames);
    for (SoftCall lr_Call : {SoftCall::CreateTexture, SoftCall::CreateVertexBuffer, SoftCall::CreateIndexBuffer,
                             SoftCall::VertexBufferLock, SoftCall::IndexBufferLock, SoftCall::CreateStateBlock,
                             SoftCall::SetRenderTarget}) {
        EXPECT_EQ(mr_Control_->GetCallCount(lr_Call), 0u) << static_cast<int>(lr_Call);
    }
    mr_Control_->SetRecording(true);
}

INSTANTIATE_TEST_SUITE_P(Settings, SteadyFrameCallsTest,
                         ::testing::Values(PerFrame{true, 0}, PerFrame{false, 0}, PerFrame{false, 2},
                                           PerFrame{true, 3}),
                         [](const ::testing::TestParamInfo<PerFrame>& info) {
                             return std::string(info.param.ShowAOOnly ? "AOOnly" : "Composite") + "Blur" +
                                    std::to_string(info.param.Blur);
                         });

}  // namespace
