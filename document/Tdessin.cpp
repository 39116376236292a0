#include "document/Tdessin.h"

#include "document/DocumentHost.h"
#include "kernels/Thistorique.h"
#include "kernels/Tselection.h"
#include "ui/Application.h"
#include "ui/Owner.h"
#include "platform/Screen.h"
#include "tools/Toutil.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
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

TDessin* Dessin = nullptr;

// The part of the client area that shows the image. The mouse goes through it
// to the document window, which maps it to image coordinates.
class TDessinVue : public QWidget {
public:
    explicit TDessinVue(TDessin* dessin) : QWidget(dessin), dessin_(dessin)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent* event) override { dessin_->PaintView(this, event->rect()); }

private:
    TDessin* dessin_;
};

namespace {

// Beyond this many remembered writes a restore repaints the whole image.
constexpr std::size_t kMaxWritten = 1 << 16;
// Pixels scrolled by one arrow click and by one line of the wheel.
constexpr int kScrollStep = 20;

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

TDessin::TDessin(QObject* owner) : QWidget(nullptr) { InitForm(owner); }

TDessin::TDessin(QObject* owner, const QString& fileName) : QWidget(nullptr)
{
    InitForm(owner);
    setWindowTitle(fileName);
    fileName_ = fileName;
    // A file that cannot be read throws here, before the window is shown.
    bmp = std::make_unique<TBitmap>();
    bmp->LoadFromFile(fileName);
    if (bmp->PixelFormat() != pf24bit)
        ShowMessageBox(QStringLiteral("L'image n'est au format 24 bits."), QStringLiteral("Erreur de format"), MB_OK);
    bmp->Canvas()->SetChangeNotifier([this](const QRect& rect) { Record(rect); });
    SetClientSize(bmp->Width(), bmp->Height());
    centred_ = true;
    PlaceWindow();
    selection = std::make_unique<TSelection>(bmp->Width(), bmp->Height());
    lastX = lastY = -1;
    OnPaint();
    show();
    // Showing activates the window; window managers differ in when they say so,
    // so the activation runs here as well.
    OnActivate();
}

TDessin::TDessin(QObject* owner, std::int32_t width, std::int32_t height) : QWidget(nullptr)
{
    InitForm(owner);
    bmp = std::make_unique<TBitmap>();
    bmp->SetWidth(width);
    bmp->SetHeight(height);
    bmp->SetPixelFormat(pf24bit);
    bmp->Canvas()->SetChangeNotifier([this](const QRect& rect) { Record(rect); });
    SetClientSize(width, height);
    PlaceWindow();
    selection = std::make_unique<TSelection>(width, height);
    lastX = lastY = -1;
    OnPaint();
    OnActivate();
}

TDessin::~TDessin() = default;

void TDessin::InitForm(QObject* owner)
{
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Dessin"));
    setFont(TFont().ToQFont());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    SetOwner(this, owner);
    // The palette that owns a document window is also its host.
    host_ = dynamic_cast<TDocumentHost*>(owner);
    surface_.Canvas()->SetChangeNotifier([this](const QRect& rect) { SurfaceChanged(rect); });
    viewport_ = new TDessinVue(this);
    hbar_ = new QScrollBar(Qt::Horizontal, this);
    vbar_ = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar* bar : {hbar_, vbar_}) {
        bar->hide();
        bar->setSingleStep(kScrollStep);
        connect(bar, &QScrollBar::valueChanged, viewport_, [this] { viewport_->update(); });
    }
    repaintTimer_.setSingleShot(true);
    repaintTimer_.setInterval(0);
    connect(&repaintTimer_, &QTimer::timeout, this, [this] {
        viewport_->update(dirty_.translated(-ScrollOffset()));
        dirty_ = QRect();
    });
    move(352, 319);
    SetClientSize(148, 107);
}

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

void TDessin::fusionMasque(TBitmap* processed)
{
    if (bmp && selection)
        RecordChange([&] { selection->fusioncalque(processed, bmp.get()); });
    OnPaint();
}

void TDessin::OnPaint(QObject*)
{
    if (!bmp)
        return;
    WindowCanvas()->Draw(0, 0, *bmp);
    // The window shows the image again: nothing is left to restore.
    written_.clear();
    restoreAll_ = false;
}

void TDessin::OnActivate(QObject*)
{
    if (!host_)
        return;
    if (TOutil* outil = host_->GetOutil()) {
        outil->SetBmp(bmp.get());
        outil->SetMasque(selection.get());
        outil->SetCouleur2(host_->Couleur2());
        outil->SetCouleur1(host_->Couleur1());
    }
    host_->SetDessin(this);
}

void TDessin::EnsureActive()
{
    // Window managers do not all report activation before the first click: a
    // tool must never see a click without this document's image.
    if (!host_ || !bmp)
        return;
    TOutil* outil = host_->GetOutil();
    if (host_->ActiveDessin() != this || (outil && outil->GetBmp() != bmp.get()))
        OnActivate();
}

void TDessin::OnMouseDown(QObject*, TMouseButton button, TShiftState, int x, int y)
{
    BeginGesture();
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
    EndGesture();
}

bool TDessin::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && bmp)
        OnActivate();
    // The frame is known only once the window is shown: place it again with it.
    if ((event->type() == QEvent::Show || event->type() == QEvent::Move) && bmp && isVisible() &&
        FrameMargins() != placedFrame_)
        PlaceWindow();
    return QWidget::event(event);
}

void TDessin::mousePressEvent(QMouseEvent* event)
{
    TMouseButton button;
    if (!toButton(event->button(), &button))
        return;
    // The corner between the scroll bars shows no image.
    if (!viewport_->geometry().contains(event->position().toPoint()))
        return;
    const QPoint p = ToImage(event->position().toPoint());
    // A tool that fails (out of memory in a large fill) is reported here.
    Guarded([&] {
        EnsureActive();
        OnMouseDown(this, button, toShift(event->buttons()), p.x(), p.y());
    })();
}

void TDessin::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = ToImage(event->position().toPoint());
    Guarded([&] { OnMouseMove(this, toShift(event->buttons()), p.x(), p.y()); })();
    if (event->buttons() != Qt::NoButton)
        FollowPointer(event->position().toPoint());
}

void TDessin::mouseReleaseEvent(QMouseEvent* event)
{
    TMouseButton button;
    if (!toButton(event->button(), &button))
        return;
    const QPoint p = ToImage(event->position().toPoint());
    Guarded([&] { OnMouseUp(this, button, toShift(event->buttons()), p.x(), p.y()); })();
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
    bar->setValue(bar->value() - notches * QApplication::wheelScrollLines() * kScrollStep / 120);
    event->accept();
}

void TDessin::closeEvent(QCloseEvent* event)
{
    // Closing only hides the window; it stays the active document if it was.
    event->accept();
}

QStringList TDessin::DroppedImages(const QMimeData* data)
{
    QStringList files;
    if (!data)
        return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && url.toLocalFile().endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive))
            files << url.toLocalFile();
    return files;
}

void TDessin::dragEnterEvent(QDragEnterEvent* event)
{
    if (host_ && !DroppedImages(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TDessin::dropEvent(QDropEvent* event)
{
    // Dropped images open in windows of their own, as from the palette.
    const QStringList files = DroppedImages(event->mimeData());
    if (!host_ || files.isEmpty())
        return;
    event->acceptProposedAction();
    host_->OpenFiles(files);
}
