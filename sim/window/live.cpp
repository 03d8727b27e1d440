// SPDX-License-Identifier: MIT
#include "sim/window/live.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/host/mouse.h"
#include "sim/scenario/report.h"
#include "sim/scenario/scenario_run.h"
#include "sim/plot/png.h"
#include "sim/panel/bitmap.h"
#include "sim/panel/panel_renderer.h"

namespace window {

namespace {

constexpr TurbulenceStep kTurbulence[] = {{"no", 0.0}, {"light", 15.0}, {"moderate", 30.0}, {"severe", 45.0}};

// Without a scenario: a hover at 50 ft in still air, flown as long as the
// pilot likes (a day of host time).
host::Scenario openGround() {
    host::Scenario s;
    s.name = "open ground";
    s.description = "a hover at 50 ft in still air";
    s.duration = 24.0 * 3600.0;
    s.start.heightFt = 50.0;
    return s;
}

std::string optionalText(const std::optional<bool>& value) {
    return value ? (*value ? "1" : "0") : "-";
}

std::string windText(const host::WindSetting& wind) {
    char text[96];
    const char* turbulence = "custom";
    for (const TurbulenceStep& step : kTurbulence) {
        if (step.w20Kt == wind.turbulenceW20Kt)
            turbulence = step.name;
    }
    std::snprintf(text, sizeof text, "wind %03.0f deg %.0f kt, %s turbulence", wind.fromDeg, wind.speedKt,
                  turbulence);
    return text;
}

}  // namespace

// One flight of the session: the host's run of the scenario and the
// renderer drawing its panel. Started over whole on restart.
struct LiveSession::Flight {
    host::RunOptions options;
    host::RunResult result;
    std::unique_ptr<host::ScenarioRun> run;
    std::unique_ptr<panel::PanelRenderer> renderer;
    panel::BitmapSet bitmapSizes;  // the bitmaps' sizes, for the layout lines
    host::Frame frame;             // the last frame flown
    host::WindSetting wind;
    Situation situation;
    bool reported = false;
};

LiveSession::LiveSession() : history_(1) {}

LiveSession::~LiveSession() = default;

bool LiveSession::start(const LiveOptions& options, std::string& error) {
    options_ = options;
    if (options.scenarioPath.empty()) {
        scenario_ = openGround();
    } else {
        std::optional<host::Scenario> scenario = host::loadScenario(options.scenarioPath, error);
        if (!scenario) {
            return false;
        }
        scenario_ = *scenario;
    }
    useAircraftOption();
    return begin(error);
}

bool LiveSession::begin(std::string& error) {
    flight_.reset();  // the module's last service calls before it is loaded again
    auto flight = std::make_unique<Flight>();
    flight->options.modulePath = options_.modulePath;
    flight->options.stickAttached = true;
    flight->wind = scenario_.wind;
    flight->run = std::make_unique<host::ScenarioRun>(scenario_, flight->options, flight->result);
    if (!flight->run->start()) {
        error = flight->result.error;
        return false;
    }
    const std::string directory = panel::findBitmapDirectory(options_.bitmaps, flight->run->modulePath());
    if (directory.empty()) {
        error = "no bitmaps/ folder beside " + flight->run->modulePath() + " (--bitmaps names one)";
        return false;
    }
    panel::BitmapSet bitmaps;
    if (!bitmaps.loadDirectory(directory, error) || !flight->bitmapSizes.loadDirectory(directory, error)) {
        return false;
    }
    flight->renderer =
        std::make_unique<panel::PanelRenderer>(flight->run->gaugeHost().gauge(), std::move(bitmaps));
    for (const std::string& note : flight->result.notes) {
        say(note);
    }
    flight->situation.rotorDiameterFt = flight->run->aircraft().rotorDiameterFt();
    layout_ = makeLayout(flight->renderer->gaugeWidth(), flight->renderer->gaugeHeight(), options_.scale);
    history_ = History(static_cast<size_t>(kChartSeconds * scenario_.frameRate) + 2);
    pressAt_.reset();
    releaseDue_ = false;
    flight_ = std::move(flight);
    return true;
}

void LiveSession::useAircraftOption() {
    // As hoversim's --aircraft: a name among the aircraft files or a path.
    if (!options_.aircraftPath.empty()) {
        scenario_.aircraft = options_.aircraftPath;
        scenario_.aircraftBase.clear();
    }
}

int LiveSession::framesPerSecond() const {
    return scenario_.frameRate;
}

double LiveSession::hostTime() const {
    return flight_->frame.hostTime;
}

bool LiveSession::scenarioOver() const {
    return flight_->run->framesFlown() >= flight_->run->frameCount();
}

const host::Scenario& LiveSession::scenario() const {
    return scenario_;
}

bool LiveSession::paused() const {
    return flight_->run->paused();
}

void LiveSession::mouseDown(double x, double y) {
    const std::optional<PixelPoint> point = layout_.gaugePoint(x, y);
    if (point) {
        pressAt_ = point;
        releaseDue_ = false;  // a press lets go of whatever was held
    }
}

void LiveSession::mouseUp() {
    releaseDue_ = true;
}

void LiveSession::frame(const PilotKeys& keys, const ControllerState& pad) {
    Flight& f = *flight_;
    host::ScenarioRun& run = *f.run;
    // Between frames, what the pilot did since the last one. A click
    // quicker than a frame is pressed in this frame and let go in the next,
    // so the gauge sees the press.
    if (pressAt_) {
        run.press(*pressAt_);
        pressAt_.reset();
    } else if (releaseDue_) {
        run.release();
        releaseDue_ = false;
    }
    pilot_.frame(1.0 / framesPerSecond(), keys, pad, run.controls());
    if (pilot_.stickMoved()) {
        run.moveStick(pilot_.stick());
    }

    f.frame = run.step();
    // The picture is painted from the host's one walk of the frame: no
    // callback is called a second time for the window.
    panel::RenderOptions render;
    render.scale = layout_.scale;
    render.lighting = night_ ? panel::Lighting::kNight : panel::Lighting::kDay;
    f.renderer->draw(run.panelFrame(), render);

    // What the views show of it.
    const host::Frame& fr = f.frame;
    Situation& s = f.situation;
    if (fr.commanding && !s.engaged) {
        s.engageSpot = GroundPoint{fr.northFt, fr.eastFt};
    } else if (!fr.commanding) {
        s.engageSpot.reset();
    }
    s.engaged = fr.commanding;
    s.position = {fr.northFt, fr.eastFt};
    s.headingDeg = fr.headingDeg;
    s.heightFt = fr.heightFt;
    s.targetFt = fr.panel.targetHeightFt;
    s.windFromDeg = run.gaugeHost().token(kTokenWindDirection);
    s.windSpeedKt = run.gaugeHost().token(kTokenWindSpeed);
    if (!fr.paused) {
        Sample sample;
        sample.timeS = fr.simTime;
        sample.heightFt = fr.heightFt;
        sample.targetFt = fr.panel.targetHeightFt;
        sample.groundSpeedKt = fr.groundSpeedKt;
        sample.headingDeg = fr.headingDeg;
        const auto command = [](const std::optional<int32_t>& c) {
            return c ? std::optional<double>(*c) : std::nullopt;
        };
        sample.rudder = command(fr.rudder);
        sample.aileron = command(fr.aileron);
        sample.elevator = command(fr.elevator);
        sample.throttle = command(fr.throttle);
        sample.engaged = fr.commanding;
        history_.add(sample);
    }
}

void LiveSession::togglePause() {
    flight_->run->setPaused(!flight_->run->paused());
    say(flight_->run->paused() ? "paused: the simulation stands still, the gauge runs on" : "running");
}

void LiveSession::restart() {
    if (!options_.scenarioPath.empty()) {
        std::string error;
        std::optional<host::Scenario> scenario = host::loadScenario(options_.scenarioPath, error);
        if (scenario) {
            scenario_ = *scenario;
            useAircraftOption();
        } else {
            say("the scenario no longer reads (" + error + "): starting over with it as last read");
        }
    }
    std::string error;
    if (!begin(error)) {
        // The module flew a moment ago; a failure now is the machine's.
        say("cannot start over: " + error);
        return;
    }
    say("started over");
}

void LiveSession::changeWind(double speedChangeKt, double directionChangeDeg) {
    host::WindSetting& wind = flight_->wind;
    wind.speedKt = std::clamp(wind.speedKt + speedChangeKt, 0.0, 60.0);
    wind.fromDeg = std::fmod(wind.fromDeg + directionChangeDeg + 360.0, 360.0);
    flight_->run->aircraft().setWind(wind);
    say(windText(wind));
}

void LiveSession::nextTurbulence() {
    host::WindSetting& wind = flight_->wind;
    size_t next = 0;
    for (size_t i = 0; i < std::size(kTurbulence); ++i) {
        if (kTurbulence[i].w20Kt == wind.turbulenceW20Kt)
            next = (i + 1) % std::size(kTurbulence);
    }
    wind.turbulenceW20Kt = kTurbulence[next].w20Kt;
    flight_->run->aircraft().setWind(wind);
    say(windText(wind));
}

void LiveSession::toggleFailure21() {
    flight_->run->setFailure21(!flight_->run->failure21());
    say(flight_->run->failure21() ? "failure 21: the panel lights failed" : "failure 21 cleared");
}

void LiveSession::toggleNight() {
    night_ = !night_;
    say(night_ ? "night lighting" : "day lighting");
}

void LiveSession::toggleAssignment() {
    const bool toStick = pilot_.assignment() == Assignment::kHelicopter;
    pilot_.assign(toStick ? Assignment::kGaugeStick : Assignment::kHelicopter);
    say(toStick ? "keys and controller: the gauge's joystick" : "keys and controller: the helicopter");
}

void LiveSession::controllerChanged(const std::string& name) {
    if (name.empty() && !controllerName_.empty()) {
        say("the game controller " + controllerName_
            + " is gone: the keyboard flies; the controls stay where they are");
    } else if (!name.empty()) {
        say("game controller: " + name);
    }
    controllerName_ = name;
    pilot_.controllerChanged();
}

void LiveSession::say(const std::string& message) {
    message_ = message;
    pending_.push_back(message);
}

std::vector<std::string> LiveSession::takeMessages() {
    std::vector<std::string> taken;
    taken.swap(pending_);
    return taken;
}

void LiveSession::draw(cairo_t* cr, double speed) {
    Status status;
    status.scenario = scenario_.name;
    status.hostTimeS = flight_->frame.hostTime;
    status.speed = speed;
    status.paused = flight_->run->paused();
    status.wind = windText(flight_->wind);
    status.failure21 = flight_->run->failure21();
    status.night = night_;
    status.assignment =
        pilot_.assignment() == Assignment::kHelicopter ? "flying the helicopter" : "on the gauge's stick";
    status.controller = controllerName_.empty() ? "none" : controllerName_;
    status.message = message_;
    drawScene(cr, layout_, flight_->renderer->surface(), flight_->situation, history_, status);
}

bool LiveSession::writePicture(const std::string& path, double speed, std::string& error) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, layout_.width, layout_.height);
    cairo_t* cr = cairo_create(surface);
    draw(cr, speed);
    cairo_destroy(cr);
    return plot::writeAndDestroyPng(surface, path, error);
}

void LiveSession::printSummary(std::ostream& out) {
    Flight& f = *flight_;
    if (!f.reported) {
        if (!scenarioOver()) {
            char note[160];
            std::snprintf(
                note, sizeof note,
                "the pilot stopped at %.1f s of the scenario's %.1f s: what lies later was not flown",
                f.frame.hostTime, scenario_.duration);
            f.result.notes.push_back(note);
        }
        f.run->end();
        f.run->report();
        f.reported = true;
    }
    host::printSummary(out, scenario_, f.result);
}

bool LiveSession::allHeld() const {
    return flight_->reported ? flight_->result.allHeld() : true;
}

std::string LiveSession::stateLine() const {
    const host::Frame& f = flight_->frame;
    char line[320];
    std::snprintf(
        line, sizeof line,
        "state t=%.2f sim=%.2f engaged=%d power=%s guard=%s lamp=%s target=%s height=%.1f speed=%.2f "
        "heading=%.1f north=%.1f east=%.1f paused=%d failure21=%d night=%d",
        f.hostTime, f.simTime, f.commanding ? 1 : 0, optionalText(f.panel.powerOn).c_str(),
        optionalText(f.panel.guardOpen).c_str(), optionalText(f.panel.lampLit).c_str(),
        f.panel.targetHeightFt ? std::to_string(std::lround(*f.panel.targetHeightFt)).c_str() : "-",
        f.heightFt, f.groundSpeedKt, f.headingDeg, f.northFt, f.eastFt, f.paused ? 1 : 0, f.failure21 ? 1 : 0,
        night_ ? 1 : 0);
    return line;
}

std::vector<std::string> LiveSession::layoutLines() const {
    std::vector<std::string> lines;
    char line[200];
    const auto box = [&](const char* name, const Box& b) {
        std::snprintf(line, sizeof line, "%s %.0f %.0f %.0f %.0f", name, b.x, b.y, b.w, b.h);
        lines.emplace_back(line);
    };
    std::snprintf(line, sizeof line, "layout %d %d %g", layout_.width, layout_.height, layout_.scale);
    lines.emplace_back(line);
    box("panel", layout_.panel);
    box("situation", layout_.situation);
    // Each named area at the middle of the box the module's mouse table
    // gives it.
    const MouseRect* table = flight_->run->gaugeHost().gauge()->mouseRects;
    const std::vector<host::PlacedArea> placed = host::placedAreas(table);
    for (const host::NamedPoint& named : host::namedPoints()) {
        const MouseRect* hit = host::hitTest(table, named.point);
        const auto area = std::find_if(placed.begin(), placed.end(),
                                       [hit](const host::PlacedArea& a) { return a.record == hit; });
        if (hit == nullptr || area == placed.end())
            continue;
        const double x =
            layout_.panel.x + (static_cast<double>(area->left) + hit->width / 2.0) * layout_.scale;
        const double y =
            layout_.panel.y + (static_cast<double>(area->top) + hit->height / 2.0) * layout_.scale;
        std::snprintf(line, sizeof line, "area %s %.0f %.0f", std::string(named.name).c_str(), x, y);
        lines.emplace_back(line);
    }
    return lines;
}

std::vector<std::string> LiveSession::pictureLines() const {
    std::vector<std::string> lines;
    char line[200];
    // Each bitmap the last drawing painted, where it went in the window.
    for (const panel::ElementDrawing& d : flight_->renderer->elements()) {
        if (!d.drawn || d.bitmapShown < 0)
            continue;
        const panel::Bitmap* bitmap = flight_->bitmapSizes.find(d.bitmapShown);
        if (bitmap == nullptr)
            continue;
        std::snprintf(line, sizeof line, "bitmap %d %.0f %.0f %.0f %.0f", d.bitmapShown,
                      layout_.panel.x + d.left * layout_.scale, layout_.panel.y + d.top * layout_.scale,
                      bitmap->width * layout_.scale, bitmap->height * layout_.scale);
        lines.emplace_back(line);
    }
    const WindowPoint heli =
        groundViewFor(flight_->situation, layout_.situation).toWindow(flight_->situation.position);
    std::snprintf(line, sizeof line, "helicopter %.0f %.0f", heli.x, heli.y);
    lines.emplace_back(line);
    return lines;
}

const panel::PanelRenderer& LiveSession::renderer() const {
    return *flight_->renderer;
}

uint64_t LiveSession::callbackCalls() const {
    return flight_->run->callbackCalls();
}

const host::Frame& LiveSession::lastFrame() const {
    return flight_->frame;
}

}  // namespace window
