// SPDX-License-Identifier: MIT
//
// The fixed numbers of the hover law: the loop filters, the anti-windup
// threshold, the engagement threshold, the height rule, the ranges of the
// axes and the pitch guard. Declared once so that the loops, the output
// stage and anything that measures the law against the module compute with
// the same values. Outside the module, three users read this header: the
// benchmark's bare law; the simulator's linear analysis of the hold
// (sim/analysis), which takes the loop filters' weights and the height
// rule's gain; and the tuner (sim/tune), which takes the axes' ranges to
// find a flight's commands at their limits and report them. Sharing it is
// safe: it holds constexpr numbers only, no state and no code of the
// module, so including it links nothing of the module in.
#ifndef HOVER_CONTROL_LAW_CONSTANTS_H
#define HOVER_CONTROL_LAW_CONSTANTS_H

#include <cstdint>

// Each loop filters its error and the error's rate with a first-order lag
// per frame. The new-sample weights are written as 1 - smoothing evaluates
// in double, so the two weights add up to exactly what the law computes.
constexpr double kErrorSmoothing = 0.55;                 // weight of the previous filtered error
constexpr double kNewErrorWeight = 0.44999999999999996;  // 1 - 0.55 in double
constexpr double kRateSmoothing = 0.7;                   // weight of the previous error rate
constexpr double kNewRateWeight = 0.30000000000000004;   // 1 - 0.7 in double

// Anti-windup: a loop whose filtered error changes faster than this (its
// unit per second) drops (Forward, Right) or freezes (Turn) its integral.
constexpr double kRateThreshold = 0.5;

// The host's operating reading (token 755, the rotor speed in percent, about
// 100 in normal flight) must exceed this for the hold to stay engaged.
constexpr double kOperatingThreshold = 20.0;

// The height rule: the vertical loop's set point, m/s, is the height error
// in ft times the gain, limited to ± the limit so a large error climbs or
// descends at a steady rate.
constexpr double kHeightGain = 0.25;  // (m/s) per ft
constexpr double kUpSetLimit = 2.0;   // m/s

// The axes' ranges in host axis units: rudder, aileron and elevator share
// one; the collective has its own, which keeps it off both stops. The Up and
// Turn integrals are bounded so their term alone stays within them.
constexpr double kSurfaceLow = -6000.0;
constexpr double kSurfaceHigh = 6000.0;
constexpr double kThrottleLow = 5000.0;
constexpr double kThrottleHigh = 15000.0;

// The pitch guard: beyond this attitude (deg, positive nose down) the
// elevator is driven to the override (host axis units) against it, whatever
// the Forward loop asked.
constexpr double kPitchLimitDeg = 10.0;
constexpr int32_t kPitchOverride = 6000;

#endif
