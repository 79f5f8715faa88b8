// Broadcasts of the system reaching the listeners of the class library, and
// the component's font-change broadcast in a session with a hung window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/os/Windows.h"
#include "tests/win32/RunForm.h"

namespace {

using namespace ComponentTest;

bool CanMakeWindows() {
    const HWND Probe = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (Probe) ::DestroyWindow(Probe);
    return Probe != nullptr;
}

TEST(Broadcast, TheSystemsBroadcastReachesListenersUntilRemoved) {
    if (!CanMakeWindows()) GTEST_SKIP() << "no display: the process can make no window, and no broadcast reaches it";

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

// How long the other program's window stays hung: far longer than a load
// takes, so that a load that waited for it ends only after it is gone.
constexpr DWORD HangMilliseconds = 60000;

// Another program of the session whose top-level window stops answering
// (this program again, running only HungProgram) does not hold up the
// installation or the removal: both end while the window is still hung,
// and the application's own listener has had the news each time by then.
TEST(Broadcast, AHungWindowOfAnotherProgramDoesNotHoldUpTheFontChange) {
    if (!CanMakeWindows()) GTEST_SKIP() << "no display: no window can hang";
    const std::string Title = "typecask-test-hung-" + std::to_string(::GetCurrentProcessId());
    const HANDLE Ready = ::CreateEventA(nullptr, TRUE, FALSE, Title.c_str());
    ASSERT_TRUE(Ready);
    char Program[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, Program, MAX_PATH), 0u);
    std::string CommandLine = "\"" + std::string(Program) + "\" --gtest_filter=Broadcast.HungProgram";
    ::SetEnvironmentVariableA("TYPECASK_TEST_HUNG", Title.c_str());
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Child{};
    const BOOL Started =
        ::CreateProcessA(Program, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Child);
    ::SetEnvironmentVariableA("TYPECASK_TEST_HUNG", nullptr);
    ASSERT_TRUE(Started);
    const HANDLE Waits[] = {Ready, Child.hProcess};
    ASSERT_EQ(::WaitForMultipleObjects(2, Waits, FALSE, 60000), WAIT_OBJECT_0) << "the other program made its window";
    const HWND Hung = ::FindWindowA(nullptr, Title.c_str());
    ASSERT_TRUE(Hung);
    DWORD_PTR Answer = 0;
    ASSERT_EQ(::SendMessageTimeoutA(Hung, WM_NULL, 0, 0, SMTO_NORMAL, 200, &Answer), 0)
        << "the window does not answer: a message sent to it waits until the program wakes";

    int Heard = 0;
    const int Listener = Os::AddBroadcastListener([&](HWND, UINT Message, WPARAM, LPARAM) -> LRESULT {
        Heard += Message == WM_FONTCHANGE;
        return 0;
    });
    {
        TRunForm Run("Typecask Hung Session", false);
        Run.Load();
        EXPECT_TRUE(Run.Typecask()->GetFontAdded());
        EXPECT_EQ(Heard, 1) << "the application's own windows have the news when the installation returns";
    }
    EXPECT_EQ(Heard, 2) << "and when the removal returns";
    Os::RemoveBroadcastListener(Listener);
    EXPECT_EQ(::WaitForSingleObject(Child.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the font change waited until the hung program woke up";
    ::TerminateProcess(Child.hProcess, 0);
    ::WaitForSingleObject(Child.hProcess, 60000);
    for (const HANDLE H : {Child.hProcess, Child.hThread, Ready}) ::CloseHandle(H);
}

// The hung program: makes a top-level window, says so, and sleeps without
// reading its messages.
TEST(Broadcast, HungProgram) {
    const char* Title = std::getenv("TYPECASK_TEST_HUNG");
    if (!Title) GTEST_SKIP() << "started by AHungWindowOfAnotherProgramDoesNotHoldUpTheFontChange only";
    const HANDLE Ready = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, Title);
    ASSERT_TRUE(Ready);
    const HWND Window =
        ::CreateWindowExA(0, "STATIC", Title, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(Window);
    ::SetEvent(Ready);
    ::Sleep(HangMilliseconds);
    ::DestroyWindow(Window);
    ::CloseHandle(Ready);
}

}  // namespace
