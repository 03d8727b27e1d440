// SPDX-License-Identifier: MIT
//
// The linear margins of the four loops for a set of factors, as the tuner's
// constraints use them. The analysis itself (the module's law at the host
// rate and delay, about the aircraft's hover) lives in sim/analysis; this is
// the one place the tuner meets it.
#ifndef HOVER_SIM_TUNE_HOLD_MARGINS_H
#define HOVER_SIM_TUNE_HOLD_MARGINS_H

#include <array>
#include <string>

#include "sim/tune/factors.h"
#include "sim/tune/flights.h"

namespace tune {

// The bounds every loop must keep, broken at its actuator, unless the
// designer asks for others. Also the units in which shortfalls are summed.
constexpr double kRequiredGainMarginDb = 6.0;
constexpr double kRequiredPhaseMarginDeg = 45.0;

constexpr std::array<const char*, 4> kLoopNames = {"Turn", "Right", "Forward", "Up"};

// What each loop's margins are held to, loops in the order of kLoopNames.
// The required bounds, unless no set of factors reaches them on this
// aircraft at this rate and delay: then each loop is held to what the
// search for margins showed it can reach (see margin_search.h).
struct MarginBounds {
    std::array<double, 4> gainMarginDb{kRequiredGainMarginDb, kRequiredGainMarginDb, kRequiredGainMarginDb,
                                       kRequiredGainMarginDb};
    std::array<double, 4> phaseMarginDeg{kRequiredPhaseMarginDeg, kRequiredPhaseMarginDeg,
                                         kRequiredPhaseMarginDeg, kRequiredPhaseMarginDeg};
    bool relaxed = false;  // lower than required somewhere

    // The same bounds on every loop.
    static MarginBounds uniform(double gainMarginDb, double phaseMarginDeg);
};

struct LoopMarginReport {
    double gainMarginDb = 0.0;
    double phaseMarginDeg = 0.0;
    double crossoverHz = 0.0;
};

struct MarginReport {
    bool available = false;  // false: this build has no linear analysis to ask
    std::string unavailableReason;
    bool trimmed = false;                     // the hover about which the loops were linearised exists
    bool stable = false;                      // all four loops closed together
    double slowestPoleRadius = 0.0;           // largest |z| of the closed loop's poles
    double leastDamping = 0.0;                // the least damped closed-loop pole: damping ratio ...
    double leastDampedHz = 0.0;               // ... and frequency
    std::array<LoopMarginReport, 4> loops{};  // Turn, Right, Forward, Up

    // How far the factors are from meeting every bound: 0 when they do, else
    // the summed shortfalls, each in units of its bound. An unstable closed
    // loop, or no trim, always falls short.
    double shortfall(const MarginBounds& bounds = MarginBounds{}) const;
    // Whether every loop keeps these bounds.
    bool meets(const MarginBounds& bounds) const { return available && shortfall(bounds) == 0.0; }
};

MarginReport analyseMargins(const FlightConditions& conditions, const Factors& factors);

}  // namespace tune

#endif
