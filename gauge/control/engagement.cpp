// SPDX-License-Identifier: MIT
//
// The unit's switches (ON/OFF, the guard, the engage button) and the
// height-hold rule that gives the vertical loop its set point.
#include <cmath>

#include "control/controller.h"
#include "control/law_constants.h"
#include "state/clamp.h"
#include "hostif/host_interface.h"

namespace {

constexpr double kEngageSpeedLimit = 20.5761316872428;  // m/s: 40 kt at 1.944 kt per m/s

void disengageAndCentre() {
    controller.hoverEngaged = 0;
    controller.targetHeightFt = kResetHeightFt;
    centerTurnSet();
    centerSpeedSets();
}

}  // namespace

void updateHeightHold() {
    const double heightM = readHostToken(kTokenRadarHeight);
    const double x = (controller.targetHeightFt - heightM * kFeetPerMetre) * kHeightGain;
    if (std::isnan(x)) {
        // A height that is not a number asks for nothing: the set point
        // keeps its last value rather than carrying the NaN into the
        // vertical loop and onto the face.
        return;
    }
    controller.up.setPoint = clampLowerFirst(x, -kUpSetLimit, kUpSetLimit);
}

void centerSpeedSets() {
    controller.forward.setPoint = 0.0;
    controller.right.setPoint = 0.0;
}

void centerTurnSet() {
    controller.turn.setPoint = 0.0;
}

void toggleGuard() {
    if (controller.hoverEngaged != 0) {
        disengageAndCentre();
    }
    controller.guardOpen = (controller.guardOpen == 0) ? 1 : 0;
}

void pressEngage() {
    if (controller.guardOpen == 0) {
        toggleGuard();
        return;
    }
    if (controller.hoverEngaged != 0) {
        disengageAndCentre();
        return;
    }
    readHostVar(hostVars.velocityEast);
    readHostVar(hostVars.velocityNorth);
    const double east = hostVars.velocityEast.value;
    const double north = hostVars.velocityNorth.value;
    const double groundSpeed = std::sqrt(north * north + east * east) * kMetresPerFoot;
    if (groundSpeed < kEngageSpeedLimit) {
        controller.hoverEngaged = 1;
    }
}

void togglePower() {
    controller.targetHeightFt = kResetHeightFt;
    centerTurnSet();
    centerSpeedSets();
    controller.systemPowerOn = (controller.systemPowerOn == 0) ? 1 : 0;
}
