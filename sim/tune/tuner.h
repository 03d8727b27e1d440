// SPDX-License-Identifier: MIT
//
// The tuning itself: a set of factors is judged by the linear margins first
// (a set that misses them is not flown) and then by the Monte Carlo set of
// flights with the real module; the optimiser searches the factors' logs.
#ifndef HOVER_SIM_TUNE_TUNER_H
#define HOVER_SIM_TUNE_TUNER_H

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "sim/tune/factors.h"
#include "sim/tune/flight_pool.h"
#include "sim/tune/flights.h"
#include "sim/tune/hold_margins.h"
#include "sim/tune/margin_search.h"
#include "sim/tune/optimiser.h"

namespace tune {

// A score above every flown score: factors that miss the margins.
constexpr double kInfeasibleScore = 100.0;

struct Evaluation {
    Factors factors = kDefaultFactors;
    std::string parameters;
    MarginReport margins;
    bool marginsMet = true;   // met the bounds it was judged by (the required, or relaxed ones)
    bool requiredMet = true;  // met the required bounds
    bool flown = false;
    std::vector<FlightOutcome> outcomes;    // in the order of the Monte Carlo set
    double flightScore = kInfeasibleScore;  // the flights' score (setScore), when flown
    double score = kInfeasibleScore;        // what the search minimises: flightScore, or above every
                                            // flight score by the margins' shortfall
};

struct TuneSettings {
    FlightConditions conditions;
    int budget = 240;  // evaluations
    uint64_t seed = 1;
    int processes = 2;  // flights at once
    std::string modulePath;
    FactorBounds bounds;
    MarginBounds required;            // what every loop's margins must keep
    MarginSearchBudget marginSearch;  // linear analyses for the search of the margins
};

struct TuneResult {
    MarginSearch margins;  // where the flown search started, and the bounds it kept
    Evaluation best;
    OptimiserResult search;
    double seconds = 0.0;
    long flights = 0;
};

class Tuner {
public:
    explicit Tuner(TuneSettings settings);

    const std::vector<FlightCase>& flights() const { return set_; }
    const TuneSettings& settings() const { return settings_; }
    const FlightPool& pool() const { return pool_; }

    // Judges one set of factors (margins against `bounds`, then the
    // flights). Factors that miss the bounds are flown only when `flyAnyway`
    // (for a report).
    // (nullptr: the required bounds).
    Evaluation evaluate(const Factors& factors, const std::atomic<bool>* stop = nullptr,
                        bool flyAnyway = false, const MarginBounds* bounds = nullptr) const;

    // The margins of one set of factors at the conditions tuned for.
    MarginReport margins(const Factors& factors) const;

    // Finds where the margins are met (or how close each loop gets) from
    // `start`, the best string known beforehand, and searches the flights
    // from there. `progress` gets (evaluations, best score).
    TuneResult tune(const std::atomic<bool>* stop, const Progress& progress,
                    const Factors& start = kDefaultFactors) const;

private:
    TuneSettings settings_;
    std::vector<FlightCase> set_;
    FlightPool pool_;
};

}  // namespace tune

#endif
