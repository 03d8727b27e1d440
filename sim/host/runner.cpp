// SPDX-License-Identifier: MIT
#include "sim/host/runner.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <memory>

#include "sim/host/aircraft.h"
#include "sim/host/gauge_host.h"
#include "sim/host/module_library.h"
#include "sim/host/mouse.h"
#include "sim/host/panel.h"
#include "sim/host/platform_edge.h"
#ifdef HOVERSIM_PICTURES
#include "sim/panel/run_pictures.h"
#include "sim/plot/flight_plot.h"
#endif

namespace host {

namespace {

constexpr double kFeetPerMetre = 3.28084;
constexpr double kKnotsPerFootPerSecond = 0.3047999902464003 * 1.944;
constexpr double kWindowSlack = 1e-9;  // s, so a frame at exactly `to` counts
// The band within which a captured hover's height stays (ADS-33 desired).
constexpr double kCaptureBandFt = 2.0;
constexpr const char* kGrades[] = {"desired", "adequate", "beyond"};

// The tokens the trace shows, in its column order.
struct TraceToken {
    uint32_t id;
    const char* column;
};
constexpr TraceToken kTraceTokens[] = {
    {kTokenHeading, "hdg_86"},         {kTokenHeadingDisplay, "hdg_81"},
    {kTokenVelocityNorth, "vn_554"},   {kTokenVelocityEast, "ve_555"},
    {kTokenVerticalSpeed, "vs_556"},   {kTokenYawRate, "yaw_70"},
    {kTokenRadarHeight, "ra_614"},     {kTokenOperating, "op_755"},
    {kTokenPitch, "pitch_77"},         {kTokenWindDirection, "wdir_344"},
    {kTokenWindSpeed, "wspd_343"},     {kTokenElevatorPosition, "elev_309"},
    {kTokenAileronPosition, "ail_311"},        {kTokenRudderPosition, "rud_314"},
    {kTokenThrottlePosition, "thr_128"},
};
constexpr size_t kTraceTokenCount = std::size(kTraceTokens);

// What one frame showed the host.
struct Frame {
    int64_t index = 0;
    double hostTime = 0.0;
    double simTime = 0.0;
    bool paused = false;
    bool failure21 = false;
    double tokens[kTraceTokenCount] = {};
    std::optional<int32_t> rudder, aileron, elevator, throttle;  // commands of the update
    bool pitchGuard = false;
    bool commanding = false;
    PanelReading panel;
    double heightFt = 0.0;
    double groundSpeedKt = 0.0;
    double headingDeg = 0.0;
    double pitchDeg = 0.0;
    double northFt = 0.0;
    double eastFt = 0.0;
    std::string actions;
};

bool inWindow(double t, double from, double to) {
    return t >= from - kWindowSlack && t <= to + kWindowSlack;
}

double wrapDegrees(double angle) {
    angle = std::fmod(angle, 360.0);
    if (angle > 180.0) angle -= 360.0;
    if (angle < -180.0) angle += 360.0;
    return angle;
}

// A number with `decimals` places, right-aligned in `width` characters.
std::string fixed(double value, int decimals, int width = 0) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%*.*f", width, decimals, value);
    return buffer;
}

std::string secondsText(double t) {
    return fixed(t, 2) + " s";
}

// Statistics of one phase, gathered frame by frame.
class PhaseMeter {
public:
    explicit PhaseMeter(const PhaseSetting& setting) : setting_(setting) {
        result_.name = setting.name;
        result_.from = setting.from;
        result_.hover = setting.targetFt.has_value();
    }

    void observe(const Frame& f) {
        if (!inWindow(f.hostTime, setting_.from, setting_.to)) {
            return;
        }
        if (result_.frames == 0) {
            startHeading_ = f.headingDeg;
            startNorth_ = f.northFt;
            startEast_ = f.eastFt;
        }
        ++result_.frames;
        last_ = f.hostTime;
        const std::optional<double> target = setting_.targetFt ? setting_.targetFt : f.panel.targetHeightFt;
        if (target) {
            const double error = f.heightFt - *target;
            heightSquares_ += error * error;
            ++heightFrames_;
            result_.heightMaxFt = std::max(result_.heightMaxFt, std::fabs(error));
            if (std::fabs(error) > kCaptureBandFt) {
                lastOutside_ = f.hostTime;
            }
        }
        speedSquares_ += f.groundSpeedKt * f.groundSpeedKt;
        result_.speedMaxKt = std::max(result_.speedMaxKt, f.groundSpeedKt);
        const double deviation = wrapDegrees(f.headingDeg - startHeading_);
        result_.headingChangeDeg = deviation;
        result_.headingMaxDevDeg = std::max(result_.headingMaxDevDeg, std::fabs(deviation));
        result_.positionMaxDevFt =
            std::max(result_.positionMaxDevFt, std::hypot(f.northFt - startNorth_, f.eastFt - startEast_));
        engagedFrames_ += f.commanding ? 1 : 0;
        frameStep_ = f.hostTime - previous_;
        previous_ = f.hostTime;
    }

    PhaseResult finish() {
        PhaseResult r = result_;
        r.to = last_;
        if (r.frames == 0) {
            return r;
        }
        const double n = static_cast<double>(r.frames);
        r.speedRmsKt = std::sqrt(speedSquares_ / n);
        r.engagedFraction = static_cast<double>(engagedFrames_) / n;
        r.heightKnown = heightFrames_ > 0;
        if (r.heightKnown) {
            r.heightRmsFt = std::sqrt(heightSquares_ / static_cast<double>(heightFrames_));
            if (!lastOutside_) {
                r.captureS = 0.0;
            } else if (*lastOutside_ < last_) {
                r.captureS = *lastOutside_ + frameStep_ - setting_.from;
            }
        }
        return r;
    }

private:
    PhaseSetting setting_;
    PhaseResult result_;
    double startHeading_ = 0.0, startNorth_ = 0.0, startEast_ = 0.0;
    double heightSquares_ = 0.0, speedSquares_ = 0.0;
    int64_t heightFrames_ = 0, engagedFrames_ = 0;
    std::optional<double> lastOutside_;
    double last_ = 0.0, previous_ = 0.0, frameStep_ = 0.0;
};

// One expectation, judged frame by frame.
class Judge {
public:
    explicit Judge(const Expectation& e) : e_(e) {}

    void observe(const Frame& f) {
        if (!inWindow(f.hostTime, e_.from, e_.to)) {
            return;
        }
        if (frames_ == 0) {
            startHeading_ = f.headingDeg;
            startNorth_ = f.northFt;
            startEast_ = f.eastFt;
        }
        ++frames_;
        lastTime_ = f.hostTime;
        lastCommanding_ = f.commanding;
        lastTarget_ = f.panel.targetHeightFt;
        switch (e_.check) {
        case Check::kEngaged:
            if (!f.commanding) breach(f, "not engaged");
            break;
        case Check::kNotEngaged:
            if (f.commanding) breach(f, "engaged");
            break;
        case Check::kHeightWithin: {
            const std::optional<double> target = e_.targetFt ? e_.targetFt : f.panel.targetHeightFt;
            if (!target) {
                breach(f, "the panel shows no target height");
                break;
            }
            worst(f, std::fabs(f.heightFt - *target), "ft off", e_.limit, true);
            break;
        }
        case Check::kGroundSpeedBelow:
            worst(f, f.groundSpeedKt, "kt", e_.limit, false);
            break;
        case Check::kGroundSpeedAbove:
            lowest(f, f.groundSpeedKt, "kt", e_.limit);
            break;
        case Check::kHeadingDriftBelow:
            worst(f, std::fabs(wrapDegrees(f.headingDeg - startHeading_)), "deg", e_.limit, false);
            break;
        case Check::kPositionWithin:
            worst(f, std::hypot(f.northFt - startNorth_, f.eastFt - startEast_), "ft", e_.limit, true);
            break;
        case Check::kPitchWithin:
            worst(f, std::fabs(f.pitchDeg), "deg", e_.limit, true);
            break;
        case Check::kPitchGuardFired:
            fired_ = fired_ || f.pitchGuard;
            break;
        case Check::kPitchGuardQuiet:
            if (f.pitchGuard) breach(f, "the pitch guard overrode the elevator");
            break;
        case Check::kTargetHeightIs:
        case Check::kEngagedAtEnd:
            break;
        }
    }

    ExpectationResult finish() {
        ExpectationResult r;
        r.text = e_.text;
        if (frames_ == 0) {
            r.detail = "no frame of the run lies in the window";
            return r;
        }
        switch (e_.check) {
        case Check::kPitchGuardFired:
            if (!fired_) breachText_ = "the guard never fired";
            break;
        case Check::kTargetHeightIs:
            if (!lastTarget_) {
                breachText_ = "the panel shows no target height";
            } else if (std::fabs(*lastTarget_ - e_.limit) > 0.5) {
                breachText_ = "the panel shows " + fixed(*lastTarget_, 1) + " ft";
            }
            break;
        case Check::kEngagedAtEnd:
            if (!lastCommanding_) breachText_ = "not engaged at " + secondsText(lastTime_);
            break;
        default:
            break;
        }
        r.held = breachText_.empty();
        if (!r.held) {
            r.detail = breachText_;
        } else if (worstValue_) {
            r.detail = "worst " + fixed(*worstValue_, 2) + " " + worstUnit_ + " at " +
                       secondsText(worstTime_);
        }
        return r;
    }

private:
    void breach(const Frame& f, const std::string& what) {
        if (breachText_.empty()) {
            breachText_ = what + " at " + secondsText(f.hostTime);
        }
    }

    void worst(const Frame& f, double value, const char* unit, double limit, bool inclusive) {
        if (!worstValue_ || value > *worstValue_) {
            worstValue_ = value;
            worstTime_ = f.hostTime;
            worstUnit_ = unit;
        }
        const bool ok = inclusive ? value <= limit : value < limit;
        if (!ok && breachText_.empty()) {
            breachText_ = fixed(value, 2) + " " + unit + " at " + secondsText(f.hostTime);
        }
    }

    // The smallest value must stay above the limit.
    void lowest(const Frame& f, double value, const char* unit, double limit) {
        if (!worstValue_ || value < *worstValue_) {
            worstValue_ = value;
            worstTime_ = f.hostTime;
            worstUnit_ = unit;
        }
        if (!(value > limit) && breachText_.empty()) {
            breachText_ = fixed(value, 2) + " " + unit + " at " + secondsText(f.hostTime);
        }
    }

    Expectation e_;
    int64_t frames_ = 0;
    double lastTime_ = 0.0;
    bool lastCommanding_ = false;
    std::optional<double> lastTarget_;
    double startHeading_ = 0.0, startNorth_ = 0.0, startEast_ = 0.0;
    bool fired_ = false;
    std::string breachText_;
    std::optional<double> worstValue_;
    double worstTime_ = 0.0;
    std::string worstUnit_;
};

void writeTraceHeader(std::ostream& out) {
    out << "frame,host_time,sim_time,paused,failure21";
    for (const TraceToken& t : kTraceTokens) {
        out << ',' << t.column;
    }
    out << ",cmd_rudder,cmd_aileron,cmd_elevator,cmd_throttle,pitch_guard,engaged"
           ",panel_power,panel_guard,panel_lamp,panel_screen,panel_target_ft"
           ",set_forward,set_right,set_up,set_turn"
           ",height_ft,ground_speed_kt,north_ft,east_ft,actions\n";
}

void put(std::string& line, double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, ",%.10g", value);
    line += buffer;
}

void put(std::string& line, const std::optional<int32_t>& value) {
    line += ',';
    if (value) line += std::to_string(*value);
}

void put(std::string& line, const std::optional<bool>& value) {
    line += ',';
    if (value) line += *value ? '1' : '0';
}

void put(std::string& line, const std::optional<double>& value) {
    if (value) {
        put(line, *value);
    } else {
        line += ',';
    }
}

void writeTraceRow(std::ostream& out, const Frame& f) {
    std::string line = std::to_string(f.index);
    put(line, f.hostTime);
    put(line, f.simTime);
    line += f.paused ? ",1" : ",0";
    line += f.failure21 ? ",1" : ",0";
    for (double value : f.tokens) {
        put(line, value);
    }
    put(line, f.rudder);
    put(line, f.aileron);
    put(line, f.elevator);
    put(line, f.throttle);
    line += f.pitchGuard ? ",1" : ",0";
    line += f.commanding ? ",1" : ",0";
    put(line, f.panel.powerOn);
    put(line, f.panel.guardOpen);
    put(line, f.panel.lampLit);
    put(line, f.panel.screenOn);
    put(line, f.panel.targetHeightFt);
    put(line, f.panel.forwardSpeedSet);
    put(line, f.panel.rightSpeedSet);
    put(line, f.panel.upSpeedSet);
    put(line, f.panel.turnRateSet);
    put(line, f.heightFt);
    put(line, f.groundSpeedKt);
    put(line, f.northFt);
    put(line, f.eastFt);
    line += ",\"" + f.actions + "\"\n";
    out << line;
}

// The commands of one update: the four axis events in the order sent, and
// the pitch guard's second elevator event after them.
void readCommands(const std::vector<SentEvent>& events, Frame& f) {
    int elevatorEvents = 0;
    for (const SentEvent& e : events) {
        switch (e.id) {
        case kEventRudder:
            if (!f.rudder) f.rudder = e.value;
            break;
        case kEventAileron:
            if (!f.aileron) f.aileron = e.value;
            break;
        case kEventElevator:
            if (!f.elevator) f.elevator = e.value;
            ++elevatorEvents;
            break;
        case kEventThrottle:
            if (!f.throttle) f.throttle = e.value;
            break;
        default:
            break;
        }
    }
    f.pitchGuard = elevatorEvents > 1;
    f.commanding = !events.empty();
}

int64_t frameOf(double t, int framesPerSecond) {
    return std::llround(t * framesPerSecond);
}

void addAction(std::string& actions, const std::string& action) {
    if (!actions.empty()) actions += "; ";
    actions += action;
}

#ifdef HOVERSIM_PICTURES
// One frame for the plot: body-axis speeds from the served tokens, the set
// points as the panel's markers show them, the commands of the update.
plot::FlightSample plotSample(const Frame& f, const GaugeHost& gaugeHost) {
    constexpr double kMetresPerFoot = 0.3047999902464003;
    constexpr double kDegreesPerYawUnit = 360.0 / 65536.0;
    const double psi = f.headingDeg * 3.141592653589793 / 180.0;
    const double vn = gaugeHost.token(kTokenVelocityNorth) * kMetresPerFoot;
    const double ve = gaugeHost.token(kTokenVelocityEast) * kMetresPerFoot;
    const auto command = [](const std::optional<int32_t>& c) {
        return c ? std::optional<double>(*c) : std::nullopt;
    };
    plot::FlightSample s;
    s.timeS = f.hostTime;
    s.heightFt = f.heightFt;
    s.targetFt = f.panel.targetHeightFt;
    s.forwardMs = vn * std::cos(psi) + ve * std::sin(psi);
    s.rightMs = ve * std::cos(psi) - vn * std::sin(psi);
    s.upMs = gaugeHost.token(kTokenVerticalSpeed) * kMetresPerFoot;
    s.yawRateDegS = gaugeHost.token(kTokenYawRate) * kDegreesPerYawUnit;
    s.forwardSetMs = f.panel.forwardSpeedSet;
    s.rightSetMs = f.panel.rightSpeedSet;
    s.upSetMs = f.panel.upSpeedSet;
    s.turnSetDegS = f.panel.turnRateSet;
    s.elevator = command(f.elevator);
    s.aileron = command(f.aileron);
    s.rudder = command(f.rudder);
    s.collective = command(f.throttle);
    s.engaged = f.commanding;
    s.powerOn = f.panel.powerOn;
    s.pitchGuard = f.pitchGuard;
    return s;
}
#endif

}  // namespace

bool RunResult::allHeld() const {
    return flown && std::all_of(expectations.begin(), expectations.end(),
                                [](const ExpectationResult& e) { return e.held; });
}

int gradeHeight(double maxFt) {
    return maxFt <= 2.0 ? 0 : maxFt <= 4.0 ? 1 : 2;
}

int gradePosition(double maxFt) {
    return maxFt <= 3.0 ? 0 : maxFt <= 6.0 ? 1 : 2;
}

int gradeHeading(double maxDeg) {
    return maxDeg <= 5.0 ? 0 : maxDeg <= 10.0 ? 1 : 2;
}

RunResult runScenario(const Scenario& scenario, const RunOptions& options) {
    RunResult result;
    if (scenario.usesStick() && !stickAvailable()) {
        result.skipped = true;
        result.error = "the scenario moves the pilot's stick, which this build cannot drive";
        return result;
    }

    Aircraft aircraft;
    if (!aircraft.load(scenario, result.error)) {
        return result;
    }
    result.aircraft = aircraft.name();
    const std::string trimWarning = aircraft.setUp(scenario);
    if (!trimWarning.empty()) {
        result.notes.push_back(trimWarning);
    }

    ModuleLibrary library;
    const std::string path = options.modulePath.empty() ? ModuleLibrary::besideProgram() : options.modulePath;
    if (!library.open(path)) {
        result.error = "cannot load the module " + path + ": " + library.error();
        return result;
    }
    GaugeHost gaugeHost;
    if (!gaugeHost.attach(library.linkage(), library.imports(), scenario.parameters, result.error)) {
        return result;
    }
    if (library.linkage()->init != nullptr) {
        library.linkage()->init();
    }

    // The pilot's controls stand at the trim, or where the scenario puts them.
    ControlPositions controls = aircraft.trimControls();
    const StartState& start = scenario.start;
    controls.elevator = start.elevator.value_or(controls.elevator);
    controls.aileron = start.aileron.value_or(controls.aileron);
    controls.rudder = start.rudder.value_or(controls.rudder);
    controls.throttle = start.throttle.value_or(controls.throttle);
    gaugeHost.controls() = controls;
    aircraft.setControls(controls);

    showMainWindow();
    setUpJoystick(scenario.usesStick());
    if (scenario.serviceOrder == ServiceOrder::kInstallThenConnect) {
        gaugeHost.preInstall(library.instanceHandle());
        gaugeHost.connectToWindow();
    } else {
        gaugeHost.connectToWindow();
        gaugeHost.preInstall(library.instanceHandle());
    }

    Mouse mouse(gaugeHost.gauge()->mouseRects);
    Panel panel(gaugeHost.gauge());
#ifdef HOVERSIM_PICTURES
    panel::RunPictures pictures;
    panel::PictureRequest pictureRequest;
    pictureRequest.times = options.panelTimes;
    pictureRequest.every = options.panelEvery;
    pictureRequest.prefix = options.panelPrefix;
    pictureRequest.bitmaps = options.bitmapDirectory;
    pictureRequest.scale = options.panelScale;
    std::string pictureError;
    if (!pictures.start(gaugeHost.gauge(), path, pictureRequest, pictureError)) {
        result.notes.push_back("no panel pictures: " + pictureError);
    }
    plot::FlightPlot flightPlot(scenario.name + (scenario.description.empty() ? "" : ": " + scenario.description));
#endif
    std::vector<PhaseMeter> phases(scenario.phases.begin(), scenario.phases.end());
    std::vector<Judge> judges(scenario.expectations.begin(), scenario.expectations.end());
    if (options.trace != nullptr) {
        writeTraceHeader(*options.trace);
    }

    const int fps = scenario.frameRate;
    const double dt = 1.0 / fps;
    const int64_t frameCount = frameOf(scenario.duration, fps) + 1;
    size_t nextEvent = 0;
    int64_t releaseFrame = -1;  // the frame a held button comes up, or none
    StickInput stick;
    bool paused = false;
    bool failure21 = false;
    double simTime = 0.0;
    double northFt = 0.0;
    double eastFt = 0.0;
    uint64_t lampMismatches = 0;
    const auto wallStart = std::chrono::steady_clock::now();

    for (int64_t k = 0; k < frameCount; ++k) {
        Frame f;
        f.index = k;
        f.hostTime = static_cast<double>(k) * dt;
        gaugeHost.clearEvents();

        // Between frames: a held button comes up or repeats, the scenario acts.
        if (releaseFrame >= 0 && k >= releaseFrame) {
            mouse.release();
            releaseFrame = -1;
            addAction(f.actions, "release");
        }
        mouse.frame(fps);
        while (nextEvent < scenario.events.size() && frameOf(scenario.events[nextEvent].at, fps) <= k) {
            const TimedEvent& e = scenario.events[nextEvent++];
            if (e.pause) {
                paused = *e.pause;
                addAction(f.actions, paused ? "pause" : "resume");
            }
            if (e.failure21) {
                failure21 = *e.failure21;
                addAction(f.actions, failure21 ? "failure 21 on" : "failure 21 off");
            }
            if (e.rotorPercent) {
                aircraft.setRotorPercent(*e.rotorPercent);
                addAction(f.actions, "rotor " + fixed(*e.rotorPercent, 0) + "%");
            }
            if (e.enginePower) {
                aircraft.setEnginePower(*e.enginePower);
                addAction(f.actions, "engine power " + fixed(*e.enginePower, 2));
            }
            if (e.controls) {
                ControlPositions& c = gaugeHost.controls();
                c.elevator = e.controls->elevator.value_or(c.elevator);
                c.aileron = e.controls->aileron.value_or(c.aileron);
                c.rudder = e.controls->rudder.value_or(c.rudder);
                c.throttle = e.controls->throttle.value_or(c.throttle);
                addAction(f.actions, "pilot controls");
            }
            if (e.stick) {
                stick.forward = e.stick->forward.value_or(stick.forward);
                stick.right = e.stick->right.value_or(stick.right);
                stick.twist = e.stick->twist.value_or(stick.twist);
                stick.z = e.stick->z.value_or(stick.z);
                stick.heightUp = e.stick->heightUp.value_or(stick.heightUp);
                stick.heightDown = e.stick->heightDown.value_or(stick.heightDown);
                moveStick(stick);
                addAction(f.actions, "stick");
            }
            if (e.click) {
                const bool hit = mouse.click(*pointOf(*e.click));
                addAction(f.actions, "click " + *e.click + (hit ? "" : " (no area)"));
            }
            if (e.hold) {
                const bool hit = mouse.press(*pointOf(*e.hold));
                releaseFrame = frameOf(e.at + e.holdFor, fps);
                addAction(f.actions, "hold " + *e.hold + (hit ? "" : " (no area)"));
            }
        }

        // The frame: the flight tokens, then the gauge's update.
        aircraft.serve(gaugeHost);
        gaugeHost.setToken(kTokenSimulationTime, simTime);
        for (size_t i = 0; i < kTraceTokenCount; ++i) {
            f.tokens[i] = gaugeHost.token(kTraceTokens[i].id);
        }
        gaugeHost.preUpdate();
        readCommands(gaugeHost.events(), f);
        aircraft.setControls(gaugeHost.controls());

        // Then the host draws the panel.
        f.panel = panel.draw([&gaugeHost](uint32_t token) { return gaugeHost.token(token); }, failure21);
        if (f.panel.lampLit && *f.panel.lampLit != f.commanding) {
            ++lampMismatches;
        }

        f.simTime = simTime;
        f.paused = paused;
        f.failure21 = failure21;
        const double vn = gaugeHost.token(kTokenVelocityNorth);
        const double ve = gaugeHost.token(kTokenVelocityEast);
        f.heightFt = gaugeHost.token(kTokenRadarHeight) * kFeetPerMetre;
        f.groundSpeedKt = std::hypot(vn, ve) * kKnotsPerFootPerSecond;
        f.headingDeg = gaugeHost.token(kTokenHeading);
        f.pitchDeg = gaugeHost.token(kTokenPitch);
        f.northFt = northFt;
        f.eastFt = eastFt;
#ifdef HOVERSIM_PICTURES
        pictures.frame(f.hostTime, dt, k + 1 == frameCount,
                       [&gaugeHost](uint32_t token) { return gaugeHost.token(token); }, failure21);
        if (!options.plotPath.empty()) {
            flightPlot.add(plotSample(f, gaugeHost));
        }
#endif
        for (PhaseMeter& meter : phases) meter.observe(f);
        for (Judge& judge : judges) judge.observe(f);
        if (options.trace != nullptr) {
            writeTraceRow(*options.trace, f);
        }

        if (!paused) {
            aircraft.advance(dt);
            simTime += dt;
            northFt += vn * dt;
            eastFt += ve * dt;
        }
    }
    result.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();

    gaugeHost.preKill();
    if (library.linkage()->deinit != nullptr) {
        library.linkage()->deinit();
    }
    hideMainWindow();

    result.flown = true;
    result.frames = frameCount;
    for (PhaseMeter& meter : phases) result.phases.push_back(meter.finish());
    for (Judge& judge : judges) result.expectations.push_back(judge.finish());
    for (const std::string& fault : panel.faults()) result.notes.push_back("panel: " + fault);
    if (lampMismatches > 0) {
        result.notes.push_back("the HVR lamp disagreed with the axis commands in " +
                               std::to_string(lampMismatches) + " frames");
    }
    for (uint32_t token : gaugeHost.unknownTokens()) {
        result.notes.push_back("the module read token " + std::to_string(token) + ", which the host does not serve");
    }
    for (uint32_t event : gaugeHost.unknownEvents()) {
        result.notes.push_back("the module sent event " + std::to_string(event) + ", which the host does not know");
    }
    if (!panel.hasElements()) {
        result.notes.push_back("the gauge has no element tree: the panel shows nothing");
    }
#ifdef HOVERSIM_PICTURES
    for (const std::string& problem : pictures.problems()) {
        result.notes.push_back("panel picture: " + problem);
    }
    if (!options.plotPath.empty()) {
        const double end = static_cast<double>(frameCount - 1) * dt;
        for (const PhaseSetting& phase : scenario.phases) {
            flightPlot.addPhase({phase.name, phase.from, std::min(phase.to, end)});
        }
        std::string plotError;
        if (!flightPlot.writePng(options.plotPath, plotError)) {
            result.notes.push_back("no plot: " + plotError);
        }
    }
#endif
    return result;
}

void printSummary(std::ostream& out, const Scenario& scenario, const RunResult& result) {
    out << scenario.name;
    if (!scenario.description.empty()) out << ": " << scenario.description;
    out << "\n";
    if (!result.flown) {
        out << (result.skipped ? "skipped: " : "not flown: ") << result.error << "\n";
        return;
    }
    char line[256];
    std::snprintf(line, sizeof line, "%" PRId64 " frames at %d per second, %.1f s, %s\n\n", result.frames,
                  scenario.frameRate, scenario.duration, result.aircraft.c_str());
    out << line;
    out << "phase                 from     to |  height error ft |  ground speed kt | heading deg  | pos ft | capture | engaged\n"
           "                         s      s |    rms      max  |    rms      max  | change   max |   max  |    s    |\n";
    for (const PhaseResult& p : result.phases) {
        std::string capture = p.captureS ? fixed(*p.captureS, 1, 7) : std::string("      -");
        std::string height = p.heightKnown ? fixed(p.heightRmsFt, 2, 7) + "  " + fixed(p.heightMaxFt, 2, 7)
                                           : std::string("      -        -");
        std::snprintf(line, sizeof line, "%-18.18s %7.1f %6.1f | %s | %7.2f  %7.2f | %6.1f %5.1f | %6.1f | %s | %5.0f%%\n",
                      p.name.c_str(), p.from, p.to, height.c_str(), p.speedRmsKt, p.speedMaxKt,
                      p.headingChangeDeg, p.headingMaxDevDeg, p.positionMaxDevFt, capture.c_str(),
                      p.engagedFraction * 100.0);
        out << line;
    }
    out << "\nADS-33 hover, phases with a target (desired / adequate: height 2 / 4 ft, position 3 / 6 ft, heading 5 / 10 deg)\n";
    for (const PhaseResult& p : result.phases) {
        if (!p.hover) {
            continue;
        }
        std::snprintf(line, sizeof line, "  %-18.18s height %-8s position %-8s heading %-8s%s\n", p.name.c_str(),
                      p.heightKnown ? kGrades[gradeHeight(p.heightMaxFt)] : "-",
                      kGrades[gradePosition(p.positionMaxDevFt)], kGrades[gradeHeading(p.headingMaxDevDeg)],
                      p.to - p.from < 30.0 ? "  (shorter than 30 s)" : "");
        out << line;
    }
    if (!result.expectations.empty()) {
        out << "\nexpectations\n";
        for (const ExpectationResult& e : result.expectations) {
            out << "  [" << (e.held ? "held" : "FAIL") << "] " << e.text;
            if (!e.detail.empty()) out << "  (" << e.detail << ")";
            out << "\n";
        }
    }
    for (const std::string& note : result.notes) {
        out << "note: " << note << "\n";
    }
    out << (result.allHeld() ? "result: every expectation held\n" : "result: FAILED\n");
}

}  // namespace host
