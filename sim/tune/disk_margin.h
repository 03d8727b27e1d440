// SPDX-License-Identifier: MIT
//
// The symmetric disk margin of a sampled loop L(z) = c (zI - A)^-1 b,
// closed as 1 + L = 0 and stable so closed: 2 over the largest
// |(1 - L) / (1 + L)| = |S - T| between 0 and half the sample rate, read on
// a logarithmic grid of frequencies from 0.005 Hz to half the sample rate
// itself, refined about its largest value. At most 2 (a loop with no peak
// at all); 0 where L passes through -1.
#ifndef HOVER_SIM_TUNE_DISK_MARGIN_H
#define HOVER_SIM_TUNE_DISK_MARGIN_H

#include <Eigen/Dense>

namespace tune {

double diskMargin(const Eigen::MatrixXd& a, const Eigen::VectorXd& b, const Eigen::RowVectorXd& c,
                  double samplePeriod);

}  // namespace tune

#endif
