#pragma once

#include "raster/TBitmap.h"

#include <QIODevice>

// A progressive JPEG usually has about 10 scans. Every further scan makes the
// decoder go over the whole picture again, so a file of a hundred kilobytes
// with thousands of them takes minutes: one with more than this many is
// refused as damaged.
constexpr int kMaxJpegScans = 500;

// True when the file in `device` holds its whole structure: a JPEG reaches its
// end marker (every segment whole, every scan's data followed by a marker), a
// PNG its end chunk, a GIF its trailer, and every block a TIFF's first
// directory points at lies inside the file. Qt's decoders would show some of
// these files cut short as whole pictures, their missing part grey or black.
// Whatever follows the end (some cameras append data) is not read. A JPEG of
// more than kMaxJpegScans scans is refused. WebP and BMP are checked by their
// own decoders: always true here.
struct TContainerContents {
    // A GIF, an animated PNG, a TIFF or a WebP holds more than its first picture.
    bool moreFrames = false;
    // A PNG, TIFF or WebP embeds a colour profile (readable or not).
    bool profile = false;
};
bool ContainerComplete(ImageFormat format, QIODevice& device, TContainerContents* contents);
