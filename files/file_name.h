// The parts of a recording's file name that the files beside it are named
// after.
#pragma once

#include <cstring>

// The last '/' or '\' of the name, either of which Windows takes; nullptr
// for a bare name.
inline const char *name_folder_end(const char *name)
{
    const char *slash = std::strrchr(name, '/');
    const char *back = std::strrchr(name, '\\');
    return back && (!slash || back > slash) ? back : slash;
}

// Where the name's extension begins: the last dot of its last part (after
// the last '/' or '\', either of which Windows takes), unless that dot
// starts the part; the name's end when it has none.
inline const char *name_extension(const char *name)
{
    const char *base = name_folder_end(name);
    base = base ? base + 1 : name;
    const char *dot = std::strrchr(base, '.');
    return dot && dot != base ? dot : name + std::strlen(name);
}
