// SPDX-License-Identifier: MIT
//
// Flies many scenarios at once, each in a process of its own.
//
// The module keeps its state in globals, and the Linux platform stand-ins
// it calls (windows, DirectInput) are one shared library with globals of
// their own, used by the host as well. Two flights in threads of one process
// would share both. A fresh process per flight loads the module exactly as
// hoversim does for one scenario: nothing of one flight can leak into the
// next, a flight that crashes takes only itself down, and the outcome of
// each flight is the same whichever worker flew it and whatever ran before,
// so a result never depends on how many run at once.
#ifndef HOVER_SIM_TUNE_FLIGHT_POOL_H
#define HOVER_SIM_TUNE_FLIGHT_POOL_H

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "sim/tune/flights.h"

namespace tune {

struct FlightJob {
    FlightCase flight;
    std::string parameters;
    std::string plotPath;  // a picture of the flight, when set
};

class FlightPool {
public:
    // At most `processes` flights at once; `modulePath` is the module loaded
    // by every flight.
    FlightPool(int processes, std::string modulePath, FlightConditions conditions);

    // Flies every job and returns the outcomes in the jobs' order. Stops
    // starting new flights once `stop` is set (the rest come back unflown).
    std::vector<FlightOutcome> fly(const std::vector<FlightJob>& jobs,
                                   const std::atomic<bool>* stop = nullptr) const;

    // Flies one job in this process (what each worker process runs).
    FlightOutcome flyHere(const FlightJob& job) const;

    const FlightConditions& conditions() const { return conditions_; }
    int processes() const { return processes_; }

    // Flights flown so far by this pool.
    long flights() const { return flights_; }

private:
    int processes_;
    std::string modulePath_;
    FlightConditions conditions_;
    mutable long flights_ = 0;
};

}  // namespace tune

#endif
