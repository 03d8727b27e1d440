// SPDX-License-Identifier: MIT
//
// The helicopter about a steady hover as a linear system, seen the way the
// hold sees it: inputs are the four control positions in the host's axis
// units, outputs are the quantities the module measures, in the units its
// loops work in. Found by numerical differentiation of the flight model
// itself, so it follows whatever the model holds (extra rotor, inflow or
// actuator states included).
#ifndef HOVER_SIM_ANALYSIS_PLANT_H
#define HOVER_SIM_ANALYSIS_PLANT_H

#include <Eigen/Dense>
#include <string>
#include <vector>

#include "sim/flight/helicopter.h"

namespace analysis {

// Inputs of the linear plant, in the order of the module's loops.
enum Input : int {
    kThrottle = 0,  // collective, counts of 0..16384 (Up loop)
    kElevator,      // counts of -16383..16383, positive forward cyclic (Forward loop)
    kAileron,       // counts, positive left cyclic (Right loop)
    kRudder,        // counts, positive left pedal (Turn loop)
    kInputCount
};

// Outputs: what the module computes from the host's readings.
enum Output : int {
    kUpSpeed = 0,   // m/s, up positive
    kForwardSpeed,  // m/s over the ground along the heading
    kRightSpeed,    // m/s over the ground to the right of the heading
    kTurnRate,      // deg/s, heading rate
    kHeightFt,      // radar height, ft (the height hold's input)
    kOutputCount
};

struct HoverPoint {
    double heightFt = 100.0;  // skids above the ground
    double headingDeg = 0.0;  // calm air: the heading changes nothing
};

// x' = A x + B u, y = C x; x the deviation from the trim in the reduced
// state (see stateNames), u the control deviation in counts, y the output
// deviation.
struct LinearPlant {
    Eigen::MatrixXd A;
    Eigen::MatrixXd B;
    Eigen::MatrixXd C;
    std::vector<std::string> stateNames;
    flight::Controls trimControls{};
    flight::Helicopter::StateVector trimState{};
    bool trimmed =
        false;  // false: no trim in the control ranges; the matrices are then about the closest point found
};

// Trims the helicopter in calm air at the hover point and differentiates the
// model there. The reduced state leaves out what no force, moment or reading
// depends on in calm air (north, east, heading) and replaces the attitude
// quaternion by roll and pitch angles, so the plant has no modes that only
// bookkeep.
LinearPlant linearisePlant(const flight::Parameters& aircraft, const HoverPoint& point = {});

}  // namespace analysis

#endif
