// SPDX-License-Identifier: MIT
//
// A flight scenario: where the helicopter starts, the air it flies in, the
// panel's parameter string, the host's frame rate, what the pilot does and
// when, and what must have happened by the end. Read from a TOML file; the
// format is described by hoversim --help.
#ifndef HOVER_SIM_SCENARIO_SCENARIO_H
#define HOVER_SIM_SCENARIO_SCENARIO_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "sim/flight/parameters.h"
#include "sim/host/gauge_host.h"
#include "sim/host/host_loop.h"
#include "sim/scenario/pilot.h"

namespace host {

constexpr double kEndOfRun = std::numeric_limits<double>::infinity();

// The values a scenario may hold: each number is refused outside its range,
// so a value that cannot mean what it says never reaches the run.
struct Range {
    double lowest;
    double highest;

    bool holds(double value) const { return value >= lowest && value <= highest; }  // false for NaN
};
inline constexpr Range kDurationRange{0.1, 36000.0};             // s of host time
inline constexpr Range kTimeRange{0.0, kDurationRange.highest};  // s, moments in the run
inline constexpr Range kFrameRateRange{18.0, 60.0};              // panel updates per second
inline constexpr Range kVisualRateRange{18.0, 60.0};             // visual frames per second
inline constexpr Range kCommandDelayRange{0.0, 2.0};             // whole panel frames
// The command latency reaches at most two whole panel frames.
inline constexpr double kLatencyPanelFrames = 2.0;
// Frame-length jitter stays below this share of a visual frame.
inline constexpr double kJitterFrameShare = 0.49;
inline constexpr Range kStartHeightRange{1.0, 5000.0};        // ft
inline constexpr Range kHeightRange{0.0, 5000.0};             // ft, targets to measure against
inline constexpr Range kStartSpeedRange{0.0, 120.0};          // kt
inline constexpr Range kDirectionRange{0.0, 360.0};           // deg, headings and directions
inline constexpr Range kWindSpeedRange{0.0, 80.0};            // kt
inline constexpr Range kTurbulenceRange{0.0, 90.0};           // kt, wind at 20 ft
inline constexpr Range kSeedRange{0.0, 4294967295.0};         // whole numbers
inline constexpr Range kGustLengthRange{0.1, 600.0};          // s
inline constexpr Range kGustSpeedRange{-80.0, 80.0};          // kt, negative: a lull
inline constexpr Range kCyclicPedalRange{-16383.0, 16383.0};  // host axis units
inline constexpr Range kCollectiveRange{0.0, 16384.0};        // host axis units
inline constexpr Range kStickRange{-1.0, 1.0};
inline constexpr Range kRotorRange{0.0, 120.0};          // percent
inline constexpr Range kEnginePowerRange{0.0, 1.5};      // share of the engines' power
inline constexpr Range kLimitRange{0.0, 1e6};            // an expectation's bound (ft, kt, deg)
inline constexpr Range kTargetHeightRange{10.0, 999.0};  // ft, what the gauge can show
inline constexpr Range kAircraftScaleRange{0.5, 1.5};    // factor on an aircraft file's figure
inline constexpr Range kReactionRange{0.0, 1.0};         // s, the pilot's reaction time
inline constexpr Range kPilotGainRange{0.0, 1e5};        // each of the pilot's gains, in its unit
inline constexpr Range kPilotMoveRange{1.0, 16384.0};    // counts, the most the pilot moves a control per update

// Caps on what one file may ask for, so a scenario's reading and its run
// stay bounded in time and memory.
inline constexpr size_t kMaxScenarioBytes = 1024 * 1024;
inline constexpr size_t kMaxEvents = 10000;
inline constexpr size_t kMaxGusts = 100;
inline constexpr size_t kMaxExpectations = 200;
inline constexpr size_t kMaxPhases = 50;

struct StartState {
    double heightFt = 100.0;     // radar height
    double groundSpeedKt = 0.0;  // a steady drift over the ground
    double trackDeg = 0.0;       // direction of that drift
    double headingDeg = 0.0;
    // Pilot's control positions at the start, in host axis units; absent
    // ones stay at the trim the flight model finds.
    std::optional<double> elevator;
    std::optional<double> aileron;
    std::optional<double> rudder;
    std::optional<double> throttle;
};

struct GustSetting {
    double at = 0.0;                // s, start
    double duration = 2.0;          // s, length of the 1-cosine
    double speedKt = 0.0;           // peak
    std::optional<double> fromDeg;  // direction it blows from; the wind's own by default
};

struct WindSetting {
    double fromDeg = 0.0;
    double speedKt = 0.0;
    // Dryden turbulence at low altitude, by the wind speed at 20 ft that
    // sets its intensity: 0 none, 15 light, 30 moderate, 45 severe.
    double turbulenceW20Kt = 0.0;
    uint64_t seed = 1;
    std::vector<GustSetting> gusts;
};

// The pilot's stick: only the axes and buttons named are moved.
struct StickChange {
    std::optional<double> forward;
    std::optional<double> right;
    std::optional<double> twist;
    std::optional<double> z;
    std::optional<bool> heightUp;
    std::optional<bool> heightDown;
};

struct ControlChange {
    std::optional<double> elevator;
    std::optional<double> aileron;
    std::optional<double> rudder;
    std::optional<double> throttle;
};

// Everything scheduled at one moment of host time (frames / frame rate,
// which runs on while the simulation is paused). Actions run in the order
// of the fields below.
struct TimedEvent {
    double at = 0.0;
    std::optional<bool> pause;      // true: time stands still; false: resumes
    std::optional<bool> failure21;  // the panel-lights failure on or off
    std::optional<double> rotorPercent;
    std::optional<double> enginePower;  // fraction of the engines' power, 1 normal
    std::optional<ControlChange> controls;
    std::optional<StickChange> stick;
    std::optional<std::string> click;
    std::optional<std::string> hold;  // button held on an area ...
    double holdFor = 0.0;             // ... for this long
    std::string text;                 // as written, for the summary
};

enum class Check {
    kEngaged,            // the hold commands the axes in every frame of the window
    kNotEngaged,         // it does not in any frame of the window
    kHeightWithin,       // |radar height - target| <= ft
    kGroundSpeedBelow,   // ground speed < kt
    kGroundSpeedAbove,   // ground speed > kt
    kHeadingDriftBelow,  // |heading - heading at window start| < deg
    kPositionWithin,     // horizontal distance from the window-start point <= ft
    kPitchWithin,        // |pitch| <= deg
    kPitchGuardFired,    // the guard overrode the elevator at least once
    kPitchGuardQuiet,    // it never did
    kTargetHeightIs,     // the panel shows this target height at the window's end
    kEngagedAtEnd,       // engaged in the last frame of the window
    kBankWithin,         // |bank| <= deg
};

struct Expectation {
    Check check = Check::kEngaged;
    double from = 0.0;
    double to = kEndOfRun;
    double limit = 0.0;
    std::optional<double> targetFt;  // for kHeightWithin; else the panel's target
    std::string text;                // as written, for the summary
};

struct PhaseSetting {
    std::string name;
    double from = 0.0;
    double to = kEndOfRun;
    std::optional<double> targetFt;
};

// What the file's own run (with its own aircraft, command delay and
// parameter string) ends in: every expectation held, or the expectations it
// names failed and only those. A scenario whose bounds the module does not
// meet keeps them and says so; the test runner holds the run to it.
enum class Outcome {
    kHolds,
    kFails,
};

// The logging gauge beside the hover gauge on the panel ([logger]).
struct LoggerSetting {
    std::string parameters;  // its gauge line's parameter string
};

// Clicks aimed at the logging gauge's face name its areas with this prefix.
inline constexpr const char* kLoggerAreaPrefix = "log:";

// The helicopter a scenario flies when it names none.
inline constexpr const char* kDefaultAircraft = "bo105";

// The host moves a control at the next visual frame after the module sent
// the axis event; whole panel frames of delay are the pessimistic case a
// scenario asks for.
constexpr int kDefaultCommandDelayFrames = 0;

struct Scenario {
    std::string name;
    std::string description;
    // The aircraft file: a name looked up among the aircraft files, or a
    // path, relative to aircraftBase (the scenario's folder; empty: the
    // working directory).
    std::string aircraft = kDefaultAircraft;
    std::string aircraftBase;
    // A plant file (an identified hover model) flown instead of the
    // aircraft file: a path relative to aircraftBase. Empty: the aircraft.
    std::string plant;
    // Factors on the aircraft file's least known figures ([aircraft_scale]):
    // the same aircraft as it may really be.
    flight::ParameterScale aircraftScale;
    int frameRate = kDefaultPanelRate;     // panel updates per second
    int visualFrameRate = kDefaultVisualRate;  // flight model steps per second, at least frameRate
    // From a panel update until its axis events move the controls, s;
    // none: one visual frame.
    std::optional<double> commandLatencyS;
    int commandDelayFrames = kDefaultCommandDelayFrames;  // 0, or 1 or 2 whole panel frames instead
    double frameJitterS = 0.0;  // each visual frame's length varies by up to this, s
    uint64_t frameJitterSeed = 1;
    double duration = 60.0;
    std::string parameters;
    std::optional<LoggerSetting> logger;  // none: the panel holds the hover gauge alone
    PilotSettings pilot;                  // holdsHover false: nobody flies by hand
    ServiceOrder serviceOrder = ServiceOrder::kInstallThenConnect;
    StartState start;
    WindSetting wind;
    std::vector<TimedEvent> events;
    std::vector<Expectation> expectations;
    std::vector<PhaseSetting> phases;
    Outcome outcome = Outcome::kHolds;
    // With kFails: the expectations that fail, each by its text as the
    // summary shows it (Expectation::text).
    std::vector<std::string> failing;

    // Whether a run needs the pilot's joystick.
    bool usesStick() const;
    // The host's loop this scenario is flown on.
    HostLoop loop() const;
};

// Reads a scenario; on failure returns nothing and sets `error`, one line
// starting with the file name and the line ("demo.toml:12: ..."). Refuses
// at once, without opening it, anything but a regular file, and any file
// larger than kMaxScenarioBytes.
std::optional<Scenario> loadScenario(const std::string& path, std::string& error);
std::optional<Scenario> parseScenario(const std::string& text, const std::string& sourceName,
                                      std::string& error);

// Describes the file format, for --help.
std::string scenarioFormatHelp();

std::string describe(const Expectation& expectation);

}  // namespace host

#endif
