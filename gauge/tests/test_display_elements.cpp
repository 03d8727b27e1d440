// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "control/controller.h"
#include "display/elements.h"
#include "display/readouts.h"
#include "module/gauge.h"
#include "sdk/element_walk.h"
#include "tests/test_host.h"

namespace {

class ElementTree : public ModuleTest {};

template <class Record>
bool allBytesZero(const Record& record) {
    unsigned char bytes[sizeof(Record)];
    std::memcpy(bytes, &record, sizeof bytes);
    for (unsigned char byte : bytes) {
        if (byte != 0) {
            return false;
        }
    }
    return true;
}

// A byte copy of a record, padding included.
template <class Record>
Record copyOf(const Record& record) {
    Record copy;
    std::memcpy(&copy, &record, sizeof copy);
    return copy;
}

void clearCommonFields(GaugeElement& element) {
    element.kind = 0;
    element.bitmapId = 0;
    element.x = 0;
    element.y = 0;
    element.header = nullptr;
    element.overlays = nullptr;
    element.failures = nullptr;
    element.drawFlags = 0;
}

constexpr double kYawScale = 11.333333333333334;    // 34/3, the nearest double
constexpr double kSpeedScale = 13.666666666666666;  // 41/3, the nearest double

TEST_F(ElementTree, TheHeaderRootListHoldsTheFacePlateAlone) {
    ElementList* root = hoverGauge.elements;
    EXPECT_EQ(root, gaugeElements);
    EXPECT_EQ(gaugeElements[0], &facePlate.base);
    EXPECT_EQ(gaugeElements[1], nullptr);
}

// The host's walk: an element, then each entry of its list in order, each
// followed by its own list.
std::vector<GaugeElement*> drawingOrder() {
    std::vector<GaugeElement*> order;
    walk::forEachElement(
        gaugeElements, walk::Limits{.maxDepth = 39, .maxListLength = 256},
        [&order](GaugeElement* element, int) {
            order.push_back(element);
            return walk::Next::kDescend;
        },
        [](walk::Stop stop) {
            ADD_FAILURE() << (stop == walk::Stop::kTooDeep ? "the element lists form a cycle"
                                                            : "an element list has no end");
        });
    return order;
}

size_t positionOf(const std::vector<GaugeElement*>& order, const GaugeElement& element) {
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i] == &element) {
            return i;
        }
    }
    ADD_FAILURE() << "an element the host's walk never meets";
    return order.size();
}

TEST_F(ElementTree, TheHostsWalkMeets27ElementsEachOnce) {
    const std::vector<GaugeElement*> order = drawingOrder();
    EXPECT_EQ(order.size(), 27u);
    const std::set<GaugeElement*> distinct(order.begin(), order.end());
    EXPECT_EQ(distinct.size(), order.size()) << "an element hangs in two lists";
}

// Whatever must be seen lies over what it covers: the lamp over the guard it
// lights, the screen over the face, and on every scale the set-point marker
// over the trend marker over the measured value, all three at one place.
TEST_F(ElementTree, WhatMustBeSeenIsDrawnAfterWhatItCovers) {
    const std::vector<GaugeElement*> order = drawingOrder();
    ASSERT_FALSE(order.empty());
    EXPECT_EQ(order[0], &facePlate.base);
    EXPECT_LT(positionOf(order, guardImage.base), positionOf(order, engagedLamp.base));
    EXPECT_LT(positionOf(order, powerSwitchImage.base), positionOf(order, screenImage.base));
    struct Scale {
        const char* name;
        SliderElement* measured;
        SliderElement* trend;
        SliderElement* set;
    };
    const Scale scales[] = {
        {"yaw rate", &turnRateMarker, &turnTrendMarker, &turnSetMarker},
        {"vertical speed", &upSpeedMarker, &upTrendMarker, &upSetMarker},
        {"speed cross", &driftSpeedMarker, &driftTrendMarker, &driftSetMarker},
    };
    for (const Scale& scale : scales) {
        SCOPED_TRACE(scale.name);
        const size_t measured = positionOf(order, scale.measured->base);
        EXPECT_GT(measured, positionOf(order, screenImage.base));
        EXPECT_EQ(positionOf(order, scale.trend->base), measured + 1);
        EXPECT_EQ(positionOf(order, scale.set->base), measured + 2);
        EXPECT_EQ(scale.measured->base.bitmapId, kBitmapMeasuredMarker);
        EXPECT_EQ(scale.trend->base.bitmapId, kBitmapTrendMarker);
        EXPECT_EQ(scale.set->base.bitmapId, kBitmapSetMarker);
        for (const SliderElement* marker : {scale.trend, scale.set}) {
            EXPECT_EQ(marker->base.x, scale.measured->base.x);
            EXPECT_EQ(marker->base.y, scale.measured->base.y);
        }
    }
}

// Failure 21 takes the panel's lights: every lit part carries the failure
// list, and only the lit parts do, so the face, the guard and the switch stay.
TEST_F(ElementTree, EveryElementBelongsToTheGaugeAndOnlyItsLitPartsFailWithThePanelLights) {
    constexpr int32_t kFaceWidth = 367;
    constexpr int32_t kFaceHeight = 265;
    for (GaugeElement* element : drawingOrder()) {
        SCOPED_TRACE(element->bitmapId);
        // Copied first: on the 64-bit native build the host's packing leaves
        // these pointers unaligned.
        GaugeHeader* header = element->header;
        GaugeElement* previous = element->previous;
        FailureEntry* failures = element->failures;
        ElementList* overlays = element->overlays;
        EXPECT_EQ(header, &hoverGauge);
        EXPECT_EQ(previous, nullptr);
        const bool lit = (element->drawFlags & kDrawLit) != 0;
        EXPECT_EQ(failures, lit ? panelFailures : nullptr);
        EXPECT_EQ(element->drawFlags & (kDrawTransparentBlack | kDrawHostOption1),
                  kDrawTransparentBlack | kDrawHostOption1);
        EXPECT_TRUE(overlays == nullptr || overlays[0] != nullptr)
            << "an element with nothing over it has no list";
        EXPECT_GE(element->x, 0);
        EXPECT_GE(element->y, 0);
        EXPECT_LT(element->x, kFaceWidth);
        EXPECT_LT(element->y, kFaceHeight);
    }
    EXPECT_EQ(facePlate.base.drawFlags & kDrawLit, 0u);
    EXPECT_EQ(guardImage.base.drawFlags & kDrawLit, 0u);
    EXPECT_EQ(powerSwitchImage.base.drawFlags & kDrawLit, 0u);
    EXPECT_NE(engagedLamp.base.drawFlags & kDrawLit, 0u);
    EXPECT_NE(engagedLamp.base.drawFlags & kDrawHostOption7, 0u) << "the lamp's own flag";
    EXPECT_NE(screenImage.base.drawFlags & kDrawLit, 0u);
}

TEST_F(ElementTree, TheFailureListHidesTheLitPartsOnFailure21) {
    EXPECT_EQ(panelFailures[0].key, 21u);
    EXPECT_EQ(panelFailures[0].action, 3u);
    EXPECT_EQ(panelFailures[1].key, 0u);
    EXPECT_EQ(panelFailures[1].action, 0u);
}

struct ExpectedSlider {
    const char* name;
    SliderElement* record;
    uint32_t xToken;
    double xScale;
    ElementCallback xCallback;
    uint32_t yToken;
    double yScale;
    ElementCallback yCallback;
};

const ExpectedSlider kSliders[] = {
    {"turnRateMarker", &turnRateMarker, 70, kYawScale, showTurnRate, 0, 0.0, nullptr},
    {"turnTrendMarker", &turnTrendMarker, 70, kYawScale, showTurnTrend, 0, 0.0, nullptr},
    {"turnSetMarker", &turnSetMarker, 70, kYawScale, showTurnSet, 0, 0.0, nullptr},
    {"upSpeedMarker", &upSpeedMarker, 0, 0.0, nullptr, 556, kSpeedScale, showUpSpeed},
    {"upTrendMarker", &upTrendMarker, 0, 0.0, nullptr, 556, kSpeedScale, showUpTrend},
    {"upSetMarker", &upSetMarker, 0, 0.0, nullptr, 556, kSpeedScale, showUpSet},
    {"driftSpeedMarker", &driftSpeedMarker, 555, kSpeedScale, showRightSpeed, 554, kSpeedScale,
     showForwardSpeed},
    {"driftTrendMarker", &driftTrendMarker, 555, kSpeedScale, showRightTrend, 554, kSpeedScale,
     showForwardTrend},
    {"driftSetMarker", &driftSetMarker, 555, kSpeedScale, showRightSet, 554, kSpeedScale, showForwardSet},
};

TEST_F(ElementTree, EverySliderHoldsItsSlotsScalesAndCallbacksAndNothingElse) {
    EXPECT_EQ(34.0 / 3.0, kYawScale);
    EXPECT_EQ(41.0 / 3.0, kSpeedScale);
    for (const ExpectedSlider& row : kSliders) {
        SCOPED_TRACE(row.name);
        SliderElement s = copyOf(*row.record);
        double xScale = s.xScale;
        double yScale = s.yScale;
        ElementCallback xCallback = s.xCallback;
        ElementCallback yCallback = s.yCallback;
        EXPECT_EQ(s.xVar.tokenId, row.xToken);
        EXPECT_EQ(xScale, row.xScale);
        EXPECT_EQ(xCallback, row.xCallback);
        EXPECT_EQ(s.yVar.tokenId, row.yToken);
        EXPECT_EQ(yScale, row.yScale);
        EXPECT_EQ(yCallback, row.yCallback);

        clearCommonFields(s.base);
        s.xVar.tokenId = 0;
        s.xScale = 0.0;
        s.yVar.tokenId = 0;
        s.yScale = 0.0;
        s.xCallback = nullptr;
        s.yCallback = nullptr;
        EXPECT_TRUE(allBytesZero(s)) << "a byte the host owns is not 0";
    }
}

struct ExpectedText {
    const char* name;
    TextElement* record;
    uint32_t tokens[3];
    int32_t boxWidth, boxHeight;
    uint32_t charCount;
    ElementCallback callback;
};

const ExpectedText kTexts[] = {
    {"headingText", &headingText, {81, 0, 0}, 33, 20, 3, showHeading},
    {"headingLabel", &headingLabel, {81, 0, 0}, 33, 20, 3, showHeadingLabel},
    {"groundSpeedText", &groundSpeedText, {554, 555, 0}, 33, 20, 3, showGroundSpeed},
    {"groundSpeedLabel", &groundSpeedLabel, {554, 555, 0}, 33, 20, 3, showSpeedLabel},
    {"radarHeightText", &radarHeightText, {614, 0, 0}, 33, 20, 3, showRadarHeight},
    {"radarHeightLabel", &radarHeightLabel, {614, 0, 0}, 33, 20, 3, showHeightLabel},
    {"targetHeightText", &targetHeightText, {614, 554, 555}, 64, 34, 3, showTargetHeight},
    {"windText", &windText, {344, 343, 0}, 66, 20, 6, showWind},
    {"windLabel", &windLabel, {344, 343, 0}, 44, 20, 4, showWindLabel},
    {"pitchLabel", &pitchLabel, {614, 554, 555}, 55, 20, 5, showPitchLabel},
    {"barsLabel", &barsLabel, {614, 554, 555}, 33, 20, 3, showBarsLabel},
};

TEST_F(ElementTree, EveryTextHoldsItsSlotsBoxCountAndTheCommonStyleAndNothingElse) {
    const char arial[32] = "Arial";
    for (const ExpectedText& row : kTexts) {
        SCOPED_TRACE(row.name);
        TextElement t = copyOf(*row.record);
        char* buffer = t.buffer;
        ElementCallback callback = t.callback;
        for (int slot = 0; slot < 3; ++slot) {
            EXPECT_EQ(t.vars[slot].tokenId, row.tokens[slot]) << "slot " << slot + 1;
        }
        EXPECT_EQ(buffer, nullptr);
        EXPECT_EQ(t.boxWidth, row.boxWidth);
        EXPECT_EQ(t.boxHeight, row.boxHeight);
        EXPECT_EQ(t.textColour, 0x008000u);
        EXPECT_EQ(t.backgroundColour, 0x050505u);
        EXPECT_EQ(t.highlightColour, 0xFFFFFFu);
        EXPECT_EQ(std::memcmp(t.fontFace, arial, sizeof arial), 0) << "\"Arial\", NUL-padded";
        EXPECT_EQ(t.fontWeight, 400);
        EXPECT_EQ(t.charSet, 1u);
        EXPECT_EQ(t.placement, 0x25u);
        EXPECT_EQ(t.charCount, row.charCount);
        EXPECT_EQ(callback, row.callback);

        clearCommonFields(t.base);
        for (HostVar& slot : t.vars) {
            slot.tokenId = 0;
        }
        t.boxWidth = 0;
        t.boxHeight = 0;
        t.textColour = 0;
        t.backgroundColour = 0;
        t.highlightColour = 0;
        std::memset(t.fontFace, 0, sizeof t.fontFace);
        t.fontWeight = 0;
        t.charSet = 0;
        t.placement = 0;
        t.charCount = 0;
        t.callback = nullptr;
        EXPECT_TRUE(allBytesZero(t)) << "a byte the host owns is not 0";
    }
}

struct ExpectedIcon {
    const char* name;
    IconElement* record;
    uint32_t imageCount;
    ElementCallback callback;
};

const ExpectedIcon kIcons[] = {
    {"guardImage", &guardImage, 2, showGuard},
    {"engagedLamp", &engagedLamp, 1, showEngagedLamp},
    {"powerSwitchImage", &powerSwitchImage, 2, showPowerSwitch},
    {"screenImage", &screenImage, 1, showScreen},
};

TEST_F(ElementTree, EveryIconHoldsItsImageCountAndCallbackAndNothingElse) {
    for (const ExpectedIcon& row : kIcons) {
        SCOPED_TRACE(row.name);
        IconElement icon = copyOf(*row.record);
        ElementCallback callback = icon.callback;
        EXPECT_EQ(icon.var.tokenId, 0u);
        EXPECT_EQ(icon.imageCount, row.imageCount);
        EXPECT_EQ(callback, row.callback);

        clearCommonFields(icon.base);
        icon.imageCount = 0;
        icon.callback = nullptr;
        EXPECT_TRUE(allBytesZero(icon)) << "a byte the host owns is not 0";
    }
}

TEST_F(ElementTree, TheBarsHoldTheLeverSlotTheirBoundsAndCallbacksAndNothingElse) {
    struct Row {
        const char* name;
        MovingImageElement* record;
        double first, second;
        ElementCallback callback;
    };
    const Row rows[] = {
        {"leverBar", &leverBar, 0.0, 16384.0, showLever},
        {"stickBar", &stickBar, 100.0, 0.0, showStick},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MovingImageElement bar = copyOf(*row.record);
        double first = bar.yFirstBound;
        double second = bar.ySecondBound;
        ElementCallback callback = bar.yCallback;
        EXPECT_EQ(bar.xVar.tokenId, 0u);
        EXPECT_EQ(bar.yVar.tokenId, 128u);
        EXPECT_EQ(first, row.first);
        EXPECT_EQ(second, row.second);
        EXPECT_EQ(callback, row.callback);

        clearCommonFields(bar.base);
        bar.yVar.tokenId = 0;
        bar.yFirstBound = 0.0;
        bar.ySecondBound = 0.0;
        bar.yCallback = nullptr;
        EXPECT_TRUE(allBytesZero(bar)) << "a byte the host owns is not 0";
    }
}

TEST_F(ElementTree, TheFacePlateRecordHoldsNothingBeyondItsCommonFields) {
    StaticImageElement face = copyOf(facePlate);
    clearCommonFields(face.base);
    EXPECT_TRUE(allBytesZero(face));
}

// Where a 7 x 7 marker's centre stands for a callback value, as the host
// places a slider: position moved by value times scale, plus half the marker.
double markerCentre(int32_t position, double value, double scale) {
    return position + 3 + value * scale;
}

TEST_F(ElementTree, AtRestEveryMarkerCentreLiesOnItsScalesCentre) {
    for (const ExpectedSlider& row : kSliders) {
        SCOPED_TRACE(row.name);
        SliderElement s = copyOf(*row.record);
        double x = s.xCallback != nullptr ? markerCentre(s.base.x, s.xCallback(&row.record->base), s.xScale)
                                          : markerCentre(s.base.x, 0.0, 0.0);
        double y = s.yCallback != nullptr ? markerCentre(s.base.y, s.yCallback(&row.record->base), s.yScale)
                                          : markerCentre(s.base.y, 0.0, 0.0);
        if (s.xCallback != nullptr) {
            EXPECT_EQ(x, 150.0) << "the cross and the yaw scale are centred on x 150";
        }
        if (s.yCallback != nullptr) {
            EXPECT_EQ(y, 104.0) << "the cross and the vertical scale are centred on y 104";
        }
    }
}

TEST_F(ElementTree, AtFullScaleTheMarkersReachTheEndTicks) {
    controller.right.setPoint = 5.0;
    controller.forward.setPoint = -5.0;
    controller.turn.setPoint = 5.0;
    controller.up.setPoint = 5.0;
    SliderElement drift = copyOf(driftSetMarker);
    SliderElement yaw = copyOf(turnSetMarker);
    SliderElement up = copyOf(upSetMarker);
    EXPECT_EQ(markerCentre(drift.base.x, showRightSet(&driftSetMarker.base), drift.xScale), 150.0 + 41.0);
    EXPECT_EQ(markerCentre(drift.base.y, showForwardSet(&driftSetMarker.base), drift.yScale), 104.0 + 41.0);
    EXPECT_EQ(markerCentre(yaw.base.x, showTurnSet(&turnSetMarker.base), yaw.xScale), 150.0 + 34.0);
    EXPECT_EQ(markerCentre(up.base.y, showUpSet(&upSetMarker.base), up.yScale), 104.0 - 41.0);
}

}  // namespace
