// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "control/controller.h"
#include "display/elements.h"
#include "display/readouts.h"
#include "input/joystick.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
// For values that pass through a product of inexact decimal constants.
constexpr double kProductTolerance = 1e-9;

class Readouts : public ModuleTest {};

// The host's text buffer with sentinel bytes on both sides: the callback may
// write the element's character count plus a NUL, and not one byte more.
class FencedBuffer {
public:
    static constexpr size_t kFence = 16;
    static constexpr char kSentinel = '\x5A';

    FencedBuffer() { bytes_.fill(kSentinel); }
    char* text() { return bytes_.data() + kFence; }

    // True when nothing outside the first `allowed` bytes of the text was
    // touched.
    bool untouchedBeyond(size_t allowed) const {
        for (size_t i = 0; i < bytes_.size(); ++i) {
            bool inside = i >= kFence && i < kFence + allowed;
            if (!inside && bytes_[i] != kSentinel) {
                return false;
            }
        }
        return true;
    }

private:
    std::array<char, 64> bytes_{};
};

struct TextResult {
    std::string text;
    double value;
};

// Calls a text callback as the host does, on a copy of the element's record
// with the slot values filled and a fenced buffer hung on it.
TextResult callText(ElementCallback callback, const TextElement& record, double a, double b = 0.0) {
    TextElement element;
    std::memcpy(&element, &record, sizeof element);
    element.vars[0].value = a;
    element.vars[1].value = b;
    FencedBuffer buffer;
    element.buffer = buffer.text();
    double value = callback(&element.base);
    const uint32_t count = element.charCount;
    EXPECT_TRUE(buffer.untouchedBeyond(count + 1)) << "wrote beyond " << count << " characters and a NUL";
    const char* text = buffer.text();
    size_t length = 0;
    while (length <= count && text[length] != '\0') {
        ++length;
    }
    EXPECT_LE(length, count) << "no NUL within the character count";
    return {std::string(text, length), value};
}

TEST_F(Readouts, ClampToScaleLimitsToPlusMinusThreeAndPassesNaN) {
    EXPECT_EQ(clampToScale(-3.5), -3.0);
    EXPECT_EQ(clampToScale(-3.0), -3.0);
    EXPECT_EQ(clampToScale(2.999), 2.999);
    EXPECT_EQ(clampToScale(3.0), 3.0);
    EXPECT_EQ(clampToScale(7.0), 3.0);
    EXPECT_EQ(clampToScale(-kInf), -3.0);
    EXPECT_EQ(clampToScale(kInf), 3.0);
    EXPECT_TRUE(std::isnan(clampToScale(kNaN)));
}

TEST_F(Readouts, EachMarkerShowsItsOwnValueNegatedOnTheYAxes) {
    controller.turn.setPoint = 0.25;
    controller.turn.errorRate = -0.5;
    controller.turn.measurement = 0.75;
    controller.up.setPoint = 1.25;
    controller.up.errorRate = -1.5;
    controller.up.measurement = 1.75;
    controller.right.setPoint = -2.0;
    controller.right.errorRate = 2.25;
    controller.right.measurement = -2.5;
    controller.forward.setPoint = 2.75;
    controller.forward.errorRate = -0.125;
    controller.forward.measurement = 0.375;
    GaugeElement* any = &driftSetMarker.base;
    EXPECT_EQ(showTurnSet(any), 0.25);
    EXPECT_EQ(showTurnTrend(any), -0.5);
    EXPECT_EQ(showTurnRate(any), 0.75);
    EXPECT_EQ(showUpSet(any), -1.25);
    EXPECT_EQ(showUpTrend(any), 1.5);
    EXPECT_EQ(showUpSpeed(any), -1.75);
    EXPECT_EQ(showRightSet(any), -2.0);
    EXPECT_EQ(showRightTrend(any), 2.25);
    EXPECT_EQ(showRightSpeed(any), -2.5);
    EXPECT_EQ(showForwardSet(any), -2.75);
    EXPECT_EQ(showForwardTrend(any), 0.125);
    EXPECT_EQ(showForwardSpeed(any), -0.375);
}

TEST_F(Readouts, MarkersStopAtTheScaleEnds) {
    controller.up.measurement = 5.0;
    EXPECT_EQ(showUpSpeed(nullptr), -3.0) << "climbing fast: marker at the top end";
    controller.up.measurement = -5.0;
    EXPECT_EQ(showUpSpeed(nullptr), 3.0);
    controller.turn.errorRate = -40.0;
    EXPECT_EQ(showTurnTrend(nullptr), -3.0);
    controller.forward.setPoint = -3.0;
    EXPECT_EQ(showForwardSet(nullptr), 3.0);
}

TEST_F(Readouts, WholeNumbersRoundHalvesAwayFromZero) {
    struct Case {
        double value;
        const char* zeroPadded;   // "%03.0f"
        const char* spacePadded;  // "%3.0f"
    };
    const Case cases[] = {
        {0.5, "001", "  1"},
        {1.5, "002", "  2"},
        {2.5, "003", "  3"},
        {-0.5, "-01", " -1"},
        {-1.5, "-02", " -2"},
        {-2.5, "-03", " -3"},
        {0.49999999999999994, "000", "  0"},
        {-0.4, "000", "  0"},
        {5.0, "005", "  5"},
        {359.6, "360", "360"},
        {998.5, "999", "999"},
        {-99.4, "-99", "-99"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        TextResult heading = callText(showHeading, headingText, c.value);
        EXPECT_EQ(heading.text, c.zeroPadded);
        EXPECT_EQ(heading.value, c.value);
        controller.targetHeightFt = c.value;
        TextResult target = callText(showTargetHeight, targetHeightText, 0.0);
        EXPECT_EQ(target.text, c.spacePadded);
        EXPECT_EQ(target.value, c.value);
    }
}

TEST_F(Readouts, TargetHeightShowsSpacePadded) {
    controller.targetHeightFt = 100.0;
    EXPECT_EQ(callText(showTargetHeight, targetHeightText, 0.0).text, "100");
    controller.targetHeightFt = 10.0;
    EXPECT_EQ(callText(showTargetHeight, targetHeightText, 0.0).text, " 10");
}

TEST_F(Readouts, GroundSpeedShowsKnotsCappedAt99AndReturnsTheSumOfSquares) {
    // 50 ft/s x 0.3047999902464003 x 1.944 = 29.63 knots.
    TextResult slow = callText(showGroundSpeed, groundSpeedText, 30.0, 40.0);
    EXPECT_EQ(slow.text, " 30");
    EXPECT_EQ(slow.value, 2500.0);
    TextResult still = callText(showGroundSpeed, groundSpeedText, 0.0, 0.0);
    EXPECT_EQ(still.text, "  0");
    EXPECT_EQ(still.value, 0.0);
    TextResult fast = callText(showGroundSpeed, groundSpeedText, 200.0, 0.0);
    EXPECT_EQ(fast.text, " 99");
    EXPECT_EQ(fast.value, 40000.0);
    // 167 ft/s is 98.95 knots, 168 ft/s is 99.54 knots (capped).
    EXPECT_EQ(callText(showGroundSpeed, groundSpeedText, -167.0, 0.0).text, " 99");
    EXPECT_EQ(callText(showGroundSpeed, groundSpeedText, 0.0, -168.0).text, " 99");
    // 1.688 ft/s is 1.000 knots.
    EXPECT_EQ(callText(showGroundSpeed, groundSpeedText, 0.0, 1.688).text, "  1");
}

TEST_F(Readouts, RadarHeightShowsFeetCappedAt999AndReturnsWhatItShows) {
    TextResult hundred = callText(showRadarHeight, radarHeightText, 30.48);
    EXPECT_EQ(hundred.text, "100");
    EXPECT_NEAR(hundred.value, 100.0000032, kProductTolerance);
    TextResult high = callText(showRadarHeight, radarHeightText, 304.0);
    EXPECT_EQ(high.text, "997");
    EXPECT_NEAR(high.value, 997.37536, kProductTolerance);
    TextResult capped = callText(showRadarHeight, radarHeightText, 304.8);
    EXPECT_EQ(capped.text, "999");
    EXPECT_EQ(capped.value, 999.0);
    TextResult ground = callText(showRadarHeight, radarHeightText, 0.0);
    EXPECT_EQ(ground.text, "000");
    EXPECT_EQ(ground.value, 0.0);
    // Skids slightly below the radar's zero: -1.5 m is -4.92 ft.
    EXPECT_EQ(callText(showRadarHeight, radarHeightText, -1.5).text, "-05");
    EXPECT_EQ(callText(showRadarHeight, radarHeightText, -0.1).text, "000") << "-0.33 ft shows no sign";
}

TEST_F(Readouts, WindShowsDirectionAndCappedSpeedAndReturnsTheUncappedSum) {
    TextResult gusty = callText(showWind, windText, 5.0, 120.0);
    EXPECT_EQ(gusty.text, "005/99");
    EXPECT_EQ(gusty.value, 125.0);
    TextResult west = callText(showWind, windText, 270.0, 7.0);
    EXPECT_EQ(west.text, "270/07");
    EXPECT_EQ(west.value, 277.0);
    EXPECT_EQ(callText(showWind, windText, 359.5, 6.5).text, "360/07");
    EXPECT_EQ(callText(showWind, windText, 0.0, 99.0).text, "000/99");
    EXPECT_EQ(callText(showWind, windText, 0.0, 0.0).text, "000/00");
}

TEST_F(Readouts, LabelsWriteFixedTextsAndReturnTheirSlotValues) {
    TextResult hdg = callText(showHeadingLabel, headingLabel, 123.0);
    EXPECT_EQ(hdg.text, "HDG");
    EXPECT_EQ(hdg.value, 123.0);
    TextResult gs = callText(showSpeedLabel, groundSpeedLabel, 3.0, 4.0);
    EXPECT_EQ(gs.text, " GS");
    EXPECT_EQ(gs.value, 25.0);
    TextResult ra = callText(showHeightLabel, radarHeightLabel, 42.0);
    EXPECT_EQ(ra.text, "RA ");
    EXPECT_EQ(ra.value, 42.0);
    TextResult wind = callText(showWindLabel, windLabel, 270.0, 12.0);
    EXPECT_EQ(wind.text, "WIND");
    EXPECT_EQ(wind.value, 282.0);
    TextResult bars = callText(showBarsLabel, barsLabel, 10.0, -2.5);
    EXPECT_EQ(bars.text, "A M");
    EXPECT_EQ(bars.value, 7.5);
    TextResult pitch = callText(showPitchLabel, pitchLabel, 10.0, 0.5);
    EXPECT_EQ(pitch.text, "PITCH");
    EXPECT_EQ(pitch.value, 10.5);
}

struct TextCallback {
    const char* name;
    ElementCallback callback;
    TextElement* record;
};

const TextCallback kTextCallbacks[] = {
    {"showHeadingLabel", showHeadingLabel, &headingLabel},
    {"showHeading", showHeading, &headingText},
    {"showSpeedLabel", showSpeedLabel, &groundSpeedLabel},
    {"showGroundSpeed", showGroundSpeed, &groundSpeedText},
    {"showHeightLabel", showHeightLabel, &radarHeightLabel},
    {"showRadarHeight", showRadarHeight, &radarHeightText},
    {"showTargetHeight", showTargetHeight, &targetHeightText},
    {"showWindLabel", showWindLabel, &windLabel},
    {"showWind", showWind, &windText},
    {"showBarsLabel", showBarsLabel, &barsLabel},
    {"showPitchLabel", showPitchLabel, &pitchLabel},
};

TEST_F(Readouts, NoNumberWritesBeyondTheCharacterCount) {
    const double wild[] = {kNaN,         kInf,          -kInf, 1e300, -1e300,  1e18, -1e18,
                           2147483648.0, -2147483649.0, 999.5, -99.5, 12345.0, -0.0};
    for (const TextCallback& c : kTextCallbacks) {
        SCOPED_TRACE(c.name);
        for (double a : wild) {
            for (double b : wild) {
                controller.targetHeightFt = a;
                callText(c.callback, *c.record, a, b);
            }
        }
    }
}

TEST_F(Readouts, NumbersTooWideForTheBoxAreCutNotWrapped) {
    EXPECT_EQ(callText(showHeading, headingText, 1234.0).text, "123");
    EXPECT_EQ(callText(showHeading, headingText, -123.0).text, "-12");
    EXPECT_EQ(callText(showHeading, headingText, 1e300).text, "999") << "beyond nine digits shows nines";
    EXPECT_EQ(callText(showHeading, headingText, -1e300).text, "-99");
    EXPECT_EQ(callText(showHeading, headingText, kNaN).text, "nan");
    EXPECT_EQ(callText(showHeading, headingText, kInf).text, "inf");
    EXPECT_EQ(callText(showWind, windText, -1e300, 5.0).text, "-99999");
    EXPECT_EQ(callText(showWind, windText, 90.0, -kInf).text, "090/-i");
    controller.targetHeightFt = kNaN;
    EXPECT_EQ(callText(showTargetHeight, targetHeightText, 0.0).text, "nan");
    // The caps take what is not below them: an unknown radar height or wind
    // speed shows the cap.
    EXPECT_EQ(callText(showRadarHeight, radarHeightText, kNaN).text, "999");
    EXPECT_EQ(callText(showWind, windText, 90.0, kNaN).text, "090/99");
}

TEST_F(Readouts, ACountSmallerThanTheTextCutsItToThatCount) {
    TextElement narrow;
    std::memcpy(&narrow, &windText, sizeof narrow);
    narrow.charCount = 4;
    EXPECT_EQ(callText(showWind, narrow, 270.0, 7.0).text, "270/");
    narrow.charCount = 0;
    EXPECT_EQ(callText(showWind, narrow, 270.0, 7.0).text, "");
}

TEST_F(Readouts, WithoutABufferTextCallbacksWriteNothingAndStillReturnTheirValue) {
    controller.targetHeightFt = 250.0;
    for (const TextCallback& c : kTextCallbacks) {
        SCOPED_TRACE(c.name);
        TextElement element;
        std::memcpy(&element, c.record, sizeof element);
        element.vars[0].value = 30.0;
        element.vars[1].value = 40.0;
        element.buffer = nullptr;
        double value = c.callback(&element.base);
        EXPECT_FALSE(std::isnan(value));
    }
    TextElement element;
    std::memcpy(&element, &groundSpeedText, sizeof element);
    element.vars[0].value = 30.0;
    element.vars[1].value = 40.0;
    element.buffer = nullptr;
    EXPECT_EQ(showGroundSpeed(&element.base), 2500.0);
    std::memcpy(&element, &targetHeightText, sizeof element);
    element.buffer = nullptr;
    EXPECT_EQ(showTargetHeight(&element.base), 250.0);
}

TEST_F(Readouts, TheStickBarShowsJoystickZ) {
    joystickZ = 37;
    EXPECT_EQ(showStick(&stickBar.base), 37.0);
    joystickZ = 100;
    EXPECT_EQ(showStick(&stickBar.base), 100.0);
}

double callLever(double lever) {
    MovingImageElement element;
    std::memcpy(&element, &leverBar, sizeof element);
    element.yVar.value = lever;
    return showLever(&element.base);
}

TEST_F(Readouts, TheLeverBarRisesAsAFirstOrderFilterOnePerCall) {
    const double take = 0.15000000000000002;
    const double keep = 0.85;
    double first = callLever(16384.0);
    EXPECT_EQ(first, take * 16384.0);
    EXPECT_NEAR(first, 2457.6, kProductTolerance);
    double expected = first;
    for (int n = 2; n <= 10; ++n) {
        expected = take * 16384.0 + keep * expected;
        EXPECT_EQ(callLever(16384.0), expected) << "call " << n;
    }
    EXPECT_NEAR(expected, 16384.0 * (1.0 - std::pow(0.85, 10)), kProductTolerance);
    EXPECT_EQ(leverDisplayFilter, expected);
    // Lever back to 0: the bar falls by the same rule.
    EXPECT_EQ(callLever(0.0), keep * expected);
}

TEST_F(Readouts, TheLeverFilterSurvivesTheControllerReset) {
    callLever(16384.0);
    double filtered = callLever(16384.0);
    resetController();
    handleService(&hoverGauge, kServiceConnectToWindow, 0);
    EXPECT_EQ(leverDisplayFilter, filtered);
    EXPECT_EQ(callLever(16384.0), 0.15000000000000002 * 16384.0 + 0.85 * filtered);
}

TEST_F(Readouts, ABadLeverReadingLeavesTheBarWhereItWas) {
    const double filtered = callLever(16384.0);
    EXPECT_EQ(callLever(std::nan("")), filtered);
    EXPECT_EQ(callLever(HUGE_VAL), filtered);
    EXPECT_EQ(callLever(-HUGE_VAL), filtered);
    EXPECT_EQ(leverDisplayFilter, filtered);
    EXPECT_EQ(callLever(16384.0), 0.15000000000000002 * 16384.0 + 0.85 * filtered);
}

TEST_F(Readouts, TheLeverFilterSettlesOnZeroRatherThanOnASubnormal) {
    callLever(16384.0);
    for (int call = 0; call < 6000; ++call) {
        callLever(0.0);
    }
    EXPECT_EQ(leverDisplayFilter, 0.0);
}

TEST_F(Readouts, TheScreenIsHiddenWhileOffAndShownWhileOnKeepingItsOtherFlags) {
    controller.systemPowerOn = 0;
    EXPECT_EQ(showScreen(&screenImage.base), -1.0);
    EXPECT_EQ(screenImage.base.drawFlags, 0x2000007u);
    EXPECT_EQ(showScreen(&screenImage.base), -1.0);
    EXPECT_EQ(screenImage.base.drawFlags, 0x2000007u) << "setting twice keeps it set";
    controller.systemPowerOn = 1;
    EXPECT_EQ(showScreen(&screenImage.base), 0.0);
    EXPECT_EQ(screenImage.base.drawFlags, 0x7u);

    IconElement other;
    std::memcpy(&other, &screenImage, sizeof other);
    other.base.drawFlags = 0xFDFFFFFFu;
    controller.systemPowerOn = 0;
    showScreen(&other.base);
    EXPECT_EQ(other.base.drawFlags, 0xFFFFFFFFu);
    controller.systemPowerOn = 1;
    showScreen(&other.base);
    EXPECT_EQ(other.base.drawFlags, 0xFDFFFFFFu);
    EXPECT_EQ(screenImage.base.drawFlags, 0x7u) << "only the element passed is written";
}

TEST_F(Readouts, TheSwitchGuardAndLampShowTheFlags) {
    GaugeElement* any = &guardImage.base;
    controller.systemPowerOn = 0;
    controller.guardOpen = 0;
    controller.hoverEngaged = 0;
    EXPECT_EQ(showPowerSwitch(any), 0.0);
    EXPECT_EQ(showGuard(any), 0.0);
    EXPECT_EQ(showEngagedLamp(any), -1.0);
    controller.systemPowerOn = 1;
    controller.guardOpen = 1;
    controller.hoverEngaged = 1;
    EXPECT_EQ(showPowerSwitch(any), 1.0);
    EXPECT_EQ(showGuard(any), 1.0);
    EXPECT_EQ(showEngagedLamp(any), 0.0);
}

bool sameLoop(const AxisLoop& a, const AxisLoop& b) {
    return a.setPoint == b.setPoint && a.measurement == b.measurement && a.filteredError == b.filteredError
           && a.errorRate == b.errorRate && a.integral == b.integral && a.Kpr == b.Kpr && a.Tv == b.Tv
           && a.Tn == b.Tn;
}

TEST_F(Readouts, NoCallbackChangesTheControllerOrTheJoystick) {
    controller.turn.setPoint = 1.0;
    controller.up.errorRate = -2.0;
    controller.forward.measurement = 0.5;
    controller.targetHeightFt = 321.0;
    controller.systemPowerOn = 1;
    controller.guardOpen = 1;
    controller.hoverEngaged = 1;
    joystickZ = 55;
    const ControllerState before = controller;
    for (const TextCallback& c : kTextCallbacks) {
        callText(c.callback, *c.record, 12.0, 34.0);
    }
    const ElementCallback others[] = {showTurnSet,    showTurnTrend,    showTurnRate,    showUpSet,
                                      showUpTrend,    showUpSpeed,      showRightSet,    showForwardSet,
                                      showRightTrend, showForwardTrend, showRightSpeed,  showForwardSpeed,
                                      showStick,      showPowerSwitch,  showEngagedLamp, showGuard};
    for (ElementCallback callback : others) {
        callback(&driftSetMarker.base);
    }
    showScreen(&screenImage.base);
    callLever(100.0);
    EXPECT_TRUE(sameLoop(controller.up, before.up));
    EXPECT_TRUE(sameLoop(controller.forward, before.forward));
    EXPECT_TRUE(sameLoop(controller.right, before.right));
    EXPECT_TRUE(sameLoop(controller.turn, before.turn));
    EXPECT_EQ(controller.targetHeightFt, 321.0);
    EXPECT_EQ(controller.systemPowerOn, 1);
    EXPECT_EQ(controller.guardOpen, 1);
    EXPECT_EQ(controller.hoverEngaged, 1);
    EXPECT_EQ(joystickZ, 55);
}

}  // namespace
