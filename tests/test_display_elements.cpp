// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "control/controller.h"
#include "display/elements.h"
#include "display/readouts.h"
#include "module/gauge.h"
#include "tests/test_host.h"

namespace {

class ElementTree : public ::testing::Test {
protected:
    void SetUp() override { resetModuleState(); }
};

// The common part of each record, written out from the panel's table.
struct ExpectedElement {
    const char* name;
    GaugeElement* element;
    uint32_t kind;
    int32_t bitmapId;
    int32_t x, y;
    uint32_t drawFlags;
    bool failureList;
    std::vector<GaugeElement*> overlays;
};

const std::vector<ExpectedElement> kTree = {
    {"facePlate", &facePlate.base, 0, 10, 0, 0, 0x3, false, {&guardImage.base}},
    {"guardImage", &guardImage.base, 4, 70, 308, 64, 0x3, false, {&engagedLamp.base}},
    {"engagedLamp", &engagedLamp.base, 4, 80, 308, 64, 0x87, true, {&powerSwitchImage.base}},
    {"powerSwitchImage", &powerSwitchImage.base, 4, 50, 278, 48, 0x3, false, {&screenImage.base}},
    {"screenImage", &screenImage.base, 4, 60, 55, 32, 0x7, true,
     {&turnRateMarker.base, &upSpeedMarker.base, &headingText.base, &groundSpeedText.base,
      &radarHeightText.base, &targetHeightText.base, &windText.base, &driftSpeedMarker.base,
      &pitchLabel.base}},
    {"turnRateMarker", &turnRateMarker.base, 3, 20, 147, 155, 0x7, true, {&turnTrendMarker.base}},
    {"turnTrendMarker", &turnTrendMarker.base, 3, 30, 147, 155, 0x7, true, {&turnSetMarker.base}},
    {"turnSetMarker", &turnSetMarker.base, 3, 35, 147, 155, 0x7, true, {}},
    {"upSpeedMarker", &upSpeedMarker.base, 3, 20, 201, 101, 0x7, true, {&upTrendMarker.base}},
    {"upTrendMarker", &upTrendMarker.base, 3, 30, 201, 101, 0x7, true, {&upSetMarker.base}},
    {"upSetMarker", &upSetMarker.base, 3, 35, 201, 101, 0x7, true, {}},
    {"headingText", &headingText.base, 2, -1, 61, 51, 0x7, true, {&headingLabel.base}},
    {"headingLabel", &headingLabel.base, 2, -1, 61, 36, 0x7, true, {}},
    {"groundSpeedText", &groundSpeedText.base, 2, -1, 217, 51, 0x7, true, {&groundSpeedLabel.base}},
    {"groundSpeedLabel", &groundSpeedLabel.base, 2, -1, 217, 36, 0x7, true, {}},
    {"radarHeightText", &radarHeightText.base, 2, -1, 217, 153, 0x7, true, {&radarHeightLabel.base}},
    {"radarHeightLabel", &radarHeightLabel.base, 2, -1, 187, 153, 0x7, true, {}},
    {"targetHeightText", &targetHeightText.base, 2, -1, 120, 169, 0x7, true, {}},
    {"windText", &windText.base, 2, -1, 160, 204, 0x7, true, {&windLabel.base}},
    {"windLabel", &windLabel.base, 2, -1, 120, 204, 0x7, true, {}},
    {"driftSpeedMarker", &driftSpeedMarker.base, 3, 20, 147, 101, 0x7, true, {&driftTrendMarker.base}},
    {"driftTrendMarker", &driftTrendMarker.base, 3, 30, 147, 101, 0x7, true, {&driftSetMarker.base}},
    {"driftSetMarker", &driftSetMarker.base, 3, 35, 147, 101, 0x7, true, {}},
    {"pitchLabel", &pitchLabel.base, 2, -1, 58, 122, 0x7, true, {&barsLabel.base}},
    {"barsLabel", &barsLabel.base, 2, -1, 67, 196, 0x7, true, {&leverBar.base}},
    {"leverBar", &leverBar.base, 5, 100, 68, 140, 0x7, true, {&stickBar.base}},
    {"stickBar", &stickBar.base, 5, 100, 86, 140, 0x7, true, {}},
};

// The host's walk: an element, then each entry of its list in order, each
// followed by its own list.
void walk(GaugeElement* element, std::vector<GaugeElement*>& order, int depth) {
    ASSERT_LT(depth, 40) << "the element lists form a cycle";
    order.push_back(element);
    ElementList* overlays = element->overlays;
    for (ElementList* entry = overlays; entry != nullptr && *entry != nullptr; ++entry) {
        walk(*entry, order, depth + 1);
    }
}

std::vector<GaugeElement*> listOf(const GaugeElement& element) {
    std::vector<GaugeElement*> entries;
    ElementList* overlays = element.overlays;
    for (ElementList* entry = overlays; entry != nullptr && *entry != nullptr; ++entry) {
        entries.push_back(*entry);
    }
    return entries;
}

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

TEST_F(ElementTree, TheHostsWalkMeetsThe27ElementsInDrawingOrder) {
    std::vector<GaugeElement*> order;
    walk(gaugeElements[0], order, 0);
    const auto& rows = kTree;
    ASSERT_EQ(order.size(), 27u);
    ASSERT_EQ(rows.size(), 27u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(order[i], rows[i].element) << "position " << i << " should be " << rows[i].name;
    }
}

TEST_F(ElementTree, EveryRecordHoldsTheCommonFieldsOfItsRow) {
    for (const ExpectedElement& row : kTree) {
        SCOPED_TRACE(row.name);
        const GaugeElement& e = *row.element;
        EXPECT_EQ(e.kind, row.kind);
        EXPECT_EQ(e.bitmapId, row.bitmapId);
        EXPECT_EQ(e.x, row.x);
        EXPECT_EQ(e.y, row.y);
        EXPECT_EQ(e.drawFlags, row.drawFlags);
        // Copied first: on the 64-bit native build the host's packing leaves
        // these pointers unaligned.
        GaugeHeader* header = e.header;
        GaugeElement* previous = e.previous;
        FailureEntry* failures = e.failures;
        ElementList* overlays = e.overlays;
        EXPECT_EQ(header, &hoverGauge);
        EXPECT_EQ(previous, nullptr);
        EXPECT_EQ(failures, row.failureList ? panelFailures : nullptr);
        EXPECT_EQ(listOf(e), row.overlays);
        if (row.overlays.empty()) {
            EXPECT_EQ(overlays, nullptr) << "an element with nothing over it has no list";
        }
    }
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
    {"driftSpeedMarker", &driftSpeedMarker, 555, kSpeedScale, showRightSpeed, 554, kSpeedScale, showForwardSpeed},
    {"driftTrendMarker", &driftTrendMarker, 555, kSpeedScale, showRightTrend, 554, kSpeedScale, showForwardTrend},
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
