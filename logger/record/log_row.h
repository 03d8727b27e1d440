// SPDX-License-Identifier: MIT
//
// One row of the log: the host readings of one panel update and what the
// logger played on the controls, as CSV text. The header cell of a host
// reading is `name:token`; hoverident finds columns by these names.
#ifndef HOVER_LOGGER_RECORD_LOG_ROW_H
#define HOVER_LOGGER_RECORD_LOG_ROW_H

#include <cstddef>
#include <cstdint>

#include "logger/record/settings.h"

// The readings of one update, in host units.
struct Readings {
    double simTime;        // 604, s
    double heading;        // 86, deg
    double velocityNorth;  // 554, ft/s
    double velocityEast;   // 555, ft/s
    double verticalSpeed;  // 556, ft/s
    double yawRate;        // 70, 1/65536 turn per s
    double pitch;          // 77, deg, + nose down
    double bank;           // bank_token, deg, + left wing down
    double radarHeight;    // 614, ft
    double control[kAxisCount];  // 309, 311, 314, 128, counts, by Axis
    double rotor;          // 755
};

enum class InputKind : int { kNone = 0, kMultiStep = 1, kSweep = 2 };

// What the logger did to the controls at this update.
struct Played {
    bool active;       // it sent an event on `axis`
    Axis axis;
    InputKind input;
    double sentValue;  // counts, the value sent
    double added;      // counts, the value sent less the held position
};

// The host token of an axis's position reading and of its axis event.
uint32_t positionToken(Axis axis);
uint32_t axisEvent(Axis axis);
const char* axisName(Axis axis);
const char* inputName(InputKind input);

// Longest header or row with every number at its widest, with room to spare.
constexpr size_t kMaxRowLength = 512;

// The header line, '\n'-ended, naming `bankToken` for the bank column.
size_t formatHeader(uint32_t bankToken, char (&out)[kMaxRowLength]);

// One row, '\n'-ended. The control columns are the readings but for the
// played axis, whose column is the value the logger sent.
size_t formatRow(const Readings& readings, const Played& played, char (&out)[kMaxRowLength]);

#endif
