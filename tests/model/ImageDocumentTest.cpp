// The document model alone, without a window: every kind of change is one
// undo step, a change of size comes back exactly, and listeners hear what
// changed.
#include "model/ImageDocument.h"
#include "commands/CommandTable.h"
#include "filters/Tfiltre.h"
#include "kernels/Tselection.h"
#include "model/Thistorique.h"
#include "raster/TCanvas.h"
#include "support/Images.h"

#include <QSignalSpy>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <utility>

namespace {

using commands::CommandId;

// A document holding a copy of `image`, and what its listeners heard.
struct Watched {
    explicit Watched(const TBitmap& image) : document(testimg::Copy(image)->Image())
    {
        QObject::connect(&document, &ImageDocument::Changed, [this](const QRect& r) { heard |= r; });
        QObject::connect(&document, &ImageDocument::Resized, [this] { ++resized; });
    }
    ImageDocument document;
    QRect heard;
    int resized = 0;
};

// An image of another size than `image`, and a mask with a rectangle.
QImage turned(const TBitmap& image)
{
    QImage out = NewBitmapImage(image.Height(), image.Width());
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            std::memcpy(out.scanLine(y) + 3 * x, image.ScanLine(x) + 3 * (image.Width() - 1 - y), 3);
    return out;
}

} // namespace

TEST(ImageDocument, EachKindOfChangeIsOneUndoStepAndListenersHearItsRectangle)
{
    const auto original = testimg::Noise(23, 17, 4);
    const QRect whole(0, 0, 23, 17);
    struct Case {
        const char* name;
        std::function<void(ImageDocument&)> change;
        QRect heard;
    };
    QImage piece = NewBitmapImage(5, 4);
    piece.fill(0);
    const Case cases[] = {
        {"an effect", [](ImageDocument& d) { d.Run(commands::Find(CommandId::Negatif)); }, whole},
        {"a filter through a selection",
         [](ImageDocument& d) {
             d.SelectRectangle(2, 3, 12, 9);
             d.Run(commands::Find(CommandId::Flou));
         },
         whole},
        {"two effects as one change",
         [](ImageDocument& d) {
             d.Change([&] {
                 d.Run(commands::Find(CommandId::Mirroir));
                 d.Run(commands::Find(CommandId::Flip));
             });
         },
         whole},
        {"a gesture",
         [](ImageDocument& d) {
             d.BeginGesture();
             d.Image().Canvas()->SetPixels(3, 4, clBlack);
             d.Image().Canvas()->FillSpan(1, 10, 6, clWhite);
             d.EndGesture();
         },
         QRect(1, 4, 6, 7)},
        {"a paste clipped at the edge", [&piece](ImageDocument& d) { d.Paste(piece, QPoint(20, 15)); },
         QRect(20, 15, 3, 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Watched w(*original);
        c.change(w.document);
        EXPECT_EQ(w.heard, c.heard);
        EXPECT_FALSE(testimg::SameBytes(w.document.Image(), *original));
        EXPECT_TRUE(w.document.Modified());
        ASSERT_NE(w.document.History(), nullptr);
        EXPECT_EQ(w.document.History()->UndoCount(), 1u);
        const auto changed = testimg::Copy(w.document.Image());
        EXPECT_TRUE(w.document.Undo());
        EXPECT_TRUE(testimg::SameBytes(w.document.Image(), *original));
        EXPECT_FALSE(w.document.Modified());
        EXPECT_TRUE(w.document.Redo());
        EXPECT_TRUE(testimg::SameBytes(w.document.Image(), *changed));
        EXPECT_EQ(w.resized, 0);
    }
}

TEST(ImageDocument, AChangeOfSizeComesBackExactlyWithItsMask)
{
    const auto original = testimg::Noise(7, 5, 8);
    Watched w(*original);
    w.document.SelectRectangle(1, 1, 4, 3);
    const QRect selected = w.document.SelectionBounds();
    w.document.Run(commands::Find(CommandId::Negatif)); // a step before
    const auto before = testimg::Copy(w.document.Image());

    const QImage next = turned(*before);
    w.document.ChangeSize(next, std::make_unique<TSelection>(5, 7));
    EXPECT_EQ(w.resized, 1);
    EXPECT_EQ(QSize(w.document.Width(), w.document.Height()), QSize(5, 7));
    EXPECT_EQ(w.document.Mask().Width(), 5);
    EXPECT_TRUE(w.document.Mask().Everything());
    EXPECT_EQ(w.document.Image().Image(), next);
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(w.document.Undo());
        EXPECT_TRUE(testimg::SameBytes(w.document.Image(), *before));
        EXPECT_EQ(w.document.SelectionBounds(), selected);
        EXPECT_TRUE(w.document.Redo());
        EXPECT_EQ(w.document.Image().Image(), next);
        EXPECT_EQ(w.document.Mask().Height(), 7);
    }
    EXPECT_EQ(w.resized, 5);
    // Two steps back: the image as it was opened.
    EXPECT_TRUE(w.document.Undo());
    EXPECT_TRUE(w.document.Undo());
    EXPECT_TRUE(testimg::SameBytes(w.document.Image(), *original));
    EXPECT_FALSE(w.document.Modified());
}

TEST(ImageDocument, WithoutAHistoryChangesAreMadeAndNothingIsKept)
{
    const auto original = testimg::Noise(9, 6, 2);
    Watched w(*original);
    w.document.KeepNoHistory();
    w.document.Run(commands::Find(CommandId::Negatif));
    w.document.ChangeSize(turned(*original), std::make_unique<TSelection>(6, 9));
    EXPECT_EQ(w.document.History(), nullptr);
    EXPECT_FALSE(w.document.Undo());
    EXPECT_EQ(w.document.Width(), 6);
    EXPECT_EQ(HistoryHeldBytes(), 0);
}

// While every pixel is editable the mask is one shared row; a written mask
// has rows of its own, and selecting everything frees them again.
TEST(Selection, AWholeMaskCostsARowAndTheRectangleFollowsTheTool)
{
    TSelection mask(1000, 800);
    EXPECT_TRUE(mask.Everything());
    EXPECT_LT(mask.Bytes(), 10000u);
    EXPECT_EQ(mask.Bounds(), QRect(0, 0, 1000, 800));
    struct Case {
        int x0, y0, x1, y1;
        QRect bounds;
    };
    const Case cases[] = {
        {10, 5, 20, 15, QRect(10, 5, 10, 10)},     {20, 15, 10, 5, QRect(10, 5, 10, 10)},
        {-5, -7, 3, 2, QRect(0, 0, 3, 2)},         {10, 5, 10, 15, QRect(0, 0, 1000, 800)},
        {10, 5, 1000, 15, QRect(0, 0, 1000, 800)}, {10, 5, 20, -1, QRect(0, 0, 1000, 800)},
    };
    for (const Case& c : cases) {
        mask.SelectRectangle(c.x0, c.y0, c.x1, c.y1);
        EXPECT_EQ(mask.Bounds(), c.bounds) << c.x0 << "," << c.y0 << " " << c.x1 << "," << c.y1;
        int editable = 0;
        for (int y = 0; y < 800; ++y)
            for (int x = 0; x < 1000; ++x)
                editable += mask.ReadRows()[y][x];
        EXPECT_EQ(editable, c.bounds.width() * c.bounds.height());
    }
    std::uint8_t** rows = mask.ReadRows();
    mask.SelectRectangle(1, 1, 2, 2);
    EXPECT_FALSE(mask.Everything());
    EXPECT_GE(mask.Bytes(), 800000u);
    EXPECT_EQ(rows[1][1], 1); // the table a tool keeps sees the new rows
    EXPECT_EQ(rows[0][0], 0);
    mask.SelectAll();
    EXPECT_TRUE(mask.Everything());
    EXPECT_LT(mask.Bytes(), 10000u);
    EXPECT_EQ(rows[0][0], 1);
}

TEST(ImageDocument, TheSavedStateIsTheOneWrittenWhateverHappensWhileTheFileIsWritten)
{
    const auto original = testimg::Noise(9, 7, 3);
    const auto stroke = [](ImageDocument& d) { d.Image().Canvas()->SetPixels(2, 3, clBlack); };
    struct Case {
        const char* name;
        std::function<void(ImageDocument&)> before; // up to the save
        std::function<void(ImageDocument&)> during; // while the file is written
        bool unsaved;
    };
    const Case cases[] = {
        {"a press and a release that change nothing",
         [](ImageDocument& d) {
             d.BeginGesture();
             d.EndGesture();
         },
         {},
         false},
        {"a gesture still open, which the save ends",
         [&](ImageDocument& d) {
             d.BeginGesture();
             d.Image().WillWriteRows(3, 3);
             stroke(d);
         },
         {},
         false},
        {"a gesture that changes nothing, begun during the write",
         {},
         [](ImageDocument& d) {
             d.BeginGesture();
             d.EndGesture();
         },
         false},
        {"a change during the write", {}, [](ImageDocument& d) { d.Run(commands::Find(CommandId::Negatif)); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageDocument document(testimg::Copy(*original)->Image());
        if (c.before)
            c.before(document);
        const std::uint64_t written = document.StateToSave();
        const auto inFile = testimg::Copy(document.Image());
        if (c.during)
            c.during(document);
        document.MarkSaved(QStringLiteral("/nulle/part.png"), ImageFormat::Png, written);
        EXPECT_EQ(document.Unsaved(), c.unsaved);
        EXPECT_EQ(document.Modified(), c.unsaved);
        // Undone back to what the file holds, it is saved again.
        if (c.unsaved && document.Undo()) {
            EXPECT_TRUE(testimg::SameBytes(document.Image(), *inFile));
            EXPECT_FALSE(document.Modified());
        }
    }
}

// A floating piece is the selection while it floats and lands whole where it
// stands, however it is set down; undo gives back the image and the selection.
TEST(ImageDocument, AFloatingPieceLandsWholeWhereItStandsAndStaysSelected)
{
    const auto original = testimg::Noise(23, 17, 21);
    const QRect whole(0, 0, 23, 17), selected(2, 2, 6, 5);
    const TColor hole = RGBColor(1, 2, 3), fill = RGBColor(9, 8, 7);
    const QString saved = testimg::TempDir() + QStringLiteral("/posee.bmp");
    // An 8 x 5 paste at the selection's corner or the selected pixels lifted,
    // moved inside, past the bottom-right or the top-left, wholly outside.
    const std::pair<bool, QPoint> cases[] = {{false, {5, 3}}, {false, {18, 14}}, {false, {-3, -2}}, {false, {30, 5}},
                                             {true, {12, 9}}, {true, {4, 3}},    {true, {20, 1}}};
    enum Way { SetDown, Save, Command, Undo, Escape };
    for (const auto& [lift, to] : cases)
        for (const Way way : {SetDown, Save, Command, Undo, Escape}) {
            SCOPED_TRACE(testing::Message() << lift << " at " << to.x() << "," << to.y() << " way " << int(way));
            ImageDocument d(original->Image());
            d.SelectRectangle(2, 2, 8, 7);
            const QImage piece = lift ? original->Image().copy(selected) : testimg::Noise(8, 5, 22)->Image();
            lift ? void(d.Lift(hole)) : d.Float(piece, selected.topLeft());
            d.MoveFloating(to);
            const QRect over = QRect(to, piece.size()) & whole;
            const QRect landing = over.isEmpty() ? whole : over;
            EXPECT_EQ(d.SelectionBounds(), landing);
            auto landed = testimg::Copy(*original);
            for (int y = 0; y < 17; ++y)
                for (int x = 0; x < 23; ++x)
                    if (over.contains(x, y))
                        std::memcpy(landed->ScanLine(y) + 3 * x, piece.constScanLine(y - to.y()) + 3 * (x - to.x()), 3);
                    else if (lift && selected.contains(x, y))
                        landed->Canvas()->SetPixels(x, y, hole);
            switch (way) {
            case SetDown: d.SetDown(); break;
            case Save: d.SaveAs(saved, ImageFormat::Bmp, 90); break;
            case Command: d.Run(commands::Find(CommandId::Remplir), {commands::ToRrggbb(fill)}); break;
            case Undo: EXPECT_TRUE(d.Undo()); break;
            case Escape: d.DropFloating(); break;
            }
            EXPECT_FALSE(d.Floating());
            if (way == Escape || way == Undo) {
                EXPECT_TRUE(testimg::SameBytes(d.Image(), *original));
                EXPECT_EQ(d.SelectionBounds(), selected);
                if (way == Escape)
                    continue;
                EXPECT_TRUE(d.Redo()); // undone: redo lands it again
            }
            if (way == Command) {
                // The fill saw the piece's rectangle as the selection.
                for (int y = landing.top(); y <= landing.bottom(); ++y)
                    landed->Canvas()->FillSpan(landing.left(), y, landing.width(), fill);
                EXPECT_TRUE(testimg::SameBytes(d.Image(), *landed));
                continue;
            }
            EXPECT_TRUE(testimg::SameBytes(d.Image(), *landed));
            EXPECT_EQ(d.SelectionBounds(), landing);
            // One step, even when only the selection changed.
            EXPECT_EQ(d.History()->UndoCount(), 1u);
            EXPECT_TRUE(d.Undo());
            EXPECT_TRUE(testimg::SameBytes(d.Image(), *original));
            EXPECT_EQ(d.SelectionBounds(), selected);
            EXPECT_EQ(d.Modified(), way == Save);
        }
}

// Select writes exactly the rectangle asked for, whatever the mask held:
// rectangles that move, grow and shrink over each other, in and out.
TEST(Selection, SelectKeepsExactlyTheRectangleAsItMoves)
{
    TSelection mask(40, 30);
    std::uint32_t seed = 7;
    const auto next = [&seed](int range) {
        return int(((seed = seed * 1103515245u + 12345u) >> 16) % unsigned(range));
    };
    for (int i = 0; i < 300; ++i) {
        const QRect rect = i % 50 == 7 ? QRect(-5, -5, 60, 60) : QRect(next(50) - 5, next(40) - 5, next(30), next(25));
        mask.Select(rect);
        const QRect kept = rect & QRect(0, 0, 40, 30);
        EXPECT_EQ(mask.Everything(), kept == QRect(0, 0, 40, 30));
        EXPECT_EQ(mask.Bounds(), kept.isEmpty() ? QRect() : kept);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(mask.ReadRows()[y][x], kept.contains(x, y) ? 1 : 0) << i;
    }
}
