#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <vector>

#include "parallel/in_order.h"
#include "parallel/reorder_buffer.h"
#include "parallel/task_pool.h"

namespace triotdt::parallel {
namespace {

TEST(ReorderBuffer, GivesResultsInOrderWhateverOrderTheyFinishIn) {
    ReorderBuffer<int> buffer(3);
    EXPECT_TRUE(buffer.hasRoomFor(2));
    EXPECT_FALSE(buffer.hasRoomFor(3));  // only `capacity` ahead of the next one
    buffer.put(2, 20);
    buffer.put(1, 10);
    EXPECT_FALSE(buffer.nextReady());
    buffer.put(0, 0);
    std::vector<int> taken;
    while (buffer.nextReady()) taken.push_back(buffer.takeNext());
    EXPECT_EQ(taken, (std::vector<int>{0, 10, 20}));
    // The slots are reused for the next three.
    EXPECT_TRUE(buffer.hasRoomFor(5));
    EXPECT_FALSE(buffer.hasRoomFor(6));
    buffer.put(4, 40);
    buffer.put(3, 30);
    EXPECT_EQ(buffer.takeNext(), 30);
    EXPECT_EQ(buffer.takeNext(), 40);
    EXPECT_FALSE(buffer.nextReady());
}

// Jobs finish in a fixed, scrambled order: a job's task only parks its
// completion, and once every job under way is parked they complete last
// first. On one thread this schedule is the same on every run.
TEST(RunInOrder, DeliversInOrderAndKeepsAtMostCapacityUnderWay) {
    TaskPool pool(1);
    constexpr std::int64_t jobs = 11;
    constexpr std::size_t capacity = 4;
    std::vector<std::function<void()>> parked;
    std::int64_t started = 0, delivered = 0, mostUnderWay = 0;
    std::vector<std::int64_t> order;
    runInOrder<std::int64_t>(
        pool, jobs, capacity,
        [&](std::int64_t index, std::function<void(std::int64_t)> finish) {
            ++started;
            mostUnderWay = std::max(mostUnderWay, started - delivered);
            pool.submit(
                [&, index, finish]() {
                    parked.push_back([finish, index] { finish(100 + index); });
                    if (static_cast<std::int64_t>(parked.size()) < std::min<std::int64_t>(capacity, jobs - delivered))
                        return;
                    while (!parked.empty()) {
                        parked.back()();
                        parked.pop_back();
                    }
                },
                TaskPool::Place::back);
        },
        [&](std::int64_t index, std::int64_t result) {
            EXPECT_EQ(result, 100 + index);
            order.push_back(index);
            ++delivered;
        });
    std::vector<std::int64_t> expected(jobs);
    for (std::int64_t i = 0; i < jobs; ++i) expected[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(order, expected);
    EXPECT_EQ(mostUnderWay, static_cast<std::int64_t>(capacity));
}

TEST(RunInOrder, AFailingTaskStopsTheRunAndReachesTheCaller) {
    for (const unsigned threads : {1u, 3u}) {
        TaskPool pool(threads);
        std::vector<std::int64_t> delivered;
        EXPECT_THROW(runInOrder<int>(
                         pool, 50, 4,
                         [&](std::int64_t index, std::function<void(int)> finish) {
                             pool.submit(
                                 [index, finish]() {
                                     if (index == 5) throw std::runtime_error("window 5");
                                     finish(0);
                                 },
                                 TaskPool::Place::back);
                         },
                         [&](std::int64_t index, int) { delivered.push_back(index); }),
                     std::runtime_error);
        // Those before the failing window may or may not be written by then.
        EXPECT_LE(delivered.size(), 5u) << threads << " threads";
        if (threads == 1) {
            EXPECT_EQ(delivered.size(), 5u);
        }
    }
}

}  // namespace
}  // namespace triotdt::parallel
