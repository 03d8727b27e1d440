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

std::array<bool, kPilotAxisCount> axesMoved(const std::vector<SentEvent>& events) {
    std::array<bool, kPilotAxisCount> moved{};
    for (const SentEvent& e : events) {
        switch (e.id) {
        case kEventElevator:
            moved[static_cast<size_t>(PilotAxis::kElevator)] = true;
            break;
        case kEventAileron:
            moved[static_cast<size_t>(PilotAxis::kAileron)] = true;
            break;
        case kEventRudder:
            moved[static_cast<size_t>(PilotAxis::kRudder)] = true;
            break;
        case kEventThrottle:
            moved[static_cast<size_t>(PilotAxis::kThrottle)] = true;
            break;
        default:
            break;
        }
    }
    return moved;
}

const Pilot::Seen& Pilot::perceived(double now) const {
    const double cutoff = now - settings_.reactionS + 1e-9;
    return seen_.size() > 1 && seen_[1].timeS <= cutoff ? seen_[1] : seen_[0];
}

void Pilot::act(GaugeHost& gaugeHost, const std::array<bool, kPilotAxisCount>& leaveAlone) {
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
        trim_ = gaugeHost.controls();
        hand_ = trim_;
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
        trim_.elevator + g.attitudeCountsPerDeg * (pitchWanted - s.pitchDownDeg) - g.attitudeRateCountsPerDegS * pitchRate;
    // Left cyclic rolls left; to stop a drift to the right he banks left.
    const double rightWanted = std::clamp(-g.positionKtPerFt * rightFt, -kMostDriftKt, kMostDriftKt);
    const double bankWanted =
        startBankLeftDeg_
        + std::clamp(g.speedDegPerKt * (rightKt - rightWanted), -kMostAttitudeDeg, kMostAttitudeDeg);
    const double aileron =
        trim_.aileron + g.attitudeCountsPerDeg * (bankWanted - s.bankLeftDeg) - g.attitudeRateCountsPerDegS * bankRate;
    // Left pedal turns the nose left, against a heading that has gone right.
    const double headingError = wrap180(s.headingDeg - startHeadingDeg_);
    const double rudder = trim_.rudder + g.headingCountsPerDeg * headingError + g.yawRateCountsPerDegS * s.yawRateDegS;
    const double climbWanted =
        std::clamp(g.heightFtSPerFt * (startHeightFt_ - s.heightFt), -kMostClimbFtS, kMostClimbFtS);
    const double throttle = trim_.throttle + g.climbCountsPerFtS * (climbWanted - s.verticalSpeedFtS);

    const ControlPositions& standing = gaugeHost.controls();
    const auto move = [&](PilotAxis axis, uint32_t event, double wanted, double lowest, double highest,
                          double standingAt, double& hand) {
        if (leaveAlone[static_cast<size_t>(axis)]) {
            hand = standingAt;
            return;
        }
        const int32_t value = counts(wanted, lowest, highest);
        hand = value;
        gaugeHost.pilotEvent(event, value);
    };
    move(PilotAxis::kElevator, kEventElevator, elevator, -kCyclicTravel, kCyclicTravel, standing.elevator,
         hand_.elevator);
    move(PilotAxis::kAileron, kEventAileron, aileron, -kCyclicTravel, kCyclicTravel, standing.aileron,
         hand_.aileron);
    move(PilotAxis::kRudder, kEventRudder, rudder, -kCyclicTravel, kCyclicTravel, standing.rudder, hand_.rudder);
    move(PilotAxis::kThrottle, kEventThrottle, throttle, 0.0, kCollectiveTravel, standing.throttle,
         hand_.throttle);
}

}  // namespace host
