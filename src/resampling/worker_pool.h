#pragma once

// The worker pool: threads that stay for the whole run and work on one task
// at a time together with the thread that owns the pool.
//
// Who calls what, from which thread
//   - One thread, the owner, constructs the pool, calls runOnAll() and
//     destroys the pool. runOnAll() is never called from two threads at once,
//     nor from inside a task.
//   - The constructor starts threads - 1 workers. A thread the system
//     refuses to start is not an error: the pool lets half of the workers
//     it started go again (the system is near a limit, and the run needs
//     room besides), keeps the rest, and `shortfall()` tells how many are
//     missing. The pool always has at least the owner, so size() >= 1 and
//     every task runs.
//   - runOnAll(task) calls task(worker) once on each of the size() threads:
//     worker 0 on the owner, 1 .. size()-1 on the workers. It returns when
//     every call has returned.
//
// What is shared
//   - The task object is borrowed for one runOnAll() call only; the workers
//     read it through a pointer published under the pool's mutex.
//   - Everything a task touches beyond its worker number is the caller's to
//     share safely: the pool orders nothing between workers inside a task.
//
// How exceptions travel
//   - An exception thrown by a task on any thread is caught there. Once all
//     calls of that runOnAll() have returned, the owner's own exception, or
//     else the first one a worker stored, is thrown again from runOnAll().
//     Other exceptions of the same call are dropped. The workers stay ready
//     for the next task.
//
// Ordering guarantees
//   - Everything the owner wrote before runOnAll() is visible to every task
//     call (release on start, acquire in the workers), and everything a task
//     call wrote is visible to the owner when runOnAll() returns.
//   - Tasks never overlap: a worker starts task N+1 only after runOnAll() of
//     task N has returned.
//   - The destructor wakes the workers and joins them; no task runs after it.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace triotdt::resampling {

class WorkerPool {
public:
    explicit WorkerPool(unsigned threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned size() const { return static_cast<unsigned>(workers_.size()) + 1; }
    // Threads asked for that the system would not start.
    unsigned shortfall() const { return shortfall_; }

    // Calls task(worker) once on each of the `size()` threads (worker 0 is the
    // calling thread) and returns when all calls have returned. An exception
    // thrown by any of them is thrown here.
    void runOnAll(const std::function<void(unsigned worker)>& task);

private:
    unsigned startWorkers(unsigned count);
    void stopWorkers();
    void serve(unsigned worker);

    std::mutex mutex_;
    std::condition_variable started_;
    std::condition_variable finished_;
    const std::function<void(unsigned)>* task_ = nullptr;
    std::atomic<std::uint64_t> generation_{0};
    std::atomic<unsigned> running_{0};
    bool closing_ = false;
    std::exception_ptr failure_;
    unsigned shortfall_ = 0;
    std::vector<std::thread> workers_;
};

}  // namespace triotdt::resampling
