#include "import/program_run.h"

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace triotdt::testing {

ProgramRun runTriotdt(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                      std::optional<std::uint64_t> fileSizeLimit) {
    const std::filesystem::path out = folder / ".stdout", err = folder / ".stderr";
    std::vector<std::string> words{TRIOTDT_BINARY};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (outFd < 0 || errFd < 0 || ::chdir(folder.c_str()) != 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0) {
            _exit(127);
        }
        if (fileSizeLimit) {
            const rlimit limit{*fileSizeLimit, *fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
        }
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    ProgramRun run;
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = readFile(out);
    run.err = readFile(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

std::filesystem::path scratchFolder() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / "triotdt" / (std::string(test->test_suite_name()) + "." + test->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace triotdt::testing
