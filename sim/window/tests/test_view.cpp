// SPDX-License-Identifier: MIT
//
// The window's picture without a display: where things go, how the ground
// view frames the helicopter, and what the situation view paints.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstring>

#include "sim/window/history.h"
#include "sim/window/view.h"

namespace window {
namespace {

constexpr int kGaugeWidth = 367;
constexpr int kGaugeHeight = 265;
// Colours compared channel by channel within this (antialiased edges).
constexpr int kColourTolerance = 12;

struct Picture {
    explicit Picture(int w, int h)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)), cr(cairo_create(surface)) {}
    ~Picture() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    uint32_t rgb(double x, double y) const {
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        uint32_t pixel = 0;
        std::memcpy(&pixel, data + static_cast<int>(y) * stride + static_cast<int>(x) * 4, 4);
        return pixel & 0xFFFFFF;
    }
    cairo_surface_t* surface;
    cairo_t* cr;
};

bool near(uint32_t a, uint32_t b) {
    for (unsigned shift = 0; shift < 24; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > kColourTolerance)
            return false;
    }
    return true;
}

TEST(WindowLayout, GaugePixelsMapToTheWindowAndBackAtEveryScale) {
    for (double scale : {1.0, 1.5, 2.0, 3.0}) {
        const Layout l = makeLayout(kGaugeWidth, kGaugeHeight, scale);
        EXPECT_DOUBLE_EQ(l.panel.w, kGaugeWidth * scale);
        EXPECT_DOUBLE_EQ(l.panel.h, kGaugeHeight * scale);
        for (PixelPoint p : {PixelPoint{0, 0}, PixelPoint{285, 61}, PixelPoint{366, 264}}) {
            const WindowPoint w = l.windowPoint(p);
            const std::optional<PixelPoint> back = l.gaugePoint(w.x, w.y);
            ASSERT_TRUE(back.has_value()) << "scale " << scale;
            EXPECT_EQ(back->x, p.x);
            EXPECT_EQ(back->y, p.y);
        }
        // Just off the gauge on every side is nothing.
        EXPECT_FALSE(l.gaugePoint(l.panel.x - 0.5, l.panel.y + 10.0));
        EXPECT_FALSE(l.gaugePoint(l.panel.x + l.panel.w, l.panel.y + 10.0));
        EXPECT_FALSE(l.gaugePoint(l.panel.x + 10.0, l.panel.y + l.panel.h));
        EXPECT_FALSE(l.gaugePoint(l.situation.centreX(), l.situation.centreY()));
    }
}

TEST(WindowLayout, PartsLieInsideThePictureWithoutOverlapping) {
    const Layout l = makeLayout(kGaugeWidth, kGaugeHeight, 1.0);
    const Box parts[] = {l.panel,     l.situation, l.tape,      l.charts[0],
                         l.charts[1], l.charts[2], l.charts[3], l.status};
    for (const Box& a : parts) {
        EXPECT_GE(a.x, 0.0);
        EXPECT_GE(a.y, 0.0);
        EXPECT_LE(a.x + a.w, l.width);
        EXPECT_LE(a.y + a.h, l.height);
        for (const Box& b : parts) {
            if (&a == &b)
                continue;
            const bool apart = a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y || b.y + b.h <= a.y;
            EXPECT_TRUE(apart);
        }
    }
}

TEST(GroundView, NorthIsUpAndEastIsRight) {
    Situation s;
    s.position = {100.0, 200.0};
    const GroundView v = groundViewFor(s, Box{0, 0, 200, 200});
    const WindowPoint centre = v.toWindow(s.position);
    const WindowPoint north = v.toWindow({110.0, 200.0});
    const WindowPoint east = v.toWindow({100.0, 210.0});
    EXPECT_DOUBLE_EQ(centre.x, 100.0);
    EXPECT_DOUBLE_EQ(centre.y, 100.0);
    EXPECT_LT(north.y, centre.y);
    EXPECT_DOUBLE_EQ(north.x, centre.x);
    EXPECT_GT(east.x, centre.x);
    EXPECT_DOUBLE_EQ(east.y, centre.y);
}

TEST(GroundView, CentresOnTheEngageSpotAndWidensToKeepTheHelicopterInView) {
    Situation s;
    s.engageSpot = GroundPoint{0.0, 0.0};
    const Box box{0, 0, 200, 200};
    // 5 ft from the spot: the smallest span (20 ft) keeps it within 80 % of
    // the half span (8 ft).
    s.position = {3.0, 4.0};
    GroundView v = groundViewFor(s, box);
    EXPECT_DOUBLE_EQ(v.spanFt, 20.0);
    EXPECT_DOUBLE_EQ(v.centre.northFt, 0.0);
    // 9 ft away needs the next span, 50 ft.
    s.position = {9.0, 0.0};
    v = groundViewFor(s, box);
    EXPECT_DOUBLE_EQ(v.spanFt, 50.0);
    // Inside the box either way.
    const WindowPoint p = v.toWindow(s.position);
    EXPECT_TRUE(box.contains(p.x, p.y));
    // Beyond the largest span the view follows the helicopter.
    s.position = {1.0e5, 0.0};
    v = groundViewFor(s, box);
    EXPECT_DOUBLE_EQ(v.centre.northFt, 1.0e5);
}

TEST(SituationView, PaintsTheHelicopterTheSpotAndTheDesiredCircle) {
    Picture picture(200, 200);
    const Box box{0, 0, 200, 200};
    Situation s;
    s.engageSpot = GroundPoint{0.0, 0.0};
    s.position = {0.0, 6.0};  // 6 ft east of the spot: the 20 ft span
    s.headingDeg = 90.0;
    drawSituation(picture.cr, box, 1.0, s);
    const GroundView v = groundViewFor(s, box);
    // The fuselage lies along the heading from the helicopter's centre.
    const WindowPoint heli = v.toWindow(s.position);
    EXPECT_TRUE(near(picture.rgb(heli.x + 2.0, heli.y), kHelicopterColour));
    // The desired circle crosses north of the spot at 3 ft; the adequate at 6.
    const WindowPoint spot = v.toWindow(*s.engageSpot);
    const double k = v.pixelsPerFoot();
    EXPECT_FALSE(near(picture.rgb(spot.x, spot.y - kDesiredRadiusFt * k), kGroundColour));
    EXPECT_FALSE(near(picture.rgb(spot.x, spot.y - kAdequateRadiusFt * k), kGroundColour));
    // Between the circles (and off the grid lines) is bare ground.
    EXPECT_TRUE(near(picture.rgb(spot.x + 1.0, spot.y - 4.5 * k), kGroundColour));
}

TEST(History, KeepsTheNewestSamplesOldestFirst) {
    History h(3);
    EXPECT_EQ(h.newest(), nullptr);
    for (int i = 1; i <= 5; ++i) {
        Sample s;
        s.timeS = i;
        h.add(s);
    }
    ASSERT_EQ(h.size(), 3u);
    EXPECT_DOUBLE_EQ(h.at(0).timeS, 3.0);
    EXPECT_DOUBLE_EQ(h.at(2).timeS, 5.0);
    EXPECT_DOUBLE_EQ(h.newest()->timeS, 5.0);
    h.clear();
    EXPECT_EQ(h.size(), 0u);
}

TEST(Charts, DrawWithGapsAndNonFiniteValuesWithoutFailing) {
    const Layout l = makeLayout(kGaugeWidth, kGaugeHeight, 1.0);
    Picture picture(l.width, l.height);
    History h(100);
    for (int i = 0; i < 100; ++i) {
        Sample s;
        s.timeS = i * 0.5;
        s.heightFt = i == 50 ? std::nan("") : 100.0;
        s.throttle = i % 3 == 0 ? std::optional<double>() : std::optional<double>(8000.0);
        h.add(s);
    }
    drawScene(picture.cr, l, nullptr, Situation{}, h, Status{});
    EXPECT_EQ(cairo_status(picture.cr), CAIRO_STATUS_SUCCESS);
}

}  // namespace
}  // namespace window
