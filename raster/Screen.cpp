#include "raster/Screen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace {
TScreen theScreen;

QScreen* primary()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
}
} // namespace

TScreen* Screen = &theScreen;

int TScreen::Width() const
{
    const QScreen* screen = primary();
    return screen ? screen->geometry().width() : 1024;
}

int TScreen::Height() const
{
    const QScreen* screen = primary();
    return screen ? screen->geometry().height() : 768;
}

void TScreen::SetCursor(int cursor)
{
    cursor_ = cursor;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    if (cursor == crDefault) {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        return;
    }
    const QCursor shape(cursor == crHourGlass ? Qt::WaitCursor : Qt::ArrowCursor);
    if (QGuiApplication::overrideCursor())
        QGuiApplication::changeOverrideCursor(shape);
    else
        QGuiApplication::setOverrideCursor(shape);
}
