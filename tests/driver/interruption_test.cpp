#include "driver/interruption.h"

#include <gtest/gtest.h>

#include <csignal>

namespace triotdt::driver {
namespace {

// A signal that comes while the program starts waits for the command's
// choice: released, it ends the program as it would have when it came.
TEST(InterruptionsDeathTest, ADeferredSignalWaitsForTheChoice) {
    EXPECT_EXIT(
        {
            std::signal(SIGTERM, SIG_DFL);
            deferInterruptions();
            std::raise(SIGTERM);
            releaseInterruptions();
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
}

// Caught, a signal is only recorded, and work stops at its next look; a
// second one then ends the program, unless the work must always clean up.
void stopThenSignalAgain(SecondSignal second) {
    deferInterruptions();
    std::raise(SIGINT);
    catchInterruptions(second);
    try {
        stopIfInterrupted();
    } catch (const Interrupted& stopped) {
        if (stopped.signal != SIGINT) std::_Exit(1);
        std::raise(SIGINT);
        std::_Exit(7);
    }
    std::_Exit(1);
}

TEST(InterruptionsDeathTest, ACaughtSignalStopsTheWorkAndASecondOneEndsItOrNot) {
    EXPECT_EXIT(stopThenSignalAgain(SecondSignal::endsProgram), testing::KilledBySignal(SIGINT), "");
    EXPECT_EXIT(stopThenSignalAgain(SecondSignal::changesNothing), testing::ExitedWithCode(7), "");
}

}  // namespace
}  // namespace triotdt::driver
