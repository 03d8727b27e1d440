// SPDX-License-Identifier: MIT
//
// The log's numbers and rows as hoverident reads them: fixed decimals,
// rounded half away from zero, the same bytes on both targets.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "logger/record/log_row.h"
#include "logger/record/number_format.h"

namespace {

std::string fixed(double value, int decimals) {
    char out[kNumberTextSize];
    const size_t length = formatFixed(value, decimals, out);
    EXPECT_EQ(length, std::string(out).size());
    return out;
}

// Halves that a double holds exactly (x.25, x.125, x.5), so the expected
// rounding is the rule's and not a binary representation's.
TEST(NumberFormat, RoundsExactHalvesAwayFromZero) {
    EXPECT_EQ(fixed(12.25, 1), "12.3");
    EXPECT_EQ(fixed(-12.25, 1), "-12.3");
    EXPECT_EQ(fixed(0.125, 2), "0.13");
    EXPECT_EQ(fixed(-0.125, 2), "-0.13");
    EXPECT_EQ(fixed(2.5, 0), "3");
    EXPECT_EQ(fixed(-2.5, 0), "-3");
    EXPECT_EQ(fixed(12.24, 1), "12.2");
}

TEST(NumberFormat, PadsFractionsAndKeepsALeadingZero) {
    EXPECT_EQ(fixed(0.0, 4), "0.0000");
    EXPECT_EQ(fixed(3.0, 6), "3.000000");
    EXPECT_EQ(fixed(0.0625, 4), "0.0625");
    EXPECT_EQ(fixed(-0.0625, 6), "-0.062500");
    EXPECT_EQ(fixed(16383.0, 1), "16383.0");
    EXPECT_EQ(fixed(-16383.0, 1), "-16383.0");
}

TEST(NumberFormat, WritesNoMinusSignForAValueThatRoundsToZero) {
    EXPECT_EQ(fixed(-0.04, 1), "0.0");
    EXPECT_EQ(fixed(-0.0, 6), "0.000000");
}

TEST(NumberFormat, WritesNanForEveryNonFiniteValue) {
    EXPECT_EQ(fixed(std::numeric_limits<double>::quiet_NaN(), 4), "nan");
    EXPECT_EQ(fixed(std::numeric_limits<double>::infinity(), 1), "nan");
    EXPECT_EQ(fixed(-std::numeric_limits<double>::infinity(), 6), "nan");
}

// Beyond 1e9 the magnitude is clamped before it is scaled to a whole
// number, so the integer conversion is always defined.
TEST(NumberFormat, ClampsHugeMagnitudesBeforeTheyBecomeIntegers) {
    EXPECT_EQ(fixed(1e300, 6), "1000000000.000000");
    EXPECT_EQ(fixed(-1e300, 6), "-1000000000.000000");
    EXPECT_EQ(fixed(std::numeric_limits<double>::max(), 4), "1000000000.0000");
}

// The largest fraction below one half must not round up: 0.49999999999999994
// plus 0.5 is exactly 1 in doubles, which a floor(x + 0.5) rule would give.
TEST(NumberFormat, DoesNotRoundUpTheLargestDoubleBelowOneHalf) {
    EXPECT_EQ(fixed(0.49999999999999994, 0), "0");
}

Readings hoverReadings() {
    Readings r{};
    r.simTime = 0.0;
    r.heading = 271.5;
    r.velocityNorth = -1.25;
    r.velocityEast = 0.000001;
    r.verticalSpeed = -0.0000004;
    r.yawRate = -65.5;
    r.pitch = -2.125;
    r.bank = 1.0;
    r.radarHeight = 100.0;
    r.control[0] = 812.25;
    r.control[1] = -230.75;
    r.control[2] = 2900.0;
    r.control[3] = 8900.5;
    r.rotor = std::numeric_limits<double>::quiet_NaN();
    return r;
}

TEST(LogRow, HeaderNamesEveryColumnWithItsToken) {
    char line[kMaxRowLength];
    const size_t length = formatHeader(78, line);
    EXPECT_EQ(std::string(line, length),
              "sim_time:604,heading:86,velocity_north:554,velocity_east:555,vertical_speed:556,"
              "yaw_rate:70,pitch:77,bank:78,radar_height:614,elevator:309,aileron:311,rudder:314,"
              "throttle:128,rotor:755,excited_axis,excitation,input\n");
}

TEST(LogRow, HeaderNamesTheBankTokenOfTheGaugeLine) {
    char line[kMaxRowLength];
    formatHeader(65535, line);
    EXPECT_NE(std::string(line).find(",bank:65535,"), std::string::npos);
}

// Expected cells by hand: time 4 decimals, counts 1, the rest 6; halves
// away from zero; the NaN rotor reading as "nan".
TEST(LogRow, RowWithoutExcitationWritesTheReadings) {
    Readings r = hoverReadings();
    r.simTime = 12.5;
    const Played none{.active = false, .axis = Axis::kElevator, .input = InputKind::kNone, .sentValue = 0.0,
                      .added = 0.0};
    char line[kMaxRowLength];
    const size_t length = formatRow(r, none, line);
    EXPECT_EQ(std::string(line, length),
              "12.5000,271.500000,-1.250000,0.000001,0.000000,-65.500000,-2.125000,1.000000,100.000000,"
              "812.3,-230.8,2900.0,8900.5,nan,none,0.0,none\n");
}

// On the excited axis the control column is the value sent (812 + 600),
// and the excitation column is what was added to the held 812.25.
TEST(LogRow, RowWithExcitationWritesTheSentValueOnItsAxis) {
    Readings r = hoverReadings();
    r.simTime = 0.0625;
    r.rotor = 99.5;
    const Played played{.active = true, .axis = Axis::kAileron, .input = InputKind::kSweep,
                        .sentValue = 370.0, .added = 600.75};
    char line[kMaxRowLength];
    const size_t length = formatRow(r, played, line);
    EXPECT_EQ(std::string(line, length),
              "0.0625,271.500000,-1.250000,0.000001,0.000000,-65.500000,-2.125000,1.000000,100.000000,"
              "812.3,370.0,2900.0,8900.5,99.500000,aileron,600.8,sweep\n");
}

TEST(LogRow, LongestPossibleRowFitsItsBuffer) {
    Readings r{};
    r.simTime = -1e300;
    r.heading = r.velocityNorth = r.velocityEast = r.verticalSpeed = r.yawRate = r.pitch = r.bank =
        r.radarHeight = r.rotor = -1e300;
    for (double& c : r.control) {
        c = -1e300;
    }
    const Played played{.active = true, .axis = Axis::kThrottle, .input = InputKind::kMultiStep,
                        .sentValue = -1e300, .added = -1e300};
    char line[kMaxRowLength];
    const size_t length = formatRow(r, played, line);
    ASSERT_LT(length, kMaxRowLength);
    EXPECT_EQ(line[length - 1], '\n');
    EXPECT_NE(std::string(line).find(",throttle,-1000000000.0,3211\n"), std::string::npos);
}

}  // namespace
