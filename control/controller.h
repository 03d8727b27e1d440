// SPDX-License-Identifier: MIT
//
// The hover controller's state and the operations on it. One module-wide
// record, read and written directly by every part of the module on the
// host's one thread.
#ifndef HOVER_CONTROL_CONTROLLER_H
#define HOVER_CONTROL_CONTROLLER_H

#include <cstdint>

// One control loop. The error sense is measurement minus set point; the sign
// of each Kpr default belongs to that sense and to the axis it drives.
struct AxisLoop {
    double setPoint;       // loop unit (m/s, or deg/s for Turn)
    double measurement;    // loop unit
    double filteredError;  // loop unit
    double errorRate;      // loop unit per s
    double integral;       // loop unit × s
    double Kpr;            // axis command units per loop unit
    double Tv;             // s, derivative time
    double Tn;             // s, integral time
};

// Loop names by their gain-key suffix:
//   up       vertical speed, up positive   upSpeedSet / upSpeed / upError / upErrorRate / upIntegral
//   forward  forward ground speed (body)   forwardSpeedSet / forwardSpeed / ...
//   right    rightward ground speed (body) rightSpeedSet / rightSpeed / ...
//   turn     yaw rate                      turnRateSet / turnRate / ...
struct ControllerState {
    AxisLoop up;             // m/s; drives the throttle (collective)
    AxisLoop forward;        // m/s; drives the elevator
    AxisLoop right;          // m/s; drives the aileron
    AxisLoop turn;           // deg/s; drives the rudder
    double targetHeightFt;   // ft, 10 .. 999: radar height the hold keeps
    int32_t systemPowerOn;   // 0/1: the ON/OFF switch
    int32_t guardOpen;       // 0/1: the guard over the engage button is open
    int32_t hoverEngaged;    // 0/1: the hold drives the four axes
};

// Zero at load, gains and target height included, until the first reset.
extern ControllerState controller;

// Default gains, unscaled.
struct GainDefaults {
    double Kpr;
    double Tv;
    double Tn;
};
constexpr GainDefaults kUpDefaults{-2000.0, 2.0, 4.0};
constexpr GainDefaults kForwardDefaults{-1000.0, 8.0, 2.0};
constexpr GainDefaults kRightDefaults{1000.0, 8.0, 2.0};
constexpr GainDefaults kTurnDefaults{500.0, 2.0, 1.0};

constexpr double kResetHeightFt = 100.0;

// The target height's range, shared by the panel buttons and the joystick.
constexpr double kTargetHeightMinFt = 10.0;
constexpr double kTargetHeightMaxFt = 999.0;

// Puts every field back to its start value; the gains to their unscaled
// defaults.
void resetController();

// Per frame: time step, engagement check, height hold, estimation and the
// four loops, or the bumpless presets while disengaged.
void updateControlLoops();

// Per frame, after updateControlLoops: the four axis commands while engaged.
void sendAxisCommands();

// Engagement and height hold.
void updateHeightHold();
void centerSpeedSets();
void centerTurnSet();
void toggleGuard();
void pressEngage();
void togglePower();

#endif
