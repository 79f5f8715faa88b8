// The version functions and TVersionInfo over the package's own file and
// over resources compiled from the test scripts.
#include <cstring>

#include "TestFiles.h"
#include "Typecask/support/VersionInfo.h"
#include "TypecaskLib/Package.h"
#include "platform/TypInfo.h"

namespace {

using TValues = std::array<std::string, TVersionInfo::VersionFieldCount>;

TValues ValuesOf(const TVersionInfo& Info) {
    TValues Values;
    for (int I = 0; I < TVersionInfo::VersionFieldCount; ++I) Values[static_cast<std::size_t>(I)] = Info.GetVersionField(I);
    return Values;
}

std::vector<std::uint8_t> BlockOf(const std::string& FileName) {
    DWORD Handle = 7;
    const DWORD Size = GetFileVersionInfoSizeA(FileName.c_str(), &Handle);
    EXPECT_EQ(Handle, 0u);
    std::vector<std::uint8_t> Block(Size);
    if (Size) {
        EXPECT_TRUE(GetFileVersionInfoA(FileName.c_str(), Handle, Size, Block.data()));
    }
    return Block;
}

#ifdef TYPECASK_DEBUG_BUILD
constexpr const char* PackageBuildFlags = "Debug,Dynamic-Link Library";
#else
constexpr const char* PackageBuildFlags = "Dynamic-Link Library";
#endif

const TValues PackageValues = {
    "The TypecaskLib developers",
    "Carries a TrueType font inside form data and installs it at run time",
    TYPECASK_VERSION_TEXT ".0",  // the project's version, as the build read it from the script
    "TypecaskLib",
    "Copyright (C) 2026 The TypecaskLib developers",
    "None",
    "The TypecaskLib developers",
#ifdef _WIN32
    "TypecaskLib.dll",
#else
    "libTypecaskLib.so",
#endif
    "TypecaskLib",
    TYPECASK_VERSION_TEXT,
    "Freeware component package with one non-visual component, TTypecask",
    PackageBuildFlags,
};

TEST(VersionInfo, ThePackageReadsItsOwnFile) {
    TVersionInfo Info;
    EXPECT_NE(Info.GetVersionData(), nullptr);
    EXPECT_EQ(ValuesOf(Info), PackageValues);
    // The same values from the compiled resource file the library carries.
    EXPECT_EQ(ValuesOf(TVersionInfo(TEST_PACKAGE_RES)), PackageValues);
}

TEST(VersionInfo, FilesWithoutVersionInformationGiveEmptyValues) {
    for (const std::string File : {TEST_RES_DIR "/NoVersion.res", TEST_RES_DIR "/missing.res", TEST_BITMAP_DIR "/TypecaskLib.rc"}) {
        SCOPED_TRACE(File);
        TVersionInfo Info(File);
        EXPECT_EQ(Info.GetVersionData(), nullptr);
        EXPECT_EQ(ValuesOf(Info), TValues{});
    }
}

TEST(VersionInfo, AnotherStringBlockLeavesOnlyTheBuildFlags) {
    TVersionInfo Info(TEST_RES_DIR "/OtherBlock.res");
    EXPECT_NE(Info.GetVersionData(), nullptr);
    TValues Expected{};
    Expected[TVersionInfo::vfBuildFlags] = "PreRelease,Dynamic-Link Library";
    EXPECT_EQ(ValuesOf(Info), Expected);
}

TEST(VersionInfo, AMissingAuthorLeavesTheOtherValues) {
    TVersionInfo Info(TEST_RES_DIR "/NoAuthor.res");
    const TValues Expected = {"Company", "Description", "3.0.0.7", "Internal", "Copyright", "Trademarks", "",
                              "original.so", "P", "3.0", "Comments", "PreRelease,Application"};
    EXPECT_EQ(ValuesOf(Info), Expected);
}

TEST(VersionInfo, ModulesAndNonAsciiTexts) {
    TVersionInfo Info(TEST_PACKAGE_MODULE);
    EXPECT_EQ(Info.GetVersionField(TVersionInfo::vfAuthor), "Jürgen");
    EXPECT_EQ(Info.GetVersionField(TVersionInfo::vfProductName), "Test Product");
    EXPECT_EQ(Info.GetVersionField(TVersionInfo::vfComments), "");
    EXPECT_EQ(Info.GetVersionField(TVersionInfo::vfBuildFlags), "Debug,SpecialBuild,Application");
}

TEST(VersionInfo, BuildFlagsFollowMaskFlagsAndType) {
    // Flags<n>.res: the cases of tests/platform/resources/CMakeLists.txt, in order.
    struct TCase {
        DWORD Mask, Flags, Type;
        const char* Expected;
    };
    const TCase Cases[] = {
        {0x3F, 0x02, 2, "PreRelease,Dynamic-Link Library"},
        {0x02, 0x03, 1, "PreRelease,Application"},
        {0x3F, 0x21, 1, "Debug,SpecialBuild,Application"},
        {0x3F, 0x00, 6, ""},
        {0x3F, 0x3F, 0, "Debug,InfoInferred,Patched,PreRelease,PrivateBuild,SpecialBuild,Unknown File Type"},
        {0x3F, 0x10, 3, "InfoInferred,Device Driver"},
        {0x00, 0x3F, 4, "Font"},
        {0x3F, 0x0C, 5, "Patched,PrivateBuild,Virtual Device"},
        {0x3F, 0x01, 7, "Debug,Static-Link Library"},
        {0x3F, 0x00, 8, ""},
    };
    for (std::size_t I = 0; I < std::size(Cases); ++I) {
        const std::string File = TEST_RES_DIR "/Flags" + std::to_string(I) + ".res";
        SCOPED_TRACE(File);
        const auto Block = BlockOf(File);
        LPVOID Fixed = nullptr;
        UINT Length = 0;
        ASSERT_TRUE(VerQueryValueA(Block.data(), "\\", &Fixed, &Length));
        VS_FIXEDFILEINFO Info;
        std::memcpy(&Info, Fixed, sizeof(Info));
        ASSERT_EQ(Info.dwFileFlagsMask, Cases[I].Mask);
        ASSERT_EQ(Info.dwFileFlags, Cases[I].Flags);
        ASSERT_EQ(Info.dwFileType, Cases[I].Type);
        const TVersionInfo VersionInfo(File);
        EXPECT_EQ(VersionInfo.GetVersionField(TVersionInfo::vfBuildFlags), Cases[I].Expected);
        EXPECT_EQ(VersionInfo.GetVersionField(TVersionInfo::vfProductName), "Flags");
    }
}

TEST(VersionInfo, ValuesAreReadOnlyAndIndicesOutsideGiveEmpty) {
    TVersionInfo Info;
    for (int Index : {-1, 12, 100}) EXPECT_EQ(Info.GetVersionField(Index), "");
    Info.SetVersionField(TVersionInfo::vfCompanyName, "x");
    Info.SetVersionField(12, "x");
    EXPECT_EQ(ValuesOf(Info), PackageValues);
    const TPropInfo* Company = GetPropInfo(&Info, "CompanyName");
    ASSERT_NE(Company, nullptr);
    SetStrProp(&Info, Company, "x");
    EXPECT_EQ(GetStrProp(&Info, Company), PackageValues[0]);
}

TEST(VersionInfo, TwelvePublishedPropertiesNeverStored) {
    const std::vector<std::string> Names = {"CompanyName",      "FileDescription", "FileVersion",    "InternalName",
                                            "LegalCopyright",   "LegalTrademarks", "Author",         "OriginalFilename",
                                            "ProductName",      "ProductVersion",  "Comments",       "BuildFlags"};
    TVersionInfo Info(TEST_PACKAGE_RES);
    const auto Props = GetPropList(TVersionInfo::StaticClass());
    ASSERT_EQ(Props.size(), Names.size());
    for (std::size_t I = 0; I < Names.size(); ++I) {
        SCOPED_TRACE(Names[I]);
        EXPECT_EQ(Props[I]->Name, Names[I]);
        EXPECT_EQ(Props[I]->Index, static_cast<int>(I));
        EXPECT_FALSE(Props[I]->IsStored(&Info));
        EXPECT_EQ(GetStrProp(&Info, Props[I]), PackageValues[I]);
    }
}

// ------------------------------------------------------- the version block

TEST(VersionBlock, QueriesOfEveryKind) {
    const auto Block = BlockOf(TEST_RES_DIR "/TestPackage.res");
    ASSERT_FALSE(Block.empty());
    const auto* Begin = reinterpret_cast<const char*>(Block.data());
    const auto* End = Begin + Block.size();
    LPVOID Value = nullptr;
    UINT Length = 0;

    ASSERT_TRUE(VerQueryValueA(Block.data(), "\\", &Value, &Length));
    VS_FIXEDFILEINFO Fixed;
    ASSERT_EQ(Length, sizeof(Fixed));
    std::memcpy(&Fixed, Value, sizeof(Fixed));
    EXPECT_EQ(Fixed.dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(Fixed.dwFileVersionMS, 0x00040003u);
    EXPECT_EQ(Fixed.dwFileVersionLS, 0x00020001u);

    ASSERT_TRUE(VerQueryValueA(Block.data(), "\\VarFileInfo\\Translation", &Value, &Length));
    ASSERT_EQ(Length, 8u);
    const auto* T = static_cast<const std::uint8_t*>(Value);
    EXPECT_EQ(TBytes(T, T + 8), (TBytes{0x09, 0x04, 0xE4, 0x04, 0x07, 0x04, 0xE4, 0x04}));

    struct TTextCase {
        const char* SubBlock;
        const char* Text;
        UINT Length;
    };
    const TTextCase Texts[] = {
        {"\\StringFileInfo\\040904E4\\ProductName", "Test Product", 13},
        {"\\stringfileinfo\\040904e4\\PRODUCTNAME", "Test Product", 13},
        {"StringFileInfo\\040704E4\\ProductName", "Testprodukt", 12},
        {"\\StringFileInfo\\040904E4\\Author", "Jürgen", 8},
        {"\\StringFileInfo\\040904E4\\Comments", "", 1},  // an empty text: its terminating zero
    };
    for (const auto& Case : Texts) {
        SCOPED_TRACE(Case.SubBlock);
        Value = nullptr;
        ASSERT_TRUE(VerQueryValueA(Block.data(), Case.SubBlock, &Value, &Length));
        const char* Text = static_cast<const char*>(Value);
        EXPECT_TRUE(Text >= Begin && Text < End);  // lives inside the block
        EXPECT_STREQ(Text, Case.Text);
        EXPECT_EQ(Length, Case.Length);
    }
    for (LPCSTR Missing : {"\\StringFileInfo\\040904E4\\Missing", "\\StringFileInfo\\040904B0\\ProductName",
                           "\\StringFileInfo\\040904E4\\ProductName\\Deeper", "\\Nothing"}) {
        EXPECT_FALSE(VerQueryValueA(Block.data(), Missing, &Value, &Length)) << Missing;
    }
    EXPECT_FALSE(VerQueryValueA(nullptr, "\\", &Value, &Length));
    EXPECT_FALSE(VerQueryValueA(Block.data(), nullptr, &Value, &Length));
}

TEST(VersionBlock, ListsEveryText) {
    const auto Block = BlockOf(TEST_PLAIN_MODULE);
    const auto Strings = Os::ListVersionStrings(Block.data());
    ASSERT_EQ(Strings.size(), 12u);
    EXPECT_EQ(Strings[6].Table, "040904E4");
    EXPECT_EQ(Strings[6].Key, "Author");
    EXPECT_EQ(Strings[6].Value, "Jürgen");
    EXPECT_EQ(Strings[11].Table, "040704E4");
    EXPECT_EQ(Strings[11].Value, "Testprodukt");
}

TEST(VersionBlock, ABufferTooSmallIsLeftAlone) {
    DWORD Handle = 0;
    const DWORD Size = GetFileVersionInfoSizeA(TEST_PLAIN_MODULE, &Handle);
    ASSERT_GT(Size, 0u);
    std::vector<std::uint8_t> Buffer(Size, 0xAB);
    EXPECT_FALSE(GetFileVersionInfoA(TEST_PLAIN_MODULE, Handle, Size - 1, Buffer.data()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(Buffer, std::vector<std::uint8_t>(Size, 0xAB));
    EXPECT_FALSE(GetFileVersionInfoA(TEST_PLAIN_MODULE, Handle, Size, nullptr));
}

class MalformedVersion : public TTempFolderTest {};

TEST_F(MalformedVersion, DamagedTreesNeverReadOutsideTheBlock) {
    // The version resource of NoAuthor.res, damaged in several ways, in a .res
    // file of its own.
    const auto Image = Os::TResourceImage::FromFile(TEST_RES_DIR "/NoAuthor.res");
    const auto* Entry = Image->Find(RT_VERSION, MAKEINTRESOURCEA(1));
    ASSERT_NE(Entry, nullptr);
    const TBytes Good(Entry->Data, Entry->Data + Entry->Size);
    // Offsets: the root's key "VS_VERSION_INFO" ends at 38, its value (52
    // bytes) at 92, where the StringFileInfo node starts.
    ASSERT_EQ(Good[92 + 6], 'S');
    struct TCase {
        const char* Name;
        std::function<void(TBytes&)> Damage;
        bool HasBlock;
        bool HasFixed;
    };
    const TCase Cases[] = {
        {"root longer than the resource", [](TBytes& B) { PutWord(B, 0, 0xFFF0); }, false, false},
        {"root too short", [](TBytes& B) { PutWord(B, 0, 4); }, false, false},
        {"resource cut", [](TBytes& B) { B.resize(4); }, false, false},
        {"child longer than its parent", [](TBytes& B) { PutWord(B, 92, 0xFFF0); }, true, true},
        {"child of length zero", [](TBytes& B) { PutWord(B, 92, 0); }, true, true},
        {"value longer than its node", [](TBytes& B) { PutWord(B, 2, 0xFFF0); }, true, true},
        {"unterminated root key", [](TBytes& B) {
             for (std::size_t I = 6; I < B.size(); I += 2) PutWord(B, I, 'K');
         }, false, false},
        {"no fixed information", [](TBytes& B) { PutWord(B, 2, 0); }, true, false},
        // The first string's name starts at 158 (its table "040904E4" at 128).
        {"string name with a backslash", [](TBytes& B) { PutWord(B, 158, '\\'); }, true, true},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TBytes Version = Good;
        Case.Damage(Version);
        TBytes Res = EmptyRes();
        AppendResource(Res, 16, 1, Version);
        const std::string File = Write("damaged.res", Res);
        const auto Block = BlockOf(File);
        EXPECT_EQ(!Block.empty(), Case.HasBlock);
        if (Block.empty()) continue;
        LPVOID Value = nullptr;
        UINT Length = 0;
        EXPECT_EQ(VerQueryValueA(Block.data(), "\\", &Value, &Length) != FALSE, Case.HasFixed);
        if (Case.HasFixed) {
            EXPECT_LE(static_cast<const std::uint8_t*>(Value) + Length, Block.data() + Block.size());
        }
        if (VerQueryValueA(Block.data(), "\\StringFileInfo\\040904E4\\ProductName", &Value, &Length)) {
            EXPECT_STREQ(static_cast<const char*>(Value), "P");
        }
        for (const auto& S : Os::ListVersionStrings(Block.data())) {
            const std::string Sub = "\\StringFileInfo\\" + S.Table + "\\" + S.Key;
            ASSERT_TRUE(VerQueryValueA(Block.data(), Sub.c_str(), &Value, &Length)) << "listed but not found: " << Sub;
            EXPECT_EQ(static_cast<const char*>(Value), S.Value);
        }
        TVersionInfo Info(File);  // never fails
    }
}

}  // namespace
