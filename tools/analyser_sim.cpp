// A simulated oxygen analyser on a pseudo-terminal, for demonstrations
// without an instrument and as the other end of the serial tests.
#include "sim_analyser.h"
#include "sim_options.h"

#include <csignal>
#include <sys/prctl.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_check = 0;

void onStop(int) { g_stop = 1; }
void onCheck(int) { g_check = 1; }

void install(int signal, void (*handler)(int), sigset_t &blocked)
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigaddset(&blocked, signal);
}

}  // namespace

int main(int argc, char **argv)
{
    const std::optional<sim::Options> options = sim::parseOptions(argc, argv);
    if (!options)
        return 2;
    sigset_t blocked;
    sigemptyset(&blocked);
    install(SIGTERM, onStop, blocked);
    install(SIGINT, onStop, blocked);
    install(SIGUSR1, onCheck, blocked);
    ::sigprocmask(SIG_BLOCK, &blocked, nullptr);
    // A client that closes its end must not end us.
    std::signal(SIGPIPE, SIG_IGN);
    // Replies are paced to the millisecond; the default timer slack of 50 us
    // per wake-up would add up over a reply's bytes.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    sim::Analyser analyser(*options);
    return analyser.run(g_stop, g_check);
}
