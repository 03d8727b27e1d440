// SPDX-License-Identifier: MIT
//
// hovermatrix: what the hold does on each helicopter, measured. Flies a set
// of scenarios on every aircraft with the default gains and with the
// parameter string found by hand on an earlier model (KprForward 0.5
// TvForward 0.5), on the host's default loop (18 panel updates a second on
// 30 visual frames, each command felt one visual frame later) or whole
// panel frames of delay, and an engage-speed sweep per aircraft; adds the
// linear analysis of each loop on the same loops; writes it all as one
// Markdown document.
#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "sim/analysis/hold_analysis.h"
#include "sim/flight/aircraft_file.h"
#include "sim/scenario/report.h"
#include "sim/scenario/runner.h"
#include "sim/scenario/scenario.h"

namespace {

constexpr const char* kHandFoundString = "KprForward 0.5 TvForward 0.5";
constexpr const char* kAircraft[] = {"bo105", "uh1h", "puma"};
// Scenarios that cover what pilots do with the hold: a capture from a drift
// in calm air, a hold in wind and light turbulence, a climb with the
// buttons, commanded drifts by clicks.
constexpr const char* kScenarios[] = {"capture_calm", "hold_wind_turbulence", "climb_buttons",
                                      "drift_nudges"};
constexpr double kSweepSpeedsKt[] = {5, 10, 15, 20, 25, 30, 35, 39};
constexpr double kEngageAtS = 2.0;
constexpr double kSweepDurationS = 120.0;
constexpr const char* kGrades[] = {"D", "A", "-"};  // desired, adequate, beyond

// The module's command ranges: a command at an end is the hold at its limit.
constexpr int kSurfaceLimit = 6000;
constexpr int kCollectiveLow = 5000;
constexpr int kCollectiveHigh = 15000;

struct Gains {
    const char* label;
    const char* parameters;
    std::array<double, 12> factors;
};
const Gains kGainSets[] = {
    {"defaults", "", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
    {"hand-found", kHandFoundString, {1, 1, 1, 0.5, 0.5, 1, 1, 1, 1, 1, 1, 1}},
};

// A trace, column by name.
class Trace {
public:
    explicit Trace(const std::string& csv) {
        std::istringstream in(csv);
        std::string line;
        std::getline(in, line);
        header_ = split(line);
        while (std::getline(in, line)) {
            rows_.push_back(split(line));
        }
    }
    size_t size() const { return rows_.size(); }
    std::optional<double> at(size_t row, const std::string& name) const {
        for (size_t i = 0; i < header_.size(); ++i) {
            if (header_[i] == name) {
                const std::string& cell = i < rows_[row].size() ? rows_[row][i] : empty_;
                if (cell.empty()) {
                    return std::nullopt;
                }
                return std::stod(cell);
            }
        }
        return std::nullopt;
    }

private:
    static std::vector<std::string> split(const std::string& line) {
        std::vector<std::string> cells;
        std::string cell;
        std::stringstream s(line);
        while (std::getline(s, cell, ',')) {
            cells.push_back(cell);
        }
        return cells;
    }
    std::vector<std::string> header_;
    std::vector<std::vector<std::string>> rows_;
    std::string empty_;
};

struct Saturation {
    double seconds[4] = {0, 0, 0, 0};  // collective, elevator, aileron, pedals
};

Saturation saturation(const Trace& t, double frameRate) {
    Saturation s;
    const char* columns[4] = {"cmd_throttle", "cmd_elevator", "cmd_aileron", "cmd_rudder"};
    for (size_t r = 0; r < t.size(); ++r) {
        for (int axis = 0; axis < 4; ++axis) {
            const std::optional<double> c = t.at(r, columns[axis]);
            if (!c) {
                continue;
            }
            const bool atLimit =
                axis == 0 ? (*c <= kCollectiveLow || *c >= kCollectiveHigh) : std::fabs(*c) >= kSurfaceLimit;
            s.seconds[axis] += atLimit ? 1.0 / frameRate : 0.0;
        }
    }
    return s;
}

struct Flown {
    host::RunResult result;
    std::string trace;
};

Flown fly(const host::Scenario& scenario, const std::string& modulePath) {
    std::ostringstream trace;
    host::RunOptions options;
    options.modulePath = modulePath;
    options.trace = &trace;
    Flown f;
    f.result = host::runScenario(scenario, options);
    f.trace = trace.str();
    return f;
}

std::string fixed(double v, int decimals) {
    if (std::isinf(v))
        return v > 0 ? "inf" : "-inf";
    if (std::isnan(v))
        return "-";
    char b[48];
    std::snprintf(b, sizeof b, "%.*f", decimals, v);
    return b;
}

std::string margins(const analysis::LoopMargins& m) {
    return fixed(m.gainMarginDb, 1) + " / " + fixed(m.phaseMarginDeg, 0) + " / " + fixed(m.disk.alpha, 2);
}

// The host's loop at 18 panel updates a second with the delay given: 0 is
// the host's own loop (the scenario default), 1 or 2 whole panel frames.
host::HostLoop matrixLoop(int delay) {
    host::Scenario s;
    s.frameRate = 18;
    s.commandDelayFrames = delay;
    return s.loop();
}

std::string loopLabel(int delay) {
    return delay == 0 ? "host's loop" : std::to_string(delay) + " panel frame" + (delay == 1 ? "" : "s");
}

// The engage-speed sweep's flight: steady at the speed, then the unit
// switched on and engaged, as a pilot would.
host::Scenario sweepFlight(const std::string& aircraft, double speedKt, const char* parameters, int delay,
                           std::optional<double> latencyS, bool engage) {
    host::Scenario s;
    s.name = "engage at " + fixed(speedKt, 0) + " kt";
    s.aircraft = aircraft;
    s.aircraftBase = std::string(HOVER_SOURCE_DIR) + "/scenarios";
    s.duration = kSweepDurationS;
    s.parameters = parameters;
    s.commandDelayFrames = delay;
    s.commandLatencyS = latencyS;
    s.start.heightFt = 100.0;
    s.start.groundSpeedKt = speedKt;
    double at = kEngageAtS - 1.0;
    for (const char* area : {"power", "guard", "engage"}) {
        host::TimedEvent e;
        e.at = at;
        e.click = std::string(area);
        e.text = std::string("click ") + area;
        if (engage || std::string(area) == "power") {
            s.events.push_back(e);
        }
        at += 0.5;
    }
    s.phases.push_back(host::PhaseSetting{"after engaging", kEngageAtS, host::kEndOfRun, std::nullopt});
    return s;
}

struct SweepPoint {
    double headingExcursionDeg = 0.0;  // largest |heading - heading at engagement|, unwrapped
    double pitchMaxDeg = 0.0;
    double pedalAtLimitS = 0.0;
    double trimPedal = 0.0;  // counts, the pilot's trim at the speed
    double endSpeedKt = 0.0;
    double endYawRateDegS = 0.0;
};

SweepPoint measureSweep(const Flown& f, double frameRate) {
    const Trace t(f.trace);
    SweepPoint p;
    const size_t engageRow = static_cast<size_t>(kEngageAtS * frameRate);
    double unwrapped = 0.0;
    std::optional<double> last;
    for (size_t r = 0; r < t.size(); ++r) {
        const double heading = t.at(r, "hdg_86").value_or(0.0);
        if (last) {
            unwrapped += std::remainder(heading - *last, 360.0);
        }
        last = heading;
        if (r >= engageRow) {
            p.headingExcursionDeg = std::max(p.headingExcursionDeg, std::fabs(unwrapped));
            p.pitchMaxDeg = std::max(p.pitchMaxDeg, std::fabs(t.at(r, "pitch_77").value_or(0.0)));
        }
        if (r < engageRow) {
            unwrapped = 0.0;
        }
    }
    p.pedalAtLimitS = saturation(t, frameRate).seconds[3];
    p.trimPedal = t.size() > 0 ? t.at(0, "rud_314").value_or(0.0) : 0.0;
    if (t.size() > 0) {
        p.endSpeedKt = t.at(t.size() - 1, "ground_speed_kt").value_or(0.0);
        p.endYawRateDegS = t.at(t.size() - 1, "yaw_70").value_or(0.0) * 360.0 / 65536.0;
    }
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "hovermatrix: the hold on every aircraft, measured with the real module and analysed linearly;\n"
        "writes one Markdown document (the project keeps it as docs/hold-measured.md)."};
    std::string scenarioDir = std::string(HOVER_SOURCE_DIR) + "/scenarios";
    std::string modulePath;
    std::string out = "-";
    int delay = host::kDefaultCommandDelayFrames;
    app.add_option("--scenarios", scenarioDir, "folder of the scenarios to fly (default: the source tree's)");
    app.add_option("-m,--module", modulePath, "the module to load (default: hover.so beside hoversim)");
    app.add_option("-o,--out", out, "write the document here ('-': standard output, the default)");
    app.add_option("--delay-frames", delay,
                   "The matrix's loop: 0 the host's own (the command felt one visual frame after its update), "
                   "1 or 2 whole panel frames of delay (0..2; default 0)")
        ->check(CLI::Range(0, 2));
    CLI11_PARSE(app, argc, argv);
    if (modulePath.empty()) {
        modulePath = HOVER_MODULE_PATH;
    }

    std::ostringstream doc;
    doc << "<!-- Generated by hovermatrix (sim/analysis/matrix_main.cpp); do not edit by hand. -->\n\n";
    doc << "## Margins of each loop\n\n"
           "Linearised about a 100 ft hover in calm air, on the host's loop ("
        << host::loopText(matrixLoop(0))
        << ") and with one or two whole panel frames of delay instead. `closed loop` is the exact verdict "
           "over the repeating pattern of updates, `largest pole` the largest eigenvalue of that pattern's "
           "transition. Each loop broken at its actuator with the other three closed, on the time-invariant "
           "model at the mean panel period with the same latency: gain margin dB / phase margin deg / "
           "symmetric disk margin alpha (the gain margin the smaller of the gain's room up and down; alpha 0 "
           "where that model's closed loop is unstable). On an unstable closed loop the gain and phase "
           "margins say how far the loop's gain or phase is from the stability boundary, not how much is in "
           "hand.\n\n"
           "| aircraft | gains | loop | closed loop | largest pole | up | forward | right | turn |\n"
           "|---|---|---|---|---:|---|---|---|---|\n";
    std::vector<analysis::HoldAnalysis> matrixMargins;
    std::vector<std::string> names;
    for (const char* name : kAircraft) {
        std::string error;
        const std::string search[] = {HOVER_AIRCRAFT_DIR};
        const std::optional<std::string> path = flight::resolveAircraftPath(name, "", search, 1, error);
        const std::optional<flight::AircraftDefinition> aircraft =
            path ? flight::readAircraftFile(*path, error) : std::nullopt;
        if (!aircraft) {
            std::cerr << "hovermatrix: " << error << "\n";
            return 2;
        }
        names.push_back(aircraft->name);
        const analysis::LinearPlant plant = analysis::linearisePlant(aircraft->parameters);
        for (const Gains& g : kGainSets) {
            for (int d = 0; d <= 2; ++d) {
                const analysis::HoldAnalysis a =
                    analysis::analyseHold(plant, analysis::scaledGains(g.factors), matrixLoop(d));
                if (d == delay) {
                    matrixMargins.push_back(a);
                }
                doc << "| " << aircraft->name << " | " << g.label << " | " << loopLabel(d) << " | "
                    << (a.closedLoopStable ? "stable" : "unstable") << " | "
                    << fixed(a.largestPoleMagnitude, 3);
                for (const analysis::LoopMargins& m : a.loops) {
                    doc << " | " << margins(m);
                }
                doc << " |\n";
            }
        }
    }

    doc << "\n## The matrix\n\n"
           "Scenarios flown with the real module on "
        << host::loopText(matrixLoop(delay))
        << ", the scenario's own parameter string replaced by the gains named. ADS-33 hover grades over the "
           "scenario's hover phases (worst phase; D desired, A adequate, - beyond; height 2/4 ft, position "
           "3/6 ft, "
           "heading 5/10 deg), the largest ground speed after engaging, the seconds each command spent at "
           "the end "
           "of its range (collective, elevator, aileron, pedals), and the linear margins of each loop (gain "
           "dB / "
           "phase deg / disk alpha) on the same loop.\n\n"
           "| aircraft | gains | scenario | height | position | heading | max GS kt | at limit s: coll / "
           "elev / ail / "
           "ped | up | forward | right | turn |\n"
           "|---|---|---|---|---|---|---:|---|---|---|---|---|\n";
    size_t marginIndex = 0;
    for (size_t ai = 0; ai < std::size(kAircraft); ++ai) {
        for (const Gains& g : kGainSets) {
            const analysis::HoldAnalysis& a = matrixMargins[marginIndex++];
            for (const char* scenarioName : kScenarios) {
                std::string error;
                std::optional<host::Scenario> s =
                    host::loadScenario(scenarioDir + "/" + scenarioName + ".toml", error);
                if (!s) {
                    std::cerr << "hovermatrix: " << error << "\n";
                    return 2;
                }
                s->aircraft = kAircraft[ai];
                s->aircraftBase = std::string(HOVER_SOURCE_DIR) + "/scenarios";
                s->parameters = g.parameters;
                s->frameRate = 18;
                s->visualFrameRate = matrixLoop(delay).visualRate;
                s->commandLatencyS.reset();
                s->commandDelayFrames = delay;
                const Flown f = fly(*s, modulePath);
                if (!f.result.flown) {
                    std::cerr << "hovermatrix: " << scenarioName << ": " << f.result.error << "\n";
                    return 2;
                }
                int grade[3] = {0, 0, 0};
                bool graded = false;
                double maxSpeed = 0.0;
                for (const host::PhaseResult& p : f.result.phases) {
                    maxSpeed = std::max(maxSpeed, p.engagedFraction > 0.0 ? p.speedMaxKt : 0.0);
                    if (!p.hover) {
                        continue;
                    }
                    graded = true;
                    grade[0] = std::max(grade[0], p.heightKnown ? host::gradeHeight(p.heightMaxFt) : 2);
                    grade[1] = std::max(grade[1], host::gradePosition(p.positionMaxDevFt));
                    grade[2] = std::max(grade[2], host::gradeHeading(p.headingMaxDevDeg));
                }
                const Saturation sat = saturation(Trace(f.trace), s->frameRate);
                doc << "| " << names[ai] << " | " << g.label << " | " << scenarioName;
                for (int k = 0; k < 3; ++k) {
                    doc << " | " << (graded ? kGrades[grade[k]] : "n/a");
                }
                doc << " | " << fixed(maxSpeed, 1) << " | " << fixed(sat.seconds[0], 0) << " / "
                    << fixed(sat.seconds[1], 0) << " / " << fixed(sat.seconds[2], 0) << " / "
                    << fixed(sat.seconds[3], 0);
                for (const analysis::LoopMargins& m : a.loops) {
                    doc << " | " << margins(m);
                }
                doc << " |\n";
            }
        }
    }

    doc << "\n## Engaging at speed\n\n"
           "Each aircraft trimmed at 100 ft and the speed given, heading north in calm air; the unit is "
           "switched "
           "on at 1 s and engaged at 2 s with the default gains, then flown for "
        << fixed(kSweepDurationS - kEngageAtS, 0)
        << " s. Largest heading excursion from the heading at engagement (unwrapped, so a full turn counts "
           "360), largest pitch attitude, seconds with the pedal command at the hold's limit (+-6000 of the "
           "+-16383 travel), the trim pedal position at that speed (counts), and the ground speed and yaw "
           "rate at "
           "the end. `no forward loop` engages with KprForward 0, so the hold does not pull the aircraft up "
           "to "
           "stop it and the elevator stays with the pilot at the trim. `host's loop` is the host's own (the "
           "command felt one visual frame after its update), `no latency` the same loop with the command "
           "felt at its update, `1 panel frame` the pessimistic whole frame of delay.\n\n"
           "| aircraft | flown | kt | heading excursion deg | max pitch deg | pedal at limit s | trim pedal "
           "| end GS "
           "kt | end yaw rate deg/s |\n"
           "|---|---|---:|---:|---:|---:|---:|---:|---:|\n";
    struct Variant {
        const char* label;
        const char* parameters;
        int delay;
        std::optional<double> latencyS;  // none: the host's, one visual frame
        bool engage;
    };
    const Variant variants[] = {
        {"hold, 1 panel frame", "", 1, std::nullopt, true},
        {"hold, host's loop", "", 0, std::nullopt, true},
        {"hold, no latency", "", 0, 0.0, true},
        {"no forward loop, no latency", "KprForward 0", 0, 0.0, true},
    };
    for (size_t ai = 0; ai < std::size(kAircraft); ++ai) {
        for (const Variant& v : variants) {
            for (double kt : kSweepSpeedsKt) {
                const host::Scenario s = sweepFlight(kAircraft[ai], kt, v.parameters, v.delay, v.latencyS, v.engage);
                const Flown f = fly(s, modulePath);
                if (!f.result.flown) {
                    std::cerr << "hovermatrix: sweep: " << f.result.error << "\n";
                    return 2;
                }
                const SweepPoint p = measureSweep(f, s.frameRate);
                doc << "| " << names[ai] << " | " << v.label << " | " << fixed(kt, 0) << " | "
                    << fixed(p.headingExcursionDeg, 0) << " | " << fixed(p.pitchMaxDeg, 1) << " | "
                    << fixed(p.pedalAtLimitS, 1) << " | " << fixed(p.trimPedal, 0) << " | "
                    << fixed(p.endSpeedKt, 1) << " | " << fixed(p.endYawRateDegS, 1) << " |\n";
            }
        }
    }

    if (out == "-") {
        std::cout << doc.str();
    } else {
        std::ofstream file(out);
        file << doc.str();
        if (!file) {
            std::cerr << "hovermatrix: cannot write " << out << "\n";
            return 2;
        }
    }
    return 0;
}
