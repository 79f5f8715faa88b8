// Broadcast listeners on Windows. Top-level windows of the system get their
// messages through their own window procedures; the listeners that the
// class library registers (forms of a widgetset without real windows, and
// other code) are reached through one hidden top-level window of the
// process, which receives every broadcast and hands it on. Without a
// display no window can be made, and no broadcast reaches the process.
#include <exception>
#include <memory>
#include <mutex>

#include "platform/SysUtils.h"
#include "platform/os/WinFonts.h"
#include "platform/os/WinResources.h"
#include "platform/os/win32/WinApi.h"

namespace Os {

namespace {

struct TListener {
    int Cookie = 0;
    HWND Window = nullptr;
    TMessageListener Handler;
    bool Removed = false;
};

struct TListenerState {
    std::recursive_mutex Lock;
    std::vector<std::shared_ptr<TListener>> Listeners;
    int NextCookie = 1;
    HWND Sink = nullptr;
    bool SinkTried = false;
};

TListenerState& State() {
    static TListenerState& Instance = *new TListenerState;  // listeners may go after static destructors
    return Instance;
}

LRESULT Deliver(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    std::vector<std::shared_ptr<TListener>> Targets;
    {
        std::lock_guard Lock(State().Lock);
        for (const auto& L : State().Listeners)
            // A real window has handled the message in its own procedure.
            if (!L->Window || !::IsWindow(L->Window)) Targets.push_back(L);
    }
    for (const auto& L : Targets) {
        {
            std::lock_guard Lock(State().Lock);
            if (L->Removed) continue;
        }
        try {
            L->Handler(Window, Message, WParam, LParam);
        } catch (...) {
            // A window procedure cannot pass an error on to the sender.
        }
    }
    return 0;
}

LRESULT CALLBACK SinkProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_FONTCHANGE || Message == WM_SETTINGCHANGE || Message == WM_SYSCOLORCHANGE)
        return Deliver(HWND_BROADCAST, Message, WParam, LParam);
    return ::DefWindowProcA(Window, Message, WParam, LParam);
}

constexpr const char* SinkClass = "TypecaskBroadcastSink";

// The module that holds SinkProc, which owns the window class.
HINSTANCE SinkModule() { return FindHInstance(reinterpret_cast<const void*>(&SinkProc)); }

// The hidden window, made with the first listener; nullptr when none can be.
void EnsureSink(TListenerState& S) {
    if (S.SinkTried) return;
    S.SinkTried = true;
    WNDCLASSA Class{};
    Class.lpfnWndProc = SinkProc;
    Class.hInstance = SinkModule();
    Class.lpszClassName = SinkClass;
    ::RegisterClassA(&Class);
    S.Sink = ::CreateWindowExA(0, SinkClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, Class.hInstance, nullptr);
}

// Goes with the last listener, so that no window of the process calls into
// a module that may be unloaded afterwards.
void ReleaseSink(TListenerState& S) {
    if (S.Sink) ::DestroyWindow(S.Sink);
    if (S.SinkTried) ::UnregisterClassA(SinkClass, SinkModule());
    S.Sink = nullptr;
    S.SinkTried = false;
}

}  // namespace

int AddBroadcastListener(TMessageListener Listener, HWND Window) {
    if (!Listener) throw Exception("AddBroadcastListener: no listener given");
    auto& S = State();
    std::lock_guard Lock(S.Lock);
    EnsureSink(S);
    auto L = std::make_shared<TListener>();
    L->Cookie = S.NextCookie++;
    L->Window = Window;
    L->Handler = std::move(Listener);
    S.Listeners.push_back(L);
    return L->Cookie;
}

void RemoveBroadcastListener(int Cookie) {
    auto& S = State();
    std::lock_guard Lock(S.Lock);
    for (auto It = S.Listeners.begin(); It != S.Listeners.end(); ++It) {
        if ((*It)->Cookie == Cookie) {
            (*It)->Removed = true;
            S.Listeners.erase(It);
            if (S.Listeners.empty()) ReleaseSink(S);
            return;
        }
    }
}

}  // namespace Os
