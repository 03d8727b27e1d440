// SPDX-License-Identifier: MIT
//
// The gauge's pictures as the host loads them: device-independent bitmaps
// (the file form of a Windows bitmap resource), read into plain RGB pixels.
// In the native build the module's bitmaps are files in a directory beside
// hover.so, each named by its resource id ("60_screen.bmp" or "60.bmp").
#ifndef HOVER_SIM_PANEL_BITMAP_H
#define HOVER_SIM_PANEL_BITMAP_H

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace panel {

// A picture, top row first, one 0x00RRGGBB word per pixel.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

// Reads a bitmap file: the 14-byte file header, a 40-byte (or longer) info
// header, and uncompressed pixels of 1, 4 or 8 bits through a palette, or of
// 24 or 32 bits; bottom-up or top-down. Anything else, or a file whose sizes
// do not add up, is refused with the reason in `error`.
std::optional<Bitmap> parseBitmap(std::span<const uint8_t> bytes, std::string& error);
std::optional<Bitmap> readBitmapFile(const std::string& path, std::string& error);

// The module's bitmaps by resource id.
class BitmapSet {
public:
    // Reads every bitmap of a directory whose file name starts with a
    // resource id followed by '_' or '.'. Fails when the directory cannot be
    // read or a bitmap in it is broken; other files are ignored.
    bool loadDirectory(const std::string& directory, std::string& error);

    void add(int32_t id, Bitmap bitmap) { bitmaps_[id] = std::move(bitmap); }
    const Bitmap* find(int32_t id) const;
    size_t size() const { return bitmaps_.size(); }

private:
    std::map<int32_t, Bitmap> bitmaps_;
};

// Where the module's bitmap files are: `explicitDirectory` when given, else
// "bitmaps" beside the module file (the build copies them there). Returns
// the first of them that exists, or an empty string.
std::string findBitmapDirectory(const std::string& explicitDirectory, const std::string& modulePath);

}  // namespace panel

#endif
