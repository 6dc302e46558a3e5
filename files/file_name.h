// The parts of a recording's file name that the files beside it are named
// after.
#pragma once

#include <cctype>
#include <cstddef>
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

// The name of a file beside a recording: the recording's name with
// `extension` (".events", ".info") in place of its own.  A recording whose
// extension is that one already (in any case, as Windows names go) keeps
// it and gets the other after it, so that nothing is ever written into the
// recording itself.  0; negative, leaving the path empty, when the name
// does not fit in `size` bytes.
inline int name_beside(const char *name, const char *extension, char *path, std::size_t size)
{
    const char *ext = name_extension(name);
    bool same = *ext != '\0';
    for (const char *a = ext, *b = extension; same && (*a != '\0' || *b != '\0'); ++a, ++b)
        same = std::tolower(static_cast<unsigned char>(*a)) == std::tolower(static_cast<unsigned char>(*b));
    const std::size_t stem = *ext != '\0' && !same ? static_cast<std::size_t>(ext - name) : std::strlen(name);
    const std::size_t tail = std::strlen(extension);
    if (size == 0)
        return -1;
    path[0] = '\0';
    if (stem + tail + 1 > size)
        return -1;
    std::memcpy(path, name, stem);
    std::memcpy(path + stem, extension, tail + 1);
    return 0;
}
