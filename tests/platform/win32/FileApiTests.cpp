// kernel32's file calls on the substitute: what they open, what they
// refuse and the error each failure leaves in GetLastError.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string ReadAll(const fs::path& path) {
    std::ifstream lr_In(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(lr_In), std::istreambuf_iterator<char>());
}

class FileApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        char ls_Template[] = "/tmp/ssao_files_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(ls_Template));
        mr_Directory = ls_Template;
    }
    void TearDown() override {
        std::error_code lr_Error;
        fs::remove_all(mr_Directory, lr_Error);
    }
    std::wstring Path(const std::string& name) const { return Widen((mr_Directory / name).string()); }

    HANDLE Open(const std::wstring& path, DWORD access, DWORD disposition) {
        SetLastError(12345);
        return CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    // Expects a refusal with `error`.
    void ExpectRefused(const std::wstring& path, DWORD access, DWORD disposition, DWORD error) {
        EXPECT_EQ(Open(path, access, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), error);
    }

    fs::path mr_Directory;
};

TEST_F(FileApiTest, AnAppendHandleAddsAtTheEndAndAReadHandleReadsToTheEnd) {
    {
        std::ofstream lr_Out(mr_Directory / "log.txt", std::ios::binary);
        lr_Out << "host\n";
    }
    // Separators as Windows writes them.
    const std::wstring ls_Path = Widen(mr_Directory.string()) + L"\\log.txt";
    HANDLE lr_File = Open(ls_Path, FILE_APPEND_DATA, OPEN_ALWAYS);
    ASSERT_NE(lr_File, INVALID_HANDLE_VALUE);
    // Someone else writes in between: the append still lands at the end.
    {
        std::ofstream lr_Other(mr_Directory / "log.txt", std::ios::binary | std::ios::app);
        lr_Other << "other\n";
    }
    DWORD lr_Written = 0;
    ASSERT_TRUE(WriteFile(lr_File, "mine\n", 5, &lr_Written, nullptr));
    EXPECT_EQ(lr_Written, 5u);
    EXPECT_TRUE(CloseHandle(lr_File));
    EXPECT_EQ(ReadAll(mr_Directory / "log.txt"), "host\nother\nmine\n");

    lr_File = Open(ls_Path, GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(lr_File, INVALID_HANDLE_VALUE);
    LARGE_INTEGER lr_Size;
    ASSERT_TRUE(GetFileSizeEx(lr_File, &lr_Size));
    EXPECT_EQ(lr_Size.QuadPart, 16);
    char lr_Buffer[32] = {};
    DWORD lr_Read = 0;
    ASSERT_TRUE(ReadFile(lr_File, lr_Buffer, sizeof(lr_Buffer), &lr_Read, nullptr));
    EXPECT_EQ(std::string(lr_Buffer, lr_Read), "host\nother\nmine\n");
    ASSERT_TRUE(ReadFile(lr_File, lr_Buffer, sizeof(lr_Buffer), &lr_Read, nullptr));
    EXPECT_EQ(lr_Read, 0u) << "the end of the file reads as zero bytes";
    EXPECT_FALSE(WriteFile(lr_File, "x", 1, &lr_Written, nullptr)) << "opened for reading only";
    EXPECT_TRUE(CloseHandle(lr_File));

    EXPECT_EQ(GetFileAttributesW(ls_Path.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(Widen(mr_Directory.string()).c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(FileApiTest, EachFailureLeavesItsWindowsError) {
    ExpectRefused(Path("missing.txt"), GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND);
    ExpectRefused(Path("no/such/folder.txt"), GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND);
    ExpectRefused(Path("no/such/folder.txt"), FILE_APPEND_DATA, OPEN_ALWAYS, ERROR_PATH_NOT_FOUND);
    ExpectRefused(L"", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND);
    ExpectRefused(Path("x.txt"), 0, OPEN_ALWAYS, ERROR_INVALID_PARAMETER);
    ExpectRefused(Path("x.txt"), GENERIC_WRITE, 99, ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(fs::exists(mr_Directory / "x.txt"));

    HANDLE lr_File = Open(Path("new.txt"), GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(lr_File, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(lr_File));
    ExpectRefused(Path("new.txt"), GENERIC_WRITE, CREATE_NEW, ERROR_FILE_EXISTS);

    // A folder, and a path through a file.
    ExpectRefused(Widen(mr_Directory.string()), GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED);
    ExpectRefused(Path("new.txt/inside"), GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND);

    SetLastError(0);
    EXPECT_EQ(GetFileAttributesW(Path("missing.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // Handles that are not open files.
    DWORD lr_Count = 7;
    char lr_Byte = 0;
    for (HANDLE lr_Bad : {INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr), reinterpret_cast<HANDLE>(4000001)}) {
        SetLastError(0);
        EXPECT_FALSE(WriteFile(lr_Bad, "x", 1, &lr_Count, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(lr_Count, 0u);
        SetLastError(0);
        EXPECT_FALSE(ReadFile(lr_Bad, &lr_Byte, 1, &lr_Count, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(lr_Bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    lr_File = Open(Path("new.txt"), GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(lr_File, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(lr_File));
    EXPECT_FALSE(CloseHandle(lr_File)) << "closed twice";
}

TEST_F(FileApiTest, ANamedPipeIsRefusedAtOnceForReadingAndWriting) {
    ASSERT_EQ(mkfifo((mr_Directory / "pipe").c_str(), 0600), 0);
    // Either open would wait for the other end if it blocked.
    ExpectRefused(Path("pipe"), GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED);
    ExpectRefused(Path("pipe"), FILE_APPEND_DATA, OPEN_ALWAYS, ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetFileAttributesW(Path("pipe").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DEVICE));
    ExpectRefused(L"/dev/null", GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED);
}

}  // namespace
