// Private to the engine: what the outbox asks of the system beyond its
// files' contents, one file per system behind this contract
// (outbox_posix.cpp, outbox_win32.cpp).  Paths are UTF-8.
#pragma once

#include <string>

namespace rte::outbox::os {

// Which file a name or a descriptor stands for: the device and inode
// (POSIX), the volume's serial number and the file's index (Windows).  Two
// names of one file have the same; a file deleted and made again at the
// same name has another.
struct FileId {
    unsigned long long volume = 0;
    unsigned long long index = 0;
    bool known = false;  // false: nothing there, or the system cannot tell
    bool operator==(const FileId &) const = default;
};

FileId fileId(const std::string &path);
// Of a descriptor from files::os::lockFile.
FileId fileIdOf(int fd);

// Makes the folder `path` and any of its parents that are missing, each
// for this user alone (POSIX 0700; on Windows the parent's access list, as
// the settings folder is made).  True when the folder is there afterwards.
bool makeFolder(const std::string &path);

// Removes the name `path`; whoever has the file open keeps it.
void removeName(const std::string &path);

// A claim of the system's on the outbox at `path` (a full path) that no
// file stands for, so that no deleted file breaks it, and that the end of
// the process lets go of however it comes: a socket in Linux's abstract
// namespace, a named mutex of the user's session on Windows, each named
// after the path.  The handle, or -1 with `held` true when another process
// has it, or -1 with `held` false when the system refuses.
long long claimPath(const std::string &path, bool &held);
void releasePath(long long handle);

}  // namespace rte::outbox::os
