#include "driver/progress.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex>
#include <unistd.h>

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
    void print(const std::string& text) const { EXPECT_EQ(::write(output, text.data(), text.size()), static_cast<ssize_t>(text.size())); }
    std::string everything() {
        ::close(terminal);
        ::close(output);
        std::string all;
        char buffer[4096];
        for (ssize_t got; (got = ::read(read, buffer, sizeof buffer)) > 0;) all.append(buffer, static_cast<std::size_t>(got));
        ::close(read);
        return all;
    }
};

WindowOutcome window(std::int32_t size, std::int32_t start) {
    WindowOutcome w;
    w.size = size;
    w.start = start;
    w.replicateCount = 100;
    return w;
}

// What the terminal shows once every drawn progress line (a line drawn and
// later erased) is taken out.
std::string withoutProgress(const std::string& shown, std::vector<std::string>& drawn) {
    static const std::regex line("\r\x1b\\[K([^\r\n\x1b]*)(?=\r\x1b\\[K)");
    for (std::sregex_iterator it(shown.begin(), shown.end(), line), end; it != end; ++it) drawn.push_back((*it)[1]);
    const std::string rest = std::regex_replace(shown, line, "");
    return std::regex_replace(rest, std::regex("\r\x1b\\[K"), "");
}

// Standard output on the same terminal reaches it unchanged and never on
// the progress line's row.
TEST(ProgressLine, OutputOnTheSameTerminalPassesTheLine) {
    FakeTerminal screen;
    const std::string console[] = {"\n the result of    1 loci system\n", " marker 1- 1 Pvalue\n", " marker 2- 2 Pvalue\n", "Stop\n"};
    {
        ProgressLine progress({screen.terminal, true, screen.output}, 3, std::chrono::seconds(0));
        screen.print(console[0]);
        for (std::int32_t start = 1; start <= 2; ++start) {
            progress.windowDone(window(1, start));
            screen.print(console[start]);
        }
        progress.windowDone(window(2, 1));
        screen.print(console[3]);
    }
    std::vector<std::string> drawn;
    EXPECT_EQ(withoutProgress(screen.everything(), drawn), console[0] + console[1] + console[2] + console[3]);
    ASSERT_GE(drawn.size(), 3u);
    EXPECT_EQ(drawn.front().rfind("window 1 of 3, ", 0), 0u) << drawn.front();
    EXPECT_EQ(drawn.back().rfind("window 3 of 3, ", 0), 0u) << drawn.back();
    EXPECT_NE(drawn.back().find(" replicates/s, about 0 s left"), std::string::npos) << drawn.back();
}

TEST(ProgressLine, ShortRunsShowNothing) {
    FakeTerminal screen;
    {
        ProgressLine progress({screen.terminal, true, screen.output}, 2, std::chrono::hours(1));
        progress.windowDone(window(1, 1));
        screen.print("result\n");
        progress.windowDone(window(1, 2));
    }
    EXPECT_EQ(screen.everything(), "result\n");
}

TEST(ProgressLine, OwnTerminalGetsTheLineAndClearsItAtTheEnd) {
    FakeTerminal screen;
    {
        ProgressLine progress({screen.terminal, false, screen.output}, 0, std::chrono::seconds(0));
        progress.windowDone(window(1, 1));
    }
    const std::string shown = screen.everything();
    EXPECT_EQ(shown.rfind(erase + "window 1, ", 0), 0u) << shown;
    EXPECT_TRUE(shown.ends_with(" replicates/s" + erase)) << shown;
}

}  // namespace
}  // namespace triotdt::driver
