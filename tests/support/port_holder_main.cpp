// Opens a device as port 1 through the serial service, writes the status of
// the open to a file, and holds the port until SIGTERM.
#include "rte/rs232.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DEVICE_PATH STATUS_FILE\n", argv[0]);
        return 2;
    }
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    ::sigprocmask(SIG_BLOCK, &ending, nullptr);

    QCoreApplication app(argc, argv);
    ::setenv("RTE_COM1", argv[1], 1);
    const int status = OpenComConfig(1, "", 9600, 0, 8, 1, 128, 24);
    const std::string fresh = std::string(argv[2]) + ".new";
    std::ofstream(fresh) << status << '\n';
    std::rename(fresh.c_str(), argv[2]);

    int signal = 0;
    sigwait(&ending, &signal);
    return 0;
}
