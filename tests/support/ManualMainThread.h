#pragma once

#include "link/HidPlatform.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace meterdesk::testing {

// The main thread of a core test: work posted from any thread waits here
// until the test thread runs it.
class ManualMainThread {
public:
    link::MainThreadPoster Poster() {
        return [this](std::function<void()> task) { Post(std::move(task)); };
    }

    void Post(std::function<void()> task) {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        posted_.notify_all();
    }

    // Runs what is queued now, and what those tasks queue.
    void RunPending() {
        while (RunOne()) {
        }
    }

    // Runs posted work until `done` holds; false when it still does not
    // after `limit` (a guard against a hang, not a measurement).
    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (RunOne()) {
                continue;
            }
            std::unique_lock lock(mutex_);
            if (!posted_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) {
                return done();
            }
        }
        return true;
    }

    // Waits until something was posted, without running it.
    bool WaitForWork(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        return posted_.wait_for(lock, limit, [this] { return !tasks_.empty(); });
    }

private:
    bool RunOne() {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty()) {
                return false;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        return true;
    }

    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
};

} // namespace meterdesk::testing
