// SPDX-License-Identifier: MIT
//
// The aircraft file reader: every aircraft in aircraft/ reads, and each kind
// of mistake in a file is refused with one line that names the file, the
// line and the key.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/flight/aircraft_file.h"

namespace {

std::string aircraftDir() {
    const char* dir = std::getenv("HOVER_AIRCRAFT_DIR");
    return dir != nullptr ? dir : "aircraft";
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The Bo-105 file with the line that starts with `prefix` (the first one
// after the line `[table]` when a table is given) replaced. Sets `line` to
// its number.
std::string edited(const std::string& table, const std::string& prefix, const std::string& replacement,
                   int& line) {
    std::istringstream in(readText(aircraftDir() + "/bo105.toml"));
    std::ostringstream out;
    bool inTable = table.empty();
    bool done = false;
    int n = 0;
    for (std::string text; std::getline(in, text);) {
        ++n;
        if (!inTable && text == "[" + table + "]") {
            inTable = true;
        } else if (inTable && !done && text.rfind(prefix, 0) == 0) {
            text = replacement;
            line = n;
            done = true;
        }
        out << text << "\n";
    }
    EXPECT_TRUE(done) << prefix;
    return out.str();
}

TEST(AircraftFile, ReadsEveryAircraftOfTheProject) {
    for (const char* name : {"bo105", "uh1h", "puma"}) {
        std::string error;
        const auto aircraft = flight::readAircraftFile(aircraftDir() + "/" + name + ".toml", error);
        ASSERT_TRUE(aircraft) << error;
        EXPECT_FALSE(aircraft->name.empty());
    }
}

TEST(AircraftFile, ConvertsTheWrittenUnitsToTheModels) {
    int line = 0;
    std::string error;
    const auto a = flight::parseAircraft(
        edited("controls", "long_cyclic_range", "long_cyclic_range = 18.0  # deg, test", line), "t.toml",
        error);
    ASSERT_TRUE(a) << error;
    EXPECT_NEAR(a->parameters.longCyclicRange, 0.3141592653589793, 1e-12);
    const auto b = flight::parseAircraft(
        edited("engine", "power_available", "power_available = 520  # kW, test (an integer)", line), "t.toml",
        error);
    ASSERT_TRUE(b) << error;
    EXPECT_EQ(b->parameters.powerAvailable, 520000.0);
}

struct Mistake {
    const char* table;
    const char* prefix;
    const char* replacement;
    const char* key;
    const char* says;
};

TEST(AircraftFile, RefusesEachKindOfMistakeWithOneLineNamingFileLineAndKey) {
    const Mistake mistakes[] = {
        {"body", "mass", "mass = 4850.0  # lb, a figure copied from a US table", "body.mass",
         "unit 'lb', expected 'kg'"},
        {"body", "mass", "mass = 2200.0", "body.mass", "no comment giving the unit"},
        {"body", "mass", "mass = 2200.0  # kg", "body.mass", "no source"},
        {"body", "mass", "mass = -2200.0  # kg, sign slip", "body.mass",
         "outside what a helicopter can have"},
        {"body", "mass", "mass = nan  # kg, not a number", "body.mass", "must be finite"},
        {"body", "mass", "mass = inf  # kg, not a number", "body.mass", "must be finite"},
        {"body", "mass", "mass = \"heavy\"  # kg, text", "body.mass", "must be a number"},
        {"body", "mass", "masse = 2200.0  # kg, misspelt", "body.masse", "unknown key"},
        {"body", "ixz", "ixz = 3000.0  # kg m^2, larger than the roll and yaw inertias allow", "body.ixz",
         "ixz^2 must be less than"},
        {"main_rotor", "blades", "blades = 4.5  # -, half a blade", "main_rotor.blades", "whole number"},
        {"main_rotor", "blades", "blades = 1  # -, one blade", "main_rotor.blades", "2..8"},
        {"main_rotor", "twist", "twist = -8.0  # rad, degrees written as radians", "main_rotor.twist",
         "outside what a helicopter can have"},
        {"main_rotor", "flap_stiffness", "flap_stiffness = 0.0  # N m/rad, test", "main_rotor.flap_stiffness",
         "hingeless rotor"},
        {"controls", "collective_high", "collective_high = 4.0  # deg, below the low end",
         "controls.collective_high", "must exceed collective_low"},
        {"controls", "long_cyclic_range", "long_cyclic_range = 0.1745  # rad, radians where degrees belong",
         "controls.long_cyclic_range", "unit 'rad', expected 'deg'"},
        {"", "rotor_type", "rotor_type = \"coaxial\"", "rotor_type", "must be one of"},
        {"", "name", "colour = \"red\"", "colour", "unknown key"},
    };
    for (const Mistake& m : mistakes) {
        int line = 0;
        std::string error;
        const auto aircraft =
            flight::parseAircraft(edited(m.table, m.prefix, m.replacement, line), "x.toml", error);
        EXPECT_FALSE(aircraft) << m.replacement;
        const std::string where = "x.toml:" + std::to_string(line) + ": " + m.key + ": ";
        EXPECT_EQ(error.rfind(where, 0), 0u) << m.replacement << "\n  gave: " << error;
        EXPECT_NE(error.find(m.says), std::string::npos) << m.replacement << "\n  gave: " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(AircraftFile, RefusesAMissingKeyAtItsTableAndAMissingTable) {
    int line = 0;
    std::string error;
    EXPECT_FALSE(flight::parseAircraft(edited("main_rotor", "chord", "", line), "x.toml", error));
    int tableLine = 0;
    edited("", "[main_rotor]", "[main_rotor]", tableLine);
    EXPECT_EQ(error, "x.toml:" + std::to_string(tableLine) + ": main_rotor.chord: missing");
    EXPECT_FALSE(flight::parseAircraft(edited("", "[fin]", "[fins]", line), "x.toml", error));
    EXPECT_EQ(error.rfind("x.toml:" + std::to_string(line) + ": fins: unknown key", 0), 0u) << error;
    EXPECT_FALSE(flight::parseAircraft("name = \"x\"\nrotor_type = \"hingeless\"\n", "y.toml", error));
    EXPECT_NE(error.find("missing table"), std::string::npos) << error;
    EXPECT_FALSE(flight::parseAircraft("name = [", "z.toml", error));
    EXPECT_EQ(error.rfind("z.toml:1: ", 0), 0u) << error;
}

TEST(AircraftFile, FindsANameAmongTheFoldersAndTakesAPathRelativeToItsBase) {
    std::string error;
    const std::string dirs[] = {"/nonexistent", aircraftDir()};
    EXPECT_EQ(flight::resolveAircraftPath("bo105", "", dirs, 2, error), aircraftDir() + "/bo105.toml");
    EXPECT_EQ(flight::resolveAircraftPath("bo105.toml", aircraftDir(), dirs, 2, error),
              aircraftDir() + "/bo105.toml");
    EXPECT_FALSE(flight::resolveAircraftPath("ec135", "", dirs, 2, error));
    EXPECT_NE(error.find("ec135.toml"), std::string::npos) << error;
    EXPECT_FALSE(flight::resolveAircraftPath("", "", dirs, 2, error));
}

}  // namespace

namespace {

TEST(AircraftFile, ReadsHowWellItsFiguresAreKnownAndRefusesASpreadOutsideItsRange) {
    int line = 0;
    std::string error;
    const auto wider = flight::parseAircraft(
        edited("uncertainty", "inertia", "inertia = 0.3  # -, test", line), "x.toml", error);
    ASSERT_TRUE(wider) << error;
    EXPECT_EQ(wider->uncertainty.spread.inertia, 0.3);
    EXPECT_EQ(wider->uncertainty.spread.tailRotor, 0.2);

    // Without the table each figure is taken as known to 20 %.
    const std::string text = readText(aircraftDir() + "/bo105.toml");
    const auto without =
        flight::parseAircraft(text.substr(0, text.find("\n# How well the figures")), "x.toml", error);
    ASSERT_TRUE(without) << error;
    EXPECT_EQ(without->uncertainty.spread.controlPower, flight::kDefaultSpread);

    const Mistake mistakes[] = {
        {"uncertainty", "inertia", "inertia = 0.6  # -, too wide", "uncertainty.inertia", "[0, 0.5]"},
        {"uncertainty", "inertia", "inertia = -0.1  # -, negative", "uncertainty.inertia", "[0, 0.5]"},
        {"uncertainty", "tail_rotor", "tail_rotor = 0.2", "uncertainty.tail_rotor", "no comment"},
        {"uncertainty", "tail_rotor", "tail_rotors = 0.2  # -, misspelt", "uncertainty.tail_rotors",
         "unknown key"},
    };
    for (const Mistake& m : mistakes) {
        const auto aircraft =
            flight::parseAircraft(edited(m.table, m.prefix, m.replacement, line), "x.toml", error);
        EXPECT_FALSE(aircraft) << m.replacement;
        EXPECT_EQ(error.rfind("x.toml:" + std::to_string(line) + ": " + m.key + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(m.says), std::string::npos) << error;
    }
}

}  // namespace
