// SPDX-License-Identifier: MIT
#include "sim/tune/tuner.h"

#include <algorithm>
#include <cmath>

namespace tune {

Tuner::Tuner(TuneSettings settings)
    : settings_(std::move(settings)),
      set_(monteCarloSet(settings_.conditions)),
      pool_(settings_.processes, settings_.modulePath, settings_.conditions) {}

Evaluation Tuner::evaluate(const Factors& factors, const std::atomic<bool>* stop, bool flyAnyway) const {
    Evaluation e;
    e.factors = factors;
    e.parameters = parameterString(factors);
    e.margins = analyseMargins(settings_.conditions, factors);
    const double shortfall = e.margins.shortfall();
    e.marginsMet = shortfall == 0.0;
    if (!e.marginsMet) {
        e.score = kInfeasibleScore + shortfall;
        if (!flyAnyway) {
            return e;
        }
    }
    std::vector<FlightJob> jobs;
    jobs.reserve(set_.size());
    for (const FlightCase& flight : set_) {
        jobs.push_back(FlightJob{flight, e.parameters, {}});
    }
    e.outcomes = pool_.fly(jobs, stop);
    e.flown = true;
    e.flightScore = setScore(e.outcomes);
    if (e.marginsMet) {
        e.score = e.flightScore;
    }
    return e;
}

TuneResult Tuner::tune(const std::atomic<bool>* stop, const Progress& progress, const Factors& start) const {
    const auto started = std::chrono::steady_clock::now();
    OptimiserSettings os;
    const double low = std::log(settings_.bounds.low);
    const double high = std::log(settings_.bounds.high);
    os.low.assign(kFactorCount, low);
    os.high.assign(kFactorCount, high);
    const std::array<double, kFactorCount> startLogs = toLogSpace(start);
    os.start.assign(startLogs.begin(), startLogs.end());
    for (double& x : os.start)
        x = std::clamp(x, low, high);
    // Strings that miss the margins are not flown: they cost next to nothing.
    os.freeAbove = kInfeasibleScore;
    os.budget = settings_.budget;
    os.seed = settings_.seed;
    // The evaluation interrupted by a stop is incomplete: never let it count.
    const Objective objective = [&](const std::vector<double>& x) {
        std::array<double, kFactorCount> logs{};
        std::copy(x.begin(), x.end(), logs.begin());
        const Evaluation e = evaluate(rounded(fromLogSpace(logs)), stop);
        if (stop != nullptr && stop->load()) {
            return kInfeasibleScore * 10.0;
        }
        return e.score;
    };
    TuneResult result;
    result.search = minimise(objective, os, stop, progress);
    std::array<double, kFactorCount> logs{};
    std::copy(result.search.best.begin(), result.search.best.end(), logs.begin());
    // The best point once more, for its flights (each flight is a fresh
    // process, so this repeats the scored evaluation exactly).
    result.best = evaluate(rounded(fromLogSpace(logs)), nullptr, true);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.flights = pool_.flights();
    return result;
}

}  // namespace tune
