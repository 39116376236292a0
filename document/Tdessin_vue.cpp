// The view of a document window: where the window stands, the part of the
// image it shows and how it scrolls, and what it repaints after a tool's
// preview.
#include "document/Tdessin.h"

#include "document/TDessinVue.h"

#include "raster/Screen.h"

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
#include <cmath>
#include <cstring>

QScrollBar* TDessinVue::HorizontalBar() const { return dessin_->hbar_; }

QScrollBar* TDessinVue::VerticalBar() const { return dessin_->vbar_; }

QPoint TDessinVue::ScrollOffset() const { return QPoint(dessin_->hbar_->value(), dessin_->vbar_->value()); }

void TDessin::SetClientSize(int width, int height)
{
    viewport_->zoomAvailable_ = viewport_->AllocateReduites();
    if (!viewport_->zoomAvailable_)
        viewport_->zoom_ = kZoom100;
    // The size is in device pixels: the window covers that many pixels of the
    // screen at any scale factor.
    setFixedSize(WidgetSize(QSize(width, height)));
    LayoutViewport();
    update();
}

QSize TDessin::WidgetSize(QSize device) const
{
    const qreal r = viewport_->Ratio();
    if (r == 1)
        return device;
    return QSize(int(std::ceil(device.width() / r - 1e-9)), int(std::ceil(device.height() / r - 1e-9)));
}

QMargins TDessin::FrameMargins() const
{
    // Known once the platform has framed the window; none before.
    const QWindow* window = windowHandle();
    return window ? window->frameMargins() : QMargins();
}

QRect TDessin::FreeArea() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, Screen->Width(), Screen->Height());
}

void TDessin::PlaceWindow(bool chooseZoom)
{
    const QMargins frame = FrameMargins();
    placedFrame_ = frame;
    const QRect area = FreeArea();
    const QSize room = area.size().shrunkBy(frame);
    // An opened image larger than the room opens at the largest level at which
    // it fits, centred in the free area.
    const QSize full = bmp ? QSize(bmp->Width(), bmp->Height()) : QSize();
    const QSize deviceRoom = (QSizeF(room) * viewport_->Ratio()).toSize();
    if (chooseZoom && centred_ && !viewport_->zoomChosen_ && viewport_->zoomAvailable_)
        viewport_->zoom_ = full.width() <= deviceRoom.width() && full.height() <= deviceRoom.height()
                               ? kZoom100
                               : viewport_->FitLevel(deviceRoom);
    const QSize image = WidgetSize(viewport_->ContentSize());
    if (image.width() <= room.width() && image.height() <= room.height()) {
        setFixedSize(image);
        LayoutViewport();
        const QSize outer = image.grownBy(frame);
        if (centred_ && viewport_->zoom_ == kZoom100)
            move(Screen->Width() / 2 - outer.width() / 2, Screen->Height() / 2 - outer.height() / 2);
        else if (centred_)
            move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
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

void TDessin::resizeEvent(QResizeEvent*)
{
    // The viewport and the scroll bars follow the window's size, however set.
    LayoutViewport();
}

void TDessin::LayoutViewport()
{
    // Sizes in widget units; the image's and the scroll bars' values in
    // device pixels.
    const QSize client = size();
    const QSize image = WidgetSize(viewport_->ContentSize());
    const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    bool horizontal = image.width() > client.width();
    bool vertical = image.height() > client.height();
    horizontal = horizontal || (vertical && image.width() > client.width() - barWidth);
    vertical = vertical || (horizontal && image.height() > client.height() - barWidth);
    const QSize view(std::max(1, client.width() - (vertical ? barWidth : 0)),
                     std::max(1, client.height() - (horizontal ? barWidth : 0)));
    viewport_->setGeometry(QRect(QPoint(0, 0), view));
    const QSize content = viewport_->ContentSize();
    const QSize device = viewport_->DeviceSize();
    // An image smaller than the viewport stands in its middle.
    viewport_->origin_ = QPoint(std::max(0, (device.width() - content.width()) / 2),
                                std::max(0, (device.height() - content.height()) / 2));
    hbar_->setGeometry(0, view.height(), view.width(), barWidth);
    vbar_->setGeometry(view.width(), 0, barWidth, view.height());
    hbar_->setRange(0, std::max(0, content.width() - device.width()));
    vbar_->setRange(0, std::max(0, content.height() - device.height()));
    hbar_->setPageStep(std::max(1, device.width()));
    vbar_->setPageStep(std::max(1, device.height()));
    hbar_->setVisible(horizontal);
    vbar_->setVisible(vertical);
    viewport_->update();
}

void TDessin::FollowPointer(QPoint widgetPoint)
{
    const QRect view = viewport_->geometry();
    const qreal r = viewport_->Ratio();
    const auto step = [r](int units) { return int(std::lround(units * r)); };
    if (widgetPoint.x() < view.left())
        hbar_->setValue(hbar_->value() - step(view.left() - widgetPoint.x()));
    else if (widgetPoint.x() > view.right())
        hbar_->setValue(hbar_->value() + step(widgetPoint.x() - view.right()));
    if (widgetPoint.y() < view.top())
        vbar_->setValue(vbar_->value() - step(view.top() - widgetPoint.y()));
    else if (widgetPoint.y() > view.bottom())
        vbar_->setValue(vbar_->value() + step(widgetPoint.y() - view.bottom()));
}

void TDessin::ShownChanged(const QRect& rect)
{
    viewport_->reduites_.Changed(rect);
    ScheduleUpdate(rect);
}

void TDessin::ScheduleUpdate(const QRect& rect)
{
    // Pixels drawn one by one gather into one repaint: at the end of the
    // mouse event that drew them, or once the current event is handled.
    dirty_ |= rect;
    if (!repaintTimer_.isActive())
        repaintTimer_.start();
}

void TDessin::FlushRepaint()
{
    if (dirty_.isEmpty())
        return;
    repaintTimer_.stop();
    const QRect view = viewport_->ToView(std::exchange(dirty_, QRect()));
    if (viewport_->isVisible())
        viewport_->repaint(view);
    else
        viewport_->update(view);
}

void TDessin::RestorePreview()
{
    const QRect shown = overlay_->Bounds();
    overlay_->Clear();
    if (!shown.isEmpty())
        ShownChanged(shown);
}

bool TDessinVue::AllocateReduites()
{
    return dessin_->bmp && reduites_.Allocate(dessin_->bmp->Width(), dessin_->bmp->Height());
}

void TDessin::paintEvent(QPaintEvent* event)
{
    // Only the corner between the two scroll bars shows through.
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
}
