// SPDX-License-Identifier: MIT
//
// What hovertune writes: the parameter string, the gauge line, a scenario
// that flies the string for hoversim to re-check, and a Markdown report with
// a chart comparing the flight scores of the default gains, the hand-found
// string and the tuned string. The time histories of the three strings are
// drawn on request, from a report's folder, by drawHistories.
#ifndef HOVER_SIM_TUNE_REPORT_H
#define HOVER_SIM_TUNE_REPORT_H

#include <array>
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
};

// The time histories: the probe flight flown with each of the three strings
// and drawn as a flight plot, in the report's folder.
struct History {
    const char* label;  // the candidate's
    const char* file;
};
constexpr std::array<History, 3> kHistories = {{{"default gains", "history_default.png"},
                                                {"hand-found string", "history_hand_found.png"},
                                                {"tuned", "history_tuned.png"}}};

// The option of hovertune that draws them from a report's folder.
constexpr const char* kDrawHistoriesOption = "--draw-histories";

// The probe flight of a set: its first engagement from a drift (the first
// flight when there is none).
size_t probeFlight(const std::vector<FlightCase>& set);

// Flies the probe flight with the default gains, the hand-found string and
// the string of `dir`/parameters.txt, and draws each into `dir` as its
// kHistories file. False, with the reason, when there is no string there,
// a flight does not fly or a picture is not written.
bool drawHistories(const Tuner& tuner, const std::string& dir, std::string& error);

struct ReportInput {
    std::string outDir;
    std::string commandLine;
    std::string aircraftName;  // as the aircraft file calls it
    const Tuner* tuner = nullptr;
    std::vector<Candidate> candidates;  // defaults, hand-found, tuned (when found)
    std::optional<TuneResult> result;
    std::vector<TradeOffPoint> tradeOff;  // with the tuned point among them, marked chosen
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

// What a string holds on the validation set, in one paragraph: the flights
// on the host's own loop and one panel frame late, and the closed loops.
std::string holdsParagraph(const Validation& validation, const Tuner& tuner);

}  // namespace tune

#endif
