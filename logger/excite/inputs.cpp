// SPDX-License-Identifier: MIT
#include "logger/excite/inputs.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Below this |ln r| the sweep is a constant frequency: the exponential
// form would divide by almost nothing.
constexpr double kFlatSweep = 1e-9;

}  // namespace

double multiStepDuration(const MultiStep& input) {
    return 7.0 * input.stepSeconds;
}

double multiStepValue(const MultiStep& input, double t) {
    const double steps = t / input.stepSeconds;
    if (!(steps >= 0.0) || steps >= 7.0) {
        return 0.0;
    }
    if (steps < 3.0) {
        return input.amplitude;
    }
    if (steps < 5.0) {
        return -input.amplitude;
    }
    if (steps < 6.0) {
        return input.amplitude;
    }
    return -input.amplitude;
}

double sweepPhase(const Sweep& input, double t) {
    const double logRatio = std::log(input.toHz / input.fromHz);
    if (std::fabs(logRatio) < kFlatSweep) {
        return kTwoPi * input.fromHz * t;
    }
    return kTwoPi * input.fromHz * input.seconds * std::expm1(logRatio * t / input.seconds) / logRatio;
}

double sweepDuration(const Sweep& input) {
    const double halfTurns = std::floor(sweepPhase(input, input.seconds) / std::numbers::pi);
    if (!(halfTurns >= 1.0)) {
        return 0.0;
    }
    const double logRatio = std::log(input.toHz / input.fromHz);
    double end = 0.0;
    if (std::fabs(logRatio) < kFlatSweep) {
        end = halfTurns / (2.0 * input.fromHz);
    } else {
        end = input.seconds * std::log1p(halfTurns * logRatio / (2.0 * input.fromHz * input.seconds)) / logRatio;
    }
    return end < input.seconds ? end : input.seconds;
}

double sweepValue(const Sweep& input, double t) {
    if (!(t >= 0.0) || t >= sweepDuration(input)) {
        return 0.0;
    }
    return input.amplitude * std::sin(sweepPhase(input, t));
}
