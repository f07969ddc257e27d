#include "AllocationCounter.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <new>
#include <pthread.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_Counting{false};
std::atomic<unsigned long> g_Total{0};
std::atomic<unsigned long> g_Platform{0};
const bool g_Trace = std::getenv("SSAO_TRACE_ALLOCATIONS") != nullptr;
// backtrace and dladdr may allocate themselves; those are not counted.
thread_local bool g_InCount = false;
std::atomic<unsigned long> g_FailCountdown{0};
std::atomic<bool> g_Failed{false};
std::atomic<unsigned long> g_PlatformCountdown{0};
std::atomic<bool> g_FailThreads{false};

// Every block carries its size and the counting run it was made in, so that
// the bytes held can be followed without counting frees of older blocks.
struct alignas(16) BlockHeader {
    std::size_t Size;
    unsigned long Run;  // 0: made while not counting
};
std::atomic<unsigned long> g_Run{0};
std::atomic<long long> g_LiveBytes{0};
std::atomic<long long> g_PeakBytes{0};

bool IsPlatformLibrary(const char* path) {
    return path &&
           (std::strstr(path, "/libd3d9.") || std::strstr(path, "/libd3dx9.") || std::strstr(path, "/libsoftwin32."));
}

// Which library a return address is in does not change: dladdr's answers
// are kept (0: not known yet, 1: platform, 2: not). Not locked: the tests
// that count or fail allocations run on one thread.
unsigned char g_Known[1 << 14];
const void* g_KnownAddress[1 << 14];

bool InPlatform(void* address) {
    const size_t lr_Slot = (reinterpret_cast<uintptr_t>(address) >> 2) & ((1u << 14) - 1);
    if (g_KnownAddress[lr_Slot] == address && g_Known[lr_Slot]) return g_Known[lr_Slot] == 1;
    Dl_info lr_Info;
    const bool lr_Platform = ::dladdr(address, &lr_Info) != 0 && IsPlatformLibrary(lr_Info.dli_fname);
    g_KnownAddress[lr_Slot] = address;
    g_Known[lr_Slot] = lr_Platform ? 1 : 2;
    return lr_Platform;
}

bool FromPlatform(void** frames, int count) {
    for (int i = 0; i < count; ++i) {
        if (InPlatform(frames[i])) return true;
    }
    return false;
}

// True when this allocation is the one armed to fail.
bool ShouldFail() {
    if ((g_FailCountdown.load(std::memory_order_relaxed) == 0 &&
         g_PlatformCountdown.load(std::memory_order_relaxed) == 0) ||
        g_InCount)
        return false;
    g_InCount = true;
    void* lr_Frames[64];
    const int lr_Count = ::backtrace(lr_Frames, 64);
    const bool lr_Platform = FromPlatform(lr_Frames, lr_Count);
    std::atomic<unsigned long>& lr_Countdown = lr_Platform ? g_PlatformCountdown : g_FailCountdown;
    unsigned long lr_Left = lr_Countdown.load();
    while (lr_Left != 0 && !lr_Countdown.compare_exchange_weak(lr_Left, lr_Left - 1)) {}
    const bool lr_Fail = lr_Left == 1;
    if (lr_Fail && g_Trace) ::backtrace_symbols_fd(lr_Frames, lr_Count, 2);
    g_InCount = false;
    if (lr_Fail) g_Failed = true;
    return lr_Fail;
}

void Count() {
    if (g_InCount) return;
    g_InCount = true;
    void* lr_Frames[64];
    const int lr_Count = ::backtrace(lr_Frames, 64);
    const bool lr_Platform = FromPlatform(lr_Frames, lr_Count);
    g_Total.fetch_add(1, std::memory_order_relaxed);
    if (lr_Platform) g_Platform.fetch_add(1, std::memory_order_relaxed);
    if (g_Trace) {
        ::backtrace_symbols_fd(lr_Frames, lr_Count, 2);
        const char ls_Separator[] = "----\n";
        if (::write(2, ls_Separator, sizeof(ls_Separator) - 1) < 0) {}
    }
    g_InCount = false;
}

void* Allocate(std::size_t size) {
    if (ShouldFail()) throw std::bad_alloc();
    const bool lr_Counting = g_Counting.load(std::memory_order_relaxed) && !g_InCount;
    if (lr_Counting) Count();
    if (size > SIZE_MAX - sizeof(BlockHeader)) throw std::bad_alloc();
    auto* lr_Header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
    if (!lr_Header) throw std::bad_alloc();
    lr_Header->Size = size;
    lr_Header->Run = lr_Counting ? g_Run.load() : 0;
    if (lr_Counting) {
        const long long lr_Live = g_LiveBytes.fetch_add(static_cast<long long>(size)) + static_cast<long long>(size);
        long long lr_Peak = g_PeakBytes.load();
        while (lr_Live > lr_Peak && !g_PeakBytes.compare_exchange_weak(lr_Peak, lr_Live)) {}
    }
    return lr_Header + 1;
}

void Release(void* block) {
    if (!block) return;
    BlockHeader* lr_Header = static_cast<BlockHeader*>(block) - 1;
    if (lr_Header->Run != 0 && lr_Header->Run == g_Run.load())
        g_LiveBytes.fetch_sub(static_cast<long long>(lr_Header->Size));
    std::free(lr_Header);
}

}  // namespace

void AllocationCounter::Start() {
    // backtrace loads its unwinder on first use; do that before counting.
    void* lr_Frames[4];
    ::backtrace(lr_Frames, 4);
    g_Total = 0;
    g_Platform = 0;
    ++g_Run;
    g_LiveBytes = 0;
    g_PeakBytes = 0;
    g_Counting = true;
}

void AllocationCounter::Stop() { g_Counting = false; }
unsigned long AllocationCounter::Total() { return g_Total.load(); }
unsigned long AllocationCounter::Platform() { return g_Platform.load(); }
unsigned long long AllocationCounter::PeakBytes() { return static_cast<unsigned long long>(g_PeakBytes.load()); }

void AllocationCounter::FailOurs(unsigned long nth) {
    if (nth) {
        void* lr_Frames[4];
        ::backtrace(lr_Frames, 4);
    }
    g_Failed = false;
    g_FailCountdown = nth;
}
bool AllocationCounter::Failed() { return g_Failed.load(); }

void AllocationCounter::FailPlatform(unsigned long nth) {
    if (nth) {
        void* lr_Frames[4];
        ::backtrace(lr_Frames, 4);
    }
    g_Failed = false;
    g_PlatformCountdown = nth;
}

void AllocationCounter::FailThreadStarts(bool fail) { g_FailThreads = fail; }

// Every thread of the program starts here: std::thread, the device's workers.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                              void* argument) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const Create s_Next = reinterpret_cast<Create>(::dlsym(RTLD_NEXT, "pthread_create"));
    if (g_FailThreads.load()) return EAGAIN;
    return s_Next ? s_Next(thread, attributes, start, argument) : EAGAIN;
}

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
