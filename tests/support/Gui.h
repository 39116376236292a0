#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

namespace testgui {

// Runs `action` on the next modal widget as soon as it is shown (a modal
// dialog blocks the test until it is closed). Gives up after `timeoutMs`.
void WhenModal(std::function<void(QWidget*)> action, int timeoutMs = 5000);
// Forgets every WhenModal action still waiting, so that one left by a test
// never answers a dialog of the next.
void CancelModalActions();

// Every message box shown while an instance lives, instead of showing it.
struct MessageRecorder {
    struct Message {
        QString text;
        QString caption;
        int flags;
    };
    MessageRecorder();
    ~MessageRecorder();
    std::vector<Message> messages;
};

// Processes pending events (queued repaints, deferred deletes).
void Settle();

// Prepares `run` to start the real editor under Xvfb: output merged, the X
// server instead of the tests' offscreen platform, and a recovery folder of
// its own (the copies of the user running the tests are not its business).
void PrepareRealEditor(QProcess& run);

} // namespace testgui
