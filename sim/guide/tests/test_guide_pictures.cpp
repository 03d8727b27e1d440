// SPDX-License-Identifier: MIT
//
// The guide's pictures are what the module draws: each is drawn again from
// the module as built, reduced to the palette guidepictures writes it with,
// and compared, pixel by pixel, with the committed file. After a change to
// the face, regenerate them with tools/make-guide.sh.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

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

// Text in the faces the pictures use, chosen by name and drawn with other
// font options than the pictures': the first drawing in a process that
// uses a face by name fixes how cairo resolves it for the rest of the process.
void drawTextWithOtherFontOptions() {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 40);
    for (const char* family : {"Liberation Sans", "Arial", "Sans"}) {
        for (const cairo_font_weight_t weight : {CAIRO_FONT_WEIGHT_NORMAL, CAIRO_FONT_WEIGHT_BOLD}) {
            cairo_t* cr = cairo_create(surface);
            cairo_font_options_t* options = cairo_font_options_create();
            cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_SUBPIXEL);
            cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
            cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
            cairo_set_font_options(cr, options);
            cairo_font_options_destroy(options);
            cairo_select_font_face(cr, family, CAIRO_FONT_SLANT_NORMAL, weight);
            cairo_set_font_size(cr, 9.0);
            cairo_move_to(cr, 2.0, 20.0);
            cairo_show_text(cr, "ON OFF 0123456789 HOLD");
            cairo_destroy(cr);
        }
    }
    cairo_surface_destroy(surface);
}

// The pixels of a picture as drawn first in a process: a child process
// draws it before anything else is drawn there, and hands back its bytes.
std::vector<unsigned char> drawnFirst(const std::string& name, const guide::GaugeFiles& files, int& width,
                                      int& height) {
    std::filesystem::create_directories(HOVER_TEST_OUTPUT);
    const std::string path = std::string(HOVER_TEST_OUTPUT) + "/" + name + ".first";
    std::filesystem::remove(path);
    const pid_t child = fork();
    if (child == 0) {
        std::string error;
        cairo_surface_t* picture = guide::drawGuidePicture(name, files, error);
        int status = 1;
        if (picture != nullptr) {
            cairo_surface_flush(picture);
            const int header[3] = {cairo_image_surface_get_width(picture),
                                   cairo_image_surface_get_height(picture),
                                   cairo_image_surface_get_stride(picture)};
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(header), sizeof header);
            out.write(reinterpret_cast<const char*>(cairo_image_surface_get_data(picture)),
                      static_cast<std::streamsize>(header[1]) * header[2]);
            status = out ? 0 : 1;
        }
        _exit(status);
    }
    int status = -1;
    waitpid(child, &status, 0);
    std::vector<unsigned char> bytes;
    width = 0;
    height = 0;
    if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return bytes;
    }
    std::ifstream in(path, std::ios::binary);
    int header[3] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    bytes.resize(static_cast<size_t>(header[1]) * static_cast<size_t>(header[2]));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in) {
        bytes.clear();
        return bytes;
    }
    width = header[0];
    height = header[1];
    return bytes;
}

// Pixels that differ at all between a picture and one of the same size.
int exactDifference(cairo_surface_t* a, cairo_surface_t* b) {
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    int pixels = 0;
    for (int y = 0; y < cairo_image_surface_get_height(a); ++y) {
        for (int x = 0; x < cairo_image_surface_get_width(a); ++x) {
            pixels += pixelOf(a, x, y) != pixelOf(b, x, y) ? 1 : 0;
        }
    }
    return pixels;
}

// A picture depends on its own recipe alone: drawn after text in other font
// options and after every other picture of the guide, and drawn once more,
// it has the very pixels it has when drawn first in a process.
TEST_P(GuidePictures, DrawnAfterOtherTextAndEveryOtherPictureItIsTheSame) {
    const std::string name = GetParam().name;
    const guide::GaugeFiles files{HOVER_MODULE_FILE, HOVER_BITMAP_DIR};
    int width = 0;
    int height = 0;
    std::vector<unsigned char> first = drawnFirst(name, files, width, height);
    ASSERT_FALSE(first.empty()) << "the child process could not draw " << name;
    cairo_surface_t* firstSurface = cairo_image_surface_create_for_data(
        first.data(), CAIRO_FORMAT_ARGB32, width, height, static_cast<int>(first.size()) / height);

    drawTextWithOtherFontOptions();
    const std::vector<guide::GuidePicture>& pictures = guide::guidePictures();
    for (auto p = pictures.rbegin(); p != pictures.rend(); ++p) {
        if (p->name == name) {
            continue;
        }
        std::string error;
        cairo_surface_t* other = guide::drawGuidePicture(p->name, files, error);
        ASSERT_NE(other, nullptr) << error;
        cairo_surface_destroy(other);
    }
    for (const char* when : {"after the others", "once more"}) {
        std::string error;
        cairo_surface_t* drawn = guide::drawGuidePicture(name, files, error);
        ASSERT_NE(drawn, nullptr) << error;
        ASSERT_EQ(cairo_image_surface_get_width(drawn), width);
        ASSERT_EQ(cairo_image_surface_get_height(drawn), height);
        EXPECT_EQ(exactDifference(drawn, firstSurface), 0)
            << name << " drawn " << when << " differs from " << name << " drawn first";
        cairo_surface_destroy(drawn);
    }
    cairo_surface_destroy(firstSurface);
}

INSTANTIATE_TEST_SUITE_P(EveryPictureOfTheGuide, GuidePictures, ::testing::ValuesIn(guide::guidePictures()),
                         [](const ::testing::TestParamInfo<guide::GuidePicture>& picture) {
                             return picture.param.name;
                         });

}  // namespace
