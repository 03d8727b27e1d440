// SPDX-License-Identifier: MIT
#include "sim/scenario/summary_json.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "sim/scenario/report.h"

namespace host {

namespace {

constexpr const char* kGradeNames[] = {"desired", "adequate", "beyond"};

std::string number(const std::optional<double>& value) {
    return value ? jsonNumber(*value) : std::string("null");
}

const char* boolean(bool value) {
    return value ? "true" : "false";
}

// Builds one object, key by key, in the order written.
class Object {
public:
    Object& raw(std::string_view key, const std::string& json) {
        text_ += text_.empty() ? "{" : ", ";
        text_ += jsonString(key) + ": " + json;
        return *this;
    }
    Object& text(std::string_view key, std::string_view value) { return raw(key, jsonString(value)); }
    Object& num(std::string_view key, const std::optional<double>& value) { return raw(key, number(value)); }
    Object& flag(std::string_view key, bool value) { return raw(key, boolean(value)); }
    std::string done() const { return text_.empty() ? "{}" : text_ + "}"; }

private:
    std::string text_;
};

// The largest errors of a stretch of hover and their grades.
Object hoverErrors(const HoverErrors& e) {
    Object o;
    o.num("height_max_ft", e.heightMaxFt)
        .num("position_max_ft", e.positionMaxFt)
        .num("heading_max_deg", e.headingMaxDeg)
        .raw("grades", Object()
                           .text("height", kGradeNames[gradeHeight(e.heightMaxFt)])
                           .text("position", kGradeNames[gradePosition(e.positionMaxFt)])
                           .text("heading", kGradeNames[gradeHeading(e.headingMaxDeg)])
                           .done());
    return o;
}

// The first 30 s from capture and the worst 30-s windows; null for a phase
// that is not a hover or never captured.
std::string hoverWindowsJson(const PhaseResult& p) {
    if (!p.windows) {
        return "null";
    }
    const HoverWindows& w = *p.windows;
    const std::string first = hoverErrors(w.first)
                                  .num("from_s", w.firstFrom)
                                  .num("to_s", w.firstTo)
                                  .flag("complete", w.firstComplete)
                                  .done();
    const std::string worst = w.windows == 0 ? std::string("null")
                                             : hoverErrors(w.worst)
                                                   .num("height_from_s", w.worstHeightFromS)
                                                   .num("position_from_s", w.worstPositionFromS)
                                                   .num("heading_from_s", w.worstHeadingFromS)
                                                   .done();
    return Object()
        .num("captured_at_s", w.capturedAtS)
        .raw("first_30_s", first)
        .num("windows", static_cast<double>(w.windows))
        .raw("worst_30_s", worst)
        .done();
}

std::string phaseJson(const PhaseResult& p) {
    Object o;
    o.text("name", p.name)
        .num("from_s", p.from)
        .num("to_s", p.to)
        .num("frames", static_cast<double>(p.frames))
        .num("height_rms_ft", p.heightKnown ? std::optional(p.heightRmsFt) : std::nullopt)
        .num("height_max_ft", p.heightKnown ? std::optional(p.heightMaxFt) : std::nullopt)
        .num("ground_speed_rms_kt", p.speedRmsKt)
        .num("ground_speed_max_kt", p.speedMaxKt)
        .num("heading_change_deg", p.headingChangeDeg)
        .num("heading_max_deviation_deg", p.headingMaxDevDeg)
        .num("position_max_ft", p.positionMaxDevFt)
        .num("capture_s", p.captureS)
        .num("engaged_share", p.engagedFraction)
        .flag("hover", p.hover);
    if (p.hover) {
        Object grades;
        grades.raw("height", p.heightKnown ? jsonString(kGradeNames[gradeHeight(p.heightMaxFt)]) : "null")
            .text("position", kGradeNames[gradePosition(p.positionMaxDevFt)])
            .text("heading", kGradeNames[gradeHeading(p.headingMaxDevDeg)])
            .flag("shorter_than_30_s", p.to - p.from < 30.0);
        o.raw("grades", grades.done());
    } else {
        o.raw("grades", "null");
    }
    o.raw("hover_30_s", hoverWindowsJson(p));
    return o.done();
}

std::string expectationJson(const ExpectationResult& e) {
    Object o;
    o.text("text", e.text)
        .flag("held", e.held)
        .text("detail", e.detail)
        .num("worst", e.worst)
        .num("worst_at_s", e.worst ? std::optional(e.worstAtS) : std::nullopt)
        .text("unit", e.unit)
        .num("first_crossing_s", e.firstCrossingS);
    return o.done();
}

template <typename T, typename Each>
std::string array(const std::vector<T>& items, Each each) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "\n      " : ",\n      ") + each(items[i]);
    }
    return out + (items.empty() ? "]" : "\n    ]");
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x",
                              static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += buffer;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", value == 0.0 ? 0.0 : value);
    return buffer;
}

void SummaryJson::add(const std::string& file, const Scenario& scenario, const RunResult& result) {
    const char* outcome = result.skipped                ? "skipped"
                          : !result.flown               ? "not flown"
                          : !result.allHeld()           ? "failed"
                          : result.expectations.empty() ? "nothing checked"
                                                        : "held";
    Object o;
    o.text("file", file)
        .text("scenario", scenario.name)
        .text("description", scenario.description)
        .text("aircraft", result.aircraft)
        .num("frame_rate", scenario.frameRate)
        .num("visual_frame_rate", scenario.visualFrameRate)
        .num("command_latency_s", scenario.loop().delayUpdates > 0 ? scenario.loop().delayUpdates / static_cast<double>(scenario.frameRate) : scenario.loop().latencyS)
        .num("command_delay_frames", scenario.commandDelayFrames)
        .num("duration_s", scenario.duration)
        .num("frames", static_cast<double>(result.frames))
        .text("result", outcome)
        .text("declared_outcome", scenario.outcome == Outcome::kFails ? "fails" : "holds")
        .raw("declared_failing",
             array(scenario.failing, [](const std::string& text) { return jsonString(text); }))
        .text("error", result.error)
        .raw("phases", array(result.phases, phaseJson))
        .raw("expectations", array(result.expectations, expectationJson))
        .raw("notes", array(result.notes, [](const std::string& note) { return jsonString(note); }));
    if (scenario.logger) {
        o.raw("log_files", array(result.logFiles, [](const std::string& path) { return jsonString(path); }));
    }
    runs_ += (runs_.empty() ? "\n  " : ",\n  ") + o.done();
}

void SummaryJson::write(std::ostream& out) const {
    out << "{\"runs\": [" << runs_ << (runs_.empty() ? "" : "\n") << "]}\n";
}

}  // namespace host
