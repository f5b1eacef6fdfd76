#pragma once

#include <pthread.h>
#include <signal.h>
#include <thread>
#include <utility>

namespace meterdesk::base {

// A thread that takes no signal: a stop handler then runs on the thread
// that started the work, as it would without helpers.
template <typename Work> std::thread StartQuietThread(Work&& work) {
    // The thread inherits the mask; this thread's own is put back even when
    // the thread cannot be made.
    struct MaskBack {
        sigset_t before;
        ~MaskBack() { pthread_sigmask(SIG_SETMASK, &before, nullptr); }
    } back{};
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &back.before);
    return std::thread(std::forward<Work>(work));
}

} // namespace meterdesk::base
