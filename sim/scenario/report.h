// SPDX-License-Identifier: MIT
//
// The summary a run prints: per phase how well the hover was held, the
// ADS-33 hover grades, each expectation and what the host noticed.
#ifndef HOVER_SIM_SCENARIO_REPORT_H
#define HOVER_SIM_SCENARIO_REPORT_H

#include <ostream>

#include "sim/scenario/runner.h"

namespace host {

void printSummary(std::ostream& out, const Scenario& scenario, const RunResult& result);

// ADS-33 hover grades for the summary: 0 desired, 1 adequate, 2 neither.
int gradeHeight(double maxFt);
int gradePosition(double maxFt);
int gradeHeading(double maxDeg);

}  // namespace host

#endif
