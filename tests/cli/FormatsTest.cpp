// velmora-cli reads every format the editor opens, by its content, and writes
// the one its output name ends with.
#include "CliRun.h"

#include "support/Images.h"
#include "support/PictureFiles.h"

#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

TEST(CliFormats, TheOutputNameChoosesTheFormatAndTheInputIsKnownByItsBytes)
{
    const QString dir = testimg::TempDir();
    const auto image = testimg::Noise(9, 5, 11);
    // A PNG under a name that says BMP.
    QImage picture(9, 5, QImage::Format_RGB888);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x) {
            const TColor c = testimg::At(*image, x, y);
            picture.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
        }
    const QString input = testimg::WriteFile(picturefile::Encode(picture, "png"), "entree.bmp");
    struct Case {
        const char* output;
        QByteArray magic;
    };
    for (const Case& c : {Case{"s.png", "\x89PNG"}, Case{"s.JPG", "\xFF\xD8\xFF"}, Case{"s.jpeg", "\xFF\xD8\xFF"},
                          Case{"s.webp", "RIFF"}, Case{"s.tif", "II*"}, Case{"s.TIFF", "II*"}, Case{"s.bmp", "BM"},
                          Case{"sortie", "BM"}}) {
        SCOPED_TRACE(c.output);
        const auto result = clirun::Run({input, dir + "/" + c.output, "negatif"});
        EXPECT_EQ(result.exitCode, 0) << result.err.data();
        EXPECT_TRUE(result.err.isEmpty()) << result.err.data();
        EXPECT_TRUE(clirun::Bytes(dir + "/" + c.output).startsWith(c.magic));
    }
    // A GIF name is refused before anything is read: an animation given as
    // its own output stays as it was.
    const QString anim = testimg::WriteFile(picturefile::Gif(3), "anim.gif");
    for (const QStringList& arguments : {QStringList{anim, anim}, QStringList{input, dir + "/out.GIF", "negatif"}}) {
        const auto result = clirun::Run(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(
            result.err.startsWith("velmora-cli n'écrit pas de GIF : choisissez .png, .webp, .tif, .jpg ou .bmp."))
            << result.err.data();
    }
    EXPECT_EQ(clirun::Bytes(anim), picturefile::Gif(3));
    EXPECT_FALSE(QFile::exists(dir + "/out.GIF"));
    // Lossless outputs read back as the negative of the input, exactly.
    for (const char* name : {"s.png", "s.tif", "s.bmp"}) {
        const auto back = clirun::Load(dir + "/" + name);
        ASSERT_TRUE(back);
        EXPECT_EQ(testimg::At(*back, 3, 2), testimg::At(*image, 3, 2) ^ 0xFFFFFF) << name;
    }
}

TEST(CliFormats, QualityIsCheckedAndChangesOnlyLossyFiles)
{
    const QString dir = testimg::TempDir();
    const QString input = clirun::Save(*testimg::Noise(64, 48, 5));
    for (const QString bad : {"0", "101", "-5", "douze", ""}) {
        const auto result = clirun::Run({"--qualite", bad, input, dir + "/s.jpg"});
        EXPECT_EQ(result.exitCode, 2) << bad.toStdString();
        EXPECT_TRUE(result.err.contains("--qualite") || result.err.contains("qualit")) << result.err.data();
    }
    EXPECT_EQ(clirun::Run({"--qualite"}).exitCode, 2);
    ASSERT_EQ(clirun::Run({"--qualite", "20", input, dir + "/low.jpg"}).exitCode, 0);
    ASSERT_EQ(clirun::Run({"--qualite", "95", input, dir + "/high.jpg"}).exitCode, 0);
    EXPECT_LT(clirun::Bytes(dir + "/low.jpg").size(), clirun::Bytes(dir + "/high.jpg").size());
    ASSERT_EQ(clirun::Run({"--qualite", "20", input, dir + "/a.bmp"}).exitCode, 0);
    EXPECT_EQ(clirun::Bytes(dir + "/a.bmp"), clirun::Bytes(input));
}

TEST(CliFormats, ADamagedPictureIsOneFrenchLineAndNoFile)
{
    const QString dir = testimg::TempDir();
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QByteArray png = picturefile::Encode(picture, "png");
    const QString input = testimg::WriteFile(png.left(png.size() / 2), "coupe.png");
    const auto result = clirun::Run({input, dir + "/s.png"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.count('\n'), 1) << result.err.data();
    EXPECT_TRUE(QString::fromUtf8(result.err).contains(QStringLiteral("endommagé ou tronqué")));
    EXPECT_TRUE(clirun::Bytes(dir + "/s.png").isEmpty());
}
