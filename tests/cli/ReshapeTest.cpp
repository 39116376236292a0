// velmora-cli's changes of size and orientation: the words of each give the
// kernel's result for the values they name, the batch gives what the single
// file gives, and a JPEG shrunk to a quarter or less is read reduced.
#include "CliRun.h"

#include "codecs/BitmapFiles.h"
#include "codecs/ImageFile.h"
#include "codecs/JpegFile.h"
#include "effects/Geometry.h"
#include "effects/Resample.h"
#include "support/Images.h"
#include "support/PictureFiles.h"

#include <QDir>
#include <QPainter>
#include <QRadialGradient>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using effects::ResampleFilter;

std::unique_ptr<TBitmap> Bitmap(const QImage& image)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(image, pf24bit);
    return bitmap;
}

struct Case {
    std::string name;
    QStringList operations;
    std::function<QImage(const TBitmap&)> expected;
};

// The largest difference between two images of one size, in levels of a channel.
int LargestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < 3 * a.width(); ++x)
            largest = std::max(largest, std::abs(int(a.constScanLine(y)[x]) - int(b.constScanLine(y)[x])));
    return largest;
}

// A photograph's kind of picture: smooth shading, soft-edged shapes and a
// sensor's fine grain.
QImage Photo(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    std::mt19937 grain(7);
    std::uniform_int_distribution<int> level(-3, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto channel = [&](int value) { return std::clamp(value + level(grain), 0, 255); };
            image.setPixel(x, y,
                           qRgb(channel(40 + x * 160 / width), channel(60 + y * 150 / height),
                                channel(120 + (x + y) * 100 / (width + height))));
        }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // A lit ball whose edge fades over some twenty pixels, as a lens out of
    // focus draws it.
    const QRectF ball(width / 5.0, height / 4.0, height / 2.0, height / 2.0);
    QRadialGradient light(ball.center(), ball.width() / 2,
                          ball.topLeft() + QPointF(ball.width() / 3, ball.height() / 3));
    light.setColorAt(0, QColor(230, 240, 200));
    light.setColorAt(0.85, QColor(30, 150, 90));
    light.setColorAt(1, QColor(30, 150, 90, 0));
    painter.setBrush(light);
    painter.drawEllipse(ball);
    return image;
}

} // namespace

TEST(CliReshape, EachOperationGivesTheKernelsResultForTheValuesItNames)
{
    // A white frame of 3 pixels around noise: autocrop has something to take.
    const std::shared_ptr<TBitmap> noise = testimg::Noise(37, 29, 11);
    const auto input = testimg::Make(37, 29, [noise](int x, int y) {
        return x < 3 || y < 3 || x >= 34 || y >= 26 ? clWhite : testimg::At(*noise, x, y);
    });
    const TColor white = clWhite;
    const std::vector<Case> cases = {
        {"crop",
         {"rogner", "3", "4", "20", "15"},
         [](const TBitmap& b) {
             return effects::Crop(b, {3, 4, 17, 11});
         }},
        {"crop, corners swapped",
         {"rogner", "20", "15", "3", "4"},
         [](const TBitmap& b) {
             return effects::Crop(b, {3, 4, 17, 11});
         }},
        {"autocrop",
         {"autorogner"},
         [](const TBitmap& b) {
             return effects::Crop(b, {3, 3, 31, 23});
         }},
        // 18.5 rounds to 19; the height follows: 29 x 19 / 37 = 14.9.
        {"half, proportions kept",
         {"redimensionner", "50%", "0", "lanczos"},
         [](const TBitmap& b) { return effects::Resize(b, 19, 15, ResampleFilter::Lanczos); }},
        {"height only",
         {"redimensionner", "0", "58", "bicubique"},
         [](const TBitmap& b) { return effects::Resize(b, 74, 58, ResampleFilter::Bicubic); }},
        {"a percentage with a decimal comma",
         {"redimensionner", "12,5%", "10", "bilineaire"},
         [](const TBitmap& b) { return effects::Resize(b, 5, 10, ResampleFilter::Bilinear); }},
        {"nearest",
         {"redimensionner", "74", "87", "proche"},
         [](const TBitmap& b) { return effects::Resize(b, 74, 87, ResampleFilter::Nearest); }},
        {"canvas, bottom right",
         {"toile", "50", "40", "bas-droite", "12a4F6"},
         [](const TBitmap& b) {
             return effects::CanvasSize(b, 50, 40, effects::anchorBottomRight, RGBColor(0x12, 0xA4, 0xF6));
         }},
        {"canvas, smaller, top",
         {"toile", "20", "10", "haut", "000000"},
         [](const TBitmap& b) { return effects::CanvasSize(b, 20, 10, effects::anchorTop, clBlack); }},
        {"quarter", {"rotation", "90"}, effects::TurnClockwise},
        {"minus three quarters", {"rotation", "-270"}, effects::TurnClockwise},
        {"minus a quarter", {"rotation", "-90"}, effects::TurnCounterClockwise},
        {"half", {"rotation", "180"}, effects::TurnHalf},
        {"any angle, corners white",
         {"rotation", "-30.25"},
         [white](const TBitmap& b) { return effects::Rotate(b, -30.25, white); }},
        {"two steps", {"rotation", "90", "rogner", "0", "0", "5", "6"}, [](const TBitmap& b) {
             return effects::Crop(*Bitmap(effects::TurnClockwise(b)), {0, 0, 5, 6});
         }}};
    const QString in = clirun::Save(*input);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = testimg::TempDir() + QStringLiteral("/sortie.bmp");
        const clirun::Result result = clirun::Run(QStringList{in, out} + c.operations);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_TRUE(clirun::Bytes(out) == clirun::Encoded(*Bitmap(c.expected(*input))));
    }
}

TEST(CliReshape, AResultThatThisImageDoesNotAllowIsAUsageErrorWithNothingWritten)
{
    const QString in = clirun::Save(*testimg::Noise(40, 30, 2));
    const QString out = testimg::TempDir() + QStringLiteral("/sortie.png");
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"rogner", "0", "0", "41", "10"}, QStringLiteral("n'est pas dans l'image (40 x 30 pixels)")},
        {{"redimensionner", "0", "30000", "lanczos"}, QStringLiteral("le résultat ferait 40000 x 30000 pixels")},
        {{"toile", "32767", "32767", "centre", "000000"}, QStringLiteral("au plus 32767 pixels de côté et 1 Gio")},
    };
    for (const auto& [operations, message] : cases) {
        SCOPED_TRACE(operations.join(' ').toStdString());
        const clirun::Result result = clirun::Run(QStringList{in, out} + operations);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(QString::fromUtf8(result.err).contains(message)) << result.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}

TEST(CliReshape, TheBatchGivesWhatTheSingleFileFormGives)
{
    const QString a = clirun::Save(*testimg::Noise(31, 17, 1), QStringLiteral("a.bmp"));
    const QString b = clirun::Save(*testimg::Noise(12, 40, 2), QStringLiteral("b.bmp"));
    const QStringList operations = {"redimensionner", "50%", "0",  "lanczos", "rotation", "12.5",
                                    "toile",          "30",  "30", "centre",  "FF0000"};
    const QString folder = testimg::TempDir();
    const clirun::Result batch = clirun::Run(QStringList{"--dossier", folder, a, b, "--"} + operations);
    ASSERT_EQ(batch.exitCode, 0) << batch.err.toStdString();
    for (const QString& input : {a, b}) {
        const QString single = testimg::TempDir() + QStringLiteral("/seul.bmp");
        ASSERT_EQ(clirun::Run(QStringList{input, single} + operations).exitCode, 0);
        EXPECT_TRUE(clirun::Bytes(folder + QLatin1Char('/') + QFileInfo(input).fileName()) == clirun::Bytes(single));
    }
}

TEST(CliReshape, AJpegShrunkToAQuarterOrLessIsReadReducedWithinTwoLevelsOfTheFullRead)
{
    struct Reduction {
        QSize full, target;
        int reduction;
    };
    // The largest of 1/2, 1/4 and 1/8 that stays at least twice the target,
    // sides rounded up as libjpeg does.
    for (const Reduction& r : {Reduction{{6000, 4000}, {1600, 1067}, 1}, Reduction{{6000, 4000}, {750, 500}, 4},
                               Reduction{{6000, 4000}, {751, 500}, 2}, Reduction{{6001, 4001}, {751, 501}, 2},
                               Reduction{{6000, 4000}, {375, 250}, 8}, Reduction{{6000, 4000}, {1500, 1001}, 1},
                               Reduction{{6000, 4000}, {3000, 10}, 1}})
        EXPECT_EQ(JpegReductionFor(r.full, r.target), r.reduction) << r.target.width() << " x " << r.target.height();

    const QByteArray jpeg = picturefile::Encode(Photo(960, 640), "jpeg", 90);
    struct Shrink {
        QStringList operation;
        QSize landscape, portrait; // the result without and with a quarter turn on reading
    };
    const std::vector<Shrink> shrinks = {{{"redimensionner", "150", "0", "lanczos"}, {150, 100}, {150, 225}},
                                         {{"redimensionner", "0", "150", "bicubique"}, {225, 150}, {100, 150}},
                                         {{"redimensionner", "25%", "25%", "bilineaire"}, {240, 160}, {160, 240}}};
    for (const int orientation : {1, 6}) {
        const QString in = testimg::WriteFile(orientation == 1 ? jpeg : picturefile::WithOrientation(jpeg, orientation),
                                              QStringLiteral("photo.jpg"));
        TBitmap full;
        LoadFromFile(full, in);
        for (const Shrink& shrink : shrinks) {
            SCOPED_TRACE(shrink.operation.join(' ').toStdString() + " orientation " + std::to_string(orientation));
            const QString out = testimg::TempDir() + QStringLiteral("/petite.bmp");
            ASSERT_EQ(clirun::Run(QStringList{in, out} + shrink.operation).exitCode, 0);
            const auto reduced = clirun::Load(out);
            const QSize size = orientation == 6 ? shrink.portrait : shrink.landscape;
            ASSERT_EQ(QSize(reduced->Width(), reduced->Height()), size);
            const QImage expected = effects::Resize(
                full, size.width(), size.height(),
                ResampleFilter(QStringList{"lanczos", "bicubique", "bilineaire"}.indexOf(shrink.operation[3])));
            EXPECT_LE(LargestDifference(reduced->Image(), expected), 2);
            // Reduced: not the same bytes as the full read.
            EXPECT_FALSE(clirun::Encoded(*reduced) == clirun::Encoded(*Bitmap(expected)));
        }
    }
}
