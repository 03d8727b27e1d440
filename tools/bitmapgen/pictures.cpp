// SPDX-License-Identifier: MIT
#include "pictures.h"

#include <cmath>
#include <numbers>
#include <utility>

#include "canvas.h"

namespace {

// Where the pictures stand on the face (the element positions).
constexpr int kFaceWidth = 367;
constexpr int kFaceHeight = 265;
constexpr int kScreenX = 55;
constexpr int kScreenY = 32;
constexpr int kScreenWidth = 200;
constexpr int kScreenHeight = 192;
constexpr double kScreenRadius = 10.0;
constexpr int kSwitchX = 278;
constexpr int kSwitchY = 48;
constexpr int kSwitchWidth = 15;
constexpr int kSwitchHeight = 27;
constexpr int kGuardX = 308;
constexpr int kGuardY = 64;
constexpr int kGuardWidth = 55;
constexpr int kGuardHeight = 112;
constexpr int kArrowX = 265;
constexpr int kArrowUpY = 118;
constexpr int kArrowDownY = 150;
constexpr int kArrowWidth = 27;
constexpr int kArrowHeight = 29;
constexpr int kMarkerSize = 7;

// The screen's geometry, in screen pixels: the cross centre and the scales
// the markers travel along (41 pixels either way, 34 on the yaw scale).
constexpr int kCrossX = 95;
constexpr int kCrossY = 72;
constexpr int kCrossReach = 40;
constexpr int kVerticalScaleX = 149;
constexpr int kVerticalTicks[] = {31, 41, 51, 61, 72, 82, 92, 102, 112};
constexpr int kYawScaleY = 126;
constexpr int kYawTicks[] = {61, 95, 129};
// The target height readout's box (gauge 120,169, 64 x 34), outlined just
// outside, and the bars' windows (gauge 68,140 and 86,140, 8 x 55).
constexpr int kTargetBoxX = 65;
constexpr int kTargetBoxY = 137;
constexpr int kTargetBoxWidth = 64;
constexpr int kTargetBoxHeight = 34;
constexpr int kBarsTop = 108;
constexpr int kBarsHeight = 55;

constexpr double kPi = std::numbers::pi;

Rgb grey(int v) {
    return Rgb{static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v)};
}

const Rgb kLegend{226, 226, 222};
const Rgb kGuardRed{196, 30, 26};

void addStop(cairo_pattern_t* pattern, double offset, Rgb colour, double alpha = 1.0) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0,
                                      alpha);
}

void fillLinear(cairo_t* cr, double x0, double y0, double x1, double y1,
                std::initializer_list<std::pair<double, Rgb>> stops) {
    cairo_pattern_t* pattern = cairo_pattern_create_linear(x0, y0, x1, y1);
    for (const auto& [offset, colour] : stops) {
        addStop(pattern, offset, colour);
    }
    cairo_set_source(cr, pattern);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
}

// One pixel, exactly.
void dot(cairo_t* cr, int x, int y) {
    cairo_rectangle(cr, x, y, 1, 1);
    cairo_fill(cr);
}

void pixelRect(cairo_t* cr, int x, int y, int w, int h) {
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
}

// A cross-head screw, its slots turned by `angle`.
void drawScrew(cairo_t* cr, double cx, double cy, double angle) {
    cairo_arc(cr, cx + 0.6, cy + 0.8, 6.2, 0, 2 * kPi);
    setColour(cr, grey(20), 0.55);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, 5.6, 0, 2 * kPi);
    cairo_pattern_t* head = cairo_pattern_create_radial(cx - 1.8, cy - 2.0, 0.5, cx, cy, 5.6);
    addStop(head, 0.0, grey(196));
    addStop(head, 0.55, grey(128));
    addStop(head, 1.0, grey(70));
    cairo_set_source(cr, head);
    cairo_fill(cr);
    cairo_pattern_destroy(head);
    cairo_arc(cr, cx, cy, 5.6, 0, 2 * kPi);
    setColour(cr, grey(40));
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, angle);
    for (int arm = 0; arm < 2; ++arm) {
        cairo_rectangle(cr, -4.2, -0.9, 8.4, 1.8);
        setColour(cr, grey(30));
        cairo_fill(cr);
        cairo_rotate(cr, kPi / 2);
    }
    cairo_restore(cr);
}

// A raised push button with an arrow, up or down.
void drawArrowButton(cairo_t* cr, int x, int y, bool up) {
    roundedRect(cr, x + 1.0, y + 1.5, kArrowWidth, kArrowHeight, 4.0);
    setColour(cr, grey(16), 0.5);
    cairo_fill(cr);
    roundedRect(cr, x + 0.5, y + 0.5, kArrowWidth - 1, kArrowHeight - 1, 4.0);
    fillLinear(cr, 0, y, 0, y + kArrowHeight, {{0.0, grey(136)}, {0.5, grey(96)}, {1.0, grey(62)}});
    roundedRect(cr, x + 0.5, y + 0.5, kArrowWidth - 1, kArrowHeight - 1, 4.0);
    setColour(cr, grey(22));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    roundedRect(cr, x + 3.0, y + 3.0, kArrowWidth - 6, kArrowHeight - 6, 2.5);
    fillLinear(cr, 0, y + 3, 0, y + kArrowHeight - 3, {{0.0, grey(84)}, {1.0, grey(108)}});
    double cx = x + kArrowWidth / 2.0;
    double cy = y + kArrowHeight / 2.0;
    double tip = up ? -5.5 : 5.5;
    cairo_move_to(cr, cx, cy + tip);
    cairo_line_to(cr, cx + 6.5, cy - tip * 0.8);
    cairo_line_to(cr, cx - 6.5, cy - tip * 0.8);
    cairo_close_path(cr);
    setColour(cr, kLegend);
    cairo_fill(cr);
}

void drawFace(cairo_t* cr) {
    // The plate, lit from the top left, with a chamfered edge.
    cairo_rectangle(cr, 0, 0, kFaceWidth, kFaceHeight);
    fillLinear(cr, 0, 0, 0, kFaceHeight, {{0.0, grey(64)}, {1.0, grey(46)}});
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, 0.5, kFaceHeight);
    cairo_line_to(cr, 0.5, 0.5);
    cairo_line_to(cr, kFaceWidth, 0.5);
    setColour(cr, grey(104));
    cairo_stroke(cr);
    cairo_move_to(cr, 1.5, kFaceHeight - 1);
    cairo_line_to(cr, 1.5, 1.5);
    cairo_line_to(cr, kFaceWidth - 1, 1.5);
    setColour(cr, grey(80));
    cairo_stroke(cr);
    cairo_move_to(cr, kFaceWidth - 0.5, 0);
    cairo_line_to(cr, kFaceWidth - 0.5, kFaceHeight - 0.5);
    cairo_line_to(cr, 0, kFaceHeight - 0.5);
    setColour(cr, grey(22));
    cairo_stroke(cr);
    cairo_move_to(cr, kFaceWidth - 1.5, 1);
    cairo_line_to(cr, kFaceWidth - 1.5, kFaceHeight - 1.5);
    cairo_line_to(cr, 1, kFaceHeight - 1.5);
    setColour(cr, grey(34));
    cairo_stroke(cr);

    drawScrew(cr, 10.5, 10.5, 0.30);
    drawScrew(cr, kFaceWidth - 10.5, 10.5, 0.85);
    drawScrew(cr, 10.5, kFaceHeight - 10.5, 1.20);
    drawScrew(cr, kFaceWidth - 10.5, kFaceHeight - 10.5, 0.55);

    // The recess the screen fills: walls in shadow at the top left and lit
    // at the bottom right, a dark glass floor where the screen stands.
    const double wall = 6.0;
    roundedRect(cr, kScreenX - wall - 1, kScreenY - wall - 1, kScreenWidth + 2 * wall + 2,
                kScreenHeight + 2 * wall + 2, kScreenRadius + wall + 1);
    setColour(cr, grey(92));
    cairo_fill(cr);
    roundedRect(cr, kScreenX - wall, kScreenY - wall, kScreenWidth + 2 * wall, kScreenHeight + 2 * wall,
                kScreenRadius + wall);
    fillLinear(cr, kScreenX - wall, kScreenY - wall, kScreenX + 60, kScreenY + kScreenHeight + wall + 60,
               {{0.0, grey(18)}, {0.55, grey(34)}, {1.0, grey(84)}});
    roundedRect(cr, kScreenX, kScreenY, kScreenWidth, kScreenHeight, kScreenRadius);
    fillLinear(cr, kScreenX, kScreenY, kScreenX + kScreenWidth, kScreenY + kScreenHeight,
               {{0.0, grey(30)}, {0.45, grey(22)}, {1.0, grey(14)}});

    // The power switch: its legends and the washer it is mounted through.
    const double switchX = kSwitchX + kSwitchWidth / 2.0;
    const double switchY = kSwitchY + kSwitchHeight / 2.0;
    cairo_arc(cr, switchX, switchY, 9.5, 0, 2 * kPi);
    cairo_pattern_t* washer = cairo_pattern_create_linear(switchX - 9, switchY - 9, switchX + 9, switchY + 9);
    addStop(washer, 0.0, grey(150));
    addStop(washer, 1.0, grey(58));
    cairo_set_source(cr, washer);
    cairo_fill(cr);
    cairo_pattern_destroy(washer);
    cairo_arc(cr, switchX, switchY, 7.6, 0, 2 * kPi);
    setColour(cr, grey(32));
    cairo_fill(cr);
    useFont(cr, 9.0, true);
    setColour(cr, kLegend);
    textCentred(cr, "ON", switchX, kSwitchY - 4.0);
    textCentred(cr, "OFF", switchX, kSwitchY + kSwitchHeight + 11.0);

    // The engage button's legend, and the plate its button and guard are
    // mounted on, with the two rubber stops the open guard rests on.
    const double guardX = kGuardX + kGuardWidth / 2.0;
    useFont(cr, 7.5, true);
    setColour(cr, kLegend);
    textCentred(cr, "ENGAGE", guardX, kGuardY - 4.0);
    roundedRect(cr, kGuardX + 1.5, kGuardY + 2.5, kGuardWidth - 2, kGuardHeight - 4, 5);
    setColour(cr, grey(86));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    roundedRect(cr, kGuardX + 1.0, kGuardY + 2.0, kGuardWidth - 3, kGuardHeight - 5, 5);
    fillLinear(cr, 0, kGuardY, 0, kGuardY + kGuardHeight, {{0.0, grey(58)}, {1.0, grey(42)}});
    roundedRect(cr, kGuardX + 1.0, kGuardY + 2.0, kGuardWidth - 3, kGuardHeight - 5, 5);
    setColour(cr, grey(26));
    cairo_stroke(cr);
    for (double stopX : {kGuardX + 12.5, kGuardX + kGuardWidth - 12.5}) {
        roundedRect(cr, stopX - 3.5, kGuardY + 4.0, 7.0, 3.5, 1.5);
        fillLinear(cr, 0, kGuardY + 4.0, 0, kGuardY + 7.5, {{0.0, grey(40)}, {1.0, grey(22)}});
    }

    // The target height: two arrow buttons, + and - beside them, and the
    // legend under them.
    drawArrowButton(cr, kArrowX, kArrowUpY, true);
    drawArrowButton(cr, kArrowX, kArrowDownY, false);
    const double signX = kArrowX + kArrowWidth + 8.5;
    setColour(cr, kLegend);
    pixelRect(cr, static_cast<int>(signX) - 4, kArrowUpY + kArrowHeight / 2, 9, 2);
    pixelRect(cr, static_cast<int>(signX) - 1, kArrowUpY + kArrowHeight / 2 - 3, 2, 8);
    pixelRect(cr, static_cast<int>(signX) - 4, kArrowDownY + kArrowHeight / 2, 9, 2);
    const double legendX = (kArrowX + kGuardX + kGuardWidth) / 2.0;
    useFont(cr, 9.0, true);
    textCentred(cr, "HOVER HEIGHT", legendX, 199.0);
    useFont(cr, 9.0, false);
    textCentred(cr, "10 - 999 ft", legendX, 212.0);
}

// The screen, in screen pixels; its printing is pixel-exact.
void drawScreen(cairo_t* cr) {
    roundedRect(cr, 0, 0, kScreenWidth, kScreenHeight, kScreenRadius);
    setColour(cr, kScreenTeal);
    cairo_fill(cr);

    setColour(cr, kDarkGreen);
    // The dotted speed cross with its unit ticks (1 and 2 m/s at
    // 41/3 pixels each) and the arrowheads of the click areas beyond its ends.
    for (int k = -kCrossReach; k <= kCrossReach; k += 2) {
        dot(cr, kCrossX + k, kCrossY);
        dot(cr, kCrossX, kCrossY + k);
    }
    for (int side : {-1, 1}) {
        for (int unit : {14, 27}) {
            pixelRect(cr, kCrossX + side * unit, kCrossY - 1, 1, 3);
            pixelRect(cr, kCrossX - 1, kCrossY + side * unit, 3, 1);
        }
        const int tip = kCrossReach + 5;
        for (int i = 0; i < 3; ++i) {
            pixelRect(cr, kCrossX + side * (tip - 2 + i), kCrossY - 2 + i, 1, 5 - 2 * i);
            pixelRect(cr, kCrossX - 2 + i, kCrossY + side * (tip - 2 + i), 5 - 2 * i, 1);
        }
    }

    // The vertical-speed scale.
    pixelRect(cr, kVerticalScaleX, kVerticalTicks[0], 1, kVerticalTicks[8] - kVerticalTicks[0] + 1);
    for (int row : kVerticalTicks) {
        bool major = row == kVerticalTicks[0] || row == kCrossY || row == kVerticalTicks[8];
        int half = major ? 5 : 3;
        pixelRect(cr, kVerticalScaleX - half, row, 2 * half + 1, 1);
    }

    // The yaw-rate scale under the cross.
    pixelRect(cr, kYawTicks[0], kYawScaleY, kYawTicks[2] - kYawTicks[0] + 1, 1);
    for (int column : kYawTicks) {
        pixelRect(cr, column, kYawScaleY - 4, 1, 9);
    }

    // The collective bars: quarter ticks between the two windows.
    for (int quarter = 0; quarter <= 4; ++quarter) {
        int row = kBarsTop + (quarter * (kBarsHeight - 1) + 2) / 4;
        bool major = quarter % 2 == 0;
        pixelRect(cr, major ? 23 : 24, row, major ? 6 : 4, 1);
    }

    // The target height's box and its unit.
    cairo_rectangle(cr, kTargetBoxX - 0.5, kTargetBoxY - 0.5, kTargetBoxWidth + 1, kTargetBoxHeight + 1);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    useFont(cr, 12.0, true);
    cairo_move_to(cr, kTargetBoxX + kTargetBoxWidth + 4.0, kTargetBoxY + 25.0);
    cairo_show_text(cr, "ft");
}

// The toggle lever, up (ON) or down (OFF), through its nut.
void drawSwitch(cairo_t* cr, bool up) {
    const double cx = kSwitchWidth / 2.0;
    const double cy = kSwitchHeight / 2.0;
    cairo_arc(cr, cx, cy, 6.6, 0, 2 * kPi);
    cairo_pattern_t* nut = cairo_pattern_create_linear(cx - 6, cy - 6, cx + 6, cy + 6);
    addStop(nut, 0.0, grey(214));
    addStop(nut, 0.5, grey(140));
    addStop(nut, 1.0, grey(64));
    cairo_set_source(cr, nut);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, 6.6, 0, 2 * kPi);
    setColour(cr, grey(36));
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    cairo_arc(cr, cx, cy, 3.6, 0, 2 * kPi);
    setColour(cr, grey(44));
    cairo_fill(cr);

    const double sense = up ? -1.0 : 1.0;
    const double tipY = cy + sense * 10.6;
    // The lever's shadow on the face, then the lever itself.
    cairo_save(cr);
    cairo_translate(cr, 1.2, 1.2);
    cairo_move_to(cr, cx - 2.3, cy);
    cairo_line_to(cr, cx - 1.6, tipY);
    cairo_line_to(cr, cx + 1.6, tipY);
    cairo_line_to(cr, cx + 2.3, cy);
    cairo_close_path(cr);
    cairo_arc(cr, cx, tipY, 2.4, 0, 2 * kPi);
    setColour(cr, grey(10), 0.45);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_move_to(cr, cx - 2.3, cy);
    cairo_line_to(cr, cx - 1.6, tipY);
    cairo_line_to(cr, cx + 1.6, tipY);
    cairo_line_to(cr, cx + 2.3, cy);
    cairo_close_path(cr);
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, tipY, 2.4, 0, 2 * kPi);
    cairo_pattern_t* chrome = cairo_pattern_create_linear(cx - 2.6, 0, cx + 2.6, 0);
    addStop(chrome, 0.0, grey(88));
    addStop(chrome, 0.38, grey(244));
    addStop(chrome, 0.62, grey(190));
    addStop(chrome, 1.0, grey(72));
    cairo_set_source(cr, chrome);
    cairo_fill(cr);
    cairo_pattern_destroy(chrome);
}

// The engage button, in guard pixels: a glass lamp button in a metal bezel.
constexpr double kButtonX = 9.5;
constexpr double kButtonY = 66.0;
constexpr double kButtonSize = 36.0;

void drawButton(cairo_t* cr) {
    roundedRect(cr, kButtonX - 3.5, kButtonY - 3.5, kButtonSize + 7, kButtonSize + 7, 6.5);
    fillLinear(cr, kButtonX - 3.5, kButtonY - 3.5, kButtonX + kButtonSize, kButtonY + kButtonSize + 3,
               {{0.0, grey(168)}, {0.5, grey(92)}, {1.0, grey(44)}});
    roundedRect(cr, kButtonX - 1, kButtonY - 1, kButtonSize + 2, kButtonSize + 2, 4.5);
    setColour(cr, grey(20));
    cairo_fill(cr);
    roundedRect(cr, kButtonX, kButtonY, kButtonSize, kButtonSize, 4);
    fillLinear(cr, 0, kButtonY, 0, kButtonY + kButtonSize,
               {{0.0, Rgb{76, 88, 84}}, {0.5, Rgb{44, 54, 51}}, {1.0, Rgb{30, 38, 36}}});
    // A soft reflection across the top of the glass.
    roundedRect(cr, kButtonX + 3, kButtonY + 2, kButtonSize - 6, 9, 4);
    cairo_pattern_t* gloss = cairo_pattern_create_linear(0, kButtonY + 2, 0, kButtonY + 11);
    addStop(gloss, 0.0, grey(255), 0.30);
    addStop(gloss, 1.0, grey(255), 0.0);
    cairo_set_source(cr, gloss);
    cairo_fill(cr);
    cairo_pattern_destroy(gloss);
}

// The hinge across the middle of the guard.
void drawHinge(cairo_t* cr) {
    const double top = 50.0;
    const double height = 7.0;
    auto barrel = [cr, top, height](double x, double w, Rgb light) {
        cairo_rectangle(cr, x, top, w, height);
        fillLinear(cr, 0, top, 0, top + height, {{0.0, grey(60)}, {0.3, light}, {1.0, grey(40)}});
    };
    barrel(7.0, 11.0, grey(210));
    barrel(37.0, 11.0, grey(210));
    barrel(18.5, 18.0, Rgb{240, 110, 96});
    setColour(cr, grey(24));
    cairo_set_line_width(cr, 0.8);
    cairo_rectangle(cr, 7.0, top, 41.0, height);
    cairo_stroke(cr);
}

// The cross-barred cover: a frame with two crossing bars, its hinge edge at
// `hingeY`, reaching `length` pixels down (positive) or up (negative).
void drawCover(cairo_t* cr, double hingeY, double length, bool underside) {
    const double x = 3.5;
    const double w = 48.0;
    const double y = length > 0 ? hingeY : hingeY + length;
    const double h = std::fabs(length);
    const double border = 5.0;
    const Rgb light = underside ? Rgb{178, 26, 22} : Rgb{240, 96, 80};
    const Rgb mid = underside ? Rgb{128, 18, 15} : kGuardRed;
    const Rgb dark = underside ? Rgb{70, 9, 8} : Rgb{112, 14, 12};

    auto coverPath = [&]() {
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        roundedRect(cr, x, y, w, h, 5);
        roundedRect(cr, x + border, y + border, w - 2 * border, h - 2 * border, 2);
    };
    auto barsPath = [&]() {
        const double bar = 4.2;
        const double x0 = x + border;
        const double x1 = x + w - border;
        const double y0 = y + border;
        const double y1 = y + h - border;
        cairo_set_line_width(cr, bar);
        cairo_move_to(cr, x0, y0);
        cairo_line_to(cr, x1, y1);
        cairo_move_to(cr, x1, y0);
        cairo_line_to(cr, x0, y1);
    };

    if (!underside) {
        // The cover's shadow on what lies under it.
        cairo_save(cr);
        cairo_translate(cr, 1.5, 2.0);
        barsPath();
        setColour(cr, grey(8), 0.45);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
    cairo_save(cr);
    roundedRect(cr, x + border, y + border, w - 2 * border, h - 2 * border, 2);
    cairo_clip(cr);
    barsPath();
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_pattern_t* barColour = cairo_pattern_create_linear(0, y, 0, y + h);
    addStop(barColour, 0.0, light);
    addStop(barColour, 1.0, dark);
    cairo_set_source(cr, barColour);
    cairo_stroke(cr);
    cairo_pattern_destroy(barColour);
    cairo_restore(cr);

    coverPath();
    cairo_pattern_t* frame = cairo_pattern_create_linear(x, y, x + w, y + h);
    addStop(frame, 0.0, light);
    addStop(frame, 0.5, mid);
    addStop(frame, 1.0, dark);
    cairo_set_source(cr, frame);
    cairo_fill(cr);
    cairo_pattern_destroy(frame);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    roundedRect(cr, x, y, w, h, 5);
    setColour(cr, Rgb{52, 6, 5});
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    // The lip the pilot lifts it by, at the free edge.
    const double lipY = length > 0 ? y + h - 1.0 : y - 2.0;
    roundedRect(cr, x + w / 2 - 8, lipY, 16, 3, 1.5);
    setColour(cr, mid);
    cairo_fill(cr);
}

void drawGuardClosed(cairo_t* cr) {
    drawButton(cr);
    drawCover(cr, 53.0, 55.0, false);
    drawHinge(cr);
}

void drawGuardOpen(cairo_t* cr) {
    drawButton(cr);
    drawCover(cr, 54.0, -52.0, true);
    drawHinge(cr);
}

void drawLamp(cairo_t* cr) {
    useFont(cr, 14.0, true);
    setColour(cr, kGreen);
    textCentredInk(cr, "HVR", kButtonX + kButtonSize / 2.0, kButtonY + kButtonSize / 2.0);
}

// The markers, drawn to the pixel.
RgbImage markerPicture(const char* const rows[kMarkerSize], Rgb colour) {
    RgbImage picture(kMarkerSize, kMarkerSize, kBlack);
    for (int y = 0; y < kMarkerSize; ++y) {
        for (int x = 0; x < kMarkerSize; ++x) {
            if (rows[y][x] == '#') {
                picture.at(x, y) = colour;
            }
        }
    }
    return picture;
}

IndexedImage measuredMarker() {
    const char* const rows[] = {"..###..", ".#####.", "#######", "#######", "#######", ".#####.", "..###.."};
    return quantiseExact(markerPicture(rows, kBrightGreen));
}

IndexedImage trendMarker() {
    const char* const rows[] = {"...#...", "...#...", "...#...", "#######", "...#...", "...#...", "...#..."};
    return quantiseExact(markerPicture(rows, kGreen));
}

IndexedImage setMarker() {
    const char* const rows[] = {"##...##", "#.....#", ".......", ".......", ".......", "#.....#", "##...##"};
    return quantiseExact(markerPicture(rows, kBrightGreen));
}

IndexedImage barStrip() {
    RgbImage picture(8, 110, kBlack);
    for (int y = 55; y < 110; ++y) {
        for (int x = 0; x < 8; ++x) {
            picture.at(x, y) = kBrightGreen;
        }
    }
    return quantiseExact(picture);
}

IndexedImage barWindow() {
    RgbImage picture(8, 55, kNearBlack);
    for (int y = 0; y < 55; ++y) {
        for (int x = 0; x < 8; ++x) {
            if (x == 0 || x == 7 || y == 0 || y == 54) {
                picture.at(x, y) = kDarkGreen;
            }
        }
    }
    return quantiseExact(picture);
}

// The logging gauge's face, in its own pixels (the element positions of
// logger/face/face.cpp).
constexpr int kLogWidth = 200;
constexpr int kLogHeight = 72;
constexpr int kLogSwitchX = 14;
constexpr int kLogSwitchY = 24;
constexpr int kLogLampX = 38;
constexpr int kLogLampY = 27;
constexpr int kLogFaultX = 38;
constexpr int kLogFaultY = 46;
constexpr int kLogMarkSize = 11;
constexpr int kLogScreenX = 56;
constexpr int kLogScreenY = 11;
constexpr int kLogScreenWidth = 100;
constexpr int kLogScreenHeight = 48;
constexpr int kLogButtonX = 162;
constexpr int kLogButtonY = 26;
constexpr int kLogButtonSize = 28;

// Colours the fixed palette holds (its reds and its colour cube), so the
// lamp and the mark keep their colour through the quantising.
const Rgb kLampRed{222, 56, 46};
const Rgb kFaultAmber{250, 180, 40};

void drawFaultTriangle(cairo_t* cr, double x, double y) {
    const double size = kLogMarkSize;
    cairo_move_to(cr, x + size / 2.0, y + 0.5);
    cairo_line_to(cr, x + size - 0.5, y + size - 0.5);
    cairo_line_to(cr, x + 0.5, y + size - 0.5);
    cairo_close_path(cr);
}

void drawLogFace(cairo_t* cr) {
    cairo_rectangle(cr, 0, 0, kLogWidth, kLogHeight);
    fillLinear(cr, 0, 0, 0, kLogHeight, {{0.0, grey(64)}, {1.0, grey(46)}});
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, 0.5, kLogHeight);
    cairo_line_to(cr, 0.5, 0.5);
    cairo_line_to(cr, kLogWidth, 0.5);
    setColour(cr, grey(104));
    cairo_stroke(cr);
    cairo_move_to(cr, kLogWidth - 0.5, 0);
    cairo_line_to(cr, kLogWidth - 0.5, kLogHeight - 0.5);
    cairo_line_to(cr, 0, kLogHeight - 0.5);
    setColour(cr, grey(22));
    cairo_stroke(cr);

    // The small screen the two text lines stand on.
    roundedRect(cr, kLogScreenX - 3, kLogScreenY - 3, kLogScreenWidth + 6, kLogScreenHeight + 6, 7);
    fillLinear(cr, kLogScreenX - 3, kLogScreenY - 3, kLogScreenX + 30, kLogScreenY + kLogScreenHeight + 30,
               {{0.0, grey(18)}, {0.6, grey(34)}, {1.0, grey(84)}});
    roundedRect(cr, kLogScreenX, kLogScreenY, kLogScreenWidth, kLogScreenHeight, 5);
    setColour(cr, grey(5));
    cairo_fill(cr);

    // The record switch's legend and washer.
    const double switchX = kLogSwitchX + kSwitchWidth / 2.0;
    const double switchY = kLogSwitchY + kSwitchHeight / 2.0;
    cairo_arc(cr, switchX, switchY, 9.5, 0, 2 * kPi);
    setColour(cr, grey(110));
    cairo_fill(cr);
    cairo_arc(cr, switchX, switchY, 7.6, 0, 2 * kPi);
    setColour(cr, grey(32));
    cairo_fill(cr);
    useFont(cr, 8.0, true);
    setColour(cr, kLegend);
    textCentred(cr, "REC", switchX, kLogSwitchY - 4.0);

    // The lamp's dark glass and the fault mark's dim outline.
    cairo_arc(cr, kLogLampX + kLogMarkSize / 2.0, kLogLampY + kLogMarkSize / 2.0, kLogMarkSize / 2.0, 0, 2 * kPi);
    setColour(cr, Rgb{52, 6, 5});
    cairo_fill(cr);
    drawFaultTriangle(cr, kLogFaultX, kLogFaultY);
    setColour(cr, grey(90));
    cairo_stroke(cr);

    // The excite button: a raised square with a play sign.
    useFont(cr, 7.5, true);
    setColour(cr, kLegend);
    textCentred(cr, "EXCITE", kLogButtonX + kLogButtonSize / 2.0, kLogButtonY - 5.0);
    roundedRect(cr, kLogButtonX + 1.0, kLogButtonY + 1.5, kLogButtonSize, kLogButtonSize, 4.0);
    setColour(cr, grey(16), 0.5);
    cairo_fill(cr);
    roundedRect(cr, kLogButtonX + 0.5, kLogButtonY + 0.5, kLogButtonSize - 1, kLogButtonSize - 1, 4.0);
    fillLinear(cr, 0, kLogButtonY, 0, kLogButtonY + kLogButtonSize,
               {{0.0, grey(136)}, {0.5, grey(96)}, {1.0, grey(62)}});
    roundedRect(cr, kLogButtonX + 0.5, kLogButtonY + 0.5, kLogButtonSize - 1, kLogButtonSize - 1, 4.0);
    setColour(cr, grey(22));
    cairo_stroke(cr);
    const double cx = kLogButtonX + kLogButtonSize / 2.0;
    const double cy = kLogButtonY + kLogButtonSize / 2.0;
    cairo_move_to(cr, cx - 4.5, cy - 6.5);
    cairo_line_to(cr, cx + 6.5, cy);
    cairo_line_to(cr, cx - 4.5, cy + 6.5);
    cairo_close_path(cr);
    setColour(cr, kLegend);
    cairo_fill(cr);
}

void drawLogLamp(cairo_t* cr) {
    cairo_arc(cr, kLogMarkSize / 2.0, kLogMarkSize / 2.0, kLogMarkSize / 2.0 - 0.5, 0, 2 * kPi);
    cairo_pattern_t* glow = cairo_pattern_create_radial(4.0, 4.0, 0.5, 5.5, 5.5, 5.5);
    addStop(glow, 0.0, Rgb{250, 140, 124});
    addStop(glow, 0.5, kLampRed);
    addStop(glow, 1.0, Rgb{178, 26, 22});
    cairo_set_source(cr, glow);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
}

void drawLogFault(cairo_t* cr) {
    drawFaultTriangle(cr, 0, 0);
    setColour(cr, kFaultAmber);
    cairo_fill(cr);
    setColour(cr, grey(20));
    pixelRect(cr, 5, 4, 1, 4);
    pixelRect(cr, 5, 9, 1, 1);
}

}  // namespace

std::vector<GaugeBitmap> drawLoggerBitmaps() {
    RgbImage face = renderOpaque(kLogWidth, kLogHeight, drawLogFace);
    IndexedImage faceIndexed = quantiseOpaque(face);
    face = faceIndexed.toRgb();
    const double anyCoverage = 1.0 / 255.0;
    RgbImage switchBelow = face.crop(kLogSwitchX, kLogSwitchY, kSwitchWidth, kSwitchHeight);
    IndexedImage switchOff =
        renderOverlay(switchBelow, anyCoverage, [](cairo_t* cr) { drawSwitch(cr, false); });
    IndexedImage switchOn = renderOverlay(switchBelow, anyCoverage, [](cairo_t* cr) { drawSwitch(cr, true); });
    IndexedImage lamp =
        renderOverlay(face.crop(kLogLampX, kLogLampY, kLogMarkSize, kLogMarkSize), anyCoverage, drawLogLamp);
    IndexedImage fault =
        renderOverlay(face.crop(kLogFaultX, kLogFaultY, kLogMarkSize, kLogMarkSize), anyCoverage, drawLogFault);

    std::vector<GaugeBitmap> bitmaps;
    bitmaps.push_back({200, "200_log_plate.bmp", std::move(faceIndexed)});
    bitmaps.push_back({201, "201_log_switch_off.bmp", std::move(switchOff)});
    bitmaps.push_back({202, "202_log_switch_on.bmp", std::move(switchOn)});
    bitmaps.push_back({203, "203_log_lamp.bmp", std::move(lamp)});
    bitmaps.push_back({204, "204_log_fault.bmp", std::move(fault)});
    return bitmaps;
}

std::vector<GaugeBitmap> drawGaugeBitmaps() {
    RgbImage face = renderOpaque(kFaceWidth, kFaceHeight, drawFace);
    IndexedImage faceIndexed = quantiseOpaque(face);
    face = faceIndexed.toRgb();

    // Everything that stands on the face is composited over the face's own
    // pixels, so its anti-aliased edges meet the face without a seam.
    // Coverage below one level of 255 is no coverage at all.
    const double anyCoverage = 1.0 / 255.0;
    IndexedImage screen =
        renderOverlay(face.crop(kScreenX, kScreenY, kScreenWidth, kScreenHeight), anyCoverage, drawScreen);
    RgbImage guardBelow = face.crop(kGuardX, kGuardY, kGuardWidth, kGuardHeight);
    IndexedImage guardClosed = renderOverlay(guardBelow, anyCoverage, drawGuardClosed);
    IndexedImage guardOpen = renderOverlay(guardBelow, anyCoverage, drawGuardOpen);
    // The lamp lights only while engaged, and engaging needs the guard open.
    RgbImage openPicture = guardOpen.toRgb();
    for (int y = 0; y < kGuardHeight; ++y) {
        for (int x = 0; x < kGuardWidth; ++x) {
            if (openPicture.at(x, y) == kBlack) {
                openPicture.at(x, y) = guardBelow.at(x, y);
            }
        }
    }
    // The letters' faintest edge pixels would be the button's own glass
    // colour; leaving them out keeps every drawn pixel of the lamp green.
    IndexedImage lamp = renderOverlay(openPicture, 0.2, drawLamp);
    RgbImage switchBelow = face.crop(kSwitchX, kSwitchY, kSwitchWidth, kSwitchHeight);
    IndexedImage switchDown =
        renderOverlay(switchBelow, anyCoverage, [](cairo_t* cr) { drawSwitch(cr, false); });
    IndexedImage switchUp =
        renderOverlay(switchBelow, anyCoverage, [](cairo_t* cr) { drawSwitch(cr, true); });

    std::vector<GaugeBitmap> bitmaps;
    bitmaps.push_back({10, "10_face_plate.bmp", std::move(faceIndexed)});
    bitmaps.push_back({20, "20_measured_marker.bmp", measuredMarker()});
    bitmaps.push_back({30, "30_trend_marker.bmp", trendMarker()});
    bitmaps.push_back({35, "35_set_marker.bmp", setMarker()});
    bitmaps.push_back({50, "50_switch_down.bmp", std::move(switchDown)});
    bitmaps.push_back({51, "51_switch_up.bmp", std::move(switchUp)});
    bitmaps.push_back({60, "60_screen.bmp", std::move(screen)});
    bitmaps.push_back({70, "70_guard_closed.bmp", std::move(guardClosed)});
    bitmaps.push_back({71, "71_guard_open.bmp", std::move(guardOpen)});
    bitmaps.push_back({80, "80_engaged_lamp.bmp", std::move(lamp)});
    bitmaps.push_back({100, "100_bar_strip.bmp", barStrip()});
    bitmaps.push_back({101, "101_bar_window.bmp", barWindow()});
    return bitmaps;
}
