// SPDX-License-Identifier: MIT
#include "control/controller.h"

#include "control/params.h"

void resetController() {
    controller.up = AxisLoop{};
    controller.forward = AxisLoop{};
    controller.right = AxisLoop{};
    controller.turn = AxisLoop{};
    // The gains go back to what the panel configured (the bare defaults when
    // it configured nothing): the host connects the gauge to its window
    // after installing it, and the panel's factors must survive that.
    applyPanelGains();
    controller.targetHeightFt = kResetHeightFt;
    controller.systemPowerOn = 0;
    controller.guardOpen = 0;
    controller.hoverEngaged = 0;
}
