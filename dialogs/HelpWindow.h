#pragma once

#include <QString>
#include <QWidget>

class QKeyEvent;
class QLabel;
class QPushButton;
class QTextBrowser;

// The help page shown by the program itself, with Qt's rich-text browser: it
// needs no web browser. Links within the page and its pictures work; a link
// to the web goes to the desktop's browser when there is one.
class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* owner = nullptr);

    // Shows `page` (an HTML file); false, with nothing shown, when it cannot be read.
    bool ShowPage(const QString& page);

    QTextBrowser* Browser() const { return browser_; }
    QLabel* Version() const { return version_; }
    // Opens the page in the desktop's browser instead.
    QPushButton* BrowserButton() const { return inBrowser_; }

    // The program that opens the page in a browser.
    QString opener = QStringLiteral("xdg-open");

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OpenInBrowser();

    QTextBrowser* browser_;
    QLabel* version_;
    QPushButton* inBrowser_;
    QString page_;
};
