// The simulated analyser's end of the line: a pseudo-terminal whose other end
// is reached through a fixed path, as a USB adapter is through its device.
#pragma once

#include <string>

namespace sim {

class Link {
public:
    explicit Link(std::string path) : path_(std::move(path)) {}
    ~Link() { down(); }
    Link(const Link &) = delete;
    Link &operator=(const Link &) = delete;

    // Opens a new pseudo-terminal in raw mode, then points the path at it,
    // so that whoever opens the path finds a simulator already listening.
    // On failure says why and stays down.
    bool up(std::string &error);
    // Closes the pseudo-terminal, so that its other end sees a hang-up, and
    // removes the path, as a pulled adapter's device disappears.
    void down();

    bool isUp() const { return master_ >= 0; }
    int fd() const { return master_; }
    // Readable when a client has opened or closed the terminal; then
    // noticeClients.
    int clientsFd() const { return clients_; }
    // Counts the opens and closes of the terminal by clients.  Once the last
    // client has closed it, the terminal is no longer any one's alone: the
    // exclusive use (TIOCEXCL) a client asked for ends, as it does with the
    // last close of a real port, which the simulator's own hold on the
    // terminal would otherwise keep from happening.
    void noticeClients();
    const std::string &path() const { return path_; }
    const std::string &terminal() const { return terminal_; }

private:
    std::string path_;
    std::string terminal_;
    int master_ = -1;
    // Held open so that the master never reads a hang-up while no client
    // has the terminal open.
    int slave_ = -1;
    // Opens and closes of the terminal (inotify), and how many clients have
    // it open.
    int clients_ = -1;
    int openCount_ = 0;
};

}  // namespace sim
