// Finding a family's font file through the registered fonts and the Fonts
// folder, and the notifications of the font-name object.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Typecask/component/Typecask.h"
#include "platform/Registry.h"
#include "platform/os/Windows.h"
#include "tools/fontgen/FontGen.h"
#include "tests/Typecask/component/ComponentTestSupport.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace ComponentTest;
using TestSupport::TSandbox;

void SetValue(HKEY Root, const AnsiString& Key, const AnsiString& Name, const AnsiString& Value) {
    TRegIniFile Registry("");
    Registry.SetRootKey(Root);
    Registry.WriteString(Key, Name, Value);
}

void Touch(const std::string& FileName) {
    std::filesystem::create_directories(std::filesystem::path(FileName).parent_path());
    std::ofstream(FileName) << "x";
}

// A family looked up, and what the lookup gives: its file or a message.
struct TLookup {
    std::string Family;
    std::string Path;   // expected result, or
    std::string Error;  // the expected message
};

template <std::size_t N>
void ExpectLookups(const TLookup (&Cases)[N]) {
    TTypecaskName Name(nullptr);
    for (const auto& C : Cases) {
        std::string Got;
        const std::string Error = MessageOf([&] { Got = Name.FindTTFontFile(C.Family); });
        EXPECT_EQ(Error, C.Error) << C.Family;
        EXPECT_EQ(Got, C.Path) << C.Family;
    }
}

TEST(FontsFolder, TakesTheShellFolderWithExactlyOneTrailingDelimiter) {
    TSandbox Box;
    const std::string D(1, PathDelim);
    struct Case {
        std::string Stored;
        std::string Expected;
    } Cases[] = {
        {"/srv/fonts", "/srv/fonts" + D},
        {"/srv/fonts" + D, "/srv/fonts" + D},
        {"/srv/f\xC3\xA9", "/srv/f\xC3\xA9" + D},  // a multi-byte last character
        {"", Box.Paths().WindowsFolder + D + "Fonts" + D},  // no Fonts entry: the Windows directory's
    };
    for (const auto& C : Cases) {
        SetValue(HKEY_USERS, ShellFoldersKey, FontsValue, C.Stored);
        EXPECT_EQ(GetFontsFolder(), C.Expected) << "stored: " << C.Stored;
    }
}

TEST(FontsFolder, DefaultsToTheUserFontFolderThatFontconfigScans) {
    TSandbox Box;
    EXPECT_EQ(GetFontsFolder(), Box.Paths().UserFontsFolder + PathDelim);
}

TEST(FindTTFontFile, ResolvesRegisteredValues) {
    TSandbox Box;
    SetValue(HKEY_USERS, ShellFoldersKey, FontsValue, Box / "Fonts");
    Touch(Box / "Fonts/bare.ttf");
    Touch(Box / "elsewhere/full.ttf");
    SetValue(HKEY_LOCAL_MACHINE, GetFontsKey(), "Bare (TrueType)", "bare.ttf");
    SetValue(HKEY_LOCAL_MACHINE, GetFontsKey(), "Full (TrueType)", Box / "elsewhere/full.ttf");
    SetValue(HKEY_LOCAL_MACHINE, GetFontsKey(), "Gone (TrueType)", "gone.ttf");
    SetValue(HKEY_LOCAL_MACHINE, GetFontsKey(), "Relative (TrueType)", "sub/rel.ttf");
    SetValue(HKEY_LOCAL_MACHINE, GetFontsKey(), "Other (OpenType)", "bare.ttf");

    const TLookup Cases[] = {
        {"", "", ""},
        {"Bare", Box / "Fonts/bare.ttf", ""},
        {"Full", Box / "elsewhere/full.ttf", ""},
        {"Gone", "", "Font file (" + Box / "Fonts/gone.ttf" + ") not found"},
        // A value with a delimiter is a path of its own, even a relative one.
        {"Relative", "", "Font file (sub/rel.ttf) not found"},
        {"Other", "", "Font (Other) not found in the registry"},
        {"Missing", "", "Font (Missing) not found in the registry"},
        {"bare", Box / "Fonts/bare.ttf", ""},  // value names ignore letter case
    };
    ExpectLookups(Cases);
}

TEST(FindTTFontFile, FindsFamiliesThatFontconfigKnows) {
    TSandbox Box;
    const std::string File = Box.InstallFont("Lookup Sans");
    TTypecaskName Name(nullptr);
    Name.SetTTFontName("Lookup Sans");
    EXPECT_EQ(Name.GetTTFontFileName(), File);
}

// Installs a generated face under the given full name (the name its value
// under the Fonts key takes).
std::string InstallFace(TSandbox& Box, const std::string& Family, const std::string& Full, int Weight = 400,
                        bool Italic = false) {
    FontGen::TFontDesign Face;
    Face.FullNameRecord = Full;
    Face.Weight = Weight;
    Face.Italic = Italic;
    std::string File = Full;
    std::erase(File, ' ');
    return Box.InstallFont(Family, Face, File + ".ttf");
}

TEST(FindTTFontFile, TakesTheFaceClosestToRegularThatDeclaresTheFamily) {
    TSandbox Box;
    // Fonts are registered under their full names, as on Windows; none of
    // these families has a value named after the family alone.
    const std::string Regular = InstallFace(Box, "Choice Sans", "Choice Sans Regular");
    InstallFace(Box, "Choice Sans", "Choice Sans Bold", 700);
    InstallFace(Box, "Choice Sans", "Choice Sans Italic", 400, true);
    InstallFace(Box, "Choice Sans", "Choice Sans Condensed Light", 300);
    InstallFace(Box, "Choice Sans", "Choice Sans Light", 300);
    const std::string Arabic = InstallFace(Box, "Choice Sans Arabic", "Choice Sans Arabic Regular");
    const std::string Bold = InstallFace(Box, "Bold Only", "Bold Only Bold", 700);
    InstallFace(Box, "Bold Only", "Bold Only Italic", 400, true);
    InstallFace(Box, "Bold Only", "Bold Only Bold Italic", 700, true);
    const std::string Condensed = InstallFace(Box, "Narrow Only", "Narrow Only Condensed");
    InstallFace(Box, "Narrow Only", "Narrow Only ExtraCondensed");
    // A full name without the family's blanks, as PostScript names have it.
    const std::string Packed = InstallFace(Box, "Packed Math", "PackedMath-Regular");
    // A value that looks like a face of the family, but its file declares
    // another: never taken.
    InstallFace(Box, "Impostor", "Decoy Sans Regular");
    const std::string Decoy = InstallFace(Box, "Decoy Sans", "Decoy Sans Medium", 500);
    InstallFace(Box, "Impostor Two", "Lone Decoy Regular");
    // Beyond the face-name limit: the font table reports the first 31 bytes.
    const std::string Long = InstallFace(Box, "Choice Sans Inscriptional Parthian", "Choice Sans Inscriptional Parthian Regular");
    // A face whose family record names its weight; the typographic family
    // record names the family the font table lists.
    FontGen::TFontDesign Typographic;
    Typographic.Weight = 300;
    Typographic.FullNameRecord = "Typo Sans Light";
    Typographic.MoreNames = {{16, "Typo Sans"}};
    const std::string Light = Box.InstallFont("Typo Sans Light", Typographic, "TypoSans-Light.ttf");
    // A collection: one value for both faces.
    FontGen::TFontDesign One, Two;
    One.FamilyName = "Pair One";
    One.FullNameRecord = "Pair One Regular";
    Two.FamilyName = "Pair Two";
    Two.FullNameRecord = "Pair Two Bold";
    Two.Weight = 700;
    FontGen::WriteTrueTypeCollection({One, Two}, Box / "pair.ttc");
    ASSERT_TRUE(Box.InstallFontFile(Box / "pair.ttc"));
    const std::string Pair = Box.Paths().UserFontsFolder + PathDelim + "pair.ttc";

    const TLookup Cases[] = {
        {"Choice Sans", Regular, ""},
        {"choice sans", Regular, ""},  // value names ignore letter case
        {"Choice Sans Arabic", Arabic, ""},
        {"Bold Only", Bold, ""},  // upright before the weight
        {"Narrow Only", Condensed, ""},
        {"Packed Math", Packed, ""},
        {"Decoy Sans", Decoy, ""},
        {"Lone Decoy", "", "Font (Lone Decoy) not found in the registry"},
        {"Choice Sans Inscriptional Parth", Long, ""},  // the name as the picker lists it
        {"Choice Sans Inscriptional Parthian", Long, ""},
        {"Choice Sans Inscriptional", "", "Font (Choice Sans Inscriptional) not found in the registry"},
        {"Typo Sans", Light, ""},
        {"Pair One", Pair, ""},
        {"Pair Two", Pair, ""},
        {"Choice", "", "Font (Choice) not found in the registry"},
        {"Choice Sans Regular", Regular, ""},  // a value of its own comes first
    };
    ExpectLookups(Cases);

    TTypecaskName Name(nullptr);
    // The faces' files are checked in order: a missing one is passed over
    // for the next, and reported only when no face is left.
    TRegIniFile Registry("");
    Registry.SetRootKey(HKEY_LOCAL_MACHINE);
    Registry.WriteString(GetFontsKey(), "Choice Sans Book (TrueType)", "gone.ttf");
    EXPECT_EQ(Name.FindTTFontFile("Choice Sans"), Regular);
    Registry.WriteString(GetFontsKey(), "Ghost Sans Regular (TrueType)", "ghost.ttf");
    EXPECT_EQ(MessageOf([&] { Name.FindTTFontFile("Ghost Sans"); }),
              "Font file (" + Box.Paths().UserFontsFolder + PathDelim + "ghost.ttf) not found");
}

TEST(TypecaskName, NotifiesItsOwnerOnlyOfRealChanges) {
    TSandbox Box;
    Box.InstallFont("Notify Sans");
    TForm Form(true);
    TTypecask* T = Form.Add();
    TTypecaskName* Name = T->GetTypecaskName();

    Name->SetTTFontName("Notify Sans");
    ASSERT_NE(T->GetFontData(), nullptr) << "the owner loaded the font";
    TMemoryStream* Loaded = T->GetFontData();
    Name->SetTTFontName("Notify Sans");
    EXPECT_EQ(T->GetFontData(), Loaded) << "the same name notifies nobody";

    // A name that differs in letter case is a change: the owner looks it up
    // again (the registry ignores case, so it is found).
    Name->SetTTFontName("notify sans");
    EXPECT_EQ(Name->GetTTFontName(), "notify sans");
    EXPECT_NE(T->GetFontData(), nullptr);
}

TEST(TypecaskName, WithoutATypecaskOwnerOnlyStores) {
    TSandbox Box;
    TForm Form(true);
    TTypecaskName Name(Form.Root);
    Name.SetTTFontName("Not Installed Anywhere");  // no lookup, so no error
    EXPECT_EQ(Name.GetTTFontName(), "Not Installed Anywhere");

    TTypecaskName Other(nullptr);
    Other.SetTTFontName("B");
    Name.Assign(&Other);
    EXPECT_EQ(Name.GetTTFontName(), "B");
    EXPECT_TRUE(Name == Other);
    Other.SetTTFontName("b");
    EXPECT_FALSE(Name == Other) << "equality is case-sensitive";

    TStringList NotAName;
    Name.Assign(&NotAName);
    EXPECT_EQ(Name.GetTTFontName(), "B") << "other classes change nothing";
}

}  // namespace
