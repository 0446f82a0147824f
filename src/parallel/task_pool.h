#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace triotdt::parallel {

// The run's one set of threads: the windows of a run and the shares of a
// window's replicates are its tasks; nothing else in the program starts threads.
//
// Who calls what, from which thread
//   - One thread, the owner, constructs the pool, calls workUntil() and
//     stop(), and destroys the pool. submit() and signal() may be called from
//     any thread, tasks included.
//   - The constructor starts threads − 1 helpers. A thread the system refuses
//     to start is not an error: the pool lets half of the helpers it started go
//     again (the system is near a limit, and the run needs room besides),
//     keeps the rest, and `shortfall()` tells how many are missing. The owner
//     always counts as one of the threads, so size() >= 1 and every task runs.
//   - Work is a queue. submit(task, front) puts the rest of something already
//     begun (the replicates of a window) before everything else; submit(task,
//     back) queues new work (the next window in report order). Helpers take
//     tasks from the front as they come free, one at a time.
//   - workUntil(done) makes the owner a worker too: it runs queued tasks and
//     returns as soon as done() holds. done() is tested under the pool's lock,
//     before each task the owner would take and whenever a task ends or
//     signal() is called; whoever makes done() true without ending a task
//     (a task finishing a window for the owner, say) calls signal(). With
//     threads = 1 every task runs on the owner, inside workUntil.
//   - Tasks never wait for each other: a task that splits its work submits the
//     pieces, and whichever piece ends last finishes the whole.
//
// What is shared
//   - A task is moved into the queue and destroyed by the thread that ran it,
//     before that thread takes the pool's lock again.
//   - Everything a task touches beyond its arguments is the caller's to share
//     safely; the pool orders only what is said below.
//
// How exceptions travel
//   - An exception thrown by a task is caught on its thread. The first one
//     stops the pool from starting anything more (the queue is emptied, later
//     submits are dropped) and is thrown from workUntil() on the owner; others
//     are dropped.
//
// Ordering guarantees
//   - Everything a thread wrote before submit() is visible to the task, and
//     everything a task wrote before it ended, or before signal(), is visible
//     to the owner when done() is next tested (both pass through the lock).
//   - stop() drops the tasks not begun, refuses new ones and returns once no
//     task runs: after it, nothing of the pool refers to what the tasks used.
//     The owner calls it before leaving behind what running tasks refer to.
//   - The destructor drops the tasks not begun, lets running ones end and joins
//     the helpers; no task runs after it.
class TaskPool {
public:
    using Task = std::function<void()>;
    enum class Place { front, back };

    explicit TaskPool(unsigned threads);
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    // The number of threads, the owner included.
    unsigned size() const { return static_cast<unsigned>(helpers_.size()) + 1; }
    // Threads asked for that the system would not start.
    unsigned shortfall() const { return shortfall_; }

    void submit(Task task, Place place);
    void workUntil(const std::function<bool()>& done);
    void signal();
    void stop();

private:
    unsigned startHelpers(unsigned count);
    void stopHelpers();
    void serve();
    // Runs one task outside the lock, which `lock` holds on entry and on return.
    void runTask(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Task> queue_;
    bool closing_ = false;
    bool stopped_ = false;
    unsigned running_ = 0;
    std::exception_ptr failure_;
    unsigned shortfall_ = 0;
    std::vector<std::thread> helpers_;
};

}  // namespace triotdt::parallel
