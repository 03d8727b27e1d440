// SPDX-License-Identifier: MIT
//
// The pilot model on the host's tokens, the scenario keys that put him and
// the logger on the panel, and the pilot holding the bare helicopter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>

#include "sim/scenario/pilot.h"
#include "sim/scenario/runner.h"
#include "sim/scenario/scenario.h"
#include "sim/units.h"

namespace {

// Hand positions are whole counts, sent as the axis events carry them.
constexpr double kCountTolerance = 0.5;
// A panel update at 18 a second.
constexpr double kUpdateS = 1.0 / 18.0;

// A host whose controls stand at a trim and whose tokens show a steady
// hover at 100 ft, heading 0; the pilot's gains isolated where a test says.
class PilotOnTheHost : public ::testing::Test {
protected:
    void SetUp() override {
        gaugeHost_.controls() = trim_;
        gaugeHost_.setToken(kTokenRadarHeight, 100.0 / units::kFeetPerMetre);
        gaugeHost_.setToken(kTokenPitch, -2.0);
        gaugeHost_.setToken(kTokenOperating, 100.0);
    }

    // Updates from the host time `fromS` up to `toS`, the tokens as set.
    void fly(host::Pilot& pilot, double fromS, double toS) {
        for (double t = fromS; t <= toS + 1e-9; t += kUpdateS) {
            gaugeHost_.setToken(kTokenSimulationTime, t);
            pilot.act(gaugeHost_);
        }
    }

    // The largest change between consecutive pilot events on one axis,
    // from `from` on, starting at `before`.
    double largestMove(uint32_t event, double before, size_t from = 0) const {
        double largest = 0.0;
        const auto& sent = gaugeHost_.eventsFrom(host::kPilotSender);
        for (size_t i = from; i < sent.size(); ++i) {
            if (sent[i].id == event) {
                largest = std::max(largest, std::fabs(sent[i].value - before));
                before = sent[i].value;
            }
        }
        return largest;
    }

    host::GaugeHost gaugeHost_;
    const host::ControlPositions trim_{-1000.0, 150.0, 250.0, 8400.0};
};

TEST_F(PilotOnTheHost, InASteadyHoverHeHoldsTheControlsWhereTheyStandOnAllFourAxes) {
    host::Pilot pilot(host::PilotSettings{.holdsHover = true});
    fly(pilot, 0.0, 1.0);
    EXPECT_NEAR(gaugeHost_.controls().elevator, trim_.elevator, kCountTolerance);
    EXPECT_NEAR(gaugeHost_.controls().aileron, trim_.aileron, kCountTolerance);
    EXPECT_NEAR(gaugeHost_.controls().rudder, trim_.rudder, kCountTolerance);
    EXPECT_NEAR(gaugeHost_.controls().throttle, trim_.throttle, kCountTolerance);
    // His hand moves through the host's events, one per axis per update.
    EXPECT_EQ(gaugeHost_.eventsFrom(host::kPilotSender).size() % 4, 0u);
    EXPECT_TRUE(gaugeHost_.events().empty());
}

TEST_F(PilotOnTheHost, HeSeesADriftOnlyAReactionTimeLateAndThenRaisesTheNose) {
    host::PilotSettings settings{.holdsHover = true};
    settings.positionKtPerFt = 0.0;  // the speed term alone
    host::Pilot pilot(settings);
    fly(pilot, 0.0, 1.0);
    // One knot forward from 1 s on.
    gaugeHost_.setToken(kTokenVelocityNorth, 1.0 / units::kKnotsPerFootPerSecond);
    fly(pilot, 1.0 + kUpdateS, 1.0 + settings.reactionS - 0.02);
    EXPECT_NEAR(gaugeHost_.controls().elevator, trim_.elevator, kCountTolerance);
    // The first update that sees it: the most one move may be, 250 counts.
    fly(pilot, 1.0 + settings.reactionS + kUpdateS, 1.0 + settings.reactionS + kUpdateS);
    EXPECT_NEAR(gaugeHost_.controls().elevator, trim_.elevator - settings.maxMoveCounts, kCountTolerance);
    fly(pilot, 1.0 + settings.reactionS + 2 * kUpdateS, 2.0);
    // 1 kt against 1.5 deg/kt: 1.5 deg more nose up than the hover's -2 deg
    // while the pitch still reads -2: 400 counts/deg x -1.5 deg = -600,
    // reached over three updates (250 + 250 + 100).
    EXPECT_NEAR(gaugeHost_.controls().elevator, trim_.elevator - 600.0, kCountTolerance);
    EXPECT_LE(largestMove(kEventElevator, trim_.elevator), settings.maxMoveCounts);
}

TEST_F(PilotOnTheHost, PedalsAndCollectiveOpposeAHeadingGoneRightAndASinkingHeight) {
    host::Pilot pilot(host::PilotSettings{.holdsHover = true});
    fly(pilot, 0.0, 0.5);
    gaugeHost_.setToken(kTokenHeading, 2.0);
    gaugeHost_.setToken(kTokenRadarHeight, 90.0 / units::kFeetPerMetre);
    fly(pilot, 0.5 + kUpdateS, 1.5);
    // 2 deg right x 100 counts/deg: 200 counts of left pedal.
    EXPECT_NEAR(gaugeHost_.controls().rudder, trim_.rudder + 200.0, kCountTolerance);
    // 10 ft low x 0.3 ft/s per ft: 3 ft/s of climb wanted, none made,
    // x 300 counts per ft/s: 900 counts more collective.
    EXPECT_NEAR(gaugeHost_.controls().throttle, trim_.throttle + 900.0, kCountTolerance);
}

// The logger has put the elevator 500 counts above his hand (an input on
// top of it): he does not pull it back, and his correction for a drift
// comes on top of where it stands: 1500 - 600 = 900.
TEST_F(PilotOnTheHost, HeMovesEachControlFromWhereItStandsSoAnInputOnTopStaysOnTop) {
    host::PilotSettings settings{.holdsHover = true};
    settings.positionKtPerFt = 0.0;
    host::Pilot pilot(settings);
    fly(pilot, 0.0, 0.5);
    gaugeHost_.controls().elevator = 1500.0;
    fly(pilot, 0.5 + kUpdateS, 1.0);
    EXPECT_EQ(gaugeHost_.controls().elevator, 1500.0);
    gaugeHost_.setToken(kTokenVelocityNorth, 1.0 / units::kKnotsPerFootPerSecond);
    fly(pilot, 1.0 + kUpdateS, 2.0);
    EXPECT_NEAR(gaugeHost_.controls().elevator, 900.0, kCountTolerance);
    EXPECT_NEAR(pilot.hand().elevator, 900.0, kCountTolerance);
}

// Nose 58 deg above the hover's pitch: 400 x 58 = 23200 counts forward
// wanted, past the stop (16383). Held there for 5 s, then back to the
// hover's attitude: his hand comes back to the trim (-1000) and no further,
// having counted only the travel the stop allowed.
TEST_F(PilotOnTheHost, PushingAgainstAStopWindsNothingUpForTheWayBack) {
    host::PilotSettings settings{.holdsHover = true};
    settings.attitudeRateCountsPerDegS = 0.0;  // the attitude term alone
    host::Pilot pilot(settings);
    fly(pilot, 0.0, 0.5);
    gaugeHost_.setToken(kTokenPitch, -60.0);
    fly(pilot, 0.5 + kUpdateS, 5.5);
    EXPECT_EQ(gaugeHost_.controls().elevator, 16383.0);
    gaugeHost_.setToken(kTokenPitch, -2.0);
    // 17383 counts back at 250 an update: 70 updates, under 4 s.
    fly(pilot, 5.5 + kUpdateS, 12.0);
    EXPECT_NEAR(gaugeHost_.controls().elevator, trim_.elevator, kCountTolerance);
}

TEST_F(PilotOnTheHost, ReadingsThatAreNoNumberOrFarOffNeverPutTheControlsOutsideTheirTravel) {
    host::Pilot pilot(host::PilotSettings{.holdsHover = true});
    fly(pilot, 0.0, 0.5);
    gaugeHost_.setToken(kTokenPitch, std::numeric_limits<double>::quiet_NaN());
    gaugeHost_.setToken(kTokenRadarHeight, 1e9);
    gaugeHost_.setToken(kTokenYawRate, -1e12);
    fly(pilot, 0.5 + kUpdateS, 2.0);
    const host::ControlPositions& c = gaugeHost_.controls();
    EXPECT_TRUE(c.elevator >= -16383.0 && c.elevator <= 16383.0);
    EXPECT_TRUE(c.rudder >= -16383.0 && c.rudder <= 16383.0);
    EXPECT_TRUE(c.throttle >= 0.0 && c.throttle <= 16384.0);
}

std::optional<host::Scenario> parse(const std::string& text, std::string& error) {
    return host::parseScenario(text, "pilot.toml", error);
}

TEST(PilotAndLoggerKeys, ThePilotAndTheLoggerAreReadWithTheirDefaultsAndRefusedWhenWrong) {
    std::string error;
    const auto scenario = parse("[logger]\nparameters = \"elevator=300\"\n[pilot]\nholds_hover = true\n"
                                "reaction_s = 0.3\n[[event]]\nat = 1\nclick = \"log:excite\"\n",
                                error);
    ASSERT_TRUE(scenario) << error;
    ASSERT_TRUE(scenario->logger);
    EXPECT_EQ(scenario->logger->parameters, "elevator=300");
    EXPECT_TRUE(scenario->pilot.holdsHover);
    EXPECT_EQ(scenario->pilot.reactionS, 0.3);
    EXPECT_EQ(scenario->pilot.attitudeCountsPerDeg, host::PilotSettings{}.attitudeCountsPerDeg);
    EXPECT_EQ(scenario->pilot.maxMoveCounts, 250.0);
    ASSERT_TRUE(scenario->events.front().click);
    EXPECT_EQ(*scenario->events.front().click, "log:excite");

    const auto none = parse("", error);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->logger);
    EXPECT_FALSE(none->pilot.holdsHover);

    EXPECT_FALSE(parse("[[event]]\nat = 1\nclick = \"log:record\"\n", error));
    EXPECT_NE(error.find("only with [logger]"), std::string::npos) << error;
    EXPECT_FALSE(parse("[logger]\n[[event]]\nat = 1\nclick = \"log:eject\"\n", error));
    EXPECT_NE(error.find("log:record, log:excite"), std::string::npos) << error;
    EXPECT_FALSE(parse("[logger]\n[[event]]\nat = 1\nhold = \"log:record\"\nfor = 1\n", error));
    EXPECT_FALSE(parse("[pilot]\nreaction_s = 5\n", error));
    EXPECT_NE(error.find("pilot.toml:2: [pilot]: reaction_s 5 is outside"), std::string::npos) << error;
    EXPECT_FALSE(parse("[pilot]\nnerve = 1\n", error));
    EXPECT_FALSE(parse("[pilot]\nmax_move_counts = 0\n", error));
    EXPECT_NE(error.find("max_move_counts 0 is outside"), std::string::npos) << error;
    const auto moving = parse("[pilot]\nmax_move_counts = 120\n", error);
    ASSERT_TRUE(moving) << error;
    EXPECT_EQ(moving->pilot.maxMoveCounts, 120.0);
    EXPECT_FALSE(parse("[logger]\nfolder = \"x\"\n", error));
}

TEST(PilotAndLoggerKeys, OnlyTheLoggersOwnFilesCountAsLogs) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "hoversim_pilot_logs";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (const char* name : {"hoverlog-20240101-120000.csv", "hoverlog-20240101-120000-2.csv", "other.csv",
                             "hoverlog-notes.txt"}) {
        std::ofstream(folder / name) << "x\n";
    }
    EXPECT_EQ(host::logFilesIn(folder.string()),
              (std::vector<std::string>{"hoverlog-20240101-120000-2.csv", "hoverlog-20240101-120000.csv"}));
    EXPECT_TRUE(host::logFilesIn((folder / "missing").string()).empty());
    std::filesystem::remove_all(folder);
}

// The bare Bo-105 class kicked by a forward cyclic step of 1500 counts for
// 1 s: flown by the pilot it comes back to the hover; left alone it departs.
std::string kickedHover(bool pilot) {
    return std::string("duration = 40\n")
           + (pilot ? "[pilot]\nholds_hover = true\n" : "")
           + "[[event]]\nat = 5\ncontrols = { elevator = 500 }\n"
             "[[event]]\nat = 6\ncontrols = { elevator = -1272 }\n"
             "[[phase]]\nname = \"after\"\nfrom = 25\n"
             "[[expect]]\ncheck = \"ground_speed_below\"\nkt = 3\nfrom = 25\n"
             "[[expect]]\ncheck = \"pitch_within\"\ndeg = 8\n";
}

TEST(PilotFlying, ThePilotBringsTheBareHelicopterBackToTheHoverAfterACyclicKick) {
    std::string error;
    const auto flown = parse(kickedHover(true), error);
    ASSERT_TRUE(flown) << error;
    const host::RunResult result = host::runScenario(*flown, host::RunOptions{});
    ASSERT_TRUE(result.flown) << result.error;
    for (const host::ExpectationResult& e : result.expectations) {
        EXPECT_TRUE(e.held) << e.text << ": " << e.detail;
    }
    const auto alone = parse(kickedHover(false), error);
    ASSERT_TRUE(alone) << error;
    const host::RunResult departed = host::runScenario(*alone, host::RunOptions{});
    ASSERT_TRUE(departed.flown) << departed.error;
    EXPECT_FALSE(departed.allHeld());
}

}  // namespace
