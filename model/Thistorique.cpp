#include "model/Thistorique.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

// The histories of all documents and the memory their steps hold.
class THistoryStore {
public:
    static THistoryStore& Get()
    {
        static THistoryStore store;
        return store;
    }

    std::uint64_t NextId() { return ++lastId_; }

    void Add(THistorique* history) { histories_.push_back(history); }
    void Remove(THistorique* history)
    {
        histories_.erase(std::remove(histories_.begin(), histories_.end(), history), histories_.end());
    }

    // Drops the oldest steps of all documents until `bytes` more fit; false
    // when they never can.
    bool MakeRoom(qint64 bytes)
    {
        if (bytes > budget_)
            return false;
        while (held_ + bytes > budget_) {
            THistorique* oldest = nullptr;
            for (THistorique* history : histories_) {
                const std::uint64_t id = history->Oldest();
                if (id != 0 && (!oldest || id < oldest->Oldest()))
                    oldest = history;
            }
            if (!oldest)
                return false;
            held_ -= oldest->DropOldest();
        }
        return true;
    }

    qint64 budget_ = kHistoryBudget;
    qint64 held_ = 0;

private:
    std::uint64_t lastId_ = 0;
    std::vector<THistorique*> histories_;
};

qint64 HistoryBudget() { return THistoryStore::Get().budget_; }
void SetHistoryBudget(qint64 bytes)
{
    THistoryStore& store = THistoryStore::Get();
    store.budget_ = bytes;
    store.MakeRoom(0);
}
qint64 HistoryHeldBytes() { return THistoryStore::Get().held_; }

TEtape::TEtape(std::vector<Span> spans, StepBytes bytes, qsizetype size)
    : spans_(std::move(spans)), bytes_(std::move(bytes)), size_(size), id_(THistoryStore::Get().NextId())
{
}

// A change of size is counted for the image and mask it is made with; the
// side it holds after a swap is about as large.
TEtape::TEtape(QImage image, std::unique_ptr<TSelection> mask)
    : size_(image.sizeInBytes() + (mask ? qsizetype(mask->Bytes()) : 0)),
      image_(std::move(image)),
      mask_(std::move(mask)),
      id_(THistoryStore::Get().NextId())
{
}

qint64 TEtape::Bytes() const { return qint64(sizeof(TEtape)) + size_ + qint64(spans_.capacity() * sizeof(Span)); }

void TEtape::Selects(const QRect& next, const QRect& after)
{
    selects_ = true;
    selection_[0] = next;
    selection_[1] = after;
}

void TEtape::Swap(TBitmap& image, std::unique_ptr<TSelection>* mask)
{
    if (selects_ && mask && *mask) {
        (*mask)->Select(selection_[0]);
        std::swap(selection_[0], selection_[1]);
    }
    if (!image_.isNull()) {
        image.Exchange(image_);
        if (mask)
            std::swap(*mask, mask_);
        return;
    }
    std::vector<std::uint8_t> held;
    for (const Span& span : spans_) {
        std::uint8_t* pixels = image.ScanLine(span.row) + span.offset;
        std::uint8_t* kept = bytes_.get() + span.at;
        held.assign(pixels, pixels + span.length);
        std::memcpy(pixels, kept, size_t(span.length));
        std::memcpy(kept, held.data(), size_t(span.length));
    }
}

THistorique::THistorique(TBitmap& image, std::unique_ptr<TSelection>* mask) : image_(image), mask_(mask)
{
    THistoryStore& store = THistoryStore::Get();
    base_ = saved_ = store.NextId();
    store.Add(this);
}

THistorique::~THistorique()
{
    if (watching_)
        image_.SetRowWatcher(nullptr);
    THistoryStore& store = THistoryStore::Get();
    store.held_ -= reserved_;
    for (const auto& step : undo_)
        store.held_ -= step->Bytes();
    for (const auto& step : redo_)
        store.held_ -= step->Bytes();
    store.Remove(this);
}

void THistorique::BeginGesture()
{
    if (wholeDepth_ > 0)
        return;
    EndGesture();
    touched_.assign(size_t(std::max(image_.Height(), 0)), 0);
    rows_.clear();
    rowCopies_.clear();
    lost_ = false;
    selects_ = false;
    watching_ = true;
    image_.SetRowWatcher(this);
}

void THistorique::SelectionChanges(const QRect& before, const QRect& after)
{
    if (!watching_)
        return;
    selects_ = true;
    selectedBefore_ = before;
    selectedAfter_ = after;
}

void THistorique::RowTouched(int row)
{
    if (row < 0 || row >= int(touched_.size()) || touched_[size_t(row)])
        return;
    touched_[size_t(row)] = 1;
    const size_t bytes = size_t(image_.Width()) * 3;
    const std::uint8_t* pixels = image_.ScanLine(row); // the row as it was
    std::unique_ptr<std::uint8_t[]> copy(new (std::nothrow) std::uint8_t[bytes]);
    if (!copy) {
        lost_ = true;
        return;
    }
    std::memcpy(copy.get(), pixels, bytes);
    rows_.push_back(row);
    rowCopies_.push_back(std::move(copy));
}

// clang 14's analyzer loses the step that Collect hands back in its unique_ptr
// and reports it leaked at the end of EndGesture; the step is owned throughout.
// NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
void THistorique::EndGesture()
{
    if (!watching_)
        return;
    watching_ = false;
    image_.SetRowWatcher(nullptr);
    std::unique_ptr<TEtape> step = lost_ ? nullptr : Collect();
    if (!lost_ && selects_ && selectedBefore_ != selectedAfter_ && !step)
        step = std::make_unique<TEtape>(std::vector<TEtape::Span>(), StepBytes(), 0);
    if (step && selects_)
        step->Selects(selectedBefore_, selectedAfter_);
    selects_ = false;
    touched_.clear();
    touched_.shrink_to_fit();
    rows_.clear();
    rowCopies_.clear();
    if (lost_)
        Broken();
    else if (step)
        Commit(std::move(step));
}
// NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)

void THistorique::BeginWhole()
{
    if (wholeDepth_++ > 0)
        return;
    EndGesture();
    lost_ = false;
    const qint64 bytes = qint64(image_.Width()) * 3 * image_.Height();
    THistoryStore& store = THistoryStore::Get();
    // A copy larger than the budget is not made: the change cannot be undone.
    if (bytes <= 0 || !store.MakeRoom(bytes)) {
        lost_ = bytes > 0;
        return;
    }
    wholeCopy_ = AllocateLargeArray<std::uint8_t>(size_t(bytes));
    if (!wholeCopy_) {
        lost_ = true;
        return;
    }
    reserved_ = bytes;
    store.held_ += reserved_;
    const size_t rowBytes = size_t(image_.Width()) * 3;
    const TBitmap& image = image_;
    for (int row = 0; row < image.Height(); ++row)
        std::memcpy(wholeCopy_.get() + size_t(row) * rowBytes, image.ScanLine(row), rowBytes);
}

void THistorique::EndWhole()
{
    if (wholeDepth_ == 0 || --wholeDepth_ > 0)
        return;
    THistoryStore::Get().held_ -= reserved_;
    reserved_ = 0;
    if (lost_) {
        Broken();
        return;
    }
    std::unique_ptr<TEtape> step = Collect();
    wholeCopy_.reset();
    if (lost_)
        Broken();
    else if (step)
        Commit(std::move(step));
}

void THistorique::ChangeSize(QImage image, std::unique_ptr<TSelection> mask)
{
    EndGesture();
    auto step = std::make_unique<TEtape>(std::move(image), std::move(mask));
    step->Swap(image_, mask_);
    // Held like any step; one that cannot be kept frees the previous image.
    Commit(std::move(step));
}

std::unique_ptr<TEtape> THistorique::Collect()
{
    const int width3 = image_.Width() * 3;
    const TBitmap& image = image_;
    std::vector<TEtape::Span> spans;
    qsizetype total = 0;
    const bool whole = wholeCopy_ != nullptr;
    const int count = whole ? image.Height() : int(rows_.size());
    auto savedRow = [&](int i) {
        return whole ? wholeCopy_.get() + size_t(i) * size_t(width3) : rowCopies_[size_t(i)].get();
    };
    for (int i = 0; i < count; ++i) {
        const int row = whole ? i : rows_[size_t(i)];
        const std::uint8_t* before = savedRow(i);
        const std::uint8_t* now = image.ScanLine(row);
        if (std::memcmp(before, now, size_t(width3)) == 0)
            continue;
        int first = 0;
        while (before[first] == now[first])
            ++first;
        int last = width3 - 1;
        while (before[last] == now[last])
            --last;
        // Whole pixels.
        first -= first % 3;
        last += 2 - last % 3;
        const qsizetype at = whole ? qsizetype(i) * width3 + first : total;
        spans.push_back({row, first, last - first + 1, at});
        total += last - first + 1;
    }
    if (spans.empty())
        return nullptr;
    const qsizetype wholeBytes = qsizetype(width3) * image.Height();
    // A whole-image copy that mostly changed is kept as it is.
    if (whole && total * 2 >= wholeBytes) {
        spans.shrink_to_fit();
        return std::make_unique<TEtape>(std::move(spans), std::move(wholeCopy_), wholeBytes);
    }
    StepBytes packed = AllocateLargeArray<std::uint8_t>(size_t(total));
    if (!packed) {
        lost_ = true;
        return nullptr;
    }
    qsizetype at = 0;
    for (int i = 0, s = 0; i < count && s < int(spans.size()); ++i) {
        const int row = whole ? i : rows_[size_t(i)];
        TEtape::Span& span = spans[size_t(s)];
        if (span.row != row)
            continue;
        std::memcpy(packed.get() + at, savedRow(i) + span.offset, size_t(span.length));
        span.at = at;
        at += span.length;
        ++s;
    }
    spans.shrink_to_fit();
    return std::make_unique<TEtape>(std::move(spans), std::move(packed), total);
}

void THistorique::Commit(std::unique_ptr<TEtape> step)
{
    DropRedo();
    THistoryStore& store = THistoryStore::Get();
    if (!step || !store.MakeRoom(step->Bytes())) {
        Broken();
        return;
    }
    store.held_ += step->Bytes();
    undo_.push_back(std::move(step));
}

void THistorique::Broken()
{
    THistoryStore& store = THistoryStore::Get();
    DropRedo();
    for (const auto& step : undo_)
        store.held_ -= step->Bytes();
    undo_.clear();
    base_ = store.NextId();
}

void THistorique::DropRedo()
{
    for (const auto& step : redo_)
        THistoryStore::Get().held_ -= step->Bytes();
    redo_.clear();
}

std::uint64_t THistorique::Oldest() const
{
    if (!undo_.empty())
        return undo_.front()->Id();
    return redo_.empty() ? 0 : redo_.back()->Id();
}

qint64 THistorique::DropOldest()
{
    qint64 freed = 0;
    if (!undo_.empty()) {
        freed = undo_.front()->Bytes();
        base_ = undo_.front()->Id();
        undo_.pop_front();
        return freed;
    }
    // Later steps cannot be redone without the first one.
    for (const auto& step : redo_)
        freed += step->Bytes();
    redo_.clear();
    return freed;
}

bool THistorique::Undo()
{
    EndGesture();
    if (undo_.empty() || wholeDepth_ > 0)
        return false;
    std::unique_ptr<TEtape> step = std::move(undo_.back());
    undo_.pop_back();
    step->Swap(image_, mask_);
    redo_.push_back(std::move(step));
    return true;
}

bool THistorique::Redo()
{
    EndGesture();
    if (redo_.empty() || wholeDepth_ > 0)
        return false;
    std::unique_ptr<TEtape> step = std::move(redo_.back());
    redo_.pop_back();
    step->Swap(image_, mask_);
    undo_.push_back(std::move(step));
    return true;
}
