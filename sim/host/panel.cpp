// SPDX-License-Identifier: MIT
#include "sim/host/panel.h"

#include <algorithm>
#include <cstring>

namespace host {

namespace {

constexpr int kMaxDepth = 32;
constexpr int kMaxListLength = 64;
constexpr size_t kMaxElements = 512;
constexpr int kMaxFailureEntries = 16;
constexpr size_t kGuardBytes = 16;
constexpr char kGuardByte = '\x5a';
// A text element that names no character count still gets room for a line.
constexpr size_t kDefaultTextLength = 32;

// Bitmap ids of the face's icons and of the set-point marker.
constexpr int32_t kPowerSwitchBitmap = 50;
constexpr int32_t kScreenBitmap = 60;
constexpr int32_t kGuardBitmap = 70;
constexpr int32_t kLampBitmap = 80;
constexpr int32_t kSetMarkerBitmap = 35;
// The target height readout's place on the face.
constexpr int32_t kTargetTextX = 120;
constexpr int32_t kTargetTextY = 169;

bool hiddenByPanelFailure(const GaugeElement* element) {
    if (element->failures == nullptr) {
        return false;
    }
    for (int i = 0; i < kMaxFailureEntries; ++i) {
        const FailureEntry& entry = element->failures[i];
        if (entry.key == 0) {
            break;
        }
        if (entry.key == kFailurePanelLights && entry.action == kFailureActionHide) {
            return true;
        }
    }
    return false;
}

void fill(HostVar& slot, const TokenSource& tokens) {
    if (slot.tokenId != 0) {
        slot.value = tokens(slot.tokenId);
    }
}

}  // namespace

Panel::Panel(GaugeHeader* gauge) : gauge_(gauge) {
    if (gauge_ != nullptr) {
        collect(gauge_->elements, 0);
    }
    texts_.reserve(elements_.size());
    for (GaugeElement* element : elements_) {
        if (element->kind != kElementText) {
            continue;
        }
        auto* text = reinterpret_cast<TextElement*>(element);
        const size_t length =
            text->charCount > 0 && text->charCount < 256 ? text->charCount + 1 : kDefaultTextLength;
        Text entry{text, std::vector<char>(length + kGuardBytes, kGuardByte), length};
        texts_.push_back(std::move(entry));
        text->buffer = texts_.back().buffer.data();
    }
}

void Panel::fault(const std::string& description) {
    if (std::find(faults_.begin(), faults_.end(), description) == faults_.end()) {
        faults_.push_back(description);
    }
}

void Panel::collect(ElementList* list, int depth) {
    if (list == nullptr) {
        return;
    }
    if (depth > kMaxDepth) {
        fault("the element tree is nested deeper than " + std::to_string(kMaxDepth));
        return;
    }
    for (int i = 0; i < kMaxListLength && list[i] != nullptr; ++i) {
        GaugeElement* element = list[i];
        if (std::find(elements_.begin(), elements_.end(), element) != elements_.end()) {
            fault("an element appears twice in the element tree");
            continue;
        }
        if (elements_.size() >= kMaxElements) {
            fault("the element tree has more than " + std::to_string(kMaxElements) + " elements");
            return;
        }
        elements_.push_back(element);
        collect(element->overlays, depth + 1);
    }
}

PanelReading Panel::draw(const TokenSource& tokens, bool panelLightsFailed) {
    PanelReading reading;
    for (GaugeElement* element : elements_) {
        if (panelLightsFailed && hiddenByPanelFailure(element)) {
            continue;
        }
        drawElement(element, tokens, reading);
        ++reading.elementsDrawn;
    }
    return reading;
}

void Panel::drawElement(GaugeElement* element, const TokenSource& tokens, PanelReading& reading) {
    switch (element->kind) {
    case kElementIcon: {
        auto* icon = reinterpret_cast<IconElement*>(element);
        fill(icon->var, tokens);
        if (icon->callback == nullptr) {
            break;
        }
        const double value = icon->callback(element);
        switch (element->bitmapId) {
        case kPowerSwitchBitmap:
            reading.powerOn = value == 1.0;
            break;
        case kGuardBitmap:
            reading.guardOpen = value == 1.0;
            break;
        case kLampBitmap:
            reading.lampLit = value == 0.0;
            break;
        case kScreenBitmap:
            reading.screenOn = value == 0.0 && (element->drawFlags & kDrawHidden) == 0;
            break;
        default:
            break;
        }
        break;
    }
    case kElementSlider: {
        auto* slider = reinterpret_cast<SliderElement*>(element);
        fill(slider->xVar, tokens);
        fill(slider->yVar, tokens);
        std::optional<double> x;
        std::optional<double> y;
        if (slider->xCallback != nullptr) {
            x = slider->xCallback(element);
        }
        if (slider->yCallback != nullptr) {
            y = slider->yCallback(element);
        }
        if (element->bitmapId == kSetMarkerBitmap) {
            // The speed cross carries forward on y (drawn upwards, so
            // negated) and right on x; the yaw scale only x, the vertical
            // scale only y.
            if (x && y) {
                reading.rightSpeedSet = *x;
                reading.forwardSpeedSet = -*y;
            } else if (x) {
                reading.turnRateSet = *x;
            } else if (y) {
                reading.upSpeedSet = -*y;
            }
        }
        break;
    }
    case kElementText: {
        auto* text = reinterpret_cast<TextElement*>(element);
        for (HostVar& slot : text->vars) {
            fill(slot, tokens);
        }
        if (text->callback == nullptr) {
            break;
        }
        auto entry = std::find_if(texts_.begin(), texts_.end(),
                                  [text](const Text& t) { return t.element == text; });
        if (entry == texts_.end()) {
            break;
        }
        // The buffer pointer is a host field; put it back in case the
        // module wrote over it.
        text->buffer = entry->buffer.data();
        std::fill(entry->buffer.begin(), entry->buffer.end(), kGuardByte);
        const double value = text->callback(element);
        const char* begin = entry->buffer.data();
        const char* end = begin + entry->length;
        const char* terminator = std::find(begin, end, '\0');
        if (std::any_of(entry->buffer.begin() + static_cast<std::ptrdiff_t>(entry->length),
                        entry->buffer.end(), [](char c) { return c != kGuardByte; })) {
            fault("a text callback wrote past its " + std::to_string(entry->length) +
                  "-byte buffer at (" + std::to_string(element->x) + "," +
                  std::to_string(element->y) + ")");
        } else if (terminator == end) {
            fault("a text callback left its text unterminated at (" + std::to_string(element->x) +
                  "," + std::to_string(element->y) + ")");
        }
        const bool isTarget = element->x == kTargetTextX && element->y == kTargetTextY;
        if (isTarget) {
            reading.targetHeightFt = value;
            if (terminator != end) {
                reading.targetHeightText.assign(begin, terminator);
            }
        }
        break;
    }
    case kElementMovingImage: {
        auto* moving = reinterpret_cast<MovingImageElement*>(element);
        fill(moving->xVar, tokens);
        fill(moving->yVar, tokens);
        if (moving->yCallback != nullptr) {
            moving->yCallback(element);
        }
        break;
    }
    default:
        break;
    }
}

}  // namespace host
