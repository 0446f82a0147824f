#include "resampling/worker_pool.h"

#include <chrono>
#include <new>
#include <system_error>

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
    const unsigned asked = threads > 0 ? threads - 1 : 0;
    unsigned wanted = asked;
    while (startWorkers(wanted) < wanted) {
        // A refused thread means the system is near a limit (address space,
        // processes): half of the workers that did start are let go again, so
        // that the run keeps room for its own memory and threads.
        wanted = static_cast<unsigned>(workers_.size()) / 2;
        stopWorkers();
    }
    shortfall_ = asked - wanted;
}

WorkerPool::~WorkerPool() { stopWorkers(); }

unsigned WorkerPool::startWorkers(unsigned count) {
    try {
        workers_.reserve(count);
        // Workers are numbered without gaps: after the first thread that
        // cannot be started, no later one is tried.
        for (unsigned worker = 1; worker <= count; ++worker) workers_.emplace_back([this, worker] { serve(worker); });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    return static_cast<unsigned>(workers_.size());
}

void WorkerPool::stopWorkers() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    started_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
    closing_ = false;
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
