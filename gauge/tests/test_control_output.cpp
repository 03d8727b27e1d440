// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <limits>
#include <utility>
#include <vector>

#include "control/controller.h"
#include "hostif/host_interface.h"
#include "tests/test_host.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class AxisOutput : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        controller.systemPowerOn = 1;
        controller.guardOpen = 1;
        controller.hoverEngaged = 1;
    }

    // A loop whose command is its filtered error: Kpr 1, no rate, no integral.
    static void commandDirectly(AxisLoop& loop, double u) {
        loop.Kpr = 1.0;
        loop.Tv = 0.0;
        loop.errorRate = 0.0;
        loop.integral = 0.0;
        loop.filteredError = u;
    }

    static int32_t sentValue(uint32_t eventId) {
        for (const HostCall& call : testHost().events()) {
            if (call.id == eventId) {
                return call.value;
            }
        }
        ADD_FAILURE() << "no event " << eventId;
        return 0;
    }
};

TEST_F(AxisOutput, DisengagedHoldReadsNothingAndSendsNothing) {
    controller.hoverEngaged = 0;
    controller.forward.filteredError = 1.0;
    testHost().set(kTokenPitch, 45.0);
    sendAxisCommands();
    EXPECT_TRUE(testHost().trace().empty());
}

TEST_F(AxisOutput, EngagedHoldSendsRudderAileronElevatorThrottleThenReadsPitch) {
    controller.forward.filteredError = 1.0;  // default gains: −1000 × 1
    controller.right.errorRate = 0.125;      // 1000 × 8 × 0.125
    controller.turn.integral = -3.0;         // 500 × −3 / 1
    controller.up.integral = -25.0;          // −2000 × −25 / 4
    testHost().set(kTokenPitch, 10.0);
    sendAxisCommands();
    EXPECT_EQ(testHost().trace(), (std::vector<HostCall>{
                                      eventOf(kEventRudder, -1500),
                                      eventOf(kEventAileron, 1000),
                                      eventOf(kEventElevator, -1000),
                                      eventOf(kEventThrottle, 12500),
                                      readOf(kTokenPitch),
                                  }));

    testHost().clearTrace();
    testHost().set(kTokenPitch, -10.0);
    sendAxisCommands();
    EXPECT_EQ(testHost().events().size(), 4u);
}

TEST_F(AxisOutput, LawAddsIntegralAndRateTermsFirstThenTheErrorThenScales) {
    // ((2^53 / 1) + (1 × 1)) + −2^53 is 0 in double, while any other grouping
    // or scaling each term first leaves about 1000.
    controller.turn.integral = 9007199254740992.0;
    controller.turn.Tn = 1.0;
    controller.turn.Tv = 1.0;
    controller.turn.errorRate = 1.0;
    controller.turn.filteredError = -9007199254740992.0;
    controller.turn.Kpr = 1000.0;
    sendAxisCommands();
    EXPECT_EQ(sentValue(kEventRudder), 0);
}

TEST_F(AxisOutput, CommandsAreTruncatedTowardZeroThenLimited) {
    const std::vector<std::pair<double, int32_t>> surfaceCases = {
        {5999.9, 5999},   {6000.0, 6000},   {6000.9, 6000},    {-0.7, 0},        {0.7, 0},
        {-5999.9, -5999}, {-6000.9, -6000}, {-6001.0, -6000},  {-1000.5, -1000}, {3.0e9, 6000},
        {-3.0e9, -6000},  {1.0e300, 6000},  {-1.0e300, -6000},
    };
    for (const auto& [u, expected] : surfaceCases) {
        commandDirectly(controller.turn, u);
        commandDirectly(controller.right, u);
        commandDirectly(controller.forward, u);
        testHost().clearTrace();
        sendAxisCommands();
        EXPECT_EQ(sentValue(kEventRudder), expected) << "u = " << u;
        EXPECT_EQ(sentValue(kEventAileron), expected) << "u = " << u;
        EXPECT_EQ(sentValue(kEventElevator), expected) << "u = " << u;
    }

    const std::vector<std::pair<double, int32_t>> throttleCases = {
        {4999.9, 5000},   {5000.9, 5000}, {9999.99, 9999}, {14999.9, 14999}, {15000.0, 15000},
        {15000.7, 15000}, {0.0, 5000},    {-1.0e20, 5000}, {1.0e20, 15000},
    };
    for (const auto& [u, expected] : throttleCases) {
        commandDirectly(controller.up, u);
        testHost().clearTrace();
        sendAxisCommands();
        EXPECT_EQ(sentValue(kEventThrottle), expected) << "u = " << u;
    }
}

TEST_F(AxisOutput, PitchGuardOverridesTheElevatorLastBeyondTenDegreesOnly) {
    controller.forward.filteredError = 1.0;
    const std::vector<std::pair<double, std::vector<int32_t>>> cases = {
        {10.0, {-1000}},        {10.5, {-1000, -6000}},      {-10.0, {-1000}},
        {-12.0, {-1000, 6000}}, {kInfinity, {-1000, -6000}}, {kNaN, {-1000}},
    };
    for (const auto& [pitch, elevatorValues] : cases) {
        testHost().set(kTokenPitch, pitch);
        testHost().clearTrace();
        sendAxisCommands();
        std::vector<int32_t> sent;
        for (const HostCall& call : testHost().events()) {
            if (call.id == kEventElevator) {
                sent.push_back(call.value);
            }
        }
        EXPECT_EQ(sent, elevatorValues) << "pitch " << pitch;
        EXPECT_EQ(testHost().trace().back().id,
                  elevatorValues.size() > 1 ? uint32_t{kEventElevator} : uint32_t{kTokenPitch});
    }
}

TEST_F(AxisOutput, ZeroIntegralTimeMeansNoIntegralAction) {
    controller.turn.Tn = 0.0;
    controller.turn.integral = 7.0;  // would be infinite over a zero Tn
    controller.turn.errorRate = 0.25;
    controller.turn.filteredError = 1.5;
    controller.up.Tn = 0.0;
    controller.up.integral = 0.0;  // 0 / 0 would be NaN
    controller.up.filteredError = -4.0;
    sendAxisCommands();
    EXPECT_EQ(sentValue(kEventRudder), 1000);    // 500 × (2 × 0.25 + 1.5)
    EXPECT_EQ(sentValue(kEventThrottle), 8000);  // −2000 × −4
}

TEST_F(AxisOutput, LoopWithZeroGainOrNoFiniteCommandLeavesItsAxisToThePilot) {
    controller.turn.Kpr = 0.0;  // nothing but 0, whatever the error
    controller.turn.filteredError = 3.0;
    controller.right.Tn = 1.0e-300;  // I / Tn overflows
    controller.right.integral = 1.0e10;
    controller.forward.filteredError = 1.0;
    controller.up.Kpr = 0.0;  // would pin the collective at 5000
    testHost().set(kTokenPitch, 11.0);
    sendAxisCommands();
    EXPECT_EQ(testHost().trace(), (std::vector<HostCall>{
                                      eventOf(kEventElevator, -1000),
                                      readOf(kTokenPitch),
                                      eventOf(kEventElevator, -6000),
                                  }));
}

TEST_F(AxisOutput, GainsNeverSetLeaveEveryAxisToThePilot) {
    // Before the first reset or parameter reading every gain is 0.
    controller = ControllerState{};
    controller.hoverEngaged = 1;
    controller.up.filteredError = 1.0;
    sendAxisCommands();
    EXPECT_EQ(testHost().trace(), (std::vector<HostCall>{readOf(kTokenPitch)}));
}

}  // namespace
