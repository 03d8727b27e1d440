// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "sim/host/mouse.h"

namespace {

int callsA = 0;
int callsB = 0;

int32_t GAUGE_CALL handlerA(PixelPoint*, uint32_t) {
    ++callsA;
    return 0;
}

int32_t GAUGE_CALL handlerB(PixelPoint*, uint32_t) {
    ++callsB;
    return 0;
}

MouseRect area(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t mask, MouseHandler handler) {
    return MouseRect{kMouseArea, x, y, w, h, kCursorHand, 0, mask, 0, handler, nullptr};
}

MouseRect marker(uint32_t kind, int32_t x = 0, int32_t y = 0) {
    return MouseRect{kind, x, y, 0, 0, kCursorNone, 0, 0, 0, nullptr, nullptr};
}

constexpr uint32_t kClick = kMouseLeftSingle;
constexpr uint32_t kClickRepeat = kMouseLeftSingle | kMouseRepeat;

class HostMouse : public ::testing::Test {
protected:
    void SetUp() override {
        callsA = 0;
        callsB = 0;
    }
};

TEST_F(HostMouse, AClickReachesTheAreaItLandsInAndNothingOutside) {
    MouseRect table[] = {marker(kMouseGroupStart), area(10, 10, 5, 5, kClick, handlerA),
                         area(15, 10, 5, 5, kClick, handlerB), marker(kMouseGroupEnd),
                         marker(kMouseEndOfTable)};
    EXPECT_EQ(host::hitTest(table, {10, 10}), &table[1]);
    EXPECT_EQ(host::hitTest(table, {14, 14}), &table[1]);
    EXPECT_EQ(host::hitTest(table, {15, 14}), &table[2]);  // the right edge lies outside the first
    EXPECT_EQ(host::hitTest(table, {20, 10}), nullptr);
    EXPECT_EQ(host::hitTest(table, {12, 15}), nullptr);
}

TEST_F(HostMouse, AreasLieRelativeToTheirGroupAndNeedTheLeftClickBit) {
    MouseRect table[] = {marker(kMouseGroupStart, 100, 50),           area(0, 0, 10, 10, kClick, handlerA),
                         area(20, 0, 10, 10, kMouseRepeat, handlerB), marker(kMouseGroupEnd),
                         area(0, 0, 10, 10, kClick, handlerB),        marker(kMouseEndOfTable)};
    EXPECT_EQ(host::hitTest(table, {105, 55}), &table[1]);
    EXPECT_EQ(host::hitTest(table, {125, 55}), nullptr);  // no left-click bit
    EXPECT_EQ(host::hitTest(table, {5, 5}), &table[4]);   // after the group, from the corner again
}

TEST_F(HostMouse, HittingStopsAtTheEndRecordOrAtTheRecordLimit) {
    MouseRect ended[] = {marker(kMouseEndOfTable), area(0, 0, 10, 10, kClick, handlerA)};
    EXPECT_EQ(host::hitTest(ended, {5, 5}), nullptr);
    std::vector<MouseRect> endless(host::kMaxRecords + 1, marker(kMouseGroupEnd));
    endless.back() = area(0, 0, 10, 10, kClick, handlerA);
    EXPECT_EQ(host::hitTest(endless.data(), {5, 5}), nullptr);
}

TEST_F(HostMouse, AHeldRepeatAreaIsCalledTenTimesASecondAtAnyFrameRate) {
    MouseRect table[] = {area(0, 0, 10, 10, kClickRepeat, handlerA), marker(kMouseEndOfTable)};
    for (int fps : {18, 25, 60}) {
        callsA = 0;
        host::Mouse mouse(table);
        ASSERT_TRUE(mouse.press({5, 5}));
        // Held for 2 s: the press and 19 repeats; the frame of release makes none.
        for (int frame = 1; frame < 2 * fps; ++frame) {
            mouse.frame(fps);
        }
        mouse.release();
        mouse.frame(fps);
        EXPECT_EQ(callsA, 20) << fps << " frames per second";
    }
}

TEST_F(HostMouse, AHeldAreaWithoutTheRepeatBitIsCalledOnce) {
    MouseRect table[] = {area(0, 0, 10, 10, kClick, handlerA), marker(kMouseEndOfTable)};
    host::Mouse mouse(table);
    ASSERT_TRUE(mouse.press({5, 5}));
    for (int frame = 0; frame < 36; ++frame) {
        mouse.frame(18);
    }
    EXPECT_EQ(callsA, 1);
    EXPECT_FALSE(mouse.held());
}

TEST_F(HostMouse, EveryNamedPointHasItsOwnNameAndLiesOnTheFace) {
    std::set<std::string_view> names;
    for (const host::NamedPoint& named : host::namedPoints()) {
        EXPECT_TRUE(names.insert(named.name).second) << named.name;
        EXPECT_GE(named.point.x, 0);
        EXPECT_LT(named.point.x, 367);
        EXPECT_GE(named.point.y, 0);
        EXPECT_LT(named.point.y, 265);
    }
    EXPECT_EQ(names.size(), 13u);
    EXPECT_FALSE(host::pointOf("throttle").has_value());
}

}  // namespace
