#pragma once

#include <functional>
#include <thread>

// How velmora-cli lives through SIGINT (Ctrl+C), SIGTERM (a kill) and SIGHUP
// (the terminal or the ssh session gone), in both of its forms.
namespace cli {

// Exit codes of a run that such a signal stopped.
constexpr int kInterruptedBySigint = 130;
constexpr int kInterruptedBySigterm = 143;
constexpr int kInterruptedBySighup = 129;

// The signal that asked the program to stop, 0 while none has.
int StopSignal();

// The exit code that says which signal stopped the program.
int InterruptedExitCode(int signal);

// Between construction and destruction, SIGINT, SIGTERM and SIGHUP ask the
// program to stop (StopSignal()) instead of killing it; the threads started
// meanwhile with Start() never take them, so the handler runs on the main
// thread alone. SIGPIPE is ignored: an error output read by a program that has
// gone (`| head`) fails its writes, which the program lives through.
class StopOnSignals {
public:
    StopOnSignals();
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    // Starts `work` on a thread of its own with the stop signals blocked.
    static std::thread Start(const std::function<void()>& work);
};

} // namespace cli
