// SPDX-License-Identifier: MIT
#include "bench/bench_host.h"

#include <cstring>

#include "control/controller.h"
#include "hostif/host_interface.h"
#include "module/gauge.h"

namespace bench {

BenchHost benchHost;

namespace {

HostApi benchApi{};

void GAUGE_CALL readVariable(HostVar* variable) {
    variable->value = benchHost.values[variable->tokenId & (kTokenSlots - 1)];
}

uint32_t GAUGE_CALL sendEvent(uint32_t eventId, int32_t value) {
    benchHost.events[benchHost.eventCount & (kEventSlots - 1)] = SentEvent{eventId, value};
    ++benchHost.eventCount;
    return 0;
}

}  // namespace

void installBenchHost() {
    std::memset(&benchHost, 0, sizeof benchHost);
    double* v = benchHost.values;
    v[kTokenSimulationTime] = 100.0;
    v[kTokenOperating] = 100.0;    // rotor speed, %: above the engage limit of 20
    v[kTokenRadarHeight] = 30.48;  // m: 100 ft
    v[kTokenHeading] = 123.4;      // degrees
    v[kTokenHeadingDisplay] = 123.4;
    v[kTokenVelocityNorth] = 1.2;  // ft/s
    v[kTokenVelocityEast] = -0.8;
    v[kTokenVerticalSpeed] = 0.3;
    v[kTokenYawRate] = 150.0;  // 1/65536 turn per s
    v[kTokenPitch] = 2.0;      // degrees, nose down
    v[kTokenAileronPosition] = -150.0;
    v[kTokenElevatorPosition] = 200.0;
    v[kTokenRudderPosition] = 300.0;
    v[kTokenThrottlePosition] = 9000.0;
    v[kTokenWindSpeed] = 7.0;
    v[kTokenWindDirection] = 270.0;
    benchApi.readVariable = readVariable;
    benchApi.sendEvent = sendEvent;
    ImportTable.hostApi = &benchApi;
}

void resetModule() {
    resetToLoadState();
    installBenchHost();
    handleService(&hoverGauge, kServiceConnectToWindow, 0);
}

void engageHold() {
    resetModule();
    togglePower();
    toggleGuard();
    pressEngage();
}

void powerOnDisengaged() {
    resetModule();
    togglePower();
}

}  // namespace bench
