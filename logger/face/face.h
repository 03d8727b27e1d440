// SPDX-License-Identifier: MIT
//
// The logger's face: a plate with the record switch, the recording lamp, the
// fault mark, a small screen saying which input comes next (or plays) and
// how the last one ended, and the excite button; its element records in the
// host's layout and its click areas. Positions are gauge pixels from the
// plate's top left corner; tools/bitmapgen draws the pictures to them.
#ifndef HOVER_LOGGER_FACE_FACE_H
#define HOVER_LOGGER_FACE_FACE_H

#include <cstddef>
#include <cstdint>

#include "sdk/gauge_sdk.h"

// Bitmap resource ids, apart from the hover gauge's, so the two modules'
// bitmaps may even share a folder.
enum LoggerBitmapId : int32_t {
    kBitmapLogPlate = 200,
    kBitmapLogSwitchOff = 201,
    kBitmapLogSwitchOn = 202,
    kBitmapLogLamp = 203,
    kBitmapLogFault = 204,
};

// The header of the gauge `hoverlog` (defined with Linkage), which every
// element record points back at.
extern GaugeHeader loggerGauge;

extern ElementList loggerElements[];
extern IconElement recordSwitchImage;
extern IconElement recordingLamp;
extern IconElement faultMark;
extern TextElement nextInputText;
extern TextElement inputStatusText;

// The click areas: the record switch, then the excite button.
constexpr int kLoggerMouseRectCount = 5;
extern MouseRect loggerMouseRects[kLoggerMouseRectCount];

int32_t GAUGE_CALL clickRecord(PixelPoint* position, uint32_t eventFlags);
int32_t GAUGE_CALL clickExcite(PixelPoint* position, uint32_t eventFlags);

// The value callbacks.
double GAUGE_CALL showRecordSwitch(GaugeElement* element);
double GAUGE_CALL showRecordingLamp(GaugeElement* element);
double GAUGE_CALL showFault(GaugeElement* element);
double GAUGE_CALL showNextInput(GaugeElement* element);
double GAUGE_CALL showInputStatus(GaugeElement* element);

#endif
