#include "parallel/task_pool.h"

#include <utility>

namespace triotdt::parallel {

TaskPool::TaskPool(unsigned threads) {
    const unsigned asked = threads > 0 ? threads - 1 : 0;
    unsigned wanted = asked;
    while (startHelpers(wanted) < wanted) {
        // A refused thread means the system is near a limit (address space,
        // processes): half of the helpers that did start are let go again, so
        // that the run keeps room for its own memory and threads.
        wanted = static_cast<unsigned>(helpers_.size()) / 2;
        stopHelpers();
    }
    shortfall_ = asked - wanted;
}

TaskPool::~TaskPool() { stopHelpers(); }

unsigned TaskPool::startHelpers(unsigned count) {
    try {
        helpers_.reserve(count);
        // After the first thread that cannot be started, no later one is tried.
        for (unsigned helper = 1; helper <= count; ++helper) helpers_.emplace_back([this] { serve(); });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    return static_cast<unsigned>(helpers_.size());
}

void TaskPool::stopHelpers() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    for (std::thread& helper : helpers_) helper.join();
    helpers_.clear();
    closing_ = false;
}

void TaskPool::submit(Task task, Place place) {
    {
        std::lock_guard lock(mutex_);
        if (failure_ || stopped_) return;
        if (place == Place::front) {
            queue_.push_front(std::move(task));
        } else {
            queue_.push_back(std::move(task));
        }
    }
    changed_.notify_all();
}

void TaskPool::signal() {
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

void TaskPool::stop() {
    std::unique_lock lock(mutex_);
    stopped_ = true;
    queue_.clear();
    changed_.wait(lock, [&] { return running_ == 0; });
}

void TaskPool::runTask(std::unique_lock<std::mutex>& lock) {
    Task task = std::move(queue_.front());
    queue_.pop_front();
    ++running_;
    lock.unlock();
    std::exception_ptr failure;
    try {
        task();
    } catch (...) {
        failure = std::current_exception();
    }
    task = nullptr;  // what the task holds goes before the lock is taken again
    lock.lock();
    --running_;
    if (failure && !failure_) {
        failure_ = failure;
        queue_.clear();
    }
    if (failure || stopped_) changed_.notify_all();
}

void TaskPool::serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return closing_ || !queue_.empty(); });
        if (closing_) return;
        runTask(lock);
        // The calling thread may be waiting for what this task finished.
        changed_.notify_all();
    }
}

void TaskPool::workUntil(const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (failure_) std::rethrow_exception(failure_);
        if (done()) return;
        if (!queue_.empty()) {
            runTask(lock);
        } else {
            changed_.wait(lock);
        }
    }
}

}  // namespace triotdt::parallel
