// SPDX-License-Identifier: MIT
#include "sim/ident/linear_aircraft.h"

#include <algorithm>
#include <cmath>

#include "sim/units.h"

namespace ident {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadToDeg = 180.0 / kPi;

double wrapDegrees(double deg) {
    double d = std::fmod(deg, 360.0);
    if (d < 0.0) {
        d += 360.0;
    }
    return d >= 360.0 ? 0.0 : d;
}

// The wind's components along the heading, to the right of it and up.
struct HeadingWind {
    double forward, right, up;
};
HeadingWind inHeadingFrame(const flight::WindVector& w, double heading) {
    const double c = std::cos(heading), s = std::sin(heading);
    return {w.north * c + w.east * s, -w.north * s + w.east * c, -w.down};
}

bool inRange(const flight::Controls& c) {
    const auto within = [](double v, double lo, double hi) { return v >= lo && v <= hi; };
    return within(c.elevator, -16383.0, 16383.0) && within(c.aileron, -16383.0, 16383.0)
           && within(c.rudder, -16383.0, 16383.0) && within(c.throttle, 0.0, 16384.0);
}

}  // namespace

LinearAircraft::LinearAircraft(const HoverModel& model) : model_(model) {
    // The flight model's grid: its physics rate and turbulence cadence, so
    // the same wind field is sampled at the same times.
    const flight::Parameters grid{};
    stepS_ = 1.0 / grid.physicsRateHz;
    turbulenceEverySteps_ = grid.turbulenceEverySteps;
    trim_ = flight::Controls{.elevator = model.trimElevator,
                             .aileron = model.trimAileron,
                             .rudder = model.trimRudder,
                             .throttle = model.trimThrottle};
    controls_ = trim_;
    x_[kH] = model.heightFt * units::kMetresPerFoot;
    Eigen::MatrixXd A, B;
    stateMatrices(model, A, B);
    for (Eigen::Index i = 0; i < A.rows(); ++i) {
        for (Eigen::Index j = 0; j < A.cols(); ++j) {
            A_[i][j] = A(i, j);
        }
        for (Eigen::Index c = 0; c < B.cols(); ++c) {
            B_[i][c] = B(i, c);
        }
    }
}

void LinearAircraft::settleRotor() {
    for (int lag = kStateCount; lag < kExtendedStateCount; ++lag) {
        x_[static_cast<std::size_t>(lag)] = 0.0;
    }
    const Vector d = rate(x_, currentWind_);
    for (int lag = kStateCount; lag < kExtendedStateCount; ++lag) {
        const double self = A_[lag][lag];
        x_[static_cast<std::size_t>(lag)] = self != 0.0 ? -d[static_cast<std::size_t>(lag)] / self : 0.0;
    }
}

bool LinearAircraft::setUp(const LinearStart& start, const flight::WindSettings& wind) {
    wind_.configure(wind);
    wind_.clearGusts();
    timeS_ = 0.0;
    pastGridS_ = 0.0;
    steps_ = 0;
    northM_ = eastM_ = 0.0;
    heading_ = start.headingDeg / kRadToDeg;
    x_.fill(0.0);
    x_[kH] = start.heightFt * units::kMetresPerFoot;
    const double speed = start.groundSpeedKt * units::kMetresPerSecondPerKnot;
    const double track = start.trackDeg / kRadToDeg;
    x_[kU] = speed * std::cos(track - heading_);
    x_[kV] = speed * std::sin(track - heading_);
    currentWind_ = wind_.at(0.0);

    // The balance at the start's speed through the air: the two cyclic
    // offsets hold the pitch and roll moments, the collective the heave
    // (no climb), the pedals the collective's torque, and the attitude the
    // two forces.
    const HeadingWind air = inHeadingFrame(wind_.steady(), heading_);
    const double du = x_[kU] - air.forward, dv = x_[kV] - air.right, dw = -air.up;
    const double det = term(kMe) * term(kLa) - term(kMa) * term(kLe);
    const double pitchMoment = -term(kMu) * du, rollMoment = -term(kLv) * dv;
    bool trimmed = det != 0.0;
    double de = 0.0, da = 0.0, dc = 0.0, dr = 0.0;
    if (trimmed) {
        de = (pitchMoment * term(kLa) - term(kMa) * rollMoment) / det;
        da = (term(kMe) * rollMoment - term(kLe) * pitchMoment) / det;
    }
    const double heave = -term(kZw) * dw;
    if (term(kZc) != 0.0) {
        dc = heave / term(kZc);
    } else {
        trimmed = trimmed && heave == 0.0;
    }
    if (term(kNd) != 0.0) {
        dr = -term(kNc) * dc / term(kNd);
    } else {
        trimmed = trimmed && term(kNc) * dc == 0.0;
    }
    flight::Controls c{.elevator = model_.trimElevator + de,
                       .aileron = model_.trimAileron + da,
                       .rudder = model_.trimRudder + dr,
                       .throttle = model_.trimThrottle + dc};
    trimmed = trimmed && std::isfinite(de + da + dr + dc) && inRange(c);
    if (!trimmed) {
        c = flight::Controls{.elevator = model_.trimElevator,
                             .aileron = model_.trimAileron,
                             .rudder = model_.trimRudder,
                             .throttle = model_.trimThrottle};
        de = da = dr = dc = 0.0;
    }
    x_[kTheta] = (term(kXu) * du + term(kXe) * de) / kGravity;
    x_[kPhi] = -(term(kYv) * dv + term(kYa) * da + term(kYr) * dr) / kGravity;
    trim_ = c;
    controls_ = c;
    settleRotor();
    return trimmed;
}

void LinearAircraft::setWind(const flight::WindSettings& wind) {
    wind_.configure(wind);
}

LinearAircraft::Vector LinearAircraft::rate(const Vector& x, const flight::WindVector& wind) const {
    const HeadingWind air = inHeadingFrame(wind, heading_);
    const double u = x[kU] - air.forward, v = x[kV] - air.right, w = x[kW] - air.up;
    const double dc = controls_.throttle - model_.trimThrottle;
    const double de = controls_.elevator - model_.trimElevator;
    const double da = controls_.aileron - model_.trimAileron;
    const double dr = controls_.rudder - model_.trimRudder;
    // Every term on the speed through the air; the height on the speed over the ground.
    Vector xa = x;
    xa[kU] = u;
    xa[kV] = v;
    xa[kW] = w;
    const double input[analysis::kInputCount] = {dc, de, da, dr};
    Vector d{};
    for (int i = 0; i < kExtendedStateCount; ++i) {
        double sum = 0.0;
        for (int j = 0; j < kExtendedStateCount; ++j) {
            sum += A_[i][j] * xa[static_cast<std::size_t>(j)];
        }
        for (int c = 0; c < analysis::kInputCount; ++c) {
            sum += B_[i][c] * input[c];
        }
        d[static_cast<std::size_t>(i)] = sum;
    }
    d[kH] = x[kW];
    return d;
}

void LinearAircraft::step(double h) {
    if (pastGridS_ == 0.0 && turbulenceEverySteps_ > 0
        && steps_ % static_cast<std::uint64_t>(turbulenceEverySteps_) == 0) {
        // As the flight model does: the filters move on with the grid, at
        // the height and the speed over the mean wind.
        const flight::WindVector mean = wind_.steady();
        const double c = std::cos(heading_), s = std::sin(heading_);
        const double vn = x_[kU] * c - x_[kV] * s, ve = x_[kU] * s + x_[kV] * c;
        const double dn = vn - mean.north, de = ve - mean.east;
        wind_.updateTurbulence(stepS_ * turbulenceEverySteps_, std::max(0.0, x_[kH]),
                               std::sqrt(dn * dn + de * de));
    }
    currentWind_ = wind_.at(timeS_ + 0.5 * h);
    const Vector k1 = rate(x_, currentWind_);
    Vector xs{};
    for (std::size_t i = 0; i < x_.size(); ++i) {
        xs[i] = x_[i] + 0.5 * h * k1[i];
    }
    const Vector k2 = rate(xs, currentWind_);
    for (std::size_t i = 0; i < x_.size(); ++i) {
        xs[i] = x_[i] + 0.5 * h * k2[i];
    }
    const Vector k3 = rate(xs, currentWind_);
    for (std::size_t i = 0; i < x_.size(); ++i) {
        xs[i] = x_[i] + h * k3[i];
    }
    const Vector k4 = rate(xs, currentWind_);
    const double r0 = x_[kR];
    const double u0 = x_[kU], v0 = x_[kV];
    for (std::size_t i = 0; i < x_.size(); ++i) {
        x_[i] += h / 6.0 * (k1[i] + 2.0 * (k2[i] + k3[i]) + k4[i]);
    }
    // The heading and the position: the trapezoid over the step.
    const double headingBefore = heading_;
    heading_ += 0.5 * h * (r0 + x_[kR]);
    const double mid = 0.5 * (headingBefore + heading_);
    const double u = 0.5 * (u0 + x_[kU]), v = 0.5 * (v0 + x_[kV]);
    northM_ += h * (u * std::cos(mid) - v * std::sin(mid));
    eastM_ += h * (u * std::sin(mid) + v * std::cos(mid));
}

void LinearAircraft::advance(double dtSeconds) {
    if (!(dtSeconds > 0.0) || !std::isfinite(dtSeconds)) {
        return;
    }
    // The flight model's grid, split where a frame ends inside a step.
    const double slack = 1e-9 * stepS_;
    double remaining = dtSeconds;
    while (remaining > slack) {
        const double toGrid = stepS_ - pastGridS_;
        if (remaining >= toGrid - slack) {
            step(toGrid);
            remaining -= toGrid;
            ++steps_;
            pastGridS_ = 0.0;
            timeS_ = static_cast<double>(steps_) * stepS_;
        } else {
            step(remaining);
            pastGridS_ += remaining;
            timeS_ = static_cast<double>(steps_) * stepS_ + pastGridS_;
            remaining = 0.0;
        }
    }
}

flight::HostReadings LinearAircraft::readings() const {
    flight::HostReadings r;
    const double c = std::cos(heading_), s = std::sin(heading_);
    const double vn = x_[kU] * c - x_[kV] * s, ve = x_[kU] * s + x_[kV] * c;
    r.headingDeg = wrapDegrees(heading_ * kRadToDeg);
    r.groundVelNorthFtS = vn * units::kFeetPerMetre;
    r.groundVelEastFtS = ve * units::kFeetPerMetre;
    r.groundVelUpFtS = x_[kW] * units::kFeetPerMetre;
    r.yawRateTurn65536 = x_[kR] / (2.0 * kPi) * 65536.0;
    // The linear model knows no ground: the reading stops at it.
    r.radarHeightM = std::max(0.0, x_[kH]);
    r.rotorSpeedPercent = 100.0;
    r.pitchNoseDownDeg = -x_[kTheta] * kRadToDeg;
    r.bankRightDeg = x_[kPhi] * kRadToDeg;
    const double wn = currentWind_.north, we = currentWind_.east;
    const double ws = std::sqrt(wn * wn + we * we);
    r.windSpeedKt = ws * units::kKnotsPerMetrePerSecond;
    r.windFromDeg = ws > 0.0 ? wrapDegrees(std::atan2(-we, -wn) * kRadToDeg) : 0.0;
    r.controls = controls_;
    return r;
}

}  // namespace ident
