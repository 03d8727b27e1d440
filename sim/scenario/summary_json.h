// SPDX-License-Identifier: MIT
//
// The summary as JSON, for scripts and the tuning tool's reports: per run
// the phase table, the ADS-33 hover grades (`grades` over the whole phase,
// `hover_30_s` over the first 30 s from capture and the worst 30-s windows),
// each expectation with its worst value and first crossing, the host's
// notes and the outcome. Units as in the printed summary: ft, kt, deg, s.
#ifndef HOVER_SIM_SCENARIO_SUMMARY_JSON_H
#define HOVER_SIM_SCENARIO_SUMMARY_JSON_H

#include <ostream>
#include <string>
#include <string_view>

#include "sim/scenario/runner.h"
#include "sim/scenario/scenario.h"

namespace host {

// Collects the runs of one invocation and writes them as {"runs": [...]}.
class SummaryJson {
public:
    void add(const std::string& file, const Scenario& scenario, const RunResult& result);
    void write(std::ostream& out) const;

private:
    std::string runs_;
};

// A JSON string literal for any bytes: quotes, backslashes and control
// characters escaped (bytes from 0x80 up pass through unchanged).
std::string jsonString(std::string_view text);
// A JSON number, or null for a value that is not finite (JSON has no NaN).
std::string jsonNumber(double value);

}  // namespace host

#endif
