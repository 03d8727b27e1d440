// SPDX-License-Identifier: MIT
//
// The hover hold on a helicopter, linearised: the flight model about a calm
// hover, the module's four loops exactly as it computes them once per panel
// update (error filter, rate filter, integral, height hold), the zero-order
// hold at the update rate and the host's command delay. What it answers:
// are the closed loops stable, and how much gain and phase each loop has in
// hand when it is broken at its actuator with the other three closed.
//
// Left out, because they do not act on small deviations: the truncation of
// each command to a whole count, the limits of the axes and of the Up and
// Turn integrals, the Forward and Right integral reset (it acts only when
// the filtered error rate exceeds 0.5 m/s^2), the Turn integral's hold at
// the same threshold, the pitch guard (beyond 10 degrees) and the height
// hold's 2 m/s limit (beyond 8 ft of error).
#ifndef HOVER_SIM_ANALYSIS_HOLD_ANALYSIS_H
#define HOVER_SIM_ANALYSIS_HOLD_ANALYSIS_H

#include <Eigen/Dense>
#include <array>
#include <complex>
#include <vector>

#include "sim/analysis/margins.h"
#include "sim/analysis/plant.h"
#include "sim/flight/parameters.h"

namespace analysis {

// The loops in the module's order; also the order of the margins.
enum Loop : int { kUp = 0, kForward, kRight, kTurn, kLoopCount };

// The twelve gains the module uses, absolute (default times the parameter
// string's factor), in the module's order:
//   KprUp, TvUp, TnUp, KprForward, TvForward, TnForward,
//   KprRight, TvRight, TnRight, KprTurn, TvTurn, TnTurn.
// A Tn of 0 means no integral action and a Kpr of 0 leaves the axis where it
// stands, as in the module.
using Gains = std::array<double, 12>;
constexpr int kGainsPerLoop = 3;
enum GainRole : int { kKpr = 0, kTv = 1, kTn = 2 };

// The module's defaults, and the defaults times twelve factors in the same
// order (the parameter string's factors).
Gains defaultGains();
Gains scaledGains(const std::array<double, 12>& factors);

struct HoldAnalysis {
    bool trimmed = false;           // the aircraft has a hover trim within its control ranges
    bool closedLoopStable = false;  // every pole strictly inside the unit circle
    double largestPoleMagnitude = 0.0;
    // Every pole of the closed loop at the update rate (plant, law, delay),
    // largest magnitude first. equivalentPole gives each as s-plane
    // frequency and damping.
    std::vector<std::complex<double>> poles;
    std::array<LoopMargins, kLoopCount> loops{};  // up, forward, right, turn
};

// A discrete pole z as the continuous pole s = ln(z) / T it stands for.
struct EquivalentPole {
    double frequencyHz = 0.0;    // |s| / 2 pi
    double damping = 0.0;        // -Re(s) / |s|; negative: growing
    double realPerSecond = 0.0;  // Re(s): growth (+) or decay (-) rate
};
EquivalentPole equivalentPole(std::complex<double> z, double frameRateHz);

// Linearises the aircraft at a 100 ft hover in calm air and analyses the
// hold flown with these gains at frameRateHz updates a second, with the
// command reaching the controls delayFrames updates late (0, 1 or 2).
HoldAnalysis analyseHold(const flight::Parameters& aircraft, const Gains& gains, double frameRateHz,
                         int delayFrames);
// The same on a plant already linearised (a tuner calls this many times).
HoldAnalysis analyseHold(const LinearPlant& plant, const Gains& gains, double frameRateHz, int delayFrames);

// The sampled system behind the analysis, open at the four actuators:
// X[k+1] = A X[k] + B w[k], v[k] = C X[k], with w the control deviations the
// aircraft flies with and v the module's delayed commands (counts, loop
// order). The hold is v = w. The state is the plant's, then E, R, I of each
// loop in loop order, then the delay line.
struct SampledHold {
    Eigen::MatrixXd A, B, C;
    int plantStates = 0;
};
SampledHold sampleHold(const LinearPlant& plant, const Gains& gains, double frameRateHz, int delayFrames);

// One loop's law at the update period T: state (E, R, I), input the raw
// error e (measurement minus set point), output the command deviation in
// counts. E' = a E + b e, R' = c (E' - E) / T + r R, I' = I + T E',
// u = Kpr (E' + Tv R' + I' / Tn).
struct LoopLaw {
    Eigen::Matrix3d A;
    Eigen::Vector3d b;
    Eigen::RowVector3d c;
    double d = 0.0;
};
LoopLaw loopLaw(double kpr, double tv, double tn, double period);

}  // namespace analysis

#endif
