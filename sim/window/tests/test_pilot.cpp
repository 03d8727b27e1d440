// SPDX-License-Identifier: MIT
//
// The pilot's keys and controller on the helicopter's controls and on the
// gauge's stick.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sim/window/pilot.h"

namespace window {
namespace {

constexpr double kFrame = 1.0 / 18.0;
constexpr double kTolerance = 1e-9;

TEST(PilotOnTheHelicopter, KeysMoveTheControlsFromWhereTheyStandAtTheirRate) {
    Pilot pilot;
    host::ControlPositions c;
    c.elevator = 1000.0;  // where the hold's last command left it
    c.throttle = 8000.0;
    PilotKeys keys;
    keys.forward = true;
    keys.collectiveDown = true;
    EXPECT_TRUE(pilot.frame(kFrame, keys, ControllerState{}, c));
    // A quarter of the travel (2 x 16383, 16384) per second.
    EXPECT_NEAR(c.elevator, 1000.0 + 0.25 * 32766.0 / 18.0, kTolerance);
    EXPECT_NEAR(c.throttle, 8000.0 - 0.25 * 16384.0 / 18.0, kTolerance);
    EXPECT_DOUBLE_EQ(c.aileron, 0.0);
    // No key, no controller: nothing moves, so the hold's commands stand.
    const host::ControlPositions before = c;
    EXPECT_FALSE(pilot.frame(kFrame, PilotKeys{}, ControllerState{}, c));
    EXPECT_DOUBLE_EQ(c.elevator, before.elevator);
}

TEST(PilotOnTheHelicopter, ControlsStopAtTheirAxisLimits) {
    Pilot pilot;
    host::ControlPositions c;
    c.throttle = 16300.0;
    c.rudder = -16300.0;
    PilotKeys keys;
    keys.collectiveUp = true;
    keys.pedalRight = true;
    pilot.frame(1.0, keys, ControllerState{}, c);
    EXPECT_DOUBLE_EQ(c.throttle, kCollectiveLimit);
    EXPECT_DOUBLE_EQ(c.rudder, -kCyclicLimit);
}

TEST(PilotOnTheHelicopter, AControllerMovesAControlOnlyWhenItsStickMoves) {
    Pilot pilot;
    host::ControlPositions c;
    c.elevator = 3000.0;
    ControllerState pad;
    pad.present = true;
    pad.leftY = 0.5;  // held back when first seen
    // The first reading only takes note: the control keeps the hold's value.
    EXPECT_FALSE(pilot.frame(kFrame, PilotKeys{}, pad, c));
    EXPECT_DOUBLE_EQ(c.elevator, 3000.0);
    // Within the null zone: still nothing.
    pad.leftY = 0.505;
    EXPECT_FALSE(pilot.frame(kFrame, PilotKeys{}, pad, c));
    // Pushed fully forward: full forward cyclic.
    pad.leftY = -1.0;
    EXPECT_TRUE(pilot.frame(kFrame, PilotKeys{}, pad, c));
    EXPECT_DOUBLE_EQ(c.elevator, kCyclicLimit);
    // Pushed left: left cyclic, which is positive.
    pad.leftX = -1.0;
    pilot.frame(kFrame, PilotKeys{}, pad, c);
    EXPECT_DOUBLE_EQ(c.aileron, kCyclicLimit);
}

TEST(PilotOnTheHelicopter, ABrokenControllerReadingMovesNothing) {
    Pilot pilot;
    host::ControlPositions c;
    ControllerState pad;
    pad.present = true;
    pilot.frame(kFrame, PilotKeys{}, pad, c);
    pad.leftY = std::numeric_limits<double>::quiet_NaN();
    pad.rightTrigger = std::numeric_limits<double>::infinity();
    pilot.frame(kFrame, PilotKeys{}, pad, c);
    EXPECT_TRUE(std::isfinite(c.elevator));
    EXPECT_TRUE(std::isfinite(c.throttle));
    EXPECT_DOUBLE_EQ(c.elevator, 0.0);
}

TEST(PilotOnTheGaugeStick, KeysAreTheStickAndTheHeightButtons) {
    Pilot pilot;
    pilot.assign(Assignment::kGaugeStick);
    host::ControlPositions c;
    PilotKeys keys;
    keys.forward = true;
    keys.left = true;
    keys.pedalRight = true;
    keys.collectiveUp = true;
    EXPECT_FALSE(pilot.frame(kFrame, keys, ControllerState{}, c));
    EXPECT_TRUE(pilot.stickMoved());
    EXPECT_DOUBLE_EQ(pilot.stick().forward, 1.0);
    EXPECT_DOUBLE_EQ(pilot.stick().right, -1.0);
    EXPECT_DOUBLE_EQ(pilot.stick().twist, 1.0);
    EXPECT_TRUE(pilot.stick().heightUp);
    // The helicopter's controls are not touched.
    EXPECT_DOUBLE_EQ(c.elevator, 0.0);
    EXPECT_DOUBLE_EQ(c.throttle, 0.0);
    // Held still: no new position to send.
    pilot.frame(kFrame, keys, ControllerState{}, c);
    EXPECT_FALSE(pilot.stickMoved());
}

TEST(PilotOnTheGaugeStick, SwitchingBackLetsGoOfTheStickInTheNextFrame) {
    Pilot pilot;
    pilot.assign(Assignment::kGaugeStick);
    host::ControlPositions c;
    PilotKeys keys;
    keys.right = true;
    keys.collectiveDown = true;
    pilot.frame(kFrame, keys, ControllerState{}, c);
    pilot.assign(Assignment::kHelicopter);
    // The keys now fly the helicopter, and the stick is sent centred.
    pilot.frame(kFrame, keys, ControllerState{}, c);
    EXPECT_TRUE(pilot.stickMoved());
    EXPECT_DOUBLE_EQ(pilot.stick().right, 0.0);
    EXPECT_FALSE(pilot.stick().heightDown);
    EXPECT_LT(c.aileron, 0.0);
    pilot.frame(kFrame, keys, ControllerState{}, c);
    EXPECT_FALSE(pilot.stickMoved());
}

TEST(DeadZone, RestsInsideAndReachesFullDeflection) {
    EXPECT_DOUBLE_EQ(outsideDeadZone(0.05), 0.0);
    EXPECT_DOUBLE_EQ(outsideDeadZone(-kStickDeadZone), 0.0);
    EXPECT_DOUBLE_EQ(outsideDeadZone(1.0), 1.0);
    EXPECT_DOUBLE_EQ(outsideDeadZone(-2.0), -1.0);
    EXPECT_DOUBLE_EQ(outsideDeadZone(std::numeric_limits<double>::quiet_NaN()), 0.0);
}

}  // namespace
}  // namespace window
