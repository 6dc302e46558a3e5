// The operating-system side of file handles on Windows: the wide-character
// file API from UTF-8 names, write-through and FlushFileBuffers for stable
// storage, MoveFileExW for the atomic replace, an access list of this user's
// alone for a private file.  Descriptors are C runtime descriptors over the
// system's handles (_open_osfhandle), so the handle table keeps one kind of
// number on every system.
//
// A virus scanner, the search indexer or a backup client opens a file for a
// moment right after it is written, and meanwhile opening it for writing,
// replacing or removing it fails as if it were forbidden.  Those calls are
// tried again while they fail so, as SQLite's Windows layer does.
#include "rte/format/files_os.h"
#include "rte/formatio.h"
#include "rte/util/win32_text.h"

#include <algorithm>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace rte::files::os {
namespace {

// Descriptors opened to append: every write goes to the end of the file,
// as O_APPEND does (the system's own append access could not cut a torn
// line back).
std::vector<int> g_appending;

bool appending(int fd)
{
    return std::find(g_appending.begin(), g_appending.end(), fd) != g_appending.end();
}

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

int errorCode(DWORD e)
{
    switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return kFileNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return kFileAccessDenied;
    case ERROR_TOO_MANY_OPEN_FILES:
        return kFileTooManyOpen;
    default:
        return kFileIoError;
    }
}

// What a file that another program holds for a moment answers.
bool heldElsewhere(DWORD e)
{
    return e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION;
}

// Runs attempt until it succeeds, fails otherwise, or has been tried 10
// times, pausing 25 ms longer after each try (1.1 s in all).  Whether it
// succeeded; the last try's error stays for GetLastError.
template <typename Attempt>
bool triedWhileHeldElsewhere(const Attempt &attempt)
{
    constexpr int kTries = 10;
    for (int tried = 1;; ++tried) {
        if (attempt())
            return true;
        if (tried == kTries || !heldElsewhere(::GetLastError()))
            return false;
        ::Sleep(static_cast<DWORD>(25 * tried));
    }
}

bool seek(HANDLE h, long long offset, DWORD from, long long *at = nullptr)
{
    LARGE_INTEGER to;
    to.QuadPart = offset;
    LARGE_INTEGER now;
    if (!::SetFilePointerEx(h, to, &now, from))
        return false;
    if (at)
        *at = now.QuadPart;
    return true;
}

bool writeAll(HANDLE h, const char *p, std::size_t len)
{
    while (len > 0) {
        const DWORD chunk = len > (1u << 30) ? (1u << 30) : static_cast<DWORD>(len);
        DWORD done = 0;
        if (!::WriteFile(h, p, chunk, &done, nullptr) || done == 0)
            return false;
        p += done;
        len -= done;
    }
    return true;
}

// The C runtime descriptor that owns the system's handle `h` from now on,
// or kFileTooManyOpen (and `h` closed).
int descriptorOf(HANDLE h)
{
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(h);
        return kFileTooManyOpen;
    }
    return fd;
}

// A security descriptor whose access list lets this user alone read,
// write and delete (and the system itself, as with every file of the
// user's profile, for its backup and indexing services), and takes nothing
// from the folder's: what mode 0600 is on POSIX.  The folder's list would
// let every user read a file in a folder of the computer's own, such as
// C:\Vandrel.
class OwnerOnly {
public:
    OwnerOnly()
    {
        HANDLE token;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
            return;
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        user_.resize(size);
        const bool known = size > 0 && ::GetTokenInformation(token, TokenUser, user_.data(), size, &size);
        ::CloseHandle(token);
        DWORD systemSize = SECURITY_MAX_SID_SIZE;
        if (!known || !::CreateWellKnownSid(WinLocalSystemSid, nullptr, system_, &systemSize))
            return;
        const PSID user = reinterpret_cast<TOKEN_USER *>(user_.data())->User.Sid;
        const DWORD access = FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE;
        list_.resize(sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(user) + systemSize);
        ACL *acl = reinterpret_cast<ACL *>(list_.data());
        ready_ = ::InitializeAcl(acl, static_cast<DWORD>(list_.size()), ACL_REVISION) &&
                 ::AddAccessAllowedAce(acl, ACL_REVISION, access, user) &&
                 ::AddAccessAllowedAce(acl, ACL_REVISION, access, system_) &&
                 ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
                 ::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
                 ::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    }
    bool ready() const { return ready_; }
    SECURITY_DESCRIPTOR *descriptor() { return &descriptor_; }

private:
    std::vector<unsigned char> user_;  // a TOKEN_USER
    alignas(DWORD) unsigned char system_[SECURITY_MAX_SID_SIZE];
    std::vector<unsigned char> list_;  // the ACL
    SECURITY_DESCRIPTOR descriptor_{};
    bool ready_ = false;
};

// The system's name for `path`, and whether `owner` could be made: 0, or
// the kFile code for what is missing.
int privateTarget(const char *path, std::wstring &name, const OwnerOnly &owner)
{
    if (!win32::widen(path, name) || name.empty())
        return kFileNotFound;
    return owner.ready() ? 0 : kFileAccessDenied;
}

}  // namespace

int open(const char *path, int mode, int action)
{
    std::wstring name;
    if (!win32::widen(path, name) || name.empty())
        return kFileNotFound;
    DWORD access = mode == kOpenReadWrite ? GENERIC_READ | GENERIC_WRITE : mode == kOpenRead ? GENERIC_READ : GENERIC_WRITE;
    DWORD create = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (mode != kOpenRead) {
        create = action == kOpenTruncate ? CREATE_ALWAYS : OPEN_ALWAYS;
        // A recorded line is on the disk when the write returns, as with
        // the flush that follows it; write-through spares the cache.
        flags |= FILE_FLAG_WRITE_THROUGH;
    }
    // Others may read, write, rename and delete meanwhile, as on POSIX: the
    // viewer reads a file while it is being recorded.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE h = INVALID_HANDLE_VALUE;
    const auto attempt = [&] {
        h = ::CreateFileW(name.c_str(), access, share, nullptr, create, flags, nullptr);
        return h != INVALID_HANDLE_VALUE;
    };
    // Reading waits for no one: a file that cannot be read now is said at once.
    if (!(mode == kOpenRead ? attempt() : triedWhileHeldElsewhere(attempt)))
        return errorCode(::GetLastError());
    // A directory does not open without backup semantics; a pipe does.
    const DWORD type = ::GetFileType(h);
    if (type != FILE_TYPE_DISK && type != FILE_TYPE_CHAR) {
        ::CloseHandle(h);
        return kFileAccessDenied;
    }
    const int fd = descriptorOf(h);
    if (fd >= 0 && mode != kOpenRead && action == kOpenAppend)
        g_appending.push_back(fd);
    return fd;
}

int close(int fd)
{
    std::erase(g_appending, fd);
    // Closes the system's handle with the descriptor.
    return ::_close(fd) == 0 ? 0 : kFileIoError;
}

std::size_t readSome(int fd, char *buf, std::size_t len)
{
    const DWORD want = len > (1u << 30) ? (1u << 30) : static_cast<DWORD>(len);
    DWORD got = 0;
    if (!::ReadFile(handleOf(fd), buf, want, &got, nullptr))
        return 0;
    return got;
}

void unread(int fd, std::size_t bytes)
{
    seek(handleOf(fd), -static_cast<long long>(bytes), FILE_CURRENT);
}

bool writeStored(int fd, const char *bytes, std::size_t len)
{
    HANDLE h = handleOf(fd);
    const bool disk = ::GetFileType(h) == FILE_TYPE_DISK;
    if (disk && appending(fd) && !seek(h, 0, FILE_END))
        return false;
    // Where the file ended and where its offset stood, to take back a write
    // that stops part-way.
    long long size = -1;
    long long offset = -1;
    if (disk) {
        LARGE_INTEGER s;
        if (::GetFileSizeEx(h, &s))
            size = s.QuadPart;
        seek(h, 0, FILE_CURRENT, &offset);
    }
    // Devices (NUL, a COM port) have no stable storage to flush to.
    const bool stored = writeAll(h, bytes, len) && (!disk || ::FlushFileBuffers(h));
    if (!stored && disk) {
        LARGE_INTEGER now;
        if (size >= 0 && ::GetFileSizeEx(h, &now) && now.QuadPart > size && seek(h, size, FILE_BEGIN))
            ::SetEndOfFile(h);
        if (offset >= 0)
            seek(h, offset, FILE_BEGIN);
    }
    return stored;
}

void appendText(std::string &out, const char *text, std::size_t len)
{
    // Text files hold the system's line ends; reading takes either, as the
    // scanner counts a carriage return as white space.
    for (std::size_t k = 0; k < len; ++k) {
        if (text[k] == '\n')
            out.push_back('\r');
        out.push_back(text[k]);
    }
}

int fileInfo(const char *path, long long &size)
{
    std::wstring name;
    if (!win32::widen(path, name) || name.empty())
        return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD e = ::GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME)
            return 0;
        return errorCode(e);
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return 0;
    size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return 1;
}

int rename(const char *from, const char *to)
{
    std::wstring a;
    std::wstring b;
    if (!win32::widen(from, a) || !win32::widen(to, b) || a.empty() || b.empty())
        return kFileNotFound;
    // A plain rename fails over an existing file here: replace it, and let
    // the call return only once the new name is on the disk.
    if (triedWhileHeldElsewhere(
            [&] { return ::MoveFileExW(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH); }))
        return 0;
    return errorCode(::GetLastError());
}

int remove(const char *path)
{
    std::wstring name;
    if (!win32::widen(path, name) || name.empty())
        return kFileNotFound;
    if (triedWhileHeldElsewhere([&] { return ::DeleteFileW(name.c_str()); }))
        return 0;
    const DWORD e = ::GetLastError();
    return e == ERROR_FILE_NOT_FOUND ? 0 : errorCode(e);
}

int createPrivate(const char *path)
{
    std::wstring name;
    OwnerOnly owner;
    if (const int failed = privateTarget(path, name, owner))
        return failed;
    if (!::DeleteFileW(name.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return errorCode(::GetLastError());
    // Made here with its own access list, or not at all.
    SECURITY_ATTRIBUTES attributes{sizeof attributes, owner.descriptor(), FALSE};
    HANDLE h = ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    return h == INVALID_HANDLE_VALUE ? errorCode(::GetLastError()) : descriptorOf(h);
}

int makePrivate(const char *path)
{
    std::wstring name;
    OwnerOnly owner;
    if (const int failed = privateTarget(path, name, owner))
        return failed;
    return ::SetFileSecurityW(name.c_str(), DACL_SECURITY_INFORMATION, owner.descriptor()) ? 0
                                                                                           : errorCode(::GetLastError());
}

int lockFile(const char *path, bool &held)
{
    held = false;
    std::wstring wide;
    if (!win32::widen(path, wide))
        return kFileNotFound;
    const HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return errorCode(::GetLastError());
    OVERLAPPED at{};
    if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD e = ::GetLastError();
        ::CloseHandle(h);
        held = e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING;
        return errorCode(e);
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR);
    if (fd < 0) {
        ::CloseHandle(h);
        return kFileTooManyOpen;
    }
    return fd;
}

void unlockFile(int fd)
{
    ::_close(fd);
}

}  // namespace rte::files::os
