// The JPEG writer gives, byte for byte, the file Qt's writer gave for the same
// picture: the same libjpeg settings, resolution and profile markers.
#include "codecs/JpegWriter.h"
#include "support/Images.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <gtest/gtest.h>

namespace {

QByteArray throughQt(const QImage& image, int quality, const QColorSpace& profile)
{
    QImage tagged = image;
    if (profile.isValid())
        tagged.setColorSpace(profile);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    EXPECT_TRUE(writer.write(tagged));
    return bytes;
}

QByteArray ours(const QImage& image, int quality, const QColorSpace& profile)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(WriteJpeg(buffer, image, quality, profile));
    return bytes;
}

} // namespace

TEST(JpegWriter, GivesTheBytesOfQtsWriter)
{
    QImage smooth(301, 199, QImage::Format_BGR888);
    for (int y = 0; y < smooth.height(); ++y)
        for (int x = 0; x < smooth.width(); ++x)
            smooth.setPixel(x, y, qRgb((x * 7 + y) % 256, y % 256, (x + 2 * y) % 256));
    const QImage pictures[] = {testimg::Noise(1, 1, 3)->Image(), testimg::Noise(37, 23, 4)->Image(), smooth};
    const QColorSpace profiles[] = {QColorSpace(), QColorSpace(QColorSpace::AdobeRgb),
                                    QColorSpace(QColorSpace::DisplayP3)};
    // The default resolution, 72 dots per inch, 100 dots per centimetre.
    const int resolutions[] = {0, 2835, 10000};
    for (const QImage& picture : pictures)
        for (const int quality : {1, 50, 92, 100})
            for (const QColorSpace& profile : profiles)
                for (const int resolution : resolutions) {
                    SCOPED_TRACE(testing::Message()
                                 << picture.width() << " x " << picture.height() << " at " << quality << ", profile "
                                 << profile.description().toStdString() << ", " << resolution << " dots a metre");
                    QImage image = picture.copy();
                    if (resolution) {
                        image.setDotsPerMeterX(resolution);
                        image.setDotsPerMeterY(resolution);
                    }
                    EXPECT_EQ(ours(image, quality, profile), throughQt(image, quality, profile));
                }
}

// A device that refuses to write makes the writer say so, without throwing.
TEST(JpegWriter, ADeviceThatRefusesIsAFailure)
{
    QByteArray bytes;
    QBuffer closed(&bytes);
    EXPECT_FALSE(WriteJpeg(closed, testimg::Noise(70, 300, 5)->Image(), 92, QColorSpace()));
}
