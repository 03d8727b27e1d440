// SPDX-License-Identifier: MIT
#include "sim/scenario/judges.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace host {

namespace {

constexpr double kWindowSlack = 1e-9;  // s, so a frame at exactly `to` counts
// How far the shown target height may lie from the expected one: the
// readout shows whole feet.
constexpr double kTargetShownSlackFt = 0.5;

bool inWindow(double t, double from, double to) {
    return t >= from - kWindowSlack && t <= to + kWindowSlack;
}

std::string secondsText(double t) {
    return fixed(t, 2) + " s";
}

}  // namespace

double wrapDegrees(double angle) {
    angle = std::fmod(angle, 360.0);
    if (angle > 180.0)
        angle -= 360.0;
    if (angle < -180.0)
        angle += 360.0;
    return angle;
}

std::string fixed(double value, int decimals, int width) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%*.*f", width, decimals, value);
    return buffer;
}

void HeadingTurns::start(double headingDeg) {
    last_ = headingDeg;
    turned_ = 0.0;
}

double HeadingTurns::observe(double headingDeg) {
    if (std::isfinite(headingDeg)) {
        if (std::isfinite(last_)) {
            turned_ += wrapDegrees(headingDeg - last_);
        }
        last_ = headingDeg;
    }
    return turned_;
}

PhaseMeter::PhaseMeter(const PhaseSetting& setting) : setting_(setting) {
    result_.name = setting.name;
    result_.from = setting.from;
    result_.hover = setting.targetFt.has_value();
}

void PhaseMeter::observe(const Frame& f) {
    if (!inWindow(f.hostTime, setting_.from, setting_.to)) {
        return;
    }
    if (result_.frames == 0) {
        heading_.start(f.headingDeg);
        startNorth_ = f.northFt;
        startEast_ = f.eastFt;
    }
    ++result_.frames;
    last_ = f.hostTime;
    const std::optional<double> target = setting_.targetFt ? setting_.targetFt : f.panel.targetHeightFt;
    const double deviation = heading_.observe(f.headingDeg);
    if (target) {
        const double error = f.heightFt - *target;
        heightSquares_ += error * error;
        ++heightFrames_;
        result_.heightMaxFt = std::max(result_.heightMaxFt, std::fabs(error));
        if (std::fabs(error) > kCaptureBandFt) {
            lastOutside_ = f.hostTime;
        }
        // Once captured, every frame counts, whatever the height does next.
        if (result_.hover && (!captured_.empty() || std::fabs(error) <= kCaptureBandFt)) {
            captured_.push_back({f.hostTime, std::fabs(error), f.northFt, f.eastFt, deviation});
        }
    }
    speedSquares_ += f.groundSpeedKt * f.groundSpeedKt;
    result_.speedMaxKt = std::max(result_.speedMaxKt, f.groundSpeedKt);
    result_.headingChangeDeg = deviation;
    result_.headingMaxDevDeg = std::max(result_.headingMaxDevDeg, std::fabs(deviation));
    result_.positionMaxDevFt =
        std::max(result_.positionMaxDevFt, std::hypot(f.northFt - startNorth_, f.eastFt - startEast_));
    engagedFrames_ += f.commanding ? 1 : 0;
    frameStep_ = f.hostTime - previous_;
    previous_ = f.hostTime;
}

PhaseResult PhaseMeter::finish() const {
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
    if (!captured_.empty()) {
        r.windows = hoverWindows(captured_);
    }
    return r;
}

HoverWindows hoverWindows(const std::vector<HoverSample>& samples) {
    HoverWindows w;
    if (samples.empty()) {
        return w;
    }
    // The errors of the window that begins at sample i, and whether the
    // samples reach its end.
    const auto window = [&samples](size_t i, double& to) {
        const HoverSample& start = samples[i];
        HoverErrors e;
        to = start.t;
        for (size_t j = i; j < samples.size() && samples[j].t <= start.t + kHoverWindowS + kWindowSlack;
             ++j) {
            const HoverSample& s = samples[j];
            e.heightMaxFt = std::max(e.heightMaxFt, s.heightErrorFt);
            e.positionMaxFt =
                std::max(e.positionMaxFt, std::hypot(s.northFt - start.northFt, s.eastFt - start.eastFt));
            e.headingMaxDeg = std::max(e.headingMaxDeg, std::fabs(s.turnedDeg - start.turnedDeg));
            to = s.t;
        }
        return e;
    };
    const double last = samples.back().t;
    w.capturedAtS = samples.front().t;
    w.firstFrom = w.capturedAtS;
    w.first = window(0, w.firstTo);
    w.firstComplete = last >= w.capturedAtS + kHoverWindowS - kWindowSlack;
    for (size_t i = 0; i < samples.size() && samples[i].t + kHoverWindowS - kWindowSlack <= last; ++i) {
        double to = 0.0;
        const HoverErrors e = window(i, to);
        const bool firstOne = w.windows++ == 0;
        if (firstOne || e.heightMaxFt > w.worst.heightMaxFt) {
            w.worst.heightMaxFt = e.heightMaxFt;
            w.worstHeightFromS = samples[i].t;
        }
        if (firstOne || e.positionMaxFt > w.worst.positionMaxFt) {
            w.worst.positionMaxFt = e.positionMaxFt;
            w.worstPositionFromS = samples[i].t;
        }
        if (firstOne || e.headingMaxDeg > w.worst.headingMaxDeg) {
            w.worst.headingMaxDeg = e.headingMaxDeg;
            w.worstHeadingFromS = samples[i].t;
        }
    }
    return w;
}

void Judge::observe(const Frame& f) {
    if (!inWindow(f.hostTime, e_.from, e_.to)) {
        return;
    }
    if (frames_ == 0) {
        heading_.start(f.headingDeg);
        startNorth_ = f.northFt;
        startEast_ = f.eastFt;
    }
    ++frames_;
    const double turned = heading_.observe(f.headingDeg);
    lastTime_ = f.hostTime;
    lastCommanding_ = f.commanding;
    lastTarget_ = f.panel.targetHeightFt;
    switch (e_.check) {
    case Check::kEngaged:
        if (!f.commanding)
            breach(f, "not engaged");
        break;
    case Check::kNotEngaged:
        if (f.commanding)
            breach(f, "engaged");
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
        worst(f, std::fabs(turned), "deg", e_.limit, false);
        break;
    case Check::kPositionWithin:
        worst(f, std::hypot(f.northFt - startNorth_, f.eastFt - startEast_), "ft", e_.limit, true);
        break;
    case Check::kPitchWithin:
        worst(f, std::fabs(f.pitchDeg), "deg", e_.limit, true);
        break;
    case Check::kBankWithin:
        worst(f, std::fabs(f.bankDeg), "deg", e_.limit, true);
        break;
    case Check::kPitchGuardFired:
        fired_ = fired_ || f.pitchGuard;
        break;
    case Check::kPitchGuardQuiet:
        if (f.pitchGuard)
            breach(f, "the pitch guard overrode the elevator");
        break;
    case Check::kTargetHeightIs:
    case Check::kEngagedAtEnd:
        break;
    }
}

ExpectationResult Judge::finish() const {
    ExpectationResult r;
    r.text = e_.text;
    r.frames = frames_;
    r.badFrames = badFrames_;
    if (frames_ == 0) {
        r.detail = "no frame of the run lies in the window";
        return r;
    }
    r.worst = worstValue_;
    r.worstAtS = worstTime_;
    r.unit = worstUnit_;
    r.firstCrossingS = firstCrossing_;
    std::string breachText = breachText_;
    switch (e_.check) {
    case Check::kPitchGuardFired:
        if (!fired_)
            breachText = "the guard never fired";
        break;
    case Check::kTargetHeightIs:
        if (!lastTarget_) {
            breachText = "the panel shows no target height";
        } else if (std::fabs(*lastTarget_ - e_.limit) > kTargetShownSlackFt) {
            breachText = "the panel shows " + fixed(*lastTarget_, 1) + " ft";
        }
        break;
    case Check::kEngagedAtEnd:
        if (!lastCommanding_)
            breachText = "not engaged at " + secondsText(lastTime_);
        break;
    default:
        break;
    }
    const std::string share =
        " (" + std::to_string(badFrames_) + " of " + std::to_string(frames_) + " frames)";
    if (worstValue_) {
        // A measured value: the worst of it and when, and when it first
        // broke the limit. The first crossing alone can read like a near
        // miss when the value went on to far worse.
        r.held = !firstCrossing_ && breachText.empty();
        r.detail = "worst " + fixed(*worstValue_, 2) + " " + worstUnit_ + " at " + secondsText(worstTime_);
        if (firstCrossing_) {
            r.detail += ", first past the limit at " + secondsText(*firstCrossing_) + share;
        } else if (!breachText.empty()) {
            r.detail = breachText + "; " + r.detail;
        }
        return r;
    }
    r.held = breachText.empty();
    if (!r.held) {
        r.detail = breachText + (badFrames_ > 0 ? share : "");
    }
    return r;
}

void Judge::breach(const Frame& f, const std::string& what) {
    ++badFrames_;
    if (breachText_.empty()) {
        breachText_ = what + " at " + secondsText(f.hostTime);
    }
}

void Judge::measured(const Frame& f, double value, const char* unit, bool worse, bool ok) {
    if (!worstValue_ || worse) {
        worstValue_ = value;
        worstTime_ = f.hostTime;
        worstUnit_ = unit;
    }
    if (!ok) {
        ++badFrames_;
        if (!firstCrossing_)
            firstCrossing_ = f.hostTime;
    }
}

void Judge::worst(const Frame& f, double value, const char* unit, double limit, bool inclusive) {
    const bool ok = inclusive ? value <= limit : value < limit;
    measured(f, value, unit, worstValue_ && value > *worstValue_, ok);
}

// The smallest value must stay above the limit.
void Judge::lowest(const Frame& f, double value, const char* unit, double limit) {
    measured(f, value, unit, worstValue_ && value<*worstValue_, value> limit);
}

std::string engageStep(const Frame& f) {
    struct Axis {
        const char* name;
        const std::optional<int32_t>& command;
        uint32_t position;
    };
    const Axis axes[] = {
        {"collective", f.throttle, kTokenThrottlePosition},
        {"pedals", f.rudder, kTokenRudderPosition},
        {"fore-aft cyclic", f.elevator, kTokenElevatorPosition},
        {"lateral cyclic", f.aileron, kTokenAileronPosition},
    };
    std::string text;
    for (const Axis& axis : axes) {
        const TraceToken* token =
            std::find_if(std::begin(kTraceTokens), std::end(kTraceTokens),
                         [&axis](const TraceToken& t) { return t.id == axis.position; });
        if (!axis.command || token == std::end(kTraceTokens)) {
            continue;
        }
        const double from = f.tokens[token - std::begin(kTraceTokens)];
        const double step = *axis.command - from;
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, "%s %+.0f (%.0f to %d)", axis.name, step == 0.0 ? 0.0 : step,
                      from, *axis.command);
        text += (text.empty() ? "" : ", ") + std::string(buffer);
    }
    return text;
}

PhaseResult measurePhase(const PhaseSetting& setting, const Trace& trace) {
    PhaseMeter meter(setting);
    for (const Frame& f : trace)
        meter.observe(f);
    return meter.finish();
}

ExpectationResult judge(const Expectation& expectation, const Trace& trace) {
    Judge j(expectation);
    for (const Frame& f : trace)
        j.observe(f);
    return j.finish();
}

}  // namespace host
