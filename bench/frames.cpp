// SPDX-License-Identifier: MIT
#include "bench/frames.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "bench/bench_host.h"
#include "bench/draw_pass.h"
#include "control/controller.h"
#include "control/law_constants.h"
#include "hostif/host_interface.h"
#include "module/gauge.h"

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

// The bare law's own state: one record per loop, and the last time read.
// Its gains, filter weights, thresholds and limits are the module's own.
struct BareLoop {
    double setPoint;
    double filtered;
    double rate;
    double integral;
    double Kpr;
    double Tv;
    double Tn;
};
struct BareLaw {
    BareLoop up{0.0, 0.0, 0.0, 0.0, kUpDefaults.Kpr, kUpDefaults.Tv, kUpDefaults.Tn};
    BareLoop forward{0.0, 0.0, 0.0, 0.0, kForwardDefaults.Kpr, kForwardDefaults.Tv, kForwardDefaults.Tn};
    BareLoop right{0.0, 0.0, 0.0, 0.0, kRightDefaults.Kpr, kRightDefaults.Tv, kRightDefaults.Tn};
    BareLoop turn{0.0, 0.0, 0.0, 0.0, kTurnDefaults.Kpr, kTurnDefaults.Tv, kTurnDefaults.Tn};
    double time = 0.0;
    double targetHeightFt = kResetHeightFt;
};
BareLaw bareState;

// The filter and the rate of one loop; returns the filtered error. Values
// that would sit on a subnormal are taken as 0, as the module does.
inline double filterBare(BareLoop& loop, double measurement, double dt) {
    const double filtered = (measurement - loop.setPoint) * kNewErrorWeight + loop.filtered * kErrorSmoothing;
    double rate = ((filtered - loop.filtered) / dt) * kNewRateWeight + loop.rate * kRateSmoothing;
    rate = std::fabs(rate) < std::numeric_limits<double>::min() ? 0.0 : rate;
    loop.filtered = std::fabs(filtered) < std::numeric_limits<double>::min() ? 0.0 : filtered;
    loop.rate = rate;
    return filtered;
}

inline int32_t commandBare(const BareLoop& loop, double low, double high) {
    const double u = std::trunc(loop.Kpr * (loop.integral / loop.Tn + loop.Tv * loop.rate + loop.filtered));
    return static_cast<int32_t>(std::min(std::max(u, low), high));
}

// One frame of the law on the readings in `vars`, which stand in the
// module's order with the heading at `heading`.
inline void bareLaw(HostVar* vars, int heading, bool engaged) {
    BareLaw& law = bareState;
    const double t1 = vars[0].value;
    const double dt = t1 - law.time;
    law.time = t1;
    if (engaged && vars[1].value > kOperatingThreshold) {
        law.up.setPoint = std::min(
            std::max((law.targetHeightFt - vars[2].value * kFeetPerMetre) * kHeightGain, -kUpSetLimit),
            kUpSetLimit);
    }
    const double vN = vars[heading + 1].value * kMetresPerFoot;
    const double vE = vars[heading + 2].value * kMetresPerFoot;
    double psi = vars[heading].value * kRadiansPerDegree;
    benchmark::DoNotOptimize(psi);
    const double c = std::cos(psi);
    const double s = std::sin(psi);
    const double forwardSpeed = vN * c + vE * s;
    const double rightSpeed = vE * c - vN * s;

    const double fForward = filterBare(law.forward, forwardSpeed, dt);
    law.forward.integral =
        std::fabs(law.forward.rate) > kRateThreshold ? 0.0 : fForward * dt + law.forward.integral;
    const double fRight = filterBare(law.right, rightSpeed, dt);
    law.right.integral = std::fabs(law.right.rate) > kRateThreshold ? 0.0 : fRight * dt + law.right.integral;
    const double fUp = filterBare(law.up, vars[heading + 3].value * kMetresPerFoot, dt);
    law.up.integral = std::min(std::max(fUp * dt + law.up.integral, law.up.Tn * kThrottleHigh / law.up.Kpr),
                               law.up.Tn * kThrottleLow / law.up.Kpr);
    const double fTurn = filterBare(law.turn, vars[heading + 4].value * kDegPerSecPerYawUnit, dt);
    if (std::fabs(law.turn.rate) < kRateThreshold) {
        law.turn.integral += fTurn * dt;
    }
    law.turn.integral = std::min(std::max(law.turn.integral, law.turn.Tn * kSurfaceLow / law.turn.Kpr),
                                 law.turn.Tn * kSurfaceHigh / law.turn.Kpr);
    if (!engaged) {
        law.turn.integral = law.turn.Tn * vars[9].value / law.turn.Kpr;
        law.right.integral = law.right.Tn * vars[7].value / law.right.Kpr;
        law.forward.integral = law.forward.Tn * vars[8].value / law.forward.Kpr;
        law.up.integral = law.up.Tn * vars[10].value / law.up.Kpr;
    }
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

void bareLawFrameDisengaged() {
    advanceHostTime();
    HostApi* api = ImportTable.hostApi;
    for (HostVar& variable : disengagedVars) {
        api->readVariable(&variable);
    }
    bareLaw(disengagedVars, kDisengagedHeading, false);
}

void bareLawFrameEngaged() {
    advanceHostTime();
    HostApi* api = ImportTable.hostApi;
    for (int i = 0; i < 8; ++i) {
        api->readVariable(&engagedVars[i]);
    }
    bareLaw(engagedVars, kEngagedHeading, true);
    const BareLaw& law = bareState;
    api->sendEvent(kEventRudder, commandBare(law.turn, kSurfaceLow, kSurfaceHigh));
    api->sendEvent(kEventAileron, commandBare(law.right, kSurfaceLow, kSurfaceHigh));
    api->sendEvent(kEventElevator, commandBare(law.forward, kSurfaceLow, kSurfaceHigh));
    api->sendEvent(kEventThrottle, commandBare(law.up, kThrottleLow, kThrottleHigh));
    api->readVariable(&engagedVars[8]);
    if (engagedVars[8].value > kPitchLimitDeg) {
        api->sendEvent(kEventElevator, -kPitchOverride);
    }
    if (engagedVars[8].value < -kPitchLimitDeg) {
        api->sendEvent(kEventElevator, kPitchOverride);
    }
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

__attribute__((noipa)) void hover_frames_bare_law_disengaged(int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        bench::bareLawFrameDisengaged();
    }
}

__attribute__((noipa)) void hover_frames_bare_law_engaged(int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        bench::bareLawFrameEngaged();
    }
}

__attribute__((noipa)) void hover_frames_draw_pass(int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        bench::drawPass();
    }
}

}  // extern "C"
