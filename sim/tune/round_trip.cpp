// SPDX-License-Identifier: MIT
#include "sim/tune/round_trip.h"

#include <cstdio>
#include <cstring>

namespace tune {

std::string longFormString(const Factors& factors) {
    std::string text;
    for (size_t i = 0; i < factors.size(); ++i) {
        char number[64];
        std::snprintf(number, sizeof number, "%.16e", factors[i]);
        if (!text.empty())
            text += ' ';
        text += kFactorKeys[i];
        text += ' ';
        text += number;
    }
    return text;
}

std::string RoundTripResult::summary() const {
    std::string s;
    s += textExact ? "text reads back exactly" : "TEXT DOES NOT READ BACK EXACTLY";
    s += sameAsScored ? "; the written string flies the scored probe bit for bit"
                      : "; THE WRITTEN STRING FLIES DIFFERENTLY";
    s += longFormSame ? "; the 17-digit form flies the same" : "; THE 17-DIGIT FORM FLIES DIFFERENTLY";
    if (deadKeys.empty()) {
        s += "; every key written changes the flight";
    } else {
        s += "; KEYS THE MODULE DOES NOT READ:";
        for (const std::string& k : deadKeys)
            s += " " + k;
    }
    return s;
}

RoundTripResult checkRoundTrip(const FlightPool& pool, const FlightCase& probe, uint64_t scoredHash,
                               const Factors& factors, const std::string& written) {
    RoundTripResult result;
    const std::optional<Factors> read = readParameterString(written);
    result.textExact = read && std::memcmp(read->data(), factors.data(), sizeof factors) == 0;

    std::vector<FlightJob> jobs;
    jobs.push_back({probe, written, {}});
    jobs.push_back({probe, longFormString(factors), {}});
    std::vector<size_t> keyOf;
    for (size_t i = 0; i < factors.size(); ++i) {
        if (factors[i] == 1.0)
            continue;
        Factors without = factors;
        without[i] = 1.0;
        jobs.push_back({probe, parameterString(without, true), {}});
        keyOf.push_back(i);
    }
    const std::vector<FlightOutcome> outcomes = pool.fly(jobs);
    result.sameAsScored = outcomes[0].flown && outcomes[0].traceHash == scoredHash;
    result.longFormSame = outcomes[1].flown && outcomes[1].traceHash == outcomes[0].traceHash;
    for (size_t j = 0; j < keyOf.size(); ++j) {
        const FlightOutcome& o = outcomes[2 + j];
        if (!o.flown || o.traceHash == outcomes[0].traceHash) {
            result.deadKeys.push_back(kFactorKeys[keyOf[j]]);
        }
    }
    return result;
}

}  // namespace tune
