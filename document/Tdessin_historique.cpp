// A document's undo history, its keys (with the clipboard's and the zoom's) and whether it
// changed since saved.
#include "document/Tdessin.h"
#include "kernels/Thistorique.h"

#include <QKeyEvent>

THistorique* TDessin::Historique()
{
    if (!historique_ && bmp)
        historique_ = std::make_unique<THistorique>(*bmp);
    return historique_.get();
}

void TDessin::BeginGesture()
{
    if (THistorique* historique = Historique())
        historique->BeginGesture();
}

void TDessin::EndGesture()
{
    if (historique_)
        historique_->EndGesture();
}

void TDessin::RecordChange(const std::function<void()>& change)
{
    THistorique* historique = Historique();
    if (!historique) {
        change();
        return;
    }
    historique->BeginWhole();
    try {
        change();
    } catch (...) {
        historique->EndWhole();
        throw;
    }
    historique->EndWhole();
}

bool TDessin::Undo()
{
    if (!historique_ || !historique_->Undo())
        return false;
    OnPaint();
    return true;
}

bool TDessin::Redo()
{
    if (!historique_ || !historique_->Redo())
        return false;
    OnPaint();
    return true;
}

bool TDessin::IsModified()
{
    if (!historique_)
        return false;
    // A gesture whose release never came (the text tool's dialog takes it) ends here.
    historique_->EndGesture();
    return historique_->Modified();
}

void TDessin::MarkSaved(const QString& fileName, ImageFormat format)
{
    if (!fileName.isEmpty()) {
        fileName_ = fileName;
        setWindowTitle(fileName);
        if (bmp)
            bmp->WrittenAs(format);
    }
    if (THistorique* historique = Historique()) {
        historique->EndGesture();
        historique->MarkSaved();
    }
}

void TDessin::DropChanges() { MarkSaved(); }

void TDessin::MarkRecovered(const QString& fileName, const QString& caption)
{
    fileName_ = fileName;
    setWindowTitle(!caption.isEmpty() ? caption : fileName.isEmpty() ? QStringLiteral("Dessin") : fileName);
    if (THistorique* historique = Historique())
        historique->MarkUnsaved();
}

std::uint64_t TDessin::ChangeState() const { return historique_ ? historique_->State() : 0; }

bool TDessin::Unsaved() const { return historique_ && historique_->Modified(); }

bool TDessin::Changing() const { return historique_ && historique_->GestureOpen(); }

void TDessin::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (ZoomKey(key, mods)) {
        event->accept();
        return;
    }
    if (key == Qt::Key_Z && mods == Qt::ControlModifier) {
        Undo();
    } else if ((key == Qt::Key_Y && mods == Qt::ControlModifier) ||
               (key == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier))) {
        Redo();
    } else if (key == Qt::Key_C && mods == Qt::ControlModifier) {
        CopyToClipboard();
    } else if (key == Qt::Key_V && mods == Qt::ControlModifier) {
        PasteFromClipboard();
    } else if (key == Qt::Key_V && mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        PasteAsNewImage();
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
