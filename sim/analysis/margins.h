// SPDX-License-Identifier: MIT
//
// Stability margins of a sampled single loop, from its frequency response on
// the unit circle.
#ifndef HOVER_SIM_ANALYSIS_MARGINS_H
#define HOVER_SIM_ANALYSIS_MARGINS_H

#include <Eigen/Dense>
#include <complex>

namespace analysis {

// The symmetric disk margin of one loop: the largest alpha for which every
// simultaneous gain and phase change f with |(f - 1) / (f + 1)| < alpha / 2
// (a disk of perturbations centred on f = 1) leaves the closed loop stable.
// alpha = 2 / max |S - T| over frequency, S = 1 / (1 + L), T = L / (1 + L).
// It stands for a gain change by a factor in [(2 - alpha) / (2 + alpha),
// (2 + alpha) / (2 - alpha)] together with a phase change of up to
// 2 atan(alpha / 2), and never promises more than the classical margins.
// Zero (and zero margins) when the loop as given is unstable when closed.
struct DiskMargin {
    double alpha = 0.0;
    double gainMarginDb = 0.0;    // 20 log10((2 + alpha) / (2 - alpha)); infinite from alpha 2 on
    double phaseMarginDeg = 0.0;  // 2 atan(alpha / 2), deg
    double atHz = 0.0;            // where |S - T| peaks; NaN when there is no margin
    double peakSensitivity = 0.0;   // max |S|: how much the loop amplifies a disturbance at worst
    double peakSensitivityHz = 0.0;  // where |S| peaks
};

// The disk margin of a sampled loop, as sampledLoopMargins takes it.
// closedLoopStable says whether 1 + L = 0 has all its roots inside the unit
// circle (the caller knows the closed loop's poles).
DiskMargin sampledDiskMargin(const Eigen::MatrixXd& A, const Eigen::VectorXd& b, const Eigen::RowVectorXd& c,
                             double d, double samplePeriod, bool closedLoopStable);

// The disk margin's alpha alone, of a loop whose closed loop is stable,
// read on a coarser grid than sampledDiskMargin's (for searches).
double sampledDiskAlpha(const Eigen::MatrixXd& A, const Eigen::VectorXd& b, const Eigen::RowVectorXd& c, double d);

// Margins of one loop. Infinite where the response never reaches the
// crossing that defines the margin (a loop that never reaches unit gain has
// an infinite phase margin); the frequencies are then NaN.
struct LoopMargins {
    // The smaller of the two below: how far the loop gain may change, up or
    // down, before the closed loop reaches its stability boundary.
    double gainMarginDb = 0.0;
    double phaseMarginDeg = 0.0;  // smallest phase change, lag or lead, that reaches -1
    double crossoverHz = 0.0;     // where the phase margin is measured (|L| = 1)
    double gainIncreaseDb = 0.0;  // factor by which the gain may grow, dB (positive)
    double gainReductionDb =
        0.0;  // factor by which it may shrink, dB (positive); infinite when it can fall to 0
    double phaseCrossoverHz = 0.0;  // where the gain margin is measured
    DiskMargin disk{};              // filled by the hold's analysis, not by sampledLoopMargins
};

// A sampled loop L(z) = c (zI - A)^-1 b + d, closed as 1 + L(z) = 0 (negative
// feedback), sampled every samplePeriod seconds. The margins are read where
// L crosses the negative real axis (gain margins) and the unit circle (phase
// margin), between 0 and half the sample rate. They describe the boundary
// only if the loop as given is stable when closed; check that separately.
LoopMargins sampledLoopMargins(const Eigen::MatrixXd& A, const Eigen::VectorXd& b,
                               const Eigen::RowVectorXd& c, double d, double samplePeriod);

// L(e^{j w T}) for the same loop at one frequency (Hz).
std::complex<double> sampledLoopResponse(const Eigen::MatrixXd& A, const Eigen::VectorXd& b,
                                         const Eigen::RowVectorXd& c, double d, double samplePeriod,
                                         double frequencyHz);

}  // namespace analysis

#endif
