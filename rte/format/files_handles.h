// Private to the engine: the table of open file handles.  A handle encodes
// its slot and a generation that changes on every reuse of the slot, so a
// closed handle stays invalid (kFileBadArgument) instead of reaching a file
// opened later.  Like the rest of the engine, handles are used from the
// user-interface thread only and are not locked.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace rte::files {

inline constexpr std::size_t kReadBuffer = 256 * 1024;

struct FileState {
    int fd = -1;
    int handle = 0;
    bool canRead = false;
    bool canWrite = false;
    bool text = false;
    // Read buffer: bytes [pos, end) are read from the file but not scanned.
    std::unique_ptr<char[]> rbuf;
    std::size_t rcap = kReadBuffer;
    std::size_t pos = 0;
    std::size_t end = 0;
    // Write buffer, reused from call to call.
    std::string wbuf;
};

// The open file behind a handle; nullptr for any other number.
FileState *lookup(int handle);

}  // namespace rte::files
