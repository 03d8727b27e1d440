// SPDX-License-Identifier: MIT
//
// The output stage: while the hold is engaged, one PID command per loop sent
// to its axis, then the pitch guard that may override the elevator.
#include <cmath>
#include <cstdint>

#include "control/controller.h"
#include "control/law_constants.h"
#include "state/clamp.h"
#include "hostif/host_interface.h"

namespace {

// Sends the loop's command Kpr × (E + Tv × R + I / Tn), truncated toward
// zero and limited to [low, high].
//
// A loop without a usable command sends nothing and leaves its axis to the
// pilot: with Kpr 0 the law gives the same command whatever the error (on
// the collective, its lowest position) and the bumpless preset cannot be
// formed, and a command that is not a finite number has no axis position.
// A Tn of 0 means no integral action: the integral term counts as 0.
void sendLoopCommand(const AxisLoop& loop, uint32_t eventId, double low, double high) {
    if (loop.Kpr == 0.0) {
        return;
    }
    const double integralTerm = (loop.Tn == 0.0) ? 0.0 : loop.integral / loop.Tn;
    double u = ((integralTerm) + (loop.Tv * loop.errorRate)) + loop.filteredError;
    u = u * loop.Kpr;
    if (!std::isfinite(u)) {
        return;
    }
    // Truncated and limited as a double, so that a value of any magnitude
    // reaches the integer conversion only once it lies inside the range.
    const double command = clampLowerFirst(std::trunc(u), low, high);
    sendHostEvent(eventId, static_cast<int32_t>(command));
}

}  // namespace

void sendAxisCommands() {
    if (controller.hoverEngaged == 0) {
        return;
    }
    sendLoopCommand(controller.turn, kEventRudder, kSurfaceLow, kSurfaceHigh);
    sendLoopCommand(controller.right, kEventAileron, kSurfaceLow, kSurfaceHigh);
    sendLoopCommand(controller.forward, kEventElevator, kSurfaceLow, kSurfaceHigh);
    sendLoopCommand(controller.up, kEventThrottle, kThrottleLow, kThrottleHigh);

    // The override follows the Forward loop's elevator event, so it is the
    // last elevator value the host receives in the frame.
    const double pitchDeg = readHostToken(kTokenPitch);
    if (pitchDeg > kPitchLimitDeg) {
        sendHostEvent(kEventElevator, -kPitchOverride);
    }
    if (pitchDeg < -kPitchLimitDeg) {
        sendHostEvent(kEventElevator, kPitchOverride);
    }
}
