// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/panel/bitmap.h"

namespace {

using panel::Bitmap;
using panel::parseBitmap;

void putWord(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// A bitmap file with the given header fields, palette (0x00RRGGBB) and
// pixel rows exactly as stored in the file.
std::vector<uint8_t> bitmapFile(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                                const std::vector<uint32_t>& palette, const std::vector<uint8_t>& rows) {
    const size_t paletteAt = 14 + 40;
    const size_t pixelsAt = paletteAt + palette.size() * 4;
    std::vector<uint8_t> bytes(pixelsAt + rows.size(), 0);
    bytes.at(0) = 'B';
    bytes.at(1) = 'M';
    putWord(bytes, 2, static_cast<uint32_t>(bytes.size()));
    putWord(bytes, 10, static_cast<uint32_t>(pixelsAt));
    putWord(bytes, 14, 40);
    putWord(bytes, 18, static_cast<uint32_t>(width));
    putWord(bytes, 22, static_cast<uint32_t>(height));
    bytes.at(26) = 1;
    bytes.at(28) = static_cast<uint8_t>(bits);
    putWord(bytes, 30, compression);
    putWord(bytes, 46, static_cast<uint32_t>(palette.size()));
    for (size_t i = 0; i < palette.size(); ++i) {
        bytes[paletteAt + i * 4] = static_cast<uint8_t>(palette[i]);
        bytes[paletteAt + i * 4 + 1] = static_cast<uint8_t>(palette[i] >> 8);
        bytes[paletteAt + i * 4 + 2] = static_cast<uint8_t>(palette[i] >> 16);
    }
    std::copy(rows.begin(), rows.end(), bytes.begin() + static_cast<std::ptrdiff_t>(pixelsAt));
    return bytes;
}

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0x0000FF;

TEST(BitmapFiles, APalettedBottomUpBitmapIsReadTopRowFirstPastTheRowPadding) {
    // 3 x 2 at 8 bits: each row 3 bytes plus one of padding; the file's
    // first row is the picture's bottom row.
    const std::vector<uint8_t> rows = {2, 1, 0, 0xEE, 0, 0, 1, 0xEE};
    std::string error;
    const auto bitmap = parseBitmap(bitmapFile(3, 2, 8, 0, {kRed, kGreen, kBlue}, rows), error);
    ASSERT_TRUE(bitmap) << error;
    EXPECT_EQ(bitmap->width, 3);
    EXPECT_EQ(bitmap->height, 2);
    EXPECT_EQ(bitmap->at(0, 0), kRed);
    EXPECT_EQ(bitmap->at(1, 0), kRed);
    EXPECT_EQ(bitmap->at(2, 0), kGreen);
    EXPECT_EQ(bitmap->at(0, 1), kBlue);
    EXPECT_EQ(bitmap->at(1, 1), kGreen);
    EXPECT_EQ(bitmap->at(2, 1), kRed);
}

TEST(BitmapFiles, ATopDownTrueColourAndAOneBitBitmapAreReadToo) {
    // 2 x 2 at 24 bits, top-down (negative height): blue-green-red bytes.
    const std::vector<uint8_t> rows24 = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, /**/ 0, 0, 0xFF, 1, 2, 3, 0, 0};
    std::string error;
    const auto colour = parseBitmap(bitmapFile(2, -2, 24, 0, {}, rows24), error);
    ASSERT_TRUE(colour) << error;
    EXPECT_EQ(colour->at(0, 0), kBlue);
    EXPECT_EQ(colour->at(1, 0), kGreen);
    EXPECT_EQ(colour->at(0, 1), kRed);
    EXPECT_EQ(colour->at(1, 1), 0x030201u);

    // 10 x 1 at one bit: the first pixel is the high bit of the first byte.
    const std::vector<uint8_t> rows1 = {0b10100000, 0b01000000, 0, 0};
    const auto mono = parseBitmap(bitmapFile(10, 1, 1, 0, {kRed, kBlue}, rows1), error);
    ASSERT_TRUE(mono) << error;
    EXPECT_EQ(mono->at(0, 0), kBlue);
    EXPECT_EQ(mono->at(1, 0), kRed);
    EXPECT_EQ(mono->at(2, 0), kBlue);
    EXPECT_EQ(mono->at(8, 0), kRed);
    EXPECT_EQ(mono->at(9, 0), kBlue);
}

TEST(BitmapFiles, BrokenOrUnsupportedFilesAreRefusedWithAReason) {
    std::string error;
    const std::vector<uint8_t> row = {0, 0, 0, 0};
    std::vector<uint8_t> truncated = bitmapFile(4, 2, 8, 0, {kRed}, row);
    EXPECT_FALSE(parseBitmap(truncated, error));
    EXPECT_NE(error.find("past the end"), std::string::npos) << error;

    EXPECT_FALSE(parseBitmap(bitmapFile(4, 1, 8, 1, {kRed}, row), error));
    EXPECT_NE(error.find("compressed"), std::string::npos) << error;

    const std::vector<uint8_t> beyond = {5, 0, 0, 0};
    EXPECT_FALSE(parseBitmap(bitmapFile(1, 1, 8, 0, {kRed, kGreen}, beyond), error));
    EXPECT_NE(error.find("beyond the palette"), std::string::npos) << error;

    EXPECT_FALSE(parseBitmap(bitmapFile(0, 1, 8, 0, {kRed}, row), error));
    EXPECT_FALSE(parseBitmap(std::vector<uint8_t>{'B', 'M', 0}, error));
    EXPECT_FALSE(parseBitmap(bitmapFile(1, 1, 16, 0, {}, row), error));
}

TEST(BitmapFiles, TheModulesTwelveBitmapsAreFoundByTheirResourceIds) {
    panel::BitmapSet set;
    std::string error;
    ASSERT_TRUE(set.loadDirectory(HOVER_BITMAP_DIR, error)) << error;
    EXPECT_EQ(set.size(), 12u);
    struct Size {
        int32_t id;
        int width;
        int height;
    };
    for (const Size& expected : {Size{10, 367, 265}, Size{20, 7, 7}, Size{30, 7, 7}, Size{35, 7, 7},
                                 Size{50, 15, 27}, Size{51, 15, 27}, Size{60, 200, 192}, Size{70, 55, 112},
                                 Size{71, 55, 112}, Size{80, 55, 112}, Size{100, 8, 110}, Size{101, 8, 55}}) {
        SCOPED_TRACE(expected.id);
        const Bitmap* bitmap = set.find(expected.id);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->width, expected.width);
        EXPECT_EQ(bitmap->height, expected.height);
    }
    EXPECT_FALSE(set.loadDirectory("/nonexistent/bitmaps", error));
}

}  // namespace
