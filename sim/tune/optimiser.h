// SPDX-License-Identifier: MIT
//
// Minimises a function over a box: a global search over the whole box
// first, then a local one from the best point found. NLopt does both,
// sequentially, from a fixed seed, so a run with the same seed and the same
// function repeats exactly.
#ifndef HOVER_SIM_TUNE_OPTIMISER_H
#define HOVER_SIM_TUNE_OPTIMISER_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace tune {

struct OptimiserSettings {
    std::vector<double> low, high;  // the box
    std::vector<double> start;      // the first point tried, and one of the global search's population
    int budget = 300;               // evaluations in all
    double globalShare = 0.6;       // of the budget, for the global search (0: the local one only)
    double localStep = 0.3;         // first step of the local search, in the box's units
    uint64_t seed = 1;
    // A value at or below this ends the search at once: a target met.
    double stopAt = -std::numeric_limits<double>::infinity();
    // Values at or above this cost nothing worth counting (the caller
    // rejected the point without its expensive part): they do not count
    // against the budget, up to kFreeCallsPerBudget times the budget in all.
    double freeAbove = std::numeric_limits<double>::infinity();
};

constexpr int kFreeCallsPerBudget = 20;

struct OptimiserResult {
    std::vector<double> best;
    double bestValue = 0.0;
    int evaluations = 0;  // counted against the budget
    int globalEvaluations = 0;
    int calls = 0;         // every call, counted or free
    bool stopped = false;  // stopped early by the caller
    std::string method;    // what searched, for the report
};

using Objective = std::function<double(const std::vector<double>&)>;
// Called after each evaluation with (evaluations so far, best value so far).
using Progress = std::function<void(int, double)>;

OptimiserResult minimise(const Objective& objective, const OptimiserSettings& settings,
                         const std::atomic<bool>* stop = nullptr, const Progress& progress = {});

}  // namespace tune

#endif
