// SPDX-License-Identifier: MIT
//
// The host's frame loop as the simulator runs it: the flight model steps
// once a visual frame, the panel is served on some of those frames at its
// own rate, an axis event moves the control one visual frame later (or
// after the scenario's latency, or whole panel frames later), the physics
// does not depend on the visual rate, and jittered frames vary in length
// within their bound, from a seed, the same way every time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "sim/scenario/runner.h"
#include "sim/scenario/scenario.h"

namespace {

// A steady hover in calm air; the pilot pushes the stick forward at 1 s.
constexpr const char* kPushAtOneSecond = R"(
name = "push"
duration = 3
[[event]]
at = 1
controls = { elevator = 3000 }
)";

// One column of a trace, by its header name.
std::vector<double> column(const std::string& csv, const std::string& name) {
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    std::vector<std::string> header;
    std::stringstream h(line);
    for (std::string cell; std::getline(h, cell, ',');) {
        header.push_back(cell);
    }
    size_t index = 0;
    while (index < header.size() && header[index] != name) {
        ++index;
    }
    std::vector<double> values;
    while (std::getline(in, line)) {
        std::stringstream row(line);
        std::string cell;
        for (size_t i = 0; i <= index && std::getline(row, cell, ','); ++i) {
        }
        values.push_back(cell.empty() ? 0.0 : std::stod(cell));
    }
    return values;
}

std::string fly(host::Scenario scenario) {
    std::ostringstream trace;
    host::RunOptions options;
    options.trace = &trace;
    const host::RunResult result = host::runScenario(scenario, options);
    EXPECT_TRUE(result.flown) << result.error;
    return trace.str();
}

host::Scenario scenario(const char* text) {
    std::string error;
    std::optional<host::Scenario> s = host::parseScenario(text, "timing.toml", error);
    EXPECT_TRUE(s.has_value()) << error;
    return s.value_or(host::Scenario{});
}

// The response to the push, frame by frame: the pitch reading less its
// value before the push.
std::vector<double> pitchResponse(const std::string& csv) {
    std::vector<double> pitch = column(csv, "pitch_77");
    const double before = pitch.at(17);
    for (double& p : pitch) {
        p -= before;
    }
    return pitch;
}

// The same response shifted by whole frames agrees to the rounding of a
// steady trim that is not exactly steady.
constexpr double kSameResponseDeg = 1e-6;
// Times of the schedule: sums of frame lengths against products.
constexpr double kSameTimeS = 1e-9;

std::vector<host::LoopEvent> schedule(host::Scenario s) {
    std::vector<host::LoopEvent> events;
    host::RunOptions options;
    options.schedule = &events;
    const host::RunResult result = host::runScenario(s, options);
    EXPECT_TRUE(result.flown) << result.error;
    return events;
}

std::vector<const host::LoopEvent*> only(const std::vector<host::LoopEvent>& events, host::LoopEvent::Kind kind) {
    std::vector<const host::LoopEvent*> chosen;
    for (const host::LoopEvent& e : events) {
        if (e.kind == kind) {
            chosen.push_back(&e);
        }
    }
    return chosen;
}

struct ScheduleCase {
    int visualRate;
    std::vector<int64_t> updateFrames;  // the first 18 updates' visual frames, worked by hand
};

class HostSchedule : public testing::TestWithParam<ScheduleCase> {};

}  // namespace

TEST(HostFrameTiming, TheHostsOwnLoopIsThirtyVisualFramesWithTheControlsMovingOneFrameLater) {
    const host::Scenario s = scenario(kPushAtOneSecond);
    const host::HostLoop loop = s.loop();
    EXPECT_EQ(loop.panelRate, 18);
    EXPECT_EQ(loop.visualRate, 30);
    EXPECT_DOUBLE_EQ(loop.latencyS, 1.0 / 30.0);
    EXPECT_EQ(loop.delayUpdates, 0);
}

// 18 updates a second on 30 visual frames: the panel's k-th tick at k/18 s
// falls on frame ceil(30 k / 18) = ceil(5 k / 3): 0, 2, 4, 5, 7, 9, 10, ...
// (two frames, two, one: 67, 67, 33 ms). On 60: ceil(10 k / 3).
TEST_P(HostSchedule, ThePanelIsServedOnTheVisualFramesAtItsOwnRateAndEachCommandActsOneFrameLater) {
    const ScheduleCase& c = GetParam();
    host::Scenario s = scenario(kPushAtOneSecond);
    s.visualFrameRate = c.visualRate;
    s.commandLatencyS.reset();
    s.duration = 1.0;
    const std::vector<host::LoopEvent> events = schedule(s);
    const auto updates = only(events, host::LoopEvent::Kind::kPanelUpdate);
    const auto steps = only(events, host::LoopEvent::Kind::kPhysicsStep);
    const auto moves = only(events, host::LoopEvent::Kind::kControlsMoved);
    ASSERT_GE(updates.size(), c.updateFrames.size());
    const double frame = 1.0 / c.visualRate;
    for (size_t k = 0; k < c.updateFrames.size(); ++k) {
        EXPECT_EQ(updates[k]->visualFrame, c.updateFrames[k]) << "update " << k;
        EXPECT_NEAR(updates[k]->simTimeS, static_cast<double>(c.updateFrames[k]) * frame, kSameTimeS);
        // Its commands move the controls at the start of the next frame.
        ASSERT_LT(k, moves.size());
        EXPECT_EQ(moves[k]->visualFrame, c.updateFrames[k] + 1) << "update " << k;
        EXPECT_NEAR(moves[k]->simTimeS, updates[k]->simTimeS + frame, kSameTimeS);
    }
    // One physics step a visual frame, every frame, in order.
    for (size_t j = 0; j < steps.size(); ++j) {
        EXPECT_EQ(steps[j]->visualFrame, static_cast<int64_t>(j));
    }
    EXPECT_GE(steps.size(), static_cast<size_t>(c.updateFrames.back()));
}

INSTANTIATE_TEST_SUITE_P(
    ThirtyAndSixtyFrames, HostSchedule,
    testing::Values(ScheduleCase{30, {0, 2, 4, 5, 7, 9, 10, 12, 14, 15, 17, 19, 20, 22, 24, 25, 27, 29}},
                    ScheduleCase{60, {0, 4, 7, 10, 14, 17, 20, 24, 27, 30, 34, 37, 40, 44, 47, 50, 54, 57}}),
    [](const testing::TestParamInfo<ScheduleCase>& param) {
        return std::to_string(param.param.visualRate) + "VisualFrames";
    });

TEST(HostFrameTiming, ALatencyOfAThirdOfAPanelFrameMovesTheControlsInsideAVisualFrame) {
    host::Scenario s = scenario(kPushAtOneSecond);
    s.duration = 0.5;
    s.commandLatencyS = 1.0 / 54.0;  // 18.5 ms, inside the 33-ms frame after each update
    const std::vector<host::LoopEvent> events = schedule(s);
    const auto updates = only(events, host::LoopEvent::Kind::kPanelUpdate);
    const auto moves = only(events, host::LoopEvent::Kind::kControlsMoved);
    ASSERT_EQ(updates.size(), moves.size());
    for (size_t k = 0; k < updates.size(); ++k) {
        EXPECT_EQ(moves[k]->visualFrame, updates[k]->visualFrame);
        EXPECT_NEAR(moves[k]->simTimeS, updates[k]->simTimeS + 1.0 / 54.0, kSameTimeS);
    }
}

TEST(HostFrameTiming, WholePanelFramesOfDelayShiftTheResponseByWholeUpdates) {
    host::Scenario s = scenario(kPushAtOneSecond);
    // On 18 visual frames every frame is an update: the delays are exact.
    s.visualFrameRate = 18;
    std::vector<std::vector<double>> responses;
    for (int delay : {0, 1, 2}) {
        s.commandDelayFrames = delay;
        s.commandLatencyS = 0.0;
        if (delay > 0) {
            s.commandLatencyS.reset();
        }
        responses.push_back(pitchResponse(fly(s)));
    }
    // The push is applied at update 18; the aircraft flies it from the end
    // of that update (no latency) or one or two updates later.
    ASSERT_EQ(responses[0].size(), 55u);
    EXPECT_NEAR(responses[0][18], 0.0, kSameResponseDeg);
    EXPECT_GT(std::fabs(responses[0][19]), 1e-3);
    for (int delay : {1, 2}) {
        for (size_t k = 18; k + static_cast<size_t>(delay) < responses[0].size(); ++k) {
            EXPECT_NEAR(responses[static_cast<size_t>(delay)][k + static_cast<size_t>(delay)],
                        responses[0][k], kSameResponseDeg)
                << "delay " << delay << " frame " << k;
        }
        EXPECT_NEAR(responses[static_cast<size_t>(delay)][18 + static_cast<size_t>(delay)], 0.0,
                    kSameResponseDeg);
    }
}

// A drift in light turbulence with nobody touching the controls: update 6n
// comes at n/3 s on 18, 30, 45 and 60 visual frames alike. On 18, 30 and 45
// the frames fall on the flight model's 90-Hz grid and the readings agree
// exactly; 60 splits every other physics step, which agrees to the
// integration's own error.
TEST(HostFrameTiming, WithTheControlsHeldTheFlightIsTheSameAtEveryVisualRate) {
    host::Scenario s = scenario(R"(
name = "held"
duration = 20
[start]
ground_speed_kt = 5
track_deg = 40
[wind]
speed_kt = 12
turbulence = "light"
seed = 4
)");
    constexpr double kSplitStepsFt = 1e-3;
    std::vector<std::vector<double>> heights;
    for (int visual : {18, 30, 45, 60}) {
        s.visualFrameRate = visual;
        const std::vector<double> h = column(fly(s), "ra_614");
        std::vector<double> atThirds;
        for (size_t k = 0; k < h.size(); k += 6) {
            atThirds.push_back(h[k]);
        }
        heights.push_back(atThirds);
    }
    ASSERT_EQ(heights[0].size(), 61u);
    const auto spread = std::minmax_element(heights[0].begin(), heights[0].end());
    EXPECT_GT(*spread.second - *spread.first, 0.1);  // the air does move the aircraft
    for (size_t v = 1; v < heights.size(); ++v) {
        ASSERT_EQ(heights[v].size(), heights[0].size());
        for (size_t n = 0; n < heights[0].size(); ++n) {
            if (v < 3) {
                EXPECT_EQ(heights[v][n], heights[0][n]) << "rate index " << v << " at " << n << "/3 s";
            } else {
                EXPECT_NEAR(heights[v][n], heights[0][n], kSplitStepsFt) << "60 frames at " << n << "/3 s";
            }
        }
    }
}

TEST(HostFrameTiming, JitteredFramesStayWithinTheirBoundAndRepeatFromTheSeed) {
    host::Scenario s = scenario(kPushAtOneSecond);
    s.visualFrameRate = 18;  // one visual frame per update: each update's step is one jittered frame
    s.frameJitterS = 0.01;
    s.frameJitterSeed = 7;
    const std::string first = fly(s);
    const std::vector<double> time = column(first, "sim_time");
    double smallest = 1.0, largest = 0.0, sum = 0.0;
    for (size_t k = 1; k < time.size(); ++k) {
        const double step = time[k] - time[k - 1];
        smallest = std::min(smallest, step);
        largest = std::max(largest, step);
        sum += step;
    }
    const double nominal = 1.0 / 18.0;
    EXPECT_GE(smallest, nominal - 0.01);
    EXPECT_LE(largest, nominal + 0.01);
    // A uniform spread over +-10 ms: 54 frames reach well past half of it
    // on both sides, and average out near the nominal frame.
    EXPECT_LT(smallest, nominal - 0.005);
    EXPECT_GT(largest, nominal + 0.005);
    EXPECT_NEAR(sum / static_cast<double>(time.size() - 1), nominal, 0.003);

    EXPECT_EQ(fly(s), first);
    s.frameJitterSeed = 8;
    EXPECT_NE(fly(s), first);
}
