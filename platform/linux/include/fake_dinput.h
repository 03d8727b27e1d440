// SPDX-License-Identifier: MIT
//
// Scripting side of the DirectInput stand-in: the joysticks a machine would
// have, the failures its driver could report, what the stick reads in each
// frame, and a log of every call the module made, with its arguments.
//
// In the Windows build the stand-in is a dinput.dll of its own, which the
// module loads in place of the system's; these functions then reach it
// through the table it exports (see platform/windows/dinput_script.h).
//
// The fake keeps one DirectInput object and one device per joystick, each
// device with a separate second interface, so the log tells which of the
// module's pointers a call went through. Joysticks are numbered from 0 in the
// order they were attached, which is also the enumeration order.
#ifndef HOVER_PLATFORM_LINUX_FAKE_DINPUT_H
#define HOVER_PLATFORM_LINUX_FAKE_DINPUT_H

#include <windows.h>
#include <dinput.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fakeplatform {

// The calls a failure can be injected into.
enum class DiCall {
    kDirectInputCreate,
    kEnumDevices,
    kCreateDevice,
    kQueryInterface,
    kSetDataFormat,
    kSetCooperativeLevel,
    kSetProperty,
    kAcquire,
    kUnacquire,
    kPoll,
    kGetDeviceState,
};

constexpr int kMaxJoysticks = 4;

struct JoystickSetup {
    bool attached = true;   // enumerated with DIEDFL_ATTACHEDONLY
    bool creatable = true;  // CreateDevice succeeds for it
};

// Forgets every joystick, failure, reading and logged call, and every
// reference the module held: the machine as it is before anything ran.
void resetDirectInput();

// Adds a joystick; returns its number, or -1 when kMaxJoysticks are there.
int attachJoystick(JoystickSetup setup = {});

// From the (skipFirst + 1)-th call of that kind on, the call fails with
// `code` (the place it would write an interface to is set to null), until
// clearFailure or clearFailures. The failing call is logged like any other.
void failCall(DiCall call, HRESULT code, uint32_t skipFirst = 0);
void clearFailure(DiCall call);
void clearFailures();

// The reading GetDeviceState hands out, verbatim, until the next set call.
void setReading(int joystick, const DIJOYSTATE& reading);

// A pilot's stick: each position from -1 to +1 (clamped), reported in the
// range the module set for that axis, the platform's 0..65535 by default.
// Buttons are left as they are.
struct StickPosition {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double rz = 0.0;
};
void setStickPosition(int joystick, const StickPosition& position);
void setButton(int joystick, int button, bool pressed);

// The device loses its input, as when it is unplugged and plugged back in:
// it is no longer acquired, GetDeviceState reports DIERR_INPUTLOST (and Poll
// too when `pollReportsIt`) until Acquire succeeds again.
void loseInput(int joystick, bool pollReportsIt = false);

bool isAcquired(int joystick);

// References the module holds on the DirectInput object and all device
// interfaces together; 0 once everything was released.
int32_t heldReferences();

// Every call in order, e.g. "joystick0.SetCooperativeLevel(window=0x1234, flags=0xa)".
const std::vector<std::string>& callLog();
void clearCallLog();
// A long-running host that never reads the log turns it off.
void setCallLogEnabled(bool enabled);

// Calls the module made into the stand-in since the last reset, counted
// whether the log is on or not.
uint32_t callCount();

// Whether the module's DirectInput is this stand-in: always in the native
// build; in the Windows build when the dinput.dll loaded is the stand-in's.
bool isStandIn();

}  // namespace fakeplatform

#endif
