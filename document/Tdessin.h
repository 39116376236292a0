#pragma once

#include "commands/CommandTable.h"
#include "document/TDessinVue.h"
#include "raster/Mouse.h"
#include "raster/TBitmap.h"
#include "raster/TCanvas.h"

#include <QImage>
#include <QMargins>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

class QGraphicsOpacityEffect;
class QLabel;
class QMimeData;
class QPainter;
class QPropertyAnimation;
class QScrollBar;
class ImageDocument;
class TDessinVue;
class TDocumentHost;
class TFiltre;
class TSelection;

// Pixels scrolled by one arrow click and by one line of the wheel.
constexpr int kDessinScrollStep = 20;

// A document window: one image, its selection mask, shown from the top-left
// of the client area, 1:1 unless the view is zoomed. It makes itself its host's active document
// when activated and hands the mouse to the host's current tool. The host is
// the owner given at creation, when the owner is one (the main palette).
// An image larger than the screen's free area is shown through a viewport
// with scroll bars; the tools, the window canvas and the mouse routing always
// work in image coordinates. The view zooms (Tdessin_zoom.cpp) and outlines a
// rectangular selection (Tdessin_rendu.cpp); neither changes a pixel of the
// image or of the window canvas.

class TDessin : public QWidget {
    Q_OBJECT
public:
    // The plain form, without image: the hidden instance made at start-up.
    explicit TDessin(QObject* owner);
    // Opens an image file and shows the window, centred on the screen. A
    // relative name is made absolute from the current folder (links kept as
    // named), so the caption and "Enregistrer" mean the same file wherever
    // the program is later. Throws ERasterError when the file cannot be read;
    // no window is left behind.
    TDessin(QObject* owner, const QString& fileName);
    // A blank white image of that size that becomes the active document at once;
    // the caller shows it.
    TDessin(QObject* owner, std::int32_t width, std::int32_t height);
    ~TDessin() override;

    TBitmap* GetBmp() { return bmp; }
    TSelection* GetSelection();
    // The image, its mask, its history and its file; null for the plain form.
    ImageDocument* Model() { return model_.get(); }
    // The window canvas: what is drawn on it is shown at once, what is read from
    // it is what is shown.
    TCanvas* WindowCanvas() { return windowCanvas_.get(); }

    // Merges a processed copy of the image through the mask, then repaints.
    void fusionMasque(TBitmap* processed);

    void OnPaint(QObject* sender = nullptr);
    void OnActivate(QObject* sender = nullptr);
    void OnMouseDown(QObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void OnMouseMove(QObject* sender, TShiftState shift, int x, int y);
    void OnMouseUp(QObject* sender, TMouseButton button, TShiftState shift, int x, int y);

    // Runs a command of the table on the image with its values, under the
    // hourglass, as one undo step, and repaints. Returns what the command
    // returns: the filter object of a filter, null otherwise. A change of
    // size or orientation fills with the right-button colour what its values
    // give no colour.
    std::unique_ptr<TFiltre> RunCommand(const commands::Command& command, const commands::Values& values = {});
    // Whole-image effects; each shows the hourglass while it runs and repaints.
    void Mirror();
    void Flip();
    void NB();
    void AdjustColor(std::uint8_t r, std::uint8_t g, std::uint8_t b);
    void AdjustContrast(std::uint8_t c);
    void AdjustLuminosite(std::int32_t d);
    // The contrast dialog's two values, 0 to 255, as one command.
    void AdjustContrastDialog(int contraste, int luminosite);
    void InverseColor();
    void VagueX();
    void VagueY();
    // Both waves, as one undo step.
    void DoubleVague();
    void Cercle1();
    void Cercle2();

    // Changes of size and orientation, each one undo step after which the
    // whole image is editable; each returns false when nothing changed (the
    // values leave the image as it is, the dialog was cancelled). Keys:
    // Ctrl+Shift+X crops to the selection (nothing when all is selected),
    // Ctrl+U autocrops, Ctrl+H, Ctrl+G and Ctrl+J turn a quarter clockwise, a
    // quarter counter-clockwise and a half, Ctrl+R, Ctrl+Shift+R and
    // Ctrl+Shift+H open the resize, canvas size and rotation dialogs.
    bool Reshape(commands::CommandId id, const commands::Values& values = {});
    bool CropToSelection();
    bool AskAndReshape(commands::CommandId id);

    // The local image files (by their ending) among dragged or dropped ones.
    static QStringList DroppedImages(const QMimeData* data);

    int LastX() const { return lastX; }
    int LastY() const { return lastY; }

    // The view: the widget that shows the image, at the top-left of the
    // client area, with its zoom and the selection outline.
    TDessinVue* Vue() const { return viewport_; }

    // Undo history (Tdessin_historique.cpp). Ctrl+Z undoes, Ctrl+Y and
    // Ctrl+Shift+Z redo; each returns false when there was nothing to do.
    bool Undo();
    bool Redo();
    // Changed since created, opened or last saved.
    bool IsModified();
    // The image is now the saved one. With a name (a save under a new name),
    // the file it was written to in `format` becomes the document's file and
    // caption: the next "Enregistrer" writes that copy.
    void MarkSaved(const QString& fileName = QString(), ImageFormat format = ImageFormat::Bmp);
    // Writes the image to `fileName` in `format`, a floating piece set down
    // first; then that file is the document's (MarkSaved). A save that takes
    // more than a moment runs off the user interface's thread: meanwhile the
    // window ignores edits, its caption says "Enregistrement..." under the
    // hourglass, and closing it waits for the end. Throws ERasterError on
    // failure, the document unchanged. Nothing happens while a save of this
    // window runs.
    void Save(const QString& fileName, ImageFormat format, int quality);
    bool Saving() const { return saving_; }
    // The file the image came from or was last saved to; empty for a new
    // image never saved.
    QString FileName() const;
    // "Ne pas enregistrer" when the window closes: the changes stay in the
    // image but no longer count as unsaved.
    void DropChanges();
    // An image brought back from a recovery copy: its file is `fileName`, its
    // caption `caption` (the file when empty, a new image's caption when
    // both are), and it counts as changed.
    void MarkRecovered(const QString& fileName, const QString& caption = QString());

    // The clipboard and the selection (Tdessin_presse.cpp), by keys only:
    // Ctrl+C copies the selected rectangle (the whole image when everything
    // is editable; a floating piece's part over the image), Ctrl+V shows the
    // clipboard's picture as a floating piece at its top-left corner (at the
    // top-left of the part in view when everything is editable). The piece
    // is the selection until set down; a drag starting on it or the arrow
    // keys (Shift: 10 pixels) move it, Entrée or a press elsewhere set it
    // down whole where it stands (clipped to the image, one undo step, its
    // rectangle left selected) and Échap drops it; Ctrl+Shift+V opens the
    // clipboard's image as a new image. Each returns false when there was
    // nothing to copy or no image on the clipboard.
    bool CopyToClipboard();
    bool PasteFromClipboard();
    bool PasteAsNewImage();
    // Suppr (or Backspace): the selected pixels, through the mask, take the
    // right-button colour, as one undo step; Ctrl+X copies them first.
    // Ctrl+A makes the whole image editable again. Each returns false when
    // there was nothing to do.
    bool DeleteSelection();
    bool CutToClipboard();
    bool SelectWholeImage();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Every key of a document window; false for any other.
    bool DocumentKey(int key, Qt::KeyboardModifiers mods);
    // The keys of the changes of size and orientation; false for any other.
    bool ReshapeKey(int key, Qt::KeyboardModifiers mods);
    // The keys of a floating piece (arrows, Entrée, Échap); false for any
    // other, or when no piece floats.
    bool FloatingKey(int key, Qt::KeyboardModifiers mods);
    // A press at image point `p`: starts dragging the floating piece when it
    // lands on it (after lifting the selected pixels with Ctrl and the
    // selection tool), sets the piece down when it lands elsewhere. False
    // when no piece floats: the press goes to the tool.
    bool PressFloating(QPoint p, Qt::KeyboardModifiers mods);
    void InitForm(QObject* owner);
    friend class TDessinVue;

    void SetClientSize(int width, int height);
    // The widget units that cover `device` pixels of the screen.
    QSize WidgetSize(QSize device) const;
    // Sizes the window for the image and the screen's free area, shows the
    // scroll bars it needs, and places it: centred (opened files), left where
    // it is (new images), or at the free area's top-left when it is too large.
    // An opened file too large for the free area is shown at the largest zoom
    // level that fits it, centred in the free area; a new image stays at 100 %.
    // `chooseZoom` false keeps the level as it is (a change of size chose it).
    void PlaceWindow(bool chooseZoom = true);
    // The screen's free area, panels and docks left out.
    QRect FreeArea() const;
    QMargins FrameMargins() const;
    void LayoutViewport();
    // Scrolls so that a point dragged outside the viewport comes into view.
    void FollowPointer(QPoint widgetPoint);
    // Pixels shown changed, in the image or drawn over it: the reduced copies
    // and the screen follow.
    void ShownChanged(const QRect& rect);
    void ScheduleUpdate(const QRect& rect);
    // Repaints at once what the current event changed, so that a tool's
    // pixels reach the screen in the event that drew them.
    void FlushRepaint();
    // Drops what was drawn over the image: the previous preview disappears.
    void RestorePreview();
    // The window canvas draws over `image`.
    void ShowOver(TBitmap& image);
    void EnsureActive();
    // Runs a change of the whole image under the hourglass as one undo step,
    // then gives the arrow back and repaints, in that order or the other.
    void RunWholeImage(const std::function<void()>& change, bool repaintBeforeArrow);
    // Accepts the close: the palette lets go of the window, which is freed.
    void Closed(QCloseEvent* event);
    // Takes a model's image; the window listens to it.
    void Adopt(std::unique_ptr<ImageDocument> model);
    // The model's pixels changed, or its size.
    void ImageChanged(const QRect& rect);
    void ImageResized();

    TDocumentHost* host_ = nullptr;
    QObject* owner_ = nullptr; // given to the windows this one opens
    std::unique_ptr<ImageDocument> model_;
    TBitmap* bmp = nullptr; // the model's image
    std::int32_t lastX = -1;
    std::int32_t lastY = -1;

    // What tools draw on the window goes over the image, in tiles; the window
    // canvas writes there.
    TBitmap blank_; // under the plain form's canvas
    std::unique_ptr<TTileOverlay> overlay_;
    std::unique_ptr<TCanvas> windowCanvas_;
    QRect dirty_;
    QTimer repaintTimer_;
    TDessinVue* viewport_ = nullptr;
    QScrollBar* hbar_ = nullptr;
    QScrollBar* vbar_ = nullptr;
    bool centred_ = false;
    bool saving_ = false;
    bool closeAfterSave_ = false; // asked to close while saving
    QTimer closeTimer_; // closes it once the save has ended
    bool pressTaken_ = false; // the buttons held went down here, not while saving
    bool dragging_ = false; // the floating piece follows the mouse
    QPoint dragGrip_; // where the piece was taken, from its top-left corner
    QMargins placedFrame_;

    QTimer raiseTimer_; // puts the palettes back on top once the window system has shown this one
};

extern TDessin* Dessin;
