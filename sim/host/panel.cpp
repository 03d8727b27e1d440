// SPDX-License-Identifier: MIT
#include "sim/host/panel.h"

#include <algorithm>
#include <cstring>

namespace host {

namespace {

constexpr walk::Limits kWalkLimits{.maxDepth = 32, .maxListLength = 256};
constexpr size_t kMaxElements = 512;
constexpr int kMaxFailureEntries = 16;
constexpr size_t kGuardBytes = 16;
constexpr char kGuardByte = '\x5a';
// A text element that names no character count still gets room for a line.
constexpr size_t kDefaultTextLength = 32;
constexpr uint32_t kLongestTextCount = 255;

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

std::string where(const GaugeElement* element) {
    std::string place = "(";
    place += std::to_string(element->x);
    place += ',';
    place += std::to_string(element->y);
    place += ')';
    return place;
}

// What the face's own icons and markers tell the host.
void readIcon(const GaugeElement* element, double value, PanelReading& reading) {
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
}

// The speed cross carries forward on y (drawn upwards, so negated) and right
// on x; the yaw scale only x, the vertical scale only y.
void readMarker(const ElementVisit& v, PanelReading& reading) {
    if (v.element->bitmapId != kSetMarkerBitmap) {
        return;
    }
    if (v.xValue && v.yValue) {
        reading.rightSpeedSet = *v.xValue;
        reading.forwardSpeedSet = -*v.yValue;
    } else if (v.xValue) {
        reading.turnRateSet = *v.xValue;
    } else if (v.yValue) {
        reading.upSpeedSet = -*v.yValue;
    }
}

}  // namespace

Panel::Panel(GaugeHeader* gauge) : gauge_(gauge) {
    if (gauge_ != nullptr) {
        collect(gauge_->elements);
    }
    texts_.reserve(elements_.size());
    for (GaugeElement* element : elements_) {
        if (element->kind != kElementText) {
            continue;
        }
        auto* text = reinterpret_cast<TextElement*>(element);
        const size_t length = text->charCount > 0 && text->charCount <= kLongestTextCount
                                  ? text->charCount + 1
                                  : kDefaultTextLength;
        Text entry{text, std::vector<char>(length + kGuardBytes, kGuardByte), length};
        texts_.push_back(std::move(entry));
        text->buffer = texts_.back().buffer.data();
    }
    frame_.elements.reserve(elements_.size());
}

void Panel::fault(const std::string& description) {
    if (std::find(faults_.begin(), faults_.end(), description) == faults_.end()) {
        faults_.push_back(description);
    }
}

void Panel::collect(ElementList* roots) {
    auto visit = [this](GaugeElement* element, int depth) {
        if (std::find(elements_.begin(), elements_.end(), element) != elements_.end()) {
            fault("an element appears twice in the element tree");
            return walk::Next::kSkip;
        }
        if (elements_.size() >= kMaxElements) {
            fault("the element tree has more than " + std::to_string(kMaxElements) + " elements");
            return walk::Next::kEnd;
        }
        elements_.push_back(element);
        depths_.push_back(depth);
        return walk::Next::kDescend;
    };
    auto stopped = [this](walk::Stop stop) {
        if (stop == walk::Stop::kTooDeep) {
            fault("the element tree is nested deeper than " + std::to_string(kWalkLimits.maxDepth));
        } else {
            fault("an element list is longer than " + std::to_string(kWalkLimits.maxListLength) + " entries");
        }
    };
    walk::forEachElement(roots, kWalkLimits, visit, stopped);
}

const PanelFrame& Panel::walk(const TokenSource& tokens, bool panelLightsFailed) {
    frame_.elements.clear();
    frame_.reading = PanelReading{};
    for (size_t i = 0; i < elements_.size(); ++i) {
        ElementVisit v;
        v.element = elements_[i];
        v.depth = depths_[i];
        v.failed = panelLightsFailed && hiddenByPanelFailure(v.element);
        if (!v.failed) {
            visit(v, tokens, frame_.reading);
            ++frame_.reading.elementsDrawn;
        }
        v.drawFlags = v.element->drawFlags;
        frame_.elements.push_back(std::move(v));
    }
    return frame_;
}

double Panel::call(ElementCallback callback, GaugeElement* element) {
    ++callbackCalls_;
    return callback(element);
}

void Panel::visit(ElementVisit& v, const TokenSource& tokens, PanelReading& reading) {
    GaugeElement* element = v.element;
    walk::fillSlots(element, tokens);
    switch (element->kind) {
    case kElementIcon: {
        auto* icon = reinterpret_cast<IconElement*>(element);
        if (icon->callback != nullptr) {
            v.value = call(icon->callback, element);
            v.called = true;
            readIcon(element, *v.value, reading);
        }
        break;
    }
    case kElementSlider: {
        auto* slider = reinterpret_cast<SliderElement*>(element);
        if (slider->xCallback != nullptr) {
            v.xValue = call(slider->xCallback, element);
            v.called = true;
        }
        if (slider->yCallback != nullptr) {
            v.yValue = call(slider->yCallback, element);
            v.called = true;
        }
        readMarker(v, reading);
        break;
    }
    case kElementText: {
        auto* text = reinterpret_cast<TextElement*>(element);
        callText(text, v, reading);
        break;
    }
    case kElementMovingImage: {
        auto* moving = reinterpret_cast<MovingImageElement*>(element);
        if (moving->yCallback != nullptr) {
            v.value = call(moving->yCallback, element);
            v.called = true;
        }
        break;
    }
    default:
        // A static image has nothing to call; other kinds are the
        // renderer's to refuse.
        break;
    }
}

void Panel::callText(TextElement* text, ElementVisit& v, PanelReading& reading) {
    GaugeElement* element = &text->base;
    if (text->callback == nullptr) {
        return;
    }
    auto entry =
        std::find_if(texts_.begin(), texts_.end(), [text](const Text& t) { return t.element == text; });
    if (entry == texts_.end()) {
        return;
    }
    // The buffer pointer is a host field; put it back in case the module
    // wrote over it.
    text->buffer = entry->buffer.data();
    std::fill(entry->buffer.begin(), entry->buffer.end(), kGuardByte);
    const double value = call(text->callback, element);
    v.value = value;
    v.called = true;
    const char* begin = entry->buffer.data();
    const char* end = begin + entry->length;
    const char* terminator = std::find(begin, end, '\0');
    v.text.assign(begin, terminator);
    if (std::any_of(entry->buffer.begin() + static_cast<std::ptrdiff_t>(entry->length), entry->buffer.end(),
                    [](char c) { return c != kGuardByte; })) {
        fault("a text callback wrote past its " + std::to_string(entry->length) + "-byte buffer at "
              + where(element));
    } else if (terminator == end) {
        fault("a text callback left its text unterminated at " + where(element));
    }
    if (element->x == kTargetTextX && element->y == kTargetTextY) {
        reading.targetHeightFt = value;
        if (terminator != end) {
            reading.targetHeightText.assign(begin, terminator);
        }
    }
}

}  // namespace host
