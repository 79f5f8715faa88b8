// The TrueType writer: its files are read by FreeType (through the font
// table) and by fc-scan as the fonts they were asked to be.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

#include "platform/os/Windows.h"
#include "tests/support/Command.h"
#include "tests/support/Sandbox.h"

namespace {

std::string RunCommand(const std::string& Command) { return TestSupport::RunCommand(Command).Output; }

std::uint32_t Word(const std::vector<std::uint8_t>& B, std::size_t At) {
    return (std::uint32_t{B[At]} << 24) | (std::uint32_t{B[At + 1]} << 16) | (std::uint32_t{B[At + 2]} << 8) | B[At + 3];
}

TEST(FontGen, FcScanReadsFamilyStyleAndFormat) {
    TestSupport::TSandbox Box;
    struct TCase {
        const char* Family;
        int Weight;
        bool Italic;
        const char* Expected;
    } const Cases[] = {
        {"Scan Plain", 400, false, "Scan Plain|Regular|TrueType|Scan Plain\n"},
        {"Scan Plain", 700, false, "Scan Plain|Bold|TrueType|Scan Plain Bold\n"},
        {"Scan Plain", 700, true, "Scan Plain|Bold Italic|TrueType|Scan Plain Bold Italic\n"},
        {"Ünïcödé Fámily", 400, false, "Ünïcödé Fámily|Regular|TrueType|Ünïcödé Fámily\n"},
        // The overlong C0 80 is malformed, not a NUL that would end the name.
        {"Over\xC0\x80long", 400, false, "Over\uFFFD\uFFFDlong|Regular|TrueType|Over\uFFFD\uFFFDlong\n"},
    };
    int N = 0;
    for (const auto& C : Cases) {
        FontGen::TFontDesign FontDesign;
        FontDesign.Weight = C.Weight;
        FontDesign.Italic = C.Italic;
        const std::string File = Box.MakeFontFile(C.Family, FontDesign, "scan" + std::to_string(N++) + ".ttf");
        EXPECT_EQ(RunCommand("fc-scan --format '%{family}|%{style}|%{fontformat}|%{fullname}\\n' '" + File + "'"),
                  C.Expected);
    }
}

TEST(FontGen, FileIsWellFormed) {
    FontGen::TFontDesign FontDesign;
    FontDesign.FamilyName = "Checksum Face";
    const auto Bytes = FontGen::BuildTrueTypeFont(FontDesign);
    ASSERT_GE(Bytes.size(), 12u);
    EXPECT_EQ(Word(Bytes, 0), 0x00010000u);
    const unsigned Tables = (Bytes[4] << 8) | Bytes[5];
    EXPECT_EQ(Tables, 10u);
    EXPECT_EQ(Bytes.size() % 4, 0u);
    std::uint32_t Sum = 0;
    for (std::size_t I = 0; I < Bytes.size(); I += 4) Sum += Word(Bytes, I);
    EXPECT_EQ(Sum, 0xB1B0AFBAu) << "the head adjustment balances the whole file";
    std::string Previous;
    for (unsigned T = 0; T < Tables; ++T) {
        const std::size_t Rec = 12 + 16 * T;
        const std::string Tag(reinterpret_cast<const char*>(&Bytes[Rec]), 4);
        EXPECT_LT(Previous, Tag) << "tables sorted by tag";
        Previous = Tag;
        const std::uint32_t Offset = Word(Bytes, Rec + 8), Length = Word(Bytes, Rec + 12);
        ASSERT_LE(std::size_t{Offset} + Length, Bytes.size()) << Tag;
        EXPECT_EQ(Offset % 4, 0u) << Tag;
        if (Tag == "head") continue;  // its checksum is taken before the adjustment is written
        std::uint32_t TableSum = 0;
        for (std::size_t I = 0; I < Length; I += 4) {
            std::uint32_t W = 0;
            for (std::size_t K = 0; K < 4; ++K) W = (W << 8) | (I + K < Length ? Bytes[Offset + I + K] : 0u);
            TableSum += W;
        }
        EXPECT_EQ(TableSum, Word(Bytes, Rec + 4)) << Tag;
    }
    EXPECT_EQ(FontGen::BuildTrueTypeFont(FontDesign), Bytes) << "the same description gives the same bytes";
}

TEST(FontGen, FreeTypeLoadsItAndTheMetricsFollowTheDesign) {
    TestSupport::TSandbox Box;
    FontGen::TFontDesign Small, Large;
    Small.UnitsPerEm = 2048;
    Small.Ascender = 1638;
    Small.Descender = -410;
    Large.UnitsPerEm = 1000;
    Large.Ascender = 1500;
    Large.Descender = -500;
    Large.LineGap = 250;
    Box.InstallFont("Metric Small", Small);
    Box.InstallFont("Metric Large", Large);
    std::map<std::string, TEXTMETRICA> Metrics;
    HDC Dc = GetDC(nullptr);
    EnumFontFamiliesA(
        Dc, nullptr,
        [](const LOGFONTA* Lf, const TEXTMETRICA* Tm, DWORD Type, LPARAM Data) -> int {
            EXPECT_EQ(Type & TRUETYPE_FONTTYPE, static_cast<DWORD>(TRUETYPE_FONTTYPE));
            (*reinterpret_cast<std::map<std::string, TEXTMETRICA>*>(Data))[Lf->lfFaceName] = *Tm;
            return 1;
        },
        reinterpret_cast<LPARAM>(&Metrics));
    ReleaseDC(nullptr, Dc);
    ASSERT_EQ(Metrics.size(), 2u);
    EXPECT_EQ(Metrics["Metric Small"].tmHeight, 16);
    EXPECT_EQ(Metrics["Metric Large"].tmHeight, 32);
    EXPECT_EQ(Metrics["Metric Large"].tmExternalLeading, 4);
    EXPECT_GT(Metrics["Metric Large"].tmAveCharWidth, 0);
}

TEST(FontGen, RefusesDesignsItCannotBuild) {
    struct TCase {
        const char* Why;
        void (*Change)(FontGen::TFontDesign&);
    } const Cases[] = {
        {"no family", [](FontGen::TFontDesign& S) { S.FamilyName.clear(); }},
        {"tiny em", [](FontGen::TFontDesign& S) { S.UnitsPerEm = 8; }},
        {"ascender below the baseline", [](FontGen::TFontDesign& S) { S.Ascender = 0; }},
        {"descender above the baseline", [](FontGen::TFontDesign& S) { S.Descender = 10; }},
        {"letters taller than the ascender", [](FontGen::TFontDesign& S) { S.CapHeight = 900; }},
        {"weight out of range", [](FontGen::TFontDesign& S) { S.Weight = 0; }},
    };
    for (const auto& C : Cases) {
        FontGen::TFontDesign FontDesign;
        FontDesign.FamilyName = "Refused";
        C.Change(FontDesign);
        EXPECT_THROW(FontGen::BuildTrueTypeFont(FontDesign), FontGen::EFontGen) << C.Why;
    }
}

}  // namespace
