#include "support/Gui.h"

#include "platform/Application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>

namespace testgui {

void WhenModal(std::function<void(QWidget*)> action, int timeoutMs)
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [action, clock, timeoutMs, poll] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            action(modal);
            *poll = nullptr;
            return;
        }
        if (clock->elapsed() > timeoutMs) {
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(10, [poll] { if (*poll) (*poll)(); });
    };
    QTimer::singleShot(0, [poll] { if (*poll) (*poll)(); });
}

MessageRecorder::MessageRecorder()
{
    SetMessageBoxHandler([this](const QString& text, const QString& caption, int flags) {
        messages.push_back({text, caption, flags});
        return IDOK;
    });
}

MessageRecorder::~MessageRecorder()
{
    SetMessageBoxHandler(nullptr);
}

void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

} // namespace testgui
