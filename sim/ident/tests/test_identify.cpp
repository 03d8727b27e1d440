// SPDX-License-Identifier: MIT
//
// The fit on flights made from a known model (synthetic_flight.h): the
// terms and the latency come back, the standard errors are of the size the
// errors are and shrink with more flying, and an axis nobody excited is
// refused by name.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "sim/ident/identify.h"
#include "synthetic_flight.h"

namespace {

// Terms whose input moves the aircraft strongly come back closely; the
// couplings that a flight shows only weakly are allowed more, and every
// term may also lie within a few of its own standard errors.
constexpr double kMainTermTolerance = 0.10;      // fraction of the true value
constexpr double kCouplingTermTolerance = 0.25;  // fraction of the true value
constexpr double kStandardErrors = 4.0;
// A physics step of the flight model is 1/90 s; the latency must come back
// well within one.
constexpr double kDelayTolerance = 0.25 / 90.0;

bool isMainTerm(int term) {
    switch (term) {
    case ident::kZw: case ident::kLp: case ident::kMq: case ident::kNr: case ident::kXe:
    case ident::kYa: case ident::kZc: case ident::kLa: case ident::kMe: case ident::kNd:
        return true;
    default:
        return false;
    }
}

ident::Identification fit(const synthetic::FlightOptions& options) {
    std::istringstream text(synthetic::flightLog(synthetic::truthModel(), options));
    std::string error;
    const std::optional<ident::FlightLog> log = ident::parseFlightLog(text, "synthetic.csv", error);
    EXPECT_TRUE(log.has_value()) << error;
    const ident::IdentOutcome outcome = ident::identify({*log});
    EXPECT_TRUE(outcome.result.has_value()) << outcome.refusal;
    return outcome.result.value_or(ident::Identification{});
}

}  // namespace

TEST(HoverIdentification, RecoversEveryTermAndTheLatencyOfAClosedLoopFlightInTurbulence) {
    synthetic::FlightOptions options;
    options.programme = synthetic::everyAxis();
    const ident::Identification id = fit(options);
    const ident::HoverModel truth = synthetic::truthModel();
    EXPECT_TRUE(id.converged);
    for (int i = 0; i < ident::kTermCount; ++i) {
        const double expected = truth.terms[static_cast<std::size_t>(i)].value;
        const ident::Estimate& e = id.model.terms[static_cast<std::size_t>(i)];
        const double tolerance = std::max((isMainTerm(i) ? kMainTermTolerance : kCouplingTermTolerance)
                                              * std::fabs(expected),
                                          kStandardErrors * e.standardError);
        EXPECT_NEAR(e.value, expected, tolerance) << ident::kTerms[i].name << " (standard error "
                                                  << e.standardError << ")";
    }
    EXPECT_NEAR(id.model.delayS.value, truth.delayS.value, kDelayTolerance);
    // The trim is the mean of the calm rows: the pilot holds the hover
    // about the true trim, so within a few counts of it.
    EXPECT_NEAR(id.model.trimElevator, truth.trimElevator, 20.0);
    EXPECT_NEAR(id.model.trimThrottle, truth.trimThrottle, 20.0);
    EXPECT_NEAR(id.model.heightFt, truth.heightFt, 2.0);
}

TEST(HoverIdentification, StandardErrorsAreTheSizeOfTheErrorsAndShrinkWithALongerFlight) {
    synthetic::FlightOptions shortFlight;
    shortFlight.programme = synthetic::everyAxis();
    synthetic::FlightOptions longFlight = shortFlight;
    const std::vector<synthetic::Manoeuvre> once = longFlight.programme;
    longFlight.programme.insert(longFlight.programme.end(), once.begin(), once.end());
    longFlight.seed = 2;
    const ident::Identification a = fit(shortFlight);
    const ident::Identification b = fit(longFlight);
    const ident::HoverModel truth = synthetic::truthModel();

    // Twice the flying: the errors of the main terms fall by about 1/sqrt(2);
    // allow the estimate's own scatter.
    int within = 0;
    for (int i = 0; i < ident::kTermCount; ++i) {
        const std::size_t u = static_cast<std::size_t>(i);
        if (isMainTerm(i)) {
            EXPECT_LT(b.model.terms[u].standardError, 0.9 * a.model.terms[u].standardError) << ident::kTerms[i].name;
        }
        EXPECT_GT(b.model.terms[u].standardError, 0.0) << ident::kTerms[i].name;
        const double error = std::fabs(b.model.terms[u].value - truth.terms[u].value);
        within += error <= 3.0 * b.model.terms[u].standardError ? 1 : 0;
    }
    // If the standard errors are honest, nearly every term lies within three
    // of them (99.7 % for a normal error); too small errors fail this.
    EXPECT_GE(within, ident::kTermCount - 3);
    EXPECT_LT(b.model.delayS.standardError, a.model.delayS.standardError);
}

TEST(HoverIdentification, RefusesAFlightWhoseRudderWasNeverExcitedNamingTheAxis) {
    synthetic::FlightOptions options;
    for (const synthetic::Manoeuvre& m : synthetic::everyAxis(15.0)) {
        if (m.axis != analysis::kRudder) {
            options.programme.push_back(m);
        }
    }
    std::istringstream text(synthetic::flightLog(synthetic::truthModel(), options));
    std::string error;
    const std::optional<ident::FlightLog> log = ident::parseFlightLog(text, "synthetic.csv", error);
    ASSERT_TRUE(log.has_value()) << error;
    const ident::IdentOutcome outcome = ident::identify({*log});
    EXPECT_FALSE(outcome.result.has_value());
    EXPECT_NE(outcome.refusal.find("rudder"), std::string::npos) << outcome.refusal;
}

TEST(HoverIdentification, RefusesAnAxisWhoseOnlyInputWasCutShort) {
    // The pilot ended the collective's 3-2-1-1 after its first step: 1.5 s
    // of designed input, less than one whole 3-2-1-1.
    synthetic::FlightOptions options;
    for (synthetic::Manoeuvre m : synthetic::everyAxis(15.0)) {
        if (m.axis == analysis::kThrottle) {
            if (m.shape == synthetic::Shape::kSweep) {
                continue;
            }
            m.shape = synthetic::Shape::kSweep;  // a sweep's first 1.5 s stands in for the cut input
            m.durationS = 1.5;
        }
        options.programme.push_back(m);
    }
    std::istringstream text(synthetic::flightLog(synthetic::truthModel(), options));
    std::string error;
    const std::optional<ident::FlightLog> log = ident::parseFlightLog(text, "synthetic.csv", error);
    ASSERT_TRUE(log.has_value()) << error;
    const ident::IdentOutcome outcome = ident::identify({*log});
    EXPECT_FALSE(outcome.result.has_value());
    EXPECT_NE(outcome.refusal.find("throttle"), std::string::npos) << outcome.refusal;
}
