// SPDX-License-Identifier: MIT
//
// A recorded hover flight as hoverident reads it: the logger's CSV, found
// by header names, checked row by row and converted to the hover model's
// states and units. Rows come at panel updates, so they are not evenly
// spaced; every sample keeps its own time.
#ifndef HOVER_SIM_IDENT_FLIGHT_LOG_H
#define HOVER_SIM_IDENT_FLIGHT_LOG_H

#include <array>
#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "sim/analysis/plant.h"

namespace ident {

// What the model compares with a flight: the measured states. The rates p
// and q are not read by the host; they come from differentiating the bank
// and the pitch.
enum Measured : int { kOutU = 0, kOutV, kOutW, kOutR, kOutPhi, kOutTheta, kOutH, kMeasuredCount };

enum class DesignedInput : int { kNone = 0, k3211, kSweep };

struct Sample {
    double t = 0.0;  // simulation time, s
    // u, v, w (m/s), r (rad/s), phi, theta (rad), h (m), in the model's senses.
    std::array<double, kMeasuredCount> y{};
    // Control positions, counts, in analysis::Input order (collective,
    // elevator, aileron, rudder); not yet off any trim.
    std::array<double, analysis::kInputCount> controls{};
    double rotorPercent = 0.0;  // the rotor reading, % of its normal speed (0 where the log has none)
    int excitedAxis = -1;       // analysis::Input, or -1 when no axis is excited
    double excitation = 0.0;
    DesignedInput input = DesignedInput::kNone;
};

// Rows without a gap between them: the fit simulates each from its own
// first row.
struct Stretch {
    std::string file;
    long firstLine = 0;
    std::vector<Sample> samples;
};

struct FlightLog {
    std::string file;
    std::vector<Stretch> stretches;
    // Whether the log has the rotor reading (the terms of the rotor speed
    // are fitted only then).
    bool hasRotorSpeed = false;
    // What the reader did that the report should say (a log split at a gap).
    std::vector<std::string> notes;
};

struct LogLimits {
    std::size_t maxRows = 2 * 3600 * 60;  // two hours at the highest panel rate
    std::size_t maxLineLength = 4096;
    double maxGapS = 0.5;  // rows further apart start a new stretch
};

// Reads one log. On bad input returns nothing and sets error to one line
// "FILE:LINE: reason".
std::optional<FlightLog> readFlightLog(const std::string& path, std::string& error,
                                       const LogLimits& limits = {});
std::optional<FlightLog> parseFlightLog(std::istream& in, const std::string& name, std::string& error,
                                        const LogLimits& limits = {});

// The axis's name as the log writes it ("throttle", "elevator", ...).
const char* axisName(int input);

}  // namespace ident

#endif
