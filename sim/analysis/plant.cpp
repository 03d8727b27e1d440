// SPDX-License-Identifier: MIT
#include "sim/analysis/plant.h"

#include <cmath>
#include <cstddef>

#include "sim/units.h"

namespace analysis {

namespace {

using Heli = flight::Helicopter;
using StateVector = Heli::StateVector;

// The module's conversions of the host's readings (its loop units).
using units::kMetresPerFoot;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDegPerSecPerYawUnit = 360.0 / 65536.0;
using units::kFeetPerMetre;

// Finite-difference steps: small against the hover's scales, large against
// the model's rounding. Central differences, so the error is second order.
constexpr double kStateStep = 1e-5;   // relative to max(1, |x|)
constexpr double kControlStep = 0.5;  // counts
constexpr double kAngleStep = 1e-6;   // rad

// Quaternion of heading, pitch (nose up) and roll (right wing down), the
// model's 3-2-1 sequence.
void setAttitude(StateVector& x, double heading, double pitch, double roll) {
    const double ch = std::cos(0.5 * heading), sh = std::sin(0.5 * heading);
    const double cp = std::cos(0.5 * pitch), sp = std::sin(0.5 * pitch);
    const double cr = std::cos(0.5 * roll), sr = std::sin(0.5 * roll);
    x[Heli::kQ0] = cr * cp * ch + sr * sp * sh;
    x[Heli::kQ1] = sr * cp * ch - cr * sp * sh;
    x[Heli::kQ2] = cr * sp * ch + sr * cp * sh;
    x[Heli::kQ3] = cr * cp * sh - sr * sp * ch;
}

struct Attitude {
    double roll, pitch, heading;
};

Attitude attitudeOf(const StateVector& x) {
    const double q0 = x[Heli::kQ0], q1 = x[Heli::kQ1], q2 = x[Heli::kQ2], q3 = x[Heli::kQ3];
    Attitude a{};
    a.roll = std::atan2(2.0 * (q0 * q1 + q2 * q3), 1.0 - 2.0 * (q1 * q1 + q2 * q2));
    a.pitch = std::asin(std::fmax(-1.0, std::fmin(1.0, 2.0 * (q0 * q2 - q3 * q1))));
    a.heading = std::atan2(2.0 * (q0 * q3 + q1 * q2), 1.0 - 2.0 * (q2 * q2 + q3 * q3));
    return a;
}

bool isBookkeeping(int index) {
    return index == Heli::kNorth || index == Heli::kEast || (index >= Heli::kQ0 && index <= Heli::kQ3);
}

// Maps the reduced state to the model's and back; the reduced state is every
// model state that matters, then roll and pitch.
class Coordinates {
public:
    Coordinates(const StateVector& trim) : trim_(trim), attitude_(attitudeOf(trim)) {
        for (int i = 0; i < Heli::kStateSize; ++i) {
            if (!isBookkeeping(i)) {
                kept_.push_back(i);
            }
        }
    }
    int size() const { return static_cast<int>(kept_.size()) + 2; }
    int rollIndex() const { return static_cast<int>(kept_.size()); }
    int pitchIndex() const { return rollIndex() + 1; }
    const std::vector<int>& kept() const { return kept_; }

    StateVector full(const Eigen::VectorXd& dx) const {
        StateVector x = trim_;
        for (std::size_t k = 0; k < kept_.size(); ++k) {
            x[static_cast<std::size_t>(kept_[k])] += dx(static_cast<Eigen::Index>(k));
        }
        setAttitude(x, attitude_.heading, attitude_.pitch + dx(pitchIndex()),
                    attitude_.roll + dx(rollIndex()));
        return x;
    }

    // The reduced state's rate: the model's own rates, and the Euler-angle
    // rates of its body rates.
    Eigen::VectorXd rate(const Heli& heli, const Eigen::VectorXd& dx) const {
        const StateVector x = full(dx);
        const StateVector d = heli.derivative(x, flight::WindVector{});
        Eigen::VectorXd out(size());
        for (std::size_t k = 0; k < kept_.size(); ++k) {
            out(static_cast<Eigen::Index>(k)) = d[static_cast<std::size_t>(kept_[k])];
        }
        const double roll = attitude_.roll + dx(rollIndex());
        const double pitch = attitude_.pitch + dx(pitchIndex());
        const double p = x[Heli::kP], q = x[Heli::kQ], r = x[Heli::kR];
        out(rollIndex()) = p + (q * std::sin(roll) + r * std::cos(roll)) * std::tan(pitch);
        out(pitchIndex()) = q * std::cos(roll) - r * std::sin(roll);
        return out;
    }

private:
    StateVector trim_;
    Attitude attitude_;
    std::vector<int> kept_;
};

// The module's measurements from the host's readings of a model state.
Eigen::VectorXd measure(Heli& heli, const StateVector& x) {
    heli.setStateVector(x);
    const flight::HostReadings r = heli.readings();
    const double vN = r.groundVelNorthFtS * kMetresPerFoot;
    const double vE = r.groundVelEastFtS * kMetresPerFoot;
    const double psi = r.headingDeg * kRadiansPerDegree;
    Eigen::VectorXd y(kOutputCount);
    y(kUpSpeed) = r.groundVelUpFtS * kMetresPerFoot;
    y(kForwardSpeed) = vN * std::cos(psi) + vE * std::sin(psi);
    y(kRightSpeed) = vE * std::cos(psi) - vN * std::sin(psi);
    y(kTurnRate) = r.yawRateTurn65536 * kDegPerSecPerYawUnit;
    y(kHeightFt) = r.radarHeightM * kFeetPerMetre;
    return y;
}

const char* modelStateName(int index) {
    switch (index) {
    case Heli::kDown:
        return "down (m)";
    case Heli::kU:
        return "u (m/s)";
    case Heli::kV:
        return "v (m/s)";
    case Heli::kW:
        return "w (m/s)";
    case Heli::kP:
        return "p (rad/s)";
    case Heli::kQ:
        return "q (rad/s)";
    case Heli::kR:
        return "r (rad/s)";
    default:
        return nullptr;
    }
}

void setControl(flight::Controls& c, int input, double value) {
    switch (input) {
    case kThrottle:
        c.throttle = value;
        break;
    case kElevator:
        c.elevator = value;
        break;
    case kAileron:
        c.aileron = value;
        break;
    default:
        c.rudder = value;
        break;
    }
}

double control(const flight::Controls& c, int input) {
    switch (input) {
    case kThrottle:
        return c.throttle;
    case kElevator:
        return c.elevator;
    case kAileron:
        return c.aileron;
    default:
        return c.rudder;
    }
}

}  // namespace

LinearPlant linearisePlant(const flight::Parameters& aircraft, const HoverPoint& point) {
    LinearPlant plant;
    Heli heli(aircraft);
    flight::TrimRequest request;
    request.heightFt = point.heightFt;
    request.headingDeg = point.headingDeg;
    plant.trimmed = heli.trim(request, flight::WindSettings{});
    plant.trimControls = heli.controls();
    plant.trimState = heli.stateVector();

    const Coordinates coords(plant.trimState);
    const int n = coords.size();
    plant.A = Eigen::MatrixXd::Zero(n, n);
    plant.B = Eigen::MatrixXd::Zero(n, kInputCount);
    plant.C = Eigen::MatrixXd::Zero(kOutputCount, n);

    const Eigen::VectorXd zero = Eigen::VectorXd::Zero(n);
    for (int j = 0; j < n; ++j) {
        double h = kAngleStep;
        if (j < coords.rollIndex()) {
            const double base =
                plant.trimState[static_cast<std::size_t>(coords.kept()[static_cast<std::size_t>(j)])];
            h = kStateStep * std::fmax(1.0, std::fabs(base));
        }
        Eigen::VectorXd up = zero, down = zero;
        up(j) = h;
        down(j) = -h;
        plant.A.col(j) = (coords.rate(heli, up) - coords.rate(heli, down)) / (2.0 * h);
        plant.C.col(j) = (measure(heli, coords.full(up)) - measure(heli, coords.full(down))) / (2.0 * h);
    }
    for (int i = 0; i < kInputCount; ++i) {
        flight::Controls c = plant.trimControls;
        const double base = control(c, i);
        setControl(c, i, base + kControlStep);
        heli.setControls(c);
        const Eigen::VectorXd up = coords.rate(heli, zero);
        setControl(c, i, base - kControlStep);
        heli.setControls(c);
        const Eigen::VectorXd down = coords.rate(heli, zero);
        plant.B.col(i) = (up - down) / (2.0 * kControlStep);
    }
    heli.setControls(plant.trimControls);
    heli.setStateVector(plant.trimState);

    for (int index : coords.kept()) {
        const char* name = modelStateName(index);
        plant.stateNames.push_back(name != nullptr ? name : "model state " + std::to_string(index));
    }
    plant.stateNames.push_back("roll (rad)");
    plant.stateNames.push_back("pitch (rad)");
    return plant;
}

}  // namespace analysis
