// Another program that holds a file open for a moment, as a virus scanner,
// the search indexer or a backup client does right after a file is written:
//   file_holder PATH SHARING MILLISECONDS HELD_EVENT GO_EVENT
// opens PATH for reading, sharing it for reading ("r") or for reading and
// writing ("rw"), never for deleting or renaming; signals the named event
// HELD_EVENT; waits for the named event GO_EVENT (a minute at most); holds
// the file MILLISECONDS longer and ends.  Exit status 0, or 2 when the file
// or an event could not be opened.
#include <cwchar>
#include <string>

#include <windows.h>

int main()
{
    int argc = 0;
    wchar_t **argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 6)
        return 2;
    const std::wstring sharing = argv[2];
    const DWORD share = sharing == L"rw" ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    const DWORD hold = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
    const HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    const HANDLE held = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[4]);
    const HANDLE go = ::OpenEventW(SYNCHRONIZE, FALSE, argv[5]);
    if (file == INVALID_HANDLE_VALUE || held == nullptr || go == nullptr)
        return 2;
    ::SetEvent(held);
    ::WaitForSingleObject(go, 60000);
    ::Sleep(hold);
    ::CloseHandle(file);
    return 0;
}
