// SPDX-License-Identifier: MIT
//
// The pre-update service against its floor, engaged and disengaged, and the
// full draw pass.
#include <benchmark/benchmark.h>

#include "bench/bench_host.h"
#include "bench/draw_pass.h"
#include "bench/frames.h"
#include "control/controller.h"

namespace {

// A state the frame loop left behind that is not the one measured makes the
// figure worthless: the run reports an error instead.
void expectEngaged(benchmark::State& state, bool engaged) {
    if ((controller.hoverEngaged != 0) != engaged) {
        state.SkipWithError(engaged ? "the hold disengaged" : "the hold engaged");
    }
}

void preUpdateDisengaged(benchmark::State& state) {
    bench::powerOnDisengaged();
    for (auto _ : state) {
        bench::preUpdateFrame();
    }
    expectEngaged(state, false);
}

void floorDisengaged(benchmark::State& state) {
    bench::powerOnDisengaged();
    for (auto _ : state) {
        bench::floorFrameDisengaged();
    }
}

void preUpdateEngaged(benchmark::State& state) {
    bench::engageHold();
    const uint64_t eventsBefore = bench::benchHost.eventCount;
    for (auto _ : state) {
        bench::preUpdateFrame();
    }
    expectEngaged(state, true);
    const uint64_t events = bench::benchHost.eventCount - eventsBefore;
    if (events != static_cast<uint64_t>(state.iterations()) * bench::kEngagedCalls.events) {
        state.SkipWithError("the hold did not send its four axis events every frame");
    }
}

void floorEngaged(benchmark::State& state) {
    bench::engageHold();
    for (auto _ : state) {
        bench::floorFrameEngaged();
    }
}

void bareLawDisengaged(benchmark::State& state) {
    bench::powerOnDisengaged();
    for (auto _ : state) {
        bench::bareLawFrameDisengaged();
    }
}

void bareLawEngaged(benchmark::State& state) {
    bench::engageHold();
    for (auto _ : state) {
        bench::bareLawFrameEngaged();
    }
}

void drawPassEngaged(benchmark::State& state) {
    bench::engageHold();
    bench::preUpdateFrame();
    const int callbacks = bench::prepareDrawing();
    for (auto _ : state) {
        benchmark::DoNotOptimize(bench::drawPass());
    }
    state.counters["callbacks"] = callbacks;
}

}  // namespace

BENCHMARK(preUpdateDisengaged)->Name("preUpdate/disengaged");
BENCHMARK(floorDisengaged)->Name("floor/disengaged");
BENCHMARK(preUpdateEngaged)->Name("preUpdate/engaged");
BENCHMARK(floorEngaged)->Name("floor/engaged");
BENCHMARK(bareLawDisengaged)->Name("bareLaw/disengaged");
BENCHMARK(bareLawEngaged)->Name("bareLaw/engaged");
BENCHMARK(drawPassEngaged)->Name("drawPass");
