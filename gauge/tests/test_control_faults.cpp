// SPDX-License-Identifier: MIT
//
// Host readings that are not numbers, and gains of zero from a parameter
// string: the loops must stay finite and recover, and no axis may receive a
// command that is not a number.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "control/controller.h"
#include "hostif/host_interface.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kFtS = 0.3047999902464003;

void frame() {
    handleService(&hoverGauge, kServicePreUpdate, 0);
}

bool loopIsFinite(const AxisLoop& loop) {
    return std::isfinite(loop.measurement) && std::isfinite(loop.filteredError)
           && std::isfinite(loop.errorRate) && std::isfinite(loop.integral);
}

class BadReadings : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        testHost().set(kTokenOperating, 100.0);
        controller.systemPowerOn = 1;
        controller.guardOpen = 1;
        // 100 ft exactly: height hold asks for 0 m/s.
        testHost().set(kTokenRadarHeight, 30.47999902464003);
        hostVars.time.value = 10.0;
    }

    // Every loop with e = 1 from zero state: each measurement is one above
    // its set point.
    static void unitErrors() {
        testHost().set(kTokenHeading, 0.0);
        testHost().set(kTokenVelocityNorth, 1.0);
        testHost().set(kTokenVelocityEast, 1.0);
        testHost().set(kTokenVerticalSpeed, 1.0);
        testHost().set(kTokenYawRate, 1024.0);  // 5.625 deg/s
        controller.forward.setPoint = 1.0 * kFtS - 1.0;
        controller.right.setPoint = 1.0 * kFtS - 1.0;
        controller.up.setPoint = 1.0 * kFtS - 1.0;
        controller.turn.setPoint = 4.625;
    }

    static void step(double to) {
        testHost().set(kTokenSimulationTime, to);
        frame();
    }
};

TEST_F(BadReadings, TimeThatIsNotANumberEndsTheStepAndTheNextGoodTimeMeasuresFromTheLastGoodOne) {
    unitErrors();
    controller.hoverEngaged = 1;
    for (double badTime : {kNaN, kInfinity, -kInfinity}) {
        testHost().clearTrace();
        const ControllerState before = controller;
        step(badTime);
        EXPECT_EQ(+hostVars.time.value, 10.0);
        EXPECT_EQ(controller.forward.filteredError, before.forward.filteredError);
        EXPECT_EQ(controller.hoverEngaged, 1);
        // Like a paused host: nothing but the time read, and the commands.
        ASSERT_FALSE(testHost().trace().empty());
        EXPECT_EQ(testHost().trace()[0], readOf(kTokenSimulationTime));
        EXPECT_EQ(testHost().trace()[1].kind, HostCall::kEvent);
    }
    step(10.25);
    EXPECT_EQ(+hostVars.time.value, 10.25);
    EXPECT_EQ(controller.forward.filteredError, 0.44999999999999996);
    EXPECT_EQ(controller.forward.errorRate, 0.44999999999999996 / 0.25 * 0.30000000000000004);
}

TEST_F(BadReadings, TimeStepTooLargeForADoubleEndsTheStepButKeepsTheNewTime) {
    controller.hoverEngaged = 1;
    hostVars.time.value = -1.0e308;
    step(1.0e308);
    EXPECT_EQ(+hostVars.time.value, 1.0e308);
    EXPECT_EQ(controller.up.filteredError, 0.0);
    EXPECT_EQ(testHost().trace()[1].kind, HostCall::kEvent);
}

TEST_F(BadReadings, HeadingOrHorizontalVelocityNotANumberSkipsForwardAndRightForThatFrameOnly) {
    unitErrors();
    step(10.0625);
    const AxisLoop forwardBefore = controller.forward;
    const AxisLoop rightBefore = controller.right;
    const double upBefore = controller.up.filteredError;

    for (uint32_t token : {kTokenHeading, kTokenVelocityNorth, kTokenVelocityEast}) {
        const double good = testHost().get(token);
        testHost().set(token, kNaN);
        step(hostVars.time.value + 0.0625);
        EXPECT_EQ(controller.forward.measurement, forwardBefore.measurement) << token;
        EXPECT_EQ(controller.forward.filteredError, forwardBefore.filteredError) << token;
        EXPECT_EQ(controller.forward.errorRate, forwardBefore.errorRate) << token;
        EXPECT_EQ(controller.forward.integral, forwardBefore.integral) << token;
        EXPECT_EQ(controller.right.filteredError, rightBefore.filteredError) << token;
        EXPECT_EQ(controller.right.integral, rightBefore.integral) << token;
        testHost().set(token, good);
    }
    // Up went on filtering meanwhile, and the next good frame continues
    // Forward from where it stood: 0.45 + 0.45 × 0.55.
    EXPECT_NE(controller.up.filteredError, upBefore);
    step(hostVars.time.value + 0.0625);
    EXPECT_EQ(controller.forward.filteredError, 0.6975);
    EXPECT_EQ(controller.right.filteredError, 0.6975);
}

TEST_F(BadReadings, InfiniteVelocitySkipsBothHorizontalLoops) {
    testHost().set(kTokenVelocityNorth, kInfinity);
    testHost().set(kTokenVerticalSpeed, 1.0);
    step(10.0625);
    EXPECT_EQ(controller.forward.measurement, 0.0);
    EXPECT_EQ(controller.right.measurement, 0.0);
    EXPECT_EQ(controller.up.measurement, 1.0 * kFtS);
}

TEST_F(BadReadings, VerticalSpeedOrYawRateNotANumberSkipsOnlyItsOwnLoop) {
    controller.hoverEngaged = 1;
    unitErrors();
    testHost().set(kTokenVerticalSpeed, kNaN);
    testHost().set(kTokenYawRate, -kInfinity);
    controller.up.integral = -20.0;
    controller.turn.integral = 3.0;
    step(10.0625);
    EXPECT_EQ(controller.up.filteredError, 0.0);
    EXPECT_EQ(controller.up.integral, -20.0);
    EXPECT_EQ(controller.up.measurement, 0.0);
    EXPECT_EQ(controller.turn.filteredError, 0.0);
    EXPECT_EQ(controller.turn.integral, 3.0);
    EXPECT_EQ(controller.forward.filteredError, 0.44999999999999996);

    testHost().set(kTokenVerticalSpeed, 1.0);
    testHost().set(kTokenYawRate, 1024.0);
    step(10.125);
    // Height hold asks for 0 m/s, so the vertical error is the 1 ft/s itself.
    EXPECT_EQ(controller.up.filteredError, kFtS * 0.44999999999999996);
    EXPECT_EQ(controller.turn.filteredError, 0.44999999999999996);
    const std::vector<HostCall> events = testHost().events();
    for (const HostCall& call : events) {
        EXPECT_GE(call.value, -6000);
        EXPECT_LE(call.value, 15000);
    }
}

TEST_F(BadReadings, RadarHeightNotANumberKeepsTheVerticalSetPoint) {
    controller.hoverEngaged = 1;
    controller.up.setPoint = 0.75;
    testHost().set(kTokenRadarHeight, kNaN);
    testHost().set(kTokenVerticalSpeed, 1.0);
    step(10.0625);
    EXPECT_EQ(controller.up.setPoint, 0.75);
    EXPECT_TRUE(loopIsFinite(controller.up));
}

TEST_F(BadReadings, ControlPositionNotANumberLeavesThatIntegralAsTheLoopLeftIt) {
    controller.hoverEngaged = 0;
    testHost().set(kTokenAileronPosition, 600.0);
    testHost().set(kTokenThrottlePosition, 11000.0);
    step(10.0625);
    EXPECT_EQ(controller.right.integral, 1.2);

    testHost().set(kTokenAileronPosition, kNaN);
    testHost().set(kTokenThrottlePosition, 9000.0);
    step(10.125);
    EXPECT_EQ(controller.right.integral, 1.2);  // zero error: the update kept it
    EXPECT_EQ(controller.up.integral, -18.0);
}

TEST_F(BadReadings, OperatingReadingNotANumberDropsTheHold) {
    controller.hoverEngaged = 1;
    testHost().set(kTokenOperating, kNaN);
    step(10.0625);
    EXPECT_EQ(controller.hoverEngaged, 0);
}

class ZeroGains : public BadReadings {};

TEST_F(ZeroGains, ZeroProportionalGainSkipsPresetAndBoundsAndLeavesTheAxisToThePilot) {
    // A parameter string with "KprUp0" and "KprTurn0".
    controller.up.Kpr = 0.0;
    controller.turn.Kpr = 0.0;
    controller.hoverEngaged = 0;
    controller.up.integral = -20.0;
    controller.turn.integral = 2.0;
    testHost().set(kTokenThrottlePosition, 11000.0);
    testHost().set(kTokenRudderPosition, 0.0);  // 0 / 0
    step(10.0625);
    EXPECT_EQ(controller.up.integral, -20.0);
    EXPECT_EQ(controller.turn.integral, 2.0);

    // Engaged: unbounded integrals, no command for throttle or rudder.
    pressEngage();
    unitErrors();
    testHost().clearTrace();
    step(10.125);
    EXPECT_EQ(controller.up.integral, kFtS * 0.44999999999999996 * 0.0625 - 20.0);
    EXPECT_TRUE(loopIsFinite(controller.up));
    EXPECT_TRUE(loopIsFinite(controller.turn));
    const std::vector<HostCall> events = testHost().events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].id, uint32_t{kEventAileron});
    EXPECT_EQ(events[1].id, uint32_t{kEventElevator});
}

TEST_F(ZeroGains, ZeroIntegralTimeHoldsUpAndTurnIntegralsAtZeroAndKeepsTheLoopDriving) {
    // "TnUp0": bounds 0 × 15000 / −2000 and 0 × 5000 / −2000 are both 0,
    // and the preset 0 × position / Kpr is 0.
    controller.up.Tn = 0.0;
    controller.turn.Tn = 0.0;
    controller.hoverEngaged = 0;
    testHost().set(kTokenThrottlePosition, 11000.0);
    step(10.0625);
    EXPECT_EQ(controller.up.integral, 0.0);

    pressEngage();
    unitErrors();
    testHost().clearTrace();
    step(10.125);
    EXPECT_EQ(controller.up.integral, 0.0);
    EXPECT_EQ(controller.turn.integral, 0.0);
    const std::vector<HostCall> events = testHost().events();
    ASSERT_EQ(events.size(), 4u);
    // Turn: 500 × ((0 + 2 × R) + E) with E = 0.45 and R = 0.45 / 0.0625 × 0.3.
    EXPECT_EQ(events[0], eventOf(kEventRudder, 2385));
}

TEST_F(ZeroGains, EveryGainZeroBeforeTheFirstResetSendsNothingAndStaysFinite) {
    controller = ControllerState{};
    controller.hoverEngaged = 1;
    controller.systemPowerOn = 1;
    controller.guardOpen = 1;
    unitErrors();
    testHost().set(kTokenThrottlePosition, 11000.0);
    step(10.0625);
    step(10.125);
    EXPECT_TRUE(loopIsFinite(controller.up));
    EXPECT_TRUE(loopIsFinite(controller.forward));
    EXPECT_TRUE(loopIsFinite(controller.right));
    EXPECT_TRUE(loopIsFinite(controller.turn));
    EXPECT_TRUE(testHost().events().empty());
}

}  // namespace
