// SPDX-License-Identifier: MIT
#include "sim/panel/cockpit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sim/units.h"

namespace panel {

namespace {

using units::kFeetPerMetre;
using units::kMetresPerFoot;
constexpr double kDegreesPerYawUnit = 360.0 / 65536.0;

Flight between(const Flight& a, const Flight& b, double share) {
    const auto mix = [share](double x, double y) { return x + (y - x) * share; };
    Flight f;
    f.headingDeg = mix(a.headingDeg, b.headingDeg);
    f.forwardMs = mix(a.forwardMs, b.forwardMs);
    f.rightMs = mix(a.rightMs, b.rightMs);
    f.upMs = mix(a.upMs, b.upMs);
    f.yawRateDegS = mix(a.yawRateDegS, b.yawRateDegS);
    f.heightFt = mix(a.heightFt, b.heightFt);
    f.pitchDeg = mix(a.pitchDeg, b.pitchDeg);
    f.windFromDeg = mix(a.windFromDeg, b.windFromDeg);
    f.windKt = mix(a.windKt, b.windKt);
    f.rotorPercent = mix(a.rotorPercent, b.rotorPercent);
    f.collective = mix(a.collective, b.collective);
    return f;
}

}  // namespace

bool Cockpit::open(const GaugeFiles& files, std::string& error, const std::string& parameters,
                   bool withJoystick) {
    renderer_.reset();
    commanded_ = false;
    if (!bench_.load(files.module, parameters, withJoystick, error)) {
        return false;
    }
    BitmapSet bitmaps;
    if (!bitmaps.loadDirectory(files.bitmaps, error)) {
        return false;
    }
    renderer_ = std::make_unique<PanelRenderer>(bench_.gauge(), std::move(bitmaps));
    serve(flight_);
    return true;
}

void Cockpit::serve(const Flight& flight) {
    flight_ = flight;
    const double psi = flight.headingDeg * std::numbers::pi / 180.0;
    const double north = flight.forwardMs * std::cos(psi) - flight.rightMs * std::sin(psi);
    const double east = flight.forwardMs * std::sin(psi) + flight.rightMs * std::cos(psi);
    bench_.setToken(kTokenHeading, flight.headingDeg);
    bench_.setToken(kTokenHeadingDisplay, flight.headingDeg);
    bench_.setToken(kTokenVelocityNorth, north / kMetresPerFoot);
    bench_.setToken(kTokenVelocityEast, east / kMetresPerFoot);
    bench_.setToken(kTokenVerticalSpeed, flight.upMs / kMetresPerFoot);
    bench_.setToken(kTokenYawRate, flight.yawRateDegS / kDegreesPerYawUnit);
    bench_.setToken(kTokenRadarHeight, flight.heightFt / kFeetPerMetre);
    bench_.setToken(kTokenPitch, flight.pitchDeg);
    bench_.setToken(kTokenWindDirection, flight.windFromDeg);
    bench_.setToken(kTokenWindSpeed, flight.windKt);
    bench_.setToken(kTokenOperating, flight.rotorPercent);
    // While the hold flies, the collective is where its last command put it.
    if (!commanded_) {
        bench_.setToken(kTokenThrottlePosition, flight.collective);
    }
}

void Cockpit::fly(const Flight& from, const Flight& to, double seconds) {
    const int frames = std::max(1, static_cast<int>(std::lround(seconds * kFramesPerSecond)));
    for (int i = 1; i <= frames; ++i) {
        serve(between(from, to, static_cast<double>(i) / frames));
        bench_.clearEvents();
        bench_.frames(1, 1.0 / kFramesPerSecond);
        commanded_ = !bench_.events().empty();
        redraw();
    }
}

bool Cockpit::click(FacePoint point, int times) {
    bool hit = true;
    for (int i = 0; i < times; ++i) {
        hit = bench_.click(point.x, point.y) && hit;
    }
    return hit;
}

void Cockpit::redraw() {
    if (renderer_ != nullptr) {
        renderer_->draw([this](uint32_t token) { return bench_.token(token); }, options_);
    }
}

}  // namespace panel
