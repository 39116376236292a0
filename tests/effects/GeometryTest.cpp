#include "effects/Geometry.h"
#include "effects/Resample.h"
#include "support/Images.h"

#include <QString>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <optional>
#include <random>

namespace {

struct Size {
    int width;
    int height;
};
const Size kSizes[] = {{1, 1}, {1, 6}, {6, 1}, {7, 5}, {4, 4}, {2, 9}};

QString sizeText(const TBitmap& b) { return QStringLiteral("%1x%2").arg(b.Width()).arg(b.Height()); }

// The image an index loop makes: pixel (x, y) is the source pixel `from`
// names, or `fill` where it names none; padding bytes zero.
QImage indexLoop(const TBitmap& source, int width, int height,
                 const std::function<std::optional<QPoint>(int, int)>& from, TColor fill = clBlack)
{
    QImage image(width, height, QImage::Format_BGR888);
    std::memset(image.bits(), 0, std::size_t(image.sizeInBytes()));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::optional<QPoint> p = from(x, y);
            const TColor c = p ? testimg::At(source, p->x(), p->y()) : fill;
            std::uint8_t* out = image.scanLine(y) + 3 * x;
            out[0] = GetBValue(c), out[1] = GetGValue(c), out[2] = GetRValue(c);
        }
    return image;
}

// Same size, same bytes in every row, padding included.
::testing::AssertionResult sameImage(const QImage& actual, const QImage& expected)
{
    if (actual.size() != expected.size() || actual.bytesPerLine() != expected.bytesPerLine())
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height() << ", expected "
                                             << expected.width() << "x" << expected.height();
    for (int y = 0; y < actual.height(); ++y)
        if (std::memcmp(actual.constScanLine(y), expected.constScanLine(y), std::size_t(actual.bytesPerLine())) != 0)
            return ::testing::AssertionFailure() << "row " << y << " differs";
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(Crop, TakesTheRectangleClippedToTheImageAndNothingForAnEmptyOne)
{
    const QRect rects[] = {{0, 0, 1, 1}, {1, 2, 3, 2}, {-2, -1, 4, 9}, {5, 3, 50, 50}, {-9, -9, 99, 99}};
    for (const Size s : kSizes) {
        const auto source = testimg::Noise(s.width, s.height, 5);
        for (const QRect& r : rects) {
            const QRect kept = r.intersected(QRect(0, 0, s.width, s.height));
            const QImage expected =
                kept.isEmpty() ? QImage() : indexLoop(*source, kept.width(), kept.height(), [&](int x, int y) {
                    return QPoint(kept.left() + x, kept.top() + y);
                });
            EXPECT_TRUE(sameImage(effects::Crop(*source, r), expected)) << qPrintable(sizeText(*source));
        }
        EXPECT_TRUE(effects::Crop(*source, QRect(2, 2, 0, 3)).isNull());
    }
}

// The bounds are those of the pixels whose colour differs from the top-left
// one, or the whole image when there are none.
TEST(AutocropBounds, HoldsExactlyThePixelsUnlikeTheTopLeftOne)
{
    std::mt19937 random(11);
    for (const Size s : kSizes)
        for (int trial = 0; trial < 40; ++trial) {
            const TColor background = RGBColor(10, 200, 30);
            const int odd = int(random() % 4); // 0 to 3 pixels of other colours
            auto image = testimg::Uniform(s.width, s.height, background);
            QRect expected;
            for (int n = 0; n < odd; ++n) {
                const int x = int(random() % unsigned(s.width));
                const int y = int(random() % unsigned(s.height));
                // Differs from the background by one channel only, sometimes by one level.
                std::uint8_t* p = image->ScanLine(y) + 3 * x + n % 3;
                *p = std::uint8_t(*p + 1 + n);
                if (x != 0 || y != 0)
                    expected |= QRect(x, y, 1, 1);
            }
            if (testimg::At(*image, 0, 0) != background) // the corner itself changed: then all its like go
                continue;
            if (expected.isEmpty())
                expected = QRect(0, 0, s.width, s.height);
            EXPECT_EQ(effects::AutocropBounds(*image), expected) << qPrintable(sizeText(*image));
        }
}

TEST(CanvasSize, PlacesTheImageAtEachAnchorCutOrSurroundedByTheFill)
{
    const TColor fill = RGBColor(1, 2, 3);
    const auto floorHalf = [](int n) { return int(std::floor(n / 2.0)); };
    for (const Size s : kSizes) {
        const auto source = testimg::Noise(s.width, s.height, 9);
        for (const Size canvas : {Size{9, 8}, Size{1, 1}, Size{3, 7}, Size{s.width, s.height + 3}}) {
            for (int anchor = 0; anchor < 9; ++anchor) {
                const int dw = canvas.width - s.width;
                const int dh = canvas.height - s.height;
                const int left = anchor % 3 == 0 ? 0 : anchor % 3 == 1 ? floorHalf(dw) : dw;
                const int top = anchor / 3 == 0 ? 0 : anchor / 3 == 1 ? floorHalf(dh) : dh;
                const QImage expected = indexLoop(
                    *source, canvas.width, canvas.height,
                    [&](int x, int y) -> std::optional<QPoint> {
                        const QPoint p(x - left, y - top);
                        if (p.x() < 0 || p.y() < 0 || p.x() >= s.width || p.y() >= s.height)
                            return std::nullopt;
                        return p;
                    },
                    fill);
                EXPECT_TRUE(
                    sameImage(effects::CanvasSize(*source, canvas.width, canvas.height, anchor, fill), expected))
                    << qPrintable(sizeText(*source)) << " to " << canvas.width << "x" << canvas.height << " anchor "
                    << anchor;
            }
        }
        EXPECT_TRUE(effects::CanvasSize(*source, 5, 5, 9, fill).isNull());
    }
}

TEST(Turns, MoveEveryPixelAsTheIndexLoops)
{
    for (const Size s : kSizes) {
        const auto source = testimg::Noise(s.width, s.height, 3);
        const int w = s.width;
        const int h = s.height;
        EXPECT_TRUE(sameImage(effects::TurnClockwise(*source),
                              indexLoop(*source, h, w, [h](int x, int y) { return QPoint(y, h - 1 - x); })));
        EXPECT_TRUE(sameImage(effects::TurnCounterClockwise(*source),
                              indexLoop(*source, h, w, [w](int x, int y) { return QPoint(w - 1 - y, x); })));
        EXPECT_TRUE(sameImage(effects::TurnHalf(*source),
                              indexLoop(*source, w, h, [w, h](int x, int y) { return QPoint(w - 1 - x, h - 1 - y); })));
    }
    // Many tiles, the last ones cut.
    const auto tiled = testimg::Noise(130, 131, 4);
    EXPECT_TRUE(sameImage(effects::TurnClockwise(*tiled),
                          indexLoop(*tiled, 131, 130, [](int x, int y) { return QPoint(y, 130 - x); })));
    EXPECT_TRUE(sameImage(effects::TurnCounterClockwise(*tiled),
                          indexLoop(*tiled, 131, 130, [](int x, int y) { return QPoint(129 - y, x); })));
}

TEST(Rotate, MultiplesOfNinetyDegreesAreTheExactTurns)
{
    const auto source = testimg::Noise(7, 5, 2);
    const QImage same = effects::Crop(*source, QRect(0, 0, 7, 5));
    const QImage clockwise = effects::TurnClockwise(*source);
    const QImage half = effects::TurnHalf(*source);
    const QImage counter = effects::TurnCounterClockwise(*source);
    const std::pair<double, const QImage*> cases[] = {{0, &same},         {90, &clockwise}, {180, &half},
                                                      {270, &counter},    {-90, &counter},  {-180, &half},
                                                      {-270, &clockwise}, {360, &same},     {-360, &same}};
    for (const auto& [degrees, expected] : cases) {
        EXPECT_TRUE(sameImage(effects::Rotate(*source, degrees, clWhite), *expected)) << degrees;
        EXPECT_TRUE(sameImage(effects::plain::Rotate(*source, degrees, clWhite), *expected)) << degrees;
    }
}

TEST(RotatedSize, HoldsTheWholeTurnedImage)
{
    struct Case {
        Size from;
        double degrees;
        Size to;
    };
    // 53.13... degrees has cosine 3/5 and sine 4/5: sides of whole numbers stay so.
    const double exact = std::atan2(4.0, 3.0) * 180 / std::numbers::pi;
    const Case cases[] = {{{100, 50}, 30, {112, 94}}, {{100, 50}, -30, {112, 94}},  {{100, 50}, 150, {112, 94}},
                          {{10, 10}, 45, {15, 15}},   {{5, 5}, exact, {7, 7}},      {{1, 1}, 0.001, {2, 2}},
                          {{100, 50}, 90, {50, 100}}, {{100, 50}, -180, {100, 50}}, {{1, 1}, 45, {2, 2}}};
    for (const Case& c : cases)
        EXPECT_EQ(effects::RotatedSize(c.from.width, c.from.height, c.degrees), QSize(c.to.width, c.to.height))
            << c.degrees;
    EXPECT_TRUE(effects::RotatedSize(10, 10, std::nan("")).isEmpty());
}

TEST(Rotate, CornersTakeTheFillAndAnImageOfTheFillStaysUniform)
{
    const TColor fill = RGBColor(200, 100, 50);
    for (const double degrees : {17.0, -33.5, 45.0, 135.0, 301.0, 0.5}) {
        const auto uniform = testimg::Uniform(9, 4, fill);
        const QImage turned = effects::Rotate(*uniform, degrees, fill);
        ASSERT_FALSE(turned.isNull());
        for (int y = 0; y < turned.height(); ++y)
            for (int x = 0; x < turned.width(); ++x)
                ASSERT_EQ(turned.pixel(x, y) & 0xFFFFFF, QColor(200, 100, 50).rgb() & 0xFFFFFF) << degrees;

        const auto noise = testimg::Noise(31, 20, 1);
        const QImage result = effects::Rotate(*noise, degrees, fill);
        const int w = result.width() - 1;
        const int h = result.height() - 1;
        if (std::fmod(std::abs(degrees), 90) < 1) // almost upright: the corners are still the image's
            continue;
        for (const QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)})
            EXPECT_EQ(result.pixel(corner) & 0xFFFFFF, QColor(200, 100, 50).rgb() & 0xFFFFFF) << degrees;
    }
}

// A bright dot on black lands where turning its centre clockwise about the
// image's centre puts it, in the result's centre.
TEST(Rotate, TurnsClockwiseAboutTheCentre)
{
    const int w = 40, h = 24, px = 30, py = 5;
    const auto dot = testimg::Make(w, h, [](int x, int y) { return x == px && y == py ? clWhite : clBlack; });
    for (const double degrees : {30.0, -50.0, 120.0}) {
        const QImage result = effects::Rotate(*dot, degrees, clBlack);
        const double a = degrees * std::numbers::pi / 180;
        const double dx = px + 0.5 - w / 2.0;
        const double dy = py + 0.5 - h / 2.0;
        const double tx = result.width() / 2.0 + dx * std::cos(a) - dy * std::sin(a) - 0.5;
        const double ty = result.height() / 2.0 + dx * std::sin(a) + dy * std::cos(a) - 0.5;
        QPoint brightest;
        for (int y = 0; y < result.height(); ++y)
            for (int x = 0; x < result.width(); ++x)
                if (qGray(result.pixel(x, y)) > qGray(result.pixel(brightest)))
                    brightest = QPoint(x, y);
        EXPECT_LE(std::abs(brightest.x() - tx), 0.5) << degrees;
        EXPECT_LE(std::abs(brightest.y() - ty), 0.5) << degrees;
    }
}

// The program's rotation against its plain loop in double precision.
TEST(Rotate, AgreesWithThePlainLoopWithinOneLevel)
{
    for (const Size s : {Size{31, 20}, Size{1, 1}, Size{2, 13}, Size{64, 3}}) {
        const auto noise = testimg::Noise(s.width, s.height, 8);
        for (const double degrees : {17.0, -71.0, 200.0, 0.25}) {
            const QImage fast = effects::Rotate(*noise, degrees, clWhite);
            const QImage plain = effects::plain::Rotate(*noise, degrees, clWhite);
            ASSERT_EQ(fast.size(), plain.size());
            ASSERT_EQ(fast.bytesPerLine(), plain.bytesPerLine());
            for (int y = 0; y < fast.height(); ++y)
                for (int i = 0; i < fast.bytesPerLine(); ++i)
                    ASSERT_LE(std::abs(fast.constScanLine(y)[i] - plain.constScanLine(y)[i]), 1)
                        << s.width << "x" << s.height << " " << degrees << " at " << i / 3 << "," << y;
        }
    }
}

TEST(GeometrySizes, AResultOverTheLimitsIsRefusedWithoutMemory)
{
    const auto small = testimg::Noise(3, 2, 1);
    EXPECT_TRUE(effects::ResultSizeAllowed(32767, 1));
    EXPECT_TRUE(effects::ResultSizeAllowed(16384, 16384)); // 48 KiB rows, 768 MiB
    EXPECT_FALSE(effects::ResultSizeAllowed(32768, 1));
    EXPECT_FALSE(effects::ResultSizeAllowed(20000, 20000)); // 1.1 GiB
    EXPECT_FALSE(effects::ResultSizeAllowed(0, 5));
    EXPECT_TRUE(effects::CanvasSize(*small, 32768, 2, 0, clWhite).isNull());
    EXPECT_TRUE(effects::CanvasSize(*small, 20000, 20000, 4, clWhite).isNull());
    EXPECT_TRUE(effects::CanvasSize(*small, 0, 2, 4, clWhite).isNull());
    for (const auto filter : {effects::ResampleFilter::Lanczos, effects::ResampleFilter::Nearest}) {
        EXPECT_TRUE(effects::Resize(*small, 32767, 32767, filter).isNull());
        EXPECT_TRUE(effects::Resize(*small, 40000, 2, filter).isNull());
    }
    // A line as long as allowed, turned by 45 degrees: 23171 pixels square, 1.5 GiB.
    const auto line = testimg::Uniform(32767, 1, clBlack);
    EXPECT_FALSE(effects::ResultSizeAllowed(effects::RotatedSize(32767, 1, 45).width(),
                                            effects::RotatedSize(32767, 1, 45).height()));
    EXPECT_TRUE(effects::Rotate(*line, 45, clWhite).isNull());
}
