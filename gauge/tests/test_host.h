// SPDX-License-Identifier: MIT
//
// A fake host for the unit tests: the host's function table
// (sdk/host_table.h) answering with token values by id, recording every
// reading and every event, in order, in one trace.
#ifndef HOVER_TESTS_TEST_HOST_H
#define HOVER_TESTS_TEST_HOST_H

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <vector>

#include "control/controller.h"
#include "state/state.h"
#include "sdk/gauge_sdk.h"
#include "sdk/host_table.h"

// The twelve gain keys and their defaults as the README documents them, in
// the order the module reads them: the expected behaviour, written out here
// rather than taken from the module, and the one such table of the tests.
struct DocumentedGain {
    const char* key;
    AxisLoop ControllerState::*loop;
    double AxisLoop::*gain;
    double defaultValue;
};

inline constexpr DocumentedGain kDocumentedGains[] = {
    {.key = "KprTurn", .loop = &ControllerState::turn, .gain = &AxisLoop::Kpr, .defaultValue = 500.0},
    {.key = "TvTurn", .loop = &ControllerState::turn, .gain = &AxisLoop::Tv, .defaultValue = 2.0},
    {.key = "TnTurn", .loop = &ControllerState::turn, .gain = &AxisLoop::Tn, .defaultValue = 1.0},
    {.key = "KprRight", .loop = &ControllerState::right, .gain = &AxisLoop::Kpr, .defaultValue = 1000.0},
    {.key = "TvRight", .loop = &ControllerState::right, .gain = &AxisLoop::Tv, .defaultValue = 8.0},
    {.key = "TnRight", .loop = &ControllerState::right, .gain = &AxisLoop::Tn, .defaultValue = 2.0},
    {.key = "KprForward", .loop = &ControllerState::forward, .gain = &AxisLoop::Kpr, .defaultValue = -1000.0},
    {.key = "TvForward", .loop = &ControllerState::forward, .gain = &AxisLoop::Tv, .defaultValue = 8.0},
    {.key = "TnForward", .loop = &ControllerState::forward, .gain = &AxisLoop::Tn, .defaultValue = 2.0},
    {.key = "KprUp", .loop = &ControllerState::up, .gain = &AxisLoop::Kpr, .defaultValue = -2000.0},
    {.key = "TvUp", .loop = &ControllerState::up, .gain = &AxisLoop::Tv, .defaultValue = 2.0},
    {.key = "TnUp", .loop = &ControllerState::up, .gain = &AxisLoop::Tn, .defaultValue = 4.0},
};

struct HostCall {
    enum Kind { kRead, kEvent } kind;
    uint32_t id;    // token or event id
    int32_t value;  // event value; 0 for readings

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
    hostside::HostTable<TestHost> table_;
    std::map<uint32_t, double> values_;
    std::vector<HostCall> trace_;
};

// The one test host the table entries forward to.
TestHost& testHost();

// Puts the module back to its load-time state, as if it had just been
// loaded, and the Linux platform stand-ins back to a machine with no window
// and no joystick.
void resetModuleState();

// The start of every module test: the module as a fresh load, the controller
// as the host's connect-to-window leaves it (gains at their defaults, target
// height 100 ft, everything off), and the test host's table installed with no
// values and an empty trace. Each test ends with the module back at load, so
// no DirectInput object outlives it.
class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetModuleState();
        resetController();
        testHost().install();
    }
    void TearDown() override { resetModuleState(); }
};

#endif
