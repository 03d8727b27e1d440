// SPDX-License-Identifier: MIT
//
// The aircraft the analysis tests linearise and fly, read once from the
// source tree's aircraft files (the build names their folder,
// HOVER_AIRCRAFT_DIR), so every test reads the same helicopter.
#ifndef HOVER_SIM_ANALYSIS_TESTS_SOURCE_AIRCRAFT_H
#define HOVER_SIM_ANALYSIS_TESTS_SOURCE_AIRCRAFT_H

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "sim/flight/aircraft_file.h"

namespace analysistest {

// The Bo-105 class. A file that cannot be read fails the test that asked
// and gives empty parameters.
inline const flight::Parameters& bo105() {
    static const flight::Parameters parameters = [] {
        std::string error;
        const std::optional<flight::AircraftDefinition> aircraft =
            flight::readAircraftFile(std::string(HOVER_AIRCRAFT_DIR) + "/bo105.toml", error);
        if (!aircraft) {
            ADD_FAILURE() << error;
            return flight::Parameters{};
        }
        return aircraft->parameters;
    }();
    return parameters;
}

}  // namespace analysistest

#endif
