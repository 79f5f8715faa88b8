// The Win32 names the package calls, declared once for every platform. On
// Linux they are declared and implemented by platform/os/posix; a Windows
// build maps this header onto the system's own.
//
// Everything here lives in the global namespace and keeps the Win32
// spelling, so that code written against the Win32 API reads unchanged.
#pragma once

#include "platform/os/WinTypes.h"  // BOOL, DWORD, HKEY, HWND, MAX_PATH, ERROR_* ...

#include "platform/os/WinDirectories.h"  // the temporary folder, the Windows directory
#include "platform/os/WinFonts.h"        // font table, enumeration, device contexts
#include "platform/os/WinMessages.h"     // window messages and their listeners
#include "platform/os/WinNls.h"       // locale collation, character types
#include "platform/os/WinRegistry.h"  // the registry
#include "platform/os/WinResources.h"  // modules, resources, version information, bitmaps
