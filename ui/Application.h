#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <exception>
#include <functional>
#include <vector>

// Message box flags and answers, as the program passes them.
constexpr int MB_OK = 0x00;
constexpr int MB_ICONERROR = 0x10;
constexpr int MB_ICONWARNING = 0x30;
constexpr int MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;

// Shows a modal message box; without a graphical application the message goes
// to the standard error stream instead. Returns IDOK.
int ShowMessageBox(const QString& text, const QString& caption, int flags);

// Replaces every message box by a call of `handler` (tests record the messages
// this way instead of blocking on a modal box). An empty handler restores them.
using MessageBoxHandler = std::function<int(const QString& text, const QString& caption, int flags)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// The application object. Every exception that escapes an event handler is
// caught here and shown in the standard error box; the program goes on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    const QString& Title() const { return title_; }
    void SetTitle(const QString& title);

    int MessageBox(const QString& text, const QString& caption, int flags)
    {
        return ShowMessageBox(text, caption, flags);
    }
    // The standard error box: the exception's message, the title as caption.
    void ShowException(const std::exception& error);

    bool notify(QObject* receiver, QEvent* event) override;

    // Qt's own dialogs and buttons speak French whatever the locale.
    bool LoadFrenchTranslation();

private:
    QString title_;
};

extern TApplication* Application;

// A question with answers of its own, in the order and roles given:
// `defaultAnswer` is the one Enter gives, the last the one Escape gives.
// Returns the index of the answer chosen.
struct TAnswer {
    QString text;
    QMessageBox::ButtonRole role;
};
int AskQuestion(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
                const std::vector<TAnswer>& answers, int defaultAnswer = 0);

// Shows an exception in the standard error box (on the standard error stream
// without a graphical application).
void ReportException(const std::exception& error);

// Wraps a command so that an exception it raises is shown where it happens,
// before it can unwind through Qt's own event handling.
template <typename Command> auto Guarded(Command command)
{
    return [command = std::move(command)]() {
        try {
            command();
        } catch (const std::exception& error) {
            ReportException(error);
        }
    };
}
