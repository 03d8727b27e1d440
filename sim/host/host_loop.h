// SPDX-License-Identifier: MIT
//
// The host's frame loop, as the simulator runs it. The flight model steps
// once per visual frame (the rate the pilot sees, 18 to 60 a second); the
// panel, and with it the module's pre-update service, is updated about 18
// times a second on some of those frames; an axis event sent in a panel
// update moves its control when the host next works through its event
// queue, which the flight model feels at its next step.
//
// The panel's clock ticks every 1 / panelRate seconds and the update falls
// on the first visual frame at or after each tick, so the time between two
// updates is a whole number of visual frames and varies from one update to
// the next when the visual rate is not a multiple of the panel's (at 30
// visual frames a second: 2, 2, 1, 2, 2, 1, ... frames, 67 or 33 ms).
//
// The runner (sim/scenario), the linear analysis (sim/analysis) and the
// tuner share this one description of the loop.
#ifndef HOVER_SIM_HOST_HOST_LOOP_H
#define HOVER_SIM_HOST_HOST_LOOP_H

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace host {

inline constexpr int kDefaultPanelRate = 18;   // panel updates a second
inline constexpr int kDefaultVisualRate = 30;  // visual frames a second

struct HostLoop {
    int panelRate = kDefaultPanelRate;    // panel updates a second
    int visualRate = kDefaultVisualRate;  // flight model steps a second, at least panelRate
    // From a panel update until its axis events move the controls, s. The
    // host's own loop: one visual frame (the next frame's physics step).
    double latencyS = 1.0 / kDefaultVisualRate;
    // The pessimistic bound instead of latencyS: 1 or 2 makes the controls
    // move only at that many panel updates later (one or two whole panel
    // frames, whatever the visual frames between them).
    int delayUpdates = 0;

    double visualFrameS() const { return 1.0 / visualRate; }
};

// Whether visual frame j (0: the first) carries a panel update.
constexpr bool panelUpdateOn(int64_t j, int panelRate, int visualRate) {
    if (j <= 0) {
        return j == 0;
    }
    return (j * panelRate) / visualRate > ((j - 1) * panelRate) / visualRate;
}

// The visual frame that carries panel update k (0: the first): the first
// frame at or after the panel clock's k-th tick.
constexpr int64_t visualFrameOfUpdate(int64_t k, int panelRate, int visualRate) {
    return (k * visualRate + panelRate - 1) / panelRate;
}

// The loop in words, for reports: "18 panel updates a second on 30 visual
// frames, controls moving 33.3 ms after the update (one visual frame)".
inline std::string loopText(const HostLoop& loop) {
    char text[200];
    if (loop.delayUpdates > 0) {
        std::snprintf(text, sizeof text,
                      "%d panel updates a second on %d visual frames, controls moving %d whole panel "
                      "frame%s after the update",
                      loop.panelRate, loop.visualRate, loop.delayUpdates, loop.delayUpdates == 1 ? "" : "s");
    } else {
        const double frames = loop.latencyS * loop.visualRate;
        const bool oneFrame = std::fabs(frames - 1.0) < 1e-9;
        std::snprintf(text, sizeof text,
                      "%d panel updates a second on %d visual frames, controls moving %.1f ms after the "
                      "update%s",
                      loop.panelRate, loop.visualRate, loop.latencyS * 1000.0,
                      oneFrame ? " (one visual frame)" : "");
    }
    return text;
}

}  // namespace host

#endif
