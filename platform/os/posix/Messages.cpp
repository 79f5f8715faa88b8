// Window messages on POSIX: synchronous delivery to the listeners that the
// process's top-level windows and other code register.
#include <exception>
#include <memory>

#include "platform/SysUtils.h"
#include "platform/os/Windows.h"
#include "platform/os/posix/OsState.h"

namespace Os::Posix {

namespace {

struct TListener {
    int Cookie = 0;
    HWND Window = nullptr;
    Os::TMessageListener Handler;
    bool Removed = false;
};

struct TListenerState {
    std::vector<std::shared_ptr<TListener>> Listeners;
    int NextCookie = 1;
};

TListenerState& Listeners() {
    static TListenerState Instance;
    return Instance;
}

}  // namespace

}  // namespace Os::Posix

using namespace Os::Posix;

LRESULT SendMessageA(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    const bool Broadcast = Window == HWND_BROADCAST;
    std::vector<std::shared_ptr<TListener>> Targets;
    std::exception_ptr FirstError;
    {
        std::lock_guard Lock(StateLock());
        if (Message == WM_FONTCHANGE) {
            // Everyone who handles the message is to see the fonts as they are now.
            try {
                SyncFontConfiguration();
            } catch (...) {
                FirstError = std::current_exception();
            }
        }
        for (const auto& L : Listeners().Listeners)
            if (Broadcast ? true : (L->Window != nullptr && L->Window == Window)) Targets.push_back(L);
    }
    if (!Broadcast && Targets.empty()) SetError(static_cast<DWORD>(ERROR_INVALID_HANDLE));
    LRESULT Result = 0;
    bool First = true;
    for (const auto& L : Targets) {
        {
            std::lock_guard Lock(StateLock());
            if (L->Removed) continue;
        }
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

int AddBroadcastListener(TMessageListener Listener, HWND Window) {
    if (!Listener) throw Exception("AddBroadcastListener: no listener given");
    std::lock_guard Lock(Posix::StateLock());
    auto& S = Posix::Listeners();
    auto L = std::make_shared<Posix::TListener>();
    L->Cookie = S.NextCookie++;
    L->Window = Window;
    L->Handler = std::move(Listener);
    S.Listeners.push_back(L);
    return L->Cookie;
}

void RemoveBroadcastListener(int Cookie) {
    std::lock_guard Lock(Posix::StateLock());
    auto& All = Posix::Listeners().Listeners;
    for (auto It = All.begin(); It != All.end(); ++It) {
        if ((*It)->Cookie == Cookie) {
            (*It)->Removed = true;
            All.erase(It);
            return;
        }
    }
}

}  // namespace Os
