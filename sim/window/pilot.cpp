// SPDX-License-Identifier: MIT
#include "sim/window/pilot.h"

#include <algorithm>
#include <cmath>

namespace window {

namespace {

double clampCyclic(double value) {
    return std::clamp(value, -kCyclicLimit, kCyclicLimit);
}

double clampCollective(double value) {
    return std::clamp(value, 0.0, kCollectiveLimit);
}

double keyAxis(bool positive, bool negative) {
    return (positive ? 1.0 : 0.0) - (negative ? 1.0 : 0.0);
}

}  // namespace

double outsideDeadZone(double value) {
    if (!std::isfinite(value)) {
        return 0.0;
    }
    const double v = std::clamp(value, -1.0, 1.0);
    if (std::fabs(v) <= kStickDeadZone) {
        return 0.0;
    }
    return std::copysign((std::fabs(v) - kStickDeadZone) / (1.0 - kStickDeadZone), v);
}

void Pilot::assign(Assignment assignment) {
    if (assignment == assignment_) {
        return;
    }
    assignment_ = assignment;
    const host::StickInput released;
    releasePending_ = stick_.forward != released.forward || stick_.right != released.right
                      || stick_.twist != released.twist || stick_.z != released.z
                      || stick_.heightUp != released.heightUp || stick_.heightDown != released.heightDown;
    stick_ = released;
    haveSent_ = false;
}

void Pilot::controllerChanged() {
    haveSent_ = false;
}

bool Pilot::frame(double dt, const PilotKeys& keys, const ControllerState& pad,
                  host::ControlPositions& controls) {
    // A stick let go by switching is sent with the next frame.
    stickMoved_ = releasePending_;
    releasePending_ = false;
    if (assignment_ == Assignment::kGaugeStick) {
        holdStick(keys, pad);
        return false;
    }
    return flyHelicopter(dt, keys, pad, controls);
}

bool Pilot::flyHelicopter(double dt, const PilotKeys& keys, const ControllerState& pad,
                          host::ControlPositions& controls) {
    bool moved = false;
    const double step = std::max(0.0, dt);
    // Keys move the controls from wherever they stand, as a host's keyboard
    // increments do: from the hold's last command while it is engaged.
    const double cyclicStep = kKeyTravelPerSecond * 2.0 * kCyclicLimit * step;
    const double collectiveStep = kKeyTravelPerSecond * kCollectiveLimit * step;
    const double elevatorKeys = keyAxis(keys.forward, keys.back);
    const double aileronKeys = keyAxis(keys.left, keys.right);
    const double rudderKeys = keyAxis(keys.pedalLeft, keys.pedalRight);
    const double collectiveKeys = keyAxis(keys.collectiveUp, keys.collectiveDown);
    if (elevatorKeys != 0.0) {
        controls.elevator = clampCyclic(controls.elevator + elevatorKeys * cyclicStep);
        moved = true;
    }
    if (aileronKeys != 0.0) {
        controls.aileron = clampCyclic(controls.aileron + aileronKeys * cyclicStep);
        moved = true;
    }
    if (rudderKeys != 0.0) {
        controls.rudder = clampCyclic(controls.rudder + rudderKeys * cyclicStep);
        moved = true;
    }
    if (collectiveKeys != 0.0) {
        controls.throttle = clampCollective(controls.throttle + collectiveKeys * collectiveStep);
        moved = true;
    }
    if (!pad.present) {
        haveSent_ = false;
        return moved;
    }
    // The controller's sticks are absolute: a control follows its stick
    // once the stick has moved beyond the null zone from where it was last
    // sent. The first reading only takes note, so a controller at rest does
    // not snap the controls to the middle.
    const double x = outsideDeadZone(pad.leftX);
    const double y = outsideDeadZone(pad.leftY);
    const double pedal = outsideDeadZone(pad.rightX);
    if (!haveSent_) {
        sentX_ = x;
        sentY_ = y;
        sentPedal_ = pedal;
        haveSent_ = true;
    }
    if (std::fabs(y - sentY_) > kAxisNullZone) {
        controls.elevator = clampCyclic(-y * kCyclicLimit);  // stick forward: forward cyclic
        sentY_ = y;
        moved = true;
    }
    if (std::fabs(x - sentX_) > kAxisNullZone) {
        controls.aileron = clampCyclic(-x * kCyclicLimit);  // stick left: left cyclic
        sentX_ = x;
        moved = true;
    }
    if (std::fabs(pedal - sentPedal_) > kAxisNullZone) {
        controls.rudder = clampCyclic(-pedal * kCyclicLimit);  // right stick left: left pedal
        sentPedal_ = pedal;
        moved = true;
    }
    const double triggers = std::clamp(pad.rightTrigger, 0.0, 1.0) - std::clamp(pad.leftTrigger, 0.0, 1.0);
    if (std::isfinite(triggers) && std::fabs(triggers) > kStickDeadZone) {
        controls.throttle =
            clampCollective(controls.throttle + triggers * kTriggerTravelPerSecond * kCollectiveLimit * step);
        moved = true;
    }
    return moved;
}

void Pilot::holdStick(const PilotKeys& keys, const ControllerState& pad) {
    host::StickInput s;
    s.forward = keyAxis(keys.forward, keys.back);
    s.right = keyAxis(keys.right, keys.left);
    s.twist = keyAxis(keys.pedalRight, keys.pedalLeft);
    s.heightUp = keys.collectiveUp;
    s.heightDown = keys.collectiveDown;
    if (pad.present) {
        const auto take = [](double keyValue, double padValue) {
            return keyValue != 0.0 ? keyValue : padValue;
        };
        s.forward = take(s.forward, -outsideDeadZone(pad.leftY));
        s.right = take(s.right, outsideDeadZone(pad.leftX));
        s.twist = take(s.twist, outsideDeadZone(pad.rightX));
        s.z = std::isfinite(pad.rightTrigger) ? std::clamp(pad.rightTrigger, 0.0, 1.0) * 2.0 - 1.0 : -1.0;
        s.heightUp = s.heightUp || pad.buttonA;
        s.heightDown = s.heightDown || pad.buttonB;
    }
    stickMoved_ = stickMoved_ || s.forward != stick_.forward || s.right != stick_.right
                  || s.twist != stick_.twist || s.z != stick_.z || s.heightUp != stick_.heightUp
                  || s.heightDown != stick_.heightDown;
    stick_ = s;
}

}  // namespace window
