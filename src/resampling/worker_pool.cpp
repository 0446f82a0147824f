#include "resampling/worker_pool.h"

#include <chrono>

namespace triotdt::resampling {
namespace {

// Tasks follow each other closely (one a window); a thread that waits a
// moment for the next before going to sleep is spared the slow wake-up.
constexpr auto spinTime = std::chrono::microseconds(50);

template <class Done>
bool spinUntil(Done done) {
    const auto until = std::chrono::steady_clock::now() + spinTime;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace

WorkerPool::WorkerPool(unsigned threads) {
    for (unsigned worker = 1; worker < threads; ++worker) workers_.emplace_back([this, worker] { serve(worker); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    started_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void WorkerPool::serve(unsigned worker) {
    std::uint64_t seen = 0;
    for (;;) {
        const auto started = [&] { return generation_.load(std::memory_order_acquire) != seen; };
        const std::function<void(unsigned)>* task;
        {
            std::unique_lock lock(mutex_, std::defer_lock);
            if (!spinUntil(started)) {
                lock.lock();
                started_.wait(lock, [&] { return closing_ || started(); });
                if (closing_) return;
            } else {
                lock.lock();
            }
            seen = generation_.load(std::memory_order_acquire);
            task = task_;
        }
        std::exception_ptr failure;
        try {
            (*task)(worker);
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(mutex_);
        if (failure && !failure_) failure_ = failure;
        if (running_.fetch_sub(1, std::memory_order_acq_rel) == 1) finished_.notify_one();
    }
}

void WorkerPool::runOnAll(const std::function<void(unsigned worker)>& task) {
    {
        std::lock_guard lock(mutex_);
        task_ = &task;
        running_.store(static_cast<unsigned>(workers_.size()), std::memory_order_relaxed);
        failure_ = nullptr;
        generation_.fetch_add(1, std::memory_order_release);
    }
    started_.notify_all();
    std::exception_ptr failure;
    try {
        task(0);
    } catch (...) {
        failure = std::current_exception();
    }
    const auto finished = [&] { return running_.load(std::memory_order_acquire) == 0; };
    spinUntil(finished);
    std::unique_lock lock(mutex_);
    finished_.wait(lock, finished);
    if (!failure) failure = failure_;
    if (failure) std::rethrow_exception(failure);
}

}  // namespace triotdt::resampling
