// SPDX-License-Identifier: MIT
//
// Each aircraft's hover against its published figures: the trim and the
// quasi-static derivatives within the limits of their reference table
// (sim/flight/validation.cpp), the known disagreements expected as such.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sim/flight/aircraft_file.h"
#include "sim/flight/validation.h"

namespace {

flight::HoverFigures figuresOf(const std::string& name) {
    const char* dir = std::getenv("HOVER_AIRCRAFT_DIR");
    std::string error;
    const auto aircraft = flight::readAircraftFile(
        std::string(dir != nullptr ? dir : "aircraft") + "/" + name + ".toml", error);
    if (!aircraft) {
        ADD_FAILURE() << error;
        return {};
    }
    return flight::hoverFigures(aircraft->parameters);
}

void expectReferencesHeld(const std::string& name) {
    const flight::HoverFigures f = figuresOf(name);
    ASSERT_TRUE(f.trimmed) << name << " found no hover trim";
    int checked = 0;
    for (const flight::Reference& r : flight::references()) {
        if (r.aircraft != name) {
            continue;
        }
        ++checked;
        const auto model = flight::figure(f, r.quantity);
        ASSERT_TRUE(model) << "no figure " << r.quantity;
        if (r.knownDisagreement.empty()) {
            EXPECT_TRUE(flight::withinLimit(r, *model))
                << name << " " << r.quantity << ": model " << *model << ", reference " << r.value << " ("
                << r.source << ")";
        } else {
            EXPECT_FALSE(flight::withinLimit(r, *model))
                << name << " " << r.quantity << " now agrees (model " << *model
                << "): the documented disagreement is gone";
        }
    }
    EXPECT_GT(checked, 0);
}

TEST(Validation, TheBo105HoverMatchesItsPublishedDerivativesAndControlPowers) {
    expectReferencesHeld("bo105");
}
TEST(Validation, TheUh1hHoverHasTheExpectedControlPowerAndPitchDamping) {
    expectReferencesHeld("uh1h");
}
TEST(Validation, ThePumaHoverHasTheExpectedControlPowerAndPitchDamping) {
    expectReferencesHeld("puma");
}

// What the rotor type gives, beyond the reference tables: a teetering rotor
// has no hub moment of its own, so its control power is the thrust's tilt
// alone and far below a hingeless rotor's; every aircraft's controls act in
// the senses the hold expects; the flap lag is of the order the Lock number
// gives.
TEST(Validation, EachRotorTypeGivesTheControlPowerAndSensesItsHubAllows) {
    const flight::HoverFigures bo = figuresOf("bo105");
    const flight::HoverFigures uh = figuresOf("uh1h");
    const flight::HoverFigures puma = figuresOf("puma");
    EXPECT_GT(bo.Mtheta1s / uh.Mtheta1s, 5.0);
    for (const flight::HoverFigures* f : {&bo, &uh, &puma}) {
        EXPECT_LT(f->Mtheta1s, 0.0);  // forward cyclic: nose down
        EXPECT_LT(f->Ltheta1c, 0.0);  // left cyclic: roll left
        EXPECT_LT(f->Ztheta0, 0.0);   // collective: up
        EXPECT_LT(f->NthetaTR, 0.0);  // more tail rotor thrust to the right: nose left
        EXPECT_LT(f->Mq, 0.0);
        EXPECT_LT(f->Lp, 0.0);
        EXPECT_LT(f->Nr, 0.0);
        EXPECT_GT(f->flapLagWithInflowS, f->flapLagS);
    }
    constexpr double kBo105FlapLagS = 0.071;  // 16 / (5.07 x 44.4 rad/s)
    EXPECT_NEAR(bo.flapLagS, kBo105FlapLagS, 0.001);
}

}  // namespace
