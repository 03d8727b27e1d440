// SPDX-License-Identifier: MIT
#include "fuzz/exerciser.h"

#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "control/controller.h"
#include "module/gauge.h"
#include "sdk/element_walk.h"

#if __has_include("fake_dinput.h")
#include "fake_dinput.h"
#define HOVER_EXERCISE_JOYSTICK 1
#else
#define HOVER_EXERCISE_JOYSTICK 0
#endif

#if defined(__SANITIZE_ADDRESS__)
#define HOVER_EXERCISE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOVER_EXERCISE_ASAN 1
#endif
#endif
#ifdef HOVER_EXERCISE_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace exercise {

namespace {

// Host event ids and the range the module may send on each.
constexpr uint32_t kElevator = 65762;
constexpr uint32_t kAileron = 65763;
constexpr uint32_t kRudder = 65764;
constexpr uint32_t kThrottle = 65820;
constexpr int32_t kSurfaceLimit = 6000;
constexpr int32_t kThrottleLow = 5000;
constexpr int32_t kThrottleHigh = 15000;
// Four loop commands and the pitch guard's override.
constexpr uint32_t kMaxEventsPerFrame = 5;

constexpr uint32_t kTimeToken = 604;
constexpr double kFrameStep = 1.0 / 18.0;

// Bytes after every text buffer that no callback may touch.
constexpr uint32_t kFence = 16;
constexpr uint8_t kFenceByte = 0xFD;
constexpr uint8_t kStaleByte = 0xA5;
constexpr uint32_t kMaxTextCount = 4096;

constexpr uint32_t kHiddenBit = 0x2000000;
constexpr int kMaxElements = 128;
constexpr walk::Limits kWalkLimits{.maxDepth = 32, .maxListLength = kMaxElements + 1};
constexpr int kMaxMouseRecords = 256;
// One open joystick holds the DirectInput object and two device interfaces.
constexpr int32_t kMaxHeldReferences = 3;

struct TokenRange {
    uint32_t token;
    double lo;
    double hi;
};

// What a flying helicopter's host plausibly reports.
constexpr TokenRange kPlausible[] = {
    {.token = 86, .lo = 0.0, .hi = 360.0},       // heading, degrees
    {.token = 81, .lo = 0.0, .hi = 360.0},       // heading shown
    {.token = 554, .lo = -80.0, .hi = 80.0},     // north velocity, ft/s
    {.token = 555, .lo = -80.0, .hi = 80.0},     // east velocity, ft/s
    {.token = 556, .lo = -30.0, .hi = 30.0},     // vertical speed, ft/s
    {.token = 70, .lo = -3000.0, .hi = 3000.0},  // yaw rate, 1/65536 turn per s
    {.token = 614, .lo = 0.0, .hi = 350.0},      // radar height, m
    {.token = 755, .lo = 18.0, .hi = 110.0},     // rotor speed, percent
    {.token = 309, .lo = -16383.0, .hi = 16383.0}, {.token = 311, .lo = -16383.0, .hi = 16383.0},
    {.token = 314, .lo = -16383.0, .hi = 16383.0}, {.token = 128, .lo = 0.0, .hi = 16384.0},
    {.token = 77, .lo = -20.0, .hi = 20.0},  // pitch, degrees
    {.token = 343, .lo = 0.0, .hi = 150.0},  // wind speed
    {.token = 344, .lo = 0.0, .hi = 360.0},  // wind direction
};

const double kSpecialDoubles[] = {
    std::numeric_limits<double>::quiet_NaN(),
    -std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::signaling_NaN(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::max(),
    std::numeric_limits<double>::lowest(),
    std::numeric_limits<double>::min(),
    -std::numeric_limits<double>::min(),
    std::numeric_limits<double>::denorm_min(),
    -std::numeric_limits<double>::denorm_min(),
    std::numeric_limits<double>::epsilon(),
    0.0,
    -0.0,
    1e300,
    -1e300,
    1e19,
    -1e19,
    2147483648.0,
    -2147483649.0,
    4294967296.0,
    9.2233720368547758e18,
    999.5,
    1000.0,
    -99.5,
    -100.0,
    99.5,
    1e6,
    -1e6,
    360.0,
    16384.0,
    20.0,
    20.000001,
};

}  // namespace

uint16_t Source::word16() {
    const uint32_t high = byte();
    return static_cast<uint16_t>((high << 8) | byte());
}

uint32_t Source::word32() {
    const uint32_t high = word16();
    return (high << 16) | word16();
}

uint64_t Source::word64() {
    const uint64_t high = word32();
    return (high << 32) | word32();
}

uint32_t Source::below(uint32_t n) {
    if (n <= 1) {
        return 0;
    }
    if (n <= 256) {
        return byte() % n;
    }
    if (n <= 65536) {
        return word16() % n;
    }
    return word32() % n;
}

bool Source::chance(uint32_t outOf256) {
    return byte() < outOf256;
}

double Source::between(double lo, double hi) {
    return lo + (hi - lo) * (static_cast<double>(word16()) / 65535.0);
}

uint8_t ByteSource::byte() {
    if (position_ >= size_) {
        return 0;
    }
    return data_[position_++];
}

uint64_t RandomSource::next() {
    state_ += 0x9E3779B97F4A7C15u;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

uint8_t RandomSource::byte() {
    if (bufferedBytes_ == 0) {
        buffered_ = next();
        bufferedBytes_ = 8;
    }
    const auto result = static_cast<uint8_t>(buffered_ & 0xFFu);
    buffered_ >>= 8;
    --bufferedBytes_;
    return result;
}

void fail(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::fputs("PROMISE BROKEN: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    va_end(arguments);
    std::abort();
}

double wildDouble(Source& source) {
    constexpr uint32_t kSpecialCount = sizeof kSpecialDoubles / sizeof kSpecialDoubles[0];
    switch (source.below(4)) {
    case 0:
    case 1:
        return kSpecialDoubles[source.below(kSpecialCount)];
    case 2:
        return std::bit_cast<double>(source.word64());
    default:
        // A finite value of any magnitude and sign.
        return std::ldexp(source.between(-1.0, 1.0), static_cast<int>(source.below(2100)) - 1074);
    }
}

std::string randomParameterString(Source& source) {
    static constexpr const char* kCanned[] = {
        "",
        "KprUp 1.5 TvForward 0.8",
        "KprTurn0 TnTurn0 KprRight0 TnRight0 KprForward0 TnForward0 KprUp0 TnUp0",
        "TvTurn0 TvRight0 TvForward0 TvUp0",
        "KprTurn=2 TnTurn TnRight,5 TnUp",
        "KprUp 1e308 TnUp 1e308 KprTurn -1e308 TnTurn 1e308",
        "KprUp 1.7976931348623157e308 KprForward 1e300 TvForward 1e300",
        "KprUp-1 KprTurn-1 KprRight -1 KprForward -1",
        "TnUp 1e-300 TnTurn 4.9e-324 TnRight 1e-320 KprUp 1e-320",
        "KprUp 1e999 TnUp -1e999 / KprTurn 0",
        "KprTurn 1e5 KprRight 1e5 KprForward 1e5 KprUp 1e5",
    };
    static constexpr const char* kPieces[] = {
        "KprTurn",   "TvTurn",    "TnTurn", "KprRight", "TvRight", "TnRight", "KprForward",
        "TvForward", "TnForward", "KprUp",  "TvUp",     "TnUp",    " ",       "\t",
        "-",         "+",         ".",      "e",        "E",       "0",       "1",
        "2",         "5",         "9",      "1e308",    "1e-320",  "1e999",   "0.",
        ".5",        "/",         "#",      "'",        "=",       ",",       "x",
    };
    constexpr uint32_t kCannedCount = sizeof kCanned / sizeof kCanned[0];
    constexpr uint32_t kPieceCount = sizeof kPieces / sizeof kPieces[0];
    if (source.chance(96)) {
        return kCanned[source.below(kCannedCount)];
    }
    std::string text;
    const uint32_t pieces = source.below(24);
    for (uint32_t i = 0; i < pieces; ++i) {
        if (source.chance(32)) {
            const auto raw = static_cast<char>(source.byte());
            if (raw != '\0') {
                text += raw;
            }
        } else {
            text += kPieces[source.below(kPieceCount)];
        }
    }
    return text;
}

Exerciser::Exerciser(Source& source, Profile profile) : source_(source), profile_(profile) {
    if (hostside::HostTable<Exerciser>::bound() != nullptr) {
        fail("two exercisers at once");
    }
    setTable(Table::kInstalled);
    if (Linkage.id != 0x13 || Linkage.gauges[0] == nullptr || Linkage.gauges[1] != nullptr) {
        fail("the linkage does not list exactly one gauge");
    }
    header_ = Linkage.gauges[0];
    if (header_->serviceCallback == nullptr) {
        fail("the gauge has no service callback");
    }
    findMouseAreas();
    simTime_ = 0.0;
}

Exerciser::~Exerciser() {
    hostTable_.detach();
    ImportTable.hostApi = nullptr;
    for (int i = 0; i < bufferCount_; ++i) {
#ifdef HOVER_EXERCISE_ASAN
        ASAN_UNPOISON_MEMORY_REGION(buffers_[i].memory + buffers_[i].count + 1, kFence);
#endif
        std::free(buffers_[i].memory);
    }
    if (header_->parameters == parameters_) {
        header_->parameters = nullptr;
    }
    delete[] parameters_;
}

void Exerciser::findMouseAreas() {
    const MouseRect* table = header_->mouseRects;
    if (table == nullptr) {
        return;
    }
    for (int i = 0; i < kMaxMouseRecords; ++i) {
        const MouseRect& record = table[i];
        if (record.kind == kMouseEndOfTable) {
            return;
        }
        if (record.kind == kMouseArea && record.handler != nullptr && areaCount_ < kMaxAreas) {
            areas_[areaCount_++] = &record;
        }
    }
    fail("the mouse table has no end record within %d records", kMaxMouseRecords);
}

void Exerciser::setTable(Table table) {
    table_ = table;
    switch (table) {
    case Table::kInstalled:
        hostTable_.restoreEntries();
        hostTable_.attach(ImportTable, *this);
        break;
    case Table::kAbsent:
        // The exerciser stays the table's host: only the module's view of
        // it goes.
        ImportTable.hostApi = nullptr;
        break;
    case Table::kNoRead:
        hostTable_.restoreEntries();
        hostTable_.api().readVariable = nullptr;
        hostTable_.attach(ImportTable, *this);
        break;
    case Table::kNoEvent:
        hostTable_.restoreEntries();
        hostTable_.api().sendEvent = nullptr;
        hostTable_.attach(ImportTable, *this);
        break;
    }
}

void Exerciser::setFiniteInputs(bool finite) {
    finite_ = finite;
    if (finite) {
        setTable(Table::kInstalled);
#if HOVER_EXERCISE_JOYSTICK
        fakeplatform::clearFailures();
#endif
    }
}

double Exerciser::plausibleValue(Source& source, uint32_t token) {
    if (token == kTimeToken) {
        return simTime_;
    }
    for (const TokenRange& range : kPlausible) {
        if (range.token == token) {
            return source.between(range.lo, range.hi);
        }
    }
    return source.between(-1000.0, 1000.0);
}

double Exerciser::hostValue(uint32_t token) {
    ++counters_.values;
    if (finite_) {
        return plausibleValue(calm_, token);
    }
    if (source_.byte() < wildness_) {
        ++counters_.wildValues;
        return wildDouble(source_);
    }
    return plausibleValue(source_, token);
}

void Exerciser::onRead(HostVar* variable) {
    if (variable == nullptr) {
        fail("the module asked the host to fill a null variable record");
    }
    if (context_ != Context::kPreUpdate && context_ != Context::kClick) {
        fail("the module read token %u outside a pre-update service or a click", variable->tokenId);
    }
    ++counters_.reads;
    variable->value = hostValue(variable->tokenId);
    if (!finite_ && choices().chance(16)) {
        // The words around the value belong to the host, which may keep
        // anything there.
        variable->hostWords[0] = choices().word32();
        variable->hostWords[1] = choices().word32();
        const uint64_t data = choices().word64();
        std::memcpy(variable->hostData, &data, sizeof data);
    }
}

uint32_t Exerciser::onEvent(uint32_t eventId, int32_t value) {
    ++counters_.events;
    if (context_ != Context::kPreUpdate) {
        fail("event %u (%d) sent outside a pre-update service", eventId, value);
    }
    if (controller.hoverEngaged == 0) {
        fail("event %u (%d) sent while the hold is not engaged", eventId, value);
    }
    if (++eventsThisFrame_ > kMaxEventsPerFrame) {
        fail("more than %u events in one frame", kMaxEventsPerFrame);
    }
    const AxisLoop* loop = nullptr;
    switch (eventId) {
    case kElevator:
        loop = &controller.forward;
        break;
    case kAileron:
        loop = &controller.right;
        break;
    case kRudder:
        loop = &controller.turn;
        break;
    case kThrottle:
        loop = &controller.up;
        if (value < kThrottleLow || value > kThrottleHigh) {
            fail("throttle event value %d outside %d..%d", value, kThrottleLow, kThrottleHigh);
        }
        break;
    default:
        fail("unknown event id %u (value %d)", eventId, value);
    }
    if (eventId != kThrottle && (value < -kSurfaceLimit || value > kSurfaceLimit)) {
        fail("event %u value %d outside -%d..%d", eventId, value, kSurfaceLimit, kSurfaceLimit);
    }
    if (!std::isfinite(loop->filteredError) || !std::isfinite(loop->errorRate)
        || !std::isfinite(loop->integral)) {
        fail("event %u value %d sent from a loop state that is not finite", eventId, value);
    }
    return 0;
}

void Exerciser::advanceTime() {
    if (finite_) {
        simTime_ += kFrameStep;
        return;
    }
    const uint8_t kind = choices().byte();
    if (kind < 180) {
        simTime_ += kFrameStep;
    } else if (kind < 200) {
        simTime_ += 1.0 / 60.0;
    } else if (kind < 215) {
        // The host paused: the time stands still.
    } else if (kind < 230) {
        simTime_ -= choices().between(0.0, 2.0);
    } else if (kind < 240) {
        simTime_ += choices().between(0.0, 30.0);
    } else if (kind < 245) {
        simTime_ += std::numeric_limits<double>::denorm_min();
    } else if (kind < 250) {
        simTime_ = choices().between(-1e6, 1e6);
    } else {
        const double jump = wildDouble(choices());
        if (std::isfinite(jump)) {
            simTime_ = jump;
        }
    }
}

void Exerciser::service(uint32_t code) {
    ++counters_.services;
    GaugeHeader* header = header_;
    if (!finite_ && choices().chance(2)) {
        header = nullptr;
    }
    const Context outer = context_;
    context_ = (code == kServicePreUpdate) ? Context::kPreUpdate : Context::kOtherService;
    eventsThisFrame_ = 0;
    header_->serviceCallback(header, code, static_cast<uintptr_t>(choices().word32()));
    context_ = outer;
    if (code == kServicePreUpdate) {
        ++counters_.frames;
        if (controller.hoverEngaged != 0) {
            ++counters_.engagedFrames;
        }
        // The joystick clamps the target height in every frame.
        if (!(controller.targetHeightFt >= 10.0 && controller.targetHeightFt <= 999.0)) {
            fail("target height %g outside 10..999 after a frame", controller.targetHeightFt);
        }
    }
#if HOVER_EXERCISE_JOYSTICK
    if (code == kServicePreKill && fakeplatform::heldReferences() != 0) {
        fail("%d DirectInput references still held after pre-kill", fakeplatform::heldReferences());
    }
#endif
}

void Exerciser::preInstall() {
    const std::string text = randomParameterString(choices());
    preInstall(finite_ || !choices().chance(16) ? text.c_str() : nullptr);
}

void Exerciser::preInstall(const char* text) {
    ++counters_.preInstalls;
    // The host's copy, exactly as long as the text, kept until the next
    // pre-install: reading past its NUL is a heap overflow.
    char* copy = nullptr;
    if (text != nullptr) {
        const size_t size = std::strlen(text) + 1;
        copy = new char[size];
        std::memcpy(copy, text, size);
    }
    header_->parameters = copy;
    delete[] parameters_;
    parameters_ = copy;
    service(kServicePreInstall);
}

void Exerciser::frame() {
    advanceTime();
    service(kServicePreUpdate);
    drawGauge();
}

void Exerciser::click() {
    if (areaCount_ == 0) {
        return;
    }
    ++counters_.clicks;
    const MouseRect& area = *areas_[choices().below(static_cast<uint32_t>(areaCount_))];
    PixelPoint position{
        .x = area.x
             + static_cast<int32_t>(choices().below(static_cast<uint32_t>(area.width > 0 ? area.width : 1))),
        .y = area.y
             + static_cast<int32_t>(
                 choices().below(static_cast<uint32_t>(area.height > 0 ? area.height : 1)))};
    uint32_t flags = area.eventMask;
    if (!finite_ && choices().chance(32)) {
        flags = choices().word32();
    }
    const Context outer = context_;
    context_ = Context::kClick;
    area.handler(&position, flags);
    context_ = outer;
}

Exerciser::TextBuffer& Exerciser::bufferFor(const GaugeElement* element, uint32_t count) {
    for (int i = 0; i < bufferCount_; ++i) {
        if (buffers_[i].element == element) {
            return buffers_[i];
        }
    }
    if (bufferCount_ == kMaxTextBuffers) {
        fail("more than %d text elements", kMaxTextBuffers);
    }
    TextBuffer& buffer = buffers_[bufferCount_++];
    buffer.element = element;
    buffer.count = count;
    buffer.memory = static_cast<char*>(std::malloc(count + 1 + kFence));
    if (buffer.memory == nullptr) {
        fail("out of memory");
    }
    std::memset(buffer.memory + count + 1, kFenceByte, kFence);
#ifdef HOVER_EXERCISE_ASAN
    // Under AddressSanitizer the fence is poisoned: a write into it is
    // reported at the instruction that makes it.
    ASAN_POISON_MEMORY_REGION(buffer.memory + count + 1, kFence);
#endif
    return buffer;
}

void Exerciser::checkRecordUnchanged(const GaugeElement* element, const uint8_t* before, size_t size) const {
    const auto* after = reinterpret_cast<const uint8_t*>(element);
    if (std::memcmp(after, before, size) == 0) {
        return;
    }
    for (size_t i = 0; i < size; ++i) {
        if (after[i] == before[i]) {
            continue;
        }
        const size_t flagsOffset = offsetof(GaugeElement, drawFlags);
        if (i >= flagsOffset && i < flagsOffset + sizeof(uint32_t)) {
            uint32_t flagsBefore = 0;
            std::memcpy(&flagsBefore, before + flagsOffset, sizeof flagsBefore);
            if (((flagsBefore ^ element->drawFlags) & ~kHiddenBit) == 0) {
                continue;
            }
        }
        fail("a callback of an element of kind %u changed byte %zu of its record", element->kind, i);
    }
}

void Exerciser::callText(TextElement* text) {
    if (text->charCount > kMaxTextCount) {
        fail("a text element claims %u characters", text->charCount);
    }
    TextBuffer& buffer = bufferFor(&text->base, text->charCount);
    if (buffer.count != text->charCount) {
        fail("a text element's character count changed");
    }
    std::memset(buffer.memory, kStaleByte, buffer.count + 1);
    text->buffer = buffer.memory;
    if (!finite_ && choices().chance(4)) {
        // A host that has no buffer for the text this time.
        text->buffer = nullptr;
    }
    uint8_t before[sizeof(TextElement)];
    std::memcpy(before, text, sizeof before);
    ++counters_.texts;
    text->callback(&text->base);
    checkRecordUnchanged(&text->base, before, sizeof before);
    if (text->buffer != nullptr && std::memchr(buffer.memory, '\0', buffer.count + 1) == nullptr) {
        fail("a text callback left no NUL within %u characters", buffer.count);
    }
#ifndef HOVER_EXERCISE_ASAN
    for (uint32_t i = 0; i < kFence; ++i) {
        if (static_cast<uint8_t>(buffer.memory[buffer.count + 1 + i]) != kFenceByte) {
            fail("a text callback wrote %u bytes past its %u-character buffer", i + 1, buffer.count);
        }
    }
#endif
    // The buffer is the host's and valid only during the call.
    text->buffer = nullptr;
}

void Exerciser::drawElement(GaugeElement* element) {
    // The host fills every slot that names a variable before the callback.
    walk::fillSlots(element, [this](uint32_t token) { return hostValue(token); });
    switch (element->kind) {
    case kElementStaticImage:
        break;
    case kElementSlider: {
        auto* slider = reinterpret_cast<SliderElement*>(element);
        for (ElementCallback callback : {slider->xCallback, slider->yCallback}) {
            if (callback == nullptr) {
                continue;
            }
            uint8_t before[sizeof(SliderElement)];
            std::memcpy(before, slider, sizeof before);
            ++counters_.callbacks;
            const double value = callback(element);
            checkRecordUnchanged(element, before, sizeof before);
            if (!(value >= -3.0 && value <= 3.0)) {
                fail("a slider callback returned %g, outside -3..3", value);
            }
        }
        break;
    }
    case kElementText: {
        auto* text = reinterpret_cast<TextElement*>(element);
        if (text->callback != nullptr) {
            ++counters_.callbacks;
            callText(text);
        }
        break;
    }
    case kElementIcon: {
        auto* icon = reinterpret_cast<IconElement*>(element);
        if (icon->callback != nullptr) {
            uint8_t before[sizeof(IconElement)];
            std::memcpy(before, icon, sizeof before);
            ++counters_.callbacks;
            const double value = icon->callback(element);
            checkRecordUnchanged(element, before, sizeof before);
            const bool none = (value == -1.0);
            const bool image =
                value >= 0.0 && value < static_cast<double>(icon->imageCount) && value == std::floor(value);
            if (!none && !image) {
                fail("an icon callback returned %g for a series of %u images", value, icon->imageCount);
            }
        }
        break;
    }
    case kElementMovingImage: {
        auto* moving = reinterpret_cast<MovingImageElement*>(element);
        if (moving->yCallback != nullptr) {
            uint8_t before[sizeof(MovingImageElement)];
            std::memcpy(before, moving, sizeof before);
            ++counters_.callbacks;
            moving->yCallback(element);
            checkRecordUnchanged(element, before, sizeof before);
        }
        break;
    }
    default:
        fail("an element of unknown kind %u", element->kind);
    }
}

void Exerciser::drawGauge() {
    ++counters_.draws;
    if (header_->elements == nullptr) {
        return;
    }
    const Context outer = context_;
    context_ = Context::kCallback;
    int visited = 0;
    auto tooLarge = [] {
        fail("the element tree has more than %d elements or is deeper than %d", kMaxElements,
             kWalkLimits.maxDepth);
    };
    walk::forEachElement(
        header_->elements, kWalkLimits,
        [&](GaugeElement* element, int) {
            if (++visited > kMaxElements) {
                tooLarge();
            }
            drawElement(element);
            return walk::Next::kDescend;
        },
        [&](walk::Stop) { tooLarge(); });
    context_ = outer;
}

void Exerciser::scriptJoystick() {
#if HOVER_EXERCISE_JOYSTICK
    ++counters_.joystickScripts;
    using fakeplatform::DiCall;
    static constexpr HRESULT kCodes[] = {
        E_FAIL,
        DIERR_INPUTLOST,
        DIERR_NOTACQUIRED,
        DIERR_INVALIDPARAM,
        DIERR_NOINTERFACE,
        DIERR_NOTINITIALIZED,
        DIERR_ACQUIRED,
        DIERR_DEVICENOTREG,
        S_FALSE,
    };
    constexpr uint32_t kCodeCount = sizeof kCodes / sizeof kCodes[0];
    constexpr uint32_t kCallCount = static_cast<uint32_t>(DiCall::kGetDeviceState) + 1;
    const int joystick =
        joysticks_ > 0 ? static_cast<int>(choices().below(static_cast<uint32_t>(joysticks_))) : -1;
    switch (choices().below(10)) {
    case 0:
        if (fakeplatform::attachJoystick(
                {.attached = !choices().chance(48), .creatable = !choices().chance(48)})
            >= 0) {
            ++joysticks_;
        }
        break;
    case 1:
    case 2: {
        if (finite_) {
            break;
        }
        const auto call = static_cast<DiCall>(choices().below(kCallCount));
        HRESULT code = kCodes[choices().below(kCodeCount)];
        if (choices().chance(64)) {
            code = static_cast<HRESULT>(choices().word32());
        }
        // A success code here means the call reports success yet hands
        // over no interface: a broken driver, which the module must survive.
        fakeplatform::failCall(call, code, choices().below(4));
        break;
    }
    case 3:
        fakeplatform::clearFailure(static_cast<DiCall>(choices().below(kCallCount)));
        break;
    case 4:
        fakeplatform::clearFailures();
        break;
    case 5:
    case 6: {
        // Whatever a driver might hand over, every byte of it.
        DIJOYSTATE reading{};
        auto* bytes = reinterpret_cast<uint8_t*>(&reading);
        for (size_t i = 0; i < sizeof reading; ++i) {
            bytes[i] = choices().byte();
        }
        fakeplatform::setReading(joystick, reading);
        break;
    }
    case 7:
        fakeplatform::setStickPosition(joystick, {.x = choices().between(-1.5, 1.5),
                                                  .y = choices().between(-1.5, 1.5),
                                                  .z = choices().between(-1.5, 1.5),
                                                  .rz = choices().between(-1.5, 1.5)});
        break;
    case 8:
        fakeplatform::setButton(joystick, static_cast<int>(choices().below(32)), choices().chance(128));
        break;
    default:
        fakeplatform::loseInput(joystick, choices().chance(128));
        break;
    }
#endif
}

void Exerciser::step() {
    ++counters_.steps;
    const uint8_t action = choices().byte();
    if (profile_ == Profile::kPilot) {
        if (controller.hoverEngaged == 0 && choices().chance(32)) {
            pilotEngages();
        }
        if (action < 240) {
            frame();
        } else if (action < 250) {
            click();
        } else if (action < 253) {
            scriptJoystick();
        } else {
            wildness_ = choices().below(16);
        }
        checkState();
        return;
    }
    if (profile_ == Profile::kJoystick) {
        if (action < 110) {
            frame();
        } else if (action < 190) {
            scriptJoystick();
        } else if (action < 215) {
            preInstall();
        } else if (action < 235) {
            service(kServicePreKill);
        } else if (action < 245) {
            service(kServiceConnectToWindow);
        } else {
            click();
        }
        checkState();
        return;
    }
    if (action < 150) {
        frame();
    } else if (action < 190) {
        click();
    } else if (action < 200) {
        drawGauge();
    } else if (action < 206) {
        preInstall();
    } else if (action < 210) {
        service(kServicePreKill);
    } else if (action < 216) {
        service(kServiceConnectToWindow);
    } else if (action < 222) {
        // A code the gauge does not know: anything at all.
        service(choices().chance(128) ? choices().below(20) : choices().word32());
    } else if (action < 232) {
        scriptJoystick();
    } else if (action < 236) {
        if (!finite_) {
            setTable(static_cast<Table>(choices().below(4)));
        }
    } else if (action < 238) {
        // The module's init and deinit routines, which the host may call
        // at any point.
        const ModuleRoutine routine = choices().chance(128) ? Linkage.init : Linkage.deinit;
        if (routine != nullptr) {
            routine();
        }
    } else if (action < 248) {
        wildness_ = choices().byte();
    } else {
        // The pilot works the unit: a burst of clicks between frames, as
        // when a button is held and the host repeats the call.
        const uint32_t clicks = choices().below(8);
        for (uint32_t i = 0; i < clicks; ++i) {
            click();
        }
    }
    checkState();
}

void Exerciser::pilotEngages() {
    const Context outer = context_;
    context_ = Context::kClick;
    if (controller.systemPowerOn == 0) {
        togglePower();
    }
    if (controller.guardOpen == 0) {
        toggleGuard();
    }
    if (controller.hoverEngaged == 0) {
        pressEngage();
    }
    context_ = outer;
}

void Exerciser::flyOn(int frames) {
    constexpr uint32_t kAxisCommands = 4;
    setFiniteInputs(true);
    // The panel is loaded again without a parameter string: the default
    // gains, whatever an earlier string or reset left.
    preInstall("");
    service(kServiceConnectToWindow);
    int engaged = 0;
    for (int i = 0; i < frames; ++i) {
        if (controller.hoverEngaged == 0) {
            pilotEngages();
        }
        frame();
        if (controller.hoverEngaged != 0) {
            ++engaged;
            if (eventsThisFrame_ < kAxisCommands) {
                fail("an engaged frame with finite inputs and default gains sent %u events",
                     eventsThisFrame_);
            }
        }
        checkState();
    }
    if (engaged == 0) {
        fail("the hold never engaged in %d frames of finite inputs", frames);
    }
}

void Exerciser::checkState() const {
    struct Named {
        const char* name;
        const AxisLoop* loop;
    };
    const Named loops[] = {{"up", &controller.up},
                           {"forward", &controller.forward},
                           {"right", &controller.right},
                           {"turn", &controller.turn}};
    for (const Named& entry : loops) {
        const AxisLoop& loop = *entry.loop;
        const double values[] = {loop.setPoint, loop.measurement, loop.filteredError, loop.errorRate,
                                 loop.integral};
        static constexpr const char* kNames[] = {"set point", "measurement", "filtered error", "error rate",
                                                 "integral"};
        for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i) {
            if (!std::isfinite(values[i])) {
                fail("the %s loop's %s is %g", entry.name, kNames[i], values[i]);
            }
        }
    }
    if (!(controller.targetHeightFt >= 0.0 && controller.targetHeightFt <= 999.0)) {
        fail("target height %g", controller.targetHeightFt);
    }
    for (int32_t flag : {controller.systemPowerOn, controller.guardOpen, controller.hoverEngaged}) {
        if (flag != 0 && flag != 1) {
            fail("a flag holds %d", flag);
        }
    }
    if (controller.hoverEngaged != 0 && controller.guardOpen == 0) {
        fail("engaged with the guard closed");
    }
#if HOVER_EXERCISE_JOYSTICK
    if (fakeplatform::heldReferences() > kMaxHeldReferences) {
        fail("%d DirectInput references held at once", fakeplatform::heldReferences());
    }
#endif
}

}  // namespace exercise
