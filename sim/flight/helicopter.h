// SPDX-License-Identifier: MIT
//
// A helicopter for the simulated host, built from an aircraft file:
// six-degree-of-freedom rigid body; main rotor with dynamic inflow, flapping
// with its own tip-path-plane lag, hub stiffness or a teetering hub, an
// optional stabiliser bar; tail rotor; fuselage, and tail surfaces in the
// main rotor's wake; rate-limited control actuators; engine and governor;
// skids on the ground. Controls come in the host's axis units and readings
// go out in the host's units, so the host only passes numbers through.
#ifndef HOVER_SIM_FLIGHT_HELICOPTER_H
#define HOVER_SIM_FLIGHT_HELICOPTER_H

#include <array>
#include <cstdint>

#include "sim/flight/parameters.h"
#include "sim/flight/wind.h"

namespace flight {

// Control positions in the host's axis units.
//   elevator  -16383..16383, positive = forward cyclic (nose down)
//   aileron   -16383..16383, positive = left cyclic
//   rudder    -16383..16383, positive = left pedal
//   throttle  0..16384, collective from low to high pitch
// Values outside the ranges are limited when they are applied.
struct Controls {
    double elevator = 0.0;
    double aileron = 0.0;
    double rudder = 0.0;
    double throttle = 0.0;
};

// Everything the host serves on its tokens, already in the host's units.
struct HostReadings {
    double headingDeg = 0.0;         // 86 and 81: true heading, 0 <= h < 360
    double groundVelNorthFtS = 0.0;  // 554
    double groundVelEastFtS = 0.0;   // 555
    double groundVelUpFtS = 0.0;     // 556, up positive
    double yawRateTurn65536 = 0.0;   // 70: 1/65536 turn per s, positive while the heading increases
    double radarHeightM = 0.0;       // 614: skids above the ground, 0 when sitting on it
    double rotorSpeedPercent = 0.0;  // 755: about 100 in normal flight
    double pitchNoseDownDeg = 0.0;   // 77: positive nose down
    double bankRightDeg = 0.0;       // right wing down positive (not a module token; for traces)
    double windFromDeg = 0.0;        // 344: direction the wind at the aircraft blows from
    double windSpeedKt = 0.0;        // 343: horizontal wind speed at the aircraft
    Controls controls{};             // 309, 311, 314, 128: the positions last applied
};

// Full state for logging, SI units, earth frame north-east-down, body frame
// x forward, y right, z down.
struct FlightState {
    double timeS = 0.0;
    double northM = 0.0, eastM = 0.0;
    double heightM = 0.0;                                    // centre of mass above the ground
    double radarHeightM = 0.0;                               // skids above the ground
    double rollRad = 0.0, pitchRad = 0.0, headingRad = 0.0;  // Euler angles, pitch nose up
    double p = 0.0, q = 0.0, r = 0.0;                        // body rates, rad/s
    double u = 0.0, v = 0.0, w = 0.0;                        // body velocity over the ground, m/s
    double velNorth = 0.0, velEast = 0.0, velDown = 0.0;     // earth velocity, m/s
    double rotorSpeedRadS = 0.0;
    double inducedVelocityMps = 0.0;  // main rotor, uniform
    double mainRotorThrustN = 0.0;
    double tailRotorThrustN = 0.0;
    double rotorPowerW = 0.0;  // main plus tail rotor, aerodynamic
    double enginePowerW = 0.0;
    double collectiveRad = 0.0;  // blade root pitch
    double longCyclicRad = 0.0;  // positive tilts the disc back
    double latCyclicRad = 0.0;   // positive tilts the disc left
    double tailPitchRad = 0.0;
    double flapBackRad = 0.0;  // disc tilt against the shaft, back positive
    double flapLeftRad = 0.0;  // left positive
    bool onGround = false;     // any skid point in contact
    WindVector wind{};         // air mass velocity at the aircraft
};

// The aircraft's demand for steady flight: height of the skids above the
// ground, ground speed along a track, and a heading.
struct TrimRequest {
    double heightFt = 100.0;
    double groundSpeedKt = 0.0;
    double trackDeg = 0.0;
    double headingDeg = 0.0;
};

struct TrimResult {
    bool converged = false;
    int iterations = 0;
    double residual = 0.0;  // largest scaled acceleration left
    Controls controls{};
};

class Helicopter {
public:
    // The aircraft's coefficients come from its aircraft file
    // (sim/flight/aircraft_file.h).
    explicit Helicopter(const Parameters& parameters);

    const Parameters& parameters() const { return params_; }

    // Air.
    void setWind(const WindSettings& settings);
    void addGust(const GustEvent& gust);
    void clearGusts();
    const WindSettings& wind() const { return wind_.settings(); }

    // Controls in host axis units (see Controls). setControls puts the
    // blades at the new angles at once, as trim and linearisation want;
    // commandControls sends them through the actuators, which move no
    // faster than the aircraft's rate limits, as a pilot or autopilot does.
    void setControls(const Controls& controls);
    void commandControls(const Controls& controls);
    const Controls& controls() const { return controls_; }

    // Engine and rotor speed events. The governor holds the rotor at its
    // reference speed while the engines have the power; with the power short
    // the rotor speed droops.
    void setGovernorSpeedPercent(double percent);  // 100 normal
    void setEnginePowerFraction(double fraction);  // 1 normal, 0 both engines out
    void forceRotorSpeedPercent(double percent);   // sets the rotor speed at once and holds it there

    // Puts the aircraft in steady flight for the request in the given wind
    // and sets the controls to their trim positions. Height 0 sits it on the
    // ground with the collective down. Returns false (aircraft placed, but
    // not in balance) when no trim within the control ranges is found.
    bool trim(const TrimRequest& request, const WindSettings& wind);
    const TrimResult& lastTrim() const { return lastTrim_; }

    // Advances the model by dt seconds of simulated time on a fixed grid of
    // physics steps, 1 / physicsRateHz apart. A step that a host frame ends
    // inside is split at the frame's time, so the readings are the state at
    // that time and new controls act from exactly then. A dt of 0 or less
    // (or not a number) does nothing.
    void advance(double dtSeconds);

    double timeS() const { return timeS_; }
    HostReadings readings() const;
    FlightState state() const;

    // Raw state vector access for analysis (linearisation, tests).
    static constexpr int kStateSize = 21;
    using StateVector = std::array<double, kStateSize>;
    enum StateIndex : int {
        kNorth = 0,
        kEast,
        kDown,  // position, m (down = minus height of the CG above ground)
        kU,
        kV,
        kW,  // body velocity over the ground, m/s
        kQ0,
        kQ1,
        kQ2,
        kQ3,  // attitude quaternion body to earth
        kP,
        kQ,
        kR,            // body rates, rad/s
        kInflow,       // main rotor induced velocity, m/s
        kOmega,        // main rotor speed, rad/s
        kEnginePower,  // engine shaft power, W
        kTailInflow,   // tail rotor induced velocity, m/s
        kFlap1c,
        kFlap1s,  // main rotor disc tilt against the shaft, rad (forward, left)
        kBarPitch,
        kBarRoll  // stabiliser bar tilt against the shaft, rad (nose up, right)
    };
    const StateVector& stateVector() const { return x_; }
    void setStateVector(const StateVector& x);
    // Time derivative of a state with the current controls and a given wind.
    StateVector derivative(const StateVector& x, const WindVector& wind) const;
    // The same state with both inflows and the disc tilt at their steady
    // values and the engine delivering exactly the power the rotors take
    // (rotor speed and stabiliser bar unchanged): the rotor's fast states
    // eliminated, as for quasi-static derivatives.
    StateVector withSteadyRotor(const StateVector& x, const WindVector& wind) const;
    // Physics steps taken since construction or the last trim.
    std::uint64_t physicsSteps() const { return steps_; }

private:
    struct Outputs;
    struct Motion;
    struct Loads;
    struct Derived {
        double diskArea, solidity, thrustSlope, lockOver8, hubMomentStiffness, harmonicInflowGain;
        double stiffnessOverFlapInertia, inflowMass;
        double tailDiskArea, tailSolidity, tailThrustSlope, tailInflowMass, tailGearRatio;
        double shaftCos, shaftSin, phaseCos, phaseSin;
        double invInertiaDet, invIyy, invMass, invInflowMass, invTailInflowMass;
        double invPolarInertia, invEngineTimeConstant, invRadius, invTailRadius;
        double stickStiffness, stickDamping;
        double rhoArea, profileFactor, tailRhoArea, tailProfileFactor, halfRho;
        double dragX, dragY, dragZ, stabiliserCos, stabiliserSin, finCos, finSin, skidReach;
        double stabiliserBehindHub, stabiliserBelowHub, wakeEdgeWidth, invBarTimeConstant;
        double stepS;
    };
    static constexpr int kSkidPoints = 4;

    StateVector evaluate(const StateVector& x, const WindVector& wind, Outputs* out) const;
    // The parts of one evaluation, in the order evaluate calls them.
    void mainRotor(const StateVector& x, const Motion& m, Loads& loads, StateVector& dx, Outputs& out) const;
    void tailRotor(const StateVector& x, const Motion& m, Loads& loads, StateVector& dx, Outputs& out) const;
    void fuselageAndTail(const Motion& m, const Outputs& rotor, Loads& loads) const;
    void skids(const StateVector& x, const Motion& m, Loads& loads, Outputs& out) const;
    void rigidBody(const StateVector& x, const Motion& m, const Loads& loads, StateVector& dx) const;
    void driveTrain(const StateVector& x, const Outputs& out, StateVector& dx) const;
    void step(double h);
    void moveActuators(double h);
    bool trimOnGround(const TrimRequest& request, const WindSettings& windSettings);
    bool trimInFlight(const TrimRequest& request);
    void updateSkidAnchors();
    void resetSkidAnchors();
    void applyControlRigging();
    void placeInTrimState(const TrimRequest& request, double pitch, double roll);

    Parameters params_;
    Derived k_{};
    std::array<double, 3 * kSkidPoints> skidPoints_{};   // body x, y, z of each contact
    std::array<double, 2 * kSkidPoints> skidAnchors_{};  // north, east where each contact sticks
    Controls controls_{};
    WindField wind_;
    WindVector currentWind_{};
    StateVector x_{};
    double timeS_ = 0.0;
    double pastGridS_ = 0.0;   // time since the last whole physics step
    std::uint64_t steps_ = 0;  // whole physics steps
    double governorRefRadS_ = 0.0;
    double powerFraction_ = 1.0;
    // Blade angles, rad: where the actuators have put them, and where the
    // control positions ask them to go. The cyclic pair is the stick's
    // demand; the rotor sees it (with the stabiliser bar's) turned through
    // the swashplate phase.
    double collective_ = 0.0, longCyclic_ = 0.0, latCyclic_ = 0.0, tailPitch_ = 0.0;
    double demandCollective_ = 0.0, demandLong_ = 0.0, demandLat_ = 0.0, demandTail_ = 0.0;
    TrimResult lastTrim_{};
};

}  // namespace flight

#endif
