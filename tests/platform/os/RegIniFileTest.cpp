// TRegistry and TRegIniFile over the real registry store, in sandboxes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/Registry.h"
#include "tests/support/Sandbox.h"

namespace {

const char* const FontsKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";

TEST(RegIniFile, ReadWriteAndDeleteFollowTheIniFileRules) {
    TestSupport::TSandbox Box;
    TRegIniFile Ini("");
    Ini.SetRootKey(HKEY_LOCAL_MACHINE);
    Ini.WriteString("\\Software\\Typecask\\Deep\\Key", "Name", "value");
    Ini.WriteString("\\Software\\Typecask\\Deep\\Key", "Empty", "");

    struct TCase {
        const char* Section;
        const char* Ident;
        const char* Expected;
    } const Cases[] = {
        {"\\Software\\Typecask\\Deep\\Key", "Name", "value"},
        {"\\SOFTWARE\\typecask\\deep\\KEY", "NAME", "value"},  // letter case is ignored
        {"Software\\Typecask\\Deep\\Key", "Name", "value"},    // relative to the root when no key is open
        {"\\Software\\Typecask\\Deep\\Key", "Missing", "<default>"},
        {"\\Software\\Typecask\\Nowhere", "Name", "<default>"},
        {"\\Software\\Typecask\\Deep\\Key", "Empty", ""},      // an empty value is a value
    };
    for (const auto& C : Cases)
        EXPECT_EQ(Ini.ReadString(C.Section, C.Ident, "<default>"), C.Expected) << C.Section << " / " << C.Ident;

    EXPECT_FALSE(Ini.KeyExists("\\Software\\Typecask\\Nowhere")) << "reading creates no key";

    Ini.WriteString("\\Software\\Typecask\\Deep\\Key", "Name", "replaced");
    EXPECT_EQ(Ini.ReadString("\\Software\\Typecask\\Deep\\Key", "Name", ""), "replaced");
    Ini.DeleteKey("\\Software\\Typecask\\Deep\\Key", "Name");
    EXPECT_EQ(Ini.ReadString("\\Software\\Typecask\\Deep\\Key", "Name", "gone"), "gone");
    EXPECT_TRUE(Ini.KeyExists("\\Software\\Typecask\\Deep\\Key")) << "DeleteKey deletes the value, not the key";
    EXPECT_NO_THROW(Ini.DeleteKey("\\Software\\Typecask\\Deep\\Key", "Name")) << "a missing value is no error";
    EXPECT_NO_THROW(Ini.DeleteKey("\\Software\\Nowhere", "Name")) << "a missing key is no error";

    // The root key decides which tree a section lives in.
    Ini.SetRootKey(HKEY_USERS);
    EXPECT_EQ(Ini.ReadString("\\Software\\Typecask\\Deep\\Key", "Empty", "other tree"), "other tree");
}

TEST(RegIniFile, WritesPersistForTheNextReader) {
    TestSupport::TSandbox Box;
    {
        TRegIniFile Ini("");
        Ini.SetRootKey(HKEY_LOCAL_MACHINE);
        Ini.WriteString(FontsKey, "Persisted Face (TrueType)", "/fonts/Persisted.ttf");
        Ini.WriteInteger("\\Software\\Typecask", "Count", 42);
        Ini.WriteBool("\\Software\\Typecask", "Flag", true);
    }
    Os::ResetOsServices();
    TRegIniFile Ini("");
    Ini.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(Ini.ReadString(FontsKey, "persisted face (truetype)", ""), "/fonts/Persisted.ttf");
    EXPECT_EQ(Ini.ReadInteger("\\Software\\Typecask", "Count", 0), 42);
    EXPECT_EQ(Ini.ReadInteger("\\Software\\Typecask", "Missing", -7), -7);
    EXPECT_TRUE(Ini.ReadBool("\\Software\\Typecask", "Flag", false));
    const auto Names = Ini.ReadSection("\\Software\\Typecask");
    EXPECT_EQ(Names, (std::vector<AnsiString>{"Count", "Flag"}));
}

TEST(RegIniFile, SeesTheDerivedFontValues) {
    TestSupport::TSandbox Box;
    const std::string File = Box.InstallFont("Ini Probe");
    TRegIniFile Ini("");
    Ini.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(Ini.ReadString(FontsKey, "Ini Probe (TrueType)", ""), File);
    EXPECT_EQ(Ini.ReadString(FontsKey, "Ini Probe (OpenType)", ""), "") << "only the TrueType suffix names it";
    Ini.SetRootKey(HKEY_USERS);
    EXPECT_EQ(Ini.ReadString("\\.Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                             "Fonts", ""),
              Box.Paths().UserFontsFolder);
    Ini.SetRootKey(HKEY_LOCAL_MACHINE);
    try {
        Ini.DeleteKey(FontsKey, "Ini Probe (TrueType)");
        FAIL() << "a value that reflects an installed file cannot be deleted";
    } catch (const ERegistryException& E) {
        EXPECT_EQ(E.GetErrorCode(), ERROR_ACCESS_DENIED);
        EXPECT_NE(E.GetMessage().find("Failed to delete value 'Ini Probe (TrueType)'"), std::string::npos);
    }
}

TEST(RegIniFile, FailuresRaiseRegistryErrors) {
    TestSupport::TSandbox Box;
    {
        TRegistry Reg;
        Reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(Reg.OpenKey("\\Software\\Typed", true));
        Reg.WriteInteger("Number", 5);
        try {
            (void)Reg.ReadString("Number");
            FAIL() << "an integer is no string";
        } catch (const ERegistryException& E) {
            EXPECT_STREQ(E.what(), "Invalid data type for 'Number'");
        }
        try {
            (void)Reg.ReadInteger("Missing");
            FAIL() << "a missing integer has no value";
        } catch (const ERegistryException& E) {
            EXPECT_STREQ(E.what(), "Failed to get data for 'Missing'");
        }
    }
    TRegIniFile Ini("");
    Ini.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_THROW((void)Ini.ReadString("\\Software\\Typed", "Number", ""), ERegistryException);

    // A store that cannot be written: the write is refused, not lost silently.
    Os::ResetOsServices();
    const std::string Db = Box.Paths().RegistryFile;
    std::filesystem::remove(Db);
    std::filesystem::create_directory(Db);  // a folder where the database should be
    try {
        Ini.WriteString("\\Software\\Typecask", "Name", "value");
        FAIL() << "the write must fail";
    } catch (const ERegistryException& E) {
        EXPECT_EQ(E.GetMessage().rfind("Failed to create key \\Software\\Typecask", 0), 0u) << E.GetMessage();
    }
    EXPECT_THROW((void)Ini.ReadString("\\Software\\Typecask", "Name", "default"), ERegistryException)
        << "a broken store is not an empty registry";
}

TEST(Registry, OpenKeyTracksThePathAndDeleteKeyTakesSubkeys) {
    TestSupport::TSandbox Box;
    TRegistry Reg;
    Reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(Reg.OpenKey("\\Software\\Absent", false));
    EXPECT_EQ(Reg.GetCurrentKey(), nullptr);
    ASSERT_TRUE(Reg.OpenKey("\\Software\\Tree", true));
    EXPECT_EQ(Reg.GetCurrentPath(), "Software\\Tree");
    ASSERT_TRUE(Reg.OpenKey("Branch\\Leaf", true));
    EXPECT_EQ(Reg.GetCurrentPath(), "Software\\Tree\\Branch\\Leaf") << "a relative path continues the current one";
    Reg.WriteString("Note", "x");
    EXPECT_TRUE(Reg.ValueExists("note"));
    TRegDataInfo Info;
    ASSERT_TRUE(Reg.GetDataInfo("Note", Info));
    EXPECT_EQ(Info.RegData, rdString);
    EXPECT_EQ(Info.DataSize, 2);
    const unsigned char Blob[] = {0, 1, 2, 255};
    Reg.WriteBinaryData("Blob", Blob, sizeof Blob);
    unsigned char Back[8] = {};
    EXPECT_EQ(Reg.ReadBinaryData("Blob", Back, sizeof Back), 4);
    EXPECT_EQ(Back[3], 255);
    Reg.CloseKey();

    ASSERT_TRUE(Reg.OpenKey("\\Software\\Tree", false));
    EXPECT_TRUE(Reg.HasSubKeys());
    EXPECT_EQ(Reg.GetKeyNames(), (std::vector<AnsiString>{"Branch"}));
    Reg.CloseKey();
    // Keys nest at most Os::MaxKeyDepth deep, the root key counting as none;
    // a tree that deep goes whole, with the siblings on its way.
    AnsiString Deep = "\\Software\\Tree";
    for (std::size_t Level = 2; Level < Os::MaxKeyDepth; ++Level) Deep += "\\K";
    EXPECT_TRUE(Reg.CreateKey(Deep));
    EXPECT_THROW(Reg.CreateKey(Deep + "\\K"), ERegistryException);
    EXPECT_TRUE(Reg.CreateKey("\\Software\\Tree\\K\\K\\Sibling"));
    // The depth counts from the root, not from the key opened: 300 levels
    // below a key 300 deep are too many.
    AnsiString Levels = "K";
    for (int Level = 1; Level < 300; ++Level) Levels += "\\K";
    ASSERT_TRUE(Reg.OpenKey("\\Software\\Tree\\" + Levels.substr(4), true));  // 300 deep
    EXPECT_THROW(Reg.CreateKey(Levels), ERegistryException);
    Reg.CloseKey();
    EXPECT_TRUE(Reg.DeleteKey("\\Software\\Tree"));
    EXPECT_FALSE(Reg.KeyExists("\\Software\\Tree"));
    EXPECT_FALSE(Reg.DeleteKey("\\Software\\Tree"));
    EXPECT_TRUE(Reg.OpenKeyReadOnly("\\Software"));
    EXPECT_THROW(Reg.WriteString("x", "y"), ERegistryException);
}

}  // namespace
