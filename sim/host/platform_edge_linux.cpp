// SPDX-License-Identifier: MIT
#include <fake_dinput.h>
#include <fake_platform.h>

#include "sim/host/platform_edge.h"

namespace host {

namespace {

int stick = -1;

// The stand-in's window handles are opaque: any address of the host's own
// stands for its main window.
int mainWindow = 0;

// The module's button bytes for the target height.
constexpr int kButtonHeightUp = 2;
constexpr int kButtonHeightDown = 3;

}  // namespace

void showMainWindow() {
    fakeplatform::registerWindow("FS98MAIN", reinterpret_cast<HWND>(&mainWindow));
}

void hideMainWindow() {
    fakeplatform::registerWindow("FS98MAIN", nullptr);
}

bool stickAvailable() {
    return true;
}

void setUpJoystick(bool attached) {
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
