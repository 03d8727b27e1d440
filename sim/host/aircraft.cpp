// SPDX-License-Identifier: MIT
#include "sim/host/aircraft.h"

#include <cstdio>

#include "sim/flight/helicopter.h"

namespace host {

struct Aircraft::State {
    flight::Helicopter helicopter;
};

Aircraft::Aircraft() : state_(std::make_unique<State>()) {}

Aircraft::~Aircraft() = default;

std::string Aircraft::setUp(const Scenario& scenario) {
    flight::Helicopter& heli = state_->helicopter;
    flight::WindSettings wind;
    wind.fromDirectionDeg = scenario.wind.fromDeg;
    wind.speedKt = scenario.wind.speedKt;
    wind.turbulenceW20Kt = scenario.wind.turbulenceW20Kt;
    wind.seed = static_cast<uint32_t>(scenario.wind.seed);
    flight::TrimRequest request;
    request.heightFt = scenario.start.heightFt;
    request.groundSpeedKt = scenario.start.groundSpeedKt;
    request.trackDeg = scenario.start.trackDeg;
    request.headingDeg = scenario.start.headingDeg;
    std::string warning;
    if (!heli.trim(request, wind)) {
        char message[160];
        std::snprintf(message, sizeof message,
                      "the flight model found no trim for the start (residual %.3g after %d iterations); "
                      "the run starts out of balance",
                      heli.lastTrim().residual, heli.lastTrim().iterations);
        warning = message;
    }
    // Gusts are timed in simulated time, which starts at 0 with the trim.
    for (const GustSetting& setting : scenario.wind.gusts) {
        flight::GustEvent gust;
        gust.startS = heli.timeS() + setting.at;
        gust.durationS = setting.duration;
        gust.fromDirectionDeg = setting.fromDeg.value_or(scenario.wind.fromDeg);
        gust.peakKt = setting.speedKt;
        heli.addGust(gust);
    }
    return warning;
}

ControlPositions Aircraft::trimControls() const {
    const flight::Controls& c = state_->helicopter.controls();
    return ControlPositions{c.elevator, c.aileron, c.rudder, c.throttle};
}

void Aircraft::setControls(const ControlPositions& controls) {
    flight::Controls c;
    c.elevator = controls.elevator;
    c.aileron = controls.aileron;
    c.rudder = controls.rudder;
    c.throttle = controls.throttle;
    state_->helicopter.setControls(c);
}

void Aircraft::setRotorPercent(double percent) {
    // The governor is set to the new speed and the rotor put there at once,
    // as a failure of the drive would.
    state_->helicopter.setGovernorSpeedPercent(percent);
    state_->helicopter.forceRotorSpeedPercent(percent);
}

void Aircraft::setEnginePower(double fraction) {
    state_->helicopter.setEnginePowerFraction(fraction);
}

void Aircraft::advance(double dt) {
    state_->helicopter.advance(dt);
}

void Aircraft::serve(GaugeHost& gaugeHost) const {
    const flight::HostReadings r = state_->helicopter.readings();
    gaugeHost.setToken(kTokenHeading, r.headingDeg);
    gaugeHost.setToken(kTokenHeadingDisplay, r.headingDeg);
    gaugeHost.setToken(kTokenVelocityNorth, r.groundVelNorthFtS);
    gaugeHost.setToken(kTokenVelocityEast, r.groundVelEastFtS);
    gaugeHost.setToken(kTokenVerticalSpeed, r.groundVelUpFtS);
    gaugeHost.setToken(kTokenYawRate, r.yawRateTurn65536);
    gaugeHost.setToken(kTokenRadarHeight, r.radarHeightM);
    gaugeHost.setToken(kTokenOperating, r.rotorSpeedPercent);
    gaugeHost.setToken(kTokenPitch, r.pitchNoseDownDeg);
    gaugeHost.setToken(kTokenWindDirection, r.windFromDeg);
    gaugeHost.setToken(kTokenWindSpeed, r.windSpeedKt);
}

}  // namespace host
