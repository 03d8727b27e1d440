// SPDX-License-Identifier: MIT
//
// The hover model flown as an aircraft: still when trimmed, in calm air and
// in a steady wind; the hand-computed first response to a control step;
// readings in the host's senses and units.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "sim/ident/linear_aircraft.h"
#include "sim/units.h"

namespace {

// A hover model with Bo-105-like terms, every coupling present.
ident::HoverModel hoverModel() {
    ident::HoverModel m;
    m.name = "test hover";
    const std::pair<ident::Term, double> values[] = {
        {ident::kXu, -0.02}, {ident::kXq, 0.3},   {ident::kYv, -0.05}, {ident::kYp, -0.3},
        {ident::kZw, -0.3},  {ident::kLp, -8.0},  {ident::kLq, 0.5},   {ident::kLv, -0.06},
        {ident::kMq, -3.0},  {ident::kMp, -0.3},  {ident::kMu, 0.03},  {ident::kNr, -0.4},
        {ident::kNp, -0.1},  {ident::kXe, 1e-5},  {ident::kYa, -1e-5}, {ident::kYr, 2e-5},
        {ident::kZc, 4e-4},  {ident::kLa, -8e-4}, {ident::kLe, 1e-4},  {ident::kMa, 2e-4},
        {ident::kMe, -3e-4}, {ident::kNd, -5e-4}, {ident::kNc, 1e-4}};
    for (const auto& [term, value] : values) {
        m.terms[static_cast<std::size_t>(term)].value = value;
    }
    m.trimElevator = 800.0;
    m.trimAileron = -200.0;
    m.trimRudder = 2900.0;
    m.trimThrottle = 8900.0;
    return m;
}

constexpr double kStill = 1e-12;       // rates of a trimmed hover: rounding only
constexpr double kStillAfter = 1e-9;   // states after 10 s of flight: rounding only
constexpr double kSameReading = 1e-9;  // a reading against its hand conversion

// The rotor's lags start settled on the trim, so a lagged model holds
// still as the quasi-steady one does, in a steady wind too.
ident::HoverModel laggedModel() {
    ident::HoverModel m = hoverModel();
    m.rotor.rollS.value = 0.08;
    m.rotor.pitchS.value = 0.1;
    m.rotor.heaveS.value = 0.07;
    m.rotor.heaveInstant.value = 1.4 * m.terms[ident::kZc].value;
    return m;
}

TEST(LinearAircraft, TrimmedInCalmAirOrASteadyWindItHoldsStill) {
    for (const double windKt : {0.0, 15.0})
        for (const ident::HoverModel& model : {hoverModel(), laggedModel()}) {
            ident::LinearAircraft plant(model);
            flight::WindSettings wind;
            wind.speedKt = windKt;
            wind.fromDirectionDeg = 60.0;
            ASSERT_TRUE(plant.setUp({.heightFt = 50.0, .headingDeg = 30.0}, wind));
            for (const double rate : plant.derivative()) {
                EXPECT_NEAR(rate, 0.0, kStill) << windKt << " kt";
            }
            const auto before = plant.state();
            plant.advance(10.0);
            for (int i = 0; i < ident::kExtendedStateCount; ++i) {
                EXPECT_NEAR(plant.state()[static_cast<std::size_t>(i)], before[static_cast<std::size_t>(i)],
                            kStillAfter)
                    << windKt << " kt, state " << i;
            }
            EXPECT_NEAR(plant.timeS(), 10.0, 1e-12);
            EXPECT_NEAR(plant.readings().headingDeg, 30.0, 1e-9);
            if (windKt == 0.0) {
                // In calm air the trim is the recorded one, level.
                EXPECT_EQ(plant.trimControls().elevator, 800.0);
                EXPECT_EQ(plant.readings().pitchNoseDownDeg, 0.0);
            } else {
                // A head-on component of wind needs forward cyclic against Mu.
                EXPECT_GT(plant.trimControls().elevator, 800.0);
            }
        }
}

TEST(LinearAircraft, AControlStepGivesTheHandComputedFirstAcceleration) {
    ident::LinearAircraft plant(hoverModel());
    ASSERT_TRUE(plant.setUp({}, flight::WindSettings{}));
    flight::Controls c = plant.trimControls();
    constexpr double kStep = 500.0;
    c.elevator += kStep;
    plant.setControls(c);
    // By hand, from the equations at the trim: q' = Me de, p' = Le de,
    // u' = Xe de; nothing else moves at once.
    const auto d = plant.derivative();
    EXPECT_DOUBLE_EQ(d[ident::kQ], -3e-4 * kStep);
    EXPECT_DOUBLE_EQ(d[ident::kP], 1e-4 * kStep);
    EXPECT_DOUBLE_EQ(d[ident::kU], 1e-5 * kStep);
    EXPECT_EQ(d[ident::kW], 0.0);
    // Over one short step the input acts at once (the host's loop holds it
    // back, not the aircraft): to second order q = Me de dt + (Mq Me de +
    // Mp Le de) dt^2 / 2; the third-order rest is below 1e-6 of it.
    constexpr double kDt = 1e-3;
    plant.advance(kDt);
    const double q = -3e-4 * kStep * kDt + 0.5 * kDt * kDt * (-3.0 * -3e-4 * kStep + -0.3 * 1e-4 * kStep);
    EXPECT_NEAR(plant.state()[ident::kQ], q, 1e-6 * std::fabs(q));
}

TEST(LinearAircraft, ReadingsAreInTheHostsSensesAndUnits) {
    ident::LinearAircraft plant(hoverModel());
    // Drifting 10 kt to the east while heading north-east: 10 kt east over
    // the ground whatever the heading.
    ASSERT_TRUE(plant.setUp({.heightFt = 80.0, .groundSpeedKt = 10.0, .trackDeg = 90.0, .headingDeg = 45.0},
                            flight::WindSettings{}));
    const flight::HostReadings r = plant.readings();
    const double eastFtS = 10.0 * units::kMetresPerSecondPerKnot * units::kFeetPerMetre;
    EXPECT_NEAR(r.groundVelEastFtS, eastFtS, kSameReading);
    EXPECT_NEAR(r.groundVelNorthFtS, 0.0, kSameReading);
    EXPECT_NEAR(r.radarHeightM, 80.0 * units::kMetresPerFoot, kSameReading);
    EXPECT_EQ(r.rotorSpeedPercent, 100.0);
    EXPECT_NEAR(r.headingDeg, 45.0, kSameReading);
    // The drift through still air needs a nose-down, right-wing-down
    // attitude against the damping: pitch reads + nose down.
    EXPECT_GT(r.pitchNoseDownDeg, 0.0);
    EXPECT_GT(r.bankRightDeg, 0.0);

    // A right pedal step turns the heading up: the yaw reading is + and in
    // 1/65536 turn per s.
    ident::LinearAircraft turning(hoverModel());
    ASSERT_TRUE(turning.setUp({}, flight::WindSettings{}));
    flight::Controls c = turning.trimControls();
    c.rudder -= 1000.0;  // right pedal
    turning.setControls(c);
    turning.advance(0.5);
    const double r0 = turning.state()[ident::kR];
    EXPECT_GT(r0, 0.0);
    EXPECT_NEAR(turning.readings().yawRateTurn65536, r0 / (2.0 * M_PI) * 65536.0, kSameReading);
    EXPECT_GT(turning.readings().headingDeg, 0.0);
}

TEST(LinearAircraft, AModelWhoseCyclicSpansNoMomentsStartsAtItsRecordedTrim) {
    ident::HoverModel m = hoverModel();
    m.terms[ident::kMe].value = 0.0;
    m.terms[ident::kMa].value = 0.0;
    ident::LinearAircraft plant(m);
    flight::WindSettings wind;
    wind.speedKt = 10.0;
    EXPECT_FALSE(plant.setUp({}, wind));
    EXPECT_EQ(plant.trimControls().elevator, m.trimElevator);
    EXPECT_EQ(plant.trimControls().throttle, m.trimThrottle);
}

}  // namespace
