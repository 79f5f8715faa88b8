// The font picker as a real window of the win32 widgetset (Wine on the X
// server that scripts/wine-test starts), opened as the designer opens it: a
// double-click on a dropped TTypecask. Another thread plays the developer
// through the system's input queue (SendInput) and reads the list as user32
// reports it.
//
// With TYPECASK_PICKER_SCREENSHOT naming a PNG file (a Unix path is taken as
// one of Wine's Z: drive), the window's client area is also saved, as the
// system drew it, just before OK is clicked (docs/picker-win32.png):
//   TYPECASK_PICKER_SCREENSHOT=$PWD/docs/picker-win32.png scripts/wine-test win64 -R test_picker_win32
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "Typecask/component/Typecask.h"
#include "Typecask/design/TypecaskEditors.h"
#include "platform/Designer.h"
#include "platform/Forms.h"
#include "platform/Graphics.h"
#include "platform/os/win32/WinApi.h"
#include "platform/widgetsets/WidgetSet.h"
#include "tools/fontgen/FontGen.h"

namespace {

using namespace std::chrono_literals;

const char* const NTFontsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// Families no host has, installed into the prefix as the system keeps
// fonts: a file in its Fonts folder, the value that names it, and the font
// table. Removed again afterwards.
struct TFamily {
    const char* Name;
    const char* File;
    int Ascender, Descender;
    char32_t Letters;  // 0: Latin letters; else the first of 26 code points
};
const TFamily Families[] = {
    {"Sandbox Alpha", "sbalpha.ttf", 800, -200, 0},
    {"Sandbox Bravo", "sbbravo.ttf", 1000, -300, 0},
    {"Sandbox Greek", "sbgreek.ttf", 800, -200, U'\u03B1'},
};

class TInstalledFamilies {
public:
    TInstalledFamilies() {
        for (const TFamily& F : Families) {
            FontGen::TFontDesign Design;
            Design.FamilyName = F.Name;
            Design.Ascender = F.Ascender;
            Design.Descender = F.Descender;
            Design.LatinLetters = F.Letters == 0;
            Design.ExtraLetters = F.Letters;
            const std::string Path = GetFontsFolder() + F.File;
            FontGen::WriteTrueTypeFont(Design, Path);
            Set(std::string(F.Name) + " (TrueType)", F.File);
            if (::AddFontResourceA(Path.c_str()) != 1) ADD_FAILURE() << "the font table refused " << Path;
        }
    }
    ~TInstalledFamilies() {
        for (const TFamily& F : Families) {
            const std::string Path = GetFontsFolder() + F.File;
            ::RemoveFontResourceA(Path.c_str());
            ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, NTFontsKey, (std::string(F.Name) + " (TrueType)").c_str());
            ::DeleteFileA(Path.c_str());
        }
    }
    TInstalledFamilies(const TInstalledFamilies&) = delete;
    TInstalledFamilies& operator=(const TInstalledFamilies&) = delete;

private:
    // Through advapi32 itself, not the class library's registry classes.
    static void Set(const std::string& Name, const std::string& Data) {
        HKEY Key = nullptr;
        ASSERT_EQ(
            ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, NTFontsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &Key, nullptr),
            ERROR_SUCCESS);
        EXPECT_EQ(::RegSetValueExA(Key, Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Data.c_str()),
                                   static_cast<DWORD>(Data.size() + 1)),
                  ERROR_SUCCESS);
        ::RegCloseKey(Key);
    }
};

// Waits up to Limit for Done.
bool Eventually(const std::function<bool()>& Done, std::chrono::milliseconds Limit = 2s) {
    for (auto Waited = 0ms; Waited < Limit; Waited += 50ms) {
        if (Done()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return Done();
}

// A left click at a point of the screen, through the input queue. Every
// event carries the point: the X server may still report the pointer where
// the last case left it (a new window appearing under it), and a button
// event without a position would land there.
void Click(POINT At) {
    const int Width = ::GetSystemMetrics(SM_CXSCREEN), Height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT In[3] = {};
    const DWORD Flags[3] = {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (int I = 0; I < 3; ++I) {
        In[I].type = INPUT_MOUSE;
        // Absolute positions run from 0 to 65536 over the screen.
        In[I].mi.dx = static_cast<LONG>((At.x * 65536 + Width - 1) / Width);
        In[I].mi.dy = static_cast<LONG>((At.y * 65536 + Height - 1) / Height);
        In[I].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | Flags[I];
    }
    EXPECT_EQ(::SendInput(1, &In[0], sizeof(INPUT)), 1u);
    Eventually([&] {
        POINT Now;
        return ::GetCursorPos(&Now) && Now.x == At.x && Now.y == At.y;
    });
    EXPECT_EQ(::SendInput(2, &In[1], sizeof(INPUT)), 2u);
}

void Key(WORD Virtual) {
    INPUT In[2] = {};
    for (INPUT& I : In) {
        I.type = INPUT_KEYBOARD;
        I.ki.wVk = Virtual;
    }
    In[1].ki.dwFlags = KEYEVENTF_KEYUP;
    EXPECT_EQ(::SendInput(2, In, sizeof(INPUT)), 2u);
}

POINT Middle(HWND Window, RECT R) {
    POINT P{(R.left + R.right) / 2, (R.top + R.bottom) / 2};
    ::ClientToScreen(Window, &P);
    return P;
}

// Writes the window's client area, as the system drew it, to a PNG file.
void SaveWindowPicture(HWND Window, std::string Path) {
    if (!Path.empty() && Path[0] == '/') Path = "Z:" + Path;
    std::this_thread::sleep_for(300ms);  // the last click's painting
    RECT Client;
    ::GetClientRect(Window, &Client);
    HDC Shown = ::GetDC(Window);
    HDC Memory = ::CreateCompatibleDC(Shown);
    // 24 bits: the picture is opaque, whatever alpha bytes the window has.
    BITMAPINFO Format{};
    Format.bmiHeader.biSize = sizeof Format.bmiHeader;
    Format.bmiHeader.biWidth = Client.right;
    Format.bmiHeader.biHeight = Client.bottom;
    Format.bmiHeader.biPlanes = 1;
    Format.bmiHeader.biBitCount = 24;
    Format.bmiHeader.biCompression = BI_RGB;
    void* Bits = nullptr;
    HBITMAP Picture = ::CreateDIBSection(Shown, &Format, DIB_RGB_COLORS, &Bits, nullptr, 0);
    HGDIOBJ Old = ::SelectObject(Memory, Picture);
    const BOOL Copied = ::BitBlt(Memory, 0, 0, Client.right, Client.bottom, Shown, 0, 0, SRCCOPY);
    ::SelectObject(Memory, Old);
    ::DeleteDC(Memory);
    ::ReleaseDC(Window, Shown);
    TBitmap Bitmap;
    Bitmap.SetHandle(Picture);
    ASSERT_TRUE(Copied) << "the window could not be read";
    Bitmap.SaveToPngFile(Path);
}

// What the developer saw, as user32 reports it.
struct TSeen {
    bool Found = false;   // the window was shown
    bool Focused = false; // active, with the focus in its list
    int Row = -1;         // LB_FINDSTRINGEXACT of the family wanted
    int Selected = -1;    // LB_GETCURSEL before the dialog was answered
    std::string Text;     // LB_GETTEXT of that row
    bool Closed = false;  // the window went after the answer
};

// A step of the developer on the picker's window and its list.
using TStep = std::function<void(HWND Picker, HWND List, const std::string& Family)>;

void ClickRow(HWND, HWND List, const std::string& Family) {
    const auto Row = static_cast<WPARAM>(
        ::SendMessageA(List, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(Family.c_str())));
    // Scrolled to the row, as with the scroll bar.
    ::SendMessageA(List, LB_SETTOPINDEX, Row, 0);
    RECT R{};
    ::SendMessageA(List, LB_GETITEMRECT, Row, reinterpret_cast<LPARAM>(&R));
    Click(Middle(List, R));
}

// Types the name, then one letter more that no row continues with: it finds
// nothing and must move nothing (the native list would jump to the next row
// beginning with it).
void TypeName(HWND, HWND, const std::string& Family) {
    for (char C : Family + "s")
        Key(static_cast<WORD>(C == ' ' ? VK_SPACE : std::toupper(static_cast<unsigned char>(C))));
}

void ClickOk(HWND Picker, HWND, const std::string&) {
    if (const char* Png = std::getenv("TYPECASK_PICKER_SCREENSHOT"); Png && *Png) SaveWindowPicture(Picker, Png);
    HWND Ok = ::FindWindowExA(Picker, nullptr, "BUTTON", "OK");
    ASSERT_NE(Ok, nullptr) << "no button OK";
    RECT Client;
    ::GetClientRect(Ok, &Client);
    Click(Middle(Ok, Client));
}

void PressEnter(HWND, HWND, const std::string&) { Key(VK_RETURN); }
void PressEscape(HWND, HWND, const std::string&) { Key(VK_ESCAPE); }

class PickerWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Fonts = new TInstalledFamilies; }
    static void TearDownTestSuite() { delete Fonts; }

    void SetUp() override {
        try {
            SelectWidgetSet("win32");
        } catch (const EWidgetSetError& E) {
            GTEST_SKIP() << E.GetMessage();
        }
        ResetDesignRegistrations();
        Register();
    }
    void TearDown() override {
        ResetDesignRegistrations();
        SelectWidgetSet("headless");
    }

    // Double-clicks Typecask in Designer; on another thread the picker's
    // window is found by its title, Choose picks Family, and Answer ends
    // the dialog.
    static TSeen DoubleClickWith(TFormDesigner& Designer, TTypecask* Typecask, const std::string& Family,
                                 const TStep& Choose, const TStep& Answer) {
        TSeen Seen;
        auto User = std::async(std::launch::async, [&] {
            // The dialog reads every listed family's licence before it
            // shows, which on a loaded machine takes seconds: input steps
            // start only on the shown window, whose list is found.
            HWND Picker = nullptr;
            Seen.Found = Eventually(
                [&] {
                    Picker = ::FindWindowA(nullptr, "True Type Fonts");
                    return Picker && ::IsWindowVisible(Picker);
                },
                60s);
            if (!Seen.Found) return;
            HWND List = ::FindWindowExA(Picker, nullptr, "LISTBOX", nullptr);
            // Input before the window is active and its list has the focus
            // is not what a user can do.
            Seen.Focused = Eventually(
                [&] {
                    GUITHREADINFO Thread{};
                    Thread.cbSize = sizeof Thread;
                    return List && ::GetForegroundWindow() == Picker &&
                           ::GetGUIThreadInfo(::GetWindowThreadProcessId(Picker, nullptr), &Thread) &&
                           Thread.hwndFocus == List;
                },
                10s);
            Seen.Row = static_cast<int>(::SendMessageA(List, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                       reinterpret_cast<LPARAM>(Family.c_str())));
            Choose(Picker, List, Family);
            Eventually([&] { return Seen.Row >= 0 && ::SendMessageA(List, LB_GETCURSEL, 0, 0) == Seen.Row; });
            Seen.Selected = static_cast<int>(::SendMessageA(List, LB_GETCURSEL, 0, 0));
            char Text[256] = {};
            if (Seen.Selected >= 0 &&
                ::SendMessageA(List, LB_GETTEXTLEN, static_cast<WPARAM>(Seen.Selected), 0) < LRESULT{sizeof Text})
                ::SendMessageA(List, LB_GETTEXT, static_cast<WPARAM>(Seen.Selected), reinterpret_cast<LPARAM>(Text));
            Seen.Text = Text;
            Answer(Picker, List, Family);
            Seen.Closed = Eventually([&] { return !::IsWindowVisible(Picker); });
            // A dialog that did not end is closed, so that the case fails
            // instead of waiting for ever.
            if (!Seen.Closed && ::IsWindow(Picker)) ::PostMessageA(Picker, WM_CLOSE, 0, 0);
        });
        Designer.GetComponentEditor(Typecask)->Edit();
        User.get();
        return Seen;
    }

    static TInstalledFamilies* Fonts;
};

TInstalledFamilies* PickerWindow::Fonts = nullptr;

TEST_F(PickerWindow, RowsChosenByMouseOrKeysAreAppliedOnlyByOk) {
    const struct {
        const char* Name;
        const char* Family;
        TStep Choose, Answer;
        bool Applied;
    } Cases[] = {
        {"click a row, click OK", "Sandbox Bravo", ClickRow, ClickOk, true},
        // The blank between the words is one of the letters.
        {"type the name, Enter", "Sandbox Greek", TypeName, PressEnter, true},
        {"click a row, Escape", "Sandbox Alpha", ClickRow, PressEscape, false},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TFormDesigner Designer(std::unique_ptr<TComponent>(new TForm(nullptr, 0)));
        auto* Typecask = static_cast<TTypecask*>(Designer.DropComponent(TTypecask::StaticClass()));
        const TSeen Seen = DoubleClickWith(Designer, Typecask, C.Family, C.Choose, C.Answer);
        ASSERT_TRUE(Seen.Found) << "no window titled \"True Type Fonts\" was shown";
        ASSERT_TRUE(Seen.Focused) << "the picker did not get the focus into its list";
        ASSERT_GE(Seen.Row, 0) << "the list has no row " << C.Family;
        EXPECT_EQ(Seen.Selected, Seen.Row);
        EXPECT_EQ(Seen.Text, C.Family);
        EXPECT_TRUE(Seen.Closed) << "the dialog did not end";
        EXPECT_EQ(Typecask->GetTypecaskName()->GetTTFontName(), C.Applied ? C.Family : "");
        EXPECT_EQ(Typecask->GetFontData() != nullptr && Typecask->GetFontData()->GetSize() > 0, C.Applied);
    }
}

}  // namespace
