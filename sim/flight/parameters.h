// SPDX-License-Identifier: MIT
//
// Every coefficient of the helicopter model in one table, with its unit and
// where it comes from. "Padfield" is the Bo-105 data set of Padfield,
// Helicopter Flight Dynamics, as tabulated in the HEROES toolbox
// (rigidBo105.m); "estimate" marks a figure chosen for this model where no
// published number was to hand, with the reasoning in docs/flight-model.md.
#ifndef HOVER_SIM_FLIGHT_PARAMETERS_H
#define HOVER_SIM_FLIGHT_PARAMETERS_H

namespace flight {

struct Parameters {
    // Atmosphere and gravity.
    double airDensity = 1.225;          // kg/m^3, sea-level standard
    double gravity = 9.80665;           // m/s^2

    // Rigid body.
    double mass = 2200.0;               // kg, Padfield
    double ixx = 1433.0;                // kg m^2, Padfield
    double iyy = 4973.0;                // kg m^2, Padfield
    double izz = 4099.0;                // kg m^2, Padfield
    double ixz = 660.0;                 // kg m^2, Padfield

    // Main rotor (anticlockwise seen from above).
    double rotorRadius = 4.91;          // m, Padfield
    int blades = 4;                     // Padfield
    double rotorSpeed = 44.4;           // rad/s, nominal, Padfield
    double bladeChord = 0.27;           // m, Padfield
    double liftSlope = 6.113;           // 1/rad, Padfield
    double twist = -0.14;               // rad, root to tip, linear, Padfield
    double flapInertia = 231.7;         // kg m^2 per blade, Padfield
    double hubStiffness = 113330.0;     // N m/rad per blade, centre-spring equivalent, Padfield
    double profileDrag0 = 0.0074;       // cd = d0 + d1 a + d2 a^2, Padfield
    double profileDrag1 = 0.00961;      // 1/rad, Padfield
    double profileDrag2 = 0.29395;      // 1/rad^2, Padfield
    double shaftTilt = 0.0523;          // rad, forward, Padfield
    double hubHeight = 1.48;            // m above the CG, Padfield
    double hubAft = 0.08;               // m, hub axis behind the CG (CG ahead of it), Padfield
    double rotorPolarInertia = 927.0;   // kg m^2, blades times flap inertia (estimate: blades only)
    double inducedPowerFactor = 1.15;   // kappa, non-uniform inflow and tip losses (estimate, common value)

    // Tail rotor (thrust to the right balances the main rotor torque).
    double tailRadius = 0.95;           // m, Padfield
    int tailBlades = 2;                 // Padfield
    double tailChord = 0.18;            // m, Padfield
    double tailLiftSlope = 5.7;         // 1/rad, Padfield
    double tailSpeed = 232.478;         // rad/s = 2220 rpm, Padfield
    double tailArm = 6.0;               // m behind the CG, Padfield (about)
    double tailHeight = 1.7;            // m above the CG, Padfield (about)

    // Fuselage, drag as flat-plate areas on the body axes (no moments).
    double dragAreaX = 1.4;             // m^2, equivalent flat plate forward (estimate for the class)
    double planArea = 7.5;              // m^2, Padfield
    double sideArea = 8.3;              // m^2, Padfield
    double planDragCoefficient = 0.8;   // on the plan area (estimate, bluff body)
    double sideDragCoefficient = 0.8;   // on the side area (estimate, bluff body)

    // Tail surfaces, linear lift on the local flow (estimate: Bo-105 sizes).
    double stabiliserArea = 0.803;      // m^2 (estimate)
    double stabiliserLiftSlope = 3.5;   // 1/rad (estimate, low aspect ratio)
    double stabiliserArm = 4.56;        // m behind the CG (estimate)
    double finArea = 0.805;             // m^2 (estimate)
    double finLiftSlope = 3.5;          // 1/rad (estimate)
    double finArm = 5.42;               // m behind the CG (estimate)
    double finHeight = 0.8;             // m above the CG (estimate)

    // Engines and governor.
    double powerAvailable = 520000.0;   // W at the rotor shafts, twin-engine transmission limit (estimate for the class)
    double engineTimeConstant = 0.4;    // s, first-order engine response (estimate)
    double governorGain = 4.0;          // fraction of powerAvailable per unit of relative speed error, per rotor-speed unit (estimate)

    // Skids: four contact points, spring-damper normal force, smooth Coulomb friction.
    double skidHalfTrack = 1.25;        // m, lateral half distance (estimate for the class)
    double skidForward = 1.5;           // m, front contact ahead of the CG (estimate)
    double skidAft = 1.6;               // m, rear contact behind the CG (estimate)
    double skidDepth = 1.35;            // m, skid bottom below the CG (estimate)
    double skidStiffness = 160000.0;    // N/m per contact point (estimate: about 3 cm static sink)
    double skidDamping = 12000.0;       // N s/m per contact point (estimate: well damped)
    double skidFriction = 0.5;          // Coulomb coefficient (estimate)
    double skidStickTravel = 0.01;      // m a sticking contact gives before it slips (estimate)

    // Control rigging: host axis position to blade angle.
    double collectiveLow = 0.0873;      // rad root pitch at throttle 0 (5 deg)
    double collectiveHigh = 0.4014;     // rad root pitch at throttle 16384 (23 deg)
    double longCyclicRange = 0.1745;    // rad at elevator +-16383 (10 deg)
    double latCyclicRange = 0.1396;     // rad at aileron +-16383 (8 deg)
    // Swashplate phase: the cyclic is applied this far ahead in azimuth so that
    // the stiff rotor's disc tilts the way the stick moves (the hub spring
    // makes the flap response lag by atan2(g, S) = 68.6 deg instead of 90 deg
    // at nominal rotor speed, S = Kb / (Ib Omega^2), g = Lock number / 8).
    double cyclicPhase = 0.0;           // rad (see docs/flight-model.md)
    double tailPitchCentre = 0.1571;    // rad at rudder 0 (9 deg, near the hover trim)
    double tailPitchRange = 0.2094;     // rad at rudder +-16383 (12 deg)

    // Integration.
    // 90 Hz agrees with 720 Hz to three or four figures over manoeuvres and
    // lift-off (docs/flight-model.md). Host frames of 18, 30 and 45 Hz fall
    // on the grid; a step that another frame rate ends inside is split there.
    double physicsRateHz = 90.0;
    int turbulenceEverySteps = 2;       // turbulence filters advance every second step (45 Hz)
};

}  // namespace flight

#endif
