// The claim on a settings folder on Windows: a named section of memory,
// named after the folder, that holds the holder's process number.  The
// system removes it when the last process that has it open ends, however
// it ends, and no file stands for it that could be deleted; the copy that
// finds it taken brings the holder's window to the front itself, which the
// system allows the program the user has just started.
#include "rte/util/claim_os.h"
#include "rte/util/win32_text.h"

#include <windows.h>

namespace rte::util::os {
namespace {

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK findWindow(HWND window, LPARAM data)
{
    auto *search = reinterpret_cast<Search *>(data);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !::IsWindowVisible(window) || ::GetWindow(window, GW_OWNER) != nullptr)
        return TRUE;
    search->found = window;
    return FALSE;
}

void bringForward(DWORD pid)
{
    Search search{pid, nullptr};
    ::EnumWindows(findWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return;
    if (::IsIconic(search.found))
        ::ShowWindow(search.found, SW_RESTORE);
    ::SetForegroundWindow(search.found);
}

}  // namespace

int claim(const std::string &id, long &holder)
{
    holder = 0;
    // Local: the user's session.  A claim for all sessions needs a right
    // that plain users lack.
    std::wstring name;
    if (!win32::widen(("Local\\vandrel-settings-" + id).c_str(), name))
        return -1;
    HANDLE section =
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD), name.c_str());
    if (!section)
        return -1;
    const bool taken = ::GetLastError() == ERROR_ALREADY_EXISTS;
    auto *pid = static_cast<volatile DWORD *>(::MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, sizeof(DWORD)));
    if (!pid) {
        ::CloseHandle(section);
        return -1;
    }
    if (taken) {
        holder = static_cast<long>(*pid);
        ::UnmapViewOfFile(const_cast<DWORD *>(pid));
        ::CloseHandle(section);
        if (holder != 0)
            bringForward(static_cast<DWORD>(holder));
        return 0;
    }
    // Held open, never closed: the process's end lets go of it.
    *pid = ::GetCurrentProcessId();
    return 1;
}

int claimRequests()
{
    return -1;
}

int answerClaimRequest()
{
    return 0;
}

}  // namespace rte::util::os
