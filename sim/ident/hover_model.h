// SPDX-License-Identifier: MIT
//
// The linear hover model that hoverident fits to a recorded flight and that
// the analysis and the tuner take in place of a flight model: the rigid
// body about a steady hover in the loop axes the hold works in, with the
// derivatives that set its four loops, the coupling between them that
// matters, and one command latency.
//
// States (x), in the level heading frame about the trim:
//   u  forward speed over the ground, m/s      p  roll rate (Euler), rad/s, right wing down +
//   v  right speed over the ground, m/s        q  pitch rate (Euler), rad/s, nose up +
//   w  up speed, m/s                           r  heading rate, rad/s, clockwise seen from above +
//   phi bank, rad, right wing down +           theta pitch, rad, nose up +
//   h  height, m
// Inputs (d), counts off the trim, in the analysis's order: collective,
// elevator (forward +), aileron (left +), rudder (left pedal +). Every input
// reaches the aircraft delayS after the panel update that set it.
//
//   u' = Xu u + Xq q - g theta + Xe de         p' = Lp p + Lq q + Lv v + La da + Le de
//   v' = Yv v + Yp p + g phi  + Ya da + Yr dr  q' = Mq q + Mp p + Mu u + Me de + Ma da
//   w' = Zw w + Zc dc                          r' = Nr r + Np p + Nd dr + Nc dc
//
// Xq and Yp are the disc's tilt against the shaft while the body turns: on
// a rotor with a stabiliser bar they are as large as the weight's share.
//   phi' = p     theta' = q     h' = w
//
// The rotor's disc and its inflow take a moment to follow: the rotor's
// part of the roll and pitch equations (every term of their rows but the
// speed terms Lv and Mu) and of the heave equation (Zw, and the share of
// Zc the collective does not give at once) acts through a first-order lag
// of its own time constant,
//
//   q' = Mu u + mq      mq' = (Mq q + Mp p + Me de + Ma da - mq) / tauPitch
//   w' = Zi dc + mw     mw' = (Zw w + (Zc - Zi) dc - mw) / tauHeave
//
// and the roll row alike. The terms keep their quasi-steady meaning (what
// the equations give once the lag has settled), which is what the
// flight model's own linearisation gives with its rotor made quasi-steady;
// a lag of 0 is the model without the rotor's dynamics.
//
// In air that moves, the speed terms act on the speed through the air: a
// wind of components (uw, vw, ww) replaces u by u - uw in Xu and Mu, and so
// on. Gravity, the kinematics and the height are fixed; every other term is
// a parameter of the fit.
#ifndef HOVER_SIM_IDENT_HOVER_MODEL_H
#define HOVER_SIM_IDENT_HOVER_MODEL_H

#include <array>
#include <optional>
#include <string>

#include "sim/analysis/plant.h"

namespace ident {

enum State : int { kU = 0, kV, kW, kP, kQ, kR, kPhi, kTheta, kH, kStateCount };

// The fitted terms. Where a term sits: in A (row, column = state) or in B
// (row, column = analysis::Input).
enum Term : int {
    kXu = 0,
    kXq,
    kYv,
    kYp,
    kZw,
    kLp,
    kLq,
    kLv,
    kMq,
    kMp,
    kMu,
    kNr,
    kNp,
    kXe,
    kYa,
    kYr,
    kZc,
    kLa,
    kLe,
    kMa,
    kMe,
    kNd,
    kNc,
    kTermCount
};

struct TermInfo {
    const char* name;  // as the plant file and the reports write it
    bool inB;          // false: an entry of A
    int row;           // State
    int column;        // State (A) or analysis::Input (B)
    const char* unit;
    const char* meaning;
};

//  name   inB    row     column                 unit                 meaning
inline constexpr TermInfo kTerms[kTermCount] = {
    {.name = "Xu", .inB = false, .row = kU, .column = kU, .unit = "1/s", .meaning = "speed damping, forward"},
    {.name = "Xq",
     .inB = false,
     .row = kU,
     .column = kQ,
     .unit = "m/s per rad",
     .meaning = "forward force of the pitch rate"},
    {.name = "Yv",
     .inB = false,
     .row = kV,
     .column = kV,
     .unit = "1/s",
     .meaning = "speed damping, sideways"},
    {.name = "Yp",
     .inB = false,
     .row = kV,
     .column = kP,
     .unit = "m/s per rad",
     .meaning = "side force of the roll rate"},
    {.name = "Zw", .inB = false, .row = kW, .column = kW, .unit = "1/s", .meaning = "heave damping"},
    {.name = "Lp", .inB = false, .row = kP, .column = kP, .unit = "1/s", .meaning = "roll damping"},
    {.name = "Lq", .inB = false, .row = kP, .column = kQ, .unit = "1/s", .meaning = "roll from pitch rate"},
    {.name = "Lv", .inB = false, .row = kP, .column = kV, .unit = "rad/(m s)", .meaning = "dihedral"},
    {.name = "Mq", .inB = false, .row = kQ, .column = kQ, .unit = "1/s", .meaning = "pitch damping"},
    {.name = "Mp", .inB = false, .row = kQ, .column = kP, .unit = "1/s", .meaning = "pitch from roll rate"},
    {.name = "Mu", .inB = false, .row = kQ, .column = kU, .unit = "rad/(m s)", .meaning = "speed stability"},
    {.name = "Nr", .inB = false, .row = kR, .column = kR, .unit = "1/s", .meaning = "yaw damping"},
    {.name = "Np", .inB = false, .row = kR, .column = kP, .unit = "1/s", .meaning = "yaw from roll rate"},
    {.name = "Xe",
     .inB = true,
     .row = kU,
     .column = analysis::kElevator,
     .unit = "m/s2 per count",
     .meaning = "forward force of the cyclic"},
    {.name = "Ya",
     .inB = true,
     .row = kV,
     .column = analysis::kAileron,
     .unit = "m/s2 per count",
     .meaning = "side force of the cyclic"},
    {.name = "Yr",
     .inB = true,
     .row = kV,
     .column = analysis::kRudder,
     .unit = "m/s2 per count",
     .meaning = "side force of the pedals"},
    {.name = "Zc",
     .inB = true,
     .row = kW,
     .column = analysis::kThrottle,
     .unit = "m/s2 per count",
     .meaning = "heave control power"},
    {.name = "La",
     .inB = true,
     .row = kP,
     .column = analysis::kAileron,
     .unit = "rad/s2 per count",
     .meaning = "roll control power"},
    {.name = "Le",
     .inB = true,
     .row = kP,
     .column = analysis::kElevator,
     .unit = "rad/s2 per count",
     .meaning = "roll from fore-aft cyclic"},
    {.name = "Ma",
     .inB = true,
     .row = kQ,
     .column = analysis::kAileron,
     .unit = "rad/s2 per count",
     .meaning = "pitch from lateral cyclic"},
    {.name = "Me",
     .inB = true,
     .row = kQ,
     .column = analysis::kElevator,
     .unit = "rad/s2 per count",
     .meaning = "pitch control power"},
    {.name = "Nd",
     .inB = true,
     .row = kR,
     .column = analysis::kRudder,
     .unit = "rad/s2 per count",
     .meaning = "yaw control power"},
    {.name = "Nc",
     .inB = true,
     .row = kR,
     .column = analysis::kThrottle,
     .unit = "rad/s2 per count",
     .meaning = "yaw from collective (torque)"},
};

// A fitted value and its standard error (0 where not estimated).
struct Estimate {
    double value = 0.0;
    double standardError = 0.0;
};

// The rotor's lags (hover_model's header comment). Zero: quasi-steady.
struct RotorLag {
    Estimate rollS;         // s
    Estimate pitchS;        // s
    Estimate heaveS;        // s
    Estimate heaveInstant;  // Zi, m/s2 per count: the collective's thrust before the inflow answers
    bool any() const { return rollS.value > 0.0 || pitchS.value > 0.0 || heaveS.value > 0.0; }
};

// What the rotor speed does, measured by the rotor reading (% of normal
// off the trim): its thrust, and the engine's torque on the fuselage as
// the governor answers a droop. The flight model's linearisation holds the
// rotor speed, and so do the analysis and the tuner: over the loops' band
// the governor keeps it within a fraction of a per cent. These terms are
// fitted so that what the rotor speed does is not blamed on the others.
//   w' += Zo (rotor - trim)        r' += No (rotor - trim) + Nod rotor'
struct RotorSpeedTerms {
    Estimate heave;              // Zo, m/s2 per %
    Estimate yaw;                // No, rad/s2 per %
    Estimate yawOfAcceleration;  // Nod, rad/s2 per %/s
};

// The rotor's lag states that toLinearPlant appends after the rigid ones
// when the model has a lag: the rotor's share of p', q' and w'.
enum LagState : int { kLagRoll = kStateCount, kLagPitch, kLagHeave, kExtendedStateCount };

struct HoverModel {
    std::string name;  // what the plant is: "identified from <log>" or the aircraft's name
    std::array<Estimate, kTermCount> terms{};
    Estimate delayS;  // command latency, s
    RotorLag rotor;
    RotorSpeedTerms rotorSpeed;
    // The hover the model is about: the control positions in host axis
    // units and the radar height, ft.
    double trimElevator = 0.0, trimAileron = 0.0, trimRudder = 0.0, trimThrottle = 8192.0;
    double heightFt = 100.0;
    double rotorDiameterFt = 32.3;
};

inline constexpr double kGravity = 9.80665;  // m/s2

// The model as the analysis holds a plant: A, B and the module's outputs
// (analysis::Output) over these states, and the three lag states after
// them when the rotor has a lag. The latency is not in it; the analysis
// takes it with the host's loop.
analysis::LinearPlant toLinearPlant(const HoverModel& model);
// Its A and B alone (x' = A x + B d in calm air).
void stateMatrices(const HoverModel& model, Eigen::MatrixXd& A, Eigen::MatrixXd& B);

// The plant file: TOML, every term with its standard error and unit.
// readPlantFile fails with one line "file:line: reason".
std::string plantFileText(const HoverModel& model, const std::string& comment);
std::optional<HoverModel> readPlantFile(const std::string& path, std::string& error);

}  // namespace ident

#endif
