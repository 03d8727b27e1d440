// SPDX-License-Identifier: MIT
#include "sim/ident/rigging.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string_view>

#include "sim/flight/aircraft_file.h"
#include "sim/ident/truth.h"

namespace ident {

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kThrottleTravel = 16384.0;  // counts, the collective's full travel
constexpr double kAxisTravel = 16383.0;      // counts, either side of centre
// Rigging again while any axis is further off than this; three rounds
// reach it on the three classes here.
constexpr double kReachedWithin = 1e-3;
constexpr int kRounds = 6;

const char* const kAxisNames[analysis::kInputCount] = {"collective", "elevator", "aileron", "pedals"};

// The five figures of [controls] the rigging changes, deg.
struct Controls {
    double collectiveLow, collectiveHigh, longRange, latRange, tailCentre, tailRange;
};

Controls controlsOf(const flight::Parameters& p) {
    return {p.collectiveLow * kDegreesPerRadian,   p.collectiveHigh * kDegreesPerRadian,
            p.longCyclicRange * kDegreesPerRadian, p.latCyclicRange * kDegreesPerRadian,
            p.tailPitchCentre * kDegreesPerRadian, p.tailPitchRange * kDegreesPerRadian};
}

// Scales each axis's blade angle per count by its factor about the angle
// the trim holds, so the collective and the pedals trim at the same counts.
Controls scaled(const Controls& c, const flight::Controls& trim,
                const std::array<double, analysis::kInputCount>& f) {
    Controls out = c;
    const double collectiveTrim =
        c.collectiveLow + (c.collectiveHigh - c.collectiveLow) * trim.throttle / kThrottleTravel;
    out.collectiveLow = collectiveTrim + f[analysis::kThrottle] * (c.collectiveLow - collectiveTrim);
    out.collectiveHigh = collectiveTrim + f[analysis::kThrottle] * (c.collectiveHigh - collectiveTrim);
    out.longRange = c.longRange * f[analysis::kElevator];
    out.latRange = c.latRange * f[analysis::kAileron];
    const double tailTrim = c.tailCentre + c.tailRange * trim.rudder / kAxisTravel;
    out.tailCentre = tailTrim + f[analysis::kRudder] * (c.tailCentre - tailTrim);
    out.tailRange = c.tailRange * f[analysis::kRudder];
    return out;
}

// The class file with the [controls] figures replaced, every other line as
// it stands. Fails when a key is not in the file's [controls] table.
std::optional<std::string> withControls(const std::string& text, const Controls& c, std::string& error) {
    const std::pair<const char*, double> values[] = {
        {"collective_low", c.collectiveLow}, {"collective_high", c.collectiveHigh},
        {"long_cyclic_range", c.longRange},  {"lat_cyclic_range", c.latRange},
        {"tail_pitch_centre", c.tailCentre}, {"tail_pitch_range", c.tailRange}};
    bool found[std::size(values)] = {};
    std::istringstream in(text);
    std::string out;
    std::string table;
    for (std::string line; std::getline(in, line);) {
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] == '[') {
            table = line.substr(first, line.find(']', first) + 1 - first);
        }
        if (table.empty() && line.rfind("name", 0) == 0 && line.find('=') != std::string::npos) {
            const std::size_t close = line.rfind('"');
            if (close != std::string::npos && close > line.find('"')) {
                line.insert(close, ", rigged to a recorded flight");
            }
        }
        if (table == "[controls]" && first != std::string::npos) {
            for (std::size_t k = 0; k < std::size(values); ++k) {
                const std::string_view key = values[k].first;
                const std::string_view rest = std::string_view(line).substr(first);
                if (rest.substr(0, key.size()) != key) {
                    continue;
                }
                const std::size_t equals = line.find('=', first + key.size());
                if (equals == std::string::npos
                    || line.find_first_not_of(" \t", first + key.size()) != equals) {
                    continue;
                }
                const std::size_t hash = line.find('#', equals);
                char number[40];
                std::snprintf(number, sizeof number, "%.6g", values[k].second);
                std::string rebuilt = line.substr(0, equals + 1) + " " + number;
                if (hash != std::string::npos) {
                    rebuilt += "    " + line.substr(hash) + ", rigged to the recorded flight";
                }
                line = rebuilt;
                found[k] = true;
            }
        }
        out += line + "\n";
    }
    for (std::size_t k = 0; k < std::size(values); ++k) {
        if (!found[k]) {
            error = std::string("no ") + values[k].first + " in its [controls] table";
            return std::nullopt;
        }
    }
    return out;
}

}  // namespace

std::optional<Rigged> rigToIdentifiedPowers(const std::string& classText, const std::string& classSource,
                                            const HoverModel& identified, const std::string& source,
                                            std::string& error) {
    std::optional<flight::AircraftDefinition> base = flight::parseAircraft(classText, classSource, error);
    if (!base) {
        return std::nullopt;
    }
    analysis::HoverPoint point;
    point.heightFt = identified.heightFt;

    const Controls original = controlsOf(base->parameters);
    const Truth classTruth = truthAtHover(base->parameters, point);
    const flight::Controls classTrim{.elevator = classTruth.model.trimElevator,
                                     .aileron = classTruth.model.trimAileron,
                                     .rudder = classTruth.model.trimRudder,
                                     .throttle = classTruth.model.trimThrottle};
    Rigged rigged;
    rigged.factor.fill(1.0);
    std::string text = classText;
    for (int round = 0; round <= kRounds; ++round) {
        std::optional<flight::AircraftDefinition> now = flight::parseAircraft(text, classSource, error);
        if (!now) {
            error = "the rigged file is no aircraft: " + error;
            return std::nullopt;
        }
        const Truth truth = round == 0 ? classTruth : truthAtHover(now->parameters, point);
        std::array<double, analysis::kInputCount> ratio{};
        bool reached = true;
        for (int axis = 0; axis < analysis::kInputCount; ++axis) {
            const auto a = static_cast<std::size_t>(axis);
            const auto term = static_cast<std::size_t>(kPowerOf[axis]);
            ratio[a] = identified.terms[term].value / truth.model.terms[term].value;
            if (!(ratio[a] > 0.0) || !std::isfinite(ratio[a])) {
                error = std::string("the identified ") + kAxisNames[axis] + " power (" + kTerms[term].name
                        + ") has the other sign than " + classSource
                        + "'s: the log's axis senses or the class is wrong";
                return std::nullopt;
            }
            rigged.reached[a] = 1.0 / ratio[a];
            reached = reached && std::fabs(ratio[a] - 1.0) <= kReachedWithin;
        }
        // The last round only measures, so `reached` is always of the text
        // that is returned.
        if (reached || round == kRounds) {
            break;
        }
        for (int axis = 0; axis < analysis::kInputCount; ++axis) {
            const auto a = static_cast<std::size_t>(axis);
            rigged.factor[a] *= ratio[a];
            if (rigged.factor[a] > kMaxRiggingFactor || rigged.factor[a] < 1.0 / kMaxRiggingFactor) {
                char line[200];
                std::snprintf(line, sizeof line,
                              "the identified %s power is %.2g times %s's: too far for this class to be the "
                              "helicopter",
                              kAxisNames[axis], rigged.factor[a], classSource.c_str());
                error = line;
                return std::nullopt;
            }
        }
        std::optional<std::string> edited =
            withControls(classText, scaled(original, classTrim, rigged.factor), error);
        if (!edited) {
            error = classSource + ": " + error;
            return std::nullopt;
        }
        text = *edited;
    }

    std::string header = "# " + base->name + ", its control rigging scaled to the control powers identified\n"
                         "# from " + source + " (blade angle per count over the class's:";
    for (int axis = 0; axis < analysis::kInputCount; ++axis) {
        char part[48];
        std::snprintf(part, sizeof part, " %s x%.3f", kAxisNames[axis],
                      rigged.factor[static_cast<std::size_t>(axis)]);
        header += part;
    }
    header += ").\n# The rest is " + classSource + " as it stands.\n";
    rigged.text = header + text;
    return rigged;
}

}  // namespace ident
