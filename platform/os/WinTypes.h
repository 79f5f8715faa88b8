// Base types, handles and error codes of the Win32 API, shared by every
// header of platform/os that declares Win32 functions.
#pragma once

#include <cstdint>

#ifdef _WIN32
// The system's own declarations, with the generic (A/W) macros that clash
// with the class library's names removed.
#include "platform/os/win32/WinApi.h"
#else

// ------------------------------------------------------------ base types

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using SHORT = std::int16_t;
using CHAR = char;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = ULONG_PTR;
using PDWORD_PTR = DWORD_PTR*;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using LPSTR = char*;
using LPCSTR = const char*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using LPVOID = void*;
using LPCVOID = const void*;
using REGSAM = DWORD;

// Opaque handles: distinct pointer types that only the OS layer looks into.
struct HWND__;
struct HDC__;
struct HKEY__;
struct HINSTANCE__;
using HWND = HWND__*;
using HDC = HDC__*;
using HKEY = HKEY__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using PHKEY = HKEY*;

// Macros as on Windows (and guarded), since other C libraries (GLib) define
// TRUE and FALSE the same way.
#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif
#ifndef MAX_PATH
#define MAX_PATH 260
#endif
// The calling convention of procedures that the system calls back (stdcall
// on 32-bit Windows); nothing here.
#ifndef CALLBACK
#define CALLBACK
#endif

// Error codes of the Win32 API (returned by the registry functions, and as
// the calling thread's last error).
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_OUTOFMEMORY = 14;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr LONG ERROR_BAD_PATHNAME = 161;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_BADDB = 1009;
inline constexpr LONG ERROR_BADKEY = 1010;
inline constexpr LONG ERROR_CANTOPEN = 1011;
inline constexpr LONG ERROR_CANTREAD = 1012;
inline constexpr LONG ERROR_CANTWRITE = 1013;
inline constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr LONG ERROR_KEY_DELETED = 1018;
inline constexpr LONG ERROR_CHILD_MUST_BE_VOLATILE = 1021;

// The last error of the calling thread, as the functions below set it.
DWORD GetLastError();
void SetLastError(DWORD ErrorCode);

#endif  // _WIN32
