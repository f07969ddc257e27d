#include <windows.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(LastError, IsKeptPerThread) {
    SetLastError(1234);
    DWORD lr_Other = 77;
    std::thread lr_Thread([&lr_Other] {
        lr_Other = GetLastError();
        SetLastError(42);
    });
    lr_Thread.join();
    EXPECT_EQ(ERROR_SUCCESS, lr_Other) << "a new thread starts clean";
    EXPECT_EQ(1234u, GetLastError()) << "another thread's value does not leak over";
}

// A handle that is no loaded module fails with the last error set; a
// module's succeeds and leaves the last error alone.
TEST(LastError, DisableThreadLibraryCallsTakesOnlyALoadedModule) {
    int lr_NotAModule = 0;
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(FALSE, DisableThreadLibraryCalls(reinterpret_cast<HMODULE>(&lr_NotAModule)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(FALSE, DisableThreadLibraryCalls(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());

    // The library that exports the call is loaded, wherever it was mapped.
    Dl_info lr_Library;
    ASSERT_NE(0, dladdr(reinterpret_cast<const void*>(&DisableThreadLibraryCalls), &lr_Library));
    SetLastError(1234);
    EXPECT_EQ(TRUE, DisableThreadLibraryCalls(static_cast<HMODULE>(lr_Library.dli_fbase)));
    EXPECT_EQ(1234u, GetLastError());
}

}  // namespace
