// SPDX-License-Identifier: MIT
//
// The committed bitmaps read as the host reads them, and on Windows the same
// bitmaps read back from hover.gau's resources.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "display/elements.h"
#include "input/mouse.h"
#include "module/gauge.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct Colour {
    uint8_t r, g, b;
    bool operator==(const Colour&) const = default;
};

void PrintTo(const Colour& c, std::ostream* os) {
    *os << "RGB(" << int{c.r} << "," << int{c.g} << "," << int{c.b} << ")";
}

constexpr Colour kBlack{0, 0, 0};
constexpr Colour kNearBlack{1, 1, 1};
constexpr Colour kTeal{5, 71, 70};
constexpr Colour kDarkGreen{0, 128, 0};
constexpr Colour kGreen{0, 192, 0};
constexpr Colour kBrightGreen{64, 255, 64};

std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return bytes;
    }
    uint8_t chunk[4096];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    std::fclose(file);
    return bytes;
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}

uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

// An 8-bit bitmap file, checked for the format the host loads, with its
// pixels addressed from the top row down.
class Bitmap {
public:
    explicit Bitmap(const char* file) : name_(file) {
        bytes_ = readFile(std::string(HOVER_BITMAP_DIR) + "/" + file);
        if (bytes_.size() < 14 + 40 + 1024) {
            ADD_FAILURE() << name_ << ": missing or too short";
            return;
        }
        EXPECT_EQ(bytes_[0], 'B');
        EXPECT_EQ(bytes_[1], 'M');
        EXPECT_EQ(le32(bytes_, 2), bytes_.size()) << "file size field";
        EXPECT_EQ(le32(bytes_, 10), 14u + 40u + 1024u) << "pixels right after the palette";
        EXPECT_EQ(le32(bytes_, 14), 40u) << "40-byte header";
        width_ = static_cast<int>(le32(bytes_, 18));
        const int32_t height = static_cast<int32_t>(le32(bytes_, 22));
        EXPECT_GT(height, 0) << "stored bottom-up";
        height_ = height;
        EXPECT_EQ(le16(bytes_, 26), 1u) << "planes";
        EXPECT_EQ(le16(bytes_, 28), 8u) << "bits per pixel";
        EXPECT_EQ(le32(bytes_, 30), 0u) << "uncompressed";
        const uint32_t colours = le32(bytes_, 46);
        EXPECT_TRUE(colours == 256u || colours == 0u) << "a 256-entry palette";
        stride_ = (width_ + 3) / 4 * 4;
        ok_ = bytes_.size() == 1078u + static_cast<size_t>(stride_) * static_cast<size_t>(height_);
        EXPECT_TRUE(ok_) << name_ << ": pixel data size";
    }

    bool ok() const { return ok_; }
    int width() const { return width_; }
    int height() const { return height_; }

    Colour at(int x, int y) const {
        size_t row = static_cast<size_t>(height_ - 1 - y);
        uint8_t index = bytes_[1078 + row * static_cast<size_t>(stride_) + static_cast<size_t>(x)];
        size_t entry = 54 + 4 * size_t{index};
        return Colour{bytes_[entry + 2], bytes_[entry + 1], bytes_[entry]};
    }

    bool transparent(int x, int y) const { return at(x, y) == kBlack; }

    int count(int x0, int y0, int x1, int y1, bool (*wanted)(Colour)) const {
        int n = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                n += wanted(at(x, y)) ? 1 : 0;
            }
        }
        return n;
    }

    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::string name_;
    std::vector<uint8_t> bytes_;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    bool ok_ = false;
};

bool isBlack(Colour c) {
    return c == kBlack;
}
bool isDrawn(Colour c) {
    return !(c == kBlack);
}
bool isDarkGreen(Colour c) {
    return c == kDarkGreen;
}
bool isRed(Colour c) {
    return c.r > c.g + 60 && c.r > c.b + 60;
}

struct Resource {
    int id;
    const char* file;
    int width, height;
};

const Resource kResources[] = {
    {kBitmapFacePlate, "10_face_plate.bmp", 367, 265},
    {kBitmapMeasuredMarker, "20_measured_marker.bmp", 7, 7},
    {kBitmapTrendMarker, "30_trend_marker.bmp", 7, 7},
    {kBitmapSetMarker, "35_set_marker.bmp", 7, 7},
    {kBitmapSwitchDown, "50_switch_down.bmp", 15, 27},
    {kBitmapSwitchUp, "51_switch_up.bmp", 15, 27},
    {kBitmapScreen, "60_screen.bmp", 200, 192},
    {kBitmapGuardClosed, "70_guard_closed.bmp", 55, 112},
    {kBitmapGuardOpen, "71_guard_open.bmp", 55, 112},
    {kBitmapEngagedLamp, "80_engaged_lamp.bmp", 55, 112},
    {kBitmapBarStrip, "100_bar_strip.bmp", 8, 110},
    {kBitmapBarWindow, "101_bar_window.bmp", 8, 55},
};

TEST(GaugeBitmaps, AllTwelveAreUncompressed8BitBottomUpAtTheirSizes) {
    for (const Resource& r : kResources) {
        SCOPED_TRACE(r.file);
        Bitmap bitmap(r.file);
        EXPECT_EQ(bitmap.width(), r.width);
        EXPECT_EQ(bitmap.height(), r.height);
    }
}

TEST(GaugeBitmaps, TheFacePlateHasNoPureBlackAnywhere) {
    Bitmap face("10_face_plate.bmp");
    ASSERT_TRUE(face.ok());
    EXPECT_EQ(face.count(0, 0, face.width(), face.height(), isBlack), 0);
}

TEST(GaugeBitmaps, TheMarkersAreADiscAPlusAndFourCornerBracketsOnBlack) {
    Bitmap disc("20_measured_marker.bmp");
    Bitmap plus("30_trend_marker.bmp");
    Bitmap brackets("35_set_marker.bmp");
    ASSERT_TRUE(disc.ok() && plus.ok() && brackets.ok());
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 7; ++x) {
            SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
            Colour d = disc.at(x, y);
            EXPECT_TRUE(d == kBrightGreen || d == kBlack);
            bool onPlus = x == 3 || y == 3;
            EXPECT_EQ(plus.at(x, y), onPlus ? kGreen : kBlack);
            Colour b = brackets.at(x, y);
            EXPECT_TRUE(b == kBrightGreen || b == kBlack);
        }
    }
    EXPECT_EQ(disc.at(3, 3), kBrightGreen);
    EXPECT_EQ(disc.at(0, 3), kBrightGreen);
    EXPECT_EQ(disc.at(3, 0), kBrightGreen);
    for (int corner : {0, 6}) {
        EXPECT_EQ(disc.at(corner, 0), kBlack);
        EXPECT_EQ(disc.at(corner, 6), kBlack);
        EXPECT_EQ(brackets.at(corner, 0), kBrightGreen);
        EXPECT_EQ(brackets.at(corner, 6), kBrightGreen);
        EXPECT_EQ(brackets.at(corner, 3), kBlack) << "the square is open at its sides";
        EXPECT_EQ(brackets.at(3, corner), kBlack);
    }
    EXPECT_EQ(brackets.at(3, 3), kBlack);
}

TEST(GaugeBitmaps, TheToggleLeverPointsDownWhenOffAndUpWhenOn) {
    Bitmap off("50_switch_down.bmp");
    Bitmap on("51_switch_up.bmp");
    ASSERT_TRUE(off.ok() && on.ok());
    EXPECT_EQ(off.count(0, 0, 15, 3, isDrawn), 0) << "nothing above the nut when down";
    EXPECT_GT(off.count(0, 24, 15, 27, isDrawn), 0);
    EXPECT_EQ(on.count(0, 24, 15, 27, isDrawn), 0) << "nothing below the nut when up";
    EXPECT_GT(on.count(0, 0, 15, 3, isDrawn), 0);
}

TEST(GaugeBitmaps, TheScreenIsTealWithBlackCornersAndItsScalesWhereTheMarkersTravel) {
    Bitmap screen("60_screen.bmp");
    ASSERT_TRUE(screen.ok());
    for (int x : {0, 199}) {
        for (int y : {0, 191}) {
            EXPECT_EQ(screen.at(x, y), kBlack) << "corner " << x << "," << y;
        }
    }
    EXPECT_EQ(screen.at(30, 70), kTeal);
    EXPECT_EQ(screen.at(180, 100), kTeal);
    EXPECT_EQ(screen.at(100, 5), kTeal);

    // The dotted cross, centred at (95,72), reaching 40 pixels either way.
    EXPECT_EQ(screen.at(95, 72), kDarkGreen);
    int crossDots = 0;
    for (int k = -40; k <= 40; ++k) {
        crossDots += screen.at(95 + k, 72) == kDarkGreen ? 1 : 0;
        crossDots += screen.at(95, 72 + k) == kDarkGreen ? 1 : 0;
    }
    EXPECT_GT(crossDots, 80);
    EXPECT_LT(crossDots, 150) << "dotted, not solid";
    for (int k : {-40, 40}) {
        EXPECT_EQ(screen.at(95 + k, 72), kDarkGreen);
        EXPECT_EQ(screen.at(95, 72 + k), kDarkGreen);
    }
    for (int k : {-48, 48}) {
        EXPECT_EQ(screen.at(95 + k, 72), kTeal) << "the cross ends near 40 pixels out";
        EXPECT_EQ(screen.at(95, 72 + k), kTeal);
    }

    // The vertical scale: nine ticks from row 31 to row 112, centre row 72.
    std::vector<int> tickRows;
    for (int y = 20; y < 125; ++y) {
        if (screen.at(146, y) == kDarkGreen && screen.at(152, y) == kDarkGreen) {
            tickRows.push_back(y);
        }
    }
    EXPECT_EQ(tickRows, (std::vector<int>{31, 41, 51, 61, 72, 82, 92, 102, 112}));

    // The yaw-rate scale under the cross: ticks at columns 61, 95 and 129.
    std::vector<int> tickColumns;
    for (int x = 40; x < 150; ++x) {
        if (screen.at(x, 123) == kDarkGreen && screen.at(x, 129) == kDarkGreen) {
            tickColumns.push_back(x);
        }
    }
    EXPECT_EQ(tickColumns, (std::vector<int>{61, 95, 129}));

    // The outlined box near the bottom, round the target height readout, with
    // its unit beside it.
    EXPECT_EQ(screen.at(64, 136), kDarkGreen);
    EXPECT_EQ(screen.at(129, 171), kDarkGreen);
    EXPECT_EQ(screen.count(65, 137, 129, 171, isDarkGreen), 0) << "the readout's box itself is clear";
    EXPECT_GT(screen.count(131, 145, 160, 171, [](Colour c) { return c.g > 100 && c.r < 40; }), 20)
        << "ft beside the box";
}

TEST(GaugeBitmaps, TheScreensCrossAndScalesMeetTheMarkersOnTheFace) {
    const int screenX = screenImage.base.x;
    const int screenY = screenImage.base.y;
    EXPECT_EQ(screenX + 95, driftSpeedMarker.base.x + 3);
    EXPECT_EQ(screenY + 72, driftSpeedMarker.base.y + 3);
    EXPECT_EQ(screenX + 95, turnRateMarker.base.x + 3);
    EXPECT_EQ(screenY + 72, upSpeedMarker.base.y + 3);
    EXPECT_EQ(screenX + 149, upSpeedMarker.base.x + 3) << "the vertical markers ride on the scale's line";
    EXPECT_EQ(screenY + 126, turnRateMarker.base.y + 3) << "the yaw markers ride on the scale's line";
}

TEST(GaugeBitmaps, EveryClickAreaOnTheScreenHasPrintingUnderIt) {
    Bitmap screen("60_screen.bmp");
    ASSERT_TRUE(screen.ok());
    const int left = screenImage.base.x;
    const int top = screenImage.base.y;
    int areasOnScreen = 0;
    for (int i = 0; i < kMouseRectCount; ++i) {
        const MouseRect& area = mouseRects[i];
        if (area.kind != kMouseArea || area.x < left || area.x + area.width > left + screen.width()
            || area.y < top || area.y + area.height > top + screen.height()) {
            continue;
        }
        ++areasOnScreen;
        SCOPED_TRACE(testing::Message() << "area " << i << " at " << area.x << "," << area.y);
        EXPECT_GT(screen.count(area.x - left, area.y - top, area.x - left + area.width,
                               area.y - top + area.height, isDarkGreen),
                  0);
    }
    EXPECT_EQ(areasOnScreen, 8) << "the cross's centre and ends, the yaw scale's centre and ends";
}

TEST(GaugeBitmaps, TheGuardCoversTheLowerButtonWhenClosedAndStandsAboveTheHingeWhenOpen) {
    Bitmap closed("70_guard_closed.bmp");
    Bitmap open("71_guard_open.bmp");
    ASSERT_TRUE(closed.ok() && open.ok());
    const int closedUpper = closed.count(0, 0, 55, 50, isRed);
    const int closedLower = closed.count(0, 56, 55, 112, isRed);
    const int openUpper = open.count(0, 0, 55, 50, isRed);
    const int openLower = open.count(0, 60, 55, 112, isRed);
    EXPECT_EQ(closedUpper, 0);
    EXPECT_GT(closedLower, 300);
    EXPECT_GT(openUpper, 300);
    EXPECT_EQ(openLower, 0) << "the button is exposed";
}

TEST(GaugeBitmaps, TheLampIsGreenHvrOnTheLowerHalfAndSeeThroughElsewhere) {
    Bitmap lamp("80_engaged_lamp.bmp");
    ASSERT_TRUE(lamp.ok());
    EXPECT_EQ(lamp.count(0, 0, 55, 56, isDrawn), 0);
    EXPECT_GT(lamp.count(0, 56, 55, 112, [](Colour c) { return c == kGreen; }), 40);
    const int lit = lamp.count(0, 56, 55, 112, isDrawn);
    EXPECT_LT(lit, 55 * 56 / 4) << "only the letters";
    EXPECT_EQ(
        lamp.count(0, 56, 55, 112, [](Colour c) { return !(c == kBlack) && !(c.g > c.r && c.g > c.b); }), 0)
        << "every drawn pixel is green";
}

TEST(GaugeBitmaps, TheBarStripIsBlackAboveAndBrightGreenBelowAndTheWindowFramed) {
    Bitmap strip("100_bar_strip.bmp");
    Bitmap window("101_bar_window.bmp");
    ASSERT_TRUE(strip.ok() && window.ok());
    for (int y = 0; y < 110; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(strip.at(x, y), y < 55 ? kBlack : kBrightGreen) << x << "," << y;
        }
    }
    for (int y = 0; y < 55; ++y) {
        for (int x = 0; x < 8; ++x) {
            bool frame = x == 0 || x == 7 || y == 0 || y == 54;
            EXPECT_EQ(window.at(x, y), frame ? kDarkGreen : kNearBlack) << x << "," << y;
        }
    }
}

#ifdef _WIN32
// The module carries each bitmap as a resource: the file without its
// 14-byte file header.
TEST(GaugeBitmaps, HoverGauCarriesTheTwelveBitmapsAsResources) {
    HMODULE module = LoadLibraryExA(HOVER_MODULE_FILE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << HOVER_MODULE_FILE;
    const auto bitmapType = reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(2));
    for (const Resource& r : kResources) {
        SCOPED_TRACE(r.id);
        HRSRC found =
            FindResourceA(module, reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(r.id)), bitmapType);
        ASSERT_NE(found, nullptr);
        const DWORD size = SizeofResource(module, found);
        const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
        ASSERT_NE(data, nullptr);
        std::vector<uint8_t> file = readFile(std::string(HOVER_BITMAP_DIR) + "/" + r.file);
        ASSERT_GT(file.size(), 14u);
        std::vector<uint8_t> expected(file.begin() + 14, file.end());
        EXPECT_EQ(std::vector<uint8_t>(data, data + size), expected);
    }
    FreeLibrary(module);
}
#endif

}  // namespace
