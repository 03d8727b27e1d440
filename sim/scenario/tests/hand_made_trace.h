// SPDX-License-Identifier: MIT
//
// Hand-made traces and expectations for the tests of the judges and the
// reports: a steady engaged hover that each test shapes into the case it
// needs, so a test states only what differs.
#ifndef HOVER_SIM_SCENARIO_TESTS_HAND_MADE_TRACE_H
#define HOVER_SIM_SCENARIO_TESTS_HAND_MADE_TRACE_H

#include <functional>

#include "sim/scenario/judges.h"
#include "sim/scenario/scenario.h"

namespace hosttest {

// `count` frames one second apart from t = 0, hovering at 100 ft with the
// panel's target at 100 ft, heading 0, engaged, each then shaped by `shape`.
inline host::Trace trace(
    int count, const std::function<void(host::Frame&)>& shape = [](host::Frame&) {}) {
    host::Trace frames;
    for (int k = 0; k < count; ++k) {
        host::Frame f;
        f.index = k;
        f.hostTime = k;
        f.heightFt = 100.0;
        f.commanding = true;
        f.panel.targetHeightFt = 100.0;
        shape(f);
        frames.push_back(f);
    }
    return frames;
}

// An expectation of `check` against `limit` over the window [from, to].
inline host::Expectation expect(host::Check check, double limit = 0.0, double from = 0.0,
                                double to = host::kEndOfRun) {
    host::Expectation e;
    e.check = check;
    e.limit = limit;
    e.from = from;
    e.to = to;
    e.text = "expectation";
    return e;
}

}  // namespace hosttest

#endif
