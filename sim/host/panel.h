// SPDX-License-Identifier: MIT
//
// The host's pass over the gauge's face each frame: it walks the element
// tree the gauge header points to, fills each element's variable slots,
// gives each text element a buffer, and calls every value callback, once.
// What it keeps is what the callbacks returned, element by element (the
// walk a renderer paints from), and what a host can learn from it of the
// unit's state: the switch, the guard and the lamp from their icons, the
// set points from their markers and the target height from its readout.
//
// How this host walks what the records leave to the host:
// - An element comes first, then each element of its overlay list in
//   order, each followed by its own list (sdk/element_walk.h).
// - An element whose failure list asks for action 3 under failure 21 is
//   neither called nor drawn while that failure is active; the elements of
//   its overlay list carry their own failure lists and are judged by those.
// - Every other element's callbacks are called, also under an element that
//   hides itself (draw flag bit 25): hiding is a matter of what is painted,
//   and the readouts under a hidden screen still tell the host their values.
// - The host owns each text element's buffer: character count + 1 bytes
//   (32 when the record names no count), put into the record before every
//   call, followed by guard bytes that tell when a callback wrote past it.
#ifndef HOVER_SIM_HOST_PANEL_H
#define HOVER_SIM_HOST_PANEL_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sdk/element_walk.h"
#include "sdk/gauge_sdk.h"

namespace host {

// What one walk showed. A value is absent when no element shows it or when
// its element was not called (hidden by the active failure).
struct PanelReading {
    std::optional<bool> powerOn;    // the toggle lever up
    std::optional<bool> guardOpen;  // the cover flipped up
    std::optional<bool> lampLit;    // the HVR lamp
    std::optional<bool> screenOn;   // the screen drawn
    std::optional<double> targetHeightFt;
    std::optional<double> forwardSpeedSet;  // m/s, as the markers show it (limited to +-3)
    std::optional<double> rightSpeedSet;
    std::optional<double> upSpeedSet;
    std::optional<double> turnRateSet;  // deg/s
    std::string targetHeightText;
    int elementsDrawn = 0;
};

// One element as the walk met it, and one frame's walk in drawing order
// with what the host read off the face.
using ElementVisit = walk::ElementVisit;
struct PanelFrame : walk::Frame {
    PanelReading reading;
};

// The host tokens a slot may name, by number.
using TokenSource = std::function<double(uint32_t)>;

class Panel {
public:
    explicit Panel(GaugeHeader* gauge);

    GaugeHeader* gauge() const { return gauge_; }

    // Whether the gauge has an element tree at all.
    bool hasElements() const { return !elements_.empty(); }

    // One walk: every callback on the way called once. While
    // `panelLightsFailed`, elements whose failure list hides them under
    // failure 21 are neither called nor drawn.
    const PanelFrame& walk(const TokenSource& tokens, bool panelLightsFailed);
    const PanelFrame& frame() const { return frame_; }

    // Value callbacks called so far, over all walks.
    uint64_t callbackCalls() const { return callbackCalls_; }

    // Faults seen in the module's records or callbacks (a text written past
    // its buffer, an element list that loops), each described once.
    const std::vector<std::string>& faults() const { return faults_; }

private:
    struct Text {
        TextElement* element;
        std::vector<char> buffer;  // the text, then guard bytes
        size_t length;             // usable bytes, terminator included
    };

    void collect(ElementList* roots);
    void visit(ElementVisit& visit, const TokenSource& tokens, PanelReading& reading);
    double call(ElementCallback callback, GaugeElement* element);
    void callText(TextElement* text, ElementVisit& visit, PanelReading& reading);
    void fault(const std::string& description);

    GaugeHeader* gauge_;
    std::vector<GaugeElement*> elements_;  // in drawing order
    std::vector<int> depths_;
    std::vector<Text> texts_;
    PanelFrame frame_;
    uint64_t callbackCalls_ = 0;
    std::vector<std::string> faults_;
};

}  // namespace host

#endif
