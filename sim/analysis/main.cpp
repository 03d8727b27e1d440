// SPDX-License-Identifier: MIT
//
// hoveranalysis: the hold's closed-loop poles and the margins of its four
// loops on a helicopter, on the host's loop (panel updates on visual
// frames, the command's latency).
#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <numeric>
#include <string>
#include <vector>

#include "sim/analysis/hold_analysis.h"
#include "sim/analysis/hold_options.h"
#include "sim/flight/aircraft_file.h"
#include "sim/ident/plant_file.h"

namespace {

constexpr const char* kLoopNames[analysis::kLoopCount] = {"up (collective)", "forward (elevator)",
                                                          "right (aileron)", "turn (pedals)"};
constexpr const char* kGainKeys[12] = {"KprUp",     "TvUp",      "TnUp",     "KprForward",
                                       "TvForward", "TnForward", "KprRight", "TvRight",
                                       "TnRight",   "KprTurn",   "TvTurn",   "TnTurn"};

std::string number(double value, int decimals) {
    if (std::isinf(value)) {
        return value > 0.0 ? "inf" : "-inf";
    }
    if (std::isnan(value)) {
        return "-";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

// The loop in words: the rates, the steps between updates over one
// pattern, and when a command is felt.
void printLoop(const host::HostLoop& loop, int updatesPerPattern, double patternPeriodS) {
    std::printf("host loop: %d panel updates a second on %d visual frames a second; steps between updates:",
                loop.panelRate, loop.visualRate);
    for (int k = 1; k <= updatesPerPattern; ++k) {
        const int64_t frames = host::visualFrameOfUpdate(k, loop.panelRate, loop.visualRate)
                               - host::visualFrameOfUpdate(k - 1, loop.panelRate, loop.visualRate);
        std::printf(" %lld frame%s (%.1f ms)", static_cast<long long>(frames), frames == 1 ? "" : "s",
                    1000.0 * static_cast<double>(frames) / loop.visualRate);
    }
    std::printf(", repeating every %.4f s\n", patternPeriodS);
    if (loop.delayUpdates > 0) {
        std::printf("command: moves the controls at the %s panel update after it (%s whole panel frame%s)\n",
                    loop.delayUpdates == 1 ? "1st" : "2nd", loop.delayUpdates == 1 ? "one" : "two",
                    loop.delayUpdates == 1 ? "" : "s");
    } else {
        std::printf("command: moves the controls %.1f ms after its update (%.2f visual frames)\n",
                    1000.0 * loop.latencyS, loop.latencyS * loop.visualRate);
    }
}

// The verdict, the margins and the slowest poles of the hold on one loop.
void printAnalysis(const analysis::LinearPlant& plant, const analysis::Gains& gains, const host::HostLoop& loop) {
    const analysis::HoldAnalysis result = analysis::analyseHold(plant, gains, loop);
    printLoop(loop, result.updatesPerPattern, result.patternPeriodS);
    std::printf("\nclosed loop (exact, over the pattern of %d update%s): %s (largest eigenvalue of the "
                "pattern's transition %.4f)\n",
                result.updatesPerPattern, result.updatesPerPattern == 1 ? "" : "s",
                result.closedLoopStable ? "stable" : "UNSTABLE", result.largestPoleMagnitude);
    std::printf("margins: on the time-invariant model, updates every %.1f ms and the same latency; its closed "
                "loop is %s (largest pole %.4f)%s\n\n",
                1000.0 / loop.panelRate, result.marginModelStable ? "stable" : "UNSTABLE",
                result.marginModelLargestPole,
                result.marginModelStable ? "" : ": the margins say how far each loop is from the boundary");
    std::printf("| loop | gain margin dB | up dB | down dB | at Hz | phase margin deg | crossover Hz "
                "| disk alpha | disk gain dB | disk phase deg | at Hz | peak abs(S) | at Hz |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int j = 0; j < analysis::kLoopCount; ++j) {
        const analysis::LoopMargins& m = result.loops[static_cast<std::size_t>(j)];
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", kLoopNames[j],
                    number(m.gainMarginDb, 1).c_str(), number(m.gainIncreaseDb, 1).c_str(),
                    number(m.gainReductionDb, 1).c_str(), number(m.phaseCrossoverHz, 3).c_str(),
                    number(m.phaseMarginDeg, 1).c_str(), number(m.crossoverHz, 3).c_str(),
                    number(m.disk.alpha, 3).c_str(), number(m.disk.gainMarginDb, 1).c_str(),
                    number(m.disk.phaseMarginDeg, 1).c_str(), number(m.disk.atHz, 3).c_str(),
                    number(m.disk.peakSensitivity, 2).c_str(), number(m.disk.peakSensitivityHz, 3).c_str());
    }
    std::printf("\nslowest and least damped poles (z once a pattern, then as s: frequency Hz, damping, rate "
                "1/s; frequencies above %.1f Hz are seen folded below it)\n",
                result.poleRateHz / 2.0);
    for (const std::complex<double>& z : result.poles) {
        if (z.imag() < 0.0) {
            continue;  // one of each conjugate pair
        }
        const analysis::EquivalentPole e = analysis::equivalentPole(z, result.poleRateHz);
        if (e.realPerSecond < -20.0) {
            continue;
        }
        std::printf("  z = %8.5f %+8.5fi   |z| %.5f   %7.3f Hz  damping %7.3f  rate %+8.3f\n", z.real(),
                    z.imag(), std::abs(z), e.frequencyHz, e.damping, e.realPerSecond);
    }
}

void printGains(const analysis::Gains& gains) {
    std::printf("gains:");
    for (std::size_t i = 0; i < 12; ++i) {
        std::printf(" %s %g", kGainKeys[i], gains[i]);
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "hoveranalysis: linear analysis of the hover hold on the simulated helicopter.\n"
        "Linearises the flight model about a 100 ft hover in calm air, closes the module's four\n"
        "loops as the module computes them on the host's loop (panel updates on visual frames,\n"
        "each with its own time step, and the command moving the controls a latency later), and\n"
        "prints whether the closed loop is stable (exact, over the repeating pattern of updates)\n"
        "and, on the time-invariant model at the mean panel period, the gain and phase margins,\n"
        "the disk margin and the sensitivity peak of each loop broken at its actuator (the other\n"
        "three closed)."};
    int frameRate = host::kDefaultPanelRate;
    analysis::LoopOptions loopOptions;
    std::vector<std::string> factors;
    std::string aircraftName = "bo105";
    CLI::Option* aircraftOption = analysis::addAircraftOption(app, aircraftName, "of the source tree");
    std::string plantPath;
    CLI::Option* plantOption = analysis::addPlantOption(app, plantPath);
    plantOption->excludes(aircraftOption);
    app.add_option("--frame-rate", frameRate, "Panel updates a second (1..60, at most the visual rate; default 18)")
        ->check(CLI::Range(1, 60));
    analysis::addLoopOptions(app, loopOptions);
    app.add_option(
           "--factor", factors,
           "a gain factor as KEY=VALUE, for example --factor KprForward=0.5; repeat for more keys "
           "(KprUp, TvUp, TnUp, KprForward, TvForward, TnForward, KprRight, TvRight, TnRight, KprTurn, "
           "TvTurn, TnTurn); each multiplies the module's default")
        ->delimiter(',');
    if (const std::optional<int> status = analysis::parseCommandLine(app, argc, argv, "hoveranalysis")) {
        return *status;
    }
    std::string loopError;
    const std::optional<host::HostLoop> loop = analysis::loopFromOptions(loopOptions, frameRate, loopError);
    if (!loop) {
        std::fprintf(stderr, "hoveranalysis: %s\n", loopError.c_str());
        return 2;
    }

    std::array<double, 12> scale{};
    scale.fill(1.0);
    for (const std::string& item : factors) {
        const std::size_t equals = item.find('=');
        const std::string key = item.substr(0, equals);
        const char* text = equals == std::string::npos ? "" : item.c_str() + equals + 1;
        char* end = nullptr;
        const double value = std::strtod(text, &end);
        bool named = false;
        for (std::size_t i = 0; i < 12; ++i) {
            if (key == kGainKeys[i]) {
                scale[i] = value;
                named = true;
            }
        }
        if (!named || end == text || *end != '\0' || !std::isfinite(value)) {
            std::fprintf(stderr, "hoveranalysis: --factor %s: not KEY=NUMBER with a known key\n",
                         item.c_str());
            return 2;
        }
    }

    const analysis::Gains gains = analysis::scaledGains(scale);
    if (plantOption->count() > 0) {
        std::string error;
        const std::optional<ident::HoverModel> model = ident::readPlantFile(plantPath, error);
        if (!model) {
            std::fprintf(stderr, "hoveranalysis: %s\n", error.c_str());
            return 2;
        }
        const analysis::LinearPlant plant = ident::toLinearPlant(*model);
        std::printf("plant: %s (%s), the identified hover at %.0f ft; fitted latency %.1f ms (standard error "
                    "%.1f ms)\n",
                    model->name.c_str(), plantPath.c_str(), model->heightFt, 1000.0 * model->delayS.value,
                    1000.0 * model->delayS.standardError);
        printGains(gains);
        std::printf("\n## on the host's loop as given\n\n");
        printAnalysis(plant, gains, *loop);
        // The fitted latency is the whole of the recorded loop's delay: the
        // same loop with it in place of the host's latency.
        host::HostLoop fitted = *loop;
        fitted.delayUpdates = 0;
        fitted.latencyS = model->delayS.value;
        std::printf("\n## at the plant's own fitted latency (%.1f ms)\n\n", 1000.0 * fitted.latencyS);
        if (fitted.latencyS > 2.0 / fitted.panelRate) {
            std::printf("not analysed: the fitted latency is beyond two panel frames (%.1f ms), more than the "
                        "analysis takes\n",
                        2000.0 / fitted.panelRate);
        } else {
            printAnalysis(plant, gains, fitted);
        }
        return 0;
    }

    std::string error;
    const std::string search[] = {HOVER_AIRCRAFT_DIR};
    const std::optional<std::string> path = flight::resolveAircraftPath(aircraftName, "", search, 1, error);
    const std::optional<flight::AircraftDefinition> aircraft =
        path ? flight::readAircraftFile(*path, error) : std::nullopt;
    if (!aircraft) {
        std::fprintf(stderr, "hoveranalysis: %s\n", error.c_str());
        return 2;
    }
    const analysis::LinearPlant plant = analysis::linearisePlant(aircraft->parameters);
    std::printf("aircraft: %s (%s), hover at 100 ft, calm air%s\n", aircraft->name.c_str(), path->c_str(),
                plant.trimmed ? "" : " (NO TRIM within the control ranges)");
    printGains(gains);
    std::printf("\n");
    printAnalysis(plant, gains, *loop);
    return 0;
}
