// SPDX-License-Identifier: MIT
//
// The logger's gauge line: `key=value` words separated by spaces, every key
// optional. The host gives a gauge no way to report a mistake, so a key the
// logger does not know, a value that is not a number, or a number outside
// the key's range is passed over and the key keeps its default; the log
// itself carries nothing about it, so hoverident reads a pure CSV. A key
// given twice takes its last good value. The folder cannot hold a space
// (spaces separate the words) and is at most kMaxFolderLength characters.
//
//   folder=PATH           where logs are written (default: the current folder)
//   bank_token=78         the host's bank reading, a token number 1..65535
//   elevator=600 aileron=600 rudder=1500 throttle=500
//                         input amplitudes, counts, 0..16384
//   step_s=0.5            the multi-step's unit step, s, 0.01..60
//   sweep_s=60            the sweep's length, s, 1..3600
//   sweep_from_hz=0.1 sweep_to_hz=5
//                         the sweep's first and last frequency, Hz, 0.001..50
//   dead_band=400         counts, 1..32767: the pilot moving the excited
//                         control more than this from where the logger left
//                         it ends the input; a smaller move is his own
//                         correction, which the input goes on around
//   attitude_limit_deg=20 deg, 0.1..180: |pitch| or |bank| beyond it ends the
//                         input
#ifndef HOVER_LOGGER_RECORD_SETTINGS_H
#define HOVER_LOGGER_RECORD_SETTINGS_H

#include <cstddef>
#include <cstdint>

// The four axes in the programme's order.
enum class Axis : int { kElevator = 0, kAileron = 1, kRudder = 2, kThrottle = 3 };
constexpr int kAxisCount = 4;

constexpr size_t kMaxFolderLength = 200;

struct LoggerSettings {
    char folder[kMaxFolderLength + 1];
    uint32_t bankToken;
    double amplitude[kAxisCount];  // counts, by Axis
    double stepSeconds;
    double sweepSeconds;
    double sweepFromHz;
    double sweepToHz;
    double deadBand;  // counts
    double attitudeLimitDeg;
};

constexpr LoggerSettings kDefaultSettings = {
    .folder = "",
    .bankToken = 78,
    .amplitude = {600.0, 600.0, 1500.0, 500.0},
    .stepSeconds = 0.5,
    .sweepSeconds = 60.0,
    .sweepFromHz = 0.1,
    .sweepToHz = 5.0,
    .deadBand = 400.0,
    .attitudeLimitDeg = 20.0,
};

// The defaults with every good word of `parameters` (may be null) applied.
LoggerSettings readSettings(const char* parameters);

#endif
