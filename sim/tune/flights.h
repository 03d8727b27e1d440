// SPDX-License-Identifier: MIT
//
// The sets of flights a parameter string is judged on, and how one flight
// is scored. Each flight is a host scenario flown with the real module;
// what pilots do with the hold is covered, not only holds: engagements from
// a drift and from a height offset, holds in each level of turbulence over
// seeds and wind directions, commanded drifts and turns by clicks on the
// face, and height changes with the buttons.
//
// What is not known is sampled across the flights: the aircraft's least
// known figures scaled within the aircraft file's [uncertainty] bounds, the
// host's command latency and visual frame rate, the wind's strength and
// direction. The training set decides the score; the validation set, with
// other seeds, winds, plants and latencies, is flown only once at the end.
#ifndef HOVER_SIM_TUNE_FLIGHTS_H
#define HOVER_SIM_TUNE_FLIGHTS_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "control/law_constants.h"
#include "sim/flight/parameters.h"
#include "sim/host/host_loop.h"
#include "sim/scenario/scenario.h"

namespace tune {

enum class Turbulence { kNone, kLight, kModerate, kSevere };

// Dryden intensity of each level, as the scenarios name them (W20, kt).
double turbulenceW20Kt(Turbulence level);
const char* turbulenceName(Turbulence level);

// What the sets are flown in, and what they sample.
struct FlightConditions {
    std::string aircraft = host::kDefaultAircraft;  // aircraft name (bo105, uh1h, puma) or file
    // A plant file flown and analysed in place of the aircraft (its
    // absolute path once hostCanFly has found it); empty: the aircraft.
    std::string plant;
    // The plant's fitted latency, s (set by hostCanFly), and whether the
    // latency set had to be extended to include it.
    std::optional<double> plantDelayS;
    bool latencySetExtended = false;
    int frameRate = 18;                             // host panel updates per second
    double windKt = 20.0;                         // the strongest mean wind of the set
    Turbulence roughest = Turbulence::kModerate;  // holds are flown in every level up to this
    int seeds = 2;          // repetitions of the set, each with its own seeds, winds and plants
    double driftKt = 10.0;  // the drift the hold is engaged from
    // How far the aircraft's least known figures may be from its file's:
    // the file's [uncertainty] table (hostCanFly reads it), unless this is set.
    std::optional<flight::Uncertainty> spreadOverride;
    flight::Uncertainty uncertainty;
    // Command latencies, in panel frames from the panel update to the
    // control moving, at which every loop must keep its robust margin ...
    std::vector<double> latencyFrames = {0.0, 1.0 / 3.0, 2.0 / 3.0, 1.0};
    // ... and whole panel frames of delay at which it must still be stable.
    int stabilityDelayFrames = 2;
    std::vector<int> visualRates = {20, 30, 60};  // visual frames a second
};

// The aircraft as it may be: factors on its least known figures. The
// training set's are the aircraft as given and half the corners of the box
// the uncertainty spans (a two-level fractional design: each factor high
// and low equally often, and each pair of factors in all four
// combinations); the validation set's are the other half of the corners and
// points inside the box.
std::vector<flight::ParameterScale> plantSamples(const flight::Uncertainty& uncertainty, bool validation);

// The host loops the robust margins are required at: the latencies of the
// conditions (training) or between them (validation), at the panel rate.
std::vector<host::HostLoop> loopSamples(const FlightConditions& conditions, bool validation);

// The whole panel frames of delay a host loop is analysed with while the
// linear analysis knows only whole frames: none for no latency, else the
// latency rounded up (the pessimistic side). Flights fly the latency itself.
int wholeDelayFrames(const host::HostLoop& loop);

// One line describing a plant sample, e.g. "inertia 1.2, control power 0.8, ...".
std::string describeScale(const flight::ParameterScale& scale);

enum class FlightKind {
    kHold,           // engaged in a hover, held in wind and turbulence (in calm air, a gust)
    kCaptureDrift,   // engaged while drifting at 4 kt
    kCaptureOffset,  // engaged 25 ft away from the target height
    kDrift,          // a 1 m/s drift commanded by four clicks
    kTurn,           // a 1 deg/s turn commanded by four clicks
    kHeightChange,   // target height moved 20 ft with a held button
};
const char* kindName(FlightKind kind);

struct FlightCase {
    FlightKind kind = FlightKind::kHold;
    Turbulence turbulence = Turbulence::kNone;
    int seed = 0;  // index within its kind, 0 .. seeds-1
    double windFromDeg = 0.0;
    double windKt = 0.0;
    double driftKt = 4.0;            // the drift an engagement from a drift starts in
    flight::ParameterScale scale;    // the aircraft as it may be
    host::HostLoop loop;             // the host's loop it is flown at
    bool validation = false;         // one of the set the search never sees
    std::string name;  // e.g. "hold light #2"

    // Judged against ADS-33 adequate bounds instead of desired (rough air).
    bool adequateBounds() const { return turbulence >= Turbulence::kModerate; }
    // The scoring window, host seconds.
    double windowFrom = 0.0;
    double windowTo = 0.0;
    double duration = 0.0;
};

// The training set and the validation set, each in a fixed order.
std::vector<FlightCase> monteCarloSet(const FlightConditions& conditions);
std::vector<FlightCase> validationSet(const FlightConditions& conditions);

// Whether this host can fly the conditions at all: the aircraft file found
// and read. Sets conditions.aircraft to the file's path and `name` to what
// the file calls the aircraft; if not, says why in one line.
bool hostCanFly(FlightConditions& conditions, std::string& name, std::string& problem);
// What the host flies differently from what the conditions ask (one line each).

// The scenario that flies one case with a parameter string. Fails, with a
// reason, when the host cannot fly what the conditions ask for.
host::Scenario scenarioFor(const FlightCase& flight, const FlightConditions& conditions,
                           const std::string& parameters);

// What one flight showed, in the scoring window. Plain numbers only: it
// travels between processes as bytes.
struct FlightOutcome {
    bool flown = false;            // false: the host could not fly it (the rest is then meaningless)
    bool trimmed = true;           // false: the flight model found no trim for the start
    double heightErrorFt = 0.0;    // largest |height - target|
    double positionErrorFt = 0.0;  // largest distance from the window's first point
    double headingErrorDeg = 0.0;  // largest heading deviation from the window's first
    double followError = 0.0;      // RMS set-point error in clicks (0.25 m/s or deg/s); 0 without a set point
    double limitFraction = 0.0;    // share of engaged frames with an axis at its command limit
    // Per axis (pedals, lateral cyclic, fore-aft cyclic, collective): the
    // share of engaged frames at the command limit, and the control where
    // the flight started (the aircraft's trim there), host axis units.
    std::array<double, 4> axisLimitFraction{};
    std::array<double, 4> startControl{};
    double engagedFraction = 0.0;  // share of window frames in which the hold drove the axes
    // How the anti-windup rules the linear analysis leaves out acted over
    // the whole flight's engaged updates: the shares in which the Forward and
    // Right integrals were zeroed and the Turn integral held, and the steps
    // the resets gave the cyclic (axis counts; the median of the loop with
    // more resets).
    int64_t engagedUpdates = 0;
    double forwardResetShare = 0.0;
    double rightResetShare = 0.0;
    double turnFrozenShare = 0.0;
    double largestResetStep = 0.0;
    double medianResetStep = 0.0;
    double worst = 0.0;            // largest normalised error (1: at the bound the case is judged by)
    double score = 0.0;            // worst, compressed above 1, plus the axis-limit penalty
    uint64_t traceHash = 0;        // FNV-1a of the whole trace: equal flights, equal hashes
};

// FNV-1a, 64 bits.
uint64_t hashText(const std::string& text);

// Scores a flight from its CSV trace (the host's --trace format).
FlightOutcome scoreTrace(const FlightCase& flight, const std::string& trace);

// The module's command limits on each axis (host axis units), in the order
// of FlightOutcome's per-axis figures.
constexpr std::array<const char*, 4> kAxisNames = {"pedals", "lateral cyclic", "fore-aft cyclic",
                                                   "collective"};
constexpr std::array<double, 4> kAxisLow = {kSurfaceLow, kSurfaceLow, kSurfaceLow, kThrottleLow};
constexpr std::array<double, 4> kAxisHigh = {kSurfaceHigh, kSurfaceHigh, kSurfaceHigh, kThrottleHigh};

// Normalised errors are capped here: a flight this far off has diverged.
constexpr double kWorstCap = 1000.0;
// Above 1 a flight's score grows with the logarithm of its error, so that a
// search among strings that all miss the bounds still sees which misses
// less (a limit cycle 100 times the bound against one 10 times).
double compressedError(double worst);
// The score given to a flight the host could not fly or that broke off.
const double kUnflownScore = compressedError(kWorstCap);
// Weight of the share of time an axis sits at its limit.
constexpr double kLimitPenalty = 0.5;
// Weight of the mean flight score next to the 90th percentile: it breaks
// ties between strings whose percentile flight is the same.
constexpr double kMeanWeight = 0.1;

// The set's score: the 90th percentile of the flights' scores (nearest
// rank), plus kMeanWeight times their mean.
double setScore(const std::vector<FlightOutcome>& outcomes);
// What the tuner minimises: the worst flight's score plus kMeanWeight
// times the mean. A string with one flight far beyond its bound cannot win
// however well the others go.
double worstScore(const std::vector<FlightOutcome>& outcomes);
// Whether a set was held: every flight flown and within `within` times the
// bounds it is judged by.
bool setHolds(const std::vector<FlightOutcome>& outcomes, double within);
// The 90th percentile alone.
double percentileScore(const std::vector<FlightOutcome>& outcomes);

}  // namespace tune

#endif
