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
    char line[256];
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
    out << "\nADS-33 hover, phases with a target (desired / adequate: height 2 / 4 ft, position 3 / 6 ft, "
           "heading 5 / 10 deg)\n";
    for (const PhaseResult& p : result.phases) {
        if (!p.hover) {
            continue;
        }
        std::snprintf(line, sizeof line, "  %-18.18s height %-8s position %-8s heading %-8s%s\n",
                      p.name.c_str(), p.heightKnown ? kGrades[gradeHeight(p.heightMaxFt)] : "-",
                      kGrades[gradePosition(p.positionMaxDevFt)], kGrades[gradeHeading(p.headingMaxDevDeg)],
                      p.to - p.from < 30.0 ? "  (shorter than 30 s)" : "");
        out << line;
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
    if (!result.allHeld()) {
        out << "result: FAILED\n";
    } else if (result.nothingChecked()) {
        out << "result: nothing was checked (the scenario has no expectations)\n";
    } else {
        out << "result: every expectation held\n";
    }
}

}  // namespace host
