// Forms built from their layout resources: controls, fields, events,
// OnCreate, the stored form properties, modal showing driven through the
// headless widgetset, owner drawing and screenshots.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/widgetsets/headless/Headless.h"
#include "tests/platform/forms/TestForms.h"
#include "tests/support/Sandbox.h"

using namespace FormTests;
using WidgetSets::THeadlessAction;

namespace {

class Forms : public ::testing::Test {
protected:
    void SetUp() override {
        Set = &WidgetSets::UseHeadlessWidgetSet();
        TTestPicker::Names = {"Delta", "alpha", "Charlie", "bravo"};
    }
    void TearDown() override { TTestPicker::Names.clear(); }

    std::unique_ptr<TTestPicker> Picker() { return std::make_unique<TTestPicker>(Application); }

    TFormModule Module{AllLayouts()};
    WidgetSets::THeadlessWidgetSet* Set = nullptr;
};

std::vector<AnsiString> Items(TListBox* List) {
    std::vector<AnsiString> R;
    for (int I = 0; I < List->GetItems()->Count(); ++I) R.push_back(List->GetItems()->Get(I));
    return R;
}

std::string TempPng(const char* Name) {
    return (std::filesystem::temp_directory_path() / (std::string("typecask-forms-") + Name + ".png")).string();
}

}  // namespace

TEST_F(Forms, ControlsComeFromTheLayoutAtTheirPlaces) {
    auto F = Picker();
    struct TCase {
        TControl* Control;
        const char* Name;
        TRect Bounds;
    };
    for (const TCase& C : std::initializer_list<TCase>{
             {F->ListBoxNames, "ListBoxNames", Bounds(1, 20, 240, 149)},
             {F->StaticTextSample, "StaticTextSample", Bounds(1, 173, 240, 17)},
             {F->BitBtnOK, "BitBtnOK", Bounds(50, 195, 70, 24)},
             {F->BitBtnCancel, "BitBtnCancel", Bounds(122, 195, 70, 24)},
         }) {
        ASSERT_NE(C.Control, nullptr) << C.Name;
        EXPECT_EQ(C.Control->GetName(), C.Name);
        EXPECT_EQ(C.Control->GetBoundsRect(), C.Bounds) << C.Name;
        EXPECT_EQ(C.Control->Owner(), F.get());
        EXPECT_EQ(C.Control->GetParent(), F.get());
    }
    // The prompt keeps its place and takes the size of its caption.
    EXPECT_EQ(F->LabelPrompt->GetLeft(), 3);
    EXPECT_EQ(F->LabelPrompt->GetTop(), 2);
    EXPECT_GT(F->LabelPrompt->GetWidth(), 3);
    EXPECT_EQ(F->ListBoxNames->GetStyle(), lbOwnerDrawVariable);
    EXPECT_TRUE(F->ListBoxNames->GetSorted());
    EXPECT_EQ(F->ListBoxNames->GetItemHeight(), 16);
    EXPECT_EQ(F->StaticTextSample->GetBorderStyle(), sbsSunken);
    EXPECT_FALSE(F->StaticTextSample->GetAutoSize());
    EXPECT_EQ(F->ListBoxNames->GetTabOrder(), 0);
    EXPECT_EQ(F->StaticTextSample->GetTabOrder(), 3);
    EXPECT_EQ(F->BitBtnCancel->GetTabOrder(), 2);
    // Graphic controls come first among the form's controls.
    EXPECT_EQ(F->Controls(0), F->LabelPrompt);
    EXPECT_EQ(F->ControlCount(), 5);
}

TEST_F(Forms, FormPropertiesComeFromTheLayout) {
    auto F = Picker();
    EXPECT_EQ(F->GetClientWidth(), 242);
    EXPECT_EQ(F->GetClientHeight(), 221);
    EXPECT_EQ(F->GetBorderStyle(), bsDialog);
    EXPECT_EQ(F->GetBorderIcons(), TBorderIcons{biSystemMenu});
    EXPECT_EQ(F->GetPosition(), poScreenCenter);
    EXPECT_TRUE(F->GetShowHint());
    EXPECT_EQ(F->GetActiveControl(), F->ListBoxNames);
    EXPECT_EQ(F->GetPixelsPerInch(), 96);
    EXPECT_EQ(F->GetTextHeight(), 13);
    EXPECT_EQ(F->GetFont()->GetName(), "Default");
    EXPECT_EQ(F->GetFont()->GetHeight(), -12);
    EXPECT_EQ(F->GetFont()->GetColor(), clWindowText);
    EXPECT_EQ(F->GetFont()->GetCharset(), DEFAULT_FONT_CHARSET);
    EXPECT_TRUE(F->GetFont()->GetStyle().Empty());
    // The controls use the form's font; ShowHint passes down.
    EXPECT_EQ(F->ListBoxNames->GetFont()->GetData(), F->GetFont()->GetData());
    EXPECT_TRUE(F->ListBoxNames->GetParentFont());
    EXPECT_TRUE(F->BitBtnOK->GetShowHint());
}

TEST_F(Forms, OnCreateFiresOnceAfterTheControlsExist) {
    auto F = Picker();
    EXPECT_EQ(F->Log, (std::vector<std::string>{"create", "constructed"}));
    EXPECT_TRUE(F->ControlsAtCreate);
    EXPECT_EQ(F->GetCaption(), "Pick a name");
    // The sorted list keeps its own order, not the order of insertion.
    EXPECT_EQ(Items(F->ListBoxNames), (std::vector<AnsiString>{"alpha", "bravo", "Charlie", "Delta"}));
    EXPECT_EQ(F->ListBoxNames->GetItemIndex(), -1);
    EXPECT_TRUE(F->Measured.empty());  // nothing is measured before the list is shown
}

TEST_F(Forms, ButtonsTakeTheirCaptionResultAndRoleFromTheirKind) {
    auto F = Picker();
    EXPECT_EQ(F->BitBtnOK->GetCaption(), "OK");
    EXPECT_EQ(F->BitBtnOK->GetModalResult(), mrOk);
    EXPECT_TRUE(F->BitBtnOK->GetDefault());
    EXPECT_EQ(F->BitBtnCancel->GetCaption(), "Cancel");
    EXPECT_EQ(F->BitBtnCancel->GetModalResult(), mrCancel);
    EXPECT_TRUE(F->BitBtnCancel->GetCancel());
    EXPECT_FALSE(F->BitBtnOK->GetGlyph()->Empty());
}

TEST_F(Forms, TwoFormsOfOneClassGetDistinctNames) {
    auto A = Picker();
    auto B = Picker();
    EXPECT_EQ(A->GetName(), "TestPicker");
    EXPECT_EQ(B->GetName(), "TestPicker_1");
    EXPECT_EQ(Application->FindComponent("TestPicker_1"), B.get());
}

TEST_F(Forms, AFormClassWithoutLayoutRaises) {
    try {
        TTestNoLayout F(Application);
        FAIL() << "no exception";
    } catch (const EResNotFound& E) {
        EXPECT_EQ(E.GetMessage(), "Resource TTestNoLayout not found");
    }
    EXPECT_EQ(Application->FindComponent("TestNoLayout"), nullptr);
    // A class that never built itself refuses to be shown empty.
    TTestUnbuilt Unbuilt(Application);
    EXPECT_THROW(Unbuilt.ShowModal(), EInvalidOperation);
    // An empty form made as such shows (and closes: Cancel).
    TForm Empty(Application, 0);
    EXPECT_EQ(Empty.ShowModal(), mrCancel);
}

TEST_F(Forms, ABrokenLayoutLeavesNothingBehind) {
    TFormModule Broken(std::map<std::string, std::string>{
        {"TTestAbout", "object TestAbout: TTestAbout\n  object X: TNoSuchControl\n  end\nend\n"}});
    const int Before = Application->ComponentCount();
    EXPECT_THROW(TTestAbout F(Application), EClassNotFound);
    EXPECT_EQ(Application->ComponentCount(), Before);
}

TEST_F(Forms, LayoutsWriteBackAsTheyWereRead) {
    for (const char* Class : {"TTestAbout", "TTestData"}) {
        std::unique_ptr<TComponent> Root(static_cast<TComponent*>(FindClass(Class)->Create(Application)));
        EXPECT_EQ(ComponentToText(Root.get()), AllLayouts().at(Class)) << Class;
    }
    auto Data = std::make_unique<TTestData>(Application);
    EXPECT_EQ(Data->Created, 1);  // OnCreate after the helper exists
    EXPECT_EQ(Data->GetDesignSize().X, 215);
}

TEST_F(Forms, OwnFontsStayParentFontsFollow) {
    TTestAbout F(Application);
    EXPECT_FALSE(F.LabelProductName->GetParentFont());
    EXPECT_TRUE(F.LabelProductName->GetFont()->GetStyle().Contains(fsBold));
    EXPECT_EQ(F.LabelProductName->GetFont()->GetHeight(), -13);
    EXPECT_TRUE(F.LabelProductInfo->GetParentFont());
    F.GetFont()->SetHeight(-20);
    EXPECT_EQ(F.LabelProductInfo->GetFont()->GetHeight(), -20);
    EXPECT_EQ(F.BitBtnOk->GetFont()->GetHeight(), -20);
    EXPECT_EQ(F.LabelProductName->GetFont()->GetHeight(), -13);
    F.LabelProductInfo->GetFont()->SetColor(clRed);  // its own font now
    EXPECT_FALSE(F.LabelProductInfo->GetParentFont());
    F.GetFont()->SetHeight(-9);
    EXPECT_EQ(F.LabelProductInfo->GetFont()->GetHeight(), -20);
    F.LabelProductInfo->SetParentFont(true);
    EXPECT_EQ(F.LabelProductInfo->GetFont()->GetHeight(), -9);
}

// ---------------------------------------------------------- modal showing

TEST_F(Forms, ScriptedModalShowings) {
    struct TCase {
        const char* Name;
        std::vector<THeadlessAction> Script;
        TModalResult Result;
        AnsiString Sample;
        std::vector<std::string> Log;
    };
    const std::vector<TCase> Cases = {
        {"select then OK", {THeadlessAction::Select("Charlie"), THeadlessAction::Press("OK")}, mrOk, "Charlie",
         {"click Charlie"}},
        {"select then Cancel", {THeadlessAction::Select("bravo"), THeadlessAction::Press("Cancel")}, mrCancel,
         "bravo", {"click bravo"}},
        {"double-click", {THeadlessAction::DoubleClick("Delta")}, mrOk, "Delta", {"click Delta", "dblclick"}},
        {"close", {}, mrCancel, "", {}},
        {"close button", {THeadlessAction::CloseWindow()}, mrCancel, "", {}},
        {"Escape", {THeadlessAction::Press(TKey::Escape)}, mrCancel, "", {}},
        {"arrow then Enter", {THeadlessAction::Press(TKey::Down), THeadlessAction::Press(TKey::Enter)}, mrOk,
         "alpha", {"click alpha"}},
        {"a row not listed", {THeadlessAction::Select("Echo"), THeadlessAction::Press("OK")}, mrCancel, "", {}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto F = Picker();
        F->Log.clear();
        Set->ClearScript();
        Set->Script(C.Script);
        EXPECT_EQ(F->ShowModal(), C.Result);
        EXPECT_EQ(F->GetModalResult(), C.Result);
        EXPECT_EQ(F->StaticTextSample->GetCaption(), C.Sample);
        EXPECT_EQ(F->Log, C.Log);
        EXPECT_FALSE(F->WindowAllocated());
        EXPECT_EQ(F->ListBoxNames->GetWidget(), NoWidget);
    }
}

TEST_F(Forms, TheWindowShowsTheFormAndItsControls) {
    auto F = Picker();
    F->ListBoxNames->SetItemIndex(2);
    bool Checked = false;
    Set->Script({THeadlessAction::Call([&](WidgetSets::THeadlessWidgetSet& S, TWidgetHandle W) {
        const TWindowProps& P = S.GetWindowProps(W);
        EXPECT_EQ(P.Caption, "Pick a name");
        EXPECT_EQ(P.ClientWidth, 242);
        EXPECT_EQ(P.ClientHeight, 221);
        EXPECT_EQ(P.Position, TWindowPosition::ScreenCenter);
        EXPECT_EQ(S.GetControls(W).size(), 5u);
        const TControlProps& L = S.GetControlProps(F->ListBoxNames->GetWidget());
        EXPECT_EQ(L.Bounds, Bounds(1, 20, 240, 149));
        EXPECT_EQ(L.ItemIndex, 2);
        EXPECT_EQ(L.Items.size(), 4u);
        EXPECT_EQ(S.GetFocus(W), F->ListBoxNames->GetWidget());  // the active control
        EXPECT_TRUE(F->ListBoxNames->Focused());
        // Changes made while shown reach the widgets.
        F->StaticTextSample->SetCaption("changed");
        EXPECT_EQ(S.GetControlProps(F->StaticTextSample->GetWidget()).Caption, "changed");
        F->BitBtnCancel->SetFocus();
        EXPECT_EQ(F->GetActiveControl(), F->BitBtnCancel);
        Checked = true;
    })});
    EXPECT_EQ(F->ShowModal(), mrCancel);
    EXPECT_TRUE(Checked);
    EXPECT_EQ(F->ListBoxNames->GetItemIndex(), 2);  // setting it selected without a click
    EXPECT_TRUE(F->Log.size() == 2);
}

TEST_F(Forms, ButtonClickRunsTheHandlerThenEndsTheDialog) {
    auto F = Picker();
    std::vector<std::string> Order;
    F->BitBtnOK->OnClick = TNotifyEvent(std::function<void(TObject*)>([&](TObject* Sender) {
        Order.push_back(Sender == F->BitBtnOK ? "handler" : "wrong sender");
        Order.push_back(F->GetModalResult() == mrNone ? "no result yet" : "result already");
    }));
    Set->Script({THeadlessAction::Press("BitBtnOK")});
    EXPECT_EQ(F->ShowModal(), mrOk);
    EXPECT_EQ(Order, (std::vector<std::string>{"handler", "no result yet"}));
    // Outside a showing a click only sets the result.
    F->BitBtnCancel->Click();
    EXPECT_EQ(F->GetModalResult(), mrCancel);
}

TEST_F(Forms, CloseQueryCanKeepTheFormOpen) {
    auto F = Picker();
    int Asked = 0;
    F->OnCloseQuery = TCloseQueryEvent(std::function<void(TObject*, bool&)>([&](TObject*, bool& CanClose) {
        CanClose = ++Asked > 1;
    }));
    Set->Script({THeadlessAction::CloseWindow(), THeadlessAction::Select("Delta"), THeadlessAction::CloseWindow()});
    EXPECT_EQ(F->ShowModal(), mrCancel);
    EXPECT_EQ(Asked, 2);
    EXPECT_EQ(F->StaticTextSample->GetCaption(), "Delta");  // the first close was refused
}

// ---------------------------------------------------------- owner drawing

TEST_F(Forms, RowsAreMeasuredOnceEachInTheirOwnFace) {
    TestSupport::TSandbox Box;
    FontGen::TFontDesign Short, Tall;
    Short.Ascender = 700;
    Short.Descender = -150;
    Tall.Ascender = 1100;
    Tall.Descender = -400;
    Box.InstallFont("Sandbox Short", Short);
    // One face installed, the other added by this process only.
    const std::string TallFile = Box.MakeFontFile("Sandbox Tall", Tall);
    ASSERT_EQ(AddFontResourceA(TallFile.c_str()), 1);
    TTestPicker::Names = {"Sandbox Tall", "Sandbox Short"};
    auto F = Picker();
    std::vector<int> RowHeights;
    Set->Script({THeadlessAction::Call([&](WidgetSets::THeadlessWidgetSet& S, TWidgetHandle) {
        for (int I = 0; I < 2; ++I) RowHeights.push_back(S.RowRect(F->ListBoxNames->GetWidget(), I).Height());
    })});
    F->ShowModal();

    auto Expected = [](const AnsiString& Face) {
        TCanvas C;
        C.GetFont()->SetName(Face);
        C.GetFont()->SetSize(0);
        return C.TextHeight(Face) + 2;
    };
    const int ShortHeight = Expected("Sandbox Short"), TallHeight = Expected("Sandbox Tall");
    EXPECT_NE(ShortHeight, TallHeight);
    EXPECT_EQ(F->Measured, (std::vector<std::pair<int, int>>{{0, ShortHeight}, {1, TallHeight}}));
    EXPECT_EQ(RowHeights, (std::vector<int>{ShortHeight, TallHeight}));
    EXPECT_TRUE(RemoveFontResourceA(TallFile.c_str()));
}

TEST_F(Forms, DrawingGetsTheCanvasPreparedForTheRowState) {
    auto F = Picker();
    F->ListBoxNames->SetItemIndex(1);
    const std::string File = TempPng("picker");
    F->SaveScreenshot(File);
    ASSERT_EQ(F->Drawn.size(), 4u);
    int Top = 0;
    for (const auto& D : F->Drawn) {
        SCOPED_TRACE(D.Index);
        EXPECT_EQ(D.Selected, D.Index == 1);
        EXPECT_EQ(D.Brush, D.Selected ? clHighlight : clWindow);
        EXPECT_EQ(D.FontColor, D.Selected ? clHighlightText : clWindowText);
        EXPECT_EQ(D.Rect.Top, Top);
        EXPECT_EQ(D.Rect.Height(), F->Measured[static_cast<std::size_t>(D.Index)].second);
        Top = D.Rect.Bottom;
    }
    // The picture has the client size and shows the selected row filled
    // with the highlight colour (right of its text).
    TBitmap Shot;
    Shot.LoadFromPngFile(File);
    std::filesystem::remove(File);
    EXPECT_EQ(Shot.GetWidth(), 242);
    EXPECT_EQ(Shot.GetHeight(), 221);
    const TRect Row = F->Drawn[1].Rect;
    const TColor Highlight = ColorToRGB(clHighlight);
    const std::uint32_t Expected = 0xFF000000u | (GetRValue(Highlight) << 16) | (GetGValue(Highlight) << 8) |
                                   static_cast<std::uint32_t>(GetBValue(Highlight));
    // The list's client area starts inside its 2-pixel border.
    EXPECT_EQ(Shot.GetPixel(1 + 2 + Row.Right - 3, 20 + 2 + Row.Top + Row.Height() / 2), Expected);
    EXPECT_FALSE(F->WindowAllocated());
}

TEST_F(Forms, AboutBoxScreenshotShowsTheIconAtItsSize) {
    TTestAbout F(Application);
    const std::string BitmapFile =
        (std::filesystem::path(__FILE__).parent_path() / "../../../resources/TTYPECASK48.bmp").string();
    HBITMAP Icon =
        static_cast<HBITMAP>(LoadImageA(nullptr, BitmapFile.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    ASSERT_NE(Icon, nullptr);
    F.ImageIcon->GetPicture()->GetBitmap()->SetHandle(Icon);
    F.ImageIcon->SetBounds(8, 4, 10, 10);
    const std::string File = TempPng("about");
    F.SaveScreenshot(File);
    EXPECT_EQ(F.ImageIcon->GetBoundsRect(), Bounds(8, 4, 48, 48));  // AutoSize took the picture's size
    TBitmap Shot;
    Shot.LoadFromPngFile(File);
    std::filesystem::remove(File);
    EXPECT_EQ(Shot.GetWidth(), 332);
    EXPECT_EQ(Shot.GetHeight(), 211);
}

TEST_F(Forms, FontChangeBroadcastsReachShownAndHiddenForms) {
    TestSupport::TSandbox Box;
    Box.InstallFont("Sandbox Sans");
    auto F = Picker();
    SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    EXPECT_EQ(F->FontChanges, 1);
    Set->Script({THeadlessAction::Call([](WidgetSets::THeadlessWidgetSet&, TWidgetHandle) {
        SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    })});
    F->ShowModal();
    EXPECT_EQ(F->FontChanges, 2);
    EXPECT_EQ(SendMessageA(F->GetHandle(), WM_FONTCHANGE, 0, 0), 0);
    EXPECT_EQ(F->FontChanges, 3);
    F.reset();
    SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);  // a destroyed form hears nothing
}
