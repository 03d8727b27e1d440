// SPDX-License-Identifier: MIT
//
// The real module drawn in its states. The unit is worked only as a host
// works it: tokens, service calls and clicks on its face through its mouse
// table; what is checked is what the renderer painted from its records.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim/guide/cockpit.h"
#include "sim/units.h"

namespace {

using guide::Cockpit;
using guide::Flight;
using panel::BitmapSet;
using panel::ElementDrawing;
using panel::PanelRenderer;

constexpr uint32_t kOpaque = 0xFF000000;
// The HVR letters of the lamp bitmap.
constexpr uint32_t kLampGreen = kOpaque | 0x00C000;
using units::kMetresPerFoot;

// The screen's place on the face, and the bars' windows.
constexpr int kScreenLeft = 55;
constexpr int kScreenTop = 32;
constexpr int kScreenWidth = 200;
constexpr int kScreenHeight = 192;
constexpr int kBarTop = 140;
constexpr int kBarRows = 55;
constexpr int kLeverColumn = 71;
constexpr int kStickColumn = 89;

const guide::GaugeFiles kFiles{HOVER_MODULE_FILE, HOVER_BITMAP_DIR};

const BitmapSet& moduleBitmaps() {
    static const BitmapSet set = [] {
        BitmapSet s;
        std::string error;
        s.loadDirectory(HOVER_BITMAP_DIR, error);
        return s;
    }();
    return set;
}

uint32_t bitmapPixel(int32_t id, int x, int y) {
    const panel::Bitmap* bitmap = moduleBitmaps().find(id);
    return bitmap == nullptr ? 0 : kOpaque | bitmap->at(x, y);
}

// The drawing of the element whose record stands at (x, y) with this kind
// and bitmap.
const ElementDrawing& drawingOf(const PanelRenderer& r, uint32_t kind, int32_t bitmap, int x, int y) {
    for (const ElementDrawing& d : r.elements()) {
        if (d.element->kind == kind && d.element->bitmapId == bitmap && d.element->x == x
            && d.element->y == y) {
            return d;
        }
    }
    static const ElementDrawing none;
    ADD_FAILURE() << "no element of kind " << kind << ", bitmap " << bitmap << " at (" << x << "," << y
                  << ")";
    return none;
}

const ElementDrawing& driftMarker(const PanelRenderer& r, int32_t bitmap) {
    return drawingOf(r, kElementSlider, bitmap, 147, 101);
}
const ElementDrawing& turnMarker(const PanelRenderer& r, int32_t bitmap) {
    return drawingOf(r, kElementSlider, bitmap, 147, 155);
}
const ElementDrawing& upMarker(const PanelRenderer& r, int32_t bitmap) {
    return drawingOf(r, kElementSlider, bitmap, 201, 101);
}
const ElementDrawing& textAt(const PanelRenderer& r, int x, int y) {
    return drawingOf(r, kElementText, -1, x, y);
}

int countPixels(const PanelRenderer& r, int left, int top, int width, int height, uint32_t colour) {
    int count = 0;
    for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x) {
            count += r.pixel(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

// Pixels of the screen's area that differ from the bare face plate.
int screenPixelsOverTheFace(const PanelRenderer& r) {
    int count = 0;
    for (int y = kScreenTop; y < kScreenTop + kScreenHeight; ++y) {
        for (int x = kScreenLeft; x < kScreenLeft + kScreenWidth; ++x) {
            count += r.pixel(x, y) != bitmapPixel(10, x, y) ? 1 : 0;
        }
    }
    return count;
}

int litRows(const PanelRenderer& r, int column) {
    return countPixels(r, column, kBarTop, 1, kBarRows, bitmapPixel(100, 3, 60));
}

class ModuleOnThePanel : public ::testing::Test {
protected:
    void open(bool withJoystick = false) {
        std::string error;
        ASSERT_TRUE(cockpit.open(kFiles, error, "", withJoystick)) << error;
    }

    void switchOnAndEngage() {
        cockpit.hold(Flight{}, 0.5);
        ASSERT_TRUE(cockpit.click("power"));
        ASSERT_TRUE(cockpit.click("guard"));
        ASSERT_TRUE(cockpit.click("engage"));
        cockpit.hold(Flight{}, 0.5);
    }

    const PanelRenderer& picture() { return cockpit.renderer(); }

    Cockpit cockpit;
};

TEST_F(ModuleOnThePanel, TheSameStateIsDrawnToTheSamePixels) {
    std::vector<uint32_t> first;
    for (int pass = 0; pass < 2; ++pass) {
        Cockpit fresh;
        std::string error;
        ASSERT_TRUE(fresh.open(kFiles, error)) << error;
        fresh.hold(Flight{}, 0.5);
        fresh.click("power");
        fresh.click("forward_up", 3);
        Flight drift;
        drift.forwardMs = 0.5;
        drift.upMs = 0.3;
        fresh.fly(Flight{}, drift, 1.0);
        const PanelRenderer& r = fresh.renderer();
        std::vector<uint32_t> pixels;
        for (int y = 0; y < r.height(); ++y) {
            for (int x = 0; x < r.width(); ++x) {
                pixels.push_back(r.pixel(x, y));
            }
        }
        if (pass == 0) {
            first = pixels;
        } else {
            EXPECT_TRUE(pixels == first);
        }
    }
}

TEST_F(ModuleOnThePanel, AtRestEveryMarkerSitsOnTheCentreOfItsScale) {
    open();
    cockpit.hold(Flight{}, 0.5);
    cockpit.click("power");
    cockpit.hold(Flight{}, 0.5);
    for (int32_t bitmap : {20, 30, 35}) {
        SCOPED_TRACE(bitmap);
        EXPECT_EQ(driftMarker(picture(), bitmap).left, 147);
        EXPECT_EQ(driftMarker(picture(), bitmap).top, 101);
        EXPECT_EQ(turnMarker(picture(), bitmap).left, 147);
        EXPECT_EQ(upMarker(picture(), bitmap).top, 101);
    }
    EXPECT_TRUE(picture().faults().empty());
}

TEST_F(ModuleOnThePanel, AMarkerMovesByItsValueTimesTheScaleAndStopsAtTheEndTick) {
    open();
    cockpit.hold(Flight{}, 0.5);
    cockpit.click("power");
    Flight fast;
    fast.headingDeg = 0.0;
    fast.rightMs = 5.0;  // beyond 3: the marker stops at +3
    fast.yawRateDegS = 5.0;
    fast.upMs = 5.0;  // upwards: the marker goes up
    cockpit.hold(fast, 1.0);

    // +3 x 41/3 = 41 pixels right of the rest at (147,101).
    const ElementDrawing& disc = driftMarker(picture(), 20);
    EXPECT_EQ(disc.left, 147 + 41);
    EXPECT_EQ(disc.top, 101);
    EXPECT_EQ(picture().pixel(191, 104), bitmapPixel(20, 3, 3));
    EXPECT_EQ(turnMarker(picture(), 20).left, 147 + 34);  // 3 x 34/3
    EXPECT_EQ(upMarker(picture(), 20).top, 101 - 41);

    // Eight clicks take a set point to its limit 2: 2 x 41/3 = 27.3 pixels.
    cockpit.click("right_up", 8);
    cockpit.click("forward_up", 8);
    cockpit.click("turn_down", 8);
    cockpit.hold(fast, 0.2);
    EXPECT_EQ(driftMarker(picture(), 35).left, 147 + 27);
    EXPECT_EQ(driftMarker(picture(), 35).top, 101 - 27);
    EXPECT_EQ(turnMarker(picture(), 35).left, 147 - 23);  // -2 x 34/3 = -22.7
}

TEST_F(ModuleOnThePanel, TheScreenAndEverythingOnItAreGoneWhileTheUnitIsOff) {
    open();
    cockpit.hold(Flight{}, 0.5);
    EXPECT_EQ(screenPixelsOverTheFace(picture()), 0);
    const ElementDrawing& screen = drawingOf(picture(), kElementIcon, 60, 55, 32);
    EXPECT_TRUE(screen.called);
    EXPECT_FALSE(screen.drawn);
    for (const ElementDrawing& d : picture().elements()) {
        EXPECT_LT(d.depth, 5) << "something over the screen was met";
    }

    cockpit.click("power");
    cockpit.hold(Flight{}, 0.2);
    EXPECT_GT(screenPixelsOverTheFace(picture()), kScreenWidth * kScreenHeight / 2);

    cockpit.click("power");
    cockpit.hold(Flight{}, 0.2);
    EXPECT_EQ(screenPixelsOverTheFace(picture()), 0);
}

TEST_F(ModuleOnThePanel, TheLampLightsOnlyWhileTheHoldIsEngaged) {
    open();
    const auto lampPixels = [this] { return countPixels(picture(), 308, 64, 55, 112, kLampGreen); };
    cockpit.hold(Flight{}, 0.5);
    cockpit.click("power");
    cockpit.click("guard");
    cockpit.hold(Flight{}, 0.2);
    EXPECT_EQ(lampPixels(), 0);

    cockpit.click("engage");
    cockpit.hold(Flight{}, 0.2);
    EXPECT_GT(lampPixels(), 50);

    cockpit.click("engage");  // the second press disengages
    cockpit.hold(Flight{}, 0.2);
    EXPECT_EQ(lampPixels(), 0);

    cockpit.click("engage");
    cockpit.hold(Flight{}, 0.2);
    EXPECT_GT(lampPixels(), 50);
    cockpit.click("power");  // switched off: dropped at the next frame
    cockpit.hold(Flight{}, 0.2);
    EXPECT_EQ(lampPixels(), 0);
}

TEST_F(ModuleOnThePanel, TheReadoutsShowTheTextsTheCallbacksWrote) {
    open();
    cockpit.hold(Flight{}, 0.5);
    cockpit.click("power");
    cockpit.click("height_up", 3);
    // North 30 and east 40 ft/s, seen from a heading of 5 degrees.
    Flight flight;
    flight.headingDeg = 5.0;
    const double psi = 5.0 * 3.141592653589793 / 180.0;
    flight.forwardMs = (30.0 * std::cos(psi) + 40.0 * std::sin(psi)) * kMetresPerFoot;
    flight.rightMs = (40.0 * std::cos(psi) - 30.0 * std::sin(psi)) * kMetresPerFoot;
    flight.heightFt = 100.0;
    flight.windFromDeg = 270.0;
    flight.windKt = 7.0;
    cockpit.hold(flight, 0.5);

    const PanelRenderer& r = picture();
    EXPECT_EQ(textAt(r, 61, 51).text, "005");
    EXPECT_EQ(textAt(r, 61, 36).text, "HDG");
    EXPECT_EQ(textAt(r, 217, 51).text, " 30");  // 50 ft/s = 29.6 kt
    EXPECT_EQ(textAt(r, 217, 36).text, " GS");
    EXPECT_EQ(textAt(r, 217, 153).text, "100");
    EXPECT_EQ(textAt(r, 187, 153).text, "RA ");
    EXPECT_EQ(textAt(r, 120, 169).text, "103");
    EXPECT_EQ(textAt(r, 160, 204).text, "270/07");
    EXPECT_EQ(textAt(r, 120, 204).text, "WIND");
    EXPECT_EQ(textAt(r, 58, 122).text, "PITCH");
    EXPECT_EQ(textAt(r, 67, 196).text, "A M");
    // Each readout is painted: its green text on its near-black box.
    for (const ElementDrawing& d : r.elements()) {
        if (d.element->kind == kElementText) {
            EXPECT_TRUE(d.drawn);
            EXPECT_GT(countPixels(r, d.element->x, d.element->y, 30, 20, kOpaque | 0x050505), 20);
        }
    }

    flight.heightFt = 1000.0;
    cockpit.hold(flight, 0.1);
    EXPECT_EQ(textAt(r, 217, 153).text, "999");
    EXPECT_TRUE(r.faults().empty());
}

TEST_F(ModuleOnThePanel, UnderFailure21TheLitPartsVanishAndTheSwitchesStay) {
    open();
    switchOnAndEngage();
    EXPECT_GT(screenPixelsOverTheFace(picture()), 0);
    cockpit.setPanelLightsFailed(true);
    cockpit.redraw();
    EXPECT_EQ(screenPixelsOverTheFace(picture()), 0);
    EXPECT_EQ(countPixels(picture(), 308, 64, 55, 112, kLampGreen), 0);
    EXPECT_FALSE(drawingOf(picture(), kElementIcon, 80, 308, 64).called);
    EXPECT_TRUE(drawingOf(picture(), kElementIcon, 50, 278, 48).drawn);
    EXPECT_EQ(drawingOf(picture(), kElementIcon, 50, 278, 48).bitmapShown, 51);  // the lever up
    EXPECT_EQ(drawingOf(picture(), kElementIcon, 70, 308, 64).bitmapShown, 71);  // the guard open

    cockpit.setPanelLightsFailed(false);
    cockpit.redraw();
    EXPECT_GT(countPixels(picture(), 308, 64, 55, 112, kLampGreen), 50);
}

TEST_F(ModuleOnThePanel, TheLeverBarRisesThroughTheDisplayFilterOnceEachDrawing) {
    open();
    cockpit.host().controls().throttle = 16384.0;
    cockpit.click("power");
    cockpit.redraw();  // 0.15 x 16384 = 2457.6: 0.15 x 55 = 8.25 rows
    EXPECT_NEAR(*drawingOf(picture(), kElementMovingImage, 100, 68, 140).value, 2457.6, 1e-9);
    EXPECT_EQ(litRows(picture(), kLeverColumn), 8);
    cockpit.redraw();  // 16384 x (1 - 0.85^2) = 4546.56: 15.3 rows
    EXPECT_EQ(litRows(picture(), kLeverColumn), 15);
    // No stick: its Z reads 0, the bar's second bound, and the bar is full.
    EXPECT_EQ(litRows(picture(), kStickColumn), kBarRows);
}

TEST_F(ModuleOnThePanel, TheStickBarShowsTheThrottleWheelOfTheJoystick) {
    open(true);
    host::StickInput wheel;
    wheel.z = 0.2;  // Z 60 of 0 .. 100
    cockpit.moveStick(wheel);
    cockpit.click("power");
    cockpit.hold(Flight{}, 0.2);
    // From the first bound 100 to the second 0, 60 is 0.4 of the way: 22 rows.
    EXPECT_EQ(litRows(picture(), kStickColumn), 22);
}

}  // namespace
