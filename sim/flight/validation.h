// SPDX-License-Identifier: MIT
//
// The model's hover held against published figures: trim and quasi-static
// hover derivatives from a numerical linearisation, and the reference
// values they are compared with, each with its source and unit conversion.
// The validation tests and the flightcheck tool (which writes the tables of
// docs/flight-model.md) both read these, so the tables say what the tests
// check.
#ifndef HOVER_SIM_FLIGHT_VALIDATION_H
#define HOVER_SIM_FLIGHT_VALIDATION_H

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sim/flight/parameters.h"

namespace flight {

// Body axes, per unit mass (X, Y, Z) or inertia (L, M, N: the moment over
// Ixx, Iyy, Izz, the Ixz coupling not folded in), SI units. Control
// derivatives are per radian of blade angle: theta1s forward cyclic (the
// disc forward), theta1c left cyclic (the disc left), theta0 collective,
// thetaTR tail rotor pitch (more thrust to the right).
struct HoverFigures {
    bool trimmed = false;
    double collectiveDeg = 0.0, forwardCyclicDeg = 0.0, leftCyclicDeg = 0.0, tailPitchDeg = 0.0;
    double pitchUpDeg = 0.0, rollRightDeg = 0.0, powerKw = 0.0;
    double lockNumber = 0.0, flapLagS = 0.0, flapLagWithInflowS = 0.0;
    double MqRotor = 0.0;  // pitch damping of the rotor alone (no tail surfaces, no fuselage drag)
    double Xu = 0.0, Xq = 0.0, Mu = 0.0, Mq = 0.0, Yv = 0.0, Lp = 0.0, Mp = 0.0, Lq = 0.0;
    double Zw = 0.0, Nr = 0.0, Nv = 0.0;
    double Mtheta1s = 0.0, Ltheta1c = 0.0, Ltheta1s = 0.0, Mtheta1c = 0.0, Ztheta0 = 0.0, NthetaTR = 0.0;
};

// Trims the aircraft in a calm hover at 100 ft and linearises it there.
HoverFigures hoverFigures(const Parameters& parameters);

// One quantity of HoverFigures by its name ("Mq", "collectiveDeg", ...);
// nothing for an unknown name.
std::optional<double> figure(const HoverFigures& figures, std::string_view name);

struct Reference {
    std::string_view aircraft;  // aircraft file name without .toml
    std::string_view quantity;  // as figure() names it
    double value;               // in the model's units and signs
    double ratioLimit;          // model/reference within [1/limit, limit] ...
    double absoluteLimit;       // ... or, when above 0, |model - reference| <= this
    std::string_view source;    // where the value comes from and how it was converted
    // Not empty: the model is known to disagree beyond the limit, for the
    // reason given; the check then expects the disagreement, so a model that
    // comes to agree shows up too.
    std::string_view knownDisagreement;
};

std::span<const Reference> references();

// Whether the model's value lies within the reference's limit.
bool withinLimit(const Reference& reference, double model);

}  // namespace flight

#endif
