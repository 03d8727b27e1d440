// SPDX-License-Identifier: MIT
#include "sim/plot/flight_plot.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

#include "sim/plot/png.h"

namespace plot {

namespace {

struct Colour {
    double r, g, b;
};
constexpr Colour kBlue{0.12, 0.47, 0.71};
constexpr Colour kOrange{1.0, 0.5, 0.05};
constexpr Colour kGreen{0.17, 0.63, 0.17};
constexpr Colour kRed{0.84, 0.15, 0.16};
constexpr Colour kPurple{0.58, 0.4, 0.74};
constexpr Colour kBrown{0.55, 0.34, 0.29};
constexpr Colour kInk{0.1, 0.1, 0.1};
constexpr Colour kGrid{0.85, 0.85, 0.85};
// Phases are shaded translucently, so where two overlap the shade deepens.
constexpr Colour kPhaseShade{0.35, 0.35, 0.65};
constexpr double kPhaseAlpha = 0.07;
constexpr Colour kDesired{0.17, 0.63, 0.17};
constexpr Colour kAdequate{1.0, 0.5, 0.05};
constexpr Colour kFree{0.6, 0.6, 0.6};
// ADS-33 hover: the desired and adequate position bounds, ft.
constexpr double kDesiredRadiusFt = 3.0;
constexpr double kAdequateRadiusFt = 6.0;
// The map's share of the picture's height.
constexpr double kMapShare = 0.27;

constexpr double kLeft = 86.0;
constexpr double kRight = 24.0;
constexpr double kTitleHeight = 44.0;  // the title, above the phase rows
constexpr double kPhaseRow = 20.0;     // one row of phase names
constexpr double kBottom = 52.0;
constexpr double kGap = 12.0;
constexpr double kHeader = 24.0;
constexpr double kFontSize = 13.0;
constexpr double kTitleSize = 18.0;
constexpr int kValueTicks = 5;
constexpr int kTimeTicks = 10;
// Padding above and below the data, as a share of its range.
constexpr double kPadding = 0.06;
// The flags panel: each flag a step between its base and base + kFlagHigh.
constexpr double kFlagHigh = 0.7;

using Value = std::function<std::optional<double>(const FlightSample&)>;

struct Series {
    const char* label;
    Colour colour;
    bool dashed;
    Value value;
};

struct Panel {
    const char* title;
    double weight;
    double minimumSpan;  // the value axis spans at least this much
    std::vector<Series> series;
    bool flags = false;
    std::vector<const char*> flagNames = {};
};

std::optional<double> flag(std::optional<bool> on, double base) {
    if (!on)
        return std::nullopt;
    return base + (*on ? kFlagHigh : 0.0);
}

std::vector<Panel> panels() {
    return {
        {"Height, ft",
         1.3,
         4.0,
         {{"radar height", kBlue, false, [](const FlightSample& s) { return std::optional(s.heightFt); }},
          {"target height", kOrange, true, [](const FlightSample& s) { return s.targetFt; }}}},
        {"Speeds, kt",
         1.5,
         2.0,
         {{"forward", kBlue, false, [](const FlightSample& s) { return std::optional(s.forwardKt); }},
          {"forward set", kBlue, true, [](const FlightSample& s) { return s.forwardSetKt; }},
          {"right", kGreen, false, [](const FlightSample& s) { return std::optional(s.rightKt); }},
          {"right set", kGreen, true, [](const FlightSample& s) { return s.rightSetKt; }},
          {"up", kRed, false, [](const FlightSample& s) { return std::optional(s.upKt); }},
          {"up set", kRed, true, [](const FlightSample& s) { return s.upSetKt; }}}},
        {"Yaw rate, deg/s",
         0.9,
         1.0,
         {{"yaw rate", kPurple, false, [](const FlightSample& s) { return std::optional(s.yawRateDegS); }},
          {"yaw rate set", kPurple, true, [](const FlightSample& s) { return s.turnSetDegS; }}}},
        {"Heading, deg (through full turns)",
         1.0,
         10.0,
         {{"heading", kPurple, false, [](const FlightSample& s) { return std::optional(s.headingDeg); }}}},
        {"Attitude, deg",
         1.0,
         4.0,
         {{"pitch, nose up", kBlue, false, [](const FlightSample& s) { return std::optional(s.pitchUpDeg); }},
          {"bank, right wing down", kGreen, false, [](const FlightSample& s) { return s.bankRightDeg; }}}},
        {"Cyclic and pedal commands, axis units",
         1.2,
         2000.0,
         {{"elevator", kBlue, false, [](const FlightSample& s) { return s.elevator; }},
          {"aileron", kGreen, false, [](const FlightSample& s) { return s.aileron; }},
          {"rudder", kPurple, false, [](const FlightSample& s) { return s.rudder; }}}},
        {"Collective command, axis units",
         0.9,
         2000.0,
         {{"throttle (collective)", kBrown, false, [](const FlightSample& s) { return s.collective; }}}},
        {"Unit",
         0.8,
         1.0,
         {{"switched on", kOrange, false, [](const FlightSample& s) { return flag(s.powerOn, 2.0); }},
          {"engaged", kGreen, false,
           [](const FlightSample& s) { return flag(std::optional(s.engaged), 1.0); }},
          {"pitch guard", kRed, false,
           [](const FlightSample& s) { return flag(std::optional(s.pitchGuard), 0.0); }}},
         true,
         {"pitch guard", "engaged", "on"}},
    };
}

void setColour(cairo_t* cr, Colour c) {
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

void text(cairo_t* cr, const std::string& s, double x, double y, double alignX, double alignY) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_move_to(cr, x - e.x_advance * alignX, y + e.height * alignY);
    cairo_show_text(cr, s.c_str());
}

std::string number(double value, double step) {
    char buffer[32];
    const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    std::snprintf(buffer, sizeof buffer, "%.*f", std::clamp(decimals, 0, 6), value == 0.0 ? 0.0 : value);
    return buffer;
}

}  // namespace

std::vector<double> niceTicks(double low, double high, int target) {
    if (!(std::isfinite(low) && std::isfinite(high)) || target < 1) {
        return {};
    }
    if (high < low) {
        std::swap(low, high);
    }
    if (high - low <= 0.0) {
        low -= 1.0;
        high += 1.0;
    }
    const double rough = (high - low) / target;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    // The round step nearest the rough one (thresholds between 1, 2, 5, 10
    // at about their geometric means).
    const double share = rough / magnitude;
    const double factor = share < 1.5 ? 1.0 : share < 3.0 ? 2.0 : share < 7.0 ? 5.0 : 10.0;
    const double step = factor * magnitude;
    std::vector<double> ticks;
    const double first = std::floor(low / step + 1e-9);
    const double last = std::ceil(high / step - 1e-9);
    for (double k = first; k <= last; k += 1.0) {
        ticks.push_back(k * step);
    }
    return ticks;
}

std::vector<int> phaseRows(const std::vector<FlightPhase>& phases) {
    std::vector<size_t> order(phases.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&phases](size_t a, size_t b) { return phases[a].fromS < phases[b].fromS; });
    std::vector<int> rows(phases.size(), 0);
    std::vector<double> rowEnds;  // where the last phase placed in each row ends
    for (size_t i : order) {
        size_t row = 0;
        while (row < rowEnds.size() && rowEnds[row] > phases[i].fromS)
            ++row;
        if (row == rowEnds.size())
            rowEnds.push_back(0.0);
        rowEnds[row] = phases[i].toS;
        rows[i] = static_cast<int>(row);
    }
    return rows;
}

MapOrigin mapOrigin(const std::vector<FlightSample>& samples) {
    MapOrigin origin;
    if (samples.empty()) {
        return origin;
    }
    const auto engaged =
        std::find_if(samples.begin(), samples.end(), [](const FlightSample& s) { return s.engaged; });
    const FlightSample& at = engaged != samples.end() ? *engaged : samples.front();
    origin.northFt = at.northFt;
    origin.eastFt = at.eastFt;
    if (engaged != samples.end()) {
        origin.engagedAtS = engaged->timeS;
    }
    return origin;
}

namespace {

void headerTitle(cairo_t* cr, const std::string& title, double x, double y) {
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    text(cr, title, x, y, 0.0, 0.5);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
}

// The ground track seen from above, north up, about the engage spot.
void drawMap(cairo_t* cr, const std::vector<FlightSample>& samples, double left, double top, double width,
             double height) {
    const MapOrigin origin = mapOrigin(samples);
    setColour(cr, kInk);
    headerTitle(cr,
                origin.engagedAtS ? "Ground track about the spot where the hold engaged, ft (north up)"
                                  : "Ground track about the start, ft (north up; the hold never engaged)",
                left, top + kHeader / 2.0);
    const double boxTop = top + kHeader;
    const double side = std::max(40.0, std::min(height - kHeader - 44.0, width * 0.5));

    double reach = kAdequateRadiusFt * 1.5;
    double farthestEngaged = 0.0;
    for (const FlightSample& s : samples) {
        const double x = s.eastFt - origin.eastFt;
        const double y = s.northFt - origin.northFt;
        if (std::isfinite(x) && std::isfinite(y)) {
            reach = std::max({reach, std::fabs(x), std::fabs(y)});
            if (s.engaged && origin.engagedAtS && s.timeS >= *origin.engagedAtS) {
                farthestEngaged = std::max(farthestEngaged, std::hypot(x, y));
            }
        }
    }
    const std::vector<double> ticks = niceTicks(-reach * (1.0 + kPadding), reach * (1.0 + kPadding), 6);
    const double half = std::max(std::fabs(ticks.front()), std::fabs(ticks.back()));
    const double centreX = left + side / 2.0;
    const double centreY = boxTop + side / 2.0;
    const double scale = side / (2.0 * half);
    const auto xOf = [&](double eastFt) { return centreX + eastFt * scale; };
    const auto yOf = [&](double northFt) { return centreY - northFt * scale; };

    // Grid and tick labels.
    cairo_set_line_width(cr, 1.0);
    const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1.0;
    for (double v : ticks) {
        if (std::fabs(v) > half + 1e-9)
            continue;
        setColour(cr, kGrid);
        cairo_move_to(cr, std::round(xOf(v)) + 0.5, boxTop);
        cairo_line_to(cr, std::round(xOf(v)) + 0.5, boxTop + side);
        cairo_move_to(cr, left, std::round(yOf(v)) + 0.5);
        cairo_line_to(cr, left + side, std::round(yOf(v)) + 0.5);
        cairo_stroke(cr);
        setColour(cr, kInk);
        text(cr, number(v, step), xOf(v), boxTop + side + 14.0, 0.5, 0.5);
        text(cr, number(v, step), left - 8.0, yOf(v), 1.0, 0.5);
    }
    text(cr, "east, ft", centreX, boxTop + side + 34.0, 0.5, 0.5);

    cairo_save(cr);
    cairo_rectangle(cr, left, boxTop, side, side);
    cairo_clip(cr);
    // The hover bounds about the engage spot.
    const double dashes[] = {6.0, 4.0};
    cairo_set_line_width(cr, 1.8);
    cairo_set_dash(cr, dashes, 2, 0.0);
    setColour(cr, kDesired);
    cairo_arc(cr, centreX, centreY, kDesiredRadiusFt * scale, 0.0, 2.0 * std::numbers::pi);
    cairo_stroke(cr);
    setColour(cr, kAdequate);
    cairo_arc(cr, centreX, centreY, kAdequateRadiusFt * scale, 0.0, 2.0 * std::numbers::pi);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0.0);
    // The track: blue while the hold drove the controls, grey otherwise.
    cairo_set_line_width(cr, 1.6);
    for (size_t i = 1; i < samples.size(); ++i) {
        const FlightSample& a = samples[i - 1];
        const FlightSample& b = samples[i];
        setColour(cr, b.engaged ? kBlue : kFree);
        cairo_move_to(cr, xOf(a.eastFt - origin.eastFt), yOf(a.northFt - origin.northFt));
        cairo_line_to(cr, xOf(b.eastFt - origin.eastFt), yOf(b.northFt - origin.northFt));
        cairo_stroke(cr);
    }
    // Start (open circle), engage spot (cross), end (filled disc).
    const FlightSample& first = samples.front();
    const FlightSample& last = samples.back();
    setColour(cr, kInk);
    cairo_set_line_width(cr, 1.5);
    cairo_arc(cr, xOf(first.eastFt - origin.eastFt), yOf(first.northFt - origin.northFt), 5.0, 0.0,
              2.0 * std::numbers::pi);
    cairo_stroke(cr);
    cairo_move_to(cr, centreX - 7.0, centreY);
    cairo_line_to(cr, centreX + 7.0, centreY);
    cairo_move_to(cr, centreX, centreY - 7.0);
    cairo_line_to(cr, centreX, centreY + 7.0);
    cairo_stroke(cr);
    setColour(cr, kRed);
    cairo_arc(cr, xOf(last.eastFt - origin.eastFt), yOf(last.northFt - origin.northFt), 4.5, 0.0,
              2.0 * std::numbers::pi);
    cairo_fill(cr);
    cairo_restore(cr);
    setColour(cr, kInk);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, left + 0.5, boxTop + 0.5, side - 1.0, side - 1.0);
    cairo_stroke(cr);

    // The legend beside the map.
    const double legendX = left + side + 40.0;
    double y = boxTop + 12.0;
    const auto line = [&](Colour colour, bool dashed, const std::string& label) {
        setColour(cr, colour);
        cairo_set_line_width(cr, 2.0);
        const double legendDashes[] = {5.0, 3.0};
        cairo_set_dash(cr, legendDashes, dashed ? 2 : 0, 0.0);
        cairo_move_to(cr, legendX, y);
        cairo_line_to(cr, legendX + 24.0, y);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0.0);
        setColour(cr, kInk);
        text(cr, label, legendX + 32.0, y, 0.0, 0.5);
        y += 22.0;
    };
    line(kDesired, true, "ADS-33 hover, desired: within 3 ft");
    line(kAdequate, true, "ADS-33 hover, adequate: within 6 ft");
    line(kBlue, false, "track while the hold drove the controls");
    line(kFree, false, "track while it did not");
    char buffer[160];
    setColour(cr, kInk);
    text(cr,
         "o  start      +  " + std::string(origin.engagedAtS ? "engage spot" : "start")
             + "      end: red disc",
         legendX, y, 0.0, 0.5);
    y += 30.0;
    if (origin.engagedAtS) {
        std::snprintf(buffer, sizeof buffer,
                      "engaged at %.1f s; farthest from the spot while engaged: %.1f ft", *origin.engagedAtS,
                      farthestEngaged);
        text(cr, buffer, legendX, y, 0.0, 0.5);
        y += 22.0;
    }
    std::snprintf(buffer, sizeof buffer, "at the end: %.1f ft from the %s",
                  std::hypot(last.eastFt - origin.eastFt, last.northFt - origin.northFt),
                  origin.engagedAtS ? "engage spot" : "start");
    text(cr, buffer, legendX, y, 0.0, 0.5);
}

}  // namespace

void FlightPlot::add(const FlightSample& sample) {
    last_ = sample;
    if (seen_++ % stride_ != 0) {
        return;
    }
    samples_.push_back(sample);
    if (samples_.size() >= kMaxSamples) {
        size_t kept = 0;
        for (size_t i = 0; i < samples_.size(); i += 2) {
            samples_[kept++] = samples_[i];
        }
        samples_.resize(kept);
        stride_ *= 2;
    }
}

bool FlightPlot::writePng(const std::string& path, std::string& error, int width, int height) const {
    std::vector<FlightSample> samples = samples_;
    if (last_ && (samples.empty() || samples.back().timeS != last_->timeS)) {
        samples.push_back(*last_);
    }
    return draw(samples, path, error, width, height);
}

bool FlightPlot::draw(const std::vector<FlightSample>& samples, const std::string& path, std::string& error,
                      int width, int height) const {
    if (samples.size() < 2) {
        error = "nothing to plot: fewer than two frames";
        return false;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_paint(cr);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);

    const double t0 = samples.front().timeS;
    const double t1 = std::max(samples.back().timeS, t0 + 1e-6);
    const std::vector<double> timeTicks = niceTicks(t0, t1, kTimeTicks);
    const double plotLeft = kLeft;
    const double plotWidth = width - kLeft - kRight;
    const auto xOf = [&](double t) { return plotLeft + (t - t0) / (t1 - t0) * plotWidth; };

    // Phase names in rows above the panels, overlapping phases in rows of
    // their own; then the panels; then the time axis; then the map.
    const std::vector<int> rows = phaseRows(phases_);
    const int rowCount = rows.empty() ? 0 : *std::max_element(rows.begin(), rows.end()) + 1;
    const double topOfPanels = kTitleHeight + kPhaseRow * rowCount;
    const double mapHeight = std::floor(height * kMapShare);
    const double panelsEnd = height - mapHeight - kBottom;

    const std::vector<Panel> list = panels();
    double weights = 0.0;
    for (const Panel& p : list)
        weights += p.weight;
    const double available =
        std::max(10.0, panelsEnd - topOfPanels - kGap * static_cast<double>(list.size() - 1)
                           - kHeader * static_cast<double>(list.size()));

    cairo_set_font_size(cr, kTitleSize);
    setColour(cr, kInk);
    text(cr, title_, width / 2.0, 20.0, 0.5, 0.5);
    cairo_set_font_size(cr, kFontSize);

    double top = topOfPanels;
    const double plotsTop = topOfPanels;
    double plotsBottom = plotsTop;
    for (size_t index = 0; index < list.size(); ++index) {
        const Panel& panel = list[index];
        const double panelTop = top + kHeader;
        const double panelHeight = available * panel.weight / weights;
        const double panelBottom = panelTop + panelHeight;
        plotsBottom = panelBottom;

        // The value range of what this panel shows.
        double low = INFINITY;
        double high = -INFINITY;
        for (const FlightSample& s : samples) {
            for (const Series& series : panel.series) {
                if (const std::optional<double> v = series.value(s); v && std::isfinite(*v)) {
                    low = std::min(low, *v);
                    high = std::max(high, *v);
                }
            }
        }
        std::vector<double> ticks;
        if (panel.flags) {
            low = -0.3;
            high = 2.0 + kFlagHigh + 0.3;
        } else {
            if (!std::isfinite(low)) {
                low = 0.0;
                high = 0.0;
            }
            if (high - low < panel.minimumSpan) {
                const double middle = (low + high) / 2.0;
                low = middle - panel.minimumSpan / 2.0;
                high = middle + panel.minimumSpan / 2.0;
            }
            const double pad = std::max(high - low, 1e-3) * kPadding;
            ticks = niceTicks(low - pad, high + pad, kValueTicks);
            low = ticks.front();
            high = ticks.back();
        }
        const auto yOf = [&](double v) { return panelBottom - (v - low) / (high - low) * panelHeight; };

        // Phases shaded, time grid, value grid.
        for (const FlightPhase& phase : phases_) {
            const double a = std::clamp(xOf(phase.fromS), plotLeft, plotLeft + plotWidth);
            const double b = std::clamp(xOf(phase.toS), plotLeft, plotLeft + plotWidth);
            cairo_rectangle(cr, a, panelTop, b - a, panelHeight);
            cairo_set_source_rgba(cr, kPhaseShade.r, kPhaseShade.g, kPhaseShade.b, kPhaseAlpha);
            cairo_fill(cr);
        }
        cairo_set_line_width(cr, 1.0);
        setColour(cr, kGrid);
        for (double t : timeTicks) {
            if (t < t0 || t > t1)
                continue;
            cairo_move_to(cr, std::round(xOf(t)) + 0.5, panelTop);
            cairo_line_to(cr, std::round(xOf(t)) + 0.5, panelBottom);
        }
        for (double v : ticks) {
            cairo_move_to(cr, plotLeft, std::round(yOf(v)) + 0.5);
            cairo_line_to(cr, plotLeft + plotWidth, std::round(yOf(v)) + 0.5);
        }
        cairo_stroke(cr);

        // Value axis: ticks and their numbers, or the flags' names.
        setColour(cr, kInk);
        if (panel.flags) {
            for (size_t i = 0; i < panel.flagNames.size(); ++i) {
                text(cr, panel.flagNames[i], plotLeft - 8.0, yOf(static_cast<double>(i) + kFlagHigh / 2.0),
                     1.0, 0.5);
            }
        } else {
            const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1.0;
            for (double v : ticks) {
                cairo_move_to(cr, plotLeft - 5.0, std::round(yOf(v)) + 0.5);
                cairo_line_to(cr, plotLeft, std::round(yOf(v)) + 0.5);
                cairo_stroke(cr);
                text(cr, number(v, step), plotLeft - 8.0, yOf(v), 1.0, 0.5);
            }
        }

        // The data, clipped to the panel; a missing value breaks a line.
        cairo_save(cr);
        cairo_rectangle(cr, plotLeft, panelTop, plotWidth, panelHeight);
        cairo_clip(cr);
        for (const Series& series : panel.series) {
            setColour(cr, series.colour);
            cairo_set_line_width(cr, 1.6);
            const double dashes[] = {6.0, 4.0};
            cairo_set_dash(cr, dashes, series.dashed ? 2 : 0, 0.0);
            bool drawing = false;
            double lastY = 0.0;
            for (const FlightSample& s : samples) {
                const std::optional<double> v = series.value(s);
                if (!v || !std::isfinite(*v)) {
                    drawing = false;
                    continue;
                }
                const double x = xOf(s.timeS);
                const double y = yOf(*v);
                if (!drawing) {
                    cairo_move_to(cr, x, y);
                } else if (panel.flags) {
                    cairo_line_to(cr, x, lastY);
                    cairo_line_to(cr, x, y);
                } else {
                    cairo_line_to(cr, x, y);
                }
                drawing = true;
                lastY = y;
            }
            cairo_stroke(cr);
        }
        cairo_set_dash(cr, nullptr, 0, 0.0);
        cairo_restore(cr);

        // Frame, then the header: the panel's title and its legend.
        setColour(cr, kInk);
        cairo_set_line_width(cr, 1.0);
        cairo_rectangle(cr, plotLeft + 0.5, std::round(panelTop) + 0.5, plotWidth - 1.0,
                        std::round(panelHeight));
        cairo_stroke(cr);
        headerTitle(cr, panel.title, plotLeft, top + kHeader / 2.0);
        cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_text_extents_t e;
        cairo_text_extents(cr, panel.title, &e);
        cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        double legendX = plotLeft + e.x_advance + 28.0;
        if (!panel.flags) {
            for (const Series& series : panel.series) {
                setColour(cr, series.colour);
                cairo_set_line_width(cr, 2.0);
                const double dashes[] = {5.0, 3.0};
                cairo_set_dash(cr, dashes, series.dashed ? 2 : 0, 0.0);
                cairo_move_to(cr, legendX, top + kHeader / 2.0);
                cairo_line_to(cr, legendX + 24.0, top + kHeader / 2.0);
                cairo_stroke(cr);
                cairo_set_dash(cr, nullptr, 0, 0.0);
                setColour(cr, kInk);
                text(cr, series.label, legendX + 30.0, top + kHeader / 2.0, 0.0, 0.5);
                cairo_text_extents(cr, series.label, &e);
                legendX += 30.0 + e.x_advance + 22.0;
            }
        }
        top = panelBottom + kGap;
    }

    // Each phase: its name in its row, a bracket over its span, and its
    // start and end marked across all panels.
    cairo_set_line_width(cr, 1.0);
    for (size_t i = 0; i < phases_.size(); ++i) {
        const FlightPhase& phase = phases_[i];
        const double a = std::clamp(xOf(phase.fromS), plotLeft, plotLeft + plotWidth);
        const double b = std::clamp(xOf(phase.toS), plotLeft, plotLeft + plotWidth);
        const double rowTop = kTitleHeight + kPhaseRow * rows[i];
        cairo_set_source_rgb(cr, 0.45, 0.45, 0.6);
        const double dashes[] = {2.0, 3.0};
        cairo_set_dash(cr, dashes, 2, 0.0);
        for (double x : {a, b}) {
            cairo_move_to(cr, std::round(x) + 0.5, rowTop + kPhaseRow - 3.0);
            cairo_line_to(cr, std::round(x) + 0.5, plotsBottom);
        }
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0.0);
        cairo_move_to(cr, a + 1.0, rowTop + kPhaseRow - 3.0);
        cairo_line_to(cr, b - 1.0, rowTop + kPhaseRow - 3.0);
        cairo_stroke(cr);
        cairo_save(cr);
        cairo_rectangle(cr, a + 2.0, rowTop, std::max(0.0, b - a - 4.0), kPhaseRow - 3.0);
        cairo_clip(cr);
        setColour(cr, kInk);
        text(cr, phase.name, (a + b) / 2.0, rowTop + (kPhaseRow - 3.0) / 2.0, 0.5, 0.5);
        cairo_restore(cr);
    }
    setColour(cr, kInk);
    const double step = timeTicks.size() > 1 ? timeTicks[1] - timeTicks[0] : 1.0;
    for (double t : timeTicks) {
        if (t < t0 - 1e-9 || t > t1 + 1e-9)
            continue;
        cairo_move_to(cr, std::round(xOf(t)) + 0.5, plotsBottom);
        cairo_line_to(cr, std::round(xOf(t)) + 0.5, plotsBottom + 5.0);
        cairo_stroke(cr);
        text(cr, number(t, step), xOf(t), plotsBottom + 16.0, 0.5, 0.5);
    }
    text(cr, "time, s", plotLeft + plotWidth / 2.0, plotsBottom + 38.0, 0.5, 0.5);

    drawMap(cr, samples, plotLeft, height - mapHeight, plotWidth, mapHeight - 10.0);

    cairo_destroy(cr);
    return writeAndDestroyPng(surface, path, error);
}

}  // namespace plot
