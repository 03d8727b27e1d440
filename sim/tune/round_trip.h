// SPDX-License-Identifier: MIT
//
// Proof that the written parameter string is read by the module as the
// factors that were scored.
//
// The host cannot see the module's gains: they show only in the axis
// commands, which are whole numbers. So the check is made on what the module
// does. A probe flight is flown, each in a fresh process that loads and
// installs the module as the host does, with
//  - the string as written, which must fly bit for bit as the same flight
//    did when the factors were scored (same trace);
//  - the same factors written another way (every digit of the double, in
//    exponent form), which denotes the same doubles and must fly the same:
//    the module reads more digits than the shortest form needs without
//    losing or inventing any;
//  - the string with one key left out, for every factor that is not 1, which
//    must fly differently: the module reads every key the tuner wrote (none
//    is hidden behind a comment character, misspelt or shadowed).
// And the text is read back with a correctly rounding conversion, which
// must give back exactly the scored doubles.
#ifndef HOVER_SIM_TUNE_ROUND_TRIP_H
#define HOVER_SIM_TUNE_ROUND_TRIP_H

#include <string>
#include <vector>

#include "sim/tune/factors.h"
#include "sim/tune/flight_pool.h"

namespace tune {

struct RoundTripResult {
    bool textExact = false;             // the text reads back as the scored doubles
    bool sameAsScored = false;          // the written string flies the scored flight
    bool longFormSame = false;          // every-digit form flies the same
    std::vector<std::string> deadKeys;  // keys whose removal changed nothing
    bool passed() const { return textExact && sameAsScored && longFormSame && deadKeys.empty(); }
    std::string summary() const;
};

// `probe` is a case of the Monte Carlo set and `scoredHash` the trace hash
// that case had when the factors were scored.
RoundTripResult checkRoundTrip(const FlightPool& pool, const FlightCase& probe, uint64_t scoredHash,
                               const Factors& factors, const std::string& written);

// The factors in exponent form with 17 significant digits.
std::string longFormString(const Factors& factors);

}  // namespace tune

#endif
