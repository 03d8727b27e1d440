// SPDX-License-Identifier: MIT
#include <fake_dinput.h>

#include "sim/host/platform_edge.h"

namespace host {

namespace {

int stick = -1;

// The module's button bytes for the target height.
constexpr int kButtonHeightUp = 2;
constexpr int kButtonHeightDown = 3;

}  // namespace

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

void setUpJoystick(bool attached) {
    stick = -1;
    if (!fakeplatform::isStandIn()) {
        return;
    }
    fakeplatform::resetDirectInput();
    // A host that flies for hours never reads the call log.
    fakeplatform::setCallLogEnabled(false);
    stick = attached ? fakeplatform::attachJoystick() : -1;
    if (stick >= 0) {
        moveStick(StickInput{});
    }
}

void moveStick(const StickInput& input) {
    if (stick < 0) {
        return;
    }
    // The module's Y grows as the stick comes back, so forward is negative Y.
    fakeplatform::StickPosition position;
    position.x = input.right;
    position.y = -input.forward;
    position.z = input.z;
    position.rz = input.twist;
    fakeplatform::setStickPosition(stick, position);
    fakeplatform::setButton(stick, kButtonHeightUp, input.heightUp);
    fakeplatform::setButton(stick, kButtonHeightDown, input.heightDown);
}

}  // namespace host
