// SPDX-License-Identifier: MIT
#include "bench/frames.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

#include "bench/bench_host.h"
#include "bench/draw_pass.h"
#include "control/controller.h"
#include "module/gauge.h"
#include "module/host_interface.h"

namespace bench {

namespace {

// The floors' variable records, one per reading, in the module's order.
HostVar disengagedVars[] = {
    {.tokenId = kTokenSimulationTime, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenOperating, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenHeading, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenVelocityNorth, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenVelocityEast, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenVerticalSpeed, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenYawRate, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenAileronPosition, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenElevatorPosition, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenRudderPosition, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenThrottlePosition, .hostWords = {}, .value = 0.0, .hostData = {}},
};
constexpr int kDisengagedHeading = 2;

HostVar engagedVars[] = {
    {.tokenId = kTokenSimulationTime, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenOperating, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenRadarHeight, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenHeading, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenVelocityNorth, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenVelocityEast, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenVerticalSpeed, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenYawRate, .hostWords = {}, .value = 0.0, .hostData = {}},
    {.tokenId = kTokenPitch, .hostWords = {}, .value = 0.0, .hostData = {}},
};
constexpr int kEngagedHeading = 3;

static_assert(std::size(disengagedVars) == kDisengagedCalls.reads);
static_assert(std::size(engagedVars) == kEngagedCalls.reads);

void sineAndCosineOf(double headingDeg) {
    double psi = headingDeg * kRadiansPerDegree;
    benchmark::DoNotOptimize(psi);
    double c = std::cos(psi);
    double s = std::sin(psi);
    benchmark::DoNotOptimize(c);
    benchmark::DoNotOptimize(s);
}

HostCallCount counted{};

void GAUGE_CALL countRead(HostVar* variable) {
    ++counted.reads;
    variable->value = benchHost.values[variable->tokenId & (kTokenSlots - 1)];
}

uint32_t GAUGE_CALL countEvent(uint32_t, int32_t) {
    ++counted.events;
    return 0;
}

}  // namespace

void preUpdateFrame() {
    advanceHostTime();
    handleService(&hoverGauge, kServicePreUpdate, 0);
}

void floorFrameDisengaged() {
    advanceHostTime();
    HostApi* api = ImportTable.hostApi;
    for (HostVar& variable : disengagedVars) {
        api->readVariable(&variable);
    }
    sineAndCosineOf(disengagedVars[kDisengagedHeading].value);
}

void floorFrameEngaged() {
    advanceHostTime();
    HostApi* api = ImportTable.hostApi;
    for (HostVar& variable : engagedVars) {
        api->readVariable(&variable);
    }
    sineAndCosineOf(engagedVars[kEngagedHeading].value);
    api->sendEvent(kEventRudder, 120);
    api->sendEvent(kEventAileron, -340);
    api->sendEvent(kEventElevator, 560);
    api->sendEvent(kEventThrottle, 9100);
}

HostCallCount countHostCalls() {
    HostApi* saved = ImportTable.hostApi;
    HostApi counting{};
    counting.readVariable = countRead;
    counting.sendEvent = countEvent;
    ImportTable.hostApi = &counting;
    counted = {};
    preUpdateFrame();
    ImportTable.hostApi = saved;
    return counted;
}

bool floorsMatchModule() {
    bool match = true;
    auto check = [&match](const char* state, HostCallCount module, HostCallCount floor) {
        if (module.reads != floor.reads || module.events != floor.events) {
            std::fprintf(stderr, "%s: the module makes %d readings and %d events, the floor %d and %d\n",
                         state, module.reads, module.events, floor.reads, floor.events);
            match = false;
        }
    };
    powerOnDisengaged();
    preUpdateFrame();
    check("disengaged", countHostCalls(), kDisengagedCalls);
    engageHold();
    preUpdateFrame();
    check("engaged", countHostCalls(), kEngagedCalls);
    if (controller.hoverEngaged == 0) {
        std::fprintf(stderr, "engaged: the hold did not engage\n");
        match = false;
    }
    return match;
}

}  // namespace bench

extern "C" {

__attribute__((noipa)) void hover_frames_preupdate_disengaged(int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        bench::preUpdateFrame();
    }
}

__attribute__((noipa)) void hover_frames_floor_disengaged(int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        bench::floorFrameDisengaged();
    }
}

__attribute__((noipa)) void hover_frames_preupdate_engaged(int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        bench::preUpdateFrame();
    }
}

__attribute__((noipa)) void hover_frames_floor_engaged(int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        bench::floorFrameEngaged();
    }
}

__attribute__((noipa)) void hover_frames_draw_pass(int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        bench::drawPass();
    }
}

}  // extern "C"
