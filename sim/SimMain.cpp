// meterdesk-sim: a virtual meter on a pseudo-terminal or on standard output.
#include "sim/PtyEndpoint.h"
#include "sim/VirtualMeter.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using namespace meterdesk::sim;
using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) {
    stopRequested = 1;
}

void PrintUsage(std::FILE* to) {
    std::fprintf(to, "Usage: meterdesk-sim [--scenario NAME] [--stdout] [--duration S] "
                     "[--frames N]\n\n"
                     "A virtual meter of the Heron family. It creates a pseudo-terminal, prints "
                     "its path\nand streams the scenario's frames into it (or to standard output "
                     "with --stdout).\nOpen the path as the serial port, e.g. meterdesk "
                     "--port COM1=/dev/pts/N.\n\n"
                     "  --scenario NAME  what the meter shows (default: wander):\n");
    for (const std::string& name : ScenarioNames()) {
        std::fprintf(to, "                     %s\n", name.c_str());
    }
    std::fprintf(to, "  --stdout         write the bytes to standard output instead\n"
                     "  --duration S     stop after S seconds (default: run until interrupted)\n"
                     "  --frames N       stop after N frames\n"
                     "  --help           this text\n\n"
                     "At the end it prints the number of frames sent to standard error.\n");
}

} // namespace

int main(int argc, char** argv) {
    Scenario scenario = Scenario::Wander;
    bool toStdout = false;
    double duration = -1;
    long long frameLimit = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (arg == "--stdout") {
            toStdout = true;
        } else if (arg == "--scenario" && hasValue) {
            const auto named = ScenarioNamed(argv[++i]);
            if (!named) {
                std::fprintf(stderr, "meterdesk-sim: unknown scenario '%s'\n", argv[i]);
                PrintUsage(stderr);
                return 2;
            }
            scenario = *named;
        } else if (arg == "--duration" && hasValue) {
            duration = std::atof(argv[++i]);
        } else if (arg == "--frames" && hasValue) {
            frameLimit = std::atoll(argv[++i]);
        } else {
            std::fprintf(stderr, "meterdesk-sim: unknown argument '%s'\n", arg.c_str());
            PrintUsage(stderr);
            return 2;
        }
    }
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<PtyEndpoint> pty;
    if (!toStdout) {
        try {
            pty = std::make_unique<PtyEndpoint>();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "meterdesk-sim: %s\n", error.what());
            return 1;
        }
        std::printf("%s\n", pty->DevicePath().c_str());
        std::fflush(stdout);
    }

    VirtualMeter meter(scenario);
    const auto start = Clock::now();
    const auto period = std::chrono::duration<double, std::milli>(meter.FramePeriodMs());
    std::uint64_t due = 0;
    while (stopRequested == 0) {
        const auto elapsed = Clock::now() - start;
        if (duration >= 0 && elapsed >= std::chrono::duration<double>(duration)) {
            break;
        }
        // Send every frame that is due by now, so the pace holds whatever
        // the sleep's granularity.
        const auto dueNow = static_cast<std::uint64_t>(elapsed / period) + 1;
        for (; due < dueNow; ++due) {
            if (frameLimit >= 0 && meter.FramesSent() >= static_cast<std::uint64_t>(frameLimit)) {
                stopRequested = 1;
                break;
            }
            const std::vector<std::uint8_t> bytes = meter.NextBytes();
            if (toStdout) {
                std::fwrite(bytes.data(), 1, bytes.size(), stdout);
            } else {
                pty->Write(bytes.data(), bytes.size());
            }
        }
        if (toStdout) {
            std::fflush(stdout);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::fprintf(stderr, "meterdesk-sim: %llu frames sent\n",
                 static_cast<unsigned long long>(meter.FramesSent()));
    return 0;
}
