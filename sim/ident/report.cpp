// SPDX-License-Identifier: MIT
//
// hoverident's report: Markdown, for a panel designer deciding whether the
// identified plant is good enough to tune on.
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <string>

#include "sim/ident/identify.h"

namespace ident {
namespace {

constexpr double kDegPerRad = 180.0 / 3.14159265358979323846;

std::string fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string number(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.4g", value);
    return buffer;
}

std::string percent(double fraction) {
    return fixed(100.0 * fraction, 1) + " %";
}

std::string coherence(double value) {
    return value < 0.0 ? "-" : fixed(value, 2);
}

}  // namespace

std::string reportText(const Identification& id, const IdentOptions& options) {
    std::string out;
    out += "# Hover model identified from a flight\n\n";
    out += "How to read this report: each term is a derivative of the linear hover model (see the table's "
           "meaning column), fitted by output error to the recorded flight. The standard error is how far "
           "the value may be off from this flight's data alone (one standard deviation, corrected for "
           "residuals correlated in time); the relative error is that over the value, and a term above "
           + fixed(100.0 * options.poorlyIdentified, 0)
           + " % is marked poorly identified: the flight did not show it well, so do not trust its value, "
             "and fly more or stronger inputs on its axis. The residual RMS says how closely the fitted "
             "model follows the flight; the coherence says, for each control, how much of its on-axis "
             "response is explained linearly by that control (1 is all, below about 0.6 the data of that "
             "axis is dominated by turbulence or other inputs). The equation-error values are the starting "
             "point of the fit; large differences from the final values point at a poorly excited term.\n\n";

    out += "## Data\n\n";
    out += "- logs:";
    for (const std::string& f : id.files) {
        out += " " + f;
    }
    out += "\n- " + std::to_string(id.rows) + " rows, " + fixed(id.durationS, 1) + " s in "
           + std::to_string(id.stretches) + " stretch" + (id.stretches == 1 ? "" : "es") + ", "
           + std::to_string(id.windows) + " output-error windows of about " + fixed(options.windowS, 0)
           + " s\n";
    for (const std::string& note : id.notes) {
        out += "- " + note + "\n";
    }
    out += "- hover trim (mean where no designed input plays): collective " + fixed(id.model.trimThrottle, 1)
           + ", elevator " + fixed(id.model.trimElevator, 1) + ", aileron " + fixed(id.model.trimAileron, 1)
           + ", rudder " + fixed(id.model.trimRudder, 1) + " counts; height " + fixed(id.model.heightFt, 1)
           + " ft\n";
    out += "- fit: " + std::to_string(id.iterations) + " Levenberg-Marquardt iterations, "
           + (id.converged ? "converged" : "NOT converged (iteration limit)") + "\n\n";

    out += "## Terms\n\n";
    out +=
        "| term | value | standard error | relative error | Cramer-Rao bound | equation error | unit | "
        "meaning |\n|---|---:|---:|---:|---:|---:|---|---|\n";
    for (int i = 0; i < kTermCount; ++i) {
        const Estimate& e = id.model.terms[static_cast<std::size_t>(i)];
        const double relative =
            e.value != 0.0 ? e.standardError / std::fabs(e.value) : std::numeric_limits<double>::infinity();
        std::string meaning = kTerms[i].meaning;
        if (!(relative <= options.poorlyIdentified)) {
            meaning += " (poorly identified)";
        }
        out += std::string("| ") + kTerms[i].name + " | " + number(e.value) + " | " + number(e.standardError)
               + " | " + (std::isfinite(relative) ? percent(relative) : "-") + " | "
               + number(id.cramerRao[static_cast<std::size_t>(i)]) + " | "
               + number(id.equationError.terms[static_cast<std::size_t>(i)].value) + " | " + kTerms[i].unit
               + " | " + meaning + " |\n";
    }
    out +=
        "| delay | " + fixed(id.model.delayS.value, 4) + " | " + fixed(id.model.delayS.standardError, 4)
        + " | "
        + (id.model.delayS.value > 0.0 ? percent(id.model.delayS.standardError / id.model.delayS.value) : "-")
        + " | " + fixed(id.delayCramerRao, 4) + " | " + fixed(id.equationError.delayS.value, 4)
        + " | s | command latency: panel update to the aircraft feeling the controls |\n";
    // The rotor's figures: its lags, then the rotor speed's terms.
    struct RotorRow {
        const char* name;
        const Estimate& (*of)(const HoverModel&);
        double cramerRao;
        const char* unit;
        const char* meaning;
    };
    const RotorRow rotorRows[] = {
        {"roll lag", [](const HoverModel& m) -> const Estimate& { return m.rotor.rollS; }, id.lagCramerRao[0],
         "s", "the disc's lag in roll: the rotor's part of the roll equation follows it"},
        {"pitch lag", [](const HoverModel& m) -> const Estimate& { return m.rotor.pitchS; },
         id.lagCramerRao[1], "s", "the disc's lag in pitch"},
        {"heave lag", [](const HoverModel& m) -> const Estimate& { return m.rotor.heaveS; },
         id.lagCramerRao[2], "s", "the inflow's lag: the rotor's part of the heave equation follows it"},
        {"Zi", [](const HoverModel& m) -> const Estimate& { return m.rotor.heaveInstant; },
         id.lagCramerRao[3], "m/s2 per count", "the collective's heave before the inflow answers"},
        {"Zo", [](const HoverModel& m) -> const Estimate& { return m.rotorSpeed.heave; },
         id.rotorSpeedCramerRao[0], "m/s2 per %", "heave of the rotor speed (measured by the rotor reading)"},
        {"No", [](const HoverModel& m) -> const Estimate& { return m.rotorSpeed.yaw; },
         id.rotorSpeedCramerRao[1], "rad/s2 per %", "yaw of the rotor speed"},
        {"Nod", [](const HoverModel& m) -> const Estimate& { return m.rotorSpeed.yawOfAcceleration; },
         id.rotorSpeedCramerRao[2], "rad/s2 per %/s",
         "yaw of the rotor's acceleration: the engine's torque as the governor answers"},
    };
    for (const RotorRow& row : rotorRows) {
        const Estimate& e = row.of(id.model);
        const double relative = e.value != 0.0 ? e.standardError / std::fabs(e.value) : 0.0;
        out += std::string("| ") + row.name + " | " + number(e.value) + " | " + number(e.standardError)
               + " | " + (e.value != 0.0 ? percent(relative) : "-") + " | " + number(row.cramerRao) + " | "
               + number(row.of(id.equationError).value) + " | " + row.unit + " | " + row.meaning + " |\n";
    }
    out += "\n";

    out += "## Residuals (measured minus simulated)\n\n| output | RMS | unit |\n|---|---:|---|\n";
    const char* names[kMeasuredCount] = {"u forward speed", "v right speed", "w up speed", "r heading rate",
                                         "phi bank",        "theta pitch",   "h height"};
    const double factor[kMeasuredCount] = {1.0, 1.0, 1.0, kDegPerRad, kDegPerRad, kDegPerRad, 1.0};
    const char* unit[kMeasuredCount] = {"m/s", "m/s", "m/s", "deg/s", "deg", "deg", "m"};
    for (int o = 0; o < kMeasuredCount; ++o) {
        out += std::string("| ") + names[o] + " | "
               + number(id.residualRms[static_cast<std::size_t>(o)] * factor[o]) + " | " + unit[o] + " |\n";
    }

    out += "\n## Excitation and on-axis coherence\n\n";
    out += "Welch-averaged over " + fixed(256.0 / 20.0, 1)
           + " s Hann segments (half overlapping) of the evenly resampled flight that hold a designed input "
             "on the axis; the mean is weighted by the input's power.\n\n";
    out +=
        "| axis | response | designed input s | RMS counts | segments | mean 0.1-5 Hz | 0.1-0.5 Hz | "
        "0.5-2 Hz | 2-5 Hz |\n|---|---|---:|---:|---:|---:|---:|---:|---:|\n";
    const int order[analysis::kInputCount] = {analysis::kElevator, analysis::kAileron, analysis::kRudder,
                                              analysis::kThrottle};
    const char* response[analysis::kInputCount] = {"w", "q", "p", "r"};
    for (int axis : order) {
        const AxisExcitation& a = id.axes[static_cast<std::size_t>(axis)];
        out += std::string("| ") + axisName(axis) + " | " + response[axis] + " | " + fixed(a.designedS, 1)
               + " | " + fixed(a.excitationRms, 0) + " | " + std::to_string(a.segments) + " | "
               + coherence(a.coherence) + " | " + coherence(a.bandCoherence[kLowBand]) + " | "
               + coherence(a.bandCoherence[kMidBand]) + " | " + coherence(a.bandCoherence[kHighBand])
               + " |\n";
    }
    out += "\n## Method\n\n";
    out += "Equation error first (each equation by least squares on the states and their derivatives, "
           "resampled at 90 Hz and smoothed by a Gaussian of "
           + fixed(options.smoothingS, 2)
           + " s; the latency by a search over a grid of 1/180 s, then the rotor's lag of the roll, pitch "
             "and heave equations over a grid of 0.02-0.3 s at that latency, the rotor's part of each "
             "equation taken through its lag), then output error: the model simulated "
             "from the measured state at the start of each window, the logged inputs held between rows and "
             "felt the fitted latency later, on steps of at most "
           + fixed(options.stepS, 4)
           + " s split where a delayed input changes, with a constant bias per equation per stretch. The "
             "speed, heave, yaw and attitude groups are each integrated with the other groups' states taken "
             "from the measurement, so the unstable open-loop hover and the turbulence cannot make the "
             "simulation run away. The standard errors are the Cramer-Rao bound (residual variance times "
             "(J'WJ)^-1) widened for coloured residuals by the sandwich with the residuals' autocorrelation "
             "over "
           + fixed(options.correlationLagS, 1) + " s (Bartlett taper).\n";
    return out;
}

}  // namespace ident
