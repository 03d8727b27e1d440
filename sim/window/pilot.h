// SPDX-License-Identifier: MIT
//
// The pilot at the window: the keyboard and a game controller, assigned
// either to the helicopter's own controls (cyclic, pedals, collective) or to
// the gauge's joystick. On the helicopter they work as a host's controls do:
// a control moves when the pilot moves it, and otherwise stays where it is,
// so while the hold is engaged its commands of each frame win. On the
// gauge's joystick they are the stick's axes and its two height buttons.
#ifndef HOVER_SIM_WINDOW_PILOT_H
#define HOVER_SIM_WINDOW_PILOT_H

#include "sim/host/gauge_host.h"
#include "sim/host/platform_edge.h"

namespace window {

enum class Assignment {
    kHelicopter,  // the helicopter's controls
    kGaugeStick,  // the gauge's own joystick
};

// Keys held, by what they do.
struct PilotKeys {
    bool forward = false;  // cyclic forward, or the stick forward
    bool back = false;
    bool left = false;
    bool right = false;
    bool pedalLeft = false;  // or the stick twisted left
    bool pedalRight = false;
    bool collectiveUp = false;  // or the height-up button
    bool collectiveDown = false;
};

// A game controller's state, axes -1 .. 1 (triggers 0 .. 1), SDL's senses:
// a stick pushed forward or left is negative.
struct ControllerState {
    bool present = false;
    double leftX = 0.0;
    double leftY = 0.0;
    double rightX = 0.0;
    double rightY = 0.0;
    double leftTrigger = 0.0;
    double rightTrigger = 0.0;
    bool buttonA = false;
    bool buttonB = false;
};

// Host axis ranges.
constexpr double kCyclicLimit = 16383.0;
constexpr double kCollectiveLimit = 16384.0;
// Keys move a control this much of its travel per second held.
constexpr double kKeyTravelPerSecond = 0.25;
// The triggers move the collective this much of its travel per second.
constexpr double kTriggerTravelPerSecond = 0.25;
// A controller stick sends a new position when it has moved this share of
// its travel from the last position sent, as a host's axis null zone does.
constexpr double kAxisNullZone = 0.01;
// Stick deflections inside this are the stick at rest.
constexpr double kStickDeadZone = 0.08;

class Pilot {
public:
    Assignment assignment() const { return assignment_; }
    // Switching lets go of whatever the pilot held: the gauge's stick
    // centres and its buttons come up.
    void assign(Assignment assignment);

    // One host frame of `dt` simulated seconds: moves the controls the pilot
    // moved. Returns whether any helicopter control moved.
    bool frame(double dt, const PilotKeys& keys, const ControllerState& pad,
               host::ControlPositions& controls);

    // The gauge's joystick as the pilot holds it, and whether it changed in
    // the last frame.
    const host::StickInput& stick() const { return stick_; }
    bool stickMoved() const { return stickMoved_; }

    // Forgets the controller's last positions, so that a controller plugged
    // in again does not jump the controls it has not moved.
    void controllerChanged();

private:
    bool flyHelicopter(double dt, const PilotKeys& keys, const ControllerState& pad,
                       host::ControlPositions& controls);
    void holdStick(const PilotKeys& keys, const ControllerState& pad);

    Assignment assignment_ = Assignment::kHelicopter;
    host::StickInput stick_;
    bool stickMoved_ = false;
    bool releasePending_ = false;
    // The controller axes as last sent to the helicopter, -1 .. 1.
    bool haveSent_ = false;
    double sentX_ = 0.0, sentY_ = 0.0, sentPedal_ = 0.0;
};

// A stick deflection with the rest zone removed, scaled back to -1 .. 1.
double outsideDeadZone(double value);

}  // namespace window

#endif
