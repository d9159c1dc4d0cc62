// diskarbitrationd: the disk arbitration daemon.
//   diskarbitrationd [--socket PATH] [--state-dir DIR] [--ack-timeout MS]
// Runs in the foreground until SIGTERM or SIGINT. Mount points go to DIR/disks/<id>.
#include "../src/Protocol.h"
#include "Daemon.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    diskarb::DaemonOptions options;
    options.socketPath = diskarb::kDefaultSocketPath;
    options.stateDirectory = "/run/quintaver/diskarbitration";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "diskarbitrationd: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--socket") {
            options.socketPath = value();
        } else if (arg == "--state-dir") {
            options.stateDirectory = value();
        } else if (arg == "--ack-timeout") {
            // Every wait for the clients' answers is bounded: a timeout must be a positive
            // number of milliseconds.
            std::string text = value();
            char* end = nullptr;
            long ms = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || ms <= 0 || ms > 3600000) {
                std::fprintf(stderr, "diskarbitrationd: --ack-timeout wants 1 to 3600000 ms\n");
                return 2;
            }
            options.acknowledgementTimeoutMs = static_cast<int>(ms);
        } else if (arg == "--sysfs") {
            options.sysfsRoot = value();
        } else {
            std::fprintf(stderr, "usage: diskarbitrationd [--socket PATH] [--state-dir DIR] "
                                 "[--ack-timeout MS]\n");
            return 2;
        }
    }
    if (options.stateDirectory.empty() || options.stateDirectory[0] != '/' ||
        options.socketPath.empty() || options.socketPath[0] != '/') {
        std::fprintf(stderr, "diskarbitrationd: paths must be absolute\n");
        return 2;
    }
    return diskarb::Daemon(options).run();
}
