#pragma once

#include <QObject>
#include <functional>

// Long work (writing or reading a large image) on a thread of its own, while
// the windows go on answering.

// Runs `work` on a thread of its own and returns once it has ended,
// rethrowing what it threw. Work that ends within `momentMs` is simply waited
// for; longer work calls `busy(true)`, lets the event loop run (windows
// repaint, palettes and other windows answer) until it ends, then calls
// `busy(false)`.
void RunAside(const std::function<void()>& work, const std::function<void(bool)>& busy = {}, int momentMs = 50);

// True while work started by RunAside runs.
bool AsideRunning();

// Calls `then` from the event loop once no work runs aside (soon, when none
// does); never once `context` is gone.
void WhenNothingAside(QObject* context, std::function<void()> then);

// For tests: `gate` runs on the work's thread before each work (none when
// empty), so that a test can act while the work is under way.
void SetAsideGate(std::function<void()> gate);
