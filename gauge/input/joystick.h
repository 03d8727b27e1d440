// SPDX-License-Identifier: MIT
//
// The pilot's joystick, read directly through DirectInput 5, beside the
// host's own joystick handling. Its stick commands the forward, lateral and
// yaw-rate set points; two buttons step the target height.
#ifndef HOVER_INPUT_JOYSTICK_H
#define HOVER_INPUT_JOYSTICK_H

#include <windows.h>
#include <dinput.h>

#include <cstdint>

#include "state/state.h"

// The joystick's part of the module state (state/state.h).
// The module's own instance handle, for DirectInputCreateA.
inline constinit HINSTANCE& moduleInstance = moduleState.joystick.moduleInstance;

// The DirectInput objects; null when not held. A joystick is open exactly
// when joystickDevice is not null.
inline constinit IDirectInputA*& directInput = moduleState.joystick.directInput;
inline constinit IDirectInputDeviceA*& joystickDevice = moduleState.joystick.device;
inline constinit IDirectInputDevice2A*& joystickDevice2 = moduleState.joystick.device2;

// The previous frame's axes: X 0..65535, Y and Rz -8192..8192.
inline constinit int32_t& lastStickX = moduleState.joystick.lastX;
inline constinit int32_t& lastStickY = moduleState.joystick.lastY;
inline constinit int32_t& lastStickRz = moduleState.joystick.lastRz;

// The stick's Z axis, 0..100, for the panel only.
inline constinit int32_t& joystickZ = moduleState.joystick.z;

// 1 when the handle is not null, else 0.
int setModuleInstance(HINSTANCE instance);

// 0, or the code of the first call that failed, or E_FAIL when no joystick
// could be created. Whatever was created stays held until releaseJoystick.
HRESULT openJoystick(HWND window);

// Enumeration callback: keeps the first joystick that can be created.
BOOL CALLBACK onJoystickFound(LPCDIDEVICEINSTANCEA instance, LPVOID context);

// 1 when no joystick is open, else 0.
int acquireJoystick();

// One reading per frame. When nothing fresh could be read it is the previous
// frame's axes with no button pressed.
DIJOYSTATE pollJoystick();

// Per frame, whatever the unit's switches: reads the stick and moves the set
// points and the target height. The window is not used.
void applyJoystick(HWND window);

// The mapping of one reading onto the set points, the target height and the
// stick memory.
void applyJoystickReading(const DIJOYSTATE& reading);

// Releases everything held; always 0.
int releaseJoystick();

#endif
