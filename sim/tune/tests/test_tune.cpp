// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/analysis/margins.h"
#include "sim/tune/factors.h"
#include "sim/tune/hold_margins.h"
#include "sim/tune/flight_pool.h"
#include "sim/tune/flights.h"
#include "sim/tune/margin_search.h"
#include "sim/tune/optimiser.h"
#include "sim/tune/report.h"
#include "sim/tune/round_trip.h"
#include "sim/tune/tuner.h"

namespace {

using tune::Factors;

// A small training set: one repetition, no air rougher than light, the
// aircraft exactly as given at no delay: eight flights a string, and one
// plant and one loop to analyse.
tune::TuneSettings smallTune(int processes, int budget) {
    tune::TuneSettings settings;
    settings.conditions.seeds = 1;
    settings.conditions.roughest = tune::Turbulence::kLight;
    settings.conditions.uncertainty = flight::Uncertainty{{0.0, 0.0, 0.0, 0.0}};
    settings.conditions.latencyFrames = {0.0};
    settings.conditions.stabilityDelayFrames = 0;
    settings.budget = budget;
    settings.seed = 7;
    settings.processes = processes;
    settings.modulePath = HOVER_TUNE_MODULE;
    // A short search of the margins too: under the sanitizers each linear
    // analysis costs tens of milliseconds.
    settings.marginSearch = tune::MarginSearchBudget{150, 50};
    return settings;
}

bool sameBits(const Factors& a, const Factors& b) {
    return std::memcmp(a.data(), b.data(), sizeof a) == 0;
}

TEST(ParameterString, reads_back_as_exactly_the_doubles_it_was_written_from) {
    const Factors awkward = {0.1,
                             1.0 / 3.0,
                             9.999999999999998,
                             std::nextafter(1.0, 2.0),
                             0.30000000000000004,
                             2.0 / 3.0,
                             1e-1 * 3,
                             7.0,
                             0.12345678901234568,
                             5.0,
                             1.0,
                             std::exp(-2.0)};
    const std::string text = tune::parameterString(awkward);
    const auto read = tune::readParameterString(text);
    ASSERT_TRUE(read.has_value()) << text;
    EXPECT_TRUE(sameBits(*read, awkward)) << text;

    // Keys left out for factors of exactly 1 read back as 1.
    const auto shortRead = tune::readParameterString(tune::parameterString(awkward, true));
    ASSERT_TRUE(shortRead.has_value());
    EXPECT_TRUE(sameBits(*shortRead, awkward));
    EXPECT_EQ(tune::parameterString(tune::kDefaultFactors, true), "");

    // Rounded to three significant digits, the string says just those.
    Factors some = tune::kDefaultFactors;
    some[0] = 5.357459049182591;
    some[1] = 0.44193865913337405;
    some[2] = 9.996;
    EXPECT_EQ(tune::parameterString(tune::rounded(some), true), "KprTurn 5.36 TvTurn 0.442 TnTurn 10");
}

TEST(ParameterString, refuses_text_the_module_would_read_otherwise) {
    // A comment character hides every key after it from the module.
    EXPECT_FALSE(tune::readParameterString("KprUp 2 / TvUp 3").has_value());
    // The module reads only a key's first occurrence.
    EXPECT_FALSE(tune::readParameterString("KprUp 2 KprUp 3").has_value());
    // A number that does not end where the next key begins.
    EXPECT_FALSE(tune::readParameterString("KprUp 2,5").has_value());
    EXPECT_EQ(tune::gaugeLine("KprUp 2"), "gauge00=hover!hover, 620, 380, 367, 265, KprUp 2");
}

TEST(Optimiser, finds_the_minimum_of_a_shifted_bowl_inside_its_box) {
    // f = sum (x_i - c_i)^2 with c inside the box: minimum 0 at c.
    const std::vector<double> centre = {0.7, -1.2, 0.3, 1.9};
    tune::OptimiserSettings settings;
    settings.low.assign(4, -2.3);
    settings.high.assign(4, 2.3);
    settings.start.assign(4, 0.0);
    settings.budget = 600;
    settings.seed = 3;
    int calls = 0;
    const auto bowl = [&](const std::vector<double>& x) {
        ++calls;
        double sum = 0.0;
        for (size_t i = 0; i < x.size(); ++i)
            sum += (x[i] - centre[i]) * (x[i] - centre[i]);
        return sum;
    };
    const tune::OptimiserResult result = tune::minimise(bowl, settings);
    constexpr double kPositionTolerance = 1e-2;
    for (size_t i = 0; i < centre.size(); ++i)
        EXPECT_NEAR(result.best[i], centre[i], kPositionTolerance);
    EXPECT_LT(result.bestValue, 1e-4);
    EXPECT_LE(result.evaluations, settings.budget);
    EXPECT_EQ(result.evaluations, calls);

    // The same seed repeats the search exactly.
    const tune::OptimiserResult again = tune::minimise(bowl, settings);
    EXPECT_EQ(again.best, result.best);
    EXPECT_EQ(again.evaluations, result.evaluations);
}

TEST(Optimiser, stops_when_asked_and_keeps_the_best_point_seen) {
    tune::OptimiserSettings settings;
    settings.low.assign(2, -1.0);
    settings.high.assign(2, 1.0);
    settings.start = {0.5, 0.5};
    settings.budget = 1000;
    std::atomic<bool> stop{false};
    int calls = 0;
    const auto f = [&](const std::vector<double>& x) {
        if (++calls == 10)
            stop.store(true);
        return x[0] * x[0] + x[1] * x[1];
    };
    const tune::OptimiserResult result = tune::minimise(f, settings, &stop);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.evaluations, 10);
    EXPECT_LE(result.bestValue, 0.5);  // never worse than the start point
}

TEST(Optimiser, counts_only_costly_evaluations_and_still_ends_when_every_point_is_rejected) {
    tune::OptimiserSettings settings;
    settings.low.assign(3, -1.0);
    settings.high.assign(3, 1.0);
    settings.start = {0.0, 0.0, 0.0};
    settings.budget = 20;
    settings.freeAbove = 100.0;
    // Half the box is rejected cheaply; the budget counts the other half.
    int costly = 0;
    const auto halfRejected = [&](const std::vector<double>& x) {
        if (x[0] > 0.2)
            return 1000.0;
        ++costly;
        return (x[0] + 0.5) * (x[0] + 0.5) + x[1] * x[1] + x[2] * x[2];
    };
    const tune::OptimiserResult result = tune::minimise(halfRejected, settings);
    EXPECT_EQ(result.evaluations, costly);
    EXPECT_LE(result.evaluations, settings.budget);
    EXPECT_GE(result.calls, result.evaluations);

    // Nothing but rejections: the search still ends, after the call limit.
    const tune::OptimiserResult none =
        tune::minimise([](const std::vector<double>&) { return 1000.0; }, settings);
    EXPECT_EQ(none.evaluations, 0);
    EXPECT_LE(none.calls, tune::kFreeCallsPerBudget * settings.budget);
}

// A trace in the host's format: `rows` frames at 18 a second, each given by
// a function of the frame's time.
struct Row {
    double heightFt = 100, northFt = 0, eastFt = 0, headingDeg = 0, elevator = 0;
    bool engaged = true;
};
template <typename F>
std::string makeTrace(int rows, F rowAt) {
    std::string t =
        "frame,host_time,hdg_86,vn_554,ve_555,rud_314,ail_311,elev_309,thr_128,cmd_rudder,cmd_aileron,"
        "cmd_elevator,cmd_throttle,engaged,panel_target_ft,height_ft,north_ft,east_ft,actions\n";
    for (int k = 0; k < rows; ++k) {
        const double time = k / 18.0;
        const Row r = rowAt(time);
        char line[256];
        std::snprintf(
            line, sizeof line,
            "%d,%.10g,%.10g,0,0,4800,-250,%.10g,8200,0,0,%.10g,9000,%d,100,%.10g,%.10g,%.10g,\"\"\n", k, time,
            r.headingDeg, r.elevator, r.elevator, r.engaged ? 1 : 0, r.heightFt, r.northFt, r.eastFt);
        t += line;
    }
    return t;
}

// Margins known in closed form. Each loop's gain margin falls 6 dB for
// each doubling of its Kpr factor from 12 dB at a factor of 0.25 (6 dB at
// 0.5), and its phase margin is 60 - 30 x its Kpr factor (45 deg at 0.5);
// so every loop meets both bounds exactly when its Kpr factor is at most
// 0.5. With `forwardPhaseCap`, the Forward loop's phase margin can never
// pass 30 x (1 - |ln Tv| / 5): 30 deg at best, at a Tv factor of 1.
tune::MarginReport knownMargins(const Factors& f, bool forwardPhaseCap) {
    tune::MarginReport m;
    m.available = m.trimmed = m.stable = true;
    m.slowestPoleRadius = 0.9;
    for (size_t loop = 0; loop < 4; ++loop) {
        const double kpr = f[loop * 3];
        m.loops[loop].gainMarginDb = 12.0 - 6.0 * std::log2(kpr / 0.25);
        m.loops[loop].phaseMarginDeg = 60.0 - 30.0 * kpr;
    }
    if (forwardPhaseCap) {
        constexpr size_t kForward = 2;
        m.loops[kForward].phaseMarginDeg = 30.0 * (1.0 - std::fabs(std::log(f[kForward * 3 + 1])) / 5.0);
    }
    return m;
}

TEST(MarginSearch, moves_the_start_to_where_every_loop_keeps_its_margins) {
    const tune::MarginFunction margins = [](const Factors& f) { return knownMargins(f, false); };
    ASSERT_GT(margins(tune::kDefaultFactors).shortfall(), 0.0);
    const tune::MarginSearch s = tune::searchMargins(margins, tune::kDefaultFactors, tune::FactorBounds{});
    EXPECT_TRUE(s.feasible);
    EXPECT_FALSE(s.bounds.relaxed);
    EXPECT_EQ(s.requiredShortfall, 0.0);
    EXPECT_TRUE(margins(s.start).meets(tune::MarginBounds{}));
    for (size_t loop = 0; loop < 4; ++loop) {
        EXPECT_LE(s.start[loop * 3], 0.5) << loop;
        EXPECT_TRUE(s.reach[loop].meetsRequired);
    }
    EXPECT_TRUE(tune::shortLoops(s).empty());

    // A start that already meets them is kept as it is.
    Factors soft = tune::kDefaultFactors;
    for (size_t loop = 0; loop < 4; ++loop)
        soft[loop * 3] = 0.4;
    const tune::MarginSearch kept = tune::searchMargins(margins, soft, tune::FactorBounds{});
    EXPECT_TRUE(kept.feasible);
    EXPECT_EQ(kept.start, soft);
}

TEST(MarginSearch, names_the_loop_that_cannot_reach_its_margins_and_holds_it_to_what_it_reached) {
    const tune::MarginFunction margins = [](const Factors& f) { return knownMargins(f, true); };
    Factors start = tune::kDefaultFactors;
    start[7] = 3.0;  // TvForward away from its best
    const tune::MarginSearch s = tune::searchMargins(margins, start, tune::FactorBounds{});
    EXPECT_FALSE(s.feasible);
    EXPECT_TRUE(s.bounds.relaxed);
    constexpr size_t kForward = 2;
    constexpr double kPhaseTolerance = 0.5;  // deg: the search is local and its factors rounded
    const tune::LoopReach& forward = s.reach[kForward];
    EXPECT_FALSE(forward.meetsRequired);
    EXPECT_NEAR(forward.phaseMarginDeg, 30.0, kPhaseTolerance);
    EXPECT_STREQ(forward.limitedBy, "phase margin");
    EXPECT_NEAR(s.bounds.phaseMarginDeg[kForward], tune::kReachedShare * forward.phaseMarginDeg, 1e-9);
    EXPECT_LE(s.bounds.gainMarginDb[kForward], tune::kRequiredGainMarginDb);
    // The other loops keep the required bounds, and the start meets all the
    // bounds kept.
    for (size_t loop : {0u, 1u, 3u}) {
        EXPECT_TRUE(s.reach[loop].meetsRequired) << loop;
        EXPECT_EQ(s.bounds.phaseMarginDeg[loop], tune::kRequiredPhaseMarginDeg);
        EXPECT_EQ(s.bounds.gainMarginDb[loop], tune::kRequiredGainMarginDb);
    }
    EXPECT_EQ(margins(s.start).shortfall(s.bounds), 0.0);
    const std::vector<std::string> lines = tune::shortLoops(s);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Forward: best found", 0), 0u) << lines[0];
}

TEST(FlightScore, is_the_largest_error_against_the_bounds_the_air_calls_for) {
    tune::FlightCase hold;
    hold.kind = tune::FlightKind::kHold;
    hold.windowFrom = 12.0;
    hold.windowTo = 42.0;
    // In the window: 1 ft high, 4.5 ft from the first point, 2 deg of heading;
    // before the window, much worse (not counted).
    const std::string trace = makeTrace(43 * 18, [](double t) {
        Row r;
        if (t < 12.0) {
            r.heightFt = 150;
            return r;
        }
        r.heightFt = 101.0;
        r.northFt = t > 30.0 ? 4.5 : 0.0;
        r.headingDeg = t > 30.0 ? -2.0 : 0.0;
        r.elevator = t > 27.0 ? 6000.0 : 0.0;  // at the limit for half of the window
        return r;
    });
    tune::FlightOutcome calm = tune::scoreTrace(hold, trace);
    ASSERT_TRUE(calm.flown);
    EXPECT_DOUBLE_EQ(calm.heightErrorFt, 1.0);
    EXPECT_DOUBLE_EQ(calm.positionErrorFt, 4.5);
    EXPECT_DOUBLE_EQ(calm.headingErrorDeg, 2.0);
    EXPECT_DOUBLE_EQ(calm.worst, 1.5);  // 4.5 ft against 3 ft
    constexpr double kShareTolerance = 0.01;
    EXPECT_NEAR(calm.limitFraction, 0.5, kShareTolerance);
    // Only the fore-aft cyclic sat at its limit; the trim is the first row's.
    EXPECT_NEAR(calm.axisLimitFraction[2], 0.5, kShareTolerance);
    EXPECT_EQ(calm.axisLimitFraction[0] + calm.axisLimitFraction[1] + calm.axisLimitFraction[3], 0.0);
    EXPECT_EQ(calm.startControl, (std::array<double, 4>{4800.0, -250.0, 0.0, 8200.0}));
    EXPECT_NEAR(calm.score, 1.0 + std::log(1.5) + tune::kLimitPenalty * 0.5, kShareTolerance);

    // In moderate turbulence the adequate bounds (twice) apply.
    hold.turbulence = tune::Turbulence::kModerate;
    EXPECT_DOUBLE_EQ(tune::scoreTrace(hold, trace).worst, 0.75);

    // A hold that lets go for a tenth of the window has not held.
    const std::string dropped = makeTrace(43 * 18, [](double t) {
        Row r;
        r.engaged = !(t > 20.0 && t <= 23.0);
        return r;
    });
    EXPECT_GT(tune::scoreTrace(hold, dropped).worst, 1.0);
    // A trace that is not the host's is not a flight.
    EXPECT_FALSE(tune::scoreTrace(hold, "frame,host_time\n0,0\n").flown);
}

TEST(FlightScore, of_a_set_is_the_ninetieth_percentile_by_nearest_rank) {
    std::vector<tune::FlightOutcome> outcomes(10);
    for (int i = 0; i < 10; ++i) {
        outcomes[static_cast<size_t>(i)].flown = true;
        outcomes[static_cast<size_t>(i)].score = (10 - i) / 10.0;  // 1.0, 0.9, ..., 0.1
    }
    EXPECT_DOUBLE_EQ(tune::percentileScore(outcomes), 0.9);
    EXPECT_DOUBLE_EQ(tune::setScore(outcomes), 0.9 + tune::kMeanWeight * 0.55);
    // Flights the host could not fly count as lost, not as perfect.
    outcomes[3].flown = false;
    EXPECT_DOUBLE_EQ(tune::percentileScore(outcomes), 1.0);
    outcomes[5].flown = false;
    EXPECT_DOUBLE_EQ(tune::percentileScore(outcomes), tune::kUnflownScore);
    EXPECT_DOUBLE_EQ(tune::setScore({}), tune::kUnflownScore);
    // Above the bound the score grows with the logarithm of the error.
    EXPECT_DOUBLE_EQ(tune::compressedError(0.5), 0.5);
    EXPECT_DOUBLE_EQ(tune::compressedError(std::exp(2.0)), 3.0);
}

TEST(RoundTrip, the_module_reads_the_written_string_as_the_scored_factors) {
    const tune::Tuner tuner(smallTune(2, 1));
    Factors factors = tune::kDefaultFactors;
    factors[6] = 0.4999999999999999;  // KprForward
    factors[7] = 0.55;                // TvForward
    factors[9] = 1.25;                // KprUp
    const tune::Evaluation scored = tuner.evaluate(factors, nullptr, true);
    ASSERT_TRUE(scored.flown);
    const size_t probe = tune::probeFlight(tuner.flights());  // the engagement from a drift
    ASSERT_EQ(tuner.flights()[probe].kind, tune::FlightKind::kCaptureDrift);
    const uint64_t hash = scored.outcomes[probe].traceHash;

    const tune::RoundTripResult good =
        tune::checkRoundTrip(tuner.pool(), tuner.flights()[probe], hash, factors, scored.parameters);
    EXPECT_TRUE(good.passed()) << good.summary();

    // A string the module reads otherwise is caught: a comment character in
    // front of the last key hides it.
    std::string hidden = scored.parameters;
    hidden.insert(hidden.find("KprUp"), "/ ");
    const tune::RoundTripResult bad =
        tune::checkRoundTrip(tuner.pool(), tuner.flights()[probe], hash, factors, hidden);
    EXPECT_FALSE(bad.passed());
    EXPECT_FALSE(bad.textExact);
    EXPECT_FALSE(bad.sameAsScored);
}

TEST(Tune, gives_the_same_string_with_one_process_and_with_two) {
    const tune::TuneResult one = tune::Tuner(smallTune(1, 4)).tune(nullptr, {});
    const tune::TuneResult two = tune::Tuner(smallTune(2, 4)).tune(nullptr, {});
    EXPECT_EQ(one.best.parameters, two.best.parameters);
    EXPECT_EQ(one.best.score, two.best.score);
    ASSERT_EQ(one.best.outcomes.size(), two.best.outcomes.size());
    for (size_t i = 0; i < one.best.outcomes.size(); ++i) {
        EXPECT_EQ(one.best.outcomes[i].traceHash, two.best.outcomes[i].traceHash) << i;
    }
}

TEST(Tune, a_short_search_improves_on_the_default_gains) {
    const tune::Tuner tuner(smallTune(2, 16));
    const tune::Evaluation defaults = tuner.evaluate(tune::kDefaultFactors);
    const tune::TuneResult tuned = tuner.tune(nullptr, {});
    EXPECT_LT(tuned.best.score, defaults.score) << tuned.best.parameters;
    // The best point's flights, flown again, score what the search saw.
    EXPECT_EQ(tuned.best.score, tuned.search.bestValue);
}

// A gain k acting one sample late, L(z) = k / z: |(1 - L) / (1 + L)| is
// largest at half the sample rate, z = -1, where it is (1 + k) / (1 - k),
// so the disk margin is 2 (1 - k) / (1 + k): 2/3 at k = 1/2.
TEST(DiskMargin, of_a_gain_one_sample_late_is_two_times_one_minus_k_over_one_plus_k) {
    constexpr double kGridTolerance = 1e-9;  // the grid ends at half the sample rate itself
    Eigen::MatrixXd a = Eigen::MatrixXd::Zero(1, 1);
    Eigen::VectorXd b = Eigen::VectorXd::Ones(1);
    for (double k : {0.25, 0.5, 0.9}) {
        Eigen::RowVectorXd c(1);
        c << k;
        EXPECT_NEAR(analysis::sampledDiskMargin(a, b, c, 0.0, 1.0 / 18.0, true).alpha, 2.0 * (1.0 - k) / (1.0 + k),
                    kGridTolerance)
            << k;
        // The search's coarser reading finds the same peak at the grid's end.
        EXPECT_NEAR(analysis::sampledDiskAlpha(a, b, c, 0.0), 2.0 * (1.0 - k) / (1.0 + k), kGridTolerance) << k;
    }
    // A disk margin of 2/3 guarantees 6.02 dB (a factor of 2) and
    // 2 atan(1/3) = 36.87 deg at once.
    EXPECT_NEAR(tune::diskGainMarginDb(2.0 / 3.0), 20.0 * std::log10(2.0), 1e-9);
    EXPECT_NEAR(tune::diskPhaseMarginDeg(2.0 / 3.0), 36.8699, 1e-4);
}

TEST(Uncertainty, training_plants_are_half_the_corners_and_validation_the_other_half_and_points_inside) {
    const flight::Uncertainty u{{0.2, 0.1, 0.2, 0.3}};
    const std::vector<flight::ParameterScale> training = tune::plantSamples(u, false);
    const std::vector<flight::ParameterScale> validation = tune::plantSamples(u, true);
    ASSERT_EQ(training.size(), 9u);  // as given, and 8 of 16 corners
    ASSERT_EQ(validation.size(), 11u);  // the other 8, and 3 inside
    EXPECT_EQ(training[0].inertia, 1.0);
    EXPECT_EQ(training[0].tailRotor, 1.0);
    // Each factor high on half the training corners and low on the others.
    for (int i = 0; i < flight::kScaleCount; ++i) {
        int high = 0;
        for (size_t k = 1; k < training.size(); ++k)
            high += flight::scaleFactor(training[k], i) > 1.0 ? 1 : 0;
        EXPECT_EQ(high, 4) << i;
    }
    EXPECT_DOUBLE_EQ(training[1].inertia, 0.8);  // the corner with the first three low
    EXPECT_DOUBLE_EQ(training[1].controlPower, 0.9);
    EXPECT_DOUBLE_EQ(training[1].tailRotor, 0.7);
    // The validation set never repeats a training plant.
    for (const flight::ParameterScale& v : validation)
        for (const flight::ParameterScale& t : training)
            EXPECT_FALSE(v.inertia == t.inertia && v.controlPower == t.controlPower
                         && v.rotorDamping == t.rotorDamping && v.tailRotor == t.tailRotor);
    // With nothing uncertain there is one plant, the aircraft as given.
    EXPECT_EQ(tune::plantSamples(flight::Uncertainty{{0, 0, 0, 0}}, false).size(), 1u);
}

TEST(Uncertainty, a_latency_is_flown_at_the_whole_panel_frames_that_cover_it) {
    tune::FlightConditions c;
    const std::vector<host::HostLoop> loops = tune::loopSamples(c, false);
    ASSERT_EQ(loops.size(), 4u);
    const int expected[] = {0, 1, 1, 1};
    for (size_t i = 0; i < loops.size(); ++i)
        EXPECT_EQ(tune::wholeDelayFrames(loops[i]), expected[i]) << i;
    EXPECT_NEAR(loops[1].latencyS, 1.0 / 54.0, 1e-12);  // a third of an 18th of a second
    host::HostLoop late;
    late.delayUpdates = 2;
    EXPECT_EQ(tune::wholeDelayFrames(late), 2);
    // Validation latencies lie between the training ones: 1/6, 1/2, 5/6, 1.
    const std::vector<host::HostLoop> between = tune::loopSamples(c, true);
    ASSERT_EQ(between.size(), 4u);
    EXPECT_NEAR(between[0].latencyS * 18.0, 1.0 / 6.0, 1e-12);
    EXPECT_NEAR(between[2].latencyS * 18.0, 5.0 / 6.0, 1e-12);
}

TEST(FlightSets, hold_in_fifteen_knots_of_moderate_turbulence_and_engage_from_ten_knots) {
    tune::FlightConditions c;
    const std::vector<tune::FlightCase> training = tune::monteCarloSet(c);
    const std::vector<tune::FlightCase> validation = tune::validationSet(c);
    bool moderate15 = false, drift10 = false, offHeight = false;
    for (const tune::FlightCase& f : training) {
        moderate15 = moderate15
                     || (f.kind == tune::FlightKind::kHold && f.turbulence == tune::Turbulence::kModerate
                         && f.windKt == 15.0);
        drift10 = drift10 || (f.kind == tune::FlightKind::kCaptureDrift && f.driftKt >= 10.0);
        offHeight = offHeight || f.kind == tune::FlightKind::kCaptureOffset;
        EXPECT_LE(f.windKt, 20.0) << f.name;
        EXPECT_FALSE(f.validation);
    }
    EXPECT_TRUE(moderate15);
    EXPECT_TRUE(drift10);
    EXPECT_TRUE(offHeight);
    // The validation flights have seeds of their own.
    for (const tune::FlightCase& v : validation) {
        EXPECT_TRUE(v.validation);
        for (const tune::FlightCase& t : training)
            EXPECT_NE(v.seed, t.seed);
    }
    // The scenario flies the flight's own plant, wind and delay.
    const tune::FlightCase& f = training[1];
    const host::Scenario s = tune::scenarioFor(f, c, "");
    EXPECT_EQ(s.aircraftScale.inertia, f.scale.inertia);
    EXPECT_EQ(s.wind.speedKt, f.windKt);
    EXPECT_EQ(s.commandDelayFrames, 0);
    ASSERT_TRUE(s.commandLatencyS.has_value());
    EXPECT_EQ(*s.commandLatencyS, f.loop.latencyS);
    EXPECT_EQ(s.visualFrameRate, f.loop.visualRate);
}

// One flight fifty times over its bound among flights at half their bound:
// the 90th percentile of 24 flights does not see it, the tuner's score does,
// and a string whose every flight is at 1.5 times its bound beats it.
TEST(FlightScore, the_tuned_score_cannot_ignore_a_runaway_flight) {
    std::vector<tune::FlightOutcome> runaway(24), steady(24);
    for (size_t i = 0; i < 24; ++i) {
        runaway[i].flown = steady[i].flown = true;
        runaway[i].worst = 0.5;
        runaway[i].score = 0.5;
        steady[i].worst = 1.5;
        steady[i].score = tune::compressedError(1.5);
    }
    runaway[7].worst = 50.0;
    runaway[7].score = tune::compressedError(50.0);  // 1 + ln 50 = 4.91
    EXPECT_LT(tune::setScore(runaway), tune::setScore(steady));
    const double runawayMean = (23 * 0.5 + 1.0 + std::log(50.0)) / 24.0;
    EXPECT_NEAR(tune::worstScore(runaway), 1.0 + std::log(50.0) + tune::kMeanWeight * runawayMean, 1e-12);
    EXPECT_GT(tune::worstScore(runaway), tune::worstScore(steady));
    // A flight the host could not fly counts as lost.
    steady[3].flown = false;
    EXPECT_NEAR(tune::worstScore(steady), tune::kUnflownScore + tune::kMeanWeight *
                    (23 * tune::compressedError(1.5) + tune::kUnflownScore) / 24.0, 1e-12);
    // Held: every flight flown and within the factor of its bounds.
    EXPECT_FALSE(tune::setHolds(steady, 2.0));
    steady[3].flown = true;
    EXPECT_TRUE(tune::setHolds(steady, 2.0));
    EXPECT_FALSE(tune::setHolds(steady, 1.4));
    EXPECT_FALSE(tune::setHolds({}, 2.0));
}

TEST(ExitStatus, is_one_when_the_string_misses_its_margins_or_does_not_hold_on_the_validation_set) {
    tune::TuneResult r;
    r.best.requiredMet = true;
    r.validation.flown = true;
    r.validation.flightsHold = true;
    r.validation.stable = true;
    r.validation.margins.available = true;
    EXPECT_EQ(tune::exitStatus(false, &r, false), 0);
    EXPECT_EQ(tune::exitStatus(true, &r, false), 130);
    EXPECT_EQ(tune::exitStatus(false, &r, true), 1);
    EXPECT_EQ(tune::exitStatus(false, nullptr, false), 1);
    r.validation.stable = false;  // a validation plant or latency unstable
    EXPECT_EQ(tune::exitStatus(false, &r, false), 1);
    r.validation.stable = true;
    r.validation.flightsHold = false;  // a validation flight beyond its bounds
    EXPECT_EQ(tune::exitStatus(false, &r, false), 1);
    r.validation.flightsHold = true;
    r.validation.flown = false;  // never flown
    EXPECT_EQ(tune::exitStatus(false, &r, false), 1);
    r.validation.flown = true;
    r.best.requiredMet = false;
    EXPECT_EQ(tune::exitStatus(false, &r, false), 1);
}

// A disk margin of 1.9 on every loop (about 32 dB and 87 deg at once) is
// beyond any string: the search ends with the best it found, which misses
// the margins, and the tool's status is 1.
TEST(Tune, an_uncertainty_set_no_string_can_keep_gives_the_best_found_and_exit_status_one) {
    tune::TuneSettings settings = smallTune(2, 2);
    settings.required = tune::MarginBounds::disk(1.9);
    settings.marginSearch = tune::MarginSearchBudget{30, 10};
    const tune::Tuner tuner(settings);
    const tune::TuneResult r = tuner.tune(nullptr, {});
    EXPECT_FALSE(r.margins.feasible);
    EXPECT_FALSE(r.best.requiredMet);
    EXPECT_FALSE(r.best.parameters.empty());
    EXPECT_TRUE(r.best.flown);  // the best found is flown for the report
    EXPECT_EQ(tune::exitStatus(false, &r, false), 1);
}

std::string textOf(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool isIndexedPng(const std::string& path) {
    const std::string bytes = textOf(path);
    return bytes.size() > 26 && bytes.substr(12, 4) == "IHDR" && bytes[25] == 3;
}

// The report shows only pictures it wrote, says how to draw the time
// histories, and that command's drawing gives them in indexed colour.
TEST(Report, links_only_the_pictures_it_writes_and_the_histories_are_drawn_from_its_folder) {
    const tune::Tuner tuner(smallTune(2, 1));
    const std::string dir = std::string(HOVER_TUNE_OUTPUT) + "/report";
    std::filesystem::remove_all(dir);
    tune::ReportInput input;
    input.outDir = dir;
    input.commandLine = "hovertune --seeds 1 --out " + dir;
    input.aircraftName = "test";
    input.tuner = &tuner;
    tune::Evaluation flown = tuner.evaluate(tune::kDefaultFactors, nullptr, true);
    ASSERT_TRUE(flown.flown);
    input.candidates = {{"default gains", flown}, {"tuned", flown}};
    std::string error;
    ASSERT_TRUE(tune::writeReport(input, error)) << error;

    const std::string report = textOf(dir + "/report.md");
    // Every picture the report shows, ![caption](file), exists beside it.
    int pictures = 0;
    for (size_t at = report.find("!["); at != std::string::npos; at = report.find("![", at + 2)) {
        const size_t open = report.find("](", at);
        const size_t close = open == std::string::npos ? open : report.find(')', open);
        ASSERT_NE(close, std::string::npos) << "an unclosed picture link at " << at;
        ++pictures;
        const std::string file = dir + "/" + report.substr(open + 2, close - open - 2);
        EXPECT_TRUE(std::filesystem::exists(file)) << file;
        EXPECT_TRUE(isIndexedPng(file)) << file;
    }
    EXPECT_EQ(pictures, 1);  // the score chart
    EXPECT_NE(report.find("`" + input.commandLine + " --draw-histories`"), std::string::npos) << report;
    for (const tune::History& h : tune::kHistories)
        EXPECT_NE(report.find(h.file), std::string::npos) << h.file;

    ASSERT_TRUE(tune::drawHistories(tuner, dir, error)) << error;
    for (const tune::History& h : tune::kHistories)
        EXPECT_TRUE(isIndexedPng(dir + "/" + h.file)) << h.file;

    // Without a string in the folder there is nothing to draw, and it says so.
    const std::string empty = std::string(HOVER_TUNE_OUTPUT) + "/no_report";
    std::filesystem::remove_all(empty);
    std::filesystem::create_directories(empty);
    EXPECT_FALSE(tune::drawHistories(tuner, empty, error));
    EXPECT_NE(error.find("parameters.txt"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(empty + "/" + tune::kHistories[0].file));
}

}  // namespace
