#include "rte/mqtt/outbox_os.h"

#include <windows.h>

#include <io.h>


namespace rte::outbox::os {
namespace {

std::wstring wide(const std::string &utf8)
{
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                        nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                              n);
    return out;
}

FileId idOf(HANDLE h)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info))
        return FileId{};
    return FileId{info.dwVolumeSerialNumber,
                  (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
}

unsigned long long hashOf(const std::wstring &text)
{
    unsigned long long h = 1469598103934665603ULL;
    for (const wchar_t c : text)
        h = (h ^ static_cast<unsigned>(c)) * 1099511628211ULL;
    return h;
}

}  // namespace

FileId fileId(const std::string &path)
{
    // No access asked and every kind shared: a look that stands in nobody's
    // way, SQLite's own handles included.
    const HANDLE h = ::CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FileId{};
    const FileId id = idOf(h);
    ::CloseHandle(h);
    return id;
}

FileId fileIdOf(int fd)
{
    const auto h = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    return h == INVALID_HANDLE_VALUE ? FileId{} : idOf(h);
}

bool makeFolder(const std::string &path)
{
    const std::wstring w = wide(path);
    const DWORD attributes = ::GetFileAttributesW(w.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::size_t cut = path.find_last_of("\\/");
    if (cut != std::string::npos && cut > 0 && path[cut - 1] != ':' && !makeFolder(path.substr(0, cut)))
        return false;
    return ::CreateDirectoryW(w.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

void removeName(const std::string &path)
{
    ::DeleteFileW(wide(path).c_str());
}

long long claimPath(const std::string &path, bool &held)
{
    held = false;
    // One name for every spelling of the path: full and, as Windows
    // compares names, without regard to case.
    const std::wstring given = wide(path);
    std::wstring full(32768, L'\0');
    const DWORD n = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size())
        return -1;
    full.resize(n);
    ::CharLowerBuffW(full.data(), n);
    std::wstring name = L"Local\\vandrel-outbox-";
    const unsigned long long h = hashOf(full);
    for (int shift = 60; shift >= 0; shift -= 4)
        name += L"0123456789abcdef"[(h >> shift) & 15];
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex)
        return -1;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        held = true;
        return -1;
    }
    return reinterpret_cast<long long>(mutex);
}

void releasePath(long long handle)
{
    if (handle >= 0)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace rte::outbox::os
