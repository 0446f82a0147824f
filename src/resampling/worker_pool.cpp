#include "resampling/worker_pool.h"

namespace triotdt::resampling {

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
        const std::function<void(unsigned)>* task;
        {
            std::unique_lock lock(mutex_);
            started_.wait(lock, [&] { return closing_ || generation_ != seen; });
            if (closing_) return;
            seen = generation_;
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
        if (--running_ == 0) finished_.notify_one();
    }
}

void WorkerPool::runOnAll(const std::function<void(unsigned worker)>& task) {
    {
        std::lock_guard lock(mutex_);
        task_ = &task;
        running_ = static_cast<unsigned>(workers_.size());
        failure_ = nullptr;
        ++generation_;
    }
    started_.notify_all();
    std::exception_ptr failure;
    try {
        task(0);
    } catch (...) {
        failure = std::current_exception();
    }
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return running_ == 0; });
    if (!failure) failure = failure_;
    if (failure) std::rethrow_exception(failure);
}

}  // namespace triotdt::resampling
