// SPDX-License-Identifier: MIT
#include "sim/tune/margin_search.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "sim/tune/optimiser.h"

namespace tune {

namespace {

constexpr int kLoops = 4;

// A margin as a share of its bound; a bound of 0 asks for nothing.
double share(double margin, double bound) {
    if (bound <= 0.0)
        return std::numeric_limits<double>::infinity();
    return (std::isnan(margin) ? 0.0 : margin) / bound;
}

// How close a loop is to the required margins: the smaller of its two
// margins, each as a share of its bound (1: both met).
double loopRatio(const LoopMarginReport& loop, const MarginBounds& required, size_t i) {
    return std::min(share(loop.gainMarginDb, required.gainMarginDb[i]),
                    share(loop.phaseMarginDeg, required.phaseMarginDeg[i]));
}

bool usable(const MarginReport& m) {
    return m.available && m.trimmed && m.stable;
}

// A penalty above every ratio-based value for a closed loop that is not
// stable, growing with the largest pole, so a search among unstable points
// still moves toward stability.
double instability(const MarginReport& m) {
    return 1.0 + std::max(0.0, m.slowestPoleRadius - 1.0);
}

struct Counted {
    const MarginFunction& margins;
    const FactorBounds& box;
    int calls = 0;

    MarginReport at(const Factors& f) {
        ++calls;
        return margins(f);
    }
    Factors factorsAt(const std::vector<double>& logs) const {
        std::array<double, kFactorCount> a{};
        std::copy(logs.begin(), logs.end(), a.begin());
        return rounded(fromLogSpace(a));
    }
    OptimiserSettings localSearch(const std::vector<double>& start, int allowed) const {
        OptimiserSettings s;
        s.low.assign(start.size(), std::log(box.low));
        s.high.assign(start.size(), std::log(box.high));
        s.start = start;
        for (double& x : s.start)
            x = std::clamp(x, s.low.front(), s.high.front());
        s.globalShare = 0.0;
        s.budget = allowed;
        s.localStep = 0.5;
        s.stopAt = 0.0;
        return s;
    }
};

std::vector<double> logsOf(const Factors& f) {
    const std::array<double, kFactorCount> a = toLogSpace(f);
    return {a.begin(), a.end()};
}

}  // namespace

std::vector<std::string> shortLoops(const MarginSearch& search) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < search.reach.size(); ++i) {
        const LoopReach& r = search.reach[i];
        if (r.meetsRequired)
            continue;
        char line[200];
        std::snprintf(line, sizeof line,
                      "%s: best found %.1f dB and %.2f deg, short in %s; held to %.1f dB and %.1f deg",
                      kLoopNames[i], r.gainMarginDb, r.phaseMarginDeg, r.limitedBy,
                      search.bounds.gainMarginDb[i], search.bounds.phaseMarginDeg[i]);
        lines.emplace_back(line);
    }
    return lines;
}

MarginSearch searchMargins(const MarginFunction& margins, const Factors& start, const FactorBounds& box,
                           const MarginBounds& required, const std::atomic<bool>* stop,
                           const MarginSearchBudget& budget) {
    const auto began = std::chrono::steady_clock::now();
    MarginSearch result;
    result.bounds = required;
    Counted counted{margins, box};
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };

    // First: all twelve factors against the required bounds, from the start
    // and from the start with every loop softened (a third, then a tenth of
    // each Kpr), which is where a loop with too much lag for its gain finds
    // margin, and where a set of uncertain plants all close stable.
    Factors softened = start, softer = start;
    for (int loop = 0; loop < kLoops; ++loop) {
        softened[static_cast<size_t>(loop * 3)] *= 1.0 / 3.0;
        softer[static_cast<size_t>(loop * 3)] *= 1.0 / 10.0;
    }
    Factors best = rounded(start);
    double bestShortfall = counted.at(best).shortfall(required);
    for (const Factors& from : {start, softened, softer}) {
        if (bestShortfall == 0.0 || stopped())
            break;
        const Objective shortfallAt = [&](const std::vector<double>& x) {
            return counted.at(counted.factorsAt(x)).shortfall(required);
        };
        const OptimiserResult r =
            minimise(shortfallAt, counted.localSearch(logsOf(from), budget.allFactors), stop);
        if (r.bestValue < bestShortfall) {
            bestShortfall = r.bestValue;
            best = counted.factorsAt(r.best);
        }
    }
    result.feasible = bestShortfall == 0.0;

    // Then, if the bounds are out of reach: how far each short loop gets on
    // its own three factors, the others held where they are.
    // Twice round: a loop can look short only because another loop keeps
    // the closed loop unstable, and is judged again once that one has moved.
    for (int round = 0; round < 2 * kLoops && !stopped(); ++round) {
        const int loop = round % kLoops;
        LoopReach& reach = result.reach[static_cast<size_t>(loop)];
        if (round >= kLoops && reach.meetsRequired)
            continue;
        const MarginReport here = counted.at(best);
        const LoopMarginReport& now = here.loops[static_cast<size_t>(loop)];
        reach.ratio = usable(here) ? loopRatio(now, required, static_cast<size_t>(loop)) : 0.0;
        reach.gainMarginDb = now.gainMarginDb;
        reach.phaseMarginDeg = now.phaseMarginDeg;
        if (result.feasible || (usable(here) && reach.ratio >= 1.0)) {
            reach.meetsRequired = true;
            continue;
        }
        const auto loopFactors = [&](const std::vector<double>& x) {
            Factors f = best;
            for (size_t k = 0; k < 3; ++k)
                f[static_cast<size_t>(loop * 3) + k] = std::exp(x[k]);
            return rounded(f);
        };
        const Objective shortOf = [&](const std::vector<double>& x) {
            const MarginReport m = counted.at(loopFactors(x));
            if (!usable(m))
                return instability(m);
            return 1.0
                   - std::min(
                       loopRatio(m.loops[static_cast<size_t>(loop)], required, static_cast<size_t>(loop)),
                       1.0);
        };
        std::vector<double> from(3);
        const std::vector<double> all = logsOf(best);
        std::copy(all.begin() + loop * 3, all.begin() + loop * 3 + 3, from.begin());
        const OptimiserResult r = minimise(shortOf, counted.localSearch(from, budget.oneLoop), stop);
        const Factors reached = loopFactors(r.best);
        const MarginReport m = counted.at(reached);
        if (usable(m)
            && loopRatio(m.loops[static_cast<size_t>(loop)], required, static_cast<size_t>(loop))
                   > reach.ratio) {
            best = reached;
            const LoopMarginReport& l = m.loops[static_cast<size_t>(loop)];
            reach.ratio = loopRatio(l, required, static_cast<size_t>(loop));
            reach.gainMarginDb = l.gainMarginDb;
            reach.phaseMarginDeg = l.phaseMarginDeg;
        }
        reach.meetsRequired = reach.ratio >= 1.0;
    }

    // The bounds the flown search keeps: the required ones, or a share of
    // what each short loop reached.
    for (size_t i = 0; i < result.reach.size(); ++i) {
        LoopReach& reach = result.reach[i];
        if (reach.meetsRequired)
            continue;
        const bool phaseLimited = share(reach.phaseMarginDeg, required.phaseMarginDeg[i])
                                  < share(reach.gainMarginDb, required.gainMarginDb[i]);
        reach.limitedBy = phaseLimited ? "phase margin" : "gain margin";
        result.bounds.relaxed = true;
        result.bounds.gainMarginDb[i] =
            std::min(required.gainMarginDb[i], kReachedShare * std::max(reach.gainMarginDb, 0.0));
        result.bounds.phaseMarginDeg[i] =
            std::min(required.phaseMarginDeg[i], kReachedShare * std::max(reach.phaseMarginDeg, 0.0));
    }

    // Last, a start inside the bounds kept, moved there from the best point
    // if the loops' own searches left it outside.
    if (result.bounds.relaxed && !stopped() && counted.at(best).shortfall(result.bounds) > 0.0) {
        const Objective shortfallAt = [&](const std::vector<double>& x) {
            return counted.at(counted.factorsAt(x)).shortfall(result.bounds);
        };
        const OptimiserResult r =
            minimise(shortfallAt, counted.localSearch(logsOf(best), budget.allFactors), stop);
        if (r.bestValue < counted.at(best).shortfall(result.bounds))
            best = counted.factorsAt(r.best);
    }
    result.start = best;
    result.requiredShortfall = counted.at(best).shortfall(required);
    result.analyses = counted.calls;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    return result;
}

}  // namespace tune
