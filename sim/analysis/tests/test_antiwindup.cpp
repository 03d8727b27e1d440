// SPDX-License-Identifier: MIT
//
// The anti-windup observer on short hand-computed traces: which engaged
// updates drop the Forward and Right integrals or freeze the Turn
// integral, and the command step each reset gave.
#include <gtest/gtest.h>

#include <string>

#include "sim/analysis/antiwindup.h"

namespace {

constexpr double kCounts = 1e-9;  // axis counts: the arithmetic is exact to rounding
constexpr double kShare = 1e-12;

const char* const kHeader =
    "frame,sim_time,engaged,hdg_86,vn_554,ve_555,yaw_70,elev_309,ail_311,rud_314,set_forward,set_right,set_"
    "turn,"
    "actions\n";

// One row at rest (no speed, no yaw rate) with the given time, engagement,
// elevator position and set points.
std::string row(double t, int engaged, const std::string& sets, const std::string& actions = "") {
    return "0," + std::to_string(t) + "," + std::to_string(engaged) + ",0,0,0,0,-1000,500,200," + sets + ",\""
           + actions + "\"\n";
}

TEST(AntiWindupObserver, CountsResetsAndFreezesInEngagedUpdatesAndTheStepOfEachReset) {
    // Default gains: Forward Kpr -1000, Tv 8, Tn 2; Right 1000, 8, 2; Turn
    // 500, 2, 1. The measurements stay 0, so each raw error is minus its set
    // point; updates 0.1 s apart.
    const std::string trace = std::string(kHeader) + row(0.0, 0, "0,0,0")  // time not advanced: nothing runs
                              + row(0.1, 0, "0,0,0")  // presets: Forward 2, Right 1, Turn 0.4
                              + row(0.2, 1, "1,0.1,0.2", "click a, b")           // engaged
                              + row(0.3, 1, "1,0.1,2") + row(0.3, 1, "1,0.1,2")  // paused: not an update
                              + row(0.4, 1, "1,0.1,2")
                              + row(0.5, 0, ",,");  // let go; blank set points keep their value
    const analysis::AntiWindupStats s = analysis::observeAntiWindup(trace, analysis::defaultGains());
    ASSERT_TRUE(s.read) << s.error;
    EXPECT_EQ(s.updates, 5);
    EXPECT_EQ(s.engagedUpdates, 3);

    // Forward, e = -1: E -0.45, -0.6975, -0.833625; R -1.35, -1.6875,
    // -1.589625, over 0.5 each time. Before each reset I is the preset 2 plus
    // E dt (1.955), then E dt alone (-0.06975, -0.0833625): steps of
    // 1000 I / 2 = 977.5, 34.875 and 41.68125 counts.
    EXPECT_EQ(s.forward.resets, 3);
    EXPECT_NEAR(s.forward.share, 1.0, kShare);
    EXPECT_NEAR(s.forward.largestStepCounts, 977.5, kCounts);
    EXPECT_NEAR(s.forward.medianStepCounts, 41.68125, kCounts);

    // Right, e = -0.1: R -0.135, -0.16875, -0.1589625: never reset.
    EXPECT_EQ(s.right.resets, 0);
    EXPECT_DOUBLE_EQ(s.right.share, 0.0);
    EXPECT_DOUBLE_EQ(s.right.largestStepCounts, 0.0);

    // Turn: e = -0.2 gives R -0.27 (integrates); the set point's jump to 2
    // gives R -2.7675, then -3.355425: frozen in two of three.
    EXPECT_EQ(s.turnFrozen, 2);
    EXPECT_NEAR(s.turnFrozenShare, 2.0 / 3.0, kShare);
}

TEST(AntiWindupObserver, TheMedianOfAnEvenCountIsTheMeanOfTheMiddleTwo) {
    // Two resets only: Forward steps of 977.5 and 34.875 counts.
    const std::string trace =
        std::string(kHeader) + row(0.1, 0, "0,0,0") + row(0.2, 1, "1,0,0") + row(0.3, 1, "1,0,0");
    const analysis::AntiWindupStats s = analysis::observeAntiWindup(trace, analysis::defaultGains());
    ASSERT_TRUE(s.read) << s.error;
    EXPECT_EQ(s.forward.resets, 2);
    EXPECT_NEAR(s.forward.medianStepCounts, (977.5 + 34.875) / 2.0, kCounts);
}

TEST(AntiWindupObserver, ATraceItCannotReadSaysWhereAndCountsNothing) {
    const analysis::Gains g = analysis::defaultGains();
    EXPECT_EQ(analysis::observeAntiWindup("", g).error, "the trace is empty");
    EXPECT_EQ(analysis::observeAntiWindup("frame,sim_time\n0,0\n", g).error,
              "the trace has no column hdg_86");
    const analysis::AntiWindupStats bad =
        analysis::observeAntiWindup(std::string(kHeader) + row(0.1, 0, "0,0,0") + row(0.2, 1, "x,0,0"), g);
    EXPECT_FALSE(bad.read);
    EXPECT_EQ(bad.error, "row 3: set_forward is not a number: 'x'");
    EXPECT_EQ(analysis::observeAntiWindup(std::string(kHeader) + "0,0.1,1\n", g).error,
              "row 2: 3 fields, the header has 14");
}

}  // namespace
