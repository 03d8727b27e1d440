// SPDX-License-Identifier: MIT
//
// The pictures' writer: indexed colour, exact for a picture of at most 256
// colours, the nearest kept colour for the others, and the same bytes for
// the same picture.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "sim/plot/png.h"

namespace {

std::string outputPath(const std::string& name) {
    std::filesystem::create_directories(HOVER_TEST_OUTPUT);
    return std::string(HOVER_TEST_OUTPUT) + "/" + name;
}

uint32_t pixel(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    uint32_t value = 0;
    std::memcpy(&value, cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + x * 4, 4);
    return cairo_image_surface_get_format(s) == CAIRO_FORMAT_RGB24 ? (value | 0xFF000000u) : value;
}

std::set<uint32_t> coloursOf(cairo_surface_t* s) {
    std::set<uint32_t> colours;
    for (int y = 0; y < cairo_image_surface_get_height(s); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(s); ++x)
            colours.insert(pixel(s, x, y));
    return colours;
}

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Three flat blocks with an anti-aliased circle: fewer than 256 colours.
cairo_surface_t* fewColours() {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 120, 80);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.84, 0.15, 0.16);
    cairo_rectangle(cr, 0, 0, 40, 80);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.12, 0.47, 0.71);
    cairo_arc(cr, 80, 40, 25.3, 0, 6.283185307179586);
    cairo_fill(cr);
    cairo_destroy(cr);
    return s;
}

// A flat red half and a grey ramp of 600 shades of its own.
cairo_surface_t* manyColours() {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 600, 40);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 600; ++x) {
            uint32_t value = 0xFFD62728u;  // the red
            if (y >= 20) {
                const auto v = static_cast<uint32_t>(x * 255 / 599);
                value = 0xFF000000u | (v << 16) | (static_cast<uint32_t>(x % 3) << 8) | v;
            }
            std::memcpy(data + y * stride + x * 4, &value, 4);
        }
    }
    cairo_surface_mark_dirty(s);
    return s;
}

TEST(PalettePng, APictureOfFewColoursIsWrittenAsAPaletteAndReadsBackExactly) {
    cairo_surface_t* drawn = fewColours();
    ASSERT_LE(coloursOf(drawn).size(), plot::kPaletteColours);
    const std::string path = outputPath("few_colours.png");
    std::string error;
    ASSERT_TRUE(plot::writePalettePng(drawn, path, error)) << error;

    const std::string bytes = bytesOf(path);
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bytes.substr(12, 4), "IHDR");
    EXPECT_EQ(bytes[24], 8);  // bits per index
    EXPECT_EQ(bytes[25], 3);  // colour type: palette

    cairo_surface_t* read = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(read), CAIRO_STATUS_SUCCESS);
    int differing = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            differing += pixel(read, x, y) != pixel(drawn, x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0);
    // Reducing such a picture changes nothing either.
    const std::set<uint32_t> before = coloursOf(drawn);
    EXPECT_EQ(plot::reduceToPalette(drawn), before.size());
    EXPECT_EQ(coloursOf(drawn), before);
    cairo_surface_destroy(read);
    cairo_surface_destroy(drawn);
}

TEST(PalettePng, APictureOfMoreColoursKeepsTheCommonestAndMovesTheRestToTheNearest) {
    cairo_surface_t* drawn = manyColours();
    const uint32_t red = pixel(drawn, 5, 5);
    const uint32_t rampPixel = pixel(drawn, 301, 30);
    cairo_surface_t* reduced = manyColours();
    EXPECT_EQ(plot::reduceToPalette(reduced), 601u);
    EXPECT_LE(coloursOf(reduced).size(), plot::kPaletteColours);
    EXPECT_EQ(pixel(reduced, 5, 5), red);  // the commonest colour is kept as it is
    // A shade of the ramp that was not kept is near one that was.
    const uint32_t moved = pixel(reduced, 301, 30);
    for (unsigned shift = 0; shift < 24; shift += 8) {
        const int d =
            static_cast<int>((moved >> shift) & 0xFF) - static_cast<int>((rampPixel >> shift) & 0xFF);
        EXPECT_LE(std::abs(d), 3) << "channel at bit " << shift;
    }

    // The file holds what the reduction leaves, and the same picture gives
    // the same bytes.
    const std::string first = outputPath("many_colours_1.png");
    const std::string second = outputPath("many_colours_2.png");
    std::string error;
    ASSERT_TRUE(plot::writePalettePng(drawn, first, error)) << error;
    ASSERT_TRUE(plot::writeAndDestroyPng(manyColours(), second, error)) << error;
    EXPECT_EQ(bytesOf(first), bytesOf(second));
    cairo_surface_t* read = cairo_image_surface_create_from_png(first.c_str());
    ASSERT_EQ(cairo_surface_status(read), CAIRO_STATUS_SUCCESS);
    int differing = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 600; ++x)
            differing += pixel(read, x, y) != pixel(reduced, x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0);
    cairo_surface_destroy(read);
    cairo_surface_destroy(reduced);
    cairo_surface_destroy(drawn);
}

TEST(PalettePng, TransparencyIsKeptAndAFailedWriteSaysWhyAndLeavesNoFile) {
    cairo_surface_t* drawn = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 30, 30);
    cairo_t* cr = cairo_create(drawn);
    cairo_set_source_rgba(cr, 0.2, 0.6, 0.9, 0.5);
    cairo_rectangle(cr, 0, 0, 15, 30);
    cairo_fill(cr);
    cairo_destroy(cr);
    const std::string path = outputPath("transparent.png");
    std::string error;
    ASSERT_TRUE(plot::writePalettePng(drawn, path, error)) << error;
    cairo_surface_t* read = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(read), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(pixel(read, 20, 10) >> 24, 0u);  // clear stays clear
    const uint32_t a = pixel(read, 5, 10), b = pixel(drawn, 5, 10);
    for (unsigned shift = 0; shift < 32; shift += 8)
        EXPECT_NEAR(static_cast<int>((a >> shift) & 0xFF), static_cast<int>((b >> shift) & 0xFF), 1);
    cairo_surface_destroy(read);

    const std::string nowhere = "/nonexistent/dir/picture.png";
    EXPECT_FALSE(plot::writeAndDestroyPng(drawn, nowhere, error));
    EXPECT_NE(error.find(nowhere), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(nowhere));
}

}  // namespace
