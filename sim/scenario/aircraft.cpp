// SPDX-License-Identifier: MIT
#include "sim/scenario/aircraft.h"

#include <cstdio>
#include <optional>

#include "sim/flight/aircraft_file.h"
#include "sim/flight/helicopter.h"
#include "sim/host/module_library.h"
#include "sim/units.h"
#ifdef HOVERSIM_PLANT
#include "sim/ident/linear_aircraft.h"
#include "sim/ident/plant_file.h"
#endif

namespace host {

std::string aircraftFilePath(const Scenario& scenario, std::string& error) {
    // The build puts the aircraft files in aircraft/ beside the program, as
    // it puts the module there; a source tree has them beside scenarios/.
    const std::string program = ModuleLibrary::besideProgram();
    const std::size_t slash = program.find_last_of("/\\");
    const std::string programDir = slash == std::string::npos ? std::string(".") : program.substr(0, slash);
    const std::string scenarioDir = scenario.aircraftBase.empty() ? std::string(".") : scenario.aircraftBase;
    const std::string search[] = {programDir + "/aircraft", scenarioDir + "/../aircraft"};
    const std::optional<std::string> path =
        flight::resolveAircraftPath(scenario.aircraft, scenario.aircraftBase, search, 2, error);
    return path.value_or(std::string());
}

// One of the two is flown: the flight model, or a plant file's hover model.
struct Aircraft::State {
    std::string name;
    std::optional<flight::Helicopter> helicopter;
#ifdef HOVERSIM_PLANT
    std::optional<ident::LinearAircraft> linear;
#endif
    bool rotorEventsIgnored = false;
};

namespace {

flight::WindSettings windSettings(const WindSetting& setting) {
    flight::WindSettings wind;
    wind.fromDirectionDeg = setting.fromDeg;
    wind.speedKt = setting.speedKt;
    wind.turbulenceW20Kt = setting.turbulenceW20Kt;
    wind.seed = static_cast<uint32_t>(setting.seed);
    return wind;
}

}  // namespace

std::string plantFilePath(const Scenario& scenario) {
    const std::string& p = scenario.plant;
    const bool absolute = !p.empty() && (p[0] == '/' || p[0] == '\\' || (p.size() > 1 && p[1] == ':'));
    return absolute || scenario.aircraftBase.empty() ? p : scenario.aircraftBase + "/" + p;
}

Aircraft::Aircraft() : state_(std::make_unique<State>()) {}

Aircraft::~Aircraft() = default;

bool Aircraft::load(const Scenario& scenario, std::string& error) {
    if (!scenario.plant.empty()) {
#ifdef HOVERSIM_PLANT
        std::optional<ident::HoverModel> model = ident::readPlantFile(plantFilePath(scenario), error);
        if (!model) {
            return false;
        }
        state_->name = model->name;
        state_->linear.emplace(ident::scaledModel(*model, scenario.aircraftScale));
        return true;
#else
        error = "plant = \"" + scenario.plant + "\": this build flies no plant files";
        return false;
#endif
    }
    const std::string path = aircraftFilePath(scenario, error);
    if (path.empty()) {
        return false;
    }
    std::optional<flight::AircraftDefinition> definition = flight::readAircraftFile(path, error);
    if (!definition) {
        return false;
    }
    state_->name = definition->name;
    state_->helicopter.emplace(flight::scaled(definition->parameters, scenario.aircraftScale));
    return true;
}

const std::string& Aircraft::name() const {
    return state_->name;
}

std::string Aircraft::setUp(const Scenario& scenario) {
    const flight::WindSettings wind = windSettings(scenario.wind);
#ifdef HOVERSIM_PLANT
    if (state_->linear) {
        ident::LinearAircraft& plant = *state_->linear;
        const ident::LinearStart start{.heightFt = scenario.start.heightFt,
                                       .groundSpeedKt = scenario.start.groundSpeedKt,
                                       .trackDeg = scenario.start.trackDeg,
                                       .headingDeg = scenario.start.headingDeg};
        std::string warning;
        if (!plant.setUp(start, wind)) {
            warning = "the plant's terms give no trim within the control ranges for the start; it starts "
                      "level at its recorded trim, out of balance";
        }
        for (const GustSetting& setting : scenario.wind.gusts) {
            flight::GustEvent gust;
            gust.startS = plant.timeS() + setting.at;
            gust.durationS = setting.duration;
            gust.fromDirectionDeg = setting.fromDeg.value_or(scenario.wind.fromDeg);
            gust.peakKt = setting.speedKt;
            plant.addGust(gust);
        }
        return warning;
    }
#endif
    flight::Helicopter& heli = *state_->helicopter;
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
#ifdef HOVERSIM_PLANT
    if (state_->linear) {
        const flight::Controls c = state_->linear->trimControls();
        return ControlPositions{c.elevator, c.aileron, c.rudder, c.throttle};
    }
#endif
    const flight::Controls& c = state_->helicopter->controls();
    return ControlPositions{c.elevator, c.aileron, c.rudder, c.throttle};
}

void Aircraft::setControls(const ControlPositions& controls) {
    flight::Controls c;
    c.elevator = controls.elevator;
    c.aileron = controls.aileron;
    c.rudder = controls.rudder;
    c.throttle = controls.throttle;
#ifdef HOVERSIM_PLANT
    if (state_->linear) {
        state_->linear->setControls(c);
        return;
    }
#endif
    // Through the actuators: the blades follow at the aircraft's rates.
    state_->helicopter->commandControls(c);
}

bool Aircraft::setRotorPercent(double percent) {
    if (!state_->helicopter) {
        return false;  // a hover model has no rotor speed of its own
    }
    // The governor is set to the new speed and the rotor put there at once,
    // as a failure of the drive would.
    state_->helicopter->setGovernorSpeedPercent(percent);
    state_->helicopter->forceRotorSpeedPercent(percent);
    return true;
}

bool Aircraft::setEnginePower(double fraction) {
    if (!state_->helicopter) {
        return false;
    }
    state_->helicopter->setEnginePowerFraction(fraction);
    return true;
}

void Aircraft::setWind(const WindSetting& setting) {
#ifdef HOVERSIM_PLANT
    if (state_->linear) {
        state_->linear->setWind(windSettings(setting));
        return;
    }
#endif
    state_->helicopter->setWind(windSettings(setting));
}

double Aircraft::rotorDiameterFt() const {
#ifdef HOVERSIM_PLANT
    if (state_->linear) {
        return state_->linear->model().rotorDiameterFt;
    }
#endif
    return 2.0 * state_->helicopter->parameters().rotorRadius * units::kFeetPerMetre;
}

void Aircraft::advance(double dt) {
#ifdef HOVERSIM_PLANT
    if (state_->linear) {
        state_->linear->advance(dt);
        return;
    }
#endif
    state_->helicopter->advance(dt);
}

flight::HostReadings Aircraft::readings() const {
#ifdef HOVERSIM_PLANT
    if (state_->linear) {
        return state_->linear->readings();
    }
#endif
    return state_->helicopter->readings();
}

double Aircraft::bankRightDeg() const {
    return readings().bankRightDeg;
}

void serveReadings(GaugeHost& gaugeHost, const flight::HostReadings& r) {
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

void Aircraft::serve(GaugeHost& gaugeHost) const {
    serveReadings(gaugeHost, readings());
}

}  // namespace host
