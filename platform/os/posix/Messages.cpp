// Window messages on POSIX: synchronous delivery to the listeners that the
// process's top-level windows and other code register.
#include <exception>
#include <memory>

#include "platform/SysUtils.h"
#include "platform/os/ListenerList.h"
#include "platform/os/Windows.h"
#include "platform/os/posix/OsState.h"

namespace Os::Posix {

namespace {

TListenerList& Listeners() {
    static TListenerList Instance;
    return Instance;
}

}  // namespace

}  // namespace Os::Posix

using namespace Os::Posix;

LRESULT SendMessageA(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    const bool Broadcast = Window == HWND_BROADCAST;
    std::exception_ptr FirstError;
    if (Message == WM_FONTCHANGE) {
        // Everyone who handles the message is to see the fonts as they are now.
        std::lock_guard Lock(StateLock());
        try {
            SyncFontConfiguration();
        } catch (...) {
            FirstError = std::current_exception();
        }
    }
    const auto Targets = Listeners().Select(
        [&](const Os::TListenerList::TEntry& L) { return Broadcast || (L.Window != nullptr && L.Window == Window); });
    if (!Broadcast && Targets.empty()) SetError(static_cast<DWORD>(ERROR_INVALID_HANDLE));
    LRESULT Result = 0;
    bool First = true;
    for (const auto& L : Targets) {
        if (Listeners().IsRemoved(*L)) continue;
        try {
            const LRESULT R = L->Handler(Window, Message, WParam, LParam);
            if (First && !Broadcast) Result = R;
            First = false;
        } catch (...) {
            if (!FirstError) FirstError = std::current_exception();
        }
    }
    if (FirstError) std::rethrow_exception(FirstError);
    return Broadcast ? 0 : Result;
}

namespace Os {

int AddBroadcastListener(TMessageListener Listener, HWND Window) { return Listeners().Add(std::move(Listener), Window); }

void RemoveBroadcastListener(int Cookie) { Listeners().Remove(Cookie); }

}  // namespace Os
