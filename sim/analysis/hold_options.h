// SPDX-License-Identifier: MIT
//
// The options every tool about the hold on one aircraft takes (hoveranalysis,
// hovertune), worded and checked once: which aircraft, and how many frames
// the host's command is late, and the host's loop (visual frames, latency).
#ifndef HOVER_SIM_ANALYSIS_HOLD_OPTIONS_H
#define HOVER_SIM_ANALYSIS_HOLD_OPTIONS_H

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "sim/host/host_loop.h"

namespace analysis {

// `namesFrom` says where a bare name is looked up, e.g. "beside this program".
// Parses the command line the way every tool here answers it: --help
// printed to standard output (status 0), a bad option as one line on
// standard error naming the program (status 2). Nothing when the tool
// goes on.
inline std::optional<int> parseCommandLine(CLI::App& app, int argc, char** argv, const char* program) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        std::string message = e.what();
        for (char& c : message) {
            if (c == '\n') {
                c = ' ';
            }
        }
        std::fprintf(stderr, "%s: %s\n", program, message.c_str());
        return 2;
    }
    return std::nullopt;
}

inline CLI::Option* addAircraftOption(CLI::App& app, std::string& aircraft, const std::string& namesFrom) {
    return app.add_option("-a,--aircraft", aircraft,
                          "The aircraft: a name (bo105, uh1h, puma: aircraft/<name>.toml " + namesFrom
                              + ") or the path of an aircraft file (default bo105)");
}

// A plant file (hoverident's fit of a recorded flight) in place of an aircraft.
inline CLI::Option* addPlantOption(CLI::App& app, std::string& plant) {
    return app.add_option("--plant", plant,
                          "A plant file, the hover model identified from a recorded flight, in place of "
                          "--aircraft");
}

inline CLI::Option* addDelayOption(CLI::App& app, int& delayFrames) {
    return app
        .add_option("--delay-frames", delayFrames,
                    "Panel updates between a command and the control moving: 0, 1 or 2 (default 1)")
        ->check(CLI::Range(0, 2));
}

// The host's loop as a tool takes it; the panel rate is the tool's own
// option (--frame-rate).
struct LoopOptions {
    int visualRate = host::kDefaultVisualRate;
    double latencyS = 0.0;  // when --latency-s is given; one visual frame when not
    int delayFrames = 0;    // 0: the latency applies
    const CLI::Option* latencyOption = nullptr;
};

inline constexpr int kLowestVisualRate = 18;
inline constexpr int kHighestVisualRate = 60;

// --visual-rate, --latency-s and --delay-frames (0 by default: the latency
// applies; 1 or 2: the pessimistic whole-panel-frame case).
inline void addLoopOptions(CLI::App& app, LoopOptions& o) {
    app.add_option("--visual-rate", o.visualRate,
                   "Visual frames a second, the flight model's steps; the panel updates fall on some of them "
                   "(18..60, at least the panel rate; default 30)")
        ->check(CLI::Range(kLowestVisualRate, kHighestVisualRate));
    o.latencyOption = app.add_option("--latency-s", o.latencyS,
                   "Seconds from a panel update to its command moving the controls (0 .. 2 / panel rate, "
                   "0.111 at 18 updates a second; default one visual frame)");
    app.add_option("--delay-frames", o.delayFrames,
                   "Instead of the latency, the command moves the controls only at the 1st or 2nd panel "
                   "update after it: one or two whole panel frames, the pessimistic case (0..2; default 0: "
                   "the latency applies)")
        ->check(CLI::Range(0, 2));
}

// The loop the options describe at panelRate updates a second, or nothing
// and one line in `error` naming the option that is out of its range.
inline std::optional<host::HostLoop> loopFromOptions(const LoopOptions& o, int panelRate, std::string& error) {
    if (o.visualRate < panelRate) {
        error = "--visual-rate " + std::to_string(o.visualRate) + ": must be at least the panel rate ("
                + std::to_string(panelRate) + ")";
        return std::nullopt;
    }
    host::HostLoop loop;
    loop.panelRate = panelRate;
    loop.visualRate = o.visualRate;
    loop.delayUpdates = o.delayFrames;
    const bool given = o.latencyOption != nullptr && o.latencyOption->count() > 0;
    loop.latencyS = given ? o.latencyS : 1.0 / o.visualRate;
    const double highest = 2.0 / panelRate;
    if (!(loop.latencyS >= 0.0 && loop.latencyS <= highest)) {
        char text[160];
        std::snprintf(text, sizeof text, "--latency-s %g: not in 0 .. %.4f (2 / panel rate)", o.latencyS,
                      highest);
        error = text;
        return std::nullopt;
    }
    return loop;
}

}  // namespace analysis

#endif
