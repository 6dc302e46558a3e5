#include "sim_analyser.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace sim {
namespace {

using namespace std::chrono_literals;

constexpr auto kControlPoll = 50ms;
// A start bit, eight data bits and a stop bit at 9600 baud.
constexpr auto kByteTime = std::chrono::duration<double>(10.0 / 9600.0);
constexpr std::size_t kLongestQuery = 64;

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

}  // namespace

Analyser::Analyser(const Options &options)
    : options_(options),
      link_(options.linkPath),
      cell_(options.timeConstant, options.seed),
      byteTime_(options.pacing ? std::chrono::duration_cast<Clock::duration>(kByteTime)
                               : Clock::duration::zero()),
      turnaround_(std::chrono::duration_cast<Clock::duration>(
          std::chrono::duration<double>(options.turnaround))),
      started_(Clock::now())
{
}

bool Analyser::setMode(Mode mode)
{
    if (mode == Mode::Hangup && link_.isUp()) {
        finish(static_cast<long>(replies_.size()));
        replies_.clear();
        query_.clear();
        link_.down();
    } else if (mode != Mode::Hangup && !link_.isUp()) {
        std::string error;
        if (!link_.up(error)) {
            std::fprintf(stderr, "analyser_sim: %s\n", error.c_str());
            return false;
        }
        ++generation_;
        std::printf("%s -> %s\n", link_.path().c_str(), link_.terminal().c_str());
        std::fflush(stdout);
    }
    mode_ = mode;
    statusChanged_ = true;
    return true;
}

std::string Analyser::controlText() const
{
    std::ifstream file(options_.controlPath);
    std::stringstream content;
    content << file.rdbuf();
    return trimmed(content.str());
}

void Analyser::readControl()
{
    if (options_.controlPath.empty())
        return;
    const std::string name = controlText();
    if (name.empty() || name == lastControl_)
        return;
    lastControl_ = name;
    if (const std::optional<Mode> mode = modeNamed(name))
        setMode(*mode);
    else
        std::fprintf(stderr, "analyser_sim: unknown mode '%s' (known: %s)\n", name.c_str(),
                     modeNames().c_str());
}

void Analyser::receive()
{
    char bytes[256];
    const ssize_t count = ::read(link_.fd(), bytes, sizeof bytes);
    for (ssize_t i = 0; i < count; ++i) {
        if (bytes[i] == '\r') {
            answer(query_);
            query_.clear();
        } else if (bytes[i] != '\n' && query_.size() < kLongestQuery) {
            query_ += bytes[i];
        }
    }
}

void Analyser::answer(const std::string &query)
{
    ++queries_;
    statusChanged_ = true;
    const auto now = Clock::now();
    const double elapsed = std::chrono::duration<double>(now - started_).count() * options_.speed;
    const std::optional<std::string> value = cell_.answer(query, elapsed);
    const std::optional<std::string> reply = value ? replyFor(mode_, query, *value) : std::nullopt;
    if (!reply) {
        finish(1);
        return;
    }
    // The terminal delivers the query at once; on the line its last byte
    // would still be arriving, and the instrument takes its turnaround after
    // that.  A client that flushes its input right after sending relies on
    // this, as it may on a real line.
    const auto onTheLine = byteTime_ * static_cast<long>(query.size() + 1);
    const auto delay = mode_ == Mode::Slow ? std::chrono::duration<double>(options_.slowDelay) : 0s;
    replies_.push_back(
        {*reply, 0, now + onTheLine + turnaround_ + std::chrono::duration_cast<Clock::duration>(delay)});
}

Analyser::Clock::time_point Analyser::nextByteDue() const
{
    if (replies_.empty())
        return Clock::time_point::max();
    const Reply &reply = replies_.front();
    return reply.start + byteTime_ * static_cast<long>(reply.sent + 1);
}

// Writes every byte that is due: byte i of a reply once i + 1 byte times
// have passed since its start, when it would have arrived in full over the
// line; a late wake-up catches up, so the rate stays 9600 baud.
void Analyser::send()
{
    const auto now = Clock::now();
    while (!replies_.empty()) {
        Reply &reply = replies_.front();
        if (now < reply.start)
            return;
        std::size_t due = reply.bytes.size();
        if (byteTime_ != Clock::duration::zero())
            due = std::min(due, static_cast<std::size_t>((now - reply.start) / byteTime_));
        if (due <= reply.sent)
            return;
        const ssize_t written = ::write(link_.fd(), reply.bytes.data() + reply.sent, due - reply.sent);
        if (written < 0)
            return;  // the terminal's buffer is full: the reader is not reading
        reply.sent += static_cast<std::size_t>(written);
        if (reply.sent < reply.bytes.size())
            return;
        replies_.pop_front();
        finish(1);
        if (!replies_.empty())
            replies_.front().start = std::max(replies_.front().start, now);
    }
}

void Analyser::finish(long replies)
{
    finished_ += replies;
    statusChanged_ = true;
}

void Analyser::writeStatus()
{
    if (options_.statusPath.empty() || !statusChanged_)
        return;
    const std::string fresh = options_.statusPath + ".new";
    {
        std::ofstream file(fresh, std::ios::trunc);
        file << "mode " << nameOf(mode_) << "\nlink " << (link_.isUp() ? "up" : "down") << "\ngeneration "
             << generation_ << "\nqueries " << queries_ << "\nfinished " << finished_ << '\n';
    }
    std::rename(fresh.c_str(), options_.statusPath.c_str());
    statusChanged_ = false;
}

int Analyser::run(volatile std::sig_atomic_t &stop, volatile std::sig_atomic_t &check)
{
    if (!setMode(options_.mode))
        return 1;
    // Only a change counts: a name left from an earlier run does not
    // override --mode.
    if (!options_.controlPath.empty())
        lastControl_ = controlText();
    sigset_t waiting;
    sigemptyset(&waiting);
    auto nextControl = Clock::now();
    while (stop == 0) {
        auto now = Clock::now();
        if (check != 0 || now >= nextControl) {
            check = 0;
            readControl();
            nextControl = now + kControlPoll;
        }
        writeStatus();
        const auto wake = std::min(nextControl, nextByteDue());
        const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::max(wake - now, Clock::duration::zero()));
        const timespec timeout{static_cast<time_t>(wait.count() / 1000000000),
                               static_cast<long>(wait.count() % 1000000000)};
        pollfd terminal[] = {{link_.fd(), POLLIN, 0}, {link_.clientsFd(), POLLIN, 0}};
        // Signals are let through only here, so none is missed between the
        // checks above and the wait.
        const int ready = ::ppoll(terminal, link_.isUp() ? 2 : 0, &timeout, &waiting);
        if (ready > 0 && (terminal[0].revents & POLLIN) != 0)
            receive();
        if (ready > 0 && (terminal[1].revents & POLLIN) != 0)
            link_.noticeClients();
        if (link_.isUp())
            send();
    }
    link_.down();
    statusChanged_ = true;
    writeStatus();
    return 0;
}

}  // namespace sim
