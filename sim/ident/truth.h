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
};

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
// whether it is within kLoopTermTolerance. `trueDelayS` is the host loop's
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
