// SPDX-License-Identifier: MIT
//
// hoveranalysis: the hold's closed-loop poles and the margins of its four
// loops on a helicopter, at a given update rate and command delay.
#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <string>

#include "sim/analysis/hold_analysis.h"
#include "sim/analysis/hold_options.h"
#include "sim/flight/aircraft_file.h"

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

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "hoveranalysis: linear analysis of the hover hold on the simulated helicopter.\n"
        "Linearises the flight model about a 100 ft hover in calm air, closes the module's four\n"
        "loops as the module computes them at the update rate, with the command reaching the\n"
        "controls a number of updates late, and prints the closed-loop poles and the gain and\n"
        "phase margins of each loop broken at its actuator (the other three closed)."};
    double frameRate = 18.0;
    int delay = 1;
    std::vector<std::string> factors;
    std::string aircraftName = "bo105";
    analysis::addAircraftOption(app, aircraftName, "of the source tree");
    app.add_option("--frame-rate", frameRate, "panel updates a second (default 18)")
        ->check(CLI::Range(1.0, 1000.0));
    analysis::addDelayOption(app, delay);
    app.add_option(
           "--factor", factors,
           "a gain factor as KEY=VALUE, for example --factor KprForward=0.5; repeat for more keys "
           "(KprUp, TvUp, TnUp, KprForward, TvForward, TnForward, KprRight, TvRight, TnRight, KprTurn, "
           "TvTurn, TnTurn); each multiplies the module's default")
        ->delimiter(',');
    CLI11_PARSE(app, argc, argv);

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

    std::string error;
    const std::string search[] = {HOVER_AIRCRAFT_DIR};
    const std::optional<std::string> path = flight::resolveAircraftPath(aircraftName, "", search, 1, error);
    const std::optional<flight::AircraftDefinition> aircraft =
        path ? flight::readAircraftFile(*path, error) : std::nullopt;
    if (!aircraft) {
        std::fprintf(stderr, "hoveranalysis: %s\n", error.c_str());
        return 2;
    }

    const analysis::Gains gains = analysis::scaledGains(scale);
    const analysis::LinearPlant plant = analysis::linearisePlant(aircraft->parameters);
    const analysis::HoldAnalysis result = analysis::analyseHold(plant, gains, frameRate, delay);

    std::printf("aircraft: %s (%s), hover at 100 ft, calm air%s\n", aircraft->name.c_str(), path->c_str(),
                plant.trimmed ? "" : " (NO TRIM within the control ranges)");
    std::printf("updates: %g a second, command delay %d update%s\n", frameRate, delay, delay == 1 ? "" : "s");
    std::printf("gains:");
    for (std::size_t i = 0; i < 12; ++i) {
        std::printf(" %s %g", kGainKeys[i], gains[i]);
    }
    std::printf("\n\nclosed loop: %s (largest pole magnitude %.4f)\n\n",
                result.closedLoopStable ? "stable" : "UNSTABLE", result.largestPoleMagnitude);
    std::printf("| loop | gain margin dB | up dB | down dB | at Hz | phase margin deg | crossover Hz |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    for (int j = 0; j < analysis::kLoopCount; ++j) {
        const analysis::LoopMargins& m = result.loops[static_cast<std::size_t>(j)];
        std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", kLoopNames[j],
                    number(m.gainMarginDb, 1).c_str(), number(m.gainIncreaseDb, 1).c_str(),
                    number(m.gainReductionDb, 1).c_str(), number(m.phaseCrossoverHz, 3).c_str(),
                    number(m.phaseMarginDeg, 1).c_str(), number(m.crossoverHz, 3).c_str());
    }
    std::printf("\nslowest and least damped poles (z, then as s: frequency Hz, damping, rate 1/s)\n");
    for (const std::complex<double>& z : result.poles) {
        if (z.imag() < 0.0) {
            continue;  // one of each conjugate pair
        }
        const analysis::EquivalentPole e = analysis::equivalentPole(z, frameRate);
        if (e.realPerSecond < -20.0) {
            continue;
        }
        std::printf("  z = %8.5f %+8.5fi   |z| %.5f   %7.3f Hz  damping %7.3f  rate %+8.3f\n", z.real(),
                    z.imag(), std::abs(z), e.frequencyHz, e.damping, e.realPerSecond);
    }
    return 0;
}
