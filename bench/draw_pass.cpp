// SPDX-License-Identifier: MIT
#include "bench/draw_pass.h"

#include <cstdint>

#include "bench/bench_host.h"
#include "module/gauge.h"
#include "sdk/element_walk.h"

namespace bench {

namespace {

// Far more than any readout writes: a host's buffer is sized by the font
// box, not by the gauge's character count.
constexpr int kTextBufferBytes = 64;
constexpr int kTextBuffers = 32;
char textBuffers[kTextBuffers][kTextBufferBytes];

// The module's own tree, well inside the host's limits.
constexpr walk::Limits kWalkLimits{};

void ignoreStop(walk::Stop) {}

}  // namespace

int prepareDrawing() {
    int callbacks = 0;
    int buffers = 0;
    auto prepare = [&callbacks, &buffers](GaugeElement* element, int) {
        if (element->kind == kElementText && buffers < kTextBuffers) {
            reinterpret_cast<TextElement*>(element)->buffer = textBuffers[buffers++];
        }
        walk::fillSlots(element, [](uint32_t token) { return benchHost.values[token & (kTokenSlots - 1)]; });
        const walk::Callbacks called = walk::callbacksOf(element);
        callbacks += (called.first != nullptr ? 1 : 0) + (called.second != nullptr ? 1 : 0);
        return walk::Next::kDescend;
    };
    walk::forEachElement(hoverGauge.elements, kWalkLimits, prepare, ignoreStop);
    return callbacks;
}

double drawPass() {
    double sum = 0.0;
    auto draw = [&sum](GaugeElement* element, int) {
        const walk::Callbacks called = walk::callbacksOf(element);
        if (called.first != nullptr) {
            sum += called.first(element);
        }
        if (called.second != nullptr) {
            sum += called.second(element);
        }
        return walk::Next::kDescend;
    };
    walk::forEachElement(hoverGauge.elements, kWalkLimits, draw, ignoreStop);
    return sum;
}

}  // namespace bench
