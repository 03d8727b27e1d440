// SPDX-License-Identifier: MIT
//
// flightcheck: trims each aircraft in hover, linearises it and writes the
// table of model against reference as Markdown, the tables of
// docs/flight-model.md.
//
//   flightcheck AIRCRAFT_DIR                 the tables on standard output
//   flightcheck AIRCRAFT_DIR --write DOC     put them into DOC between the markers
//   flightcheck AIRCRAFT_DIR --check DOC     exit 1 when DOC's tables are stale
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "sim/flight/aircraft_file.h"
#include "sim/flight/validation.h"

namespace {

constexpr const char* kAircraft[] = {"bo105", "uh1h", "puma"};
constexpr std::string_view kBegin = "<!-- flightcheck: generated tables begin -->";
constexpr std::string_view kEnd = "<!-- flightcheck: generated tables end -->";

struct Row {
    const char* quantity;
    const char* label;
    const char* unit;
};

constexpr Row kTrimRows[] = {
    {"collectiveDeg", "collective (root pitch)", "deg"},
    {"forwardCyclicDeg", "longitudinal cyclic, forward", "deg"},
    {"leftCyclicDeg", "lateral cyclic, left", "deg"},
    {"tailPitchDeg", "tail rotor pitch", "deg"},
    {"pitchUpDeg", "pitch attitude, nose up", "deg"},
    {"rollRightDeg", "roll attitude, right", "deg"},
    {"powerKw", "power", "kW"},
    {"lockNumber", "Lock number", "-"},
    {"flapLagS", "flap lag 16 / (gamma Omega)", "s"},
    {"flapLagWithInflowS", "flap lag with the harmonic inflow", "s"},
};

constexpr Row kDerivativeRows[] = {
    {"Xu", "Xu", "1/s"},
    {"Xq", "Xq", "m/s^2 per rad/s"},
    {"Mu", "Mu", "rad/s^2 per m/s"},
    {"Mq", "Mq", "1/s"},
    {"MqRotor", "Mq of the rotor alone", "1/s"},
    {"Mtheta1s", "M_theta1s", "rad/s^2 per rad"},
    {"Yv", "Yv", "1/s"},
    {"Lp", "Lp", "1/s"},
    {"Ltheta1c", "L_theta1c", "rad/s^2 per rad"},
    {"Mp", "Mp", "1/s"},
    {"Lq", "Lq", "1/s"},
    {"Ltheta1s", "L_theta1s (cross)", "rad/s^2 per rad"},
    {"Mtheta1c", "M_theta1c (cross)", "rad/s^2 per rad"},
    {"Zw", "Zw", "1/s"},
    {"Ztheta0", "Z_theta0", "m/s^2 per rad"},
    {"Nr", "Nr", "1/s"},
    {"Nv", "Nv", "rad/s^2 per m/s"},
    {"NthetaTR", "N_thetaTR", "rad/s^2 per rad"},
};

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

const flight::Reference* referenceFor(std::string_view aircraft, std::string_view quantity) {
    for (const flight::Reference& r : flight::references()) {
        if (r.aircraft == aircraft && r.quantity == quantity) {
            return &r;
        }
    }
    return nullptr;
}

void table(std::ostream& out, const char* aircraft, const flight::HoverFigures& f, const Row* rows,
           std::size_t count) {
    out << "| quantity | unit | model | reference | ratio | limit | verdict "
           "|\n|---|---|---|---|---|---|---|\n";
    for (std::size_t i = 0; i < count; ++i) {
        const Row& row = rows[i];
        const double model = flight::figure(f, row.quantity).value_or(0.0);
        out << "| " << row.label << " | " << row.unit << " | " << number(model) << " | ";
        const flight::Reference* ref = referenceFor(aircraft, row.quantity);
        if (ref == nullptr) {
            out << "- | | | no published value |\n";
            continue;
        }
        const bool held = flight::withinLimit(*ref, model);
        out << number(ref->value) << " | " << number(model / ref->value) << " | ";
        if (ref->absoluteLimit > 0.0) {
            out << "+-" << number(ref->absoluteLimit) << " | ";
        } else {
            out << "x" << number(ref->ratioLimit) << " | ";
        }
        out << (held                             ? "within"
                : ref->knownDisagreement.empty() ? "OUTSIDE"
                                                 : "outside (known, see below)")
            << " |\n";
    }
}

std::string generate(const std::string& directory, std::string& error) {
    std::ostringstream out;
    out << kBegin << "\n\n";
    for (const char* name : kAircraft) {
        const std::string path = directory + "/" + name + ".toml";
        const auto aircraft = flight::readAircraftFile(path, error);
        if (!aircraft) {
            return {};
        }
        const flight::HoverFigures f = flight::hoverFigures(aircraft->parameters);
        out << "#### " << aircraft->name << " (`aircraft/" << name << ".toml`)\n\n";
        out << "Trim in a calm hover at 100 ft"
            << (f.trimmed ? "" : " (NOT FOUND: the values are where the search stopped)") << ":\n\n";
        table(out, name, f, kTrimRows, std::size(kTrimRows));
        out << "\nQuasi-static hover derivatives:\n\n";
        table(out, name, f, kDerivativeRows, std::size(kDerivativeRows));
        out << "\nSources:\n\n";
        for (const flight::Reference& r : flight::references()) {
            if (r.aircraft == name) {
                out << "- " << r.quantity << ": " << r.source << ".";
                if (!r.knownDisagreement.empty()) {
                    out << " Known disagreement: " << r.knownDisagreement << ".";
                }
                out << "\n";
            }
        }
        out << "\n";
    }
    out << kEnd << "\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::cerr << "usage: flightcheck AIRCRAFT_DIR [--write DOC | --check DOC]\n";
        return 2;
    }
    std::string error;
    const std::string tables = generate(argv[1], error);
    if (tables.empty()) {
        std::cerr << "flightcheck: " << error << "\n";
        return 2;
    }
    if (argc == 2) {
        std::cout << tables;
        return 0;
    }
    const std::string mode = argv[2];
    const std::string docPath = argv[3];
    std::ifstream in(docPath, std::ios::binary);
    std::ostringstream docText;
    docText << in.rdbuf();
    const std::string doc = docText.str();
    const std::size_t begin = doc.find(kBegin);
    const std::size_t end = doc.find(kEnd);
    if (!in || begin == std::string::npos || end == std::string::npos || end < begin) {
        std::cerr << "flightcheck: " << docPath << " has no generated-table markers\n";
        return 2;
    }
    const std::size_t endLine = doc.find('\n', end);
    const std::size_t after = endLine == std::string::npos ? doc.size() : endLine + 1;
    const std::string current = doc.substr(begin, after - begin);
    if (mode == "--check") {
        if (current != tables) {
            std::cerr << "flightcheck: the tables in " << docPath
                      << " are not what the model gives now; run flightcheck " << argv[1] << " --write "
                      << docPath << "\n";
            return 1;
        }
        return 0;
    }
    if (mode == "--write") {
        std::ofstream outFile(docPath, std::ios::binary);
        outFile << doc.substr(0, begin) << tables << doc.substr(after);
        return outFile ? 0 : 2;
    }
    std::cerr << "flightcheck: unknown option " << mode << "\n";
    return 2;
}
