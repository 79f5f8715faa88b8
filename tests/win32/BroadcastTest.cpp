// Broadcasts of the system reaching the listeners of the class library.
#include <gtest/gtest.h>

#include "platform/os/Windows.h"

namespace {

TEST(Broadcast, TheSystemsBroadcastReachesListenersUntilRemoved) {
    const HWND Probe = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (!Probe) GTEST_SKIP() << "no display: the process can make no window, and no broadcast reaches it";
    ::DestroyWindow(Probe);

    int Plain = 0, Form = 0;
    static int Anchor;  // a handle that is no window of the system, as a form without one has
    const int First = Os::AddBroadcastListener([&](HWND, UINT Message, WPARAM, LPARAM) -> LRESULT {
        Plain += Message == WM_FONTCHANGE;
        return 0;
    });
    const int Second = Os::AddBroadcastListener(
        [&](HWND, UINT Message, WPARAM, LPARAM) -> LRESULT {
            Form += Message == WM_FONTCHANGE;
            return 0;
        },
        reinterpret_cast<HWND>(&Anchor));
    ::SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    EXPECT_EQ(Plain, 1);
    EXPECT_EQ(Form, 1);
    Os::RemoveBroadcastListener(First);
    Os::RemoveBroadcastListener(Second);
    ::SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    EXPECT_EQ(Plain + Form, 2) << "removed listeners hear nothing";
}

}  // namespace
