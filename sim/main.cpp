// mivo-drive-sim: a line of simulated MIVO drives on a pseudo-terminal.
#include "simulator.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

mivo::sim::Simulator* g_simulator = nullptr;

extern "C" void on_signal(int)
{
    if (g_simulator)
        g_simulator->request_stop();  // one write() to an eventfd: async-signal-safe
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(mivo::sim::usage_text().c_str(), stdout);
            return 0;
        }
    }

    mivo::sim::SimOptions options;
    try {
        options = mivo::sim::parse_options(args);
        if (options.link.empty())
            throw mivo::sim::OptionError("--link PATH is required");
    } catch (const mivo::sim::OptionError& e) {
        std::fprintf(stderr, "mivo-drive-sim: %s\n(try --help)\n", e.what());
        return 2;
    }

    try {
        mivo::sim::Simulator simulator(options, /*keep_log_in_memory=*/false);
        g_simulator = &simulator;
        struct sigaction action{};
        action.sa_handler = on_signal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGHUP, &action, nullptr);

        std::printf("ready: %s\n", simulator.link_path().c_str());
        std::fflush(stdout);
        simulator.run();
        g_simulator = nullptr;
        if (simulator.hung_up())
            std::fprintf(stderr, "mivo-drive-sim: line hung up after %d lines\n", options.hangup_after);
        return 0;
    } catch (const std::exception& e) {
        g_simulator = nullptr;
        std::fprintf(stderr, "mivo-drive-sim: %s\n", e.what());
        return 1;
    }
}
