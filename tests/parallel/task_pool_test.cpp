#include "parallel/task_pool.h"

#include <gtest/gtest.h>

#include <atomic>
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
        std::vector<std::set<std::thread::id>> ids(pool.size());
        std::atomic<int> done{0};
        for (int i = 0; i < 200; ++i) {
            pool.submit(
                [&, i](unsigned worker) {
                    values[static_cast<std::size_t>(i)] += i;
                    ids[worker].insert(std::this_thread::get_id());  // a worker number is one thread: no race
                    pool.submit(
                        [&, i](unsigned) {
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
        for (const auto& seen : ids) EXPECT_LE(seen.size(), 1u);
        if (!ids[0].empty()) {
            EXPECT_EQ(*ids[0].begin(), std::this_thread::get_id());
        }
    }
}

TEST(TaskPool, AnExceptionReachesTheOwnerAndStopsThePool) {
    TaskPool pool(3);
    std::atomic<int> ran{0};
    pool.submit([](unsigned worker) { throw std::runtime_error("worker " + std::to_string(worker)); },
                TaskPool::Place::back);
    try {
        pool.workUntil([] { return false; });
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()).rfind("worker ", 0), 0u);
    }
    pool.stop();
    pool.submit([&](unsigned) { ++ran; }, TaskPool::Place::back);
    EXPECT_EQ(ran, 0);
}

}  // namespace
}  // namespace triotdt::parallel
