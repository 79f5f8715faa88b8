// Subsets of real fonts checked against FreeType's reading of the whole
// font and of the subset, and the subset's marks read back from its bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#ifndef _WIN32
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#endif

#include "platform/TextConv.h"
#include "platform/os/FontFiles.h"
#include "platform/os/FontNames.h"
#include "tests/support/Sandbox.h"
#include "tools/fontgen/FontGen.h"

namespace {

std::vector<std::uint8_t> GeneratedFont(const char* Family, std::uint16_t FsType = 0) {
    FontGen::TFontDesign FontDesign;
    FontDesign.FamilyName = Family;
    FontDesign.FsType = FsType;
    FontDesign.MoreNames = {{16, Family}, {17, "Book"}};
    return FontGen::BuildTrueTypeFont(FontDesign);
}

// Every name record but the PostScript names, which a subset tags.
std::vector<std::string> NamesBesidesPostScript(const std::vector<std::uint8_t>& Font, int Face) {
    std::vector<std::uint16_t> Ids;
    for (std::uint16_t Id = 0; Id < 300; ++Id)
        if (Id != 6) Ids.push_back(Id);
    std::vector<std::string> Out;
    for (const auto& R : Os::ReadFontNames(Os::MemoryFontReader(Font.data(), Font.size()), Ids))
        if (R.Face == Face)
            Out.push_back(std::to_string(R.Platform) + "/" + std::to_string(R.Language) + "/" +
                          std::to_string(R.NameId) + " " + R.Text);
    return Out;
}

TEST(FontSubset, TheTagAndWhatTheBytesSayOfASubset) {
    const Os::TCodePoints Ascii = {'A', 'B'}, Other = {'A', 'C'};
    const AnsiString Tag = Os::SubsetTagOf(Ascii);
    ASSERT_EQ(Tag.size(), 6u);
    for (const char C : Tag) EXPECT_TRUE(C >= 'A' && C <= 'Z') << Tag;
    EXPECT_NE(Os::SubsetTagOf(Other), Tag);

    const auto Whole = GeneratedFont("Tagged Sans");
    EXPECT_FALSE(Os::GetFontSubsetInfo(Whole.data(), Whole.size()).IsSubset);
    const auto Tagged = Os::TagPostScriptName(Whole.data(), Whole.size(), Tag);
    const auto Info = Os::GetFontSubsetInfo(Tagged.data(), Tagged.size());
    EXPECT_TRUE(Info.IsSubset);
    EXPECT_EQ(Info.Tag, Tag);
    EXPECT_EQ(Info.GlyphCount, Os::GetFontSubsetInfo(Whole.data(), Whole.size()).GlyphCount);
    EXPECT_GT(Info.GlyphCount, 26);
    EXPECT_EQ(NamesBesidesPostScript(Tagged, 0), NamesBesidesPostScript(Whole, 0));
    const auto PostScript = Os::ReadFontNames(Os::MemoryFontReader(Tagged.data(), Tagged.size()), {6});
    ASSERT_EQ(PostScript.size(), 1u);
    EXPECT_EQ(PostScript[0].Text, Tag + "+TaggedSans-Regular");
    // The file's checksum: its words sum to the format's constant.
    std::uint32_t Sum = 0;
    for (std::size_t I = 0; I + 3 < Tagged.size(); I += 4)
        Sum += (std::uint32_t{Tagged[I]} << 24) | (std::uint32_t{Tagged[I + 1]} << 16) |
               (std::uint32_t{Tagged[I + 2]} << 8) | Tagged[I + 3];
    EXPECT_EQ(Tagged.size() % 4, 0u);
    EXPECT_EQ(Sum, 0xB1B0AFBAu);
    // Not a TrueType font: refused.
    const std::vector<std::uint8_t> NoFont(64, 0);
    EXPECT_THROW(Os::TagPostScriptName(NoFont.data(), NoFont.size(), Tag), Os::EFontSubset);
}

// The face a subset is made of: of a collection's faces of the family, the
// one closest to the regular face.
TEST(FontSubset, TheFaceOfTheFamilyClosestToRegular) {
    TestSupport::TSandbox Box;
    std::vector<FontGen::TFontDesign> Faces(4);
    Faces[0].FamilyName = Faces[1].FamilyName = Faces[2].FamilyName = "Pair Sans";
    Faces[0].Weight = 700;
    Faces[1].Italic = true;
    Faces[3].FamilyName = "Other Sans";
    const std::string Path = Box / "Pair.ttc";
    FontGen::WriteTrueTypeCollection(Faces, Path);
    std::ifstream File(Path, std::ios::binary);
    const std::vector<std::uint8_t> Bytes{std::istreambuf_iterator<char>(File), {}};
    const std::pair<const char*, int> Cases[] = {{"Pair Sans", 2}, {"other sans", 3}, {"Missing Sans", 0}};
    for (const auto& [Family, Face] : Cases) EXPECT_EQ(Os::FindFontFace(Bytes.data(), Bytes.size(), Family), Face) << Family;
}

#ifdef _WIN32
TEST(FontSubset, TheWindowsBuildRefusesToSubset) {
    const auto Font = GeneratedFont("Refused Sans");
    EXPECT_FALSE(Os::CanSubsetFonts());
    try {
        Os::SubsetFont(Font.data(), Font.size(), 0, {'A'});
        ADD_FAILURE() << "no refusal";
    } catch (const Os::EFontSubset& E) {
        EXPECT_NE(E.GetMessage().find("not available in this build"), std::string::npos) << E.GetMessage();
    }
}
#else
std::vector<std::uint8_t> ReadBytes(const std::string& Path) {
    std::ifstream File(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(File), {}};
}

struct TFreeType {
    TFreeType() { FT_Init_FreeType(&Library); }
    ~TFreeType() { FT_Done_FreeType(Library); }
    FT_Library Library = nullptr;
};

struct TFace {
    TFace(FT_Library Library, const std::vector<std::uint8_t>& Bytes, int Index) {
        FT_New_Memory_Face(Library, Bytes.data(), static_cast<FT_Long>(Bytes.size()), Index, &Face);
    }
    ~TFace() {
        if (Face) FT_Done_Face(Face);
    }
    FT_Face Face = nullptr;
};

// The face whose family FreeType names Family, found apart from the
// subsetter's own choice.
int FreeTypeFaceOf(FT_Library Library, const std::vector<std::uint8_t>& Bytes, const std::string& Family) {
    for (int Index = 0;; ++Index) {
        TFace F(Library, Bytes, Index);
        if (!F.Face) return -1;
        if (Family == F.Face->family_name) return Index;
    }
}

// The glyph's outline in font units, unhinted, as text; composite glyphs
// are loaded whole. Sets Composite when the glyph is made of others.
std::string Outline(FT_Face Face, FT_UInt Glyph, bool& Composite) {
    if (FT_Load_Glyph(Face, Glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP | FT_LOAD_NO_RECURSE) ==
        0)
        Composite = Composite || Face->glyph->format == FT_GLYPH_FORMAT_COMPOSITE;
    if (FT_Load_Glyph(Face, Glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return "error";
    const FT_Outline& O = Face->glyph->outline;
    std::string Text = "advance " + std::to_string(Face->glyph->metrics.horiAdvance) + ":";
    for (int C = 0; C < O.n_contours; ++C) Text += " end " + std::to_string(O.contours[C]);
    for (int P = 0; P < O.n_points; ++P)
        Text += " " + std::to_string(O.points[P].x) + "," + std::to_string(O.points[P].y) + "/" +
                std::to_string(O.tags[P] & 1);
    return Text;
}

TEST(FontSubset, KeptCharactersKeepTheirOutlinesAndNamesAndNothingElseIsMapped) {
    const std::string Generated = "Generated Subset";
    const auto GeneratedBytes = GeneratedFont(Generated.c_str());
    const struct {
        const char* Path;  // empty for the generated font
        std::string Family;
        const char* Text;
        bool HasComposites;
    } Cases[] = {
        // A collection: the face of the family asked for, not the first.
        {"/usr/share/fonts/truetype/arphic/uming.ttc", "AR PL UMing TW", "漢字的字型，繁體中文 ok", false},
        {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "DejaVu Sans", "Grüße, Ελληνικά, Кириллица ½ € ﬁ", true},
        // Accented letters made of a base letter and a mark.
        {"/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf", "Liberation Sans",
         "ÀÉÎÕÜàéîõüǺ ŞŢ", true},
        {"", Generated, "SUBSET me", false},
    };
    TFreeType FreeType;
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Family);
        const auto Whole = *C.Path ? ReadBytes(C.Path) : GeneratedBytes;
        ASSERT_FALSE(Whole.empty()) << "install-deps installs " << C.Path;
        Os::TCodePoints Keep;
        for (const char32_t Ch : Utf8ToCodePoints(C.Text)) Keep.insert(Ch);
        Keep.insert(0x4E00);  // a character these Latin fonts do not have

        const int Face = Os::FindFontFace(Whole.data(), Whole.size(), C.Family);
        ASSERT_EQ(Face, FreeTypeFaceOf(FreeType.Library, Whole, C.Family));
        const auto Subset = Os::SubsetFont(Whole.data(), Whole.size(), Face, Keep);
        EXPECT_LT(Subset.size(), Whole.size() / 2);

        TFace Original(FreeType.Library, Whole, Face), Made(FreeType.Library, Subset, 0);
        ASSERT_TRUE(Original.Face && Made.Face);
        bool Composite = false;
        for (const char32_t Ch : Keep) {
            SCOPED_TRACE(static_cast<unsigned>(Ch));
            const FT_UInt Was = FT_Get_Char_Index(Original.Face, Ch), Is = FT_Get_Char_Index(Made.Face, Ch);
            ASSERT_EQ(Is != 0, Was != 0) << "the subset maps exactly the kept characters the font has";
            if (!Was) continue;
            bool Ignored = false;
            EXPECT_EQ(Outline(Made.Face, Is, Ignored), Outline(Original.Face, Was, Composite));
        }
        EXPECT_EQ(Composite, C.HasComposites);
        FT_UInt Glyph = 0;
        for (FT_ULong Ch = FT_Get_First_Char(Made.Face, &Glyph); Glyph; Ch = FT_Get_Next_Char(Made.Face, Ch, &Glyph))
            EXPECT_TRUE(Keep.contains(static_cast<char32_t>(Ch))) << "U+" << std::hex << Ch << " is mapped";

        EXPECT_STREQ(Made.Face->family_name, Original.Face->family_name);
        EXPECT_STREQ(Made.Face->style_name, Original.Face->style_name);
        EXPECT_EQ(Os::GetFontFileFamilies(Subset.data(), Subset.size()),
                  std::vector<AnsiString>{Os::GetFontFileFamilies(Whole.data(), Whole.size())[Face]});
        EXPECT_EQ(NamesBesidesPostScript(Subset, 0), NamesBesidesPostScript(Whole, Face)) << "every name stays";
        const AnsiString Tag = Os::SubsetTagOf(Keep);
        EXPECT_EQ(FT_Get_Postscript_Name(Made.Face), Tag + "+" + FT_Get_Postscript_Name(Original.Face));
        const auto Info = Os::GetFontSubsetInfo(Subset.data(), Subset.size());
        EXPECT_TRUE(Info.IsSubset);
        EXPECT_EQ(Info.Tag, Tag);
        EXPECT_EQ(Info.GlyphCount, Made.Face->num_glyphs);
        EXPECT_LT(Info.GlyphCount, static_cast<int>(Keep.size()) * 3);
        EXPECT_EQ(FT_Get_FSType_Flags(Made.Face), FT_Get_FSType_Flags(Original.Face)) << "the licence stays";
    }
}

TEST(FontSubset, FacesThatCannotBeSubsetAreRefused) {
    const auto Font = GeneratedFont("Refused Sans");
    EXPECT_TRUE(Os::CanSubsetFonts());
    EXPECT_THROW(Os::SubsetFont(Font.data(), Font.size(), 1, {'A'}), Os::EFontSubset);
    const std::vector<std::uint8_t> NoFont(64, 0);
    EXPECT_THROW(Os::SubsetFont(NoFont.data(), NoFont.size(), 0, {'A'}), Os::EFontSubset);
}
#endif

}  // namespace
