// SPDX-License-Identifier: MIT
//
// The pilot's stick, scripted through the DirectInput stand-in: the same
// calls on both platforms, wherever stickAvailable() says the stand-in is
// the DirectInput the module reads.
#include <fake_dinput.h>

#include "sim/host/platform_edge.h"

namespace host {

namespace {

int stick = -1;

// The module's button bytes for the target height.
constexpr int kButtonHeightUp = 2;
constexpr int kButtonHeightDown = 3;

}  // namespace

void setUpJoystick(bool attached) {
    stick = -1;
    if (!stickAvailable()) {
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
