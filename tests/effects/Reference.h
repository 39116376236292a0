#pragma once

#include "raster/TBitmap.h"

#include <cstdint>

// The reference loops of the effects: plain loops, one pixel and one
// expression at a time, into work rows that start as a copy of the image. The
// optimised effects must give the same bytes.
namespace reference {

void Mirror(TBitmap& bitmap);
void Flip(TBitmap& bitmap);

// The gray value of one pixel, as the black-and-white effect computes it.
int Gray(int blue, int green, int red);
void NB(TBitmap& bitmap);
void AdjustColor(TBitmap& bitmap, std::uint8_t r, std::uint8_t g, std::uint8_t b);
void AdjustLuminosite(TBitmap& bitmap, std::int32_t d);
void InverseColor(TBitmap& bitmap);

void VagueY(TBitmap& bitmap);
void VagueX(TBitmap& bitmap);

// Number of angle steps in one circle for the given step.
int AngleSteps(double step);
void Cercle1(TBitmap& bitmap);
void Cercle2(TBitmap& bitmap);

} // namespace reference
