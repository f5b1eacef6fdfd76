#include "app/LoggerSignals.h"

#include "record/SafeFile.h"

#include <csignal>
#include <initializer_list>

namespace meterdesk::app {

namespace {

// A signal handler may touch nothing else.
volatile std::sig_atomic_t stopFlag = 0;

void OnStopSignal(int) {
    stopFlag = 1;
}

// Unlinks the unfinished temporary file, then dies of the signal as it would
// have, so the caller sees the signal in the exit status.
void OnCleanupSignal(int number) {
    record::RemoveUnfinishedSaves();
    std::signal(number, SIG_DFL);
    std::raise(number);
}

void InstallHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (const int number : {SIGHUP, SIGPIPE, SIGTERM, SIGINT}) {
        sigaction(number, &action, nullptr);
    }
}

} // namespace

void InstallStopSignals() {
    InstallHandler(OnStopSignal);
}

void InstallSaveCleanupSignals() {
    InstallHandler(OnCleanupSignal);
}

bool StopRequested() {
    return stopFlag != 0;
}

void RequestStop() {
    stopFlag = 1;
}

} // namespace meterdesk::app
