#include "testing/recording.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

namespace reliability {
namespace {

// A blank, the time with one decimal, a tab, the reading in scientific
// notation with an exponent of two (or, past 1e99, three) digits, a blank.
// The mantissa's digits are left open.
const std::regex &lineShape()
{
    static const std::regex shape(R"( (\d+\.\d)\t(-?\d\.\d+e[+-]\d{2,3}) )");
    return shape;
}

double number(const std::ssub_match &text)
{
    double value = 0;
    std::from_chars(&*text.first, &*text.first + text.length(), value);
    return value;
}

std::string shown(const std::string &text)
{
    std::string out;
    for (const unsigned char c : text) {
        if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c >= 0x7F)
            out += "\\x" + std::string{"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
        else
            out += static_cast<char>(c);
    }
    return '"' + out + '"';
}

}  // namespace

Recording readRecording(const std::string &path)
{
    Recording recording;
    // The path is UTF-8, as the engine's are (on Windows a plain string
    // would be taken in the system's code page).
    std::ifstream file(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    if (!file) {
        recording.fault = "cannot read " + path;
        return recording;
    }
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        std::string line = bytes.substr(start, end == std::string::npos ? end : end - start);
#ifdef _WIN32
        // A text file's lines end with a carriage return and a line feed here.
        if (end != std::string::npos) {
            if (line.empty() || line.back() != '\r') {
                recording.fault = "line " + std::to_string(recording.lines.size() + 1) +
                                  " ends without a carriage return: " + shown(line);
                break;
            }
            line.pop_back();
        }
#endif
        const std::string where = "line " + std::to_string(recording.lines.size() + 1);
        if (end == std::string::npos) {
            recording.fault = where + " has no line end: " + shown(line);
            break;
        }
        std::smatch parts;
        if (!std::regex_match(line, parts, lineShape())) {
            recording.fault = where + " is not a recorded line: " + shown(line);
            break;
        }
        recording.lines.push_back({number(parts[1]), number(parts[2])});
        start = end + 1;
    }
    return recording;
}

}  // namespace reliability
