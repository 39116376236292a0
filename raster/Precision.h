#pragma once

#include <limits>

// The image operations are written for the x87 extended type: a 64-bit
// significand, evaluated without fast-math shortcuts. Results are pinned to the
// byte by the tests, so a different long double would silently change images.
static_assert(std::numeric_limits<long double>::digits == 64,
              "Velmora needs an 80-bit long double with a 64-bit significand");
