// SPDX-License-Identifier: MIT
//
// The tuning itself: a set of factors is judged by the robust linear margins
// first (a set that misses them on any sampled plant and latency is not
// flown) and then by the training set of flights with the real module,
// scored by its worst flight; the optimiser searches the factors' logs. The
// string found is flown once more on the validation set, which the search
// never saw.
#ifndef HOVER_SIM_TUNE_TUNER_H
#define HOVER_SIM_TUNE_TUNER_H

#include <array>
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

// A validation flight's error may be at most this many times the bounds it
// is judged by (desired in calm and light air, adequate in moderate) for
// the string to hold on the validation set.
constexpr double kDefaultHoldsWithin = 2.0;

// The string flown on the set the search never saw.
struct Validation {
    bool flown = false;
    std::vector<FlightOutcome> outcomes;  // in the order of Tuner::validationFlights()
    double score = kInfeasibleScore;      // worstScore, as the training score
    MarginReport margins;                 // over the validation plants and latencies
    bool flightsHold = false;             // every flight within holdsWithin of its bounds
    bool stable = false;                  // every validation plant and latency closed stable
    // The same flights, each on its own plant, all on the host's own loop
    // (30 visual frames, the controls moving one visual frame after the
    // update) and all one whole panel frame late: what the string holds at
    // the two ends of what the host may do.
    std::vector<FlightOutcome> atOwnLoop;
    std::vector<FlightOutcome> onePanelFrameLate;
    bool holds() const { return flown && flightsHold && (stable || !margins.available); }
};

struct TuneSettings {
    FlightConditions conditions;
    int budget = 150;  // evaluations
    uint64_t seed = 1;
    int processes = 2;  // flights at once
    std::string modulePath;
    FactorBounds bounds;
    MarginBounds required = MarginBounds::disk(kRequiredDiskMargin);  // what every loop's margins must keep
    MarginSearchBudget marginSearch;  // linear analyses for the search of the margins
    double holdsWithin = kDefaultHoldsWithin;
    bool validate = true;  // fly the validation set at the end of a tune
};

// One point of the trade-off between robustness and precision: the best
// training score a short tune found with every loop held to this disk
// margin over the set.
struct TradeOffPoint {
    double diskMargin = 0.0;
    bool feasible = false;  // some string kept it
    double score = kInfeasibleScore;
    std::string parameters;
    bool chosen = false;  // the margin asked for: the published tune's point
};
// The margins the trade-off is drawn at, beside the one asked for.
constexpr std::array<double, 4> kTradeOffMargins = {0.2, 0.3, 0.5, 0.6};

struct TuneResult {
    MarginSearch margins;  // where the flown search started, and the bounds it kept
    Evaluation best;
    OptimiserResult search;
    Validation validation;
    double seconds = 0.0;
    long flights = 0;
};

// The search starts where the study of the loops found the hold does
// better: the rate filters of the Turn and Up loops this much shorter.
constexpr double kStartRateFilterShare = 0.3;
Factors searchStart(Factors from);

// hovertune's exit status: 130 stopped by the user; 1 no string tuned, the
// string misses the required margins (no string met them on the set), a
// note says the result cannot be trusted, or the string does not hold on
// the validation set; else 0.
int exitStatus(bool interrupted, const TuneResult* result, bool notes);

class Tuner {
public:
    explicit Tuner(TuneSettings settings);

    const std::vector<FlightCase>& flights() const { return set_; }
    const std::vector<FlightCase>& validationFlights() const { return validationSet_; }
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

    // Short tunes (`budget` strings each) at each of `margins`, from
    // `start`, for the trade-off; none flies the validation set.
    std::vector<TradeOffPoint> tradeOff(const std::vector<double>& margins, int budget, const Factors& start,
                                        const std::atomic<bool>* stop) const;

    // Flies a string on the validation set and analyses it on the
    // validation plants and latencies.
    Validation validate(const Evaluation& e, const std::atomic<bool>* stop = nullptr) const;

private:
    TuneSettings settings_;
    std::vector<FlightCase> set_;
    std::vector<FlightCase> validationSet_;
    FlightPool pool_;
};

}  // namespace tune

#endif
