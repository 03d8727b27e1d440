// SPDX-License-Identifier: MIT
//
// What a run reports, on hand-made traces: a failed expectation shows its
// worst value as well as its first crossing, headings are counted through
// full turns, a run without expectations says that nothing was checked, an
// engagement's first step is told axis by axis, and the JSON summary is
// well formed whatever the names hold.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "sim/scenario/judges.h"
#include "sim/scenario/tests/hand_made_trace.h"
#include "sim/scenario/report.h"
#include "sim/scenario/summary_json.h"

namespace {

using host::Check;
using host::Frame;
using host::Trace;

constexpr double kExact = 1e-9;

using hosttest::expect;
using hosttest::trace;

TEST(HostReports, AFailedBoundShowsTheWorstValueAndWhenItWasFirstCrossed) {
    // A height that creeps past 2 ft at 2 s and then runs away to 1032 ft
    // off: the first crossing alone (3.61 ft) would read like a near miss.
    const Trace drift = trace(6, [](Frame& f) {
        constexpr double kOff[] = {0.0, 1.0, 3.61, 40.0, 1032.0, 500.0};
        f.heightFt = 100.0 + kOff[static_cast<int>(f.hostTime)];
    });
    const host::ExpectationResult r = host::judge(expect(Check::kHeightWithin, 2.0), drift);
    EXPECT_FALSE(r.held);
    ASSERT_TRUE(r.worst.has_value());
    EXPECT_NEAR(*r.worst, 1032.0, kExact);
    EXPECT_DOUBLE_EQ(r.worstAtS, 4.0);
    EXPECT_EQ(r.unit, "ft off");
    ASSERT_TRUE(r.firstCrossingS.has_value());
    EXPECT_DOUBLE_EQ(*r.firstCrossingS, 2.0);
    EXPECT_EQ(r.badFrames, 4);
    EXPECT_EQ(r.detail, "worst 1032.00 ft off at 4.00 s, first past the limit at 2.00 s (4 of 6 frames)");

    // A lower bound's worst is its smallest value.
    const Trace slowing = trace(4, [](Frame& f) { f.groundSpeedKt = 10.0 - 3.0 * f.hostTime; });  // 10 .. 1
    const host::ExpectationResult above = host::judge(expect(Check::kGroundSpeedAbove, 5.0), slowing);
    EXPECT_FALSE(above.held);
    EXPECT_EQ(above.detail, "worst 1.00 kt at 3.00 s, first past the limit at 2.00 s (2 of 4 frames)");
}

TEST(HostReports, HeadingIsCountedThroughFullTurns) {
    // Two full turns to the right in 90 deg steps, then 290 deg back left.
    const Trace spin = trace(12, [](Frame& f) {
        const int k = static_cast<int>(f.hostTime);
        f.headingDeg =
            k <= 8 ? std::fmod(90.0 * k, 360.0) : std::fmod(720.0 + 360.0 - 290.0 * (k - 8) / 3.0, 360.0);
    });
    host::PhaseSetting whole;
    whole.to = 8.0;
    const host::PhaseResult turns = host::measurePhase(whole, spin);
    EXPECT_NEAR(turns.headingChangeDeg, 720.0, kExact);
    EXPECT_NEAR(turns.headingMaxDevDeg, 720.0, kExact);
    host::PhaseSetting back;
    back.from = 8.0;
    const host::PhaseResult left = host::measurePhase(back, spin);
    EXPECT_NEAR(left.headingChangeDeg, -290.0, kExact);

    const host::ExpectationResult drift = host::judge(expect(Check::kHeadingDriftBelow, 10.0), spin);
    EXPECT_FALSE(drift.held);
    EXPECT_NEAR(drift.worst.value_or(0.0), 720.0, kExact);
    EXPECT_DOUBLE_EQ(drift.worstAtS, 8.0);
}

TEST(HostReports, ARunWithoutExpectationsSaysNothingWasChecked) {
    host::Scenario scenario;
    scenario.name = "empty";
    host::RunResult result;
    result.flown = true;
    result.phases.push_back(host::measurePhase(host::PhaseSetting{}, trace(3, [](Frame&) {})));
    EXPECT_TRUE(result.nothingChecked());
    std::ostringstream out;
    host::printSummary(out, scenario, result);
    EXPECT_NE(out.str().find("result: nothing was checked"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("every expectation held"), std::string::npos);

    result.expectations.push_back(host::judge(expect(Check::kEngaged, 0.0), trace(3, [](Frame&) {})));
    EXPECT_FALSE(result.nothingChecked());
    result.flown = false;  // a run that never flew checked nothing, but says why instead
    EXPECT_FALSE(result.nothingChecked());
}

TEST(HostReports, TheFirstEngagedFrameToldAsTheStepOfEachAxis) {
    Frame f;
    for (size_t i = 0; i < host::kTraceTokenCount; ++i) {
        if (host::kTraceTokens[i].id == kTokenThrottlePosition)
            f.tokens[i] = 9200.0;
        if (host::kTraceTokens[i].id == kTokenRudderPosition)
            f.tokens[i] = 1500.0;
    }
    EXPECT_EQ(host::engageStep(f), "");
    f.throttle = 5000;
    f.rudder = 1521;
    EXPECT_EQ(host::engageStep(f), "collective -4200 (9200 to 5000), pedals +21 (1500 to 1521)");
}

TEST(HostReports, JsonEscapesWhatNamesMayHoldAndHasNoNaN) {
    EXPECT_EQ(host::jsonString("a \"b\" \\ c\n\t\x01"), "\"a \\\"b\\\" \\\\ c\\n\\t\\u0001\"");
    EXPECT_EQ(host::jsonString("h\xc3\xb6he"), "\"h\xc3\xb6he\"");  // UTF-8 passes through
    EXPECT_EQ(host::jsonNumber(2.5), "2.5");
    EXPECT_EQ(host::jsonNumber(-0.0), "0");
    EXPECT_EQ(host::jsonNumber(std::nan("")), "null");
    EXPECT_EQ(host::jsonNumber(std::numeric_limits<double>::infinity()), "null");

    host::Scenario scenario;
    scenario.name = "quote \" in a name";
    host::RunResult result;
    result.flown = true;
    host::SummaryJson json;
    json.add("a.toml", scenario, result);
    std::ostringstream out;
    json.write(out);
    EXPECT_NE(out.str().find("\"scenario\": \"quote \\\" in a name\""), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\"result\": \"nothing checked\""), std::string::npos);
    EXPECT_NE(out.str().find("\"phases\": []"), std::string::npos);
    EXPECT_NE(out.str().find("\"declared_outcome\": \"holds\""), std::string::npos);

    // What the file declares goes with the run, for the test runner to hold
    // the run to.
    scenario.outcome = host::Outcome::kFails;
    scenario.failing = {"engaged from 2 s to the end"};
    host::SummaryJson declared;
    declared.add("a.toml", scenario, result);
    std::ostringstream declaredOut;
    declared.write(declaredOut);
    EXPECT_NE(declaredOut.str().find("\"declared_outcome\": \"fails\""), std::string::npos)
        << declaredOut.str();
    EXPECT_NE(declaredOut.str().find("\"declared_failing\": [\n      \"engaged from 2 s to the end\"\n    ]"),
              std::string::npos)
        << declaredOut.str();
}

TEST(HostReports, TheJsonGivesTheFirstThirtySecondsAndNoWorstWindowForAShortHold) {
    host::PhaseSetting setting;
    setting.name = "hold";
    setting.targetFt = 100.0;
    // 20 s, all of it in the band, drifting 0.25 ft a second east: 5 ft,
    // adequate, by the end.
    host::RunResult result;
    result.flown = true;
    result.phases.push_back(
        host::measurePhase(setting, trace(21, [](Frame& f) { f.eastFt = 0.25 * f.hostTime; })));
    host::SummaryJson json;
    json.add("a.toml", host::Scenario{}, result);
    std::ostringstream out;
    json.write(out);
    EXPECT_NE(out.str().find(
                  "\"hover_30_s\": {\"captured_at_s\": 0, \"first_30_s\": {\"height_max_ft\": 0, "
                  "\"position_max_ft\": 5, \"heading_max_deg\": 0, \"grades\": {\"height\": \"desired\", "
                  "\"position\": \"adequate\", \"heading\": \"desired\"}, \"from_s\": 0, \"to_s\": 20, "
                  "\"complete\": false}, \"windows\": 0, \"worst_30_s\": null}"),
              std::string::npos)
        << out.str();
}

}  // namespace
