// SPDX-License-Identifier: MIT
//
// The helicopter as the host sees it: the flight model set up from a
// scenario, flown with the host's control positions, and read out as the
// host's token values. The one place where the host meets the flight model.
#ifndef HOVER_SIM_SCENARIO_AIRCRAFT_H
#define HOVER_SIM_SCENARIO_AIRCRAFT_H

#include <memory>
#include <string>

#include "sim/host/gauge_host.h"
#include "sim/scenario/scenario.h"

namespace flight {
struct HostReadings;
}

namespace host {

// Puts the flight model's readings into the host's table: every flight
// token, all but the simulation time and the control positions, which the
// host keeps.
void serveReadings(GaugeHost& gaugeHost, const flight::HostReadings& readings);

// Where a scenario's aircraft file is: a path as written, or a name looked up
// as <name>.toml in aircraft/ beside the program, then in ../aircraft/ from
// the scenario's folder. Empty, with `error` set, when there is none.
std::string aircraftFilePath(const Scenario& scenario, std::string& error);
// Where a scenario's plant file is: the path as written, relative to the
// scenario's folder.
std::string plantFilePath(const Scenario& scenario);

class Aircraft {
public:
    Aircraft();
    ~Aircraft();
    Aircraft(const Aircraft&) = delete;
    Aircraft& operator=(const Aircraft&) = delete;

    // Reads the scenario's aircraft file. False, with `error` naming the
    // file, line and key, when there is none or it is refused.
    bool load(const Scenario& scenario, std::string& error);
    // What the aircraft file calls the helicopter.
    const std::string& name() const;

    // Trims the loaded helicopter for the scenario's start in its wind.
    // Returns a warning when no trim was found (the aircraft then starts as
    // placed).
    std::string setUp(const Scenario& scenario);

    // The control positions of the trim, in host axis units.
    ControlPositions trimControls() const;

    void setControls(const ControlPositions& controls);
    // False when the aircraft flown has no rotor speed or engine of its own
    // (a plant file's hover model): the event changes nothing.
    bool setRotorPercent(double percent);
    bool setEnginePower(double fraction);
    // The steady wind and the turbulence change from now on; gusts stay.
    void setWind(const WindSetting& wind);
    // The main rotor's diameter, ft.
    double rotorDiameterFt() const;
    void advance(double dt);

    // What the host serves of this helicopter now.
    flight::HostReadings readings() const;
    // Puts this helicopter's readings into the host's table (serveReadings).
    void serve(GaugeHost& gaugeHost) const;
    // Bank, right wing down positive, deg: not a token the module reads,
    // but what a pilot sees of a roll; for the plot.
    double bankRightDeg() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace host

#endif
