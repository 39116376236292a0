// Document windows larger than the screen's free area, and the repaint of a
// drag's previews, on the offscreen platform's screen.
#include "app/Form_main.h"
#include "codecs/BitmapFiles.h"
#include "document/Tdessin.h"
#include "kernels/Tselection.h"
#include "raster/Screen.h"
#include "support/FormsFixture.h"
#include "support/Images.h"
#include "tools/Tformes.h"
#include "tools/Toutil.h"
#include "tools/Tpot.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

namespace {

struct Click {
    int x, y;
    bool operator==(const Click&) const = default;
};

// Remembers where the document's mouse reaches it.
class PointTool : public TOutil {
public:
    PointTool() : TOutil(nullptr, nullptr) { }
    void Clic(int x, int y, TMouseButton, TCanvas*) override { clics.push_back({x, y}); }
    void Trace(int*, int*, int x, int y, TMouseButton, TCanvas* canvas) override
    {
        (canvas ? moves : releases).push_back({x, y});
    }
    std::vector<Click> clics, moves, releases;
};

QRect FreeArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

class ScrollTest : public FormsTest {
protected:
    // A document too large for the screen, shown.
    TDessin* Large(int width = 2000, int height = 1600)
    {
        auto* document = new TDessin(frm_main, width, height);
        document->show();
        testgui::Settle();
        return document;
    }
    void Drag(TDessin* document, QPoint from, QPoint to)
    {
        QTest::mousePress(document, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), document->mapToGlobal(QPointF(to)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(document, &move);
    }
};

} // namespace

TEST_F(ScrollTest, AnImageThatFitsHasNoScrollBarsAndTheDesignedGeometry)
{
    auto* blank = new TDessin(frm_main, 300, 200);
    blank->show();
    testgui::Settle();
    EXPECT_EQ(blank->size(), QSize(300, 200));
    EXPECT_EQ(blank->pos(), QPoint(352, 319));
    EXPECT_EQ(blank->Vue()->geometry(), QRect(0, 0, 300, 200));
    EXPECT_FALSE(blank->Vue()->HorizontalBar()->isVisible());
    EXPECT_FALSE(blank->Vue()->VerticalBar()->isVisible());

    // An opened file is centred on the screen by its outer size, frame included.
    const QString path = testimg::TempDir() + "/fits.bmp";
    SaveToFile(*testimg::Noise(301, 199, 4), path);
    auto* opened = new TDessin(frm_main, path);
    testgui::Settle();
    EXPECT_EQ(opened->size(), QSize(301, 199));
    EXPECT_FALSE(opened->Vue()->HorizontalBar()->isVisible());
    const QRect outer = opened->frameGeometry();
    EXPECT_EQ(outer.topLeft(),
              QPoint(Screen->Width() / 2 - outer.width() / 2, Screen->Height() / 2 - outer.height() / 2));
}

TEST_F(ScrollTest, ALargerImageGetsAWindowWithinTheFreeAreaAndScrollBars)
{
    const QString path = testimg::TempDir() + "/large.bmp";
    SaveToFile(*testimg::Noise(2500, 1200, 5), path);
    auto* opened = new TDessin(frm_main, path);
    testgui::Settle();
    // An opened file is fitted first; at 100 % it scrolls in the same window.
    QTest::keyClick(opened, Qt::Key_1, Qt::ControlModifier);
    auto* blank = Large();
    auto* wide = Large(2000, 100); // only a horizontal bar: the window is no taller than needed
    for (TDessin* document : {opened, blank, wide}) {
        SCOPED_TRACE(document->GetBmp()->Width());
        const QRect outer = document->frameGeometry();
        EXPECT_TRUE(FreeArea().contains(outer)) << outer.x() << "," << outer.y() << " " << outer.width();
        if (document != opened) {
            EXPECT_EQ(outer.topLeft(), FreeArea().topLeft()); // the title bar is on the screen
        }
        EXPECT_TRUE(document->Vue()->HorizontalBar()->isVisible());
        const QSize view = document->Vue()->size();
        EXPECT_EQ(document->Vue()->HorizontalBar()->maximum(), document->GetBmp()->Width() - view.width());
        EXPECT_EQ(testimg::Shown(*document->WindowCanvas())->Width(), document->GetBmp()->Width());
    }
    EXPECT_TRUE(blank->Vue()->VerticalBar()->isVisible());
    EXPECT_EQ(blank->Vue()->VerticalBar()->maximum(), 1600 - blank->Vue()->height());
    EXPECT_FALSE(wide->Vue()->VerticalBar()->isVisible());
    EXPECT_EQ(wide->Vue()->height(), 100);
}

TEST_F(ScrollTest, PressesMovesAndReleasesReachTheToolInImageCoordinates)
{
    auto* document = Large();
    auto tool = std::make_unique<PointTool>();
    PointTool* raw = tool.get();
    frm_main->ReplaceTool(std::move(tool));
    const QPoint last(document->Vue()->HorizontalBar()->maximum(), document->Vue()->VerticalBar()->maximum());
    for (const QPoint offset : {QPoint(0, 0), QPoint(100, 50), QPoint(37, 0), last}) {
        SCOPED_TRACE(offset.x());
        raw->clics.clear();
        raw->moves.clear();
        raw->releases.clear();
        document->Vue()->HorizontalBar()->setValue(offset.x());
        document->Vue()->VerticalBar()->setValue(offset.y());
        ASSERT_EQ(document->Vue()->ScrollOffset(), offset);
        Drag(document, QPoint(10, 20), QPoint(60, 70));
        QTest::mouseRelease(document, Qt::LeftButton, {}, QPoint(90, 80));
        EXPECT_EQ(raw->clics, (std::vector<Click>{{10 + offset.x(), 20 + offset.y()}}));
        EXPECT_EQ(raw->moves, (std::vector<Click>{{60 + offset.x(), 70 + offset.y()}}));
        EXPECT_EQ(raw->releases, (std::vector<Click>{{90 + offset.x(), 80 + offset.y()}}));
    }
}

TEST_F(ScrollTest, TheWheelScrollsDownAndShiftWheelAcross)
{
    auto* document = Large();
    const QPointF at(50, 50);
    QWheelEvent down(at, document->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(document, &down);
    EXPECT_EQ(document->Vue()->ScrollOffset().x(), 0);
    EXPECT_GT(document->Vue()->ScrollOffset().y(), 0);
    QWheelEvent across(at, document->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::ShiftModifier,
                       Qt::NoScrollPhase, false);
    QApplication::sendEvent(document, &across);
    EXPECT_GT(document->Vue()->ScrollOffset().x(), 0);
}

TEST_F(ScrollTest, ADragPreviewAndTheLineLandOnTheSameImagePixelsWhenScrolled)
{
    auto* scrolled = Large();
    auto* plain = Large();
    frm_main->OnLineClick(nullptr);
    const QPoint offset(300, 200);
    scrolled->Vue()->HorizontalBar()->setValue(offset.x());
    scrolled->Vue()->VerticalBar()->setValue(offset.y());
    scrolled->OnActivate();
    Drag(scrolled, QPoint(10, 10), QPoint(250, 97));
    plain->OnActivate();
    Drag(plain, QPoint(10, 10) + offset, QPoint(250, 97) + offset);
    EXPECT_EQ(scrolled->WindowCanvas()->Pixels(310, 210), clBlack);
    EXPECT_EQ(scrolled->WindowCanvas()->Pixels(550, 297), clBlack);
    EXPECT_TRUE(
        testimg::SameBytes(*testimg::Shown(*scrolled->WindowCanvas()), *testimg::Shown(*plain->WindowCanvas())));

    scrolled->OnActivate();
    QTest::mouseRelease(scrolled, Qt::LeftButton, {}, QPoint(250, 97));
    plain->OnActivate();
    QTest::mouseRelease(plain, Qt::LeftButton, {}, QPoint(250, 97) + offset);
    EXPECT_EQ(testimg::At(*scrolled->GetBmp(), 550, 297), clBlack);
    EXPECT_TRUE(testimg::SameBytes(*scrolled->GetBmp(), *plain->GetBmp()));
}

TEST_F(ScrollTest, ADragThatLeavesTheViewportScrollsToFollowThePointer)
{
    auto* document = Large();
    auto tool = std::make_unique<PointTool>();
    PointTool* raw = tool.get();
    frm_main->ReplaceTool(std::move(tool));
    const QSize view = document->Vue()->size();
    Drag(document, QPoint(10, 10), QPoint(view.width() + 29, view.height() + 9));
    EXPECT_EQ(raw->moves, (std::vector<Click>{{view.width() + 29, view.height() + 9}}));
    EXPECT_EQ(document->Vue()->ScrollOffset(), QPoint(30, 10));
    QTest::mouseRelease(document, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(raw->releases, (std::vector<Click>{{35, 15}}));
}

// After each forwarded move the window shows the image plus the newest preview
// only, whatever the tool wrote before.
TEST_F(ScrollTest, TheWindowShowsTheImagePlusOnlyTheLastPreview)
{
    auto* document = new TDessin(frm_main, 400, 300);
    TBitmap& image = *document->GetBmp();
    image.Assign(*testimg::Noise(400, 300, 9));
    document->OnPaint();
    frm_main->OnLineClick(nullptr);
    document->OnActivate();
    const std::vector<QPoint> moves = {{390, 290}, {11, 290}, {200, 7}, {399, 150}, {6, 9}, {300, 299}};

    // A paint bucket first: what it wrote on the window goes at the first
    // restore.
    TPot pot(&image, document->GetSelection()->GetRows());
    pot.SetCouleur1(0x123456);
    for (int x = 0; x < 400; ++x)
        for (int y = 0; y < 300; ++y)
            image.Canvas()->SetPixels(x, y, x < 350 ? 0xABCDEF : 0x010203);
    document->OnPaint();
    pot.Clic(0, 0, mbLeft, document->WindowCanvas());
    EXPECT_EQ(document->WindowCanvas()->Pixels(349, 299), 0x123456u);

    document->OnMouseDown(document, mbLeft, ssLeft, 5, 5);
    for (const QPoint to : moves) {
        SCOPED_TRACE(to.x());
        document->OnMouseMove(document, ssLeft, to.x(), to.y());
        auto expected = testimg::Copy(image);
        TLine line(expected.get(), document->GetSelection()->GetRows());
        int ax = 5, ay = 5;
        line.Trace(&ax, &ay, to.x(), to.y(), mbLeft, expected->Canvas());
        EXPECT_TRUE(testimg::SameBytes(*testimg::Shown(*document->WindowCanvas()), *expected));
    }

    // The brush draws into the image only: the window shows each segment as
    // soon as it is drawn.
    frm_main->OnClickPinceau(nullptr);
    document->OnActivate();
    document->OnMouseDown(document, mbLeft, ssLeft, 20, 20);
    const auto unbrushed = testimg::Copy(image);
    for (const QPoint to : moves) {
        for (const QPoint step : {to, to - QPoint(1, 1)}) {
            document->OnMouseMove(document, ssLeft, step.x(), step.y());
            EXPECT_TRUE(testimg::SameBytes(*testimg::Shown(*document->WindowCanvas()), image));
        }
    }
    EXPECT_FALSE(testimg::SameBytes(*unbrushed, image));
}
