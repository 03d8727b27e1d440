// SPDX-License-Identifier: MIT
//
// The margin routine on loops whose margins are known in closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <unsupported/Eigen/MatrixFunctions>

#include "sim/analysis/margins.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// The crossings are refined by bisection to far below this.
constexpr double kExactDb = 1e-6;
constexpr double kExactDeg = 1e-6;
constexpr double kExactHz = 1e-6;

struct Loop {
    Eigen::MatrixXd A;
    Eigen::VectorXd b;
    Eigen::RowVectorXd c;
};

// L(z) = gain * z^-delays: a shift register.
Loop pureDelay(double gain, int delays) {
    Loop l{Eigen::MatrixXd::Zero(delays, delays), Eigen::VectorXd::Zero(delays),
           Eigen::RowVectorXd::Zero(delays)};
    l.b(0) = gain;
    for (int i = 1; i < delays; ++i) {
        l.A(i, i - 1) = 1.0;
    }
    l.c(delays - 1) = 1.0;
    return l;
}

// L(z) = K T z^-n / (z - 1): a sampled integrator followed by n delays.
Loop integratorWithDelays(double k, double period, int delays) {
    const int n = delays + 1;
    Loop l{Eigen::MatrixXd::Zero(n, n), Eigen::VectorXd::Zero(n), Eigen::RowVectorXd::Zero(n)};
    l.A(0, 0) = 1.0;
    l.b(0) = k * period;
    for (int i = 1; i < n; ++i) {
        l.A(i, i - 1) = 1.0;
    }
    l.c(n - 1) = 1.0;
    return l;
}

}  // namespace

TEST(LoopMargins, IntegratorBehindTwoDelaysHasItsClosedFormMargins) {
    // L = K T z^-n / (z - 1). On the unit circle z - 1 = 2j sin(theta/2)
    // e^{j theta/2}, so |L| = K T / (2 sin(theta/2)) and the phase is
    // -90 deg - (n + 1/2) theta. Unit gain at theta_c = 2 asin(K T / 2),
    // phase -180 deg at theta_p = pi / (2n + 1).
    const double k = 2.0, period = 0.05;
    const int n = 2;
    const Loop l = integratorWithDelays(k, period, n);
    const analysis::LoopMargins m = analysis::sampledLoopMargins(l.A, l.b, l.c, 0.0, period);

    const double thetaC = 2.0 * std::asin(k * period / 2.0);
    const double thetaP = kPi / (2.0 * n + 1.0);
    EXPECT_NEAR(m.phaseMarginDeg, 90.0 - (n + 0.5) * thetaC * 180.0 / kPi, kExactDeg);  // 75.67 deg
    EXPECT_NEAR(m.crossoverHz, thetaC / (2.0 * kPi * period), kExactHz);
    EXPECT_NEAR(m.gainIncreaseDb, 20.0 * std::log10(2.0 * std::sin(thetaP / 2.0) / (k * period)),
                kExactDb);  // 15.82 dB
    EXPECT_NEAR(m.phaseCrossoverHz, thetaP / (2.0 * kPi * period), kExactHz);
    EXPECT_TRUE(std::isinf(m.gainReductionDb));
    EXPECT_EQ(m.gainMarginDb, m.gainIncreaseDb);
}

TEST(LoopMargins, PureDelayBelowUnitGainHasOnlyAGainMargin) {
    // 0.5 z^-3 stays at half gain: no phase margin to speak of, and doubling
    // the gain (6.02 dB) puts it on -1 at theta = pi / 3 and at pi.
    const Loop l = pureDelay(0.5, 3);
    const analysis::LoopMargins m = analysis::sampledLoopMargins(l.A, l.b, l.c, 0.0, 0.1);
    EXPECT_NEAR(m.gainMarginDb, 20.0 * std::log10(2.0), kExactDb);
    EXPECT_NEAR(m.gainIncreaseDb, 20.0 * std::log10(2.0), kExactDb);
    EXPECT_TRUE(std::isinf(m.phaseMarginDeg));
    EXPECT_TRUE(std::isnan(m.crossoverHz));
    // The lowest of the two crossings: theta = pi / 3 at T = 0.1 s.
    EXPECT_NEAR(m.phaseCrossoverHz, (kPi / 3.0) / (2.0 * kPi * 0.1), kExactHz);
}

TEST(LoopMargins, UnstableOpenLoopReportsHowFarTheGainMayFallAndRise) {
    // L = K T / (z - p) with p = 1.05 outside the unit circle, K T = 1: the
    // closed-loop pole p - K T = 0.05 is stable for 0.05 < K T < 2.05. At DC
    // L = 1 / (1 - p) = -20 (the gain may fall 20 times), at half the sample
    // rate L = 1 / (-1 - p) = -1 / 2.05 (it may rise 2.05 times).
    Eigen::MatrixXd A(1, 1);
    A << 1.05;
    const Eigen::VectorXd b = Eigen::VectorXd::Ones(1);
    const Eigen::RowVectorXd c = Eigen::RowVectorXd::Ones(1);
    const analysis::LoopMargins m = analysis::sampledLoopMargins(A, b, c, 0.0, 0.01);
    EXPECT_NEAR(m.gainReductionDb, 20.0 * std::log10(20.0), kExactDb);
    EXPECT_NEAR(m.gainIncreaseDb, 20.0 * std::log10(2.05), kExactDb);
    EXPECT_NEAR(m.gainMarginDb, 20.0 * std::log10(2.05), kExactDb);
    EXPECT_NEAR(m.phaseCrossoverHz, 50.0, kExactHz);
}

TEST(LoopMargins, TextbookThirdOrderLoopSampledFastHasItsContinuousMargins) {
    // G(s) = 2 / (s (s + 1) (s + 2)): phase -180 deg at sqrt(2) rad/s where
    // |G| = 1/3, so GM = 20 log10 3 = 9.542 dB; unit gain where
    // w^2 (w^2 + 1) (w^2 + 4) = 4, w = 0.749368 rad/s, PM = 90 - atan(w) -
    // atan(w / 2) = 32.613 deg. Sampled with a zero-order hold every 1 ms,
    // which adds a lag of w T / 2 (0.02 deg at crossover).
    const double period = 1e-3;
    Eigen::MatrixXd a(3, 3);
    a << 0, 1, 0, 0, 0, 1, 0, -2, -3;
    Eigen::MatrixXd augmented = Eigen::MatrixXd::Zero(4, 4);
    augmented.topLeftCorner(3, 3) = a * period;
    augmented(2, 3) = period;
    const Eigen::MatrixXd step = augmented.exp();
    const Eigen::MatrixXd A = step.topLeftCorner(3, 3);
    const Eigen::VectorXd b = step.block(0, 3, 3, 1);
    Eigen::RowVectorXd c(3);
    c << 2, 0, 0;
    const analysis::LoopMargins m = analysis::sampledLoopMargins(A, b, c, 0.0, period);

    constexpr double kHoldLagDeg = 0.05;
    constexpr double kHoldGainDb = 0.02;
    EXPECT_NEAR(m.gainMarginDb, 20.0 * std::log10(3.0), kHoldGainDb);
    EXPECT_NEAR(m.phaseCrossoverHz, std::sqrt(2.0) / (2.0 * kPi), 1e-3);
    EXPECT_NEAR(m.phaseMarginDeg, 32.613, kHoldLagDeg);
    EXPECT_NEAR(m.crossoverHz, 0.749368 / (2.0 * kPi), 1e-4);
    EXPECT_TRUE(std::isinf(m.gainReductionDb));
}

TEST(DiskMargin, GainBehindDelaysHasTheDiskWorkedOutByHand) {
    // L = K z^-n, 0 < K < 1: the closed loop is stable, and
    // |S - T| = |1 - L| / |1 + L| is largest where L = -K (theta = pi / n):
    // (1 + K) / (1 - K). So alpha = 2 (1 - K) / (1 + K); K = 1/2 gives 2/3,
    // a gain factor (2 + alpha) / (2 - alpha) = 2 (6.02 dB, the classical
    // margin of this loop) and a phase of 2 atan(1/3) = 36.87 deg, where
    // the classical phase margin is infinite. |S| = 1 / |1 + L| peaks
    // there too, at 1 / (1 - K) = 2.
    const double k = 0.5, period = 0.1;
    for (int n : {1, 2}) {
        const Loop l = pureDelay(k, n);
        const analysis::DiskMargin m = analysis::sampledDiskMargin(l.A, l.b, l.c, 0.0, period, true);
        EXPECT_NEAR(m.alpha, 2.0 / 3.0, 1e-9) << "n " << n;
        EXPECT_NEAR(m.gainMarginDb, 20.0 * std::log10(2.0), kExactDb) << "n " << n;
        EXPECT_NEAR(m.phaseMarginDeg, 2.0 * std::atan(1.0 / 3.0) * 180.0 / kPi, kExactDeg) << "n " << n;
        EXPECT_NEAR(m.atHz, 1.0 / (2.0 * n * period), kExactHz) << "n " << n;
        EXPECT_NEAR(m.peakSensitivity, 2.0, 1e-9) << "n " << n;
        EXPECT_NEAR(m.peakSensitivityHz, 1.0 / (2.0 * n * period), kExactHz) << "n " << n;
    }
}

TEST(DiskMargin, IntegratorLoopHasItsDiskWorkedOutByHandAndNoneWhenUnstable) {
    // L = K T / (z - 1) closes to the pole 1 - K T. On the unit circle
    // |1 - L| / |1 + L| = |z - 1 - K T| / |z - 1 + K T|, largest at z = -1:
    // (2 + K T) / (2 - K T). With K T = 0.5: alpha = 2 * 1.5 / 2.5 = 1.2.
    // The same loop called unstable has no disk margin.
    const double k = 5.0, period = 0.1;
    const Loop l = integratorWithDelays(k, period, 0);
    const analysis::DiskMargin m = analysis::sampledDiskMargin(l.A, l.b, l.c, 0.0, period, true);
    EXPECT_NEAR(m.alpha, 1.2, 1e-9);
    EXPECT_NEAR(m.gainMarginDb, 20.0 * std::log10(3.2 / 0.8), kExactDb);
    EXPECT_NEAR(m.atHz, 1.0 / (2.0 * period), kExactHz);
    // |S| = |z - 1| / |z - 1 + K T| also peaks at z = -1: 2 / 1.5.
    EXPECT_NEAR(m.peakSensitivity, 2.0 / 1.5, 1e-9);
    const analysis::DiskMargin none = analysis::sampledDiskMargin(l.A, l.b, l.c, 0.0, period, false);
    EXPECT_EQ(none.alpha, 0.0);
    EXPECT_EQ(none.gainMarginDb, 0.0);
    EXPECT_EQ(none.phaseMarginDeg, 0.0);
}
