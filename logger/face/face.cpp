// SPDX-License-Identifier: MIT
#include "logger/face/face.h"

#include <cstring>

#include "logger/session/logger.h"

namespace {

constexpr uint32_t kFlagsPlain = kDrawTransparentBlack | kDrawHostOption1;
constexpr uint32_t kFlagsLit = kFlagsPlain | kDrawLit;

constexpr uint32_t kTextGreen = 0x008000;
constexpr uint32_t kTextBackground = 0x050505;
constexpr uint32_t kTextHighlight = 0xFFFFFF;
constexpr int32_t kFontWeightNormal = 400;
constexpr uint32_t kCharSetDefault = 1;
constexpr uint32_t kTextPlacement = kTextCentreHorizontal | kTextCentreVertical | kTextSingleLine;
constexpr uint32_t kClick = kMouseLeftSingle;

// The screen's lines: the programme item ("ELEV 3211") and the state of
// the excitation.
constexpr const char* kItemNames[] = {"ELEV 3211", "ELEV SWEEP", "AIL 3211",  "AIL SWEEP",
                                      "RUDD 3211", "RUDD SWEEP", "COLL 3211", "COLL SWEEP"};
static_assert(sizeof kItemNames / sizeof kItemNames[0] == kProgrammeLength);

void writeText(GaugeElement* element, const char* text) {
    auto* record = reinterpret_cast<TextElement*>(element);
    if (record->buffer == nullptr) {
        return;
    }
    size_t length = std::strlen(text);
    if (length > record->charCount) {
        length = record->charCount;
    }
    std::memcpy(record->buffer, text, length);
    record->buffer[length] = '\0';
}

}  // namespace

// The records are laid out as the host reads them; every field a record
// does not name is the host's and starts as zero.
// clang-format off
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

constinit FailureEntry litFailures[] = {
    {.key = kFailurePanelLights, .action = kFailureActionHide},
    {.key = 0, .action = 0},
};

constinit ElementList plateOverlays[] = {
    &recordSwitchImage.base, &recordingLamp.base, &faultMark.base, &nextInputText.base, &inputStatusText.base,
    nullptr,
};

constinit StaticImageElement logPlate = {
    .base = {.kind = kElementStaticImage, .bitmapId = kBitmapLogPlate, .x = 0, .y = 0,
             .header = &loggerGauge, .overlays = plateOverlays, .failures = nullptr,
             .drawFlags = kFlagsPlain},
};

}  // namespace

constinit ElementList loggerElements[] = {&logPlate.base, nullptr};

constinit IconElement recordSwitchImage = {
    .base = {.kind = kElementIcon, .bitmapId = kBitmapLogSwitchOff, .x = 14, .y = 24,
             .header = &loggerGauge, .overlays = nullptr, .failures = nullptr,
             .drawFlags = kFlagsPlain},
    .var = {.tokenId = 0},
    .imageCount = 2,
    .callback = showRecordSwitch,
};

constinit IconElement recordingLamp = {
    .base = {.kind = kElementIcon, .bitmapId = kBitmapLogLamp, .x = 38, .y = 27,
             .header = &loggerGauge, .overlays = nullptr, .failures = litFailures,
             .drawFlags = kFlagsLit},
    .var = {.tokenId = 0},
    .imageCount = 1,
    .callback = showRecordingLamp,
};

constinit IconElement faultMark = {
    .base = {.kind = kElementIcon, .bitmapId = kBitmapLogFault, .x = 38, .y = 46,
             .header = &loggerGauge, .overlays = nullptr, .failures = litFailures,
             .drawFlags = kFlagsLit},
    .var = {.tokenId = 0},
    .imageCount = 1,
    .callback = showFault,
};

constinit TextElement nextInputText = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 60, .y = 15,
             .header = &loggerGauge, .overlays = nullptr, .failures = litFailures,
             .drawFlags = kFlagsLit},
    .vars = {{}, {}, {}},
    .buffer = nullptr,
    .boxWidth = 92,
    .boxHeight = 18,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 10,
    .callback = showNextInput,
};

constinit TextElement inputStatusText = {
    .base = {.kind = kElementText, .bitmapId = -1, .x = 60, .y = 37,
             .header = &loggerGauge, .overlays = nullptr, .failures = litFailures,
             .drawFlags = kFlagsLit},
    .vars = {{}, {}, {}},
    .buffer = nullptr,
    .boxWidth = 92,
    .boxHeight = 18,
    .textColour = kTextGreen,
    .backgroundColour = kTextBackground,
    .highlightColour = kTextHighlight,
    .fontFace = "Arial",
    .fontWeight = kFontWeightNormal,
    .charSet = kCharSetDefault,
    .placement = kTextPlacement,
    .charCount = 11,
    .callback = showInputStatus,
};

#pragma GCC diagnostic pop

// The group's own box is empty, so the areas are placed from the plate's
// corner; no host event is tied to an area.
MouseRect loggerMouseRects[kLoggerMouseRectCount] = {
/*    kind                      x         y        width        height        cursor                  help         events               event         handler               data                     area */
    {.kind = kMouseGroupStart, .x = 0,   .y = 0,  .width = 0,  .height = 0,  .cursor = kCursorNone, .helpId = 0, .eventMask = 0,      .eventId = 0, .handler = nullptr,     .handlerData = nullptr},  // the whole gauge
    {.kind = kMouseArea,       .x = 14,  .y = 24, .width = 15, .height = 27, .cursor = kCursorHand, .helpId = 0, .eventMask = kClick, .eventId = 0, .handler = clickRecord, .handlerData = nullptr},  // the record switch
    {.kind = kMouseArea,       .x = 162, .y = 26, .width = 28, .height = 28, .cursor = kCursorHand, .helpId = 0, .eventMask = kClick, .eventId = 0, .handler = clickExcite, .handlerData = nullptr},  // the excite button
    {.kind = kMouseGroupEnd,   .x = 0,   .y = 0,  .width = 0,  .height = 0,  .cursor = kCursorNone, .helpId = 0, .eventMask = 0,      .eventId = 0, .handler = nullptr,     .handlerData = nullptr},  // end of the gauge's group
    {.kind = kMouseEndOfTable, .x = 0,   .y = 0,  .width = 0,  .height = 0,  .cursor = kCursorNone, .helpId = 0, .eventMask = 0,      .eventId = 0, .handler = nullptr,     .handlerData = nullptr},  // end of the table
};
// clang-format on

int32_t GAUGE_CALL clickRecord(PixelPoint*, uint32_t) {
    toggleRecording();
    return 0;
}

int32_t GAUGE_CALL clickExcite(PixelPoint*, uint32_t) {
    pressExcite();
    return 0;
}

double GAUGE_CALL showRecordSwitch(GaugeElement*) {
    return isRecording() ? 1.0 : 0.0;
}

double GAUGE_CALL showRecordingLamp(GaugeElement*) {
    return isRecording() ? 0.0 : -1.0;
}

double GAUGE_CALL showFault(GaugeElement*) {
    return logger.fault ? 0.0 : -1.0;
}

double GAUGE_CALL showNextInput(GaugeElement* element) {
    const PlayerState& player = logger.player;
    const int item = player.playing ? player.item : player.nextItem;
    writeText(element, kItemNames[item]);
    return item;
}

double GAUGE_CALL showInputStatus(GaugeElement* element) {
    const PlayerState& player = logger.player;
    Outcome shown = player.lastOutcome;
    if (player.playing) {
        writeText(element, "PLAYING");
        return 1.0;
    }
    switch (shown) {
    case Outcome::kEndedEarly:
        writeText(element, "ENDED EARLY");
        return 2.0;
    case Outcome::kCompleted:
        writeText(element, "DONE");
        return 3.0;
    case Outcome::kNone:
        break;
    }
    writeText(element, "READY");
    return 0.0;
}
