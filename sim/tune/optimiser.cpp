// SPDX-License-Identifier: MIT
#include "sim/tune/optimiser.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlopt.hpp>

namespace tune {

namespace {

// Everything an NLopt callback needs: the objective, the record of the best
// point, the budget and the caller's stop flag.
struct Search {
    const Objective* objective = nullptr;
    const std::atomic<bool>* stop = nullptr;
    const Progress* progress = nullptr;
    nlopt::opt* running = nullptr;
    int evaluations = 0;
    int calls = 0;
    int budget = 0;
    int callLimit = 0;
    double freeAbove = std::numeric_limits<double>::infinity();
    std::vector<double> best;
    double bestValue = std::numeric_limits<double>::infinity();
    bool stopped = false;
};

double evaluate(const std::vector<double>& x, std::vector<double>& gradient, void* data) {
    (void)gradient;  // derivative-free methods only
    auto* s = static_cast<Search*>(data);
    if ((s->stop != nullptr && s->stop->load()) || s->evaluations >= s->budget || s->calls >= s->callLimit) {
        s->stopped = s->stopped || (s->stop != nullptr && s->stop->load());
        s->running->force_stop();
        return s->bestValue;
    }
    double value = (*s->objective)(x);
    if (!std::isfinite(value)) {
        value = std::numeric_limits<double>::max();
    }
    ++s->calls;
    if (value < s->freeAbove) {
        ++s->evaluations;
    }
    if (value < s->bestValue) {
        s->bestValue = value;
        s->best = x;
    }
    if (*s->progress) {
        (*s->progress)(s->evaluations, s->bestValue);
    }
    return value;
}

void run(nlopt::opt& opt, Search& search, std::vector<double> x) {
    search.running = &opt;
    opt.set_min_objective(evaluate, &search);
    double value = 0.0;
    try {
        opt.optimize(x, value);
    } catch (const std::exception&) {
        // A forced stop, a round-off limit or a failure of the method: the
        // best point evaluated is kept either way.
    }
    search.running = nullptr;
}

}  // namespace

OptimiserResult minimise(const Objective& objective, const OptimiserSettings& settings,
                         const std::atomic<bool>* stop, const Progress& progress) {
    const unsigned n = static_cast<unsigned>(settings.start.size());
    Search search;
    search.objective = &objective;
    search.stop = stop;
    search.progress = &progress;
    search.budget = std::max(settings.budget, 1);
    search.callLimit = kFreeCallsPerBudget * search.budget;
    search.freeAbove = settings.freeAbove;
    nlopt::srand(settings.seed);

    // Global: controlled random search with local mutation. Its population
    // is the start point and random points of the box, so the default is
    // always among the candidates.
    const int globalBudget = std::max(0, static_cast<int>(std::lround(settings.globalShare * search.budget)));
    if (globalBudget > 0) {
        nlopt::opt global(nlopt::GN_CRS2_LM, n);
        global.set_lower_bounds(settings.low);
        global.set_upper_bounds(settings.high);
        global.set_maxeval(kFreeCallsPerBudget * globalBudget);
        const int population =
            std::clamp(globalBudget / 3, static_cast<int>(n) + 2, 10 * (static_cast<int>(n) + 1));
        global.set_population(static_cast<unsigned>(population));
        global.set_stopval(settings.stopAt);
        search.budget = std::min(globalBudget, search.budget);
        run(global, search, settings.start);
        search.budget = std::max(settings.budget, 1);
    }
    const int globalEvaluations = search.evaluations;

    // Local: subplex from the best point, which copes with an objective that
    // is a percentile and so not smooth.
    if (search.best.empty()) {
        search.best = settings.start;  // no global search: the local one begins at the start
    }
    if (!search.stopped && search.evaluations < search.budget && search.calls < search.callLimit
        && search.bestValue > settings.stopAt) {
        nlopt::opt local(nlopt::LN_SBPLX, n);
        local.set_lower_bounds(settings.low);
        local.set_upper_bounds(settings.high);
        local.set_maxeval(search.callLimit - search.calls);
        local.set_initial_step(settings.localStep);
        local.set_xtol_rel(1e-4);
        local.set_stopval(settings.stopAt);
        run(local, search, search.best);
    }

    OptimiserResult result;
    result.best = search.best.empty() ? settings.start : search.best;
    result.bestValue = search.bestValue;
    result.evaluations = search.evaluations;
    result.calls = search.calls;
    result.globalEvaluations = globalEvaluations;
    result.stopped = search.stopped;
    result.method = "NLopt CRS2-LM (global, " + std::to_string(globalEvaluations)
                    + " evaluations) then Sbplx (local, "
                    + std::to_string(search.evaluations - globalEvaluations) + " evaluations), seed "
                    + std::to_string(settings.seed);
    return result;
}

}  // namespace tune
