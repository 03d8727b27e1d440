// SPDX-License-Identifier: MIT
//
// A plant file standing in for the aircraft: the uncertainty comes from the
// fit's standard errors, the latency set holds the fitted latency, the
// flights fly the plant and the analysis reads its terms.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/ident/hover_model.h"
#include "sim/ident/plant_file.h"
#include "sim/tune/factors.h"
#include "sim/tune/flight_pool.h"
#include "sim/tune/flights.h"
#include "sim/tune/hold_margins.h"

namespace {

std::string examplePlant() {
    return std::string(HOVER_SOURCE_DIR) + "/sim/ident/tests/data/example_plant.toml";
}

// The example plant with its latency (and perhaps more) changed, written
// into the test's temporary folder.
std::string variant(const std::string& name, double delayS, const std::string& extra = "",
                    double meFactor = 1.0) {
    std::string error;
    std::optional<ident::HoverModel> m = ident::readPlantFile(examplePlant(), error);
    EXPECT_TRUE(m) << error;
    m->delayS.value = delayS;
    m->terms[ident::kMe].value *= meFactor;
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << ident::plantFileText(*m, "a variant for the tuner's tests") << extra;
    return path;
}

tune::FlightConditions plantConditions(const std::string& path) {
    tune::FlightConditions c;
    c.plant = path;
    c.seeds = 1;
    c.roughest = tune::Turbulence::kLight;
    return c;
}

constexpr double kSameSpread = 1e-12;

}  // namespace

TEST(TunePlant, TheUncertaintyIsTwiceEachGroupsLargestRelativeErrorAndTheFittedLatencyLiesInTheSet) {
    tune::FlightConditions c = plantConditions(examplePlant());
    std::string name, problem;
    ASSERT_TRUE(tune::hostCanFly(c, name, problem)) << problem;
    EXPECT_EQ(name, "test plant, Bo-105-like terms");
    // From the example's errors by hand: control power's worst is Xe, Ya,
    // Le, Ma at 10 % (0.2); rotor damping's Lq, Mp at 10 % (0.2); tail
    // rotor's Yr at 10 % (0.2); inertia's (the L, M, N terms) 10 % too.
    EXPECT_NEAR(c.uncertainty.spread.controlPower, 0.2, kSameSpread);
    EXPECT_NEAR(c.uncertainty.spread.rotorDamping, 0.2, kSameSpread);
    EXPECT_NEAR(c.uncertainty.spread.tailRotor, 0.2, kSameSpread);
    EXPECT_NEAR(c.uncertainty.spread.inertia, 0.2, kSameSpread);
    // 33.3 ms at 18 updates a second is 0.6 of a panel frame: inside 0..1.
    ASSERT_TRUE(c.plantDelayS);
    EXPECT_DOUBLE_EQ(*c.plantDelayS, 0.0333);
    EXPECT_FALSE(c.latencySetExtended);
    EXPECT_EQ(c.latencyFrames.size(), 4u);
    // The flights fly the plant, by its absolute path.
    const host::Scenario s = tune::scenarioFor(tune::monteCarloSet(c).front(), c, "");
    EXPECT_EQ(s.plant, c.plant);
    EXPECT_EQ(s.plant.front(), '/');

    // The file's own table overrides the groups it names.
    tune::FlightConditions table =
        plantConditions(variant("table.toml", 0.0333, "\n[uncertainty]\ntail_rotor = 0.4\n"));
    ASSERT_TRUE(tune::hostCanFly(table, name, problem)) << problem;
    EXPECT_EQ(table.uncertainty.spread.tailRotor, 0.4);
    EXPECT_NEAR(table.uncertainty.spread.controlPower, 0.2, kSameSpread);
}

TEST(TunePlant, ALatencyOutsideTheSetExtendsItAndOneBeyondTwoPanelFramesIsRefused) {
    // 80 ms at 18 a second: 1.44 panel frames, past the set's 1.
    tune::FlightConditions late = plantConditions(variant("late.toml", 0.08));
    std::string name, problem;
    ASSERT_TRUE(tune::hostCanFly(late, name, problem)) << problem;
    EXPECT_TRUE(late.latencySetExtended);
    EXPECT_NEAR(late.latencyFrames.back(), 1.44, 1e-12);
    EXPECT_TRUE(std::is_sorted(late.latencyFrames.begin(), late.latencyFrames.end()));
    const std::vector<host::HostLoop> loops = tune::loopSamples(late, false);
    EXPECT_NEAR(loops.back().latencyS, 0.08, 1e-12);

    tune::FlightConditions tooLate = plantConditions(variant("too_late.toml", 0.2));
    EXPECT_FALSE(tune::hostCanFly(tooLate, name, problem));
    EXPECT_NE(problem.find("more than two panel frames"), std::string::npos) << problem;
    tune::FlightConditions missing = plantConditions("/no/such/plant.toml");
    EXPECT_FALSE(tune::hostCanFly(missing, name, problem));
    EXPECT_EQ(problem, "/no/such/plant.toml:0: no such plant file");
}

TEST(TunePlant, TheAnalysisReadsThePlantsTerms) {
    // One plant (no spread) and one loop (no latency): the closed loop's
    // slowest pole must move when the pitch control power does, and only
    // the plant can have moved it.
    auto margins = [](const std::string& path) {
        tune::FlightConditions c = plantConditions(path);
        c.spreadOverride = flight::Uncertainty{{0.0, 0.0, 0.0, 0.0}};
        c.latencyFrames = {0.0};
        c.stabilityDelayFrames = 0;
        std::string name, problem;
        EXPECT_TRUE(tune::hostCanFly(c, name, problem)) << problem;
        return tune::analyseMargins(c, tune::kDefaultFactors);
    };
    const tune::MarginReport given = margins(variant("given.toml", 0.0));
    const tune::MarginReport weaker = margins(variant("weaker.toml", 0.0, "", 0.25));
    ASSERT_TRUE(given.available) << given.unavailableReason;
    EXPECT_TRUE(given.trimmed);
    EXPECT_GT(given.cases, 0);
    EXPECT_GT(given.slowestPoleRadius, 0.0);
    EXPECT_NE(given.slowestPoleRadius, weaker.slowestPoleRadius);
}

TEST(TunePlant, AFlightOfTheSetFliesThePlant) {
    tune::FlightConditions c = plantConditions(examplePlant());
    std::string name, problem;
    ASSERT_TRUE(tune::hostCanFly(c, name, problem)) << problem;
    const tune::FlightPool pool(1, HOVER_TUNE_MODULE, c);
    tune::FlightJob job;
    job.flight = tune::monteCarloSet(c).front();
    job.parameters = "";
    const tune::FlightOutcome outcome = pool.flyHere(job);
    EXPECT_TRUE(outcome.flown);
    EXPECT_TRUE(outcome.trimmed);
}
