// The view of a document window: zoom levels, the mapping between the viewport
// and the image, rendering at every level, opening large images fitted, and
// the outline of a rectangular selection. None of it may change a byte of the
// image or of the window canvas.
#include "app/Form_main.h"
#include "codecs/BitmapFiles.h"
#include "document/Tdessin.h"
#include "raster/Screen.h"
#include "support/FormsFixture.h"
#include "support/Images.h"
#include "tools/Tformes.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <random>

namespace {

QRect FreeArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

// The viewport point at the centre of image pixel p, in widget units (device
// pixels at the desktop's scale factor 1).
QPointF Centre(const TDessin& document, QPoint p)
{
    const TZoomLevel level = kZoomLevels[document.Vue()->ZoomIndex()];
    const QRect pixel = document.Vue()->ToDevice(QRect(p, QSize(1, 1)));
    const QPointF exact = (QPointF(p) + QPointF(0.5, 0.5)) * level.num / level.den;
    // ToDevice's corner is the image pixel's corner rounded down.
    return (QPointF(pixel.topLeft()) -
            QPointF(std::floor(QPointF(p).x() * level.num / level.den),
                    std::floor(QPointF(p).y() * level.num / level.den)) +
            exact) /
           document.Vue()->Ratio();
}

// The device pixel at the centre of a viewport's device pixel, in widget units.
QPointF DeviceCentre(const TDessin& document, int x, int y)
{
    return QPointF(x + 0.5, y + 0.5) / document.Vue()->Ratio();
}

void SendMouse(TDessin* document, QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, document->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(document, &event);
}

// Press, two moves and a release at the centres of image pixels, through the view.
void Gesture(TDessin* document, const std::vector<QPoint>& points)
{
    SendMouse(document, QEvent::MouseButtonPress, Centre(*document, points[0]), Qt::LeftButton);
    for (std::size_t i = 1; i < points.size(); ++i)
        SendMouse(document, QEvent::MouseMove, Centre(*document, points[i]), Qt::LeftButton);
    SendMouse(document, QEvent::MouseButtonRelease, Centre(*document, points.back()), Qt::NoButton);
}

void CtrlWheel(TDessin* document, QPointF at, int delta)
{
    QWheelEvent wheel(at, document->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(document, &wheel);
}

std::uint32_t OnScreen(TColor colour)
{
    return 0xFF000000u | (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
}

int IndexOf(int num, int den)
{
    for (int i = 0; i < kZoomLevelCount; ++i)
        if (kZoomLevels[i].num == num && kZoomLevels[i].den == den)
            return i;
    return -1;
}

class ZoomTest : public FormsTest {
protected:
    TDessin* Shown(int width, int height)
    {
        auto* document = new TDessin(frm_main, width, height);
        document->show();
        testgui::Settle();
        return document;
    }
    TDessin* Opened(const TBitmap& image)
    {
        const QString path = testimg::TempDir() + "/opened.bmp";
        SaveToFile(image, path);
        auto* document = new TDessin(frm_main, path);
        testgui::Settle();
        return document;
    }
};

} // namespace

TEST_F(ZoomTest, ThePixelUnderAPointMapsBackAtEveryLevelAndScrollPosition)
{
    auto* document = Shown(2000, 1600);
    std::mt19937 random(20);
    for (int index = 0; index < kZoomLevelCount; ++index) {
        SCOPED_TRACE(index);
        document->Vue()->SetZoom(index);
        ASSERT_EQ(document->Vue()->ZoomIndex(), index);
        for (int trial = 0; trial < 20; ++trial) {
            document->Vue()->HorizontalBar()->setValue(
                int(random() % unsigned(document->Vue()->HorizontalBar()->maximum() + 1)));
            document->Vue()->VerticalBar()->setValue(
                int(random() % unsigned(document->Vue()->VerticalBar()->maximum() + 1)));
            const QPoint p(int(random() % 2000), int(random() % 1600));
            EXPECT_EQ(document->Vue()->ToImage(Centre(*document, p)), p);
            // Every screen pixel of the pixel's square (or the one it shares) shows it.
            const QRect square = document->Vue()->ToDevice(QRect(p, QSize(1, 1)));
            if (kZoomLevels[index].den == 1) {
                EXPECT_EQ(square.size(), QSize(kZoomLevels[index].num, kZoomLevels[index].num));
                EXPECT_EQ(document->Vue()->ToImage(
                              DeviceCentre(*document, square.bottomRight().x(), square.bottomRight().y())),
                          p);
            }
        }
    }
}

TEST_F(ZoomTest, CtrlWheelKeepsThePointUnderThePointerAndStopsAtTheExtremes)
{
    // Larger than the window at every level from 50 %, at any scale factor.
    const qreal r = qApp->devicePixelRatio();
    auto* document = Shown(int(3000 * r), int(2400 * r));
    const QRect window = document->geometry();
    document->Vue()->SetZoom(IndexOf(1, 2));
    document->Vue()->HorizontalBar()->setValue(200);
    document->Vue()->VerticalBar()->setValue(150);
    const QPointF pointer(300.5, 200.5);
    // In to 3200 % and out again to 50 %: the image point under the pointer
    // moves by less than half a screen pixel at each step (the scroll bars
    // count whole pixels).
    const auto step = [&](int delta, int expected) {
        SCOPED_TRACE(expected);
        const QPointF before = document->Vue()->ImagePoint(pointer);
        CtrlWheel(document, pointer, delta);
        ASSERT_EQ(document->Vue()->ZoomIndex(), expected);
        const TZoomLevel level = kZoomLevels[expected];
        const QPointF drift = document->Vue()->ImagePoint(pointer) - before;
        EXPECT_LE(std::abs(drift.x()), 0.5 * level.den / level.num);
        EXPECT_LE(std::abs(drift.y()), 0.5 * level.den / level.num);
    };
    for (int index = IndexOf(1, 2) + 1; index < kZoomLevelCount; ++index)
        step(120, index);
    for (int index = kZoomLevelCount - 2; index >= IndexOf(1, 2); --index)
        step(-120, index);
    // From 100 % to 200 % and back the pixel itself stays.
    document->Vue()->SetZoom(kZoom100);
    const QPoint pixel = document->Vue()->ToImage(pointer);
    CtrlWheel(document, pointer, 120);
    EXPECT_EQ(document->Vue()->ToImage(pointer), pixel);
    CtrlWheel(document, pointer, -120);
    EXPECT_EQ(document->Vue()->ToImage(pointer), pixel);

    EXPECT_TRUE(document->Vue()->SetZoom(kZoomLevelCount - 1));
    CtrlWheel(document, pointer, 120);
    EXPECT_EQ(document->Vue()->ZoomIndex(), kZoomLevelCount - 1);
    EXPECT_FALSE(document->Vue()->SetZoom(kZoomLevelCount));
    document->Vue()->SetZoom(0);
    EXPECT_FALSE(document->Vue()->SetZoom(-1));
    CtrlWheel(document, pointer, -120);
    EXPECT_EQ(document->Vue()->ZoomIndex(), 0);
    EXPECT_EQ(document->geometry(), window);
}

TEST_F(ZoomTest, TheKeysZoomAroundTheCentreWithoutMovingTheWindowAndShowTheLevel)
{
    const auto image = testimg::Noise(2000, 1600, 3);
    auto* document = Opened(*image);
    const QString caption = document->windowTitle();
    const QRect window = document->geometry();
    const int fit = document->Vue()->ZoomIndex();
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        int index;
    };
    const Case cases[] = {
        {Qt::Key_1, Qt::ControlModifier, kZoom100},
        {Qt::Key_Plus, Qt::ControlModifier, kZoom100 + 1},
        {Qt::Key_Equal, Qt::ControlModifier, kZoom100 + 2},
        {Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier, kZoom100 + 3},
        {Qt::Key_Minus, Qt::ControlModifier, kZoom100 + 2},
        {Qt::Key_0, Qt::ControlModifier, fit},
        {Qt::Key_Minus, Qt::ControlModifier, fit - 1},
        {Qt::Key_1, Qt::ControlModifier, kZoom100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        const QPointF centre = QRectF(document->Vue()->rect()).center();
        const QPoint before = document->Vue()->ToImage(centre);
        QTest::keyClick(document, Qt::Key(c.key), c.mods);
        EXPECT_EQ(document->Vue()->ZoomIndex(), c.index);
        EXPECT_EQ(document->geometry(), window);
        EXPECT_EQ(document->windowTitle(), caption);
        auto* overlay = qobject_cast<QLabel*>(document->Vue()->LevelOverlay());
        ASSERT_NE(overlay, nullptr);
        EXPECT_TRUE(overlay->isVisible());
        EXPECT_EQ(overlay->text(), TDessinVue::ZoomCaption(c.index));
        // Both levels show the whole image's middle when it is larger than the viewport.
        if (document->Vue()->ContentSize().width() > document->Vue()->DeviceSize().width()) {
            EXPECT_NEAR(document->Vue()->ToImage(centre).x(), before.x(), 2);
            EXPECT_NEAR(document->Vue()->ToImage(centre).y(), before.y(), 2);
        }
    }
    EXPECT_EQ(TDessinVue::ZoomCaption(0), QStringLiteral("6,25 %"));
    EXPECT_EQ(TDessinVue::ZoomCaption(kZoomLevelCount - 1), QStringLiteral("3200 %"));
}

TEST_F(ZoomTest, GesturesGiveTheSameBytesAtEveryLevel)
{
    const auto start = testimg::Noise(400, 300, 7);
    const std::vector<QPoint> line = {{40, 40}, {88, 52}, {72, 64}};
    const std::vector<QPoint> stroke = {{20, 60}, {60, 20}, {84, 36}};
    // The same gestures given to a window at 100 % in image coordinates.
    auto* reference = Shown(400, 300);
    reference->GetBmp()->Assign(*start);
    reference->OnPaint();
    const auto direct = [&](const std::vector<QPoint>& points) {
        reference->OnActivate();
        reference->OnMouseDown(reference, mbLeft, ssLeft, points[0].x(), points[0].y());
        for (std::size_t i = 1; i < points.size(); ++i)
            reference->OnMouseMove(reference, ssLeft, points[i].x(), points[i].y());
        reference->OnMouseUp(reference, mbLeft, 0, points.back().x(), points.back().y());
    };
    frm_main->OnLineClick(nullptr);
    direct(line);
    frm_main->OnClickPinceau(nullptr);
    direct(stroke);
    ASSERT_FALSE(testimg::SameBytes(*reference->GetBmp(), *start));

    for (const TZoomLevel level : {TZoomLevel{1, 4}, TZoomLevel{1, 1}, TZoomLevel{4, 1}}) {
        SCOPED_TRACE(level.num * 100 / level.den);
        auto* document = Shown(400, 300);
        document->GetBmp()->Assign(*start);
        document->OnPaint();
        document->Vue()->SetZoom(IndexOf(level.num, level.den));
        // Every point of the gestures in the viewport: nothing scrolls during them.
        document->Vue()->HorizontalBar()->setValue(0);
        document->Vue()->VerticalBar()->setValue(0);
        frm_main->OnLineClick(nullptr);
        document->OnActivate();
        Gesture(document, line);
        frm_main->OnClickPinceau(nullptr);
        document->OnActivate();
        Gesture(document, stroke);
        EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *reference->GetBmp()));
        EXPECT_TRUE(testimg::SameBytes(*testimg::Shown(*document->WindowCanvas()), *reference->GetBmp()));
    }
}

TEST_F(ZoomTest, FromOneHundredPercentEveryScreenPixelShowsItsImagePixel)
{
    auto* document = Shown(300, 200);
    document->GetBmp()->Assign(*testimg::Noise(300, 200, 11));
    document->OnPaint();
    for (const int num : {1, 4, 8}) {
        SCOPED_TRACE(num);
        document->Vue()->SetZoom(IndexOf(num, 1));
        document->Vue()->HorizontalBar()->setValue(37);
        document->Vue()->VerticalBar()->setValue(21);
        const QImage view = document->Vue()->RenderView();
        ASSERT_EQ(view.size(), document->Vue()->DeviceSize());
        int grid = 0;
        for (int y = 0; y < view.height(); ++y)
            for (int x = 0; x < view.width(); ++x) {
                const QPoint p = document->Vue()->ToImage(DeviceCentre(*document, x, y));
                // At a fractional scale factor the window may end half a
                // widget unit past the image.
                if (p.x() >= 300 || p.y() >= 200)
                    continue;
                const std::uint32_t shown = view.pixel(x, y);
                if (shown != OnScreen(testimg::At(*document->GetBmp(), p.x(), p.y()))) {
                    // From 800 % only the grid, on the first row and column of a square.
                    const QRect square = document->Vue()->ToDevice(QRect(p, QSize(1, 1)));
                    ASSERT_EQ(num, 8) << x << "," << y;
                    ASSERT_TRUE(x == square.left() || y == square.top()) << x << "," << y;
                    ++grid;
                }
            }
        EXPECT_EQ(grid > 0, num == 8);
    }
}

TEST_F(ZoomTest, BelowOneHundredPercentScreenPixelsAverageTheImage)
{
    // A one-pixel black and white checkerboard is an even grey at every halving.
    auto* document = Shown(64, 48);
    document->GetBmp()->Assign(*testimg::Make(64, 48, [](int x, int y) { return (x + y) % 2 ? clWhite : clBlack; }));
    document->OnPaint();
    for (const int den : {2, 4, 8, 16}) {
        SCOPED_TRACE(den);
        document->Vue()->SetZoom(IndexOf(1, den));
        const QRect shown = document->Vue()->ToDevice(QRect(0, 0, 64, 48));
        ASSERT_EQ(shown.size(), QSize(64 / den, 48 / den));
        const QImage view = document->Vue()->RenderView();
        for (int y = shown.top(); y <= shown.bottom(); ++y)
            for (int x = shown.left(); x <= shown.right(); ++x)
                ASSERT_EQ(view.pixel(x, y), 0xFF808080u) << x << "," << y;
    }
    EXPECT_TRUE(testimg::SameBytes(*testimg::Shown(*document->WindowCanvas()), *document->GetBmp()));
}

TEST_F(ZoomTest, ABrushStrokeShowsAtOnceAtTwentyFivePercent)
{
    auto* document = Shown(400, 300);
    document->Vue()->SetZoom(IndexOf(1, 4));
    (void)document->Vue()->RenderView(); // the reduced copies are up to date
    frm_main->OnClickPinceau(nullptr);
    document->OnActivate();
    const QRect before = document->Vue()->ToDevice(QRect(200, 0, 1, 300));
    document->OnMouseDown(document, mbLeft, ssLeft, 200, 20);
    document->OnMouseMove(document, ssLeft, 200, 280);
    document->OnMouseMove(document, ssLeft, 201, 280);
    const QImage view = document->Vue()->RenderView();
    EXPECT_NE(view.pixel(before.left(), before.center().y()), 0xFFFFFFFFu);
    EXPECT_EQ(view.pixel(before.left() - 10, before.center().y()), 0xFFFFFFFFu);
}

TEST_F(ZoomTest, ImagesThatFitOpenAtOneHundredPercentLargerOnesFitted)
{
    auto* fits = Opened(*testimg::Noise(400, 300, 1));
    EXPECT_EQ(fits->Vue()->ZoomIndex(), kZoom100);
    // 400 x 300 pixels of the screen, whatever its scale factor.
    const qreal r = fits->Vue()->Ratio();
    EXPECT_EQ(fits->size(), QSize(int(std::ceil(400 / r)), int(std::ceil(300 / r))));
    EXPECT_NEAR(fits->windowHandle()->size().width() * r, 400, r / 2 + 0.01);
    EXPECT_NEAR(fits->windowHandle()->size().height() * r, 300, r / 2 + 0.01);
    const QRect outer = fits->frameGeometry();
    EXPECT_EQ(outer.topLeft(),
              QPoint(Screen->Width() / 2 - outer.width() / 2, Screen->Height() / 2 - outer.height() / 2));

    auto* photo = Opened(*testimg::Uniform(6000, 4000, 0x336699));
    EXPECT_LT(photo->Vue()->ZoomIndex(), kZoom100);
    EXPECT_TRUE(FreeArea().contains(photo->frameGeometry()));
    EXPECT_FALSE(photo->Vue()->HorizontalBar()->isVisible());
    EXPECT_FALSE(photo->Vue()->VerticalBar()->isVisible());
    EXPECT_TRUE(photo->Vue()->rect().contains(photo->Vue()->ToView(QRect(0, 0, 6000, 4000))));
    // The next level would not fit the free area.
    const TZoomLevel next = kZoomLevels[photo->Vue()->ZoomIndex() + 1];
    EXPECT_TRUE(6000 * next.num / next.den > FreeArea().width() * r ||
                4000 * next.num / next.den > FreeArea().height() * r);
    const QRect window = photo->geometry();
    QTest::keyClick(photo, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(photo->geometry(), window);
    EXPECT_TRUE(photo->Vue()->HorizontalBar()->isVisible());
    EXPECT_EQ(photo->Vue()->HorizontalBar()->maximum(), 6000 - photo->Vue()->DeviceSize().width());
}

TEST_F(ZoomTest, TinyAndThinImagesZoomAndFit)
{
    for (const QSize size : {QSize(1, 1), QSize(32767, 1)}) {
        SCOPED_TRACE(size.width());
        auto* document = Opened(*testimg::Uniform(size.width(), size.height(), 0x0000FF));
        for (int index = 0; index < kZoomLevelCount; ++index) {
            document->Vue()->SetZoom(index);
            EXPECT_FALSE(document->Vue()->rect().isEmpty());
            EXPECT_FALSE(document->Vue()->ContentSize().isEmpty());
            EXPECT_FALSE(document->Vue()->RenderView().isNull());
        }
        document->Vue()->FitInWindow();
        const QImage view = document->Vue()->RenderView();
        const QRect shown = document->Vue()->ToDevice(QRect(QPoint(0, 0), size)) & view.rect();
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_EQ(view.pixel(shown.topLeft()), 0xFFFF0000u);
    }
}

TEST_F(ZoomTest, TheSelectionOutlineShowsOnlyInTheView)
{
    const auto start = testimg::Noise(400, 300, 5);
    auto* document = Opened(*start);
    const QString saved = testimg::TempDir() + "/before.bmp";
    SaveToFile(*document->GetBmp(), saved);
    frm_main->OnClickSelect(nullptr);
    document->OnActivate();
    SendMouse(document, QEvent::MouseButtonPress, Centre(*document, {50, 40}), Qt::LeftButton);
    SendMouse(document, QEvent::MouseButtonRelease, Centre(*document, {150, 120}), Qt::NoButton);
    EXPECT_EQ(document->Vue()->SelectionOutline(), QRect(50, 40, 100, 80));
    for (const int index : {IndexOf(1, 2), kZoom100, IndexOf(3, 1)}) {
        SCOPED_TRACE(index);
        document->Vue()->SetZoom(index);
        document->Vue()->HorizontalBar()->setValue(0);
        document->Vue()->VerticalBar()->setValue(0);
        const QImage view = document->Vue()->RenderView();
        const QRect ring = document->Vue()->ToDevice(QRect(50, 40, 100, 80)).adjusted(-1, -1, 0, 0);
        int black = 0, white = 0;
        for (int y = ring.top(); y <= ring.bottom() + 1; ++y)
            for (const int x : {ring.left(), ring.right() + 1}) {
                if (!view.rect().contains(x, y))
                    continue;
                const std::uint32_t p = view.pixel(x, y);
                ASSERT_TRUE(p == 0xFF000000u || p == 0xFFFFFFFFu) << x << "," << y;
                (p == 0xFF000000u ? black : white) += 1;
            }
        EXPECT_GT(black, 0);
        EXPECT_GT(white, 0);
    }
    EXPECT_TRUE(testimg::SameBytes(*document->GetBmp(), *start));
    EXPECT_TRUE(testimg::SameBytes(*testimg::Shown(*document->WindowCanvas()), *start));
    const QString after = testimg::TempDir() + "/after.bmp";
    SaveToFile(*document->GetBmp(), after);
    EXPECT_EQ(testimg::ReadFile(after), testimg::ReadFile(saved));

    // A single click gives the whole image back: no outline is left.
    document->Vue()->SetZoom(kZoom100);
    QTest::mouseClick(document, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(document->Vue()->SelectionOutline().isEmpty());
    const QImage view = document->Vue()->RenderView();
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            ASSERT_EQ(view.pixel(x, y), OnScreen(testimg::At(*start, x, y))) << x << "," << y;
}

TEST_F(ZoomTest, TheWindowShowsOneImagePixelPerDevicePixelAtOneHundredPercent)
{
    const auto image = testimg::Noise(400, 300, 9);
    auto* document = Opened(*image);
    ASSERT_EQ(document->Vue()->ZoomIndex(), kZoom100);
    // What the viewport paints, at the screen's resolution.
    const QImage shown = document->Vue()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_GE(shown.width(), 400);
    ASSERT_GE(shown.height(), 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            ASSERT_EQ(shown.pixel(x, y), OnScreen(testimg::At(*image, x, y))) << x << "," << y;
}

// The view's tests again, under an X server at the scale factors of
// high-density screens, where 100 % must still be one image pixel per pixel
// of the screen.
TEST(ScaleFactor, TheViewCountsDevicePixelsAtScaleFactorsTwoAndOneAndAHalf)
{
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        GTEST_SKIP() << "already under a scale factor";
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty())
        GTEST_SKIP() << "xvfb-run is not installed";
    for (const char* factor : {"2", "1.5"}) {
        SCOPED_TRACE(factor);
        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(factor));
        run.setProcessEnvironment(environment);
        run.start(QStringLiteral("xvfb-run"), {"-a", "-s", "-screen 0 1920x1200x24",
                                               QCoreApplication::applicationFilePath(), "--gtest_filter=ZoomTest.*"});
        ASSERT_TRUE(run.waitForFinished(240000));
        const QString output = QString::fromLocal8Bit(run.readAll());
        EXPECT_EQ(run.exitCode(), 0) << output.right(6000).toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ]"))) << output.right(2000).toStdString();
    }
}
