#include "ui/Keyboard.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>
#include <xcb/xcb.h>

namespace {

// Watches the whole application's shows, hides and presses.
class TKeyboardKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (!receiver->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(receiver);
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            // Seen again by each parent the press goes up to: once is enough.
            if (event == lastPress_)
                break;
            lastPress_ = event;
            Used(widget->window());
            if (event->spontaneous() && IsPlainWindow(widget->window()) && !WindowManagerRuns())
                widget->window()->activateWindow();
            break;
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride: Used(widget->window()); break;
        case QEvent::Show:
            if (widget->isWindow() && widget->isModal())
                BoxShown(widget);
            break;
        case QEvent::Hide:
            if (widget->isWindow())
                BoxHidden(widget);
            break;
        default: break;
        }
        return false;
    }

private:
    static bool IsPlainWindow(const QWidget* window)
    {
        const Qt::WindowType type = window->windowType();
        return !window->isModal() && type != Qt::Popup && type != Qt::ToolTip && type != Qt::Desktop;
    }

    void Used(QWidget* window)
    {
        if (IsPlainWindow(window))
            lastUsed_ = window;
    }

    void BoxShown(QWidget* box)
    {
        std::erase_if(boxes_, [](const QPointer<QWidget>& b) { return b.isNull(); });
        if (std::find(boxes_.begin(), boxes_.end(), box) != boxes_.end())
            return;
        if (boxes_.empty()) {
            // The box is not active yet: the active window is the one it
            // was opened from.
            QWidget* active = QApplication::activeWindow();
            opener_ = active && active != box && IsPlainWindow(active) ? active : lastUsed_.data();
        }
        boxes_.emplace_back(box);
    }

    void BoxHidden(QWidget* box)
    {
        const auto found = std::find(boxes_.begin(), boxes_.end(), box);
        if (found == boxes_.end())
            return;
        boxes_.erase(found);
        std::erase_if(boxes_, [](const QPointer<QWidget>& b) { return b.isNull() || !b->isVisible(); });
        if (!boxes_.empty())
            return;
        // Asked at once, before any window the box's answer opens asks for
        // the keyboard in its turn.
        if (QWidget* window = std::exchange(opener_, nullptr); window && window->isVisible() && !window->isMinimized())
            window->activateWindow();
    }

    std::vector<QPointer<QWidget>> boxes_;
    QPointer<QWidget> opener_; // where the keyboard goes back to
    QPointer<QWidget> lastUsed_;
    const QEvent* lastPress_ = nullptr;
};

TKeyboardKeeper* keeper = nullptr;

} // namespace

void KeepTheKeyboardWithTheWindows(QApplication& application)
{
    if (keeper)
        return;
    keeper = new TKeyboardKeeper(&application);
    application.installEventFilter(keeper);
    QObject::connect(keeper, &QObject::destroyed, [] { keeper = nullptr; });
}

bool WindowManagerRuns()
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return true;
    // Only one client may redirect the root window's children: the window
    // manager. The server tells what all its clients listen to there.
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return true;
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, screen->root), nullptr);
    if (!attributes)
        return true;
    const bool redirected = attributes->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    std::free(attributes);
    return redirected;
}
