#pragma once

#include "document/TVueReduite.h"

#include <QImage>
#include <QPaintEvent>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <iterator>

class QGraphicsOpacityEffect;
class QLabel;
class QPainter;
class QPropertyAnimation;
class QScrollBar;
class TDessin;

// The view's zoom levels: the image is shown `num` / `den` times its size.
struct TZoomLevel {
    int num;
    int den;
};
inline constexpr TZoomLevel kZoomLevels[] = {{1, 16}, {1, 12}, {1, 8},  {1, 6},  {1, 4},  {1, 3},
                                             {1, 2},  {2, 3},  {1, 1},  {2, 1},  {3, 1},  {4, 1},
                                             {6, 1},  {8, 1},  {12, 1}, {16, 1}, {24, 1}, {32, 1}};
inline constexpr int kZoomLevelCount = int(std::size(kZoomLevels));
inline constexpr int kZoom100 = 8;

// The view of a document window: the part of its client area that shows the
// image, at a zoom level, scrolled by the window's bars, with the outline of a
// rectangular selection. It shows the image as the window canvas shows it
// (what tools drew over it included) and changes no pixel of either. The
// mouse goes through it to the window, which maps it to image coordinates.
class TDessinVue : public QWidget {
public:
    explicit TDessinVue(TDessin* dessin);

    // The window's scroll bars, and their values: the point of the zoomed
    // image shown at the view's top-left corner, in device pixels (the image
    // point at 100 %).
    QScrollBar* HorizontalBar() const;
    QScrollBar* VerticalBar() const;
    QPoint ScrollOffset() const;

    // The zoom (Tdessin_zoom.cpp): an index in kZoomLevels. Ctrl+wheel zooms
    // one level keeping the image point under the pointer where it is;
    // Ctrl++, Ctrl+= and Ctrl+- zoom around the view's centre, Ctrl+0 fits
    // the image in the window, Ctrl+1 shows it at 100 %. The window keeps its
    // place and size. Each returns false when nothing changed (past the
    // extreme levels, or no zoom for want of memory).
    int ZoomIndex() const { return zoom_; }
    bool ZoomAt(int index, QPointF viewPoint);
    bool SetZoom(int index);
    bool FitInWindow();
    bool ZoomAvailable() const { return zoomAvailable_; }
    // The level's caption, "100 %", as the overlay shows it.
    static QString ZoomCaption(int index);
    // The overlay that shows the level for a moment after each change.
    QWidget* LevelOverlay() const;
    // The view counts device pixels: at 100 % one image pixel is one pixel of
    // the screen, whatever the desktop's scale factor. Points and rectangles
    // of the view are in Qt's (scaled) widget units, as its events give them.
    // Device pixels per widget unit.
    qreal Ratio() const { return devicePixelRatioF(); }
    // The image pixel under a point of the view, the same point in fractions
    // of an image pixel, and the view rectangle that shows an image rectangle.
    QPoint ToImage(QPointF viewPoint) const;
    QPointF ImagePoint(QPointF viewPoint) const;
    QRect ToView(const QRect& imageRect) const { return ToWidget(ToDevice(imageRect)); }
    // The device pixels of the viewport that show an image rectangle.
    QRect ToDevice(const QRect& imageRect) const;
    // The size of the whole image at the current level, in device pixels.
    QSize ContentSize() const;
    // The viewport's size in device pixels.
    QSize DeviceSize() const { return (QSizeF(size()) * Ratio()).toSize(); }
    // The view as it is painted: the image at its level and the selection
    // outline (never the level overlay).
    QImage RenderView();
    // The editable rectangle the view outlines; empty when every pixel is
    // editable or none is. A floating piece's rectangle over the image is
    // outlined wherever it stands.
    QRect SelectionOutline() const { return outline_; }
    // Reads the outline from the mask again (after a selection tool's release).
    void UpdateOutline();
    // The reduced copies the view shows below 100 %.
    const TVueReduite& Reduites() const { return reduites_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class TDessin;

    // The device pixels under a rectangle of widget units, and the widget
    // units that cover a rectangle of device pixels.
    QRect ToDeviceArea(const QRect& widgetRect) const;
    QRect ToWidget(const QRect& deviceRect) const;
    // Paints the device pixels `area` of the viewport into `frame_`, from
    // its top-left corner.
    void RenderArea(const QRect& area);
    // Paints the floating piece and the hole it left over `area` of `frame_`.
    void RenderFloating(const QRect& area);
    // Draws the outline over `area` of `frame_`.
    void DrawOutline(const QRect& area);
    // Moves the outline's dashes one step.
    void MarchAnts();
    // Sizes the reduced copies for the image; false when they cannot be
    // allocated.
    bool AllocateReduites();
    // The largest level at which the whole image fits `room` (device pixels);
    // the smallest one when none does.
    int FitLevel(QSize room) const;
    void ShowLevel();
    // The zoom keys; false for any other key.
    bool ZoomKey(int key, Qt::KeyboardModifiers mods);
    // Frees the reduced copies and the frame (the window goes).
    void Release();

    TDessin* dessin_;
    int zoom_ = kZoom100;
    bool zoomAvailable_ = true;
    bool zoomChosen_ = false; // by the user: placing the window again keeps it
    QPoint origin_; // where the image starts while smaller than the viewport (device pixels)
    TVueReduite reduites_;
    QImage frame_;
    QLabel* levelOverlay_ = nullptr;
    QGraphicsOpacityEffect* overlayOpacity_ = nullptr;
    QPropertyAnimation* overlayFade_ = nullptr;
    QRect outline_;
    QTimer antsTimer_;
    int antsPhase_ = 0;
};
