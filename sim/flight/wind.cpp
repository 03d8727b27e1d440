// SPDX-License-Identifier: MIT
#include "sim/flight/wind.h"

#include <algorithm>
#include <cmath>

#include "sim/units.h"

namespace flight {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kKtToMps = units::kMetresPerSecondPerKnot;
constexpr double kFtToM = units::kMetresPerFoot;

// Dryden's time scale L / V collapses as the airspeed goes to zero in a
// hover; below this speed the turbulence is convected as if at this speed.
constexpr double kMinConvectionSpeed = 5.0;  // m/s
constexpr double kRecomputeHeightM = 0.5;
constexpr double kRecomputeSpeedMps = 0.25;

}  // namespace

void WindField::configure(const WindSettings& settings) {
    settings_ = settings;
    const double from = settings.fromDirectionDeg * kDegToRad;
    const double speed = settings.speedKt * kKtToMps;
    // Blowing from the north means moving south.
    steady_.north = -speed * std::cos(from);
    steady_.east = -speed * std::sin(from);
    steady_.down = 0.0;
    axisCos_ = -std::cos(from);
    axisSin_ = -std::sin(from);
    random_.seed(settings.seed);
    spareValid_ = false;
    spare_ = 0.0;
    uState_ = v1_ = v2_ = w1_ = w2_ = 0.0;
    uGust_ = vGust_ = wGust_ = 0.0;
    coeff_ = Coefficients{};
}

void WindField::addGust(const GustEvent& gust) {
    gusts_.push_back(gust);
}

void WindField::clearGusts() {
    gusts_.clear();
}

double WindField::gaussian() {
    // Box-Muller on the 32-bit Mersenne twister: the engine's sequence is
    // fixed by the standard, unlike std::normal_distribution's algorithm.
    if (spareValid_) {
        spareValid_ = false;
        return spare_;
    }
    const double u1 = (static_cast<double>(random_()) + 1.0) / 4294967296.0;  // (0, 1]
    const double u2 = static_cast<double>(random_()) / 4294967296.0;          // [0, 1)
    const double radius = std::sqrt(-2.0 * std::log(u1));
    const double angle = 2.0 * kPi * u2;
    spare_ = radius * std::sin(angle);
    spareValid_ = true;
    return radius * std::cos(angle);
}

void WindField::updateTurbulence(double dt, double heightM, double airspeedMps) {
    if (settings_.turbulenceW20Kt <= 0.0 || !(dt > 0.0)) {
        uGust_ = vGust_ = wGust_ = 0.0;
        return;
    }
    const double speed = std::max(airspeedMps, kMinConvectionSpeed);
    if (std::fabs(heightM - coeff_.heightM) > kRecomputeHeightM
        || std::fabs(speed - coeff_.airspeedMps) > kRecomputeSpeedMps || dt != coeff_.dt) {
        // MIL-HDBK-1797 low altitude (below 1000 ft), lengths and height in feet.
        const double hFt = std::clamp(heightM / kFtToM, 10.0, 1000.0);
        const double base = 0.177 + 0.000823 * hFt;
        const double lengthU = hFt / std::pow(base, 1.2) * kFtToM;  // also the lateral length
        const double lengthW = hFt * kFtToM;
        coeff_.heightM = heightM;
        coeff_.airspeedMps = speed;
        coeff_.dt = dt;
        coeff_.sigmaW = 0.1 * settings_.turbulenceW20Kt * kKtToMps;
        coeff_.sigmaU = coeff_.sigmaW / std::pow(base, 0.4);
        coeff_.aU = std::exp(-dt * speed / lengthU);
        coeff_.bU = std::sqrt(1.0 - coeff_.aU * coeff_.aU);
        coeff_.aW = std::exp(-dt * speed / lengthW);
        coeff_.bW = std::sqrt(1.0 - coeff_.aW * coeff_.aW);
    }
    const Coefficients& c = coeff_;

    // u: first-order Gauss-Markov with variance sigmaU^2, exact in discrete time.
    uState_ = c.aU * uState_ + c.bU * gaussian();
    uGust_ = c.sigmaU * uState_;

    // v and w: (1 + sqrt3 tau s) / (1 + tau s)^2 = sqrt3 / (1 + tau s)
    // + (1 - sqrt3) / (1 + tau s)^2. Stage 1 has unit variance, stage 2 is
    // stage 1 filtered again (variance 1/2, covariance with stage 1 also
    // 1/2), so sqrt3 x1 + (1 - sqrt3) x2 has variance 2.
    constexpr double kSqrt3 = 1.7320508075688772;
    constexpr double kInvSqrt2 = 0.7071067811865476;
    v1_ = c.aU * v1_ + c.bU * gaussian();
    v2_ = c.aU * v2_ + (1.0 - c.aU) * v1_;
    vGust_ = c.sigmaU * kInvSqrt2 * (kSqrt3 * v1_ + (1.0 - kSqrt3) * v2_);

    w1_ = c.aW * w1_ + c.bW * gaussian();
    w2_ = c.aW * w2_ + (1.0 - c.aW) * w1_;
    wGust_ = c.sigmaW * kInvSqrt2 * (kSqrt3 * w1_ + (1.0 - kSqrt3) * w2_);
}

WindVector WindField::at(double timeS) const {
    WindVector wind = steady_;
    for (const GustEvent& gust : gusts_) {
        const double s = timeS - gust.startS;
        if (gust.durationS <= 0.0 || s <= 0.0 || s >= gust.durationS) {
            continue;
        }
        const double shape = 0.5 * (1.0 - std::cos(2.0 * kPi * s / gust.durationS));
        const double from = gust.fromDirectionDeg * kDegToRad;
        const double horizontal = gust.peakKt * kKtToMps * shape;
        wind.north -= horizontal * std::cos(from);
        wind.east -= horizontal * std::sin(from);
        wind.down -= gust.peakUpKt * kKtToMps * shape;
    }
    // Turbulence axes: along the mean wind, across it (to its right), down.
    // With no mean wind the axes are those a wind from the set direction would have.
    wind.north += uGust_ * axisCos_ - vGust_ * axisSin_;
    wind.east += uGust_ * axisSin_ + vGust_ * axisCos_;
    wind.down += wGust_;
    return wind;
}

}  // namespace flight
