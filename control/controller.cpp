// SPDX-License-Identifier: MIT
#include "control/controller.h"

ControllerState controller;

namespace {

AxisLoop freshLoop(const GainDefaults& gains) {
    AxisLoop loop{};
    loop.Kpr = gains.Kpr;
    loop.Tv = gains.Tv;
    loop.Tn = gains.Tn;
    return loop;
}

}  // namespace

void resetController() {
    controller.up = freshLoop(kUpDefaults);
    controller.forward = freshLoop(kForwardDefaults);
    controller.right = freshLoop(kRightDefaults);
    controller.turn = freshLoop(kTurnDefaults);
    controller.targetHeightFt = kResetHeightFt;
    controller.systemPowerOn = 0;
    controller.guardOpen = 0;
    controller.hoverEngaged = 0;
}
