// SPDX-License-Identifier: MIT
//
// The module-wide pieces every layer stands on: the limiting rule and the
// return to load time.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "control/controller.h"
#include "control/params.h"
#include "state/clamp.h"
#include "state/state.h"
#include "display/elements.h"
#include "display/readouts.h"
#include "hostif/host_interface.h"
#include "input/joystick.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ClampLowerFirst, KeepsAValueInsideAndGivesTheNearerLimitOutside) {
    EXPECT_EQ(clampLowerFirst(0.5, -2.0, 2.0), 0.5);
    EXPECT_EQ(clampLowerFirst(-2.0, -2.0, 2.0), -2.0);
    EXPECT_EQ(clampLowerFirst(-2.25, -2.0, 2.0), -2.0);
    EXPECT_EQ(clampLowerFirst(2.0, -2.0, 2.0), 2.0);
    EXPECT_EQ(clampLowerFirst(7.0, -2.0, 2.0), 2.0);
    EXPECT_EQ(clampLowerFirst(-kInf, 10.0, 999.0), 10.0);
    EXPECT_EQ(clampLowerFirst(kInf, 10.0, 999.0), 999.0);
}

TEST(ClampLowerFirst, PassesANaNThroughUnchanged) {
    EXPECT_TRUE(std::isnan(clampLowerFirst(kNaN, -3.0, 3.0)));
}

TEST(ClampLowerFirst, WithCrossedLimitsGivesTheLowerOnlyBelowItAndTheUpperOtherwise) {
    EXPECT_EQ(clampLowerFirst(0.0, 5.0, 1.0), 5.0);
    EXPECT_EQ(clampLowerFirst(3.0, 5.0, 1.0), 5.0);
    EXPECT_EQ(clampLowerFirst(6.0, 5.0, 1.0), 1.0);
}

TEST(ClampLowerFirst, KeepsTheSignOfAZeroInside) {
    EXPECT_TRUE(std::signbit(clampLowerFirst(-0.0, -2.0, 2.0)));
}

// Every kind of value the module keeps, moved away from its load value, then
// the one reset.
TEST(LoadState, ResetPutsEveryValueTheModuleKeepsBackAsAFreshLoadHasIt) {
    resetModuleState();
    testHost().install();
    controller.turn.integral = 3.0;
    controller.targetHeightFt = 250.0;
    controller.hoverEngaged = 1;
    hostVars.time.value = 42.0;
    hostVars.yawRate.value = -7.0;
    panelGainFactors[9] = 1.5;
    simWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
    moduleInstance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x5678));
    lastStickX = 32768;
    lastStickY = -100;
    lastStickRz = 100;
    joystickZ = 60;
    leverDisplayFilter = 0.4;
    char parameters[] = "KprUp 2";
    hoverGauge.parameters = parameters;
    screenImage.base.drawFlags |= kDrawHidden;

    resetModuleState();

    EXPECT_EQ(controller.turn.integral, 0.0);
    EXPECT_EQ(controller.targetHeightFt, 0.0);
    EXPECT_EQ(controller.hoverEngaged, 0);
    // Copied out first: the host's records are packed, and a test macro
    // binds a reference to what it compares.
    const double timeValue = hostVars.time.value;
    const double yawRateValue = hostVars.yawRate.value;
    EXPECT_EQ(timeValue, 0.0);
    EXPECT_EQ(yawRateValue, 0.0);
    EXPECT_EQ(hostVars.time.tokenId, kTokenSimulationTime);
    EXPECT_EQ(hostVars.yawRate.tokenId, kTokenYawRate);
    for (double factor : panelGainFactors) {
        EXPECT_EQ(factor, 1.0);
    }
    EXPECT_EQ(simWindow, nullptr);
    EXPECT_EQ(moduleInstance, nullptr);
    EXPECT_EQ(lastStickX, 0);
    EXPECT_EQ(lastStickY, 0);
    EXPECT_EQ(lastStickRz, 0);
    EXPECT_EQ(joystickZ, 0);
    EXPECT_EQ(leverDisplayFilter, 0.0);
    const HostApi* const hostApiAfter = ImportTable.hostApi;
    EXPECT_EQ(hostApiAfter, nullptr);
    const char* const parametersAfter = hoverGauge.parameters;
    EXPECT_EQ(parametersAfter, nullptr);
    EXPECT_EQ(screenImage.base.drawFlags & kDrawHidden, 0u);
}

// After a reset the gains come from the factors of the next pre-install
// only: a panel's factors from an earlier session must not survive.
TEST(LoadState, ResetDropsTheFactorsOfAnEarlierPanel) {
    resetModuleState();
    char parameters[] = "KprUp 2";
    hoverGauge.parameters = parameters;
    readGainParameters(&hoverGauge);

    resetModuleState();
    resetController();

    EXPECT_EQ(controller.up.Kpr, kUpDefaults.Kpr);
}

}  // namespace
