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

TDessin* Dessin = nullptr;

TDessin::TDessin(QObject* owner) : QWidget(nullptr) { InitForm(owner); }

TDessin::TDessin(QObject* owner, const QString& fileName) : QWidget(nullptr)
{
    InitForm(owner);
    // A file that cannot be read throws here, before the window is shown. A
    // large one is read off the user interface's thread, under the busy
    // pointer, while the other windows go on answering.
    ReadPicture picture;
    RunAside([&] { picture = ReadImageFile(fileName); },
             [](bool busy) {
                 if (busy)
                     QGuiApplication::setOverrideCursor(Qt::BusyCursor);
                 else
                     QGuiApplication::restoreOverrideCursor();
             });
    Adopt(std::make_unique<ImageDocument>(std::move(picture), fileName));
    setWindowTitle(model_->FileName());
    if (bmp->PixelFormat() != pf24bit)
        ShowMessageBox(QStringLiteral("L'image n'est au format 24 bits."), QStringLiteral("Erreur de format"), MB_OK);
    SetClientSize(bmp->Width(), bmp->Height());
    if (!viewport_->zoomAvailable_)
        ShowMessageBox(QStringLiteral("Mémoire insuffisante : le zoom n'est pas disponible pour cette image."),
                       QStringLiteral("Zoom"), MB_OK);
    centred_ = true;
    PlaceWindow();
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
    Adopt(std::make_unique<ImageDocument>(width, height));
    SetClientSize(width, height);
    if (!viewport_->zoomAvailable_)
        ShowMessageBox(QStringLiteral("Mémoire insuffisante : le zoom n'est pas disponible pour cette image."),
                       QStringLiteral("Zoom"), MB_OK);
    PlaceWindow();
    lastX = lastY = -1;
    OnPaint();
    OnActivate();
}

void TDessin::Adopt(std::unique_ptr<ImageDocument> model)
{
    model_ = std::move(model);
    bmp = &model_->Image();
    ShowOver(*bmp);
    // Once closed, the window and its image are freed.
    setAttribute(Qt::WA_DeleteOnClose);
    connect(model_.get(), &ImageDocument::Changed, this, &TDessin::ImageChanged);
    connect(model_.get(), &ImageDocument::Resized, this, &TDessin::ImageResized);
    connect(model_.get(), &ImageDocument::FloatingChanged, this, [this](const QRect& rect) {
        ScheduleUpdate(rect);
        viewport_->UpdateOutline();
    });
}

void TDessin::ImageChanged(const QRect& rect) { ShownChanged(rect); }

void TDessin::ShowOver(TBitmap& image)
{
    overlay_ = std::make_unique<TTileOverlay>(image);
    windowCanvas_ = std::make_unique<TCanvas>(image, *overlay_);
    windowCanvas_->SetChangeNotifier([this](const QRect& rect) { ShownChanged(rect); });
}

void TDessin::ImageResized()
{
    overlay_->Clear();
    viewport_->reduites_.Changed(QRect(0, 0, bmp->Width(), bmp->Height()));
    const int zoom = viewport_->zoom_;
    SetClientSize(bmp->Width(), bmp->Height());
    // The view keeps its level while the whole image still fits the free
    // area at it, and takes the largest level that fits otherwise.
    if (viewport_->zoomAvailable_) {
        viewport_->zoom_ = zoom;
        const QSize room = (QSizeF(FreeArea().size().shrunkBy(FrameMargins())) * viewport_->Ratio()).toSize();
        const QSize shown = viewport_->ContentSize();
        if (shown.width() > room.width() || shown.height() > room.height())
            viewport_->zoom_ = viewport_->FitLevel(room);
    }
    PlaceWindow(false);
    OnPaint();
    viewport_->UpdateOutline();
    // The tool borrows the image's new rows and the new mask.
    if (host_ && host_->ActiveDessin() == this)
        OnActivate();
}

TSelection* TDessin::GetSelection() { return model_ ? &model_->Mask() : nullptr; }

TDessin::~TDessin()
{
    // The image, its copies and its history go first, and the memory they
    // held goes back to the system.
    windowCanvas_.reset();
    overlay_.reset();
    viewport_->Release();
    model_.reset();
    ::malloc_trim(0);
}

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
    owner_ = owner;
    ShowOver(blank_);
    viewport_ = new TDessinVue(this);
    hbar_ = new QScrollBar(Qt::Horizontal, this);
    vbar_ = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar* bar : {hbar_, vbar_}) {
        bar->hide();
        bar->setSingleStep(kDessinScrollStep);
        connect(bar, &QScrollBar::valueChanged, viewport_, [this] { viewport_->update(); });
    }
    repaintTimer_.setSingleShot(true);
    repaintTimer_.setInterval(0);
    connect(&repaintTimer_, &QTimer::timeout, this, [this] {
        viewport_->update(viewport_->ToView(dirty_));
        dirty_ = QRect();
    });
    closeTimer_.setSingleShot(true);
    closeTimer_.setInterval(0);
    connect(&closeTimer_, &QTimer::timeout, this, &QWidget::close);
    raiseTimer_.setSingleShot(true);
    raiseTimer_.setInterval(0);
    connect(&raiseTimer_, &QTimer::timeout, this, [this] {
        if (host_)
            host_->RaisePalettes();
    });
    move(352, 319);
    SetClientSize(148, 107);
}

void TDessin::fusionMasque(TBitmap* processed)
{
    if (model_) {
        model_->SetDown();
        model_->Change([&] { model_->Mask().fusioncalque(processed, bmp); });
    }
    OnPaint();
}

void TDessin::OnPaint(QObject*)
{
    if (!bmp)
        return;
    // The window shows the image again, without what was drawn over it.
    RestorePreview();
}

void TDessin::OnActivate(QObject*)
{
    if (!host_)
        return;
    if (TOutil* outil = host_->GetOutil()) {
        outil->SetBmp(bmp);
        outil->SetMasque(GetSelection());
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
    if (host_->ActiveDessin() != this || (outil && outil->GetBmp() != bmp))
        OnActivate();
}

bool TDessin::event(QEvent* event)
{
    // While the image is written, nothing changes it; Ctrl+W still asks to
    // close, which waits for the end.
    if (saving_) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Drop: return true;
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_W && key->modifiers() == Qt::ControlModifier)
                close();
            return true;
        }
        default: break;
        }
    }
    if (event->type() == QEvent::WindowActivate && bmp)
        OnActivate();
    // A window that opens takes the keyboard: a bare X server gives it to no
    // window that asks nothing.
    if (event->type() == QEvent::Show && bmp)
        activateWindow();
    // Once the window system has the window on top, the palettes go above it.
    if ((event->type() == QEvent::Show || event->type() == QEvent::WindowActivate) && host_)
        raiseTimer_.start();
    // The frame is known only once the window is shown: place it again with it,
    // unless the view was zoomed since (zooming never resizes the window).
    if ((event->type() == QEvent::Show || event->type() == QEvent::Move) && bmp && isVisible() &&
        !viewport_->zoomChosen_ && FrameMargins() != placedFrame_)
        PlaceWindow();
    return QWidget::event(event);
}

void TDessin::closeEvent(QCloseEvent* event)
{
    // A window being saved closes once the save has ended.
    if (saving_) {
        closeAfterSave_ = true;
        event->ignore();
        return;
    }
    // Closing only hides the window; it stays the active document if it was.
    // Once hidden it may be out of reach, so changes are saved or dropped first.
    if (model_)
        model_->SetDown();
    if (!host_ || host_->Quitting() || !IsModified()) {
        Closed(event);
        return;
    }
    const QString name = windowTitle().section(QLatin1Char('/'), -1);
    const int answer = AskQuestion(this, QMessageBox::Warning, Application ? Application->Title() : QString(),
                                   QStringLiteral("Enregistrer les modifications de « %1 » ?").arg(name),
                                   {{QStringLiteral("Enregistrer"), QMessageBox::AcceptRole},
                                    {QStringLiteral("Ne pas enregistrer"), QMessageBox::DestructiveRole},
                                    {QStringLiteral("Annuler"), QMessageBox::RejectRole}});
    if (answer == 0 && host_->SaveDocument(this)) {
        Closed(event);
    } else if (answer == 1) {
        DropChanges();
        Closed(event);
    } else {
        event->ignore();
    }
}

void TDessin::Closed(QCloseEvent* event)
{
    event->accept();
    if (host_ && model_)
        host_->DocumentClosed(this);
}

QStringList TDessin::DroppedImages(const QMimeData* data)
{
    QStringList files;
    if (!data)
        return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && IsImageFileName(url.toLocalFile()))
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
