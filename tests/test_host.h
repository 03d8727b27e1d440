// SPDX-License-Identifier: MIT
//
// A fake host for the unit tests: a function table at the host's entries
// that serves token values by id and records every reading and every event,
// in order, in one trace.
#ifndef HOVER_TESTS_TEST_HOST_H
#define HOVER_TESTS_TEST_HOST_H

#include <cstdint>
#include <map>
#include <ostream>
#include <vector>

#include "sdk/gauge_sdk.h"

struct HostCall {
    enum Kind { kRead, kEvent } kind;
    uint32_t id;     // token or event id
    int32_t value;   // event value; 0 for readings

    bool operator==(const HostCall&) const = default;
};

// Trace entry constructors that read well in expected sequences.
HostCall readOf(uint32_t token);
HostCall eventOf(uint32_t event, int32_t value);
void PrintTo(const HostCall& call, std::ostream* os);

class TestHost {
public:
    // Writes the table into ImportTable and clears values and trace.
    void install();
    // Takes the table out of ImportTable again: the host has not loaded yet.
    void uninstall();

    void set(uint32_t token, double value) { values_[token] = value; }
    double get(uint32_t token) const;

    const std::vector<HostCall>& trace() const { return trace_; }
    std::vector<HostCall> events() const;
    void clearTrace() { trace_.clear(); }

    // The table entries' targets.
    void onRead(HostVar* variable);
    uint32_t onEvent(uint32_t eventId, int32_t value);

private:
    HostApi api_{};
    std::map<uint32_t, double> values_;
    std::vector<HostCall> trace_;
};

// The one test host the table entries forward to.
TestHost& testHost();

// Puts the module back to its load-time state, as if it had just been
// loaded, and the Linux platform stand-ins back to a machine with no window
// and no joystick.
void resetModuleState();

#endif
