// SPDX-License-Identifier: MIT
#include "sim/tune/disk_margin.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>

namespace tune {

namespace {

constexpr double kPi = 3.141592653589793;

// L(z) = c (zI - A)^-1 b for many z, A reduced once to upper Hessenberg
// form H = Q^T A Q so that each z costs one elimination of order n^2.
class LoopResponse {
public:
    using Complex = std::complex<double>;
    using RowMajor = Eigen::Matrix<Complex, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

    LoopResponse(const Eigen::MatrixXd& a, const Eigen::VectorXd& b, const Eigen::RowVectorXd& c) {
        const Eigen::HessenbergDecomposition<Eigen::MatrixXd> h(a);
        const Eigen::MatrixXd q = h.matrixQ();
        minusH_ = (-Eigen::MatrixXd(h.matrixH())).cast<Complex>();
        b_ = (q.transpose() * b).cast<Complex>();
        c_ = (c * q).cast<Complex>();
    }

    Complex at(Complex z) const {
        const Eigen::Index n = minusH_.rows();
        work_ = minusH_;
        work_.diagonal().array() += z;
        x_ = b_;
        Complex* m = work_.data();
        const auto row = [&](Eigen::Index i) { return m + i * n; };
        // Gaussian elimination with partial pivoting; on a Hessenberg
        // matrix only the next row has an entry below each pivot.
        for (Eigen::Index k = 0; k + 1 < n; ++k) {
            Complex* rk = row(k);
            Complex* r1 = row(k + 1);
            if (std::norm(r1[k]) > std::norm(rk[k])) {
                std::swap_ranges(rk + k, rk + n, r1 + k);
                std::swap(x_(k), x_(k + 1));
            }
            if (r1[k] == 0.0)
                continue;
            if (rk[k] == 0.0)
                return {std::numeric_limits<double>::infinity(), 0.0};
            const Complex f = divide(r1[k], rk[k]);
            for (Eigen::Index j = k; j < n; ++j)
                r1[j] -= f * rk[j];
            x_(k + 1) -= f * x_(k);
        }
        for (Eigen::Index k = n - 1; k >= 0; --k) {
            const Complex* rk = row(k);
            Complex sum = x_(k);
            for (Eigen::Index j = k + 1; j < n; ++j)
                sum -= rk[j] * x_(j);
            if (rk[k] == 0.0)
                return {std::numeric_limits<double>::infinity(), 0.0};
            x_(k) = divide(sum, rk[k]);
        }
        return (c_ * x_)(0);
    }

    // a / b for finite b != 0, without the library's handling of infinities.
    static Complex divide(Complex a, Complex b) { return a * std::conj(b) / std::norm(b); }

private:
    RowMajor minusH_;
    Eigen::VectorXcd b_;
    Eigen::RowVectorXcd c_;
    mutable RowMajor work_;
    mutable Eigen::VectorXcd x_;
};

double diskMarginOf(const LoopResponse& loop, double samplePeriod) {
    const double nyquist = 0.5 / samplePeriod;
    const auto measure = [&](double logHz) {
        const double w = 2.0 * kPi * std::exp(logHz) * samplePeriod;
        const std::complex<double> l = loop.at(std::polar(1.0, w));
        const double below = std::norm(1.0 + l);
        const double m = below > 0.0 ? std::sqrt(std::norm(1.0 - l) / below) : 0.0;
        return below > 0.0 && std::isfinite(m) ? m : std::numeric_limits<double>::infinity();
    };
    constexpr int kPoints = 40;
    const double low = std::log(0.005), high = std::log(nyquist);
    double best = 0.0;
    int bestAt = 0;
    std::array<double, kPoints> grid{};
    for (int i = 0; i < kPoints; ++i) {
        grid[static_cast<size_t>(i)] = low + (high - low) * i / (kPoints - 1);
        const double m = measure(grid[static_cast<size_t>(i)]);
        if (m > best) {
            best = m;
            bestAt = i;
        }
    }
    // Golden section between the neighbours of the largest point.
    double a = grid[static_cast<size_t>(std::max(bestAt - 1, 0))];
    double b = grid[static_cast<size_t>(std::min(bestAt + 1, kPoints - 1))];
    constexpr double kGolden = 0.6180339887498949;
    for (int i = 0; i < 12 && std::isfinite(best); ++i) {
        const double x1 = b - kGolden * (b - a), x2 = a + kGolden * (b - a);
        const double m1 = measure(x1), m2 = measure(x2);
        best = std::max({best, m1, m2});
        if (m1 > m2)
            b = x2;
        else
            a = x1;
    }
    return std::isfinite(best) && best > 0.0 ? std::min(2.0 / best, 2.0) : 0.0;
}

}  // namespace

double diskMargin(const Eigen::MatrixXd& a, const Eigen::VectorXd& b, const Eigen::RowVectorXd& c,
                  double samplePeriod) {
    return diskMarginOf(LoopResponse(a, b, c), samplePeriod);
}

}  // namespace tune
