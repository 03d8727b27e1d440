// SPDX-License-Identifier: MIT
//
// Linux stand-in for the part of DirectInput 5 the module uses: the same
// names, record layouts and call shapes as the system's <dinput.h>, so the
// joystick code compiles unchanged on both targets. The objects behind it are
// the scriptable fake of fake_dinput.h.
#ifndef HOVER_PLATFORM_LINUX_DINPUT_H
#define HOVER_PLATFORM_LINUX_DINPUT_H

#include <windows.h>

#include <cstddef>
#include <cstdint>

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0500
#endif

constexpr HRESULT DI_OK = S_OK;
constexpr HRESULT DI_NOEFFECT = S_FALSE;
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_NOINTERFACE = E_NOINTERFACE;
constexpr HRESULT DIERR_GENERIC = E_FAIL;
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);

constexpr BOOL DIENUM_STOP = 0;
constexpr BOOL DIENUM_CONTINUE = 1;

constexpr DWORD DIEDFL_ALLDEVICES = 0x00000000;
constexpr DWORD DIEDFL_ATTACHEDONLY = 0x00000001;

constexpr DWORD DIDEVTYPE_JOYSTICK = 4;

constexpr DWORD DISCL_EXCLUSIVE = 0x00000001;
constexpr DWORD DISCL_NONEXCLUSIVE = 0x00000002;
constexpr DWORD DISCL_FOREGROUND = 0x00000004;
constexpr DWORD DISCL_BACKGROUND = 0x00000008;

constexpr DWORD DIPH_DEVICE = 0;
constexpr DWORD DIPH_BYOFFSET = 1;

// The standard joystick reading, as c_dfDIJoystick lays it out (80 bytes).
struct DIJOYSTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    LONG lRx;
    LONG lRy;
    LONG lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);
static_assert(offsetof(DIJOYSTATE, lRz) == 20);
static_assert(offsetof(DIJOYSTATE, rgbButtons) == 48);

struct DIOBJECTDATAFORMAT;

struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    DIOBJECTDATAFORMAT* rgodf;
};
using LPCDIDATAFORMAT = const DIDATAFORMAT*;

// The data format of DIJOYSTATE readings.
extern const DIDATAFORMAT c_dfDIJoystick;

struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
using LPDIPROPHEADER = DIPROPHEADER*;
using LPCDIPROPHEADER = const DIPROPHEADER*;

struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};
static_assert(sizeof(DIPROPRANGE) == 24);

// Property identifiers are compared by identity, as the system's are.
extern const GUID DIPROP_RANGE;

struct DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    CHAR tszInstanceName[MAX_PATH];
    CHAR tszProductName[MAX_PATH];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};
using LPCDIDEVICEINSTANCEA = const DIDEVICEINSTANCEA*;

using LPDIENUMDEVICESCALLBACKA = BOOL(CALLBACK*)(LPCDIDEVICEINSTANCEA instance, LPVOID context);

// {5944E682-C92E-11CF-BFC7-444553540000}
extern const GUID IID_IDirectInputDevice2A;

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

struct IDirectInputDeviceA : IUnknown {
    virtual HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    virtual HRESULT GetDeviceState(DWORD size, LPVOID data) = 0;
    virtual HRESULT SetDataFormat(LPCDIDATAFORMAT format) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;

protected:
    ~IDirectInputDeviceA() = default;
};
using LPDIRECTINPUTDEVICEA = IDirectInputDeviceA*;

struct IDirectInputDevice2A : IDirectInputDeviceA {
    virtual HRESULT Poll() = 0;

protected:
    ~IDirectInputDevice2A() = default;
};
using LPDIRECTINPUTDEVICE2A = IDirectInputDevice2A*;

struct IDirectInputA : IUnknown {
    virtual HRESULT CreateDevice(REFGUID instance, LPDIRECTINPUTDEVICEA* device, LPUNKNOWN outer) = 0;
    virtual HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context,
                                DWORD flags) = 0;

protected:
    ~IDirectInputA() = default;
};
using LPDIRECTINPUTA = IDirectInputA*;

extern "C" HRESULT WINAPI DirectInputCreateA(HINSTANCE instance, DWORD version, LPDIRECTINPUTA* directInput,
                                             LPUNKNOWN outer);

#endif
