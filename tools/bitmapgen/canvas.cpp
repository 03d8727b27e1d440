// SPDX-License-Identifier: MIT
#include "canvas.h"

#include <fontconfig/fontconfig.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

namespace {

struct Surface {
    cairo_surface_t* surface;
    cairo_t* cr;

    Surface(int width, int height, cairo_format_t format)
        : surface(cairo_image_surface_create(format, width, height)), cr(cairo_create(surface)) {}
    ~Surface() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Premultiplied ARGB of one pixel; call flush() once after drawing.
    void flush() { cairo_surface_flush(surface); }
    uint32_t pixel(int x, int y) {
        const unsigned char* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        uint32_t value = 0;
        std::memcpy(&value, data + y * stride + x * 4, sizeof value);
        return value;
    }
};

uint8_t channel(uint32_t argb, int shift) {
    return static_cast<uint8_t>((argb >> shift) & 0xFFu);
}

uint8_t toByte(double v) {
    if (v <= 0.0) {
        return 0;
    }
    if (v >= 255.0) {
        return 255;
    }
    return static_cast<uint8_t>(v + 0.5);
}

bool resolvesToLiberation(const char* pattern) {
    FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    FcConfigSubstitute(nullptr, wanted, FcMatchPattern);
    FcDefaultSubstitute(wanted);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(nullptr, wanted, &result);
    bool ok = false;
    FcChar8* family = nullptr;
    if (found != nullptr && FcPatternGetString(found, FC_FAMILY, 0, &family) == FcResultMatch) {
        ok = std::strcmp(reinterpret_cast<const char*>(family), "Liberation Sans") == 0;
    }
    if (found != nullptr) {
        FcPatternDestroy(found);
    }
    FcPatternDestroy(wanted);
    return ok;
}

}  // namespace

bool liberationSansAvailable(std::string& problem) {
    if (!resolvesToLiberation("Liberation Sans") || !resolvesToLiberation("Liberation Sans:bold")) {
        problem = "fontconfig does not find Liberation Sans (Debian package fonts-liberation)";
        return false;
    }
    return true;
}

RgbImage renderOpaque(int width, int height, const DrawFn& draw) {
    Surface s(width, height, CAIRO_FORMAT_RGB24);
    draw(s.cr);
    s.flush();
    RgbImage out(width, height, kBlack);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p = s.pixel(x, y);
            out.at(x, y) = Rgb{channel(p, 16), channel(p, 8), channel(p, 0)};
        }
    }
    return out;
}

IndexedImage quantiseOpaque(const RgbImage& picture) {
    IndexedImage out(picture.width, picture.height);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            out.at(x, y) = nearestIndex(picture.at(x, y), false);
        }
    }
    return out;
}

IndexedImage renderOverlay(const RgbImage& below, double minCoverage, const DrawFn& draw) {
    Surface s(below.width, below.height, CAIRO_FORMAT_ARGB32);
    draw(s.cr);
    s.flush();
    IndexedImage out(below.width, below.height);
    for (int y = 0; y < below.height; ++y) {
        for (int x = 0; x < below.width; ++x) {
            uint32_t p = s.pixel(x, y);
            double alpha = channel(p, 24) / 255.0;
            if (alpha < minCoverage || alpha <= 0.0) {
                out.at(x, y) = 0;
                continue;
            }
            const Rgb& b = below.at(x, y);
            double keep = 1.0 - alpha;
            Rgb c{toByte(channel(p, 16) + b.r * keep), toByte(channel(p, 8) + b.g * keep),
                  toByte(channel(p, 0) + b.b * keep)};
            out.at(x, y) = nearestIndex(c, false);
        }
    }
    return out;
}

IndexedImage quantiseExact(const RgbImage& picture) {
    IndexedImage out(picture.width, picture.height);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            out.at(x, y) = nearestIndex(picture.at(x, y), true);
        }
    }
    return out;
}

void setColour(cairo_t* cr, Rgb colour) {
    cairo_set_source_rgb(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
}

void setColour(cairo_t* cr, Rgb colour, double alpha) {
    cairo_set_source_rgba(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0, alpha);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    constexpr double kQuarter = std::numbers::pi / 2.0;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kQuarter, 0.0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0.0, kQuarter);
    cairo_arc(cr, x + r, y + h - r, r, kQuarter, 2.0 * kQuarter);
    cairo_arc(cr, x + r, y + r, r, 2.0 * kQuarter, 3.0 * kQuarter);
    cairo_close_path(cr);
}

void useFont(cairo_t* cr, double size, bool bold) {
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    // Unhinted outlines at exact positions: the same pixels on every run.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

void textCentred(cairo_t* cr, const char* text, double x, double baseline) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    cairo_move_to(cr, x - extents.x_advance / 2.0, baseline);
    cairo_show_text(cr, text);
}

void textCentredInk(cairo_t* cr, const char* text, double x, double y) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    cairo_move_to(cr, x - extents.width / 2.0 - extents.x_bearing,
                  y - extents.height / 2.0 - extents.y_bearing);
    cairo_show_text(cr, text);
}

void writePng(const RgbImage& picture, int scale, const std::string& path) {
    Surface s(picture.width * scale, picture.height * scale, CAIRO_FORMAT_RGB24);
    cairo_surface_flush(s.surface);
    unsigned char* data = cairo_image_surface_get_data(s.surface);
    int stride = cairo_image_surface_get_stride(s.surface);
    for (int y = 0; y < picture.height * scale; ++y) {
        for (int x = 0; x < picture.width * scale; ++x) {
            const Rgb& c = picture.at(x / scale, y / scale);
            uint32_t value = (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | uint32_t{c.b};
            std::memcpy(data + y * stride + x * 4, &value, sizeof value);
        }
    }
    cairo_surface_mark_dirty(s.surface);
    cairo_surface_write_to_png(s.surface, path.c_str());
}
