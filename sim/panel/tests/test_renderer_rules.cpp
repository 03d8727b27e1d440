// SPDX-License-Identifier: MIT
//
// The host's drawing rules on small hand-made gauges: tree order, hiding,
// failures, icons, sliders, bars, texts and lighting, each checked in pixels
// against values worked out from the rule. The host walks the tree once a
// frame and the renderer paints that walk.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "sim/host/panel.h"
#include "sim/panel/panel_renderer.h"

namespace {

using panel::Bitmap;
using panel::BitmapSet;
using panel::PanelRenderer;
using panel::RenderOptions;

constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kOpaque = 0xFF000000;

Bitmap filled(int width, int height, uint32_t colour) {
    Bitmap b;
    b.width = width;
    b.height = height;
    b.pixels.assign(static_cast<size_t>(width * height), colour);
    return b;
}

// Bitmap ids of the test gauge.
constexpr int32_t kFace = 1;
constexpr int32_t kSquare = 2;     // 3 x 3 red with a black centre
constexpr int32_t kIconFirst = 5;  // 5 blue, 6 green
constexpr int32_t kStrip = 8;      // 2 x 10: upper half black, lower half green
constexpr int32_t kWindow = 9;     // 2 x 5 blue

BitmapSet testBitmaps() {
    BitmapSet set;
    set.add(kFace, filled(60, 30, kGrey));
    Bitmap square = filled(3, 3, kRed);
    square.pixels[4] = 0;
    set.add(kSquare, square);
    set.add(kIconFirst, filled(2, 2, kBlue));
    set.add(kIconFirst + 1, filled(2, 2, kGreen));
    Bitmap strip = filled(2, 10, kGreen);
    std::fill(strip.pixels.begin(), strip.pixels.begin() + 10, 0u);
    set.add(kStrip, strip);
    set.add(kWindow, filled(2, 5, kBlue));
    return set;
}

// What the callbacks return, set by each test.
double iconValue = 0.0;
double xValue = 0.0;
double yValue = 0.0;
double barValue = 0.0;
int iconCalls = 0;
int sliderCalls = 0;
double slotSeen = 0.0;
const char* textToWrite = "";
bool hideFromCallback = false;

double GAUGE_CALL showIcon(GaugeElement* element) {
    ++iconCalls;
    if (hideFromCallback) {
        element->drawFlags |= kDrawHidden;
    } else {
        element->drawFlags &= ~static_cast<uint32_t>(kDrawHidden);
    }
    return iconValue;
}
double GAUGE_CALL showX(GaugeElement*) {
    ++sliderCalls;
    return xValue;
}
double GAUGE_CALL showY(GaugeElement*) {
    return yValue;
}
double GAUGE_CALL showBar(GaugeElement*) {
    return barValue;
}
double GAUGE_CALL showText(GaugeElement* element) {
    auto* text = reinterpret_cast<TextElement*>(element);
    slotSeen = text->vars[0].value;
    char* buffer = text->buffer;
    if (buffer != nullptr) {
        std::memcpy(buffer, textToWrite, std::strlen(textToWrite) + 1);
    }
    return 0.0;
}

FailureEntry lightsFailure[] = {{kFailurePanelLights, kFailureActionHide}, {0, 0}};

// A gauge whose face carries an icon and a text; over the icon lie a
// slider and, over that, a bar.
class HandMadeGauge : public ::testing::Test {
protected:
    void SetUp() override {
        iconValue = 0.0;
        xValue = yValue = barValue = 0.0;
        iconCalls = sliderCalls = 0;
        slotSeen = 0.0;
        textToWrite = "";
        hideFromCallback = false;

        face.base = element(kElementStaticImage, kFace, 0, 0);
        face.base.overlays = faceList;
        icon.base = element(kElementIcon, kIconFirst, 2, 2);
        icon.imageCount = 2;
        icon.callback = showIcon;
        icon.base.overlays = iconList;
        slider.base = element(kElementSlider, kSquare, 10, 5);
        slider.xScale = 2.0;
        slider.yScale = 1.5;
        slider.xCallback = showX;
        slider.yCallback = showY;
        slider.base.overlays = sliderList;
        bar.base = element(kElementMovingImage, kStrip, 50, 4);
        bar.yFirstBound = 0.0;
        bar.ySecondBound = 100.0;
        bar.yCallback = showBar;
        text.base = element(kElementText, -1, 20, 12);
        text.boxWidth = 28;
        text.boxHeight = 16;
        text.textColour = 0x0000FF;        // red, as 0x00BBGGRR
        text.backgroundColour = 0xFF0000;  // blue
        std::strcpy(text.fontFace, "Arial");
        text.fontWeight = 400;
        text.placement = kTextCentreHorizontal | kTextCentreVertical | kTextSingleLine;
        text.charCount = 3;
        text.callback = showText;
        text.vars[0].tokenId = 614;

        faceList[0] = &icon.base;
        faceList[1] = &text.base;
        iconList[0] = &slider.base;
        sliderList[0] = &bar.base;
        roots[0] = &face.base;
        header.elements = roots;
    }

    GaugeElement element(uint32_t kind, int32_t bitmap, int32_t x, int32_t y) {
        GaugeElement e{};
        e.kind = kind;
        e.bitmapId = bitmap;
        e.x = x;
        e.y = y;
        e.header = &header;
        e.drawFlags = kDrawTransparentBlack;
        return e;
    }

    // One frame: the host's walk, with failure 21 active or not, then the
    // picture of it.
    PanelRenderer& draw(RenderOptions options = {}, bool panelLightsFailed = false) {
        if (renderer == nullptr) {
            walker = std::make_unique<host::Panel>(&header);
            renderer = std::make_unique<PanelRenderer>(&header, testBitmaps());
        }
        renderer->draw(walker->walk([](uint32_t token) { return token * 0.5; }, panelLightsFailed), options);
        return *renderer;
    }

    GaugeHeader header{};
    StaticImageElement face{};
    IconElement icon{};
    SliderElement slider{};
    MovingImageElement bar{};
    TextElement text{};
    ElementList faceList[3] = {};
    ElementList iconList[2] = {};
    ElementList sliderList[2] = {};
    ElementList roots[2] = {};
    std::unique_ptr<host::Panel> walker;
    std::unique_ptr<PanelRenderer> renderer;
};

TEST_F(HandMadeGauge, EachElementIsDrawnBeforeItsListAndEachListEntryWithItsOwnList) {
    const PanelRenderer& r = draw();
    ASSERT_EQ(r.elements().size(), 5u);
    EXPECT_EQ(r.elements()[0].element, &face.base);
    EXPECT_EQ(r.elements()[1].element, &icon.base);
    EXPECT_EQ(r.elements()[2].element, &slider.base);
    EXPECT_EQ(r.elements()[3].element, &bar.base);
    EXPECT_EQ(r.elements()[4].element, &text.base);
    EXPECT_EQ(r.elements()[3].depth, 3);
    EXPECT_EQ(r.gaugeWidth(), 60);
    EXPECT_EQ(r.gaugeHeight(), 30);
    EXPECT_TRUE(r.faults().empty());
}

TEST_F(HandMadeGauge, APaintedFrameCallsEveryCallbackOnceAndThePaintingCallsNone) {
    // Per frame: the icon, the slider's two axes, the bar and the text.
    constexpr uint64_t kCallbacksPerFrame = 5;
    for (int frame = 1; frame <= 3; ++frame) {
        draw();
        EXPECT_EQ(iconCalls, frame);
        EXPECT_EQ(sliderCalls, frame);
        EXPECT_EQ(walker->callbackCalls(), kCallbacksPerFrame * static_cast<uint64_t>(frame));
    }
    // Painting the same walk again at another size asks the module nothing.
    RenderOptions big;
    big.scale = 2.0;
    renderer->draw(walker->frame(), big);
    EXPECT_EQ(iconCalls, 3);
    EXPECT_EQ(walker->callbackCalls(), kCallbacksPerFrame * 3);
    EXPECT_EQ(renderer->width(), 120);
}

TEST_F(HandMadeGauge, IconsShowTheirIdPlusTheValueAndNothingForMinusOne) {
    EXPECT_EQ(draw().pixel(2, 2), kOpaque | kBlue);
    iconValue = 1.0;
    EXPECT_EQ(draw().pixel(2, 2), kOpaque | kGreen);
    iconValue = -1.0;
    EXPECT_EQ(draw().pixel(2, 2), kOpaque | kGrey);
    EXPECT_FALSE(renderer->elements()[1].drawn);
    EXPECT_TRUE(renderer->faults().empty());
    iconValue = 2.0;  // beyond the two images
    EXPECT_EQ(draw().pixel(2, 2), kOpaque | kGrey);
    EXPECT_EQ(renderer->faults().size(), 1u);
}

TEST_F(HandMadeGauge, TheHiddenBitHidesTheElementAndItsListButTheirCallbacksStillRun) {
    hideFromCallback = true;
    const PanelRenderer& r = draw();
    EXPECT_EQ(iconCalls, 1);
    EXPECT_EQ(sliderCalls, 1);  // the host still learns the hidden list's values
    EXPECT_EQ(r.pixel(2, 2), kOpaque | kGrey);
    EXPECT_FALSE(r.elements()[1].drawn);
    EXPECT_EQ(r.elements().size(), 3u);  // face, icon, text: the icon's list is skipped
    EXPECT_EQ(r.pixel(11, 5), kOpaque | kGrey);

    hideFromCallback = false;  // the callback clears its own bit again
    draw();
    EXPECT_EQ(iconCalls, 2);
    EXPECT_EQ(sliderCalls, 2);
    EXPECT_EQ(r.pixel(2, 2), kOpaque | kBlue);
}

TEST_F(HandMadeGauge, TheFailureListHidesOnlyItsOwnElementAndOnlyWhileFailure21IsActive) {
    icon.base.failures = lightsFailure;
    const PanelRenderer& r = draw({}, true);
    EXPECT_EQ(iconCalls, 0);
    EXPECT_EQ(r.pixel(2, 2), kOpaque | kGrey);
    // The slider over the icon carries no failure list and is still drawn.
    EXPECT_EQ(sliderCalls, 1);
    EXPECT_EQ(r.pixel(10, 5), kOpaque | kRed);

    draw();
    EXPECT_EQ(iconCalls, 1);
    EXPECT_EQ(r.pixel(2, 2), kOpaque | kBlue);

    // Another failure key, or another action, hides nothing.
    FailureEntry other[] = {{20, kFailureActionHide}, {kFailurePanelLights, 1}, {0, 0}};
    icon.base.failures = other;
    draw({}, true);
    EXPECT_EQ(iconCalls, 2);
}

TEST_F(HandMadeGauge, SlidersMoveByValueTimesScaleAndPureBlackIsSeeThroughOnlyWithFlagBit0) {
    xValue = 3.0;   // 3 x 2 = 6 pixels right
    yValue = -1.0;  // -1 x 1.5 = -1.5, rounded away to -2: 2 pixels up
    const PanelRenderer& r = draw();
    EXPECT_EQ(r.elements()[2].left, 16);
    EXPECT_EQ(r.elements()[2].top, 3);
    EXPECT_EQ(r.pixel(16, 3), kOpaque | kRed);
    EXPECT_EQ(r.pixel(17, 4), kOpaque | kGrey);  // the black centre lets the face show

    slider.base.drawFlags = 0;
    draw();
    EXPECT_EQ(r.pixel(17, 4), kOpaque);  // now painted black

    slider.yCallback = nullptr;  // an axis without a callback stays put
    draw();
    EXPECT_EQ(r.elements()[2].top, 5);
    EXPECT_FALSE(r.elements()[2].yValue.has_value());

    xValue = std::nan("");
    draw();
    EXPECT_FALSE(r.elements()[2].drawn);
    EXPECT_EQ(r.faults().size(), 1u);
}

// Rows of the bar's window (x 50, rows 4 .. 8) that show the strip's green.
int litRows(const PanelRenderer& r) {
    int rows = 0;
    for (int y = 4; y < 9; ++y) {
        rows += r.pixel(50, y) == (kOpaque | kGreen) ? 1 : 0;
    }
    return rows;
}

TEST_F(HandMadeGauge, ABarFillsItsWindowByTheValuesShareOfTheWayFromTheFirstBoundToTheSecond) {
    barValue = 0.0;
    const PanelRenderer& r = draw();
    EXPECT_EQ(litRows(r), 0);
    EXPECT_EQ(r.pixel(50, 4), kOpaque | kBlue);  // the window, under the strip's black half
    barValue = 100.0;
    EXPECT_EQ(litRows(draw()), 5);
    EXPECT_EQ(r.pixel(50, 3), kOpaque | kGrey);  // nothing of the strip outside the window
    barValue = 60.0;                             // 0.6 x 5 = 3 rows, at the bottom
    EXPECT_EQ(litRows(draw()), 3);
    EXPECT_EQ(r.pixel(50, 8), kOpaque | kGreen);
    EXPECT_EQ(r.pixel(50, 5), kOpaque | kBlue);
    barValue = 250.0;  // beyond the second bound: full
    EXPECT_EQ(litRows(draw()), 5);

    bar.yFirstBound = 100.0;  // bounds the other way round
    bar.ySecondBound = 0.0;
    barValue = 20.0;  // 0.8 of the way: 4 rows
    EXPECT_EQ(litRows(draw()), 4);
    EXPECT_TRUE(r.faults().empty());
}

TEST_F(HandMadeGauge, ATextGetsAHostBufferAndItsSlotsFilledBeforeItsCallback) {
    textToWrite = "123";
    const PanelRenderer& r = draw();
    EXPECT_EQ(slotSeen, 307.0);  // token 614 x 0.5 from the test's host
    EXPECT_EQ(r.elements()[4].text, "123");
    EXPECT_EQ(r.pixel(20, 12), kOpaque | kBlue);  // the background, at the box's corner
    int red = 0;
    for (int y = 12; y < 28; ++y) {
        for (int x = 20; x < 48; ++x) {
            red += (r.pixel(x, y) & 0xFF0000) > 0x800000 ? 1 : 0;
        }
    }
    EXPECT_GT(red, 5);
    EXPECT_EQ(r.pixel(48, 20), kOpaque | kGrey);  // nothing outside the box
    EXPECT_EQ(r.pixel(19, 20), kOpaque | kGrey);
    EXPECT_TRUE(r.faults().empty());

    textToWrite = "1234567";  // past a buffer of 3 + 1 bytes: the host shows its own bytes only
    draw();
    EXPECT_EQ(r.elements()[4].text, "1234");
    ASSERT_EQ(walker->faults().size(), 1u);
    EXPECT_NE(walker->faults()[0].find("past its 4-byte buffer"), std::string::npos);
}

TEST_F(HandMadeGauge, AtNightUnlitElementsAreDimmedAndLitOnesKeepTheirBrightness) {
    icon.base.drawFlags |= kDrawLit;
    RenderOptions night;
    night.lighting = panel::Lighting::kNight;
    const PanelRenderer& r = draw(night);
    EXPECT_EQ(r.pixel(2, 2), kOpaque | kBlue);
    const uint32_t dimmedGrey = r.pixel(0, 0) & 0xFF;
    EXPECT_NEAR(dimmedGrey, 0x80 * panel::kNightDimming, 1.0);
}

TEST_F(HandMadeGauge, AtTwiceTheSizeEveryPixelOfTheGaugeBecomesFour) {
    xValue = 1.0;
    RenderOptions big;
    big.scale = 2.0;
    const PanelRenderer& r = draw(big);
    EXPECT_EQ(r.width(), 120);
    EXPECT_EQ(r.height(), 60);
    // The slider's top left corner, at (12, 5) in the gauge.
    EXPECT_EQ(r.pixel(24, 10), kOpaque | kRed);
    EXPECT_EQ(r.pixel(23, 10), kOpaque | kGrey);
    EXPECT_EQ(r.pixel(25, 11), kOpaque | kRed);
}

}  // namespace
