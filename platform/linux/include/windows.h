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
using DWORD = uint32_t;
using LONG = int32_t;
using HRESULT = int32_t;
using LPVOID = void*;
using LPCSTR = const char*;

struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

// The window of the given class, or null. Windows are made known to the
// stand-in by fakeplatform::registerWindow.
extern "C" HWND FindWindowA(LPCSTR className, LPCSTR windowName);

#endif
