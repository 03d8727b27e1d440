// SPDX-License-Identifier: MIT
#include "sim/window/view.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "sim/plot/flight_plot.h"

namespace window {

namespace {

constexpr double kPi = 3.141592653589793;

// The layout at scale 1, pixels.
constexpr double kMargin = 8.0;
constexpr double kTapeWidth = 60.0;
constexpr double kChartHeight = 130.0;
constexpr double kStatusHeight = 40.0;
constexpr double kFontSize = 11.0;

// Ground spans the situation view may take, feet across: round numbers so
// the grid does not breathe with every frame.
constexpr double kSpansFt[] = {20.0, 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0, 20000.0};
// Without an engage spot the view follows the helicopter at this span.
constexpr double kFreeSpanFt = 100.0;
// The helicopter stays inside this share of the half span from the centre.
constexpr double kKeepInside = 0.8;
// The fuselage symbol's length, pixels at scale 1.
constexpr double kSymbolPixels = 22.0;

// The height tape spans at least this many feet.
constexpr double kTapeMinSpanFt = 40.0;

// Axis ranges in host units, for the commands chart's percent scale.
constexpr double kCyclicRange = 16383.0;
constexpr double kCollectiveRange = 16384.0;

void setColour(cairo_t* cr, uint32_t rgb, double alpha = 1.0) {
    cairo_set_source_rgba(cr, static_cast<double>((rgb >> 16) & 0xFF) / 255.0,
                          static_cast<double>((rgb >> 8) & 0xFF) / 255.0,
                          static_cast<double>(rgb & 0xFF) / 255.0, alpha);
}

void fillBox(cairo_t* cr, const Box& box, uint32_t rgb) {
    setColour(cr, rgb);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_fill(cr);
}

void useFont(cairo_t* cr, double scale, bool bold = false) {
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kFontSize * scale);
}

// Text with its left end (or, when `alignRight`, its right end) at x and its
// baseline at y.
void text(cairo_t* cr, double x, double y, const std::string& s, bool alignRight = false) {
    double left = x;
    if (alignRight) {
        cairo_text_extents_t extents;
        cairo_text_extents(cr, s.c_str(), &extents);
        left = x - extents.x_advance;
    }
    cairo_move_to(cr, left, y);
    cairo_show_text(cr, s.c_str());
}

__attribute__((format(printf, 1, 2))) std::string format(const char* pattern, ...) {
    char buffer[160];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, arguments);
    va_end(arguments);
    return buffer;
}

double radians(double degrees) {
    return degrees * kPi / 180.0;
}

}  // namespace

std::optional<PixelPoint> Layout::gaugePoint(double x, double y) const {
    if (!panel.contains(x, y) || !(scale > 0.0)) {
        return std::nullopt;
    }
    // Inside the box both offsets lie in [0, gauge size), so the floors fit.
    const double gx = std::floor((x - panel.x) / scale);
    const double gy = std::floor((y - panel.y) / scale);
    return PixelPoint{static_cast<int32_t>(gx), static_cast<int32_t>(gy)};
}

WindowPoint Layout::windowPoint(PixelPoint point) const {
    return {panel.x + (point.x + 0.5) * scale, panel.y + (point.y + 0.5) * scale};
}

Layout makeLayout(int gaugeWidth, int gaugeHeight, double scale) {
    Layout l;
    l.scale = scale;
    const double m = kMargin * scale;
    const double gw = gaugeWidth * scale;
    const double gh = gaugeHeight * scale;
    l.panel = {m, m, gw, gh};
    l.situation = {l.panel.x + gw + m, m, gh, gh};
    l.tape = {l.situation.x + gh + m, m, kTapeWidth * scale, gh};
    const double right = l.tape.x + l.tape.w + m;
    const double chartTop = m + gh + m;
    const double chartWidth = (right - m - 3.0 * m - m) / 4.0;
    for (size_t i = 0; i < l.charts.size(); ++i) {
        l.charts[i] = {m + static_cast<double>(i) * (chartWidth + m), chartTop, chartWidth,
                       kChartHeight * scale};
    }
    l.status = {m, chartTop + kChartHeight * scale + m, right - 2.0 * m, kStatusHeight * scale};
    l.width = static_cast<int>(std::ceil(right));
    l.height = static_cast<int>(std::ceil(l.status.y + l.status.h + m));
    return l;
}

double GroundView::pixelsPerFoot() const {
    return std::min(box.w, box.h) / spanFt;
}

WindowPoint GroundView::toWindow(GroundPoint point) const {
    const double k = pixelsPerFoot();
    return {box.centreX() + (point.eastFt - centre.eastFt) * k,
            box.centreY() - (point.northFt - centre.northFt) * k};
}

GroundView groundViewFor(const Situation& situation, const Box& box) {
    GroundView view;
    view.box = box;
    if (!situation.engageSpot) {
        view.centre = situation.position;
        view.spanFt = kFreeSpanFt;
        return view;
    }
    view.centre = *situation.engageSpot;
    const double away = std::hypot(situation.position.northFt - view.centre.northFt,
                                   situation.position.eastFt - view.centre.eastFt);
    view.spanFt = kSpansFt[std::size(kSpansFt) - 1];
    for (double span : kSpansFt) {
        if (away <= kKeepInside * span / 2.0) {
            view.spanFt = span;
            break;
        }
    }
    if (away > kKeepInside * view.spanFt / 2.0) {
        // Farther than the largest span: follow the helicopter instead.
        view.centre = situation.position;
    }
    return view;
}

void drawSituation(cairo_t* cr, const Box& box, double scale, const Situation& situation) {
    cairo_save(cr);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_clip(cr);
    fillBox(cr, box, kGroundColour);
    const GroundView view = groundViewFor(situation, box);
    const double k = view.pixelsPerFoot();

    // The grid: about eight lines across, at a round spacing.
    const double halfW = box.w / 2.0 / k;
    const double halfH = box.h / 2.0 / k;
    const std::vector<double> east =
        plot::niceTicks(view.centre.eastFt - halfW, view.centre.eastFt + halfW, 8);
    const std::vector<double> north =
        plot::niceTicks(view.centre.northFt - halfH, view.centre.northFt + halfH, 8);
    setColour(cr, 0x4a5c44);
    cairo_set_line_width(cr, 1.0 * scale);
    for (double e : east) {
        const double x = view.toWindow({view.centre.northFt, e}).x;
        cairo_move_to(cr, x, box.y);
        cairo_line_to(cr, x, box.y + box.h);
    }
    for (double n : north) {
        const double y = view.toWindow({n, view.centre.eastFt}).y;
        cairo_move_to(cr, box.x, y);
        cairo_line_to(cr, box.x + box.w, y);
    }
    cairo_stroke(cr);

    // The engage spot and the ADS-33 bounds around it.
    if (situation.engageSpot) {
        const WindowPoint spot = view.toWindow(*situation.engageSpot);
        cairo_set_line_width(cr, 1.5 * scale);
        setColour(cr, 0xe0a030);
        cairo_arc(cr, spot.x, spot.y, kAdequateRadiusFt * k, 0.0, 2.0 * kPi);
        cairo_stroke(cr);
        setColour(cr, 0x60e060);
        cairo_arc(cr, spot.x, spot.y, kDesiredRadiusFt * k, 0.0, 2.0 * kPi);
        cairo_stroke(cr);
        setColour(cr, kEngageSpotColour);
        const double r = 3.0 * scale;
        cairo_move_to(cr, spot.x - r, spot.y - r);
        cairo_line_to(cr, spot.x + r, spot.y + r);
        cairo_move_to(cr, spot.x + r, spot.y - r);
        cairo_line_to(cr, spot.x - r, spot.y + r);
        cairo_stroke(cr);
    }

    // The helicopter: its rotor disc to scale, as a thin outline that never
    // hides the circles, and a fuselage of fixed size along the heading.
    const WindowPoint heli = view.toWindow(situation.position);
    const double dash = 3.0 * scale;
    setColour(cr, 0xd0d0d0, 0.6);
    cairo_set_line_width(cr, 1.0 * scale);
    cairo_set_dash(cr, &dash, 1, 0.0);
    if (situation.rotorDiameterFt > 0.0) {
        cairo_arc(cr, heli.x, heli.y, situation.rotorDiameterFt * k / 2.0, 0.0, 2.0 * kPi);
        cairo_stroke(cr);
    }
    cairo_set_dash(cr, nullptr, 0, 0.0);
    const double d = kSymbolPixels * scale / 2.0;
    cairo_save(cr);
    cairo_translate(cr, heli.x, heli.y);
    cairo_rotate(cr, radians(situation.headingDeg));
    setColour(cr, kHelicopterColour);
    cairo_move_to(cr, 0.0, -d);
    cairo_line_to(cr, d * 0.4, -d * 0.1);
    cairo_line_to(cr, d * 0.12, d * 0.2);
    cairo_line_to(cr, d * 0.08, d * 1.1);
    cairo_line_to(cr, -d * 0.08, d * 1.1);
    cairo_line_to(cr, -d * 0.12, d * 0.2);
    cairo_line_to(cr, -d * 0.4, -d * 0.1);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_restore(cr);

    // The wind: an arrow blowing the way the air moves, top right.
    useFont(cr, scale);
    if (situation.windSpeedKt > 0.05) {
        const double cx = box.x + box.w - 26.0 * scale;
        const double cy = box.y + 26.0 * scale;
        const double len = 16.0 * scale;
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_rotate(cr, radians(situation.windFromDeg + 180.0));
        setColour(cr, 0xe8e8e8);
        cairo_set_line_width(cr, 2.0 * scale);
        cairo_move_to(cr, 0.0, len);
        cairo_line_to(cr, 0.0, -len);
        cairo_stroke(cr);
        cairo_move_to(cr, 0.0, -len - 2.0 * scale);
        cairo_line_to(cr, 6.0 * scale, -len + 8.0 * scale);
        cairo_line_to(cr, -6.0 * scale, -len + 8.0 * scale);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_restore(cr);
    }
    setColour(cr, 0xe8e8e8);
    text(cr, box.x + box.w - 4.0 * scale, box.y + 62.0 * scale, format("wind %.0f kt", situation.windSpeedKt),
         true);
    text(cr, box.x + 4.0 * scale, box.y + 14.0 * scale,
         format("grid %g ft", east.size() > 1 ? east[1] - east[0] : 0.0));
    text(cr, box.x + 4.0 * scale, box.y + box.h - 6.0 * scale,
         format("heading %03.0f", situation.headingDeg));
    if (situation.engageSpot) {
        const double away = std::hypot(situation.position.northFt - situation.engageSpot->northFt,
                                       situation.position.eastFt - situation.engageSpot->eastFt);
        text(cr, box.x + box.w - 4.0 * scale, box.y + box.h - 6.0 * scale, format("%.1f ft from spot", away),
             true);
    }
    cairo_restore(cr);
}

void drawTape(cairo_t* cr, const Box& box, double scale, const Situation& situation) {
    cairo_save(cr);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_clip(cr);
    fillBox(cr, box, 0x1c1c20);
    double low = situation.heightFt;
    double high = situation.heightFt;
    if (situation.targetFt) {
        low = std::min(low, *situation.targetFt);
        high = std::max(high, *situation.targetFt);
    }
    const double middle = (low + high) / 2.0;
    const double span = std::max(kTapeMinSpanFt, (high - low) * 1.4);
    low = middle - span / 2.0;
    high = middle + span / 2.0;
    const double top = box.y + 10.0 * scale;
    const double bottom = box.y + box.h - 10.0 * scale;
    const auto yOf = [&](double ft) { return bottom - (ft - low) / (high - low) * (bottom - top); };

    useFont(cr, scale);
    setColour(cr, 0x9a9a9a);
    cairo_set_line_width(cr, 1.0 * scale);
    for (double tick : plot::niceTicks(low, high, 6)) {
        if (tick < low || tick > high)
            continue;
        const double y = yOf(tick);
        cairo_move_to(cr, box.x + box.w - 10.0 * scale, y);
        cairo_line_to(cr, box.x + box.w, y);
        cairo_stroke(cr);
        text(cr, box.x + box.w - 12.0 * scale, y + 4.0 * scale, format("%g", tick), true);
    }
    if (situation.targetFt) {
        setColour(cr, kEngageSpotColour);
        cairo_set_line_width(cr, 2.0 * scale);
        const double y = yOf(*situation.targetFt);
        cairo_move_to(cr, box.x, y);
        cairo_line_to(cr, box.x + box.w, y);
        cairo_stroke(cr);
    }
    setColour(cr, kHelicopterColour);
    const double y = yOf(situation.heightFt);
    cairo_move_to(cr, box.x + box.w - 2.0 * scale, y);
    cairo_line_to(cr, box.x + box.w - 14.0 * scale, y - 6.0 * scale);
    cairo_line_to(cr, box.x + box.w - 14.0 * scale, y + 6.0 * scale);
    cairo_close_path(cr);
    cairo_fill(cr);
    useFont(cr, scale, true);
    text(cr, box.x + 3.0 * scale, box.y + box.h - 2.0 * scale, format("%.1f ft", situation.heightFt));
    cairo_restore(cr);
}

namespace {

struct Series {
    const char* name;
    uint32_t colour;
    std::optional<double> (*value)(const Sample&);
};

// One chart: the series against time over the last kChartSeconds, with
// y limits from the data (at least `minSpan` wide) or fixed ones.
void drawChart(cairo_t* cr, const Box& box, double scale, const char* title, const History& history,
               const std::vector<Series>& series, double minSpan,
               std::optional<std::pair<double, double>> fixed) {
    cairo_save(cr);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_clip(cr);
    fillBox(cr, box, 0x1c1c20);
    useFont(cr, scale, true);
    setColour(cr, 0xe8e8e8);
    text(cr, box.x + 4.0 * scale, box.y + 13.0 * scale, title);
    const Sample* newest = history.newest();
    if (newest == nullptr) {
        cairo_restore(cr);
        return;
    }
    const double t1 = newest->timeS;
    const double t0 = t1 - kChartSeconds;
    double low = 0.0;
    double high = 0.0;
    if (fixed) {
        low = fixed->first;
        high = fixed->second;
    } else {
        bool any = false;
        for (size_t i = 0; i < history.size(); ++i) {
            for (const Series& s : series) {
                const std::optional<double> v = s.value(history.at(i));
                if (v && std::isfinite(*v)) {
                    low = any ? std::min(low, *v) : *v;
                    high = any ? std::max(high, *v) : *v;
                    any = true;
                }
            }
        }
        const double middle = (low + high) / 2.0;
        const double span = std::max(minSpan, (high - low) * 1.15);
        low = middle - span / 2.0;
        high = middle + span / 2.0;
    }
    const double left = box.x + 34.0 * scale;
    const double right = box.x + box.w - 4.0 * scale;
    const double top = box.y + 18.0 * scale;
    const double bottom = box.y + box.h - 6.0 * scale;
    const auto xOf = [&](double t) { return left + (t - t0) / (t1 - t0) * (right - left); };
    const auto yOf = [&](double v) { return bottom - (v - low) / (high - low) * (bottom - top); };

    useFont(cr, scale * 0.9);
    cairo_set_line_width(cr, 1.0 * scale);
    for (double tick : plot::niceTicks(low, high, 4)) {
        if (tick < low || tick > high)
            continue;
        setColour(cr, 0x3a3a40);
        cairo_move_to(cr, left, yOf(tick));
        cairo_line_to(cr, right, yOf(tick));
        cairo_stroke(cr);
        setColour(cr, 0x9a9a9a);
        text(cr, left - 3.0 * scale, yOf(tick) + 4.0 * scale, format("%g", tick), true);
    }
    cairo_set_line_width(cr, 1.5 * scale);
    double legendX = box.x + box.w - 4.0 * scale;
    for (auto s = series.rbegin(); s != series.rend(); ++s) {
        setColour(cr, s->colour);
        // A minute of frames is several samples per pixel column: each
        // column draws its lowest and highest value, in the order they came,
        // so a spike stays visible at a fraction of the strokes. A column
        // with a sample lacking the value breaks the line.
        bool drawing = false;
        size_t i = 0;
        while (i < history.size()) {
            const double column = std::floor(xOf(history.at(i).timeS));
            std::optional<double> lowest, highest;
            size_t lowAt = 0;
            size_t highAt = 0;
            bool gap = false;
            for (; i < history.size() && std::floor(xOf(history.at(i).timeS)) == column; ++i) {
                const Sample& sample = history.at(i);
                const std::optional<double> v = sample.timeS >= t0 ? s->value(sample) : std::nullopt;
                if (!v || !std::isfinite(*v)) {
                    gap = true;
                    continue;
                }
                if (!lowest || *v < *lowest) {
                    lowest = v;
                    lowAt = i;
                }
                if (!highest || *v > *highest) {
                    highest = v;
                    highAt = i;
                }
            }
            if (!lowest) {
                drawing = false;
                continue;
            }
            const bool lowFirst = lowAt <= highAt;
            const double y1 = std::clamp(yOf(lowFirst ? *lowest : *highest), top, bottom);
            const double y2 = std::clamp(yOf(lowFirst ? *highest : *lowest), top, bottom);
            if (drawing) {
                cairo_line_to(cr, column, y1);
            } else {
                cairo_move_to(cr, column, y1);
            }
            cairo_line_to(cr, column + 0.5, y2);
            drawing = !gap;
        }
        cairo_stroke(cr);
        if (series.size() > 1) {
            cairo_text_extents_t extents;
            cairo_text_extents(cr, s->name, &extents);
            legendX -= extents.x_advance;
            text(cr, legendX, box.y + 13.0 * scale, s->name);
            legendX -= 5.0 * scale;
        }
    }
    cairo_restore(cr);
}

std::optional<double> percentOf(const std::optional<double>& command, double range) {
    if (!command)
        return std::nullopt;
    return *command / range * 100.0;
}

}  // namespace

void drawCharts(cairo_t* cr, const Layout& layout, const History& history) {
    const double s = layout.scale;
    drawChart(
        cr, layout.charts[0], s, "height ft", history,
        {{"target", kEngageSpotColour, [](const Sample& x) { return x.targetFt; }},
         {"height", kHelicopterColour, [](const Sample& x) { return std::optional<double>(x.heightFt); }}},
        10.0, std::nullopt);
    drawChart(cr, layout.charts[1], s, "ground speed kt", history,
              {{"speed", kHelicopterColour,
                [](const Sample& x) { return std::optional<double>(x.groundSpeedKt); }}},
              2.0, std::nullopt);
    drawChart(
        cr, layout.charts[2], s, "heading deg", history,
        {{"heading", kHelicopterColour, [](const Sample& x) { return std::optional<double>(x.headingDeg); }}},
        10.0, std::nullopt);
    drawChart(cr, layout.charts[3], s, "commands %", history,
              {{"ped", 0xff7070, [](const Sample& x) { return percentOf(x.rudder, kCyclicRange); }},
               {"lat", 0x70ff70, [](const Sample& x) { return percentOf(x.aileron, kCyclicRange); }},
               {"lon", 0x70a0ff, [](const Sample& x) { return percentOf(x.elevator, kCyclicRange); }},
               {"coll", 0xffffff, [](const Sample& x) { return percentOf(x.throttle, kCollectiveRange); }}},
              0.0, std::pair<double, double>{-100.0, 100.0});
}

void drawScene(cairo_t* cr, const Layout& layout, cairo_surface_t* panel, const Situation& situation,
               const History& history, const Status& status) {
    const double s = layout.scale;
    cairo_save(cr);
    setColour(cr, 0x101014);
    cairo_paint(cr);
    if (panel != nullptr) {
        cairo_set_source_surface(cr, panel, layout.panel.x, layout.panel.y);
        cairo_paint(cr);
    }
    drawSituation(cr, layout.situation, s, situation);
    drawTape(cr, layout.tape, s, situation);
    drawCharts(cr, layout, history);

    const Box& b = layout.status;
    useFont(cr, s);
    setColour(cr, 0xe8e8e8);
    char line[512];
    std::snprintf(line, sizeof line, "%s   %.1f s   x%g%s   %s%s%s   %s   controller: %s",
                  status.scenario.c_str(), status.hostTimeS, status.speed, status.paused ? "  PAUSED" : "",
                  status.wind.c_str(), status.failure21 ? "   FAILURE 21" : "",
                  status.night ? "   night" : "", status.assignment.c_str(), status.controller.c_str());
    text(cr, b.x, b.y + 13.0 * s, line);
    setColour(cr, status.message.empty() ? 0x9a9a9a : 0xffd080);
    text(cr, b.x, b.y + 30.0 * s,
         status.message.empty() ? "arrows cyclic  Z X pedals  PgUp PgDn collective  J stick  space pause  1 "
                                  "2 3 speed  R restart  "
                                  "W D T wind  F fail 21  N night  F12 picture"
                                : status.message);
    cairo_restore(cr);
}

}  // namespace window
