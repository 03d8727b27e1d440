// SPDX-License-Identifier: MIT
//
// The host's mouse over the gauge: clicks named by the area of the face they
// land on, hit-tested against the gauge's own mouse rectangle table, and
// held buttons that the host repeats for areas that ask for it.
#ifndef HOVER_SIM_HOST_MOUSE_H
#define HOVER_SIM_HOST_MOUSE_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/gauge_sdk.h"

namespace host {

// One point of the face per named control: the centre of that control as it
// is laid out on the 367 x 265 face. Which handler a point reaches is the
// module's table's business.
struct NamedPoint {
    std::string_view name;
    PixelPoint point;
};
std::span<const NamedPoint> namedPoints();
std::optional<PixelPoint> pointOf(std::string_view areaName);
std::string areaNames();  // "power, guard, ..." for help texts
// The same for the logging gauge's face: its record switch and its
// excitation button.
std::span<const NamedPoint> loggerNamedPoints();
std::optional<PixelPoint> loggerPointOf(std::string_view areaName);
std::string loggerAreaNames();  // "record, excite"

// Every area of the table with its place on the face, in table order. Areas
// lie relative to their group's box, and nested groups add up; a table runs
// to its end record (or at most kMaxRecords records, for a table that lacks
// one).
struct PlacedArea {
    const MouseRect* record;
    int64_t left;
    int64_t top;
};
std::vector<PlacedArea> placedAreas(const MouseRect* table);

// The area of the table that a left click at `point` reaches, or null.
const MouseRect* hitTest(const MouseRect* table, PixelPoint point);
constexpr int kMaxRecords = 256;

// Held repeat areas are called at this rate, the press itself being the
// first call: a button held for 2 s makes 20 calls. Counted in host frames
// so that a run does not depend on the machine's clock.
constexpr int kRepeatsPerSecond = 10;

class Mouse {
public:
    explicit Mouse(const MouseRect* table) : table_(table) {}

    // A click: button down and up within one frame. Returns false when the
    // point reaches no area.
    bool click(PixelPoint point);

    // Button down at `point` and held: one call now and, if the area
    // repeats, further calls from frame() until release().
    bool press(PixelPoint point);
    void release();
    bool held() const { return held_ != nullptr; }

    // Once per host frame at `framesPerSecond`: the repeated calls due.
    void frame(int framesPerSecond);

    // Handler calls made so far.
    uint64_t calls() const { return calls_; }

private:
    void call(const MouseRect* area, PixelPoint point, uint32_t flags);

    const MouseRect* table_;
    const MouseRect* held_ = nullptr;
    PixelPoint heldPoint_{};
    int64_t heldFrames_ = 0;
    int64_t repeatsMade_ = 0;
    uint64_t calls_ = 0;
};

}  // namespace host

#endif
