// SPDX-License-Identifier: MIT
//
// The parameter string is read once, at the pre-install service; these
// measure a panel's usual string and a 64 KB one, the longest a host might
// hand over from a careless panel file, to show that even that costs a
// load-time pause and nothing per frame.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_host.h"
#include "control/params.h"
#include "module/gauge.h"

namespace {

constexpr char kTypicalParameters[] = "KprUp 1.5 TvForward 0.8 TnRight 1.2 KprTurn 0.9";

// Text without a key or a comment character fills the string; every key
// stands at its end, so each search runs through all of it.
std::string longParameters() {
    constexpr size_t kTotalBytes = 64 * 1024;
    const std::string keys =
        " KprTurn 1.1 TvTurn 1.2 TnTurn 1.3 KprRight 0.9 TvRight 0.8 TnRight 0.7"
        " KprForward 1.4 TvForward 1.5 TnForward 1.6 KprUp 0.6 TvUp 0.5 TnUp 0.4";
    const std::string filler = "gains tuned for the light utility helicopter at sea level, ";
    std::string text;
    while (text.size() + filler.size() + keys.size() < kTotalBytes - 1) {
        text += filler;
    }
    text.append(kTotalBytes - 1 - keys.size() - text.size(), ' ');
    text += keys;
    return text;
}

void readParameters(benchmark::State& state, char* parameters) {
    bench::resetModule();
    hoverGauge.parameters = parameters;
    for (auto _ : state) {
        readGainParameters(&hoverGauge);
        benchmark::ClobberMemory();
    }
    hoverGauge.parameters = nullptr;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations())
                            * static_cast<int64_t>(std::char_traits<char>::length(parameters)));
}

void readGainParametersTypical(benchmark::State& state) {
    std::string text = kTypicalParameters;
    readParameters(state, text.data());
}

void readGainParameters64KiB(benchmark::State& state) {
    std::string text = longParameters();
    readParameters(state, text.data());
}

}  // namespace

BENCHMARK(readGainParametersTypical)->Name("readGainParameters/typical");
BENCHMARK(readGainParameters64KiB)->Name("readGainParameters/64KiB");
