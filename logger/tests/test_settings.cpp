// SPDX-License-Identifier: MIT
//
// The gauge line: each key read, and every mistake passed over with the
// key's default kept.
#include <gtest/gtest.h>

#include <string>

#include "logger/record/settings.h"

namespace {

TEST(LoggerSettings, EmptyOrMissingLineGivesTheDefaults) {
    for (const char* line : {static_cast<const char*>(nullptr), "", "   "}) {
        const LoggerSettings s = readSettings(line);
        EXPECT_STREQ(s.folder, "");
        EXPECT_EQ(s.bankToken, 78u);
        EXPECT_EQ(s.amplitude[0], 600.0);
        EXPECT_EQ(s.amplitude[1], 600.0);
        EXPECT_EQ(s.amplitude[2], 1500.0);
        EXPECT_EQ(s.amplitude[3], 500.0);
        EXPECT_EQ(s.stepSeconds, 0.5);
        EXPECT_EQ(s.sweepSeconds, 60.0);
        EXPECT_EQ(s.sweepFromHz, 0.1);
        EXPECT_EQ(s.sweepToHz, 5.0);
        EXPECT_EQ(s.deadBand, 400.0);
        EXPECT_EQ(s.attitudeLimitDeg, 20.0);
    }
}

TEST(LoggerSettings, ReadsEveryKey) {
    const LoggerSettings s = readSettings(
        "folder=C:/logs/flight bank_token=57 elevator=300 aileron=250.5 rudder=1000 throttle=400 "
        "step_s=0.25 sweep_s=90 sweep_from_hz=0.2 sweep_to_hz=3 dead_band=500 attitude_limit_deg=12.5");
    EXPECT_STREQ(s.folder, "C:/logs/flight");
    EXPECT_EQ(s.bankToken, 57u);
    EXPECT_EQ(s.amplitude[0], 300.0);
    EXPECT_EQ(s.amplitude[1], 250.5);
    EXPECT_EQ(s.amplitude[2], 1000.0);
    EXPECT_EQ(s.amplitude[3], 400.0);
    EXPECT_EQ(s.stepSeconds, 0.25);
    EXPECT_EQ(s.sweepSeconds, 90.0);
    EXPECT_EQ(s.sweepFromHz, 0.2);
    EXPECT_EQ(s.sweepToHz, 3.0);
    EXPECT_EQ(s.deadBand, 500.0);
    EXPECT_EQ(s.attitudeLimitDeg, 12.5);
}

TEST(LoggerSettings, PassesOverUnknownKeysAndBadValues) {
    const LoggerSettings s = readSettings(
        "colour=red elevator=abc aileron=12x rudder=-5 throttle=1e9 step_s=0 sweep_s=inf "
        "sweep_from_hz=nan dead_band= attitude_limit_deg=200 bank_token=7.5 =3 elevator");
    const LoggerSettings d = kDefaultSettings;
    EXPECT_EQ(s.amplitude[0], d.amplitude[0]);
    EXPECT_EQ(s.amplitude[1], d.amplitude[1]);
    EXPECT_EQ(s.amplitude[2], d.amplitude[2]);
    EXPECT_EQ(s.amplitude[3], d.amplitude[3]);
    EXPECT_EQ(s.stepSeconds, d.stepSeconds);
    EXPECT_EQ(s.sweepSeconds, d.sweepSeconds);
    EXPECT_EQ(s.sweepFromHz, d.sweepFromHz);
    EXPECT_EQ(s.deadBand, d.deadBand);
    EXPECT_EQ(s.attitudeLimitDeg, d.attitudeLimitDeg);
    EXPECT_EQ(s.bankToken, d.bankToken);
}

TEST(LoggerSettings, KeysMatchWholeWordsOnly) {
    const LoggerSettings s = readSettings("xelevator=100 elevator_x=100 Elevator=100");
    EXPECT_EQ(s.amplitude[0], 600.0);
}

TEST(LoggerSettings, LastGoodValueOfARepeatedKeyWins) {
    const LoggerSettings s = readSettings("dead_band=300 dead_band=250 dead_band=oops");
    EXPECT_EQ(s.deadBand, 250.0);
}

TEST(LoggerSettings, TooLongAFolderKeepsTheCurrentFolder) {
    const std::string line = "folder=" + std::string(kMaxFolderLength + 1, 'a');
    EXPECT_STREQ(readSettings(line.c_str()).folder, "");
    const std::string longest = "folder=" + std::string(kMaxFolderLength, 'b');
    EXPECT_EQ(std::string(readSettings(longest.c_str()).folder), std::string(kMaxFolderLength, 'b'));
}

}  // namespace
