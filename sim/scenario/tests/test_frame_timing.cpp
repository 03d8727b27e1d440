// SPDX-License-Identifier: MIT
//
// The host's frame loop as the simulator runs it: an axis event moves the
// control the scenario's number of frames later, and jittered frames vary
// in length within their bound, from a seed, the same way every time.
#include <gtest/gtest.h>

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

}  // namespace

TEST(HostFrameTiming, TheControlMovesTheDelaysFramesAfterTheEvent) {
    host::Scenario s = scenario(kPushAtOneSecond);
    EXPECT_EQ(s.commandDelayFrames, 1);  // the host's default
    std::vector<std::vector<double>> responses;
    for (int delay : {0, 1, 2}) {
        s.commandDelayFrames = delay;
        responses.push_back(pitchResponse(fly(s)));
    }
    // The push is applied at frame 18; the aircraft flies it from the end of
    // that frame (delay 0) or one or two frames later.
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

TEST(HostFrameTiming, JitteredFramesStayWithinTheirBoundAndRepeatFromTheSeed) {
    host::Scenario s = scenario(kPushAtOneSecond);
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
