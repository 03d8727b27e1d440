// SPDX-License-Identifier: MIT
#include "module/gauge.h"

MouseRect mouseRects[] = {
    {.kind = kMouseEndOfTable, .x = 0, .y = 0, .width = 0, .height = 0, .cursor = kCursorNone,
     .helpId = 0, .eventMask = 0, .eventId = 0, .handler = nullptr, .handlerData = nullptr},
};
