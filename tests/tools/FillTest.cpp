#include "ToolScene.h"
#include "raster/Screen.h"
#include "tools/Tpot.h"

#include <QRect>
#include <gtest/gtest.h>
#include <random>

using namespace toolscene;

namespace {

constexpr TColor kRed = RGBColor(255, 0, 0);
constexpr TColor kGrey = RGBColor(128, 128, 128);
// Two colours that differ only by the order of their channels.
constexpr TColor kLeaf = RGBColor(10, 200, 30);
constexpr TColor kMoss = RGBColor(30, 200, 10);

// The reference work list, the plainest one: a chain of nodes with an
// empty head node at its newest end. Finding the oldest point and removing a
// point both walk the whole chain; a point may be in it several times.
class LinkedWorkList {
public:
    LinkedWorkList(int x, int y)
    {
        head_ = new Node{0, 0, nullptr, nullptr};
        Add(x, y);
    }
    ~LinkedWorkList()
    {
        while (head_) {
            Node* older = head_->next;
            delete head_;
            head_ = older;
        }
    }
    LinkedWorkList(const LinkedWorkList&) = delete;
    LinkedWorkList& operator=(const LinkedWorkList&) = delete;

    bool Empty() const { return count_ == 0; }
    void Add(int x, int y)
    {
        head_->x = x;
        head_->y = y;
        Node* node = new Node{0, 0, head_, nullptr};
        head_->newer = node;
        head_ = node;
        ++count_;
    }
    Point Oldest() const
    {
        const Node* node = head_;
        while (node->next)
            node = node->next;
        return {node->x, node->y};
    }
    void RemoveAll(int x, int y)
    {
        Node* node = head_->next;
        while (node) {
            Node* older = node->next;
            if (node->x == x && node->y == y) {
                node->newer->next = older;
                if (older)
                    older->newer = node->newer;
                delete node;
                --count_;
            }
            node = older;
        }
    }

private:
    struct Node {
        int x, y;
        Node* next; // the next older node
        Node* newer; // the next newer node
    };
    Node* head_;
    int count_ = 0;
};

// The reference fill, step by step, through the canvases. Returns the window
// writes in their order. Never called with the colour equal to the target,
// where it would not end.
std::vector<Point> referenceFill(Scene& scene, int x, int y, TColor colour)
{
    TBitmap& bmp = *scene.image;
    std::uint8_t** mask = scene.selection.GetRows();
    std::vector<Point> writes;
    LinkedWorkList list(x, y);
    const TColor target = scene.Window()->Pixels(x, y);
    while (!list.Empty()) {
        const auto [px, py] = list.Oldest();
        if (mask[py][px] != 0) {
            scene.Window()->SetPixels(px, py, colour);
            writes.push_back({px, py});
            bmp.Canvas()->SetPixels(px, py, colour);
        }
        const auto consider = [&](int nx, int ny) {
            if (nx >= 0 && ny >= 0 && nx < bmp.Width() && ny < bmp.Height() && bmp.Canvas()->Pixels(nx, ny) == target &&
                mask[ny][nx] != 0)
                list.Add(nx, ny);
        };
        consider(px, py - 1);
        consider(px - 1, py);
        consider(px + 1, py);
        consider(px, py + 1);
        list.RemoveAll(px, py);
    }
    return writes;
}

// The changes the window's notifier hears during one press of the bucket.
std::vector<QRect> recordedFill(Scene& scene, TPot& pot, int x, int y, TMouseButton button, bool* hourglass = nullptr)
{
    std::vector<QRect> changes;
    scene.Window()->SetChangeNotifier([&](const QRect& r) {
        changes.push_back(r);
        if (hourglass)
            *hourglass = *hourglass && Screen->Cursor() == crHourGlass;
    });
    pot.Clic(x, y, button, scene.Window());
    scene.Window()->SetChangeNotifier({});
    return changes;
}

// What the notifier hears of a fill that writes these pixels: nothing when
// there are none, else their bounding rectangle, once.
std::vector<QRect> oneChange(const std::vector<Point>& writes)
{
    QRect around;
    for (const auto& [x, y] : writes)
        around |= QRect(x, y, 1, 1);
    return writes.empty() ? std::vector<QRect>() : std::vector<QRect>{around};
}

} // namespace

TEST(PaintBucket, FillsAUniformImageAndShowsItOnTheWindow)
{
    Scene scene(10, 10);
    auto pot = scene.Make<TPot>();
    bool hourglass = true;
    EXPECT_EQ(recordedFill(scene, *pot, 4, 6, mbLeft, &hourglass), std::vector<QRect>{QRect(0, 0, 10, 10)});
    EXPECT_TRUE(hourglass);
    EXPECT_EQ(Screen->Cursor(), crArrow);
    EXPECT_EQ(Where(*scene.image, clBlack).size(), 100u);
    EXPECT_EQ(Where(scene.window, clBlack).size(), 100u);
}

TEST(PaintBucket, StopsAtBordersOfAnyOtherColour)
{
    // A one-pixel diagonal: no diagonal steps.
    Scene diagonal(12, 12);
    for (int i = 0; i < 12; ++i)
        diagonal.image->Canvas()->SetPixels(i, 11 - i, kGrey);
    diagonal.Repaint();
    auto pot = diagonal.Make<TPot>();
    pot->Clic(0, 0, mbLeft, diagonal.Window());
    EXPECT_EQ(Where(*diagonal.image, clBlack).size(), 66u);
    EXPECT_EQ(testimg::At(*diagonal.image, 11, 11), clWhite);

    // One unit of one channel is a border as well.
    Scene nearly(10, 4);
    for (int y = 0; y < 4; ++y)
        nearly.image->Canvas()->SetPixels(5, y, RGBColor(255, 255, 254));
    nearly.Repaint();
    auto other = nearly.Make<TPot>();
    other->Clic(0, 0, mbLeft, nearly.Window());
    EXPECT_EQ(Where(*nearly.image, clBlack).size(), 20u);
}

TEST(PaintBucket, NeitherPaintsNorCrossesProtectedPixels)
{
    Scene scene(20, 10);
    scene.Mask(8, 0, 10, 10, 0);
    auto pot = scene.Make<TPot>();
    pot->Clic(2, 2, mbRight, scene.Window()); // couleur2 is white: make it visible
    pot->SetCouleur2(kRed);
    pot->Clic(2, 2, mbRight, scene.Window());
    Points left;
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 10; ++y)
            left.insert({x, y});
    EXPECT_EQ(Where(*scene.image, kRed), left);
}

TEST(PaintBucket, AProtectedSeedIsNotPaintedButTheFillSpreadsFromIt)
{
    Scene scene(9, 9);
    scene.Mask(4, 4, 5, 5, 0);
    auto pot = scene.Make<TPot>();
    pot->Clic(4, 4, mbLeft, scene.Window());
    EXPECT_EQ(testimg::At(*scene.image, 4, 4), clWhite);
    EXPECT_EQ(testimg::At(scene.window, 4, 4), clWhite);
    EXPECT_EQ(Where(*scene.image, clBlack).size(), 80u);
}

TEST(PaintBucket, TakesTheTargetFromTheWindow)
{
    // The window shows grey where the bitmap is white: only the seed qualifies.
    Scene scene(6, 6);
    scene.window.Canvas()->SetPixels(3, 3, kGrey);
    auto pot = scene.Make<TPot>();
    EXPECT_EQ(recordedFill(scene, *pot, 3, 3, mbLeft), std::vector<QRect>{QRect(3, 3, 1, 1)});
    EXPECT_EQ(Changed(*testimg::Uniform(6, 6, clWhite), *scene.image), Points({{3, 3}}));

    // The window shows grey everywhere but the bitmap is white at the seed:
    // the seed is painted anyway and the fill spreads into the grey bitmap.
    Scene other(6, 6, kGrey);
    other.image->Canvas()->SetPixels(0, 0, clWhite);
    auto second = other.Make<TPot>();
    second->Clic(0, 0, mbLeft, other.Window());
    EXPECT_EQ(Where(*other.image, clBlack).size(), 36u);
}

TEST(PaintBucket, FillingWithTheTargetColourEndsAndChangesNothing)
{
    Scene scene(30, 20);
    scene.image->Canvas()->SetPixels(7, 7, kRed); // under a window that shows white
    auto pot = scene.Make<TPot>();
    pot->SetCouleur2(clWhite);
    const auto before = testimg::Copy(*scene.image);
    const auto shown = testimg::Copy(scene.window);
    EXPECT_TRUE(recordedFill(scene, *pot, 7, 7, mbRight).empty());
    EXPECT_TRUE(testimg::SameBytes(*before, *scene.image));
    EXPECT_TRUE(testimg::SameBytes(*shown, scene.window));
    EXPECT_EQ(Screen->Cursor(), crArrow);
}

TEST(PaintBucket, DragAndReleaseDoNothing)
{
    Scene scene(10, 10, kGrey);
    auto pot = scene.Make<TPot>();
    scene.Stroke(*pot, {{1, 1}, {5, 5}, {8, 2}});
    const auto filled = testimg::Copy(*scene.image);
    scene.image->Canvas()->SetPixels(9, 9, kGrey);
    int ax = 1, ay = 1;
    pot->Trace(&ax, &ay, 9, 9, mbLeft, nullptr);
    pot->Trace(&ax, &ay, 9, 9, mbLeft, scene.Window());
    EXPECT_EQ(testimg::At(*scene.image, 9, 9), kGrey);
    EXPECT_EQ(Where(*filled, clBlack).size(), 100u);
}

// The window ends up as the reference work list paints it pixel by pixel,
// breadth first, and so does the bitmap; the notifier hears of the whole fill
// once. Random regions of sparse to dense borders (around 40 % the regions are
// mazes full of dead ends), with protected pixels, on odd sizes across the
// 64-pixel words of the walk, and sometimes a window that shows another colour
// at the seed than the bitmap.
TEST(PaintBucket, PaintsTheWindowAsTheReferenceWorkListDoes)
{
    std::mt19937 random(99);
    for (int round = 0; round < 160; ++round) {
        const bool large = round % 4 == 3;
        const int width = large ? 60 + int(random() % 140) : 1 + int(random() % 24);
        const int height = large ? 1 + int(random() % 40) : 1 + int(random() % 20);
        const unsigned borders = 1 + random() % 6; // in tenths
        const unsigned protectedShare = random() % 3; // in twentieths
        Scene mine(width, height), theirs(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const TColor c = random() % 10 < borders ? kMoss : kLeaf;
                mine.image->Canvas()->SetPixels(x, y, c);
                theirs.image->Canvas()->SetPixels(x, y, c);
                const std::uint8_t editable = random() % 20 < protectedShare ? 0 : 1;
                mine.selection.GetRows()[y][x] = editable;
                theirs.selection.GetRows()[y][x] = editable;
            }
        mine.Repaint();
        theirs.Repaint();
        const int x = int(random() % unsigned(width)), y = int(random() % unsigned(height));
        if (round % 10 == 7) {
            mine.window.Canvas()->SetPixels(x, y, kMoss);
            theirs.window.Canvas()->SetPixels(x, y, kMoss);
        }
        const TColor shown = mine.Window()->Pixels(x, y);
        const TColor colour = round % 2 ? kRed : (shown == kMoss ? kLeaf : kMoss);
        auto pot = mine.Make<TPot>();
        pot->SetCouleur1(colour);
        const std::vector<QRect> heard = recordedFill(mine, *pot, x, y, mbLeft);
        ASSERT_EQ(heard, oneChange(referenceFill(theirs, x, y, colour))) << "round " << round;
        ASSERT_TRUE(testimg::SameBytes(*mine.image, *theirs.image)) << "round " << round;
        ASSERT_TRUE(testimg::SameBytes(mine.window, theirs.window)) << "round " << round;
    }
}

// Without a window the bitmap gets the same pixels, the target read from it.
TEST(PaintBucket, FillsTheBitmapAloneWithoutAWindow)
{
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        const int width = 1 + int(random() % 90), height = 1 + int(random() % 30);
        Scene mine(width, height), theirs(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const TColor c = random() % 10 < 4 ? kMoss : kLeaf;
                mine.image->Canvas()->SetPixels(x, y, c);
                theirs.image->Canvas()->SetPixels(x, y, c);
            }
        theirs.Repaint();
        const int x = int(random() % unsigned(width)), y = int(random() % unsigned(height));
        auto pot = mine.Make<TPot>();
        pot->SetCouleur1(kRed);
        pot->Clic(x, y, mbLeft, nullptr);
        referenceFill(theirs, x, y, kRed);
        ASSERT_TRUE(testimg::SameBytes(*mine.image, *theirs.image)) << "round " << round;
    }
}

// The undo history keeps a row when it is announced for writing. A fill reads
// the rows around its region too: only those it paints may be announced, so
// that filling a small square of a photo copies a hundred rows, not the photo.
TEST(PaintBucket, AnnouncesOnlyTheRowsItPaints)
{
    struct RowLog : TRowWatcher {
        std::set<int> rows;
        void RowTouched(int row) override { rows.insert(row); }
    } log;
    Scene scene(600, 400, kGrey);
    for (int y = 150; y < 250; ++y)
        scene.image->Canvas()->FillSpan(200, y, 100, clWhite);
    scene.Repaint();
    scene.image->SetRowWatcher(&log);
    auto pot = scene.Make<TPot>();
    pot->SetCouleur1(kRed);
    pot->Clic(250, 200, mbLeft, scene.Window());
    scene.image->SetRowWatcher(nullptr);
    ASSERT_EQ(Where(*scene.image, kRed).size(), 100u * 100u);
    EXPECT_EQ(log.rows.size(), 100u);
    EXPECT_EQ(*log.rows.begin(), 150);
    EXPECT_EQ(*log.rows.rbegin(), 249);
}
