// The editors of TTypecask and their registration, on a designer with the
// package registered as the builder registers it.
#include <gtest/gtest.h>

#include <set>
#include <typeindex>
#include <vector>

#ifndef _WIN32
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

#include "Typecask/component/SubsetCharacters.h"
#include "Typecask/component/Typecask.h"
#include "Typecask/design/FormAbout.h"
#include "Typecask/design/FormSubsetRanges.h"
#include "Typecask/design/FormTypecaskEditor.h"
#include "Typecask/design/TypecaskEditors.h"
#include "Typecask/support/Errors.h"
#include "platform/Designer.h"
#include "platform/os/SysRoot.h"
#include "platform/widgetsets/headless/Headless.h"
#include "tests/Typecask/design/DialogTestSupport.h"
#include "tests/support/Sandbox.h"

namespace {

using WidgetSets::THeadlessAction;

// A component of another class with a TVersionInfo property named About.
class TOtherVersioned : public TComponent {
    TYPECASK_CLASS(TOtherVersioned, TComponent)

public:
    explicit TOtherVersioned(TComponent* Owner) : TComponent(Owner) {}
    TVersionInfo* GetAbout() const { return const_cast<TVersionInfo*>(&FInfo); }
    void SetAbout(TVersionInfo*) {}
    TVersionInfo FInfo;
};
TYPECASK_IMPLEMENT_CLASS(TOtherVersioned)
void TOtherVersioned::Publish(TPublisher<TOtherVersioned>& P) {
    P.Property("About", &TOtherVersioned::GetAbout, &TOtherVersioned::SetAbout);
}

class Editors : public ::testing::Test {
protected:
    void SetUp() override {
        Set = &WidgetSets::UseHeadlessWidgetSet();
        Box.InstallFont("Sandbox Bravo");
        Box.InstallFont("Sandbox Alpha");
        ResetDesignRegistrations();
        Register();
        Designer = std::make_unique<TFormDesigner>(std::unique_ptr<TComponent>(new TForm(nullptr, 0)));
        Typecask = static_cast<TTypecask*>(Designer->DropComponent(TTypecask::StaticClass()));
        auto E = Designer->GetComponentEditor(Typecask);
        Editor.reset(dynamic_cast<TTypecaskComponentEditor*>(E.get()));
        if (Editor) E.release();
        // Records the caption of every dialog shown, in order.
        Watch = THeadlessAction::Call([this](WidgetSets::THeadlessWidgetSet& S, TWidgetHandle W) {
            Shown.push_back(S.GetWindowProps(W).Caption);
        });
    }
    void TearDown() override {
        Editor.reset();
        Designer.reset();
        ResetDesignRegistrations();
    }

    // The component carries Family; a label on the form shows Caption.
    void CarryWithLabel(const AnsiString& Family, const AnsiString& Caption) {
        TTypecaskName Choice(nullptr);
        Choice.SetTTFontName(Family);
        Typecask->SetTypecaskName(&Choice);
        auto* Label = static_cast<TLabel*>(Designer->DropComponent(TLabel::StaticClass()));
        Label->SetParent(static_cast<TForm*>(Designer->GetRoot()));
        Label->SetCaption(Caption);
    }

    TestSupport::TSandbox Box;
    WidgetSets::THeadlessWidgetSet* Set = nullptr;
    std::unique_ptr<TFormDesigner> Designer;
    TTypecask* Typecask = nullptr;
    std::unique_ptr<TTypecaskComponentEditor> Editor;
    THeadlessAction Watch;
    std::vector<AnsiString> Shown;
};

TEST_F(Editors, RegisterPutsTheComponentOnFreewareWithThreeEditors) {
    const auto Pages = GetPalettePages();
    ASSERT_EQ(Pages.size(), 1u);
    EXPECT_EQ(Pages[0].Name, "Freeware");
    EXPECT_EQ(Pages[0].Classes, std::vector<TClass>{TTypecask::StaticClass()});

    const auto Props = GetPropertyEditorRegistrations();
    ASSERT_EQ(Props.size(), 2u);
    EXPECT_EQ(Props[0].PropertyType, TypeInfoOf<TVersionInfo*>());
    EXPECT_EQ(Props[0].PropertyName, "About");
    EXPECT_EQ(Props[1].PropertyType, TypeInfoOf<TTypecaskName*>());
    EXPECT_EQ(Props[1].PropertyName, "TypecaskName");
    for (const auto& R : Props) EXPECT_EQ(R.ComponentClass, TTypecask::StaticClass());

    const auto Components = GetComponentEditorRegistrations();
    ASSERT_EQ(Components.size(), 1u);
    EXPECT_EQ(Components[0].ComponentClass, TTypecask::StaticClass());
    EXPECT_EQ(Components[0].EditorClass, ComponentEditorClass<TTypecaskComponentEditor>());
    ASSERT_TRUE(Editor);
}

TEST_F(Editors, PropertyEditorsAndTheirAttributes) {
    auto* Other = new TOtherVersioned(Designer->GetRoot());
    Other->SetName("Other1");
    const struct {
        TPersistent* Instance;
        const char* Property;
        std::type_index Editor;
        std::uint64_t Attributes;
    } Cases[] = {
        {Typecask, "About", typeid(TTypecaskAboutPropertyEditor), 0x06},
        {Typecask, "TypecaskName", typeid(TTypecaskNamePropertyEditor), 0x06},
        {Other, "About", typeid(TClassProperty), TClassProperty(nullptr, 1).GetAttributes().ToInt()},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Property);
        auto E = Designer->GetPropertyEditor(C.Instance, C.Property);
        const auto& Editor = *E;  // named first: typeid of *E, a call, warns
        EXPECT_EQ(std::type_index(typeid(Editor)), C.Editor);
        EXPECT_EQ(E->GetAttributes().ToInt(), C.Attributes);
    }
}

TEST_F(Editors, Verbs) {
    ASSERT_TRUE(Editor);
    EXPECT_EQ(Editor->GetVerbCount(), 3);
    const std::pair<int, const char*> Verbs[] = {{0, "TypecaskName..."}, {1, "About..."}, {2, "Subset to the form's texts"},
                                                 {5, "About..."}, {-1, "About..."}};
    for (const auto& [Index, Text] : Verbs) EXPECT_EQ(Editor->GetVerb(Index), Text) << Index;
}

#ifndef _WIN32
// The subset verb keeps the characters of the form's texts, the other
// components' included, and marks the form modified; its dialog, left
// empty, adds none.
TEST_F(Editors, SubsetVerbKeepsTheTextsOfTheForm) {
    ASSERT_TRUE(Editor);
    CarryWithLabel("Sandbox Bravo", "Привет");
    Set->Script({Watch, THeadlessAction::Press("OK")});
    Editor->ExecuteVerb(2);
    EXPECT_EQ(Shown, std::vector<AnsiString>{"Subset"});
    Os::TCodePoints Keep = RunTimeCharacters();
    AddTextCharacters(Keep, "Привет");
    EXPECT_TRUE(Typecask->GetFontSubset().IsSubset);
    EXPECT_EQ(Typecask->GetFontSubset().Tag, Os::SubsetTagOf(Keep));
    EXPECT_TRUE(Designer->IsModified());
}

// The characters beyond U+007F that FreeType finds mapped in a font's bytes.
std::set<char32_t> MappedBeyondAscii(TMemoryStream& Font) {
    std::set<char32_t> Mapped;
    FT_Library Library = nullptr;
    FT_Face Face = nullptr;
    EXPECT_EQ(FT_Init_FreeType(&Library), 0);
    if (FT_New_Memory_Face(Library, static_cast<const FT_Byte*>(Font.GetMemory()), static_cast<FT_Long>(Font.GetSize()),
                           0, &Face) == 0) {
        FT_UInt Glyph = 0;
        for (FT_ULong Ch = FT_Get_First_Char(Face, &Glyph); Glyph != 0; Ch = FT_Get_Next_Char(Face, Ch, &Glyph))
            if (Ch > 0x7F) Mapped.insert(static_cast<char32_t>(Ch));
        FT_Done_Face(Face);
    } else {
        ADD_FAILURE() << "FreeType cannot read the stored font";
    }
    FT_Done_FreeType(Library);
    return Mapped;
}
#endif

std::vector<std::uint8_t> BytesOf(TMemoryStream* Data) {
    if (!Data) return {};
    const auto* Begin = static_cast<const std::uint8_t*>(Data->GetMemory());
    return {Begin, Begin + Data->GetSize()};
}

// The subset verb's dialog: the ranges typed there are kept besides the
// form's texts (the stored font's own character map shows it); Cancel and a
// list that is no list of ranges change nothing, the latter with a message
// naming the piece. Windows builds have no subsetter: they refuse with a
// message and change nothing either.
TEST_F(Editors, SubsetVerbKeepsTheRangesTypedInItsDialog) {
    ASSERT_TRUE(Editor);
    FontGen::TFontDesign Cyrillic;
    Cyrillic.ExtraLetters = 0x0410;  // U+0410 to U+0429 besides A to Z
    Box.InstallFont("Sandbox Cyrillic", Cyrillic);
    CarryWithLabel("Sandbox Cyrillic", "\u0411");

    const struct {
        const char* Name;
        const char* Typed;
        const char* Button;
        const char* Error;          // in the message raised; nullptr: none
        std::set<char32_t> Mapped;  // empty: the font unchanged
    } Cases[] = {
        {"Cancel", "U+0414", "Cancel", nullptr, {}},
        {"a piece that is no range", "U+0414, U+ZZZZ", "OK", "\"U+ZZZZ\"", {}},
        {"a range backwards", "U+0416-U+0414", "OK", "\"U+0416-U+0414\"", {}},
#ifdef _WIN32
        {"ranges and OK", "U+0414-U+0416, U+0420", "OK", "not available in this build", {}},
#else
        {"ranges and OK", "U+0414-U+0416, U+0420", "OK", nullptr, {0x0411, 0x0414, 0x0415, 0x0416, 0x0420}},
#endif
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const auto Before = BytesOf(Typecask->GetFontData());
        ASSERT_FALSE(Before.empty());
        Shown.clear();
        Set->Script({Watch, THeadlessAction::Type(C.Typed), THeadlessAction::Press(C.Button)});
        AnsiString Error;
        try {
            Editor->ExecuteVerb(2);
        } catch (const Exception& E) {
            Error = E.GetMessage();
        }
        EXPECT_EQ(Shown, std::vector<AnsiString>{"Subset"});
        EXPECT_EQ(Set->PendingActions(), 0u);
        EXPECT_EQ(DialogTests::OpenDialog<TFormSubsetRanges>(), nullptr);
        if (C.Error)
            EXPECT_NE(Error.find(C.Error), AnsiString::npos) << Error;
        else
            EXPECT_EQ(Error, "");
        if (C.Mapped.empty()) {
            EXPECT_EQ(BytesOf(Typecask->GetFontData()), Before);
            continue;
        }
#ifndef _WIN32
        EXPECT_TRUE(Typecask->GetFontSubset().IsSubset);
        EXPECT_EQ(MappedBeyondAscii(*Typecask->GetFontData()), C.Mapped);
        EXPECT_TRUE(Designer->IsModified());
#endif
    }
}

TEST_F(Editors, DoubleClickOpensThePickerAndAppliesTheChoice) {
    ASSERT_TRUE(Editor);
    Set->Script({Watch, THeadlessAction::Select("Sandbox Bravo"), THeadlessAction::Press("OK")});
    Editor->Edit();
    EXPECT_EQ(Shown, std::vector<AnsiString>{"True Type Fonts"});
    EXPECT_EQ(Typecask->GetTypecaskName()->GetTTFontName(), "Sandbox Bravo");
    ASSERT_NE(Typecask->GetFontData(), nullptr);
    EXPECT_GT(Typecask->GetFontData()->GetSize(), 0);
    EXPECT_EQ(DialogTests::OpenDialog<TFormTypecaskEditor>(), nullptr);

    // Opened again, the current family is preselected; Cancel changes nothing.
    int Selected = -2;
    Set->Script({THeadlessAction::Call([&](WidgetSets::THeadlessWidgetSet&, TWidgetHandle) {
                     Selected = DialogTests::OpenDialog<TFormTypecaskEditor>()->ListBoxTTFonts->GetItemIndex();
                 }),
                 THeadlessAction::Select("Sandbox Alpha"), THeadlessAction::Press("Cancel")});
    Editor->ExecuteVerb(0);
    EXPECT_EQ(Selected, 1);
    EXPECT_EQ(Typecask->GetTypecaskName()->GetTTFontName(), "Sandbox Bravo");
    EXPECT_EQ(Editor->GetVerbIndex(), 0);
}

TEST_F(Editors, CancelledPickerLeavesTheComponentAlone) {
    ASSERT_TRUE(Editor);
    Set->Script({THeadlessAction::Select("Sandbox Alpha"), THeadlessAction::Press("Cancel")});
    Editor->Edit();
    EXPECT_EQ(Typecask->GetTypecaskName()->GetTTFontName(), "");
    EXPECT_EQ(Typecask->GetFontData(), nullptr);
}

// The carried family is no longer installed: the picker lists it nowhere and
// selects no row, and a plain OK must keep the font the component carries.
TEST_F(Editors, OkWithNoRowSelectedKeepsTheCarriedFont) {
    ASSERT_TRUE(Editor);
    Set->Script({THeadlessAction::Select("Sandbox Bravo"), THeadlessAction::Press("OK")});
    Editor->Edit();
    ASSERT_NE(Typecask->GetFontData(), nullptr);
    const auto Size = Typecask->GetFontData()->GetSize();
    ASSERT_TRUE(Box.UninstallFont(Box.Paths().UserFontsFolder + PathDelim + "Sandbox Bravo.ttf"));
    int Selected = -2;
    Set->Script({THeadlessAction::Call([&](WidgetSets::THeadlessWidgetSet&, TWidgetHandle) {
                     Selected = DialogTests::OpenDialog<TFormTypecaskEditor>()->ListBoxTTFonts->GetItemIndex();
                 }),
                 THeadlessAction::Press("OK")});
    Editor->Edit();
    EXPECT_EQ(Selected, -1);
    EXPECT_EQ(Typecask->GetTypecaskName()->GetTTFontName(), "Sandbox Bravo");
    ASSERT_NE(Typecask->GetFontData(), nullptr);
    EXPECT_EQ(Typecask->GetFontData()->GetSize(), Size);
}

TEST_F(Editors, AboutVerbOpensTheAboutBoxOnly) {
    ASSERT_TRUE(Editor);
    AnsiString ProductName;
    Set->Script({Watch, THeadlessAction::Call([&](WidgetSets::THeadlessWidgetSet&, TWidgetHandle) {
                     ProductName = DialogTests::OpenDialog<TFormAbout>()->LabelProductName->GetCaption();
                 }),
                 THeadlessAction::Press("OK")});
    Editor->ExecuteVerb(1);
    EXPECT_EQ(Shown, std::vector<AnsiString>{"TypecaskLib"});
    EXPECT_EQ(ProductName, "TypecaskLib\nVersion 1.0.0 (Build 1.0.0.0)");
    EXPECT_EQ(Editor->GetVerbIndex(), 0);
    EXPECT_EQ(Typecask->GetTypecaskName()->GetTTFontName(), "");
}

TEST_F(Editors, VerbIndexIsResetWhenTheEditRaises) {
    ASSERT_TRUE(Editor);
    // The chosen family's file disappears before OK: applying it raises.
    Set->Script({THeadlessAction::Select("Sandbox Bravo"),
                 THeadlessAction::Call([&](WidgetSets::THeadlessWidgetSet&, TWidgetHandle) {
                     std::remove((Box.Paths().UserFontsFolder + PathDelim + "Sandbox Bravo.ttf").c_str());
                 }),
                 THeadlessAction::Press("OK")});
    EXPECT_THROW(Editor->ExecuteVerb(0), ETypecask);
    EXPECT_EQ(DialogTests::OpenDialog<TFormTypecaskEditor>(), nullptr);

    Set->Script({Watch, THeadlessAction::Call([](WidgetSets::THeadlessWidgetSet&, TWidgetHandle) {
                     throw Exception("the about box failed");
                 })});
    EXPECT_THROW(Editor->ExecuteVerb(1), Exception);
    EXPECT_EQ(Shown, std::vector<AnsiString>{"TypecaskLib"});
    EXPECT_EQ(Editor->GetVerbIndex(), 0);
    EXPECT_EQ(DialogTests::OpenDialog<TFormAbout>(), nullptr);
}

TEST_F(Editors, EditPropertyTakesOnlyTheWantedProperty) {
    ASSERT_TRUE(Editor);
    for (const char* Name : {"InstallPermanently", "About", "Name"}) {
        SCOPED_TRACE(Name);
        auto E = Designer->GetPropertyEditor(Typecask, Name);
        bool Continue = true, FreeEditor = true;
        Editor->EditProperty(E.get(), Continue, FreeEditor);
        EXPECT_TRUE(Continue);
        EXPECT_TRUE(FreeEditor);
    }
    EXPECT_TRUE(Shown.empty());

    auto E = Designer->GetPropertyEditor(Typecask, "TypecaskName");
    bool Continue = true, FreeEditor = false;
    Set->Script({Watch, THeadlessAction::Press("Cancel")});
    Editor->EditProperty(E.get(), Continue, FreeEditor);
    EXPECT_FALSE(Continue);
    EXPECT_FALSE(FreeEditor);
    EXPECT_EQ(Shown, std::vector<AnsiString>{"True Type Fonts"});
}

}  // namespace
