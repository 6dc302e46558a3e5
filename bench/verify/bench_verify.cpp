// Verifying a sealed recording (what vandrel --verify and "Open file" do)
// against the viewer's drawing of the same page-cached file, best of a few
// runs each, taken in turn.
//
//   bench_verify [--dir DIR] [--runs N] [SIZE[K|M|G]]     (default 1G)
//
// The recording is written as the recording format writes it, and its run
// file sealed with the program's own chain, an entry each 60 lines (a
// reading a second).  The viewer is timed with the run file set aside, so
// that it draws and nothing more.  SHA-256 of the file's bytes alone is
// the floor of any verification that reads every byte.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QByteArray>
#include <QtGlobal>

#include "app/callbacks.h"
#include "app/shell.h"
#include "app/state.h"
#include "bench/recording_file.h"
#include "bench/timing.h"
#include "files/viewer.h"
#include "record/seal.h"
#include "record/verify.h"
#include "rte/testing/testing.h"
#include "rte/userint.h"

namespace {

using namespace bench;

// The run file the program would have written for it: its fields, then an
// entry after each 60 lines and one at the end.
void seal(const std::string &recording, const std::string &info)
{
    const std::string fields = "vandrel_run=1\nstart_utc=2026-12-10T16:25:03.120Z\nquantity=oxygen\nunit=ppm\n"
                               "interval=1\nrecording=" + recording + "\n";
    std::ofstream out(info, std::ios::binary);
    out << fields;
    SealChain chain;
    const std::string written = as_written(fields);
    chain.add(written.data(), written.size());
    chain.next();
    std::ifstream in(recording, std::ios::binary);
    std::vector<char> block(1 << 20);
    long long lines = 0, bytes = 0;
    const auto entry = [&](const char *kind) {
        out << seal_entry_line(SealEntry{kind, "2026-12-10T16:26:03.120Z", lines, bytes, chain.next()});
    };
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
        const char *p = block.data(), *end = p + in.gcount();
        while (p < end) {
            const char *nl = static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char *upto = nl ? nl + 1 : end;
            chain.add(p, static_cast<std::size_t>(upto - p));
            bytes += upto - p;
            p = upto;
            if (nl && ++lines % 60 == 0)
                entry("minute");
        }
    }
    entry("end");
}

struct Timing {
    double secs = 1e300, cpu = 1e300;
    void take(Clock::time_point t0, double c0)
    {
        secs = std::min(secs, seconds(t0));
        cpu = std::min(cpu, cpuNow() - c0);
    }
};

}  // namespace

int main(int argc, char **argv)
{
    std::string dir = "/tmp";
    int runs = 3;
    long long size = 1ll << 30;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "-h" || a == "--help") {
            std::printf("usage: %s [--dir DIR] [--runs N] [SIZE[K|M|G]]\n", argv[0]);
            return 0;
        } else
            size = parseSize(a.c_str());
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int one = 1;
    start_engine(one, argv);
    laden();
    DisplayPanel(state.main_panel);

    const std::string path = dir + "/bench_verify.dat", info = dir + "/bench_verify.info",
                      aside = dir + "/bench_verify.info.aside";
    writeRecording(path, size);
    seal(path, info);
    const Verdict check = verify_recording(path.c_str());
    if (check.status != kVerifyIntact) {
        std::printf("the sealed file does not verify: %s\n", check.text.c_str());
        return 1;
    }
    std::printf("bench_verify: %.0f MB recording (%s), run file %.1f MB; best of %d runs, page-cached\n\n",
                static_cast<double>(size) / (1 << 20), check.text.c_str(),
                static_cast<double>(std::filesystem::file_size(info)) / (1 << 20), runs);
    Timing viewer, verify, hash;
    std::vector<char> block(1 << 20);
    for (int r = 0; r < runs; ++r) {
        std::filesystem::rename(info, aside);
        auto t0 = Clock::now();
        double c0 = cpuNow();
        rte::testing::queueFileSelect(1, path);
        oeffnen(state.main_panel, 11, 1, nullptr, 0, 0);
        viewer.take(t0, c0);
        std::filesystem::rename(aside, info);
        t0 = Clock::now();
        c0 = cpuNow();
        verify_recording(path.c_str());
        verify.take(t0, c0);
        // The floor: SHA-256 of the file's bytes, read as verification reads them.
        t0 = Clock::now();
        c0 = cpuNow();
        SealChain chain;
        std::ifstream in(path, std::ios::binary);
        while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)
            chain.add(block.data(), static_cast<std::size_t>(in.gcount()));
        chain.next();
        hash.take(t0, c0);
    }
    std::printf("%-28s %10s %10s\n", "", "wall s", "cpu s");
    std::printf("%-28s %10.3f %10.3f\n", "viewer, drawing", viewer.secs, viewer.cpu);
    std::printf("%-28s %10.3f %10.3f\n", "verify", verify.secs, verify.cpu);
    std::printf("%-28s %10.3f %10.3f\n", "SHA-256 of the bytes alone", hash.secs, hash.cpu);
    std::printf("%-28s %10.2f %10.2f   (goal: at most 2)\n", "verify / viewer", verify.secs / viewer.secs,
                verify.cpu / viewer.cpu);
    std::printf("%-28s %10.2f %10.2f\n", "SHA-256 alone / viewer", hash.secs / viewer.secs, hash.cpu / viewer.cpu);
    std::filesystem::remove(path);
    std::filesystem::remove(info);
    ExitProgram(0);
    return RunUserInterface();
}
