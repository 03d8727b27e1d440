// SPDX-License-Identifier: MIT
//
// The plant file and the linear plant of a hover model: what is written
// reads back bit for bit, what cannot be a plant is refused with the line,
// and the matrices put every term where the model's equations put it.
#include <gtest/gtest.h>

#include <Eigen/Eigenvalues>
#include <cmath>
#include <complex>
#include <cstring>
#include <string>
#include <vector>

#include "sim/ident/hover_model.h"
#include "sim/ident/plant_file.h"

namespace {

using ident::HoverModel;

// Poles from a 9-state eigensolve: rounding only.
constexpr double kSamePole = 1e-9;

// A model whose every figure differs from every other, with values that
// have no short decimal form.
HoverModel awkwardModel() {
    HoverModel m;
    m.name = "identified from \"hoverlog-20240101-120000.csv\"\\ at 100 ft\n(second line)";
    for (int i = 0; i < ident::kTermCount; ++i) {
        m.terms[static_cast<std::size_t>(i)] = {.value = -1.0 / (3.0 + i) * std::pow(10.0, -i % 5),
                                                .standardError = 0.1 / (7.0 + i)};
    }
    m.terms[ident::kZc].value = 5e-300;  // subnormal-adjacent: the shortest form must still read back
    m.delayS = {.value = 1.0 / 30.0, .standardError = 0.002};
    m.trimElevator = 812.125;
    m.trimAileron = -230.0 / 7.0;
    m.trimRudder = 2900.0;
    m.trimThrottle = 8900.3;
    m.heightFt = 100.0;
    m.rotorDiameterFt = 32.3;
    m.rotor.rollS = {.value = 0.1 / 1.3, .standardError = 0.001 / 3.0};
    m.rotor.pitchS = {.value = 0.1 / 1.1, .standardError = 0.002 / 3.0};
    m.rotor.heaveS = {.value = 0.1 / 1.7, .standardError = 0.003 / 7.0};
    m.rotor.heaveInstant = {.value = 2.0e-3 / 3.0, .standardError = 1e-6 / 3.0};
    m.rotorSpeed.heave = {.value = 0.4 / 3.0, .standardError = 0.01 / 3.0};
    m.rotorSpeed.yaw = {.value = -0.7 / 3.0, .standardError = 0.02 / 3.0};
    m.rotorSpeed.yawOfAcceleration = {.value = 0.11 / 3.0, .standardError = 0.03 / 7.0};
    return m;
}

std::string validText() {
    return ident::plantFileText(awkwardModel(), "a plant to refuse in ways");
}

// The text with the first line holding `from` changed to `to` (a whole
// line removed when `to` is empty).
std::string edited(const std::string& from, const std::string& to) {
    std::string text = validText();
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (to.empty()) {
        const std::size_t begin = text.rfind('\n', at) + 1;
        const std::size_t end = text.find('\n', at);
        text.erase(begin, end - begin + 1);
    } else {
        text.replace(at, from.size(), to);
    }
    return text;
}

int lineOf(const std::string& text, const std::string& what) {
    const std::size_t at = text.find(what);
    int line = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i) {
        line += text[i] == '\n' ? 1 : 0;
    }
    return line;
}

// Each term its own number, to find where it went.
double numbered(int term) {
    return 100.0 + term;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(PlantFile, WhatIsWrittenReadsBackBitForBit) {
    const HoverModel m = awkwardModel();
    std::string error;
    const auto read =
        ident::parsePlantDefinition(ident::plantFileText(m, "line one\nline two"), "p.toml", error);
    ASSERT_TRUE(read) << error;
    const HoverModel& r = read->model;
    EXPECT_EQ(r.name, m.name);
    for (int i = 0; i < ident::kTermCount; ++i) {
        const auto k = static_cast<std::size_t>(i);
        EXPECT_TRUE(sameBits(r.terms[k].value, m.terms[k].value)) << ident::kTerms[i].name;
        EXPECT_TRUE(sameBits(r.terms[k].standardError, m.terms[k].standardError)) << ident::kTerms[i].name;
    }
    EXPECT_TRUE(sameBits(r.delayS.value, m.delayS.value));
    EXPECT_TRUE(sameBits(r.delayS.standardError, m.delayS.standardError));
    EXPECT_TRUE(sameBits(r.trimElevator, m.trimElevator));
    EXPECT_TRUE(sameBits(r.trimAileron, m.trimAileron));
    EXPECT_TRUE(sameBits(r.trimRudder, m.trimRudder));
    EXPECT_TRUE(sameBits(r.trimThrottle, m.trimThrottle));
    EXPECT_TRUE(sameBits(r.heightFt, m.heightFt));
    EXPECT_TRUE(sameBits(r.rotorDiameterFt, m.rotorDiameterFt));
    const ident::Estimate* written[] = {&m.rotor.rollS,
                                        &m.rotor.pitchS,
                                        &m.rotor.heaveS,
                                        &m.rotor.heaveInstant,
                                        &m.rotorSpeed.heave,
                                        &m.rotorSpeed.yaw,
                                        &m.rotorSpeed.yawOfAcceleration};
    const ident::Estimate* back[] = {&r.rotor.rollS,
                                     &r.rotor.pitchS,
                                     &r.rotor.heaveS,
                                     &r.rotor.heaveInstant,
                                     &r.rotorSpeed.heave,
                                     &r.rotorSpeed.yaw,
                                     &r.rotorSpeed.yawOfAcceleration};
    for (std::size_t i = 0; i < std::size(written); ++i) {
        EXPECT_TRUE(sameBits(back[i]->value, written[i]->value)) << "rotor figure " << i;
        EXPECT_TRUE(sameBits(back[i]->standardError, written[i]->standardError)) << "rotor figure " << i;
    }
    EXPECT_FALSE(read->uncertainty);
    // Written again, the same bytes: nothing drifts through a round trip.
    EXPECT_EQ(ident::plantFileText(r, "line one\nline two"), ident::plantFileText(m, "line one\nline two"));
}

TEST(PlantFile, EachFaultIsRefusedWithItsLineAndKey) {
    struct Case {
        std::string text;
        std::string marker;  // text on the line the error must name
        std::string reason;
    };
    const std::vector<Case> cases = {
        {edited("Xu = {", ""), "[terms]", "terms.Xu: missing"},
        {edited("Xu = {", "Xz = { value = 1.0, standard_error = 0.0, unit = \"1/s\" }\nXu = {"), "Xz = {",
         "terms.Xz: unknown key"},
        {edited("[hover]", "colour = \"red\"\n[hover]"), "colour", "colour: unknown key"},
        {edited("rudder = ", "pedal = "), "pedal = ", "hover.pedal: unknown key"},
        {edited("throttle = ", "# throttle = "), "[hover]", "hover.throttle: missing"},
        {edited("delay_s = ", "delay_s = \"soon\" #"), "delay_s", "latency.delay_s: must be a number"},
        {edited("delay_s = ", "delay_s = -0.01 #"), "delay_s", "latency.delay_s: must not be negative"},
        {edited("delay_s = ", "delay_s = nan #"), "delay_s", "latency.delay_s: must be finite"},
        {edited("Me = { value = ", "Me = { value = inf, was = "), "Me = {", "terms.Me.was: unknown key"},
        {edited("Me = { value = ", "Me = { value = inf, unused = 0 } # "), "Me = {", "unknown key"},
        {edited("Nd = { value = ", "Nd = { value = -inf } # "), "Nd = {", "terms.Nd.value: must be finite"},
        {edited("standard_error_s = ", "standard_error_s = -1.0 #"), "standard_error_s",
         "latency.standard_error_s: must not be negative"},
        {edited("Lp = { value = -0.", "Lp = { value = true, x = -0."), "Lp = {", "unknown key"},
        {edited("La = { value",
                "La = { value = 1.0, standard_error = -0.5, unit = \"rad/s2 per count\" }\n#"),
         "La = {", "terms.La.standard_error: must not be negative"},
        {edited("unit = \"1/s\" }    # speed damping, forward", "unit = \"1/min\" }"), "Xu = {",
         "terms.Xu.unit: must be \"1/s\""},
        {edited("[latency]", "[delay]"), "[delay]", "delay: unknown key"},
        {edited("throttle = 8900.3", "throttle = 20000.0"), "throttle = ", "hover.throttle: must lie in"},
        {edited("height_ft = ", "height_ft = 'high' #"), "height_ft", "hover.height_ft: must be a number"},
        {validText() + "[uncertainty]\ninertia = 0.7\n", "inertia = 0.7", "uncertainty.inertia: must lie in"},
        {validText() + "[uncertainty]\nmass = 0.1\n", "mass = 0.1", "uncertainty.mass: unknown key"},
        {edited("name = ", "name = 5 #"), "name = ", "name: must be a string"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto read = ident::parsePlantDefinition(c.text, "p.toml", error);
        EXPECT_FALSE(read) << c.reason;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        const std::string where = "p.toml:" + std::to_string(lineOf(c.text, c.marker)) + ": ";
        EXPECT_EQ(error.rfind(where, 0), 0U) << c.reason << " got: " << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << "expected '" << c.reason << "', got: " << error;
    }
}

TEST(PlantFile, AFitThatWentWrongIsWrittenButNeverReadAsAPlant) {
    HoverModel m = awkwardModel();
    m.terms[ident::kMq].value = std::nan("");
    std::string error;
    EXPECT_FALSE(ident::parsePlantDefinition(ident::plantFileText(m, ""), "p.toml", error));
    EXPECT_NE(error.find("terms.Mq.value: must be finite"), std::string::npos) << error;
}

TEST(PlantFile, AMissingFileOrAFolderIsRefusedInOneLine) {
    std::string error;
    EXPECT_FALSE(ident::readPlantFile("/no/such/plant.toml", error));
    EXPECT_EQ(error, "/no/such/plant.toml:0: no such plant file");
    EXPECT_FALSE(ident::readPlantFile("/tmp", error));
    EXPECT_EQ(error, "/tmp:0: not a regular file");
}

// A plant file from before the rotor's lags (no [rotor], no [rotor_speed])
// is the quasi-steady model; a lag that cannot be one is refused by key.
TEST(PlantFile, TheRotorsTablesAreOptionalAndALagMustBeATime) {
    std::string text = validText();
    text.erase(text.find("\n[rotor]"));
    std::string error;
    const auto read = ident::parsePlantDefinition(text, "old.toml", error);
    ASSERT_TRUE(read) << error;
    EXPECT_FALSE(read->model.rotor.any());
    EXPECT_EQ(read->model.rotorSpeed.yaw.value, 0.0);

    const std::string negative = edited("roll_lag_s = { value = ", "roll_lag_s = { value = -");
    EXPECT_FALSE(ident::parsePlantDefinition(negative, "p.toml", error));
    EXPECT_NE(error.find("rotor.roll_lag_s.value: must not be negative"), std::string::npos) << error;
    const std::string unknown = edited("heave_lag_s", "heave_lag");
    EXPECT_FALSE(ident::parsePlantDefinition(unknown, "p.toml", error));
    EXPECT_NE(error.find("rotor.heave_lag: unknown key"), std::string::npos) << error;
}

// The heave through its inflow lag: w' = Zi dc + m, m' = (Zw w + (Zc - Zi)
// dc - m) / tau. With tau = 0.1 s and Zw = -0.5 the pair's polynomial is
// s^2 + 10 s + 5: poles -5 +- sqrt(20). A collective step first
// accelerates at Zi per count, and the heave settles where the quasi-steady
// model settles, at -Zc / Zw per count.
TEST(LinearPlant, ALaggedHeaveHasTheHandComputedPolesStartsAtItsInstantShareAndSettlesQuasiSteady) {
    HoverModel m;
    m.terms[ident::kZw].value = -0.5;
    m.terms[ident::kZc].value = 2e-3;
    m.rotor.heaveS.value = 0.1;
    m.rotor.heaveInstant.value = 3e-3;
    const analysis::LinearPlant plant = ident::toLinearPlant(m);
    ASSERT_EQ(plant.A.rows(), ident::kExtendedStateCount);
    Eigen::Matrix2d heave;
    heave << plant.A(ident::kW, ident::kW), plant.A(ident::kW, ident::kLagHeave),
        plant.A(ident::kLagHeave, ident::kW), plant.A(ident::kLagHeave, ident::kLagHeave);
    const Eigen::Vector2cd poles = heave.eigenvalues();
    const double slow = -5.0 + std::sqrt(20.0), fast = -5.0 - std::sqrt(20.0);
    EXPECT_NEAR(std::max(poles(0).real(), poles(1).real()), slow, kSamePole);
    EXPECT_NEAR(std::min(poles(0).real(), poles(1).real()), fast, kSamePole);
    EXPECT_EQ(plant.B(ident::kW, analysis::kThrottle), 3e-3);
    const Eigen::Vector2d input(plant.B(ident::kW, analysis::kThrottle),
                                plant.B(ident::kLagHeave, analysis::kThrottle));
    const Eigen::Vector2d settled = heave.partialPivLu().solve(-input);
    EXPECT_NEAR(settled(0), -2e-3 / -0.5, 1e-12);
    // The roll and pitch rows are untouched without their lags.
    EXPECT_EQ(plant.A(ident::kP, ident::kLagRoll), 0.0);
    EXPECT_EQ(plant.A(ident::kQ, ident::kLagPitch), 0.0);
}

TEST(LinearPlant, APitchSubsystemHasTheHandComputedPoles) {
    // u' = Xu u - g theta, q' = Mq q + Mu u, theta' = q: the characteristic
    // polynomial is s (s - Xu)(s - Mq) + g Mu. With Xu = -1, Mq = -2 and
    // g Mu = 6 it is s^3 + 3 s^2 + 2 s + 6 = (s + 3)(s^2 + 2): poles -3 and
    // +-j sqrt(2). Every other state is an integrator (h, and phi with
    // nothing driving it) or damps at its own term.
    HoverModel m;
    m.terms[ident::kXu].value = -1.0;
    m.terms[ident::kMq].value = -2.0;
    m.terms[ident::kMu].value = 6.0 / ident::kGravity;
    m.terms[ident::kYv].value = -0.5;
    m.terms[ident::kZw].value = -0.25;
    m.terms[ident::kLp].value = -4.0;
    m.terms[ident::kNr].value = -0.75;
    const analysis::LinearPlant plant = ident::toLinearPlant(m);
    ASSERT_EQ(plant.A.rows(), ident::kStateCount);
    const Eigen::VectorXcd poles = Eigen::EigenSolver<Eigen::MatrixXd>(plant.A, false).eigenvalues();
    // The lateral pair: v' = Yv v + g phi, p' = Lp p, phi' = p gives poles
    // Yv, Lp and 0.
    const std::vector<std::complex<double>> expected = {
        {-3.0, 0.0}, {0.0, std::sqrt(2.0)}, {0.0, -std::sqrt(2.0)}, {-0.5, 0.0}, {-4.0, 0.0},
        {0.0, 0.0},  {-0.25, 0.0},          {-0.75, 0.0},           {0.0, 0.0}};
    std::vector<bool> used(static_cast<std::size_t>(poles.size()), false);
    for (const auto& e : expected) {
        bool found = false;
        for (Eigen::Index i = 0; i < poles.size() && !found; ++i) {
            if (!used[static_cast<std::size_t>(i)] && std::abs(poles(i) - e) < kSamePole) {
                used[static_cast<std::size_t>(i)] = true;
                found = true;
            }
        }
        EXPECT_TRUE(found) << "no pole at " << e;
    }
}

TEST(LinearPlant, EveryTermStandsWhereItsEquationPutsItAndTheOutputsAreInTheLoopsUnits) {
    HoverModel m;
    for (int i = 0; i < ident::kTermCount; ++i) {
        m.terms[static_cast<std::size_t>(i)].value = numbered(i);
    }
    const analysis::LinearPlant plant = ident::toLinearPlant(m);
    EXPECT_EQ(plant.A(ident::kQ, ident::kU), numbered(ident::kMu));
    EXPECT_EQ(plant.A(ident::kU, ident::kQ), numbered(ident::kXq));
    EXPECT_EQ(plant.A(ident::kV, ident::kP), numbered(ident::kYp));
    EXPECT_EQ(plant.A(ident::kR, ident::kP), numbered(ident::kNp));
    EXPECT_EQ(plant.A(ident::kP, ident::kQ), numbered(ident::kLq));
    EXPECT_EQ(plant.A(ident::kQ, ident::kP), numbered(ident::kMp));
    EXPECT_EQ(plant.B(ident::kQ, analysis::kElevator), numbered(ident::kMe));
    EXPECT_EQ(plant.B(ident::kP, analysis::kElevator), numbered(ident::kLe));
    EXPECT_EQ(plant.B(ident::kR, analysis::kThrottle), numbered(ident::kNc));
    EXPECT_EQ(plant.B(ident::kV, analysis::kRudder), numbered(ident::kYr));
    // Nothing else: 13 terms and 5 fixed entries in A, 10 terms in B.
    EXPECT_EQ((plant.A.array() != 0.0).count(), 18);
    EXPECT_EQ((plant.B.array() != 0.0).count(), 10);
    EXPECT_EQ(plant.A(ident::kU, ident::kTheta), -ident::kGravity);  // nose up slows the aircraft
    EXPECT_EQ(plant.A(ident::kV, ident::kPhi), ident::kGravity);     // right wing down moves it right
    // One m/s of w is 1 m/s up; 1 rad/s of r is 180/pi deg/s; 1 m of h is
    // 3.28084 ft.
    EXPECT_EQ(plant.C(analysis::kUpSpeed, ident::kW), 1.0);
    EXPECT_EQ(plant.C(analysis::kForwardSpeed, ident::kU), 1.0);
    EXPECT_EQ(plant.C(analysis::kRightSpeed, ident::kV), 1.0);
    EXPECT_NEAR(plant.C(analysis::kTurnRate, ident::kR), 180.0 / M_PI, 1e-12);
    EXPECT_EQ(plant.C(analysis::kHeightFt, ident::kH), 3.28084);
    EXPECT_EQ((plant.C.array() != 0.0).count(), 5);
    EXPECT_TRUE(plant.trimmed);
    EXPECT_EQ(plant.trimControls.throttle, m.trimThrottle);
}

TEST(PlantScale, TheFactorsActOnTheirGroupsOfTerms) {
    HoverModel m;
    for (auto& t : m.terms) {
        t.value = 1.0;
    }
    const HoverModel s =
        ident::scaledModel(m, {.inertia = 2.0, .controlPower = 3.0, .rotorDamping = 5.0, .tailRotor = 7.0});
    // By hand: Xu no group; Xe control power; Yr tail rotor; Lv inertia only;
    // Lp rotor damping over inertia; La control power over inertia; Nr tail
    // rotor over inertia; Nc inertia only.
    EXPECT_DOUBLE_EQ(s.terms[ident::kXu].value, 1.0);
    EXPECT_DOUBLE_EQ(s.terms[ident::kXe].value, 3.0);
    EXPECT_DOUBLE_EQ(s.terms[ident::kYr].value, 7.0);
    EXPECT_DOUBLE_EQ(s.terms[ident::kLv].value, 0.5);
    EXPECT_DOUBLE_EQ(s.terms[ident::kLp].value, 2.5);
    EXPECT_DOUBLE_EQ(s.terms[ident::kLa].value, 1.5);
    EXPECT_DOUBLE_EQ(s.terms[ident::kNr].value, 3.5);
    EXPECT_DOUBLE_EQ(s.terms[ident::kNc].value, 0.5);
    EXPECT_DOUBLE_EQ(s.terms[ident::kZc].value, 1.0);
}

TEST(PlantScale, TheFitsSpreadIsTwiceTheWorstRelativeErrorWithinItsBounds) {
    HoverModel m;
    for (auto& t : m.terms) {
        t = {.value = 1.0, .standardError = 0.001};  // 0.1 %: below the floor
    }
    m.terms[ident::kMe] = {.value = -0.002, .standardError = 0.0002};  // 10 %: control power 0.2, inertia 0.2
    m.terms[ident::kNd] = {.value = 0.0, .standardError = 0.1};        // no relative figure: tail rotor 0.5
    m.terms[ident::kLp].standardError = 0.04;                          // 4 %: rotor damping 0.08
    const flight::Uncertainty fit = ident::fittedUncertainty(m);
    EXPECT_DOUBLE_EQ(fit.spread.controlPower, 0.2);
    EXPECT_DOUBLE_EQ(fit.spread.rotorDamping, 0.08);
    EXPECT_DOUBLE_EQ(fit.spread.tailRotor, 0.5);
    EXPECT_DOUBLE_EQ(fit.spread.inertia, 0.5);  // Nd is a moment term too

    // The file's table overrides only the groups it gives.
    std::string error;
    const auto read = ident::parsePlantDefinition(
        ident::plantFileText(m, "") + "[uncertainty]\ntail_rotor = 0.1\n", "p.toml", error);
    ASSERT_TRUE(read) << error;
    const flight::Uncertainty used = ident::plantUncertainty(*read);
    EXPECT_DOUBLE_EQ(used.spread.tailRotor, 0.1);
    EXPECT_DOUBLE_EQ(used.spread.controlPower, 0.2);
    m.terms[ident::kNd] = {.value = 1.0, .standardError = 0.0};
    m.terms[ident::kMe].standardError = 0.0;
    m.terms[ident::kLp].standardError = 0.0;
    EXPECT_DOUBLE_EQ(ident::fittedUncertainty(m).spread.controlPower, ident::kLeastFittedSpread);
}

}  // namespace
