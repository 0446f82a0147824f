#include "support/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "support/test_support.h"

namespace triotdt::test {
namespace {

[[noreturn]] void childFails(const char* what) {
    const std::string text = std::string("forked run: ") + what + "\n";
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, text.data(), text.size());
    ::_exit(127);
}

void setLimit(int resource, rlim_t value) {
    const rlimit limit{value, value};
    if (::setrlimit(resource, &limit) != 0) childFails("setrlimit failed");
}

#if defined(__SANITIZE_ADDRESS__)
#define TRIOTDT_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TRIOTDT_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef TRIOTDT_ADDRESS_SANITIZER
void limitMemory(rlim_t bytes) {
    const std::string megabytes = std::to_string(bytes >> 20);
    const char* earlier = std::getenv("ASAN_OPTIONS");
    const std::string options = (earlier ? std::string(earlier) + ":" : std::string()) +
                                "hard_rss_limit_mb=" + megabytes + ":max_allocation_size_mb=" + megabytes +
                                // Freed memory held back to catch use after free would count otherwise.
                                ":quarantine_size_mb=16";
    if (::setenv("ASAN_OPTIONS", options.c_str(), 1) != 0) childFails("setenv failed");
}
#else
void limitMemory(rlim_t bytes) { setLimit(RLIMIT_AS, bytes); }
#endif

// In the child: standard input, standard output, limits and signals as asked,
// then the program.
[[noreturn]] void becomeProgram(const std::filesystem::path& folder, const std::vector<std::string>& args,
                                const RunConditions& conditions, int inFile, int outPipe, int errPipe) {
    if (::chdir(folder.c_str()) != 0) childFails("chdir failed");
    if (::dup2(inFile, STDIN_FILENO) < 0 || ::dup2(errPipe, STDERR_FILENO) < 0) childFails("dup2 failed");
    switch (conditions.console) {
        case Console::captured:
            if (::dup2(outPipe, STDOUT_FILENO) < 0) childFails("dup2 failed");
            break;
        case Console::closed:
            ::close(STDOUT_FILENO);
            break;
        case Console::brokenPipe: {
            // A reader that has gone away, as when the output is piped into `head`.
            int pipe[2];
            if (::pipe(pipe) != 0 || ::dup2(pipe[1], STDOUT_FILENO) < 0) childFails("pipe failed");
            ::close(pipe[0]);
            ::close(pipe[1]);
            std::signal(SIGPIPE, SIG_DFL);
            break;
        }
        case Console::deviceFull: {
            const int full = ::open("/dev/full", O_WRONLY);
            if (full < 0 || ::dup2(full, STDOUT_FILENO) < 0) childFails("cannot open /dev/full");
            ::close(full);
            break;
        }
    }
    ::close(inFile);
    ::close(outPipe);
    ::close(errPipe);
    std::signal(SIGXFSZ, SIG_DFL);
    if (conditions.fileSizeLimit) setLimit(RLIMIT_FSIZE, *conditions.fileSizeLimit);
    if (conditions.memoryLimit) limitMemory(*conditions.memoryLimit);
    if (conditions.signalPendingAtStart != 0) {
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, conditions.signalPendingAtStart);
        if (::sigprocmask(SIG_BLOCK, &blocked, nullptr) != 0) childFails("sigprocmask failed");
        std::raise(conditions.signalPendingAtStart);
    }
    std::vector<char*> argv = {const_cast<char*>(TRIOTDT_BINARY)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(TRIOTDT_BINARY, argv.data());
    childFails("exec failed");
}

// Reads both pipes until both are closed, so that neither can fill up;
// `signalAtFirstOutput`, when given, goes to `child` once standard output has
// its first byte, before any more is read.
void collect(int outPipe, int errPipe, std::string& out, std::string& err, pid_t child, int signalAtFirstOutput) {
    pollfd fds[2] = {{outPipe, POLLIN, 0}, {errPipe, POLLIN, 0}};
    std::string* sinks[2] = {&out, &err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll failed");
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const bool signalDue = i == 0 && signalAtFirstOutput != 0 && out.empty();
            const ssize_t got = ::read(fds[i].fd, buffer, signalDue ? 1 : sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
                if (signalDue) ::kill(child, signalAtFirstOutput);
            } else if (got == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

}  // namespace

RunResult runProgram(const std::filesystem::path& folder, const std::vector<std::string>& args,
                     const RunConditions& conditions) {
    // Standard input is a file, so that the program reads it at its own pace.
    const ScratchFolder stdinFolder;
    writeFile(stdinFolder / "stdin", conditions.input);
    const int in = ::open((stdinFolder / "stdin").c_str(), O_RDONLY | O_CLOEXEC);
    int out[2], err[2];
    if (in < 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (conditions.signalAtFirstOutput != 0 && ::fcntl(out[0], F_SETPIPE_SZ, 4096) < 0) {
        throw std::runtime_error("cannot make the pipe small");
    }
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) becomeProgram(folder, args, conditions, in, out[1], err[1]);
    ::close(in);
    ::close(out[1]);
    ::close(err[1]);
    RunResult run;
    collect(out[0], err[0], run.out, run.err, child, conditions.signalAtFirstOutput);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    return run;
}

const char* programPath() { return TRIOTDT_BINARY; }

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace triotdt::test
