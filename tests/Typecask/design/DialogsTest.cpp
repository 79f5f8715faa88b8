// The font picker and the about box, driven headless in a font sandbox.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "Typecask/design/FormAbout.h"
#include "Typecask/design/FormTypecaskEditor.h"
#include "Typecask/design/TypecaskEditors.h"
#include "Typecask/support/VersionInfo.h"
#include "TypecaskLib/Package.h"
#include "platform/TextConv.h"
#include "platform/Buttons.h"
#include "platform/Captions.h"
#include "platform/Designer.h"
#include "platform/os/WinResources.h"
#include "platform/widgetsets/WidgetSetBase.h"
#include "platform/widgetsets/headless/Headless.h"
#include "tests/Typecask/design/DialogTestSupport.h"
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
        {"letters typed, Enter", {THeadlessAction::Type("sandbox c"), THeadlessAction::Press(TKey::Enter)}, mrOk,
         "Sandbox Charlie"},
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

// Families whose licence forbids embedding them, or allows it only while
// the application runs, are marked in their rows and named in the sample
// line; OK on a forbidden one keeps the dialog open with nothing chosen.
TEST_F(Picker, TheLicenceOfEachFamilyIsShownAndAForbiddenOneIsNotChosen) {
    FontGen::TFontDesign Closed, Edit;
    Closed.FsType = 0x0002;
    Edit.FsType = 0x0008;
    Box.InstallFont("Sandbox Closed", Closed);
    Box.InstallFont("Sandbox Edit", Edit);
    auto D = Dialog();
    std::vector<AnsiString> Samples;
    std::vector<TRect> Rows;
    auto Sample = THeadlessAction::Call([&](WidgetSets::THeadlessWidgetSet&, TWidgetHandle) {
        Samples.push_back(D->StaticTextSample->GetCaption());
    });
    const std::string Png = Box / "licences.png";
    Set->Script({THeadlessAction::Select("Sandbox Closed"), Sample, THeadlessAction::Press("OK"), Sample,
                 THeadlessAction::Call([&](WidgetSets::THeadlessWidgetSet& S, TWidgetHandle) {
                     for (const char* F : {"Sandbox Alpha", "Sandbox Closed", "Sandbox Edit"})
                         Rows.push_back(S.RowRect(D->ListBoxTTFonts->GetWidget(), D->ListBoxTTFonts->GetItems()->IndexOf(F)));
                 }),
                 THeadlessAction::Select("Sandbox Edit"), Sample, THeadlessAction::SaveScreenshot(Png),
                 THeadlessAction::Press("OK")});
    EXPECT_EQ(D->ShowModal(), mrOk) << "the dialog ends only at the second OK";
    EXPECT_EQ(D->FFontName->GetTTFontName(), "Sandbox Edit");
    const AnsiString Refusal = "Font (Sandbox Closed) may not be embedded: its licence is Restricted License";
    EXPECT_EQ(Samples, (std::vector<AnsiString>{
                           Refusal, Refusal,
                           "Font (Sandbox Edit) will be installed only while the application runs: its licence is "
                           "Editable"}));
    EXPECT_TRUE(Set->GetScriptErrors().empty());

    // Ink right of each name only where a mark is drawn. The list's client
    // area starts at 3, 22 in the dialog. Rows of the sandbox's families
    // alone are drawn on Linux only: fontconfig's private configuration
    // gives them (a Windows system draws its own fonts among them).
#ifndef _WIN32
    ASSERT_EQ(Rows.size(), 3u);
    TBitmap Shot;
    Shot.LoadFromPngFile(Png);
    auto InkRightOfName = [&](const char* Family, const TRect& Row) {
        TCanvas Canvas;
        Canvas.GetFont()->SetName(Family);
        Canvas.GetFont()->SetSize(0);
        int Count = 0;
        for (int Y = 22 + Row.Top; Y < 22 + Row.Bottom && Y < Shot.GetHeight(); ++Y)
            for (int X = 3 + 2 + Canvas.TextWidth(Family); X < 230; ++X)
                Count += (Shot.GetPixel(X, Y) & 0xFFFFFF) != 0xFFFFFF;
        return Count;
    };
    if (Rows[0].Top < 0 || Rows[1].Top < 0) GTEST_SKIP() << "the rows are scrolled out of sight";
    EXPECT_EQ(InkRightOfName("Sandbox Alpha", Rows[0]), 0);
    EXPECT_GT(InkRightOfName("Sandbox Closed", Rows[1]), 0);
#endif
}

TEST(PickerRows, EachRowIsItsOwnFaceTextHeightPlusTwo) {
    WidgetSets::THeadlessWidgetSet& Set = WidgetSets::UseHeadlessWidgetSet();
    TestSupport::TSandbox Box;
    FontGen::TFontDesign Short, Tall;
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

// A family that cannot draw its own name shows the name in the dialog's face
// and a sample of the characters it has, by its character map: letters of
// its script, or its symbols. The others show their name in their own face.
TEST(PickerRows, FamiliesThatCannotDrawTheirNameShowASample) {
    WidgetSets::THeadlessWidgetSet& Set = WidgetSets::UseHeadlessWidgetSet();
    TestSupport::TSandbox Box;
    FontGen::TFontDesign Cyrillic, Symbols;
    Cyrillic.LatinLetters = Symbols.LatinLetters = false;
    Cyrillic.ExtraLetters = 0x410;  // the capitals from A to SHCHA
    Symbols.ExtraLetters = 0xE000;  // private use: the font's own symbols
    Symbols.Ascender = 1400;        // taller than the dialog's face
    Box.InstallFont("Sandbox Cyrillic", Cyrillic);
    Box.InstallFont("Sandbox Latin");
    Box.InstallFont("Sandbox Symbols", Symbols);
    const struct {
        const char* Family;
        bool DrawsItsName;
        std::u32string Sample;
    } Cases[] = {
        {"Sandbox Cyrillic", false, U"\u0410\u0411\u0412\u0413\u0414\u0415"},
        {"Sandbox Latin", true, U""},
        {"Sandbox Symbols", false, U"\uE000\uE001\uE002\uE003\uE004\uE005"},
        {"Sandbox Missing", false, U""},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Family);
        EXPECT_EQ(FontCoversText(C.Family, C.Family), C.DrawsItsName);
        if (C.DrawsItsName) continue;  // shown by its name alone
        EXPECT_EQ(Utf8ToCodePoints(FontSampleText(C.Family, 6)), C.Sample);
        EXPECT_EQ(FontSampleText(C.Family, 2), CodePointsToUtf8(C.Sample.substr(0, 2)));
    }
    EXPECT_TRUE(FontCoversText("Sandbox Cyrillic", "\xD0\x90 42 \xD0\x91"));

    auto D = std::make_unique<TFormTypecaskEditor>(Application);
    const AnsiString DialogFace = D->ListBoxTTFonts->GetFont()->GetName();
    auto TextOf = [](const AnsiString& Face, const AnsiString& Text, bool Width) {
        TCanvas Canvas;
        Canvas.GetFont()->SetName(Face);
        Canvas.GetFont()->SetSize(0);
        return Width ? Canvas.TextWidth(Text) : Canvas.TextHeight(Text);
    };
    std::vector<int> Rows;
    const std::string Png = Box / "picker.png";
    Set.Script({THeadlessAction::Call([&](WidgetSets::THeadlessWidgetSet& S, TWidgetHandle) {
                    for (int I = 0; I < 3; ++I) Rows.push_back(S.RowRect(D->ListBoxTTFonts->GetWidget(), I).Height());
                }),
                THeadlessAction::SaveScreenshot(Png), THeadlessAction::Press("Cancel")});
    D->ShowModal();
    const AnsiString SymbolSample = FontSampleText("Sandbox Symbols", 6);
    EXPECT_EQ(Rows, (std::vector<int>{
                        std::max(TextOf(DialogFace, "Sandbox Cyrillic", false),
                                 TextOf("Sandbox Cyrillic", FontSampleText("Sandbox Cyrillic", 6), false)) + 2,
                        TextOf("Sandbox Latin", "Sandbox Latin", false) + 2,
                        TextOf("Sandbox Symbols", SymbolSample, false) + 2,
                    }));
    EXPECT_GT(Rows[2], TextOf(DialogFace, "Sandbox Symbols", false) + 2);

    // Ink after the name only where a sample is drawn: in the symbols row
    // between the sample's ends, nowhere right of the Latin name.
    TBitmap Shot;
    Shot.LoadFromPngFile(Png);
    auto Ink = [&](int Left, int Right, int Top, int Bottom) {
        int Count = 0;
        for (int Y = Top; Y < Bottom; ++Y)
            for (int X = Left; X < std::min(Right, 230); ++X) Count += (Shot.GetPixel(X, Y) & 0xFFFFFF) != 0xFFFFFF;
        return Count;
    };
    const int ListX = 3, ListY = 22;
    const int LatinRight = ListX + 1 + TextOf("Sandbox Latin", "Sandbox Latin", true);
    EXPECT_EQ(Ink(LatinRight + 1, 230, ListY + Rows[0], ListY + Rows[0] + Rows[1]), 0);
    const int SampleLeft = ListX + 1 + TextOf(DialogFace, "Sandbox Symbols", true) + 6;
    const int SymbolsTop = ListY + Rows[0] + Rows[1];
    EXPECT_GT(Ink(SampleLeft, SampleLeft + TextOf("Sandbox Symbols", SymbolSample, true), SymbolsTop,
                  SymbolsTop + Rows[2]),
              0);
}

// Sorting, lookup and typed letters follow the locale's collation: accented
// letters beside their base letters, the case of every letter ignored.
TEST(PickerRows, SortedAndFoundByTheLocalesCollation) {
    WidgetSets::THeadlessWidgetSet& Set = WidgetSets::UseHeadlessWidgetSet();
    TestSupport::TSandbox Box;
    for (const char* Family : {"Zulu Sans", "\xC3\x89migr\xC3\xA9 Sans", "echo Sans", "Eagle Sans"})
        Box.InstallFont(Family);
    auto D = std::make_unique<TFormTypecaskEditor>(Application);
    std::vector<AnsiString> Items;
    for (int I = 0; I < D->ListBoxTTFonts->GetItems()->Count(); ++I) Items.push_back(D->ListBoxTTFonts->GetItems()->Get(I));
    EXPECT_EQ(Items, (std::vector<AnsiString>{"Eagle Sans", "echo Sans", "\xC3\x89migr\xC3\xA9 Sans", "Zulu Sans"}));

    Set.Script({THeadlessAction::Type("\xC3\xA9m"), THeadlessAction::Press(TKey::Enter)});
    EXPECT_EQ(D->ShowModal(), mrOk);
    EXPECT_EQ(D->FFontName->GetTTFontName(), "\xC3\x89migr\xC3\xA9 Sans");

    D = std::make_unique<TFormTypecaskEditor>(Application);
    TTypecaskName Value(nullptr);
    Value.SetTTFontName("\xC3\xA9MIGR\xC3\x89 sans");
    D->SetTypecaskName(&Value);
    EXPECT_EQ(D->ListBoxTTFonts->GetItemIndex(), 2);
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

// The icon is transparent: its bottom-left colour shows the dialog behind it.
TEST(AboutBox, IconLeavesItsTransparentColourToTheDialog) {
    WidgetSets::THeadlessWidgetSet& Set = WidgetSets::UseHeadlessWidgetSet();
    TestSupport::TSandbox Sandbox;
    TFormAbout Box(Application);
    HBITMAP Icon = static_cast<HBITMAP>(LoadImageA(GetPackageInstance(), "TTYPECASK48", IMAGE_BITMAP, 0, 0, LR_DEFAULTSIZE));
    ASSERT_NE(Icon, nullptr);
    TBitmap* Bitmap = Box.ImageIcon->GetPicture()->GetBitmap();
    Bitmap->SetHandle(Icon);
    const std::uint32_t Key = Bitmap->GetPixel(0, 47);
    const std::string Png = Sandbox / "about.png";
    Set.Script({THeadlessAction::SaveScreenshot(Png), THeadlessAction::Press("OK")});
    Box.ShowModal();
    TBitmap Shot;
    Shot.LoadFromPngFile(Png);
    const TColor Face = ColorToRGB(clBtnFace);
    const std::uint32_t Back =
        0xFF000000u | std::uint32_t(GetRValue(Face)) << 16 | std::uint32_t(GetGValue(Face)) << 8 | GetBValue(Face);
    int Keyed = 0, Drawn = 0;
    for (int Y = 0; Y < 48; ++Y)
        for (int X = 0; X < 48; ++X) {
            const bool IsKey = Bitmap->GetPixel(X, Y) == Key;
            (IsKey ? Keyed : Drawn)++;
            ASSERT_EQ(Shot.GetPixel(8 + X, 4 + Y), IsKey ? Back : Bitmap->GetPixel(X, Y)) << X << "," << Y;
        }
    EXPECT_GT(Keyed, 0);
    EXPECT_GT(Drawn, 0);
}

// ------------------------------------------------------ captions fit

// Every caption of a form fits its control in the control's font: a button's
// glyph and caption inside its focus frame, a label's lines (wrapped at its
// width when it wraps) inside its bounds, or, for an auto-sized one, inside
// the form.
void ExpectCaptionsFit(TForm& Form) {
    for (int I = 0; I < Form.ComponentCount(); ++I) {
        auto* C = dynamic_cast<TControl*>(Form.Components(I));
        if (!C || C->GetCaption().empty()) continue;
        SCOPED_TRACE(C->GetName());
        TCanvas Canvas;
        Canvas.GetFont()->SetData(C->GetFont()->GetData());
        const AnsiString Text = CaptionText(C->GetCaption());
        if (auto* B = dynamic_cast<TBitBtn*>(C)) {
            const int Glyph = B->GetGlyph()->Empty() ? 0 : B->GetGlyph()->GetWidth() + 4;
            EXPECT_LE(Glyph + Canvas.TextWidth(Text), B->GetWidth() - 2 * 4);
            EXPECT_LE(Canvas.TextHeight(Text), B->GetHeight() - 2 * 4);
        } else if (auto* L = dynamic_cast<TLabel*>(C)) {
            const bool Wraps = L->GetWordWrap();
            const auto Lines = WrapCaption(C->GetFont()->GetData(), Text, L->GetWidth(), Wraps);
            int Widest = 0;
            for (const auto& Line : Lines) Widest = std::max(Widest, Canvas.TextWidth(Line));
            EXPECT_LE(Widest, L->GetAutoSize() && !Wraps ? Form.GetClientWidth() - L->GetLeft() : L->GetWidth());
            EXPECT_LE(static_cast<int>(Lines.size()) * Canvas.TextHeight("Wg"),
                      L->GetAutoSize() && !Wraps ? Form.GetClientHeight() - L->GetTop() : L->GetHeight());
        } else {
            ADD_FAILURE() << "a caption of a control the test does not measure";
        }
    }
}

TEST(DialogLayouts, EveryCaptionFitsItsControlInTheDefaultFace) {
    WidgetSets::THeadlessWidgetSet& Set = WidgetSets::UseHeadlessWidgetSet();
    TestSupport::TSandbox Box;
    bool Installed = false;
    for (const char* Folder : {"/usr/share/fonts/truetype/liberation2", "/usr/share/fonts/truetype/liberation"})
        Installed = Installed || (Box.InstallFontFile(std::string(Folder) + "/LiberationSans-Regular.ttf") &&
                                  Box.InstallFontFile(std::string(Folder) + "/LiberationSans-Bold.ttf"));
    if (!Installed) GTEST_SKIP() << "Liberation Sans is not installed";
    ASSERT_EQ(ResolveFontFace(TFontData{}).Family, "Liberation Sans");

    TFormTypecaskEditor Picker(Application);
    ExpectCaptionsFit(Picker);

    // The about box as its editor fills it from the package's version values.
    ResetDesignRegistrations();
    RegisterPropertyEditor(TypeInfoOf<TVersionInfo*>(), TVersionHolder::StaticClass(), "About",
                           PropertyEditorClass<TTypecaskAboutPropertyEditor>());
    TFormDesigner Designer(std::unique_ptr<TComponent>(new TForm(nullptr, 0)));
    auto* Holder = new TVersionHolder(Designer.GetRoot());
    TVersionInfo Info;
    Holder->FInfo = &Info;
    bool Measured = false;
    Set.Script({THeadlessAction::Call([&](WidgetSets::THeadlessWidgetSet&, TWidgetHandle) {
                    auto* About = DialogTests::OpenDialog<TFormAbout>();
                    ASSERT_TRUE(About);
                    ExpectCaptionsFit(*About);
                    Measured = true;
                }),
                THeadlessAction::Press("OK")});
    Designer.GetPropertyEditor(Holder, "About")->Edit();
    EXPECT_TRUE(Measured);
    ResetDesignRegistrations();
}

}  // namespace
