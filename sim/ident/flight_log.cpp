// SPDX-License-Identifier: MIT
#include "sim/ident/flight_log.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <istream>
#include <string_view>

#include "sim/units.h"

namespace ident {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadPerDeg = kPi / 180.0;
// Token 70 counts 1/65536 of a turn a second.
constexpr double kRadPerSecondPerYawUnit = 2.0 * kPi / 65536.0;
constexpr double kCyclicLimit = 16383.0;
constexpr double kCollectiveLimit = 16384.0;

enum Column : int {
    kTime = 0,
    kHeading,
    kNorth,
    kEast,
    kVertical,
    kYawRate,
    kPitch,
    kBank,
    kRadar,
    kElevatorColumn,
    kAileronColumn,
    kRudderColumn,
    kThrottleColumn,
    kExcitedAxis,
    kExcitation,
    kInput,
    kColumnCount
};

// Header cells are "name:token"; the name finds the column (the bank's
// token is the logger's choice).
constexpr const char* kColumnNames[kColumnCount] = {
    "sim_time", "heading",      "velocity_north", "velocity_east", "vertical_speed", "yaw_rate",
    "pitch",    "bank",         "radar_height",   "elevator",      "aileron",        "rudder",
    "throttle", "excited_axis", "excitation",     "input"};

constexpr const char* kAxisNames[analysis::kInputCount] = {"throttle", "elevator", "aileron", "rudder"};

std::vector<std::string_view> splitCells(std::string_view line) {
    std::vector<std::string_view> cells;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            cells.push_back(line.substr(start));
            return cells;
        }
        cells.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
}

bool parseNumber(std::string_view text, double& value) {
    if (text.empty()) {
        return false;
    }
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+') {
        ++first;  // from_chars takes no plus sign; the logger never writes one, but it is a number
    }
    const std::from_chars_result result = std::from_chars(first, last, value, std::chars_format::fixed);
    return result.ec == std::errc() && result.ptr == last && std::isfinite(value);
}

// Reads one line into line, at most limit characters. Returns false at the
// end of the input; sets tooLong when the line went past the limit (the
// rest of it is not read), and unended when the input ended before a line
// end.
bool readLine(std::streambuf& in, std::string& line, std::size_t limit, bool& tooLong, bool& unended) {
    line.clear();
    tooLong = false;
    unended = false;
    int c = in.sbumpc();
    if (c == std::char_traits<char>::eof()) {
        return false;
    }
    while (c != std::char_traits<char>::eof() && c != '\n') {
        if (line.size() >= limit) {
            tooLong = true;
            return true;
        }
        line.push_back(static_cast<char>(c));
        c = in.sbumpc();
    }
    unended = c == std::char_traits<char>::eof();
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

std::string where(const std::string& name, long line) {
    return name + ":" + std::to_string(line) + ": ";
}

}  // namespace

const char* axisName(int input) {
    return input >= 0 && input < analysis::kInputCount ? kAxisNames[input] : "none";
}

std::optional<FlightLog> parseFlightLog(std::istream& in, const std::string& name, std::string& error,
                                        const LogLimits& limits) {
    std::streambuf* buffer = in.rdbuf();
    if (buffer == nullptr) {
        error = name + ": cannot be read";
        return std::nullopt;
    }
    std::string line;
    bool tooLong = false;
    bool unended = false;
    long lineNumber = 1;
    if (!readLine(*buffer, line, limits.maxLineLength, tooLong, unended) || (line.empty() && !tooLong)) {
        error = where(name, 1) + "empty log (no header)";
        return std::nullopt;
    }
    if (tooLong) {
        error = where(name, 1) + "line longer than " + std::to_string(limits.maxLineLength) + " characters";
        return std::nullopt;
    }

    std::array<int, kColumnCount> index{};
    index.fill(-1);
    const std::vector<std::string_view> header = splitCells(line);
    for (std::size_t cell = 0; cell < header.size(); ++cell) {
        const std::string_view columnName = header[cell].substr(0, header[cell].find(':'));
        for (int c = 0; c < kColumnCount; ++c) {
            if (columnName == kColumnNames[c]) {
                if (index[static_cast<std::size_t>(c)] >= 0) {
                    error = where(name, 1) + "column '" + kColumnNames[c] + "' appears twice";
                    return std::nullopt;
                }
                index[static_cast<std::size_t>(c)] = static_cast<int>(cell);
            }
        }
    }
    for (int c = 0; c < kColumnCount; ++c) {
        if (index[static_cast<std::size_t>(c)] < 0) {
            error = where(name, 1) + "missing column '" + kColumnNames[c] + "'";
            return std::nullopt;
        }
    }

    // The rotor reading is not needed to read a log: without it the fit
    // takes the rotor speed as constant.
    int rotorIndex = -1;
    for (std::size_t cell = 0; cell < header.size(); ++cell) {
        if (header[cell].substr(0, header[cell].find(':')) == "rotor") {
            if (rotorIndex >= 0) {
                error = where(name, 1) + "column 'rotor' appears twice";
                return std::nullopt;
            }
            rotorIndex = static_cast<int>(cell);
        }
    }

    FlightLog log;
    log.file = name;
    log.hasRotorSpeed = rotorIndex >= 0;
    std::size_t rows = 0;
    bool atEnd = false;
    while (readLine(*buffer, line, limits.maxLineLength, tooLong, unended)) {
        ++lineNumber;
        if (unended) {
            // The logger stopped mid-row (a full disk): every row before is
            // whole, this one may not be.
            log.notes.push_back(where(name, lineNumber)
                                + "the last line has no line end (the recording was cut): left out");
            break;
        }
        if (tooLong) {
            error = where(name, lineNumber) + "line longer than " + std::to_string(limits.maxLineLength)
                    + " characters";
            return std::nullopt;
        }
        if (line.empty()) {
            atEnd = true;  // a blank line may only end the file
            continue;
        }
        if (atEnd) {
            error = where(name, lineNumber - 1) + "blank line inside the log";
            return std::nullopt;
        }
        if (rows >= limits.maxRows) {
            error = where(name, lineNumber) + "more than " + std::to_string(limits.maxRows)
                    + " rows (about two hours at 60 a second); split the log";
            return std::nullopt;
        }
        const std::vector<std::string_view> cells = splitCells(line);
        if (cells.size() != header.size()) {
            error = where(name, lineNumber) + std::to_string(cells.size()) + " cells where the header has "
                    + std::to_string(header.size());
            return std::nullopt;
        }
        std::array<double, kColumnCount> value{};
        for (int c = 0; c < kColumnCount; ++c) {
            if (c == kExcitedAxis || c == kInput) {
                continue;
            }
            const std::string_view text = cells[static_cast<std::size_t>(index[static_cast<std::size_t>(c)])];
            if (!parseNumber(text, value[static_cast<std::size_t>(c)])) {
                error = where(name, lineNumber) + "'" + std::string(text) + "' in column '" + kColumnNames[c]
                        + "' is not a number";
                return std::nullopt;
            }
        }

        Sample s;
        s.t = value[kTime];
        if (rotorIndex >= 0) {
            const std::string_view text = cells[static_cast<std::size_t>(rotorIndex)];
            if (!parseNumber(text, s.rotorPercent)) {
                error =
                    where(name, lineNumber) + "'" + std::string(text) + "' in column 'rotor' is not a number";
                return std::nullopt;
            }
        }
        const std::string_view axisText = cells[static_cast<std::size_t>(index[kExcitedAxis])];
        bool axisKnown = axisText == "none";
        for (int i = 0; i < analysis::kInputCount; ++i) {
            if (axisText == kAxisNames[i]) {
                s.excitedAxis = i;
                axisKnown = true;
            }
        }
        const std::string_view inputText = cells[static_cast<std::size_t>(index[kInput])];
        if (inputText == "3211") {
            s.input = DesignedInput::k3211;
        } else if (inputText == "sweep") {
            s.input = DesignedInput::kSweep;
        } else if (inputText != "none") {
            error =
                where(name, lineNumber) + "input '" + std::string(inputText) + "' is not none, 3211 or sweep";
            return std::nullopt;
        }
        if (!axisKnown) {
            error = where(name, lineNumber) + "excited_axis '" + std::string(axisText)
                    + "' is not none, elevator, aileron, rudder or throttle";
            return std::nullopt;
        }
        if ((s.input == DesignedInput::kNone) != (s.excitedAxis < 0)) {
            error = where(name, lineNumber) + "excited_axis and input disagree (one is none, the other not)";
            return std::nullopt;
        }
        s.excitation = value[kExcitation];

        const double heading = value[kHeading] * kRadPerDeg;
        const double north = value[kNorth] * units::kMetresPerFoot;
        const double east = value[kEast] * units::kMetresPerFoot;
        s.y[kOutU] = north * std::cos(heading) + east * std::sin(heading);
        s.y[kOutV] = -north * std::sin(heading) + east * std::cos(heading);
        s.y[kOutW] = value[kVertical] * units::kMetresPerFoot;
        s.y[kOutR] = value[kYawRate] * kRadPerSecondPerYawUnit;
        s.y[kOutPhi] = -value[kBank] * kRadPerDeg;     // the host's bank is + left wing down
        s.y[kOutTheta] = -value[kPitch] * kRadPerDeg;  // the host's pitch is + nose down
        s.y[kOutH] = value[kRadar];                    // the host serves the radar height in metres
        s.controls[analysis::kThrottle] = value[kThrottleColumn];
        s.controls[analysis::kElevator] = value[kElevatorColumn];
        s.controls[analysis::kAileron] = value[kAileronColumn];
        s.controls[analysis::kRudder] = value[kRudderColumn];

        if (s.input != DesignedInput::kNone) {
            for (int i = 0; i < analysis::kInputCount; ++i) {
                const double position = s.controls[static_cast<std::size_t>(i)];
                const bool atLimit = i == analysis::kThrottle
                                         ? position <= 0.0 || position >= kCollectiveLimit
                                         : std::fabs(position) >= kCyclicLimit;
                if (atLimit) {
                    error = where(name, lineNumber) + kAxisNames[i] + " at its limit ("
                            + std::to_string(static_cast<long>(std::lround(std::clamp(position, -1e9, 1e9))))
                            + ") during an excitation: the input the aircraft felt was clipped";
                    return std::nullopt;
                }
            }
        }

        Stretch* current = log.stretches.empty() ? nullptr : &log.stretches.back();
        if (current != nullptr) {
            const double previous = current->samples.back().t;
            if (!(s.t > previous)) {
                error = where(name, lineNumber) + "time "
                        + std::string(cells[static_cast<std::size_t>(index[kTime])])
                        + (s.t == previous ? " stands still" : " goes back") + " (the row before is at "
                        + std::to_string(previous) + " s)";
                return std::nullopt;
            }
            if (s.t - previous > limits.maxGapS) {
                log.notes.push_back(where(name, lineNumber) + "a gap of " + std::to_string(s.t - previous)
                                    + " s: the log is split there into two stretches");
                current = nullptr;
            }
        }
        if (current == nullptr) {
            log.stretches.push_back(Stretch{name, lineNumber, {}});
            current = &log.stretches.back();
        }
        current->samples.push_back(s);
        ++rows;
    }
    if (rows == 0) {
        error = where(name, lineNumber) + "empty log (a header and no rows)";
        return std::nullopt;
    }
    return log;
}

std::optional<FlightLog> readFlightLog(const std::string& path, std::string& error, const LogLimits& limits) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be opened";
        return std::nullopt;
    }
    return parseFlightLog(in, path, error, limits);
}

}  // namespace ident
