// SPDX-License-Identifier: MIT
#include "sim/guide/guide_pictures.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <optional>
#include <vector>

#include "sim/host/mouse.h"
#include "sim/panel/text_faces.h"

namespace guide {

using panel::ElementDrawing;
using panel::Lighting;
using panel::PanelRenderer;

namespace {

// A helicopter hovering at 100 ft, heading 273, in a light westerly wind.
Flight hover() {
    return Flight{};
}

// The unit switched on, its guard opened and the hold engaged, from a hover.
bool engage(Cockpit& cockpit) {
    cockpit.hold(hover(), 1.0);
    bool hit = cockpit.click("power");
    cockpit.hold(hover(), 0.5);
    hit = cockpit.click("guard") && hit;
    cockpit.hold(hover(), 0.5);
    hit = cockpit.click("engage") && hit;
    cockpit.hold(hover(), 0.5);
    return hit;
}

// Engaged, the pilot has asked for a slow drift forward and to the left,
// a slow turn to the right and 120 ft; the helicopter is on its way there.
bool engagedDrift(Cockpit& cockpit) {
    host::StickInput wheel;
    wheel.z = 0.2;
    cockpit.moveStick(wheel);
    bool hit = engage(cockpit);
    hit = cockpit.click("forward_up", 4) && hit;
    hit = cockpit.click("right_down", 2) && hit;
    hit = cockpit.click("turn_up", 2) && hit;
    hit = cockpit.click("height_up", 20) && hit;
    Flight from = hover();
    from.forwardMs = 0.2;
    from.upMs = 0.2;
    Flight to = hover();
    to.headingDeg = 274.0;
    to.forwardMs = 0.8;
    to.rightMs = -0.35;
    to.upMs = 0.9;
    to.yawRateDegS = 0.35;
    to.heightFt = 109.0;
    cockpit.fly(from, to, 2.0);
    return hit;
}

// Engaged, the nose pitched down beyond 10 degrees and the speed building:
// the pitch guard holds the cyclic back.
bool engagedPitchGuard(Cockpit& cockpit) {
    bool hit = engage(cockpit);
    Flight from = hover();
    from.forwardMs = 1.5;
    from.pitchDeg = 6.0;
    Flight to = hover();
    to.forwardMs = 4.5;
    to.pitchDeg = 12.0;
    to.heightFt = 96.0;
    to.upMs = -0.8;
    cockpit.fly(from, to, 1.5);
    return hit;
}

bool switchedOn(Cockpit& cockpit) {
    cockpit.hold(hover(), 1.0);
    const bool hit = cockpit.click("power");
    Flight drifting = hover();
    drifting.forwardMs = 0.3;
    drifting.rightMs = 0.1;
    cockpit.hold(drifting, 2.0);
    return hit;
}

// Switched off after flying engaged: the switch leaves the guard as the
// pilot left it, open.
bool switchedOff(Cockpit& cockpit) {
    bool hit = engage(cockpit);
    cockpit.hold(hover(), 2.0);
    hit = cockpit.click("power") && hit;
    cockpit.hold(hover(), 1.0);
    return hit;
}

cairo_surface_t* copyOf(cairo_surface_t* source, int margin) {
    const int w = cairo_image_surface_get_width(source) + 2 * margin;
    const int h = cairo_image_surface_get_height(source) + 2 * margin;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_surface(cr, source, margin, margin);
    cairo_paint(cr);
    cairo_destroy(cr);
    return surface;
}

// Numbered badges on the face, each with a short line to what it names.
struct Callout {
    int number;
    double x, y;    // the thing named, gauge pixels
    double bx, by;  // the badge's centre
};

// Every badge in the same face and options, whatever was drawn before.
void drawBadge(cairo_t* cr, panel::TextFaces& faces, double x, double y, const std::string& label) {
    constexpr double kRadius = 7.0;
    cairo_new_path(cr);
    cairo_arc(cr, x, y, kRadius, 0.0, 2.0 * std::numbers::pi);
    cairo_set_source_rgb(cr, 1.0, 0.84, 0.0);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    panel::useHostTextOptions(cr);
    cairo_set_font_face(cr, faces.face("Liberation Sans", true));
    cairo_set_font_size(cr, label.size() > 1 ? 8.0 : 9.5);
    cairo_text_extents_t e;
    cairo_text_extents(cr, label.c_str(), &e);
    cairo_move_to(cr, x - e.x_bearing - e.width / 2.0, y - e.y_bearing - e.height / 2.0);
    cairo_show_text(cr, label.c_str());
}

void drawCallouts(cairo_t* cr, const std::vector<Callout>& callouts) {
    for (const Callout& c : callouts) {
        cairo_new_path(cr);
        cairo_set_source_rgb(cr, 1.0, 0.84, 0.0);
        cairo_set_line_width(cr, 1.0);
        cairo_move_to(cr, c.bx, c.by);
        cairo_line_to(cr, c.x, c.y);
        cairo_stroke(cr);
        cairo_new_path(cr);
        cairo_arc(cr, c.x, c.y, 1.5, 0.0, 2.0 * std::numbers::pi);
        cairo_fill(cr);
    }
    panel::TextFaces faces;
    for (const Callout& c : callouts) {
        drawBadge(cr, faces, c.bx, c.by, std::to_string(c.number));
    }
}

// The centre of the marker that a slider with this bitmap shows, among the
// elements drawn: on the speed cross (both axes), the yaw scale (x only) or
// the vertical scale (y only).
enum class Scale { kCross, kYaw, kVertical };
std::optional<std::pair<double, double>> markerCentre(const PanelRenderer& renderer, int32_t bitmap,
                                                      Scale scale) {
    for (const ElementDrawing& d : renderer.elements()) {
        if (d.element->kind != kElementSlider || d.element->bitmapId != bitmap || !d.drawn) {
            continue;
        }
        const bool x = d.xValue.has_value();
        const bool y = d.yValue.has_value();
        if ((scale == Scale::kCross && x && y) || (scale == Scale::kYaw && x && !y)
            || (scale == Scale::kVertical && !x && y)) {
            return std::make_pair(d.left + 3.5, d.top + 3.5);
        }
    }
    return std::nullopt;
}

cairo_surface_t* annotatedFace(Cockpit& cockpit) {
    PanelRenderer& renderer = cockpit.renderer();
    cairo_surface_t* surface = copyOf(renderer.surface(), 0);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, kGuideScale, kGuideScale);
    std::vector<Callout> callouts = {
        {1, 285, 61, 263, 58},     // power switch
        {2, 335, 92, 335, 14},     // guard
        {3, 335, 150, 300, 150},   // engage button and its lamp
        {4, 278, 132, 278, 104},   // height up
        {5, 282, 168, 300, 180},   // height down
        {6, 70, 61, 26, 61},       // heading
        {7, 233, 61, 233, 14},     // ground speed
        {13, 225, 163, 245, 248},  // radar height
        {14, 135, 186, 110, 180},  // target height
        {15, 193, 214, 193, 248},  // wind
        {16, 72, 165, 26, 165},    // lever bar
        {17, 90, 185, 90, 248},    // stick bar
    };
    const auto mark = [&](int number, int32_t bitmap, Scale scale, double bx, double by) {
        if (const auto p = markerCentre(renderer, bitmap, scale)) {
            callouts.push_back({number, p->first, p->second, bx, by});
        }
    };
    mark(8, 20, Scale::kCross, 120, 14);
    mark(9, 30, Scale::kCross, 150, 14);
    mark(10, 35, Scale::kCross, 180, 14);
    mark(11, 35, Scale::kVertical, 232, 110);
    mark(12, 35, Scale::kYaw, 215, 190);
    drawCallouts(cr, callouts);
    cairo_destroy(cr);
    return surface;
}

// The module's own click areas, read from its mouse table, over the face.
cairo_surface_t* clickAreas(Cockpit& cockpit) {
    cairo_surface_t* surface = copyOf(cockpit.renderer().surface(), 0);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, kGuideScale, kGuideScale);
    std::vector<Callout> badges;
    int number = 0;
    for (const host::PlacedArea& area : host::placedAreas(cockpit.host().gauge()->mouseRects)) {
        const MouseRect& rect = *area.record;
        ++number;
        const auto x = static_cast<double>(area.left);
        const auto y = static_cast<double>(area.top);
        const bool repeats = (rect.eventMask & kMouseRepeat) != 0;
        cairo_rectangle(cr, x + 0.5, y + 0.5, rect.width - 1.0, rect.height - 1.0);
        if (repeats) {
            cairo_set_source_rgba(cr, 0.2, 0.6, 1.0, 0.35);
        } else {
            cairo_set_source_rgba(cr, 1.0, 0.45, 0.1, 0.35);
        }
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, repeats ? 0.2 : 1.0, repeats ? 0.6 : 0.45, repeats ? 1.0 : 0.1);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
        badges.push_back({number, x + rect.width / 2.0, y + rect.height / 2.0, x + rect.width / 2.0,
                          y + rect.height / 2.0});
    }
    panel::TextFaces faces;
    for (const Callout& b : badges) {
        drawBadge(cr, faces, b.bx, b.by, std::to_string(b.number));
    }
    cairo_destroy(cr);
    return surface;
}

struct Recipe {
    GuidePicture picture;
    std::function<bool(Cockpit&)> setUp = nullptr;
    bool withJoystick = false;
    Lighting lighting = Lighting::kDay;
    bool failure21 = false;
    std::function<cairo_surface_t*(Cockpit&)> compose = nullptr;
};

const std::vector<Recipe>& recipes() {
    static const std::vector<Recipe> list = {
        {.picture =
             {"panel_off",
              "The unit switched off after flying engaged: the lever down, no screen, the lamp dark; the "
              "guard still open."},
         .setUp = switchedOff},
        {.picture = {"panel_on",
                     "Switched on, guard closed: the screen shows the hover; the hold is not engaged."},
         .setUp = switchedOn},
        {.picture =
             {"panel_engaged_drift",
              "Engaged in a commanded drift: set points forward, left and a right turn, target 120 ft."},
         .setUp = engagedDrift,
         .withJoystick = true},
        {.picture = {"panel_pitch_guard",
                     "Engaged with the nose 12 degrees down: the speed markers at the end of the scale while "
                     "the pitch guard holds the cyclic back."},
         .setUp = engagedPitchGuard},
        {.picture = {"panel_failure21",
                     "The drift of the third picture while the panel lights have failed (failure 21)."},
         .setUp = engagedDrift,
         .withJoystick = true,
         .failure21 = true},
        {.picture = {"panel_night",
                     "The drift of the third picture at night: only the lit parts keep their brightness."},
         .setUp = engagedDrift,
         .withJoystick = true,
         .lighting = Lighting::kNight},
        {.picture = {"face_annotated", "The face, numbered: see the table below."},
         .setUp = engagedDrift,
         .withJoystick = true,
         .compose = annotatedFace},
        {.picture = {"click_areas",
                     "The click areas of the module's mouse table: orange ones act once per click, blue ones "
                     "repeat while the button is held."},
         .setUp = switchedOn,
         .compose = clickAreas},
    };
    return list;
}

}  // namespace

const std::vector<GuidePicture>& guidePictures() {
    static const std::vector<GuidePicture> pictures = [] {
        std::vector<GuidePicture> list;
        for (const Recipe& r : recipes()) {
            list.push_back(r.picture);
        }
        return list;
    }();
    return pictures;
}

cairo_surface_t* drawGuidePicture(const std::string& name, const GaugeFiles& files, std::string& error) {
    for (const Recipe& recipe : recipes()) {
        if (recipe.picture.name != name) {
            continue;
        }
        Cockpit cockpit;
        cockpit.options().scale = kGuideScale;
        if (!cockpit.open(files, error, "", recipe.withJoystick)) {
            return nullptr;
        }
        if (!recipe.setUp(cockpit)) {
            error = "a click of " + name + " reached no area of the module's mouse table";
            return nullptr;
        }
        if (recipe.lighting != Lighting::kDay || recipe.failure21) {
            cockpit.options().lighting = recipe.lighting;
            cockpit.setPanelLightsFailed(recipe.failure21);
            cockpit.redraw();
        }
        if (recipe.compose) {
            return recipe.compose(cockpit);
        }
        return copyOf(cockpit.renderer().surface(), 0);
    }
    error = "no guide picture is called " + name;
    return nullptr;
}

}  // namespace guide
