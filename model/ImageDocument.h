#pragma once

#include "codecs/ImageFile.h"
#include "commands/CommandTable.h"
#include "raster/TBitmap.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class TFiltre;
class THistorique;
class TSelection;

// One open image without its window: the 24-bit image, its selection mask,
// its undo history and the file it stands for. Every change goes through it
// as one undo step (a command of the table, a tool's gesture, a paste, a
// change of size), and whoever listens hears which rectangle changed, or that
// the size did. The editor's window shows one; velmora-cli works on one the
// same way, without a history.
class ImageDocument : public QObject {
    Q_OBJECT
public:
    // A blank white image.
    ImageDocument(int width, int height);
    // An image read from a file, known by its absolute path (a relative name
    // is taken from the current folder, symbolic links kept as named). Throws
    // ERasterError when the file cannot be read.
    // A JPEG is decoded at the reduction that `reduce` chooses (see
    // TBitmap::LoadFromFile), when given.
    explicit ImageDocument(const QString& fileName, const std::function<int(QSize)>& reduce = {});
    // The same with the file already read (ReadImageFile).
    ImageDocument(ReadPicture&& picture, const QString& fileName);
    // A picture (24 bits, Format_BGR888): a recovery copy.
    explicit ImageDocument(const QImage& picture);
    ~ImageDocument() override;
    ImageDocument(const ImageDocument&) = delete;
    ImageDocument& operator=(const ImageDocument&) = delete;

    // Without a history (velmora-cli): changes are made, never kept for undo.
    void KeepNoHistory();

    TBitmap& Image() { return *image_; }
    const TBitmap& Image() const { return *image_; }
    // The mask has the image's size; a change of size replaces it.
    TSelection& Mask() { return *mask_; }
    int Width() const { return image_->Width(); }
    int Height() const { return image_->Height(); }

    // Runs a command of the table with its values as one undo step; returns
    // what the command returns (a filter's object, to be destroyed). A change
    // of size or orientation fills with `background` what its values give no
    // colour, and afterwards every pixel is editable; it throws as the
    // command's Reshape does, the image unchanged.
    std::unique_ptr<TFiltre> Run(const commands::Command& command, const commands::Values& values = {},
                                 TColor background = clWhite);
    // Any other change of the whole image, as one undo step. Nested changes
    // count as one.
    void Change(const std::function<void()>& change);
    // A tool's gesture, from the press to the release: the rows it writes
    // are kept as they were, and it is one undo step at the end.
    void BeginGesture();
    void EndGesture();
    bool Changing() const;
    // Writes `picture` (24 bits) with its top-left corner at `at`, clipped to
    // the image and only where the mask allows, as one undo step; the
    // selection stays as it is. A floating piece (Float) is written whole
    // instead.
    void Paste(const QImage& picture, QPoint at);
    // A change of the image's size: `image` (24 bits) and `mask` become the
    // document's, as one undo step that gives the previous ones back.
    void ChangeSize(QImage image, std::unique_ptr<TSelection> mask);
    // A floating piece: a picture shown over the image at `at`, not part of
    // it until set down; the image, its saves and its recovery copies never
    // hold an unplaced piece. Float() sets down any piece already floating.
    // While it floats the piece is the selection: the mask is its rectangle,
    // clipped to the image (every pixel when none of it is over the image),
    // and follows it.
    void Float(QImage picture, QPoint at);
    // Lifts the selected rectangle's pixels into a floating piece, which is
    // the selection as a pasted one is; the place they leave takes `hole`
    // when the piece is set down. False when nothing is selected.
    bool Lift(TColor hole);
    bool Floating() const { return !floating_.isNull(); }
    const QImage& FloatingPicture() const { return floating_; }
    QPoint FloatingAt() const { return floatingAt_; }
    QRect FloatingRect() const { return QRect(floatingAt_, floating_.size()); }
    // The rectangle a lifted piece left, and its colour; empty for a paste.
    QRect LiftedFrom() const { return liftedFrom_; }
    TColor HoleColour() const { return hole_; }
    void MoveFloating(QPoint at);
    // Writes the piece whole where it stands, clipped to the image (a lifted
    // piece's hole filled first), as one undo step, and leaves its rectangle
    // selected; undoing the step gives back the image and the selection from
    // before the piece floated. Nothing when no piece floats.
    void SetDown();
    // The piece goes; the image and the selection are as before it floated.
    void DropFloating();

    // Each returns false when there is nothing to undo or redo. A floating
    // piece is set down first.
    bool Undo();
    bool Redo();
    // Null until the first change.
    THistorique* History() { return history_.get(); }

    // The selection: every pixel editable, or the selection tool's rectangle
    // between a press and a release (see TSelection::SelectRectangle).
    void SelectAll();
    void SelectRectangle(int anchorX, int anchorY, int x, int y);
    // The smallest rectangle holding every editable pixel; empty when none is.
    QRect SelectionBounds() const;

    // The file: empty for an image that never had one.
    const QString& FileName() const { return fileName_; }
    // Changed since created, opened or last saved; a floating piece is set
    // down first.
    bool Modified();
    // Sets down a floating piece, then writes the image to `fileName` in
    // `format`; throws ERasterError and
    // changes nothing on failure. Then the file is the document's: the image
    // is its saved state.
    void SaveAs(const QString& fileName, ImageFormat format, int quality);
    // The image is now the saved one; with a name, that file (written in
    // `format`) becomes the document's.
    void MarkSaved(const QString& fileName = QString(), ImageFormat format = ImageFormat::Bmp);
    // Before a save: a floating piece is set down and a gesture under way
    // ends, so that the image holds exactly the state returned.
    std::uint64_t StateToSave();
    // After a save of the image in state `written` (StateToSave): that state
    // is the saved one, as the file holds it, and the file is the document's.
    // A change made meanwhile still counts as unsaved.
    void MarkSaved(const QString& fileName, ImageFormat format, std::uint64_t written);
    // A recovered image: its file is `fileName` and it counts as changed.
    void MarkRecovered(const QString& fileName);
    // The history's state (0 before the first change) and whether it differs
    // from the saved one; neither ends a gesture.
    std::uint64_t ChangeState() const;
    bool Unsaved() const;

signals:
    // Pixels of the image changed, in image coordinates.
    void Changed(const QRect& rect);
    // What is shown over the image changed there: the floating piece moved,
    // came or went.
    void FloatingChanged(const QRect& rect);
    // The image's size changed, and with it the mask.
    void Resized();

private:
    void Watch();
    THistorique* MakeHistory();
    QRect Whole() const { return QRect(0, 0, Width(), Height()); }
    // The selection a floating piece makes where it stands.
    QRect Landing() const;

    std::unique_ptr<TBitmap> image_;
    std::unique_ptr<TSelection> mask_;
    std::unique_ptr<THistorique> history_;
    bool keepHistory_ = true;
    QString fileName_;
    QImage floating_;
    QPoint floatingAt_;
    QRect liftedFrom_;
    TColor hole_ = clWhite;
    QRect selectedBefore_; // the selection's bounds when the piece came
};
