// SPDX-License-Identifier: MIT
//
// The element records of the gauge `hover`, static data in the host's
// layout. The host draws an element, then each entry of its overlay list in
// order, each followed by its own list; so on every scale the set-point
// marker lies over the trend marker, which lies over the measured value.
#include "display/elements.h"

#include "display/readouts.h"
#include "hostif/host_interface.h"

// The records below are laid out as the host reads them, one field per
// column; the formatter would fold them into one field per line.
// clang-format off

namespace {

// The yaw-rate scale and the other scales, in pixels per unit: with the
// callbacks' clamp to [-3, 3] a marker travels at most 34 or 41 pixels from
// rest, onto the end ticks drawn on the screen bitmap.
constexpr double kYawScale = 34.0 / 3.0;
constexpr double kSpeedScale = 41.0 / 3.0;

constexpr uint32_t kFlagsPlain = kDrawTransparentBlack | kDrawHostOption1;
constexpr uint32_t kFlagsLit = kFlagsPlain | kDrawLit;
constexpr uint32_t kFlagsLamp = kFlagsLit | kDrawHostOption7;

// Every readout shares one style: green on near black in the host's Arial.
constexpr uint32_t kTextGreen = 0x008000;
constexpr uint32_t kTextBackground = 0x050505;
constexpr uint32_t kTextHighlight = 0xFFFFFF;
constexpr int32_t kFontWeightNormal = 400;
constexpr uint32_t kCharSetDefault = 1;
constexpr uint32_t kTextPlacement = kTextCentreHorizontal | kTextCentreVertical | kTextSingleLine;

}  // namespace

static_assert(kFlagsPlain == 0x3 && kFlagsLit == 0x7 && kFlagsLamp == 0x87);
static_assert(kTextPlacement == 0x25);

// Every field a record does not name is the host's and starts as zero, which
// is what the language gives an aggregate member left out of a designated
// initializer; naming each of them would bury the fields that matter.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

constinit FailureEntry panelFailures[] = {
    {.key = kFailurePanelLights, .action = kFailureActionHide},
    {.key = 0, .action = 0},
};

// The overlay lists, each naming the elements drawn over its owner.
namespace {

constinit ElementList facePlateOverlays[] = {&guardImage.base, nullptr};
constinit ElementList guardImageOverlays[] = {&engagedLamp.base, nullptr};
constinit ElementList engagedLampOverlays[] = {&powerSwitchImage.base, nullptr};
constinit ElementList powerSwitchOverlays[] = {&screenImage.base, nullptr};
constinit ElementList screenOverlays[] = {
    &turnRateMarker.base,
    &upSpeedMarker.base,
    &headingText.base,
    &groundSpeedText.base,
    &radarHeightText.base,
    &targetHeightText.base,
    &windText.base,
    &driftSpeedMarker.base,
    &pitchLabel.base,
    nullptr,
};
constinit ElementList turnRateOverlays[] = {&turnTrendMarker.base, nullptr};
constinit ElementList turnTrendOverlays[] = {&turnSetMarker.base, nullptr};
constinit ElementList upSpeedOverlays[] = {&upTrendMarker.base, nullptr};
constinit ElementList upTrendOverlays[] = {&upSetMarker.base, nullptr};
constinit ElementList headingTextOverlays[] = {&headingLabel.base, nullptr};
constinit ElementList groundSpeedTextOverlays[] = {&groundSpeedLabel.base, nullptr};
constinit ElementList radarHeightTextOverlays[] = {&radarHeightLabel.base, nullptr};
constinit ElementList windTextOverlays[] = {&windLabel.base, nullptr};
constinit ElementList driftSpeedOverlays[] = {&driftTrendMarker.base, nullptr};
constinit ElementList driftTrendOverlays[] = {&driftSetMarker.base, nullptr};
constinit ElementList pitchLabelOverlays[] = {&barsLabel.base, nullptr};
constinit ElementList barsLabelOverlays[] = {&leverBar.base, nullptr};
constinit ElementList leverBarOverlays[] = {&stickBar.base, nullptr};

}  // namespace

constinit ElementList gaugeElements[] = {&facePlate.base, nullptr};

// The face, the switches and the screen.

constinit StaticImageElement facePlate = {
    .base = {.kind = kElementStaticImage, .bitmapId = kBitmapFacePlate, .x = 0, .y = 0,
             .header = &hoverGauge, .overlays = facePlateOverlays, .failures = nullptr,
             .drawFlags = kFlagsPlain},
};

constinit IconElement guardImage = {
    .base = {.kind = kElementIcon, .bitmapId = kBitmapGuardClosed, .x = 308, .y = 64,
             .header = &hoverGauge, .overlays = guardImageOverlays, .failures = nullptr,
             .drawFlags = kFlagsPlain},
    .var = {.tokenId = 0},
    .imageCount = 2,
    .callback = showGuard,
};

constinit IconElement engagedLamp = {
    .base = {.kind = kElementIcon, .bitmapId = kBitmapEngagedLamp, .x = 308, .y = 64,
             .header = &hoverGauge, .overlays = engagedLampOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLamp},
    .var = {.tokenId = 0},
    .imageCount = 1,
    .callback = showEngagedLamp,
};

constinit IconElement powerSwitchImage = {
    .base = {.kind = kElementIcon, .bitmapId = kBitmapSwitchDown, .x = 278, .y = 48,
             .header = &hoverGauge, .overlays = powerSwitchOverlays, .failures = nullptr,
             .drawFlags = kFlagsPlain},
    .var = {.tokenId = 0},
    .imageCount = 2,
    .callback = showPowerSwitch,
};

constinit IconElement screenImage = {
    .base = {.kind = kElementIcon, .bitmapId = kBitmapScreen, .x = 55, .y = 32,
             .header = &hoverGauge, .overlays = screenOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .var = {.tokenId = 0},
    .imageCount = 1,
    .callback = showScreen,
};

// The yaw-rate scale under the speed cross.

constinit SliderElement turnRateMarker = {
    .base = {.kind = kElementSlider, .bitmapId = kBitmapMeasuredMarker, .x = 147, .y = 155,
             .header = &hoverGauge, .overlays = turnRateOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .xVar = {.tokenId = kTokenYawRate},
    .xScale = kYawScale,
    .xCallback = showTurnRate,
};

constinit SliderElement turnTrendMarker = {
    .base = {.kind = kElementSlider, .bitmapId = kBitmapTrendMarker, .x = 147, .y = 155,
             .header = &hoverGauge, .overlays = turnTrendOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .xVar = {.tokenId = kTokenYawRate},
    .xScale = kYawScale,
    .xCallback = showTurnTrend,
};

constinit SliderElement turnSetMarker = {
    .base = {.kind = kElementSlider, .bitmapId = kBitmapSetMarker, .x = 147, .y = 155,
             .header = &hoverGauge, .overlays = nullptr, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .xVar = {.tokenId = kTokenYawRate},
    .xScale = kYawScale,
    .xCallback = showTurnSet,
};

// The vertical-speed scale on the right of the screen.

constinit SliderElement upSpeedMarker = {
    .base = {.kind = kElementSlider, .bitmapId = kBitmapMeasuredMarker, .x = 201, .y = 101,
             .header = &hoverGauge, .overlays = upSpeedOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .yVar = {.tokenId = kTokenVerticalSpeed},
    .yScale = kSpeedScale,
    .yCallback = showUpSpeed,
};

constinit SliderElement upTrendMarker = {
    .base = {.kind = kElementSlider, .bitmapId = kBitmapTrendMarker, .x = 201, .y = 101,
             .header = &hoverGauge, .overlays = upTrendOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .yVar = {.tokenId = kTokenVerticalSpeed},
    .yScale = kSpeedScale,
    .yCallback = showUpTrend,
};

constinit SliderElement upSetMarker = {
    .base = {.kind = kElementSlider, .bitmapId = kBitmapSetMarker, .x = 201, .y = 101,
             .header = &hoverGauge, .overlays = nullptr, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .yVar = {.tokenId = kTokenVerticalSpeed},
    .yScale = kSpeedScale,
    .yCallback = showUpSet,
};

// The readouts, each with its label drawn over it.

constinit TextElement headingText = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 61, .y = 51,
             .header = &hoverGauge, .overlays = headingTextOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .vars = {{.tokenId = kTokenHeadingDisplay}, {}, {}},
    .buffer = nullptr,
    .boxWidth = 33,
    .boxHeight = 20,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 3,
    .callback = showHeading,
};

constinit TextElement headingLabel = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 61, .y = 36,
             .header = &hoverGauge, .overlays = nullptr, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .vars = {{.tokenId = kTokenHeadingDisplay}, {}, {}},
    .buffer = nullptr,
    .boxWidth = 33,
    .boxHeight = 20,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 3,
    .callback = showHeadingLabel,
};

constinit TextElement groundSpeedText = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 217, .y = 51,
             .header = &hoverGauge, .overlays = groundSpeedTextOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .vars = {{.tokenId = kTokenVelocityNorth}, {.tokenId = kTokenVelocityEast}, {}},
    .buffer = nullptr,
    .boxWidth = 33,
    .boxHeight = 20,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 3,
    .callback = showGroundSpeed,
};

constinit TextElement groundSpeedLabel = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 217, .y = 36,
             .header = &hoverGauge, .overlays = nullptr, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .vars = {{.tokenId = kTokenVelocityNorth}, {.tokenId = kTokenVelocityEast}, {}},
    .buffer = nullptr,
    .boxWidth = 33,
    .boxHeight = 20,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 3,
    .callback = showSpeedLabel,
};

constinit TextElement radarHeightText = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 217, .y = 153,
             .header = &hoverGauge, .overlays = radarHeightTextOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .vars = {{.tokenId = kTokenRadarHeight}, {}, {}},
    .buffer = nullptr,
    .boxWidth = 33,
    .boxHeight = 20,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 3,
    .callback = showRadarHeight,
};

constinit TextElement radarHeightLabel = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 187, .y = 153,
             .header = &hoverGauge, .overlays = nullptr, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .vars = {{.tokenId = kTokenRadarHeight}, {}, {}},
    .buffer = nullptr,
    .boxWidth = 33,
    .boxHeight = 20,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 3,
    .callback = showHeightLabel,
};

constinit TextElement targetHeightText = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 120, .y = 169,
             .header = &hoverGauge, .overlays = nullptr, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .vars = {{.tokenId = kTokenRadarHeight}, {.tokenId = kTokenVelocityNorth},
             {.tokenId = kTokenVelocityEast}},
    .buffer = nullptr,
    .boxWidth = 64,
    .boxHeight = 34,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 3,
    .callback = showTargetHeight,
};

constinit TextElement windText = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 160, .y = 204,
             .header = &hoverGauge, .overlays = windTextOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .vars = {{.tokenId = kTokenWindDirection}, {.tokenId = kTokenWindSpeed}, {}},
    .buffer = nullptr,
    .boxWidth = 66,
    .boxHeight = 20,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 6,
    .callback = showWind,
};

constinit TextElement windLabel = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 120, .y = 204,
             .header = &hoverGauge, .overlays = nullptr, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .vars = {{.tokenId = kTokenWindDirection}, {.tokenId = kTokenWindSpeed}, {}},
    .buffer = nullptr,
    .boxWidth = 44,
    .boxHeight = 20,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 4,
    .callback = showWindLabel,
};

// The speed cross: lateral speed on x, forward speed on y.

constinit SliderElement driftSpeedMarker = {
    .base = {.kind = kElementSlider, .bitmapId = kBitmapMeasuredMarker, .x = 147, .y = 101,
             .header = &hoverGauge, .overlays = driftSpeedOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .xVar = {.tokenId = kTokenVelocityEast},
    .xScale = kSpeedScale,
    .yVar = {.tokenId = kTokenVelocityNorth},
    .yScale = kSpeedScale,
    .xCallback = showRightSpeed,
    .yCallback = showForwardSpeed,
};

constinit SliderElement driftTrendMarker = {
    .base = {.kind = kElementSlider, .bitmapId = kBitmapTrendMarker, .x = 147, .y = 101,
             .header = &hoverGauge, .overlays = driftTrendOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .xVar = {.tokenId = kTokenVelocityEast},
    .xScale = kSpeedScale,
    .yVar = {.tokenId = kTokenVelocityNorth},
    .yScale = kSpeedScale,
    .xCallback = showRightTrend,
    .yCallback = showForwardTrend,
};

constinit SliderElement driftSetMarker = {
    .base = {.kind = kElementSlider, .bitmapId = kBitmapSetMarker, .x = 147, .y = 101,
             .header = &hoverGauge, .overlays = nullptr, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .xVar = {.tokenId = kTokenVelocityEast},
    .xScale = kSpeedScale,
    .yVar = {.tokenId = kTokenVelocityNorth},
    .yScale = kSpeedScale,
    .xCallback = showRightSet,
    .yCallback = showForwardSet,
};

// The collective: labels over and under two bars standing side by side,
// the host's lever on the left (A), the pilot's stick Z on the right (M).

constinit TextElement pitchLabel = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 58, .y = 122,
             .header = &hoverGauge, .overlays = pitchLabelOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .vars = {{.tokenId = kTokenRadarHeight}, {.tokenId = kTokenVelocityNorth},
             {.tokenId = kTokenVelocityEast}},
    .buffer = nullptr,
    .boxWidth = 55,
    .boxHeight = 20,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 5,
    .callback = showPitchLabel,
};

constinit TextElement barsLabel = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 67, .y = 196,
             .header = &hoverGauge, .overlays = barsLabelOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .vars = {{.tokenId = kTokenRadarHeight}, {.tokenId = kTokenVelocityNorth},
             {.tokenId = kTokenVelocityEast}},
    .buffer = nullptr,
    .boxWidth = 33,
    .boxHeight = 20,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 3,
    .callback = showBarsLabel,
};

constinit MovingImageElement leverBar = {
    .base = {.kind = kElementMovingImage, .bitmapId = kBitmapBarStrip, .x = 68, .y = 140,
             .header = &hoverGauge, .overlays = leverBarOverlays, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .xVar = {.tokenId = 0},
    .yVar = {.tokenId = kTokenThrottlePosition},
    .yFirstBound = 0.0,
    .ySecondBound = 16384.0,
    .yCallback = showLever,
};

constinit MovingImageElement stickBar = {
    .base = {.kind = kElementMovingImage, .bitmapId = kBitmapBarStrip, .x = 86, .y = 140,
             .header = &hoverGauge, .overlays = nullptr, .failures = panelFailures,
             .drawFlags = kFlagsLit},
    .xVar = {.tokenId = 0},
    .yVar = {.tokenId = kTokenThrottlePosition},
    .yFirstBound = 100.0,
    .ySecondBound = 0.0,
    .yCallback = showStick,
};

#pragma GCC diagnostic pop
// clang-format on
