#include "LogFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

// Wide text -> UTF-8 file-system path, the same way the log opens files.
std::string Utf8(const std::wstring& text) {
    std::string ls_Out;
    for (wchar_t c : text) {
        const unsigned cp = static_cast<unsigned>(c);
        if (cp < 0x80) {
            ls_Out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            ls_Out += static_cast<char>(0xC0 | (cp >> 6));
            ls_Out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            ls_Out += static_cast<char>(0xE0 | (cp >> 12));
            ls_Out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            ls_Out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            ls_Out += static_cast<char>(0xF0 | (cp >> 18));
            ls_Out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            ls_Out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            ls_Out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return ls_Out;
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string ReadAll(const fs::path& path) {
    std::ifstream lr_In(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(lr_In), std::istreambuf_iterator<char>());
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char ls_Template[] = "/tmp/ssao_log_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(ls_Template));
        mr_Directory = ls_Template;
        mr_LogPath = Widen(mr_Directory.string()) + L"/Vexil.log";
    }
    void TearDown() override {
        std::error_code lr_Error;
        fs::permissions(mr_Directory, fs::perms::owner_all, lr_Error);
        fs::remove_all(mr_Directory, lr_Error);
    }

    fs::path mr_Directory;
    std::wstring mr_LogPath;
};

TEST_F(LogFileTest, FirstMessageCreatesTheFile) {
    ASSERT_FALSE(fs::exists(mr_Directory / "Vexil.log"));
    WriteLog(mr_LogPath, L"SSAO: Initialising...\n");
    EXPECT_EQ("SSAO: Initialising...\r\n", ReadAll(mr_Directory / "Vexil.log"));
}

TEST_F(LogFileTest, AppendsAndNeverTruncates) {
    {
        std::ofstream lr_Out(mr_Directory / "Vexil.log", std::ios::binary);
        lr_Out << "host line\n";
    }
    WriteLog(mr_LogPath, L"SSAO: one\n");
    WriteLog(mr_LogPath, L"SSAO: two\n");
    EXPECT_EQ("host line\nSSAO: one\r\nSSAO: two\r\n", ReadAll(mr_Directory / "Vexil.log"));
}

TEST_F(LogFileTest, ClosesAfterEachMessageSoOthersCanWriteBetween) {
    WriteLog(mr_LogPath, L"SSAO: first\n");
    {
        std::ofstream lr_Host(mr_Directory / "Vexil.log", std::ios::binary | std::ios::app);
        lr_Host << "host\n";
    }
    WriteLog(mr_LogPath, L"SSAO: second\n");
    EXPECT_EQ("SSAO: first\r\nhost\nSSAO: second\r\n", ReadAll(mr_Directory / "Vexil.log"));
    // A file removed between messages is simply made again.
    fs::remove(mr_Directory / "Vexil.log");
    WriteLog(mr_LogPath, L"SSAO: third\n");
    EXPECT_EQ("SSAO: third\r\n", ReadAll(mr_Directory / "Vexil.log"));
}

TEST_F(LogFileTest, ItemsAreJoinedInOrder) {
    const std::string ls_Narrow = "ShowTexture.hlsl";
    const char* lr_Format = "D3DFMT_X8R8G8B8";
    enum TestFormat { Format22 = 22 };
    WriteLog(mr_LogPath, L"SSAO: ", ls_Narrow, L" ", lr_Format, L" ", 1280, L"x", 720u, L" ", -5, L" ", Format22, L" ",
             std::wstring(L"wide"), L" ", 4294967295u, L"\n");
    EXPECT_EQ("SSAO: ShowTexture.hlsl D3DFMT_X8R8G8B8 1280x720 -5 22 wide 4294967295\r\n",
              ReadAll(mr_Directory / "Vexil.log"));
}

// The same bytes on every platform: the log is read on Windows.
TEST_F(LogFileTest, EachNewlineIsWrittenAsAWindowsLineEnd) {
    WriteLog(mr_LogPath, L"a\n", L"b\r\n");
    EXPECT_EQ(std::string("a\r\nb\r\r\n"), ReadAll(mr_Directory / "Vexil.log"));
}

TEST_F(LogFileTest, NarrowTextIsReadInTheAnsiCodePage) {
    // 0x80 is the euro sign in Windows-1252 and comes back as 0x80; read as
    // Latin-1 it would be U+0080, which the page cannot hold ('?').
    WriteLog(mr_LogPath, std::string("caf\xE9 \x80!"), L" ", "\x80\x9F", L" ", L"\u20AC\u0178", L"\n");
    EXPECT_EQ(std::string("caf\xE9 \x80! \x80\x9F \x80\x9F\r\n"), ReadAll(mr_Directory / "Vexil.log"));
}

TEST_F(LogFileTest, ANamedPipeIsNeitherWaitedOnNorWrittenAndIsReportedOnceUntilTheLogWorksAgain) {
    ASSERT_EQ(mkfifo((mr_Directory / "Vexil.log").c_str(), 0600), 0);
    ::testing::internal::CaptureStderr();
    // Without a reader, a blocking open would never return.
    WriteLog(mr_LogPath, L"SSAO: lost\n");
    // With a reader, the pipe is still not a log.
    const int lr_Reader = ::open((mr_Directory / "Vexil.log").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(lr_Reader, 0);
    WriteLog(mr_LogPath, L"SSAO: lost again\n");
    char lr_Buffer[16];
    EXPECT_LE(::read(lr_Reader, lr_Buffer, sizeof(lr_Buffer)), 0);
    ::close(lr_Reader);
    std::string ls_Reported = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ls_Reported, "SSAO: the log " + mr_Directory.string() +
                               "/Vexil.log cannot be written (error 5); going on without it.\n");

    fs::remove(mr_Directory / "Vexil.log");
    ::testing::internal::CaptureStderr();
    WriteLog(mr_LogPath, L"SSAO: kept\n");
    EXPECT_EQ(ReadAll(mr_Directory / "Vexil.log"), "SSAO: kept\r\n");
    fs::remove(mr_Directory / "Vexil.log");
    ASSERT_TRUE(fs::create_directory(mr_Directory / "Vexil.log"));
    WriteLog(mr_LogPath, L"SSAO: lost\n");
    ls_Reported = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(ls_Reported.find("Vexil.log cannot be written (error 5)"), std::string::npos)
        << "reported again after a write succeeded: " << ls_Reported;
}

TEST_F(LogFileTest, CharactersOutsideTheAnsiPageBecomeQuestionMarksAndTheLineGoesOn) {
    WriteLog(mr_LogPath, L"SSAO: \u65E5\u672C \u00E9\u20AC \u0151 ", L"after\n");
    WriteLog(mr_LogPath, L"SSAO: next\n");
    EXPECT_EQ(std::string("SSAO: ?? \xE9\x80 ? after\r\nSSAO: next\r\n"), ReadAll(mr_Directory / "Vexil.log"));
}

TEST_F(LogFileTest, NonAsciiDirectoryAndFileName) {
    const std::wstring ls_Folder = L"Pr\u00FCfung \u65E5\u672C \U0001F600";
    const std::wstring ls_Name = L"Vexil\u20AC\u0151.log";
    const fs::path lr_Folder = mr_Directory / Utf8(ls_Folder);
    ASSERT_TRUE(fs::create_directory(lr_Folder));
    const std::wstring ls_Path = Widen(mr_Directory.string()) + L"/" + ls_Folder + L"/" + ls_Name;

    WriteLog(ls_Path, L"SSAO: here\n");
    WriteLog(ls_Path, L"SSAO: again\n");
    EXPECT_EQ("SSAO: here\r\nSSAO: again\r\n", ReadAll(lr_Folder / Utf8(ls_Name)));
}

TEST_F(LogFileTest, MissingDirectoryIsSkippedSilently) {
    const std::wstring ls_Path = Widen((mr_Directory / "missing" / "Vexil.log").string());
    EXPECT_NO_THROW(WriteLog(ls_Path, L"SSAO: lost\n"));
    EXPECT_FALSE(fs::exists(mr_Directory / "missing"));
    // The next message with a good path still works.
    WriteLog(mr_LogPath, L"SSAO: kept\n");
    EXPECT_EQ("SSAO: kept\r\n", ReadAll(mr_Directory / "Vexil.log"));
}

TEST_F(LogFileTest, UnwritableLocationIsSkippedSilently) {
    // A path through a regular file cannot be opened, whoever runs the test.
    {
        std::ofstream lr_Out(mr_Directory / "plain", std::ios::binary);
        lr_Out << "x";
    }
    const std::wstring ls_Path = Widen((mr_Directory / "plain" / "Vexil.log").string());
    EXPECT_NO_THROW(WriteLog(ls_Path, L"SSAO: lost\n"));
    EXPECT_NO_THROW(WriteLog(ls_Path, L"SSAO: lost again\n"));
    EXPECT_EQ("x", ReadAll(mr_Directory / "plain"));
}

TEST_F(LogFileTest, DirectoryInPlaceOfTheFileIsSkippedSilently) {
    ASSERT_TRUE(fs::create_directory(mr_Directory / "Vexil.log"));
    EXPECT_NO_THROW(WriteLog(mr_LogPath, L"SSAO: lost\n"));
    EXPECT_TRUE(fs::is_directory(mr_Directory / "Vexil.log"));
}

TEST_F(LogFileTest, EmptyPathAndEmbeddedNulAreSkipped) {
    EXPECT_NO_THROW(WriteLog(std::wstring(), L"SSAO: lost\n"));
    std::wstring ls_Path = mr_LogPath;
    ls_Path.insert(ls_Path.size() - 4, 1, L'\0');  // "Vexil\0.log" must not become "Vexil"
    WriteLog(ls_Path, L"SSAO: lost\n");
    EXPECT_FALSE(fs::exists(mr_Directory / "Vexil"));
}

}  // namespace

namespace {

TEST_F(LogFileTest, BackslashSeparatesDirectories) {
    ASSERT_TRUE(fs::create_directory(mr_Directory / "sub"));
    WriteLog(Widen(mr_Directory.string()) + L"\\sub\\Vexil.log", L"SSAO: here\n");
    EXPECT_EQ("SSAO: here\r\n", ReadAll(mr_Directory / "sub" / "Vexil.log"));
}

}  // namespace
