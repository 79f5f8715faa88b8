// What every widgetset does alike: one dialog shaped like the picker (and an
// edit below its list), shown modally and played by a user through keys,
// typing, mouse and the close box, on
// each backend of the table below. Each backend's user is its own: the
// headless script, xdotool on an X server for gtk3, the message queue of
// user32 for win32. A new backend gets the whole suite by adding its row.
//
// Built twice: as a unit test with the headless row, and with
// TYPECASK_REAL_WINDOWS as the test of the build's real windows (gtk3 on
// Linux, on an X server; win32 under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/widgetsets/WidgetSet.h"

#if !defined(TYPECASK_REAL_WINDOWS)
#include "platform/widgetsets/headless/Headless.h"
#elif defined(_WIN32)
#include <deque>

#include "platform/os/win32/WinApi.h"
#else
#include <chrono>
#include <future>
#include <thread>

#include "platform/widgetsets/WidgetSetBase.h"
#include "tests/support/XServer.h"
#endif

namespace {

int HeightOf(int Index) { return 14 + 4 * (Index % 3); }  // 14, 18, 22, 14, ...

// The list box's client area in the window: its bounds and a two-pixel edge.
constexpr int ListLeft = 1 + 2, ListTop = 20 + 2;
constexpr int ButtonTop = 195, ButtonWidth = 70, ButtonHeight = 24;

// An owner-drawn list of twelve rows of three heights, a label that wraps,
// OK (the default button), Cancel (the cancel button) and an edit, last in
// the Tab order. Every event goes into Log but the edit's changes, which go
// into Changes; a double click on a row ends the dialog with mrOk.
struct TDialog {
    TWidgetSet& Set;
    std::vector<std::string> Log;
    std::vector<std::pair<int, int>> Drawn;  // row, height
    std::vector<std::string> Changes;        // the edit's texts the user made
    TWidgetHandle Window = NoWidget, List = NoWidget, Edit = NoWidget;
    std::string ShotFile;  // saved by OK before it ends the dialog
    static constexpr const char* Title = "Typecask Conformance";

    explicit TDialog(TWidgetSet& S) : Set(S) {
        TWindowProps W;
        W.Caption = Title;
        W.ClientWidth = 242;
        W.ClientHeight = 221;
        Window = Set.CreateWindow(W, {});
        TControlProps L;
        L.Kind = TWidgetKind::ListBox;
        L.Bounds = Bounds(1, 20, 240, 149);
        L.Color = clWindow;
        for (const char* Item : {"Alpha", "Bravo", "Charlie", "Delta", "Echo", "Foxtrot", "Golf", "Hotel", "India",
                                 "Juliet", "Kilo", "Lima"})
            L.Items.push_back(Item);
        L.Style = TListBoxStyle::OwnerDrawVariable;
        L.TabOrder = 0;
        TControlEvents E;
        E.OnMeasureItem = HeightOf;
        E.OnSelect = [this](int I) { Log.push_back("select " + std::to_string(I)); };
        E.OnDblClick = [this](int I) {
            Log.push_back("dblclick " + std::to_string(I));
            Set.EndModal(Window, mrOk);
        };
        E.OnDrawItem = [this](TCanvas& C, int I, const TRect& R, TOwnerDrawState) {
            Drawn.emplace_back(I, R.Height());
            C.FillRect(R);
            C.TextOut(R.Left + 1, R.Top + 1, Set.GetControlProps(List).Items[static_cast<std::size_t>(I)]);
        };
        List = Set.CreateControl(Window, L, E);
        TControlProps T;
        T.Kind = TWidgetKind::Label;
        T.Caption = "Pick a row of this list; the text wraps at the label's width and never widens the window";
        T.WordWrap = true;
        T.Bounds = Bounds(3, 2, 236, 16);
        Set.CreateControl(Window, T, {});
        Button("OK", 50, 1, true, false, mrOk);
        Button("Cancel", 122, 2, false, true, mrCancel);
        TControlProps T2;
        T2.Kind = TWidgetKind::Edit;
        T2.Bounds = Bounds(1, 171, 240, 21);
        T2.Color = clWindow;
        T2.TabOrder = 3;
        TControlEvents EE;
        EE.OnChange = [this](const AnsiString& Text) { Changes.push_back(Text); };
        Edit = Set.CreateControl(Window, T2, EE);
    }
    ~TDialog() { Set.Destroy(Window); }
    TDialog(const TDialog&) = delete;
    TDialog& operator=(const TDialog&) = delete;

    void Button(const char* Caption, int Left, int Tab, bool Default, bool Cancel, TModalResult Result) {
        TControlProps B;
        B.Kind = TWidgetKind::Button;
        B.Caption = Caption;
        B.Bounds = Bounds(Left, ButtonTop, ButtonWidth, ButtonHeight);
        B.TabOrder = Tab;
        B.Default = Default;
        B.Cancel = Cancel;
        TControlEvents E;
        E.OnClick = [this, Caption, Result] {
            Log.push_back(std::string("click ") + Caption);
            if (Result == mrOk && !ShotFile.empty()) Set.SaveScreenshot(Window, ShotFile);
            Set.EndModal(Window, Result);
        };
        Set.CreateControl(Window, B, E);
    }

    int Selected() const { return Set.GetControlProps(List).ItemIndex; }
    std::string EditText() const { return Set.GetControlProps(Edit).Caption; }
    void SetEditText(const std::string& Text) {
        TControlProps P = Set.GetControlProps(Edit);
        P.Caption = Text;
        Set.UpdateControl(Edit, P);
    }
    // Where a button lies in the window: its centre.
    static int ButtonX(const char* Caption) { return (std::string(Caption) == "OK" ? 50 : 122) + ButtonWidth / 2; }
};

// One thing the user does.
struct TStep {
    enum TKind { Key, ClickRow, DoubleClickRow, ClickButton, Close, Type } Kind;
    TKey Pressed = TKey::Enter;
    int Row = -1;
    const char* Button = "";
    const char* Text = "";  // Type: ASCII, as every user here can type it
};
TStep Press(TKey K) { return {TStep::Key, K}; }
TStep Click(int Row) { return {TStep::ClickRow, TKey::Enter, Row}; }
TStep DoubleClick(int Row) { return {TStep::DoubleClickRow, TKey::Enter, Row}; }
TStep Press(const char* Button) { return {TStep::ClickButton, TKey::Enter, -1, Button}; }
TStep CloseBox() { return {TStep::Close}; }
TStep Type(const char* Text) { return {TStep::Type, TKey::Enter, -1, "", Text}; }

// The user of one backend.
class TUser {
public:
    virtual ~TUser() = default;
    // Why this machine cannot play the backend, or empty.
    virtual std::string Missing() const { return {}; }
    virtual TWidgetSet& Select() = 0;
    // Shows the dialog modally while Steps are played; the modal result.
    virtual TModalResult Show(TDialog& D, const std::vector<TStep>& Steps) = 0;
    // Why the close box cannot be played here, or empty.
    virtual std::string NoCloseBox() const { return {}; }
    // The rows' heights and the client size as the system reports them,
    // for backends whose windows the system keeps.
    virtual std::vector<int> NativeRowHeights(TDialog&) { return {}; }
    virtual std::pair<int, int> NativeClientSize(TDialog&) { return {-1, -1}; }
};

#if !defined(TYPECASK_REAL_WINDOWS)

class THeadlessUser : public TUser {
public:
    TWidgetSet& Select() override { return SelectWidgetSet("headless"); }
    TModalResult Show(TDialog& D, const std::vector<TStep>& Steps) override {
        auto& Set = dynamic_cast<WidgetSets::THeadlessWidgetSet&>(D.Set);
        using A = WidgetSets::THeadlessAction;
        std::vector<A> Script;
        for (const TStep& S : Steps) {
            switch (S.Kind) {
                case TStep::Key: Script.push_back(A::Press(S.Pressed)); break;
                case TStep::ClickRow: Script.push_back(A::Select(S.Row)); break;
                case TStep::DoubleClickRow: Script.push_back(A::DoubleClick(S.Row)); break;
                case TStep::ClickButton: Script.push_back(A::Press(S.Button)); break;
                case TStep::Close: Script.push_back(A::CloseWindow()); break;
                case TStep::Type: Script.push_back(A::Type(S.Text)); break;
            }
        }
        Set.Script(std::move(Script));
        const TModalResult Result = Set.ShowModal(D.Window);
        EXPECT_EQ(Set.PendingActions(), 0u) << "the dialog ended before its script";
        return Result;
    }
};

#elif defined(_WIN32)

// Steps carried out one per timer tick on the dialog's own thread, as
// messages in its queue.
std::deque<std::function<void()>> Pending;
void CALLBACK NextStep(HWND, UINT, UINT_PTR, DWORD) {
    if (Pending.empty()) return;
    auto Step = std::move(Pending.front());
    Pending.pop_front();
    Step();
}

class TWin32User : public TUser {
public:
    TWidgetSet& Select() override { return SelectWidgetSet("win32"); }
    TModalResult Show(TDialog& D, const std::vector<TStep>& Steps) override {
        for (const TStep& S : Steps) Pending.push_back([this, &D, S] { Play(D, S); });
        const UINT_PTR Timer = SetTimer(nullptr, 0, 50, NextStep);
        const TModalResult Result = D.Set.ShowModal(D.Window);
        KillTimer(nullptr, Timer);
        EXPECT_TRUE(Pending.empty()) << "the dialog ended before its steps";
        Pending.clear();
        return Result;
    }
    std::vector<int> NativeRowHeights(TDialog& D) override {
        std::vector<int> Heights;
        const HWND List = NativeList(D);
        const auto Count = SendMessageA(List, LB_GETCOUNT, 0, 0);
        for (LRESULT I = 0; I < Count; ++I)
            Heights.push_back(static_cast<int>(SendMessageA(List, LB_GETITEMHEIGHT, static_cast<WPARAM>(I), 0)));
        return Heights;
    }
    std::pair<int, int> NativeClientSize(TDialog& D) override {
        RECT R{};
        GetClientRect(Native(D), &R);
        return {R.right, R.bottom};
    }

private:
    static HWND Native(TDialog&) { return FindWindowA(nullptr, TDialog::Title); }
    static HWND NativeList(TDialog& D) { return FindWindowExA(Native(D), nullptr, "LISTBOX", nullptr); }

    static WPARAM Virtual(TKey K) {
        switch (K) {
            case TKey::Down: return VK_DOWN;
            case TKey::Up: return VK_UP;
            case TKey::Home: return VK_HOME;
            case TKey::End: return VK_END;
            case TKey::Escape: return VK_ESCAPE;
            case TKey::Tab: return VK_TAB;
            case TKey::Space: return VK_SPACE;
            default: return VK_RETURN;
        }
    }

    static void Play(TDialog& D, const TStep& S) {
        // Characters come to the focused window as the keyboard's
        // translation makes them; Backspace is one of them.
        if (S.Kind == TStep::Type || (S.Kind == TStep::Key && S.Pressed == TKey::Backspace)) {
            const std::string Text = S.Kind == TStep::Type ? S.Text : "\b";
            for (const char Ch : Text) PostMessageA(GetFocus(), WM_CHAR, static_cast<unsigned char>(Ch), 0);
            return;
        }
        const HWND List = NativeList(D);
        // The row's centre in the list's client area (it shows its first rows).
        RECT Row{};
        SendMessageA(List, LB_GETITEMRECT, static_cast<WPARAM>(S.Row), reinterpret_cast<LPARAM>(&Row));
        const LPARAM At = MAKELPARAM(40, (Row.top + Row.bottom) / 2);
        switch (S.Kind) {
            case TStep::Key: PostMessageA(GetFocus(), WM_KEYDOWN, Virtual(S.Pressed), 0); break;
            case TStep::DoubleClickRow:
                PostMessageA(List, WM_LBUTTONDOWN, MK_LBUTTON, At);
                PostMessageA(List, WM_LBUTTONUP, 0, At);
                PostMessageA(List, WM_LBUTTONDBLCLK, MK_LBUTTON, At);
                PostMessageA(List, WM_LBUTTONUP, 0, At);
                break;
            case TStep::ClickRow:
                PostMessageA(List, WM_LBUTTONDOWN, MK_LBUTTON, At);
                PostMessageA(List, WM_LBUTTONUP, 0, At);
                break;
            case TStep::ClickButton:
                PostMessageA(FindWindowExA(Native(D), nullptr, "BUTTON", S.Button), BM_CLICK, 0, 0);
                break;
            case TStep::Close: PostMessageA(Native(D), WM_CLOSE, 0, 0); break;
            case TStep::Type: break;
        }
    }
};

#else

const auto* const Server = ::testing::AddGlobalTestEnvironment(new TestSupport::TXServer({"Sandbox Sans"}, 90));

class TGtk3User : public TUser {
public:
    std::string Missing() const override {
        const char* Display = std::getenv("DISPLAY");
        if (!Display || !*Display) return "no X server (Xvfb is not installed)";
        if (!TestSupport::HaveTool("xdotool")) return "xdotool is not installed";
        return {};
    }
    TWidgetSet& Select() override { return SelectWidgetSet("gtk3"); }
    // Without a window manager nothing sends the window the close request.
    std::string NoCloseBox() const override { return "no window manager on the X server to close the window"; }

    TModalResult Show(TDialog& D, const std::vector<TStep>& Steps) override {
        using namespace std::chrono_literals;
        using TestSupport::Shell;
        auto Player = std::async(std::launch::async, [&] {
            std::string Id;
            for (int I = 0; I < 200 && Id.empty(); ++I) {
                const std::string Found =
                    Shell(std::string("xdotool search --onlyvisible --name '^") + TDialog::Title + "$' 2>/dev/null");
                Id = Found.substr(0, Found.find('\n'));
                if (Id.empty()) std::this_thread::sleep_for(50ms);
            }
            if (Id.empty()) return;
            FGeometry = Shell("xdotool getwindowgeometry " + Id);
            Shell("xdotool windowfocus --sync " + Id + " 2>/dev/null");
            for (const TStep& S : Steps) {
                std::this_thread::sleep_for(150ms);
                Play(D, Id, S);
            }
        });
        const TModalResult Result = D.Set.ShowModal(D.Window);
        Player.get();
        return Result;
    }
    std::pair<int, int> NativeClientSize(TDialog&) override {
        int Width = -1, Height = -1;
        if (const auto At = FGeometry.find("Geometry: "); At != std::string::npos)
            std::sscanf(FGeometry.c_str() + At, "Geometry: %dx%d", &Width, &Height);
        return {Width, Height};
    }

private:
    static const char* Name(TKey K) {
        switch (K) {
            case TKey::Down: return "Down";
            case TKey::Up: return "Up";
            case TKey::Home: return "Home";
            case TKey::End: return "End";
            case TKey::Escape: return "Escape";
            case TKey::Tab: return "Tab";
            case TKey::Space: return "space";
            case TKey::Backspace: return "BackSpace";
            default: return "Return";
        }
    }
    static void Play(TDialog& D, const std::string& Id, const TStep& S) {
        using TestSupport::Shell;
        const auto ClickAt = [&](int X, int Y, int Repeat) {
            Shell("xdotool mousemove --window " + Id + " " + std::to_string(X) + " " + std::to_string(Y) +
                  " click --repeat " + std::to_string(Repeat) + " --delay 80 1");
        };
        // The shared model places the rows (the list shows its first ones).
        const auto RowY = [&](int Row) {
            const TRect R = dynamic_cast<WidgetSets::TWidgetSetBase&>(D.Set).RowRect(D.List, Row);
            return ListTop + (R.Top + R.Bottom) / 2;
        };
        switch (S.Kind) {
            case TStep::Key: Shell(std::string("xdotool key ") + Name(S.Pressed)); break;
            case TStep::ClickRow: ClickAt(ListLeft + 40, RowY(S.Row), 1); break;
            case TStep::DoubleClickRow: ClickAt(ListLeft + 40, RowY(S.Row), 2); break;
            case TStep::ClickButton: ClickAt(TDialog::ButtonX(S.Button), ButtonTop + ButtonHeight / 2, 1); break;
            case TStep::Close: break;
            case TStep::Type: Shell(std::string("xdotool type --delay 60 -- '") + S.Text + "'"); break;
        }
    }
    std::string FGeometry;
};

#endif

struct TBackend {
    const char* Name;
    std::function<std::unique_ptr<TUser>()> MakeUser;
};
void PrintTo(const TBackend& Backend, std::ostream* Out) { *Out << Backend.Name; }

// The events with a repeated one told once: the second press of a double
// click selects the row it is on again, which gtk3 reports and the others
// do not.
std::vector<std::string> Told(std::vector<std::string> Log) {
    Log.erase(std::unique(Log.begin(), Log.end()), Log.end());
    return Log;
}
const TBackend Backends[] = {
#if !defined(TYPECASK_REAL_WINDOWS)
    {"headless", [] { return std::make_unique<THeadlessUser>(); }},
#elif defined(_WIN32)
    {"win32", [] { return std::make_unique<TWin32User>(); }},
#else
    {"gtk3", [] { return std::make_unique<TGtk3User>(); }},
#endif
};

class Conformance : public ::testing::TestWithParam<TBackend> {
protected:
    void SetUp() override {
        User = GetParam().MakeUser();
        if (const std::string Why = User->Missing(); !Why.empty()) GTEST_SKIP() << Why;
        Dialog = std::make_unique<TDialog>(User->Select());
    }
    void TearDown() override {
        Dialog.reset();
        if (User && User->Missing().empty()) SelectWidgetSet("headless");
    }
    std::unique_ptr<TUser> User;
    std::unique_ptr<TDialog> Dialog;
};

TEST_P(Conformance, KeysMouseAndFocusEndTheDialogAsTheUserMeansIt) {
    const struct {
        const char* Name;
        std::vector<TStep> Steps;
        TModalResult Result;
        int Selected;
        std::vector<std::string> Log;
    } Cases[] = {
        {"Down twice, Enter", {Press(TKey::Down), Press(TKey::Down), Press(TKey::Enter)}, mrOk, 1,
         {"select 0", "select 1", "click OK"}},
        {"End, Escape", {Press(TKey::End), Press(TKey::Escape)}, mrCancel, 11, {"select 11", "click Cancel"}},
        {"Home, a click on a row, Enter", {Press(TKey::Home), Click(2), Press(TKey::Enter)}, mrOk, 2,
         {"select 0", "select 2", "click OK"}},
        {"Home, Tab to OK, Space", {Press(TKey::Home), Press(TKey::Tab), Press(TKey::Space)}, mrOk, 0,
         {"select 0", "click OK"}},
        // Enter on the focused button, not on the default one.
        {"Tab twice, Enter", {Press(TKey::Tab), Press(TKey::Tab), Press(TKey::Enter)}, mrCancel, 0, {"click Cancel"}},
        {"a double click on a row", {DoubleClick(3)}, mrOk, 3, {"select 3", "dblclick 3"}},
        {"the Cancel button", {Press("Cancel")}, mrCancel, 3, {"click Cancel"}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        // Each case starts in the list, wherever the last one left the focus.
        Dialog->Set.SetFocus(Dialog->List);
        Dialog->Log.clear();
        EXPECT_EQ(User->Show(*Dialog, C.Steps), C.Result);
        EXPECT_EQ(Dialog->Selected(), C.Selected);
        EXPECT_EQ(Told(Dialog->Log), C.Log);
        EXPECT_FALSE(Dialog->Set.IsShowing(Dialog->Window));
    }
}

// Typed text and Backspace reach the edit's Text through the backend's own
// control; a text set by code is shown there (typing goes on after it, UTF-8
// through the native text's encoding and back) and is no user's change.
TEST_P(Conformance, TheEditTakesTypedTextAndShowsTheTextSetByCode) {
    const struct {
        const char* Name;
        std::string Set;
        std::vector<TStep> Steps;
        TModalResult Result;
        std::string Text;
    } Cases[] = {
        {"typed, Backspace, Enter",
         "",
         {Type("U+0400-"), Type("U+04FF"), Press(TKey::Backspace), Press(TKey::Enter)},
         mrOk,
         "U+0400-U+04F"},
        {"set by code, then typed after it, Escape",
         "Привет, U+2010",
         {Type("-U+2027 x"), Press(TKey::Backspace), Press(TKey::Escape)},
         mrCancel,
         "Привет, U+2010-U+2027 "},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        Dialog->Changes.clear();
        Dialog->SetEditText(C.Set);
        EXPECT_EQ(Dialog->EditText(), C.Set);
        EXPECT_TRUE(Dialog->Changes.empty()) << "a text set by code was reported as the user's";
        Dialog->Set.SetFocus(Dialog->Edit);
        EXPECT_EQ(User->Show(*Dialog, C.Steps), C.Result);
        EXPECT_EQ(Dialog->EditText(), C.Text);
        ASSERT_FALSE(Dialog->Changes.empty());
        EXPECT_EQ(Dialog->Changes.back(), C.Text);
    }
}

TEST_P(Conformance, TheCloseBoxCancels) {
    if (const std::string Why = User->NoCloseBox(); !Why.empty()) GTEST_SKIP() << Why;
    EXPECT_EQ(User->Show(*Dialog, {Click(4), CloseBox()}), mrCancel);
    EXPECT_EQ(Dialog->Selected(), 4);
    EXPECT_EQ(Dialog->Log, std::vector<std::string>{"select 4"});
    EXPECT_FALSE(Dialog->Set.IsShowing(Dialog->Window));
}

TEST_P(Conformance, RowsAreMeasuredDrawnAndShownAtTheirHeights) {
    const std::string Shot =
        (std::filesystem::temp_directory_path() / ("typecask-conformance-" + std::string(GetParam().Name) + ".png"))
            .string();
    Dialog->ShotFile = Shot;
    EXPECT_EQ(User->Show(*Dialog, {Click(1), Press("OK")}), mrOk);

    for (const auto& [Row, Height] : Dialog->Drawn) EXPECT_EQ(Height, HeightOf(Row)) << "row " << Row;
    EXPECT_FALSE(Dialog->Drawn.empty()) << "no row was drawn";
    if (const auto Native = User->NativeRowHeights(*Dialog); !Native.empty()) {
        ASSERT_EQ(Native.size(), 12u);
        for (int I = 0; I < 12; ++I) EXPECT_EQ(Native[static_cast<std::size_t>(I)], HeightOf(I)) << "row " << I;
    }
    if (const auto Size = User->NativeClientSize(*Dialog); Size.first >= 0) {
        EXPECT_EQ(Size, std::make_pair(242, 221)) << "the window's client size as the system has it";
    }

    // The picture OK took: client size, the selected row in the highlight
    // colour, the row above it not.
    TBitmap Png;
    Png.LoadFromPngFile(Shot);
    std::filesystem::remove(Shot);
    EXPECT_EQ(std::make_pair(Png.GetWidth(), Png.GetHeight()), std::make_pair(242, 221));
    const auto Rgb = [](TColor C) {
        const TColor R = ColorToRGB(C);
        return std::uint32_t(GetRValue(R)) << 16 | std::uint32_t(GetGValue(R)) << 8 | GetBValue(R);
    };
    EXPECT_EQ(Png.GetPixel(ListLeft + 200, ListTop + HeightOf(0) + HeightOf(1) / 2) & 0xFFFFFF, Rgb(clHighlight));
    EXPECT_EQ(Png.GetPixel(ListLeft + 200, ListTop + HeightOf(0) / 2) & 0xFFFFFF, Rgb(clWindow));
}

INSTANTIATE_TEST_SUITE_P(Backends, Conformance, ::testing::ValuesIn(Backends),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
