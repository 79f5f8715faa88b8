// The form designer: design state, names of dropped components, reading form
// data that has errors, saving, and the object inspector listing.
#include <gtest/gtest.h>

#include "SampleComponents.h"
#include "platform/Designer.h"

namespace {

class DesignerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDesignRegistrations();
        RegisterSampleClasses();
    }
    void TearDown() override { ResetDesignRegistrations(); }
};

std::unique_ptr<TMemoryStream> TextStream(const AnsiString& Text) {
    auto S = std::make_unique<TMemoryStream>();
    S->WriteBuffer(Text.data(), static_cast<std::int64_t>(Text.size()));
    S->SetPosition(0);
    return S;
}

AnsiString StreamText(TMemoryStream& S) {
    return AnsiString(reinterpret_cast<const char*>(S.GetMemory()), static_cast<std::size_t>(S.GetSize()));
}

TEST_F(DesignerTest, MarksTheRootAndItsComponentsDesigning) {
    TSampleForm Form;
    auto* Before = new TSampleWidget(&Form);
    TFormDesigner Designer(&Form);
    EXPECT_EQ(Designer.GetRoot(), &Form);
    EXPECT_TRUE(Form.ComponentState().Contains(csDesigning));
    EXPECT_TRUE(Before->ComponentState().Contains(csDesigning));
    EXPECT_TRUE(Designer.DropComponent(TSampleWidget::StaticClass())->ComponentState().Contains(csDesigning));
    EXPECT_THROW(TFormDesigner(static_cast<TComponent*>(nullptr)), EComponentError);
}

TEST_F(DesignerTest, DroppedComponentsGetTheLowestFreeNumber) {
    TFormDesigner Designer(std::make_unique<TSampleForm>());
    TComponent* Root = Designer.GetRoot();
    Root->SetName("SampleWidget3");  // the root's name counts too
    int Modifications = 0;
    Designer.SetOnModified([&] { ++Modifications; });

    struct Step {
        TClass Class;
        const char* Delete;  // a component to delete before dropping
        const char* Expected;
    };
    const Step Steps[] = {
        {TSampleWidget::StaticClass(), nullptr, "SampleWidget1"},
        {TSampleWidget::StaticClass(), nullptr, "SampleWidget2"},
        {TSampleWidget::StaticClass(), nullptr, "SampleWidget4"},
        {TSampleWidgetEx::StaticClass(), nullptr, "SampleWidgetEx1"},
        {TOtherSample::StaticClass(), nullptr, "OtherSample1"},
        {TSampleWidget::StaticClass(), "SampleWidget1", "SampleWidget1"},
        {TSampleWidget::StaticClass(), nullptr, "SampleWidget5"},
    };
    int Count = 0;
    for (const Step& S : Steps) {
        SCOPED_TRACE(S.Expected);
        if (S.Delete) {
            delete Root->FindComponent(S.Delete);
            --Count;
        }
        TComponent* C = Designer.DropComponent(S.Class);
        ++Count;
        EXPECT_EQ(C->GetName(), S.Expected);
        EXPECT_EQ(C->Owner(), Root);
        EXPECT_EQ(C->ClassType(), S.Class);
    }
    EXPECT_EQ(Root->ComponentCount(), Count);
    EXPECT_EQ(Modifications, 7);
    EXPECT_TRUE(Designer.IsModified());
    EXPECT_EQ(Designer.UniqueName("Typecask"), "Typecask1");
    EXPECT_EQ(TFormDesigner::ComponentBaseName(TSampleWidget::StaticClass()), "SampleWidget");
    EXPECT_EQ(TFormDesigner::ComponentBaseName(TObject::StaticClass()), "Object");

    EXPECT_THROW(Designer.DropComponent(TSampleOptions::StaticClass()), EComponentError);
    EXPECT_THROW(Designer.DropComponent(nullptr), EComponentError);
    EXPECT_EQ(Root->ComponentCount(), Count);
}

TEST_F(DesignerTest, ComponentNamesAndMethodsOfTheForm) {
    TSampleForm Form;
    Form.SetName("SampleForm1");
    TFormDesigner Designer(&Form);
    TComponent* W = Designer.DropComponent(TSampleWidget::StaticClass());
    Designer.DropComponent(TOtherSample::StaticClass());
    EXPECT_EQ(Designer.GetComponent("samplewidget1"), W);
    EXPECT_EQ(Designer.GetComponent("SampleForm1"), &Form);
    EXPECT_EQ(Designer.GetComponent("Missing"), nullptr);
    EXPECT_EQ(Designer.GetComponentName(W), "SampleWidget1");
    std::vector<AnsiString> Names;
    Designer.GetComponentNames(TComponent::StaticClass(), [&](const AnsiString& S) { Names.push_back(S); });
    EXPECT_EQ(Names, (std::vector<AnsiString>{"SampleForm1", "SampleWidget1", "OtherSample1"}));

    const TTypeInfo* Notify = TypeInfoOf<TNotifyEvent>();
    EXPECT_TRUE(Designer.MethodExists("widgetclick", Notify));
    EXPECT_FALSE(Designer.MethodExists("Scrolled", Notify));
    EXPECT_TRUE(Designer.MethodExists("Scrolled", TypeInfoOf<TSampleEvent>()));
    const TMethod M = Designer.FindMethod("WidgetClick", Notify);
    EXPECT_EQ(M.Data, &Form);
    EXPECT_EQ(Designer.GetMethodName(M), "WidgetClick");
    EXPECT_THROW(Designer.FindMethod("Scrolled", Notify), EPropertyError);
    EXPECT_THROW(Designer.FindMethod("Missing", Notify), EPropertyError);
}

const char* const FormWithErrors = R"(object SampleForm1: TSampleForm
  object SampleWidget1: TSampleWidget
    Count = 5
    Bogus = 1
    Strict = -1
    Caption = 'after'
    Options.Caption = 'inner'
    Options.Missing = 2
    Shade = shDark
  end
  object Ghost1: TNoSuchClass
    Count = 1
  end
  object SampleWidget2: TSampleWidget
    Count = 7
    Buddy = SampleWidget1
    OnClick = WidgetClick
  end
end
)";

TEST_F(DesignerTest, ReadingGoesOnAfterEachErrorAndCollectsThem) {
    auto Text = TextStream(FormWithErrors);
    std::vector<AnsiString> Reported;
    auto Designer = TFormDesigner::Open(Text.get(), [&](const Exception& E) {
        Reported.push_back(E.GetMessage());
        return true;
    });
    const auto& Errors = Designer->ReadErrors();
    ASSERT_EQ(Errors.size(), 4u);
    EXPECT_EQ(Reported, Errors);
    const char* const Expected[] = {"Bogus", "Strict value -1 refused", "Missing", "TNoSuchClass"};
    for (std::size_t I = 0; I < 4; ++I) EXPECT_NE(Errors[I].find(Expected[I]), AnsiString::npos) << Errors[I];

    TComponent* Root = Designer->GetRoot();
    EXPECT_EQ(Root->ClassType(), TSampleForm::StaticClass());
    EXPECT_EQ(Root->GetName(), "SampleForm1");
    ASSERT_EQ(Root->ComponentCount(), 2);
    auto* W1 = dynamic_cast<TSampleWidget*>(Root->FindComponent("SampleWidget1"));
    auto* W2 = dynamic_cast<TSampleWidget*>(Root->FindComponent("SampleWidget2"));
    ASSERT_TRUE(W1 && W2);
    // The properties after each error were read.
    EXPECT_EQ(W1->FCount, 5);
    EXPECT_EQ(W1->FStrict, 0);
    EXPECT_EQ(W1->FCaption, "after");
    EXPECT_EQ(W1->FOptions->FCaption, "inner");
    EXPECT_EQ(W1->FShade, shDark);
    EXPECT_EQ(W2->FCount, 7);
    EXPECT_EQ(W2->FBuddy, W1);
    EXPECT_EQ(W2->FOnClick.MethodName(), "WidgetClick");
    // Everything was designing while it was read.
    EXPECT_TRUE(W1->FDesigningInSetter);
    EXPECT_TRUE(Root->ComponentState().Contains(csDesigning));
    EXPECT_TRUE(W2->ComponentState().Contains(csDesigning));
    EXPECT_FALSE(W1->ComponentState().Contains(csReading));
    EXPECT_FALSE(W1->ComponentState().Contains(csLoading));
    EXPECT_FALSE(Designer->IsModified());
}

TEST_F(DesignerTest, ReadingStopsWhenTheHandlerSaysSo) {
    auto Text = TextStream(FormWithErrors);
    int Offered = 0;
    try {
        TFormDesigner::Open(Text.get(), [&](const Exception&) { return ++Offered < 2; });
        FAIL() << "the second error should stop reading";
    } catch (const Exception& E) {
        EXPECT_NE(AnsiString(E.GetMessage()).find("Strict value -1 refused"), AnsiString::npos) << E.GetMessage();
    }
    EXPECT_EQ(Offered, 2);
}

TEST_F(DesignerTest, OpenRefusesWhatCannotBeDesigned) {
    struct Case {
        const char* Title;
        const char* Text;
    };
    const Case Cases[] = {
        {"unknown root class", "object X: TNoSuchForm\nend\n"},
        {"not a component class", "object X: TSampleOptions\nend\n"},
        {"not form data", "hello"},
    };
    RegisterClass(TSampleOptions::StaticClass());
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Title);
        auto S = TextStream(C.Text);
        EXPECT_THROW(TFormDesigner::Open(S.get()), Exception);
    }
    UnRegisterClass(TSampleOptions::StaticClass());
}

TEST_F(DesignerTest, SavedFormReadsBackInBothFormats) {
    for (TFormDataFormat Format : {TFormDataFormat::Binary, TFormDataFormat::Text}) {
        SCOPED_TRACE(Format == TFormDataFormat::Binary ? "binary" : "text");
        TFormDesigner Designer(std::make_unique<TSampleForm>());
        Designer.GetRoot()->SetName("SampleForm1");
        auto* W = static_cast<TSampleWidget*>(Designer.DropComponent(TSampleWidget::StaticClass()));
        Designer.GetPropertyEditor(W, "Count")->SetValue("12");
        Designer.GetPropertyEditor(W, "Shades")->SetValue("[shMedium]");
        Designer.GetPropertyEditor(W, "Options.Caption")->SetValue("sub");
        Designer.GetPropertyEditor(W, "OnClick")->SetValue("WidgetClick");
        EXPECT_TRUE(Designer.IsModified());

        TMemoryStream Saved;
        Designer.WriteForm(&Saved, Format);
        EXPECT_FALSE(Designer.IsModified());
        const AnsiString Start = StreamText(Saved).substr(0, 4);
        EXPECT_EQ(Start, Format == TFormDataFormat::Binary ? "TPF0" : "obje");

        Saved.SetPosition(0);
        auto Reopened = TFormDesigner::Open(&Saved);
        EXPECT_TRUE(Reopened->ReadErrors().empty()) << (Reopened->ReadErrors().empty() ? "" : Reopened->ReadErrors()[0]);
        auto* R = dynamic_cast<TSampleWidget*>(Reopened->GetRoot()->FindComponent("SampleWidget1"));
        ASSERT_NE(R, nullptr);
        EXPECT_EQ(R->FCount, 12);
        EXPECT_EQ(R->FShades, (TShades{shMedium}));
        EXPECT_EQ(R->FOptions->FCaption, "sub");
        EXPECT_EQ(R->FOnClick.MethodName(), "WidgetClick");
        EXPECT_EQ(R->FOnClick.Data(), Reopened->GetRoot());
    }
}

TEST_F(DesignerTest, PropertyEditorByPath) {
    TFormDesigner Designer(std::make_unique<TSampleForm>());
    auto* W = Designer.DropComponent(TSampleWidget::StaticClass());
    EXPECT_EQ(Designer.GetPropertyEditor(W, "options.level")->GetName(), "Level");
    EXPECT_EQ(Designer.GetPropertyEditor(W, "Shades.shDark")->GetName(), "shDark");
    for (const char* Bad : {"Missing", "Count.Sub", "Options.Missing", "Serial", "", "Options."}) {
        SCOPED_TRACE(Bad);
        EXPECT_THROW(Designer.GetPropertyEditor(W, Bad), EPropertyError);
    }
}

TEST_F(DesignerTest, InspectorListsValuesAttributesAndSubProperties) {
    TFormDesigner Designer(std::make_unique<TSampleForm>());
    auto* W = static_cast<TSampleWidget*>(Designer.DropComponent(TSampleWidget::StaticClass()));
    W->FShades = TShades{shLight};
    W->FOptions->FCaption = "inner";
    W->FExtra->FLevel = 4;
    const auto Rows = InspectObject(W, &Designer);

    struct Expected {
        int Depth;
        const char* Name;
        const char* Value;
    };
    const Expected Table[] = {
        {0, "Name", "SampleWidget1"}, {0, "Tag", "0"},       {0, "Count", "0"},       {0, "Enabled", "True"},
        {0, "Shade", "shLight"},      {0, "Shades", "[shLight]"}, {1, "shLight", "True"}, {1, "shMedium", "False"},
        {1, "shDark", "False"},       {0, "Caption", ""},   {0, "Options", "(TSampleOptions)"},
        {1, "Caption", "inner"},      {1, "Level", "0"},    {0, "Extra", "(TSampleOptions)"},
        {1, "Caption", ""},           {1, "Level", "4"},    {0, "Buddy", ""},        {0, "Strict", "0"},
        {0, "OnClick", ""},           {0, "OnChange", ""},
    };
    ASSERT_EQ(Rows.size(), std::size(Table));
    for (std::size_t I = 0; I < Rows.size(); ++I) {
        SCOPED_TRACE(Table[I].Name);
        EXPECT_EQ(Rows[I].Depth, Table[I].Depth);
        EXPECT_EQ(Rows[I].Name, Table[I].Name);
        EXPECT_EQ(Rows[I].Value, Table[I].Value);
        EXPECT_TRUE(Rows[I].Error.empty());
    }
    EXPECT_EQ(Rows[10].Attributes, (TPropertyAttributes{paMultiSelect, paSubProperties, paReadOnly}));
    EXPECT_EQ(Rows[3].Attributes, (TPropertyAttributes{paMultiSelect, paValueList, paSortList, paRevertable}));
}

TEST_F(DesignerTest, InspectorExpandsAnObjectOnlyOnceOnItsPath) {
    TFormDesigner Designer(std::make_unique<TSampleForm>());
    auto* Holder = Designer.DropComponent(TLoopHolder::StaticClass());
    std::vector<std::pair<int, AnsiString>> Seen;
    for (const auto& Row : InspectObject(Holder, &Designer)) Seen.emplace_back(Row.Depth, Row.Name);
    // A read-only object property is listed (its sub-properties can be edited).
    EXPECT_EQ(Seen, (std::vector<std::pair<int, AnsiString>>{
                        {0, "Name"}, {0, "Tag"}, {0, "Loop"}, {1, "Value"}, {1, "Self"}}));
}

}  // namespace
