// SPDX-License-Identifier: MIT
//
// The host's side of the gauge contract: the records the flight simulator and
// a gauge module exchange, laid out byte for byte as the host reads them.
// Both the module and the simulated host include this header and nothing else
// of each other, exactly as a real host and its gauges share one SDK header.
//
// All records are little-endian 32-bit words packed to 4 bytes, so a double
// may stand at an offset that is not a multiple of 8. On the shipped 32-bit
// target every offset below is checked; on the 64-bit native build pointers
// are wider and the offsets move, which only the native host and module see.
#ifndef HOVER_GAUGE_SDK_H
#define HOVER_GAUGE_SDK_H

#include <cstddef>
#include <cstdint>

// Every function the host calls in a gauge, and every host function a gauge
// calls, uses the 32-bit Windows standard-call convention. Elsewhere the
// platform has one convention and the macro is empty.
#if defined(__i386__) || defined(_M_IX86)
#define GAUGE_CALL __attribute__((stdcall))
#else
#define GAUGE_CALL
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
#define GAUGE_SDK_32BIT 1
#else
#define GAUGE_SDK_32BIT 0
#endif

// Service codes the host sends to a gauge's service callback.
enum GaugeService : uint32_t {
    kServicePreInstall = 2,
    kServicePreUpdate = 6,
    kServicePreKill = 12,
    kServiceConnectToWindow = 14,
};

// Host variables by token number, in the units the host serves them.
enum HostToken : uint32_t {
    kTokenThrottlePosition = 128,
    kTokenElevatorPosition = 309,
    kTokenAileronPosition = 311,
    kTokenRudderPosition = 314,
    kTokenWindSpeed = 343,
    kTokenWindDirection = 344,
    kTokenVelocityNorth = 554,
    kTokenVelocityEast = 555,
    kTokenVerticalSpeed = 556,
    kTokenSimulationTime = 604,
    kTokenRadarHeight = 614,
    kTokenYawRate = 70,
    kTokenPitch = 77,
    kTokenHeadingDisplay = 81,
    kTokenHeading = 86,
    kTokenOperating = 755,
};

// Host axis events; each carries a position in the axis's units.
enum HostEvent : uint32_t {
    kEventElevator = 65762,
    kEventAileron = 65763,
    kEventRudder = 65764,
    kEventThrottle = 65820,
};

// Element kinds of the version-800 element format.
enum ElementKind : uint32_t {
    kElementStaticImage = 0,
    kElementText = 2,
    kElementSlider = 3,
    kElementIcon = 4,
    kElementMovingImage = 5,
};

// Draw flag bits of an element.
enum DrawFlag : uint32_t {
    kDrawTransparentBlack = 0x1,  // pure black (0,0,0) pixels are not drawn
    kDrawHostOption1 = 0x2,
    kDrawLit = 0x4,  // a light source of the unit: drawn bright
    kDrawHostOption7 = 0x80,
    kDrawHidden = 0x2000000,  // not drawn at all
};

// Mouse rectangle kinds and event mask bits.
enum MouseRectKind : uint32_t {
    kMouseEndOfTable = 0,
    kMouseGroupStart = 1,
    kMouseArea = 2,
    kMouseGroupEnd = 3,
};
enum MouseEventBit : uint32_t {
    kMouseLeftSingle = 0x20000000,
    kMouseRepeat = 0x00200000,
};
enum MouseCursor : int32_t {
    kCursorNone = -1,
    kCursorUpArrow = 1,
    kCursorDownArrow = 2,
    kCursorHand = 5,
};

// The host failure a panel's lit parts depend on, and the action that hides
// an element while that failure is active.
constexpr uint32_t kFailurePanelLights = 21;
constexpr uint32_t kFailureActionHide = 3;

struct GaugeHeader;
struct GaugeElement;
struct HostVar;
struct PixelPoint;

using ModuleRoutine = void(GAUGE_CALL*)();
// `extra` is 32 bits on the host; it carries the module instance handle with
// the pre-install service, so on the 64-bit native build it is pointer-wide.
using ServiceCallback = void(GAUGE_CALL*)(GaugeHeader* header, uint32_t code, uintptr_t extra);
using ElementCallback = double(GAUGE_CALL*)(GaugeElement* element);
using MouseHandler = int32_t(GAUGE_CALL*)(PixelPoint* position, uint32_t eventFlags);
using SendEventFn = uint32_t(GAUGE_CALL*)(uint32_t eventId, int32_t value);
using ReadVariableFn = void(GAUGE_CALL*)(HostVar* variable);

// An element list: element pointers ended by a null pointer.
using ElementList = GaugeElement*;

#pragma pack(push, 4)

// HostVar, one host variable named by its token number (28 bytes).
//   off size meaning
//     0    4 tokenId, the variable's token number; 0 names no variable
//     4    8 two words owned by the host
//    12    8 value, the variable's current value (IEEE double)
//    20    8 owned by the host
struct HostVar {
    uint32_t tokenId;
    uint32_t hostWords[2];
    double value;
    uint8_t hostData[8];
};

// HostApi, the host's function table as a gauge uses it: an array of
// function pointers of which only two entries are called.
//   entry byte(32-bit) meaning
//      36   144       sendEvent(event id, signed value) -> 32-bit result
//      40   160       readVariable(HostVar*)
struct HostApi {
    void* entries0to35[36];
    SendEventFn sendEvent;
    void* entries37to39[3];
    ReadVariableFn readVariable;
};

// Linkage, exported by name (32 bytes).
//   off size meaning
//     0    4 identification word, 0x13
//     4    4 module init routine
//     8    4 module deinit routine
//    12    8 two words, 0
//    20    4 version word, 0x0800
//    24    4 the module's one gauge header
//    28    4 end of the gauge list, null
struct GaugeLinkage {
    uint32_t id;
    ModuleRoutine init;
    ModuleRoutine deinit;
    uint32_t reserved[2];
    uint32_t version;
    GaugeHeader* gauges[2];
};

// ImportTable, exported by name and filled in by the host (16 bytes).
//   off size meaning
//     0    4 entry identifier, 15
//     4    4 the host's function table, written by the host after loading
//     8    4 entry identifier 0, end of the list
//    12    4 null
struct GaugeImports {
    uint32_t id;
    HostApi* hostApi;
    uint32_t endId;
    void* endPointer;
};

// MouseRect, one record of a gauge's mouse rectangle table (44 bytes).
//   off size meaning
//     0    4 kind: group start, area, group end, end of table
//     4   16 x, y, width, height in gauge pixels
//    20    4 cursor
//    24    4 help id
//    28    4 event mask
//    32    4 host event id tied to the area
//    36    4 handler
//    40    4 handler data
struct MouseRect {
    uint32_t kind;
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t cursor;
    uint32_t helpId;
    uint32_t eventMask;
    uint32_t eventId;
    MouseHandler handler;
    void* handlerData;
};

// The click position the host hands a mouse handler.
struct PixelPoint {
    int32_t x;
    int32_t y;
};

// GaugeHeader in the host's version-800 format (128 bytes).
//   off size meaning
//     0    4 header version, 800
//     4    4 gauge name, NUL-terminated
//     8    4 element list: the root elements, null-terminated
//    12   32 eight words, 0
//    44    4 default size, 100
//    48   32 eight words, 0
//    80    4 mouse rectangle table
//    84    4 service callback
//    88    4 word, 0
//    92    4 the gauge's parameter string, written by the host
//    96   32 remaining host fields, 0
struct GaugeHeader {
    uint32_t version;
    const char* name;
    ElementList* elements;
    uint32_t reserved12[8];
    uint32_t defaultSize;
    uint32_t reserved48[8];
    MouseRect* mouseRects;
    ServiceCallback serviceCallback;
    uint32_t reserved88;
    char* parameters;
    uint32_t reserved96[8];
};

// FailureEntry: a failure key and the action the host takes while that
// failure is active. A list ends with the entry (0, 0).
struct FailureEntry {
    uint32_t key;
    uint32_t action;
};

// GaugeElement, the leading 60 bytes of every element record.
//   off size meaning
//     0    4 kind
//     4    4 bitmap resource id, -1 for none
//     8    8 x, y position in gauge pixels
//    16   16 host working fields
//    32    4 the gauge's header
//    36    4 previous element, null
//    40    4 the element's list of elements drawn over it, or null
//    44    4 failure list, or null
//    48    4 draw flags
//    52    8 two further words, 0
struct GaugeElement {
    uint32_t kind;
    int32_t bitmapId;
    int32_t x;
    int32_t y;
    uint32_t hostWork[4];
    GaugeHeader* header;
    GaugeElement* previous;
    ElementList* overlays;
    FailureEntry* failures;
    uint32_t drawFlags;
    uint32_t reserved52[2];
};

// StaticImageElement (96 bytes): nothing beyond the common part.
struct StaticImageElement {
    GaugeElement base;
    uint32_t reserved60[9];
};

// SliderElement (192 bytes): the bitmap moved right by x value × x scale and
// down by y value × y scale.
//   off size meaning
//    60   28 x variable slot
//    92    8 x scale, pixels per unit
//   104   28 y variable slot
//   136    8 y scale, pixels per unit
//   168    4 x callback, or null
//   172    4 y callback, or null
struct SliderElement {
    GaugeElement base;
    HostVar xVar;
    uint32_t reserved88;
    double xScale;
    uint32_t reserved100;
    HostVar yVar;
    uint32_t reserved132;
    double yScale;
    uint32_t reserved144[6];
    ElementCallback xCallback;
    ElementCallback yCallback;
    uint32_t reserved176[4];
};

// TextElement (324 bytes): the callback's text drawn in a box.
//   off size meaning
//    60   84 three variable slots
//   184    4 text buffer, provided by the host
//   192    8 box width, box height
//   208    4 text colour 0x00BBGGRR
//   212    4 background colour
//   216    4 highlight colour
//   248   32 font face name, NUL-padded
//   280    4 font weight
//   284    4 character-set code
//   288    4 text placement flags
//   292    4 number of characters
//   312    4 callback
struct TextElement {
    GaugeElement base;
    HostVar vars[3];
    uint32_t reserved144[10];
    char* buffer;
    uint32_t reserved188;
    int32_t boxWidth;
    int32_t boxHeight;
    uint32_t reserved200[2];
    uint32_t textColour;
    uint32_t backgroundColour;
    uint32_t highlightColour;
    uint32_t reserved220[7];
    char fontFace[32];
    int32_t fontWeight;
    uint32_t charSet;
    uint32_t placement;
    uint32_t charCount;
    uint32_t reserved296[4];
    ElementCallback callback;
    uint32_t reserved316[2];
};

// Text placement flags.
enum TextPlacement : uint32_t {
    kTextCentreHorizontal = 0x1,
    kTextCentreVertical = 0x4,
    kTextSingleLine = 0x20,
};

// IconElement (140 bytes): bitmap id + value for a value 0..count-1,
// nothing for -1.
//   off size meaning
//    60   28 variable slot
//   112    4 number of images in the series id, id+1, ...
//   132    4 callback
struct IconElement {
    GaugeElement base;
    HostVar var;
    uint32_t reserved88[6];
    uint32_t imageCount;
    uint32_t reserved116[4];
    ElementCallback callback;
    uint32_t reserved136;
};

// MovingImageElement (268 bytes): a strip bitmap moved inside a window; the
// y value maps from the first bound to the second onto the strip's travel.
//   off size meaning
//    60   28 x variable slot
//   112   28 y variable slot
//   144    8 y first bound
//   152    8 y second bound
//   248    4 y callback
struct MovingImageElement {
    GaugeElement base;
    HostVar xVar;
    uint32_t reserved88[6];
    HostVar yVar;
    uint32_t reserved140;
    double yFirstBound;
    double ySecondBound;
    uint32_t reserved160[22];
    ElementCallback yCallback;
    uint32_t reserved252[4];
};

#pragma pack(pop)

static_assert(sizeof(HostVar) == 28);
static_assert(offsetof(HostVar, value) == 12);
static_assert(offsetof(HostVar, hostData) == 20);
static_assert(sizeof(PixelPoint) == 8);
static_assert(sizeof(FailureEntry) == 8);

#if GAUGE_SDK_32BIT
static_assert(offsetof(HostApi, sendEvent) == 144);
static_assert(offsetof(HostApi, readVariable) == 160);

static_assert(sizeof(GaugeLinkage) == 32);
static_assert(offsetof(GaugeLinkage, init) == 4);
static_assert(offsetof(GaugeLinkage, deinit) == 8);
static_assert(offsetof(GaugeLinkage, version) == 20);
static_assert(offsetof(GaugeLinkage, gauges) == 24);

static_assert(sizeof(GaugeImports) == 16);
static_assert(offsetof(GaugeImports, hostApi) == 4);
static_assert(offsetof(GaugeImports, endId) == 8);
static_assert(offsetof(GaugeImports, endPointer) == 12);

static_assert(sizeof(MouseRect) == 44);
static_assert(offsetof(MouseRect, x) == 4);
static_assert(offsetof(MouseRect, y) == 8);
static_assert(offsetof(MouseRect, width) == 12);
static_assert(offsetof(MouseRect, height) == 16);
static_assert(offsetof(MouseRect, cursor) == 20);
static_assert(offsetof(MouseRect, helpId) == 24);
static_assert(offsetof(MouseRect, eventMask) == 28);
static_assert(offsetof(MouseRect, eventId) == 32);
static_assert(offsetof(MouseRect, handler) == 36);
static_assert(offsetof(MouseRect, handlerData) == 40);

static_assert(sizeof(GaugeHeader) == 128);
static_assert(offsetof(GaugeHeader, name) == 4);
static_assert(offsetof(GaugeHeader, elements) == 8);
static_assert(offsetof(GaugeHeader, reserved12) == 12);
static_assert(offsetof(GaugeHeader, defaultSize) == 44);
static_assert(offsetof(GaugeHeader, reserved48) == 48);
static_assert(offsetof(GaugeHeader, mouseRects) == 80);
static_assert(offsetof(GaugeHeader, serviceCallback) == 84);
static_assert(offsetof(GaugeHeader, reserved88) == 88);
static_assert(offsetof(GaugeHeader, parameters) == 92);
static_assert(offsetof(GaugeHeader, reserved96) == 96);

static_assert(sizeof(GaugeElement) == 60);
static_assert(offsetof(GaugeElement, bitmapId) == 4);
static_assert(offsetof(GaugeElement, x) == 8);
static_assert(offsetof(GaugeElement, y) == 12);
static_assert(offsetof(GaugeElement, hostWork) == 16);
static_assert(offsetof(GaugeElement, header) == 32);
static_assert(offsetof(GaugeElement, previous) == 36);
static_assert(offsetof(GaugeElement, overlays) == 40);
static_assert(offsetof(GaugeElement, failures) == 44);
static_assert(offsetof(GaugeElement, drawFlags) == 48);
static_assert(offsetof(GaugeElement, reserved52) == 52);

static_assert(sizeof(StaticImageElement) == 96);

static_assert(sizeof(SliderElement) == 192);
static_assert(offsetof(SliderElement, xVar) == 60);
static_assert(offsetof(SliderElement, xScale) == 92);
static_assert(offsetof(SliderElement, yVar) == 104);
static_assert(offsetof(SliderElement, yScale) == 136);
static_assert(offsetof(SliderElement, xCallback) == 168);
static_assert(offsetof(SliderElement, yCallback) == 172);

static_assert(sizeof(TextElement) == 324);
static_assert(offsetof(TextElement, vars) == 60);
static_assert(offsetof(TextElement, vars) + 12 == 72);
static_assert(offsetof(TextElement, vars) + sizeof(HostVar) + 12 == 100);
static_assert(offsetof(TextElement, buffer) == 184);
static_assert(offsetof(TextElement, boxWidth) == 192);
static_assert(offsetof(TextElement, boxHeight) == 196);
static_assert(offsetof(TextElement, textColour) == 208);
static_assert(offsetof(TextElement, backgroundColour) == 212);
static_assert(offsetof(TextElement, highlightColour) == 216);
static_assert(offsetof(TextElement, fontFace) == 248);
static_assert(offsetof(TextElement, fontWeight) == 280);
static_assert(offsetof(TextElement, charSet) == 284);
static_assert(offsetof(TextElement, placement) == 288);
static_assert(offsetof(TextElement, charCount) == 292);
static_assert(offsetof(TextElement, callback) == 312);

static_assert(sizeof(IconElement) == 140);
static_assert(offsetof(IconElement, var) == 60);
static_assert(offsetof(IconElement, imageCount) == 112);
static_assert(offsetof(IconElement, callback) == 132);

static_assert(sizeof(MovingImageElement) == 268);
static_assert(offsetof(MovingImageElement, xVar) == 60);
static_assert(offsetof(MovingImageElement, yVar) == 112);
static_assert(offsetof(MovingImageElement, yVar) + 12 == 124);
static_assert(offsetof(MovingImageElement, yFirstBound) == 144);
static_assert(offsetof(MovingImageElement, ySecondBound) == 152);
static_assert(offsetof(MovingImageElement, yCallback) == 248);
#endif

#endif
