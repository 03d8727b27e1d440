// SPDX-License-Identifier: MIT
//
// The gauge's bitmaps as the host loads them: 8 bits per pixel over one
// fixed 256-colour palette, written as uncompressed bottom-up device-
// independent bitmaps with a 40-byte header.
#ifndef HOVER_TOOLS_BITMAPGEN_INDEXED_BITMAP_H
#define HOVER_TOOLS_BITMAPGEN_INDEXED_BITMAP_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    uint8_t r;
    uint8_t g;
    uint8_t b;

    bool operator==(const Rgb&) const = default;
};

// The colours the bitmaps must carry exactly.
constexpr Rgb kBlack{0, 0, 0};      // transparent wherever the host draws
constexpr Rgb kNearBlack{1, 1, 1};  // the bar window's opaque inside
constexpr Rgb kScreenTeal{5, 71, 70};
constexpr Rgb kDarkGreen{0, 128, 0};      // the screen's printing, the bar window frame
constexpr Rgb kGreen{0, 192, 0};          // trend markers, the HVR letters
constexpr Rgb kBrightGreen{64, 255, 64};  // measured and set markers, the bars

using Palette = std::array<Rgb, 256>;

// One palette for all twelve bitmaps. Entry 0 is the only pure black.
const Palette& gaugePalette();

// A picture in full colour, row by row from the top.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    RgbImage() = default;
    RgbImage(int w, int h, Rgb fill)
        : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}
    Rgb& at(int x, int y) { return pixels[static_cast<size_t>(y * width + x)]; }
    const Rgb& at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
    RgbImage crop(int x, int y, int w, int h) const;
};

// A picture as palette indices, row by row from the top.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    IndexedImage(int w, int h)
        : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h), 0) {}
    uint8_t& at(int x, int y) { return pixels[static_cast<size_t>(y * width + x)]; }
    uint8_t at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
    Rgb colour(int x, int y) const { return gaugePalette()[at(x, y)]; }
    RgbImage toRgb() const;
};

// The nearest palette entry; ties go to the lower index. Without
// `allowBlack` pure black is never chosen, so a drawn pixel cannot turn
// transparent.
uint8_t nearestIndex(Rgb colour, bool allowBlack);

// The file's bytes: file header, 40-byte info header, palette, pixels.
std::vector<uint8_t> encodeBmp(const IndexedImage& image);
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

#endif
