// SPDX-License-Identifier: MIT
// Its own function table, not sdk/host_table.h: a benchmark's host must cost nothing per call.
//
// The cheapest host a gauge can have, in the same process as the module:
// reading a variable is one array lookup by token number, sending an event
// is one append to a fixed ring of records. Whatever a benchmark measures
// beyond these two is the module's own work.
#ifndef HOVER_BENCH_BENCH_HOST_H
#define HOVER_BENCH_BENCH_HOST_H

#include <cstdint>

#include "hostif/host_interface.h"
#include "sdk/gauge_sdk.h"

namespace bench {

// Token numbers below this are served; larger ones are folded into range,
// so a lookup never needs a branch.
constexpr uint32_t kTokenSlots = 1024;
constexpr uint32_t kEventSlots = 64;

struct SentEvent {
    uint32_t id;
    int32_t value;
};

struct BenchHost {
    double values[kTokenSlots];
    SentEvent events[kEventSlots];
    uint64_t eventCount;
};
extern BenchHost benchHost;

// The host's frame length at 18 frames per second, the simulation time step
// every benchmark frame advances by.
constexpr double kFrameSeconds = 1.0 / 18.0;

// Writes the table into ImportTable and fills the token values of a steady
// hover: 100 ft radar height, a slow drift, the rotor at speed, the pitch
// well inside the guard's limits.
void installBenchHost();

// The host's own part of a frame: the simulation time moves on, so the
// module's update sees a time step and does its full work.
inline void advanceHostTime() {
    benchHost.values[kTokenSimulationTime] += kFrameSeconds;
}

// Puts the module back into its load-time state and makes the host's
// window-connect service call, which resets the controller. The joystick is
// never opened: no pre-install service is made.
void resetModule();

// Power on, guard open, engaged: through the unit's own switch operations,
// as the pilot's clicks reach them.
void engageHold();

// Disengaged with the power on: the bumpless presets run every frame.
void powerOnDisengaged();

}  // namespace bench

#endif
