// SPDX-License-Identifier: MIT
//
// The options every tool about the hold on one aircraft takes (hoveranalysis,
// hovertune), worded and checked once: which aircraft, and how many frames
// the host's command is late.
#ifndef HOVER_SIM_ANALYSIS_HOLD_OPTIONS_H
#define HOVER_SIM_ANALYSIS_HOLD_OPTIONS_H

#include <CLI/CLI.hpp>
#include <string>

namespace analysis {

// `namesFrom` says where a bare name is looked up, e.g. "beside this program".
inline CLI::Option* addAircraftOption(CLI::App& app, std::string& aircraft, const std::string& namesFrom) {
    return app.add_option("-a,--aircraft", aircraft,
                          "The aircraft: a name (bo105, uh1h, puma: aircraft/<name>.toml " + namesFrom
                              + ") or the path of an aircraft file (default bo105)");
}

inline CLI::Option* addDelayOption(CLI::App& app, int& delayFrames) {
    return app
        .add_option("--delay-frames", delayFrames,
                    "Panel updates between a command and the control moving: 0, 1 or 2 (default 1)")
        ->check(CLI::Range(0, 2));
}

}  // namespace analysis

#endif
