#include "driver/interruption.h"

#include <csignal>

#include "io/run_error.h"

namespace triotdt::driver {
namespace {

std::atomic<int> caughtSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler may only touch a lock-free atomic");

extern "C" void recordSignal(int signal) { caughtSignal.store(signal, std::memory_order_relaxed); }

// The signal mask of the program before deferInterruptions().
sigset_t blockedAtStart;

const sigset_t& interruptions() {
    static const sigset_t both = [] {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        return set;
    }();
    return both;
}

std::string signalName(int signal) {
    if (signal == SIGINT) return "SIGINT";
    if (signal == SIGTERM) return "SIGTERM";
    return "signal " + std::to_string(signal);
}

// 1022 -> "1,022".
std::string grouped(std::int64_t count) {
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

std::string whereStopped(const RunInterrupted& stopped) {
    const std::string place = stopped.lastStart > 0 ? "after window " + std::to_string(stopped.lastStart) + "-" +
                                                          std::to_string(stopped.lastStart + stopped.lastSize - 1)
                                                    : std::string("before the first window");
    return "interrupted by " + signalName(stopped.signal) + " " + place + " (" + grouped(stopped.windowsDone) + " of " +
           grouped(stopped.windowCount) + (stopped.windowCount == 1 ? " window)" : " windows)");
}

}  // namespace

void deferInterruptions() { pthread_sigmask(SIG_BLOCK, &interruptions(), &blockedAtStart); }

void catchInterruptions(SecondSignal second) {
    struct sigaction action {};
    action.sa_handler = recordSignal;
    sigemptyset(&action.sa_mask);
    // Writes and reads carry on after the handler; a second signal finds the
    // default action back in place, when it is to end the program.
    action.sa_flags = SA_RESTART | (second == SecondSignal::endsProgram ? SA_RESETHAND : 0);
    for (const int signal : {SIGINT, SIGTERM}) sigaction(signal, &action, nullptr);
    // Even when whoever started the program blocked them: a run must be able
    // to stop with its reports marked.
    pthread_sigmask(SIG_UNBLOCK, &interruptions(), nullptr);
}

void releaseInterruptions() {
    sigset_t unblocked = interruptions();
    for (const int signal : {SIGINT, SIGTERM}) {
        if (sigismember(&blockedAtStart, signal) == 1) sigdelset(&unblocked, signal);
    }
    pthread_sigmask(SIG_UNBLOCK, &unblocked, nullptr);
}

void stopIfInterrupted() {
    const int signal = interruptingSignal();
    if (signal != 0) throw Interrupted{signal};
}

std::string describeInterruption(const Interrupted& stopped) { return "interrupted by " + signalName(stopped.signal); }

void stopIfInterrupted(RunInterrupted progress) {
    progress.signal = interruptingSignal();
    if (progress.signal != 0) throw progress;
}

void markInterrupted(std::initializer_list<io::OutputUnit*> reports, const RunInterrupted& stopped) {
    for (io::OutputUnit* report : reports) {
        report->text() += interruptedReportLine(stopped);
        report->text() += report->lineEnd();
        try {
            report->flush();
        } catch (const io::RunError&) {
            // The message on standard error still says that the run stopped.
        }
    }
}

int interruptingSignal() { return caughtSignal.load(std::memory_order_relaxed); }

const std::atomic<int>& interruptionFlag() { return caughtSignal; }

std::string describeInterruption(const RunInterrupted& stopped) {
    return "triotdt: " + whereStopped(stopped) +
           (stopped.shard ? "; the shard did not finish (it has no manifest): run it again\n"
                          : "; the reports are incomplete\n");
}

std::string interruptedReportLine(const RunInterrupted& stopped) {
    return "*INTERRUPTED* " + whereStopped(stopped).substr(std::string("interrupted ").size()) +
           ": this report is incomplete";
}

int interruptedExitStatus(int signal) { return 128 + signal; }

}  // namespace triotdt::driver
