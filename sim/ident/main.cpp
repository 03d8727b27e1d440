// SPDX-License-Identifier: MIT
//
// hoverident: fits the linear hover model to recorded hover flights and
// writes the plant file the analysis and the tuner take.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/ident/flight_log.h"
#include "sim/ident/hover_model.h"
#include "sim/analysis/hold_options.h"
#include "sim/flight/aircraft_file.h"
#include "sim/ident/identify.h"
#include "sim/ident/rigging.h"
#include "sim/ident/truth.h"

namespace {

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "hoverident: identifies the linear hover model of a helicopter from hover flights recorded by\n"
        "hoverlog.gau, and writes it as a plant file for hoveranalysis --plant and hovertune --plant.\n"
        "Each LOG.csv is read by its header names; rows more than 0.5 s of simulation time apart\n"
        "split a log into stretches, each fitted from its own start. The fit is equation error (the\n"
        "latency on a grid) followed by output error (the latency continuous), the standard errors\n"
        "corrected for residuals correlated in time. The report (Markdown) gives every term with its\n"
        "value, standard error, unit and meaning, the latency, the residuals and the on-axis coherence\n"
        "of each control; it goes to standard output, and to --report FILE when given.\n"
        "Every axis (elevator, aileron, rudder, collective) needs at least one designed input (a\n"
        "3-2-1-1 or a sweep) with a coherent response.\n"
        "Exit status: 0 identified; 1 refused (an axis not excited enough or too weakly coherent: the\n"
        "line says which); 2 bad input (one line FILE:LINE: reason, or the option)."};
    std::vector<std::string> logs;
    std::string outPath;
    std::string reportPath;
    ident::IdentOptions options;
    std::string against;
    double trueLatencyS = 1.0 / 30.0;
    std::string className;
    std::string riggedPath;
    app.add_option("logs", logs, "the recorded flights (hoverlog-*.csv), one or more")->required();
    app.add_option("--out", outPath, "write the plant file (TOML) here; without it no plant file is written");
    app.add_option("--report", reportPath, "also write the report here");
    app.add_option(
           "--rotor-diameter-ft", options.rotorDiameterFt,
           "the rotor's diameter, ft, written to the plant file (the log does not hold it; default 32.3)")
        ->check(CLI::Range(1.0, 200.0));
    app.add_option(
           "--window-s", options.windowS,
           "length of the output-error windows, s, each simulated from the measured state (default 10)")
        ->check(CLI::Range(2.0, 120.0));
    app.add_option("--max-delay-s", options.maxDelayS,
                   "the largest command latency searched, s (default 0.25)")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--against", against,
                   "a simulated aircraft the logs were flown on (bo105, uh1h, puma or an aircraft file): the "
                   "report adds its own linearisation at the hover beside every term, and says whether the "
                   "terms that set the loops are within 20 % and the latency within one physics step");
    app.add_option("--true-latency-s", trueLatencyS,
                   "with --against: the host's command latency the logs were flown with, s (default 1/30, "
                   "one visual frame at 30 a second)")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--class", className,
                   "an aircraft file of the helicopter's class (bo105, uh1h, puma or a path), for "
                   "--aircraft-out");
    app.add_option(
           "--aircraft-out", riggedPath,
           "write the --class aircraft's file here with its control rigging (blade angle per count) "
           "scaled so that its linearised control power on each axis is the one identified, the rest "
           "of the class as it stands; hovertune --aircraft FILE then tunes on it. Exit status 1 when "
           "an identified power has the other sign than the class's or is more than 5 times off")
        ->needs(app.get_option("--class"));
    app.get_option("--class")->needs(app.get_option("--aircraft-out"));
    if (const std::optional<int> status = analysis::parseCommandLine(app, argc, argv, "hoverident")) {
        return *status;
    }

    // Both the --against aircraft and the --class come from the folder of
    // aircraft files beside this program or a path.
    const auto readAircraft = [](const std::string& name, const char* option, std::string& pathOut) {
        std::string error;
        const std::string folder = HOVER_AIRCRAFT_DIR;
        std::optional<flight::AircraftDefinition> read;
        const std::optional<std::string> path = flight::resolveAircraftPath(name, "", &folder, 1, error);
        if (path) {
            pathOut = *path;
            read = flight::readAircraftFile(*path, error);
        }
        if (!read) {
            std::fprintf(stderr, "hoverident: %s: %s\n", option, error.c_str());
        }
        return read;
    };
    std::optional<flight::AircraftDefinition> aircraft;
    std::string aircraftPath;
    if (!against.empty() && !(aircraft = readAircraft(against, "--against", aircraftPath))) {
        return 2;
    }
    std::optional<flight::AircraftDefinition> classAircraft;
    std::string classPath;
    if (!className.empty() && !(classAircraft = readAircraft(className, "--class", classPath))) {
        return 2;
    }

    std::vector<ident::FlightLog> flights;
    for (const std::string& path : logs) {
        std::string error;
        std::optional<ident::FlightLog> log = ident::readFlightLog(path, error);
        if (!log) {
            std::fprintf(stderr, "hoverident: %s\n", error.c_str());
            return 2;
        }
        flights.push_back(std::move(*log));
    }
    const ident::IdentOutcome outcome = ident::identify(flights, options);
    if (!outcome.result) {
        std::fprintf(stderr, "hoverident: refused: %s\n", outcome.refusal.c_str());
        return 1;
    }
    std::string report = ident::reportText(*outcome.result, options);
    if (aircraft) {
        analysis::HoverPoint point;
        point.heightFt = outcome.result->model.heightFt;
        const ident::Truth truth = ident::truthAtHover(aircraft->parameters, point);
        const double physicsStepS = 1.0 / aircraft->parameters.physicsRateHz;
        std::string why;
        const bool within =
            ident::identifiedWithinTolerance(outcome.result->model, truth, trueLatencyS, physicsStepS, why);
        report += "\n## Against the flight model's linearisation: " + aircraft->name + "\n\n";
        report +=
            "The linearisation at the identified hover's height, the rotor's inflows and disc tilt "
            "quasi-steady and its speed, engine and stabiliser bar held (they stand still over the "
            "band of the inputs). The terms that set the loops are held to 20 % (a cross term between "
            "the cyclic axes to at least a tenth of its row's control power), the latency to one "
            "physics step of the flight model.\n\n"
            "The identified terms are the settled ones: with a rotor lag, what its row gives once the "
            "lag has followed, which is what the linearisation's quasi-steady rotor gives. "
            "The two columns headed \"form on the response\" are the model's form without the rotor's "
            "lags fitted, without noise, to the linearisation's exact frequency response over 0.1-5 Hz "
            "(equation error, each frequency of a log-spaced grid alike): with the rotor speed, engine "
            "and bar held, and with every state free as in flight. They show what the rotor's own "
            "dynamics in the band do to a model that has no lag for them; where the identification "
            "is near the linearisation and these columns are not, the fitted lags took those dynamics "
            "in.\n\n";
        report += ident::comparisonTable(outcome.result->model, truth, trueLatencyS, physicsStepS);
        report += std::string("\n")
                  + (within ? "Every loop term and the latency are within the tolerances.\n"
                            : "NOT within the tolerances: " + why + ".\n");
    }
    std::string rigged;
    if (!riggedPath.empty()) {
        std::ifstream in(classPath, std::ios::binary);
        std::ostringstream classText;
        classText << in.rdbuf();
        std::string source;
        for (const std::string& path : logs) {
            source += (source.empty() ? "" : " ") + path;
        }
        std::string error;
        const std::optional<ident::Rigged> r =
            ident::rigToIdentifiedPowers(classText.str(), classPath, outcome.result->model, source, error);
        if (!r) {
            std::fprintf(stderr, "hoverident: --aircraft-out: %s\n", error.c_str());
            return 1;
        }
        rigged = r->text;
        report += "\n## " + classAircraft->name + " rigged to the identified control powers: " + riggedPath
                  + "\n\n";
        report +=
            "Blade angle per count over the class's, and the rigged file's linearised control power "
            "over the identified one.\n\n| axis | rigging | power reached |\n|---|---|---|\n";
        const char* axes[analysis::kInputCount] = {"collective", "elevator", "aileron", "pedals"};
        for (int axis = 0; axis < analysis::kInputCount; ++axis) {
            char line[96];
            std::snprintf(line, sizeof line, "| %s | x%.3f | %.4f |\n", axes[axis],
                          r->factor[static_cast<std::size_t>(axis)],
                          r->reached[static_cast<std::size_t>(axis)]);
            report += line;
        }
    }
    std::fputs(report.c_str(), stdout);
    if (!riggedPath.empty() && !writeFile(riggedPath, rigged)) {
        std::fprintf(stderr, "hoverident: %s: cannot be written\n", riggedPath.c_str());
        return 2;
    }
    if (!reportPath.empty() && !writeFile(reportPath, report)) {
        std::fprintf(stderr, "hoverident: %s: cannot be written\n", reportPath.c_str());
        return 2;
    }
    if (!outPath.empty()) {
        std::string comment = "identified by hoverident from";
        for (const std::string& path : logs) {
            comment += " " + path;
        }
        comment += "; standard errors corrected for coloured residuals";
        if (!writeFile(outPath, ident::plantFileText(outcome.result->model, comment))) {
            std::fprintf(stderr, "hoverident: %s: cannot be written\n", outPath.c_str());
            return 2;
        }
    }
    return 0;
}
