// SPDX-License-Identifier: MIT
#include "logger/excite/player.h"

#include <algorithm>
#include <cmath>

#include "logger/excite/inputs.h"

namespace {

constexpr double kCyclicLimit = 16383.0;
constexpr double kThrottleHighest = 16384.0;

double itemValue(const LoggerSettings& settings, int item, double t, double& duration) {
    const double amplitude = settings.amplitude[static_cast<int>(itemAxis(item))];
    if (itemInput(item) == InputKind::kMultiStep) {
        const MultiStep input{.amplitude = amplitude, .stepSeconds = settings.stepSeconds};
        duration = multiStepDuration(input);
        return multiStepValue(input, t);
    }
    const Sweep input{.amplitude = amplitude,
                      .fromHz = settings.sweepFromHz,
                      .toHz = settings.sweepToHz,
                      .seconds = settings.sweepSeconds};
    duration = sweepDuration(input);
    return sweepValue(input, t);
}

bool withinLimit(double angle, double limit) {
    return std::fabs(angle) <= limit;  // false for a NaN
}

Played sendHeld(PlayerState& player, Outcome outcome) {
    const Axis axis = itemAxis(player.item);
    const double sent = toAxisCounts(axis, player.held);
    player.playing = false;
    player.lastOutcome = outcome;
    if (outcome == Outcome::kCompleted) {
        player.nextItem = (player.item + 1) % kProgrammeLength;
    }
    return Played{.active = true,
                  .axis = axis,
                  .input = itemInput(player.item),
                  .sentValue = sent,
                  .added = sent - player.held};
}

}  // namespace

Axis itemAxis(int item) {
    return static_cast<Axis>((item / 2) % kAxisCount);
}

InputKind itemInput(int item) {
    return item % 2 == 0 ? InputKind::kMultiStep : InputKind::kSweep;
}

double axisLowest(Axis axis) {
    return axis == Axis::kThrottle ? 0.0 : -kCyclicLimit;
}

double axisHighest(Axis axis) {
    return axis == Axis::kThrottle ? kThrottleHighest : kCyclicLimit;
}

int32_t toAxisCounts(Axis axis, double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const double lowest = axisLowest(axis);
    const double highest = axisHighest(axis);
    const double clamped = value < lowest ? lowest : value > highest ? highest : value;
    const double magnitude = std::fabs(clamped);
    double whole = std::floor(magnitude);
    if (magnitude - whole >= 0.5) {
        whole += 1.0;
    }
    const int32_t counts = static_cast<int32_t>(whole);
    return clamped < 0.0 ? -counts : counts;
}

Played endInputEarly(PlayerState& player) {
    if (!player.playing) {
        return Played{.active = false, .axis = Axis::kElevator, .input = InputKind::kNone, .sentValue = 0.0,
                      .added = 0.0};
    }
    return sendHeld(player, Outcome::kEndedEarly);
}

void requestExcitation(PlayerState& player) {
    player.requested = true;
}

Played stepPlayer(PlayerState& player, const LoggerSettings& settings, const Readings& readings) {
    const Played idle{.active = false, .axis = Axis::kElevator, .input = InputKind::kNone, .sentValue = 0.0,
                      .added = 0.0};
    if (player.requested) {
        player.requested = false;
        if (player.playing) {
            return endInputEarly(player);
        }
        const int item = player.nextItem;
        const double held = readings.control[static_cast<int>(itemAxis(item))];
        if (!std::isfinite(held) || !std::isfinite(readings.simTime)) {
            player.lastOutcome = Outcome::kEndedEarly;
            return idle;
        }
        player.playing = true;
        player.item = item;
        player.held = held;
        player.startTime = readings.simTime;
        player.sentBefore = false;
    }
    if (!player.playing) {
        return idle;
    }
    const Axis axis = itemAxis(player.item);
    if (player.sentBefore) {
        // A move within the dead band is the pilot's own small correction:
        // the input goes on around where he now holds the control. A larger
        // one (or a reading that is no number) means he has taken it.
        const double moved = readings.control[static_cast<int>(axis)] - player.lastSent;
        if (!(std::fabs(moved) <= settings.deadBand)) {
            return sendHeld(player, Outcome::kEndedEarly);
        }
        player.held = std::clamp(player.held + moved, axisLowest(axis), axisHighest(axis));
    }
    if (!withinLimit(readings.pitch, settings.attitudeLimitDeg)
        || !withinLimit(readings.bank, settings.attitudeLimitDeg)) {
        return sendHeld(player, Outcome::kEndedEarly);
    }
    const double t = readings.simTime - player.startTime;
    if (!(t >= 0.0)) {
        return sendHeld(player, Outcome::kEndedEarly);
    }
    double duration = 0.0;
    const double added = itemValue(settings, player.item, t, duration);
    if (t >= duration) {
        return sendHeld(player, Outcome::kCompleted);
    }
    const double sent = toAxisCounts(axis, player.held + added);
    player.sentBefore = true;
    player.lastSent = sent;
    return Played{.active = true,
                  .axis = axis,
                  .input = itemInput(player.item),
                  .sentValue = sent,
                  .added = sent - player.held};
}
