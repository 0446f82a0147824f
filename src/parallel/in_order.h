#pragma once

#include <cstdint>
#include <utility>

#include "parallel/reorder_buffer.h"
#include "parallel/task_pool.h"

namespace triotdt::parallel {

// Runs jobs 0 .. count − 1 on `pool` and hands their results to
// `deliver(index, result)` on the calling thread, in index order, as soon as
// each is next. `start(index, finish)` submits the tasks of job `index`; the
// task that completes it calls `finish(result)`, from any thread. At most
// `capacity` jobs are started and not yet delivered, which bounds the results
// held at once. While it waits, the calling thread runs tasks of the pool.
//
// If a task or `deliver` throws, the jobs under way are abandoned: the pool is
// stopped (tasks not begun dropped, running ones waited for) and the exception
// goes on to the caller.
template <class Result, class Start, class Deliver>
void runInOrder(TaskPool& pool, std::int64_t count, std::size_t capacity, Start&& start, Deliver&& deliver) {
    ReorderBuffer<Result> buffer(capacity);
    try {
        std::int64_t started = 0;
        while (buffer.next() < count) {
            for (; started < count && buffer.hasRoomFor(started); ++started) {
                start(started, [&buffer, &pool, index = started](Result result) {
                    buffer.put(index, std::move(result));
                    pool.signal();
                });
            }
            pool.workUntil([&buffer] { return buffer.nextReady(); });
            const std::int64_t index = buffer.next();
            deliver(index, buffer.takeNext());
        }
    } catch (...) {
        pool.stop();
        throw;
    }
}

}  // namespace triotdt::parallel
