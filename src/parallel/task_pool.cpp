#include "parallel/task_pool.h"

#include <utility>

namespace triotdt::parallel {

TaskPool::TaskPool(unsigned threads) {
    for (unsigned worker = 1; worker < threads; ++worker) helpers_.emplace_back([this, worker] { serve(worker); });
}

TaskPool::~TaskPool() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    for (std::thread& helper : helpers_) helper.join();
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

void TaskPool::runTask(std::unique_lock<std::mutex>& lock, unsigned worker) {
    Task task = std::move(queue_.front());
    queue_.pop_front();
    ++running_;
    lock.unlock();
    std::exception_ptr failure;
    try {
        task(worker);
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

void TaskPool::serve(unsigned worker) {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return closing_ || !queue_.empty(); });
        if (closing_) return;
        runTask(lock, worker);
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
            runTask(lock, 0);
        } else {
            changed_.wait(lock);
        }
    }
}

}  // namespace triotdt::parallel
