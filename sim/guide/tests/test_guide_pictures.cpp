// SPDX-License-Identifier: MIT
//
// The guide's pictures are what the module draws: each is drawn again from
// the module as built, reduced to the palette guidepictures writes it with,
// and compared, pixel by pixel, with the committed file. After a change to
// the face, regenerate them with tools/make-guide.sh.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>

#include "sim/guide/guide_pictures.h"
#include "sim/plot/png.h"

namespace guide {
// Test names and failures show a picture by its name.
void PrintTo(const GuidePicture& picture, std::ostream* out) {
    *out << picture.name;
}
}  // namespace guide

namespace {

// Each colour channel of each pixel may differ by this much: room for a
// font rasteriser's rounding, far less than any marker, text or lamp that
// moves or changes.
constexpr int kChannelTolerance = 24;

struct Difference {
    int pixels = 0;
    int firstX = -1;
    int firstY = -1;
};

uint32_t pixelOf(cairo_surface_t* surface, int x, int y) {
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const auto stride = static_cast<size_t>(cairo_image_surface_get_stride(surface));
    uint32_t value = 0;
    std::memcpy(&value, data + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4, 4);
    return value;
}

Difference compare(cairo_surface_t* drawn, cairo_surface_t* committed) {
    cairo_surface_flush(drawn);
    cairo_surface_flush(committed);
    Difference d;
    const int w = cairo_image_surface_get_width(drawn);
    const int h = cairo_image_surface_get_height(drawn);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t a = pixelOf(drawn, x, y);
            const uint32_t b = pixelOf(committed, x, y);
            bool differs = false;
            for (unsigned shift = 0; shift < 32; shift += 8) {
                const int ca = static_cast<int>((a >> shift) & 0xFF);
                const int cb = static_cast<int>((b >> shift) & 0xFF);
                differs = differs || std::abs(ca - cb) > kChannelTolerance;
            }
            if (differs) {
                if (d.pixels == 0) {
                    d.firstX = x;
                    d.firstY = y;
                }
                ++d.pixels;
            }
        }
    }
    return d;
}

class GuidePictures : public ::testing::TestWithParam<guide::GuidePicture> {};

TEST_P(GuidePictures, TheCommittedPictureIsWhatTheModuleDraws) {
    const std::string name = GetParam().name;
    const std::string committedPath = std::string(HOVER_GUIDE_IMAGES) + "/" + name + ".png";
    std::string error;
    cairo_surface_t* drawn = guide::drawGuidePicture(name, {HOVER_MODULE_FILE, HOVER_BITMAP_DIR}, error);
    ASSERT_NE(drawn, nullptr) << error;
    std::filesystem::create_directories(HOVER_TEST_OUTPUT);
    const std::string freshPath = std::string(HOVER_TEST_OUTPUT) + "/" + name + ".png";
    // As guidepictures writes it.
    std::string writeError;
    EXPECT_TRUE(plot::writePalettePng(drawn, freshPath, writeError)) << writeError;
    plot::reduceToPalette(drawn);

    cairo_surface_t* committed = cairo_image_surface_create_from_png(committedPath.c_str());
    if (cairo_surface_status(committed) != CAIRO_STATUS_SUCCESS) {
        ADD_FAILURE() << "cannot read " << committedPath << "; run tools/make-guide.sh";
    } else if (cairo_image_surface_get_width(committed) != cairo_image_surface_get_width(drawn)
               || cairo_image_surface_get_height(committed) != cairo_image_surface_get_height(drawn)) {
        ADD_FAILURE() << committedPath << " has another size than the picture drawn now (" << freshPath
                      << ")";
    } else {
        const Difference d = compare(drawn, committed);
        EXPECT_EQ(d.pixels, 0) << d.pixels << " pixels differ from " << committedPath << ", the first at ("
                               << d.firstX << "," << d.firstY << "); the module now draws " << freshPath
                               << "; if that is right, run tools/make-guide.sh";
    }
    cairo_surface_destroy(committed);
    cairo_surface_destroy(drawn);
}

INSTANTIATE_TEST_SUITE_P(EveryPictureOfTheGuide, GuidePictures, ::testing::ValuesIn(guide::guidePictures()),
                         [](const ::testing::TestParamInfo<guide::GuidePicture>& picture) {
                             return picture.param.name;
                         });

}  // namespace
