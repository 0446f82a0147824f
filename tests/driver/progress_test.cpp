#include "driver/progress.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/progress_lines.h"

namespace triotdt::driver {
namespace {

const std::string erase = "\r\x1b[K";

// A pipe standing in for the terminal; `output` is a second descriptor on it,
// standing in for standard output shown on the same terminal.
struct FakeTerminal {
    int read = -1;
    int terminal = -1;
    int output = -1;

    FakeTerminal() {
        int fds[2];
        if (::pipe(fds) != 0) throw std::runtime_error("pipe");
        read = fds[0];
        terminal = fds[1];
        output = ::dup(terminal);
    }
    void print(const std::string& text) const {
        EXPECT_EQ(::write(output, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    std::string everything() {
        ::close(terminal);
        ::close(output);
        std::string all;
        char buffer[4096];
        for (ssize_t got; (got = ::read(read, buffer, sizeof buffer)) > 0;)
            all.append(buffer, static_cast<std::size_t>(got));
        ::close(read);
        return all;
    }
};

window::WindowResult window(std::int32_t size, std::int32_t start) {
    window::WindowResult w;
    w.size = size;
    w.start = start;
    w.replicateCount = 100;
    return w;
}

// Writes to standard output as the run does: the progress line steps aside.
void print(ProgressLine& progress, const FakeTerminal& screen, const std::string& text) {
    progress.stepAside();
    screen.print(text);
    progress.comeBack(text.back() != '\n');
}

// Standard output on the same terminal reaches it unchanged and never on
// the progress line's row.
TEST(ProgressLine, OutputOnTheSameTerminalPassesTheLine) {
    FakeTerminal screen;
    const std::string console[] = {"\n the result of    1 loci system\n", " marker 1- 1 Pvalue\n",
                                   " marker 2- 2 Pvalue\n", "Stop\n"};
    {
        ProgressLine progress({screen.terminal, true}, 3, std::chrono::seconds(0));
        print(progress, screen, console[0]);
        for (std::int32_t start = 1; start <= 2; ++start) {
            progress.windowDone(window(1, start));
            print(progress, screen, console[start]);
        }
        progress.windowDone(window(2, 1));
        print(progress, screen, console[3]);
    }
    std::vector<std::string> drawn;
    EXPECT_EQ(test::withoutProgressLines(screen.everything(), &drawn),
              console[0] + console[1] + console[2] + console[3]);
    ASSERT_GE(drawn.size(), 3u);
    EXPECT_EQ(drawn.front().rfind("window 1 of 3, ", 0), 0u) << drawn.front();
    EXPECT_EQ(drawn.back().rfind("window 3 of 3, ", 0), 0u) << drawn.back();
    EXPECT_NE(drawn.back().find(" replicates/s, about 0 s left"), std::string::npos) << drawn.back();
}

// A line of standard output still open keeps the progress line off its row.
TEST(ProgressLine, WaitsForAnOpenOutputLineToEnd) {
    FakeTerminal screen;
    {
        ProgressLine progress({screen.terminal, true}, 2, std::chrono::seconds(0));
        print(progress, screen, "no end yet");
        progress.windowDone(window(1, 1));
        print(progress, screen, " and its end\n");
    }
    std::vector<std::string> drawn;
    EXPECT_EQ(test::withoutProgressLines(screen.everything(), &drawn), "no end yet and its end\n");
    EXPECT_EQ(drawn.size(), 1u);
}

TEST(ProgressLine, ShortRunsShowNothing) {
    FakeTerminal screen;
    {
        ProgressLine progress({screen.terminal, true}, 2, std::chrono::hours(1));
        progress.windowDone(window(1, 1));
        print(progress, screen, "result\n");
        progress.windowDone(window(1, 2));
    }
    EXPECT_EQ(screen.everything(), "result\n");
}

TEST(ProgressLine, OwnTerminalGetsTheLineAndClearsItAtTheEnd) {
    FakeTerminal screen;
    {
        ProgressLine progress({screen.terminal, false}, 0, std::chrono::seconds(0));
        progress.windowDone(window(1, 1));
    }
    const std::string shown = screen.everything();
    EXPECT_EQ(shown.rfind(erase + "window 1, ", 0), 0u) << shown;
    EXPECT_TRUE(shown.ends_with(" replicates/s" + erase)) << shown;
}

}  // namespace
}  // namespace triotdt::driver
