// The view of a document window: where the window stands, the part of the
// image it shows and how it scrolls, and what it repaints after a tool's
// preview.
#include "document/Tdessin.h"

#include "document/TDessinVue.h"

#include "platform/Screen.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <cstring>

namespace {

// Beyond this many remembered writes a restore repaints the whole image.
constexpr std::size_t kMaxWritten = 1 << 16;

} // namespace

QWidget* TDessin::Viewport() const { return viewport_; }

QPoint TDessin::ScrollOffset() const { return QPoint(hbar_->value(), vbar_->value()); }

void TDessin::SetClientSize(int width, int height)
{
    // The window canvas always has the image's size, whatever part is shown.
    surface_.SetSize(width, height);
    setFixedSize(width, height);
    LayoutViewport();
    update();
}

QMargins TDessin::FrameMargins() const
{
    // Known once the platform has framed the window; none before.
    const QWindow* window = windowHandle();
    return window ? window->frameMargins() : QMargins();
}

void TDessin::PlaceWindow()
{
    const QMargins frame = FrameMargins();
    placedFrame_ = frame;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, Screen->Width(), Screen->Height());
    const QSize room = area.size().shrunkBy(frame);
    const QSize image = surface_.Image().size();
    if (image.width() <= room.width() && image.height() <= room.height()) {
        setFixedSize(image);
        LayoutViewport();
        if (centred_) {
            const QSize outer = image.grownBy(frame);
            move(Screen->Width() / 2 - outer.width() / 2, Screen->Height() / 2 - outer.height() / 2);
        }
        return;
    }
    // Too large: the window takes the free area, or less in a direction where
    // the image and its scroll bar fit, with its title bar on the screen.
    const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    bool horizontal = image.width() > room.width();
    bool vertical = image.height() > room.height();
    horizontal = horizontal || (vertical && image.width() + barWidth > room.width());
    vertical = vertical || (horizontal && image.height() + barWidth > room.height());
    const int width = std::max(std::min(room.width(), image.width() + (vertical ? barWidth : 0)), 2 * barWidth);
    const int height = std::max(std::min(room.height(), image.height() + (horizontal ? barWidth : 0)), 2 * barWidth);
    setFixedSize(width, height);
    LayoutViewport();
    move(area.topLeft());
}

void TDessin::LayoutViewport()
{
    const QSize client = size();
    const QSize image = surface_.Image().size();
    const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    bool horizontal = image.width() > client.width();
    bool vertical = image.height() > client.height();
    horizontal = horizontal || (vertical && image.width() > client.width() - barWidth);
    vertical = vertical || (horizontal && image.height() > client.height() - barWidth);
    const QSize view(client.width() - (vertical ? barWidth : 0), client.height() - (horizontal ? barWidth : 0));
    viewport_->setGeometry(QRect(QPoint(0, 0), view));
    hbar_->setGeometry(0, view.height(), view.width(), barWidth);
    vbar_->setGeometry(view.width(), 0, barWidth, view.height());
    hbar_->setRange(0, std::max(0, image.width() - view.width()));
    vbar_->setRange(0, std::max(0, image.height() - view.height()));
    hbar_->setPageStep(std::max(1, view.width()));
    vbar_->setPageStep(std::max(1, view.height()));
    hbar_->setVisible(horizontal);
    vbar_->setVisible(vertical);
    viewport_->update();
}

QPoint TDessin::ToImage(QPoint widgetPoint) const { return widgetPoint + ScrollOffset(); }

void TDessin::FollowPointer(QPoint widgetPoint)
{
    const QRect view = viewport_->geometry();
    if (widgetPoint.x() < view.left())
        hbar_->setValue(hbar_->value() - (view.left() - widgetPoint.x()));
    else if (widgetPoint.x() > view.right())
        hbar_->setValue(hbar_->value() + (widgetPoint.x() - view.right()));
    if (widgetPoint.y() < view.top())
        vbar_->setValue(vbar_->value() - (view.top() - widgetPoint.y()));
    else if (widgetPoint.y() > view.bottom())
        vbar_->setValue(vbar_->value() + (widgetPoint.y() - view.bottom()));
}

void TDessin::SurfaceChanged(const QRect& rect)
{
    Record(rect);
    ScheduleUpdate(rect);
}

void TDessin::ScheduleUpdate(const QRect& rect)
{
    // Pixels drawn one by one on the window canvas gather into one repaint.
    // The timer fires once the current event is handled.
    dirty_ |= rect;
    if (!repaintTimer_.isActive())
        repaintTimer_.start();
}

void TDessin::Record(const QRect& rect)
{
    if (restoreAll_ || rect.isEmpty())
        return;
    // Neighbouring pixels of one row join into one span.
    if (!written_.empty() && rect.height() == 1) {
        QRect& last = written_.back();
        if (last.height() == 1 && last.top() == rect.top() && rect.left() <= last.right() + 1 &&
            rect.right() >= last.left() - 1) {
            last |= rect;
            return;
        }
    }
    if (written_.size() >= kMaxWritten) {
        restoreAll_ = true;
        written_.clear();
        return;
    }
    written_.push_back(rect);
}

void TDessin::RestorePreview()
{
    if (!bmp)
        return;
    if (restoreAll_) {
        OnPaint();
        return;
    }
    const QRect bounds = QRect(0, 0, bmp->Width(), bmp->Height()) & surface_.Image().rect();
    QRect restored;
    for (const QRect& rect : written_) {
        const QRect area = rect & bounds;
        if (area.isEmpty())
            continue;
        const std::size_t bytes = std::size_t(area.width()) * 3;
        for (int row = area.top(); row <= area.bottom(); ++row)
            std::memcpy(surface_.ScanLine(row) + 3 * qsizetype(area.left()),
                        bmp->ScanLine(row) + 3 * qsizetype(area.left()), bytes);
        restored |= area;
    }
    written_.clear();
    if (!restored.isEmpty())
        ScheduleUpdate(restored);
}

void TDessin::paintEvent(QPaintEvent* event)
{
    // Only the corner between the two scroll bars shows through.
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
}

void TDessin::PaintView(QWidget* view, const QRect& area)
{
    QPainter painter(view);
    painter.fillRect(area, Qt::white);
    painter.drawImage(area.topLeft(), surface_.Image(), area.translated(ScrollOffset()));
}

void TDessin::wheelEvent(QWheelEvent* event)
{
    // The wheel scrolls down and up, with Shift across; a sideways wheel across.
    const QPoint delta = event->angleDelta();
    const bool across = (event->modifiers() & Qt::ShiftModifier) || (delta.y() == 0 && delta.x() != 0);
    const int notches = delta.y() != 0 ? delta.y() : delta.x();
    QScrollBar* bar = across ? hbar_ : vbar_;
    if (!bar->isVisible() || notches == 0) {
        event->ignore();
        return;
    }
    bar->setValue(bar->value() - notches * QApplication::wheelScrollLines() * kDessinScrollStep / 120);
    event->accept();
}
