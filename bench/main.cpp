// SPDX-License-Identifier: MIT
//
// The benchmark program. Run plainly, it runs the benchmarks and ends with
// a summary: each pre-update frame's time as a multiple of its floor, the
// draw pass and the simulator's speed. With --count-frames N it runs N of
// each measured frame and nothing else, for valgrind's callgrind to count
// their instructions (tools/bench.sh does both).
#include <benchmark/benchmark.h>

#include <charconv>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/bench_host.h"
#include "bench/draw_pass.h"
#include "bench/frames.h"

namespace {

double toNanoseconds(double value, benchmark::TimeUnit unit) {
    switch (unit) {
    case benchmark::kSecond:
        return value * 1e9;
    case benchmark::kMillisecond:
        return value * 1e6;
    case benchmark::kMicrosecond:
        return value * 1e3;
    case benchmark::kNanosecond:
    default:
        return value;
    }
}

struct Figure {
    double cpuNs = 0.0;
    double realNs = 0.0;
    benchmark::UserCounters counters;
    bool fromMedian = false;
};

// The console report as usual, and each benchmark's figure kept for the
// summary: the median of its repetitions when there are several.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) {
                failed_ = true;
                continue;
            }
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) {
                continue;
            }
            Figure& figure = figures_[run.run_name.function_name + argsOf(run)];
            if (figure.fromMedian && !median) {
                continue;
            }
            figure.cpuNs = toNanoseconds(run.GetAdjustedCPUTime(), run.time_unit);
            figure.realNs = toNanoseconds(run.GetAdjustedRealTime(), run.time_unit);
            figure.counters = run.counters;
            figure.fromMedian = median;
        }
    }

    const Figure* find(const std::string& name) const {
        auto it = figures_.find(name);
        return it == figures_.end() ? nullptr : &it->second;
    }
    bool failed() const { return failed_; }

private:
    static std::string argsOf(const Run& run) {
        return run.run_name.args.empty() ? std::string() : "/" + run.run_name.args;
    }

    std::map<std::string, Figure> figures_;
    bool failed_ = false;
};

void printRatio(const SummaryReporter& reporter, const char* state) {
    const Figure* frame = reporter.find(std::string("preUpdate/") + state);
    const Figure* floor = reporter.find(std::string("floor/") + state);
    if (frame == nullptr || floor == nullptr) {
        return;
    }
    std::printf("  %-10s  frame %7.1f ns   floor %7.1f ns   ratio %.2f  (target at most 1.50)\n", state,
                frame->cpuNs, floor->cpuNs, frame->cpuNs / floor->cpuNs);
    if (const Figure* law = reporter.find(std::string("bareLaw/") + state)) {
        std::printf("  %-10s  bare law %5.1f ns = %.2f floors; the frame is %.2f bare laws\n", "", law->cpuNs,
                    law->cpuNs / floor->cpuNs, frame->cpuNs / law->cpuNs);
    }
}

void printSummary(const SummaryReporter& reporter) {
    std::printf("\nSummary (CPU time; the median where the run was repeated)\n");
    printRatio(reporter, "disengaged");
    printRatio(reporter, "engaged");
    if (const Figure* draw = reporter.find("drawPass")) {
        std::printf("  draw pass   %.3f us for %g callbacks  (target under 2 us)\n", draw->cpuNs / 1e3,
                    draw->counters.count("callbacks") != 0 ? draw->counters.at("callbacks").value : 0.0);
    }
    for (const char* size : {"typical", "64KiB"}) {
        if (const Figure* params = reporter.find(std::string("readGainParameters/") + size)) {
            std::printf("  readGainParameters, %-8s %10.3f us\n", size, params->cpuNs / 1e3);
        }
    }
    // Per aircraft file (simulator_bench.cpp's second argument).
    for (const char* run :
         {"fps:18/aircraft:0", "fps:18/aircraft:1", "fps:18/aircraft:2", "fps:60/aircraft:0"}) {
        if (const Figure* sim = reporter.find(std::string("simulator/hold_wind_turbulence/") + run)) {
            const auto cpu = sim->counters.find("frames_per_cpu_s");
            const auto wall = sim->counters.find("frames_per_wall_s");
            if (cpu != sim->counters.end() && wall != sim->counters.end()) {
                std::printf(
                    "  simulator, %s: %.0f frames per CPU second,"
                    " %.0f per wall second  (target at least 300000 at 18 fps)\n",
                    run, cpu->second.value, wall->second.value);
            }
        }
    }
}

int countFrames(int64_t n) {
    if (!bench::floorsMatchModule()) {
        return 1;
    }
    bench::powerOnDisengaged();
    hover_frames_preupdate_disengaged(n);
    bench::powerOnDisengaged();
    hover_frames_floor_disengaged(n);
    bench::engageHold();
    hover_frames_preupdate_engaged(n);
    bench::engageHold();
    hover_frames_floor_engaged(n);
    bench::powerOnDisengaged();
    hover_frames_bare_law_disengaged(n);
    bench::engageHold();
    hover_frames_bare_law_engaged(n);
    bench::engageHold();
    bench::preUpdateFrame();
    bench::prepareDrawing();
    hover_frames_draw_pass(n);
    std::printf("counted %" PRId64 " frames of each kind\n", n);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--count-frames") == 0) {
            int64_t n = 0;
            const char* text = argv[i + 1];
            std::from_chars(text, text + std::strlen(text), n);
            return countFrames(n > 0 ? n : 1);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (!bench::floorsMatchModule()) {
        std::fprintf(stderr, "the floor no longer matches the module's host calls: fix bench/frames.cpp\n");
        return 1;
    }
    // Colour only on a terminal: a report kept in a file stays plain text.
    SummaryReporter reporter(isatty(STDOUT_FILENO) != 0 ? benchmark::ConsoleReporter::OO_ColorTabular
                                                        : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
    return reporter.failed() ? 1 : 0;
}
