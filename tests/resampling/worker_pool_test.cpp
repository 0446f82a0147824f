#include "resampling/worker_pool.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace triotdt::resampling {
namespace {

// Each task sees what the owner wrote before it, and the owner sees what
// every call wrote once runOnAll returns; worker 0 is the owner itself.
TEST(WorkerPool, EveryThreadRunsEachTaskOnceAndTheOwnerSeesTheWork) {
    for (const unsigned threads : {1u, 2u, 5u}) {
        WorkerPool pool(threads);
        ASSERT_EQ(pool.size(), threads);
        EXPECT_EQ(pool.shortfall(), 0u);
        std::vector<long> sums(pool.size(), 0);
        std::vector<std::thread::id> ids(pool.size());
        long addend = 0;
        for (int round = 1; round <= 200; ++round) {
            addend = round;
            pool.runOnAll([&](unsigned worker) {
                sums[worker] += addend;
                ids[worker] = std::this_thread::get_id();
            });
        }
        for (unsigned worker = 0; worker < pool.size(); ++worker) EXPECT_EQ(sums[worker], 200 * 201 / 2) << worker;
        EXPECT_EQ(ids[0], std::this_thread::get_id());
        for (unsigned worker = 1; worker < pool.size(); ++worker) EXPECT_NE(ids[worker], ids[0]);
    }
}

TEST(WorkerPool, ExceptionsReachTheOwnerAndThePoolStaysReady) {
    WorkerPool pool(3);
    const auto failOn = [](unsigned failing) {
        return [failing](unsigned worker) {
            if (worker == failing) throw std::runtime_error("worker " + std::to_string(worker));
        };
    };
    for (const unsigned failing : {0u, 2u}) {
        try {
            pool.runOnAll(failOn(failing));
            ADD_FAILURE() << "no exception from worker " << failing;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "worker " + std::to_string(failing));
        }
    }
    // When the owner and a worker both fail, the owner's exception is thrown.
    try {
        pool.runOnAll([](unsigned worker) { throw std::runtime_error("worker " + std::to_string(worker)); });
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "worker 0");
    }
    std::vector<int> ran(pool.size(), 0);
    pool.runOnAll([&](unsigned worker) { ++ran[worker]; });
    EXPECT_EQ(ran, std::vector<int>(pool.size(), 1));
}

}  // namespace
}  // namespace triotdt::resampling
