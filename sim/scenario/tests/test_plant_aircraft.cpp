// SPDX-License-Identifier: MIT
//
// A scenario that names a plant file flies the hover model as its aircraft:
// read where the scenario says, still when trimmed, moved by a control step
// only once the host's latency has passed and then by the hand-computed
// amount, and read out in the same senses as the flight model.
#include <gtest/gtest.h>

#ifdef HOVERSIM_PLANT

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/flight/helicopter.h"
#include "sim/ident/hover_model.h"
#include "sim/scenario/aircraft.h"
#include "sim/scenario/runner.h"
#include "sim/scenario/scenario.h"
#include "sim/units.h"

namespace {

constexpr double kRadToDeg = 57.29577951308232;

// Writes `model` as a plant file in the test's temporary folder.
std::string writePlant(const ident::HoverModel& model, const std::string& name) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << ident::plantFileText(model, "written by the scenario tests");
    return path;
}

// Only pitch control power: q' = Me de and nothing else, so the pitch after
// a step held for t seconds is Me de t^2 / 2 exactly.
ident::HoverModel pitchOnly() {
    ident::HoverModel m;
    m.name = "pitch only";
    m.terms[ident::kMe].value = -2e-4;
    m.trimElevator = 800.0;
    return m;
}

// The Bo-105-like example the tools' tests use.
std::string examplePlant() {
    return std::string(HOVER_SOURCE_DIR) + "/sim/ident/tests/data/example_plant.toml";
}

std::vector<double> column(const std::string& csv, const std::string& name) {
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    std::stringstream h(line);
    size_t index = 0;
    for (std::string cell; std::getline(h, cell, ',') && cell != name;) {
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

host::Scenario scenario(const std::string& text) {
    std::string error;
    std::optional<host::Scenario> s = host::parseScenario(text, "plant.toml", error);
    EXPECT_TRUE(s.has_value()) << error;
    return s.value_or(host::Scenario{});
}

// The primary response of each axis to a small step of its control, 1 s
// on: the change in the reading that axis moves first.
struct Response {
    double pitchNoseDown, velocityNorth, bankRight, velocityEast, yawRate, verticalSpeed;
};

Response respond(const host::Scenario& s, int axis, double stepCounts) {
    host::Aircraft aircraft;
    std::string error;
    EXPECT_TRUE(aircraft.load(s, error)) << error;
    EXPECT_EQ(aircraft.setUp(s), "");
    const flight::HostReadings before = aircraft.readings();
    host::ControlPositions c = aircraft.trimControls();
    double* fields[] = {&c.elevator, &c.aileron, &c.rudder, &c.throttle};
    *fields[axis] += stepCounts;
    aircraft.setControls(c);
    for (int i = 0; i < 90; ++i) {
        aircraft.advance(1.0 / 90.0);
    }
    const flight::HostReadings after = aircraft.readings();
    return {
        after.pitchNoseDownDeg - before.pitchNoseDownDeg, after.groundVelNorthFtS - before.groundVelNorthFtS,
        after.bankRightDeg - before.bankRightDeg,         after.groundVelEastFtS - before.groundVelEastFtS,
        after.yawRateTurn65536 - before.yawRateTurn65536, after.groundVelUpFtS - before.groundVelUpFtS};
}

int sign(double v) {
    return v > 0.0 ? 1 : (v < 0.0 ? -1 : 0);
}

}  // namespace

TEST(PlantScenario, NamesAPlantInPlaceOfAnAircraftAndNeverBoth) {
    std::string error;
    const auto s = host::parseScenario("plant = \"fits/bo105.toml\"\n", "dir/plant.toml", error);
    ASSERT_TRUE(s) << error;
    EXPECT_EQ(host::plantFilePath(*s), "dir/fits/bo105.toml");
    for (const char* text :
         {"aircraft = \"bo105\"\n\nplant = \"fit.toml\"\n", "\n\nplant = \"\"\n", "\n\nplant = 5\n"}) {
        EXPECT_FALSE(host::parseScenario(text, "t.toml", error)) << text;
        EXPECT_EQ(error.rfind("t.toml:3", 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    // A plant file that is refused is refused where the aircraft is loaded,
    // naming the file and the line.
    host::Scenario bad = scenario("name = \"bad\"\n");
    bad.plant = std::string(HOVER_SOURCE_DIR) + "/aircraft/bo105.toml";
    host::Aircraft aircraft;
    EXPECT_FALSE(aircraft.load(bad, error));
    EXPECT_NE(error.find("bo105.toml:"), std::string::npos) << error;
    EXPECT_NE(error.find("unknown key"), std::string::npos) << error;
}

TEST(PlantScenario, TrimmedInCalmAirItHoldsStillAndServesTheHostsUnits) {
    host::Scenario s = scenario("name = \"still\"\n[start]\nheight_ft = 60\nheading_deg = 270\n");
    s.plant = examplePlant();
    host::Aircraft aircraft;
    std::string error;
    ASSERT_TRUE(aircraft.load(s, error)) << error;
    ASSERT_EQ(aircraft.setUp(s), "");
    EXPECT_EQ(aircraft.name(), "test plant, Bo-105-like terms");
    EXPECT_DOUBLE_EQ(aircraft.rotorDiameterFt(), 32.3);
    EXPECT_EQ(aircraft.trimControls().throttle, 8900.0);
    aircraft.setControls(aircraft.trimControls());
    aircraft.advance(20.0);
    const flight::HostReadings r = aircraft.readings();
    constexpr double kStill = 1e-9;
    EXPECT_NEAR(r.groundVelNorthFtS, 0.0, kStill);
    EXPECT_NEAR(r.groundVelEastFtS, 0.0, kStill);
    EXPECT_NEAR(r.groundVelUpFtS, 0.0, kStill);
    EXPECT_NEAR(r.yawRateTurn65536, 0.0, kStill);
    EXPECT_NEAR(r.pitchNoseDownDeg, 0.0, kStill);
    EXPECT_NEAR(r.headingDeg, 270.0, kStill);
    EXPECT_NEAR(r.radarHeightM, 60.0 * units::kMetresPerFoot, kStill);
    EXPECT_EQ(r.rotorSpeedPercent, 100.0);
    // A plant has no rotor speed or engine of its own to set.
    EXPECT_FALSE(aircraft.setRotorPercent(90.0));
    EXPECT_FALSE(aircraft.setEnginePower(0.5));
}

TEST(PlantScenario, AControlStepActsAfterTheHostsLatencyWithTheHandComputedAcceleration) {
    // The host's own loop: 18 updates on 30 visual frames, the controls
    // moving one visual frame (1/30 s) after the update. The push is set at
    // update 18 (1 s, frame 30) and moves the elevator at 31/30 s; update
    // 19 comes on frame ceil(5 * 19 / 3) = 32 and update 20 on frame 34.
    host::Scenario s = scenario(R"(
name = "push"
duration = 2
[[event]]
at = 1
controls = { elevator = 3000 }
)");
    const ident::HoverModel model = pitchOnly();
    s.plant = writePlant(model, "pitch_only.toml");
    std::ostringstream trace;
    host::RunOptions options;
    options.trace = &trace;
    const host::RunResult result = host::runScenario(s, options);
    ASSERT_TRUE(result.flown) << result.error;
    const std::vector<double> pitch = column(trace.str(), "pitch_77");
    ASSERT_GT(pitch.size(), 21u);
    constexpr double kExact = 1e-9;  // deg: the integration of a constant acceleration is exact
    EXPECT_NEAR(pitch[18], 0.0, kExact);
    // theta = Me de t^2 / 2 with de = 3000 - 800, t from 31/30 s; the host
    // reads pitch positive nose down, so the reading is -theta in degrees.
    const double meDe = model.terms[ident::kMe].value * (3000.0 - 800.0);
    for (const auto& [update, frame] : {std::pair{19, 32}, std::pair{20, 34}}) {
        const double t = (frame - 31) / 30.0;
        EXPECT_NEAR(pitch[static_cast<size_t>(update)], -0.5 * meDe * t * t * kRadToDeg, kExact)
            << "update " << update;
    }
}

TEST(PlantScenario, RotorAndEngineEventsChangeNothingAndTheSummarySaysSoOnce) {
    host::Scenario s = scenario(R"(
name = "rotor events"
duration = 3
[[event]]
at = 1
rotor_percent = 90
[[event]]
at = 2
engine_power = 0.5
rotor_percent = 100
)");
    s.plant = examplePlant();
    const host::RunResult result = host::runScenario(s, host::RunOptions{});
    ASSERT_TRUE(result.flown) << result.error;
    const auto said = std::count_if(result.notes.begin(), result.notes.end(), [](const std::string& n) {
        return n.find("no rotor speed or engine") != std::string::npos;
    });
    EXPECT_EQ(said, 1);
}

TEST(PlantScenario, ItsReadingsMoveInTheSameSensesAsTheFlightModels) {
    const host::Scenario bo105 = scenario("name = \"bo105\"\naircraft = \"bo105\"\n");
    host::Scenario plant = scenario("name = \"plant\"\n");
    plant.plant = examplePlant();
    constexpr double kStep = 300.0;  // counts: small against the range
    // Forward cyclic: nose down, speeding north (heading north); left
    // cyclic: left wing down, moving west; left pedal: heading falling;
    // collective: climbing.
    const Response fe = respond(bo105, 0, kStep), pe = respond(plant, 0, kStep);
    EXPECT_EQ(sign(pe.pitchNoseDown), sign(fe.pitchNoseDown));
    EXPECT_EQ(sign(pe.velocityNorth), sign(fe.velocityNorth));
    EXPECT_EQ(sign(fe.pitchNoseDown), 1);
    const Response fa = respond(bo105, 1, kStep), pa = respond(plant, 1, kStep);
    EXPECT_EQ(sign(pa.bankRight), sign(fa.bankRight));
    EXPECT_EQ(sign(pa.velocityEast), sign(fa.velocityEast));
    EXPECT_EQ(sign(fa.bankRight), -1);
    const Response fr = respond(bo105, 2, kStep), pr = respond(plant, 2, kStep);
    EXPECT_EQ(sign(pr.yawRate), sign(fr.yawRate));
    EXPECT_EQ(sign(fr.yawRate), -1);
    const Response fc = respond(bo105, 3, kStep), pc = respond(plant, 3, kStep);
    EXPECT_EQ(sign(pc.verticalSpeed), sign(fc.verticalSpeed));
    EXPECT_EQ(sign(fc.verticalSpeed), 1);
}

#endif
