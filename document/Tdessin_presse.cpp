// The clipboard of a document window, by keys only: the effects menu's
// "Copier", "Coller" and "Couper" stay as they are.
#include "document/Tdessin.h"

#include "model/ImageDocument.h"
#include "platform/ImageFile.h"

#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>
#include <cstring>

bool TDessin::CopyToClipboard()
{
    if (!model_)
        return false;
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
    if (picture.isNull() || !BitmapSizeAllowed(picture.width(), picture.height()))
        return {};
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
    const QRect area = model_->SelectionBounds();
    model_->Paste(picture, area.isEmpty() ? QPoint(0, 0) : area.topLeft());
    OnPaint();
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
