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

namespace {

// Delivers the message to its listeners on the calling thread; false when a
// window handle has none.
bool Deliver(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
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
    Result = 0;
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
    return Broadcast || !Targets.empty();
}

}  // namespace

LRESULT SendMessageA(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    LRESULT Result = 0;
    Deliver(Window, Message, WParam, LParam, Result);
    return Result;
}

LRESULT SendMessageTimeoutA(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam, UINT, UINT,
                            PDWORD_PTR Result) {
    LRESULT Answer = 0;
    const bool Delivered = Deliver(Window, Message, WParam, LParam, Answer);
    if (Result) *Result = static_cast<DWORD_PTR>(Answer);
    return Delivered ? 1 : 0;
}

namespace Os {

int AddBroadcastListener(TMessageListener Listener, HWND Window) { return Listeners().Add(std::move(Listener), Window); }

void RemoveBroadcastListener(int Cookie) { Listeners().Remove(Cookie); }

}  // namespace Os
