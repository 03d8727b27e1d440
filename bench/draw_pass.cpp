// SPDX-License-Identifier: MIT
#include "bench/draw_pass.h"

#include <cstdint>

#include "bench/bench_host.h"
#include "module/gauge.h"

namespace bench {

namespace {

// Far more than any readout writes: a host's buffer is sized by the font
// box, not by the gauge's character count.
constexpr int kTextBufferBytes = 64;
constexpr int kTextBuffers = 32;
char textBuffers[kTextBuffers][kTextBufferBytes];

double slotValue(const HostVar& variable) {
    return variable.tokenId == 0 ? 0.0 : benchHost.values[variable.tokenId & (kTokenSlots - 1)];
}

template <typename Visit>
void walk(ElementList* list, Visit& visit) {
    for (; list != nullptr && *list != nullptr; ++list) {
        visit(*list);
        walk((*list)->overlays, visit);
    }
}

}  // namespace

int prepareDrawing() {
    int callbacks = 0;
    int buffers = 0;
    auto prepare = [&callbacks, &buffers](GaugeElement* element) {
        switch (element->kind) {
        case kElementText: {
            auto* text = reinterpret_cast<TextElement*>(element);
            if (buffers < kTextBuffers) {
                text->buffer = textBuffers[buffers++];
            }
            for (HostVar& variable : text->vars) {
                variable.value = slotValue(variable);
            }
            callbacks += text->callback != nullptr ? 1 : 0;
            break;
        }
        case kElementSlider: {
            auto* slider = reinterpret_cast<SliderElement*>(element);
            slider->xVar.value = slotValue(slider->xVar);
            slider->yVar.value = slotValue(slider->yVar);
            callbacks += (slider->xCallback != nullptr ? 1 : 0) + (slider->yCallback != nullptr ? 1 : 0);
            break;
        }
        case kElementIcon: {
            auto* icon = reinterpret_cast<IconElement*>(element);
            icon->var.value = slotValue(icon->var);
            callbacks += icon->callback != nullptr ? 1 : 0;
            break;
        }
        case kElementMovingImage: {
            auto* moving = reinterpret_cast<MovingImageElement*>(element);
            moving->xVar.value = slotValue(moving->xVar);
            moving->yVar.value = slotValue(moving->yVar);
            callbacks += moving->yCallback != nullptr ? 1 : 0;
            break;
        }
        default:
            break;
        }
    };
    walk(hoverGauge.elements, prepare);
    return callbacks;
}

double drawPass() {
    double sum = 0.0;
    auto draw = [&sum](GaugeElement* element) {
        switch (element->kind) {
        case kElementText: {
            auto* text = reinterpret_cast<TextElement*>(element);
            if (text->callback != nullptr) {
                sum += text->callback(element);
            }
            break;
        }
        case kElementSlider: {
            auto* slider = reinterpret_cast<SliderElement*>(element);
            if (slider->xCallback != nullptr) {
                sum += slider->xCallback(element);
            }
            if (slider->yCallback != nullptr) {
                sum += slider->yCallback(element);
            }
            break;
        }
        case kElementIcon: {
            auto* icon = reinterpret_cast<IconElement*>(element);
            if (icon->callback != nullptr) {
                sum += icon->callback(element);
            }
            break;
        }
        case kElementMovingImage: {
            auto* moving = reinterpret_cast<MovingImageElement*>(element);
            if (moving->yCallback != nullptr) {
                sum += moving->yCallback(element);
            }
            break;
        }
        default:
            break;
        }
    };
    walk(hoverGauge.elements, draw);
    return sum;
}

}  // namespace bench
