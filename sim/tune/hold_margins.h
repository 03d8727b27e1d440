// SPDX-License-Identifier: MIT
//
// The linear margins of the four loops for a set of factors, as the tuner's
// constraints use them: robust margins over the uncertainty set (every
// sampled plant at every sampled host loop), and the classical gain and
// phase margins of the aircraft as its file gives it, shown beside them.
// The analysis itself (the module's law at the host's loop, about the
// aircraft's hover) lives in sim/analysis; this is the one place the tuner
// meets it.
//
// The robust margin of a loop is its disk margin: the loop broken at its
// actuator with the other three closed, the largest alpha such that any
// gain and phase change f within the disk |(f - 1) / (f + 1)| <= alpha / 2
// leaves the closed loop stable. It bounds the sensitivity and its
// complement together (alpha = 2 / max |S - T|), and it stands for the
// symmetric gain and phase margins that hold at once:
// 20 log10((2 + alpha) / (2 - alpha)) dB and 2 atan(alpha / 2) deg.
#ifndef HOVER_SIM_TUNE_HOLD_MARGINS_H
#define HOVER_SIM_TUNE_HOLD_MARGINS_H

#include <array>
#include <string>
#include <vector>

#include "sim/tune/factors.h"
#include "sim/tune/flights.h"

namespace tune {

// The disk margin every loop must keep over the whole set unless the
// designer asks for another (as a gain margin: 3.5 dB, with 23 deg at once).
constexpr double kRequiredDiskMargin = 0.4;
// The classical margins shown beside it; required only when asked for.
constexpr double kClassicalGainMarginDb = 6.0;
constexpr double kClassicalPhaseMarginDeg = 45.0;
// The units in which shortfalls are summed.
constexpr double kRequiredGainMarginDb = 6.0;
constexpr double kRequiredPhaseMarginDeg = 45.0;

// The disk margin as the gain and phase margins it guarantees together.
double diskGainMarginDb(double alpha);
double diskPhaseMarginDeg(double alpha);

constexpr std::array<const char*, 4> kLoopNames = {"Turn", "Right", "Forward", "Up"};

// What each loop's margins are held to, loops in the order of kLoopNames.
// gainMarginDb and phaseMarginDeg are the robust bounds, as the disk margin
// they stand for (see diskGainMarginDb); the classical ones apply to the
// aircraft as its file gives it at the default loop, and ask for nothing
// at 0. Where no string reaches the robust bounds on an aircraft, each
// loop is held to what the search for margins showed it can reach (see
// margin_search.h).
struct MarginBounds {
    // By default the classical 6 dB and 45 deg (the bounds' units); the
    // tuner asks for MarginBounds::disk.
    std::array<double, 4> gainMarginDb{kRequiredGainMarginDb, kRequiredGainMarginDb, kRequiredGainMarginDb,
                                       kRequiredGainMarginDb};
    std::array<double, 4> phaseMarginDeg{kRequiredPhaseMarginDeg, kRequiredPhaseMarginDeg,
                                         kRequiredPhaseMarginDeg, kRequiredPhaseMarginDeg};
    double classicalGainMarginDb = 0.0;
    double classicalPhaseMarginDeg = 0.0;
    bool relaxed = false;  // lower than required somewhere

    // The same bounds on every loop.
    static MarginBounds uniform(double gainMarginDb, double phaseMarginDeg);
    // Every loop held to this disk margin.
    static MarginBounds disk(double alpha);
    void setDisk(double alpha);
};

struct LoopMarginReport {
    // Robust: the smallest disk margin over the set, and the gain and phase
    // margins it stands for.
    double diskMargin = 0.0;
    double gainMarginDb = 0.0;
    double phaseMarginDeg = 0.0;
    std::string worstCase;  // where the smallest was found: plant and loop
    // Classical, of the aircraft as its file gives it: on the host's own
    // loop (with its crossover) and one whole panel frame late.
    double classicalGainMarginDb = 0.0;
    double classicalPhaseMarginDeg = 0.0;
    double crossoverHz = 0.0;
    double classicalGainMarginDelayedDb = 0.0;
    double classicalPhaseMarginDelayedDeg = 0.0;
};

struct MarginReport {
    bool available = false;  // false: this build has no linear analysis to ask
    std::string unavailableReason;
    bool trimmed = false;            // every plant of the set has a hover about which to linearise
    bool stable = false;             // every plant at every loop of the set, two panel frames late too
    int cases = 0;                   // plant and loop pairs analysed
    int unstableCases = 0;           // of them, closed loops not stable
    std::string firstUnstable;       // the first such, for the report
    double slowestPoleRadius = 0.0;  // largest |z| of the closed loops' poles over the set
    double leastDamping = 0.0;       // the least damped closed-loop pole of the aircraft as given ...
    double leastDampedHz = 0.0;      // ... and its frequency
    std::array<LoopMarginReport, 4> loops{};  // Turn, Right, Forward, Up

    // How far the factors are from meeting every bound: 0 when they do, else
    // the summed shortfalls, each in units of the classical margins. An
    // unstable closed loop anywhere in the set, or no trim, always falls
    // short.
    double shortfall(const MarginBounds& bounds = MarginBounds{}) const;
    // Whether every loop keeps these bounds.
    bool meets(const MarginBounds& bounds) const { return available && shortfall(bounds) == 0.0; }
};

// The robust margins over the training set (`validation` false) or over
// the validation set's plants and loops, which the search never sees.
MarginReport analyseMargins(const FlightConditions& conditions, const Factors& factors,
                            bool validation = false);
// Counts, from a flight's trace, how often the integrals were reset or held
// with this parameter string, into the outcome's anti-windup figures.
void observeIntegrals(const std::string& trace, const std::string& parameters, FlightOutcome& outcome);

// Adds the classical margins of the aircraft as given to a report.
void addClassicalMargins(const FlightConditions& conditions, const Factors& factors, MarginReport& report);

}  // namespace tune

#endif
