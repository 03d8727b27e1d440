// SPDX-License-Identifier: MIT
//
// The gauge's click areas and their handlers.
#include "input/mouse.h"

#include "control/controller.h"
#include "state/clamp.h"

namespace {

constexpr double kSetPointStep = 0.25;  // m/s, or deg/s for the yaw rate
constexpr double kSetPointLimit = 2.0;  // the set points stay within ±2
constexpr double kHeightStepFt = 1.0;

constexpr uint32_t kClick = kMouseLeftSingle;
// The stepping areas repeat their step while the button is held.
constexpr uint32_t kClickRepeat = kMouseLeftSingle | kMouseRepeat;

// The step is stored before the clamp.
void stepWithClamp(double& value, double step, double lower, double upper) {
    value = clampLowerFirst(value + step, lower, upper);
}

void stepSetPoint(double& setPoint, double step) {
    stepWithClamp(setPoint, step, -kSetPointLimit, kSetPointLimit);
}

void stepTargetHeight(double step) {
    stepWithClamp(controller.targetHeightFt, step, kTargetHeightMinFt, kTargetHeightMaxFt);
}

}  // namespace

int32_t GAUGE_CALL forwardSetUp(PixelPoint*, uint32_t) {
    stepSetPoint(controller.forward.setPoint, kSetPointStep);
    return 0;
}

int32_t GAUGE_CALL forwardSetDown(PixelPoint*, uint32_t) {
    stepSetPoint(controller.forward.setPoint, -kSetPointStep);
    return 0;
}

int32_t GAUGE_CALL rightSetUp(PixelPoint*, uint32_t) {
    stepSetPoint(controller.right.setPoint, kSetPointStep);
    return 0;
}

int32_t GAUGE_CALL rightSetDown(PixelPoint*, uint32_t) {
    stepSetPoint(controller.right.setPoint, -kSetPointStep);
    return 0;
}

int32_t GAUGE_CALL turnSetUp(PixelPoint*, uint32_t) {
    stepSetPoint(controller.turn.setPoint, kSetPointStep);
    return 0;
}

int32_t GAUGE_CALL turnSetDown(PixelPoint*, uint32_t) {
    stepSetPoint(controller.turn.setPoint, -kSetPointStep);
    return 0;
}

int32_t GAUGE_CALL targetHeightUp(PixelPoint*, uint32_t) {
    stepTargetHeight(kHeightStepFt);
    return 0;
}

int32_t GAUGE_CALL targetHeightDown(PixelPoint*, uint32_t) {
    stepTargetHeight(-kHeightStepFt);
    return 0;
}

int32_t GAUGE_CALL centerSpeedSets(PixelPoint*, uint32_t) {
    centerSpeedSets();
    return 0;
}

int32_t GAUGE_CALL centerTurnSet(PixelPoint*, uint32_t) {
    centerTurnSet();
    return 0;
}

int32_t GAUGE_CALL tapGuardLid(PixelPoint*, uint32_t) {
    toggleGuard();
    return 0;
}

int32_t GAUGE_CALL clickEngage(PixelPoint*, uint32_t) {
    pressEngage();
    return 0;
}

int32_t GAUGE_CALL toggleOnOff(PixelPoint*, uint32_t) {
    togglePower();
    return 0;
}

// The host hit-tests these records; no two areas overlap, so a click reaches
// at most one handler. Coordinates are pixels of the gauge face from its
// top-left corner; the group's own box is empty, so the areas are placed
// from that corner. No host event is tied to an area: the handler does the
// work. The module never changes the table.
// clang-format off
MouseRect mouseRects[kMouseRectCount] = {
/*    kind                      x         y         width        height        cursor                      help         events                     event         handler                      data                     area */
    {.kind = kMouseGroupStart, .x = 0,   .y = 0,   .width = 0,  .height = 0,  .cursor = kCursorNone,      .helpId = 0, .eventMask = 0,            .eventId = 0, .handler = nullptr,          .handlerData = nullptr},  // the whole gauge
    {.kind = kMouseArea,       .x = 142, .y = 96,  .width = 17, .height = 17, .cursor = kCursorHand,      .helpId = 0, .eventMask = kClick,       .eventId = 0, .handler = centerSpeedSets,  .handlerData = nullptr},  // centre of the speed cross on the screen
    {.kind = kMouseArea,       .x = 185, .y = 97,  .width = 11, .height = 15, .cursor = kCursorUpArrow,   .helpId = 0, .eventMask = kClickRepeat, .eventId = 0, .handler = rightSetUp,       .handlerData = nullptr},  // right end of the cross
    {.kind = kMouseArea,       .x = 105, .y = 97,  .width = 11, .height = 15, .cursor = kCursorDownArrow, .helpId = 0, .eventMask = kClickRepeat, .eventId = 0, .handler = rightSetDown,     .handlerData = nullptr},  // left end of the cross
    {.kind = kMouseArea,       .x = 143, .y = 58,  .width = 15, .height = 11, .cursor = kCursorUpArrow,   .helpId = 0, .eventMask = kClickRepeat, .eventId = 0, .handler = forwardSetUp,     .handlerData = nullptr},  // top end of the cross
    {.kind = kMouseArea,       .x = 143, .y = 139, .width = 15, .height = 11, .cursor = kCursorDownArrow, .helpId = 0, .eventMask = kClickRepeat, .eventId = 0, .handler = forwardSetDown,   .handlerData = nullptr},  // bottom end of the cross
    {.kind = kMouseArea,       .x = 142, .y = 160, .width = 9,  .height = 9,  .cursor = kCursorHand,      .helpId = 0, .eventMask = kClick,       .eventId = 0, .handler = centerTurnSet,    .handlerData = nullptr},  // centre of the yaw-rate scale
    {.kind = kMouseArea,       .x = 177, .y = 160, .width = 9,  .height = 9,  .cursor = kCursorUpArrow,   .helpId = 0, .eventMask = kClickRepeat, .eventId = 0, .handler = turnSetUp,        .handlerData = nullptr},  // right end of the yaw-rate scale
    {.kind = kMouseArea,       .x = 115, .y = 160, .width = 9,  .height = 9,  .cursor = kCursorDownArrow, .helpId = 0, .eventMask = kClickRepeat, .eventId = 0, .handler = turnSetDown,      .handlerData = nullptr},  // left end of the yaw-rate scale
    {.kind = kMouseArea,       .x = 265, .y = 118, .width = 27, .height = 29, .cursor = kCursorUpArrow,   .helpId = 0, .eventMask = kClickRepeat, .eventId = 0, .handler = targetHeightUp,   .handlerData = nullptr},  // target height up-arrow button
    {.kind = kMouseArea,       .x = 265, .y = 150, .width = 27, .height = 29, .cursor = kCursorDownArrow, .helpId = 0, .eventMask = kClickRepeat, .eventId = 0, .handler = targetHeightDown, .handlerData = nullptr},  // target height down-arrow button
    {.kind = kMouseArea,       .x = 308, .y = 64,  .width = 55, .height = 56, .cursor = kCursorHand,      .helpId = 0, .eventMask = kClick,       .eventId = 0, .handler = tapGuardLid,      .handlerData = nullptr},  // upper half of the engage button: the guard
    {.kind = kMouseArea,       .x = 308, .y = 120, .width = 55, .height = 56, .cursor = kCursorHand,      .helpId = 0, .eventMask = kClick,       .eventId = 0, .handler = clickEngage,      .handlerData = nullptr},  // lower half: the engage button itself
    {.kind = kMouseArea,       .x = 278, .y = 48,  .width = 15, .height = 27, .cursor = kCursorHand,      .helpId = 0, .eventMask = kClick,       .eventId = 0, .handler = toggleOnOff,      .handlerData = nullptr},  // power toggle switch
    {.kind = kMouseGroupEnd,   .x = 0,   .y = 0,   .width = 0,  .height = 0,  .cursor = kCursorNone,      .helpId = 0, .eventMask = 0,            .eventId = 0, .handler = nullptr,          .handlerData = nullptr},  // end of the gauge's group
    {.kind = kMouseEndOfTable, .x = 0,   .y = 0,   .width = 0,  .height = 0,  .cursor = kCursorNone,      .helpId = 0, .eventMask = 0,            .eventId = 0, .handler = nullptr,          .handlerData = nullptr},  // end of the table
};
// clang-format on

#if GAUGE_SDK_32BIT
static_assert(sizeof mouseRects == 16 * 44);
#endif
