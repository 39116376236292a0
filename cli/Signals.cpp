#include "Signals.h"

#include <atomic>
#include <csignal>
#include <iterator>
#include <pthread.h>

namespace cli {
namespace {

std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void askToStop(int signal) { stopSignal.store(signal); }

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The handlers in place before StopOnSignals, put back after it.
struct sigaction previous[std::size(kStopSignals)]{};
struct sigaction previousPipe { };

} // namespace

int StopSignal() { return stopSignal.load(); }

int InterruptedExitCode(int signal)
{
    return signal == SIGINT ? kInterruptedBySigint : signal == SIGHUP ? kInterruptedBySighup : kInterruptedBySigterm;
}

StopOnSignals::StopOnSignals()
{
    stopSignal.store(0);
    struct sigaction action { };
    action.sa_handler = askToStop;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &action, &previous[i]);
    struct sigaction ignore { };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &previousPipe);
}

StopOnSignals::~StopOnSignals()
{
    for (size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &previous[i], nullptr);
    ::sigaction(SIGPIPE, &previousPipe, nullptr);
}

std::thread StopOnSignals::Start(const std::function<void()>& work)
{
    sigset_t stops, before;
    sigemptyset(&stops);
    for (const int signal : kStopSignals)
        sigaddset(&stops, signal);
    ::pthread_sigmask(SIG_BLOCK, &stops, &before);
    std::thread thread(work);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return thread;
}

} // namespace cli
