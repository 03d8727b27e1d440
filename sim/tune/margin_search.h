// SPDX-License-Identifier: MIT
//
// Before anything is flown: where in the box of factors the four loops keep
// their margins. A point drawn at random from the box almost never does, so
// a flown search that began anywhere else would spend its budget looking for
// the region. This search asks only the linear analysis (milliseconds a
// point, no flight).
//
// Where no set of factors meets the required margins on an aircraft at the
// rate and delay asked for, it says which loop cannot and by how much: it
// pushes each short loop's own three factors as far as they go (the other
// loops held where they are) and records the best the loop reached and the
// margin that limits it. The flown search is then held to a share of what
// each loop reached instead, and the report says so.
#ifndef HOVER_SIM_TUNE_MARGIN_SEARCH_H
#define HOVER_SIM_TUNE_MARGIN_SEARCH_H

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/tune/factors.h"
#include "sim/tune/flights.h"
#include "sim/tune/hold_margins.h"

namespace tune {

// Where the required margins are out of reach, each loop is held to this
// share of the margins it reached: at the very best a loop can do, only one
// string is left for the flights to choose.
constexpr double kReachedShare = 0.9;
// Linear analyses allowed for each part of the search.
constexpr int kMarginSearchCalls = 400;  // all twelve factors, per start point
constexpr int kLoopReachCalls = 150;     // one loop's three factors

struct MarginSearchBudget {
    int allFactors = kMarginSearchCalls;
    int oneLoop = kLoopReachCalls;
};

// How close one loop came to the required margins.
struct LoopReach {
    bool meetsRequired = false;  // reached both bounds with the closed loop stable
    double ratio = 0.0;          // the best min(gain margin, phase margin), each over its bound
    double gainMarginDb = 0.0;   // the margins at that point
    double phaseMarginDeg = 0.0;
    const char* limitedBy = "";  // "gain margin" or "phase margin" when short
};

struct MarginSearch {
    bool feasible = false;             // a set of factors meets every required bound
    Factors start = kDefaultFactors;   // where the flown search starts
    MarginBounds bounds;               // what the flown search holds the margins to
    double requiredShortfall = 0.0;    // of `start`, against the required bounds
    std::array<LoopReach, 4> reach{};  // per loop, Turn, Right, Forward, Up
    int analyses = 0;
    double seconds = 0.0;
};

// The margins of a set of factors; the tuner passes the linear analysis, a
// test a function with a known answer.
using MarginFunction = std::function<MarginReport(const Factors&)>;

// What a search that fell short found, one line per loop that cannot reach
// the required margins, e.g. "Forward: best found 7.1 dB and 30.62 deg, short
// in phase margin; held to 6.0 dB and 27.5 deg". Empty when feasible.
std::vector<std::string> shortLoops(const MarginSearch& search);

MarginSearch searchMargins(const MarginFunction& margins, const Factors& start, const FactorBounds& box,
                           const MarginBounds& required = MarginBounds{},
                           const std::atomic<bool>* stop = nullptr,
                           const MarginSearchBudget& budget = MarginSearchBudget{});

}  // namespace tune

#endif
