// SPDX-License-Identifier: MIT
//
// What an identification of a flight model should find: the model's own
// linearisation at a hover, brought to the identified model's form. The
// rotor's fast states (the inflows and the disc's tilt) are taken as
// quasi-steady, so each rigid-body derivative holds what the rotor adds to
// it; its slow states (rotor speed, engine, stabiliser bar) are held at the
// trim, as they stand over the band a designed input excites. The rigid
// states are then expressed in
// the loop axes of hover_model.h (level heading frame, Euler rates). The
// entries of the result that the model leaves out are kept, so a test can
// say how large they are.
#ifndef HOVER_SIM_IDENT_TRUTH_H
#define HOVER_SIM_IDENT_TRUTH_H

#include <Eigen/Dense>
#include <string>

#include "sim/analysis/plant.h"
#include "sim/flight/parameters.h"
#include "sim/ident/hover_model.h"

namespace ident {

struct Truth {
    HoverModel model;   // the terms, standard errors 0, delay 0
    Eigen::MatrixXd A;  // kStateCount x kStateCount, every entry
    Eigen::MatrixXd B;  // kStateCount x analysis::kInputCount
    bool trimmed = false;
    // The slowest of the quasi-steady states' own modes, 1/s: how far the
    // rotor's fast states are from the rigid body's.
    double slowestEliminatedRate = 0.0;
    // The model's own form fitted to the linearisation's exact response
    // over the band of the designed inputs (responseFit): what a perfect,
    // noise-free identification with this form would find. With the slow
    // states held it shows what the rotor's fast states alone do to the
    // terms; as flown, also what the rotor speed and the bar add.
    HoverModel formOnResponseHeld;
    HoverModel formOnResponseAsFlown;
};

// The band the designed inputs excite, Hz.
inline constexpr double kBandFromHz = 0.1;
inline constexpr double kBandToHz = 5.0;

// Fits the hover model's form (its terms, with gravity and the kinematics
// fixed) to the frequency response of x' = A x + B d, by least squares on
// each equation over a log-spaced grid of the band, every frequency
// weighted alike. `toModel` (kStateCount x n) maps the plant's state to the
// model's u, v, w, r, phi, theta and h (its p and q rows are not used: the
// Euler rates are taken as the derivatives of phi and theta). The delay is
// left at 0. Where the plant has exactly the model's form the fit returns
// its terms; where it has more dynamics in the band, the terms absorb them.
HoverModel responseFit(const Eigen::MatrixXd& A, const Eigen::MatrixXd& B, const Eigen::MatrixXd& toModel,
                       double fromHz = kBandFromHz, double toHz = kBandToHz);

Truth truthAtHover(const flight::Parameters& aircraft, const analysis::HoverPoint& point = {});

// The terms that set the four loops: each axis's control power, the
// damping of pitch, roll, yaw and heave, and the coupling between the two
// cyclic axes. An identification is held to these; the rest it reports.
inline constexpr Term kLoopTerms[] = {kMe, kLa, kNd, kZc, kMq, kLp, kNr, kZw, kLe, kMa};
// Relative to the truth; a cross term between the cyclic axes at least a
// tenth of its row's control power (Le of La, Ma of Me), since 20 % of a
// coupling that is nearly nothing asks for more than a flight can show.
inline constexpr double kLoopTermTolerance = 0.20;

bool setsTheLoops(Term term);

// Identified against true, one Markdown row per term (the loop terms
// first) and one for the latency: the truth, the estimate with its standard
// error, the difference relative to the truth, and for the loop terms
// whether it is within kLoopTermTolerance, and beside them what the
// model's form fitted to the linearisation's exact response gives (held
// and as flown) relative to the truth. `trueDelayS` is the host loop's
// latency the flight was flown with; the physics step is the latency's
// tolerance.
std::string comparisonTable(const HoverModel& identified, const Truth& truth, double trueDelayS,
                            double physicsStepS);

// Whether every loop term is within its tolerance and the delay within a
// physics step; `why` names the first that is not.
bool identifiedWithinTolerance(const HoverModel& identified, const Truth& truth, double trueDelayS,
                               double physicsStepS, std::string& why);

}  // namespace ident

#endif
