// SPDX-License-Identifier: MIT
#include "tests/test_host.h"

#include "hostif/host_interface.h"
#include "module/gauge.h"

#include "fake_dinput.h"
#include "fake_platform.h"

namespace {

TestHost theHost;

}  // namespace

HostCall readOf(uint32_t token) {
    return HostCall{HostCall::kRead, token, 0};
}

HostCall eventOf(uint32_t event, int32_t value) {
    return HostCall{HostCall::kEvent, event, value};
}

void PrintTo(const HostCall& call, std::ostream* os) {
    if (call.kind == HostCall::kRead) {
        *os << "read(" << call.id << ")";
    } else {
        *os << "event(" << call.id << ", " << call.value << ")";
    }
}

TestHost& testHost() {
    return theHost;
}

void TestHost::install() {
    table_.restoreEntries();
    values_.clear();
    trace_.clear();
    table_.attach(ImportTable, *this);
}

void TestHost::uninstall() {
    table_.detach();
}

double TestHost::get(uint32_t token) const {
    auto it = values_.find(token);
    return it == values_.end() ? 0.0 : it->second;
}

std::vector<HostCall> TestHost::events() const {
    std::vector<HostCall> result;
    for (const HostCall& call : trace_) {
        if (call.kind == HostCall::kEvent) {
            result.push_back(call);
        }
    }
    return result;
}

void TestHost::onRead(HostVar* variable) {
    trace_.push_back(readOf(variable->tokenId));
    variable->value = get(variable->tokenId);
}

uint32_t TestHost::onEvent(uint32_t eventId, int32_t value) {
    trace_.push_back(eventOf(eventId, value));
    return 0;
}

void resetModuleState() {
    resetToLoadState();
    fakeplatform::resetWindows();
    fakeplatform::resetDirectInput();
}
