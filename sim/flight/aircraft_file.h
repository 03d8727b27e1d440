// SPDX-License-Identifier: MIT
//
// Aircraft files: one TOML file per helicopter holding every coefficient of
// the flight model. Each value carries its unit and its source in the
// comment on its line,
//
//     mass = 2200.0   # kg, Padfield, Bo-105 data set
//
// and the reader holds the unit to the one the model expects, so a figure
// copied in pounds or degrees where radians belong is refused rather than
// flown. Unknown keys, missing keys, numbers that are not finite and values
// no helicopter can have are refused too, each with one line naming the
// file, the line and the key.
#ifndef HOVER_SIM_FLIGHT_AIRCRAFT_FILE_H
#define HOVER_SIM_FLIGHT_AIRCRAFT_FILE_H

#include <optional>
#include <string>

#include "sim/flight/parameters.h"

namespace flight {

struct AircraftDefinition {
    std::string name;  // what the aircraft is, for reports
    Parameters parameters;
    // How well the figures least known are known ([uncertainty], optional).
    Uncertainty uncertainty;
};

std::optional<AircraftDefinition> readAircraftFile(const std::string& path, std::string& error);
std::optional<AircraftDefinition> parseAircraft(const std::string& text, const std::string& sourceName,
                                                std::string& error);

// The file an aircraft argument names. A bare name ("bo105") is looked up as
// <name>.toml in each of `searchDirectories` in turn; anything with a path
// separator or a .toml ending is a path, taken relative to `baseDirectory`
// when it is relative (an empty base: the working directory). Returns the
// path to read, or nothing with `error` set.
std::optional<std::string> resolveAircraftPath(const std::string& nameOrPath,
                                               const std::string& baseDirectory,
                                               const std::string* searchDirectories, int searchCount,
                                               std::string& error);

}  // namespace flight

#endif
