// SPDX-License-Identifier: MIT
//
// The DirectInput stand-in's objects: one DirectInput object, and per
// joystick a device with a separate second interface. They keep the state a
// driver would (data format, ranges, acquisition, lost input), answer with
// the result codes DirectInput gives, and log every call.
//
// The same source is the native build's stand-in, behind the declarations
// of include/dinput.h, and the Windows build's dinput.dll, behind the
// system's <dinput.h>: there its objects carry the full DirectInput 5
// vtables, with the methods the module never calls logged as unexpected.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "fake_dinput.h"

#ifdef _WIN32
// COM methods are __stdcall on 32-bit Windows.
#define STAND_IN_CALL STDMETHODCALLTYPE
// The system's COM interfaces have no virtual destructor: an object behind
// one ends through Release, never through delete. These objects are static.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#else
#define STAND_IN_CALL
const DIDATAFORMAT c_dfDIJoystick = {24, 16, 0x1, sizeof(DIJOYSTATE), 0, nullptr};
const GUID DIPROP_RANGE = {4, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const GUID IID_IDirectInputDevice2A = {
    0x5944E682, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
#endif

namespace {

using fakeplatform::DiCall;
using fakeplatform::JoystickSetup;
using fakeplatform::kMaxJoysticks;

constexpr HRESULT kNoAggregation = static_cast<HRESULT>(0x80040110u);
constexpr uint32_t kInstanceGuidBase = 0x4A6F7900;  // joystick n has Data1 = base + n
constexpr int kCallKinds = static_cast<int>(DiCall::kGetDeviceState) + 1;
constexpr int kAxisSlots = 8;  // X, Y, Z, Rx, Ry, Rz and two sliders, 4 bytes apart
constexpr LONG kDefaultMin = 0;
constexpr LONG kDefaultMax = 65535;

struct Failure {
    bool active = false;
    HRESULT code = S_OK;
    uint32_t skipFirst = 0;
    uint32_t passed = 0;
};

struct AxisRange {
    LONG min = kDefaultMin;
    LONG max = kDefaultMax;
};

struct Joystick {
    bool present = false;
    JoystickSetup setup{};
    bool formatSet = false;
    bool acquired = false;
    bool lost = false;
    bool pollReportsLoss = false;
    AxisRange ranges[kAxisSlots]{};
    DIJOYSTATE raw{};
    bool positional = false;
    fakeplatform::StickPosition position{};
};

// Copied from rather than built in place: GCC 12 fails on assigning a
// temporary Joystick{}.
const Joystick kNewJoystick{};

Failure failures[kCallKinds];
Joystick joysticks[kMaxJoysticks];
int joystickCount = 0;
bool logEnabled = true;
std::vector<std::string> calls;
uint32_t callsMade = 0;  // every call, logged or not

void record(const std::string& entry) {
    ++callsMade;
    if (logEnabled) {
        calls.push_back(entry);
    }
}

// The system's property identifiers are small integers dressed as GUID
// references (DIPROP_RANGE is the "GUID" at address 4), so a property is
// told by the reference's address and never read through it. The native
// declarations make DIPROP_RANGE a real GUID, compared the same way.
bool isRangeProperty(REFGUID property) {
    return &property == &DIPROP_RANGE;
}

// The joystick data format the module hands over. The Windows module passes
// its own copy of c_dfDIJoystick (from the platform's static library), so
// there the format is recognised by its contents, not its address.
bool isJoystickFormat(LPCDIDATAFORMAT format) {
#ifdef _WIN32
    return format != nullptr && format->dwSize == c_dfDIJoystick.dwSize
           && format->dwObjSize == c_dfDIJoystick.dwObjSize && format->dwFlags == c_dfDIJoystick.dwFlags
           && format->dwDataSize == c_dfDIJoystick.dwDataSize
           && format->dwNumObjs == c_dfDIJoystick.dwNumObjs;
#else
    return format == &c_dfDIJoystick;
#endif
}

std::string pointerText(const void* pointer) {
    if (pointer == nullptr) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
    return text;
}

std::string hexText(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::string guidText(const GUID& guid) {
    if (isRangeProperty(guid)) {
        return "DIPROP_RANGE";
    }
    if (reinterpret_cast<uintptr_t>(&guid) < 0x10000) {
        return "property-" + std::to_string(reinterpret_cast<uintptr_t>(&guid));
    }
    if (guid == IID_IDirectInputDevice2A) {
        return "IID_IDirectInputDevice2A";
    }
    for (int i = 0; i < joystickCount; ++i) {
        if (guid.Data1 == kInstanceGuidBase + static_cast<uint32_t>(i) && guid.Data2 == 0
            && guid.Data3 == 0) {
            return "joystick" + std::to_string(i);
        }
    }
    return "unknown-guid";
}

// The code an injected failure makes the call return, or S_OK to go on.
HRESULT injected(DiCall call) {
    Failure& failure = failures[static_cast<int>(call)];
    if (!failure.active) {
        return S_OK;
    }
    if (failure.passed < failure.skipFirst) {
        ++failure.passed;
        return S_OK;
    }
    return failure.code;
}

bool validJoystick(int index) {
    return index >= 0 && index < joystickCount;
}

LONG scaled(double position, const AxisRange& range) {
    const double p = std::clamp(position, -1.0, 1.0);
    const double span = static_cast<double>(range.max) - static_cast<double>(range.min);
    const double value = std::round(static_cast<double>(range.min) + (p + 1.0) * 0.5 * span);
    return static_cast<LONG>(
        std::clamp(value, static_cast<double>(range.min), static_cast<double>(range.max)));
}

DIJOYSTATE currentReading(const Joystick& joystick) {
    DIJOYSTATE reading = joystick.raw;
    if (joystick.positional) {
        reading.lX = scaled(joystick.position.x, joystick.ranges[0]);
        reading.lY = scaled(joystick.position.y, joystick.ranges[1]);
        reading.lZ = scaled(joystick.position.z, joystick.ranges[2]);
        reading.lRz = scaled(joystick.position.rz, joystick.ranges[5]);
    }
    return reading;
}

class FakeDevice;
void deviceReleased(int index);

// One interface of a joystick's device: the first (IDirectInputDeviceA) or
// the second (IDirectInputDevice2A). Both act on the same joystick.
class FakeDevice final : public IDirectInputDevice2A {
public:
    void bind(int index, bool second) {
        index_ = index;
        second_ = second;
        refs_ = 0;
    }
    int32_t refs() const { return refs_; }
    void addReference() { ++refs_; }

    HRESULT STAND_IN_CALL QueryInterface(REFIID riid, void** object) override;
    ULONG STAND_IN_CALL AddRef() override {
        log("AddRef()");
        return static_cast<ULONG>(++refs_);
    }
    ULONG STAND_IN_CALL Release() override {
        if (refs_ == 0) {
            log("Release() over-release");
            return 0;
        }
        log("Release()");
        --refs_;
        deviceReleased(index_);
        return static_cast<ULONG>(refs_);
    }

    HRESULT STAND_IN_CALL SetProperty(REFGUID property, LPCDIPROPHEADER header) override {
        const DIPROPRANGE* range = nullptr;
        std::string entry = "SetProperty(" + guidText(property);
        if (header != nullptr) {
            entry += ", size=" + std::to_string(header->dwSize)
                     + ", headerSize=" + std::to_string(header->dwHeaderSize)
                     + ", object=" + std::to_string(header->dwObj) + ", how=" + std::to_string(header->dwHow);
            if (header->dwSize == sizeof(DIPROPRANGE) && header->dwHeaderSize == sizeof(DIPROPHEADER)) {
                range = reinterpret_cast<const DIPROPRANGE*>(header);
                entry += ", min=" + std::to_string(range->lMin) + ", max=" + std::to_string(range->lMax);
            }
        } else {
            entry += ", null";
        }
        log(entry + ")");
        if (const HRESULT code = injected(DiCall::kSetProperty); code != S_OK) {
            return code;
        }
        Joystick& joystick = joysticks[index_];
        if (joystick.acquired) {
            return DIERR_ACQUIRED;
        }
        if (!isRangeProperty(property) || range == nullptr || range->lMin >= range->lMax) {
            return DIERR_INVALIDPARAM;
        }
        const AxisRange newRange{range->lMin, range->lMax};
        if (header->dwHow == DIPH_DEVICE && header->dwObj == 0) {
            std::fill(std::begin(joystick.ranges), std::end(joystick.ranges), newRange);
            return DI_OK;
        }
        if (header->dwHow != DIPH_BYOFFSET || header->dwObj % 4 != 0 || header->dwObj / 4 >= kAxisSlots) {
            return DIERR_INVALIDPARAM;
        }
        joystick.ranges[header->dwObj / 4] = newRange;
        return DI_OK;
    }

    HRESULT STAND_IN_CALL Acquire() override {
        log("Acquire()");
        if (const HRESULT code = injected(DiCall::kAcquire); code != S_OK) {
            return code;
        }
        Joystick& joystick = joysticks[index_];
        if (!joystick.formatSet) {
            return DIERR_INVALIDPARAM;
        }
        if (joystick.acquired) {
            return S_FALSE;
        }
        joystick.acquired = true;
        joystick.lost = false;
        return DI_OK;
    }

    HRESULT STAND_IN_CALL Unacquire() override {
        log("Unacquire()");
        if (const HRESULT code = injected(DiCall::kUnacquire); code != S_OK) {
            return code;
        }
        Joystick& joystick = joysticks[index_];
        if (!joystick.acquired) {
            return DI_NOEFFECT;
        }
        joystick.acquired = false;
        return DI_OK;
    }

    HRESULT STAND_IN_CALL GetDeviceState(DWORD size, LPVOID data) override {
        log("GetDeviceState(size=" + std::to_string(size) + ")");
        if (const HRESULT code = injected(DiCall::kGetDeviceState); code != S_OK) {
            return code;
        }
        const Joystick& joystick = joysticks[index_];
        if (joystick.lost) {
            return DIERR_INPUTLOST;
        }
        if (!joystick.acquired) {
            return DIERR_NOTACQUIRED;
        }
        if (data == nullptr || size != sizeof(DIJOYSTATE)) {
            return DIERR_INVALIDPARAM;
        }
        *static_cast<DIJOYSTATE*>(data) = currentReading(joystick);
        return DI_OK;
    }

    HRESULT STAND_IN_CALL SetDataFormat(LPCDIDATAFORMAT format) override {
        log(std::string("SetDataFormat(")
            + (isJoystickFormat(format) ? "c_dfDIJoystick" : pointerText(format)) + ")");
        if (const HRESULT code = injected(DiCall::kSetDataFormat); code != S_OK) {
            return code;
        }
        Joystick& joystick = joysticks[index_];
        if (joystick.acquired) {
            return DIERR_ACQUIRED;
        }
        if (!isJoystickFormat(format)) {
            return DIERR_INVALIDPARAM;
        }
        joystick.formatSet = true;
        return DI_OK;
    }

    HRESULT STAND_IN_CALL SetCooperativeLevel(HWND window, DWORD flags) override {
        log("SetCooperativeLevel(window=" + pointerText(window) + ", flags=" + hexText(flags) + ")");
        if (const HRESULT code = injected(DiCall::kSetCooperativeLevel); code != S_OK) {
            return code;
        }
        if (joysticks[index_].acquired) {
            return DIERR_ACQUIRED;
        }
        const bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
        const bool nonExclusive = (flags & DISCL_NONEXCLUSIVE) != 0;
        const bool foreground = (flags & DISCL_FOREGROUND) != 0;
        const bool background = (flags & DISCL_BACKGROUND) != 0;
        if (exclusive == nonExclusive || foreground == background || (foreground && window == nullptr)) {
            return DIERR_INVALIDPARAM;
        }
        return DI_OK;
    }

    HRESULT STAND_IN_CALL Poll() override {
        log("Poll()");
        if (const HRESULT code = injected(DiCall::kPoll); code != S_OK) {
            return code;
        }
        const Joystick& joystick = joysticks[index_];
        if (joystick.lost && joystick.pollReportsLoss) {
            return DIERR_INPUTLOST;
        }
        if (!joystick.lost && !joystick.acquired) {
            return DIERR_NOTACQUIRED;
        }
        return DI_OK;
    }

#ifdef _WIN32
    // The rest of the system's device interface, which the module does not use.
    HRESULT STAND_IN_CALL GetCapabilities(LPDIDEVCAPS) override {
        return unexpected("GetCapabilities");
    }
    HRESULT STAND_IN_CALL EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) override {
        return unexpected("EnumObjects");
    }
    HRESULT STAND_IN_CALL GetProperty(REFGUID, LPDIPROPHEADER) override {
        return unexpected("GetProperty");
    }
    HRESULT STAND_IN_CALL GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override {
        return unexpected("GetDeviceData");
    }
    HRESULT STAND_IN_CALL SetEventNotification(HANDLE) override {
        return unexpected("SetEventNotification");
    }
    HRESULT STAND_IN_CALL GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) override {
        return unexpected("GetObjectInfo");
    }
    HRESULT STAND_IN_CALL GetDeviceInfo(LPDIDEVICEINSTANCEA) override {
        return unexpected("GetDeviceInfo");
    }
    HRESULT STAND_IN_CALL RunControlPanel(HWND, DWORD) override {
        return unexpected("RunControlPanel");
    }
    HRESULT STAND_IN_CALL Initialize(HINSTANCE, DWORD, REFGUID) override {
        return unexpected("Initialize");
    }
    HRESULT STAND_IN_CALL CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*, LPUNKNOWN) override {
        return unexpected("CreateEffect");
    }
    HRESULT STAND_IN_CALL EnumEffects(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) override {
        return unexpected("EnumEffects");
    }
    HRESULT STAND_IN_CALL GetEffectInfo(LPDIEFFECTINFOA, REFGUID) override {
        return unexpected("GetEffectInfo");
    }
    HRESULT STAND_IN_CALL GetForceFeedbackState(LPDWORD) override {
        return unexpected("GetForceFeedbackState");
    }
    HRESULT STAND_IN_CALL SendForceFeedbackCommand(DWORD) override {
        return unexpected("SendForceFeedbackCommand");
    }
    HRESULT STAND_IN_CALL EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID,
                                                   DWORD) override {
        return unexpected("EnumCreatedEffectObjects");
    }
    HRESULT STAND_IN_CALL Escape(LPDIEFFESCAPE) override {
        return unexpected("Escape");
    }
    HRESULT STAND_IN_CALL SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override {
        return unexpected("SendDeviceData");
    }
#endif

private:
    void log(const std::string& call) {
        ++callsMade;
        if (logEnabled) {
            calls.push_back("joystick" + std::to_string(index_) + (second_ ? "/2." : ".") + call);
        }
    }

#ifdef _WIN32
    HRESULT unexpected(const char* method) {
        log(std::string(method) + "() unexpected");
        return E_NOTIMPL;
    }
#endif

    int index_ = 0;
    bool second_ = false;
    int32_t refs_ = 0;
};

FakeDevice firstInterfaces[kMaxJoysticks];
FakeDevice secondInterfaces[kMaxJoysticks];

HRESULT FakeDevice::QueryInterface(REFIID riid, void** object) {
    log("QueryInterface(" + guidText(riid) + ")");
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (const HRESULT code = injected(DiCall::kQueryInterface); code != S_OK) {
        return code;
    }
    if (!(riid == IID_IDirectInputDevice2A)) {
        return E_NOINTERFACE;
    }
    FakeDevice& second = secondInterfaces[index_];
    second.addReference();
    *object = static_cast<IDirectInputDevice2A*>(&second);
    return S_OK;
}

// When the last reference to a joystick's device goes, the device is gone
// and a new one starts from the platform's defaults.
void deviceReleased(int index) {
    if (firstInterfaces[index].refs() != 0 || secondInterfaces[index].refs() != 0) {
        return;
    }
    Joystick& joystick = joysticks[index];
    joystick.formatSet = false;
    joystick.acquired = false;
    joystick.lost = false;
    std::fill(std::begin(joystick.ranges), std::end(joystick.ranges), AxisRange{});
}

class FakeDirectInput final : public IDirectInputA {
public:
    int32_t refs() const { return refs_; }
    void reset() { refs_ = 0; }
    void addReference() { ++refs_; }

    HRESULT STAND_IN_CALL QueryInterface(REFIID riid, void** object) override {
        record("directInput.QueryInterface(" + guidText(riid) + ")");
        if (object != nullptr) {
            *object = nullptr;
        }
        return E_NOINTERFACE;
    }
    ULONG STAND_IN_CALL AddRef() override {
        record("directInput.AddRef()");
        return static_cast<ULONG>(++refs_);
    }
    ULONG STAND_IN_CALL Release() override {
        if (refs_ == 0) {
            record("directInput.Release() over-release");
            return 0;
        }
        record("directInput.Release()");
        return static_cast<ULONG>(--refs_);
    }

    HRESULT STAND_IN_CALL CreateDevice(REFGUID instance, LPDIRECTINPUTDEVICEA* device,
                                       LPUNKNOWN outer) override {
        record("directInput.CreateDevice(" + guidText(instance) + ", outer=" + pointerText(outer) + ")");
        if (device == nullptr) {
            return E_POINTER;
        }
        *device = nullptr;
        if (const HRESULT code = injected(DiCall::kCreateDevice); code != S_OK) {
            return code;
        }
        if (outer != nullptr) {
            return kNoAggregation;
        }
        for (int i = 0; i < joystickCount; ++i) {
            if (instance.Data1 == kInstanceGuidBase + static_cast<uint32_t>(i)
                && joysticks[i].setup.creatable) {
                firstInterfaces[i].addReference();
                *device = &firstInterfaces[i];
                return DI_OK;
            }
        }
        return DIERR_DEVICENOTREG;
    }

    HRESULT STAND_IN_CALL EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context,
                                      DWORD flags) override {
        record("directInput.EnumDevices(type=" + std::to_string(deviceType)
               + ", callback=" + (callback != nullptr ? "set" : "null") + ", context=" + pointerText(context)
               + ", flags=" + hexText(flags) + ")");
        if (const HRESULT code = injected(DiCall::kEnumDevices); code != S_OK) {
            return code;
        }
        if (callback == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        if (deviceType != 0 && deviceType != DIDEVTYPE_JOYSTICK) {
            return DI_OK;
        }
        for (int i = 0; i < joystickCount; ++i) {
            if ((flags & DIEDFL_ATTACHEDONLY) != 0 && !joysticks[i].setup.attached) {
                continue;
            }
            DIDEVICEINSTANCEA instance{};
            instance.dwSize = sizeof instance;
            instance.guidInstance = GUID{kInstanceGuidBase + static_cast<uint32_t>(i), 0, 0, {}};
            instance.guidProduct = GUID{kInstanceGuidBase, 1, 0, {}};
            instance.dwDevType = DIDEVTYPE_JOYSTICK | 0x0100;
            std::snprintf(instance.tszInstanceName, sizeof instance.tszInstanceName, "Joystick %d", i);
            std::snprintf(instance.tszProductName, sizeof instance.tszProductName, "Stand-in joystick");
            if (callback(&instance, context) == DIENUM_STOP) {
                break;
            }
        }
        return DI_OK;
    }

#ifdef _WIN32
    // The rest of the system's DirectInput interface, which the module does not use.
    HRESULT STAND_IN_CALL GetDeviceStatus(REFGUID) override {
        return unexpected("GetDeviceStatus");
    }
    HRESULT STAND_IN_CALL RunControlPanel(HWND, DWORD) override {
        return unexpected("RunControlPanel");
    }
    HRESULT STAND_IN_CALL Initialize(HINSTANCE, DWORD) override {
        return unexpected("Initialize");
    }
#endif

private:
#ifdef _WIN32
    static HRESULT unexpected(const char* method) {
        record(std::string("directInput.") + method + "() unexpected");
        return E_NOTIMPL;
    }
#endif

    int32_t refs_ = 0;
};

FakeDirectInput directInputObject;

}  // namespace

extern "C" HRESULT WINAPI DirectInputCreateA(HINSTANCE instance, DWORD version, LPDIRECTINPUTA* directInput,
                                             LPUNKNOWN outer) {
    record("DirectInputCreateA(instance=" + pointerText(instance) + ", version=" + hexText(version)
           + ", outer=" + pointerText(outer) + ")");
    if (directInput == nullptr) {
        return E_POINTER;
    }
    *directInput = nullptr;
    if (const HRESULT code = injected(DiCall::kDirectInputCreate); code != S_OK) {
        return code;
    }
    // The system refuses a missing instance handle and versions it does not know.
    if (instance == nullptr || version < 0x0300 || version > 0x0800) {
        return DIERR_INVALIDPARAM;
    }
    if (outer != nullptr) {
        return kNoAggregation;
    }
    directInputObject.addReference();
    *directInput = &directInputObject;
    return DI_OK;
}

namespace fakeplatform {

void resetDirectInput() {
    for (Failure& failure : failures) {
        failure = Failure{};
    }
    for (int i = 0; i < kMaxJoysticks; ++i) {
        joysticks[i] = kNewJoystick;
        firstInterfaces[i].bind(i, false);
        secondInterfaces[i].bind(i, true);
    }
    joystickCount = 0;
    directInputObject.reset();
    calls.clear();
    callsMade = 0;
    logEnabled = true;
}

int attachJoystick(JoystickSetup setup) {
    if (joystickCount == kMaxJoysticks) {
        return -1;
    }
    const int index = joystickCount++;
    joysticks[index] = kNewJoystick;
    joysticks[index].present = true;
    joysticks[index].setup = setup;
    firstInterfaces[index].bind(index, false);
    secondInterfaces[index].bind(index, true);
    return index;
}

void failCall(DiCall call, HRESULT code, uint32_t skipFirst) {
    failures[static_cast<int>(call)] = Failure{true, code, skipFirst, 0};
}

void clearFailure(DiCall call) {
    failures[static_cast<int>(call)] = Failure{};
}

void clearFailures() {
    for (Failure& failure : failures) {
        failure = Failure{};
    }
}

void setReading(int joystick, const DIJOYSTATE& reading) {
    if (validJoystick(joystick)) {
        joysticks[joystick].raw = reading;
        joysticks[joystick].positional = false;
    }
}

void setStickPosition(int joystick, const StickPosition& position) {
    if (validJoystick(joystick)) {
        joysticks[joystick].position = position;
        joysticks[joystick].positional = true;
    }
}

void setButton(int joystick, int button, bool pressed) {
    if (validJoystick(joystick) && button >= 0 && button < 32) {
        joysticks[joystick].raw.rgbButtons[button] = pressed ? 0x80 : 0;
    }
}

void loseInput(int joystick, bool pollReportsIt) {
    if (validJoystick(joystick)) {
        joysticks[joystick].lost = true;
        joysticks[joystick].pollReportsLoss = pollReportsIt;
        joysticks[joystick].acquired = false;
    }
}

bool isAcquired(int joystick) {
    return validJoystick(joystick) && joysticks[joystick].acquired;
}

int32_t heldReferences() {
    int32_t total = directInputObject.refs();
    for (int i = 0; i < kMaxJoysticks; ++i) {
        total += firstInterfaces[i].refs() + secondInterfaces[i].refs();
    }
    return total;
}

const std::vector<std::string>& callLog() {
    return calls;
}

void clearCallLog() {
    calls.clear();
}

void setCallLogEnabled(bool enabled) {
    logEnabled = enabled;
}

uint32_t callCount() {
    return callsMade;
}

bool isStandIn() {
    return true;
}

}  // namespace fakeplatform
