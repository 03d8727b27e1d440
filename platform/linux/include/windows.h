// SPDX-License-Identifier: MIT
//
// Linux stand-in for the few Windows types and USER32 functions the module
// uses. It plays the part of the system's own header: the module includes
// <windows.h> on both targets, and on Linux this file answers.
#ifndef HOVER_PLATFORM_LINUX_WINDOWS_H
#define HOVER_PLATFORM_LINUX_WINDOWS_H

#include <cstdint>

#define WINAPI
#define CALLBACK
#define TRUE 1
#define FALSE 0

using BOOL = int32_t;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using HRESULT = int32_t;
using CHAR = char;
using LPVOID = void*;
using LPCSTR = const char*;

constexpr DWORD MAX_PATH = 260;

// A 128-bit interface or instance identifier, in the system's layout.
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using REFGUID = const GUID&;
using REFIID = const GUID&;

inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) {
        return false;
    }
    for (int i = 0; i < 8; ++i) {
        if (a.Data4[i] != b.Data4[i]) {
            return false;
        }
    }
    return true;
}

struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

// A result code reports success when it is not negative.
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

// The window of the given class, or null. Windows are made known to the
// stand-in by fakeplatform::registerWindow.
extern "C" HWND FindWindowA(LPCSTR className, LPCSTR windowName);

#endif
