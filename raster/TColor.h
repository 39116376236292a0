#pragma once

#include <cstdint>

// A colour as the raster layer passes it around: 0x00BBGGRR, red in the low byte.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
// What a pixel read outside a bitmap or a window returns: no colour at all.
constexpr TColor clNone = 0xFFFFFFFF;

constexpr TColor RGBColor(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}
constexpr std::uint8_t GetRValue(TColor c) { return std::uint8_t(c); }
constexpr std::uint8_t GetGValue(TColor c) { return std::uint8_t(c >> 8); }
constexpr std::uint8_t GetBValue(TColor c) { return std::uint8_t(c >> 16); }
