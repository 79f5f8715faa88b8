// The characters a subset keeps, and the designer's subset of the chosen
// font: the licence's refusal, and a subset made again from the whole font.
#include <gtest/gtest.h>

#include <filesystem>

#include "Typecask/component/SubsetCharacters.h"
#include "Typecask/support/Errors.h"
#include "platform/TextConv.h"
#include "tests/Typecask/component/ComponentTestSupport.h"
#include "tests/support/Command.h"
#include "tests/support/Sandbox.h"
#include "tools/fontgen/FontGen.h"

namespace {

using namespace ComponentTest;
using TestSupport::TSandbox;

Os::TCodePoints Of(const std::string& Utf8) {
    Os::TCodePoints Out;
    for (const char32_t C : Utf8ToCodePoints(Utf8)) Out.insert(C);
    return Out;
}

TEST(SubsetCharacters, RangesTextsAndTheTextsOfForms) {
    const struct {
        const char* List;
        std::size_t Count;  // 0: refused
        char32_t First, Last;
    } Ranges[] = {
        {"U+0400-U+04FF", 256, 0x400, 0x4FF},
        {"u+20ac, 4E00-4E01\tU+0041", 4, 0x41, 0x4E01},
        {"U+10FFFF", 1, 0x10FFFF, 0x10FFFF},
        {"U+0043-U+0041", 0, 0, 0},
        {"U+110000", 0, 0, 0},
        {"U+00G1", 0, 0, 0},
        {"U+", 0, 0, 0},
        {"U+0041-", 0, 0, 0},
    };
    for (const auto& R : Ranges) {
        SCOPED_TRACE(R.List);
        Os::TCodePoints Keep;
        if (!R.Count) {
            EXPECT_THROW(AddCharacterRanges(Keep, R.List), EConvertError);
            continue;
        }
        AddCharacterRanges(Keep, R.List);
        ASSERT_EQ(Keep.size(), R.Count);
        EXPECT_EQ(*Keep.begin(), R.First);
        EXPECT_EQ(*Keep.rbegin(), R.Last);
    }

    const auto Ascii = RunTimeCharacters();
    EXPECT_EQ(Ascii.size(), 95u);
    EXPECT_TRUE(Ascii.contains(U' ') && Ascii.contains(U'~') && !Ascii.contains(0x7F));
    Os::TCodePoints Text;
    AddTextCharacters(Text, "a\r\nb\t\xE2\x82\xAC");
    EXPECT_EQ(Text, (Os::TCodePoints{U'a', U'b', 0x20AC}));

    // Every string and string list of every component, the form's own
    // included, nested ones and collection items too; the font data, the
    // names and identifiers are no texts.
    TMemoryStream Form;
    TextToForm("object Form1: TTestForm\n"
               "  Caption = 'Ж'\n"
               "  Color = clRed\n"
               "  object Panel1: TPanel\n"
               "    object Label1: TLabel\n"
               "      Caption = 'Größe'\n"
               "      Hint = #25552#31034\n"
               "    end\n"
               "  end\n"
               "  object Memo1: TMemo\n"
               "    Lines.Strings = (\n"
               "      '第一'\n"
               "      '行')\n"
               "    Columns = <\n"
               "      item\n"
               "        Title = 'Ω'\n"
               "      end>\n"
               "  end\n"
               "  object Typecask1: TTypecask\n"
               "    TrueTypeFontResource = {00FF}\n"
               "  end\n"
               "end\n",
               Form);
    for (const bool Binary : {true, false}) {
        SCOPED_TRACE(Binary);
        TMemoryStream Input;
        if (Binary) {
            Form.SetPosition(0);
            Input.CopyFrom(&Form, 0);
        } else {
            const std::string Text = "object Form1: TTestForm\n  Caption = 'Ж'\nend\n";
            Input.WriteBuffer(Text.data(), static_cast<std::int64_t>(Text.size()));
        }
        Input.SetPosition(0);
        Os::TCodePoints Keep;
        AddFormCharacters(Keep, &Input);
        EXPECT_EQ(Keep, Of(Binary ? "ЖGröße提示第一行Ω" : "Ж"));
    }
    // Lists nested past the limit are refused, not followed down the stack.
    const std::string Deep = std::string("TPF0\x01" "A\x01" "B\x01" "X") + std::string(100000, '\x01');
    TMemoryStream Input;
    Input.WriteBuffer(Deep.data(), static_cast<std::int64_t>(Deep.size()));
    Input.SetPosition(0);
    Os::TCodePoints Keep;
    try {
        AddFormCharacters(Keep, &Input);
        ADD_FAILURE() << "no error";
    } catch (const EReadError& E) {
        EXPECT_EQ(E.GetMessage(), Format("Invalid stream format: values nest more than %d deep", {FilerNestingLimit}));
    }
}

// A designer's form with the family chosen.
struct TChosen {
    TChosen(const std::string& Family) : Form(true), Typecask(Form.Add()) {
        TTypecaskName Choice(nullptr);
        Choice.SetTTFontName(Family);
        Typecask->SetTypecaskName(&Choice);
    }
    std::string Data() const { return StreamBytes(Typecask->GetFontData()); }
    TForm Form;
    TTypecask* Typecask;
};

TEST(Subset, TheLicenceAndMissingDataRefuseASubsetAndChangeNothing) {
    TSandbox Box;
    FontGen::TFontDesign FontDesign;
    FontDesign.FsType = 0x0100;
    Box.InstallFont("Whole Only Sans", FontDesign);
    {
        TChosen Chosen("Whole Only Sans");
        const std::string Before = Chosen.Data();
        EXPECT_EQ(MessageOf([&] { Chosen.Typecask->SubsetFontResource({U'A'}); }),
                  Format(LoadStr(msgFontNoSubsetting), {AnsiString("Whole Only Sans")}));
        EXPECT_TRUE(Chosen.Data() == Before);
        EXPECT_FALSE(Chosen.Typecask->GetFontSubset().IsSubset);
    }
    TForm Empty(true);
    EXPECT_EQ(MessageOf([&] { Empty.Add()->SubsetFontResource({U'A'}); }), LoadStr(msgNoFontToSubset));
#ifndef _WIN32
    // The tool: refused with status 1, and no form written.
    const std::string Out = Box.Root() + "/work/Refused.dfm";
    const auto Run = TestSupport::RunCommand(std::string(TYPECASK_EXECUTABLE) + " embed 'Whole Only Sans' -o '" + Out +
                                             "' --subset-ranges U+0041 2>&1");
    EXPECT_EQ(Run.Status, 1);
    EXPECT_NE(Run.Output.find("no-subsetting bit"), std::string::npos) << Run.Output;
    EXPECT_FALSE(std::filesystem::exists(Out));
#endif
}

#ifndef _WIN32
TEST(Subset, ASubsetIsMadeAgainFromTheWholeFontInstalledHere) {
    TSandbox Box;
    const std::string Installed = Box.InstallFont("Again Sans");
    TChosen Chosen("Again Sans");
    const std::string Whole = Chosen.Data();
    Chosen.Typecask->SubsetFontResource({U'A', U'B'});
    EXPECT_EQ(Chosen.Typecask->GetFontSubset().Tag, Os::SubsetTagOf({U'A', U'B'}));
    EXPECT_EQ(Chosen.Typecask->GetFontSubset().GlyphCount, 3);  // with .notdef
    // From the subset alone, C would be lost.
    Chosen.Typecask->SubsetFontResource({U'C'});
    EXPECT_EQ(Chosen.Typecask->GetFontSubset().Tag, Os::SubsetTagOf({U'C'}));
    EXPECT_EQ(Chosen.Typecask->GetFontSubset().GlyphCount, 2);
    EXPECT_EQ(Chosen.Typecask->GetTypecaskName()->GetTTFontName(), "Again Sans");
    EXPECT_LT(Chosen.Typecask->GetFontData()->GetSize(), static_cast<std::int64_t>(Whole.size()));

    // Once the whole font is gone: refused, the subset kept.
    ASSERT_TRUE(Box.UninstallFont(Installed));
    const std::string Subset = Chosen.Data();
    EXPECT_EQ(MessageOf([&] { Chosen.Typecask->SubsetFontResource({U'D'}); }),
              Format(LoadStr(msgWholeFontNotInstalled), {AnsiString("Again Sans")}));
    EXPECT_TRUE(Chosen.Data() == Subset);
}
#endif

}  // namespace
