#include "Reference.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace reference {

namespace {

// One separately held row per image row, filled with the image's bytes.
class WorkRows {
public:
    explicit WorkRows(TBitmap& bitmap) : bitmap_(bitmap), rowBytes_(3 * std::size_t(bitmap.Width()))
    {
        for (int y = 0; y < bitmap.Height(); ++y)
            rows_.emplace_back(bitmap.ScanLine(y), bitmap.ScanLine(y) + rowBytes_);
    }
    std::uint8_t* operator[](int y) { return rows_[std::size_t(y)].data(); }
    std::size_t RowBytes() const { return rowBytes_; }
    // Writes three bytes at byte offset b of row y, nothing past the row's end.
    void Put(int y, int b, const std::uint8_t* pixel)
    {
        for (int k = 0; k < 3; ++k)
            if (b + k >= 0 && std::size_t(b + k) < rowBytes_)
                rows_[std::size_t(y)][std::size_t(b + k)] = pixel[k];
    }
    void CopyBack()
    {
        for (int y = 0; y < bitmap_.Height(); ++y)
            if (rowBytes_ > 0)
                std::memcpy(bitmap_.ScanLine(y), rows_[std::size_t(y)].data(), rowBytes_);
    }

private:
    TBitmap& bitmap_;
    std::size_t rowBytes_;
    std::vector<std::vector<std::uint8_t>> rows_;
};

std::uint8_t clampByte(int v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

} // namespace

void Mirror(TBitmap& bitmap)
{
    const int w = bitmap.Width();
    WorkRows work(bitmap);
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k)
                work[y][3 * x + k] = bitmap.ScanLine(y)[3 * (w - 1 - x) + k];
    work.CopyBack();
}

void Flip(TBitmap& bitmap)
{
    const int h = bitmap.Height();
    WorkRows work(bitmap);
    for (int y = 0; y < h; ++y)
        for (std::size_t i = 0; i < work.RowBytes(); ++i)
            work[y][i] = bitmap.ScanLine(h - 1 - y)[i];
    work.CopyBack();
}

int Gray(int blue, int green, int red)
{
    const long double b = blue, g = green, r = red;
    return static_cast<int>((b * 0.11 + g * 0.59) + r * 0.3);
}

void NB(TBitmap& bitmap)
{
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            std::uint8_t* p = bitmap.ScanLine(y) + 3 * x;
            p[0] = p[1] = p[2] = std::uint8_t(Gray(p[0], p[1], p[2]));
        }
}

void AdjustColor(TBitmap& bitmap, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            std::uint8_t* p = bitmap.ScanLine(y) + 3 * x;
            p[0] = clampByte((p[0] * b) >> 7);
            p[1] = clampByte((p[1] * g) >> 7);
            p[2] = clampByte((p[2] * r) >> 7);
        }
}

void AdjustLuminosite(TBitmap& bitmap, std::int32_t d)
{
    for (int y = 0; y < bitmap.Height(); ++y)
        for (std::size_t i = 0; i < 3 * std::size_t(bitmap.Width()); ++i) {
            std::uint8_t& v = bitmap.ScanLine(y)[i];
            // A 32-bit signed sum, which wraps, then clamped.
            const auto sum = static_cast<std::int32_t>(std::uint32_t(v) + std::uint32_t(d));
            v = sum < 0 ? 0 : sum > 255 ? 255 : std::uint8_t(sum);
        }
}

void InverseColor(TBitmap& bitmap)
{
    for (int y = 0; y < bitmap.Height(); ++y)
        for (std::size_t i = 0; i < 3 * std::size_t(bitmap.Width()); ++i)
            bitmap.ScanLine(y)[i] = std::uint8_t(255 - bitmap.ScanLine(y)[i]);
}

void VagueY(TBitmap& bitmap)
{
    const double c = 6.2831885307;
    const int w = bitmap.Width(), h = bitmap.Height();
    const int a = h >> 4;
    WorkRows work(bitmap);
    for (int y = a; y < h - a; ++y)
        for (int x = 0; x < w; ++x) {
            const int b = 3 * x;
            const long double theta = (static_cast<long double>(b) * c) / static_cast<long double>(3 * w);
            const long double t = static_cast<long double>(std::sin(static_cast<double>(theta))) * a + y;
            const int ty = static_cast<int>(t);
            work.Put(ty, b, bitmap.ScanLine(y) + b);
        }
    work.CopyBack();
}

void VagueX(TBitmap& bitmap)
{
    const double c = 6.2831885307;
    const long double k = static_cast<long double>(2) / 3;
    const int w = bitmap.Width(), h = bitmap.Height();
    const int a = w >> 4;
    WorkRows work(bitmap);
    for (int y = 0; y < h; ++y) {
        const long double phi = (static_cast<long double>(y) * c) / (static_cast<long double>(h) * k);
        const int s = static_cast<int>(static_cast<long double>(std::sin(static_cast<double>(phi))) * 3.0f * a);
        const int d = s - (s % 3) + 3;
        for (int b = 3 * a; b < 3 * w - 3 * a; b += 3)
            work.Put(y, b + d, bitmap.ScanLine(y) + b);
    }
    work.CopyBack();
}

int AngleSteps(double step)
{
    int steps = 0;
    for (float a = 0; static_cast<long double>(a) < 6.283185307;
         a = static_cast<float>(static_cast<long double>(a) + step))
        ++steps;
    return steps;
}

namespace {

void circles(TBitmap& bitmap, double step, bool skipRepeats)
{
    const int w = bitmap.Width(), h = bitmap.Height();
    if (w == 0 || h == 0)
        return;
    const int cx = w >> 1, cy = h >> 1;
    WorkRows work(bitmap);
    int sr = 0;
    int prevX = -255, prevY = -255;
    for (std::int32_t r = 1; static_cast<long double>(r) < static_cast<long double>(w) * 1.1412; ++r) {
        int sc = 0;
        for (float a = 0; static_cast<long double>(a) < 6.283185307;
             a = static_cast<float>(static_cast<long double>(a) + step)) {
            const int px = static_cast<int>(static_cast<long double>(std::cos(static_cast<double>(a))) * r + cx);
            const int py = static_cast<int>(static_cast<long double>(std::sin(static_cast<double>(a))) * r + cy);
            if (skipRepeats) {
                if (px == prevX && py == prevY)
                    continue;
                prevX = px;
                prevY = py;
            }
            sc = sc + 1;
            if (sc == w) {
                sr = sr + 1;
                if (sr == h)
                    sr = 0;
                sc = 0;
            }
            if (px >= 0 && px < w && py >= 0 && py < h)
                work.Put(py, 3 * px, bitmap.ScanLine(sr) + 3 * sc);
        }
    }
    work.CopyBack();
}

} // namespace

void Cercle1(TBitmap& bitmap) { circles(bitmap, 0.0007, false); }
void Cercle2(TBitmap& bitmap) { circles(bitmap, 0.0008, true); }

} // namespace reference
