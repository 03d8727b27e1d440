// SPDX-License-Identifier: MIT
#include "sim/scenario/runner.h"
#include "sim/scenario/scenario_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <filesystem>
#include <random>
#include <string_view>

#include "sim/scenario/aircraft.h"
#include "sim/host/gauge_session.h"
#include "sim/host/platform_edge.h"
#include "sim/scenario/trace.h"
#include "sim/units.h"
#ifdef HOVERSIM_PICTURES
#include "sim/panel/run_pictures.h"
#include "sim/plot/flight_plot.h"
#endif

namespace host {

namespace {

// The logging gauge's module beside the program: hoverlog.so / hoverlog.gau.
constexpr const char* kLoggerModuleStem = "hoverlog";

// Control changes due within this much of a frame's start act from it.
constexpr double kTimeSlackS = 1e-9;

void addAction(std::string& actions, const std::string& action) {
    if (!actions.empty())
        actions += "; ";
    actions += action;
}

// The commands of one update: the four axis events in the order sent, and
// the pitch guard's second elevator event after them.
void readCommands(const std::vector<SentEvent>& events, Frame& f) {
    int elevatorEvents = 0;
    for (const SentEvent& e : events) {
        switch (e.id) {
        case kEventRudder:
            if (!f.rudder)
                f.rudder = e.value;
            break;
        case kEventAileron:
            if (!f.aileron)
                f.aileron = e.value;
            break;
        case kEventElevator:
            if (!f.elevator)
                f.elevator = e.value;
            ++elevatorEvents;
            break;
        case kEventThrottle:
            if (!f.throttle)
                f.throttle = e.value;
            break;
        default:
            break;
        }
    }
    f.pitchGuard = elevatorEvents > 1;
    f.commanding = !events.empty();
}

#ifdef HOVERSIM_PICTURES
// One frame for the plot: body-axis speeds from the served tokens, the set
// points as the panel's markers show them, the commands of the update.
plot::FlightSample plotSample(const Frame& f, const GaugeHost& gaugeHost, double headingTurnedDeg,
                              double bankRightDeg) {
    constexpr double kDegreesPerYawUnit = 360.0 / 65536.0;
    const double psi = f.headingDeg * 3.141592653589793 / 180.0;
    const double vn = gaugeHost.token(kTokenVelocityNorth) * units::kKnotsPerFootPerSecond;
    const double ve = gaugeHost.token(kTokenVelocityEast) * units::kKnotsPerFootPerSecond;
    const auto command = [](const std::optional<int32_t>& c) {
        return c ? std::optional<double>(*c) : std::nullopt;
    };
    const auto knots = [](const std::optional<double>& metresPerSecond) {
        return metresPerSecond ? std::optional<double>(*metresPerSecond * units::kKnotsPerMetrePerSecond)
                               : std::nullopt;
    };
    plot::FlightSample s;
    s.timeS = f.hostTime;
    s.heightFt = f.heightFt;
    s.targetFt = f.panel.targetHeightFt;
    s.forwardKt = vn * std::cos(psi) + ve * std::sin(psi);
    s.rightKt = ve * std::cos(psi) - vn * std::sin(psi);
    s.upKt = gaugeHost.token(kTokenVerticalSpeed) * units::kKnotsPerFootPerSecond;
    s.yawRateDegS = gaugeHost.token(kTokenYawRate) * kDegreesPerYawUnit;
    s.forwardSetKt = knots(f.panel.forwardSpeedSet);
    s.rightSetKt = knots(f.panel.rightSpeedSet);
    s.upSetKt = knots(f.panel.upSpeedSet);
    s.turnSetDegS = f.panel.turnRateSet;
    s.headingDeg = headingTurnedDeg;
    s.pitchUpDeg = -f.pitchDeg;
    s.bankRightDeg = bankRightDeg;
    s.northFt = f.northFt;
    s.eastFt = f.eastFt;
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

ScenarioRun::ScenarioRun(const Scenario& scenario, const RunOptions& options, RunResult& result)
    : scenario_(scenario),
      options_(options),
      result_(result),
      loop_(scenario.loop()),
      fps_(loop_.panelRate),
      dt_(1.0 / loop_.panelRate),
      // The updates on the visual frames up to the one at the duration.
      frameCount_(std::llround(scenario.duration * loop_.visualRate) * loop_.panelRate / loop_.visualRate + 1),
      meters_(scenario.phases.begin(), scenario.phases.end()),
      judges_(scenario.expectations.begin(), scenario.expectations.end()) {}

bool ScenarioRun::start() {
    if (!aircraft_.load(scenario_, result_.error)) {
        return false;
    }
    result_.aircraft = aircraft_.name();
    const std::string trimWarning = aircraft_.setUp(scenario_);
    if (!trimWarning.empty()) {
        result_.notes.push_back(trimWarning);
    }

    // The pilot's controls stand at the trim, or where the scenario puts them.
    SessionSetup setup;
    setup.modulePath = options_.modulePath;
    setup.parameters = scenario_.parameters;
    setup.order = scenario_.serviceOrder;
    setup.withJoystick = scenario_.usesStick() || options_.stickAttached;
    setup.controls = aircraft_.trimControls();
    const StartState& start = scenario_.start;
    setup.controls.elevator = start.elevator.value_or(setup.controls.elevator);
    setup.controls.aileron = start.aileron.value_or(setup.controls.aileron);
    setup.controls.rudder = start.rudder.value_or(setup.controls.rudder);
    setup.controls.throttle = start.throttle.value_or(setup.controls.throttle);
    if (scenario_.logger) {
        // The logger stands on the panel after the hover gauge.
        PanelGauge logger;
        logger.modulePath = options_.loggerModulePath.empty() ? ModuleLibrary::besideProgram(kLoggerModuleStem)
                                                              : options_.loggerModulePath;
        logger.parameters = scenario_.logger->parameters;
        if (!options_.logFolder.empty()) {
            logger.parameters += (logger.parameters.empty() ? "folder=" : " folder=") + options_.logFolder;
        }
        setup.moreGauges.push_back(logger);
        loggerGauge_ = 1;
    }
    if (scenario_.pilot.holdsHover) {
        pilot_.emplace(scenario_.pilot);
    }
    aircraft_.setControls(setup.controls);
    delayedControls_.assign(static_cast<size_t>(std::max(loop_.delayUpdates, 0)), setup.controls);
    jitterSource_.seed(scenario_.frameJitterSeed);
    if (!session_.open(setup, result_.error)) {
        return false;
    }
    started_ = true;

#ifdef HOVERSIM_PICTURES
    panel::PictureRequest request;
    request.times = options_.panelTimes;
    request.every = options_.panelEvery;
    request.prefix = options_.panelPrefix;
    request.bitmaps = options_.bitmapDirectory;
    request.scale = options_.panelScale;
    std::string pictureError;
    if (!pictures_.start(session_.host().gauge(), session_.modulePath(), request, pictureError)) {
        result_.notes.push_back("no panel pictures: " + pictureError);
    }
    flightPlot_.emplace(scenario_.name + (scenario_.description.empty() ? "" : ": " + scenario_.description));
#endif
    return true;
}

void ScenarioRun::fly() {
    if (options_.trace != nullptr) {
        writeTraceHeader(*options_.trace);
    }
    const auto wallStart = std::chrono::steady_clock::now();
    while (framesFlown_ < frameCount_) {
        step();
    }
    result_.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    end();
}

const Frame& ScenarioRun::step() {
    session_.host().clearEvents();
    last_ = flyFrame(framesFlown_);
    // Frames past the scenario's end are flown but not judged.
    if (framesFlown_ < frameCount_) {
        record(last_);
    }
    advance();
    ++framesFlown_;
    return last_;
}

void ScenarioRun::end() {
    if (!started_ || ended_) {
        return;
    }
    ended_ = true;
    session_.close();
    result_.flown = true;
    result_.frames = std::min(framesFlown_, frameCount_);
}

void ScenarioRun::press(PixelPoint point) {
    pilotPress_ = point;
}

void ScenarioRun::release() {
    pilotRelease_ = true;
}

void ScenarioRun::moveStick(const StickInput& stick) {
    stick_ = stick;
    host::moveStick(stick_);
}

// Between frames: a held button comes up or repeats, the scenario acts.
void ScenarioRun::applyEvents(int64_t k, Frame& f) {
    if (releaseFrame_ >= 0 && k >= releaseFrame_) {
        session_.mouse().release();
        releaseFrame_ = -1;
        addAction(f.actions, "release");
    }
    // The pilot lets go of the mouse between frames, as a scenario's held
    // button comes up: before the held area's repeats of this frame.
    if (pilotRelease_) {
        session_.mouse().release();
        pilotRelease_ = false;
        addAction(f.actions, "pilot release");
    }
    session_.mouse().frame(fps_);
    while (nextEvent_ < scenario_.events.size() && updateAt(scenario_.events[nextEvent_].at) <= k) {
        applyEvent(scenario_.events[nextEvent_++], f);
    }
    // The pilot presses a button as a scenario's held button goes down.
    if (pilotPress_) {
        const bool hit = session_.mouse().press(*pilotPress_);
        addAction(f.actions, "pilot press " + std::to_string(pilotPress_->x) + ","
                                 + std::to_string(pilotPress_->y) + (hit ? "" : " (no area)"));
        pilotPress_.reset();
    }
}

void ScenarioRun::applyEvent(const TimedEvent& e, Frame& f) {
    if (e.pause) {
        paused_ = *e.pause;
        addAction(f.actions, paused_ ? "pause" : "resume");
    }
    if (e.failure21) {
        failure21_ = *e.failure21;
        addAction(f.actions, failure21_ ? "failure 21 on" : "failure 21 off");
    }
    // A plant file's hover model has no rotor speed or engine: said once.
    const bool rotorHonoured = !e.rotorPercent || aircraft_.setRotorPercent(*e.rotorPercent);
    const bool engineHonoured = !e.enginePower || aircraft_.setEnginePower(*e.enginePower);
    if (!rotorHonoured || !engineHonoured) {
        const std::string ignored =
            "the plant flown has no rotor speed or engine: its rotor and engine events change nothing";
        if (std::find(result_.notes.begin(), result_.notes.end(), ignored) == result_.notes.end()) {
            result_.notes.push_back(ignored);
        }
    }
    if (e.rotorPercent) {
        addAction(f.actions, "rotor " + fixed(*e.rotorPercent, 0) + "%");
    }
    if (e.enginePower) {
        addAction(f.actions, "engine power " + fixed(*e.enginePower, 2));
    }
    if (e.controls) {
        ControlPositions& c = session_.host().controls();
        c.elevator = e.controls->elevator.value_or(c.elevator);
        c.aileron = e.controls->aileron.value_or(c.aileron);
        c.rudder = e.controls->rudder.value_or(c.rudder);
        c.throttle = e.controls->throttle.value_or(c.throttle);
        addAction(f.actions, "pilot controls");
    }
    if (e.stick) {
        stick_.forward = e.stick->forward.value_or(stick_.forward);
        stick_.right = e.stick->right.value_or(stick_.right);
        stick_.twist = e.stick->twist.value_or(stick_.twist);
        stick_.z = e.stick->z.value_or(stick_.z);
        stick_.heightUp = e.stick->heightUp.value_or(stick_.heightUp);
        stick_.heightDown = e.stick->heightDown.value_or(stick_.heightDown);
        host::moveStick(stick_);
        addAction(f.actions, "stick");
    }
    if (e.click && e.click->rfind(kLoggerAreaPrefix, 0) == 0) {
        const std::string area = e.click->substr(std::string_view(kLoggerAreaPrefix).size());
        const std::optional<PixelPoint> point = loggerPointOf(area);
        const bool hit = loggerGauge_ > 0 && point && session_.clickOn(loggerGauge_, *point);
        addAction(f.actions, "click " + *e.click + (hit ? "" : " (no area)"));
    } else if (e.click) {
        const bool hit = session_.mouse().click(*pointOf(*e.click));
        addAction(f.actions, "click " + *e.click + (hit ? "" : " (no area)"));
    }
    if (e.hold) {
        const bool hit = session_.mouse().press(*pointOf(*e.hold));
        releaseFrame_ = updateAt(e.at + e.holdFor);
        addAction(f.actions, "hold " + *e.hold + (hit ? "" : " (no area)"));
    }
}

// One frame as the host runs it: the scenario's actions, the flight tokens,
// the gauge's update, then the panel drawn.
Frame ScenarioRun::flyFrame(int64_t k) {
    Frame f;
    f.index = k;
    f.hostTime = updateTime(k);
    applyEvents(k, f);

    aircraft_.serve(session_.host());
    session_.host().setToken(kTokenSimulationTime, simTime_);
    for (size_t i = 0; i < kTraceTokenCount; ++i) {
        f.tokens[i] = session_.host().token(kTraceTokens[i].id);
    }
    const int64_t visualFrame = visualFrameOfUpdate(k, loop_.panelRate, loop_.visualRate);
    note(LoopEvent::Kind::kPanelUpdate, visualFrame, simTime_);
    // The pilot's hand moves in the update as the gauges' commands do, so
    // the controls of all of them reach the flight model together.
    if (pilot_) {
        pilot_->act(session_.host());
    }
    session_.update();
    readCommands(session_.host().events(), f);
    if (loop_.delayUpdates > 0) {
        // The flight model feels the controls as they stood delayUpdates
        // updates ago, from this update on.
        delayedControls_.push_back(session_.host().controls());
        moveControls(delayedControls_.front(), visualFrame, simTime_);
        delayedControls_.pop_front();
    } else {
        timedControls_.push_back({simTime_ + loop_.latencyS, session_.host().controls()});
        while (!timedControls_.empty() && timedControls_.front().atS <= simTime_ + kTimeSlackS) {
            moveControls(timedControls_.front().controls, visualFrame, simTime_);
            timedControls_.pop_front();
        }
    }

    f.panel = session_.walk(failure21_).reading;
    if (f.panel.lampLit && *f.panel.lampLit != f.commanding) {
        ++lampMismatches_;
    }

    f.simTime = simTime_;
    f.paused = paused_;
    f.failure21 = failure21_;
    const double vn = session_.host().token(kTokenVelocityNorth);
    const double ve = session_.host().token(kTokenVelocityEast);
    f.heightFt = session_.host().token(kTokenRadarHeight) * units::kFeetPerMetre;
    f.groundSpeedKt = std::hypot(vn, ve) * units::kKnotsPerFootPerSecond;
    f.headingDeg = session_.host().token(kTokenHeading);
    f.pitchDeg = session_.host().token(kTokenPitch);
    f.bankDeg = session_.host().token(kTokenBankLeft);
    f.northFt = northFt_;
    f.eastFt = eastFt_;
    return f;
}

// The frame goes to the pictures, the plot, the meters, the judges and the trace.
void ScenarioRun::record(const Frame& f) {
#ifdef HOVERSIM_PICTURES
    pictures_.frame(f.hostTime, dt_, f.index + 1 == frameCount_, session_.panel().frame());
    if (!options_.plotPath.empty()) {
        // The heading from where it started, counted through full turns.
        if (f.index == 0) {
            plotHeading_.start(f.headingDeg);
            plotHeadingStart_ = f.headingDeg;
        }
        const double heading = plotHeadingStart_ + plotHeading_.observe(f.headingDeg);
        flightPlot_->add(plotSample(f, session_.host(), heading, aircraft_.bankRightDeg()));
    }
#endif
    for (PhaseMeter& meter : meters_)
        meter.observe(f);
    for (Judge& judge : judges_)
        judge.observe(f);
    if (f.commanding && !wasCommanding_) {
        result_.notes.push_back("engaged at " + fixed(f.hostTime, 2)
                                + " s, the first commands stepped: " + engageStep(f));
    }
    wasCommanding_ = f.commanding;
    if (options_.trace != nullptr) {
        writeTraceRow(*options_.trace, f);
    }
}

// The flight moves on through the visual frames up to the next panel
// update, unless the host is paused. Each frame is one physics step; the
// controls move where the event queue lets them, inside a frame when the
// latency ends there.
void ScenarioRun::advance() {
    if (paused_) {
        return;
    }
    const double vn = session_.host().token(kTokenVelocityNorth);
    const double ve = session_.host().token(kTokenVelocityEast);
    const int64_t first = visualFrameOfUpdate(framesFlown_, loop_.panelRate, loop_.visualRate);
    const int64_t next = visualFrameOfUpdate(framesFlown_ + 1, loop_.panelRate, loop_.visualRate);
    for (int64_t j = first; j < next; ++j) {
        const double length = frameLength();
        const double end = simTime_ + length;
        double t = simTime_;
        note(LoopEvent::Kind::kPhysicsStep, j, simTime_);
        while (!timedControls_.empty() && timedControls_.front().atS < end - kTimeSlackS) {
            const double at = timedControls_.front().atS;
            if (at > t + kTimeSlackS) {
                aircraft_.advance(at - t);
                t = at;
            }
            moveControls(timedControls_.front().controls, j, t);
            timedControls_.pop_front();
        }
        aircraft_.advance(end - t);
        simTime_ = end;
        northFt_ += vn * length;
        eastFt_ += ve * length;
        // Controls due at this frame's end act from the next frame's start.
        while (!timedControls_.empty() && timedControls_.front().atS <= simTime_ + kTimeSlackS) {
            moveControls(timedControls_.front().controls, j + 1, simTime_);
            timedControls_.pop_front();
        }
    }
}

void ScenarioRun::moveControls(const ControlPositions& controls, int64_t visualFrame, double simTimeS) {
    aircraft_.setControls(controls);
    note(LoopEvent::Kind::kControlsMoved, visualFrame, simTimeS);
}

void ScenarioRun::note(LoopEvent::Kind kind, int64_t visualFrame, double simTimeS) {
    if (options_.schedule != nullptr) {
        options_.schedule->push_back({kind, visualFrame, simTimeS});
    }
}

double ScenarioRun::updateTime(int64_t k) const {
    return static_cast<double>(visualFrameOfUpdate(k, loop_.panelRate, loop_.visualRate)) / loop_.visualRate;
}

int64_t ScenarioRun::updateAt(double t) const {
    // The visual frame nearest to t, then the first update on or after it.
    const double frame = std::ceil(t * loop_.visualRate - 0.5 + kTimeSlackS);
    if (!(frame >= 1.0)) {
        return 0;
    }
    const auto j = static_cast<int64_t>(std::min(frame, 1e15));
    return (j - 1) * loop_.panelRate / loop_.visualRate + 1;
}

// 1 / the visual rate plus a uniform amount within the jitter. The deviate
// is formed from the generator's bits here, not by a library distribution,
// so every build flies the same sequence.
double ScenarioRun::frameLength() {
    const double frame = loop_.visualFrameS();
    if (scenario_.frameJitterS <= 0.0) {
        return frame;
    }
    const double unit = static_cast<double>(jitterSource_() >> 11) * 0x1.0p-53;
    return frame + (2.0 * unit - 1.0) * scenario_.frameJitterS;
}

void ScenarioRun::report() {
    for (const PhaseMeter& meter : meters_)
        result_.phases.push_back(meter.finish());
    for (const Judge& judge : judges_)
        result_.expectations.push_back(judge.finish());
    for (const std::string& fault : session_.panel().faults())
        result_.notes.push_back("panel: " + fault);
    if (loggerGauge_ > 0) {
        for (const std::string& fault : session_.faultsOf(loggerGauge_))
            result_.notes.push_back("logger panel: " + fault);
    }
    if (lampMismatches_ > 0) {
        result_.notes.push_back("the HVR lamp disagreed with the axis commands in "
                                + std::to_string(lampMismatches_) + " frames");
    }
    for (uint32_t token : session_.host().unknownTokens()) {
        result_.notes.push_back("the module read token " + std::to_string(token)
                                + ", which the host does not serve");
    }
    for (uint32_t event : session_.host().unknownEvents()) {
        result_.notes.push_back("the module sent event " + std::to_string(event)
                                + ", which the host does not know");
    }
    if (!session_.panel().hasElements()) {
        result_.notes.push_back("the gauge has no element tree: the panel shows nothing");
    }
#ifdef HOVERSIM_PICTURES
    for (const std::string& problem : pictures_.problems()) {
        result_.notes.push_back("panel picture: " + problem);
    }
    if (!options_.plotPath.empty()) {
        const double end = updateTime(frameCount_ - 1);
        for (const PhaseSetting& phase : scenario_.phases) {
            flightPlot_->addPhase({phase.name, phase.from, std::min(phase.to, end)});
        }
        std::string plotError;
        if (!flightPlot_->writePng(options_.plotPath, plotError)) {
            result_.notes.push_back("no plot: " + plotError);
        }
    }
#endif
}

RunResult runScenario(const Scenario& scenario, const RunOptions& options) {
    RunResult result;
    if (scenario.usesStick() && !stickAvailable()) {
        result.skipped = true;
        result.error = "the scenario moves the pilot's stick, which this build cannot drive";
        return result;
    }
    const std::vector<std::string> logsBefore =
        scenario.logger ? logFilesIn(options.logFolder) : std::vector<std::string>();
    {
        ScenarioRun run(scenario, options, result);
        if (!run.start()) {
            return result;
        }
        run.fly();
        run.report();
    }
    // The logger closes its file at the end of the run; what it wrote is
    // what was not there before.
    if (scenario.logger) {
        for (const std::string& name : logFilesIn(options.logFolder)) {
            if (!std::binary_search(logsBefore.begin(), logsBefore.end(), name)) {
                result.logFiles.push_back(options.logFolder.empty() ? name
                                                                     : (std::filesystem::path(options.logFolder) / name).string());
            }
        }
    }
    return result;
}

std::vector<std::string> logFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code code;
    for (std::filesystem::directory_iterator it(folder.empty() ? std::string(".") : folder, code), end;
         !code && it != end; it.increment(code)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("hoverlog-", 0) == 0 && name.size() > 4 && name.compare(name.size() - 4, 4, ".csv") == 0) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace host
