// SPDX-License-Identifier: MIT
//
// hovertune: finds the parameter string that holds a helicopter with the
// hover gauge, flying the real module through the simulated host.
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

#include "sim/analysis/hold_options.h"
#include "sim/flight/parameters.h"
#include "sim/host/module_library.h"
#include "sim/tune/report.h"
#include "sim/tune/round_trip.h"
#include "sim/tune/tuner.h"

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void onInterrupt(int) {
    stopRequested.store(true);
    // A second Ctrl-C ends the program at once.
    signal(SIGINT, SIG_DFL);
}

void installInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a waiting poll returns at once
    sigaction(SIGINT, &action, nullptr);
}

constexpr const char* kDescription =
    R"(hovertune finds the hover gauge's parameter string for a helicopter: the twelve
gain factors, searched in log space (NLopt: a global controlled random search, then a
local subplex search, from a fixed seed), starting with the Turn and Up loops' rate
filters at 0.3 of the string it starts from.

It tunes for what is not known. The uncertainty set: the aircraft's least known figures
(moments of inertia, cyclic control power, the blades' flap inertia and with it the
rotor's damping, the tail rotor's thrust per degree) each scaled by 1 -+ the fraction of
the aircraft file's [uncertainty] table (or --spread); the command latency at 0, 1/3, 2/3
and 1 panel frame, and stability still at --delay-frames whole panel frames; visual rates 20, 30 and 60
a second; the wind up to --wind from every side, turbulence up to --turbulence, including
a hold in moderate turbulence at 3/4 of --wind (15 kt by default); engagements from a
--drift drift and from 25 ft off height.

A string is judged first by the linear analysis over that set: every sampled plant at
every latency closed stable, and each loop broken at its actuator keeping the disk margin
--disk-margin (its symmetric gain and phase margins together) on all of them. Strings that
miss it are not flown. The classical gain and phase margins of the aircraft as its file
gives it, with no delay and one panel frame late, are reported beside it and required
only if --gain-margin or --phase-margin ask. Before anything is flown, a search of the
margins alone finds where they are met; where no string meets them it says which loop
cannot and how close it gets, holds each such loop to 90 % of what it reached, and the
result is exit status 1.

Then by the training flights with the real module loaded as the host loads it, plants,
latencies and winds taken in turn across them: holds in each level of turbulence,
engagements from a drift and off height, commanded 1 m/s drifts and 1 deg/s turns by
clicks on the face, and 20 ft height changes. Each flight is scored against the ADS-33
hover bounds (desired in calm and light air, adequate in moderate) or by how closely it
follows the commanded set point, plus a small penalty for time at an axis limit; the
string's score is its worst flight's (1 = at the bound) plus a tenth of the mean, so a
string with one runaway flight cannot win. Flights run in parallel, each in its own
process; the result does not depend on --threads.

At the end the string is flown on a validation set the search never sees (other seeds,
winds, directions, plants and latencies): it holds when every validation plant and latency
closes stable and every validation flight stays within --holds-within times its bounds.

It writes into --out: parameters.txt (the string), gauge_line.txt (a line for the panel
configuration), check.toml (a scenario flying the string, for hoversim to re-check) and
report.md with its chart, scores.png (scores and margins of the default gains, the string
found by hand on an earlier model, KprForward 0.5 TvForward 0.5, and the tuned string).
The same options with --draw-histories fly no search: they draw the time history of the
probe flight (the first engagement from a drift) with each of the three strings into --out,
from its parameters.txt. Progress goes to standard error. Ctrl-C stops the search and writes the best
string found so far; a second Ctrl-C ends at once.

Exit status: 0 a string was found, written, and holds on the validation set; 1 written,
but no string met the margins asked for over the set (see the report: which loop, and what
it reached), it does not hold on the validation set, or the aircraft has no trim; 2 an
option or the aircraft file is wrong (one line says which); 130 stopped by Ctrl-C after
writing the best found.

With --plant FILE in place of --aircraft, the helicopter is a plant file (the hover model
hoverident identified from a recorded flight): the flights fly it as a linear aircraft, the
analysis takes its terms, and the uncertainty set scales its four groups of terms by twice
each group's largest relative standard error (0.05 to 0.5; the file's [uncertainty] table
or --spread instead). The latency set is extended to hold the plant's fitted latency when
that lies outside it. The validation flights fly the same plant: fly the string found on
the real aircraft before trusting it there.)";

tune::Turbulence parseTurbulence(const std::string& text) {
    static const std::map<std::string, tune::Turbulence> kLevels = {{"none", tune::Turbulence::kNone},
                                                                    {"light", tune::Turbulence::kLight},
                                                                    {"moderate", tune::Turbulence::kModerate},
                                                                    {"severe", tune::Turbulence::kSevere}};
    return kLevels.at(text);
}

std::string commandLine(int argc, char** argv) {
    std::string line = "hovertune";
    for (int i = 1; i < argc; ++i) {
        line += ' ';
        line += argv[i];
    }
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{kDescription, "hovertune"};
    app.get_formatter()->column_width(34);
    std::string aircraft = host::kDefaultAircraft;
    int frameRate = 18;
    int stabilityDelay = 2;
    double windKt = 20.0;
    std::string turbulence = "moderate";
    int seeds = 2;
    double driftKt = 10.0;
    double diskMargin = tune::kRequiredDiskMargin;
    double spread = -1.0;
    double holdsWithin = tune::kDefaultHoldsWithin;
    int tradeOffBudget = 8;
    int budget = 150;
    uint64_t seed = 1;
    int threads = 0;
    std::string outDir = "hovertune-out";
    std::string modulePath;
    double gainMarginDb = 0.0;
    double phaseMarginDeg = 0.0;
    bool drawHistories = false;
    std::string validateString;
    CLI::Option* aircraftOption = analysis::addAircraftOption(app, aircraft, "beside this program");
    std::string plant;
    analysis::addPlantOption(app, plant)->excludes(aircraftOption);
    app.add_option("--frame-rate", frameRate, "Host panel updates a second (default 18)")
        ->check(CLI::Range(18, 60));
    app.add_option("--delay-frames", stabilityDelay,
                   "Whole panel frames of command delay at which every plant of the set must still close "
                   "stable: 0 (no such check), 1 or 2 (default 2)")
        ->check(CLI::Range(0, 2));
    app.add_option("--wind", windKt,
                   "Strongest mean wind of the flights, kt; each kind of flight has its share of it (default 20)")
        ->check(CLI::Range(0.0, 40.0));
    app.add_option("--drift", driftKt, "Drift the hold is engaged from, kt (default 10)")
        ->check(CLI::Range(10.0, 30.0));
    app.add_option("--disk-margin", diskMargin,
                   "Disk margin every loop must keep on every plant and latency of the set (default 0.4: "
                   "3.5 dB and 23 deg at once)")
        ->check(CLI::Range(0.0, 1.5));
    app.add_option("--spread", spread,
                   "Scale each uncertain figure of the aircraft by 1 -+ this instead of its file's "
                   "[uncertainty] table (0: the aircraft exactly as given)")
        ->check(CLI::Range(0.0, 0.5));
    app.add_option("--trade-off-budget", tradeOffBudget,
                   "Strings flown by each short tune of the trade-off, at disk margins 0.2, 0.3, 0.5 and 0.6 "
                   "(default 8; 0: no trade-off)")
        ->check(CLI::Range(0, 1000));
    app.add_option("--holds-within", holdsWithin,
                   "The string holds on the validation set when every flight stays within this many times "
                   "its bounds (default 2)")
        ->check(CLI::Range(1.0, 10.0));
    app.add_option(
           "--turbulence", turbulence,
           "Roughest turbulence of the flights: none, light, moderate or severe; the flights the set flies "
           "in moderate air are flown in it, the others in no rougher (default moderate)")
        ->check(CLI::IsMember({"none", "light", "moderate", "severe"}));
    app.add_option("--seeds", seeds,
                   "Repetitions of the training and validation sets, each with its own seeds, winds, plants "
                   "and latencies (default 2)")
        ->check(CLI::Range(1, 50));
    app.add_option("--budget", budget, "Strings to fly in all (default 150)")
        ->check(CLI::Range(1, 100000));
    app.add_option("--seed", seed, "Seed of the search (default 1): the same seed repeats the same run");
    app.add_option("--threads", threads,
                   "Flights flown at once, each in its own process (default: the machine's cores)")
        ->check(CLI::Range(1, 256));
    app.add_option("--out", outDir, "Directory for the results (default hovertune-out)");
    app.add_option("--gain-margin", gainMarginDb,
                   "Classical gain margin every loop must also keep, the aircraft as given one panel frame "
                   "late, dB (default 0: reported, not required)")
        ->check(CLI::Range(0.0, 20.0));
    app.add_option("--phase-margin", phaseMarginDeg,
                   "Classical phase margin likewise, deg (default 0: reported, not required)")
        ->check(CLI::Range(0.0, 90.0));
    app.add_flag(tune::kDrawHistoriesOption, drawHistories,
                 "No search: draw the time histories of the string in --out (its parameters.txt), the "
                 "default gains and the hand-found string into --out; give the options of the report's "
                 "command");
    app.add_option("--validate", validateString,
                   "Search nothing: fly this parameter string on the validation set (on the host's own loop "
                   "and one panel frame late), write <out>/holds.txt and exit 0 when it holds, 1 when not");
    app.add_option("--module", modulePath, "The gauge module to fly (default: hover.so beside this program)");
    if (const std::optional<int> status = analysis::parseCommandLine(app, argc, argv, "hovertune")) {
        return *status;
    }

    tune::TuneSettings settings;
    settings.conditions.aircraft = aircraft;
    settings.conditions.plant = plant;
    settings.conditions.frameRate = frameRate;
    settings.conditions.stabilityDelayFrames = stabilityDelay;
    settings.conditions.windKt = windKt;
    settings.conditions.roughest = parseTurbulence(turbulence);
    settings.conditions.seeds = seeds;
    settings.conditions.driftKt = driftKt;
    if (spread >= 0.0)
        settings.conditions.spreadOverride = flight::Uncertainty{{spread, spread, spread, spread}};
    settings.holdsWithin = holdsWithin;
    settings.budget = budget;
    settings.seed = seed;
    settings.required = tune::MarginBounds::disk(diskMargin);
    settings.required.classicalGainMarginDb = gainMarginDb;
    settings.required.classicalPhaseMarginDeg = phaseMarginDeg;
    settings.processes =
        threads > 0 ? threads : static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
    settings.modulePath = modulePath.empty() ? host::ModuleLibrary::besideProgram() : modulePath;

    // What the host cannot fly is refused before anything is flown.
    std::string problem;
    std::string aircraftName;
    if (!tune::hostCanFly(settings.conditions, aircraftName, problem)) {
        std::cerr << "hovertune: " << problem << "\n";
        return 2;
    }
    {
        host::ModuleLibrary probe;
        if (!probe.open(settings.modulePath)) {
            std::cerr << "hovertune: cannot load the module " << settings.modulePath << ": " << probe.error()
                      << "\n";
            return 2;
        }
    }
    if (drawHistories) {
        const tune::Tuner tuner(settings);
        std::string error;
        if (!std::filesystem::exists(outDir + "/parameters.txt")) {
            std::cerr << "hovertune: no " << outDir << "/parameters.txt: run the search with --out " << outDir
                      << " first\n";
            return 2;
        }
        if (!tune::drawHistories(tuner, outDir, error)) {
            std::cerr << "hovertune: " << error << "\n";
            return 1;
        }
        for (const tune::History& h : tune::kHistories)
            std::printf("%s/%s\n", outDir.c_str(), h.file);
        return 0;
    }
    installInterrupt();
    const auto started = std::chrono::steady_clock::now();
    const auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    const tune::Tuner tuner(settings);

    if (!validateString.empty()) {
        const std::optional<tune::Factors> factors = tune::readParameterString(validateString);
        if (!factors) {
            std::cerr << "hovertune: --validate: not a parameter string the tuner can read: " << validateString
                      << "\n";
            return 2;
        }
        tune::Evaluation e = tuner.evaluate(*factors, &stopRequested, true);
        e.parameters = validateString;
        const tune::Validation v = tuner.validate(e, &stopRequested);
        const std::string holds = tune::holdsParagraph(v, tuner);
        std::error_code made;
        std::filesystem::create_directories(outDir, made);
        std::ofstream out(outDir + "/holds.txt", std::ios::binary);
        out << holds;
        if (!out) {
            std::cerr << "hovertune: cannot write " << outDir << "/holds.txt\n";
            return 2;
        }
        std::printf("validation: score %.3f over %zu flights (training %.3f)\n%s", v.score, v.outcomes.size(),
                    e.flightScore, holds.c_str());
        return v.holds() ? 0 : 1;
    }

    tune::ReportInput report;
    report.outDir = outDir;
    report.commandLine = commandLine(argc, argv);
    report.tuner = &tuner;
    report.aircraftName = aircraftName;
    std::fprintf(stderr, "hovertune: %zu flights per string, %d at a time, budget %d strings\n",
                 tuner.flights().size(), settings.processes, budget);

    // The two strings the tuned one is compared with.
    tune::Candidate defaults{"default gains", tuner.evaluate(tune::kDefaultFactors, &stopRequested, true)};
    tune::Factors handFoundFactors = tune::kDefaultFactors;
    if (const auto read = tune::readParameterString(tune::kHandFoundParameters))
        handFoundFactors = *read;
    tune::Candidate handFound{"hand-found string", tuner.evaluate(handFoundFactors, &stopRequested, true)};
    handFound.evaluation.parameters = tune::kHandFoundParameters;
    if (!defaults.evaluation.outcomes.empty() && !defaults.evaluation.outcomes[0].trimmed) {
        report.notes.push_back(
            "the flight model found no trim for this aircraft's hover: every flight started "
            "untrimmed, and the scores say how the hold copes with that");
    }
    const auto describe = [](const tune::Evaluation& e) {
        char text[96];
        std::snprintf(text, sizeof text, "%.3f%s", e.flightScore,
                      e.marginsMet ? "" : " (misses the margins)");
        return std::string(text);
    };
    std::fprintf(stderr, "hovertune: default gains score %s, hand-found string %s (%.1f s)\n",
                 describe(defaults.evaluation).c_str(), describe(handFound.evaluation).c_str(), elapsed());

    std::optional<tune::TuneResult> result;
    if (!stopRequested.load()) {
        double lastShown = -1.0;
        const auto progress = [&](int evaluations, double best) {
            const double spent = elapsed();
            if (spent - lastShown < 1.0 && evaluations < budget) {
                return;  // a line a second is enough
            }
            lastShown = spent;
            const double rate = spent / (evaluations + 2);
            const double left = std::max(0.0, rate * (budget - evaluations));
            if (best >= tune::kInfeasibleScore) {
                std::fprintf(stderr,
                             "\rhovertune: %d/%d strings flown, none yet meets the margins (shortfall %.3f), "
                             "%.0f s spent, about %.0f s left   ",
                             evaluations, budget, best - tune::kInfeasibleScore, spent, left);
            } else {
                std::fprintf(
                    stderr,
                    "\rhovertune: %d/%d strings flown, best score %.3f, %.0f s spent, about %.0f s left   ",
                    evaluations, budget, best, spent, left);
            }
            std::fflush(stderr);
        };
        // The search starts from the better of the two known strings.
        const bool handFoundBetter = handFound.evaluation.score < defaults.evaluation.score;
        result = tuner.tune(&stopRequested, progress,
                            tune::searchStart(handFoundBetter ? handFound.evaluation.factors
                                                              : defaults.evaluation.factors));
        std::fprintf(stderr, "\n");
        const tune::MarginSearch& m = result->margins;
        if (m.feasible) {
            std::fprintf(stderr,
                         "hovertune: margins met from the start of the flown search (%d analyses, %.1f s)\n",
                         m.analyses, m.seconds);
        } else {
            std::fprintf(stderr,
                         "hovertune: no string found keeps a disk margin of %g on every loop over the "
                         "uncertainty set (%d analyses, %.1f s):\n",
                         diskMargin, m.analyses, m.seconds);
            for (const std::string& line : tune::shortLoops(m))
                std::fprintf(stderr, "  %s\n", line.c_str());
        }
    }
    if (result && tradeOffBudget > 0 && !stopRequested.load()) {
        std::fprintf(stderr, "hovertune: the trade-off, %zu short tunes of %d strings\n",
                     tune::kTradeOffMargins.size(), tradeOffBudget);
        report.tradeOff = tuner.tradeOff({tune::kTradeOffMargins.begin(), tune::kTradeOffMargins.end()},
                                         tradeOffBudget, result->best.factors, &stopRequested);
        tune::TradeOffPoint chosen;
        chosen.diskMargin = diskMargin;
        chosen.feasible = result->best.requiredMet;
        chosen.score = result->best.flightScore;
        chosen.parameters = result->best.parameters;
        chosen.chosen = true;
        report.tradeOff.push_back(chosen);
        std::stable_sort(report.tradeOff.begin(), report.tradeOff.end(),
                         [](const tune::TradeOffPoint& a, const tune::TradeOffPoint& b) {
                             return a.diskMargin < b.diskMargin;
                         });
    }
    report.interrupted = stopRequested.load();
    if (result) {
        tune::Candidate tuned{"tuned", result->best};
        report.result = result;
        const size_t probe = tune::probeFlight(tuner.flights());
        if (tuned.evaluation.flown) {
            report.roundTrip = tune::checkRoundTrip(tuner.pool(), tuner.flights()[probe],
                                                    tuned.evaluation.outcomes[probe].traceHash,
                                                    tuned.evaluation.factors, tuned.evaluation.parameters);
        }
        report.candidates = {defaults, handFound, tuned};
    } else {
        report.candidates = {defaults, handFound};
    }
    report.seconds = elapsed();
    std::string error;
    if (!tune::writeReport(report, error)) {
        std::cerr << "hovertune: " << error << "\n";
        return 2;
    }
    if (result) {
        std::printf("%s\n%s\n", result->best.parameters.c_str(),
                    tune::gaugeLine(result->best.parameters).c_str());
        std::printf(
            "score %s (default gains %s, hand-found string %s); %d strings, %ld flights, %.1f s; report in "
            "%s/report.md\n",
            describe(result->best).c_str(), describe(defaults.evaluation).c_str(),
            describe(handFound.evaluation).c_str(), result->search.evaluations, result->flights,
            report.seconds, outDir.c_str());
        if (report.roundTrip && !report.roundTrip->passed()) {
            std::printf("round trip: %s\n", report.roundTrip->summary().c_str());
        }
        const tune::Validation& v = result->validation;
        if (v.flown) {
            std::printf("validation: score %.3f over %zu flights (training %.3f); %s\n", v.score,
                        v.outcomes.size(), result->best.flightScore,
                        v.holds() ? "the string holds on the validation set"
                                  : "the string does NOT hold on the validation set");
        }
        if (!result->best.requiredMet)
            std::printf("no string met the required margins over the uncertainty set: this is the best found\n");
    }
    return tune::exitStatus(report.interrupted, result ? &*result : nullptr, !report.notes.empty());
}
