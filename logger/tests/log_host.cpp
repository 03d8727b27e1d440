// SPDX-License-Identifier: MIT
#include "log_host.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "hostif/host_interface.h"
#include "logger/module/log_gauge.h"
#include "logger/session/logger.h"

namespace {

LogHost theHost;
int folderCount = 0;

}  // namespace

void PrintTo(const SentEvent& event, std::ostream* os) {
    *os << "event(" << event.id << ", " << event.value << ")";
}

LogHost& logHost() {
    return theHost;
}

void LogHost::install() {
    table_.restoreEntries();
    values_.clear();
    events_.clear();
    table_.attach(ImportTable, *this);
}

void LogHost::uninstall() {
    table_.detach();
}

double LogHost::get(uint32_t token) const {
    const auto it = values_.find(token);
    return it == values_.end() ? 0.0 : it->second;
}

void LogHost::onRead(HostVar* variable) {
    variable->value = get(variable->tokenId);
}

uint32_t LogHost::onEvent(uint32_t eventId, int32_t value) {
    events_.push_back(SentEvent{eventId, value});
    const uint32_t axisEvents[] = {kEventElevator, kEventAileron, kEventRudder, kEventThrottle};
    const uint32_t positions[] = {kTokenElevatorPosition, kTokenAileronPosition, kTokenRudderPosition,
                                  kTokenThrottlePosition};
    for (int i = 0; i < 4; ++i) {
        if (axisEvents[i] == eventId) {
            values_[positions[i]] = value;
        }
    }
    return 0;
}

CalendarTime testClockTime = {.year = 2026, .month = 3, .day = 7, .hour = 14, .minute = 5, .second = 9};

bool testClock(CalendarTime& now) {
    now = testClockTime;
    return true;
}

std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> cellsOf(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, ',')) {
        cells.push_back(cell);
    }
    return cells;
}

void LoggerTest::SetUp() {
    resetLoggerToLoadState();
    logger.clock = testClock;
    testClockTime = {.year = 2026, .month = 3, .day = 7, .hour = 14, .minute = 5, .second = 9};
    logHost().install();
    // A steady hover: every reading a value of its own, controls near trim.
    LogHost& host = logHost();
    host.set(kTokenSimulationTime, 100.0);
    host.set(kTokenHeading, 90.0);
    host.set(kTokenRadarHeight, 100.0);
    host.set(kTokenElevatorPosition, 800.0);
    host.set(kTokenAileronPosition, -200.0);
    host.set(kTokenRudderPosition, 2900.0);
    host.set(kTokenThrottlePosition, 8900.0);
    host.set(kTokenOperating, 100.0);
    folder_ = std::filesystem::temp_directory_path()
              / ("hoverlog_tests_" + std::to_string(folderCount++) + "_"
                 + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
}

void LoggerTest::TearDown() {
    resetLoggerToLoadState();
    logHost().uninstall();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

GaugeHeader& LoggerTest::gauge() const {
    return *Linkage.gauges[0];
}

void LoggerTest::preInstall(const std::string& parameters) {
    parameters_ = "folder=" + folder_.generic_string() + " " + parameters;
    gauge().parameters = parameters_.data();
    gauge().serviceCallback(&gauge(), kServicePreInstall, 0);
}

void LoggerTest::update() {
    gauge().serviceCallback(&gauge(), kServicePreUpdate, 0);
}

void LoggerTest::preKill() {
    gauge().serviceCallback(&gauge(), kServicePreKill, 0);
}

void LoggerTest::clickArea(int index) {
    int seen = 0;
    for (MouseRect* rect = gauge().mouseRects; rect->kind != kMouseEndOfTable; ++rect) {
        if (rect->kind != kMouseArea) {
            continue;
        }
        if (seen++ == index) {
            PixelPoint centre{rect->x + rect->width / 2, rect->y + rect->height / 2};
            rect->handler(&centre, kMouseLeftSingle);
            return;
        }
    }
    ADD_FAILURE() << "no click area " << index;
}

std::vector<std::filesystem::path> LoggerTest::logs() const {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
        found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}
