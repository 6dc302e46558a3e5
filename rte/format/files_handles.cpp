// File handles and names: OpenFile, CreatePrivateFile, CloseFile,
// GetFileInfo, RenameFile, RemoveFile, MakeFilePrivate over the table of handles and the
// system's calls (files_os.h).
#include "rte/format/files_handles.h"

#include "rte/format/files_internal.h"
#include "rte/format/files_os.h"
#include "rte/format/internal.h"
#include "rte/formatio.h"

#include <array>
#include <climits>

namespace rte::files {
namespace {

constexpr std::size_t kMaxFiles = 1024;
std::size_t g_readBuffer = kReadBuffer;  // for handles opened from now on (tests shrink it)

std::array<std::unique_ptr<FileState>, kMaxFiles> g_slots;
std::array<unsigned, kMaxFiles> g_generation{};

}  // namespace

FileState *lookup(int handle)
{
    if (handle <= 0)
        return nullptr;
    const std::size_t slot = static_cast<std::size_t>(handle - 1) % kMaxFiles;
    FileState *f = g_slots[slot].get();
    return f && f->handle == handle ? f : nullptr;
}

}  // namespace rte::files

namespace rte::fmt::detail {

static_assert(files::kReadBuffer >= 4 * static_cast<std::size_t>(kGuard));

void setReadBufferSize(std::size_t bytes)
{
    // Not below four times the look-ahead that a number needs (kGuard).
    const std::size_t least = 4 * static_cast<std::size_t>(kGuard);
    files::g_readBuffer = bytes == 0 ? files::kReadBuffer : bytes < least ? least : bytes;
}

}  // namespace rte::fmt::detail

namespace rte::files {
namespace {

// A free place in the table, or kMaxFiles.
std::size_t freeSlot()
{
    std::size_t slot = 0;
    while (slot < kMaxFiles && g_slots[slot])
        ++slot;
    return slot;
}

// Gives the descriptor just opened, by OpenFile's mode and type, the handle
// of a free slot.
int adopt(std::size_t slot, int fd, int mode, int type)
{
    auto f = std::make_unique<FileState>();
    f->fd = fd;
    f->canRead = mode != kOpenWrite;
    f->canWrite = mode != kOpenRead;
    f->text = type == kOpenText;
    f->rcap = g_readBuffer;
    unsigned gen = ++g_generation[slot];
    long long h = static_cast<long long>(gen) * kMaxFiles + slot + 1;
    if (h > INT_MAX) {
        g_generation[slot] = gen = 0;
        h = static_cast<long long>(slot) + 1;
    }
    f->handle = static_cast<int>(h);
    g_slots[slot] = std::move(f);
    return static_cast<int>(h);
}

}  // namespace
}  // namespace rte::files

int OpenFile(const char *path, int mode, int action, int type)
{
    using namespace rte::files;
    if (!path || mode < kOpenReadWrite || mode > kOpenWrite || action < kOpenTruncate || action > kOpenKeep
        || type < kOpenBinary || type > kOpenText)
        return kFileBadArgument;
    const std::size_t slot = freeSlot();
    if (slot == kMaxFiles)
        return kFileTooManyOpen;
    const int fd = os::open(path, mode, action);
    return fd < 0 ? fd : adopt(slot, fd, mode, type);
}

int CreatePrivateFile(const char *path, int type)
{
    using namespace rte::files;
    if (!path || type < kOpenBinary || type > kOpenText)
        return kFileBadArgument;
    const std::size_t slot = freeSlot();
    if (slot == kMaxFiles)
        return kFileTooManyOpen;
    const int fd = os::createPrivate(path);
    return fd < 0 ? fd : adopt(slot, fd, kOpenWrite, type);
}

int MakeFilePrivate(const char *path)
{
    return path ? rte::files::os::makePrivate(path) : kFileBadArgument;
}

int CloseFile(int handle)
{
    using namespace rte::files;
    FileState *f = lookup(handle);
    if (!f)
        return kFileBadArgument;
    const std::size_t slot = static_cast<std::size_t>(handle - 1) % kMaxFiles;
    const int rc = os::close(f->fd);
    g_slots[slot].reset();
    return rc;
}

int GetFileInfo(const char *path, long long &size)
{
    size = 0;
    if (!path)
        return kFileBadArgument;
    return rte::files::os::fileInfo(path, size);
}

int RenameFile(const char *from, const char *to)
{
    if (!from || !to)
        return kFileBadArgument;
    return rte::files::os::rename(from, to);
}

int RemoveFile(const char *path)
{
    return path ? rte::files::os::remove(path) : kFileBadArgument;
}
