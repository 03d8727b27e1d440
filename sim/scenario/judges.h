// SPDX-License-Identifier: MIT
//
// How a run is judged: per phase, how well the hover was held, and for each
// expectation whether it held. Both look at frames one at a time, so the
// host judges as it flies and a test judges a trace it wrote by hand.
#ifndef HOVER_SIM_SCENARIO_JUDGES_H
#define HOVER_SIM_SCENARIO_JUDGES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/scenario/frame.h"
#include "sim/scenario/scenario.h"

namespace host {

// The band within which a captured hover's height stays (ADS-33 desired).
inline constexpr double kCaptureBandFt = 2.0;
// ADS-33 grades a hover over this long a stretch of stable hover.
inline constexpr double kHoverWindowS = 30.0;

// The largest errors over a stretch of hover: the height against the
// target, the position and the heading from where the stretch begins (the
// heading counted through full turns).
struct HoverErrors {
    double heightMaxFt = 0.0;
    double positionMaxFt = 0.0;
    double headingMaxDeg = 0.0;
};

// A hover phase judged as ADS-33 judges a hover: from capture, the moment
// the height first comes within the capture band, the first 30 s; and over
// a longer hold every 30-s window from capture on (one starting at each
// frame), each error's worst window.
struct HoverWindows {
    double capturedAtS = 0.0;  // host time of the first frame inside the band
    double firstFrom = 0.0, firstTo = 0.0;
    bool firstComplete = false;  // the phase holds 30 s after capture; else `first` covers what it has
    HoverErrors first;
    int64_t windows = 0;  // complete windows; the worst below only when there is one
    HoverErrors worst;
    double worstHeightFromS = 0.0, worstPositionFromS = 0.0, worstHeadingFromS = 0.0;
};

struct PhaseResult {
    std::string name;
    double from = 0.0;
    double to = 0.0;
    int64_t frames = 0;
    bool heightKnown = false;  // a target to measure the height against
    double heightRmsFt = 0.0;
    double heightMaxFt = 0.0;  // largest |error|
    double speedRmsKt = 0.0;
    double speedMaxKt = 0.0;
    double headingChangeDeg = 0.0;   // net, end minus start, counted through full turns
    double headingMaxDevDeg = 0.0;   // largest |deviation| from the start, likewise
    double positionMaxDevFt = 0.0;   // largest distance from the start point
    std::optional<double> captureS;  // from the phase start until the height stays within the capture band
    double engagedFraction = 0.0;
    bool hover = false;  // a phase with its own target: graded as a hover
    // For a hover whose height came within the capture band.
    std::optional<HoverWindows> windows;
};

struct ExpectationResult {
    std::string text;
    bool held = false;
    std::string detail;
    // For the checks of a measured value: the worst one in the window (the
    // largest, or for ground_speed_above the smallest) and when, in `unit`,
    // and when the value first broke the limit, if it did.
    std::optional<double> worst;
    double worstAtS = 0.0;
    std::string unit;
    std::optional<double> firstCrossingS;
    int64_t frames = 0;     // frames in the window
    int64_t badFrames = 0;  // frames in which it did not hold
};

// A heading counted through full turns: each frame adds the change from
// the last one, taken the short way round, so a spin reads 720 deg rather
// than a value that wraps back to 0. A heading that is not a number is
// skipped.
class HeadingTurns {
public:
    void start(double headingDeg);
    // The heading's change since start(), in degrees.
    double observe(double headingDeg);

private:
    double last_ = 0.0;
    double turned_ = 0.0;
};

// One frame of a captured hover, as the 30-s windows need it.
struct HoverSample {
    double t = 0.0;
    double heightErrorFt = 0.0;  // |error|
    double northFt = 0.0, eastFt = 0.0;
    double turnedDeg = 0.0;  // heading change since the phase began, through full turns
};

// The windows of a hover captured at the first sample.
HoverWindows hoverWindows(const std::vector<HoverSample>& samples);

// Statistics of one phase, gathered frame by frame.
class PhaseMeter {
public:
    explicit PhaseMeter(const PhaseSetting& setting);
    void observe(const Frame& f);
    PhaseResult finish() const;

private:
    PhaseSetting setting_;
    PhaseResult result_;
    HeadingTurns heading_;
    double startNorth_ = 0.0, startEast_ = 0.0;
    double heightSquares_ = 0.0, speedSquares_ = 0.0;
    int64_t heightFrames_ = 0, engagedFrames_ = 0;
    std::optional<double> lastOutside_;
    double last_ = 0.0, previous_ = 0.0, frameStep_ = 0.0;
    std::vector<HoverSample> captured_;  // every frame from capture on
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
    void measured(const Frame& f, double value, const char* unit, bool worse, bool ok);

    Expectation e_;
    int64_t frames_ = 0;
    int64_t badFrames_ = 0;
    double lastTime_ = 0.0;
    bool lastCommanding_ = false;
    std::optional<double> lastTarget_;
    HeadingTurns heading_;
    double startNorth_ = 0.0, startEast_ = 0.0;
    bool fired_ = false;
    std::string breachText_;  // what went wrong first, for the checks of a state
    std::optional<double> firstCrossing_;
    std::optional<double> worstValue_;
    double worstTime_ = 0.0;
    std::string worstUnit_;
};

// What the first frame of an engagement did to the controls: for each axis
// the hold commanded, the step from the position the update read to the
// command it sent. Empty for a frame that sends no command.
std::string engageStep(const Frame& f);

// A whole recorded trace, judged at once.
PhaseResult measurePhase(const PhaseSetting& setting, const Trace& trace);
ExpectationResult judge(const Expectation& expectation, const Trace& trace);

// An angle in degrees brought into -180 .. 180.
double wrapDegrees(double angle);

// A number with `decimals` places, right-aligned in `width` characters.
std::string fixed(double value, int decimals, int width = 0);

}  // namespace host

#endif
