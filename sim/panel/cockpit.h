// SPDX-License-Identifier: MIT
//
// The gauge on a bench as a host runs it: every host frame the flight's
// tokens are set, the simulation time advances, the module's pre-update
// service runs and the panel is drawn; the pilot clicks the face between
// frames. The guide's pictures and the renderer's tests put the unit into
// its states this way, through the module's records alone.
#ifndef HOVER_SIM_PANEL_COCKPIT_H
#define HOVER_SIM_PANEL_COCKPIT_H

#include <memory>
#include <string>

#include "sim/panel/bench.h"
#include "sim/panel/panel_renderer.h"

namespace panel {

// The helicopter's motion as the host serves it, in the units a pilot
// thinks in; body axes relative to the heading.
struct Flight {
    double headingDeg = 273.0;
    double forwardMs = 0.0;  // along the heading
    double rightMs = 0.0;
    double upMs = 0.0;
    double yawRateDegS = 0.0;  // positive while the heading increases
    double heightFt = 100.0;   // radar height
    double pitchDeg = 0.0;     // positive nose down
    double windFromDeg = 270.0;
    double windKt = 7.0;
    double rotorPercent = 100.0;
    double collective = 9000.0;  // throttle lever, 0 .. 16384, while the pilot flies
};

// Points of the face, by control: where a pilot clicks. The module's mouse
// table decides what a click there does.
struct FacePoint {
    int x;
    int y;
};
constexpr FacePoint kPowerSwitch{285, 61};
constexpr FacePoint kGuard{335, 90};
constexpr FacePoint kEngageButton{335, 148};
constexpr FacePoint kHeightUp{278, 132};
constexpr FacePoint kHeightDown{278, 164};
constexpr FacePoint kForwardUp{150, 63};
constexpr FacePoint kForwardDown{150, 144};
constexpr FacePoint kRightUp{190, 104};
constexpr FacePoint kRightDown{110, 104};
constexpr FacePoint kSpeedCentre{150, 104};
constexpr FacePoint kTurnUp{181, 164};
constexpr FacePoint kTurnDown{119, 164};
constexpr FacePoint kTurnCentre{146, 164};

// Where the module and its bitmaps are.
struct GaugeFiles {
    std::string module;
    std::string bitmaps;
};

class Cockpit {
public:
    static constexpr int kFramesPerSecond = 18;

    // Loads the module afresh (the unit off, the guard closed), with a
    // centred stick attached when `withJoystick`.
    bool open(const GaugeFiles& files, std::string& error, const std::string& parameters = "",
              bool withJoystick = false);

    // Host frames for `seconds`, the flight moving linearly from `from` to
    // `to`; hold() keeps one flight.
    void fly(const Flight& from, const Flight& to, double seconds);
    void hold(const Flight& flight, double seconds) { fly(flight, flight, seconds); }

    // Clicks between frames, `times` in a row.
    bool click(FacePoint point, int times = 1);

    void moveStick(const BenchStick& stick) { bench_.moveStick(stick); }

    // The way every frame is drawn; a changed option shows from the next
    // drawing. redraw() draws once more without a frame.
    RenderOptions& options() { return options_; }
    void redraw();

    Bench& bench() { return bench_; }
    PanelRenderer& renderer() { return *renderer_; }
    const Flight& flight() const { return flight_; }

private:
    void serve(const Flight& flight);

    Bench bench_;
    std::unique_ptr<PanelRenderer> renderer_;
    RenderOptions options_;
    Flight flight_;
    bool commanded_ = false;  // the last frame's update sent axis commands
};

}  // namespace panel

#endif
