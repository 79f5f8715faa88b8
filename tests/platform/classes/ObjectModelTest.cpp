// The object model: metaclasses and the class registry, assignment,
// ownership and names of components, the published-property registry and
// string lists.
#include <gtest/gtest.h>

#include <cstdint>

#include "tests/platform/classes/TestClasses.h"

namespace {

TEST(ObjectModel, MetaclassesNameAndRelateClasses) {
    TThingForm Form;
    TLoudThing Loud(&Form);
    EXPECT_EQ(Loud.ClassName(), "TLoudThing");
    EXPECT_EQ(Loud.ClassType()->ClassParent(), TThing::StaticClass());
    EXPECT_TRUE(Loud.InheritsFrom(TComponent::StaticClass()));
    EXPECT_TRUE(Loud.InheritsFrom(TObject::StaticClass()));
    EXPECT_FALSE(TThing::StaticClass()->InheritsFrom(TLoudThing::StaticClass()));
    EXPECT_FALSE(TStrings::StaticClass()->IsCreatable()) << "an abstract class";
    EXPECT_THROW(TStrings::StaticClass()->Create(), EConvertError);

    // Virtual construction: the metaclass builds the most derived class.
    std::unique_ptr<TObject> Made(TLoudThing::StaticClass()->Create(&Form));
    auto* Component = dynamic_cast<TLoudThing*>(Made.get());
    ASSERT_NE(Component, nullptr);
    EXPECT_EQ(Component->Owner(), &Form);
    std::unique_ptr<TObject> List(TStringList::StaticClass()->Create());
    EXPECT_NE(dynamic_cast<TStringList*>(List.get()), nullptr);
}

TEST(ObjectModel, ClassRegistryFindsByNameIgnoringCase) {
    RegisterClasses({TThing::StaticClass(), TThingForm::StaticClass()});
    RegisterClass(TThing::StaticClass());  // again: no harm
    EXPECT_EQ(FindClass("tthing"), TThing::StaticClass());
    EXPECT_EQ(GetClass("TNotRegistered"), nullptr);
    try {
        FindClass("TNotRegistered");
        FAIL() << "no error";
    } catch (const EClassNotFound& E) {
        EXPECT_STREQ(E.what(), "Class TNotRegistered not found");
    }
    UnRegisterClass(TThingForm::StaticClass());
    EXPECT_EQ(GetClass("TThingForm"), nullptr);
    RegisterClass(TThingForm::StaticClass());
}

TEST(ObjectModel, AssignWithoutAWayRaisesConvertError) {
    TSubObject Sub;
    TStringList List;
    try {
        Sub.Assign(&List);
        FAIL() << "no error";
    } catch (const EConvertError& E) {
        EXPECT_STREQ(E.what(), "Cannot assign a TStringList to a TSubObject");
    }
    try {
        List.Assign(nullptr);
        FAIL() << "no error";
    } catch (const EConvertError& E) {
        EXPECT_STREQ(E.what(), "Cannot assign a nil to a TStringList");
    }
    TStringList Other;
    Other.Add("x");
    List.Assign(&Other);
    EXPECT_EQ(List.GetText(), "x\n");
}

TEST(Component, OwnsFindsAndDeletesItsComponents) {
    auto Form = std::make_unique<TThingForm>();
    auto* A = new TThing(Form.get());
    auto* B = new TThing(Form.get());
    A->SetName("Alpha");
    B->SetName("Beta");
    ASSERT_EQ(Form->ComponentCount(), 2);
    EXPECT_EQ(Form->Components(1), B);
    EXPECT_EQ(B->GetComponentIndex(), 1);
    EXPECT_EQ(Form->FindComponent("ALPHA"), A);
    EXPECT_EQ(Form->FindComponent("Gamma"), nullptr);
    EXPECT_THROW(Form->Components(2), EComponentError);
    delete A;  // leaves its owner
    EXPECT_EQ(Form->ComponentCount(), 1);
    EXPECT_EQ(Form->Components(0), B);
    B->SetName("Thing1");
    EXPECT_EQ(Form->Thing1, B) << "the published field follows the name";
    B->SetName("Other");
    EXPECT_EQ(Form->Thing1, nullptr);
    Form.reset();  // deletes B; the sanitizers see a leak or double delete
}

TEST(Component, NamesMustBeIdentifiersAndUniqueInTheOwner) {
    TThingForm Form;
    auto* A = new TThing(&Form);
    auto* B = new TThing(&Form);
    A->SetName("Alpha");
    struct Case {
        const char* Name;
        const char* Message;  // nullptr: accepted
    };
    const Case Cases[] = {
        {"Beta_2", nullptr},
        {"_x", nullptr},
        {"", nullptr},
        {"2Beta", "Component name \"2Beta\" is not a valid identifier"},
        {"Be ta", "Component name \"Be ta\" is not a valid identifier"},
        {"B\xC3\xA9", "Component name \"B\xC3\xA9\" is not a valid identifier"},
        {"alpha", "A component named alpha already exists"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        if (!C.Message) {
            B->SetName(C.Name);
            EXPECT_EQ(B->GetName(), C.Name);
            continue;
        }
        const AnsiString Before = B->GetName();
        try {
            B->SetName(C.Name);
            ADD_FAILURE() << "accepted";
        } catch (const EComponentError& E) {
            EXPECT_EQ(E.GetMessage(), C.Message);
        }
        EXPECT_EQ(B->GetName(), Before);
    }
    A->SetName("ALPHA");  // its own name in another case is no clash
    EXPECT_EQ(A->GetName(), "ALPHA");
}

TEST(Component, DesigningComesFromTheOwnerAtConstruction) {
    TThingForm Form;
    Form.SetDesigning(true);
    auto* A = new TThing(&Form);
    EXPECT_TRUE(A->ComponentState().Contains(csDesigning));
    EXPECT_EQ(A->ComponentState().ToInt(), 0x10u);
    Form.SetDesigning(false);
    EXPECT_FALSE(A->ComponentState().Contains(csDesigning)) << "SetDesigning reaches the owned components";
    TThingForm Plain;
    TThing B(&Plain);
    EXPECT_FALSE(B.ComponentState().Contains(csDesigning));
}

class TWatcher : public TComponent {
    TYPECASK_CLASS(TWatcher, TComponent)

public:
    using TComponent::TComponent;
    std::vector<std::pair<TComponent*, TOperation>> Seen;
    void Notification(TComponent* C, TOperation Op) override {
        TComponent::Notification(C, Op);
        Seen.emplace_back(C, Op);
    }
};
TYPECASK_IMPLEMENT_CLASS(TWatcher)
void TWatcher::Publish(TPublisher<TWatcher>&) {}

TEST(Component, NotificationsOfInsertRemoveAndDestruction) {
    TThingForm Form;
    TWatcher Owned(&Form);
    auto* A = new TThing(&Form);
    ASSERT_EQ(Owned.Seen.size(), 1u);
    EXPECT_EQ(Owned.Seen[0].first, A);
    EXPECT_EQ(Owned.Seen[0].second, opInsert);
    delete A;
    ASSERT_EQ(Owned.Seen.size(), 2u);
    EXPECT_EQ(Owned.Seen[1].first, Owned.Seen[0].first);
    EXPECT_EQ(Owned.Seen[1].second, opRemove);

    TWatcher Outside(nullptr);
    {
        TThingForm Other;
        TThing B(&Other);
        B.FreeNotification(&Outside);
        Outside.Seen.clear();
    }  // B is destroyed and tells Outside
    ASSERT_FALSE(Outside.Seen.empty());
    EXPECT_EQ(Outside.Seen.front().second, opRemove);
}

TEST(PublishedProperties, ListInDeclarationOrderWithAncestorsFirst) {
    std::vector<std::string> Names;
    for (const TPropInfo* P : GetPropList(TLoudThing::StaticClass())) Names.push_back(P->Name);
    const std::vector<std::string> Expected = {"Name", "Tag", "Enabled", "Count", "Big", "Kind", "Flags", "Color",
                                               "Caption", "Sub", "Lines", "Buddy", "OnClick", "Hidden", "Major",
                                               "Minor", "Never"};
    EXPECT_EQ(Names, Expected);
    const TPropInfo* Kind = TThing::StaticClass()->FindProperty("kind");
    ASSERT_NE(Kind, nullptr);
    EXPECT_EQ(Kind->Type->Kind, tkEnumeration);
    EXPECT_EQ(Kind->Type->Name, "TThingKind");
    EXPECT_EQ(GetEnumName(Kind->Type, 2), "tkdLarge");
    EXPECT_EQ(GetEnumValue(Kind->Type, "TKDSMALL"), 1);
    EXPECT_EQ(GetEnumValue(Kind->Type, "nope"), -1);
    const TPropInfo* Sub = TThing::StaticClass()->FindProperty("Sub");
    EXPECT_EQ(Sub->Type->ClassType(), TSubObject::StaticClass());
    EXPECT_EQ(TThing::StaticClass()->FindProperty("OnClick")->Type->Name, "TNotifyEvent");
    EXPECT_EQ(TThing::StaticClass()->FindProperty("Major")->Index, 0);
    EXPECT_FALSE(TSubObject::StaticClass()->FindProperty("Inner")->IsWritable());
}

// What an object inspector does: list every property with its value as text
// and set values from text, through the one registry the streamers use.
TEST(PublishedProperties, InspectorReadsAndWritesValuesAsText) {
    TThingForm Form;
    auto* T = new TLoudThing(&Form);
    T->SetName("Loud");
    T->FOnClick = TNotifyEvent(&Form, &TThingForm::ThingClick);
    T->FBuddy = T;
    struct Case {
        const char* Property;
        const char* Set;       // typed in; nullptr: only read
        const char* Expected;  // shown afterwards
    };
    const Case Cases[] = {
        {"Name", nullptr, "Loud"},
        {"Enabled", "false", "False"},
        {"Count", "0x10", "16"},
        {"Big", "-9000000000", "-9000000000"},
        {"Kind", "tkdSmall", "tkdSmall"},
        {"Flags", "[tfUnderline, tfBold]", "[tfBold, tfUnderline]"},
        {"Color", "clWindowText", "clWindowText"},
        {"Caption", "hi", "hi!"},  // through the overridden virtual setter
        {"Sub", nullptr, "(TSubObject)"},
        {"Buddy", nullptr, "Loud"},
        {"OnClick", nullptr, "ThingClick"},
        {"Minor", "7", "7"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Property);
        const TPropInfo* P = GetPropInfo(T, C.Property);
        ASSERT_NE(P, nullptr);
        if (C.Set) SetPropValueText(T, P, C.Set);
        EXPECT_EQ(GetPropValueText(T, P), C.Expected);
    }
    EXPECT_EQ(T->FVersion[1], "7") << "the indexed writer got its index";
    const TPropInfo* Count = GetPropInfo(T, "Count");
    EXPECT_THROW(SetPropValueText(T, Count, "12abc"), EPropertyError);
    EXPECT_THROW(SetPropValueText(T, Count, "99999999999"), EPropertyError);
    EXPECT_THROW(SetPropValueText(T, GetPropInfo(T, "Kind"), "tkdHuge"), EPropertyError);
    EXPECT_THROW(SetPropValueText(T, GetPropInfo(T, "Flags"), "[tfBlink]"), EPropertyError);
    EXPECT_THROW(SetObjectProp(T, GetPropInfo(T, "Buddy"), &Form), EPropertyError) << "a form is no TThing";
    EXPECT_THROW(SetObjectProp(T, GetPropInfo(T->FSub, "Inner"), nullptr), EPropertyError);
    // Tag is as wide as a pointer: a value it cannot hold is refused, not cut.
    const TPropInfo* Tag = GetPropInfo(T, "Tag");
    const std::int64_t Wide = std::int64_t{1} << 40;
    if (sizeof(std::intptr_t) < sizeof Wide) {
        EXPECT_THROW(SetOrdProp(T, Tag, Wide), EPropertyError);
        EXPECT_EQ(T->GetTag(), 0);
    } else {
        SetOrdProp(T, Tag, Wide);
        EXPECT_EQ(static_cast<std::int64_t>(T->GetTag()), Wide);
    }
    EXPECT_FALSE(IsPropDefault(T, GetPropInfo(T, "Count")));
    SetOrdProp(T, Count, 0);
    EXPECT_TRUE(IsPropDefault(T, Count));
}

TEST(PublishedProperties, EventsBindToPublishedMethodsOnly) {
    TThingForm Form;
    TThing T(&Form);
    T.FOnClick = TNotifyEvent(&Form, &TThingForm::ThingClick);
    T.FOnClick(&T);
    EXPECT_EQ(Form.FClicks, 1);
    EXPECT_EQ(T.FOnClick.Data(), &Form);
    const TPropInfo* OnClick = GetPropInfo(&T, "OnClick");
    TMethod Wrong{&Form, Form.ClassType()->FindMethod("WrongSignature")};
    EXPECT_THROW(SetMethodProp(&T, OnClick, Wrong), EPropertyError);
    SetMethodProp(&T, OnClick, TMethod{});
    EXPECT_FALSE(T.FOnClick);
    T.FOnClick(&T);  // an empty event does nothing
    EXPECT_EQ(Form.FClicks, 1);
    EXPECT_THROW(TNotifyEvent(&Form, &TThingForm::NotPublished), EPropertyError);
}

TEST(StringList, IndexOfIgnoresCaseAndSortedListsKeepTheirOrder) {
    TStringList L;
    L.Add("Beta");
    L.Add("alpha");
    EXPECT_EQ(L.IndexOf("ALPHA"), 1);
    EXPECT_EQ(L.IndexOf("gamma"), -1);
    L.SetSorted(true);
    EXPECT_EQ(L.GetText(), "alpha\nBeta\n");
    EXPECT_EQ(L.Add("Alpha"), 1) << "an equal item goes after those already there";
    EXPECT_EQ(L.Add("_x"), 0) << "punctuation sorts before letters";
    EXPECT_EQ(L.Add("\xC3\xA9t\xC3\xA9"), 4) << "an accented letter sorts as its letter: after B";
    EXPECT_EQ(L.Add("0"), 0);
    EXPECT_EQ(L.GetText(), "0\n_x\nalpha\nAlpha\nBeta\n\xC3\xA9t\xC3\xA9\n");
    EXPECT_EQ(L.IndexOf("BETA"), 4);
    EXPECT_THROW(L.Insert(0, "x"), EStringListError);
    L.SetDuplicates(dupIgnore);
    EXPECT_EQ(L.Add("beta"), 4);
    EXPECT_EQ(L.Count(), 6);
    L.SetDuplicates(dupError);
    EXPECT_THROW(L.Add("BETA"), EStringListError);
}

TEST(StringList, EditsTextAndBounds) {
    TStringList L;
    L.SetText("one\r\ntwo\n\nthree");
    ASSERT_EQ(L.Count(), 4);
    EXPECT_EQ(L[2], "");
    L.Delete(2);
    L.Insert(0, "zero");
    L.Put(1, "uno");
    EXPECT_EQ(L.GetText(), "zero\nuno\ntwo\nthree\n");
    EXPECT_EQ(L.Strings(3), "three");
    EXPECT_EQ(L.GetCommaText(), "zero,uno,two,three");
    try {
        L.Get(4);
        FAIL() << "no error";
    } catch (const EStringListError& E) {
        EXPECT_STREQ(E.what(), "List index out of bounds (4)");
    }
    EXPECT_THROW(L.Delete(-1), EStringListError);
    EXPECT_THROW(L.Insert(6, "x"), EStringListError);
    L.Clear();
    EXPECT_EQ(L.Count(), 0);
    EXPECT_EQ(AnsiCompareText("abc", "ABD"), -1);
    EXPECT_TRUE(AnsiSameText("MiXeD", "mixed"));
}

}  // namespace
