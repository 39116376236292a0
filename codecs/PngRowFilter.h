#pragma once

#include <QtGlobal>
#include <cstdint>

// PNG's row filters, for the encoder.
// The five filters of a row of `count` bytes (3 a pixel), against the row
// above (zeros above the first row): None, Sub, Up, Average and Paeth, each
// written after its type byte into `out[type]`. Returns the type whose bytes,
// read as signed, have the least sum of magnitudes: the usual cheap guess at
// the one deflate codes smallest. With x a byte, a the one on its left (0 for
// the first pixel), b the one above and c above on the left, the plain loop is
//     sub = x - a, up = x - b, average = x - (a + b) / 2, paeth = x - paethPredictor(a, b, c)
// which runs here on 16 bytes at a time, then one by one for the last few.
int FilterPngRow(const std::uint8_t* row, const std::uint8_t* above, qsizetype count, std::uint8_t* const out[5]);
