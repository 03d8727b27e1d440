// SPDX-License-Identifier: MIT
//
// The CSV trace: one row per host frame, as hoversim --help describes it.
#ifndef HOVER_SIM_HOST_TRACE_H
#define HOVER_SIM_HOST_TRACE_H

#include <ostream>

#include "sim/host/frame.h"

namespace host {

void writeTraceHeader(std::ostream& out);
void writeTraceRow(std::ostream& out, const Frame& f);

}  // namespace host

#endif
