// Form data written and read back: every kind of value, defaults, nested
// names, the order of Loaded, the reader's states and its error handling.
#include <gtest/gtest.h>

#include <functional>

#include "tests/platform/classes/TestClasses.h"

namespace {

class Streaming : public testing::Test {
protected:
    void SetUp() override {
        RegisterClasses({TThing::StaticClass(), TLoudThing::StaticClass(), TThingForm::StaticClass()});
        TThing::Log().clear();
        Form = std::make_unique<TThingForm>();
        Form->SetName("Form1");
        Thing = new TThing(Form.get());
        Thing->SetName("Thing1");
    }

    // The lines of the form's text between the component header and "end".
    static std::string PropertyLines(const std::string& Binary) {
        const std::string Text = FormText(Binary);
        const auto Start = Text.find("object Thing1: TThing\n");
        if (Start == std::string::npos) return Text;
        const auto Body = Start + std::string("object Thing1: TThing\n").size();
        return Text.substr(Body, Text.find("  end\n", Body) - Body);
    }

    std::unique_ptr<TThingForm> Form;
    TThing* Thing;
};

struct ValueCase {
    const char* Name;
    std::function<void(TThing*)> Set;
    const char* Text;  // the property's lines in the text form
    std::function<bool(const TThing*)> Check;
};

TEST_F(Streaming, EveryKindOfValueRoundTrips) {
    const AnsiString Long(300, 'x');
    const ValueCase Cases[] = {
        {"false boolean", [](TThing* T) { T->FEnabled = false; }, "    Enabled = False\n",
         [](const TThing* T) { return !T->FEnabled; }},
        {"int8", [](TThing* T) { T->FCount = -128; }, "    Count = -128\n", [](const TThing* T) { return T->FCount == -128; }},
        {"int16", [](TThing* T) { T->FCount = 300; }, "    Count = 300\n", [](const TThing* T) { return T->FCount == 300; }},
        {"int32", [](TThing* T) { T->FCount = -2147483647 - 1; }, "    Count = -2147483648\n",
         [](const TThing* T) { return T->FCount == -2147483647 - 1; }},
        {"int64", [](TThing* T) { T->FBig = -9000000000; }, "    Big = -9000000000\n",
         [](const TThing* T) { return T->FBig == -9000000000; }},
        {"enumeration", [](TThing* T) { T->FKind = tkdLarge; }, "    Kind = tkdLarge\n",
         [](const TThing* T) { return T->FKind == tkdLarge; }},
        {"set", [](TThing* T) { T->FFlags = {tfItalic, tfUnderline}; }, "    Flags = [tfItalic, tfUnderline]\n",
         [](const TThing* T) { return T->FFlags == TThingFlags{tfItalic, tfUnderline}; }},
        {"empty set differing from its default", [](TThing* T) { T->FFlags = {}; }, "    Flags = []\n",
         [](const TThing* T) { return T->FFlags.Empty(); }},
        {"integer written as its identifier", [](TThing* T) { T->FColor = TThingColor(-16777208); },
         "    Color = clWindowText\n", [](const TThing* T) { return T->FColor == -16777208; }},
        {"integer without identifier", [](TThing* T) { T->FColor = TThingColor(255); }, "    Color = 255\n",
         [](const TThing* T) { return T->FColor == 255; }},
        {"short string with quote and control", [](TThing* T) { T->FCaption = "it's\ta"; },
         "    Caption = 'it''s'#9'a'\n", [](const TThing* T) { return T->FCaption == "it's\ta"; }},
        {"UTF-8 string", [](TThing* T) { T->FCaption = "\xC3\xA9"; }, "    Caption = #195#169\n",
         [](const TThing* T) { return T->FCaption == "\xC3\xA9"; }},
        {"long string", [&](TThing* T) { T->FCaption = Long; }, nullptr,
         [&](const TThing* T) { return T->FCaption == Long; }},
        {"nested sub-object names", [](TThing* T) { T->FSub->FText = "a"; T->FSub->FInner->FValue = 5; },
         "    Sub.Text = 'a'\n    Sub.Inner.Value = 5\n",
         [](const TThing* T) { return T->FSub->FText == "a" && T->FSub->FInner->FValue == 5; }},
        {"string list", [](TThing* T) { T->FLines->Add("one"); T->FLines->Add(""); },
         "    Lines.Strings = (\n      'one'\n      ''\n    )\n",
         [](const TThing* T) { return T->FLines->GetText() == "one\n\n"; }},
        {"indexed properties", [](TThing* T) { T->SetVersion(0, "1"); T->SetVersion(1, "2"); T->SetVersion(2, "3"); },
         "    Major = '1'\n    Minor = '2'\n",
         [](const TThing* T) { return T->FVersion[0] == "1" && T->FVersion[1] == "2" && T->FVersion[2].empty(); }},
        {"stored predicate true", [](TThing* T) { T->FHidden = "keep"; }, "    Hidden = 'keep'\n",
         [](const TThing* T) { return T->FHidden == "keep"; }},
        {"stored predicate false", [](TThing* T) { T->FHidden = "skip"; }, "",
         [](const TThing* T) { return T->FHidden.empty(); }},
        {"event", [](TThing* T) { T->FOnClick = TNotifyEvent(static_cast<TThingForm*>(T->Owner()), &TThingForm::ThingClick); },
         "    OnClick = ThingClick\n", [](const TThing* T) { return T->FOnClick.MethodName() == "ThingClick"; }},
        {"event without published method", [](TThing* T) { T->FOnClick = TNotifyEvent(std::function<void(TObject*)>([](TObject*) {})); },
         "", [](const TThing* T) { return !T->FOnClick; }},
        {"empty binary", [](TThing* T) { T->FData = std::make_unique<TMemoryStream>(); }, "    Data = {\n    }\n",
         [](const TThing* T) { return T->FData && T->FData->GetSize() == 0; }},
        {"binary", [](TThing* T) { T->FData = std::make_unique<TMemoryStream>(); T->FData->WriteBuffer("\x01\xAB", 2); },
         "    Data = {\n      01AB\n    }\n",
         [](const TThing* T) { return T->FData && T->FData->GetSize() == 2 && T->FData->GetMemory()[1] == 0xAB; }},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        SetUp();
        C.Set(Thing);
        const std::string Binary = WriteForm(Form.get());
        if (C.Text) {
            EXPECT_EQ(PropertyLines(Binary), C.Text);
        }
        EXPECT_EQ(TextToForm(FormText(Binary)), Binary) << "text and binary forms do not round-trip";
        TThingForm Copy;
        ReadForm(Binary, &Copy);
        ASSERT_EQ(Copy.ComponentCount(), 1);
        auto* Read = dynamic_cast<TThing*>(Copy.Components(0));
        ASSERT_NE(Read, nullptr);
        EXPECT_TRUE(C.Check(Read));
        EXPECT_EQ(WriteForm(&Copy), Binary) << "what was read writes back differently";
    }
}

TEST_F(Streaming, DefaultsAreNotWritten) {
    EXPECT_EQ(FormText(WriteForm(Form.get())), "object Form1: TThingForm\n  object Thing1: TThing\n  end\nend\n");
    // A value that equals its default is not written even when it was set.
    Thing->FEnabled = false;
    Thing->FEnabled = true;
    Thing->SetTag(0);
    EXPECT_EQ(PropertyLines(WriteForm(Form.get())), "");
    Thing->SetTag(-1);
    EXPECT_EQ(PropertyLines(WriteForm(Form.get())), "    Tag = -1\n");
}

TEST_F(Streaming, ReaderCallsTheVirtualSetterOfTheActualClass) {
    const std::string Text = "object Form1: TThingForm\n  object Loud1: TLoudThing\n    Caption = 'hi'\n  end\nend\n";
    TThingForm Copy;
    ReadForm(TextToForm(Text), &Copy);
    auto* Loud = dynamic_cast<TLoudThing*>(Copy.FindComponent("loud1"));
    ASSERT_NE(Loud, nullptr) << "created through the class registry by name";
    EXPECT_EQ(Loud->FCaption, "hi!");
}

TEST_F(Streaming, LoadedComesOnceForEveryComponentAfterTheWholeForm) {
    const std::string Text =
        "object Form1: TThingForm\n"
        "  object A: TThing\n    Caption = 'a'\n  end\n"
        "  object B: TThing\n    Caption = 'b'\n    Data = {\n      00\n    }\n  end\n"
        "end\n";
    TThingForm Copy;
    ReadForm(TextToForm(Text), &Copy);
    const std::vector<std::string> Expected = {"A.Caption", "B.Caption", "B.Data", "Form1.Loaded", "A.Loaded a b",
                                               "B.Loaded a b"};
    EXPECT_EQ(TThing::Log(), Expected);
    for (TComponent* C : {static_cast<TComponent*>(&Copy), Copy.Components(0), Copy.Components(1)})
        EXPECT_FALSE(C->ComponentState().Contains(csLoading) || C->ComponentState().Contains(csReading));
}

TEST_F(Streaming, SettersSeeReadingAndLoadingStatesAndDesigningFromTheOwner) {
    const std::string Text = "object Form1: TThingForm\n  object A: TThing\n    Enabled = False\n  end\nend\n";
    for (bool Designing : {false, true}) {
        TThingForm Copy;
        Copy.SetDesigning(Designing);
        ReadForm(TextToForm(Text), &Copy);
        auto* A = static_cast<TThing*>(Copy.FindComponent("A"));
        EXPECT_TRUE(A->FStateInSetter.Contains(csReading));
        EXPECT_TRUE(A->FStateInSetter.Contains(csLoading));
        EXPECT_EQ(A->FStateInSetter.Contains(csDesigning), Designing);
        EXPECT_EQ(A->FStateInSetter.ToInt() & 0x12, Designing ? 0x12u : 0x02u) << "csReading 0x02, csDesigning 0x10";
        A->SetEnabled(true);
        EXPECT_FALSE(A->FStateInSetter.Contains(csReading));
    }
}

TEST_F(Streaming, ReferencesEventsAndFieldsAreBoundByName) {
    const std::string Text =
        "object Form1: TThingForm\n"
        "  object Thing1: TThing\n    Buddy = Thing2\n    OnClick = ThingClick\n  end\n"
        "  object Thing2: TThing\n    Buddy = Form1.Thing1\n  end\n"
        "end\n";
    TThingForm Copy;
    ReadForm(TextToForm(Text), &Copy);
    ASSERT_NE(Copy.Thing1, nullptr) << "the published field receives the component of its name";
    auto* Thing2 = static_cast<TThing*>(Copy.FindComponent("Thing2"));
    EXPECT_EQ(Copy.Thing1->FBuddy, Thing2) << "a forward reference is resolved at the end";
    EXPECT_EQ(Thing2->FBuddy, Copy.Thing1);
    Copy.Thing1->FOnClick(Copy.Thing1);
    EXPECT_EQ(Copy.FClicks, 1);
    EXPECT_EQ(PropertyLines(WriteForm(&Copy)), "    Buddy = Thing2\n    OnClick = ThingClick\n");
}

struct ErrorCase {
    const char* Name;
    const char* Properties;  // text inside "object Thing1: TThing"
    const char* Message;     // what the error says
};

const ErrorCase PropertyErrors[] = {
    {"unknown property", "Bogus = 1", "Error reading Thing1.Bogus: Property Bogus does not exist"},
    {"unknown nested property", "Sub.Nope = 1", "Error reading Thing1.Sub.Nope: Property Nope does not exist"},
    {"path through a non-object", "Count.X = 1", "Error reading Thing1.Count.X: Property Count does not exist"},
    {"string for an integer", "Count = 'x'", "Error reading Thing1.Count: Invalid property value: expected an integer, found vaString"},
    {"integer out of range", "Count = 9000000000", "Error reading Thing1.Count: Invalid property value: 9000000000 is out of range"},
    {"unknown enumeration identifier", "Kind = tkdHuge", "Error reading Thing1.Kind: Invalid property value tkdHuge"},
    {"unknown set element", "Flags = [tfBold, tfBlink]", "Error reading Thing1.Flags: Invalid property value: tfBlink is no element of set of TThingFlag"},
    {"unknown method", "OnClick = Nowhere", "Error reading Thing1.OnClick: Method Nowhere not found in class TThingForm"},
    {"method of another signature", "OnClick = WrongSignature", "Error reading Thing1.OnClick: Method WrongSignature does not fit the event type TNotifyEvent"},
    {"unresolved reference", "Buddy = Ghost", "Error reading Thing1.Buddy: unresolved component reference Ghost"},
    {"list for a binary property", "Data = ( )", "Error reading Thing1.Data: Invalid property value: expected a binary value, found vaList"},
    {"binary for a string", "Caption = { 00 }", "Error reading Thing1.Caption: Invalid property value: expected a string, found vaBinary"},
    {"unknown property holding a wide string", "Bogus = 'x'#8364'y'#55357#56832",
     "Error reading Thing1.Bogus: Property Bogus does not exist"},
};

TEST_F(Streaming, PropertyErrorsNameComponentAndPropertyAndPassOutWithoutHandler) {
    for (const auto& C : PropertyErrors) {
        SCOPED_TRACE(C.Name);
        const std::string Text = std::string("object Form1: TThingForm\n  object Thing1: TThing\n    ") + C.Properties +
                                 "\n    Caption = 'after'\n  end\nend\n";
        TThingForm Copy;
        try {
            ReadForm(TextToForm(Text), &Copy);
            ADD_FAILURE() << "no error";
        } catch (const EReadError& E) {
            EXPECT_EQ(E.GetMessage(), C.Message);
        }
        EXPECT_EQ(Copy.ComponentCount(), 0) << "the half-read component is deleted";
    }
}

TEST_F(Streaming, HandledErrorsSkipThePropertyAndReadingGoesOn) {
    for (const auto& C : PropertyErrors) {
        SCOPED_TRACE(C.Name);
        const std::string Text = std::string("object Form1: TThingForm\n  object Thing1: TThing\n    ") + C.Properties +
                                 "\n    Caption = 'after'\n  end\nend\n";
        TThingForm Copy;
        std::vector<std::string> Reported;
        ReadForm(TextToForm(Text), &Copy, [&](TReader*, const Exception& E, bool& Handled) {
            Reported.push_back(E.GetMessage());
            Handled = true;
        });
        EXPECT_EQ(Reported, std::vector<std::string>{C.Message});
        ASSERT_NE(Copy.Thing1, nullptr);
        EXPECT_EQ(Copy.Thing1->FCaption, "after");
    }
}

TEST_F(Streaming, ErrorsOfTheComponentsOwnPassUnchangedAndCanBeHandled) {
    const std::string Text =
        "object Form1: TThingForm\n  object Thing1: TThing\n    Caption = 'refuse'\n    Count = 3\n  end\nend\n";
    {
        TThingForm Copy;
        try {
            ReadForm(TextToForm(Text), &Copy);
            ADD_FAILURE() << "no error";
        } catch (const ETestError& E) {
            EXPECT_EQ(E.GetMessage(), "caption refused") << "the component's own message is kept as it is";
        }
    }
    TThingForm Copy;
    int Errors = 0;
    ReadForm(TextToForm(Text), &Copy, [&](TReader*, const Exception& E, bool& Handled) {
        ++Errors;
        Handled = dynamic_cast<const ETestError*>(&E) != nullptr;
    });
    EXPECT_EQ(Errors, 1);
    EXPECT_EQ(Copy.Thing1->FCount, 3);

    // Each of several errors in a row is offered, the last one unhandled
    // only once although it passes out through the component and the root.
    const std::string Three = "object Form1: TThingForm\n  object A: TThing\n    Caption = 'refuse'\n"
                              "    Caption = 'refuse'\n  end\n  object B: TThing\n    Caption = 'refuse'\n  end\nend\n";
    int Offered = 0;
    TThingForm Again;
    EXPECT_THROW(ReadForm(TextToForm(Three), &Again,
                          [&](TReader*, const Exception&, bool& Handled) { Handled = ++Offered < 3; }),
                 ETestError);
    EXPECT_EQ(Offered, 3);
}

TEST_F(Streaming, UnknownClassRaisesClassNotFoundOrIsSkippedWhenHandled) {
    const std::string Text =
        "object Form1: TThingForm\n  object X: TNoSuchThing\n    A = 1\n    object Y: TThing\n    end\n  end\n"
        "  object Thing1: TThing\n    Count = 2\n  end\nend\n";
    {
        TThingForm Copy;
        try {
            ReadForm(TextToForm(Text), &Copy);
            ADD_FAILURE() << "no error";
        } catch (const EClassNotFound& E) {
            EXPECT_EQ(E.GetMessage(), "Error reading X: Class TNoSuchThing not found");
        }
    }
    TThingForm Copy;
    ReadForm(TextToForm(Text), &Copy, [](TReader*, const Exception&, bool& Handled) { Handled = true; });
    ASSERT_EQ(Copy.ComponentCount(), 1);
    EXPECT_EQ(Copy.Thing1->FCount, 2);
}

// Every way of cutting a form short or breaking it gets an EReadError (or
// EClassNotFound) and never a crash or a huge allocation.
TEST_F(Streaming, TruncatedFormsAlwaysRaiseReadErrors) {
    Thing->FCaption = std::string(300, 'c');
    Thing->FSub->FText = "s";
    Thing->FLines->Add("l");
    Thing->FFlags = {tfItalic};
    Thing->FData = std::make_unique<TMemoryStream>();
    Thing->FData->WriteBuffer("abcdef", 6);
    const std::string Binary = WriteForm(Form.get());
    for (std::size_t N = 0; N < Binary.size(); ++N) {
        SCOPED_TRACE(N);
        TThingForm Copy;
        EXPECT_THROW(ReadForm(Binary.substr(0, N), &Copy), EReadError);
        EXPECT_EQ(Copy.ComponentCount(), 0);
        TMemoryStream Out;
        TMemoryStream In;
        In.WriteBuffer(Binary.data(), static_cast<std::int64_t>(N));
        In.SetPosition(0);
        EXPECT_THROW(ObjectBinaryToText(&In, &Out), EReadError);
    }
}

std::string Le32(std::uint32_t V) {
    return {static_cast<char>(V), static_cast<char>(V >> 8), static_cast<char>(V >> 16), static_cast<char>(V >> 24)};
}

TEST_F(Streaming, HostileFormsGetClearErrors) {
    const std::string Head = std::string("TPF0\x0ATThingForm\x05" "Form1") + std::string(1, '\0') +
                             std::string("\x06TThing\x06Thing1");
    struct Case {
        const char* Name;
        std::string Data;
        const char* Message;
    };
    const Case Cases[] = {
        {"wrong signature", "TPF1\x0ATThingForm", "Invalid stream format: the form data does not start with the signature TPF0"},
        {"empty", "", "Invalid stream format: the form data does not start with the signature TPF0"},
        {"absurd string length", Head + "\x07" "Caption" + "\x0C" + Le32(0x7FFFFFFF) + "abc",
         "Error reading Thing1.Caption: Invalid stream format: a string of 2147483647 bytes, but only 3 bytes remain"},
        {"absurd binary length", Head + "\x04" "Data" + "\x0A" + Le32(0xFFFFFFF0) + "abc",
         "Error reading Thing1.Data: Invalid stream format: a binary value of 4294967280 bytes, but only 3 bytes remain"},
        {"absurd wide string length", Head + "\x07" "Caption" + "\x12" + Le32(0x80000000),
         "Error reading Thing1.Caption: Invalid stream format: a string of 4294967296 bytes, but only 0 bytes remain"},
        {"unknown value type", Head + "\x05" "Count" + "\x7F", "Error reading Thing1.Count: Invalid stream format: unknown value type 127"},
        {"nested list where texts belong", Head + "\x0D" "Lines.Strings" + std::string(5000, '\x01'),
         "Error reading Thing1.Lines.Strings: Invalid property value: expected a string, found vaList"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TThingForm Copy;
        try {
            ReadForm(C.Data, &Copy);
            ADD_FAILURE() << "no error";
        } catch (const EReadError& E) {
            EXPECT_EQ(E.GetMessage(), C.Message);
        }
    }
    // Deep nesting is cut off instead of exhausting the stack, for the
    // reader's skipping and the text converter alike.
    const std::string Deep = Head + "\x05" "Bogus" + std::string(100000, '\x01');
    TThingForm Copy;
    EXPECT_THROW(ReadForm(Deep, &Copy, [](TReader*, const Exception&, bool& H) { H = true; }), EReadError);
    TMemoryStream In, Out;
    In.WriteBuffer(Deep.data(), static_cast<std::int64_t>(Deep.size()));
    In.SetPosition(0);
    EXPECT_THROW(ObjectBinaryToText(&In, &Out), EReadError);
}

TEST_F(Streaming, TextParserReportsTheLine) {
    struct Case {
        const char* Text;
        const char* Message;
    };
    const Case Cases[] = {
        {"thing A: B\nend\n", "Line 1: 'object' expected but 'thing' found"},
        {"object A: B\n  X = )\nend\n", "Line 2: value expected but ')' found"},
        {"object A: B\n  X = 'abc\nend\n", "Line 2: unterminated string"},
        {"object A: B\n  X = {\n  0G\n  }\nend\n", "Line 3: invalid character 'G' in a binary value"},
        {"object A: B\n  X = { 0 }\nend\n", "Line 2: odd number of hexadecimal digits in a binary value"},
        {"object A: B\n  X = [a b]\nend\n", "Line 2: ',' or ']' expected but 'b' found"},
        {"object A: B\n  X = 99999999999999999999\nend\n", "Line 2: integer out of range: 99999999999999999999"},
        {"object A: B\n  X = #1114112\nend\n", "Line 2: invalid character code"},
        {"object A: B\n  X = 'a' +\n 1\nend\n", "Line 2: 'end' expected but '+' found"},
        {"object A: B\n  '' = 1\nend\n", "Line 2: empty property name"},
        {"object A: B\n", "Line 2: 'end' expected but end of text found"},
        {"object A: B\nend\nend\n", "Line 3: end of text expected after the last 'end'"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Text);
        try {
            TextToForm(C.Text);
            ADD_FAILURE() << "no error";
        } catch (const EParserError& E) {
            EXPECT_EQ(E.GetMessage(), C.Message);
        }
    }
}

// Lists, collections and components nested far beyond the limit, each all on
// one line, give the parser's error instead of exhausting the stack.
TEST_F(Streaming, TextParserRefusesDeepNesting) {
    constexpr int Deep = 100000;
    std::string Items, Objects;
    for (int I = 0; I < Deep; ++I) Items += "<item X = ", Objects += "object A: B ";
    const std::string Texts[] = {"object A: B X = " + std::string(2 * Deep, '('), "object A: B X = " + Items, Objects};
    for (const auto& Text : Texts) {
        SCOPED_TRACE(Text.substr(16, 20));
        try {
            TextToForm(Text);
            ADD_FAILURE() << "no error";
        } catch (const EParserError& E) {
            EXPECT_EQ(E.GetMessage(), Format("Line 1: values nest more than %d deep", {FilerNestingLimit}));
        }
    }
}

TEST_F(Streaming, TextFormOfEveryValueTypeRoundTrips) {
    const std::string Text =
        "object Form1: TThingForm\n"
        "  Ints = (\n    -1\n    40000\n    -9000000000\n  )\n"
        "  Strs = (\n    'plain'\n    'it''s'#13#10\n    #200#255\n    +Inf\n    'x'#8364'y'\n    ''\n  )\n"
        "  Idents = (\n    True\n    False\n    nil\n    clRed\n  )\n"
        "  Sets = [a, b]\n  Empty = []\n  Named = [Nan, Inf]\n"
        "  Coll = <  \n    item\n      A = 1\n    end  \n    item\n    end>\n"
        "  Real =  2.50000000000000000000E+0000\n"
        "  Bin = {\n    " + std::string(64, 'A') + "\n    0102\n  }\n"
        "  object Child: TThing\n    Sub.Inner.Value = 3\n  end\n"
        "  inherited Inh: TThing\n  end\n  inline Inl: TThing\n  end\n  object Pos: TThing[2]\n  end\n"
        "end\n";
    EXPECT_EQ(FormText(TextToForm(Text)), Text);
}

// Values no text form writes, and names no identifier spells: each shows in
// the text, is skipped whole when its property is unknown, and converts back.
TEST_F(Streaming, EveryStoredValueConvertsAndIsSkippedWhole) {
    auto Le = [](std::uint64_t V, int Bytes) {
        std::string S;
        for (int I = 0; I < Bytes; ++I) S += static_cast<char>(V >> (8 * I));
        return S;
    };
    auto Form = [](const std::string& Header, const std::string& Properties) {
        return std::string("TPF0\x0ATThingForm\x05" "Form1", 21) + '\0' + Header + Properties +
               "\x07" "Caption" "\x06\x05" "after" + std::string(3, '\0');
    };
    const std::string Thing = "\x06TThing\x06Thing1";
    struct Case {
        const char* Name;
        std::string Header, Properties;  // of the component in the form
        const char* Text;                // its lines in the text form
        bool SameBinary;                 // whether the text converts back to the same bytes
    };
    const Case Cases[] = {
        {"double", Thing, "\x05" "Bogus" "\x17" + Le(0x4004000000000000, 8),
         "  object Thing1: TThing\n    Bogus =  2.50000000000000000000E+0000\n", false},
        {"single", Thing, "\x05" "Bogus" "\x0F" + Le(0xC0200000, 4),
         "  object Thing1: TThing\n    Bogus = -2.50000000000000000000E+0000\n", false},
        {"currency", Thing, "\x05" "Bogus" "\x10" + Le(25000, 8),
         "  object Thing1: TThing\n    Bogus =  2.50000000000000000000E+0000\n", false},
        {"NaN", Thing, "\x05" "Bogus" "\x05" + Le(0xC000000000000000, 8) + Le(0x7FFF, 2),
         "  object Thing1: TThing\n    Bogus = Nan\n", true},
        {"negative NaN", Thing, "\x05" "Bogus" "\x05" + Le(0xC000000000000000, 8) + Le(0xFFFF, 2),
         "  object Thing1: TThing\n    Bogus = -Nan\n", true},
        {"infinity", Thing, "\x05" "Bogus" "\x05" + Le(0x8000000000000000, 8) + Le(0x7FFF, 2),
         "  object Thing1: TThing\n    Bogus = +Inf\n", true},
        {"negative zero", Thing, "\x05" "Bogus" "\x05" + Le(0, 8) + Le(0x8000, 2),
         "  object Thing1: TThing\n    Bogus = -0.00000000000000000000E+0000\n", true},
        {"wide string with a lone surrogate", Thing, "\x05" "Bogus" "\x12" + Le(3, 4) + Le(0x0061DC0020AC, 6),
         "  object Thing1: TThing\n    Bogus = #8364#56320'a'\n", true},
        {"UTF-8 string", Thing, "\x05" "Bogus" "\x14" + Le(3, 4) + "\xC0\x80" "a",
         "  object Thing1: TThing\n    Bogus = #65533#65533'a'\n", false},
        {"unsigned 64 bits", Thing, "\x05" "Bogus" "\x16" + Le(~0ull, 8),
         "  object Thing1: TThing\n    Bogus = 18446744073709551615\n", true},
        {"empty class", std::string("\xF0\0\x06" "Thing1", 9), "", "  object Thing1: ''\n", true},
        {"property named like a keyword", Thing, "\x03" "end" "\x02\x02", "  object Thing1: TThing\n    'end' = 2\n", true},
        {"names that are no identifiers", "\x02" "T\xC3\x06" "Thing1", "\x04" "A..B" "\x02\x01",
         "  object Thing1: 'T'#195\n    'A..B' = 1\n", true},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Binary = Form(C.Header, C.Properties);
        const std::string Text = FormText(Binary);
        EXPECT_NE(Text.find(C.Text), std::string::npos) << Text;
        if (C.SameBinary) {
            EXPECT_TRUE(TextToForm(Text) == Binary) << "the text converts back differently";
        }
        EXPECT_EQ(FormText(TextToForm(Text)), Text);
        if (C.Header != Thing) continue;
        TThingForm Copy;
        ReadForm(Binary, &Copy, [](TReader*, const Exception&, bool& Handled) { Handled = true; });
        ASSERT_NE(Copy.Thing1, nullptr);
        EXPECT_EQ(Copy.Thing1->FCaption, "after") << "the property after the skipped one is read";
    }
    // Roots without class or name, and one whose class name's length byte
    // reads as a flags prefix unless a prefix comes first.
    const std::pair<std::string, std::string> Roots[] = {
        {std::string("TPF0\xF0\0\x05" "Form1\0\0", 14), "object Form1: ''\nend\n"},
        {std::string("TPF0\xF0\0\0\0\0", 9), "object ''\nend\n"},
        {"TPF0\xF0\xF0" + std::string(240, 'C') + std::string("\x05" "Form1\0\0", 8),
         "object Form1: " + std::string(240, 'C') + "\nend\n"}};
    for (const auto& [Binary, Text] : Roots) {
        EXPECT_EQ(FormText(Binary), Text);
        EXPECT_TRUE(TextToForm(Text) == Binary) << Text;
    }
    // Identifiers have no quoted form: one the text would not read back as
    // the same identifier is refused (Nan only as a value: in a set it is a name).
    for (const std::string Id : {"po\xE9", "Nan", "1a"}) {
        EXPECT_THROW(FormText(Form(Thing, "\x05" "Bogus" "\x07" + std::string(1, static_cast<char>(Id.size())) + Id)), EReadError);
        if (Id == "Nan") continue;
        EXPECT_THROW(FormText(Form(Thing, "\x05" "Bogus" "\x0B" + std::string(1, static_cast<char>(Id.size())) + Id + '\0')), EReadError);
    }
}

// The walker steps over a value of every type that its caller leaves, by
// the payload the table gives it, onto the property after it; it goes into
// lists and collections and tells what each end of a list ends.
TEST_F(Streaming, TheWalkerStepsOverEveryValueTypeLeftToIt) {
    using namespace std::string_literals;
    auto Le = [](std::uint64_t V, int Bytes) {
        std::string S;
        for (int I = 0; I < Bytes; ++I) S += static_cast<char>(V >> (8 * I));
        return S;
    };
    const std::string Fixed(10, '\x05');  // a byte that misreads as a name length
    struct Case {
        TValueType Type;
        std::string Payload;
        const char* Inside;  // the steps inside a list or collection
    };
    const Case Cases[] = {
        {vaNull, "", ""},
        {vaList, "\x02\x05\x06\x02hi\x01\x00\x00"s, " V:vaInt8 V:vaString V:vaList )values )values"},
        {vaInt8, Fixed.substr(0, 1), ""},
        {vaInt16, Fixed.substr(0, 2), ""},
        {vaInt32, Fixed.substr(0, 4), ""},
        {vaExtended, Fixed, ""},
        {vaString, "\x02hi", ""},
        {vaIdent, "\x02id", ""},
        {vaFalse, "", ""},
        {vaTrue, "", ""},
        {vaBinary, Le(3, 4) + "\x05\x05\x05", ""},
        {vaSet, "\x01" "a\x02" "bc\x00"s, ""},
        {vaLString, Le(2, 4) + "hi", ""},
        {vaNil, "", ""},
        {vaCollection, "\x02\x03\x01\x01" "A\x02\x01\x00\x01\x00\x00"s, " I[3] P:A V:vaInt8 )item I )item )items"},
        {vaSingle, Fixed.substr(0, 4), ""},
        {vaCurrency, Fixed.substr(0, 8), ""},
        {vaDate, Fixed.substr(0, 8), ""},
        {vaWString, Le(2, 4) + "\x05\x05\x05\x05", ""},
        {vaInt64, Fixed.substr(0, 8), ""},
        {vaUTF8String, Le(2, 4) + "hi", ""},
        {vaUString, Le(1, 4) + "\x05\x05", ""},
        {vaQWord, Fixed.substr(0, 8), ""},
        {vaDouble, Fixed.substr(0, 8), ""},
    };
    static_assert(std::size(Cases) == std::size(ValuePayloads));
    const char* Lists[] = {"properties", "components", "values", "items", "item"};
    for (std::size_t I = 0; I < std::size(Cases); ++I) {
        const Case& C = Cases[I];
        ASSERT_EQ(C.Type, ValuePayloads[I].Type);
        SCOPED_TRACE(ValuePayloads[I].Type);
        const std::string Binary = std::string("TPF0\x01" "B\x01" "A\x01" "X") + static_cast<char>(C.Type) + C.Payload +
                                   "\x01" "Y\x02\x07" + std::string(2, '\0');
        TMemoryStream In;
        In.WriteBuffer(Binary.data(), static_cast<std::int64_t>(Binary.size()));
        In.SetPosition(0);
        TReader Reader(&In);
        TFormWalker Walk(Reader, TFormWalker::fsForm);
        std::string Steps;
        for (TFormWalker::TStep Step; (Step = Walk.Next()) != TFormWalker::fwDone;) {
            switch (Step) {
                case TFormWalker::fwComponent: Steps += " C:" + Walk.Header().Name; break;
                case TFormWalker::fwProperty: Steps += " P:" + Walk.PropName(); break;
                case TFormWalker::fwValue: Steps += " V:" + GetEnumName(TypeInfoOf<TValueType>(), Walk.ValueType()); break;
                case TFormWalker::fwItem: Steps += Walk.HasIndex() ? " I[" + std::to_string(Walk.Index()) + "]" : " I"; break;
                case TFormWalker::fwEndOfList: Steps += std::string(" )") + Lists[Walk.Ended()]; break;
                default: Steps += " ?";
            }
        }
        EXPECT_EQ(Steps, " C:A P:X V:" + GetEnumName(TypeInfoOf<TValueType>(), C.Type) + C.Inside +
                             " P:Y V:vaInt8 )properties )components");
        EXPECT_EQ(In.GetPosition(), In.GetSize());
    }
}

// Wide text in a text form: quoted text is UTF-8, and what is malformed in it
// becomes U+FFFD, never another character.
TEST_F(Streaming, MalformedUtf8InTextFormsBecomesReplacementCharacters) {
    const char* Cases[][2] = {
        {"'a\xC0\x80'+'b'#300", "'a'#65533#65533'b'#300"},
        {"'\xED\xA0\x80'#300", "#65533#65533#65533#300"},
        {"'\xE2\x82'#8364'\xF0\x9F\x98\x80'", "#65533#8364#55357#56832"},
        {"#128512'\xF4\x90\x80\x80'", "#55357#56832#65533#65533#65533#65533"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C[0]);
        const std::string Text = FormText(TextToForm(std::string("object A: B\n  X = ") + C[0] + "\nend\n"));
        EXPECT_EQ(Text, std::string("object A: B\n  X = ") + C[1] + "\nend\n");
    }
    TThingForm Copy;
    ReadForm(TextToForm("object Form1: TThingForm\n  object Thing1: TThing\n    Caption = #55296'a'#56320\n  end\nend\n"),
             &Copy);
    EXPECT_EQ(Copy.Thing1->FCaption, "\xEF\xBF\xBD" "a\xEF\xBF\xBD") << "lone surrogates become U+FFFD when read";
}

TEST_F(Streaming, NamesLongerThan255BytesAreRefusedNotCut) {
    Thing->SetName(std::string(256, 'N'));
    EXPECT_THROW(WriteForm(Form.get()), EWriteError);
    Thing->SetName(std::string(255, 'N'));
    EXPECT_NE(FormText(WriteForm(Form.get())).find("  object " + std::string(255, 'N') + ": TThing\n"), std::string::npos);
    for (const std::string& Text : {"object " + std::string(256, 'C') + "\nend\n",
                                    "object A: B\n  " + std::string(256, 'P') + " = 1\nend\n",
                                    "object A: B\n  X = [" + std::string(256, 'E') + "]\nend\n"}) {
        try {
            TextToForm(Text);
            ADD_FAILURE() << "no error";
        } catch (const Exception& E) {
            EXPECT_NE(E.GetMessage().find("too long"), std::string::npos) << E.GetMessage();
        }
    }
}

TEST_F(Streaming, ReadsIntoANewRootWhenNoneIsGiven) {
    Thing->FCount = 4;
    TMemoryStream S;
    WriteComponentToStream(&S, Form.get());
    S.SetPosition(0);
    std::unique_ptr<TComponent> Root(ReadComponentFromStream(&S, nullptr));
    ASSERT_EQ(Root->ClassName(), "TThingForm");
    EXPECT_EQ(Root->GetName(), "Form1");
    EXPECT_EQ(static_cast<TThingForm*>(Root.get())->Thing1->FCount, 4);
}

}  // namespace
