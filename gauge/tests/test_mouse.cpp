// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "control/controller.h"
#include "display/elements.h"
#include "hostif/host_interface.h"
#include "input/mouse.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

class MouseAreas : public ModuleTest {};

constexpr uint32_t kClick = 0x20000000;
constexpr uint32_t kRepeat = 0x20200000;

// The record whose handler is `handler`; the table's end record when none.
const MouseRect& areaOf(MouseHandler handler) {
    for (int i = 0; i < kMouseRectCount; ++i) {
        const MouseHandler h = mouseRects[i].handler;
        if (h == handler) {
            return mouseRects[i];
        }
    }
    ADD_FAILURE() << "no area has this handler";
    return mouseRects[kMouseRectCount - 1];
}

// Centres doubled, so that they stay whole numbers.
int32_t centreX2(const MouseRect& r) {
    return 2 * r.x + r.width;
}

int32_t centreY2(const MouseRect& r) {
    return 2 * r.y + r.height;
}

TEST_F(MouseAreas, TheTableIsOneGroupOfThirteenAreasEachWithAHandlerOfItsOwn) {
    EXPECT_EQ(+hoverGauge.mouseRects, mouseRects);
    EXPECT_EQ(mouseRects[0].kind, kMouseGroupStart);
    EXPECT_EQ(mouseRects[kMouseRectCount - 2].kind, kMouseGroupEnd);
    EXPECT_EQ(mouseRects[kMouseRectCount - 1].kind, kMouseEndOfTable);
    std::set<MouseHandler> handlers;
    for (int i = 0; i < kMouseRectCount; ++i) {
        SCOPED_TRACE(i);
        const MouseRect& rect = mouseRects[i];
        // Copied first: the host's packing leaves the pointers unaligned on
        // the 64-bit native build, where a reference to them would be too.
        const MouseHandler handler = rect.handler;
        const void* handlerData = rect.handlerData;
        EXPECT_EQ(rect.helpId, 0u);
        EXPECT_EQ(rect.eventId, 0u) << "no host event is tied to an area";
        EXPECT_EQ(handlerData, nullptr);
        if (i == 0 || i >= kMouseRectCount - 2) {
            // The group's own box is empty, so areas are placed from the
            // gauge's corner.
            EXPECT_EQ(rect.x | rect.y | rect.width | rect.height, 0);
            EXPECT_EQ(rect.cursor, kCursorNone);
            EXPECT_EQ(rect.eventMask, 0u);
            EXPECT_EQ(handler, nullptr);
            continue;
        }
        EXPECT_EQ(rect.kind, kMouseArea);
        EXPECT_TRUE(handlers.insert(handler).second) << "a handler reachable from two areas";
    }
    EXPECT_EQ(handlers.size(), 13u);
    EXPECT_EQ(handlers.count(nullptr), 0u);
}

// What the pilot sees under the pointer: an arrow pointing the way a stepping
// area steps, which repeats while the button is held; a hand over the
// centring areas and the switches, which act once per click.
TEST_F(MouseAreas, SteppingAreasRepeatUnderTheirArrowAndTheRestActOncePerClickUnderAHand) {
    struct Role {
        const char* name;
        MouseHandler handler;
        int32_t cursor;
        uint32_t eventMask;
    };
    const Role roles[] = {
        {"forwardSetUp", forwardSetUp, kCursorUpArrow, kRepeat},
        {"forwardSetDown", forwardSetDown, kCursorDownArrow, kRepeat},
        {"rightSetUp", rightSetUp, kCursorUpArrow, kRepeat},
        {"rightSetDown", rightSetDown, kCursorDownArrow, kRepeat},
        {"turnSetUp", turnSetUp, kCursorUpArrow, kRepeat},
        {"turnSetDown", turnSetDown, kCursorDownArrow, kRepeat},
        {"targetHeightUp", targetHeightUp, kCursorUpArrow, kRepeat},
        {"targetHeightDown", targetHeightDown, kCursorDownArrow, kRepeat},
        {"centerSpeedSets", centerSpeedSets, kCursorHand, kClick},
        {"centerTurnSet", centerTurnSet, kCursorHand, kClick},
        {"tapGuardLid", tapGuardLid, kCursorHand, kClick},
        {"clickEngage", clickEngage, kCursorHand, kClick},
        {"toggleOnOff", toggleOnOff, kCursorHand, kClick},
    };
    for (const Role& role : roles) {
        SCOPED_TRACE(role.name);
        const MouseRect& area = areaOf(role.handler);
        EXPECT_EQ(area.cursor, role.cursor);
        EXPECT_EQ(area.eventMask, role.eventMask);
    }
}

// Each arrow lies on the side of its centre it steps toward, as the screen
// draws the cross and the scales.
TEST_F(MouseAreas, EachArrowLiesOnTheSideOfItsCentreItStepsToward) {
    const MouseRect& cross = areaOf(centerSpeedSets);
    EXPECT_GT(centreX2(areaOf(rightSetUp)), centreX2(cross));
    EXPECT_LT(centreX2(areaOf(rightSetDown)), centreX2(cross));
    EXPECT_EQ(centreY2(areaOf(rightSetUp)), centreY2(areaOf(rightSetDown)));
    EXPECT_LT(centreY2(areaOf(forwardSetUp)), centreY2(cross)) << "forward is up the screen";
    EXPECT_GT(centreY2(areaOf(forwardSetDown)), centreY2(cross));
    EXPECT_EQ(centreX2(areaOf(forwardSetUp)), centreX2(cross));
    EXPECT_EQ(centreX2(areaOf(forwardSetDown)), centreX2(cross));

    const MouseRect& yaw = areaOf(centerTurnSet);
    EXPECT_GT(centreX2(areaOf(turnSetUp)), centreX2(yaw));
    EXPECT_LT(centreX2(areaOf(turnSetDown)), centreX2(yaw));
    EXPECT_EQ(centreY2(areaOf(turnSetUp)), centreY2(yaw));
    EXPECT_EQ(centreY2(areaOf(turnSetDown)), centreY2(yaw));

    EXPECT_LT(centreY2(areaOf(targetHeightUp)), centreY2(areaOf(targetHeightDown)));
    EXPECT_EQ(centreX2(areaOf(targetHeightUp)), centreX2(areaOf(targetHeightDown)));
}

// The guard covers the upper half of the engage button's picture and the
// button the lower half; the switch's area is its picture's.
TEST_F(MouseAreas, TheGuardEngageAndPowerAreasLieOnTheirPictures) {
    const MouseRect& guard = areaOf(tapGuardLid);
    const MouseRect& engage = areaOf(clickEngage);
    const MouseRect& power = areaOf(toggleOnOff);
    EXPECT_EQ(guard.x, guardImage.base.x);
    EXPECT_EQ(guard.y, guardImage.base.y);
    EXPECT_EQ(engage.x, guard.x);
    EXPECT_EQ(engage.width, guard.width);
    EXPECT_EQ(engage.y, guard.y + guard.height) << "the halves adjoin";
    EXPECT_EQ(engage.height, guard.height);
    EXPECT_EQ(power.x, powerSwitchImage.base.x);
    EXPECT_EQ(power.y, powerSwitchImage.base.y);
}

TEST_F(MouseAreas, NoTwoClickAreasOverlapAndAllLieOnTheFace) {
    constexpr int32_t kFaceWidth = 367;
    constexpr int32_t kFaceHeight = 265;
    for (int i = 0; i < kMouseRectCount; ++i) {
        const MouseRect& a = mouseRects[i];
        if (a.kind != kMouseArea) {
            continue;
        }
        EXPECT_GE(a.x, 0);
        EXPECT_GE(a.y, 0);
        EXPECT_LE(a.x + a.width, kFaceWidth);
        EXPECT_LE(a.y + a.height, kFaceHeight);
        for (int j = i + 1; j < kMouseRectCount; ++j) {
            const MouseRect& b = mouseRects[j];
            if (b.kind != kMouseArea) {
                continue;
            }
            const bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y
                               || b.y + b.height <= a.y;
            EXPECT_TRUE(apart) << "areas " << i << " and " << j;
        }
    }
}

struct SetPointHandlers {
    const char* name;
    double* setPoint;
    MouseHandler up;
    MouseHandler down;
};

TEST_F(MouseAreas, TheSetPointArrowsStepByAQuarterAndStopAtTwo) {
    const SetPointHandlers cases[] = {
        {"forward", &controller.forward.setPoint, forwardSetUp, forwardSetDown},
        {"right", &controller.right.setPoint, rightSetUp, rightSetDown},
        {"turn", &controller.turn.setPoint, turnSetUp, turnSetDown},
    };
    PixelPoint click{150, 100};
    for (const SetPointHandlers& c : cases) {
        SCOPED_TRACE(c.name);
        double& value = *c.setPoint;

        value = 0.0;
        for (int i = 1; i <= 8; ++i) {
            EXPECT_EQ(c.up(&click, kClick), 0);
            EXPECT_EQ(value, 0.25 * i);
        }
        EXPECT_EQ(c.up(nullptr, 0), 0);
        EXPECT_EQ(value, 2.0);

        value = 1.9;
        c.up(nullptr, 0);
        EXPECT_EQ(value, 2.0);
        value = -1.9;
        c.down(nullptr, 0);
        EXPECT_EQ(value, -2.0);
        value = -2.0;
        EXPECT_EQ(c.down(&click, 0xFFFFFFFFu), 0);
        EXPECT_EQ(value, -2.0);
        value = 0.5;
        c.down(nullptr, 0);
        EXPECT_EQ(value, 0.25);

        // A joystick value beyond the limits comes back inside them.
        value = 7.0;
        c.down(nullptr, 0);
        EXPECT_EQ(value, 2.0);
        value = -7.0;
        c.up(nullptr, 0);
        EXPECT_EQ(value, -2.0);
    }
}

TEST_F(MouseAreas, TheHeightArrowsStepByOneFootWithinTenTo999) {
    struct Case {
        double from;
        MouseHandler handler;
        double to;
    } const cases[] = {
        {100.0, targetHeightUp, 101.0},    {100.0, targetHeightDown, 99.0}, {999.0, targetHeightUp, 999.0},
        {998.5, targetHeightUp, 999.0},    {998.0, targetHeightUp, 999.0},  {10.0, targetHeightDown, 10.0},
        {10.5, targetHeightDown, 10.0},    {11.0, targetHeightDown, 10.0},  {5.0, targetHeightUp, 10.0},
        {1200.0, targetHeightDown, 999.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        controller.targetHeightFt = c.from;
        EXPECT_EQ(c.handler(nullptr, 0), 0);
        EXPECT_EQ(controller.targetHeightFt, c.to);
    }
}

TEST_F(MouseAreas, EachCentringAreaCentresOnlyItsOwnSetPoints) {
    controller.forward.setPoint = 1.25;
    controller.right.setPoint = -0.75;
    controller.turn.setPoint = 1.5;
    EXPECT_EQ(mouseRects[1].handler(nullptr, 0), 0);
    EXPECT_EQ(controller.forward.setPoint, 0.0);
    EXPECT_EQ(controller.right.setPoint, 0.0);
    EXPECT_EQ(controller.turn.setPoint, 1.5);

    controller.forward.setPoint = 1.25;
    controller.right.setPoint = -0.75;
    EXPECT_EQ(mouseRects[6].handler(nullptr, 0), 0);
    EXPECT_EQ(controller.turn.setPoint, 0.0);
    EXPECT_EQ(controller.forward.setPoint, 1.25);
    EXPECT_EQ(controller.right.setPoint, -0.75);
}

TEST_F(MouseAreas, NudgingAndCentringWorkTheSameWhateverTheSwitchesSay) {
    const MouseHandler handlers[] = {forwardSetUp,    forwardSetDown, rightSetUp,     rightSetDown,
                                     turnSetUp,       turnSetDown,    targetHeightUp, targetHeightDown,
                                     centerSpeedSets, centerTurnSet};
    for (MouseHandler handler : handlers) {
        ControllerState reference{};
        for (int flags = 0; flags < 8; ++flags) {
            SCOPED_TRACE(flags);
            controller.forward.setPoint = 1.0;
            controller.right.setPoint = -1.0;
            controller.turn.setPoint = 0.5;
            controller.targetHeightFt = 300.0;
            controller.systemPowerOn = flags & 1;
            controller.guardOpen = (flags >> 1) & 1;
            controller.hoverEngaged = (flags >> 2) & 1;
            EXPECT_EQ(handler(nullptr, 0), 0);
            EXPECT_EQ(controller.systemPowerOn, flags & 1);
            EXPECT_EQ(controller.guardOpen, (flags >> 1) & 1);
            EXPECT_EQ(controller.hoverEngaged, (flags >> 2) & 1);
            if (flags == 0) {
                reference = controller;
                continue;
            }
            EXPECT_EQ(controller.forward.setPoint, reference.forward.setPoint);
            EXPECT_EQ(controller.right.setPoint, reference.right.setPoint);
            EXPECT_EQ(controller.turn.setPoint, reference.turn.setPoint);
            EXPECT_EQ(controller.targetHeightFt, reference.targetHeightFt);
        }
    }
}

void expectDisengagedAndCentred() {
    EXPECT_EQ(controller.hoverEngaged, 0);
    EXPECT_EQ(controller.targetHeightFt, 100.0);
    EXPECT_EQ(controller.forward.setPoint, 0.0);
    EXPECT_EQ(controller.right.setPoint, 0.0);
    EXPECT_EQ(controller.turn.setPoint, 0.0);
}

void offCentre() {
    controller.forward.setPoint = 1.0;
    controller.right.setPoint = -1.0;
    controller.turn.setPoint = 0.5;
    controller.targetHeightFt = 300.0;
}

TEST_F(MouseAreas, ThePowerSwitchResetsTheSetPointsAndFlipsThePower) {
    const MouseHandler power = mouseRects[13].handler;
    offCentre();
    EXPECT_EQ(power(nullptr, 0), 0);
    EXPECT_EQ(controller.systemPowerOn, 1);
    expectDisengagedAndCentred();
    offCentre();
    power(nullptr, 0);
    EXPECT_EQ(controller.systemPowerOn, 0);
    expectDisengagedAndCentred();
}

TEST_F(MouseAreas, TheGuardFlipsAndDisengagesAHoldThatIsOn) {
    const MouseHandler guard = mouseRects[11].handler;
    EXPECT_EQ(guard(nullptr, 0), 0);
    EXPECT_EQ(controller.guardOpen, 1);

    controller.hoverEngaged = 1;
    offCentre();
    guard(nullptr, 0);
    EXPECT_EQ(controller.guardOpen, 0);
    expectDisengagedAndCentred();
}

TEST_F(MouseAreas, TheEngageButtonOpensTheGuardThenEngagesOnlyBelowFortyKnots) {
    const MouseHandler engage = mouseRects[12].handler;
    controller.systemPowerOn = 1;

    EXPECT_EQ(engage(nullptr, 0), 0);
    EXPECT_EQ(controller.guardOpen, 1);
    EXPECT_EQ(controller.hoverEngaged, 0);

    // 76 ft/s north is 76 × 0.3048 × 1.944 = 45.0 kt.
    testHost().set(kTokenVelocityNorth, 76.0);
    engage(nullptr, 0);
    EXPECT_EQ(controller.hoverEngaged, 0);

    testHost().set(kTokenVelocityNorth, 10.0);
    engage(nullptr, 0);
    EXPECT_EQ(controller.hoverEngaged, 1);
    EXPECT_EQ(controller.guardOpen, 1);

    offCentre();
    engage(nullptr, 0);
    EXPECT_EQ(controller.guardOpen, 1);
    expectDisengagedAndCentred();
}

}  // namespace
