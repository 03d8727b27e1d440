// SPDX-License-Identifier: MIT
//
// One scenario flown with the module in the loop: the host's frame loop,
// the per-frame trace, the phase statistics and the expectations.
#ifndef HOVER_SIM_HOST_RUNNER_H
#define HOVER_SIM_HOST_RUNNER_H

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "sim/host/scenario.h"

namespace host {

struct RunOptions {
    std::string modulePath;
    std::ostream* trace = nullptr;  // CSV, one row per frame, when set
    // Pictures, in the builds that have the panel renderer (HOVERSIM_PICTURES):
    // the panel at these host times (s) and every panelEvery seconds as
    // <panelPrefix><time>s.png, and a plot of the whole run.
    std::vector<double> panelTimes;
    double panelEvery = 0.0;
    std::string panelPrefix = "panel_";
    double panelScale = 1.0;
    std::string bitmapDirectory;  // empty: beside the module, else the build tree's
    std::string plotPath;
};

struct PhaseResult {
    std::string name;
    double from = 0.0;
    double to = 0.0;
    int64_t frames = 0;
    bool heightKnown = false;     // a target to measure the height against
    double heightRmsFt = 0.0;
    double heightMaxFt = 0.0;     // largest |error|
    double speedRmsKt = 0.0;
    double speedMaxKt = 0.0;
    double headingChangeDeg = 0.0;     // net, end minus start
    double headingMaxDevDeg = 0.0;     // largest |deviation| from the start
    double positionMaxDevFt = 0.0;     // largest distance from the start point
    std::optional<double> captureS;    // from the phase start until the height stays within 2 ft
    double engagedFraction = 0.0;
    bool hover = false;  // a phase with its own target: graded as a hover
};

struct ExpectationResult {
    std::string text;
    bool held = false;
    std::string detail;
};

struct RunResult {
    bool flown = false;      // false: the run could not start (see error)
    bool skipped = false;    // the scenario needs what this build lacks
    std::string error;
    std::string aircraft;    // the name its aircraft file gives the helicopter
    int64_t frames = 0;
    double wallSeconds = 0.0;
    std::vector<PhaseResult> phases;
    std::vector<ExpectationResult> expectations;
    std::vector<std::string> notes;  // what the host saw go wrong in the module

    bool allHeld() const;
};

RunResult runScenario(const Scenario& scenario, const RunOptions& options);

void printSummary(std::ostream& out, const Scenario& scenario, const RunResult& result);

// ADS-33 hover grades for the summary: 0 desired, 1 adequate, 2 neither.
int gradeHeight(double maxFt);
int gradePosition(double maxFt);
int gradeHeading(double maxDeg);

}  // namespace host

#endif
