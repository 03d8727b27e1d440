// SPDX-License-Identifier: MIT
#include "sim/tune/flights.h"

#include "sim/flight/aircraft_file.h"
#include "sim/ident/plant_file.h"
#include "sim/scenario/aircraft.h"
#include "sim/scenario/judges.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <system_error>

namespace tune {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kMetresPerFoot = 0.3048;

// ADS-33 hover, desired bounds; adequate is twice each.
constexpr double kHeightBoundFt = 2.0;
constexpr double kPositionBoundFt = 3.0;
constexpr double kHeadingBoundDeg = 5.0;

// One click on a set-point area moves it this much (m/s, or deg/s for the
// yaw rate): the tolerance a followed set point is judged by.
constexpr double kClickStep = 0.25;
constexpr int kCommandClicks = 4;

// The pilot's three clicks that engage the hold, host seconds.
constexpr double kPowerAt = 0.5;
constexpr double kGuardAt = 1.0;
constexpr double kEngageAt = 1.5;
// When a commanded change starts, and how long the hold is given to follow.
constexpr double kCommandAt = 10.0;
constexpr double kFollowSettle = 10.0;
// The ADS-33 stable hover: 30 s.
constexpr double kStableHoverS = 30.0;

constexpr double kTargetFt = 100.0;  // the target the power switch sets

host::TimedEvent click(double at, const char* area) {
    host::TimedEvent e;
    e.at = at;
    e.click = area;
    e.text = std::string("click ") + area;
    return e;
}

// Wind directions spread evenly over the seeds, each kind turned a little
// further so that no two kinds meet the wind from the same side.
double windDirection(FlightKind kind, int seed, int seeds) {
    const double spread = 360.0 * seed / std::max(seeds, 1);
    return std::fmod(spread + 37.0 * static_cast<int>(kind), 360.0);
}

void setWindow(FlightCase& c) {
    switch (c.kind) {
    case FlightKind::kHold:
        c.windowFrom = 12.0;
        break;
    case FlightKind::kCaptureDrift:
    case FlightKind::kCaptureOffset:
        c.windowFrom = 17.0;  // 15 s to stop, climb or descend and settle
        break;
    case FlightKind::kDrift:
    case FlightKind::kTurn:
        c.windowFrom = kCommandAt + kFollowSettle;
        c.windowTo = c.windowFrom + 20.0;
        c.duration = c.windowTo;
        return;
    case FlightKind::kHeightChange:
        c.windowFrom = kCommandAt + 15.0;
        break;
    }
    c.windowTo = c.windowFrom + kStableHoverS;
    c.duration = c.windowTo;
}

// Splits a CSV line into fields (the last, quoted one may hold "; " but no comma).
std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        const size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
}

bool number(std::string_view field, double& value) {
    if (field.empty()) {
        return false;
    }
    const auto read = std::from_chars(field.data(), field.data() + field.size(), value);
    return read.ec == std::errc() && read.ptr == field.data() + field.size();
}

}  // namespace

double turbulenceW20Kt(Turbulence level) {
    switch (level) {
    case Turbulence::kNone:
        return 0.0;
    case Turbulence::kLight:
        return 15.0;
    case Turbulence::kModerate:
        return 30.0;
    case Turbulence::kSevere:
        return 45.0;
    }
    return 0.0;
}

const char* turbulenceName(Turbulence level) {
    switch (level) {
    case Turbulence::kNone:
        return "calm";
    case Turbulence::kLight:
        return "light";
    case Turbulence::kModerate:
        return "moderate";
    case Turbulence::kSevere:
        return "severe";
    }
    return "?";
}

const char* kindName(FlightKind kind) {
    switch (kind) {
    case FlightKind::kHold:
        return "hold";
    case FlightKind::kCaptureDrift:
        return "engage from a drift";
    case FlightKind::kCaptureOffset:
        return "engage off height";
    case FlightKind::kDrift:
        return "commanded drift";
    case FlightKind::kTurn:
        return "commanded turn";
    case FlightKind::kHeightChange:
        return "height change";
    }
    return "?";
}

std::vector<flight::ParameterScale> plantSamples(const flight::Uncertainty& uncertainty, bool validation) {
    std::vector<flight::ParameterScale> plants;
    const auto at = [&](const std::array<double, flight::kScaleCount>& unit) {
        flight::ParameterScale s;
        for (int i = 0; i < flight::kScaleCount; ++i) {
            const size_t k = static_cast<size_t>(i);
            flight::scaleFactor(s, i) = 1.0 + unit[k] * flight::scaleFactor(uncertainty.spread, i);
        }
        return s;
    };
    if (!validation) {
        plants.push_back(flight::ParameterScale{});
    }
    // The corners whose signs multiply to +1 (training) or -1 (validation).
    for (int corner = 0; corner < (1 << flight::kScaleCount); ++corner) {
        std::array<double, flight::kScaleCount> unit{};
        double product = 1.0;
        for (size_t i = 0; i < unit.size(); ++i) {
            unit[i] = (corner >> i) & 1 ? 1.0 : -1.0;
            product *= unit[i];
        }
        if ((product > 0.0) != validation) {
            plants.push_back(at(unit));
        }
    }
    if (validation) {
        // Inside the box, each factor at a half or a quarter of its spread.
        plants.push_back(at({0.5, -0.5, 0.25, -0.25}));
        plants.push_back(at({-0.25, 0.5, -0.5, 0.5}));
        plants.push_back(at({0.25, 0.25, 0.5, -0.5}));
    }
    // A spread of 0 makes corners the same plant: each is kept once.
    std::vector<flight::ParameterScale> distinct;
    for (const flight::ParameterScale& p : plants) {
        const bool seen = std::any_of(distinct.begin(), distinct.end(), [&](const flight::ParameterScale& d) {
            for (int i = 0; i < flight::kScaleCount; ++i)
                if (flight::scaleFactor(d, i) != flight::scaleFactor(p, i))
                    return false;
            return true;
        });
        if (!seen)
            distinct.push_back(p);
    }
    return distinct;
}

std::vector<host::HostLoop> loopSamples(const FlightConditions& conditions, bool validation) {
    std::vector<double> latencies = conditions.latencyFrames;
    if (validation) {
        // Halfway between the training latencies, and the largest again.
        std::vector<double> between;
        for (size_t i = 0; i + 1 < latencies.size(); ++i)
            between.push_back(0.5 * (latencies[i] + latencies[i + 1]));
        if (!latencies.empty())
            between.push_back(latencies.back());
        latencies = between;
    }
    std::vector<host::HostLoop> loops;
    for (double frames : latencies) {
        host::HostLoop loop;
        loop.panelRate = conditions.frameRate;
        loop.visualRate = std::max(conditions.frameRate, host::kDefaultVisualRate);
        loop.latencyS = frames / conditions.frameRate;
        loops.push_back(loop);
    }
    return loops;
}

int wholeDelayFrames(const host::HostLoop& loop) {
    if (loop.delayUpdates > 0) {
        return loop.delayUpdates;
    }
    const double frames = std::clamp(loop.latencyS * loop.panelRate, 0.0, 2.0);
    return static_cast<int>(std::ceil(frames - 1e-9));
}

std::string describeScale(const flight::ParameterScale& scale) {
    static constexpr const char* kNames[] = {"inertia", "control power", "rotor damping", "tail rotor"};
    std::string text;
    for (int i = 0; i < flight::kScaleCount; ++i) {
        char part[48];
        std::snprintf(part, sizeof part, "%s%s %.2f", i == 0 ? "" : ", ", kNames[i],
                      flight::scaleFactor(scale, i));
        text += part;
    }
    return text;
}

namespace {

// One kind of flight of the set: the air it is flown in, as a share of the
// strongest wind.
struct Template {
    FlightKind kind;
    Turbulence turbulence;
    double windShare;
};

// Fewer flights, and hard ones: the holds in strong and gusty air, where
// the wind moves the trim and the integrals' resets and holds act; the
// engagements from a real drift and off height; the set points followed.
constexpr Template kTraining[] = {
    {FlightKind::kHold, Turbulence::kModerate, 0.75},  // 15 kt of the default 20
    {FlightKind::kHold, Turbulence::kLight, 1.0},
    {FlightKind::kHold, Turbulence::kNone, 0.25},
    {FlightKind::kCaptureDrift, Turbulence::kLight, 0.5},
    {FlightKind::kCaptureOffset, Turbulence::kLight, 0.5},
    {FlightKind::kDrift, Turbulence::kLight, 0.5},
    {FlightKind::kTurn, Turbulence::kLight, 0.5},
    {FlightKind::kHeightChange, Turbulence::kLight, 0.25},
};
constexpr Template kValidation[] = {
    {FlightKind::kHold, Turbulence::kModerate, 1.0},
    {FlightKind::kHold, Turbulence::kModerate, 0.4},
    {FlightKind::kHold, Turbulence::kLight, 0.6},
    {FlightKind::kHold, Turbulence::kNone, 0.0},
    {FlightKind::kCaptureDrift, Turbulence::kModerate, 0.6},
    {FlightKind::kCaptureOffset, Turbulence::kNone, 0.9},
    {FlightKind::kDrift, Turbulence::kModerate, 0.3},
    {FlightKind::kTurn, Turbulence::kNone, 0.8},
    {FlightKind::kHeightChange, Turbulence::kModerate, 0.5},
};

template <size_t N>
std::vector<FlightCase> flightSet(const FlightConditions& conditions, const Template (&templates)[N],
                                  bool validation) {
    const std::vector<flight::ParameterScale> plants = plantSamples(conditions.uncertainty, validation);
    std::vector<host::HostLoop> loops = loopSamples(conditions, validation);
    const std::vector<int>& rates = conditions.visualRates;
    std::vector<FlightCase> set;
    // The validation set's seeds and wind directions are its own.
    const int firstSeed = validation ? 103 : 0;
    for (int repeat = 0; repeat < conditions.seeds; ++repeat) {
        for (size_t t = 0; t < N; ++t) {
            const Template& k = templates[t];
            FlightCase c;
            c.kind = k.kind;
            // The roughest air of the set is the conditions' roughest.
            c.turbulence = k.turbulence == Turbulence::kModerate ? conditions.roughest
                                                                 : std::min(k.turbulence, conditions.roughest);
            c.seed = firstSeed + repeat;
            c.validation = validation;
            c.windKt = k.windShare * conditions.windKt;
            c.windFromDeg = std::fmod(windDirection(k.kind, repeat, conditions.seeds)
                                          + (validation ? 23.0 : 0.0) + 61.0 * static_cast<double>(t),
                                      360.0);
            c.driftKt = conditions.driftKt + 2.0 * (repeat % 2);
            const size_t n = set.size();
            // Plants, latencies and visual rates taken in turn, at strides
            // that do not repeat together within a set.
            c.scale = plants[(n * 5 + static_cast<size_t>(repeat)) % plants.size()];
            if (!loops.empty())
                c.loop = loops[(n + static_cast<size_t>(repeat)) % loops.size()];
            if (!rates.empty())
                c.loop.visualRate = std::max(rates[(n * 2 + 1) % rates.size()], conditions.frameRate);
            char name[160];
            std::snprintf(name, sizeof name, "%s, %s %.0f kt #%d%s", kindName(k.kind),
                          turbulenceName(c.turbulence), c.windKt, repeat + 1, validation ? " (validation)" : "");
            c.name = name;
            setWindow(c);
            set.push_back(c);
        }
    }
    return set;
}

}  // namespace

std::vector<FlightCase> monteCarloSet(const FlightConditions& conditions) {
    return flightSet(conditions, kTraining, false);
}

std::vector<FlightCase> validationSet(const FlightConditions& conditions) {
    return flightSet(conditions, kValidation, true);
}

namespace {

// A plant stands in for the aircraft: its fit's own spread of the four
// groups of terms (or the file's [uncertainty] table, or --spread), and the
// latency set made to hold the latency it was fitted with.
bool plantCanFly(FlightConditions& conditions, std::string& name, std::string& problem) {
    const std::optional<ident::PlantDefinition> plant = ident::readPlantDefinition(conditions.plant, problem);
    if (!plant) {
        return false;
    }
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(conditions.plant, ec);
    conditions.plant = ec ? conditions.plant : absolute.string();
    conditions.uncertainty = conditions.spreadOverride.value_or(ident::plantUncertainty(*plant));
    const double delayS = plant->model.delayS.value;
    const double frames = delayS * conditions.frameRate;
    // The analysis takes latencies up to two panel frames.
    if (frames > 2.0) {
        problem = conditions.plant + ": the fitted latency " + std::to_string(delayS)
                  + " s is more than two panel frames, more than the analysis takes";
        return false;
    }
    conditions.plantDelayS = delayS;
    const auto [lo, hi] = std::minmax_element(conditions.latencyFrames.begin(), conditions.latencyFrames.end());
    conditions.latencySetExtended = lo == conditions.latencyFrames.end() || frames < *lo || frames > *hi;
    if (conditions.latencySetExtended) {
        conditions.latencyFrames.push_back(frames);
        std::sort(conditions.latencyFrames.begin(), conditions.latencyFrames.end());
    }
    name = plant->model.name;
    return true;
}

}  // namespace

bool hostCanFly(FlightConditions& conditions, std::string& name, std::string& problem) {
    if (!conditions.plant.empty()) {
        return plantCanFly(conditions, name, problem);
    }
    host::Scenario lookup;
    lookup.aircraft = conditions.aircraft;
    const std::string path = host::aircraftFilePath(lookup, problem);
    if (path.empty()) {
        return false;
    }
    const std::optional<flight::AircraftDefinition> definition = flight::readAircraftFile(path, problem);
    if (!definition) {
        return false;
    }
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    conditions.aircraft = ec ? path : absolute.string();
    conditions.uncertainty = conditions.spreadOverride.value_or(definition->uncertainty);
    name = definition->name;
    return true;
}

host::Scenario scenarioFor(const FlightCase& flight, const FlightConditions& conditions,
                           const std::string& parameters) {
    host::Scenario s;
    s.name = flight.name;
    s.aircraft = conditions.aircraft;
    s.plant = conditions.plant;
    s.aircraftScale = flight.scale;
    s.frameRate = conditions.frameRate;
    s.visualFrameRate = std::max(flight.loop.visualRate, conditions.frameRate);
    if (flight.loop.delayUpdates > 0) {
        s.commandDelayFrames = flight.loop.delayUpdates;
    } else {
        s.commandDelayFrames = 0;
        s.commandLatencyS = flight.loop.latencyS;
    }
    s.duration = flight.duration;
    s.parameters = parameters;
    s.start.heightFt = kTargetFt;
    s.start.headingDeg = 0.0;
    s.wind.fromDeg = flight.windFromDeg;
    s.wind.speedKt = flight.windKt;
    s.wind.turbulenceW20Kt = turbulenceW20Kt(flight.turbulence);
    // Two holds of one kind and seed meet the wind from different sides, and
    // turbulence of their own.
    s.wind.seed = 1000u * (static_cast<uint64_t>(flight.kind) + 1u) + static_cast<uint64_t>(flight.seed) + 1u
                  + 100000u * static_cast<uint64_t>(std::clamp(std::lround(flight.windFromDeg), 0L, 360L));
    s.events.push_back(click(kPowerAt, "power"));
    s.events.push_back(click(kGuardAt, "guard"));
    s.events.push_back(click(kEngageAt, "engage"));
    // Four directions in turn: forward, right, back, left (or right and left turns).
    const int variant = flight.seed % 4;
    switch (flight.kind) {
    case FlightKind::kHold:
        if (flight.turbulence == Turbulence::kNone) {
            // Steady air alone leaves a trimmed helicopter nothing to hold
            // against: a gust across the wind early in the window.
            host::GustSetting gust;
            gust.at = flight.windowFrom + 2.0;
            gust.duration = 3.0;
            gust.speedKt = 6.0;
            gust.fromDeg = std::fmod(flight.windFromDeg + 90.0, 360.0);
            s.wind.gusts.push_back(gust);
        }
        break;
    case FlightKind::kCaptureDrift:
        s.start.groundSpeedKt = flight.driftKt;
        s.start.trackDeg = 90.0 * variant + 20.0;
        break;
    case FlightKind::kCaptureOffset:
        s.start.heightFt = kTargetFt + (flight.seed % 2 == 0 ? -25.0 : 25.0);
        break;
    case FlightKind::kDrift: {
        static constexpr const char* kAreas[] = {"forward_up", "right_up", "forward_down", "right_down"};
        for (int i = 0; i < kCommandClicks; ++i) {
            s.events.push_back(click(kCommandAt + 0.5 * i, kAreas[variant]));
        }
        break;
    }
    case FlightKind::kTurn:
        for (int i = 0; i < kCommandClicks; ++i) {
            s.events.push_back(click(kCommandAt + 0.5 * i, flight.seed % 2 == 0 ? "turn_up" : "turn_down"));
        }
        break;
    case FlightKind::kHeightChange: {
        host::TimedEvent e;
        e.at = kCommandAt;
        e.hold = flight.seed % 2 == 0 ? "height_up" : "height_down";
        e.holdFor = 2.0;
        e.text = "hold " + *e.hold;
        s.events.push_back(e);
        break;
    }
    }
    return s;
}

FlightOutcome scoreTrace(const FlightCase& flight, const std::string& trace) {
    FlightOutcome out;
    std::istringstream in(trace);
    std::string line;
    if (!std::getline(in, line)) {
        return out;
    }
    std::map<std::string_view, size_t> column;
    const std::string header = line;
    const std::vector<std::string_view> names = splitFields(header);
    for (size_t i = 0; i < names.size(); ++i)
        column[names[i]] = i;
    const char* needed[] = {"host_time",   "hdg_86",       "vn_554",       "ve_555",  "cmd_rudder",
                            "cmd_aileron", "cmd_elevator", "cmd_throttle", "engaged", "panel_target_ft",
                            "height_ft",   "north_ft",     "east_ft",      "rud_314", "ail_311",
                            "elev_309",    "thr_128"};
    for (const char* name : needed) {
        if (column.find(name) == column.end()) {
            return out;
        }
    }
    const auto col = [&](const char* name) { return column.at(name); };
    const size_t cTime = col("host_time"), cHdg = col("hdg_86"), cVn = col("vn_554"), cVe = col("ve_555");
    const size_t cCmd[4] = {col("cmd_rudder"), col("cmd_aileron"), col("cmd_elevator"), col("cmd_throttle")};
    const size_t cEngaged = col("engaged"), cTarget = col("panel_target_ft"), cHeight = col("height_ft");
    const size_t cNorth = col("north_ft"), cEast = col("east_ft");
    const size_t cControl[4] = {col("rud_314"), col("ail_311"), col("elev_309"), col("thr_128")};
    std::array<int64_t, 4> axisLimitFrames{};

    // The set point the clicks command, in m/s along the body axes or deg/s.
    double setForward = 0.0, setRight = 0.0, setTurn = 0.0;
    const int variant = flight.seed % 4;
    const double commanded = kCommandClicks * kClickStep;
    if (flight.kind == FlightKind::kDrift) {
        setForward = variant == 0 ? commanded : variant == 2 ? -commanded : 0.0;
        setRight = variant == 1 ? commanded : variant == 3 ? -commanded : 0.0;
    } else if (flight.kind == FlightKind::kTurn) {
        setTurn = flight.seed % 2 == 0 ? commanded : -commanded;
    }
    const bool following = flight.kind == FlightKind::kDrift || flight.kind == FlightKind::kTurn;

    std::vector<double> headings;  // unwrapped, one per frame, for the turn rate
    double previousHeading = 0.0;
    bool haveHeading = false;
    double startHeading = 0.0, startNorth = 0.0, startEast = 0.0;
    int64_t windowFrames = 0, engagedFrames = 0, limitFrames = 0, followFrames = 0;
    double followSquares = 0.0;
    int frameRate = 0;
    while (std::getline(in, line)) {
        const std::vector<std::string_view> f = splitFields(line);
        if (f.size() < names.size() - 1) {
            return out;
        }
        double t = 0, heading = 0, vn = 0, ve = 0, height = 0, north = 0, east = 0;
        if (!number(f[cTime], t) || !number(f[cHdg], heading) || !number(f[cVn], vn) || !number(f[cVe], ve)
            || !number(f[cHeight], height) || !number(f[cNorth], north) || !number(f[cEast], east)) {
            return out;
        }
        if (!haveHeading) {
            previousHeading = heading;
            haveHeading = true;
            for (size_t i = 0; i < 4; ++i)
                number(f[cControl[i]], out.startControl[i]);
        }
        const double unwrapped =
            (headings.empty() ? heading : headings.back() + host::wrapDegrees(heading - previousHeading));
        previousHeading = heading;
        headings.push_back(unwrapped);
        if (frameRate == 0 && t > 0.0)
            frameRate = static_cast<int>(std::lround(1.0 / t));
        if (t < flight.windowFrom - 1e-9 || t > flight.windowTo + 1e-9) {
            continue;
        }
        if (!std::isfinite(height) || !std::isfinite(north) || !std::isfinite(east)
            || !std::isfinite(unwrapped)) {
            out.worst = kWorstCap;
            out.score = compressedError(kWorstCap);
            out.flown = true;
            return out;
        }
        if (windowFrames == 0) {
            startHeading = unwrapped;
            startNorth = north;
            startEast = east;
        }
        ++windowFrames;
        double target = kTargetFt;
        number(f[cTarget], target);
        out.heightErrorFt = std::max(out.heightErrorFt, std::fabs(height - target));
        out.positionErrorFt = std::max(out.positionErrorFt, std::hypot(north - startNorth, east - startEast));
        const bool engaged = f[cEngaged] == "1";
        if (engaged) {
            ++engagedFrames;
            bool atLimit = false;
            for (size_t i = 0; i < 4; ++i) {
                double c = 0.0;
                if (number(f[cCmd[i]], c) && (c <= kAxisLow[i] || c >= kAxisHigh[i])) {
                    atLimit = true;
                    ++axisLimitFrames[i];
                }
            }
            limitFrames += atLimit ? 1 : 0;
        }
        if (following) {
            // Speeds along the heading and to its right (tokens in ft/s); the
            // turn rate over the last second.
            const double psi = heading * kPi / 180.0;
            const double forward = (vn * std::cos(psi) + ve * std::sin(psi)) * kMetresPerFoot;
            const double right = (ve * std::cos(psi) - vn * std::sin(psi)) * kMetresPerFoot;
            double error = 0.0;
            if (flight.kind == FlightKind::kDrift) {
                error = std::hypot(forward - setForward, right - setRight);
            } else {
                const size_t span = static_cast<size_t>(std::max(frameRate, 1));
                const size_t n = headings.size();
                const double rate = n > span ? (headings[n - 1] - headings[n - 1 - span]) : 0.0;
                error = rate - setTurn;
            }
            followSquares += error * error;
            ++followFrames;
        } else {
            out.headingErrorDeg = std::max(out.headingErrorDeg, std::fabs(unwrapped - startHeading));
        }
    }
    if (windowFrames == 0) {
        return out;
    }
    out.flown = true;
    out.engagedFraction = static_cast<double>(engagedFrames) / static_cast<double>(windowFrames);
    const auto engagedShare = [&](int64_t frames) {
        return engagedFrames > 0 ? static_cast<double>(frames) / static_cast<double>(engagedFrames) : 0.0;
    };
    out.limitFraction = engagedShare(limitFrames);
    for (size_t i = 0; i < 4; ++i)
        out.axisLimitFraction[i] = engagedShare(axisLimitFrames[i]);
    const double scale = flight.adequateBounds() ? 2.0 : 1.0;
    double worst = out.heightErrorFt / (kHeightBoundFt * scale);
    if (following) {
        out.followError =
            std::sqrt(followSquares / static_cast<double>(std::max<int64_t>(followFrames, 1))) / kClickStep;
        worst = std::max(worst, out.followError);
        if (flight.kind == FlightKind::kTurn) {
            // Turning on the spot: the speeds' set points are still zero.
            worst = std::max(worst, out.positionErrorFt / (kPositionBoundFt * scale));
        }
    } else {
        worst = std::max({worst, out.positionErrorFt / (kPositionBoundFt * scale),
                          out.headingErrorDeg / (kHeadingBoundDeg * scale)});
    }
    // A hold that let go of the controls did not hold.
    if (out.engagedFraction < 1.0) {
        worst = std::max(worst, kWorstCap * (1.0 - out.engagedFraction));
    }
    out.worst = std::min(worst, kWorstCap);
    out.score = compressedError(out.worst) + kLimitPenalty * out.limitFraction;
    return out;
}

uint64_t hashText(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

double compressedError(double worst) {
    return worst <= 1.0 ? worst : 1.0 + std::log(worst);
}

double setScore(const std::vector<FlightOutcome>& outcomes) {
    if (outcomes.empty()) {
        return kUnflownScore;
    }
    double sum = 0.0;
    for (const FlightOutcome& o : outcomes) {
        sum += o.flown ? o.score : kUnflownScore;
    }
    return percentileScore(outcomes) + kMeanWeight * sum / static_cast<double>(outcomes.size());
}

double worstScore(const std::vector<FlightOutcome>& outcomes) {
    if (outcomes.empty()) {
        return kUnflownScore;
    }
    double worst = 0.0, sum = 0.0;
    for (const FlightOutcome& o : outcomes) {
        const double score = o.flown ? o.score : kUnflownScore;
        worst = std::max(worst, score);
        sum += score;
    }
    return worst + kMeanWeight * sum / static_cast<double>(outcomes.size());
}

bool setHolds(const std::vector<FlightOutcome>& outcomes, double within) {
    if (outcomes.empty()) {
        return false;
    }
    return std::all_of(outcomes.begin(), outcomes.end(),
                       [within](const FlightOutcome& o) { return o.flown && o.worst <= within; });
}

double percentileScore(const std::vector<FlightOutcome>& outcomes) {
    if (outcomes.empty()) {
        return kUnflownScore;
    }
    std::vector<double> scores;
    scores.reserve(outcomes.size());
    for (const FlightOutcome& o : outcomes) {
        scores.push_back(o.flown ? o.score : kUnflownScore);
    }
    std::sort(scores.begin(), scores.end());
    // Nearest rank: the smallest score at or above 90 % of the flights.
    const size_t rank = static_cast<size_t>(std::ceil(0.9 * static_cast<double>(scores.size())));
    return scores[std::clamp<size_t>(rank, 1, scores.size()) - 1];
}

}  // namespace tune
