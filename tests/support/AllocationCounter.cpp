#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <new>
#include <unistd.h>

namespace {

std::atomic<bool> g_Counting{false};
std::atomic<unsigned long> g_Total{0};
std::atomic<unsigned long> g_Platform{0};
const bool g_Trace = std::getenv("SSAO_TRACE_ALLOCATIONS") != nullptr;
// backtrace and dladdr may allocate themselves; those are not counted.
thread_local bool g_InCount = false;

bool IsPlatformLibrary(const char* path) {
    return path && (std::strstr(path, "/libd3d9.") || std::strstr(path, "/libd3dx9.") ||
                    std::strstr(path, "/libsoftwin32."));
}

void Count() {
    if (g_InCount) return;
    g_InCount = true;
    void* lr_Frames[64];
    const int lr_Count = ::backtrace(lr_Frames, 64);
    bool lr_Platform = false;
    for (int i = 0; i < lr_Count && !lr_Platform; ++i) {
        Dl_info lr_Info;
        lr_Platform = ::dladdr(lr_Frames[i], &lr_Info) != 0 && IsPlatformLibrary(lr_Info.dli_fname);
    }
    g_Total.fetch_add(1, std::memory_order_relaxed);
    if (lr_Platform) g_Platform.fetch_add(1, std::memory_order_relaxed);
    if (g_Trace) {
        ::backtrace_symbols_fd(lr_Frames, lr_Count, 2);
        const char ls_Separator[] = "----\n";
        if (::write(2, ls_Separator, sizeof(ls_Separator) - 1) < 0) {
        }
    }
    g_InCount = false;
}

void* Allocate(std::size_t size) {
    if (g_Counting.load(std::memory_order_relaxed)) Count();
    void* lr_Block = std::malloc(size ? size : 1);
    if (!lr_Block) throw std::bad_alloc();
    return lr_Block;
}

}  // namespace

void AllocationCounter::Start() {
    // backtrace loads its unwinder on first use; do that before counting.
    void* lr_Frames[4];
    ::backtrace(lr_Frames, 4);
    g_Total = 0;
    g_Platform = 0;
    g_Counting = true;
}

void AllocationCounter::Stop() { g_Counting = false; }
unsigned long AllocationCounter::Total() { return g_Total.load(); }
unsigned long AllocationCounter::Platform() { return g_Platform.load(); }

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
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
