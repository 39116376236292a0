#pragma once

#include <QString>

// The name that the X window manager in charge gives itself (the _NET_WM_NAME
// of its _NET_SUPPORTING_WM_CHECK window): "Mutter", "KWin", "Weston WM"...
// Empty when the program does not run on X11 or no window manager says so.
QString X11WindowManagerName();
