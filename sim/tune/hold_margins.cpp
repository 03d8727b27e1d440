// SPDX-License-Identifier: MIT
#include "sim/tune/hold_margins.h"

#include "sim/tune/disk_margin.h"

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

// The sampled hold of one plant at one host loop. The analysis knows whole
// panel frames of delay only, so the loop is taken at wholeDelayFrames (the
// pessimistic side of its latency); the visual rate does not enter.
analysis::SampledHold sampleAt(const analysis::LinearPlant& plant, const analysis::Gains& gains,
                               const host::HostLoop& loop) {
    return analysis::sampleHold(plant, gains, loop.panelRate, wholeDelayFrames(loop));
}

Eigen::MatrixXd closedLoop(const analysis::SampledHold& s) {
    return s.A + s.B * s.C;
}

// The largest |z| of the closed loop's poles (infinite when not found).
double largestPole(const analysis::SampledHold& s) {
    const Eigen::EigenSolver<Eigen::MatrixXd> eigen(closedLoop(s), false);
    if (eigen.info() != Eigen::Success)
        return std::numeric_limits<double>::infinity();
    return eigen.eigenvalues().cwiseAbs().maxCoeff();
}

// One loop's disk margin, every other loop closed and this one broken at
// its actuator (the plant's inputs are in the loops' order).
double loopDiskMargin(const analysis::SampledHold& s, int loop, double samplePeriod) {
    const Eigen::MatrixXd open = closedLoop(s) - s.B.col(loop) * s.C.row(loop);
    return diskMargin(open, s.B.col(loop), -s.C.row(loop), samplePeriod);
}

// The loops the analysis can tell apart, in the conditions' order.
std::vector<host::HostLoop> distinctLoops(const std::vector<host::HostLoop>& loops) {
    std::vector<host::HostLoop> out;
    for (const host::HostLoop& l : loops) {
        const bool seen = std::any_of(out.begin(), out.end(), [&](const host::HostLoop& o) {
            return o.panelRate == l.panelRate && wholeDelayFrames(o) == wholeDelayFrames(l);
        });
        if (!seen)
            out.push_back(l);
    }
    return out;
}

struct PlantSet {
    std::vector<flight::ParameterScale> scales;
    std::vector<analysis::LinearPlant> plants;
    std::string reason;
};

// The aircraft's sampled plants, linearised once per aircraft and set.
const PlantSet& plantsFor(const FlightConditions& conditions, bool validation) {
    static std::map<std::string, PlantSet> cache;
    const std::string key = conditions.aircraft + (validation ? "|v|" : "|t|")
                            + describeScale(conditions.uncertainty.spread);
    auto found = cache.find(key);
    if (found != cache.end())
        return found->second;
    PlantSet set;
    const std::optional<flight::Parameters> aircraft = aircraftParameters(conditions, set.reason);
    if (aircraft) {
        set.scales = plantSamples(conditions.uncertainty, validation);
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
    const int delay = wholeDelayFrames(loop);
    return delay == 0 ? "no delay" : std::to_string(delay) + " panel frame(s) late";
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
    // Stability of every case first: the margins are worth computing only
    // when every closed loop of the set is stable (a search spends most of
    // its analyses on strings that are not).
    std::vector<analysis::SampledHold> sampled;
    std::vector<std::string> where;
    for (size_t p = 0; p + 1 < set.plants.size(); ++p) {
        const analysis::LinearPlant& plant = set.plants[p];
        report.trimmed = report.trimmed && plant.trimmed;
        const std::string plantName = describeScale(set.scales[p]);
        for (const host::HostLoop& loop : loops) {
            sampled.push_back(sampleAt(plant, gains, loop));
            where.push_back(plantName + "; " + loopName(loop));
            ++report.cases;
            const double radius = largestPole(sampled.back());
            report.slowestPoleRadius = std::max(report.slowestPoleRadius, radius);
            if (!(radius < 1.0))
                unstable(where.back(), radius);
        }
        if (conditions.stabilityDelayFrames > 0) {
            ++report.cases;
            const double radius = largestPole(sampleAt(plant, gains, late));
            if (!(radius < 1.0))
                unstable(plantName + "; " + loopName(late), radius);
        }
    }
    for (LoopMarginReport& l : report.loops) {
        l.diskMargin = report.stable ? 2.0 : 0.0;
        if (!report.stable)
            l.worstCase = report.firstUnstable;
    }
    for (size_t k = 0; report.stable && k < sampled.size(); ++k) {
        for (int j = 0; j < analysis::kLoopCount; ++j) {
            LoopMarginReport& l = report.loops[static_cast<size_t>(3 - j)];
            const double d = loopDiskMargin(sampled[k], j, 1.0 / conditions.frameRate);
            if (d < l.diskMargin) {
                l.diskMargin = d;
                l.worstCase = where[k];
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
    // The classical margins of the aircraft as given, no delay and one
    // whole panel frame late: the two sides of the host's default loop.
    const analysis::LinearPlant& given = set.plants.back();
    for (int delay = 0; delay <= 1; ++delay) {
        const analysis::HoldAnalysis a = analysis::analyseHold(given, gains, conditions.frameRate, delay);
        for (int loop = 0; loop < analysis::kLoopCount; ++loop) {
            const analysis::LoopMargins& m = a.loops[static_cast<size_t>(loop)];
            LoopMarginReport& r = report.loops[static_cast<size_t>(3 - loop)];
            (delay == 0 ? r.classicalGainMarginDb : r.classicalGainMarginDelayedDb) = m.gainMarginDb;
            (delay == 0 ? r.classicalPhaseMarginDeg : r.classicalPhaseMarginDelayedDeg) = m.phaseMarginDeg;
            if (delay == 1)
                r.crossoverHz = m.crossoverHz;
        }
        if (delay == 1) {
            report.leastDamping = 1.0;
            for (const std::complex<double>& z : a.poles) {
                const analysis::EquivalentPole p = analysis::equivalentPole(z, conditions.frameRate);
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
