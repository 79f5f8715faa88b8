// The font picker and the about box, driven headless in a font sandbox.
#include <gtest/gtest.h>

#include <optional>

#include "Typecask/design/FormAbout.h"
#include "Typecask/design/FormTypecaskEditor.h"
#include "Typecask/design/TypecaskEditors.h"
#include "Typecask/support/VersionInfo.h"
#include "platform/Designer.h"
#include "platform/widgetsets/headless/Headless.h"
#include "tests/dialogs/DialogTestSupport.h"
#include "tests/support/Sandbox.h"

namespace {

using WidgetSets::THeadlessAction;

// ------------------------------------------------------------ the picker

class Picker : public ::testing::Test {
protected:
    void SetUp() override {
        Set = &WidgetSets::UseHeadlessWidgetSet();
        for (const char* Family : {"Sandbox Delta", "Sandbox Alpha", "Sandbox Charlie"}) Box.InstallFont(Family);
    }

    std::unique_ptr<TFormTypecaskEditor> Dialog() { return std::make_unique<TFormTypecaskEditor>(Application); }

    static std::vector<AnsiString> Items(TFormTypecaskEditor* D) {
        std::vector<AnsiString> R;
        for (int I = 0; I < D->ListBoxTTFonts->GetItems()->Count(); ++I) R.push_back(D->ListBoxTTFonts->GetItems()->Get(I));
        return R;
    }

    TestSupport::TSandbox Box;
    WidgetSets::THeadlessWidgetSet* Set = nullptr;
};

TEST_F(Picker, BuiltFromItsLayoutWithTheSandboxFamiliesSorted) {
    auto D = Dialog();
    EXPECT_EQ(D->GetCaption(), "True Type Fonts");
    EXPECT_EQ(D->LabelPrompt->GetCaption(), "Select the font to be stored in the resource");
    EXPECT_EQ(Items(D.get()), (std::vector<AnsiString>{"Sandbox Alpha", "Sandbox Charlie", "Sandbox Delta"}));
    EXPECT_EQ(D->ListBoxTTFonts->GetItemIndex(), -1);
    EXPECT_EQ(D->FFontName->GetTTFontName(), "");
    EXPECT_EQ(D->GetClientWidth(), 242);
    EXPECT_EQ(D->GetClientHeight(), 221);
    const struct {
        TControl* Control;
        TRect Bounds;
    } Layout[] = {
        {D->LabelPrompt, Bounds(3, 2, D->LabelPrompt->GetWidth(), 13)},  // auto-sized to the prompt
        {D->ListBoxTTFonts, Bounds(1, 20, 240, 149)},
        {D->StaticTextSample, Bounds(1, 173, 240, 17)},
        {D->BitBtnOK, Bounds(50, 195, 70, 24)},
        {D->BitBtnCancel, Bounds(122, 195, 70, 24)},
    };
    for (const auto& L : Layout) {
        SCOPED_TRACE(L.Control->GetName());
        EXPECT_EQ(L.Control->GetBoundsRect(), L.Bounds);
    }
}

// The current value handed in before showing, then OK at once.
TEST_F(Picker, PreselectsOnlyAListedFamily) {
    const struct {
        const char* Current;
        int Selected;
        const char* Chosen;
    } Cases[] = {
        {"Sandbox Charlie", 1, "Sandbox Charlie"},
        {"Sandbox Missing", -1, ""},
        // The list's own matching decides (letter case ignored); the value
        // keeps its spelling.
        {"sandbox charlie", 1, "sandbox charlie"},
        {"", -1, ""},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Current);
        auto D = Dialog();
        TTypecaskName Current(nullptr);
        Current.SetTTFontName(C.Current);
        D->SetTypecaskName(&Current);
        EXPECT_EQ(D->ListBoxTTFonts->GetItemIndex(), C.Selected);
        EXPECT_EQ(D->StaticTextSample->GetCaption(), C.Chosen);
        Set->Script({THeadlessAction::Press("OK")});
        EXPECT_EQ(D->ShowModal(), mrOk);
        EXPECT_EQ(D->FFontName->GetTTFontName(), C.Chosen);
    }
}

TEST_F(Picker, AnUnlistedValueKeepsTheEarlierChoice) {
    auto D = Dialog();
    TTypecaskName Value(nullptr);
    Value.SetTTFontName("Sandbox Delta");
    D->SetTypecaskName(&Value);
    Value.SetTTFontName("Sandbox Missing");
    D->SetTypecaskName(&Value);
    EXPECT_EQ(D->ListBoxTTFonts->GetItemIndex(), -1);
    EXPECT_EQ(D->StaticTextSample->GetCaption(), "Sandbox Delta");
    EXPECT_EQ(D->FFontName->GetTTFontName(), "Sandbox Delta");
}

TEST_F(Picker, HowTheDialogEnds) {
    const struct {
        const char* Name;
        std::vector<THeadlessAction> Script;
        TModalResult Result;
        const char* Chosen;
    } Cases[] = {
        {"click a row, OK", {THeadlessAction::Select("Sandbox Delta"), THeadlessAction::Press("OK")}, mrOk,
         "Sandbox Delta"},
        {"double-click", {THeadlessAction::DoubleClick("Sandbox Alpha")}, mrOk, "Sandbox Alpha"},
        {"click, then another, Enter",
         {THeadlessAction::Select(0), THeadlessAction::Select(2), THeadlessAction::Press(TKey::Enter)}, mrOk,
         "Sandbox Delta"},
        {"click a row, Cancel", {THeadlessAction::Select("Sandbox Delta"), THeadlessAction::Press("Cancel")},
         mrCancel, "Sandbox Delta"},
        {"Escape", {THeadlessAction::Press(TKey::Escape)}, mrCancel, ""},
        {"window closed", {THeadlessAction::CloseWindow()}, mrCancel, ""},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto D = Dialog();
        Set->Script(C.Script);
        EXPECT_EQ(D->ShowModal(), C.Result);
        EXPECT_EQ(Set->PendingActions(), 0u);
        EXPECT_EQ(D->FFontName->GetTTFontName(), C.Chosen);
        EXPECT_EQ(D->StaticTextSample->GetCaption(), C.Chosen);
    }
    EXPECT_TRUE(Set->GetScriptErrors().empty());
}

TEST(PickerRows, EachRowIsItsOwnFaceTextHeightPlusTwo) {
    WidgetSets::THeadlessWidgetSet& Set = WidgetSets::UseHeadlessWidgetSet();
    TestSupport::TSandbox Box;
    FontGen::TFontSpec Short, Tall;
    Short.Ascender = 700;
    Short.Descender = -150;
    Tall.Ascender = 1100;
    Tall.Descender = -400;
    Tall.LineGap = 90;
    Box.InstallFont("Sandbox Tall", Tall);
    Box.InstallFont("Sandbox Short", Short);
    auto Expected = [](const AnsiString& Face) {
        TCanvas C;
        C.GetFont()->SetName(Face);
        C.GetFont()->SetSize(0);
        return C.TextHeight(Face) + 2;
    };
    const int ShortHeight = Expected("Sandbox Short"), TallHeight = Expected("Sandbox Tall");
    ASSERT_NE(ShortHeight, TallHeight);

    auto D = std::make_unique<TFormTypecaskEditor>(Application);
    std::vector<int> Rows;
    const std::string Png = Box / "picker.png";
    Set.Script({THeadlessAction::Call([&](WidgetSets::THeadlessWidgetSet& S, TWidgetHandle) {
                    for (int I = 0; I < 2; ++I) Rows.push_back(S.RowRect(D->ListBoxTTFonts->GetWidget(), I).Height());
                }),
                THeadlessAction::Select("Sandbox Tall"), THeadlessAction::SaveScreenshot(Png),
                THeadlessAction::Press("Cancel")});
    EXPECT_EQ(D->ShowModal(), mrCancel);
    EXPECT_EQ(Rows, (std::vector<int>{ShortHeight, TallHeight}));

    // The screenshot shows the dialog's client area with the chosen row
    // highlighted (right of its text).
    TBitmap Shot;
    Shot.LoadFromPngFile(Png);
    EXPECT_EQ(Shot.GetWidth(), 242);
    EXPECT_EQ(Shot.GetHeight(), 221);
    const TColor H = ColorToRGB(clHighlight);
    const int TallMiddle = 20 + ShortHeight + TallHeight / 2 + 1;
    EXPECT_EQ(Shot.GetPixel(220, TallMiddle) & 0xFFFFFF,
              std::uint32_t(GetRValue(H)) << 16 | std::uint32_t(GetGValue(H)) << 8 | std::uint32_t(GetBValue(H)));
}

// ----------------------------------------------------------- the about box

// A component of another class with an About property whose version values
// the test chooses; the about editor is registered for it too.
class TVersionHolder : public TComponent {
    TYPECASK_CLASS(TVersionHolder, TComponent)

public:
    explicit TVersionHolder(TComponent* Owner) : TComponent(Owner) {}
    TVersionInfo* GetAbout() const { return FInfo; }
    void SetAbout(TVersionInfo*) {}
    TVersionInfo* FInfo = nullptr;
};
TYPECASK_IMPLEMENT_CLASS(TVersionHolder)
void TVersionHolder::Publish(TPublisher<TVersionHolder>& P) {
    P.Property("About", &TVersionHolder::GetAbout, &TVersionHolder::SetAbout);
}

TEST(AboutBox, TextsComeFromTheVersionValues) {
    WidgetSets::THeadlessWidgetSet& Set = WidgetSets::UseHeadlessWidgetSet();
    ResetDesignRegistrations();
    RegisterPropertyEditor(TypeInfoOf<TVersionInfo*>(), TVersionHolder::StaticClass(), "About",
                           PropertyEditorClass<TTypecaskAboutPropertyEditor>());
    TFormDesigner Designer(std::unique_ptr<TComponent>(new TForm(nullptr, 0)));
    auto* Holder = new TVersionHolder(Designer.GetRoot());

    const struct {
        const char* Name;
        std::optional<std::string> File;  // none: the package's own; "": no TVersionInfo at all
        const char* Caption;
        const char* ProductName;
        const char* ProductInfo;
    } Cases[] = {
        {"package", std::nullopt, "TypecaskLib", "TypecaskLib\nVersion 1.0.0 (Build 1.0.0.0)",
         "Copyright (C) 2026 The TypecaskLib developers\n\nThe TypecaskLib developers\n\n"
         "Carries a TrueType font inside form data and installs it at run time"},
        {"partial", DIALOG_PARTIAL_RES, "", "P\nVersion 3.0 (Build 3.0.0.7)", "(C) P\n\n\n\nDoes P"},
        {"none", DIALOG_NONE_RES, "", "\nVersion  (Build )", "\n\n\n\n"},
        // A component created outside the designer has no version values.
        {"null", "", "", "\nVersion  (Build )", "\n\n\n\n"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        std::unique_ptr<TVersionInfo> Info(!C.File         ? new TVersionInfo()
                                           : C.File->empty() ? nullptr
                                                             : new TVersionInfo(*C.File));
        Holder->FInfo = Info.get();
        auto Editor = Designer.GetPropertyEditor(Holder, "About");
        ASSERT_TRUE(dynamic_cast<TTypecaskAboutPropertyEditor*>(Editor.get()));
        AnsiString Caption, ProductName, ProductInfo;
        int IconWidth = 0, IconHeight = 0;
        Set.Script({THeadlessAction::Call([&](WidgetSets::THeadlessWidgetSet& S, TWidgetHandle W) {
                        auto* Box = DialogTests::OpenDialog<TFormAbout>();
                        ASSERT_TRUE(Box);
                        Caption = S.GetWindowProps(W).Caption;
                        ProductName = Box->LabelProductName->GetCaption();
                        ProductInfo = Box->LabelProductInfo->GetCaption();
                        IconWidth = Box->ImageIcon->GetPicture()->GetWidth();
                        IconHeight = Box->ImageIcon->GetPicture()->GetHeight();
                    }),
                    THeadlessAction::Press("OK")});
        Editor->Edit();
        EXPECT_EQ(Caption, C.Caption);
        EXPECT_EQ(ProductName, C.ProductName);
        EXPECT_EQ(ProductInfo, C.ProductInfo);
        EXPECT_EQ(IconWidth, 48);
        EXPECT_EQ(IconHeight, 48);
        EXPECT_EQ(DialogTests::OpenDialog<TFormAbout>(), nullptr);  // deleted again
        EXPECT_TRUE(Set.GetScriptErrors().empty());
    }
    ResetDesignRegistrations();
}

TEST(AboutBox, Layout) {
    WidgetSets::UseHeadlessWidgetSet();
    TFormAbout Box(Application);
    EXPECT_EQ(Box.GetClientWidth(), 332);
    EXPECT_EQ(Box.GetClientHeight(), 211);
    const struct {
        TControl* Control;
        TRect Bounds;
    } Layout[] = {
        {Box.LabelProductName, Bounds(64, 4, 260, 48)},
        {Box.LabelProductInfo, Bounds(64, 56, 260, 115)},
        {Box.BevelBottomLine, Bounds(64, 176, 260, 5)},
        {Box.BitBtnOk, Bounds(249, 184, 75, 25)},
    };
    for (const auto& L : Layout) {
        SCOPED_TRACE(L.Control->GetName());
        EXPECT_EQ(L.Control->GetBoundsRect(), L.Bounds);
    }
    EXPECT_TRUE(Box.LabelProductName->GetFont()->GetStyle().Contains(fsBold));
    EXPECT_EQ(Box.LabelProductName->GetFont()->GetHeight(), -13);
}

}  // namespace
