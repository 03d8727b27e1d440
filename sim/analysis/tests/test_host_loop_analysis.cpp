// SPDX-License-Identifier: MIT
//
// The hold on the host's loop: the panel updates on visual frames, the time
// step of each call, the command latency. The exact (lifted) verdict against
// the evenly spaced model where they are the same loop, against a loop
// flown update by update by hand, and against a critical latency found in
// closed form.
#include <gtest/gtest.h>

#include <Eigen/Eigenvalues>
#include <cmath>
#include <vector>

#include "control/law_constants.h"
#include "sim/analysis/hold_analysis.h"
#include "sim/analysis/tests/source_aircraft.h"

namespace {

using analysistest::bo105;
using Complex = std::complex<double>;

// Poles of the same matrix found by two routes agree to rounding; a
// defective pole at 0 (a chain of pending commands) only to its root.
constexpr double kSamePole = 1e-6;
// Margins of one loop read on two realisations of it (the loop broken
// before or after its delay): the frequency solves round differently.
constexpr double kSameDb = 1e-4;
constexpr double kSameDeg = 1e-4;
// The lifted map against a loop flown by hand in double: rounding only.
constexpr double kSameState = 1e-10;

// Every pole of `expected` has one of `actual` this close, and the two
// have as many.
void expectSamePoles(const std::vector<Complex>& actual, const std::vector<Complex>& expected,
                     const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (const Complex& e : expected) {
        double nearest = 1e9;
        for (const Complex& p : actual) {
            nearest = std::min(nearest, std::abs(p - e));
        }
        EXPECT_LT(nearest, kSamePole) << what << ": pole " << e;
    }
}

std::vector<Complex> eigenvalues(const Eigen::MatrixXd& m) {
    const Eigen::VectorXcd v = Eigen::EigenSolver<Eigen::MatrixXd>(m, false).eigenvalues();
    return {v.data(), v.data() + v.size()};
}

// A gain set the Bo-105 class holds stably at one panel frame of delay:
// every Kpr softened until the closed loop is stable.
analysis::Gains stableAtOneFrame(const analysis::LinearPlant& plant) {
    analysis::Gains gains = analysis::defaultGains();
    for (int tries = 0; tries < 12 && !analysis::analyseHold(plant, gains, 18.0, 1).closedLoopStable; ++tries) {
        for (int loop = 0; loop < analysis::kLoopCount; ++loop) {
            gains[static_cast<std::size_t>(3 * loop)] *= 0.7;
        }
    }
    return gains;
}

// Four decoupled integrators, one per loop: each loop's measured quantity
// is the integral of its own control (per count and second), and the
// height hold sees nothing.
analysis::LinearPlant integrators() {
    analysis::LinearPlant p;
    p.A = Eigen::MatrixXd::Zero(4, 4);
    p.B = Eigen::MatrixXd::Identity(4, 4);
    p.C = Eigen::MatrixXd::Zero(analysis::kOutputCount, 4);
    p.C.topRows(4).setIdentity();
    p.stateNames = {"up", "forward", "right", "turn"};
    p.trimmed = true;
    return p;
}

analysis::Gains sameLawOnEveryLoop(double kpr, double tv, double tn) {
    analysis::Gains g{};
    for (std::size_t loop = 0; loop < 4; ++loop) {
        g[3 * loop + analysis::kKpr] = kpr;
        g[3 * loop + analysis::kTv] = tv;
        g[3 * loop + analysis::kTn] = tn;
    }
    return g;
}

}  // namespace

TEST(HostLoopAnalysis, EvenlySpacedHostLoopGivesTheWholeFrameDelayModelsPoles) {
    // HostLoop{P, P, N / P} (a latency of N whole updates) and
    // HostLoop{P, P, -, N} (N updates of delay) are the loop the whole-frame
    // model describes: the same poles as its own matrix, the same margins as
    // the old overload now gives.
    const analysis::LinearPlant plant = analysis::linearisePlant(bo105());
    ASSERT_TRUE(plant.trimmed);
    const analysis::Gains gains = stableAtOneFrame(plant);
    const int rate = 18;
    for (int delay : {0, 1, 2}) {
        const analysis::SampledHold old = analysis::sampleHold(plant, gains, rate, delay);
        const std::vector<Complex> expected = eigenvalues(old.A + old.B * old.C);
        const analysis::HoldAnalysis wrapper = analysis::analyseHold(plant, gains, double(rate), delay);
        const analysis::HoldAnalysis byLatency =
            analysis::analyseHold(plant, gains, host::HostLoop{rate, rate, delay / double(rate), 0});
        const analysis::HoldAnalysis byUpdates =
            analysis::analyseHold(plant, gains, host::HostLoop{rate, rate, 0.0, delay});
        const std::string at = "delay " + std::to_string(delay);
        expectSamePoles(wrapper.poles, expected, at + ", old overload");
        expectSamePoles(byLatency.poles, expected, at + ", as a latency");
        expectSamePoles(byUpdates.poles, expected, at + ", as whole updates");
        EXPECT_EQ(byLatency.closedLoopStable, wrapper.closedLoopStable) << at;
        EXPECT_NEAR(byLatency.poleRateHz, rate, 1e-9) << at;
        // The margins, read on the model where the loop is broken after the
        // delay, are the same when it is broken before it.
        for (int loop = 0; loop < analysis::kLoopCount; ++loop) {
            Eigen::MatrixXd open = old.A + old.B * old.C - old.B.col(loop) * old.C.row(loop);
            const analysis::LoopMargins m =
                analysis::sampledLoopMargins(open, old.B.col(loop), -old.C.row(loop), 0.0, 1.0 / rate);
            const analysis::LoopMargins& n = byLatency.loops[static_cast<std::size_t>(loop)];
            EXPECT_NEAR(n.gainMarginDb, m.gainMarginDb, kSameDb) << at << " loop " << loop;
            EXPECT_NEAR(n.phaseMarginDeg, m.phaseMarginDeg, kSameDeg) << at << " loop " << loop;
        }
    }
}

TEST(HostLoopAnalysis, LiftedLoopWithVisualFramesAMultipleOfThePanelsIsTheTimeInvariantOne) {
    // At 18 or 36 visual frames a second every update is 1/18 s after the
    // last, so one update is the whole pattern and its transition is the
    // margins' model closed, a fraction of a period of latency included.
    const analysis::LinearPlant plant = analysis::linearisePlant(bo105());
    const analysis::Gains gains = stableAtOneFrame(plant);
    for (int visual : {18, 36}) {
        for (double latency : {0.0, 0.4 / 18.0, 1.0 / 36.0, 1.3 / 18.0}) {
            const host::HostLoop loop{18, visual, latency, 0};
            const analysis::LiftedHold lifted = analysis::liftHold(plant, gains, loop);
            const analysis::SampledHold even = analysis::sampleHoldAtMeanPeriod(plant, gains, loop);
            ASSERT_EQ(lifted.steps.size(), 1u);
            EXPECT_NEAR(lifted.periodS, 1.0 / 18.0, 1e-12);
            expectSamePoles(eigenvalues(lifted.monodromy), eigenvalues(even.A + even.B * even.C),
                            "visual " + std::to_string(visual) + " latency " + std::to_string(latency));
        }
    }
}

TEST(HostLoopAnalysis, IntegratorUnderTheFilteredLawLosesStabilityAtTheLatencyFoundByHand) {
    // Plant x' = u, law u_k = K E_k with E_k = a E_{k-1} + b x_k (Tv and Tn
    // 0), updates every T, each command felt lambda T late (0 <= lambda < 1):
    // x_{k+1} = x_k + T (lambda u_{k-1} + (1 - lambda) u_k). With Q = -K T b
    // the characteristic polynomial is
    //   z^2 + (Q (1 - lambda) - (1 + a)) z + (a + Q lambda),
    // whose complex pair has |z| = sqrt(a + Q lambda): it reaches the unit
    // circle at lambda* = (1 - a) / Q, while the real-root conditions
    // (Q > 0, Q (1 - 2 lambda) < 2 (1 + a)) still hold. Q = 1.5 gives
    // lambda* = 0.3.
    const double a = kErrorSmoothing, b = kNewErrorWeight;
    const int rate = 18;
    const double T = 1.0 / rate, Q = 1.5;
    const analysis::Gains gains = sameLawOnEveryLoop(-Q / (T * b), 0.0, 0.0);
    const double critical = (1.0 - a) / Q;
    for (double lambda : {0.0, 0.1, 0.2, 0.29}) {
        const analysis::HoldAnalysis r =
            analysis::analyseHold(integrators(), gains, host::HostLoop{rate, rate, lambda * T, 0});
        EXPECT_NEAR(r.largestPoleMagnitude, std::sqrt(a + Q * lambda), 1e-9) << "lambda " << lambda;
        EXPECT_TRUE(r.closedLoopStable) << "lambda " << lambda;
    }
    const analysis::HoldAnalysis below =
        analysis::analyseHold(integrators(), gains, host::HostLoop{rate, rate, 0.99 * critical * T, 0});
    const analysis::HoldAnalysis above =
        analysis::analyseHold(integrators(), gains, host::HostLoop{rate, rate, 1.01 * critical * T, 0});
    EXPECT_TRUE(below.closedLoopStable);
    EXPECT_FALSE(above.closedLoopStable);
    EXPECT_NEAR(above.largestPoleMagnitude, std::sqrt(a + Q * 1.01 * critical), 1e-9);
    // One whole update of delay is lambda = 1, past the boundary.
    EXPECT_FALSE(analysis::analyseHold(integrators(), gains, host::HostLoop{rate, rate, 0.0, 1}).closedLoopStable);
}

TEST(HostLoopAnalysis, LiftedPatternIsTheLoopFlownUpdateByUpdate) {
    // At 30 visual frames and 18 updates a second the updates fall on
    // frames 0, 2, 4, 5, 7, ... (and -1, -3 before): steps of 2, 2, 1
    // frames, three updates a pattern of 1/6 s. The turn loop on an
    // integrator, flown by hand with the module's law at each call's own
    // time step and each command felt `latency` after its update, must end
    // the pattern where the monodromy matrix puts it.
    const double c = kNewRateWeight, r = kRateSmoothing, a = kErrorSmoothing, b = kNewErrorWeight;
    const double kpr = 40.0, tv = 0.3, tn = 2.0;
    const analysis::Gains gains = sameLawOnEveryLoop(kpr, tv, tn);
    const analysis::LinearPlant plant = integrators();
    const double frame = 1.0 / 30.0;
    // One visual frame (a command pending at each update), and 1.5 frames
    // (at the update after a short step, two).
    for (const double latency : {frame, 1.5 * frame}) {
        const analysis::LiftedHold lifted = analysis::liftHold(plant, gains, host::HostLoop{18, 30, latency, 0});
        ASSERT_EQ(lifted.steps.size(), 3u);
        EXPECT_NEAR(lifted.periodS, 1.0 / 6.0, 1e-12);
        const int pending = latency > frame ? 2 : 1;
        ASSERT_EQ(lifted.pendingUpdates, pending);
        const int turn = analysis::kTurn, np = 4, law = np + 3 * turn;
        const int n = static_cast<int>(lifted.monodromy.rows());

        // The start: the turn loop's plant, law and pending commands.
        ASSERT_EQ(n, np + 12 + 4 * pending);
        std::array<double, 4 + 12 + 4 * 2> start{};
        const double x = 0.8, E = 0.2, R = -0.1, I = 0.3;
        const double sent[2] = {-3.0, 5.0};  // at frames -1 and -3
        const auto at = [](int i) { return static_cast<std::size_t>(i); };
        start[at(turn)] = x;
        start[at(law)] = E;
        start[at(law + 1)] = R;
        start[at(law + 2)] = I;
        for (int slot = 0; slot < pending; ++slot) {
            start[at(np + 12 + 4 * slot + turn)] = sent[slot];
        }
        const Eigen::VectorXd x1 = lifted.monodromy * Eigen::Map<const Eigen::VectorXd>(start.data(), n);

        // By hand. Updates at frames -3, -1, 0, 2, 4, then 5 ends the
        // pattern; a command is felt from its update + latency on.
        struct Command {
            double from, value;
        };
        std::vector<Command> commands = {{-1.0 * frame + latency, sent[0]}};
        if (pending == 2) {
            commands.insert(commands.begin(), Command{-3.0 * frame + latency, sent[1]});
        }
        const double frames[] = {-1.0, 0.0, 2.0, 4.0, 5.0};
        double hx = x, hE = E, hR = R, hI = I;
        for (int k = 1; k <= 3; ++k) {
            const double t = frames[k] * frame, dt = (frames[k] - frames[k - 1]) * frame;
            const double e = hx;
            const double newE = a * hE + b * e;
            hR = c * (newE - hE) / dt + r * hR;
            hI = hI + dt * newE;
            hE = newE;
            commands.push_back({t + latency, kpr * (hE + tv * hR + hI / tn)});
            // The integrator over [t, next update): the command in force at
            // each moment is the newest already felt.
            const double end = frames[k + 1] * frame;
            std::vector<double> cuts = {t, end};
            for (const Command& m : commands) {
                if (m.from > t && m.from < end) {
                    cuts.push_back(m.from);
                }
            }
            std::sort(cuts.begin(), cuts.end());
            for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
                double u = 0.0;
                for (const Command& m : commands) {
                    if (m.from <= cuts[i] + 1e-12) {
                        u = m.value;
                    }
                }
                hx += u * (cuts[i + 1] - cuts[i]);
            }
        }
        EXPECT_NEAR(x1(turn), hx, kSameState) << "latency " << latency;
        EXPECT_NEAR(x1(law), hE, kSameState);
        EXPECT_NEAR(x1(law + 1), hR, kSameState);
        EXPECT_NEAR(x1(law + 2), hI, kSameState);
        for (int slot = 0; slot < pending; ++slot) {
            const Command& m = commands[commands.size() - 1 - static_cast<std::size_t>(slot)];
            EXPECT_NEAR(x1(np + 12 + 4 * slot + turn), m.value, kSameState) << "slot " << slot;
        }
        // The other loops were at rest and stay there.
        EXPECT_NEAR(x1(analysis::kUp), 0.0, kSameState);
    }
}

TEST(HostLoopAnalysis, DiskMarginsNeverPromiseMoreThanTheClassicalMarginsOnTheHold) {
    // A disk of gain and phase changes contains the pure gain and the pure
    // phase changes, so each loop's disk gain margin is within its smaller
    // classical gain margin and its disk phase margin within its phase
    // margin; and |S| peaks at no less than 1 / (classical reach to -1).
    const analysis::LinearPlant plant = analysis::linearisePlant(bo105());
    const analysis::Gains gains = stableAtOneFrame(plant);
    const host::HostLoop loop{};  // the host's default: 18 updates, 30 frames, one frame of latency
    const analysis::HoldAnalysis r = analysis::analyseHold(plant, gains, loop);
    ASSERT_TRUE(r.marginModelStable);
    EXPECT_EQ(r.updatesPerPattern, 3);
    EXPECT_NEAR(r.poleRateHz, 6.0, 1e-9);
    for (int j = 0; j < analysis::kLoopCount; ++j) {
        const analysis::LoopMargins& m = r.loops[static_cast<std::size_t>(j)];
        EXPECT_GT(m.disk.alpha, 0.0) << "loop " << j;
        EXPECT_LE(m.disk.gainMarginDb, m.gainMarginDb + kSameDb) << "loop " << j;
        EXPECT_LE(m.disk.phaseMarginDeg, m.phaseMarginDeg + kSameDeg) << "loop " << j;
        EXPECT_GE(m.disk.peakSensitivity, 1.0) << "loop " << j;
    }
}

TEST(HostLoopAnalysis, LoopOutsideItsRangesIsRefused) {
    const analysis::LinearPlant plant = integrators();
    const analysis::Gains gains = sameLawOnEveryLoop(-10.0, 0.0, 0.0);
    EXPECT_THROW(analysis::analyseHold(plant, gains, host::HostLoop{30, 18, 0.0, 0}), std::invalid_argument);
    EXPECT_THROW(analysis::analyseHold(plant, gains, host::HostLoop{18, 30, 0.2, 0}), std::invalid_argument);
    EXPECT_THROW(analysis::analyseHold(plant, gains, host::HostLoop{18, 30, -0.01, 0}), std::invalid_argument);
    EXPECT_THROW(analysis::analyseHold(plant, gains, host::HostLoop{18, 30, 0.0, 3}), std::invalid_argument);
    EXPECT_NO_THROW(analysis::analyseHold(plant, gains, host::HostLoop{18, 30, 2.0 / 18.0, 0}));
}
