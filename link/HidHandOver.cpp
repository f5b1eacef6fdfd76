#include "link/HidHandOver.h"

#include <algorithm>

namespace meterdesk::link {

void HidHandOverQueue::Call(const void* owner, const std::function<void()>& task) {
    Entry entry{owner, &task};
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(&entry);
    }
    changed_.notify_all();
    if (post_) {
        post_([weak = weak_from_this()] {
            if (const auto queue = weak.lock()) {
                queue->RunPending();
            }
        });
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&entry] { return entry.done; });
}

void HidHandOverQueue::Finish(Entry& entry) {
    {
        std::lock_guard lock(mutex_);
        entry.done = true; // the caller may return and drop the entry now
    }
    changed_.notify_all();
}

void HidHandOverQueue::RunPending() {
    for (;;) {
        Entry* entry = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty()) {
                return;
            }
            entry = pending_.front();
            pending_.pop_front();
        }
        const void* owner = entry->owner;
        running_.push_back(owner);
        // Whatever the task does, its caller is released and the stack
        // unwound, also when it throws.
        struct Release {
            HidHandOverQueue& queue;
            Entry& entry;
            const void* owner;
            ~Release() {
                queue.Finish(entry);
                queue.running_.pop_back();
                auto& waiting = queue.afterRunning_;
                for (auto it = waiting.begin(); it != waiting.end();) {
                    if (it->first == owner && !queue.Running(owner)) {
                        auto cleanup = std::move(it->second);
                        it = waiting.erase(it);
                        cleanup();
                    } else {
                        ++it;
                    }
                }
            }
        } release{*this, *entry, owner};
        (*entry->task)();
    }
}

void HidHandOverQueue::RunUntil(const std::function<bool()>& done) {
    for (;;) {
        RunPending();
        std::unique_lock lock(mutex_);
        if (done()) {
            return;
        }
        changed_.wait(lock, [&] { return !pending_.empty() || done(); });
    }
}

void HidHandOverQueue::Notify() {
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

bool HidHandOverQueue::Running(const void* owner) const {
    return std::find(running_.begin(), running_.end(), owner) != running_.end();
}

void HidHandOverQueue::AfterRunning(const void* owner, std::function<void()> cleanup) {
    afterRunning_.emplace_back(owner, std::move(cleanup));
}

} // namespace meterdesk::link
