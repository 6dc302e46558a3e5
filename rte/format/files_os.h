// Private to the engine: the operating-system side of file handles and
// names, one file per system behind this contract (files_posix.cpp).
// Descriptors are the system's own; paths are UTF-8.  Failures come back as
// the kFile codes of formatio.h.
#pragma once

#include <cstddef>
#include <string>

namespace rte::files::os {

// Opens `path` as OpenFile's mode (0 read and write, 1 read, 2 write) and
// action (0 truncate, 1 append, 2 neither) ask, creating it for writing.
// Only files and devices: a directory, a pipe or a socket is refused.  The
// descriptor, or a kFile code (negative).
int open(const char *path, int mode, int action);
// 0, or kFileIoError.  The descriptor is gone either way.
int close(int fd);
// Reads until some bytes came, the end of the file or an error: the count,
// 0 at the end and on errors (a read error ends the input like the end).
std::size_t readSome(int fd, char *buf, std::size_t len);
// Moves the file offset back over bytes read ahead but not used.
void unread(int fd, std::size_t bytes);
// Writes the bytes whole and to stable storage; when that fails part-way,
// takes back what reached the file, so it never holds a torn line.  False
// when the bytes are not stored.
bool writeStored(int fd, const char *bytes, std::size_t len);
// Appends text as a text-mode file holds it: the system's line ends.
void appendText(std::string &out, const char *text, std::size_t len);
// 1 with the size for a file; 0 when nothing or a directory is there; a
// kFile code when the system cannot tell.
int fileInfo(const char *path, long long &size);
// Replaces `to` by `from` in one step: 0, or a kFile code.
int rename(const char *from, const char *to);
// Removes the file at `path`: 0, also when none was there, or a kFile code.
int remove(const char *path);
// Creates `path` anew for writing, readable and writable by this user
// alone from its creation on.  A file already there goes first, so that
// nobody who opened it before reads what is written now.  The descriptor,
// or a kFile code.
int createPrivate(const char *path);
// Lets this user alone read and write the file at `path`: 0, or a kFile
// code.
int makePrivate(const char *path);
// Takes a lock on `path` (created when missing) that no other process can
// take until unlockFile or the end of this process.  A descriptor, or a
// kFile code; `held` tells whether the reason is another process holding
// it.
int lockFile(const char *path, bool &held);
void unlockFile(int fd);

}  // namespace rte::files::os
