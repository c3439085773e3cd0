#include "platform/TaskQueue.h"

namespace tessaly {

bool TTaskQueue::Push(TTask task) {
    TLock lock(mutex_);
    const bool first = posted_.empty();
    posted_.push_back(std::move(task));
    hasPosted_.store(true, std::memory_order_release);
    return first;
}

void TTaskQueue::RunPending(const TErrorHandler& onError) {
    if (hasPosted_.load(std::memory_order_acquire)) {
        std::vector<TTask> batch;
        {
            TLock lock(mutex_);
            batch.swap(posted_);
            hasPosted_.store(false, std::memory_order_release);
        }
        for (auto& t : batch)
            ready_.push_back(std::move(t));
    }
    while (!ready_.empty()) {
        TTask task = std::move(ready_.front());
        ready_.pop_front();
        if (!onError) {
            task();
            continue;
        }
        try {
            task();
        } catch (...) {
            onError(std::current_exception());
        }
    }
}

bool TTaskQueue::HasPending() const {
    return !ready_.empty() || hasPosted_.load(std::memory_order_acquire);
}

void TTaskQueue::Clear() noexcept {
    try {
        std::vector<TTask> left;
        {
            TLock lock(mutex_);
            left.swap(posted_);
            hasPosted_.store(false, std::memory_order_release);
        }
        left.clear();
        ready_.clear();
    } catch (...) {
        // Only a failing mutex or a task's destructor can throw here; the tasks are dropped
        // either way.
    }
}

}  // namespace tessaly
