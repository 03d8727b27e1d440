// SPDX-License-Identifier: MIT
#include "sim/plot/png.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

namespace plot {

namespace {

// A picture as palette indices. Colours are cairo's native pixels:
// premultiplied ARGB, alpha in the top byte.
struct Indexed {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> indices;  // row by row, width a row
    std::size_t colours = 0;       // distinct colours of the picture
};

bool isImage(cairo_surface_t* surface) {
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS
        || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) {
        return false;
    }
    const cairo_format_t format = cairo_image_surface_get_format(surface);
    return format == CAIRO_FORMAT_ARGB32 || format == CAIRO_FORMAT_RGB24;
}

uint32_t pixelAt(const unsigned char* row, int x, bool opaque) {
    uint32_t value = 0;
    std::memcpy(&value, row + static_cast<std::size_t>(x) * 4, 4);
    return opaque ? (value | 0xFF000000u) : value;
}

int channel(uint32_t colour, unsigned shift) {
    return static_cast<int>((colour >> shift) & 0xFFu);
}

long distance(uint32_t a, uint32_t b) {
    long sum = 0;
    for (unsigned shift = 0; shift < 32; shift += 8) {
        const long d = channel(a, shift) - channel(b, shift);
        sum += d * d;
    }
    return sum;
}

Indexed indexed(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    Indexed out;
    out.width = cairo_image_surface_get_width(surface);
    out.height = cairo_image_surface_get_height(surface);
    const bool opaque = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface));

    std::unordered_map<uint32_t, std::size_t> counts;
    for (int y = 0; y < out.height; ++y) {
        const unsigned char* row = data + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < out.width; ++x)
            ++counts[pixelAt(row, x, opaque)];
    }
    out.colours = counts.size();
    std::vector<std::pair<uint32_t, std::size_t>> byCount(counts.begin(), counts.end());
    // The commonest first; equal counts in the order of their colour, so
    // the same picture always gets the same palette.
    std::sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    // Half the palette goes to the commonest colours (the flat areas and
    // lines); the other half, one at a time, to the colour that the palette
    // so far serves worst, weighed by how many pixels have it, so that a
    // ramp or a photograph keeps colours across its whole range.
    const std::size_t n = byCount.size();
    const std::size_t common = n <= kPaletteColours ? n : kPaletteColours / 2;
    std::vector<long> nearest(n, -1);
    std::vector<uint8_t> nearestIndex(n, 0);
    const auto take = [&](std::size_t chosen) {
        const auto index = static_cast<uint8_t>(out.palette.size());
        out.palette.push_back(byCount[chosen].first);
        for (std::size_t i = 0; i < n; ++i) {
            const long d = distance(byCount[i].first, byCount[chosen].first);
            if (nearest[i] < 0 || d < nearest[i]) {
                nearest[i] = d;
                nearestIndex[i] = index;
            }
        }
    };
    for (std::size_t i = 0; i < common; ++i)
        take(i);
    while (out.palette.size() < std::min(n, kPaletteColours)) {
        std::size_t worst = 0;
        double worstWeight = -1.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double weight = static_cast<double>(byCount[i].second) * static_cast<double>(nearest[i]);
            if (weight > worstWeight) {
                worst = i;
                worstWeight = weight;
            }
        }
        take(worst);
    }
    std::unordered_map<uint32_t, uint8_t> indexOf;
    for (std::size_t i = 0; i < n; ++i)
        indexOf[byCount[i].first] = nearestIndex[i];
    out.indices.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y) {
        const unsigned char* row = data + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < out.width; ++x) {
            out.indices[static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width)
                        + static_cast<std::size_t>(x)] = indexOf[pixelAt(row, x, opaque)];
        }
    }
    return out;
}

// Straight (not premultiplied) colour and alpha of a palette entry.
png_color straightColour(uint32_t colour) {
    const int alpha = channel(colour, 24);
    const auto straight = [alpha](int premultiplied) {
        if (alpha == 0)
            return png_byte{0};
        return static_cast<png_byte>(std::min(255, (premultiplied * 255 + alpha / 2) / alpha));
    };
    return png_color{straight(channel(colour, 16)), straight(channel(colour, 8)),
                     straight(channel(colour, 0))};
}

void onPngError(png_structp png, png_const_charp message) {
    auto* reason = static_cast<std::string*>(png_get_error_ptr(png));
    *reason = message;
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Everything the PNG needs is made before libpng is called: after setjmp
// this function makes nothing that a longjmp would have to destroy.
bool encode(std::FILE* file, const Indexed& picture, const png_color* colours, const png_byte* alphas,
            int alphaCount, png_bytep* rows, std::string& reason) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &reason, onPngError, onPngWarning);
    if (png == nullptr) {
        reason = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        reason = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height),
                 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, colours, static_cast<int>(picture.palette.size()));
    if (alphaCount > 0)
        png_set_tRNS(png, info, alphas, alphaCount, nullptr);
    png_set_compression_level(png, 9);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::size_t reduceToPalette(cairo_surface_t* surface) {
    if (!isImage(surface))
        return 0;
    const Indexed picture = indexed(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface));
    for (int y = 0; y < picture.height; ++y) {
        unsigned char* row = data + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < picture.width; ++x) {
            const uint32_t colour =
                picture.palette[picture.indices[static_cast<std::size_t>(y)
                                                    * static_cast<std::size_t>(picture.width)
                                                + static_cast<std::size_t>(x)]];
            std::memcpy(row + static_cast<std::size_t>(x) * 4, &colour, 4);
        }
    }
    cairo_surface_mark_dirty(surface);
    return picture.colours;
}

bool writePalettePng(cairo_surface_t* surface, const std::string& path, std::string& error) {
    if (!isImage(surface)) {
        error = "cannot write " + path + ": not a picture of colour pixels";
        return false;
    }
    Indexed picture = indexed(surface);
    std::vector<png_color> colours;
    std::vector<png_byte> alphas;
    int alphaCount = 0;
    for (const uint32_t colour : picture.palette) {
        colours.push_back(straightColour(colour));
        alphas.push_back(static_cast<png_byte>(channel(colour, 24)));
        if (alphas.back() != 255)
            alphaCount = static_cast<int>(alphas.size());  // trailing opaque entries need no alpha
    }
    std::vector<png_bytep> rows;
    for (int y = 0; y < picture.height; ++y) {
        rows.push_back(picture.indices.data()
                       + static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width));
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string reason;
    bool written = encode(file, picture, colours.data(), alphas.data(), alphaCount, rows.data(), reason);
    if (std::fclose(file) != 0 && written) {
        reason = std::strerror(errno);
        written = false;
    }
    if (!written) {
        std::remove(path.c_str());  // no half-written picture is left behind
        error = "cannot write " + path + ": " + reason;
    }
    return written;
}

bool writeAndDestroyPng(cairo_surface_t* surface, const std::string& path, std::string& error) {
    const bool written = writePalettePng(surface, path, error);
    cairo_surface_destroy(surface);
    return written;
}

}  // namespace plot
