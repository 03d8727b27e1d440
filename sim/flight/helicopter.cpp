// SPDX-License-Identifier: MIT
#include "sim/flight/helicopter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "sim/units.h"

namespace flight {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;
constexpr double kFtPerM = units::kFeetPerMetre;
constexpr double kKtPerMps = units::kKnotsPerMetrePerSecond;
constexpr double kAxisMax = 16383.0;
constexpr double kThrottleMax = 16384.0;
// Below this fraction of the nominal rotor speed the normalised rotor
// quantities would divide by almost nothing; the rotor is then treated as
// turning at this speed for the aerodynamics (it makes no useful thrust).
constexpr double kMinRotorFraction = 0.05;
// Ground effect reaches no further than this, and is taken at no less than
// this hub height, in rotor radii.
constexpr double kGroundEffectCeiling = 3.0;
constexpr double kGroundEffectFloor = 0.5;
// The least mass-flow parameter the first-harmonic inflow is taken at (a
// fraction of hover's 2 lambda_i, about 0.1): where the net flow through
// the disc reverses, momentum theory says nothing useful about it.
constexpr double kMinMassFlow = 0.02;
// The least net inflow ratio the wake's skew is worked out with: a wake
// lying back this flat has long left the tail.
constexpr double kMinWakeInflow = 1e-3;

double limit(double value, double lo, double hi) {
    if (!(value >= lo)) {  // NaN lands on the low end too
        return lo;
    }
    return value > hi ? hi : value;
}

using Vec3 = std::array<double, 3>;

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Body-to-earth rotation from a (not necessarily unit) quaternion.
struct Rotation {
    double m[3][3];
    explicit Rotation(const Helicopter::StateVector& x) {
        const double q0 = x[Helicopter::kQ0], q1 = x[Helicopter::kQ1];
        const double q2 = x[Helicopter::kQ2], q3 = x[Helicopter::kQ3];
        m[0][0] = 1.0 - 2.0 * (q2 * q2 + q3 * q3);
        m[0][1] = 2.0 * (q1 * q2 - q0 * q3);
        m[0][2] = 2.0 * (q1 * q3 + q0 * q2);
        m[1][0] = 2.0 * (q1 * q2 + q0 * q3);
        m[1][1] = 1.0 - 2.0 * (q1 * q1 + q3 * q3);
        m[1][2] = 2.0 * (q2 * q3 - q0 * q1);
        m[2][0] = 2.0 * (q1 * q3 - q0 * q2);
        m[2][1] = 2.0 * (q2 * q3 + q0 * q1);
        m[2][2] = 1.0 - 2.0 * (q1 * q1 + q2 * q2);
    }
    Vec3 toEarth(const Vec3& b) const {
        return {m[0][0] * b[0] + m[0][1] * b[1] + m[0][2] * b[2],
                m[1][0] * b[0] + m[1][1] * b[1] + m[1][2] * b[2],
                m[2][0] * b[0] + m[2][1] * b[1] + m[2][2] * b[2]};
    }
    Vec3 toBody(const Vec3& e) const {
        return {m[0][0] * e[0] + m[1][0] * e[1] + m[2][0] * e[2],
                m[0][1] * e[0] + m[1][1] * e[1] + m[2][1] * e[2],
                m[0][2] * e[0] + m[1][2] * e[1] + m[2][2] * e[2]};
    }
};

struct Euler {
    double roll, pitch, heading;
};

Euler eulerOf(const Helicopter::StateVector& x) {
    const double q0 = x[Helicopter::kQ0], q1 = x[Helicopter::kQ1];
    const double q2 = x[Helicopter::kQ2], q3 = x[Helicopter::kQ3];
    Euler e{};
    e.roll = std::atan2(2.0 * (q0 * q1 + q2 * q3), 1.0 - 2.0 * (q1 * q1 + q2 * q2));
    e.pitch = std::asin(limit(2.0 * (q0 * q2 - q3 * q1), -1.0, 1.0));
    e.heading = std::atan2(2.0 * (q0 * q3 + q1 * q2), 1.0 - 2.0 * (q2 * q2 + q3 * q3));
    return e;
}

// Quaternion of heading, pitch (nose up) and roll (right wing down), the
// aerospace 3-2-1 sequence.
void setAttitude(Helicopter::StateVector& x, double heading, double pitch, double roll) {
    const double ch = std::cos(0.5 * heading), sh = std::sin(0.5 * heading);
    const double cp = std::cos(0.5 * pitch), sp = std::sin(0.5 * pitch);
    const double cr = std::cos(0.5 * roll), sr = std::sin(0.5 * roll);
    x[Helicopter::kQ0] = cr * cp * ch + sr * sp * sh;
    x[Helicopter::kQ1] = sr * cp * ch - cr * sp * sh;
    x[Helicopter::kQ2] = cr * sp * ch + sr * cp * sh;
    x[Helicopter::kQ3] = cr * cp * sh - sr * sp * ch;
}

double wrapDegrees(double deg) {
    double d = std::fmod(deg, 360.0);
    if (d < 0.0) {
        d += 360.0;
    }
    return d >= 360.0 ? 0.0 : d;
}

}  // namespace

// What one evaluation of the model worked out besides the derivative.
struct Helicopter::Outputs {
    double thrust = 0.0, tailThrust = 0.0;
    double mainPower = 0.0, tailPower = 0.0;
    double flapBack = 0.0, flapLeft = 0.0;          // disc tilt now
    double steadyFlap1c = 0.0, steadyFlap1s = 0.0;  // where it would settle
    double inducedAtDisc = 0.0;                     // m/s, with the ground effect
    double wakeSkewTan = 0.0;                       // how far back the wake leans: mu_x / lambda
    bool onGround = false;
};

Helicopter::Helicopter(const Parameters& parameters) : params_(parameters) {
    const Parameters& P = params_;
    const double R = P.rotorRadius;
    k_.diskArea = kPi * R * R;
    k_.solidity = P.blades * P.bladeChord / (kPi * R);
    k_.thrustSlope = 0.5 * P.liftSlope * k_.solidity;
    const double lock = P.airDensity * P.liftSlope * P.bladeChord * R * R * R * R / P.flapInertia;
    k_.lockOver8 = lock / 8.0;
    k_.hubMomentStiffness = 0.5 * P.blades * P.hubStiffness;
    k_.stiffnessOverFlapInertia = P.hubStiffness / P.flapInertia;
    // Apparent mass of the air moved with the disc (uniform Pitt-Peters mode).
    k_.inflowMass = 8.0 / 3.0 * P.airDensity * R * R * R;
    const double Rt = P.tailRadius;
    k_.tailDiskArea = kPi * Rt * Rt;
    k_.tailSolidity = P.tailBlades * P.tailChord / (kPi * Rt);
    k_.tailThrustSlope = 0.5 * P.tailLiftSlope * k_.tailSolidity;
    k_.tailInflowMass = 8.0 / 3.0 * P.airDensity * Rt * Rt * Rt;
    k_.tailGearRatio = P.tailSpeed / P.rotorSpeed;
    k_.shaftCos = std::cos(P.shaftTilt);
    k_.shaftSin = std::sin(P.shaftTilt);
    k_.invInertiaDet = 1.0 / (P.ixx * P.izz - P.ixz * P.ixz);
    k_.invIyy = 1.0 / P.iyy;
    k_.invMass = 1.0 / P.mass;
    k_.invInflowMass = 1.0 / k_.inflowMass;
    k_.invTailInflowMass = 1.0 / k_.tailInflowMass;
    k_.invPolarInertia = 1.0 / P.rotorPolarInertia;
    k_.invEngineTimeConstant = 1.0 / P.engineTimeConstant;
    k_.invRadius = 1.0 / P.rotorRadius;
    k_.invTailRadius = 1.0 / P.tailRadius;
    // Friction holds a contact like a spring that reaches mu N (with a
    // quarter of the weight on it) after skidStickTravel, critically damped
    // on a quarter of the mass.
    k_.stickStiffness = P.skidFriction * P.mass * P.gravity * 0.25 / P.skidStickTravel;
    k_.stickDamping = 2.0 * std::sqrt(k_.stickStiffness * P.mass / kSkidPoints);
    k_.rhoArea = P.airDensity * k_.diskArea;
    k_.profileFactor = k_.rhoArea * k_.solidity / 8.0;
    k_.tailRhoArea = P.airDensity * k_.tailDiskArea;
    k_.tailProfileFactor = k_.tailRhoArea * k_.tailSolidity / 8.0;
    k_.halfRho = 0.5 * P.airDensity;
    k_.dragX = k_.halfRho * P.dragAreaX;
    k_.dragY = k_.halfRho * P.sideArea * P.sideDragCoefficient;
    k_.dragZ = k_.halfRho * P.planArea * P.planDragCoefficient;
    k_.stabiliserCos = std::cos(P.stabiliserIncidence);
    k_.stabiliserSin = std::sin(P.stabiliserIncidence);
    k_.finCos = std::cos(P.finIncidence);
    k_.finSin = std::sin(P.finIncidence);
    // Where the horizontal stabiliser sits against the rotor's wake.
    k_.stabiliserBehindHub = P.stabiliserArm - P.hubAft;
    k_.stabiliserBelowHub = P.hubHeight - P.stabiliserHeight;
    k_.wakeEdgeWidth = 0.2 * P.rotorRadius;
    // Without a bar its states are never driven; they decay at 1/s, so a
    // linearisation sees two stable, disconnected modes rather than two
    // integrators.
    k_.invBarTimeConstant = P.hasStabiliserBar ? 1.0 / P.barTimeConstant : 1.0;
    // First-harmonic inflow answers the rotor's aerodynamic hub moments; in
    // its quasi-steady form it divides every first-harmonic aerodynamic
    // flap moment by 1 + a sigma / (8 V) (V the mass-flow parameter).
    k_.harmonicInflowGain = P.liftSlope * k_.solidity / 8.0;
    k_.phaseCos = std::cos(P.cyclicPhase);
    k_.phaseSin = std::sin(P.cyclicPhase);
    // No skid point can touch the ground while the CG is higher than this.
    k_.skidReach = P.skidDepth + std::max(P.skidForward, P.skidAft) + P.skidHalfTrack;
    k_.stepS = 1.0 / P.physicsRateHz;

    const double xs[kSkidPoints] = {P.skidForward, P.skidForward, -P.skidAft, -P.skidAft};
    const double ys[kSkidPoints] = {-P.skidHalfTrack, P.skidHalfTrack, -P.skidHalfTrack, P.skidHalfTrack};
    for (std::size_t i = 0; i < kSkidPoints; ++i) {
        skidPoints_[3 * i] = xs[i];
        skidPoints_[3 * i + 1] = ys[i];
        skidPoints_[3 * i + 2] = P.skidDepth;
    }

    governorRefRadS_ = P.rotorSpeed;
    x_[kQ0] = 1.0;
    x_[kDown] = -P.skidDepth;
    x_[kOmega] = P.rotorSpeed;
    x_[kInflow] = 0.0;
    controls_.throttle = 0.0;
    applyControlRigging();
    resetSkidAnchors();
    wind_.configure(WindSettings{});
}

void Helicopter::setWind(const WindSettings& settings) {
    wind_.configure(settings);
    currentWind_ = wind_.at(timeS_);
}

void Helicopter::addGust(const GustEvent& gust) {
    wind_.addGust(gust);
}
void Helicopter::clearGusts() {
    wind_.clearGusts();
}

void Helicopter::commandControls(const Controls& controls) {
    controls_.elevator = limit(controls.elevator, -kAxisMax, kAxisMax);
    controls_.aileron = limit(controls.aileron, -kAxisMax, kAxisMax);
    controls_.rudder = limit(controls.rudder, -kAxisMax, kAxisMax);
    controls_.throttle = limit(controls.throttle, 0.0, kThrottleMax);
    applyControlRigging();
}

void Helicopter::setControls(const Controls& controls) {
    commandControls(controls);
    collective_ = demandCollective_;
    longCyclic_ = demandLong_;
    latCyclic_ = demandLat_;
    tailPitch_ = demandTail_;
}

void Helicopter::applyControlRigging() {
    const Parameters& P = params_;
    demandCollective_ =
        P.collectiveLow + (P.collectiveHigh - P.collectiveLow) * controls_.throttle / kThrottleMax;
    // Forward cyclic tilts the disc forward: a negative (disc-back) angle.
    demandLong_ = -P.longCyclicRange * controls_.elevator / kAxisMax;
    demandLat_ = P.latCyclicRange * controls_.aileron / kAxisMax;
    // Left pedal adds tail rotor thrust to the right: the nose goes left.
    demandTail_ = P.tailPitchCentre + P.tailPitchRange * controls_.rudder / kAxisMax;
}

void Helicopter::moveActuators(double h) {
    const Parameters& P = params_;
    auto follow = [h](double& position, double demand, double rate) {
        position += limit(demand - position, -rate * h, rate * h);
    };
    follow(collective_, demandCollective_, P.collectiveRate);
    follow(longCyclic_, demandLong_, P.longCyclicRate);
    follow(latCyclic_, demandLat_, P.latCyclicRate);
    follow(tailPitch_, demandTail_, P.tailPitchRate);
}

void Helicopter::setGovernorSpeedPercent(double percent) {
    governorRefRadS_ = params_.rotorSpeed * limit(percent, 0.0, 200.0) / 100.0;
}

void Helicopter::setEnginePowerFraction(double fraction) {
    powerFraction_ = limit(fraction, 0.0, 2.0);
}

void Helicopter::forceRotorSpeedPercent(double percent) {
    // The new speed is held as far as the engines can: the governor takes it
    // as its reference and the engines start out delivering what the rotors
    // take at that speed. (They cannot brake a windmilling rotor.)
    const double p = limit(percent, kMinRotorFraction * 100.0, 200.0);
    // Nudged down by a unit in the last place where needed, so the reading
    // is never above the percentage asked for: 20 must not read back as
    // 20.000000000000004, which a threshold "above 20" would still pass.
    double omega = params_.rotorSpeed * p / 100.0;
    for (int i = 0; i < 8 && 100.0 * omega / params_.rotorSpeed > p; ++i) {
        omega = std::nextafter(omega, 0.0);
    }
    x_[kOmega] = omega;
    governorRefRadS_ = x_[kOmega];
    // The inflows settle with the new speed as well: a rotor slowed at once
    // with the old inflow through it would windmill back up at once.
    x_ = withSteadyRotor(x_, currentWind_);
    x_[kEnginePower] = limit(x_[kEnginePower], 0.0, params_.powerAvailable * powerFraction_);
}

void Helicopter::setStateVector(const StateVector& x) {
    x_ = x;
    resetSkidAnchors();
}

Helicopter::StateVector Helicopter::derivative(const StateVector& x, const WindVector& wind) const {
    return evaluate(x, wind, nullptr);
}

// The body's motion relative to the air in one evaluation, shared by its
// parts.
struct Helicopter::Motion {
    Rotation rot;
    Vec3 air;  // air-relative body velocity
    double p, q, r;
    double heightCg;
};

// Forces and moments on the body, summed over the parts (body axes, about
// the centre of mass).
struct Helicopter::Loads {
    Vec3 force{0.0, 0.0, 0.0};
    Vec3 moment{0.0, 0.0, 0.0};
    void add(const Vec3& f, const Vec3& at) {
        const Vec3 m = cross(at, f);
        for (std::size_t i = 0; i < 3; ++i) {
            force[i] += f[i];
            moment[i] += m[i];
        }
    }
};

Helicopter::StateVector Helicopter::evaluate(const StateVector& x, const WindVector& wind,
                                             Outputs* out) const {
    const Rotation rot(x);
    const Vec3 windBody = rot.toBody({wind.north, wind.east, wind.down});
    const Motion m{
        rot, {x[kU] - windBody[0], x[kV] - windBody[1], x[kW] - windBody[2]}, x[kP], x[kQ], x[kR], -x[kDown]};
    Outputs local;
    Outputs& o = out != nullptr ? *out : local;
    Loads loads;
    StateVector dx{};
    tailRotor(x, m, loads, dx, o);
    mainRotor(x, m, loads, dx, o);  // its drive torque needs the tail rotor's power
    fuselageAndTail(m, o, loads);
    skids(x, m, loads, o);
    rigidBody(x, m, loads, dx);
    driveTrain(x, o, dx);
    return dx;
}

// ---- Main rotor, in shaft axes (x forward, z down along the shaft).
void Helicopter::mainRotor(const StateVector& x, const Motion& m, Loads& loads, StateVector& dx,
                           Outputs& out) const {
    const Parameters& P = params_;
    const double p = m.p, q = m.q, r = m.r;
    const double omegaR = std::max(x[kOmega], kMinRotorFraction * P.rotorSpeed);
    const double invOmega = 1.0 / omegaR;
    const double tipSpeed = omegaR * P.rotorRadius;
    // Hub at (-hubAft, 0, -hubHeight): its velocity is air + omega x position.
    const double hxPos = -P.hubAft, hzPos = -P.hubHeight;
    const Vec3 hubBody{m.air[0] + q * hzPos, m.air[1] + r * hxPos - p * hzPos, m.air[2] - q * hxPos};
    const double cs = k_.shaftCos, sn = k_.shaftSin;
    const double uh = cs * hubBody[0] + sn * hubBody[2];
    const double vh = hubBody[1];
    const double wh = -sn * hubBody[0] + cs * hubBody[2];
    const double ph = cs * p + sn * r;
    const double qh = q;
    const double inPlaneSq = uh * uh + vh * vh;

    const double vInflow = x[kInflow];
    // Ground effect (Cheeseman and Bennett): at the same thrust the induced
    // velocity at the disc is smaller by 1 - (R / 4z)^2, fading with speed.
    double groundFactor = 1.0;
    const double hubZ = (m.heightCg + P.hubHeight) * k_.invRadius;
    if (hubZ < kGroundEffectCeiling) {
        const double z = std::max(hubZ, kGroundEffectFloor);
        const double image = 1.0 / (16.0 * z * z);
        const double vi2 = vInflow * vInflow;
        groundFactor = 1.0 - image * vi2 / (vi2 + inPlaneSq + 1e-6);
    }

    const double invTip = invOmega * k_.invRadius;
    const double mux = uh * invTip, muy = vh * invTip;
    const double mu2 = mux * mux + muy * muy;
    const double lambdaInduced = groundFactor * vInflow * invTip;
    const double lambda = lambdaInduced - wh * invTip;  // net inflow down through the disc
    const double theta0 = collective_;
    const double thetaTw = P.twist;
    const double cT =
        k_.thrustSlope * (theta0 * (1.0 / 3.0 + 0.5 * mu2) + 0.25 * thetaTw * (1.0 + mu2) - 0.5 * lambda);
    const double thrust = k_.rhoArea * tipSpeed * tipSpeed * cT;

    // Flapping of a rigid blade on a centre spring (none for a teetering
    // hub), in multiblade form: beta1c > 0 tilts the disc forward, beta1s > 0
    // left. The coning follows at once (it is well damped and fast).
    const double g = k_.lockOver8;
    const double S = k_.stiffnessOverFlapInertia * invOmega * invOmega;
    const double coning = g * (theta0 + 0.8 * thetaTw - 4.0 / 3.0 * lambda) / (1.0 + S);
    // The first-harmonic inflow, quasi-steady: the mass-flow parameter V
    // (2 lambda_i in hover, growing with speed) sets how much of the
    // aerodynamic flap moment it takes back. The floor keeps V sound where
    // the flow through the disc reverses.
    const double flow = std::sqrt(mu2 + lambda * lambda);
    const double massFlow =
        std::max(flow > 0.0 ? (mu2 + lambda * (lambda + lambdaInduced)) / flow : 0.0, kMinMassFlow);
    const double g1 = g / (1.0 + k_.harmonicInflowGain / massFlow);

    // Cyclic: the stick's, the stabiliser bar's (its tilt against the shaft
    // feeds the blades like a stick held against the motion), turned through
    // the swashplate phase.
    const double barLong = P.barGain * x[kBarPitch];
    const double barLat = -P.barGain * x[kBarRoll];
    const double stickLong = longCyclic_ + barLong, stickLat = latCyclic_ + barLat;
    const double theta1c = stickLat * k_.phaseCos - stickLong * k_.phaseSin;
    const double theta1s = stickLat * k_.phaseSin + stickLong * k_.phaseCos;

    const double A = 8.0 / 3.0 * theta0 + 2.0 * thetaTw - 2.0 * lambda;
    const double pBar = ph * invOmega, qBar = qh * invOmega;
    const double cosForcing = g1 * (theta1c + qBar + muy * A - 4.0 / 3.0 * coning * mux) + 2.0 * pBar;
    const double sinForcing = g1 * (theta1s + pBar + mux * A + 4.0 / 3.0 * coning * muy) - 2.0 * qBar;
    // Where the disc settles: S beta1c + g1 beta1s = C, -g1 beta1c + S beta1s = Sv.
    const double invDet = 1.0 / (S * S + g1 * g1);
    out.steadyFlap1c = (S * cosForcing - g1 * sinForcing) * invDet;
    out.steadyFlap1s = (S * sinForcing + g1 * cosForcing) * invDet;
    // How fast it gets there: the multiblade flap equations without the
    // second derivatives (the tip-path-plane lag, 16 / (gamma Omega) for a
    // soft rotor):  [g1 2; -2 g1] beta' = forcing - [S g1; -g1 S] beta,
    // with ' the derivative in azimuth.
    const double beta1c = x[kFlap1c], beta1s = x[kFlap1s];
    const double rc = cosForcing - S * beta1c - g1 * beta1s;
    const double rs = sinForcing - S * beta1s + g1 * beta1c;
    const double perAzimuth = omegaR / (g1 * g1 + 4.0);
    dx[kFlap1c] = (g1 * rc - 2.0 * rs) * perAzimuth;
    dx[kFlap1s] = (2.0 * rc + g1 * rs) * perAzimuth;

    // The stabiliser bar keeps its plane in space and lags back to the shaft.
    dx[kBarPitch] = -x[kBarPitch] * k_.invBarTimeConstant - (P.hasStabiliserBar ? qh : 0.0);
    dx[kBarRoll] = -x[kBarRoll] * k_.invBarTimeConstant - (P.hasStabiliserBar ? ph : 0.0);

    // Hub force (shaft axes): thrust along the disc normal.
    const double fxh = thrust * beta1c, fyh = -thrust * beta1s, fzh = -thrust;
    // Rotor power: induced, profile, and the work of the rotor force on the
    // moving hub.
    const double alphaMean = 6.0 * cT / (P.liftSlope * k_.solidity);
    const double cd = P.profileDrag0 + P.profileDrag1 * alphaMean + P.profileDrag2 * alphaMean * alphaMean;
    const double profilePower = k_.profileFactor * tipSpeed * tipSpeed * tipSpeed * cd * (1.0 + 4.65 * mu2);
    out.mainPower = P.inducedPowerFactor * thrust * groundFactor * vInflow + profilePower + fxh * uh
                    + fyh * vh + fzh * wh;
    out.thrust = thrust;
    out.flapBack = -beta1c;
    out.flapLeft = beta1s;
    out.inducedAtDisc = groundFactor * vInflow;
    // As the net inflow falls towards zero the wake lies back flat and, by
    // its geometry, leaves the tail: the skew goes on smoothly.
    out.wakeSkewTan = mux / std::max(lambda, kMinWakeInflow);

    // Into body axes, at the hub. The springs pull the hub after the disc (a
    // teetering hub has none: its moments come from the thrust's tilt alone);
    // the shaft torque turns the fuselage nose right (the rotor turns
    // anticlockwise seen from above).
    const Vec3 fb{cs * fxh - sn * fzh, fyh, sn * fxh + cs * fzh};
    loads.add(fb, {hxPos, 0.0, hzPos});
    const double mxh = -k_.hubMomentStiffness * beta1s;
    const double myh = -k_.hubMomentStiffness * beta1c;
    const double mzh = (x[kEnginePower] - out.tailPower) * invOmega;
    loads.moment[0] += cs * mxh - sn * mzh;
    loads.moment[1] += myh;
    loads.moment[2] += sn * mxh + cs * mzh;

    // Uniform dynamic inflow (Pitt-Peters): the apparent mass of air
    // accelerated by the difference between the blade-element and momentum
    // thrusts.
    const double axial = vInflow - wh;
    const double momentumThrust = 2.0 * k_.rhoArea * vInflow * std::sqrt(inPlaneSq + axial * axial);
    dx[kInflow] = (thrust - momentumThrust) * k_.invInflowMass;
}

// ---- Tail rotor: thrust along +y, at the tail.
void Helicopter::tailRotor(const StateVector& x, const Motion& m, Loads& loads, StateVector& dx,
                           Outputs& out) const {
    const Parameters& P = params_;
    const double p = m.p, q = m.q, r = m.r;
    const double omegaR = std::max(x[kOmega], kMinRotorFraction * P.rotorSpeed);
    const double invOmega = 1.0 / omegaR;
    const double omegaT = omegaR * k_.tailGearRatio;
    const double tailTip = omegaT * P.tailRadius;
    // Tail rotor hub at (-tailArm, 0, -tailHeight).
    const double txPos = -P.tailArm, tzPos = -P.tailHeight;
    const double ut = m.air[0] + q * tzPos;
    const double vt = m.air[1] + r * txPos - p * tzPos;
    const double wt = m.air[2] - q * txPos;
    const double tailInPlaneSq = ut * ut + wt * wt;
    const double invTailTip = invOmega * k_.invTailRadius / k_.tailGearRatio;
    const double muT2 = tailInPlaneSq * invTailTip * invTailTip;
    // Moving to the right moves with the thrust: like a climb for the rotor.
    const double lambdaT = (x[kTailInflow] + vt) * invTailTip;
    const double cTt = k_.tailThrustSlope * (tailPitch_ * (1.0 / 3.0 + 0.5 * muT2) - 0.5 * lambdaT);
    const double tailThrust = k_.tailRhoArea * tailTip * tailTip * cTt;
    const double alphaT = 6.0 * cTt / (P.tailLiftSlope * k_.tailSolidity);
    const double cdT = P.profileDrag0 + P.profileDrag1 * alphaT + P.profileDrag2 * alphaT * alphaT;
    out.tailPower = P.inducedPowerFactor * tailThrust * x[kTailInflow] + tailThrust * vt
                    + k_.tailProfileFactor * tailTip * tailTip * tailTip * cdT * (1.0 + 4.65 * muT2);
    out.tailThrust = tailThrust;
    loads.add({0.0, tailThrust, 0.0}, {txPos, 0.0, tzPos});

    const double tailAxial = x[kTailInflow] + vt;
    const double tailMomentum =
        2.0 * k_.tailRhoArea * x[kTailInflow] * std::sqrt(tailInPlaneSq + tailAxial * tailAxial);
    dx[kTailInflow] = (tailThrust - tailMomentum) * k_.invTailInflowMass;
}

// ---- Fuselage drag at the centre of mass; horizontal stabiliser and fin.
void Helicopter::fuselageAndTail(const Motion& m, const Outputs& rotor, Loads& loads) const {
    const Parameters& P = params_;
    const double p = m.p, q = m.q, r = m.r;
    loads.force[0] -= k_.dragX * std::fabs(m.air[0]) * m.air[0];
    loads.force[1] -= k_.dragY * std::fabs(m.air[1]) * m.air[1];
    loads.force[2] -= k_.dragZ * std::fabs(m.air[2]) * m.air[2];

    // A surface's normal force on its local flow (along the surface, across
    // it), C_N = a sin(alpha) / sqrt(1 + (a sin(alpha) / C_max)^2) times the
    // dynamic pressure and area: linear in the flow angle for small angles,
    // rounding off smoothly (as a stall does, and so the trim's Newton steps
    // see a slope everywhere) to a flat plate's normal force across the flow.
    // Written in the velocities, it needs one square root and no angle.
    auto normalForce = [&](double along, double across, double area, double slope, double most) {
        const double v2 = along * along + across * across;
        const double lift = slope * across / most;
        return v2 > 0.0 ? -k_.halfRho * area * slope * across * v2 / std::sqrt(v2 + lift * lift) : 0.0;
    };
    auto smoothStep = [](double t) {
        const double c = limit(t, 0.0, 1.0);
        return c * c * (3.0 - 2.0 * c);
    };
    // Horizontal stabiliser at (-arm, 0, -height). It is in the rotor's wake
    // while the wake, a cylinder of the disc's radius skewed back by the
    // flight speed (tan chi = mu / lambda), covers it at its depth below the
    // hub; there the air comes down at wakeDownwashFactor times the induced
    // velocity at the disc. The edges are blended over a fifth of the radius.
    {
        double downwash = 0.0;
        if (P.wakeDownwashFactor > 0.0) {
            const double shift = k_.stabiliserBelowHub * rotor.wakeSkewTan;
            const double behindRear = P.rotorRadius + shift - k_.stabiliserBehindHub;
            const double behindFront = k_.stabiliserBehindHub - (shift - P.rotorRadius);
            const double inside = smoothStep(0.5 + behindRear / k_.wakeEdgeWidth)
                                  * smoothStep(0.5 + behindFront / k_.wakeEdgeWidth);
            downwash = P.wakeDownwashFactor * rotor.inducedAtDisc * inside;
        }
        const double xs = -P.stabiliserArm, zs = -P.stabiliserHeight;
        const double us = std::fabs(m.air[0] + q * zs);
        const double ws = m.air[2] - q * xs - downwash;
        // The flow turned into the surface's axes by its incidence.
        const double along = us * k_.stabiliserCos - ws * k_.stabiliserSin;
        const double across = ws * k_.stabiliserCos + us * k_.stabiliserSin;
        const double fz =
            normalForce(along, across, P.stabiliserArea, P.stabiliserLiftSlope, P.stabiliserMaxNormal);
        loads.add({0.0, 0.0, fz}, {xs, 0.0, zs});
    }
    // Fin at (-arm, 0, -height), out of the main rotor's wake; its incidence
    // gives a side force to the right in forward flight, unloading the tail
    // rotor.
    {
        const double xf = -P.finArm, zf = -P.finHeight;
        const double uf = std::fabs(m.air[0] + q * zf), vf = m.air[1] + r * xf - p * zf;
        const double along = uf * k_.finCos + vf * k_.finSin;
        const double across = vf * k_.finCos - uf * k_.finSin;
        const double fy = normalForce(along, across, P.finArea, P.finLiftSlope, P.finMaxNormal);
        loads.add({0.0, fy, 0.0}, {xf, 0.0, zf});
    }
}

// ---- Skids: spring-damper normal force; friction as a stiff spring to
// the spot where the contact sticks, limited to mu N (the anchors move
// between steps when it slips).
void Helicopter::skids(const StateVector& x, const Motion& m, Loads& loads, Outputs& out) const {
    const Parameters& P = params_;
    out.onGround = false;
    if (m.heightCg >= k_.skidReach) {
        return;
    }
    const Vec3 omega{m.p, m.q, m.r};
    const Vec3 groundVel = m.rot.toEarth({x[kU], x[kV], x[kW]});
    for (std::size_t i = 0; i < kSkidPoints; ++i) {
        const Vec3 rb{skidPoints_[3 * i], skidPoints_[3 * i + 1], skidPoints_[3 * i + 2]};
        const Vec3 re = m.rot.toEarth(rb);
        const double depth = x[kDown] + re[2];  // below the ground when positive
        if (depth <= 0.0) {
            continue;
        }
        const Vec3 oc = m.rot.toEarth(cross(omega, rb));
        const double vn = groundVel[0] + oc[0], ve = groundVel[1] + oc[1], vd = groundVel[2] + oc[2];
        const double normal = std::max(0.0, P.skidStiffness * depth + P.skidDamping * vd);
        if (normal <= 0.0) {
            continue;
        }
        out.onGround = true;
        double fn = -k_.stickStiffness * (x[kNorth] + re[0] - skidAnchors_[2 * i]) - k_.stickDamping * vn;
        double fe = -k_.stickStiffness * (x[kEast] + re[1] - skidAnchors_[2 * i + 1]) - k_.stickDamping * ve;
        const double fMax = P.skidFriction * normal;
        const double fMag = std::sqrt(fn * fn + fe * fe);
        if (fMag > fMax) {
            fn *= fMax / fMag;
            fe *= fMax / fMag;
        }
        loads.add(m.rot.toBody({fn, fe, -normal}), rb);
    }
}

// ---- Rigid body.
void Helicopter::rigidBody(const StateVector& x, const Motion& m, const Loads& loads, StateVector& dx) const {
    const Parameters& P = params_;
    const double p = m.p, q = m.q, r = m.r;
    const double invMass = k_.invMass;
    const double gx = P.gravity * m.rot.m[2][0], gy = P.gravity * m.rot.m[2][1],
                 gz = P.gravity * m.rot.m[2][2];
    const double u = x[kU], v = x[kV], w = x[kW];
    dx[kU] = loads.force[0] * invMass + gx - (q * w - r * v);
    dx[kV] = loads.force[1] * invMass + gy - (r * u - p * w);
    dx[kW] = loads.force[2] * invMass + gz - (p * v - q * u);

    const double hx = P.ixx * p - P.ixz * r, hy = P.iyy * q, hz = P.izz * r - P.ixz * p;
    const double rx = loads.moment[0] - (q * hz - r * hy);
    const double ry = loads.moment[1] - (r * hx - p * hz);
    const double rz = loads.moment[2] - (p * hy - q * hx);
    dx[kP] = (P.izz * rx + P.ixz * rz) * k_.invInertiaDet;
    dx[kQ] = ry * k_.invIyy;
    dx[kR] = (P.ixz * rx + P.ixx * rz) * k_.invInertiaDet;

    const Vec3 velEarth = m.rot.toEarth({u, v, w});
    dx[kNorth] = velEarth[0];
    dx[kEast] = velEarth[1];
    dx[kDown] = velEarth[2];

    const double q0 = x[kQ0], q1 = x[kQ1], q2 = x[kQ2], q3 = x[kQ3];
    dx[kQ0] = 0.5 * (-q1 * p - q2 * q - q3 * r);
    dx[kQ1] = 0.5 * (q0 * p + q2 * r - q3 * q);
    dx[kQ2] = 0.5 * (q0 * q + q3 * p - q1 * r);
    dx[kQ3] = 0.5 * (q0 * r + q1 * q - q2 * p);
}

// ---- Rotor speed, engines and governor: the engines drive both rotors
// through one gearbox.
void Helicopter::driveTrain(const StateVector& x, const Outputs& out, StateVector& dx) const {
    const Parameters& P = params_;
    const double omegaR = std::max(x[kOmega], kMinRotorFraction * P.rotorSpeed);
    const double invOmega = 1.0 / omegaR;
    const double enginePower = x[kEnginePower];
    const double driveTorque = (enginePower - out.tailPower) * invOmega;  // on the main rotor shaft
    const double aeroTorque = out.mainPower * invOmega;
    dx[kOmega] = (driveTorque - aeroTorque) * k_.invPolarInertia;
    // Governor with feed-forward of the power the rotors take, within the
    // power available; the engines follow with a lag.
    const double rotorPower = out.mainPower + out.tailPower;
    const double demand =
        rotorPower + P.governorGain * P.powerAvailable * (governorRefRadS_ - x[kOmega]) / P.rotorSpeed;
    const double command = limit(demand, 0.0, P.powerAvailable * powerFraction_);
    dx[kEnginePower] = (command - enginePower) * k_.invEngineTimeConstant;
}

void Helicopter::step(double h) {
    // The turbulence moves on with the grid, once every few whole steps.
    if (pastGridS_ == 0.0 && params_.turbulenceEverySteps > 0
        && steps_ % static_cast<std::uint64_t>(params_.turbulenceEverySteps) == 0) {
        const WindVector mean = wind_.steady();
        const Rotation rot(x_);
        const Vec3 ve = rot.toEarth({x_[kU], x_[kV], x_[kW]});
        const double dn = ve[0] - mean.north, de = ve[1] - mean.east;
        wind_.updateTurbulence(k_.stepS * params_.turbulenceEverySteps, -x_[kDown],
                               std::sqrt(dn * dn + de * de));
    }
    currentWind_ = wind_.at(timeS_ + 0.5 * h);
    moveActuators(h);

    StateVector k1 = evaluate(x_, currentWind_, nullptr);
    StateVector xs{};
    for (std::size_t i = 0; i < kStateSize; ++i) {
        xs[i] = x_[i] + 0.5 * h * k1[i];
    }
    StateVector k2 = evaluate(xs, currentWind_, nullptr);
    for (std::size_t i = 0; i < kStateSize; ++i) {
        xs[i] = x_[i] + 0.5 * h * k2[i];
    }
    StateVector k3 = evaluate(xs, currentWind_, nullptr);
    for (std::size_t i = 0; i < kStateSize; ++i) {
        xs[i] = x_[i] + h * k3[i];
    }
    const StateVector k4 = evaluate(xs, currentWind_, nullptr);
    for (std::size_t i = 0; i < kStateSize; ++i) {
        x_[i] += h / 6.0 * (k1[i] + 2.0 * (k2[i] + k3[i]) + k4[i]);
    }

    const double norm =
        std::sqrt(x_[kQ0] * x_[kQ0] + x_[kQ1] * x_[kQ1] + x_[kQ2] * x_[kQ2] + x_[kQ3] * x_[kQ3]);
    for (std::size_t i = kQ0; i <= kQ3; ++i) {
        x_[i] /= norm;
    }
    x_[kOmega] = std::max(x_[kOmega], kMinRotorFraction * params_.rotorSpeed);
    x_[kEnginePower] = std::max(x_[kEnginePower], 0.0);
    updateSkidAnchors();
}

void Helicopter::resetSkidAnchors() {
    const Rotation rot(x_);
    for (std::size_t i = 0; i < kSkidPoints; ++i) {
        const Vec3 re = rot.toEarth({skidPoints_[3 * i], skidPoints_[3 * i + 1], skidPoints_[3 * i + 2]});
        skidAnchors_[2 * i] = x_[kNorth] + re[0];
        skidAnchors_[2 * i + 1] = x_[kEast] + re[1];
    }
}

void Helicopter::updateSkidAnchors() {
    const Parameters& P = params_;
    if (-x_[kDown] >= k_.skidReach) {
        return;  // anchors are set afresh on the first touch below
    }
    const Rotation rot(x_);
    for (std::size_t i = 0; i < kSkidPoints; ++i) {
        const Vec3 re = rot.toEarth({skidPoints_[3 * i], skidPoints_[3 * i + 1], skidPoints_[3 * i + 2]});
        const double n = x_[kNorth] + re[0], e = x_[kEast] + re[1];
        const double depth = x_[kDown] + re[2];
        if (depth <= 0.0) {
            skidAnchors_[2 * i] = n;
            skidAnchors_[2 * i + 1] = e;
            continue;
        }
        // Slipping: the anchor follows so the spring holds no more than mu N.
        const double dn = n - skidAnchors_[2 * i], de = e - skidAnchors_[2 * i + 1];
        const double stretch = std::sqrt(dn * dn + de * de);
        const double maxStretch = P.skidFriction * P.skidStiffness * depth / k_.stickStiffness;
        if (stretch > maxStretch) {
            const double keep = maxStretch / stretch;
            skidAnchors_[2 * i] = n - dn * keep;
            skidAnchors_[2 * i + 1] = e - de * keep;
        }
    }
}

void Helicopter::advance(double dtSeconds) {
    if (!(dtSeconds > 0.0) || !std::isfinite(dtSeconds)) {
        return;
    }
    const double h = k_.stepS;
    // Rounding slack: a frame of 1/18 s is exactly five steps, not five
    // steps and a sliver.
    const double slack = 1e-9 * h;
    double remaining = dtSeconds;
    while (remaining > slack) {
        const double toGrid = h - pastGridS_;
        if (remaining >= toGrid - slack) {
            step(toGrid);
            remaining -= toGrid;
            ++steps_;
            pastGridS_ = 0.0;
            timeS_ = static_cast<double>(steps_) * h;
        } else {
            step(remaining);
            pastGridS_ += remaining;
            timeS_ = static_cast<double>(steps_) * h + pastGridS_;
            remaining = 0.0;
        }
    }
}

Helicopter::StateVector Helicopter::withSteadyRotor(const StateVector& x, const WindVector& wind) const {
    StateVector s = x;
    // Each inflow is solved on its own: the two rotors do not interact here.
    for (const int index : {static_cast<int>(kInflow), static_cast<int>(kTailInflow)}) {
        const auto i = static_cast<std::size_t>(index);
        for (int iter = 0; iter < 30; ++iter) {
            const double f = evaluate(s, wind, nullptr)[i];
            const double dv = 1e-4 * std::max(1.0, std::fabs(s[i]));
            StateVector t = s;
            t[i] += dv;
            const double slope = (evaluate(t, wind, nullptr)[i] - f) / dv;
            if (slope >= 0.0) {
                break;
            }
            const double change = -f / slope;
            s[i] += limit(change, -5.0, 5.0);
            if (std::fabs(change) < 1e-12) {
                break;
            }
        }
    }
    // The disc where its forcing puts it (the forcing does not depend on the
    // tilt), then the power with the disc there.
    Outputs out;
    evaluate(s, wind, &out);
    s[kFlap1c] = out.steadyFlap1c;
    s[kFlap1s] = out.steadyFlap1s;
    evaluate(s, wind, &out);
    s[kEnginePower] = out.mainPower + out.tailPower;
    return s;
}

void Helicopter::placeInTrimState(const TrimRequest& request, double pitch, double roll) {
    const double heading = request.headingDeg * kDegToRad;
    const double track = request.trackDeg * kDegToRad;
    const double speed = request.groundSpeedKt / kKtPerMps;
    x_ = StateVector{};
    x_[kDown] = -(std::max(request.heightFt, 0.0) / kFtPerM + params_.skidDepth);
    setAttitude(x_, heading, pitch, roll);
    const Rotation rot(x_);
    const Vec3 vb = rot.toBody({speed * std::cos(track), speed * std::sin(track), 0.0});
    x_[kU] = vb[0];
    x_[kV] = vb[1];
    x_[kW] = vb[2];
    x_[kOmega] = governorRefRadS_;
    x_[kInflow] = std::sqrt(params_.mass * params_.gravity / (2.0 * params_.airDensity * k_.diskArea));
    x_[kTailInflow] = 10.0;
}

bool Helicopter::trim(const TrimRequest& request, const WindSettings& windSettings) {
    const Parameters& P = params_;
    setWind(windSettings);
    steps_ = 0;
    timeS_ = 0.0;
    pastGridS_ = 0.0;
    governorRefRadS_ = P.rotorSpeed;
    powerFraction_ = 1.0;
    lastTrim_ = TrimResult{};
    if (!(request.heightFt > 0.0)) {
        return trimOnGround(request, windSettings);
    }
    return trimInFlight(request);
}

bool Helicopter::trimOnGround(const TrimRequest& request, const WindSettings& windSettings) {
    const Parameters& P = params_;
    const WindVector mean = wind_.steady();
    // On the ground: collective down, stick and pedals central, and a few
    // seconds to settle on the skids in the steady wind.
    TrimRequest ground = request;
    ground.groundSpeedKt = 0.0;
    placeInTrimState(ground, 0.0, 0.0);
    x_[kDown] = -(P.skidDepth - 0.02);
    setControls(Controls{0.0, 0.0, 0.0, 0.0});
    x_ = withSteadyRotor(x_, mean);
    resetSkidAnchors();
    const WindField saved = wind_;
    WindSettings calm = windSettings;
    calm.turbulenceW20Kt = 0.0;
    wind_.configure(calm);
    wind_.clearGusts();
    for (int i = 0; i < static_cast<int>(5.0 * P.physicsRateHz); ++i) {
        step(k_.stepS);
    }
    wind_ = saved;
    // Back to the origin, the contacts' sticking spots moved along, so the
    // friction keeps holding what it held while settling.
    for (std::size_t i = 0; i < kSkidPoints; ++i) {
        skidAnchors_[2 * i] -= x_[kNorth];
        skidAnchors_[2 * i + 1] -= x_[kEast];
    }
    x_[kNorth] = 0.0;
    x_[kEast] = 0.0;
    steps_ = 0;
    timeS_ = 0.0;
    currentWind_ = wind_.at(0.0);
    lastTrim_.converged = true;
    lastTrim_.controls = controls_;
    return true;
}

bool Helicopter::trimInFlight(const TrimRequest& request) {
    const Parameters& P = params_;
    const WindVector mean = wind_.steady();
    // Newton's method on the four blade angles, pitch and roll, with the
    // inflows and engine power held at their steady values, so that the six
    // body accelerations vanish.
    constexpr int kN = 6;
    std::array<double, kN> unknowns{0.25, 0.01, 0.0, 0.16, 0.03, -0.03};
    const double accelScale[kN] = {1.0, 1.0, 1.0, 10.0, 10.0, 10.0};

    auto residual = [&](const std::array<double, kN>& z, std::array<double, kN>& res) {
        collective_ = z[0];
        longCyclic_ = z[1];
        latCyclic_ = z[2];
        tailPitch_ = z[3];
        const StateVector keepInflow = x_;
        placeInTrimState(request, z[4], z[5]);
        x_[kInflow] = keepInflow[kInflow] > 0.0 ? keepInflow[kInflow] : x_[kInflow];
        x_[kTailInflow] = keepInflow[kTailInflow] > 0.0 ? keepInflow[kTailInflow] : x_[kTailInflow];
        x_ = withSteadyRotor(x_, mean);
        const StateVector d = evaluate(x_, mean, nullptr);
        const int idx[kN] = {kU, kV, kW, kP, kQ, kR};
        for (int i = 0; i < kN; ++i) {
            res[static_cast<std::size_t>(i)] = d[static_cast<std::size_t>(idx[i])] * accelScale[i];
        }
    };

    x_ = StateVector{};
    std::array<double, kN> res{};
    double worst = 0.0;
    int iter = 0;
    for (; iter < 60; ++iter) {
        residual(unknowns, res);
        worst = 0.0;
        for (double v : res) {
            worst = std::max(worst, std::fabs(v));
        }
        if (worst < 1e-10) {
            break;
        }
        double jac[kN][kN];
        for (int j = 0; j < kN; ++j) {
            std::array<double, kN> z = unknowns;
            const double dz = 1e-6;
            z[static_cast<std::size_t>(j)] += dz;
            std::array<double, kN> rj{};
            residual(z, rj);
            for (int i = 0; i < kN; ++i) {
                jac[i][j] = (rj[static_cast<std::size_t>(i)] - res[static_cast<std::size_t>(i)]) / dz;
            }
        }
        // Gaussian elimination with partial pivoting on J dz = -res.
        double rhs[kN];
        for (int i = 0; i < kN; ++i) {
            rhs[i] = -res[static_cast<std::size_t>(i)];
        }
        bool singular = false;
        for (int c = 0; c < kN && !singular; ++c) {
            int pivot = c;
            for (int i = c + 1; i < kN; ++i) {
                if (std::fabs(jac[i][c]) > std::fabs(jac[pivot][c])) {
                    pivot = i;
                }
            }
            if (std::fabs(jac[pivot][c]) < 1e-14) {
                singular = true;
                break;
            }
            if (pivot != c) {
                for (int j = 0; j < kN; ++j) {
                    std::swap(jac[c][j], jac[pivot][j]);
                }
                std::swap(rhs[c], rhs[pivot]);
            }
            for (int i = c + 1; i < kN; ++i) {
                const double f = jac[i][c] / jac[c][c];
                for (int j = c; j < kN; ++j) {
                    jac[i][j] -= f * jac[c][j];
                }
                rhs[i] -= f * rhs[c];
            }
        }
        if (singular) {
            break;
        }
        for (int i = kN - 1; i >= 0; --i) {
            double s = rhs[i];
            for (int j = i + 1; j < kN; ++j) {
                s -= jac[i][j] * rhs[j];
            }
            rhs[i] = s / jac[i][i];
        }
        // Limit each step to a few degrees so a poor start does not throw
        // the angles into nonsense, and halve it while it makes the balance
        // worse (the wake leaving the tail bends the residual sharply).
        std::array<double, kN> step{};
        for (int i = 0; i < kN; ++i) {
            step[static_cast<std::size_t>(i)] = limit(rhs[i], -0.05, 0.05);
        }
        for (int halvings = 0; halvings < 8; ++halvings) {
            std::array<double, kN> trial = unknowns;
            for (std::size_t i = 0; i < kN; ++i) {
                trial[i] += step[i];
            }
            std::array<double, kN> trialRes{};
            residual(trial, trialRes);
            double trialWorst = 0.0;
            for (double v : trialRes) {
                trialWorst = std::max(trialWorst, std::fabs(v));
            }
            if (trialWorst < worst || halvings == 7) {
                unknowns = trial;
                break;
            }
            for (double& v : step) {
                v *= 0.5;
            }
        }
    }
    residual(unknowns, res);
    worst = 0.0;
    for (double v : res) {
        worst = std::max(worst, std::fabs(v));
    }

    // Controls that give these blade angles.
    Controls c;
    c.throttle = kThrottleMax * (unknowns[0] - P.collectiveLow) / (P.collectiveHigh - P.collectiveLow);
    c.elevator = -kAxisMax * unknowns[1] / P.longCyclicRange;
    c.aileron = kAxisMax * unknowns[2] / P.latCyclicRange;
    c.rudder = kAxisMax * (unknowns[3] - P.tailPitchCentre) / P.tailPitchRange;
    const bool inRange = std::fabs(c.elevator) <= kAxisMax && std::fabs(c.aileron) <= kAxisMax
                         && std::fabs(c.rudder) <= kAxisMax && c.throttle >= 0.0
                         && c.throttle <= kThrottleMax;
    const bool powerOk = x_[kEnginePower] <= P.powerAvailable;
    setControls(c);  // limits them if out of range
    resetSkidAnchors();
    currentWind_ = wind_.at(0.0);

    lastTrim_.iterations = iter;
    lastTrim_.residual = worst;
    lastTrim_.controls = controls_;
    lastTrim_.converged = worst < 1e-6 && inRange && powerOk;
    return lastTrim_.converged;
}

HostReadings Helicopter::readings() const {
    const StateVector& x = x_;
    const Rotation rot(x);
    const Euler e = eulerOf(x);
    const Vec3 ve = rot.toEarth({x[kU], x[kV], x[kW]});
    HostReadings h;
    h.headingDeg = wrapDegrees(e.heading * kRadToDeg);
    h.groundVelNorthFtS = ve[0] * kFtPerM;
    h.groundVelEastFtS = ve[1] * kFtPerM;
    h.groundVelUpFtS = -ve[2] * kFtPerM;
    const double cosPitch = std::max(std::cos(e.pitch), 1e-6);
    const double headingRate = (x[kQ] * std::sin(e.roll) + x[kR] * std::cos(e.roll)) / cosPitch;
    h.yawRateTurn65536 = headingRate / (2.0 * kPi) * 65536.0;
    h.radarHeightM = std::max(0.0, -x[kDown] - params_.skidDepth);
    h.rotorSpeedPercent = 100.0 * x[kOmega] / params_.rotorSpeed;
    h.pitchNoseDownDeg = -e.pitch * kRadToDeg;
    h.bankRightDeg = e.roll * kRadToDeg;
    const double wn = currentWind_.north, we = currentWind_.east;
    const double ws = std::sqrt(wn * wn + we * we);
    h.windSpeedKt = ws * kKtPerMps;
    h.windFromDeg = ws > 0.0 ? wrapDegrees(std::atan2(-we, -wn) * kRadToDeg) : 0.0;
    h.controls = controls_;
    return h;
}

FlightState Helicopter::state() const {
    const StateVector& x = x_;
    Outputs out;
    evaluate(x, currentWind_, &out);
    const Rotation rot(x);
    const Euler e = eulerOf(x);
    const Vec3 ve = rot.toEarth({x[kU], x[kV], x[kW]});
    FlightState s;
    s.timeS = timeS();
    s.northM = x[kNorth];
    s.eastM = x[kEast];
    s.heightM = -x[kDown];
    s.radarHeightM = std::max(0.0, -x[kDown] - params_.skidDepth);
    s.rollRad = e.roll;
    s.pitchRad = e.pitch;
    s.headingRad = e.heading;
    s.p = x[kP];
    s.q = x[kQ];
    s.r = x[kR];
    s.u = x[kU];
    s.v = x[kV];
    s.w = x[kW];
    s.velNorth = ve[0];
    s.velEast = ve[1];
    s.velDown = ve[2];
    s.rotorSpeedRadS = x[kOmega];
    s.inducedVelocityMps = x[kInflow];
    s.mainRotorThrustN = out.thrust;
    s.tailRotorThrustN = out.tailThrust;
    s.rotorPowerW = out.mainPower + out.tailPower;
    s.enginePowerW = x[kEnginePower];
    s.collectiveRad = collective_;
    s.longCyclicRad = longCyclic_;
    s.latCyclicRad = latCyclic_;
    s.tailPitchRad = tailPitch_;
    s.flapBackRad = out.flapBack;
    s.flapLeftRad = out.flapLeft;
    s.onGround = out.onGround;
    s.wind = currentWind_;
    return s;
}

}  // namespace flight
