// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>

#include "control/controller.h"
#include "hostif/host_interface.h"
#include "input/mouse.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

class MouseAreas : public ::testing::Test {
protected:
    void SetUp() override {
        resetModuleState();
        resetController();
        testHost().install();
    }
};

// The rows as the panel's drawing places them, written out independently of
// the module's table.
struct ExpectedRow {
    uint32_t kind;
    int32_t x, y, width, height;
    int32_t cursor;
    uint32_t eventMask;
    MouseHandler handler;
};

constexpr uint32_t kClick = 0x20000000;
constexpr uint32_t kRepeat = 0x20200000;

const ExpectedRow kExpectedRows[] = {
    {1, 0, 0, 0, 0, -1, 0, nullptr},
    {2, 142, 96, 17, 17, 5, kClick, centerSpeedSets},
    {2, 185, 97, 11, 15, 1, kRepeat, rightSetUp},
    {2, 105, 97, 11, 15, 2, kRepeat, rightSetDown},
    {2, 143, 58, 15, 11, 1, kRepeat, forwardSetUp},
    {2, 143, 139, 15, 11, 2, kRepeat, forwardSetDown},
    {2, 142, 160, 9, 9, 5, kClick, centerTurnSet},
    {2, 177, 160, 9, 9, 1, kRepeat, turnSetUp},
    {2, 115, 160, 9, 9, 2, kRepeat, turnSetDown},
    {2, 265, 118, 27, 29, 1, kRepeat, targetHeightUp},
    {2, 265, 150, 27, 29, 2, kRepeat, targetHeightDown},
    {2, 308, 64, 55, 56, 5, kClick, toggleGuard},
    {2, 308, 120, 55, 56, 5, kClick, pressEngage},
    {2, 278, 48, 15, 27, 5, kClick, togglePower},
    {3, 0, 0, 0, 0, -1, 0, nullptr},
    {0, 0, 0, 0, 0, -1, 0, nullptr},
};

TEST_F(MouseAreas, EveryRecordOfTheTableHoldsTheFieldsOfItsRow) {
    static_assert(std::size(kExpectedRows) == kMouseRectCount);
    EXPECT_EQ(+hoverGauge.mouseRects, mouseRects);
    for (int i = 0; i < kMouseRectCount; ++i) {
        SCOPED_TRACE(i);
        const MouseRect& rect = mouseRects[i];
        const ExpectedRow& row = kExpectedRows[i];
        EXPECT_EQ(rect.kind, row.kind);
        EXPECT_EQ(rect.x, row.x);
        EXPECT_EQ(rect.y, row.y);
        EXPECT_EQ(rect.width, row.width);
        EXPECT_EQ(rect.height, row.height);
        EXPECT_EQ(rect.cursor, row.cursor);
        EXPECT_EQ(rect.helpId, 0u);
        EXPECT_EQ(rect.eventMask, row.eventMask);
        EXPECT_EQ(rect.eventId, 0u);
        // Copied first: the host's packing leaves the pointers unaligned on
        // the 64-bit native build, where a reference to them would be too.
        const MouseHandler handler = rect.handler;
        const void* handlerData = rect.handlerData;
        EXPECT_EQ(handler, row.handler);
        EXPECT_EQ(handlerData, nullptr);
    }
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
            const bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y ||
                               b.y + b.height <= a.y;
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
        {100.0, targetHeightUp, 101.0},   {100.0, targetHeightDown, 99.0}, {999.0, targetHeightUp, 999.0},
        {998.5, targetHeightUp, 999.0},   {998.0, targetHeightUp, 999.0},  {10.0, targetHeightDown, 10.0},
        {10.5, targetHeightDown, 10.0},   {11.0, targetHeightDown, 10.0},  {5.0, targetHeightUp, 10.0},
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
    const MouseHandler handlers[] = {forwardSetUp,   forwardSetDown,   rightSetUp,      rightSetDown,
                                     turnSetUp,      turnSetDown,      targetHeightUp,  targetHeightDown,
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
