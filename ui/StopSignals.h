#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C) reach the
// event loop instead of ending the program where it stands. The handler only
// writes the signal's number into a pipe; a socket notifier reads it on the
// user interface's thread and says so once, for the first signal. Later ones
// are read and ignored, so that a second signal cannot cut the end short.
// The handlers stay in place for the rest of the process, after this object
// too: a signal that comes while the program ends is ignored as well.
class TStopSignals : public QObject {
    Q_OBJECT
public:
    explicit TStopSignals(QObject* parent = nullptr);
    ~TStopSignals() override;
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // The first signal received; 0 until one came.
    int Received() const { return received_; }
    // The exit code that says which signal ended the program: 128 + its number.
    int ExitCode() const { return received_ ? 128 + received_ : 0; }

signals:
    // The first signal, from the event loop.
    void Stop(int signal);

private:
    void Read();

    QSocketNotifier* notifier_ = nullptr;
    int received_ = 0;
};
