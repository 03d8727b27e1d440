// SPDX-License-Identifier: MIT
//
// Every coefficient of the helicopter model. The aircraft's own figures come
// from an aircraft file (aircraft/*.toml, read by sim/flight/aircraft_file.h),
// where each one stands with its unit and source; they have no values here,
// so a model can only be built from a file someone wrote down and checked.
// The air, gravity and the integration grid are the same for every aircraft
// and keep their values in this header.
#ifndef HOVER_SIM_FLIGHT_PARAMETERS_H
#define HOVER_SIM_FLIGHT_PARAMETERS_H

namespace flight {

// How the blades are held at the hub. It decides whether the hub transmits a
// spring moment and whether the aircraft file may carry a flap stiffness.
enum class RotorType {
    kHingeless,    // stiff blades on a flexible hub: a centre-spring equivalent
    kArticulated,  // flap hinges with an offset: its centre-spring equivalent
    kTeetering,    // two blades on one see-saw hinge: no hub moment at all
};

struct Parameters {
    // Atmosphere and gravity (standard sea level; not aircraft data).
    double airDensity = 1.225;  // kg/m^3
    double gravity = 9.80665;   // m/s^2

    // Rigid body.
    double mass{};                      // kg
    double ixx{}, iyy{}, izz{}, ixz{};  // kg m^2

    // Main rotor (anticlockwise seen from above).
    RotorType rotorType = RotorType::kHingeless;
    double rotorRadius{};  // m
    int blades{};
    double rotorSpeed{};          // rad/s, nominal
    double bladeChord{};          // m
    double liftSlope{};           // 1/rad
    double twist{};               // rad, root to tip, linear
    double flapInertia{};         // kg m^2 per blade
    double hubStiffness{};        // N m/rad per blade, centre-spring equivalent
    double profileDrag0{};        // cd = d0 + d1 a + d2 a^2
    double profileDrag1{};        // 1/rad
    double profileDrag2{};        // 1/rad^2
    double shaftTilt{};           // rad, forward
    double hubHeight{};           // m above the CG
    double hubAft{};              // m, hub axis behind the CG
    double rotorPolarInertia{};   // kg m^2, rotor and drive about the shaft
    double inducedPowerFactor{};  // kappa

    // Tail rotor (thrust to the right balances the main rotor torque).
    double tailRadius{};  // m
    int tailBlades{};
    double tailChord{};      // m
    double tailLiftSlope{};  // 1/rad
    double tailSpeed{};      // rad/s at the nominal main rotor speed
    double tailArm{};        // m behind the CG
    double tailHeight{};     // m above the CG

    // Fuselage, drag as flat-plate areas on the body axes (no moments).
    double dragAreaX{};  // m^2, equivalent flat plate forward
    double planArea{};   // m^2
    double sideArea{};   // m^2
    double planDragCoefficient{};
    double sideDragCoefficient{};

    // Optional stabiliser bar (Bell type): a gyroscopic bar that keeps its
    // plane while the shaft tilts, lags back to it, and feeds its tilt
    // against the shaft into the cyclic.
    bool hasStabiliserBar = false;
    double barGain{};          // rad of cyclic per rad of bar tilt
    double barTimeConstant{};  // s

    // Tail surfaces: lift on the local flow, linear up to the normal-force
    // limit of a flat plate, the horizontal one in the main rotor's wake
    // where the wake's geometry puts it.
    double stabiliserArea{};       // m^2
    double stabiliserLiftSlope{};  // 1/rad
    double stabiliserArm{};        // m behind the CG
    double stabiliserHeight{};     // m above the CG
    double stabiliserIncidence{};  // rad, leading edge up
    double stabiliserMaxNormal{};  // largest normal-force coefficient
    double wakeDownwashFactor{};   // downwash in the wake over the disc's induced velocity
    double finArea{};              // m^2
    double finLiftSlope{};         // 1/rad
    double finArm{};               // m behind the CG
    double finHeight{};            // m above the CG
    double finIncidence{};         // rad, leading edge to the left: side force to the right
    double finMaxNormal{};         // largest normal-force coefficient

    // Engines and governor.
    double powerAvailable{};      // W at the rotor shafts
    double engineTimeConstant{};  // s, first-order engine response
    double governorGain{};        // fraction of powerAvailable per unit of relative speed error

    // Skids: four contact points, spring-damper normal force, Coulomb friction.
    double skidHalfTrack{};    // m, lateral half distance
    double skidForward{};      // m, front contact ahead of the CG
    double skidAft{};          // m, rear contact behind the CG
    double skidDepth{};        // m, skid bottom below the CG
    double skidStiffness{};    // N/m per contact point
    double skidDamping{};      // N s/m per contact point
    double skidFriction{};     // Coulomb coefficient
    double skidStickTravel{};  // m a sticking contact gives before it slips

    // Control rigging: host axis position to blade angle.
    double collectiveLow{};    // rad root pitch at throttle 0
    double collectiveHigh{};   // rad root pitch at throttle 16384
    double longCyclicRange{};  // rad at elevator +-16383
    double latCyclicRange{};   // rad at aileron +-16383
    // Swashplate phase: the cyclic is applied this far ahead in azimuth, so
    // that a stiff rotor's disc tilts the way the stick moves.
    double cyclicPhase{};      // rad
    double tailPitchCentre{};  // rad at rudder 0
    double tailPitchRange{};   // rad at rudder +-16383

    // Actuators: the blade angles follow the commands no faster than this.
    double collectiveRate{};  // rad/s
    double longCyclicRate{};  // rad/s
    double latCyclicRate{};   // rad/s
    double tailPitchRate{};   // rad/s

    // Integration (the same for every aircraft).
    // 90 Hz agrees with 720 Hz to three or four figures over manoeuvres and
    // lift-off (docs/flight-model.md). Host frames of 18, 30 and 45 Hz fall
    // on the grid; a step that another frame rate ends inside is split there.
    double physicsRateHz = 90.0;
    int turbulenceEverySteps = 2;  // turbulence filters advance every second step (45 Hz)
};

// The figures of an aircraft file that are known least well, as factors on
// the file's values: what a tuner varies to find gains that hold an
// aircraft it does not know exactly, and what a scenario flies to check
// one. Every factor 1: the aircraft as its file gives it.
struct ParameterScale {
    double inertia = 1.0;       // the body's moments of inertia (ixx, iyy, izz, ixz together)
    double controlPower = 1.0;  // blade angle per axis unit on both cyclic axes
    double rotorDamping = 1.0;  // the blades' flap inertia: the disc's lag behind the shaft, and so
                                // the rotor's damping of pitch and roll, goes nearly with it
    double tailRotor = 1.0;     // the tail rotor's lift slope: thrust per degree of pitch
};

// The factors' names as the files write them, in the order of the fields.
inline constexpr const char* kScaleKeys[] = {"inertia", "control_power", "rotor_damping", "tail_rotor"};
inline constexpr int kScaleCount = 4;

inline double& scaleFactor(ParameterScale& s, int i) {
    double* fields[] = {&s.inertia, &s.controlPower, &s.rotorDamping, &s.tailRotor};
    return *fields[i];
}
inline double scaleFactor(const ParameterScale& s, int i) {
    const double fields[] = {s.inertia, s.controlPower, s.rotorDamping, s.tailRotor};
    return fields[i];
}

// How far each factor may be from 1 for this aircraft: the factors range
// over 1 - spread .. 1 + spread. Read from the aircraft file's optional
// [uncertainty] table; 0.2 each where the file says nothing.
inline constexpr double kDefaultSpread = 0.2;
struct Uncertainty {
    ParameterScale spread{kDefaultSpread, kDefaultSpread, kDefaultSpread, kDefaultSpread};
};

// The parameters with the factors applied.
inline Parameters scaled(Parameters p, const ParameterScale& s) {
    p.ixx *= s.inertia;
    p.iyy *= s.inertia;
    p.izz *= s.inertia;
    p.ixz *= s.inertia;
    p.longCyclicRange *= s.controlPower;
    p.latCyclicRange *= s.controlPower;
    p.flapInertia *= s.rotorDamping;
    p.tailLiftSlope *= s.tailRotor;
    return p;
}

}  // namespace flight

#endif
