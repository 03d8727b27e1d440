// SPDX-License-Identifier: MIT
//
// The CSV trace: one row per host frame, as hoversim --help describes it.
#ifndef HOVER_SIM_SCENARIO_TRACE_H
#define HOVER_SIM_SCENARIO_TRACE_H

#include <ostream>

#include "sim/scenario/frame.h"

namespace host {

void writeTraceHeader(std::ostream& out);
void writeTraceRow(std::ostream& out, const Frame& f);

}  // namespace host

#endif
