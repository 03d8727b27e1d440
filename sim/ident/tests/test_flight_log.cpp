// SPDX-License-Identifier: MIT
//
// The log reader: the columns found by name, the host's units and senses
// turned into the model's, the log split where the simulator paused, and
// the bounds on what it keeps.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "sim/ident/flight_log.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kExact = 1e-9;
const char* kHeader =
    "sim_time:604,heading:86,velocity_north:554,velocity_east:555,vertical_speed:556,yaw_rate:70,pitch:77,"
    "bank:78,radar_height:614,elevator:309,aileron:311,rudder:314,throttle:128,rotor:755,excited_axis,"
    "excitation,input\n";

std::string row(double t, const char* rest =
                              "90.0,1.0,10.0,-2.0,16384.0,5.0,3.0,50.0,812.0,-230.0,2900.0,"
                              "8900.0,100.0,none,0.0,none") {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.4f,", t);
    return buffer + std::string(rest) + "\n";
}

std::optional<ident::FlightLog> parse(const std::string& text, std::string& error,
                                      const ident::LogLimits& limits = {}) {
    std::istringstream in(text);
    return ident::parseFlightLog(in, "log.csv", error, limits);
}

}  // namespace

TEST(FlightLog, ConvertsTheHostsUnitsAndSensesToTheModels) {
    std::string error;
    const auto log = parse(std::string(kHeader) + row(1.0), error);
    ASSERT_TRUE(log) << error;
    const ident::Sample& s = log->stretches.at(0).samples.at(0);
    const double foot = 0.3047999902464003;
    // Heading east (90 deg): the east speed is forward, the north speed is
    // to the left, so right = -north.
    EXPECT_NEAR(s.y[ident::kOutU], 10.0 * foot, kExact);
    EXPECT_NEAR(s.y[ident::kOutV], -1.0 * foot, kExact);
    EXPECT_NEAR(s.y[ident::kOutW], -2.0 * foot, kExact);
    // 16384 units of 1/65536 turn a second: a quarter turn a second.
    EXPECT_NEAR(s.y[ident::kOutR], kPi / 2.0, kExact);
    // Pitch 5 nose down, bank 3 left wing down: theta and phi negative.
    EXPECT_NEAR(s.y[ident::kOutTheta], -5.0 * kPi / 180.0, kExact);
    EXPECT_NEAR(s.y[ident::kOutPhi], -3.0 * kPi / 180.0, kExact);
    EXPECT_NEAR(s.y[ident::kOutH], 50.0, kExact);  // the radar height is served in metres
    EXPECT_EQ(s.controls[analysis::kThrottle], 8900.0);
    EXPECT_EQ(s.controls[analysis::kElevator], 812.0);
    EXPECT_EQ(s.controls[analysis::kAileron], -230.0);
    EXPECT_EQ(s.controls[analysis::kRudder], 2900.0);
    EXPECT_EQ(s.rotorPercent, 100.0);
    EXPECT_TRUE(log->hasRotorSpeed);
    EXPECT_EQ(s.excitedAxis, -1);
}

// The rotor reading is read where the log has it; a log without it still
// reads (the fit then holds the rotor speed), and a bad rotor cell is
// refused like any other.
TEST(FlightLog, TheRotorReadingIsOptionalButMustBeANumberWhereItIs) {
    std::string header = kHeader;
    header.erase(header.find("rotor:755,"), std::string("rotor:755,").size());
    std::string rest = "90.0,1.0,10.0,-2.0,16384.0,5.0,3.0,50.0,812.0,-230.0,2900.0,8900.0,none,0.0,none";
    std::string error;
    const auto without = parse(header + row(1.0, rest.c_str()), error);
    ASSERT_TRUE(without) << error;
    EXPECT_FALSE(without->hasRotorSpeed);

    const auto bad = parse(std::string(kHeader)
                               + row(1.0,
                                     "90.0,1.0,10.0,-2.0,16384.0,5.0,3.0,50.0,812.0,-230.0,2900.0,8900.0,"
                                     "fast,none,0.0,none"),
                           error);
    EXPECT_FALSE(bad);
    EXPECT_EQ(error, "log.csv:2: 'fast' in column 'rotor' is not a number");
}

TEST(FlightLog, FindsColumnsByNameInAnyOrderWithAnyBankTokenAndIgnoresExtraColumns) {
    const std::string text =
        "input,excitation,excited_axis,extra,throttle:128,rudder:314,aileron:311,elevator:309,radar_height:"
        "614,"
        "bank:3001,pitch:77,yaw_rate:70,vertical_speed:556,velocity_east:555,velocity_north:554,heading:86,"
        "sim_time:604\n"
        "3211,600.0,elevator,x,8900.0,2900.0,-230.0,1412.0,50.0,0.0,0.0,0.0,0.0,0.0,3.0,0.0,7.5000\n";
    std::string error;
    const auto log = parse(text, error);
    ASSERT_TRUE(log) << error;
    const ident::Sample& s = log->stretches.at(0).samples.at(0);
    EXPECT_EQ(s.t, 7.5);
    // Heading north: the north speed is all forward.
    EXPECT_NEAR(s.y[ident::kOutU], 3.0 * 0.3047999902464003, kExact);
    EXPECT_EQ(s.controls[analysis::kElevator], 1412.0);
    EXPECT_EQ(s.excitedAxis, analysis::kElevator);
    EXPECT_EQ(s.input, ident::DesignedInput::k3211);
    EXPECT_EQ(s.excitation, 600.0);
}

TEST(FlightLog, SplitsTheLogIntoStretchesAtAGapAndSaysSo) {
    // 0.5 s is the largest step the reader takes for one stretch; 0.6 s
    // (a pause in the simulator) starts a new one.
    std::string error;
    const auto log = parse(std::string(kHeader) + row(1.0) + row(1.5) + row(2.1) + row(2.2), error);
    ASSERT_TRUE(log) << error;
    ASSERT_EQ(log->stretches.size(), 2u);
    EXPECT_EQ(log->stretches[0].samples.size(), 2u);
    EXPECT_EQ(log->stretches[1].samples.size(), 2u);
    EXPECT_EQ(log->stretches[1].firstLine, 4);
    ASSERT_EQ(log->notes.size(), 1u);
    EXPECT_NE(log->notes[0].find("log.csv:4:"), std::string::npos) << log->notes[0];
}

TEST(FlightLog, RefusesBadRowsWithTheFileAndLineOfEach) {
    struct Case {
        std::string text;
        const char* where;
        const char* reason;
    };
    const std::string h = kHeader;
    const Case cases[] = {
        {"", "log.csv:1:", "empty"},
        {h, "log.csv:1:", "no rows"},
        {"sim_time:604,heading:86\n1.0,2.0\n", "log.csv:1:", "missing column 'velocity_north'"},
        {h + row(1.0) + row(1.0), "log.csv:3:", "stands still"},
        {h + row(1.0) + row(0.9), "log.csv:3:", "goes back"},
        {h + row(1.0, "90.0,1.0,10.0,-2.0,nan,5.0,3.0,50.0,812.0,-230.0,2900.0,8900.0,100.0,none,0.0,none"),
         "log.csv:2:", "not a number"},
        {h + row(1.0, "90.0,1.0,10.0,-2.0,1e3,5.0,3.0,50.0,812.0,-230.0,2900.0,8900.0,100.0,none,0.0,none"),
         "log.csv:2:", "not a number"},
        {h + row(1.0, "90.0,1.0,10.0"), "log.csv:2:", "cells"},
        {h
             + row(1.0,
                   "90.0,1.0,10.0,-2.0,0.0,5.0,3.0,50.0,812.0,-16383.0,2900.0,8900.0,100.0,aileron,-600.0,"
                   "sweep"),
         "log.csv:2:", "aileron at its limit"},
        {h + row(1.0, "90.0,1.0,10.0,-2.0,0.0,5.0,3.0,50.0,812.0,-230.0,2900.0,0.0,100.0,rudder,600.0,3211"),
         "log.csv:2:", "throttle at its limit"},
        {h + row(1.0, "90.0,1.0,10.0,-2.0,0.0,5.0,3.0,50.0,812.0,-230.0,2900.0,8900.0,100.0,rudder,0.0,none"),
         "log.csv:2:", "disagree"},
        {h + row(1.0) + "\n" + row(2.0), "log.csv:3:", "blank line"},
        {h + "sim_time" + std::string(5000, ' ') + "\n", "log.csv:2:", "longer than 4096"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parse(c.text, error)) << c.reason;
        EXPECT_EQ(error.rfind(c.where, 0), 0u) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(FlightLog, LeavesOutALastRowCutShortAndSaysSo) {
    // A full disk stops the logger mid-row: the row has no line end.
    std::string error;
    const std::string text = std::string(kHeader) + row(1.0) + row(1.1) + "1.2000,90.0,1.0,1";
    const auto log = parse(text, error);
    ASSERT_TRUE(log) << error;
    EXPECT_EQ(log->stretches.at(0).samples.size(), 2u);
    ASSERT_EQ(log->notes.size(), 1u);
    EXPECT_NE(log->notes[0].find("log.csv:4:"), std::string::npos) << log->notes[0];
}

TEST(FlightLog, KeepsAtMostTheRowsItIsAllowedAndRefusesBeyond) {
    ident::LogLimits limits;
    limits.maxRows = 3;
    std::string error;
    EXPECT_TRUE(parse(std::string(kHeader) + row(1.0) + row(1.1) + row(1.2), error, limits)) << error;
    EXPECT_FALSE(parse(std::string(kHeader) + row(1.0) + row(1.1) + row(1.2) + row(1.3), error, limits));
    EXPECT_EQ(error.rfind("log.csv:5:", 0), 0u) << error;
    EXPECT_NE(error.find("more than 3 rows"), std::string::npos) << error;
}
