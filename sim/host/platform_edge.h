// SPDX-License-Identifier: MIT
//
// What the host does through the platform rather than through the gauge's
// records: its main window, which the module looks up by class, and the
// pilot's stick, which the module reads through DirectInput. Natively both
// are the platform stand-in's, scripted here. The Windows build shows no main
// window, and moves the stick through the DirectInput stand-in's dinput.dll
// when that is the one loaded; on a machine's own DirectInput the stick is
// unavailable.
#ifndef HOVER_SIM_HOST_PLATFORM_EDGE_H
#define HOVER_SIM_HOST_PLATFORM_EDGE_H

namespace host {

// A stick position, each axis -1 .. +1 as the pilot moves it.
struct StickInput {
    double forward = 0.0;     // pushed forward: a forward speed
    double right = 0.0;       // pushed right: a rightward speed
    double twist = 0.0;       // twisted right: a yaw rate to the right
    double z = 0.0;           // the throttle wheel, shown on the panel's bar
    bool heightUp = false;    // button 2
    bool heightDown = false;  // button 3
};

// Before the pre-install service: the host's main window, of class
// "FS98MAIN", where the platform lets the host show one.
void showMainWindow();
void hideMainWindow();

// Whether this build can drive the module's joystick.
bool stickAvailable();

// Before the pre-install service: the machine has no joystick, or one
// centred stick when `attached`.
void setUpJoystick(bool attached);

void moveStick(const StickInput& input);

}  // namespace host

#endif
