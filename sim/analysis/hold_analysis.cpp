// SPDX-License-Identifier: MIT
#include "sim/analysis/hold_analysis.h"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>
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
    if (tn == 0.0) {
        // No integral action: the module's sum then acts on nothing. Kept as
        // a state that forgets at once, so that its pole (at 1 otherwise,
        // on the stability boundary) cannot decide the verdict by rounding.
        law.A.row(2).setZero();
        law.b(2) = 0.0;
    }
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

namespace {

// Switch times closer than this to a boundary are on it: the loop's times
// are whole visual frames plus a latency, computed in double.
constexpr double kSameTimeS = 1e-9;

// When each update happens and when each command takes over at the
// controls, for update index k of any sign (the schedule is periodic).
class Schedule {
public:
    // Evenly spaced updates every period, commands felt latency later.
    static Schedule even(double period, double latency) {
        Schedule s;
        s.evenPeriod_ = period;
        s.latency_ = latency;
        return s;
    }
    static Schedule host(const host::HostLoop& loop) {
        Schedule s;
        s.panelRate_ = loop.panelRate;
        s.visualRate_ = loop.visualRate;
        const int common = std::gcd(loop.panelRate, loop.visualRate);
        s.patternUpdates_ = loop.panelRate / common;
        s.patternFrames_ = loop.visualRate / common;
        s.latency_ = loop.latencyS;
        s.delayUpdates_ = loop.delayUpdates;
        return s;
    }
    double updateTime(int64_t k) const {
        if (evenPeriod_ > 0.0) {
            return static_cast<double>(k) * evenPeriod_;
        }
        // Fold k into the first pattern, whose frames host_loop.h gives.
        const int64_t n = patternUpdates_;
        const int64_t patterns = (k >= 0 ? k : k - n + 1) / n;
        const int64_t frame =
            host::visualFrameOfUpdate(k - patterns * n, panelRate_, visualRate_) + patterns * patternFrames_;
        return static_cast<double>(frame) / visualRate_;
    }
    // When command j starts to act.
    double switchTime(int64_t j) const {
        return delayUpdates_ > 0 ? updateTime(j + delayUpdates_) : updateTime(j) + latency_;
    }
    int64_t patternUpdates() const { return evenPeriod_ > 0.0 ? 1 : patternUpdates_; }
    double patternPeriod() const { return updateTime(patternUpdates()) - updateTime(0); }
    // The newest command already acting at update k (its switch at or before t_k).
    int64_t actingAt(int64_t k) const {
        int64_t j = k;
        while (switchTime(j) > updateTime(k) + kSameTimeS) {
            --j;
        }
        return j;
    }

private:
    double evenPeriod_ = 0.0;
    int panelRate_ = 1, visualRate_ = 1;
    int64_t patternUpdates_ = 1, patternFrames_ = 1;
    double latency_ = 0.0;
    int delayUpdates_ = 0;
};

// The plant over a stretch tau with the controls held: x+ = phi x + gamma u.
struct HeldStretch {
    Eigen::MatrixXd phi, gamma;
};
HeldStretch discretise(const LinearPlant& plant, double tau) {
    const Eigen::Index np = plant.A.rows(), ni = plant.B.cols();
    Eigen::MatrixXd augmented = Eigen::MatrixXd::Zero(np + ni, np + ni);
    augmented.topLeftCorner(np, np) = plant.A * tau;
    augmented.topRightCorner(np, ni) = plant.B * tau;
    const Eigen::MatrixXd transition = augmented.exp();
    return {transition.topLeftCorner(np, np), transition.topRightCorner(np, ni)};
}

// The stretches a tuner asks for again and again: the same few plants over
// the same few lengths, whatever the gains. Each entry keeps its plant's
// matrices and is used only for a plant equal to them, so a plant that
// happens to live where another one lived is never served the other's
// stretch. The oldest entries make room for new ones.
struct StretchMemo {
    Eigen::MatrixXd A, B;
    double tau = 0.0;
    HeldStretch stretch;
};
constexpr std::size_t kStretchMemoSize = 512;

HeldStretch holdOver(const LinearPlant& plant, double tau) {
    thread_local std::vector<StretchMemo> memo;
    thread_local std::size_t oldest = 0;
    for (const StretchMemo& m : memo) {
        if (m.tau == tau && m.A.rows() == plant.A.rows() && m.B.cols() == plant.B.cols() && m.A == plant.A
            && m.B == plant.B) {
            return m.stretch;
        }
    }
    HeldStretch h = discretise(plant, tau);
    StretchMemo entry{plant.A, plant.B, tau, h};
    if (memo.size() < kStretchMemoSize) {
        memo.push_back(std::move(entry));
    } else {
        memo[oldest] = std::move(entry);
        oldest = (oldest + 1) % kStretchMemoSize;
    }
    return h;
}

// Update k of a schedule, open at the actuators: X_{k+1} = A X_k + B w_k,
// v_k = C X_k, with w_k the commands the module sends at update k and v_k
// those the law computes. X holds the plant, the law and the last `pending`
// updates' commands (newest first).
SampledHold updateStep(const LinearPlant& plant, const Gains& gains, const Schedule& schedule, int64_t k,
                       int pending) {
    const int np = static_cast<int>(plant.A.rows());
    const int ni = kInputCount;
    const int nl = kLoopCount * 3;
    const int n = np + nl + pending * ni;
    const double tk = schedule.updateTime(k);
    const double dt = tk - schedule.updateTime(k - 1);  // the module's measured time step
    const double next = schedule.updateTime(k + 1);

    Eigen::MatrixXd errorMap = Eigen::MatrixXd::Zero(kLoopCount, kOutputCount);
    for (int j = 0; j < kLoopCount; ++j) {
        errorMap(j, kLoopOutput[j]) = 1.0;
    }
    errorMap(kUp, kHeightFt) = kHeightGain;
    const Eigen::MatrixXd errors = errorMap * plant.C;

    SampledHold s;
    s.plantStates = np;
    s.A = Eigen::MatrixXd::Zero(n, n);
    s.B = Eigen::MatrixXd::Zero(n, ni);
    s.C = Eigen::MatrixXd::Zero(ni, n);
    for (int j = 0; j < kLoopCount; ++j) {
        const LoopLaw law = loopLaw(gain(gains, j, kKpr), gain(gains, j, kTv), gain(gains, j, kTn), dt);
        const int at = np + 3 * j;
        s.A.block(at, at, 3, 3) = law.A;
        s.A.block(at, 0, 3, np) = law.b * errors.row(j);
        s.C.block(kLoopInput[j], at, 1, 3) = law.c;
        s.C.block(kLoopInput[j], 0, 1, np) += law.d * errors.row(j);
    }

    // The plant from t_k to t_{k+1}, as a map of [X_k; w_k]: the command
    // acting at the start, then each newer one from its switch time on.
    const auto commandColumns = [&](int64_t j) {
        Eigen::MatrixXd pick = Eigen::MatrixXd::Zero(ni, n + ni);
        if (j == k) {
            pick.rightCols(ni).setIdentity();
        } else {
            const int slot = static_cast<int>(k - 1 - j);
            pick.block(0, np + nl + slot * ni, ni, ni).setIdentity();
        }
        return pick;
    };
    Eigen::MatrixXd x = Eigen::MatrixXd::Zero(np, n + ni);
    x.leftCols(np).setIdentity();
    int64_t acting = schedule.actingAt(k);
    double from = tk;
    while (from < next - kSameTimeS) {
        double to = next;
        if (acting < k && schedule.switchTime(acting + 1) < next - kSameTimeS) {
            to = std::max(from, schedule.switchTime(acting + 1));
        }
        if (to > from + kSameTimeS) {
            const HeldStretch h = holdOver(plant, to - from);
            x = h.phi * x + h.gamma * commandColumns(acting);
        }
        from = to;
        if (to < next) {
            ++acting;
        }
    }
    s.A.topRows(np) = x.leftCols(n);
    s.B.topRows(np) = x.rightCols(ni);
    if (pending > 0) {
        s.B.block(np + nl, 0, ni, ni).setIdentity();
        for (int slot = 1; slot < pending; ++slot) {
            s.A.block(np + nl + slot * ni, np + nl + (slot - 1) * ni, ni, ni).setIdentity();
        }
    }
    return s;
}

// How many updates' commands the state must hold: the most by which the
// command acting at an update is older than it, over one pattern.
int pendingUpdates(const Schedule& schedule) {
    int64_t most = 0;
    for (int64_t k = 0; k < schedule.patternUpdates(); ++k) {
        most = std::max(most, k - schedule.actingAt(k));
    }
    return static_cast<int>(most);
}

void checkLoop(const host::HostLoop& loop) {
    const bool valid = loop.panelRate >= 1 && loop.visualRate >= loop.panelRate
                       && std::isfinite(loop.latencyS) && loop.latencyS >= 0.0
                       && loop.latencyS <= 2.0 / loop.panelRate + kSameTimeS && loop.delayUpdates >= 0
                       && loop.delayUpdates <= 2;
    if (!valid) {
        throw std::invalid_argument("host loop out of range: panel rate " + std::to_string(loop.panelRate)
                                    + ", visual rate " + std::to_string(loop.visualRate) + ", latency "
                                    + std::to_string(loop.latencyS) + " s, delay "
                                    + std::to_string(loop.delayUpdates) + " updates");
    }
}

std::vector<std::complex<double>> sortedEigenvalues(const Eigen::MatrixXd& m, bool& solved) {
    const Eigen::EigenSolver<Eigen::MatrixXd> eigen(m, false);
    solved = eigen.info() == Eigen::Success;
    const Eigen::VectorXcd values = eigen.eigenvalues();
    std::vector<std::complex<double>> poles(values.data(), values.data() + values.size());
    std::sort(poles.begin(), poles.end(), [](const std::complex<double>& a, const std::complex<double>& b) {
        return std::abs(a) != std::abs(b) ? std::abs(a) > std::abs(b) : a.imag() > b.imag();
    });
    return poles;
}

LiftedHold lift(const LinearPlant& plant, const Gains& gains, const Schedule& schedule) {
    LiftedHold lifted;
    lifted.plantStates = static_cast<int>(plant.A.rows());
    lifted.pendingUpdates = pendingUpdates(schedule);
    lifted.periodS = schedule.patternPeriod();
    for (int64_t k = 0; k < schedule.patternUpdates(); ++k) {
        const SampledHold s = updateStep(plant, gains, schedule, k, lifted.pendingUpdates);
        lifted.steps.push_back(s.A + s.B * s.C);
        lifted.monodromy =
            k == 0 ? lifted.steps.back() : Eigen::MatrixXd(lifted.steps.back() * lifted.monodromy);
    }
    return lifted;
}

// The analysis on a schedule: the exact verdict on `exact`, the margins on
// the even schedule `margins`.
HoldAnalysis analyse(const LinearPlant& plant, const Gains& gains, const Schedule& exact,
                     const Schedule& margins, double marginPeriod) {
    HoldAnalysis result;
    result.trimmed = plant.trimmed;
    const LiftedHold lifted = lift(plant, gains, exact);
    bool solved = false;
    result.poles = sortedEigenvalues(lifted.monodromy, solved);
    result.largestPoleMagnitude = result.poles.empty() ? 0.0 : std::abs(result.poles.front());
    result.closedLoopStable = solved && result.largestPoleMagnitude < 1.0;
    result.patternPeriodS = lifted.periodS;
    result.poleRateHz = 1.0 / lifted.periodS;
    result.updatesPerPattern = static_cast<int>(exact.patternUpdates());

    const SampledHold s = updateStep(plant, gains, margins, 0, pendingUpdates(margins));
    const Eigen::MatrixXd closed = s.A + s.B * s.C;
    bool marginSolved = false;
    const std::vector<std::complex<double>> marginPoles = sortedEigenvalues(closed, marginSolved);
    result.marginModelLargestPole = marginPoles.empty() ? 0.0 : std::abs(marginPoles.front());
    result.marginModelStable = marginSolved && result.marginModelLargestPole < 1.0;
    for (int j = 0; j < kLoopCount; ++j) {
        // Every loop but this one closed; this one's command and actuator
        // taken apart. In the negative-feedback form, L = -(w_j -> v_j).
        const int input = kLoopInput[j];
        const Eigen::MatrixXd open = closed - s.B.col(input) * s.C.row(input);
        LoopMargins& m = result.loops[static_cast<std::size_t>(j)];
        m = sampledLoopMargins(open, s.B.col(input), -s.C.row(input), 0.0, marginPeriod);
        m.disk = sampledDiskMargin(open, s.B.col(input), -s.C.row(input), 0.0, marginPeriod,
                                   result.marginModelStable);
    }
    return result;
}

Schedule marginSchedule(const host::HostLoop& loop) {
    const double period = 1.0 / loop.panelRate;
    return Schedule::even(period, loop.delayUpdates > 0 ? loop.delayUpdates * period : loop.latencyS);
}

}  // namespace

LiftedHold liftHold(const LinearPlant& plant, const Gains& gains, const host::HostLoop& loop) {
    checkLoop(loop);
    return lift(plant, gains, Schedule::host(loop));
}

SampledHold sampleHoldAtMeanPeriod(const LinearPlant& plant, const Gains& gains, const host::HostLoop& loop) {
    checkLoop(loop);
    const Schedule s = marginSchedule(loop);
    return updateStep(plant, gains, s, 0, pendingUpdates(s));
}

SampledHold sampleHoldAtUpdate(const LinearPlant& plant, const Gains& gains, const host::HostLoop& loop,
                               int64_t k) {
    checkLoop(loop);
    const Schedule s = Schedule::host(loop);
    return updateStep(plant, gains, s, k, pendingUpdates(s));
}

HoldAnalysis analyseHold(const LinearPlant& plant, const Gains& gains, const host::HostLoop& loop) {
    checkLoop(loop);
    HoldAnalysis result = analyse(plant, gains, Schedule::host(loop), marginSchedule(loop), 1.0 / loop.panelRate);
    result.loop = loop;
    return result;
}

HoldAnalysis analyseHold(const flight::Parameters& aircraft, const Gains& gains, const host::HostLoop& loop) {
    return analyseHold(linearisePlant(aircraft), gains, loop);
}

HoldAnalysis analyseHold(const LinearPlant& plant, const Gains& gains, double frameRateHz, int delayFrames) {
    const double period = 1.0 / frameRateHz;
    const int delay = std::max(0, delayFrames);
    const Schedule even = Schedule::even(period, delay * period);
    HoldAnalysis result = analyse(plant, gains, even, even, period);
    // The loop this is, as far as whole rates describe it.
    const int rate = static_cast<int>(std::clamp(std::round(frameRateHz), 1.0, 1000.0));
    result.loop = host::HostLoop{rate, rate, delay * period, delay};
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
