// The mouse in a document window: mapped through the view to image pixels,
// handed to the current tool, or moving a floating piece.
#include "document/Tdessin.h"

#include "codecs/ImageFile.h"
#include "document/DocumentHost.h"
#include "document/TDessinVue.h"
#include "kernels/Tselection.h"
#include "model/ImageDocument.h"
#include "raster/Screen.h"
#include "tools/Toutil.h"
#include "tools/Tselectrect.h"
#include "ui/Application.h"
#include "ui/Aside.h"
#include "ui/Owner.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <malloc.h>
#include <utility>

namespace {

bool toButton(Qt::MouseButton qt, TMouseButton* button)
{
    switch (qt) {
    case Qt::LeftButton: *button = mbLeft; return true;
    case Qt::RightButton: *button = mbRight; return true;
    case Qt::MiddleButton: *button = mbMiddle; return true;
    default: return false;
    }
}

TShiftState toShift(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? ssLeft : 0u) | (buttons & Qt::RightButton ? ssRight : 0u) |
           (buttons & Qt::MiddleButton ? ssMiddle : 0u);
}

} // namespace

void TDessin::OnMouseDown(QObject*, TMouseButton button, TShiftState, int x, int y)
{
    if (model_)
        model_->BeginGesture();
    TOutil* outil = host_ ? host_->GetOutil() : nullptr;
    if (outil && bmp)
        outil->Clic(x, y, button, WindowCanvas());
    lastX = x;
    lastY = y;
}

void TDessin::OnMouseMove(QObject*, TShiftState shift, int x, int y)
{
    TOutil* outil = host_ ? host_->GetOutil() : nullptr;
    // Only points that differ from the recorded one count.
    if (!outil || !bmp || lastX == -1 || lastY == -1 || (x == lastX && y == lastY))
        return;
    if (shift & ssLeft) {
        RestorePreview();
        outil->Trace(&lastX, &lastY, x, y, mbLeft, WindowCanvas());
    }
    if (shift & ssRight) {
        RestorePreview();
        outil->Trace(&lastX, &lastY, x, y, mbRight, WindowCanvas());
    }
}

void TDessin::OnMouseUp(QObject*, TMouseButton button, TShiftState, int x, int y)
{
    TOutil* outil = host_ ? host_->GetOutil() : nullptr;
    if (outil && bmp && lastX != -1 && lastY != -1 && (x != lastX || y != lastY))
        outil->Trace(&lastX, &lastY, x, y, button, nullptr);
    OnPaint();
    if (model_)
        model_->EndGesture();
    // Only the selection tool changes the editable rectangle.
    if (dynamic_cast<TSelectRect*>(outil))
        viewport_->UpdateOutline();
}

void TDessin::mousePressEvent(QMouseEvent* event)
{
    TMouseButton button;
    if (!toButton(event->button(), &button))
        return;
    // The corner between the scroll bars shows no image.
    if (!viewport_->geometry().contains(event->position().toPoint()))
        return;
    const QPoint p = viewport_->ToImage(event->position());
    pressTaken_ = true;
    if (PressFloating(p, event->modifiers())) {
        FlushRepaint();
        return;
    }
    // A tool that fails (out of memory in a large fill) is reported here.
    Guarded([&] {
        EnsureActive();
        OnMouseDown(this, button, toShift(event->buttons()), p.x(), p.y());
    })();
    FlushRepaint();
}

void TDessin::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = viewport_->ToImage(event->position());
    if (dragging_) {
        model_->MoveFloating(p - dragGrip_);
        FlushRepaint();
        FollowPointer(event->position().toPoint());
        return;
    }
    // Buttons pressed while the image was being written reach no tool: the
    // tool would go on from the point of an earlier stroke.
    if (!pressTaken_)
        return;
    Guarded([&] { OnMouseMove(this, toShift(event->buttons()), p.x(), p.y()); })();
    FlushRepaint();
    if (event->buttons() != Qt::NoButton)
        FollowPointer(event->position().toPoint());
}

void TDessin::mouseReleaseEvent(QMouseEvent* event)
{
    TMouseButton button;
    if (!toButton(event->button(), &button))
        return;
    const bool taken = std::exchange(pressTaken_, pressTaken_ && event->buttons() != Qt::NoButton);
    if (dragging_) {
        dragging_ = false;
        return;
    }
    if (!taken)
        return;
    const QPoint p = viewport_->ToImage(event->position());
    Guarded([&] { OnMouseUp(this, button, toShift(event->buttons()), p.x(), p.y()); })();
    FlushRepaint();
}

bool TDessin::PressFloating(QPoint p, Qt::KeyboardModifiers mods)
{
    if (!model_)
        return false;
    // Ctrl with the selection tool, inside the selected rectangle: its pixels
    // are lifted and carried.
    const QRect selected = model_->SelectionBounds();
    if (!model_->Floating() && mods == Qt::ControlModifier && host_ && dynamic_cast<TSelectRect*>(host_->GetOutil()) &&
        selected != QRect(0, 0, bmp->Width(), bmp->Height()) && selected.contains(p)) {
        model_->Lift(host_->Couleur2());
    }
    if (!model_->Floating())
        return false;
    if (model_->FloatingRect().contains(p)) {
        dragging_ = true;
        dragGrip_ = p - model_->FloatingAt();
    } else {
        // A press outside sets the piece down, and does nothing else.
        model_->SetDown();
        OnPaint();
    }
    return true;
}
