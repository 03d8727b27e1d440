// SPDX-License-Identifier: MIT
#include "input/joystick.h"

int setModuleInstance(HINSTANCE) {
    return 0;
}

HRESULT openJoystick(HWND) {
    return 0;
}

int acquireJoystick() {
    return 1;
}

void applyJoystick(HWND) {}

int releaseJoystick() {
    return 0;
}
