// SPDX-License-Identifier: MIT
//
// One scenario flown with the module in the loop: the host's frame loop,
// feeding each frame to the trace, the phase meters and the expectations.
#ifndef HOVER_SIM_SCENARIO_RUNNER_H
#define HOVER_SIM_SCENARIO_RUNNER_H

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "sim/scenario/judges.h"
#include "sim/scenario/scenario.h"

namespace host {

// One moment of the host's loop, for those who study the schedule: a
// visual frame's physics step, a panel update, or the controls moving in
// the flight model.
struct LoopEvent {
    enum class Kind { kPhysicsStep, kPanelUpdate, kControlsMoved };
    Kind kind = Kind::kPhysicsStep;
    int64_t visualFrame = 0;  // the frame it happened in (0: the first)
    double simTimeS = 0.0;    // the flight model's time when it happened
};

struct RunOptions {
    std::string modulePath;
    // The logging gauge's module, for scenarios with [logger] (empty: the
    // one beside the program), and the folder it writes in, passed to it
    // as folder= (empty: the working directory, its own default).
    std::string loggerModulePath;
    std::string logFolder;
    // Every physics step, panel update and control movement, in order, when set.
    std::vector<LoopEvent>* schedule = nullptr;
    std::ostream* trace = nullptr;  // CSV, one row per frame, when set
    // Pictures, in the builds that have the panel renderer (HOVERSIM_PICTURES):
    // the panel at these host times (s) and every panelEvery seconds as
    // <panelPrefix><time>s.png, and a plot of the whole run.
    std::vector<double> panelTimes;
    double panelEvery = 0.0;
    std::string panelPrefix = "panel_";
    double panelScale = 1.0;
    std::string bitmapDirectory;  // empty: bitmaps/ beside the module
    std::string plotPath;
    // A joystick attached even when the scenario moves none: a live host
    // whose pilot may take the stick.
    bool stickAttached = false;
};

struct RunResult {
    bool flown = false;    // false: the run could not start (see error)
    bool skipped = false;  // the scenario needs what this build lacks
    std::string error;
    std::string aircraft;  // the name its aircraft file gives the helicopter
    int64_t frames = 0;
    double wallSeconds = 0.0;
    std::vector<PhaseResult> phases;
    std::vector<ExpectationResult> expectations;
    std::vector<std::string> notes;  // what the host saw go wrong in the module
    // The logger's files: those that appeared in its folder during the run.
    std::vector<std::string> logFiles;

    bool allHeld() const;         // also true when nothing was checked
    bool nothingChecked() const;  // flown without a single expectation
};

RunResult runScenario(const Scenario& scenario, const RunOptions& options);

// The logger's files in a folder (empty: the working directory), by name,
// sorted: hoverlog-*.csv.
std::vector<std::string> logFilesIn(const std::string& folder);

}  // namespace host

#endif
