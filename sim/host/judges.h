// SPDX-License-Identifier: MIT
//
// How a run is judged: per phase, how well the hover was held, and for each
// expectation whether it held. Both look at frames one at a time, so the
// host judges as it flies and a test judges a trace it wrote by hand.
#ifndef HOVER_SIM_HOST_JUDGES_H
#define HOVER_SIM_HOST_JUDGES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/host/frame.h"
#include "sim/host/scenario.h"

namespace host {

// The band within which a captured hover's height stays (ADS-33 desired).
inline constexpr double kCaptureBandFt = 2.0;

struct PhaseResult {
    std::string name;
    double from = 0.0;
    double to = 0.0;
    int64_t frames = 0;
    bool heightKnown = false;     // a target to measure the height against
    double heightRmsFt = 0.0;
    double heightMaxFt = 0.0;     // largest |error|
    double speedRmsKt = 0.0;
    double speedMaxKt = 0.0;
    double headingChangeDeg = 0.0;     // net, end minus start
    double headingMaxDevDeg = 0.0;     // largest |deviation| from the start
    double positionMaxDevFt = 0.0;     // largest distance from the start point
    std::optional<double> captureS;    // from the phase start until the height stays within the capture band
    double engagedFraction = 0.0;
    bool hover = false;  // a phase with its own target: graded as a hover
};

struct ExpectationResult {
    std::string text;
    bool held = false;
    std::string detail;
};

// Statistics of one phase, gathered frame by frame.
class PhaseMeter {
public:
    explicit PhaseMeter(const PhaseSetting& setting);
    void observe(const Frame& f);
    PhaseResult finish() const;

private:
    PhaseSetting setting_;
    PhaseResult result_;
    double startHeading_ = 0.0, startNorth_ = 0.0, startEast_ = 0.0;
    double heightSquares_ = 0.0, speedSquares_ = 0.0;
    int64_t heightFrames_ = 0, engagedFrames_ = 0;
    std::optional<double> lastOutside_;
    double last_ = 0.0, previous_ = 0.0, frameStep_ = 0.0;
};

// One expectation, judged frame by frame.
class Judge {
public:
    explicit Judge(const Expectation& e) : e_(e) {}
    void observe(const Frame& f);
    ExpectationResult finish() const;

private:
    void breach(const Frame& f, const std::string& what);
    void worst(const Frame& f, double value, const char* unit, double limit, bool inclusive);
    void lowest(const Frame& f, double value, const char* unit, double limit);

    Expectation e_;
    int64_t frames_ = 0;
    double lastTime_ = 0.0;
    bool lastCommanding_ = false;
    std::optional<double> lastTarget_;
    double startHeading_ = 0.0, startNorth_ = 0.0, startEast_ = 0.0;
    bool fired_ = false;
    std::string breachText_;
    std::optional<double> worstValue_;
    double worstTime_ = 0.0;
    std::string worstUnit_;
};

// A whole recorded trace, judged at once.
PhaseResult measurePhase(const PhaseSetting& setting, const Trace& trace);
ExpectationResult judge(const Expectation& expectation, const Trace& trace);

// An angle in degrees brought into -180 .. 180.
double wrapDegrees(double angle);

// A number with `decimals` places, right-aligned in `width` characters.
std::string fixed(double value, int decimals, int width = 0);

}  // namespace host

#endif
