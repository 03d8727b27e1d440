// SPDX-License-Identifier: MIT
//
// The hover hold on a helicopter, linearised: the flight model about a calm
// hover, the module's four loops exactly as it computes them once per panel
// update (error filter, rate filter, integral, height hold), the zero-order
// hold over each stretch between updates and the host's command latency.
// What it answers: are the closed loops stable, and how much gain and phase
// each loop has in hand when it is broken at its actuator with the other
// three closed.
//
// The loop is the host's (host::HostLoop): the flight model steps every
// visual frame, the module is served on the visual frames that carry a
// panel update, so the time between two updates is a whole number of visual
// frames and varies with a pattern that repeats every V / gcd(V, P) visual
// frames (V visual frames and P panel updates a second); the law uses the
// measured time step of each call; each command moves the controls latencyS
// after its update (or, with delayUpdates, only at a later update).
//
// Two models of it, for two questions:
// - Stability is exact for that loop. Each update's transition, with its own
//   time step in the law and the stretch up to the next update split where a
//   delayed command takes over (the plant's continuous model discretised
//   over each piece), is multiplied over one pattern; the closed loop is
//   stable when every eigenvalue of that product (the monodromy matrix) lies
//   strictly inside the unit circle.
// - The margins are a time-invariant approximation: the same loop with
//   updates evenly spaced at the mean panel period 1 / P and the latency
//   kept as it is, a fraction of a period included (the stretch split where
//   the command takes over, as a modified z-transform does). Each loop is
//   broken at its actuator, the other three closed, for its classical gain
//   and phase margins, its symmetric disk margin and its sensitivity peak.
//   With V a multiple of P the two models are the same loop.
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
#include "sim/host/host_loop.h"

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
    bool trimmed = false;  // the aircraft has a hover trim within its control ranges
    // The exact verdict on the loop analysed: every eigenvalue of the
    // monodromy matrix (one pattern of updates) strictly inside the unit
    // circle.
    bool closedLoopStable = false;
    double largestPoleMagnitude = 0.0;  // the monodromy matrix's, over one pattern
    // Every eigenvalue of the monodromy matrix (plant, law, pending
    // commands), largest magnitude first. They are poles sampled once a
    // pattern: equivalentPole(z, poleRateHz) gives each as s-plane frequency
    // and damping (frequencies above half poleRateHz are seen folded below
    // it).
    std::vector<std::complex<double>> poles;
    double poleRateHz = 0.0;     // 1 / patternPeriodS
    double patternPeriodS = 0.0;  // the time over which the update pattern repeats
    int updatesPerPattern = 0;   // panel updates in one pattern (1 when V is a multiple of P)
    host::HostLoop loop{};       // the loop analysed
    // The time-invariant model the margins are read on (mean panel period,
    // the same latency): whether its closed loop is stable, and its largest
    // pole per update. The margins describe a boundary only when it is.
    bool marginModelStable = false;
    double marginModelLargestPole = 0.0;
    std::array<LoopMargins, kLoopCount> loops{};  // up, forward, right, turn, with their disk margins
};

// A discrete pole z as the continuous pole s = ln(z) / T it stands for.
struct EquivalentPole {
    double frequencyHz = 0.0;    // |s| / 2 pi
    double damping = 0.0;        // -Re(s) / |s|; negative: growing
    double realPerSecond = 0.0;  // Re(s): growth (+) or decay (-) rate
};
EquivalentPole equivalentPole(std::complex<double> z, double frameRateHz);

// Linearises the aircraft at a 100 ft hover in calm air and analyses the
// hold flown with these gains on the host's loop. The loop must have
// 1 <= panelRate <= visualRate, 0 <= latencyS <= 2 / panelRate and
// delayUpdates 0, 1 or 2; otherwise std::invalid_argument.
HoldAnalysis analyseHold(const flight::Parameters& aircraft, const Gains& gains, const host::HostLoop& loop);
// The same on a plant already linearised (a tuner calls this many times).
HoldAnalysis analyseHold(const LinearPlant& plant, const Gains& gains, const host::HostLoop& loop);

// The hold with updates evenly spaced, frameRateHz a second, and each
// command reaching the controls delayFrames updates late (0, 1 or 2): the
// loop where the visual frames are the panel updates.
HoldAnalysis analyseHold(const flight::Parameters& aircraft, const Gains& gains, double frameRateHz,
                         int delayFrames);
HoldAnalysis analyseHold(const LinearPlant& plant, const Gains& gains, double frameRateHz, int delayFrames);

// The exact model behind the verdict: the closed loop's transition from one
// update to the next over one pattern, and their product. The state at an
// update, before the module is served, is the plant's, then E, R, I of each
// loop in loop order, then the commands sent but not yet felt, newest
// first, four (loop order) per update.
struct LiftedHold {
    std::vector<Eigen::MatrixXd> steps;  // update k of the pattern to update k + 1
    Eigen::MatrixXd monodromy;           // steps.back() * ... * steps.front()
    int plantStates = 0;
    int pendingUpdates = 0;  // updates whose commands the state holds
    double periodS = 0.0;    // the pattern's duration
};
LiftedHold liftHold(const LinearPlant& plant, const Gains& gains, const host::HostLoop& loop);

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

// The margins' time-invariant model of the host's loop, open at the four
// actuators in the same sense: w the commands as they leave the module (the
// plant feels each latencyS later), v the commands the law computes, v = C X;
// the hold is v = w. State as in LiftedHold, at the mean panel period.
SampledHold sampleHoldAtMeanPeriod(const LinearPlant& plant, const Gains& gains, const host::HostLoop& loop);
// The exact model's update k (0: the first of the pattern; any k, the
// pattern repeats) in the same open form: the law at that update's own time
// step, the plant up to the next update.
SampledHold sampleHoldAtUpdate(const LinearPlant& plant, const Gains& gains, const host::HostLoop& loop,
                               int64_t k);

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
