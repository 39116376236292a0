#include "ui/Application.h"

#include "raster/Exception.h"
#include "ui/Keyboard.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <algorithm>
#include <cstdio>

TApplication* Application = nullptr;

namespace {
MessageBoxHandler& handlerSlot()
{
    static MessageBoxHandler handler;
    return handler;
}
} // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) { handlerSlot() = std::move(handler); }

int ShowMessageBox(const QString& text, const QString& caption, int flags)
{
    if (handlerSlot())
        return handlerSlot()(text, caption, flags);
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s : %s\n", qUtf8Printable(caption), qUtf8Printable(text));
        return IDOK;
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & 0xF0) {
    case MB_ICONERROR: icon = QMessageBox::Critical; break;
    case MB_ICONWARNING: icon = QMessageBox::Warning; break;
    case MB_ICONINFORMATION: icon = QMessageBox::Information; break;
    default: break;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok);
    box.exec();
    return IDOK;
}

int AskQuestion(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
                const std::vector<TAnswer>& answers, int defaultAnswer)
{
    QMessageBox question(icon, caption, text, QMessageBox::NoButton, parent);
    std::vector<QPushButton*> buttons;
    buttons.reserve(answers.size());
    for (const TAnswer& answer : answers)
        buttons.push_back(question.addButton(answer.text, answer.role));
    question.setDefaultButton(buttons.at(size_t(defaultAnswer)));
    question.setEscapeButton(buttons.back());
    question.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), question.clickedButton());
    return chosen == buttons.end() ? int(buttons.size()) - 1 : int(chosen - buttons.begin());
}

void ReportException(const std::exception& error)
{
    if (Application) {
        Application->ShowException(error);
        return;
    }
    const auto* own = dynamic_cast<const Exception*>(&error);
    ShowMessageBox(own ? own->Message() : QString::fromLocal8Bit(error.what()), QStringLiteral("Velmora"),
                   MB_OK | MB_ICONERROR);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    Application = this;
    KeepTheKeyboardWithTheWindows(*this);
}

void TApplication::SetTitle(const QString& title)
{
    title_ = title;
    setApplicationName(title);
}

void TApplication::ShowException(const std::exception& error)
{
    const auto* own = dynamic_cast<const Exception*>(&error);
    const QString message = own ? own->Message() : QString::fromLocal8Bit(error.what());
    ShowMessageBox(message, title_.isEmpty() ? QStringLiteral("Velmora") : title_, MB_OK | MB_ICONERROR);
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    // No exception may cross Qt's event loop: show it and carry on. Commands
    // are guarded where they are connected; this is the last resort.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        ShowException(Exception(QStringLiteral("Mémoire insuffisante pour terminer l'opération.")));
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowException(Exception(QStringLiteral("Erreur inattendue.")));
    }
    return false;
}

bool TApplication::LoadFrenchTranslation()
{
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(translator);
        return true;
    }
    delete translator;
    return false;
}
