// SPDX-License-Identifier: MIT
//
// The phase meters and the expectations, judged on hand-made traces: each
// kind of expectation must both hold and fail, at the edge its limit sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "sim/scenario/judges.h"
#include "sim/scenario/report.h"
#include "sim/scenario/tests/hand_made_trace.h"

namespace {

using host::Check;
using host::Expectation;
using host::Frame;
using host::PhaseSetting;
using host::Trace;

constexpr double kExact = 1e-12;

using hosttest::expect;
using hosttest::trace;

bool holds(const Expectation& e, const Trace& t) {
    return host::judge(e, t).held;
}

TEST(HostJudges, EngagementIsJudgedInEveryFrameOfTheWindowAndAtItsEnd) {
    const Trace lapse = trace(5, [](Frame& f) { f.commanding = f.hostTime != 2.0; });
    EXPECT_TRUE(holds(expect(Check::kEngaged), trace(5)));
    const host::ExpectationResult r = host::judge(expect(Check::kEngaged), lapse);
    EXPECT_FALSE(r.held);
    EXPECT_EQ(r.detail, "not engaged at 2.00 s (1 of 5 frames)");
    EXPECT_TRUE(holds(expect(Check::kEngaged, 0.0, 3.0), lapse));  // the lapse lies before the window

    EXPECT_FALSE(holds(expect(Check::kNotEngaged), lapse));
    EXPECT_TRUE(holds(expect(Check::kNotEngaged, 0.0, 2.0, 2.0), lapse));

    EXPECT_TRUE(holds(expect(Check::kEngagedAtEnd, 0.0, 0.0, 3.0), lapse));
    EXPECT_FALSE(holds(expect(Check::kEngagedAtEnd, 0.0, 0.0, 2.0), lapse));
}

TEST(HostJudges, HeightWithinHoldsAtItsLimitAndFailsBeyond) {
    const Trace t = trace(4, [](Frame& f) { f.heightFt = f.hostTime == 2.0 ? 103.0 : 100.5; });
    EXPECT_TRUE(holds(expect(Check::kHeightWithin, 3.0), t));
    const host::ExpectationResult r = host::judge(expect(Check::kHeightWithin, 2.99), t);
    EXPECT_FALSE(r.held);
    EXPECT_EQ(r.detail, "worst 3.00 ft off at 2.00 s, first past the limit at 2.00 s (1 of 4 frames)");

    // A target of its own instead of the one the panel shows.
    Expectation own = expect(Check::kHeightWithin, 1.0);
    own.targetFt = 102.5;
    EXPECT_FALSE(holds(own, t));
    own.limit = 2.0;
    EXPECT_TRUE(holds(own, t));

    const Trace blank = trace(3, [](Frame& f) { f.panel.targetHeightFt.reset(); });
    EXPECT_EQ(host::judge(expect(Check::kHeightWithin, 50.0), blank).detail,
              "the panel shows no target height at 0.00 s (3 of 3 frames)");
}

TEST(HostJudges, GroundSpeedBoundsAreStrict) {
    const Trace t = trace(3, [](Frame& f) { f.groundSpeedKt = 2.0 + f.hostTime; });  // 2, 3, 4 kt
    EXPECT_TRUE(holds(expect(Check::kGroundSpeedBelow, 4.01), t));
    EXPECT_FALSE(holds(expect(Check::kGroundSpeedBelow, 4.0), t));
    EXPECT_TRUE(holds(expect(Check::kGroundSpeedAbove, 1.99), t));
    EXPECT_FALSE(holds(expect(Check::kGroundSpeedAbove, 2.0), t));
    EXPECT_EQ(host::judge(expect(Check::kGroundSpeedAbove, 1.0), t).detail, "worst 2.00 kt at 0.00 s");
}

TEST(HostJudges, HeadingDriftIsMeasuredFromTheWindowStartAcrossNorth) {
    // 359 deg at the window's start, then 3 deg: 4 deg of drift, not 356.
    const Trace t = trace(4, [](Frame& f) { f.headingDeg = f.hostTime < 1.5 ? 359.0 : 3.0; });
    EXPECT_TRUE(holds(expect(Check::kHeadingDriftBelow, 4.5, 1.0), t));
    EXPECT_FALSE(holds(expect(Check::kHeadingDriftBelow, 4.0, 1.0), t));
    // From 3 deg, where the window starts later, nothing drifts.
    EXPECT_TRUE(holds(expect(Check::kHeadingDriftBelow, 0.1, 2.0), t));
}

TEST(HostJudges, PositionIsMeasuredFromTheWindowStartPoint) {
    const Trace t = trace(3, [](Frame& f) {
        f.northFt = 100.0 + 3.0 * f.hostTime;
        f.eastFt = -50.0 + 4.0 * f.hostTime;
    });
    EXPECT_TRUE(holds(expect(Check::kPositionWithin, 10.0), t));  // 5 ft a second for two seconds
    EXPECT_FALSE(holds(expect(Check::kPositionWithin, 9.99), t));
    EXPECT_TRUE(holds(expect(Check::kPositionWithin, 5.0, 1.0), t));
}

TEST(HostJudges, PitchWithinJudgesNoseDownAsNoseUp) {
    const Trace t = trace(3, [](Frame& f) { f.pitchDeg = f.hostTime == 1.0 ? -6.0 : 2.0; });
    EXPECT_TRUE(holds(expect(Check::kPitchWithin, 6.0), t));
    EXPECT_FALSE(holds(expect(Check::kPitchWithin, 5.0), t));
}

TEST(HostJudges, PitchGuardMustFireOnceOrNeverAsAsked) {
    const Trace quiet = trace(4);
    const Trace fired = trace(4, [](Frame& f) { f.pitchGuard = f.hostTime == 3.0; });
    EXPECT_FALSE(holds(expect(Check::kPitchGuardFired), quiet));
    EXPECT_TRUE(holds(expect(Check::kPitchGuardFired), fired));
    EXPECT_FALSE(holds(expect(Check::kPitchGuardFired, 0.0, 0.0, 2.0), fired));
    EXPECT_TRUE(holds(expect(Check::kPitchGuardQuiet), quiet));
    EXPECT_FALSE(holds(expect(Check::kPitchGuardQuiet), fired));
}

TEST(HostJudges, TargetHeightIsReadAtTheWindowsEndToTheNearestFoot) {
    const Trace t = trace(3, [](Frame& f) { f.panel.targetHeightFt = 100.0 + 10.0 * f.hostTime; });
    EXPECT_TRUE(holds(expect(Check::kTargetHeightIs, 120.0), t));
    EXPECT_TRUE(holds(expect(Check::kTargetHeightIs, 110.4, 0.0, 1.0), t));
    EXPECT_FALSE(holds(expect(Check::kTargetHeightIs, 119.0), t));
    const Trace blank = trace(3, [](Frame& f) { f.panel.targetHeightFt.reset(); });
    EXPECT_FALSE(holds(expect(Check::kTargetHeightIs, 100.0), blank));
}

TEST(HostJudges, AWindowNoFrameReachesFailsWhateverItChecks) {
    const Trace t = trace(3);
    for (Check check : {Check::kNotEngaged, Check::kPitchGuardQuiet, Check::kGroundSpeedBelow}) {
        const host::ExpectationResult r = host::judge(expect(check, 1.0, 10.0, 20.0), t);
        EXPECT_FALSE(r.held);
        EXPECT_EQ(r.detail, "no frame of the run lies in the window");
    }
}

TEST(HostPhaseMeter, MeasuresHeightSpeedHeadingPositionAndEngagement) {
    // Errors 0, 3, 1, 0 ft; speeds 0, 2, 2, 0 kt; heading 350 -> 10 deg.
    constexpr double kHeights[] = {100.0, 103.0, 101.0, 100.0};
    constexpr double kSpeeds[] = {0.0, 2.0, 2.0, 0.0};
    const Trace t = trace(4, [&](Frame& f) {
        const auto k = static_cast<size_t>(f.hostTime);
        f.heightFt = kHeights[k];
        f.groundSpeedKt = kSpeeds[k];
        f.headingDeg = k == 3 ? 10.0 : 350.0;
        f.northFt = 6.0 * f.hostTime;
        f.eastFt = 8.0 * f.hostTime;
        f.commanding = k >= 1;
    });
    PhaseSetting setting;
    setting.name = "hold";
    setting.targetFt = 100.0;
    const host::PhaseResult p = host::measurePhase(setting, t);
    EXPECT_EQ(p.frames, 4);
    EXPECT_DOUBLE_EQ(p.to, 3.0);
    EXPECT_TRUE(p.hover);
    ASSERT_TRUE(p.heightKnown);
    EXPECT_NEAR(p.heightRmsFt, std::sqrt(10.0 / 4.0), kExact);
    EXPECT_DOUBLE_EQ(p.heightMaxFt, 3.0);
    EXPECT_NEAR(p.speedRmsKt, std::sqrt(8.0 / 4.0), kExact);
    EXPECT_DOUBLE_EQ(p.speedMaxKt, 2.0);
    EXPECT_NEAR(p.headingChangeDeg, 20.0, kExact);
    EXPECT_NEAR(p.headingMaxDevDeg, 20.0, kExact);
    EXPECT_NEAR(p.positionMaxDevFt, 30.0, kExact);
    EXPECT_DOUBLE_EQ(p.engagedFraction, 0.75);
    // Outside the 2 ft band last at 1 s: captured from the next frame on.
    ASSERT_TRUE(p.captureS.has_value());
    EXPECT_DOUBLE_EQ(*p.captureS, 2.0);
}

TEST(HostPhaseMeter, CaptureIsAbsentUntilTheHeightStaysInTheBand) {
    const Trace t = trace(4, [](Frame& f) { f.heightFt = f.hostTime == 3.0 ? 97.0 : 100.0; });
    PhaseSetting setting;
    setting.targetFt = 100.0;
    EXPECT_FALSE(host::measurePhase(setting, t).captureS.has_value());
    setting.to = 2.0;
    const host::PhaseResult early = host::measurePhase(setting, t);
    ASSERT_TRUE(early.captureS.has_value());
    EXPECT_DOUBLE_EQ(*early.captureS, 0.0);
}

TEST(HostPhaseMeter, WithoutAnyTargetTheHeightIsNotGraded) {
    const Trace t = trace(3, [](Frame& f) { f.panel.targetHeightFt.reset(); });
    const host::PhaseResult p = host::measurePhase(PhaseSetting{}, t);
    EXPECT_EQ(p.frames, 3);
    EXPECT_FALSE(p.hover);
    EXPECT_FALSE(p.heightKnown);
    EXPECT_FALSE(p.captureS.has_value());
}

// A hover phase held to 100 ft over the whole of a hand-made trace.
host::PhaseResult hover(const Trace& t) {
    PhaseSetting setting;
    setting.name = "hold";
    setting.targetFt = 100.0;
    return host::measurePhase(setting, t);
}

TEST(HostHoverWindows, TheFirstThirtySecondsBeginWhereTheHeightFirstComesWithinTheBand) {
    // 5 ft off until 5 s, then 0.5 ft; a 3 ft bump at 20 s counts (it comes
    // after capture), one at 36 s lies past the first 30 s.
    const Trace t = trace(41, [](Frame& f) {
        f.heightFt = f.hostTime < 5.0     ? 105.0
                     : f.hostTime == 20.0 ? 103.0
                     : f.hostTime == 36.0 ? 98.5
                                          : 100.5;
    });
    const host::PhaseResult p = hover(t);
    ASSERT_TRUE(p.windows.has_value());
    const host::HoverWindows& w = *p.windows;
    EXPECT_DOUBLE_EQ(w.capturedAtS, 5.0);
    EXPECT_DOUBLE_EQ(w.firstFrom, 5.0);
    EXPECT_DOUBLE_EQ(w.firstTo, 35.0);
    EXPECT_TRUE(w.firstComplete);
    EXPECT_DOUBLE_EQ(w.first.heightMaxFt, 3.0);
    // Windows start at 5 .. 10 s; every one holds the 3 ft bump.
    EXPECT_EQ(w.windows, 6);
    EXPECT_DOUBLE_EQ(w.worst.heightMaxFt, 3.0);
    EXPECT_DOUBLE_EQ(w.worstHeightFromS, 5.0);
    // The whole phase still sees the 5 ft before capture.
    EXPECT_DOUBLE_EQ(p.heightMaxFt, 5.0);
}

TEST(HostHoverWindows, EachBoundsWorstWindowMeasuresFromWhereThatWindowBegins) {
    // Still for 30 s, then 1 ft/s north for 10 s; heading 350 deg until
    // 45 s, 10 deg from 46 s (20 deg through north).
    const Trace t = trace(61, [](Frame& f) {
        f.northFt = std::clamp(f.hostTime - 30.0, 0.0, 10.0);
        f.headingDeg = f.hostTime <= 45.0 ? 350.0 : 10.0;
    });
    const host::PhaseResult p = hover(t);
    ASSERT_TRUE(p.windows.has_value());
    const host::HoverWindows& w = *p.windows;
    EXPECT_DOUBLE_EQ(w.first.positionMaxFt, 0.0);
    EXPECT_DOUBLE_EQ(w.first.headingMaxDeg, 0.0);
    EXPECT_EQ(w.windows, 31);
    // From 10 s the window reaches 40 s, 10 ft from where it began; the
    // window from 16 s is the first to hold the turn.
    EXPECT_NEAR(w.worst.positionMaxFt, 10.0, kExact);
    EXPECT_DOUBLE_EQ(w.worstPositionFromS, 10.0);
    EXPECT_NEAR(w.worst.headingMaxDeg, 20.0, kExact);
    EXPECT_DOUBLE_EQ(w.worstHeadingFromS, 16.0);
    EXPECT_EQ(host::gradeHeading(w.first.headingMaxDeg), 0);
    EXPECT_EQ(host::gradeHeading(w.worst.headingMaxDeg), 2);
}

TEST(HostHoverWindows, AHoverNeverInTheBandIsNotCapturedAndAShortOneHasNoFullWindow) {
    EXPECT_FALSE(hover(trace(40, [](Frame& f) { f.heightFt = 102.5; })).windows.has_value());

    const host::PhaseResult shortHold =
        hover(trace(21, [](Frame& f) { f.heightFt = f.hostTime < 4.0 ? 97.0 : 100.0; }));
    ASSERT_TRUE(shortHold.windows.has_value());
    EXPECT_FALSE(shortHold.windows->firstComplete);
    EXPECT_DOUBLE_EQ(shortHold.windows->firstTo - shortHold.windows->firstFrom, 16.0);
    EXPECT_EQ(shortHold.windows->windows, 0);

    // A phase without a target of its own is not graded as a hover at all.
    EXPECT_FALSE(host::measurePhase(PhaseSetting{}, trace(40)).windows.has_value());
}

}  // namespace
