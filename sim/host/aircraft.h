// SPDX-License-Identifier: MIT
//
// The helicopter as the host sees it: the flight model set up from a
// scenario, flown with the host's control positions, and read out as the
// host's token values. The one place where the host meets the flight model.
#ifndef HOVER_SIM_HOST_AIRCRAFT_H
#define HOVER_SIM_HOST_AIRCRAFT_H

#include <memory>
#include <string>

#include "sim/host/gauge_host.h"
#include "sim/host/scenario.h"

namespace host {

class Aircraft {
public:
    Aircraft();
    ~Aircraft();
    Aircraft(const Aircraft&) = delete;
    Aircraft& operator=(const Aircraft&) = delete;

    // Trims the helicopter for the scenario's start in its wind. Returns a
    // warning when no trim was found (the aircraft then starts as placed).
    std::string setUp(const Scenario& scenario);

    // The control positions of the trim, in host axis units.
    ControlPositions trimControls() const;

    void setControls(const ControlPositions& controls);
    void setRotorPercent(double percent);
    void setEnginePower(double fraction);
    void advance(double dt);

    // Puts every flight token (all but the simulation time and the control
    // positions, which the host keeps) into the host's table.
    void serve(GaugeHost& gaugeHost) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace host

#endif
