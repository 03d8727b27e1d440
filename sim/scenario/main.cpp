// SPDX-License-Identifier: MIT
//
// hoversim: flies a scenario with the hover gauge module in the loop and
// reports how well the helicopter was held.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "sim/scenario/aircraft.h"
#include "sim/scenario/report.h"
#include "sim/scenario/summary_json.h"
#include "sim/scenario/runner.h"
#include "sim/scenario/scenario.h"

namespace {

// Exit statuses.
constexpr int kAllHeld = 0;
constexpr int kExpectationFailed = 1;
constexpr int kCannotRun = 2;
constexpr int kNothingChecked = 3;
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
  RMS and maximum (kt), heading change and largest deviation (deg, counted
  through full turns: a spin shows as 720), largest distance from the point
  where the phase began (ft), time to capture (s from the phase start until
  the height stays within 2 ft) and the share of frames in which the hold
  drove the controls; then the ADS-33 hover grades of each phase with a
  target: its first 30 s from capture (the height first within 2 ft) and,
  over a longer hold, each bound's worst 30-s window; each expectation with
  [held] or [FAIL], for a measured value its worst and when, and when it
  first broke its limit; and notes: how far each engagement's first commands
  stepped the controls, and anything the host saw go wrong.
  --summary-json writes the same as JSON ({"runs": [...]}, one entry per
  scenario, units as above).
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
  0 every expectation held (--check: every scenario is valid); 1 an
  expectation failed; 2 nothing was flown: a bad option or value, a scenario
  that cannot be read or is refused, an output that cannot be written, or a
  module that cannot be loaded (one line on standard error says which);
  3 flown, but nothing was checked: no scenario flown has an expectation;
  77 the scenario moves the stick and this build cannot (the Windows build,
  whose DirectInput is the machine's own).

)";

std::string numberText(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return buffer;
}

std::string count(size_t n, const char* thing) {
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

void printSpeed(const host::RunResult& result) {
    if (result.wallSeconds > 0.0) {
        std::printf("speed: %.0f host frames per second (%lld frames in %.3f s)\n",
                    static_cast<double>(result.frames) / result.wallSeconds,
                    static_cast<long long>(result.frames), result.wallSeconds);
    }
}

// A value for a time option: a finite number within `range`. CLI11's own
// range checks let NaN through (every comparison with it is false).
CLI::Validator finiteWithin(const host::Range& range, bool positive) {
    const std::string shown = positive ? "(0.." + numberText(range.highest) + "]"
                                       : numberText(range.lowest) + ".." + numberText(range.highest);
    return CLI::Validator(
        [range, positive, shown](std::string& input) -> std::string {
            const char* begin = input.c_str();
            char* end = nullptr;
            const double value = std::strtod(begin, &end);
            if (end == begin || *end != '\0') {
                return "'" + input + "' is not a number";
            }
            if (!std::isfinite(value) || !range.holds(value) || (positive && value <= 0.0)) {
                return input + " is outside " + shown;
            }
            return {};
        },
        shown);
}

// Whether a file can be written at `path`, found out before the run rather
// than after it: the file is opened for appending (which changes nothing)
// and removed again if it did not exist.
bool canWrite(const std::string& path) {
    std::error_code code;
    const bool existed = std::filesystem::exists(path, code);
    if (existed && std::filesystem::is_directory(path, code)) {
        return false;
    }
    {
        std::ofstream probe(path, std::ios::binary | std::ios::app);
        if (!probe) {
            return false;
        }
    }
    if (!existed) {
        std::filesystem::remove(path, code);
    }
    return true;
}

// The moments a panel picture is asked for must lie within the run.
std::string checkPictureTimes(const host::RunOptions& options, double duration) {
    for (double t : options.panelTimes) {
        if (t > duration) {
            return "--panel-at " + numberText(t) + " lies past the end of the run (" + numberText(duration)
                   + " s)";
        }
    }
    if (options.panelEvery > duration) {
        return "--panel-every " + numberText(options.panelEvery) + " is longer than the run ("
               + numberText(duration) + " s)";
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Plain line ends on the console, as in the files: the C runtime's text
    // mode would turn every \n into \r\n.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    CLI::App app{kDescription, "hoversim"};
    app.footer(std::string(kFooter) + host::scenarioFormatHelp());
    app.get_formatter()->column_width(30);
    // Scenario paths may start with '/', also in the Windows build.
    app.allow_windows_style_options(false);
    // The product's version, the one hover.gau carries in its file properties.
    app.set_version_flag("--version", std::string("hoversim ") + HOVER_VERSION);

    std::vector<std::string> scenarioFiles;
    std::string modulePath;
    std::string tracePath;
    std::string summaryJsonPath;
    std::string aircraftOverride;
    bool quiet = false;
    bool timing = false;
    bool checkOnly = false;
    std::optional<double> duration;
    std::optional<int> delayFrames;
    std::optional<int> visualRate;
    std::optional<double> latencyS;
    std::optional<std::string> parametersOverride;
    std::optional<double> frameJitter;
    std::optional<uint64_t> jitterSeed;
    app.add_option("scenario", scenarioFiles, "Scenario files (TOML) to fly, one after the other")
        ->required();
    app.add_option("-m,--module", modulePath,
                   "The gauge module to load (default: hover.so / hover.gau beside this program)");
    CLI::Option* aircraftOption = app.add_option(
        "-a,--aircraft", aircraftOverride,
        "Fly this aircraft instead of the scenario's: a name (bo105, uh1h, puma: aircraft/<name>.toml "
        "beside this program) or a path to an aircraft file (default: the scenario's, else bo105)");
    std::string plantOverride;
    app.add_option("--plant", plantOverride,
                   "Fly this plant file (a hover model identified from a recorded flight) as a linear "
                   "aircraft instead of the scenario's aircraft")
        ->excludes(aircraftOption);
    app.add_option(
           "--visual-rate", visualRate,
           "Visual frames a second, whole, 18..60 and at least the panel's rate: the flight model steps "
           "once a frame and the panel is updated on some of them (default: the scenario's, else 30)")
        ->check(CLI::Range(18, 60));
    app.add_option(
           "--latency-s", latencyS,
           "Seconds from a panel update until its axis events move the controls, 0..2 panel frames "
           "(2 / the panel's rate) (default: the scenario's, else one visual frame); sets --delay-frames 0")
        ->check(CLI::Range(0.0, host::kLatencyPanelFrames / host::kFrameRateRange.lowest));
    app.add_option(
           "--delay-frames", delayFrames,
           "0, or 1 or 2: the controls move only at that later panel update, one or two whole panel "
           "frames, the pessimistic bound (default: the scenario's, else 0: the latency applies)")
        ->check(CLI::Range(0, 2));
    app.add_option("--parameters", parametersOverride,
                   "Fly this parameter string instead of the scenario's (\"\" for none)");
    app.add_option(
           "--frame-jitter", frameJitter,
           "Vary each visual frame's length by a uniform amount within +-this many seconds, below half a "
           "visual frame (default: the scenario's, else 0)")
        ->check(CLI::Range(0.0, host::kJitterFrameShare / host::kVisualRateRange.lowest));
    app.add_option("--jitter-seed", jitterSeed,
                   "Seed of the frame-length variation (default: the scenario's, else 1)");
    app.add_option("-t,--trace", tracePath,
                   "Write a CSV trace of every frame to this file ('-': standard output)");
    app.add_option("--summary-json", summaryJsonPath,
                   "Write the summary (phases, grades, expectations with their worst values, notes) as JSON "
                   "to this file ('-': standard output), every scenario given");
    app.add_flag("-q,--quiet", quiet, "Print no summary; only the exit status tells");
    app.add_flag("--timing", timing, "Print the host frames flown per second of wall-clock time");
    app.add_flag("--check", checkOnly, "Only read the scenarios: say whether each is valid, fly none");
    app.add_option("--duration", duration, "Fly this many seconds instead of the scenario's duration")
        ->check(finiteWithin(host::kDurationRange, false));
    // Pictures of the run: drawn only where the panel renderer is built
    // (natively, with cairo). The options exist in every build, so a build
    // without pictures can say so instead of not knowing them.
    host::RunOptions pictureOptions;
    std::vector<CLI::Option*> pictureOptionList;
    const auto picture = [&pictureOptionList](CLI::Option* option) {
        option->group("Pictures (the native Linux build only)");
        pictureOptionList.push_back(option);
    };
    picture(
        app.add_option("--panel-at", pictureOptions.panelTimes,
                       "Write the panel as drawn at these host times, s (comma-separated; within the run)")
            ->delimiter(',')
            ->check(finiteWithin(host::kTimeRange, false)));
    picture(app.add_option("--panel-every", pictureOptions.panelEvery,
                           "Write the panel every this many seconds, from 0 (at most the run's length)")
                ->check(finiteWithin(host::kTimeRange, true)));
    picture(
        app.add_option("--panel-prefix", pictureOptions.panelPrefix,
                       "Panel pictures are <prefix><time>s.png, e.g. panel_0060.0s.png (default: panel_)"));
    picture(app.add_option("--panel-scale", pictureOptions.panelScale,
                           "Draw the panel this many times its size (default 1)")
                ->check(finiteWithin(host::Range{0.25, 8.0}, false)));
    picture(
        app.add_option("--bitmaps", pictureOptions.bitmapDirectory,
                       "The module's bitmaps (default: bitmaps/ beside the module)"));
    picture(app.add_option("--plot", pictureOptions.plotPath,
                           "Write a plot of the run (height, speeds, heading and attitude, ground track, "
                           "commands, flags; phases shaded) to this PNG"));
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            return app.exit(e);  // --help, --version
        }
        std::string message = e.what();
        std::replace(message.begin(), message.end(), '\n', ' ');
        std::cerr << "hoversim: " << message << " (hoversim --help describes the options)\n";
        return kCannotRun;
    }

#ifndef HOVERSIM_PICTURES
    for (const CLI::Option* option : pictureOptionList) {
        if (option->count() > 0) {
            std::cerr << "hoversim: this build draws no pictures (" << option->get_name()
                      << "); the native Linux build does\n";
            return kCannotRun;
        }
    }
#endif
    if (tracePath == "-" && summaryJsonPath == "-") {
        std::cerr << "hoversim: --trace and --summary-json cannot both go to standard output\n";
        return kCannotRun;
    }
    if (!tracePath.empty() && scenarioFiles.size() > 1) {
        std::cerr << "hoversim: --trace takes one scenario\n";
        return kCannotRun;
    }
    const bool pictures = !pictureOptions.panelTimes.empty() || pictureOptions.panelEvery > 0.0
                          || !pictureOptions.plotPath.empty();
    if (pictures && scenarioFiles.size() > 1) {
        std::cerr << "hoversim: panel pictures and plots take one scenario\n";
        return kCannotRun;
    }
    // Every output is checked before anything is flown, in every mode: a
    // long run must not end in "cannot write".
    const std::pair<std::string, std::string> outputs[] = {
        {"--trace", tracePath == "-" ? std::string() : tracePath},
        {"--summary-json", summaryJsonPath == "-" ? std::string() : summaryJsonPath},
        {"--plot", pictureOptions.plotPath},
        {"--panel-prefix", pictures && (!pictureOptions.panelTimes.empty() || pictureOptions.panelEvery > 0.0)
                               ? pictureOptions.panelPrefix + "0000.0s.png"
                               : std::string()},
    };
    if (!pictureOptions.bitmapDirectory.empty()
        && !std::filesystem::is_directory(pictureOptions.bitmapDirectory)) {
        std::cerr << "hoversim: --bitmaps: no folder " << pictureOptions.bitmapDirectory << "\n";
        return kCannotRun;
    }
    for (const auto& [option, path] : outputs) {
        if (!path.empty() && !canWrite(path)) {
            std::cerr << "hoversim: " << option << ": cannot write " << path << "\n";
            return kCannotRun;
        }
    }

    int status = kAllHeld;
    bool anyFlown = false;
    bool anyUnchecked = false;
    host::SummaryJson summaryJson;
    for (const std::string& file : scenarioFiles) {
        std::string error;
        std::optional<host::Scenario> scenario = host::loadScenario(file, error);
        if (!scenario) {
            std::cerr << "hoversim: " << error << "\n";
            return kCannotRun;
        }
        if (!aircraftOverride.empty()) {
            scenario->aircraft = aircraftOverride;
            scenario->plant.clear();
            scenario->aircraftBase.clear();
        }
        if (!plantOverride.empty()) {
            scenario->plant = plantOverride;
            scenario->aircraftBase.clear();
        }
        if (duration) {
            scenario->duration = *duration;
        }
        scenario->visualFrameRate = visualRate.value_or(scenario->visualFrameRate);
        if (latencyS) {
            scenario->commandLatencyS = *latencyS;
            scenario->commandDelayFrames = 0;
        }
        if (delayFrames) {
            scenario->commandDelayFrames = *delayFrames;
            if (*delayFrames > 0) {
                scenario->commandLatencyS.reset();
            }
        }
        scenario->parameters = parametersOverride.value_or(scenario->parameters);
        scenario->frameJitterS = frameJitter.value_or(scenario->frameJitterS);
        scenario->frameJitterSeed = jitterSeed.value_or(scenario->frameJitterSeed);
        if (latencyS && delayFrames && *delayFrames > 0) {
            std::cerr << "hoversim: --latency-s and --delay-frames both set the command's latency: give one\n";
            return kCannotRun;
        }
        if (scenario->visualFrameRate < scenario->frameRate) {
            std::cerr << "hoversim: " << file << ": --visual-rate must be at least the panel's rate ("
                      << scenario->frameRate << ")\n";
            return kCannotRun;
        }
        if (scenario->commandLatencyS && !(*scenario->commandLatencyS <= host::kLatencyPanelFrames / scenario->frameRate)) {
            std::cerr << "hoversim: " << file << ": --latency-s must stay within two panel frames ("
                      << host::kLatencyPanelFrames / scenario->frameRate << " s)\n";
            return kCannotRun;
        }
        if (!(scenario->frameJitterS <= host::kJitterFrameShare / scenario->visualFrameRate)) {
            std::cerr << "hoversim: " << file << ": --frame-jitter must stay below half a visual frame\n";
            return kCannotRun;
        }
        if (const std::string problem = checkPictureTimes(pictureOptions, scenario->duration);
            !problem.empty()) {
            std::cerr << "hoversim: " << problem << "\n";
            return kCannotRun;
        }
        if (checkOnly) {
            host::Aircraft aircraft;
            if (!aircraft.load(*scenario, error)) {
                std::cerr << "hoversim: " << file << ": " << error << "\n";
                return kCannotRun;
            }
            if (!quiet) {
                std::cout << file << ": valid (" << count(scenario->events.size(), "event") << ", "
                          << count(scenario->expectations.size(), "expectation") << ", "
                          << count(scenario->phases.size(), "phase") << ", " << numberText(scenario->duration)
                          << " s";
                if (scenario->outcome == host::Outcome::kFails) {
                    std::cout << "; declared to fail " << count(scenario->failing.size(), "expectation");
                }
                std::cout << ")\n";
            }
            continue;
        }
        std::ofstream traceFile;
        host::RunOptions options = pictureOptions;
        options.modulePath = modulePath;
        if (tracePath == "-") {
            options.trace = &std::cout;
        } else if (!tracePath.empty()) {
            traceFile.open(tracePath, std::ios::binary);
            if (!traceFile) {
                std::cerr << "hoversim: --trace: cannot write " << tracePath << "\n";
                return kCannotRun;
            }
            options.trace = &traceFile;
        }
        const host::RunResult result = host::runScenario(*scenario, options);
        // A trace cut short (a full disk, a closed pipe) is lost data: the run
        // is not reported as if it had been written.
        if (options.trace != nullptr && !options.trace->flush()) {
            std::cerr << "hoversim: --trace: cannot write "
                      << (tracePath == "-" ? "standard output" : tracePath) << "\n";
            return kCannotRun;
        }
        std::ostream& summary = tracePath == "-" || summaryJsonPath == "-" ? std::cerr : std::cout;
        summaryJson.add(file, *scenario, result);
        // A run that could not start says why in one line on standard
        // error, below; it has no summary.
        if (!quiet && (result.flown || result.skipped)) {
            host::printSummary(summary, *scenario, result);
            if (scenarioFiles.size() > 1)
                summary << "\n";
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
        } else if (result.expectations.empty()) {
            anyUnchecked = true;
        }
    }
    if (checkOnly) {
        return kAllHeld;
    }
    if (summaryJsonPath == "-") {
        summaryJson.write(std::cout);
    } else if (!summaryJsonPath.empty()) {
        std::ofstream json(summaryJsonPath, std::ios::binary);
        summaryJson.write(json);
        if (!json.flush()) {
            std::cerr << "hoversim: --summary-json: cannot write " << summaryJsonPath << "\n";
            return kCannotRun;
        }
    }
    if (!anyFlown) {
        return kSkipped;
    }
    return status == kAllHeld && anyUnchecked ? kNothingChecked : status;
}
