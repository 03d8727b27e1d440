// SPDX-License-Identifier: MIT
//
// bitmapgen: draws the gauge's twelve bitmaps and writes them as the host
// loads them.
//
//   bitmapgen OUT_DIR [--preview PREVIEW_DIR]
//
// With --preview it also writes enlarged PNG pictures of each bitmap and of
// the whole panel as the host would draw it, switched off and engaged.
#include <cairo.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "canvas.h"
#include "indexed_bitmap.h"
#include "pictures.h"

namespace {

const IndexedImage& find(const std::vector<GaugeBitmap>& bitmaps, int id) {
    for (const GaugeBitmap& bitmap : bitmaps) {
        if (bitmap.id == id) {
            return bitmap.image;
        }
    }
    return bitmaps.front().image;
}

// A bitmap as a cairo surface, pure black see-through as the host draws it.
cairo_surface_t* hostSurface(const IndexedImage& image) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            Rgb c = image.colour(x, y);
            uint32_t value =
                c == kBlack ? 0u : (0xFFu << 24) | (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
            std::memcpy(data + y * stride + x * 4, &value, sizeof value);
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

void paint(cairo_t* cr, const IndexedImage& image, double x, double y) {
    cairo_surface_t* surface = hostSurface(image);
    cairo_set_source_surface(cr, surface, x, y);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_surface_destroy(surface);
}

// A text element as the host draws it: green on near black, centred.
void text(cairo_t* cr, const char* s, int x, int y, int w, int h) {
    cairo_rectangle(cr, x, y, w, h);
    cairo_set_source_rgb(cr, 5 / 255.0, 5 / 255.0, 5 / 255.0);
    cairo_fill(cr);
    useFont(cr, h * 0.72, false);
    cairo_set_source_rgb(cr, 0.0, 128 / 255.0, 0.0);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s, &e);
    cairo_font_extents_t f;
    cairo_font_extents(cr, &f);
    cairo_move_to(cr, x + (w - e.x_advance) / 2.0, y + (h + f.ascent - f.descent) / 2.0);
    cairo_show_text(cr, s);
}

// A bar: the window, then the strip moved by the value's share of its
// bounds (0: nothing lit, 1: the whole window lit).
void bar(cairo_t* cr, const std::vector<GaugeBitmap>& bitmaps, int x, int y, double share) {
    paint(cr, find(bitmaps, 101), x, y);
    cairo_save(cr);
    cairo_rectangle(cr, x + 1, y + 1, 6, 53);
    cairo_clip(cr);
    paint(cr, find(bitmaps, 100), x, y - static_cast<int>(share * 55.0 + 0.5));
    cairo_restore(cr);
}

struct PanelState {
    bool power = false;
    bool guardOpen = false;
    bool engaged = false;
    double yawRate = 0.0, yawTrend = 0.0, yawSet = 0.0;
    double upSpeed = 0.0, upTrend = 0.0, upSet = 0.0;
    double rightSpeed = 0.0, forwardSpeed = 0.0, rightTrend = 0.0, forwardTrend = 0.0;
    double rightSet = 0.0, forwardSet = 0.0;
    double lever = 0.0, stick = 0.0;
};

RgbImage drawPanel(const std::vector<GaugeBitmap>& bitmaps, const PanelState& s) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 367, 265);
    cairo_t* cr = cairo_create(surface);
    paint(cr, find(bitmaps, 10), 0, 0);
    paint(cr, find(bitmaps, s.guardOpen ? 71 : 70), 308, 64);
    if (s.engaged) {
        paint(cr, find(bitmaps, 80), 308, 64);
    }
    paint(cr, find(bitmaps, s.power ? 51 : 50), 278, 48);
    if (s.power) {
        const double yaw = 34.0 / 3.0;
        const double speed = 41.0 / 3.0;
        auto at = [](double v, double scale) { return static_cast<int>(v * scale + (v < 0 ? -0.5 : 0.5)); };
        paint(cr, find(bitmaps, 60), 55, 32);
        paint(cr, find(bitmaps, 20), 147 + at(s.yawRate, yaw), 155);
        paint(cr, find(bitmaps, 30), 147 + at(s.yawTrend, yaw), 155);
        paint(cr, find(bitmaps, 35), 147 + at(s.yawSet, yaw), 155);
        paint(cr, find(bitmaps, 20), 201, 101 + at(-s.upSpeed, speed));
        paint(cr, find(bitmaps, 30), 201, 101 + at(-s.upTrend, speed));
        paint(cr, find(bitmaps, 35), 201, 101 + at(-s.upSet, speed));
        text(cr, "273", 61, 51, 33, 20);
        text(cr, "HDG", 61, 36, 33, 20);
        text(cr, "  4", 217, 51, 33, 20);
        text(cr, " GS", 217, 36, 33, 20);
        text(cr, "052", 217, 153, 33, 20);
        text(cr, "RA ", 187, 153, 33, 20);
        text(cr, " 50", 120, 169, 64, 34);
        text(cr, "270/07", 160, 204, 66, 20);
        text(cr, "WIND", 120, 204, 44, 20);
        paint(cr, find(bitmaps, 20), 147 + at(s.rightSpeed, speed), 101 + at(-s.forwardSpeed, speed));
        paint(cr, find(bitmaps, 30), 147 + at(s.rightTrend, speed), 101 + at(-s.forwardTrend, speed));
        paint(cr, find(bitmaps, 35), 147 + at(s.rightSet, speed), 101 + at(-s.forwardSet, speed));
        text(cr, "PITCH", 58, 122, 55, 20);
        text(cr, "A M", 67, 196, 33, 20);
        bar(cr, bitmaps, 68, 140, s.lever);
        bar(cr, bitmaps, 86, 140, s.stick);
    }
    cairo_surface_flush(surface);
    RgbImage out(367, 265, kBlack);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < 265; ++y) {
        for (int x = 0; x < 367; ++x) {
            uint32_t v = 0;
            std::memcpy(&v, data + y * stride + x * 4, sizeof v);
            out.at(x, y) =
                Rgb{static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
        }
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return out;
}

// A single bitmap for looking at: see-through pixels in magenta.
RgbImage previewOf(const IndexedImage& image) {
    RgbImage out = image.toRgb();
    for (Rgb& c : out.pixels) {
        if (c == kBlack) {
            c = Rgb{255, 0, 255};
        }
    }
    return out;
}

void writePreviews(const std::vector<GaugeBitmap>& bitmaps, const std::string& dir) {
    for (const GaugeBitmap& bitmap : bitmaps) {
        std::string name = bitmap.fileName.substr(0, bitmap.fileName.size() - 4) + ".png";
        int scale = bitmap.image.width * bitmap.image.height < 2000 ? 12 : 3;
        writePng(previewOf(bitmap.image), scale, dir + "/" + name);
    }
    PanelState off{};
    writePng(drawPanel(bitmaps, off), 3, dir + "/panel_off.png");
    PanelState engaged{.power = true,
                       .guardOpen = true,
                       .engaged = true,
                       .yawRate = 0.6,
                       .yawTrend = -0.4,
                       .yawSet = 0.5,
                       .upSpeed = -0.8,
                       .upTrend = 0.5,
                       .upSet = -1.0,
                       .rightSpeed = 0.9,
                       .forwardSpeed = 1.6,
                       .rightTrend = -0.5,
                       .forwardTrend = 0.3,
                       .rightSet = 1.0,
                       .forwardSet = 1.25,
                       .lever = 0.62,
                       .stick = 0.45};
    RgbImage engagedPanel = drawPanel(bitmaps, engaged);
    writePng(engagedPanel, 3, dir + "/panel_engaged.png");
    writePng(engagedPanel.crop(258, 30, 109, 200), 6, dir + "/panel_engaged_controls.png");
    writePng(engagedPanel.crop(55, 32, 200, 192), 5, dir + "/panel_engaged_screen.png");
    PanelState rest{.power = true, .guardOpen = false, .engaged = false};
    writePng(drawPanel(bitmaps, rest), 3, dir + "/panel_on_at_rest.png");
}

// The logging gauge's bitmaps one by one, and its face idle and recording
// with a fault shown (the text lines as the host draws them).
void writeLoggerPreviews(const std::vector<GaugeBitmap>& bitmaps, const std::string& dir) {
    for (const GaugeBitmap& bitmap : bitmaps) {
        std::string name = bitmap.fileName.substr(0, bitmap.fileName.size() - 4) + ".png";
        writePng(previewOf(bitmap.image), 8, dir + "/" + name);
    }
    for (bool recording : {false, true}) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 72);
        cairo_t* cr = cairo_create(surface);
        paint(cr, find(bitmaps, 200), 0, 0);
        paint(cr, find(bitmaps, recording ? 202 : 201), 14, 24);
        if (recording) {
            paint(cr, find(bitmaps, 203), 38, 27);
            paint(cr, find(bitmaps, 204), 38, 46);
        }
        text(cr, recording ? "AIL SWEEP" : "ELEV 3211", 60, 15, 92, 18);
        text(cr, recording ? "ENDED EARLY" : "READY", 60, 37, 92, 18);
        cairo_surface_flush(surface);
        RgbImage out(200, 72, kBlack);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < 72; ++y) {
            for (int x = 0; x < 200; ++x) {
                uint32_t v = 0;
                std::memcpy(&v, data + y * stride + x * 4, sizeof v);
                out.at(x, y) =
                    Rgb{static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
            }
        }
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        writePng(out, 4, dir + (recording ? "/log_panel_recording.png" : "/log_panel_idle.png"));
    }
}

}  // namespace

int main(int argc, char** argv) {
    // --logger first: the logging gauge's bitmaps instead of hover's.
    const bool logger = argc > 1 && std::strcmp(argv[1], "--logger") == 0;
    if (logger) {
        --argc;
        ++argv;
    }
    if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--preview") == 0)) {
        std::fprintf(stderr, "usage: bitmapgen [--logger] OUT_DIR [--preview PREVIEW_DIR]\n");
        return 2;
    }
    std::string problem;
    if (!liberationSansAvailable(problem)) {
        std::fprintf(stderr, "bitmapgen: %s\n", problem.c_str());
        return 1;
    }
    std::vector<GaugeBitmap> bitmaps = logger ? drawLoggerBitmaps() : drawGaugeBitmaps();
    const std::string outDir = argv[1];
    for (const GaugeBitmap& bitmap : bitmaps) {
        std::string path = outDir + "/" + bitmap.fileName;
        if (!writeFile(path, encodeBmp(bitmap.image))) {
            std::fprintf(stderr, "bitmapgen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    if (argc == 4 && logger) {
        writeLoggerPreviews(bitmaps, argv[3]);
    } else if (argc == 4) {
        writePreviews(bitmaps, argv[3]);
    }
    return 0;
}
