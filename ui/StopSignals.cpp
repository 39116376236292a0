#include "ui/StopSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Both ends stay open until the process ends: a late signal still finds its
// pipe, and the handler never touches a closed descriptor.
int pipeEnds[2] = {-1, -1};

constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Runs in whatever thread the signal interrupts: only async-signal-safe calls.
void onStopSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe already holds a signal: this one is not needed.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &number, 1);
    errno = saved;
}

bool installOnce()
{
    if (pipeEnds[0] >= 0)
        return true;
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kStopSignals)
        ::sigaction(signal, &action, nullptr);
    return true;
}

} // namespace

TStopSignals::TStopSignals(QObject* parent) : QObject(parent)
{
    // Without a pipe the signals keep their default action: the program ends
    // at once, as it always did.
    if (!installOnce())
        return;
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TStopSignals::Read);
}

TStopSignals::~TStopSignals() = default;

void TStopSignals::Read()
{
    unsigned char numbers[64];
    int first = 0;
    // The pipe is emptied; the first signal is the one that counts.
    while (::read(pipeEnds[0], numbers, sizeof numbers) > 0)
        if (first == 0)
            first = numbers[0];
    if (first == 0 || received_ != 0)
        return;
    received_ = first;
    emit Stop(first);
}
