// Windows modules read from their bytes, on every system: real programs and
// DLLs made by MinGW against the .res images their scripts compile to, and
// damaged ones refused with the place of the fault.
#include <filesystem>
#include <functional>
#include <map>
#include <tuple>

#include "TestFiles.h"
#include "platform/Streams.h"
#include "platform/os/WinResources.h"

namespace {

using TListed = std::vector<std::tuple<std::string, std::string, WORD, TBytes>>;

// The entries of an image, sorted: a module's tree is ordered by type and
// name, a .res file as its script.
TListed Sorted(const Os::TResourceImage& Image) {
    TListed Listed;
    for (const auto& E : Image.GetEntries())
        Listed.emplace_back(E.Type.ToString(), E.Name.ToString(), E.Language, TBytes(E.Data, E.Data + E.Size));
    std::sort(Listed.begin(), Listed.end());
    return Listed;
}

struct TModuleCase {
    const char* Module;
    const char* Res;  // what its resource script compiles to
};

class PeModules : public ::testing::TestWithParam<TModuleCase> {};

TEST_P(PeModules, CarryExactlyWhatTheirScriptCompilesTo) {
    const auto& Case = GetParam();
    if (!std::filesystem::exists(Case.Module) || !std::filesystem::exists(Case.Res))
        GTEST_SKIP() << Case.Module << " is not built (a Windows preset, or MinGW for the test programs)";
    const auto Module = Os::TResourceImage::FromFile(Case.Module);
    EXPECT_FALSE(Module->GetEntries().empty());
    EXPECT_EQ(Sorted(*Module), Sorted(*Os::TResourceImage::FromFile(Case.Res)));
}

INSTANTIATE_TEST_SUITE_P(
    Real, PeModules,
    ::testing::Values(TModuleCase{TEST_WIN32_BUILD "/bin/TypecaskLib.dll", TEST_WIN32_BUILD "/resources/TypecaskResources.res"},
                      TModuleCase{TEST_WIN64_BUILD "/bin/TypecaskLib.dll", TEST_WIN64_BUILD "/resources/TypecaskResources.res"},
                      TModuleCase{TEST_PROGRAMS_DIR "/FormProgram-i686.exe", TEST_PROGRAMS_DIR "/FormProgramResources.res"},
                      TModuleCase{TEST_PROGRAMS_DIR "/FormProgram-x86_64.exe", TEST_PROGRAMS_DIR "/FormProgramResources.res"}));

// ------------------------------------------------------------ damaged files

std::uint16_t GetWord(const TBytes& B, std::size_t Offset) {
    return static_cast<std::uint16_t>(B.at(Offset) | (B.at(Offset + 1) << 8));
}

// Where the parts of a module lie, as the PE format places them.
struct TPeLayout {
    std::size_t Pe = 0, Optional = 0, ResourceDirectory = 0, Sections = 0;
    std::size_t Tree = 0;                       // the resource tree in the file
    std::size_t TypeDirectory = 0, NameEntry = 0, LanguageEntry = 0, DataEntry = 0;  // from the tree's start

    explicit TPeLayout(const TBytes& B) {
        Pe = GetDword(B, 0x3C);
        Optional = Pe + 24;
        ResourceDirectory = Optional + (GetWord(B, Optional) == 0x10B ? 96 : 112) + 2 * 8;
        Sections = Optional + GetWord(B, Pe + 20);
        const std::uint32_t Rva = GetDword(B, ResourceDirectory);
        for (std::size_t I = 0; I < GetWord(B, Pe + 6); ++I) {
            const std::size_t S = Sections + 40 * I;
            const std::uint32_t Va = GetDword(B, S + 12);
            if (Rva >= Va && Rva < Va + std::max(GetDword(B, S + 8), GetDword(B, S + 16)))
                Tree = GetDword(B, S + 20) + (Rva - Va);
        }
        // The first type, its first name and that name's first language.
        TypeDirectory = GetDword(B, Tree + 16 + 4) & 0x7FFFFFFF;
        NameEntry = TypeDirectory + 16;
        const std::size_t LanguageDirectory = GetDword(B, Tree + NameEntry + 4) & 0x7FFFFFFF;
        LanguageEntry = LanguageDirectory + 16;
        DataEntry = GetDword(B, Tree + LanguageEntry + 4);
    }
};

class DamagedPeFiles : public TTempFolderTest {};

TEST_F(DamagedPeFiles, AreRefusedWithTheOffsetOfTheFault) {
    struct TCase {
        const char* Name;
        std::function<void(TBytes&, const TPeLayout&)> Damage;
        const char* Fault;
    };
    const TCase Cases[] = {
        {"cut in the headers", [](TBytes& B, const TPeLayout& L) { B.resize(L.Optional + 16); },
         "optional header beyond the end of the file"},
        {"cut in the sections", [](TBytes& B, const TPeLayout&) { B.resize(B.size() / 2); },
         "section data beyond the end of the file"},
        {"PE header beyond the end", [](TBytes& B, const TPeLayout&) { PutDword(B, 0x3C, 0x7FFFFFF0); },
         "PE header beyond the end of the file"},
        {"no signature", [](TBytes& B, const TPeLayout& L) { B[L.Pe + 1] = 'X'; }, "no PE signature"},
        {"unknown header", [](TBytes& B, const TPeLayout& L) { PutWord(B, L.Optional, 0x10C); },
         "neither a PE32 nor a PE32+ header"},
        {"huge section count", [](TBytes& B, const TPeLayout& L) { PutWord(B, L.Pe + 6, 0xFFFF); }, "too many sections"},
        {"overlapping sections",
         [](TBytes& B, const TPeLayout& L) { PutDword(B, L.Sections + 40 + 12, GetDword(B, L.Sections + 12)); },
         "section overlaps the one before it"},
        {"tree outside the sections", [](TBytes& B, const TPeLayout& L) { PutDword(B, L.ResourceDirectory, 0x7FFFFFF0); },
         "resource tree outside the sections' data in the file"},
        {"type entry looping to the root", [](TBytes& B, const TPeLayout& L) { PutDword(B, L.Tree + 20, 0x80000000); },
         "resource directory reached twice (a loop)"},
        {"name entry looping to its type",
         [](TBytes& B, const TPeLayout& L) { PutDword(B, L.Tree + L.NameEntry + 4, 0x80000000 | L.TypeDirectory); },
         "resource directory reached twice (a loop)"},
        {"huge entry count", [](TBytes& B, const TPeLayout& L) { PutWord(B, L.Tree + 14, 0xFFFF); },
         "resource directory entries beyond the resource tree"},
        {"deeper than languages",
         [](TBytes& B, const TPeLayout& L) { PutDword(B, L.Tree + L.LanguageEntry + 4, 0x80000000 | L.DataEntry); },
         "resource tree nested deeper than three levels"},
        {"data outside the sections", [](TBytes& B, const TPeLayout& L) { PutDword(B, L.Tree + L.DataEntry, 0x7FFFFFF0); },
         "resource data outside the sections' data in the file"},
        {"data longer than its section", [](TBytes& B, const TPeLayout& L) { PutDword(B, L.Tree + L.DataEntry + 4, 0x7FFFFFF0); },
         "resource data outside the sections' data in the file"},
        {"name beyond the tree", [](TBytes& B, const TPeLayout& L) { PutDword(B, L.Tree + L.NameEntry, 0xFFFFFFF0); },
         "resource name beyond the resource tree"},
    };
    // Real programs of both widths (their form named TFORM1), kept with the
    // fuzz target's seeds.
    for (const char* Seed : {"FormProgram-i686.exe", "FormProgram-x86_64.exe"}) {
        const TBytes Good = ReadBytes(std::string(TEST_PE_SEEDS "/") + Seed);
        ASSERT_GT(Good.size(), 1024u) << Seed;
        const TPeLayout Layout(Good);
        ASSERT_NE(Layout.Tree, 0u) << Seed;
        for (const auto& Case : Cases) {
            SCOPED_TRACE(std::string(Seed) + ": " + Case.Name);
            TBytes Bad = Good;
            Case.Damage(Bad, Layout);
            const std::string File = Write("bad.exe", Bad);
            try {
                Os::TResourceImage::FromFile(File);
                ADD_FAILURE() << "read without complaint";
            } catch (const Os::EResourceError& E) {
                EXPECT_EQ(E.GetMessage().rfind(File + ": malformed PE file at offset ", 0), 0u) << E.GetMessage();
                EXPECT_NE(E.GetMessage().find(Case.Fault), std::string::npos) << E.GetMessage();
            }
        }
        // Undamaged, the same bytes read.
        EXPECT_EQ(Os::TResourceImage::FromFile(Write("good.exe", Good))->GetEntries().size(), 1u) << Seed;
    }
}

}  // namespace
