#pragma once

#include <pthread.h>
#include <signal.h>
#include <thread>
#include <utility>

namespace meterdesk::base {

// A thread that takes no signal: a stop handler then runs on the thread
// that started the work, as it would without helpers.
template <typename Work> std::thread StartQuietThread(Work&& work) {
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    std::thread thread(std::forward<Work>(work));
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return thread;
}

} // namespace meterdesk::base
