// SPDX-License-Identifier: MIT
#include "sim/tune/report.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "sim/plot/flight_plot.h"
#include "sim/plot/png.h"

namespace tune {

namespace {

std::string fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string margin(double value, int decimals) {
    if (std::isinf(value))
        return value > 0 ? "inf" : "-inf";
    if (std::isnan(value))
        return "-";
    return fixed(value, decimals);
}

// What a set of flights holds, in one sentence: how many within the
// bounds they are judged by, how many within `within` times them, and the
// worst with its flight.
std::string holdsSentence(const std::vector<FlightOutcome>& outcomes, const std::vector<FlightCase>& flights,
                          double within) {
    int inside = 0, nearly = 0;
    size_t worst = 0;
    for (size_t i = 0; i < outcomes.size(); ++i) {
        const FlightOutcome& o = outcomes[i];
        inside += o.flown && o.worst <= 1.0 ? 1 : 0;
        nearly += o.flown && o.worst <= within ? 1 : 0;
        if (!o.flown || (outcomes[worst].flown && o.worst > outcomes[worst].worst))
            worst = i;
    }
    std::string text = std::to_string(inside) + " of " + std::to_string(outcomes.size())
                       + " validation flights within the ADS-33 bounds, " + std::to_string(nearly) + " within "
                       + fixed(within, 1) + " times them";
    if (!outcomes.empty() && worst < flights.size()) {
        const FlightOutcome& o = outcomes[worst];
        text += o.flown ? ", the worst at " + fixed(o.worst, 1) + " times its bound (" + flights[worst].name + ")"
                        : ", one not flown (" + flights[worst].name + ")";
    }
    return text;
}

bool writeFile(const std::string& path, const std::string& text, std::string& error) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

const char* judgedBy(const FlightCase& c) {
    return c.adequateBounds() ? "adequate" : "desired";
}

std::string marginsTable(const std::vector<Candidate>& candidates, const MarginBounds& required) {
    std::string md;
    bool any = false;
    for (const Candidate& c : candidates)
        any = any || c.evaluation.margins.available;
    if (!any) {
        const std::string reason =
            candidates.empty() ? std::string("-") : candidates.front().evaluation.margins.unavailableReason;
        return "Not computed: " + reason
               + ". The search ran without the margin constraints; the flights alone judged every string.\n";
    }
    md +=
        "| string | loop | robust: disk margin (dB, deg) | where smallest | classical, host's loop: dB, deg, "
        "crossover Hz | classical, one panel frame late: dB, deg | closed loops |\n"
        "|---|---|---|---|---|---|---|\n";
    for (const Candidate& c : candidates) {
        const MarginReport& m = c.evaluation.margins;
        for (size_t i = 0; i < kLoopNames.size(); ++i) {
            const LoopMarginReport& l = m.loops[i];
            md += "| " + c.label + " | " + kLoopNames[i] + " | " + fixed(l.diskMargin, 3) + " ("
                  + margin(l.gainMarginDb, 1) + ", " + margin(l.phaseMarginDeg, 1) + ") | " + l.worstCase + " | "
                  + margin(l.classicalGainMarginDb, 1) + ", " + margin(l.classicalPhaseMarginDeg, 1) + ", "
                  + margin(l.crossoverHz, 2) + " | " + margin(l.classicalGainMarginDelayedDb, 1) + ", "
                  + margin(l.classicalPhaseMarginDelayedDeg, 1) + " | "
                  + (i == 0 ? (m.stable ? std::to_string(m.cases) + " cases stable"
                                        : std::to_string(m.unstableCases) + " of " + std::to_string(m.cases)
                                              + " UNSTABLE (first: " + m.firstUnstable + ")")
                                  + ", largest |z| " + fixed(m.slowestPoleRadius, 4)
                                  + "; the aircraft as given on the host's loop: least damped pole "
                                  + fixed(m.leastDampedHz, 2) + " Hz, damping " + fixed(m.leastDamping, 3)
                                  + (m.trimmed ? "" : "; NO TRIM")
                            : std::string())
                  + " |\n";
        }
    }
    md += "\nRequired of every loop over the uncertainty set: a disk margin standing for "
          + margin(required.gainMarginDb[0], 1) + " dB and " + margin(required.phaseMarginDeg[0], 1)
          + " deg at once";
    if (required.classicalGainMarginDb > 0.0 || required.classicalPhaseMarginDeg > 0.0)
        md += "; and classical margins of " + margin(required.classicalGainMarginDb, 1) + " dB and "
              + margin(required.classicalPhaseMarginDeg, 1) + " deg, the aircraft as given one panel frame late";
    md += ".\n";
    return md;
}

// How often the anti-windup rules acted in each string's training flights,
// weighted by the flights' engaged updates.
std::string integralsTable(const std::vector<Candidate>& candidates) {
    std::ostringstream md;
    md << "| string | engaged updates | Forward integral reset | Right integral reset | Turn integral held | "
          "largest reset step, counts | typical reset step, counts |\n|---|---|---|---|---|---|---|\n";
    for (const Candidate& c : candidates) {
        double updates = 0.0, forward = 0.0, right = 0.0, turn = 0.0, largest = 0.0;
        std::vector<double> typical;
        for (const FlightOutcome& o : c.evaluation.outcomes) {
            const double n = static_cast<double>(o.engagedUpdates);
            updates += n;
            forward += n * o.forwardResetShare;
            right += n * o.rightResetShare;
            turn += n * o.turnFrozenShare;
            largest = std::max(largest, o.largestResetStep);
            if (o.medianResetStep > 0.0)
                typical.push_back(o.medianResetStep);
        }
        std::sort(typical.begin(), typical.end());
        const auto share = [&](double x) { return updates > 0.0 ? fixed(100.0 * x / updates, 0) + " %" : "-"; };
        md << "| " << c.label << " | " << fixed(updates, 0) << " | " << share(forward) << " | " << share(right)
           << " | " << share(turn) << " | " << fixed(largest, 0) << " | "
           << (typical.empty() ? std::string("-") : fixed(typical[typical.size() / 2], 0)) << " |\n";
    }
    md << "\nCounted by replaying the module's loops from each flight's trace. A reset drops the integral "
          "that carries the cyclic's trim, and steps the cyclic by the amount shown; while the Turn integral "
          "is held, heading is held by rate damping alone. The linear margins do not see either.\n";
    return md.str();
}

// The uncertainty set, as the report states it.
std::string uncertaintySection(const Tuner& tuner) {
    const FlightConditions& c = tuner.settings().conditions;
    std::ostringstream md;
    if (c.plant.empty()) {
        md << "- The aircraft: inertia, control power, rotor damping and tail rotor each scaled by 1 -+ ";
    } else {
        md << "- The plant " << c.plant << " (flown as a linear aircraft and analysed as fitted): "
           << "the terms of inertia, control power, rotor damping and tail rotor each scaled by 1 -+ ";
    }
    for (int i = 0; i < flight::kScaleCount; ++i)
        md << (i == 0 ? "" : ", ") << fixed(flight::scaleFactor(c.uncertainty.spread, i), 2);
    md << (c.spreadOverride ? " (--spread)"
           : c.plant.empty() ? " (the aircraft file's [uncertainty] table)"
                             : " (twice each group's largest relative standard error of the fit, within 0.05 "
                               "to 0.5, or the plant file's [uncertainty] table)")
       << ". Training: "
       << plantSamples(c.uncertainty, false).size()
       << " plants (as given and half the corners); validation: " << plantSamples(c.uncertainty, true).size()
       << " others (the other corners and points inside).\n";
    md << "- The command latency, panel frames from the update to the control moving: training";
    for (const host::HostLoop& l : loopSamples(c, false))
        md << " " << fixed(l.latencyS * l.panelRate, 2);
    md << "; validation";
    for (const host::HostLoop& l : loopSamples(c, true))
        md << " " << fixed(l.latencyS * l.panelRate, 2);
    if (c.plantDelayS) {
        md << "; the plant's fitted latency, " << fixed(1000.0 * *c.plantDelayS, 1) << " ms ("
           << fixed(*c.plantDelayS * c.frameRate, 2) << " panel frames), "
           << (c.latencySetExtended ? "lay outside the set, which was extended to include it"
                                    : "lies inside the set");
    }
    md << "; closed-loop stability also at " << c.stabilityDelayFrames
       << " whole panel frames. Flown at each latency itself. Analysed exactly on the host's loop at each "
          "latency on 30 visual frames (the closed loops' stability over one pattern of visual frames; the "
          "other visual rates are flown, not analysed), and the disk margins at the shortest and longest "
          "latency of the set on the model with evenly spaced updates.\n";
    md << "- Visual frame rates:";
    for (int r : c.visualRates)
        md << " " << r;
    md << " a second, taken in turn across the flights (the flight model steps once a visual frame).\n";
    md << "- Wind up to " << fixed(c.windKt, 0) << " kt from every side, turbulence up to "
       << turbulenceName(c.roughest) << "; engagements from a " << fixed(c.driftKt, 0)
       << " kt drift (and " << fixed(c.driftKt + 2.0, 0) << " kt) and from 25 ft off height; " << c.seeds
       << " repetitions, " << tuner.flights().size() << " training and " << tuner.validationFlights().size()
       << " validation flights.\n";
    return md.str();
}

// Where the aircraft trims on each axis against the module's command range,
// and how much of the engaged time each string spent at that range's ends.
// A hold whose trim sits near an end has little authority left that way.
std::string authorityTable(const std::vector<Candidate>& candidates) {
    const Candidate* flown = nullptr;
    for (const Candidate& c : candidates)
        if (flown == nullptr && !c.evaluation.outcomes.empty())
            flown = &c;
    if (flown == nullptr)
        return "No flights.\n";
    std::string md = "| axis | module's range | trim where the flights start |";
    for (const Candidate& c : candidates)
        md += " " + c.label + ": time at a limit |";
    md += "\n|---|---|---|";
    for (size_t i = 0; i < candidates.size(); ++i)
        md += "---|";
    md += "\n";
    for (size_t axis = 0; axis < kAxisNames.size(); ++axis) {
        double low = kAxisHigh[axis], high = kAxisLow[axis];
        for (const FlightOutcome& o : flown->evaluation.outcomes) {
            if (!o.flown)
                continue;
            low = std::min(low, o.startControl[axis]);
            high = std::max(high, o.startControl[axis]);
        }
        md += std::string("| ") + kAxisNames[axis] + " | " + fixed(kAxisLow[axis], 0) + " to "
              + fixed(kAxisHigh[axis], 0) + " | " + fixed(low, 0) + " to " + fixed(high, 0) + " |";
        for (const Candidate& c : candidates) {
            double sum = 0.0;
            for (const FlightOutcome& o : c.evaluation.outcomes)
                sum += o.axisLimitFraction[axis];
            const size_t n = std::max<size_t>(c.evaluation.outcomes.size(), 1);
            md += " " + fixed(100.0 * sum / static_cast<double>(n), 0) + " % |";
        }
        md += "\n";
    }
    md +=
        "\nTrims are the controls the flight model trims to at each flight's start (its wind, drift and "
        "height), in host axis units; the time at a limit is the share of engaged frames, averaged over the "
        "flights. A trim near an end of the module's range leaves the hold little authority that way.\n";
    return md;
}

// The 90th percentile (nearest rank) of the flights' largest normalised errors.
double percentileWorst(const std::vector<FlightOutcome>& outcomes) {
    std::vector<double> worsts;
    for (const FlightOutcome& o : outcomes)
        worsts.push_back(o.flown ? o.worst : kWorstCap);
    if (worsts.empty())
        return kWorstCap;
    std::sort(worsts.begin(), worsts.end());
    const size_t rank = static_cast<size_t>(std::ceil(0.9 * static_cast<double>(worsts.size())));
    return worsts[std::clamp<size_t>(rank, 1, worsts.size()) - 1];
}

// How a scenario names the aircraft: by its name when the file is one of
// the aircraft folder's (hoversim looks those up beside itself), else by
// its path.
std::string aircraftReference(const std::string& path) {
    const std::filesystem::path file(path);
    if (file.parent_path().filename() == "aircraft" && file.extension() == ".toml") {
        return file.stem().string();
    }
    return path;
}

}  // namespace

size_t probeFlight(const std::vector<FlightCase>& set) {
    for (size_t i = 0; i < set.size(); ++i) {
        if (set[i].kind == FlightKind::kCaptureDrift)
            return i;
    }
    return 0;
}

bool drawHistories(const Tuner& tuner, const std::string& dir, std::string& error) {
    const std::string written = dir + "/parameters.txt";
    std::ifstream in(written);
    std::string tunedString;
    if (!in || !std::getline(in, tunedString)) {
        error =
            "no string to draw: " + written + " cannot be read (run the search with --out " + dir + " first)";
        return false;
    }
    if (!readParameterString(tunedString)) {
        error = written + " does not hold a parameter string: " + tunedString;
        return false;
    }
    if (tuner.flights().empty()) {
        error = "no flights to draw";
        return false;
    }
    const std::array<std::string, kHistories.size()> strings = {parameterString(kDefaultFactors),
                                                                kHandFoundParameters, tunedString};
    const FlightCase& probe = tuner.flights()[probeFlight(tuner.flights())];
    std::vector<FlightJob> jobs;
    for (size_t i = 0; i < kHistories.size(); ++i) {
        const std::string path = dir + "/" + kHistories[i].file;
        std::error_code ec;
        std::filesystem::remove(path, ec);  // a picture left from before is no proof of this flight
        jobs.push_back({probe, strings[i], path});
    }
    const std::vector<FlightOutcome> outcomes = tuner.pool().fly(jobs);
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (i >= outcomes.size() || !outcomes[i].flown) {
            error = "the probe flight with the " + std::string(kHistories[i].label) + " did not fly";
            return false;
        }
        if (!std::filesystem::exists(jobs[i].plotPath)) {
            error = "the time history of the " + std::string(kHistories[i].label) + " was not drawn to "
                    + jobs[i].plotPath;
            return false;
        }
    }
    return true;
}

std::vector<GroupSummary> summarise(const std::vector<FlightCase>& set,
                                    const std::vector<FlightOutcome>& outcomes) {
    std::vector<GroupSummary> groups;
    std::map<std::string, size_t> index;
    for (size_t i = 0; i < set.size() && i < outcomes.size(); ++i) {
        const std::string name = std::string(kindName(set[i].kind)) + ", " + turbulenceName(set[i].turbulence)
                                 + " (" + judgedBy(set[i]) + ")";
        if (index.find(name) == index.end()) {
            index[name] = groups.size();
            groups.push_back(GroupSummary{name, 0, 0, 0.0});
        }
        GroupSummary& g = groups[index[name]];
        const FlightOutcome& o = outcomes[i];
        ++g.flights;
        const double worst = o.flown ? o.worst : kWorstCap;
        g.within += worst <= 1.0 ? 1 : 0;
        g.worst = std::max(g.worst, worst);
    }
    return groups;
}

bool writeScoreChart(const std::string& path, const std::vector<Candidate>& candidates, std::string& error) {
    constexpr int kWidth = 900, kHeight = 520;
    constexpr double kLeft = 70, kRight = 20, kTop = 50, kBottom = 60;
    double top = 2.0;
    for (const Candidate& c : candidates) {
        for (const FlightOutcome& o : c.evaluation.outcomes)
            top = std::max(top, o.flown ? o.worst : kWorstCap);
    }
    top = std::min(top, kWorstCap) * 1.2;
    // A log axis: scores run from hundredths to the cap.
    const double low = 0.01;
    const auto yOf = [&](double v) {
        const double f =
            (std::log10(std::max(v, low)) - std::log10(low)) / (std::log10(top) - std::log10(low));
        return kTop + (1.0 - f) * (kHeight - kTop - kBottom);
    };
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 13);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_move_to(cr, kLeft, 28);
    cairo_show_text(
        cr,
        "Largest normalised error of each flight of the Monte Carlo set (1 = at the bound it is judged by)");
    for (double tick : {0.01, 0.03, 0.1, 0.3, 1.0, 3.0, 10.0, 30.0, 100.0, 300.0, 1000.0}) {
        if (tick > top)
            break;
        const double y = yOf(tick);
        cairo_set_source_rgb(cr, 0.85, 0.85, 0.85);
        cairo_move_to(cr, kLeft, y);
        cairo_line_to(cr, kWidth - kRight, y);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_move_to(cr, 20, y + 4);
        char label[16];
        std::snprintf(label, sizeof label, "%g", tick);
        cairo_show_text(cr, label);
    }
    cairo_set_source_rgb(cr, 0.84, 0.15, 0.16);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, kLeft, yOf(1.0));
    cairo_line_to(cr, kWidth - kRight, yOf(1.0));
    cairo_stroke(cr);
    const double columnWidth =
        (kWidth - kLeft - kRight) / static_cast<double>(std::max<size_t>(candidates.size(), 1));
    for (size_t c = 0; c < candidates.size(); ++c) {
        const double centre = kLeft + columnWidth * (static_cast<double>(c) + 0.5);
        const std::vector<FlightOutcome>& outcomes = candidates[c].evaluation.outcomes;
        for (size_t i = 0; i < outcomes.size(); ++i) {
            const double v = outcomes[i].flown ? outcomes[i].worst : kWorstCap;
            // Spread the dots sideways so equal scores stay visible.
            const double x = centre + (static_cast<double>(i % 15) - 7.0) * columnWidth * 0.04;
            cairo_set_source_rgb(cr, 0.12, 0.47, 0.71);
            cairo_arc(cr, x, yOf(v), 3.5, 0, 2 * 3.141592653589793);
            cairo_fill(cr);
        }
        const double p90 = percentileWorst(outcomes);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_set_line_width(cr, 2);
        cairo_move_to(cr, centre - columnWidth * 0.35, yOf(p90));
        cairo_line_to(cr, centre + columnWidth * 0.35, yOf(p90));
        cairo_stroke(cr);
        const std::string label = candidates[c].label + ": 90th percentile " + fixed(p90, 2);
        cairo_text_extents_t extents;
        cairo_text_extents(cr, label.c_str(), &extents);
        cairo_move_to(cr, centre - extents.width / 2, kHeight - 25);
        cairo_show_text(cr, label.c_str());
    }
    cairo_destroy(cr);
    return plot::writeAndDestroyPng(surface, path, error);
}

// The best training score against the disk margin required, the chosen
// point ringed.
bool writeTradeOffChart(const std::string& path, const std::vector<TradeOffPoint>& points, std::string& error) {
    constexpr int kWidth = 700, kHeight = 420;
    constexpr double kLeft = 70, kRight = 30, kTop = 50, kBottom = 60;
    double top = 1.0, right = 0.7;
    for (const TradeOffPoint& p : points) {
        if (p.feasible)
            top = std::max(top, p.score);
        right = std::max(right, p.diskMargin + 0.1);
    }
    top *= 1.15;
    const auto xOf = [&](double a) { return kLeft + a / right * (kWidth - kLeft - kRight); };
    const auto yOf = [&](double v) { return kTop + (1.0 - v / top) * (kHeight - kTop - kBottom); };
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 13);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_move_to(cr, kLeft, 28);
    cairo_show_text(cr, "Best training score (worst flight, 1 = at its bound) against the disk margin required");
    for (double tick = 0.0; tick <= top; tick += top > 6 ? 2.0 : 1.0) {
        cairo_set_source_rgb(cr, 0.85, 0.85, 0.85);
        cairo_move_to(cr, kLeft, yOf(tick));
        cairo_line_to(cr, kWidth - kRight, yOf(tick));
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_move_to(cr, 30, yOf(tick) + 4);
        cairo_show_text(cr, fixed(tick, 0).c_str());
    }
    for (double a = 0.0; a <= right + 1e-9; a += 0.1) {
        cairo_move_to(cr, xOf(a) - 8, kHeight - kBottom + 20);
        cairo_show_text(cr, fixed(a, 1).c_str());
    }
    cairo_move_to(cr, kWidth / 2.0 - 60, kHeight - 15);
    cairo_show_text(cr, "disk margin required");
    cairo_set_source_rgb(cr, 0.12, 0.47, 0.71);
    cairo_set_line_width(cr, 2);
    bool drawing = false;
    for (const TradeOffPoint& p : points) {
        if (!p.feasible) {
            drawing = false;
            continue;
        }
        if (drawing)
            cairo_line_to(cr, xOf(p.diskMargin), yOf(p.score));
        else
            cairo_move_to(cr, xOf(p.diskMargin), yOf(p.score));
        drawing = true;
    }
    cairo_stroke(cr);
    for (const TradeOffPoint& p : points) {
        const double x = xOf(p.diskMargin);
        if (!p.feasible) {
            cairo_set_source_rgb(cr, 0.84, 0.15, 0.16);
            cairo_move_to(cr, x - 5, yOf(top / 1.15) - 5);
            cairo_line_to(cr, x + 5, yOf(top / 1.15) + 5);
            cairo_move_to(cr, x + 5, yOf(top / 1.15) - 5);
            cairo_line_to(cr, x - 5, yOf(top / 1.15) + 5);
            cairo_stroke(cr);
            continue;
        }
        cairo_set_source_rgb(cr, 0.12, 0.47, 0.71);
        cairo_arc(cr, x, yOf(p.score), 4.0, 0, 2 * 3.141592653589793);
        cairo_fill(cr);
        if (p.chosen) {
            cairo_set_source_rgb(cr, 0.84, 0.15, 0.16);
            cairo_arc(cr, x, yOf(p.score), 9.0, 0, 2 * 3.141592653589793);
            cairo_stroke(cr);
            cairo_move_to(cr, x + 12, yOf(p.score) - 8);
            cairo_show_text(cr, "chosen: the margin asked for");
        }
    }
    cairo_destroy(cr);
    return plot::writeAndDestroyPng(surface, path, error);
}

std::string checkScenario(const FlightCase& probe, const FlightConditions& conditions,
                          const std::string& parameters) {
    const host::Scenario s = scenarioFor(probe, conditions, parameters);
    std::ostringstream t;
    t << "name = \"tuned_check\"\n"
      << "description = \"The tuned string: " << probe.name
      << ", then a 30 s stable hover to ADS-33 desired bounds\"\n"
      << "frame_rate = " << s.frameRate << "\n"
      << "visual_frame_rate = " << s.visualFrameRate << "\n";
    if (s.commandLatencyS) {
        char latency[40];
        std::snprintf(latency, sizeof latency, "%.17g", *s.commandLatencyS);  // as flown, to the bit
        t << "command_latency_s = " << latency << "\n";
    }
    else
        t << "command_delay_frames = " << s.commandDelayFrames << "\n";
    t
      << "duration = " << s.duration << "\n"
      << (conditions.plant.empty() ? "aircraft = \"" + aircraftReference(conditions.aircraft) + "\"\n"
                                   : "plant = \"" + conditions.plant + "\"\n")
      << "parameters = \"" << parameters << "\"\n\n"
      << "[aircraft_scale]\n";
    for (int i = 0; i < flight::kScaleCount; ++i)
        t << flight::kScaleKeys[i] << " = " << flight::scaleFactor(s.aircraftScale, i) << "\n";
    t << "\n"
      << "[start]\nheight_ft = " << s.start.heightFt << "\nground_speed_kt = " << s.start.groundSpeedKt
      << "\ntrack_deg = " << s.start.trackDeg << "\nheading_deg = " << s.start.headingDeg << "\n\n"
      << "[wind]\nfrom_deg = " << s.wind.fromDeg << "\nspeed_kt = " << s.wind.speedKt << "\nturbulence = \""
      << (s.wind.turbulenceW20Kt >= 45   ? "severe"
          : s.wind.turbulenceW20Kt >= 30 ? "moderate"
          : s.wind.turbulenceW20Kt >= 15 ? "light"
                                         : "none")
      << "\"\nseed = " << s.wind.seed << "\n";
    for (const host::TimedEvent& e : s.events) {
        t << "\n[[event]]\nat = " << e.at << "\n";
        if (e.click)
            t << "click = \"" << *e.click << "\"\n";
        if (e.hold)
            t << "hold = \"" << *e.hold << "\"\nfor = " << e.holdFor << "\n";
    }
    t << "\n[[phase]]\nname = \"stable hover\"\nfrom = " << probe.windowFrom << "\nto = " << probe.windowTo
      << "\ntarget_ft = 100\n"
      << "\n[[expect]]\ncheck = \"engaged\"\nfrom = 2\n"
      << "\n[[expect]]\ncheck = \"height_within\"\nft = 2\ntarget_ft = 100\nfrom = " << probe.windowFrom
      << "\nto = " << probe.windowTo << "\n"
      << "\n[[expect]]\ncheck = \"position_within\"\nft = 3\nfrom = " << probe.windowFrom
      << "\nto = " << probe.windowTo << "\n"
      << "\n[[expect]]\ncheck = \"heading_drift_below\"\ndeg = 5\nfrom = " << probe.windowFrom
      << "\nto = " << probe.windowTo << "\n";
    return t.str();
}

std::string holdsParagraph(const Validation& v, const Tuner& tuner) {
    const std::vector<FlightCase>& vf = tuner.validationFlights();
    const double w = tuner.settings().holdsWithin;
    double smallest = 2.0;
    for (const LoopMarginReport& l : v.margins.loops)
        smallest = std::min(smallest, l.diskMargin);
    return "On the host's own loop: " + holdsSentence(v.atOwnLoop, vf, w) + ". One whole panel frame late: "
           + holdsSentence(v.onePanelFrameLate, vf, w) + ". Over the validation set the smallest disk margin is "
           + fixed(smallest, 2) + (v.stable ? " with every closed loop stable" : ", NOT every closed loop stable")
           + "; the string " + (v.holds() ? "holds" : "does not hold") + " on it.\n";
}

bool writeReport(const ReportInput& in, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(in.outDir, ec);
    if (ec) {
        error = "cannot create " + in.outDir + ": " + ec.message();
        return false;
    }
    const Tuner& tuner = *in.tuner;
    const FlightConditions& cond = tuner.settings().conditions;
    const Candidate* tuned = nullptr;
    for (const Candidate& c : in.candidates) {
        if (c.label == "tuned")
            tuned = &c;
    }
    // The string to paste: the tuned one, or nothing found.
    if (tuned != nullptr) {
        if (!writeFile(in.outDir + "/parameters.txt", tuned->evaluation.parameters + "\n", error)
            || !writeFile(in.outDir + "/gauge_line.txt", gaugeLine(tuned->evaluation.parameters) + "\n",
                          error)) {
            return false;
        }
        const FlightCase& probe = tuner.flights()[0];
        for (const FlightCase& c : tuner.flights()) {
            if (c.kind == FlightKind::kCaptureDrift) {
                if (!writeFile(in.outDir + "/check.toml",
                               checkScenario(c, cond, tuned->evaluation.parameters), error)) {
                    return false;
                }
                break;
            }
        }
        (void)probe;
    }
    std::string chartError;
    const bool chart = writeScoreChart(in.outDir + "/scores.png", in.candidates, chartError);

    std::ostringstream md;
    md << "# hovertune report\n\n";
    md << "Command: `" << in.commandLine << "`\n\n";
    if (cond.plant.empty()) {
        md << "Aircraft: " << in.aircraftName << " (`" << std::filesystem::path(cond.aircraft).filename().string()
           << "`); " << cond.frameRate << " panel updates a second.\n\n";
    } else {
        // The validation flights fly the same stand-in: what holds here is
        // what holds on the fitted model, not yet on the real aircraft.
        md << "Plant: " << in.aircraftName << " (`" << std::filesystem::path(cond.plant).filename().string()
           << "`, a fitted hover model flown as a linear aircraft; the validation flights fly it too, so fly "
              "the string on the real aircraft before trusting it there); "
           << cond.frameRate << " panel updates a second.\n\n";
    }
    md << "## The uncertainty set\n\n" << uncertaintySection(tuner) << "\n";
    if (in.interrupted)
        md << "**Interrupted**: the search was stopped by the user; the best string found so far is "
              "given.\n\n";
    for (const std::string& note : in.notes)
        md << "Note: " << note << "\n\n";
    for (const std::string& note : in.hostNotes)
        md << "Host: " << note << ".\n\n";

    md << "## Result\n\n";
    if (tuned != nullptr) {
        md << "Parameter string:\n\n    " << tuned->evaluation.parameters
           << "\n\nGauge line (the README's placement; "
           << "move and size it for your panel):\n\n    " << gaugeLine(tuned->evaluation.parameters)
           << "\n\n";
        const MarginBounds& required = tuner.settings().required;
        if (!tuned->evaluation.requiredMet && in.result && in.result->margins.bounds.relaxed) {
            md << "**No string keeps its disk margin (" << margin(required.gainMarginDb[0], 1) << " dB and "
               << margin(required.phaseMarginDeg[0], 1)
               << " deg at once) on every loop of this aircraft over the uncertainty set.** Pushing each short "
                  "loop's own three factors as far as they go (the other loops where the search of the margins "
                  "left them) reached, as disk-margin equivalents:\n\n";
            for (const std::string& line : shortLoops(in.result->margins))
                md << "- " << line << "\n";
            md << "\nThe flown search held each of these loops to " << fixed(100.0 * kReachedShare, 0)
               << " % of what it reached, and the others to the required margins. The margins table below "
                  "gives what the tuned string keeps; the real aircraft's unmodelled lags have that much "
                  "less "
                  "room.\n\n";
        } else if (!tuned->evaluation.marginsMet) {
            md << "**No string met the margin constraints**; this is the best found (smallest shortfall). Do "
                  "not fly it without reading the margins below.\n\n";
        }
    } else {
        md << "No string was tuned (stopped before the search began).\n\n";
    }
    if (in.roundTrip)
        md << "Round trip through the module: " << in.roundTrip->summary() << ".\n\n";
    if (tuned != nullptr && in.result) {
        const Validation& v = in.result->validation;
        md << "## Validation\n\n";
        if (!v.flown) {
            md << "Not flown (stopped).\n\n";
        } else {
            int within = 0;
            for (const FlightOutcome& o : v.outcomes)
                within += o.flown && o.worst <= tuner.settings().holdsWithin ? 1 : 0;
            md << "| set | flights | score | flights within " << fixed(tuner.settings().holdsWithin, 1)
               << " x bounds | linear: closed loops | smallest disk margin |\n|---|---|---|---|---|---|\n";
            const auto smallest = [](const MarginReport& m) {
                double d = 2.0;
                for (const LoopMarginReport& l : m.loops)
                    d = std::min(d, l.diskMargin);
                return d;
            };
            int trainingWithin = 0;
            for (const FlightOutcome& o : tuned->evaluation.outcomes)
                trainingWithin += o.flown && o.worst <= tuner.settings().holdsWithin ? 1 : 0;
            const MarginReport& tm = tuned->evaluation.margins;
            md << "| training | " << tuned->evaluation.outcomes.size() << " | "
               << fixed(tuned->evaluation.flightScore, 3) << " | " << trainingWithin << " | "
               << (tm.stable ? "all " : "NOT all ") << tm.cases << " stable | " << fixed(smallest(tm), 3)
               << " |\n";
            md << "| validation | " << v.outcomes.size() << " | " << fixed(v.score, 3) << " | " << within
               << " | " << (v.stable ? "all " : "NOT all ") << v.margins.cases << " stable | "
               << fixed(smallest(v.margins), 3) << " |\n\n";
            md << (v.holds() ? "**The string holds on the validation set.**"
                             : "**The string does not hold on the validation set.**")
               << " (It holds when every validation plant and latency closes stable and every validation "
                  "flight stays within "
               << fixed(tuner.settings().holdsWithin, 1) << " times its bounds.)\n\n";
            md << "| validation flight | plant | latency, panel frames | visual rate | worst error / bound | "
                  "score |\n|---|---|---|---|---|---|\n";
            for (size_t i = 0; i < v.outcomes.size() && i < tuner.validationFlights().size(); ++i) {
                const FlightCase& f = tuner.validationFlights()[i];
                const FlightOutcome& o = v.outcomes[i];
                md << "| " << f.name << " | " << describeScale(f.scale) << " | "
                   << fixed(f.loop.latencyS * f.loop.panelRate, 2) << " | " << f.loop.visualRate << " | "
                   << (o.flown ? fixed(o.worst, 2) : "not flown") << " | " << (o.flown ? fixed(o.score, 2) : "-")
                   << " |\n";
            }
            md << "\n";
            const std::vector<FlightCase>& vf = tuner.validationFlights();
            const double w = tuner.settings().holdsWithin;
            md << "The same validation flights, each on its own plant, all on the host's own loop and all one "
                  "whole panel frame late:\n\n"
               << "| loop | what the string holds |\n|---|---|\n"
               << "| host's own loop: 30 visual frames, controls moving one visual frame after the update | "
               << holdsSentence(v.atOwnLoop, vf, w) << " |\n"
               << "| one whole panel frame late (the pessimistic bound) | " << holdsSentence(v.onePanelFrameLate, vf, w)
               << " |\n\n";
        }
        std::string bound;
        const FactorBounds& box = tuner.settings().bounds;
        for (size_t i = 0; i < tuned->evaluation.factors.size(); ++i)
            if (onBound(tuned->evaluation.factors[i], box))
                bound += (bound.empty() ? "" : ", ") + std::string(kFactorKeys[i]);
        md << "Factors on a bound of the search box (" << fixed(box.low, 2) << " to " << fixed(box.high, 0)
           << "): " << (bound.empty() ? "none" : bound) << ".\n\n";
    }
    if (in.result) {
        const MarginSearch& ms = in.result->margins;
        md << "Search of the margins (no flights, the aircraft as given): " << ms.analyses << " linear analyses in "
           << fixed(ms.seconds, 1) << " s; the flown search started from `" << parameterString(ms.start, true)
           << "`" << (ms.feasible ? ", which keeps the required margins" : "") << ".\n\n";
        md << "Search: " << in.result->search.method << "; " << in.result->search.evaluations
           << " evaluations, " << in.result->flights << " flights in " << fixed(in.result->seconds, 1)
           << " s with " << tuner.pool().processes() << " flights at a time.\n\n";
    }
    md << "Total time " << fixed(in.seconds, 1) << " s.\n\n";

    md << "## Scores\n\n";
    md << "Each flight's score is its largest error against the ADS-33 hover bound it is judged by (height 2 "
          "ft, "
          "position 3 ft, heading 5 deg over 30 s of stable hover; twice that, the adequate bounds, in "
          "moderate and "
          "severe turbulence) or, for a commanded drift or turn, the RMS error from the set point in clicks "
          "(0.25 m/s, 0.25 deg/s); 1 is at the bound. Above 1 the score grows as 1 + ln(error), and "
       << kLimitPenalty
       << " times the share of time an axis sits at its limit is added. The string's score is its "
          "worst flight's score plus "
       << kMeanWeight
       << " times their mean; the columns below "
          "count the flights whose largest error is within their bound.\n\n";
    md << "| string | parameters | score | 90th percentile error | flights within bounds | worst flight "
          "|\n|---|---|---|---|---|---|\n";
    for (const Candidate& c : in.candidates) {
        int within = 0;
        double worst = 0;
        for (const FlightOutcome& o : c.evaluation.outcomes) {
            within += o.flown && o.worst <= 1.0 ? 1 : 0;
            worst = std::max(worst, o.flown ? o.worst : kWorstCap);
        }
        md << "| " << c.label << " | `"
           << (c.evaluation.parameters.empty() ? "(none)" : c.evaluation.parameters) << "` | "
           << (c.evaluation.flown ? fixed(c.evaluation.flightScore, 3)
                                        + (c.evaluation.marginsMet ? "" : " (misses the margins)")
                                  : std::string("not flown"))
           << " | " << fixed(percentileWorst(c.evaluation.outcomes), 2) << " | " << within << " / "
           << c.evaluation.outcomes.size() << " | " << fixed(worst, 2) << " |\n";
    }
    if (chart) {
        md << "\n![Flight scores](scores.png)\n\n";
    } else {
        md << "\n(no score chart: " << chartError << ")\n\n";
    }
    md << "### By kind of flight\n\n| kind, air (bounds) |";
    for (const Candidate& c : in.candidates)
        md << " " << c.label << " within | worst |";
    md << "\n|---|";
    for (size_t i = 0; i < in.candidates.size(); ++i)
        md << "---|---|";
    md << "\n";
    std::vector<std::vector<GroupSummary>> groups;
    for (const Candidate& c : in.candidates)
        groups.push_back(summarise(tuner.flights(), c.evaluation.outcomes));
    if (!groups.empty()) {
        for (size_t g = 0; g < groups.front().size(); ++g) {
            md << "| " << groups.front()[g].name << " |";
            for (const std::vector<GroupSummary>& gs : groups) {
                if (g < gs.size()) {
                    md << " " << gs[g].within << " / " << gs[g].flights << " | " << fixed(gs[g].worst, 2)
                       << " |";
                } else {
                    md << " - | - |";
                }
            }
            md << "\n";
        }
    }

    md << "\n## Room on the controls\n\n" << authorityTable(in.candidates);
    if (tuned != nullptr) {
        // Flights whose trim the module cannot command at all: no gain holds them.
        for (size_t axis = 0; axis < kAxisNames.size(); ++axis) {
            std::vector<std::string> beyond;
            for (size_t i = 0; i < tuner.flights().size() && i < tuned->evaluation.outcomes.size(); ++i) {
                const FlightOutcome& o = tuned->evaluation.outcomes[i];
                if (o.flown && (o.startControl[axis] < kAxisLow[axis] || o.startControl[axis] > kAxisHigh[axis]))
                    beyond.push_back(tuner.flights()[i].name + " (" + describeScale(tuner.flights()[i].scale)
                                     + ": " + fixed(o.startControl[axis], 0) + ")");
            }
            if (beyond.empty())
                continue;
            md << "\n**" << beyond.size() << " of " << tuner.flights().size() << " flights start trimmed beyond "
               << "the module's " << kAxisNames[axis] << " range**, where no string can hold them:";
            for (const std::string& b : beyond)
                md << "\n- " << b;
            md << "\n";
        }
    }

    md << "\n## Margins of the four loops, each broken at its actuator\n\n"
       << marginsTable(in.candidates, tuner.settings().required) << "\n";

    if (!in.tradeOff.empty()) {
        md << "## Robustness against precision\n\n| disk margin required (dB, deg at once) | best training "
              "score | string |\n|---|---|---|\n";
        for (const TradeOffPoint& p : in.tradeOff) {
            md << "| " << fixed(p.diskMargin, 2) << " (" << fixed(diskGainMarginDb(p.diskMargin), 1) << ", "
               << fixed(diskPhaseMarginDeg(p.diskMargin), 1) << ")" << (p.chosen ? " **chosen**" : "") << " | "
               << (p.feasible ? fixed(p.score, 3) : std::string("no string keeps it")) << " | `" << p.parameters
               << "` |\n";
        }
        md << "\nThe other points are short tunes (their budget in the command's --trade-off-budget) from the "
              "tuned string; the chosen point is the full tune at the margin asked for (--disk-margin), the "
              "rule being that the designer sets the margin and the tune the precision.\n\n";
        std::string tradeError;
        if (writeTradeOffChart(in.outDir + "/trade_off.png", in.tradeOff, tradeError))
            md << "![Robustness against precision](trade_off.png)\n\n";
        else
            md << "(no trade-off chart: " << tradeError << ")\n\n";
    }
    md << "## The rules the linear analysis leaves out\n\n" << integralsTable(in.candidates) << "\n";

    md << "## Time histories\n\n";
    if (tuned != nullptr) {
        md << "The probe flight (" << tuner.flights()[probeFlight(tuner.flights())].name
           << ") flown with each string, as a plot of the whole flight, is not drawn by the search: `"
           << in.commandLine << " " << kDrawHistoriesOption
           << "` flies it again and draws it into this folder as ";
        for (size_t i = 0; i < kHistories.size(); ++i) {
            md << (i == 0                       ? ""
                   : i + 1 == kHistories.size() ? " and "
                                                : ", ")
               << "`" << kHistories[i].file << "` (" << kHistories[i].label << ")";
        }
        md << ".\n\n";
    } else {
        md << "None: no string was tuned.\n\n";
    }

    if (tuned != nullptr) {
        md << "## Every flight of the tuned string\n\n| flight | window s | height ft | position ft | "
              "heading deg | "
              "set-point error, clicks | at a limit | score |\n|---|---|---|---|---|---|---|---|\n";
        for (size_t i = 0; i < tuner.flights().size() && i < tuned->evaluation.outcomes.size(); ++i) {
            const FlightCase& f = tuner.flights()[i];
            const FlightOutcome& o = tuned->evaluation.outcomes[i];
            md << "| " << f.name << " | " << fixed(f.windowFrom, 0) << "-" << fixed(f.windowTo, 0) << " | "
               << fixed(o.heightErrorFt, 2) << " | " << fixed(o.positionErrorFt, 2) << " | "
               << fixed(o.headingErrorDeg, 2) << " | " << fixed(o.followError, 2) << " | "
               << fixed(100.0 * o.limitFraction, 0) << " % | " << (o.flown ? fixed(o.score, 2) : "not flown")
               << " |\n";
        }
        md << "\nThe check scenario `check.toml` flies the first engagement from a drift with this string; "
              "re-check it with `hoversim check.toml`.\n";
    }
    if (tuned != nullptr && in.result && in.result->validation.flown) {
        // One paragraph for the README and the release's read-me.
        const std::string holds = holdsParagraph(in.result->validation, tuner);
        if (!writeFile(in.outDir + "/holds.txt", holds, error))
            return false;
    }
    return writeFile(in.outDir + "/report.md", md.str(), error);
}

}  // namespace tune
