// SPDX-License-Identifier: MIT
//
// Joystick faults the fuzzers found, kept as tests. Each runs in a child
// process, so that a module that still crashes fails this test and not the
// whole suite.
#include <gtest/gtest.h>

#include <cstdlib>

#include "fake_dinput.h"
#include "input/joystick.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

class JoystickRegression : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        fakeplatform::attachJoystick();
    }
};

// Found by fuzz_joystick: a DirectInputCreateA that reports success
// (S_FALSE) but hands over no object. The module went on to call
// EnumDevices through the null pointer and crashed the host at pre-install.
TEST_F(JoystickRegression, ADirectInputThatSucceedsWithoutAnObjectOpensNoJoystick) {
    fakeplatform::failCall(fakeplatform::DiCall::kDirectInputCreate, S_FALSE);
    EXPECT_EXIT(
        {
            handleService(&hoverGauge, kServicePreInstall, 0);
            handleService(&hoverGauge, kServicePreUpdate, 0);
            handleService(&hoverGauge, kServicePreKill, 0);
            std::exit(joystickDevice == nullptr && fakeplatform::heldReferences() == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
