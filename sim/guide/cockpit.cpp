// SPDX-License-Identifier: MIT
#include "sim/guide/cockpit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sim/host/mouse.h"
#include "sim/units.h"

namespace guide {

namespace {

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
    simTime_ = 0.0;
    host::SessionSetup setup;
    setup.modulePath = files.module;
    setup.parameters = parameters;
    setup.withJoystick = withJoystick;
    if (!session_.open(setup, error)) {
        return false;
    }
    panel::BitmapSet bitmaps;
    if (!bitmaps.loadDirectory(files.bitmaps, error)) {
        return false;
    }
    renderer_ = std::make_unique<panel::PanelRenderer>(session_.host().gauge(), std::move(bitmaps));
    serve(flight_);
    return true;
}

void Cockpit::serve(const Flight& flight) {
    using units::kFeetPerMetre;
    using units::kMetresPerFoot;
    flight_ = flight;
    host::GaugeHost& h = session_.host();
    const double psi = flight.headingDeg * std::numbers::pi / 180.0;
    const double north = flight.forwardMs * std::cos(psi) - flight.rightMs * std::sin(psi);
    const double east = flight.forwardMs * std::sin(psi) + flight.rightMs * std::cos(psi);
    h.setToken(kTokenHeading, flight.headingDeg);
    h.setToken(kTokenHeadingDisplay, flight.headingDeg);
    h.setToken(kTokenVelocityNorth, north / kMetresPerFoot);
    h.setToken(kTokenVelocityEast, east / kMetresPerFoot);
    h.setToken(kTokenVerticalSpeed, flight.upMs / kMetresPerFoot);
    h.setToken(kTokenYawRate, flight.yawRateDegS / kDegreesPerYawUnit);
    h.setToken(kTokenRadarHeight, flight.heightFt / kFeetPerMetre);
    h.setToken(kTokenPitch, flight.pitchDeg);
    h.setToken(kTokenWindDirection, flight.windFromDeg);
    h.setToken(kTokenWindSpeed, flight.windKt);
    h.setToken(kTokenOperating, flight.rotorPercent);
    // While the hold flies, the collective is where its last command put it.
    if (!commanded_) {
        h.controls().throttle = flight.collective;
    }
}

void Cockpit::fly(const Flight& from, const Flight& to, double seconds) {
    const int frames = std::max(1, static_cast<int>(std::lround(seconds * kFramesPerSecond)));
    constexpr double kStep = 1.0 / kFramesPerSecond;
    for (int i = 1; i <= frames; ++i) {
        serve(between(from, to, static_cast<double>(i) / frames));
        host::GaugeHost& h = session_.host();
        h.clearEvents();
        simTime_ += kStep;
        h.setToken(kTokenSimulationTime, simTime_);
        h.preUpdate();
        commanded_ = !h.events().empty();
        redraw();
    }
}

bool Cockpit::click(std::string_view area, int times) {
    const std::optional<PixelPoint> point = host::pointOf(area);
    if (!point) {
        return false;
    }
    bool hit = true;
    for (int i = 0; i < times; ++i) {
        hit = session_.mouse().click(*point) && hit;
    }
    return hit;
}

void Cockpit::redraw() {
    if (renderer_ != nullptr) {
        renderer_->draw(session_.walk(panelLightsFailed_), options_);
    }
}

}  // namespace guide
