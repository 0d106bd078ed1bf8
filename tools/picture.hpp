// Pictures as plain red, green, blue bytes: read from a PNG, a BMP or a PPM file,
// written as a PNG or a BMP, compared whole or found inside a larger picture.
// The one picture library of the project's tools and tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace picture {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // red, green, blue per pixel, rows top to bottom
};

// Reads a .png, a .bmp (through SDL's own loader) or a binary .ppm (P6) file
// into `picture`, or says why not in `why`.
bool load(const std::string& path, Picture& picture, std::string& why);

// Writes `picture` as a PNG, or as an uncompressed 24-bit BMP. False on failure.
bool save_png(const std::string& path, const Picture& picture);
bool save_bmp(const std::string& path, const Picture& picture);

// The number of pixels that differ between two pictures of the same size, or -1
// when their sizes differ.
long differences(const Picture& a, const Picture& b);

// Whether `part` appears, pixel for pixel, somewhere in `whole`, all but at most
// `allowed` of its pixels (where a screen's pointer may lie over it).
bool contains(const Picture& whole, const Picture& part, long allowed = 0);

} // namespace picture
