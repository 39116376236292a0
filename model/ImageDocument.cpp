#include "model/ImageDocument.h"

#include "codecs/BitmapFiles.h"
#include "codecs/ImageFile.h"
#include "filters/Tfiltre.h"
#include "kernels/Tselection.h"
#include "model/Thistorique.h"
#include "raster/TCanvas.h"

#include <QFileInfo>
#include <cstring>
#include <new>
#include <utility>

ImageDocument::ImageDocument(int width, int height) : image_(std::make_unique<TBitmap>())
{
    image_->SetSize(width, height);
    image_->SetPixelFormat(pf24bit);
    Watch();
}

ImageDocument::ImageDocument(const QString& fileName, const std::function<int(QSize)>& reduce)
    : image_(std::make_unique<TBitmap>()),
      fileName_(fileName.isEmpty() ? fileName : QFileInfo(fileName).absoluteFilePath())
{
    // Messages name the file as it was given.
    LoadFromFile(*image_, fileName, reduce);
    Watch();
}

ImageDocument::ImageDocument(ReadPicture&& picture, const QString& fileName)
    : image_(std::make_unique<TBitmap>()),
      fileName_(fileName.isEmpty() ? fileName : QFileInfo(fileName).absoluteFilePath())
{
    SetPicture(*image_, std::move(picture));
    Watch();
}

ImageDocument::ImageDocument(const QImage& picture) : image_(std::make_unique<TBitmap>())
{
    image_->SetImage(picture, pf24bit);
    Watch();
}

ImageDocument::~ImageDocument() = default;

void ImageDocument::Watch()
{
    mask_ = std::make_unique<TSelection>(image_->Width(), image_->Height());
    // What a tool draws into the image reaches the listeners at once.
    image_->Canvas()->SetChangeNotifier([this](const QRect& rect) { emit Changed(rect); });
}

void ImageDocument::KeepNoHistory()
{
    keepHistory_ = false;
    history_.reset();
}

THistorique* ImageDocument::MakeHistory()
{
    if (!history_ && keepHistory_)
        history_ = std::make_unique<THistorique>(*image_, &mask_);
    return history_.get();
}

std::unique_ptr<TFiltre> ImageDocument::Run(const commands::Command& command, const commands::Values& values,
                                            TColor background)
{
    // A command works on the image with its piece in place.
    SetDown();
    if (command.reshape) {
        EndGesture();
        QImage reshaped = command.reshape(*image_, *mask_, values, background);
        if (!reshaped.isNull()) {
            auto mask = std::make_unique<TSelection>(reshaped.width(), reshaped.height());
            ChangeSize(std::move(reshaped), std::move(mask));
        }
        return nullptr;
    }
    if (command.selection == commands::SelectionRule::Fills) {
        // Only the rows the mask reaches change: only they are kept for undo.
        const QRect bounds = mask_->Bounds();
        if (bounds.isEmpty())
            return nullptr;
        BeginGesture();
        image_->WillWriteRows(bounds.top(), bounds.bottom());
        command.run(*image_, mask_.get(), values);
        EndGesture();
        emit Changed(bounds);
        return nullptr;
    }
    std::unique_ptr<TFiltre> made;
    Change([&] { made = command.run(*image_, mask_.get(), values); });
    return made;
}

void ImageDocument::Change(const std::function<void()>& change)
{
    THistorique* history = MakeHistory();
    if (history)
        history->BeginWhole();
    try {
        change();
    } catch (...) {
        if (history)
            history->EndWhole();
        emit Changed(Whole());
        throw;
    }
    if (history)
        history->EndWhole();
    emit Changed(Whole());
}

void ImageDocument::BeginGesture()
{
    if (THistorique* history = MakeHistory())
        history->BeginGesture();
}

void ImageDocument::EndGesture()
{
    if (history_)
        history_->EndGesture();
}

bool ImageDocument::Changing() const { return history_ && history_->GestureOpen(); }

void ImageDocument::Paste(const QImage& picture, QPoint at)
{
    const QRect target = QRect(at, picture.size()) & Whole();
    if (target.isEmpty())
        return;
    std::uint8_t* const* mask = mask_->ReadRows();
    BeginGesture();
    image_->WillWriteRows(target.top(), target.bottom());
    for (int y = target.top(); y <= target.bottom(); ++y) {
        const std::uint8_t* from = picture.constScanLine(y - at.y()) + 3 * qsizetype(target.left() - at.x());
        std::uint8_t* to = image_->ScanLine(y) + 3 * qsizetype(target.left());
        const std::uint8_t* allowed = mask[y] + target.left();
        for (int x = 0; x < target.width(); ++x)
            if (allowed[x])
                std::memcpy(to + 3 * x, from + 3 * x, 3);
    }
    EndGesture();
    emit Changed(target);
}

void ImageDocument::ChangeSize(QImage image, std::unique_ptr<TSelection> mask)
{
    if (THistorique* history = MakeHistory()) {
        history->ChangeSize(std::move(image), std::move(mask));
    } else {
        image_->Exchange(image);
        mask_ = std::move(mask);
    }
    emit Resized();
}

void ImageDocument::Float(QImage picture, QPoint at)
{
    SetDown();
    if (picture.isNull())
        return;
    selectedBefore_ = SelectionBounds();
    floating_ = std::move(picture);
    floatingAt_ = at;
    liftedFrom_ = QRect();
    mask_->Select(Landing());
    emit FloatingChanged(FloatingRect());
}

bool ImageDocument::Lift(TColor hole)
{
    SetDown();
    const QRect selected = SelectionBounds();
    if (selected.isEmpty())
        return false;
    floating_ = image_->Image().copy(selected);
    if (floating_.isNull())
        throw std::bad_alloc();
    selectedBefore_ = selected;
    floatingAt_ = selected.topLeft();
    liftedFrom_ = selected;
    hole_ = hole;
    emit FloatingChanged(selected);
    return true;
}

QRect ImageDocument::Landing() const
{
    // A piece wholly outside the image leaves every pixel editable, as a
    // rectangle that spans none does.
    const QRect landing = FloatingRect() & Whole();
    return landing.isEmpty() ? Whole() : landing;
}

void ImageDocument::MoveFloating(QPoint at)
{
    if (!Floating() || at == floatingAt_)
        return;
    const QRect before = FloatingRect();
    floatingAt_ = at;
    mask_->Select(Landing());
    emit FloatingChanged(before | FloatingRect());
}

void ImageDocument::DropFloating()
{
    if (!Floating())
        return;
    const QRect shown = FloatingRect() | liftedFrom_;
    floating_ = QImage();
    liftedFrom_ = QRect();
    mask_->Select(selectedBefore_);
    emit FloatingChanged(shown);
}

void ImageDocument::SetDown()
{
    if (!Floating())
        return;
    const QRect landing = Landing();
    const QRect shown = FloatingRect();
    const QRect target = shown & Whole();
    const QImage piece = std::move(floating_);
    floating_ = QImage();
    const QRect lifted = std::exchange(liftedFrom_, QRect());
    BeginGesture();
    if (!lifted.isEmpty()) {
        // The hole first, filled through the mask it was lifted from as
        // Suppr fills; then the piece, whole.
        mask_->Select(lifted);
        image_->WillWriteRows(lifted.top(), lifted.bottom());
        commands::Find(commands::CommandId::Remplir).run(*image_, mask_.get(), {commands::ToRrggbb(hole_)});
    }
    if (!target.isEmpty()) {
        image_->WillWriteRows(target.top(), target.bottom());
        for (int y = target.top(); y <= target.bottom(); ++y)
            std::memcpy(image_->ScanLine(y) + 3 * qsizetype(target.left()),
                        piece.constScanLine(y - floatingAt_.y()) + 3 * qsizetype(target.left() - floatingAt_.x()),
                        3 * std::size_t(target.width()));
    }
    // The piece stays selected where it landed; undo gives back the
    // selection from before it floated.
    mask_->Select(landing);
    if (history_)
        history_->SelectionChanges(selectedBefore_, landing);
    EndGesture();
    emit FloatingChanged(shown | lifted);
    emit Changed(target | lifted);
}

bool ImageDocument::Undo()
{
    SetDown();
    const QSize before(Width(), Height());
    if (!history_ || !history_->Undo())
        return false;
    if (QSize(Width(), Height()) != before)
        emit Resized();
    else
        emit Changed(Whole());
    return true;
}

bool ImageDocument::Redo()
{
    SetDown();
    const QSize before(Width(), Height());
    if (!history_ || !history_->Redo())
        return false;
    if (QSize(Width(), Height()) != before)
        emit Resized();
    else
        emit Changed(Whole());
    return true;
}

void ImageDocument::SelectAll() { mask_->SelectAll(); }

void ImageDocument::SelectRectangle(int anchorX, int anchorY, int x, int y)
{
    mask_->SelectRectangle(anchorX, anchorY, x, y);
}

QRect ImageDocument::SelectionBounds() const { return mask_->Bounds(); }

bool ImageDocument::Modified()
{
    SetDown();
    if (!history_)
        return false;
    // A gesture whose release never came (the text tool's dialog takes it) ends here.
    history_->EndGesture();
    return history_->Modified();
}

void ImageDocument::SaveAs(const QString& fileName, ImageFormat format, int quality)
{
    const std::uint64_t written = StateToSave();
    SaveToFile(*image_, fileName, format, quality);
    MarkSaved(fileName, format, written);
}

void ImageDocument::MarkSaved(const QString& fileName, ImageFormat format)
{
    MarkSaved(fileName, format, StateToSave());
}

std::uint64_t ImageDocument::StateToSave()
{
    SetDown();
    EndGesture();
    // The state is named by the history, made here when there is none yet.
    MakeHistory();
    return ChangeState();
}

void ImageDocument::MarkSaved(const QString& fileName, ImageFormat format, std::uint64_t written)
{
    if (!fileName.isEmpty()) {
        fileName_ = fileName;
        image_->WrittenAs(format);
    }
    if (THistorique* history = MakeHistory())
        history->MarkSaved(written);
}

void ImageDocument::MarkRecovered(const QString& fileName)
{
    fileName_ = fileName;
    if (THistorique* history = MakeHistory())
        history->MarkUnsaved();
}

std::uint64_t ImageDocument::ChangeState() const { return history_ ? history_->State() : 0; }

bool ImageDocument::Unsaved() const { return history_ && history_->Modified(); }
