// The headless widgetset: scripted modal showings, the list box's rules for
// mouse, keys and scrolling, owner drawing, and rendering to PNG. What every
// widgetset does alike is tested in ConformanceTest.cpp.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/widgetsets/headless/Headless.h"
#ifndef _WIN32  // on Windows each run's own Wine prefix is the sandbox
#include "tests/support/Sandbox.h"
#endif

using namespace WidgetSets;

namespace {

// A dialog shaped like a picker: an owner-drawn list with rows of varying
// height, a sunken line, OK (default) and Cancel (cancel) buttons. Every
// event goes into Log.
struct TDialog {
    THeadlessWidgetSet& Set;
    std::vector<std::string> Log;
    std::vector<AnsiString> Items{"Alpha", "Bravo", "Charlie", "Delta", "Echo", "Foxtrot",
                                  "Golf",  "Hotel", "India",   "Juliet", "Kilo", "Lima"};
    TWidgetHandle Window = NoWidget, List = NoWidget, Sample = NoWidget, Ok = NoWidget, Cancel = NoWidget;
    std::vector<std::pair<int, TRect>> Drawn;

    static int HeightOf(int Index) { return 14 + 4 * (Index % 3); }  // 14, 18, 22, ...

    explicit TDialog(THeadlessWidgetSet& S) : Set(S) {
        TWindowProps W;
        W.Caption = "Picker";
        W.ClientWidth = 242;
        W.ClientHeight = 221;
        Window = Set.CreateWindow(W, {});

        TControlProps L;
        L.Kind = TWidgetKind::ListBox;
        L.Name = "ListBoxTTFonts";
        L.Bounds = Bounds(1, 20, 240, 149);
        L.Color = clWindow;
        L.Items = Items;
        L.Style = TListBoxStyle::OwnerDrawVariable;
        L.TabOrder = 0;
        TControlEvents LE;
        LE.OnMeasureItem = [](int I) { return HeightOf(I); };
        LE.OnSelect = [this](int I) { Log.push_back("select " + std::to_string(I)); };
        LE.OnDblClick = [this](int I) {
            Log.push_back("dblclick " + std::to_string(I));
            Set.ClickButton(Ok);
        };
        LE.OnDrawItem = [this](TCanvas& C, int I, const TRect& R, TOwnerDrawState S) {
            Drawn.emplace_back(I, R);
            EXPECT_EQ(C.GetBrush()->GetColor(), S.Selected ? clHighlight : clWindow);
            C.FillRect(R);
            C.TextOut(R.Left + 1, R.Top + 1, Items[static_cast<std::size_t>(I)]);
        };
        List = Set.CreateControl(Window, L, LE);

        TControlProps T;
        T.Kind = TWidgetKind::StaticText;
        T.Bounds = Bounds(1, 173, 240, 17);
        T.Border = TStaticBorder::Sunken;
        Sample = Set.CreateControl(Window, T, {});

        Ok = Button("BitBtnOK", "OK", 50, 1, true, false, mrOk);
        Cancel = Button("BitBtnCancel", "Cancel", 122, 2, false, true, mrCancel);
    }

    TWidgetHandle Button(const char* Name, const char* Caption, int Left, int Tab, bool Default, bool IsCancel,
                         TModalResult Result) {
        TControlProps B;
        B.Kind = TWidgetKind::Button;
        B.Name = Name;
        B.Caption = Caption;
        B.Bounds = Bounds(Left, 195, 70, 24);
        B.TabOrder = Tab;
        B.Default = Default;
        B.Cancel = IsCancel;
        TControlEvents E;
        E.OnClick = [this, Caption, Result] {
            Log.push_back(std::string("click ") + Caption);
            Set.EndModal(Window, Result);
        };
        return Set.CreateControl(Window, B, E);
    }

    int Selected() const { return Set.GetControlProps(List).ItemIndex; }
};

using Actions = std::vector<THeadlessAction>;

TEST(HeadlessModal, ScriptsEndWithTheRightResult) {
    const struct {
        const char* What;
        Actions Script;
        TModalResult Result;
        std::vector<std::string> Log;
        int Selected;
    } Cases[] = {
        // Keys, clicks and closing as a user does them: ConformanceTest.cpp,
        // on every widgetset. These are the script's own rules.
        {"select by text and OK", {THeadlessAction::Select("Bravo"), THeadlessAction::Press("OK")}, mrOk,
         {"select 1", "click OK"}, 1},
        {"an empty script cancels", {}, mrCancel, {}, -1},
        {"a missing row drops the rest", {THeadlessAction::Select("Zulu"), THeadlessAction::Press("OK")}, mrCancel,
         {}, -1},
        {"Shift+Tab from the list wraps to Cancel",
         {THeadlessAction::Press(TKey::ShiftTab), THeadlessAction::Press(TKey::Space)}, mrCancel, {"click Cancel"},
         -1},
        {"buttons by name", {THeadlessAction::Press("bitbtnok")}, mrOk, {"click OK"}, -1},
    };
    for (const auto& C : Cases) {
        THeadlessWidgetSet Set;
        TDialog D(Set);
        Set.Script(C.Script);
        EXPECT_EQ(Set.ShowModal(D.Window), C.Result) << C.What;
        EXPECT_EQ(D.Log, C.Log) << C.What;
        EXPECT_EQ(D.Selected(), C.Selected) << C.What;
        EXPECT_EQ(Set.PendingActions(), 0u) << C.What;
        EXPECT_FALSE(Set.IsShowing(D.Window)) << C.What;
    }
}

TEST(HeadlessModal, FailedActionsAreExplained) {
    THeadlessWidgetSet Set;
    TDialog D(Set);
    Set.Script({THeadlessAction::Press("Help"), THeadlessAction::Press("OK")});
    EXPECT_EQ(Set.ShowModal(D.Window), mrCancel);
    ASSERT_EQ(Set.GetScriptErrors().size(), 1u);
    EXPECT_EQ(Set.GetScriptErrors()[0], "The window has no button \"Help\"");
}

TEST(HeadlessModal, CloseHandlerDecidesAndNestedDialogsTakeTheirTurn) {
    THeadlessWidgetSet Set;
    TDialog Outer(Set);
    TDialog Inner(Set);
    std::vector<std::string> Order;
    TWindowEvents Events;
    Events.OnCloseRequest = [&] {
        Order.push_back("close asked");
        Set.EndModal(Inner.Window, mrAbort);
    };
    // A second dialog window whose close handler decides the result.
    TWidgetHandle Dialog = Set.CreateWindow(Set.GetWindowProps(Inner.Window), Events);
    Inner.Window = Dialog;
    Set.Script({THeadlessAction::Call([&](THeadlessWidgetSet& S, TWidgetHandle W) {
                    EXPECT_EQ(W, Outer.Window);
                    Order.push_back("inner result " + std::to_string(S.ShowModal(Dialog)));
                    EXPECT_EQ(S.ModalStack(), std::vector<TWidgetHandle>{Outer.Window});
                }),
                THeadlessAction::CloseWindow(),  // consumed by the inner dialog
                THeadlessAction::Press("OK")});
    EXPECT_EQ(Set.ShowModal(Outer.Window), mrOk);
    EXPECT_EQ(Order, (std::vector<std::string>{"close asked", "inner result 3"}));
}

TEST(HeadlessModal, DestroyingTheWindowFromAHandlerEndsTheDialog) {
    THeadlessWidgetSet Set;
    TWidgetHandle W = Set.CreateWindow({}, {});
    TControlProps B;
    B.Kind = TWidgetKind::Button;
    B.Caption = "Go";
    TControlEvents E;
    E.OnClick = [&] { Set.Destroy(W); };
    Set.CreateControl(W, B, E);
    Set.Script({THeadlessAction::Press("Go"), THeadlessAction::Press("Go")});
    EXPECT_EQ(Set.ShowModal(W), mrCancel);
    EXPECT_FALSE(Set.IsWindow(W));
}

TEST(HeadlessList, KeysMoveTheSelectionOverVariableRows) {
    // Visible height 145; rows 14, 18, 22, 14, 18, 22, ...: from row 0 eight
    // rows fit (140 pixels), from row 11 upwards seven (130).
    const struct {
        TKey Key;
        int Expected;
    } Steps[] = {{TKey::Down, 0},     {TKey::Down, 1},      {TKey::Up, 0},     {TKey::Up, 0},
                 {TKey::PageDown, 7}, {TKey::PageDown, 11}, {TKey::PageUp, 5}, {TKey::Home, 0},
                 {TKey::End, 11},     {TKey::Down, 11}};
    THeadlessWidgetSet Set;
    TDialog D(Set);
    Set.SetFocus(D.List);
    for (const auto& S : Steps) {
        Set.PressKey(D.Window, S.Key);
        EXPECT_EQ(D.Selected(), S.Expected) << "key " << static_cast<int>(S.Key);
        // The selected row is always fully visible.
        TRect R = Set.RowRect(D.List, D.Selected());
        EXPECT_GE(R.Top, 0);
        EXPECT_LE(R.Bottom, 145);
    }
    EXPECT_EQ(D.Log.front(), "select 0");
}

TEST(HeadlessList, RowsHaveTheirMeasuredHeightsAndHitTestsFindThem) {
    THeadlessWidgetSet Set;
    TDialog D(Set);
    int Top = 0;
    for (int I = 0; I < static_cast<int>(D.Items.size()); ++I) {
        TRect R = Set.RowRect(D.List, I);
        // The rows overflow the list: a scroll bar takes the right 16 pixels.
        EXPECT_EQ(R, Rect(0, Top, 236 - 16, Top + TDialog::HeightOf(I))) << I;
        if (Top < 145) {
            EXPECT_EQ(Set.RowAt(D.List, Top), I);
        }
        if (Top + TDialog::HeightOf(I) <= 145) {
            EXPECT_EQ(Set.RowAt(D.List, Top + TDialog::HeightOf(I) - 1), I);
        }
        Top += TDialog::HeightOf(I);
    }
    EXPECT_EQ(Set.RowAt(D.List, -1), -1);
    EXPECT_EQ(Set.RowAt(D.List, 145), -1);

    // New items are measured again.
    TControlProps P = Set.GetControlProps(D.List);
    P.Items = {"One", "Two"};
    P.ItemIndex = 1;
    Set.UpdateControl(D.List, P);
    EXPECT_EQ(Set.RowRect(D.List, 1), Rect(0, 14, 236, 32)) << "no scroll bar for rows that fit";
    EXPECT_EQ(D.Selected(), 1);
    P.ItemIndex = 5;  // out of range: no selection
    Set.UpdateControl(D.List, P);
    EXPECT_EQ(D.Selected(), -1);
}

TEST(HeadlessList, WheelAndSelectionScroll) {
    THeadlessWidgetSet Set;
    TDialog D(Set);
    EXPECT_EQ(Set.GetTopIndex(D.List), 0);
    Set.Wheel(D.List, 1);
    const int AfterWheel = Set.GetTopIndex(D.List);
    EXPECT_GT(AfterWheel, 0);
    Set.Wheel(D.List, -10);
    EXPECT_EQ(Set.GetTopIndex(D.List), 0);
    Set.Wheel(D.List, 100);  // no further than the last page
    EXPECT_EQ(Set.RowRect(D.List, 11).Bottom, 145);

    TControlProps P = Set.GetControlProps(D.List);
    P.ItemIndex = 0;  // set by code: scrolled into view, not reported
    Set.UpdateControl(D.List, P);
    EXPECT_EQ(Set.GetTopIndex(D.List), 0);
    EXPECT_TRUE(D.Log.empty());

    // A row selected before the list is created is in view from the start.
    P.ItemIndex = 11;
    const TWidgetHandle Shown = Set.CreateControl(D.Window, P, {});
    EXPECT_EQ(Set.RowRect(Shown, 11).Bottom, 145);
}

// A clock that the test moves.
class TTimedWidgetSet : public THeadlessWidgetSet {
public:
    std::int64_t Now = 0;

protected:
    std::int64_t NowMs() const override { return Now; }
};

TEST(HeadlessList, TypedLettersFindTheNextRowThatBeginsWithThem) {
    TTimedWidgetSet Set;
    TDialog D(Set);
    TControlProps P = Set.GetControlProps(D.List);
    P.Items = {"Arial", "Eagle", "\xC3\x89migr\xC3\xA9", "echo", "Egg", "Zulu"};
    Set.UpdateControl(D.List, P);
    Set.SetFocus(D.List);
    const struct {
        std::int64_t At;
        const char* Typed;
        bool Found;
        int Selected;
    } Steps[] = {
        {0, "e", true, 1},         // the first row with E
        {100, "e", true, 3},       // the same letter again: the next one
        {300, "E", true, 4},       // and again, whatever its case
        {2000, "eg", true, 4},     // after a pause: E finds Eagle, EG goes on to Egg
        {4000, "z", true, 5},
        {6000, "\xC3\xA9m", true, 2}, // accented capitals fold too
        {8000, "q", false, 2},     // no such row: the selection stays
        {10000, "  ", false, 2},
    };
    for (const auto& S : Steps) {
        Set.Now = S.At;
        EXPECT_EQ(Set.TypeText(D.Window, S.Typed), S.Found) << S.Typed;
        EXPECT_EQ(D.Selected(), S.Selected) << S.Typed;
    }
    EXPECT_EQ(D.Log, (std::vector<std::string>{"select 1", "select 3", "select 4", "select 1", "select 4", "select 5",
                                                "select 2"}));
    Set.SetFocus(D.Ok);
    EXPECT_FALSE(Set.TypeText(D.Window, "a")) << "only a list box with the focus takes letters";
    EXPECT_EQ(D.Selected(), 2);
}

TEST(HeadlessList, DisabledOrHiddenControlsIgnoreTheUser) {
    THeadlessWidgetSet Set;
    TDialog D(Set);
    TControlProps P = Set.GetControlProps(D.Ok);
    P.Enabled = false;
    Set.UpdateControl(D.Ok, P);
    EXPECT_FALSE(Set.ClickButton(D.Ok));
    EXPECT_FALSE(Set.PressKey(D.Window, TKey::Enter));  // no usable default button
    P = Set.GetControlProps(D.List);
    P.Visible = false;
    Set.UpdateControl(D.List, P);
    EXPECT_FALSE(Set.ClickRow(D.List, 0));
    EXPECT_TRUE(D.Log.empty());
}

TEST(HeadlessRender, WindowRendersAtClientSizeWithOwnerDrawnRows) {
#ifndef _WIN32
    TestSupport::TSandbox Box;
    Box.InstallFont("Sandbox Sans");
#endif
    THeadlessWidgetSet Set;
    TDialog D(Set);
    Set.ClickRow(D.List, 1);
    D.Drawn.clear();
    const std::string File = (std::filesystem::temp_directory_path() / "typecask-gfx-window.png").string();
    Set.Script({THeadlessAction::SaveScreenshot(File), THeadlessAction::Press("Cancel")});
    EXPECT_EQ(Set.ShowModal(D.Window), mrCancel);

    TBitmap Png;
    Png.LoadFromPngFile(File);
    std::filesystem::remove(File);
    EXPECT_EQ(Png.GetWidth(), 242);
    EXPECT_EQ(Png.GetHeight(), 221);
    // Rows drawn through the callback: those that fit, in their rectangles.
    ASSERT_GE(D.Drawn.size(), 8u);
    EXPECT_EQ(D.Drawn[1], std::make_pair(1, Rect(0, 14, 236 - 16, 32)));
    // The list's client area starts at (3, 22); row 1 is highlighted, row 0 not.
    auto Rgb = [](TColor C) {
        TColor R = ColorToRGB(C);
        return 0xFF000000u | (std::uint32_t(GetRValue(R)) << 16) | (std::uint32_t(GetGValue(R)) << 8) | GetBValue(R);
    };
    EXPECT_EQ(Png.GetPixel(3 + 200, 22 + 14 + 8), Rgb(clHighlight));
    EXPECT_EQ(Png.GetPixel(3 + 200, 22 + 5), Rgb(clWindow));
    EXPECT_EQ(Png.GetPixel(0, 0), Rgb(clBtnFace));
    // The scroll bar: an arrow button at the top, the thumb at the top of the
    // track (the list shows its first rows), the bare track below it.
    const int Bar = 3 + 236 - 16 + 8;
    EXPECT_EQ(Png.GetPixel(Bar - 6, 22 + 3), Rgb(clBtnFace));
    EXPECT_EQ(Png.GetPixel(Bar - 6, 22 + 16 + 5), Rgb(clBtnFace));
    EXPECT_EQ(Png.GetPixel(Bar - 6, 22 + 145 - 16 - 3), Rgb(cl3DLight));
}

// The edit's field in its sunken edge: the edit's colour inside, where its
// text and, with the focus, the caret are drawn.
TEST(HeadlessRender, EditShowsItsTextAndCaretInItsField) {
#ifndef _WIN32
    TestSupport::TSandbox Box;
    Box.InstallFont("Sandbox Sans");
#endif
    const struct {
        const char* Text;
        bool Focused;
        bool Marked;  // anything but the field's colour inside the edge
    } Cases[] = {{"", false, false}, {"", true, true}, {"WWW", false, true}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(std::string(C.Text) + (C.Focused ? ", focused" : ""));
        THeadlessWidgetSet Set;
        TWindowProps W;
        W.ClientWidth = 100;
        W.ClientHeight = 30;
        const TWidgetHandle Dialog = Set.CreateWindow(W, {});
        TControlProps E;
        E.Kind = TWidgetKind::Edit;
        E.Bounds = Bounds(5, 5, 90, 21);
        E.Color = clWindow;
        E.Caption = C.Text;
        E.TabOrder = 0;
        const TWidgetHandle Edit = Set.CreateControl(Dialog, E, {});
        if (C.Focused) Set.SetFocus(Edit);
        const auto Png = Set.RenderWindow(Dialog);
        const std::uint32_t Field = Png->GetPixel(5 + 80, 5 + 10);
        const TColor Window = ColorToRGB(clWindow);
        EXPECT_EQ(Field & 0xFFFFFF,
                  std::uint32_t(GetRValue(Window)) << 16 | std::uint32_t(GetGValue(Window)) << 8 | GetBValue(Window));
        EXPECT_NE(Png->GetPixel(5, 5), Field) << "no edge";
        bool Marked = false;
        for (int Y = 5 + EditBorder; Y < 5 + 21 - EditBorder; ++Y)
            for (int X = 5 + EditBorder; X < 5 + 90 - EditBorder; ++X) Marked = Marked || Png->GetPixel(X, Y) != Field;
        EXPECT_EQ(Marked, C.Marked);
    }
}

TEST(HeadlessWidgetSet, SelectionByName) {
    EXPECT_EQ(SelectWidgetSet("headless").GetName(), "headless");
    THeadlessWidgetSet& Headless = UseHeadlessWidgetSet();
    EXPECT_EQ(&WidgetSet(), &Headless);
    try {
        SelectWidgetSet("motif");
        ADD_FAILURE() << "an unknown widgetset was selected";
    } catch (const EWidgetSetError& E) {
        EXPECT_EQ(E.GetMessage(), "Unknown widgetset \"motif\" (known: headless, gtk3)");
    }
    EXPECT_EQ(&WidgetSet(), &Headless) << "a failed selection keeps the current widgetset";
    EXPECT_THROW(UseHeadlessWidgetSet().GetControlProps(12345), EWidgetSetError);
}

}  // namespace
