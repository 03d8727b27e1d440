// SPDX-License-Identifier: MIT
//
// The pilot's joystick, read directly through DirectInput 5.
#ifndef HOVER_INPUT_JOYSTICK_H
#define HOVER_INPUT_JOYSTICK_H

#include <windows.h>

#include <cstdint>

int setModuleInstance(HINSTANCE instance);
HRESULT openJoystick(HWND window);
int acquireJoystick();
void applyJoystick(HWND window);
int releaseJoystick();

#endif
