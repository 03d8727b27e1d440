// SPDX-License-Identifier: MIT
//
// The module's one mutable state. Every value the module keeps from one
// host call to the next is a field of `moduleState`, and only there: the
// controller, the host variable records, the panel's gain factors, the
// host's window, the joystick and its memory, the lever bar's filter. The
// host calls the module one call at a time on its one thread, so the state
// needs no lock.
//
// Each layer names its own part through a reference declared in its own
// header (`controller` in control/controller.h, `lastStickX` in
// input/joystick.h, ...), so the code reads as it always has while the
// values live, and start, in one place.
//
// Three more values live inside records the host itself reads, and so
// cannot move here: the host's function table in ImportTable, the parameter
// string pointer in the gauge header, and the screen element's hidden bit.
// resetToLoadState (module/gauge.h) puts those back as well.
#ifndef HOVER_STATE_STATE_H
#define HOVER_STATE_STATE_H

#include <windows.h>
#include <dinput.h>

#include <cstdint>

#include "hostif/host_interface.h"
#include "sdk/gauge_sdk.h"

// One control loop. The error sense is measurement minus set point; the sign
// of each Kpr default belongs to that sense and to the axis it drives.
struct AxisLoop {
    double setPoint;       // loop unit (m/s, or deg/s for Turn)
    double measurement;    // loop unit
    double filteredError;  // loop unit
    double errorRate;      // loop unit per s
    double integral;       // loop unit × s
    double Kpr;            // axis command units per loop unit
    double Tv;             // s, derivative time
    double Tn;             // s, integral time
};

// Loop names by their gain-key suffix:
//   up       vertical speed, up positive   upSpeedSet / upSpeed / upError / upErrorRate / upIntegral
//   forward  forward ground speed (body)   forwardSpeedSet / forwardSpeed / ...
//   right    rightward ground speed (body) rightSpeedSet / rightSpeed / ...
//   turn     yaw rate                      turnRateSet / turnRate / ...
struct ControllerState {
    AxisLoop up;            // m/s; drives the throttle (collective)
    AxisLoop forward;       // m/s; drives the elevator
    AxisLoop right;         // m/s; drives the aileron
    AxisLoop turn;          // deg/s; drives the rudder
    double targetHeightFt;  // ft, 10 .. 999: radar height the hold keeps
    int32_t systemPowerOn;  // 0/1: the ON/OFF switch
    int32_t guardOpen;      // 0/1: the guard over the engage button is open
    int32_t hoverEngaged;   // 0/1: the hold drives the four axes
};

// The twelve gain keys of the parameter string.
constexpr int kGainKeyCount = 12;

// The pilot's own joystick, read through DirectInput beside the host's.
struct JoystickState {
    HINSTANCE moduleInstance;       // the module's instance handle, for DirectInputCreateA
    IDirectInputA* directInput;     // null when not held
    IDirectInputDeviceA* device;    // the open joystick; null when none is open
    IDirectInputDevice2A* device2;  // the same device, for Poll; may be null
    int32_t lastX;                  // previous frame's X axis, 0 .. 65535
    int32_t lastY;                  // previous frame's Y axis, -8192 .. 8192
    int32_t lastRz;                 // previous frame's Rz axis, -8192 .. 8192
    int32_t z;                      // Z axis, 0 .. 100, shown on the panel only
};

struct ModuleState {
    // Zero at load, gains and target height included, until the first
    // connect-to-window service.
    ControllerState controller;
    // Records that keep their last value between readings: the simulation
    // time (s) that measures each frame's step, and the frame's heading
    // (degrees), velocities (ft/s) and yaw rate (1/65536 turn per s).
    PersistentHostVars hostVars;
    // The factors the panel's parameter string gave at the last
    // pre-install, in the keys' reading order; dimensionless, all 1 at load.
    double panelGainFactors[kGainKeyCount];
    // The host's main window of class "FS98MAIN", found at pre-install;
    // null until then or when there is none.
    HWND simWindow;
    JoystickState joystick;
    // The collective lever bar's smoothing, in the lever's units. Zero at
    // load; nothing but a return to load time resets it.
    double leverDisplayFilter;
};

// The state as the host finds it when it loads the module.
constexpr ModuleState kLoadState = {
    .controller = {},
    .hostVars =
        {
            .time = {.tokenId = kTokenSimulationTime, .hostWords = {}, .value = 0.0, .hostData = {}},
            .heading = {.tokenId = kTokenHeading, .hostWords = {}, .value = 0.0, .hostData = {}},
            .velocityNorth = {.tokenId = kTokenVelocityNorth, .hostWords = {}, .value = 0.0, .hostData = {}},
            .velocityEast = {.tokenId = kTokenVelocityEast, .hostWords = {}, .value = 0.0, .hostData = {}},
            .verticalSpeed = {.tokenId = kTokenVerticalSpeed, .hostWords = {}, .value = 0.0, .hostData = {}},
            .yawRate = {.tokenId = kTokenYawRate, .hostWords = {}, .value = 0.0, .hostData = {}},
        },
    .panelGainFactors = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0},
    .simWindow = nullptr,
    .joystick = {},
    .leverDisplayFilter = 0.0,
};

extern ModuleState moduleState;

// The host variable records, as the control code reads them.
inline constinit PersistentHostVars& hostVars = moduleState.hostVars;

#endif
