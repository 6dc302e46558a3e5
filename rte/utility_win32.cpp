// The system's side of the program's paths on Windows: the executable from
// its module file name, the settings in %APPDATA%\vandrel when the program's
// own directory is not writable (an installation under Program Files).
#include "rte/utility_os.h"
#include "rte/win32_text.h"

#include <cwchar>

#include <windows.h>

namespace rte::util::os {

const char kSeparator = '\\';

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

std::string executablePath()
{
    // The name may be longer than MAX_PATH: grow until it fits.
    std::wstring name(MAX_PATH, L'\0');
    while (true) {
        const DWORD n = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0)
            return {};
        if (n < name.size())
            return win32::narrow(name.data(), n);
        if (name.size() >= 32768)
            return {};
        name.resize(name.size() * 2);
    }
}

bool mayWrite(const std::string &dir)
{
    // The attributes and the access rights of a directory do not tell what
    // the system grants this user there: try it with a file that goes away
    // when closed.
    std::wstring path;
    if (!win32::widen(dir.c_str(), path))
        return false;
    path += L"\\~vandrel-write-check.tmp";
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_EXISTS;  // another instance checks right now
    ::CloseHandle(h);
    return true;
}

std::string userSettingsDir()
{
    const wchar_t *appData = ::_wgetenv(L"APPDATA");
    if (!appData || !*appData)
        return {};
    const std::wstring dir = std::wstring(appData) + L"\\vandrel";
    if (!::CreateDirectoryW(dir.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return {};
    return win32::narrow(dir.data(), dir.size());
}

std::string hostName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? win32::narrow(name, size) : std::string();
}

}  // namespace rte::util::os
