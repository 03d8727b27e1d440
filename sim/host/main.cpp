// SPDX-License-Identifier: MIT
//
// hoversim: flies a scenario with the hover gauge module in the loop and
// reports how well the helicopter was held.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "sim/host/aircraft.h"
#include "sim/host/runner.h"
#include "sim/host/scenario.h"

namespace {

// Exit statuses.
constexpr int kAllHeld = 0;
constexpr int kExpectationFailed = 1;
constexpr int kCannotRun = 2;
constexpr int kSkipped = 77;  // ctest's conventional "skipped"

constexpr const char* kDescription =
    "hoversim flies a helicopter scenario with the hover gauge module in the loop.\n"
    "It loads the module the way the flight simulator does, serves the host's\n"
    "variables from a helicopter flight model (the aircraft file the scenario or\n"
    "--aircraft names; by default aircraft/bo105.toml, the Bo-105 class),\n"
    "applies the module's axis commands, clicks the gauge's face and moves the\n"
    "pilot's stick as the scenario says, and at the end prints per phase how well\n"
    "the hover was held, checks the scenario's expectations and exits non-zero\n"
    "when one of them failed.\n";

constexpr const char* kFooter = R"(
OUTPUT
  The summary shows, per phase: height error RMS and maximum (ft, against the
  phase's target_ft or else the target height the gauge shows), ground speed
  RMS and maximum (kt), heading change and largest deviation (deg), largest
  distance from the point where the phase began (ft), time to capture (s from
  the phase start until the height stays within 2 ft) and the share of frames
  in which the hold drove the controls; then the ADS-33 hover grades and each
  expectation with [held] or [FAIL].
  --trace writes one CSV row per host frame: host and simulated time, every
  token served (heading 86/81, velocities 554/555/556 ft/s, yaw rate 70, radar
  height 614 m, operating 755, pitch 77, wind 344/343, control positions
  309/311/314/128 as read by the update), the axis commands the update sent,
  whether the pitch guard overrode the elevator, whether the hold drove the
  axes ("engaged"), what the panel showed (switch, guard, lamp, screen, target
  height, set-point markers; empty while the panel shows no such element),
  height, ground speed, position and the scenario's actions in that frame.
  Runs are deterministic: the same scenario gives the same trace.

EXIT STATUS
  0 every expectation held; 1 an expectation failed; 2 the scenario or the
  module could not be loaded; 77 the scenario moves the stick and this build
  cannot (the Windows build, whose DirectInput is the machine's own).

)";

void printSpeed(const host::RunResult& result) {
    if (result.wallSeconds > 0.0) {
        std::printf("speed: %.0f host frames per second (%lld frames in %.3f s)\n",
                    static_cast<double>(result.frames) / result.wallSeconds,
                    static_cast<long long>(result.frames), result.wallSeconds);
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{kDescription, "hoversim"};
    app.footer(std::string(kFooter) + host::scenarioFormatHelp());
    app.get_formatter()->column_width(30);
    // Scenario paths may start with '/', also in the Windows build.
    app.allow_windows_style_options(false);

    std::vector<std::string> scenarioFiles;
    std::string modulePath;
    std::string tracePath;
    std::string aircraftOverride;
    bool quiet = false;
    bool timing = false;
    bool checkOnly = false;
    double duration = 0.0;
    app.add_option("scenario", scenarioFiles, "Scenario files (TOML) to fly, one after the other")
        ->required()
        ->check(CLI::ExistingFile);
    app.add_option("-m,--module", modulePath,
                   "The gauge module to load (default: hover.so / hover.gau beside this program)");
    app.add_option("-a,--aircraft", aircraftOverride,
                   "Fly this aircraft instead of the scenario's: a name (bo105, uh1h, puma: aircraft/<name>.toml "
                   "beside this program) or a path to an aircraft file (default: the scenario's, else bo105)");
    app.add_option("-t,--trace", tracePath, "Write a CSV trace of every frame to this file ('-': standard output)");
    app.add_flag("-q,--quiet", quiet, "Print no summary; only the exit status tells");
    app.add_flag("--timing", timing, "Print the host frames flown per second of wall-clock time");
    app.add_flag("--check", checkOnly, "Only read the scenarios and report errors in them");
    app.add_option("--duration", duration, "Fly this many seconds instead of the scenario's duration")
        ->check(CLI::PositiveNumber);
    // Pictures of the run: only where the panel renderer is built (natively,
    // with cairo).
    host::RunOptions pictureOptions;
#ifdef HOVERSIM_PICTURES
    app.add_option("--panel-at", pictureOptions.panelTimes,
                   "Write the panel as drawn at these host times, s (comma-separated; a time past the end: the last frame)")
        ->delimiter(',');
    app.add_option("--panel-every", pictureOptions.panelEvery, "Write the panel every this many seconds, from 0")
        ->check(CLI::PositiveNumber);
    app.add_option("--panel-prefix", pictureOptions.panelPrefix,
                   "Panel pictures are <prefix><time>s.png, e.g. panel_0060.0s.png (default: panel_)");
    app.add_option("--panel-scale", pictureOptions.panelScale, "Draw the panel this many times its size (default 1)")
        ->check(CLI::Range(0.25, 8.0));
    app.add_option("--bitmaps", pictureOptions.bitmapDirectory,
                   "The module's bitmaps (default: bitmaps/ beside the module, else the build tree's)");
    app.add_option("--plot", pictureOptions.plotPath,
                   "Write a plot of the run (height, speeds, commands, flags against time, phases) to this PNG");
#endif
    CLI11_PARSE(app, argc, argv);

    if (!tracePath.empty() && scenarioFiles.size() > 1) {
        std::cerr << "hoversim: --trace takes one scenario\n";
        return kCannotRun;
    }
    const bool pictures = !pictureOptions.panelTimes.empty() || pictureOptions.panelEvery > 0.0 ||
                          !pictureOptions.plotPath.empty();
    if (pictures && scenarioFiles.size() > 1) {
        std::cerr << "hoversim: panel pictures and plots take one scenario\n";
        return kCannotRun;
    }
    int status = kAllHeld;
    bool anyFlown = false;
    for (const std::string& file : scenarioFiles) {
        std::string error;
        std::optional<host::Scenario> scenario = host::loadScenario(file, error);
        if (!scenario) {
            std::cerr << "hoversim: " << error << "\n";
            return kCannotRun;
        }
        if (!aircraftOverride.empty()) {
            scenario->aircraft = aircraftOverride;
            scenario->aircraftBase.clear();
        }
        if (checkOnly) {
            host::Aircraft aircraft;
            if (!aircraft.load(*scenario, error)) {
                std::cerr << "hoversim: " << file << ": " << error << "\n";
                return kCannotRun;
            }
            continue;
        }
        if (duration > 0.0) {
            scenario->duration = duration;
        }
        std::ofstream traceFile;
        host::RunOptions options = pictureOptions;
        options.modulePath = modulePath;
        if (tracePath == "-") {
            options.trace = &std::cout;
        } else if (!tracePath.empty()) {
            traceFile.open(tracePath, std::ios::binary);
            if (!traceFile) {
                std::cerr << "hoversim: cannot write " << tracePath << "\n";
                return kCannotRun;
            }
            options.trace = &traceFile;
        }
        const host::RunResult result = host::runScenario(*scenario, options);
        std::ostream& summary = tracePath == "-" ? std::cerr : std::cout;
        if (!quiet) {
            host::printSummary(summary, *scenario, result);
            if (scenarioFiles.size() > 1) summary << "\n";
        }
        if (timing) {
            printSpeed(result);
        }
        if (result.skipped) {
            continue;
        }
        if (!result.flown) {
            std::cerr << "hoversim: " << file << ": " << result.error << "\n";
            return kCannotRun;
        }
        anyFlown = true;
        if (!result.allHeld()) {
            status = kExpectationFailed;
        }
    }
    if (!checkOnly && !anyFlown) {
        return kSkipped;
    }
    return status;
}
