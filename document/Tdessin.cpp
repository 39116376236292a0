#include "document/Tdessin.h"

#include "document/DocumentHost.h"
#include "document/Thistorique.h"
#include "document/Tselection.h"
#include "platform/Application.h"
#include "platform/Owner.h"
#include "platform/Screen.h"
#include "tools/Toutil.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>

TDessin* Dessin = nullptr;

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
    SetClientSize(bmp->Width(), bmp->Height());
    CentreOnScreen();
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
    SetClientSize(width, height);
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
    SetOwner(this, owner);
    // The palette that owns a document window is also its host.
    host_ = dynamic_cast<TDocumentHost*>(owner);
    surface_.Canvas()->SetChangeNotifier([this](const QRect& rect) { SurfaceChanged(rect); });
    repaintTimer_.setSingleShot(true);
    repaintTimer_.setInterval(0);
    connect(&repaintTimer_, &QTimer::timeout, this, [this] {
        update(dirty_);
        dirty_ = QRect();
    });
    move(352, 319);
    SetClientSize(148, 107);
}

void TDessin::SetClientSize(int width, int height)
{
    setFixedSize(width, height);
    surface_.SetSize(width, height);
    update();
}

void TDessin::CentreOnScreen()
{
    const QSize outer = frameGeometry().size();
    move(Screen->Width() / 2 - outer.width() / 2, Screen->Height() / 2 - outer.height() / 2);
}

void TDessin::SurfaceChanged(const QRect& rect)
{
    // Pixels drawn one by one on the window canvas gather into one repaint.
    // The timer fires once the current event is handled.
    dirty_ |= rect;
    if (!repaintTimer_.isActive())
        repaintTimer_.start();
}

void TDessin::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, Qt::white);
    painter.drawImage(area.topLeft(), surface_.Image(), area);
}

void TDessin::fusionMasque(TBitmap* processed)
{
    if (bmp && selection)
        RecordChange([&] { selection->fusioncalque(processed, bmp.get()); });
    OnPaint();
}

void TDessin::OnPaint(QObject*)
{
    if (bmp)
        WindowCanvas()->Draw(0, 0, *bmp);
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
    // Only points that differ from the recorded one in both coordinates count.
    if (!outil || !bmp || lastX == -1 || lastY == -1 || x == lastX || y == lastY)
        return;
    if (shift & ssLeft) {
        OnPaint();
        outil->Trace(&lastX, &lastY, x, y, mbLeft, WindowCanvas());
    }
    if (shift & ssRight) {
        OnPaint();
        outil->Trace(&lastX, &lastY, x, y, mbRight, WindowCanvas());
    }
}

void TDessin::OnMouseUp(QObject*, TMouseButton button, TShiftState, int x, int y)
{
    TOutil* outil = host_ ? host_->GetOutil() : nullptr;
    if (outil && bmp && lastX != -1 && lastY != -1 && x != lastX && y != lastY)
        outil->Trace(&lastX, &lastY, x, y, button, nullptr);
    OnPaint();
    EndGesture();
}

bool TDessin::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && bmp)
        OnActivate();
    return QWidget::event(event);
}

void TDessin::mousePressEvent(QMouseEvent* event)
{
    TMouseButton button;
    if (!toButton(event->button(), &button))
        return;
    const QPoint p = event->position().toPoint();
    // A tool that fails (out of memory in a large fill) is reported here.
    Guarded([&] {
        EnsureActive();
        OnMouseDown(this, button, toShift(event->buttons()), p.x(), p.y());
    })();
}

void TDessin::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    Guarded([&] { OnMouseMove(this, toShift(event->buttons()), p.x(), p.y()); })();
}

void TDessin::mouseReleaseEvent(QMouseEvent* event)
{
    TMouseButton button;
    if (!toButton(event->button(), &button))
        return;
    const QPoint p = event->position().toPoint();
    Guarded([&] { OnMouseUp(this, button, toShift(event->buttons()), p.x(), p.y()); })();
}

void TDessin::closeEvent(QCloseEvent* event)
{
    // Closing only hides the window; it stays the active document if it was.
    event->accept();
}
