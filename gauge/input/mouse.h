// SPDX-License-Identifier: MIT
//
// The handlers behind the gauge's click areas. The host calls each with the
// click position and its event flags; none needs either, and each answers 0.
// None looks at the unit's switches: set points and the target height can be
// changed with the unit off.
#ifndef HOVER_INPUT_MOUSE_H
#define HOVER_INPUT_MOUSE_H

#include <cstdint>

#include "sdk/gauge_sdk.h"

int32_t GAUGE_CALL forwardSetUp(PixelPoint* position, uint32_t eventFlags);
int32_t GAUGE_CALL forwardSetDown(PixelPoint* position, uint32_t eventFlags);
int32_t GAUGE_CALL rightSetUp(PixelPoint* position, uint32_t eventFlags);
int32_t GAUGE_CALL rightSetDown(PixelPoint* position, uint32_t eventFlags);
int32_t GAUGE_CALL turnSetUp(PixelPoint* position, uint32_t eventFlags);
int32_t GAUGE_CALL turnSetDown(PixelPoint* position, uint32_t eventFlags);
int32_t GAUGE_CALL targetHeightUp(PixelPoint* position, uint32_t eventFlags);
int32_t GAUGE_CALL targetHeightDown(PixelPoint* position, uint32_t eventFlags);

// The click areas of the unit's centring and switching operations. The
// centring areas call the operation of the same name; the switching areas
// have names of their own: tapGuardLid calls toggleGuard, clickEngage
// pressEngage and toggleOnOff togglePower (control/controller.h).
int32_t GAUGE_CALL centerSpeedSets(PixelPoint* position, uint32_t eventFlags);
int32_t GAUGE_CALL centerTurnSet(PixelPoint* position, uint32_t eventFlags);
int32_t GAUGE_CALL tapGuardLid(PixelPoint* position, uint32_t eventFlags);
int32_t GAUGE_CALL clickEngage(PixelPoint* position, uint32_t eventFlags);
int32_t GAUGE_CALL toggleOnOff(PixelPoint* position, uint32_t eventFlags);

// The number of records in mouseRects.
constexpr int kMouseRectCount = 16;

// The click areas as the host hit-tests them; the gauge header points here.
extern MouseRect mouseRects[kMouseRectCount];

#endif
