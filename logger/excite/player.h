// SPDX-License-Identifier: MIT
//
// Plays the programme of designed inputs on the controls: for each axis in
// the order elevator, aileron, rudder, throttle, first a 3-2-1-1 and then a
// sweep. An input is added to the position the pilot holds on its axis, read
// at the update it starts, and runs by the host's simulation time, so a
// paused simulation holds it. The pilot keeps flying that axis while it
// plays: a difference within the dead band between the position read and
// what the logger sent the update before is his own small move, and the
// held position follows it. It ends early, sending the held position back,
// when the pilot moves that control more than the dead band (or its
// reading is no number), when |pitch| or |bank| passes the attitude limit,
// when the excite button is pressed again, or when the simulation time goes
// back or stops being a number. Only an input that played to its end moves
// the programme on: one that ended early is offered again.
#ifndef HOVER_LOGGER_EXCITE_PLAYER_H
#define HOVER_LOGGER_EXCITE_PLAYER_H

#include <cstdint>

#include "logger/record/log_row.h"
#include "logger/record/settings.h"

constexpr int kProgrammeLength = 2 * kAxisCount;

enum class Outcome : int { kNone = 0, kCompleted = 1, kEndedEarly = 2 };

struct PlayerState {
    int nextItem;  // 0 .. kProgrammeLength-1: what the button plays next
    bool requested;  // the button was pressed since the last update
    bool playing;
    int item;  // the item playing
    double held;  // counts: the position the input is added to, following
                  // the pilot's small moves
    double startTime;  // s, simulation time
    bool sentBefore;
    double lastSent;  // counts
    Outcome lastOutcome;  // how the last input ended
};

constexpr PlayerState kIdlePlayer = {
    .nextItem = 0,
    .requested = false,
    .playing = false,
    .item = 0,
    .held = 0.0,
    .startTime = 0.0,
    .sentBefore = false,
    .lastSent = 0.0,
    .lastOutcome = Outcome::kNone,
};

Axis itemAxis(int item);
InputKind itemInput(int item);

// The axis's range in counts.
double axisLowest(Axis axis);
double axisHighest(Axis axis);

// `value` clamped to the axis's range and rounded half away from zero to a
// whole count; 0 for a NaN (callers never pass one: held positions are
// checked when an input starts).
int32_t toAxisCounts(Axis axis, double value);

// The press of the excite button, played at the next update.
void requestExcitation(PlayerState& player);

// Ends the input playing, as an early end: the held position to send back
// (inactive when nothing plays).
Played endInputEarly(PlayerState& player);

// One panel update: what to send on which axis (inactive: nothing).
Played stepPlayer(PlayerState& player, const LoggerSettings& settings, const Readings& readings);

#endif
