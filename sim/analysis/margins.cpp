// SPDX-License-Identifier: MIT
#include "sim/analysis/margins.h"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace analysis {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The frequency grid: log-spaced from this fraction of the sample rate to
// half of it; every crossing found on it is then refined by bisection.
constexpr double kLowestFraction = 1e-5;
constexpr int kGridPoints = 400;
constexpr int kBisections = 40;
// Margins closer than this are the same margin found twice.
constexpr double kSameMarginDb = 1e-9;

using Complex = std::complex<double>;

// The loop's response, evaluated through the Hessenberg form of A so that
// each frequency costs one Hessenberg solve instead of a full one.
class Response {
public:
    Response(const Eigen::MatrixXd& A, const Eigen::VectorXd& b, const Eigen::RowVectorXd& c, double d)
        : d_(d) {
        const Eigen::Index n = A.rows();
        if (n == 0) {
            return;
        }
        const Eigen::HessenbergDecomposition<Eigen::MatrixXd> hessenberg(A);
        H_ = hessenberg.matrixH();
        const Eigen::MatrixXd Q = hessenberg.matrixQ();
        b_ = Q.transpose() * b;
        c_ = c * Q;
    }

    // L(z) at z = e^{j theta}, theta = omega T. Not finite where z is a pole.
    // A margin search asks for thousands of these: the work matrix is kept
    // between calls, and pivots are compared and divided by without the
    // square roots and the library's careful complex division.
    Complex at(double theta) const {
        const Eigen::Index n = H_.rows();
        if (n == 0) {
            return {d_, 0.0};
        }
        const Complex z = std::polar(1.0, theta);
        auto& M = work_;
        M = -H_.cast<Complex>();
        M.diagonal().array() += z;
        Eigen::VectorXcd& x = rhs_;
        x = b_.cast<Complex>();
        // Gaussian elimination on an upper Hessenberg matrix: only the row
        // below can hold a pivot, so each step swaps at most two rows.
        for (Eigen::Index k = 0; k + 1 < n; ++k) {
            if (std::norm(M(k + 1, k)) > std::norm(M(k, k))) {
                M.row(k).swap(M.row(k + 1));
                std::swap(x(k), x(k + 1));
            }
            if (M(k, k) == Complex(0.0, 0.0)) {
                return {kInfinity, 0.0};
            }
            const Complex f = divide(M(k + 1, k), M(k, k));
            M.row(k + 1).segment(k, n - k) -= f * M.row(k).segment(k, n - k);
            x(k + 1) -= f * x(k);
        }
        for (Eigen::Index k = n - 1; k >= 0; --k) {
            if (M(k, k) == Complex(0.0, 0.0)) {
                return {kInfinity, 0.0};
            }
            Complex s = x(k);
            for (Eigen::Index j = k + 1; j < n; ++j) {
                s -= M(k, j) * x(j);
            }
            x(k) = divide(s, M(k, k));
        }
        return (c_.cast<Complex>() * x)(0) + d_;
    }

private:
    // a / b as a b* / |b|^2 where |b|^2 is a normal number; the library's
    // division, which guards against overflow, otherwise.
    static Complex divide(Complex a, Complex b) {
        const double n = std::norm(b);
        if (n >= std::numeric_limits<double>::min() && n <= 1.0 / std::numeric_limits<double>::min()) {
            return a * std::conj(b) / n;
        }
        return a / b;
    }

    // Row-major: elimination and back substitution both run along rows.
    mutable Eigen::Matrix<Complex, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor> work_;
    mutable Eigen::VectorXcd rhs_;
    Eigen::MatrixXd H_;
    Eigen::VectorXd b_;
    Eigen::RowVectorXd c_;
    double d_;
};

bool finite(Complex v) {
    return std::isfinite(v.real()) && std::isfinite(v.imag());
}

// Bisection on theta between a and b for a sign change of f.
template <typename F>
double bisect(double a, double b, F f) {
    double fa = f(a);
    for (int i = 0; i < kBisections; ++i) {
        const double m = 0.5 * (a + b);
        const double fm = f(m);
        if ((fm < 0.0) == (fa < 0.0)) {
            a = m;
            fa = fm;
        } else {
            b = m;
        }
    }
    return 0.5 * (a + b);
}

// The thetas every search starts from: 0, then log-spaced up to pi.
std::vector<double> thetaGrid(int points) {
    std::vector<double> thetas;
    thetas.reserve(static_cast<std::size_t>(points) + 1);
    thetas.push_back(0.0);
    const double lowest = 2.0 * kPi * kLowestFraction;
    for (int i = 0; i < points; ++i) {
        thetas.push_back(lowest * std::pow(kPi / lowest, static_cast<double>(i) / (points - 1)));
    }
    return thetas;
}

// The largest value of f over [0, pi]: the best grid point, then every
// local maximum of the grid refined by golden-section search between its
// neighbours (a lightly damped peak can fall between two grid points).
struct Peak {
    double value = 0.0;
    double theta = 0.0;
};
// Only the highest few local maxima are refined: a flat stretch of the
// grid is a row of equal "maxima", and refining each would cost thousands
// of evaluations for nothing.
constexpr std::size_t kRefinedPeaks = 4;

template <typename F>
Peak largest(const std::vector<double>& thetas, const std::vector<double>& values, F f) {
    Peak best;
    std::vector<std::size_t> maxima;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] > best.value) {
            best = {values[i], thetas[i]};
        }
        const bool localMaximum = (i == 0 || values[i] >= values[i - 1])
                                  && (i + 1 == values.size() || values[i] >= values[i + 1]);
        if (localMaximum) {
            maxima.push_back(i);
        }
    }
    const std::size_t refined = std::min(kRefinedPeaks, maxima.size());
    std::partial_sort(maxima.begin(), maxima.begin() + static_cast<std::ptrdiff_t>(refined), maxima.end(),
                      [&](std::size_t x, std::size_t y) { return values[x] > values[y]; });
    for (std::size_t m = 0; m < refined; ++m) {
        const std::size_t i = maxima[m];
        double a = thetas[i == 0 ? 0 : i - 1];
        double b = thetas[i + 1 == values.size() ? i : i + 1];
        constexpr double kGolden = 0.6180339887498949;
        double x1 = b - kGolden * (b - a), x2 = a + kGolden * (b - a);
        double f1 = f(x1), f2 = f(x2);
        for (int k = 0; k < kBisections; ++k) {
            if (f1 > f2) {
                b = x2;
                x2 = x1;
                f2 = f1;
                x1 = b - kGolden * (b - a);
                f1 = f(x1);
            } else {
                a = x1;
                x1 = x2;
                f1 = f2;
                x2 = a + kGolden * (b - a);
                f2 = f(x2);
            }
        }
        if (std::max(f1, f2) > best.value) {
            best = f1 > f2 ? Peak{f1, x1} : Peak{f2, x2};
        }
    }
    return best;
}

// The disk margin's grid is finer than the crossings' one: a peak, unlike a
// crossing, leaves no sign change to find between two points.
constexpr int kDiskGridPoints = 600;

}  // namespace

DiskMargin sampledDiskMargin(const Eigen::MatrixXd& A, const Eigen::VectorXd& b, const Eigen::RowVectorXd& c,
                             double d, double samplePeriod, bool closedLoopStable) {
    DiskMargin m;
    const Response response(A, b, c, d);
    const std::vector<double> thetas = thetaGrid(kDiskGridPoints);
    const double toHz = 1.0 / (2.0 * kPi * samplePeriod);
    // |S|: at a pole of L (an integrator at theta 0) the loop rejects
    // everything, S = 0 and S - T = -1.
    const auto sensitivity = [](Complex l) { return finite(l) ? 1.0 / std::abs(1.0 + l) : 0.0; };
    const auto sMinusT = [](Complex l) { return finite(l) ? std::abs(1.0 - l) / std::abs(1.0 + l) : 1.0; };
    // One response per grid point serves both peaks.
    std::vector<double> sValues, stValues;
    sValues.reserve(thetas.size());
    stValues.reserve(thetas.size());
    for (double t : thetas) {
        const Complex l = response.at(t);
        sValues.push_back(sensitivity(l));
        stValues.push_back(sMinusT(l));
    }
    const Peak s = largest(thetas, sValues, [&](double t) { return sensitivity(response.at(t)); });
    m.peakSensitivity = s.value;
    m.peakSensitivityHz = s.theta * toHz;
    if (!closedLoopStable) {
        m.atHz = kNaN;
        return m;
    }
    const Peak st = largest(thetas, stValues, [&](double t) { return sMinusT(response.at(t)); });
    m.atHz = st.theta * toHz;
    m.alpha = st.value > 0.0 ? 2.0 / st.value : kInfinity;
    m.gainMarginDb = m.alpha >= 2.0 ? kInfinity : 20.0 * std::log10((2.0 + m.alpha) / (2.0 - m.alpha));
    m.phaseMarginDeg = 2.0 * std::atan(m.alpha / 2.0) * 180.0 / kPi;
    return m;
}

// The disk margin alone, on a coarser grid: a search that judges thousands
// of strings needs only the margin, and the highest peaks refined between
// grid points find it to the grid's refinement.
constexpr int kQuickDiskGridPoints = 240;

double sampledDiskAlpha(const Eigen::MatrixXd& A, const Eigen::VectorXd& b, const Eigen::RowVectorXd& c, double d) {
    const Response response(A, b, c, d);
    const std::vector<double> thetas = thetaGrid(kQuickDiskGridPoints);
    const auto sMinusT = [](Complex l) { return finite(l) ? std::abs(1.0 - l) / std::abs(1.0 + l) : 1.0; };
    std::vector<double> values;
    values.reserve(thetas.size());
    for (double t : thetas) {
        values.push_back(sMinusT(response.at(t)));
    }
    const Peak st = largest(thetas, values, [&](double t) { return sMinusT(response.at(t)); });
    return st.value > 0.0 ? 2.0 / st.value : kInfinity;
}

std::complex<double> sampledLoopResponse(const Eigen::MatrixXd& A, const Eigen::VectorXd& b,
                                         const Eigen::RowVectorXd& c, double d, double samplePeriod,
                                         double frequencyHz) {
    return Response(A, b, c, d).at(2.0 * kPi * frequencyHz * samplePeriod);
}

LoopMargins sampledLoopMargins(const Eigen::MatrixXd& A, const Eigen::VectorXd& b,
                               const Eigen::RowVectorXd& c, double d, double samplePeriod) {
    const Response response(A, b, c, d);
    // theta = omega T runs from 0 (DC) to pi (half the sample rate).
    const std::vector<double> thetas = thetaGrid(kGridPoints);
    std::vector<Complex> values;
    values.reserve(thetas.size());
    for (double theta : thetas) {
        values.push_back(response.at(theta));
    }

    struct Crossing {
        double theta;
        Complex value;
    };
    std::vector<Crossing> phaseCrossings;  // on the negative real axis
    std::vector<Crossing> gainCrossings;   // on the unit circle
    const auto logGain = [&](double t) { return std::log(std::abs(response.at(t))); };
    const auto imaginary = [&](double t) { return response.at(t).imag(); };

    // The ends of the range: L is real there for a real loop.
    for (std::size_t i : {std::size_t{0}, values.size() - 1}) {
        if (finite(values[i]) && values[i].real() < 0.0
            && std::abs(values[i].imag()) <= 1e-9 * std::abs(values[i])) {
            phaseCrossings.push_back({thetas[i], values[i]});
        }
    }
    for (std::size_t i = 0; i + 1 < values.size(); ++i) {
        const Complex a = values[i], e = values[i + 1];
        if (!finite(a) || !finite(e)) {
            continue;
        }
        if ((std::abs(a) < 1.0) != (std::abs(e) < 1.0)) {
            const double t = bisect(thetas[i], thetas[i + 1], logGain);
            gainCrossings.push_back({t, response.at(t)});
        }
        // A sign change of the imaginary part strictly inside the interval
        // (the ends are real and were taken above).
        const bool interior = i > 0 && i + 2 < values.size();
        if (interior && (a.imag() < 0.0) != (e.imag() < 0.0)) {
            const double t = bisect(thetas[i], thetas[i + 1], imaginary);
            const Complex v = response.at(t);
            if (v.real() < 0.0) {
                phaseCrossings.push_back({t, v});
            }
        }
    }

    // Lowest frequency first, so that of equal margins the lowest is reported.
    const auto byFrequency = [](const Crossing& x, const Crossing& y) { return x.theta < y.theta; };
    std::sort(phaseCrossings.begin(), phaseCrossings.end(), byFrequency);
    std::sort(gainCrossings.begin(), gainCrossings.end(), byFrequency);

    LoopMargins m;
    m.gainIncreaseDb = kInfinity;
    m.gainReductionDb = kInfinity;
    m.gainMarginDb = kInfinity;
    m.phaseCrossoverHz = kNaN;
    const double toHz = 1.0 / (2.0 * kPi * samplePeriod);
    for (const Crossing& x : phaseCrossings) {
        const double db = -20.0 * std::log10(std::abs(x.value));
        if (db >= 0.0) {
            m.gainIncreaseDb = std::min(m.gainIncreaseDb, db);
        } else {
            m.gainReductionDb = std::min(m.gainReductionDb, -db);
        }
        // Equal margins within rounding keep the lower frequency.
        if (std::fabs(db) < m.gainMarginDb - kSameMarginDb) {
            m.gainMarginDb = std::fabs(db);
            m.phaseCrossoverHz = x.theta * toHz;
        }
    }
    m.phaseMarginDeg = kInfinity;
    m.crossoverHz = kNaN;
    for (const Crossing& x : gainCrossings) {
        const double pm = 180.0 - std::fabs(std::arg(x.value)) * 180.0 / kPi;
        if (pm < m.phaseMarginDeg) {
            m.phaseMarginDeg = pm;
            m.crossoverHz = x.theta * toHz;
        }
    }
    return m;
}

}  // namespace analysis
