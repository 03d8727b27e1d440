// SPDX-License-Identifier: MIT
#include "sim/panel/bitmap.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace panel {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kBitFields = 3;  // 32-bit pixels with masks; taken as BGRX
// Larger pictures are refused: a gauge bitmap is a few hundred pixels wide.
constexpr int32_t kMaxSide = 16384;

uint32_t word(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8
           | static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

uint16_t half(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

uint32_t rgb(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | b;
}

// The resource id a file name starts with, if it is followed by '_' or '.'.
std::optional<int32_t> idOfName(const std::string& name) {
    size_t digits = 0;
    while (digits < name.size() && digits < 9 && std::isdigit(static_cast<unsigned char>(name[digits]))) {
        ++digits;
    }
    if (digits == 0 || digits >= name.size() || (name[digits] != '_' && name[digits] != '.')) {
        return std::nullopt;
    }
    return static_cast<int32_t>(std::stol(name.substr(0, digits)));
}

bool hasBitmapExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension == ".bmp";
}

}  // namespace

std::optional<Bitmap> parseBitmap(std::span<const uint8_t> bytes, std::string& error) {
    if (bytes.size() < kFileHeaderSize + kInfoHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') {
        error = "not a bitmap file";
        return std::nullopt;
    }
    const uint32_t pixelOffset = word(bytes, 10);
    const uint32_t infoSize = word(bytes, 14);
    if (infoSize < kInfoHeaderSize || kFileHeaderSize + infoSize > bytes.size()) {
        error = "unknown bitmap header of " + std::to_string(infoSize) + " bytes";
        return std::nullopt;
    }
    const auto width = static_cast<int32_t>(word(bytes, 18));
    const auto signedHeight = static_cast<int32_t>(word(bytes, 22));
    const uint16_t bits = half(bytes, 28);
    const uint32_t compression = word(bytes, 30);
    uint32_t coloursUsed = word(bytes, 46);
    const bool bottomUp = signedHeight > 0;
    const int32_t height = bottomUp ? signedHeight : -signedHeight;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        error = "bitmap size " + std::to_string(width) + " x " + std::to_string(signedHeight) + " refused";
        return std::nullopt;
    }
    const bool paletted = bits == 1 || bits == 4 || bits == 8;
    if (!paletted && bits != 24 && bits != 32) {
        error = std::to_string(bits) + " bits per pixel are not read";
        return std::nullopt;
    }
    if (compression != kUncompressed && !(bits == 32 && compression == kBitFields)) {
        error = "compressed bitmaps are not read";
        return std::nullopt;
    }

    std::vector<uint32_t> palette;
    if (paletted) {
        const uint32_t maxColours = 1u << bits;
        if (coloursUsed == 0 || coloursUsed > maxColours) {
            coloursUsed = maxColours;
        }
        const size_t paletteAt = kFileHeaderSize + infoSize;
        if (paletteAt + size_t{coloursUsed} * 4 > bytes.size()) {
            error = "the palette runs past the end of the file";
            return std::nullopt;
        }
        for (uint32_t i = 0; i < coloursUsed; ++i) {
            const size_t at = paletteAt + size_t{i} * 4;
            palette.push_back(rgb(bytes[at + 2], bytes[at + 1], bytes[at]));
        }
    }

    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    const size_t rowBytes = (w * bits + 31) / 32 * 4;
    if (pixelOffset > bytes.size() || rowBytes * h > bytes.size() - pixelOffset) {
        error = "the pixels run past the end of the file";
        return std::nullopt;
    }

    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels.resize(w * h);
    for (size_t row = 0; row < h; ++row) {
        const size_t fileRow = bottomUp ? h - 1 - row : row;
        const std::span<const uint8_t> line = bytes.subspan(pixelOffset + fileRow * rowBytes, rowBytes);
        for (size_t x = 0; x < w; ++x) {
            uint32_t colour = 0;
            if (paletted) {
                const size_t bit = x * bits;
                const unsigned shift = static_cast<unsigned>(8 - bits - bit % 8);
                const uint32_t index = static_cast<uint32_t>(line[bit / 8] >> shift) & ((1u << bits) - 1);
                if (index >= palette.size()) {
                    error = "a pixel names colour " + std::to_string(index) + " beyond the palette";
                    return std::nullopt;
                }
                colour = palette[index];
            } else {
                const size_t at = x * (bits / 8);
                colour = rgb(line[at + 2], line[at + 1], line[at]);
            }
            bitmap.pixels[row * w + x] = colour;
        }
    }
    return bitmap;
}

std::optional<Bitmap> readBitmapFile(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    std::optional<Bitmap> bitmap = parseBitmap(bytes, error);
    if (!bitmap) {
        error = path + ": " + error;
    }
    return bitmap;
}

bool BitmapSet::loadDirectory(const std::string& directory, std::string& error) {
    std::error_code code;
    std::filesystem::directory_iterator entries(directory, code);
    if (code) {
        error = "cannot read the bitmap directory " + directory + ": " + code.message();
        return false;
    }
    for (const std::filesystem::directory_entry& entry : entries) {
        if (!entry.is_regular_file() || !hasBitmapExtension(entry.path())) {
            continue;
        }
        const std::optional<int32_t> id = idOfName(entry.path().filename().string());
        if (!id) {
            continue;
        }
        std::optional<Bitmap> bitmap = readBitmapFile(entry.path().string(), error);
        if (!bitmap) {
            return false;
        }
        add(*id, std::move(*bitmap));
    }
    return true;
}

const Bitmap* BitmapSet::find(int32_t id) const {
    const auto found = bitmaps_.find(id);
    return found == bitmaps_.end() ? nullptr : &found->second;
}

std::string findBitmapDirectory(const std::string& explicitDirectory, const std::string& modulePath) {
    namespace fs = std::filesystem;
    std::error_code code;
    if (!explicitDirectory.empty()) {
        return fs::is_directory(explicitDirectory, code) ? explicitDirectory : std::string();
    }
    if (!modulePath.empty()) {
        const fs::path beside = fs::path(modulePath).parent_path() / "bitmaps";
        if (fs::is_directory(beside, code)) {
            return beside.string();
        }
    }
    return std::string();
}

}  // namespace panel
