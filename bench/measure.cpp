// Runs a command and prints its wall time, CPU time (user + system) and peak
// memory (maximum resident set size) as one line:
//   wall_s=1.234 cpu_s=2.345 peak_mib=12.3 status=0
//
//   measure [--in DIR] [--quiet] -- COMMAND ARGS...
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    const char* folder = nullptr;
    bool quiet = false;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--in") == 0 && i + 1 < argc) folder = argv[++i];
        else if (std::strcmp(argv[i], "--quiet") == 0) quiet = true;
    }
    if (i + 1 >= argc) {
        std::fputs("usage: measure [--in DIR] [--quiet] -- COMMAND ARGS...\n", stderr);
        return 2;
    }
    char** command = argv + i + 1;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (folder != nullptr && chdir(folder) != 0) _exit(127);
        if (quiet) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
        }
        execvp(command[0], command);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("wall_s=%.3f cpu_s=%.3f peak_mib=%.1f status=%d\n", wall, cpu,
                static_cast<double>(usage.ru_maxrss) / 1024.0, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}
