// SPDX-License-Identifier: MIT
//
// The host drawing the gauge: it walks the element tree the gauge header
// points to, fills each element's variable slots, gives each text element a
// buffer, and calls every value callback. Nothing is painted; what the host
// keeps is what the callbacks returned, which is all a host can learn of the
// unit's state: the switch, the guard and the lamp from their icons, the
// set points from their markers and the target height from its readout.
#ifndef HOVER_SIM_HOST_PANEL_H
#define HOVER_SIM_HOST_PANEL_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sdk/gauge_sdk.h"

namespace host {

// What one drawing showed. A value is absent when no element shows it or
// when its element was not drawn (hidden by the active failure).
struct PanelReading {
    std::optional<bool> powerOn;       // the toggle lever up
    std::optional<bool> guardOpen;     // the cover flipped up
    std::optional<bool> lampLit;       // the HVR lamp
    std::optional<bool> screenOn;      // the screen drawn
    std::optional<double> targetHeightFt;
    std::optional<double> forwardSpeedSet;  // m/s, as the markers show it (limited to +-3)
    std::optional<double> rightSpeedSet;
    std::optional<double> upSpeedSet;
    std::optional<double> turnRateSet;      // deg/s
    std::string targetHeightText;
    int elementsDrawn = 0;
};

// The host tokens a slot may name, by number.
using TokenSource = std::function<double(uint32_t)>;

class Panel {
public:
    explicit Panel(GaugeHeader* gauge);

    // Whether the gauge has an element tree at all.
    bool hasElements() const { return !elements_.empty(); }

    // One drawing. While `panelLightsFailed`, elements whose failure list
    // hides them under failure 21 are neither drawn nor called.
    PanelReading draw(const TokenSource& tokens, bool panelLightsFailed);

    // Faults seen in the module's records or callbacks (a text written past
    // its buffer, an element list that loops), each described once.
    const std::vector<std::string>& faults() const { return faults_; }

private:
    struct Text {
        TextElement* element;
        std::vector<char> buffer;  // the text, then guard bytes
        size_t length;             // usable bytes, terminator included
    };

    void collect(ElementList* list, int depth);
    void drawElement(GaugeElement* element, const TokenSource& tokens, PanelReading& reading);
    void fault(const std::string& description);

    GaugeHeader* gauge_;
    std::vector<GaugeElement*> elements_;  // in drawing order
    std::vector<Text> texts_;
    std::vector<std::string> faults_;
};

}  // namespace host

#endif
