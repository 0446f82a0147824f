#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace triotdt::resampling {

// Threads that stay for the whole run and work on one task at a time
// together with the thread that hands it to them.
class WorkerPool {
public:
    explicit WorkerPool(unsigned threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned size() const { return static_cast<unsigned>(workers_.size()) + 1; }

    // Calls task(worker) once on each of the `size()` threads (worker 0 is the
    // calling thread) and returns when all calls have returned. An exception
    // thrown by any of them is thrown here.
    void runOnAll(const std::function<void(unsigned worker)>& task);

private:
    void serve(unsigned worker);

    std::mutex mutex_;
    std::condition_variable started_;
    std::condition_variable finished_;
    const std::function<void(unsigned)>* task_ = nullptr;
    std::atomic<std::uint64_t> generation_{0};
    std::atomic<unsigned> running_{0};
    bool closing_ = false;
    std::exception_ptr failure_;
    std::vector<std::thread> workers_;
};

}  // namespace triotdt::resampling
