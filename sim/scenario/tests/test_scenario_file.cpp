// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>

#include "sim/scenario/scenario.h"

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
    EXPECT_NE(
        refusal("[[event]]\nat = 1\nstick = { forward = 2 }").find("stick: forward 2 is outside -1 .. 1"),
        std::string::npos);
    EXPECT_NE(refusal("[wind]\nturbulence = \"strong\"").find("turbulence"), std::string::npos);
    EXPECT_EQ(refusal("name = ").rfind("test.toml:1: ", 0), 0u);
    EXPECT_EQ(refusal("\n\n[start]\nheight_ft = \"high\"").rfind("test.toml:4: ", 0), 0u);
}

// One line, the file named once and the line of the offending value, whether
// the mistake is at the top level, in a table or in an entry of an array.
TEST(HostScenario, ARefusalNamesTheFileAndLineOnce) {
    const std::pair<const char*, const char*> cases[] = {
        {"frame_rate = 61", "test.toml:1: frame_rate 61 is outside 18 .. 60"},
        {"visual_frame_rate = 17", "test.toml:1: visual_frame_rate 17 is outside 18 .. 60"},
        {"frame_rate = 40", "test.toml:1: visual_frame_rate (30) must be at least frame_rate (40): the panel "
                            "is updated on visual frames"},
        {"frame_rate = 20\nvisual_frame_rate = 19",
         "test.toml:2: visual_frame_rate (19) must be at least frame_rate (20): the panel is updated on "
         "visual frames"},
        {"command_latency_s = 0.2", "test.toml:1: command_latency_s 0.2 is outside 0 .. 0.1111111111"},
        {"command_latency_s = 0.02\ncommand_delay_frames = 1",
         "test.toml:2: command_delay_frames and command_latency_s both set the command's latency: give one"},
        {"[start]\n\nheading_deg = -1", "test.toml:3: [start]: heading_deg -1 is outside 0 .. 360"},
        {"[[event]]\nat = 1\nclick = \"power\"\n[[event]]\nat = 2\nstick = { z = 3 }",
         "test.toml:6: event #2 stick: z 3 is outside -1 .. 1"},
        {"[[expect]]\ncheck = \"engaged\"\nfrom = 90",
         "test.toml:1: expect #1: 'from' lies past the end of the run (60 s)"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(refusal(text), message);
    }
}

// A file that fails its bounds names the failing expectations by the text
// its summary shows; a name that matches none (a bound changed, a typo) or
// a declaration half made is refused, so it cannot pass for a check.
TEST(HostScenario, AFileDeclaresWhichOfItsExpectationsFail) {
    const std::string expectations =
        "[[expect]]\ncheck = \"engaged\"\nfrom = 2\n"
        "[[expect]]\ncheck = \"ground_speed_below\"\nkt = 1\nfrom = 30\nto = 40\n";
    std::string error;
    const auto holds = parse(expectations, error);
    ASSERT_TRUE(holds) << error;
    EXPECT_EQ(holds->outcome, host::Outcome::kHolds);
    EXPECT_TRUE(holds->failing.empty());

    const auto fails = parse(
        "outcome = \"fails\"\nfailing = [\"ground speed under 1 kt from 30 s to 40 s\"]\n" + expectations,
        error);
    ASSERT_TRUE(fails) << error;
    EXPECT_EQ(fails->outcome, host::Outcome::kFails);
    EXPECT_EQ(fails->failing, std::vector<std::string>{"ground speed under 1 kt from 30 s to 40 s"});

    const std::pair<std::string, std::string> refused[] = {
        {"outcome = \"flaky\"\n", "test.toml:1: outcome must be \"holds\" or \"fails\", not 'flaky'"},
        {"outcome = \"fails\"\n",
         "test.toml:1: outcome = \"fails\" needs 'failing', the expectations that fail"},
        {"failing = [\"engaged from 2 s to the end\"]\n", "test.toml:1: 'failing' needs outcome = \"fails\""},
        {"outcome = \"fails\"\nfailing = [\"engaged from 3 s to the end\"]\n",
         "test.toml:2: failing: no expectation reads 'engaged from 3 s to the end' (they read: "
         "engaged from 2 s to the end; ground speed under 1 kt from 30 s to 40 s)"},
        {"outcome = \"fails\"\n"
         "failing = [\"engaged from 2 s to the end\", \"engaged from 2 s to the end\"]\n",
         "test.toml:2: failing names 'engaged from 2 s to the end' twice"},
        {"outcome = \"fails\"\nfailing = [1]\n",
         "test.toml:2: 'failing' lists expectations by their text, as strings"},
        {"outcome = \"fails\"\nfailing = \"engaged from 2 s to the end\"\n",
         "test.toml:2: 'failing' must be an array of expectations, as the summary shows them"},
    };
    for (const auto& [declaration, message] : refused) {
        EXPECT_EQ(refusal(declaration + expectations), message);
    }
    // Two expectations that read alike cannot be told apart on FAIL lines.
    EXPECT_EQ(refusal("outcome = \"fails\"\nfailing = [\"engaged from 2 s to the end\"]\n" + expectations
                      + "[[expect]]\ncheck = \"engaged\"\nfrom = 2\n"),
              "test.toml:2: failing: 2 expectations read 'engaged from 2 s to the end'");
}

TEST(HostScenario, MomentsAreCheckedAgainstTheFilesOwnDuration) {
    std::string error;
    // The duration may be written after the events it covers.
    EXPECT_TRUE(parse("[[event]]\nat = 100\nclick = \"power\"\n[[phase]]\nfrom = 50\nto = 100\n", error)
                == std::nullopt);
    EXPECT_TRUE(
        parse("duration = 100\n[[event]]\nat = 100\nclick = \"power\"\n[[phase]]\nfrom = 50\nto = 100\n",
              error)
            .has_value())
        << error;
}

TEST(HostScenario, EntriesAreCappedSoAFileCannotAskForUnboundedWork) {
    std::string phases;
    for (size_t i = 0; i <= host::kMaxPhases; ++i)
        phases += "[[phase]]\nfrom = 1\n";
    EXPECT_NE(refusal(phases).find("more than 50 [[phase]] entries"), std::string::npos);
}

TEST(HostScenario, AnythingButARegularFileIsRefusedWithoutOpeningIt) {
    std::string error;
    EXPECT_FALSE(host::loadScenario(".", error).has_value());
    EXPECT_EQ(error, ".: not a regular file");
    EXPECT_FALSE(host::loadScenario("no/such/file.toml", error).has_value());
    EXPECT_EQ(error, "no/such/file.toml: no such file");
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
