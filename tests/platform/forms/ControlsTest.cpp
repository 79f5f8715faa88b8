// The controls on their own: list box items and selection, button kinds,
// parents and fonts, and the form data that controls made in code write.
#include <gtest/gtest.h>

#include "platform/widgetsets/headless/Headless.h"
#include "tests/platform/forms/TestForms.h"

using namespace FormTests;

namespace {

std::vector<AnsiString> Items(const TListBox& List) {
    std::vector<AnsiString> R;
    for (int I = 0; I < List.GetItems()->Count(); ++I) R.push_back(List.GetItems()->Get(I));
    return R;
}

}  // namespace

TEST(ListBox, SortedListsKeepTheirOrder) {
    struct TCase {
        bool Sorted;
        std::vector<AnsiString> Added;
        std::vector<AnsiString> Expected;
    };
    for (const TCase& C : std::vector<TCase>{
             {true, {"b", "C", "a"}, {"a", "b", "C"}},
             {true, {"Same", "same", "Other"}, {"Other", "Same", "same"}},  // equals stay in arrival order
             {true, {"x", "x"}, {"x", "x"}},                                // listed twice
             {false, {"b", "C", "a"}, {"b", "C", "a"}},
         }) {
        TListBox L(nullptr);
        L.SetSorted(C.Sorted);
        for (const auto& S : C.Added) L.GetItems()->Add(S);
        EXPECT_EQ(Items(L), C.Expected);
    }
    // Sorting a filled list sorts it and keeps the selected text selected.
    TListBox L(nullptr);
    for (const char* S : {"delta", "Alpha", "charlie"}) L.GetItems()->Add(S);
    L.SetItemIndex(0);
    L.SetSorted(true);
    EXPECT_EQ(Items(L), (std::vector<AnsiString>{"Alpha", "charlie", "delta"}));
    EXPECT_EQ(L.GetItemIndex(), 2);
    EXPECT_EQ(L.GetItems()->IndexOf("CHARLIE"), 1);
}

TEST(ListBox, ItemIndexSelectsWithoutAClick) {
    TListBox L(nullptr);
    int Clicks = 0;
    L.OnClick = TNotifyEvent(std::function<void(TObject*)>([&](TObject*) { ++Clicks; }));
    for (const char* S : {"a", "b", "c"}) L.GetItems()->Add(S);
    struct TCase {
        int Set;
        int Expected;
    };
    for (const TCase& C : std::vector<TCase>{{1, 1}, {2, 2}, {-1, -1}, {3, -1}, {-5, -1}, {0, 0}}) {
        L.SetItemIndex(C.Set);
        EXPECT_EQ(L.GetItemIndex(), C.Expected) << C.Set;
    }
    EXPECT_EQ(Clicks, 0);
    // The selection follows its row through inserts and deletes.
    L.SetItemIndex(1);
    L.GetItems()->Insert(0, "first");
    EXPECT_EQ(L.GetItemIndex(), 2);
    L.GetItems()->Delete(0);
    EXPECT_EQ(L.GetItemIndex(), 1);
    L.GetItems()->Delete(1);
    EXPECT_EQ(L.GetItemIndex(), -1);
    L.SetItemIndex(0);
    L.GetItems()->Clear();
    EXPECT_EQ(L.GetItemIndex(), -1);
    L.Click();
    EXPECT_EQ(Clicks, 1);
}

TEST(ListBox, MeasuringAsksTheHandlerOnlyForVariableRows) {
    TListBox L(nullptr);
    L.GetItems()->Add("row");
    L.SetItemHeight(21);
    int Asked = 0;
    L.OnMeasureItem = TMeasureItemEvent(std::function<void(TWinControl*, int, int&)>([&](TWinControl* C, int, int& H) {
        ++Asked;
        EXPECT_EQ(H, 21);  // comes as ItemHeight
        EXPECT_EQ(C, &L);
        H = 30;
    }));
    for (auto [Style, Expected] : std::vector<std::pair<TListBoxStyle, int>>{
             {lbStandard, 21}, {lbOwnerDrawFixed, 21}, {lbOwnerDrawVariable, 30}}) {
        L.SetStyle(Style);
        EXPECT_EQ(L.MeasureItem(0), Expected);
    }
    EXPECT_EQ(Asked, 1);
    EXPECT_THROW(L.SetItemHeight(0), EInvalidOperation);
}

TEST(BitBtn, KindsGiveCaptionResultRoleAndGlyph) {
    struct TCase {
        TBitBtnKind Kind;
        const char* Caption;
        TModalResult Result;
        bool Default, Cancel, Glyph;
    };
    for (const TCase& C : std::vector<TCase>{
             {bkOK, "OK", mrOk, true, false, true},
             {bkCancel, "Cancel", mrCancel, false, true, true},
             {bkYes, "&Yes", mrYes, true, false, true},
             {bkNo, "&No", mrNo, false, true, true},
             {bkAbort, "Abort", mrAbort, false, false, true},
             {bkRetry, "&Retry", mrRetry, false, false, false},
             {bkIgnore, "&Ignore", mrIgnore, false, false, false},
             {bkAll, "&All", mrAll, false, false, true},
             {bkHelp, "&Help", mrNone, false, false, false},
             {bkClose, "&Close", mrNone, false, false, false},
         }) {
        TBitBtn B(nullptr);
        B.SetKind(C.Kind);
        EXPECT_EQ(B.GetCaption(), C.Caption) << C.Caption;
        EXPECT_EQ(B.GetModalResult(), C.Result) << C.Caption;
        EXPECT_EQ(B.GetDefault(), C.Default) << C.Caption;
        EXPECT_EQ(B.GetCancel(), C.Cancel) << C.Caption;
        EXPECT_EQ(!B.GetGlyph()->Empty(), C.Glyph) << C.Caption;
    }
}

TEST(BitBtn, CloseKindClosesItsForm) {
    WidgetSets::THeadlessWidgetSet& Set = WidgetSets::UseHeadlessWidgetSet();
    TForm Form(nullptr, 0);
    auto* Close = new TBitBtn(&Form);
    Close->SetName("BitBtnClose");
    Close->SetParent(&Form);
    Close->SetKind(bkClose);
    Set.Script({WidgetSets::THeadlessAction::Press("Close"), WidgetSets::THeadlessAction::Press(TKey::Enter)});
    EXPECT_EQ(Form.ShowModal(), mrCancel);
    EXPECT_EQ(Set.PendingActions(), 1u);  // the dialog ended with the click
    Set.ClearScript();
}

TEST(Controls, ParentsHoldTheirChildren) {
    TForm Form(nullptr, 0);
    auto* Panel = new TStaticText(&Form);
    Panel->SetParent(&Form);
    auto* Inner = new TLabel(&Form);
    Inner->SetParent(Panel);
    EXPECT_EQ(Inner->GetParentForm(), &Form);
    EXPECT_TRUE(Form.ContainsControl(Inner));
    EXPECT_THROW(Panel->SetParent(Panel), EInvalidOperation);
    Panel->SetBounds(10, 20, 100, 50);
    Inner->SetBounds(3, 4, 10, 10);
    EXPECT_EQ(Inner->GetFormOrigin(), (TPoint{13, 24}));
    // The form's colour reaches children that take their parent's.
    Form.SetColor(clYellow);
    EXPECT_EQ(Panel->GetColor(), clYellow);
    EXPECT_EQ(Inner->GetColor(), clYellow);
    Panel->SetColor(clRed);
    Form.SetColor(clWhite);
    EXPECT_EQ(Panel->GetColor(), clRed);
    delete Panel;  // its child stays with its owner, without a parent
    EXPECT_EQ(Inner->GetParent(), nullptr);
    EXPECT_EQ(Form.ControlCount(), 0);
    // A control that has the focus leaves the form with it.
    auto* List = new TListBox(&Form);
    List->SetParent(&Form);
    Form.SetActiveControl(List);
    delete List;
    EXPECT_EQ(Form.GetActiveControl(), nullptr);
    TForm Other(nullptr, 0);
    auto* Foreign = new TListBox(&Other);
    Foreign->SetParent(&Other);
    EXPECT_THROW(Form.SetActiveControl(Foreign), EInvalidOperation);
}

TEST(Controls, LabelsSizeThemselvesToTheirText) {
    TForm Form(nullptr, 0);
    auto* L = new TLabel(&Form);
    L->SetParent(&Form);
    L->SetCaption("Short");
    const int Short = L->GetWidth();
    L->SetCaption("A rather longer caption");
    EXPECT_GT(L->GetWidth(), Short);
    const int OneLine = L->GetHeight();
    L->SetCaption("two\nlines");
    EXPECT_EQ(L->GetHeight(), 2 * OneLine);
    L->SetAutoSize(false);
    L->SetBounds(0, 0, 40, 10);
    L->SetCaption("no longer sized by its text at all");
    EXPECT_EQ(L->GetBoundsRect(), Bounds(0, 0, 40, 10));
}

TEST(Controls, ControlsMadeInCodeWriteAndReadBack) {
    TForm Form(nullptr, 0);
    Form.SetName("LayoutForm");
    Form.SetBorderStyle(bsSingle);
    Form.SetCaption("Layout");
    Form.SetClientWidth(200);
    Form.SetClientHeight(120);
    auto* List = new TListBox(&Form);
    List->SetName("ListBoxItems");
    List->SetParent(&Form);
    List->SetBounds(4, 4, 100, 80);
    List->SetStyle(lbOwnerDrawFixed);
    List->SetItemHeight(20);
    List->SetSorted(true);
    for (const char* S : {"gamma", "alpha", "Beta"}) List->GetItems()->Add(S);
    auto* Note = new TStaticText(&Form);
    Note->SetName("StaticTextNote");
    Note->SetParent(&Form);
    Note->SetAutoSize(false);
    Note->SetBounds(108, 4, 88, 17);
    Note->SetBorderStyle(sbsSingle);
    Note->SetCaption("Note");
    auto* Help = new TBitBtn(&Form);
    Help->SetName("BitBtnHelp");
    Help->SetParent(&Form);
    Help->SetBounds(4, 90, 60, 25);
    Help->SetKind(bkHelp);
    Help->SetCaption("Assist");
    auto* Apply = new TBitBtn(&Form);
    Apply->SetName("BitBtnApply");
    Apply->SetParent(&Form);
    Apply->SetBounds(108, 90, 88, 25);
    Apply->SetCaption("&Apply");
    Apply->SetModalResult(mrYes);
    Apply->SetDefault(true);
    Form.SetActiveControl(Apply);

    const std::string Text = ComponentToText(&Form);
    EXPECT_EQ(Text, R"(object LayoutForm: TForm
  Left = 0
  Top = 0
  ActiveControl = BitBtnApply
  BorderStyle = bsSingle
  Caption = 'Layout'
  ClientHeight = 120
  ClientWidth = 200
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Default'
  Font.Style = []
  PixelsPerInch = 96
  TextHeight = )" + std::to_string(Form.GetTextHeight()) +
                        R"(
  object ListBoxItems: TListBox
    Left = 4
    Top = 4
    Width = 100
    Height = 80
    ItemHeight = 20
    Items.Strings = (
      'alpha'
      'Beta'
      'gamma'
    )
    Sorted = True
    Style = lbOwnerDrawFixed
    TabOrder = 0
  end
  object StaticTextNote: TStaticText
    Left = 108
    Top = 4
    Width = 88
    Height = 17
    AutoSize = False
    BorderStyle = sbsSingle
    Caption = 'Note'
    TabOrder = 1
  end
  object BitBtnHelp: TBitBtn
    Left = 4
    Top = 90
    Width = 60
    Height = 25
    Caption = 'Assist'
    TabOrder = 2
    Kind = bkHelp
  end
  object BitBtnApply: TBitBtn
    Left = 108
    Top = 90
    Width = 88
    Height = 25
    Caption = '&Apply'
    Default = True
    ModalResult = 6
    TabOrder = 3
  end
end
)");

    // Read into a new form, the copy writes the same data.
    TForm Copy(nullptr, 0);
    TMemoryStream Binary;
    WriteComponentToStream(&Binary, &Form);
    Binary.SetPosition(0);
    ReadComponentFromStream(&Binary, &Copy);
    EXPECT_EQ(ComponentToText(&Copy), Text);
    auto* CopyHelp = static_cast<TBitBtn*>(Copy.FindComponent("BitBtnHelp"));
    ASSERT_NE(CopyHelp, nullptr);
    EXPECT_EQ(CopyHelp->GetCaption(), "Assist");  // a caption read before the kind stays
    EXPECT_EQ(CopyHelp->GetKind(), bkHelp);
    EXPECT_EQ(Copy.GetActiveControl(), Copy.FindComponent("BitBtnApply"));
}
