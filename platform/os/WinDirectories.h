// The system directories of the Win32 API: the temporary folder and the
// Windows directory.
#pragma once

#include "platform/os/WinTypes.h"

#ifndef _WIN32
// On Windows these come from <windows.h> (through WinTypes.h).

// ------------------------------------------------------- directories

// The temporary directory, a private per-user folder (mode 0700, created on
// first use) ending with the path delimiter. Returns the length copied
// (without the zero); when the buffer is too small, the size needed
// (with the zero) and the buffer is left alone; 0 on failure (see
// GetLastError), for instance when the folder is a symbolic link or owned by
// someone else.
DWORD GetTempPathA(DWORD BufferLength, LPSTR Buffer);
// The Windows directory, without a trailing delimiter; same conventions.
UINT GetWindowsDirectoryA(LPSTR Buffer, UINT Size);

#endif  // _WIN32
