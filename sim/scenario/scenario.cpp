// SPDX-License-Identifier: MIT
#include "sim/scenario/scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string_view>

#include <toml++/toml.h>

#include "sim/host/mouse.h"

namespace host {

namespace {

// A scenario error: thrown while reading, caught at the top. The line is
// the file's (0: none known); `where` names the table or entry, empty for
// the top level, so the file name is written once, by the catcher.
struct ScenarioError {
    int line = 0;
    std::string message;
};

// A place in the file: the table or entry being read and its line.
struct Where {
    std::string name;  // empty: the top level
    int line = 0;

    Where at(const toml::node& node) const {
        const int nodeLine = static_cast<int>(node.source().begin.line);
        return Where{name, nodeLine != 0 ? nodeLine : line};
    }
};

[[noreturn]] void fail(const Where& where, const std::string& message) {
    throw ScenarioError{where.line, where.name.empty() ? message : where.name + ": " + message};
}

std::string quoted(std::string_view key) {
    return "'" + std::string(key) + "'";
}

std::string numberText(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return buffer;
}

void allowOnly(const toml::table& table, const Where& where, std::initializer_list<std::string_view> keys) {
    for (auto&& [key, value] : table) {
        if (std::find(keys.begin(), keys.end(), key.str()) == keys.end()) {
            std::string known;
            for (std::string_view k : keys) {
                known += known.empty() ? "" : ", ";
                known += k;
            }
            fail(where.at(value), "unknown key " + quoted(key.str()) + " (known: " + known + ")");
        }
    }
}

// A number's value and where it stands, for range messages.
struct Read {
    double value;
    Where where;
};

std::optional<Read> readNumber(const toml::table& table, std::string_view key, const Where& where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    const Where place = where.at(*node);
    if (!node->is_number()) {
        fail(place, quoted(key) + " must be a number");
    }
    const double value = node->value<double>().value_or(0.0);
    if (!std::isfinite(value)) {
        fail(place, quoted(key) + " must be finite");
    }
    return Read{value, place};
}

void checkRange(double value, double lowest, double highest, const Where& where, const std::string& what) {
    if (!(value >= lowest && value <= highest)) {
        fail(where, what + " " + numberText(value) + " is outside " + numberText(lowest) + " .. "
                        + numberText(highest));
    }
}

// A number that must lie within a range when given.
std::optional<double> number(const toml::table& table, std::string_view key, const Where& where,
                             const Range& range) {
    const std::optional<Read> read = readNumber(table, key, where);
    if (!read) {
        return std::nullopt;
    }
    checkRange(read->value, range.lowest, range.highest, read->where, std::string(key));
    return read->value;
}

double number(const toml::table& table, std::string_view key, const Where& where, const Range& range,
              double fallback) {
    return number(table, key, where, range).value_or(fallback);
}

double requiredNumber(const toml::table& table, std::string_view key, const Where& where,
                      const Range& range) {
    std::optional<double> value = number(table, key, where, range);
    if (!value) {
        fail(where, quoted(key) + " is required");
    }
    return *value;
}

std::optional<bool> boolean(const toml::table& table, std::string_view key, const Where& where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    if (!node->is_boolean()) {
        fail(where.at(*node), quoted(key) + " must be true or false");
    }
    return node->value<bool>();
}

std::optional<std::string> text(const toml::table& table, std::string_view key, const Where& where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    if (!node->is_string()) {
        fail(where.at(*node), quoted(key) + " must be a string");
    }
    return node->value<std::string>();
}

const toml::table* subTable(const toml::table& table, std::string_view key, const Where& where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return nullptr;
    }
    if (!node->is_table()) {
        fail(where.at(*node), quoted(key) + " must be a table");
    }
    return node->as_table();
}

// Each entry of an array of tables, with its place for messages; at most
// `cap` of them.
template <typename Visit>
void eachTable(const toml::table& table, std::string_view key, const Where& where, size_t cap, Visit visit) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return;
    }
    const toml::array* array = node->as_array();
    if (array == nullptr) {
        fail(where.at(*node), quoted(key) + " must be an array of tables ([[" + std::string(key) + "]])");
    }
    if (array->size() > cap) {
        fail(where.at(*node), "more than " + std::to_string(cap) + " [[" + std::string(key) + "]] entries");
    }
    int index = 0;
    for (const toml::node& element : *array) {
        ++index;
        const Where place = Where{std::string(key) + " #" + std::to_string(index), where.line}.at(element);
        if (!element.is_table()) {
            fail(place, "must be a table");
        }
        visit(*element.as_table(), place);
    }
}

std::string areaName(const std::string& name, const Where& where) {
    if (!pointOf(name)) {
        fail(where, "no click area '" + name + "' (areas: " + areaNames() + ")");
    }
    return name;
}

std::string loggerAreas() {
    std::string names;
    for (const NamedPoint& named : loggerNamedPoints()) {
        names += names.empty() ? "" : ", ";
        names += kLoggerAreaPrefix + std::string(named.name);
    }
    return names;
}

// A click may also land on the logging gauge: "log:record", "log:excite".
std::string clickAreaName(const std::string& name, const Where& where, bool loggerOnPanel) {
    const std::string_view prefix = kLoggerAreaPrefix;
    if (name.rfind(prefix, 0) != 0) {
        return areaName(name, where);
    }
    if (!loggerPointOf(std::string_view(name).substr(prefix.size()))) {
        fail(where, "no click area '" + name + "' on the logger (areas: " + loggerAreas() + ")");
    }
    if (!loggerOnPanel) {
        fail(where, "click '" + name + "' aims at the logger, which the panel holds only with [logger]");
    }
    return name;
}

LoggerSetting readLogger(const toml::table& table, const Where& where) {
    allowOnly(table, where, {"parameters"});
    LoggerSetting logger;
    logger.parameters = text(table, "parameters", where).value_or("");
    return logger;
}

PilotSettings readPilot(const toml::table& table, const Where& where) {
    allowOnly(table, where,
              {"holds_hover", "reaction_s", "attitude_counts_per_deg", "attitude_rate_counts_per_deg_s",
               "speed_deg_per_kt", "position_kt_per_ft", "heading_counts_per_deg", "yaw_rate_counts_per_deg_s",
               "climb_counts_per_ft_s", "height_ft_s_per_ft", "max_move_counts"});
    PilotSettings pilot;
    pilot.holdsHover = boolean(table, "holds_hover", where).value_or(false);
    pilot.reactionS = number(table, "reaction_s", where, kReactionRange, pilot.reactionS);
    const auto gain = [&](std::string_view key, double& value) {
        value = number(table, key, where, kPilotGainRange, value);
    };
    gain("attitude_counts_per_deg", pilot.attitudeCountsPerDeg);
    gain("attitude_rate_counts_per_deg_s", pilot.attitudeRateCountsPerDegS);
    gain("speed_deg_per_kt", pilot.speedDegPerKt);
    gain("position_kt_per_ft", pilot.positionKtPerFt);
    gain("heading_counts_per_deg", pilot.headingCountsPerDeg);
    gain("yaw_rate_counts_per_deg_s", pilot.yawRateCountsPerDegS);
    gain("climb_counts_per_ft_s", pilot.climbCountsPerFtS);
    gain("height_ft_s_per_ft", pilot.heightFtSPerFt);
    pilot.maxMoveCounts = number(table, "max_move_counts", where, kPilotMoveRange, pilot.maxMoveCounts);
    return pilot;
}

double turbulenceW20(const toml::table& wind, const Where& where) {
    const toml::node* node = wind.get("turbulence");
    if (node == nullptr) {
        return 0.0;
    }
    if (node->is_number()) {
        return number(wind, "turbulence", where, kTurbulenceRange).value_or(0.0);
    }
    const std::string name = node->value<std::string>().value_or("");
    if (name == "none")
        return 0.0;
    if (name == "light")
        return 15.0;
    if (name == "moderate")
        return 30.0;
    if (name == "severe")
        return 45.0;
    fail(where.at(*node), "turbulence must be none, light, moderate, severe or a number (kt)");
}

// The pilot's controls, each in its axis's range.
void readControls(const toml::table& table, const Where& where, std::optional<double>& elevator,
                  std::optional<double>& aileron, std::optional<double>& rudder,
                  std::optional<double>& throttle) {
    elevator = number(table, "elevator", where, kCyclicPedalRange);
    aileron = number(table, "aileron", where, kCyclicPedalRange);
    rudder = number(table, "rudder", where, kCyclicPedalRange);
    throttle = number(table, "throttle", where, kCollectiveRange);
}

StartState readStart(const toml::table& table, const Where& where) {
    allowOnly(table, where,
              {"height_ft", "ground_speed_kt", "track_deg", "heading_deg", "elevator", "aileron", "rudder",
               "throttle"});
    StartState start;
    start.heightFt = number(table, "height_ft", where, kStartHeightRange, start.heightFt);
    start.groundSpeedKt = number(table, "ground_speed_kt", where, kStartSpeedRange, 0.0);
    start.trackDeg = number(table, "track_deg", where, kDirectionRange, 0.0);
    start.headingDeg = number(table, "heading_deg", where, kDirectionRange, 0.0);
    readControls(table, where, start.elevator, start.aileron, start.rudder, start.throttle);
    return start;
}

flight::ParameterScale readAircraftScale(const toml::table& table, const Where& where) {
    allowOnly(table, where, {"inertia", "control_power", "rotor_damping", "tail_rotor"});
    flight::ParameterScale scale;
    for (int i = 0; i < flight::kScaleCount; ++i) {
        flight::scaleFactor(scale, i) = number(table, flight::kScaleKeys[i], where, kAircraftScaleRange, 1.0);
    }
    return scale;
}

WindSetting readWind(const toml::table& table, const Where& where) {
    allowOnly(table, where, {"from_deg", "speed_kt", "turbulence", "seed", "gusts"});
    WindSetting wind;
    wind.fromDeg = number(table, "from_deg", where, kDirectionRange, 0.0);
    wind.speedKt = number(table, "speed_kt", where, kWindSpeedRange, 0.0);
    wind.turbulenceW20Kt = turbulenceW20(table, where);
    if (std::optional<Read> seed = readNumber(table, "seed", where)) {
        checkRange(seed->value, kSeedRange.lowest, kSeedRange.highest, seed->where, "seed");
        if (seed->value != std::floor(seed->value)) {
            fail(seed->where, "seed must be a whole number");
        }
        wind.seed = static_cast<uint64_t>(seed->value);
    }
    eachTable(table, "gusts", where, kMaxGusts, [&](const toml::table& gust, const Where& place) {
        allowOnly(gust, place, {"at", "duration", "speed_kt", "from_deg"});
        GustSetting setting;
        setting.at = requiredNumber(gust, "at", place, kTimeRange);
        setting.duration = number(gust, "duration", place, kGustLengthRange, setting.duration);
        setting.speedKt = requiredNumber(gust, "speed_kt", place, kGustSpeedRange);
        setting.fromDeg = number(gust, "from_deg", place, kDirectionRange);
        wind.gusts.push_back(setting);
    });
    return wind;
}

TimedEvent readEvent(const toml::table& table, const Where& where, bool loggerOnPanel) {
    allowOnly(table, where,
              {"at", "pause", "failure21", "rotor_percent", "engine_power", "controls", "stick", "click",
               "hold", "for"});
    TimedEvent event;
    event.at = requiredNumber(table, "at", where, kTimeRange);
    event.pause = boolean(table, "pause", where);
    event.failure21 = boolean(table, "failure21", where);
    event.rotorPercent = number(table, "rotor_percent", where, kRotorRange);
    event.enginePower = number(table, "engine_power", where, kEnginePowerRange);
    if (const toml::table* controls = subTable(table, "controls", where)) {
        const Where place = Where{where.name + " controls", where.line}.at(*controls);
        allowOnly(*controls, place, {"elevator", "aileron", "rudder", "throttle"});
        ControlChange change;
        readControls(*controls, place, change.elevator, change.aileron, change.rudder, change.throttle);
        event.controls = change;
    }
    if (const toml::table* stick = subTable(table, "stick", where)) {
        const Where place = Where{where.name + " stick", where.line}.at(*stick);
        allowOnly(*stick, place, {"forward", "right", "twist", "z", "height_up", "height_down"});
        StickChange change;
        change.forward = number(*stick, "forward", place, kStickRange);
        change.right = number(*stick, "right", place, kStickRange);
        change.twist = number(*stick, "twist", place, kStickRange);
        change.z = number(*stick, "z", place, kStickRange);
        change.heightUp = boolean(*stick, "height_up", place);
        change.heightDown = boolean(*stick, "height_down", place);
        event.stick = change;
    }
    if (std::optional<std::string> click = text(table, "click", where)) {
        event.click = clickAreaName(*click, where, loggerOnPanel);
    }
    if (std::optional<std::string> hold = text(table, "hold", where)) {
        event.hold = areaName(*hold, where);
        event.holdFor = requiredNumber(table, "for", where, kTimeRange);
        if (event.holdFor <= 0.0) {
            fail(where, "'for' must be positive");
        }
    } else if (table.contains("for")) {
        fail(where, "'for' belongs to 'hold'");
    }
    if (table.size() == 1) {
        fail(where, "an event at " + numberText(event.at) + " s with nothing to do");
    }
    std::ostringstream written;
    written << toml::table(table);
    event.text = written.str();
    std::replace(event.text.begin(), event.text.end(), '\n', ' ');
    return event;
}

struct CheckName {
    std::string_view name;
    Check check;
    std::string_view limitKey;  // empty: no limit
};

constexpr CheckName kChecks[] = {
    {"engaged", Check::kEngaged, ""},
    {"not_engaged", Check::kNotEngaged, ""},
    {"engaged_at", Check::kEngagedAtEnd, ""},
    {"height_within", Check::kHeightWithin, "ft"},
    {"ground_speed_below", Check::kGroundSpeedBelow, "kt"},
    {"ground_speed_above", Check::kGroundSpeedAbove, "kt"},
    {"heading_drift_below", Check::kHeadingDriftBelow, "deg"},
    {"position_within", Check::kPositionWithin, "ft"},
    {"pitch_within", Check::kPitchWithin, "deg"},
    {"pitch_guard_fired", Check::kPitchGuardFired, ""},
    {"pitch_guard_quiet", Check::kPitchGuardQuiet, ""},
    {"target_height", Check::kTargetHeightIs, "ft"},
    {"bank_within", Check::kBankWithin, "deg"},
};

std::string checkNames() {
    std::string names;
    for (const CheckName& entry : kChecks) {
        names += names.empty() ? "" : ", ";
        names += entry.name;
    }
    return names;
}

Expectation readExpectation(const toml::table& table, const Where& where) {
    allowOnly(table, where, {"check", "from", "to", "at", "ft", "kt", "deg", "target_ft"});
    const std::optional<std::string> name = text(table, "check", where);
    if (!name) {
        fail(where, "'check' is required (one of " + checkNames() + ")");
    }
    const CheckName* entry = std::find_if(std::begin(kChecks), std::end(kChecks),
                                          [&](const CheckName& c) { return c.name == *name; });
    if (entry == std::end(kChecks)) {
        fail(where, "unknown check '" + *name + "' (one of " + checkNames() + ")");
    }
    Expectation expectation;
    expectation.check = entry->check;
    expectation.from = number(table, "from", where, kTimeRange, 0.0);
    expectation.to = number(table, "to", where, kTimeRange, kEndOfRun);
    if (std::optional<double> moment = number(table, "at", where, kTimeRange)) {
        expectation.from = *moment;
        expectation.to = *moment;
    }
    if (expectation.to < expectation.from) {
        fail(where, "'to' lies before 'from'");
    }
    for (std::string_view key : {"ft", "kt", "deg"}) {
        if (table.contains(key) && key != entry->limitKey) {
            fail(where, "'" + std::string(key) + "' does not belong to check '" + *name + "'");
        }
    }
    if (!entry->limitKey.empty()) {
        // A bound below zero (a height within -2 ft) can never hold, and a
        // target height the gauge cannot show is never shown.
        const Range& range = entry->check == Check::kTargetHeightIs ? kTargetHeightRange : kLimitRange;
        expectation.limit = requiredNumber(table, entry->limitKey, where, range);
    }
    expectation.targetFt = number(table, "target_ft", where, kHeightRange);
    if (expectation.targetFt && expectation.check != Check::kHeightWithin) {
        fail(where, "'target_ft' belongs to check 'height_within'");
    }
    expectation.text = describe(expectation);
    return expectation;
}

PhaseSetting readPhase(const toml::table& table, const Where& where) {
    allowOnly(table, where, {"name", "from", "to", "target_ft"});
    PhaseSetting phase;
    phase.name = text(table, "name", where).value_or("phase");
    phase.from = number(table, "from", where, kTimeRange, 0.0);
    phase.to = number(table, "to", where, kTimeRange, kEndOfRun);
    phase.targetFt = number(table, "target_ft", where, kHeightRange);
    if (phase.to <= phase.from) {
        fail(where, "'to' must lie after 'from'");
    }
    return phase;
}

// Moments the run never reaches cannot mean what they say.
void checkWithinRun(const Scenario& scenario, const std::vector<Where>& eventPlaces,
                    const std::vector<Where>& gustPlaces, const std::vector<Where>& phasePlaces,
                    const std::vector<Where>& expectPlaces) {
    const auto pastEnd = [&](double t) { return t > scenario.duration; };
    const std::string end = " lies past the end of the run (" + numberText(scenario.duration) + " s)";
    for (size_t i = 0; i < scenario.wind.gusts.size(); ++i) {
        if (pastEnd(scenario.wind.gusts[i].at))
            fail(gustPlaces[i], "'at'" + end);
    }
    for (size_t i = 0; i < scenario.events.size(); ++i) {
        if (pastEnd(scenario.events[i].at))
            fail(eventPlaces[i], "'at'" + end);
    }
    for (size_t i = 0; i < scenario.phases.size(); ++i) {
        const PhaseSetting& phase = scenario.phases[i];
        if (pastEnd(phase.from))
            fail(phasePlaces[i], "'from'" + end);
        if (!std::isinf(phase.to) && pastEnd(phase.to))
            fail(phasePlaces[i], "'to'" + end);
    }
    for (size_t i = 0; i < scenario.expectations.size(); ++i) {
        const Expectation& e = scenario.expectations[i];
        if (pastEnd(e.from))
            fail(expectPlaces[i], (e.from == e.to ? "'at'" : "'from'") + end);
        if (!std::isinf(e.to) && pastEnd(e.to))
            fail(expectPlaces[i], "'to'" + end);
    }
}

// The outcome the file declares, and with "fails" the expectations that
// fail: each named by the text the summary shows for it, so that a reader
// finds it on its FAIL line. A name that matches none, or more than one, is
// refused, so the declaration cannot go stale unseen.
void readOutcome(const toml::table& root, const Where& where, Scenario& scenario) {
    const toml::node* outcomeNode = root.get("outcome");
    const toml::node* failingNode = root.get("failing");
    if (outcomeNode != nullptr) {
        const std::string value = text(root, "outcome", where).value_or("");
        if (value == "fails") {
            scenario.outcome = Outcome::kFails;
        } else if (value != "holds") {
            fail(where.at(*outcomeNode),
                 "outcome must be \"holds\" or \"fails\", not " + quoted(std::string_view(value)));
        }
    }
    if (failingNode != nullptr) {
        const toml::array* names = failingNode->as_array();
        if (names == nullptr) {
            fail(where.at(*failingNode),
                 "'failing' must be an array of expectations, as the summary shows them");
        }
        for (const toml::node& element : *names) {
            const Where place = where.at(element);
            if (!element.is_string()) {
                fail(place, "'failing' lists expectations by their text, as strings");
            }
            const std::string name = element.value<std::string>().value_or("");
            const auto matches = std::count_if(scenario.expectations.begin(), scenario.expectations.end(),
                                               [&name](const Expectation& e) { return e.text == name; });
            if (matches == 0) {
                std::string known;
                for (const Expectation& e : scenario.expectations) {
                    known += known.empty() ? "" : "; ";
                    known += e.text;
                }
                fail(place, "failing: no expectation reads " + quoted(std::string_view(name))
                                + " (they read: " + (known.empty() ? std::string("none") : known) + ")");
            }
            if (matches > 1) {
                fail(place, "failing: " + std::to_string(matches) + " expectations read "
                                + quoted(std::string_view(name)));
            }
            if (std::find(scenario.failing.begin(), scenario.failing.end(), name) != scenario.failing.end()) {
                fail(place, "failing names " + quoted(std::string_view(name)) + " twice");
            }
            scenario.failing.push_back(name);
        }
    }
    if (scenario.outcome == Outcome::kFails && scenario.failing.empty()) {
        fail(where.at(*outcomeNode), "outcome = \"fails\" needs 'failing', the expectations that fail");
    }
    if (scenario.outcome == Outcome::kHolds && failingNode != nullptr) {
        fail(where.at(*failingNode), "'failing' needs outcome = \"fails\"");
    }
}

Scenario readScenario(const toml::table& root) {
    const Where where;
    allowOnly(root, where,
              {"name", "description", "aircraft", "frame_rate", "visual_frame_rate", "command_latency_s",
               "command_delay_frames", "frame_jitter_s",
               "frame_jitter_seed", "duration", "parameters", "service_order", "start", "wind", "event",
               "expect", "phase", "outcome", "failing", "aircraft_scale", "logger", "pilot", "plant"});
    Scenario scenario;
    scenario.name = text(root, "name", where).value_or("");
    scenario.description = text(root, "description", where).value_or("");
    scenario.aircraft = text(root, "aircraft", where).value_or(kDefaultAircraft);
    if (scenario.aircraft.empty()) {
        fail(where.at(*root.get("aircraft")), "aircraft must name an aircraft file");
    }
    scenario.plant = text(root, "plant", where).value_or("");
    if (const toml::node* plant = root.get("plant")) {
        if (scenario.plant.empty()) {
            fail(where.at(*plant), "plant must name a plant file");
        }
        if (root.get("aircraft") != nullptr) {
            fail(where.at(*plant), "plant and aircraft both name the helicopter: give one");
        }
    }
    if (const toml::table* scale = subTable(root, "aircraft_scale", where)) {
        scenario.aircraftScale = readAircraftScale(*scale, Where{"[aircraft_scale]", 0}.at(*scale));
    }
    if (std::optional<Read> frameRate = readNumber(root, "frame_rate", where)) {
        checkRange(frameRate->value, kFrameRateRange.lowest, kFrameRateRange.highest, frameRate->where,
                   "frame_rate");
        if (frameRate->value != std::floor(frameRate->value)) {
            fail(frameRate->where, "frame_rate must be a whole number of frames per second");
        }
        scenario.frameRate = static_cast<int>(frameRate->value);
    }
    if (std::optional<Read> visual = readNumber(root, "visual_frame_rate", where)) {
        checkRange(visual->value, kVisualRateRange.lowest, kVisualRateRange.highest, visual->where,
                   "visual_frame_rate");
        if (visual->value != std::floor(visual->value)) {
            fail(visual->where, "visual_frame_rate must be a whole number of frames per second");
        }
        scenario.visualFrameRate = static_cast<int>(visual->value);
    }
    // The panel is updated on visual frames, at most once on each.
    if (scenario.visualFrameRate < scenario.frameRate) {
        fail(where.at(root.get("visual_frame_rate") != nullptr ? *root.get("visual_frame_rate")
                                                               : *root.get("frame_rate")),
             "visual_frame_rate (" + std::to_string(scenario.visualFrameRate)
                 + ") must be at least frame_rate (" + std::to_string(scenario.frameRate)
                 + "): the panel is updated on visual frames");
    }
    if (std::optional<Read> latency = readNumber(root, "command_latency_s", where)) {
        checkRange(latency->value, 0.0, kLatencyPanelFrames / scenario.frameRate, latency->where,
                   "command_latency_s");
        scenario.commandLatencyS = latency->value;
    }
    if (std::optional<Read> delay = readNumber(root, "command_delay_frames", where)) {
        checkRange(delay->value, kCommandDelayRange.lowest, kCommandDelayRange.highest, delay->where,
                   "command_delay_frames");
        if (delay->value != std::floor(delay->value)) {
            fail(delay->where, "command_delay_frames must be 0, 1 or 2");
        }
        scenario.commandDelayFrames = static_cast<int>(delay->value);
        if (scenario.commandDelayFrames > 0 && scenario.commandLatencyS) {
            fail(delay->where, "command_delay_frames and command_latency_s both set the command's "
                               "latency: give one");
        }
    }
    // A frame may come early or late by less than half a frame, so that the
    // frames keep their order and none has a length of 0 or less.
    if (std::optional<Read> jitter = readNumber(root, "frame_jitter_s", where)) {
        checkRange(jitter->value, 0.0, kJitterFrameShare / scenario.visualFrameRate, jitter->where,
                   "frame_jitter_s");
        scenario.frameJitterS = jitter->value;
    }
    if (std::optional<Read> seed = readNumber(root, "frame_jitter_seed", where)) {
        checkRange(seed->value, kSeedRange.lowest, kSeedRange.highest, seed->where, "frame_jitter_seed");
        if (seed->value != std::floor(seed->value)) {
            fail(seed->where, "frame_jitter_seed must be a whole number");
        }
        scenario.frameJitterSeed = static_cast<uint64_t>(seed->value);
    }
    scenario.duration = number(root, "duration", where, kDurationRange, scenario.duration);
    scenario.parameters = text(root, "parameters", where).value_or("");
    if (const toml::table* logger = subTable(root, "logger", where)) {
        scenario.logger = readLogger(*logger, Where{"[logger]", 0}.at(*logger));
    }
    if (const toml::table* pilot = subTable(root, "pilot", where)) {
        scenario.pilot = readPilot(*pilot, Where{"[pilot]", 0}.at(*pilot));
    }
    const std::string order = text(root, "service_order", where).value_or("install_then_connect");
    if (order == "connect_then_install") {
        scenario.serviceOrder = ServiceOrder::kConnectThenInstall;
    } else if (order != "install_then_connect") {
        fail(where.at(*root.get("service_order")),
             "service_order must be install_then_connect or connect_then_install");
    }
    if (const toml::table* start = subTable(root, "start", where)) {
        scenario.start = readStart(*start, Where{"[start]", 0}.at(*start));
    }
    std::vector<Where> gustPlaces;
    if (const toml::table* wind = subTable(root, "wind", where)) {
        const Where place = Where{"[wind]", 0}.at(*wind);
        scenario.wind = readWind(*wind, place);
        eachTable(*wind, "gusts", place, kMaxGusts,
                  [&](const toml::table&, const Where& p) { gustPlaces.push_back(p); });
    }
    std::vector<Where> eventPlaces, phasePlaces, expectPlaces;
    eachTable(root, "event", where, kMaxEvents, [&](const toml::table& t, const Where& place) {
        scenario.events.push_back(readEvent(t, place, scenario.logger.has_value()));
        eventPlaces.push_back(place);
    });
    eachTable(root, "expect", where, kMaxExpectations, [&](const toml::table& t, const Where& place) {
        scenario.expectations.push_back(readExpectation(t, place));
        expectPlaces.push_back(place);
    });
    eachTable(root, "phase", where, kMaxPhases, [&](const toml::table& t, const Where& place) {
        scenario.phases.push_back(readPhase(t, place));
        phasePlaces.push_back(place);
    });
    checkWithinRun(scenario, eventPlaces, gustPlaces, phasePlaces, expectPlaces);
    readOutcome(root, where, scenario);
    // Events at one moment run in the order written.
    std::stable_sort(scenario.events.begin(), scenario.events.end(),
                     [](const TimedEvent& a, const TimedEvent& b) { return a.at < b.at; });
    if (scenario.phases.empty()) {
        scenario.phases.push_back(PhaseSetting{"whole run", 0.0, kEndOfRun, std::nullopt});
    }
    return scenario;
}

std::string seconds(double t) {
    std::ostringstream out;
    out << t << " s";
    return out.str();
}

std::string window(const Expectation& e) {
    if (e.from == e.to) {
        return "at " + seconds(e.from);
    }
    std::string text = "from " + seconds(e.from);
    text += std::isinf(e.to) ? " to the end" : " to " + seconds(e.to);
    return text;
}

std::string amount(double value, const char* unit) {
    std::ostringstream out;
    out << value << " " << unit;
    return out.str();
}

}  // namespace

std::string scenarioFormatHelp() {
    const auto r = [](const Range& range) {
        return numberText(range.lowest) + ".." + numberText(range.highest);
    };
    const auto n = [](size_t count) { return std::to_string(count); };
    return R"(SCENARIO FILES (TOML)
  A regular file of at most )"
           + n(kMaxScenarioBytes / 1024) + R"( KiB. Every number is refused outside the
  range given here; times are s of host time within the run (0..duration).
  name = "..."  description = "..."      shown in the summary
  aircraft = "bo105"                     the helicopter: a name (aircraft/<name>.toml,
                 looked up beside hoversim, then in ../aircraft/ from the
                 scenario's folder) or a path relative to the scenario's folder;
                 default "bo105", the Bo-105 class. --aircraft overrides it.
  plant = "fit.toml"                     instead of aircraft: a plant file (the hover
                 model hoverident identified), a path relative to the scenario's
                 folder, flown as a linear aircraft. --plant overrides it.
  frame_rate = 18                        panel updates (the module's service calls) per
                 second, whole, )"
           + r(kFrameRateRange) + R"(
  visual_frame_rate = 30                 visual frames per second, whole, )"
           + r(kVisualRateRange) + R"(, at least
                 frame_rate: the flight model steps once a visual frame and the
                 panel is updated on the first frame at or after each of its
                 own ticks, so the time between updates is a whole number of
                 visual frames (at 30: 67, 67, 33 ms, ...)
  command_latency_s = 0.0333             s from a panel update until its axis events
                 move the controls in the flight model, 0..2 panel frames
                 (2 / frame_rate); default one visual frame, the host's own
  command_delay_frames = 0               0 (default: the latency applies), or 1 or 2:
                 the controls move only at that later panel update, one or two
                 whole panel frames (the pessimistic bound). Not with
                 command_latency_s. The host's own control table (the position
                 readings) moves at once.
  frame_jitter_s = 0.005                 each visual frame lasts 1 / visual_frame_rate
                 plus a uniform random amount within +-this (s, below half a
                 visual frame; default 0); the flight model flies it and the
                 time reading shows it
  frame_jitter_seed = 1                  seed of that random sequence
  duration = 90                          seconds of host time, )"
           + r(kDurationRange) + R"(
  parameters = "KprUp 1.5"               the panel's parameter string for the gauge
  service_order = "install_then_connect"  the simulator's order of the first two
                 service calls; "connect_then_install" is the other one. The
                 panel's gain factors hold in either order.
  outcome = "holds"                      what the file's own run ends in (its aircraft,
                 delay and string; no overrides): "holds" (default), every
                 expectation held, or "fails", exactly the expectations named in
  failing = ["heading drift under 5 deg from 35 s to 140 s", ...]
                 failed, each named as the summary shows it. The exit status
                 stays the run's (1 when one fails); the test runner passes
                 such a scenario only on status 1 with exactly these FAIL lines.

  [start]      the helicopter starts trimmed in steady flight:
    height_ft = 100 ()"
           + r(kStartHeightRange) + R"()  ground_speed_kt = 5 ()" + r(kStartSpeedRange) + R"()
    track_deg = 30  heading_deg = 0      )"
           + r(kDirectionRange) + R"(
    elevator / aileron / rudder / throttle = ...   pilot's control positions
                 (host axis units: )"
           + r(kCyclicPedalRange) + R"(, throttle )" + r(kCollectiveRange) + R"()
                 instead of the trim; absent ones stay trimmed.
                 The pilot leaves the controls where they are until told.
  [logger]     the logging gauge (hoverlog) on the panel beside the hover gauge;
               absent: the panel holds the hover gauge alone
    parameters = "elevator=600 sweep_s=30"   its gauge line's parameter string;
                 hoversim --log-dir DIR adds folder=DIR (default: the
                 working directory). The host serves the hover gauge first,
                 then the logger, in every panel update.
  [pilot]      a pilot flying by hand (meant for flights with the hold off): he
               holds the hover over the start point from what the host's
               tokens show, a reaction time late, moving the controls by axis
               events at panel updates. He flies every axis, the one the
               logger excites too, moving each control from where it stands
               by the change of his correction, so the logger's input stays
               on top of his hand. A model, not any real pilot.
    holds_hover = true                   he flies (default false: nobody does)
    reaction_s = 0.2                     s, )" + r(kReactionRange) + R"(
    attitude_counts_per_deg = 400        cyclic counts per deg of pitch or bank error
    attitude_rate_counts_per_deg_s = 150 cyclic counts per deg/s of attitude rate
    speed_deg_per_kt = 1.5               deg of attitude wanted per kt of drift error
    position_kt_per_ft = 0.1             kt of drift wanted per ft from the start point
    heading_counts_per_deg = 100         pedal counts per deg of heading error
    yaw_rate_counts_per_deg_s = 100      pedal counts per deg/s of yaw rate
    climb_counts_per_ft_s = 300          collective counts per ft/s of climb error
    height_ft_s_per_ft = 0.3             ft/s of climb wanted per ft of height error
                 gains )" + r(kPilotGainRange) + R"(
    max_move_counts = 250                counts, the most he moves a control in one update,
                 )" + r(kPilotMoveRange) + R"(; keep it below the logger's dead_band, or
                 his corrections end its inputs
  [aircraft_scale]  the aircraft as it may really be: factors on its file's figures,
    inertia = 1.2  control_power = 0.8  rotor_damping = 1  tail_rotor = 0.9   each )"
           + r(kAircraftScaleRange) + R"(, 1 if absent
                 (moments of inertia; blade angle per cyclic axis unit; the blades'
                 flap inertia, with which the rotor's damping of pitch and roll goes;
                 the tail rotor's thrust per degree)
  [wind]
    from_deg = 270 ()"
           + r(kDirectionRange) + R"()  speed_kt = 15 ()" + r(kWindSpeedRange) + R"()
    turbulence = "none" | "light" | "moderate" | "severe" | W20 in kt ()"
           + r(kTurbulenceRange) + R"()
    seed = 7                             same seed, same turbulence; whole, )"
           + r(kSeedRange) + R"(
    [[wind.gusts]]  at = 30  duration = 3  speed_kt = 10  from_deg = 300
                    1-cosine gust; 'at' in simulated time (stands still while
                    paused); duration )"
           + r(kGustLengthRange) + R"(, speed_kt )" + r(kGustSpeedRange) + R"(;
                    at most )"
           + n(kMaxGusts) + R"( gusts

  [[event]]    at = <s of host time>, then one or more of (applied in this order):
    pause = true | false                 simulation time stands still / runs again;
                                         the host keeps calling the gauge every frame
    failure21 = true | false             the panel-lights failure
    rotor_percent = 15                   rotor speed set at once and governed there, )"
           + r(kRotorRange) + R"(
    engine_power = 0                     share of the engines' power, )"
           + r(kEnginePowerRange) + R"(; short
                                         of power the rotor speed droops
    controls = { elevator = 0, aileron = 0, rudder = 0, throttle = 9000 }
                                         the pilot moves the controls (ranges as in [start])
    stick = { forward = 0.5, right = 0, twist = 0, z = 0, height_up = false,
              height_down = false }      the pilot's joystick, axes )"
           + r(kStickRange) + R"(
    click = "<area>"                     left click on the gauge's face; "log:<area>"
                                         on the logger's (with [logger])
    hold = "<area>", for = 20            button held down on an area for 'for' > 0 s;
                                         areas with the repeat bit are called 10
                                         times a second
    at most )"
           + n(kMaxEvents) + R"( events
  areas: )" + areaNames()
           + R"(
  logger areas: )" + loggerAreas() + R"( (log:record toggles recording,
         log:excite plays the next designed input)
         (engaging takes three clicks: power, guard, engage)

  [[expect]]   check = "<kind>", from = <s>, to = <s> (default: the end), or at = <s>
    engaged / not_engaged                the hold drives the axes in every / no frame
    engaged_at                           the hold drives the axes at the window's end
    height_within, ft = 2, target_ft = 100   (target: the gauge's own when absent)
    ground_speed_below, kt = 1  /  ground_speed_above, kt = 1
    heading_drift_below, deg = 5         against the heading at the window's start,
                                         counted through full turns (a spin is 360+)
    position_within, ft = 3              distance from the window's first point
    pitch_within, deg = 12  /  bank_within, deg = 5
    pitch_guard_fired / pitch_guard_quiet    the guard overrode the elevator / never did
    target_height, ft = 300              the gauge shows this target height ()"
           + r(kTargetHeightRange) + R"()
    bounds ft / kt / deg )"
           + r(kLimitRange) + R"(; target_ft )" + r(kHeightRange) + R"(; at most )" + n(kMaxExpectations)
           + R"(
    expectations

  [[phase]]    name = "hold", from = 40, to = 90, target_ft = 100 ()"
           + r(kHeightRange) + R"()
               summary rows; one phase "whole run" when none is given;
               at most )"
           + n(kMaxPhases) + R"( phases
)";
}

HostLoop Scenario::loop() const {
    HostLoop loop;
    loop.panelRate = frameRate;
    loop.visualRate = visualFrameRate;
    loop.latencyS = commandLatencyS.value_or(1.0 / visualFrameRate);
    loop.delayUpdates = commandDelayFrames;
    return loop;
}

bool Scenario::usesStick() const {
    return std::any_of(events.begin(), events.end(), [](const TimedEvent& e) { return e.stick.has_value(); });
}

std::optional<Scenario> parseScenario(const std::string& textIn, const std::string& sourceName,
                                      std::string& error) {
    const auto place = [&sourceName](int line) {
        return line > 0 ? sourceName + ":" + std::to_string(line) : sourceName;
    };
    try {
        toml::table root = toml::parse(textIn, sourceName);
        Scenario scenario = readScenario(root);
        const std::size_t slash = sourceName.find_last_of("/\\");
        scenario.aircraftBase = slash == std::string::npos ? std::string() : sourceName.substr(0, slash);
        if (scenario.name.empty()) {
            std::string base = sourceName.substr(sourceName.find_last_of("/\\") + 1);
            scenario.name = base.substr(0, base.rfind('.'));
        }
        return scenario;
    } catch (const toml::parse_error& e) {
        std::string description(e.description());
        std::replace(description.begin(), description.end(), '\n', ' ');
        error = place(static_cast<int>(e.source().begin.line)) + ": " + description;
    } catch (const ScenarioError& e) {
        error = place(e.line) + ": " + e.message;
    }
    return std::nullopt;
}

std::optional<Scenario> loadScenario(const std::string& path, std::string& error) {
    // Look before opening: opening a FIFO waits for a writer, and a device
    // such as /dev/zero never ends.
    std::error_code code;
    const std::filesystem::file_status status = std::filesystem::status(path, code);
    if (code || !std::filesystem::exists(status)) {
        error = path + ": no such file";
        return std::nullopt;
    }
    if (!std::filesystem::is_regular_file(status)) {
        error = path + ": not a regular file";
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot read";
        return std::nullopt;
    }
    // Read at most one byte past the cap, so a file that grows while it is
    // read is refused rather than followed.
    std::string contents(kMaxScenarioBytes + 1, '\0');
    file.read(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (file.bad()) {
        error = path + ": cannot read";
        return std::nullopt;
    }
    contents.resize(static_cast<size_t>(file.gcount()));
    if (contents.size() > kMaxScenarioBytes) {
        error = path + ": larger than " + std::to_string(kMaxScenarioBytes / 1024) + " KiB";
        return std::nullopt;
    }
    return parseScenario(contents, path, error);
}

std::string describe(const Expectation& e) {
    switch (e.check) {
    case Check::kEngaged:
        return "engaged " + window(e);
    case Check::kNotEngaged:
        return "not engaged " + window(e);
    case Check::kEngagedAtEnd:
        return "engaged " + window(e);
    case Check::kHeightWithin:
        return "height within " + amount(e.limit, "ft") + " of "
               + (e.targetFt ? amount(*e.targetFt, "ft") : std::string("the target")) + " " + window(e);
    case Check::kGroundSpeedBelow:
        return "ground speed under " + amount(e.limit, "kt") + " " + window(e);
    case Check::kGroundSpeedAbove:
        return "ground speed over " + amount(e.limit, "kt") + " " + window(e);
    case Check::kHeadingDriftBelow:
        return "heading drift under " + amount(e.limit, "deg") + " " + window(e);
    case Check::kPositionWithin:
        return "position within " + amount(e.limit, "ft") + " " + window(e);
    case Check::kPitchWithin:
        return "pitch within " + amount(e.limit, "deg") + " " + window(e);
    case Check::kPitchGuardFired:
        return "pitch guard fired " + window(e);
    case Check::kPitchGuardQuiet:
        return "pitch guard quiet " + window(e);
    case Check::kTargetHeightIs:
        return "target height " + amount(e.limit, "ft") + " " + window(e);
    case Check::kBankWithin:
        return "bank within " + amount(e.limit, "deg") + " " + window(e);
    }
    return {};
}

}  // namespace host
