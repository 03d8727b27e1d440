// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "control/controller.h"
#include "hostif/host_interface.h"
#include "tests/test_host.h"

namespace {

constexpr double kTolerance = 1e-12;

// Ground speeds in ft/s whose product with 0.3047999902464003 is exactly the
// engage limit 20.5761316872428 m/s, and exactly the double just below it.
constexpr double kNorthAtLimitFtS = 67.50699588477367;
constexpr double kNorthJustBelowLimitFtS = 67.50699588477366;

class Engagement : public ModuleTest {
protected:
    // Pilot set points away from their centre, so that centring shows.
    static void offsetSetPoints() {
        controller.forward.setPoint = 1.5;
        controller.right.setPoint = -1.25;
        controller.turn.setPoint = 0.75;
        controller.up.setPoint = -1.0;
        controller.targetHeightFt = 250.0;
    }

    static void expectSetPointsKept() {
        EXPECT_EQ(controller.forward.setPoint, 1.5);
        EXPECT_EQ(controller.right.setPoint, -1.25);
        EXPECT_EQ(controller.turn.setPoint, 0.75);
        EXPECT_EQ(controller.up.setPoint, -1.0);
        EXPECT_EQ(controller.targetHeightFt, 250.0);
    }

    // Target 100 ft and the three pilot set points at 0; the vertical set
    // point belongs to height hold and keeps its value.
    static void expectCentred() {
        EXPECT_EQ(controller.forward.setPoint, 0.0);
        EXPECT_EQ(controller.right.setPoint, 0.0);
        EXPECT_EQ(controller.turn.setPoint, 0.0);
        EXPECT_EQ(controller.up.setPoint, -1.0);
        EXPECT_EQ(controller.targetHeightFt, 100.0);
    }

    static void setFlags(int32_t power, int32_t guard, int32_t engaged) {
        controller.systemPowerOn = power;
        controller.guardOpen = guard;
        controller.hoverEngaged = engaged;
    }
};

TEST_F(Engagement, HeightHoldAsksAQuarterMetrePerSecondPerFootAndCapsAtTwo) {
    controller.targetHeightFt = 100.0;

    testHost().set(kTokenRadarHeight, 30.48);  // 100.0000032 ft
    updateHeightHold();
    EXPECT_NEAR(controller.up.setPoint, -8.0e-7, kTolerance);

    testHost().set(kTokenRadarHeight, 30.0);  // 98.4252 ft: 1.5748 ft low
    updateHeightHold();
    EXPECT_NEAR(controller.up.setPoint, 0.3937, kTolerance);

    testHost().set(kTokenRadarHeight, 28.0);  // 91.86352 ft: 8.13648 ft low
    updateHeightHold();
    EXPECT_EQ(controller.up.setPoint, 2.0);

    testHost().set(kTokenRadarHeight, 33.0);  // 108.26772 ft: 8.26772 ft high
    updateHeightHold();
    EXPECT_EQ(controller.up.setPoint, -2.0);

    controller.targetHeightFt = 999.0;
    testHost().set(kTokenRadarHeight, 304.0);  // 997.37536 ft: 1.62464 ft low
    updateHeightHold();
    EXPECT_NEAR(controller.up.setPoint, 0.40616, kTolerance);

    EXPECT_EQ(testHost().trace(), std::vector<HostCall>(5, readOf(kTokenRadarHeight)));
}

TEST_F(Engagement, HeightHoldKeepsTheLastSetPointWhenTheHeightIsNotANumber) {
    controller.targetHeightFt = 100.0;
    testHost().set(kTokenRadarHeight, 30.0);
    updateHeightHold();
    const double before = controller.up.setPoint;

    testHost().set(kTokenRadarHeight, std::numeric_limits<double>::quiet_NaN());
    updateHeightHold();
    EXPECT_EQ(controller.up.setPoint, before);

    // An infinite height is still a height: far too high or far too low.
    testHost().set(kTokenRadarHeight, std::numeric_limits<double>::infinity());
    updateHeightHold();
    EXPECT_EQ(controller.up.setPoint, -2.0);
    testHost().set(kTokenRadarHeight, -std::numeric_limits<double>::infinity());
    updateHeightHold();
    EXPECT_EQ(controller.up.setPoint, 2.0);
}

TEST_F(Engagement, PowerSwitchFlipsEitherWayAndCentresWhetherEngagedOrNot) {
    offsetSetPoints();
    setFlags(0, 1, 1);
    togglePower();
    EXPECT_EQ(controller.systemPowerOn, 1);
    EXPECT_EQ(controller.hoverEngaged, 1);  // the next frame's check decides
    EXPECT_EQ(controller.guardOpen, 1);
    expectCentred();

    offsetSetPoints();
    togglePower();
    EXPECT_EQ(controller.systemPowerOn, 0);
    EXPECT_EQ(controller.hoverEngaged, 1);
    expectCentred();

    offsetSetPoints();
    setFlags(1, 0, 0);
    togglePower();
    EXPECT_EQ(controller.systemPowerOn, 0);
    EXPECT_EQ(controller.guardOpen, 0);
    EXPECT_EQ(controller.hoverEngaged, 0);
    expectCentred();
    EXPECT_TRUE(testHost().trace().empty());
}

TEST_F(Engagement, ClosedGuardOnlyOpensWhetherTheGuardOrTheButtonIsPressed) {
    offsetSetPoints();
    setFlags(1, 0, 0);
    testHost().set(kTokenVelocityNorth, 0.0);
    pressEngage();
    EXPECT_EQ(controller.guardOpen, 1);
    EXPECT_EQ(controller.hoverEngaged, 0);
    expectSetPointsKept();

    setFlags(1, 0, 0);
    toggleGuard();
    EXPECT_EQ(controller.guardOpen, 1);
    EXPECT_EQ(controller.hoverEngaged, 0);
    expectSetPointsKept();
    EXPECT_TRUE(testHost().trace().empty());
}

TEST_F(Engagement, ClosingTheGuardWhileDisengagedChangesNothingElse) {
    offsetSetPoints();
    setFlags(1, 1, 0);
    toggleGuard();
    EXPECT_EQ(controller.guardOpen, 0);
    EXPECT_EQ(controller.hoverEngaged, 0);
    EXPECT_EQ(controller.systemPowerOn, 1);
    expectSetPointsKept();
}

TEST_F(Engagement, ClosingTheGuardWhileEngagedDisengagesAndCentres) {
    offsetSetPoints();
    setFlags(1, 1, 1);
    toggleGuard();
    EXPECT_EQ(controller.guardOpen, 0);
    EXPECT_EQ(controller.hoverEngaged, 0);
    EXPECT_EQ(controller.systemPowerOn, 1);
    expectCentred();
    EXPECT_TRUE(testHost().trace().empty());
}

TEST_F(Engagement, PressingEngageWhileEngagedDisengagesAndCentresWithTheGuardLeftOpen) {
    offsetSetPoints();
    setFlags(1, 1, 1);
    pressEngage();
    EXPECT_EQ(controller.guardOpen, 1);
    EXPECT_EQ(controller.hoverEngaged, 0);
    expectCentred();
    EXPECT_TRUE(testHost().trace().empty());
}

TEST_F(Engagement, PressingEngageReadsEastThenNorthAndEngagesWithoutTouchingSetPoints) {
    offsetSetPoints();
    setFlags(1, 1, 0);
    testHost().set(kTokenVelocityNorth, 30.0);
    testHost().set(kTokenVelocityEast, 40.0);  // 50 ft/s, 15.24 m/s
    pressEngage();
    EXPECT_EQ(controller.hoverEngaged, 1);
    EXPECT_EQ(controller.guardOpen, 1);
    expectSetPointsKept();
    EXPECT_EQ(testHost().trace(),
              (std::vector<HostCall>{readOf(kTokenVelocityEast), readOf(kTokenVelocityNorth)}));
}

TEST_F(Engagement, EngagingNeedsAGroundSpeedStrictlyBelowTheLimit) {
    setFlags(1, 1, 0);
    testHost().set(kTokenVelocityNorth, kNorthAtLimitFtS);
    pressEngage();
    EXPECT_EQ(controller.hoverEngaged, 0);
    EXPECT_EQ(controller.guardOpen, 1);

    testHost().set(kTokenVelocityNorth, 0.0);
    testHost().set(kTokenVelocityEast, -kNorthAtLimitFtS);
    pressEngage();
    EXPECT_EQ(controller.hoverEngaged, 0);

    testHost().set(kTokenVelocityEast, 0.0);
    testHost().set(kTokenVelocityNorth, kNorthJustBelowLimitFtS);
    pressEngage();
    EXPECT_EQ(controller.hoverEngaged, 1);

    // A speed that is not a number is not below the limit.
    setFlags(1, 1, 0);
    testHost().set(kTokenVelocityNorth, std::numeric_limits<double>::quiet_NaN());
    pressEngage();
    EXPECT_EQ(controller.hoverEngaged, 0);
}

TEST_F(Engagement, EngagingIsAcceptedWithThePowerOff) {
    setFlags(0, 1, 0);
    pressEngage();
    EXPECT_EQ(controller.hoverEngaged, 1);
    EXPECT_EQ(controller.systemPowerOn, 0);
}

}  // namespace
