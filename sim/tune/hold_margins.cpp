// SPDX-License-Identifier: MIT
#include "sim/tune/hold_margins.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <optional>

#ifdef HOVER_TUNE_ANALYSIS
#include "sim/analysis/hold_analysis.h"
#include "sim/flight/aircraft_file.h"
#include "sim/flight/parameters.h"
#include "sim/scenario/aircraft.h"
#endif

namespace tune {

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

}  // namespace
#endif

MarginBounds MarginBounds::uniform(double gainMarginDb, double phaseMarginDeg) {
    MarginBounds b;
    b.gainMarginDb.fill(gainMarginDb);
    b.phaseMarginDeg.fill(phaseMarginDeg);
    return b;
}

double MarginReport::shortfall(const MarginBounds& bounds) const {
    if (!available) {
        return 0.0;
    }
    double total = 0.0;
    if (!trimmed || !stable) {
        total += 1.0 + std::max(0.0, slowestPoleRadius - 1.0);
    }
    for (size_t i = 0; i < loops.size(); ++i) {
        const double gm = std::isnan(loops[i].gainMarginDb) ? 0.0 : loops[i].gainMarginDb;
        const double pm = std::isnan(loops[i].phaseMarginDeg) ? 0.0 : loops[i].phaseMarginDeg;
        total += std::max(0.0, (bounds.gainMarginDb[i] - gm) / kRequiredGainMarginDb);
        total += std::max(0.0, (bounds.phaseMarginDeg[i] - pm) / kRequiredPhaseMarginDeg);
    }
    return total;
}

#ifdef HOVER_TUNE_ANALYSIS
MarginReport analyseMargins(const FlightConditions& conditions, const Factors& factors) {
    MarginReport report;
    // The aircraft is read and its plant linearised once per aircraft; the
    // tuner asks many times.
    static std::string plantFor;
    static std::optional<analysis::LinearPlant> plant;
    const std::string key = conditions.aircraft;
    if (!plant || plantFor != key) {
        std::string problem;
        const std::optional<flight::Parameters> aircraft = aircraftParameters(conditions, problem);
        if (!aircraft) {
            report.unavailableReason = problem;
            return report;
        }
        plant = analysis::linearisePlant(*aircraft);
        plantFor = key;
    }
    // The analysis orders loops Up, Forward, Right, Turn; the parameter
    // string Turn, Right, Forward, Up.
    std::array<double, 12> ordered{};
    for (int loop = 0; loop < analysis::kLoopCount; ++loop) {
        for (int role = 0; role < analysis::kGainsPerLoop; ++role) {
            ordered[static_cast<size_t>(loop * 3 + role)] =
                factors[static_cast<size_t>((3 - loop) * 3 + role)];
        }
    }
    const analysis::HoldAnalysis a = analysis::analyseHold(*plant, analysis::scaledGains(ordered),
                                                           conditions.frameRate, conditions.delayFrames);
    report.available = true;
    report.trimmed = a.trimmed;
    report.stable = a.closedLoopStable;
    report.slowestPoleRadius = a.largestPoleMagnitude;
    report.leastDamping = 1.0;
    for (const std::complex<double>& z : a.poles) {
        const analysis::EquivalentPole p = analysis::equivalentPole(z, conditions.frameRate);
        if (p.frequencyHz > 0.0 && p.damping < report.leastDamping) {
            report.leastDamping = p.damping;
            report.leastDampedHz = p.frequencyHz;
        }
    }
    for (int loop = 0; loop < analysis::kLoopCount; ++loop) {
        const analysis::LoopMargins& m = a.loops[static_cast<size_t>(loop)];
        LoopMarginReport& r = report.loops[static_cast<size_t>(3 - loop)];
        r.gainMarginDb = m.gainMarginDb;
        r.phaseMarginDeg = m.phaseMarginDeg;
        r.crossoverHz = m.crossoverHz;
    }
    return report;
}
#else
MarginReport analyseMargins(const FlightConditions& conditions, const Factors& factors) {
    (void)conditions;
    (void)factors;
    MarginReport report;
    report.unavailableReason = "this build has no linear analysis of the loops (sim/analysis)";
    return report;
}
#endif

}  // namespace tune
