// SPDX-License-Identifier: MIT
#include "sim/host/scenario.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string_view>

#include <toml++/toml.h>

#include "sim/host/mouse.h"

namespace host {

namespace {

// A scenario error: thrown while reading, caught at the top.
struct ScenarioError {
    std::string message;
};

[[noreturn]] void fail(const std::string& where, const std::string& message) {
    throw ScenarioError{where + ": " + message};
}

std::string at(const std::string& where, const toml::node& node) {
    const toml::source_region& source = node.source();
    if (source.begin.line == 0) {
        return where;
    }
    return where + " (line " + std::to_string(source.begin.line) + ")";
}

void allowOnly(const toml::table& table, const std::string& where,
               std::initializer_list<std::string_view> keys) {
    for (auto&& [key, value] : table) {
        if (std::find(keys.begin(), keys.end(), key.str()) == keys.end()) {
            std::string known;
            for (std::string_view k : keys) {
                known += known.empty() ? "" : ", ";
                known += k;
            }
            fail(at(where, value), "unknown key '" + std::string(key.str()) + "' (known: " + known + ")");
        }
    }
}

std::optional<double> number(const toml::table& table, std::string_view key, const std::string& where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    if (!node->is_number()) {
        fail(at(where, *node), "'" + std::string(key) + "' must be a number");
    }
    const double value = node->value<double>().value_or(0.0);
    if (!std::isfinite(value)) {
        fail(at(where, *node), "'" + std::string(key) + "' must be finite");
    }
    return value;
}

double number(const toml::table& table, std::string_view key, const std::string& where, double fallback) {
    return number(table, key, where).value_or(fallback);
}

double requiredNumber(const toml::table& table, std::string_view key, const std::string& where) {
    std::optional<double> value = number(table, key, where);
    if (!value) {
        fail(where, "'" + std::string(key) + "' is required");
    }
    return *value;
}

std::optional<bool> boolean(const toml::table& table, std::string_view key, const std::string& where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    if (!node->is_boolean()) {
        fail(at(where, *node), "'" + std::string(key) + "' must be true or false");
    }
    return node->value<bool>();
}

std::optional<std::string> text(const toml::table& table, std::string_view key, const std::string& where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    if (!node->is_string()) {
        fail(at(where, *node), "'" + std::string(key) + "' must be a string");
    }
    return node->value<std::string>();
}

const toml::table* subTable(const toml::table& table, std::string_view key, const std::string& where) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return nullptr;
    }
    if (!node->is_table()) {
        fail(at(where, *node), "'" + std::string(key) + "' must be a table");
    }
    return node->as_table();
}

// Each entry of an array of tables, with its place for messages.
template <typename Visit>
void eachTable(const toml::table& table, std::string_view key, const std::string& where, Visit visit) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return;
    }
    const toml::array* array = node->as_array();
    if (array == nullptr) {
        fail(at(where, *node), "'" + std::string(key) + "' must be an array of tables ([[" +
                                   std::string(key) + "]])");
    }
    int index = 0;
    for (const toml::node& element : *array) {
        ++index;
        const std::string place = std::string(key) + " #" + std::to_string(index);
        if (!element.is_table()) {
            fail(at(place, element), "must be a table");
        }
        visit(*element.as_table(), at(place, element));
    }
}

void checkRange(double value, double lowest, double highest, const std::string& where,
                const std::string& what) {
    if (value < lowest || value > highest) {
        std::ostringstream message;
        message << what << " " << value << " is outside " << lowest << " .. " << highest;
        fail(where, message.str());
    }
}

std::string areaName(const std::string& name, const std::string& where) {
    if (!pointOf(name)) {
        fail(where, "no click area '" + name + "' (areas: " + areaNames() + ")");
    }
    return name;
}

double turbulenceW20(const toml::table& wind, const std::string& where) {
    const toml::node* node = wind.get("turbulence");
    if (node == nullptr) {
        return 0.0;
    }
    if (node->is_number()) {
        const double value = node->value<double>().value_or(0.0);
        checkRange(value, 0.0, 90.0, where, "turbulence (wind at 20 ft, kt)");
        return value;
    }
    const std::string name = node->value<std::string>().value_or("");
    if (name == "none") return 0.0;
    if (name == "light") return 15.0;
    if (name == "moderate") return 30.0;
    if (name == "severe") return 45.0;
    fail(at(where, *node), "turbulence must be none, light, moderate, severe or a number (kt)");
}

StartState readStart(const toml::table& table, const std::string& where) {
    allowOnly(table, where,
              {"height_ft", "ground_speed_kt", "track_deg", "heading_deg", "elevator", "aileron",
               "rudder", "throttle"});
    StartState start;
    start.heightFt = number(table, "height_ft", where, start.heightFt);
    start.groundSpeedKt = number(table, "ground_speed_kt", where, 0.0);
    start.trackDeg = number(table, "track_deg", where, 0.0);
    start.headingDeg = number(table, "heading_deg", where, 0.0);
    start.elevator = number(table, "elevator", where);
    start.aileron = number(table, "aileron", where);
    start.rudder = number(table, "rudder", where);
    start.throttle = number(table, "throttle", where);
    checkRange(start.heightFt, 1.0, 5000.0, where, "height_ft");
    checkRange(start.groundSpeedKt, 0.0, 120.0, where, "ground_speed_kt");
    return start;
}

WindSetting readWind(const toml::table& table, const std::string& where) {
    allowOnly(table, where, {"from_deg", "speed_kt", "turbulence", "seed", "gusts"});
    WindSetting wind;
    wind.fromDeg = number(table, "from_deg", where, 0.0);
    wind.speedKt = number(table, "speed_kt", where, 0.0);
    checkRange(wind.speedKt, 0.0, 80.0, where, "speed_kt");
    wind.turbulenceW20Kt = turbulenceW20(table, where);
    const double seed = number(table, "seed", where, 1.0);
    checkRange(seed, 0.0, 4294967295.0, where, "seed");
    wind.seed = static_cast<uint64_t>(seed);
    eachTable(table, "gusts", where, [&](const toml::table& gust, const std::string& place) {
        allowOnly(gust, place, {"at", "duration", "speed_kt", "from_deg"});
        GustSetting setting;
        setting.at = requiredNumber(gust, "at", place);
        setting.duration = number(gust, "duration", place, setting.duration);
        setting.speedKt = requiredNumber(gust, "speed_kt", place);
        setting.fromDeg = number(gust, "from_deg", place);
        checkRange(setting.duration, 0.1, 600.0, place, "duration");
        checkRange(setting.speedKt, -80.0, 80.0, place, "speed_kt");
        wind.gusts.push_back(setting);
    });
    return wind;
}

TimedEvent readEvent(const toml::table& table, const std::string& where) {
    allowOnly(table, where,
              {"at", "pause", "failure21", "rotor_percent", "engine_power", "controls", "stick", "click", "hold", "for"});
    TimedEvent event;
    event.at = requiredNumber(table, "at", where);
    if (event.at < 0.0) {
        fail(where, "'at' must not be negative");
    }
    event.pause = boolean(table, "pause", where);
    event.failure21 = boolean(table, "failure21", where);
    event.rotorPercent = number(table, "rotor_percent", where);
    if (event.rotorPercent) {
        checkRange(*event.rotorPercent, 0.0, 120.0, where, "rotor_percent");
    }
    event.enginePower = number(table, "engine_power", where);
    if (event.enginePower) {
        checkRange(*event.enginePower, 0.0, 1.5, where, "engine_power");
    }
    if (const toml::table* controls = subTable(table, "controls", where)) {
        allowOnly(*controls, where + " controls", {"elevator", "aileron", "rudder", "throttle"});
        ControlChange change;
        change.elevator = number(*controls, "elevator", where);
        change.aileron = number(*controls, "aileron", where);
        change.rudder = number(*controls, "rudder", where);
        change.throttle = number(*controls, "throttle", where);
        event.controls = change;
    }
    if (const toml::table* stick = subTable(table, "stick", where)) {
        allowOnly(*stick, where + " stick",
                  {"forward", "right", "twist", "z", "height_up", "height_down"});
        StickChange change;
        change.forward = number(*stick, "forward", where);
        change.right = number(*stick, "right", where);
        change.twist = number(*stick, "twist", where);
        change.z = number(*stick, "z", where);
        change.heightUp = boolean(*stick, "height_up", where);
        change.heightDown = boolean(*stick, "height_down", where);
        for (const std::optional<double>* axis : {&change.forward, &change.right, &change.twist, &change.z}) {
            if (*axis) {
                checkRange(**axis, -1.0, 1.0, where, "stick axis");
            }
        }
        event.stick = change;
    }
    if (std::optional<std::string> click = text(table, "click", where)) {
        event.click = areaName(*click, where);
    }
    if (std::optional<std::string> hold = text(table, "hold", where)) {
        event.hold = areaName(*hold, where);
        event.holdFor = requiredNumber(table, "for", where);
        if (event.holdFor <= 0.0) {
            fail(where, "'for' must be positive");
        }
    } else if (table.contains("for")) {
        fail(where, "'for' belongs to 'hold'");
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
};

std::string checkNames() {
    std::string names;
    for (const CheckName& entry : kChecks) {
        names += names.empty() ? "" : ", ";
        names += entry.name;
    }
    return names;
}

Expectation readExpectation(const toml::table& table, const std::string& where) {
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
    expectation.from = number(table, "from", where, 0.0);
    expectation.to = number(table, "to", where, kEndOfRun);
    if (std::optional<double> moment = number(table, "at", where)) {
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
        expectation.limit = requiredNumber(table, entry->limitKey, where);
    }
    expectation.targetFt = number(table, "target_ft", where);
    if (expectation.targetFt && expectation.check != Check::kHeightWithin) {
        fail(where, "'target_ft' belongs to check 'height_within'");
    }
    expectation.text = describe(expectation);
    return expectation;
}

PhaseSetting readPhase(const toml::table& table, const std::string& where) {
    allowOnly(table, where, {"name", "from", "to", "target_ft"});
    PhaseSetting phase;
    phase.name = text(table, "name", where).value_or("phase");
    phase.from = number(table, "from", where, 0.0);
    phase.to = number(table, "to", where, kEndOfRun);
    phase.targetFt = number(table, "target_ft", where);
    if (phase.to <= phase.from) {
        fail(where, "'to' must lie after 'from'");
    }
    return phase;
}

Scenario readScenario(const toml::table& root, const std::string& where) {
    allowOnly(root, where,
              {"name", "description", "aircraft", "frame_rate", "duration", "parameters", "service_order", "start",
               "wind", "event", "expect", "phase"});
    Scenario scenario;
    scenario.name = text(root, "name", where).value_or("");
    scenario.description = text(root, "description", where).value_or("");
    scenario.aircraft = text(root, "aircraft", where).value_or(kDefaultAircraft);
    if (scenario.aircraft.empty()) {
        fail(where, "aircraft must name an aircraft file");
    }
    const double frameRate = number(root, "frame_rate", where, 18.0);
    checkRange(frameRate, 18.0, 60.0, where, "frame_rate");
    if (frameRate != std::floor(frameRate)) {
        fail(where, "frame_rate must be a whole number of frames per second");
    }
    scenario.frameRate = static_cast<int>(frameRate);
    scenario.duration = number(root, "duration", where, 60.0);
    checkRange(scenario.duration, 0.1, 36000.0, where, "duration");
    scenario.parameters = text(root, "parameters", where).value_or("");
    const std::string order = text(root, "service_order", where).value_or("install_then_connect");
    if (order == "connect_then_install") {
        scenario.serviceOrder = ServiceOrder::kConnectThenInstall;
    } else if (order != "install_then_connect") {
        fail(where, "service_order must be install_then_connect or connect_then_install");
    }
    if (const toml::table* start = subTable(root, "start", where)) {
        scenario.start = readStart(*start, "[start]");
    }
    if (const toml::table* wind = subTable(root, "wind", where)) {
        scenario.wind = readWind(*wind, "[wind]");
    }
    eachTable(root, "event", where, [&](const toml::table& t, const std::string& place) {
        scenario.events.push_back(readEvent(t, place));
    });
    // Events at one moment run in the order written.
    std::stable_sort(scenario.events.begin(), scenario.events.end(),
                     [](const TimedEvent& a, const TimedEvent& b) { return a.at < b.at; });
    eachTable(root, "expect", where, [&](const toml::table& t, const std::string& place) {
        scenario.expectations.push_back(readExpectation(t, place));
    });
    eachTable(root, "phase", where, [&](const toml::table& t, const std::string& place) {
        scenario.phases.push_back(readPhase(t, place));
    });
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
    return R"(SCENARIO FILES (TOML)
  name = "..."  description = "..."      shown in the summary
  aircraft = "bo105"                     the helicopter: a name (aircraft/<name>.toml,
                 looked up beside hoversim, then in ../aircraft/ from the
                 scenario's folder) or a path relative to the scenario's folder;
                 default "bo105", the Bo-105 class. --aircraft overrides it.
  frame_rate = 18                        host frames per second, 18..60
  duration = 90                          seconds of host time
  parameters = "KprUp 1.5"               the panel's parameter string for the gauge
  service_order = "install_then_connect"  the simulator's order of the first two
                 service calls; "connect_then_install" is the other one. The
                 panel's gain factors hold in either order.

  [start]      the helicopter starts trimmed in steady flight:
    height_ft = 100  ground_speed_kt = 5  track_deg = 30  heading_deg = 0
    elevator / aileron / rudder / throttle = ...   pilot's control positions
                 (host axis units) instead of the trim; absent ones stay trimmed.
                 The pilot leaves the controls where they are until told.
  [wind]
    from_deg = 270  speed_kt = 15
    turbulence = "none" | "light" | "moderate" | "severe" | W20 in kt
    seed = 7                             same seed, same turbulence
    [[wind.gusts]]  at = 30  duration = 3  speed_kt = 10  from_deg = 300
                    1-cosine gust; 'at' in simulated time (stands still while paused)

  [[event]]    at = <s of host time>, then any of (applied in this order):
    pause = true | false                 simulation time stands still / runs again;
                                         the host keeps calling the gauge every frame
    failure21 = true | false             the panel-lights failure
    rotor_percent = 15                   rotor speed set at once and governed there
    engine_power = 0                     share of the engines' power; short of power
                                         the rotor speed droops
    controls = { elevator = 0, aileron = 0, rudder = 0, throttle = 9000 }
                                         the pilot moves the controls (host axis units)
    stick = { forward = 0.5, right = 0, twist = 0, z = 0, height_up = false,
              height_down = false }      the pilot's joystick, axes -1..1
    click = "<area>"                     left click on the gauge's face
    hold = "<area>", for = 20            button held down on an area; areas with
                                         the repeat bit are called 10 times a second
  areas: )" + areaNames() + R"(
         (engaging takes three clicks: power, guard, engage)

  [[expect]]   check = "<kind>", from = <s>, to = <s> (default: the end), or at = <s>
    engaged / not_engaged                the hold drives the axes in every / no frame
    engaged_at                           the hold drives the axes at the window's end
    height_within, ft = 2, target_ft = 100   (target: the gauge's own when absent)
    ground_speed_below, kt = 1  /  ground_speed_above, kt = 1
    heading_drift_below, deg = 5         against the heading at the window's start
    position_within, ft = 3              distance from the window's first point
    pitch_within, deg = 12
    pitch_guard_fired / pitch_guard_quiet    the guard overrode the elevator / never did
    target_height, ft = 300              the gauge shows this target height

  [[phase]]    name = "hold", from = 40, to = 90, target_ft = 100
               summary rows; one phase "whole run" when none is given
)";
}

bool Scenario::usesStick() const {
    return std::any_of(events.begin(), events.end(), [](const TimedEvent& e) { return e.stick.has_value(); });
}

std::optional<Scenario> parseScenario(const std::string& textIn, const std::string& sourceName,
                                      std::string& error) {
    try {
        toml::table root = toml::parse(textIn, sourceName);
        Scenario scenario = readScenario(root, sourceName);
        const std::size_t slash = sourceName.find_last_of("/\\");
        scenario.aircraftBase = slash == std::string::npos ? std::string() : sourceName.substr(0, slash);
        if (scenario.name.empty()) {
            std::string base = sourceName.substr(sourceName.find_last_of("/\\") + 1);
            scenario.name = base.substr(0, base.rfind('.'));
        }
        return scenario;
    } catch (const toml::parse_error& e) {
        std::ostringstream message;
        message << sourceName << " (line " << e.source().begin.line << "): " << e.description();
        error = message.str();
    } catch (const ScenarioError& e) {
        error = sourceName + ": " + e.message;
    }
    return std::nullopt;
}

std::optional<Scenario> loadScenario(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    return parseScenario(contents.str(), path, error);
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
        return "height within " + amount(e.limit, "ft") + " of " +
               (e.targetFt ? amount(*e.targetFt, "ft") : std::string("the target")) + " " + window(e);
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
    }
    return {};
}

}  // namespace host
