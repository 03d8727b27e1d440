// SPDX-License-Identifier: MIT
//
// The hover controller's state and the operations on it. One module-wide
// record, read and written directly by every part of the module on the
// host's one thread.
#ifndef HOVER_CONTROL_CONTROLLER_H
#define HOVER_CONTROL_CONTROLLER_H

#include <cstdint>

#include "state/state.h"

// The controller's part of the module state: the four loops, the target
// height and the unit's switches (their fields and units in state/state.h).
// Zero at load, gains and target height included, until the first reset.
inline constinit ControllerState& controller = moduleState.controller;

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

// Puts every field back to its start value; the gains to the panel's scaled
// gains, each default times the factor read at the last pre-install (the
// bare defaults before the first one).
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
