// <windows.h> as the class library can live with it: only the ANSI ("A")
// functions are called by name, so the generic macros that would rename the
// class library's own functions (RegisterClass, DeleteFile, GetObject...)
// are removed, and min/max stay the standard library's.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef RegisterClass
#undef UnregisterClass
#undef GetClassName
#undef DeleteFile
#undef CopyFile
#undef MoveFile
#undef GetObject
#undef LoadImage
#undef LoadBitmap
#undef LoadString
#undef FindResource
#undef CreateFont
#undef SendMessage
#undef PostMessage
#undef GetMessage
#undef DrawText
#undef TextOut
#undef MessageBox
#undef CreateWindow
#undef GetCurrentDirectory
#undef SetCurrentDirectory
#undef CreateDirectory
#undef RemoveDirectory
#undef GetModuleFileName
#undef GetModuleHandle
#undef LoadLibrary
#undef GetUserName
#undef GetComputerName
#undef ExpandEnvironmentStrings
#undef GetEnvironmentVariable
#undef SetEnvironmentVariable
#undef GetTempPath
#undef GetWindowsDirectory
#undef FormatMessage
#undef CreateEvent
#undef CreateMutex
#undef OpenEvent
#undef EnumFontFamilies
#undef AddFontResource
#undef RemoveFontResource
#undef GetTextMetrics
#undef GetTextExtentPoint32
#undef GetVersion
#undef GetVersionEx
#undef VerQueryValue
#undef GetFileVersionInfo
#undef GetFileVersionInfoSize
#undef RegOpenKey
#undef RegCreateKey
#undef RegDeleteKey
#undef RegDeleteValue
#undef RegQueryValue
#undef RegSetValue
#undef RegEnumKey
#undef RegEnumValue
#undef StartDoc
#undef GetProp
#undef SetProp
#undef RemoveProp
#undef Polygon
#undef Rectangle
#undef Ellipse
#undef TRANSPARENT
#undef OPAQUE
#undef ERROR
#undef interface
#undef small
#undef near
#undef far
// The class library's colour helpers are functions over TColor.
#undef RGB
#undef GetRValue
#undef GetGValue
#undef GetBValue
