// File handles and names: OpenFile, CloseFile, GetFileInfo, RenameFile over
// the table of handles and the system's calls (files_os.h).
#include "rte/files_handles.h"

#include "rte/files_internal.h"
#include "rte/files_os.h"
#include "rte/format_internal.h"
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

int OpenFile(const char *path, int mode, int action, int type)
{
    using namespace rte::files;
    if (!path || mode < 0 || mode > 2 || action < 0 || action > 2 || type < 0 || type > 1)
        return kFileBadArgument;
    std::size_t slot = 0;
    while (slot < kMaxFiles && g_slots[slot])
        ++slot;
    if (slot == kMaxFiles)
        return kFileTooManyOpen;

    const int fd = os::open(path, mode, action);
    if (fd < 0)
        return fd;

    auto f = std::make_unique<FileState>();
    f->fd = fd;
    f->canRead = mode != 2;
    f->canWrite = mode != 1;
    f->text = type == 1;
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
