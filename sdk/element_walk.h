// SPDX-License-Identifier: MIT
//
// The host's walk of a gauge's element tree, for every program here that
// plays the host: the simulated host's panel, the benchmark's draw pass, the
// fuzz exerciser and the unit tests. It lives beside the record header
// because every one of them already stands on that header and on nothing
// else they all share; the module itself never includes it (the
// module_layers test holds that), so hover.gau carries none of it.
//
// The order is the host's: an element, then each entry of its overlay list
// in order, each followed by its own list. The records come from the module
// and may be broken, so the walk is bounded: it does not go deeper than a
// nesting limit nor further than a list length, and tells its caller when it
// stops at either. How many elements a tree may hold, and what an element
// met twice means, is each caller's to decide in its visit.
//
// Also here: the variable slots each element kind carries, which a host
// fills before it calls the element, and what one walk showed element by
// element, the record a renderer paints from.
#ifndef HOVER_SDK_ELEMENT_WALK_H
#define HOVER_SDK_ELEMENT_WALK_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/gauge_sdk.h"

namespace walk {

struct Limits {
    int maxDepth = 32;         // the root list is depth 0
    int maxListLength = 256;   // entries of one list before its null
};

// Why the walk left a list early.
enum class Stop {
    kTooDeep,      // a list holds elements deeper than maxDepth: not entered
    kListTooLong,  // a list has no null within maxListLength entries: the rest is not walked
};

// What a visit asks of the walk next.
enum class Next {
    kDescend,  // walk the element's overlay list, then go on
    kSkip,     // leave its overlay list out, go on with the next entry
    kEnd,      // end the whole walk here
};

namespace detail {

template <typename Visit, typename OnStop>
bool walkList(ElementList* list, int depth, const Limits& limits, Visit& visit, OnStop& onStop) {
    if (list == nullptr || list[0] == nullptr) {
        return true;
    }
    if (depth > limits.maxDepth) {
        onStop(Stop::kTooDeep);
        return true;
    }
    for (int i = 0;; ++i) {
        GaugeElement* element = list[i];
        if (element == nullptr) {
            return true;
        }
        // A list of exactly maxListLength entries ends in its null here;
        // anything else there means the list runs on.
        if (i == limits.maxListLength) {
            onStop(Stop::kListTooLong);
            return true;
        }
        switch (visit(element, depth)) {
        case Next::kEnd:
            return false;
        case Next::kSkip:
            break;
        case Next::kDescend:
            if (!walkList(element->overlays, depth + 1, limits, visit, onStop)) {
                return false;
            }
            break;
        }
    }
}

}  // namespace detail

// Walks the tree below `roots` in the host's order. `visit(GaugeElement*,
// int depth)` returns a Next; `onStop(Stop)` hears of every limit met.
// False when a visit ended the walk.
template <typename Visit, typename OnStop>
bool forEachElement(ElementList* roots, const Limits& limits, Visit&& visit, OnStop&& onStop) {
    return detail::walkList(roots, 0, limits, visit, onStop);
}

// Calls `fill(HostVar&)` for each variable slot of the element's kind, in
// record order; a static image and a kind the host does not know have none.
template <typename Fill>
void forEachSlot(GaugeElement* element, Fill&& fill) {
    switch (element->kind) {
    case kElementIcon:
        fill(reinterpret_cast<IconElement*>(element)->var);
        break;
    case kElementSlider: {
        auto* slider = reinterpret_cast<SliderElement*>(element);
        fill(slider->xVar);
        fill(slider->yVar);
        break;
    }
    case kElementText:
        for (HostVar& slot : reinterpret_cast<TextElement*>(element)->vars) {
            fill(slot);
        }
        break;
    case kElementMovingImage: {
        auto* moving = reinterpret_cast<MovingImageElement*>(element);
        fill(moving->xVar);
        fill(moving->yVar);
        break;
    }
    default:
        break;
    }
}

// A host fills every slot that names a variable before it calls the
// element, with `valueOf(token)`; a slot naming none (token 0) keeps what it
// holds.
template <typename ValueOf>
void fillSlots(GaugeElement* element, ValueOf&& valueOf) {
    forEachSlot(element, [&valueOf](HostVar& slot) {
        if (slot.tokenId != 0) {
            slot.value = valueOf(slot.tokenId);
        }
    });
}

// The value callbacks of the element's kind, in the order the host calls
// them; a missing one is null. A text element's callback writes into the
// buffer its host put into the record.
struct Callbacks {
    ElementCallback first = nullptr;   // icon, text, slider x, moving image y
    ElementCallback second = nullptr;  // slider y
};

inline Callbacks callbacksOf(const GaugeElement* element) {
    switch (element->kind) {
    case kElementIcon:
        return {reinterpret_cast<const IconElement*>(element)->callback, nullptr};
    case kElementSlider: {
        const auto* slider = reinterpret_cast<const SliderElement*>(element);
        return {slider->xCallback, slider->yCallback};
    }
    case kElementText:
        return {reinterpret_cast<const TextElement*>(element)->callback, nullptr};
    case kElementMovingImage:
        return {reinterpret_cast<const MovingImageElement*>(element)->yCallback, nullptr};
    default:
        return {};
    }
}

// One element as a walk met it.
struct ElementVisit {
    GaugeElement* element = nullptr;
    int depth = 0;                 // 0 for the root list
    bool failed = false;           // hidden by the active failure: not called
    bool called = false;           // a callback of it was called
    std::optional<double> value;   // icon, text; the y callback of a moving image
    std::optional<double> xValue;  // a slider's x callback
    std::optional<double> yValue;  // a slider's y callback
    uint32_t drawFlags = 0;        // as its callbacks left them
    std::string text;              // a text element's text, up to its terminator
};

// One walk's elements, in drawing order.
struct Frame {
    std::vector<ElementVisit> elements;
};

}  // namespace walk

#endif
