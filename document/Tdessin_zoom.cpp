// The zoom of a document's view: its levels, the mapping between the viewport
// and the image, the keys and the wheel, and the overlay that shows the level.
// The window keeps its place and size; only what the viewport shows changes.
#include "document/Tdessin.h"

#include "document/TDessinVue.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

std::int64_t ceilDiv(std::int64_t a, std::int64_t b) { return -floorDiv(-a, b); }

// The overlay shows the level at once, holds it, then fades it out.
constexpr int kOverlayMs = 1500;

} // namespace

QString TDessinVue::ZoomCaption(int index)
{
    static const char* const captions[kZoomLevelCount] = {"6,25 %", "8,33 %", "12,5 %", "16,67 %", "25 %",   "33,3 %",
                                                          "50 %",   "66,7 %", "100 %",  "200 %",   "300 %",  "400 %",
                                                          "600 %",  "800 %",  "1200 %", "1600 %",  "2400 %", "3200 %"};
    return index >= 0 && index < kZoomLevelCount ? QString::fromUtf8(captions[index]) : QString();
}

QSize TDessinVue::ContentSize() const
{
    // At least one screen pixel per direction, whatever the level.
    const TZoomLevel level = kZoomLevels[zoom_];
    const QSize image = dessin_->bmp ? QSize(dessin_->bmp->Width(), dessin_->bmp->Height()) : QSize();
    return QSize(int(std::max<std::int64_t>(1, ceilDiv(std::int64_t(image.width()) * level.num, level.den))),
                 int(std::max<std::int64_t>(1, ceilDiv(std::int64_t(image.height()) * level.num, level.den))));
}

QRect TDessinVue::ToDeviceArea(const QRect& widgetRect) const
{
    if (widgetRect.isEmpty())
        return {};
    const qreal r = Ratio();
    const QPoint first(int(std::floor(widgetRect.left() * r)), int(std::floor(widgetRect.top() * r)));
    const QPoint past(int(std::ceil((widgetRect.right() + 1) * r)), int(std::ceil((widgetRect.bottom() + 1) * r)));
    return QRect(first, past - QPoint(1, 1)) & QRect(QPoint(0, 0), DeviceSize());
}

QRect TDessinVue::ToWidget(const QRect& deviceRect) const
{
    if (deviceRect.isEmpty())
        return {};
    const qreal r = Ratio();
    if (r == 1)
        return deviceRect;
    const QPoint first(int(std::floor(deviceRect.left() / r)), int(std::floor(deviceRect.top() / r)));
    const QPoint past(int(std::ceil((deviceRect.right() + 1) / r)), int(std::ceil((deviceRect.bottom() + 1) / r)));
    return QRect(first, past - QPoint(1, 1));
}

QPointF TDessinVue::ImagePoint(QPointF viewPoint) const
{
    const TZoomLevel level = kZoomLevels[zoom_];
    return (viewPoint * Ratio() - QPointF(origin_) + QPointF(ScrollOffset())) * level.den / level.num;
}

QPoint TDessinVue::ToImage(QPointF viewPoint) const
{
    // Screen pixel z of the zoomed image shows image pixel floor(z * den / num).
    const QPointF image = ImagePoint(viewPoint);
    return QPoint(int(std::floor(image.x())), int(std::floor(image.y())));
}

QRect TDessinVue::ToDevice(const QRect& imageRect) const
{
    if (imageRect.isEmpty())
        return {};
    const TZoomLevel level = kZoomLevels[zoom_];
    const QPoint shift = origin_ - ScrollOffset();
    const auto first = [&](int i) { return int(floorDiv(std::int64_t(i) * level.num, level.den)); };
    const auto past = [&](int i) { return int(ceilDiv(std::int64_t(i) * level.num, level.den)); };
    const int x0 = first(imageRect.left()), y0 = first(imageRect.top());
    return QRect(x0, y0, past(imageRect.right() + 1) - x0, past(imageRect.bottom() + 1) - y0).translated(shift);
}

int TDessinVue::FitLevel(QSize room) const
{
    const QSize image = dessin_->bmp ? QSize(dessin_->bmp->Width(), dessin_->bmp->Height()) : QSize();
    for (int index = kZoomLevelCount - 1; index > 0; --index) {
        const TZoomLevel level = kZoomLevels[index];
        if (ceilDiv(std::int64_t(image.width()) * level.num, level.den) <= room.width() &&
            ceilDiv(std::int64_t(image.height()) * level.num, level.den) <= room.height())
            return index;
    }
    return 0;
}

bool TDessinVue::ZoomAt(int index, QPointF viewPoint)
{
    if (!dessin_->bmp || !zoomAvailable_ || index < 0 || index >= kZoomLevelCount || index == zoom_)
        return false;
    // The image point under `viewPoint`, in fractions of a pixel, stays under it.
    const QPointF image = ImagePoint(viewPoint);
    zoom_ = index;
    zoomChosen_ = true;
    dessin_->LayoutViewport();
    const TZoomLevel after = kZoomLevels[zoom_];
    const QPointF scroll = image * after.num / after.den - viewPoint * Ratio() + QPointF(origin_);
    dessin_->hbar_->setValue(int(std::lround(scroll.x())));
    dessin_->vbar_->setValue(int(std::lround(scroll.y())));
    update();
    ShowLevel();
    return true;
}

bool TDessinVue::SetZoom(int index) { return ZoomAt(index, QRectF(rect()).center()); }

bool TDessinVue::FitInWindow()
{
    // The whole window, without its scroll bars, is the room.
    return SetZoom(FitLevel((QSizeF(dessin_->size()) * Ratio()).toSize()));
}

QWidget* TDessinVue::LevelOverlay() const { return levelOverlay_; }

void TDessinVue::ShowLevel()
{
    if (!levelOverlay_) {
        levelOverlay_ = new QLabel(this);
        levelOverlay_->setAttribute(Qt::WA_TransparentForMouseEvents);
        levelOverlay_->setStyleSheet(QStringLiteral("QLabel { background: rgba(0, 0, 0, 170); color: white; "
                                                    "padding: 3px 8px; border-radius: 4px; }"));
        overlayOpacity_ = new QGraphicsOpacityEffect(levelOverlay_);
        levelOverlay_->setGraphicsEffect(overlayOpacity_);
        overlayFade_ = new QPropertyAnimation(overlayOpacity_, "opacity", levelOverlay_);
        overlayFade_->setDuration(kOverlayMs);
        overlayFade_->setStartValue(1.0);
        overlayFade_->setKeyValueAt(0.6, 1.0);
        overlayFade_->setEndValue(0.0);
        connect(overlayFade_, &QPropertyAnimation::finished, levelOverlay_, &QWidget::hide);
    }
    levelOverlay_->setText(ZoomCaption(zoom_));
    levelOverlay_->adjustSize();
    levelOverlay_->move(8, 8);
    overlayFade_->stop();
    overlayOpacity_->setOpacity(1.0);
    levelOverlay_->show();
    levelOverlay_->raise();
    overlayFade_->start();
}

bool TDessinVue::ZoomKey(int key, Qt::KeyboardModifiers mods)
{
    // "+" takes Shift on many keyboards: Ctrl+Shift++ zooms in as well.
    const bool control = mods == Qt::ControlModifier;
    if ((key == Qt::Key_Plus && (control || mods == (Qt::ControlModifier | Qt::ShiftModifier))) ||
        (key == Qt::Key_Equal && control))
        SetZoom(zoom_ + 1);
    else if (key == Qt::Key_Minus && control)
        SetZoom(zoom_ - 1);
    else if (key == Qt::Key_0 && control)
        FitInWindow();
    else if (key == Qt::Key_1 && control)
        SetZoom(kZoom100);
    else
        return false;
    return true;
}

void TDessin::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        // One level per event, whatever the wheel's resolution.
        if (delta.y() != 0)
            viewport_->ZoomAt(viewport_->zoom_ + (delta.y() > 0 ? 1 : -1), event->position());
        event->accept();
        return;
    }
    // The wheel scrolls down and up, with Shift across; a sideways wheel across.
    const bool across = (event->modifiers() & Qt::ShiftModifier) || (delta.y() == 0 && delta.x() != 0);
    const int notches = delta.y() != 0 ? delta.y() : delta.x();
    QScrollBar* bar = across ? hbar_ : vbar_;
    if (!bar->isVisible() || notches == 0) {
        event->ignore();
        return;
    }
    bar->setValue(bar->value() -
                  int(notches * QApplication::wheelScrollLines() * kDessinScrollStep * viewport_->Ratio() / 120));
    event->accept();
}
