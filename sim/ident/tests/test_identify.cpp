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
// term may also lie within a few of its own standard errors. The speed
// dampings are allowed most in turbulence: an aircraft that drifts with a
// gust looks, at the lowest frequencies, like one with less damping, and
// the flight tells the two apart only partly (Zw comes back about a fifth
// low at these gusts).
constexpr double kMainTermTolerance = 0.10;      // fraction of the true value
constexpr double kCouplingTermTolerance = 0.25;  // fraction of the true value
constexpr double kSpeedDampingTolerance = 0.25;  // fraction of the true value
constexpr double kStandardErrors = 4.0;
// In still air nothing but the integration and the log's decimals is left.
constexpr double kStillAirTolerance = 0.01;  // fraction of the true value
// "A little" turbulence: gusts of 0.1 m/s, correlated over 1.5 s.
constexpr double kLightGustSigma = 0.1;
// A physics step of the flight model is 1/90 s; the latency must come back
// well within one.
constexpr double kDelayTolerance = 0.25 / 90.0;

bool isSpeedDamping(int term) {
    return term == ident::kXu || term == ident::kYv || term == ident::kZw;
}

bool isMainTerm(int term) {
    switch (term) {
    case ident::kZw:
    case ident::kLp:
    case ident::kMq:
    case ident::kNr:
    case ident::kXe:
    case ident::kYa:
    case ident::kZc:
    case ident::kLa:
    case ident::kMe:
    case ident::kNd:
        return true;
    default:
        return false;
    }
}

// The flights every test of the fit reads; each is made and fitted once
// (a fit takes seconds) and only read after.
synthetic::FlightOptions turbulentFlight(int programmes, unsigned seed) {
    synthetic::FlightOptions options;
    for (int k = 0; k < programmes; ++k) {
        for (const synthetic::Manoeuvre& m : synthetic::everyAxis(8.0)) {
            options.programme.push_back(m);
        }
    }
    options.gustSigma = kLightGustSigma;
    options.seed = seed;
    return options;
}

ident::Identification fit(const synthetic::FlightOptions& options,
                          const ident::HoverModel& truth = synthetic::truthModel());

const ident::Identification& oneProgrammeInTurbulence() {
    static const ident::Identification id = fit(turbulentFlight(1, 1));
    return id;
}

const ident::Identification& twoProgrammesInTurbulence() {
    static const ident::Identification id = fit(turbulentFlight(2, 2));
    return id;
}

ident::Identification fit(const synthetic::FlightOptions& options, const ident::HoverModel& truth) {
    std::istringstream text(synthetic::flightLog(truth, options));
    std::string error;
    const std::optional<ident::FlightLog> log = ident::parseFlightLog(text, "synthetic.csv", error);
    EXPECT_TRUE(log.has_value()) << error;
    const ident::IdentOutcome outcome = ident::identify({*log});
    EXPECT_TRUE(outcome.result.has_value()) << outcome.refusal;
    return outcome.result.value_or(ident::Identification{});
}

}  // namespace

TEST(HoverIdentification, RecoversEveryTermAndTheLatencyOfAClosedLoopFlightInTurbulence) {
    const ident::Identification& id = oneProgrammeInTurbulence();
    const ident::HoverModel truth = synthetic::truthModel();
    EXPECT_TRUE(id.converged);
    for (int i = 0; i < ident::kTermCount; ++i) {
        const double expected = truth.terms[static_cast<std::size_t>(i)].value;
        const ident::Estimate& e = id.model.terms[static_cast<std::size_t>(i)];
        const double fraction = isSpeedDamping(i) ? kSpeedDampingTolerance
                                : isMainTerm(i)   ? kMainTermTolerance
                                                  : kCouplingTermTolerance;
        const double tolerance = std::max(fraction * std::fabs(expected), kStandardErrors * e.standardError);
        EXPECT_NEAR(e.value, expected, tolerance)
            << ident::kTerms[i].name << " (standard error " << e.standardError << ")";
    }
    EXPECT_NEAR(id.model.delayS.value, truth.delayS.value, kDelayTolerance);
    // The trim is the mean of the calm rows: the pilot holds the hover
    // about the true trim, so within a few counts of it.
    EXPECT_NEAR(id.model.trimElevator, truth.trimElevator, 20.0);
    EXPECT_NEAR(id.model.trimThrottle, truth.trimThrottle, 20.0);
    EXPECT_NEAR(id.model.heightFt, truth.heightFt, 2.0);
}

TEST(HoverIdentification, RecoversEveryTermExactlyInStillAir) {
    synthetic::FlightOptions options;
    options.programme = synthetic::everyAxis(8.0);
    options.gustSigma = 0.0;
    const ident::Identification id = fit(options);
    const ident::HoverModel truth = synthetic::truthModel();
    for (int i = 0; i < ident::kTermCount; ++i) {
        const double expected = truth.terms[static_cast<std::size_t>(i)].value;
        EXPECT_NEAR(id.model.terms[static_cast<std::size_t>(i)].value, expected,
                    kStillAirTolerance * std::fabs(expected))
            << ident::kTerms[i].name;
    }
    EXPECT_NEAR(id.model.delayS.value, truth.delayS.value, kDelayTolerance);
    // An aircraft without a rotor lag is not given one.
    EXPECT_FALSE(id.model.rotor.any());
}

// A rotor whose disc lags 0.1 s in roll and pitch and whose inflow lags
// 0.07 s, the collective giving half as much again before the inflow
// answers: the lags come back, and the terms keep their settled values.
TEST(HoverIdentification, RecoversTheRotorsLagsAndItsSettledTermsInStillAir) {
    ident::HoverModel truth = synthetic::truthModel();
    truth.rotor.rollS.value = 0.08;
    truth.rotor.pitchS.value = 0.11;
    truth.rotor.heaveS.value = 0.07;
    truth.rotor.heaveInstant.value = 1.5 * truth.terms[ident::kZc].value;
    synthetic::FlightOptions options;
    options.programme = synthetic::everyAxis(8.0);
    options.gustSigma = 0.0;
    const ident::Identification id = fit(options, truth);
    for (int i = 0; i < ident::kTermCount; ++i) {
        const double expected = truth.terms[static_cast<std::size_t>(i)].value;
        const double fraction = isMainTerm(i) ? kMainTermTolerance : kCouplingTermTolerance;
        EXPECT_NEAR(id.model.terms[static_cast<std::size_t>(i)].value, expected,
                    fraction * std::fabs(expected))
            << ident::kTerms[i].name;
    }
    const ident::RotorLag& lag = id.model.rotor;
    EXPECT_NEAR(lag.rollS.value, truth.rotor.rollS.value, kMainTermTolerance * truth.rotor.rollS.value);
    EXPECT_NEAR(lag.pitchS.value, truth.rotor.pitchS.value, kMainTermTolerance * truth.rotor.pitchS.value);
    EXPECT_NEAR(lag.heaveS.value, truth.rotor.heaveS.value, kMainTermTolerance * truth.rotor.heaveS.value);
    EXPECT_NEAR(lag.heaveInstant.value, truth.rotor.heaveInstant.value,
                kMainTermTolerance * truth.rotor.heaveInstant.value);
    EXPECT_NEAR(id.model.delayS.value, truth.delayS.value, kDelayTolerance);
}

TEST(HoverIdentification, StandardErrorsAreTheSizeOfTheErrorsAndShrinkWithALongerFlight) {
    const ident::Identification& a = oneProgrammeInTurbulence();
    const ident::Identification& b = twoProgrammesInTurbulence();
    const ident::HoverModel truth = synthetic::truthModel();

    // Twice the flying: the standard errors of the main terms fall by about
    // 1/sqrt(2); allow the estimate's own scatter.
    int outside = 0;
    for (int i = 0; i < ident::kTermCount; ++i) {
        const std::size_t u = static_cast<std::size_t>(i);
        if (isMainTerm(i)) {
            EXPECT_LT(b.model.terms[u].standardError, 0.9 * a.model.terms[u].standardError)
                << ident::kTerms[i].name;
        }
        EXPECT_GT(b.model.terms[u].standardError, 0.0) << ident::kTerms[i].name;
        // The heave terms carry the turbulence's bias, which no standard
        // error measures (see kSpeedDampingTolerance).
        if (i == ident::kZw || i == ident::kZc) {
            continue;
        }
        const double error = std::fabs(b.model.terms[u].value - truth.terms[u].value);
        outside += error > 3.0 * b.model.terms[u].standardError ? 1 : 0;
    }
    // If the standard errors are honest, nearly every other term lies within
    // three of them (99.7 % for a normal error); errors too small fail this.
    EXPECT_LE(outside, 2);
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
