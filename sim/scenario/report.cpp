// SPDX-License-Identifier: MIT
#include "sim/scenario/report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>

namespace host {

namespace {

constexpr const char* kGrades[] = {"desired", "adequate", "beyond"};

}  // namespace

bool RunResult::allHeld() const {
    return flown && std::all_of(expectations.begin(), expectations.end(), [](const ExpectationResult& e) {
               return e.held;
           });
}

bool RunResult::nothingChecked() const {
    return flown && expectations.empty();
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

void printSummary(std::ostream& out, const Scenario& scenario, const RunResult& result) {
    out << scenario.name;
    if (!scenario.description.empty())
        out << ": " << scenario.description;
    out << "\n";
    if (!result.flown) {
        out << (result.skipped ? "skipped: " : "not flown: ") << result.error << "\n";
        return;
    }
    char line[384];
    std::snprintf(line, sizeof line, "%" PRId64 " updates, %.1f s, %s\n", result.frames, scenario.duration,
                  result.aircraft.c_str());
    out << line << loopText(scenario.loop());
    if (scenario.frameJitterS > 0.0) {
        std::snprintf(line, sizeof line, "; visual frames jittered by up to %.1f ms", scenario.frameJitterS * 1000.0);
        out << line;
    }
    out << "\n\n";
    out << "phase                 from     to |  height error ft |  ground speed kt | heading deg  | pos ft "
           "| capture | engaged\n"
           "                         s      s |    rms      max  |    rms      max  | change   max |   max  "
           "|    s    |\n";
    for (const PhaseResult& p : result.phases) {
        std::string capture = p.captureS ? fixed(*p.captureS, 1, 7) : std::string("      -");
        std::string height = p.heightKnown ? fixed(p.heightRmsFt, 2, 7) + "  " + fixed(p.heightMaxFt, 2, 7)
                                           : std::string("      -        -");
        std::snprintf(line, sizeof line,
                      "%-18.18s %7.1f %6.1f | %s | %7.2f  %7.2f | %6.1f %5.1f | %6.1f | %s | %5.0f%%\n",
                      p.name.c_str(), p.from, p.to, height.c_str(), p.speedRmsKt, p.speedMaxKt,
                      p.headingChangeDeg, p.headingMaxDevDeg, p.positionMaxDevFt, capture.c_str(),
                      p.engagedFraction * 100.0);
        out << line;
    }
    out << "\nADS-33 hover, phases with a target: the first 30 s of stable hover from capture (the height "
           "first\n"
           "within 2 ft), and over a longer hold each bound's worst 30-s window (desired / adequate: height "
           "2 / 4\n"
           "ft, position 3 / 6 ft, heading 5 / 10 deg; position and heading from where the 30 s begin)\n";
    for (const PhaseResult& p : result.phases) {
        if (!p.hover) {
            continue;
        }
        if (!p.windows) {
            std::snprintf(line, sizeof line, "  %-18.18s not captured: the height never came within 2 ft\n",
                          p.name.c_str());
            out << line;
            continue;
        }
        const HoverWindows& w = *p.windows;
        const std::string span =
            w.firstComplete
                ? std::string("first 30 s from ") + fixed(w.firstFrom, 2) + " s"
                : "only " + fixed(w.firstTo - w.firstFrom, 1) + " s from " + fixed(w.firstFrom, 2) + " s";
        std::snprintf(
            line, sizeof line,
            "  %-18.18s %-26s height %-8s %5.2f ft, position %-8s %6.2f ft, heading %-8s %6.1f deg\n",
            p.name.c_str(), span.c_str(), kGrades[gradeHeight(w.first.heightMaxFt)], w.first.heightMaxFt,
            kGrades[gradePosition(w.first.positionMaxFt)], w.first.positionMaxFt,
            kGrades[gradeHeading(w.first.headingMaxDeg)], w.first.headingMaxDeg);
        out << line;
        if (w.windows > 1) {
            std::snprintf(
                line, sizeof line,
                "  %-18.18s %-26s height %-8s %5.2f ft, position %-8s %6.2f ft, heading %-8s %6.1f deg"
                " (from %.2f, %.2f, %.2f s)\n",
                "", ("worst of " + std::to_string(w.windows) + " windows").c_str(),
                kGrades[gradeHeight(w.worst.heightMaxFt)], w.worst.heightMaxFt,
                kGrades[gradePosition(w.worst.positionMaxFt)], w.worst.positionMaxFt,
                kGrades[gradeHeading(w.worst.headingMaxDeg)], w.worst.headingMaxDeg, w.worstHeightFromS,
                w.worstPositionFromS, w.worstHeadingFromS);
            out << line;
        }
    }
    if (!result.expectations.empty()) {
        out << "\nexpectations\n";
        for (const ExpectationResult& e : result.expectations) {
            out << "  [" << (e.held ? "held" : "FAIL") << "] " << e.text;
            if (!e.detail.empty())
                out << "  (" << e.detail << ")";
            out << "\n";
        }
    }
    for (const std::string& note : result.notes) {
        out << "note: " << note << "\n";
    }
    if (scenario.logger && result.flown) {
        if (result.logFiles.empty()) {
            out << "log: the logger wrote no file\n";
        }
        for (const std::string& path : result.logFiles) {
            out << "log: " << path << "\n";
        }
    }
    if (!result.allHeld()) {
        out << "result: FAILED\n";
    } else if (result.nothingChecked()) {
        out << "result: nothing was checked (the scenario has no expectations)\n";
    } else {
        out << "result: every expectation held\n";
    }
}

}  // namespace host
