// The default property editors: which editor each kind of property gets,
// its attributes, the text of its value both ways, sub-properties, and the
// typed access that a dialog editor uses.
#include <gtest/gtest.h>

#include <cstdint>
#include <typeindex>

#include "SampleComponents.h"
#include "platform/Designer.h"

namespace {

class PropertyEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDesignRegistrations();
        Form = std::make_unique<TSampleForm>();
        Form->SetName("SampleForm1");
        Designer = std::make_unique<TFormDesigner>(Form.get());
        Designer->SetOnModified([this] { ++Modifications; });
        Widget = static_cast<TSampleWidget*>(Designer->DropComponent(TSampleWidget::StaticClass()));
        Other = static_cast<TSampleWidget*>(Designer->DropComponent(TSampleWidget::StaticClass()));
        Modifications = 0;
    }
    void TearDown() override { ResetDesignRegistrations(); }

    std::unique_ptr<TPropertyEditor> Editor(const AnsiString& Path) { return Designer->GetPropertyEditor(Widget, Path); }

    std::unique_ptr<TSampleForm> Form;
    std::unique_ptr<TFormDesigner> Designer;
    TSampleWidget* Widget = nullptr;
    TSampleWidget* Other = nullptr;
    int Modifications = 0;
};

std::vector<AnsiString> Names(const std::vector<std::unique_ptr<TPropertyEditor>>& Editors) {
    std::vector<AnsiString> Result;
    for (const auto& E : Editors) Result.push_back(E->GetName());
    return Result;
}

std::vector<AnsiString> Values(TPropertyEditor& Editor) {
    std::vector<AnsiString> Result;
    Editor.GetValues([&](const AnsiString& S) { Result.push_back(S); });
    return Result;
}

TEST(PropertyAttributes, KeepTheClassLibraryBitOrder) {
    EXPECT_EQ((TPropertyAttributes{paSubProperties, paDialog}.ToInt()), 0x06u);
    EXPECT_EQ((TPropertyAttributes{paValueList}.ToInt()), 0x01u);
    EXPECT_EQ((TPropertyAttributes{paMultiSelect, paReadOnly, paRevertable}.ToInt()), 0x08u | 0x40u | 0x80u);
    EXPECT_EQ(PropertyAttributesToString({paRevertable, paValueList, paSortList}), "paValueList, paSortList, paRevertable");
    EXPECT_EQ(PropertyAttributesToString({}), "");
}

TEST_F(PropertyEditorTest, ListsWritableAndObjectPropertiesInPublishedOrder) {
    // Serial has no writer and is no object: an object inspector leaves it out.
    EXPECT_EQ(Names(GetPropertyEditors(Widget, Designer.get())),
              (std::vector<AnsiString>{"Name", "Tag", "Count", "Enabled", "Shade", "Shades", "Caption", "Options",
                                       "Extra", "Buddy", "Strict", "OnClick", "OnChange"}));
}

TEST_F(PropertyEditorTest, EachKindGetsItsDefaultEditorAndAttributes) {
    const TPropertyAttributes Plain{paMultiSelect, paRevertable};
    const TPropertyAttributes List{paMultiSelect, paValueList, paSortList, paRevertable};
    struct Case {
        const char* Property;
        std::type_index Editor;
        TPropertyAttributes Attributes;
    };
    const Case Cases[] = {
        {"Name", typeid(TComponentNameProperty), {}},
        {"Tag", typeid(TIntegerProperty), Plain},
        {"Count", typeid(TIntegerProperty), Plain},
        {"Enabled", typeid(TBoolProperty), List},
        {"Shade", typeid(TEnumProperty), List},
        {"Shades", typeid(TSetProperty), {paMultiSelect, paSubProperties, paReadOnly, paRevertable}},
        {"Caption", typeid(TStringProperty), Plain},
        {"Options", typeid(TClassProperty), {paMultiSelect, paSubProperties, paReadOnly}},
        {"Buddy", typeid(TComponentProperty), List},
        {"OnClick", typeid(TMethodProperty), List},
        {"Shades.shDark", typeid(TSetElementProperty), {paMultiSelect, paValueList, paSortList}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Property);
        auto E = Editor(C.Property);
        EXPECT_EQ(ClassOf(E), C.Editor);
        EXPECT_EQ(E->GetAttributes(), C.Attributes) << PropertyAttributesToString(E->GetAttributes());
        EXPECT_EQ(E->GetDesigner(), Designer.get());
        EXPECT_EQ(E->GetComponent(0), Widget);
    }
}

TEST_F(PropertyEditorTest, ValuesRoundTripThroughTheirText) {
    struct Case {
        const char* Property;
        const char* Typed;
        const char* Shown;
    };
    const Case Cases[] = {
        {"Count", "42", "42"},
        {"Count", " -7 ", "-7"},
        {"Count", "$1F", "31"},
        {"Count", "0x10", "16"},
        {"Count", "-2147483648", "-2147483648"},
        // Tag is as wide as a pointer.
        sizeof(std::intptr_t) == 8 ? Case{"Tag", "9000000000", "9000000000"} : Case{"Tag", "-2147483648", "-2147483648"},
        {"Enabled", "false", "False"},
        {"Enabled", "True", "True"},
        {"Shade", "shDark", "shDark"},
        {"Shade", "SHMEDIUM", "shMedium"},
        {"Shades", "[shLight, shDark]", "[shLight,shDark]"},
        {"Shades", "shMedium", "[shMedium]"},
        {"Shades", "[]", "[]"},
        {"Caption", "Hello, world", "Hello, world"},
        {"Caption", "", ""},
        {"Buddy", "SampleWidget2", "SampleWidget2"},
        {"Buddy", "", ""},
        {"OnClick", "WidgetClick", "WidgetClick"},
        {"OnClick", "", ""},
        {"Options.Caption", "inner", "inner"},
        {"Options.Level", "3", "3"},
        {"Shades.shMedium", "True", "True"},
        {"Name", "Renamed", "Renamed"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::string(C.Property) + " <- " + C.Typed);
        auto E = Editor(C.Property);
        const int Before = Modifications;
        E->SetValue(C.Typed);
        EXPECT_EQ(E->GetValue(), C.Shown);
        EXPECT_EQ(Modifications, Before + 1);
        // A fresh editor reads what the first one wrote.
        EXPECT_EQ(Editor(C.Property)->GetValue(), C.Shown);
    }
    EXPECT_EQ(Widget->GetName(), "Renamed");
    EXPECT_EQ(Widget->FOptions->FLevel, 3);
    EXPECT_EQ(Widget->FShades, (TShades{shMedium}));
}

TEST_F(PropertyEditorTest, BadTextIsRefusedAndChangesNothing) {
    Widget->FBuddy = Other;
    Widget->FOnClick = TNotifyEvent(Form.get(), &TSampleForm::WidgetClick);
    struct Case {
        const char* Property;
        const char* Typed;
    };
    const Case Cases[] = {
        {"Count", "12x"},          {"Count", ""},          {"Count", "2147483648"},
        {"Count", "-2147483649"},  {"Tag", "99999999999999999999"}, {"Enabled", "yes"},
        {"Tag", sizeof(std::intptr_t) == 8 ? "9223372036854775808" : "2147483648"},
        {"Shade", "shPurple"},     {"Shades", "[shLight, shPink]"}, {"Buddy", "Nobody"},
        {"Buddy", "SampleForm1"},  // the form is no TSampleWidget
        {"OnClick", "NoSuchMethod"}, {"OnClick", "Scrolled"},  // a handler of another signature
        {"OnClick", "not a name"}, {"Shades.shDark", "maybe"}, {"Options", "(TSampleOptions)"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::string(C.Property) + " <- " + C.Typed);
        auto E = Editor(C.Property);
        const AnsiString Before = E->GetValue();
        EXPECT_THROW(E->SetValue(C.Typed), EPropertyError);
        EXPECT_EQ(E->GetValue(), Before);
    }
    EXPECT_EQ(Modifications, 0);
}

TEST_F(PropertyEditorTest, ValueListsOfferTheChoices) {
    EXPECT_EQ(Values(*Editor("Enabled")), (std::vector<AnsiString>{"False", "True"}));
    EXPECT_EQ(Values(*Editor("Shade")), (std::vector<AnsiString>{"shLight", "shMedium", "shDark"}));
    EXPECT_EQ(Values(*Editor("Buddy")), (std::vector<AnsiString>{"SampleWidget1", "SampleWidget2"}));
    // Only the handlers whose signature fits the event.
    EXPECT_EQ(Values(*Editor("OnClick")), (std::vector<AnsiString>{"WidgetClick", "SampleWidget1Click",
                                                                   "SampleWidget1Change", "SampleFormCreate"}));
    EXPECT_TRUE(Values(*Editor("Count")).empty());
}

TEST_F(PropertyEditorTest, EditCyclesValueListsAndLeavesOtherPropertiesAlone) {
    struct Case {
        const char* Property;
        std::vector<AnsiString> Seen;  // the value after each Edit
    };
    const Case Cases[] = {
        {"Enabled", {"False", "True", "False"}},
        // The list is shown sorted, so Edit goes round in sorted order.
        {"Shade", {"shMedium", "shDark", "shLight"}},
        {"Shades.shLight", {"True", "False"}},
        {"Count", {"0", "0"}},
        {"Caption", {"", ""}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Property);
        auto E = Editor(C.Property);
        for (const AnsiString& Expected : C.Seen) {
            E->Edit();
            EXPECT_EQ(E->GetValue(), Expected);
        }
    }
}

TEST_F(PropertyEditorTest, ObjectPropertyExpandsIntoItsPublishedProperties) {
    Widget->FOptions->FCaption = "inner";
    Widget->FOptions->FLevel = 2;
    auto E = Editor("Options");
    EXPECT_EQ(E->GetValue(), "(TSampleOptions)");
    auto Sub = GetSubPropertyEditors(E.get());
    ASSERT_EQ(Names(Sub), (std::vector<AnsiString>{"Caption", "Level"}));
    EXPECT_EQ(Sub[0]->GetValue(), "inner");
    EXPECT_EQ(Sub[1]->GetValue(), "2");
    EXPECT_EQ(Sub[0]->GetComponent(0), Widget->FOptions);
    Sub[1]->SetValue("5");
    EXPECT_EQ(Widget->FOptions->FLevel, 5);
    EXPECT_EQ(Modifications, 1);
}

TEST_F(PropertyEditorTest, SetExpandsIntoItsMembers) {
    Widget->FShades = TShades{shDark};
    auto Sub = GetSubPropertyEditors(Editor("Shades").get());
    ASSERT_EQ(Names(Sub), (std::vector<AnsiString>{"shLight", "shMedium", "shDark"}));
    EXPECT_EQ(Sub[0]->GetValue(), "False");
    EXPECT_EQ(Sub[2]->GetValue(), "True");
    Sub[0]->SetValue("True");
    EXPECT_EQ(Widget->FShades, (TShades{shLight, shDark}));
    Sub[2]->SetValue("False");
    EXPECT_EQ(Widget->FShades, (TShades{shLight}));
}

TEST_F(PropertyEditorTest, OrdValueOfAnObjectPropertyIsTheObjectAndGoesThroughTheWriter) {
    auto E = Editor("Options");
    EXPECT_EQ(E->GetOrdValue(), reinterpret_cast<std::intptr_t>(Widget->FOptions));
    EXPECT_EQ(E->GetObjectValue(), Widget->FOptions);

    auto Chosen = std::make_unique<TSampleOptions>();
    Chosen->FCaption = "chosen";
    Chosen->FLevel = 7;
    E->SetOrdValue(reinterpret_cast<std::intptr_t>(Chosen.get()));
    // The writer was handed the chosen object and copied it into its own.
    EXPECT_EQ(Widget->FOptionsSets, 1);
    EXPECT_EQ(Widget->FLastOptions, Chosen.get());
    EXPECT_EQ(Widget->FOptions, &Widget->FOptionsObject);
    EXPECT_EQ(Widget->FOptions->FCaption, "chosen");
    EXPECT_EQ(Widget->FOptions->FLevel, 7);
    EXPECT_EQ(Modifications, 1);

    // An object of another class does not fit the property.
    TStringList Wrong;
    EXPECT_THROW(E->SetOrdValue(reinterpret_cast<std::intptr_t>(&Wrong)), EPropertyError);
    EXPECT_EQ(Widget->FOptionsSets, 1);
}

TEST_F(PropertyEditorTest, OrdinalAccessorsMatchTheValues) {
    Widget->FCount = -5;
    Widget->FShade = shDark;
    Widget->FShades = TShades{shLight, shDark};
    EXPECT_EQ(Editor("Count")->GetOrdValue(), -5);
    EXPECT_EQ(Editor("Shade")->GetOrdValue(), 2);
    EXPECT_EQ(Editor("Shades")->GetOrdValue(), 5);
    EXPECT_EQ(Editor("Caption")->GetPropType(), StringTypeInfo());
    EXPECT_THROW(Editor("Caption")->GetOrdValue(), EPropertyError);
    Editor("Shade")->SetOrdValue(1);
    EXPECT_EQ(Widget->FShade, shMedium);
}

TEST_F(PropertyEditorTest, SeveralSelectedObjectsShareTheCommonProperties) {
    TOtherSample Sample(Form.get());
    std::vector<std::unique_ptr<TPropertyEditor>> Editors;
    GetComponentProperties({Widget, &Sample}, Designer.get(),
                           [&](std::unique_ptr<TPropertyEditor> E) { Editors.push_back(std::move(E)); });
    // Name does not allow several objects; Count and the rest are not common.
    ASSERT_EQ(Names(Editors), (std::vector<AnsiString>{"Tag", "Options"}));
    Widget->SetTag(1);
    EXPECT_FALSE(Editors[0]->AllEqual());
    Editors[0]->SetValue("8");
    EXPECT_TRUE(Editors[0]->AllEqual());
    EXPECT_EQ(Widget->GetTag(), 8);
    EXPECT_EQ(Sample.GetTag(), 8);
    EXPECT_EQ(Modifications, 1);

    // Sub-properties reach the sub-object of every selected object.
    auto Sub = GetSubPropertyEditors(Editors[1].get());
    ASSERT_EQ(Names(Sub), (std::vector<AnsiString>{"Caption", "Level"}));
    Sub[0]->SetValue("both");
    EXPECT_EQ(Widget->FOptions->FCaption, "both");
    EXPECT_EQ(Sample.FOptions->FCaption, "both");
}

TEST_F(PropertyEditorTest, SetMemberOfSeveralObjectsKeepsTheirOtherMembers) {
    Widget->FShades = TShades{shLight};
    Other->FShades = TShades{shDark};
    std::vector<std::unique_ptr<TPropertyEditor>> Editors;
    GetComponentProperties({Widget, Other}, Designer.get(), [&](std::unique_ptr<TPropertyEditor> E) {
        if (E->GetName() == "Shades") Editors.push_back(std::move(E));
    });
    ASSERT_EQ(Editors.size(), 1u);
    auto Sub = GetSubPropertyEditors(Editors[0].get());
    EXPECT_FALSE(Sub[1]->AllEqual() && Sub[0]->AllEqual());
    Sub[1]->SetValue("True");
    EXPECT_EQ(Widget->FShades, (TShades{shLight, shMedium}));
    EXPECT_EQ(Other->FShades, (TShades{shMedium, shDark}));
    EXPECT_TRUE(Sub[1]->AllEqual());
}

TEST_F(PropertyEditorTest, EventEditBindsOnlyAHandlerTheFormAlreadyHas) {
    // SampleWidget1 has the handlers SampleWidget1Click and SampleWidget1Change.
    auto Click = Editor("OnClick");
    auto* Method = dynamic_cast<TMethodProperty*>(Click.get());
    ASSERT_NE(Method, nullptr);
    EXPECT_EQ(Method->GetFormMethodName(), "SampleWidget1Click");
    Click->Edit();
    EXPECT_EQ(Click->GetValue(), "SampleWidget1Click");
    Widget->FOnClick(Widget);
    EXPECT_EQ(Form->FClicks, 1);

    // A bound event stays as it is.
    Click->SetValue("WidgetClick");
    Click->Edit();
    EXPECT_EQ(Click->GetValue(), "WidgetClick");

    // No handler of that name in the form: nothing happens.
    auto OtherClick = Designer->GetPropertyEditor(Other, "OnClick");
    const int Before = Modifications;
    OtherClick->Edit();
    EXPECT_EQ(OtherClick->GetValue(), "");
    EXPECT_EQ(Modifications, Before);

    // The form's own events are named after its class.
    auto Create = Designer->GetPropertyEditor(Form.get(), "OnCreate");
    EXPECT_EQ(dynamic_cast<TMethodProperty*>(Create.get())->GetFormMethodName(), "SampleFormCreate");
}

TEST_F(PropertyEditorTest, ValueAvailableTellsWhetherTheValueCanBeRead) {
    auto E = Editor("Count");
    EXPECT_TRUE(E->ValueAvailable());
    EXPECT_THROW(E->GetComponent(1), EPropertyError);
    TPropertyEditor Unset(nullptr, 1);
    EXPECT_THROW(Unset.GetName(), EPropertyError);
}

}  // namespace
