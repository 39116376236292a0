// The clipboard of a document window, by keys only: the effects menu's
// "Copier", "Coller" and "Couper" stay as they are.
#include "document/Tdessin.h"

#include "document/DocumentHost.h"
#include "document/TDessinVue.h"
#include "filters/Tfiltre.h"

#include "codecs/ImageFile.h"
#include "model/ImageDocument.h"
#include "raster/Exception.h"

#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>
#include <cstring>

bool TDessin::CopyToClipboard()
{
    if (!model_)
        return false;
    // A floating piece is the selection: its part over the image is copied.
    if (model_->Floating()) {
        const QRect shown = model_->FloatingRect() & QRect(0, 0, bmp->Width(), bmp->Height());
        if (shown.isEmpty())
            return false;
        QGuiApplication::clipboard()->setImage(model_->FloatingPicture().copy(shown.translated(-model_->FloatingAt())));
        return true;
    }
    const QRect area = model_->SelectionBounds();
    if (area.isEmpty())
        return false;
    QGuiApplication::clipboard()->setImage(bmp->Image().copy(area));
    return true;
}

namespace {

// The clipboard's image in 24 bits; null when it holds none.
QImage clipboardPicture()
{
    const QImage picture = QGuiApplication::clipboard()->image();
    if (picture.isNull())
        return {};
    if (!BitmapSizeAllowed(picture.width(), picture.height()))
        throw ERasterError(QStringLiteral("L'image du presse-papiers est trop grande (%1 x %2 pixels ; au plus %3 "
                                          "pixels de côté et 1 Gio d'image).")
                               .arg(picture.width())
                               .arg(picture.height())
                               .arg(kMaxBitmapSide));
    return ToBitmapImage(picture);
}

} // namespace

bool TDessin::PasteFromClipboard()
{
    if (!model_)
        return false;
    const QImage picture = clipboardPicture();
    if (picture.isNull())
        return false;
    // At the selection's corner; with everything editable, at the corner of
    // the part in view.
    const QRect area = model_->SelectionBounds();
    const bool everything = area == QRect(0, 0, bmp->Width(), bmp->Height());
    const QPoint inView = viewport_->ToImage(QPointF(viewport_->origin_) / viewport_->Ratio());
    const QPoint at =
        everything ? QPoint(std::clamp(inView.x(), 0, bmp->Width() - 1), std::clamp(inView.y(), 0, bmp->Height() - 1))
        : area.isEmpty() ? QPoint(0, 0)
                         : area.topLeft();
    RestorePreview();
    model_->Float(picture, at);
    FlushRepaint();
    return true;
}

bool TDessin::PasteAsNewImage()
{
    const QImage picture = clipboardPicture();
    if (picture.isNull())
        return false;
    // A new image, never saved, whose content is one change: closing or
    // quitting asks before it is lost, and Ctrl+Z gives the white image back.
    auto* document = new TDessin(owner_, picture.width(), picture.height());
    document->Model()->Paste(picture, QPoint(0, 0));
    document->OnPaint();
    document->show();
    return true;
}

bool TDessin::DeleteSelection()
{
    if (!model_ || model_->SelectionBounds().isEmpty())
        return false;
    RestorePreview();
    model_->Run(commands::Find(commands::CommandId::Remplir),
                {commands::ToRrggbb(host_ ? host_->Couleur2() : clWhite)});
    OnPaint();
    return true;
}

bool TDessin::CutToClipboard() { return CopyToClipboard() && DeleteSelection(); }

bool TDessin::SelectWholeImage()
{
    if (!model_)
        return false;
    // A floating piece lands first: the selection is no longer its.
    model_->SetDown();
    model_->SelectAll();
    viewport_->UpdateOutline();
    return true;
}
