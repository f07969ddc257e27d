#include <windows.h>

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

TEST(LastError, DisableThreadLibraryCallsSucceeds) {
    int lr_Module = 0;
    EXPECT_EQ(TRUE, DisableThreadLibraryCalls(reinterpret_cast<HMODULE>(&lr_Module)));
}

}  // namespace
