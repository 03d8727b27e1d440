// SPDX-License-Identifier: MIT
#include "sim/analysis/hold_analysis.h"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <limits>
#include <unsupported/Eigen/MatrixFunctions>

#include "control/law_constants.h"

namespace analysis {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The loop filters' weights and the height rule's gain are the module's own
// (control/law_constants.h): the analysis linearises the law it flies.

// Defaults of the gains, module order.
constexpr Gains kDefaultGains{-2000.0, 2.0, 4.0, -1000.0, 8.0, 2.0, 1000.0, 8.0, 2.0, 500.0, 2.0, 1.0};

// The plant's input each loop drives and the output it measures.
constexpr int kLoopInput[kLoopCount] = {kThrottle, kElevator, kAileron, kRudder};
constexpr int kLoopOutput[kLoopCount] = {kUpSpeed, kForwardSpeed, kRightSpeed, kTurnRate};

double gain(const Gains& g, int loop, int role) {
    return g[static_cast<std::size_t>(loop * kGainsPerLoop + role)];
}

}  // namespace

Gains defaultGains() {
    return kDefaultGains;
}

Gains scaledGains(const std::array<double, 12>& factors) {
    Gains g{};
    for (std::size_t i = 0; i < g.size(); ++i) {
        g[i] = kDefaultGains[i] * factors[i];
    }
    return g;
}

LoopLaw loopLaw(double kpr, double tv, double tn, double period) {
    const double a = kErrorSmoothing, b = kNewErrorWeight;
    const double c = kNewRateWeight, r = kRateSmoothing;
    const double T = period;
    LoopLaw law;
    law.A << a, 0.0, 0.0, c / T * (a - 1.0), r, 0.0, T * a, 0.0, 1.0;
    law.b << b, c / T * b, T * b;
    const Eigen::RowVector3d k(1.0, tv, tn == 0.0 ? 0.0 : 1.0 / tn);
    law.c = kpr * k * law.A;
    law.d = kpr * k.dot(law.b);
    return law;
}

SampledHold sampleHold(const LinearPlant& plant, const Gains& gains, double frameRateHz, int delayFrames) {
    const double T = 1.0 / frameRateHz;
    const int np = static_cast<int>(plant.A.rows());
    const int ni = kInputCount;
    const int nl = kLoopCount * 3;
    const int delay = std::max(0, delayFrames);
    const int nd = delay * ni;
    const int n = np + nl + nd;

    // Zero-order hold: the controls stand still over each update.
    Eigen::MatrixXd augmented = Eigen::MatrixXd::Zero(np + ni, np + ni);
    augmented.topLeftCorner(np, np) = plant.A * T;
    augmented.topRightCorner(np, ni) = plant.B * T;
    const Eigen::MatrixXd transition = augmented.exp();
    const Eigen::MatrixXd phi = transition.topLeftCorner(np, np);
    const Eigen::MatrixXd gamma = transition.topRightCorner(np, ni);

    // Raw errors from the plant's outputs: measurement minus set point, the
    // Up loop's set point coming from the height hold.
    Eigen::MatrixXd errorMap = Eigen::MatrixXd::Zero(kLoopCount, kOutputCount);
    for (int j = 0; j < kLoopCount; ++j) {
        errorMap(j, kLoopOutput[j]) = 1.0;
    }
    errorMap(kUp, kHeightFt) = kHeightGain;
    const Eigen::MatrixXd errors = errorMap * plant.C;  // loops x plant states

    // Commands u = Cu X + (nothing from w): the plant has no feedthrough.
    Eigen::MatrixXd commands = Eigen::MatrixXd::Zero(ni, n);
    SampledHold s;
    s.plantStates = np;
    s.A = Eigen::MatrixXd::Zero(n, n);
    s.B = Eigen::MatrixXd::Zero(n, ni);
    s.C = Eigen::MatrixXd::Zero(ni, n);
    s.A.topLeftCorner(np, np) = phi;
    s.B.topRows(np) = gamma;
    for (int j = 0; j < kLoopCount; ++j) {
        const LoopLaw law = loopLaw(gain(gains, j, kKpr), gain(gains, j, kTv), gain(gains, j, kTn), T);
        const int at = np + 3 * j;
        s.A.block(at, at, 3, 3) = law.A;
        s.A.block(at, 0, 3, np) = law.b * errors.row(j);
        commands.block(kLoopInput[j], at, 1, 3) = law.c;
        commands.block(kLoopInput[j], 0, 1, np) += law.d * errors.row(j);
    }
    if (delay == 0) {
        s.C = commands;
    } else {
        const int first = np + nl;
        s.A.block(first, 0, ni, n) = commands;
        for (int k = 1; k < delay; ++k) {
            s.A.block(first + k * ni, first + (k - 1) * ni, ni, ni) = Eigen::MatrixXd::Identity(ni, ni);
        }
        s.C.block(0, first + (delay - 1) * ni, ni, ni) = Eigen::MatrixXd::Identity(ni, ni);
    }
    return s;
}

HoldAnalysis analyseHold(const LinearPlant& plant, const Gains& gains, double frameRateHz, int delayFrames) {
    HoldAnalysis result;
    result.trimmed = plant.trimmed;
    const SampledHold s = sampleHold(plant, gains, frameRateHz, delayFrames);
    const Eigen::MatrixXd closed = s.A + s.B * s.C;
    const Eigen::EigenSolver<Eigen::MatrixXd> eigen(closed, false);
    const Eigen::VectorXcd values = eigen.eigenvalues();
    result.poles.assign(values.data(), values.data() + values.size());
    std::sort(result.poles.begin(), result.poles.end(),
              [](const std::complex<double>& a, const std::complex<double>& b) {
                  return std::abs(a) != std::abs(b) ? std::abs(a) > std::abs(b) : a.imag() > b.imag();
              });
    result.largestPoleMagnitude = result.poles.empty() ? 0.0 : std::abs(result.poles.front());
    result.closedLoopStable = eigen.info() == Eigen::Success && result.largestPoleMagnitude < 1.0;

    const double T = 1.0 / frameRateHz;
    for (int j = 0; j < kLoopCount; ++j) {
        // Every loop but this one closed; this one's command and actuator
        // taken apart. In the negative-feedback form, L = -(w_j -> v_j).
        const int input = kLoopInput[j];
        Eigen::MatrixXd open = closed - s.B.col(input) * s.C.row(input);
        result.loops[static_cast<std::size_t>(j)] =
            sampledLoopMargins(open, s.B.col(input), -s.C.row(input), 0.0, T);
    }
    return result;
}

HoldAnalysis analyseHold(const flight::Parameters& aircraft, const Gains& gains, double frameRateHz,
                         int delayFrames) {
    return analyseHold(linearisePlant(aircraft), gains, frameRateHz, delayFrames);
}

EquivalentPole equivalentPole(std::complex<double> z, double frameRateHz) {
    EquivalentPole e;
    if (std::abs(z) == 0.0) {
        // A pure delay: infinitely fast, nothing to show as a frequency.
        e.frequencyHz = std::numeric_limits<double>::infinity();
        e.damping = 1.0;
        e.realPerSecond = -std::numeric_limits<double>::infinity();
        return e;
    }
    const std::complex<double> s = std::log(z) * frameRateHz;
    const double magnitude = std::abs(s);
    e.frequencyHz = magnitude / (2.0 * kPi);
    e.damping = magnitude > 0.0 ? -s.real() / magnitude : 1.0;
    e.realPerSecond = s.real();
    return e;
}

}  // namespace analysis
