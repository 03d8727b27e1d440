// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>

#include "sim/host/scenario.h"

namespace {

std::optional<host::Scenario> parse(const std::string& text, std::string& error) {
    return host::parseScenario(text, "test.toml", error);
}

// The message of a scenario that must be refused.
std::string refusal(const std::string& text) {
    std::string error;
    EXPECT_FALSE(parse(text, error).has_value()) << text;
    return error;
}

TEST(HostScenario, AFullScenarioIsReadWithEveryField) {
    std::string error;
    const auto s = parse(R"(
name = "full"
frame_rate = 25
duration = 42.5
parameters = "KprUp 2"
service_order = "connect_then_install"
[start]
height_ft = 80
ground_speed_kt = 5
track_deg = 30
heading_deg = 90
throttle = 9000
[wind]
from_deg = 270
speed_kt = 15
turbulence = "moderate"
seed = 7
[[wind.gusts]]
at = 10
speed_kt = 8
[[event]]
at = 3
click = "engage"
[[event]]
at = 1
hold = "height_up"
for = 2
stick = { forward = 0.5, height_down = true }
[[expect]]
check = "height_within"
ft = 2
target_ft = 100
from = 20
[[expect]]
check = "target_height"
ft = 120
at = 30
[[phase]]
name = "hold"
from = 20
)",
                         error);
    ASSERT_TRUE(s.has_value()) << error;
    EXPECT_EQ(s->frameRate, 25);
    EXPECT_DOUBLE_EQ(s->duration, 42.5);
    EXPECT_EQ(s->parameters, "KprUp 2");
    EXPECT_EQ(s->serviceOrder, host::ServiceOrder::kConnectThenInstall);
    EXPECT_DOUBLE_EQ(s->start.heightFt, 80.0);
    EXPECT_FALSE(s->start.elevator.has_value());
    EXPECT_DOUBLE_EQ(s->start.throttle.value_or(0.0), 9000.0);
    EXPECT_DOUBLE_EQ(s->wind.turbulenceW20Kt, 30.0);
    EXPECT_EQ(s->wind.seed, 7u);
    ASSERT_EQ(s->wind.gusts.size(), 1u);
    EXPECT_DOUBLE_EQ(s->wind.gusts[0].duration, 2.0);
    ASSERT_EQ(s->events.size(), 2u);
    EXPECT_DOUBLE_EQ(s->events[0].at, 1.0);  // sorted by time
    EXPECT_EQ(s->events[0].hold.value_or(""), "height_up");
    EXPECT_DOUBLE_EQ(s->events[0].holdFor, 2.0);
    EXPECT_DOUBLE_EQ(s->events[0].stick->forward.value_or(0.0), 0.5);
    EXPECT_FALSE(s->events[0].stick->right.has_value());
    EXPECT_TRUE(s->usesStick());
    ASSERT_EQ(s->expectations.size(), 2u);
    EXPECT_EQ(s->expectations[0].check, host::Check::kHeightWithin);
    EXPECT_TRUE(std::isinf(s->expectations[0].to));
    EXPECT_DOUBLE_EQ(s->expectations[1].from, 30.0);
    EXPECT_DOUBLE_EQ(s->expectations[1].to, 30.0);
    ASSERT_EQ(s->phases.size(), 1u);
    EXPECT_EQ(s->phases[0].name, "hold");
}

TEST(HostScenario, AnEmptyFileGivesDefaultsAndOneWholeRunPhase) {
    std::string error;
    const auto s = parse("", error);
    ASSERT_TRUE(s.has_value()) << error;
    EXPECT_EQ(s->name, "test");
    EXPECT_EQ(s->frameRate, 18);
    EXPECT_EQ(s->serviceOrder, host::ServiceOrder::kInstallThenConnect);
    ASSERT_EQ(s->phases.size(), 1u);
    EXPECT_FALSE(s->usesStick());
}

TEST(HostScenario, MistakesAreRefusedWithTheirPlace) {
    EXPECT_NE(refusal("durration = 5").find("unknown key 'durration'"), std::string::npos);
    EXPECT_NE(refusal("frame_rate = 61").find("frame_rate"), std::string::npos);
    EXPECT_NE(refusal("frame_rate = 20.5").find("whole number"), std::string::npos);
    EXPECT_NE(refusal("[[event]]\nat = 1\nclick = \"throttle\"").find("no click area 'throttle'"),
              std::string::npos);
    EXPECT_NE(refusal("[[event]]\nat = 1\nfor = 2").find("'for' belongs to 'hold'"), std::string::npos);
    EXPECT_NE(refusal("[[event]]\nclick = \"power\"").find("'at' is required"), std::string::npos);
    EXPECT_NE(refusal("[[expect]]\ncheck = \"engaged\"\nft = 2").find("does not belong"), std::string::npos);
    EXPECT_NE(refusal("[[expect]]\ncheck = \"hovering\"").find("unknown check"), std::string::npos);
    EXPECT_NE(refusal("[[expect]]\ncheck = \"height_within\"").find("'ft' is required"), std::string::npos);
    EXPECT_NE(refusal("[[event]]\nat = 1\nstick = { forward = 2 }").find("stick axis"), std::string::npos);
    EXPECT_NE(refusal("[wind]\nturbulence = \"strong\"").find("turbulence"), std::string::npos);
    EXPECT_NE(refusal("name = ").find("line 1"), std::string::npos);
    EXPECT_NE(refusal("\n\n[start]\nheight_ft = \"high\"").find("line 4"), std::string::npos);
}

TEST(HostScenario, NamesItsAircraftRelativeToItsOwnFolderOrFliesTheBo105) {
    std::string error;
    const auto plain = host::parseScenario("", "dir/sub/a.toml", error);
    ASSERT_TRUE(plain.has_value()) << error;
    EXPECT_EQ(plain->aircraft, "bo105");
    EXPECT_EQ(plain->aircraftBase, "dir/sub");
    const auto named = host::parseScenario("aircraft = \"../craft/heavy.toml\"", "b.toml", error);
    ASSERT_TRUE(named.has_value()) << error;
    EXPECT_EQ(named->aircraft, "../craft/heavy.toml");
    EXPECT_EQ(named->aircraftBase, "");
    EXPECT_NE(refusal("aircraft = \"\"").find("aircraft"), std::string::npos);
}

}  // namespace
