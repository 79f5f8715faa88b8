// Registration of palette classes, property editors and component editors,
// and the lookups that an object inspector and a designer make.
#include <gtest/gtest.h>

#include <typeindex>

#include "SampleComponents.h"
#include "platform/Designer.h"

namespace {

// Distinct editor classes to tell registrations apart.
class TEditorA : public TClassProperty {
public:
    using TClassProperty::TClassProperty;
    TPropertyAttributes GetAttributes() override { return {paSubProperties, paDialog}; }
};
class TEditorB : public TClassProperty {
public:
    using TClassProperty::TClassProperty;
};
class TEditorC : public TClassProperty {
public:
    using TClassProperty::TClassProperty;
};
class TEditorD : public TClassProperty {
public:
    using TClassProperty::TClassProperty;
};
class TCountEditor : public TIntegerProperty {
public:
    using TIntegerProperty::TIntegerProperty;
};

class TVerbEditor : public TComponentEditor {
public:
    using TComponentEditor::TComponentEditor;
    int GetVerbCount() override { return 2; }
    AnsiString GetVerb(int Index) override { return Index == 0 ? "First..." : "Second..."; }
    void ExecuteVerb(int Index) override { Executed.push_back(Index); }
    std::vector<int> Executed;
};
class TOtherVerbEditor : public TVerbEditor {
public:
    using TVerbEditor::TVerbEditor;
};
class TThirdVerbEditor : public TVerbEditor {
public:
    using TVerbEditor::TVerbEditor;
};

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDesignRegistrations();
        Form = std::make_unique<TSampleForm>();
        Form->SetName("SampleForm1");
        Designer = std::make_unique<TFormDesigner>(Form.get());
        Widget = static_cast<TSampleWidget*>(Designer->DropComponent(TSampleWidget::StaticClass()));
        WidgetEx = static_cast<TSampleWidgetEx*>(Designer->DropComponent(TSampleWidgetEx::StaticClass()));
        Sample = static_cast<TOtherSample*>(Designer->DropComponent(TOtherSample::StaticClass()));
    }
    void TearDown() override { ResetDesignRegistrations(); }

    // The class of the editor an object inspector creates for Path of Instance
    // (typeid of void when the property is not listed).
    std::type_index EditorOf(TPersistent* Instance, const AnsiString& Path) {
        try {
            auto E = Designer->GetPropertyEditor(Instance, Path);
            return ClassOf(E);
        } catch (const EPropertyError&) {
            return typeid(void);
        }
    }

    std::unique_ptr<TSampleForm> Form;
    std::unique_ptr<TFormDesigner> Designer;
    TSampleWidget* Widget = nullptr;
    TSampleWidgetEx* WidgetEx = nullptr;
    TOtherSample* Sample = nullptr;
};

const TTypeInfo* OptionsType() { return TypeInfoOf<TSampleOptions*>(); }

TEST_F(RegistrationTest, PropertyEditorAppliesByTypeClassAndName) {
    RegisterPropertyEditor(OptionsType(), TSampleWidget::StaticClass(), "Options", PropertyEditorClass<TEditorA>());
    struct Case {
        TPersistent* Instance;
        const char* Property;
        std::type_index Editor;
    };
    const Case Cases[] = {
        {Widget, "Options", typeid(TEditorA)},
        {WidgetEx, "Options", typeid(TEditorA)},       // derived classes too
        {Sample, "Options", typeid(TClassProperty)},   // same type and name, other class
        {Widget, "Extra", typeid(TClassProperty)},     // same type and class, other name
        {Widget, "Count", typeid(TIntegerProperty)},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Property);
        EXPECT_EQ(EditorOf(C.Instance, C.Property), C.Editor);
    }
    auto E = Designer->GetPropertyEditor(Widget, "Options");
    EXPECT_EQ(E->GetAttributes().ToInt(), 0x06u);
}

TEST_F(RegistrationTest, MoreSpecificRegistrationWinsAndLatestOfEqualOnes) {
    const TClass W = TSampleWidget::StaticClass();
    // Oldest first; every one of them fits Widget.Options.
    RegisterPropertyEditor(OptionsType(), W, "options", PropertyEditorClass<TEditorA>());  // letter case ignored
    RegisterPropertyEditor(OptionsType(), W, "Options", PropertyEditorClass<TEditorB>());  // equal: latest wins
    RegisterPropertyEditor(OptionsType(), nullptr, "", PropertyEditorClass<TEditorC>());   // later but vaguer
    RegisterPropertyEditor(TypeInfoOf<TPersistent*>(), W, "Options", PropertyEditorClass<TEditorD>());  // ancestor type
    struct Case {
        TPersistent* Instance;
        const char* Property;
        std::type_index Editor;
    };
    const Case Cases[] = {
        {Widget, "Options", typeid(TEditorB)},
        {WidgetEx, "Options", typeid(TEditorB)},
        {Widget, "Extra", typeid(TEditorC)},
        {Sample, "Options", typeid(TEditorC)},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Property);
        EXPECT_EQ(EditorOf(C.Instance, C.Property), C.Editor);
    }
}

TEST_F(RegistrationTest, RankingOfRegistrationsThatFit) {
    const TClass W = TSampleWidget::StaticClass(), WX = TSampleWidgetEx::StaticClass();
    struct Registration {
        const TTypeInfo* Type;
        TClass Class;
        const char* Name;
        TPropertyEditorClass Editor;
    };
    struct Case {
        const char* Title;
        std::vector<Registration> Registrations;  // oldest first
        std::type_index ForWidget;                // Widget.Options
        std::type_index ForWidgetEx;              // WidgetEx.Options
    };
    const Case Cases[] = {
        {"class beats name",
         {{OptionsType(), W, "", PropertyEditorClass<TEditorA>()},
          {OptionsType(), nullptr, "Options", PropertyEditorClass<TEditorB>()}},
         typeid(TEditorA), typeid(TEditorA)},
        {"exact type beats ancestor type",
         {{OptionsType(), W, "Options", PropertyEditorClass<TEditorA>()},
          {TypeInfoOf<TPersistent*>(), W, "Options", PropertyEditorClass<TEditorB>()}},
         typeid(TEditorA), typeid(TEditorA)},
        {"ancestor type covers derived property classes",
         {{TypeInfoOf<TPersistent*>(), nullptr, "", PropertyEditorClass<TEditorA>()}},
         typeid(TEditorA), typeid(TEditorA)},
        {"more derived component class",
         {{OptionsType(), WX, "Options", PropertyEditorClass<TEditorA>()},
          {OptionsType(), W, "Options", PropertyEditorClass<TEditorB>()}},
         typeid(TEditorB), typeid(TEditorA)},
        {"other type does not fit", {{IntegerTypeInfo(), W, "Options", PropertyEditorClass<TEditorA>()}},
         typeid(TClassProperty), typeid(TClassProperty)},
        {"null editor hides", {{OptionsType(), WX, "", nullptr}}, typeid(TClassProperty), typeid(void)},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Title);
        ResetDesignRegistrations();
        for (const Registration& R : C.Registrations) RegisterPropertyEditor(R.Type, R.Class, R.Name, R.Editor);
        EXPECT_EQ(EditorOf(Widget, "Options"), C.ForWidget);
        EXPECT_EQ(EditorOf(WidgetEx, "Options"), C.ForWidgetEx);
    }
}

TEST_F(RegistrationTest, RegisteredEditorIsUsedForSubPropertiesAndOrdinals) {
    RegisterPropertyEditor(IntegerTypeInfo(), TSampleOptions::StaticClass(), "Level", PropertyEditorClass<TCountEditor>());
    EXPECT_EQ(EditorOf(Widget, "Options.Level"), typeid(TCountEditor));
    EXPECT_EQ(EditorOf(Widget, "Count"), typeid(TIntegerProperty));
    EXPECT_EQ(GetEditorClass(TSampleOptions::StaticClass()->FindProperty("Level"), TSampleOptions::StaticClass()),
              PropertyEditorClass<TCountEditor>());
}

TEST_F(RegistrationTest, RegistrationsAreListedAndReset) {
    RegisterPropertyEditor(OptionsType(), TSampleWidget::StaticClass(), "Options", PropertyEditorClass<TEditorA>());
    RegisterComponentEditor(TSampleWidget::StaticClass(), ComponentEditorClass<TVerbEditor>());
    const auto Props = GetPropertyEditorRegistrations();
    ASSERT_EQ(Props.size(), 1u);
    EXPECT_EQ(Props[0].PropertyType, OptionsType());
    EXPECT_EQ(Props[0].ComponentClass, TSampleWidget::StaticClass());
    EXPECT_EQ(Props[0].PropertyName, "Options");
    EXPECT_EQ(Props[0].EditorClass, PropertyEditorClass<TEditorA>());
    EXPECT_EQ(Props[0].EditorClass->Type(), typeid(TEditorA));
    const auto Comps = GetComponentEditorRegistrations();
    ASSERT_EQ(Comps.size(), 1u);
    EXPECT_EQ(Comps[0].EditorClass, ComponentEditorClass<TVerbEditor>());

    ResetDesignRegistrations();
    EXPECT_TRUE(GetPropertyEditorRegistrations().empty());
    EXPECT_TRUE(GetComponentEditorRegistrations().empty());
    EXPECT_EQ(EditorOf(Widget, "Options"), typeid(TClassProperty));
    EXPECT_THROW(RegisterPropertyEditor(nullptr, nullptr, "", PropertyEditorClass<TEditorA>()), EPropertyError);
    EXPECT_THROW(RegisterComponentEditor(nullptr, ComponentEditorClass<TVerbEditor>()), EComponentError);
}

TEST_F(RegistrationTest, ComponentEditorForNearestClassElseDefault) {
    struct Case {
        const char* Title;
        std::vector<std::pair<TClass, TComponentEditorClass>> Registrations;
        std::type_index ForWidget, ForWidgetEx, ForSample;
    };
    const TClass W = TSampleWidget::StaticClass(), WX = TSampleWidgetEx::StaticClass();
    const Case Cases[] = {
        {"none", {}, typeid(TDefaultEditor), typeid(TDefaultEditor), typeid(TDefaultEditor)},
        {"derived classes too",
         {{W, ComponentEditorClass<TVerbEditor>()}},
         typeid(TVerbEditor), typeid(TVerbEditor), typeid(TDefaultEditor)},
        {"nearest class wins, in any order",
         {{WX, ComponentEditorClass<TOtherVerbEditor>()}, {W, ComponentEditorClass<TVerbEditor>()}},
         typeid(TVerbEditor), typeid(TOtherVerbEditor), typeid(TDefaultEditor)},
        {"latest for the same class",
         {{W, ComponentEditorClass<TVerbEditor>()}, {W, ComponentEditorClass<TThirdVerbEditor>()}},
         typeid(TThirdVerbEditor), typeid(TThirdVerbEditor), typeid(TDefaultEditor)},
        {"every component",
         {{TComponent::StaticClass(), ComponentEditorClass<TVerbEditor>()}},
         typeid(TVerbEditor), typeid(TVerbEditor), typeid(TVerbEditor)},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Title);
        ResetDesignRegistrations();
        for (const auto& [Class, Editor] : C.Registrations) RegisterComponentEditor(Class, Editor);
        auto E = GetComponentEditor(Widget, Designer.get());
        EXPECT_EQ(ClassOf(E), C.ForWidget);
        EXPECT_EQ(E->Component(), Widget);
        EXPECT_EQ(E->Designer(), Designer.get());
        EXPECT_EQ(ClassOf(Designer->GetComponentEditor(WidgetEx)), C.ForWidgetEx);
        EXPECT_EQ(ClassOf(GetComponentEditor(Sample, nullptr)), C.ForSample);
    }
}

TEST_F(RegistrationTest, ComponentEditorEditRunsTheFirstVerb) {
    RegisterComponentEditor(TSampleWidget::StaticClass(), ComponentEditorClass<TVerbEditor>());
    auto E = GetComponentEditor(Widget, Designer.get());
    auto* Verbs = dynamic_cast<TVerbEditor*>(E.get());
    ASSERT_NE(Verbs, nullptr);
    E->Edit();
    E->ExecuteVerb(1);
    EXPECT_EQ(Verbs->Executed, (std::vector<int>{0, 1}));
    EXPECT_EQ(E->GetVerb(1), "Second...");

    TComponentEditor Plain(Widget, Designer.get());
    EXPECT_EQ(Plain.GetVerbCount(), 0);
    EXPECT_EQ(Plain.GetVerb(0), "");
    Plain.Edit();
    Plain.Copy();
}

// ----------------------------------------------------------- TDefaultEditor

// Records the property editors it is offered and stops at StopAt.
class TRecordingEditor : public TDefaultEditor {
public:
    TRecordingEditor(TComponent* C, IDesigner* D, AnsiString Stop, bool Keep)
        : TDefaultEditor(C, D), StopAt(std::move(Stop)), KeepEditors(Keep) {}
    AnsiString StopAt;
    bool KeepEditors;
    std::vector<AnsiString> Offered;
    std::vector<std::unique_ptr<TPropertyEditor>> Kept;

    void EditProperty(TPropertyEditor* PropertyEditor, bool& Continue, bool& FreeEditor) override {
        Offered.push_back(PropertyEditor->GetName());
        if (PropertyEditor->GetName() == StopAt) {
            Continue = false;
            PropertyEditor->Edit();
        }
        if (KeepEditors) {
            FreeEditor = false;
            Kept.emplace_back(PropertyEditor);
        }
    }
};

TEST_F(RegistrationTest, DefaultEditorOffersEveryPropertyEditorUntilContinueIsFalse) {
    const std::vector<AnsiString> All{"Name",  "Tag",   "Count", "Enabled", "Shade",   "Shades",  "Caption",
                                      "Options", "Extra", "Buddy", "Strict",  "OnClick", "OnChange"};
    struct Case {
        const char* StopAt;
        std::size_t Offered;  // how many of All
        bool Keep;
    };
    const Case Cases[] = {{"", All.size(), false}, {"Enabled", 4, false}, {"Name", 1, false},
                          {"OnChange", All.size(), false}, {"Shades", 6, true}};
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.StopAt);
        Widget->FEnabled = true;
        TRecordingEditor Editor(Widget, Designer.get(), C.StopAt, C.Keep);
        Editor.Edit();
        EXPECT_EQ(Editor.Offered, std::vector<AnsiString>(All.begin(), All.begin() + static_cast<long>(C.Offered)));
        // Kept editors stay usable after Edit.
        for (const auto& Kept : Editor.Kept) EXPECT_FALSE(Kept->GetName().empty());
    }
    // Stopping at Enabled edited it (toggled); nothing else was edited.
    TRecordingEditor Toggle(Widget, Designer.get(), "Enabled", false);
    Toggle.Edit();
    EXPECT_FALSE(Widget->FEnabled);
    EXPECT_FALSE(Widget->FOnClick);
}

TEST_F(RegistrationTest, DefaultEditorBindsThePreferredExistingHandlerOnly) {
    // SampleWidget1 has handlers SampleWidget1Click and SampleWidget1Change in
    // the form: OnChange is preferred to OnClick.
    int Modifications = 0;
    Designer->SetOnModified([&] { ++Modifications; });
    GetComponentEditor(Widget, Designer.get())->Edit();
    EXPECT_FALSE(Widget->FOnClick);
    ASSERT_TRUE(Widget->FOnChange);
    EXPECT_EQ(Widget->FOnChange.MethodName(), "SampleWidget1Change");
    EXPECT_EQ(Modifications, 1);

    // Another widget, no handler of its name in the form: nothing changes.
    GetComponentEditor(WidgetEx, Designer.get())->Edit();
    EXPECT_FALSE(WidgetEx->FOnClick);
    EXPECT_FALSE(WidgetEx->FOnChange);
    // A component without events: nothing to do.
    GetComponentEditor(Sample, Designer.get())->Edit();
    EXPECT_EQ(Modifications, 1);
    // The form itself: OnCreate.
    GetComponentEditor(Form.get(), Designer.get())->Edit();
    EXPECT_EQ(Form->FOnCreate.MethodName(), "SampleFormCreate");
}

// ------------------------------------------------------------------ palette

TEST_F(RegistrationTest, PaletteKeepsPagesAndClassesInOrder) {
    const TClass W = TSampleWidget::StaticClass(), WX = TSampleWidgetEx::StaticClass(),
                 O = TOtherSample::StaticClass();
    UnRegisterClass(W);
    UnRegisterClass(WX);
    RegisterClass(O);  // known before the palette: stays known after a reset
    RegisterComponents("Samples", {W, O});
    RegisterComponents("Extra", {WX});
    RegisterComponents("samples", {W});  // letter case ignored, already there

    const auto Pages = GetPalettePages();
    ASSERT_EQ(Pages.size(), 2u);
    EXPECT_EQ(Pages[0].Name, "Samples");
    EXPECT_EQ(Pages[0].Classes, (std::vector<TClass>{W, O}));
    EXPECT_EQ(Pages[1].Name, "Extra");
    EXPECT_EQ(Pages[1].Classes, (std::vector<TClass>{WX}));
    EXPECT_EQ(GetPaletteClasses("EXTRA"), (std::vector<TClass>{WX}));
    EXPECT_TRUE(GetPaletteClasses("Missing").empty());
    EXPECT_EQ(GetPalettePage(WX), "Extra");
    EXPECT_EQ(GetPalettePage(TSampleForm::StaticClass()), "");
    // Form data can name them now.
    EXPECT_EQ(GetClass("TSampleWidgetEx"), WX);

    EXPECT_THROW(RegisterComponents("Samples", {TSampleOptions::StaticClass()}), EComponentError);
    EXPECT_EQ(GetPaletteClasses("Samples").size(), 2u);

    ResetDesignRegistrations();
    EXPECT_TRUE(GetPalettePages().empty());
    EXPECT_EQ(GetClass("TSampleWidget"), nullptr);
    EXPECT_EQ(GetClass("TOtherSample"), O);
    RegisterSampleClasses();
}

}  // namespace
