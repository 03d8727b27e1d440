// SPDX-License-Identifier: MIT
#include "sim/ident/hover_model.h"

#include <toml++/toml.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "sim/ident/plant_file.h"
#include "sim/units.h"

namespace ident {

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

constexpr const char* kStateNames[kStateCount] = {"u (m/s)",    "v (m/s)",     "w (m/s)",
                                                  "p (rad/s)",  "q (rad/s)",   "r (rad/s)",
                                                  "roll (rad)", "pitch (rad)", "height (m)"};

// The shortest text that reads back as the same double, always in a form
// TOML takes for a float (a bare "5" would be an integer; "inf" and "nan"
// stand as TOML writes them, and the reader refuses them).
std::string number(double v) {
    if (std::isnan(v)) {
        return "nan";
    }
    if (std::isinf(v)) {
        return v > 0 ? "inf" : "-inf";
    }
    char buffer[64];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, v);
    std::string s(buffer, r.ptr);
    if (s.find_first_of(".e") == std::string::npos) {
        s += ".0";
    }
    return s;
}

// A TOML basic string: quotes, backslashes and control characters escaped.
std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

struct PlantError {
    std::string message;
};

// The control positions a hover can stand at: the host's axis ranges.
struct HoverKey {
    std::string_view key;
    double HoverModel::*field;
    double lo, hi;
    bool loAllowed;
};
constexpr HoverKey kHoverKeys[] = {
    {.key = "height_ft", .field = &HoverModel::heightFt, .lo = 0.0, .hi = 1e5, .loAllowed = true},
    {.key = "rotor_diameter_ft",
     .field = &HoverModel::rotorDiameterFt,
     .lo = 0.0,
     .hi = 500.0,
     .loAllowed = false},
    {.key = "elevator", .field = &HoverModel::trimElevator, .lo = -16383.0, .hi = 16383.0, .loAllowed = true},
    {.key = "aileron", .field = &HoverModel::trimAileron, .lo = -16383.0, .hi = 16383.0, .loAllowed = true},
    {.key = "rudder", .field = &HoverModel::trimRudder, .lo = -16383.0, .hi = 16383.0, .loAllowed = true},
    {.key = "throttle", .field = &HoverModel::trimThrottle, .lo = 0.0, .hi = 16384.0, .loAllowed = true},
};

constexpr double kLargestSpread = 0.5;

// The rotor's figures in the plant file: the lags in [rotor], the rotor
// speed's terms in [rotor_speed], each { value, standard_error }. Both
// tables and every key are optional (0: quasi-steady, the speed held).
struct RotorKey {
    std::string_view table;
    std::string_view key;
    Estimate& (*of)(HoverModel&);
    bool time;  // a time constant: not negative, at most kLongestLagS
    const char* meaning;
};
constexpr RotorKey kRotorKeys[] = {
    {"rotor", "roll_lag_s", [](HoverModel& m) -> Estimate& { return m.rotor.rollS; }, true,
     "the disc's lag in roll, s"},
    {"rotor", "pitch_lag_s", [](HoverModel& m) -> Estimate& { return m.rotor.pitchS; }, true,
     "the disc's lag in pitch, s"},
    {"rotor", "heave_lag_s", [](HoverModel& m) -> Estimate& { return m.rotor.heaveS; }, true,
     "the inflow's lag, s"},
    {"rotor", "heave_instant", [](HoverModel& m) -> Estimate& { return m.rotor.heaveInstant; }, false,
     "the collective's thrust before the inflow answers, m/s2 per count"},
    {"rotor_speed", "heave", [](HoverModel& m) -> Estimate& { return m.rotorSpeed.heave; }, false,
     "m/s2 per % of rotor speed"},
    {"rotor_speed", "yaw", [](HoverModel& m) -> Estimate& { return m.rotorSpeed.yaw; }, false,
     "rad/s2 per % of rotor speed"},
    {"rotor_speed", "yaw_of_acceleration",
     [](HoverModel& m) -> Estimate& { return m.rotorSpeed.yawOfAcceleration; }, false,
     "rad/s2 per %/s of the rotor's acceleration (the engine's torque)"},
};
constexpr double kLongestLagS = 2.0;

class Reader {
public:
    explicit Reader(std::string source) : source_(std::move(source)) {}

    PlantDefinition read(const toml::table& root) const {
        PlantDefinition plant;
        HoverModel& m = plant.model;
        checkKeys(root, "", {"name", "hover", "latency", "terms", "uncertainty", "rotor", "rotor_speed"});
        const toml::node* name = root.get("name");
        if (name == nullptr) {
            fail(&root, "name", "missing");
        }
        if (!name->is_string()) {
            fail(name, "name", "must be a string");
        }
        m.name = name->as_string()->get();

        const toml::table& hover = table(root, "hover");
        checkKeys(hover, "hover.",
                  {"height_ft", "rotor_diameter_ft", "elevator", "aileron", "rudder", "throttle"});
        for (const HoverKey& k : kHoverKeys) {
            const std::string full = "hover." + std::string(k.key);
            const double v = finite(hover, k.key, full);
            if ((k.loAllowed ? v < k.lo : v <= k.lo) || v > k.hi) {
                std::ostringstream range;
                range << "must lie in " << (k.loAllowed ? "[" : "(") << k.lo << ", " << k.hi << "]";
                fail(hover.get(k.key), full, range.str());
            }
            m.*k.field = v;
        }

        const toml::table& latency = table(root, "latency");
        checkKeys(latency, "latency.", {"delay_s", "standard_error_s"});
        m.delayS.value = notNegative(latency, "delay_s", "latency.delay_s");
        m.delayS.standardError = notNegative(latency, "standard_error_s", "latency.standard_error_s");

        const toml::table& terms = table(root, "terms");
        std::vector<std::string_view> names;
        for (const TermInfo& t : kTerms) {
            names.push_back(t.name);
        }
        checkKeys(terms, "terms.", names);
        for (int i = 0; i < kTermCount; ++i) {
            const TermInfo& info = kTerms[i];
            const std::string full = std::string("terms.") + info.name;
            const toml::node* node = terms.get(info.name);
            if (node == nullptr) {
                fail(&terms, full, "missing");
            }
            if (!node->is_table()) {
                fail(node, full, "must be a table { value, standard_error, unit }");
            }
            const toml::table& term = *node->as_table();
            checkKeys(term, full + ".", {"value", "standard_error", "unit"});
            Estimate& e = m.terms[static_cast<std::size_t>(i)];
            e.value = finite(term, "value", full + ".value");
            e.standardError = notNegative(term, "standard_error", full + ".standard_error");
            const toml::node* unit = term.get("unit");
            if (unit == nullptr) {
                fail(node, full + ".unit", "missing");
            }
            if (!unit->is_string() || unit->as_string()->get() != info.unit) {
                fail(unit, full + ".unit", std::string("must be \"") + info.unit + "\"");
            }
        }
        readRotor(root, "rotor", m);
        readRotor(root, "rotor_speed", m);
        readUncertainty(root, plant);
        return plant;
    }

private:
    [[noreturn]] void fail(const toml::node* node, std::string_view key, const std::string& reason) const {
        const auto line = node != nullptr ? node->source().begin.line : 0;
        throw PlantError{source_ + ":" + std::to_string(line) + ": " + std::string(key) + ": " + reason};
    }

    void checkKeys(const toml::table& t, const std::string& prefix,
                   const std::vector<std::string_view>& known) const {
        for (auto&& [key, value] : t) {
            bool found = false;
            for (const std::string_view k : known) {
                found = found || key.str() == k;
            }
            if (!found) {
                fail(&value, prefix + std::string(key.str()), "unknown key");
            }
        }
    }

    const toml::table& table(const toml::table& root, std::string_view name) const {
        const toml::node* node = root.get(name);
        if (node == nullptr) {
            fail(&root, name, "missing table");
        }
        if (!node->is_table()) {
            fail(node, name, "must be a table");
        }
        return *node->as_table();
    }

    double finite(const toml::table& t, std::string_view key, const std::string& full) const {
        const toml::node* node = t.get(key);
        if (node == nullptr) {
            fail(&t, full, "missing");
        }
        if (!node->is_floating_point() && !node->is_integer()) {
            fail(node, full, "must be a number");
        }
        const double v = node->value<double>().value_or(0.0);
        if (!std::isfinite(v)) {
            fail(node, full, "must be finite");
        }
        return v;
    }

    double notNegative(const toml::table& t, std::string_view key, const std::string& full) const {
        const double v = finite(t, key, full);
        if (v < 0.0) {
            fail(t.get(key), full, "must not be negative");
        }
        return v;
    }

    void readRotor(const toml::table& root, std::string_view name, HoverModel& m) const {
        const toml::node* node = root.get(name);
        if (node == nullptr) {
            return;
        }
        if (!node->is_table()) {
            fail(node, name, "must be a table");
        }
        const toml::table& t = *node->as_table();
        std::vector<std::string_view> names;
        for (const RotorKey& k : kRotorKeys) {
            if (k.table == name) {
                names.push_back(k.key);
            }
        }
        const std::string prefix = std::string(name) + ".";
        checkKeys(t, prefix, names);
        for (const RotorKey& k : kRotorKeys) {
            const toml::node* entry = k.table == name ? t.get(k.key) : nullptr;
            if (entry == nullptr) {
                continue;
            }
            const std::string full = prefix + std::string(k.key);
            if (!entry->is_table()) {
                fail(entry, full, "must be a table { value, standard_error }");
            }
            const toml::table& e = *entry->as_table();
            checkKeys(e, full + ".", {"value", "standard_error"});
            Estimate& out = k.of(m);
            out.value =
                k.time ? notNegative(e, "value", full + ".value") : finite(e, "value", full + ".value");
            if (k.time && out.value > kLongestLagS) {
                fail(e.get("value"), full + ".value", "must not exceed 2 s");
            }
            out.standardError = notNegative(e, "standard_error", full + ".standard_error");
        }
    }

    void readUncertainty(const toml::table& root, PlantDefinition& plant) const {
        const toml::node* node = root.get("uncertainty");
        if (node == nullptr) {
            return;
        }
        if (!node->is_table()) {
            fail(node, "uncertainty", "must be a table");
        }
        const toml::table& t = *node->as_table();
        checkKeys(
            t, "uncertainty.",
            {flight::kScaleKeys[0], flight::kScaleKeys[1], flight::kScaleKeys[2], flight::kScaleKeys[3]});
        flight::Uncertainty u;
        for (int i = 0; i < flight::kScaleCount; ++i) {
            const std::string full = std::string("uncertainty.") + flight::kScaleKeys[i];
            if (t.get(flight::kScaleKeys[i]) == nullptr) {
                continue;  // the fit's own spread for this group
            }
            const double v = finite(t, flight::kScaleKeys[i], full);
            if (v < 0.0 || v > kLargestSpread) {
                fail(t.get(flight::kScaleKeys[i]), full, "must lie in [0, 0.5] (a fraction of the terms)");
            }
            flight::scaleFactor(u.spread, i) = v;
            plant.given[i] = true;
        }
        plant.uncertainty = u;
    }

    std::string source_;
};

}  // namespace

void stateMatrices(const HoverModel& model, Eigen::MatrixXd& A, Eigen::MatrixXd& B) {
    const RotorLag& lag = model.rotor;
    const Eigen::Index n = lag.any() ? Eigen::Index{kExtendedStateCount} : Eigen::Index{kStateCount};
    A = Eigen::MatrixXd::Zero(n, n);
    B = Eigen::MatrixXd::Zero(n, analysis::kInputCount);
    // Each row through its lag state, or straight where its lag is 0.
    struct Lagged {
        int row;
        int state;
        double tau;
    };
    const Lagged rows[] = {{kP, kLagRoll, lag.rollS.value},
                           {kQ, kLagPitch, lag.pitchS.value},
                           {kW, kLagHeave, lag.heaveS.value}};
    for (int i = 0; i < kTermCount; ++i) {
        const TermInfo& t = kTerms[i];
        double value = model.terms[static_cast<std::size_t>(i)].value;
        const bool speedTerm = !t.inB && (t.column == kU || t.column == kV);
        int row = t.row;
        for (const Lagged& l : rows) {
            if (l.row == t.row && l.tau > 0.0 && !speedTerm) {
                if (i == kZc) {
                    B(kW, t.column) = lag.heaveInstant.value;
                    value -= lag.heaveInstant.value;
                }
                row = l.state;
                value /= l.tau;
            }
        }
        (t.inB ? B : A)(row, t.column) += value;
    }
    for (const Lagged& l : rows) {
        if (l.tau > 0.0) {
            A(l.row, l.state) = 1.0;
            A(l.state, l.state) = -1.0 / l.tau;
        }
    }
    // The fixed part: gravity tilting the thrust, the kinematics, the height.
    A(kU, kTheta) = -kGravity;
    A(kV, kPhi) = kGravity;
    A(kPhi, kP) = 1.0;
    A(kTheta, kQ) = 1.0;
    A(kH, kW) = 1.0;
}

analysis::LinearPlant toLinearPlant(const HoverModel& model) {
    analysis::LinearPlant plant;
    stateMatrices(model, plant.A, plant.B);
    plant.C = Eigen::MatrixXd::Zero(analysis::kOutputCount, plant.A.cols());

    plant.C(analysis::kUpSpeed, kW) = 1.0;
    plant.C(analysis::kForwardSpeed, kU) = 1.0;
    plant.C(analysis::kRightSpeed, kV) = 1.0;
    plant.C(analysis::kTurnRate, kR) = kDegreesPerRadian;
    plant.C(analysis::kHeightFt, kH) = units::kFeetPerMetre;

    plant.stateNames.assign(std::begin(kStateNames), std::end(kStateNames));
    if (plant.A.rows() > kStateCount) {
        plant.stateNames.insert(plant.stateNames.end(),
                                {"rotor roll (rad/s2)", "rotor pitch (rad/s2)", "rotor heave (m/s2)"});
    }
    plant.trimControls = flight::Controls{.elevator = model.trimElevator,
                                          .aileron = model.trimAileron,
                                          .rudder = model.trimRudder,
                                          .throttle = model.trimThrottle};
    // A fitted hover is a hover by construction.
    plant.trimmed = true;
    return plant;
}

std::string plantFileText(const HoverModel& model, const std::string& comment) {
    std::ostringstream out;
    std::istringstream lines(comment);
    for (std::string line; std::getline(lines, line);) {
        out << "# " << line << "\n";
    }
    out << "name = " << quoted(model.name) << "\n\n";
    out << "[hover]\n";
    out << "height_ft = " << number(model.heightFt) << "\n";
    out << "rotor_diameter_ft = " << number(model.rotorDiameterFt) << "\n";
    out << "elevator = " << number(model.trimElevator) << "    # trim positions, counts\n";
    out << "aileron = " << number(model.trimAileron) << "\n";
    out << "rudder = " << number(model.trimRudder) << "\n";
    out << "throttle = " << number(model.trimThrottle) << "\n\n";
    out << "[latency]\n";
    out << "delay_s = " << number(model.delayS.value) << "\n";
    out << "standard_error_s = " << number(model.delayS.standardError) << "\n\n";
    out << "[terms]\n";
    for (int i = 0; i < kTermCount; ++i) {
        const Estimate& e = model.terms[static_cast<std::size_t>(i)];
        out << kTerms[i].name << " = { value = " << number(e.value)
            << ", standard_error = " << number(e.standardError) << ", unit = " << quoted(kTerms[i].unit)
            << " }    # " << kTerms[i].meaning << "\n";
    }
    HoverModel figures = model;
    for (const std::string_view table : {"rotor", "rotor_speed"}) {
        bool any = false;
        for (const RotorKey& k : kRotorKeys) {
            any = any || (k.table == table && k.of(figures).value != 0.0);
        }
        if (!any) {
            continue;
        }
        out << "\n[" << table << "]\n";
        for (const RotorKey& k : kRotorKeys) {
            if (k.table == table) {
                const Estimate& e = k.of(figures);
                out << k.key << " = { value = " << number(e.value)
                    << ", standard_error = " << number(e.standardError) << " }    # " << k.meaning << "\n";
            }
        }
    }
    return out.str();
}

std::optional<PlantDefinition> parsePlantDefinition(const std::string& text, const std::string& sourceName,
                                                    std::string& error) {
    try {
        const toml::table root = toml::parse(text, sourceName);
        return Reader(sourceName).read(root);
    } catch (const toml::parse_error& e) {
        error =
            sourceName + ":" + std::to_string(e.source().begin.line) + ": " + std::string(e.description());
    } catch (const PlantError& e) {
        error = e.message;
    }
    return std::nullopt;
}

std::optional<PlantDefinition> readPlantDefinition(const std::string& path, std::string& error) {
    // A folder or a device (a FIFO would wait for a writer) is no file to read.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error =
            path + ":0: " + (std::filesystem::exists(path, ec) ? "not a regular file" : "no such plant file");
        return std::nullopt;
    }
    // A plant file is a few kilobytes; anything far larger is not one.
    constexpr std::uintmax_t kLargestPlantBytes = 1024 * 1024;
    if (std::filesystem::file_size(path, ec) > kLargestPlantBytes) {
        error = path + ":0: larger than 1024 KiB: not a plant file";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ":0: cannot read the plant file";
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = path + ":0: cannot read the plant file";
        return std::nullopt;
    }
    return parsePlantDefinition(text.str(), path, error);
}

std::optional<HoverModel> readPlantFile(const std::string& path, std::string& error) {
    std::optional<PlantDefinition> plant = readPlantDefinition(path, error);
    if (!plant) {
        return std::nullopt;
    }
    return plant->model;
}

}  // namespace ident
