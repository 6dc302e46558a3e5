// The engine's files and paths on Windows: names in any language reach the
// system as UTF-16, text files get CRLF line ends and are read back with
// either, the atomic replace works over an existing file, a private file
// lets its user alone in, and the program's directories come from the
// module file name.
#include "rte/formatio.h"
#include "rte/utility.h"
#include "rte/util/utility_os.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

namespace {

namespace fs = std::filesystem;

std::string utf8(const fs::path &p)
{
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

std::string bytesOf(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Whether the file's access list lets no other user account in: every
// entry that allows is this user's or the system's own; what it holds, in
// `seen`.
bool ownerOnly(const fs::path &file, std::string &seen)
{
    HANDLE token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    const bool known = ::GetTokenInformation(token, TokenUser, user.data(), size, &size);
    ::CloseHandle(token);
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!known || ::GetNamedSecurityInfoW(file.wstring().c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                          nullptr, nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS) {
        seen = "no access list could be read";
        return false;
    }
    bool alone = list != nullptr;
    seen = list == nullptr ? "no list: everyone may" : "";
    for (DWORD k = 0; list != nullptr && k < list->AceCount; ++k) {
        void *entry = nullptr;
        ::GetAce(list, k, &entry);
        const auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(entry);
        const PSID sid = const_cast<DWORD *>(&allowed->SidStart);
        char *text = nullptr;
        ::ConvertSidToStringSidA(sid, &text);
        seen += std::string(" ") + (text ? text : "?") + (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE ? "" : " (not allowing)");
        ::LocalFree(text);
        if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE)
            alone &= ::EqualSid(sid, reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid) ||
                     ::IsWellKnownSid(sid, WinLocalSystemSid);
    }
    ::LocalFree(descriptor);
    return alone;
}

class WindowsFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("vandrel-files-" + std::to_string(::GetCurrentProcessId()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

TEST_F(WindowsFiles, NamesInAnyLanguageReachTheSystemAsUtf16)
{
    // "Mesures ÅØ 測定.dat": Latin-1, Nordic and CJK letters, none of them in
    // the system's ANSI code page all at once.
    const fs::path file = dir_ / fs::path(u8"Mesures \u00c5\u00d8 \u6e2c\u5b9a.dat");
    const std::string name = utf8(file);
    const int h = OpenFile(name.c_str(), kOpenWrite, kOpenTruncate, kOpenText);
    ASSERT_GT(h, 0);
    ASSERT_EQ(FmtFile(h, "%f %f\n", 1.5, 20.9), 2);
    ASSERT_EQ(CloseFile(h), 0);

    // The wide name the system holds is the one asked for.
    EXPECT_NE(::GetFileAttributesW(file.wstring().c_str()), INVALID_FILE_ATTRIBUTES);
    long long size = 0;
    EXPECT_EQ(GetFileInfo(name.c_str(), size), 1);
    EXPECT_EQ(size, static_cast<long long>(bytesOf(file).size()));

    const int r = OpenFile(name.c_str(), kOpenRead, kOpenKeep, kOpenText);
    ASSERT_GT(r, 0);
    double t = 0, v = 0;
    EXPECT_EQ(ScanFile(r, "%f %f", t, v), 2);
    EXPECT_EQ(t, 1.5);
    EXPECT_EQ(v, 20.9);
    CloseFile(r);

    EXPECT_EQ(OpenFile("\xff\xfe.dat", kOpenRead, kOpenKeep, kOpenBinary), kFileNotFound);  // not UTF-8
}

TEST_F(WindowsFiles, TextFilesHoldCrlfAndReadEitherLineEnd)
{
    const std::string text = utf8(dir_ / "text.dat");
    const std::string binary = utf8(dir_ / "binary.dat");
    for (const auto &[path, type] : {std::pair{text, 1}, std::pair{binary, 0}}) {
        const int h = OpenFile(path.c_str(), kOpenWrite, kOpenTruncate, type);
        ASSERT_GT(h, 0);
        ASSERT_EQ(FmtFile(h, "%d %d\n", 1, 2), 2);
        ASSERT_EQ(FmtFile(h, "%d %d\n", 3, 4), 2);
        CloseFile(h);
    }
    EXPECT_EQ(bytesOf(text), "1 2\r\n3 4\r\n");
    EXPECT_EQ(bytesOf(binary), "1 2\n3 4\n");

    // A file from either system, or edited by both, reads the same.
    const fs::path mixed = dir_ / "mixed.dat";
    std::ofstream(mixed, std::ios::binary) << "1 2\r\n3 4\n5 6\r\n";
    const int h = OpenFile(utf8(mixed).c_str(), kOpenRead, kOpenKeep, kOpenText);
    ASSERT_GT(h, 0);
    std::string seen;
    int a = 0, b = 0;
    while (ScanFile(h, "%d %d", a, b) == 2)
        seen += std::to_string(a) + std::to_string(b);
    CloseFile(h);
    EXPECT_EQ(seen, "123456");
}

TEST_F(WindowsFiles, AppendingWritesAtTheEndAfterAnyRead)
{
    const std::string path = utf8(dir_ / "append.dat");
    std::ofstream(path, std::ios::binary) << "1\n";
    const int h = OpenFile(path.c_str(), kOpenReadWrite, kOpenAppend, kOpenBinary);
    ASSERT_GT(h, 0);
    int first = 0;
    ASSERT_EQ(ScanFile(h, "%d", first), 1);
    ASSERT_EQ(FmtFile(h, "%d\n", 2), 1);
    CloseFile(h);
    EXPECT_EQ(bytesOf(path), "1\n2\n");
}

TEST_F(WindowsFiles, RenameReplacesAnExistingFile)
{
    // The settings are saved to a new file renamed over the old one; a
    // plain rename refuses to replace a file here.
    const std::string old = utf8(dir_ / "settings.txt");
    const std::string next = utf8(dir_ / "settings.txt.new");
    std::ofstream(old, std::ios::binary) << "old";
    std::ofstream(next, std::ios::binary) << "new";
    ASSERT_EQ(RenameFile(next.c_str(), old.c_str()), 0);
    EXPECT_EQ(bytesOf(old), "new");
    long long size = 0;
    EXPECT_EQ(GetFileInfo(next.c_str(), size), 0);
    EXPECT_EQ(RenameFile(next.c_str(), old.c_str()), kFileNotFound);
}

TEST_F(WindowsFiles, RemoveFileTakesANameInAnyLanguage)
{
    const fs::path file = dir_ / fs::path(u8"Wiederaufnahme \u00e4.ini");
    std::ofstream(file) << "running=1";
    EXPECT_EQ(RemoveFile(utf8(file).c_str()), 0);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(RemoveFile(utf8(file).c_str()), 0) << "none there is none left";
    EXPECT_EQ(RemoveFile(utf8(dir_).c_str()), kFileAccessDenied) << "a folder is not removed";
}

// A file that holds a password: no other user account may open it, from
// its creation on, after it is renamed over the old one, and an older file
// is narrowed so.
TEST_F(WindowsFiles, APrivateFileLetsThisUserAloneIn)
{
    const fs::path file = dir_ / fs::path(u8"Zugang \u00e4.new");
    std::ofstream(file) << "left behind";
    std::string seen;
    EXPECT_FALSE(ownerOnly(file, seen)) << "a plain file takes its folder's list here: " << seen;
    const std::string name = utf8(file);
    const int h = CreatePrivateFile(name.c_str(), kOpenText);
    ASSERT_GT(h, 0);
    EXPECT_TRUE(ownerOnly(file, seen)) << "before anything is written: " << seen;
    ASSERT_EQ(FmtFile(h, "password=%s\n", "s3cret"), 1);
    ASSERT_EQ(CloseFile(h), 0);
    EXPECT_EQ(bytesOf(file), "password=s3cret\r\n") << "the file left behind is gone, not written over";

    const fs::path settings = dir_ / "settings.ini";
    std::ofstream(settings) << "old";
    ASSERT_EQ(RenameFile(name.c_str(), utf8(settings).c_str()), 0);
    EXPECT_TRUE(ownerOnly(settings, seen)) << "renamed over the old one: " << seen;

    const fs::path older = dir_ / "older.ini";
    std::ofstream(older) << "password=old";
    ASSERT_EQ(MakeFilePrivate(utf8(older).c_str()), 0);
    EXPECT_TRUE(ownerOnly(older, seen)) << "narrowed: " << seen;
    EXPECT_EQ(bytesOf(older), "password=old");
}

TEST_F(WindowsFiles, DirectoriesAndMissingFilesAreRefused)
{
    const std::string d = utf8(dir_);
    EXPECT_EQ(OpenFile(d.c_str(), kOpenRead, kOpenKeep, kOpenBinary), kFileAccessDenied);
    long long size = 7;
    EXPECT_EQ(GetFileInfo(d.c_str(), size), 0);
    EXPECT_EQ(OpenFile(utf8(dir_ / "none" / "x.dat").c_str(), kOpenRead, kOpenKeep, kOpenBinary), kFileNotFound);
    EXPECT_EQ(OpenFile(utf8(dir_ / "x.dat").c_str(), kOpenRead, kOpenKeep, kOpenBinary), kFileNotFound);
}

TEST(WindowsPaths, ProgramDirectoryComesFromTheModuleFileName)
{
    wchar_t module[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    ASSERT_GT(n, 0u);
    char dir[1024];
    ASSERT_EQ(GetProjectDir(dir), 0);
    EXPECT_EQ(fs::path(std::u8string(reinterpret_cast<const char8_t *>(dir))),
              fs::path(module).parent_path());

    char path[1024];
    ASSERT_EQ(MakePathname(dir, "Vandrel_V3.uir", path), 0);
    EXPECT_TRUE(fs::exists(fs::path(std::u8string(reinterpret_cast<const char8_t *>(path)))));
    ASSERT_EQ(MakePathname("C:\\data\\", "a.dat", path), 0);
    EXPECT_STREQ(path, "C:\\data\\a.dat");
    ASSERT_EQ(MakePathname("C:/data", "a.dat", path), 0);
    EXPECT_STREQ(path, "C:/data\\a.dat");

    // The program's own directory is writable here: the settings live there.
    char settings[1024];
    ASSERT_EQ(GetSettingsDir(settings), 0);
    EXPECT_STREQ(settings, dir);
}

TEST(WindowsPaths, UserSettingsLiveInAppData)
{
    const fs::path appData = fs::temp_directory_path() / ("vandrel-appdata-" + std::to_string(::GetCurrentProcessId()));
    fs::create_directories(appData);
    const std::wstring was = _wgetenv(L"APPDATA") ? _wgetenv(L"APPDATA") : L"";
    _wputenv_s(L"APPDATA", appData.wstring().c_str());
    const std::string dir = rte::util::os::userSettingsDir();
    _wputenv_s(L"APPDATA", was.c_str());
    EXPECT_EQ(fs::path(std::u8string(dir.begin(), dir.end())), appData / "vandrel");
    EXPECT_TRUE(fs::is_directory(appData / "vandrel"));
    EXPECT_TRUE(rte::util::os::mayWrite(dir));
    // The check leaves nothing behind.
    EXPECT_TRUE(fs::is_empty(appData / "vandrel"));
    fs::remove_all(appData);
}

}  // namespace
