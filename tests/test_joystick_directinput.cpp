// SPDX-License-Identifier: MIT
//
// The joystick through the system's own DirectInput, on the Windows build
// (under Wine here, where no joystick is attached).
#ifdef _WIN32

#include <gtest/gtest.h>

#include <cstdint>

#include "control/controller.h"
#include "hostif/host_interface.h"
#include "input/joystick.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

class SystemDirectInput : public ModuleTest {};

TEST_F(SystemDirectInput, InstallFramesAndKillTwiceOverMoveNoSetPointWithoutAJoystick) {
    const uintptr_t instance = reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        controller.forward.setPoint = 1.5;
        controller.right.setPoint = -0.75;
        controller.turn.setPoint = 0.5;
        controller.targetHeightFt = 250.0;

        handleService(&hoverGauge, kServicePreInstall, instance);
        EXPECT_NE(directInput, nullptr);
        if (joystickDevice != nullptr) {
            handleService(&hoverGauge, kServicePreKill, 0);
            GTEST_SKIP() << "a joystick is attached to this machine, so its stick may move the set points";
        }
        for (int frame = 0; frame < 20; ++frame) {
            handleService(&hoverGauge, kServicePreUpdate, 0);
        }
        EXPECT_EQ(controller.forward.setPoint, 1.5);
        EXPECT_EQ(controller.right.setPoint, -0.75);
        EXPECT_EQ(controller.turn.setPoint, 0.5);
        EXPECT_EQ(controller.targetHeightFt, 250.0);

        handleService(&hoverGauge, kServicePreKill, 0);
        EXPECT_EQ(directInput, nullptr);
        EXPECT_EQ(joystickDevice, nullptr);
        EXPECT_EQ(joystickDevice2, nullptr);
    }
}

}  // namespace

#endif
