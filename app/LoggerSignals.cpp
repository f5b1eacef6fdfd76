#include "app/LoggerSignals.h"

#include <csignal>
#include <initializer_list>

namespace meterdesk::app {

namespace {

// A signal handler may touch nothing else.
volatile std::sig_atomic_t stopFlag = 0;

void OnStopSignal(int) {
    stopFlag = 1;
}

} // namespace

void InstallStopSignals() {
    struct sigaction stop {};
    stop.sa_handler = OnStopSignal;
    sigemptyset(&stop.sa_mask);
    stop.sa_flags = 0;
    for (const int number : {SIGHUP, SIGPIPE, SIGTERM, SIGINT}) {
        sigaction(number, &stop, nullptr);
    }
}

bool StopRequested() {
    return stopFlag != 0;
}

void RequestStop() {
    stopFlag = 1;
}

} // namespace meterdesk::app
