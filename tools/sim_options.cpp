#include "sim_options.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace sim {
namespace {

void usage(const char *program)
{
    std::fprintf(stderr,
                 "usage: %s [options] LINK_PATH\n"
                 "  --mode NAME          how to answer (default normal): %s\n"
                 "  --control PATH       file holding a mode name, read between queries and\n"
                 "                       every 50 ms, and at once on SIGUSR1\n"
                 "  --status PATH        file rewritten with mode, link state and counts\n"
                 "  --time-constant S    purge time constant in seconds (default 180)\n"
                 "  --speed F            simulated seconds per second (default 1)\n"
                 "  --slow-delay S       delay of the slow mode in seconds (default 1.5)\n"
                 "  --turnaround S       time before a reply begins, in seconds (default 0.01)\n"
                 "  --no-pacing          write each reply in one piece after the turnaround,\n"
                 "                       without the time the line would take\n"
                 "  --seed N             noise seed (default 1)\n",
                 program, modeNames().c_str());
}

// A number above zero, or zero itself when allowed.
bool number(const char *text, double &out, bool zeroAllowed = false)
{
    char *end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && (out > 0.0 || (zeroAllowed && out == 0.0));
}

}  // namespace

std::optional<Options> parseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = true;
        if (arg == "--no-pacing") {
            options.pacing = false;
            continue;
        }
        if (!arg.starts_with("--")) {
            ok = options.linkPath.empty();
            options.linkPath = arg;
        } else if (value == nullptr) {
            ok = false;
        } else if (arg == "--mode") {
            const std::optional<Mode> mode = modeNamed(value);
            ok = mode.has_value();
            options.mode = mode.value_or(Mode::Normal);
        } else if (arg == "--control") {
            options.controlPath = value;
        } else if (arg == "--status") {
            options.statusPath = value;
        } else if (arg == "--time-constant") {
            ok = number(value, options.timeConstant);
        } else if (arg == "--speed") {
            ok = number(value, options.speed);
        } else if (arg == "--slow-delay") {
            ok = number(value, options.slowDelay);
        } else if (arg == "--turnaround") {
            ok = number(value, options.turnaround, true);
        } else if (arg == "--seed") {
            options.seed = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "%s: bad argument %s\n", argv[0], argv[i]);
            usage(argv[0]);
            return std::nullopt;
        }
        if (arg.starts_with("--"))
            ++i;
    }
    if (options.linkPath.empty()) {
        usage(argv[0]);
        return std::nullopt;
    }
    return options;
}

}  // namespace sim
