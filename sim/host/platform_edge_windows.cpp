// SPDX-License-Identifier: MIT
#include "sim/host/platform_edge.h"

namespace host {

// A console host has no main window for the module to find; the module then
// opens its joystick without one, as it does whenever the lookup fails.
void showMainWindow() {}

void hideMainWindow() {}

bool stickAvailable() {
    return false;
}

void setUpJoystick(bool) {}

void moveStick(const StickInput&) {}

}  // namespace host
