// Private to the engine and its tests: seams of the file handles.
#pragma once

#include <cstddef>

namespace rte::fmt::detail {

// The size of the read buffer of handles opened from now on; 0 restores the
// normal 256 KiB.  Tests and fuzz targets shrink it to reach the buffer's
// edges with small files.  At least 512 bytes (four times the look-ahead a
// number needs): a token longer than the buffer less 128 bytes is not read.
void setReadBufferSize(std::size_t bytes);

}  // namespace rte::fmt::detail
