// String tables, resource lookup, resource images of files (and malformed
// ones), the module list and the package records.
#include <cstring>

#include "TestFiles.h"
#include "Typecask/support/Errors.h"
#include "TypecaskLib/Package.h"
#include "platform/Packages.h"
#include "platform/Streams.h"
#include "platform/TextConv.h"

namespace {

std::string PackageFileName() {
    char Buffer[4096];
    const DWORD Length = GetModuleFileNameA(GetPackageInstance(), Buffer, sizeof(Buffer));
    return std::string(Buffer, Length);
}

// ------------------------------------------------------------ string table

struct TMessageCase {
    int Id;
    const char* Text;
};

const TMessageCase PackageMessages[] = {
    {1, "Not enough memory to allocate %d bytes"},
    {2, "Font (%s) not found in the registry"},
    {3, "Font file (%s) not found"},
    {4, "Font could not be installed"},
    {5, "Font name could not be changed at runtime"},
    {6, "Freeware"},
    {7, "True Type Fonts"},
    {8, "Select the font to be stored in the resource"},
    {9, "Font could not be installed permanently"},
    {10, "Font permanent installation property name could not be changed at runtime"},
    {11, "LZRW compressed stream signature is wrong"},
    {12, "Font file (%s) could not be loaded"},
    {13, "Font (%s) may not be embedded: its licence is Restricted License"},
    {14, "Font (%s) may not be embedded: its licence is Bitmap embedding only"},
    {15, "Font (%s) will be installed only while the application runs: its licence is %s"},
    {16, "(may not be embedded)"},
    {17, "(installed only while running)"},
    {18, "Font (%s) may not be subset: its licence sets the no-subsetting bit (fsType 0x0100)"},
    {19, "There is no font to subset: choose a family first"},
    {20, "Font (%s) is a subset, and the whole font is not installed here to make another one from"},
    {21, "The characters to keep cannot be read: %s"},
};

TEST(PackageStrings, EveryMessageReadsExactlyFromTheResources) {
    for (const auto& Case : PackageMessages) {
        SCOPED_TRACE(Case.Id);
        EXPECT_EQ(LoadStr(Case.Id), Case.Text);
        char Buffer[256];
        EXPECT_EQ(LoadStringA(GetPackageInstance(), static_cast<UINT>(Case.Id), Buffer, sizeof(Buffer)),
                  static_cast<int>(std::strlen(Case.Text)));
        EXPECT_STREQ(Buffer, Case.Text);
    }
}

TEST(PackageStrings, EmptyAndMissingIdsReadAsEmpty) {
    for (int Id : {0, 22, 31, 1000, -1}) {
        SCOPED_TRACE(Id);
        EXPECT_EQ(LoadStr(Id), "");
        if (Id < 0) continue;
        char Buffer[16] = "untouched";
        EXPECT_EQ(LoadStringA(GetPackageInstance(), static_cast<UINT>(Id), Buffer, sizeof(Buffer)), 0);
        EXPECT_STREQ(Buffer, "");
    }
}

TEST(PackageStrings, ETypecaskTakesItsTextFromTheResources) {
    struct TCase {
        int Id;
        std::optional<Variant> Arg;
        const char* Message;
    };
    const TCase Cases[] = {
        {11, std::nullopt, "LZRW compressed stream signature is wrong"},
        {4, std::nullopt, "Font could not be installed"},
        {3, Variant("/fonts/My Font.ttf"), "Font file (/fonts/My Font.ttf) not found"},
        {2, Variant("Grüne Schrift"), "Font (Grüne Schrift) not found in the registry"},
        {12, Variant("/tmp/a.ttf"), "Font file (/tmp/a.ttf) could not be loaded"},
        {1, Variant(512), "Not enough memory to allocate 512 bytes"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Id);
        try {
            if (Case.Arg) throw ETypecask(Case.Id, *Case.Arg);
            throw ETypecask(Case.Id);
        } catch (const Exception& E) {
            EXPECT_EQ(E.GetMessage(), Case.Message);
            EXPECT_NE(dynamic_cast<const ETypecask*>(&E), nullptr);
        }
    }
}

// ----------------------------------------------------- a module's resources

class TestPackageModule : public ::testing::Test {
protected:
    void SetUp() override {
        FModule = LoadLibraryA(TEST_PLAIN_MODULE);
        ASSERT_NE(FModule, nullptr);
    }
    void TearDown() override { EXPECT_TRUE(FreeLibrary(FModule)); }

    std::string String(UINT Id, int BufferSize = 256) {
        std::vector<char> Buffer(static_cast<std::size_t>(BufferSize));
        const int Length = LoadStringA(FModule, Id, Buffer.data(), BufferSize);
        EXPECT_EQ(static_cast<std::size_t>(Length), std::strlen(Buffer.data()));
        return Buffer.data();
    }

    HMODULE FModule = nullptr;
};

TEST_F(TestPackageModule, StringsOfSeveralBlocksAndLanguages) {
    EXPECT_EQ(String(1), "first");  // U.S. English rather than the German block before it
    EXPECT_EQ(String(15), "last of block one");
    EXPECT_EQ(String(16), "first of block two");
    EXPECT_EQ(String(17), "");
    EXPECT_EQ(String(40), "Größe € 😀 end");
    HRSRC German = FindResourceExA(FModule, RT_STRING, MAKEINTRESOURCEA(1), 0x0407);
    ASSERT_NE(German, nullptr);
    const auto* Data = static_cast<const std::uint8_t*>(LockResource(LoadResource(FModule, German)));
    EXPECT_EQ(Utf16LEToUtf8(Data + 4, 5), "erste");  // string 1 of the block: after the empty string 0
    EXPECT_EQ(FindResourceExA(FModule, RT_STRING, MAKEINTRESOURCEA(1), 0x040C), nullptr);
}

TEST_F(TestPackageModule, LoadStringNeverCutsACharacter) {
    // "Größe": G r then ö in two bytes.
    EXPECT_EQ(String(40, 4), "Gr");
    EXPECT_EQ(String(40, 5), "Grö");
    EXPECT_EQ(String(40, 1), "");
    EXPECT_EQ(String(40, 16), "Größe € ");  // the emoji needs four bytes more
    EXPECT_EQ(LoadStringA(FModule, 1, nullptr, 10), 0);
}

TEST_F(TestPackageModule, FindsResourcesByNameOrdinalAndText) {
    for (LPCSTR Name : {"lower case", "LOWER CASE", "Lower Case"}) {
        HRSRC Found = FindResourceA(FModule, Name, RT_RCDATA);
        ASSERT_NE(Found, nullptr) << Name;
        EXPECT_EQ(SizeofResource(FModule, Found), 20u);
        EXPECT_STREQ(static_cast<const char*>(LockResource(LoadResource(FModule, Found))), "named in lower case");
    }
    for (LPCSTR Name : std::initializer_list<LPCSTR>{MAKEINTRESOURCEA(42), "#42"}) {
        HRSRC Found = FindResourceA(FModule, Name, MAKEINTRESOURCEA(10));
        ASSERT_NE(Found, nullptr);
        const auto* Data = static_cast<const std::uint8_t*>(LockResource(LoadResource(FModule, Found)));
        EXPECT_EQ(TBytes(Data, Data + SizeofResource(FModule, Found)), (TBytes{1, 0, 2, 0, 3, 0}));
    }
    EXPECT_EQ(FindResourceA(FModule, "#43", RT_RCDATA), nullptr);
    EXPECT_EQ(FindResourceA(FModule, "#4x", RT_RCDATA), nullptr);
    EXPECT_EQ(FindResourceA(FModule, "lower case", RT_BITMAP), nullptr);
    EXPECT_EQ(FindResourceA(FModule, nullptr, RT_RCDATA), nullptr);
}

TEST_F(TestPackageModule, ResourceHandlesOfAnotherModuleAreRefused) {
    HRSRC Found = FindResourceA(FModule, "#42", RT_RCDATA);
    ASSERT_NE(Found, nullptr);
    EXPECT_EQ(LoadResource(GetPackageInstance(), Found), nullptr);
    EXPECT_EQ(SizeofResource(GetPackageInstance(), Found), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    int NotAModule = 0;
    EXPECT_EQ(FindResourceA(reinterpret_cast<HMODULE>(&NotAModule), "#42", RT_RCDATA), nullptr);
}

// ------------------------------------------------------ images of files

void ExpectSameEntries(const Os::TResourceImage& A, const Os::TResourceImage& B) {
    ASSERT_EQ(A.GetEntries().size(), B.GetEntries().size());
    for (std::size_t I = 0; I < A.GetEntries().size(); ++I) {
        const auto& X = A.GetEntries()[I];
        const auto& Y = B.GetEntries()[I];
        EXPECT_EQ(X.Type, Y.Type);
        EXPECT_EQ(X.Name, Y.Name);
        EXPECT_EQ(X.Language, Y.Language);
        EXPECT_EQ(TBytes(X.Data, X.Data + X.Size), TBytes(Y.Data, Y.Data + Y.Size));
    }
}

TEST(ResourceImage, ModulesCarryTheirCompiledResourcesUnchanged) {
    const auto PackageRes = Os::TResourceImage::FromFile(TEST_PACKAGE_RES);
    ExpectSameEntries(*PackageRes, *Os::TResourceImage::FromFile(PackageFileName()));
    ExpectSameEntries(*Os::TResourceImage::FromFile(TEST_RES_DIR "/TestPackage.res"),
                      *Os::TResourceImage::FromFile(TEST_PLAIN_MODULE));
    // The package's string table (two blocks of sixteen ids), its version,
    // both bitmaps, three records and the layouts of the three dialogs.
    std::vector<std::string> Listed;
    for (const auto& E : PackageRes->GetEntries()) Listed.push_back(E.Type.ToString() + " " + E.Name.ToString());
    EXPECT_EQ(Listed, (std::vector<std::string>{"#2 TTYPECASK", "#2 TTYPECASK48", "#6 #1", "#6 #2", "#10 DESCRIPTION",
                                                "#10 PACKAGEINFO", "#10 PACKAGEOPTIONS", "#10 TFORMABOUT",
                                                "#10 TFORMSUBSETRANGES", "#10 TFORMTYPECASKEDITOR", "#16 #1"}));
}

TEST(ResourceImage, AModuleWithoutTheSectionHasNoResources) {
    char Buffer[4096];
    const DWORD Length = GetModuleFileNameA(GetModuleHandleA("libTypecaskPlatform.so"), Buffer, sizeof(Buffer));
    ASSERT_GT(Length, 0u);
    EXPECT_TRUE(Os::TResourceImage::FromFile(Buffer)->GetEntries().empty());
}

class MalformedFiles : public TTempFolderTest {};

TEST_F(MalformedFiles, ResourceFilesAreRefusedCleanly) {
    const TBytes Good = ReadBytes(TEST_RES_DIR "/TestPackage.res");
    ASSERT_GT(Good.size(), 200u);
    struct TCase {
        const char* Name;
        std::function<void(TBytes&)> Damage;
    };
    const TCase Cases[] = {
        {"cut in a header", [](TBytes& B) { B.resize(40); }},
        {"cut in the data", [](TBytes& B) { B.resize(B.size() - 100); }},
        {"cut in a length", [](TBytes& B) { B.resize(36); }},
        {"header too short", [](TBytes& B) { PutDword(B, 36, 8); }},
        {"header beyond the end", [](TBytes& B) { PutDword(B, 36, 0x7FFFFFF0); }},
        {"data beyond the end", [](TBytes& B) { PutDword(B, 32, 0xFFFFFFF0); }},
        {"unterminated name", [](TBytes& B) {
             // The first real entry is named TTYPECASK: overwrite its
             // terminator and the rest of the header with letters.
             for (std::size_t I = 32 + 12; I < 32 + GetDword(B, 36); I += 2) PutWord(B, I, 'X');
         }},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TBytes Bad = Good;
        Case.Damage(Bad);
        const std::string File = Write("bad.res", Bad);
        EXPECT_THROW(Os::TResourceImage::FromFile(File), Os::EResourceError);
        DWORD Handle = 1;
        EXPECT_EQ(GetFileVersionInfoSizeA(File.c_str(), &Handle), 0u);
        EXPECT_EQ(Handle, 0u);
    }
}

TEST_F(MalformedFiles, OtherFilesAreRefusedWithTheirName) {
    const std::string Text = Write("notes.txt", TBytes{'h', 'e', 'l', 'l', 'o'});
    try {
        Os::TResourceImage::FromFile(Text);
        ADD_FAILURE() << "no exception";
    } catch (const Os::EResourceError& E) {
        EXPECT_EQ(E.GetMessage(), Text + " is neither an ELF module, a Windows module nor a resource file");
    }
    EXPECT_THROW(Os::TResourceImage::FromFile(Write("empty", {})), Os::EResourceError);
    EXPECT_THROW(Os::TResourceImage::FromFile((FFolder / "missing.res").string()), EFOpenError);
    EXPECT_THROW(Os::TResourceImage::FromFile(FFolder.string()), EFOpenError);
    EXPECT_TRUE(Os::TResourceImage::FromFile(Write("only-header.res", EmptyRes()))->GetEntries().empty());
}

// The section headers of a 64-bit ELF file: offset of the table, size of an
// entry, and the index of the section named Name.
struct TElfLayout {
    std::uint64_t TableOffset;
    std::uint16_t EntrySize, Count, NamesIndex;
    std::size_t Section(const TBytes& B, const char* Name) const {
        const std::size_t Names = TableOffset + NamesIndex * EntrySize;
        const std::uint64_t NamesOffset = GetDword(B, Names + 24);
        for (std::size_t I = 0; I < Count; ++I)
            if (std::strcmp(reinterpret_cast<const char*>(B.data() + NamesOffset + GetDword(B, TableOffset + I * EntrySize)),
                            Name) == 0)
                return TableOffset + I * EntrySize;
        return 0;
    }
};

TEST_F(MalformedFiles, ElfFilesAreRefusedCleanly) {
    const TBytes Good = ReadBytes(TEST_PLAIN_MODULE);
    if (Good.size() < 64 || Good[4] != 2 || Good[5] != 1) GTEST_SKIP() << "not a 64-bit little-endian module";
    const TElfLayout Layout{GetDword(Good, 0x28), static_cast<std::uint16_t>(Good[0x3A] | (Good[0x3B] << 8)),
                            static_cast<std::uint16_t>(Good[0x3C] | (Good[0x3D] << 8)),
                            static_cast<std::uint16_t>(Good[0x3E] | (Good[0x3F] << 8))};
    const std::size_t Rsrc = Layout.Section(Good, ".rsrc");
    ASSERT_NE(Rsrc, 0u);
    struct TCase {
        const char* Name;
        std::function<void(TBytes&)> Damage;
    };
    const TCase Cases[] = {
        {"truncated", [](TBytes& B) { B.resize(100); }},
        {"section table beyond the end", [](TBytes& B) { PutDword(B, 0x28, 0x7FFFFFF0); }},
        {"too many sections", [](TBytes& B) { PutWord(B, 0x3C, 0xFFF0); }},
        {"name table index", [&](TBytes& B) { PutWord(B, 0x3E, Layout.Count); }},
        {"entry size", [](TBytes& B) { PutWord(B, 0x3A, 8); }},
        {"section beyond the end", [&](TBytes& B) { PutDword(B, Rsrc + 24, 0x7FFFFFF0); }},
        {"section too long", [&](TBytes& B) { PutDword(B, Rsrc + 32, 0x7FFFFFF0); }},
        {"unknown class", [](TBytes& B) { B[4] = 7; }},
        {"big-endian", [](TBytes& B) { B[5] = 2; }},
        {"resources damaged", [&](TBytes& B) { PutDword(B, GetDword(B, Rsrc + 24) + 36, 8); }},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TBytes Bad = Good;
        Case.Damage(Bad);
        const std::string File = Write("bad.so", Bad);
        EXPECT_THROW(Os::TResourceImage::FromFile(File), Os::EResourceError);
        EXPECT_EQ(GetFileVersionInfoSizeA(File.c_str(), nullptr), 0u);
    }
    // A section name offset beyond the name table only hides that section.
    TBytes Hidden = Good;
    PutDword(Hidden, Rsrc, 0x7FFFFFF0);
    EXPECT_TRUE(Os::TResourceImage::FromFile(Write("hidden.so", Hidden))->GetEntries().empty());
}

// ------------------------------------------------------------- module list

TEST(ModuleList, ThePackageRegistersItselfWithItsResources) {
    const auto Modules = Os::EnumModules();
    EXPECT_NE(std::find(Modules.begin(), Modules.end(), GetPackageInstance()), Modules.end());
    EXPECT_NE(Os::GetModuleResources(GetPackageInstance()), nullptr);
    HMODULE FromAddress = nullptr;
    EXPECT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                   reinterpret_cast<LPCSTR>(reinterpret_cast<std::uintptr_t>(&GetPackageInstance)),
                                   &FromAddress));
    EXPECT_EQ(FromAddress, GetPackageInstance());
    // The library is loaded under its SONAME (libTypecaskLib.so.MAJOR); the
    // plain name and each versioned name find it, near misses do not.
    const std::string Major = "libTypecaskLib.so." + std::to_string(TYPECASK_VERSION_MAJOR);
    for (const std::string& Name : {std::string("libTypecaskLib.so"), Major, PackageFileName()})
        EXPECT_EQ(GetModuleHandleA(Name.c_str()), GetPackageInstance()) << Name;
    for (const char* Name : {"libNoSuchModule.so", "libTypecaskLib.s", "libTypecaskLib", "libTypecaskLib.so.",
                             "libTypecaskLib.so.x", "libTypecaskLib.so1"})
        EXPECT_EQ(GetModuleHandleA(Name), nullptr) << Name;
}

TEST(ModuleList, RegistrationsCount) {
    const TBytes Res = [] {
        TBytes B = EmptyRes();
        TBytes Block(2 * 16 + 8, 0);  // strings 0 to 15 of block 1; string 3 is "abc"
        PutWord(Block, 6, 3);
        PutWord(Block, 8, 'a');
        PutWord(Block, 10, 'b');
        PutWord(Block, 12, 'c');
        AppendResource(B, 6, 1, Block);
        return B;
    }();
    static int Anchor;
    const HINSTANCE Fake = reinterpret_cast<HINSTANCE>(&Anchor);
    EXPECT_EQ(Os::LoadResString(Fake, 3), std::nullopt);
    Os::RegisterModule(Fake, Res.data(), Res.size());
    Os::RegisterModule(Fake);
    EXPECT_EQ(Os::EnumModules().back(), Fake);
    EXPECT_EQ(Os::LoadResString(Fake, 3), "abc");
    EXPECT_EQ(Os::LoadResString(Fake, 2), std::nullopt);
    Os::UnregisterModule(Fake);
    EXPECT_EQ(Os::LoadResString(Fake, 3), "abc");
    Os::UnregisterModule(Fake);
    EXPECT_EQ(Os::LoadResString(Fake, 3), std::nullopt);
    const auto Modules = Os::EnumModules();
    EXPECT_EQ(std::find(Modules.begin(), Modules.end(), Fake), Modules.end());
    Os::UnregisterModule(Fake);  // unbalanced: nothing happens
}

TEST(ModuleList, MalformedResourcesInMemoryReadAsNone) {
    TBytes Bad = EmptyRes();
    AppendResource(Bad, 6, 1, {1, 2, 3, 4});
    PutDword(Bad, 32, 0x1000);  // data beyond the end
    static int Anchor;
    const HINSTANCE Fake = reinterpret_cast<HINSTANCE>(&Anchor);
    Os::RegisterModule(Fake, Bad.data(), Bad.size());
    EXPECT_EQ(Os::GetModuleResources(Fake), nullptr);
    EXPECT_EQ(FindResourceA(Fake, MAKEINTRESOURCEA(1), RT_STRING), nullptr);
    Os::UnregisterModule(Fake);
}

TEST(ModuleList, LoadLibraryRegistersUntilTheLastFreeLibrary) {
    const HMODULE First = LoadLibraryA(TEST_PLAIN_MODULE);
    ASSERT_NE(First, nullptr);
    EXPECT_EQ(LoadLibraryA(TEST_PLAIN_MODULE), First);
    EXPECT_NE(GetProcAddress(First, "TestPackageInitializations"), nullptr);
    EXPECT_EQ(GetProcAddress(First, "Initialize"), nullptr);  // a plain library is no package
    EXPECT_EQ(GetProcAddress(First, "malloc"), nullptr);      // exports of its dependencies do not count
    EXPECT_NE(GetProcAddress(GetPackageInstance(), "Initialize"), nullptr);
    EXPECT_TRUE(FreeLibrary(First));
    EXPECT_NE(FindResourceA(First, "#42", RT_RCDATA), nullptr);
    EXPECT_TRUE(FreeLibrary(First));
    const auto Modules = Os::EnumModules();
    EXPECT_EQ(std::find(Modules.begin(), Modules.end(), First), Modules.end());
    EXPECT_FALSE(FreeLibrary(First));
    EXPECT_EQ(LoadLibraryA("/no/such/library.so"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(ModuleList, ModuleFileNames) {
    const std::string Package = PackageFileName();
    // The real file behind the SONAME link: libTypecaskLib.so.MAJOR.MINOR.PATCH.
    EXPECT_EQ(Package.substr(Package.rfind('/') + 1), "libTypecaskLib.so." TYPECASK_VERSION_TEXT);
    EXPECT_EQ(Package[0], '/');

    char Small[5] = "xxxx";
    EXPECT_EQ(GetModuleFileNameA(GetPackageInstance(), Small, sizeof(Small)), sizeof(Small));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(Small), Package.substr(0, 4));

    char Main[4096];
    const DWORD Length = GetModuleFileNameA(nullptr, Main, sizeof(Main));
    ASSERT_GT(Length, 0u);
    EXPECT_NE(std::string(Main, Length).find("test_resources"), std::string::npos);
    EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), Main, sizeof(Main)), Length);

    int NotAModule = 0;
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(&NotAModule), Main, sizeof(Main)), 0u);
}

// --------------------------------------------------------- package records

TEST(PackageRecords, ThePackageNamesItsUnitsAndWhatItRequires) {
    const TPackageInfo Info = GetPackageInfo(GetPackageInstance());
    EXPECT_EQ(Info.Requires, std::vector<AnsiString>{"TypecaskPlatform"});
    ASSERT_EQ(Info.Contains.size(), 2u);
    EXPECT_EQ(Info.Contains[0].Name, "TypecaskLib");
    EXPECT_EQ(Info.Contains[0].Flags, TPackageInfo::ufPackageUnit);
    EXPECT_EQ(Info.Contains[1].Name, "Typecask");
    EXPECT_EQ(Info.Contains[1].Flags, TPackageInfo::ufRegisters);
    EXPECT_EQ(Info.Options, TPackageInfo::poDesignTime | TPackageInfo::poRunTime);
    EXPECT_FALSE(Info.Description.empty());
    EXPECT_EQ(Info.Description.find('\n'), AnsiString::npos);
}

TEST(PackageRecords, MalformedRecordsAreRefused) {
    const std::vector<std::pair<const char*, TBytes>> Cases = {
        {"format version", {2, 0, 0, 0, 0, 0}},
        {"truncated count", {1, 0, 1}},
        {"unterminated name", {1, 0, 1, 0, 'V', 'C', 'L'}},
        {"more units than there are", {1, 0, 0, 0, 3, 0, 1, 0, 'A', 0}},
    };
    for (const auto& [Name, Record] : Cases) {
        SCOPED_TRACE(Name);
        TBytes Res = EmptyRes();
        AppendNamedResource(Res, 10, "PACKAGEINFO", Record);
        EXPECT_THROW(ReadPackageInfo(Os::TResourceImage(Res.data(), Res.size())), EPackageError);
    }
    const TBytes Empty = EmptyRes();
    EXPECT_THROW(ReadPackageInfo(Os::TResourceImage(Empty.data(), Empty.size())), EPackageError);
}

}  // namespace
