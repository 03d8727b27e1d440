// SPDX-License-Identifier: MIT
//
// The module's DirectInput is the scripted stand-in on both targets: on
// Windows its dinput.dll, loaded in place of the system's. These tests make
// sure the joystick tests cannot pass against a DirectInput that is not the
// stand-in (such as Wine's built-in one, which has no joystick to open).
#include <gtest/gtest.h>

#include <cstdint>

#include "control/controller.h"
#include "fake_dinput.h"
#include "hostif/host_interface.h"
#include "input/joystick.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

const uintptr_t kInstance = 0x1000;

class ModuleDirectInput : public ModuleTest {};

TEST_F(ModuleDirectInput, EveryCallTheModuleMakesReachesTheStandInAndIsCountedLoggedOrNot) {
    ASSERT_TRUE(fakeplatform::isStandIn());
    fakeplatform::attachJoystick();
    ASSERT_EQ(fakeplatform::callCount(), 0u);

    // Create, enumerate, create the device, query the second interface, data
    // format, cooperative level, three ranges, acquire.
    handleService(&hoverGauge, kServicePreInstall, kInstance);
    ASSERT_NE(joystickDevice, nullptr);
    EXPECT_EQ(fakeplatform::callLog().size(), 10u);
    EXPECT_EQ(fakeplatform::callCount(), 10u);

    // A frame polls and reads the state: two more calls, with the log off.
    fakeplatform::setCallLogEnabled(false);
    handleService(&hoverGauge, kServicePreUpdate, 0);
    EXPECT_EQ(fakeplatform::callCount(), 12u);
    EXPECT_EQ(fakeplatform::callLog().size(), 10u);

    handleService(&hoverGauge, kServicePreKill, 0);
    EXPECT_EQ(fakeplatform::heldReferences(), 0);
}

TEST_F(ModuleDirectInput, InstallFramesAndKillTwiceOverMoveNoSetPointWithoutAJoystick) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        controller.forward.setPoint = 1.5;
        controller.right.setPoint = -0.75;
        controller.turn.setPoint = 0.5;
        controller.targetHeightFt = 250.0;

        handleService(&hoverGauge, kServicePreInstall, kInstance);
        EXPECT_NE(directInput, nullptr);
        EXPECT_EQ(joystickDevice, nullptr);
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
        EXPECT_EQ(fakeplatform::heldReferences(), 0);
    }
}

}  // namespace
