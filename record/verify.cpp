#include "record/verify.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include "record/run_file.h"
#include "files/file_name.h"
#include "record/seal.h"

namespace {

// The recording, read once in large blocks: lines counted and bytes hashed
// as they pass.
class Recording {
public:
    explicit Recording(const QString &path) : file_(path), buffer_(1 << 20) {}
    bool open() { return file_.open(QIODevice::ReadOnly); }
    // Adds the next `count` bytes to the chain and counts their lines;
    // false when the file ends first (what there was is added).
    bool pass(long long count, SealChain &chain, long long &lines)
    {
        while (count > 0) {
            if (at_ == held_ && !fill())
                return false;
            const long long take = std::min<long long>(count, held_ - at_);
            const char *from = buffer_.data() + at_;
            chain.add(from, static_cast<std::size_t>(take));
            lines += std::count(from, from + take, '\n');
            at_ += take;
            count -= take;
        }
        return true;
    }
    // Lines and bytes left after what was passed over.
    void rest(long long &lines, long long &bytes)
    {
        do {
            bytes += held_ - at_;
            lines += std::count(buffer_.data() + at_, buffer_.data() + held_, '\n');
            at_ = held_;
        } while (fill());
    }
    // A last line without its line end is a line too.
    bool endsMidLine() const { return last_ != '\n' && last_ != 0; }

private:
    bool fill()
    {
        const qint64 n = file_.read(buffer_.data(), static_cast<qint64>(buffer_.size()));
        at_ = 0;
        held_ = n > 0 ? n : 0;
        if (held_ > 0)
            last_ = buffer_[static_cast<std::size_t>(held_ - 1)];
        return held_ > 0;
    }
    QFile file_;
    std::vector<char> buffer_;
    long long at_ = 0, held_ = 0;
    char last_ = 0;
};

std::string number(long long n)
{
    return std::to_string(n);
}

// The run file's name without its folder, which is the recording's.
const char *info_base(const char *path)
{
    const char *end = name_folder_end(path);
    return end ? end + 1 : path;
}

Verdict verdict(int status, long long first, long long last, std::string text)
{
    return Verdict{status, first, last, std::move(text)};
}

}  // namespace

Verdict verify_recording(const char *recording)
{
    char info_path[kPathSize];
    if (run_file_beside(recording, info_path) != 0)
        return verdict(kVerifyNoSeal, 0, 0, "no seal: the name is too long for a run file beside it");
    Recording data(QString::fromUtf8(recording));
    if (!data.open())
        return verdict(kVerifyUnreadable, 0, 0, "the recording cannot be read");
    QFile info(QString::fromUtf8(info_path));
    if (!info.open(QIODevice::ReadOnly))
        return verdict(kVerifyNoSeal, 0, 0, std::string("no seal: no run file ") + info_base(info_path));

    // The run file's lines, the fields hashed as the chain's start; a line
    // longer than any the program writes is no run file of ours.
    SealChain chain;
    char line[4096];
    long long number_in_file = 0, entries = 0, lines = 0, bytes = 0;
    bool in_seal = false;
    SealEntry entry;
    SealEntry last;
    // The first entry that did not match, and its lines.
    long long bad_entry = 0, bad_first = 0, bad_last = 0;
    bool later_matched = false;
    bool cut = false;
    long long cut_lines = 0;  // the lines of a file that ends before its seal does
    for (qint64 n; (n = info.readLine(line, sizeof line)) > 0;) {
        ++number_in_file;
        const bool whole = line[n - 1] == '\n';
        if (!whole && n == static_cast<qint64>(sizeof line) - 1)
            return verdict(kVerifyNoSeal, 0, 0, "no seal: the run file holds a line no run file has");
        if (number_in_file == 1 && std::strncmp(line, "vandrel_run=", 12) != 0)
            return verdict(kVerifyNoSeal, 0, 0, "no seal: the run file is not one");
        if (!in_seal && std::strncmp(line, "seal=", 5) != 0) {
            chain.add(line, static_cast<std::size_t>(n));
            continue;
        }
        if (!in_seal) {
            in_seal = true;
            chain.next();
        }
        std::string_view value(line + 5, static_cast<std::size_t>(n - 5));
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r'))
            value.remove_suffix(1);
        if (std::strncmp(line, "seal=", 5) != 0 || !read_seal_entry(value, entry) || entry.lines < lines ||
            entry.bytes < bytes || last.kind == "end")
            return verdict(kVerifyChanged, lines + 1, 0,
                           "changed: the run file's seal does not read at its line " + number(number_in_file));
        ++entries;
        if (cut)
            continue;
        long long counted = lines;
        if (!data.pass(entry.bytes - bytes, chain, counted)) {
            cut = true;
            cut_lines = counted + (data.endsMidLine() ? 1 : 0);
            continue;
        }
        const bool matches = chain.next() == entry.hash && counted == entry.lines;
        if (!matches && bad_entry == 0) {
            bad_entry = entries;
            bad_first = lines + 1;
            bad_last = entry.lines;
        } else if (matches && bad_entry != 0) {
            later_matched = true;
        }
        lines = entry.lines;
        bytes = entry.bytes;
        last = entry;
    }
    if (entries == 0)
        return verdict(kVerifyNoSeal, 0, 0, "no seal: the run file holds no entry (the run ended in its first minute)");
    const std::string span = "between line " + number(bad_first) + " and line " + number(bad_last);
    if (bad_entry != 0 && later_matched)
        return verdict(kVerifyChanged, bad_first, bad_last,
                       "changed: the run file's seal was edited at its entry for lines " + number(bad_first) +
                           " to " + number(bad_last) + "; the recording matches the entries after it");
    if (bad_entry == 1)
        return verdict(kVerifyChanged, bad_first, bad_last,
                       "changed " + span + " (or the run file's fields, which the seal begins with)");
    if (bad_entry != 0)
        return verdict(kVerifyChanged, bad_first, bad_last, "changed " + span);
    if (cut)
        return verdict(kVerifyEndDiffers, lines + 1, cut_lines,
                       "lines cut at the end: the seal holds " + number(entry.lines) + " lines, the file " +
                           number(cut_lines) + "; the lines up to " + number(lines) + " are intact");
    long long more_lines = 0, more_bytes = 0;
    data.rest(more_lines, more_bytes);
    if (data.endsMidLine() && more_bytes > 0)
        ++more_lines;
    if (last.kind != "end")
        return verdict(kVerifyUnended, lines, lines + more_lines,
                       "intact up to line " + number(lines) + ", its last entry; the run ended without its end" +
                           (more_lines > 0 ? " (killed?), and the " + number(more_lines) +
                                                 " lines after it are not sealed"
                                           : " (killed?)"));
    if (more_bytes > 0)
        return verdict(kVerifyEndDiffers, lines + 1, lines + more_lines,
                       "lines added at the end: " + number(more_lines) + " after line " + number(lines) +
                           ", where the run ended");
    return verdict(kVerifyIntact, 1, lines, "intact: " + number(lines) + " lines, sealed to the end of the run");
}

int verify_command(int argc, char **argv)
{
    // The arguments as the system gives them, in UTF-8 (on Windows from
    // the wide command line): a recording's name may hold any character.
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3 || args[1] != QLatin1String("--verify")) {
        std::fprintf(stderr, "Usage: vandrel --verify FILE\n");
        return 2;
    }
    const QByteArray path = args[2].toUtf8();
    const Verdict v = verify_recording(path.constData());
    std::printf("%s: %s\n", path.constData(), v.text.c_str());
    std::fflush(stdout);
    return v.status;
}
