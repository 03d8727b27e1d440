// SPDX-License-Identifier: MIT
//
// One run of a scenario, frame by frame: the module loaded and attached,
// the flight model, the panel and the mouse, the scenario's progress, and
// where each frame goes. hoversim flies every frame at once; a live host
// steps it at its own pace and acts as the pilot between frames.
#ifndef HOVER_SIM_SCENARIO_SCENARIO_RUN_H
#define HOVER_SIM_SCENARIO_SCENARIO_RUN_H

#include <array>
#include <cstdint>
#include <deque>
#include <random>
#include <optional>
#include <string>
#include <vector>

#include "sim/scenario/aircraft.h"
#include "sim/scenario/frame.h"
#include "sim/host/gauge_host.h"
#include "sim/host/gauge_session.h"
#include "sim/scenario/judges.h"
#include "sim/scenario/pilot.h"
#include "sim/host/panel.h"
#include "sim/host/platform_edge.h"
#include "sim/scenario/runner.h"
#include "sim/scenario/scenario.h"
#ifdef HOVERSIM_PICTURES
#include "sim/panel/run_pictures.h"
#include "sim/plot/flight_plot.h"
#endif

namespace host {

class ScenarioRun {
public:
    // The scenario and the options must outlive the run.
    ScenarioRun(const Scenario& scenario, const RunOptions& options, RunResult& result);
    ~ScenarioRun() { end(); }
    ScenarioRun(const ScenarioRun&) = delete;
    ScenarioRun& operator=(const ScenarioRun&) = delete;

    // Loads the module and makes the host's first service calls.
    bool start();
    // Every frame of the scenario, then the host's last service calls.
    void fly();
    // The statistics, the judgements and what the host noticed.
    void report();

    // One host frame: the scenario's and the pilot's actions, the gauge's
    // update, the panel drawn, the frame recorded, the flight advanced.
    // Frames past the scenario's duration are flown but not judged.
    const Frame& step();
    // The host's last service calls; the run is then over.
    void end();
    int64_t framesFlown() const { return framesFlown_; }
    int64_t frameCount() const { return frameCount_; }
    int framesPerSecond() const { return fps_; }
    const std::string& modulePath() const { return session_.modulePath(); }
    // The panel's walk of the last frame: what a renderer paints from.
    const PanelFrame& panelFrame() { return session_.panel().frame(); }
    // The module's value callbacks the panel walks have called so far.
    uint64_t callbackCalls() { return session_.panel().callbackCalls(); }

    // The pilot between frames: a mouse button pressed on the gauge at a
    // point (applied with the next frame's actions, repeating for areas
    // that repeat, as a scenario's held button) and let go, the stick, the
    // controls, the simulator's pause and failure 21.
    void press(PixelPoint point);
    void release();
    void moveStick(const StickInput& stick);
    ControlPositions& controls() { return session_.host().controls(); }
    Aircraft& aircraft() { return aircraft_; }
    GaugeHost& gaugeHost() { return session_.host(); }
    bool paused() const { return paused_; }
    void setPaused(bool paused) { paused_ = paused; }
    bool failure21() const { return failure21_; }
    void setFailure21(bool active) { failure21_ = active; }

private:
    void applyEvents(int64_t k, Frame& f);
    void applyEvent(const TimedEvent& e, Frame& f);
    Frame flyFrame(int64_t k);
    void record(const Frame& f);
    void advance();

    const Scenario& scenario_;
    const RunOptions& options_;
    RunResult& result_;
    const HostLoop loop_;
    const int fps_;      // panel updates a second
    const double dt_;    // the panel's nominal period, s
    const int64_t frameCount_;  // panel updates within the scenario's duration

    Aircraft aircraft_;
    GaugeSession session_;
    // The gauge number the logger has on the panel, or 0 for none.
    int loggerGauge_ = 0;
    std::optional<Pilot> pilot_;
#ifdef HOVERSIM_PICTURES
    panel::RunPictures pictures_;
    std::optional<plot::FlightPlot> flightPlot_;
    HeadingTurns plotHeading_;
    double plotHeadingStart_ = 0.0;
#endif
    bool wasCommanding_ = false;
    std::vector<PhaseMeter> meters_;
    std::vector<Judge> judges_;

    int64_t framesFlown_ = 0;
    Frame last_;
    bool started_ = false;
    bool ended_ = false;
    size_t nextEvent_ = 0;
    int64_t releaseFrame_ = -1;  // the frame a held button comes up, or none
    std::optional<PixelPoint> pilotPress_;
    bool pilotRelease_ = false;
    StickInput stick_;
    bool paused_ = false;
    bool failure21_ = false;
    double simTime_ = 0.0;
    double northFt_ = 0.0;
    double eastFt_ = 0.0;
    uint64_t lampMismatches_ = 0;
    // The host's event queue. With whole panel frames of delay: the controls
    // as they stood after each of the last delayUpdates updates, oldest
    // first. Otherwise: the controls of each update with the flight model's
    // time at which they move, oldest first. Neither felt yet.
    std::deque<ControlPositions> delayedControls_;
    struct TimedControls {
        double atS;
        ControlPositions controls;
    };
    std::deque<TimedControls> timedControls_;
    // Visual frame lengths vary by up to the scenario's jitter, from its seed.
    std::mt19937_64 jitterSource_;
    double frameLength();
    // The host's clock time of panel update k, s, and the update nearest
    // to a time (the later at a tie).
    double updateTime(int64_t k) const;
    int64_t updateAt(double t) const;
    void moveControls(const ControlPositions& controls, int64_t visualFrame, double simTimeS);
    void note(LoopEvent::Kind kind, int64_t visualFrame, double simTimeS);
};

}  // namespace host

#endif
