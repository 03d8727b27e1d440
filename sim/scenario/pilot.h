// SPDX-License-Identifier: MIT
//
// A pilot who flies the helicopter by hand with the hold off and keeps it in
// a hover over the point where the flight began: the kind of flying a panel
// designer does while the logging gauge records the helicopter's answers to
// its designed inputs.
//
// It is a model of a pilot, simple and stabilising, not a claim about how
// any pilot flies. Like a pilot he sees only what the host shows (its
// tokens: attitude, heading, speeds over the ground, height), and sees it a
// reaction time late; he judges attitude rates from how the attitude moves
// and where he is from how fast he has been drifting. He acts at panel
// updates, moving the controls by axis events as the gauges do, so the
// host's command latency applies to his hand as to theirs:
//   cyclic  from attitude, attitude rate and ground speed (the attitude he
//           wants leans against the drift, and the drift he wants leads
//           back to the start point),
//   pedals  from heading and heading rate,
//   collective from vertical speed and height.
// He flies every axis all the time, the one a logging gauge is exciting
// too, as such flights are flown: he moves each control from where it
// stands by the change of his correction since his last move (not to a
// position of his own), so an input the gauge adds on top of his hand stays
// on top of it. Each move is bounded, below the gauge's dead band, so his
// small corrections are never taken for his taking the control.
#ifndef HOVER_SIM_SCENARIO_PILOT_H
#define HOVER_SIM_SCENARIO_PILOT_H

#include <cstdint>
#include <deque>

#include "sim/host/gauge_host.h"

namespace host {

// The pilot's gains, in host units: axis counts, degrees, knots, feet.
struct PilotSettings {
    bool holdsHover = false;
    double reactionS = 0.2;  // from seeing to moving the hand
    // Cyclic: counts per degree of attitude error, per degree a second of
    // attitude rate; degrees of attitude wanted per knot of drift error;
    // knots of drift wanted per foot away from the start point.
    double attitudeCountsPerDeg = 400.0;
    double attitudeRateCountsPerDegS = 150.0;
    double speedDegPerKt = 1.5;
    double positionKtPerFt = 0.1;
    // Pedals: counts per degree of heading error, per degree a second of
    // yaw rate.
    double headingCountsPerDeg = 100.0;
    double yawRateCountsPerDegS = 100.0;
    // Collective: counts per ft/s of vertical speed error; ft/s of climb
    // wanted per foot of height error.
    double climbCountsPerFtS = 300.0;
    double heightFtSPerFt = 0.3;
    // The most he moves any control in one update, counts.
    double maxMoveCounts = 250.0;
};

class Pilot {
public:
    explicit Pilot(const PilotSettings& settings) : settings_(settings) {}

    // One panel update: what he sees now (the host's tokens); the hand
    // moves through gaugeHost.pilotEvent.
    void act(GaugeHost& gaugeHost);

    // The positions his hand last put each control at (for tests).
    const ControlPositions& hand() const { return hand_; }

private:
    struct Seen {
        double timeS;
        double headingDeg;
        double pitchDownDeg;
        double bankLeftDeg;
        double northFt;  // from the start point, by the drift he has seen
        double eastFt;
        double velocityNorthFtS;
        double velocityEastFtS;
        double verticalSpeedFtS;
        double yawRateDegS;
        double heightFt;
    };

    const Seen& perceived(double now) const;

    PilotSettings settings_;
    bool started_ = false;
    // His correction on each axis as far as his hand has made it, counts
    // from where the controls stood when he took over.
    ControlPositions applied_;
    ControlPositions hand_;
    double startHeadingDeg_ = 0.0;
    double startPitchDownDeg_ = 0.0;
    double startBankLeftDeg_ = 0.0;
    double startHeightFt_ = 0.0;
    std::deque<Seen> seen_;  // oldest first, back to a reaction time ago
};

}  // namespace host

#endif
