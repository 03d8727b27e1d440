// SPDX-License-Identifier: MIT
//
// The module's way into the host, the bottom of the module: the exported
// ImportTable the host writes its function table into, and variable readings
// and axis events through that table. Every call looks the table up at the
// moment of the call, and makes no call at all while the host has not
// written it yet. Nothing here knows the controller, the input or the face.
#ifndef HOVER_HOSTIF_HOST_INTERFACE_H
#define HOVER_HOSTIF_HOST_INTERFACE_H

#include <cstdint>

#include "sdk/gauge_sdk.h"

// The records the host finds by name. The Windows build exports them
// through its module definition file; the native build marks them.
#ifdef _WIN32
#define GAUGE_EXPORT
#else
#define GAUGE_EXPORT __attribute__((visibility("default")))
#endif

// The host writes its function table here before the first service call.
extern "C" {
GAUGE_EXPORT extern GaugeImports ImportTable;
}

// Unit conversions used where host values are read.
constexpr double kMetresPerFoot = 0.3047999902464003;  // nearest double to 1/3.28084
constexpr double kFeetPerMetre = 3.28084;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDegPerSecPerYawUnit = 0.0054931640625;  // 360/65536
constexpr double kKnotsPerMetrePerSecond = 1.944;

// Host variable records that live for the whole run and keep their last
// value between readings: the simulation time and the frame's velocities.
// They are part of the module's state (state/state.h).
struct PersistentHostVars {
    HostVar time;           // token 604, s
    HostVar heading;        // token 86, degrees
    HostVar velocityNorth;  // token 554, ft/s
    HostVar velocityEast;   // token 555, ft/s
    HostVar verticalSpeed;  // token 556, ft/s
    HostVar yawRate;        // token 70, 1/65536 turn per s
};

// The host's table, or null while the host has not written it.
HostApi* currentHostApi();

// Fills the record's value from the host; leaves it as it was without a table.
void readHostVar(HostVar& variable);

// Reads one token through a freshly zeroed record; 0 without a table.
double readHostToken(uint32_t tokenId);

// Sends one axis event; nothing without a table.
void sendHostEvent(uint32_t eventId, int32_t value);

#endif
