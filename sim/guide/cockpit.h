// SPDX-License-Identifier: MIT
//
// The gauge on a bench as a host runs it: every host frame the flight's
// tokens are set, the simulation time advances, the module's pre-update
// service runs and the panel is walked and painted; the pilot clicks the
// face between frames. The guide's pictures and the renderer's tests put
// the unit into its states this way, through the simulated host and the
// module's records alone.
#ifndef HOVER_SIM_GUIDE_COCKPIT_H
#define HOVER_SIM_GUIDE_COCKPIT_H

#include <memory>
#include <string>
#include <string_view>

#include "sim/host/gauge_session.h"
#include "sim/host/platform_edge.h"
#include "sim/panel/panel_renderer.h"

namespace guide {

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

    // Clicks between frames on a named area of the face (as hoversim's
    // scenarios name them), `times` in a row. False when a click reached
    // no area.
    bool click(std::string_view area, int times = 1);

    void moveStick(const host::StickInput& stick) { host::moveStick(stick); }

    // The way every frame is painted, and whether failure 21 is active; a
    // change shows from the next drawing. redraw() walks and paints once
    // more without a frame.
    panel::RenderOptions& options() { return options_; }
    void setPanelLightsFailed(bool failed) { panelLightsFailed_ = failed; }
    void redraw();

    host::GaugeHost& host() { return session_.host(); }
    host::Panel& walker() { return session_.panel(); }
    panel::PanelRenderer& renderer() { return *renderer_; }
    const Flight& flight() const { return flight_; }

private:
    void serve(const Flight& flight);

    host::GaugeSession session_;
    std::unique_ptr<panel::PanelRenderer> renderer_;
    panel::RenderOptions options_;
    bool panelLightsFailed_ = false;
    Flight flight_;
    double simTime_ = 0.0;
    bool commanded_ = false;  // the last frame's update sent axis commands
};

}  // namespace guide

#endif
