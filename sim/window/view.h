// SPDX-License-Identifier: MIT
//
// What the window shows, drawn with cairo into any surface: the gauge as the
// panel renderer drew it, the situation seen from above with a height tape
// beside it, a row of strip charts over the last minute and a status line.
// Nothing here knows of SDL; the window only copies the finished picture to
// the screen, so everything it shows can be drawn and checked without a
// display.
#ifndef HOVER_SIM_WINDOW_VIEW_H
#define HOVER_SIM_WINDOW_VIEW_H

#include <cairo.h>

#include <array>
#include <optional>
#include <string>

#include "sdk/gauge_sdk.h"
#include "sim/window/history.h"

namespace window {

struct Box {
    double x = 0.0;
    double y = 0.0;
    double w = 0.0;
    double h = 0.0;

    bool contains(double px, double py) const { return px >= x && px < x + w && py >= y && py < y + h; }
    double centreX() const { return x + w / 2.0; }
    double centreY() const { return y + h / 2.0; }
};

// A point of the picture, in window pixels.
struct WindowPoint {
    double x = 0.0;
    double y = 0.0;
};

// Where each part of the picture goes. Every length is the length at scale
// 1 times the scale, so the whole picture grows with the gauge.
struct Layout {
    double scale = 1.0;
    int width = 0;  // the whole picture, pixels
    int height = 0;
    Box panel;                  // the gauge, gauge width x height times the scale
    Box situation;              // the ground seen from above
    Box tape;                   // radar height against the target
    std::array<Box, 4> charts;  // height, ground speed, heading, commands
    Box status;

    // The gauge pixel under a window point, or nothing off the gauge.
    std::optional<PixelPoint> gaugePoint(double x, double y) const;
    // The window point at the middle of a gauge pixel.
    WindowPoint windowPoint(PixelPoint point) const;
};

Layout makeLayout(int gaugeWidth, int gaugeHeight, double scale);

// A place on the ground: feet north and east of where the flight began.
struct GroundPoint {
    double northFt = 0.0;
    double eastFt = 0.0;
};

// The helicopter and its air as the situation view shows them.
struct Situation {
    GroundPoint position;
    double headingDeg = 0.0;
    double heightFt = 0.0;
    std::optional<double> targetFt;         // the target height the gauge shows
    std::optional<GroundPoint> engageSpot;  // where the hold last engaged, while engaged
    double windFromDeg = 0.0;
    double windSpeedKt = 0.0;
    bool engaged = false;
    double rotorDiameterFt = 0.0;  // the disc drawn around it; 0: none
};

// The ADS-33 hover position bounds drawn around the engage spot: desired
// and adequate, feet from the spot.
constexpr double kDesiredRadiusFt = 3.0;
constexpr double kAdequateRadiusFt = 6.0;

// How the ground maps onto the situation box: north up, east right, centred
// on the engage spot while there is one (else on the helicopter), spanning
// a round number of feet across that keeps the helicopter in view.
struct GroundView {
    Box box;
    GroundPoint centre;
    double spanFt = 0.0;  // across the box's smaller side

    WindowPoint toWindow(GroundPoint point) const;
    double pixelsPerFoot() const;
};
GroundView groundViewFor(const Situation& situation, const Box& box);

// The session as the status line shows it.
struct Status {
    std::string scenario;
    double hostTimeS = 0.0;
    double speed = 1.0;
    bool paused = false;
    std::string wind;  // "240 deg 12 kt, light turbulence"
    bool failure21 = false;
    bool night = false;
    std::string assignment;  // what the pilot's keys and controller fly
    std::string controller;  // the game controller's name, or none
    std::string message;     // the latest thing the session has to say
};

// The colours the situation view and the charts draw with, 0xRRGGBB; the
// window's own test finds the helicopter on a screenshot by them.
constexpr uint32_t kGroundColour = 0x30402c;
constexpr uint32_t kHelicopterColour = 0xffd23c;
constexpr uint32_t kEngageSpotColour = 0x40c0ff;

// The whole picture. `panel` is the renderer's last picture of the gauge
// (at the layout's scale), or null when there is none.
void drawScene(cairo_t* cr, const Layout& layout, cairo_surface_t* panel, const Situation& situation,
               const History& history, const Status& status);

// The parts, for their tests.
void drawSituation(cairo_t* cr, const Box& box, double scale, const Situation& situation);
void drawTape(cairo_t* cr, const Box& box, double scale, const Situation& situation);
void drawCharts(cairo_t* cr, const Layout& layout, const History& history);

// The charts show this many seconds back from the newest sample.
constexpr double kChartSeconds = 60.0;

}  // namespace window

#endif
