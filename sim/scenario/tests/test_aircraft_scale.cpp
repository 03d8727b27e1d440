// SPDX-License-Identifier: MIT
//
// A scenario flies the aircraft as it may really be: its [aircraft_scale]
// factors are read, refused outside their range, and reach the flight model.
#include <gtest/gtest.h>

#include <string>

#include "sim/scenario/aircraft.h"
#include "sim/scenario/scenario.h"

namespace {

TEST(AircraftScale, IsReadFromItsTableAndEachFactorAbsentStaysOne) {
    std::string error;
    const auto s = host::parseScenario("[aircraft_scale]\ninertia = 1.2\ntail_rotor = 0.8\n", "t.toml", error);
    ASSERT_TRUE(s) << error;
    EXPECT_EQ(s->aircraftScale.inertia, 1.2);
    EXPECT_EQ(s->aircraftScale.controlPower, 1.0);
    EXPECT_EQ(s->aircraftScale.rotorDamping, 1.0);
    EXPECT_EQ(s->aircraftScale.tailRotor, 0.8);
    const auto plain = host::parseScenario("", "t.toml", error);
    ASSERT_TRUE(plain) << error;
    EXPECT_EQ(plain->aircraftScale.inertia, 1.0);
}

TEST(AircraftScale, OutsideItsRangeIsOneLineNamingTheFileAndLine) {
    for (const char* text : {"[aircraft_scale]\n\ncontrol_power = 1.6\n", "[aircraft_scale]\n\ninertia = 0.4\n",
                             "[aircraft_scale]\n\nrotor_damping = nan\n", "[aircraft_scale]\n\nmass = 1.1\n"}) {
        std::string error;
        EXPECT_FALSE(host::parseScenario(text, "t.toml", error)) << text;
        EXPECT_EQ(error.rfind("t.toml:3: ", 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(AircraftScale, ScalesOnlyTheFiguresItNames) {
    flight::Parameters p;
    p.ixx = 1000.0;
    p.iyy = 2000.0;
    p.izz = 3000.0;
    p.ixz = 100.0;
    p.longCyclicRange = 0.2;
    p.latCyclicRange = 0.1;
    p.flapInertia = 200.0;
    p.tailLiftSlope = 5.0;
    p.tailPitchRange = 0.3;
    p.mass = 2000.0;
    const flight::Parameters s = flight::scaled(p, flight::ParameterScale{1.2, 0.8, 1.1, 0.9});
    EXPECT_DOUBLE_EQ(s.ixx, 1200.0);
    EXPECT_DOUBLE_EQ(s.iyy, 2400.0);
    EXPECT_DOUBLE_EQ(s.izz, 3600.0);
    EXPECT_DOUBLE_EQ(s.ixz, 120.0);
    EXPECT_DOUBLE_EQ(s.longCyclicRange, 0.16);
    EXPECT_DOUBLE_EQ(s.latCyclicRange, 0.08);
    EXPECT_DOUBLE_EQ(s.flapInertia, 220.0);
    EXPECT_DOUBLE_EQ(s.tailLiftSlope, 4.5);
    EXPECT_EQ(s.tailPitchRange, 0.3);
    EXPECT_EQ(s.mass, 2000.0);
}

// The trim's blade angles do not depend on the rigging, so with the cyclic
// giving 0.8 of its blade angle per axis unit the trim takes 1 / 0.8 of the
// axis units.
TEST(AircraftScale, ReachesTheFlightModelWhereTheAircraftIsLoaded) {
    constexpr double kTrimCounts = 2.0;  // the trim's own tolerance, in axis units
    host::Scenario scenario;
    host::Aircraft given;
    std::string error;
    ASSERT_TRUE(given.load(scenario, error)) << error;
    ASSERT_EQ(given.setUp(scenario), "");
    scenario.aircraftScale.controlPower = 0.8;
    host::Aircraft weaker;
    ASSERT_TRUE(weaker.load(scenario, error)) << error;
    ASSERT_EQ(weaker.setUp(scenario), "");
    EXPECT_NEAR(weaker.trimControls().elevator * 0.8, given.trimControls().elevator, kTrimCounts);
    EXPECT_NEAR(weaker.trimControls().aileron * 0.8, given.trimControls().aileron, kTrimCounts);
    EXPECT_NEAR(weaker.trimControls().rudder, given.trimControls().rudder, kTrimCounts);
}

}  // namespace
