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
#include "platform/os/ListenerList.h"
#include "platform/os/WinFonts.h"
#include "platform/os/WinResources.h"
#include "platform/os/win32/WinApi.h"

namespace Os {

namespace {

struct TListenerState {
    std::recursive_mutex Lock;  // the hidden window (its creation may dispatch messages sent meanwhile)
    TListenerList Listeners;
    HWND Sink = nullptr;
    bool SinkTried = false;
};

TListenerState& State() {
    static TListenerState& Instance = *new TListenerState;  // listeners may go after static destructors
    return Instance;
}

LRESULT Deliver(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    // A real window has handled the message in its own procedure.
    const auto Targets = State().Listeners.Select(
        [](const TListenerList::TEntry& L) { return !L.Window || !::IsWindow(L.Window); });
    for (const auto& L : Targets) {
        if (State().Listeners.IsRemoved(*L)) continue;
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
    auto& S = State();
    std::lock_guard Lock(S.Lock);
    EnsureSink(S);
    return S.Listeners.Add(std::move(Listener), Window);
}

void RemoveBroadcastListener(int Cookie) {
    auto& S = State();
    std::lock_guard Lock(S.Lock);
    if (S.Listeners.Remove(Cookie)) ReleaseSink(S);
}

}  // namespace Os
