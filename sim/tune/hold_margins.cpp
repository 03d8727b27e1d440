// SPDX-License-Identifier: MIT
#include "sim/tune/hold_margins.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <map>
#include <optional>

#ifdef HOVER_TUNE_ANALYSIS
#include "sim/analysis/antiwindup.h"
#include "sim/analysis/hold_analysis.h"
#include "sim/flight/aircraft_file.h"
#include "sim/flight/parameters.h"
#include "sim/ident/plant_file.h"
#include "sim/scenario/aircraft.h"
#endif

namespace tune {

namespace {
constexpr double kPi = 3.141592653589793;
}  // namespace

double diskGainMarginDb(double alpha) {
    const double a = std::clamp(alpha, 0.0, 1.999999);
    return 20.0 * std::log10((2.0 + a) / (2.0 - a));
}

double diskPhaseMarginDeg(double alpha) {
    return 2.0 * std::atan(std::max(alpha, 0.0) / 2.0) * 180.0 / kPi;
}

MarginBounds MarginBounds::uniform(double gainMarginDb, double phaseMarginDeg) {
    MarginBounds b;
    b.gainMarginDb.fill(gainMarginDb);
    b.phaseMarginDeg.fill(phaseMarginDeg);
    return b;
}

MarginBounds MarginBounds::disk(double alpha) {
    MarginBounds b;
    b.setDisk(alpha);
    return b;
}

void MarginBounds::setDisk(double alpha) {
    gainMarginDb.fill(diskGainMarginDb(alpha));
    phaseMarginDeg.fill(diskPhaseMarginDeg(alpha));
}

double MarginReport::shortfall(const MarginBounds& bounds) const {
    if (!available) {
        return 0.0;
    }
    double total = 0.0;
    if (!trimmed || !stable) {
        total += 1.0 + std::max(0.0, slowestPoleRadius - 1.0);
    }
    const auto missing = [](double bound, double value, double unit) {
        return std::max(0.0, (bound - (std::isnan(value) ? 0.0 : value)) / unit);
    };
    for (size_t i = 0; i < loops.size(); ++i) {
        total += missing(bounds.gainMarginDb[i], loops[i].gainMarginDb, kRequiredGainMarginDb);
        total += missing(bounds.phaseMarginDeg[i], loops[i].phaseMarginDeg, kRequiredPhaseMarginDeg);
        if (bounds.classicalGainMarginDb > 0.0)
            total += missing(bounds.classicalGainMarginDb, loops[i].classicalGainMarginDelayedDb,
                             kRequiredGainMarginDb);
        if (bounds.classicalPhaseMarginDeg > 0.0)
            total += missing(bounds.classicalPhaseMarginDeg, loops[i].classicalPhaseMarginDelayedDeg,
                             kRequiredPhaseMarginDeg);
    }
    return total;
}

#ifdef HOVER_TUNE_ANALYSIS
namespace {

// The aircraft the conditions name, as the flight model's coefficients.
std::optional<flight::Parameters> aircraftParameters(const FlightConditions& conditions,
                                                     std::string& problem) {
    host::Scenario lookup;
    lookup.aircraft = conditions.aircraft;
    const std::string path = host::aircraftFilePath(lookup, problem);
    if (path.empty()) {
        return std::nullopt;
    }
    std::optional<flight::AircraftDefinition> definition = flight::readAircraftFile(path, problem);
    if (!definition) {
        return std::nullopt;
    }
    return definition->parameters;
}

// The hold of one plant on one host loop, as the margins read it: updates
// evenly spaced at the mean panel period, the latency kept with its
// fraction of a period (the analysis's time-invariant model).
analysis::SampledHold sampleAt(const analysis::LinearPlant& plant, const analysis::Gains& gains,
                               const host::HostLoop& loop) {
    return analysis::sampleHoldAtMeanPeriod(plant, gains, loop);
}

Eigen::MatrixXd closedLoop(const analysis::SampledHold& s) {
    return s.A + s.B * s.C;
}

// The largest |eigenvalue| (infinite when not found).
double largestEigenvalue(const Eigen::MatrixXd& m) {
    const Eigen::EigenSolver<Eigen::MatrixXd> eigen(m, false);
    if (eigen.info() != Eigen::Success)
        return std::numeric_limits<double>::infinity();
    return eigen.eigenvalues().cwiseAbs().maxCoeff();
}

// The exact verdict on the loop as the host runs it (the visual frames'
// pattern of update intervals): the largest |z| of the monodromy matrix
// over one pattern.
double largestPole(const analysis::LinearPlant& plant, const analysis::Gains& gains, const host::HostLoop& loop) {
    return largestEigenvalue(analysis::liftHold(plant, gains, loop).monodromy);
}

// One loop's disk margin, every other loop closed and this one broken at
// its actuator (the plant's inputs are in the loops' order).
double loopDiskMargin(const analysis::SampledHold& s, int loop) {
    const Eigen::MatrixXd open = closedLoop(s) - s.B.col(loop) * s.C.row(loop);
    return analysis::sampledDiskAlpha(open, s.B.col(loop), -s.C.row(loop), 0.0);
}

bool sameLoop(const host::HostLoop& a, const host::HostLoop& b) {
    return a.panelRate == b.panelRate && a.visualRate == b.visualRate && a.latencyS == b.latencyS
           && a.delayUpdates == b.delayUpdates;
}

// The loops of the conditions, each once, in their order.
std::vector<host::HostLoop> distinctLoops(const std::vector<host::HostLoop>& loops) {
    std::vector<host::HostLoop> out;
    for (const host::HostLoop& l : loops) {
        if (std::none_of(out.begin(), out.end(), [&](const host::HostLoop& o) { return sameLoop(o, l); }))
            out.push_back(l);
    }
    return out;
}

// The loops the disk margins are read on: the shortest and the longest
// latency of the set. The margins' model does not see the visual rate, and
// between the two ends of the band a latency only adds phase lag, which
// the longer end bounds.
std::vector<host::HostLoop> latencyEnds(const std::vector<host::HostLoop>& loops) {
    std::vector<host::HostLoop> out;
    const auto shorter = [](const host::HostLoop& a, const host::HostLoop& b) {
        const double la = a.delayUpdates > 0 ? a.delayUpdates / static_cast<double>(a.panelRate) : a.latencyS;
        const double lb = b.delayUpdates > 0 ? b.delayUpdates / static_cast<double>(b.panelRate) : b.latencyS;
        return la < lb;
    };
    if (loops.empty())
        return out;
    const auto [low, high] = std::minmax_element(loops.begin(), loops.end(), shorter);
    out.push_back(*low);
    if (shorter(*low, *high))
        out.push_back(*high);
    return out;
}

struct PlantSet {
    std::vector<flight::ParameterScale> scales;
    std::vector<analysis::LinearPlant> plants;
    std::string reason;
};

// The set's samples, each distinct one once: with no spread every sample is
// the plant as given.
std::vector<flight::ParameterScale> distinctSamples(const FlightConditions& conditions, bool validation) {
    std::vector<flight::ParameterScale> scales;
    for (const flight::ParameterScale& scale : plantSamples(conditions.uncertainty, validation)) {
        const bool seen = std::any_of(scales.begin(), scales.end(), [&](const flight::ParameterScale& o) {
            return o.inertia == scale.inertia && o.controlPower == scale.controlPower
                   && o.rotorDamping == scale.rotorDamping && o.tailRotor == scale.tailRotor;
        });
        if (!seen)
            scales.push_back(scale);
    }
    return scales;
}

// The sampled plants of a plant file: its terms scaled by each sample's
// factors, and the plant as fitted last.
PlantSet fittedPlants(const FlightConditions& conditions, bool validation) {
    PlantSet set;
    const std::optional<ident::HoverModel> model = ident::readPlantFile(conditions.plant, set.reason);
    if (!model)
        return set;
    set.scales = distinctSamples(conditions, validation);
    for (const flight::ParameterScale& scale : set.scales)
        set.plants.push_back(ident::toLinearPlant(ident::scaledModel(*model, scale)));
    set.plants.push_back(ident::toLinearPlant(*model));
    return set;
}

// The aircraft's sampled plants, linearised once per aircraft and set.
const PlantSet& plantsFor(const FlightConditions& conditions, bool validation) {
    static std::map<std::string, PlantSet> cache;
    const std::string key = (conditions.plant.empty() ? conditions.aircraft : "plant:" + conditions.plant)
                            + (validation ? "|v|" : "|t|") + describeScale(conditions.uncertainty.spread);
    auto found = cache.find(key);
    if (found != cache.end())
        return found->second;
    if (!conditions.plant.empty())
        return cache.emplace(key, fittedPlants(conditions, validation)).first->second;
    PlantSet set;
    const std::optional<flight::Parameters> aircraft = aircraftParameters(conditions, set.reason);
    if (aircraft) {
        set.scales = distinctSamples(conditions, validation);
        for (const flight::ParameterScale& scale : set.scales)
            set.plants.push_back(analysis::linearisePlant(flight::scaled(*aircraft, scale)));
        // The aircraft as given, last, for the classical margins.
        set.plants.push_back(analysis::linearisePlant(*aircraft));
    }
    return cache.emplace(key, std::move(set)).first->second;
}

// The analysis orders loops Up, Forward, Right, Turn; the parameter
// string Turn, Right, Forward, Up.
analysis::Gains gainsOf(const Factors& factors) {
    std::array<double, 12> ordered{};
    for (int loop = 0; loop < analysis::kLoopCount; ++loop) {
        for (int role = 0; role < analysis::kGainsPerLoop; ++role) {
            ordered[static_cast<size_t>(loop * 3 + role)] =
                factors[static_cast<size_t>((3 - loop) * 3 + role)];
        }
    }
    return analysis::scaledGains(ordered);
}

std::string loopName(const host::HostLoop& loop) {
    char text[80];
    if (loop.delayUpdates > 0) {
        std::snprintf(text, sizeof text, "%d whole panel frame%s late", loop.delayUpdates,
                      loop.delayUpdates == 1 ? "" : "s");
    } else {
        std::snprintf(text, sizeof text, "%.1f ms latency on %d visual frames", loop.latencyS * 1000.0,
                      loop.visualRate);
    }
    return text;
}

}  // namespace

MarginReport analyseMargins(const FlightConditions& conditions, const Factors& factors, bool validation) {
    MarginReport report;
    const PlantSet& set = plantsFor(conditions, validation);
    if (set.plants.empty()) {
        report.unavailableReason = set.reason;
        return report;
    }
    const analysis::Gains gains = gainsOf(factors);
    report.available = true;
    report.trimmed = true;
    report.stable = true;
    for (LoopMarginReport& l : report.loops)
        l.diskMargin = 2.0;
    const std::vector<host::HostLoop> loops = distinctLoops(loopSamples(conditions, validation));
    host::HostLoop late;
    late.panelRate = conditions.frameRate;
    late.delayUpdates = conditions.stabilityDelayFrames;
    const auto unstable = [&](const std::string& where, double radius) {
        report.stable = false;
        ++report.unstableCases;
        if (report.firstUnstable.empty())
            report.firstUnstable = where;
        report.slowestPoleRadius = std::max(report.slowestPoleRadius, radius);
    };
    // Stability of every case first, exactly on the loop as the host runs
    // it: the margins are worth computing only when every closed loop of
    // the set is stable (a search spends most of its analyses on strings
    // that are not).
    const std::vector<host::HostLoop> latencies = latencyEnds(loops);
    for (size_t p = 0; p + 1 < set.plants.size(); ++p) {
        const analysis::LinearPlant& plant = set.plants[p];
        report.trimmed = report.trimmed && plant.trimmed;
        const std::string plantName = describeScale(set.scales[p]);
        for (const host::HostLoop& loop : loops) {
            ++report.cases;
            const double radius = largestPole(plant, gains, loop);
            report.slowestPoleRadius = std::max(report.slowestPoleRadius, radius);
            if (!(radius < 1.0))
                unstable(plantName + "; " + loopName(loop), radius);
        }
        if (conditions.stabilityDelayFrames > 0) {
            ++report.cases;
            const double radius = largestPole(plant, gains, late);
            if (!(radius < 1.0))
                unstable(plantName + "; " + loopName(late), radius);
        }
    }
    for (LoopMarginReport& l : report.loops) {
        l.diskMargin = report.stable ? 2.0 : 0.0;
        if (!report.stable)
            l.worstCase = report.firstUnstable;
    }
    // The disk margins on the time-invariant model at the ends of the
    // latency band: the visual rate changes only the pattern of intervals,
    // which the exact verdict above has judged.
    for (size_t p = 0; report.stable && p + 1 < set.plants.size(); ++p) {
        const std::string plantName = describeScale(set.scales[p]);
        for (const host::HostLoop& loop : latencies) {
            const analysis::SampledHold sampled = sampleAt(set.plants[p], gains, loop);
            const bool modelStable = largestEigenvalue(closedLoop(sampled)) < 1.0;
            for (int j = 0; j < analysis::kLoopCount; ++j) {
                LoopMarginReport& l = report.loops[static_cast<size_t>(3 - j)];
                const double d = modelStable ? loopDiskMargin(sampled, j) : 0.0;
                if (d < l.diskMargin) {
                    l.diskMargin = d;
                    l.worstCase = plantName + "; " + loopName(loop);
                }
            }
        }
    }
    for (LoopMarginReport& l : report.loops) {
        l.gainMarginDb = diskGainMarginDb(l.diskMargin);
        l.phaseMarginDeg = diskPhaseMarginDeg(l.diskMargin);
    }
    return report;
}

void observeIntegrals(const std::string& trace, const std::string& parameters, FlightOutcome& outcome) {
    const std::optional<Factors> factors = readParameterString(parameters);
    if (!factors)
        return;
    const analysis::AntiWindupStats a = analysis::observeAntiWindup(trace, gainsOf(*factors));
    if (!a.read)
        return;
    outcome.engagedUpdates = a.engagedUpdates;
    outcome.forwardResetShare = a.forward.share;
    outcome.rightResetShare = a.right.share;
    outcome.turnFrozenShare = a.turnFrozenShare;
    outcome.largestResetStep = std::max(a.forward.largestStepCounts, a.right.largestStepCounts);
    outcome.medianResetStep =
        a.forward.resets >= a.right.resets ? a.forward.medianStepCounts : a.right.medianStepCounts;
}

void addClassicalMargins(const FlightConditions& conditions, const Factors& factors, MarginReport& report) {
    const PlantSet& set = plantsFor(conditions, false);
    if (set.plants.empty())
        return;
    const analysis::Gains gains = gainsOf(factors);
    // The classical margins of the aircraft as given, on the host's own
    // loop (the conditions' panel rate, 30 visual frames, one visual frame
    // of latency) and one whole panel frame late, the pessimistic bound.
    const analysis::LinearPlant& given = set.plants.back();
    host::HostLoop own;
    own.panelRate = conditions.frameRate;
    host::HostLoop late = own;
    late.delayUpdates = 1;
    for (int delayed = 0; delayed <= 1; ++delayed) {
        const analysis::HoldAnalysis a = analysis::analyseHold(given, gains, delayed ? late : own);
        for (int loop = 0; loop < analysis::kLoopCount; ++loop) {
            const analysis::LoopMargins& m = a.loops[static_cast<size_t>(loop)];
            LoopMarginReport& r = report.loops[static_cast<size_t>(3 - loop)];
            (delayed ? r.classicalGainMarginDelayedDb : r.classicalGainMarginDb) = m.gainMarginDb;
            (delayed ? r.classicalPhaseMarginDelayedDeg : r.classicalPhaseMarginDeg) = m.phaseMarginDeg;
            if (!delayed)
                r.crossoverHz = m.crossoverHz;
        }
        if (!delayed) {
            report.leastDamping = 1.0;
            for (const std::complex<double>& z : a.poles) {
                const analysis::EquivalentPole p = analysis::equivalentPole(z, a.poleRateHz);
                if (p.frequencyHz > 0.0 && p.damping < report.leastDamping) {
                    report.leastDamping = p.damping;
                    report.leastDampedHz = p.frequencyHz;
                }
            }
        }
    }
}
#else
MarginReport analyseMargins(const FlightConditions& conditions, const Factors& factors, bool validation) {
    (void)conditions;
    (void)factors;
    (void)validation;
    MarginReport report;
    report.unavailableReason = "this build has no linear analysis of the loops (sim/analysis)";
    return report;
}

void observeIntegrals(const std::string& trace, const std::string& parameters, FlightOutcome& outcome) {
    (void)trace;
    (void)parameters;
    (void)outcome;
}

void addClassicalMargins(const FlightConditions& conditions, const Factors& factors, MarginReport& report) {
    (void)conditions;
    (void)factors;
    (void)report;
}
#endif

}  // namespace tune
