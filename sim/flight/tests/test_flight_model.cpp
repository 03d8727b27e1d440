// SPDX-License-Identifier: MIT
//
// The helicopter model's behaviour: the senses of its controls, its trim,
// integration, ground, rotor and wind. Its hover against published figures
// is in test_validation.cpp, its rotor dynamics in test_rotor_dynamics.cpp;
// the module holding it is tested with the host (sim/scenario/tests).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "sim/flight/aircraft_file.h"
#include "sim/flight/helicopter.h"
#include "sim/units.h"

namespace {

// The Bo-105 class as its aircraft file describes it, read once. The test
// runner names the folder (HOVER_AIRCRAFT_DIR); run by hand, the program
// looks in aircraft/ of the working directory.
const flight::Parameters& bo105() {
    static const flight::Parameters parameters = [] {
        const char* dir = std::getenv("HOVER_AIRCRAFT_DIR");
        const std::string path = std::string(dir != nullptr ? dir : "aircraft") + "/bo105.toml";
        std::string error;
        const std::optional<flight::AircraftDefinition> aircraft = flight::readAircraftFile(path, error);
        if (!aircraft) {
            ADD_FAILURE() << error;
            std::abort();
        }
        return aircraft->parameters;
    }();
    return parameters;
}

using flight::Controls;
using flight::Helicopter;
using flight::TrimRequest;
using flight::WindSettings;

constexpr double kRadToDeg = 57.29577951308232;
constexpr double kFtPerM = units::kFeetPerMetre;
constexpr double kReferenceCollectiveDeg = 14.0;  // Bo-105 hover trim, about
constexpr double kCollectiveToleranceDeg = 2.0;

TrimRequest hoverAt(double heightFt) {
    TrimRequest r;
    r.heightFt = heightFt;
    return r;
}

void fly(Helicopter& heli, double seconds, double fps = 18.0) {
    const int frames = static_cast<int>(std::lround(seconds * fps));
    for (int i = 0; i < frames; ++i) {
        heli.advance(1.0 / fps);
    }
}

class TrimmedHover : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(heli.trim(hoverAt(100.0), WindSettings{})); }
    Helicopter heli{bo105()};
};

TEST_F(TrimmedHover, NeedsAboutFourteenDegreesOfCollectiveWellInsideTheThrottleRange) {
    const flight::FlightState s = heli.state();
    EXPECT_NEAR(s.collectiveRad * kRadToDeg, kReferenceCollectiveDeg, kCollectiveToleranceDeg);
    const Controls& c = heli.controls();
    EXPECT_GT(c.throttle, 6000.0);
    EXPECT_LT(c.throttle, 14000.0);
    // Stick and pedals near the middle, so the hold's +-6000 has room both ways.
    EXPECT_LT(std::fabs(c.elevator), 3000.0);
    EXPECT_LT(std::fabs(c.aileron), 3000.0);
    EXPECT_LT(std::fabs(c.rudder), 3000.0);
    EXPECT_LT(std::fabs(s.pitchRad * kRadToDeg), 5.0);
    EXPECT_LT(std::fabs(s.rollRad * kRadToDeg), 5.0);
    EXPECT_LT(s.rotorPowerW, heli.parameters().powerAvailable);
}

TEST_F(TrimmedHover, StaysPutWithTheControlsAtTrim) {
    constexpr double kDriftM = 0.05;
    constexpr double kHeadingDriftDeg = 0.05;
    const flight::FlightState before = heli.state();
    fly(heli, 20.0);
    const flight::FlightState after = heli.state();
    EXPECT_NEAR(after.northM, before.northM, kDriftM);
    EXPECT_NEAR(after.eastM, before.eastM, kDriftM);
    EXPECT_NEAR(after.heightM, before.heightM, kDriftM);
    EXPECT_NEAR(after.headingRad * kRadToDeg, before.headingRad * kRadToDeg, kHeadingDriftDeg);
    EXPECT_NEAR(heli.readings().radarHeightM * kFtPerM, 100.0, kDriftM * kFtPerM);
}

// The senses the hover hold's default gain signs rely on: positive elevator
// is forward cyclic (nose down, then forward), positive aileron left cyclic,
// positive rudder left pedal (the heading falls), more throttle climbs.
TEST_F(TrimmedHover, AnswersEachControlInTheSenseTheHoverHoldExpects) {
    const Controls trim = heli.controls();
    constexpr double kInput = 1500.0;
    constexpr double kSeconds = 0.5;
    {
        Helicopter h = heli;
        Controls c = trim;
        c.elevator += kInput;
        h.setControls(c);
        fly(h, kSeconds);
        EXPECT_GT(h.readings().pitchNoseDownDeg, heli.readings().pitchNoseDownDeg);
        EXPECT_LT(h.state().q, 0.0);
        fly(h, 1.0);
        EXPECT_GT(h.state().u, 0.0);
    }
    {
        Helicopter h = heli;
        Controls c = trim;
        c.aileron += kInput;
        h.setControls(c);
        fly(h, kSeconds);
        EXPECT_LT(h.state().p, 0.0);
        fly(h, 1.0);
        EXPECT_LT(h.state().v, 0.0);
    }
    {
        Helicopter h = heli;
        Controls c = trim;
        c.rudder += kInput;
        h.setControls(c);
        fly(h, kSeconds);
        EXPECT_LT(h.readings().yawRateTurn65536, 0.0);
        EXPECT_GT(h.readings().headingDeg, 180.0);  // from 0 towards 359
    }
    {
        Helicopter h = heli;
        Controls c = trim;
        c.throttle += kInput;
        h.setControls(c);
        fly(h, kSeconds);
        EXPECT_GT(h.readings().groundVelUpFtS, 0.0);
    }
}

TEST(Trim, BalancesASlowDriftInWindAtAnyHeading) {
    constexpr double kAccelerationLeft = 1e-6;
    WindSettings wind;
    wind.fromDirectionDeg = 250.0;
    wind.speedKt = 15.0;
    for (const double heading : {0.0, 137.0, 290.0}) {
        Helicopter heli{bo105()};
        TrimRequest r;
        r.heightFt = 60.0;
        r.groundSpeedKt = 5.0;
        r.trackDeg = 200.0;
        r.headingDeg = heading;
        ASSERT_TRUE(heli.trim(r, wind)) << heading;
        EXPECT_LT(heli.lastTrim().residual, kAccelerationLeft);
        const flight::HostReadings h = heli.readings();
        EXPECT_NEAR(h.headingDeg, heading, 1e-6);
        const double speedKt =
            std::hypot(h.groundVelNorthFtS, h.groundVelEastFtS) * units::kKnotsPerFootPerSecond;
        EXPECT_NEAR(speedKt, 5.0, 1e-6);
        const double trackDeg =
            std::fmod(std::atan2(h.groundVelEastFtS, h.groundVelNorthFtS) * kRadToDeg + 360.0, 360.0);
        EXPECT_NEAR(trackDeg, 200.0, 1e-6);
        EXPECT_NEAR(h.windFromDeg, 250.0, 1e-9);
        EXPECT_NEAR(h.windSpeedKt, 15.0, 1e-9);
    }
}

TEST(Trim, RefusesWhatTheControlsCannotReach) {
    Helicopter heli{bo105()};
    TrimRequest r;
    r.heightFt = 100.0;
    r.groundSpeedKt = 150.0;  // far beyond the aircraft's speed
    EXPECT_FALSE(heli.trim(r, WindSettings{}));
}

// A manoeuvre with a step on every axis, flown at a given physics rate and
// host frame rate.
flight::FlightState manoeuvre(double physicsRateHz, double fps) {
    flight::Parameters p = bo105();
    p.physicsRateHz = physicsRateHz;
    Helicopter heli(p);
    EXPECT_TRUE(heli.trim(hoverAt(100.0), WindSettings{}));
    const Controls trim = heli.controls();
    // Steps on whole seconds, where every frame rate has a frame.
    const int framesPerSecond = static_cast<int>(std::lround(fps));
    for (int i = 0; i < 5 * framesPerSecond; ++i) {
        const int second = i / framesPerSecond;
        Controls c = trim;
        c.elevator += second == 1 ? 2000.0 : 0.0;
        c.aileron -= second == 2 ? 2000.0 : 0.0;
        c.rudder += second == 3 ? 3000.0 : 0.0;
        c.throttle += second == 4 ? 1000.0 : 0.0;
        heli.setControls(c);
        heli.advance(1.0 / fps);
    }
    return heli.state();
}

TEST(Integration, GivesTheSameFlightWhateverTheHostFrameRate) {
    const flight::FlightState at18 = manoeuvre(90.0, 18.0);
    // 30 and 45 Hz frames fall on the 90 Hz grid: the very same steps.
    for (const double fps : {30.0, 45.0}) {
        const flight::FlightState s = manoeuvre(90.0, fps);
        EXPECT_EQ(s.northM, at18.northM) << fps;
        EXPECT_EQ(s.eastM, at18.eastM) << fps;
        EXPECT_EQ(s.heightM, at18.heightM) << fps;
        EXPECT_EQ(s.headingRad, at18.headingRad) << fps;
    }
    // 20 and 60 Hz frames split some steps: only the truncation error differs.
    constexpr double kSplitStepM = 1e-4;
    constexpr double kSplitStepDeg = 1e-3;
    for (const double fps : {20.0, 60.0}) {
        const flight::FlightState s = manoeuvre(90.0, fps);
        EXPECT_NEAR(s.northM, at18.northM, kSplitStepM) << fps;
        EXPECT_NEAR(s.eastM, at18.eastM, kSplitStepM) << fps;
        EXPECT_NEAR(s.heightM, at18.heightM, kSplitStepM) << fps;
        EXPECT_NEAR(s.headingRad * kRadToDeg, at18.headingRad * kRadToDeg, kSplitStepDeg) << fps;
        EXPECT_NEAR(s.timeS, at18.timeS, 1e-9) << fps;
    }
}

TEST(Integration, AtNinetyHertzAgreesWithAFarFinerStep) {
    constexpr double kConvergedM = 0.01;
    constexpr double kConvergedDeg = 0.02;
    const flight::FlightState coarse = manoeuvre(90.0, 18.0);
    const flight::FlightState fine = manoeuvre(720.0, 18.0);
    EXPECT_NEAR(coarse.northM, fine.northM, kConvergedM);
    EXPECT_NEAR(coarse.eastM, fine.eastM, kConvergedM);
    EXPECT_NEAR(coarse.heightM, fine.heightM, kConvergedM);
    EXPECT_NEAR(coarse.pitchRad * kRadToDeg, fine.pitchRad * kRadToDeg, kConvergedDeg);
    EXPECT_NEAR(coarse.rollRad * kRadToDeg, fine.rollRad * kRadToDeg, kConvergedDeg);
    EXPECT_NEAR(coarse.headingRad * kRadToDeg, fine.headingRad * kRadToDeg, kConvergedDeg);
}

TEST(Integration, IgnoresATimeStepThatIsNotPositive) {
    Helicopter heli{bo105()};
    ASSERT_TRUE(heli.trim(hoverAt(100.0), WindSettings{}));
    const Helicopter::StateVector before = heli.stateVector();
    heli.advance(0.0);
    heli.advance(-1.0);
    heli.advance(std::nan(""));
    EXPECT_EQ(heli.stateVector(), before);
    EXPECT_EQ(heli.timeS(), 0.0);
}

TEST(Ground, SitsStillOnTheSkidsInAWindWithTheRotorTurning) {
    constexpr double kStillM = 0.005;
    constexpr double kStillDeg = 0.05;
    Helicopter heli{bo105()};
    WindSettings wind;
    wind.speedKt = 15.0;
    wind.fromDirectionDeg = 300.0;
    ASSERT_TRUE(heli.trim(hoverAt(0.0), wind));
    const flight::FlightState before = heli.state();
    EXPECT_TRUE(before.onGround);
    EXPECT_EQ(heli.readings().radarHeightM, 0.0);
    EXPECT_NEAR(heli.readings().rotorSpeedPercent, 100.0, 0.1);
    fly(heli, 30.0);
    const flight::FlightState after = heli.state();
    EXPECT_NEAR(after.northM, before.northM, kStillM);
    EXPECT_NEAR(after.eastM, before.eastM, kStillM);
    EXPECT_NEAR(after.headingRad * kRadToDeg, before.headingRad * kRadToDeg, kStillDeg);
    EXPECT_EQ(heli.readings().radarHeightM, 0.0);
}

TEST(Ground, LiftsOffWithTheCollectiveRaised) {
    Helicopter heli{bo105()};
    ASSERT_TRUE(heli.trim(hoverAt(0.0), WindSettings{}));
    Controls c = heli.controls();
    c.throttle = 10000.0;
    heli.setControls(c);
    fly(heli, 2.0);
    EXPECT_GT(heli.readings().radarHeightM, 1.0);
    EXPECT_FALSE(heli.state().onGround);
}

TEST_F(TrimmedHover, LosesRotorSpeedAndYawsLeftWhenTheEnginesStop) {
    heli.setEnginePowerFraction(0.0);
    fly(heli, 3.0);
    EXPECT_LT(heli.readings().rotorSpeedPercent, 80.0);
    EXPECT_LT(heli.readings().yawRateTurn65536, 0.0);  // the torque reaction is gone
}

TEST_F(TrimmedHover, DroopsButKeepsTurningWhenFullCollectiveAsksMoreThanThePowerAvailable) {
    Controls c = heli.controls();
    c.throttle = 15000.0;
    heli.setControls(c);
    fly(heli, 4.0);
    const double percent = heli.readings().rotorSpeedPercent;
    EXPECT_LT(percent, 95.0);
    EXPECT_GT(percent, 70.0);
    EXPECT_NEAR(heli.state().enginePowerW, heli.parameters().powerAvailable,
                0.001 * heli.parameters().powerAvailable);
}

TEST_F(TrimmedHover, ReadsAForcedRotorSpeedBackNoHigherThanItWasSet) {
    for (const double percent : {20.0, 80.0, 37.3}) {
        Helicopter h = heli;
        h.forceRotorSpeedPercent(percent);
        EXPECT_LE(h.readings().rotorSpeedPercent, percent);
        EXPECT_NEAR(h.readings().rotorSpeedPercent, percent, 1e-12);
        fly(h, 1.0 / 18.0);
        EXPECT_NEAR(h.readings().rotorSpeedPercent, percent, 0.05);
    }
}

TEST(Wind, ShapesAOneMinusCosineGust) {
    flight::WindField field;
    field.configure(WindSettings{});
    flight::GustEvent gust;
    gust.startS = 10.0;
    gust.durationS = 4.0;
    gust.fromDirectionDeg = 90.0;  // from the east: blowing west
    gust.peakKt = 20.0;
    gust.peakUpKt = 2.0;
    field.addGust(gust);
    constexpr double kKt = units::kMetresPerSecondPerKnot;
    constexpr double kExact = 1e-12;
    EXPECT_NEAR(field.at(9.0).east, 0.0, kExact);
    EXPECT_NEAR(field.at(12.0).east, -20.0 * kKt, kExact);
    EXPECT_NEAR(field.at(12.0).down, -2.0 * kKt, kExact);
    EXPECT_NEAR(field.at(11.0).east, -10.0 * kKt, kExact);  // half way up: (1 - cos 90 deg) / 2
    EXPECT_NEAR(field.at(12.0).north, 0.0, kExact);
    EXPECT_NEAR(field.at(14.5).east, 0.0, kExact);
}

// Standard deviations of the low-altitude Dryden model at 100 ft with
// W20 = 30 kt: sigma_w = 0.1 W20 = 1.5433 m/s, sigma_u = sigma_v =
// sigma_w / (0.177 + 0.000823 * 100)^0.4 = sigma_w / 0.58286 = 2.6478 m/s.
TEST(Wind, GivesTurbulenceOfTheLowAltitudeDrydenIntensity) {
    constexpr double kSigmaW = 1.5433;
    constexpr double kSigmaU = 2.6478;
    constexpr double kStatisticalTolerance = 0.12;
    flight::WindField field;
    WindSettings s;
    s.fromDirectionDeg = 0.0;
    s.turbulenceW20Kt = flight::kTurbulenceModerateW20Kt;
    s.seed = 12345;
    field.configure(s);
    double su = 0.0, sv = 0.0, sw = 0.0;
    constexpr int kSamples = 400000;
    for (int i = 0; i < kSamples; ++i) {
        field.updateTurbulence(1.0 / 45.0, 30.48, 10.0);
        const flight::WindVector w = field.at(0.0);
        su += w.north * w.north;
        sv += w.east * w.east;
        sw += w.down * w.down;
    }
    EXPECT_NEAR(std::sqrt(su / kSamples), kSigmaU, kSigmaU * kStatisticalTolerance);
    EXPECT_NEAR(std::sqrt(sv / kSamples), kSigmaU, kSigmaU * kStatisticalTolerance);
    EXPECT_NEAR(std::sqrt(sw / kSamples), kSigmaW, kSigmaW * kStatisticalTolerance);
}

TEST(Wind, RepeatsTurbulenceForTheSameSeedAndNotForAnother) {
    auto run = [](std::uint32_t seed) {
        Helicopter heli{bo105()};
        WindSettings w;
        w.speedKt = 15.0;
        w.fromDirectionDeg = 270.0;
        w.turbulenceW20Kt = flight::kTurbulenceModerateW20Kt;
        w.seed = seed;
        EXPECT_TRUE(heli.trim(hoverAt(100.0), w));
        fly(heli, 3.0);
        return heli.stateVector();
    };
    EXPECT_EQ(run(7), run(7));
    EXPECT_NE(run(7), run(8));
}

}  // namespace
