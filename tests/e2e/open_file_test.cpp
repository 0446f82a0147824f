// A run inside a longer-lived process (the fuzz target, a test, a front end)
// must close every file it opened, whether it ends well or not. Found by
// fuzzing: every run left tdtinput.dat open, and after a thousand runs none
// could open its reports.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "driver/analysis.h"
#include "e2e/trio_input.h"
#include "io/run_error.h"
#include "support/test_support.h"

namespace triotdt::test {
namespace {

// Files of `folder` that this process still holds open.
std::vector<std::string> openFilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> open;
    const std::string prefix = std::filesystem::canonical(folder).string() + "/";
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (!error && target.starts_with(prefix)) open.push_back(target);
    }
    return open;
}

// Works in `folder`, with the console sent to /dev/null, while it lives.
class QuietlyIn {
public:
    explicit QuietlyIn(const std::filesystem::path& folder)
        : previous_(std::filesystem::current_path()), savedConsole_(::dup(STDOUT_FILENO)) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
        std::filesystem::current_path(folder);
    }
    ~QuietlyIn() {
        std::filesystem::current_path(previous_);
        ::dup2(savedConsole_, STDOUT_FILENO);
        ::close(savedConsole_);
    }

private:
    std::filesystem::path previous_;
    int savedConsole_;
};

void runAnalysisIn(const std::filesystem::path& folder) {
    const QuietlyIn quietly(folder);
    driver::RunOptions options;
    options.threads = 1;
    driver::runAnalysis(input::readInput(), options);
}

TEST(OpenFiles, NoneLeftAfterAFailedRead) {
    ScratchFolder folder;
    folder.writeInput("3\n10\n2\n2 2\n1 2\n");
    EXPECT_THROW(runAnalysisIn(folder.path()), io::RunError);
    EXPECT_EQ(openFilesIn(folder.path()), std::vector<std::string>{});
}

TEST(OpenFiles, NoneLeftAfterRefusedInput) {
    ScratchFolder folder;
    folder.writeInput("1\n10\n1\n2\n1 2\n1 2\n3 3\n");
    EXPECT_THROW(runAnalysisIn(folder.path()), io::InputRefused);
    EXPECT_EQ(openFilesIn(folder.path()), std::vector<std::string>{});
}

TEST(OpenFiles, NoneLeftAfterACompleteRun) {
    ScratchFolder folder;
    folder.writeInput(trioInput(4, 2, {2, 3}));
    EXPECT_NO_THROW(runAnalysisIn(folder.path()));
    EXPECT_EQ(openFilesIn(folder.path()), std::vector<std::string>{});
    EXPECT_FALSE(folder.read("tdtout.txt").empty());
}

}  // namespace
}  // namespace triotdt::test
