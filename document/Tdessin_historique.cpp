// A document's undo history, its keys (with the clipboard's and the zoom's) and whether it
// changed since saved.
#include "document/Tdessin.h"

#include "ui/Aside.h"

#include "codecs/BitmapFiles.h"
#include "model/ImageDocument.h"
#include "ui/Application.h"
#include <QTimer>
#include <utility>

#include <QKeyEvent>

bool TDessin::Undo()
{
    if (!model_ || !model_->Undo())
        return false;
    OnPaint();
    // A piece set down gives the selection back too.
    viewport_->UpdateOutline();
    return true;
}

bool TDessin::Redo()
{
    if (!model_ || !model_->Redo())
        return false;
    OnPaint();
    viewport_->UpdateOutline();
    return true;
}

bool TDessin::IsModified() { return model_ && model_->Modified(); }

QString TDessin::FileName() const { return model_ ? model_->FileName() : QString(); }

void TDessin::MarkSaved(const QString& fileName, ImageFormat format)
{
    if (!model_)
        return;
    model_->MarkSaved(fileName, format);
    if (!fileName.isEmpty())
        setWindowTitle(fileName);
}

void TDessin::Save(const QString& fileName, ImageFormat format, int quality)
{
    if (!model_ || saving_)
        return;
    // What is written is this state: it becomes the saved one however long
    // the writing takes.
    const std::uint64_t written = model_->StateToSave();
    const TBitmap& image = model_->Image();
    const QString caption = windowTitle();
    // The image cannot change while it is written: the window takes no edit
    // and no command until the end.
    RunAside([&] { SaveToFile(image, fileName, format, quality); },
             [&](bool busy) {
                 saving_ = busy;
                 if (busy) {
                     setWindowTitle(QStringLiteral("%1 - Enregistrement...").arg(caption));
                     setCursor(Qt::WaitCursor);
                     return;
                 }
                 setWindowTitle(caption);
                 unsetCursor();
                 if (std::exchange(closeAfterSave_, false))
                     closeTimer_.start();
             });
    model_->MarkSaved(fileName, format, written);
    if (!fileName.isEmpty())
        setWindowTitle(fileName);
}

void TDessin::DropChanges() { MarkSaved(); }

void TDessin::MarkRecovered(const QString& fileName, const QString& caption)
{
    if (!model_)
        return;
    model_->MarkRecovered(fileName);
    setWindowTitle(!caption.isEmpty() ? caption : fileName.isEmpty() ? QStringLiteral("Dessin") : fileName);
}

bool TDessin::FloatingKey(int key, Qt::KeyboardModifiers mods)
{
    if (!model_ || !model_->Floating())
        return false;
    const int step = mods == Qt::ShiftModifier ? 10 : 1;
    const bool plain = mods == Qt::NoModifier || mods == Qt::ShiftModifier;
    const QPoint at = model_->FloatingAt();
    if (plain && key == Qt::Key_Left)
        model_->MoveFloating(at - QPoint(step, 0));
    else if (plain && key == Qt::Key_Right)
        model_->MoveFloating(at + QPoint(step, 0));
    else if (plain && key == Qt::Key_Up)
        model_->MoveFloating(at - QPoint(0, step));
    else if (plain && key == Qt::Key_Down)
        model_->MoveFloating(at + QPoint(0, step));
    else if (mods == Qt::NoModifier && (key == Qt::Key_Return || key == Qt::Key_Enter))
        model_->SetDown();
    else if (mods == Qt::NoModifier && key == Qt::Key_Escape)
        model_->DropFloating();
    else
        return false;
    FlushRepaint();
    return true;
}

bool TDessin::ReshapeKey(int key, Qt::KeyboardModifiers mods)
{
    using commands::CommandId;
    const bool control = mods == Qt::ControlModifier;
    const bool controlShift = mods == (Qt::ControlModifier | Qt::ShiftModifier);
    if (control && key == Qt::Key_U)
        Reshape(CommandId::Autorogner);
    else if (control && key == Qt::Key_H)
        Reshape(CommandId::Rotation, {9000});
    else if (control && key == Qt::Key_G)
        Reshape(CommandId::Rotation, {-9000});
    else if (control && key == Qt::Key_J)
        Reshape(CommandId::Rotation, {18000});
    else if (control && key == Qt::Key_R)
        AskAndReshape(CommandId::Redimensionner);
    else if (controlShift && key == Qt::Key_X)
        CropToSelection();
    else if (controlShift && key == Qt::Key_R)
        AskAndReshape(CommandId::Toile);
    else if (controlShift && key == Qt::Key_H)
        AskAndReshape(CommandId::Rotation);
    else
        return false;
    return true;
}

bool TDessin::DocumentKey(int key, Qt::KeyboardModifiers mods)
{
    if (FloatingKey(key, mods) || viewport_->ZoomKey(key, mods))
        return true;
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
    } else if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && mods == Qt::NoModifier) {
        DeleteSelection();
    } else if (key == Qt::Key_X && mods == Qt::ControlModifier) {
        CutToClipboard();
    } else if (key == Qt::Key_A && mods == Qt::ControlModifier) {
        SelectWholeImage();
    } else if (key == Qt::Key_W && mods == Qt::ControlModifier) {
        // As the close box: the question when the image changed.
        close();
    } else {
        return ReshapeKey(key, mods);
    }
    return true;
}

void TDessin::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    // A key's work that fails (a picture too large, no memory for a resize)
    // is reported here, not unwound through Qt.
    bool handled = true;
    Guarded([&] { handled = DocumentKey(event->key(), mods); })();
    if (!handled) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
