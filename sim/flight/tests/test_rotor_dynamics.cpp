// SPDX-License-Identifier: MIT
//
// The rotor's own dynamics and what the rotor type gives: the disc's lag
// behind the cyclic, the actuators' rate limits, the stabiliser bar, the
// teetering hub, and the tail surfaces whose stability grows with speed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "sim/flight/aircraft_file.h"
#include "sim/flight/helicopter.h"

namespace {

using flight::Controls;
using flight::Helicopter;

constexpr double kRadToDeg = 57.29577951308232;

flight::Parameters aircraft(const std::string& name) {
    const char* dir = std::getenv("HOVER_AIRCRAFT_DIR");
    std::string error;
    const auto a = flight::readAircraftFile(
        std::string(dir != nullptr ? dir : "aircraft") + "/" + name + ".toml", error);
    if (!a) {
        ADD_FAILURE() << error;
        std::abort();
    }
    return a->parameters;
}

Helicopter trimmed(const flight::Parameters& p, double speedKt = 0.0) {
    Helicopter heli(p);
    flight::TrimRequest r;
    r.heightFt = 300.0;
    r.groundSpeedKt = speedKt;
    EXPECT_TRUE(heli.trim(r, flight::WindSettings{})) << speedKt;
    return heli;
}

void fly(Helicopter& heli, double seconds) {
    for (int i = 0; i < static_cast<int>(std::lround(seconds * 90.0)); ++i) {
        heli.advance(1.0 / 90.0);
    }
}

// A cyclic step: the disc does not jump to its new tilt but gets there
// with the tip-path-plane lag. For the Bo-105 class, with the Lock number
// the harmonic inflow leaves (g = 5.07 / 8 / 1.535 = 0.413) and the hub
// stiffness (S = 0.248), the flap mode's decay rate is
// Omega Re((S + i g) / (g + 2 i)) = 44.4 x 0.2226 = 9.9 /s: 0.101 s, a
// little under the soft-rotor figure 16 / (gamma* Omega) = 0.109 s. Measured
// as the time to 63 % of the way to the tilt the disc settles at.
TEST(RotorDynamics, TheDiscFollowsACyclicStepWithTheFlapLag) {
    constexpr double kExpectedLagS = 0.101;
    constexpr double kLagToleranceS = 0.02;
    Helicopter heli = trimmed(aircraft("bo105"));
    const double before = heli.state().flapBackRad;
    Controls c = heli.controls();
    c.elevator -= 1000.0;  // aft cyclic: the disc tilts back
    heli.setControls(c);
    // Where the disc would settle with the body still: its quasi-steady tilt.
    const flight::WindVector calm{};
    const double target = -heli.withSteadyRotor(heli.stateVector(), calm)[Helicopter::kFlap1c] - before;
    ASSERT_GT(target, 0.0);
    double t = 0.0;
    while (heli.state().flapBackRad - before < 0.632 * target && t < 1.0) {
        heli.advance(1.0 / 450.0);
        t += 1.0 / 450.0;
    }
    EXPECT_NEAR(t, kExpectedLagS, kLagToleranceS);
}

// Commanded through the actuators, a full-stick step moves the blades at
// the aircraft's rate (Bo-105 class: 50 deg/s longitudinal), not at once;
// set directly (trim, linearisation) they are there at once.
TEST(RotorDynamics, TheActuatorsMoveTheBladesNoFasterThanTheirRate) {
    const flight::Parameters p = aircraft("bo105");
    Helicopter heli = trimmed(p);
    const double start = heli.state().longCyclicRad;
    Controls c = heli.controls();
    c.elevator = 16383.0;  // full forward: 10 deg from the middle
    heli.commandControls(c);
    fly(heli, 0.1);
    constexpr double kRateDegS = 50.0;
    EXPECT_NEAR((start - heli.state().longCyclicRad) * kRadToDeg, kRateDegS * 0.1, 1e-9);
    fly(heli, 1.0);
    EXPECT_NEAR(heli.state().longCyclicRad, -p.longCyclicRange, 1e-12);
    Helicopter direct = trimmed(p);
    direct.setControls(c);
    EXPECT_NEAR(direct.state().longCyclicRad, -p.longCyclicRange, 1e-12);
}

// The UH-1H class's bar holds its plane while the fuselage pitches and
// feeds the difference into the cyclic, against the motion: after an aft
// cyclic step the aircraft with its bar pitches up more slowly than the
// same aircraft without one, and the difference grows as the bar's tilt
// builds.
TEST(RotorDynamics, TheStabiliserBarDampsThePitchResponse) {
    flight::Parameters withBar = aircraft("uh1h");
    ASSERT_TRUE(withBar.hasStabiliserBar);
    flight::Parameters without = withBar;
    without.hasStabiliserBar = false;
    double rates[2][2] = {};
    int i = 0;
    for (const flight::Parameters* p : {&withBar, &without}) {
        Helicopter heli = trimmed(*p);
        Controls c = heli.controls();
        c.elevator -= 1500.0;
        heli.setControls(c);
        fly(heli, 0.5);
        rates[i][0] = heli.state().q;
        fly(heli, 0.5);
        rates[i][1] = heli.state().q;
        ++i;
    }
    EXPECT_GT(rates[1][0], 0.0);
    EXPECT_LT(rates[0][0], rates[1][0]);
    EXPECT_LT(rates[0][1] / rates[1][1], rates[0][0] / rates[1][0]);
}

// A teetering hub passes no moment of its own: its cyclic control power is
// the thrust's tilt about the centre of mass alone, T h / Iyy per radian of
// tilt (UH-1H class: 3946 kg x 9.81 x 2.07 m / 17265 = 4.64 rad/s^2), and a
// disc that lags exactly 90 degrees leaves no cross-coupling between the
// cyclic axes. The hingeless Bo-105 class adds its hub springs, and its
// 68.6-degree lag couples the axes.
TEST(RotorDynamics, ATeeteringHubHasOnlyTheThrustTiltAndNoCrossCoupling) {
    constexpr double kThrustTiltPower = 4.64;
    constexpr double kTolerance = 0.05;  // thrust a little above the weight, shaft tilt
    for (const char* name : {"uh1h", "bo105"}) {
        const flight::Parameters p = aircraft(name);
        Helicopter heli = trimmed(p);
        const flight::WindVector calm{};
        Controls c = heli.controls();
        c.elevator += 200.0;
        Helicopter moved = heli;
        moved.setControls(c);
        const auto x0 = heli.withSteadyRotor(heli.stateVector(), calm);
        const auto f0 = heli.derivative(x0, calm);
        const auto f1 = moved.derivative(moved.withSteadyRotor(heli.stateVector(), calm), calm);
        const double perRad = 200.0 * p.longCyclicRange / 16383.0;
        const double pitch = (f1[Helicopter::kQ] - f0[Helicopter::kQ]) / perRad;
        const double roll = (f1[Helicopter::kP] - f0[Helicopter::kP]) / perRad;
        if (std::string(name) == "uh1h") {
            EXPECT_NEAR(-pitch, kThrustTiltPower, kThrustTiltPower * kTolerance);
            EXPECT_LT(std::fabs(roll), 0.05 * std::fabs(pitch));  // only the Ixz coupling
        } else {
            EXPECT_GT(-pitch, 5.0 * kThrustTiltPower);
            EXPECT_GT(std::fabs(roll), 0.5 * std::fabs(pitch));
        }
    }
}

// The tail surfaces: the fin's weathercock stiffness and the stabiliser's
// pitch stiffness against a change of angle of attack both grow with
// speed; in hover they do next to nothing.
TEST(RotorDynamics, TheTailSurfacesStabiliseMoreTheFasterTheAircraftFlies) {
    const flight::WindVector calm{};
    auto slope = [&](const Helicopter& heli, int input, int output) {
        auto x = heli.withSteadyRotor(heli.stateVector(), calm);
        auto plus = x, minus = x;
        plus[static_cast<std::size_t>(input)] += 0.1;
        minus[static_cast<std::size_t>(input)] -= 0.1;
        const auto fp = heli.derivative(heli.withSteadyRotor(plus, calm), calm);
        const auto fm = heli.derivative(heli.withSteadyRotor(minus, calm), calm);
        return (fp[static_cast<std::size_t>(output)] - fm[static_cast<std::size_t>(output)]) / 0.2;
    };
    for (const char* name : {"bo105", "uh1h", "puma"}) {
        const flight::Parameters p = aircraft(name);
        flight::Parameters bare = p;
        bare.finArea = 0.0;
        bare.stabiliserArea = 0.0;
        for (const double kt : {0.0, 40.0, 80.0}) {
            const Helicopter heli = trimmed(p, kt);
            const Helicopter noTail(bare);
            Helicopter same = noTail;
            same.setStateVector(heli.stateVector());
            same.setControls(heli.controls());
            const double finNv =
                slope(heli, Helicopter::kV, Helicopter::kR) - slope(same, Helicopter::kV, Helicopter::kR);
            const double tailMw =
                slope(heli, Helicopter::kW, Helicopter::kQ) - slope(same, Helicopter::kW, Helicopter::kQ);
            if (kt == 0.0) {
                EXPECT_LT(std::fabs(finNv), 0.01) << name;
            } else {
                EXPECT_GT(finNv, 0.0) << name << " " << kt;
                EXPECT_LT(tailMw, 0.0) << name << " " << kt;
            }
        }
    }
}

}  // namespace
