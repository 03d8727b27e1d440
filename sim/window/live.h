// SPDX-License-Identifier: MIT
//
// A live session: the simulated host flying in real time under a pilot's
// hands. It runs the host's own frame (the scenario's timed events, the
// gauge's update, the one drawing of the panel per frame, the judges), adds
// what a pilot at the window does between frames (the mouse on the gauge,
// the controls, the gauge's stick, the session keys) and keeps what the
// window shows. Nothing here knows of SDL: the window feeds it input and
// copies its picture to the screen, and the tests drive it directly.
#ifndef HOVER_SIM_WINDOW_LIVE_H
#define HOVER_SIM_WINDOW_LIVE_H

#include <cairo.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "sim/scenario/frame.h"
#include "sim/scenario/scenario.h"
#include "sim/window/history.h"
#include "sim/window/pilot.h"
#include "sim/window/view.h"

namespace panel {
class PanelRenderer;
}

namespace window {

struct LiveOptions {
    std::string scenarioPath;  // empty: a hover over open ground, no events
    std::string aircraftPath;  // a name or a file; empty: the scenario's aircraft
    std::string modulePath;    // empty: the module beside the program
    std::string bitmaps;       // empty: bitmaps/ beside the module
    double scale = 1.0;
};

// Turbulence steps the session key walks through, by the W20 that sets them.
struct TurbulenceStep {
    const char* name;
    double w20Kt;
};

class LiveSession {
public:
    LiveSession();
    ~LiveSession();
    LiveSession(const LiveSession&) = delete;
    LiveSession& operator=(const LiveSession&) = delete;

    // Reads the scenario and starts the flight. False, with the reason, when
    // the scenario, the module or its bitmaps cannot be loaded.
    bool start(const LiveOptions& options, std::string& error);

    // One host frame, with the pilot's keys and controller as they are now.
    void frame(const PilotKeys& keys, const ControllerState& pad);

    // The mouse, in window pixels: a press on the gauge goes to the module's
    // handler through the host's hit-test at the start of the next frame
    // and repeats, for areas that repeat, until released.
    void mouseDown(double x, double y);
    void mouseUp();

    // The session keys.
    void togglePause();
    bool paused() const;
    // Reads the scenario file again and starts over; when it no longer
    // reads, says why and starts over with the scenario as last read.
    void restart();
    void changeWind(double speedChangeKt, double directionChangeDeg);
    void nextTurbulence();
    void toggleFailure21();
    void toggleNight();
    void toggleAssignment();
    // The controller came or went.
    void controllerChanged(const std::string& name);

    // The whole picture, at layout() size.
    const Layout& layout() const { return layout_; }
    void draw(cairo_t* cr, double speed);
    // The window's picture as a PNG.
    bool writePicture(const std::string& path, double speed, std::string& error);

    int framesPerSecond() const;
    double hostTime() const;
    bool scenarioOver() const;  // the scenario's duration has been flown
    const host::Scenario& scenario() const;

    // What the session has to say to the pilot (also for the status line).
    void say(const std::string& message);
    // Messages not yet taken, for the terminal.
    std::vector<std::string> takeMessages();

    // The summary as hoversim prints it, for the frames judged so far (the
    // scenario's duration at most).
    void printSummary(std::ostream& out);

    // The state in one line ("state t=... engaged=1 ..."), and the layout in
    // lines: the picture's size, the panel, the situation view, and for each
    // of the gauge's named areas and drawn bitmaps where it is in the window.
    std::string stateLine() const;
    std::vector<std::string> layoutLines() const;

    // After each state line: every bitmap the last drawing painted and the
    // helicopter, where they are in the window.
    std::vector<std::string> pictureLines() const;

    // Whether every expectation held, once the summary has been made.
    bool allHeld() const;

    // The module's value callbacks called so far.
    uint64_t callbackCalls() const;

    // The last frame and the panel's last drawing, for the tests.
    const host::Frame& lastFrame() const;
    const panel::PanelRenderer& renderer() const;

private:
    struct Flight;
    bool begin(std::string& error);
    void useAircraftOption();

    LiveOptions options_;
    host::Scenario scenario_;
    std::unique_ptr<Flight> flight_;
    Layout layout_;
    History history_;
    Pilot pilot_;
    std::optional<PixelPoint> pressAt_;
    bool releaseDue_ = false;
    bool night_ = false;
    size_t turbulence_ = 0;
    std::string controllerName_;
    std::string message_;
    std::vector<std::string> pending_;
};

}  // namespace window

#endif
