// SPDX-License-Identifier: MIT
#include "sim/host/gauge_host.h"

#include <algorithm>

namespace host {

namespace {

// The module calls plain functions through the table, with no context: they
// reach the one host that has attached itself.
using Table = hostside::HostTable<GaugeHost>;

constexpr uint32_t kServedTokens[] = {
    kTokenYawRate,          kTokenPitch,
    kTokenHeadingDisplay,   kTokenHeading,
    kTokenThrottlePosition, kTokenElevatorPosition,
    kTokenAileronPosition,  kTokenRudderPosition,
    kTokenWindSpeed,        kTokenWindDirection,
    kTokenVelocityNorth,    kTokenVelocityEast,
    kTokenVerticalSpeed,    kTokenSimulationTime,
    kTokenRadarHeight,      kTokenOperating,
};

bool isServed(uint32_t token) {
    return std::find(std::begin(kServedTokens), std::end(kServedTokens), token) != std::end(kServedTokens);
}

void noteOnce(std::vector<uint32_t>& list, uint32_t id) {
    if (std::find(list.begin(), list.end(), id) == list.end()) {
        list.push_back(id);
    }
}

// The host keeps an axis within its travel whatever value an event carries.
double limitAxis(int32_t value, int32_t lowest, int32_t highest) {
    return static_cast<double>(std::clamp(value, lowest, highest));
}

}  // namespace

GaugeHost::GaugeHost() = default;

GaugeHost::~GaugeHost() {
    detach();
}

bool GaugeHost::attach(GaugeLinkage* linkage, GaugeImports* imports, const std::string& parameters,
                       std::string& error) {
    const GaugeHost* attached = Table::bound();
    if (attached != nullptr && attached != this) {
        error = "another host is attached";
        return false;
    }
    if (linkage == nullptr || imports == nullptr || linkage->gauges[0] == nullptr) {
        error = "the module's Linkage lists no gauge";
        return false;
    }
    if (linkage->gauges[0]->serviceCallback == nullptr) {
        error = "the gauge has no service callback";
        return false;
    }
    table_.attach(*imports, *this);
    gauge_ = linkage->gauges[0];
    parameterBuffer_.assign(parameters.begin(), parameters.end());
    parameterBuffer_.push_back('\0');
    gauge_->parameters = parameterBuffer_.data();
    return true;
}

void GaugeHost::detach() {
    if (Table::bound() != this) {
        return;
    }
    table_.detach();
    if (gauge_ != nullptr) {
        gauge_->parameters = nullptr;
    }
    gauge_ = nullptr;
}

void GaugeHost::service(uint32_t code, uintptr_t extra) {
    if (gauge_ != nullptr) {
        gauge_->serviceCallback(gauge_, code, extra);
    }
}

void GaugeHost::preInstall(uintptr_t moduleInstance) {
    service(kServicePreInstall, moduleInstance);
}

void GaugeHost::connectToWindow() {
    service(kServiceConnectToWindow, 0);
}

void GaugeHost::preUpdate() {
    service(kServicePreUpdate, 0);
}

void GaugeHost::preKill() {
    service(kServicePreKill, 0);
}

void GaugeHost::setToken(uint32_t token, double value) {
    if (token < kTokenLimit) {
        values_[token] = value;
    }
}

double GaugeHost::token(uint32_t token) const {
    switch (token) {
    case kTokenElevatorPosition:
        return controls_.elevator;
    case kTokenAileronPosition:
        return controls_.aileron;
    case kTokenRudderPosition:
        return controls_.rudder;
    case kTokenThrottlePosition:
        return controls_.throttle;
    default:
        return token < kTokenLimit ? values_[token] : 0.0;
    }
}

void GaugeHost::onRead(HostVar* variable) {
    if (variable == nullptr) {
        return;
    }
    if (!isServed(variable->tokenId)) {
        noteOnce(unknownTokens_, variable->tokenId);
    }
    variable->value = token(variable->tokenId);
}

uint32_t GaugeHost::onEvent(uint32_t eventId, int32_t value) {
    events_.push_back(SentEvent{eventId, value});
    switch (eventId) {
    case kEventElevator:
        controls_.elevator = limitAxis(value, -16383, 16383);
        break;
    case kEventAileron:
        controls_.aileron = limitAxis(value, -16383, 16383);
        break;
    case kEventRudder:
        controls_.rudder = limitAxis(value, -16383, 16383);
        break;
    case kEventThrottle:
        controls_.throttle = limitAxis(value, 0, 16384);
        break;
    default:
        noteOnce(unknownEvents_, eventId);
        break;
    }
    return 0;
}

}  // namespace host
