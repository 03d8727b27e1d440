// SPDX-License-Identifier: MIT
//
// What hovertune writes: the parameter string, the gauge line, a scenario
// that flies the string for hoversim to re-check, and a Markdown report with
// pictures comparing the default gains, the hand-found string and the tuned
// string.
#ifndef HOVER_SIM_TUNE_REPORT_H
#define HOVER_SIM_TUNE_REPORT_H

#include <optional>
#include <string>
#include <vector>

#include "sim/tune/round_trip.h"
#include "sim/tune/tuner.h"

namespace tune {

// The string found by hand for the Bo-105 class on an earlier flight model,
// without the host's command delay, and recommended before strings were
// tuned: every report compares the tuned string with it and the defaults.
constexpr const char* kHandFoundParameters = "KprForward 0.5 TvForward 0.5";

struct Candidate {
    std::string label;  // "default gains", "hand-found string", "tuned"
    Evaluation evaluation;
    std::string plotFile;  // time history, relative to the report
};

struct ReportInput {
    std::string outDir;
    std::string commandLine;
    std::string aircraftName;  // as the aircraft file calls it
    const Tuner* tuner = nullptr;
    std::vector<Candidate> candidates;  // defaults, hand-found, tuned (when found)
    std::optional<TuneResult> result;
    std::optional<RoundTripResult> roundTrip;
    bool interrupted = false;
    double seconds = 0.0;
    std::vector<std::string> notes;      // what went wrong with the aircraft
    std::vector<std::string> hostNotes;  // what the host flew differently from what was asked
};

// Per kind of flight and air: the share of flights inside the bounds they
// are judged by (desired in calm and light air, adequate in moderate and
// severe) and the worst normalised error.
struct GroupSummary {
    std::string name;
    int flights = 0;
    int within = 0;
    double worst = 0.0;
};
std::vector<GroupSummary> summarise(const std::vector<FlightCase>& set,
                                    const std::vector<FlightOutcome>& outcomes);

// A strip chart of each candidate's flight scores, with the bound at 1.
bool writeScoreChart(const std::string& path, const std::vector<Candidate>& candidates, std::string& error);

// The scenario that flies `parameters` in the probe's conditions and holds
// the hover to ADS-33 desired bounds.
std::string checkScenario(const FlightCase& probe, const FlightConditions& conditions,
                          const std::string& parameters);

// Writes everything into input.outDir; returns false with the reason when a
// file cannot be written.
bool writeReport(const ReportInput& input, std::string& error);

}  // namespace tune

#endif
