// SPDX-License-Identifier: MIT
//
// Rigging a class aircraft to identified control powers: the rigged file's
// own linearisation has those powers, nothing but the rigging changes, and
// an identification the class cannot be is refused with the axis named.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "sim/flight/aircraft_file.h"
#include "sim/ident/rigging.h"
#include "sim/ident/truth.h"

namespace {

// What the rigging iterates to.
constexpr double kReachedWithin = 1e-3;
// The trim counts move a little as the rigging changes the trim's angles
// about which it scales; a tenth of a percent of travel is well inside the
// collective's and the pedals' dead band.
constexpr double kTrimKeptCounts = 20.0;

std::string classFile(const std::string& name) {
    std::ifstream in(std::string(HOVER_AIRCRAFT_DIR) + "/" + name + ".toml", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

ident::HoverModel scaledPowers(const ident::HoverModel& truth, const double (&scale)[analysis::kInputCount]) {
    ident::HoverModel m = truth;
    for (int axis = 0; axis < analysis::kInputCount; ++axis) {
        m.terms[static_cast<std::size_t>(ident::kPowerOf[axis])].value *= scale[axis];
    }
    return m;
}

TEST(Rigging, GivesTheClassTheIdentifiedPowerOnEveryAxisAndChangesOnlyItsRigging) {
    const std::string text = classFile("bo105");
    std::string error;
    const std::optional<flight::AircraftDefinition> base = flight::parseAircraft(text, "bo105", error);
    ASSERT_TRUE(base) << error;
    const ident::Truth truth = ident::truthAtHover(base->parameters);
    const double scale[analysis::kInputCount] = {0.8, 1.25, 0.7, 1.1};
    const ident::HoverModel identified = scaledPowers(truth.model, scale);

    const std::optional<ident::Rigged> rigged =
        ident::rigToIdentifiedPowers(text, "bo105", identified, "a test flight", error);
    ASSERT_TRUE(rigged) << error;
    const std::optional<flight::AircraftDefinition> again =
        flight::parseAircraft(rigged->text, "rigged", error);
    ASSERT_TRUE(again) << error;
    const ident::Truth after = ident::truthAtHover(again->parameters);
    for (int axis = 0; axis < analysis::kInputCount; ++axis) {
        const auto a = static_cast<std::size_t>(axis);
        const auto term = static_cast<std::size_t>(ident::kPowerOf[axis]);
        EXPECT_NEAR(after.model.terms[term].value / identified.terms[term].value, 1.0, kReachedWithin)
            << ident::kTerms[term].name;
        EXPECT_NEAR(rigged->reached[a], 1.0, kReachedWithin) << ident::kTerms[term].name;
        // The power is nearly proportional to the gearing.
        EXPECT_NEAR(rigged->factor[a] / scale[axis], 1.0, 0.1) << ident::kTerms[term].name;
    }
    EXPECT_NEAR(after.model.trimThrottle, truth.model.trimThrottle, kTrimKeptCounts);
    EXPECT_NEAR(after.model.trimRudder, truth.model.trimRudder, kTrimKeptCounts);
    EXPECT_NE(again->name.find("rigged"), std::string::npos) << again->name;

    // Every line of the class outside [controls] stands, but its name; the
    // rigged file adds only comment lines before it.
    const std::vector<std::string> from = linesOf(text);
    const std::vector<std::string> to = linesOf(rigged->text);
    ASSERT_GE(to.size(), from.size());
    const std::size_t added = to.size() - from.size();
    for (std::size_t k = 0; k < added; ++k) {
        EXPECT_EQ(to[k].rfind("#", 0), 0u) << to[k];
    }
    bool inControls = false;
    for (std::size_t k = 0; k < from.size(); ++k) {
        if (from[k].rfind("[", 0) == 0) {
            inControls = from[k].rfind("[controls]", 0) == 0;
        }
        if (!inControls && from[k].rfind("name", 0) != 0) {
            EXPECT_EQ(to[k + added], from[k]);
        }
    }
}

TEST(Rigging, RefusesAnIdentificationTheClassCannotBeAndNamesTheAxis) {
    const std::string text = classFile("uh1h");
    std::string error;
    const std::optional<flight::AircraftDefinition> base = flight::parseAircraft(text, "uh1h", error);
    ASSERT_TRUE(base) << error;
    const ident::Truth truth = ident::truthAtHover(base->parameters);

    const double otherSign[analysis::kInputCount] = {1.0, -1.0, 1.0, 1.0};
    EXPECT_FALSE(
        ident::rigToIdentifiedPowers(text, "uh1h", scaledPowers(truth.model, otherSign), "f", error));
    EXPECT_NE(error.find("elevator"), std::string::npos) << error;
    EXPECT_NE(error.find("other sign"), std::string::npos) << error;

    const double tooFar[analysis::kInputCount] = {1.0, 1.0, 1.0, 8.0};
    EXPECT_FALSE(ident::rigToIdentifiedPowers(text, "uh1h", scaledPowers(truth.model, tooFar), "f", error));
    EXPECT_NE(error.find("pedals"), std::string::npos) << error;
    EXPECT_NE(error.find("too far"), std::string::npos) << error;

    // A file without the rigging to scale.
    std::string noRange = text;
    const std::size_t at = noRange.find("lat_cyclic_range");
    ASSERT_NE(at, std::string::npos);
    noRange.replace(at, 3, "xyz");
    const double changed[analysis::kInputCount] = {1.0, 1.0, 0.8, 1.0};
    EXPECT_FALSE(
        ident::rigToIdentifiedPowers(noRange, "uh1h", scaledPowers(truth.model, changed), "f", error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
