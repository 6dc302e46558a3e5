#include "tools/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace support {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vandrel-serial-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr)
        throw std::runtime_error("cannot make a directory like " + pattern);
    path_ = name.data();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace support
