// The system's side of the program's paths on Windows: the executable from
// its module file name, the settings in %APPDATA%\vandrel when the program's
// own directory is not writable (an installation under Program Files);
// the start with the session by a shortcut in the user's Startup folder.
#include "rte/util/utility_os.h"
#include "rte/util/win32_text.h"

#include <cwchar>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace rte::util::os {

const char kSeparator = '\\';
const bool kFoldsCase = true;

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

bool makeDirectory(const std::string &path)
{
    std::wstring wide;
    return win32::widen(path.c_str(), wide) &&
           (::CreateDirectoryW(wide.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
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

std::string sessionStartPath(const std::string &profile)
{
    PWSTR folder = nullptr;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_Startup, KF_FLAG_CREATE, nullptr, &folder)))
        return {};
    const std::string entry = win32::narrow(folder, std::wcslen(folder)) +
                              (profile.empty() ? "\\Vandrel.lnk" : "\\Vandrel " + profile + ".lnk");
    ::CoTaskMemFree(folder);
    return entry;
}

bool writeSessionStart(const std::string &entry, const std::string &exe, const std::string &profile)
{
    std::wstring link, target, arguments;
    if (!win32::widen(entry.c_str(), link) || !win32::widen(exe.c_str(), target) ||
        !win32::widen(profile.empty() ? "" : ("--profile " + profile).c_str(), arguments))
        return false;
    const std::wstring dir = target.substr(0, target.find_last_of(L"\\/"));
    // The toolkit has set up this thread's COM already; a call of our own
    // only counts it up and down.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW *shortcut = nullptr;
    IPersistFile *file = nullptr;
    bool saved = false;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                     reinterpret_cast<void **>(&shortcut))) &&
        SUCCEEDED(shortcut->SetPath(target.c_str())) && SUCCEEDED(shortcut->SetWorkingDirectory(dir.c_str())) &&
        SUCCEEDED(shortcut->SetArguments(arguments.c_str())) &&
        SUCCEEDED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file))))
        // The shell writes the shortcut whole or leaves the old one.
        saved = SUCCEEDED(file->Save(link.c_str(), TRUE));
    if (file)
        file->Release();
    if (shortcut)
        shortcut->Release();
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return saved;
}

bool removeSessionStart(const std::string &entry)
{
    std::wstring link;
    if (!win32::widen(entry.c_str(), link))
        return false;
    return ::DeleteFileW(link.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool fileExists(const std::string &path)
{
    std::wstring wide;
    if (!win32::widen(path.c_str(), wide))
        return false;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string hostName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? win32::narrow(name, size) : std::string();
}

std::string userAccount()
{
    wchar_t name[257] = {};  // UNLEN + 1
    DWORD size = 257;
    // The size it reports counts the terminating null.
    return ::GetUserNameW(name, &size) && size > 0 ? win32::narrow(name, size - 1) : std::string();
}

}  // namespace rte::util::os
