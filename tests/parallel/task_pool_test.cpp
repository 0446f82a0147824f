#include "parallel/task_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace triotdt::parallel {
namespace {

// Every task runs once, on the owner or a helper, and the owner sees what the
// tasks wrote once its condition holds; tasks may submit more tasks.
TEST(TaskPool, EveryTaskRunsOnceAndTheOwnerSeesTheWork) {
    for (const unsigned threads : {1u, 2u, 5u}) {
        TaskPool pool(threads);
        ASSERT_EQ(pool.size(), threads);
        EXPECT_EQ(pool.shortfall(), 0u);
        std::vector<long> values(400, 0);
        std::mutex idsMutex;
        std::set<std::thread::id> ids;
        std::atomic<int> done{0};
        for (int i = 0; i < 200; ++i) {
            pool.submit(
                [&, i] {
                    values[static_cast<std::size_t>(i)] += i;
                    {
                        std::lock_guard lock(idsMutex);
                        ids.insert(std::this_thread::get_id());
                    }
                    pool.submit(
                        [&, i] {
                            values[static_cast<std::size_t>(200 + i)] += i;
                            ++done;
                        },
                        TaskPool::Place::front);
                    ++done;
                },
                TaskPool::Place::back);
        }
        pool.workUntil([&] { return done == 400; });
        long sum = 0;
        for (const long v : values) sum += v;
        EXPECT_EQ(sum, 2 * (199 * 200 / 2));
        EXPECT_LE(ids.size(), threads);
        if (threads == 1) {
            EXPECT_EQ(ids, std::set{std::this_thread::get_id()});
        }
    }
}

TEST(TaskPool, AnExceptionReachesTheOwnerAndStopsThePool) {
    TaskPool pool(3);
    std::atomic<int> ran{0};
    pool.submit([] { throw std::runtime_error("task 1"); }, TaskPool::Place::back);
    try {
        pool.workUntil([] { return false; });
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "task 1");
    }
    pool.stop();
    pool.submit([&] { ++ran; }, TaskPool::Place::back);
    EXPECT_EQ(ran, 0);
}

}  // namespace
}  // namespace triotdt::parallel
