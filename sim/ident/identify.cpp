// SPDX-License-Identifier: MIT
#include "sim/ident/identify.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <cstdio>
#include <cstdlib>

#include "sim/units.h"

namespace ident {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kDynamicCount = 6;  // the equations with terms: u, v, w, p, q, r (State order)
constexpr int kDelayIndex = kTermCount;
// The predictor's gains: after each row the simulated state is pulled
// towards the measured one, and a slowly varying disturbance is updated
// from the same difference (a steady-state filter whose gains are fitted
// with the model: output error where they are zero). The disturbances of
// the speed equations are the wind's components, acting through the speed
// terms as moving air does; those of the rates add to their equations.
// This is what keeps the fit honest when the turbulence pushes the
// aircraft and the pilot answers it: the gust is tracked rather than
// blamed on the terms, and an aircraft that drifts with a steady gust is
// not taken for one with less damping.
struct Correction {
    int output;  // the measured state
    int target;  // a state, or kBiasTarget + equation for the disturbance
};
constexpr int kBiasTarget = 100;
constexpr int kGainCount = 15;
constexpr Correction kCorrections[kGainCount] = {{kU, kU},
                                                 {kU, kBiasTarget + kU},
                                                 {kV, kV},
                                                 {kV, kBiasTarget + kV},
                                                 {kW, kW},
                                                 {kW, kBiasTarget + kW},
                                                 {kH, kH},
                                                 {kR, kR},
                                                 {kR, kBiasTarget + kR},
                                                 {kPhi, kPhi},
                                                 {kPhi, kP},
                                                 {kPhi, kBiasTarget + kP},
                                                 {kTheta, kTheta},
                                                 {kTheta, kQ},
                                                 {kTheta, kBiasTarget + kQ}};
// The rotor's lags (RotorLag): roll, pitch and heave time constants, and
// the collective's instant share of the heave.
constexpr int kFirstLag = kTermCount + 1;
constexpr int kLagCount = 4;
constexpr int kHeaveInstantIndex = kFirstLag + 3;
// A lag shorter than this is as good as none here, and the integration's
// steps (a physics step) stay stable on it; longer would be no rotor.
constexpr double kShortestLagS = 0.01;
constexpr double kLongestLagS = 0.5;
// The rotor speed's terms (RotorSpeedTerms): its heave, its yaw, and the
// yaw of its acceleration (the engine's torque on the fuselage).
constexpr int kFirstRotorSpeed = kFirstLag + kLagCount;
constexpr int kHeaveOfRotorSpeed = kFirstRotorSpeed;
constexpr int kYawOfRotorSpeed = kFirstRotorSpeed + 1;
constexpr int kYawOfRotorAcceleration = kFirstRotorSpeed + 2;
constexpr int kRotorSpeedCount = 3;
constexpr int kFirstGain = kFirstRotorSpeed + kRotorSpeedCount;
// Each equation's disturbance fades at its own fitted rate (1/s): gusts
// come and go, and a disturbance that never faded would take over the
// slow part of the response that the speed terms set.
constexpr int kFirstDecay = kFirstGain + kGainCount;
constexpr int kFirstBias = kFirstDecay + kDynamicCount;

// The groups the output-error simulation integrates on their own, the
// states of the other groups taken from the measurement.
constexpr int kGroupCount = 2;
// The simulation carries the rotor's lag states after the rigid ones.
constexpr int kSimCount = kExtendedStateCount;
constexpr int kGroupOf[kSimCount] = {/*u*/ 0,        /*v*/ 0,         /*w*/ 1,        /*p*/ 0, /*q*/ 0,
                                     /*r*/ 0,        /*phi*/ 0,       /*theta*/ 0,    /*h*/ 1,
                                     /*lag roll*/ 0, /*lag pitch*/ 0, /*lag heave*/ 1};
constexpr int kStateOfOutput[kMeasuredCount] = {kU, kV, kW, kR, kPhi, kTheta, kH};

// The coherence: evenly resampled at 20 Hz, 12.8 s Hann segments, half
// overlapping.
constexpr double kSpectrumRate = 20.0;
constexpr int kSegment = 256;
constexpr int kMinSegments = 4;
constexpr double kBandEdges[kBandCount + 1] = {0.1, 0.5, 2.0, 5.0};

using StateVector = std::array<double, kStateCount>;
using SimVector = std::array<double, kSimCount>;
using InputVector = std::array<double, analysis::kInputCount>;

struct Prepared {
    int stretch = 0;
    std::vector<double> t;
    std::vector<StateVector> x;  // measured; p and q from differentiating phi and theta
    std::vector<InputVector> d;  // counts off the trim
    // The rotor speed off its trim, % of normal, and its rate, %/s (from
    // differentiating the smoothed reading): measured, so the fit takes
    // them as given, like the inputs.
    std::vector<double> rotor, rotorRate;
    std::vector<int> excitedAxis;
};

struct Window {
    int prepared;
    int a;  // first row: the measured start
    int b;  // last row compared
    // Where the window's starting roll and pitch rates are among the
    // parameters: they are not measured, and a rate a little off at the
    // start leaves the whole window's attitude off by its integral.
    std::size_t initialRates = 0;
};

struct Matrices {
    double A[kSimCount][kSimCount] = {};
    double B[kSimCount][analysis::kInputCount] = {};
};

RotorLag rotorLagOf(const std::vector<double>& theta) {
    RotorLag lag;
    lag.rollS.value = theta[kFirstLag];
    lag.pitchS.value = theta[kFirstLag + 1];
    lag.heaveS.value = theta[kFirstLag + 2];
    lag.heaveInstant.value = theta[kHeaveInstantIndex];
    return lag;
}

Matrices modelMatrices(const std::vector<double>& theta) {
    HoverModel model;
    for (int i = 0; i < kTermCount; ++i) {
        model.terms[static_cast<std::size_t>(i)].value = theta[static_cast<std::size_t>(i)];
    }
    model.rotor = rotorLagOf(theta);
    Eigen::MatrixXd A, B;
    stateMatrices(model, A, B);
    Matrices m;
    for (Eigen::Index i = 0; i < A.rows(); ++i) {
        for (Eigen::Index j = 0; j < A.cols(); ++j) {
            m.A[i][j] = A(i, j);
        }
        for (Eigen::Index c = 0; c < B.cols(); ++c) {
            m.B[i][c] = B(i, c);
        }
    }
    return m;
}

RotorSpeedTerms rotorSpeedOf(const std::vector<double>& theta) {
    RotorSpeedTerms terms;
    terms.heave.value = theta[kHeaveOfRotorSpeed];
    terms.yaw.value = theta[kYawOfRotorSpeed];
    terms.yawOfAcceleration.value = theta[kYawOfRotorAcceleration];
    return terms;
}

bool isLag(int state) {
    return state >= kStateCount;
}

bool isSpeed(int state) {
    return state == kU || state == kV || state == kW;
}

std::size_t biasIndex(int stretch, int equation) {
    return static_cast<std::size_t>(kFirstBias + kDynamicCount * stretch + equation);
}

// One group's states over rows a..b of a stretch, written into out (indexed
// from row a). The inputs are held from each row and felt delay later; the
// steps are split at the instants they change, so the latency is
// continuous.
// N is the group's number of states, fixed at compile time so the small
// loops of the integration unroll.
template <int N>
void simulateGroupOf(int group, const Matrices& m, const std::vector<double>& theta, const Prepared& s,
                     const Window& w, double stepS, bool filtered, std::vector<SimVector>& out) {
    constexpr std::size_t kN = static_cast<std::size_t>(N);
    const int a = w.a;
    const int b = w.b;
    int states[kN] = {};
    int n = 0;
    for (int i = 0; i < kSimCount; ++i) {
        if (kGroupOf[i] == group && n < N) {
            states[n++] = i;
        }
    }
    double A[kN][kN] = {};
    double bias[kN] = {};
    struct Cross {
        int row;
        int state;
        double coefficient;
    };
    Cross cross[16] = {};
    int crossCount = 0;
    for (int i = 0; i < N; ++i) {
        for (int j = 0; j < kSimCount; ++j) {
            const double c = m.A[states[i]][j];
            if (c == 0.0) {
                continue;
            }
            if (kGroupOf[j] == group) {
                for (int l = 0; l < N; ++l) {
                    if (states[l] == j) {
                        A[i][l] = c;
                    }
                }
            } else if (crossCount < 16 && !isLag(j)) {
                cross[crossCount++] = Cross{i, j, c};
            }
        }
        if (states[i] < kDynamicCount) {
            bias[i] = theta[biasIndex(s.stretch, states[i])];
        }
    }
    const double delay = theta[kDelayIndex];
    const int rows = static_cast<int>(s.t.size());
    auto local = [&](int state) {
        for (int i = 0; i < N; ++i) {
            if (states[i] == state) {
                return i;
            }
        }
        return -1;
    };
    double disturbance[kN] = {};
    const int heaveRow = local(kW), yawRow = local(kR);
    const double heaveOfRotor = theta[kHeaveOfRotorSpeed];
    const double yawOfRotor = theta[kYawOfRotorSpeed], yawOfRotorRate = theta[kYawOfRotorAcceleration];

    // The input felt at t_a: the last row whose update reached the aircraft
    // by then (before the log, the first row's).
    const auto firstLater =
        std::upper_bound(s.t.begin(), s.t.end(), s.t[static_cast<std::size_t>(a)] - delay);
    int j = std::max(0, static_cast<int>(firstLater - s.t.begin()) - 1);

    double x[kN] = {};
    for (int i = 0; i < N; ++i) {
        x[i] = states[i] == kP    ? theta[w.initialRates]
               : states[i] == kQ  ? theta[w.initialRates + 1]
               : isLag(states[i]) ? 0.0
                                  : s.x[static_cast<std::size_t>(a)][static_cast<std::size_t>(states[i])];
    }
    // The rotor starts settled on the window's starting state and input.
    for (int i = 0; i < N; ++i) {
        const int L = states[i];
        if (!isLag(L) || m.A[L][L] == 0.0) {
            continue;
        }
        double forcing = 0.0;
        for (int l = 0; l < N; ++l) {
            forcing += l == i ? 0.0 : m.A[L][states[l]] * x[l];
        }
        for (int c = 0; c < analysis::kInputCount; ++c) {
            forcing += m.B[L][c] * s.d[static_cast<std::size_t>(j)][static_cast<std::size_t>(c)];
        }
        x[i] = -forcing / m.A[L][L];
    }
    for (int i = 0; i < N; ++i) {
        out[0][static_cast<std::size_t>(states[i])] = x[i];
    }

    for (int k = a; k < b; ++k) {
        const double t0 = s.t[static_cast<std::size_t>(k)];
        const double t1 = s.t[static_cast<std::size_t>(k + 1)];
        const StateVector& x0 = s.x[static_cast<std::size_t>(k)];
        const StateVector& x1 = s.x[static_cast<std::size_t>(k + 1)];
        const double rotor0 = s.rotor[static_cast<std::size_t>(k)],
                     rotor1 = s.rotor[static_cast<std::size_t>(k + 1)];
        const double rate0 = s.rotorRate[static_cast<std::size_t>(k)];
        const double rate1 = s.rotorRate[static_cast<std::size_t>(k + 1)];
        // The measured states of the other groups, linear between rows, and
        // the measured rotor speed alike.
        auto derivative = [&](const double* state, double t, const double* forced, double* dx) {
            const double alpha = (t - t0) / (t1 - t0);
            if (heaveRow >= 0) {
                dx[heaveRow] = heaveOfRotor * (rotor0 + alpha * (rotor1 - rotor0));
            }
            if (yawRow >= 0) {
                dx[yawRow] = yawOfRotor * (rotor0 + alpha * (rotor1 - rotor0))
                             + yawOfRotorRate * (rate0 + alpha * (rate1 - rate0));
            }
            for (int i = 0; i < N; ++i) {
                double sum = forced[i];
                for (int l = 0; l < N; ++l) {
                    sum += A[i][l] * state[l];
                }
                dx[i] = i == heaveRow || i == yawRow ? dx[i] + sum : sum;
            }
            for (int c = 0; c < crossCount; ++c) {
                const std::size_t st = static_cast<std::size_t>(cross[c].state);
                dx[cross[c].row] += cross[c].coefficient * (x0[st] + alpha * (x1[st] - x0[st]));
            }
        };
        double s0 = t0;
        while (true) {
            const double switchAt = j + 1 < rows ? s.t[static_cast<std::size_t>(j + 1)] + delay
                                                 : std::numeric_limits<double>::infinity();
            const double end = std::min(t1, switchAt);
            if (end > s0) {
                double forced[kN] = {};
                const InputVector& input = s.d[static_cast<std::size_t>(j)];
                for (int i = 0; i < N; ++i) {
                    // The wind's components act through the speed terms
                    // (the speed through the air); the rates' disturbances
                    // add to their equations.
                    forced[i] = bias[i] + (isSpeed(states[i]) ? 0.0 : disturbance[i]);
                    for (int l = 0; l < N; ++l) {
                        if (isSpeed(states[l]) && (states[i] < kDynamicCount || isLag(states[i]))) {
                            forced[i] -= m.A[states[i]][states[l]] * disturbance[l];
                        }
                    }
                    for (int c = 0; c < analysis::kInputCount; ++c) {
                        forced[i] += m.B[states[i]][c] * input[static_cast<std::size_t>(c)];
                    }
                }
                const int steps = std::max(1, static_cast<int>(std::ceil((end - s0) / stepS)));
                const double h = (end - s0) / steps;
                for (int step = 0; step < steps; ++step) {
                    const double ts = s0 + step * h;
                    double k1[kN], k2[kN], k3[kN], k4[kN], tmp[kN];
                    derivative(x, ts, forced, k1);
                    for (int i = 0; i < N; ++i) {
                        tmp[i] = x[i] + 0.5 * h * k1[i];
                    }
                    derivative(tmp, ts + 0.5 * h, forced, k2);
                    for (int i = 0; i < N; ++i) {
                        tmp[i] = x[i] + 0.5 * h * k2[i];
                    }
                    derivative(tmp, ts + 0.5 * h, forced, k3);
                    for (int i = 0; i < N; ++i) {
                        tmp[i] = x[i] + h * k3[i];
                    }
                    derivative(tmp, ts + h, forced, k4);
                    for (int i = 0; i < N; ++i) {
                        x[i] += h / 6.0 * (k1[i] + 2.0 * k2[i] + 2.0 * k3[i] + k4[i]);
                    }
                }
                s0 = end;
            }
            if (switchAt <= t1) {
                ++j;
            }
            if (switchAt >= t1) {
                break;
            }
        }
        for (int i = 0; i < N; ++i) {
            out[static_cast<std::size_t>(k + 1 - a)][static_cast<std::size_t>(states[i])] = x[i];
        }
        if (!filtered) {
            continue;
        }
        for (int i = 0; i < N; ++i) {
            if (states[i] < kDynamicCount) {
                const double rate = theta[static_cast<std::size_t>(kFirstDecay + states[i])];
                disturbance[i] *= std::exp(-std::max(rate, 0.0) * (t1 - t0));
            }
        }
        double innovation[kGainCount] = {};
        for (int c = 0; c < kGainCount; ++c) {
            const int o = local(kCorrections[c].output);
            if (o >= 0) {
                innovation[c] =
                    s.x[static_cast<std::size_t>(k + 1)][static_cast<std::size_t>(kCorrections[c].output)]
                    - x[o];
            }
        }
        for (int c = 0; c < kGainCount; ++c) {
            if (local(kCorrections[c].output) < 0) {
                continue;
            }
            const double gain = theta[static_cast<std::size_t>(kFirstGain + c)];
            const int target = kCorrections[c].target;
            if (target >= kBiasTarget) {
                disturbance[local(target - kBiasTarget)] += gain * innovation[c];
            } else {
                x[local(target)] += gain * innovation[c];
            }
        }
    }
}

void simulateGroup(int group, const Matrices& m, const std::vector<double>& theta, const Prepared& s,
                   const Window& w, double stepS, bool filtered, std::vector<SimVector>& out) {
    int n = 0;
    for (int i = 0; i < kSimCount; ++i) {
        n += kGroupOf[i] == group ? 1 : 0;
    }
    switch (n) {
    case 3:
        simulateGroupOf<3>(group, m, theta, s, w, stepS, filtered, out);
        break;
    case 9:
        simulateGroupOf<9>(group, m, theta, s, w, stepS, filtered, out);
        break;
    default:
        simulateGroupOf<kSimCount>(group, m, theta, s, w, stepS, filtered, out);
        break;
    }
}

void simulateWindow(const std::vector<double>& theta, const Prepared& s, const Window& w, double stepS,
                    std::vector<SimVector>& out, const bool* groups = nullptr, bool filtered = true) {
    out.resize(static_cast<std::size_t>(w.b - w.a + 1));
    const Matrices m = modelMatrices(theta);
    for (int g = 0; g < kGroupCount; ++g) {
        if (groups == nullptr || groups[g]) {
            simulateGroup(g, m, theta, s, w, stepS, filtered, out);
        }
    }
}

// Residuals of a window, row after row, output after output (the start row
// is not compared: it is the measurement).
void windowResiduals(const Prepared& s, const Window& w, const std::vector<SimVector>& sim,
                     std::vector<double>& r) {
    r.resize(static_cast<std::size_t>((w.b - w.a) * kMeasuredCount));
    for (int k = w.a + 1; k <= w.b; ++k) {
        for (int o = 0; o < kMeasuredCount; ++o) {
            const std::size_t st = static_cast<std::size_t>(kStateOfOutput[o]);
            r[static_cast<std::size_t>((k - w.a - 1) * kMeasuredCount + o)] =
                s.x[static_cast<std::size_t>(k)][st] - sim[static_cast<std::size_t>(k - w.a)][st];
        }
    }
}

struct OutputErrorProblem {
    const std::vector<Prepared>& stretches;
    const std::vector<Window>& windows;
    const IdentOptions& options;
    int parameters;

    // Sum of squared residuals per output and their count.
    void sumsOfSquares(const std::vector<double>& theta, std::array<double, kMeasuredCount>& sums, int& count,
                       bool filtered = true) const {
        sums.fill(0.0);
        count = 0;
        std::vector<SimVector> sim;
        std::vector<double> r;
        for (const Window& w : windows) {
            const Prepared& s = stretches[static_cast<std::size_t>(w.prepared)];
            simulateWindow(theta, s, w, options.stepS, sim, nullptr, filtered);
            windowResiduals(s, w, sim, r);
            for (std::size_t i = 0; i < r.size(); ++i) {
                sums[i % kMeasuredCount] += r[i] * r[i];
            }
            count += w.b - w.a;
        }
    }

    double cost(const std::vector<double>& theta, const std::array<double, kMeasuredCount>& weights) const {
        std::array<double, kMeasuredCount> sums{};
        int count = 0;
        sumsOfSquares(theta, sums, count);
        double total = 0.0;
        for (int o = 0; o < kMeasuredCount; ++o) {
            total += weights[static_cast<std::size_t>(o)] * sums[static_cast<std::size_t>(o)];
        }
        return std::isfinite(total) ? total : std::numeric_limits<double>::infinity();
    }

    double perturbation(int i, double value) const {
        double scale = 1e-2;
        if ((i < kTermCount && kTerms[i].inB) || i == kHeaveInstantIndex) {
            scale = 1e-5;
        }
        return 1e-5 * std::max(std::fabs(value), scale);
    }

    // The weighted normal equations J'WJ and J'Wr by forward differences,
    // a window at a time (memory bounded by the longest window). With
    // autocovariances given, also the middle of the coloured-residual
    // sandwich.
    void normalEquations(const std::vector<double>& theta, const std::array<double, kMeasuredCount>& weights,
                         Eigen::MatrixXd& M, Eigen::VectorXd& g, Eigen::MatrixXd* middle,
                         const std::vector<std::array<double, kMeasuredCount>>* autocovariance,
                         const std::vector<char>* held = nullptr) const {
        const int P = parameters;
        M.setZero(P, P);
        g.setZero(P);
        if (middle != nullptr) {
            middle->setZero(P, P);
        }
        std::vector<SimVector> base, perturbed;
        std::vector<double> r;
        std::vector<double> shifted = theta;
        const std::size_t firstInitialRate = biasIndex(static_cast<int>(stretches.size()), 0);
        for (const Window& w : windows) {
            const Prepared& s = stretches[static_cast<std::size_t>(w.prepared)];
            simulateWindow(theta, s, w, options.stepS, base);
            windowResiduals(s, w, base, r);
            const int rows = w.b - w.a;
            Eigen::MatrixXd J = Eigen::MatrixXd::Zero(rows * kMeasuredCount, P);
            for (int i = 0; i < P; ++i) {
                if (held != nullptr && (*held)[static_cast<std::size_t>(i)] != 0) {
                    continue;
                }
                bool groups[kGroupCount] = {};
                if (i < kTermCount) {
                    groups[kGroupOf[kTerms[i].row]] = true;
                } else if (i >= kFirstGain && i < kFirstDecay) {
                    groups[kGroupOf[kCorrections[i - kFirstGain].output]] = true;
                } else if (i >= kFirstDecay && i < kFirstBias) {
                    groups[kGroupOf[i - kFirstDecay]] = true;
                } else if (i == kDelayIndex) {
                    std::fill(groups, groups + kGroupCount, true);
                } else if (i >= kFirstLag && i < kFirstRotorSpeed) {
                    groups[kGroupOf[i < kFirstLag + 2 ? kLagRoll : kLagHeave]] = true;
                } else if (i >= kFirstRotorSpeed && i < kFirstGain) {
                    groups[kGroupOf[i == kHeaveOfRotorSpeed ? kW : kR]] = true;
                } else if (static_cast<std::size_t>(i) >= firstInitialRate) {
                    if (static_cast<std::size_t>(i) != w.initialRates
                        && static_cast<std::size_t>(i) != w.initialRates + 1) {
                        continue;
                    }
                    groups[kGroupOf[kP]] = true;
                } else {
                    const int stretch = (i - kFirstBias) / kDynamicCount;
                    if (stretch != s.stretch) {
                        continue;
                    }
                    groups[kGroupOf[(i - kFirstBias) % kDynamicCount]] = true;
                }
                const std::size_t pi = static_cast<std::size_t>(i);
                double step = perturbation(i, theta[pi]);
                if ((i == kDelayIndex && theta[pi] + step > options.maxDelayS)
                    || (i >= kFirstLag && i < kHeaveInstantIndex && theta[pi] + step > kLongestLagS)) {
                    step = -step;
                }
                shifted[pi] = theta[pi] + step;
                perturbed = base;
                simulateWindow(shifted, s, w, options.stepS, perturbed, groups);
                shifted[pi] = theta[pi];
                for (int k = 1; k <= rows; ++k) {
                    for (int o = 0; o < kMeasuredCount; ++o) {
                        const std::size_t st = static_cast<std::size_t>(kStateOfOutput[o]);
                        J((k - 1) * kMeasuredCount + o, i) = (perturbed[static_cast<std::size_t>(k)][st]
                                                              - base[static_cast<std::size_t>(k)][st])
                                                             / step;
                    }
                }
            }
            const Eigen::Map<const Eigen::VectorXd> res(r.data(), static_cast<Eigen::Index>(r.size()));
            Eigen::VectorXd wv(rows * kMeasuredCount);
            for (int k = 0; k < rows * kMeasuredCount; ++k) {
                wv(k) = weights[static_cast<std::size_t>(k % kMeasuredCount)];
            }
            M.noalias() += J.transpose() * wv.asDiagonal() * J;
            g.noalias() += J.transpose() * (wv.asDiagonal() * res);
            if (middle != nullptr && autocovariance != nullptr) {
                const int lags = static_cast<int>(autocovariance->size()) - 1;
                for (int o = 0; o < kMeasuredCount; ++o) {
                    Eigen::MatrixXd Jo(rows, P);
                    for (int k = 0; k < rows; ++k) {
                        Jo.row(k) = J.row(k * kMeasuredCount + o);
                    }
                    const double w2 =
                        weights[static_cast<std::size_t>(o)] * weights[static_cast<std::size_t>(o)];
                    *middle += w2 * (*autocovariance)[0][static_cast<std::size_t>(o)] * Jo.transpose() * Jo;
                    for (int lag = 1; lag <= std::min(lags, rows - 1); ++lag) {
                        // Bartlett's taper keeps the estimate positive semi-definite.
                        const double taper = 1.0 - lag / (lags + 1.0);
                        const Eigen::MatrixXd cross =
                            Jo.topRows(rows - lag).transpose() * Jo.bottomRows(rows - lag);
                        *middle +=
                            w2 * taper
                            * (*autocovariance)[static_cast<std::size_t>(lag)][static_cast<std::size_t>(o)]
                            * (cross + cross.transpose());
                    }
                }
            }
        }
    }

    std::vector<std::array<double, kMeasuredCount>> residualAutocovariance(const std::vector<double>& theta,
                                                                           int lags) const {
        std::vector<std::array<double, kMeasuredCount>> sums(static_cast<std::size_t>(lags + 1));
        std::vector<double> counts(static_cast<std::size_t>(lags + 1), 0.0);
        std::vector<SimVector> sim;
        std::vector<double> r;
        for (const Window& w : windows) {
            const Prepared& s = stretches[static_cast<std::size_t>(w.prepared)];
            simulateWindow(theta, s, w, options.stepS, sim);
            windowResiduals(s, w, sim, r);
            const int rows = w.b - w.a;
            for (int lag = 0; lag <= lags && lag < rows; ++lag) {
                for (int k = 0; k + lag < rows; ++k) {
                    for (int o = 0; o < kMeasuredCount; ++o) {
                        sums[static_cast<std::size_t>(lag)][static_cast<std::size_t>(o)] +=
                            r[static_cast<std::size_t>(k * kMeasuredCount + o)]
                            * r[static_cast<std::size_t>((k + lag) * kMeasuredCount + o)];
                    }
                }
                counts[static_cast<std::size_t>(lag)] += rows - lag;
            }
        }
        for (int lag = 0; lag <= lags; ++lag) {
            for (double& v : sums[static_cast<std::size_t>(lag)]) {
                v = counts[static_cast<std::size_t>(lag)] > 0.0 ? v / counts[static_cast<std::size_t>(lag)]
                                                                : 0.0;
            }
        }
        return sums;
    }
};

std::array<double, kMeasuredCount> weightsFromSums(const std::array<double, kMeasuredCount>& sums,
                                                   int count) {
    std::array<double, kMeasuredCount> w{};
    for (int o = 0; o < kMeasuredCount; ++o) {
        const double variance = sums[static_cast<std::size_t>(o)] / std::max(count, 1);
        w[static_cast<std::size_t>(o)] = 1.0 / std::max(variance, 1e-14);
    }
    return w;
}

// Gaussian smoothing on an even grid, the kernel renormalised where it
// runs off either end.
std::vector<double> smooth(const std::vector<double>& v, const std::vector<double>& kernel) {
    const int half = static_cast<int>(kernel.size() / 2);
    const int n = static_cast<int>(v.size());
    std::vector<double> out(v.size());
    for (int i = 0; i < n; ++i) {
        double sum = 0.0, weight = 0.0;
        for (int k = -half; k <= half; ++k) {
            const int j = i + k;
            if (j >= 0 && j < n) {
                const double c = kernel[static_cast<std::size_t>(k + half)];
                sum += c * v[static_cast<std::size_t>(j)];
                weight += c;
            }
        }
        out[static_cast<std::size_t>(i)] = sum / weight;
    }
    return out;
}

double interpolate(const std::vector<double>& t, const std::vector<double>& v, double at) {
    const auto it = std::upper_bound(t.begin(), t.end(), at);
    if (it == t.begin()) {
        return v.front();
    }
    if (it == t.end()) {
        return v.back();
    }
    const std::size_t k = static_cast<std::size_t>(it - t.begin());
    const double alpha = (at - t[k - 1]) / (t[k] - t[k - 1]);
    return v[k - 1] + alpha * (v[k] - v[k - 1]);
}

// One stretch on the equation-error grid.
struct EvenStretch {
    double t0 = 0.0;
    double dt = 0.0;
    int n = 0;
    int margin = 0;                                  // points at either end left out of the regression
    std::array<std::vector<double>, kStateCount> x;  // smoothed states (p, q differentiated)
    std::array<std::vector<double>, kDynamicCount> xdot;
    std::vector<double> rotor, rotorRate;
};

std::vector<double> gaussianKernel(double sigmaS, double dt) {
    const int half = std::max(1, static_cast<int>(std::ceil(3.0 * sigmaS / dt)));
    std::vector<double> kernel(static_cast<std::size_t>(2 * half + 1));
    for (int k = -half; k <= half; ++k) {
        kernel[static_cast<std::size_t>(k + half)] = std::exp(-0.5 * (k * dt / sigmaS) * (k * dt / sigmaS));
    }
    return kernel;
}

std::vector<double> centralDifference(const std::vector<double>& v, double dt) {
    const std::size_t n = v.size();
    std::vector<double> out(n, 0.0);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        out[i] = (v[i + 1] - v[i - 1]) / (2.0 * dt);
    }
    if (n > 1) {
        out[0] = (v[1] - v[0]) / dt;
        out[n - 1] = (v[n - 1] - v[n - 2]) / dt;
    }
    return out;
}

EvenStretch evenStretch(const Prepared& s, double dt, const std::vector<double>& kernel) {
    EvenStretch e;
    e.t0 = s.t.front();
    e.dt = dt;
    e.n = static_cast<int>(std::floor((s.t.back() - s.t.front()) / dt)) + 1;
    e.margin = static_cast<int>(kernel.size() / 2) + 2;
    std::vector<double> column(s.t.size());
    std::vector<double> fine(static_cast<std::size_t>(e.n));
    for (int st : {kU, kV, kW, kR, kPhi, kTheta, kH}) {
        for (std::size_t k = 0; k < s.t.size(); ++k) {
            column[k] = s.x[k][static_cast<std::size_t>(st)];
        }
        for (int i = 0; i < e.n; ++i) {
            fine[static_cast<std::size_t>(i)] = interpolate(s.t, column, e.t0 + i * dt);
        }
        e.x[static_cast<std::size_t>(st)] = smooth(fine, kernel);
    }
    e.x[kP] = centralDifference(e.x[kPhi], dt);
    e.x[kQ] = centralDifference(e.x[kTheta], dt);
    for (int st = 0; st < kDynamicCount; ++st) {
        e.xdot[static_cast<std::size_t>(st)] = centralDifference(e.x[static_cast<std::size_t>(st)], dt);
    }
    for (int i = 0; i < e.n; ++i) {
        fine[static_cast<std::size_t>(i)] = interpolate(s.t, s.rotor, e.t0 + i * dt);
    }
    e.rotor = smooth(fine, kernel);
    e.rotorRate = centralDifference(e.rotor, dt);
    return e;
}

// The held inputs shifted by the latency, averaged over each grid interval
// (so the average moves continuously with the latency), then smoothed like
// the states.
std::array<std::vector<double>, analysis::kInputCount> evenInputs(const Prepared& s, const EvenStretch& e,
                                                                  double delay,
                                                                  const std::vector<double>& kernel) {
    std::array<std::vector<double>, analysis::kInputCount> out;
    for (auto& v : out) {
        v.assign(static_cast<std::size_t>(e.n), 0.0);
    }
    const int rows = static_cast<int>(s.t.size());
    for (int i = 0; i < e.n; ++i) {
        const double from = e.t0 + (i - 0.5) * e.dt;
        const double to = from + e.dt;
        // Rows whose update is felt within [from, to).
        const auto it = std::upper_bound(s.t.begin(), s.t.end(), from - delay);
        int j = std::max(0, static_cast<int>(it - s.t.begin()) - 1);
        double at = from;
        while (at < to) {
            const double next =
                j + 1 < rows ? std::min(to, s.t[static_cast<std::size_t>(j + 1)] + delay) : to;
            const double fraction = (std::max(next, at) - at) / e.dt;
            for (int c = 0; c < analysis::kInputCount; ++c) {
                out[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] +=
                    fraction * s.d[static_cast<std::size_t>(j)][static_cast<std::size_t>(c)];
            }
            at = std::max(next, at);
            if (next >= to) {
                break;
            }
            ++j;
        }
    }
    for (auto& v : out) {
        v = smooth(v, kernel);
    }
    return out;
}

struct EquationErrorFit {
    std::vector<double> theta;  // terms, delay, lags, biases
    double cost = std::numeric_limits<double>::infinity();
    std::array<double, kDynamicCount> equationCost{};
    int points = 0;  // rows of each equation's least squares
};

// The rotor's lag as the equation error takes it: a regressor through
// 1 / (1 + tau s) on the even grid, starting settled.
std::vector<double> lagged(const std::vector<double>& v, double tau, double dt) {
    std::vector<double> out(v.size());
    const double keep = std::exp(-dt / tau);
    double y = v.empty() ? 0.0 : v.front();
    for (std::size_t i = 0; i < v.size(); ++i) {
        y = keep * y + (1.0 - keep) * v[i];
        out[i] = y;
    }
    return out;
}

// The rotor equations in the lags' order (roll, pitch, heave).
constexpr std::size_t kLagEquation[3] = {kP, kQ, kW};

int lagOfEquation(int eq) {
    for (int l = 0; l < 3; ++l) {
        if (kLagEquation[l] == static_cast<std::size_t>(eq)) {
            return l;
        }
    }
    return -1;
}

// Least squares of every state equation at one latency. The cost is the sum
// over the equations of n log(RSS): the likelihood with each equation's
// own unknown variance.
// Each rotor equation (roll, pitch, heave) with its regressors through the
// lag in `lags` (0: quasi-steady), the heave with the collective also
// straight, for its instant share.
EquationErrorFit equationError(const std::vector<Prepared>& stretches, const std::vector<EvenStretch>& even,
                               double delay, const std::vector<double>& kernel, int stride,
                               const std::array<double, 3>& lags, double dt) {
    EquationErrorFit fit;
    const int S = static_cast<int>(stretches.size());
    fit.theta.assign(static_cast<std::size_t>(kFirstBias + kDynamicCount * S), 0.0);
    fit.theta[kDelayIndex] = delay;
    for (int l = 0; l < 3; ++l) {
        fit.theta[static_cast<std::size_t>(kFirstLag + l)] = lags[static_cast<std::size_t>(l)];
    }
    std::vector<std::array<std::vector<double>, analysis::kInputCount>> inputs;
    inputs.reserve(stretches.size());
    int points = 0;
    for (std::size_t s = 0; s < stretches.size(); ++s) {
        inputs.push_back(evenInputs(stretches[s], even[s], delay, kernel));
        const int used = even[s].n - 2 * even[s].margin;
        points += used > 0 ? (used + stride - 1) / stride : 0;
    }
    fit.cost = 0.0;
    fit.points = points;
    for (int eq = 0; eq < kDynamicCount; ++eq) {
        std::vector<int> terms;
        for (int i = 0; i < kTermCount; ++i) {
            if (kTerms[i].row == eq) {
                terms.push_back(i);
            }
        }
        const int lagIndex = lagOfEquation(eq);
        const double tau = lagIndex >= 0 ? lags[static_cast<std::size_t>(lagIndex)] : 0.0;
        const bool instant = tau > 0.0 && eq == kW;
        // The rotor speed's columns: the heave's, and the yaw's two.
        const int rotorColumns = eq == kW ? 1 : eq == kR ? 2 : 0;
        const int firstRotorColumn = static_cast<int>(terms.size()) + S + (instant ? 1 : 0);
        const int columns = firstRotorColumn + rotorColumns;
        Eigen::MatrixXd X = Eigen::MatrixXd::Zero(points, columns);
        Eigen::VectorXd y(points);
        int row = 0;
        for (int s = 0; s < S; ++s) {
            const EvenStretch& e = even[static_cast<std::size_t>(s)];
            // The regressors of the rotor's part through its lag.
            std::vector<std::vector<double>> through(terms.size());
            for (std::size_t c = 0; c < terms.size() && tau > 0.0; ++c) {
                const TermInfo& info = kTerms[terms[c]];
                if (!info.inB && (info.column == kU || info.column == kV)) {
                    continue;
                }
                through[c] = lagged(
                    info.inB ? inputs[static_cast<std::size_t>(s)][static_cast<std::size_t>(info.column)]
                             : e.x[static_cast<std::size_t>(info.column)],
                    tau, dt);
            }
            for (int i = e.margin; i < e.n - e.margin; i += stride) {
                const std::size_t ui = static_cast<std::size_t>(i);
                double lhs = e.xdot[static_cast<std::size_t>(eq)][ui];
                if (eq == kU) {
                    lhs += kGravity * e.x[kTheta][ui];
                } else if (eq == kV) {
                    lhs -= kGravity * e.x[kPhi][ui];
                }
                y(row) = lhs;
                for (std::size_t c = 0; c < terms.size(); ++c) {
                    const TermInfo& info = kTerms[terms[c]];
                    X(row, static_cast<Eigen::Index>(c)) =
                        !through[c].empty() ? through[c][ui]
                        : info.inB
                            ? inputs[static_cast<std::size_t>(s)][static_cast<std::size_t>(info.column)][ui]
                            : e.x[static_cast<std::size_t>(info.column)][ui];
                }
                X(row, static_cast<Eigen::Index>(terms.size()) + s) = 1.0;
                if (instant) {
                    X(row, firstRotorColumn - 1) =
                        inputs[static_cast<std::size_t>(s)][analysis::kThrottle][ui];
                }
                if (rotorColumns > 0) {
                    X(row, firstRotorColumn) = e.rotor[ui];
                }
                if (rotorColumns > 1) {
                    X(row, firstRotorColumn + 1) = e.rotorRate[ui];
                }
                ++row;
            }
        }
        const Eigen::VectorXd beta = X.colPivHouseholderQr().solve(y);
        const double rss = (y - X * beta).squaredNorm();
        fit.equationCost[static_cast<std::size_t>(eq)] = points * std::log(std::max(rss, 1e-300));
        fit.cost += fit.equationCost[static_cast<std::size_t>(eq)];
        for (std::size_t c = 0; c < terms.size(); ++c) {
            fit.theta[static_cast<std::size_t>(terms[c])] = beta(static_cast<Eigen::Index>(c));
        }
        if (instant) {
            // Zc is the settled total: the lagged share and the instant one.
            fit.theta[kHeaveInstantIndex] = beta(firstRotorColumn - 1);
            fit.theta[kZc] += beta(firstRotorColumn - 1);
        }
        if (eq == kW) {
            fit.theta[kHeaveOfRotorSpeed] = beta(firstRotorColumn);
        } else if (eq == kR) {
            fit.theta[kYawOfRotorSpeed] = beta(firstRotorColumn);
            fit.theta[kYawOfRotorAcceleration] = beta(firstRotorColumn + 1);
        }
        for (int s = 0; s < S; ++s) {
            fit.theta[biasIndex(s, eq)] = beta(static_cast<Eigen::Index>(terms.size()) + s);
        }
    }
    return fit;
}

// Welch coherence of the axis's control with its on-axis response, over
// the segments that hold some of the axis's designed inputs.
void axisCoherence(const std::vector<Prepared>& stretches, int axis, AxisExcitation& out) {
    const int onAxis = axis == analysis::kElevator  ? kQ
                       : axis == analysis::kAileron ? kP
                       : axis == analysis::kRudder  ? kR
                                                    : kW;
    const double dt = 1.0 / kSpectrumRate;
    const int firstBin = static_cast<int>(std::ceil(kBandEdges[0] * kSegment * dt));
    const int lastBin = static_cast<int>(std::floor(kBandEdges[kBandCount] * kSegment * dt));
    const int bins = lastBin - firstBin + 1;
    std::vector<double> gxx(static_cast<std::size_t>(bins), 0.0), gyy(gxx), re(gxx), im(gxx);
    std::vector<double> hann(kSegment);
    for (int k = 0; k < kSegment; ++k) {
        hann[static_cast<std::size_t>(k)] = 0.5 - 0.5 * std::cos(2.0 * kPi * k / kSegment);
    }
    int segments = 0;
    for (const Prepared& s : stretches) {
        const int n = static_cast<int>(std::floor((s.t.back() - s.t.front()) / dt)) + 1;
        std::vector<double> in(static_cast<std::size_t>(n)), resp(in);
        std::vector<char> excited(static_cast<std::size_t>(n), 0);
        std::vector<double> column(s.t.size());
        for (std::size_t k = 0; k < s.t.size(); ++k) {
            column[k] = s.x[k][static_cast<std::size_t>(onAxis)];
        }
        for (int i = 0; i < n; ++i) {
            const double at = s.t.front() + i * dt;
            const auto it = std::upper_bound(s.t.begin(), s.t.end(), at);
            const std::size_t row =
                static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, it - s.t.begin() - 1));
            in[static_cast<std::size_t>(i)] = s.d[row][static_cast<std::size_t>(axis)];
            excited[static_cast<std::size_t>(i)] = s.excitedAxis[row] == axis ? 1 : 0;
            resp[static_cast<std::size_t>(i)] = interpolate(s.t, column, at);
        }
        for (int start = 0; start + kSegment <= n; start += kSegment / 2) {
            if (std::find(excited.begin() + start, excited.begin() + start + kSegment, 1)
                == excited.begin() + start + kSegment) {
                continue;
            }
            double meanIn = 0.0, meanOut = 0.0;
            for (int k = 0; k < kSegment; ++k) {
                meanIn += in[static_cast<std::size_t>(start + k)] / kSegment;
                meanOut += resp[static_cast<std::size_t>(start + k)] / kSegment;
            }
            for (int b = 0; b < bins; ++b) {
                std::complex<double> X = 0.0, Y = 0.0;
                const double omega = 2.0 * kPi * (firstBin + b) / kSegment;
                for (int k = 0; k < kSegment; ++k) {
                    const std::complex<double> e = std::polar(1.0, -omega * k);
                    const double w = hann[static_cast<std::size_t>(k)];
                    X += w * (in[static_cast<std::size_t>(start + k)] - meanIn) * e;
                    Y += w * (resp[static_cast<std::size_t>(start + k)] - meanOut) * e;
                }
                const std::complex<double> xy = std::conj(X) * Y;
                gxx[static_cast<std::size_t>(b)] += std::norm(X);
                gyy[static_cast<std::size_t>(b)] += std::norm(Y);
                re[static_cast<std::size_t>(b)] += xy.real();
                im[static_cast<std::size_t>(b)] += xy.imag();
            }
            ++segments;
        }
    }
    out.segments = segments;
    if (segments < kMinSegments) {
        return;
    }
    double weighted = 0.0, weight = 0.0;
    std::array<double, kBandCount> bandSum{}, bandWeight{};
    for (int b = 0; b < bins; ++b) {
        const std::size_t ub = static_cast<std::size_t>(b);
        const double denominator = gxx[ub] * gyy[ub];
        const double coherence = denominator > 0.0 ? (re[ub] * re[ub] + im[ub] * im[ub]) / denominator : 0.0;
        weighted += gxx[ub] * coherence;
        weight += gxx[ub];
        const double f = (firstBin + b) / (kSegment * dt);
        for (int band = 0; band < kBandCount; ++band) {
            if (f >= kBandEdges[band] && f < kBandEdges[band + 1] + 1e-9) {
                bandSum[static_cast<std::size_t>(band)] += gxx[ub] * coherence;
                bandWeight[static_cast<std::size_t>(band)] += gxx[ub];
            }
        }
    }
    out.coherence = weight > 0.0 ? weighted / weight : 0.0;
    for (int band = 0; band < kBandCount; ++band) {
        const std::size_t ub = static_cast<std::size_t>(band);
        out.bandCoherence[ub] = bandWeight[ub] > 0.0 ? bandSum[ub] / bandWeight[ub] : 0.0;
    }
}

std::string fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

// The predictor's gains within the range where it stays a filter: the
// state pulled at most all the way to the measurement each row, the
// disturbances moved by at most a measured error's worth (per row), the
// disturbances fading within a fifth of a second at the fastest. Beyond
// that it only differentiates the measurement, and the terms lose the
// sense of the model.
void keepPredictorInBounds(std::vector<double>& theta) {
    for (int c = 0; c < kGainCount; ++c) {
        const Correction& k = kCorrections[c];
        const double most = k.target >= kBiasTarget ? (isSpeed(k.target - kBiasTarget) ? 1.0 : 5.0)
                            : k.target == k.output  ? 1.0
                                                    : 10.0;
        double& gain = theta[static_cast<std::size_t>(kFirstGain + c)];
        gain = std::clamp(gain, 0.0, most);
    }
    for (int e = 0; e < kDynamicCount; ++e) {
        double& rate = theta[static_cast<std::size_t>(kFirstDecay + e)];
        rate = std::clamp(rate, 0.0, 5.0);
    }
}

}  // namespace

IdentOutcome identify(const std::vector<FlightLog>& logs, const IdentOptions& options) {
    IdentOutcome outcome;
    Identification id;
    std::vector<const Stretch*> kept;
    for (const FlightLog& log : logs) {
        id.files.push_back(log.file);
        id.notes.insert(id.notes.end(), log.notes.begin(), log.notes.end());
        for (const Stretch& s : log.stretches) {
            const double length = s.samples.back().t - s.samples.front().t;
            if (length < options.minStretchS || s.samples.size() < 8) {
                id.notes.push_back(s.file + ":" + std::to_string(s.firstLine) + ": a stretch of "
                                   + fixed(length, 2) + " s is too short to fit and is left out");
                continue;
            }
            kept.push_back(&s);
        }
    }
    if (kept.empty()) {
        outcome.refusal = "no stretch of at least " + fixed(options.minStretchS, 1) + " s to identify from";
        return outcome;
    }

    // The hover trim: the mean controls and height where no designed input
    // plays (all rows if there is no such row).
    InputVector trim{};
    double trimHeight = 0.0;
    double trimRotor = 0.0;
    bool rotorSpeedLogged = true;
    for (const FlightLog& log : logs) {
        rotorSpeedLogged = rotorSpeedLogged && log.hasRotorSpeed;
    }
    int calm = 0;
    for (bool calmOnly : {true, false}) {
        for (const Stretch* s : kept) {
            for (const Sample& sample : s->samples) {
                if (calmOnly && sample.input != DesignedInput::kNone) {
                    continue;
                }
                for (int c = 0; c < analysis::kInputCount; ++c) {
                    trim[static_cast<std::size_t>(c)] += sample.controls[static_cast<std::size_t>(c)];
                }
                trimHeight += sample.y[kOutH];
                trimRotor += sample.rotorPercent;
                ++calm;
            }
        }
        if (calm > 0) {
            break;
        }
    }
    for (double& v : trim) {
        v /= calm;
    }
    trimHeight /= calm;
    trimRotor /= calm;

    std::vector<Prepared> prepared;
    for (const Stretch* s : kept) {
        Prepared p;
        p.stretch = static_cast<int>(prepared.size());
        for (const Sample& sample : s->samples) {
            p.t.push_back(sample.t);
            StateVector x{};
            for (int o = 0; o < kMeasuredCount; ++o) {
                x[static_cast<std::size_t>(kStateOfOutput[o])] = sample.y[static_cast<std::size_t>(o)];
            }
            p.x.push_back(x);
            InputVector d{};
            for (int c = 0; c < analysis::kInputCount; ++c) {
                d[static_cast<std::size_t>(c)] =
                    sample.controls[static_cast<std::size_t>(c)] - trim[static_cast<std::size_t>(c)];
            }
            p.d.push_back(d);
            p.excitedAxis.push_back(sample.excitedAxis);
            p.rotor.push_back(rotorSpeedLogged ? sample.rotorPercent - trimRotor : 0.0);
        }
        prepared.push_back(std::move(p));
        id.rows += static_cast<int>(s->samples.size());
        id.durationS += s->samples.back().t - s->samples.front().t;
    }
    id.stretches = static_cast<int>(prepared.size());

    // The rates p and q from the smoothed bank and pitch, back at the rows.
    const double evenDt = 1.0 / 90.0;
    const std::vector<double> kernel = gaussianKernel(options.smoothingS, evenDt);
    std::vector<EvenStretch> even;
    for (Prepared& p : prepared) {
        even.push_back(evenStretch(p, evenDt, kernel));
        const EvenStretch& e = even.back();
        std::vector<double> grid(static_cast<std::size_t>(e.n));
        for (int i = 0; i < e.n; ++i) {
            grid[static_cast<std::size_t>(i)] = e.t0 + i * evenDt;
        }
        p.rotorRate.resize(p.t.size());
        for (std::size_t k = 0; k < p.t.size(); ++k) {
            p.x[k][kP] = interpolate(grid, e.x[kP], p.t[k]);
            p.x[k][kQ] = interpolate(grid, e.x[kQ], p.t[k]);
            p.rotorRate[k] = interpolate(grid, e.rotorRate, p.t[k]);
        }
    }

    // Is every axis excited enough to be identified?
    for (int axis : {analysis::kElevator, analysis::kAileron, analysis::kRudder, analysis::kThrottle}) {
        AxisExcitation& a = id.axes[static_cast<std::size_t>(axis)];
        double energy = 0.0;
        for (const Stretch* s : kept) {
            for (std::size_t k = 0; k + 1 < s->samples.size(); ++k) {
                const Sample& sample = s->samples[k];
                if (sample.excitedAxis == axis) {
                    const double dt = s->samples[k + 1].t - sample.t;
                    a.designedS += dt;
                    energy += sample.excitation * sample.excitation * dt;
                }
            }
        }
        a.excitationRms = a.designedS > 0.0 ? std::sqrt(energy / a.designedS) : 0.0;
        axisCoherence(prepared, axis, a);
    }
    for (int axis : {analysis::kElevator, analysis::kAileron, analysis::kRudder, analysis::kThrottle}) {
        const AxisExcitation& a = id.axes[static_cast<std::size_t>(axis)];
        const std::string name = axisName(axis);
        if (a.designedS < options.minExcitationS) {
            outcome.refusal = "the " + name + " axis is not excited enough: " + fixed(a.designedS, 1)
                              + " s of designed input, at least " + fixed(options.minExcitationS, 1)
                              + " s (one 3-2-1-1 at 0.5 s steps) is needed";
            return outcome;
        }
        if (a.excitationRms < options.minExcitationCounts) {
            outcome.refusal = "the " + name + " axis's excitation is too weak: " + fixed(a.excitationRms, 0)
                              + " counts RMS, at least " + fixed(options.minExcitationCounts, 0) + " needed";
            return outcome;
        }
        if (a.coherence >= 0.0 && a.coherence < options.minCoherence) {
            outcome.refusal =
                "the " + name
                + " axis's on-axis response is too weakly coherent with its input: " + fixed(a.coherence, 2)
                + " (input-weighted mean 0.1-5 Hz), at least " + fixed(options.minCoherence, 2) + " needed";
            return outcome;
        }
    }

    // Equation error, the latency on a grid of half the resampling step.
    const int stride = 3;
    EquationErrorFit best;
    const int delays = static_cast<int>(std::floor(options.maxDelayS / (evenDt / 2.0)));
    for (int k = 0; k <= delays; ++k) {
        EquationErrorFit fit = equationError(prepared, even, k * evenDt / 2.0, kernel, stride, {}, evenDt);
        if (fit.cost < best.cost) {
            best = std::move(fit);
        }
    }
    // Then the rotor's lag of each of its equations on a grid, at that
    // latency (each equation is solved on its own, so each takes its best).
    // A lag must pay for its parameters (the lag, and for the heave the
    // instant share) as the Bayesian information criterion has it: on a
    // flight of an aircraft with no lag it would otherwise fit the noise.
    std::array<double, 3> rotorLags{};
    std::array<double, 3> lagCost{};
    for (int l = 0; l < 3; ++l) {
        const double parameters = l == 2 ? 2.0 : 1.0;
        lagCost[static_cast<std::size_t>(l)] =
            best.equationCost[kLagEquation[l]] - parameters * std::log(std::max(best.points, 2));
    }
    for (double tau = 0.02; tau <= 0.3 + 1e-9; tau += 0.01) {
        const EquationErrorFit fit =
            equationError(prepared, even, best.theta[kDelayIndex], kernel, stride, {tau, tau, tau}, evenDt);
        for (int l = 0; l < 3; ++l) {
            const double c = fit.equationCost[kLagEquation[l]];
            if (c < lagCost[static_cast<std::size_t>(l)]) {
                lagCost[static_cast<std::size_t>(l)] = c;
                rotorLags[static_cast<std::size_t>(l)] = tau;
            }
        }
    }
    const EquationErrorFit quasiSteady = best;
    best = equationError(prepared, even, best.theta[kDelayIndex], kernel, stride, rotorLags, evenDt);
    even.clear();
    id.equationError.name = "equation error";
    for (int i = 0; i < kTermCount; ++i) {
        id.equationError.terms[static_cast<std::size_t>(i)].value = best.theta[static_cast<std::size_t>(i)];
    }
    id.equationError.delayS.value = best.theta[kDelayIndex];
    id.equationError.rotor = rotorLagOf(best.theta);
    id.equationError.rotorSpeed = rotorSpeedOf(best.theta);

    // Output error from there, on windows of each stretch.
    std::vector<Window> windows;
    for (const Prepared& p : prepared) {
        const int rows = static_cast<int>(p.t.size());
        int a = 0;
        while (a < rows - 1) {
            int b = a + 1;
            while (b < rows - 1
                   && p.t[static_cast<std::size_t>(b)] - p.t[static_cast<std::size_t>(a)] < options.windowS) {
                ++b;
            }
            // A short remainder joins the window before it.
            if (p.t.back() - p.t[static_cast<std::size_t>(b)] < options.windowS / 2.0) {
                b = rows - 1;
            }
            windows.push_back(Window{p.stretch, a, b, 0});
            a = b;
        }
    }
    id.windows = static_cast<int>(windows.size());
    std::vector<double> theta = best.theta;
    for (int c = 0; c < kGainCount; ++c) {
        const Correction& k = kCorrections[c];
        theta[static_cast<std::size_t>(kFirstGain + c)] = k.target >= kBiasTarget ? 0.05
                                                          : k.target == k.output  ? 0.2
                                                                                  : 0.5;
    }
    for (int e = 0; e < kDynamicCount; ++e) {
        theta[static_cast<std::size_t>(kFirstDecay + e)] = 0.5;
    }
    for (Window& w : windows) {
        w.initialRates = theta.size();
        const StateVector& start =
            prepared[static_cast<std::size_t>(w.prepared)].x[static_cast<std::size_t>(w.a)];
        theta.push_back(start[kP]);
        theta.push_back(start[kQ]);
    }
    const int P = static_cast<int>(theta.size());
    // A rotor equation whose lag did not help the equation error stays
    // quasi-steady: its lag (and the heave's instant share with it) is
    // held at 0, not fitted.
    std::vector<char> fixedAtZero(static_cast<std::size_t>(P), 0);
    for (int l = 0; l < 3; ++l) {
        fixedAtZero[static_cast<std::size_t>(kFirstLag + l)] =
            rotorLags[static_cast<std::size_t>(l)] > 0.0 ? 0 : 1;
    }
    fixedAtZero[kHeaveInstantIndex] = fixedAtZero[kFirstLag + 2];
    for (int i = kFirstRotorSpeed; i < kFirstGain; ++i) {
        fixedAtZero[static_cast<std::size_t>(i)] = rotorSpeedLogged ? 0 : 1;
        theta[static_cast<std::size_t>(i)] = rotorSpeedLogged ? theta[static_cast<std::size_t>(i)] : 0.0;
    }
    const OutputErrorProblem problem{prepared, windows, options, P};
    const std::vector<double> start = theta;
    std::array<double, kMeasuredCount> sums{};
    int count = 0;
    const auto levenbergMarquardt = [&]() {
        double lambda = 1e-3;
        for (int iteration = 0; iteration < options.maxIterations; ++iteration) {
            problem.sumsOfSquares(theta, sums, count);
            const std::array<double, kMeasuredCount> weights = weightsFromSums(sums, count);
            const double cost0 = problem.cost(theta, weights);
            Eigen::MatrixXd M;
            Eigen::VectorXd g;
            // Predictor gains held at a bound are left out of the sensitivities
            // between every fourth iteration, when all are looked at again.
            std::vector<char> held = fixedAtZero;
            if (iteration % 4 != 0) {
                for (int i = kFirstGain; i < kFirstBias; ++i) {
                    const std::size_t u = static_cast<std::size_t>(i);
                    std::vector<double> nudged = theta;
                    nudged[u] += 1e-9;
                    keepPredictorInBounds(nudged);
                    held[u] = nudged[u] == theta[u] || theta[u] <= 0.0 ? 1 : 0;
                }
            }
            problem.normalEquations(theta, weights, M, g, nullptr, nullptr, &held);
            Eigen::VectorXd scale(P);
            for (int i = 0; i < P; ++i) {
                scale(i) = M(i, i) > 0.0 ? 1.0 / std::sqrt(M(i, i)) : 1.0;
            }
            Eigen::MatrixXd Ms = scale.asDiagonal() * M * scale.asDiagonal();
            Eigen::VectorXd gs = scale.asDiagonal() * g;
            // A predictor gain at a bound that the data would push beyond stays
            // there this iteration (the step is taken in the others).
            for (int i = kFirstGain; i < kFirstBias; ++i) {
                const std::size_t u = static_cast<std::size_t>(i);
                std::vector<double> nudged = theta;
                nudged[u] += 1e-9;
                keepPredictorInBounds(nudged);
                const bool atUpper = nudged[u] == theta[u];
                const bool atLower = theta[u] <= 0.0;
                if ((atUpper && gs(i) > 0.0) || (atLower && gs(i) < 0.0)) {
                    Ms.row(i).setZero();
                    Ms.col(i).setZero();
                    Ms(i, i) = 1.0;
                    gs(i) = 0.0;
                }
            }
            bool improved = false;
            double cost = cost0;
            double largestStep = 0.0;  // in units of each parameter's own scale
            while (lambda < 1e10) {
                Eigen::MatrixXd damped = Ms;
                damped.diagonal().array() += lambda;
                const Eigen::VectorXd scaledStep = damped.ldlt().solve(gs);
                const Eigen::VectorXd step = scale.asDiagonal() * scaledStep;
                largestStep = scaledStep.cwiseAbs().maxCoeff();
                std::vector<double> trial = theta;
                for (int i = 0; i < P; ++i) {
                    trial[static_cast<std::size_t>(i)] += step(i);
                }
                trial[kDelayIndex] = std::clamp(trial[kDelayIndex], 0.0, options.maxDelayS);
                for (int i = kFirstLag; i < kFirstGain; ++i) {
                    const std::size_t u = static_cast<std::size_t>(i);
                    if (fixedAtZero[u] != 0) {
                        trial[u] = 0.0;
                    } else if (i < kHeaveInstantIndex) {
                        trial[u] = std::clamp(trial[u], kShortestLagS, kLongestLagS);
                    }
                }
                keepPredictorInBounds(trial);
                cost = problem.cost(trial, weights);
                if (cost < cost0) {
                    theta = std::move(trial);
                    lambda = std::max(lambda / 3.0, 1e-9);
                    improved = true;
                    break;
                }
                lambda *= 5.0;
            }
            id.iterations = iteration + 1;
            // Done when nothing improves, when the cost no longer falls, or when
            // the step is far below what the data can tell apart.
            // The residuals at the log's own rounding (six decimals of feet,
            // degrees and their rates) are as small as they can get.
            bool atRounding = true;
            for (int o = 0; o < kMeasuredCount; ++o) {
                atRounding = atRounding && sums[static_cast<std::size_t>(o)] < 1e-10 * std::max(count, 1);
            }
            if (!improved || (cost0 - cost) < 1e-7 * cost0 || largestStep < 1e-3 || atRounding) {
                id.converged = true;
                break;
            }
        }
    };
    levenbergMarquardt();
    // A lag the fit took to its shortest is no lag this flight shows: the
    // equation is fitted again quasi-steady.
    bool refit = false;
    for (int l = 0; l < 3; ++l) {
        const std::size_t u = static_cast<std::size_t>(kFirstLag + l);
        // A disc lag at its longest is no disc's either (the heave's is
        // weighed below).
        const bool atLongest = l < 2 && theta[u] >= kLongestLagS * (1.0 - 1e-9);
        if (fixedAtZero[u] == 0 && (theta[u] <= kShortestLagS * (1.0 + 1e-9) || atLongest)) {
            fixedAtZero[u] = 1;
            theta[u] = 0.0;
            if (l == 2) {
                fixedAtZero[kHeaveInstantIndex] = 1;
                theta[kHeaveInstantIndex] = 0.0;
            }
            refit = true;
        }
    }
    if (refit) {
        const int before = id.iterations;
        levenbergMarquardt();
        id.iterations += before;
    }
    // The lagged heave nests the quasi-steady one only as its lag goes to
    // nothing, and on a flight without an inflow lag it would fit a small
    // one to the noise: the heave is fitted quasi-steady too, and the lag
    // kept only where it pays for its two parameters in the likelihood of
    // the heave's outputs (the Bayesian information criterion).
    const std::size_t heaveLag = kFirstLag + 2;
    if (fixedAtZero[heaveLag] == 0) {
        const auto heaveLikelihood = [&]() {
            problem.sumsOfSquares(theta, sums, count);
            double value = 0.0;
            for (int o : {kOutW, kOutH}) {
                value += count
                         * std::log(std::max(sums[static_cast<std::size_t>(o)] / std::max(count, 1), 1e-300));
            }
            return value;
        };
        const double lagged = heaveLikelihood();
        const std::vector<double> laggedTheta = theta;
        const int before = id.iterations;
        fixedAtZero[heaveLag] = 1;
        fixedAtZero[kHeaveInstantIndex] = 1;
        // The heave group from where the first fit started (the groups
        // share no parameter), its terms from the quasi-steady equation error.
        const auto inHeaveGroup = [&](int i) {
            if (i < kTermCount) {
                return kGroupOf[kTerms[i].row] == kGroupOf[kW];
            }
            if (i >= kFirstGain && i < kFirstDecay) {
                return kGroupOf[kCorrections[i - kFirstGain].output] == kGroupOf[kW];
            }
            if (i >= kFirstDecay && i < kFirstBias) {
                return kGroupOf[i - kFirstDecay] == kGroupOf[kW];
            }
            if (i >= kFirstBias && static_cast<std::size_t>(i) < biasIndex(id.stretches, 0)) {
                return kGroupOf[(i - kFirstBias) % kDynamicCount] == kGroupOf[kW];
            }
            return i == kHeaveOfRotorSpeed;
        };
        for (int i = 0; i < P; ++i) {
            if (inHeaveGroup(i)) {
                theta[static_cast<std::size_t>(i)] = start[static_cast<std::size_t>(i)];
            }
        }
        theta[heaveLag] = 0.0;
        theta[kHeaveInstantIndex] = 0.0;
        for (int i : {static_cast<int>(kZw), static_cast<int>(kZc), static_cast<int>(kHeaveOfRotorSpeed)}) {
            theta[static_cast<std::size_t>(i)] = quasiSteady.theta[static_cast<std::size_t>(i)];
        }
        levenbergMarquardt();
        id.iterations += before;
        const double penalty = 2.0 * std::log(std::max(2.0 * count, 2.0));
        // A lag at its longest is not the inflow's: the data asks for
        // something slower (the turbulence the pilot answers), which the
        // rotor is not.
        const bool atLongest = laggedTheta[heaveLag] >= kLongestLagS * (1.0 - 1e-9);
        if (heaveLikelihood() > lagged + penalty && !atLongest) {
            theta = laggedTheta;
            fixedAtZero[heaveLag] = 0;
            fixedAtZero[kHeaveInstantIndex] = 0;
        }
    }

    // Standard errors at the optimum: the Cramer-Rao bound, and the same
    // corrected for residuals correlated in time (the sandwich with the
    // residuals' own autocorrelation, Bartlett's taper over the lag window).
    problem.sumsOfSquares(theta, sums, count);
    const std::array<double, kMeasuredCount> weights = weightsFromSums(sums, count);
    const double rowRate = id.rows / std::max(id.durationS, 1e-9);
    const int lags =
        std::max(1, static_cast<int>(std::lround(std::clamp(options.correlationLagS * rowRate, 1.0, 200.0))));
    const auto autocovariance = problem.residualAutocovariance(theta, lags);
    Eigen::MatrixXd M, middle;
    Eigen::VectorXd g;
    problem.normalEquations(theta, weights, M, g, &middle, &autocovariance);
    // A predictor gain held at a bound is not estimated: it leaves the
    // covariance, and the others are as if it were fixed there.
    std::vector<int> free;
    for (int i = 0; i < P; ++i) {
        const bool predictor = i >= kFirstGain && i < kFirstBias;
        const std::size_t u = static_cast<std::size_t>(i);
        std::vector<double> nudged = theta;
        nudged[u] = theta[u] + 1e-9;
        keepPredictorInBounds(nudged);
        const bool atUpper = nudged[u] == theta[u];
        if ((!predictor || (theta[u] > 0.0 && !atUpper)) && fixedAtZero[u] == 0) {
            free.push_back(i);
        }
    }
    const int F = static_cast<int>(free.size());
    Eigen::MatrixXd Mf(F, F), middleF(F, F);
    for (int a = 0; a < F; ++a) {
        for (int b = 0; b < F; ++b) {
            Mf(a, b) = M(free[static_cast<std::size_t>(a)], free[static_cast<std::size_t>(b)]);
            middleF(a, b) = middle(free[static_cast<std::size_t>(a)], free[static_cast<std::size_t>(b)]);
        }
    }
    const Eigen::MatrixXd inverseF = Mf.completeOrthogonalDecomposition().pseudoInverse();
    const Eigen::MatrixXd correctedF = inverseF * middleF * inverseF;
    Eigen::MatrixXd inverse = Eigen::MatrixXd::Zero(P, P), corrected = Eigen::MatrixXd::Zero(P, P);
    for (int a = 0; a < F; ++a) {
        for (int b = 0; b < F; ++b) {
            inverse(free[static_cast<std::size_t>(a)], free[static_cast<std::size_t>(b)]) = inverseF(a, b);
            corrected(free[static_cast<std::size_t>(a)], free[static_cast<std::size_t>(b)]) =
                correctedF(a, b);
        }
    }

    id.model.name = "identified from";
    for (const std::string& f : id.files) {
        id.model.name +=
            " " + f.substr(f.find_last_of('/') == std::string::npos ? 0 : f.find_last_of('/') + 1);
    }
    for (int i = 0; i < kTermCount; ++i) {
        id.model.terms[static_cast<std::size_t>(i)].value = theta[static_cast<std::size_t>(i)];
        id.model.terms[static_cast<std::size_t>(i)].standardError = std::sqrt(std::max(corrected(i, i), 0.0));
        id.cramerRao[static_cast<std::size_t>(i)] = std::sqrt(std::max(inverse(i, i), 0.0));
    }
    id.model.delayS.value = theta[kDelayIndex];
    id.model.rotor = rotorLagOf(theta);
    id.model.rotorSpeed = rotorSpeedOf(theta);
    {
        Estimate* lag[kLagCount] = {&id.model.rotor.rollS, &id.model.rotor.pitchS, &id.model.rotor.heaveS,
                                    &id.model.rotor.heaveInstant};
        for (int l = 0; l < kLagCount; ++l) {
            const int i = kFirstLag + l;
            lag[l]->standardError = std::sqrt(std::max(corrected(i, i), 0.0));
            id.lagCramerRao[static_cast<std::size_t>(l)] = std::sqrt(std::max(inverse(i, i), 0.0));
        }
        Estimate* speed[kRotorSpeedCount] = {&id.model.rotorSpeed.heave, &id.model.rotorSpeed.yaw,
                                             &id.model.rotorSpeed.yawOfAcceleration};
        for (int l = 0; l < kRotorSpeedCount; ++l) {
            const int i = kFirstRotorSpeed + l;
            speed[l]->standardError = std::sqrt(std::max(corrected(i, i), 0.0));
            id.rotorSpeedCramerRao[static_cast<std::size_t>(l)] = std::sqrt(std::max(inverse(i, i), 0.0));
        }
    }
    id.model.delayS.standardError = std::sqrt(std::max(corrected(kDelayIndex, kDelayIndex), 0.0));
    id.delayCramerRao = std::sqrt(std::max(inverse(kDelayIndex, kDelayIndex), 0.0));
    id.model.trimThrottle = trim[analysis::kThrottle];
    id.model.trimElevator = trim[analysis::kElevator];
    id.model.trimAileron = trim[analysis::kAileron];
    id.model.trimRudder = trim[analysis::kRudder];
    id.model.heightFt = trimHeight * units::kFeetPerMetre;
    id.model.rotorDiameterFt = options.rotorDiameterFt;
    for (int o = 0; o < kMeasuredCount; ++o) {
        id.residualRms[static_cast<std::size_t>(o)] =
            std::sqrt(sums[static_cast<std::size_t>(o)] / std::max(count, 1));
    }
    problem.sumsOfSquares(theta, sums, count, false);
    for (int o = 0; o < kMeasuredCount; ++o) {
        id.simulationRms[static_cast<std::size_t>(o)] =
            std::sqrt(sums[static_cast<std::size_t>(o)] / std::max(count, 1));
    }
    outcome.result = std::move(id);
    return outcome;
}

}  // namespace ident
