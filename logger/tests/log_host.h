// SPDX-License-Identifier: MIT
//
// A fake host for the logger's tests: the host's function table
// (sdk/host_table.h) answering readings by token and recording every axis
// event, each of which moves its axis's position reading as the host's
// event queue does before the next update, a fresh scratch folder per test for the logs, and a clock the test
// sets. A test drives the module as the host does: through the gauge header
// Linkage names (its service callback, its mouse table and its elements).
#ifndef HOVER_LOGGER_TESTS_LOG_HOST_H
#define HOVER_LOGGER_TESTS_LOG_HOST_H

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "logger/record/log_file.h"
#include "sdk/gauge_sdk.h"
#include "sdk/host_table.h"

struct SentEvent {
    uint32_t id;
    int32_t value;
    bool operator==(const SentEvent&) const = default;
};
void PrintTo(const SentEvent& event, std::ostream* os);

class LogHost {
public:
    void install();
    void uninstall();
    void set(uint32_t token, double value) { values_[token] = value; }
    double get(uint32_t token) const;
    const std::vector<SentEvent>& events() const { return events_; }
    void clearEvents() { events_.clear(); }

    void onRead(HostVar* variable);
    uint32_t onEvent(uint32_t eventId, int32_t value);

private:
    hostside::HostTable<LogHost> table_;
    std::map<uint32_t, double> values_;
    std::vector<SentEvent> events_;
};

LogHost& logHost();

// The local time the module's clock reads in the tests.
extern CalendarTime testClockTime;
bool testClock(CalendarTime& now);

// The whole file as bytes; empty when it cannot be read.
std::string readWholeFile(const std::filesystem::path& path);
// The file's lines without their '\n'; a last line without one is kept.
std::vector<std::string> linesOf(const std::string& text);
// The CSV cells of one line.
std::vector<std::string> cellsOf(const std::string& line);

// The start of every test that drives the module: the module as a fresh
// load with the test clock, the host's table installed with a hovering
// aircraft's readings, and an empty scratch folder.
class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The host's calls.
    GaugeHeader& gauge() const;
    void preInstall(const std::string& parameters);
    void update();
    void preKill();
    void clickArea(int index);  // the table's areas in order: 0 record, 1 excite
    void clickRecord() { clickArea(0); }
    void clickExcite() { clickArea(1); }

    // The logs in the scratch folder, by name.
    std::vector<std::filesystem::path> logs() const;

    std::filesystem::path folder_;
    std::string parameters_;  // the string the header points at
};

#endif
