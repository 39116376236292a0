// The clipboard of a document window, by keys only: the effects menu's
// "Copier", "Coller" and "Couper" stay as they are.
#include "document/Tdessin.h"

#include "document/DocumentHost.h"
#include "document/TDessinVue.h"
#include "filters/Tfiltre.h"

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

bool TDessin::DeleteSelection()
{
    if (!model_ || model_->SelectionBounds().isEmpty())
        return false;
    const TColor fill = host_ ? host_->Couleur2() : clWhite;
    // The table's colour is RRGGBB as written: red in the high byte.
    const int rgb = GetRValue(fill) << 16 | GetGValue(fill) << 8 | GetBValue(fill);
    RestorePreview();
    model_->Run(commands::Find(commands::CommandId::Remplir), {rgb});
    OnPaint();
    return true;
}

bool TDessin::CutToClipboard() { return CopyToClipboard() && DeleteSelection(); }

bool TDessin::SelectWholeImage()
{
    if (!model_)
        return false;
    model_->SelectAll();
    viewport_->UpdateOutline();
    return true;
}
