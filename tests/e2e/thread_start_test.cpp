// Threads the system will not start are no reason to stop: the run goes on
// with those it has, says so, and writes the same reports.
#include <gtest/gtest.h>

#include "e2e/trio_input.h"
#include "support/program_run.h"
#include "support/test_support.h"

namespace triotdt::test {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool addressSpaceLimited = false;  // the sanitizers reserve terabytes of address space
#else
constexpr bool addressSpaceLimited = true;
#endif

TEST(ThreadStart, ThreadsBeyondTheAddressSpaceAreLeftOut) {
    if (!addressSpaceLimited) GTEST_SKIP() << "no address-space limit under a sanitizer";
    const std::string input = trioInput(20, 50, {2, 3, 2});
    ScratchFolder one, many;
    one.writeInput(input);
    many.writeInput(input);
    const RunResult reference = runProgram(one.path(), {"--threads", "1"});
    ASSERT_EQ(reference.status, 0) << reference.err;

    // A thread's stack alone takes 8 MiB of address space: 1000 of them do
    // not fit in 512 MiB.
    const RunResult run = runProgram(many.path(), {"--threads", "1000"}, withMemoryLimit(rlim_t{512} << 20));
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string prefix = "Only ", middle = " of 1000 threads could be started; the run goes on with ";
    ASSERT_TRUE(run.err.starts_with(prefix)) << run.err;
    const std::string started = run.err.substr(prefix.size(), run.err.find(' ', prefix.size()) - prefix.size());
    EXPECT_LT(std::stoi(started), 1000);
    EXPECT_EQ(run.err, prefix + started + middle + started + ".\n");
    EXPECT_EQ(run.out, reference.out);
    for (const char* report : {"tdttran.txt", "tdtout.txt"}) EXPECT_EQ(many.read(report), one.read(report)) << report;
}

}  // namespace
}  // namespace triotdt::test
