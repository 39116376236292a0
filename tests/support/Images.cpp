#include "support/Images.h"

#include "raster/TCanvas.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace testimg {

std::unique_ptr<TBitmap> Make(int width, int height, const std::function<TColor(int, int)>& colour)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(width, height);
    bitmap->SetPixelFormat(pf24bit);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap->ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const TColor c = colour(x, y);
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
    return bitmap;
}

std::unique_ptr<TBitmap> Uniform(int width, int height, TColor colour)
{
    return Make(width, height, [colour](int, int) { return colour; });
}

std::unique_ptr<TBitmap> Noise(int width, int height, std::uint32_t seed)
{
    std::mt19937 random(seed);
    return Make(width, height, [&random](int, int) { return TColor(random() & 0xFFFFFF); });
}

std::unique_ptr<TBitmap> Shown(TCanvas& canvas)
{
    return Make(canvas.Target().Width(), canvas.Target().Height(), [&](int x, int y) { return canvas.Pixels(x, y); });
}

std::unique_ptr<TBitmap> Copy(const TBitmap& source)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->Assign(source);
    return bitmap;
}

bool SameBytes(const TBitmap& a, const TBitmap& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    if (a.Width() == 0)
        return true; // no rows to compare (and no row pointers)
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(a.Width()) * 3) != 0)
            return false;
    return true;
}

TColor At(const TBitmap& bitmap, int x, int y)
{
    const std::uint8_t* p = bitmap.ScanLine(y) + 3 * x;
    return RGBColor(p[2], p[1], p[0]);
}

QString TempDir()
{
    static QTemporaryDir root;
    static int counter = 0;
    const QString path = root.path() + QStringLiteral("/t%1").arg(++counter);
    QDir().mkpath(path);
    return path;
}

QString WriteFile(const QByteArray& bytes, const QString& name)
{
    const QString path = TempDir() + "/" + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace testimg
