#include "support/Gui.h"
#include "support/Images.h"

#include "ui/Application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>

namespace testgui {

void WhenModal(std::function<void(QWidget*)> action, int timeoutMs)
{
    // The timer belongs to the application, so one still waiting when the
    // test ends goes with it.
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setObjectName(QStringLiteral("testgui::WhenModal"));
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, timeoutMs, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

void CancelModalActions()
{
    for (QTimer* timer : QCoreApplication::instance()->findChildren<QTimer*>(QStringLiteral("testgui::WhenModal"),
                                                                             Qt::FindDirectChildrenOnly))
        delete timer;
}

MessageRecorder::MessageRecorder()
{
    SetMessageBoxHandler([this](const QString& text, const QString& caption, int flags) {
        messages.push_back({text, caption, flags});
        return IDOK;
    });
}

MessageRecorder::~MessageRecorder() { SetMessageBoxHandler(nullptr); }

void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

void PrepareRealEditor(QProcess& run)
{
    run.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), testimg::TempDir());
    run.setProcessEnvironment(environment);
}

} // namespace testgui
