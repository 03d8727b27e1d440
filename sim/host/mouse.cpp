// SPDX-License-Identifier: MIT
#include "sim/host/mouse.h"

namespace host {

namespace {

constexpr NamedPoint kNamedPoints[] = {
    {"power", {285, 61}},       {"guard", {335, 92}},         {"engage", {335, 148}},
    {"height_up", {278, 132}},  {"height_down", {278, 164}},  {"center_speeds", {150, 104}},
    {"forward_up", {150, 63}},  {"forward_down", {150, 144}}, {"right_up", {190, 104}},
    {"right_down", {110, 104}}, {"center_turn", {146, 164}},  {"turn_up", {181, 164}},
    {"turn_down", {119, 164}},
};

// The centres of the logger's record switch and excitation button.
constexpr NamedPoint kLoggerNamedPoints[] = {
    {"record", {21, 37}},
    {"excite", {176, 40}},
};

std::optional<PixelPoint> find(std::span<const NamedPoint> points, std::string_view areaName) {
    for (const NamedPoint& named : points) {
        if (named.name == areaName) {
            return named.point;
        }
    }
    return std::nullopt;
}

std::string join(std::span<const NamedPoint> points) {
    std::string names;
    for (const NamedPoint& named : points) {
        if (!names.empty()) {
            names += ", ";
        }
        names += named.name;
    }
    return names;
}

}  // namespace

std::span<const NamedPoint> namedPoints() {
    return kNamedPoints;
}

std::optional<PixelPoint> pointOf(std::string_view areaName) {
    return find(namedPoints(), areaName);
}

std::string areaNames() {
    return join(namedPoints());
}

std::span<const NamedPoint> loggerNamedPoints() {
    return kLoggerNamedPoints;
}

std::optional<PixelPoint> loggerPointOf(std::string_view areaName) {
    return find(loggerNamedPoints(), areaName);
}

std::string loggerAreaNames() {
    return join(loggerNamedPoints());
}

std::vector<PlacedArea> placedAreas(const MouseRect* table) {
    std::vector<PlacedArea> areas;
    if (table == nullptr) {
        return areas;
    }
    // Nested groups shift their areas by the group box's corner.
    int32_t originX = 0;
    int32_t originY = 0;
    std::vector<std::pair<int32_t, int32_t>> groups;
    for (int i = 0; i < kMaxRecords; ++i) {
        const MouseRect& record = table[i];
        switch (record.kind) {
        case kMouseEndOfTable:
            return areas;
        case kMouseGroupStart:
            groups.emplace_back(originX, originY);
            originX += record.x;
            originY += record.y;
            break;
        case kMouseGroupEnd:
            if (!groups.empty()) {
                originX = groups.back().first;
                originY = groups.back().second;
                groups.pop_back();
            }
            break;
        case kMouseArea:
            areas.push_back(PlacedArea{&record, int64_t{originX} + record.x, int64_t{originY} + record.y});
            break;
        default:
            break;
        }
    }
    return areas;
}

const MouseRect* hitTest(const MouseRect* table, PixelPoint point) {
    for (const PlacedArea& area : placedAreas(table)) {
        const MouseRect& record = *area.record;
        const bool inside = point.x >= area.left && point.x < area.left + record.width && point.y >= area.top
                            && point.y < area.top + record.height;
        if (inside && (record.eventMask & kMouseLeftSingle) != 0 && record.handler != nullptr) {
            return &record;
        }
    }
    return nullptr;
}

void Mouse::call(const MouseRect* area, PixelPoint point, uint32_t flags) {
    ++calls_;
    area->handler(&point, flags);
}

bool Mouse::click(PixelPoint point) {
    const MouseRect* area = hitTest(table_, point);
    if (area == nullptr) {
        return false;
    }
    call(area, point, kMouseLeftSingle);
    return true;
}

bool Mouse::press(PixelPoint point) {
    release();
    const MouseRect* area = hitTest(table_, point);
    if (area == nullptr) {
        return false;
    }
    call(area, point, kMouseLeftSingle);
    if ((area->eventMask & kMouseRepeat) != 0) {
        held_ = area;
        heldPoint_ = point;
        heldFrames_ = 0;
        repeatsMade_ = 0;
    }
    return true;
}

void Mouse::release() {
    held_ = nullptr;
}

void Mouse::frame(int framesPerSecond) {
    if (held_ == nullptr || framesPerSecond <= 0) {
        return;
    }
    ++heldFrames_;
    // Repeats due after heldFrames_ frames at kRepeatsPerSecond, in whole
    // numbers so every run repeats on the same frames.
    const int64_t due = heldFrames_ * kRepeatsPerSecond / framesPerSecond;
    while (repeatsMade_ < due) {
        ++repeatsMade_;
        call(held_, heldPoint_, kMouseRepeat);
    }
}

}  // namespace host
