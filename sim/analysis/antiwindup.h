// SPDX-License-Identifier: MIT
//
// How often the module's anti-windup rules acted in a flight, and what they
// did to the controls. The linear analysis leaves these rules out (they act
// only on large error rates), yet in flight they can decide the outcome:
// the Forward and Right loops drop their integral, and with it the trim it
// carries, whenever the filtered error rate exceeds 0.5; the Turn loop
// stops integrating while it is not below 0.5.
//
// The observer replays the module's loops from what each update read (the
// host's CSV trace gives it row by row): the error filter, the rate filter,
// the integrals with their rules, and the presets while the hold is not
// engaged. It is a measuring instrument for reports, not part of a flight.
// The trace keeps ten significant digits, so an update whose rate lies
// within about 1e-9 of the threshold may be counted on the other side.
#ifndef HOVER_SIM_ANALYSIS_ANTIWINDUP_H
#define HOVER_SIM_ANALYSIS_ANTIWINDUP_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/analysis/hold_analysis.h"

namespace analysis {

// What one panel update read, in the host's units.
struct UpdateReadings {
    double simTimeS = 0.0;  // token 604
    bool engaged = false;   // the update sent axis commands
    double headingDeg = 0.0;
    double velocityNorthFtS = 0.0, velocityEastFtS = 0.0;
    double yawRate = 0.0;  // token 70, 1/65536 of a turn per second
    // Control positions, axis counts (tokens 309, 311, 314).
    double elevator = 0.0, aileron = 0.0, rudder = 0.0;
    // The pilot's set points: m/s along the body axes, deg/s.
    double forwardSetMS = 0.0, rightSetMS = 0.0, turnSetDegS = 0.0;
};

// A loop that drops its integral (Forward, Right).
struct IntegralResets {
    int64_t resets = 0;  // engaged updates in which the integral was zeroed
    double share = 0.0;  // of the engaged updates
    // The step each reset gave the command, |Kpr * I / Tn| with I the
    // integral just before it was zeroed, axis counts; 0 without resets.
    double largestStepCounts = 0.0;
    double medianStepCounts = 0.0;
};

struct AntiWindupStats {
    bool read = false;  // false: `error` says what in the trace could not be read
    std::string error;
    int64_t updates = 0;         // updates in which the time advanced (the loops ran)
    int64_t engagedUpdates = 0;  // of those, engaged
    IntegralResets forward, right;
    int64_t turnFrozen = 0;  // engaged updates in which the Turn integral did not integrate
    double turnFrozenShare = 0.0;
};

// The module's Forward, Right and Turn loops replayed update by update.
// A Kpr or Tn of 0 leaves that loop's integral at 0 and its steps at 0 (the
// module's presets and integral term are not numbers then).
class AntiWindupObserver {
public:
    explicit AntiWindupObserver(const Gains& gains);
    void update(const UpdateReadings& r);
    AntiWindupStats stats() const;
    // The commands the replayed loops give after the last update (elevator,
    // aileron, rudder; axis counts before truncation and limits), to check
    // the replay against what the module sent.
    std::array<double, 3> commands() const;

private:
    struct LoopState {
        double error = 0.0, rate = 0.0, integral = 0.0;
    };
    // Advances one loop's error and rate filters on the raw error.
    static void filter(LoopState& s, double raw, double dt);

    Gains gains_;
    double lastTime_ = 0.0;             // the module's time reading starts at 0
    std::array<LoopState, 3> loops_{};  // forward, right, turn
    int64_t updates_ = 0, engaged_ = 0, turnFrozen_ = 0;
    std::array<std::vector<double>, 2> steps_;  // forward, right: |step| of each reset
};

// Replays a trace as hoversim --trace writes it (CSV text, header first;
// its columns are found by name, so columns added later do no harm).
AntiWindupStats observeAntiWindup(const std::string& csvTrace, const Gains& gains);

}  // namespace analysis

#endif
