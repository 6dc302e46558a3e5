// The program's files while another program holds them for a moment, as a
// virus scanner, the search indexer or a backup client does right after a
// file is written: the settings file replaced at the end of the program,
// an event line appended.  The holder is file_holder.exe, beside this
// program; the script that runs this under wine copies both into a folder
// of their own with the panel file, so that the settings kept there are
// this test's alone.
#include "alarm/event_file.h"
#include "app/settings_file.h"
#include "app/shell.h"
#include "app/state.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <windows.h>

namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path &p, const std::string &bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

fs::path fromUtf8(const char *text) { return fs::path(std::u8string(text, text + std::strlen(text))); }

fs::path besideThisProgram(const wchar_t *name)
{
    wchar_t self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(std::wstring(self, n)).parent_path() / name;
}

// file_holder.exe holding a file; it lets go `ms` after go(), or when
// the test ends it.
class Holder {
public:
    Holder(const fs::path &file, const wchar_t *sharing, int ms)
    {
        const std::wstring tag = std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++count_);
        const std::wstring heldName = L"vandrel-held-" + tag, goName = L"vandrel-go-" + tag;
        held_ = ::CreateEventW(nullptr, TRUE, FALSE, heldName.c_str());
        go_ = ::CreateEventW(nullptr, TRUE, FALSE, goName.c_str());
        std::wstring command = L"\"" + besideThisProgram(L"file_holder.exe").wstring() + L"\" \"" + file.wstring() +
                               L"\" " + sharing + L" " + std::to_wstring(ms) + L" " + heldName + L" " + goName;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (held_ && go_ &&
            ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
            ::CloseHandle(started.hThread);
            process_ = started.hProcess;
        }
        const HANDLE either[] = {held_, process_};
        holding_ = process_ && ::WaitForMultipleObjects(2, either, FALSE, 30000) == WAIT_OBJECT_0;
    }
    ~Holder()
    {
        if (process_) {
            if (::WaitForSingleObject(process_, 0) != WAIT_OBJECT_0)
                ::TerminateProcess(process_, 1);
            ::WaitForSingleObject(process_, 30000);
            ::CloseHandle(process_);
        }
        for (HANDLE h : {held_, go_})
            if (h)
                ::CloseHandle(h);
    }
    Holder(const Holder &) = delete;
    Holder &operator=(const Holder &) = delete;

    bool holding() const { return holding_; }
    void go() const { ::SetEvent(go_); }

private:
    static inline int count_ = 0;
    HANDLE held_ = nullptr, go_ = nullptr, process_ = nullptr;
    bool holding_ = false;
};

class HeldFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[kPathSize];
        ASSERT_EQ(settings_path(path), 0);
        ini = fromUtf8(path);
        writeBytes(ini, before);
        settings = Settings{4, 0.5, 0, 2, 1, -1.0, 40.0};
        rte::testing::clearPopups();
    }

    fs::path ini;
    const std::string before = " 1 2.500000 1 1 0 0.000000 250.000000  Kv_2014\r\n";
    const std::string after = " 4 0.500000 0 2 1 -1.000000 40.000000  Kv_2014\r\n";
};

// The settings file held for 300 ms while the program saves: the save
// waits for it and goes through.
TEST_F(HeldFile, TheSettingsAreSavedOnceAHolderLetsGo)
{
    const Holder scanner(ini, L"rw", 300);
    ASSERT_TRUE(scanner.holding());
    scanner.go();
    EXPECT_EQ(settings_save(), 0);
    EXPECT_EQ(bytesOf(ini), after);
}

// Held for 10 s while the operator ends the program: the save gives up
// and says so, and the file keeps the settings saved before, whole.  Once
// it is let go, a save goes through.
TEST_F(HeldFile, ASettingsFileHeldLongerIsSaidAndKeptWhole)
{
    {
        const Holder scanner(ini, L"rw", 10000);
        ASSERT_TRUE(scanner.holding());
        scanner.go();
        rte::testing::queueMessageAck();
        endSC(state.main_panel, kEventClose, nullptr, 0, 0);
        ASSERT_EQ(rte::testing::popupLog().size(), 1u);
        EXPECT_EQ(rte::testing::popupLog()[0].rfind("Settings|The settings could not be saved: ", 0), 0u)
            << rte::testing::popupLog()[0];
        EXPECT_NE(rte::testing::popupLog()[0].find("vandrel.ini"), std::string::npos);
        EXPECT_EQ(bytesOf(ini), before);
    }
    EXPECT_EQ(bytesOf(ini), before);
    EXPECT_EQ(settings_save(), 0);
    EXPECT_EQ(bytesOf(ini), after);
}

// A run without a recording writes its events to the day's file in the
// settings folder, opened for each line: held for 300 ms without sharing
// writes, the line still goes in, after the one before.
TEST_F(HeldFile, AnEventLineWaitsForAHolderOfTheEventFile)
{
    state.recording = 0;
    char path[kPathSize];
    ASSERT_EQ(event_path(path), 0);
    const fs::path events = fromUtf8(path);
    writeBytes(events, "earlier line\r\n");
    {
        const Holder indexer(events, L"r", 300);
        ASSERT_TRUE(indexer.holding());
        indexer.go();
        EXPECT_EQ(write_event("normal", 1.5, 2.5, 3.0), 0);
    }
    const std::string lines = bytesOf(events);
    EXPECT_EQ(lines.rfind("earlier line\r\n", 0), 0u) << lines;
    EXPECT_NE(lines.find("\t3.0\tnormal\t"), std::string::npos) << lines;
    fs::remove(events);
}

}  // namespace
