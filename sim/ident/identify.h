// SPDX-License-Identifier: MIT
//
// The fit of the linear hover model (hover_model.h) to recorded flights.
//
// First equation error: each state equation by least squares on the
// measured states and their derivatives (evenly resampled, smoothed with
// one symmetric filter that also smooths the inputs), with the command
// latency found by a search over a grid, then each rotor equation's lag
// (hover_model.h) on a grid with its regressors filtered through it. Then
// output error from there, the lags among the parameters:
// the model simulated from the measured state at the start of every window
// of a stretch (the window's starting roll and pitch rates, which the host
// does not read, fitted), the logged inputs held between rows and felt the
// latency later, a constant bias per equation per stretch, and the
// weighted squared differences to the measured u, v, w, r, phi, theta and
// h minimised by Levenberg-Marquardt. The latency is a continuous
// parameter of that fit: the simulation splits its steps at the instants
// the delayed inputs change.
//
// The open-loop hover is unstable and the turbulence is process noise that
// the pilot answers, so the simulation runs as a predictor: after each row
// the simulated states are pulled towards the measured ones, and a wind
// (acting through the speed terms) and a disturbance of each rate equation
// are updated from the same differences, with gains fitted along with the
// terms (the output-error fit is the case of zero gains). Heave and height
// are one group, the rest another; the groups share no term.
#ifndef HOVER_SIM_IDENT_IDENTIFY_H
#define HOVER_SIM_IDENT_IDENTIFY_H

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "sim/ident/flight_log.h"
#include "sim/ident/hover_model.h"

namespace ident {

struct IdentOptions {
    double windowS = 10.0;            // output-error windows, each started from the measured state
    double stepS = 1.0 / 90.0;        // longest integration step: a physics step of the flight model
    double maxDelayS = 0.25;          // the latency searched from 0 to this
    double smoothingS = 0.08;         // standard deviation of the equation-error filter
    double minStretchS = 2.0;         // shorter stretches are left out
    double minExcitationS = 3.5;      // one 3-2-1-1 at 0.5 s steps
    double minExcitationCounts = 50;  // RMS of the designed input on the axis
    double minCoherence = 0.5;        // input-weighted mean, 0.1-5 Hz
    double poorlyIdentified = 0.5;    // relative standard error above which a term is flagged
    double correlationLagS = 1.5;     // lag window of the coloured-residual correction
    int maxIterations = 40;
    double rotorDiameterFt = 32.3;  // not in the log; written to the plant file as given
};

enum Band : int { kLowBand = 0, kMidBand, kHighBand, kBandCount };  // 0.1-0.5, 0.5-2, 2-5 Hz

struct AxisExcitation {
    double designedS = 0.0;      // time a designed input played on the axis
    double excitationRms = 0.0;  // counts
    int segments = 0;            // Welch segments over the axis's excitations
    double coherence = -1.0;     // input-weighted mean in 0.1-5 Hz; -1 when too few segments
    std::array<double, kBandCount> bandCoherence{-1.0, -1.0, -1.0};
};

struct Identification {
    HoverModel model;  // output-error values, corrected standard errors
    // The same terms' Cramer-Rao bounds (white residuals assumed).
    std::array<double, kTermCount> cramerRao{};
    double delayCramerRao = 0.0;
    std::array<double, 4> lagCramerRao{};         // roll, pitch, heave lags, heave instant share
    std::array<double, 3> rotorSpeedCramerRao{};  // heave, yaw, yaw of the acceleration
    HoverModel equationError;                     // the starting values
    // The predictor's one-row-ahead errors (what the fit minimises), and the
    // model simulated over each window without the predictor's corrections.
    std::array<double, kMeasuredCount> residualRms{};
    std::array<double, kMeasuredCount> simulationRms{};
    std::array<AxisExcitation, analysis::kInputCount> axes{};
    int iterations = 0;
    bool converged = false;
    int rows = 0;
    int windows = 0;
    int stretches = 0;
    double durationS = 0.0;
    std::vector<std::string> files;
    std::vector<std::string> notes;
};

struct IdentOutcome {
    std::optional<Identification> result;
    std::string refusal;  // one line, naming the axis, when result is empty
};

IdentOutcome identify(const std::vector<FlightLog>& logs, const IdentOptions& options = {});

// The Markdown report: how to read it, the terms with their standard
// errors, the latency, the residuals, the coherence of each axis.
std::string reportText(const Identification& id, const IdentOptions& options);

}  // namespace ident

#endif
