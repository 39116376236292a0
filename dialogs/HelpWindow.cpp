#include "dialogs/HelpWindow.h"

#include "ui/Application.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

THelpWindow::THelpWindow(QWidget* owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Aide de Velmora"));
    browser_ = new QTextBrowser(this);
    // Links to other pages of the help stay here; the web goes to a browser.
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.isLocalFile() || url.isRelative())
            browser_->setSource(url);
        else
            QDesktopServices::openUrl(url);
    });
    version_ = new QLabel(QStringLiteral("Velmora %1").arg(QStringLiteral(VELMORA_VERSION)), this);
    inBrowser_ = new QPushButton(QStringLiteral("Ouvrir dans le navigateur"), this);
    auto* close = new QPushButton(QStringLiteral("Fermer"), this);
    connect(inBrowser_, &QPushButton::clicked, this, &THelpWindow::OpenInBrowser);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(version_);
    buttons->addStretch();
    buttons->addWidget(inBrowser_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addLayout(buttons);
    resize(640, 720);
}

bool THelpWindow::ShowPage(const QString& page)
{
    if (!QFileInfo(page).isFile() || !QFileInfo(page).isReadable())
        return false;
    page_ = page;
    browser_->setSource(QUrl::fromLocalFile(page));
    show();
    raise();
    activateWindow();
    return true;
}

void THelpWindow::OpenInBrowser()
{
    if (!QProcess::startDetached(opener, {page_}))
        ShowMessageBox(QStringLiteral("Impossible d'ouvrir la page d'aide dans un navigateur : le programme « %1 » ne "
                                      "démarre pas (installez le paquet xdg-utils).")
                           .arg(opener),
                       QStringLiteral("Aide"), MB_OK | MB_ICONWARNING);
}

void THelpWindow::keyPressEvent(QKeyEvent* event)
{
    // Échap closes the window wherever the keyboard is in it: the page and the
    // buttons leave that key to the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
