// SPDX-License-Identifier: MIT
#include "sim/tune/tuner.h"

#include <algorithm>
#include <cmath>

namespace tune {

Tuner::Tuner(TuneSettings settings)
    : settings_(std::move(settings)),
      set_(monteCarloSet(settings_.conditions)),
      validationSet_(validationSet(settings_.conditions)),
      pool_(settings_.processes, settings_.modulePath, settings_.conditions) {}

MarginReport Tuner::margins(const Factors& factors) const {
    MarginReport m = analyseMargins(settings_.conditions, factors);
    // The classical margins cost as much again: only where they are asked for.
    if (settings_.required.classicalGainMarginDb > 0.0 || settings_.required.classicalPhaseMarginDeg > 0.0)
        addClassicalMargins(settings_.conditions, factors, m);
    return m;
}

Evaluation Tuner::evaluate(const Factors& factors, const std::atomic<bool>* stop, bool flyAnyway,
                           const MarginBounds* bounds) const {
    Evaluation e;
    e.factors = factors;
    e.parameters = parameterString(factors);
    e.margins = margins(factors);
    const double shortfall = e.margins.shortfall(bounds != nullptr ? *bounds : settings_.required);
    e.marginsMet = shortfall == 0.0;
    e.requiredMet = e.margins.shortfall(settings_.required) == 0.0;
    if (e.marginsMet || flyAnyway)
        addClassicalMargins(settings_.conditions, factors, e.margins);
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
    e.flightScore = worstScore(e.outcomes);
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
    TuneResult result;
    // The search of the margins only finds where the flown search starts:
    // it reads them on the aircraft as given, over every latency and visual
    // rate, at a ninth of the cost. Every string flown is judged over the
    // whole set of plants.
    FlightConditions nominal = settings_.conditions;
    nominal.uncertainty.spread = flight::ParameterScale{0.0, 0.0, 0.0, 0.0};
    const auto nominalMargins = [&](const Factors& f) {
        MarginReport m = analyseMargins(nominal, f);
        if (settings_.required.classicalGainMarginDb > 0.0 || settings_.required.classicalPhaseMarginDeg > 0.0)
            addClassicalMargins(nominal, f, m);
        return m;
    };
    result.margins = searchMargins(nominalMargins, start, settings_.bounds, settings_.required, stop,
                                   settings_.marginSearch);
    const MarginBounds& bounds = result.margins.bounds;
    const std::array<double, kFactorCount> startLogs = toLogSpace(result.margins.start);
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
        const Evaluation e = evaluate(rounded(fromLogSpace(logs)), stop, false, &bounds);
        if (stop != nullptr && stop->load()) {
            return kInfeasibleScore * 10.0;
        }
        return e.score;
    };
    result.search = minimise(objective, os, stop, progress);
    std::array<double, kFactorCount> logs{};
    std::copy(result.search.best.begin(), result.search.best.end(), logs.begin());
    // The best point once more, for its flights (each flight is a fresh
    // process, so this repeats the scored evaluation exactly).
    result.best = evaluate(rounded(fromLogSpace(logs)), nullptr, true, &bounds);
    if (settings_.validate && !(stop != nullptr && stop->load()))
        result.validation = validate(result.best, stop);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.flights = pool_.flights();
    return result;
}

std::vector<TradeOffPoint> Tuner::tradeOff(const std::vector<double>& margins, int budget, const Factors& start,
                                           const std::atomic<bool>* stop) const {
    std::vector<TradeOffPoint> points;
    for (double alpha : margins) {
        if (stop != nullptr && stop->load())
            break;
        TuneSettings s = settings_;
        s.required = MarginBounds::disk(alpha);
        s.required.classicalGainMarginDb = settings_.required.classicalGainMarginDb;
        s.required.classicalPhaseMarginDeg = settings_.required.classicalPhaseMarginDeg;
        s.budget = budget;
        s.validate = false;
        // A short look: a third of the margin search of a full tune.
        s.marginSearch = MarginSearchBudget{settings_.marginSearch.allFactors / 3, settings_.marginSearch.oneLoop / 3};
        const TuneResult r = Tuner(s).tune(stop, {}, start);
        TradeOffPoint p;
        p.diskMargin = alpha;
        p.feasible = r.best.requiredMet;
        p.score = r.best.flightScore;
        p.parameters = r.best.parameters;
        points.push_back(p);
    }
    return points;
}

Validation Tuner::validate(const Evaluation& e, const std::atomic<bool>* stop) const {
    Validation v;
    v.margins = analyseMargins(settings_.conditions, e.factors, true);
    v.stable = v.margins.available && v.margins.trimmed && v.margins.stable;
    std::vector<FlightJob> jobs;
    jobs.reserve(validationSet_.size());
    for (const FlightCase& flight : validationSet_)
        jobs.push_back(FlightJob{flight, e.parameters, {}});
    v.outcomes = pool_.fly(jobs, stop);
    v.flown = !(stop != nullptr && stop->load());
    v.score = worstScore(v.outcomes);
    v.flightsHold = setHolds(v.outcomes, settings_.holdsWithin);
    host::HostLoop own;
    own.panelRate = settings_.conditions.frameRate;
    host::HostLoop late = own;
    late.delayUpdates = 1;
    for (FlightJob& job : jobs)
        job.flight.loop = own;
    v.atOwnLoop = pool_.fly(jobs, stop);
    for (FlightJob& job : jobs)
        job.flight.loop = late;
    v.onePanelFrameLate = pool_.fly(jobs, stop);
    v.flown = v.flown && !(stop != nullptr && stop->load());
    return v;
}

Factors searchStart(Factors from) {
    from[1] *= kStartRateFilterShare;   // TvTurn
    from[10] *= kStartRateFilterShare;  // TvUp
    return rounded(from);
}

int exitStatus(bool interrupted, const TuneResult* result, bool notes) {
    if (interrupted)
        return 130;
    if (result == nullptr || !result->best.requiredMet || notes || !result->validation.holds())
        return 1;
    return 0;
}

}  // namespace tune
