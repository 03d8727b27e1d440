// SPDX-License-Identifier: MIT
//
// The host's units, as the simulated host serves them and as its reports
// give them. One declaration for the flight model, the host and the tools,
// so a height or a speed means the same number everywhere.
//
// The host serves heights in metres, speeds over the ground in feet per
// second and the wind in knots. Its foot is 1 / 3.28084 m, and the gauge
// converts back with the same factors, so a value survives the round trip.
// Its knot is 1 / 1.944 m/s: the factor the gauge's ground-speed readout
// uses, so a speed the host reports is the speed the gauge shows.
#ifndef HOVER_SIM_UNITS_H
#define HOVER_SIM_UNITS_H

namespace units {

constexpr double kFeetPerMetre = 3.28084;
constexpr double kMetresPerFoot = 0.3047999902464003;  // nearest double to 1 / 3.28084
constexpr double kKnotsPerMetrePerSecond = 1.944;
constexpr double kMetresPerSecondPerKnot = 1.0 / kKnotsPerMetrePerSecond;
constexpr double kKnotsPerFootPerSecond = kMetresPerFoot * kKnotsPerMetrePerSecond;

}  // namespace units

#endif
