#pragma once

#include "kernels/Tselection.h"
#include "raster/HugePages.h"
#include "raster/TBitmap.h"

#include <QImage>
#include <QtGlobal>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

// The memory that the undo steps of all documents together may hold.
constexpr qint64 kHistoryBudget = qint64(512) << 20;

// The bytes a step keeps, from the large-block allocator: a fresh whole-image
// copy written page by page would cost more than the copy itself.
using StepBytes = LargeBuffer<std::uint8_t>;

// What the history holds, over all documents. Tests lower the budget.
qint64 HistoryBudget();
void SetHistoryBudget(qint64 bytes);
qint64 HistoryHeldBytes();

// One undo step: the bytes of the pixels it changed, kept as row spans, or,
// for a change of the image's size, the whole other image and its mask. The
// step holds the side of the change that is not in the document: undoing and
// redoing both swap it with the document's. A step that moved the selection
// (a piece set down) also gives back the selection on either side of it.
class TEtape {
public:
    struct Span {
        int row;
        int offset; // first byte in the row
        int length; // bytes
        qsizetype at; // first byte in the step's buffer
    };
    TEtape(std::vector<Span> spans, StepBytes bytes, qsizetype size);
    TEtape(QImage image, std::unique_ptr<TSelection> mask);
    // `mask` is the document's mask, swapped by a change of size (null: none).
    void Swap(TBitmap& image, std::unique_ptr<TSelection>* mask);
    // The selection the next swap gives the mask (TSelection::Select), and
    // the one the swap after gives back.
    void Selects(const QRect& next, const QRect& after);
    qint64 Bytes() const;
    std::uint64_t Id() const { return id_; }

private:
    std::vector<Span> spans_;
    StepBytes bytes_;
    qsizetype size_;
    QImage image_; // a change of size: the other image
    std::unique_ptr<TSelection> mask_; // and the other mask
    bool selects_ = false;
    QRect selection_[2]; // the next swap's selection, then the one after
    std::uint64_t id_;
};

// The undo and redo steps of one document's image. A gesture is recorded as
// it goes: each row is copied the first time it is announced for writing,
// and at the end only the pixels that really changed are kept. A whole-image
// change copies the image first. Steps go oldest first, over all documents,
// when the budget is reached; a step larger than the budget is not kept and
// the change cannot be undone.
class THistorique : private TRowWatcher {
public:
    // `mask` is where the document keeps its mask, for the changes of size.
    explicit THistorique(TBitmap& image, std::unique_ptr<TSelection>* mask = nullptr);
    ~THistorique();
    THistorique(const THistorique&) = delete;
    THistorique& operator=(const THistorique&) = delete;

    // A gesture: the rows that are announced for writing between the
    // two calls are watched. Beginning a gesture ends one still open.
    void BeginGesture();
    void EndGesture();
    bool GestureOpen() const { return watching_; }
    // The open gesture also changes the selection from `before` to `after`
    // (rectangles, the whole image for every pixel): its step gives `before`
    // back on undo and `after` on redo, and it is kept even when no pixel
    // changed, unless the two are the same.
    void SelectionChanges(const QRect& before, const QRect& after);

    // A change of the whole image: copies it (after making room) at the
    // beginning; at the end the step is kept when something changed. Nested
    // pairs count as one change.
    void BeginWhole();
    void EndWhole();

    // A change of the image's size (a crop, a turn, a resize): `image` (24
    // bits) and `mask` take the document's places and the step keeps the
    // previous ones, given back exactly by Undo. Without the memory for the
    // step the change is made all the same and the history is forgotten.
    void ChangeSize(QImage image, std::unique_ptr<TSelection> mask);

    // Each returns false when there is nothing to undo or redo.
    bool Undo();
    bool Redo();
    std::size_t UndoCount() const { return undo_.size(); }
    std::size_t RedoCount() const { return redo_.size(); }

    // Changed since created, opened or last saved.
    bool Modified() const { return Current() != saved_; }
    void MarkSaved() { saved_ = Current(); }
    // `state` (a value of State()) is the saved one: the state a save wrote,
    // whatever happened since.
    void MarkSaved(std::uint64_t state) { saved_ = state; }
    // No state is the saved one: the image counts as changed until saved
    // (a recovered image).
    void MarkUnsaved() { saved_ = 0; }
    // Names the image's state: it changes with every change, undo and redo.
    std::uint64_t State() const { return Current(); }

private:
    friend class THistoryStore;
    void RowTouched(int row) override;
    std::uint64_t Current() const { return undo_.empty() ? base_ : undo_.back()->Id(); }
    // Keeps the change made from the saved rows, or forgets the history when
    // the change cannot be kept.
    void Commit(std::unique_ptr<TEtape> step);
    void Broken();
    void DropRedo();
    // The creation number of the oldest step held (0 when none).
    std::uint64_t Oldest() const;
    // Drops the oldest step; returns the bytes freed.
    qint64 DropOldest();
    // Builds the step of the rows saved since the beginning; null when nothing changed.
    std::unique_ptr<TEtape> Collect();

    TBitmap& image_;
    std::unique_ptr<TSelection>* mask_;
    std::deque<std::unique_ptr<TEtape>> undo_;
    std::vector<std::unique_ptr<TEtape>> redo_; // back: the next to redo
    std::uint64_t base_;
    std::uint64_t saved_;

    // The rows saved while a change is open, in the order first touched.
    bool watching_ = false;
    bool lost_ = false; // a copy failed: the change cannot be undone
    bool selects_ = false; // the open gesture changes the selection
    QRect selectedBefore_, selectedAfter_;
    int wholeDepth_ = 0;
    std::vector<std::uint8_t> touched_;
    std::vector<int> rows_;
    std::vector<std::unique_ptr<std::uint8_t[]>> rowCopies_;
    StepBytes wholeCopy_;
    qint64 reserved_ = 0;
};
