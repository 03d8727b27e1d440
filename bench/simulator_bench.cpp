// SPDX-License-Identifier: MIT
//
// The simulated host's own speed: a long hold in wind and turbulence, the
// flight model and the loaded module in the loop, the panel drawn every
// frame, no trace written. Only the frame loop is timed; loading the module
// and trimming the helicopter are not.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>

#include "sim/scenario/runner.h"
#include "sim/scenario/scenario.h"

namespace {

// Ten minutes of flight: long enough that loading the module and trimming
// the helicopter, which the CPU time includes, are a small part of it.
constexpr double kFlightSeconds = 600.0;

// The aircraft files flown, by the benchmark's second argument.
constexpr const char* kAircraft[] = {"bo105", "uh1h", "puma"};

void simulatorFrames(benchmark::State& state) {
    std::string error;
    std::optional<host::Scenario> scenario =
        host::loadScenario(HOVER_BENCH_SCENARIO_DIR "/hold_wind_turbulence.toml", error);
    if (!scenario) {
        state.SkipWithError(error.c_str());
        return;
    }
    scenario->duration = kFlightSeconds;
    scenario->frameRate = static_cast<int>(state.range(0));
    scenario->aircraft = kAircraft[state.range(1)];
    state.SetLabel(scenario->aircraft);
    host::RunOptions options;
    options.modulePath = HOVER_BENCH_MODULE_PATH;

    int64_t frames = 0;
    double loopSeconds = 0.0;
    for (auto _ : state) {
        const host::RunResult result = host::runScenario(*scenario, options);
        if (!result.flown) {
            state.SkipWithError(result.error.c_str());
            return;
        }
        // The module must have flown the helicopter, not merely been loaded:
        // the scenario's phases are all flown engaged (the hold may fly some
        // aircraft badly; that does not change what a frame costs).
        for (const host::PhaseResult& phase : result.phases) {
            if (phase.engagedFraction < 1.0) {
                state.SkipWithError("the hold was not engaged through every phase");
                return;
            }
        }
        frames += result.frames;
        loopSeconds += result.wallSeconds;
    }
    // Frames per second of the process's CPU time, the whole run included;
    // and per second of wall time of the frame loop alone, which on a
    // shared machine also counts the time other processes had the core.
    state.counters["frames_per_cpu_s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["frames_per_wall_s"] = static_cast<double>(frames) / loopSeconds;
}

}  // namespace

BENCHMARK(simulatorFrames)
    ->Name("simulator/hold_wind_turbulence")
    ->ArgNames({"fps", "aircraft"})
    ->Args({18, 0})
    ->Args({18, 1})
    ->Args({18, 2})
    ->Args({60, 0})
    ->Unit(benchmark::kMillisecond);
