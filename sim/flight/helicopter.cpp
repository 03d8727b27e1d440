// SPDX-License-Identifier: MIT
#include "sim/flight/helicopter.h"

namespace flight {

struct Helicopter::Outputs {};

Helicopter::Helicopter() : Helicopter(Parameters{}) {}

Helicopter::Helicopter(const Parameters& parameters) : params_(parameters)
{
    governorRefRadS_ = params_.rotorSpeed;
    x_[kQ0] = 1.0;
    x_[kOmega] = params_.rotorSpeed;
}

void Helicopter::setWind(const WindSettings& settings) { wind_.configure(settings); }
void Helicopter::addGust(const GustEvent& gust) { wind_.addGust(gust); }
void Helicopter::clearGusts() { wind_.clearGusts(); }
void Helicopter::setControls(const Controls& controls) { controls_ = controls; }
void Helicopter::setGovernorSpeedPercent(double percent) { governorRefRadS_ = params_.rotorSpeed * percent / 100.0; }
void Helicopter::setEnginePowerFraction(double fraction) { powerFraction_ = fraction; }
void Helicopter::forceRotorSpeedPercent(double percent) { x_[kOmega] = params_.rotorSpeed * percent / 100.0; }

bool Helicopter::trim(const TrimRequest&, const WindSettings& wind)
{
    setWind(wind);
    return false;
}

void Helicopter::advance(double dtSeconds)
{
    if (dtSeconds > 0.0) {
        timeS_ += dtSeconds;
    }
}

HostReadings Helicopter::readings() const
{
    HostReadings r;
    r.rotorSpeedPercent = 100.0 * x_[kOmega] / params_.rotorSpeed;
    r.controls = controls_;
    return r;
}

FlightState Helicopter::state() const
{
    FlightState s;
    s.timeS = timeS_;
    return s;
}

Helicopter::StateVector Helicopter::derivative(const StateVector&, const WindVector&) const
{
    return StateVector{};
}

}  // namespace flight
