#include "rte/formatio.h"

#include <filesystem>
#include <system_error>

int MakeFilePrivate(const char *path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::permissions(fs::u8path(path), fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::replace, error);
    return error ? kFileAccessDenied : 0;
}
