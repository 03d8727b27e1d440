// SPDX-License-Identifier: MIT
#include "sim/scenario/pilot.h"

#include <algorithm>
#include <cmath>

#include "sim/units.h"

namespace host {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDegreesPerYawUnit = 360.0 / 65536.0;
// What he asks of the aircraft stays within what a pilot would ask near
// the hover, however far the drift has gone.
constexpr double kMostAttitudeDeg = 10.0;
constexpr double kMostDriftKt = 5.0;
constexpr double kMostClimbFtS = 5.0;
constexpr double kCyclicTravel = 16383.0;
constexpr double kCollectiveTravel = 16384.0;

int32_t counts(double value, double lowest, double highest) {
    // Clamped before it becomes an integer; NaN stays where the hand is not.
    const double within = std::isnan(value) ? 0.0 : std::clamp(value, lowest, highest);
    return static_cast<int32_t>(std::lround(within));
}

double wrap180(double deg) {
    double d = std::fmod(deg, 360.0);
    if (d > 180.0)
        d -= 360.0;
    if (d < -180.0)
        d += 360.0;
    return d;
}

}  // namespace

const Pilot::Seen& Pilot::perceived(double now) const {
    const double cutoff = now - settings_.reactionS + 1e-9;
    return seen_.size() > 1 && seen_[1].timeS <= cutoff ? seen_[1] : seen_[0];
}

void Pilot::act(GaugeHost& gaugeHost) {
    Seen now{};
    now.timeS = gaugeHost.token(kTokenSimulationTime);
    now.headingDeg = gaugeHost.token(kTokenHeading);
    now.pitchDownDeg = gaugeHost.token(kTokenPitch);
    now.bankLeftDeg = gaugeHost.token(kTokenBankLeft);
    now.velocityNorthFtS = gaugeHost.token(kTokenVelocityNorth);
    now.velocityEastFtS = gaugeHost.token(kTokenVelocityEast);
    now.verticalSpeedFtS = gaugeHost.token(kTokenVerticalSpeed);
    now.yawRateDegS = gaugeHost.token(kTokenYawRate) * kDegreesPerYawUnit;
    now.heightFt = gaugeHost.token(kTokenRadarHeight) * units::kFeetPerMetre;
    if (!started_) {
        started_ = true;
        applied_ = ControlPositions{};
        hand_ = gaugeHost.controls();
        startHeadingDeg_ = now.headingDeg;
        startPitchDownDeg_ = now.pitchDownDeg;
        startBankLeftDeg_ = now.bankLeftDeg;
        startHeightFt_ = now.heightFt;
    } else {
        // Where he is, from the drift he has seen since the last look.
        const Seen& last = seen_.back();
        const double dt = std::max(now.timeS - last.timeS, 0.0);
        now.northFt = last.northFt + 0.5 * (last.velocityNorthFtS + now.velocityNorthFtS) * dt;
        now.eastFt = last.eastFt + 0.5 * (last.velocityEastFtS + now.velocityEastFtS) * dt;
    }
    seen_.push_back(now);
    // Kept: the look a reaction time ago and the one before it, for rates.
    const double cutoff = now.timeS - settings_.reactionS + 1e-9;
    while (seen_.size() > 2 && seen_[2].timeS <= cutoff) {
        seen_.pop_front();
    }
    const Seen& s = perceived(now.timeS);
    const Seen& before = seen_.size() > 1 && &s == &seen_[1] ? seen_[0] : s;
    const double lookDt = s.timeS - before.timeS;
    const double pitchRate = lookDt > 0.0 ? (s.pitchDownDeg - before.pitchDownDeg) / lookDt : 0.0;
    const double bankRate = lookDt > 0.0 ? (s.bankLeftDeg - before.bankLeftDeg) / lookDt : 0.0;

    const double psi = s.headingDeg * kRadiansPerDegree;
    const double c = std::cos(psi);
    const double sn = std::sin(psi);
    const double forwardKt = (s.velocityNorthFtS * c + s.velocityEastFtS * sn) * units::kKnotsPerFootPerSecond;
    const double rightKt = (s.velocityEastFtS * c - s.velocityNorthFtS * sn) * units::kKnotsPerFootPerSecond;
    const double aheadFt = s.northFt * c + s.eastFt * sn;
    const double rightFt = s.eastFt * c - s.northFt * sn;

    const PilotSettings& g = settings_;
    // Forward cyclic lowers the nose; to stop a forward drift he raises it.
    const double forwardWanted = std::clamp(-g.positionKtPerFt * aheadFt, -kMostDriftKt, kMostDriftKt);
    // Attitudes are wanted against the hover's own, where he took over.
    const double pitchWanted =
        startPitchDownDeg_
        + std::clamp(-g.speedDegPerKt * (forwardKt - forwardWanted), -kMostAttitudeDeg, kMostAttitudeDeg);
    const double elevator =
        g.attitudeCountsPerDeg * (pitchWanted - s.pitchDownDeg) - g.attitudeRateCountsPerDegS * pitchRate;
    // Left cyclic rolls left; to stop a drift to the right he banks left.
    const double rightWanted = std::clamp(-g.positionKtPerFt * rightFt, -kMostDriftKt, kMostDriftKt);
    const double bankWanted =
        startBankLeftDeg_
        + std::clamp(g.speedDegPerKt * (rightKt - rightWanted), -kMostAttitudeDeg, kMostAttitudeDeg);
    const double aileron =
        g.attitudeCountsPerDeg * (bankWanted - s.bankLeftDeg) - g.attitudeRateCountsPerDegS * bankRate;
    // Left pedal turns the nose left, against a heading that has gone right.
    const double headingError = wrap180(s.headingDeg - startHeadingDeg_);
    const double rudder = g.headingCountsPerDeg * headingError + g.yawRateCountsPerDegS * s.yawRateDegS;
    const double climbWanted =
        std::clamp(g.heightFtSPerFt * (startHeightFt_ - s.heightFt), -kMostClimbFtS, kMostClimbFtS);
    const double throttle = g.climbCountsPerFtS * (climbWanted - s.verticalSpeedFtS);

    // Each control moves from where it stands by the change of his
    // correction since the hand last moved, at most maxMoveCounts; what the
    // bound holds back he makes up in the next updates. What the hand has
    // made is counted from the position the host shows after the move, so
    // pushing against a stop winds nothing up.
    const ControlPositions standing = gaugeHost.controls();
    const auto move = [&](uint32_t event, double correction, double lowest, double highest, double standingAt,
                          double& applied, double& hand) {
        const double change = correction - applied;
        if (!std::isfinite(change) || !std::isfinite(standingAt)) {
            return;  // he cannot tell what to do: the hand stays
        }
        const double step = std::clamp(change, -g.maxMoveCounts, g.maxMoveCounts);
        const int32_t value = counts(standingAt + step, lowest, highest);
        gaugeHost.pilotEvent(event, value);
        applied += value - standingAt;
        hand = value;
    };
    move(kEventElevator, elevator, -kCyclicTravel, kCyclicTravel, standing.elevator, applied_.elevator,
         hand_.elevator);
    move(kEventAileron, aileron, -kCyclicTravel, kCyclicTravel, standing.aileron, applied_.aileron, hand_.aileron);
    move(kEventRudder, rudder, -kCyclicTravel, kCyclicTravel, standing.rudder, applied_.rudder, hand_.rudder);
    move(kEventThrottle, throttle, 0.0, kCollectiveTravel, standing.throttle, applied_.throttle, hand_.throttle);
}

}  // namespace host
