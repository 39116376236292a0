#pragma once

#include <QObject>
#include <QWidget>

// Makes `owner` destroy `window` when it goes, without making the window a
// child of the owner: owned windows stay ordinary top-level windows.
inline void SetOwner(QWidget* window, QObject* owner)
{
    if (owner)
        QObject::connect(owner, &QObject::destroyed, window, [window] { delete window; });
}
