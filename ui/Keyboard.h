#pragma once

class QApplication;

// Where the keyboard goes, whatever the window manager, or none.
//
// A box (a modal dialog or message) gives the keyboard back, once closed, to
// the window it was opened from: the active window, or the one last pressed
// or typed in when none is; by default the window manager gives it to the
// window the box stands over, often the palette, and on a bare X server to no
// window at all. And since a bare X server gives the keyboard to no window on
// a click, there a press in a window gives it the keyboard.
void KeepTheKeyboardWithTheWindows(QApplication& application);

// True unless the program runs on an X server without a window manager; each
// call asks the server, since a window manager may start after the program.
bool WindowManagerRuns();
