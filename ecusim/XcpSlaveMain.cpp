// qorxcpslave: the simulator's XCP slave as a program of its own, for the demo and for
// trying a program against "an ECU" over the network. Serves the built-in image (or the
// image file given) on 127.0.0.1 over UDP and TCP until it is interrupted.
//
//   qorxcpslave [--port N] [--image FILE]     (port 5555 by default, 0: any free port)

#include "ecusim/SimControl.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t Stopped = 0;
void Stop(int) {
    Stopped = 1;
}
} // namespace

int main(int argc, char** argv) {
    int port = 5555;
    const char* image = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            port = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--image") == 0 && i + 1 < argc)
            image = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--port N] [--image FILE]\n", argv[0]);
            return 2;
        }
    }
    char error[256] = {};
    if (!QorSim_Reset(image, error, sizeof error)) {
        std::fprintf(stderr, "%s: %s\n", image, error);
        return 1;
    }
    const int udp = QorSim_XcpStart(qxtUdp, port);
    const int tcp = QorSim_XcpStart(qxtTcp, udp);
    if (udp == 0 || tcp == 0) {
        std::fprintf(stderr, "cannot open port %d on 127.0.0.1\n", port);
        return 1;
    }
    std::printf("XCP slave on 127.0.0.1:%d (udp and tcp)\n", udp);
    std::fflush(stdout);
    std::signal(SIGINT, Stop);
    std::signal(SIGTERM, Stop);
    while (!Stopped)
        pause();
    QorSim_XcpStop();
    return 0;
}
