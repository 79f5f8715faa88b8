// Window messages of the Win32 API: sending them, and the listeners that
// receive them. Top-level windows of the process, and any other code,
// receive messages through the listener registry (Os::AddBroadcastListener).
#pragma once

#include <functional>

#include "platform/os/WinTypes.h"

#ifndef _WIN32
// On Windows these come from <windows.h> (through WinTypes.h).

// ---------------------------------------------------------- messages

#define HWND_BROADCAST (reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0xFFFFu)))
inline constexpr UINT WM_FONTCHANGE = 0x001D;

// Sends a message synchronously. To HWND_BROADCAST it goes to every
// listener (top-level windows and other subscribers) in the order they were
// added, and the call returns when all have handled it; the result is then
// 0. To a window handle it goes to that window's listeners and the result
// is the first one's. WM_FONTCHANGE brings the font configuration up to
// date (new files in the font folders are seen) before anyone receives it.
// When listeners raise, the others are still called and the first error is
// passed on afterwards.
LRESULT SendMessageA(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

inline constexpr UINT SMTO_NORMAL = 0x0000;
inline constexpr UINT SMTO_BLOCK = 0x0001;
inline constexpr UINT SMTO_ABORTIFHUNG = 0x0002;
inline constexpr UINT SMTO_NOTIMEOUTIFNOTHUNG = 0x0008;

// Sends a message as SendMessageA does, waiting at most Timeout
// milliseconds for each receiver of another thread. Every listener runs on
// the calling thread, as a window of the caller's own thread does on
// Windows, where the timeout does not apply to it: each is called, the
// call returns when all have handled the message, and the flags change
// nothing. Result (when given) receives what SendMessageA would return.
// Returns nonzero; 0 when a window handle has no listener (last error
// ERROR_INVALID_HANDLE). Errors of listeners pass on as from SendMessageA.
LRESULT SendMessageTimeoutA(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam, UINT Flags, UINT Timeout,
                            PDWORD_PTR Result);

#endif  // _WIN32

namespace Os {

// ---------------------------------------------------- window listeners

// Receives the messages sent to its window, or, for a listener added
// without a window, only broadcasts.
using TMessageListener = std::function<LRESULT(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)>;

// Registers a listener. Top-level windows register themselves with their
// own handle; other code passes nullptr. Returns a cookie for
// RemoveBroadcastListener. A listener added while a message is being
// delivered does not receive that message.
int AddBroadcastListener(TMessageListener Listener, HWND Window = nullptr);
// Removes a listener; one removed while a message is being delivered is not
// called any more. Unknown cookies are ignored.
void RemoveBroadcastListener(int Cookie);

}  // namespace Os
