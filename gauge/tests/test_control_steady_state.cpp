// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>

#include "control/controller.h"
#include "hostif/host_interface.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

// From 1, the error filter (× 0.55 a frame) falls below the smallest normal
// double after about 1200 frames and the rate filter (× 0.7) after about
// 2000; by then they either are 0 or stick on the smallest subnormal.
constexpr int kSettlingFrames = 4000;
constexpr double kFrameSeconds = 1.0 / 16.0;  // exact in binary

class SteadyState : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        testHost().set(kTokenOperating, 100.0);
        testHost().set(kTokenRadarHeight, 30.48);
        testHost().set(kTokenVerticalSpeed, 1.0);  // a steady climb: the vertical loop's error stays
    }

    static void flySteadyFrames() {
        for (int k = 1; k <= kSettlingFrames; ++k) {
            testHost().set(kTokenSimulationTime, k * kFrameSeconds);
            handleService(&hoverGauge, kServicePreUpdate, 0);
            testHost().clearTrace();
        }
    }

    static void startFiltersAway(AxisLoop& loop) {
        loop.filteredError = 1.0;
        loop.errorRate = 0.5;
    }
};

TEST_F(SteadyState, FiltersOfUnchangingReadingsSettleOnZeroAndNotOnTheSmallestSubnormal) {
    controller.systemPowerOn = 1;
    controller.guardOpen = 1;
    controller.hoverEngaged = 1;
    startFiltersAway(controller.up);
    startFiltersAway(controller.forward);
    startFiltersAway(controller.right);
    startFiltersAway(controller.turn);

    flySteadyFrames();

    ASSERT_EQ(controller.hoverEngaged, 1);
    // Forward, right and turn read exactly their set points: both filters
    // decay to 0.
    for (const AxisLoop* loop : {&controller.forward, &controller.right, &controller.turn}) {
        EXPECT_EQ(loop->filteredError, 0.0);
        EXPECT_EQ(loop->errorRate, 0.0);
    }
    // The climb keeps the vertical error: its filter settles on a normal
    // value, and only its rate decays.
    EXPECT_EQ(std::fpclassify(controller.up.filteredError), FP_NORMAL);
    EXPECT_EQ(controller.up.errorRate, 0.0);
}

}  // namespace
