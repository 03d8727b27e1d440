// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "control/controller.h"
#include "input/joystick.h"
#include "input/mouse.h"
#include "tests/test_host.h"

namespace {

class JoystickMapping : public ModuleTest {
protected:
    static DIJOYSTATE reading(int32_t x, int32_t y, int32_t z, int32_t rz) {
        DIJOYSTATE state{};
        state.lX = x;
        state.lY = y;
        state.lZ = z;
        state.lRz = rz;
        return state;
    }

    static void setPoints(double forward, double right, double turn) {
        controller.forward.setPoint = forward;
        controller.right.setPoint = right;
        controller.turn.setPoint = turn;
    }
};

TEST_F(JoystickMapping, TheFirstCentredFrameWritesOnlyTheLateralSetPoint) {
    setPoints(1.5, 1.5, 1.5);
    applyJoystickReading(reading(32768, 25, 40, -25));
    EXPECT_EQ(controller.right.setPoint, 0.0);
    EXPECT_EQ(controller.forward.setPoint, 1.5);
    EXPECT_EQ(controller.turn.setPoint, 1.5);
    EXPECT_EQ(lastStickX, 32768);
    EXPECT_EQ(lastStickY, 25);
    EXPECT_EQ(lastStickRz, -25);
    EXPECT_EQ(joystickZ, 40);
}

TEST_F(JoystickMapping, EachAxisMapsOntoItsSetPointByItsFormula) {
    applyJoystickReading(reading(65535, 8192, 0, 8192));
    EXPECT_EQ(controller.turn.setPoint, 2.0);
    EXPECT_EQ(controller.forward.setPoint, -2.0);
    EXPECT_EQ(controller.right.setPoint, 1.99993896484375);

    applyJoystickReading(reading(0, -8192, 0, -8192));
    EXPECT_EQ(controller.turn.setPoint, -2.0);
    EXPECT_EQ(controller.forward.setPoint, 2.0);
    EXPECT_EQ(controller.right.setPoint, -2.0);

    // Rz 1000: 2000 / 8192; Y -3000: 6000 / 8192; X 40000: 14464 / 32768.
    applyJoystickReading(reading(40000, -3000, 0, 1000));
    EXPECT_EQ(controller.turn.setPoint, 0.244140625);
    EXPECT_EQ(controller.forward.setPoint, 0.732421875);
    EXPECT_EQ(controller.right.setPoint, 0.44140625);
}

TEST_F(JoystickMapping, ReadingsAtTheEndsOfTheIntegerRangeMapWithoutOverflow) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    applyJoystickReading(reading(kMax, kMin, kMax, kMax));
    // 2 × (2^31 − 1) / 2^13; 2^32 / 2^13; (2^32 − 2 − 2^16) / 2^15.
    EXPECT_EQ(controller.turn.setPoint, 524287.999755859375);
    EXPECT_EQ(controller.forward.setPoint, 524288.0);
    EXPECT_EQ(controller.right.setPoint, 131069.99993896484375);

    applyJoystickReading(reading(kMin, kMax, kMin, kMin));
    EXPECT_EQ(controller.turn.setPoint, -524288.0);
    EXPECT_EQ(controller.forward.setPoint, -524287.999755859375);
    EXPECT_EQ(controller.right.setPoint, -131074.0);
    EXPECT_EQ(joystickZ, kMin);
}

TEST_F(JoystickMapping, TheDeadBandsCompareWithThePreviousFrameNotTheLastWrite) {
    applyJoystickReading(reading(30000, 0, 0, 0));
    setPoints(1.5, 1.5, 1.5);

    // Moves of exactly the dead band, frame after frame, never write.
    for (int frame = 1; frame <= 40; ++frame) {
        applyJoystickReading(reading(30000 + 100 * frame, 25 * frame, 0, -25 * frame));
    }
    EXPECT_EQ(controller.forward.setPoint, 1.5);
    EXPECT_EQ(controller.right.setPoint, 1.5);
    EXPECT_EQ(controller.turn.setPoint, 1.5);
    EXPECT_EQ(lastStickX, 34000);
    EXPECT_EQ(lastStickY, 1000);
    EXPECT_EQ(lastStickRz, -1000);

    // One unit more in a frame writes.
    applyJoystickReading(reading(34101, 1026, 0, -1026));
    EXPECT_EQ(controller.right.setPoint, (2.0 * 34101 - 65536) / 32768);
    EXPECT_EQ(controller.forward.setPoint, -2052.0 / 8192);
    EXPECT_EQ(controller.turn.setPoint, -2052.0 / 8192);
}

TEST_F(JoystickMapping, SlowTravelNeverWritesAndFasterTravelWritesEveryFrame) {
    controller.forward.setPoint = 0.75;
    for (int y = 20; y <= 8000; y += 20) {
        applyJoystickReading(reading(0, y, 0, 0));
    }
    EXPECT_EQ(controller.forward.setPoint, 0.75);
    EXPECT_EQ(lastStickY, 8000);

    resetModuleState();
    for (int y = 30; y <= 8010; y += 30) {
        controller.forward.setPoint = 0.75;
        applyJoystickReading(reading(0, y, 0, 0));
        ASSERT_EQ(controller.forward.setPoint, -2.0 * y / 8192) << y;
    }
}

TEST_F(JoystickMapping, AMouseSetValueHoldsUntilTheStickMovesBeyondItsDeadBandInOneFrame) {
    applyJoystickReading(reading(32768, 0, 0, 0));
    controller.forward.setPoint = 1.25;
    for (int i = 0; i < 6; ++i) {
        forwardSetUp(nullptr, 0);
    }
    EXPECT_EQ(controller.forward.setPoint, 2.0);

    for (int frame = 0; frame < 10; ++frame) {
        applyJoystickReading(reading(32768, frame % 2 == 0 ? 0 : -25, 0, 0));
    }
    EXPECT_EQ(controller.forward.setPoint, 2.0);

    applyJoystickReading(reading(32768, -26 - 25, 0, 0));
    EXPECT_EQ(controller.forward.setPoint, 102.0 / 8192);
}

TEST_F(JoystickMapping, ButtonsTwoAndThreeStepTheHeightAndTheClampHoldsInEveryFrame) {
    DIJOYSTATE up = reading(0, 0, 0, 0);
    up.rgbButtons[2] = 0x80;
    DIJOYSTATE down = reading(0, 0, 0, 0);
    down.rgbButtons[3] = 0x01;
    DIJOYSTATE both = up;
    both.rgbButtons[3] = 0xFF;
    DIJOYSTATE others = reading(0, 0, 0, 0);
    others.rgbButtons[0] = 0x80;
    others.rgbButtons[1] = 0x80;
    others.rgbButtons[4] = 0x80;
    const DIJOYSTATE none = reading(0, 0, 0, 0);

    for (int frame = 0; frame < 5; ++frame) {
        applyJoystickReading(up);
    }
    EXPECT_EQ(controller.targetHeightFt, 105.0);
    applyJoystickReading(down);
    EXPECT_EQ(controller.targetHeightFt, 104.0);
    applyJoystickReading(both);
    EXPECT_EQ(controller.targetHeightFt, 104.0);
    applyJoystickReading(others);
    EXPECT_EQ(controller.targetHeightFt, 104.0);

    struct Case {
        double from;
        const DIJOYSTATE* state;
        double to;
    } const cases[] = {
        {998.5, &up, 999.0}, {999.0, &up, 999.0},    {10.0, &down, 10.0},   {10.5, &down, 10.0},
        {5.0, &none, 10.0},  {2000.0, &none, 999.0}, {999.0, &none, 999.0}, {9.5, &up, 10.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        controller.targetHeightFt = c.from;
        applyJoystickReading(*c.state);
        EXPECT_EQ(controller.targetHeightFt, c.to);
    }
}

TEST_F(JoystickMapping, TheStickMovesSetPointsWhateverTheSwitchesSay) {
    controller.systemPowerOn = 0;
    controller.guardOpen = 0;
    controller.hoverEngaged = 0;
    DIJOYSTATE state = reading(49152, -4096, 0, 4096);
    state.rgbButtons[2] = 1;
    applyJoystickReading(state);
    EXPECT_EQ(controller.right.setPoint, 1.0);
    EXPECT_EQ(controller.forward.setPoint, 1.0);
    EXPECT_EQ(controller.turn.setPoint, 1.0);
    EXPECT_EQ(controller.targetHeightFt, 101.0);
}

TEST_F(JoystickMapping, WithoutAJoystickFramesHandBackThePreviousAxesAndMoveNothing) {
    DIJOYSTATE moved = reading(50000, 3000, 70, -2000);
    moved.rgbButtons[2] = 0x80;
    applyJoystickReading(moved);
    setPoints(0.5, -0.5, 1.0);
    controller.targetHeightFt = 250.0;

    const DIJOYSTATE held = pollJoystick();
    DIJOYSTATE expected{};
    expected.lX = 50000;
    expected.lY = 3000;
    expected.lZ = 70;
    expected.lRz = -2000;
    EXPECT_EQ(std::memcmp(&held, &expected, sizeof held), 0);

    for (int frame = 0; frame < 5; ++frame) {
        applyJoystick(nullptr);
    }
    EXPECT_EQ(controller.forward.setPoint, 0.5);
    EXPECT_EQ(controller.right.setPoint, -0.5);
    EXPECT_EQ(controller.turn.setPoint, 1.0);
    EXPECT_EQ(controller.targetHeightFt, 250.0);
    EXPECT_EQ(joystickZ, 70);
}

TEST_F(JoystickMapping, WithNothingOpenAcquiringReportsOneAndReleasingIsHarmlessTwice) {
    EXPECT_EQ(acquireJoystick(), 1);
    EXPECT_EQ(releaseJoystick(), 0);
    EXPECT_EQ(releaseJoystick(), 0);
    EXPECT_EQ(directInput, nullptr);
    EXPECT_EQ(joystickDevice, nullptr);
    EXPECT_EQ(joystickDevice2, nullptr);

    EXPECT_EQ(setModuleInstance(nullptr), 0);
    EXPECT_EQ(moduleInstance, nullptr);
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(uintptr_t{0x10000});
    EXPECT_EQ(setModuleInstance(instance), 1);
    EXPECT_EQ(moduleInstance, instance);
}

}  // namespace
