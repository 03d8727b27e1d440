// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "control/controller.h"
#include "hostif/host_interface.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

constexpr double kFtS = 0.3047999902464003;   // m/s per ft/s
constexpr double kRotationTolerance = 1e-12;  // m/s, for headings whose sine or cosine is inexact

void frame() {
    handleService(&hoverGauge, kServicePreUpdate, 0);
}

void setLoop(AxisLoop& loop, double filteredError, double errorRate, double integral) {
    loop.filteredError = filteredError;
    loop.errorRate = errorRate;
    loop.integral = integral;
}

void expectSameLoop(const AxisLoop& a, const AxisLoop& b) {
    EXPECT_EQ(a.setPoint, b.setPoint);
    EXPECT_EQ(a.measurement, b.measurement);
    EXPECT_EQ(a.filteredError, b.filteredError);
    EXPECT_EQ(a.errorRate, b.errorRate);
    EXPECT_EQ(a.integral, b.integral);
    EXPECT_EQ(a.Kpr, b.Kpr);
    EXPECT_EQ(a.Tv, b.Tv);
    EXPECT_EQ(a.Tn, b.Tn);
}

void expectSameState(const ControllerState& a, const ControllerState& b) {
    expectSameLoop(a.up, b.up);
    expectSameLoop(a.forward, b.forward);
    expectSameLoop(a.right, b.right);
    expectSameLoop(a.turn, b.turn);
    EXPECT_EQ(a.targetHeightFt, b.targetHeightFt);
    EXPECT_EQ(a.systemPowerOn, b.systemPowerOn);
    EXPECT_EQ(a.guardOpen, b.guardOpen);
    EXPECT_EQ(a.hoverEngaged, b.hoverEngaged);
}

const std::vector<HostCall> kDisengagedReads = {
    readOf(kTokenSimulationTime), readOf(kTokenOperating),        readOf(kTokenHeading),
    readOf(kTokenVelocityNorth),  readOf(kTokenVelocityEast),     readOf(kTokenVerticalSpeed),
    readOf(kTokenYawRate),        readOf(kTokenAileronPosition),  readOf(kTokenElevatorPosition),
    readOf(kTokenRudderPosition), readOf(kTokenThrottlePosition),
};

class ControlLoops : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        testHost().set(kTokenOperating, 100.0);
    }

    // Frame time steps of 1/16 s are exact in binary.
    static void advanceTime(double from, double to) {
        hostVars.time.value = from;
        testHost().set(kTokenSimulationTime, to);
    }

    static void engage() {
        controller.systemPowerOn = 1;
        controller.guardOpen = 1;
        controller.hoverEngaged = 1;
    }
};

TEST_F(ControlLoops, PausedHostChangesNothingYetKeepsSendingTheSameCommands) {
    engage();
    controller.systemPowerOn = 0;  // would drop the hold, were the check to run
    setLoop(controller.turn, 1.0, 0.0, 0.0);
    setLoop(controller.right, -1.0, 0.0, 0.0);
    setLoop(controller.forward, 1.0, 0.0, 0.0);
    setLoop(controller.up, 0.0, 0.0, -20.0);
    advanceTime(10.0, 10.0);
    testHost().set(kTokenPitch, 2.0);
    const ControllerState before = controller;

    frame();
    frame();

    expectSameState(controller, before);
    EXPECT_EQ(+hostVars.time.value, 10.0);
    const std::vector<HostCall> oneFrame = {
        readOf(kTokenSimulationTime),
        eventOf(kEventRudder, 500),      // 500 × 1
        eventOf(kEventAileron, -1000),   // 1000 × −1
        eventOf(kEventElevator, -1000),  // −1000 × 1
        eventOf(kEventThrottle, 10000),  // −2000 × (−20 / 4)
        readOf(kTokenPitch),
    };
    std::vector<HostCall> twoFrames = oneFrame;
    twoFrames.insert(twoFrames.end(), oneFrame.begin(), oneFrame.end());
    EXPECT_EQ(testHost().trace(), twoFrames);
}

TEST_F(ControlLoops, PausedHostWithPitchBeyondEitherLimitOverridesTheElevatorLast) {
    engage();
    setLoop(controller.forward, 1.0, 0.0, 0.0);
    advanceTime(10.0, 10.0);

    testHost().set(kTokenPitch, 10.5);
    frame();
    EXPECT_EQ(testHost().trace(), (std::vector<HostCall>{
                                      readOf(kTokenSimulationTime),
                                      eventOf(kEventRudder, 0),
                                      eventOf(kEventAileron, 0),
                                      eventOf(kEventElevator, -1000),
                                      eventOf(kEventThrottle, 5000),
                                      readOf(kTokenPitch),
                                      eventOf(kEventElevator, -6000),
                                  }));

    testHost().clearTrace();
    testHost().set(kTokenPitch, -12.0);
    frame();
    EXPECT_EQ(testHost().trace(), (std::vector<HostCall>{
                                      readOf(kTokenSimulationTime),
                                      eventOf(kEventRudder, 0),
                                      eventOf(kEventAileron, 0),
                                      eventOf(kEventElevator, -1000),
                                      eventOf(kEventThrottle, 5000),
                                      readOf(kTokenPitch),
                                      eventOf(kEventElevator, 6000),
                                  }));
}

TEST_F(ControlLoops, FirstDisengagedFrameEstimatesThenPresetsTheIntegralsFromTheControls) {
    advanceTime(0.0, 0.0625);  // the first step is the whole simulation time
    testHost().set(kTokenHeading, 0.0);
    testHost().set(kTokenVelocityNorth, 10.0);
    testHost().set(kTokenVerticalSpeed, -2.0);
    testHost().set(kTokenAileronPosition, 600.0);
    testHost().set(kTokenElevatorPosition, -300.0);
    testHost().set(kTokenRudderPosition, 250.0);
    testHost().set(kTokenThrottlePosition, 11000.0);

    frame();

    EXPECT_EQ(testHost().trace(), kDisengagedReads);
    EXPECT_EQ(+hostVars.time.value, 0.0625);
    EXPECT_EQ(controller.forward.measurement, 3.047999902464003);
    EXPECT_EQ(controller.forward.filteredError, 1.3715999561088013);
    EXPECT_EQ(controller.forward.errorRate, 6.583679789322247);
    EXPECT_EQ(controller.right.measurement, 0.0);
    EXPECT_EQ(controller.up.measurement, -0.6095999804928006);
    EXPECT_EQ(controller.up.filteredError, -0.27431999122176026);
    EXPECT_EQ(controller.up.errorRate, -1.3167359578644495);
    EXPECT_EQ(controller.turn.measurement, 0.0);
    // Integral term alone = control position: I = Tn × position / Kpr.
    EXPECT_EQ(controller.turn.integral, 0.5);     // 1 × 250 / 500
    EXPECT_EQ(controller.right.integral, 1.2);    // 2 × 600 / 1000
    EXPECT_EQ(controller.forward.integral, 0.6);  // 2 × −300 / −1000
    EXPECT_EQ(controller.up.integral, -22.0);     // 4 × 11000 / −2000, outside the bounds
    EXPECT_EQ(controller.hoverEngaged, 0);
}

TEST_F(ControlLoops, EngagedFrameReadsInStepOrderAndSendsTheFourCommands) {
    engage();
    controller.targetHeightFt = 100.0;
    controller.forward.setPoint = 0.5;
    controller.turn.setPoint = 0.25;
    setLoop(controller.forward, 0.8, 0.1, 0.3);
    setLoop(controller.right, -0.4, -0.05, -0.2);
    setLoop(controller.up, -0.2, 0.0, -20.0);
    setLoop(controller.turn, 0.2, 0.1, 2.0);
    advanceTime(10.0, 10.0625);
    testHost().set(kTokenRadarHeight, 30.0);
    testHost().set(kTokenHeading, 0.0);
    testHost().set(kTokenVelocityNorth, 5.0);
    testHost().set(kTokenVelocityEast, -2.0);
    testHost().set(kTokenVerticalSpeed, 1.0);
    testHost().set(kTokenYawRate, 100.0);
    testHost().set(kTokenPitch, 3.0);

    frame();

    EXPECT_EQ(testHost().trace(), (std::vector<HostCall>{
                                      readOf(kTokenSimulationTime),
                                      readOf(kTokenOperating),
                                      readOf(kTokenRadarHeight),
                                      readOf(kTokenHeading),
                                      readOf(kTokenVelocityNorth),
                                      readOf(kTokenVelocityEast),
                                      readOf(kTokenVerticalSpeed),
                                      readOf(kTokenYawRate),
                                      eventOf(kEventRudder, 1414),
                                      eventOf(kEventAileron, -4511),
                                      eventOf(kEventElevator, -5331),
                                      eventOf(kEventThrottle, 9344),
                                      readOf(kTokenPitch),
                                  }));
    EXPECT_EQ(controller.hoverEngaged, 1);
    EXPECT_EQ(controller.up.setPoint, 0.39369999999999905);  // (100 − 30 × 3.28084) × 0.25
    // Forward: |R| = 0.55 > 0.5, so the reset rule zeroes the integral.
    EXPECT_EQ(controller.forward.filteredError, 0.9007999780544007);
    EXPECT_EQ(controller.forward.errorRate, 0.5538398946611233);
    EXPECT_EQ(controller.forward.integral, 0.0);
    // Right: |R| below 0.5 keeps the integrated value.
    EXPECT_EQ(controller.right.filteredError, -0.4943199912217603);
    EXPECT_EQ(controller.right.errorRate, -0.48773595786444934);
    EXPECT_EQ(controller.right.integral, -0.23089499945136002);
    EXPECT_EQ(controller.up.filteredError, -0.15000500438911946);
    EXPECT_EQ(controller.up.errorRate, 0.2399759789322267);
    EXPECT_EQ(controller.up.integral, -20.00937531277432);
    EXPECT_EQ(controller.turn.measurement, 0.54931640625);  // 100 × 360 / 65536
    EXPECT_EQ(controller.turn.filteredError, 0.2446923828125);
    EXPECT_EQ(controller.turn.errorRate, 0.2845234375);
    EXPECT_EQ(controller.turn.integral, 2.0152932739257814);
}

TEST_F(ControlLoops, OperatingReadingOfExactlyTwentyDropsTheHoldAndPresetsInTheSameFrame) {
    engage();
    advanceTime(10.0, 10.0625);
    testHost().set(kTokenOperating, 20.0);
    testHost().set(kTokenThrottlePosition, 9000.0);
    testHost().set(kTokenPitch, 50.0);

    frame();

    EXPECT_EQ(controller.hoverEngaged, 0);
    EXPECT_EQ(controller.up.integral, -18.0);         // 4 × 9000 / −2000
    EXPECT_EQ(testHost().trace(), kDisengagedReads);  // no height, no pitch, no event
}

TEST_F(ControlLoops, OperatingReadingJustAboveTwentyKeepsTheHold) {
    engage();
    advanceTime(10.0, 10.0625);
    testHost().set(kTokenOperating, 20.000001);
    frame();
    EXPECT_EQ(controller.hoverEngaged, 1);
    ASSERT_GE(testHost().trace().size(), 3u);
    EXPECT_EQ(testHost().trace()[2], readOf(kTokenRadarHeight));
    EXPECT_EQ(testHost().events().size(), 4u);
}

TEST_F(ControlLoops, SwitchingOffWhileEngagedDropsTheHoldAtTheNextAdvancedFrame) {
    engage();
    controller.systemPowerOn = 0;
    controller.up.setPoint = 1.5;
    advanceTime(10.0, 10.0625);
    testHost().set(kTokenRadarHeight, 0.0);  // height hold would ask for +2
    testHost().set(kTokenRudderPosition, -1000.0);
    frame();
    EXPECT_EQ(controller.hoverEngaged, 0);
    EXPECT_EQ(controller.up.setPoint, 1.5);
    EXPECT_EQ(controller.turn.integral, -2.0);  // 1 × −1000 / 500
    EXPECT_EQ(testHost().trace(), kDisengagedReads);
}

TEST_F(ControlLoops, BodySpeedsFollowTheHeading) {
    advanceTime(0.0, 0.0625);
    testHost().set(kTokenHeading, 0.0);
    testHost().set(kTokenVelocityEast, 10.0);
    frame();
    EXPECT_EQ(controller.forward.measurement, 0.0);
    EXPECT_EQ(controller.right.measurement, 10.0 * kFtS);

    advanceTime(0.0625, 0.125);
    testHost().set(kTokenHeading, 90.0);
    frame();
    EXPECT_NEAR(controller.forward.measurement, 3.047999902464003, kRotationTolerance);
    EXPECT_NEAR(controller.right.measurement, 0.0, kRotationTolerance);

    // Facing east while moving north: the aircraft drifts to its left.
    advanceTime(0.125, 0.1875);
    testHost().set(kTokenVelocityEast, 0.0);
    testHost().set(kTokenVelocityNorth, 10.0);
    frame();
    EXPECT_NEAR(controller.forward.measurement, 0.0, kRotationTolerance);
    EXPECT_NEAR(controller.right.measurement, -3.047999902464003, kRotationTolerance);

    // Heading 30: north 10 and east 20 ft/s.
    advanceTime(0.1875, 0.25);
    testHost().set(kTokenHeading, 30.0);
    testHost().set(kTokenVelocityEast, 20.0);
    frame();
    EXPECT_NEAR(controller.forward.measurement, (10.0 * 0.8660254037844387 + 20.0 * 0.5) * kFtS,
                kRotationTolerance);
    EXPECT_NEAR(controller.right.measurement, (20.0 * 0.8660254037844387 - 10.0 * 0.5) * kFtS,
                kRotationTolerance);
}

TEST_F(ControlLoops, FilteredErrorApproachesAConstantErrorByTheSameFactorWhateverTheStep) {
    // e = 1 m/s on the vertical loop: 1 ft/s is not exact, so the set point
    // is placed one below the measured speed.
    testHost().set(kTokenVerticalSpeed, 1.0);
    controller.up.setPoint = 1.0 * kFtS - 1.0;
    advanceTime(0.0, 0.44999999999999996);
    frame();
    EXPECT_EQ(controller.up.filteredError, 0.44999999999999996);
    // (0.45 / 0.45) × 0.30000000000000004: the rate weight is 1 − 0.7 in double.
    EXPECT_EQ(controller.up.errorRate, 0.30000000000000004);

    advanceTime(0.44999999999999996, 0.6999999999999999);
    frame();
    EXPECT_EQ(controller.up.filteredError, 0.6975);  // 0.45 + 0.45 × 0.55

    resetController();
    controller.up.setPoint = 1.0 * kFtS - 1.0;
    advanceTime(0.0, 3.0);
    frame();
    advanceTime(3.0, 3.0078125);
    frame();
    EXPECT_EQ(controller.up.filteredError, 0.6975);
}

TEST_F(ControlLoops, NegativeTimeStepIsUsedAsItComes) {
    testHost().set(kTokenVerticalSpeed, 1.0);
    controller.up.setPoint = 1.0 * kFtS - 1.0;
    advanceTime(10.0, 9.9375);
    frame();
    EXPECT_EQ(+hostVars.time.value, 9.9375);
    EXPECT_EQ(controller.up.filteredError, 0.44999999999999996);
    EXPECT_EQ(controller.up.errorRate, -2.16);  // (0.45 / −0.0625) × 0.3
}

class IntegralRules : public ControlLoops {
protected:
    void SetUp() override {
        ControlLoops::SetUp();
        engage();
        advanceTime(10.0, 10.0625);
        // Height hold asks for exactly 0 m/s: 30.47999902464003 m times
        // 3.28084 is exactly the 100 ft target.
        testHost().set(kTokenRadarHeight, 30.47999902464003);
    }
};

// 0.7142857142857143 × 0.7 is exactly 0.5, and with e = E = 1 the filtered
// error stays exactly 1, so the new rate is exactly 0.5.
constexpr double kRateGivingHalf = 0.7142857142857143;

TEST_F(IntegralRules, RateOfExactlyHalfKeepsForwardAndRightIntegratingButHoldsTurn) {
    testHost().set(kTokenVelocityNorth, 1.0);
    controller.forward.setPoint = 1.0 * kFtS - 1.0;
    setLoop(controller.forward, 1.0, kRateGivingHalf, 3.0);
    testHost().set(kTokenVelocityEast, 1.0);
    controller.right.setPoint = 1.0 * kFtS + 1.0;
    setLoop(controller.right, -1.0, -kRateGivingHalf, 3.0);
    testHost().set(kTokenYawRate, 1024.0);  // 5.625 deg/s
    controller.turn.setPoint = 4.625;
    setLoop(controller.turn, 1.0, kRateGivingHalf, 3.0);

    frame();

    EXPECT_EQ(controller.forward.errorRate, 0.5);
    EXPECT_EQ(controller.forward.integral, 3.0625);  // 1 × 0.0625 + 3
    EXPECT_EQ(controller.right.errorRate, -0.5);
    EXPECT_EQ(controller.right.integral, 2.9375);
    EXPECT_EQ(controller.turn.errorRate, 0.5);
    EXPECT_EQ(controller.turn.integral, 3.0);  // held, and within ±12

    // Held, but still limited.
    advanceTime(10.0625, 10.125);
    setLoop(controller.turn, 1.0, kRateGivingHalf, -20.0);
    frame();
    EXPECT_EQ(controller.turn.integral, -12.0);
}

TEST_F(IntegralRules, ForwardAndRightIntegralsHaveNoBound) {
    setLoop(controller.forward, 0.0, 0.0, 5000.0);
    setLoop(controller.right, 0.0, 0.0, -5000.0);
    frame();
    EXPECT_EQ(controller.forward.integral, 5000.0);
    EXPECT_EQ(controller.right.integral, -5000.0);
}

TEST_F(IntegralRules, UpAndTurnPresetsOutsideTheBoundsAreLimitedOnlyByTheFirstEngagedFrame) {
    controller.hoverEngaged = 0;
    testHost().set(kTokenThrottlePosition, 16000.0);  // 4 × 16000 / −2000 = −32
    testHost().set(kTokenRudderPosition, 7000.0);     // 1 × 7000 / 500 = 14
    frame();
    EXPECT_EQ(controller.up.integral, -32.0);
    EXPECT_EQ(controller.turn.integral, 14.0);

    advanceTime(10.0625, 10.125);
    frame();
    EXPECT_EQ(controller.up.integral, -32.0);
    EXPECT_EQ(controller.turn.integral, 14.0);

    pressEngage();
    advanceTime(10.125, 10.1875);
    testHost().clearTrace();
    frame();
    EXPECT_EQ(controller.up.integral, -30.0);   // lo = 4 × 15000 / −2000
    EXPECT_EQ(controller.turn.integral, 12.0);  // hi = 1 × 6000 / 500
    // Integral term −30 / 4 × −2000 = 15000 and 12 / 1 × 500 = 6000 before
    // the proportional and derivative terms, which are 0 here.
    const std::vector<HostCall> events = testHost().events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], eventOf(kEventRudder, 6000));
    EXPECT_EQ(events[3], eventOf(kEventThrottle, 15000));
}

TEST_F(IntegralRules, WithLowerBoundAboveUpperTheLimitAlwaysGivesTheUpperBound) {
    // A flipped KprUp: lo = 4 × 15000 / 2000 = 30, hi = 4 × 5000 / 2000 = 10.
    controller.up.Kpr = 2000.0;
    // A flipped KprTurn: lo = 1 × −6000 / −500 = 12, hi = 1 × 6000 / −500 = −12.
    controller.turn.Kpr = -500.0;
    for (double start : {0.0, 20.0, 40.0, -40.0}) {
        setLoop(controller.up, 0.0, 0.0, start);
        setLoop(controller.turn, 0.0, 0.0, start);
        hostVars.time.value = 10.0;
        frame();
        EXPECT_EQ(controller.up.integral, 10.0) << "from " << start;
        EXPECT_EQ(controller.turn.integral, -12.0) << "from " << start;
    }
}

}  // namespace
