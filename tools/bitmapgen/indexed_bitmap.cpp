// SPDX-License-Identifier: MIT
#include "indexed_bitmap.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

int roundHalfUp(double v) {
    return static_cast<int>(v + 0.5);
}

Rgb mix(Rgb a, Rgb b, double t) {
    auto channel = [t](uint8_t x, uint8_t y) { return static_cast<uint8_t>(roundHalfUp(x + (y - x) * t)); };
    return Rgb{channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

// The palette: the exact colours first, then what anti-aliased drawing
// between them needs: a fine grey ramp for the face and metal, the screen's
// teal blending into each of its greens and into the dark recess, the
// guard's reds, the engage button's glass and its lamp, and a coarse cube
// for whatever else.
Palette makePalette() {
    std::vector<Rgb> entries = {kBlack, kNearBlack,   kScreenTeal,       kDarkGreen,
                                kGreen, kBrightGreen, Rgb{255, 255, 255}};
    auto ramp = [&entries](Rgb from, Rgb to, int steps) {
        for (int i = 1; i <= steps; ++i) {
            entries.push_back(mix(from, to, static_cast<double>(i) / (steps + 1)));
        }
    };
    for (int v = 2; v <= 100; v += 2) {
        entries.push_back(Rgb{static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v)});
    }
    for (int v = 103; v <= 253; v += 3) {
        entries.push_back(Rgb{static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v)});
    }
    ramp(kScreenTeal, kDarkGreen, 7);
    ramp(kScreenTeal, kGreen, 7);
    ramp(kScreenTeal, kBrightGreen, 7);
    ramp(kScreenTeal, Rgb{20, 22, 23}, 4);
    ramp(kScreenTeal, Rgb{72, 76, 78}, 3);
    const Rgb reds[] = {{52, 6, 5}, {112, 14, 12}, {178, 26, 22}, {222, 56, 46}, {250, 140, 124}};
    for (size_t i = 0; i + 1 < sizeof reds / sizeof reds[0]; ++i) {
        entries.push_back(reds[i]);
        ramp(reds[i], reds[i + 1], 5);
    }
    entries.push_back(reds[4]);
    const Rgb glassDark{22, 30, 28};
    const Rgb glassLight{120, 136, 132};
    entries.push_back(glassDark);
    ramp(glassDark, glassLight, 8);
    entries.push_back(glassLight);
    ramp(Rgb{40, 50, 47}, kGreen, 8);
    const int cube[] = {40, 110, 180, 250};
    for (int r : cube) {
        for (int g : cube) {
            for (int b : cube) {
                entries.push_back(
                    Rgb{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)});
            }
        }
    }
    for (int v = 3; entries.size() < 256; v += 2) {
        entries.push_back(Rgb{static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v)});
    }
    if (entries.size() != 256) {
        std::fprintf(stderr, "bitmapgen: the palette has %zu entries, not 256\n", entries.size());
        std::abort();
    }
    Palette palette{};
    for (size_t i = 0; i < palette.size(); ++i) {
        palette[i] = entries[i];
    }
    return palette;
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFFu);
    put16(out, v >> 16);
}

}  // namespace

const Palette& gaugePalette() {
    static const Palette palette = makePalette();
    return palette;
}

RgbImage RgbImage::crop(int x, int y, int w, int h) const {
    RgbImage out(w, h, kBlack);
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            out.at(i, j) = at(x + i, y + j);
        }
    }
    return out;
}

RgbImage IndexedImage::toRgb() const {
    RgbImage out(width, height, kBlack);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            out.at(x, y) = colour(x, y);
        }
    }
    return out;
}

uint8_t nearestIndex(Rgb colour, bool allowBlack) {
    const Palette& palette = gaugePalette();
    int best = -1;
    int bestDistance = 0;
    for (int i = 0; i < 256; ++i) {
        const Rgb& p = palette[static_cast<size_t>(i)];
        if (!allowBlack && p == kBlack) {
            continue;
        }
        int dr = p.r - colour.r;
        int dg = p.g - colour.g;
        int db = p.b - colour.b;
        int distance = dr * dr + dg * dg + db * db;
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return static_cast<uint8_t>(best);
}

std::vector<uint8_t> encodeBmp(const IndexedImage& image) {
    const uint32_t width = static_cast<uint32_t>(image.width);
    const uint32_t height = static_cast<uint32_t>(image.height);
    const uint32_t stride = (width + 3u) & ~3u;
    const uint32_t pixelOffset = 14u + 40u + 256u * 4u;
    const uint32_t imageSize = stride * height;
    std::vector<uint8_t> out;
    out.reserve(pixelOffset + imageSize);
    out.push_back('B');
    out.push_back('M');
    put32(out, pixelOffset + imageSize);
    put32(out, 0);
    put32(out, pixelOffset);
    put32(out, 40);  // header size
    put32(out, width);
    put32(out, height);  // positive: rows stored bottom-up
    put16(out, 1);       // planes
    put16(out, 8);       // bits per pixel
    put32(out, 0);       // uncompressed
    put32(out, imageSize);
    put32(out, 2835);  // 72 dots per inch
    put32(out, 2835);
    put32(out, 256);  // palette entries
    put32(out, 0);    // all of them matter
    for (const Rgb& c : gaugePalette()) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            out.push_back(image.at(x, y));
        }
        for (uint32_t pad = width; pad < stride; ++pad) {
            out.push_back(0);
        }
    }
    return out;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}
