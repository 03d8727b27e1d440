// SPDX-License-Identifier: MIT
//
// The controller flying a small plant through the test host. Each axis
// accelerates its own speed with the host's senses: positive elevator is
// forward cyclic (accelerates forward), positive aileron is left cyclic
// (accelerates left), positive rudder is left pedal (yaws toward decreasing
// heading, while token 70 is positive for increasing heading), more throttle
// is more collective (accelerates up). With the default gains every loop
// must settle at its set point; a sign error in any gain, error or axis
// drives that loop away instead.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "control/controller.h"
#include "hostif/host_interface.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

constexpr double kFtS = 0.3047999902464003;   // m/s per ft/s
constexpr double kYawUnit = 0.0054931640625;  // deg/s per token-70 unit
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kFrameS = 1.0 / 18.0;  // the host's panel rate

constexpr double kSpeedTolerance = 0.01;    // m/s
constexpr double kYawRateTolerance = 0.01;  // deg/s
constexpr double kHeightToleranceFt = 0.5;

struct Plant {
    // Body-axis speeds, m/s; yaw rate in deg/s, positive toward increasing heading.
    double forward = -1.0;
    double right = 1.0;
    double up = 0.0;
    double yawRate = -2.0;
    double headingDeg = 30.0;
    double heightM = 25.0;  // 82 ft, under the 100 ft target
    double time = 0.0;
    double elevator = 0.0;
    double aileron = 0.0;
    double rudder = 0.0;
    double throttle = 10000.0;  // hover trim

    void serve() const {
        const double psi = headingDeg * kDegToRad;
        const double north = forward * std::cos(psi) - right * std::sin(psi);
        const double east = forward * std::sin(psi) + right * std::cos(psi);
        TestHost& host = testHost();
        host.set(kTokenSimulationTime, time);
        host.set(kTokenOperating, 100.0);
        host.set(kTokenHeading, headingDeg);
        host.set(kTokenVelocityNorth, north / kFtS);
        host.set(kTokenVelocityEast, east / kFtS);
        host.set(kTokenVerticalSpeed, up / kFtS);
        host.set(kTokenYawRate, yawRate / kYawUnit);
        host.set(kTokenRadarHeight, heightM);
        host.set(kTokenPitch, 0.0);
        host.set(kTokenElevatorPosition, elevator);
        host.set(kTokenAileronPosition, aileron);
        host.set(kTokenRudderPosition, rudder);
        host.set(kTokenThrottlePosition, throttle);
    }

    void takeCommands() {
        for (const HostCall& call : testHost().events()) {
            const double value = call.value;
            switch (call.id) {
            case kEventElevator:
                elevator = value;
                break;
            case kEventAileron:
                aileron = value;
                break;
            case kEventRudder:
                rudder = value;
                break;
            case kEventThrottle:
                throttle = value;
                break;
            default:
                break;
            }
        }
        testHost().clearTrace();
    }

    // Control power and damping per axis; a steady yawing moment needs a
    // trim pedal of −100 and drag needs cyclic to hold a drift, so the
    // integrals have work to do.
    void advance() {
        forward += kFrameS * (0.0005 * elevator - 0.1 * forward);
        right += kFrameS * (-0.0005 * aileron - 0.1 * right);
        yawRate += kFrameS * (-0.002 * rudder - 0.5 * yawRate + 0.3);
        up += kFrameS * (0.0005 * (throttle - 10000.0) - 0.3 * up);
        heightM += kFrameS * up;
        headingDeg += kFrameS * yawRate;
        time += kFrameS;
    }

    void fly(int frames) {
        for (int i = 0; i < frames; ++i) {
            advance();
            serve();
            handleService(&hoverGauge, kServicePreUpdate, 0);
            takeCommands();
        }
    }
};

class ClosedLoop : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        togglePower();  // on; target 100 ft
    }
};

TEST_F(ClosedLoop, EveryLoopSettlesAtItsSetPointFromAnOffset) {
    controller.forward.setPoint = 0.5;
    controller.right.setPoint = -0.5;
    controller.turn.setPoint = 1.0;
    Plant plant;
    plant.fly(5);
    pressEngage();  // opens the guard
    pressEngage();  // engages
    ASSERT_EQ(controller.hoverEngaged, 1);

    plant.fly(120 * 18);

    EXPECT_EQ(controller.hoverEngaged, 1);
    EXPECT_NEAR(plant.forward, 0.5, kSpeedTolerance);
    EXPECT_NEAR(plant.right, -0.5, kSpeedTolerance);
    EXPECT_NEAR(plant.yawRate, 1.0, kYawRateTolerance);
    EXPECT_NEAR(plant.heightM * 3.28084, 100.0, kHeightToleranceFt);
    EXPECT_NEAR(plant.rudder, -100.0, 2.0);  // the trim pedal, found by the integral
}

TEST_F(ClosedLoop, EngagingStartsEachAxisFromWhereItsControlStands) {
    Plant plant;
    plant.forward = 0.0;
    plant.right = 0.0;
    plant.yawRate = 0.0;
    plant.heightM = 100.0 / 3.28084;
    plant.elevator = 300.0;
    plant.aileron = -200.0;
    plant.rudder = 150.0;
    plant.throttle = 9000.0;
    for (int i = 0; i < 3; ++i) {
        plant.time += kFrameS;
        plant.serve();
        handleService(&hoverGauge, kServicePreUpdate, 0);
    }
    pressEngage();
    pressEngage();
    testHost().clearTrace();
    // A paused frame: the commands come from the presets alone.
    handleService(&hoverGauge, kServicePreUpdate, 0);
    EXPECT_EQ(testHost().events(), (std::vector<HostCall>{
                                       eventOf(kEventRudder, 150),
                                       eventOf(kEventAileron, -200),
                                       eventOf(kEventElevator, 300),
                                       eventOf(kEventThrottle, 9000),
                                   }));
}

}  // namespace
