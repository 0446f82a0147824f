#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace triotdt::parallel {

// The run's one set of threads. Protocol:
//
// - A pool of N threads is the calling thread (worker 0) plus N − 1 helper
//   threads that live as long as the pool.
// - Work is a queue of tasks. `submit` adds a task at the front (urgent: the
//   rest of something already begun, such as the replicates of a window) or at
//   the back (new work, such as the next window in report order). Helpers take
//   tasks from the front as they come free, one at a time, until the pool ends.
// - The calling thread takes part through `workUntil(done)`: it runs queued
//   tasks too, and returns as soon as `done()` holds. `done` is tested under
//   the pool's lock, before each task it would take and whenever another thread
//   calls `signal()`; a thread that makes `done` true must call `signal()`.
//   With N = 1 every task runs on the calling thread, inside workUntil.
// - Tasks never wait for each other: a task that splits its work submits the
//   pieces, and whichever piece ends last finishes the whole.
// - A task that throws stops the pool: the tasks not begun are dropped and the
//   first exception is thrown from workUntil on the calling thread.
// - `stop` drops the tasks not begun and waits for the running ones, so that
//   the caller may leave what they refer to behind; the pool takes no tasks
//   after it.
// - The destructor lets running tasks end, drops the others and joins the
//   helpers, so whatever the tasks refer to must outlive the pool.
class TaskPool {
public:
    using Task = std::function<void(unsigned worker)>;
    enum class Place { front, back };

    explicit TaskPool(unsigned threads);
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    // The number of threads, worker numbers 0 to size() − 1.
    unsigned size() const { return static_cast<unsigned>(helpers_.size()) + 1; }

    void submit(Task task, Place place);
    void workUntil(const std::function<bool()>& done);
    void signal();
    // Drops the tasks not begun, refuses new ones and returns once no task
    // runs: after it, nothing of the pool refers to what the tasks used.
    void stop();

private:
    void serve(unsigned worker);
    // Runs one task outside the lock, which `lock` holds on entry and on return.
    void runTask(std::unique_lock<std::mutex>& lock, unsigned worker);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Task> queue_;
    bool closing_ = false;
    bool stopped_ = false;
    unsigned running_ = 0;
    std::exception_ptr failure_;
    std::vector<std::thread> helpers_;
};

}  // namespace triotdt::parallel
