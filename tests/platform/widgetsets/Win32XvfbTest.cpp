// The win32 widgetset as real windows (Wine on an X server): a dialog shaped
// like the picker, driven by keys and mouse messages posted while it is
// shown modally, and checked through what user32 itself reports.
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "platform/os/win32/WinApi.h"
#include "platform/widgetsets/WidgetSet.h"

namespace {

int HeightOf(int Index) { return 14 + 4 * (Index % 3); }

// Steps carried out one per timer tick while a dialog is shown.
std::deque<std::function<void()>> Steps;

void CALLBACK NextStep(HWND, UINT, UINT_PTR, DWORD) {
    if (Steps.empty()) return;
    auto Step = std::move(Steps.front());
    Steps.pop_front();
    Step();
}

std::function<void()> Key(WPARAM Virtual) {
    return [Virtual] { PostMessageA(GetFocus(), WM_KEYDOWN, Virtual, 0); };
}

struct TDialog {
    TWidgetSet& Set = SelectWidgetSet("win32");
    std::vector<AnsiString> Items{"Alpha", "Bravo", "Charlie", "Delta", "Echo", "Foxtrot", "Golf", "Hotel", "India",
                                  "Juliet", "Kilo", "Lima"};
    TWidgetHandle Window = NoWidget, List = NoWidget;
    std::vector<std::pair<int, int>> Drawn;  // row, height
    std::vector<int> DoubleClicked;

    TDialog() {
        TWindowProps W;
        W.Caption = "True Type Fonts";
        W.ClientWidth = 242;
        W.ClientHeight = 221;
        Window = Set.CreateWindow(W, {});
        TControlProps L;
        L.Kind = TWidgetKind::ListBox;
        L.Bounds = Bounds(1, 20, 240, 149);
        L.Color = clWindow;
        L.Items = Items;
        L.Style = TListBoxStyle::OwnerDrawVariable;
        L.TabOrder = 0;
        TControlEvents E;
        E.OnMeasureItem = HeightOf;
        E.OnDblClick = [this](int I) { DoubleClicked.push_back(I); };
        E.OnDrawItem = [this](TCanvas& C, int I, const TRect& R, TOwnerDrawState) {
            Drawn.emplace_back(I, R.Height());
            C.FillRect(R);
            C.TextOut(R.Left + 1, R.Top + 1, Items[static_cast<std::size_t>(I)]);
        };
        List = Set.CreateControl(Window, L, E);
        Button("OK", 50, 1, true, false, mrOk);
        Button("Cancel", 122, 2, false, true, mrCancel);
    }
    ~TDialog() { Set.Destroy(Window); }

    void Button(const char* Caption, int Left, int Tab, bool Default, bool Cancel, TModalResult Result) {
        TControlProps B;
        B.Kind = TWidgetKind::Button;
        B.Caption = Caption;
        B.Bounds = Bounds(Left, 195, 70, 24);
        B.TabOrder = Tab;
        B.Default = Default;
        B.Cancel = Cancel;
        TControlEvents E;
        E.OnClick = [this, Result] { Set.EndModal(Window, Result); };
        Set.CreateControl(Window, B, E);
    }

    HWND Native() const { return FindWindowA("TypecaskWindow", "True Type Fonts"); }
    HWND NativeList() const { return FindWindowExA(Native(), nullptr, "LISTBOX", nullptr); }
    int Selected() const { return Set.GetControlProps(List).ItemIndex; }

    TModalResult Show(std::deque<std::function<void()>> Script) {
        Steps = std::move(Script);
        const UINT_PTR Timer = SetTimer(nullptr, 0, 50, NextStep);
        const TModalResult Result = Set.ShowModal(Window);
        KillTimer(nullptr, Timer);
        return Result;
    }
};

TEST(Win32WidgetSet, ModalDialogFollowsKeysAndMouse) {
    TDialog D;
    const LPARAM RowTwo = MAKELPARAM(20, HeightOf(0) + HeightOf(1) + 2);  // client coordinates of the list
    auto Click = [&](UINT Down, UINT Up) {
        return [&D, RowTwo, Down, Up] {
            PostMessageA(D.NativeList(), Down, MK_LBUTTON, RowTwo);
            PostMessageA(D.NativeList(), Up, 0, RowTwo);
        };
    };
    const struct {
        const char* Name;
        std::deque<std::function<void()>> Script;
        TModalResult Result;
        int Selected;
    } Cases[] = {
        {"down twice, Enter", {Key(VK_DOWN), Key(VK_DOWN), Key(VK_RETURN)}, mrOk, 1},
        {"End, Escape", {Key(VK_END), Key(VK_ESCAPE)}, mrCancel, 11},
        {"Home, click on a row, Enter", {Key(VK_HOME), Click(WM_LBUTTONDOWN, WM_LBUTTONUP), Key(VK_RETURN)}, mrOk, 2},
        {"Home, Tab to OK, Space", {Key(VK_HOME), Key(VK_TAB), Key(VK_SPACE)}, mrOk, 0},
        {"close box", {[&D] { PostMessageA(D.Native(), WM_CLOSE, 0, 0); }}, mrCancel, 0},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(D.Show(C.Script), C.Result) << C.Name;
        EXPECT_EQ(D.Selected(), C.Selected) << C.Name;
        EXPECT_FALSE(D.Set.IsShowing(D.Window)) << C.Name;
    }

    // What user32 reports: the title, the rows and their measured heights.
    char Title[64] = {};
    GetWindowTextA(D.Native(), Title, sizeof Title);
    EXPECT_STREQ(Title, "True Type Fonts");
    ASSERT_EQ(SendMessageA(D.NativeList(), LB_GETCOUNT, 0, 0), 12);
    for (int I = 0; I < 12; ++I) EXPECT_EQ(SendMessageA(D.NativeList(), LB_GETITEMHEIGHT, I, 0), HeightOf(I)) << I;
    // Rows were drawn through TCanvas at their heights.
    ASSERT_FALSE(D.Drawn.empty());
    for (const auto& [Row, Height] : D.Drawn) EXPECT_EQ(Height, HeightOf(Row)) << Row;

    // A double click on a row reports it.
    EXPECT_EQ(D.Show({Click(WM_LBUTTONDOWN, WM_LBUTTONUP), Click(WM_LBUTTONDBLCLK, WM_LBUTTONUP), Key(VK_ESCAPE)}),
              mrCancel);
    EXPECT_EQ(D.DoubleClicked, std::vector<int>{2});
}

}  // namespace
