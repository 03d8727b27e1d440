// SPDX-License-Identifier: MIT
//
// Stability margins of a sampled single loop, from its frequency response on
// the unit circle.
#ifndef HOVER_SIM_ANALYSIS_MARGINS_H
#define HOVER_SIM_ANALYSIS_MARGINS_H

#include <Eigen/Dense>
#include <complex>

namespace analysis {

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
