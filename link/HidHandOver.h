#pragma once

#include "link/HidPlatform.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace meterdesk::link {

// Carries work from reader threads to the main thread. A reader's Call
// blocks until the main thread has run its task, so report buffers are never
// refilled while a handler reads them. The main thread runs what is queued
// when the platform wakes it, and also while it waits for a reader to end,
// which is why a reader blocked in a hand-over can always finish.
class HidHandOverQueue : public std::enable_shared_from_this<HidHandOverQueue> {
public:
    explicit HidHandOverQueue(MainThreadPoster post) : post_(std::move(post)) {}
    HidHandOverQueue(const HidHandOverQueue&) = delete;
    HidHandOverQueue& operator=(const HidHandOverQueue&) = delete;

    // Reader thread: has `task` run on the main thread and returns once it
    // has run. `owner` names the caller for Running().
    void Call(const void* owner, const std::function<void()>& task);

    // Main thread: runs every task queued so far, in order.
    void RunPending();
    // Main thread: runs queued tasks until `done()` holds. Whoever makes it
    // hold calls Notify() afterwards.
    void RunUntil(const std::function<bool()>& done);
    void Notify();

    // Main thread: whether a task of `owner` is running further up the stack
    // (a handler that opened a nested event loop, say).
    bool Running(const void* owner) const;
    // Main thread: runs `cleanup` as soon as the running task of `owner` has
    // returned and its caller is released.
    void AfterRunning(const void* owner, std::function<void()> cleanup);

private:
    struct Entry {
        const void* owner;
        const std::function<void()>* task;
        bool done = false;
    };
    void Finish(Entry& entry);

    MainThreadPoster post_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Entry*> pending_;
    // Main thread only: the owners whose tasks run, innermost last, and what
    // is to happen once they have returned.
    std::vector<const void*> running_;
    std::vector<std::pair<const void*, std::function<void()>>> afterRunning_;
};

} // namespace meterdesk::link
