// SPDX-License-Identifier: MIT
//
// The per-frame estimation: the time step, the engagement check with height
// hold, the body-axis speeds, the four filtered loops with their anti-windup
// rules, and the bumpless integral presets while the hold is not engaged.
//
// Every loop keeps its filter, rate and integral finite: a frame whose
// reading (or arithmetic) would give a loop a NaN or an infinity skips that
// loop's update, so one bad host value cannot stay in a filter for the rest
// of the flight. With finite readings the update is exactly the loop law,
// except that a filter value below the smallest normal double is taken as 0.
#include <algorithm>
#include <cmath>
#include <limits>

#include "control/controller.h"
#include "control/law_constants.h"
#include "hostif/host_interface.h"

namespace {

enum class IntegralRule {
    kReset,         // Forward, Right: integrate, then zero while the rate is large
    kLimit,         // Up: integrate, then limit
    kHoldAndLimit,  // Turn: integrate only while the rate is small, always limit
};

struct IntegralBounds {
    double lo;
    double hi;
};

// Larger of I and lo first, then the smaller of that and hi: with lo > hi
// the result is always hi. Bounds that are not finite numbers (a zero Kpr)
// cannot limit anything and are not applied.
double limitIntegral(double integral, IntegralBounds bounds) {
    if (!std::isfinite(bounds.lo) || !std::isfinite(bounds.hi)) {
        return integral;
    }
    return std::min(std::max(integral, bounds.lo), bounds.hi);
}

// In a steady state a filter decays toward 0 and would end on the smallest
// subnormal double and stay there for good, since 0.7 or 0.55 times it
// rounds back to it. Every frame would then compute with subnormals, which
// the processor does many times slower; at that size the value is 0.
double flushSubnormal(double value) {
    return std::fabs(value) < std::numeric_limits<double>::min() ? 0.0 : value;
}

// One loop's filter, rate and integral for this frame. Nothing is stored
// unless the measurement and every new value are finite numbers.
void advanceLoop(AxisLoop& loop, double measurement, double dt, IntegralRule rule, IntegralBounds bounds) {
    const double e = measurement - loop.setPoint;
    const double filtered = flushSubnormal(e * kNewErrorWeight + loop.filteredError * kErrorSmoothing);
    const double rate = flushSubnormal(((filtered - loop.filteredError) / dt) * kNewRateWeight
                                       + loop.errorRate * kRateSmoothing);
    double integral = loop.integral;
    switch (rule) {
    case IntegralRule::kReset:
        integral = filtered * dt + integral;
        if (std::fabs(rate) > kRateThreshold) {
            integral = 0.0;
        }
        break;
    case IntegralRule::kLimit:
        integral = filtered * dt + integral;
        integral = limitIntegral(integral, bounds);
        break;
    case IntegralRule::kHoldAndLimit:
        if (std::fabs(rate) < kRateThreshold) {
            integral = filtered * dt + integral;
        }
        integral = limitIntegral(integral, bounds);
        break;
    }
    if (!std::isfinite(e) || !std::isfinite(filtered) || !std::isfinite(rate) || !std::isfinite(integral)) {
        return;
    }
    loop.measurement = measurement;
    loop.filteredError = filtered;
    loop.errorRate = rate;
    loop.integral = integral;
}

// The integral at which the loop's integral term alone equals the control's
// position. A preset that is not a finite number (a zero Kpr, or a position
// reading that is not a number) leaves the integral as it is.
void presetIntegral(AxisLoop& loop, double position) {
    const double preset = loop.Tn * position / loop.Kpr;
    if (std::isfinite(preset)) {
        loop.integral = preset;
    }
}

}  // namespace

void updateControlLoops() {
    const double t0 = hostVars.time.value;
    readHostVar(hostVars.time);
    const double t1 = hostVars.time.value;
    if (!std::isfinite(t1)) {
        // A time that is not a number measures nothing; keeping the last
        // good time lets the next good reading measure its step from it.
        hostVars.time.value = t0;
        return;
    }
    const double dt = t1 - t0;
    if (dt == 0.0 || !std::isfinite(dt)) {
        return;
    }

    const double operating = readHostToken(kTokenOperating);
    if (controller.systemPowerOn != 0 && controller.hoverEngaged != 0 && operating > kOperatingThreshold) {
        updateHeightHold();
    } else {
        controller.hoverEngaged = 0;
    }

    readHostVar(hostVars.heading);
    readHostVar(hostVars.velocityNorth);
    readHostVar(hostVars.velocityEast);
    const double headingDeg = hostVars.heading.value;
    const double northFtS = hostVars.velocityNorth.value;
    const double eastFtS = hostVars.velocityEast.value;
    if (std::isfinite(headingDeg) && std::isfinite(northFtS) && std::isfinite(eastFtS)) {
        const double vN = northFtS * kMetresPerFoot;
        const double vE = eastFtS * kMetresPerFoot;
        const double psi = headingDeg * kRadiansPerDegree;
        const double c = std::cos(psi);
        const double s = std::sin(psi);
        const double forwardSpeed = vN * c + vE * s;
        const double rightSpeed = vE * c - vN * s;
        advanceLoop(controller.forward, forwardSpeed, dt, IntegralRule::kReset, {});
        advanceLoop(controller.right, rightSpeed, dt, IntegralRule::kReset, {});
    }

    readHostVar(hostVars.verticalSpeed);
    const double upSpeed = hostVars.verticalSpeed.value * kMetresPerFoot;
    const AxisLoop& up = controller.up;
    advanceLoop(controller.up, upSpeed, dt, IntegralRule::kLimit,
                {.lo = up.Tn * kThrottleHigh / up.Kpr, .hi = up.Tn * kThrottleLow / up.Kpr});

    readHostVar(hostVars.yawRate);
    const double turnRate = hostVars.yawRate.value * kDegPerSecPerYawUnit;
    const AxisLoop& turn = controller.turn;
    advanceLoop(controller.turn, turnRate, dt, IntegralRule::kHoldAndLimit,
                {.lo = turn.Tn * kSurfaceLow / turn.Kpr, .hi = turn.Tn * kSurfaceHigh / turn.Kpr});

    if (controller.hoverEngaged != 0) {
        return;
    }
    const double aileron = readHostToken(kTokenAileronPosition);
    const double elevator = readHostToken(kTokenElevatorPosition);
    const double rudder = readHostToken(kTokenRudderPosition);
    const double throttle = readHostToken(kTokenThrottlePosition);
    presetIntegral(controller.turn, rudder);
    presetIntegral(controller.right, aileron);
    presetIntegral(controller.forward, elevator);
    presetIntegral(controller.up, throttle);
}
