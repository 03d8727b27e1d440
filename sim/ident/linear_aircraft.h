// SPDX-License-Identifier: MIT
//
// A hover model flown as an aircraft: the linear equations of hover_model.h
// integrated on the flight model's own grid of physics steps, in the same
// wind field (steady wind, gusts, turbulence), with the heading and the
// position carried along, and read out as the flight model's readings. What
// the simulated host flies when a scenario names a plant file instead of an
// aircraft file.
//
// With a rotor lag the model's lag states (hover_model.h) are flown too.
//
// The inputs act the moment they are set: the host's loop already holds a
// command back by its own latency, and the plant's fitted delay is the
// latency of the loop it was recorded on, so adding it again would count it
// twice.
#ifndef HOVER_SIM_IDENT_LINEAR_AIRCRAFT_H
#define HOVER_SIM_IDENT_LINEAR_AIRCRAFT_H

#include <array>
#include <cstdint>

#include "sim/flight/helicopter.h"
#include "sim/flight/wind.h"
#include "sim/ident/hover_model.h"

namespace ident {

struct LinearStart {
    double heightFt = 100.0;     // radar height
    double groundSpeedKt = 0.0;  // steady drift over the ground
    double trackDeg = 0.0;
    double headingDeg = 0.0;
};

class LinearAircraft {
public:
    explicit LinearAircraft(const HoverModel& model);

    const HoverModel& model() const { return model_; }

    // Places the aircraft at the start in the wind and trims it there: the
    // attitude and control offsets that hold the start's speed through the
    // air steady. False when the model cannot be trimmed (its pitch and
    // roll controls do not span the two moments); the aircraft then starts
    // level at the model's own trim.
    bool setUp(const LinearStart& start, const flight::WindSettings& wind);
    void setWind(const flight::WindSettings& wind);
    void addGust(const flight::GustEvent& gust) { wind_.addGust(gust); }

    flight::Controls trimControls() const { return trim_; }
    void setControls(const flight::Controls& controls) { controls_ = controls; }

    void advance(double dtSeconds);
    double timeS() const { return timeS_; }
    flight::HostReadings readings() const;

    // The model's states (ident::State, then its LagState), height h in
    // metres above the ground.
    const std::array<double, kExtendedStateCount>& state() const { return x_; }
    double headingRad() const { return heading_; }
    // Rate of every state at the current state, controls and wind.
    std::array<double, kExtendedStateCount> derivative() const { return rate(x_, currentWind_); }

private:
    using Vector = std::array<double, kExtendedStateCount>;
    Vector rate(const Vector& x, const flight::WindVector& wind) const;
    // The lag states settled on the current state, controls and wind.
    void settleRotor();
    void step(double h);
    double term(Term t) const { return model_.terms[static_cast<std::size_t>(t)].value; }

    HoverModel model_;
    // x' = A x + B d over the states, the speeds through the air.
    double A_[kExtendedStateCount][kExtendedStateCount] = {};
    double B_[kExtendedStateCount][analysis::kInputCount] = {};
    double stepS_;
    int turbulenceEverySteps_;
    flight::WindField wind_;
    flight::WindVector currentWind_{};
    flight::Controls trim_{};
    flight::Controls controls_{};
    Vector x_{};
    double heading_ = 0.0;  // rad, clockwise from north
    double northM_ = 0.0, eastM_ = 0.0;
    double timeS_ = 0.0;
    double pastGridS_ = 0.0;
    std::uint64_t steps_ = 0;
};

}  // namespace ident

#endif
