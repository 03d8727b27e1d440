// SPDX-License-Identifier: MIT
#include <fake_dinput.h>

#include "sim/host/platform_edge.h"

namespace host {

// A console host has no main window for the module to find; the module then
// opens its joystick without one, as it does whenever the lookup fails.
void showMainWindow() {}

void hideMainWindow() {}

// The stick can be moved when the dinput.dll that hover.gau loads is the
// scripted stand-in put beside the program; with the machine's own
// DirectInput it cannot.
bool stickAvailable() {
    return fakeplatform::isStandIn();
}

}  // namespace host
