// SPDX-License-Identifier: MIT
#include "sim/tune/hold_margins.h"

#include <algorithm>
#include <cmath>

namespace tune {

double MarginReport::shortfall() const {
    if (!available) {
        return 0.0;
    }
    double total = 0.0;
    if (!trimmed || !stable) {
        total += 1.0 + std::max(0.0, slowestPoleRadius - 1.0);
    }
    for (const LoopMarginReport& loop : loops) {
        const double gm = std::isnan(loop.gainMarginDb) ? 0.0 : loop.gainMarginDb;
        const double pm = std::isnan(loop.phaseMarginDeg) ? 0.0 : loop.phaseMarginDeg;
        total += std::max(0.0, (kRequiredGainMarginDb - gm) / kRequiredGainMarginDb);
        total += std::max(0.0, (kRequiredPhaseMarginDeg - pm) / kRequiredPhaseMarginDeg);
    }
    return total;
}

MarginReport analyseMargins(const FlightConditions& conditions, const Factors& factors) {
    (void)conditions;
    (void)factors;
    MarginReport report;
    report.available = false;
    report.unavailableReason = "this build has no linear analysis of the loops (sim/analysis)";
    return report;
}

}  // namespace tune
