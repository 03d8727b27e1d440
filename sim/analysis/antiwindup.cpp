// SPDX-License-Identifier: MIT
#include "sim/analysis/antiwindup.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <sstream>
#include <string_view>

#include "control/law_constants.h"
#include "sim/units.h"

namespace analysis {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDegPerSecondPerYawUnit = 360.0 / 65536.0;  // token 70's unit

enum Axis : size_t { kForwardAxis = 0, kRightAxis, kTurnAxis };

double gain(const Gains& g, Loop loop, GainRole role) {
    return g[static_cast<size_t>(loop * kGainsPerLoop + role)];
}

// The integral that makes the integral term alone equal the control's
// position: the module's preset while the hold is not engaged.
double preset(const Gains& g, Loop loop, double position) {
    const double kpr = gain(g, loop, kKpr);
    return kpr == 0.0 ? 0.0 : gain(g, loop, kTn) * position / kpr;
}

// The integral term's share of the command, axis counts.
double integralCommand(const Gains& g, Loop loop, double integral) {
    const double tn = gain(g, loop, kTn);
    return tn == 0.0 ? 0.0 : gain(g, loop, kKpr) * integral / tn;
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    const size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half), values.end());
    const double upper = values[half];
    if (values.size() % 2 == 1) {
        return upper;
    }
    const double lower =
        *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half));
    return 0.5 * (lower + upper);
}

double share(int64_t part, int64_t whole) {
    return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
}

// The fields of one CSV row; a quoted field (the actions) may hold commas,
// and a doubled quote inside it stands for one.
std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                out.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                out.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out.emplace_back();
        } else if (c != '\r') {
            out.back() += c;
        }
    }
    return out;
}

bool number(std::string_view text, double& value) {
    if (text.empty()) {
        return false;
    }
    const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
    return read.ec == std::errc() && read.ptr == text.data() + text.size();
}

}  // namespace

AntiWindupObserver::AntiWindupObserver(const Gains& gains) : gains_(gains) {}

void AntiWindupObserver::filter(LoopState& s, double raw, double dt) {
    const double error = raw * kNewErrorWeight + s.error * kErrorSmoothing;
    s.rate = ((error - s.error) / dt) * kNewRateWeight + s.rate * kRateSmoothing;
    s.error = error;
}

void AntiWindupObserver::update(const UpdateReadings& r) {
    const double dt = r.simTimeS - lastTime_;
    lastTime_ = r.simTimeS;
    // The module does nothing in an update whose time did not advance.
    if (dt == 0.0) {
        return;
    }
    ++updates_;
    engaged_ += r.engaged ? 1 : 0;
    const double psi = r.headingDeg * kRadiansPerDegree;
    const double vn = r.velocityNorthFtS * units::kMetresPerFoot;
    const double ve = r.velocityEastFtS * units::kMetresPerFoot;
    const double forward = vn * std::cos(psi) + ve * std::sin(psi);
    const double right = ve * std::cos(psi) - vn * std::sin(psi);

    // Forward and Right: integrate, then drop the integral on a fast rate.
    const Loop resetLoops[] = {kForward, kRight};
    const double raw[] = {forward - r.forwardSetMS, right - r.rightSetMS};
    for (size_t axis : {kForwardAxis, kRightAxis}) {
        LoopState& s = loops_[axis];
        filter(s, raw[axis], dt);
        s.integral = s.error * dt + s.integral;
        if (std::fabs(s.rate) > kRateThreshold) {
            if (r.engaged) {
                steps_[axis].push_back(std::fabs(integralCommand(gains_, resetLoops[axis], s.integral)));
            }
            s.integral = 0.0;
        }
    }
    // Turn: integrate only while the rate is under the threshold, within
    // the bounds that keep its share of the pedals within the axis's range.
    LoopState& turn = loops_[kTurnAxis];
    filter(turn, r.yawRate * kDegPerSecondPerYawUnit - r.turnSetDegS, dt);
    if (std::fabs(turn.rate) < kRateThreshold) {
        turn.integral = turn.error * dt + turn.integral;
    } else if (r.engaged) {
        ++turnFrozen_;
    }
    const double kpr = gain(gains_, kTurn, kKpr), tn = gain(gains_, kTurn, kTn);
    if (kpr != 0.0) {
        const double lo = tn * kSurfaceLow / kpr, hi = tn * kSurfaceHigh / kpr;
        turn.integral = std::min(std::max(turn.integral, lo), hi);
    }

    if (!r.engaged) {
        loops_[kTurnAxis].integral = preset(gains_, kTurn, r.rudder);
        loops_[kRightAxis].integral = preset(gains_, kRight, r.aileron);
        loops_[kForwardAxis].integral = preset(gains_, kForward, r.elevator);
    }
}

std::array<double, 3> AntiWindupObserver::commands() const {
    std::array<double, 3> out{};
    const Loop loops[] = {kForward, kRight, kTurn};
    for (size_t axis : {kForwardAxis, kRightAxis, kTurnAxis}) {
        const LoopState& s = loops_[axis];
        const Loop loop = loops[axis];
        out[axis] = gain(gains_, loop, kKpr) * (s.error + gain(gains_, loop, kTv) * s.rate)
                    + integralCommand(gains_, loop, s.integral);
    }
    return out;
}

AntiWindupStats AntiWindupObserver::stats() const {
    AntiWindupStats out;
    out.read = true;
    out.updates = updates_;
    out.engagedUpdates = engaged_;
    IntegralResets* loops[] = {&out.forward, &out.right};
    for (size_t axis : {kForwardAxis, kRightAxis}) {
        const std::vector<double>& steps = steps_[axis];
        IntegralResets& l = *loops[axis];
        l.resets = static_cast<int64_t>(steps.size());
        l.share = share(l.resets, engaged_);
        l.largestStepCounts = steps.empty() ? 0.0 : *std::max_element(steps.begin(), steps.end());
        l.medianStepCounts = median(steps);
    }
    out.turnFrozen = turnFrozen_;
    out.turnFrozenShare = share(turnFrozen_, engaged_);
    return out;
}

AntiWindupStats observeAntiWindup(const std::string& csvTrace, const Gains& gains) {
    AntiWindupStats failed;
    std::istringstream in(csvTrace);
    std::string line;
    if (!std::getline(in, line)) {
        failed.error = "the trace is empty";
        return failed;
    }
    std::map<std::string, size_t> column;
    const std::vector<std::string> names = fields(line);
    for (size_t i = 0; i < names.size(); ++i) {
        column.emplace(names[i], i);
    }
    // Each reading, by the column that holds it; the set points may be
    // blank (the panel hid them) and then keep their last value.
    struct Field {
        const char* name;
        double UpdateReadings::*value;
        bool mayBeBlank;
    };
    const Field wanted[] = {
        {"sim_time", &UpdateReadings::simTimeS, false},
        {"hdg_86", &UpdateReadings::headingDeg, false},
        {"vn_554", &UpdateReadings::velocityNorthFtS, false},
        {"ve_555", &UpdateReadings::velocityEastFtS, false},
        {"yaw_70", &UpdateReadings::yawRate, false},
        {"elev_309", &UpdateReadings::elevator, false},
        {"ail_311", &UpdateReadings::aileron, false},
        {"rud_314", &UpdateReadings::rudder, false},
        {"set_forward", &UpdateReadings::forwardSetMS, true},
        {"set_right", &UpdateReadings::rightSetMS, true},
        {"set_turn", &UpdateReadings::turnSetDegS, true},
    };
    std::vector<size_t> at;
    for (const Field& f : wanted) {
        const auto found = column.find(f.name);
        if (found == column.end()) {
            failed.error = std::string("the trace has no column ") + f.name;
            return failed;
        }
        at.push_back(found->second);
    }
    const auto engagedColumn = column.find("engaged");
    if (engagedColumn == column.end()) {
        failed.error = "the trace has no column engaged";
        return failed;
    }

    AntiWindupObserver observer(gains);
    UpdateReadings r;
    int64_t row = 1;
    while (std::getline(in, line)) {
        ++row;
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> f = fields(line);
        const std::string where = "row " + std::to_string(row) + ": ";
        if (f.size() < names.size()) {
            failed.error =
                where + std::to_string(f.size()) + " fields, the header has " + std::to_string(names.size());
            return failed;
        }
        for (size_t i = 0; i < std::size(wanted); ++i) {
            const std::string& text = f[at[i]];
            double value = 0.0;
            if (text.empty() && wanted[i].mayBeBlank) {
                continue;
            }
            if (!number(text, value)) {
                failed.error = where + wanted[i].name + " is not a number: '" + text + "'";
                return failed;
            }
            r.*(wanted[i].value) = value;
        }
        const std::string& engaged = f[engagedColumn->second];
        if (engaged != "0" && engaged != "1") {
            failed.error = where + "engaged is neither 0 nor 1: '" + engaged + "'";
            return failed;
        }
        r.engaged = engaged == "1";
        observer.update(r);
    }
    return observer.stats();
}

}  // namespace analysis
