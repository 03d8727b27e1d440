// SPDX-License-Identifier: MIT
#include "sim/host/gauge_host.h"

#include <algorithm>
#include <string>

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
    kTokenBankLeft,
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

GaugeHost::GaugeHost() {
    gauges_.reserve(kMaxGauges);
}

GaugeHost::~GaugeHost() {
    detach();
}

namespace {

bool checkGauge(const GaugeLinkage* linkage, const GaugeImports* imports, std::string& error) {
    if (linkage == nullptr || imports == nullptr || linkage->gauges[0] == nullptr) {
        error = "the module's Linkage lists no gauge";
        return false;
    }
    if (linkage->gauges[0]->serviceCallback == nullptr) {
        error = "the gauge has no service callback";
        return false;
    }
    return true;
}

}  // namespace

bool GaugeHost::attach(GaugeLinkage* linkage, GaugeImports* imports, const std::string& parameters,
                       std::string& error) {
    const GaugeHost* attached = Table::bound();
    if (attached != nullptr && attached != this) {
        error = "another host is attached";
        return false;
    }
    if (!checkGauge(linkage, imports, error)) {
        return false;
    }
    detach();
    table_.attach(*imports, *this);
    gauges_.push_back(Attached{linkage->gauges[0], imports, {}});
    Attached& gauge = gauges_.back();
    gauge.parameters.assign(parameters.begin(), parameters.end());
    gauge.parameters.push_back('\0');
    gauge.header->parameters = gauge.parameters.data();
    return true;
}

int GaugeHost::attachAnother(GaugeLinkage* linkage, GaugeImports* imports, const std::string& parameters,
                             std::string& error) {
    if (gauges_.empty() || Table::bound() != this) {
        error = "no first gauge is attached";
        return -1;
    }
    if (gauges_.size() >= static_cast<size_t>(kMaxGauges)) {
        error = "the panel holds " + std::to_string(kMaxGauges) + " gauges already";
        return -1;
    }
    if (!checkGauge(linkage, imports, error)) {
        return -1;
    }
    for (const Attached& gauge : gauges_) {
        if (gauge.header == linkage->gauges[0] || gauge.imports == imports) {
            error = "the module is attached already";
            return -1;
        }
    }
    // The one table: every module of the panel reaches the same host.
    imports->hostApi = &table_.api();
    gauges_.push_back(Attached{linkage->gauges[0], imports, {}});
    Attached& gauge = gauges_.back();
    gauge.parameters.assign(parameters.begin(), parameters.end());
    gauge.parameters.push_back('\0');
    gauge.header->parameters = gauge.parameters.data();
    return static_cast<int>(gauges_.size()) - 1;
}

void GaugeHost::detach() {
    if (Table::bound() != this) {
        gauges_.clear();
        return;
    }
    for (size_t i = 1; i < gauges_.size(); ++i) {
        if (gauges_[i].imports->hostApi == &table_.api()) {
            gauges_[i].imports->hostApi = nullptr;
        }
    }
    table_.detach();
    for (Attached& gauge : gauges_) {
        gauge.header->parameters = nullptr;
    }
    gauges_.clear();
}

GaugeHeader* GaugeHost::gauge(int index) const {
    return index >= 0 && static_cast<size_t>(index) < gauges_.size() ? gauges_[static_cast<size_t>(index)].header
                                                                      : nullptr;
}

void GaugeHost::service(int index, uint32_t code, uintptr_t extra) {
    GaugeHeader* header = gauge(index);
    if (header == nullptr) {
        return;
    }
    // Events sent during the call are the served gauge's own.
    const int before = sender_;
    sender_ = index;
    header->serviceCallback(header, code, extra);
    sender_ = before;
}

void GaugeHost::preInstall(uintptr_t moduleInstance, int gauge) {
    service(gauge, kServicePreInstall, moduleInstance);
}

void GaugeHost::connectToWindow(int gauge) {
    service(gauge, kServiceConnectToWindow, 0);
}

void GaugeHost::preUpdate(int gauge) {
    service(gauge, kServicePreUpdate, 0);
}

void GaugeHost::preKill(int gauge) {
    service(gauge, kServicePreKill, 0);
}

const std::vector<SentEvent>& GaugeHost::eventsFrom(int sender) const {
    static const std::vector<SentEvent> none;
    return sender >= 0 && sender <= kPilotSender ? events_[static_cast<size_t>(sender)] : none;
}

void GaugeHost::clearEvents() {
    for (std::vector<SentEvent>& list : events_) {
        list.clear();
    }
}

void GaugeHost::setActingSender(int sender) {
    sender_ = std::clamp(sender, 0, kPilotSender);
}

void GaugeHost::pilotEvent(uint32_t eventId, int32_t value) {
    const int before = sender_;
    sender_ = kPilotSender;
    onEvent(eventId, value);
    sender_ = before;
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
    events_[static_cast<size_t>(std::clamp(sender_, 0, kPilotSender))].push_back(SentEvent{eventId, value});
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
