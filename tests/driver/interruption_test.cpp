#include "driver/interruption.h"

#include <gtest/gtest.h>

#include <csignal>

namespace triotdt::driver {
namespace {

// A signal that arrives while files are written stops the writer at its next
// piece, not at once, and ends the program when the hold ends.
TEST(HeldInterruptionsDeathTest, ASignalStopsTheWriterThenEndsTheProgram) {
    EXPECT_EXIT(
        {
            std::signal(SIGTERM, SIG_DFL);
            const HeldInterruptions hold;
            hold.stopIfInterrupted();
            std::raise(SIGTERM);
            try {
                hold.stopIfInterrupted();
            } catch (const WritingInterrupted& stopped) {
                if (stopped.signal == SIGTERM) std::_Exit(7);
            }
        },
        testing::ExitedWithCode(7), "");
    EXPECT_EXIT(
        {
            std::signal(SIGINT, SIG_DFL);
            {
                const HeldInterruptions hold;
                std::raise(SIGINT);
            }
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGINT), "");
}

// A signal the program ignores is not held: it cannot stop the writing.
TEST(HeldInterruptionsDeathTest, AnIgnoredSignalIsLeftAlone) {
    EXPECT_EXIT(
        {
            std::signal(SIGTERM, SIG_IGN);
            {
                const HeldInterruptions hold;
                std::raise(SIGTERM);
                hold.stopIfInterrupted();
            }
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace triotdt::driver
