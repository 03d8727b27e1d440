// SPDX-License-Identifier: MIT
#include "sim/flight/aircraft_file.h"

#include <toml++/toml.h>

#include <array>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

namespace flight {

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;
constexpr double kKilo = 1000.0;

// One number in the file: where it stands, the unit it must be written in,
// the factor from that unit to the model's SI field, and the values a
// helicopter can have. The limits are wide on purpose: they stop a slip of
// the pen (a sign, a factor of 1000, degrees for radians), not an unusual
// aircraft.
struct NumberKey {
    std::string_view table;
    std::string_view key;
    std::string_view unit;
    double Parameters::*field;
    double scale;
    double lo;
    double hi;
    bool zeroAllowed;  // lo itself is allowed (else the value must exceed it)
};

struct CountKey {
    std::string_view table;
    std::string_view key;
    int Parameters::*field;
    int lo;
    int hi;
};

using P = Parameters;

// clang-format off
constexpr std::array kNumbers{
    NumberKey{.table = "body", .key = "mass", .unit = "kg", .field = &P::mass, .scale = 1.0, .lo = 50.0, .hi = 1e5, .zeroAllowed = false},
    NumberKey{.table = "body", .key = "ixx", .unit = "kg m^2", .field = &P::ixx, .scale = 1.0, .lo = 0.0, .hi = 1e6, .zeroAllowed = false},
    NumberKey{.table = "body", .key = "iyy", .unit = "kg m^2", .field = &P::iyy, .scale = 1.0, .lo = 0.0, .hi = 1e6, .zeroAllowed = false},
    NumberKey{.table = "body", .key = "izz", .unit = "kg m^2", .field = &P::izz, .scale = 1.0, .lo = 0.0, .hi = 1e6, .zeroAllowed = false},
    NumberKey{.table = "body", .key = "ixz", .unit = "kg m^2", .field = &P::ixz, .scale = 1.0, .lo = -1e5, .hi = 1e5, .zeroAllowed = true},

    NumberKey{.table = "main_rotor", .key = "radius", .unit = "m", .field = &P::rotorRadius, .scale = 1.0, .lo = 0.5, .hi = 30.0, .zeroAllowed = false},
    NumberKey{.table = "main_rotor", .key = "speed", .unit = "rad/s", .field = &P::rotorSpeed, .scale = 1.0, .lo = 5.0, .hi = 200.0, .zeroAllowed = false},
    NumberKey{.table = "main_rotor", .key = "chord", .unit = "m", .field = &P::bladeChord, .scale = 1.0, .lo = 0.01, .hi = 3.0, .zeroAllowed = false},
    NumberKey{.table = "main_rotor", .key = "lift_slope", .unit = "1/rad", .field = &P::liftSlope, .scale = 1.0, .lo = 1.0, .hi = 7.0, .zeroAllowed = false},
    NumberKey{.table = "main_rotor", .key = "twist", .unit = "rad", .field = &P::twist, .scale = 1.0, .lo = -0.6, .hi = 0.2, .zeroAllowed = true},
    NumberKey{.table = "main_rotor", .key = "flap_inertia", .unit = "kg m^2", .field = &P::flapInertia, .scale = 1.0, .lo = 0.0, .hi = 1e5, .zeroAllowed = false},
    NumberKey{.table = "main_rotor", .key = "flap_stiffness", .unit = "N m/rad", .field = &P::hubStiffness, .scale = 1.0, .lo = 0.0, .hi = 1e7, .zeroAllowed = true},
    NumberKey{.table = "main_rotor", .key = "profile_drag_0", .unit = "-", .field = &P::profileDrag0, .scale = 1.0, .lo = 0.0, .hi = 0.1, .zeroAllowed = false},
    NumberKey{.table = "main_rotor", .key = "profile_drag_1", .unit = "1/rad", .field = &P::profileDrag1, .scale = 1.0, .lo = -1.0, .hi = 1.0, .zeroAllowed = true},
    NumberKey{.table = "main_rotor", .key = "profile_drag_2", .unit = "1/rad^2", .field = &P::profileDrag2, .scale = 1.0, .lo = 0.0, .hi = 10.0, .zeroAllowed = true},
    NumberKey{.table = "main_rotor", .key = "shaft_tilt", .unit = "rad", .field = &P::shaftTilt, .scale = 1.0, .lo = -0.3, .hi = 0.3, .zeroAllowed = true},
    NumberKey{.table = "main_rotor", .key = "hub_height", .unit = "m", .field = &P::hubHeight, .scale = 1.0, .lo = 0.0, .hi = 5.0, .zeroAllowed = false},
    NumberKey{.table = "main_rotor", .key = "hub_aft", .unit = "m", .field = &P::hubAft, .scale = 1.0, .lo = -2.0, .hi = 2.0, .zeroAllowed = true},
    NumberKey{.table = "main_rotor", .key = "polar_inertia", .unit = "kg m^2", .field = &P::rotorPolarInertia, .scale = 1.0, .lo = 0.0, .hi = 1e6, .zeroAllowed = false},
    NumberKey{.table = "main_rotor", .key = "induced_power_factor", .unit = "-", .field = &P::inducedPowerFactor, .scale = 1.0, .lo = 1.0, .hi = 2.0, .zeroAllowed = true},

    NumberKey{.table = "tail_rotor", .key = "radius", .unit = "m", .field = &P::tailRadius, .scale = 1.0, .lo = 0.1, .hi = 5.0, .zeroAllowed = false},
    NumberKey{.table = "tail_rotor", .key = "chord", .unit = "m", .field = &P::tailChord, .scale = 1.0, .lo = 0.01, .hi = 1.0, .zeroAllowed = false},
    NumberKey{.table = "tail_rotor", .key = "lift_slope", .unit = "1/rad", .field = &P::tailLiftSlope, .scale = 1.0, .lo = 1.0, .hi = 7.0, .zeroAllowed = false},
    NumberKey{.table = "tail_rotor", .key = "speed", .unit = "rad/s", .field = &P::tailSpeed, .scale = 1.0, .lo = 10.0, .hi = 1000.0, .zeroAllowed = false},
    NumberKey{.table = "tail_rotor", .key = "arm", .unit = "m", .field = &P::tailArm, .scale = 1.0, .lo = 0.5, .hi = 30.0, .zeroAllowed = false},
    NumberKey{.table = "tail_rotor", .key = "height", .unit = "m", .field = &P::tailHeight, .scale = 1.0, .lo = -3.0, .hi = 5.0, .zeroAllowed = true},

    NumberKey{.table = "fuselage", .key = "drag_area_x", .unit = "m^2", .field = &P::dragAreaX, .scale = 1.0, .lo = 0.0, .hi = 20.0, .zeroAllowed = false},
    NumberKey{.table = "fuselage", .key = "plan_area", .unit = "m^2", .field = &P::planArea, .scale = 1.0, .lo = 0.0, .hi = 100.0, .zeroAllowed = false},
    NumberKey{.table = "fuselage", .key = "side_area", .unit = "m^2", .field = &P::sideArea, .scale = 1.0, .lo = 0.0, .hi = 100.0, .zeroAllowed = false},
    NumberKey{.table = "fuselage", .key = "plan_drag_coefficient", .unit = "-", .field = &P::planDragCoefficient, .scale = 1.0, .lo = 0.0, .hi = 2.0, .zeroAllowed = true},
    NumberKey{.table = "fuselage", .key = "side_drag_coefficient", .unit = "-", .field = &P::sideDragCoefficient, .scale = 1.0, .lo = 0.0, .hi = 2.0, .zeroAllowed = true},

    NumberKey{.table = "stabiliser", .key = "area", .unit = "m^2", .field = &P::stabiliserArea, .scale = 1.0, .lo = 0.0, .hi = 10.0, .zeroAllowed = true},
    NumberKey{.table = "stabiliser", .key = "lift_slope", .unit = "1/rad", .field = &P::stabiliserLiftSlope, .scale = 1.0, .lo = 0.0, .hi = 7.0, .zeroAllowed = true},
    NumberKey{.table = "stabiliser", .key = "arm", .unit = "m", .field = &P::stabiliserArm, .scale = 1.0, .lo = 0.0, .hi = 30.0, .zeroAllowed = false},
    NumberKey{.table = "stabiliser", .key = "height", .unit = "m", .field = &P::stabiliserHeight, .scale = 1.0, .lo = -3.0, .hi = 5.0, .zeroAllowed = true},
    NumberKey{.table = "stabiliser", .key = "incidence", .unit = "rad", .field = &P::stabiliserIncidence, .scale = 1.0, .lo = -0.3, .hi = 0.3, .zeroAllowed = true},
    NumberKey{.table = "stabiliser", .key = "max_normal_coefficient", .unit = "-", .field = &P::stabiliserMaxNormal, .scale = 1.0, .lo = 0.0, .hi = 2.5, .zeroAllowed = false},
    NumberKey{.table = "stabiliser", .key = "wake_downwash_factor", .unit = "-", .field = &P::wakeDownwashFactor, .scale = 1.0, .lo = 0.0, .hi = 2.0, .zeroAllowed = true},

    NumberKey{.table = "fin", .key = "area", .unit = "m^2", .field = &P::finArea, .scale = 1.0, .lo = 0.0, .hi = 10.0, .zeroAllowed = true},
    NumberKey{.table = "fin", .key = "lift_slope", .unit = "1/rad", .field = &P::finLiftSlope, .scale = 1.0, .lo = 0.0, .hi = 7.0, .zeroAllowed = true},
    NumberKey{.table = "fin", .key = "arm", .unit = "m", .field = &P::finArm, .scale = 1.0, .lo = 0.0, .hi = 30.0, .zeroAllowed = false},
    NumberKey{.table = "fin", .key = "height", .unit = "m", .field = &P::finHeight, .scale = 1.0, .lo = -3.0, .hi = 5.0, .zeroAllowed = true},
    NumberKey{.table = "fin", .key = "incidence", .unit = "rad", .field = &P::finIncidence, .scale = 1.0, .lo = -0.3, .hi = 0.3, .zeroAllowed = true},
    NumberKey{.table = "fin", .key = "max_normal_coefficient", .unit = "-", .field = &P::finMaxNormal, .scale = 1.0, .lo = 0.0, .hi = 2.5, .zeroAllowed = false},

    NumberKey{.table = "engine", .key = "power_available", .unit = "kW", .field = &P::powerAvailable, .scale = kKilo, .lo = 1.0, .hi = 20000.0, .zeroAllowed = false},
    NumberKey{.table = "engine", .key = "time_constant", .unit = "s", .field = &P::engineTimeConstant, .scale = 1.0, .lo = 0.0, .hi = 10.0, .zeroAllowed = false},
    NumberKey{.table = "engine", .key = "governor_gain", .unit = "-", .field = &P::governorGain, .scale = 1.0, .lo = 0.0, .hi = 100.0, .zeroAllowed = true},

    NumberKey{.table = "skids", .key = "half_track", .unit = "m", .field = &P::skidHalfTrack, .scale = 1.0, .lo = 0.0, .hi = 5.0, .zeroAllowed = false},
    NumberKey{.table = "skids", .key = "forward", .unit = "m", .field = &P::skidForward, .scale = 1.0, .lo = 0.0, .hi = 10.0, .zeroAllowed = false},
    NumberKey{.table = "skids", .key = "aft", .unit = "m", .field = &P::skidAft, .scale = 1.0, .lo = 0.0, .hi = 10.0, .zeroAllowed = false},
    NumberKey{.table = "skids", .key = "depth", .unit = "m", .field = &P::skidDepth, .scale = 1.0, .lo = 0.0, .hi = 5.0, .zeroAllowed = false},
    NumberKey{.table = "skids", .key = "stiffness", .unit = "N/m", .field = &P::skidStiffness, .scale = 1.0, .lo = 0.0, .hi = 1e8, .zeroAllowed = false},
    NumberKey{.table = "skids", .key = "damping", .unit = "N s/m", .field = &P::skidDamping, .scale = 1.0, .lo = 0.0, .hi = 1e7, .zeroAllowed = true},
    NumberKey{.table = "skids", .key = "friction", .unit = "-", .field = &P::skidFriction, .scale = 1.0, .lo = 0.0, .hi = 2.0, .zeroAllowed = false},
    NumberKey{.table = "skids", .key = "stick_travel", .unit = "m", .field = &P::skidStickTravel, .scale = 1.0, .lo = 0.0, .hi = 1.0, .zeroAllowed = false},

    NumberKey{.table = "controls", .key = "collective_low", .unit = "deg", .field = &P::collectiveLow, .scale = kDeg, .lo = -10.0, .hi = 30.0, .zeroAllowed = true},
    NumberKey{.table = "controls", .key = "collective_high", .unit = "deg", .field = &P::collectiveHigh, .scale = kDeg, .lo = -10.0, .hi = 40.0, .zeroAllowed = true},
    NumberKey{.table = "controls", .key = "long_cyclic_range", .unit = "deg", .field = &P::longCyclicRange, .scale = kDeg, .lo = 0.0, .hi = 30.0, .zeroAllowed = false},
    NumberKey{.table = "controls", .key = "lat_cyclic_range", .unit = "deg", .field = &P::latCyclicRange, .scale = kDeg, .lo = 0.0, .hi = 30.0, .zeroAllowed = false},
    NumberKey{.table = "controls", .key = "swashplate_phase", .unit = "deg", .field = &P::cyclicPhase, .scale = kDeg, .lo = -90.0, .hi = 90.0, .zeroAllowed = true},
    NumberKey{.table = "controls", .key = "tail_pitch_centre", .unit = "deg", .field = &P::tailPitchCentre, .scale = kDeg, .lo = -30.0, .hi = 40.0, .zeroAllowed = true},
    NumberKey{.table = "controls", .key = "tail_pitch_range", .unit = "deg", .field = &P::tailPitchRange, .scale = kDeg, .lo = 0.0, .hi = 40.0, .zeroAllowed = false},

    NumberKey{.table = "actuators", .key = "collective_rate", .unit = "deg/s", .field = &P::collectiveRate, .scale = kDeg, .lo = 0.0, .hi = 1000.0, .zeroAllowed = false},
    NumberKey{.table = "actuators", .key = "long_cyclic_rate", .unit = "deg/s", .field = &P::longCyclicRate, .scale = kDeg, .lo = 0.0, .hi = 1000.0, .zeroAllowed = false},
    NumberKey{.table = "actuators", .key = "lat_cyclic_rate", .unit = "deg/s", .field = &P::latCyclicRate, .scale = kDeg, .lo = 0.0, .hi = 1000.0, .zeroAllowed = false},
    NumberKey{.table = "actuators", .key = "tail_pitch_rate", .unit = "deg/s", .field = &P::tailPitchRate, .scale = kDeg, .lo = 0.0, .hi = 1000.0, .zeroAllowed = false},

    // Optional: an aircraft without the table has no bar.
    NumberKey{.table = "stabiliser_bar", .key = "gain", .unit = "-", .field = &P::barGain, .scale = 1.0, .lo = 0.0, .hi = 2.0, .zeroAllowed = false},
    NumberKey{.table = "stabiliser_bar", .key = "time_constant", .unit = "s", .field = &P::barTimeConstant, .scale = 1.0, .lo = 0.0, .hi = 30.0, .zeroAllowed = false},
};

constexpr std::array kCounts{
    CountKey{.table = "main_rotor", .key = "blades", .field = &P::blades, .lo = 2, .hi = 8},
    CountKey{.table = "tail_rotor", .key = "blades", .field = &P::tailBlades, .lo = 2, .hi = 13},
};
// clang-format on

struct RotorTypeName {
    std::string_view name;
    RotorType type;
};
constexpr std::array kRotorTypes{
    RotorTypeName{.name = "hingeless", .type = RotorType::kHingeless},
    RotorTypeName{.name = "articulated", .type = RotorType::kArticulated},
    RotorTypeName{.name = "teetering", .type = RotorType::kTeetering},
};

// The one table an aircraft may leave out.
constexpr std::string_view kOptionalBar = "stabiliser_bar";
// The optional table of how well the figures are known: each key a
// fraction, the factor on the figures ranging over 1 -+ it.
constexpr std::string_view kUncertaintyTable = "uncertainty";
constexpr double kLargestSpread = 0.5;

struct AircraftError {
    std::string message;
};

class Reader {
public:
    Reader(const std::string& text, std::string sourceName) : source_(std::move(sourceName)) {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines_.push_back(line);
        }
    }

    [[noreturn]] void fail(const toml::node* node, std::string_view key, const std::string& message) const {
        const auto line = node != nullptr ? node->source().begin.line : 0;
        throw AircraftError{source_ + ":" + std::to_string(line) + ": " + std::string(key) + ": " + message};
    }

    // The comment on a value's line: "<unit>, <source>".
    void checkUnit(const toml::node& node, const std::string& key, std::string_view unit) const {
        const auto line = static_cast<std::size_t>(node.source().begin.line);
        const std::string text = line >= 1 && line <= lines_.size() ? lines_[line - 1] : std::string();
        const std::size_t hash = text.find('#');
        if (hash == std::string::npos) {
            fail(&node, key, "no comment giving the unit (" + std::string(unit) + ") and the source");
        }
        const std::string comment = trim(text.substr(hash + 1));
        const std::size_t comma = comment.find(',');
        const std::string written = trim(comment.substr(0, comma));
        if (written != unit) {
            fail(&node, key, "unit '" + written + "', expected '" + std::string(unit) + "'");
        }
        if (comma == std::string::npos || trim(comment.substr(comma + 1)).empty()) {
            fail(&node, key, "no source after the unit");
        }
    }

    AircraftDefinition read(const toml::table& root) const {
        AircraftDefinition definition;
        std::vector<std::string_view> known{"name", "rotor_type", kUncertaintyTable};
        for (const NumberKey& k : kNumbers) {
            addOnce(known, k.table);
        }
        for (auto&& [key, value] : root) {
            if (!contains(known, key.str())) {
                fail(&value, key.str(), "unknown key");
            }
        }
        const toml::node* name = root.get("name");
        if (name == nullptr || !name->is_string() || name->as_string()->get().empty()) {
            fail(name, "name", name == nullptr ? "missing" : "must be a non-empty string");
        }
        definition.name = name->as_string()->get();
        definition.parameters.rotorType = readRotorType(root);

        for (std::size_t t = 3; t < known.size(); ++t) {
            if (known[t] == kOptionalBar && root.get(kOptionalBar) == nullptr) {
                continue;
            }
            readTable(root, known[t], definition.parameters);
        }
        definition.parameters.hasStabiliserBar = root.get(kOptionalBar) != nullptr;
        checkTogether(root, definition.parameters);
        definition.uncertainty = readUncertainty(root);
        return definition;
    }

private:
    static std::string trim(const std::string& s) {
        const std::size_t b = s.find_first_not_of(" \t\r");
        if (b == std::string::npos) {
            return {};
        }
        const std::size_t e = s.find_last_not_of(" \t\r");
        return s.substr(b, e - b + 1);
    }

    static bool contains(const std::vector<std::string_view>& list, std::string_view s) {
        for (std::string_view x : list) {
            if (x == s) {
                return true;
            }
        }
        return false;
    }

    static void addOnce(std::vector<std::string_view>& list, std::string_view s) {
        if (!contains(list, s)) {
            list.push_back(s);
        }
    }

    RotorType readRotorType(const toml::table& root) const {
        const toml::node* node = root.get("rotor_type");
        std::string names;
        for (const RotorTypeName& t : kRotorTypes) {
            names += (names.empty() ? "" : ", ") + std::string(t.name);
        }
        if (node == nullptr) {
            fail(nullptr, "rotor_type", "missing (one of " + names + ")");
        }
        if (node->is_string()) {
            for (const RotorTypeName& t : kRotorTypes) {
                if (node->as_string()->get() == t.name) {
                    return t.type;
                }
            }
        }
        fail(node, "rotor_type", "must be one of " + names);
    }

    void readTable(const toml::table& root, std::string_view tableName, Parameters& p) const {
        const toml::node* node = root.get(tableName);
        if (node == nullptr || !node->is_table()) {
            fail(node, tableName, node == nullptr ? "missing table" : "must be a table");
        }
        const toml::table& table = *node->as_table();
        std::vector<std::string_view> known;
        for (const NumberKey& k : kNumbers) {
            if (k.table == tableName) {
                known.push_back(k.key);
            }
        }
        for (const CountKey& k : kCounts) {
            if (k.table == tableName) {
                known.push_back(k.key);
            }
        }
        for (auto&& [key, value] : table) {
            if (!contains(known, key.str())) {
                fail(&value, std::string(tableName) + "." + std::string(key.str()), "unknown key");
            }
        }
        for (const NumberKey& k : kNumbers) {
            if (k.table != tableName) {
                continue;
            }
            const std::string full = std::string(tableName) + "." + std::string(k.key);
            const toml::node* v = table.get(k.key);
            if (v == nullptr) {
                fail(node, full, "missing");
            }
            const std::optional<double> value = v->value<double>();
            if (!value || !(v->is_floating_point() || v->is_integer())) {
                fail(v, full, "must be a number");
            }
            if (!std::isfinite(*value)) {
                fail(v, full, "must be finite");
            }
            checkUnit(*v, full, k.unit);
            const bool low = k.zeroAllowed ? *value < k.lo : *value <= k.lo;
            if (low || *value > k.hi) {
                std::ostringstream range;
                range << (k.zeroAllowed ? "[" : "(") << k.lo << ", " << k.hi << "] " << k.unit;
                fail(v, full, "value outside what a helicopter can have " + range.str());
            }
            p.*k.field = *value * k.scale;
        }
        for (const CountKey& k : kCounts) {
            if (k.table != tableName) {
                continue;
            }
            const std::string full = std::string(tableName) + "." + std::string(k.key);
            const toml::node* v = table.get(k.key);
            if (v == nullptr) {
                fail(node, full, "missing");
            }
            if (!v->is_integer()) {
                fail(v, full, "must be a whole number");
            }
            const std::int64_t n = v->as_integer()->get();
            if (n < k.lo || n > k.hi) {
                fail(v, full, "must lie in " + std::to_string(k.lo) + ".." + std::to_string(k.hi));
            }
            p.*k.field = static_cast<int>(n);
        }
    }

    Uncertainty readUncertainty(const toml::table& root) const {
        Uncertainty u;
        const toml::node* node = root.get(kUncertaintyTable);
        if (node == nullptr) {
            return u;
        }
        if (!node->is_table()) {
            fail(node, kUncertaintyTable, "must be a table");
        }
        const toml::table& table = *node->as_table();
        for (auto&& [key, value] : table) {
            bool known = false;
            for (const char* k : kScaleKeys) {
                known = known || key.str() == k;
            }
            if (!known) {
                fail(&value, std::string(kUncertaintyTable) + "." + std::string(key.str()), "unknown key");
            }
        }
        for (int i = 0; i < kScaleCount; ++i) {
            const std::string full = std::string(kUncertaintyTable) + "." + kScaleKeys[i];
            const toml::node* v = table.get(kScaleKeys[i]);
            if (v == nullptr) {
                continue;
            }
            const std::optional<double> value = v->value<double>();
            if (!value || !(v->is_floating_point() || v->is_integer())) {
                fail(v, full, "must be a number");
            }
            checkUnit(*v, full, "-");
            if (!(*value >= 0.0 && *value <= kLargestSpread)) {
                std::ostringstream range;
                range << "must lie in [0, " << kLargestSpread << "] (a fraction of the figure)";
                fail(v, full, range.str());
            }
            scaleFactor(u.spread, i) = *value;
        }
        return u;
    }

    // What single values cannot show.
    void checkTogether(const toml::table& root, const Parameters& p) const {
        auto nodeOf = [&](std::string_view path) { return root.at_path(path).node(); };
        if (p.ixx * p.izz <= p.ixz * p.ixz) {
            fail(nodeOf("body.ixz"), "body.ixz", "ixz^2 must be less than ixx * izz (an inertia matrix)");
        }
        if (p.collectiveHigh <= p.collectiveLow) {
            fail(nodeOf("controls.collective_high"), "controls.collective_high",
                 "must exceed collective_low");
        }
        if (p.rotorType == RotorType::kTeetering) {
            if (p.blades != 2) {
                fail(nodeOf("main_rotor.blades"), "main_rotor.blades", "a teetering rotor has two blades");
            }
            if (p.hubStiffness != 0.0) {
                fail(nodeOf("main_rotor.flap_stiffness"), "main_rotor.flap_stiffness",
                     "a teetering rotor's hub carries no flap moment: 0");
            }
        } else if (p.rotorType == RotorType::kHingeless && !(p.hubStiffness > 0.0)) {
            fail(nodeOf("main_rotor.flap_stiffness"), "main_rotor.flap_stiffness",
                 "a hingeless rotor has a flap stiffness above 0");
        }
    }

    std::string source_;
    std::vector<std::string> lines_;
};

}  // namespace

std::optional<AircraftDefinition> parseAircraft(const std::string& text, const std::string& sourceName,
                                                std::string& error) {
    try {
        const toml::table root = toml::parse(text, sourceName);
        const Reader reader(text, sourceName);
        return reader.read(root);
    } catch (const toml::parse_error& e) {
        error =
            sourceName + ":" + std::to_string(e.source().begin.line) + ": " + std::string(e.description());
    } catch (const AircraftError& e) {
        error = e.message;
    }
    return std::nullopt;
}

std::optional<AircraftDefinition> readAircraftFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot read the aircraft file";
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parseAircraft(text.str(), path, error);
}

std::optional<std::string> resolveAircraftPath(const std::string& nameOrPath,
                                               const std::string& baseDirectory,
                                               const std::string* searchDirectories, int searchCount,
                                               std::string& error) {
    auto exists = [](const std::string& path) { return std::ifstream(path).good(); };
    auto endsWith = [](const std::string& s, std::string_view end) {
        return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
    };
    if (nameOrPath.empty()) {
        error = "no aircraft named";
        return std::nullopt;
    }
    const bool isPath = nameOrPath.find_first_of("/\\") != std::string::npos || endsWith(nameOrPath, ".toml");
    if (isPath) {
        const bool absolute =
            nameOrPath[0] == '/' || nameOrPath[0] == '\\' || (nameOrPath.size() > 1 && nameOrPath[1] == ':');
        const std::string path =
            absolute || baseDirectory.empty() ? nameOrPath : baseDirectory + "/" + nameOrPath;
        if (!exists(path)) {
            error = path + ": no such aircraft file";
            return std::nullopt;
        }
        return path;
    }
    std::string looked;
    for (int i = 0; i < searchCount; ++i) {
        const std::string path = searchDirectories[i] + "/" + nameOrPath + ".toml";
        if (exists(path)) {
            return path;
        }
        looked += (looked.empty() ? "" : ", ") + searchDirectories[i];
    }
    error = "no aircraft '" + nameOrPath + "' (looked for " + nameOrPath + ".toml in " + looked + ")";
    return std::nullopt;
}

}  // namespace flight
